// The play scene: its states through a stage's life (time limit, deaths, lives, game over), the
// nested loops and frozen draws that change nothing of the play, the stage-end tally with extra
// lives and the ranking, the results by game mode, and the stages it refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <sstream>
#include <unistd.h>

#include "app/PlayRecord.h"
#include "app/PlayRecordNames.h"
#include "app/Ranking.h"
#include "app/Scenes.h"
#include "database/DataPaths.h"
#include "database/OptionData.h"
#include "database/SystemData.h"
#include "platform/system/PathResolver.h"
#include "platform/system/WindowMessages.h"
#include "records/StageSettings.h"
#include "ActorsStage.h"
#include "StageTestUtil.h"
#include "tests/play/PlayFixture.h"

namespace {

// The window thread's side of the requests the play sends: sounds are noted, the name dialog
// answers at once.
std::vector<int> g_sounds;
LRESULT Recorder(HWND, u32 msg, WPARAM w, LPARAM) {
    if (msg == WM_GAME_PLAYSE) g_sounds.push_back(static_cast<int>(w));
    if (msg == WM_GAME_NAMEDLG) g_bNameDone.store(1);
    return 0;
}
struct WindowRecorder {
    WindowRecorder() {
        g_sounds.clear();
        g_hWnd = MainWindowHandle();
        WindowQueueOpen(Recorder);
    }
    ~WindowRecorder() {
        WindowQueueShutdown();
        g_hWnd = nullptr;
    }
};

std::string Sounds() {
    std::string s;
    for (int n : g_sounds) s += std::to_string(n) + " ";
    g_sounds.clear();
    return s;
}

cStage StageWith(std::initializer_list<std::pair<eStage, i64>> settings) {
    cStage st = playtest::MakeStage(40, 15);
    for (auto [s, v] : settings) StageSettings::Set(st, s, v);
    return st;
}

} // namespace

TEST(PlayScene, StepMarks) {
    auto marks = [](u32 s, u32 n) {
        std::string out;
        for (u32 v : MakeStepMarks(s, n)) out += v ? '1' : '0';
        return out;
    };
    EXPECT_EQ(marks(4, 3), "1110");
    EXPECT_EQ(marks(4, 0), "1111");
    EXPECT_EQ(marks(4, 9), "1111");
    EXPECT_EQ(marks(10, 3), "1001001000");
    EXPECT_EQ(marks(5, 2), "10100");
}

TEST(PlayScene, TimeUpDeathsLivesAndGameOver) {
    WindowRecorder window;
    playtest::PlayFixture play(StageWith({{eStage::TimeLimitOn, 1}, {eStage::TimeLimit, 2}, {eStage::TimeWarning, 1}}));
    g_PlayRecord.nStartLives = 2;
    cGameScene& s = play.Scene();
    // Every change of state, lives, time left or dying, with the sounds since the last line.
    std::ostringstream trace;
    std::string last;
    for (int f = 0; f < 700 && s.m_nState != 6; ++f) {
        play.Step();
        const cPlayer* p = s.Player0();
        std::ostringstream now;
        now << "state " << s.m_nState << " lives " << g_PlayRecord.nLives << " time " << s.m_nTimeLeft << " dying "
            << (p ? p->m_bDying : 9u);
        if (now.str() != last) trace << now.str() << " | " << Sounds() << "\n";
        last = now.str();
    }
    EXPECT_EQ(trace.str(), "state 0 lives 1 time 2 dying 0 | \n"
                           "state 1 lives 1 time 2 dying 0 | \n"
                           "state 2 lives 1 time 2 dying 0 | \n"
                           "state 2 lives 1 time 1 dying 0 | 13 \n"
                           "state 2 lives 1 time 0 dying 1 | 8 \n"
                           "state 1 lives 0 time 2 dying 0 | \n"
                           "state 2 lives 0 time 2 dying 0 | \n"
                           "state 2 lives 0 time 1 dying 0 | 13 \n"
                           "state 2 lives 0 time 0 dying 1 | 8 \n"
                           "state 6 lives 0 time 0 dying 1 | \n");
    // Game over takes the decision key to the title menu.
    play.Step(0, playtest::DECIDE);
    EXPECT_EQ(s.m_nState, 7);
    play.Steps(3);
    EXPECT_EQ(g_Game.g_nScene, SCENE_MENU);
}

