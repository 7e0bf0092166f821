// The rotation of a rectangle about a pivot in fixed point, each target pixel taking its texel.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/graphics/GeometricEffects.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Raster.h"

using namespace geometric_effects;

namespace {
// One run of a row of the fixed-point turn: n pixels whose coordinates start at (u, v) and
// step by (du, dv), each taking the texel at (oy + (V >> 10)) * pitch + ox + (U >> 10) unless
// the key test ((texel & km) == kv) skips it. Eight pixels at a time: their indexes in 32-bit
// lanes, the texels fetched, then one keyed store of the eight. The caller checks that every
// coordinate the run reaches fits 32 bits; the index sums wrap as unsigned numbers, which
// leaves the true index (smaller than 2^31) for every pixel of the run.
PIXEL_LOOP_CLONES void TurnRun(u32* row, int n, i32 u, i32 v, i32 du, i32 dv, u32 ox, u32 oy, u32 pitch,
                               const u32* sp, u32 km, u32 kv) {
    typedef i32 VI __attribute__((vector_size(32)));
    typedef u32 VU __attribute__((vector_size(32)));
    constexpr int kLanes = 8;
    const VI lane = {0, 1, 2, 3, 4, 5, 6, 7};
    VI U = u + lane * du, V = v + lane * dv;
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        const VU at = ((VU)(V >> 10) + oy) * pitch + (VU)(U >> 10) + ox;
        VU t, o;
        for (int k = 0; k < kLanes; ++k) t[k] = sp[at[k]];
        std::memcpy(&o, row + i, sizeof o);
        const VU m = (VU)((t & km) != kv);
        o = (t & m) | (o & ~m);
        std::memcpy(row + i, &o, sizeof o);
        U += du * kLanes;
        V += dv * kLanes;
    }
    for (; i < n; ++i) {
        const u32 t = sp[((u32(V[0] >> 10) + oy) * pitch + u32(U[0] >> 10) + ox)];
        if ((t & km) != kv) row[i] = t;
        U += du;
        V += dv;
    }
}

// The whole numbers t with lo <= base + t * step < hi: [first, last], empty when first > last.
struct RunBounds {
    i64 first, last;
};
i64 FloorDiv(i64 a, i64 b) { // b > 0
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
RunBounds RunOf(i64 base, i64 step, i64 lo, i64 hi) {
    if (step == 0) return (lo <= base && base < hi) ? RunBounds{INT64_MIN, INT64_MAX} : RunBounds{1, 0};
    if (step > 0) return {-FloorDiv(base - lo, step), FloorDiv(hi - base - 1, step)};
    return {FloorDiv(base - hi, -step) + 1, FloorDiv(base - lo, -step)};
}
} // namespace

