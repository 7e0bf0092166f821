// The status operation on variables, character statuses and system values; HP changes; the
// item command set's runner and its flow change.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "app/PlayRecordNames.h"
#include "flow/commands/Commands.h"
#include "records/CharaSettings.h"
#include "records/StageSettings.h"
#include "tests/flow/FlowTrace.h"

using namespace flowtest;

namespace {

// A status operation: what (0 status, 1 variable), subject, selector, operator, constant.
cFlowCmd StatusOp(u32 what, u32 subject, u32 selector, u32 op, i32 value) {
    cFlowCmd c = AddCmd(0);
    c.params[0] = what;
    c.params[3] = subject;
    c.params[4] = selector;
    c.params[5] = op;
    c.params[7] = static_cast<u32>(value);
    return c;
}

cFlowCmd With(cFlowCmd c, std::initializer_list<std::pair<int, i32>> set) {
    for (auto [i, v] : set) c.params[i] = static_cast<u32>(v);
    return c;
}

} // namespace

TEST(StatusOps, EveryTargetOfTheOperation) {
    FlowFixture fx;
    cGameScene& s = fx.Scene();
    cStageChara& self = fx.AddChara({});
    cStageChara& target = fx.AddChara({});
    SetTargetSlot(self, 0, &target, 1);
    struct Row {
        const char* what;
        cFlowCmd cmd;
        std::function<i64()> read;
        i64 expected;
    };
    const Row rows[] = {
        {"common *= 3", With(StatusOp(1, 0, 0, 3, 3), {{2, 5}}), [] { return g_CommonVars[5]; }, 21},
        {"common += 50% of itself", With(StatusOp(1, 0, 0, 1, 50), {{2, 5}, {14, 1}}), [] { return g_CommonVars[5]; }, 11},
        {"stage var /= 0 keeps it", With(StatusOp(1, 0, 0, 4, 0), {{1, 1}, {2, 3}}), [&] { return static_cast<i32>(s.m_vStageVar[3]); }, -4},
        {"HP -= 3", StatusOp(0, 0, 1, 2, 3), [&] { return self.m_nHP; }, 3},
        {"HP = 50% of maximum", With(StatusOp(0, 0, 1, 0, 50), {{15, 1}}), [&] { return self.m_nHP; }, 5},
        {"HP = 35% of current, rounded", With(StatusOp(0, 0, 1, 0, 35), {{15, 2}}), [&] { return self.m_nHP; }, 2},
        {"own HP = 0: no death check", StatusOp(0, 0, 1, 0, 0), [&] { return s.m_bDeathCheck; }, 0},
        {"target HP = 0: death check", StatusOp(0, 1, 1, 0, 0), [&] { return s.m_bDeathCheck * 100 + target.m_nHP; }, 100},
        {"max HP = 4 lowers HP", StatusOp(0, 0, 3, 0, 4), [&] { return self.m_nHP; }, 4},
        {"impact += 100 clamps at 20", StatusOp(0, 0, 10, 1, 100), [&] { return CharaSettings::Get(self.m_Def, eChara::BodyImpact); }, 20},
        {"defence 20000 *= 100000 never wraps", StatusOp(0, 0, 11, 3, 100000), [&] {
             return CharaSettings::Get(self.m_Def, eChara::Defence);
         }, 999999},
        {"ID = 150 clamps at 99", StatusOp(0, 0, 5, 0, 150), [&] { return self.m_nCharaId; }, 99},
        {"Z = 9 clamps at 7", StatusOp(0, 0, 6, 0, 9), [&] { return self.m_nLayer; }, 7},
        {"stopping ease 50: braking 0.5 / divisor", StatusOp(0, 0, 13, 0, 50), [&] {
             return std::llround(self.m_dDecel * StageSettings::Get(g_Stage, eStageD::BrakingDivisor) * 1000);
         }, 500},
        {"sight of a stage character: nothing", StatusOp(0, 0, 8, 0, 5), [&] { return self.m_nSight; }, 0},
        {"invincible target, spare flag: nothing", With(StatusOp(0, 1, 1, 0, 1), {{17, 1}}), [&] { return target.m_nHP; }, 8},
        {"empty target 2: nothing", StatusOp(0, 2, 1, 0, 1), [&] { return self.m_nHP; }, 6},
        {"var 0 = HP of target 1", With(StatusOp(0, 0, 0, 0, 0), {{6, 2}, {12, 1}, {13, 1}}), [&] { return self.m_vVar[0]; }, 8},
        {"var 0 = random 3..3", With(StatusOp(0, 0, 0, 0, 0), {{6, 1}, {8, 3}, {9, 3}}), [&] { return self.m_vVar[0]; }, 3},
        {"var 0 from the sight of a stage character: nothing", With(StatusOp(0, 0, 0, 0, 9), {{6, 2}, {13, 8}}), [&] {
             return self.m_vVar[0];
         }, 0},
        {"score += 100", StatusOp(0, 5, 3, 1, 100), [] { return static_cast<i64>(g_nScore); }, 100},
        {"unlimited lives stay", StatusOp(0, 5, 4, 2, 1), [] { return static_cast<i64>(g_nLives); }, 999999},
        {"time = 1234 clamps at 999", StatusOp(0, 5, 0, 0, 1234), [&] { return s.m_nTimeLeft; }, 999},
    };
    for (const Row& r : rows) {
        g_CommonVars[5] = 7;
        s.m_vStageVar[3] = static_cast<u32>(-4);
        g_nScore = 0;
        g_nLives = 999999;
        s.m_bDeathCheck = 0;
        self.m_Def = cEdChara();
        self.m_Def.dwMaxHP = 10;
        CharaSettings::Set(self.m_Def, eChara::Defence, 20000);
        self.m_nHP = 6;
        self.m_vVar[0] = 0;
        target.m_nHP = 8;
        target.m_nInvincible = 5;
        cFlowCmd cmd = r.cmd;
        CmdStatusOp(self, cmd);
        EXPECT_EQ(r.read(), r.expected) << r.what;
    }
}