TEST(PlayScene, NestedLoopsAndFrozenDrawsChangeNothing) {
    cStage st = playtest::MakeStage(40, 15);
    cEdChara enemy = st.vChara[0];
    enemy.byOperation = 1;
    enemy.sPosX = 8;
    st.vChara.push_back(enemy);
    playtest::PlayFixture play(st);
    g_PlayRecord.nStartLives = 3;
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    play.Script("R*5 RJ*3 .*2");
    ASSERT_EQ(s.m_lstChara.LiveCount(), 1);
    cStageChara& c = s.m_lstChara[0];
    c.m_bDying = 1;
    const cInput before = g_vInput[0];
    const u32 frames = s.m_nFrameCounter, rand = s.m_Rand.State();
    // A message held for 30 frames, a key wait, pause-menu frames: all drawn frozen.
    EXPECT_EQ(s.HoldFrames(30), 1);
    s.m_bPauseWaitKey = 1;
    EXPECT_EQ(s.PauseLoop(), 1);
    for (int i = 0; i < 5; ++i) s.Draw(0, 1, 0, 1);
    EXPECT_EQ(s.m_nFrameCounter, frames);
    EXPECT_EQ(s.m_Rand.State(), rand);
    for (int r = 0; r < 2; ++r)
        for (int i = 0; i < 32; ++i) {
            EXPECT_EQ(g_vInput[0].aRing[r][i].value, before.aRing[r][i].value);
            EXPECT_EQ(g_vInput[0].aRing[r][i].hold, before.aRing[r][i].hold);
        }
    EXPECT_EQ(g_vInput[0].anRingIndex, before.anRingIndex);
    EXPECT_EQ(g_vInput[0].vButtonState.size(), before.vButtonState.size());
    EXPECT_FALSE(c.IsRemoved()) << "a frozen draw removed the dying character";
    // The update's own draw ends the death animation and takes the character out.
    play.Step();
    EXPECT_EQ(s.m_lstChara.LiveCount(), 0);
    // The same for the player: its death animation waits in frozen draws and is handled by the
    // update's draw only.
    cPlayer& p = *s.Player0();
    p.m_bDying = 1;
    play.Step();
    const i32 waited = p.m_nDeathWaitFrames;
    EXPECT_EQ(s.HoldFrames(100), 1);
    s.Draw(0, 1, 0, 1);
    EXPECT_EQ(p.m_nDeathWaitFrames, waited);
    EXPECT_EQ(s.m_nState, 2) << "a frozen draw ran the player's death";
    for (int i = 0; i < 200 && s.m_nState == 2; ++i) play.Step();
    EXPECT_EQ(s.m_nState, 1);
}

TEST(PlayScene, StageEndTalliesExtraLivesAndFilesTheRankingOnce) {
    WindowRecorder window;
    playtest::PlayFixture play(playtest::MakeStage(40, 15), {.prepareData = [] {
                                                                 g_SystemData.bExtraLife = 1;
                                                                 g_SystemData.nExtraLifeScore = 100;
                                                                 g_SystemData.vRankingSetting[2].bRanking = 1;
                                                                 g_SystemData.vRankingSetting[2].vItem.assign(5, 1);
                                                             }});
    g_Game.g_bUseRanking = 1;
    g_OptionData.nRankingMode = 1; // the fixed registration name
    g_OptionData.strRankingName = "abc";
    g_PlayRecord.strStageFile = "data\\stg4\\Rank.stg4_001";
    g_PlayRecord.nStartLives = 3;
    CreateStartFolders();
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    Sounds();
    g_PlayRecord.nTotalScore = 90;
    g_PlayRecord.nScore = 250;
    s.StageEnd();
    // 90 -> 340 passes 100, 200 and 300: three lives, each with its sound and notice.
    EXPECT_EQ(g_PlayRecord.nLives, 5u);
    EXPECT_EQ(Sounds(), "14 15 15 15 ");
    EXPECT_TRUE(s.m_vNotice.empty());
    EXPECT_EQ(s.m_vResult[0], 0); // first place of an empty table
    EXPECT_EQ(s.m_bNameEntry, 1u);
    s.EnterName();
    s.EnterName();
    ASSERT_FALSE(g_Ranking.vTable.empty());
    EXPECT_EQ(g_Ranking.vTable[0].vEntry[0].strName, "abc");
    EXPECT_EQ(g_Ranking.vTable[0].vEntry[0].nValue, 340);
    EXPECT_EQ(g_Ranking.vTable[0].vEntry[1].bUsed, 0u) << "the clear was filed twice";
    std::string path;
    ASSERT_TRUE(MakeRankingPath(path, g_Game.g_nPlayKind, g_PlayRecord.strStageFile, 0, 0, 0));
    EXPECT_TRUE(std::filesystem::exists(ResolvePath(path)));

    // A score far past the step gives every life up to 99, but holds the game for ten notices.
    g_PlayRecord.nScore = 999999;
    g_PlayRecord.nTotalScore = 0;
    g_SystemData.nExtraLifeScore = 1;
    Sounds();
    s.StageEnd();
    EXPECT_EQ(g_PlayRecord.nLives, 99u);
    EXPECT_EQ(Sounds(), "14 15 15 15 15 15 15 15 15 15 15 ");
}

