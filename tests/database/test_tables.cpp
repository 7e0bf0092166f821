// Fixed tables of a game folder, the default-data copy and the option data.
#include <gtest/gtest.h>

#include <cmath>

#include "database/DataPaths.h"
#include "database/EffectData.h"
#include "database/OptionData.h"
#include "database/Text.h"
#include "records/DataFile.h"
#include "TestUtil.h"

// The surface table's alias links agree with its own option; font faces outside the table
// fall back to the default row.
TEST(DataPaths, SurfaceAliasesAndFontFallback) {
    EXPECT_EQ(SurfaceAlias(23), 4);
    EXPECT_EQ(SurfaceAlias(68), 67);
    int aliases[SURFACE_COUNT];
    LinkSurfaceAliases(aliases);
    for (int i = 0; i < SURFACE_COUNT; ++i) EXPECT_EQ(g_SurfaceFile[i].noOwnTexture == 1, aliases[i] >= 0) << i;
    EXPECT_STREQ(g_FontDef[1].face, g_FontFace[FONTFACE_DEFAULT].c_str());
    EXPECT_EQ(&FontFaceFor(122), &g_FontFace[FONTFACE_DEFAULT]);
    EXPECT_EQ(&FontFaceFor(0xFFFFFFFFu), &g_FontFace[FONTFACE_DEFAULT]);
    EXPECT_EQ(FontFaceFor(60), Sj("ＭＳ Ｐゴシック"));
}

TEST(DataPaths, DefaultDataCopy) {
    ScratchGame game;
    EXPECT_EQ(CreateDefaultData(nullptr), 0);
    EXPECT_TRUE(game.boxes.empty());
    game.Write("default/System.dat", "sys");
    game.Write("default/database/Anime.dat", "anime");
    game.answer = IDNO;
    EXPECT_EQ(CreateDefaultData(nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(game.Dir() / "data"));
    game.answer = IDYES;
    EXPECT_EQ(CreateDefaultData(nullptr), 1);
    EXPECT_EQ(game.Read("data/System.dat"), "sys");
    EXPECT_EQ(game.Read("data/database/Anime.dat"), "anime");
    EXPECT_FALSE(std::filesystem::exists(game.Dir() / "data" / "default"));
    const std::size_t asked = game.boxes.size();
    EXPECT_EQ(CreateDefaultData(nullptr), 1);
    EXPECT_EQ(game.boxes.size(), asked);

    CreateStartFolders();
    CreateStartFolders();
    EXPECT_TRUE(std::filesystem::is_directory(game.Dir() / "bmp" / "hbt"));
    EXPECT_TRUE(std::filesystem::is_directory(game.Dir() / "user_data" / "rpl4"));
}

TEST(OptionData, DefaultsStoredFormAndClamps) {
    cOptionData o;
    EXPECT_EQ(SeVolumeCentiDb(o.nSeVolume), -150);
    EXPECT_EQ(SeVolumeCentiDb(10), 0);
    EXPECT_EQ(SeVolumeCentiDb(0), -10000);
    EXPECT_NEAR(SeVolumeGain(10), 1.0, 1e-12);
    EXPECT_NEAR(SeVolumeGain(7), std::pow(10.0, -1.5 / 20.0), 1e-12);

    ScratchGame game;
    game.Write("user_data/Option.dat", U32(824) + U32(4) + U32(99) + U32(7) + U32(11) + U32(4) + U32(1) + U32(1));
    cOptionData loaded;
    ASSERT_EQ(LoadFromFile(loaded, "user_data\\Option.dat"), 1);
    EXPECT_EQ(loaded.nBlendTable, OPTION_BLEND_MAX);
    EXPECT_EQ(loaded.bBgm, 1u);
    EXPECT_EQ(loaded.nSeVolume, OPTION_SE_VOLUME_MAX);
    EXPECT_EQ(loaded.nRankingMode, OPTION_RANKING_MODE_MAX);
    EXPECT_EQ(loaded.strRankingName, "");
    // One report line per clamp, with no empty line between them.
    const std::string report = game.Read("Report_Game.txt");
    EXPECT_NE(report.find("nSeVolume (11)"), std::string::npos);
    EXPECT_EQ(report.find("\n\r\n"), std::string::npos);

    cOptionData missing;
    EXPECT_EQ(LoadFromFile(missing, "user_data\\None.dat"), 0);
    EXPECT_EQ(missing.strRankingName, "aaa");
    EXPECT_TRUE(game.boxes.empty());
}

// Every effect type has its speed note: the Direct3D line, then the DirectDraw line.
TEST(EffectLabels, SpeedNotesOfEveryType) {
    auto check = [](const char* note) {
        const std::string n = note;
        const std::size_t nl = n.find('\n');
        ASSERT_NE(nl, std::string::npos) << n;
        EXPECT_EQ(n.rfind("Direct3D有効時：", 0), 0u) << n;
        EXPECT_EQ(n.compare(nl + 1, std::string("Direct3D無効時：").size(), "Direct3D無効時："), 0) << n;
    };
    for (int t = 1; t < CHARA_EFFECT_TYPES; ++t) check(g_CharaEffectNote[t]);
    for (int t = 1; t < SCR_EFFECT_TYPES; ++t) check(g_ScrEffectNote[t]);
    EXPECT_STREQ(g_CharaEffectNote[8], "Direct3D有効時：回転Aと回転Bは同じ\nDirect3D無効時：やや遅い。巨大キャラには描画精度重視");
    EXPECT_STREQ(g_ScrEffectNote[13], "Direct3D有効時：遅過ぎ\nDirect3D無効時：画面が16bit色以上だと遅過ぎ");
}
