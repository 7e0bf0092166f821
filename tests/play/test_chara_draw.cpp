// Drawing characters through their effects: the frame chosen among overlay animations, the
// picture number by state, the dispatch (hidden, pinned, frozen, mark chip), the dying player's
// wait, and the scene's screen effect and pictures.
#include <gtest/gtest.h>

#include <climits>

#include "app/SceneDraw.h"
#include "play/ObjGraphic.h"
#include "play/effects/CharaDraw.h"
#include "records/CharaSettings.h"
#include "tests/play/EffectTestUtil.h"
#include "tests/play/PlayFixture.h"

namespace {

// A program showing value v for a long time and looping; ended programs end with -4.
AnimState Program(i32 v, bool ends = false) {
    AnimState s;
    cVector<ANIMSTEP> p;
    p.push_back(ANIMSTEP{v, ends ? 1 : 1000, 0});
    p.push_back(ends ? ANIMSTEP{ANIM_END, 0, 0} : ANIMSTEP{ANIM_LOOP, 0, 0});
    s.vProgram.push_back(p);
    return s;
}

OVERLAYANIM Overlay(i32 v, i32 timed, i32 count, i32 enabled = 1, bool ends = false) {
    OVERLAYANIM e;
    e.anim = Program(v, ends);
    e.bTimed = timed;
    e.nCount = count;
    e.bEnabled = enabled;
    return e;
}

i32 Chosen(std::vector<OVERLAYANIM> entries) {
    cStageChara c;
    c.m_Anim = Program(99);
    for (auto& e : entries) c.m_vOverlayAnim.push_back(e);
    return c.CurrentAnimeValue(1);
}

} // namespace

TEST(CharaFrame, OverlayChoiceRule) {
    EXPECT_EQ(Chosen({}), 99);
    // An untimed entry is taken only while nothing is; it counts as INT_MAX, so any timed entry
    // after it wins; among timed entries the fewest frames left.
    EXPECT_EQ(Chosen({Overlay(1, 0, 0), Overlay(2, 0, 0)}), 1);
    EXPECT_EQ(Chosen({Overlay(1, 0, 0), Overlay(3, 1, 5)}), 3);
    EXPECT_EQ(Chosen({Overlay(3, 1, 5), Overlay(1, 0, 0)}), 3);
    EXPECT_EQ(Chosen({Overlay(3, 1, 5), Overlay(4, 1, 2), Overlay(5, 1, 4)}), 4);
    EXPECT_EQ(Chosen({Overlay(3, 1, 5), Overlay(4, 1, 2, 0)}), 3); // disabled: skipped
    // Once a taken and a newly seen count have both run out, later entries win when they ran out
    // last (count <= 0 and above the count held): 0, then -2 (first rule: below 0), then -1.
    EXPECT_EQ(Chosen({Overlay(6, 1, 0), Overlay(7, 1, -2)}), 7);
    EXPECT_EQ(Chosen({Overlay(6, 1, 0), Overlay(7, 1, -2), Overlay(8, 1, -1), Overlay(9, 1, 1)}), 8);
    EXPECT_EQ(Chosen({Overlay(6, 1, 0), Overlay(7, 1, -2), Overlay(8, 1, -3)}), 7);
    // Stepping: counts drop by one, an entry at its end code is removed.
    cStageChara c;
    c.m_Anim = Program(99);
    c.m_vOverlayAnim.push_back(Overlay(5, 1, 3, 1, true));
    c.m_vOverlayAnim.push_back(Overlay(6, 1, 9));
    EXPECT_EQ(c.CurrentAnimeValue(0), 6);
    ASSERT_EQ(c.m_vOverlayAnim.size(), 1u);
    EXPECT_EQ(c.m_vOverlayAnim[0].nCount, 8);
    // A frozen draw advances nothing.
    const AnimState before = c.m_Anim;
    c.CurrentAnimeValue(1);
    EXPECT_EQ(c.m_vOverlayAnim[0].nCount, 8);
    EXPECT_EQ(c.m_Anim, before);
}

