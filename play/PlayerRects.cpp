// The player's rectangle display.
#include <algorithm>

#include "database/SystemSwitches.h"
#include "platform/graphics/Raster.h"
#include "play/GameScene.h"
#include "play/PlayDraw.h"
#include "play/effects/CharaDraw.h"

namespace {

// Display modes and colours of the rectangle display (the stage settings' choices).
enum : i32 { RECT_HIDDEN = 0, RECT_SHOWN = 1, RECT_FRAME_ONLY = 2 };
constexpr i32 kRainbow = 7;
// Red, green, blue, yellow, red-purple, blue-purple, black; the rainbow runs through the first
// six, a colour every four frames.
constexpr u32 kRectRgb[7] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xE000A0, 0x8000FF, 0x000000};

u32 RectColour(u32 setting, u32 frame) {
    const u32 k = setting == kRainbow ? frame / 4 % 6 : std::min<u32>(setting, 6);
    return PaletteIndexOf(kRectRgb[k]);
}

void FrameBox(DDSURFACEDATA* target, i32 x, i32 y, i32 w, i32 h, u32 colour) {
    DDFillRect(target, x, y, w, 1, colour);
    DDFillRect(target, x, y + h - 1, w, 1, colour);
    DDFillRect(target, x, y, 1, h, colour);
    DDFillRect(target, x + w - 1, y, 1, h, colour);
}

} // namespace

void DrawPlayerRects(cPlayer& p, DDSURFACEDATA* target, i32 freeze) {
    DrawCharaEffect(p, target, freeze, CharaPicture);
    // The rectangles are a check of the game's author: the system's switch asks for them, and
    // only the 8-bit mode draws them.
    if (!target || !SysSwitch(SW_RECT_DISPLAY) || lpDTCon || g_nBpp != 8) return;
    // The rectangles sit at the position the play knows, whatever picture the effect draws. A
    // shown rectangle is tinted with its colour over what lies below and framed; the second
    // mode frames it only. The rectangle display in a test play from the editor is the same.
    const i32 x = p.m_rcScreen.left + p.m_nGfxOffX, y = p.m_rcScreen.top + p.m_nGfxOffY;
    const u32 frame = p.m_pScene ? p.m_pScene->m_nFrameCounter : 0;
    for (const RECTDISPLAY& e : p.m_vRectDisplay) {
        if (e.bVisible != RECT_SHOWN && e.bVisible != RECT_FRAME_ONLY) continue;
        if (e.w <= 0 || e.h <= 0) continue;
        const u32 colour = RectColour(e.nColour, frame);
        if (e.bVisible == RECT_SHOWN)
            DDBltColorBlend(target, x + e.x, y + e.y, e.w, e.h, target, x + e.x, y + e.y, 0, &g_palBase, g_lpBlendTable,
                            colour, 1);
        FrameBox(target, x + e.x, y + e.y, e.w, e.h, colour);
    }
}
