// Fills of a rectangle, plain or blended, and the transparent-colour clear under a quad.
#include "platform/graphics/Raster.h"

#include <algorithm>

#include "platform/graphics/PixelLanes.h"

using namespace pixel_loops;

namespace {
PIXEL_LOOP_CLONES bool RowOpaque(const u32* s, int n) {
    u32 all = 0xFF000000u;
    for (int i = 0; i < n; ++i) all &= s[i];
    return all == 0xFF000000u;
}
} // namespace

void RasterPreClear(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, int sw, int sh,
                    u32 value, u32 diffuse, u32 alphaOp) {
    // An opaque texel stays opaque through the combiner only when it keeps the texel's alpha.
    const bool keepsAlpha = alphaOp == D3DTOP_SELECTARG1 || (alphaOp == D3DTOP_MODULATE && (diffuse >> 24) == 255);
    if (!keepsAlpha || sw != w || sh != h || sx < 0 || static_cast<i64>(sx) + w > src.width) {
        RasterFill(dst, x, y, w, h, value, false);
        return;
    }
    const int y0 = std::max(0, y);
    const i64 y1 = std::min<i64>(dst.height, static_cast<i64>(y) + h);
    for (i64 r = y0; r < y1; ++r) {
        const i64 v = sy + (r - y);
        if (v >= 0 && v < src.height && RowOpaque(src.Row(static_cast<int>(v)) + sx, w)) continue;
        RasterFill(dst, x, static_cast<int>(r), w, 1, value, false);
    }
}

namespace {
// A row under one colour blended over it (BlendPixel), eight pixels at a time.
PIXEL_LOOP_CLONES void BlendFillRow(u32* d, int n, u32 value) {
    SpanV t = {};
    t += value;
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        SpanV o;
        LoadV(o, d + i);
        BlendBlock(t, o);
        StoreV(d + i, o);
    }
    for (; i < n; ++i) BlendLanes(value, d[i]);
}

// A row of one value. A long row goes through the processor's string store, which on current
// x86 processors writes whole cache lines without reading them first: the full-frame fill under
// the play screen moves about half the memory of vector stores. The same pixels either way.
void FillRow(u32* d, std::size_t n, u32 value) {
#if defined(__x86_64__)
    if (n >= 256) {
        asm volatile("rep stosl" : "+D"(d), "+c"(n) : "a"(value) : "memory");
        return;
    }
#endif
    std::fill(d, d + n, value);
}
} // namespace

void RasterFill(PixelStore& dst, int x, int y, int w, int h, u32 value, bool blend) {
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const i64 x1 = std::min<i64>(dst.width, static_cast<i64>(x) + w);
    const i64 y1 = std::min<i64>(dst.height, static_cast<i64>(y) + h);
    if (x0 >= x1 || y0 >= y1) return;
    if (blend && (value >> 24) == 0) return;
    const bool opaque = !blend || (value >> 24) == 255;
    for (int r = y0; r < y1; ++r) {
        u32* d = dst.Row(r);
        if (opaque) {
            FillRow(d + x0, static_cast<std::size_t>(x1 - x0), value);
            continue;
        }
        // Each row snapped while it is still in the cache: the same pixels as a pass after.
        BlendFillRow(d + x0, static_cast<int>(x1 - x0), value);
        if (g_Grid.on) GridSnapRow(d + x0, static_cast<int>(x1 - x0));
    }
}
