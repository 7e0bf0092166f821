// The 16-bit grid: its tables and computed rules, a pixel as the format's 16-bit value and back,
// and rows through the rules, the snap in 16-bit lanes where the format allows.
#include "platform/graphics/GridLanes.h"

#include <algorithm>

using namespace pixel_loops;

namespace {

bool SnapLanesOf(const cGridMath& g, SnapLanes* o) {
    u32 hi[4], lo[4];
    for (int k = 0; k < 4; ++k) {
        const u32 m = g.max[k];
        if (m == 0 || m > 255 || (m * m >= (1u << 15) && m != 255)) return false;
        const u32 kk = (255u * (1u << 15) + m - 1) / m;
        hi[k] = kk >> 8;
        lo[k] = kk & 255;
    }
    const SpanV zero = {};
    o->maxBR = (SpanW)(zero + (g.max[0] | g.max[2] << 16));
    o->maxGA = (SpanW)(zero + (g.max[1] | g.max[3] << 16));
    o->hiBR = (SpanW)(zero + (hi[0] | hi[2] << 16));
    o->hiGA = (SpanW)(zero + (hi[1] | hi[3] << 16));
    o->loBR = (SpanW)(zero + (lo[0] | lo[2] << 16));
    o->loGA = (SpanW)(zero + (lo[1] | lo[3] << 16));
    o->one = false;
    for (int sh = 8; sh >= 0 && !o->one; --sh) {
        u32 one[4];
        bool all = true;
        for (int k = 0; k < 4 && all; ++k) {
            const u32 m = g.max[k];
            one[k] = ((255u << sh) + m - 1) / m;
            all = m * one[k] < 65536;
            for (u32 raw = 0; raw <= m && all; ++raw) all = (raw * one[k]) >> sh == raw * 255 / m;
        }
        if (!all) continue;
        o->one = true;
        o->oneShift = sh;
        o->oneBR = (SpanW)(zero + (one[0] | one[2] << 16));
        o->oneGA = (SpanW)(zero + (one[1] | one[3] << 16));
    }
    return true;
}
// (Vectors pass by reference: an AVX vector by value would change the call's ABI.)
[[gnu::always_inline]] inline void SnapW(SpanW& c, const SpanW& max, const SpanW& hi, const SpanW& lo) {
    const SpanW v = c * max + 127;
    const SpanW raw = (v + 1 + (v >> 8)) >> 8;
    c = (raw * hi + ((raw * lo) >> 8)) >> 7;
}
[[gnu::always_inline]] inline void SnapBlock(SpanV& p, const SnapLanes& l) {
    SpanW br = (SpanW)(p & 0x00FF00FFu), ga = (SpanW)((p >> 8) & 0x00FF00FFu);
    SnapW(br, l.maxBR, l.hiBR, l.loBR);
    SnapW(ga, l.maxGA, l.hiGA, l.loGA);
    p = (SpanV)br | (SpanV)ga << 8;
}

} // namespace

namespace pixel_loops {

const SnapLanes* SnapLanesNow() {
    struct Made {
        u32 max[4] = {};
        bool ok = false;
        SnapLanes lanes;
    };
    thread_local Made made;
    const cGridMath& g = g_Grid.math;
    if (!std::equal(g.max, g.max + 4, made.max)) {
        std::copy(g.max, g.max + 4, made.max);
        made.ok = SnapLanesOf(g, &made.lanes);
    }
    return made.ok ? &made.lanes : nullptr;
}

} // namespace pixel_loops

// ---------------------------------------------------------------------------------------------
// 16-bit grid

cPixelGrid g_Grid;

void GridSetup(const PIXELFORMAT* fmt) {
    g_Grid = cPixelGrid{};
    if (!fmt) return;
    g_Grid.on = true;
    g_Grid.fmt = *fmt;
    const u32 maxima[4] = {fmt->maxB, fmt->maxG, fmt->maxR, fmt->maxA};
    for (int lane = 0; lane < 4; ++lane) {
        const u32 m = std::min<u32>(maxima[lane], 255);
        // v * 255 / m as (v * 255 * ceil(2^24 / m)) >> 24: the error term stays under 2^24 for
        // every v <= m, and the product under 2^32.
        const u32 mm = m == 0 ? 255 : m;
        g_Grid.math.max[lane] = mm;
        g_Grid.math.mul[lane] = 255 * (((1u << 24) + mm - 1) / mm);
        g_Grid.math.shift[lane] = 24;
        for (u32 c = 0; c < 256; ++c) {
            if (m == 0) {
                // No such channel in the format: the byte is kept as it is.
                g_Grid.cut[lane][c] = g_Grid.snap[lane][c] = g_Grid.raw[lane][c] = g_Grid.expand[lane][c] = static_cast<u8>(c);
                continue;
            }
            const u32 down = c * m / 255, near = (c * m + 127) / 255;
            g_Grid.cut[lane][c] = static_cast<u8>(down * 255 / m);
            g_Grid.snap[lane][c] = static_cast<u8>(near * 255 / m);
            // Exact on stored bytes: v * 255 / m lies less than half a step below v * 255 / m.
            g_Grid.raw[lane][c] = static_cast<u8>(near);
            g_Grid.expand[lane][c] = static_cast<u8>(std::min(c, m) * 255 / m);
        }
    }
}

