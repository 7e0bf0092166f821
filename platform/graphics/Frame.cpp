// The frame cycle: scene, render targets, the virtual back buffer, flip and present.
#include <atomic>
#include <cstring>

#include <png.h>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Presenter.h"
#include "platform/graphics/Raster.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "platform/system/StreamedRows.h"
#include "platform/system/Thread.h"
#include "platform/system/Timers.h"

namespace {
std::atomic<cPresenter*> g_presenter{nullptr};
bool g_bTestDeviceLost = false;
} // namespace

void SetPresenter(cPresenter* presenter) { g_presenter.store(presenter); }
cPresenter* GetPresenter() { return g_presenter.load(); }
void DDTestLoseDevice(bool lost) { g_bTestDeviceLost = lost; }

u32 DDBeginScene() {
    if (!lpDTCon) return 0;
    if (lpDTCon->bInScene) return 1;
    ++lpDTCon->nBeginSceneCalls;
    lpDTCon->bInScene = 1;
    return 1;
}

void DDEndScene() {
    if (lpDTCon && lpDTCon->bInScene) lpDTCon->bInScene = 0;
}

u32 DDSetRenderTarget(u32, DDSURFACEDATA* sd) {
    if (!lpDTCon || !sd || !sd->lpDT || !sd->lpDT->bRenderTarget) return 0;
    if (!sd->lpDT->lpSurface) {
        WriteReport("SetRenderTarget Err %x (%s)", 0x8876086Cu, sd->source.c_str());
        return 0;
    }
    return 1;
}

void DDSetRenderToVirtual(u32 on) {
    if (!lpDTCon) return;
    if (!on && lpDTCon->bVirtual && SurfacePixels(&g_sdVirBackBuffer)) DDCopyVirtual(&g_sdBackBuffer, &g_sdVirBackBuffer);
    lpDTCon->bVirtual = on ? 1 : 0;
    lpDTCon->lpRenderTarget = on ? &g_sdBackBuffer : &g_sdVirBackBuffer;
    if (lpDTCon->lpRenderTarget->lpDT && lpDTCon->lpRenderTarget->lpDT->lpSurface)
        DDSetRenderTarget(0, lpDTCon->lpRenderTarget);
}

u32 DDSetDrawTarget(DDSURFACEDATA** sd) {
    if (!lpDTCon || !sd || !lpDTCon->bVirtual || *sd != &g_sdBackBuffer) return 0;
    *sd = &g_sdVirBackBuffer;
    return 1;
}

void DDCopyVirtual(DDSURFACEDATA* back, DDSURFACEDATA* vir) {
    if (!lpDTCon || !back || !vir) return;
    lpDTCon->bCopyingVirtual = 1;
    // Alpha from the quad colour: the virtual buffer's own alpha must not thin the copy.
    D3DSetAlphaOp(D3DTOP_DISABLE);
    DDBlt(back, 0, 0, vir->width, vir->height, vir, 0, 0, 0);
    D3DResetAlphaOp();
    lpDTCon->bCopyingVirtual = 0;
}

namespace {
void DisplayLut(u32 (&lut)[256]) {
    for (int i = 0; i < 256; ++i)
        lut[i] = 0xFF000000 | u32(g_palDisplay[i].peRed) << 16 | u32(g_palDisplay[i].peGreen) << 8 | g_palDisplay[i].peBlue;
}
} // namespace

void DDSnapshotFrame(std::vector<u32>* argb, i32* width, i32* height) {
    // While the frame is drawn into the virtual back buffer, that is what the next flip shows.
    const bool virtualOn = lpDTCon && lpDTCon->bVirtual && SurfacePixels(&g_sdVirBackBuffer);
    const PixelStore* s = SurfacePixels(virtualOn ? &g_sdVirBackBuffer : &g_sdBackBuffer);
    if (!s) {
        argb->clear();
        *width = *height = 0;
        return;
    }
    *width = s->width;
    *height = s->height;
    argb->resize(s->px.size());
    if (!lpDTCon && g_nBpp == 8) {
        // The display palette of this moment turns indices into colours.
        u32 lut[256];
        DisplayLut(lut);
        PaletteFrame(argb->data(), s->px.data(), lut, s->px.size(), 0);
        return;
    }
    for (std::size_t i = 0; i < s->px.size(); ++i) (*argb)[i] = s->px[i] | 0xFF000000;
}

void cPresenter::PresentIndexed(const u32* indexes, const u32 (&lut)[256], int width, int height) {
    thread_local std::vector<u32> frame;
    frame.resize(static_cast<std::size_t>(width) * height);
    PaletteFrame(frame.data(), indexes, lut, frame.size(), 0);
    Present(frame.data(), width, height);
}

namespace {
// DirectDraw's full-screen flip: the back buffer comes to the front and the chain moves up.
void TurnFlipChain() {
    if (lpDTCon || g_nWindowMode != 0 || !g_sdPrimary.holder || !g_sdBackBuffer.holder) return;
    std::shared_ptr<PixelStore>& front = g_sdPrimary.holder->lpSurface;
    std::shared_ptr<PixelStore>& back = g_sdBackBuffer.holder->lpSurface;
    if (!front || !back) return;
    std::vector<std::shared_ptr<PixelStore>>& chain = g_DDGraphics.flipChain;
    std::shared_ptr<PixelStore> shown = std::move(back);
    if (chain.empty()) {
        back = std::move(front);
    } else {
        back = std::move(chain.front());
        chain.erase(chain.begin());
        chain.push_back(std::move(front));
    }
    front = std::move(shown);
}

// DirectDraw's full-screen copy in place of a flip: the front takes the frame and the back
// buffer keeps it.
void CopyToFront() {
    if (lpDTCon || g_nWindowMode != 0 || !g_sdPrimary.holder) return;
    const PixelStore* back = SurfacePixels(&g_sdBackBuffer);
    PixelStore* front = SurfacePixels(&g_sdPrimary);
    if (back && front && front != back) *front = *back;
}
} // namespace

