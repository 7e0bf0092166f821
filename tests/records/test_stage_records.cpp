// Character, block and item records: layout, upgrades of older files, palette inheritance and
// the checks that run after reading and before writing.
#include <gtest/gtest.h>

#include "StageTestUtil.h"
#include "records/OptionLabels.h"
#include "records/PaletteSource.h"

using namespace stagetest;

namespace {

class StageRecords : public ::testing::Test {
protected:
    void SetUp() override { Restore(); }
    void TearDown() override { Restore(); }
    static void Restore() {
        SetCmdLimits(CMDLIMITS{});
        SetCommonPaletteView(COMMONPALETTEVIEW{});
        g_Stage.Init();
    }
};

template <class T, class W>
T ReadOld(T& rec, u32 v, W write) {
    cRecordWriter w;
    write(rec, v, w);
    cRecordReader r(w.Take(), v);
    T out;
    out.Load(r);
    EXPECT_FALSE(r.Failed());
    EXPECT_TRUE(r.AtEnd());
    return out;
}

cVector<u8> Flags(int n) {
    cVector<u8> f(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) f[i] = static_cast<u8>(10 + i);
    return f;
}

} // namespace

TEST_F(StageRecords, CharaInheritFlagsGainTheirNewGroupsByVersion) {
    cEdChara c;
    c.vInherit = Flags(36);
    c.byHitArea = 5;
    c.byGroup21 = 9;
    cEdChara v209 = ReadOld(c, 209, WriteOldChara);
    ASSERT_EQ(v209.vInherit.size(), 37u);
    for (int i = 0; i < 21; ++i) EXPECT_EQ(v209.vInherit[i], 10 + i);
    EXPECT_EQ(v209.vInherit[21], 1);
    for (int i = 21; i < 36; ++i) EXPECT_EQ(v209.vInherit[i + 1], 10 + i);
    EXPECT_EQ(v209.byGroup21, 0);
    EXPECT_EQ(v209.byHitArea, 5); // present from 201
    EXPECT_EQ(ReadOld(c, 210, WriteOldChara).vInherit, c.vInherit);

    c.vInherit.assign(37, 0);
    cEdChara v200 = ReadOld(c, 200, WriteOldChara);
    EXPECT_EQ(v200.vInherit[21], 1);
    EXPECT_EQ(v200.vInherit[25], 1);
    EXPECT_EQ(v200.byHitArea, 0);
    cEdChara v201 = ReadOld(c, 201, WriteOldChara);
    EXPECT_EQ(v201.vInherit[21] + v201.vInherit[25], 1);

    cEdChara v167 = ReadOld(c, 167, WriteOldChara);
    int ones = 0;
    for (int i = 0; i < 37; ++i) ones += v167.vInherit[i];
    EXPECT_EQ(ones, 3);
    EXPECT_EQ(v167.vInherit[29], 1);
    EXPECT_EQ(v167.vInherit[25], 1);
    EXPECT_EQ(v167.vInherit[21], 1);
    cEdChara v168 = ReadOld(c, 168, WriteOldChara);
    EXPECT_EQ(v168.vInherit[29] + v168.vInherit[25] + v168.vInherit[21], 2);

    // A current list longer than the groups is kept as stored.
    c.vInherit = Flags(40);
    EXPECT_EQ(ReadOld(c, kProgVer, WriteOldChara).vInherit.size(), 40u);
}

