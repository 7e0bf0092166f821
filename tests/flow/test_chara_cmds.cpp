// The character and flow commands: targets, turning and its repeat period, warps, status
// operation 2, vanish, get item, stage clear, game wait, commands nested in commands; values
// past their lists and durations and speeds of 0.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "app/PlayRecordNames.h"
#include "database/CommonPalette.h"
#include "database/WorldMap.h"
#include "flow/CmdDispatch.h"
#include "platform/system/MessageBox.h"
#include "records/EdSettings.h"
#include "tests/flow/FlowTrace.h"
#include "tests/play/RulesTestUtil.h"

using namespace rulestest;

using flowtest::Cmd;

namespace {

// A command with a move record and these of its settings.
cFlowCmd MoveCmd(u8 kind, std::initializer_list<std::pair<eMove, i64>> settings) {
    cFlowCmd c;
    c.cmdKind = kind;
    NewEdMove(c.move);
    for (auto [s, v] : settings) MoveSettings::Set(*c.move, s, v);
    return c;
}

// Runs a command once on c, as its flow's command run would.
i32 Exec(cChara& c, cFlowCmd cmd, cCmdRun* keep = nullptr) {
    cCmdRun local;
    cCmdRun& run = keep ? *keep : local;
    run.m_pCmd = &cmd;
    return ExecCmd(c, run);
}

// A play with the hero at cell (2, 13); characters of a side added at cells.
struct Scene : flowtest::HeroPlay {
    Scene() { SetUpPlayer(s, 2, 13); }
    cStageChara& Add(i16 x, i16 y, i32 side) {
        cStageChara& c = AddStageChara(s, x, y);
        c.m_nSide = side;
        return c;
    }
};

} // namespace

TEST(CharaCmds, SetTargetKeepsToItsSlotsAndSides) {
    Scene sc;
    cStageChara& a = sc.Add(10, 8, 0);
    cStageChara& near = sc.Add(13, 8, 1);
    sc.Add(5, 8, 1);
    // Nearest of side 1 into slot 2 (index 1).
    Exec(a, Cmd(21, {1, 2, 1}));
    EXPECT_EQ(a.m_aTarget[1].Chara(), &near);
    // A slot past the four (for the character itself), or a side past the eight (for the
    // nearest), writes nothing.
    for (auto [slot, rule, side] : {std::tuple{4, 1, 1}, std::tuple{-1, 1, 1}, std::tuple{1, 2, 8}, std::tuple{1, 2, -1}}) {
        Exec(a, Cmd(21, {slot, rule, side}));
        EXPECT_EQ(a.m_aTarget[1].Chara(), &near) << slot << " " << side;
    }
    EXPECT_EQ(a.m_aTarget[3].Chara(), nullptr);
    // No candidate on side 2: "keep" leaves the slot, "none" empties it.
    cFlowCmd keep = Cmd(21, {1, 2, 2});
    keep.params[15] = 1;
    Exec(a, keep);
    EXPECT_EQ(a.m_aTarget[1].Chara(), &near);
    Exec(a, Cmd(21, {1, 2, 2}));
    EXPECT_EQ(a.m_aTarget[1].Chara(), nullptr);
}

TEST(CharaCmds, TurnFacesTargetsAndRepeatsEverySixUnits) {
    Scene sc;
    cStageChara& a = sc.Add(10, 8, 0);
    cStageChara& b = sc.Add(10, 5, 0); // the same x
    a.m_bFixedFacing = 1;
    a.m_aTarget[1] = &b;
    a.m_nDir = 1;
    Exec(a, Cmd(9, {4}));
    EXPECT_EQ(a.m_nDir, 0); // a tie faces left toward
    Exec(a, Cmd(9, {5}));
    EXPECT_EQ(a.m_nDir, 1); // and right away
    // An empty slot: nothing, and the counter waits for it.
    cCmdRun run;
    Exec(a, Cmd(9, {6}), &run);
    EXPECT_EQ(run.m_nRepeat, 0);
    // Three seconds at speed level 10 (60 u frames, a period of 6 u): acts 30 times.
    int acts = 0;
    for (int f = 0; f < 3 * 60 * 10; ++f) {
        a.m_nDir = 1;
        Exec(a, Cmd(9, {0}), &run);
        acts += a.m_nDir == 0;
    }
    EXPECT_EQ(acts, 30);
    // Without the fixed facing the command does nothing.
    a.m_bFixedFacing = 0;
    Exec(a, Cmd(9, {0}));
    EXPECT_EQ(a.m_nDir, 1);
}

