// Golden traces of the flow engine's run state: commands started, run side by side and ended
// frame by frame; ID letters; pause, resume and stop for good; flows deleted and changed while
// they run; the start-up trigger; every trigger kind of the scan.
#include <gtest/gtest.h>

#include "database/SystemData.h"
#include "tests/flow/FlowTrace.h"

using namespace flowtest;

namespace {

constexpr u8 kMove = 2;

// The expected traces start on the line after their opening quote.
void ExpectTrace(const std::string& got, const char* expected) { EXPECT_EQ("\n" + got, expected) << got; }

} // namespace

TEST(FlowTrace, RunWithNextWalk) {
    FlowFixture fx;
    // Three commands one after the other; the same with the first beside the others (it lasts
    // 5 frames, longer than the flow); commands of 0 frames, with and without the flag.
    cStageChara& a = fx.AddChara({MakeFlow(TRIG_ALWAYS, {AddCmd(0), AddCmd(1), AddCmd(2)}),
                                  MakeFlow(TRIG_ALWAYS, {AddCmd(3, true), AddCmd(4), AddCmd(5)})});
    a.m_vFlowRun[1].m_vCmdRun[0].m_nDuration = 5;
    cStageChara& b = fx.AddChara({MakeFlow(TRIG_ALWAYS, {AddCmd(0), AddCmd(1, true), AddCmd(2), AddCmd(3)}),
                                  MakeFlow(TRIG_NONE, {AddCmd(8)})},
                                 0);
    b.m_vFlowRun[0].m_vCmdRun[3].m_nDuration = 2;
    fx.Frames(8);
    ExpectTrace(fx.Trace(), R"(
f1 | R1.. R41. x034 | R*... -. x0
f2 | R*.. R3*. x034 | R***. -. x12
f3 | R*1. R2*1 x135 | R***1 -. x3
f4 | R**. -.** x135 | -**** -. x3
f5 | R**1 R41. x234 | R*... -. x0
f6 | -*** R3*. x234 | R***. -. x12
f7 | R1.. R2*1 x035 | R***1 -. x3
f8 | R*.. -.** x035 | -**** -. x3
)");
}

TEST(FlowTrace, LettersKeepTriggerZeroFlowsApart) {
    FlowFixture fx;
    // Two flows of letter A: the second starts only from the frame after the first has ended
    // (the first runs once: while variable 0 is below 1). A flow of letter B beside them is not
    // held back.
    cFlow once = MakeFlow(TRIG_ALWAYS, {AddCmd(0), AddCmd(1)}, 1);
    once.conds.push_back(Cond(3, 5, 1));
    fx.AddChara({once, MakeFlow(TRIG_ALWAYS, {AddCmd(2)}, 1), MakeFlow(TRIG_ALWAYS, {AddCmd(3)}, 2)});
    fx.Frames(7);
    ExpectTrace(fx.Trace(), R"(
f1 | R1. -. R1 x03 @AB
f2 | R*. -. -* x03 @A
f3 | R*1 -. R1 x13 @AB
f4 | -** -. -* x13
f5 | -** R1 R1 x23 @AB
f6 | -** -* -* x23
f7 | -** R1 R1 x23 @AB
)");
}

TEST(FlowTrace, PauseResumeAndStopForever) {
    FlowFixture fx;
    cStageChara& a = fx.AddChara({MakeFlow(TRIG_ALWAYS, {AddCmd(0), AddCmd(1)}, 1),
                                  MakeFlow(TRIG_ALWAYS, {AddCmd(2), AddCmd(3)}, 2)});
    fx.Frame();
    a.m_vFlowRun[0].Pause();
    fx.Note("pause 0");
    fx.Frames(2);
    a.m_vFlowRun[0].Resume();
    a.m_vFlowRun[1].StopForever(a);
    fx.Note("resume 0, stop 1");
    fx.Frames(5);
    ExpectTrace(fx.Trace(), R"(
f1 | R1. R1. x02 @AB
pause 0 | P1. R1. @AB
f2 | P1. R*. x2 @AB
f3 | P1. R*1 x3 @AB
resume 0, stop 1 | R1. S*. @AB
f4 | R*. S*. x0 @A
f5 | R*1 S*. x1 @A
f6 | -** S*. x1
f7 | R1. S*. x0 @A
f8 | R*. S*. x0 @A
)");
}

