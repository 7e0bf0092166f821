// Character effects: the run's passes in every mode (traces), and every effect kind drawn over
// a few frames, at the picture's own size and magnified (and, under Direct3D, colour-modulated),
// against a golden strip per drawing mode (TOBRELK_UPDATE_GOLDENS=1 rewrites them).
#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "tests/play/EffectTestUtil.h"

namespace {

using CE = cCharaEffectParam;

// The value drawn on each frame until the run ends (or n frames), "end" at the end.
std::string Trace(cCharaEffectRun& run, int n = 40) {
    std::ostringstream os;
    for (int i = 0; i < n; ++i) {
        os << run.m_dValue << (run.m_bReversed ? "r " : " ");
        if (run.Step()) return os.str() + "end";
    }
    return os.str() + "...";
}

} // namespace

TEST(CharaEffectRun, PassesInEveryMode) {
    ScopedEffectRows rows({EffectRecord<CE>(1, {1, 0, 6}), EffectRecord<CE>(11, {2, 40, 40}),
                           EffectRecord<CE>(6, {1, 3}), EffectRecord<CE>(7, {0, 0, 3}), EffectRecord<CE>(7, {-5, 0, 3})},
                          {});
    cCharaEffectRun run;
    // A pass of n tenths lasts 6n frames plus the one on which the value passes the end.
    run.Set(1, EFFECT_FORWARD, 0);
    EXPECT_EQ(Trace(run), "0 1 2 3 4 5 6 end");
    run.Set(1, EFFECT_REVERSED, 0);
    EXPECT_EQ(Trace(run), "6r 5r 4r 3r 2r 1r 0r end");
    run.Set(1, EFFECT_THERE_AND_BACK, 0);
    EXPECT_EQ(Trace(run), "0 1 2 3 4 5 6 6r 5r 4r 3r 2r 1r 0r end");
    // Looping: forward starts over; there and back alternates for ever.
    run.Set(1, EFFECT_FORWARD, 1);
    EXPECT_EQ(Trace(run, 9), "0 1 2 3 4 5 6 0 1 ...");
    run.Set(1, EFFECT_THERE_AND_BACK, 1);
    EXPECT_EQ(Trace(run, 16), "0 1 2 3 4 5 6 6r 5r 4r 3r 2r 1r 0r 0 1 ...");
    // Restart turns direction only in mode 2.
    run.Set(1, EFFECT_REVERSED, 1);
    EXPECT_EQ(Trace(run, 9), "6r 5r 4r 3r 2r 1r 0r 6r 5r ...");

    // Start equal to end: a timed run of 6 x 2 + 1 frames; the value stays at the start.
    run.Set(2, EFFECT_FORWARD, 0);
    int frames = 1;
    while (!run.Step()) ++frames;
    EXPECT_EQ(frames, 13);
    EXPECT_EQ(run.m_dValue, 40.0);
    // Blink and translucency have no start/end pair: both rows are the same.
    EXPECT_EQ(g_vCharaEffectData2[3].rec.anParam[1], 3);
    EXPECT_EQ(g_vCharaEffectData2[3].nEnd, g_vCharaEffectData[3].nEnd);
    // A run time of 0 or less is one tenth (a division by zero when the rows are prepared).
    run.Set(4, EFFECT_FORWARD, 0);
    EXPECT_EQ(Trace(run), "0 0.5 1 1.5 2 2.5 3 end");
    run.Set(5, EFFECT_FORWARD, 0);
    EXPECT_EQ(run.m_nLimit, 1);
    EXPECT_EQ(Trace(run), "0 0.5 1 1.5 2 2.5 3 end");

    // A number beyond the records (from a damaged command) is no effect, not a closed program.
    for (i32 bad : {6, 999, -1, 32767}) {
        run.Set(bad, EFFECT_FORWARD, 0);
        EXPECT_EQ(run.m_nId, 0) << bad;
        EXPECT_EQ(run.Type(), 0u) << bad;
    }
}

