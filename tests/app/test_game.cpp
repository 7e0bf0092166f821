// The scene machine, the title menu's logic and the window thread's requests.
#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

#include "app/Dialogs.h"
#include "app/Game.h"
#include "app/MainWnd.h"
#include "app/Scenes.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/Clock.h"
#include "platform/system/FirstFrame.h"
#include "platform/system/Timers.h"
#include "platform/system/Input.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/Thread.h"
#include "records/Stage.h"

namespace fs = std::filesystem;

namespace {

int g_inits = 0;
int g_deleted = 0;

class CountingScene : public cScene {
public:
    CountingScene() {
        SetHandlers({[this] {
            if (m_bThrow) throw std::runtime_error("boom");
            if (onFrame) onFrame();
        }});
    }
    ~CountingScene() override { ++g_deleted; }
    void Init() override { ++g_inits; }
    void FadeIn() override { m_nState = 1; }
    bool m_bThrow = false;
    std::function<void()> onFrame;
};

class GameTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tobrelk_game_" + std::to_string(::getpid()));
        fs::create_directories(dir / "user_data");
        SetGameRoot(dir);
        SetReportFile((dir / "Report_Game.txt").string());
        SetMessageBoxSink([](const std::string&, const std::string&, u32 type) { return DefaultButton(type); });
        g_Services = APPSERVICES{};
        g_Game.CleanUp();
        g_Game = cGame{};
        g_inits = g_deleted = 0;
        ResetCloseRequestCount();
        g_vInput.assign(1, cInput{});
    }
    void TearDown() override {
        for (int i = 0; i < kSceneCount; ++i) SetSceneFactory(i, nullptr);
        g_Game.CleanUp();
        g_Services = APPSERVICES{};
        SetMessageBoxSink(nullptr);
        SetDialogAnswers({});
        SetGameRoot(fs::current_path());
        fs::remove_all(dir);
    }
    fs::path dir;
};

TEST_F(GameTest, ChangeSceneKeepsOnlyTheCurrentSceneAndReentersIt) {
    for (int i = 0; i < kSceneCount; ++i) SetSceneFactory(i, [] { return std::make_unique<CountingScene>(); });
    g_Game.ChangeScene(0);
    g_Game.Scene(0)->Run();
    EXPECT_EQ(g_inits, 1);
    g_Game.ChangeScene(5);
    EXPECT_EQ(g_deleted, 1);
    EXPECT_EQ(g_Game.Scene(0), nullptr);
    ASSERT_NE(g_Game.Scene(5), nullptr);
    EXPECT_EQ(g_Game.m_pScene[4], g_Game.Scene(5)) << "scene 5 is stored before scene 4";
    g_Game.ChangeScene(4);
    EXPECT_EQ(g_pGameScene, g_Game.Scene(4));
    g_Game.ChangeScene(0);
    EXPECT_EQ(g_pGameScene, nullptr);
    g_Game.Scene(0)->Run();
    EXPECT_EQ(g_inits, 2) << "a scene becoming current again starts afresh";
    g_Game.ChangeScene(9);
    EXPECT_EQ(g_Game.Scene(0), nullptr);
}

TEST_F(GameTest, FaultInAStateHandlerClosesInOrderInsteadOfCrashing) {
    SetSceneFactory(0, [] {
        auto s = std::make_unique<CountingScene>();
        s->m_bThrow = true;
        return s;
    });
    g_hWnd = MainWindowHandle();
    g_bActive.store(1);
    EXPECT_TRUE(g_Game.GameFrame());
    EXPECT_TRUE(g_Game.GameFrame());
    EXPECT_GE(CloseRequestCount(), 1u);
    g_hWnd = nullptr;
}

TEST_F(GameTest, LostSurfacesThatCannotBeRestoredEndTheFrame) {
    MarkSurfacesLost(false);
    EXPECT_TRUE(RestoreLostSurfaces());
    MarkSurfacesLost(true);
    EXPECT_FALSE(g_Game.GameFrame());
    EXPECT_TRUE(g_Game.GameFrame());
}

