// Ranking tables and files, and replay records and files.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "FrontEndTestUtil.h"
#include "app/Dialogs.h"
#include "app/Game.h"
#include "app/Ranking.h"
#include "app/Replay.h"
#include "platform/system/AppWindow.h"
#include "platform/system/Input.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Dialog.h"
#include "records/DataFile.h"
#include "tests/records/StageTestUtil.h"

using fetest::Golden;

namespace {

// ---- Ranking ----

void EmptyTable(Golden& g, u32 highFirst) {
    g.U32(1).U32(highFirst).U32(0).U32(20);
    for (int i = 0; i < 20; ++i) g.U32(2).U32(0).U32(0).U32(1).U32(1);
}

class RankingFile : public fetest::GameFolder {};

TEST_F(RankingFile, FreshFileMatchesTheTableAndReadsBackIdentical) {
    cRankingFile file;
    ASSERT_EQ(SaveRanking(file, 2, "data\\stg4\\Stage01.", 0, 0, 0), 1);
    const std::string bytes = fetest::ReadAll(m_root / "user_data/free/Stage01.rkg");
    Golden g;
    g.U32(824).U32(0).U32(0).U32(5);
    for (u32 hf : {1u, 1u, 1u, 0u, 1u}) EmptyTable(g, hf);
    EXPECT_EQ(bytes.size(), 2096u);
    EXPECT_EQ(bytes, g.s);

    file.vTable[0].Insert("ab", 1000);
    ASSERT_EQ(SaveRanking(file, 2, "Stage01.", 0, 0, 0), 1);
    cRankingFile back;
    back.vTable.clear();
    ASSERT_EQ(LoadRanking(back, 2, "Stage01.", 0, 0, 0), 1);
    ASSERT_EQ(SaveRanking(back, 1, "Stage01.", 0, 0, 0), 1);
    const std::string one = fetest::ReadAll(m_root / "user_data/free/Stage01.rkg");
    EXPECT_EQ(fetest::ReadAll(m_root / "user_data/challenge/Stage01.rkg"), one);
    // The first place of table 0: used, 1000, the name with its NUL.
    EXPECT_EQ(one.substr(32, 23), Golden().U32(2).U32(1).I32(1000).U32(1).Str("ab").s);
    cRankEntry e;
    ASSERT_TRUE(golden::ReadWhole(e, Golden().U32(2).U32(3).I32(-5).U32(1).Str("xy").s, 824));
    EXPECT_EQ(golden::Vals(e.bUsed, e.nValue), (std::vector<i64>{3, -5}));
    EXPECT_EQ(e.strName, "xy");
}

// The name dialog opens with the last name selected. Typed over as a keyboard sends it (each
// key pressed and released, Shift for the capital, the characters as text input), the typed
// name replaces it and is what the ranking file keeps.
TEST_F(RankingFile, ANameTypedOverTheSelectedDefaultIsFiled) {
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    DlgSetInteractiveForTests(true);
    auto key = [](SDL_Scancode sc, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.scancode = sc;
        SDL_PushEvent(&e);
    };
    auto type = [&](SDL_Scancode sc, const char* text, bool shift) {
        if (shift) key(SDL_SCANCODE_LSHIFT, true);
        key(sc, true);
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        std::strncpy(e.text.text, text, sizeof e.text.text - 1);
        SDL_PushEvent(&e);
        key(sc, false);
        if (shift) key(SDL_SCANCODE_LSHIFT, false);
    };
    type(SDL_SCANCODE_K, "K", true);
    type(SDL_SCANCODE_E, "e", false);
    type(SDL_SCANCODE_N, "n", false);
    key(SDL_SCANCODE_RETURN, true);
    key(SDL_SCANCODE_RETURN, false);
    std::string name = "aaa";
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 12000 && !done.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done.load()) {
            std::fprintf(stderr, "the name dialog never ended\n");
            std::_Exit(1);
        }
    });
    const int answer = RunNameDialog(&name);
    done.store(true);
    watchdog.join();
    DlgSetInteractiveForTests(false);
    AppVideoQuit();
    ASSERT_EQ(answer, 1);
    EXPECT_EQ(name, "Ken");

    cRankingFile file;
    file.vTable[0].Insert(name, 1200);
    ASSERT_EQ(SaveRanking(file, 2, "data\\stg4\\Stage01.", 0, 0, 0), 1);
    cRankingFile back;
    ASSERT_EQ(LoadRanking(back, 2, "Stage01.", 0, 0, 0), 1);
    EXPECT_EQ(back.vTable[0].vEntry[0].strName, "Ken");
    EXPECT_EQ(back.vTable[0].vEntry[0].nValue, 1200);
}

