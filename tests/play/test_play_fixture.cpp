// The headless play fixture: a fresh play scene per fixture, stepped frame by frame.
#include <gtest/gtest.h>

#include "platform/system/Input.h"
#include "tests/play/PlayFixture.h"

TEST(PlayFixture, PlaysAStageHeadless) {
    for (int run = 0; run < 2; ++run) {
        playtest::PlayFixture play(playtest::MakeStage(40, 15), {.direct3D = run == 0, .bpp = run == 0 ? 32 : 8});
        ASSERT_TRUE(play.GraphicsOk());
        ASSERT_TRUE(play.RunUntilPlay());
        cGameScene& s = play.Scene();
        EXPECT_EQ(s.m_nSeed, 1u);
        ASSERT_NE(s.Player0(), nullptr);
        EXPECT_EQ(s.m_vBlockMap.At(s.m_vBlockMap.StageIndex(5, 14)).block.wPicture, 1);
        EXPECT_EQ(s.m_vBlockMap.At(s.m_vBlockMap.StageIndex(5, 13)).block.wPicture, 0);
        EXPECT_EQ(s.m_nTimeLeft, 999);
        // Counters restart with each stage: two runs see the same numbers.
        const u32 start = s.m_nFrameCounter;
        std::string keys;
        EXPECT_TRUE(play.Script("R*2 LJ .*2 UD34", [&](int frame) {
            keys += std::to_string(frame) + ":" + std::to_string(g_vInput[0].wDirection) + "/" +
                    std::to_string(g_vInput[0].wButtons) + " ";
        }));
        EXPECT_EQ(keys, "0:2/0 1:2/0 2:1/1 3:0/0 4:0/0 5:12/12 ");
        EXPECT_FALSE(play.Script("R*x"));
        EXPECT_FALSE(play.Script("Q"));
        EXPECT_EQ(s.m_nFrameCounter, start + 6);
        EXPECT_EQ(play.Frame().size(), 640u * 480u);
        EXPECT_EQ(play.CloseRequests(), 0u);
    }
    EXPECT_EQ(g_pGameScene, nullptr);
}
