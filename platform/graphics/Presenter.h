#pragma once
// Where finished frames go. The game thread draws into memory and hands each finished frame
// (ARGB, 640x480 in the game) to the installed presenter; it never waits for the screen.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/system/Types.h"

class cPresenter {
public:
    virtual ~cPresenter() = default;
    // argb: width x height pixels; their alpha bytes are not shown. Called on the drawing
    // thread; the pixels are the back buffer itself, valid only during the call.
    virtual void Present(const u32* argb, int width, int height) = 0;
    // The 8-bit palette mode's frame: palette indexes (the low byte of each pixel) and the
    // colour of each index. The default converts and presents.
    virtual void PresentIndexed(const u32* indexes, const u32 (&lut)[256], int width, int height);
    // The display's refresh rate in Hz, 0 when unknown.
    virtual int RefreshRate() { return 0; }
    // True when presenting waits for the display's vertical blank at this frame rate: the
    // drawing thread then paces on WaitFrame instead of its clock.
    virtual bool PacesAt(u32 fps) { (void)fps; return false; }
    // Waits until the display has taken the frames presented so far (its vertical blank).
    virtual void WaitFrame() {}
};

// Installs the presenter (null: frames are dropped). The caller keeps ownership.
void SetPresenter(cPresenter* presenter);
cPresenter* GetPresenter();

// Keeps the last frame: the headless twin for tests.
class cMemoryPresenter : public cPresenter {
public:
    void Present(const u32* argb, int width, int height) override;
    // Converts straight into the kept frame: one pass instead of a converted copy copied again.
    void PresentIndexed(const u32* indexes, const u32 (&lut)[256], int width, int height) override;
    std::vector<u32> Frame() const;
    int Width() const;
    int Height() const;
    u32 FrameCount() const;
    int RefreshRate() override { return m_refresh; }
    void SetRefreshRate(int hz) { m_refresh = hz; }

private:
    mutable std::mutex m_mutex;
    std::vector<u32> m_frame;
    int m_width = 0, m_height = 0;
    u32 m_count = 0;
    int m_refresh = 60;
};

// Writes every n-th frame as a PNG (a debugging aid): "<prefix>_<number>.png".
class cPngDumpPresenter : public cPresenter {
public:
    cPngDumpPresenter(std::string prefix, u32 every) : m_prefix(std::move(prefix)), m_every(every ? every : 1) {}
    void Present(const u32* argb, int width, int height) override;

private:
    std::string m_prefix;
    u32 m_every;
    u32 m_count = 0;
};

// Writes ARGB pixels as an RGB PNG; false (and nothing left behind) on failure.
bool WritePngFile(const std::string& path, const u32* argb, int width, int height);
// Reads a PNG into ARGB; false on failure.
bool ReadPngFile(const std::string& path, std::vector<u32>* argb, int* width, int* height);

// The SDL window's presenter. Construct and use Init/Show/Pump on the window thread only; the
// drawing thread calls Present, which puts the frame in a single-slot mailbox (a newer frame
// replaces one not yet shown) and wakes the window thread with an SDL user event.
struct SdlPresenterImpl;
class cSdlPresenter : public cPresenter {
public:
    cSdlPresenter();
    ~cSdlPresenter() override;
    // Makes the 640x480 window, its renderer and streaming texture. fullscreen uses the
    // desktop mode with aspect-correct, nearest-neighbour scaling; integerScale keeps whole
    // multiples. vsync is used only when the display runs at 60 Hz.
    bool Init(const char* title, int width, int height, bool fullscreen, bool integerScale, bool vsync);
    void Present(const u32* argb, int width, int height) override;
    void PresentIndexed(const u32* indexes, const u32 (&lut)[256], int width, int height) override;
    int RefreshRate() override;
    // Window thread: shows the pending frame, if any. True when one was shown.
    bool ShowPending();
    // Window thread: handles the presenter's own wake-up event; false for other events.
    bool HandleEvent(const void* sdlEvent);
    bool VsyncOn() const;
    u32 ShownCount() const;
    // Window thread: reads back what the renderer shows (ARGB, logical size).
    bool ReadBack(std::vector<u32>* argb, int* width, int* height);
    void Shutdown();

private:
    // Wakes the window thread for the frame just put in the mailbox.
    void Wake();
    SdlPresenterImpl* m = nullptr;
};