// The value rules; the fields that older files lack are pinned by the record tables.
TEST_F(StageRecords, CharaFieldUpgradesFollowTheirGates) {
    cEdChara c;
    c.byHitArea = 2;
    c.byPictureKind = 3;
    c.wPicture = 50;
    EXPECT_EQ(ReadOld(c, 205, WriteOldChara).byHitArea, 3); // below 206: 2 and up move by one
    EXPECT_EQ(ReadOld(c, 206, WriteOldChara).byHitArea, 2);
    EXPECT_EQ(ReadOld(c, 218, WriteOldChara).wPicture, 51); // below 219: built-in pictures move by one
    EXPECT_EQ(ReadOld(c, 219, WriteOldChara).wPicture, 50);
    c.byHitArea = 1;
    c.wPicture = 119;
    EXPECT_EQ(ReadOld(c, 205, WriteOldChara).byHitArea, 1);
    EXPECT_EQ(ReadOld(c, 195, WriteOldChara).wPicture, 119); // clamped
    cEdItem it;
    it.byPictureKind = 3;
    it.wPicture = 50;
    EXPECT_EQ(ReadOld(it, 218, WriteOldItem).wPicture, 51);
    EXPECT_EQ(ReadOld(it, 219, WriteOldItem).wPicture, 50);
}

TEST_F(StageRecords, CharaInheritsFlaggedGroupsFromItsPalette) {
    cEdChara entry;
    entry.strName = "entry";
    entry.dwMaxHP = 99;
    entry.dwMaxSP = 5;
    entry.vCond.push_back(flowtest::MakeCond(1, 3));
    entry.byGroup4a = 7;
    g_Stage.vCharaPalette.push_back(entry); // index 1

    cEdChara c;
    c.byPaletteKind = 2;
    c.wPaletteIndex = 1;
    c.vInherit[0] = 1;
    c.vInherit[4] = 1;
    c.vInherit[23] = 1;
    c.ApplyPaletteInherit();
    EXPECT_EQ(c.strName, "entry");
    EXPECT_EQ(c.dwMaxHP, 99u);
    EXPECT_EQ(c.dwMaxSP, 0u); // group 24 not flagged
    EXPECT_EQ(c.vCond.size(), 1u);
    EXPECT_EQ(c.byGroup4a, 7);

    // Index 0 is the empty entry: never inherited from, whatever the flags.
    cEdChara none;
    none.byPaletteKind = 2;
    none.vInherit.assign(37, 1);
    none.ApplyPaletteInherit();
    EXPECT_EQ(none.dwMaxHP, 10u);
    EXPECT_EQ(none.byPaletteKind, 2);

    // Group 36 from an entry without flows leaves one new flow.
    cEdChara flows;
    flows.byPaletteKind = 2;
    flows.wPaletteIndex = 1;
    flows.vInherit[36] = 1;
    flows.vFlow.push_back(flowtest::MakeRichFlow(1));
    flows.ApplyPaletteInherit();
    ASSERT_EQ(flows.vFlow.size(), 1u);
    EXPECT_EQ(flows.vFlow[0].keyGap, 3);
    EXPECT_TRUE(flows.vFlow[0].cmds.empty());
}

// A character read checks each command as it reads it; flows it takes from its palette entry
// were checked when the entry was, perhaps against other limits, and are checked again.
TEST_F(StageRecords, CommandsReadOrInheritedAreCheckedAgainstTheLimitsOfTheRead) {
    auto soundFlow = [] {
        cFlow f;
        f.Clear();
        cFlowCmd c;
        c.Clear();
        c.cmdKind = 35; // play a sound: parameter 0 picks it
        c.params.assign(1, 50);
        f.cmds.push_back(c);
        return f;
    };
    cEdChara entry;
    entry.vFlow.push_back(soundFlow());
    g_Stage.vCharaPalette.push_back(entry); // index 1, checked against no limits

    CMDLIMITS lim;
    lim.nSound = 10;
    SetCmdLimits(lim);
    for (const bool inherits : {false, true}) {
        cEdChara c;
        c.byPaletteKind = 2;
        c.wPaletteIndex = 1;
        c.vInherit[cEdChara::kFlowGroup] = inherits ? 1 : 0;
        c.vFlow.push_back(soundFlow());
        cRecordWriter w;
        {
            // Written with no limits, so that the parameter is stored as it is.
            SetCmdLimits(CMDLIMITS{});
            c.Save(w);
            SetCmdLimits(lim);
        }
        cRecordReader r(w.Take(), kProgVer);
        cEdChara back;
        back.Load(r);
        ASSERT_FALSE(r.Failed());
        ASSERT_EQ(back.vFlow.size(), 1u) << inherits;
        ASSERT_EQ(back.vFlow[0].cmds.size(), 1u) << inherits;
        EXPECT_EQ(back.vFlow[0].cmds[0].params[0], 0u) << inherits;
    }
    // The palette entry itself is left as it was.
    EXPECT_EQ(g_Stage.vCharaPalette[1].vFlow[0].cmds[0].params[0], 50u);
}

