// The character motion routines: landing and ceiling (with their triggers), gravity, the saved
// position, knock-back with resistance, its decay and its vertical application.
#include <gtest/gtest.h>

#include "flow/MotionMath.h"
#include "records/CharaSettings.h"
#include "records/StageSettings.h"
#include "tests/flow/FlowTrace.h"

using namespace flowtest;

TEST(MotionRoutines, LandingCeilingAndKnockBack) {
    FlowFixture fx;
    std::vector<cFlow> flows;
    for (u8 k : {TRIG_BLOCK, TRIG_BLOCK_VERT, TRIG_BLOCK_ABOVE, TRIG_BLOCK_BELOW}) flows.push_back(MakeFlow(k, {AddCmd(0)}));
    cStageChara& c = fx.AddChara(flows, 1);
    auto running = [&] {
        std::string s;
        for (cFlowRun& run : c.m_vFlowRun) {
            s += run.m_bRunning ? '1' : '0';
            run.Reset(c);
        }
        ResetFlowMarks(c);
        return s;
    };

    c.m_nBoxH = 32;
    c.m_dY = 100.5;
    c.m_dBottom = 131.7;
    c.m_dSpeedY = 3;
    c.m_nJumpFlags = 3;
    c.m_bImpact = 1;
    OnLand(c);
    EXPECT_DOUBLE_EQ(c.m_dY, 96.5); // 100.5 - (131 mod 32 + 1)
    EXPECT_EQ(c.m_dSpeedY, 0);
    EXPECT_EQ(c.m_nJumpFlags, 0u);
    EXPECT_EQ(c.m_bImpact, 0u);
    EXPECT_EQ(c.m_bContactB, 1u);
    EXPECT_EQ(running(), "1101"); // 9, 13, 15

    c.m_dY = 100.5;
    c.m_dVMotion = -2;
    OnHitCeiling(c);
    EXPECT_DOUBLE_EQ(c.m_dY, 128.5); // down to the next cell boundary
    EXPECT_EQ(c.m_dVMotion, 0);
    EXPECT_EQ(c.m_bCeiling, 1u);
    EXPECT_EQ(running(), "1110"); // 9, 13, 14

    // Gravity only for a walking character off the floor and not pushed upward.
    const double g = StageSettings::Get(g_Stage, eStageD::GravityPerStep);
    c.m_dSpeedY = 0;
    GravityStep(c);
    EXPECT_DOUBLE_EQ(c.m_dSpeedY, g);
    c.m_dVMotion = -1;
    GravityStep(c);
    EXPECT_DOUBLE_EQ(c.m_dSpeedY, g);

    SavePosition(c);
    c.m_dX += 50;
    RestorePosition(c);
    EXPECT_DOUBLE_EQ(c.m_dX, 400);

    // Knock-back: the resistance is taken off toward 0; a speed against it is stopped.
    CharaSettings::Set(c.m_Def, eChara::Resistance, 3);
    c.m_dSpeedX = 2;
    c.m_dSpeedY = 0.5;
    ApplyImpact(c, -8, 1, -1);
    double ax = 0, ay = 0;
    SplitAccelSpeed(ax, ay, -5, 1, -1, SpeedUnit());
    EXPECT_DOUBLE_EQ(c.m_dKnockX, ax);
    EXPECT_DOUBLE_EQ(c.m_dVMotion, ay);
    EXPECT_LT(c.m_dKnockX, 0);
    EXPECT_EQ(c.m_dSpeedX, 0);   // opposed the push
    EXPECT_EQ(c.m_dSpeedY, 0.5); // along it
    EXPECT_EQ(c.m_bImpact, 1u);
    CharaSettings::Set(c.m_Def, eChara::Resistance, 20);
    c.m_dKnockX = 0;
    ApplyImpact(c, 8, 1, 0); // fully resisted: no push
    EXPECT_EQ(c.m_dKnockX, 0);

    // Decay by 1 / u, snapping to 0; the vertical push enters the speed once.
    c.m_dKnockX = 1.0 / SpeedUnit() / 2;
    c.m_dVMotion = 0;
    DecayKnockback(c);
    EXPECT_EQ(c.m_dKnockX, 0);
    c.m_dSpeedY = 0;
    c.m_dVMotion = -3;
    c.m_dVMotionPrev = -1;
    StepMoveX(c);
    EXPECT_DOUBLE_EQ(c.m_dSpeedY, -2);
    EXPECT_DOUBLE_EQ(c.m_dVMotionPrev, -3);
    c.m_dVMotion = 2;
    StepMoveX(c);
    EXPECT_DOUBLE_EQ(c.m_dSpeedY, 3); // falling without a floor: the push lands once
    EXPECT_EQ(c.m_dVMotion, 0);
}

TEST(MotionRoutines, PlacingOnACell) {
    FlowFixture fx;
    cStageChara& c = fx.AddChara({});
    c.m_nGfxOffX0 = 4;
    c.m_nGfxOffY0 = 2;
    SetPosition(c, 3, 5);
    EXPECT_DOUBLE_EQ(c.m_dX, (10 + 3) * 32 + 4 + 0.5);
    EXPECT_DOUBLE_EQ(c.m_dY, (10 + 5) * 32 + 2);
    // The jump of a stage character is not scaled; its frames follow the stage's gravity.
    const double g = StageSettings::Get(g_Stage, eStageD::GravityPerStep);
    EXPECT_DOUBLE_EQ(JumpSpeedHbl(c, 3), JumpSpeed(48, g));
    EXPECT_EQ(JumpFrames(c, JumpSpeedHbl(c, 3)), JumpFrames(JumpSpeed(48, g), g, SpeedUnit()));

    // A jump command lasts its rise (frames x u x 6) and starts the character's jump.
    cFlowCmd jump;
    jump.cmdKind = 10;
    jump.params.assign(5, 0);
    jump.params[2] = 3;
    SetupFlows(c, {MakeFlow(TRIG_ALWAYS, {jump})}, 0, -1);
    RunFlowsOf(c, TRIG_ALWAYS);
    StepFlows(c, 0);
    const cCmdRun& run = c.m_vFlowRun[0].m_vCmdRun[0];
    EXPECT_EQ(run.m_nDuration, JumpFrames(c, JumpSpeedHbl(c, 3)) * static_cast<i32>(SpeedUnit()) * 6);
    EXPECT_EQ(run.m_nFramesLeft, run.m_nDuration - 1);
}
