#pragma once
// The pure arithmetic of character motion that the flow engine's routines and commands share:
// jump speed and duration, unit conversions, knock-back decay and the solver of a movement's
// speed or duration from its distance. Positions and speeds are stage pixels per motion step;
// g is the stage gravity (added to speed y every step), u the stage's speed subdivision.
#include "platform/system/Types.h"

class cEdMove;

// Initial vertical speed (negative = up) that rises h pixels under gravity g:
// (-g - sqrt((8h + g) g)) / 2. A height or gravity that makes the root imaginary (h < -g/8,
// g < 0) solves as a root of 0.
double JumpSpeed(double h, double g);
// JumpSpeed of a height in half blocks. The player's jump is scaled by 0.99 - 0.025 s (s the
// stage's speed factor); a stage character's is not.
double JumpSpeedHbl(i8 heightHbl, double g, bool player, double s);
// Steps a jump of that speed takes: trunc(u - speed / g). Without gravity a jump never turns,
// and the count is trunc(u); a count beyond the i32 range is clamped.
i32 JumpFrames(double speed, double g, double u);
// A jump's time in tenths of a second: (JumpFrames / unit) / 6 + 1, integer divisions
// (unitInt the integer speed subdivision, taken as 1 when below 1).
i32 JumpTenths(i8 heightHbl, double g, bool player, double s, double u, i32 unitInt);

// Half blocks to dots.
inline i32 HblToDots(i8 v) { return static_cast<i32>(v) * 16; }
// A stopping ease (per mille) as a braking value: v * 0.01 / divisor. A divisor of 0 (or not a
// finite number), which only a damaged stage holds, is taken as 1.
double BrakingValue(i16 v, double divisor);
// One step of knock-back decay: toward 0 by 1 / u, snapping to 0 instead of passing it.
double DecayKnockBack(double k, double u);

// Knock-back speeds (a, b) for a strength s along a direction (dx, dy) at speed unit u: each
// component c = s d / (|dx| + |dy|) becomes (sqrt(1 + 128 u c) - 1) / (2 u), mirrored for c < 0.
// No direction gives no speed.
void SplitAccelSpeed(double& a, double& b, double s, double dx, double dy, double u);

// The computed value of a movement command. The distance is the movement's base distance plus
// its per-level increase times level, in dots (half blocks x 16 unless the unit is dots).
// Selector 1 derives the speed (distance / duration), 2 the duration (distance / speed,
// truncated, made positive unless keepNegative); other selectors change nothing.
// A duration of 0 moves the whole distance in the one step such a command runs; a speed of 0
// (or one that gives no finite duration) leaves the duration as it was. Durations beyond the
// i32 range are clamped.
void SolveMoveTimeSpeedDist(const cEdMove& move, i32 level, bool keepNegative, double& speed,
                            i32& duration);