TEST(FlowTrace, DeleteAndChangeWhileRunning) {
    FlowFixture fx;
    cStageChara& a = fx.AddChara({MakeFlow(TRIG_ALWAYS, {AddCmd(0), AddCmd(1)}, 0, 5),
                                  MakeFlow(TRIG_ALWAYS, {AddCmd(2), AddCmd(3)}, 1, 7),
                                  MakeFlow(TRIG_ALWAYS, {AddCmd(4), AddCmd(5)}, 0, 7),
                                  MakeFlow(TRIG_ALWAYS, {AddCmd(6), AddCmd(7)})});
    cGameScene& s = fx.Scene();
    fx.Frames(2);
    // The scene's hand-over names run 3; deleting run 0 keeps it on the same run.
    s.SetFlowRun(&a, &a.m_vFlowRun[3]);
    const i32 runNo = a.m_vFlowRun[3].m_nRunNo;
    ASSERT_EQ(s.FlowRun(), &a.m_vFlowRun[3]);
    const FLOWRUNREF saved = s.m_pFlowRun;
    DeleteFlow(a, 0);
    ASSERT_EQ(s.FlowRun(), &a.m_vFlowRun[2]);
    EXPECT_EQ(s.FlowRun()->m_nRunNo, runNo);
    // A hand-over saved before the deletion (a scan's scope) still finds its run when put back.
    s.m_pFlowRun = saved;
    EXPECT_EQ(s.FlowRun(), &a.m_vFlowRun[2]);
    fx.Note("delete 0");
    fx.Frame();
    // Flows of ID 7 go (the first was at index 0); a new flow takes their place. The pass
    // cleared the hand-over: name the last run again.
    s.SetFlowRun(&a, &a.m_vFlowRun[2]);
    EXPECT_EQ(ChangeFlows(a, 7), 0);
    ASSERT_NE(s.FlowRun(), nullptr);
    EXPECT_EQ(s.FlowRun()->m_nRunNo, runNo);
    InsertFlows(a, {MakeFlow(TRIG_ALWAYS, {AddCmd(8)})}, 0);
    FlowFixture::SetDurations(a, 2);
    ASSERT_NE(s.FlowRun(), nullptr);
    EXPECT_EQ(s.FlowRun()->m_nRunNo, runNo);
    fx.Note("change 7");
    fx.Frames(2);
    // Deleting the run the hand-over names clears it.
    s.SetFlowRun(&a, &a.m_vFlowRun[1]);
    DeleteFlow(a, 1);
    EXPECT_EQ(s.FlowRun(), nullptr);
    fx.Note("delete 1");
    // A run marked while its character's flows are stepped goes after the pass.
    fx.Frame();
    MarkFlowForDelete(a, 0);
    fx.Note("mark 0");
    fx.Frame();
    EXPECT_EQ(ChangeFlows(a, 9), -1);
    EXPECT_EQ(ChangeFlows(a, 0), 0);
    fx.Note("change 0");
    fx.Frame();
    ExpectTrace(fx.Trace(), R"(
f1 | R1. R1. R1. R1. x0246 @A
f2 | R*. R*. R*. R*. x0246 @A
delete 0 | R*. R*. R*. @A
f3 | R*1 R*1 R*1 x357 @A
change 7 | -. R*1 @A
f4 | R1 -** x78
f5 | -* R1. x68
delete 1 | -*
f6 | R1 x8
mark 0 | R1
f7 | x8
change 0 |
f8 |
)");
}

