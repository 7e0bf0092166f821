#pragma once
// What the two ways of the blur share (BlurEffect.cpp: any window, row by row; BlurBlocks.cpp:
// small windows in blocks of eight pixels).
#include <cstddef>

#include "platform/graphics/PixelEffectWalk.h"

namespace pixel_effects {

// What the passes of one blur share: the rectangle's part inside the source (W x H from
// column i0 and row j0 of the rectangle at sx, sy) and its target (x, y), the window radii,
// the key test on the values read (km, kv) and on the stored pixels (skm, skv), and the
// sizes of the buffers: a row's planar window sums take n entries (blue, green, red, alpha
// and the count, W each), and the column sums slide over a ring of the last 2 * ry + 1
// rows' sums. Narrow windows sum in 16-bit entries, wide ones in 32-bit.
struct BlurJob {
    const Locked* lk;
    i32 x, y, sx, sy;
    i64 i0, j0;
    i32 W, H, rx, ry, ring;
    std::size_t n;
    bool sixteen, narrow;
    u32 km, kv, skm, skv;
    // The source pixel of the rectangle's row j at column i0.
    const u32* Src(i32 j) const { return lk->src.lpPixels + (sy + j0 + j) * lk->src.nPitch + sx + i0; }
};

// Draws the blur in blocks when the window allows it; false if not (nothing drawn).
bool BlurInBlocks(const BlurJob& j);

} // namespace pixel_effects
