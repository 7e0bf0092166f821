// Motion and block collision, traced frame by frame (u = 10 steps a frame at speed level 10;
// gravity 0.4 / u^2 = 0.004 a step; the walking box 16 x 24 at the cell's bottom).
#include <gtest/gtest.h>

#include "play/rules/Collision.h"
#include "play/rules/Motion.h"
#include "records/EdSettings.h"
#include "tests/play/RulesTestUtil.h"

using namespace rulestest;

namespace {

// Frames of u steps each; the trace has the state after each frame, from frame `from` on.
std::string Frames(cGameScene& s, cPlayer& p, int frames, int from = 0, const std::function<void(int)>& each = {}) {
    std::string out;
    for (int f = 0; f < frames; ++f) {
        if (each) each(f);
        for (int i = 0; i < static_cast<int>(SpeedUnit()); ++i) {
            s.m_nStepIndex = i + 1;
            if (const i32 d = PlayerStep(s, p)) return out + std::to_string(f) + ": dead " + std::to_string(d) + "\n";
        }
        if (f >= from) out += std::to_string(f) + ": " + State(p) + "\n";
    }
    return out;
}

cStage Stage(std::initializer_list<std::pair<i16, i16>> blocks, const std::function<void(cEdBlock&)>& edit = {}) {
    cStage st = playtest::MakeStage(20, 15);
    for (auto [x, y] : blocks) {
        st.vBlock.push_back(playtest::MakeBlock(x, y));
        if (edit) edit(st.vBlock.back());
    }
    st.Prepare();
    return st;
}

} // namespace

TEST(RulesMotion, FallLandAndRest) {
    RulePlay play(Stage({}));
    cPlayer& p = SetUpPlayer(play.s, 2, 10);
    // Frame 21 lands: the feet rest on the pixel above the floor's top (767 < 768), the
    // fraction of y kept; then standing lands again whenever gravity has pulled it a pixel.
    EXPECT_EQ(Frames(play.s, p, 24, 19),
              "19: 392.5,728.4 0,0.8 ---- .\n"
              "20: 392.5,736.62 0,0.84 ---- .\n"
              "21: 392.5,744.24 0,0 ---B f\n"
              "22: 392.5,744.46 0,0.04 ---- .\n"
              "23: 392.5,744.08 0,0 ---B f\n");
}

TEST(RulesMotion, WallsCeilingsAndBlockKinds) {
    // A wall at column 5 (x 480); the player walks right at 1.5 a step.
    {
        RulePlay play(Stage({{5, 13}, {5, 12}}));
        cPlayer& p = SetUpPlayer(play.s, 2, 13);
        // The right edge stops on pixel 479, just left of the wall, the fraction kept.
        EXPECT_EQ(Frames(play.s, p, 7, 3, [&](int) { p.m_dKnockX = 1.5; }),
                  "3: 452.5,744.696 1.5,0.072 ---- .\n"
                  "4: 464.5,744.108 1.5,0.024 -R-- .\n"
                  "5: 464.5,744.568 1.5,0.064 -R-- .\n"
                  "6: 464.5,744.076 1.5,0.016 -R-- .\n");
    }
    // Walking left into a wall the same; the left probe pushes to the next cell boundary.
    {
        RulePlay play(Stage({{0, 13}}));
        cPlayer& p = SetUpPlayer(play.s, 2, 13);
        EXPECT_EQ(Frames(play.s, p, 6, 3, [&](int) { p.m_dKnockX = -1.5; }),
                  "3: 352.5,744.696 -1.5,0.072 L--- .\n"
                  "4: 352.5,744.108 -1.5,0.024 L--- .\n"
                  "5: 352.5,744.568 -1.5,0.064 L--- .\n");
    }
    // A ceiling two cells up: rising at 3 a step, the head stops under it.
    {
        RulePlay play(Stage({{2, 11}}));
        cPlayer& p = SetUpPlayer(play.s, 2, 13);
        // The top goes down to the next cell boundary (704), the rise stops, gravity takes over.
        EXPECT_EQ(Frames(play.s, p, 3, 0, [&](int f) { if (f == 0) p.m_dSpeedY = -3; }),
                  "0: 392.5,714.22 0,-2.96 ---- .\n"
                  "1: 392.5,704.504 0,0.024 ---- .\n"
                  "2: 392.5,704.964 0,0.064 ---- .\n");
    }
    // A block "deadly to the player" (solidity 2): the player's probe answers 2 (death 1) ...
    {
        RulePlay play(Stage({{4, 13}}, [](cEdBlock& b) { b.bySolid = 2; }));
        cPlayer& p = SetUpPlayer(play.s, 2, 13);
        EXPECT_EQ(Frames(play.s, p, 5, 0, [&](int) { p.m_dKnockX = 1.5; }),
                  "0: 407.5,744.22 1.5,0.04 ---- .\n"
                  "1: 422.5,744.84 1.5,0.08 ---- .\n"
                  "2: dead 1\n");
        // ... while a stage character is stopped by it like a wall.
        cStageChara& c = AddStageChara(play.s, 2, 13);
        std::string t;
        for (int i = 0; i < 60; ++i) {
            c.m_dAccelX = 1;
            t += std::to_string(CharaStep(play.s, c));
        }
        // Its 12-wide box ends on pixel 447 (the acceleration 1 less the stopping ease 0.001).
        EXPECT_EQ(t + " " + State(c), std::string(60, '0') + " 436.44,744.568 0.999,0.064 -R-- .");
    }
    // A block open to side 0 lets the player (side 0) through; one open to side 1 does not.
    for (u8 open : {0, 1}) {
        RulePlay play(Stage({{4, 13}}, [&](cEdBlock& b) { b.byOpenSide = open; }));
        cPlayer& p = SetUpPlayer(play.s, 2, 13);
        EXPECT_EQ(Frames(play.s, p, 6, 5, [&](int) { p.m_dKnockX = 1.5; }),
                  open == 0 ? "5: 482.5,744.568 1.5,0.064 ---- .\n" : "5: 432.5,744.568 1.5,0.064 -R-- .\n");
    }
}

