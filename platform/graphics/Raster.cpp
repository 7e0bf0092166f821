// The blit of a rectangle or quad: the way each kind of op and scale takes to its rows, and the
// pixel-by-pixel rules beside them.
#include "platform/graphics/Raster.h"

#include <algorithm>
#include <cstring>

#include "platform/graphics/RasterCombiner.h"
#include "platform/graphics/RasterRows.h"
#include "platform/graphics/RasterScaled.h"

using namespace pixel_loops;

namespace {

inline void SpanKey(u32* d, const u32* s, int n, u32 key, u32 mask) { KeyRows(d, 0, s, 0, n, 1, key, mask); }
inline void SpanAlphaKey(u32* d, const u32* s, int n) { AlphaKeyRows(d, 0, s, 0, n, 1); }

// Spans narrower than this are drawn pixel by pixel.
constexpr int kNarrow = 4;

// The part of a 1:1 blit inside both surfaces; false when nothing is.
struct Span1 {
    int c0, c1, r0, r1;
};
bool Clip1(const PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, Span1* o) {
    const i64 X = x, Y = y, SX = sx, SY = sy;
    const i64 c0 = std::max({i64(0), -X, -SX}), c1 = std::min({i64(w), dst.width - X, src.width - SX});
    const i64 r0 = std::max({i64(0), -Y, -SY}), r1 = std::min({i64(h), dst.height - Y, src.height - SY});
    if (c0 >= c1 || r0 >= r1) return false;
    *o = Span1{static_cast<int>(c0), static_cast<int>(c1), static_cast<int>(r0), static_cast<int>(r1)};
    return true;
}

// The rows of a 1:1 blit inside both surfaces. Spans of a column or two (a wave drawn by
// columns) go pixel by pixel, pixel(d, s), which costs less than a call; wider ones go as one
// rectangle through rows(d, dst pitch, s, src pitch, n, rows).
template <class Pixel, class RowsFn>
void Rows1(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, Pixel pixel, RowsFn rows) {
    Span1 sp;
    if (!Clip1(dst, x, y, w, h, src, sx, sy, &sp)) return;
    const int n = sp.c1 - sp.c0;
    u32* d = dst.Row(y + sp.r0) + (x + sp.c0);
    const u32* t = src.Row(sy + sp.r0) + (sx + sp.c0);
    if (n >= kNarrow) {
        rows(d, dst.width, t, src.width, n, sp.r1 - sp.r0);
        return;
    }
    for (int r = sp.r0; r < sp.r1; ++r, d += dst.width, t += src.width)
        for (int i = 0; i < n; ++i) pixel(d[i], t[i]);
}
} // namespace