namespace {

class CharaDraw : public ::testing::TestWithParam<bool> {
protected:
    CharaDraw() : play(playtest::MakeStage(30, 15), {.direct3D = GetParam()}) {}
    void SetUp() override {
        ASSERT_TRUE(play.RunUntilPlay());
        ASSERT_TRUE(MakePicture(&pic, dir, "c.bmp", MakeImage(32, 32, [](int x, int) {
                                    return x < 2 ? 0xFFFF00FFu : 0xFF30C060u;
                                }),
                                1));
        ASSERT_TRUE(MakePicture(&chip, dir, "m.bmp", MakeImage(96, 480, [](int x, int y) {
                                    return (x / 32 == 1 && y / 32 == 2) ? 0xFFE0E020u : 0xFFFF00FFu;
                                }),
                                1));
        ASSERT_TRUE(DDCreateSurface(&target, 200, 200, 0, 0, DTMEMORYTYPE_VIDEO_RT));
        S().m_EffectSurf.pChip = S().m_EffectSurf.pChipStretch = &chip;
        fill = [this](cChara&, i32 no, i32 frame, PictureDesc& d) {
            pictureNo = no;
            frameNo = frame;
            d.pPicture = d.pStretch = d.pStretch2 = &pic;
            d.nWidth = d.nHeight = 32;
            return true;
        };
    }
    void TearDown() override {
        for (DDSURFACEDATA* sd : {&pic, &chip, &target}) DDReleaseSurface(sd);
    }
    cGameScene& S() { return play.Scene(); }
    cStageChara& Add() {
        auto c = std::make_unique<cStageChara>();
        c->m_nId = 50;
        c->m_nKind = 1;
        c->m_nGfxW = c->m_nGfxH = 32;
        c->m_nGfxW0 = c->m_nGfxH0 = 32;
        c->m_dX = S().m_ScrollX.m_dPos + 40;
        c->m_dY = S().m_ScrollY.m_dPos + 50;
        return S().AddChara(std::move(c));
    }
    // Pixels of the picture's colour on the target: where they start, or "-".
    std::string Drawn() {
        int n = 0, x0 = -1, y0 = -1;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                if ((PixelAt(&target, x, y) & 0xFFFFFF) == (PixelAt(&pic, 10, 10) & 0xFFFFFF)) {
                    if (!n) x0 = x, y0 = y;
                    ++n;
                }
        return n ? std::to_string(x0) + "," + std::to_string(y0) + " " + std::to_string(n) : "-";
    }
    playtest::PlayFixture play;
    TempDir dir;
    DDSURFACEDATA pic, chip, target;
    CharaPictureFn fill;
    i32 pictureNo = -1, frameNo = -1;
};

} // namespace

TEST_P(CharaDraw, DispatchHiddenPinnedFrozenAndMarked) {
    ScopedEffectRows rows({EffectRecord<cCharaEffectParam>(6, {1, 1})}, {});
    cStageChara& c = Add();
    c.m_Def.wPicture = 7;
    c.m_Anim = Program(3);
    auto draw = [&](i32 noStep = 0) {
        DDFillRect(&target, 0, 0, 200, 200, 1);
        DrawCharaEffect(c, &target, noStep, fill);
        return Drawn();
    };
    // Plain: at its screen position (the key column left out), picture 7, frame 3.
    EXPECT_EQ(draw(), "42,50 960");
    EXPECT_EQ(pictureNo, 7);
    EXPECT_EQ(frameNo, 3);
    // Pinned on x.
    c.m_bPinX = 1;
    c.m_nPinX = 100;
    EXPECT_EQ(draw(), "102,50 960");
    EXPECT_EQ(c.m_rcScreen.right, 131);
    c.m_bPinX = 0;
    // A blink of 1 tenth (interval 1) starts hidden and ends after 7 stepped frames. A frozen
    // draw moves neither its counter nor its time, though its flip test still turns the blink.
    // Hidden by a hide flag it draws nothing but still ends on time.
    c.m_CharaEffect.Set(1, EFFECT_FORWARD, 0);
    EXPECT_EQ(draw(), "-");
    const double value = c.m_CharaEffect.m_dValue;
    EXPECT_EQ(draw(1), "-");
    EXPECT_EQ(c.m_CharaEffect.m_dValue, value);
    EXPECT_EQ(c.m_CharaEffect.m_nToggle, 1);
    EXPECT_EQ(draw(), "42,50 960");
    c.m_bHidden = 1;
    for (int f = 0; f < 4; ++f) EXPECT_EQ(draw(), "-");
    EXPECT_TRUE(c.m_CharaEffect.IsRunning());
    EXPECT_EQ(draw(), "-");
    EXPECT_FALSE(c.m_CharaEffect.IsRunning());
    c.m_bHidden = 0;
    // The mark chip over it: 15 to a column, so mark 17 is column 1, row 2 of the sheet.
    CharaSettings::Set(c.m_Def, eChara::MarkShown, 1);
    CharaSettings::Set(c.m_Def, eChara::Mark, 17);
    draw();
    EXPECT_EQ(PixelAt(&target, 50, 60), PixelAt(&chip, 40, 74));
}

TEST_P(CharaDraw, DyingPlayerWaitsForItsDeathEffect) {
    ScopedEffectRows rows({EffectRecord<cCharaEffectParam>(1, {1, 0, 6})}, {});
    cStageChara& c = Add();
    auto framesUntilGoOn = [&](bool frozenEvery2nd) {
        for (int f = 1; f < 500; ++f) {
            const i32 frozen = frozenEvery2nd && f % 2 == 0;
            if (DrawPlayerCharaEffect(c, &target, frozen, fill)) return f;
        }
        return -1;
    };
    // Without the death-wait flag: the effect's 7 frames, then 61 more.
    c.m_CharaEffect.Set(1, EFFECT_FORWARD, 0);
    EXPECT_EQ(framesUntilGoOn(false), 68);
    // Frozen draws count nothing.
    c.m_nDeathWaitFrames = 0;
    c.m_CharaEffect.Set(1, EFFECT_FORWARD, 0);
    EXPECT_EQ(framesUntilGoOn(true), 135);
    // With it: as soon as the effect ends; at once when none runs.
    c.m_bDeathWait = 1;
    c.m_CharaEffect.Set(1, EFFECT_FORWARD, 0);
    EXPECT_EQ(framesUntilGoOn(false), 7);
    EXPECT_EQ(framesUntilGoOn(false), 1);
}

