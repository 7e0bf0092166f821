// The block map: its layout and what a read outside it gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "play/objects/BlockMap.h"
#include "play/rules/Collision.h"
#include "play/rules/Damage.h"
#include "play/shots/ShotCommands.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/FlowCmd.h"
#include "tests/play/PlayFixture.h"
#include "tools/DemoFlows.h"

TEST(BlockMap, LayoutOfCellsAndMargins) {
    struct Case {
        u32 w, h;
        i32 pitch, shift;
    } cases[] = {{0, 0, 32, 5}, {12, 15, 32, 5}, {13, 15, 64, 6}, {44, 1, 64, 6}, {45, 1, 128, 7}, {300, 20, 512, 9}};
    for (const Case& c : cases) {
        cBlockMap m;
        ASSERT_TRUE(m.Build(c.w, c.h));
        EXPECT_EQ(m.Pitch(), c.pitch) << c.w;
        EXPECT_EQ(m.Shift(), c.shift) << c.w;
        EXPECT_EQ(m.Rows(), static_cast<i32>(c.h) + 20);
        EXPECT_EQ(m.CellCount(), (static_cast<i32>(c.h) + 20) * c.pitch);
    }
    cBlockMap m;
    ASSERT_TRUE(m.Build(40, 15));
    // The stage's cell (cx, cy) is ((cy + 10) << shift) + cx + 10; its pixels are world pixels
    // (stage pixel + 320).
    EXPECT_EQ(m.StageIndex(0, 0), (10 << 6) + 10);
    EXPECT_EQ(m.StageIndex(3, 7), (17 << 6) + 13);
    EXPECT_EQ(m.StageIndex(-10, -10), 0);
    EXPECT_EQ(m.IndexAtPixel(320 + 3 * 32 + 31.9, 320 + 7 * 32), m.StageIndex(3, 7));
    EXPECT_EQ(m.IndexAtPixel(-0.5, 0), 0); // truncated toward zero, as the probes do
    // A refused size leaves an empty map.
    EXPECT_FALSE(m.Build(0xFFFFFFFFu, 0xFFFFFFFFu));
    EXPECT_EQ(m.CellCount(), 0);
}

// The probes' cell of a whole pixel is IndexAtPixel's: at every edge of maps of several sizes,
// and at the far ends of the pixel range, where IndexAtPixel gives up on the pixel itself.
TEST(BlockMap, WholePixelsFindTheCellsOfIndexAtPixel) {
    constexpr i32 kMin = std::numeric_limits<i32>::min(), kMax = std::numeric_limits<i32>::max();
    for (auto [w, h] : {std::pair<u32, u32>{0, 0}, {12, 15}, {13, 1}, {300, 20}}) {
        cBlockMap m;
        ASSERT_TRUE(m.Build(w, h));
        std::vector<i32> xs = {kMin, kMin + 1, -1000000001, -1000000000, -999999999, 999999999, 1000000000, kMax};
        std::vector<i32> ys = xs;
        for (i32 d : {-33, -32, -31, -1, 0, 1, 31, 32, 33}) {
            xs.push_back(d);
            xs.push_back(m.Pitch() * 32 + d);
            ys.push_back(d);
            ys.push_back(m.Rows() * 32 + d);
        }
        int inside = 0;
        for (i32 x : xs)
            for (i32 y : ys) {
                const i32 cell = m.IndexAtWholePixel(x, y);
                ASSERT_EQ(cell, m.IndexAtPixel(x, y)) << w << "x" << h << " at " << x << "," << y;
                if (cell < 0) continue;
                ++inside;
                EXPECT_EQ(&m.SolidInMap(cell), &m.SolidAt(cell));
            }
        EXPECT_GT(inside, 0);
    }
}