TEST(StatusOps, HpAndSpChanges) {
    FlowFixture fx;
    cStageChara& c = fx.AddChara({});
    c.m_nInvincible = 3;
    EXPECT_EQ(AddHp(c, -4, 0, 0), 0);
    EXPECT_EQ(c.m_nHP, 10); // invincible: refused
    EXPECT_EQ(AddHp(c, -4, 1, 1), 0);
    EXPECT_EQ(c.m_nHP, 6);
    EXPECT_EQ(c.m_HpGauge.nFrames, 120);
    EXPECT_EQ(c.m_HpGauge.nLevel, 30);
    EXPECT_DOUBLE_EQ(c.m_HpGauge.dDelta, -20);
    EXPECT_EQ(AddHp(c, 100, 0, 0), 0);
    EXPECT_EQ(c.m_nHP, 10); // a gain never passes the maximum
    EXPECT_EQ(AddHp(c, -10, 1, 1), 1);
    EXPECT_EQ(c.m_nHP, 0);
    EXPECT_EQ(AddSp(c, 5, 0), 1); // no SP to have
    c.m_Def.dwMaxSP = 4;
    EXPECT_EQ(AddSp(c, 5, 0), 0);
    EXPECT_EQ(c.m_nSP, 4);
}

TEST(ItemCmdSet, RunsAListForTheHero) {
    FlowFixture fx;
    cGameScene& s = fx.Scene();
    cPlayer& hero = *s.Player0();
    hero.m_Def.dwMaxHP = 10;
    hero.m_nHP = 10;
    auto item = [](cFlowCmd c) {
        c.cmdSet = 1;
        c.cmdKind = 7; // the item set's status operation
        return c;
    };
    cFlowCmd unknown;
    unknown.cmdSet = 1;
    unknown.cmdKind = 200;
    // An unknown kind does nothing; the list stops with 2 once HP is gone.
    cVector<cFlowCmd> cmds;
    cmds.push_back(unknown);
    cmds.push_back(item(StatusOp(0, 0, 0, 1, 1)));
    cmds.push_back(item(StatusOp(0, 0, 1, 2, 100)));
    cmds.push_back(item(StatusOp(0, 0, 0, 1, 1)));
    EXPECT_EQ(ExecItemCmds(hero, cmds), 2u);
    EXPECT_EQ(hero.m_vVar[0], 1);
    EXPECT_EQ(hero.m_nHP, 0);

    // Taking an item: nothing for graphic 0, an item that cannot be taken or one not present.
    hero.m_nHP = 10;
    cItem it;
    it.m_Def.vCmd.push_back(item(StatusOp(0, 0, 0, 1, 1)));
    it.m_bPresent = 1;
    EXPECT_EQ(ApplyItem(s, &it, hero), 0u);
    EXPECT_EQ(hero.m_vVar[0], 1);
    it.m_nMark = 3;
    it.m_Def.byPickup = 2;
    EXPECT_EQ(ApplyItem(s, &it, hero), 0u);
    it.m_Def.byPickup = 1;
    EXPECT_EQ(ApplyItem(s, &it, hero), 0u);
    EXPECT_EQ(hero.m_vVar[0], 2);
    EXPECT_EQ(ApplyItem(s, nullptr, hero), 0u);
}

