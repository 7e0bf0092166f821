// The blur of small windows in blocks of eight pixels (see BlurEffect.cpp for the blur itself).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "platform/graphics/BlurJob.h"
#include "platform/graphics/Raster.h"

using namespace pixel_effects;

namespace {

// ---- Small windows in blocks of eight pixels ----
// Windows of at most kBlurBlockCount pixels are summed in blocks of eight pixels, two passes
// over a row that keep every step of a block in registers. Each pixel is unpacked into two
// words of two 16-bit lanes, blue | red << 16 and green | alpha << 16 (a mask and a shift;
// packed back by shifts and ors), and a count (1, or 0 for a transparent pixel). A window sums
// to at most 128 * 255 in a lane, so the two lanes of a word added as one 32-bit number never
// carry into each other. The ring keeps the sums of pairs of neighbours of each row unpacked,
// the column sums slide down over them, and a window along the row is rx of those pairs.
constexpr i64 kBlurBlockCount = 128;
typedef u32 BlurV __attribute__((vector_size(32)));
typedef u16 BlurW __attribute__((vector_size(32)));
typedef i32 BlurI __attribute__((vector_size(32)));
typedef float BlurF __attribute__((vector_size(32)));
constexpr int kBlurLanes = 8;

// (Vectors pass by reference: an AVX vector by value would change the call's ABI.)
inline void BlurLoad(BlurV& v, const u32* p) { __builtin_memcpy(&v, p, sizeof v); }
inline void BlurPut(u32* p, const BlurV& v) { __builtin_memcpy(p, &v, sizeof v); }

// What one blur in blocks needs: the rectangle's source (row 0, column 0; pitch), W x H of it;
// the target row of its row 0, its column 0, the target columns a0 .. a1 inside the surface
// and its height; the window's radii; the key tests on the values read (km, kv) and on the
// stored pixels (skm, skv); at 16 bits the channel rules by lane; and the buffers: a ring of
// the last 2ry + 1 rows' pairs (three planes, br, ga and counts, of plane words each) and the
// column sums (three planes of plane words; column x at pad + x, zeros around).
struct BlurBlockJob {
    const u32* src;
    i64 sp;
    i32 W, H, rx, ry, ring, blocks;
    u32* dst;
    i64 dp, ty0, tx0, th;
    i32 a0, a1;
    u32 km, kv, skm, skv;
    u16 rawMax[4], expand16[4], expandAdd16[4];
    u32 expandMul[4], expandShift[4];
    std::size_t plane, pad;
    u32* rows;
    u32* cols;
};

// Row a of a BlurBlockJob (unpacked into ring slot ri, In) into the column sums cp, and the
// row in ring slot ro out of them (Out): the sums of each pixel's channels and count with its
// neighbour's before it.
template <bool In, bool Out, bool Sixteen>
[[gnu::always_inline]] inline void BlurSlideRow(const BlurBlockJob& b, const u32* s, u32* ri, const u32* ro, u32* cp) {
    const std::size_t plane = b.plane;
    const i32 W = b.W, blocks = b.blocks;
    const u32 km = b.km, kv = b.kv;
    const BlurV low = BlurV{} + 0x00FF00FFu;
    // At 16 bits: each lane's maximum, blue and red in one word, green and alpha in the other.
    const u16 m0 = b.rawMax[0], m1 = b.rawMax[1], m2 = b.rawMax[2], m3 = b.rawMax[3];
    const BlurW maxBR = {m0, m2, m0, m2, m0, m2, m0, m2, m0, m2, m0, m2, m0, m2, m0, m2};
    const BlurW maxGA = {m1, m3, m1, m3, m1, m3, m1, m3, m1, m3, m1, m3, m1, m3, m1, m3};
    BlurV pbr{}, pga{}, pn{}; // the block before, unpacked
    for (i32 m = 0; m < blocks; ++m) {
        const std::size_t at = static_cast<std::size_t>(m) * kBlurLanes;
        BlurV cbr, cga, cn;
        BlurLoad(cbr, cp + at);
        BlurLoad(cga, cp + at + plane);
        BlurLoad(cn, cp + at + 2 * plane);
        if constexpr (In) {
            BlurV p{}, outside{};
            const i32 left = W - m * kBlurLanes;
            if (left >= kBlurLanes) {
                BlurLoad(p, s + at);
            } else {
                // The last block: the lanes past the rectangle count nothing.
                u32 t[kBlurLanes] = {};
                for (i32 l = 0; l < left; ++l) t[l] = s[at + static_cast<std::size_t>(l)];
                BlurLoad(p, t);
                outside = (BlurV)(BlurV{0, 1, 2, 3, 4, 5, 6, 7} >= static_cast<u32>(std::max(left, 0)));
            }
            BlurV ubr = p & low, uga = (p >> 8) & low, key = p;
            if constexpr (Sixteen) {
                // Each lane to its channel value, (c * max + 127) / 255 in 16-bit lanes, as
                // (y + (y >> 8)) >> 8 with y = c * max + 128 (checked for every c and max up to
                // 255: y stays below 65536); the key is tested on the values.
                const BlurW ybr = (BlurW)ubr * maxBR + 128, yga = (BlurW)uga * maxGA + 128;
                ubr = (BlurV)((ybr + (ybr >> 8)) >> 8);
                uga = (BlurV)((yga + (yga >> 8)) >> 8);
                key = ubr | uga << 8;
            }
            const BlurV drop = (BlurV)((key & km) == kv) | outside;
            ubr &= ~drop;
            uga &= ~drop;
            const BlurV un = drop + 1u;
            // Each lane and the one before it.
            const BlurV tbr = ubr + __builtin_shufflevector(pbr, ubr, 7, 8, 9, 10, 11, 12, 13, 14),
                        tga = uga + __builtin_shufflevector(pga, uga, 7, 8, 9, 10, 11, 12, 13, 14),
                        tn = un + __builtin_shufflevector(pn, un, 7, 8, 9, 10, 11, 12, 13, 14);
            pbr = ubr;
            pga = uga;
            pn = un;
            BlurPut(ri + at, tbr);
            BlurPut(ri + at + plane, tga);
            BlurPut(ri + at + 2 * plane, tn);
            cbr += tbr;
            cga += tga;
            cn += tn;
        }
        if constexpr (Out) {
            BlurV obr, oga, on;
            BlurLoad(obr, ro + at);
            BlurLoad(oga, ro + at + plane);
            BlurLoad(on, ro + at + 2 * plane);
            cbr -= obr;
            cga -= oga;
            cn -= on;
        }
        BlurPut(cp + at, cbr);
        BlurPut(cp + at + plane, cga);
        BlurPut(cp + at + 2 * plane, cn);
    }
}

// Row j of a BlurBlockJob drawn from the column sums cp (RX the window's rx, or 0 for any):
// the source row sj for the key, the target row d at the rectangle's column 0. Wide: at 16
// bits, the averages go back to the stored scale in 16-bit lanes (see expand16).
template <int RX, bool Sixteen, bool Wide>
[[gnu::always_inline]] inline void BlurDrawRow(const BlurBlockJob& b, const u32* sj, u32* d, const u32* cols) {
    const std::size_t plane = b.plane;
    const i32 rx = RX ? RX : b.rx, a0 = b.a0, a1 = b.a1;
    const u32 skm = b.skm, skv = b.skv;
    const u32 e0 = b.expandMul[0], e1 = b.expandMul[1], e2 = b.expandMul[2], e3 = b.expandMul[3];
    const u32 h0 = b.expandShift[0], h1 = b.expandShift[1], h2 = b.expandShift[2], h3 = b.expandShift[3];
    const BlurW kbr = {b.expand16[0], b.expand16[2], b.expand16[0], b.expand16[2], b.expand16[0], b.expand16[2],
                       b.expand16[0], b.expand16[2], b.expand16[0], b.expand16[2], b.expand16[0], b.expand16[2],
                       b.expand16[0], b.expand16[2], b.expand16[0], b.expand16[2]};
    const BlurW kga = {b.expand16[1], b.expand16[3], b.expand16[1], b.expand16[3], b.expand16[1], b.expand16[3],
                       b.expand16[1], b.expand16[3], b.expand16[1], b.expand16[3], b.expand16[1], b.expand16[3],
                       b.expand16[1], b.expand16[3], b.expand16[1], b.expand16[3]};
    const u16 p0 = b.expandAdd16[0], p1 = b.expandAdd16[1], p2 = b.expandAdd16[2], p3 = b.expandAdd16[3];
    const BlurW abr = {p0, p2, p0, p2, p0, p2, p0, p2, p0, p2, p0, p2, p0, p2, p0, p2};
    const BlurW aga = {p1, p3, p1, p3, p1, p3, p1, p3, p1, p3, p1, p3, p1, p3, p1, p3};
    const BlurV lo = BlurV{} + 0xFFFFu;
    // The window of column x: the pairs ending at x + rx - 1, x + rx - 3, .. x - rx + 1.
    auto sum = [&](const u32* p, BlurV& h) __attribute__((always_inline)) {
        BlurLoad(h, p);
        for (i32 k = 1; k < rx; ++k) {
            BlurV t;
            BlurLoad(t, p - 2 * k);
            h += t;
        }
    };
    // The averages: each sum times the count's reciprocal scaled up by 2^-16, truncated.
    // With inv = (1 + 2^-16) / n rounded, the product lies at or above s / n (the scale
    // outweighs both roundings, 2^-23 together) and below s / n + 255 * 2^-16 * (1 + 2^-7)
    // < s / n + 1 / 128, at most the next whole number past s / n for s <= 255n and n <=
    // 128: the quotient rounded down, exactly. (An empty window takes n = 1; it is not stored.)
    // Every block takes this one path, full windows too: which blocks hold a key or an edge
    // follows the picture, and a choice by block is guessed wrong too often to pay. The counts
    // and their reciprocals are taken a block ahead: the division is slow, and the block's
    // other work need not wait for it.
    auto reciprocal = [&](const BlurV& hn, BlurF& inv) __attribute__((always_inline)) {
        const BlurV nz = hn > 1u ? hn : BlurV{} + 1u;
        inv = (1.0f + 1.0f / 65536.0f) / __builtin_convertvector((BlurI)nz, BlurF);
    };
    const i32 first = a0 / kBlurLanes * kBlurLanes;
    BlurV hnNext;
    BlurF invNext;
    sum(cols + first + rx - 1 + 2 * plane, hnNext);
    reciprocal(hnNext, invNext);
    for (i32 c0 = first; c0 < a1; c0 += kBlurLanes) {
        const u32* cp = cols + c0 + rx - 1;
        BlurV hbr, hga;
        sum(cp, hbr);
        sum(cp + plane, hga);
        const BlurV hn = hnNext;
        const BlurF inv = invNext;
        // (The columns past the last block are zeros, see BlurInBlocks.)
        sum(cp + kBlurLanes + 2 * plane, hnNext);
        reciprocal(hnNext, invNext);
        const BlurV none = (BlurV)(hn == 0u);
        auto quot = [&](const BlurV& sum, BlurV& q) __attribute__((always_inline)) {
            const BlurV l = (BlurV)__builtin_convertvector(__builtin_convertvector((BlurI)(sum & lo), BlurF) * inv, BlurI),
                        h = (BlurV)__builtin_convertvector(__builtin_convertvector((BlurI)(sum >> 16), BlurF) * inv, BlurI);
            q = l | h << 16;
        };
        BlurV qbr, qga;
        quot(hbr, qbr);
        quot(hga, qga);
        BlurV v;
        if constexpr (Sixteen) {
            // Back to the stored scale (an average is at most its lane's maximum): in 16-bit
            // lanes where the format allows it (green and alpha left in the upper byte of
            // their lanes), else lane by lane as the grid computes it.
            if constexpr (Wide) {
                v = (BlurV)(((BlurW)qbr * kbr + abr) >> 8) | (BlurV)(((BlurW)qga * kga + aga) & 0xFF00);
            } else {
                qbr = ((qbr & lo) * e0) >> h0 | (((qbr >> 16) * e2) >> h2) << 16;
                qga = ((qga & lo) * e1) >> h1 | (((qga >> 16) * e3) >> h3) << 16;
                v = qbr | qga << 8;
            }
        } else {
            v = qbr | qga << 8;
        }
        BlurV sv, dv;
        if (c0 >= a0 && c0 + kBlurLanes <= a1) {
            BlurLoad(sv, sj + c0);
            BlurLoad(dv, d + c0);
            const BlurV keep = none | (BlurV)((sv & skm) == skv);
            BlurPut(d + c0, v ^ ((v ^ dv) & keep));
        } else {
            // A block across an edge of the target: its lanes inside, one by one.
            const i32 l0 = std::max(a0 - c0, 0), l1 = std::min(a1 - c0, kBlurLanes);
            u32 st[kBlurLanes] = {}, dt[kBlurLanes] = {};
            for (i32 l = l0; l < l1; ++l) {
                st[l] = sj[c0 + l];
                dt[l] = d[c0 + l];
            }
            BlurLoad(sv, st);
            BlurLoad(dv, dt);
            const BlurV keep = none | (BlurV)((sv & skm) == skv);
            BlurPut(dt, v ^ ((v ^ dv) & keep));
            for (i32 l = l0; l < l1; ++l) d[c0 + l] = dt[l];
        }
    }
}

// The blur of a BlurBlockJob. Row j's windows take rows j - ry .. j + ry - 1: row j + ry - 1
// comes in (unpacked into the ring) and row j - ry - 1 goes before row j is drawn, so every
// row is read before any row at or below it is written.
template <int RX, bool Sixteen>
PIXEL_LOOP_CLONES void BlurBlocks(const BlurBlockJob& b) {
    const std::size_t slot = 3 * b.plane;
    u32* cp = b.cols + b.pad;
    auto slide = [&](i32 a, i32 o) __attribute__((always_inline)) {
        const bool in = a >= 0 && a < b.H, out = o >= 0 && o < b.H;
        u32* ri = b.rows + static_cast<std::size_t>(in ? a % b.ring : 0) * slot;
        const u32* ro = b.rows + static_cast<std::size_t>(out ? o % b.ring : 0) * slot;
        const u32* s = b.src + (in ? a : 0) * b.sp;
        if (in && out) BlurSlideRow<true, true, Sixteen>(b, s, ri, ro, cp);
        else if (in) BlurSlideRow<true, false, Sixteen>(b, s, ri, ro, cp);
        else if (out) BlurSlideRow<false, true, Sixteen>(b, s, ri, ro, cp);
    };
    // The rows above the first window's middle come in first.
    for (i32 a = 0; a < b.ry - 1; ++a) slide(a, -1);
    for (i32 j = 0; j < b.H; ++j) {
        slide(j + b.ry - 1, j - b.ry - 1);
        const i64 ty = b.ty0 + j;
        if (ty < 0 || ty >= b.th || b.a0 >= b.a1) continue;
        if (!Sixteen || b.expand16[0]) BlurDrawRow<RX, Sixteen, true>(b, b.src + j * b.sp, b.dst + ty * b.dp + b.tx0, cp);
        else BlurDrawRow<RX, Sixteen, false>(b, b.src + j * b.sp, b.dst + ty * b.dp + b.tx0, cp);
    }
}

// The buffers of the blur in blocks, kept from call to call.
struct BlurBlockBuffers {
    std::vector<u32> rows, cols;
};

} // namespace

