// Loading a stage for play: file lookup, the damaged-file check, the loading thread with the
// caller serving its messages, the hero check and the copy of the stage's settings.
#include <gtest/gtest.h>

#include <atomic>

#include "StageTestUtil.h"
#include "platform/system/WindowMessages.h"
#include "records/StageLoad.h"
#include "tests/support/ScratchGame.h"

using namespace stagetest;
namespace fs = std::filesystem;

namespace {

std::atomic<int> g_dispatched{0};

LRESULT CountingProc(HWND, u32 message, WPARAM, LPARAM) {
    if (message == WM_USER + 50) g_dispatched.fetch_add(1);
    return 0;
}

class StageLoad : public ::testing::Test {
protected:
    void SetUp() override {
        SetCmdLimits(CMDLIMITS{});
        g_Stage.Init();
        g_Stage.vChara.clear();
        g_StageAtStart.Init();
        fs::create_directories(m_dir / "data" / "stg4");
        ResetCloseRequestCount();
        g_dispatched = 0;
    }
    void TearDown() override {
        WindowQueueShutdown();
        g_hWnd = nullptr;
        SetCmdLimits(CMDLIMITS{});
        g_Stage.Init();
        g_StageAtStart.Init();
    }

    void Put(const std::string& name, cStage& st) { WriteFile(m_dir / "data" / "stg4" / name, FileBytes(st)); }

    // A stage big enough that loading it takes a while.
    static cStage BigStage() {
        cStage st;
        st.vChara.push_back(MakeHero(1, 1));
        cEdBlock b;
        b.wPicture = 1;
        st.vBlock.assign(200000, b);
        return st;
    }

    ScratchGame m_game;
    const fs::path m_dir = m_game.Dir();
    std::vector<std::string>& m_boxes = m_game.boxes;
};

} // namespace

TEST_F(StageLoad, NumberedNameTakesTheHighestExistingFile) {
    cStage st;
    st.vChara.push_back(MakeHero(3, 4));
    st.dwWidth() = 41;
    Put("Stage.stg4_003", st);
    st.dwWidth() = 42;
    Put("stage.STG4_010", st);
    ASSERT_EQ(LoadStageForPlay("data\\stg4\\stage.stg4", 1, &g_StageAtStart), 1);
    EXPECT_EQ(g_Stage.dwWidth(), 42u);
    EXPECT_EQ(g_strStageFile.substr(g_strStageFile.size() - 4), "_010");
    EXPECT_EQ(g_Stage.bNumberedFile, 1u);
    EXPECT_EQ(g_Stage.bLoaded, 1u);

    // None of 000..999 exists: nothing is shown.
    EXPECT_EQ(LoadStageForPlay("data\\stg4\\other.stg4", 1, nullptr), 0);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(CloseRequestCount(), 0u);
}

// A stage with flows, conditions, owned records and inheritance in its palettes and placed
// lists: loaded, it writes the bytes it was read from.
TEST_F(StageLoad, SuccessCopiesTheSettingsButNotTheLists) {
    cStage st = MakeRichStage();
    Put("rich.stg4_001", st);
    cStage out = MakeRichStage();
    out.strStage = "old";
    ASSERT_EQ(LoadStageForPlay("data\\stg4\\rich.stg4_001", 0, &out), 1);
    EXPECT_EQ(out.strStage, "stage text");
    EXPECT_EQ(out.dwWidth(), 60u);
    EXPECT_EQ(out.vBack.size(), 2u);
    EXPECT_EQ(out.vName[3].strName, "name three");
    EXPECT_EQ(out.aParams[1].dwValue8, 6u);
    EXPECT_EQ(out.vRankSwitch[1], 0u);
    EXPECT_TRUE(out.vBlockPalette.empty() && out.vCharaPalette.empty() && out.vItemPalette.empty());
    EXPECT_TRUE(out.vBlock.empty() && out.vChara.empty() && out.vItem.empty());
    EXPECT_EQ(g_Stage.vBlock.size(), 30u);
    EXPECT_EQ(g_Stage.vChara[1].dwMaxHP, 33u); // inherited from the file's own palette
    EXPECT_EQ(FileBytes(g_Stage), FileBytes(st));
    EXPECT_TRUE(m_boxes.empty());

    // Without a copy only g_Stage changes.
    cStage before = g_StageAtStart;
    ASSERT_EQ(LoadStageForPlay("data\\stg4\\rich.stg4_001", 0, nullptr), 1);
    EXPECT_EQ(FileBytes(g_StageAtStart), FileBytes(before));
}

