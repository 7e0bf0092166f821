// Comparison and assignment operators at every width, and the motion arithmetic.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "flow/MotionMath.h"
#include "flow/Operators.h"
#include "records/EdSettings.h"

TEST(CompareOp, EveryOperatorAtEveryWidth) {
    struct Row {
        int width; // 8, 16, 32: the tested field's width
        i32 left, right, op;
        bool expected;
    };
    const Row rows[] = {
        {32, 5, 5, 0, true},   {32, 5, 6, 0, false},  {32, 5, 6, 1, true},   {32, 5, 5, 1, false},
        {32, 5, 5, 2, true},   {32, 4, 5, 2, false},  {32, 5, 5, 3, true},   {32, 6, 5, 3, false},
        {32, 6, 5, 4, true},   {32, 5, 5, 4, false},  {32, 4, 5, 5, true},   {32, 5, 5, 5, false},
        // divisibility uses |left|; right 0 is divisible, never "not divisible"
        {32, -9, 3, 6, true},  {32, 10, 3, 6, false}, {32, 7, 0, 6, true},   {32, -10, 3, 7, true},
        {32, 9, -3, 7, false}, {32, 7, 0, 7, false},  {32, INT_MIN, -1, 6, true},
        {32, 5, 5, 8, false},  {32, 5, 5, -1, false},
        // the right-hand value is not narrowed to the field: 356 would wrap to 100 in 8 bits
        {8, 100, 356, 0, false}, {8, 100, 356, 5, true}, {8, -1, 255, 1, true},
        {16, 1000, 66536, 0, false}, {16, -32768, 32768, 3, true}, {16, 7, 7, 2, true},
    };
    for (const Row& r : rows) {
        bool got = r.width == 8    ? CompareOp(static_cast<i8>(r.left), r.right, r.op)
                   : r.width == 16 ? CompareOp(static_cast<i16>(r.left), r.right, r.op)
                                   : CompareOp32(r.left, r.right, r.op);
        EXPECT_EQ(got, r.expected) << r.width << ": " << r.left << " op" << r.op << " " << r.right;
    }
}

TEST(CalcOp, ComputesWideAndClampsAtEveryWidth) {
    struct Row {
        int width;
        i32 value, operand, op, lo, hi;
        i32 expected;
    };
    const Row rows[] = {
        {32, 5, 9, 0, -999999, 999999, 9},
        {32, 999990, 20, 1, -999999, 999999, 999999},
        {32, -999990, 20, 2, -999999, 999999, -999999},
        // products past the range, of either sign, are pinned and never wrap
        {32, 999999, 999999, 3, -999999, 999999, 999999},
        {32, -999999, 999999, 3, -999999, 999999, -999999},
        {32, INT_MAX, INT_MAX, 3, INT_MIN, INT_MAX, INT_MAX},
        {32, INT_MIN, -1, 3, INT_MIN, INT_MAX, INT_MAX},
        {32, 65536, 65536, 3, INT_MIN, INT_MAX, INT_MAX}, // wraps to 0 in 32 bits
        // division and remainder by zero leave the value; INT_MIN / -1 does not trap
        {32, 17, 0, 4, -999999, 999999, 17},
        {32, 17, 0, 5, -999999, 999999, 17},
        {32, -17, 5, 4, -999999, 999999, -3},
        {32, -17, 5, 5, -999999, 999999, -2},
        {32, INT_MIN, -1, 4, INT_MIN, INT_MAX, INT_MAX},
        {32, INT_MIN, -1, 5, INT_MIN, INT_MAX, 0},
        // percentages round half away from zero
        {32, 5, 50, 6, -999999, 999999, 3},
        {32, -5, 50, 6, -999999, 999999, -3},
        {32, 3, 50, 6, -999999, 999999, 2},
        {32, 7, 10, 6, -999999, 999999, 1},
        {32, 999999, 999999, 6, -999999, 999999, 999999},
        {32, INT_MAX, INT_MAX, 6, INT_MIN, INT_MAX, INT_MAX},
        // an unknown operator only clamps
        {32, 2000000, 1, 7, -999999, 999999, 999999},
        // narrow twins: the sum is taken before the field's width
        {8, 100, 100, 1, -20, 20, 20},
        {8, 100, 100, 1, -1000, 1000, 127},
        {8, -100, 100, 2, INT_MIN, INT_MAX, -128},
        {8, 12, 0, 4, 0, 20, 12},
        {16, 200, 200, 3, 0, 200, 200},
        {16, 30000, 30000, 1, INT_MIN, INT_MAX, 32767},
        {16, 119, -3, 5, 0, 119, 2},
    };
    for (const Row& r : rows) {
        auto calc = [&](auto v) {
            CalcOp(v, r.operand, r.op, r.lo, r.hi);
            return static_cast<i32>(v);
        };
        const i32 got = r.width == 8 ? calc(static_cast<i8>(r.value)) : r.width == 16 ? calc(static_cast<i16>(r.value)) : calc(r.value);
        EXPECT_EQ(got, r.expected) << r.width << ": " << r.value << " op" << r.op << " " << r.operand;
    }
}

