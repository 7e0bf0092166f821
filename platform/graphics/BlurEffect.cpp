// The blur: each pixel the average of a box of pixels around it, by sliding window sums along the
// rows and down the columns. Small windows go in blocks of eight pixels (BlurBlocks.cpp); any
// other window row by row, here.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/graphics/BlurJob.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Raster.h"
#include "platform/system/Report.h"

using namespace pixel_effects;

namespace {

// Window sums of one row for the blur (see DDBlur): each pixel's channels (at 16 bits, Raw,
// its channel values) are laid out planar with rx empty entries on both sides, then summed
// over the window from sums of powers of two for small windows (16-bit lanes, vectorised
// across the row) or by a running sum for wide ones.
constexpr i32 kBlurDirect = 16; // 2 * 16 * 255 fits 16 bits
template <class T, bool Raw>
PIXEL_LOOP_CLONES void BlurRowSums(const u32* s, i32 W, i32 rx, u32 km, u32 kv, T* planar, T* out, T* scratch) {
    const u32 m0 = g_Grid.math.max[0], m1 = g_Grid.math.max[1], m2 = g_Grid.math.max[2], m3 = g_Grid.math.max[3];
    const i32 P = W + 2 * rx; // padded row
    for (int c = 0; c < 5; ++c) {
        T* pc = planar + static_cast<std::size_t>(c) * P;
        for (i32 i = 0; i < rx; ++i) pc[i] = pc[rx + W + i] = 0;
    }
    T* vb = planar + rx;
    T* vg = vb + P;
    T* vr = vg + P;
    T* va = vr + P;
    T* vn = va + P;
    // Lane by lane in 16 bits (c * max + 127 fits, and the division by 255 is the high half of
    // a 16-bit product), the key compared lane by lane: twice the pixels a vector of 32-bit lanes.
    const u16 k0 = km & 255, k1 = (km >> 8) & 255, k2 = (km >> 16) & 255, k3 = km >> 24;
    const u16 v0 = kv & 255, v1 = (kv >> 8) & 255, v2 = (kv >> 16) & 255, v3 = kv >> 24;
    const u16 n0 = static_cast<u16>(m0), n1 = static_cast<u16>(m1), n2 = static_cast<u16>(m2), n3 = static_cast<u16>(m3);
    auto raw = [](u16 c, u16 max) -> u16 {
        if constexpr (!Raw) return c;
        const u16 x = static_cast<u16>(c * max + 127);
        return static_cast<u16>(static_cast<u16>((static_cast<u32>(x) * 32897u) >> 16) >> 7);
    };
    for (i32 i = 0; i < W; ++i) {
        const u32 p = s[i];
        const u16 b = raw(static_cast<u16>(p & 255), n0), g = raw(static_cast<u16>((p >> 8) & 255), n1),
                  r = raw(static_cast<u16>((p >> 16) & 255), n2), a = raw(static_cast<u16>(p >> 24), n3);
        // Without the key no value matches.
        const u16 m = ((b & k0) != v0) | ((g & k1) != v1) | ((r & k2) != v2) | ((a & k3) != v3);
        vb[i] = static_cast<T>(b * m);
        vg[i] = static_cast<T>(g * m);
        vr[i] = static_cast<T>(r * m);
        va[i] = static_cast<T>(a * m);
        vn[i] = static_cast<T>(m);
    }
    if (rx <= kBlurDirect) {
        // Windows of 2rx built from ones of powers of two: sums of length 2len from two of
        // length len, and the window from the lengths of 2rx's bits at growing offsets. Each
        // step runs over all five channels at once (each channel's entries read only its own,
        // the padding keeps them apart), so that a step reads what the one before wrote long
        // enough ago to have left the store queue: unaligned reads of fresh stores stall.
        const i32 L = 2 * rx, need = W + L - 1;
        const T* cur = planar;
        T* bufs[2] = {scratch, scratch + static_cast<std::size_t>(5) * P};
        int flip = 0;
        i32 pos = 0;
        bool first = true;
        for (i32 len = 1;; len *= 2) {
            if (L & len) {
                for (int ch = 0; ch < 5; ++ch) {
                    const T* __restrict v = cur + static_cast<std::size_t>(ch) * P;
                    T* __restrict o = out + static_cast<std::size_t>(ch) * W;
                    if (first) for (i32 i = 0; i < W; ++i) o[i] = v[i + pos];
                    else for (i32 i = 0; i < W; ++i) o[i] = static_cast<T>(o[i] + v[i + pos]);
                }
                pos += len;
                first = false;
            }
            if (2 * len > L) break;
            if (4 * len > L) {
                // 2len is the last bit: its sums go straight into the window.
                for (int ch = 0; ch < 5; ++ch) {
                    const T* __restrict c = cur + static_cast<std::size_t>(ch) * P;
                    T* __restrict o = out + static_cast<std::size_t>(ch) * W;
                    if (first) for (i32 i = 0; i < W; ++i) o[i] = static_cast<T>(c[i + pos] + c[i + pos + len]);
                    else for (i32 i = 0; i < W; ++i) o[i] = static_cast<T>(o[i] + (c[i + pos] + c[i + pos + len]));
                }
                break;
            }
            // Channel ch needs entries ch * P + i, i < need - 2len + 1, which read no further
            // than its own padded row; the last channel's bound covers the others.
            const T* __restrict c = cur;
            T* __restrict next = bufs[flip];
            flip ^= 1;
            for (i32 k = 0, e = 4 * P + need - 2 * len + 1; k < e; ++k) next[k] = static_cast<T>(c[k] + c[k + len]);
            cur = next;
        }
    } else {
        for (int c = 0; c < 5; ++c) {
            const T* v = planar + static_cast<std::size_t>(c) * P; // v[i + k], k = 0 .. 2rx - 1: offsets -rx .. rx - 1
            T* o = out + static_cast<std::size_t>(c) * W;
            T acc = 0;
            for (i32 k = 0; k < 2 * rx - 1; ++k) acc += v[k];
            for (i32 i = 0; i < W; ++i) {
                acc += v[i + 2 * rx - 1];
                o[i] = acc;
                acc -= v[i];
            }
        }
    }
}


// The averages of a row of column sums (planar: blue, green, red, alpha, count), each the
// quotient rounded down. Sums stay below 2^24, so they and the counts are exact as floats; an
// average is at most 255, so the product by the count's rounded reciprocal lies within 255 *
// 2^-22 of the quotient and truncates to it or to a neighbour, which one step against the
// exact remainder puts right. One division a pixel instead of one a channel.
PIXEL_LOOP_CLONES void BlurAverages(const u32* __restrict col, i32 W, u32* __restrict out) {
    const u32* __restrict cn = col + static_cast<std::size_t>(W) * 4;
    for (i32 i = 0; i < W; ++i) {
        const i32 n = static_cast<i32>(cn[i] ? cn[i] : 1);
        const float inv = 1.0f / static_cast<float>(n);
        u32 o = 0;
        for (int c = 0; c < 4; ++c) {
            const i32 sum = static_cast<i32>(col[static_cast<std::size_t>(W) * c + i]);
            i32 q = static_cast<i32>(static_cast<float>(sum) * inv);
            const i32 r = sum - q * n;
            q += (r >= n ? 1 : 0) - (r < 0 ? 1 : 0);
            o |= static_cast<u32>(q) << (8 * c);
        }
        out[i] = o;
    }
}

template <class T>
PIXEL_LOOP_CLONES void AddSpan(u32* col, const T* r, std::size_t n, bool add) {
    if (add) for (std::size_t k = 0; k < n; ++k) col[k] += r[k];
    else for (std::size_t k = 0; k < n; ++k) col[k] -= r[k];
}

// The column sums of the blur take one row's window sums in and another's out in one pass.
template <class T>
PIXEL_LOOP_CLONES void SlideSpan(u32* col, const T* in, const T* out, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) col[k] += static_cast<u32>(in[k]) - static_cast<u32>(out[k]);
}

