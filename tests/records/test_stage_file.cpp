// The stage record and its file: defaults, speed derivation, the consistency step, round trips,
// upgrades of older files, damaged files and the named settings table.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "StageTestUtil.h"
#include "platform/system/WindowMessages.h"
#include "records/PaletteSource.h"
#include "records/StageSettings.h"
#include "tests/support/NamedSettingsCheck.h"
#include "tests/support/ScratchGame.h"

using namespace stagetest;
namespace fs = std::filesystem;

namespace {

class StageFile : public ::testing::Test {
protected:
    void SetUp() override {
        SetCmdLimits(CMDLIMITS{});
        SetCommonPaletteView(COMMONPALETTEVIEW{});
        g_Stage.Init();
        ResetCloseRequestCount();
    }
    void TearDown() override {
        SetCmdLimits(CMDLIMITS{});
        g_Stage.Init();
    }
    std::string Report() { return m_game.Report(); }

    ScratchGame m_game;
    const fs::path m_dir = m_game.Dir();
    std::vector<std::string>& m_boxes = m_game.boxes;
};

// Reads old-version bytes of st into a fresh stage.
cStage ReadOldStage(cStage& st, u32 v) {
    cStage out;
    EXPECT_TRUE(LoadBody(out, OldStageFile(st, v))) << "version " << v;
    return out;
}

} // namespace

TEST_F(StageFile, SpeedLevelsGiveStepsBasesAndRatios) {
    cStage st;
    struct Case { i32 level; u32 step; double base, ratio; };
    for (const Case& c : {Case{10, 10, 60, 6}, Case{11, 1, 60, 60}, Case{15, 5, 60, 12}, Case{19, 9, 60, 60.0 / 9},
                          Case{20, 20, 120, 6}, Case{1, 1, 6, 6}}) {
        st.SetSpeed(c.level);
        EXPECT_EQ(st.dwSpeedStep(), c.step) << c.level;
        EXPECT_DOUBLE_EQ(st.dSpeedBase(), c.base) << c.level;
        EXPECT_DOUBLE_EQ(st.dSpeedRatio(), c.ratio) << c.level;
        EXPECT_EQ(st.dwSpeedStep8(), 8 * c.step);
        EXPECT_EQ(st.dwSpeedStep6, 6 * c.step);
        EXPECT_DOUBLE_EQ(st.dAccelStep(), 0.4 / (c.step * c.step));
    }
    // No step per frame would divide by zero: one step, and a report line.
    for (i32 level : {0, -3}) {
        st.SetSpeed(level);
        EXPECT_EQ(st.dwSpeedLevel(), static_cast<u32>(level));
        EXPECT_EQ(st.dwSpeedStep(), 1u);
        EXPECT_DOUBLE_EQ(st.dSpeedRatio(), 6.0);
    }
    EXPECT_NE(Report().find("speed level 0"), std::string::npos);
}

