// The demo game: written through the runtime's records, read back by the runtime's loaders.
#include <gtest/gtest.h>

#include <fstream>

#include "database/CommonPalette.h"
#include "database/DataPaths.h"
#include "database/Database.h"
#include "database/GameData.h"
#include "database/SystemData.h"
#include "database/WorldMap.h"
#include "../database/TestUtil.h"
#include "platform/system/PathUtil.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "records/StageLoad.h"
#include "records/StrFormat.h"
#include "tools/DemoGame.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

u32 Le32(const std::string& s, std::size_t at) {
    u32 v = 0;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

// The demo game, written and loaded through the runtime's start-up loaders.
class DemoGameLoaded : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(MakeDemoGame(game.Dir(), error)) << error;
        SetGameRoot(game.Dir());
        ASSERT_EQ(LoadGameData(nullptr), 1);
    }
    void TearDown() override {
        g_Database.SetDefault();
        g_SystemData.SetDefault();
        g_WorldMap.SetDefault();
        g_CommonPalette = cCommonPalette();
    }

    ScratchGame game;
};

} // namespace

TEST_F(DemoGameLoaded, WritesAFolderTheLoadersAccept) {
    EXPECT_TRUE(game.boxes.empty());
    EXPECT_EQ(g_Database.m_vCharaEffectRev.size(), g_Database.m_vCharaEffect.size());
    EXPECT_EQ(g_AnimeSteps.size(), g_Database.m_vAnime.size());
    EXPECT_TRUE(g_WorldMap.HasStage("data\\stg4\\Demo.", 0, 0, 0));
    // Every mark the map draws is a row of the mark sheet.
    const std::string marks = ReadAll(ResolvePath("bmp\\WorldEvent.bmp"));
    ASSERT_GE(marks.size(), 26u);
    for (const cWorldMapEntry& e : g_WorldMap.m_vEntry)
        for (const cWorldMapEntryItem& it : e.m_vItem) EXPECT_LE(32 * (it.nPicture + 1), Le32(marks, 22));

    // Every picture slot has its file, and every file is an 8-bit BMP. The eight background
    // slots are left out: their names are stand-ins that the play scene replaces by each
    // stage's own backgrounds before it loads them.
    for (int i = 0; i < SURFACE_COUNT; ++i) {
        const DDPICTUREDEF& d = g_SurfaceFile[i];
        if (std::string(d.file) == "E" || (i >= 55 && i <= 62)) continue;
        const std::string bmp = ReadAll(ResolvePath(d.file));
        ASSERT_GE(bmp.size(), 54u + 1024u) << d.file;
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_EQ(bmp[28], 8) << d.file;
        EXPECT_EQ(Le32(bmp, 2), bmp.size());
    }
    // The world map's figure walks by alternating each direction's picture with the one 32 dots
    // to its right: all eight cells of the 8-bit Accessory sheet must hold a figure.
    const std::string acc = ReadAll(ResolvePath("bmp\\Accessory.bmp"));
    ASSERT_GE(acc.size(), 54u + 1024u);
    const int accW = static_cast<int>(Le32(acc, 18)), accH = static_cast<int>(Le32(acc, 22));
    const std::size_t stride = (static_cast<std::size_t>(accW) + 3) & ~std::size_t(3);
    auto index = [&](int x, int y) {
        return static_cast<unsigned char>(acc[Le32(acc, 10) + static_cast<std::size_t>(accH - 1 - y) * stride + x]);
    };
    for (int cy : {64, 96})
        for (int cx : {0, 32, 64, 96}) {
            int drawn = 0;
            for (int y = cy; y < cy + 32; ++y)
                for (int x = cx; x < cx + 32; ++x) drawn += index(x, y) != 0;
            EXPECT_GT(drawn, 100) << "figure cell at " << cx << "," << cy;
        }
    // Every material file the database names exists.
    for (const auto& s : g_Database.m_vSound) {
        if (!s.strFile.empty()) {
            EXPECT_TRUE(FileExists(s.strFile)) << s.strFile;
        }
    }
    for (const auto& b : g_Database.m_vBgm) {
        if (!b.strFile.empty()) {
            EXPECT_TRUE(FileExists(b.strFile)) << b.strFile;
        }
    }
    for (const auto& f : g_SystemData.vSeFile) EXPECT_TRUE(FileExists(f)) << f;
    const std::string wav = ReadAll(ResolvePath("wave\\jump.wav"));
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(ReadAll(ResolvePath("bgm\\Title.mid")).substr(0, 4), "MThd");
    EXPECT_EQ(ReadAll(ResolvePath("bgm\\Field.ogg")).substr(0, 4), "OggS");
    EXPECT_NE(ReadAll(ResolvePath("System.ini")).find("WindowMode=1\n"), std::string::npos);
}

TEST(DemoGame, BytesAreStableFromRunToRun) {
    ScratchGame a, b;
    std::string error;
    ASSERT_TRUE(MakeDemoGame(a.Dir(), error)) << error;
    ASSERT_TRUE(MakeDemoGame(b.Dir(), error)) << error;
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(a.Dir())) {
        if (!e.is_regular_file() || e.path().filename() == "Report_Game.txt") continue;
        ++files;
        const fs::path other = b.Dir() / fs::relative(e.path(), a.Dir());
        EXPECT_EQ(ReadAll(e.path()), ReadAll(other)) << e.path();
    }
    EXPECT_GT(files, 40);
}