void DDPresent(bool copy) {
    cPresenter* p = GetPresenter();
    const PixelStore* s = SurfacePixels(&g_sdBackBuffer);
    if (!s || s->width <= 0 || s->height <= 0) return;
    // The back buffer goes to the presenter as it is; the presenter's one copy takes it (the
    // 8-bit one through the display palette of this moment).
    if (p && !lpDTCon && g_nBpp == 8) {
        u32 lut[256];
        DisplayLut(lut);
        p->PresentIndexed(s->px.data(), lut, s->width, s->height);
    } else if (p) {
        p->Present(s->px.data(), s->width, s->height);
    }
    if (copy) CopyToFront();
    else TurnFlipChain();
}

u32 DDFlipShow() {
    if (!lpDTCon) return 1;
    if (lpDTCon->bVirtual) DDCopyVirtual(&g_sdBackBuffer, &g_sdVirBackBuffer);
    DDEndScene();
    if (g_bTestDeviceLost) return 0;
    DDPresent();
    return 1;
}

void DDFlipWait(u32 frameRate, u32 show) {
    if (!lpDTCon) return;
    // One wait per frame at the game's own rate, whatever the display runs at: on the
    // display's vertical blank when the presenter shows frames with it at that rate, else on
    // the clock (whose 64-bit count never wraps, so pacing never freezes).
    cPresenter* p = GetPresenter();
    if (p && g_DDGraphics.vsync && p->PacesAt(frameRate)) {
        p->WaitFrame();
        return;
    }
    while (!FrameWait(frameRate, show != 0, nullptr)) {
        if (SleepMs(1)) break;
    }
}

u32 DDFlip(u32 frameRate, u32 show, u32) {
    if (!DDFlipShow()) return 0;
    DDFlipWait(frameRate, show);
    return 1;
}

u32 DDSetDialogBoxMode(u32 on) {
    if (g_nWindowMode) return 1;
    if (on) DDEndScene();
    return 1;
}

u32 DDMesBox(const char* text, const char* caption, u32 type) {
    if (!DDSetDialogBoxMode(1)) {
        DebugLogF("DDMesBox 失敗! %s, %s", text ? text : "", caption ? caption : "");
        return 0;
    }
    MesBox(text ? text : "", caption ? caption : "", type);
    DDSetDialogBoxMode(0);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Presenters without a screen

void cMemoryPresenter::Present(const u32* argb, int width, int height) {
    std::lock_guard lock(m_mutex);
    m_frame.resize(static_cast<std::size_t>(width) * height);
    // Kept for a reader that comes seldom (a test, a screenshot): out of the caches' way.
    StreamedCopyRow(m_frame.data(), argb, m_frame.size(), 0xFF000000u);
    StreamedDone();
    m_width = width;
    m_height = height;
    ++m_count;
}
void cMemoryPresenter::PresentIndexed(const u32* indexes, const u32 (&lut)[256], int width, int height) {
    std::lock_guard lock(m_mutex);
    m_frame.resize(static_cast<std::size_t>(width) * height);
    PaletteFrame(m_frame.data(), indexes, lut, m_frame.size(), 0xFF000000u, true);
    m_width = width;
    m_height = height;
    ++m_count;
}
std::vector<u32> cMemoryPresenter::Frame() const {
    std::lock_guard lock(m_mutex);
    return m_frame;
}
int cMemoryPresenter::Width() const {
    std::lock_guard lock(m_mutex);
    return m_width;
}
int cMemoryPresenter::Height() const {
    std::lock_guard lock(m_mutex);
    return m_height;
}
u32 cMemoryPresenter::FrameCount() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}

void cPngDumpPresenter::Present(const u32* argb, int width, int height) {
    if (m_count++ % m_every != 0) return;
    char name[32];
    std::snprintf(name, sizeof name, "_%06u.png", m_count - 1);
    std::vector<u32> opaque(argb, argb + static_cast<std::size_t>(width) * height);
    for (u32& p : opaque) p |= 0xFF000000u;
    WritePngFile(m_prefix + name, opaque.data(), width, height);
}

bool WritePngFile(const std::string& path, const u32* argb, int width, int height) {
    if (!argb || width <= 0 || height <= 0) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_BGRA;
    const std::string tmp = path + ".tmp";
    if (!png_image_write_to_file(&image, tmp.c_str(), 0, argb, width * 4, nullptr)) {
        std::remove(tmp.c_str());
        return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

bool ReadPngFile(const std::string& path, std::vector<u32>* argb, int* width, int* height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_BGRA;
    if (image.width > 16384 || image.height > 16384) {
        png_image_free(&image);
        return false;
    }
    argb->assign(static_cast<std::size_t>(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, argb->data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    return true;
}
