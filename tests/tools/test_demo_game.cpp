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
#include "records/Stage.h"
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

} // namespace

TEST(DemoGame, WritesAFolderTheLoadersAccept) {
    ScratchGame game;
    std::string error;
    ASSERT_TRUE(MakeDemoGame(game.Dir(), error)) << error;
    SetGameRoot(game.Dir());

    ASSERT_EQ(LoadGameData(nullptr), 1);
    EXPECT_TRUE(game.boxes.empty());
    EXPECT_EQ(g_Database.m_vBgm.size(), 3u);
    EXPECT_EQ(g_Database.m_vSound.size(), 6u);
    EXPECT_EQ(g_Database.m_vCharaEffectRev.size(), g_Database.m_vCharaEffect.size());
    EXPECT_EQ(g_AnimeSteps.size(), g_Database.m_vAnime.size());
    EXPECT_EQ(g_SystemData.vSceneBgm, (cVector<u32>{1, 1, 2, 2}));
    EXPECT_EQ(g_SystemData.vIniKey[1].nValue, 1u);
    EXPECT_EQ(g_WorldMap.m_vEntry.size(), 3u);
    EXPECT_TRUE(g_WorldMap.HasStage("data\\stg4\\Demo.", 0, 0, 0));
    EXPECT_EQ(g_CommonPalette.m_vEdChara.size(), 3u);
    EXPECT_EQ(g_CommonPalette.m_vEdChara[1].byOperation, 0);

    // Every stage the map names loads, with a hero, an enemy, floor, items.
    for (const cWorldMapEntry& e : g_WorldMap.m_vEntry) {
        cStage st;
        ASSERT_EQ(LoadStageFile(st, e.m_vItem[0].strStageFile), 1) << e.m_vItem[0].strStageFile;
        EXPECT_TRUE(st.HasHero());
        EXPECT_GE(st.vChara.size(), 2u);
        EXPECT_GE(st.vBlock.size(), 60u);
        EXPECT_FALSE(st.vItem.empty());
        EXPECT_TRUE(FileExists(st.vBack[0].strPicture)) << st.vBack[0].strPicture;
    }

    // Every picture slot that must load has its file, and every file is an 8-bit BMP.
    for (int i = 0; i < SURFACE_COUNT; ++i) {
        const DDPICTUREDEF& d = g_SurfaceFile[i];
        if (d.optional || std::string(d.file) == "E") continue;
        const std::string bmp = ReadAll(ResolvePath(d.file));
        ASSERT_GE(bmp.size(), 54u + 1024u) << d.file;
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_EQ(bmp[28], 8) << d.file;
        EXPECT_EQ(Le32(bmp, 2), bmp.size());
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
