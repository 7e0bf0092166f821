// Golden traces of the movement commands: one character runs one movement command (from a flow
// that starts it again when it ends) and is stepped as the play update steps it, at speed levels
// 1, 10 and 15 (1, 10 and 5 steps a frame). A line per frame: position, speed, acceleration (the
// inertial speed) and facing after the frame's steps. The traces live in tests/data/moves; run
// with TOBRELK_UPDATE_GOLDENS=1 to write them anew.
#include <gtest/gtest.h>

#include <functional>

#include "flow/commands/Commands.h"
#include "play/rules/Motion.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "tests/flow/FlowTrace.h"
#include "tests/play/RulesTestUtil.h"
#include "tests/support/GoldenTrace.h"

using namespace rulestest;

namespace {

struct MOVECASE {
    const char* name;
    u8 kind;
    bool fly;
    i16 cellX, cellY;
    std::function<void(cEdMove&)> move;
    int frames = 8;
    i16 tenths = 10;
    // Before frame f's steps (the scene, the mover).
    std::function<void(int, cGameScene&, cStageChara&)> each = {};
    // Blocks besides the floor.
    std::vector<std::pair<i16, i16>> blocks = {};
};

std::string Line(const cChara& c) {
    return Num(c.m_dX) + "," + Num(c.m_dY) + " v" + Num(c.m_dSpeedX) + "," + Num(c.m_dSpeedY) + " a" + Num(c.m_dAccelX) +
           "," + Num(c.m_dAccelY) + (c.m_nDir > 0 ? " R" : " L");
}

std::string Run(const MOVECASE& mc, i32 level) {
    cStage st = playtest::MakeStage(40, 15);
    for (auto [x, y] : mc.blocks) st.vBlock.push_back(playtest::MakeBlock(x, y));
    st.Prepare();
    st.SetSpeed(level);
    playtest::PlayFixture play(st);
    EXPECT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    SetUpPlayer(s, 2, 13);
    cStageChara& c = AddStageChara(s, mc.cellX, mc.cellY, [&](cEdChara& d) {
        CharaSettings::Set(d, eChara::FlyMode, mc.fly ? 2 : 0);
        cFlowCmd cmd;
        cmd.Clear();
        cmd.cmdKind = mc.kind;
        cmd.time = mc.tenths;
        NewEdMove(cmd.move);
        if (mc.move) mc.move(*cmd.move);
        d.vFlow.push_back(flowtest::MakeFlow(TRIG_ALWAYS, {cmd}));
    });
    std::string out = std::string("[") + mc.name + "] level " + std::to_string(level) + "\n  start " + Line(c) + "\n";
    const i32 u = static_cast<i32>(SpeedUnit());
    for (int f = 0; f < mc.frames; ++f) {
        if (mc.each) mc.each(f, s, c);
        ResetFlowMarks(c);
        for (i32 i = 1; i <= u; ++i) {
            s.m_nStepIndex = i;
            s.m_ScrollX.Step();
            s.m_ScrollY.Step();
            RunFlowsOf(c, TRIG_ALWAYS);
            if (const i32 r = CharaStep(s, c)) out += "  step result " + std::to_string(r) + "\n";
        }
        out += "  f" + std::to_string(f + 1) + " " + Line(c) + "\n";
    }
    return out;
}

// The traces of some cases at the three levels against the golden file of their kind.
void ExpectGolden(const std::string& file, const std::vector<MOVECASE>& cases) {
    std::string got;
    for (const MOVECASE& mc : cases)
        for (i32 level : {1, 10, 15}) got += Run(mc, level);
    ExpectGoldenTrace("moves", file, got);
}

using M = cEdMove;
void Set(M& m, eMove s, i64 v) { MoveSettings::Set(m, s, v); }
void Speed(M& m, i64 tenths) { Set(m, eMove::Speed, tenths); }

} // namespace

TEST(MoveTrace, Line) {
    ExpectGolden("line", {
        {"right, walking", 2, false, 10, 13, [](M& m) { Speed(m, 20), Set(m, eMove::Direction, 3); }, 6},
        // Up does nothing for a character that walks.
        {"up, walking", 2, false, 10, 13, [](M& m) { Speed(m, 20), Set(m, eMove::Direction, 6); }, 3},
        {"up-right, flying", 2, true, 10, 8, [](M& m) { Speed(m, 20), Set(m, eMove::Direction, 10); }, 4},
        {"up-right at 30 degrees, flying", 2, true, 10, 8,
         [](M& m) { Speed(m, 20), Set(m, eMove::Direction, 10), Set(m, eMove::Angle, 30); }, 4},
        {"down-right at 0 degrees by the angle, flying", 2, true, 10, 8,
         [](M& m) { Speed(m, 20), Set(m, eMove::Direction, 11), Set(m, eMove::AngleStep, 5); }, 3},
        // To the centre of stage cell (12, 7), 2 blocks right and 1 up: the frames to arrive
        // become the command's; started again there, it stands (0 frames).
        {"to a target, derived time, stop when arrived", 2, true, 10, 8,
         [](M& m) {
             Speed(m, 40), Set(m, eMove::Way, 1), Set(m, eMove::CoordBase, 2), Set(m, eMove::TargetXBl, 12);
             Set(m, eMove::TargetYBl, 7), Set(m, eMove::DeriveDuration, 1), Set(m, eMove::StopWhenArrived, 1);
         },
         20},
        // The inertial speed grows to its limit of 1 dot a frame and fades once the push ends.
        {"inertial push to the limit", 2, false, 10, 13,
         [](M& m) {
             Speed(m, 200), Set(m, eMove::Direction, 3), Set(m, eMove::Inertial, 1), Set(m, eMove::InertialMaxSpeed, 10);
             m.dValue31 = 2.0;
         },
         5, 1},
        // With the facing fixed, a turn of the facing mid-move turns the velocity round.
        {"flip with the facing", 2, true, 10, 8,
         [](M& m) { Speed(m, 20), Set(m, eMove::Direction, 2), Set(m, eMove::FlipWithFacing, 1); }, 4, 10,
         [](int f, cGameScene&, cStageChara& c) {
             c.m_bFixedFacing = 1;
             if (f == 0 || f == 2) c.m_nDir = f == 2;
         }},
    });
}