void RasterBlit(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, int sw, int sh,
                const RasterOp& op, cTexelLooks* looks, const cTexelBlocks* blocks) {
    switch (op.kind) {
    case RasterKind::Copy:
        if (sw == w && sh == h) {
            // Row copies: the common case of backgrounds and work surfaces.
            const i64 X = x, Y = y, SX = sx, SY = sy;
            const i64 c0 = std::max({i64(0), -X, -SX}), c1 = std::min({i64(w), dst.width - X, src.width - SX});
            const i64 r0 = std::max({i64(0), -Y, -SY}), r1 = std::min({i64(h), dst.height - Y, src.height - SY});
            if (c0 >= c1) return;
            for (i64 r = r0; r < r1; ++r)
                std::memmove(dst.Row(static_cast<int>(Y + r)) + X + c0, src.Row(static_cast<int>(SY + r)) + SX + c0,
                             static_cast<std::size_t>(c1 - c0) * sizeof(u32));
            return;
        }
        WalkSpans(dst, x, y, w, h, src, sx, sy, sw, sh,
                  [](u32* d, const u32* s, int n) { std::memcpy(d, s, static_cast<std::size_t>(n) * sizeof(u32)); });
        return;
    case RasterKind::DDKey: {
        const u32 key = op.key & op.keyMask, mask = op.keyMask;
        if (sw == w && sh == h) {
            Rows1(dst, x, y, w, h, src, sx, sy, [key, mask](u32& d, u32 t) { if ((t & mask) != key) d = t; },
                  [key, mask](u32* d, std::ptrdiff_t dp, const u32* t, std::ptrdiff_t tp, int n, int rows) {
                      KeyRows(d, dp, t, tp, n, rows, key, mask);
                  });
            return;
        }
        WalkSpans(dst, x, y, w, h, src, sx, sy, sw, sh,
                  [key, mask](u32* d, const u32* s, int n) { SpanKey(d, s, n, key, mask); });
        return;
    }
    case RasterKind::AlphaKey:
        if (sw == w && sh == h) {
            Rows1(dst, x, y, w, h, src, sx, sy, [](u32& d, u32 t) { if (t >> 24) d = t; }, AlphaKeyRows);
            return;
        }
        WalkSpans(dst, x, y, w, h, src, sx, sy, sw, sh, [](u32* d, const u32* s, int n) { SpanAlphaKey(d, s, n); });
        return;
    case RasterKind::Gpu: {
        const bool identity = Identity(op);
        if (identity && sw == w && sh == h) {
            Span1 sp;
            if (blocks && blocks->Width() == src.width && blocks->Height() == src.height) {
                if (!Clip1(dst, x, y, w, h, src, sx, sy, &sp)) return;
                const int c0 = sx + sp.c0, y0 = sy + sp.r0;
                BlendBlocks(dst.Row(y + sp.r0) + (x + sp.c0), dst.width, *blocks, y0, sy + sp.r1, c0, sx + sp.c1);
                return;
            }
            if (looks && Clip1(dst, x, y, w, h, src, sx, sy, &sp) && sp.c1 - sp.c0 >= kNarrow) {
                const int n = sp.c1 - sp.c0, rows = sp.r1 - sp.r0;
                u32* d = dst.Row(y + sp.r0) + (x + sp.c0);
                const u32* t = src.Row(sy + sp.r0) + (sx + sp.c0);
                u8 look = 0;
                switch (looks->Look(src, sx + sp.c0, sy + sp.r0, n, rows, &look)) {
                case cTexelLooks::kKept: BlendRowsLooked(d, dst.width, t, src.width, n, rows, look); return;
                case cTexelLooks::kToKeep: looks->Keep(BlendRows(d, dst.width, t, src.width, n, rows)); return;
                case cTexelLooks::kNotKept: break;
                }
            }
            Rows1(dst, x, y, w, h, src, sx, sy, [](u32& d, u32 t) { d = BlendPixel(t, d); }, BlendRowsAny);
            return;
        }
        // An opaque copy leaves the target on its grid, as the identity does (see below).
        const bool opaque = OpaqueCopy(op);
        if (sw == w && sh == h) {
            Span1 sp;
            if (!Clip1(dst, x, y, w, h, src, sx, sy, &sp)) return;
            // Each combined row snapped while it is still in the cache.
            const bool snap = !opaque && g_Grid.on;
            for (int r = sp.r0; r < sp.r1; ++r) {
                u32* d = dst.Row(y + r) + (x + sp.c0);
                if (snap) RasterGpuSpanSnapped(d, src.Row(sy + r) + (sx + sp.c0), sp.c1 - sp.c0, op);
                else RasterGpuSpan(d, src.Row(sy + r) + (sx + sp.c0), sp.c1 - sp.c0, op);
            }
            return;
        }
        if (identity) {
            WalkSpans(dst, x, y, w, h, src, sx, sy, sw, sh, [](u32* d, const u32* s, int n) { SpanBlend(d, s, n); });
        } else {
            WalkSpans(dst, x, y, w, h, src, sx, sy, sw, sh,
                      [&op](u32* d, const u32* s, int n) { RasterGpuSpan(d, s, n, op); });
        }
        // Opaque and transparent texels (the only ones of a 16-bit texture) leave the target
        // on its grid: only a combined or partly transparent result needs snapping.
        if (!identity && !opaque) GridSnapRect(dst, x, y, w, h);
        return;
    }
    }
}

KeyTest ModeKeyTest() {
    KeyTest k;
    if (lpDTCon) {
        k.mask = 0xFF000000u;
        k.value = 0;
        return k;
    }
    k.mask = g_nBpp == 8 ? 0xFFu : 0xFFFFFFu;
    // A 16-bit key is compared in the form the pixels are stored in (one to one).
    k.value = (g_Grid.on ? GridUnpack(g_dwTransColor) : g_dwTransColor) & k.mask;
    return k;
}

void RasterPixel(u32& d, u32 s, const RasterOp& op) {
    switch (op.kind) {
    case RasterKind::Copy: d = s; return;
    case RasterKind::DDKey:
        if ((s & op.keyMask) != (op.key & op.keyMask)) d = s;
        return;
    case RasterKind::AlphaKey:
        if (s >> 24) d = s;
        return;
    case RasterKind::Gpu:
        d = BlendPixel(CombineStage0(s, op.diffuse, op.colorOp, op.alphaOp, op.textureFactor), d);
        return;
    }
}
