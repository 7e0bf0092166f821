// The player: jumps (height, the early-release cut, off a block character), flight-mode changes
// with the saved box, camera follow.
#include <gtest/gtest.h>

#include "platform/system/Input.h"
#include "play/objects/CharaSetup.h"
#include "play/rules/Motion.h"
#include "tests/play/RulesTestUtil.h"

using namespace rulestest;

namespace {

// A flow whose one command is a jump of the kind, height (hbl) and hold frames.
cFlow JumpFlow(u32 kind, u32 height) {
    cFlow f;
    cFlowCmd jump;
    jump.cmdKind = 10;
    jump.params.assign(5, 0);
    jump.params[0] = kind;
    jump.params[2] = height;
    f.cmds.push_back(jump);
    return f;
}

// Steps of a jump command held by button 1 while held(step) says so; the trace has y and speed
// y every 5 steps and at the top; the highest point.
std::string Jump(u32 kind, const std::function<bool(int)>& held, int steps = 200) {
    RulePlay play;
    cGameScene& s = play.s;
    cPlayer& p = SetUpPlayer(s, 4, 13, [&](cEdChara& d) { d.vFlow.push_back(JumpFlow(kind, 4)); });
    // Standing first.
    for (int i = 0; i < 30; ++i) EXPECT_EQ(PlayerStep(s, p), 0);
    cCmdRun& run = p.m_vFlowRun[0].m_vCmdRun[0];
    StartJumpCmd(run, p);
    run.m_nDuration = 40; // the hold frames of the command
    std::string t = "start " + Num(p.m_dY) + "\n";
    double top = p.m_dY;
    for (int step = 0; step < steps; ++step) {
        g_vInput[0].wButtons = held(step) ? 1 : 0;
        EXPECT_EQ(PlayerStep(s, p, [&] {
                      s.m_nStepIndex = step % 10 + 1;
                      s.SetFlowRun(&p, &p.m_vFlowRun[0]);
                      p.Jump(run);
                      s.ClearFlowPointers();
                  }),
                  0);
        top = std::min(top, p.m_dY);
        if (step < 3 || step % 40 == 0) t += std::to_string(step) + ": " + Num(p.m_dY) + " " + Num(p.m_dSpeedY) + "\n";
    }
    return t + "top " + Num(top) + " end " + Num(p.m_dY);
}

} // namespace

TEST(RulesPlayer, JumpHeightAndTheEarlyReleaseCut) {
    // Kind 0 needs no key: the jump speed for 4 hbl (64 px) under g = 0.004, the player's scaled
    // by 0.99 - 0.025 x 10, rises about 64 x 0.74^2 = 35 px.
    const std::string full = "start 744.156\n0: 743.629 -0.527\n1: 743.106 -0.523\n2: 742.587 -0.519\n40: 725.83 -0.367\n80: 714.43 -0.207\n"
                                             "120: 709.431 -0.047\n160: 710.832 0.113\ntop 709.178 end 718.359";
    EXPECT_EQ(Jump(0, [](int) { return false; }), full);
    // Kind 1 held all the way: the same jump.
    EXPECT_EQ(Jump(1, [](int) { return true; }), full);
    // Released one step after the start: the rising speed is cut to 30 %.
    EXPECT_EQ(Jump(1, [](int step) { return step < 1; }),
              "start 744.156\n0: 743.629 -0.527\n1: 743.475 -0.154\n2: 743.325 -0.15\n40: 740.585 0.002\n80: 743.941 0.162\n"
              "120: 744.391 0.052\n160: 744.231 0.036\ntop 740.583 end 744.115");
}
