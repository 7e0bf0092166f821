#include <gtest/gtest.h>

#include "platform/system/Clock.h"
#include "platform/system/Timers.h"

class TimersTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClock(&m_clock);
        ResetTimers();
    }
    void TearDown() override {
        FrameWaitSetDirect3D(false);
        ResetTimers();
        SetClock(nullptr);
    }
    cStepClock m_clock{1000};
};

TEST_F(TimersTest, FrameCounterComesRoundEveryNCalls) {
    int seen[6];
    for (int& s : seen) s = FrameCounter(1, 3);
    EXPECT_EQ(std::vector<int>(seen, seen + 6), (std::vector<int>{0, 0, 1, 0, 0, 1}));
    FrameCounter(1, 3);
    EXPECT_EQ(FrameCounter(2, 0), 0);
    FrameCounter(0, 0);
    EXPECT_EQ(FrameCounter(2, 0), 1);
}

TEST_F(TimersTest, RateLimit) {
    EXPECT_TRUE(RateLimit(0));
    EXPECT_TRUE(RateLimit(0));
    EXPECT_TRUE(RateLimit(10));
    EXPECT_FALSE(RateLimit(10));
    m_clock.Advance(99);
    EXPECT_FALSE(RateLimit(10));
    m_clock.Advance(1);
    EXPECT_TRUE(RateLimit(10));
}

TEST_F(TimersTest, ElapsedAndLatchedLaps) {
    TimerMark();
    m_clock.Advance(25);
    EXPECT_EQ(TimerElapsed(false), 25u);
    EXPECT_EQ(TimerElapsed2(true), 25u);
    m_clock.Advance(5);
    EXPECT_EQ(TimerElapsed2(false), 25u);
    EXPECT_EQ(TimerElapsed(true), 30u);
    EXPECT_EQ(TimerElapsed(false), 0u);
}

TEST_F(TimersTest, CallsPerSecondLatchesOncePerSecond) {
    for (int i = 0; i < 50; ++i) {
        CallsPerSecond(true);
        m_clock.Advance(10);
    }
    EXPECT_EQ(CallsPerSecond(false), 0u);
    for (int i = 0; i < 60; ++i) {
        CallsPerSecond(true);
        m_clock.Advance(10);
    }
    EXPECT_EQ(CallsPerSecond(false), 100u);
}

TEST_F(TimersTest, FrameWaitLetsSixtyFramesThroughPerSecond) {
    FrameWait(60, false, {}); // DirectDraw mode does not pace
    FrameWaitSetDirect3D(true);
    int frames = 0;
    std::vector<u64> times;
    const u64 start = timeGetTime();
    while (timeGetTime() < start + 2000) {
        if (FrameWait(60, false, {})) {
            ++frames;
            times.push_back(timeGetTime() - start);
        } else {
            ClockSleep(1);
        }
    }
    // Frame i of a second is due at base + i * 1000 / 60; the 60th re-bases the second at its
    // own time, so the next second's first frame follows at once.
    ASSERT_GE(frames, 120);
    EXPECT_EQ(times[1], 17u);
    EXPECT_EQ(times[59], 984u); // ceil(59 * 1000 / 60)
    EXPECT_EQ(times[60], 984u);
    EXPECT_EQ(times[61], 1001u);
    EXPECT_EQ(times[119], 1968u);
}

TEST_F(TimersTest, FrameWaitDrawsTheRateTextWhenAsked) {
    FrameWaitSetDirect3D(true);
    std::string text;
    int x = 0, y = 0;
    ASSERT_EQ(FrameWait(60, true, [&](int px, int py, const std::string& t) {
                  x = px;
                  y = py;
                  text = t;
              }),
              1);
    EXPECT_EQ(x, 16);
    EXPECT_EQ(y, 8);
    EXPECT_EQ(text.rfind("FPS-Ave 0(0)\ndwTime_OneSec ", 0), 0u);
}

TEST(Clock, NeverWrapsAtThirtyTwoBits) {
    cStepClock clock(0xFFFFFFF0ull);
    SetClock(&clock);
    const u64 before = timeGetTime();
    clock.Advance(0x20);
    EXPECT_EQ(timeGetTime() - before, 0x20u);
    SetClock(nullptr);
}
