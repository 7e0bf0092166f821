#pragma once
// The comparison operators of conditions (COMPAREOP) and the assignment operators of status and
// variable operations (CALCOP), with the rounding that every percentage of the flow engine uses.
//
// Both work at full width: a comparison never narrows its right-hand value to the tested field's
// width, and an assignment computes in 64 bits and clamps to the caller's range, so that no
// operator ever wraps.
#include "database/Labels.h"
#include "platform/system/Types.h"

// COMPAREOP: the comparison operators (eCompareOp, shared with the world map's entry tests).
using COMPAREOP = eCompareOp;

enum CALCOP : i32 {
    CALC_SET = 0,
    CALC_ADD = 1,
    CALC_SUB = 2,
    CALC_MUL = 3,
    CALC_DIV = 4,     // an operand of 0 leaves the value
    CALC_MOD = 5,     // an operand of 0 leaves the value
    CALC_PERCENT = 6, // value x operand / 100, rounded half away from zero
};

// left `op` right; an operator outside COMPAREOP is false. The three widths are the tested
// field's; the right-hand value is always compared as given.
bool CompareOp32(i32 left, i32 right, i32 op);
bool CompareOp(i8 left, i32 right, i32 op);
bool CompareOp(i16 left, i32 right, i32 op);

// Applies `op` with `operand` to value, then clamps it to [minimum, maximum] (and to the
// value's own width). An operator outside CALCOP changes nothing but the clamp.
void CalcOp(i32& value, i32 operand, i32 op, i32 minimum, i32 maximum);
void CalcOp(i16& value, i32 operand, i32 op, i32 minimum, i32 maximum);
void CalcOp(i8& value, i32 operand, i32 op, i32 minimum, i32 maximum);

// x * percent / 100 rounded half away from zero, exact for every pair of i32 values.
i64 PercentOf(i32 x, i32 percent);
// The nearest i32 to v.
i32 SaturateI32(i64 v);
