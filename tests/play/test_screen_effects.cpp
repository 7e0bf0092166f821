// Screen effects: every kind redrawing a play frame over its first frames, as quarter-size
// thumbnails against a golden per drawing mode (TOBRELK_UPDATE_GOLDENS=1 rewrites them), the
// run's timing, and the edges the pictures cannot show.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "play/effects/ScreenEffect.h"
#include "play/objects/Obj.h"
#include "platform/graphics/Raster.h"
#include "tests/play/EffectTestUtil.h"

namespace {

using SE = cScrEffectParam;
constexpr int kScrFrames = 4; // frames 0, 2, 4, 6
constexpr int kThumb = 4;  // thumbnails at a quarter of the screen
constexpr i32 kPlayerX = 200, kPlayerY = 300;

std::vector<SE> ScrKindRecords() {
    return {
        EffectRecord<SE>(1, {1, 0, 0, 160, -80}), EffectRecord<SE>(2, {1, 40, 1}),
        EffectRecord<SE>(3, {1, 40, 1}),          EffectRecord<SE>(4, {1, 0, 40, 12}),
        EffectRecord<SE>(5, {1, 0, 40, 16}),      EffectRecord<SE>(6, {1, 0, 40, 2, 8}),
        EffectRecord<SE>(7, {1, 0, 40, 2, 10}),   EffectRecord<SE>(8, {1, 2}),
        EffectRecord<SE>(9, {1, 0, 90}),          EffectRecord<SE>(10, {1, 400, 60, 8}),
        EffectRecord<SE>(11, {1, 320, 1280}),     EffectRecord<SE>(12, {1, 600, 100, 0, 0}),
        EffectRecord<SE>(13, {1, 1, 24}),
    };
}

// The background: four bands. The play drawn over it: a grid of blocks and the player.
void DrawBackground() {
    for (int i = 0; i < 4; ++i) DDFillRect(&g_sdBackBuffer, 0, i * 120, 640, 120, static_cast<u32>(3 + i));
}
void DrawPlay() {
    DrawBackground();
    for (int y = 0; y < 480; y += 64)
        for (int x = (y / 64) % 2 * 32; x < 640; x += 64) DDFillRect(&g_sdBackBuffer, x, y, 32, 32, 1);
    DDFillRect(&g_sdBackBuffer, kPlayerX - 12, kPlayerY - 16, 24, 32, 2);
}

class ScreenEffectStrip : public ::testing::TestWithParam<GfxMode> {
protected:
    void SetUp() override {
        mode = std::make_unique<ScopedMode>(GetParam());
        ASSERT_TRUE(mode->ok);
        work = std::make_unique<ScopedWorkSurfaces>();
        ASSERT_TRUE(work->ok);
    }
    void TearDown() override {
        work.reset();
        mode.reset();
    }
    ScreenEffectCall Call(cScreenEffectRun& run) {
        ScreenEffectCall c;
        c.pRun = &run;
        c.pBack = &g_sdBackBuffer;
        c.pSurf = &work->surf;
        c.nPlayerX = kPlayerX;
        c.nPlayerY = kPlayerY;
        c.redrawBackground = DrawBackground;
        return c;
    }
    std::vector<u32> Frame() {
        std::vector<u32> f;
        i32 w = 0, h = 0;
        DDSnapshotFrame(&f, &w, &h);
        return f;
    }
    // The lens's steps one by one: the work surface cleared as far as the lens reaches, the frame
    // copied onto it, the frame filled, and the lens drawn back from the copy.
    static void PlainLens(const cScreenEffectRun& run, DDSURFACEDATA* back, DDSURFACEDATA* w) {
        const i32 lx = kPlayerX + run.Param(3), ly = kPlayerY + run.Param(4);
        const i32 far = std::max(lx < 320 ? 640 - lx : lx, ly < 240 ? 480 - ly : ly);
        const i32 r = Trunc32(far * 1.4142135623730951), side = g_nBpp == 16 ? 4 * r : 2 * r;
        DDFillRect(w, 0, 0, side, side, 0);
        DDBlt(w, 0, 0, 640, 480, back, 0, 0, 0);
        DDFillRect(back, 0, 0, 640, 480, 16);
        D3DSetAlphaOp(D3DTOP_DISABLE);
        DDBltLens(back, lx, ly, r, Trunc32(run.m_dValue), w, lx, ly, 0, 0);
        D3DResetAlphaOp();
    }
    std::unique_ptr<ScopedMode> mode;
    std::unique_ptr<ScopedWorkSurfaces> work;
};

} // namespace

