// The picture, chara-effect, screen-effect, screen-colour, background and music commands on a
// running play.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "app/Game.h"
#include "app/PlayRecord.h"
#include "database/AnimeData.h"
#include "database/Database.h"
#include "flow/commands/Commands.h"
#include "platform/graphics/Image.h"
#include "platform/system/PathResolver.h"
#include "platform/system/WindowMessages.h"
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

namespace {

// How many times the report names a file.
int Mentions(const std::string& report, const std::string& name) {
    int n = 0;
    for (std::size_t at = report.find(name); at != std::string::npos; at = report.find(name, at + 1)) ++n;
    return n;
}

} // namespace

// A flow may show a missing picture every frame: the first try of a stage writes the two lines
// it always wrote, the others none; the next stage reports it once again.
TEST(PictureCmd, AMissingPictureIsReportedOnceAStage) {
    flowtest::HeroPlay h({.prepareData = PreparePictures});
    const cFlowCmd show = Cmd(32, {2, 0, 0, 0, 0, 0, 0, 100, 2, 5, 0, 0, 0, 6, 0});
    for (int i = 0; i < 3; ++i) {
        cFlowCmd c = show;
        CmdPicture(h.hero, c);
    }
    EXPECT_TRUE(h.s.m_lstPicture.empty());
    EXPECT_EQ(Mentions(h.play.Report(), "Missing.bmp"), 2) << h.play.Report();
    EXPECT_NE(h.play.Report().find("LoadImage Err bmp\\picture\\Missing.bmp (cannot open the file)"),
              std::string::npos);

    h.s.SetStage(1, 1);
    ASSERT_NE(h.s.Player0(), nullptr);
    for (int i = 0; i < 2; ++i) {
        cFlowCmd c = show;
        CmdPicture(*h.s.Player0(), c);
    }
    EXPECT_EQ(Mentions(h.play.Report(), "Missing.bmp"), 4) << h.play.Report();
}

namespace {

// While it lives, the music numbers the play asks the window thread for are noted in `log`.
struct MusicLog {
    explicit MusicLog(std::string& log) {
        s_log = &log;
        g_hWnd = MainWindowHandle();
        WindowQueueOpen([](HWND, u32 message, WPARAM which, LPARAM number) -> LRESULT {
            if (message == WM_GAME_BGM && which == 4 && s_log) *s_log += " " + std::to_string(number);
            return 0;
        });
    }
    ~MusicLog() {
        WindowQueueShutdown();
        g_hWnd = nullptr;
        s_log = nullptr;
    }
    static inline std::string* s_log = nullptr;
};

} // namespace

// The music command run again and again (a mode that does not keep the piece restarts it each
// time). While the last music asked for failed with its file missing, a missing file asked for
// again would only fail the same way and write its report line once more: it is not asked for.
// A file that is there is asked for every time, one put back at once, and a missing one again
// once something plays that its failure would stop.
TEST(PictureCmd, MissingMusicIsNotAskedForAgainWhileNothingPlays) {
    flowtest::HeroPlay h({.prepareData = [] {
        PreparePictures();
        g_Database.m_vBgm.resize(4);
        g_Database.m_vBgm[1].strFile = "bgm\\Gone.mid";
        g_Database.m_vBgm[2].strFile = "bgm\\Here.ogg";
        g_Database.m_vBgm[3].strFile = "bgm\\Lost.ogg";
    }});
    const std::filesystem::path bgm = GetGameRoot() / "bgm";
    std::filesystem::create_directories(bgm);
    std::ofstream(bgm / "Here.ogg") << "music";
    const i32 savedNumber = g_Game.m_nBgmNumber;
    const u32 savedFlag = g_Game.m_bBgmFlag;
    g_Game.m_nBgmNumber = 0;
    g_Game.m_bBgmFlag = 0;
    std::string trace;
    {
        MusicLog log(trace);
        // Asks of (music, mode); mode 1 keeps a piece that plays.
        auto play = [&](const char* label, std::initializer_list<std::pair<i64, i64>> asks) {
            trace += label;
            for (const auto& [number, mode] : asks) Exec(CmdPlayBGM, h.hero, 36, {number, mode});
            trace += "\n";
        };
        play("missing:", {{1, 0}, {1, 0}, {1, 0}});
        play("there:", {{2, 0}, {2, 0}});
        play("missing after it:", {{1, 0}, {1, 0}});
        play("two missing in turn:", {{3, 0}, {1, 0}, {3, 0}, {1, 0}});
        play("missing, kept:", {{1, 1}, {1, 1}});
        std::ofstream(bgm / "Gone.mid") << "music";
        play("back, kept:", {{1, 1}});
        play("back:", {{1, 0}, {1, 0}});
        std::filesystem::remove(bgm / "Gone.mid");
        play("gone again:", {{1, 0}, {1, 0}});
        play("there, kept:", {{2, 1}, {2, 1}});
        std::filesystem::remove(bgm / "Here.ogg");
        play("gone while it plays, kept:", {{2, 1}});
        play("gone while it plays:", {{2, 0}, {2, 0}});
    }
    g_Game.m_nBgmNumber = savedNumber;
    g_Game.m_bBgmFlag = savedFlag;
    // A kept piece asked for while missing counts as asked for, as it did when it went out: once
    // back, the kept ask takes it for playing still.
    EXPECT_EQ(trace, "missing: 1\n"
                     "there: 2 2\n"
                     "missing after it: 1\n"
                     "two missing in turn: 3\n"
                     "missing, kept:\n"
                     "back, kept:\n"
                     "back: 1 1\n"
                     "gone again: 1\n"
                     "there, kept: 2\n"
                     "gone while it plays, kept:\n"
                     "gone while it plays: 2\n")
        << trace;
    EXPECT_EQ(g_PlayRecord.nBgmPlaying, 2u);
}