TEST_F(StageFile, PrepareClampsPadsAndChecksReferences) {
    cStage st;
    st.dwWidth() = 30;
    st.dwHeight() = 20;
    st.Field(9) = 25;
    st.Field(10) = 40;
    st.Field(11) = 3;
    st.Field(12) = static_cast<u32>(-7);
    st.dwSpeedLevel() = 15;
    cEdBlock holder;
    holder.wPicture = 1;
    holder.byItemKind = 2;
    holder.wItemIndex = 7;
    st.vBlock.push_back(holder);
    st.vItemPalette.resize(5);
    // Carried items: one past the two placed items becomes none; a valid one stays.
    st.vItem.resize(2);
    st.vChara.resize(3);
    st.vChara[0].nHoldItem = 2;
    st.vChara[1].nHoldItem = 1;
    st.vChara[2].nHoldItem = cEdChara::kNoItem;
    const std::string bytes = FileBytes(st);
    cStage back;
    ASSERT_TRUE(LoadBody(back, bytes));
    EXPECT_EQ(back.Field(9), 10u);
    EXPECT_EQ(back.Field(10), 29u);
    EXPECT_EQ(back.Field(11), 3u);
    EXPECT_EQ(static_cast<i32>(back.Field(12)), -7); // signed: below the limit
    EXPECT_EQ(back.dwSpeedStep(), 5u);
    EXPECT_EQ(back.vBlockPalette.size(), 2u); // one entry is written back as two
    EXPECT_EQ(back.vBlock[0].byItemKind, 0);
    EXPECT_EQ(back.vChara[0].nHoldItem, cEdChara::kNoItem);
    EXPECT_EQ(back.vChara[1].nHoldItem, 1u);
    EXPECT_EQ(back.vChara[2].nHoldItem, cEdChara::kNoItem);
    EXPECT_EQ(back.vCharaPalette[1].nHoldItem, 0u);

    // Sizes that would make the engine's block map enormous are cut, with a report line.
    st.dwWidth() = 0x7FFFFFFF;
    st.dwHeight() = 5000;
    st.Prepare();
    EXPECT_EQ(st.dwWidth(), kMaxStageWidth);
    EXPECT_EQ(st.dwHeight(), kMaxStageHeight);
    EXPECT_NE(Report().find("stage width"), std::string::npos);

    // Box sizes far outside a cell are bounded, kept signed; ordinary ones stay.
    StageSettings::Set(st, eStage::SmallSizeW, 0x8000000C);
    StageSettings::Set(st, eStage::CharaHitSizeAW, 5000);
    StageSettings::Set(st, eStage::WalkBoxW, 20);
    st.Prepare();
    EXPECT_EQ(static_cast<i32>(StageSettings::Get(st, eStage::SmallSizeW)), -1024);
    EXPECT_EQ(StageSettings::Get(st, eStage::CharaHitSizeAW), 1024);
    EXPECT_EQ(StageSettings::Get(st, eStage::WalkBoxW), 20);
}

TEST_F(StageFile, PaletteEntryZeroIsAlwaysTheEmptyEntry) {
    cStage st;
    st.vCharaPalette[0].dwMaxHP = 500;
    st.vCharaPalette[0].strName = "junk";
    st.vCharaPalette[0].nHoldItem = 4;
    st.vCharaPalette[0].vFlow.push_back(flowtest::MakeRichFlow(1));
    st.vItemPalette[0].vCmd.push_back(MakeItemCmd(2, 1));
    st.vBlockPalette[0].wPicture = 3;
    st.vItemPalette[0].bySize = 9;
    cStage back;
    ASSERT_TRUE(LoadBody(back, FileBytes(st)));
    EXPECT_EQ(back.vCharaPalette[0].dwMaxHP, 10u);
    EXPECT_EQ(back.vCharaPalette[0].strName, "");
    EXPECT_EQ(back.vCharaPalette[0].nHoldItem, 0u);
    EXPECT_TRUE(back.vCharaPalette[0].vFlow.empty());
    EXPECT_TRUE(back.vItemPalette[0].vCmd.empty());
    EXPECT_EQ(back.vBlockPalette[0].wPicture, 0);
    EXPECT_EQ(back.vItemPalette[0].bySize, 1);
}

TEST_F(StageFile, WriteSnapshotTakesSettingsFromTheSecondStage) {
    cStage play = MakeRichStage();
    cStage start;
    start.dwWidth() = 77;
    start.strStage = "at start";
    start.vRankSwitch = {0, 0, 0, 0, 0};
    start.vName.resize(2);
    cRecordWriter w;
    play.WriteSnapshot(w, start);
    cRecordReader r(w.Take(), kProgVer);
    cStage back;
    {
        StagePaletteScope scope(back);
        back.Load(r);
    }
    ASSERT_FALSE(r.Failed());
    EXPECT_EQ(back.dwWidth(), 77u);
    EXPECT_EQ(back.strStage, "at start");
    EXPECT_EQ(back.vRankSwitch[0], 0u);
    EXPECT_EQ(back.vName.size(), 2u);
    EXPECT_EQ(back.vBlock.size(), 30u);
    EXPECT_EQ(back.vChara.size(), 2u);
}