TEST(PlayScene, ResultsByMode) {
    playtest::PlayFixture play(playtest::MakeStage(40, 15), {.prepareData = [] { g_SystemData.nChallengeValue = 2; }});
    CreateStartFolders();
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    cPlayRecord& r = g_PlayRecord;
    r.nTotalScore = 50;
    auto result = [&](i32 mode) {
        g_Game.g_nGameMode = mode;
        return s.ProcessResult();
    };
    // Story: the stage's switch, then the world map.
    r.nStageNo = 3;
    EXPECT_EQ(result(0), 1);
    EXPECT_EQ(r.vSwitch[3], 1u);
    // Challenge: row n - 1 cleared with its best, the next stage opened, the results saved.
    r.vChallenge.assign(2, cRecInt2{});
    r.nStageNo = 1;
    EXPECT_EQ(result(2), 3);
    EXPECT_EQ(r.vChallenge[0].nValue1, 1u);
    EXPECT_EQ(r.vChallenge[0].nValue2, 50u);
    EXPECT_EQ(r.nChallengeOpen, 2u);
    r.nStageNo = 2;
    EXPECT_EQ(result(2), 3);
    EXPECT_EQ(r.nChallengeOpen, 2u) << "capped by the system data's challenge count";
    EXPECT_TRUE(std::filesystem::exists(ResolvePath("user_data\\challenge\\Challenge.dat")));
    // A lower score keeps the best.
    r.nTotalScore = 20;
    EXPECT_EQ(result(2), 3);
    EXPECT_EQ(r.vChallenge[0].nValue2, 50u);
    // Stage number 0 names no challenge row: reported and skipped, the program goes on.
    r.nStageNo = 0;
    EXPECT_EQ(result(2), 3);
    EXPECT_NE(play.Report().find("ProcessResult : challenge stage 0 of 2 has no result row"), std::string::npos);
    EXPECT_EQ(play.CloseRequests(), 0u);
    // Free play without a next stage plays the stage again; a replay starts over.
    playrec::NextStageFlag(r) = 0;
    EXPECT_EQ(result(3), 4);
    EXPECT_EQ(result(4), 4);
}