u32 GridPack(u32 stored) {
    const PIXELFORMAT& f = g_Grid.fmt;
    const u32 r = GridRaw(stored);
    u32 v = (r & 255) << f.shiftB | ((r >> 8) & 255) << f.shiftG | ((r >> 16) & 255) << f.shiftR;
    if (f.maxA) v |= (r >> 24) << f.shiftA;
    return v;
}

u32 GridUnpack(u32 value) {
    const PIXELFORMAT& f = g_Grid.fmt;
    const u32 b = (value >> f.shiftB) & f.maxB, g = (value >> f.shiftG) & f.maxG, r = (value >> f.shiftR) & f.maxR;
    const u32 a = f.maxA ? (value >> f.shiftA) & f.maxA : 255;
    return GridFromRaw(b | g << 8 | r << 16 | a << 24);
}

PIXEL_LOOP_CLONES void GridRawRow(u32* out, const u32* in, int n) {
    const u32 m0 = g_Grid.math.max[0], m1 = g_Grid.math.max[1], m2 = g_Grid.math.max[2], m3 = g_Grid.math.max[3];
    for (int i = 0; i < n; ++i) {
        const u32 p = in[i];
        out[i] = GridMathRawLane(p & 255, m0) | GridMathRawLane((p >> 8) & 255, m1) << 8 |
                 GridMathRawLane((p >> 16) & 255, m2) << 16 | GridMathRawLane(p >> 24, m3) << 24;
    }
}

PIXEL_LOOP_CLONES void GridFromRawRow(u32* out, const u32* in, int n) {
    const cGridMath g = g_Grid.math;
    for (int i = 0; i < n; ++i) out[i] = GridMathFromRaw(in[i], g);
}

PIXEL_LOOP_CLONES void GridSnapRow(u32* px, int n) {
    const cGridMath g = g_Grid.math;
    int i = 0;
    const SnapLanes* lanes = n >= kLanes ? SnapLanesNow() : nullptr;
    if (lanes) {
        for (; i + kLanes <= n; i += kLanes) {
            SpanV p;
            LoadV(p, px + i);
            SnapBlock(p, *lanes);
            StoreV(px + i, p);
        }
    }
    u32 rm[4], em[4], mx[4], sh[4];
    for (int k = 0; k < 4; ++k) {
        rm[k] = g.max[k] * 32897u;
        em[k] = g.mul[k];
        mx[k] = g.max[k];
        sh[k] = g.shift[k];
    }
    // The rest, or every pixel of a grid the 16-bit lanes cannot hold: GridMathSnap with each
    // lane's (c * max + 127) * 32897 as one product and a sum, the same value (below 2^32), one
    // multiplication fewer a lane.
    constexpr u32 kLift = 127u * 32897u;
    for (; i < n; ++i) {
        const u32 p = px[i];
        u32 o = 0;
        for (int k = 0; k < 4; ++k) {
            const u32 raw = (((p >> (8 * k)) & 255) * rm[k] + kLift) >> 23;
            o |= (((raw < mx[k] ? raw : mx[k]) * em[k]) >> sh[k]) << (8 * k);
        }
        px[i] = o;
    }
}

void GridSnapRect(PixelStore& dst, i64 x, i64 y, i64 w, i64 h) {
    if (!g_Grid.on) return;
    const i64 x0 = std::max<i64>(0, x), y0 = std::max<i64>(0, y);
    const i64 x1 = std::min<i64>(dst.width, x + w), y1 = std::min<i64>(dst.height, y + h);
    if (x0 >= x1) return;
    for (i64 r = y0; r < y1; ++r) GridSnapRow(dst.Row(static_cast<int>(r)) + x0, static_cast<int>(x1 - x0));
}
