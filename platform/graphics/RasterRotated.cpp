// The turned textured quad (the Direct3D path of rotations).
#include "platform/graphics/Raster.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/graphics/RasterCombiner.h"
#include "platform/graphics/RasterRows.h"

using namespace pixel_loops;

namespace {
// A turned quad is walked in bands of eight rows, a column of the band at a time: each row's
// source coordinates are its own running sums (the same adds in the same order as a row walked
// alone, so every pixel takes the texel it always took), and the band's reads, slanted through
// the source, stay within a few cache lines from one column to the next.
constexpr int kTurnBand = 8;
// Columns per gathered block: eight rows of this many pixels read a patch of the source that
// stays in the first-level cache.
constexpr int kTurnBlock = 128;
// Bands walked side by side, a block of each in turn: the slanted source patch of a tile of
// eight bands is read once from further out and then found near by each band that crosses it.
constexpr int kTurnTile = 8;

// Four rows' values side by side (GCC/Clang vectors: one register with AVX2, two without).
typedef double TurnD __attribute__((vector_size(32)));
typedef i64 TurnL __attribute__((vector_size(32)));
typedef i32 TurnI __attribute__((vector_size(16)));
typedef u32 TurnU __attribute__((vector_size(16)));

// Narrows [from, to] to the real columns of a row at which a coordinate starting at x and
// stepping by d, with inverse step e = 1 / d, lies in [lo, top] (from > to when none).
void LineInside(double x, double d, double e, double lo, double top, int n, double* from, double* to) {
    double f = -1.0, t = n;
    if (d > 0) {
        f = (lo - x) * e;
        t = (top - x) * e;
    } else if (d < 0) {
        f = (top - x) * e;
        t = (lo - x) * e;
    } else if (!(lo <= x && x <= top)) {
        f = n;
        t = -1.0;
    }
    *from = std::max(*from, f);
    *to = std::min(*to, t);
}

// The columns [k0, k1] of a row (k1 < k0 when none) at which a coordinate starting at x and
// stepping by d, with inverse step e = 1 / d, is expected to lie well inside [lo, top]: the
// real line x + k d, two columns narrower on each side. Only a guess: the walk checks it.
void NarrowInside(double x, double d, double e, double lo, double top, int n, int* k0, int* k1) {
    double from = -1.0, to = n;
    LineInside(x, d, e, lo, top, n, &from, &to);
    // Clamped first: the quotients may be far outside the row, or infinite.
    *k0 = std::max(*k0, static_cast<int>(std::clamp(from, -1.0, double(n))) + 2);
    *k1 = std::min(*k1, static_cast<int>(std::clamp(to, -1.0, double(n))) - 2);
}

// Steps the coordinates (u, v) of eight rows across n columns, leaving them at the next column.
// A pixel draws when uLo <= u < uHi and vLo <= v < vHi (inside the quad and its texel inside
// the source); each pixel's texel is read from sp as soon as its coordinates are known (row r's
// at t[r * kTurnBlock + k]), so that the reads overlap the sums of the columns after them, and
// each row's drawn columns, one run since both coordinates move one way along a row, go to
// [first, last). The test is whether clamping into [uLo, uTop] x [vLo, vTop] leaves a pixel's
// coordinates as they are (uTop the largest value below uHi, so u < uHi is u <= uTop); the
// clamped values, never negative, truncate to the texel's column and row of a drawn pixel.
// Each running sum moves one way, so where the rows lie inside at two columns they lie inside
// at every column between: the columns [in0, in1] expected inside for all eight rows are walked
// untested once both ends are seen inside (and tested after all where they are not). Untested
// texel indexes are kept to at most last, the source's last texel, so that a wrong guess reads
// within the source; its texels are read again, tested. Likewise the columns before out0 and
// after out1, expected outside for all eight rows, are only stepped over once every row is
// seen outside at their inner end by a coordinate moving away from them: it is outside at
// every column beyond.
PIXEL_LOOP_CLONES void TurnedColumns(int n, double* u0, double* v0, double c, double s, double uLo, double uTop,
                                     double vLo, double vTop, i32 sx, i32 sy, i32 pitch, int in0, int in1, int out0,
                                     int out1, const u32* __restrict sp, u32 lastAt, u32* __restrict t, int* first,
                                     int* last) {
    static_assert(kTurnBand == 8, "two groups of four rows");
    const TurnD zero = {}, lu = zero + uLo, lv = zero + vLo;
    const TurnD topU = zero + uTop, topV = zero + vTop, dc = zero + c, ds = zero + s;
    // A texel's index, (sy + v) * pitch + sx + u, as v * pitch + u plus the index of (sx, sy):
    // the same value (below 2^31) in arithmetic modulo 2^32.
    const u32 origin = static_cast<u32>(static_cast<i64>(sy) * pitch + sx);
    const TurnU at0 = {origin, origin, origin, origin}, wide = {u32(pitch), u32(pitch), u32(pitch), u32(pitch)};
    const TurnU bound = {lastAt, lastAt, lastAt, lastAt};
    // The eight rows as two groups of four, each row with its own walk across the columns (two
    // groups side by side, so that neither waits for its own sums).
    TurnD a0 = {u0[0], u0[1], u0[2], u0[3]}, b0 = {v0[0], v0[1], v0[2], v0[3]};
    TurnD a1 = {u0[4], u0[5], u0[6], u0[7]}, b1 = {v0[4], v0[5], v0[6], v0[7]};
    TurnL count0 = {}, end0 = {}, count1 = {}, end1 = {};
    const auto flatOf = [&](const TurnD& ca, const TurnD& cb) __attribute__((always_inline)) {
        const TurnI iu = __builtin_convertvector(ca, TurnI), iv = __builtin_convertvector(cb, TurnI);
        return (TurnU)iv * wide + (TurnU)iu + at0;
    };
    const auto fetch = [&](const TurnU& flat, u32* out) __attribute__((always_inline)) {
        // Taken out two at a time: a 64-bit move and a shift cost less than a lane's extract.
        static_assert(std::endian::native == std::endian::little, "lane 0 in the low half");
        u64 at[2];
        std::memcpy(at, &flat, sizeof at);
        out[0] = sp[static_cast<u32>(at[0])];
        out[kTurnBlock] = sp[at[0] >> 32];
        out[2 * kTurnBlock] = sp[static_cast<u32>(at[1])];
        out[3 * kTurnBlock] = sp[at[1] >> 32];
    };
    // One column of one group, tested; the lanes' test is ANDed into all.
    const auto tested = [&](TurnD& a, TurnD& b, TurnL& count, TurnL& end, int k, u32* out, TurnL& all)
                            __attribute__((always_inline)) {
        const TurnD cla = a < lu ? lu : a, clb = b < lv ? lv : b;
        const TurnD ca = topU < cla ? topU : cla, cb = topV < clb ? topV : clb;
        const TurnL in = (ca == a) & (cb == b);
        // The run ends after the last column inside; it began count columns before.
        count -= in;
        end = in ? (TurnL){} + (k + 1) : end;
        fetch(flatOf(ca, cb), out);
        a = a + dc;
        b = b - ds;
        all &= in;
    };
    TurnL unused = {};
    const auto column = [&](int k, TurnL& all) __attribute__((always_inline)) {
        tested(a0, b0, count0, end0, k, t + k, all);
        tested(a1, b1, count1, end1, k, t + 4 * kTurnBlock + k, all);
    };
    const auto step = [&]() __attribute__((always_inline)) {
        a0 = a0 + dc;
        b0 = b0 - ds;
        a1 = a1 + dc;
        b1 = b1 - ds;
    };
    // Which way each coordinate moves along a row (both ways when it stays).
    const TurnL none = {}, upU = none + (c >= 0 ? -1 : 0), downU = none + (c <= 0 ? -1 : 0);
    const TurnL upV = none + (s <= 0 ? -1 : 0), downV = none + (s >= 0 ? -1 : 0);
    // Whether every row lies outside at this column and every one before (after when ahead).
    const auto outside = [&](bool ahead) __attribute__((always_inline)) {
        const TurnL lowU = ahead ? downU : upU, highU = ahead ? upU : downU;
        const TurnL lowV = ahead ? downV : upV, highV = ahead ? upV : downV;
        const TurnL o0 = ((a0 < lu) & lowU) | ((a0 > topU) & highU) | ((b0 < lv) & lowV) | ((b0 > topV) & highV);
        const TurnL o1 = ((a1 < lu) & lowU) | ((a1 > topU) & highU) | ((b1 < lv) & lowV) | ((b1 > topV) & highV);
        const TurnL o = o0 & o1;
        return (o[0] & o[1] & o[2] & o[3]) != 0;
    };
    int k = 0;
    const int lead = std::min(out0, n);
    if (lead > 0) {
        const TurnD keptA0 = a0, keptB0 = b0, keptA1 = a1, keptB1 = b1;
        for (; k < lead - 1; ++k) step();
        if (outside(false)) {
            step();
            k = lead;
        } else {
            a0 = keptA0;
            b0 = keptB0;
            a1 = keptA1;
            b1 = keptB1;
            k = 0;
        }
    }
    const int k0 = std::max(in0, k), k1 = std::min(in1, n - 1);
    if (k0 + 1 < k1) {
        for (; k < k0; ++k) column(k, unused);
        const TurnD keptA0 = a0, keptB0 = b0, keptA1 = a1, keptB1 = b1;
        const TurnL keptCount0 = count0, keptEnd0 = end0, keptCount1 = count1, keptEnd1 = end1;
        TurnL in = ~(TurnL){};
        column(k0, in);
        for (k = k0 + 1; k < k1; ++k) {
            // Inside: the coordinates are their own clamped values.
            const TurnU f0 = flatOf(a0, b0), f1 = flatOf(a1, b1);
            fetch(f0 < bound ? f0 : bound, t + k);
            fetch(f1 < bound ? f1 : bound, t + 4 * kTurnBlock + k);
            step();
        }
        column(k1, in);
        if (in[0] & in[1] & in[2] & in[3]) {
            count0 += k1 - k0 - 1;
            count1 += k1 - k0 - 1;
            k = k1 + 1;
        } else {
            a0 = keptA0;
            b0 = keptB0;
            a1 = keptA1;
            b1 = keptB1;
            count0 = keptCount0;
            end0 = keptEnd0;
            count1 = keptCount1;
            end1 = keptEnd1;
            k = k0;
        }
    }
    const int tail = std::min(std::max(out1 + 1, k), n);
    for (; k < tail; ++k) column(k, unused);
    if (k < n && outside(true)) {
        for (; k < n; ++k) step();
    }
    for (; k < n; ++k) column(k, unused);
    for (int r = 0; r < 4; ++r) {
        first[r] = static_cast<int>(end0[r] - count0[r]);
        last[r] = static_cast<int>(end0[r]);
        first[r + 4] = static_cast<int>(end1[r] - count1[r]);
        last[r + 4] = static_cast<int>(end1[r]);
        u0[r] = a0[r];
        v0[r] = b0[r];
        u0[r + 4] = a1[r];
        v0[r + 4] = b1[r];
    }
}

// A run of a turned block's row drawn as an opaque copy of its texels.
PIXEL_LOOP_CLONES void TurnedOpaque(u32* __restrict d, const u32* __restrict t, int from, int to) {
    for (int k = from; k < to; ++k) d[k] = t[k] | 0xFF000000u;
}
} // namespace