// The lists of older files; the header's gates and upgrades are pinned by its table.
// A stage file's doubles that are not finite (the header's gravity, a background layer's scroll,
// a movement's inertial acceleration) are read as 0, with one report line for the file; finite
// ones, however far or small, as they are. A file without such a value adds no line.
TEST_F(StageFile, DoublesThatAreNotFiniteReadAs0WithOneLineForTheFile) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    cStage st = MakeRichStage();
    st.dBaseAccel() = -nan;
    cEdBack& back = st.vBack.back();
    back.dScrollSpeedX = inf;
    back.dScrollSpeedY = 1e300;
    back.dScrollX = -inf;
    back.dScrollY = std::numeric_limits<double>::denorm_min();
    st.vChara[0].vFlow[0].cmds[0].move->dValue31 = nan;
    fs::create_directories(m_dir / "data" / "stg4");
    WriteFile(m_dir / "data" / "stg4" / "odd.stg4_001", FileBytes(st));
    cStage clean = MakeRichStage();
    WriteFile(m_dir / "data" / "stg4" / "clean.stg4_001", FileBytes(clean));

    cStage loaded;
    ASSERT_EQ(LoadStageFile(loaded, "data\\stg4\\odd.stg4_001"), 1);
    const cEdBack& b = loaded.vBack.back();
    char shown[160];
    std::snprintf(shown, sizeof shown, "%g %g, %g %g %g %g, %g", loaded.dBaseAccel(), loaded.dAccelStep(), b.dScrollSpeedX,
                  b.dScrollSpeedY, b.dScrollX, b.dScrollY, loaded.vChara[0].vFlow[0].cmds[0].move->dValue31);
    EXPECT_STREQ(shown, "0 0, 0 1e+300 0 4.94066e-324, 0");
    ASSERT_EQ(LoadStageFile(loaded, "data\\stg4\\clean.stg4_001"), 1);
    const std::string report = Report();
    const std::string line = "data\\stg4\\odd.stg4_001 に数でない値 (NaN、無限大) があるため 0 として読みました。\r\n";
    EXPECT_NE(report.find(line), std::string::npos) << report;
    EXPECT_EQ(report.find("に数でない値"), report.rfind("に数でない値")) << report;
}

TEST_F(StageFile, OlderFilesUpgradeTheLists) {
    cStage st = MakeRichStage();
    // Ranking switches 3 and 4 are new below 181; a new stage has all five on.
    st.vRankSwitch = {1, 1, 1};
    cStage v180 = ReadOldStage(st, 180);
    EXPECT_EQ(v180.vRankSwitch, (cVector<u32>{1, 1, 1, 0, 0}));
    st.vRankSwitch = {1, 1, 1, 1, 1};
    EXPECT_EQ(ReadOldStage(st, 181).vRankSwitch[4], 1u);

    st.vName.resize(3);
    EXPECT_EQ(ReadOldStage(st, 753).vName.size(), kStageNameCount);
    EXPECT_EQ(ReadOldStage(st, 754).vName.size(), 3u);
}

