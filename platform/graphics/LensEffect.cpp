// The lens: each pixel inside the circle takes the source pixel its offsets from the centre point
// at, the offsets growing toward the rim by the strength.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "platform/graphics/GeometricEffects.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Raster.h"

using namespace geometric_effects;

namespace {
// Target columns dx0 .. dx1 of a lens row, all inside the circle, on one side of the centre
// (sign -1: left, the offsets negated): each takes the source pixel at its offsets, or is
// cleared to cv (Clear) or left where that lies outside the source or is transparent.
template <bool Clear>
void LensSpan(u32* row, i64 dx0, i64 dx1, i64 sign, const i64* ox, const i64* oy, i64 base, i64 sgy, i64 scx,
              i64 scy, const u32* sp, i64 sw, i64 sh, i64 pitch, u32 km, u32 kv, u32 cv) {
    for (i64 dx = dx0; dx <= dx1; ++dx) {
        const i64 adx = dx * sign - base;
        const i64 px = scx + sign * ox[adx], py = scy + sgy * oy[adx];
        if (px < 0 || py < 0 || px >= sw || py >= sh) {
            if (Clear) row[dx] = cv;
            continue;
        }
        const u32 p = sp[py * pitch + px];
        if ((p & km) == kv) {
            if (Clear) row[dx] = cv;
            continue;
        }
        row[dx] = p;
    }
}

// The offsets of |dx| = lo + i (i < n; the tables hold n rounded up to four) in the row of
// |dy| from their roots st[i] (see DDBltLens), four at a time, where the offsets lie within 32
// bits and the products are exact as doubles: the same quotients as one at a time, so the
// same values.
typedef double LensD __attribute__((vector_size(32)));
typedef i64 LensL __attribute__((vector_size(32)));
typedef i32 LensI __attribute__((vector_size(16)));
PIXEL_LOOP_CLONES void LensOffsets(int n, const double* st, double lo, double ady, double k, double fy, i32* ox, i32* oy,
                                   i32* oxUp, i32* oyUp) {
    const LensD zero = {}, one = zero + 1;
    for (int i = 0; i < n; i += 4) {
        LensD root;
        std::memcpy(&root, st + i, sizeof root);
        const LensD adx = LensD{0, 1, 2, 3} + (lo + i);
        const LensL flat = root == zero;
        const LensD den = flat ? one : root;
        const LensD qx = flat ? adx : adx * k / den, qy = flat ? zero + ady : fy / den;
        const LensI fx = __builtin_convertvector(qx, LensI), fyv = __builtin_convertvector(qy, LensI);
        // A comparison is -1 where true.
        const LensI ux = fx - __builtin_convertvector(__builtin_convertvector(fx, LensD) != qx, LensI);
        const LensI uy = fyv - __builtin_convertvector(__builtin_convertvector(fyv, LensD) != qy, LensI);
        std::memcpy(ox + i, &fx, sizeof fx);
        std::memcpy(oy + i, &fyv, sizeof fyv);
        std::memcpy(oxUp + i, &ux, sizeof ux);
        std::memcpy(oyUp + i, &uy, sizeof uy);
    }
}

// The offsets of |dx| = lo + i (i < n; the tables hold n rounded up to eight) in the row of
// |dy| as LensOffsets gives them, without its square roots and divisions, where rest = D² - dy²,
// the roots' squares t = rest - dx² and the numerators |dx| * k and |dy| * k lie below 2^24
// (whole numbers exact as floats). The quotient q = |d| * k / √t comes from a reciprocal root
// within 2^-21 of it (LensRecipRoot), so the true quotient lies within q * 2^-20 of q: where
// no whole number lies that near, the true quotient is not whole, its floor is q's and the
// rounded-up offset one more; the double quotient the rule takes lies far nearer the true one
// than that, so it rounds the same. The columns left (a whole number near, or t = 0) are
// computed by the rule one at a time.
typedef float LensF __attribute__((vector_size(32)));
typedef i32 LensV __attribute__((vector_size(32)));

// The reciprocal square roots of whole numbers 1 <= t < 2^24, each within 2^-21 of the true
// one. x86: the processor's estimate, which the instruction set bounds by 1.5 * 2^-12 on every
// processor, and one Newton step, which leaves about 1.5 times its square (2^-22.2) plus its own
// roundings (2^-21.8 at worst over every t on the processor this was measured on). Elsewhere a
// first guess from the bits and three Newton steps (within 2^-22, checked for every t).
[[gnu::always_inline]] inline void LensRecipRoot(const LensF& tf, LensF& y) {
    const LensF half = tf * 0.5f;
#if defined(__SSE__)
    typedef float F4 __attribute__((vector_size(16)));
    const F4 lo = (F4)_mm_rsqrt_ps((__m128)__builtin_shufflevector(tf, tf, 0, 1, 2, 3));
    const F4 hi = (F4)_mm_rsqrt_ps((__m128)__builtin_shufflevector(tf, tf, 4, 5, 6, 7));
    y = __builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7);
    y = y * (1.5f - half * y * y);
#else
    LensV bits;
    std::memcpy(&bits, &tf, sizeof bits);
    bits = 0x5f3759df - (bits >> 1);
    std::memcpy(&y, &bits, sizeof y);
    for (int step = 0; step < 3; ++step) y = y * (1.5f - half * y * y);
#endif
}

