// The title menu joined to the player's records: challenge results, new game into a slot,
// continuing from a slot, the free-play stage start, the direct start and a loaded replay.
// Requests to the window thread are served on this test thread.
#include <gtest/gtest.h>

#include "FrontEndTestUtil.h"
#include "app/Dialogs.h"
#include "app/FrontEnd.h"
#include "app/FrontEndScenes.h"
#include "app/MainWnd.h"
#include "app/PlayRecord.h"
#include "app/Replay.h"
#include "app/Scenes.h"
#include "app/StorySave.h"
#include "database/DataPaths.h"
#include "platform/system/Input.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"
#include "records/Stage.h"
#include "records/StageLoad.h"

namespace {

class TitleLinks : public fetest::GameFolder {
protected:
    void SetUp() override {
        GameFolder::SetUp();
        SetReportFile((m_root / "Report_Game.txt").string());
        g_Services = APPSERVICES{};
        ConnectFrontEnd();
        g_Services.playSound = [this](int n) { m_vSound.push_back(n); };
        g_Services.soundCount = [] { return 20; };
        g_Game.CleanUp();
        g_Game = cGame{};
        g_Game.g_nFadeSpeed = 256;
        g_bDirectStart = 0;
        g_vInput.assign(1, cInput{});
        g_StorySlots.assign(kStorySlots, cStorySlotInfo{});
        g_PlayRecord.Reset();
        g_SystemData.vStartLives = {3, 4, 5, 9};
        g_SystemData.vInfiniteLives = {0, 0, 0, 0};
        g_WorldMap.nStartX = 4;
        g_WorldMap.nStartY = 5;
        g_bQuit.store(0);
        g_bQuitting.store(0);
        WindowQueueOpen(MainWndProc);
        g_hWnd = MainWindowHandle();
        ResetCloseRequestCount();
    }
    void TearDown() override {
        WindowQueueShutdown();
        g_hWnd = nullptr;
        g_bQuit.store(0);
        g_bDirectStart = 0;
        SetDialogAnswers({});
        for (int i = 0; i < kSceneCount; ++i) SetSceneFactory(i, nullptr);
        g_Game.CleanUp();
        g_Services = APPSERVICES{};
        GameFolder::TearDown();
    }

    void Frame(u16 buttons = 0, u16 dir = 0) {
        g_vInput[0].wDirection = dir;
        g_vInput[0].wButtons = buttons;
        g_Game.ChangeScene(g_Game.g_nScene);
        g_Game.Scene(g_Game.g_nScene)->Run();
    }
    cSceneMenu* Menu() { return dynamic_cast<cSceneMenu*>(g_Game.Scene(SCENE_MENU)); }
    // The title menu from its first frame to the main menu, the cursor on a mode.
    void TitleAt(int mode) {
        g_Game.g_nScene = SCENE_MENU;
        for (int i = 0; i < 3; ++i) Frame();
        ASSERT_EQ(Menu()->m_nState, 1);
        g_WorldMapPos.Cur().row = mode; // every entry is enabled: row = mode
    }
    void Down() {
        Frame(0, 8);
        Frame();
    }

    static void SaveSlot(int slot, u32 score, u32 lives) {
        cPlayRecord r;
        r.nScore = score;
        r.nLives = lives;
        ASSERT_EQ(SaveStorySlot(r, slot), 1);
    }

