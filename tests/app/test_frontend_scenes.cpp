// The front-end scenes driven headless through the scene machine, frame by frame, from the
// title menu: story to the world map and a stage, the world-map menu's saves, the challenge
// choice and the options.
#include <gtest/gtest.h>

#include "FrontEndTestUtil.h"
#include "app/FrontEnd.h"
#include "app/FrontEndScenes.h"
#include "app/PlayRecord.h"
#include "app/PlayRecordNames.h"
#include "app/Scenes.h"
#include "app/StorySave.h"
#include "database/DataPaths.h"
#include "database/OptionData.h"
#include "platform/graphics/Image.h"
#include "platform/system/Input.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/WindowMessages.h"
#include "records/DataFile.h"
#include "records/StageLoad.h"

namespace {

cWorldMapEntry Entry(i32 x, i32 y, u32 kind, const char* file, u32 doneSwitch) {
    cWorldMapEntry e;
    e.nX = x;
    e.nY = y;
    cWorldMapEntryItem it;
    it.nKind = kind;
    it.strStageFile = file;
    it.nDoneSwitch = doneSwitch;
    it.strCaption = "Stage";
    e.m_vItem.assign(1, it);
    return e;
}

// The pictures the scenes load, each one flat colour, written into the game folder; the
// graphics layer started in 32-bit Direct3D mode on the program's picture slots.
constexpr u32 kCursor = 0xF0D040, kChip = 0x204060, kMark = 0x802020;

void WritePicture(const std::filesystem::path& root, const char* name, int w, int h, u32 rgb) {
    cImage img;
    img.width = w;
    img.height = h;
    img.argb.assign(static_cast<std::size_t>(w) * h, 0xFF000000u | rgb);
    const std::vector<u8> bmp = EncodeBmp(img, 24);
    fetest::WriteAll(root / "bmp" / name, std::string(bmp.begin(), bmp.end()));
}

void StartGraphics(const std::filesystem::path& root) {
    std::filesystem::create_directories(root / "bmp");
    WritePicture(root, "Title.bmp", 640, 480, 0x1C2C48);
    WritePicture(root, "GameMode.bmp", 256, 224, 0x3A5078);
    WritePicture(root, "Accessory.bmp", 128, 128, kCursor);
    WritePicture(root, "Window.bmp", 640, 480, 0x101828);
    WritePicture(root, "WorldMapChip.bmp", 160, 64, kChip);
    WritePicture(root, "WorldEvent.bmp", 64, 64, kMark);
    for (int i = 0; i < 256; ++i) g_palCur[i] = PALETTEENTRY{static_cast<u8>(i), static_cast<u8>(i), static_cast<u8>(i), 1};
    g_palCur[16] = PALETTEENTRY{0, 0, 0, 1};
    g_palBase = g_palCur;
    ASSERT_TRUE(DDInit(true, MainWindowHandle(), 640, 480, 32, 0, 1, 1, 60, 0, g_aPicture.data(), g_SurfaceFile.data(),
                       SURFACE_COUNT, 0));
    DDSetTransmit(255, 0, 255);
}

// What the back buffer shows at (x, y), as 0xRRGGBB.
u32 Shown(int x, int y) { return SurfacePixels(&g_sdBackBuffer)->Row(y)[x] & 0xFFFFFF; }

class Scenes : public fetest::GameFolder {
protected:
    void SetUp() override {
        GameFolder::SetUp();
        ASSERT_NO_FATAL_FAILURE(StartGraphics(m_root));
        SetReportFile((m_root / "Report_Game.txt").string());
        g_Services = APPSERVICES{};
        g_FrontEnd = FRONTENDSERVICES{};
        ConnectFrontEnd();
        // Names the loaded stage as the stage loader does: the numbered file found for the name.
        g_Services.loadStage = [this](const std::string& path, int) {
            m_vLoaded.push_back(path);
            std::string found;
            if (!FindNumberedFile(found, path, "stg4")) return 0;
            g_strStageFile = found;
            return 1;
        };
        g_FrontEnd.setSeVolume = [this](u32 step) { m_vVolume.push_back(step); };
        g_Game.CleanUp();
        g_Game = cGame{};
        g_Game.g_nFadeSpeed = 256;
        g_vInput.assign(1, cInput{});
        g_StorySlots.assign(kStorySlots, cStorySlotInfo{});
        ResetCloseRequestCount();

        // A 20 x 15 map: chip 1 cannot be entered. A stage east of the start, a wall west of it,
        // a stage that shows only once switch 7 is on south of it, and rock to the north.
        g_WorldMap.m_vChip.assign(2, cWorldMapChip{});
        g_WorldMap.m_vChip[1].bImpassable = 1;
        g_WorldMap.m_vChip[1].nPicture = 1;
        g_WorldMap.SetCell(9, 6, 1);
        g_WorldMap.SetCell(9, 8, 1);
        g_WorldMap.m_vEntry.clear();
        g_WorldMap.m_vEntry.push_back(Entry(10, 7, 0, "data\\stg4\\Stage01.stg4", 5));
        g_WorldMap.m_vEntry.push_back(Entry(8, 7, 2, "", 0));
        cWorldMapEntry hidden = Entry(9, 8, 0, "data\\stg4\\Stage02.stg4", 6);
        hidden.m_vItem[0].nShowSwitch = 7;
        g_WorldMap.m_vEntry.push_back(hidden);
        fetest::WriteAll(m_root / "data/stg4/Stage01.stg4_000", "stage");
        g_PlayRecord.Reset();
        g_PlayRecord.ResetMapProgress();
    }
    void TearDown() override {
        for (int i = 0; i < kSceneCount; ++i) SetSceneFactory(i, nullptr);
        g_Game.CleanUp();
        ReleaseSceneSurfaces();
        DDRelease();
        g_Services = APPSERVICES{};
        g_FrontEnd = FRONTENDSERVICES{};
        GameFolder::TearDown();
    }

