// The view's scroll axes: set-up for a stage, clamps, limits and auto-scroll.
#include <gtest/gtest.h>

#include "play/ScrollAxis.h"

TEST(ScrollAxis, ClampKeepsTheViewInsideItsBounds) {
    cScrollAxis x;
    x.Setup(0, 40, 0); // 40 cells: the stage spans world pixels 320 .. 1600
    struct Case {
        double pos, want;
        u32 hit;
    } cases[] = {{100, 320, 1}, {320, 320, 0}, {500.5, 500.5, 0}, {959, 959, 0}, {960, 960, 1}, {2000, 960, 1}};
    for (const Case& c : cases) {
        x.m_dPos = c.pos;
        x.Clamp();
        EXPECT_EQ(x.m_dPos, c.want) << c.pos;
        EXPECT_EQ(x.m_bLimitHit, c.hit) << c.pos;
    }
    // A stage narrower than the view: the upper clamp never goes below the lower bound.
    cScrollAxis narrow;
    narrow.Setup(0, 5, 0);
    narrow.m_dPos = 400;
    narrow.Clamp();
    EXPECT_EQ(narrow.m_dPos, 320);
    EXPECT_EQ(narrow.m_bLimitHit, 1u);
    // The y axis views 480 pixels.
    cScrollAxis y;
    y.Setup(1, 15, 32);
    EXPECT_EQ(y.m_nView, 480);
    EXPECT_EQ(y.m_nViewExtended, 512);
    EXPECT_EQ(y.m_nUpper, 800);
}

TEST(ScrollAxis, LimitsAndAutoScroll) {
    cScrollAxis x;
    x.Setup(0, 100, 0);
    x.SetBounds(5, 44, 1, 1);
    EXPECT_EQ(x.m_nLower, 320 + 5 * 32);
    EXPECT_EQ(x.m_nUpper, 320 + 45 * 32);
    x.SetBounds(5, 44, 0, 0);
    EXPECT_EQ(x.m_nLower, 320);
    EXPECT_EQ(x.m_nUpper, x.m_nDefaultUpper);
    x.SetBounds(50, 10, 1, 1); // an upper limit before the lower one
    EXPECT_EQ(x.m_nUpper, x.m_nLower);
    x.SetBounds(0x7FFFFFF0, 0x7FFFFFF0, 1, 1); // cells from a damaged file do not overflow
    EXPECT_GT(x.m_nLower, 0);

    x.SetBounds(0, 0, 0, 0);
    x.SetSpeed(1, 15, 10.0);
    EXPECT_DOUBLE_EQ(x.m_dSpeed, 15 * 0.1 / 10.0);
    EXPECT_EQ(x.m_bAuto, 1u);
    x.m_dPos = 320;
    for (int i = 0; i < 10; ++i) x.Step();
    EXPECT_DOUBLE_EQ(x.m_dPos, 320 + 10 * (15 * 0.1 / 10.0));
    x.SetSpeed(1, -15, 0.0); // a unit below 1 counts as 1
    EXPECT_DOUBLE_EQ(x.m_dSpeed, -1.5);
    x.Step();
    x.Step();
    EXPECT_EQ(x.m_dPos, 320);
    EXPECT_EQ(x.m_bLimitHit, 1u);
    x.SetSpeed(0, 15, 10.0);
    EXPECT_EQ(x.m_dSpeed, 0.0);
    EXPECT_EQ(x.m_bAuto, 0u);
}