PIXEL_LOOP_CLONES void LensOffsetsNear(int n, i32 lo, i32 ady, i32 k, i32 rest, i32* ox, i32* oy, i32* oxUp, i32* oyUp) {
    const LensV lane = {0, 1, 2, 3, 4, 5, 6, 7};
    const i32 by = ady * k;
    const float fb = static_cast<float>(by);
    for (int i = 0; i < n; i += 8) {
        const LensV adx = lane + (lo + i);
        const LensV t = rest - adx * adx;
        // Past the chord (the padding) t may be 0 or less: those lanes are not kept.
        const LensF tf = __builtin_convertvector(t > 0 ? t : LensV{} + 1, LensF);
        LensF y;
        LensRecipRoot(tf, y);
        const LensV ax = adx * k;
        const LensF qx = __builtin_convertvector(ax, LensF) * y, qy = fb * y;
        // The quotients are not negative: truncation is the floor.
        const LensV nx = __builtin_convertvector(qx, LensV), ny = __builtin_convertvector(qy, LensV);
        const LensF fx = __builtin_convertvector(nx, LensF), fy = __builtin_convertvector(ny, LensF);
        const LensF mx = qx * 0x1p-20f, my = qy * 0x1p-20f;
        // A numerator of 0 gives 0 both ways.
        const LensV zx = ax == 0, zy = LensV{} + (by == 0 ? -1 : 0);
        const LensV sure = (t > 0) & (zx | ((qx - mx > fx) & (qx + mx < fx + 1))) & (zy | ((qy - my > fy) & (qy + my < fy + 1)));
        const LensV ux = nx - ~zx, uy = ny - ~zy;
        std::memcpy(ox + i, &nx, sizeof nx);
        std::memcpy(oy + i, &ny, sizeof ny);
        std::memcpy(oxUp + i, &ux, sizeof ux);
        std::memcpy(oyUp + i, &uy, sizeof uy);
        u64 w[4];
        std::memcpy(w, &sure, sizeof w);
        if ((w[0] & w[1] & w[2] & w[3]) == ~u64{0}) continue;
        for (int l = 0; l < 8 && i + l < n; ++l) {
            if (sure[l]) continue;
            const i64 a = adx[l];
            const double root = std::sqrt(static_cast<double>(t[l]));
            const double qxd = root != 0 ? static_cast<double>(a * k) / root : static_cast<double>(a);
            const double qyd = root != 0 ? static_cast<double>(by) / root : static_cast<double>(ady);
            const i32 gx = static_cast<i32>(qxd), gy = static_cast<i32>(qyd);
            ox[i + l] = gx;
            oy[i + l] = gy;
            oxUp[i + l] = gx + (static_cast<double>(gx) != qxd);
            oyUp[i + l] = gy + (static_cast<double>(gy) != qyd);
        }
    }
}