TEST_F(StageRecords, PaletteReferencesPastTheirPaletteAreDropped) {
    cEdChara c;
    c.byPaletteKind = 2;
    c.wPaletteIndex = 5;
    c.vInherit[23] = 1;
    c.ApplyPaletteInherit();
    EXPECT_EQ(c.byPaletteKind, 0);
    EXPECT_EQ(c.wPaletteIndex, 5);
    c.byPaletteKind = 2;
    c.Validate();
    EXPECT_EQ(c.byPaletteKind, 0);
    EXPECT_EQ(c.wPaletteIndex, 0);

    // A negative index is past every palette (it used to pass a signed upper-bound test).
    g_Stage.vCharaPalette.resize(3);
    c.byPaletteKind = 2;
    c.wPaletteIndex = -1;
    c.Validate();
    EXPECT_EQ(c.byPaletteKind, 0);
    EXPECT_EQ(c.wPaletteIndex, 0);

    // The common palette comes through its view; without one it is empty.
    cVector<cEdChara> common(4);
    common[3].dwMaxHP = 1234;
    c.byPaletteKind = 1;
    c.wPaletteIndex = 3;
    c.vInherit[23] = 1;
    c.ApplyPaletteInherit();
    EXPECT_EQ(c.byPaletteKind, 0);
    SetCommonPaletteView(COMMONPALETTEVIEW{nullptr, &common, nullptr});
    c.byPaletteKind = 1;
    c.ApplyPaletteInherit();
    EXPECT_EQ(c.dwMaxHP, 1234u);
}

TEST_F(StageRecords, CharaValidateResetsBadIndexesAndDropsEmptyFlows) {
    CMDLIMITS lim;
    lim.nAnimeSet = 4;
    lim.nCharaEffect = 3;
    lim.nEffect = 2;
    lim.nCharaBmp = 6;
    SetCmdLimits(lim);
    cEdChara c;
    c.wAnimeSet = -2; // negative indexes are past the list, not below it
    c.wCharaEffectA = 3;
    c.wDeathEffect = 2;
    c.wEffect = 9;
    c.byPictureKind = 4;
    c.wPicture = -1;
    c.byGroup20 = -5;
    c.byOperation = 0;
    c.byGroup19 = 1;
    c.byGroup6 = 1;
    c.vFlow.resize(3);
    c.vFlow[1].trigger = 4;
    c.Validate();
    EXPECT_EQ(c.wAnimeSet, 0);
    EXPECT_EQ(c.wCharaEffectA, 0);
    EXPECT_EQ(c.wDeathEffect, 2);
    EXPECT_EQ(c.wEffect, 0);
    EXPECT_EQ(c.wPicture, 1);
    EXPECT_EQ(c.byGroup20, 1);
    EXPECT_EQ(c.byGroup19, 0);
    EXPECT_EQ(c.byGroup6, 0);
    ASSERT_EQ(c.vFlow.size(), 1u);
    EXPECT_EQ(c.vFlow[0].trigger, 4);
}

