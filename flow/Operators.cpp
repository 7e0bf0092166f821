#include "flow/Operators.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// The operator applied in 64 bits: no step can overflow for i32 inputs.
i64 ApplyWide(i32 value, i32 operand, i32 op) {
    const i64 x = value, v = operand;
    switch (op) {
    case CALC_SET: return v;
    case CALC_ADD: return x + v;
    case CALC_SUB: return x - v;
    case CALC_MUL: return x * v;
    case CALC_DIV: return v == 0 ? x : x / v;
    case CALC_MOD: return v == 0 ? x : x % v;
    case CALC_PERCENT: return PercentOf(value, operand);
    default: return x;
    }
}

template <class T>
void CalcOpT(T& value, i32 operand, i32 op, i32 minimum, i32 maximum) {
    i64 v = ApplyWide(value, operand, op);
    if (v < minimum) v = minimum;
    if (v > maximum) v = maximum;
    v = std::clamp<i64>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
    value = static_cast<T>(v);
}

} // namespace

// The narrow fields are widened, never the right-hand value narrowed.
bool CompareOp32(i32 left, i32 right, i32 op) { return TestCompareOp(static_cast<unsigned>(op), left, right); }
bool CompareOp(i8 left, i32 right, i32 op) { return TestCompareOp(static_cast<unsigned>(op), left, right); }
bool CompareOp(i16 left, i32 right, i32 op) { return TestCompareOp(static_cast<unsigned>(op), left, right); }

void CalcOp(i32& value, i32 operand, i32 op, i32 minimum, i32 maximum) {
    CalcOpT(value, operand, op, minimum, maximum);
}
void CalcOp(i16& value, i32 operand, i32 op, i32 minimum, i32 maximum) {
    CalcOpT(value, operand, op, minimum, maximum);
}
void CalcOp(i8& value, i32 operand, i32 op, i32 minimum, i32 maximum) {
    CalcOpT(value, operand, op, minimum, maximum);
}

i64 PercentOf(i32 x, i32 percent) {
    const i64 p = static_cast<i64>(x) * percent;
    return (p >= 0 ? p + 50 : p - 50) / 100;
}

i32 SaturateI32(i64 v) {
    return static_cast<i32>(std::clamp<i64>(v, INT32_MIN, INT32_MAX));
}
