#pragma once
// The cases of the graphics effects benchmark: every effect blitter and both transitions at
// 640 x 480, per drawing mode, each drawing a full-screen picture through the effect into the
// back buffer.
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/DrawCheck.h"
#include "bench/GraphicsModes.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"
#include "platform/system/PathResolver.h"

namespace bench_fx {

using bench_modes::kModeCount;
using bench_modes::kModes;
using bench_modes::Mode;
using bench_modes::ModeName;

// The graphics started in a mode with the picture loaded twice (a picture and a picture in
// system memory), in a folder of its own.
struct Fixture {
    DDSURFACEDATA pic, sys;
    std::filesystem::path dir;
    bool ok = false;

    explicit Fixture(const Mode& m) {
        dir = std::filesystem::temp_directory_path() / ("tobrelk_bench_fx_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        SetGameRoot(dir);
        cImage img;
        img.width = 640;
        img.height = 480;
        img.argb.resize(640 * 480);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                img.argb[y * 640 + x] = ((x / 16 + y / 16) % 7 == 0) ? 0xFFFF00FFu
                                                                     : 0xFF000000u | u32(x & 255) << 16 | u32(y & 255) << 8 | 0x50u;
        const std::vector<u8> bmp = EncodeBmp(img, 24);
        if (FILE* f = std::fopen((dir / "fx.bmp").c_str(), "wb")) {
            std::fwrite(bmp.data(), 1, bmp.size(), f);
            std::fclose(f);
        }
        if (!bench_modes::StartGraphics(m)) return;
        ok = DDCreateSurfaceFromFile(&pic, "fx.bmp", 1, m.bpp, 0, 0, 0, 0, 0, 0, 0) == 0 &&
             DDCreateSurfaceFromFile(&sys, "fx.bmp", 1, m.bpp, 0, DTMEMORYTYPE_SYSTEM, 0, 0, 0, 0, 0) == 0;
    }
    ~Fixture() {
        DDReleaseSurface(&pic);
        DDReleaseSurface(&sys);
        DDRelease();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;
};

struct Case {
    const char* name;
    void (*draw)(DDSURFACEDATA* back, Fixture& f);
};

#define BENCH_FX_CASE(name, body) {#name, [](DDSURFACEDATA* back, Fixture& f) { (void)back; (void)f; body; }}
inline const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        BENCH_FX_CASE(WaveRows, DDBltWave(back, 0, 0, 640, 480, 4, 12.0, 30, 2, &f.pic, 0, 0, 1, 0)),
        BENCH_FX_CASE(WaveColumns, DDBltWave(back, 0, 0, 640, 480, 4, 12.0, 30, 1, &f.pic, 0, 0, 1, 1)),
        BENCH_FX_CASE(SplitStrips, DDBltSplit(back, 0, 0, 640, 480, 40, 20, &f.pic, 0, 0, 1, 1)),
        BENCH_FX_CASE(Quarters, DDBltQuarters(back, 0, 0, 640, 480, &f.pic, 0, 0, 40, 1)),
        BENCH_FX_CASE(DepthRotate, DDBltDepthRotate(back, 0, 0, 640, 480, &f.pic, 0, 0, &f.sys, 0, 0, 640, 480, 1, 100, 0)),
        BENCH_FX_CASE(Circle, DDBltCircle(back, 320, 240, 320, 240, 240, 2, &f.pic, 320, 240, 1)),
        BENCH_FX_CASE(Lens, DDBltLens(back, 320, 240, 400, 60, &f.pic, 320, 240, 1, 0)),
        BENCH_FX_CASE(RotateQuad, DDBltRotate(back, 320, 240, 640, 480, 320, 240, 30, &f.pic, 0, 0, 1)),
        BENCH_FX_CASE(RotateFixedPoint, DDBltRotate(back, 320, 240, 640, 480, 320, 240, 30, &f.sys, 0, 0, 1)),
        BENCH_FX_CASE(ColorBlend, DDBltColorBlend(back, 0, 0, 640, 480, &f.pic, 0, 0, 1, &g_palBase, g_lpBlendTable, 3, 2)),
        BENCH_FX_CASE(ColorBlendLocked, DDBltColorBlend(back, 0, 0, 640, 480, &f.sys, 0, 0, 1, &g_palBase, g_lpBlendTable, 3, 2)),
        BENCH_FX_CASE(HalfAlpha, DDBltHalfAlpha(back, 0, 0, 640, 480, &f.pic, 0, 0, 1, g_lpBlendTable)),
        BENCH_FX_CASE(HalfAlphaLocked, DDBltHalfAlpha(back, 0, 0, 640, 480, &f.sys, 0, 0, 1, g_lpBlendTable)),
        BENCH_FX_CASE(Mosaic, DDMosaic(back, 0, 0, 640, 480, 8, &f.pic, 0, 0, 1)),
        BENCH_FX_CASE(Blur, DDBlur(back, 0, 0, 640, 480, 4, 4, &f.pic, 0, 0, 1)),
        BENCH_FX_CASE(ChangeColor, DDChangeColor(back, 0, 0, 640, 480, 100, 255, 64, 0)),
        BENCH_FX_CASE(TransitionOut, DDTransition(&g_palDisplay, 0, 255, 0, 0, 0, 10.0, &g_palCur, 0)),
        BENCH_FX_CASE(TransitionIn, DDTransition2(&g_palDisplay, 0, 255, 0, 0, 0, 10.0, &g_palCur, 0)),
    };
    return cases;
}
#undef BENCH_FX_CASE

// The cases that have no pixel work in a mode by design; every other case must draw.
inline constexpr bench_draw::cByDesign kNoPixelWork[] = {
    {"ChangeColor", "DD32", bench_draw::eDraws::Nothing, "colour change is for Direct3D alone"},
    {"ChangeColor", "DD16", bench_draw::eDraws::Nothing, "colour change is for Direct3D alone"},
    {"ChangeColor", "DD8", bench_draw::eDraws::Nothing, "colour change is for Direct3D alone"},
    {"Blur", "DD8", bench_draw::eDraws::Nothing, "an 8-bit blur is not made"},
    {"TransitionOut", "DD8", bench_draw::eDraws::PaletteOnly, "an 8-bit fade is made by the palette"},
    {"TransitionIn", "DD8", bench_draw::eDraws::PaletteOnly, "an 8-bit fade is made by the palette"},
};

// The back buffer as each case finds it before its check: one flat colour, which every case
// that draws the picture changes. A transition keeps its phase from call to call: both are
// finished first (which leaves each at its start and the display palette as the game's), so
// that a case's check sees its own fade from the beginning, whatever an earlier run left.
inline void PrimeBackBuffer() {
    DDTransition(&g_palDisplay, 0, 255, 0, 0, 0, 10.0, &g_palCur, 1);
    DDTransition2(&g_palDisplay, 0, 255, 0, 0, 0, 10.0, &g_palCur, 1);
    DDEndScene();
    DDFillSurface(&g_sdBackBuffer, 7);
}

} // namespace bench_fx