TEST(BlockMap, ReadsOutsideTheMapAreEmpty) {
    cBlockMap m;
    ASSERT_TRUE(m.Build(40, 15));
    cEdBlock wall;
    wall.wPicture = 3;
    wall.bySolid = 1;
    for (i32 i = 0; i < m.CellCount(); ++i) ASSERT_TRUE(m.SetBlock(i, wall));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Every probe off the map, a fast shot's included, finds an empty, passable cell and no
    // close request.
    for (auto [col, row] : {std::pair{-1, 0}, {0, -1}, {64, 0}, {0, 35}, {1000000, 3}, {-2147483647 - 1, 0}}) {
        EXPECT_EQ(m.Index(col, row), -1);
        EXPECT_EQ(m.At(col, row).block.bySolid, 0);
        EXPECT_EQ(m.At(col, row).block.wPicture, 0);
        EXPECT_EQ(m.Find(m.Index(col, row)), nullptr);
    }
    for (auto [x, y] : {std::pair{-33.0, 0.0}, {0.0, 35 * 32.0}, {1e300, 0.0}, {nan, 5.0}, {-1e12, -1e12}})
        EXPECT_EQ(m.AtPixel(x, y).block.bySolid, 0) << x << "," << y;
    EXPECT_EQ(m.At(m.StageIndex(0, 0)).block.wPicture, 3);
    EXPECT_FALSE(m.SetBlock(-1, wall));
}

TEST(BlockMap, ConditionsStayWithTheirCell) {
    cBlockMap m;
    ASSERT_TRUE(m.Build(10, 10));
    cEdBlock b;
    b.wPicture = 2;
    b.EditConds().resize(2);
    b.EditConds()[0].kind = 1;
    b.byGroup1a = 1;
    const i32 i = m.StageIndex(4, 4);
    ASSERT_TRUE(m.SetBlock(i, b));
    ASSERT_NE(m.Conds(i), nullptr);
    EXPECT_EQ(m.Conds(i)->vCond.Size(), 2);
    EXPECT_EQ(m.Conds(i)->byMode, 1);
    EXPECT_EQ(m.Conds(m.StageIndex(5, 4)), nullptr);
    // A saved cell comes back with its conditions after being overwritten.
    const cBlockMap::SAVEDCELL saved = m.Save(i);
    cEdBlock plain;
    plain.wPicture = 9;
    m.SetBlock(i, plain);
    EXPECT_EQ(m.Conds(i), nullptr);
    ASSERT_TRUE(m.Restore(i, saved));
    EXPECT_EQ(m.At(i).block.wPicture, 2);
    ASSERT_NE(m.Conds(i), nullptr);
    EXPECT_EQ(m.Conds(i)->vCond[0].kind, 1);
}

namespace {

// The general probe of a cell, from its block as the cell holds it.
i32 GeneralSolid(cGameScene& s, i32 cell, i32 side) {
    const BLOCKCELL& c = s.m_vBlockMap.At(cell);
    if (c.bHasCond && !BlockIsShown(s, cell)) return 0;
    if (static_cast<i32>(c.block.byOpenSide) == side) return 0;
    return static_cast<i8>(c.block.bySolid);
}

// The summon of a stage palette's block (index) into the cell below the summoner, checked
// against the player (and refused on it) when check is set; then a wait of some frames.
cFlow SummonFlow(i64 index, bool check, i16 frames) {
    cFlowCmd summon;
    summon.Clear();
    summon.cmdKind = 13;
    summon.params.assign(CmdTypeRow(0, 13).nParams, 0);
    NewEdShot(summon.shot);
    for (auto [setting, value] : {std::pair{eShot::ShotsPerVolley, i64{1}}, {eShot::DirectionCode, 7}, {eShot::Palette, 1},
                                  {eShot::PaletteIndex, index}, {eShot::PlayerCheck1, check ? 1 : 0}, {eShot::RefuseOnPlayer, check ? 1 : 0}})
        ShotSettings::Set(*summon.shot, setting, value);
    cFlowCmd wait;
    wait.Clear();
    wait.cmdKind = 1;
    wait.time = frames;
    wait.params.assign(CmdTypeRow(0, 1).nParams, 0);
    cFlow f;
    f.trigger = 0;
    f.keyGap = 3;
    f.cmds.push_back(summon);
    f.cmds.push_back(wait);
    return f;
}

} // namespace

