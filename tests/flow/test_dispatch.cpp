// Command dispatch: one table per command set; kinds outside a table do nothing and say so.
#include <gtest/gtest.h>

#include "flow/CmdDispatch.h"
#include "play/objects/Player.h"
#include "play/objects/StageChara.h"
#include "tests/flow/FlowTrace.h"
#include "tests/support/ScratchGame.h"

TEST(Dispatch, KindsOutsideTheTablesDoNothingWithAReportLine) {
    ScratchGame game;
    cStageChara c;
    c.m_dX = 100.0;
    cFlowCmd cmd;
    cCmdRun run;
    run.m_pCmd = &cmd;
    for (u8 kind : {u8{40}, u8{127}, u8{128}, u8{255}}) {
        cmd.cmdKind = kind;
        run.m_bStarted = 0;
        EXPECT_EQ(ExecCmd(c, run), 0);
        EXPECT_EQ(ExecCmd(c, run), 0); // a later frame of the same command stays quiet
    }
    EXPECT_EQ(c.m_dX, 100.0);
    const std::string r = game.Report();
    EXPECT_NE(r.find("ExecCmd : command kind 40 does not exist"), std::string::npos) << r;
    EXPECT_NE(r.find("kind 127 "), std::string::npos);
    EXPECT_NE(r.find("kind -128 "), std::string::npos); // the kind byte is read signed
    EXPECT_NE(r.find("kind -1 "), std::string::npos);
    const std::size_t first = r.find("command kind 40 ");
    EXPECT_EQ(r.find("command kind 40 ", first + 1), std::string::npos); // once per start

    cPlayer hero;
    cmd.cmdSet = 1;
    for (u8 kind : {u8{25}, u8{200}}) {
        cmd.cmdKind = kind;
        EXPECT_EQ(ExecCmd2(hero, cmd), 0);
    }
    EXPECT_NE(game.Report().find("ExecCmd2 : item command kind 25 does not exist"), std::string::npos);
    EXPECT_NE(game.Report().find("item command kind -56 "), std::string::npos);

    // Known kinds go through their executors (no report), a run without a command does nothing.
    const std::size_t before = game.Report().size();
    cmd.cmdSet = 0;
    for (u8 kind = 0; kind < kCmdTypeCount; ++kind) {
        cmd.cmdKind = kind;
        ExecCmd(c, run);
    }
    cmd.cmdSet = 1;
    for (u8 kind = 0; kind < kCmdTypeCount2; ++kind) {
        cmd.cmdKind = kind;
        ExecCmd2(hero, cmd);
    }
    cCmdRun empty;
    EXPECT_EQ(ExecCmd(c, empty), 0);
    EXPECT_EQ(game.Report().size(), before);
}

TEST(DispatchTables, ItemKindsAreTheCharacterKindsFrom17) {
    for (int k = 2; k < kCmdTypeCount2; ++k) {
        EXPECT_STREQ(g_CmdTypeTable2[k].name, g_CmdTypeTable[k + 15].name) << k;
        EXPECT_EQ(g_CmdTypeTable2[k].nParams, g_CmdTypeTable[k + 15].nParams) << k;
    }
}

TEST(FlowSetup, LoopsAreExpandedAndRunsBound) {
    cStageChara c;
    // Three times the one command after the loop.
    const cFlow f = flowtest::MakeFlow(0, {flowtest::Cmd(39, {3, 1}), flowtest::Cmd(1)});
    cVector<cFlow> set{f, f};
    SetupFlows(c, set, 0, -1);
    ASSERT_EQ(c.m_vFlow.Size(), 2);
    ASSERT_EQ(c.m_vFlowRun.Size(), 2);
    // The runs hold the expanded commands, one list for flows of the same commands.
    ASSERT_TRUE(c.m_vFlowRun[0].m_pCmdList);
    EXPECT_EQ(c.m_vFlowRun[0].m_pCmdList->Size(), 3);
    EXPECT_EQ(c.m_vFlowRun[0].m_pCmdList, c.m_vFlowRun[1].m_pCmdList);
    EXPECT_EQ(c.m_vFlowRun[1].m_vCmdRun[2].m_pCmd, &(*c.m_vFlowRun[1].m_pCmdList)[2]);
    EXPECT_NE(c.m_vFlowRun[0].m_nRunNo, c.m_vFlowRun[1].m_nRunNo);
    EXPECT_EQ(c.m_vFlowRun[0].m_bRunning, 0);
}

TEST(FlowSetup, AnOverrideChangesOnlyItsOwnRunsCopyOfASharedCommand) {
    cStageChara c;
    cFlowCmd shot = flowtest::Cmd(11);
    NewEdShot(shot.shot);
    shot.shot->cShotNum = 3;
    const cFlow f = flowtest::MakeFlow(0, {flowtest::Cmd(39, {2, 1}), shot});
    cVector<cFlow> set{f, f};
    SetupFlows(c, set, 0, -1);
    ASSERT_EQ(c.m_vFlowRun.Size(), 2);
    ASSERT_EQ(c.m_vFlowRun[0].m_pCmdList, c.m_vFlowRun[1].m_pCmdList);
    // The shot count set from character variable 0 as the first run's second command starts.
    c.m_vVar[0] = 9;
    c.m_vFlowRun[0].m_lstOverride.push_back(CMDOVERRIDE{{11, 5, 0, 2, 0}});
    c.m_vFlowRun[0].m_vCmdRun[1].Start(c, c.m_vFlowRun[0]);
    EXPECT_EQ(c.m_vFlowRun[0].m_vCmdRun[1].m_pCmd->shot->cShotNum, 9);
    EXPECT_EQ(c.m_vFlowRun[1].m_vCmdRun[1].m_pCmd->shot->cShotNum, 3);
    EXPECT_EQ((*c.m_vFlowRun[0].m_pCmdList)[1].shot->cShotNum, 3);
    // The run keeps its copy when the flows are bound again.
    BindFlows(c);
    EXPECT_EQ(c.m_vFlowRun[0].m_vCmdRun[1].m_pCmd->shot->cShotNum, 9);
}