TEST(FlowTrace, StageStartFlowsRunAtOnce) {
    FlowFixture fx;
    // Only the commands of kind 16 or more that run with the next one act, once each, and the
    // flow ends at once; movement and commands without the flag are skipped.
    cFlowCmd move = AddCmd(1, true);
    move.cmdKind = kMove;
    cStageChara& a = fx.AddChara({MakeFlow(TRIG_STAGE_START, {AddCmd(0, true), move, AddCmd(2), AddCmd(3, true)})}, 0);
    RunFlowsOf(a, TRIG_STAGE_START);
    fx.Note("start");
    EXPECT_EQ(fx.Scene().FlowObj(), nullptr);
    fx.Frame();
    ExpectTrace(fx.Trace(), R"(
start | -*..* x03
f1 | -*..*
)");
}

TEST(FlowTrace, EveryTriggerKind) {
    FlowFixture fx;
    // One flow per trigger kind; kind 18 twice, for attack numbers 0 and 2.
    std::vector<cFlow> flows;
    for (u8 k = 0; k <= TRIG_NONE; ++k) flows.push_back(MakeFlow(k, {AddCmd(0)}));
    flows.push_back(MakeFlow(TRIG_DEALT_DAMAGE, {AddCmd(1)}, 0, 2));
    // The event's other character goes into a target slot while the conditions are tested:
    // kind 4 into slot 2 with "target 2 exists" (holds: the slot keeps it), kind 7 into slot 3
    // with "target 3 does not exist" (fails: the slot is put back).
    auto withTarget = [](u8 trigger, u8 slot, u8 negate) {
        cFlow f = MakeFlow(trigger, {AddCmd(2)});
        f.targetOther = 1;
        f.targetSlot = slot;
        cCond c = Cond(6, negate, 0);
        c.subject = static_cast<u8>(slot + 1);
        c.selector = 4;
        f.conds.push_back(c);
        return f;
    };
    flows.push_back(withTarget(TRIG_HIT_CHARA, 1, 0));
    flows.push_back(withTarget(TRIG_HIT_SHOT, 2, 1));
    cStageChara& a = fx.AddChara(flows, 1);
    cStageChara& other = fx.AddChara({});
    cGameScene& s = fx.Scene();
    // Kind 22 is never fired by an event; 23 is no kind.
    for (u8 k = 0; k <= TRIG_NONE + 1; ++k) {
        if (k == TRIG_NONE) continue;
        ResetFlowMarks(a);
        for (cFlowRun& run : a.m_vFlowRun) run.Reset(a);
        EndLetters(a);
        a.m_aTarget[1].Reset();
        RunFlows(a, k, &other, k == TRIG_DEALT_DAMAGE ? 2 : 0);
        EXPECT_EQ(s.FlowObj(), nullptr);
        std::string line = fx.Line("kind " + std::to_string(k));
        if (a.m_aTarget[1]) line += " t2";
        if (a.m_aTarget[2]) line += " t3";
        fx.Raw(line);
    }
    // Attack number 3 starts no flow (no flow has ID 3); without a number every flow of the
    // kind may start.
    ResetFlowMarks(a);
    for (cFlowRun& run : a.m_vFlowRun) run.Reset(a);
    RunFlows(a, TRIG_DEALT_DAMAGE, &other, 3);
    RunFlows(a, TRIG_DEALT_DAMAGE, &other, 0);
    fx.Note("kind 18 numbers 3, 0");
    // A scan, even one reached from inside a stepped flow, ends with no hand-over (the stepping
    // names its run again before each command).
    s.SetFlowObj(&other);
    s.SetFlowRun(&other, nullptr);
    RunFlowsOf(a, TRIG_DAMAGED);
    EXPECT_EQ(s.FlowObj(), nullptr);
    ExpectTrace(fx.Trace(), R"(
kind 0 | R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 1 | -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 2 | -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 3 | -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 4 | -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. R. -. | t2
kind 5 | -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 6 | -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 7 | -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 8 | -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 9 | -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 10 | -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 11 | -. -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 12 | -. -. -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 13 | -. -. -. -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 14 | -. -. -. -. -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. -. |
kind 15 | -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. -. |
kind 16 | -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. -. |
kind 17 | -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. -. -. |
kind 18 | -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. R. -. -. |
kind 19 | -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. -. |
kind 20 | -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. -. |
kind 21 | -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 23 | -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. |
kind 18 numbers 3, 0 | -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. -. R. -. -. -. -. R. -. -. |
)");
}

