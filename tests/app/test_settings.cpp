// System.ini syntax, Boot.dat and Window.dat.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/SystemIni.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "records/DataFile.h"
#include "tests/support/Golden.h"

namespace fs = std::filesystem;

namespace {

class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tobrelk_settings_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "user_data");
        SetGameRoot(dir);
        SetSystemIniDefaults(ini, keys);
    }
    void TearDown() override {
        SetGameRoot(fs::current_path());
        fs::remove_all(dir);
    }
    std::string ReadFile(const std::string& rel) {
        std::ifstream f(dir / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    bool Read(const std::string& bytes) {
        std::ofstream(dir / "System.ini", std::ios::binary) << bytes;
        return ReadSystemIni("System.ini", ini, keys);
    }
    fs::path dir;
    std::vector<INIKEYDEF> keys = DefaultIniKeys();
    SYSTEMINI ini;
};

TEST_F(SettingsFiles, DefaultsComeFromTheKeyRowsButEnglishIsAlwaysOff) {
    keys[2].nValue = 16;
    keys[8].strValue = "data\\stg4\\a";
    keys[9].nValue = 1;
    SetSystemIniDefaults(ini, keys);
    EXPECT_EQ(ini.Direct3D, 2);
    EXPECT_EQ(ini.WindowMode, 1);
    EXPECT_EQ(ini.Bpp, 16);
    EXPECT_EQ(ini.VSync, 2);
    EXPECT_EQ(ini.DD_FontCache, 1);
    EXPECT_EQ(ini.ShowFps, 1);
    EXPECT_EQ(ini.FreeStage, "data\\stg4\\a");
    EXPECT_EQ(ini.English, 0);
}

TEST_F(SettingsFiles, ExitLineEndsTheFileAndItsLineFeedIsNeeded) {
    EXPECT_TRUE(Read("Direct3D=0\nExit\n"));
    EXPECT_EQ(ini.Direct3D, 0);
    EXPECT_TRUE(Read("Exit \n"));
    EXPECT_TRUE(Read("Exit\r\n"));
    EXPECT_FALSE(Read("Direct3D=0\nExit"));
    EXPECT_FALSE(ReadSystemIni("missing.ini", ini, keys));
}

TEST_F(SettingsFiles, ValueMustFollowTheEqualsSignDirectly) {
    ASSERT_TRUE(Read("ShowFps = 2\nExit\n"));
    EXPECT_EQ(ini.ShowFps, 0);
    ASSERT_TRUE(Read("Bpp=16/comment\nVSync=1\tWindowMode=0\nExit\n"));
    EXPECT_EQ(ini.Bpp, 16);
    EXPECT_EQ(ini.VSync, 1);
    EXPECT_EQ(ini.WindowMode, 0) << "the rest of a line is read as the next entry";
    ASSERT_TRUE(Read("English=1\nExit\n"));
    EXPECT_EQ(ini.English, 1);
    ASSERT_TRUE(Read("direct3d=0\nDirect3D=-3x\nExit\n"));
    EXPECT_EQ(ini.Direct3D, -3) << "keys are case-sensitive; values are read as atoi does";
}

// FreeStage takes any path the system does, up to 4095 bytes, where every other value stops at
// 2047; a longer one is dropped as an overlong value is.
TEST_F(SettingsFiles, FreeStageKeepsACarriageReturnAndTakesTwoCharactersToAWholePath) {
    ASSERT_TRUE(Read("FreeStage=data\\stg4\\x\r\nExit\n"));
    EXPECT_EQ(ini.FreeStage, "data\\stg4\\x\r");
    ASSERT_TRUE(Read("FreeStage=a\nExit\n"));
    EXPECT_EQ(ini.FreeStage, "data\\stg4\\x\r");
    for (std::size_t length : {260u, 2048u, 4095u}) {
        ASSERT_TRUE(Read("FreeStage=" + std::string(length, 'b') + "\nExit\n")) << length;
        EXPECT_EQ(ini.FreeStage.size(), length);
    }
    ASSERT_TRUE(Read("FreeStage=" + std::string(4096, 'c') + "\nExit\n"));
    EXPECT_EQ(ini.FreeStage, std::string(4095, 'b')) << "a byte past the limit drops the value";
    keys[8].strValue = std::string(300, 'c');
    SetSystemIniDefaults(ini, keys);
    EXPECT_EQ(ini.FreeStage.size(), 300u) << "the game's default is taken whole too";
}

TEST_F(SettingsFiles, ZeroByteEndsSuccessfullyAndAnOverlongKeyFails) {
    ASSERT_TRUE(Read(std::string("Bpp=8\nSho\0wFps=2\nExit\n", 21)));
    EXPECT_EQ(ini.Bpp, 8);
    EXPECT_EQ(ini.ShowFps, 1);
    EXPECT_FALSE(Read(std::string(2048, 'k') + "=1\nExit\n"));
    ASSERT_TRUE(Read("Bpp=" + std::string(2048, '1') + "\nExit\n"));
    EXPECT_EQ(ini.Bpp, 8) << "an overlong value is dropped, not read";
    EXPECT_FALSE(Read("Bpp=16"));
    EXPECT_FALSE(Read("Bpp=" + std::string(3000, '1'))) << "the file ends inside the value";
}

// A value past its limit costs its own setting, which keeps what it had, and a report line
// naming the key; the entries after it are read. Each file: the settings read, then the
// report's lines.
TEST_F(SettingsFiles, AValuePastItsLimitCostsThatSettingAlone) {
    SetReportFile((dir / "Report_Game.txt").string());
    std::string trace;
    const auto read = [&](const std::string& bytes) {
        const bool whole = Read(bytes);
        trace += std::string(whole ? "read" : "failed") + ": Bpp " + std::to_string(ini.Bpp) + ", ShowFps " +
                 std::to_string(ini.ShowFps) + ", English " + std::to_string(ini.English) + ", FreeStage " +
                 std::to_string(ini.FreeStage.size()) + " bytes\n";
    };
    read("FreeStage=" + std::string(5000, 'x') + "\nShowFps=2\nExit\n");
    read("Bpp=16\nBpp=" + std::string(2048, '1') + "\tEnglish=1\nFreeStage=data\\a\nFreeStage=" +
         std::string(4096, 'y') + "/" + std::string(1000, 'z') + "\nShowFps=0\nExit\n");
    // Only the keys of the list are named: an unknown one's value is ignored anyway.
    read("Unknown=" + std::string(3000, 'u') + "\nBpp=32\nExit\n");
    std::string report = ReadFile("Report_Game.txt");
    report.erase(std::remove(report.begin(), report.end(), '\r'), report.end());
    trace += report;
    EXPECT_EQ(trace, "read: Bpp 0, ShowFps 2, English 0, FreeStage 0 bytes\n"
                     "read: Bpp 16, ShowFps 0, English 1, FreeStage 6 bytes\n"
                     "read: Bpp 32, ShowFps 0, English 1, FreeStage 6 bytes\n"
                     "System.ini : FreeStage の値 (5000 バイト) は長すぎるため読みません (4095 バイトまで)\n"
                     "System.ini : Bpp の値 (2048 バイト) は長すぎるため読みません (2047 バイトまで)\n"
                     "System.ini : FreeStage の値 (4096 バイト) は長すぎるため読みません (4095 バイトまで)\n");
}

// A '/' ends a value: a FreeStage written with '/' is kept as far as its first one, and the cut
// is noted with what was read, taken or (one character or none) not; a later FreeStage taken
// whole takes the note away. Each row: the file's FreeStage lines, FreeStage, the note.
TEST_F(SettingsFiles, AFreeStageCutAtASlashIsNotedWithWhatWasRead) {
    std::string trace;
    for (const std::string lines : {"FreeStage=data/stg4/c01-1.stg4_001", "FreeStage=data", "FreeStage=./data/stg4/x",
                                    "FreeStage=/home/p/x", "FreeStage=data\\stg4\\x/comment",
                                    "FreeStage=a/b\nFreeStage=data\\stg4\\x", "FreeStage=a/b\nFreeStage=c"}) {
        SetSystemIniDefaults(ini, keys);
        ASSERT_TRUE(Read(lines + "\nExit\n")) << lines;
        std::string row = lines;
        std::replace(row.begin(), row.end(), '\n', '|');
        trace += row + " -> \"" + ini.FreeStage + "\", " + (ini.FreeStageCut ? "cut \"" + *ini.FreeStageCut + "\"" : "not cut") + "\n";
    }
    EXPECT_EQ(trace, "FreeStage=data/stg4/c01-1.stg4_001 -> \"data\", cut \"data\"\n"
                     "FreeStage=data -> \"data\", not cut\n"
                     "FreeStage=./data/stg4/x -> \"\", cut \".\"\n"
                     "FreeStage=/home/p/x -> \"\", cut \"\"\n"
                     "FreeStage=data\\stg4\\x/comment -> \"data\\stg4\\x\", cut \"data\\stg4\\x\"\n"
                     "FreeStage=a/b|FreeStage=data\\stg4\\x -> \"data\\stg4\\x\", not cut\n"
                     "FreeStage=a/b|FreeStage=c -> \"\", cut \"a\"\n");
    // The defaults, set again after a failed read, take the note away too.
    ASSERT_TRUE(Read("FreeStage=data/x\nExit\n"));
    SetSystemIniDefaults(ini, keys);
    EXPECT_FALSE(ini.FreeStageCut);
}

TEST_F(SettingsFiles, TenThousandEntriesEndTheFile) {
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "x\n";
    text += "Bpp=16\n";
    ASSERT_TRUE(Read(text));
    EXPECT_EQ(ini.Bpp, 0);
}

TEST_F(SettingsFiles, BootAndWindowDataFromTheirTables) {
    cBootData boot;
    EXPECT_EQ(golden::Vals(boot.nDrawMode, boot.bDoNotAsk), (std::vector<i64>{1, 0}));
    EXPECT_EQ(LoadFromFile(boot, "user_data\\Boot.dat"), 0);
    const std::string bootFile = golden::Bytes().U32(824).U32(2).U32(7).U32(1).U32(0).s;
    std::ofstream(dir / "user_data" / "Boot.dat", std::ios::binary) << bootFile;
    ASSERT_EQ(LoadFromFile(boot, "user_data\\Boot.dat"), 1);
    EXPECT_EQ(golden::Vals(boot.nDrawMode, boot.bDoNotAsk), (std::vector<i64>{7, 1})) << "an unknown mode is kept";
    ASSERT_EQ(SaveToFile(boot, "user_data\\Boot.dat"), 1);
    EXPECT_EQ(ReadFile("user_data/Boot.dat"), bootFile);

    // Window.dat: x and y are signed and clamped to the screen when read.
    SetWindowDataLimits(1024, 740);
    const std::string windowFile = golden::Bytes().U32(824).U32(5).I32(10).I32(20).I32(300).I32(200).U32(1).U32(0).s;
    std::ofstream(dir / "user_data" / "Window.dat", std::ios::binary) << windowFile;
    cWindowData w;
    ASSERT_EQ(LoadFromFile(w, "user_data\\Window.dat"), 1);
    EXPECT_EQ(golden::Vals(w.nX, w.nY, w.nWidth, w.nHeight, w.bZoomed), (std::vector<i64>{10, 20, 300, 200, 1}));
    ASSERT_EQ(SaveToFile(w, "user_data\\Window.dat"), 1);
    EXPECT_EQ(ReadFile("user_data/Window.dat"), windowFile);
    w.Set(-50, 5000, 640, 480, 1);
    ASSERT_EQ(SaveToFile(w, "user_data\\Window.dat"), 1);
    ASSERT_EQ(LoadFromFile(w, "user_data\\Window.dat"), 1);
    EXPECT_EQ(golden::Vals(w.nX, w.nY), (std::vector<i64>{0, 740}));
}

} // namespace
