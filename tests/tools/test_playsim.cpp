// Headless play of the demo game: every demo stage played from a script, recorded, saved,
// loaded and played back gives the recording's hash sequence, and the same seed and input give
// the same hashes twice.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include <cstdlib>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/PathResolver.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "app/PlayRecordNames.h"
#include "tools/DemoFlows.h"
#include "tools/DemoGame.h"
#include "tools/PlaySim.h"

namespace fs = std::filesystem;

namespace {

// The demo hero walks and jumps by its flows: the script keeps it clear of the pits, so that
// every stage records to the script's end. Buttons 2 and 3 fire the hero's shot and swing its
// sword; the last stage's boss fires at the hero from the start: the replays hold with shots and
// swords about.
const char* const kScript = "R*10 RJ*12 R2 .*10 3 LJ*6 L*20 J*3 .*15 2 .*4 2 R*10 UJ*4 3 D*8 .*20 L*30";

class DemoPlay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("tobrelk_playsim_" + std::to_string(::getpid()));
        fs::remove_all(s_dir);
        std::string error;
        ASSERT_TRUE(MakeDemoGame(s_dir, error)) << error;
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    // Plays a stage from the script: its hashes; the replay written when asked.
    static std::vector<u64> Play(const std::string& stage, u32 seed, const std::string& replay = {}) {
        playsim::cPlaySim sim;
        std::string error;
        EXPECT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
        EXPECT_TRUE(sim.StartStage(stage, seed, error)) << error;
        std::vector<playsim::SIMKEYS> keys;
        EXPECT_TRUE(playsim::ParseScript(kScript, keys));
        for (const auto& k : keys) sim.Frame(k);
        if (!replay.empty()) {
            EXPECT_TRUE(sim.SaveReplay(replay));
        }
        return sim.Hashes();
    }
    static std::vector<u64> PlayBack(const std::string& replay) {
        playsim::cPlaySim sim;
        std::string error;
        EXPECT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
        EXPECT_TRUE(sim.StartReplay(replay, error)) << error;
        for (int f = 0; f < 5000 && (f == 0 || sim.Playing()); ++f) sim.Frame();
        return sim.Hashes();
    }

    static fs::path s_dir;
};
fs::path DemoPlay::s_dir;

} // namespace

TEST_F(DemoPlay, EveryStageReplaysItsRecording) {
    const char* const stages[] = {"data\\stg4\\Demo-1.stg4_001", "data\\stg4\\Demo-2.stg4_001", "data\\stg4\\Demo-3.stg4_001",
                                  "data\\stg4\\c01-1.stg4_001",  "data\\stg4\\c02-1.stg4_001",  "data\\stg4\\c03-1.stg4_001"};
    int n = 0;
    for (const char* stage : stages) {
        SCOPED_TRACE(stage);
        const std::string replay = (s_dir / ("play" + std::to_string(n++) + ".rpl4_824")).string();
        const std::vector<u64> recorded = Play(stage, 12345, replay);
        ASSERT_FALSE(recorded.empty());
        const std::vector<u64> replayed = PlayBack(replay);
        // The recording ends where the script ends, or earlier when the stage ended.
        ASSERT_GE(replayed.size(), recorded.size());
        EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), replayed.begin()));
    }
}

// The first stage's villager holds the game while his message is up: a replay holds with holds
// of any length (a tenth of a second, under a second, three seconds).
TEST_F(DemoPlay, ReplaysHoldWithMessagesOfDifferentWaits) {
    for (u32 tenths : {1u, 7u, 30u}) {
        SCOPED_TRACE(tenths);
        const std::string stage = "data\\stg4\\Wait" + std::to_string(tenths) + ".stg4_001";
        {
            const fs::path old = GetGameRoot();
            SetGameRoot(s_dir);
            cStage st;
            ASSERT_TRUE(LoadFromFile(st, "data\\stg4\\Demo-1.stg4_001"));
            for (cEdChara& c : st.vChara)
                if (c.wPaletteIndex == 3) {
                    cEdChara villager = DemoVillager(tenths);
                    villager.sPosX = c.sPosX;
                    villager.sPosY = c.sPosY;
                    c = villager;
                }
            ASSERT_TRUE(SaveToFile(st, stage));
            SetGameRoot(old);
        }
        const std::string replay = (s_dir / ("wait" + std::to_string(tenths) + ".rpl4_824")).string();
        const std::vector<u64> recorded = Play(stage, 99, replay);
        ASSERT_EQ(g_CommonVars[kDemoTalkCounter], 1) << "the villager talked";
        const std::vector<u64> replayed = PlayBack(replay);
        ASSERT_GE(replayed.size(), recorded.size());
        EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), replayed.begin()));
    }
}

TEST_F(DemoPlay, SameSeedAndInputSameHashes) {
    const std::vector<u64> a = Play("data\\stg4\\Demo-1.stg4_001", 7);
    const std::vector<u64> b = Play("data\\stg4\\Demo-1.stg4_001", 7);
    EXPECT_EQ(a, b);
    // Every frame's state is its own: the hash moves with the play.
    EXPECT_NE(a.front(), a.back());
}

// The play screen in each drawing mode against its golden frame (TOBRELK_UPDATE_GOLDENS=1
// writes them): the first demo stage with only its hero, a time limit and the status bar, after
// a few frames of play: background, blocks, items, the hero, the status bar and the time.
TEST_F(DemoPlay, PlayScreenGoldenFrames) {
    {
        const fs::path old = GetGameRoot();
        SetGameRoot(s_dir);
        cStage st;
        ASSERT_TRUE(LoadFromFile(st, "data\\stg4\\Demo-1.stg4_001"));
        cVector<cEdChara> hero;
        for (const cEdChara& c : st.vChara)
            if (c.byOperation == 0) hero.push_back(c);
        st.vChara = hero;
        StageSettings::Set(st, eStage::TimeLimitOn, 1);
        StageSettings::Set(st, eStage::TimeLimit, 150);
        ASSERT_TRUE(SaveToFile(st, "data\\stg4\\Golden.stg4_001"));
        SetGameRoot(old);
    }
    const struct {
        bool d3d;
        int bpp;
        const char* name;
    } modes[] = {{true, 32, "d3d32"}, {false, 32, "dd32"}, {false, 8, "dd8"}, {true, 16, "d3d16"}, {false, 16, "dd16"}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.name);
        playsim::cPlaySim sim;
        std::string error;
        ASSERT_TRUE(sim.Open({s_dir.string(), m.d3d, m.bpp}, error)) << error;
        ASSERT_TRUE(sim.StartStage("data\\stg4\\Golden.stg4_001", 1, error)) << error;
        for (int f = 0; f < 10; ++f) sim.Frame();
        std::vector<u32> frame;
        i32 w = 0, h = 0;
        DDSnapshotFrame(&frame, &w, &h);
        const std::string golden = std::string(TOBRELK_TEST_DATA_DIR) + "/graphics/play_screen_" + m.name + ".png";
        if (std::getenv("TOBRELK_UPDATE_GOLDENS")) {
            ASSERT_TRUE(WritePngFile(golden, frame.data(), w, h));
            continue;
        }
        std::vector<u32> want;
        i32 gw = 0, gh = 0;
        ASSERT_TRUE(ReadPngFile(golden, &want, &gw, &gh)) << golden;
        const bool same = gw == w && gh == h && want == frame;
        if (!same) WritePngFile((fs::current_path() / ("actual_play_screen_" + std::string(m.name) + ".png")).string(), frame.data(), w, h);
        EXPECT_TRUE(same) << "differs from " << golden;
    }
}