// LensSpan with the offsets of 32 bits (LensOffsets), eight columns at a time: n target
// columns from `at` on, stepping by Dir (1 rightwards, -1 leftwards), the j-th reading the
// offsets ox[j], oy[j] times the signs (sgx is Dir). The offsets lie within 2^30 and the
// coordinates within 32 bits, so the sums, taken as unsigned numbers, fall inside the source
// exactly when the true ones do; a texel outside reads the first pixel instead and is not drawn.
// Monotone: the offsets never fall from one column to the next (no root of 0 in the row; see
// DDBltLens). Then eight columns nearly always read within eight source columns of at most two
// neighbouring source rows (the lens magnifies or bends gently), which the two ends of the
// eight show: two loads of eight texels, each permuted, replace eight single loads.
template <int Dir, bool Clear, bool Monotone>
PIXEL_LOOP_CLONES void LensRun(u32* row, i64 at, int n, const i32* ox, const i32* oy, i32 sgx, i32 sgy, u32 scx, u32 scy,
                               const u32* sp, u32 sw, u32 sh, u32 pitch, u32 km, u32 kv, u32 cv) {
    typedef i32 VI __attribute__((vector_size(32)));
    typedef u32 VU __attribute__((vector_size(32)));
    constexpr int kLanes = 8;
    // -1 where the rows are mirrored: (v ^ neg) - neg is v * sgy without a multiplication.
    const VI neg = VI{} + (sgy < 0 ? -1 : 0);
    // Without a key test (no value matches) every texel read inside the source is drawn.
    const bool unkeyed = km == 0 && kv != 0;
    int j = 0;
    for (; j + kLanes <= n; j += kLanes) {
        VI vx, vy;
        std::memcpy(&vx, ox + j, sizeof vx);
        std::memcpy(&vy, oy + j, sizeof vy);
        VU t{}, m{}; // set by one of the two reads below (clang cannot see that)
        bool near = false;
        if constexpr (Monotone) {
            const i32 xf = ox[j], xl = ox[j + kLanes - 1], yf = oy[j], yl = oy[j + kLanes - 1];
            // The leftmost source column: the first lane's rightwards, the last one's leftwards.
            const u32 base = Dir > 0 ? scx + static_cast<u32>(xf) : scx - static_cast<u32>(xl);
            const u32 ya = scy + static_cast<u32>(yf * sgy), yb = scy + static_cast<u32>(yl * sgy);
            near = static_cast<u32>(xl - xf) < kLanes && static_cast<u32>(yl - yf) <= 1 && sw >= kLanes &&
                   base <= sw - kLanes && ya < sh && yb < sh;
            if (near) {
                VU col = Dir > 0 ? (VU)(vx - xf) : (VU)(xl - vx);
                VU inA = (VU)(vy == yf);
                if constexpr (Dir < 0) {
                    // Leftwards the eight columns lie at at - j - 7 .. at - j, the last lane first.
                    col = __builtin_shufflevector(col, col, 7, 6, 5, 4, 3, 2, 1, 0);
                    inA = __builtin_shufflevector(inA, inA, 7, 6, 5, 4, 3, 2, 1, 0);
                }
                VU a, b;
                std::memcpy(&a, sp + ya * pitch + base, sizeof a);
                std::memcpy(&b, sp + yb * pitch + base, sizeof b);
                VU ta, tb;
                PermuteLanes(a, col, ta);
                PermuteLanes(b, col, tb);
                t = (ta & inA) | (tb & ~inA);
                if (unkeyed) {
                    std::memcpy(Dir > 0 ? row + at + j : row + at - j - (kLanes - 1), &t, sizeof t);
                    continue;
                }
                m = (VU)((t & km) != kv);
            }
        }
        if (!near) {
            const VU px = scx + (VU)(vx * sgx), py = scy + (VU)((vy ^ neg) - neg);
            const VU in = (VU)((px < sw) & (py < sh));
            const VU idx = (py * pitch + px) & in;
            for (int k = 0; k < kLanes; ++k) t[k] = sp[idx[k]];
            m = in & (VU)((t & km) != kv);
            if constexpr (Dir < 0) {
                t = __builtin_shufflevector(t, t, 7, 6, 5, 4, 3, 2, 1, 0);
                m = __builtin_shufflevector(m, m, 7, 6, 5, 4, 3, 2, 1, 0);
            }
        }
        u32* d = Dir > 0 ? row + at + j : row + at - j - (kLanes - 1);
        VU o;
        if constexpr (Clear) {
            o = (t & m) | (cv & ~m);
        } else {
            std::memcpy(&o, d, sizeof o);
            o = (t & m) | (o & ~m);
        }
        std::memcpy(d, &o, sizeof o);
    }
    for (; j < n; ++j) {
        const u32 px = scx + static_cast<u32>(ox[j] * sgx), py = scy + static_cast<u32>(oy[j] * sgy);
        u32& d = row[at + Dir * j];
        if (px >= sw || py >= sh) {
            if (Clear) d = cv;
            continue;
        }
        const u32 t = sp[py * pitch + px];
        if ((t & km) == kv) {
            if (Clear) d = cv;
            continue;
        }
        d = t;
    }
}
// The source a lens reads, its key test (without the test no pixel value matches) and the
// value of a cleared pixel.
struct LensSource {
    const u32* sp;
    i64 scx, scy, sw, sh, pitch;
    u32 km, kv, cv;
};

