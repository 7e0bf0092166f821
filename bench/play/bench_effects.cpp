// The play screen's effects per drawing mode: twenty characters drawn through looping character
// effects of every kind (every other one magnified twice), and each screen effect redrawing the
// 640 x 480 frame; the blink, whose work is to redraw the stage background over the frame on its
// dark half, redraws two full-screen background layers as the play frame has it do. What they
// add to a frame of play counts against its 3 ms. Every case draws in every mode (none is listed
// in kNoPixelWork): one that draws nothing is an error and the program exits with a failure
// (bench/DrawCheck.h).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unistd.h>

#include "bench/DrawBench.h"
#include "bench/GraphicsModes.h"
#include "bench/Reference.h"
#include "database/Database.h"
#include "platform/graphics/Image.h"
#include "platform/system/PathResolver.h"
#include "play/effects/CharaDraw.h"

namespace {

using bench_modes::kModes;
using bench_modes::Mode;
using bench_modes::ModeName;
constexpr int kCharas = 20;
// Each case runs for a tenth of a second of its own time: seventy cases, each set up anew for
// every run the library makes of it, finish in well under two minutes.
constexpr double kCaseSeconds = 0.1;

// Parameters of each kind as the editor defaults them, run for a second and looped.
const i32 kCharaParams[CHARA_EFFECT_TYPES][5] = {
    {10}, {10, 0, 32}, {10, 0, 32, 4}, {10, 0, 32, 4}, {10, 0, 32, 2, 2}, {10, 0, 32, 2, 2}, {10, 2},
    {10, 0, 1440}, {10, 0, 1440}, {10, 0, 256}, {10, 32, 0, 2}, {10, 32, 64}, {10, 100, 5}, {10, 1, 4, 16},
    {10, 9999}, {10, 1, 8}, {10, 1, 4},
};
const i32 kScreenParams[SCR_EFFECT_TYPES][5] = {
    {10}, {10, 0, 0, 640, 0}, {10, 4, 4}, {10, 4, 4}, {10, 0, 640, 15}, {10, 0, 480, 20}, {10, 0, 640, 4, 8},
    {10, 0, 480, 4, 10}, {10, 10}, {10, 0, 1440}, {10, 640, 0, 8}, {10, 640, 1280}, {10, 1500, 5}, {10, 1, 60},
};

// A full-screen picture of its own pattern (and the transparent colour where the pattern says).
cImage FullScreen(u32 (*fn)(int, int)) {
    cImage img;
    img.width = 640;
    img.height = 480;
    img.argb.resize(640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) img.argb[static_cast<std::size_t>(y) * 640 + x] = fn(x, y);
    return img;
}

bool SaveBmp(const std::filesystem::path& path, const cImage& img) {
    const std::vector<u8> bmp = EncodeBmp(img, 24);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bmp.data(), 1, bmp.size(), f) == bmp.size();
    return std::fclose(f) == 0 && ok;
}

struct Fixture {
    std::filesystem::path dir;
    DDSURFACEDATA pic, work, work2, scratch, scratch2;
    // The stage background's two layers.
    DDSURFACEDATA bg0, bg1;
    std::unique_ptr<cGameScene> scene;
    bool ok = false;

