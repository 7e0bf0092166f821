#include "app/SceneDraw.h"

#include <algorithm>
#include <vector>

#include "app/Game.h"
#include "app/Services.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"

std::array<DDSURFACEDATA, kPictureSlots> g_aPicture;
Font g_aFont[3];
cVector<DDSURFACEDATA> g_vSceneSurface;
cVector<DDPICTUREDEF> g_vSceneSurfaceDef;
CYCLECOLOR g_CycleColor[10];

namespace {
// The palette the 8-bit fades show (faded from the reference palette g_palCur).
PALETTE g_palFade{};

// The nine cycle values: value, direction (1 up, -1 down); the ninth picks its colour by a
// mode that advances each time it turns at the bottom.
struct CYCLEVALUE {
    i32 v = 0;
    i32 dir = 1;
};
CYCLEVALUE g_aCycle[9];
i32 g_nCycleMode = 0;
u32 g_nCycleFrame = 0;
u32 g_nCycleStep = 16;
bool g_bCyclePalette = false;

// Moves one value by step; true when it turned at the bottom.
bool StepCycleValue(CYCLEVALUE& c, i32 step) {
    if (c.dir > 0) {
        c.v += step;
        if (c.v >= 255) {
            c.v -= step;
            c.dir = -1;
        }
        return false;
    }
    c.v -= step;
    if (c.v <= 0) {
        c.v += step;
        c.dir = 1;
        return true;
    }
    return false;
}

u32 Argb(i32 r, i32 g, i32 b) {
    auto c = [](i32 v) { return static_cast<u32>(std::clamp(v, 0, 255)); };
    return 0xFF000000u | c(r) << 16 | c(g) << 8 | c(b);
}
} // namespace

DDSURFACEDATA* ScenePicture(int slot) {
    if (!g_bDDInit || slot < 0 || slot >= kPictureSlots) return nullptr;
    return &g_aPicture[static_cast<std::size_t>(slot)];
}

bool LoadScenePictures(std::initializer_list<i32> slots) {
    if (!g_bDDInit || g_DDGraphics.pictures != g_aPicture.data()) return true;
    std::vector<i32> list(slots);
    // A menu font with icons draws them from the symbol picture, which an ended play released.
    if (g_aFont[1].iconsOn && !SurfacePixels(&g_aPicture[PIC_SYMBOL])) list.push_back(PIC_SYMBOL);
    if (DDLoadPictures(g_aPicture.data(), list.data(), static_cast<i32>(list.size()))) return true;
    PostMessage(g_hWnd, WM_CLOSE, 0, 0);
    return false;
}

void ReleaseSceneSurfaces() {
    DDReleaseSurfaceVector(g_vSceneSurface);
    g_vSceneSurface.clear();
    g_vSceneSurfaceDef.clear();
}

DDSURFACEDATA* AddSceneSurface(int w, int h, u32 colorKey, u32 memoryType) {
    if (!g_bDDInit) return nullptr;
    if (!DDAddSurface(g_vSceneSurface, g_vSceneSurfaceDef, w, h, colorKey, memoryType)) {
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        return nullptr;
    }
    return &g_vSceneSurface.back();
}

void SceneText(DDSURFACEDATA* dst, int x, int y, const std::string& sjis, int dots) {
    if (sjis.empty()) return;
    if (g_Services.drawText) {
        g_Services.drawText(x, y, sjis, dots);
        return;
    }
    Font& font = g_aFont[dots >= 32 ? 2 : 1];
    if (!font.face || !dst) return;
    // The menus' texts are laid out by the glyphs' own advances (the game's face may be a
    // proportional one); icons keep their cells.
    const u32 saved = font.glyphAdvance;
    font.glyphAdvance = font.iconsOn ? 0 : 1;
    DDDrawText(&font, dst, x, y, sjis.c_str(), 0);
    font.glyphAdvance = saved;
}

bool SceneFade(bool fadeIn) {
    if (!g_bDDInit) return true;
    const double step = std::max(g_Game.g_nFadeSpeed, 1);
    return fadeIn ? DDTransition2(&g_palFade, 0, 255, 0, 0, 0, step, &g_palCur, 0)
                  : DDTransition(&g_palFade, 0, 255, 0, 0, 0, step, &g_palCur, 0);
}

void SetCycleColorSettings(u32 step, bool palette8) {
    g_nCycleStep = step;
    g_bCyclePalette = palette8;
}

void UpdateCycleColors() {
    if (lpDTCon) {
        const i32 s = static_cast<i32>(std::min<u32>(g_nCycleStep, 255));
        for (int i = 0; i < 8; ++i) StepCycleValue(g_aCycle[i], s);
        if (StepCycleValue(g_aCycle[8], s)) g_nCycleMode = (g_nCycleMode + 1) % 4;
        const i32 v[9] = {g_aCycle[0].v, g_aCycle[1].v, g_aCycle[2].v, g_aCycle[3].v, g_aCycle[4].v,
                          g_aCycle[5].v, g_aCycle[6].v, g_aCycle[7].v, g_aCycle[8].v};
        const u32 colour[9] = {Argb(v[0], v[0], v[0]), Argb(v[1], v[1], v[1]), Argb(v[2], 0, 0), Argb(0, v[3], 0),
                               Argb(0, 0, v[4]),        Argb(v[5], v[5], 0),   Argb(v[6], 0, v[6] / 4),
                               Argb(v[7] / 4, 0, v[7]),
                               g_nCycleMode == 0   ? Argb(v[8], 0, 0)
                               : g_nCycleMode == 1 ? Argb(0, v[8], 0)
                               : g_nCycleMode == 2 ? Argb(0, 0, v[8])
                                                   : Argb(v[8], v[8], 0)};
        for (int k = 0; k < 9; ++k) {
            g_CycleColor[k + 1].dwColor = colour[k];
            g_CycleColor[k + 1].dwColorOp = k == 1 ? D3DTOP_SUBTRACT : D3DTOP_ADD;
        }
        return;
    }
    if (!g_lpDDState || g_nBpp != 8 || !g_bCyclePalette) return;
    if (++g_nCycleFrame % 6 != 0) return;
    for (int g = 0; g < 8; ++g) DDPalRotate(&g_palCur, 208 + 4 * g, 211 + 4 * g, 1, 0, &g_palCur);
    DDSetDisplayEntries(g_palCur, 208, 239);
}

void ResetCycleColors() {
    for (CYCLECOLOR& c : g_CycleColor) c = CYCLECOLOR{};
    for (CYCLEVALUE& c : g_aCycle) c = CYCLEVALUE{};
    g_nCycleMode = 0;
    g_nCycleFrame = 0;
}