TEST_F(RankingFile, PathsByKind) {
    std::string p;
    ASSERT_EQ(MakeRankingPath(p, 2, "data\\stg4\\Stage01.", 0, 0, 0), 1);
    EXPECT_EQ(p, "user_data\\free\\Stage01.rkg");
    ASSERT_EQ(MakeRankingPath(p, 0, "Stage01.", 1, 5, 12), 1);
    EXPECT_EQ(p, "user_data\\story\\Stage01_c005_12.rkg");
    ASSERT_EQ(MakeRankingPath(p, 1, "Stage01.", 1, 5, 12), 1);
    EXPECT_EQ(p, "user_data\\challenge\\Stage01.rkg");
    EXPECT_EQ(MakeRankingPath(p, 3, "Stage01.", 0, 0, 0), 0);
    cRankingFile f;
    f.vTable[0].Insert("x", 1);
    EXPECT_EQ(LoadRanking(f, 3, "Stage01.", 0, 0, 0), 0);
    EXPECT_EQ(f.vTable[0].vEntry[0].bUsed, 0u);
    EXPECT_EQ(SaveRanking(f, 3, "Stage01.", 0, 0, 0), 0);
}

TEST_F(RankingFile, OldAndShortAndDamagedFiles) {
    // Version 180 with three tables: five, tables 3 and 4 high-first.
    Golden old;
    old.U32(180).U32(0).U32(0).U32(3);
    for (int i = 0; i < 3; ++i) EmptyTable(old, 0);
    fetest::WriteAll(m_root / "user_data/free/Old.rkg", old.s);
    cRankingFile f;
    ASSERT_EQ(LoadRanking(f, 2, "Old.", 0, 0, 0), 1);
    ASSERT_EQ(f.vTable.Size(), 5);
    EXPECT_EQ(f.vTable[3].bHighFirst, 1u);
    EXPECT_EQ(f.vTable[4].bHighFirst, 1u);
    EXPECT_EQ(f.vTable[0].bHighFirst, 0u);

    // From 181 on the tables are taken as stored; a short list is padded with new tables.
    Golden at181;
    at181.U32(181).U32(0).U32(0).U32(3);
    for (int i = 0; i < 3; ++i) EmptyTable(at181, 0);
    fetest::WriteAll(m_root / "user_data/free/New.rkg", at181.s);
    ASSERT_EQ(LoadRanking(f, 2, "New.", 0, 0, 0), 1);
    EXPECT_EQ(golden::Vals(f.vTable[2].bHighFirst, f.vTable[3].bHighFirst, f.vTable[4].bHighFirst),
              (std::vector<i64>{0, 0, 1}));

    // The current version with fewer than five tables (even none) is padded, not indexed past.
    for (u32 tables : {0u, 2u}) {
        Golden cur;
        cur.U32(824).U32(0).U32(0).U32(tables);
        for (u32 i = 0; i < tables; ++i) EmptyTable(cur, 1);
        fetest::WriteAll(m_root / "user_data/free/Short.rkg", cur.s);
        ASSERT_EQ(LoadRanking(f, 2, "Short.", 0, 0, 0), 1);
        ASSERT_EQ(f.vTable.Size(), 5);
        EXPECT_EQ(f.vTable[3].bHighFirst, tables > 3 ? 1u : 0u);
        EXPECT_EQ(f.vTable[4].vEntry.Size(), 20);
        EXPECT_EQ(LayoutRanking(f, 367, 64, 4, -1).boxW, 270);
    }

    // A table count past the end of the file, and a file cut short: five empty tables.
    Golden bad;
    bad.U32(824).U32(0).U32(0).U32(0x7FFFFFFF);
    fetest::WriteAll(m_root / "user_data/free/Bad.rkg", bad.s);
    f.vTable[0].Insert("x", 5);
    EXPECT_EQ(LoadRanking(f, 2, "Bad.", 0, 0, 0), 0);
    ASSERT_EQ(f.vTable.Size(), 5);
    EXPECT_EQ(f.vTable[0].vEntry[0].bUsed, 0u);
    Golden cut;
    cut.U32(824).U32(0).U32(0).U32(5);
    EmptyTable(cut, 1);
    fetest::WriteAll(m_root / "user_data/free/Cut.rkg", cut.s.substr(0, cut.s.size() - 3));
    EXPECT_EQ(LoadRanking(f, 2, "Cut.", 0, 0, 0), 0);
}