TEST_P(CharaDraw, PictureNumberByStateAndColourVariant) {
    cStageChara& c = Add();
    g_Database.m_vAnimeSet[0].nPatternAdd1 = 4;
    g_Database.m_vAnimeSet[0].nPatternAdd2 = 8;
    g_Database.m_vAnimeSet[0].nPatternAdd3 = 16;
    c.m_nAnimSet = 0;
    c.m_Def.wPicture = 10;
    PictureDesc d;
    EXPECT_EQ(c.PictureNumber(d), 10);
    c.m_nInvincible = 5;
    EXPECT_EQ(c.PictureNumber(d), 14);
    c.m_nInvincibleKind = 1;
    EXPECT_EQ(c.PictureNumber(d), 22);
    c.SetFlyMode(FLY_BLOCKED);
    c.m_byColourVariant = 3;
    EXPECT_EQ(c.PictureNumber(d), 38);
    // Colour modulation with row 3 of the cycling table: Direct3D only, flying, variant set.
    EXPECT_EQ(d.bModulate, GetParam() ? 1 : 0);
    EXPECT_EQ(d.dwColor, GetParam() ? g_CycleColor[3].dwColor : d.dwColor);
    c.m_byColourVariant = 0;
    c.PictureNumber(d);
    EXPECT_EQ(d.bModulate, 0);
    // An animation set past the list adds nothing.
    c.m_nAnimSet = 99;
    EXPECT_EQ(c.PictureNumber(d), 10);
}

TEST_P(CharaDraw, SceneScreenEffectAndPictures) {
    // The screen effect runs around the player and ends by itself; a frozen draw keeps it.
    ScopedEffectRows rows({}, {EffectRecord<cScrEffectParam>(4, {1, 0, 12, 4})});
    ScopedWorkSurfaces work;
    ASSERT_TRUE(work.ok);
    S().m_EffectSurf = work.surf;
    S().m_ScreenEffect.Set(1, EFFECT_FORWARD, 0);
    int frames = 0;
    while (S().m_ScreenEffect.IsRunning() && frames < 100) {
        RunScreenEffect(S(), frames % 2);
        ++frames;
    }
    EXPECT_EQ(frames, 13); // 7 stepped frames, 6 frozen between them
    // A new stage starts without the screen effect of the last.
    S().m_ScreenEffect.Set(1, EFFECT_FORWARD, 1);
    S().SetStage(1, 1);
    EXPECT_FALSE(S().m_ScreenEffect.IsRunning());
    S().m_EffectSurf = work.surf;
    // A picture following a character by id: its box centre (50, 60), less half the picture.
    cStageChara& c = Add();
    c.m_nBoxW = c.m_nBoxH = 20;
    PictureParam b;
    EffectParamSet(b, 1, PICTURE_ON_CHARA, 0, 0, 0, 0, 32, 32, 0, 0, 100, 0, 0, 0, static_cast<i32>(c.m_nId), 0, 0);
    DDFillRect(&target, 0, 0, 200, 200, 1);
    EXPECT_EQ(DrawPlayPicture(S(), b, &target, &pic, 0), 0);
    EXPECT_EQ(Drawn(), "36,44 960"); // the key column left out
}

INSTANTIATE_TEST_SUITE_P(Modes, CharaDraw, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "D3D32" : "DD32"; });

TEST_P(CharaDraw, AnItemShowsItsMarkChipAtItsSize) {
    cItem it;
    it.m_pScene = &S();
    it.m_Def.wPicture = 1;
    it.m_Def.bShowMark = 1;
    it.m_Def.wMark = 17; // column 1, row 2 of the sheet
    it.m_rcScreen = SCREENRECT{10, 20, 41, 51};
    DrawItem(S(), it, &target);
    EXPECT_EQ(PixelAt(&target, 12, 22), PixelAt(&chip, 34, 66));
    // Magnified twice: stretched over its 64 x 64 graphic; not shown without the flag.
    it.m_nScale = 2;
    it.m_nGfxW = it.m_nGfxH = 64;
    it.m_nGfxW0 = it.m_nGfxH0 = 32;
    it.m_rcScreen = SCREENRECT{100, 100, 163, 163};
    DrawItem(S(), it, &target);
    EXPECT_EQ(PixelAt(&target, 160, 160), PixelAt(&chip, 62, 94));
    it.m_Def.bShowMark = 0;
    it.m_rcScreen = SCREENRECT{10, 120, 41, 151};
    DrawItem(S(), it, &target);
    EXPECT_NE(PixelAt(&target, 12, 122), PixelAt(&chip, 34, 66));
}
