// The parameter table, the arrange command's overrides and the loop expansion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flow/CmdParams.h"
#include "tests/support/ScratchGame.h"

namespace {

cFlowCmd Cmd(int kind, int set = 0) {
    cFlowCmd c;
    c.cmdSet = static_cast<u8>(set);
    c.cmdKind = static_cast<u8>(kind);
    FixCmdParams(c);
    return c;
}

cFlowCmd ShotCmd(int formation = 0, int moveType = 0) {
    cFlowCmd c = Cmd(11);
    NewEdShot(c.shot);
    c.shot->byFormation = static_cast<u8>(formation);
    c.shot->byMoveType = static_cast<u8>(moveType);
    c.shot->cShotNum = 3;
    return c;
}

CMDOVERRIDE Ov(i32 kind, i32 index, i32 op, i32 source, i32 var) { return CMDOVERRIDE{{kind, index, op, source, var}}; }

struct Vars {
    std::vector<i32> common = std::vector<i32>(1001), stage = std::vector<i32>(1000), chara = std::vector<i32>(9);
    CMDVALUESOURCES Sources(int dedicated = 0) const { return {common, stage, chara, dedicated}; }
};

} // namespace

TEST(CmdParams, TableRowsMatchTheKinds) {
    InitCmdParams();
    const auto& p = CmdParams();
    ASSERT_EQ(p.size(), 40u);
    const std::size_t sizes[40] = {0, 0, 6, 0, 0, 6, 6, 0, 0, 0, 0, 29, 4, 6, 8, 7, 0, 5, 0, 5,
                                   6, 3, 2, 0, 1, 0, 2, 0, 0, 5, 0, 0, 6, 4, 1, 0, 0, 0, 0, 0};
    for (int k = 0; k < 40; ++k) EXPECT_EQ(p[static_cast<std::size_t>(k)].size(), sizes[k]) << k;
    EXPECT_EQ(p[11][27].name, "威力");
    EXPECT_EQ(p[11][27].min, -999999);
    EXPECT_EQ(p[33][3].name, "%");
    EXPECT_EQ(p[33][3].max, 100);
}