TEST(CharaCmds, WarpByWayAndBase) {
    Scene sc;
    cStageChara& a = sc.Add(10, 8, 0);
    a.SetFlyMode(2);
    // Right, 2 half blocks.
    cFlowCmd warp = MoveCmd(20, {{eMove::Direction, 3}, {eMove::Distance, 2}});
    const double x = a.m_dX, y = a.m_dY;
    // Way 6 and beyond are no way (a damaged record): nothing moves.
    MoveSettings::Set(*warp.move, eMove::Way, 6);
    Exec(a, warp);
    EXPECT_EQ(a.m_dX, x);
    MoveSettings::Set(*warp.move, eMove::Way, 0);
    Exec(a, warp);
    EXPECT_EQ(a.m_dX, x + 32);
    EXPECT_EQ(a.m_dY, y);
    // To the hero's side (slot 1), and into an empty slot (nothing).
    MoveSettings::Set(*warp.move, eMove::Way, 1);
    Exec(a, warp);
    cPlayer& hero = *sc.s.Player0();
    EXPECT_EQ(a.m_dX - a.m_nGfxOffX + a.m_nGfxW / 2, hero.m_dX - hero.m_nGfxOffX + hero.m_nGfxW / 2 + 32);
    MoveSettings::Set(*warp.move, eMove::Way, 3);
    const double x2 = a.m_dX;
    Exec(a, warp);
    EXPECT_EQ(a.m_dX, x2);
    // Absolute: a flyer's box centred on the cell.
    MoveSettings::Set(*warp.move, eMove::Way, 5);
    MoveSettings::Set(*warp.move, eMove::CoordBase, 1);
    MoveSettings::Set(*warp.move, eMove::TargetXBl, 4);
    MoveSettings::Set(*warp.move, eMove::TargetYBl, 3);
    Exec(a, warp);
    EXPECT_EQ(a.m_dX + a.m_nBoxW / 2, (10 + 4) * 32 + 16.5);
    EXPECT_EQ(a.m_dY + a.m_nBoxH / 2, (10 + 3) * 32 + 16.5);
}

TEST(CharaCmds, StatusOp2AndVanishStayInTheirLists) {
    Scene sc;
    cStageChara& a = sc.Add(10, 8, 0);
    cStageChara& on = sc.Add(12, 8, 1);
    cStageChara& off = sc.Add(30, 8, 1);
    off.m_bOnScreen = 0;
    // A giant value of 0 (past the status's range) is taken as 1; status 7 does nothing.
    a.SetScale(3, 1);
    Exec(a, Cmd(23, {0, 5, 0}));
    EXPECT_EQ(a.m_nScale, 1);
    Exec(a, Cmd(23, {0, 7, 1}));
    // The screen: the x auto-scroll on with the stage's speed.
    Exec(a, Cmd(23, {5, 0, 1}));
    EXPECT_EQ(sc.s.m_ScrollX.m_bAuto, 1u);
    // Vanish side 9 (no side): nothing, characters or shots; side 1 on screen: only the one on
    // screen.
    cShot& side0 = sc.s.AddShot(cShot());
    for (i32 scope : {0, 1}) {
        Exec(a, Cmd(24, {scope, 9, 1}));
    }
    EXPECT_EQ(on.m_bRemove + off.m_bRemove, 0u);
    EXPECT_FALSE(side0.IsRemoved());
    Exec(a, Cmd(24, {0, 1, 0}));
    EXPECT_EQ(on.m_bRemove, 1u);
    EXPECT_EQ(off.m_bRemove, 0u);
    EXPECT_EQ(sc.s.m_bDeathCheck, 1u);
    // The children: 3 kills them and takes the character's own shots, not theirs; 5 takes their
    // shots too.
    cStageChara& child = sc.Add(11, 8, 0);
    a.m_vChild.push_back(&child);
    cShot& own = sc.s.AddShot(cShot());
    cShot& childs = sc.s.AddShot(cShot());
    a.m_vChildShot.push_back(&own);
    child.m_vChildShot.push_back(&childs);
    Exec(a, Cmd(24, {3, 0, 0}));
    EXPECT_TRUE(own.IsRemoved());
    EXPECT_FALSE(childs.IsRemoved());
    EXPECT_EQ(child.m_bRemove, 1u);
    Exec(a, Cmd(24, {5, 0, 0}));
    EXPECT_TRUE(childs.IsRemoved());
}