    // One frame of the scene machine with these keys held.
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
    // Runs frames until the scene index changes (at most n).
    void UntilScene(int scene, int n = 40) {
        for (int i = 0; i < n && g_Game.g_nScene != scene; ++i) Frame();
        ASSERT_EQ(g_Game.g_nScene, scene);
        Frame(); // the new scene becomes current
    }
    template <class T>
    T* Current() {
        return dynamic_cast<T*>(g_Game.Scene(g_Game.g_nScene));
    }
    void Settle() {
        for (int i = 0; i < 3; ++i) Frame();
    }

    std::vector<std::string> m_vLoaded;
    std::vector<u32> m_vVolume;
};

TEST_F(Scenes, TitleToStoryWorldMapStageAndBack) {
    Settle();
    g_WorldMapPos.Cur().row = 0; // new game
    Press(1);
    Press(1); // first empty slot
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_WORLDMAP));
    Settle();
    auto* map = Current<cSceneWorldMap>();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->m_nState, 1);
    EXPECT_EQ(g_WorldMapPos.Cur().col, 9);
    // The figure stands at the middle of the screen; the stage east of it shows its mark, the
    // hidden entry south of it none (only its chip).
    EXPECT_EQ(Shown(288 + 16, 224 + 16), kCursor);
    EXPECT_EQ(Shown(2, 2), kChip);
    EXPECT_EQ(Shown(288 + 48, 224 + 16), kMark);
    EXPECT_EQ(Shown(288 + 16, 224 + 48), kChip);

    // East onto the stage: its question opens at once on the "no" row, drawn as the system's text
    // menu of texts 10-11 centred on 304; up and decide starts it.
    std::vector<std::string> boxes;
    SetTextBoxDrawer([&](void*, int x, int y, int w, int h, const std::string& t) {
        boxes.push_back(std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(w) + "x" + std::to_string(h) + " " + t);
    });
    Step(2);
    SetTextBoxDrawer(nullptr);
    EXPECT_EQ(map->m_nState, 2);
    ASSERT_FALSE(boxes.empty());
    const std::string question = " " + g_SystemData.Message(10) + "\n " + g_SystemData.Message(11) + "\n";
    const int chars = std::max(CountChars(g_SystemData.Message(10).c_str()), CountChars(g_SystemData.Message(11).c_str()));
    EXPECT_EQ(boxes.back(), std::to_string(304 - (chars + 1) * 8) + ",260 " + std::to_string((chars + 1) * 16) + "x32 " + question);
    EXPECT_EQ(g_WorldMapPos.Cur().row, 1);
    Step(4);
    Press(1);
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_PLAY));
    ASSERT_FALSE(m_vLoaded.empty());
    EXPECT_EQ(m_vLoaded.back(), "data\\stg4\\Stage01.stg4");
    EXPECT_EQ(g_PlayRecord.strStageFile, "data\\stg4\\Stage01.");
    EXPECT_EQ(g_PlayRecord.bStageStarted, 1u);
    EXPECT_EQ(g_PlayRecord.nStageNo, 5u);
    EXPECT_EQ(g_PlayRecord.nMapX, 10);
    EXPECT_EQ(g_PlayRecord.nMapSceneValue, 3u);
    EXPECT_EQ(playrec::MapEntryItem(g_PlayRecord.nMapEntry), &g_WorldMap.m_vEntry[0].m_vItem[0]);

    // The stage is cleared (the play engine's part) and play returns to the map with auto-save on.
    g_PlayRecord.vSwitch[5] = 1;
    g_PlayRecord.bAutoSave = 1;
    g_PlayRecord.nSaveSlot = 2;
    g_Game.g_nPrevScene = SCENE_PLAY;
    g_Game.g_nScene = SCENE_WORLDMAP;
    Settle();
    map = Current<cSceneWorldMap>();
    EXPECT_EQ(map->m_nState, 1) << "a cleared stage does not start again";
    EXPECT_TRUE(std::filesystem::exists(m_root / "user_data/story/Story03.dat"));
    EXPECT_EQ(g_StorySlots[2].bUsed, 1u);
}

