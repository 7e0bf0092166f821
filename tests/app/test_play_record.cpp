// The play record's file form, its upgrades and keys, and the story saves and challenge results
// that carry it.
#include <gtest/gtest.h>

#include "FrontEndTestUtil.h"
#include "app/Game.h"
#include "app/PlayRecord.h"
#include "app/PlayRecordNames.h"
#include "app/StorySave.h"
#include "database/DataPaths.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "records/DataFile.h"
#include "records/EdChara.h"
#include "tests/records/RecordTables.h"
#include "tests/support/NamedSettingsCheck.h"

using fetest::Golden;

namespace {

SYSTEMTIME Feb3() {
    SYSTEMTIME t;
    t.wYear = 2024;
    t.wMonth = 2;
    t.wDayOfWeek = 6;
    t.wDay = 3;
    t.wHour = 9;
    t.wMinute = 5;
    t.wSecond = 7;
    t.wMilliseconds = 123;
    return t;
}

// Every registered field gets its own number (first, first + 1, ...) so that the order shows.
void Number(cPlayRecord& r, u32 first = 1) {
    u32* f[35] = {&r.bCarry, reinterpret_cast<u32*>(&r.nMapX), reinterpret_cast<u32*>(&r.nMapY), &r.nMapEntry,
                  &r.nSpare, &r.bStageVar, &r.nStageVarIndex, &r.nStageVarValue, &r.nStageNo, &r.bStageStarted,
                  &r.nStartLives, &r.nLives, &r.nScore, &r.nTotalScore, &r.nBestSum, &r.nTimeLeftSum,
                  &r.nPlayTimeSum, &r.nHpSum, &r.nSpSum, &r.bChallengeName, &r.nBgmPlaying, &r.nBgmParam,
                  &r.nMapSceneValue, &r.bMapReturn, reinterpret_cast<u32*>(&r.nMapPrevX),
                  reinterpret_cast<u32*>(&r.nMapPrevY), &r.nChallengeOpen, reinterpret_cast<u32*>(&r.nSaveSlot),
                  &r.bAutoSave, &r.bShowRanking, reinterpret_cast<u32*>(&r.nRankTable), &r.nClearParam1,
                  &r.nClearParam2, &r.nClearParam3, &r.nClearParam4};
    for (u32 i = 0; i < 35; ++i) *f[i] = i + first;
}

std::vector<i64> Fields(const cPlayRecord& r) {
    return golden::Vals(r.bCarry, r.nMapX, r.nMapY, r.nMapEntry, r.nSpare, r.bStageVar, r.nStageVarIndex,
                        r.nStageVarValue, r.nStageNo, r.bStageStarted, r.nStartLives, r.nLives, r.nScore,
                        r.nTotalScore, r.nBestSum, r.nTimeLeftSum, r.nPlayTimeSum, r.nHpSum, r.nSpSum,
                        r.bChallengeName, r.nBgmPlaying, r.nBgmParam, r.nMapSceneValue, r.bMapReturn, r.nMapPrevX,
                        r.nMapPrevY, r.nChallengeOpen, r.nSaveSlot, r.bAutoSave, r.bShowRanking, r.nRankTable,
                        r.nClearParam1, r.nClearParam2, r.nClearParam3, r.nClearParam4);
}

// What a play record keeps after its fields, as version v writes it with nothing in its lists
// (the save time, the carry flags of 501 on, the carried status, bests, challenge rows,
// switches and variables).
std::string EmptyRecordTail(u32 v) {
    Golden g;
    g.Raw(std::string(16, '\0'));
    if (v >= 501) g.U32(0);
    g.U32(0).U32(0).U32(0).U32(0).U32(0);
    return g.s;
}

class PlayRecordFile : public fetest::GameFolder {
protected:
    void SetUp() override {
        GameFolder::SetUp();
        g_SystemData.nChallengeValue = 2;
        SetLocalTimeSource(Feb3);
    }
    void TearDown() override {
        SetLocalTimeSource(nullptr);
        GameFolder::TearDown();
    }

