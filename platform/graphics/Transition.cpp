// Whole-screen colour effects: palette fades and rotation, the fade without a palette, the
// fade transitions of the scenes, and the restores after a device loss (which never happens
// to surfaces in memory).
#include <algorithm>
#include <cmath>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Raster.h"
#include "platform/system/Report.h"

namespace {
bool g_bTestLost = false;

// The phases of the two transitions, one per drawing mode: only one fade of each kind runs
// at a time, on the game thread.
double g_phaseOut[2] = {90, 90};
double g_phaseIn[2] = {0, 0};

constexpr double kTransitionDegToRad = 0.017453292519943295;

u8 Mix(u32 s, u32 c, i32 w) { return static_cast<u8>((s * static_cast<u32>(w) + c * static_cast<u32>(256 - w)) >> 8); }

i32 ClampIndex(i32 i) { return std::clamp(i, 0, 255); }

// One frame of either fade at this phase.
void DrawFade(PALETTE* dst, i32 first, i32 last, u8 red, u8 green, u8 blue, const PALETTE* src, double phase,
              bool atStart) {
    const double s = std::sin(phase * kTransitionDegToRad);
    if (lpDTCon) {
        // A black quad over the whole back buffer, its alpha from the phase alone.
        const u32 a = static_cast<u32>(s * 255);
        PixelStore* back = SurfacePixels(&g_sdBackBuffer);
        if (!back) return;
        DDBeginScene();
        RasterFill(*back, 0, 0, back->width, back->height, (255 - std::min<u32>(a, 255)) << 24, true);
        return;
    }
    const i32 w = std::clamp(static_cast<i32>(s * 256), 0, 256);
    if (g_nBpp == 8) {
        if (!dst || !src) return;
        DDPalFade(dst, first, last, w, red, green, blue, src);
        DDSetDisplayEntries(*dst, first, last);
        return;
    }
    // The scene is faded from the frame it showed when the fade began.
    if (atStart) {
        const PixelStore* b = SurfacePixels(&g_sdBackBuffer);
        PixelStore* copy = SurfacePixels(&g_sdBack2);
        if (b && copy && b->px.size() == copy->px.size()) copy->px = b->px;
    }
    DDFade_UnPal(&g_sdBackBuffer, w, red, green, blue, &g_sdBack2);
}
} // namespace

void DDPalFade(PALETTE* dst, i32 first, i32 last, i32 w, u8 red, u8 green, u8 blue, const PALETTE* src) {
    if (!dst || !src) return;
    w = std::clamp(w, 0, 256);
    const PALETTE from = *src;
    for (i32 i = ClampIndex(first); i <= ClampIndex(last) && i >= first; ++i) {
        const PALETTEENTRY& e = from[i];
        (*dst)[i] = PALETTEENTRY{Mix(e.peRed, red, w), Mix(e.peGreen, green, w), Mix(e.peBlue, blue, w), 1};
    }
}

void DDPalRotate(PALETTE* dst, i32 first, i32 last, i32 n, i32 direction, const PALETTE* src) {
    if (!dst || !src) return;
    if (g_nBpp != 8 && g_nBpp != 16 && g_nBpp != 32) return;
    const PALETTE from = *src;
    *dst = from;
    first = ClampIndex(first);
    last = ClampIndex(last);
    const i32 len = last - first + 1;
    if (len <= 0 || (direction != 0 && direction != 1)) return;
    const i32 k = ((n % len) + len) % len;
    for (i32 i = 0; i < len; ++i) {
        // Direction 0: the last n entries come to the front.
        const i32 from_i = direction == 0 ? (i - k + len) % len : (i + k) % len;
        (*dst)[first + i] = from[first + from_i];
    }
}

void DDSetDisplayEntries(const PALETTE& palette, i32 first, i32 last) {
    for (i32 i = ClampIndex(first); i <= ClampIndex(last) && i >= first; ++i) g_palDisplay[i] = palette[i];
}

void DDPixelFormatShifts(PIXELFORMAT* table) {
    if (!table || lpDTCon) return;
    // The display's format: R5G6B5 at 16 bits (the common one), X8R8G8B8 above.
    *table = g_nBpp == 16 ? PIXELFORMAT{11, 5, 0, 0, 31, 63, 31, 0} : PIXELFORMAT{};
}

u32 DDPalToRGB16(const PALETTEENTRY& e) {
    if (lpDTCon) {
        DebugLog("DDPalToRGB16はDirect3Dでは未対応");
        return 0;
    }
    const PIXELFORMAT& f = g_PixelFormat;
    return (e.peRed & f.maxR) << f.shiftR | (e.peGreen & f.maxG) << f.shiftG | (e.peBlue & f.maxB) << f.shiftB;
}

bool DDTransition(PALETTE* dst, i32 first, i32 last, u8 red, u8 green, u8 blue, double step, const PALETTE* src,
                  u32 finish) {
    double& phase = g_phaseOut[lpDTCon ? 1 : 0];
    if (finish) phase = 0;
    const bool ended = phase <= 0;
    DrawFade(dst, first, last, red, green, blue, src, phase, phase >= 90);
    if (ended) {
        phase = 90;
        return true;
    }
    phase = std::max(0.0, phase - step);
    return false;
}

bool DDTransition2(PALETTE* dst, i32 first, i32 last, u8 red, u8 green, u8 blue, double step, const PALETTE* src,
                   u32 finish) {
    double& phase = g_phaseIn[lpDTCon ? 1 : 0];
    if (finish) phase = 90;
    const bool ended = phase >= 90;
    DrawFade(dst, first, last, red, green, blue, src, phase, phase <= 0);
    if (ended) {
        phase = 0;
        return true;
    }
    phase = std::min(90.0, phase + step);
    return false;
}

void DDTestMarkLost(bool lost) { g_bTestLost = lost; }

namespace {
// After a loss every surface would need its contents again: pictures reload themselves from
// their files, work surfaces are marked for their owners to redraw.
void MarkRestored(bool workOnly) {
    DDSURFACEDATA* pics = g_DDGraphics.pictures;
    for (i32 i = 0; pics && i < g_DDGraphics.pictureCount; ++i) {
        DDSURFACEDATA& sd = pics[i];
        const bool named = !sd.source.empty() && sd.source != "E";
        if (!workOnly || !named || sd.alias) sd.restored = 1;
    }
}
} // namespace

i32 DDRestoreSurface() {
    DebugLog("Restore In");
    if (!lpDTCon) {
        DebugLog("DDではDDRestoreSurfaceは未対応");
        return 1;
    }
    if (g_bTestLost) {
        MarkRestored(false);
        g_bTestLost = false;
    }
    DebugLog("Restore Out");
    return 1;
}

i32 DDRestore() {
    if (lpDTCon) {
        DebugLog("D3DではDDRestoreは未対応");
        return 1;
    }
    if (g_bTestLost) {
        MarkRestored(true);
        g_bTestLost = false;
    }
    return 1;
}