TEST_F(StageRecords, CharaValidateDropsManyEmptyFlowsInOnePass) {
    // A hostile file may hold a great many empty flows; they go in one pass (removing them one
    // by one took minutes for a few megabytes), and the others keep their order.
    constexpr int kFlows = 120000;
    cEdChara c;
    c.vFlow.resize(kFlows);
    for (int i = 0; i < kFlows; i += 3) c.vFlow[i].subKind = static_cast<u8>(1 + i % 200);
    c.vFlow[kFlows - 1].cmds.emplace_back();
    c.vFlow[kFlows - 1].cmds.back().cmdKind = 21;
    c.Validate();
    ASSERT_EQ(c.vFlow.size(), static_cast<std::size_t>(kFlows / 3 + 1));
    for (int k = 0; k < kFlows / 3; ++k) ASSERT_EQ(c.vFlow[k].subKind, 1 + (3 * k) % 200) << k;
    // The last one is kept for its command, whose parameters were checked on the way.
    EXPECT_EQ(c.vFlow.back().cmds.at(0).params.size(), 16u);
}

// Flows marked for the editor only go on reading, in a character and in a command, unless kept.
TEST_F(StageRecords, EditorOnlyFlowsAreDroppedOnReadUnlessKept) {
    cEdChara c;
    cFlowCmd cmd;
    cmd.Clear();
    cmd.cmdKind = 1;
    for (u8 t = 1; t <= 3; ++t) {
        cFlow f;
        f.trigger = t;
        f.editorOnly = t == 2;
        c.vFlow.push_back(f);
        cmd.flows.push_back(f);
    }
    const std::string chara = RecordBytes(c), command = RecordBytes(cmd);
    cEdChara played;
    cFlowCmd playedCmd;
    ASSERT_TRUE(flowtest::LoadBytes(played, chara));
    ASSERT_TRUE(flowtest::LoadBytes(playedCmd, command));
    ASSERT_EQ(played.vFlow.size(), 2u);
    EXPECT_EQ(played.vFlow[1].trigger, 3);
    ASSERT_EQ(playedCmd.flows.size(), 2u);
    EXPECT_EQ(playedCmd.flows[0].trigger + 10 * playedCmd.flows[1].trigger, 31);
    CMDLIMITS keep;
    keep.bKeepEditorOnlyFlows = true;
    SetCmdLimits(keep);
    cEdChara edited;
    cFlowCmd editedCmd;
    ASSERT_TRUE(flowtest::LoadBytes(edited, chara));
    ASSERT_TRUE(flowtest::LoadBytes(editedCmd, command));
    EXPECT_EQ(edited.vFlow.size(), 3u);
    EXPECT_EQ(editedCmd.flows.size(), 3u);
    // Started by the editor, with the switch off: kept too.
    CMDLIMITS fromEditor;
    fromEditor.bStartedByEditor = true;
    SetCmdLimits(fromEditor);
    cEdChara tested;
    cFlowCmd testedCmd;
    ASSERT_TRUE(flowtest::LoadBytes(tested, chara));
    ASSERT_TRUE(flowtest::LoadBytes(testedCmd, command));
    EXPECT_EQ(tested.vFlow.size(), 3u);
    EXPECT_EQ(testedCmd.flows.size(), 3u);
}

TEST_F(StageRecords, OffsetsMultiplyTheStepAndFlipWithTheFacing) {
    cEdChara c;
    c.sOffsetX = 10;
    c.sOffsetStepX = -4;
    c.bFlipOffsetX = 1;
    EXPECT_DOUBLE_EQ(c.GetOffsetX(3, 1), 2.0);
    EXPECT_DOUBLE_EQ(c.GetOffsetX(3, 0), -2.0);
    c.sOffsetY = 1;
    c.sOffsetStepY = 2;
    EXPECT_DOUBLE_EQ(c.GetOffsetY(2, 1), 5.0);
}