// DirectDraw full screen flips, unless start-up chose to copy or a stage runs at more than 60
// frames a second: a flip brings the frame shown before back into the back buffer, a copy keeps
// the one just shown there. A scene that draws only its first two frames then shows them in turn
// (ABAB) or keeps showing the second (ABBB).
TEST_F(GameTest, DirectDrawFullScreenFlipsOrCopiesAsStartUpAndTheStageSay) {
    cStepClock clock(5000);
    SetClock(&clock);
    ResetTimers();
    cMemoryPresenter presenter;
    SetPresenter(&presenter);
    const u32 stageRate = g_Stage.dwFrameRate();
    auto trace = [&](u32 flipByCopy, int scene, u32 rate) {
        g_bFlipByCopy = flipByCopy;
        g_Stage.dwFrameRate() = rate;
        EXPECT_TRUE(DDInit(false, MainWindowHandle(), 640, 480, 32, 0, 0, 1, 60, 0, nullptr, nullptr, 0, 0));
        int frame = 0;
        SetSceneFactory(scene, [&] {
            auto s = std::make_unique<CountingScene>();
            s->onFrame = [&] {
                PixelStore* back = SurfacePixels(&g_sdBackBuffer);
                if (frame < 2 && back) std::fill(back->px.begin(), back->px.end(), frame == 0 ? 0x102030u : 0x405060u);
            };
            return s;
        });
        g_Game.g_nScene = scene;
        g_bActive.store(1);
        std::vector<u32> seen;
        std::string out;
        for (; frame < 4; ++frame) {
            EXPECT_TRUE(g_Game.GameFrame());
            const u32 px = presenter.Frame()[0];
            const auto at = std::find(seen.begin(), seen.end(), px);
            out += static_cast<char>('A' + (at - seen.begin()));
            if (at == seen.end()) seen.push_back(px);
        }
        g_Game.CleanUp();
        SetSceneFactory(scene, nullptr);
        DDRelease();
        return out;
    };
    EXPECT_EQ(trace(1, 0, 60), "ABBB") << "start-up chose to copy";
    EXPECT_EQ(trace(0, 0, 120), "ABAB") << "a stage's rate counts only in play";
    EXPECT_EQ(trace(0, SCENE_PLAY, 60), "ABAB");
    EXPECT_EQ(trace(0, SCENE_PLAY, 120), "ABBB") << "a stage of 120 frames a second";
    g_bFlipByCopy = 0;
    g_Stage.dwFrameRate() = stageRate;
    SetPresenter(nullptr);
    SetClock(nullptr);
    ResetTimers();
}

TEST_F(GameTest, TitleMenuEntriesAndPreselection) {
    g_Services.titleMenu = [] {
        std::vector<TITLEENTRY> v(7);
        for (auto& e : v) e.bEnabled = 0;
        return v;
    };
    cSceneMenu none;
    none.Init();
    EXPECT_EQ(none.m_nEntryCount, 1);
    EXPECT_EQ(none.m_anEntry[0], 0);

    g_Services.titleMenu = [] {
        std::vector<TITLEENTRY> v(9);
        v[1].bEnabled = 0;
        return v;
    };
    g_Game.g_nGameMode = 3;
    cSceneMenu menu;
    menu.Init();
    EXPECT_EQ(menu.m_nEntryCount, 7) << "at most seven entries";
    EXPECT_EQ(menu.m_anEntry[1], 2);
    EXPECT_EQ(g_WorldMapPos.Cur().row, 2);
    EXPECT_EQ(g_WorldMapPos.Cur().y, 240 + 64);
    g_Game.g_nGameMode = 1; // disabled now: the first row
    cSceneMenu again;
    again.Init();
    EXPECT_EQ(g_WorldMapPos.Cur().row, 0);
}