// One event's scans under each marking rule of the system data: marks after the state test (the
// usual), before it (early), none, and early with none. The runs of the event: one idle, one
// running, one paused, one stopped for good, and an idle one of another event. A scan passes
// the runs that run, wait or were started this step (every run but the idle one, on the first
// scan; all of them on the third, after the second started the idle one); the early marks mark
// even those. Per run: its state, m when marked, b when started this step.
TEST(FlowTrace, ScansOfBusyRunsUnderEveryMarkRule) {
    struct RULE {
        const char* name;
        u32 early, none;
    };
    std::string trace;
    for (const RULE rule : {RULE{"late", 0, 0}, RULE{"early", 1, 0}, RULE{"none", 0, 1}, RULE{"both", 1, 1}}) {
        FlowFixture fx;
        g_SystemData.g_bFlowMarkEarly = rule.early;
        g_SystemData.g_bFlowNoMark = rule.none;
        cStageChara& a = fx.AddChara({MakeFlow(TRIG_DAMAGED, {AddCmd(0)}), MakeFlow(TRIG_DAMAGED, {AddCmd(1)}),
                                      MakeFlow(TRIG_DAMAGED, {AddCmd(2)}), MakeFlow(TRIG_DAMAGED, {AddCmd(3)}),
                                      MakeFlow(TRIG_DIED, {AddCmd(4)})});
        a.m_vFlowRun[1].Start(a);
        a.m_vFlowRun[2].Start(a);
        a.m_vFlowRun[2].m_bPaused = 1;
        a.m_vFlowRun[3].m_bStopped = 1;
        auto line = [&](const char* what) {
            std::string l = std::string(rule.name) + " " + what + " |";
            for (const cFlowRun& run : a.m_vFlowRun) {
                l += ' ';
                l += run.m_bStopped ? 'S' : run.m_bPaused ? 'P' : run.m_bRunning ? 'R' : '-';
                l += run.m_bPassMark ? "m" : "";
                l += run.m_bBusy ? "b" : "";
            }
            if (fx.Scene().FlowObj()) l += " named";
            trace += l + "\n";
        };
        // The idle run waits out the first scan: it is stopped for it, and started by the second.
        a.m_vFlowRun[0].m_bStopped = 1;
        for (int scan = 1; scan <= 3; ++scan) {
            if (scan == 2) {
                ResetFlowMarks(a);
                a.m_vFlowRun[0].m_bStopped = 0;
            }
            RunFlowsOf(a, TRIG_DAMAGED);
            line(scan == 1 ? "busy" : scan == 2 ? "one idle" : "again");
        }
    }
    g_SystemData.g_bFlowMarkEarly = 0;
    g_SystemData.g_bFlowNoMark = 0;
    ExpectTrace(trace, R"(
late busy | S Rb Pb S -
late one idle | Rmb R P S -
late again | Rmb R P S -
early busy | Sm Rmb Pmb Sm -
early one idle | Rmb Rm Pm Sm -
early again | Rmb Rm Pm Sm -
none busy | S Rb Pb S -
none one idle | Rb R P S -
none again | Rb R P S -
both busy | S Rb Pb S -
both one idle | Rb R P S -
both again | Rb R P S -
)");
}