TEST_P(ScreenEffectStrip, EveryKindMatchesGolden) {
    ScopedEffectRows rows({}, ScrKindRecords());
    ContactSheet sheet(kScrFrames, SCR_EFFECT_TYPES - 1, 640 / kThumb, 480 / kThumb);
    for (i32 id = 1; id < SCR_EFFECT_TYPES; ++id) {
        cScreenEffectRun run;
        run.Set(id, EFFECT_FORWARD, 0);
        const ScreenEffectCall call = Call(run);
        for (int f = 0; f < 2 * kScrFrames - 1; ++f) {
            DrawPlay();
            RunScreenEffect(call);
            if (f % 2 == 0) sheet.Put(f / 2, id - 1, Frame(), 640, kThumb / 2, kThumb / 2, kThumb);
        }
    }
    EXPECT_TRUE(MatchesGolden(EffectGoldenName("screen_effects", GetParam()), sheet.Pixels(), sheet.Width(),
                              sheet.Height()));
}

TEST_P(ScreenEffectStrip, TimingRedrawsAndTheEndOfARun) {
    ScopedEffectRows rows({}, {EffectRecord<SE>(1, {2, 0, 0, 60, 0}), EffectRecord<SE>(4, {1, 10, 10, 4}),
                               EffectRecord<SE>(0, {1}), EffectRecord<SE>(2, {0, 10, 1}),
                               EffectRecord<SE>(11, {1, 640, 640}), EffectRecord<SE>(4, {1, 0, 30, 0}),
                               EffectRecord<SE>(13, {1, -5, 0})});
    cScreenEffectRun run;
    ScreenEffectCall call = Call(run);
    auto frames = [&](i32 id, i32 mode) {
        run.Set(id, mode, 0);
        int n = 0;
        while (run.m_nId != 0 && n < 1000) {
            DrawPlay();
            RunScreenEffect(call);
            ++n;
        }
        return n;
    };
    // Time-counting kinds go on while the whole part of the value (1/6 a frame) is at most p0:
    // 6 x p0 + 6 frames, and one more where the sum of sixths falls just short of a whole.
    EXPECT_EQ(frames(1, EFFECT_FORWARD), 19);
    // p1 = p2: timed, 6 x p0 + 1 frames with the value held at p1.
    EXPECT_EQ(frames(2, EFFECT_FORWARD), 7);
    // There and back: both passes.
    EXPECT_EQ(frames(1, EFFECT_THERE_AND_BACK), 38);
    // A run time of 0 is one tenth: the shake's step divides by it.
    EXPECT_EQ(frames(4, EFFECT_FORWARD), 12);
    EXPECT_TRUE(std::isfinite(run.m_dOffset));

    // "Move" follows its line a little past the end point: the run goes on while the whole part
    // of the value is p0, up to 5/6 of a tenth more (60 dots in 2 tenths: 89 at the last step);
    // reversed it runs from the end point back. A new position shows from the next frame on.
    run.Set(1, EFFECT_FORWARD, 0);
    i32 most = 0;
    for (int i = 0; i < 19 && run.m_nId != 0; ++i) {
        RunScreenEffect(call);
        most = std::max(most, run.m_nA);
    }
    EXPECT_EQ(run.m_nId, 0);
    EXPECT_EQ(most, 89);
    run.Set(1, EFFECT_REVERSED, 0);
    RunScreenEffect(call);
    EXPECT_EQ(run.m_nA, 60);
    RunScreenEffect(call);
    EXPECT_EQ(run.m_nA, 60 - 5);
    run.Set(1, EFFECT_FORWARD, 0);
    DrawPlay();
    const std::vector<u32> before = Frame();
    RunScreenEffect(call);
    EXPECT_EQ(Frame(), before);

    // A redraw draws without stepping.
    run.Set(1, EFFECT_FORWARD, 0);
    call.bNoStep = 1;
    for (int i = 0; i < 30; ++i) RunScreenEffect(call);
    EXPECT_EQ(run.m_nId, 1);
    EXPECT_EQ(run.m_dValue, 0.0);
    call.bNoStep = 0;

    // Type 0 with a nonzero id never ends by itself.
    run.Set(3, EFFECT_FORWARD, 0);
    for (int i = 0; i < 100; ++i) RunScreenEffect(call);
    EXPECT_EQ(run.m_nId, 3);

    // Zoom at exactly 640 (scale 1) is the view centred on the player, clamped: the frame itself.
    run.Set(5, EFFECT_FORWARD, 0);
    DrawPlay();
    const std::vector<u32> plain = Frame();
    RunScreenEffect(call);
    EXPECT_EQ(Frame(), plain);

    // Split count 0 draws the frame plain; a mosaic block below 1 is 1 (the frame itself).
    for (i32 id : {6, 7}) {
        run.Set(id, EFFECT_FORWARD, 0);
        DrawPlay();
        RunScreenEffect(call);
        EXPECT_EQ(Frame(), plain) << id;
    }

    // Out-of-range numbers are no effect.
    run.Set(99, EFFECT_FORWARD, 0);
    EXPECT_EQ(run.m_nId, 0);
}

