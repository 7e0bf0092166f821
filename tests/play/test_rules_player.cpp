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
    // by 0.99 - 0.025 x 0.004 (the gravity per step), rises about 64 x 0.9899^2 = 62.7 px.
    const std::string full = "start 744.156\n0: 743.45 -0.706\n1: 742.747 -0.702\n2: 742.049 -0.698\n40: 718.478 -0.546\n"
                             "80: 699.906 -0.386\n120: 687.734 -0.226\n160: 681.962 -0.066\ntop 681.445 end 682.497";
    EXPECT_EQ(Jump(0, [](int) { return false; }), full);
    // Kind 1 held all the way: the same jump.
    EXPECT_EQ(Jump(1, [](int) { return true; }), full);
    // Released one step after the start: the rising speed is cut to 30 %.
    EXPECT_EQ(Jump(1, [](int step) { return step < 1; }),
              "start 744.156\n0: 743.45 -0.706\n1: 743.242 -0.208\n2: 743.038 -0.204\n40: 738.254 -0.052\n80: 739.459 0.108\n"
              "120: 744.174 0.032\n160: 744.094 0.016\ntop 737.943 end 744.99");
}