// Each case: a command, overrides applied in order, and the parameter read back.
TEST(CmdParams, OverridesApplyInOrderAndStayInRange) {
    Vars v;
    v.common[1] = 10;
    v.common[2] = 5;
    v.common[3] = 100000;
    v.common[4] = -7;
    v.common[5] = 50;
    v.common[6] = 0;
    v.common[7] = 2;
    v.stage[0] = 99;
    v.chara[0] = 4;
    auto shotValue = [](const cFlowCmd& c, int i) {
        i32 x = 0;
        EXPECT_TRUE(CmdParamGet(c, i, x));
        return x;
    };

    // Set 10, then add 5, on the shot count.
    cFlowCmd c = ShotCmd();
    ApplyCmdOverrideList(c, {Ov(11, 5, 0, 0, 1), Ov(11, 5, 1, 0, 2)}, v.Sources());
    EXPECT_EQ(c.shot->cShotNum, 15);
    // Multiply past 32 bits clamps to the maximum; percent rounds half away from zero.
    ApplyCmdOverrideList(c, {Ov(11, 27, 0, 0, 3), Ov(11, 27, 3, 0, 3)}, v.Sources());
    EXPECT_EQ(shotValue(c, 27), 999999);
    ApplyCmdOverrideList(c, {Ov(11, 27, 0, 0, 4), Ov(11, 27, 6, 0, 5)}, v.Sources());
    EXPECT_EQ(shotValue(c, 27), -4);
    // A product past 32 bits whose wrapped value keeps the operands' sign (65536 x 65537 wraps
    // to 65536, inside the range) would pass a sign test unnoticed: the product is taken whole,
    // so it clamps to the maximum; the same for a percentage of such a product (655, wrapped).
    v.common[8] = 65536;
    v.common[9] = 65537;
    ApplyCmdOverrideList(c, {Ov(11, 27, 0, 0, 8), Ov(11, 27, 3, 0, 9)}, v.Sources());
    EXPECT_EQ(shotValue(c, 27), 999999);
    ApplyCmdOverrideList(c, {Ov(11, 27, 0, 0, 8), Ov(11, 27, 6, 0, 9)}, v.Sources());
    EXPECT_EQ(shotValue(c, 27), 999999);
    ApplyCmdOverrideList(c, {Ov(11, 27, 0, 0, 4), Ov(11, 27, 6, 0, 5)}, v.Sources());
    EXPECT_EQ(shotValue(c, 27), -4);
    // Division and remainder by zero leave the value; subtract, divide, remainder otherwise.
    ApplyCmdOverrideList(c, {Ov(11, 27, 4, 0, 6), Ov(11, 27, 5, 0, 6)}, v.Sources());
    EXPECT_EQ(shotValue(c, 27), -4);
    ApplyCmdOverrideList(c, {Ov(11, 27, 2, 0, 1), Ov(11, 27, 4, 0, 7)}, v.Sources());
    EXPECT_EQ(shotValue(c, 27), -7);
    ApplyCmdOverrideList(c, {Ov(11, 27, 5, 0, 7)}, v.Sources());
    EXPECT_EQ(shotValue(c, 27), -1);
    // An unknown operation stores the value unchanged; the character's variable 0 is a source.
    ApplyCmdOverrideList(c, {Ov(11, 27, 9, 0, 1), Ov(11, 1, 0, 2, 0)}, v.Sources());
    EXPECT_EQ(shotValue(c, 27), -1);
    EXPECT_EQ(c.shot->cZ, 4);

    // Overrides that change nothing: stage variable 0, common variable 0 or past the end, an
    // unknown source, a kind that does not match, a parameter index past the row, a kind
    // without parameters, a command without its record.
    const std::vector<CMDOVERRIDE> none = {Ov(11, 5, 0, 1, 0), Ov(11, 5, 0, 0, 0), Ov(11, 5, 0, 0, 1001),
                                           Ov(11, 5, 0, 3, 1), Ov(12, 0, 0, 0, 1), Ov(11, 29, 0, 0, 1),
                                           Ov(11, -1, 0, 0, 1), Ov(11, 5, 0, 2, 9)};
    for (const CMDOVERRIDE& ov : none) EXPECT_FALSE(ApplyCmdOverride(c, ov, v.Sources())) << ov.v[1] << " " << ov.v[3];
    EXPECT_EQ(c.shot->cShotNum, 15);
    cFlowCmd circle = Cmd(4);
    EXPECT_FALSE(ApplyCmdOverride(circle, Ov(4, 0, 0, 0, 1), v.Sources()));
    cFlowCmd noRecord = Cmd(11);
    EXPECT_FALSE(ApplyCmdOverride(noRecord, Ov(11, 5, 0, 0, 1), v.Sources()));

    // Formation and movement-type parameters take the range of the command's type.
    cFlowCmd rows = ShotCmd(3, 8);
    ApplyCmdOverrideList(rows, {Ov(11, 3, 0, 0, 3), Ov(11, 4, 0, 0, 4), Ov(11, 17, 0, 0, 3)}, v.Sources());
    EXPECT_EQ(rows.shot->wFormation[1], 50);
    EXPECT_EQ(rows.shot->wFormation[2], 0);
    EXPECT_EQ(rows.shot->wMoveType[2], 359);
    rows.shot->byFormation = 6;
    rows.shot->byMoveType = 10;
    EXPECT_FALSE(ApplyCmdOverride(rows, Ov(11, 2, 0, 0, 1), v.Sources()));
    EXPECT_FALSE(ApplyCmdOverride(rows, Ov(11, 15, 0, 0, 1), v.Sources()));

    // Item-set commands use the row of kind + 15; item kinds 0 and 1 have none.
    cFlowCmd bg = Cmd(19, 1);
    EXPECT_TRUE(ApplyCmdOverride(bg, Ov(34, 0, 0, 0, 7), v.Sources()));
    EXPECT_EQ(bg.params[0], 2u);
    EXPECT_EQ(CmdParamKind(Cmd(1, 1)), -1);
    EXPECT_EQ(CmdParamKind(Cmd(24, 1)), 39);

    // A dedicated picture past the list falls back to picture 1.
    cFlowCmd g = Cmd(26);
    g.params[0] = 4;
    ApplyCmdOverrideList(g, {Ov(26, 0, 0, 0, 2)}, v.Sources(5));
    EXPECT_EQ(g.params[1], 1u);
    ApplyCmdOverrideList(g, {Ov(26, 0, 0, 0, 7)}, v.Sources(5));
    EXPECT_EQ(g.params[1], 2u);
    g.params[0] = 1;
    ApplyCmdOverrideList(g, {Ov(26, 0, 0, 0, 2)}, v.Sources(0));
    EXPECT_EQ(g.params[1], 5u);

    // An arrange command never takes the overrides.
    cFlowCmd arrange = Cmd(38);
    arrange.params = {11, 5, 0, 0, 1};
    const CMDOVERRIDE made = MakeCmdOverride(arrange);
    EXPECT_EQ(made.v[0], 11);
    ApplyCmdOverrideList(arrange, {Ov(38, 0, 0, 0, 1)}, v.Sources());
    EXPECT_EQ(arrange.params[0], 11u);

    // A moving command's fields are narrowed to their width after the clamp.
    cFlowCmd move = Cmd(6);
    NewEdMove(move.move);
    ApplyCmdOverrideList(move, {Ov(6, 0, 0, 0, 3), Ov(6, 3, 0, 0, 4)}, v.Sources());
    EXPECT_EQ(move.move->wHoming, 10);
    EXPECT_EQ(move.move->wTargetXDot, -7);
}