TEST_F(GameTest, TitleMenuQuitAndOptions) {
    g_hWnd = MainWindowHandle();
    cSceneMenu menu;
    menu.Run(); // Init, fade-in starts
    while (menu.m_nState == 0) menu.Run();
    ASSERT_EQ(menu.m_nState, 1);
    g_WorldMapPos.Cur().row = 5;
    g_vInput[0].wButtons = 1;
    menu.Run();
    EXPECT_EQ(g_Game.g_nGameMode, 5);
    EXPECT_EQ(g_Game.g_nNextScene, SCENE_OPTION);
    EXPECT_EQ(menu.m_nState, 4);
    while (g_Game.g_nScene == 0) menu.Run();
    EXPECT_EQ(g_Game.g_nScene, SCENE_OPTION);

    g_Game.g_nScene = 0;
    cSceneMenu quit;
    quit.Run();
    while (quit.m_nState == 0) quit.Run();
    g_WorldMapPos.Cur().row = 6;
    g_vInput[0].wButtons = 0;
    quit.Run();
    g_vInput[0].wButtons = 1;
    quit.Run();
    EXPECT_EQ(CloseRequestCount(), 1u);
    g_hWnd = nullptr;
}

TEST_F(GameTest, TitleMenuTakesTheRankingSwitchOfTheChosenPlayKind) {
    g_hWnd = MainWindowHandle();
    g_Services.rankingSwitch = [](int kind) { return kind == 1 ? 1u : 0u; };
    auto choose = [](int row) {
        cSceneMenu menu;
        menu.Run();
        while (menu.m_nState == 0) menu.Run();
        g_WorldMapPos.Cur().row = row;
        g_vInput[0].wButtons = 1;
        menu.Run();
        g_vInput[0].wButtons = 0;
    };
    g_Game.g_bUseRanking = 1; // as a direct start leaves it
    choose(0);
    EXPECT_EQ(g_Game.g_nPlayKind, 0);
    EXPECT_EQ(g_Game.g_bUseRanking, 0u) << "the story's own switch, not what was left before";
    choose(2);
    EXPECT_EQ(g_Game.g_nPlayKind, 1);
    EXPECT_EQ(g_Game.g_bUseRanking, 1u);
    g_hWnd = nullptr;
}

// Down tapped between two of the game's frames (down and up before the next one polls) moves the
// title menu's cursor once, as does a tap that the input script presses and releases on one poll;
// while the menu fades in it hears nothing, taps included.
TEST_F(GameTest, TitleMenuTakesADownTappedBetweenTwoFrames) {
    cStepClock clock(5000);
    SetClock(&clock);
    ResetTimers();
    SetSceneFactory(0, [] { return std::make_unique<cSceneMenu>(); });
    KeyStateClearAll();
    g_Game.g_nGameMode = 0;
    std::string rows;
    // Each letter one frame: t after a tap, . without one.
    auto frames = [&](const std::string& taps) {
        for (char c : taps) {
            if (c == 't') KeyStateSet(VK_DOWN, true), KeyStateSet(VK_DOWN, false);
            ASSERT_TRUE(g_Game.GameFrame());
            rows += std::to_string(g_WorldMapPos.Cur().row);
        }
        rows += ' ';
    };
    frames("t");
    while (g_Game.Scene(0)->m_nState == 0 && rows.size() < 100) frames(".");
    rows = rows.substr(rows.size() - 2); // the row the fade-in ends on
    frames("t.t..");
    ASSERT_TRUE(InputScriptLoad("2:40+ 2:40-"));
    frames("...");
    InputScriptReset();
    EXPECT_EQ(rows, "0 11222 233 ");
    SetClock(nullptr);
    ResetTimers();
}

