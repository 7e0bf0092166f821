// The picture, chara-effect, screen-effect, screen-colour, background and music commands on a
// running play.
#include <gtest/gtest.h>

#include <fstream>

#include "app/PlayRecord.h"
#include "database/AnimeData.h"
#include "database/Database.h"
#include "flow/commands/Commands.h"
#include "platform/graphics/Image.h"
#include "platform/system/PathResolver.h"
#include "records/Stage.h"
#include "tests/flow/FlowTrace.h"

namespace {

using flowtest::Cmd;

// Runs a command body once with a command of this kind and these integers.
i32 Exec(i32 (*body)(cChara&, cFlowCmd&), cChara& chara, u8 kind, std::initializer_list<i64> params) {
    cFlowCmd c = Cmd(kind, params);
    return body(chara, c);
}

void PreparePictures() {
    g_Database.m_vPicture.resize(3);
    g_Database.m_vPicture[1].strFile = "bmp\\picture\\Sign.bmp";
    g_Database.m_vPicture[2].strFile = "bmp\\picture\\Missing.bmp";
    g_Database.m_vBgm.resize(3);
}

} // namespace

TEST(PictureCmd, ShowsReplacesClosesAndHolds) {
    flowtest::HeroPlay h({.prepareData = PreparePictures});
    cImage img;
    img.width = 40;
    img.height = 20;
    img.argb.assign(800, 0xFF2060A0);
    std::filesystem::create_directories(GetGameRoot() / "bmp" / "picture");
    const std::vector<u8> bmp = EncodeBmp(img, 24);
    std::ofstream(GetGameRoot() / "bmp" / "picture" / "Sign.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    cGameScene& s = h.s;
    cPlayer* hero = &h.hero;

    // Picture 1 with ID 5 at 150 %, on the hero, timed 2 tenths.
    cFlowCmd show = Cmd(32, {1, 2, 3, 4, 5, 6, 1, 150, 2, 2, 0, 1, 0, 5, 0});
    CmdPicture(*hero, show);
    ASSERT_EQ(s.m_lstPicture.size(), 1u);
    const PictureParam& p = s.m_lstPicture[0];
    EXPECT_EQ(p.id, 1);
    EXPECT_EQ(p.nWidth, 60);
    EXPECT_EQ(p.nHeight, 30);
    EXPECT_EQ(p.nFrames, 12);
    EXPECT_EQ(p.nObjId, static_cast<i32>(hero->m_nId));
    EXPECT_EQ(p.byLayer, 1);
    ASSERT_NE(PictureSurface(s, p), nullptr);
    // The same ID again replaces it, drawn from the picture already loaded.
    CmdPicture(*hero, show);
    ASSERT_EQ(s.m_lstPicture.size(), 1u);
    EXPECT_EQ(s.m_vPictureSurface.Size(), 1);
    // A missing file is reported and shows nothing; picture 0 with the replace flag closes ID 5.
    Exec(CmdPicture, *hero, 32, {2, 0, 0, 0, 0, 0, 0, 100, 0, 0, 0, 0, 0, 6, 0});
    EXPECT_EQ(s.m_lstPicture.size(), 1u);
    EXPECT_NE(h.play.Report().find("Missing.bmp 読み込み失敗！"), std::string::npos);
    Exec(CmdPicture, *hero, 32, {0, 0, 0, 0, 0, 0, 0, 100, 0, 0, 0, 0, 1, 5, 0});
    EXPECT_TRUE(s.m_lstPicture.empty());
    // Holding until the key: the picture goes with the wait; a timed hold counts its frames (the
    // loop ends at once, leaving the block as the command set it).
    s.m_nNestedFrameLimit = 0;
    Exec(CmdPicture, *hero, 32, {1, 0, 0, 0, 0, 0, 0, 100, 0, 0, 1, 0, 0, 7, 0});
    EXPECT_EQ(s.m_bPauseWaitKey, 1);
    EXPECT_TRUE(s.m_lstPicture.empty());
    Exec(CmdPicture, *hero, 32, {1, 0, 0, 0, 0, 0, 0, 100, 2, 3, 1, 0, 0, 7, 1});
    EXPECT_EQ(s.m_nPauseCountdown, 1);
    EXPECT_EQ(s.m_lstPicture.size(), 1u);
}

TEST(PictureCmd, ScreenAndStageCommands) {
    cStage st = playtest::MakeStage(40, 15);
    st.ResetBackList(2);
    flowtest::HeroPlay h({.prepareData = PreparePictures}, st);
    cGameScene& s = h.s;
    cPlayer* hero = &h.hero;

    // Backgrounds count from 1: 0 and 3 do nothing, toggling twice restores.
    g_Stage.vBack[1].bVisible = 1;
    Exec(CmdBackground, *hero, 34, {2, 2});
    EXPECT_EQ(g_Stage.vBack[1].bVisible, 0u);
    Exec(CmdBackground, *hero, 34, {2, 2});
    EXPECT_EQ(g_Stage.vBack[1].bVisible, 1u);
    Exec(CmdBackground, *hero, 34, {0, 1});
    Exec(CmdBackground, *hero, 34, {3, 1});
    EXPECT_EQ(g_Stage.vBack[0].bVisible + g_Stage.vBack[1].bVisible, 2u);

    // Screen colour: a fade to red at 60 % over 1 s, then a fade back from it.
    Exec(CmdScreenColor, *hero, 33, {1, 10, 0, 0, 1, 10, 0, 0});
    EXPECT_EQ(s.m_ScreenColour.bActive, 0); // nothing to fade back from yet
    Exec(CmdScreenColor, *hero, 33, {255, 0, 0, 60, 0, 10, 0, 0});
    EXPECT_EQ(s.m_ScreenColour.bActive, 1);
    EXPECT_EQ(s.m_ScreenColour.byColour[0], 255);
    EXPECT_EQ(s.m_ScreenColour.nDuration, 60);
    Exec(CmdScreenColor, *hero, 33, {0, 0, 255, 10, 1, 5, 0, 0});
    EXPECT_EQ(s.m_ScreenColour.nDirection, 1);
    EXPECT_EQ(s.m_ScreenColour.byColour[0], 255); // the fade back returns from the red
    EXPECT_EQ(s.m_ScreenColour.nStrength2, 60);

    // Run animation: an overlay of the flow's run, which the flow operations pause, resume and
    // remove; numbers outside the animation list add nothing.
    ASSERT_GE(g_AnimeSteps.Size(), 2);
    Exec(CmdPlayAnim, *hero, 28, {1});
    Exec(CmdPlayAnim, *hero, 28, {0});
    Exec(CmdPlayAnim, *hero, 28, {g_AnimeSteps.Size()});
    ASSERT_EQ(hero->m_vOverlayAnim.size(), 1u);
    EXPECT_EQ(hero->m_vOverlayAnim[0].nRunNo, -1);
    EXPECT_EQ(hero->m_vOverlayAnim[0].bTimed, 0);
    hero->m_vOverlayAnim[0].nRunNo = 4;
    ResetTimer(*hero, 4);
    EXPECT_EQ(hero->m_vOverlayAnim[0].bEnabled, 0);
    ClearTimerFlag(*hero, 4);
    EXPECT_EQ(hero->m_vOverlayAnim[0].bEnabled, 1);
    RemoveTimer(*hero, 4);
    EXPECT_TRUE(hero->m_vOverlayAnim.empty());

    // Graphic and animation set; a source outside its list changes nothing, a set past the
    // table is taken (its tables are the first set's).
    Exec(CmdChangeGraphic, *hero, 26, {4, 7, 3});
    Exec(CmdChangeGraphic, *hero, 26, {5, 9, 9});
    EXPECT_EQ(hero->m_Def.byPictureKind, 4);
    EXPECT_EQ(hero->m_Def.wPicture, 7);
    EXPECT_EQ(hero->m_nPictureShift, 3);
    Exec(CmdChangeAnimSet, *hero, 27, {g_Database.m_vAnimeSet.Size()});
    EXPECT_EQ(hero->m_nAnimSet, g_Database.m_vAnimeSet.Size());
    Exec(CmdChangeAnimSet, *hero, 27, {0});
    EXPECT_EQ(hero->m_nAnimSet, 0);

    // Effects of the character and the screen; music kept in the play record.
    Exec(CmdCharaEffect, *hero, 30, {1, 2, 1});
    EXPECT_EQ(hero->m_CharaEffect.m_nMode, 2);
    Exec(CmdScreenEffect, *hero, 31, {1, 1, 0});
    EXPECT_EQ(s.m_ScreenEffect.m_bReversed, 1);
    Exec(CmdPlayBGM, *hero, 36, {2, 1});
    EXPECT_EQ(g_PlayRecord.nBgmPlaying, 2u);
    Exec(CmdPlayBGM, *hero, 36, {3, 0});
    EXPECT_EQ(g_PlayRecord.nBgmPlaying, 2u);
}