TEST_F(StageRecords, BlockPictureUpgradeAndChecks) {
    cEdBlock b;
    b.byPictureKind = 3;
    b.wPicture = 119;
    EXPECT_EQ(ReadOld(b, 218, WriteOldBlock).wPicture, 119);
    b.wPicture = 50;
    EXPECT_EQ(ReadOld(b, 218, WriteOldBlock).wPicture, 51);
    EXPECT_EQ(ReadOld(b, 219, WriteOldBlock).wPicture, 50);

    // The flag count is the file's; a block without a picture is written passable.
    cEdBlock empty;
    const cVector<u8> flags = Flags(15);
    empty.SetInheritRow(flags.data(), flags.size());
    empty.bySolid = 3;
    empty.byGroup10 = 4;
    cEdBlock back;
    ASSERT_TRUE(flowtest::LoadBytes(back, RecordBytes(empty)));
    EXPECT_EQ(back.InheritRow(), static_cast<const std::vector<u8>&>(flags));
    EXPECT_EQ(back.bySolid, 0);
    EXPECT_EQ(back.byGroup10, 0);

    cEdBlock holder;
    holder.wPicture = 1;
    holder.byItemKind = 2;
    holder.wItemIndex = 7;
    g_Stage.vItemPalette.resize(5);
    holder.CheckItemRef();
    EXPECT_EQ(holder.byItemKind, 0);
    EXPECT_EQ(holder.wItemIndex, 0);
    holder.byItemKind = 2;
    holder.wItemIndex = 4;
    holder.CheckItemRef();
    EXPECT_EQ(holder.byItemKind, 2);
}