TEST_F(GameTest, TitleMenuDrawsItsTextsAndSlotListWithTheProgramsFont) {
    g_bPictureMenu = 0;
    g_Services.titleMenu = [] {
        std::vector<TITLEENTRY> v(3);
        v[0].strText = "AB";
        v[1].bEnabled = 0;
        v[1].strText = "hidden";
        v[2].strText = "ABCDEF";
        return v;
    };
    struct CALL {
        int x, y, dots;
        std::string text;
    };
    std::vector<CALL> calls;
    g_Services.drawText = [&](int x, int y, const std::string& t, int dots) { calls.push_back({x, y, dots, t}); };
    std::vector<int> slotList;
    g_Services.storySlots = [] { return std::vector<STORYSLOT>(12); };
    g_Services.drawStorySlots = [&](int x, int y, int first, int rows) { slotList = {x, y, first, rows}; };
    g_Game.g_nGameMode = 0;
    cSceneMenu menu;
    menu.Run();
    while (menu.m_nState == 0) menu.Run();
    menu.Run();

    // The texts are drawn once into the menu's own surface, right of its cursor column.
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "AB");
    EXPECT_EQ(calls[0].x, 32);
    EXPECT_EQ(calls[0].y, 0);
    EXPECT_EQ(calls[0].dots, 32);
    EXPECT_EQ(calls[1].text, "ABCDEF");
    EXPECT_EQ(calls[1].y, 32);

    // New game: the slot list is the program's, ten rows from the first slot at (160, 160).
    g_vInput[0].wButtons = 1;
    menu.Run();
    g_vInput[0].wButtons = 0;
    menu.Run();
    menu.Run();
    EXPECT_EQ(slotList, (std::vector<int>{160, 160, 0, 10}));
}

TEST(BlendTable, PaletteRotatesOrRepeatsABlockAndClampsTheNumber) {
    u32 pal[256];
    auto reset = [&] {
        for (u32 i = 0; i < 256; ++i) pal[i] = i;
    };
    reset();
    BlendTablePalette(pal, 1);
    EXPECT_EQ(pal[15], 15u);
    EXPECT_EQ(pal[16], 32u);
    EXPECT_EQ(pal[207], 31u);
    EXPECT_EQ(pal[208], 208u);
    reset();
    BlendTablePalette(pal, 12);
    EXPECT_EQ(pal[16 + 16 * 5 + 3], 19u);
    reset();
    BlendTablePalette(pal, 40); // past the tables: taken as 23, the last block
    EXPECT_EQ(pal[16], 192u);
    EXPECT_EQ(pal[207], 207u);
    reset();
    BlendTablePalette(pal, -3);
    EXPECT_EQ(pal[16], 16u);
}

TEST(MenuCursorStepTest, StepsOverCategoriesThatAreOn) {
    i32 t = 1;
    MenuCursorStep(t, {1, 0, 0, 1, 0}, 0);
    EXPECT_EQ(t, 3);
    MenuCursorStep(t, {1, 0, 0, 1, 0}, 1);
    EXPECT_EQ(t, 0) << "wraps from 4 to 0";
    MenuCursorStep(t, {1, 0, 0, 1, 0}, -1);
    EXPECT_EQ(t, 3);
    MenuCursorStep(t, {1, 0, 0, 1, 0}, 3);
    EXPECT_EQ(t, 0);
    MenuCursorStep(t, {0, 0, 0, 0, 0}, 1);
    EXPECT_EQ(t, 0);
    MenuCursorStep(t, {}, 1);
    EXPECT_EQ(t, 0);
}

// The window thread's side of the requests, served on this test thread.
class RequestTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        g_bQuit.store(0);
        g_bQuitting.store(0);
        WindowQueueOpen(MainWndProc);
        g_hWnd = MainWindowHandle();
    }
    void TearDown() override {
        WindowQueueShutdown();
        g_hWnd = nullptr;
        g_bQuit.store(0);
        g_bQuitting.store(0);
        GameTest::TearDown();
    }
};

TEST_F(RequestTest, StageThatFailsToLoadIsNotReportedAsChosen) {
    int loads = 0;
    g_Services.loadStage = [&](const std::string& path, int flag) {
        ++loads;
        EXPECT_EQ(flag, 0);
        return path == "data\\stg4\\good.stg4_001" ? 1 : 0;
    };
    SetDialogAnswers({"1:data\\stg4\\bad.stg4_001", "1:data\\stg4\\good.stg4_001", "0"});
    MainWndProc(g_hWnd, WM_GAME_STAGEDLG, 0, 0);
    EXPECT_EQ(g_bDlgDone.load(), 1u);
    EXPECT_EQ(g_nDlgResult.load(), 0);
    EXPECT_EQ(CloseRequestCount(), 0u) << "a stage that cannot be read does not end the program";
    MainWndProc(g_hWnd, WM_GAME_STAGEDLG, 0, 0);
    EXPECT_EQ(g_nDlgResult.load(), 1);
    MainWndProc(g_hWnd, WM_GAME_STAGEDLG, 0, 0);
    EXPECT_EQ(g_nDlgResult.load(), 0);
    EXPECT_EQ(loads, 2);
}