TEST(PlayScene, RefusedStagesAndFaultsInAFrameCloseInOrder) {
    {
        // No hero: the replay path never checked it; the set-up refuses before any row is read.
        cStage st = playtest::MakeStage(20, 15);
        st.vChara.clear();
        playtest::PlayFixture play(st);
        play.Steps(5);
        EXPECT_NE(play.Report().find("主人公が配置されていないのでプレイできません！"), std::string::npos);
        EXPECT_GE(play.CloseRequests(), 1u);
        EXPECT_EQ(play.Scene().Player0(), nullptr);
    }
    {
        // A width whose block map cannot be held: the memory error, not an overflowed size.
        cStage st = playtest::MakeStage(20, 15);
        st.dwWidth() = 0xFFFFFFF0u;
        playtest::PlayFixture play(st);
        play.Steps(5);
        EXPECT_NE(play.Report().find("メモリ不足により、ステージの初期設定に失敗しました！"), std::string::npos);
        EXPECT_GE(play.CloseRequests(), 1u);
    }
    {
        // Speed level 0 plays one step a frame.
        playtest::PlayFixture play(StageWith({{eStage::SpeedLevel, 0}}));
        ASSERT_TRUE(play.RunUntilPlay());
        const i32 before = play.Scene().m_nStepCount;
        play.Steps(3);
        EXPECT_EQ(play.Scene().m_nStepCount, before + 3);
        EXPECT_NE(play.Report().find("gives no play step"), std::string::npos);
    }
    {
        // A hero row missing from a list of stage characters is a bad index of the list: its
        // report line and the close request; the first row stands in meanwhile.
        cStage st = playtest::MakeStage(20, 15);
        cEdChara foe = st.vChara[0];
        foe.byOperation = 1;
        st.vChara.push_back(foe);
        st.Prepare();
        st.vChara[0].byOperation = 1; // past the loader's own check
        playtest::PlayFixture play(st);
        play.Steps(3);
        EXPECT_NE(play.Report().find("err V[-1] ( 2 , "), std::string::npos) << play.Report();
        EXPECT_GE(play.CloseRequests(), 1u);
    }
    {
        // A carried item past the item list is a bad index of the list as well.
        cStage st = playtest::MakeStage(20, 15);
        cEdChara carrier = st.vChara[0];
        carrier.byOperation = 1;
        carrier.sPosX = 10;
        st.vChara.push_back(carrier);
        st.vItem.push_back(cEdItem{});
        st.Prepare();
        st.vChara[1].nHoldItem = 99;
        playtest::PlayFixture play(st);
        ASSERT_TRUE(play.RunUntilPlay());
        EXPECT_NE(play.Report().find("err V[99] ( 1 , "), std::string::npos) << play.Report();
        EXPECT_GE(play.CloseRequests(), 1u);
        // The first item stands in: it is carried, not also lying in the stage.
        EXPECT_EQ(play.Scene().m_lstItem.Size(), 0u);
    }
    {
        // A row that points outside the stage and a speed level past any use: each has its
        // report line and the stage plays on (100 steps a frame at most).
        cStage st = StageWith({{eStage::SpeedLevel, 5000}});
        st.vBlock.push_back(playtest::MakeBlock(60, 3));
        cEdChara carrier = st.vChara[0];
        carrier.byOperation = 1;
        carrier.sPosX = 10;
        st.vChara.push_back(carrier);
        st.Prepare();
        playtest::PlayFixture play(st);
        ASSERT_TRUE(play.RunUntilPlay());
        const i32 before = play.Scene().m_nStepCount;
        play.Steps(2);
        EXPECT_EQ(play.Scene().m_nStepCount, before + 200);
        EXPECT_EQ(play.Scene().m_lstChara.Size(), 1u);
        for (const char* line : {"block (60, 3) lies outside the stage", "stage speed level 5000 is played as 100"})
            EXPECT_NE(play.Report().find(line), std::string::npos) << line;
        EXPECT_EQ(play.CloseRequests(), 0u);
    }
    {
        // A fault inside a state's frame (here: a pause menu without its entries) closes the
        // program in order instead of ending the game thread.
        playtest::PlayFixture play(playtest::MakeStage(20, 15));
        ASSERT_TRUE(play.RunUntilPlay());
        play.Scene().m_vPauseMenu.clear();
        play.Scene().m_nState = 3;
        EXPECT_NO_THROW(play.Step());
        EXPECT_GE(play.CloseRequests(), 1u);
        EXPECT_NE(play.Report().find("cGameScene::Run : invalid vector<T> subscript"), std::string::npos);
    }
}

// The stage holding every kind of record plays 600 frames of random input: no container is
// indexed out of range and nothing asks the program to close (the sanitizer build watches the
// rest).
TEST(PlayScene, RichStagePlaysRandomInput) {
    cStage st = stagetest::MakeRichStage();
    st.Prepare();
    playtest::PlayFixture play(st);
    ASSERT_TRUE(play.RunUntilPlay());
    u32 seed = 12345;
    for (int f = 0; f < 600; ++f) {
        seed = seed * 1103515245u + 12345u;
        play.Step(static_cast<u16>((seed >> 16) & 15), static_cast<u16>((seed >> 20) & 15));
    }
    EXPECT_EQ(play.Report().find("err V["), std::string::npos) << play.Report();
    EXPECT_EQ(play.CloseRequests(), 0u);
}

