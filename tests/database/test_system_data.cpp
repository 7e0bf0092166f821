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

// Writes a System.dat of an older version from `s`: the fields and lists that version held.
std::string WriteOldSystemDat(cSystemData& s, u32 v) {
    cRecordWriter w;
    w.WriteU32(v);
    int n = 0;
    std::string fields;
    for (int i = 0; i < g_nSysFields; ++i) {
        const SYSFIELD& f = g_SysFields[i];
        if (v < f.fromVersion || (f.untilVersion && v >= f.untilVersion)) continue;
        ++n;
        if (f.p32) fields += U32(s.*f.p32);
        else fields += std::string(1, static_cast<char>(s.*f.p8));
    }
    w.WriteU32(static_cast<u32>(n));
    w.WriteBytes(fields.data(), fields.size());
    w.WriteU32(1);
    w.WriteString(s.strTitle);
    auto bytes = [&](const cVector<u8>& l) {
        w.WriteU32(static_cast<u32>(l.size()));
        for (u8 b : l) w.WriteU8(b);
    };
    auto words = [&](const cVector<u32>& l) {
        w.WriteU32(static_cast<u32>(l.size()));
        for (u32 b : l) w.WriteU32(b);
    };
    auto texts = [&](const cVector<std::string>& l) {
        w.WriteU32(static_cast<u32>(l.size()));
        for (const auto& t : l) w.WriteString(t);
    };
    auto rows = [&](auto& l) {
        w.WriteU32(static_cast<u32>(l.size()));
        for (auto& e : l) {
            // Sub-records of old files hold the fields of their version.
            cRecordWriter sub;
            e.Save(sub);
            std::string b = sub.Take();
            if constexpr (std::is_same_v<std::decay_t<decltype(e)>, cStatusRow>) {
                const u32 nf = v < 204 ? 3 : v < 587 ? 4 : 6;
                b = U32(nf) + b.substr(4, nf * 4) + b.substr(4 + 24);
            }
            w.WriteBytes(b.data(), b.size());
        }
    };
    bytes(s.vCarryStatus);
    if (v >= 501) bytes(s.vCarryClear);
    rows(s.vStatusRow);
    words(s.vStartLives);
    if (v >= 191) words(s.vInfiniteLives);
    if (v >= 186) rows(s.vRankingSetting);
    texts(s.vMessage);
    texts(s.vSeFile);
    words(s.vSceneBgm);
    if (v >= 202) bytes(s.vSceneBgmFlag);
    rows(s.vTitleMenu);
    rows(s.vMapMenu);
    rows(s.vOptionMenu);
    if (v >= 674) texts(s.vRankingMode);
    rows(s.vIniKey);
    return w.Take();
}

cSystemData LoadSys(const std::string& file, bool* failed = nullptr) {
    cRecordReader r = ReaderOf(file);
    cSystemData s;
    s.Load(r);
    if (failed) *failed = r.Failed();
    return s;
}

// Text lists as the data of that version had them: each with its own index as text.
cSystemData NumberedTexts(int messages) {
    cSystemData s;
    s.vMessage.clear();
    for (int i = 0; i < messages; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "m%d", i);
        s.vMessage.push_back(text);
    }
    return s;
}

} // namespace

TEST(SystemData, StoredFormAndRoundTrip) {
    cSystemData s;
    cRecordWriter w;
    s.Save(w);
    const std::string b = w.Take();
    // u32 66, 255 field bytes, u32 1, the title (empty: L = 1).
    EXPECT_EQ(b.substr(0, 4), U32(66));
    EXPECT_EQ(b.substr(4 + 255, 8), U32(1) + U32(1));
    EXPECT_EQ(g_nSysFields, 67);

    cRecordReader r(b, 824);
    cSystemData back;
    back.vMessage.clear();
    back.nFontFace = 0;
    back.Load(r);
    ASSERT_FALSE(r.Failed());
    EXPECT_TRUE(r.AtEnd());
    cRecordWriter w2;
    back.Save(w2);
    EXPECT_EQ(w2.Bytes(), b);
    EXPECT_EQ(back.vMessage[16], Sj("保存先が不明です！一度は「セーブ」して下さい！"));
    EXPECT_EQ(back.vIniKey[8].nKind, 1u);
    EXPECT_EQ(back.vIniKey[1].nValue, 0u); // WindowMode 0 in the key rows

    // A text longer than any working buffer is written and read back whole.
    back.vMessage[3] = std::string(6000, 'x');
    cRecordWriter w3;
    back.Save(w3);
    cRecordReader r3(w3.Take(), 824);
    cSystemData longText;
    longText.Load(r3);
    ASSERT_FALSE(r3.Failed());
    EXPECT_EQ(longText.vMessage[3].size(), 6000u);
}