i32 DDBltRotate(DDSURFACEDATA* dst, i32 cx, i32 cy, i32 w, i32 h, i32 pivotX, i32 pivotY, i32 angle,
                DDSURFACEDATA* src, i32 sx, i32 sy, u32 key) {
    if (!dst || !src || w <= 0 || h <= 0) return 0;
    if (lpDTCon) {
        DDSURFACEDATA* d = dst;
        DDSURFACEDATA* s = src;
        DDResolveSD(&d);
        DDResolveSD(&s);
        DDSetDrawTarget(&d);
        if (d->lpDT && d->lpDT->bRenderTarget && s->lpDT && !s->lpDT->bSystemTexture) {
            PixelStore* ds = SurfacePixels(d);
            const PixelStore* ss = SurfacePixels(s);
            if (!ds || !ss) return 0;
            // The textured quad: turned corners in floating point, the stage set-up of the
            // current Direct3D state (texture x diffuse), blended into the render target.
            const RasterOp op = QuadOpOfState();
            DDBeginScene();
            RasterRotatedQuad(*ds, cx + (pivotX - w / 2.0), cy + (pivotY - h / 2.0), w, h, pivotX, pivotY, angle, *ss, sx, sy,
                              op);
            return 1;
        }
    }
    LockPair lk(dst, src);
    if (!lk.ok) return 0;
    const KeyTest isKey = ModeKeyTest();
    // 10-bit fixed point, as the turn of the corners and the inverse turn of every pixel.
    const double rad = angle * kDegToRad;
    // Rounded down, also for negative sines and cosines (the shifts below round down too).
    const i64 sn = static_cast<i64>(std::floor(std::sin(rad) * 1024)), cs = static_cast<i64>(std::floor(std::cos(rad) * 1024));
    const i64 isn = static_cast<i64>(std::floor(std::sin(-rad) * 1024)), ics = static_cast<i64>(std::floor(std::cos(-rad) * 1024));
    i64 bx0 = INT64_MAX, by0 = INT64_MAX, bx1 = INT64_MIN, by1 = INT64_MIN;
    const i64 corners[4][2] = {{-pivotX, -pivotY}, {static_cast<i64>(w) - pivotX, -pivotY},
                               {-pivotX, static_cast<i64>(h) - pivotY}, {static_cast<i64>(w) - pivotX, static_cast<i64>(h) - pivotY}};
    for (const auto& c : corners) {
        const i64 rx = (c[0] * cs - c[1] * sn) >> 10, ry = (c[0] * sn + c[1] * cs) >> 10;
        bx0 = std::min(bx0, rx); bx1 = std::max(bx1, rx);
        by0 = std::min(by0, ry); by1 = std::max(by1, ry);
    }
    bx0 = std::max<i64>(bx0 - 2 + cx, 0);
    by0 = std::max<i64>(by0 - 2 + cy, 0);
    bx1 = std::min<i64>(bx1 + 2 + cx, lk.dst.nWidth - 1);
    by1 = std::min<i64>(by1 + 2 + cy, lk.dst.nHeight - 1);
    // Source texel of a target pixel: both coordinates grow by a constant along the row, so
    // each of the tests (inside the rectangle, inside the source) holds on one run of the row,
    // and so do all of them together. The run's ends follow from the integer bounds of the
    // coordinates (RunOf); the pixels between need no test.
    const i64 u0 = std::max<i64>(0, -static_cast<i64>(sx)), u1 = std::min<i64>(w, lk.src.nWidth - static_cast<i64>(sx));
    const i64 v0 = std::max<i64>(0, -static_cast<i64>(sy)), v1 = std::min<i64>(h, lk.src.nHeight - static_cast<i64>(sy));
    if (u0 >= u1 || v0 >= v1 || bx0 > bx1) return 1;
    const bool skip = key == 1;
    const i64 ox = static_cast<i64>(sx) + pivotX, oy = static_cast<i64>(sy) + pivotY, pitch = lk.src.nPitch;
    const u32* const sp = lk.src.lpPixels;
    // Without the key test no pixel value matches (the value lies outside the mask).
    const u32 km = skip ? isKey.mask : 0u, kv = skip ? isKey.value : 1u;
    // Rows in bands of eight, drawn a block of columns at a time, so that the reads slanted
    // through the source stay in cache (each pixel's texel is computed exactly, in any order).
    constexpr int kBand = 8;
    constexpr i64 kBlock = 64;
    for (i64 ty0 = by0; ty0 <= by1; ty0 += kBand) {
        const int rows = static_cast<int>(std::min<i64>(kBand, by1 - ty0 + 1));
        i64 U0[kBand], V0[kBand], first[kBand], last[kBand];
        i64 lo = INT64_MAX, hi = INT64_MIN;
        for (int r = 0; r < rows; ++r) {
            const i64 dy = ty0 + r - cy;
            // The unshifted coordinates at tx = 0; each pixel adds (ics, isn). The texel's
            // column (U >> 10) + pivotX lies in [u0, u1) when U lies in [(u0 - pivotX) << 10,
            // (u1 - pivotX) << 10), and likewise its row.
            U0[r] = -static_cast<i64>(cx) * ics - dy * isn;
            V0[r] = -static_cast<i64>(cx) * isn + dy * ics;
            const RunBounds ru = RunOf(U0[r], ics, (u0 - pivotX) * 1024, (u1 - pivotX) * 1024);
            const RunBounds rv = RunOf(V0[r], isn, (v0 - pivotY) * 1024, (v1 - pivotY) * 1024);
            first[r] = std::max({bx0, ru.first, rv.first});
            last[r] = std::min({bx1, ru.last, rv.last});
            if (first[r] <= last[r]) {
                lo = std::min(lo, first[r]);
                hi = std::max(hi, last[r]);
            }
        }
        for (i64 k0 = lo; k0 <= hi; k0 += kBlock) {
            const i64 k1 = std::min(hi, k0 + kBlock - 1);
            for (int r = 0; r < rows; ++r) {
                const i64 from = std::max(first[r], k0), to = std::min(last[r], k1);
                if (from > to) continue;
                u32* row = lk.D(0, ty0 + r);
                i64 U = U0[r] + from * ics, V = V0[r] + from * isn;
                // The eight-lane walk reaches up to eight steps past the run's last pixel.
                const i64 Ue = U + (to - from + 9) * ics, Ve = V + (to - from + 9) * isn;
                if (std::min({U, V, Ue, Ve}) >= INT32_MIN && std::max({U, V, Ue, Ve}) <= INT32_MAX) {
                    TurnRun(row + from, static_cast<int>(to - from + 1), static_cast<i32>(U), static_cast<i32>(V),
                            static_cast<i32>(ics), static_cast<i32>(isn), static_cast<u32>(ox), static_cast<u32>(oy),
                            static_cast<u32>(pitch), sp, km, kv);
                    continue;
                }
                for (i64 tx = from; tx <= to; ++tx, U += ics, V += isn) {
                    const u32 p = sp[(oy + (V >> 10)) * pitch + ox + (U >> 10)];
                    if (!(skip && isKey(p))) row[tx] = p;
                }
            }
        }
    }
    return 1;
}