TEST_F(Scenes, LeavingAnUnfinishedStagePutsTheFigureBack) {
    g_PlayRecord.nMapX = 10;
    g_PlayRecord.nMapY = 7;
    g_PlayRecord.nMapPrevX = 9;
    g_PlayRecord.nMapPrevY = 7;
    g_PlayRecord.bMapReturn = 1;
    g_Game.g_nPrevScene = SCENE_PLAY;
    g_Game.g_nScene = SCENE_WORLDMAP;
    Settle();
    EXPECT_EQ(Current<cSceneWorldMap>()->m_nState, 1);
    EXPECT_EQ(g_WorldMapPos.Cur().col, 9);
    EXPECT_EQ(g_PlayRecord.bMapReturn, 0u);
    EXPECT_TRUE(m_vLoaded.empty());

    // Arriving on the stage without a return starts it at once; from the map menu it asks.
    g_Game.CleanUp();
    g_Game.g_nPrevScene = SCENE_MAPMENU;
    g_Game.g_nScene = SCENE_WORLDMAP;
    g_PlayRecord.nMapX = 10;
    Settle();
    EXPECT_EQ(Current<cSceneWorldMap>()->m_nState, 2);
    EXPECT_EQ(g_Game.g_nScene, SCENE_WORLDMAP);
    g_Game.CleanUp();
    g_Game.g_nPrevScene = SCENE_MENU;
    g_Game.g_nScene = SCENE_WORLDMAP;
    m_vLoaded.clear();
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_PLAY));
    EXPECT_EQ(m_vLoaded.size(), 1u);
}