    // A record with something in every part of the file.
    cPlayRecord Full() {
        cPlayRecord r;
        Number(r);
        r.strStageFile = "Stage01.";
        r.strStageKey = "Stage01_c005_12.";
        r.strRankName = "abc";
        r.tSaved = Feb3();
        r.vCarryFlag[3] = 1;
        r.vCarried[0].nCarry11 = 11;
        r.vCarried[0].nCarry12 = 12;
        r.vCarried[0].nCarry22 = 22;
        r.vCarried[0].nCarry23 = 23;
        r.vCarried[0].nCarry24 = 24;
        cStageBest b;
        b.strFile = "Stage01.";
        b.strKey = "Stage01.";
        b.nKeyA = 3;
        b.nKeyB = 4;
        b.nKeyC = 5;
        b.nBest = 500;
        r.vStageBest.push_back(b);
        r.vChallenge.resize(2);
        r.vChallenge[0].nValue1 = 1;
        r.vChallenge[0].nValue2 = 700;
        r.vSwitch[5] = 1;
        r.vVar[1000] = -7;
        return r;
    }

    // The same record written by hand from the file tables.
    std::string FullGolden() {
        Golden g;
        g.U32(35);
        for (u32 i = 1; i <= 35; ++i) g.U32(i == 27 ? 2 : i); // challenge-open clamps to the 2 stages
        g.U32(3).Str("Stage01.").Str("Stage01_c005_12.").Str("abc");
        g.U16(2024).U16(2).U16(6).U16(3).U16(9).U16(5).U16(7).U16(123);
        g.U32(25);
        for (int i = 0; i < 25; ++i) g.U32(i == 3 ? 1 : 0);
        g.U32(1).U32(5).U32(11).U32(12).U32(22).U32(23).U32(24).U32(0).Raw(rectables::ResetChara());
        g.U32(1).U32(4).U32(3).U32(4).U32(5).U32(500).U32(2).Str("Stage01.").Str("Stage01.");
        g.U32(2).U32(2).U32(1).U32(700).U32(0).U32(2).U32(0).U32(0).U32(0);
        g.U32(1000);
        for (int i = 0; i < 1000; ++i) g.U32(i == 0 || i == 5 ? 1 : 0);
        g.U32(1001);
        for (int i = 0; i < 1001; ++i) g.I32(i == 1000 ? -7 : 0);
        return g.s;
    }
};

TEST_F(PlayRecordFile, StorySaveMatchesTheFileTablesAndReadsBackIdentical) {
    cPlayRecord r = Full();
    ASSERT_EQ(SaveStorySlot(r, 0), 1);
    const std::string file = fetest::ReadAll(m_root / "user_data/story/Story01.dat");
    EXPECT_EQ(file, Golden().U32(824).Raw(FullGolden()).s);

    g_SystemData.vInfiniteLives.assign(4, 0); // the lives rule leaves finite lives alone
    cPlayRecord back;
    ASSERT_EQ(LoadStorySlot(back, 0), 1);
    ASSERT_EQ(SaveStorySlot(back, 1), 1);
    EXPECT_EQ(fetest::ReadAll(m_root / "user_data/story/Story02.dat"), file);
    std::vector<i64> numbers = golden::Seq(35);
    numbers[26] = 2;
    EXPECT_EQ(Fields(back), numbers);
    EXPECT_EQ(back.vVar[1000], -7);
    EXPECT_EQ(back.strStageFile + back.strStageKey + back.strRankName, "Stage01.Stage01_c005_12.abc");
    EXPECT_EQ(golden::Vals(back.tSaved.wDayOfWeek, back.tSaved.wMilliseconds, back.vCarryFlag[3],
                           back.vCarried[0].nCarry24, back.vStageBest[0].nKeyC, back.vChallenge[0].nValue2),
              (std::vector<i64>{6, 123, 1, 24, 5, 700}));
    EXPECT_EQ(g_StorySlots[0].bUsed, 1u);
    EXPECT_EQ(FormatSaveTime(g_StorySlots[0]), "2024/02/03 09:05\n");
}

TEST_F(PlayRecordFile, SlotNamesAndTheSlotList) {
    std::string name;
    MakeStorySlotName(name, 0);
    EXPECT_EQ(name, "user_data\\story\\Story01.dat");
    MakeStorySlotName(name, 98);
    EXPECT_EQ(name, "user_data\\story\\Story99.dat");

    cPlayRecord r;
    ASSERT_EQ(SaveStorySlot(r, 3), 1);
    fetest::WriteAll(m_root / "user_data/story/Story06.dat", "\x01\x02"); // too short to be a save
    cVector<cStorySlotInfo> slots(kStorySlots);
    LoadStorySlotList(slots);
    for (int i = 0; i < kStorySlots; ++i) EXPECT_EQ(slots[i].bUsed, i == 3 || i == 5 ? 1u : 0u) << i;
    EXPECT_EQ(FormatSaveTime(slots[3]), "2024/02/03 09:05\n");
    EXPECT_EQ(FormatSaveTime(slots[0]), "");
    // A damaged slot is not an empty one.
    EXPECT_EQ(slots[5].bDamaged, 1u);
    EXPECT_EQ(FormatSaveTime(slots[5]), Utf8ToSjis("破損しています\n"));
}

TEST_F(PlayRecordFile, FailedSaveKeepsTheOldFileAndTheSlotListAndSaysSo) {
    cPlayRecord r;
    r.nScore = 111;
    ASSERT_EQ(SaveStorySlot(r, 0), 1);
    const std::string before = fetest::ReadAll(m_root / "user_data/story/Story01.dat");
    g_StorySlots[4].bUsed = 0;

    r.nScore = 222;
    SetAtomicWriteFailAfter(100);
    EXPECT_EQ(SaveStorySlot(r, 0), 0);
    EXPECT_EQ(SaveStorySlot(r, 4), 0);
    SetAtomicWriteFailAfter(-1);
    EXPECT_EQ(fetest::ReadAll(m_root / "user_data/story/Story01.dat"), before);
    EXPECT_FALSE(std::filesystem::exists(m_root / "user_data/story/Story05.dat"));
    EXPECT_EQ(g_StorySlots[4].bUsed, 0u);
    ASSERT_EQ(m_vBox.size(), 2u);
    EXPECT_NE(m_vBox[0].find("Story01.dat"), std::string::npos);
}

// A save whose folder does not reach the disk is not done (a power cut may take the new file and
// the old one): it fails and says so. The folders made at start are flushed into their parent
// too, each failure with its line; folders that are there already are left alone.
TEST_F(PlayRecordFile, AFolderFlushThatFailsFailsTheSave) {
    SetReportFile((m_root / "Report_Game.txt").string());
    cPlayRecord r;
    g_StorySlots[0].bUsed = 0;
    SetFolderFlushFails(true);
    EXPECT_EQ(SaveStorySlot(r, 0), 0);
    EXPECT_EQ(g_StorySlots[0].bUsed, 0u);
    std::filesystem::remove_all(m_root / "user_data" / "rpl4");
    std::filesystem::remove_all(m_root / "bmp");
    CreateStartFolders();
    const std::string report = fetest::ReadAll(m_root / "Report_Game.txt");
    CreateStartFolders();
    SetFolderFlushFails(false);
    EXPECT_EQ(fetest::ReadAll(m_root / "Report_Game.txt"), report) << "nothing made the second time";
    // The folder of each flush, in order: the save's, then the parents of the folders made.
    std::string flushed;
    const std::string head = "フォルダ ", tail = " をディスクに書き出せませんでした";
    for (std::size_t at = report.find(head); at != std::string::npos; at = report.find(head, at + 1)) {
        std::string folder = report.substr(at + head.size(), report.find(tail, at) - at - head.size());
        flushed += (flushed.empty() ? "" : ", ") + (folder == m_root.string() ? std::string("<game>") : folder);
    }
    EXPECT_EQ(flushed, "user_data\\story, user_data, data, data\\stg4, data, data, <game>, bmp, bmp, bmp, bmp, bmp, bmp, "
                       "bmp, bmp, <game>, <game>")
        << report;
    EXPECT_NE(report.find("user_data\\story\\Story01.dat の保存に失敗しました！"), std::string::npos) << report;
    ASSERT_EQ(m_vBox.size(), 1u);
}

TEST_F(PlayRecordFile, FailedLoadsLeaveTheRecordAsItWas) {
    cPlayRecord r;
    r.nScore = 77;
    EXPECT_EQ(LoadStorySlot(r, 7), 0);
    EXPECT_EQ(LoadChallenge(r), 0);
    EXPECT_EQ(r.nScore, 77u);

    // A count that the rest of the file cannot hold (the switch list) fails the load.
    cPlayRecord saved = Full();
    ASSERT_EQ(SaveStorySlot(saved, 7), 1);
    std::string bytes = fetest::ReadAll(m_root / "user_data/story/Story08.dat");
    const std::size_t switchCount = bytes.size() - 4 * 1002 - 4 * 1000 - 4;
    const u32 huge = 0x40000000;
    bytes.replace(switchCount, 4, reinterpret_cast<const char*>(&huge), 4);
    fetest::WriteAll(m_root / "user_data/story/Story08.dat", bytes);
    EXPECT_EQ(LoadStorySlot(r, 7), 0);
    // Cut short.
    fetest::WriteAll(m_root / "user_data/story/Story08.dat", bytes.substr(0, 300));
    EXPECT_EQ(LoadStorySlot(r, 7), 0);
    EXPECT_EQ(r.nScore, 77u);
    EXPECT_EQ(r.strStageFile, "");
}

TEST_F(PlayRecordFile, LivesRuleAfterLoading) {
    cPlayRecord r;
    r.nLives = kInfiniteLives;
    r.nStartLives = kInfiniteLives;
    ASSERT_EQ(SaveStorySlot(r, 0), 1);
    g_SystemData.vInfiniteLives.assign(4, 0);
    g_SystemData.vStartLives = {5, 3, 5, 99};
    cPlayRecord back;
    ASSERT_EQ(LoadStorySlot(back, 0), 1);
    EXPECT_EQ(back.nLives, 5u);

    g_SystemData.vInfiniteLives[1] = 1;
    r.nLives = 2;
    r.nStartLives = 2;
    ASSERT_EQ(SaveChallenge(r), 1);
    ASSERT_EQ(LoadChallenge(back), 1);
    EXPECT_EQ(back.nLives, kInfiniteLives);
    EXPECT_EQ(back.nStartLives, kInfiniteLives);
}

TEST_F(PlayRecordFile, OldFileIsUpgradedAndGrownWhereTheGameIndexes) {
    // Version 500: no stage-variable fields, no clear parameters, no key string, no carry flags;
    // a switch list of three entries and five variables.
    Golden g;
    g.U32(500).U32(28);
    for (u32 i = 1; i <= 28; ++i) g.U32(i == 24 ? 1 : 0); // field 27 (challenge open) is the 24th here
    g.U32(2).Str("Old.").Str("xyz");
    for (int i = 0; i < 8; ++i) g.U16(0);
    g.U32(0);                                         // carried status
    g.U32(1).U32(1).U32(300).U32(1).Str("Old.");      // a stage best before keys
    g.U32(0);                                         // challenge rows
    g.U32(3).U32(0).U32(0).U32(0);                    // switches
    g.U32(5).I32(1).I32(2).I32(3).I32(4).I32(5);      // variables
    fetest::WriteAll(m_root / "user_data/story/Story01.dat", g.s);

    cPlayRecord r;
    r.bStageVar = 1; // not in a version-500 file: keeps its value
    r.strStageKey = "kept.";
    ASSERT_EQ(LoadStorySlot(r, 0), 1);
    EXPECT_EQ(r.bStageVar, 1u);
    EXPECT_EQ(r.strStageKey, "kept.");
    EXPECT_EQ(r.strStageFile, "Old.");
    EXPECT_EQ(r.strRankName, "xyz");
    ASSERT_EQ(r.vCarryFlag.Size(), 25);
    for (int i = 0; i < 25; ++i) EXPECT_EQ(r.vCarryFlag[i], 1u);
    ASSERT_EQ(r.vCarried.Size(), 1);
    ASSERT_EQ(r.vSwitch.Size(), 1000);
    EXPECT_EQ(r.vSwitch[0], 1u);
    ASSERT_EQ(r.vVar.Size(), kVarCount);
    EXPECT_EQ(r.vVar[4], 5);
    EXPECT_EQ(r.vVar[1000], 0);
    ASSERT_EQ(r.vStageBest.Size(), 1);
    EXPECT_EQ(r.vStageBest[0].strKey, "Old.");
    EXPECT_EQ(r.vStageBest[0].nBest, 300u);
    EXPECT_EQ(r.vChallenge.Size(), 2); // the game's challenge count
}

// Every field gate read over a record whose fields are all 77: what an older file lacks is what
// its upgrade gives where one is stated, and the file's value at the gate.
TEST_F(PlayRecordFile, FieldGatesOfThePlayRecord) {
    g_SystemData.nChallengeValue = 40;
    cPlayRecord filled;
    Number(filled, 77);
    golden::ExpectGates(fetest::kPlayRecordTable, golden::Seq(38), 824, [&filled](const std::string& body, u32 v) {
        cPlayRecord r = filled;
        EXPECT_TRUE(golden::ReadWhole(r, body + EmptyRecordTail(v), v)) << v;
        return golden::Written(r);
    });

    // Carry flags are stored from 501 on (older files carry every group); the first switch is
    // set below 804; a stage best keys its stage by file name below 759.
    cPlayRecord r;
    const std::string body = golden::Body(fetest::kPlayRecordTable, 500, golden::Seq(38));
    ASSERT_TRUE(golden::ReadWhole(r, body + EmptyRecordTail(500), 500));
    EXPECT_EQ(r.vCarryFlag, cVector<u32>(25, 1));
    Golden tail;
    tail.Raw(std::string(16, '\0')).U32(2).U32(0).U32(5).U32(0).U32(0).U32(0).U32(1).U32(0).U32(0);
    ASSERT_TRUE(golden::ReadWhole(r, golden::Body(fetest::kPlayRecordTable, 501, golden::Seq(38)) + tail.s, 501));
    EXPECT_EQ(golden::Vals(r.vCarryFlag[0], r.vCarryFlag[1], r.vCarryFlag[2], r.vSwitch[0]), (std::vector<i64>{0, 5, 0, 1}));
    for (u32 v : {803u, 804u}) {
        ASSERT_TRUE(golden::ReadWhole(r, golden::Body(fetest::kPlayRecordTable, v, golden::Seq(38)) + tail.s, v));
        EXPECT_EQ(r.vSwitch[0], v == 803 ? 1u : 0u);
    }
    const golden::Table best = {golden::Text(), golden::Text(759), golden::F(4, 759, 0), golden::F(4, 759),
                                golden::F(4, 759), golden::F(4)};
    cStageBest b;
    b.strKey = "kept";
    b.nKeyB = 9;
    ASSERT_TRUE(golden::ReadWhole(b, golden::Body(best, 758, {0, 0, 2, 3, 4, 5}), 758));
    EXPECT_EQ(golden::Vals(b.strKey == golden::StrOf(0), b.nKeyA, b.nKeyB, b.nBest), (std::vector<i64>{1, 0, 9, 5}));
    ASSERT_TRUE(golden::ReadWhole(b, golden::Body(best, 759, {0, 0, 2, 3, 4, 5}), 759));
    EXPECT_EQ(golden::Vals(b.strFile == golden::StrOf(0), b.strKey == golden::StrOf(1), b.nKeyA, b.nKeyB, b.nKeyC, b.nBest),
              (std::vector<i64>{1, 1, 2, 3, 4, 5}));
}

TEST(PlayRecordKeys, StageFileAndKey) {
    cPlayRecord r;
    r.SetStageFile("Stage01.stg4_000", 0, 0, 0);
    EXPECT_EQ(r.strStageFile, "Stage01.");
    EXPECT_EQ(r.strStageKey, "Stage01.");
    EXPECT_EQ(r.bChallengeName, 0u);
    r.SetStageFile("Stage01.stg4_000", 1, 5, 12);
    EXPECT_EQ(r.strStageFile, "Stage01.");
    EXPECT_EQ(r.strStageKey, "Stage01_c005_12.");
    r.SetStageFile("Name05-1.stg4_001", 0, 0, 0);
    EXPECT_EQ(r.strStageFile, "Name05.");
    EXPECT_EQ(r.bChallengeName, 1u);
    // The marker is looked for over the whole path, as stored keys expect.
    r.SetStageFile("data\\stg4\\Boss-12.stg4_000", 0, 0, 0);
    EXPECT_EQ(r.strStageFile, "data\\stg4\\Boss.");
    EXPECT_EQ(r.bChallengeName, 1u);
    r.SetStageFile("NoDot", 0, 0, 0);
    EXPECT_EQ(r.strStageFile, "");
    EXPECT_EQ(r.strStageKey, "");
    std::string key = "Name.";
    MakeStageFileName(key, 1, 7, 2);
    EXPECT_EQ(key, "Name_c007_2.");
    key = "Name";
    MakeStageFileName(key, 1, 1234, 0);
    EXPECT_EQ(key, "Name_c1234_0");
}

TEST(PlayRecordKeys, StageBestsAndTheirSum) {
    cPlayRecord r;
    r.UpdateStageEntry("S.", "S.", 0, 0, 0, 500);
    r.UpdateStageEntry("S.", "S.", 0, 0, 0, 300);
    EXPECT_EQ(r.nBestSum, 500u);
    r.UpdateStageEntry("S.", "S.", 0, 0, 0, 800);
    EXPECT_EQ(r.nBestSum, 800u);
    EXPECT_EQ(r.GetStageValue("S."), 800u);
    EXPECT_EQ(r.GetStageValue("T."), 0u);
    ASSERT_EQ(r.vStageBest.Size(), 1);
}

TEST(PlayRecordKeys, NormalizeClampsToTheGame) {
    g_SystemData.nChallengeValue = 3;
    g_WorldMap = cWorldMapData();
    cPlayRecord r;
    r.nChallengeOpen = 9;
    r.nMapX = 500;
    r.nMapY = -2;
    r.Normalize();
    EXPECT_EQ(r.nChallengeOpen, 3u);
    EXPECT_EQ(r.vChallenge.Size(), 3);
    EXPECT_EQ(r.nMapX, g_WorldMap.nStartX);
    EXPECT_EQ(r.nMapY, g_WorldMap.nStartY);
    // A game without challenge stages.
    g_SystemData.nChallengeValue = 0;
    r.Normalize();
    EXPECT_EQ(r.nChallengeOpen, 0u);
    EXPECT_TRUE(r.vChallenge.empty());
}

TEST(PlayRecordKeys, EngineNamesMeetTheStoredFields) {
    ExpectWellFormedTable(playrec::Table());
    g_WorldMap = cWorldMapData();
    cWorldMapEntry e;
    e.m_vItem.resize(2);
    e.m_vItem[1].nData = 2; // an ending
    g_WorldMap.m_vEntry.assign(3, cWorldMapEntry());
    g_WorldMap.m_vEntry.push_back(e);
    cPlayRecord r;
    r.nMapEntry = playrec::MakeMapEntryRef(3, 1);
    EXPECT_EQ(playrec::MapEntryKind(r), 2u);
    r.nMapEntry = playrec::MakeMapEntryRef(9, 0); // not on this map
    EXPECT_EQ(playrec::MapEntryKind(r), 0u);
    EXPECT_EQ(playrec::MapEntryItem(0), nullptr);

    r.vSwitch[12] = 1;
    r.nMapX = 3;
    playrec::NextWorld(r);
    playrec::NextWorld(r);
    EXPECT_EQ(playrec::WorldCounter(r), 2u);
    EXPECT_EQ(r.vSwitch[12], 0u);
    EXPECT_EQ(r.vSwitch[0], 1u);
    EXPECT_EQ(r.nMapX, g_WorldMap.nStartX);
    playrec::StartPosDir(r) = 3;
    EXPECT_EQ(r.nClearParam4, 3u);
    g_nLives = 4;
    EXPECT_EQ(g_PlayRecord.nLives, 4u);
    EXPECT_EQ(&g_CommonVars, &g_PlayRecord.vVar);
}

TEST(PlayRecordKeys, CopiesKeepTheirOwnFieldLists) {
    g_SystemData.nChallengeValue = 0;
    cPlayRecord a;
    a.nScore = 5;
    a.strRankName = "one";
    cPlayRecord b;
    b = a;
    a.nScore = 6;
    a.strRankName = "two";
    cRecordWriter wa, wb;
    b.Save(wb);
    cPlayRecord c;
    c.nScore = 5;
    c.strRankName = "one";
    c.Save(wa);
    EXPECT_EQ(wa.Bytes(), wb.Bytes());
}

TEST(PlayRecordKeys, StageStartSnapshotAndTotals) {
    cPlayRecord r;
    r.vVar[3] = 9;
    r.nLives = 4;
    r.nTotalScore = 100;
    r.SaveStageStart();
    r.vVar[3] = 1;
    r.nLives = 2;
    r.nTotalScore = 300;
    r.RestoreStageStart(1);
    EXPECT_EQ(r.vVar[3], 9);
    EXPECT_EQ(r.nLives, 4u);
    EXPECT_EQ(r.nTotalScore, 100u);
    r.nTimeLeftSum = r.nPlayTimeSum = r.nHpSum = r.nSpSum = 1;
    r.nBestSum = 50;
    r.ClearTotals();
    EXPECT_EQ(r.nTotalScore + r.nTimeLeftSum + r.nPlayTimeSum + r.nHpSum + r.nSpSum, 0u);
    EXPECT_EQ(r.nBestSum, 50u);
}

TEST(PlayRecordKeys, RestoringASnapshotNeverTakenKeepsTheVariables) {
    g_Game.g_nPlayKind = 3; // replay: the restart switch counts as on
    cPlayRecord r;          // a new game: no snapshot yet
    r.vVar[3] = 9;
    r.nTotalScore = 40;
    r.RestoreStageStart(0);
    ASSERT_EQ(r.vVar.Size(), kVarCount);
    EXPECT_EQ(r.vVar[3], 9);
    EXPECT_EQ(r.nTotalScore, 0u);
    r.RestoreStageStart(1);
    ASSERT_EQ(r.vVar.Size(), kVarCount);
    EXPECT_EQ(r.vVar[3], 9);
    g_Game.g_nPlayKind = 0;
}

TEST(PlayRecordKeys, CarriedStatusFollowsTheSwitches) {
    g_SystemData.vCarryStatus.assign(25, 0);
    g_SystemData.vCarryStatus[13] = 1; // max HP
    g_SystemData.vCarryStatus[11] = 1;
    g_SystemData.vCarryStatus[23] = 1;
    g_SystemData.vCarryClear.assign(25, 0);
    g_SystemData.vCarryClear[13] = 1;
    cPlayRecord r;
    cEdChara hero;
    hero.dwMaxHP = 42;
    hero.dwMaxSP = 9;
    r.StoreCarriedStatus(0, hero, 111, 222, 0, 0, 0, 0, 3, 0);
    cEdChara next;
    r.ApplyCarriedStatus(0, next);
    EXPECT_EQ(next.dwMaxHP, 42u);
    EXPECT_EQ(next.dwMaxSP, 0u); // group 14 is not carried
    EXPECT_EQ(r.nLives, 3u);
    u32 a = 0, b = 0;
    r.GetCarriedValues(0, a, b);
    EXPECT_EQ(a, 111u);
    EXPECT_EQ(b, 0u);
    r.ClearCarryFlags();
    cEdChara after;
    r.ApplyCarriedStatus(0, after);
    EXPECT_EQ(after.dwMaxHP, cEdChara().dwMaxHP);
}

} // namespace