TEST(FlowTrace, FlowOperationsFromRunningCommands) {
    FlowFixture fx;
    auto op = [](i64 what, i64 scope, i64 letter, i64 whose) { return Cmd(16, {what, scope, letter, whose}); };
    // a: flow 0 deletes the flows of letter B of its target 1 (b) on its 2nd command, then
    // pauses its own flows of letter C, deletes its own flows of letter D (after the pass) and
    // ends itself. b's flows of letter B run meanwhile.
    cStageChara& a = fx.AddChara({MakeFlow(TRIG_ALWAYS, {AddCmd(0), op(4, 2, 2, 1), op(2, 2, 3, 0), op(4, 2, 4, 0),
                                                         op(1, 0, 0, 0), AddCmd(1)}),
                                  MakeFlow(TRIG_ALWAYS, {AddCmd(2), AddCmd(3)}, 3),
                                  MakeFlow(TRIG_ALWAYS, {AddCmd(4), AddCmd(5)}, 4)},
                                 1);
    cStageChara& b = fx.AddChara({MakeFlow(TRIG_ALWAYS, {AddCmd(0), AddCmd(1)}, 2),
                                  MakeFlow(TRIG_ALWAYS, {AddCmd(2), AddCmd(3)}, 5)},
                                 1);
    SetTargetSlot(a, 0, &b, 1);
    fx.Frames(7);
    ExpectTrace(fx.Trace(), R"(
f1 | R*..... R*. R*. x024 @CD | R*. R*. x02 @BE
f2 | R**.... -** -** x35 | -** x3
f3 | R***... P.. R*. x4 @CD | R*. x2 @E
f4 | R****.. P.. x5 @C | -** x3
f5 | -*****. P.. @C | R*. x2 @E
f6 | R*..... P.. x0 @C | -** x3
f7 | R**.... P.. @C | R*. x2 @E
)");
}

// A flow started by another character's flow operation holds its letter on its owner.
TEST(FlowTrace, AFlowStartedForAnotherHoldsItsLetterThere) {
    FlowFixture fx;
    // a starts the flows of letter B of its target 1 (b) on the first frame only (variable 0
    // below 1); b's flow is never started by the scan (variable 0 below 0).
    cFlow once = MakeFlow(TRIG_ALWAYS, {Cmd(16, {0, 2, 2, 1}), AddCmd(0)});
    once.conds.push_back(Cond(3, 5, 1));
    cStageChara& a = fx.AddChara({once}, 1);
    cFlow lettered = MakeFlow(TRIG_ALWAYS, {AddCmd(0)}, 2);
    lettered.conds.push_back(Cond(3, 5, 0));
    cStageChara& b = fx.AddChara({lettered}, 3);
    SetTargetSlot(a, 0, &b, 1);
    // B is held by b, whose flow runs, and never by a, whose command started it.
    fx.Frames(3);
    ExpectTrace(fx.Trace(), R"(
f1 | R*. | R2 x0 @B
f2 | -** x0 | R1 x0 @B
f3 | -** | -* x0
)");
}

// A command of a's running flow starts b's start-up flow, which deletes a flow of a that lies
// before the running one: the running flow moves down a place in the middle of its command and
// goes on from there, and the flow that moved into its old place runs as its own.
TEST(FlowTrace, ARunningFlowMovedByAnotherCharacterGoesOn) {
    FlowFixture fx;
    auto op = [](i64 what, i64 scope, i64 letter, i64 whose) { return Cmd(16, {what, scope, letter, whose}); };
    cStageChara& a = fx.AddChara({MakeFlow(TRIG_DIED, {AddCmd(9)}, 3),
                                  MakeFlow(TRIG_ALWAYS, {AddCmd(0), op(0, 2, 4, 1), AddCmd(1)}),
                                  MakeFlow(TRIG_ALWAYS, {AddCmd(2), AddCmd(3), AddCmd(4)})},
                                 1);
    cFlowCmd erase = op(4, 2, 3, 1);
    erase.chain = true;
    cStageChara& b = fx.AddChara({MakeFlow(TRIG_STAGE_START, {erase}, 4)}, 1);
    SetTargetSlot(a, 0, &b, 1);
    SetTargetSlot(b, 0, &a, 1);
    fx.Frames(4);
    ExpectTrace(fx.Trace(), R"(
f1 | -. R*.. R*.. x02 | -.
f2 | R**. R**. x3 | -*
f3 | -*** -*** x14 | -*
f4 | R*.. R*.. x02 | -*
)");
}