// Blocks placed by summons (walls, one-way blocks, blocks with appearance conditions, passable
// ones that take a wall's place, and placements the player check puts back) while the hero walks
// among them: after every frame the probes read of every cell what the general probe reads of
// its block, for every side.
TEST(BlockMap, ProbesFollowEveryChangeOfABlock) {
    cStage st = playtest::MakeStage(30, 12);
    st.vBlockPalette.resize(5);
    st.vBlockPalette[1] = playtest::MakeBlock(0, 0);
    st.vBlockPalette[2] = playtest::MakeBlock(0, 0);
    st.vBlockPalette[2].bySolid = 2;
    st.vBlockPalette[2].byOpenSide = 1;
    st.vBlockPalette[3] = playtest::MakeBlock(0, 0);
    cCond never;
    never.kind = 2; // a stage variable that is never set
    never.index = 7;
    never.value = 1;
    never.op = 0;
    st.vBlockPalette[3].EditConds().push_back(never);
    st.vBlockPalette[4].wPicture = 0;
    st.vBlockPalette[4].bySolid = 0;
    // Pairs of summoners over the hero's row, each placing its block in the cell below it in
    // turn with the other, and one over the hero's first cell (its wall is taken back).
    struct Summoner {
        i16 column;
        i64 index;
        bool check;
        i16 frames;
    };
    for (const Summoner& k : {Summoner{2, 1, true, 2}, Summoner{6, 1, true, 3}, Summoner{6, 4, false, 5}, Summoner{12, 2, false, 3},
                              Summoner{12, 3, true, 4}, Summoner{18, 3, false, 3}, Summoner{18, 1, false, 7}}) {
        cEdChara summoner;
        summoner.byOperation = 1;
        summoner.wPicture = 1;
        summoner.dwMaxHP = 99;
        summoner.nHoldItem = cEdChara::kNoItem;
        summoner.sPosX = k.column;
        summoner.sPosY = 9;
        CharaSettings::Set(summoner, eChara::FlyMode, 2);
        CharaSettings::Set(summoner, eChara::RangeMode, 3);
        summoner.vFlow.push_back(SummonFlow(k.index, k.check, k.frames));
        st.vChara.push_back(summoner);
    }
    playtest::PlayFixture play(st);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    const cBlockMap& map = s.m_vBlockMap;
    int changedFrames = 0, mismatches = 0;
    std::vector<u8> before;
    auto snapshot = [&] {
        std::vector<u8> v;
        for (i32 i = 0; i < map.CellCount(); ++i) v.push_back(static_cast<u8>(map.At(i).block.bySolid * 4 + map.At(i).bHasCond));
        return v;
    };
    before = snapshot();
    play.Script("R*60 L*30 RJ*40 .*20", [&](int) {
        if (cPlayer* p = s.Player0()) p->m_nHP = 999;
        const std::vector<u8> now = snapshot();
        changedFrames += now != before;
        before = now;
        for (i32 i = 0; i < map.CellCount(); ++i)
            for (i32 side : {-1, 0, 1, 2, 255})
                mismatches += IsBlockSolid(s, i, side) != GeneralSolid(s, i, side);
    });
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(changedFrames, 5);
}

// A patroller walks between two walls: the left one's appearance condition never holds, so it
// walks through that one as if it were not there, and turns only at the plain one on the right.
TEST(BlockMap, WalkersPassWallsWhoseConditionsDoNotHold) {
    cStage st = playtest::MakeStage(30, 12);
    cCond never;
    never.kind = 2; // a stage variable that is never set
    never.index = 7;
    never.value = 1;
    never.op = 0;
    for (i16 y : {8, 9, 10}) {
        cEdBlock hidden = playtest::MakeBlock(8, y);
        hidden.EditConds().push_back(never);
        st.vBlock.push_back(hidden);
        st.vBlock.push_back(playtest::MakeBlock(14, y));
    }
    cEdChara walker = DemoPatroller();
    CharaSettings::Set(walker, eChara::RangeMode, 3);
    walker.sPosX = 11;
    walker.sPosY = 10;
    st.vChara.push_back(walker);
    st.Prepare();
    playtest::PlayFixture play(st);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    double left = 1e9, right = 0;
    play.Script(".*400", [&](int) {
        s.ForEachChara([&](cStageChara& c) {
            left = std::min(left, c.m_dX);
            right = std::max(right, c.m_dRight);
        });
    });
    EXPECT_LT(left, cBlockMap::kOrigin + 8 * 32.0);
    EXPECT_LT(right, cBlockMap::kOrigin + 14 * 32.0);
    EXPECT_GT(right, cBlockMap::kOrigin + 13 * 32.0);
}
