// The column and row maps of the scaled blits and the gather of a row's texels through them.
#include "platform/graphics/RasterScaled.h"

#include <cstring>

namespace pixel_loops {

void MapSpan(int first, int last, int s0, int sLen, int dLen, int srcLimit, std::vector<int>* out) {
    out->resize(static_cast<std::size_t>(last - first));
    const __int128 twoD = 2 * static_cast<__int128>(dLen);
    for (int c = first; c < last; ++c) {
        const __int128 num = (2 * static_cast<__int128>(c) + 1) * sLen;
        __int128 q = num / twoD;
        if ((num % twoD) != 0 && ((num < 0) != (twoD < 0))) --q; // floor
        const __int128 u = s0 + q;
        (*out)[static_cast<std::size_t>(c - first)] = (u >= 0 && u < srcLimit) ? static_cast<int>(u) : -1;
    }
}

PIXEL_LOOP_CLONES void GatherMapped(u32* __restrict t, const u32* __restrict s, const int* __restrict c, int n, int limit) {
    typedef u32 V __attribute__((vector_size(32)));
    typedef i32 VI __attribute__((vector_size(32)));
    constexpr int kLanes = 8;
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        const int lo = c[i];
        // The columns never turn back, so the first and the last bound the eight.
        if (static_cast<u32>(c[i + kLanes - 1] - lo) < kLanes && lo <= limit - kLanes) {
            VI at;
            V near;
            std::memcpy(&at, c + i, sizeof at);
            std::memcpy(&near, s + lo, sizeof near);
            V out;
            PermuteLanes(near, (V)(at - lo), out);
            std::memcpy(t + i, &out, sizeof out);
        } else {
            for (int k = i; k < i + kLanes; ++k) t[k] = s[c[k]];
        }
    }
    for (; i < n; ++i) t[i] = s[c[i]];
}

} // namespace pixel_loops