// A blurred row written back: each pixel whose window held a pixel and that is not itself
// transparent (key mask km, value kv on the stored pixels; kv outside the mask matches none)
// takes its average, at 16 bits from channel values to stored ones.
template <bool Sixteen>
PIXEL_LOOP_CLONES void BlurStore(u32* d, const u32* s, const u32* avg, const u32* cn, int n, u32 km, u32 kv) {
    const cGridMath g = g_Grid.math;
    for (int i = 0; i < n; ++i) {
        const u32 v = Sixteen ? GridMathFromRaw(avg[i], g) : avg[i];
        d[i] = (cn[i] != 0 && (s[i] & km) != kv) ? v : d[i];
    }
}

// The quotient of a window's sum by its count without the correction step of BlurAverages,
// for counts up to kBlurQuickCount: the product by the rounded reciprocal and the addition
// below land within 2^-15 + 2^-17 of the exact quotient plus the lift (the quotient is at most
// 255), and a quotient that is not whole lies at least 1/n below the next whole number, so a
// lift of 2^-13 (more than the error, less than 1/n less the error) truncates to the quotient
// rounded down exactly.
constexpr i64 kBlurQuickCount = 4096;
constexpr float kBlurQuickLift = 1.0f / 8192.0f;

// One row of the blur in one pass over its columns [b, e): the column sums take the window
// sums of row in in and those of row out out (planar, W apart), and the averages go straight
// to the stored pixels, as BlurAverages and BlurStore would put them. With d null the row is
// only slid (it lies outside the target); else d is the target pixel of column b.
template <class T, bool Sixteen>
PIXEL_LOOP_CLONES void BlurSlideStore(u32* __restrict c0, u32* __restrict c1, u32* __restrict c2, u32* __restrict c3,
                                      u32* __restrict cn, const T* __restrict in, const T* __restrict out, std::size_t w,
                                      i32 b, i32 e, u32* d, const u32* s, u32 km, u32 kv) {
    if (!d) {
        for (i32 i = b; i < e; ++i) {
            c0[i] += static_cast<u32>(in[i]) - static_cast<u32>(out[i]);
            c1[i] += static_cast<u32>(in[w + i]) - static_cast<u32>(out[w + i]);
            c2[i] += static_cast<u32>(in[2 * w + i]) - static_cast<u32>(out[2 * w + i]);
            c3[i] += static_cast<u32>(in[3 * w + i]) - static_cast<u32>(out[3 * w + i]);
            cn[i] += static_cast<u32>(in[4 * w + i]) - static_cast<u32>(out[4 * w + i]);
        }
        return;
    }
    const cGridMath g = g_Grid.math;
    const u32 x0 = g.max[0], x1 = g.max[1], x2 = g.max[2], x3 = g.max[3];
    const u32 m0 = g.mul[0], m1 = g.mul[1], m2 = g.mul[2], m3 = g.mul[3];
    const u32 h0 = g.shift[0], h1 = g.shift[1], h2 = g.shift[2], h3 = g.shift[3];
    for (i32 i = b; i < e; ++i) {
        const u32 s0 = c0[i] + static_cast<u32>(in[i]) - static_cast<u32>(out[i]);
        const u32 s1 = c1[i] + static_cast<u32>(in[w + i]) - static_cast<u32>(out[w + i]);
        const u32 s2 = c2[i] + static_cast<u32>(in[2 * w + i]) - static_cast<u32>(out[2 * w + i]);
        const u32 s3 = c3[i] + static_cast<u32>(in[3 * w + i]) - static_cast<u32>(out[3 * w + i]);
        const u32 n = cn[i] + static_cast<u32>(in[4 * w + i]) - static_cast<u32>(out[4 * w + i]);
        c0[i] = s0;
        c1[i] = s1;
        c2[i] = s2;
        c3[i] = s3;
        cn[i] = n;
        const i32 nn = static_cast<i32>(n + (n == 0));
        const float inv = 1.0f / static_cast<float>(nn);
        const u32 q0 = static_cast<u32>(static_cast<i32>(static_cast<float>(static_cast<i32>(s0)) * inv + kBlurQuickLift));
        const u32 q1 = static_cast<u32>(static_cast<i32>(static_cast<float>(static_cast<i32>(s1)) * inv + kBlurQuickLift));
        const u32 q2 = static_cast<u32>(static_cast<i32>(static_cast<float>(static_cast<i32>(s2)) * inv + kBlurQuickLift));
        const u32 q3 = static_cast<u32>(static_cast<i32>(static_cast<float>(static_cast<i32>(s3)) * inv + kBlurQuickLift));
        u32 v;
        if constexpr (Sixteen)
            v = GridMathExpandLane(q0, x0, m0, h0) | GridMathExpandLane(q1, x1, m1, h1) << 8 |
                GridMathExpandLane(q2, x2, m2, h2) << 16 | GridMathExpandLane(q3, x3, m3, h3) << 24;
        else v = q0 | q1 << 8 | q2 << 16 | q3 << 24;
        const u32 take = 0u - static_cast<u32>((n != 0) & ((s[i] & km) != kv));
        d[i - b] = (v & take) | (d[i - b] & ~take);
    }
}

