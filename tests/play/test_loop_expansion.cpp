// Loops of a stage's flows and items expanded once per list and shared, through the real frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/PlayRecordNames.h"
#include "records/CharaSettings.h"
#include "tests/play/PlayFixture.h"

namespace {

cFlowCmd Cmd(u8 kind, std::initializer_list<u32> params, u8 set = 0) { return playtest::MakeCmd(set, kind, params); }

// The list's bound these tests set, far below the real one so that a cut list stays small.
constexpr i64 kTestBound = 10000;

// A loop of 100,000 runs around one wait: past the tests' bound, cut to 10,000 commands.
cVector<cFlowCmd> HugeLoop(u8 set, u8 loopKind, u8 bodyKind) {
    cVector<cFlowCmd> cmds;
    cmds.push_back(Cmd(loopKind, {100000, 1}, set));
    cmds.push_back(Cmd(bodyKind, {}, set));
    return cmds;
}

// A status operation adding 1 to character variable var, run together with the next command.
cFlowCmd AddOne(u32 var) {
    cFlowCmd c = Cmd(22, {0, 0, var, 0, 0, 1, 0, 1});
    c.chain = 1;
    return c;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

} // namespace

TEST(LoopExpansion, CharactersAndItemsOfOneDefinitionShareOneListAndOneReportLine) {
    cStage st = playtest::MakeStage(40, 15);
    cEdChara enemy = st.vChara[0];
    enemy.byOperation = 1;
    cFlow f;
    f.trigger = 0;
    f.cmds = HugeLoop(0, 39, 22);
    enemy.vFlow.push_back(f);
    // Twelve characters and six items of one definition each.
    for (i16 i = 0; i < 12; ++i) {
        enemy.sPosX = static_cast<i16>(6 + i * 2);
        enemy.sPosY = 12;
        st.vChara.push_back(enemy);
    }
    cEdItem item;
    item.vCmd = HugeLoop(1, 24, 0);
    for (i16 i = 0; i < 6; ++i) {
        item.sPosX = static_cast<i16>(8 + i * 3);
        item.sPosY = 10;
        st.vItem.push_back(item);
    }
    playtest::PlayFixture play(st);
    play.Scene().m_LoopExpansions.SetListBound(kTestBound);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    play.Script("R*60 RJ*10 L*30");

    // Every character's run holds the one list, items the other; the loops are cut once each.
    const cCmdList* charaList = nullptr;
    int charas = 0;
    for (int i = 0; i < s.m_lstChara.Size(); ++i) {
        cStageChara* c = s.m_lstChara.Live(i);
        if (!c || c->m_vFlowRun.empty()) continue;
        const cFlowRun& run = c->m_vFlowRun[0];
        ASSERT_TRUE(run.m_pCmdList);
        EXPECT_EQ(run.m_pCmdList->Size(), kTestBound - 1);
        if (!charaList) charaList = run.m_pCmdList.get();
        EXPECT_EQ(run.m_pCmdList.get(), charaList);
        EXPECT_TRUE(c->m_vFlow[0].cmds.empty()); // the character keeps no copy of its own
        ++charas;
    }
    EXPECT_GE(charas, 2);
    int items = 0;
    const cCmdList* itemList = nullptr;
    for (int i = 0; i < s.m_lstItem.Size(); ++i) {
        cItem* it = s.m_lstItem.Live(i);
        if (!it || !it->m_pCmds) continue;
        if (!itemList) itemList = it->m_pCmds.get();
        EXPECT_EQ(it->m_pCmds.get(), itemList);
        ++items;
    }
    EXPECT_GE(items, 2);
    EXPECT_EQ(s.m_LoopExpansions.Lists(), 2u);
    EXPECT_LE(s.m_LoopExpansions.Held(), 2 * kTestBound);
    EXPECT_EQ(Count(play.Report(), "ループの展開で"), 2) << play.Report();

    // A restart of the stage keeps the lists and reports nothing again.
    s.SetStage(1, 0);
    play.Steps(20);
    EXPECT_EQ(s.m_LoopExpansions.Lists(), 2u);
    EXPECT_EQ(Count(play.Report(), "ループの展開で"), 2);
}

// Eight enemy types, each on the usual loop of 999 runs around a body of 11 commands (run in one
// frame): every type runs its body 999 times a pass, the sixth as the first; nothing is cut and
// nothing reported.
TEST(LoopExpansion, ManyEnemyTypesEachRunTheirLoopsInFull) {
    cStage st = playtest::MakeStage(40, 15);
    cEdChara enemy = st.vChara[0];
    enemy.byOperation = 1;
    enemy.sPosY = 6;
    CharaSettings::Set(enemy, eChara::FlyMode, 2);
    for (u32 type = 0; type < 8; ++type) {
        cFlow f;
        f.trigger = 0;
        f.cmds.push_back(Cmd(39, {999, 11}));
        for (int k = 0; k < 10; ++k) f.cmds.push_back(AddOne(0));
        f.cmds.push_back(AddOne(type + 1)); // its own type
        enemy.vFlow = {f};
        enemy.sPosX = static_cast<i16>(4 + type * 2);
        st.vChara.push_back(enemy);
    }
    st.Prepare();
    playtest::PlayFixture play(st);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    s.ForEachChara([](cStageChara& c) { std::fill(c.m_vVar.begin(), c.m_vVar.end(), 0); });
    play.Step();
    std::string trace;
    s.ForEachChara([&](cStageChara& c) {
        trace += "list " + std::to_string(c.m_vFlowRun[0].m_pCmdList->Size()) + " vars";
        for (i32 v : c.m_vVar) trace += " " + std::to_string(v);
        trace += "\n";
    });
    std::string want;
    for (int type = 0; type < 8; ++type) {
        want += "list 10989 vars 9990";
        for (int v = 1; v <= 8; ++v) want += v == type + 1 ? " 999" : " 0";
        want += "\n";
    }
    EXPECT_EQ(trace, want);
    EXPECT_EQ(s.m_LoopExpansions.Lists(), 8u);
    EXPECT_EQ(Count(play.Report(), "ループの展開で"), 0) << play.Report();
}

// A list without loops is shared as well: the enemies of one definition step one list, those of
// another definition theirs, and each still counts its own variables.
TEST(LoopExpansion, ListsWithoutLoopsAreSharedByDefinition) {
    cStage st = playtest::MakeStage(40, 15);
    cEdChara enemy = st.vChara[0];
    enemy.byOperation = 1;
    enemy.sPosY = 12;
    for (u32 type = 0; type < 2; ++type) {
        cFlow f;
        f.trigger = 0;
        f.cmds = {AddOne(type + 1), AddOne(3)};
        enemy.vFlow = {f};
        for (i16 i = 0; i < 5; ++i) {
            enemy.sPosX = static_cast<i16>(3 + type * 8 + i); // all in view, all awake
            st.vChara.push_back(enemy);
        }
    }
    st.Prepare();
    playtest::PlayFixture play(st);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    s.ForEachChara([](cStageChara& c) { std::fill(c.m_vVar.begin(), c.m_vVar.end(), 0); });
    play.Step();
    std::string trace;
    const cCmdList* lists[2] = {};
    s.ForEachChara([&](cStageChara& c) {
        if (c.m_vFlowRun.empty()) return;
        const cCmdList* list = c.m_vFlowRun[0].m_pCmdList.get();
        const int type = c.m_vVar[1] ? 0 : 1;
        if (!lists[type]) lists[type] = list;
        trace += std::string(list == lists[type] ? "shared" : "own") + " " + std::to_string(c.m_vVar[1]) + " " +
                 std::to_string(c.m_vVar[2]) + " " + std::to_string(c.m_vVar[3]) + "\n";
    });
    EXPECT_NE(lists[0], lists[1]);
    EXPECT_EQ(s.m_LoopExpansions.Lists(), 0u); // only the expanded lists are counted there
    // Every enemy ran its two commands as often as the others in the frame.
    i32 runs = 0;
    s.ForEachChara([&](cStageChara& c) { runs = std::max(runs, c.m_vVar[3]); });
    ASSERT_GT(runs, 0);
    const std::string n = std::to_string(runs);
    std::string want;
    for (int type = 0; type < 2; ++type)
        for (int i = 0; i < 5; ++i) want += "shared " + (type == 0 ? n + " 0 " : "0 " + n + " ") + n + "\n";
    EXPECT_EQ(trace, want);
}

namespace {

// A flying enemy of the stage's hero's definition, in view.
cEdChara Flier(const cStage& st, i16 x) {
    cEdChara enemy = st.vChara[0];
    enemy.byOperation = 1;
    enemy.sPosX = x;
    enemy.sPosY = 6;
    CharaSettings::Set(enemy, eChara::FlyMode, 2);
    return enemy;
}

// Enemy types, each on a loop of the given runs around eleven commands (all run in one frame),
// every run adding the type's number and ten to variable 1.
cStage LoopingTypes(u32 types, u32 runs) {
    cStage st = playtest::MakeStage(40, 15);
    for (u32 type = 1; type <= types; ++type) {
        cFlow f;
        f.trigger = 0;
        f.cmds.push_back(Cmd(39, {runs, 11}));
        for (int k = 0; k < 11; ++k) f.cmds.push_back(AddOne(1));
        f.cmds[1].params[7] = type;
        cEdChara enemy = Flier(st, static_cast<i16>(3 + type));
        enemy.vFlow = {f};
        st.vChara.push_back(enemy);
    }
    st.Prepare();
    return st;
}

// One frame of the types' loops: each type's list length and the runs it ran, then the report's
// lines of cut lists.
std::string RunsByType(playtest::PlayFixture& play) {
    cGameScene& s = play.Scene();
    s.ForEachChara([](cStageChara& c) { std::fill(c.m_vVar.begin(), c.m_vVar.end(), 0); });
    play.Step();
    std::string trace;
    s.ForEachChara([&](cStageChara& c) {
        if (c.m_vFlowRun.empty()) return;
        const cFlowRun& run = c.m_vFlowRun[0];
        const i32 type = static_cast<i32>(run.m_vCmdRun[0].m_pCmd->params[7]);
        trace += "type " + std::to_string(type) + ": list " + std::to_string(run.m_pCmdList->Size()) + ", " +
                 std::to_string(c.m_vVar[1] / (type + 10)) + " runs\n";
    });
    const std::string report = play.Report();
    for (std::size_t at = report.find("ループの展開で"); at != std::string::npos; at = report.find("ループの展開で", at + 1))
        trace += report.substr(at, report.find_first_of("\r\n", at) - at) + "\n";
    return trace;
}

// A status operation adding a random number between a and b to variable var of its runner.
cFlowCmd AddRandom(u32 var, u8 set, u8 kind, u32 a, u32 b) {
    cFlowCmd c = AddOne(var);
    c.cmdSet = set;
    c.cmdKind = kind;
    c.params[6] = 1; // the value is a random number
    c.params[8] = a;
    c.params[9] = b;
    return c;
}

// The character's or item's list: two arranges (the random bounds of the next status operation,
// from common variable 3), then a loop of 999 runs around a status operation adding 1 to
// variable 1.
cVector<cFlowCmd> ArrangedLoop(u8 set) {
    const u8 arrangeKind = set ? 23 : 38, loopKind = set ? 24 : 39, opKind = set ? 7 : 22;
    cVector<cFlowCmd> cmds;
    for (u32 bound = 0; bound < 2; ++bound) cmds.push_back(Cmd(arrangeKind, {22, bound, 0, 0, 3}, set));
    cmds.push_back(Cmd(loopKind, {999, 1}, set));
    cmds.push_back(AddRandom(1, set, opKind, 1, 1));
    for (cFlowCmd& c : cmds) c.chain = 1;
    return cmds;
}

} // namespace

// The runs of a loop name one command; the arranges before the loop change the first run's
// command alone, for each character and each item of one definition: every pass adds 100 once
// and 1 in the 998 other runs.
TEST(LoopExpansion, RunsOfALoopShareTheirCommandAndAnOverrideChangesOneRun) {
    cStage st = playtest::MakeStage(40, 15);
    cFlow f;
    f.trigger = 0;
    f.cmds = ArrangedLoop(0);
    for (i16 x : {8, 10}) {
        st.vChara.push_back(Flier(st, x));
        st.vChara.back().vFlow = {f};
    }
    cEdItem item;
    item.wPicture = 1;
    item.vCmd = ArrangedLoop(1);
    for (i16 x : {4, 6}) {
        item.sPosX = x;
        item.sPosY = 13;
        st.vItem.push_back(item);
    }
    st.Prepare();
    playtest::PlayFixture play(st);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    g_CommonVars[3] = 100;
    s.ForEachChara([](cStageChara& c) { std::fill(c.m_vVar.begin(), c.m_vVar.end(), 0); });
    play.Step();
    std::string trace;
    s.ForEachChara([&](cStageChara& c) {
        if (c.m_vFlowRun.empty()) return;
        const cFlowRun& run = c.m_vFlowRun[0];
        trace += "enemy: var " + std::to_string(c.m_vVar[1]) + ", list " + std::to_string(run.m_pCmdList->Size()) +
                 " entries of " + std::to_string(run.m_pCmdList->Commands()) + " commands, first run " +
                 (run.m_vCmdRun[2].m_pOwnCmd ? "own" : "shared") + ", later runs " +
                 (run.m_vCmdRun[3].m_pCmd == run.m_vCmdRun[1000].m_pCmd ? "one command" : "copies") + "\n";
    });
    // The hero steps onto one item, then onto the other.
    cPlayer& hero = *s.Player0();
    hero.m_vVar[1] = 0;
    std::vector<double> at;
    for (int i = 0; i < s.m_lstItem.Size(); ++i)
        if (cItem* it = s.m_lstItem.Live(i)) at.push_back(it->m_dX);
    for (double x : at) {
        hero.m_dX = x;
        hero.UpdateEdgesX();
        play.Steps(2);
    }
    int taken = static_cast<int>(at.size());
    for (int i = 0; i < s.m_lstItem.Size(); ++i)
        if (cItem* it = s.m_lstItem.Live(i); it && !it->m_bTaken) --taken;
    trace += "hero: " + std::to_string(taken) + " items taken, var " + std::to_string(hero.m_vVar[1]) + "\n";
    EXPECT_EQ(trace, "enemy: var 1098, list 1001 entries of 4 commands, first run own, later runs one command\n"
                     "enemy: var 1098, list 1001 entries of 4 commands, first run own, later runs one command\n"
                     "hero: 2 items taken, var 2196\n");
    EXPECT_EQ(Count(play.Report(), "ループの展開で"), 0) << play.Report();
}

// Eight enemy types on loops ten times the usual (9,990 runs around eleven commands) expand in
// full within the stage's bound, and every run runs.
TEST(LoopExpansion, LoopsTenTimesTheUsualRunInFullWithinTheStagesBound) {
    playtest::PlayFixture play(LoopingTypes(8, 9990));
    ASSERT_TRUE(play.RunUntilPlay());
    std::string want;
    for (int type = 1; type <= 8; ++type) want += "type " + std::to_string(type) + ": list 109890, 9990 runs\n";
    EXPECT_EQ(RunsByType(play), want);
    EXPECT_LE(play.Scene().m_LoopExpansions.HeldBytes(), cLoopExpansions::kStageBytes);
}

// Past the stage's bound the lists are cut, each with its line, and together stay within it:
// twelve enemy types each on a loop of 999 runs around eleven commands, under a bound (set low
// here) that holds some four and a half such lists with their characters' run states.
TEST(LoopExpansion, ManyLoopingTypesAreCutAtTheStagesBound) {
    constexpr i64 kBound = 10 << 20;
    playtest::PlayFixture play(LoopingTypes(12, 999));
    play.Scene().m_LoopExpansions.SetStageBound(kBound);
    ASSERT_TRUE(play.RunUntilPlay());
    std::string want;
    for (int type = 1; type <= 12; ++type)
        want += "type " + std::to_string(type) + (type <= 4 ? ": list 10989, 999 runs\n" : type == 5 ? ": list 5456, 496 runs\n"
                                                                                                    : ": list 11, 1 runs\n");
    want += "ループの展開で命令が合わせて 10 MB を超えるため、繰り返しを 496 回に減らしました。\n";
    for (int type = 6; type <= 12; ++type) want += "ループの展開で命令が合わせて 10 MB を超えるため、繰り返しを 1 回に減らしました。\n";
    EXPECT_EQ(RunsByType(play), want);
    // Past the bound a list still holds its commands as given (its body once): some 4 KB each.
    EXPECT_LE(play.Scene().m_LoopExpansions.HeldBytes(), kBound + 8 * 4096);
}