TEST_F(RequestTest, CloseArrivingInsideARequestWaitsForItsEnd) {
    g_Services.loadStage = [&](const std::string&, int) {
        // A stage load serves messages while it runs; a close among them must not end the
        // game thread that is waiting for this very request.
        MainWndProc(g_hWnd, WM_CLOSE, 0, 0);
        EXPECT_EQ(g_bQuit.load(), 0u);
        return 1;
    };
    SetDialogAnswers({"1:data\\stg4\\a.stg4_001"});
    MainWndProc(g_hWnd, WM_GAME_STAGEDLG, 0, 0);
    EXPECT_EQ(g_nDlgResult.load(), 1);
    EXPECT_EQ(g_bQuit.load(), 0u);
    EXPECT_EQ(CloseRequestCount(), 1u) << "the close is asked again once the request is answered";
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, 0));
    EXPECT_EQ(msg.message, WM_CLOSE);
    DispatchMessage(msg);
    EXPECT_EQ(g_bQuit.load(), 1u);
}

TEST_F(RequestTest, FailedReplaySaveIsReportedAndDoesNotClose) {
    g_Services.saveReplay = [](int, const std::string&) { return 0; };
    g_Services.replayFileName = [] { return std::string("user_data\\rpl4\\x.rpl4_824"); };
    SetDialogAnswers({"1:user_data\\rpl4\\x.rpl4_824"});
    MainWndProc(g_hWnd, WM_GAME_REPLAYSAVE, 0, 0);
    EXPECT_EQ(g_nDlgResult.load(), 0);
    EXPECT_EQ(CloseRequestCount(), 0u);
}

TEST_F(RequestTest, BadSoundNumberReportsClosesAndPlaysSoundZero) {
    std::vector<int> played;
    g_Services.soundCount = [] { return 20; };
    g_Services.playSound = [&](int n) { played.push_back(n); };
    MainWndProc(g_hWnd, WM_GAME_PLAYSE, 3, 0);
    MainWndProc(g_hWnd, WM_GAME_PLAYSE, 20, 0);
    EXPECT_EQ(played, (std::vector<int>{3, 0}));
    EXPECT_EQ(CloseRequestCount(), 1u);
}

TEST_F(RequestTest, SceneMusicNumberZeroStopsAndRepeatsAreSkipped) {
    int stops = 0;
    std::vector<std::tuple<int, int, int>> plays;
    u32 stageFlag = 1;
    g_Services.sceneBgm = [](int which) { return which == 0 ? 0 : 7; };
    // Scene 2 plays its piece once, the others loop.
    g_Services.sceneBgmFlag = [](int which) { return which == 2 ? 0u : 1u; };
    g_Services.stageBgmFlag = [&] { return stageFlag; };
    g_Services.stopBgm = [&] { ++stops; };
    g_Services.playBgm = [&](int which, int n, int loop) { plays.push_back({which, n, loop}); };
    MainWndProc(g_hWnd, WM_GAME_BGM, 0, 0);
    EXPECT_EQ(stops, 1);
    MainWndProc(g_hWnd, WM_GAME_BGM, 1, 0);
    MainWndProc(g_hWnd, WM_GAME_BGM, 4, 12);
    MainWndProc(g_hWnd, WM_GAME_BGM, 9, 12);
    // The play setting reaches the player: the scene's flag, the stage request's flag.
    MainWndProc(g_hWnd, WM_GAME_BGM, 2, 0);
    stageFlag = 0;
    MainWndProc(g_hWnd, WM_GAME_BGM, 4, 12);
    using P = std::tuple<int, int, int>;
    EXPECT_EQ(plays, (std::vector<P>{P{1, 7, 1}, P{4, 12, 1}, P{2, 7, 0}, P{4, 12, 0}}));
    // RequestBgm sends (on the window thread at once) unless the same kept music plays.
    plays.clear();
    g_Game.RequestBgm(7, 1, 1);
    g_Game.RequestBgm(7, 1, 1);
    EXPECT_EQ(plays.size(), 1u);
    g_Game.RequestBgm(7, 0, 1);
    EXPECT_EQ(plays.size(), 2u);
}