TEST(Ranking, PlacesAndInsertion) {
    cRanking t;
    t.bHighFirst = 1;
    t.Insert("a", 1000);
    t.Insert("b", 800);
    EXPECT_EQ(t.FindRank(800), 2);
    EXPECT_EQ(t.FindRank(1200), 0);
    EXPECT_EQ(t.FindRank(900), 1);
    t.Insert("c", 800);
    EXPECT_EQ(t.vEntry[1].strName, "b"); // the earlier equal value keeps its place
    EXPECT_EQ(t.vEntry[2].strName, "c");
    for (int i = 0; i < 30; ++i) t.Insert("z", 2000 + i);
    EXPECT_EQ(t.vEntry.Size(), 20);
    EXPECT_EQ(t.vEntry[0].nValue, 2029);
    EXPECT_EQ(t.FindRank(5), -1);
    const cVector<cRankEntry> before = t.vEntry;
    t.Insert("late", 5);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(t.vEntry[i].nValue, before[i].nValue);

    cRanking low; // table 3 of a new file: a smaller value ranks higher
    low.bHighFirst = 0;
    low.Insert("a", 50);
    EXPECT_EQ(low.FindRank(40), 0);
    EXPECT_EQ(low.FindRank(60), 1);

    cRanking none; // a table that lost its places: nothing to insert into, nothing breaks
    none.vEntry.clear();
    EXPECT_EQ(none.FindRank(1), -1);
    none.Insert("a", 1);
    EXPECT_TRUE(none.vEntry.empty());
}

TEST(Ranking, NumbersAsShown) {
    std::string s;
    FormatPlayTime(s, 12345);
    EXPECT_EQ(s, "02:03.45");
    FormatPlayTime(s, 5);
    EXPECT_EQ(s, "00:00.05");
    FormatPlayTime(s, 100 * 60 * 120);
    EXPECT_EQ(s, "120:00.00");
    EXPECT_EQ(CountDigits(0), 1);
    EXPECT_EQ(CountDigits(999999), 6);
    EXPECT_EQ(CountDigits(-2147483647 - 1), 11);
    FormatInt(s, 7, 3, 0);
    EXPECT_EQ(s, "  7");
    FormatInt(s, 7, 3, 1);
    EXPECT_EQ(s, "007");
    FormatInt(s, -42, 1, 0);
    EXPECT_EQ(s, "-42");
}

TEST(Ranking, PanelAndResultLayout) {
    g_SystemData = cSystemData();
    cRankingFile f;
    f.vTable[2].Insert("pt", 12345);
    f.vTable[0].Insert("aa", 5);
    f.vTable[0].Insert("bb", 12345);
    RANKLAYOUT l = LayoutRanking(f, 0, 0, 0, 1);
    ASSERT_EQ(l.vText.size(), 1u + 2 * 3);
    EXPECT_EQ(l.vText[3].text, "12345");
    EXPECT_EQ(l.vText[6].text, "5");
    EXPECT_EQ(l.vText[6].x - l.vText[3].x, 4 * 16); // last digits line up
    ASSERT_EQ(l.vMarker.size(), 1u);
    EXPECT_EQ(l.vMarker[0].second, 32);
    l = LayoutRanking(f, 0, 0, 2, -1);
    EXPECT_EQ(l.vText[3].text, "02:03.45");
    EXPECT_TRUE(LayoutRanking(f, 0, 0, 9, -1).vText.empty());

    g_Stage = cStage();
    g_Stage.vRankSwitch.assign(5, 1);
    g_Game.g_nPlayKind = 2;
    cItemSwitches& kind = g_SystemData.vRankingSetting[2];
    kind.vItem.assign(5, 0);
    kind.vItem[0] = kind.vItem[2] = 1;
    g_PlayRecord.nTotalScore = 1234;
    g_PlayRecord.nPlayTimeSum = 12345;
    l = LayoutResult(100, 100, {-1, -1, 0, -1, -1});
    ASSERT_EQ(l.vText.size(), 4u);
    EXPECT_EQ(l.vText[1].text, "1234");
    EXPECT_EQ(l.vText[3].text, "02:03.45");
    EXPECT_EQ(l.boxH, 32);
    ASSERT_EQ(l.vMarker.size(), 1u);
    EXPECT_EQ(l.vMarker[0].second, 100); // markers stack from the first row
    kind.vItem.assign(5, 0);
    EXPECT_EQ(LayoutResult(0, 0, {0, 0, 0, 0, 0}).boxW, 0);
}