// A block keeps a short row of 0/1 flags in itself and anything else (other values, long rows,
// a name, conditions) beside it; every form is written back byte for byte, and a copy owns its
// own side storage.
TEST_F(StageRecords, BlockFlagRowsNamesAndConditionsKeepEveryForm) {
    const std::vector<std::vector<u8>> rows = {
        {},
        {1},
        {1, 0, 1, 1, 0, 0, 0, 1, 1},
        std::vector<u8>(11, 1), // the longest row a block keeps in itself
        std::vector<u8>(12, 0),
        std::vector<u8>(16, 1),
        {0, 2, 1},
        {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3},
        std::vector<u8>(17, 1),
        {255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
    for (const std::vector<u8>& row : rows) {
        for (int extra = 0; extra < 2; ++extra) {
            cEdBlock b;
            b.wPicture = 4;
            b.SetInheritRow(row.data(), row.size());
            if (extra) {
                b.SetName("n");
                b.EditConds().push_back(flowtest::MakeCond(2, 9));
            }
            const std::string bytes = RecordBytes(b);
            cEdBlock back;
            ASSERT_TRUE(flowtest::LoadBytes(back, bytes)) << row.size();
            EXPECT_EQ(back.InheritRow(), row);
            EXPECT_EQ(back.Name(), extra ? "n" : "");
            EXPECT_EQ(back.Conds().size(), extra ? 1u : 0u);
            EXPECT_EQ(RecordBytes(back), bytes) << row.size() << " " << extra;
            // Followed by other bytes (as in a stage, where the row is read 16 bytes at a
            // time), the block reads the same and stops where it ends.
            const std::string tail(24, '\x7F');
            const std::string padded = bytes + tail;
            cRecordReader r = cRecordReader::Over(padded, kProgVer);
            cEdBlock inStage;
            inStage.Load(r);
            ASSERT_FALSE(r.Failed());
            EXPECT_EQ(inStage.InheritRow(), row);
            EXPECT_TRUE(r.Skip(tail.size()) && r.AtEnd()) << row.size();
        }
    }

    // A value other than 0 or 1 set into a short row is kept as set.
    cEdBlock b;
    b.SetInherit(3, 7);
    b.SetInherit(4, 1);
    EXPECT_EQ(b.InheritCount(), static_cast<std::size_t>(cEdBlock::kGroups));
    EXPECT_EQ(b.Inherit(3), 7);
    EXPECT_EQ(b.Inherit(4), 1);
    EXPECT_EQ(b.Inherit(5), 0);
    b.SetInherit(3, 0);
    EXPECT_EQ(b.Inherit(3), 0);

    // Copies own their side storage.
    b.SetName("first");
    b.EditConds().push_back(flowtest::MakeCond(1, 1));
    cEdBlock copy = b;
    cEdBlock assigned;
    assigned = b;
    b.SetName("changed");
    b.EditConds().clear();
    b.SetInherit(4, 0);
    for (const cEdBlock* c : {&copy, &assigned}) {
        EXPECT_EQ(c->Name(), "first");
        EXPECT_EQ(c->Conds().size(), 1u);
        EXPECT_EQ(c->Inherit(4), 1);
    }
    b.Reset();
    EXPECT_EQ(b.Name(), "");
    EXPECT_TRUE(b.Conds().empty());
    EXPECT_EQ(b.InheritRow(), std::vector<u8>(cEdBlock::kGroups, 0));

    // The numbered fields (the arrange command's) reach the name where it is kept, and the
    // base's clear and copy see it too.
    ASSERT_EQ(b.StringCount(), 1);
    *b.StringField(0) = "by number";
    EXPECT_EQ(b.Name(), "by number");
    b.wPicture = 9;
    cEdBlock other;
    other.CopyFrom(b);
    EXPECT_EQ(other.Name(), "by number");
    EXPECT_EQ(other.wPicture, 9);
    b.Clear();
    EXPECT_EQ(b.Name(), "");
    EXPECT_EQ(b.wPicture, 0);
    EXPECT_EQ(other.Name(), "by number");
}

// Lists of blocks skip the destructor of a block found to hold nothing without reading it: every
// block that holds a name, conditions, a long flag row or field lists must be found wherever it
// goes (lists that grow, copies, erasures, insertions, swaps, a stage written and read back).
// Under the address sanitizer a block skipped while it held something is a leak.
TEST_F(StageRecords, BlocksThatHoldStorageAreFoundWhereverTheirListsMoveThem) {
    auto check = [](const cVector<cEdBlock>& v, const char* step) {
        for (const cEdBlock& b : v)
            if (!b.HoldsNothing()) {
                EXPECT_TRUE(cEdBlock::MayHold(&b)) << step << ": block " << (&b - v.data());
            }
    };
    cVector<cEdBlock> v;
    for (int i = 0; i < 300; ++i) {
        cEdBlock b;
        b.wPicture = static_cast<u16>(i);
        if (i % 7 == 0) b.SetName("block " + std::to_string(i));
        if (i % 11 == 0) b.EditConds().push_back(flowtest::MakeCond(1, i));
        if (i % 13 == 0) b.SetInherit(3, 7); // a row of other values than 0 and 1
        if (i % 17 == 0) {
            EXPECT_EQ(b.FieldCount(), 18); // the base's field lists
        }
        v.push_back(b);
    }
    check(v, "grown");
    cVector<cEdBlock> copy = v;
    check(copy, "copied");
    v.erase(v.begin() + 5, v.begin() + 40);
    check(v, "erased");
    v.insert(v.begin(), copy.begin() + 100, copy.begin() + 150);
    check(v, "inserted");
    v.swap(copy);
    check(v, "swapped");
    check(copy, "swapped");
    v[14].Reset();
    v[21] = v[28];
    v[35] = std::move(v[42]);
    v.shrink_to_fit();
    check(v, "assigned");
    EXPECT_EQ(v[0].Name(), "block 0");
    EXPECT_EQ(v[21].Name(), "block 28");
    EXPECT_EQ(v[35].Name(), "block 42");
    EXPECT_EQ(v[13].Inherit(3), 7);
    copy.clear();
    // A block whose storage was taken holds nothing and stays usable.
    cEdBlock spilled;
    spilled.SetInherit(3, 7);
    spilled.SetName("taken");
    cEdBlock taker = std::move(spilled);
    EXPECT_EQ(taker.Inherit(3), 7);
    EXPECT_EQ(taker.Name(), "taken");
    EXPECT_TRUE(spilled.HoldsNothing());
    EXPECT_EQ(spilled.InheritRow(), std::vector<u8>(cEdBlock::kGroups, 0));
    EXPECT_EQ(spilled.Name(), "");

    // Placed blocks read back from a stage, through the usual form and the general one.
    cStage st;
    st.vBlock = v;
    cRecordWriter w;
    st.Save(w);
    cStage back;
    {
        cRecordReader r(w.Take(), kProgVer);
        StagePaletteScope scope(back);
        back.Load(r);
        ASSERT_FALSE(r.Failed());
    }
    ASSERT_EQ(back.vBlock.size(), v.size());
    check(back.vBlock, "read");
    EXPECT_EQ(back.vBlock[35].Name(), "block 42");
    EXPECT_EQ(back.vBlock[13].Inherit(3), 7);
}

TEST_F(StageRecords, BlockAndItemInheritTheirGroups) {
    cEdBlock pb;
    pb.wPicture = 8;
    pb.byPictureKind = 3;
    pb.bySolid = 2;
    pb.EditConds().push_back(flowtest::MakeCond(1, 1));
    g_Stage.vBlockPalette.push_back(pb);
    cEdBlock b;
    b.byPaletteKind = 2;
    b.wPaletteIndex = 1;
    b.SetInherit(2, 1);
    b.SetInherit(1, 1);
    b.ApplyPaletteInherit();
    EXPECT_EQ(b.wPicture, 8);
    EXPECT_EQ(b.byPictureKind, 3);
    EXPECT_EQ(b.bySolid, 1); // group 6 not flagged
    EXPECT_EQ(b.Conds().size(), 1u);

    cEdItem pi;
    pi.vCmd.push_back(MakeItemCmd(2, 1));
    pi.byPickup = 2;
    pi.bySize = 3;
    g_Stage.vItemPalette.push_back(pi);
    cEdItem it;
    it.byPaletteKind = 2;
    it.wPaletteIndex = 1;
    it.vInherit[12] = 1;
    it.vInherit[9] = 1;
    it.ApplyPaletteInherit();
    EXPECT_EQ(it.vCmd.size(), 1u);
    EXPECT_EQ(it.byPickup, 2);
    EXPECT_EQ(it.bySize, 1);
}

TEST_F(StageRecords, ItemValidateAndPaletteLookup) {
    CMDLIMITS lim;
    lim.nSound = 3;
    SetCmdLimits(lim);
    cEdItem it;
    it.bySize = 0;
    it.wSound = 3;
    it.vCmd.push_back(MakeItemCmd(2, 1));
    it.vCmd[0].params.resize(40); // brought back to its kind's count
    cEdItem back;
    ASSERT_TRUE(flowtest::LoadBytes(back, RecordBytes(it)));
    EXPECT_EQ(back.bySize, 1);
    EXPECT_EQ(back.wSound, 0);
    EXPECT_EQ(back.vCmd[0].params.size(), CmdTypeRow(1, 2).nParams);

    g_Stage.vItemPalette.resize(3);
    EXPECT_EQ(GetEdItem(2, 2), &g_Stage.vItemPalette[2]);
    EXPECT_EQ(GetEdItem(2, 3), nullptr);
    EXPECT_EQ(GetEdItem(2, -1), nullptr);
    EXPECT_EQ(GetEdItem(1, -1), nullptr);
    EXPECT_EQ(GetEdItem(1, 0), nullptr); // no common palette yet
    EXPECT_EQ(GetEdItem(0, 1), nullptr);
    EXPECT_EQ(GetEdItem(3, 1), nullptr);
}

// The option-label lists of the record fields: fifteen lists in their order, each closed by an
// empty string; the on/off list reads "OFF", "ON".
TEST(OptionLabels, FifteenListsClosedByAnEmptyLabel) {
    std::string counts;
    for (const char* const* list : OptionLabelLists()) counts += std::to_string(OptionLabelCount(list)) + " ";
    EXPECT_EQ(counts, "2 2 2 3 2 2 1 5 5 3 3 9 6 3 2 ");
    EXPECT_STREQ(g_OptOnOff[0], "OFF");
    EXPECT_STREQ(g_OptOnOff[1], "ON");
    EXPECT_STREQ(g_OptOnOff[2], "");
    EXPECT_STREQ(g_OptMark[8], "7");
    EXPECT_STREQ(g_OptBlockEffect[5], "右移動 X=移動速度");
}