// A number that is not finite reached in play holds no frame: here the header's gravity, set in
// memory where no reader sees it, under the hero of the actors stage, whose walk to the right
// is a ground-turn move; its wall test once looked down the hero's edge for ever when that
// edge's bottom was a NaN. The far gravities and the infinities are held by the stage's edges.
// Where the hero stands after two seconds to the right, in whole world pixels.
TEST(PlayScene, ANumberThatIsNotFiniteInPlayHoldsNoFrame) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    // A frame that hangs ends the program here (SIGALRM) rather than at ctest's time limit.
    ::alarm(120);
    std::string trace;
    for (const double gravity : {nan, inf, -inf, 1e300, -1e300}) {
        cStage st = stagetest::ActorsStage();
        st.vChara[0].vFlow[1].cmds[0].cmdKind = CMD_GROUND_TURN;
        StageSettings::Set(st, eStageD::Gravity, gravity);
        st.Prepare();
        playtest::PlayFixture play(st);
        ASSERT_TRUE(play.RunUntilPlay());
        play.Steps(120, playtest::RIGHT);
        const cPlayer& hero = *play.Scene().Player0();
        char line[80];
        std::snprintf(line, sizeof line, "%g: %d, %d\n", gravity, Trunc32(hero.m_dX), Trunc32(hero.m_dY));
        trace += line;
    }
    EXPECT_EQ(trace, "nan: 749, 0\n"
                     "inf: 749, 744\n"
                     "-inf: 749, 320\n"
                     "1e+300: 749, 744\n"
                     "-1e+300: 749, 320\n")
        << trace;
    ::alarm(0);
}

// The menu after a miss is the system's text menu of message texts 23 and 24: laid out by the
// same measure as the front end's menus, with the blank cursor column, drawn each frame the menu
// shows; down and decide take the second entry, back to the map.
TEST(PlayScene, MissMenuIsTheSystemsTextMenu) {
    WindowRecorder window;
    playtest::PlayFixture play(StageWith({{eStage::TimeLimitOn, 1}, {eStage::TimeLimit, 1}}));
    g_PlayRecord.nStartLives = 3;
    g_Game.g_nPlayKind = 0;
    g_SystemData.bMissMenu = 1;
    g_SystemData.vMessage[23] = "\x82\xe0\x82\xa4\x88\xea\x93\x78"; // もう一度 (4 characters)
    g_SystemData.vMessage[24] = "map";
    struct BOX {
        int x, y, w, h;
        std::string text;
    };
    std::vector<BOX> boxes;
    SetTextBoxDrawer([&](void*, int x, int y, int w, int h, const std::string& t) { boxes.push_back({x, y, w, h, t}); });
    cGameScene& s = play.Scene();
    for (int f = 0; f < 400 && s.m_nState != 5; ++f) play.Step();
    ASSERT_EQ(s.m_nState, 5);
    boxes.clear();
    play.Step();
    play.Step();
    // Four characters and the cursor column, centred on 320; two rows of 16 at the menus' top.
    ASSERT_EQ(boxes.size(), 2u);
    for (const BOX& b : boxes) {
        EXPECT_EQ(b.x, 320 - 5 * 16 / 2);
        EXPECT_EQ(b.y, 272);
        EXPECT_EQ(b.w, 5 * 16);
        EXPECT_EQ(b.h, 2 * 16);
        EXPECT_EQ(b.text, " " + g_SystemData.Message(23) + "\n map\n");
    }
    play.Step(playtest::DOWN);
    EXPECT_EQ(s.m_nState, 5);
    play.Step(0, playtest::DECIDE);
    EXPECT_EQ(s.m_nState, 7);
    EXPECT_EQ(playrec::BackToMapFlag(g_PlayRecord), 1u);
    SetTextBoxDrawer(nullptr);
    g_SystemData.bMissMenu = 0;
}