TEST_P(ScreenEffectStrip, ParametersFarOutOfRangeStayInRange) {
    // Every kind with parameters far beyond the editor's ranges draws without overflowing a
    // coordinate (the sanitizer build would stop on it).
    for (i32 extreme : {INT_MAX, INT_MIN}) {
        std::vector<SE> recs;
        for (u32 t = 1; t < SCR_EFFECT_TYPES; ++t) recs.push_back(EffectRecord<SE>(t, {extreme, extreme, extreme / -2, extreme, extreme}));
        ScopedEffectRows rows({}, recs);
        cScreenEffectRun run;
        const ScreenEffectCall call = Call(run);
        for (i32 id = 1; id < SCR_EFFECT_TYPES; ++id) {
            run.Set(id, EFFECT_FORWARD, 0);
            for (int f = 0; f < 2; ++f) RunScreenEffect(call);
        }
    }
}

// The shift and the shakes draw the work surface back with the keyed blit where that gives the
// plain blit's pixels (an opaque quad): a frame with translucent parts, under a white, a tinted
// and a translucent quad colour, is drawn as the plain blits of the routines' own steps draw it.
TEST_P(ScreenEffectStrip, ShiftAndShakesDrawWhatThePlainBlitDraws) {
    ScopedEffectRows rows({}, ScrKindRecords());
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDSURFACEDATA* w = &work->work;
    auto draw = [&] {
        DrawPlay();
        D3DFillRect(back, 100, 50, 300, 200, 0x80FF4020u);
        DDFillRect(w, 0, 0, 640, 480, 5);
    };
    auto plain = [&](const cScreenEffectRun& run, i32 id) {
        DDBlt(w, 0, 0, 640, 480, back, 0, 0, 0);
        if (id != 2) DDFillRect(back, 0, 0, 640, 480, 16);
        D3DSetAlphaOp(D3DTOP_DISABLE);
        const double o = run.m_dOffset;
        if (id == 1) DDBlt(back, run.m_nA, run.m_nB, 640, 480, w, 0, 0, 0);
        if (id == 2) {
            if (o > 0) DDFillRect(back, 0, 0, Trunc32(o + 1), 480, 16);
            else if (o < 0) DDFillRect(back, Trunc32(o + 640), 0, Trunc32(1 - o), 480, 16);
            DDBlt(back, Trunc32(o), 0, 640, 480, w, 0, 0, 0);
        }
        if (id == 3) DDBlt(back, 0, Trunc32(o), 640, 480, w, 0, 0, 0);
        D3DResetAlphaOp();
    };
    for (u32 colour : {0xFFFFFFFFu, 0xFF80C0FFu, 0x80FFFFFFu}) {
        D3DSetVertexColor(colour);
        for (i32 id : {1, 2, 3}) {
            cScreenEffectRun run;
            run.Set(id, EFFECT_FORWARD, 0);
            const ScreenEffectCall call = Call(run);
            for (int f = 0; f < 8; ++f) {
                draw();
                plain(run, id);
                const std::vector<u32> want = Frame();
                draw();
                RunScreenEffect(call);
                ASSERT_EQ(Frame(), want) << "colour " << std::hex << colour << std::dec << " kind " << id << " frame " << f;
            }
        }
        D3DResetVertexColor();
    }
}