TEST_F(Scenes, AStoryStageIsFiledUnderTheFileThatWasLoaded) {
    // The item names its stage without the extension; the loader finds Forest.stg4_000.
    g_WorldMap.m_vEntry[0].m_vItem[0].strStageFile = "data\\stg4\\Forest";
    fetest::WriteAll(m_root / "data/stg4/Forest.stg4_000", "stage");
    g_PlayRecord.nMapX = 10;
    g_Game.g_nPrevScene = SCENE_MENU;
    g_Game.g_nScene = SCENE_WORLDMAP;
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_PLAY)); // arrival starts it
    cPlayRecord& r = g_PlayRecord;
    EXPECT_EQ(r.strStageFile, "data\\stg4\\Forest.");
    EXPECT_EQ(r.strStageKey, "data\\stg4\\Forest.");
    // Its clear counts toward the map's total, which finds the stage by that name.
    r.UpdateStageEntry(r.strStageFile, r.strStageKey, r.bStageVar, r.nStageVarIndex, r.nStageVarValue, 700);
    r.SumStageValues();
    EXPECT_EQ(r.nBestSum, 700u);
}

TEST_F(Scenes, MapNumbersFromADamagedFileDrawNothingOutOfPlace) {
    g_WorldMap.nBackColor = 3;
    g_WorldMap.m_vChip[1].nPicture = 0x7FFFFFFF;
    cWorldMapEntry far = Entry(-2147483647 - 1, 7, 1, "", 0);
    far.m_vItem[0].nPicture = 0x7FFFFFFF;
    g_WorldMap.m_vEntry.push_back(far);
    cWorldMapEntry near = Entry(11, 7, 1, "", 0);
    near.m_vItem[0].nPicture = 0x7FFFFFFF;
    g_WorldMap.m_vEntry.push_back(near);
    g_Game.g_nScene = SCENE_WORLDMAP;
    Settle();
    EXPECT_EQ(Current<cSceneWorldMap>()->m_nState, 1);
    EXPECT_EQ(CloseRequestCount(), 0u);
    // The rock chip's picture is past the sheet: the cell shows the map's back colour; its
    // neighbour shows chip 0. Left of the map (the view starts at column -9 here) the back
    // colour too.
    EXPECT_EQ(Shown(288 + 16, 224 - 16), 0x030303u);
    EXPECT_EQ(Shown(288 + 48, 224 - 16), kChip);
    g_PlayRecord.nMapX = 0;
    g_Game.CleanUp();
    g_Game.g_nScene = SCENE_WORLDMAP;
    Settle();
    EXPECT_EQ(Shown(8, 100), 0x030303u);
    EXPECT_EQ(Shown(288 + 8, 100), kChip);
}

TEST_F(Scenes, WalkingRules) {
    g_Game.g_nScene = SCENE_WORLDMAP;
    Settle();
    auto* map = Current<cSceneWorldMap>();
    Step(1); // the wall item blocks; the facing still turns
    EXPECT_EQ(g_WorldMapPos.Cur().col, 9);
    EXPECT_EQ(map->m_nDir, 2);
    Step(4); // rock
    EXPECT_EQ(g_WorldMapPos.Cur().row, 7);
    Step(8); // a hidden entry on rock: the chip decides
    EXPECT_EQ(g_WorldMapPos.Cur().row, 7);
    g_PlayRecord.vSwitch[7] = 1; // now its stage item lets the figure in
    Step(8 | 1);                 // two bits: left counts first, and the wall still blocks
    EXPECT_EQ(g_WorldMapPos.Cur().col, 9);
    Step(8);
    EXPECT_EQ(g_PlayRecord.nMapY, 8);
    EXPECT_EQ(map->m_nState, 2) << "a stage item that is not done asks at once";
    Press(2); // cancel: back to the cell before the step
    EXPECT_EQ(map->m_nState, 1);
    EXPECT_EQ(g_WorldMapPos.Cur().row, 7);
    EXPECT_EQ(g_WorldMapPos.Depth(), 1u);

    // The map's edge keeps the figure on the border cell.
    g_PlayRecord.nMapX = 0;
    g_PlayRecord.nMapY = 0;
    g_Game.CleanUp();
    Settle();
    Step(1);
    Step(4);
    EXPECT_EQ(g_WorldMapPos.Cur().col, 0);
    EXPECT_EQ(g_WorldMapPos.Cur().row, 0);
    EXPECT_EQ(Current<cSceneWorldMap>()->m_nDir, 1);
}

