#pragma once
// The main window and its event pump, run by the window thread only. SDL events become the
// window's messages (WM_CLOSE, WM_ACTIVATEAPP, WM_KEYDOWN in the window queue) and the input
// snapshots the game thread reads (keyboard, mouse, joysticks). Frames come from the game
// thread through a one-slot mailbox in which the newest frame wins; the window thread presents
// them, scaled to the window with a 640x480 logical size.
#include <functional>
#include <string>
#include <vector>

#include "platform/system/Types.h"

// Brings up SDL video, events and joysticks; false (with a report line) when video fails.
bool AppVideoInit();
void AppVideoQuit();
// True when no one can see the window (dummy or offscreen driver).
bool AppIsHeadless();

// Creates the hidden main window with a client area of w x h at (100, 100).
bool AppWindowCreate(int w, int h);
void AppWindowDestroy();
bool AppWindowExists();
// True when another program destroyed the window, or its X connection broke (the server
// ended, the connection was killed): nothing is shown any more, and the program should close
// in order.
bool AppWindowLost();
// True once the program is asked to close from outside the game: a termination signal
// (Termination.h) or the window lost. The event pump turns it into a close once; a loop that
// waits for the player and starts after that (a dialog opened as the close runs) ends on it.
bool AppCloseAsked();
// The SDL window, for the graphics layer (opaque here).
void* AppWindowNative();
// Title from the game's Shift-JIS text.
void AppWindowSetTitle(const std::string& sjisTitle);
void AppWindowCenterOnDesktop();
void AppWindowShow(bool maximized);
void AppWindowMove(int x, int y);
void AppWindowResize(int w, int h);
void AppWindowSetResizable(bool resizable);
void AppWindowSetMinimumSize(int w, int h);
void AppWindowSetFullscreen(bool fullscreen);
bool AppWindowIsFullscreen();
// Top-left corner of the window with its frame, as AppWindowMove takes it, shown or not (0, 0
// where the system gives none), and the client size.
void AppWindowGetRect(int& x, int& y, int& w, int& h);
bool AppWindowMinimized();
bool AppWindowMaximized();
bool AppWindowHasFocus();

// The usable desktop size (the limits of the stored window placement).
void AppDesktopBounds(int& w, int& h);
// Desktop colour depth; SDL reports XRGB8888 as 24, which is the 32-bit desktop.
int AppDesktopDepth();
// Display refresh rate; 60 when unknown.
int AppRefreshRate();

// One translated event as the dialogs see it before the main window does.
struct APPEVENT {
    enum Kind { KeyDown, KeyUp, Text, Editing, MouseDown, MouseUp, MouseMove, Wheel, Close } kind = KeyDown;
    u32 vk = 0;
    std::string text; // UTF-8 text input; for Editing the input method's composition ("" ends it)
    i32 x = 0;
    i32 y = 0;
    int button = 0; // 1 left, 2 right
};
// A hook that sees every event first; returning true consumes it (a dialog's Escape never
// reaches the main window). Close events are seen but always go on to the window. Returns the
// hook it replaces, so that a nested dialog can give it back when it ends.
using AppEventHook = std::function<bool(const APPEVENT&)>;
AppEventHook SetAppEventHook(AppEventHook hook);

// Pumps SDL events for up to waitMs (0: only what is there). Wakes early when a message is
// posted to the window queue. Once done() holds, the events still queued stay for the next
// pump: a key that arrives after a modal dialog ended belongs to what is open then.
void AppPumpEvents(u32 waitMs, const std::function<bool()>& done = {});
void AppTextInput(bool on);
// Where the input method places its candidate list: a rectangle of the 640x480 frame.
void AppTextInputRect(int x, int y, int w, int h);
// Posts a wake-up to the window thread's event wait (any thread).
void AppWake();

// The game thread hands over a finished 640x480 frame (ARGB8888, pitch in pixels; the alpha
// bytes are not shown): one copy into the window's mailbox.
void AppSubmitFrame(const u32* pixels, int pitch);
// The same from palette indexes (the low byte of each pixel), through lut on the way.
void AppSubmitIndexedFrame(const u32* indexes, int pitch, const u32 (&lut)[256]);
// True when the window presents with vertical sync on a display of this frame rate (60): the
// game thread then paces on AppWaitPresented instead of its clock.
bool AppVsyncPaces(int fps);
// Game thread: waits until the frame submitted last is on the screen.
void AppWaitPresented();
// Window thread: presents the newest frame if one arrived (force: present the last again).
void AppPresent(bool force);
void AppSetVSync(bool on);
// Draws over every frame the window presents (the modeless dialogs); null removes it. Window
// thread only.
using AppOverlay = std::function<void(std::vector<u32>& frame)>;
void SetAppOverlay(AppOverlay overlay);
// The frame presented last, overlay included (tests); false when there is none.
bool AppPresentedFrame(std::vector<u32>& out);
// The last frame submitted (for tests and the frame dump); false when there is none.
bool AppLastFrame(std::vector<u32>& out);
// Writes the last frame as a binary PPM file (a test seam); false on failure.
bool AppDumpFrame(const std::string& path);
