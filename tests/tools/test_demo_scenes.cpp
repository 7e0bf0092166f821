// The demo game played through the front-end scenes, headless and frame by frame: the story walks
// the world map from stage to stage as each is cleared, and the challenge choice lists the
// game's challenge stages and starts one. Stages load through the runtime's stage loader; the
// clear itself (the play engine's part) is set in the play record by the test.
#include <gtest/gtest.h>

#include "../database/TestUtil.h"
#include "app/FrontEnd.h"
#include "app/FrontEndScenes.h"
#include "app/PlayRecord.h"
#include "app/PlayRecordNames.h"
#include "app/Scenes.h"
#include "app/Services.h"
#include "app/StorySave.h"
#include "database/CommonPalette.h"
#include "database/Database.h"
#include "database/GameData.h"
#include "database/SystemData.h"
#include "database/WorldMap.h"
#include "platform/system/Input.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/WindowMessages.h"
#include "records/StageLoad.h"
#include "tests/support/DemoGameCopy.h"
#include "tools/DemoCave.h"
#include "tools/DemoGame.h"

namespace {

enum : u16 { LEFT = 1, RIGHT = 2, UP = 4, DOWN = 8, DECIDE = 1, CANCEL = 2 };

class DemoScenes : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(CopyDemoGame(game.Dir(), error)) << error;
        SetGameRoot(game.Dir());
        ASSERT_EQ(LoadGameData(nullptr), 1);
        g_Services = APPSERVICES{};
        g_FrontEnd = FRONTENDSERVICES{};
        ConnectFrontEnd();
        g_Services.loadStage = [this](const std::string& path, int flag) {
            loaded.push_back(path);
            return LoadStageForPlay(path.c_str(), static_cast<u32>(flag), &g_StageAtStart);
        };
        g_Game.CleanUp();
        g_Game = cGame{};
        g_Game.g_nFadeSpeed = 256;
        g_vInput.assign(1, cInput{});
        g_StorySlots.assign(kStorySlots, cStorySlotInfo{});
        ResetCloseRequestCount();
        g_PlayRecord.Reset();
        g_PlayRecord.ResetMapProgress();
    }
    void TearDown() override {
        g_Game.CleanUp();
        g_Services = APPSERVICES{};
        g_FrontEnd = FRONTENDSERVICES{};
        g_Database.SetDefault();
        g_SystemData.SetDefault();
        g_WorldMap.SetDefault();
        g_CommonPalette = cCommonPalette();
    }

    void Frame(u16 dir = 0, u16 buttons = 0) {
        g_vInput[0].wDirection = dir;
        g_vInput[0].wButtons = buttons;
        g_Game.ChangeScene(g_Game.g_nScene);
        // Stage play has no scene here: the tests play its part (the frame only presents).
        if (cScene* scene = g_Game.Scene(g_Game.g_nScene)) scene->Run();
    }
    void Press(u16 buttons) {
        Frame(0, buttons);
        Frame();
    }
    void Step(u16 dir) {
        Frame(dir);
        Frame();
    }
    void Walk(u16 dir, int steps) {
        for (int i = 0; i < steps; ++i) Step(dir);
    }
    void UntilScene(int scene, int n = 60) {
        for (int i = 0; i < n && g_Game.g_nScene != scene; ++i) Frame();
        ASSERT_EQ(g_Game.g_nScene, scene);
        Frame();
    }
    void Settle() {
        for (int i = 0; i < 3; ++i) Frame();
    }
    // The play engine's part of a cleared story stage: its switch set, back on the map.
    void ClearStage() {
        g_PlayRecord.vSwitch[g_PlayRecord.nStageNo] = 1;
        g_Game.CleanUp();
        g_Game.g_nPrevScene = SCENE_PLAY;
        g_Game.g_nScene = SCENE_WORLDMAP;
        Settle();
    }
    // Yes to the stage question, which opens on its "no" row.
    void StartFromQuestion() {
        Step(UP);
        Press(DECIDE);
        ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_PLAY));
    }
    cSceneWorldMap* Map() { return dynamic_cast<cSceneWorldMap*>(g_Game.Scene(g_Game.g_nScene)); }
    i32 Col() { return g_WorldMapPos.Cur().col; }

    ScratchGame game;
    std::vector<std::string> loaded;
};

} // namespace