TEST_F(Scenes, WorldMapMenuSavesAndSwitchesAutoSave) {
    g_Game.g_nScene = SCENE_WORLDMAP;
    Settle();
    Press(2);
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_MAPMENU));
    Settle();
    auto* menu = Current<cSceneMapMenu>();
    // Auto-save without a slot shows the notice only.
    Step(8);
    Press(1);
    Frame();
    EXPECT_EQ(menu->m_nState, 3);
    EXPECT_EQ(menu->m_nSubState, 2);
    Press(1);
    EXPECT_EQ(menu->m_nState, 1);
    // Save: the list starts at slot 0, the question on its "no" row.
    g_WorldMapPos.Cur().row = 0;
    Press(1);
    Frame();
    EXPECT_EQ(menu->m_nState, 2);
    Press(1);
    EXPECT_EQ(g_WorldMapPos.Cur().row, 1);
    Press(1); // "no": nothing written
    EXPECT_FALSE(std::filesystem::exists(m_root / "user_data/story/Story01.dat"));
    Press(1);
    Step(4);
    Press(1);
    EXPECT_TRUE(std::filesystem::exists(m_root / "user_data/story/Story01.dat"));
    EXPECT_EQ(g_PlayRecord.nSaveSlot, 0);
    Press(2);
    EXPECT_EQ(menu->m_nState, 1);
    // Auto-save ON saves at once, then switches on.
    std::filesystem::remove(m_root / "user_data/story/Story01.dat");
    g_WorldMapPos.Cur().row = 1;
    Press(1);
    Frame();
    Step(4);
    Press(1);
    EXPECT_EQ(g_PlayRecord.bAutoSave, 1u);
    cPlayRecord saved;
    ASSERT_EQ(LoadStorySlot(saved, 0), 1);
    EXPECT_EQ(saved.bAutoSave, 0u);
    // Back to the map.
    g_WorldMapPos.Cur().row = 2;
    Press(1);
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_WORLDMAP));
}

TEST_F(Scenes, ChallengeChoiceListsTheGamesStages) {
    g_SystemData.nChallengeValue = 12;
    g_SystemData.bChallengeSwitch = 1;
    g_SystemData.vInfiniteLives.assign(4, 0);
    g_SystemData.vStartLives = {5, 3, 5, 99};
    fetest::WriteAll(m_root / "data/stg4/c12-1.stg4_000", "stage"); // a fresh record gets its rows
    Settle();
    g_WorldMapPos.Cur().row = 2;
    Press(1);
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_CHALLENGE));
    Settle();
    auto* ch = Current<cSceneChallenge>();
    EXPECT_EQ(ch->m_nStageCount, 12);
    EXPECT_EQ(Shown(32 + 16, 160 + 16), kCursor) << "the cursor on the first stage";
    EXPECT_EQ(ch->m_nListRows, 10);
    EXPECT_EQ(cSceneChallenge::StageFileName(100), "data\\stg4\\c100-1.stg4");
    Press(1); // stage 1 has no file: refused, the list stays
    EXPECT_EQ(ch->m_nState, 1);
    EXPECT_EQ(m_vLoaded.back(), "data\\stg4\\c01-1.stg4");
    Step(2); // a page on: the last stage
    EXPECT_EQ(g_WorldMapPos.Cur().row, 9);
    Step(2);
    EXPECT_EQ(g_WorldMapPos.Cur().row, 11);
    EXPECT_EQ(ch->m_nListTop, 2);
    Press(1);
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_PLAY));
    EXPECT_EQ(g_PlayRecord.nStageNo, 12u);
    EXPECT_EQ(g_PlayRecord.strStageFile, "data\\stg4\\c12.");
    EXPECT_EQ(g_PlayRecord.nLives, 2u);
    EXPECT_EQ(g_Game.g_nChallengeRow, 11);

    // A game without challenge stages lists none and refuses the decide button.
    g_SystemData.nChallengeValue = 0;
    g_PlayRecord.Normalize();
    g_Game.CleanUp();
    g_Game.g_nScene = SCENE_CHALLENGE;
    Settle();
    EXPECT_EQ(Current<cSceneChallenge>()->m_nStageCount, 0);
    Press(1);
    Step(8);
    EXPECT_EQ(g_Game.g_nScene, SCENE_CHALLENGE);
    EXPECT_EQ(CloseRequestCount(), 0u);
}

