// The headless play fixture: a fresh play scene per fixture, stepped frame by frame.
#include <gtest/gtest.h>

#include "tests/play/PlayFixture.h"

TEST(PlayFixture, PlaysAStageHeadless) {
    for (int run = 0; run < 2; ++run) {
        playtest::PlayFixture play(playtest::MakeStage(40, 15));
        ASSERT_TRUE(play.GraphicsOk());
        ASSERT_TRUE(play.RunUntilPlay());
        cGameScene& s = play.Scene();
        EXPECT_EQ(s.m_nSeed, 1u);
        ASSERT_NE(s.Player0(), nullptr);
        EXPECT_EQ(s.Player0()->m_nId, 0u);
        EXPECT_EQ(s.m_vBlockMap.At(s.m_vBlockMap.StageIndex(5, 14)).block.wPicture, 1);
        EXPECT_EQ(s.m_vBlockMap.At(s.m_vBlockMap.StageIndex(5, 13)).block.wPicture, 0);
        EXPECT_EQ(s.m_nTimeLeft, 999);
        // Counters restart with each stage: two runs see the same numbers.
        const u32 start = s.m_nFrameCounter;
        play.Steps(5, playtest::RIGHT);
        EXPECT_EQ(s.m_nFrameCounter, start + 5);
        EXPECT_EQ(play.Frame().size(), 640u * 480u);
        EXPECT_EQ(play.CloseRequests(), 0u);
    }
    EXPECT_EQ(g_pGameScene, nullptr);
}
