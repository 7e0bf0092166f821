#pragma once
// The snap to the 16-bit grid in 16-bit lanes, shared by the grid's rows (PixelGrid.cpp) and the
// combined spans that snap as they draw (RasterCombiner.cpp).
#include "platform/graphics/PixelLanes.h"

namespace pixel_loops {

// GridMathSnap in 16-bit lanes, eight pixels at a time: blue and red in the halves of one
// vector, green and alpha in those of another. A lane's channel value is (c * max + 127) / 255
// (the sum stays below 65,535, where (v + 1 + (v >> 8)) >> 8 divides by 255 exactly), and the
// stored byte floor(raw * 255 / max) is floor(raw * k / 2^15) with k = ceil(255 * 2^15 / max):
// k's excess adds less than raw / 2^15 <= max / 2^15, under the 1 / max that separates the
// quotient from the next integer while max * max < 2^15 (exactly nothing for max 255). The
// product, up to 24 bits, is made from k's two bytes: raw * (k >> 8) plus (raw * (k & 255)) >> 8,
// shifted by 7, every step within 16 bits. A format with a lane of max 182..254 has none of
// this and takes the 32-bit lanes.
// Grids whose every lane has a k' = ceil(255 * 2^s / max) for one s with raw * k' within 16 bits
// and (raw * k') >> s exact for every raw (checked; 5-5-5 with 1 or no alpha bits and 4-4-4-4 do,
// 5-6-5 does not) need only the one product: the combined quads take those (one).
typedef i32 SnapI __attribute__((vector_size(32)));
struct SnapLanes {
    SpanW maxBR, maxGA, hiBR, hiGA, loBR, loGA;
    bool one = false;
    int oneShift = 0;
    SpanW oneBR, oneGA;
};
[[gnu::always_inline]] inline void SnapOneW(SpanW& c, const SpanW& max, const SpanW& one, int shift) {
    const SpanW v = c * max + 127;
    const SpanW raw = (v + 1 + (v >> 8)) >> 8;
    c = (raw * one) >> shift;
}
// The lanes of the running grid, made once for it; nullptr where the 32-bit lanes are needed.
const SnapLanes* SnapLanesNow();

} // namespace pixel_loops