TEST(SystemData, Version100RunsEveryStep) {
    cSystemData src = NumberedTexts(29);
    src.vCarryStatus.assign(22, 0);
    src.vInfiniteLives = {1, 1, 1, 1};
    src.vIniKey.resize(8);
    const std::string file = WriteOldSystemDat(src, 100);
    // A v100 file holds exactly six fields.
    EXPECT_EQ(file.substr(4, 4), U32(6));
    const cSystemData s = LoadSys(file);
    EXPECT_EQ(s.bExtraLife, 1u);
    EXPECT_EQ(s.byTransG, 177);
    EXPECT_EQ(s.bSwitch157, 0u);
    EXPECT_EQ(s.bSwitch821, 0u);
    EXPECT_EQ(s.bCompat214, 1u);
    EXPECT_EQ(s.bCompat637, 1u);
    EXPECT_EQ(s.bCompat822, 1u);
    EXPECT_EQ(s.bCompat289, 1u);
    EXPECT_EQ(s.bMissMenu, 0u);
    EXPECT_EQ(s.vInfiniteLives, (cVector<u32>{0, 0, 0, 1}));
    EXPECT_EQ(s.vCarryStatus.size(), 25u);
    EXPECT_EQ(s.vCarryClear, cVector<u8>(25, 0));
    EXPECT_EQ(s.vSceneBgmFlag, cVector<u8>(4, 1));
    ASSERT_EQ(s.vMessage.size(), 29u);
    EXPECT_EQ(s.vMessage[14], Sj("オートセーブＯＮ"));
    EXPECT_EQ(s.vMessage[22], Sj("マップへ戻る"));
    EXPECT_EQ(s.vMessage[23], Sj("リトライ"));
    EXPECT_EQ(s.vMessage[24], Sj("マップへ戻る"));
    ASSERT_EQ(s.vIniKey.size(), 10u);
    EXPECT_EQ(s.vIniKey[0].strKey, "Direct3D");
    EXPECT_EQ(s.vIniKey[0].nValue, 1u);
    EXPECT_EQ(s.vIniKey[4].strKey, "D3D_FontCache");
    EXPECT_EQ(s.vIniKey[5].strKey, "DD_FontCache");
    EXPECT_EQ(s.vIniKey[9].strKey, "English");
    EXPECT_EQ(s.vStatusRow[2].nWarnLevel, 33u);
    EXPECT_EQ(s.vStatusRow[0].bGaugeNumber, 1u);
    EXPECT_EQ(s.vMapMenu[1].text, Sj("オートセーブ"));
}

TEST(SystemData, StepsCompoundAtTheTestPoints) {
    const cSystemData s168 = LoadSys(WriteOldSystemDat(*std::make_unique<cSystemData>(NumberedTexts(29)), 168));
    EXPECT_EQ(s168.vMessage[17], "m12");
    const cSystemData s190 = LoadSys(WriteOldSystemDat(*std::make_unique<cSystemData>(NumberedTexts(29)), 190));
    EXPECT_EQ(s190.vMessage[25], "m22");
    EXPECT_EQ(s190.vMessage[26], "m23");
    EXPECT_EQ(s190.vInfiniteLives, (cVector<u32>{0, 0, 0, 1}));

    cSystemData k;
    k.vIniKey.erase(k.vIniKey.begin()); // the 9 rows of an old key list, VSync at 2
    k.vIniKey[2].nValue = 3;
    const cSystemData s285 = LoadSys(WriteOldSystemDat(k, 285));
    ASSERT_EQ(s285.vIniKey.size(), 10u);
    EXPECT_EQ(s285.vIniKey[0].strKey, "Direct3D");
    EXPECT_EQ(s285.vIniKey[3].strKey, "VSync");
    EXPECT_EQ(s285.vIniKey[3].nValue, 2u);

    cSystemData d;
    EXPECT_EQ(LoadSys(WriteOldSystemDat(d, 616)).bCompat637, 1u);
    EXPECT_EQ(LoadSys(WriteOldSystemDat(d, 617)).bCompat637, 0u);

    const cSystemData s821 = LoadSys(WriteOldSystemDat(d, 821));
    EXPECT_EQ(s821.bCompat822, 1u);
    EXPECT_EQ(s821.bCompat819, 0u);
    EXPECT_EQ(s821.bSwitch821, 1u);
    EXPECT_EQ(LoadSys(WriteOldSystemDat(d, 822)).bCompat822, 0u);

    // The field of 221..259 is read and dropped.
    cSystemData p;
    p.nDropped221 = 0xDEAD;
    p.bCompat261 = 0;
    p.bSwitch272 = 5;
    const std::string f230 = WriteOldSystemDat(p, 230);
    const cSystemData s230 = LoadSys(f230);
    EXPECT_EQ(s230.bCompat261, 1u); // upgraded, not the dropped word
    EXPECT_EQ(LoadSys(WriteOldSystemDat(p, 272)).bSwitch272, 5u);

    // 500: no carry-clear list in the file.
    EXPECT_EQ(LoadSys(WriteOldSystemDat(d, 500)).vCarryClear, cVector<u8>(25, 0));
}

TEST(SystemData, ShortRoleListsStayShortAndReadAsFresh) {
    cSystemData src;
    src.vStatusRow.resize(3);
    src.vMessage.clear();
    src.vSeFile.clear();
    src.vRankingSetting.clear();
    src.vStartLives.clear();
    const cSystemData s = LoadSys(WriteOldSystemDat(src, 600));
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
        EXPECT_EQ(x, 10);
        EXPECT_EQ(y, 20);
        EXPECT_EQ(w, 7 * 16);
        EXPECT_EQ(h, 32);
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