TEST_F(RequestTest, ExceptionWhileServingARequestReportsAnswersAndCloses) {
    // An index into an empty list of the game's data throws out_of_range (a music number with
    // no music rows); the window thread must survive it.
    g_Services.playBgm = [](int, int, int) { throw std::out_of_range("invalid vector<T> subscript"); };
    EXPECT_NO_THROW(MainWndProc(g_hWnd, WM_GAME_BGM, 4, 3));
    EXPECT_EQ(CloseRequestCount(), 1u);
    g_Services.loadStage = [](const std::string&, int) -> int { throw std::out_of_range("x"); };
    SetDialogAnswers({"1:data\\stg4\\a.stg4_001"});
    g_bDlgDone.store(0);
    g_nDlgResult.store(1);
    EXPECT_NO_THROW(MainWndProc(g_hWnd, WM_GAME_STAGEDLG, 0, 0));
    EXPECT_EQ(g_bDlgDone.load(), 1u) << "the waiting game thread is answered";
    EXPECT_EQ(g_nDlgResult.load(), 0);
    EXPECT_EQ(CloseRequestCount(), 2u);
    const std::string report = [&] {
        std::ifstream in(dir / "Report_Game.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    EXPECT_NE(report.find("invalid vector<T> subscript"), std::string::npos);
}

TEST_F(RequestTest, CloseWhileTheGameThreadWaitsOnARequestDoesNotDeadlock) {
    std::atomic<int> answered{-1};
    static std::atomic<int>* s_answered;
    s_answered = &answered;
    ASSERT_TRUE(thGame.Create([](void*) -> unsigned {
        s_answered->store(ReqFileDialog());
        return 0;
    }, nullptr));
    // Let the request reach the queue; it is never served.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    MainWndProc(g_hWnd, WM_CLOSE, 0, 0);
    // The game thread ended by itself rather than being left behind after the close's grace.
    EXPECT_FALSE(AnyThreadAbandoned());
    EXPECT_EQ(answered.load(), 0);
    EXPECT_FALSE(thGame.IsRunning());
    EXPECT_EQ(g_bQuit.load(), 1u);
    EXPECT_EQ(g_hWnd, nullptr);
    // Requests after the close has begun are answered at once.
    g_bDlgDone.store(0);
    MainWndProc(MainWindowHandle(), WM_GAME_STAGEDLG, 0, 0);
    EXPECT_EQ(g_bDlgDone.load(), 1u);
    EXPECT_EQ(g_nDlgResult.load(), 0);
}

} // namespace

// A play in which F1's replay-save dialog holds the game thread for three seconds, in both
// drawing modes: the second after the dialog closes runs at the game's 60 frames (nothing caught
// up in a burst) and the frame counter keeps reading 60 to 62.
class PacingTest : public RequestTest {
protected:
    void TearDown() override {
        if (g_bDDInit) DDRelease();
        SetPresenter(nullptr);
        DDTestSetDisplayRefresh(0);
        SetClock(nullptr);
        ResetTimers();
        RequestTest::TearDown();
    }
    void PlayThroughTheDialog(bool direct3D) {
        cStepClock clock(5000);
        SetClock(&clock);
        ResetTimers();
        cMemoryPresenter presenter;
        SetPresenter(&presenter);
        if (direct3D) {
            DDTestSetDisplayRefresh(60);
            ASSERT_TRUE(DDInit(true, MainWindowHandle(), 640, 480, 32, 0, 1, 1, 60, 1, nullptr, nullptr, 0, 0));
        }
        g_Services.replayFileName = [] { return std::string("user_data\\rpl4\\x.rpl4_824"); };
        g_Services.saveReplay = [&](int, const std::string&) {
            clock.Advance(3000); // the player looks for a name
            return 1;
        };
        SetDialogAnswers({"1:user_data\\rpl4\\x.rpl4_824"});
        u64 closed = 0;
        SetSceneFactory(0, [&] {
            auto s = std::make_unique<CountingScene>();
            s->onFrame = [&] {
                if (g_Game.m_nFrames != 150) return;
                MainWndProc(g_hWnd, WM_GAME_REPLAYSAVE, 0, 0); // as F1 asks the window thread
                closed = clock.NowMs();
            };
            return s;
        });
        g_bActive.store(1);
        std::vector<u64> after;
        std::vector<u32> shown;
        while (g_Game.m_nFrames < 400) {
            ASSERT_TRUE(g_Game.GameFrame());
            if (closed) {
                after.push_back(clock.NowMs());
                shown.push_back(g_Game.m_nFps);
            }
        }
        ASSERT_EQ(g_nDlgResult.load(), 1) << "the dialog saved";
        const auto inSecond = std::count_if(after.begin(), after.end(), [&](u64 t) { return t < closed + 1000; });
        EXPECT_GE(inSecond, 59) << (direct3D ? "Direct3D" : "DirectDraw");
        EXPECT_LE(inSecond, 62) << (direct3D ? "Direct3D" : "DirectDraw");
        for (std::size_t i = 0; i < shown.size(); ++i) {
            EXPECT_GE(shown[i], 60u) << "frame " << i << " after the dialog";
            EXPECT_LE(shown[i], 62u) << "frame " << i << " after the dialog";
        }
    }
};

TEST_F(PacingTest, TheSecondAfterTheF1DialogRunsAtSixtyInDirectDraw) { PlayThroughTheDialog(false); }
TEST_F(PacingTest, TheSecondAfterTheF1DialogRunsAtSixtyInDirect3D) { PlayThroughTheDialog(true); }

namespace {
// A step clock that notes, at the first wait, whether the first picture had been signalled.
class cWatchingClock : public cStepClock {
public:
    using cStepClock::cStepClock;
    void Sleep(u32 ms) override {
        if (firstWait < 0) firstWait = FirstFrameWasShown() ? 1 : 0;
        cStepClock::Sleep(ms);
    }
    int firstWait = -1;
};
} // namespace

// Every scene opens with the black first step of its fade-in: what waits for the first frame
// (the synthesizer, the pads) waits for the second, the first that shows a picture, and goes as
// soon as that frame is handed to the window, before Direct3D's flip waits for the next frame's
// turn. In a process of its own: the first picture is signalled once per process.
TEST_F(PacingTest, WhatWaitsForTheFirstFrameGoesWithTheFirstPicture) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            cWatchingClock clock(5000);
            SetClock(&clock);
            ResetTimers();
            cMemoryPresenter presenter;
            SetPresenter(&presenter);
            DDTestSetDisplayRefresh(60);
            if (!DDInit(true, MainWindowHandle(), 640, 480, 32, 0, 1, 1, 60, 1, nullptr, nullptr, 0, 0)) std::_Exit(10);
            SetSceneFactory(0, [] { return std::make_unique<CountingScene>(); });
            g_bActive.store(1);
            FirstFrameExpect();
            if (!g_Game.GameFrame() || presenter.FrameCount() != 1) std::_Exit(11);
            if (FirstFrameWasShown()) std::_Exit(12); // the black first frame
            if (!g_Game.GameFrame() || presenter.FrameCount() != 2) std::_Exit(13);
            if (!FirstFrameWasShown()) std::_Exit(14);
            std::_Exit(clock.firstWait == 1 ? 0 : 15); // signalled before the wait after it
        },
        ::testing::ExitedWithCode(0), "");
}