TEST_F(StageLoad, DamagedUnreadableAndHerolessFilesAreRefused) {
    cStage st;
    st.vChara.push_back(MakeHero(1, 1));
    std::string bad = FileBytes(st);
    bad[bad.size() - 2] = 1;
    WriteFile(m_dir / "data" / "stg4" / "bad.stg4_000", bad);
    ASSERT_EQ(LoadStageForPlay("data\\stg4\\bad.stg4_000", 0, nullptr), 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_NE(m_boxes[0].find("bad.stg4_000 が破損しています！"), std::string::npos);
    EXPECT_EQ(CloseRequestCount(), 0u); // the program goes on
    EXPECT_EQ(g_Stage.vChara.size(), 0u); // never handed to the loader

    ASSERT_EQ(LoadStageForPlay("data\\stg4\\missing.stg4_000", 0, nullptr), 0);
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_NE(m_boxes[1].find("missing.stg4_000 の読み込みに失敗しました！"), std::string::npos);
    EXPECT_EQ(CloseRequestCount(), 0u); // play goes on

    // The only player character has no picture: no hero.
    st.vChara[0].wPicture = 0;
    Put("nohero.stg4_000", st);
    ASSERT_EQ(LoadStageForPlay("data\\stg4\\nohero.stg4_000", 0, nullptr), 0);
    ASSERT_EQ(m_boxes.size(), 3u);
    EXPECT_EQ(m_boxes[2], "主人公が配置されていないのでプレイできません！");
    EXPECT_EQ(CloseRequestCount(), 1u);
}

TEST_F(StageLoad, WindowThreadServesItsMessagesAndQuitEndsTheLoad) {
    cStage big = BigStage();
    Put("big.stg4_000", big);
    WindowQueueOpen(CountingProc);
    g_hWnd = MainWindowHandle();
    PostMessage(g_hWnd, WM_USER + 50, 0, 0);
    PostMessage(g_hWnd, WM_QUIT, 0, 0);
    EXPECT_EQ(LoadStageForPlay("data\\stg4\\big.stg4_000", 0, nullptr), 0);
    EXPECT_EQ(g_dispatched.load(), 1);
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, 0)); // the quit message was consumed
    EXPECT_FALSE(thLoad.IsRunning());
    EXPECT_TRUE(g_Stage.vBlock.empty()); // a cancelled load leaves the stage as it was
    EXPECT_TRUE(m_boxes.empty());

    // Undisturbed, the same file loads while the window thread keeps serving.
    ASSERT_EQ(LoadStageForPlay("data\\stg4\\big.stg4_000", 0, nullptr), 1);
    EXPECT_EQ(g_Stage.vBlock.size(), 200000u);
}

namespace {
struct CallerResult {
    std::atomic<int> result{-1};
};

unsigned CallerProc(void* arg) {
    static_cast<CallerResult*>(arg)->result = LoadStageForPlay("data\\stg4\\big.stg4_000", 0, nullptr);
    return 0;
}
} // namespace

TEST_F(StageLoad, AWorkerCallerLeavesWhenItIsAskedToQuit) {
    cStage big = BigStage();
    Put("big.stg4_000", big);
    CallerResult done;
    {
        cThread caller;
        ASSERT_EQ(caller.Create(CallerProc, &done), 1);
        ASSERT_EQ(caller.Wait(), 1);
    }
    EXPECT_EQ(done.result.load(), 1);

    g_Stage.Init();
    CallerResult quit;
    cThread caller;
    ASSERT_EQ(caller.Create(CallerProc, &quit), 1);
    caller.Exit(); // the quit request reaches the caller while (or before) it loads
    EXPECT_EQ(quit.result.load(), 0);
    EXPECT_FALSE(thLoad.IsRunning());
}
