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

std::string TraceWalker(cGameScene& s, i16 cellX, int frames);

// A walker turning on the ground at 8 dots a frame on a ledge of row 10 whose last cell (12) is of
// the given kind, with a wall of the given kind at column 15 of row 9 for when the ledge goes on.
std::string Walk(KIND ledgeEnd, KIND wall, i32 var) {
    cStage st = playtest::MakeStage(30, 15);
    auto add = [&](i16 x, i16 y, KIND kind) {
        if (kind == KIND::None) return;
        cEdBlock b = playtest::MakeBlock(x, y);
        if (kind == KIND::OneWay) b.byOpenSide = 0;
        if (kind == KIND::CharaOnly) b.bySolid = 2;
        if (kind == KIND::Cond) playtest::ShowWhileVarZero(b);
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
    return TraceWalker(s, 10, 40);
}

// A walker turning on the ground at 8 dots a frame from a cell (facing right, open side 0), its
// position and facing after each of some frames.
std::string TraceWalker(cGameScene& s, i16 cellX, int frames) {
    SetUpPlayer(s, 2, 13);
    cStageChara& c = AddStageChara(s, cellX, 9, [&](cEdChara& d) {
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
    for (int f = 0; f < frames; ++f) {
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

// At the field's right end the walker's leading foot is past the map's last column: the ground
// turn reads the last column in its place (the map's width bounds the column, not its row pitch,
// whose columns past the width hold nothing). There a block summon has put the floor on into the
// margin: the walker goes on to the field's end rather than turning at an edge of its own making.
TEST(GroundTurnCells, FloorAtTheFieldsEndReadInTheMapsLastColumn) {
    auto walk = [](bool marginFloor) {
        cStage st = playtest::MakeStage(30, 15);
        for (i16 x = 26; x <= 29; ++x) st.vBlock.push_back(playtest::MakeBlock(x, 10));
        st.Prepare();
        playtest::PlayFixture play(st);
        EXPECT_TRUE(play.RunUntilPlay());
        cGameScene& s = play.Scene();
        // Map columns 40-49 are the right margin of a stage 30 cells wide; map row 20 is row 10.
        for (i32 col = 40; col <= 49 && marginFloor; ++col) {
            EXPECT_TRUE(s.m_vBlockMap.SetBlock(s.m_vBlockMap.Index(col, 20), playtest::MakeBlock(0, 0)));
        }
        return TraceWalker(s, 28, 48);
    };
    const std::string ledge = walk(false);
    const std::string toTheEnd = walk(true);
    EXPECT_NE(ledge, toTheEnd);
    EXPECT_EQ(toTheEnd,
              "1234.5R 1242.5R 1250.5R 1258.5R 1266.5R 1274.5R 1282.5R 1290.5R 1298.5R 1306.5R 1314.5R 1322.5R "
              "1330.5R 1338.5R 1346.5R 1354.5R 1362.5R 1370.5R 1378.5R 1386.5R 1394.5R 1402.5R 1410.5R 1418.5R "
              "1426.5R 1434.5R 1442.5R 1450.5R 1458.5R 1466.5R 1474.5R 1482.5R 1490.5R 1498.5R 1506.5R 1514.5R "
              "1522.5R 1530.5R 1538.5R 1546.5R 1554.5R 1562.5R 1570.5R 1578.5R 1586.5R step result 4 step result 4 "
              "step result 4 step result 4 1588R step result 4 step result 4 step result 4 step result 4 "
              "step result 4 1588R step result 4 step result 4 step result 4 step result 4 step result 4 1588R ");
}