// The blur's buffers, kept from call to call.
struct BlurBuffers {
    std::vector<u16> rows16, planar16, scratch16, zeros16;
    std::vector<u32> rows32, planar32, col, zeros32, avg;
    void Size(const BlurJob& b) {
        constexpr int kC = 5;
        if (b.narrow) {
            rows16.resize(static_cast<std::size_t>(b.W) * kC * b.ring);
            planar16.resize(static_cast<std::size_t>(b.W + 2 * b.rx) * kC);
            scratch16.resize(static_cast<std::size_t>(b.W + 2 * b.rx) * kC * 2);
        } else {
            rows32.resize(static_cast<std::size_t>(b.W) * kC * b.ring);
            planar32.resize(static_cast<std::size_t>(b.W + 2 * b.rx) * kC);
        }
        col.assign(static_cast<std::size_t>(b.W) * kC, 0);
        avg.resize(static_cast<std::size_t>(b.W));
    }
};

// The window sums of the rectangle's row j into its ring slot.
[[gnu::always_inline]] inline void BlurRowIntoRing(const BlurJob& b, BlurBuffers& m, i32 j) {
    const std::size_t at = static_cast<std::size_t>(j % b.ring) * b.n;
    const u32* s = b.Src(j);
    if (b.narrow) {
        if (b.sixteen) BlurRowSums<u16, true>(s, b.W, b.rx, b.km, b.kv, m.planar16.data(), m.rows16.data() + at, m.scratch16.data());
        else BlurRowSums<u16, false>(s, b.W, b.rx, b.km, b.kv, m.planar16.data(), m.rows16.data() + at, m.scratch16.data());
    } else {
        if (b.sixteen) BlurRowSums<u32, true>(s, b.W, b.rx, b.km, b.kv, m.planar32.data(), m.rows32.data() + at, nullptr);
        else BlurRowSums<u32, false>(s, b.W, b.rx, b.km, b.kv, m.planar32.data(), m.rows32.data() + at, nullptr);
    }
}