TEST(CharaCmds, StageClearAndGetItemRequestTheEnd) {
    Scene sc;
    cStageChara& a = sc.Add(10, 8, 0);
    g_PlayRecord.nStageNo = 4;
    g_WorldMap.nWidth = 20;
    g_WorldMap.nHeight = 15;
    playrec::BackToMapFlag(g_PlayRecord) = 1;
    sc.s.Player0()->m_nDir = 1;
    // Next stage, a map position beyond both ends kept on the map, a start position.
    EXPECT_EQ(Exec(a, Cmd(17, {0, 0, 1, -5, 999, 1, 3, 4, 2})), 1);
    EXPECT_EQ(sc.s.m_nEndRequest, 1);
    EXPECT_EQ(sc.s.m_nNextStageNo, 5);
    EXPECT_EQ(playrec::MapX(g_PlayRecord), 0);
    EXPECT_EQ(playrec::MapY(g_PlayRecord), 14);
    EXPECT_EQ(playrec::BackToMapFlag(g_PlayRecord), 0u);
    EXPECT_EQ(playrec::StartPosFlag(g_PlayRecord), 1u);
    EXPECT_EQ(playrec::StartPosDir(g_PlayRecord), 1u); // as at the clear: the hero faces right
    // A mode past the list does nothing; a file mode without a name says so.
    sc.s.m_nEndRequest = 0;
    EXPECT_EQ(Exec(a, Cmd(17, {4})), 0);
    EXPECT_EQ(sc.s.m_nEndRequest, 0);
    std::string box;
    SetMessageBoxSink([&](const std::string& text, const std::string&, u32) {
        box = text;
        return 0;
    });
    Exec(a, Cmd(17, {2}));
    EXPECT_EQ(sc.s.m_nNextStageNo, 4);
    EXPECT_EQ(box, "ステージファイル  が不正です。\nステージファイルとして認識できません。");

    // Get item: an index past the palette does nothing; an item that clears ends the stage.
    sc.s.m_nEndRequest = 0;
    cEdItem goal;
    goal.vCmd.push_back(Cmd(17, {3}));
    goal.vCmd.back().cmdSet = 1;
    goal.vCmd.back().cmdKind = 2;
    g_Stage.vItemPalette = {cEdItem(), goal};
    Exec(a, Cmd(25, {1, 2}));
    EXPECT_EQ(sc.s.m_nEndRequest, 0);
    Exec(a, Cmd(25, {1, 1}));
    EXPECT_EQ(sc.s.m_nEndRequest, 1);
    EXPECT_EQ(sc.s.m_nNextStageNo, 0);
}

TEST(CharaCmds, ZeroSpeedsAndDurationsStayFinite) {
    Scene sc;
    cStageChara& a = sc.Add(10, 8, 0);
    a.SetFlyMode(2);
    cFlowCmd move = MoveCmd(2, {{eMove::Way, 1}, {eMove::CoordBase, 1}, {eMove::TargetXBl, 600}, {eMove::DeriveDuration, 1}});
    cCmdRun run;
    run.m_nFramesLeft = 7;
    for (double speed : {0.0, 1e-300, std::nan(""), -1e308}) {
        run.ClearStartState();
        run.m_dSpeed = speed;
        a.m_dSpeedX = 0;
        Exec(a, move, &run);
        EXPECT_TRUE(std::isfinite(a.m_dSpeedX) && std::isfinite(run.m_dVelX)) << speed;
    }
    EXPECT_EQ(run.m_nFramesLeft, 0); // 19200 dots at -1e308 a frame
    run.ClearStartState();
    run.m_dSpeed = 1e-300;
    Exec(a, move, &run);
    EXPECT_EQ(run.m_nFramesLeft, INT32_MAX);
    // A game wait of 0 (or less) holds nothing.
    const std::size_t messages = sc.s.m_lstMessageWnd.size();
    Exec(a, Cmd(18, {0}));
    EXPECT_EQ(sc.s.m_lstMessageWnd.size(), messages);
}