// Naming a flow run and its command run at once leaves the hand-over, and the marks of the
// objects reached, as naming the run and then the command run does.
TEST(FlowTrace, NamingARunAndItsCommandAtOnce) {
    FlowFixture fx;
    cStageChara& a = fx.AddChara({MakeFlow(TRIG_ALWAYS, {AddCmd(0), AddCmd(1)}), MakeFlow(TRIG_ALWAYS, {AddCmd(2)})});
    cStageChara& b = fx.AddChara({MakeFlow(TRIG_ALWAYS, {AddCmd(3)})});
    cStageChara scratch; // never entered: no handle
    scratch.m_vFlowRun = a.m_vFlowRun;
    fx.Frame();
    cGameScene& s = fx.Scene();
    cObjRegistry& reg = s.m_Registry;
    struct Case {
        const char* name;
        cChara* owner;
        cFlowRun* run;
        cCmdRun* cmd;
    } cases[] = {
        {"first", &a, &a.m_vFlowRun[0], &a.m_vFlowRun[0].m_vCmdRun[1]},
        {"second", &a, &a.m_vFlowRun[1], &a.m_vFlowRun[1].m_vCmdRun[0]},
        {"another run's command", &a, &a.m_vFlowRun[1], &a.m_vFlowRun[0].m_vCmdRun[0]},
        {"no command", &b, &b.m_vFlowRun[0], nullptr},
        {"another's run", &b, &a.m_vFlowRun[0], &a.m_vFlowRun[0].m_vCmdRun[0]},
        {"no run", &a, nullptr, &a.m_vFlowRun[0].m_vCmdRun[0]},
        {"no owner", nullptr, &a.m_vFlowRun[0], &a.m_vFlowRun[0].m_vCmdRun[0]},
        {"not entered", &scratch, &scratch.m_vFlowRun[0], &scratch.m_vFlowRun[0].m_vCmdRun[1]},
    };
    auto clear = [&] {
        s.ClearFlowPointers();
        for (u32 slot : {cObjRegistry::SlotOf(a), cObjRegistry::SlotOf(b)}) reg.ClearReached(slot);
    };
    auto state = [&] {
        // The marks first: finding the run again below marks its owner.
        std::string out;
        for (u32 slot : {cObjRegistry::SlotOf(a), cObjRegistry::SlotOf(b)}) out += reg.Reached(slot) ? "r " : ". ";
        out += std::to_string(s.m_pFlowRun.run) + "/" + std::to_string(s.m_pFlowRun.runNo) + "/" +
               std::to_string(s.m_pCmdRun) + (s.m_pFlowRun.owner.IsNull() ? " null" : "");
        out += s.FlowRun() ? " run" : " -";
        out += s.CmdRun() ? " cmd" : " -";
        return out;
    };
    int named = 0, marked = 0;
    for (const Case& k : cases) {
        clear();
        s.SetFlowRun(k.owner, k.run);
        s.SetCmdRun(k.cmd);
        const std::string apart = state();
        clear();
        s.SetFlowRunAndCmd(k.owner, k.run, k.cmd);
        EXPECT_EQ(state(), apart) << k.name;
        named += s.m_pCmdRun >= 0;
        marked += apart[0] == 'r' || apart[2] == 'r';
    }
    EXPECT_EQ(named, 2);
    EXPECT_EQ(marked, 4);
}