TEST(RulesMotion, FlightModesAndFloorEffects) {
    // Mode 1 flies through a wall; mode 3 stops at the first block contact with 2 ("dead 1").
    for (i32 mode : {1, 2, 3}) {
        RulePlay play(Stage({{4, 12}, {4, 13}}));
        cPlayer& p = SetUpPlayer(play.s, 2, 12);
        p.ChangeFlyMode(mode, 0, 0, 0);
        const char* expect[] = {"", "3: 452.28,712 1.49,0 ---- .\n", "3: 432.853,712 0,0 ---- .\n", "2: dead 1\n"};
        EXPECT_EQ(Frames(play.s, p, 4, 3, [&](int) { p.m_dAccelX = 1.5; }), expect[mode]) << mode;
    }
    // Floor effects under the feet (the floor row's cells 0-9): 1 spring of 3 hbl, 3 slippery
    // at 50 %, 4 and 5 conveyors at 20 (2 px a frame), 2 the marker that stops jumps.
    for (i64 kind : {1, 2, 3, 4, 5}) {
        cStage st = playtest::MakeStage(20, 15);
        for (cEdBlock& b : st.vBlock) {
            if (b.sPosY != 14 || b.sPosX >= 10) continue;
            BlockSettings::Set(b, eBlock::FloorEffect, kind);
            BlockSettings::Set(b, eBlock::FloorEffectValue, kind == 1 ? 3 : kind == 3 ? 50 : 20);
        }
        st.Prepare();
        RulePlay play(st);
        cPlayer& p = SetUpPlayer(play.s, 2, 13);
        std::string t = Frames(play.s, p, 4, 0, [&](int) { if (kind == 3) p.m_dAccelX = 1; });
        // Each lands in frame 2; the effect acts from the step after a landing.
        const char* expect[] = {
            "",
            // The spring: the jump speed of 3 hbl (48 px), the player's scaled by 0.99 - 0.025 x the
            // gravity per step.
            "2: 392.5,739.233 0,-0.583 ---- .\n3: 392.5,733.619 0,-0.543 ---- .\n0",
            "2: 392.5,744.156 0,0.032 ---- .\n3: 392.5,744.696 0,0.072 ---- .\n1",
            // Slippery: the speed of each step halved.
            "2: 418.356,744.156 0.494,0.032 ---- .\n3: 423.82,744.716 0.494,0.028 ---- .\n0",
            // Conveyors: 20 x 0.1 / u = 0.2 a step.
            "2: 390.9,744.156 -0.2,0.032 ---- .\n3: 389.1,744.716 -0.2,0.028 ---- .\n0",
            "2: 394.1,744.156 0.2,0.032 ---- .\n3: 395.9,744.716 0.2,0.028 ---- .\n0",
        };
        EXPECT_EQ(t.substr(t.find("2:")) + std::to_string(p.m_bOnMarker), expect[kind]) << kind;
    }
}

