// A flow run's command runs, made as the run reaches them and forgotten once they are back to
// what a fresh run holds, through the real frame: a run that forgets plays exactly as one that
// keeps every command run, and the stage's bound on them delays commands without losing any.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/PlayRecordNames.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "tests/play/PlayFixture.h"

namespace {

cFlowCmd RunsCmd(u8 kind, std::initializer_list<u32> params, u8 time = 0, bool chain = false) {
    cFlowCmd c = playtest::MakeCmd(0, kind, params);
    c.time = time;
    c.chain = chain ? 1 : 0;
    return c;
}

cFlowCmd RunsMove(i16 direction, u8 time, bool derived = false) {
    cFlowCmd c = RunsCmd(2, {}, time);
    NewEdMove(c.move);
    MoveSettings::Set(*c.move, eMove::Speed, 20);
    MoveSettings::Set(*c.move, eMove::Direction, direction);
    if (derived) {
        // The duration worked out from a distance and the speed when the run is made.
        MoveSettings::Set(*c.move, eMove::ComputedValue, 2);
        MoveSettings::Set(*c.move, eMove::Distance, 3);
    }
    return c;
}

// Adds 1 (or, arranged, the common variable 3) to the runner's variable var.
cFlowCmd RunsAdd(u32 var, bool chain, u8 time = 0) {
    cFlowCmd c = RunsCmd(22, {0, 0, var, 0, 0, 1, 0, 1}, time, chain);
    return c;
}

// Flows that reach every kind of command run state past the command runs a run keeps made (each
// starts with as many commands run together, a loop of 64 additions): moves (one with a derived
// duration), jumps, waits, commands run together with the next, an arrange that gives the next
// command a copy of its own in every pass, flows that end and start again.
std::vector<cFlow> RunsFlows() {
    const std::vector<cFlowCmd> head = {RunsCmd(39, {cCmdRuns::kHead, 1}), RunsAdd(3, true)};
    auto flow = [&](std::vector<cFlowCmd> cmds) {
        cFlow f;
        f.trigger = 0;
        f.cmds.assign(head.begin(), head.end());
        f.cmds.insert(f.cmds.end(), cmds.begin(), cmds.end());
        return f;
    };
    // Every pass raises the random bounds of its status operation by common variable 3: the
    // operation's own copy of its command keeps them from one run of the flow to the next.
    cFlowCmd random = RunsAdd(2, true, 2);
    random.params[6] = 1;
    random.params[8] = 1;
    random.params[9] = 2;
    return {flow({RunsCmd(39, {30, 4}), RunsMove(3, 1), RunsAdd(1, true), RunsCmd(1, {}, 1), RunsMove(2, 0, true)}),
            flow({RunsCmd(39, {4, 2}), RunsCmd(10, {0, 0, 1}), RunsCmd(1, {}, 1)}),
            flow({RunsCmd(39, {3, 5}), RunsCmd(38, {22, 0, 1, 0, 3}, 0, true), RunsCmd(38, {22, 1, 1, 0, 3}, 0, true),
                  random, RunsCmd(1, {}, 3, true), RunsAdd(2, false, 1)}),
            flow({RunsCmd(39, {3, 2}), RunsAdd(3, true, 1), RunsCmd(1, {}, 1)})};
}

cStage TwoRunners() {
    cStage st = playtest::MakeStage(40, 15);
    for (i16 x : {8, 12}) {
        cEdChara c = st.vChara[0];
        c.byOperation = 1;
        c.sPosX = x;
        c.sPosY = x == 8 ? 6 : 12;
        if (x == 8) CharaSettings::Set(c, eChara::FlyMode, 2);
        const std::vector<cFlow> flows = RunsFlows();
        c.vFlow.assign(flows.begin(), flows.end());
        st.vChara.push_back(c);
    }
    st.Prepare();
    return st;
}

// What the frame left of every character: its place, its variables and its runs' command runs
// as the flows see them.
std::string RunsLine(cGameScene& s) {
    std::string line;
    s.ForEachChara([&](cStageChara& c) {
        line += std::to_string(static_cast<long long>(c.m_dX * 64)) + "," +
                std::to_string(static_cast<long long>(c.m_dY * 64)) + " v" + std::to_string(c.m_vVar[1]) + "/" +
                std::to_string(c.m_vVar[2]) + "/" + std::to_string(c.m_vVar[3]);
        for (const cFlowRun& run : c.m_vFlowRun) {
            line += run.m_bRunning ? " R" : " -";
            line += std::to_string(run.m_nCurrent) + ":";
            const cCmdRuns& runs = run.m_vCmdRun;
            for (i32 k = std::max(0, run.m_nCurrent - 3); k <= std::min(run.m_nCurrent + 1, runs.Size() - 1); ++k) {
                const cCmdRun r = runs[k];
                line += r.m_bDone ? "*" : std::to_string(r.m_nFramesLeft) + "/" + std::to_string(r.m_nDuration);
                line += ",";
            }
        }
        line += " | ";
    });
    return line;
}

} // namespace

