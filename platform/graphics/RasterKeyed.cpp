// The keyed rows of 1:1 blits: DirectDraw's colour key under a mask, and the keyed copy on alpha.
#include "platform/graphics/RasterRows.h"

#include "platform/graphics/PixelLanes.h"

using namespace pixel_loops;

namespace {

// A keyed row pixel by pixel (the compiler vectorises it for the baseline processor).
inline void KeyRow(u32* d, const u32* s, int n, u32 key, u32 mask) {
    for (int i = 0; i < n; ++i) {
        const u32 v = s[i];
        const u32 m = 0u - static_cast<u32>((v & mask) != key);
        d[i] = (v & m) | (d[i] & ~m);
    }
}
#ifdef PIXEL_LOOP_AVX2
// A block of eight keyed texels over the target: the target where a texel is the key under
// the mask, else the texel. The choice is made with xor and and-not rather than a variable
// blend, which Intel's recent cores split into three micro-ops: a third fewer cycles a block.
[[gnu::always_inline]] inline void KeyBlock(u32* d, const u32* s, const SpanV& key, const SpanV& mask) {
    SpanV t, o;
    LoadV(t, s);
    LoadV(o, d);
    const SpanV keyed = (SpanV)((t & mask) == key);
    StoreV(d, o ^ ((t ^ o) & ~keyed));
}
// Rows of a width known at compile time (tiles and sprites are a few blocks wide): no loop
// inside a row, whose exit and set-up cost as much as the blocks of a 32-pixel row.
template <int kBlocks>
[[gnu::always_inline]] inline void KeyRowsOf(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int rows,
                                             const SpanV& key, const SpanV& mask) {
    for (int r = 0; r < rows; ++r, d += dp, s += sp)
        for (int k = 0; k < kBlocks; ++k) KeyBlock(d + k * kLanes, s + k * kLanes, key, mask);
}
PIXEL_LOOP_AVX2 void KeyRowsInBlocks(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows, u32 key,
                                     u32 mask) {
    const SpanV zero = {}, keyV = zero + key, maskV = zero + mask;
    switch (n) {
    case 8: KeyRowsOf<1>(d, dp, s, sp, rows, keyV, maskV); return;
    case 16: KeyRowsOf<2>(d, dp, s, sp, rows, keyV, maskV); return;
    case 24: KeyRowsOf<3>(d, dp, s, sp, rows, keyV, maskV); return;
    case 32: KeyRowsOf<4>(d, dp, s, sp, rows, keyV, maskV); return;
    case 48: KeyRowsOf<6>(d, dp, s, sp, rows, keyV, maskV); return;
    case 64: KeyRowsOf<8>(d, dp, s, sp, rows, keyV, maskV); return;
    default: break;
    }
    for (int r = 0; r < rows; ++r, d += dp, s += sp) {
        int i = 0;
        for (; i + kLanes <= n; i += kLanes) KeyBlock(d + i, s + i, keyV, maskV);
        KeyRow(d + i, s + i, n - i, key, mask);
    }
}
#endif

} // namespace

namespace pixel_loops {

// Rectangles of the 1:1 blits, `rows` rows of n pixels with each surface's own pitch, written
// without branches on the pixel values: sprites and key colours alternate too often for
// prediction. A whole rectangle goes in one call, so that a sprite's rows do not each pay for
// a call and the loop's set-up.
void KeyRows(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows, u32 key, u32 mask) {
#ifdef PIXEL_LOOP_AVX2
    if (Avx2Here()) {
        KeyRowsInBlocks(d, dp, s, sp, n, rows, key, mask);
        return;
    }
#endif
    for (int r = 0; r < rows; ++r, d += dp, s += sp) KeyRow(d, s, n, key, mask);
}
PIXEL_LOOP_CLONES void AlphaKeyRows(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows) {
    for (int r = 0; r < rows; ++r, d += dp, s += sp) AlphaKeyRow(d, s, n);
}

} // namespace pixel_loops
