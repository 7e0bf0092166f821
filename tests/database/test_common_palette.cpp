// Common palette: entry 0 reset, padding, inherit flags cleared, references checked.
#include <gtest/gtest.h>

#include "database/CommonPalette.h"
#include "records/PaletteSource.h"
#include "TestUtil.h"

namespace {

std::string SavePalette(cCommonPalette& p) {
    cRecordWriter w;
    w.WriteU32(824);
    p.Save(w);
    return w.Take();
}

// The file as another writer might leave it: no check, no padding before writing.
std::string UncheckedPalette(cCommonPalette& p) {
    cRecordWriter w;
    w.WriteU32(824);
    p.cRecord::Save(w);
    WriteRecordVector(w, p.m_vEdBlock);
    WriteRecordVector(w, p.m_vEdChara);
    WriteRecordVector(w, p.m_vEdItem);
    return w.Take();
}

cCommonPalette LoadPalette(const std::string& file, bool* failed = nullptr) {
    cRecordReader r = ReaderOf(file);
    cCommonPalette p;
    p.Load(r);
    if (failed) *failed = r.Failed();
    return p;
}

} // namespace

TEST(CommonPalette, EmptyListsArePaddedAndEntryZeroIsReset) {
    bool failed = true;
    const cCommonPalette empty = LoadPalette(U32(824) + U32(0) + U32(0) + U32(0) + U32(0) + U32(0), &failed);
    ASSERT_FALSE(failed);
    EXPECT_EQ(empty.m_vEdBlock.size(), 2u);
    EXPECT_EQ(empty.m_vEdChara.size(), 2u);
    EXPECT_EQ(empty.m_vEdItem.size(), 2u);

    cCommonPalette src;
    src.m_vEdChara[0].strName = "zero";
    src.m_vEdChara[0].dwMaxHP = 77;
    src.m_vEdBlock.assign(2, cEdBlock());
    src.m_vEdBlock[1].SetName("flagged");
    src.m_vEdBlock[1].FillInherit(1);
    src.m_vEdItem.assign(5, cEdItem());
    src.m_vEdItem[0].strName = "zero item";
    // One character only: Save would have padded the list.
    const cCommonPalette p = LoadPalette(UncheckedPalette(src), &failed);
    ASSERT_FALSE(failed);
    ASSERT_EQ(p.m_vEdChara.size(), 2u);
    EXPECT_EQ(p.m_vEdChara[0].strName, "");
    EXPECT_EQ(p.m_vEdChara[0].dwMaxHP, cEdChara().dwMaxHP);
    EXPECT_EQ(p.m_vEdItem[0].strName, "");
    EXPECT_EQ(p.m_vEdBlock[1].Name(), "flagged");
    for (u8 f : p.m_vEdBlock[1].InheritRow()) EXPECT_EQ(f, 0);
}

TEST(CommonPalette, ReferencesPastTheListsAreDropped) {
    cCommonPalette src;
    src.m_vEdItem.assign(5, cEdItem());
    src.m_vEdBlock.assign(2, cEdBlock());
    src.m_vEdBlock[1].byItemKind = 1;
    src.m_vEdBlock[1].wItemIndex = 7;
    bool failed = true;
    // Save checks first; the stored file must already hold the repaired reference.
    const cCommonPalette p = LoadPalette(SavePalette(src), &failed);
    ASSERT_FALSE(failed);
    EXPECT_EQ(p.m_vEdBlock[1].byItemKind, 0);
    EXPECT_EQ(p.m_vEdBlock[1].wItemIndex, 0);

    // A file written elsewhere, unchecked, is repaired by the reader itself (Save above has
    // repaired src, so the bad reference is put back first).
    src.m_vEdBlock[1].byItemKind = 1;
    src.m_vEdBlock[1].wItemIndex = 7;
    const cCommonPalette q = LoadPalette(UncheckedPalette(src), &failed);
    ASSERT_FALSE(failed);
    EXPECT_EQ(q.m_vEdBlock[1].byItemKind, 0);
    EXPECT_EQ(q.m_vEdBlock[1].wItemIndex, 0);
}

TEST(CommonPalette, DamagedFilesAreRefusedAndPublishingPointsAtTheLists) {
    ScratchGame game;
    game.Write("data/CommonPalette.cplt4", U32(824) + U32(0) + U32(0) + U32(0x7FFFFFFF));
    cCommonPalette p;
    p.m_vEdChara[0].strName = "kept";
    EXPECT_EQ(LoadCommonPaletteFile(p, "data\\CommonPalette.cplt4"), 0);
    EXPECT_EQ(p.m_vEdChara[0].strName, "kept");
    ASSERT_EQ(game.boxes.size(), 1u);
    EXPECT_NE(game.boxes[0].find("CommonPalette.cplt4 のロードに失敗！"), std::string::npos);
    EXPECT_EQ(GetCommonPaletteView().pChara, &p.m_vEdChara);
    SetCommonPaletteView({});
}
