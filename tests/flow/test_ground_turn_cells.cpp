// The cells the ground turn reads (the wall ahead, the feet at the edge) by the block rule: a
// conditional block is a block while its condition holds and nothing while it does not; a
// one-way block whose open side is the walker's is nothing; a stage character's block (solid 2)
// is a block. Each walk is traced frame by frame and must be the walk of the plain case it
// stands for, and the plain cases differ from each other.
#include <gtest/gtest.h>

#include "play/rules/Motion.h"
#include "records/EdSettings.h"
#include "tests/flow/FlowTrace.h"
#include "tests/play/RulesTestUtil.h"

using namespace rulestest;

namespace {

// A block's kind in a walk: none, plain, shown only while stage variable 0 is 0, one-way (open
// to side 0, the walker's), solid for stage characters only.
enum class KIND { None, Plain, Cond, OneWay, CharaOnly };

// A walker turning on the ground at 8 dots a frame on a ledge of row 10 whose last cell (12) is of
// the given kind, with a wall of the given kind at column 15 of row 9 for when the ledge goes on.
std::string Walk(KIND ledgeEnd, KIND wall, i32 var) {
    cStage st = playtest::MakeStage(30, 15);
    auto add = [&](i16 x, i16 y, KIND kind) {
        if (kind == KIND::None) return;
        cEdBlock b = playtest::MakeBlock(x, y);
        if (kind == KIND::OneWay) b.byOpenSide = 0;
        if (kind == KIND::CharaOnly) b.bySolid = 2;
        if (kind == KIND::Cond) {
            cCond c;
            c.kind = 2; // a stage variable
            c.index = 0;
            c.value = 0;
            b.EditConds().push_back(c);
        }
        st.vBlock.push_back(b);
    };
    for (i16 x = 8; x <= 11; ++x) add(x, 10, KIND::Plain);
    add(12, 10, ledgeEnd);
    for (i16 x = 13; x <= 16; ++x) add(x, 10, KIND::Plain);
    add(15, 9, wall);
    st.Prepare();
    playtest::PlayFixture play(st);
    EXPECT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    s.m_vStageVar[0] = var;
    SetUpPlayer(s, 2, 13);
    cStageChara& c = AddStageChara(s, 10, 9, [&](cEdChara& d) {
        cFlowCmd cmd;
        cmd.Clear();
        cmd.cmdKind = 3; // the ground turn
        cmd.time = 10;
        NewEdMove(cmd.move);
        MoveSettings::Set(*cmd.move, eMove::Speed, 80);
        d.vFlow.push_back(flowtest::MakeFlow(TRIG_ALWAYS, {cmd}));
    });
    c.m_nDir = 1;
    c.m_nBlockSide = 0;
    std::string out;
    const i32 u = static_cast<i32>(SpeedUnit());
    for (int f = 0; f < 40; ++f) {
        ResetFlowMarks(c);
        for (i32 i = 1; i <= u; ++i) {
            s.m_nStepIndex = i;
            RunFlowsOf(c, TRIG_ALWAYS);
            if (const i32 r = CharaStep(s, c)) out += "step result " + std::to_string(r) + " ";
        }
        out += Num(c.m_dX) + (c.m_nDir > 0 ? "R " : "L ");
    }
    return out;
}

} // namespace

TEST(GroundTurnCells, ConditionalOneWayAndCharaOnlyBlocksAsTheRuleReadsThem) {
    const std::string shortLedge = Walk(KIND::None, KIND::None, 0);
    const std::string longLedge = Walk(KIND::Plain, KIND::None, 0);
    const std::string walled = Walk(KIND::Plain, KIND::Plain, 0);
    // The plain walks differ: an edge at 12 turns sooner than one at 16, a wall sooner still.
    EXPECT_NE(shortLedge, longLedge);
    EXPECT_NE(longLedge, walled);
    // The ledge's last cell.
    EXPECT_EQ(Walk(KIND::Cond, KIND::None, 0), longLedge);
    EXPECT_EQ(Walk(KIND::Cond, KIND::None, 5), shortLedge);
    EXPECT_EQ(Walk(KIND::OneWay, KIND::None, 0), shortLedge);
    EXPECT_EQ(Walk(KIND::CharaOnly, KIND::None, 0), longLedge);
    // The wall.
    EXPECT_EQ(Walk(KIND::Plain, KIND::Cond, 0), walled);
    EXPECT_EQ(Walk(KIND::Plain, KIND::Cond, 5), longLedge);
    EXPECT_EQ(Walk(KIND::Plain, KIND::OneWay, 0), longLedge);
    EXPECT_EQ(Walk(KIND::Plain, KIND::CharaOnly, 0), walled);
}