TEST(MotionMath, JumpsStayFinite) {
    // h = 32 px, g = 0.5: (-0.5 - sqrt(256.5 * 0.5)) / 2
    EXPECT_DOUBLE_EQ(JumpSpeed(32, 0.5), (-0.5 - std::sqrt(128.25)) / 2);
    EXPECT_DOUBLE_EQ(JumpSpeedHbl(2, 0.5, true, 2), JumpSpeed(32, 0.5) * (0.99 - 0.05));
    EXPECT_DOUBLE_EQ(JumpSpeedHbl(2, 0.5, false, 2), JumpSpeed(32, 0.5));
    // negative heights and gravities make the root imaginary: solved as 0, never NaN
    EXPECT_DOUBLE_EQ(JumpSpeed(-10, 0.5), -0.25);
    EXPECT_DOUBLE_EQ(JumpSpeed(10, 0), 0);
    EXPECT_FALSE(std::isnan(JumpSpeed(10, -1)));
    EXPECT_EQ(JumpFrames(-4.25, 0.5, 1), 9); // trunc(1 + 8.5)
    EXPECT_EQ(JumpFrames(-4.25, 0, 2), 2);   // no gravity
    EXPECT_EQ(JumpFrames(-1e10, 1e-5, 1), INT_MAX);
    EXPECT_EQ(JumpFrames(-1e300, 1e-300, 3), 3); // no finite count
    EXPECT_EQ(JumpTenths(2, 0.5, false, 0, 1, 1), JumpFrames(JumpSpeedHbl(2, 0.5, false, 0), 0.5, 1) / 6 + 1);
    EXPECT_EQ(JumpTenths(2, 0.5, false, 0, 1, 0), JumpTenths(2, 0.5, false, 0, 1, 1));
    EXPECT_EQ(HblToDots(-3), -48);
    EXPECT_DOUBLE_EQ(BrakingValue(50, 4), 0.125);
    EXPECT_DOUBLE_EQ(BrakingValue(50, 0), 0.5);
    // knock-back decays by 1/u and snaps to 0
    EXPECT_EQ(DecayKnockBack(0.25, 1), 0);
    EXPECT_DOUBLE_EQ(DecayKnockBack(3, 2), 2.5);
    EXPECT_DOUBLE_EQ(DecayKnockBack(-3, 2), -2.5);
    EXPECT_EQ(DecayKnockBack(-0.4, 2), 0);
}

TEST(MotionMath, MoveSolverGuardsZeroDurationAndSpeed) {
    struct Row {
        i64 selector, dist, distStep, unit;
        i32 level;
        bool keepNegative;
        double speedIn;
        i32 durationIn;
        double speed;
        i32 duration;
    };
    const Row rows[] = {
        {1, 10, 0, 1, 0, false, 0, 4, 2.5, 4},           // dots
        {1, 10, 2, 0, 3, false, 0, 8, 32.0, 8},          // (10 + 2 x 3) hbl = 256 dots
        {1, 10, 0, 1, 0, false, 7, 0, 10.0, 0},          // duration 0: the whole way in one step
        {2, 10, 0, 1, 0, false, 3, 99, 3, 3},            // 10 / 3 truncated
        {2, -10, 0, 1, 0, false, 3, 99, 3, 3},           // negative made positive
        {2, -10, 0, 1, 0, true, 3, 99, 3, -3},           // unless the compatibility switch
        {2, 10, 0, 1, 0, false, 0, 99, 0, 99},           // speed 0: duration kept
        {2, 30000, 0, 0, 0, false, 1e-300, 99, 1e-300, INT_MAX},
        {2, 10, 0, 1, 0, false, NAN, 99, NAN, 99},
        {0, 10, 0, 1, 0, false, 5, 6, 5, 6},
    };
    for (const Row& r : rows) {
        cEdMove move;
        MoveSettings::Set(move, eMove::ComputedValue, r.selector);
        MoveSettings::Set(move, eMove::Distance, r.dist);
        MoveSettings::Set(move, eMove::DistanceStep, r.distStep);
        MoveSettings::Set(move, eMove::DistanceUnit, r.unit);
        double speed = r.speedIn;
        i32 duration = r.durationIn;
        SolveMoveTimeSpeedDist(move, r.level, r.keepNegative, speed, duration);
        if (std::isnan(r.speed))
            EXPECT_TRUE(std::isnan(speed));
        else
            EXPECT_DOUBLE_EQ(speed, r.speed) << r.selector << " " << r.dist;
        EXPECT_EQ(duration, r.duration) << r.selector << " " << r.dist;
    }
}