TEST(RulesMotion, ClampsMovesAndTheView) {
    RulePlay play(Stage({}));
    cPlayer& p = SetUpPlayer(play.s, 2, 13);
    // The clamp codes by mode for x positions left of the stage, in the margin, on the stage
    // and right of it (stage 20 cells: outer 320..960, inner the same, whole field 0..1280).
    std::string codes;
    // With the scroll limited to columns 5..14 the inner bounds are 480..800.
    play.s.m_ScrollX.SetBounds(5, 14, 1, 1);
    for (i32 mode : {0, 1, 2}) {
        for (double x : {-40.0, 100.0, 400.0, 600.0, 790.0, 1000.0, 1300.0}) {
            p.m_dX = x;
            const i32 c = p.ClampX(mode);
            codes += std::to_string(c) + "@" + Num(p.m_dX) + " ";
        }
        codes += "| ";
    }
    EXPECT_EQ(codes, "0@480 0@480 0@480 0@600 0@784 0@784 0@784 | "
                     "0@320 0@320 1@400 0@600 1@790 0@944 0@944 | "
                     "3@0 2@100 1@400 0@600 1@790 2@1000 3@1264 | ");
    // The speed limit (6 a step): exactly the limit is kept, beyond it is cut with its sign.
    std::string moves;
    for (double v : {6.0, 6.5, -9.0}) {
        p.m_dX = 500;
        p.m_dSpeedX = v;
        MoveObjX(p, 2);
        moves += Num(p.m_dSpeedX) + "@" + Num(p.m_dX) + " ";
    }
    EXPECT_EQ(moves, "6@506 6@506 -6@494 ");
    // A probe outside the block map finds nothing and reports nothing.
    EXPECT_EQ(ProbeCell(play.s, p, 100, -5000, 100, 9000).solid, 0);
    EXPECT_EQ(ProbeCell(play.s, p, -70000, 700, 70000, 700).cell, -1);
    EXPECT_EQ(play.fixture.CloseRequests(), 0u);
}

TEST(RulesMotion, AppearanceConditionsOfBlocks) {
    // Two blocks shown while stage variable 0 is 0; the first latches its first success.
    cStage st = playtest::MakeStage(20, 15);
    for (i16 x : {4, 6}) {
        cEdBlock b = playtest::MakeBlock(x, 13);
        playtest::ShowWhileVarZero(b);
        b.byGroup1b = x == 4 ? 1 : 0;
        st.vBlock.push_back(b);
    }
    st.Prepare();
    RulePlay play(st);
    cGameScene& s = play.s;
    std::string out;
    auto solid = [&] {
        for (i16 x : {4, 6}) out += std::to_string(IsBlockSolid(s, s.m_vBlockMap.StageIndex(x, 13), 0));
        out += ' ';
    };
    solid();
    s.m_vStageVar[0] = 5;
    solid();
    // Both shown while it holds; after it stops holding, only the latched one.
    EXPECT_EQ(out, "11 10 ");
}

// The floor a jump ends on is the floor the probes would stand this character on: a cell solid
// for stage characters only bears them and not the player; a block whose one-way side is the
// character's bears nobody; a plain block bears both.
TEST(RulesMotion, TheFloorTestIsTheCharactersOwn) {
    RulePlay play(Stage({{4, 14}, {5, 14}, {6, 14}}, [](cEdBlock& b) {
        if (b.sPosX == 4) b.bySolid = 2;
        if (b.sPosX == 5) b.byOpenSide = 0;
    }));
    cGameScene& s = play.s;
    cPlayer& p = SetUpPlayer(s, 2, 13);
    cStageChara& c = AddStageChara(s, 8, 13);
    std::string t;
    for (i16 x : {4, 5, 6}) {
        const i32 cell = s.m_vBlockMap.StageIndex(x, 14);
        p.m_nFloorCell = c.m_nFloorCell = cell;
        t += std::to_string(IsOnFloor(p)) + std::to_string(IsOnFloor(c)) + " ";
    }
    EXPECT_EQ(t, "01 00 11 ");
}
