// System data: stored form, version-by-version upgrades, guarded rows, text operations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "database/Database.h"
#include "database/SystemSwitches.h"
#include "database/Text.h"
#include "records/DataFile.h"
#include "TestUtil.h"
#include "tests/support/NamedSettingsCheck.h"

namespace {

cSystemData LoadSys(const std::string& file, bool* failed = nullptr) {
    cRecordReader r = ReaderOf(file);
    cSystemData s;
    s.Load(r);
    if (failed) *failed = r.Failed();
    return s;
}

} // namespace

TEST(SystemData, ShortRoleListsStayShortAndReadAsFresh) {
    cSystemData src;
    src.vStatusRow.resize(3);
    src.vMessage.clear();
    src.vSeFile.clear();
    src.vRankingSetting.clear();
    src.vStartLives.clear();
    cRecordWriter w;
    w.WriteU32(824);
    src.Save(w);
    const cSystemData s = LoadSys(w.Take());
    EXPECT_EQ(s.vStatusRow.size(), 3u);
    EXPECT_EQ(s.StatusRow(4).bShow, 0u);
    EXPECT_EQ(s.Message(28), "");
    EXPECT_EQ(s.SeFile(16), "");
    EXPECT_EQ(s.StartLives(0), 0u);
    EXPECT_EQ(s.CountItems(0), 0);
    EXPECT_EQ(s.Message(-1), "");
}

TEST(SystemData, DamagedFilesAreRefused) {
    ScratchGame game;
    std::filesystem::create_directories(game.Dir() / "data");
    cSystemData good;
    ASSERT_TRUE(SaveToFile(good, "data\\System.dat"));
    const std::string file = game.Read("data/System.dat");
    std::vector<std::string> damaged = {file.substr(0, file.size() - 3), file.substr(0, 300)};
    std::string huge = file;
    std::memcpy(&huge[4 + 4 + 255 + 8], "\xff\xff\xff\x7f", 4); // the carry list's count
    damaged.push_back(huge);
    std::string longText = file;
    std::memcpy(&longText[4 + 4 + 255 + 4], "\xff\xff\xff\x7f", 4); // the title's length
    damaged.push_back(longText);
    for (const std::string& d : damaged) {
        game.Write("data/System.dat", d);
        cSystemData s;
        s.strTitle = "kept";
        EXPECT_EQ(LoadFromFile(s, "data\\System.dat"), 0);
        EXPECT_EQ(s.strTitle, "kept");
    }
}

TEST(SystemData, MusicNumbersAreChecked) {
    cSystemData s;
    s.vSceneBgm = {0, 1, 2, 0xFFFFFFFFu};
    s.CheckBgmNumbers(2);
    EXPECT_EQ(s.vSceneBgm, (cVector<u32>{0, 1, 0, 0}));
}

TEST(SystemData, TextMenusAndGauges) {
    g_SystemData.SetDefault();
    EXPECT_EQ(GetMenuLeft(304, 10, 2, 1), 240);
    EXPECT_EQ(GetMenuLeft(320, 16, 1, 1), 128);
    EXPECT_EQ(GetMenuLeft(100, 10, 0, 1), 92);
    EXPECT_EQ(GetMenuLeft(100, 10, 0, 0), 100);
    EXPECT_EQ(g_SystemData.CountItems(3), 0);
    EXPECT_EQ(g_SystemData.CountItems(0), 5);

    const TEXTMENU m = BuildTextMenu(23, 2, 1);
    EXPECT_EQ(m.text, " " + Sj("リトライ") + "\n " + Sj("マップへ戻る") + "\n");
    EXPECT_EQ(m.nWidth, 7 * 16);
    EXPECT_EQ(m.nHeight, 32);
    int calls = 0;
    SetTextBoxDrawer([&](void*, int x, int y, int w, int h, const std::string& t) {
        ++calls;
        EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{10, 20, 7 * 16, 32}));
        EXPECT_EQ(t, m.text);
    });
    DrawTextMenu(nullptr, 10, 20, 23, 2, 1);
    DrawTextMenu(nullptr, 10, 20, 23, 0, 1);
    SetTextBoxDrawer(nullptr);
    EXPECT_EQ(calls, 1);

    g_SystemData.vStatusRow[2].nWarnLevel = 33;
    g_SystemData.vStatusRow[2].bWarnPercent = 1;
    EXPECT_EQ(IsGaugeWarning(2, 33, 100), 1);
    EXPECT_EQ(IsGaugeWarning(2, 34, 100), 0);
    EXPECT_EQ(IsGaugeWarning(2, 0, 0), 0);
    EXPECT_EQ(IsGaugeWarning(2, 5, 0), 0);
    EXPECT_EQ(IsGaugeWarning(2, -1, 0), 1);
    g_SystemData.vStatusRow[2].bWarnPercent = 0;
    EXPECT_EQ(IsGaugeWarning(2, 33, 100), 1);
    EXPECT_EQ(IsGaugeWarning(2, 34, 100), 0);
    EXPECT_EQ(IsGaugeWarning(2, -5, 100), 1);
    EXPECT_EQ(IsGaugeWarning(9, 0, 100), 1); // a missing row reads as a fresh one (level 0)
    g_SystemData.SetDefault();
}

TEST(SystemData, SwitchTableReadsEachMeaningFromItsOwnField) {
    ExpectWellFormedTable(SysSwitchTable());
    cSystemData s;
    s.bCompat819 = 1;
    s.bSwitch272 = 1;
    s.bSwitch167C = 1;
    EXPECT_EQ(SysSwitch(s, SW_UNLIMITED_LIVES), 1u);
    EXPECT_EQ(SysSwitch(s, SW_DELAYED_REMOVAL), 1u);
    EXPECT_EQ(SysSwitch(s, SW_CHALLENGE_BEST_COLUMN), 1u);
    EXPECT_EQ(SysSwitch(s, SW_EXTRA_LIFE_SCORE), 100u);
    // The head-contact rule and the ceiling switch are two switches.
    s.bCompat781 = 1;
    EXPECT_EQ(SysSwitch(s, SW_CEILING_KNOCKBACK), 1u);
    EXPECT_EQ(SysSwitch(s, SW_CEILING_KEEP_MOTION), 0u);
    s.bCompat818A = 1;
    EXPECT_EQ(SysSwitch(s, SW_CEILING_KEEP_MOTION), 1u);
    // Old data sets every compatibility switch; a meaning without a field keeps reading 0.
    s.bCompat808 = s.bCompat733 = 1;
    EXPECT_EQ(SysSwitch(s, SW_FLOOR_SNAP), 0u);
    EXPECT_EQ(SysSwitch(s, SW_THUNDER_GAP), 0u);
}