// The columns of a row of |dy| that lie inside both the circle (|dx| <= e) and the target
// (x0 .. x1): in0 .. in1 as offsets from the centre, lo .. hi as |dx| (hi < lo: none); rim:
// the chord ends on the circle itself (e² + dy² = r²).
struct LensChord {
    i64 in0, in1, lo, hi;
    bool rim;
};
[[gnu::always_inline]] inline LensChord LensChordOf(i64 r2, i64 ady, i64 x0, i64 x1) {
    const i64 rest = r2 - ady * ady;
    i64 e = static_cast<i64>(std::sqrt(static_cast<double>(rest)));
    while (e * e > rest) --e;
    while ((e + 1) * (e + 1) <= rest) ++e;
    const i64 in0 = std::max(x0, -e), in1 = std::min(x1, e);
    const i64 lo = in0 > in1 ? 0 : (in0 <= 0 && in1 >= 0) ? 0 : std::min(std::abs(in0), std::abs(in1));
    const i64 hi = in0 > in1 ? -1 : std::max(std::abs(in0), std::abs(in1));
    return {in0, in1, lo, hi, e * e == rest};
}

// The roots of t = D² - (dx² + dy²) for |dx| = lo .. hi into st[|dx| - lo], two at a time
// (the second of the last pair falls on the padding).
[[gnu::always_inline]] inline void LensRoots(double* st, i64 lo, i64 hi, i64 ady, i64 D2) {
    for (i64 adx = lo; adx <= hi; ++adx) st[static_cast<std::size_t>(adx - lo)] = static_cast<double>(D2 - (adx * adx + ady * ady));
    for (i64 adx = lo; adx <= hi; adx += 2) {
        double* at = st + (adx - lo);
#if defined(__SSE2__)
        _mm_storeu_pd(at, _mm_sqrt_pd(_mm_loadu_pd(at)));
#else
        at[0] = std::sqrt(at[0]);
        at[1] = std::sqrt(at[1]);
#endif
    }
}

// The offset tables of a row of |dy|, index |dx| - lo, each with room for the last block of
// four (LensOffsets): 32 bits where the offsets fit (narrow), else 64. Kept from call to call.
struct LensTables {
    std::vector<i64> ox, oy, oxUp, oyUp;
    std::vector<i32> ox32, oy32, oxUp32, oyUp32;
    std::vector<double> st;
    void Size(std::size_t cols, bool narrow) {
        st.resize(cols + 3);
        if (narrow) {
            // Room for the last block of eight (LensOffsetsNear).
            ox32.resize(cols + 7);
            oy32.resize(cols + 7);
            oxUp32.resize(cols + 7);
            oyUp32.resize(cols + 7);
        } else {
            ox.resize(cols + 3);
            oy.resize(cols + 3);
            oxUp.resize(cols + 3);
            oyUp.resize(cols + 3);
        }
    }
};

// The 32-bit offset tables of every row of the last lens (LensOffsetsNear), row after row, each
// row's four tables `stride` apart, and what they were computed for.
struct LensKept {
    static constexpr std::size_t kMost = std::size_t(1) << 20; // entries: 4 MB
    i64 r = -1, k = 0, x0 = 0, x1 = 0, ar0 = 0, ar1 = 0;
    bool full = false;
    std::vector<i32> v;
    // Whether the lens is the last one; remembers it either way.
    bool Same(i64 r_, i64 k_, i64 x0_, i64 x1_, i64 ar0_, i64 ar1_) {
        const bool same = r == r_ && k == k_ && x0 == x0_ && x1 == x1_ && ar0 == ar0_ && ar1 == ar1_;
        r = r_, k = k_, x0 = x0_, x1 = x1_, ar0 = ar0_, ar1 = ar1_;
        if (!same) full = false;
        return same;
    }
};