namespace {

// A command list as letters: loops are "L<count>,<body>", other commands their sound number.
cVector<cFlowCmd> List(const std::vector<std::vector<int>>& items) {
    cVector<cFlowCmd> v;
    for (const auto& it : items) {
        cFlowCmd c = Cmd(it.size() == 1 ? 1 : 39);
        if (it.size() == 1) c.sound = static_cast<u16>(it[0]);
        else c.params = {static_cast<u32>(it[0]), static_cast<u32>(it[1])};
        v.push_back(c);
    }
    return v;
}

std::string Show(const cVector<cFlowCmd>& v) {
    std::string s;
    for (const cFlowCmd& c : v) s += IsLoopCmd(c) ? std::string("L") : std::to_string(c.sound);
    return s;
}

} // namespace

TEST(CmdParams, LoopExpansion) {
    // Loop 3 around (1, loop 2 around 2): the inner command runs 6 times.
    cVector<cFlowCmd> v = List({{3, 3}, {1}, {2, 1}, {2}, {9}});
    ExpandLoopCmds(v);
    EXPECT_EQ(Show(v), "1221221229");
    // The body is cut at the end of the list; counts of 1, 0 and below copy nothing.
    v = List({{7}, {2, 5}, {1}, {2}});
    ExpandLoopCmds(v);
    EXPECT_EQ(Show(v), "71212");
    v = List({{1, 1}, {1}, {0, 1}, {2}, {-3, 1}, {3}, {4, -2}, {4}});
    ExpandLoopCmds(v);
    EXPECT_EQ(Show(v), "1234");
    // Copies are whole: the copy of a movement command owns its own record.
    cFlowCmd moving = Cmd(2);
    NewEdMove(moving.move);
    v = List({{2, 1}});
    v.push_back(moving);
    ExpandLoopCmds(v);
    ASSERT_EQ(v.Size(), 2);
    EXPECT_NE(v[0].move.get(), v[1].move.get());
    // Item-set loops (kind 24) expand too.
    v = List({{1}});
    cFlowCmd itemLoop = Cmd(24, 1);
    itemLoop.params = {3, 1};
    v.insert(v.begin(), itemLoop);
    ExpandLoopCmds(v);
    EXPECT_EQ(Show(v), "111");
}

TEST(CmdParams, NestedLoopsStopAtTheBound) {
    ScratchGame game;
    // 1000 x 1000 x 1000 copies would be a billion commands.
    cVector<cFlowCmd> v = List({{1000, 3}, {1000, 2}, {1000, 1}, {5}});
    // (At a bound of its own: the real one is a memory guard of a million commands.)
    constexpr i64 kBound = 10000;
    ExpandLoopCmds(v, kBound);
    EXPECT_LE(v.Size(), kBound);
    EXPECT_GT(v.Size(), kBound / 2);
    for (const cFlowCmd& c : v) EXPECT_FALSE(IsLoopCmd(c));
    EXPECT_FALSE(game.Report().empty());
}
