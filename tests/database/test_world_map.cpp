// World map: stored form, grid checks, validation, lookups.
#include <gtest/gtest.h>

#include "database/Labels.h"
#include "database/Text.h"
#include "database/WorldMap.h"
#include "records/DataFile.h"
#include "TestUtil.h"

namespace {

std::string SaveMap(cWorldMapData& m, u32 version = 824) {
    cRecordWriter w;
    w.WriteU32(version);
    m.Save(w);
    return w.Take();
}

cWorldMapData LoadMap(const std::string& file, bool* failed = nullptr) {
    cRecordReader r = ReaderOf(file);
    cWorldMapData m;
    m.Load(r);
    if (failed) *failed = r.Failed();
    return m;
}

cWorldMapEntry Entry(i32 x, i32 y, const std::string& name) {
    cWorldMapEntry e;
    e.nX = x;
    e.nY = y;
    e.strName = name;
    return e;
}

// Offset of the cell count in a saved map whose chip list is `chips` long and empty-named.
std::size_t CellCountOffset(const std::string& file) {
    u32 titleLen;
    std::memcpy(&titleLen, file.data() + 4 + 4 + 32 + 4, 4);
    std::size_t p = 4 + 4 + 32 + 4 + 4 + (titleLen > 1 ? titleLen : 0);
    u32 extraLen;
    std::memcpy(&extraLen, file.data() + p, 4);
    p += 4 + (extraLen > 1 ? extraLen : 0);
    u32 chips;
    std::memcpy(&chips, file.data() + p, 4);
    return p + 4 + chips * (4 + 12 + 4 + 4 + 4);
}

} // namespace

// A map without chips is passable everywhere and draws no chip.
TEST(WorldMap, DefaultMapHasNoChips) {
    cWorldMapData m;
    ASSERT_TRUE(m.m_vChip.empty());
    EXPECT_FALSE(m.IsImpassableChip(m.Cell(0, 0)));
    EXPECT_EQ(m.ChipPicture(0), -1);
}

TEST(WorldMap, OldVersionsAndValidation) {
    cWorldMapData m;
    m.m_vChip.assign(3, cWorldMapChip());
    m.m_vChip[0].nData = 42;
    m.SetCell(0, 0, 2);
    m.m_vEntry2.clear();
    // Cells are written raw: older data may name chips its own chip list does not hold.
    std::string file = SaveMap(m, 811);
    const u32 nine = 9;
    std::memcpy(&file[CellCountOffset(file) + 4 + 4], &nine, 4);
    const cWorldMapData old = LoadMap(file);
    ASSERT_EQ(old.m_vChip.size(), 10u);
    EXPECT_EQ(old.m_vChip[0].nData, 42u);
    EXPECT_EQ(old.m_vChip[4].bImpassable, 1u);
    EXPECT_EQ(old.m_vChip[4].strName, Sj("移動不可"));
    EXPECT_EQ(old.m_vChip[5].bImpassable, 0u);
    EXPECT_EQ(old.m_vChip[9].strName, Sj("移動可"));
    EXPECT_EQ(old.Cell(1, 0), 9u);

    const cWorldMapData kept = LoadMap(SaveMap(m, 812));
    EXPECT_EQ(kept.m_vChip.size(), 3u);

    // A cell equal to the chip count becomes 0; entries at x = width go, at x = -1 stay.
    cWorldMapData v;
    v.m_vChip.assign(3, cWorldMapChip());
    v.m_vCell[5] = 3;
    v.m_vEntry = {Entry(20, 0, "out"), Entry(-1, 0, "left"), Entry(19, 14, "in")};
    v.nStartX = -4;
    v.nStartY = 99;
    v.Validate();
    EXPECT_EQ(v.m_vCell[5], 0u);
    ASSERT_EQ(v.m_vEntry.size(), 2u);
    EXPECT_EQ(v.m_vEntry[0].strName, "left");
    EXPECT_EQ(v.nStartX, 0);
    EXPECT_EQ(v.nStartY, 14);
}

TEST(WorldMap, InconsistentGridsAreRefused) {
    cWorldMapData m;
    const std::string good = SaveMap(m);
    const std::size_t cells = CellCountOffset(good);
    auto patched = [&](std::size_t at, u32 v) {
        std::string f = good;
        std::memcpy(&f[at], &v, 4);
        return f;
    };
    const std::vector<std::string> bad = {
        patched(8 + 8, 64),            // pitch that is not 1 << shift
        patched(8 + 12, 40),           // shift of 40
        patched(8 + 0, 33),            // width above the pitch
        patched(8 + 0, 0),             // width 0
        patched(8 + 4, 0xFFFFFFFFu),   // negative height
        patched(cells, 479),           // a cell count that is not height x pitch
        patched(cells, 0x7FFFFFFF),    // a huge count
        good.substr(0, good.size() - 5),
    };
    for (const std::string& f : bad) {
        bool failed = false;
        LoadMap(f, &failed);
        EXPECT_TRUE(failed);
    }
    ScratchGame game;
    game.Write("data/WorldMap.dat", bad[0]);
    cWorldMapData keep;
    keep.strTitle = "kept";
    EXPECT_EQ(LoadWorldMapFile(keep, "data\\WorldMap.dat"), 0);
    EXPECT_EQ(keep.strTitle, "kept");
    ASSERT_EQ(game.boxes.size(), 1u);
    EXPECT_NE(game.boxes[0].find("WorldMap.dat のロードに失敗！"), std::string::npos);
}