// The source offsets of |dx| = lo .. hi in the row of |dy| from their roots: the quotients
// dx * strength / √t and dy * strength / √t, or (dx, dy) where the root is 0, rounded down
// (ox, oy) and up (oxUp, oyUp). The quotients are of non-negative values: rounded down by
// truncation, up by one more where the quotient is not whole.
[[gnu::always_inline]] inline void LensRowOffsets(LensTables& t, bool narrow, const LensChord& c, i64 ady, i64 k) {
    double* const st = t.st.data();
    const double fy = static_cast<double>(ady * k);
    if (narrow) {
        // Four at a time: the padding past hi takes roots of 1.
        const std::size_t n = static_cast<std::size_t>(c.hi - c.lo + 1);
        for (std::size_t i = n; i < (n + 3) / 4 * 4; ++i) st[i] = 1;
        LensOffsets(static_cast<int>(n), st, static_cast<double>(c.lo), static_cast<double>(ady), static_cast<double>(k), fy,
                    t.ox32.data(), t.oy32.data(), t.oxUp32.data(), t.oyUp32.data());
        return;
    }
    i64* const tox = t.ox.data();
    i64* const toy = t.oy.data();
    i64* const toxUp = t.oxUp.data();
    i64* const toyUp = t.oyUp.data();
    for (i64 adx = c.lo; adx <= c.hi; ++adx) {
        const std::size_t at = static_cast<std::size_t>(adx - c.lo);
        const double root = st[at];
        double qx = static_cast<double>(adx), qy = static_cast<double>(ady);
        if (root != 0) {
#if defined(__SSE2__)
            // Both quotients by one division of a pair.
            const __m128d q = _mm_div_pd(_mm_set_pd(fy, static_cast<double>(adx * k)), _mm_set1_pd(root));
            qx = _mm_cvtsd_f64(q);
            qy = _mm_cvtsd_f64(_mm_unpackhi_pd(q, q));
#else
            qx = static_cast<double>(adx * k) / root;
            qy = fy / root;
#endif
        }
        const i64 fx = static_cast<i64>(qx), fyv = static_cast<i64>(qy);
        tox[at] = fx;
        toy[at] = fyv;
        toxUp[at] = fx + (static_cast<double>(fx) != qx);
        toyUp[at] = fyv + (static_cast<double>(fyv) != qy);
    }
}

// One target row of dy (row points at the centre's column) from the 32-bit tables, eight
// columns at a time (LensRun): leftwards from mid (|dx| = -mid), rightwards from max(in0, 0).
struct LensRow32 {
    i32 *ox, *oy, *oxUp, *oyUp;
};
template <bool Clear, bool Monotone>
[[gnu::always_inline]] inline void LensRowNarrowOf(u32* row, const LensChord& c, i64 dy, const LensSource& s,
                                                   const LensRow32& t) {
    const i64 mid = std::min(c.in1, i64(-1));
    const i32* ty = dy < 0 ? t.oyUp : t.oy;
    const u32 usx = static_cast<u32>(s.scx), usy = static_cast<u32>(s.scy), usw = static_cast<u32>(s.sw),
              ush = static_cast<u32>(s.sh), up = static_cast<u32>(s.pitch);
    const i32 sg = dy < 0 ? -1 : 1;
    if (mid >= c.in0) {
        const std::size_t t0 = static_cast<std::size_t>(-mid - c.lo);
        const int n = static_cast<int>(mid - c.in0 + 1);
        LensRun<-1, Clear, Monotone>(row, mid, n, t.oxUp + t0, ty + t0, -1, sg, usx, usy, s.sp, usw, ush, up, s.km,
                                     s.kv, s.cv);
    }
    const i64 r0 = std::max(c.in0, i64(0));
    if (c.in1 >= r0) {
        const std::size_t t0 = static_cast<std::size_t>(r0 - c.lo);
        const int n = static_cast<int>(c.in1 - r0 + 1);
        LensRun<1, Clear, Monotone>(row, r0, n, t.ox + t0, ty + t0, 1, sg, usx, usy, s.sp, usw, ush, up, s.km, s.kv, s.cv);
    }
}
[[gnu::always_inline]] inline void LensRowNarrow(u32* row, const LensChord& c, i64 dy, bool clear, bool monotone,
                                                  const LensSource& s, const LensRow32& t) {
    if (clear) {
        if (monotone) LensRowNarrowOf<true, true>(row, c, dy, s, t);
        else LensRowNarrowOf<true, false>(row, c, dy, s, t);
    } else {
        if (monotone) LensRowNarrowOf<false, true>(row, c, dy, s, t);
        else LensRowNarrowOf<false, false>(row, c, dy, s, t);
    }
}