TEST(DemoGame, DefaultFolderBecomesDataAndAnEmptyFolderIsReported) {
    ScratchGame game;
    std::string error;
    ASSERT_TRUE(MakeDemoGame(game.Dir(), error)) << error;
    fs::rename(game.Dir() / "data", game.Dir() / "default");
    SetGameRoot(game.Dir());
    ASSERT_EQ(LoadGameData(nullptr), 1);
    EXPECT_TRUE(fs::exists(game.Dir() / "data" / "database" / "Anime.dat"));
    ASSERT_EQ(game.boxes.size(), 1u); // only the question
    EXPECT_NE(game.boxes[0].find("デフォルトデータを作成しますか"), std::string::npos);

    ScratchGame empty;
    EXPECT_EQ(LoadGameData(nullptr), 0);
    ASSERT_EQ(empty.boxes.size(), 1u);
    EXPECT_NE(empty.boxes[0].find("「data」フォルダの作成に失敗"), std::string::npos);

    // A data folder without its files: the first missing file is named, then start-up stops.
    fs::create_directories(empty.Dir() / "data");
    EXPECT_EQ(LoadGameData(nullptr), 0);
    ASSERT_EQ(empty.boxes.size(), 3u);
    EXPECT_NE(empty.boxes[1].find("AnimeSet.dat の読み込みに失敗しました！"), std::string::npos);
    EXPECT_NE(empty.boxes[2].find("データベースの読み込みに失敗"), std::string::npos);
    g_Database.SetDefault();
    g_SystemData.SetDefault();
    g_WorldMap.SetDefault();
    g_CommonPalette = cCommonPalette();
}


// Every stage the world map names and every challenge stage the challenge list names (stage n
// is "data\stg4\cNN-1.stg4", numbered on loading) loads for play with its hero, its
// background picture and one goal whose commands clear the stage.
TEST_F(DemoGameLoaded, EveryStageLoadsForPlayWithAGoalThatClearsIt) {
    ASSERT_EQ(g_SystemData.nChallengeValue, static_cast<u32>(kDemoChallengeStages));
    EXPECT_EQ(g_SystemData.bChallengeSwitch, 1u);
    const auto challenge = [](int n) {
        std::string s;
        StrFormat(s, "%s%02d-1.%s", g_DataPath[DP_CHALLENGE_STAGE].c_str(), n, g_FileExt[1].c_str());
        return s;
    };
    EXPECT_EQ(challenge(1), "data\\stg4\\c01-1.stg4");
    std::vector<std::string> files;
    for (const cWorldMapEntry& e : g_WorldMap.m_vEntry)
        for (const cWorldMapEntryItem& it : e.m_vItem)
            if (it.nKind == 0) files.push_back(it.strStageFile);
    for (int n = 1; n <= kDemoChallengeStages; ++n) files.push_back(challenge(n));
    std::string found;
    EXPECT_EQ(FindNumberedFile(found, challenge(kDemoChallengeStages + 1), "stg4"), 0);

    const auto clears = [](const cEdItem& item) {
        for (const cFlowCmd& c : item.vCmd)
            if (c.cmdSet && std::string(CmdTypeRow(c.cmdSet, c.cmdKind).name) == "ステージクリア" &&
                c.params.size() == 9 && c.params[0] == 3)
                return true;
        return false;
    };
    for (const std::string& f : files) {
        ASSERT_EQ(LoadStageForPlay(f.c_str(), 1, nullptr), 1) << f;
        int goals = 0;
        for (const cEdItem& item : g_Stage.vItem) goals += clears(item);
        EXPECT_EQ(goals, 1) << f;
        EXPECT_TRUE(g_Stage.HasHero());
        EXPECT_TRUE(FileExists(g_Stage.vBack[0].strPicture)) << g_Stage.vBack[0].strPicture;
    }
    EXPECT_EQ(files.size(), 7u);
    EXPECT_TRUE(game.boxes.empty());
    // The second stage's goal has a flag beside it whose flow clears the stage the same way.
    ASSERT_EQ(LoadStageForPlay(files[1].c_str(), 1, nullptr), 1);
    int flags = 0;
    for (const cEdChara& c : g_Stage.vChara)
        for (const cFlow& f : c.vFlow)
            for (const cFlowCmd& cmd : f.cmds)
                flags += cmd.cmdSet == 0 && cmd.cmdKind == 17 && cmd.params.size() == 9 && cmd.params[0] == 3;
    EXPECT_EQ(flags, 1);
    // The common palette's goal carries the command too, so a stage placing it gets it.
    int goals = 0;
    for (const cEdItem& item : g_CommonPalette.m_vEdItem) goals += clears(item);
    EXPECT_EQ(goals, 1);
}

// Every stage of the demo, those of the map and the challenges alike, plays the two-second Ogg
// loop with the play flag that loops it: with the flag at 0 it would sound once and leave the
// rest of the stage silent.
TEST_F(DemoGameLoaded, EveryStageLoopsItsMusic) {
    std::vector<std::string> files;
    for (const cWorldMapEntry& e : g_WorldMap.m_vEntry)
        for (const cWorldMapEntryItem& it : e.m_vItem)
            if (it.nKind == 0) files.push_back(it.strStageFile);
    for (int n = 1; n <= kDemoChallengeStages; ++n) {
        std::string s;
        StrFormat(s, "%s%02d-1.%s", g_DataPath[DP_CHALLENGE_STAGE].c_str(), n, g_FileExt[1].c_str());
        files.push_back(s);
    }
    ASSERT_EQ(files.size(), 7u);
    for (const std::string& f : files) {
        ASSERT_EQ(LoadStageForPlay(f.c_str(), 1, nullptr), 1) << f;
        const i64 music = StageSettings::Get(g_Stage, eStage::Music);
        ASSERT_LT(music, g_Database.m_vBgm.Size()) << f;
        EXPECT_EQ(g_Database.m_vBgm[music].strFile, "bgm\\Field.ogg") << f;
        EXPECT_EQ(StageSettings::Get(g_Stage, eStage::MusicFlag), 1) << f;
    }
}