namespace {

constexpr int kCell = 56;
constexpr int kFrames = 4;       // frames 0, 2, 4, 6 of each run
constexpr int kPic = 16;         // the picture's own size

// Parameters that show each kind within its first seven frames (run time 1 tenth).
std::vector<CE> KindRecords() {
    return {
        EffectRecord<CE>(0, {1}),
        EffectRecord<CE>(1, {1, 0, 6}),
        EffectRecord<CE>(2, {1, 0, 6, 4}),
        EffectRecord<CE>(3, {1, 0, 6, 4}),
        EffectRecord<CE>(4, {1, 0, 4, 2, 1}),
        EffectRecord<CE>(5, {1, 0, 4, 2, 1}),
        EffectRecord<CE>(6, {1, 2}),
        EffectRecord<CE>(7, {1, 0, 90}),
        EffectRecord<CE>(8, {1, 0, 90}),
        EffectRecord<CE>(9, {1, 0, 16}),
        EffectRecord<CE>(10, {1, 8, 2, 1}),
        EffectRecord<CE>(11, {1, 32, 44}),
        EffectRecord<CE>(12, {1, 20, 4, 2, -2}),
        EffectRecord<CE>(13, {1, 1, 4, 3}),
        EffectRecord<CE>(14, {1, 2}),
        EffectRecord<CE>(15, {1, 1, 4}),
        EffectRecord<CE>(16, {1, 1, 3}),
    };
}

// Two frames side by side, the second (at x 16) used; a keyed border, a gradient, a diagonal.
cImage CharaPicture(u32 tint) {
    return MakeImage(2 * kPic, kPic, [tint](int x, int y) {
        x %= kPic;
        if (x < 1 || y < 1 || x >= kPic - 1 || y >= kPic - 1) return 0xFFFF00FFu;
        if (x == y) return 0xFFFFFFFFu;
        return 0xFF000000u | (u32(x * 14) << 16 | u32(y * 14) << 8 | tint);
    });
}

class CharaEffectStrip : public ::testing::TestWithParam<GfxMode> {
protected:
    void SetUp() override {
        mode = std::make_unique<ScopedMode>(GetParam());
        ASSERT_TRUE(mode->ok);
        work = std::make_unique<ScopedWorkSurfaces>();
        ASSERT_TRUE(work->ok);
        ASSERT_TRUE(MakePicture(&pic, dir, "c.bmp", CharaPicture(0x40), 1));
        ASSERT_TRUE(MakePicture(&back, dir, "d.bmp", CharaPicture(0xE0), 1));
        ASSERT_TRUE(DDCreateSurface(&target, kCell, kCell, 1, 0, DTMEMORYTYPE_VIDEO_RT));
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b) g_lpBlendTable[a * 256 + b] = static_cast<u8>((a + b) / 2);
    }
    void TearDown() override {
        for (DDSURFACEDATA* sd : {&pic, &back, &target}) DDReleaseSurface(sd);
        work.reset();
        mode.reset();
    }
    PictureDesc Desc(bool modulate) {
        PictureDesc d;
        d.pPicture = d.pStretch = &pic;
        d.pStretch2 = &back;
        d.nSrcX = kPic;
        d.nWidth = d.nHeight = kPic;
        d.bModulate = modulate ? 1 : 0;
        d.dwColor = 0xFFFF8040;
        return d;
    }
    // A call drawing the picture d magnified by mag in the middle of the target.
    CharaEffectCall Call(cCharaEffectRun& run, const PictureDesc& d, int mag = 1) {
        CharaEffectCall call;
        call.pRun = &run;
        call.pTarget = &target;
        call.pPic = &d;
        call.pSurf = &work->surf;
        const int at = (kCell - kPic * mag) / 2;
        call.place = CharaEffectPlace{at, at, kPic * mag, kPic * mag, mag};
        return call;
    }
    // Frames 0, 2, 4, 6 of effect id into columns col0.. of row.
    void RunKind(ContactSheet& sheet, int row, int col0, i32 id, int mag, bool modulate) {
        cCharaEffectRun run;
        run.Set(id, EFFECT_FORWARD, 0);
        const PictureDesc d = Desc(modulate);
        const CharaEffectCall call = Call(run, d, mag);
        for (int f = 0; f < 2 * kFrames - 1; ++f) {
            DDFillRect(&target, 0, 0, kCell, kCell, 2);
            CallCharaEffect(call);
            if (f % 2 == 0) sheet.Put(col0 + f / 2, row, VisiblePixels(&target), kCell, 0, 0);
        }
    }
    TempDir dir;
    std::unique_ptr<ScopedMode> mode;
    std::unique_ptr<ScopedWorkSurfaces> work;
    DDSURFACEDATA pic, back, target;
};

} // namespace