// The same row from the 64-bit tables, a column at a time (LensSpan).
[[gnu::always_inline]] inline void LensRowWide(u32* row, const LensChord& c, i64 dy, bool clear, const LensSource& s,
                                                const LensTables& t) {
    const i64 mid = std::min(c.in1, i64(-1)), r0 = std::max(c.in0, i64(0));
    const i64 sgy = dy < 0 ? -1 : 1;
    const i64* ty = dy < 0 ? t.oyUp.data() : t.oy.data();
    const i64 *oxl = t.oxUp.data(), *oxr = t.ox.data();
    if (clear) {
        LensSpan<true>(row, c.in0, mid, -1, oxl, ty, c.lo, sgy, s.scx, s.scy, s.sp, s.sw, s.sh, s.pitch, s.km, s.kv, s.cv);
        LensSpan<true>(row, r0, c.in1, 1, oxr, ty, c.lo, sgy, s.scx, s.scy, s.sp, s.sw, s.sh, s.pitch, s.km, s.kv, s.cv);
    } else {
        LensSpan<false>(row, c.in0, mid, -1, oxl, ty, c.lo, sgy, s.scx, s.scy, s.sp, s.sw, s.sh, s.pitch, s.km, s.kv, s.cv);
        LensSpan<false>(row, r0, c.in1, 1, oxr, ty, c.lo, sgy, s.scx, s.scy, s.sp, s.sw, s.sh, s.pitch, s.km, s.kv, s.cv);
    }
}

// The rows of the target readied so far (LensRows): one run around the first rows asked for,
// grown a band at a time, so that the rows are readied shortly before the lens reaches them and
// are still in the cache when it does.
struct LensReady {
    static constexpr i64 kBand = 16;
    const LensRows* rows;
    i64 height, top = 0, bottom = 0;
    bool any = false;
    // Rows a .. b (cut to the target) ready.
    void Need(i64 a, i64 b) {
        if (!rows) return;
        a = std::max<i64>(a, 0);
        b = std::min(b, height - 1);
        if (a > b) return;
        if (!any) {
            top = bottom = a;
            any = true;
        }
        if (a < top) {
            const i64 t = std::max<i64>(0, std::min(a, top - kBand));
            rows->fn(rows->ctx, static_cast<i32>(t), static_cast<i32>(top));
            top = t;
        }
        if (b >= bottom) {
            const i64 e = std::min(height, std::max(b + 1, bottom + kBand));
            rows->fn(rows->ctx, static_cast<i32>(bottom), static_cast<i32>(e));
            bottom = e;
        }
    }
    void All() { Need(0, height - 1); }
    ~LensReady() { All(); }
};

// The largest of a row's n offsets: the last where they never fall along the row.
template <class T>
i64 LensFarthest(const T* v, i64 n, bool monotone) {
    if (n <= 0) return 0;
    if (monotone) return v[n - 1];
    T m = 0;
    for (i64 i = 0; i < n; ++i) m = std::max(m, v[i]);
    return m;
}