// ---- Replays ----

TEST(Replay, RunLengthRecordingAndPlayback) {
    cReplayData r;
    for (int i = 0; i < 10; ++i) r.Record(2, 1);
    for (int i = 0; i < 5; ++i) r.Record(0, 1);
    EXPECT_EQ(r.vDir, (cVector<u16>{2, 0}));
    EXPECT_EQ(r.vDirCount, (cVector<u32>{10, 5}));
    EXPECT_EQ(r.vButton, (cVector<u16>{1}));
    EXPECT_EQ(r.vButtonCount, (cVector<u32>{15}));
    u16 d = 0, b = 0;
    for (int i = 0; i < 15; ++i) {
        ASSERT_EQ(r.Next(d, b), 0) << i;
        EXPECT_EQ(d, i < 10 ? 2 : 0);
        EXPECT_EQ(b, 1);
    }
    d = 99;
    EXPECT_EQ(r.Next(d, b), 1);
    EXPECT_EQ(d, 99);

    cReplayData copy;
    r.nSeed = 7;
    copy = r;
    EXPECT_EQ(copy.nSeed, 7u);
    EXPECT_EQ(copy.vDirCount, r.vDirCount);
    r.Clear();
    EXPECT_EQ(r.nSeed, 0u);
    EXPECT_EQ(r.Next(d, b), 1);

    // A damaged record whose run counts are shorter than its values ends there.
    copy.vDirCount.clear();
    copy.nDirPos = 0;
    EXPECT_EQ(copy.Next(d, b), 1);
}

class ReplayFile : public fetest::GameFolder {
protected:
    void SetUp() override {
        GameFolder::SetUp();
        g_SystemData.nChallengeValue = 0;
        SetLocalTimeSource([] {
            SYSTEMTIME t;
            t.wYear = 2024;
            t.wMonth = 2;
            t.wDay = 3;
            t.wHour = 9;
            t.wMinute = 5;
            return t;
        });
        m_stage = stagetest::MakeRichStage();
        m_stage.Prepare();
        m_start = m_stage;
        for (int i = 0; i < 15; ++i) m_replay.Record(i < 10 ? 2 : 0, i < 12 ? 4 : 1);
        m_replay.nSeed = 0x1234;
        m_record.nTotalScore = 5000;
        m_record.strStageFile = "Stage01.";
    }
    void TearDown() override {
        SetLocalTimeSource(nullptr);
        GameFolder::TearDown();
    }
    std::string StageBody() {
        cRecordWriter w;
        m_stage.WriteSnapshot(w, m_start);
        return w.Take();
    }
    std::string RecordBody() {
        cRecordWriter w;
        m_record.Save(w);
        return w.Take();
    }
    static std::string ReplayBody() {
        return Golden()
            .U32(1).U32(0x1234).U32(0)
            .U32(2).U16(2).U16(0)
            .U32(2).U16(4).U16(1)
            .U32(2).U32(10).U32(5)
            .U32(2).U32(12).U32(3)
            .s;
    }

    cStage m_stage;
    cStage m_start;
    cReplayData m_replay;
    cPlayRecord m_record;
};

