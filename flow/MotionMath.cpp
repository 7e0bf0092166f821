#include "flow/MotionMath.h"

#include <climits>
#include <cmath>

#include "records/EdSettings.h"

namespace {

// As Trunc32: a number that is not finite counts as 0.
i32 TruncToI32(double v) {
    if (!std::isfinite(v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<i32>(v);
}

} // namespace

double JumpSpeed(double h, double g) {
    double root = (8 * h + g) * g;
    if (!(root > 0)) root = 0;
    return (-g - std::sqrt(root)) / 2;
}

double JumpSpeedHbl(i8 heightHbl, double g, bool player, double s) {
    const double speed = JumpSpeed(HblToDots(heightHbl), g);
    return player ? speed * (0.99 - 0.025 * s) : speed;
}

i32 JumpFrames(double speed, double g, double u) {
    if (g == 0 || !std::isfinite(speed / g)) return TruncToI32(u);
    return TruncToI32(u - speed / g);
}

i32 JumpTenths(i8 heightHbl, double g, bool player, double s, double u, i32 unitInt) {
    const i32 unit = unitInt < 1 ? 1 : unitInt;
    const i32 frames = JumpFrames(JumpSpeedHbl(heightHbl, g, player, s), g, u);
    return frames / unit / 6 + 1;
}

double BrakingValue(i16 v, double divisor) {
    if (divisor == 0 || !std::isfinite(divisor)) divisor = 1;
    return v * 0.01 / divisor;
}

double DecayKnockBack(double k, double u) {
    const double step = u > 0 ? 1 / u : 0;
    if (k > 0) {
        k -= step;
        return k < 0 || step == 0 ? 0 : k;
    }
    if (k < 0) {
        k += step;
        return k > 0 || step == 0 ? 0 : k;
    }
    return k;
}

void SplitAccelSpeed(double& a, double& b, double s, double dx, double dy, double u) {
    a = b = 0;
    const double sum = std::fabs(dx) + std::fabs(dy);
    if (!(sum > 0) || !std::isfinite(sum)) return;
    if (!(u > 0)) u = 1;
    auto speed = [&](double d) {
        const double c = s * d / sum;
        if (c > 0) return (std::sqrt(1 + 128 * u * c) - 1) / (2 * u);
        if (c < 0) return -(std::sqrt(1 - 128 * u * c) - 1) / (2 * u);
        return 0.0;
    };
    a = speed(dx);
    b = speed(dy);
}

void SolveMoveTimeSpeedDist(const cEdMove& move, i32 level, bool keepNegative, double& speed,
                            i32& duration) {
    i64 dist = MoveSettings::Get(move, eMove::Distance);
    const i64 step = MoveSettings::Get(move, eMove::DistanceStep);
    if (step != 0) dist += step * level;
    if (MoveSettings::Get(move, eMove::DistanceUnit) != 1) dist *= 16;
    const double distance = static_cast<double>(dist);
    switch (MoveSettings::Get(move, eMove::ComputedValue)) {
    case 1:
        speed = duration == 0 ? distance : distance / duration;
        break;
    case 2: {
        const double q = distance / speed;
        if (speed == 0 || !std::isfinite(q)) break;
        i32 d = TruncToI32(q);
        if (d < 0 && !keepNegative) d = d == INT_MIN ? INT_MAX : -d;
        duration = d;
        break;
    }
    default: break;
    }
}