TEST(ItemCmdSet, FlowChangesOfTheHero) {
    FlowFixture fx;
    cGameScene& s = fx.Scene();
    cPlayer& hero = *s.Player0();
    cVector<cFlow> own;
    own.push_back(MakeFlow(TRIG_NONE, {AddCmd(0)}, 0, 4));
    own.push_back(MakeFlow(TRIG_NONE, {AddCmd(1)}, 0, 5));
    own.push_back(MakeFlow(TRIG_NONE, {AddCmd(2)}, 0, 4));
    SetupFlows(hero, own, 0, -1);
    auto change = [](u32 op, u32 id, u8 newId) {
        cFlowCmd c;
        c.cmdSet = 1;
        c.cmdKind = 1;
        c.params = {op, id};
        c.flows.push_back(MakeFlow(TRIG_NONE, {AddCmd(3)}, 0, newId));
        return c;
    };
    auto ids = [&] {
        std::string s;
        for (const cFlow& f : hero.m_vFlow) s += std::to_string(f.subKind);
        return s;
    };
    // While the hero's own flows are being scanned or stepped, the change waits for the pass.
    s.SetFlowObj(&hero);
    cFlowCmd add = change(0, 0, 7);
    EXPECT_EQ(ItemChangeFlow(hero, add), 0);
    EXPECT_EQ(ids(), "454");
    StepFlows(hero, 0);
    EXPECT_EQ(ids(), "4547");
    auto apply = [&](u32 op, u32 id, u8 newId) {
        cFlowCmd c = change(op, id, newId);
        ItemChangeFlow(hero, c);
        return ids();
    };
    // Change: the flows of ID 4 go, the new ones stand where the first was; with no flow of the
    // ID they are added at the end.
    EXPECT_EQ(apply(1, 4, 8), "857");
    EXPECT_EQ(apply(1, 6, 9), "8579");
    EXPECT_EQ(apply(2, 5, 0), "879");
    // ID 0: change replaces every flow, delete removes them all.
    EXPECT_EQ(apply(1, 0, 3), "3");
    EXPECT_EQ(apply(2, 0, 0), "");
    // Run numbers stay unique through it all.
    InsertFlows(hero, own, -1);
    EXPECT_NE(hero.m_vFlowRun[0].m_nRunNo, hero.m_vFlowRun[1].m_nRunNo);
    EXPECT_NE(hero.m_vFlowRun[1].m_nRunNo, hero.m_vFlowRun[2].m_nRunNo);
}

TEST(ItemCmdSet, ArrangedParametersReachTheNextCommand) {
    FlowFixture fx;
    g_CommonVars[3] = 5;
    // For a status operation, its random minimum (0) or maximum (1): set from common variable 3.
    auto arrange = [](i64 param) { return Cmd(38, {22, param, 0, 0, 3}); };
    // Variable 0 = a random number between the two arranged bounds: 5.
    cFlowCmd random = With(StatusOp(0, 0, 0, 0, 0), {{6, 1}, {8, 1}, {9, 99}});
    cStageChara& a = fx.AddChara({MakeFlow(TRIG_ALWAYS, {arrange(0), arrange(1), random})}, 0);
    a.m_vFlowRun[0].m_vCmdRun[0].m_pCmd->chain = 1;
    a.m_vFlowRun[0].m_vCmdRun[1].m_pCmd->chain = 1;
    fx.Frame();
    EXPECT_EQ(a.m_vVar[0], 5);
    EXPECT_TRUE(a.m_vFlowRun[0].m_lstOverride.empty());
}