TEST_F(StageFile, TrailerFromVersion173AndItsCheckFrom174) {
    cStage st = MakeRichStage();
    const std::string v172 = OldStageFile(st, 172);
    const std::string v173 = OldStageFile(st, 173);
    EXPECT_EQ(v173.size(), v172.size() + 4);
    cStage a, b;
    EXPECT_TRUE(LoadBody(a, v172));
    EXPECT_TRUE(LoadBody(b, v173));

    // 173's trailer is skipped, not tested; from 174 a wrong one is a damaged file.
    std::string bad173 = v173;
    bad173[bad173.size() - 1] = 0x55;
    WriteFile(m_dir / "a.stg4_000", bad173);
    EXPECT_EQ(CheckStageFile((m_dir / "a.stg4_000").string()), 1);
    cStage skipped;
    EXPECT_TRUE(LoadBody(skipped, bad173));
    std::string bad = FileBytes(st);
    bad[bad.size() - 1] = 0x55;
    WriteFile(m_dir / "b.stg4_000", bad);
    EXPECT_EQ(CheckStageFile((m_dir / "b.stg4_000").string()), 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_NE(m_boxes[0].find("が破損しています！"), std::string::npos);
    EXPECT_EQ(CloseRequestCount(), 0u); // the program goes on
    cStage c;
    EXPECT_FALSE(LoadBody(c, bad));
    // 174 is the first version whose trailer is tested.
    std::string bad174 = OldStageFile(st, 174);
    EXPECT_TRUE(LoadBody(c, bad174));
    bad174[bad174.size() - 1] = 0x55;
    EXPECT_FALSE(LoadBody(c, bad174));
    WriteFile(m_dir / "c.stg4_000", bad174);
    EXPECT_EQ(CheckStageFile((m_dir / "c.stg4_000").string()), 0);
    // A missing file is left to the load that follows.
    EXPECT_EQ(CheckStageFile((m_dir / "none.stg4_000").string()), 1);
}

TEST_F(StageFile, OlderParameterRecordsDoNotKeepTheStageBefore) {
    cStage st;
    st.aParams[2].Set(1, 2, 3, 4, 5, 6, 7, 8);
    // Parameter records of 124 lack three values, which are not left from the stage before.
    cStage reused;
    reused.aParams[2].Set(9, 9, 9, 9, 9, 9, 9, 9);
    ASSERT_TRUE(LoadBody(reused, OldStageFile(st, 124)));
    EXPECT_EQ(reused.aParams[2].dwValue1, 1u);
    EXPECT_EQ(reused.aParams[2].dwValue2, 0u);
    EXPECT_EQ(reused.aParams[2].dwValue4, 0u);
    EXPECT_EQ(reused.aParams[2].dwValue5, 5u);
}

TEST_F(StageFile, DamagedFilesFailWithoutCrashOrHugeAllocation) {
    cStage st = MakeRichStage();
    const std::string good = FileBytes(st);
    const fs::path file = m_dir / "d.stg4_000";
    cStage target = MakeRichStage();
    target.strFilePath = "kept";

    // Truncated anywhere: the load fails and the stage keeps what it held.
    for (std::size_t cut : {std::size_t{3}, std::size_t{10}, good.size() / 3, good.size() / 2, good.size() - 1}) {
        WriteFile(file, good.substr(0, cut));
        EXPECT_EQ(LoadStageFile(target, file.string()), 0) << cut;
    }
    EXPECT_EQ(target.vBlock.size(), 30u);
    EXPECT_EQ(target.strFilePath, "kept");

    // Garbage after the trailer.
    WriteFile(file, good + "xx");
    EXPECT_EQ(LoadStageFile(target, file.string()), 0);

    // A huge count in any word of a small stage (every list count among them) is refused
    // before anything is allocated for it.
    cStage small;
    small.vChara.push_back(MakeHero(1, 1));
    const std::string bytes = FileBytes(small);
    const u32 huge = 0x7FFFFFFF;
    int refused = 0;
    for (std::size_t at = 4; at + 4 <= bytes.size(); at += 4) {
        std::string b = bytes;
        std::memcpy(&b[at], &huge, 4);
        cStage s;
        refused += LoadBody(s, b) ? 0 : 1;
    }
    EXPECT_GT(refused, 20);

    // A newer file is refused.
    std::string newer = good;
    const u32 v = kProgVer + 1;
    std::memcpy(&newer[0], &v, 4);
    WriteFile(file, newer);
    EXPECT_EQ(LoadStageFile(target, file.string()), 0);
}

TEST_F(StageFile, FlowNestingBombIsADamagedFile) {
    // A character whose flow holds a command holding a flow ... 40 deep.
    cFlow flow;
    flow.trigger = 1;
    for (int i = 0; i < 40; ++i) {
        cFlowCmd cmd;
        cmd.cmdKind = 1;
        cmd.flows.push_back(flow);
        cFlow outer;
        outer.trigger = 1;
        outer.cmds.push_back(cmd);
        flow = outer;
    }
    cStage st;
    cEdChara hero = MakeHero(1, 1);
    hero.vFlow.push_back(flow);
    st.vChara.push_back(hero);
    cStage back;
    EXPECT_FALSE(LoadBody(back, FileBytes(st)));
}

TEST_F(StageFile, NamedSettingsReachTheirFields) {
    cStage st;
    StageSettings::Set(st, eStage::AutoScrollSpeedY, -480);
    EXPECT_EQ(static_cast<i32>(st.Field(18)), -480);
    EXPECT_EQ(StageSettings::Get(st, eStage::AutoScrollSpeedY), -480);
    st.SetSpeed(15);
    EXPECT_DOUBLE_EQ(StageSettings::Get(st, eStageD::SpeedLimit), 12.0);
    EXPECT_DOUBLE_EQ(StageSettings::Get(st, eStageD::SpeedUnit), 5.0);
    EXPECT_EQ(StageSettings::Get(st, eStage::StepsPerFrame), 5);
    EXPECT_EQ(StageSettings::RepeatPeriod(st), 30);
    EXPECT_TRUE(StageSettings::AreaOn(st, 4));
    EXPECT_FALSE(StageSettings::AreaOn(st, 1));
    EXPECT_FALSE(StageSettings::AreaOn(st, 6));
    EXPECT_TRUE(StageSettings::RankEnabled(st, 4));
    EXPECT_FALSE(StageSettings::RankEnabled(st, 5));

    ExpectWellFormedTable(StageSettings::Table());
    ExpectWellFormedTable(StageSettings::DoubleTable());
    // Every entry names a header field of its kind, and its accessor reaches that field.
    cStage marked;
#define TOBRELK_X(name, type, n, mark, why, shared)                                                            \
    EXPECT_FALSE(cStage::IsDoubleField(n)) << #name;                                                           \
    marked.Field(n) = 1000u + n;                                                                               \
    EXPECT_EQ(StageSettings::Get(marked, eStage::name), 1000 + n) << #name;
    TOBRELK_STAGE_SETTINGS(TOBRELK_X)
#undef TOBRELK_X
#define TOBRELK_X(name, n, mark, why, shared)                                                                  \
    EXPECT_TRUE(cStage::IsDoubleField(n)) << #name;                                                            \
    marked.FieldF(n) = 0.5 + n;                                                                                \
    EXPECT_EQ(StageSettings::Get(marked, eStageD::name), 0.5 + n) << #name;
    TOBRELK_STAGE_DOUBLES(TOBRELK_X)
#undef TOBRELK_X
}

// Placed blocks in every form a file holds them, read through the whole stage: the usual one
// (read in one piece) and the others (a name, conditions, no or many inherit flags) give back
// what was written, and item references are checked against the item palette as padded.
TEST_F(StageFile, PlacedBlocksInEveryStoredFormReadAsWritten) {
    cStage st;
    st.vItemPalette.resize(1); // padded to two entries when the stage is prepared
    auto block = [](i16 x, u16 picture) {
        cEdBlock b;
        b.wPicture = picture;
        b.sPosX = x;
        b.sPosY = static_cast<i16>(-x);
        b.dwGroup8 = 0x01020304u + static_cast<u32>(x);
        return b;
    };
    std::vector<cEdBlock> blocks;
    blocks.push_back(block(1, 5));
    blocks.push_back(block(2, 6));
    blocks.back().SetName("named");
    blocks.push_back(block(3, 7));
    blocks.back().EditConds().resize(2);
    blocks.back().EditConds()[1].kind = 3;
    blocks.back().EditConds()[1].value = 42;
    blocks.push_back(block(4, 8));
    const std::vector<u8> longRow(20, 0); // past the row kept in the block
    blocks.back().SetInheritRow(longRow.data(), longRow.size());
    blocks.back().SetInherit(19, 1);
    blocks.push_back(block(5, 9));
    blocks.back().SetInheritRow(nullptr, 0);
    blocks.push_back(block(6, 0)); // no picture: not solid
    blocks.push_back(block(7, 1));
    blocks.back().byItemKind = 2;
    blocks.back().wItemIndex = 1; // inside the padded palette: kept
    blocks.push_back(block(8, 1));
    blocks.back().byItemKind = 2;
    blocks.back().wItemIndex = 2; // past it: none
    for (const cEdBlock& b : blocks) st.vBlock.push_back(b);

    const std::string bytes = FileBytes(st);
    cStage back;
    ASSERT_TRUE(LoadBody(back, bytes));
    ASSERT_EQ(back.vBlock.size(), blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const cEdBlock& b = back.vBlock[static_cast<long long>(i)];
        EXPECT_EQ(b.sPosX, static_cast<i16>(i + 1)) << i;
        EXPECT_EQ(b.sPosY, static_cast<i16>(-static_cast<int>(i + 1))) << i;
        EXPECT_EQ(b.dwGroup8, 0x01020304u + i + 1) << i;
        EXPECT_EQ(b.wPicture, blocks[i].wPicture) << i;
    }
    EXPECT_EQ(back.vBlock[1].Name(), "named");
    ASSERT_EQ(back.vBlock[2].Conds().size(), 2u);
    EXPECT_EQ(back.vBlock[2].Conds()[1].value, 42);
    ASSERT_EQ(back.vBlock[3].InheritCount(), 20u);
    EXPECT_EQ(back.vBlock[3].Inherit(19), 1);
    EXPECT_EQ(back.vBlock[4].InheritCount(), 0u);
    EXPECT_EQ(back.vBlock[5].bySolid, 0);
    EXPECT_EQ(back.vBlock[0].bySolid, 1);
    EXPECT_EQ(back.vBlock[6].byItemKind, 2);
    EXPECT_EQ(back.vBlock[6].wItemIndex, 1);
    EXPECT_EQ(back.vBlock[7].byItemKind, 0);
    EXPECT_EQ(back.vBlock[7].wItemIndex, 0);
    // Written again as read.
    EXPECT_EQ(FileBytes(back), FileBytes(st));

    // The same stage from an older version goes through the same reads.
    cStage old = ReadOldStage(st, 200);
    ASSERT_EQ(old.vBlock.size(), blocks.size());
    EXPECT_EQ(old.vBlock[2].Conds().size(), 2u);
    EXPECT_EQ(old.vBlock[3].InheritCount(), 20u);

    // Cut anywhere inside the placed blocks, the stage fails to load (the usual form is read
    // in one piece, so every cut through it must still be seen).
    cStage none = st;
    none.vBlock.clear();
    const std::string shorter = FileBytes(none);
    std::size_t from = 0;
    while (from < shorter.size() && shorter[from] == bytes[from]) ++from;
    const std::size_t to = from + (bytes.size() - shorter.size());
    for (std::size_t cut = from; cut <= to; ++cut) {
        cStage s;
        EXPECT_FALSE(LoadBody(s, bytes.substr(0, cut))) << cut;
    }
}

TEST_F(StageFile, LongRunsOfUsualBlocksAroundOddOnesReadAsWritten) {
    // Thousands of blocks in their usual form are read in runs; blocks in other forms, at the
    // ends of runs and at the thread's cancel points, go the long way. Either way each reads
    // as the general record read would.
    cStage st;
    cEdBlock pal;
    pal.wPicture = 77;
    pal.byPictureKind = 3;
    pal.wGroup2 = 5;
    st.vBlockPalette.assign(2, cEdBlock());
    st.vBlockPalette[1] = pal;
    st.vItemPalette.resize(1);
    constexpr int kBlocks = 9000;
    const std::vector<int> odd = {0, 4094, 4095, 4096, 4097, 8191, 8192, kBlocks - 1};
    for (int i = 0; i < kBlocks; ++i) {
        cEdBlock b;
        b.wPicture = static_cast<u16>(1 + i % 50);
        b.byPictureKind = static_cast<u8>(i % 4);
        b.sPosX = static_cast<i16>(i % 1000);
        b.sPosY = static_cast<i16>(i / 1000);
        b.dwGroup8 = static_cast<u32>(i) * 2654435761u;
        if (i % 7 == 0) {
            // Takes its picture group from the stage palette's entry 1 (as it holds already, so
            // that it writes back as it was).
            b.byPaletteKind = 2;
            b.wPaletteIndex = 1;
            b.SetInherit(2, 1);
            b.wPicture = 77;
            b.byPictureKind = 3;
            b.wGroup2 = 5;
        }
        if (i % 11 == 0) {
            b.byItemKind = 2;
            b.wItemIndex = static_cast<u16>(i % 2); // inside the padded item palette
        }
        st.vBlock.push_back(b);
    }
    for (int i : odd) {
        cEdBlock& b = st.vBlock[i];
        switch (i % 3) {
        case 0: b.SetName("odd"); break;
        case 1: b.EditConds().resize(1); break;
        default: b.SetInherit(3, 2); break;
        }
    }
    const std::string bytes = FileBytes(st);
    cStage back;
    ASSERT_TRUE(LoadBody(back, bytes));
    ASSERT_EQ(back.vBlock.size(), static_cast<std::size_t>(kBlocks));
    for (int i = 0; i < kBlocks; ++i) {
        const cEdBlock& b = back.vBlock[i];
        ASSERT_EQ(b.sPosX, i % 1000) << i;
        ASSERT_EQ(b.dwGroup8, static_cast<u32>(i) * 2654435761u) << i;
        ASSERT_EQ(b.wPicture, i % 7 == 0 ? 77 : 1 + i % 50) << i;
        ASSERT_EQ(b.byItemKind, i % 11 == 0 ? 2 : 0) << i;
    }
    EXPECT_EQ(back.vBlock[0].Name(), "odd");
    EXPECT_EQ(back.vBlock[4096].Conds().size(), 1u);
    EXPECT_EQ(back.vBlock[4094].Inherit(3), 2);
    EXPECT_TRUE(FileBytes(back) == bytes);
    // A palette entry that differs is taken by the blocks that inherit from it.
    cStage changed = st;
    changed.vBlockPalette[1].wPicture = 90;
    cStage inherited;
    ASSERT_TRUE(LoadBody(inherited, FileBytes(changed)));
    for (int i = 0; i < kBlocks; i += 7) ASSERT_EQ(inherited.vBlock[i].wPicture, 90) << i;
    EXPECT_EQ(inherited.vBlock[1].wPicture, 2);

    // From an older file the same blocks take the picture upgrade of their time.
    cStage old = ReadOldStage(st, 200);
    ASSERT_EQ(old.vBlock.size(), static_cast<std::size_t>(kBlocks));
    for (int i = 1; i < 40; ++i) {
        const cEdBlock& b = old.vBlock[i];
        const u16 stored = i % 7 == 0 ? 77 : static_cast<u16>(1 + i % 50);
        const u8 kind = i % 7 == 0 ? 3 : static_cast<u8>(i % 4);
        EXPECT_EQ(b.wPicture, kind == 3 ? std::min<u16>(stored + 1, 119) : stored) << i;
    }

    // Cut anywhere around a run's end, or damaged there, the load fails or reads without harm.
    const std::size_t at = bytes.size() / 2; // inside the placed blocks
    for (std::size_t cut = at; cut < at + 200; ++cut) {
        cStage s;
        EXPECT_FALSE(LoadBody(s, bytes.substr(0, cut))) << cut;
    }
    for (std::size_t i = at; i < at + 200; ++i) {
        std::string b = bytes;
        b[i] = static_cast<char>(b[i] ^ 0x5A);
        cStage s;
        if (LoadBody(s, b)) FileBytes(s);
    }
}

// Placed blocks whose references were good where the stage was saved and are not where it is
// read (smaller common palettes): read in runs, each block settles exactly as the general read
// and the checks that follow it settle the same block (palette and item references dropped,
// inheritance, a block without a picture made passable), field for field.
TEST_F(StageFile, UsualBlocksSettleAsTheGeneralReadDoes) {
    cVector<cEdBlock> commonBlocks(4);
    cVector<cEdItem> commonItems(4);
    SetCommonPaletteView(COMMONPALETTEVIEW{&commonBlocks, nullptr, &commonItems});
    cStage st;
    st.vBlockPalette.assign(3, cEdBlock());
    st.vBlockPalette[2].wPicture = 44;
    st.vItemPalette.resize(3);
    constexpr int kBlocks = 4 * 4 * 3 * 3 * 2 * 2;
    for (int i = 0; i < kBlocks; ++i) {
        cEdBlock b;
        int k = i;
        b.byPaletteKind = static_cast<i8>(k % 4), k /= 4; // 3: no palette of its own
        b.wPaletteIndex = static_cast<i16>((k % 4) == 3 ? 5 : k % 4), k /= 4;
        b.byItemKind = static_cast<i8>(k % 3), k /= 3;
        b.wItemIndex = static_cast<u16>(k % 3), k /= 3;
        b.wPicture = static_cast<u16>(k % 2 ? 9 : 0), k /= 2;
        if (k % 2) b.SetInherit(2, 1); // the picture group
        b.byGroup10 = 6;
        b.dwGroup8 = 0xA5A50000u + static_cast<u32>(i);
        b.sPosX = static_cast<i16>(i);
        st.vBlock.push_back(b);
    }
    std::string bytes = FileBytes(st);
    // Each block as the file holds it (saving checked it against the palettes of the save).
    std::vector<std::string> written;
    {
        StagePaletteScope scope(st);
        for (cEdBlock& b : st.vBlock) written.push_back(RecordBytes(b));
    }
    // Saving made the blocks without a picture passable; another program's file may not have.
    auto makeSolid = [](std::string& s, std::size_t body) {
        s[body + offsetof(EDBLOCK_DATA, bySolid)] = 2;
        s[body + offsetof(EDBLOCK_DATA, byGroup10)] = 3;
    };
    for (int i = 0; i < kBlocks; i += 2) {
        const u32 mark = 0xA5A50000u + static_cast<u32>(i);
        const std::size_t at = bytes.find(std::string(reinterpret_cast<const char*>(&mark), 4));
        ASSERT_NE(at, std::string::npos) << i;
        makeSolid(bytes, at - offsetof(EDBLOCK_DATA, dwGroup8));
        makeSolid(written[static_cast<std::size_t>(i)], 4);
    }

    commonBlocks.clear(); // even entry 0 is gone
    commonItems.resize(1);
    cStage back;
    ASSERT_TRUE(LoadBody(back, bytes));
    ASSERT_EQ(back.vBlock.size(), static_cast<std::size_t>(kBlocks));
    StagePaletteScope scope(back);
    int dropped = 0, inherited = 0;
    for (int i = 0; i < kBlocks; ++i) {
        cEdBlock general;
        ASSERT_TRUE(flowtest::LoadBytes(general, written[static_cast<std::size_t>(i)])) << i;
        general.CheckItemRef();
        const cEdBlock& b = back.vBlock[i];
        EXPECT_EQ(0, std::memcmp(static_cast<const EDBLOCK_DATA*>(&b), static_cast<const EDBLOCK_DATA*>(&general),
                                 sizeof(EDBLOCK_DATA)))
            << i;
        EXPECT_EQ(b.sPosX, i);
        EXPECT_EQ(b.InheritRow(), general.InheritRow()) << i;
        dropped += st.vBlock[i].byPaletteKind != b.byPaletteKind || st.vBlock[i].byItemKind != b.byItemKind;
        inherited += b.wPicture == 44;
    }
    // The cases the test means to reach are reached.
    EXPECT_GT(dropped, kBlocks / 8);
    EXPECT_GT(inherited, 0);
    SetCommonPaletteView(COMMONPALETTEVIEW{});
}

// A stage file far bigger than the reader's window (its placed blocks alone also bigger than the
// storage kept for big lists): read from the file as from memory, whatever form the blocks at the
// window's edges have, again into the same stage, and refused cleanly when cut short or grown
// after it was opened.
TEST_F(StageFile, BigFilesReadPartByPartAsFromMemory) {
    cStage st = MakeRichStage();
    st.dwWidth() = 1000;
    st.dwHeight() = 100;
    const std::size_t first = st.vBlock.size();
    for (int i = 0; i < 90000; ++i) {
        cEdBlock b;
        b.wPicture = static_cast<u16>(1 + i % 7);
        b.sPosX = static_cast<i16>(i % 1000);
        b.sPosY = static_cast<i16>(i / 1000);
        // Every so often a block of another form (a name; a long inherit row), read the general way.
        if (i % 997 == 0) b.SetName("n" + std::to_string(i));
        if (i % 1499 == 0) b.SetInherit(11, 1);
        st.vBlock.push_back(b);
    }
    const std::string good = FileBytes(st);
    ASSERT_GT(good.size(), std::size_t{4} << 20);
    cStage fromMemory;
    ASSERT_TRUE(LoadBody(fromMemory, good));
    const std::string expect = FileBytes(fromMemory);

    const fs::path file = m_dir / "big.stg4_000";
    WriteFile(file, good);
    cStage target;
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(LoadStageFile(target, file.string()), 1) << round;
        ASSERT_EQ(target.vBlock.size(), st.vBlock.size());
        EXPECT_EQ(target.vBlock[first + 997].Name(), "n997");
        EXPECT_TRUE(FileBytes(target) == expect) << round;
    }

    // Cut short or grown after it was opened, while it is read.
    for (bool grow : {false, true}) {
        WriteFile(file, good);
        LoadResult why = LoadResult::Loaded;
        auto r = OpenDataFileRead(file.string(), &why);
        ASSERT_TRUE(r) << grow;
        if (grow) WriteFile(file, good + "xx");
        else fs::resize_file(file, good.size() / 2);
        cStage s;
        StagePaletteScope scope(s);
        s.Load(*r);
        EXPECT_TRUE(r->Failed() || !r->AtEnd()) << grow;
    }
    // Cut short on disk: refused, the stage as it was.
    for (std::size_t cut : {good.size() / 3, good.size() - 5}) {
        WriteFile(file, good.substr(0, cut));
        EXPECT_EQ(LoadStageFile(target, file.string()), 0) << cut;
    }
    EXPECT_TRUE(FileBytes(target) == expect);
}