// The lens draws what its plain steps draw (the work surface's square cleared, the frame copied
// to it, the frame filled, the lens drawn back), in whole frames and on the work surface: lenses
// over the frame and off it, with corners outside the circle, strengths down to 0, a frame with
// transparent pixels, and a work surface larger than the frame (the copy leaves part of the
// square, the lens reads it).
TEST_P(ScreenEffectStrip, LensDrawsWhatItsPlainStepsDraw) {
    ScopedEffectRows rows({}, {EffectRecord<SE>(12, {1, 600, 100, 0, 0}), EffectRecord<SE>(12, {1, 1500, 5, 200, 100}),
                               EffectRecord<SE>(12, {1, 40, 0, -900, 50}), EffectRecord<SE>(12, {1, 300, 2, 120, -60}),
                               EffectRecord<SE>(12, {1, 30, 0, -190, -290})});
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDSURFACEDATA big;
    ASSERT_TRUE(DDCreateSurface(&big, 1000, 700, 1, 0, DTMEMORYTYPE_VIDEO_RT));
    const u32 key = ModeKeyTest().value;
    for (DDSURFACEDATA* w : {&work->work2, &big}) {
        work->surf.pWork2 = w;
        auto draw = [&] {
            DrawPlay();
            // Transparent pixels in the frame: the lens leaves them out in DirectDraw.
            PixelStore& px = *SurfacePixels(back);
            for (std::size_t i = 0; i < px.px.size(); i += 7) px.px[i] = key;
            DDFillRect(w, 0, 0, 1000, 700, 5);
        };
        for (i32 id = 1; id <= 5; ++id) {
            cScreenEffectRun run;
            run.Set(id, EFFECT_FORWARD, 0);
            const ScreenEffectCall call = Call(run);
            for (int f = 0; f < 6; ++f) {
                draw();
                PlainLens(run, back, w);
                const std::vector<u32> want = Frame();
                const PixelVector wantWork = SurfacePixels(w)->px;
                draw();
                RunScreenEffect(call);
                ASSERT_EQ(Frame(), want) << "lens " << id << " frame " << f << " work " << w->width;
                ASSERT_EQ(SurfacePixels(w)->px, wantWork) << "lens " << id << " frame " << f << " work " << w->width;
            }
        }
    }
    work->surf.pWork2 = &work->work2;
    DDReleaseSurface(&big);
}

// The lens under the state the frame leaves: a frame with translucent parts, copied under a
// white, a tinted and a translucent quad colour, alpha operations that keep and that modulate
// the texel's alpha, and a colour operation by the texture factor, draws what its plain steps
// draw, in the frame and on the work surface, and leaves the same state behind.
TEST_P(ScreenEffectStrip, LensUnderTheFramesStateDrawsWhatItsPlainStepsDraw) {
    ScopedEffectRows rows({}, {EffectRecord<SE>(12, {1, 600, 100, 0, 0}), EffectRecord<SE>(12, {1, 300, 2, 120, -60})});
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDSURFACEDATA* w = &work->work2;
    const auto state = [] { return lpDTCon ? std::vector<u32>{lpDTCon->dwAlphaOp, lpDTCon->dwTextureFactor} : std::vector<u32>{}; };
    for (u32 colour : {0xFFFFFFFFu, 0xFF80C0FFu, 0x80FFFFFFu})
        for (u32 alphaOp : {D3DTOP_SELECTARG1, D3DTOP_MODULATE})
            for (u32 colourOp : {D3DTOP_MODULATE, D3DTOP_BLENDFACTORALPHA}) {
                auto draw = [&] {
                    DrawPlay();
                    D3DFillRect(back, 100, 50, 300, 200, 0x80FF4020u);
                    DDFillRect(w, 0, 0, 640, 480, 5);
                    D3DSetVertexColor(colour);
                    D3DSetColorOp(colourOp);
                    D3DSetAlphaOp(alphaOp);
                    if (lpDTCon) lpDTCon->dwTextureFactor = 0x60A0B0C0u;
                };
                for (i32 id = 1; id <= 2; ++id) {
                    cScreenEffectRun run;
                    run.Set(id, EFFECT_FORWARD, 0);
                    const ScreenEffectCall call = Call(run);
                    for (int f = 0; f < 3; ++f) {
                        draw();
                        PlainLens(run, back, w);
                        const std::vector<u32> want = Frame(), wantState = state();
                        const PixelVector wantWork = SurfacePixels(w)->px;
                        draw();
                        RunScreenEffect(call);
                        const std::string what = "colour " + std::to_string(colour) + " alpha " + std::to_string(alphaOp) +
                                                 " colour op " + std::to_string(colourOp) + " lens " + std::to_string(id) +
                                                 " frame " + std::to_string(f);
                        ASSERT_EQ(Frame(), want) << what;
                        ASSERT_EQ(SurfacePixels(w)->px, wantWork) << what;
                        ASSERT_EQ(state(), wantState) << what;
                    }
                }
                D3DResetVertexColor();
                D3DResetColorOp();
                D3DResetAlphaOp();
            }
}

INSTANTIATE_TEST_SUITE_P(Personalities, ScreenEffectStrip, ::testing::ValuesIn(EffectModes()),
                         [](const auto& info) { return ModeName(info.param); });