// DDBltLens; with onFill (DirectDraw only) the target's whole record is taken as filled with
// *onFill before the lens: every pixel the lens would leave gets that value instead, so the
// fill and the lens write each pixel once. With byRows the rows are readied (LensRows) as the
// lens comes to them.
i32 LensDraw(DDSURFACEDATA* dst, i32 cx, i32 cy, i32 radius, i32 strength, DDSURFACEDATA* src, i32 scx, i32 scy, u32 key,
             u32 clearOutside, const u32* onFill, const LensRows* byRows) {
    PixelStore* const store = SurfacePixels(dst);
    // Readied rows are asked for before each use; at the latest all of them on the way out.
    LensReady ready{byRows, store ? store->height : 0};
    const auto fillAll = [&] {
        ready.All();
        if (PixelStore* ps = onFill ? store : nullptr) RasterFill(*ps, 0, 0, ps->width, ps->height, *onFill, false);
    };
    if (strength < 0 || radius < 0) {
        fillAll();
        return 0;
    }
    const i64 r = radius, k = strength;
    const i64 D = static_cast<i64>(std::sqrt(static_cast<double>(r * r + k * k)));
    if (!(k < D)) {
        fillAll();
        return 0;
    }
    LockPair lk(dst, src);
    if (!lk.ok) {
        fillAll();
        return 0;
    }
    const KeyTest isKey = ModeKeyTest();
    const bool d3d = lpDTCon != nullptr;
    // DirectDraw and Direct3D at 32 bits leave out (or clear) transparent texels whatever the
    // key flag says; Direct3D at 16 bits only with the flag. A frame copied from the back buffer
    // is opaque, so a lens over the screen still draws all of it.
    const bool skipKey = !d3d || key == 1 || g_nBpp == 32;
    const bool clear = (d3d && clearOutside == 1) || onFill;
    const u32 cv = onFill ? *onFill : 0u;
    const i64 D2 = D * D, r2 = r * r;
    // Only the rows and columns of the square that lie inside the target are walked. The
    // offsets round down: for |dx| the offset is the quotient's floor, for -|dx| minus its
    // ceiling, so each row of |dy| computes both once for |dx| and serves both rows and both
    // halves. The tables hold only the |dx| of the target's columns (from `lo`): a centre far
    // off the target would otherwise have every row compute offsets for columns never drawn.
    const i64 y0 = std::max<i64>(-r, -static_cast<i64>(cy)), y1 = std::min<i64>(r, lk.dst.nHeight - 1 - static_cast<i64>(cy));
    const i64 x0 = std::max<i64>(-r, -static_cast<i64>(cx)), x1 = std::min<i64>(r, lk.dst.nWidth - 1 - static_cast<i64>(cx));
    if (y0 > y1 || x0 > x1) {
        fillAll();
        return 1;
    }
    ready.height = lk.dst.nHeight;
    if (onFill) {
        // The rows above and below the lens's square; its own rows are filled beside it and
        // cleared inside it as they are drawn.
        ready.Need(0, cy + y0 - 1);
        ready.Need(cy + y1 + 1, lk.dst.nHeight - 1);
        for (i64 y = 0; y < cy + y0; ++y) std::fill(lk.D(0, y), lk.D(lk.dst.nWidth, y), cv);
        for (i64 y = cy + y1 + 1; y < lk.dst.nHeight; ++y) std::fill(lk.D(0, y), lk.D(lk.dst.nWidth, y), cv);
    }
    const LensSource s{lk.src.lpPixels, scx, scy, lk.src.nWidth, lk.src.nHeight, lk.src.nPitch,
                       skipKey ? isKey.mask : 0u, skipKey ? isKey.value : 1u, cv};
    // Offsets within 2^30 (at most r * k, or r where the root is 0) and the products below
    // 2^53, exact as doubles: the offsets go four at a time (LensOffsets), and with the
    // coordinates and the source within 32 bits the columns eight at a time (LensRun).
    const bool narrow = r * std::max<i64>(k, 1) < (i64(1) << 30) && s.sw < (i64(1) << 30) && s.sh < (i64(1) << 30) &&
                        s.sh * s.pitch < (i64(1) << 31);
    // Small enough for LensOffsetsNear: the roots' squares (below D²) and the numerators (below
    // r * k) within 2^24.
    const bool near = narrow && D2 < (i64(1) << 24) && r * k < (i64(1) << 24);
    thread_local LensTables tables;
    const std::size_t cols = static_cast<std::size_t>(x1 - x0 + 1);
    tables.Size(cols, narrow);
    const i64 ar0 = (y0 <= 0 && y1 >= 0) ? 0 : std::min(std::abs(y0), std::abs(y1));
    const i64 ar1 = std::max(std::abs(y0), std::abs(y1));
    // The same lens drawn again (the same radius, strength and part of the target) reuses the
    // offsets of every row from the draw before; they are kept from the second draw on, so a
    // lens that changes every frame never pays for keeping them.
    thread_local LensKept kept;
    const std::size_t stride = cols + 7, rows = static_cast<std::size_t>(ar1 - ar0 + 1);
    const bool same = kept.Same(r, k, x0, x1, ar0, ar1);
    const bool keep = near && same && rows * stride * 4 <= LensKept::kMost;
    const bool fill = keep && !kept.full;
    if (fill) kept.v.resize(rows * stride * 4);
    kept.full = keep;
    for (i64 ady = ar0; ady <= ar1; ++ady) {
        const LensChord c = LensChordOf(r2, ady, x0, x1);
        LensRow32 t32{tables.ox32.data(), tables.oy32.data(), tables.oxUp32.data(), tables.oyUp32.data()};
        if (keep) {
            i32* at = kept.v.data() + static_cast<std::size_t>(ady - ar0) * stride * 4;
            t32 = LensRow32{at, at + stride, at + 2 * stride, at + 3 * stride};
        }
        if (near) {
            if (c.hi >= c.lo && (!keep || fill))
                LensOffsetsNear(static_cast<int>(c.hi - c.lo + 1), static_cast<i32>(c.lo), static_cast<i32>(ady), static_cast<i32>(k),
                                static_cast<i32>(D2 - ady * ady), t32.ox, t32.oy, t32.oxUp, t32.oyUp);
        } else {
            LensRoots(tables.st.data(), c.lo, c.hi, ady, D2);
            LensRowOffsets(tables, narrow, c, ady, k);
        }
        // A root of 0 (only where D = r, on the rim) gives the offsets (|dx|, |dy|) there,
        // smaller than those just inside: elsewhere they never fall along the row.
        const bool monotone = D != r || !c.rim;
        if (byRows) {
            // The two target rows and the source rows they read (rounded up is the farther).
            const i64 n = c.hi - c.lo + 1;
            const i64 most = narrow ? LensFarthest(t32.oyUp, n, monotone) : LensFarthest(tables.oyUp.data(), n, monotone);
            ready.Need(std::min<i64>(cy - ady, scy - most), std::max<i64>(cy + ady, scy + most));
        }
        for (int side = 0; side < 2; ++side) {
            const i64 dy = side ? -ady : ady;
            if (side && ady == 0) break;
            if (dy < y0 || dy > y1) continue;
            u32* row = lk.D(cx, cy + dy);
            if (onFill) {
                std::fill(row - cx, row + x0, cv);
                std::fill(row + x1 + 1, row + (lk.dst.nWidth - cx), cv);
            }
            // Outside the circle: cleared or left.
            if (clear) {
                for (i64 dx = x0; dx < std::min(c.in0, x1 + 1); ++dx) row[dx] = cv;
                for (i64 dx = std::max(c.in1 + 1, x0); dx <= x1; ++dx) row[dx] = cv;
            }
            if (narrow) LensRowNarrow(row, c, dy, clear, monotone, s, t32);
            else LensRowWide(row, c, dy, clear, s, tables);
        }
    }
    return 1;
}
} // namespace