TEST_F(Scenes, OptionsChangeTheVolumeAndSaveOptionDat) {
    g_OptionData = cOptionData();
    g_OptionData.nSeVolume = 9;
    Settle();
    g_WorldMapPos.Cur().row = 5;
    Press(1);
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_OPTION));
    Settle();
    auto* opt = Current<cSceneOption>();
    Step(8);
    Step(8);
    EXPECT_EQ(Shown(48 + 8, 96 + 32 + 8), kCursor) << "the row cursor on the volume row";
    Press(1);
    EXPECT_EQ(opt->m_nKind, 2);
    Step(4);
    Step(4); // 10 wraps to 0
    EXPECT_EQ(g_OptionData.nSeVolume, 0u);
    Press(2); // cancel puts it back at once
    EXPECT_EQ(g_OptionData.nSeVolume, 9u);
    EXPECT_EQ(m_vVolume, (std::vector<u32>{10, 0, 9}));
    Press(1);
    Step(4);
    Press(1); // kept
    EXPECT_EQ(g_OptionData.nSeVolume, 10u);
    Press(2);
    ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_MENU));
    cOptionData saved;
    ASSERT_EQ(LoadFromFile(saved, g_DataPath[DP_OPTION]), 1);
    EXPECT_EQ(saved.nSeVolume, 10u);
}

// The title and the options play the same looping piece: going to the options and back does
// not ask for it again, so it plays on; only a music manager started anew by the music switch
// asks for it once more.
TEST_F(Scenes, ReturningToTheTitleKeepsAnUnchangedPiecePlaying) {
    static std::vector<int> s_requests;
    s_requests.clear();
    g_Services.sceneBgm = [](int) { return 5; };
    g_Services.sceneBgmFlag = [](int) { return 1u; };
    bool managerChanges = false;
    g_FrontEnd.applyMusicSwitch = [&](u32) { return managerChanges; };
    WindowQueueOpen([](HWND, u32 message, WPARAM which, LPARAM) -> LRESULT {
        if (message == WM_GAME_BGM) s_requests.push_back(static_cast<int>(which));
        return 0;
    });
    g_hWnd = MainWindowHandle();
    Settle(); // the title asks for its piece
    std::string trace = "title:";
    for (int which : s_requests) trace.append(1, ' ').append(std::to_string(which));
    trace.append(1, '\n');
    for (bool changes : {false, true}) {
        managerChanges = changes;
        s_requests.clear();
        g_WorldMapPos.Cur().row = 5;
        Press(1);
        ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_OPTION));
        Settle();
        Press(2);
        ASSERT_NO_FATAL_FAILURE(UntilScene(SCENE_MENU));
        Settle();
        trace.append(changes ? "manager anew:" : "unchanged:");
        for (int which : s_requests) trace.append(1, ' ').append(std::to_string(which));
        trace.append(1, '\n');
    }
    WindowQueueShutdown();
    g_hWnd = nullptr;
    EXPECT_EQ(trace, "title: 0\nunchanged:\nmanager anew: 0\n") << trace;
}

} // namespace