TEST_P(CharaEffectStrip, EveryKindMatchesGolden) {
    ScopedEffectRows rows(KindRecords(), {});
    const bool d3d = GetParam().direct3D;
    // Columns: natural, magnified x2, and under Direct3D natural with colour modulation.
    ContactSheet sheet((d3d ? 3 : 2) * kFrames, CHARA_EFFECT_TYPES, kCell, kCell);
    for (i32 type = 0; type < CHARA_EFFECT_TYPES; ++type) {
        RunKind(sheet, type, 0, type + 1, 1, false);
        RunKind(sheet, type, kFrames, type + 1, 2, false);
        if (d3d) RunKind(sheet, type, 2 * kFrames, type + 1, 1, true);
    }
    EXPECT_TRUE(MatchesGolden(EffectGoldenName("chara_effects", GetParam()), sheet.Pixels(), sheet.Width(),
                              sheet.Height()));
}

TEST_P(CharaEffectStrip, DamagedParametersDrawAndNeverDivideByZero) {
    // Split count 0: plain picture; mosaic block, roughness and band below 1: taken as 1.
    ScopedEffectRows rows({EffectRecord<CE>(2, {1, 4, 4, 0}), EffectRecord<CE>(3, {1, 4, 4, -3}),
                           EffectRecord<CE>(15, {1, 0, -4}), EffectRecord<CE>(4, {1, 3, 3, 2, 0}),
                           EffectRecord<CE>(10, {1, 8, 8, -1}), EffectRecord<CE>(0, {0})},
                          {});
    const PictureDesc d = Desc(false);
    for (i32 id = 1; id <= 6; ++id) {
        cCharaEffectRun run;
        run.Set(id, EFFECT_FORWARD, 0);
        DDFillRect(&target, 0, 0, kCell, kCell, 2);
        const u32 bg = PixelAt(&target, 0, 0);
        CallCharaEffect(Call(run, d));
        int drawn = 0;
        for (int y = 0; y < kCell; ++y)
            for (int x = 0; x < kCell; ++x) drawn += PixelAt(&target, x, y) != bg;
        EXPECT_GT(drawn, 30) << "record " << id;
    }
    // A zoom shrinking the picture past nothing draws nothing (a negative size would mirror it).
    {
        ScopedEffectRows zoom({EffectRecord<CE>(11, {1, 0, 0})}, {});
        cCharaEffectRun run;
        run.Set(1, EFFECT_FORWARD, 0);
        DDFillRect(&target, 0, 0, kCell, kCell, 2);
        const u32 bg = PixelAt(&target, 0, 0);
        CallCharaEffect(Call(run, d));
        EXPECT_EQ(PixelAt(&target, 28, 28), bg);
    }
    // Parameters far outside the editor's ranges draw every kind without overflowing a
    // coordinate (the sanitizer build would stop on it).
    for (i32 extreme : {INT_MAX, INT_MIN}) {
        std::vector<CE> recs;
        for (u32 t = 0; t < CHARA_EFFECT_TYPES; ++t) recs.push_back(EffectRecord<CE>(t, {1, extreme, extreme / -2, extreme, extreme}));
        ScopedEffectRows wild(recs, {});
        for (i32 id = 1; id <= CHARA_EFFECT_TYPES; ++id) {
            cCharaEffectRun run;
            run.Set(id, EFFECT_FORWARD, 0);
            for (int mag : {1, 2}) CallCharaEffect(Call(run, d, mag));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Personalities, CharaEffectStrip, ::testing::ValuesIn(EffectModes()),
                         [](const auto& info) { return ModeName(info.param); });