TEST_F(DemoScenes, TheStoryOpensTheMapStageByStageUpToTheEnding) {
    Settle();
    g_WorldMapPos.Cur().row = 0; // new game
    Press(DECIDE);
    Press(DECIDE); // the first empty slot
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_WORLDMAP));
    Settle();
    ASSERT_NE(Map(), nullptr);
    EXPECT_EQ(Col(), g_WorldMap.nStartX);

    // Around the first stage to the gate: shut, it turns the figure back.
    Step(UP);
    Walk(RIGHT, 4);
    Step(DOWN);
    EXPECT_EQ(Col(), 8);
    Step(RIGHT);
    EXPECT_EQ(Col(), 8) << "the shut gate blocks";
    EXPECT_EQ(Map()->m_nState, 1);

    // The first stage starts from its question.
    Walk(LEFT, 2);
    EXPECT_EQ(Map()->m_nState, 2);
    ASSERT_NO_FATAL_FAILURE(StartFromQuestion());
    EXPECT_EQ(loaded.back(), "data\\stg4\\Demo-1.stg4_001");
    EXPECT_EQ(g_PlayRecord.nStageNo, 1u);

    // Cleared: the gate lets the figure through to the second stage on the ridge.
    ClearStage();
    EXPECT_EQ(Map()->m_nState, 1) << "a done stage does not start again";
    Walk(RIGHT, 7);
    EXPECT_EQ(Col(), 13);
    Step(RIGHT);
    EXPECT_EQ(Map()->m_nState, 2);
    ASSERT_NO_FATAL_FAILURE(StartFromQuestion());
    EXPECT_EQ(loaded.back(), "data\\stg4\\Demo-2.stg4_001");
    EXPECT_EQ(g_PlayRecord.nStageNo, 2u);

    // Cleared: over the ridge to the last stage, which waits for the decide button.
    ClearStage();
    Walk(RIGHT, 3);
    EXPECT_EQ(Col(), 17);
    EXPECT_EQ(Map()->m_nState, 1);
    Press(DECIDE);
    Frame();
    EXPECT_EQ(Map()->m_nState, 2);
    ASSERT_NO_FATAL_FAILURE(StartFromQuestion());
    EXPECT_EQ(loaded.back(), "data\\stg4\\Demo-3.stg4_001");
    EXPECT_EQ(g_PlayRecord.nStageNo, 3u);
    EXPECT_EQ(playrec::MapEntryKind(g_PlayRecord), 2u) << "the last stage leads to the ending";
    EXPECT_TRUE(game.boxes.empty());
    EXPECT_EQ(CloseRequestCount(), 0u);
}

// The dark cave lies off the road, down through the forest south of the start: open from the
// start, played from its question, and done without opening the gate on the road.
TEST_F(DemoScenes, TheDarkCaveLiesOffTheRoadSouthOfTheStart) {
    Settle();
    g_WorldMapPos.Cur().row = 0; // new game
    Press(DECIDE);
    Press(DECIDE); // the first empty slot
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_WORLDMAP));
    Settle();
    ASSERT_NE(Map(), nullptr);
    Walk(DOWN, 3);
    EXPECT_EQ(Map()->m_nState, 1);
    Step(DOWN);
    EXPECT_EQ(Map()->m_nState, 2) << "the cave's question";
    ASSERT_NO_FATAL_FAILURE(StartFromQuestion());
    EXPECT_EQ(loaded.back(), kDemoCaveFile);
    EXPECT_EQ(g_PlayRecord.nStageNo, 4u);

    ClearStage();
    EXPECT_EQ(g_PlayRecord.vSwitch[1], 0u) << "the first stage is still to do";
    // Back up to the road and along it: the gate is still shut.
    Walk(UP, 5);
    Walk(RIGHT, 4);
    Step(DOWN);
    EXPECT_EQ(Col(), 8);
    Step(RIGHT);
    EXPECT_EQ(Col(), 8) << "the shut gate blocks";
    EXPECT_TRUE(game.boxes.empty());
    EXPECT_EQ(CloseRequestCount(), 0u);
}

TEST_F(DemoScenes, TheChallengeChoiceListsAndStartsTheGamesStages) {
    Settle();
    g_WorldMapPos.Cur().row = 2; // challenge
    Press(DECIDE);
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_CHALLENGE));
    Settle();
    auto* ch = dynamic_cast<cSceneChallenge*>(g_Game.Scene(g_Game.g_nScene));
    ASSERT_NE(ch, nullptr);
    EXPECT_EQ(ch->m_nStageCount, kDemoChallengeStages);
    EXPECT_EQ(ch->m_nListRows, kDemoChallengeStages);
    Step(DOWN);
    Press(DECIDE);
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_PLAY));
    EXPECT_EQ(loaded.back(), "data\\stg4\\c02-1.stg4");
    EXPECT_EQ(g_PlayRecord.nStageNo, 2u);
    EXPECT_TRUE(g_Stage.HasHero());
    EXPECT_TRUE(game.boxes.empty());
    EXPECT_EQ(CloseRequestCount(), 0u);
}