namespace pixel_effects {

// Draws the blur in blocks when the window allows it (see kBlurBlockCount); false if not.
bool BlurInBlocks(const BlurJob& j) {
    if (4 * static_cast<i64>(j.rx) * j.ry > kBlurBlockCount) return false;
    const Locked& lk = *j.lk;
    // A target on its own source: the general loops read each row whole before writing one.
    if (lk.dst.lpPixels == lk.src.lpPixels) return false;
    thread_local BlurBlockBuffers m;
    BlurBlockJob b{};
    b.src = lk.src.lpPixels + (j.sy + j.j0) * lk.src.nPitch + j.sx + j.i0;
    b.sp = lk.src.nPitch;
    b.W = j.W;
    b.H = j.H;
    b.rx = j.rx;
    b.ry = j.ry;
    b.ring = j.ring;
    // The pairs reach one column past the rectangle.
    b.blocks = j.W / kBlurLanes + 1;
    b.dst = lk.dst.lpPixels;
    b.dp = lk.dst.nPitch;
    b.ty0 = static_cast<i64>(j.y) + j.j0;
    b.tx0 = static_cast<i64>(j.x) + j.i0;
    b.th = lk.dst.nHeight;
    b.a0 = static_cast<i32>(std::clamp<i64>(-b.tx0, 0, j.W));
    b.a1 = static_cast<i32>(std::clamp<i64>(lk.dst.nWidth - b.tx0, b.a0, j.W));
    b.km = j.km;
    b.kv = j.kv;
    b.skm = j.skm;
    b.skv = j.skv;
    const cGridMath& g = g_Grid.math;
    for (int c = 0; c < 4; ++c) {
        b.rawMax[c] = static_cast<u16>(g.max[c]);
        b.expandMul[c] = g.mul[c];
        b.expandShift[c] = g.shift[c];
    }
    if (j.sixteen) {
        // A multiplier k and an addend a with (q * k + a) >> 8 the grid's stored byte for
        // every value q of each lane, found once for each format; all 0 where a lane has none.
        thread_local cGridMath seen{};
        thread_local u16 k16[4] = {}, a16[4] = {};
        if (!std::equal(g.max, g.max + 4, seen.max) || !std::equal(g.mul, g.mul + 4, seen.mul) ||
            !std::equal(g.shift, g.shift + 4, seen.shift) || !k16[0]) {
            seen = g;
            bool all = true;
            for (int c = 0; c < 4 && all; ++c) {
                const u32 max = g.max[c], base = 65280 / std::max<u32>(max, 1);
                k16[c] = 0;
                for (u32 k = base > 2 ? base - 2 : 1; k <= base + 3 && !k16[c]; ++k) {
                    // The addends that keep every q's result: at least lo, at most hi.
                    i64 lo = 0, hi = 0xFFFF - static_cast<i64>(max) * k;
                    for (u32 q = 0; q <= max; ++q) {
                        const i64 e = GridMathExpandLane(q, g.max[c], g.mul[c], g.shift[c]), qk = static_cast<i64>(q) * k;
                        lo = std::max(lo, (e << 8) - qk);
                        hi = std::min(hi, ((e + 1) << 8) - 1 - qk);
                    }
                    if (lo <= hi) {
                        k16[c] = static_cast<u16>(k);
                        a16[c] = static_cast<u16>(lo);
                    }
                }
                all = k16[c] != 0;
            }
            if (!all) std::fill(k16, k16 + 4, u16(0));
        }
        std::copy(k16, k16 + 4, b.expand16);
        std::copy(a16, a16 + 4, b.expandAdd16);
    }
    // Columns -rx .. W + rx of the sums, zeros outside the rectangle; every plane 64 bytes
    // apart from the others modulo 4 KiB, so that no load waits on an unrelated store.
    b.pad = (static_cast<std::size_t>(b.rx) + kBlurLanes - 1) / kBlurLanes * kBlurLanes;
    b.plane = (b.pad + static_cast<std::size_t>(b.blocks) * kBlurLanes + b.pad + 15) / 16 * 16 + 16;
    // Both buffers start on a cache line (an allocation is sure of 16 bytes only): the blocks'
    // loads and stores of the slide, 32 bytes at multiples of 32, then never straddle two lines.
    constexpr std::size_t kLine = 64 / sizeof(u32);
    auto onLine = [](u32* p) { return p + (0 - reinterpret_cast<std::uintptr_t>(p) / sizeof(u32)) % kLine; };
    m.rows.resize(3 * b.plane * static_cast<std::size_t>(b.ring) + kLine);
    m.cols.assign(3 * b.plane + kLine, 0);
    b.rows = onLine(m.rows.data());
    b.cols = onLine(m.cols.data());
    auto run = [&](auto rx) {
        if (j.sixteen) BlurBlocks<decltype(rx)::value, true>(b);
        else BlurBlocks<decltype(rx)::value, false>(b);
    };
    // The usual small radii with their window loops unrolled.
    switch (j.rx) {
    case 1: run(std::integral_constant<int, 1>{}); break;
    case 2: run(std::integral_constant<int, 2>{}); break;
    case 3: run(std::integral_constant<int, 3>{}); break;
    case 4: run(std::integral_constant<int, 4>{}); break;
    default: run(std::integral_constant<int, 0>{}); break;
    }
    return true;
}

} // namespace pixel_effects