    std::vector<int> m_vSound;
};

TEST_F(TitleLinks, ChallengeTakesItsResultsFileOrStartsWithOneFreshRowPerStage) {
    g_SystemData.nChallengeValue = 3;
    g_PlayRecord.nScore = 77;
    ASSERT_NO_FATAL_FAILURE(TitleAt(2));
    Frame(1);
    EXPECT_EQ(g_Game.g_nNextScene, SCENE_CHALLENGE);
    EXPECT_EQ(g_PlayRecord.vChallenge.Size(), 3);
    EXPECT_EQ(g_PlayRecord.nScore, 0u) << "no results file: the record starts afresh";
    EXPECT_EQ(g_PlayRecord.nSaveSlot, -1);

    // With results: they are the record, and an unlimited count saved earlier follows the game.
    cPlayRecord saved;
    saved.vChallenge.assign(3, cRecInt2{});
    saved.vChallenge[1].nValue1 = 1;
    saved.vChallenge[1].nValue2 = 500;
    saved.nLives = kInfiniteLives;
    ASSERT_EQ(SaveChallenge(saved), 1);
    g_Game.CleanUp();
    ASSERT_NO_FATAL_FAILURE(TitleAt(2));
    Frame(1);
    ASSERT_EQ(g_PlayRecord.vChallenge.Size(), 3);
    EXPECT_EQ(g_PlayRecord.vChallenge[1].nValue2, 500u);
    EXPECT_EQ(g_PlayRecord.nLives, 4u);

    // A damaged count of challenge stages in System.dat does not become the size of the rows.
    std::filesystem::remove(m_root / "user_data/challenge/Challenge.dat");
    g_SystemData.nChallengeValue = 0xFFFFFFF0u;
    g_Game.CleanUp();
    ASSERT_NO_FATAL_FAILURE(TitleAt(2));
    Frame(1);
    EXPECT_EQ(g_PlayRecord.vChallenge.Size(), static_cast<int>(kMaxChallengeStages));
}

TEST_F(TitleLinks, NewGameTakesAnEmptySlotForAutoSaveWithTheStoryStart) {
    SaveSlot(1, 10, 3);
    ASSERT_NO_FATAL_FAILURE(TitleAt(0));
    Frame(1);
    Frame(); // the slot list
    Down();
    Frame(1); // slot 1 is used
    EXPECT_EQ(m_vSound.back(), 3);
    EXPECT_EQ(Menu()->m_nState, 2);
    Down();
    Frame(1);
    EXPECT_EQ(m_vSound.back(), 1);
    EXPECT_EQ(g_Game.g_nNextScene, SCENE_WORLDMAP);
    const cPlayRecord& r = g_PlayRecord;
    EXPECT_EQ(r.bAutoSave, 1u);
    EXPECT_EQ(r.nSaveSlot, 2);
    EXPECT_EQ(r.nMapX, 4);
    EXPECT_EQ(r.nMapY, 5);
    EXPECT_EQ(r.nStartLives, 3u);
    EXPECT_EQ(r.nLives, 2u);
    EXPECT_EQ(r.vSwitch.Size(), kSwitchCount);

    // Without story slots the new game starts at once, saving nowhere; lives may be unlimited.
    g_SystemData.bSwitch821 = 0;
    g_SystemData.vInfiniteLives[0] = 1;
    g_Game.CleanUp();
    ASSERT_NO_FATAL_FAILURE(TitleAt(0));
    Frame(1);
    Frame();
    EXPECT_EQ(g_Game.g_nNextScene, SCENE_WORLDMAP);
    EXPECT_EQ(g_PlayRecord.nSaveSlot, -1);
    EXPECT_EQ(g_PlayRecord.bAutoSave, 0u);
    EXPECT_EQ(g_PlayRecord.nLives, kInfiniteLives);
    EXPECT_EQ(g_PlayRecord.nStartLives, kInfiniteLives);
}

TEST_F(TitleLinks, ContinueReadsTheSlotAndRefusesOneThatCannotBeRead) {
    SaveSlot(0, 1234, kInfiniteLives);
    SaveSlot(1, 99, 2);
    ASSERT_NO_FATAL_FAILURE(TitleAt(1));
    Frame(1);
    Frame(); // the list shows both slots as used
    // Slot 1 is damaged after the list was read: the choice stays open, the record unchanged.
    const auto second = m_root / "user_data/story/Story02.dat";
    std::filesystem::resize_file(second, std::filesystem::file_size(second) - 9);
    g_PlayRecord.nScore = 5;
    Down();
    Frame(1);
    EXPECT_EQ(m_vSound.back(), 3);
    EXPECT_EQ(Menu()->m_nState, 3);
    EXPECT_EQ(g_PlayRecord.nScore, 5u);
    EXPECT_EQ(CloseRequestCount(), 0u);

    Frame(0, 4);
    Frame();
    Frame(1);
    EXPECT_EQ(m_vSound.back(), 1);
    EXPECT_EQ(g_Game.g_nNextScene, SCENE_WORLDMAP);
    EXPECT_EQ(g_PlayRecord.nScore, 1234u);
    EXPECT_EQ(g_PlayRecord.nLives, 3u) << "saved with unlimited lives, continued with the game's start";
}

TEST_F(TitleLinks, FreePlayStageStartsAtStageOneWithTheFreePlayLives) {
    fetest::WriteAll(m_root / "data/stg4/Free.stg4_001", "stage");
    std::string loaded;
    g_Services.loadStage = [&](const std::string& path, int) {
        loaded = path;
        return 1;
    };
    g_PlayRecord.bChallengeName = 1;
    g_PlayRecord.nStageNo = 4;
    ASSERT_EQ(StartStage("data\\stg4\\Free.stg4_001", 0), 1);
    const cPlayRecord& r = g_PlayRecord;
    EXPECT_EQ(r.strStageFile, "data\\stg4\\Free.");
    EXPECT_EQ(r.nStageNo, 1u);
    EXPECT_EQ(r.bStageStarted, 1u);
    EXPECT_EQ(r.nStartLives, 5u);
    EXPECT_EQ(r.nLives, 4u);
    EXPECT_EQ(r.bChallengeName, 0u);

    // A direct start plays with unlimited lives and leaves no challenge course behind, though
    // the stage's "-1" name marks one.
    g_bDirectStart = 1;
    ASSERT_EQ(StartStage("data\\stg4\\Demo-1.stg4_001", 1), 1);
    EXPECT_EQ(r.bChallengeName, 1u);
    g_Services.directStarted();
    EXPECT_EQ(r.nStartLives, kInfiniteLives);
    EXPECT_EQ(r.nLives, kInfiniteLives);
    EXPECT_EQ(r.bChallengeName, 0u);

    // A stage that does not load leaves the record as the reset made it and reports 0.
    g_Services.loadStage = [](const std::string&, int) { return 0; };
    EXPECT_EQ(StartStage("data\\stg4\\Free.stg4_001", 0), 0);
    EXPECT_EQ(r.bStageStarted, 0u);
}

TEST_F(TitleLinks, LoadedReplayBecomesTheStageFileThatReplayModeReadsAgain) {
    const std::string path = "user_data\\rpl4\\a.rpl4_824";
    cStage stage, start;
    cReplayData replay;
    replay.Record(2, 1);
    ASSERT_EQ(SaveReplay(replay, path, stage, start, g_PlayRecord), 1);
    g_strStageFile = "data\\stg4\\Other.stg4_001";

    fetest::WriteAll(m_root / "user_data/rpl4/bad.rpl4_824", "damaged");
    SetDialogAnswers({"1:user_data\\rpl4\\bad.rpl4_824", "1:" + path});
    MainWndProc(g_hWnd, WM_GAME_REPLAYLOAD, 0, 0);
    EXPECT_EQ(g_nDlgResult.load(), 0);
    EXPECT_EQ(g_strStageFile, "data\\stg4\\Other.stg4_001");
    EXPECT_FALSE(m_vBox.empty());

    MainWndProc(g_hWnd, WM_GAME_REPLAYLOAD, 0, 0);
    EXPECT_EQ(g_nDlgResult.load(), 1);
    EXPECT_EQ(g_strStageFile, path);
    EXPECT_EQ(g_ReplayData.vDir.Size(), 1);
    EXPECT_EQ(CloseRequestCount(), 0u);
}

} // namespace
