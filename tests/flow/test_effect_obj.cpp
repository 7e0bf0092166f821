// Effect display objects: where a hit puts them, how they step and end, what the effect command
// builds and how long it holds the game.
#include <gtest/gtest.h>

#include <sstream>

#include "database/Database.h"
#include "flow/EffectObj.h"
#include "flow/commands/Commands.h"
#include "play/objects/HitRect.h"
#include "tests/flow/FlowTrace.h"

namespace {

// Effect 1: two patterns of 1 tenth each, scalable, 16 x 8. Effect 2: no steps. Effect 3: not
// scalable, 10 x 10, one pattern of 2 tenths.
void PrepareEffects() {
    auto frame = [](u32 pattern, u32 tenths) {
        cEffectFrame f;
        f.nPattern = pattern;
        f.nTime = tenths;
        return f;
    };
    g_Database.m_vEffect.resize(4);
    cEffectData& e1 = g_Database.m_vEffect[1];
    e1.nWidth = 16;
    e1.nHeight = 8;
    e1.bScalable = 1;
    e1.vFrame = {frame(0, 1), frame(1, 1)};
    g_Database.m_vEffect[2].vFrame.clear();
    cEffectData& e3 = g_Database.m_vEffect[3];
    e3.nWidth = e3.nHeight = 10;
    e3.bScalable = 0;
    e3.vFrame = {frame(2, 2)};
}

std::string Show(const cEffectObj& e) {
    std::ostringstream s;
    s << e.m_dX << "," << e.m_dY << " " << e.m_nWidth << "x" << e.m_nHeight << (e.m_bScaled ? " scaled" : "");
    return s.str();
}

} // namespace

TEST(EffectObj, HitPlacementTrace) {
    playtest::PlayFixture play(playtest::MakeStage(40, 15), playtest::PLAYOPTIONS{.prepareData = PrepareEffects});
    cGameScene& s = play.Scene();
    s.m_Rand.Seed(1);
    const HITRECT a{100, 200, 131, 231};
    const struct {
        const char* name;
        i16 id;
        HITRECT b;
        i32 scale;
    } cases[] = {
        {"overlap", 1, {120, 220, 151, 251}, 1},
        {"touching edge", 1, {131, 200, 162, 231}, 1},
        {"disjoint", 1, {140, 240, 150, 250}, 1},
        {"scale 3", 1, {120, 220, 151, 251}, 3},
        {"scale 3, not scalable", 3, {120, 220, 151, 251}, 3},
    };
    std::ostringstream trace;
    for (const auto& c : cases) {
        cEffectObj e;
        e.InitAtHit(s, c.id, a, c.b, c.scale);
        trace << c.name << ": " << Show(e) << " rand " << s.m_Rand.State() << "\n";
    }
    EXPECT_EQ(trace.str(),
              "overlap: 119,226 16x8 rand 3357800067\n"
              "touching edge: 126,212 16x8 rand 3884216597\n"
              "disjoint: -4,-7 16x8 rand 1030492215\n"
              "scale 3: 93,210 48x24 scaled rand 1924036713\n"
              "scale 3, not scalable: 124,219 10x10 rand 3750785579\n");
    // A hit effect with effect 0 or past the list adds nothing and draws no number.
    const u32 before = s.m_Rand.State();
    AddHitEffect(s, 0, a, a, 1);
    AddHitEffect(s, 9, a, a, 1);
    EXPECT_TRUE(s.m_lstEffectObj.empty());
    EXPECT_EQ(s.m_Rand.State(), before);
}

TEST(EffectObj, StepsEndAndHold) {
    playtest::PlayFixture play(playtest::MakeStage(40, 15), playtest::PLAYOPTIONS{.prepareData = PrepareEffects});
    cGameScene& s = play.Scene();
    cEffectObj e;
    e.Init(1, 0, 0, 16, 8, 0);
    std::string frames;
    for (int i = 0; i < 14 && !e.StepDraw(s, &g_sdBackBuffer, i != 3); ++i) frames += std::to_string(AnimeCurrentValue(e.m_Anim));
    // 6 frames of each pattern; the held frame (3) does not advance; the end comes on the 13th.
    EXPECT_EQ(frames, "000000111111");
    cEffectObj none;
    none.Init(2, 0, 0, 32, 32, 0);
    EXPECT_EQ(none.StepDraw(s, &g_sdBackBuffer, 1), 1);
    cEffectObj bad;
    bad.Init(9, 0, 0, 32, 32, 0);
    EXPECT_EQ(bad.StepDraw(s, &g_sdBackBuffer, 1), 1);
    EXPECT_EQ(EffectWaitFrames(1), 12);
    EXPECT_EQ(EffectWaitFrames(3), 12);
}

TEST(EffectObj, CommandPlacesScalesAndHolds) {
    flowtest::HeroPlay play(playtest::PLAYOPTIONS{.prepareData = PrepareEffects});
    cGameScene& s = play.s;
    cPlayer* hero = &play.hero;
    hero->m_nGfxW = hero->m_nGfxH = 32;
    s.m_ScrollX.m_dPos = 330.5;
    s.m_ScrollY.m_dPos = 320;
    cFlowCmd cmd = flowtest::Cmd(29);
    std::ostringstream trace;
    for (i32 anchor = 0; anchor <= 5; ++anchor) {
        cmd.params = {1, static_cast<u32>(anchor), 2, 3, 4, static_cast<u32>(-5), 150, 0};
        CmdEffect(*hero, cmd);
        trace << anchor << ": " << Show(*s.m_lstEffectObj.back()) << "\n";
    }
    // Screen centre, the running character's and the hero's graphic centre, screen cell, stage
    // cell; an unknown anchor takes the screen centre.
    EXPECT_EQ(trace.str(), "0: 642.5,549 24x12 scaled\n1: 392.5,741 24x12 scaled\n2: 392.5,741 24x12 scaled\n"
                           "3: 398.5,411 24x12 scaled\n4: 388,411 24x12 scaled\n5: 642.5,549 24x12 scaled\n");
    // Effect 0, effects past the list and a cleared stage add nothing.
    const std::size_t n = s.m_lstEffectObj.size();
    cmd.params[0] = 0;
    CmdEffect(*hero, cmd);
    cmd.params[0] = 4;
    CmdEffect(*hero, cmd);
    // The wait: the effect's step times x 6 frames, and the effect plays while held (the loop
    // ends at once, leaving the block as the command set it).
    s.m_nNestedFrameLimit = 0;
    cmd.params = {3, 0, 0, 0, 0, 0, 100, 1};
    CmdEffect(*hero, cmd);
    EXPECT_EQ(s.m_lstEffectObj.size(), n + 1);
    EXPECT_EQ(s.m_nPauseCountdown, 12);
    EXPECT_EQ(s.m_bPauseWaitKey, 0);
    EXPECT_TRUE(s.m_lstEffectObj.back()->m_bAdvanceWhileHeld);
    s.m_nEndRequest = 1;
    CmdEffect(*hero, cmd);
    EXPECT_EQ(s.m_lstEffectObj.size(), n + 1);
}