i32 DDBltLens(DDSURFACEDATA* dst, i32 cx, i32 cy, i32 radius, i32 strength, DDSURFACEDATA* src, i32 scx, i32 scy,
              u32 key, u32 clearOutside, const LensRows* rows) {
    return LensDraw(dst, cx, cy, radius, strength, src, scx, scy, key, clearOutside, nullptr, rows);
}

i32 DDBltLensOnFill(DDSURFACEDATA* dst, u32 palIndex, i32 cx, i32 cy, i32 radius, i32 strength, DDSURFACEDATA* src, i32 scx,
                    i32 scy, const LensRows* rows) {
    if (lpDTCon || !SurfacePixels(dst)) {
        // The fill would overwrite rows not yet readied.
        if (rows) LensReady{rows, SurfacePixels(dst) ? SurfacePixels(dst)->height : 0}.All();
        DDFillSurface(dst, palIndex);
        return DDBltLens(dst, cx, cy, radius, strength, src, scx, scy, 0, 0);
    }
    // The value DDFillRect stores for the colour.
    const u32 value = g_Grid.on ? GridUnpack(PalNumToRGB(palIndex)) : PalNumToRGB(palIndex);
    return LensDraw(dst, cx, cy, radius, strength, src, scx, scy, 0, 0, &value, rows);
}