TEST_F(ReplayFile, FileLayoutAndRoundTrip) {
    const std::string path = "user_data\\rpl4\\a.rpl4_824";
    ASSERT_EQ(SaveReplay(m_replay, path, m_stage, m_start, m_record), 1);
    const std::string bytes = fetest::ReadAll(m_root / "user_data/rpl4/a.rpl4_824");
    const std::string stage = StageBody();
    ASSERT_EQ(stage.substr(stage.size() - 4), Golden().U32(0x075BCD15).s);
    EXPECT_EQ(bytes, Golden().U32(824).Raw(stage).Raw(ReplayBody()).Raw(RecordBody()).s);

    cReplayData replay;
    cStage st, start;
    cPlayRecord rec;
    ASSERT_EQ(LoadReplay(replay, path, st, start, rec), 1);
    EXPECT_EQ(replay.nSeed, 0x1234u);
    EXPECT_EQ(replay.vDir, (cVector<u16>{2, 0}));
    EXPECT_EQ(replay.vButton, (cVector<u16>{4, 1}));
    EXPECT_EQ(replay.vDirCount, (cVector<u32>{10, 5}));
    EXPECT_EQ(replay.vButtonCount, (cVector<u32>{12, 3}));
    EXPECT_EQ(rec.nTotalScore, 5000u);
    EXPECT_EQ(st.vChara.Size(), m_stage.vChara.Size());
    EXPECT_TRUE(start.vChara.empty());
    EXPECT_EQ(start.vBack.Size(), m_stage.vBack.Size());
    ASSERT_EQ(SaveReplay(replay, "user_data\\rpl4\\b.rpl4_824", st, start, rec), 1);
    EXPECT_EQ(fetest::ReadAll(m_root / "user_data/rpl4/b.rpl4_824"), bytes);
}

TEST_F(ReplayFile, ThePlayRecordFollowsFromVersion173) {
    std::string file = stagetest::OldStageFile(m_stage, 172) + ReplayBody();
    fetest::WriteAll(m_root / "user_data/rpl4/old.rpl4_172", file);
    cReplayData replay;
    cStage st, start;
    cPlayRecord rec;
    rec.nScore = 31;
    ASSERT_EQ(LoadReplay(replay, "user_data\\rpl4\\old.rpl4_172", st, start, rec), 1);
    EXPECT_EQ(rec.nScore, 31u);
    EXPECT_EQ(replay.vDirCount, (cVector<u32>{10, 5}));
    // The play record of 173, in that version's layout.
    Golden tail;
    tail.Raw(std::string(16, '\0')).U32(0).U32(0).U32(0).U32(0).U32(0);
    file = stagetest::OldStageFile(m_stage, 173) + ReplayBody() +
           golden::Body(fetest::kPlayRecordTable, 173, golden::Seq(38)) + tail.s;
    fetest::WriteAll(m_root / "user_data/rpl4/old.rpl4_173", file);
    ASSERT_EQ(LoadReplay(replay, "user_data\\rpl4\\old.rpl4_173", st, start, rec), 1);
    EXPECT_EQ(rec.nScore, 13u);
    EXPECT_EQ(rec.strRankName, golden::StrOf(37));
}

TEST_F(ReplayFile, DamagedOrMissingFilesChangeNothing) {
    cReplayData replay;
    replay.nSeed = 9;
    cStage st, start;
    cPlayRecord rec;
    rec.nScore = 3;
    EXPECT_EQ(LoadReplay(replay, "user_data\\rpl4\\none.rpl4_824", st, start, rec), 0);

    std::string huge = Golden().U32(824).Raw(StageBody()).U32(1).U32(1).U32(0).U32(0x40000000).s;
    fetest::WriteAll(m_root / "user_data/rpl4/bad.rpl4_824", huge);
    EXPECT_EQ(LoadReplay(replay, "user_data\\rpl4\\bad.rpl4_824", st, start, rec), 0);
    std::string full = Golden().U32(824).Raw(StageBody()).Raw(ReplayBody()).Raw(RecordBody()).s;
    fetest::WriteAll(m_root / "user_data/rpl4/cut.rpl4_824", full.substr(0, full.size() - 10));
    EXPECT_EQ(LoadReplay(replay, "user_data\\rpl4\\cut.rpl4_824", st, start, rec), 0);
    EXPECT_EQ(replay.nSeed, 9u);
    EXPECT_EQ(rec.nScore, 3u);
    EXPECT_TRUE(st.vChara.empty() || st.vChara.Size() == cStage().vChara.Size());
}