TEST(CharaCmds, CommandsRunningThemselvesStopAtTheNestingLimit) {
    Scene sc;
    cStageChara& a = sc.Add(10, 8, 0);
    // An item whose command takes the item itself, and a start-up flow that starts itself.
    cEdItem loop;
    loop.vCmd.push_back(Cmd(25, {1, 1}));
    loop.vCmd.back().cmdSet = 1;
    loop.vCmd.back().cmdKind = 10;
    g_Stage.vItemPalette = {cEdItem(), loop};
    Exec(a, Cmd(25, {1, 1}));
    cFlowCmd again = Cmd(16, {0, 0});
    again.chain = 1;
    cFlow self = flowtest::MakeFlow(TRIG_STAGE_START, {again});
    SetupFlows(a, {self}, 0, -1);
    a.m_vFlowRun[0].Start(a);
    EXPECT_EQ(sc.s.m_nCmdNesting, 0);
    const std::string r = sc.play.Report();
    EXPECT_NE(r.find("CmdGetItem : commands nested deeper than 32"), std::string::npos) << r;
    EXPECT_NE(r.find("CmdFlowOp : commands nested deeper than 32"), std::string::npos) << r;
}

// A game wait of one tenth (six frames) run by the hero's flow, at every speed unit (levels 1-9
// with 6 u frames a second, 11-19 with 60): the nested loop shows six frames while the play
// stands still, and the play goes on in the same frame.
TEST(CharaCmds, GameWaitHoldsForItsFramesAtEverySpeedUnit) {
    std::string trace;
    for (i32 level : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 15, 19}) {
        cStage st = playtest::MakeStage(20, 15);
        cFlow f = flowtest::MakeFlow(TRIG_ALWAYS, {flowtest::AddCmd(0, true), Cmd(18, {1})});
        f.conds.push_back(flowtest::Cond(3, 5, 1)); // character variable 0 below 1
        st.vChara[0].vFlow.push_back(f);
        st.SetSpeed(level);
        flowtest::HeroPlay h({}, st);
        cGameScene& s = h.s;
        // The loop's last frame ends it without being shown; the play stands still throughout.
        int held = -1;
        std::string at;
        s.m_fnNestedInput = [&](cInput&, i32) {
            ++held;
            const std::string now = std::to_string(s.m_nFrameCounter) + "/" + std::to_string(s.m_nStepCount);
            if (at.empty() || at == now) at = now;
            else at = "moved";
        };
        h.play.Steps(2);
        trace += "level " + std::to_string(level) + " u " + std::to_string(static_cast<int>(SpeedUnit())) + ": held " +
                 std::to_string(held) + " at frame/step " + at + ", then " + std::to_string(s.m_nStepCount) + " steps\n";
    }
    EXPECT_EQ(trace, R"(level 1 u 1: held 6 at frame/step 1/1, then 2 steps
level 2 u 2: held 6 at frame/step 1/1, then 4 steps
level 3 u 3: held 6 at frame/step 1/1, then 6 steps
level 4 u 4: held 6 at frame/step 1/1, then 8 steps
level 5 u 5: held 6 at frame/step 1/1, then 10 steps
level 6 u 6: held 6 at frame/step 1/1, then 12 steps
level 7 u 7: held 6 at frame/step 1/1, then 14 steps
level 8 u 8: held 6 at frame/step 1/1, then 16 steps
level 9 u 9: held 6 at frame/step 1/1, then 18 steps
level 10 u 10: held 6 at frame/step 1/1, then 20 steps
level 11 u 1: held 6 at frame/step 1/1, then 2 steps
level 15 u 5: held 6 at frame/step 1/1, then 10 steps
level 19 u 9: held 6 at frame/step 1/1, then 18 steps
)") << trace;
}