// The column sums take row a in and row o out (either may lie outside the rectangle).
[[gnu::always_inline]] inline void BlurSlide(const BlurJob& b, BlurBuffers& m, i32 a, i32 o) {
    const bool in = a >= 0 && a < b.H, out = o >= 0 && o < b.H;
    if (in) BlurRowIntoRing(b, m, a);
    const std::size_t at = static_cast<std::size_t>((in ? a : 0) % b.ring) * b.n, bt = static_cast<std::size_t>((out ? o : 0) % b.ring) * b.n;
    if (b.narrow) {
        if (in && out) SlideSpan<u16>(m.col.data(), m.rows16.data() + at, m.rows16.data() + bt, b.n);
        else if (in || out) AddSpan<u16>(m.col.data(), m.rows16.data() + (in ? at : bt), b.n, in);
    } else {
        if (in && out) SlideSpan<u32>(m.col.data(), m.rows32.data() + at, m.rows32.data() + bt, b.n);
        else if (in || out) AddSpan<u32>(m.col.data(), m.rows32.data() + (in ? at : bt), b.n, in);
    }
}

// One row j of the one-pass blur (BlurSlideStore) from the ring of T entries: row a's sums
// come in and row o's go (a row outside the rectangle as a row of zeros); the target's
// columns a0 .. a1 of the row (d at a0, null where the row lies outside the target) are
// stored, the others only slid.
template <class T>
[[gnu::always_inline]] inline void BlurQuickRow(const BlurJob& b, BlurBuffers& m, const T* rows, const T* zeros, i32 j,
                                                i32 a, i32 o, i32 a0, i32 a1, u32* d) {
    const bool in = a >= 0 && a < b.H, out = o >= 0 && o < b.H;
    const std::size_t at = static_cast<std::size_t>((in ? a : 0) % b.ring) * b.n, bt = static_cast<std::size_t>((out ? o : 0) % b.ring) * b.n;
    const T* ri = in ? rows + at : zeros;
    const T* ro = out ? rows + bt : zeros;
    const u32* s = b.Src(j);
    auto run = [&](i32 b0, i32 b1, u32* dd) {
        if (b0 >= b1) return;
        u32* c = m.col.data();
        const std::size_t w = static_cast<std::size_t>(b.W);
        if (b.sixteen) BlurSlideStore<T, true>(c, c + w, c + 2 * w, c + 3 * w, c + 4 * w, ri, ro, w, b0, b1, dd, s, b.skm, b.skv);
        else BlurSlideStore<T, false>(c, c + w, c + 2 * w, c + 3 * w, c + 4 * w, ri, ro, w, b0, b1, dd, s, b.skm, b.skv);
    };
    if (!d) return run(0, b.W, nullptr);
    run(0, a0, nullptr);
    run(a0, a1, d);
    run(a1, b.W, nullptr);
}