TEST(CmdRuns, ARunThatForgetsPlaysAsOneThatKeepsEveryCommandRun) {
    const cStage st = TwoRunners();
    playtest::PlayFixture forgets(st), keeps(st);
    ASSERT_TRUE(forgets.RunUntilPlay());
    ASSERT_TRUE(keeps.RunUntilPlay());
    // From here on one play keeps every command run made and never forgets one, as runs did when
    // they held a command run for every command from their set-up on.
    i64 kept = 0;
    keeps.Scene().ForEachChara([&](cStageChara& c) {
        for (cFlowRun& run : c.m_vFlowRun) {
            for (i32 k = 0; k < run.m_vCmdRun.Size(); ++k) run.m_vCmdRun[k];
            run.m_vCmdRun.HoldForCommand();
            kept += std::max(0, run.m_vCmdRun.Size() - cCmdRuns::kHead);
        }
    });
    g_CommonVars[3] = 7;
    const std::string script = ".*400";
    std::string a, b;
    ASSERT_TRUE(forgets.Script(script, [&](int frame) { a += std::to_string(frame) + " " + RunsLine(forgets.Scene()) + "\n"; }));
    ASSERT_TRUE(keeps.Script(script, [&](int frame) { b += std::to_string(frame) + " " + RunsLine(keeps.Scene()) + "\n"; }));
    EXPECT_EQ(a, b);

    // The flows went through their loops; past the first command runs the play that forgets held
    // few while the other kept them all (but for the copies an arrange gave commands of their own).
    forgets.Scene().ForEachChara([&](cStageChara& c) {
        EXPECT_GT(c.m_vVar[1], 5);
        EXPECT_GT(c.m_vVar[2], 100);
    });
    EXPECT_LT(forgets.Scene().m_LoopExpansions.RunStates()->held, 40);
    EXPECT_GE(keeps.Scene().m_LoopExpansions.RunStates()->held, kept);
}

// Characters that each start a thousand commands at once (run with the next, each adding 1 for
// 60 steps, then a long wait): past the stage's bound on command runs the rest wait to start
// until running ones end, with one report line; every command runs all the same.
TEST(CmdRuns, CommandsPastTheStagesBoundWaitForRoomAndAllRun) {
    cStage st = playtest::MakeStage(40, 15);
    cFlow f;
    f.trigger = 0;
    f.cmds = {RunsCmd(39, {1000, 1}), RunsAdd(1, true, 1), RunsCmd(1, {}, 100)};
    for (i16 x : {6, 9, 12}) {
        cEdChara c = st.vChara[0];
        c.byOperation = 1;
        c.sPosX = x;
        c.sPosY = 6;
        CharaSettings::Set(c, eChara::FlyMode, 2);
        c.vFlow = {f};
        st.vChara.push_back(c);
    }
    st.Prepare();
    playtest::PlayFixture play(st);
    constexpr i64 kBound = 1500;
    play.Scene().m_LoopExpansions.SetRunStateBound(kBound * CMDRUNSHELD::kEntryBytes);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    s.ForEachChara([](cStageChara& c) { std::fill(c.m_vVar.begin(), c.m_vVar.end(), 0); });
    i64 most = 0;
    std::string firsts;
    for (int frame = 0; frame < 40; ++frame) {
        play.Step();
        most = std::max(most, s.m_LoopExpansions.RunStates()->held);
        if (frame < 3) {
            s.ForEachChara([&](cStageChara& c) { firsts += std::to_string(c.m_vVar[1]) + " "; });
            firsts += "| ";
        }
    }
    EXPECT_LE(most, kBound);
    // In the first frame (ten steps) the first character starts its thousand and the wait after
    // them, the second its first 64 (made with the run) and what is left of the bound, the third
    // its first 64 and waits; as the first ones end the others start.
    EXPECT_EQ(firsts.substr(0, firsts.find('|')), "10000 6270 640 ");
    s.ForEachChara([](cStageChara& c) { EXPECT_EQ(c.m_vVar[1], 1000 * 60); });
    const std::string report = play.Report();
    const std::string line = "実行中の命令の状態が合わせて 0 MB を超えるため、続く命令は空きができるまで始めません。";
    EXPECT_NE(report.find(line), std::string::npos) << report;
    EXPECT_EQ(report.find(line), report.rfind(line)) << report;
}
