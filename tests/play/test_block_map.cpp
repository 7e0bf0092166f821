// The block map: its layout and what a read outside it gives.
#include <gtest/gtest.h>

#include <limits>

#include "play/objects/BlockMap.h"

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
