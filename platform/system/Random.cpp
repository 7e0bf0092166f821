#include "platform/system/Random.h"

namespace {
thread_local u32 t_state = 1;
}

void CrtSrand(u32 seed) { t_state = seed; }

int CrtRand() {
    t_state = t_state * 214013u + 2531011u;
    return static_cast<int>((t_state >> 16) & 0x7FFF);
}

namespace {
i32 Range(int r, i32 a, i32 b) {
    const i64 lo = a < b ? a : b;
    const i64 hi = a < b ? b : a;
    const i64 span = hi - lo + 1;
    return static_cast<i32>(lo + r % span);
}
} // namespace

i32 RandRange(cCrtRandom& gen, i32 a, i32 b) { return Range(gen.Next(), a, b); }

i32 RandRange(i32 a, i32 b) { return Range(CrtRand(), a, b); }