TEST_F(ReplayFile, FailedSaveKeepsTheOldFile) {
    const std::string path = "user_data\\rpl4\\a.rpl4_824";
    ASSERT_EQ(SaveReplay(m_replay, path, m_stage, m_start, m_record), 1);
    const std::string before = fetest::ReadAll(m_root / "user_data/rpl4/a.rpl4_824");
    m_replay.Record(8, 8);
    SetAtomicWriteFailAfter(64);
    EXPECT_EQ(SaveReplay(m_replay, path, m_stage, m_start, m_record), 0);
    SetAtomicWriteFailAfter(-1);
    EXPECT_EQ(fetest::ReadAll(m_root / "user_data/rpl4/a.rpl4_824"), before);
}

TEST_F(ReplayFile, DefaultNamesAreDateStampedAndNumbered) {
    g_PlayRecord = cPlayRecord();
    const std::string first = ReplayFileNameRelative("data\\stg4\\Stage01.");
    EXPECT_EQ(first, "user_data\\rpl4\\Stage01__2024__02_03__09_05.rpl4_824");
    fetest::WriteAll(m_root / "user_data/rpl4/Stage01__2024__02_03__09_05.rpl4_824", "x");
    EXPECT_EQ(ReplayFileNameRelative("Stage01."), "user_data\\rpl4\\Stage01__2024__02_03__09_05 (2).rpl4_824");
    g_PlayRecord.bStageVar = 1;
    g_PlayRecord.nStageVarIndex = 5;
    g_PlayRecord.nStageVarValue = 12;
    EXPECT_EQ(ReplayFileNameRelative("Stage01."), "user_data\\rpl4\\Stage01_c005_12__2024__02_03__09_05.rpl4_824");
    g_PlayRecord = cPlayRecord();
    std::string abs;
    EXPECT_EQ(MakeReplayFileName(abs, "Stage01."), 1);
    EXPECT_NE(abs.find("Stage01__2024__02_03__09_05 (2).rpl4_824"), std::string::npos);
    EXPECT_EQ(ReplayFileNameRelative(""), "");
}

// The proposal of a stage named as long as a name may be keeps its date and extension and is
// saved as it stands, numbered too; the stage's part is cut to what the folder takes on disk,
// where a Japanese character takes three bytes.
TEST_F(ReplayFile, ALongStagesProposalFitsTheFolderWithItsDateAndNumber) {
    g_PlayRecord = cPlayRecord();
    const std::string stage = "data\\stg4\\" + std::string(246, 'a') + ".";
    const std::string first = ReplayFileNameRelative(stage);
    EXPECT_EQ(first, "user_data\\rpl4\\" + std::string(226, 'a') + "__2024__02_03__09_05.rpl4_824");
    ASSERT_EQ(SaveReplay(m_replay, first, m_stage, m_start, m_record), 1);
    const std::string second = ReplayFileNameRelative(stage);
    EXPECT_EQ(second, "user_data\\rpl4\\" + std::string(222, 'a') + "__2024__02_03__09_05 (2).rpl4_824");
    ASSERT_EQ(SaveReplay(m_replay, second, m_stage, m_start, m_record), 1);
    std::string boss;
    for (int i = 0; i < 60; ++i) boss += Utf8ToSjis("ボス");
    const std::string japanese = ReplayFileNameRelative("data\\stg4\\" + boss + ".");
    EXPECT_EQ(SjisToUtf8(japanese), "user_data\\rpl4\\" + SjisToUtf8(boss.substr(0, 150)) + "__2024__02_03__09_05.rpl4_824")
        << "75 characters of 3 bytes each on disk, and the date";
    EXPECT_EQ(SaveReplay(m_replay, japanese, m_stage, m_start, m_record), 1);
}

TEST_F(ReplayFile, ReplayKeys) {
    g_SystemData.bReplaySave = 1;
    g_Game.g_nGameMode = 3;
    g_ReplayData.Clear();
    g_ReplayPrev.Clear();
    KeyStateClearAll();
    EXPECT_EQ(CheckReplayKeys(), 0);
    KeyStateSet(0x70, true); // F1 on an empty replay: refusal, no request
    EXPECT_EQ(CheckReplayKeys(), 0);
    KeyStateSet(0x70, false);
    KeyStateSet(0x71, true);
    EXPECT_EQ(CheckReplayKeys(), 0);
    g_Game.g_nGameMode = 4; // replay mode: the keys do nothing even with something recorded
    g_ReplayPrev.Record(1, 1);
    EXPECT_EQ(CheckReplayKeys(), 0);
    KeyStateClearAll();
}

} // namespace