void RasterRotatedQuad(PixelStore& dst, double cx, double cy, int w, int h, double pivotX, double pivotY,
                       double angle, const PixelStore& src, int sx, int sy, const RasterOp& op) {
    if (w <= 0 || h <= 0 || dst.width <= 0 || dst.height <= 0) return;
    const double rad = angle * 3.14159265358979323846 / 180.0;
    const double s = std::sin(rad), c = std::cos(rad);
    // Bounding box of the turned corners.
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    const double corners[4][2] = {{-pivotX, -pivotY}, {w - pivotX, -pivotY}, {-pivotX, h - pivotY}, {w - pivotX, h - pivotY}};
    for (const auto& k : corners) {
        const double tx = cx + k[0] * c - k[1] * s, ty = cy + k[0] * s + k[1] * c;
        x0 = std::min(x0, tx); x1 = std::max(x1, tx);
        y0 = std::min(y0, ty); y1 = std::max(y1, ty);
    }
    // Clamped into the target before they become integers: a quad far off it draws nothing.
    const auto clampTo = [](double v, int hi) { return static_cast<int>(std::min<double>(hi, std::max(0.0, v))); };
    const int bx0 = clampTo(std::floor(x0), dst.width), by0 = clampTo(std::floor(y0), dst.height);
    const int bx1 = clampTo(std::ceil(x1), dst.width), by1 = clampTo(std::ceil(y1), dst.height);
    // A pixel draws when its coordinates in the quad lie inside it and their texel inside the
    // source: uLo <= u < uHi, vLo <= v < vHi (the texel's column is sx + floor(u)).
    const i64 uLo = std::max<i64>(0, -i64(sx)), uHi = std::min<i64>(w, i64(src.width) - sx);
    const i64 vLo = std::max<i64>(0, -i64(sy)), vHi = std::min<i64>(h, i64(src.height) - sy);
    // Texel indexes are 32-bit: surfaces and pictures are far smaller than that.
    if (bx0 < bx1 && by0 < by1 && uLo < uHi && vLo < vHi && src.px.size() <= std::size_t(INT32_MAX)) {
        const int n = bx1 - bx0;
        // The largest values below the upper bounds: u < uHi is u <= uTop.
        const double uTop = std::nextafter(double(uHi), 0.0), vTop = std::nextafter(double(vHi), 0.0);
        constexpr std::size_t kBlock = static_cast<std::size_t>(kTurnBlock) * kTurnBand;
        // A block's texels and each of its rows' drawn columns.
        struct Block {
            int first[kTurnBand], last[kTurnBand];
            int py0, k0, kn;
        };
        Block b;
        u32 texels[kBlock];
        const u32* const sp = src.px.data();
        const u32 lastAt = static_cast<u32>(src.px.size() - 1);
        const bool identity = op.kind == RasterKind::Gpu && Identity(op);
        const bool opaque = op.kind == RasterKind::Gpu && OpaqueCopy(op);
        // Draws the block just made.
        const auto draw = [&] {
            const int rows = std::min(kTurnBand, by1 - b.py0);
            for (int r = 0; !identity && r < rows; ++r) {
                const int from = b.first[r], to = b.last[r];
                if (from >= to) continue;
                const u32* t = texels + r * kTurnBlock;
                u32* d = dst.Row(b.py0 + r) + bx0 + b.k0;
                if (opaque) {
                    TurnedOpaque(d, t, from, to);
                } else if (op.kind == RasterKind::Gpu) {
                    RasterGpuSpan(d + from, t + from, to - from, op);
                } else {
                    for (int k = from; k < to; ++k) RasterPixel(d[k], t[k], op);
                }
            }
            // The plain blend a run of rows at a time where their columns agree (inside the
            // quad, all of a block's): the rows' texels are looked at and drawn as one rectangle.
            for (int r = 0; identity && r < rows;) {
                int e = r + 1;
                while (e < rows && b.first[e] == b.first[r] && b.last[e] == b.last[r]) ++e;
                const int from = b.first[r], to = b.last[r];
                if (from < to)
                    BlendRows(dst.Row(b.py0 + r) + bx0 + b.k0 + from, dst.width, texels + r * kTurnBlock + from, kTurnBlock,
                              to - from, e - r);
                r = e;
            }
        };
        // Source coordinates start at the box's left column and step by (cos, -sin) along a row.
        const double dx0 = bx0 + 0.5 - cx;
        const double ec = c != 0 ? 1 / c : 0, es = s != 0 ? -1 / s : 0;
        // Each band's running sums, the columns expected inside the quad for all its rows, and
        // those outside it for all its rows (before out0, after out1).
        struct Band {
            double u[kTurnBand], v[kTurnBand];
            int in0, in1, out0, out1;
        };
        Band bands[kTurnTile];
        for (int g0 = by0; g0 < by1; g0 += kTurnBand * kTurnTile) {
            const int count = std::min(kTurnTile, (by1 - g0 + kTurnBand - 1) / kTurnBand);
            for (int j = 0; j < count; ++j) {
                Band& band = bands[j];
                for (int r = 0; r < kTurnBand; ++r) {
                    const double dy = g0 + j * kTurnBand + r + 0.5 - cy;
                    band.u[r] = dx0 * c + dy * s + pivotX;
                    band.v[r] = -dx0 * s + dy * c + pivotY;
                }
                band.in0 = 0;
                band.in1 = n - 1;
                // The columns where any row may lie inside, two wider on each side.
                double lo = n, hi = -1.0;
                for (int r = 0; r < kTurnBand; ++r) {
                    NarrowInside(band.u[r], c, ec, double(uLo), uTop, n, &band.in0, &band.in1);
                    NarrowInside(band.v[r], -s, es, double(vLo), vTop, n, &band.in0, &band.in1);
                    double from = -1.0, to = n;
                    LineInside(band.u[r], c, ec, double(uLo), uTop, n, &from, &to);
                    LineInside(band.v[r], -s, es, double(vLo), vTop, n, &from, &to);
                    if (from <= to) {
                        lo = std::min(lo, from);
                        hi = std::max(hi, to);
                    }
                }
                band.out0 = static_cast<int>(std::clamp(lo, -1.0, double(n))) - 2;
                band.out1 = static_cast<int>(std::clamp(hi, -1.0, double(n))) + 2;
            }
            for (int k0 = 0; k0 < n; k0 += kTurnBlock)
                for (int j = 0; j < count; ++j) {
                    Band& band = bands[j];
                    b.py0 = g0 + j * kTurnBand;
                    b.k0 = k0;
                    b.kn = std::min(kTurnBlock, n - k0);
                    TurnedColumns(b.kn, band.u, band.v, c, s, double(uLo), uTop, double(vLo), vTop, sx, sy, src.width,
                                  band.in0 - k0, band.in1 - k0, band.out0 - k0, band.out1 - k0, sp, lastAt, texels, b.first, b.last);
                    draw();
                }
        }
    }
    // As for the blits: opaque and transparent texels (the only ones at 16 bits) leave the
    // target on its grid, so only combined results need snapping.
    if (op.kind == RasterKind::Gpu && !Identity(op) && !OpaqueCopy(op)) GridSnapRect(dst, bx0, by0, bx1 - bx0, by1 - by0);
}