// Small windows: each row slid, averaged and stored in one pass.
[[gnu::always_inline]] inline void BlurRowsQuick(const BlurJob& b, BlurBuffers& m) {
    if (b.narrow) m.zeros16.assign(b.n, 0);
    else m.zeros32.assign(b.n, 0);
    const Locked& lk = *b.lk;
    const i64 tx0 = static_cast<i64>(b.x) + b.i0;
    const i32 a0 = static_cast<i32>(std::clamp<i64>(-tx0, 0, b.W)), a1 = static_cast<i32>(std::clamp<i64>(lk.dst.nWidth - tx0, a0, b.W));
    for (i32 j = 0; j < b.H; ++j) {
        const i32 a = j + b.ry - 1, o = j - b.ry - 1;
        if (a >= 0 && a < b.H) BlurRowIntoRing(b, m, a);
        const i64 ty = static_cast<i64>(b.y) + b.j0 + j;
        const bool shown = ty >= 0 && ty < lk.dst.nHeight && a0 < a1;
        u32* d = shown ? lk.dst.lpPixels + ty * lk.dst.nPitch + tx0 + a0 : nullptr;
        if (b.narrow) BlurQuickRow<u16>(b, m, m.rows16.data(), m.zeros16.data(), j, a, o, a0, a1, d);
        else BlurQuickRow<u32>(b, m, m.rows32.data(), m.zeros32.data(), j, a, o, a0, a1, d);
    }
}