TEST(WorldMap, SetSizeKeepsTheCorner) {
    cWorldMapData m;
    m.SetCell(3, 1, 7);
    m.SetCell(19, 14, 5);
    EXPECT_EQ(m.SetSize(33, 2), 1);
    EXPECT_EQ(m.nPitch, 64);
    EXPECT_EQ(m.nPitch_Shift, 6);
    EXPECT_EQ(m.m_vCell.size(), 128u);
    EXPECT_EQ(m.Cell(3, 1), 7u);
    EXPECT_EQ(m.SetSize(0, 5), 0);
    EXPECT_EQ(m.nWidth, 33);
    i32 pitch, shift;
    NextPow2(pitch, shift, 1);
    EXPECT_EQ(pitch, 1);
    NextPow2(pitch, shift, 20);
    EXPECT_EQ(pitch, 32);
}

TEST(WorldMap, EntriesStagesAndCurrentItems) {
    cWorldMapData m;
    m.m_vEntry = {Entry(1, 1, "first"), Entry(1, 1, "second")};
    EXPECT_EQ(m.FindEntryXY(1, 1)->strName, "first");
    EXPECT_EQ(m.FindEntryXY(2, 1), nullptr);

    EXPECT_EQ(StageKey("Forest-1.stg4_001"), "Forest.");
    EXPECT_EQ(StageKey("A-1-1"), "A-1.");
    EXPECT_EQ(StageKey("Cave"), "Cave.");
    m.m_vEntry[0].m_vItem[0].strStageFile = "Forest-1.stg4_001";
    EXPECT_EQ(m.HasStage("Forest.", 0, 0, 0), 1);
    EXPECT_EQ(m.HasStage("Forest.", 1, 1, 0), 0);
    EXPECT_EQ(m.HasStage("forest.", 0, 0, 0), 0);
    m.m_vEntry[0].m_vItem[0].nStageArg0 = 1;
    m.m_vEntry[0].m_vItem[0].nStageArg2 = 4;
    EXPECT_EQ(m.HasStage("Forest.", 1, 1, 4), 1);

    cWorldMapEntry e = Entry(0, 0, "e");
    e.m_vItem.assign(3, cWorldMapEntryItem());
    e.m_vItem[0].nShowSwitch = 5;
    e.m_vItem[1].nCondVar = 2;
    e.m_vItem[1].nCondOp = CMPOP_MULTIPLE;
    e.m_vItem[1].nCondValue = 3;
    e.m_vItem[2].nNeedTotal = 10;
    WORLDMAPSTATE st;
    st.switchOn = [](u32 sw) { return sw == 5; };
    st.variable = [](u32) { return -9; };
    EXPECT_EQ(cWorldMapData::CurrentItem(e, st), &e.m_vItem[0]);
    st.switchOn = [](u32) { return false; };
    EXPECT_EQ(cWorldMapData::CurrentItem(e, st), &e.m_vItem[1]);
    st.variable = [](u32) { return 4; };
    EXPECT_EQ(cWorldMapData::CurrentItem(e, st), nullptr);
    st.stageTotal = 10;
    EXPECT_EQ(cWorldMapData::CurrentItem(e, st), &e.m_vItem[2]);
}

TEST(Labels, CompareOperatorsAndTableEnds) {
    EXPECT_TRUE(TestCompareOp(CMPOP_MULTIPLE, 5, 0));
    EXPECT_FALSE(TestCompareOp(CMPOP_NOT_MULTIPLE, 5, 0));
    EXPECT_TRUE(TestCompareOp(CMPOP_MULTIPLE, INT32_MIN, -1));
    EXPECT_TRUE(TestCompareOp(CMPOP_GE, 3, 3));
    EXPECT_FALSE(TestCompareOp(8, 0, 0));
    for (const std::string* last : {&g_CharaVarLabel.back(), &g_CalcOpLabel.back(), &g_CompareOpLabel.back(),
                                    &g_TestSenseLabel.back(), &g_ColorLabel.back(), &g_ColorModeLabel.back(),
                                    &g_DepthLabel.back(), &g_DepthLabelNo8.back()})
        EXPECT_EQ(*last, "");
}
