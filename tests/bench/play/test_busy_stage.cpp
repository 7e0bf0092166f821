// The busy stage of the play benchmarks, played as the benchmark plays it: every frame it would
// time shows the twenty characters, the shots and the effects its name promises, for longer than
// a shot lives; left alone, the same scene empties, and the benchmark's check says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "bench/play/BusyStage.h"
#include "tests/support/DemoGameCopy.h"

namespace {

// More frames than the twenty take to walk out of the view.
constexpr int kFrames = 400;

class BusyStageScene : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() {
        s_dir = std::filesystem::temp_directory_path() / ("tobrelk_test_busy_" + std::to_string(::getpid()));
        std::filesystem::remove_all(s_dir);
        std::string error;
        ASSERT_TRUE(CopyDemoGame(s_dir, error)) << error;
        bench_play::WritePatrolStage(s_dir, bench_play::kBusyCharas, bench_play::kBusyStageFile, false);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(s_dir); }

    static inline std::filesystem::path s_dir;
};

TEST_P(BusyStageScene, EveryTimedFrameShowsItsCharactersShotsAndEffects) {
    const bool effects = GetParam();
    bench_play::cBusyStage busy;
    std::string error;
    ASSERT_TRUE(busy.Start(s_dir, effects, error)) << error;
    EXPECT_EQ(busy.Scene().m_lstChara.LiveCount(), bench_play::kBusyCharas);
    for (int frame = 1; frame <= kFrames; ++frame) {
        busy.Frame();
        const bench_play::BusyView v = busy.View();
        ASSERT_EQ(bench_play::BusyViewShortfall(v, effects), "") << "frame " << frame;
        EXPECT_EQ(v.charas, bench_play::kBusyInView) << "frame " << frame;
        EXPECT_EQ(v.shots, bench_play::kBusyShots) << "frame " << frame;
        EXPECT_EQ(v.effects, effects ? bench_play::kBusyInView : 0) << "frame " << frame;
        EXPECT_EQ(v.screenEffect, effects) << "frame " << frame;
        busy.Restore();
    }
}

TEST_P(BusyStageScene, LeftAloneTheSceneEmptiesAndTheCheckSaysSo) {
    const bool effects = GetParam();
    bench_play::cBusyStage busy;
    std::string error;
    ASSERT_TRUE(busy.Start(s_dir, effects, error)) << error;
    int fewest = bench_play::kBusyInView;
    std::string lost;
    for (int frame = 1; frame <= kFrames; ++frame) {
        busy.Frame();
        const bench_play::BusyView v = busy.View();
        fewest = std::min(fewest, v.charas);
        if (lost.empty()) lost = bench_play::BusyViewShortfall(v, effects);
    }
    EXPECT_LT(fewest, bench_play::kBusyInView / 2);
    EXPECT_NE(lost.find("of the 20 characters"), std::string::npos) << lost;
}

INSTANTIATE_TEST_SUITE_P(Busy, BusyStageScene, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "WithEffects" : "Plain"; });

// More frames than the shots of one firing live: the weaving ones drift out of the view after
// some 4,700 frames, all in the same frame.
constexpr int kLongFrames = 5000;

// Played plain only: the effects change nothing of the shots.
class BusyStageLongRun : public BusyStageScene {};

TEST_P(BusyStageLongRun, EveryFrameKeepsItsShotsLongerThanAShotLives) {
    bench_play::cBusyStage busy;
    std::string error;
    ASSERT_TRUE(busy.Start(s_dir, GetParam(), error)) << error;
    for (int frame = 1; frame <= kLongFrames; ++frame) {
        busy.Frame();
        const bench_play::BusyView v = busy.View();
        ASSERT_EQ(v.shots, bench_play::kBusyShots) << "frame " << frame;
        ASSERT_EQ(v.charas, bench_play::kBusyInView) << "frame " << frame;
        busy.Restore();
    }
}

INSTANTIATE_TEST_SUITE_P(Busy, BusyStageLongRun, ::testing::Values(false),
                         [](const ::testing::TestParamInfo<bool>&) { return "Plain"; });

} // namespace