// Any window: each row slid, then its averages taken (exactly, by BlurAverages while the
// counts allow), then stored.
[[gnu::always_inline]] inline void BlurRowsExact(const BlurJob& b, BlurBuffers& m) {
    const Locked& lk = *b.lk;
    const i32 W = b.W;
    const u32* col = m.col.data();
    u32* avg = m.avg.data();
    for (i32 j = 0; j < b.H; ++j) {
        // Row j + ry - 1 comes into the window and row j - ry - 1, the last one's first, goes.
        BlurSlide(b, m, j + b.ry - 1, j - b.ry - 1);
        const i64 ty = static_cast<i64>(b.y) + b.j0 + j;
        if (ty < 0 || ty >= lk.dst.nHeight) continue;
        const u32* cn = col + static_cast<std::size_t>(W) * 4;
        if (4 * static_cast<i64>(b.rx) * b.ry < 65536) {
            BlurAverages(col, W, avg);
        } else {
            for (i32 i = 0; i < W; ++i) {
                const u32 c = cn[i] ? cn[i] : 1;
                avg[i] = (col[3 * W + i] / c) << 24 | (col[2 * W + i] / c) << 16 | (col[W + i] / c) << 8 | (col[i] / c);
            }
        }
        const u32* s = b.Src(j);
        u32* d = lk.dst.lpPixels + ty * lk.dst.nPitch;
        const i64 tx0 = static_cast<i64>(b.x) + b.i0;
        const i32 a0 = static_cast<i32>(std::max<i64>(0, -tx0)), a1 = static_cast<i32>(std::min<i64>(W, lk.dst.nWidth - tx0));
        if (a0 < a1) {
            if (b.sixteen) BlurStore<true>(d + tx0 + a0, s + a0, avg + a0, cn + a0, a1 - a0, b.skm, b.skv);
            else BlurStore<false>(d + tx0 + a0, s + a0, avg + a0, cn + a0, a1 - a0, b.skm, b.skv);
        }
    }
}

} // namespace

void DDBlur(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 radiusX, i32 radiusY, DDSURFACEDATA* src, i32 sx,
            i32 sy, u32 key) {
    if (g_nBpp == 8) {
        DebugLog("8ビットぼかしは不可能！");
        return;
    }
    if (radiusX <= 0 || radiusY <= 0 || w <= 0 || h <= 0) return;
    Locked lk(dst, src);
    if (!lk.ok) return;
    const KeyTest isKey = ModeKeyTest();
    const bool skip = key == 1;
    // The box of a pixel: offsets -r .. r - 1 on each axis, inside the rectangle and the
    // source. Sums by sliding windows, first along the rows, then down the columns.
    const i64 i0 = std::max<i64>(0, -static_cast<i64>(sx)), i1 = std::min<i64>(w, lk.src.nWidth - static_cast<i64>(sx));
    const i64 j0 = std::max<i64>(0, -static_cast<i64>(sy)), j1 = std::min<i64>(h, lk.src.nHeight - static_cast<i64>(sy));
    if (i0 >= i1 || j0 >= j1) return;
    const i32 W = static_cast<i32>(i1 - i0), H = static_cast<i32>(j1 - j0);
    // At 16 bits the channel values are averaged: each pixel is read as its values (one
    // to one, so the key test holds on them too) and the averages are stored back.
    const bool sixteen = g_Grid.on;
    const u32 km = skip ? isKey.mask : 0u, kv = skip ? (sixteen ? GridRaw(isKey.value) & isKey.mask : isKey.value) : 1u;
    // The same test on the stored pixels, as written back.
    const u32 skm = skip ? isKey.mask : 0u, skv = skip ? isKey.value : 1u;
    const BlurJob b{&lk, x, y, sx, sy, i0, j0, W, H, radiusX, radiusY, 2 * radiusY + 1, static_cast<std::size_t>(W) * 5,
                    sixteen, radiusX <= kBlurDirect, km, kv, skm, skv};
    if (BlurInBlocks(b)) return;
    thread_local BlurBuffers m;
    m.Size(b);
    // The row pass read every source pixel; only the key tests of a row's own pixels are
    // made again, before that row is written (the target may be the source).
    for (i32 j = -b.ry; j < b.ry - 1; ++j) BlurSlide(b, m, j, -1);
    if (4 * static_cast<i64>(b.rx) * b.ry <= kBlurQuickCount) BlurRowsQuick(b, m);
    else BlurRowsExact(b, m);
}