    explicit Fixture(const Mode& m) {
        dir = std::filesystem::temp_directory_path() / ("tobrelk_bench_play_fx_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        SetGameRoot(dir);
        cImage img;
        img.width = img.height = 32;
        img.argb.resize(32 * 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                img.argb[y * 32 + x] = (x < 2 || y < 2) ? 0xFFFF00FFu : 0xFF000000u | u32(x * 8) << 16 | u32(y * 8) << 8 | 0x40u;
        SaveBmp(dir / "c.bmp", img);
        SaveBmp(dir / "bg0.bmp", FullScreen([](int x, int y) { return 0xFF203040u | u32((x / 8 + y / 8) & 63) << 8; }));
        SaveBmp(dir / "bg1.bmp", FullScreen([](int x, int y) {
            return ((x / 64 + y / 48) % 3 == 0) ? 0xFF806040u | u32(y & 63) : 0xFFFF00FFu; }));
        if (!bench_modes::StartGraphics(m)) return;
        ok = DDCreateSurfaceFromFile(&pic, "c.bmp", 1, m.bpp, 0, 0, 0, 0, 0, 0, 0) == 0 &&
             DDCreateSurface(&work, 640, 480, 1, 0, DTMEMORYTYPE_VIDEO_RT) &&
             DDCreateSurface(&work2, 640, 480, 1, 0, DTMEMORYTYPE_VIDEO_RT) &&
             DDCreateSurface(&scratch, 1024, 1024, 1, 0, DTMEMORYTYPE_VIDEO_NORT) &&
             DDCreateSurface(&scratch2, 1024, 1024, 1, 1, DTMEMORYTYPE_SYSTEM) &&
             DDCreateSurfaceFromFile(&bg0, "bg0.bmp", 1, m.bpp, 0, 0, 0, 0, 0, 0, 0) == 0 &&
             DDCreateSurfaceFromFile(&bg1, "bg1.bmp", 1, m.bpp, 0, 0, 0, 0, 0, 0, 0) == 0;
        // The effect records, prepared as start-up prepares them.
        g_Database.SetDefault();
        g_Database.m_vCharaEffect.assign(CHARA_EFFECT_TYPES, cCharaEffectParam());
        for (int t = 0; t < CHARA_EFFECT_TYPES; ++t) {
            g_Database.m_vCharaEffect[t].nEffectType = static_cast<u32>(t);
            for (int p = 0; p < 5; ++p) g_Database.m_vCharaEffect[t].anParam[p] = kCharaParams[t][p];
        }
        g_Database.m_vScrEffect.assign(SCR_EFFECT_TYPES, cScrEffectParam());
        for (int t = 0; t < SCR_EFFECT_TYPES; ++t) {
            g_Database.m_vScrEffect[t].nEffectType = static_cast<u32>(t);
            for (int p = 0; p < 5; ++p) g_Database.m_vScrEffect[t].anParam[p] = kScreenParams[t][p];
        }
        PrepareDatabase();
        scene = std::make_unique<cGameScene>();
        EffectSurfaces& s = scene->m_EffectSurf;
        s.pWork = &work;
        s.pWork2 = &work2;
        s.pScratch = &scratch;
        s.pScratch2 = &scratch2;
        s.Select(false);
        for (int i = 0; i < kCharas; ++i) {
            auto c = std::make_unique<cStageChara>();
            c->m_nId = static_cast<u32>(i + 1);
            c->m_nScale = 1 + i % 2;
            c->m_nGfxW = c->m_nGfxH = 32 * c->m_nScale;
            c->m_dX = 40 + (i % 5) * 120;
            c->m_dY = 40 + (i / 5) * 110;
            c->m_CharaEffect.Set(1 + i % (CHARA_EFFECT_TYPES - 1), EFFECT_FORWARD, 1);
            scene->AddChara(std::move(c));
        }
    }
    ~Fixture() {
        scene.reset();
        for (DDSURFACEDATA* sd : {&pic, &work, &work2, &scratch, &scratch2, &bg0, &bg1}) DDReleaseSurface(sd);
        DDRelease();
        g_Database.SetDefault();
        PrepareDatabase();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

// The back buffer as each case finds it before its check: the stage background's first layer,
// a pattern that an effect moving the frame's pixels about (a wave, a lens, a mosaic) changes,
// as a flat colour would not show.
void PrimeBackBuffer(Fixture& f) {
    DDBlt(&g_sdBackBuffer, 0, 0, 640, 480, &f.bg0, 0, 0, 0);
    DDEndScene();
}

// Every effect runs for a second and loops: the check looks at a whole round of it (a circle
// that closes from beyond the screen's corners changes nothing in its first frames). A case
// that draws ends its check at its first change.
constexpr int kCheckRuns = 64;

// The cases without pixel work by design, named "<benchmark> <screen effect>" in a mode: none. A
// character effect always draws its character, and each screen effect redraws the frame.
constexpr std::span<const bench_draw::cByDesign> kNoPixelWork{};

// Times work against the blend once the check finds it draws in this mode; a case listed in
// kNoPixelWork is only named so (the label gains what it does instead) and has no ratio, and
// any other that draws nothing is an error. checked runs between the check and the runs timed.
template <class Prime, class Work, class Checked = bench_ref::cNothingBetween>
void RunChecked(benchmark::State& state, const std::string& name, const std::string& mode, const std::string& label,
                Prime&& prime, Work&& work, Checked checked = {}) {
    const bench_draw::eDraws found = bench_draw::WhatItDraws(prime, work, kCheckRuns);
    checked();
    if (!bench_draw::Apply(state, label, bench_draw::Judge(name, mode, found, kNoPixelWork))) {
        for (auto _ : state) work();
        return;
    }
    // Against a plain alpha blend of a 640x480 frame (x_blend). Goal: within 1.5x.
    bench_ref::RunAgainst(state, "blend", work, bench_ref::RefBlend);
}

bool Start(benchmark::State& state, std::unique_ptr<Fixture>& f) {
    const Mode m = kModes[state.range(0)];
    state.SetLabel(ModeName(m));
    f = std::make_unique<Fixture>(m);
    if (!f->ok) state.SkipWithError("graphics start-up failed");
    return f->ok;
}

void BM_TwentyCharaEffects(benchmark::State& state) {
    std::unique_ptr<Fixture> f;
    if (!Start(state, f)) return;
    DDSURFACEDATA* pic = &f->pic;
    const CharaPictureFn fill = [pic](cChara&, i32, i32, PictureDesc& d) {
        d.pPicture = d.pStretch = d.pStretch2 = pic;
        d.nWidth = d.nHeight = 32;
        return true;
    };
    const std::string mode = ModeName(kModes[state.range(0)]);
    RunChecked(state, "TwentyCharaEffects", mode, mode, [&] { PrimeBackBuffer(*f); }, [&] {
        f->scene->ForEachChara([&](cStageChara& c) { DrawCharaEffect(c, &g_sdBackBuffer, 0, fill); });
        DDEndScene();
        benchmark::ClobberMemory();
    });
}
BENCHMARK(BM_TwentyCharaEffects)->DenseRange(0, 4)->MinTime(kCaseSeconds)->Unit(benchmark::kMillisecond);

void BM_ScreenEffect(benchmark::State& state) {
    std::unique_ptr<Fixture> f;
    if (!Start(state, f)) return;
    const i32 type = static_cast<i32>(state.range(1));
    const std::string mode = ModeName(kModes[state.range(0)]);
    const std::string label = mode + " " + g_ScrEffectTypeName[type];
    state.SetLabel(label);
    DDSURFACEDATA* back = &g_sdBackBuffer;
    // The stage background's layers, as the play frame redraws them for the blink.
    long redraws = 0, frames = 0;
    const std::function<void()> redraw = [&] {
        ++redraws;
        DDBlt(back, 0, 0, 640, 480, &f->bg0, 0, 0, 0);
        DDBlt(back, 0, 0, 640, 480, &f->bg1, 0, 0, DDBLT_KEY);
    };
    const auto work = [&] {
        RunScreenEffect(*f->scene, 0, redraw);
        ++frames;
        DDEndScene();
        benchmark::ClobberMemory();
    };
    // The check starts the effect from its beginning; the runs timed go on from where it left it.
    const auto prime = [&] {
        f->scene->m_ScreenEffect.Set(type, EFFECT_FORWARD, 1);
        PrimeBackBuffer(*f);
    };
    // Only the frames timed are counted.
    RunChecked(state, std::string("ScreenEffect ") + g_ScrEffectTypeName[type], mode, label, prime, work,
               [&] { redraws = frames = 0; });
    // The share of the timed frames that redrew the background (the blink's frames that do).
    if (redraws > 0) state.counters["redrawn"] = static_cast<double>(redraws) / static_cast<double>(frames);
}
BENCHMARK(BM_ScreenEffect)->ArgsProduct({{0, 1, 2, 3, 4}, benchmark::CreateDenseRange(1, SCR_EFFECT_TYPES - 1, 1)})
    ->MinTime(kCaseSeconds)->Unit(benchmark::kMillisecond);

} // namespace
