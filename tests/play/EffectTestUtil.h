#pragma once
// Shared set-up of the effect tests: effect records installed as the start-up prepares them,
// the work surfaces of the effects in a started drawing mode, and contact sheets of frames.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "database/Database.h"
#include "play/effects/CharaEffect.h"
#include "tests/platform/graphics/GfxTestUtil.h"

// A record of the given type and parameters.
template <class Rec>
Rec EffectRecord(u32 type, std::vector<i32> p) {
    Rec r;
    r.nEffectType = type;
    for (std::size_t i = 0; i < 5; ++i) r.anParam[i] = i < p.size() ? p[i] : 0;
    return r;
}

// Installs character and screen effect records (record 0 is the none entry) and prepares the
// rows as start-up does; the previous lists come back at the end of the scope.
class ScopedEffectRows {
public:
    ScopedEffectRows(std::vector<cCharaEffectParam> chara, std::vector<cScrEffectParam> screen)
        : m_chara(g_Database.m_vCharaEffect), m_screen(g_Database.m_vScrEffect) {
        g_Database.m_vCharaEffect.assign(1, cCharaEffectParam());
        for (auto& r : chara) g_Database.m_vCharaEffect.push_back(r);
        g_Database.m_vScrEffect.assign(1, cScrEffectParam());
        for (auto& r : screen) g_Database.m_vScrEffect.push_back(r);
        Prepare();
    }
    ~ScopedEffectRows() {
        g_Database.m_vCharaEffect = m_chara;
        g_Database.m_vScrEffect = m_screen;
        Prepare();
    }

private:
    static void Prepare() {
        g_Database.ResetNoneRecords();
        g_Database.BuildReversedEffects();
        InitCharaEffectData(g_vCharaEffectData, g_vCharaEffectData2);
        InitScreenEffectData(g_vScreenEffectData, g_vScreenEffectData2);
    }
    cVector<cCharaEffectParam> m_chara;
    cVector<cScrEffectParam> m_screen;
};

// The effects' work surfaces as the picture slots make them (colour-keyed; the second scratch
// surface a system texture), released at the end of the scope.
class ScopedWorkSurfaces {
public:
    ScopedWorkSurfaces() {
        ok = DDCreateSurface(&work, 640, 480, 1, 0, DTMEMORYTYPE_VIDEO_RT) &&
             DDCreateSurface(&work2, 640, 480, 1, 0, DTMEMORYTYPE_VIDEO_RT) &&
             DDCreateSurface(&scratch, 1024, 1024, 1, 0, DTMEMORYTYPE_VIDEO_NORT) &&
             DDCreateSurface(&scratch2, 1024, 1024, 1, 1, DTMEMORYTYPE_SYSTEM);
        surf.pWork = &work;
        surf.pWork2 = &work2;
        surf.pScratch = &scratch;
        surf.pScratch2 = &scratch2;
        surf.Select(false);
    }
    ~ScopedWorkSurfaces() {
        for (DDSURFACEDATA* sd : {&work, &work2, &scratch, &scratch2}) DDReleaseSurface(sd);
    }
    DDSURFACEDATA work, work2, scratch, scratch2;
    EffectSurfaces surf;
    bool ok = false;
};

// A grid of equal cells, filled cell by cell and compared with a golden picture.
class ContactSheet {
public:
    ContactSheet(int cols, int rows, int cellW, int cellH)
        : m_cols(cols), m_cellW(cellW), m_cellH(cellH),
          m_px(static_cast<std::size_t>(cols) * cellW * rows * cellH, 0xFF000000u) {}
    // Cell (col, row) from the w x h pixels src (row pitch srcW) at (sx, sy), every step-th pixel.
    void Put(int col, int row, const std::vector<u32>& src, int srcW, int sx, int sy, int step = 1);
    int Width() const { return m_cols * m_cellW; }
    int Height() const { return static_cast<int>(m_px.size()) / Width(); }
    const std::vector<u32>& Pixels() const { return m_px; }

private:
    int m_cols, m_cellW, m_cellH;
    std::vector<u32> m_px;
};

// The drawing modes the goldens are kept for, each with its own.
std::vector<GfxMode> EffectModes();
std::string EffectGoldenName(const char* what, const GfxMode& m);