TEST(MoveTrace, GroundTurn) {
    ExpectGolden("ground_turn", {
        // On a ledge of 3 cells (9-11, row 10): walks right to its end, turns, walks back.
        {"ledge", 3, false, 10, 9, [](M& m) { Speed(m, 80); }, 12, 10,
         [](int f, cGameScene&, cStageChara& c) {
             if (f == 0) c.m_nDir = 1;
         },
         {{9, 10}, {10, 10}, {11, 10}}},
        // A wall two cells ahead: turns at once on touching it.
        {"wall", 3, false, 10, 13, [](M& m) { Speed(m, 80); }, 10, 10,
         [](int f, cGameScene&, cStageChara& c) {
             if (f == 0) c.m_nDir = 1;
         },
         {{12, 13}}},
    });
}

TEST(MoveTrace, Circle) {
    ExpectGolden("circle", {
        // A radius of 2 half blocks, 10 degrees a frame; clockwise, and by the facing.
        {"clockwise, flying", 4, true, 10, 8, [](M& m) { Speed(m, 100), Set(m, eMove::Distance, 2); }, 9},
        {"by the facing (left: clockwise), flying", 4, true, 10, 8,
         [](M& m) { Speed(m, 100), Set(m, eMove::Distance, 2), Set(m, eMove::Direction, 2); }, 9},
        {"walking: x only", 4, false, 10, 13, [](M& m) { Speed(m, 100), Set(m, eMove::Distance, 2); }, 5},
    });
}

TEST(MoveTrace, Charge) {
    ExpectGolden("charge", {
        {"at the hero, flying", 5, true, 10, 8, [](M& m) { Speed(m, 40); }, 5},
        {"at the hero turned by 20 degrees, flying", 5, true, 10, 8,
         [](M& m) { Speed(m, 40), Set(m, eMove::Angle, 20); }, 5},
        {"at the hero, walking", 5, false, 10, 13, [](M& m) { Speed(m, 40); }, 4},
        // A selector that names no slot (a damaged record): the character stands.
        {"selector 7", 5, true, 10, 8, [](M& m) { Speed(m, 40), Set(m, eMove::TargetSlot, 7); }, 3},
    });
}

TEST(MoveTrace, Homing) {
    ExpectGolden("homing", {
        {"at once, flying", 6, true, 10, 8, [](M& m) { Speed(m, 40); }, 4},
        // Sluggishness 3: heads for where the hero was 3 frames before (it is moved each frame).
        {"3 frames behind, flying", 6, true, 10, 8, [](M& m) { Speed(m, 40), Set(m, eMove::Homing, 3); }, 8, 10,
         [](int, cGameScene& s, cStageChara&) { s.Player0()->m_dY -= 8; }},
        {"at once, walking", 6, false, 10, 13, [](M& m) { Speed(m, 40); }, 3},
        {"empty slot", 6, true, 10, 8, [](M& m) { Speed(m, 40), Set(m, eMove::TargetSlot, 1); }, 2},
    });
}

TEST(MoveTrace, AvoidScreenOut) {
    ExpectGolden("avoid_screen_out", {
        // Beyond the right edge of a standing screen: back in by the left part, then stands.
        {"standing screen", 7, true, 20, 5, [](M& m) { Speed(m, 40), Set(m, eMove::Direction, 2); }, 6},
        {"inside", 7, true, 10, 5, [](M& m) { Speed(m, 40), Set(m, eMove::Direction, 2); }, 2},
        // The screen scrolls right a dot a frame: the way back is the scroll less the speed.
        {"auto-scroll", 7, true, 20, 5, [](M& m) { Speed(m, 40), Set(m, eMove::Direction, 2); }, 6, 10,
         [](int f, cGameScene& s, cStageChara&) {
             if (f == 0) s.m_ScrollX.SetSpeed(1, 10, SpeedUnit());
         }},
    });
}

TEST(MoveTrace, Disable) {
    ExpectGolden("disable", {
        // Knock-back and an inertial speed stop at once; a walker still falls.
        {"walking, knocked back", 8, false, 10, 11, nullptr, 3, 10,
         [](int f, cGameScene&, cStageChara& c) {
             if (f == 0) c.m_dKnockX = 3, c.m_dAccelX = 1;
         }},
        {"flying, pushed", 8, true, 10, 8, nullptr, 2, 10,
         [](int f, cGameScene&, cStageChara& c) {
             if (f == 0) c.m_dVMotion = -2, c.m_dAccelY = 1;
         }},
    });
}
