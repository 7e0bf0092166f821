// The mosaic: each block of the rectangle one colour, at 16 and 32 bits in DirectDraw the block's
// average (transparent pixels left out), else the colour of its first pixel.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/PixelEffectWalk.h"
#include "platform/graphics/Raster.h"

using namespace pixel_effects;

namespace {

// One source row added to the mosaic's column sums (planar: blue, green, red, alpha, count, n
// apart), its pixels matching the key (kv under km; kv outside the mask matches none) left out.
PIXEL_LOOP_CLONES void MosaicColumnSums(const u32* __restrict s, int n, u32 km, u32 kv, u32* sums) {
    u32* __restrict sb = sums;
    u32* __restrict sg = sums + n;
    u32* __restrict sr = sums + 2 * n;
    u32* __restrict sa = sums + 3 * n;
    u32* __restrict sc = sums + 4 * n;
    for (int i = 0; i < n; ++i) {
        const u32 p = s[i];
        const u32 in = (p & km) != kv;
        const u32 q = p & (0u - in);
        sb[i] += q & 255;
        sg[i] += (q >> 8) & 255;
        sr[i] += (q >> 16) & 255;
        sa[i] += q >> 24;
        sc[i] += in;
    }
}

} // namespace

void DDMosaic(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 block, DDSURFACEDATA* src, i32 sx, i32 sy, u32 key) {
    // A block below 1 (from data) would never advance: it is a plain copy instead.
    const i64 b = std::max(block, 1);
    if (w <= 0 || h <= 0) return;
    Locked lk(dst, src);
    if (!lk.ok) return;
    const KeyTest isKey = ModeKeyTest();
    const bool skip = key == 1;
    const bool sample = lpDTCon || g_nBpp == 8;
    const Span all = Clip(lk, x, y, w, h, sx, sy);
    if (all.Empty()) return;
    auto fill = [&](i64 i0, i64 j0, i64 i1, i64 j1, u32 v) {
        // Only the part of the block inside the target.
        i1 = std::min<i64>(i1, lk.dst.nWidth - static_cast<i64>(x));
        j1 = std::min<i64>(j1, lk.dst.nHeight - static_cast<i64>(y));
        i0 = std::max<i64>(i0, -static_cast<i64>(x));
        j0 = std::max<i64>(j0, -static_cast<i64>(y));
        // A block past the target's right edge has nothing inside it (and an empty fill, not
        // one running backwards through memory).
        if (i0 >= i1) return;
        for (i64 j = j0; j < j1; ++j) {
            u32* d = lk.dst.lpPixels + (y + j) * lk.dst.nPitch + x;
            std::fill(d + i0, d + i1, v);
        }
    };
    // DirectDraw 16/32 bits: each block's average, its transparent pixels left out. The columns
    // of a band of blocks are summed down its rows first (a pass the processor vectorises),
    // then each block adds up its columns' sums.
    const i64 cLo = std::max<i64>(0, -static_cast<i64>(sx)), cHi = std::min<i64>(w, lk.src.nWidth - static_cast<i64>(sx));
    thread_local std::vector<u32> sums;
    if (!sample && cLo < cHi) sums.assign(static_cast<std::size_t>(cHi - cLo) * 5, 0);
    // The rectangle's columns inside the target, and a band's line of them with its runs.
    const i64 tLo = std::max<i64>(0, -static_cast<i64>(x)), tHi = std::min<i64>(w, lk.dst.nWidth - static_cast<i64>(x));
    thread_local std::vector<u32> line;
    thread_local std::vector<std::pair<i64, i64>> runs;
    if (!sample && tLo < tHi) line.resize(static_cast<std::size_t>(tHi - tLo));
    const u32 km = skip ? isKey.mask : 0u, kv = skip ? isKey.value : 1u;
    for (i64 bj = 0; bj < h; bj += b) {
        const i64 bj1 = std::min<i64>(bj + b, h);
        if (!sample) {
            if (cLo >= cHi) break;
            const i64 rj0 = std::max<i64>(bj, all.j0), rj1 = std::min<i64>(bj1, std::min<i64>(h, lk.src.nHeight - static_cast<i64>(sy)));
            std::fill(sums.begin(), sums.end(), 0u);
            for (i64 j = rj0; j < rj1; ++j)
                MosaicColumnSums(lk.src.lpPixels + (sy + j) * lk.src.nPitch + sx + cLo, static_cast<int>(cHi - cLo), km, kv, sums.data());
            const std::size_t n = static_cast<std::size_t>(cHi - cLo);
            // The band's drawn blocks go into one line of the target's columns first, each
            // block's value over its columns there, and every row of the band copies the line's
            // runs: a copy a run and row instead of a short fill a block and row. Only blocks
            // with columns in both the source and the target can draw.
            runs.clear();
            for (i64 bi = std::max(cLo, tLo) / b * b; bi < std::min(cHi, tHi); bi += b) {
                const i64 i0 = std::max(bi, cLo), i1 = std::min<i64>(bi + b, cHi);
                u64 tb = 0, tg = 0, tr = 0, ta = 0, count = 0;
                for (i64 i = i0; i < i1; ++i) {
                    const std::size_t c = static_cast<std::size_t>(i - cLo);
                    tb += sums[c];
                    tg += sums[n + c];
                    tr += sums[2 * n + c];
                    ta += sums[3 * n + c];
                    count += sums[4 * n + c];
                }
                if (!count) continue;
                // One division a block rather than four: every sum t is at most 255 * count, so
                // below 2^32 for a count below 2^24, and there t * r >> 32 with r the reciprocal
                // floor((2^32 - 1) / count) lies at most one below t / count (it errs by less than
                // t * (1 + count) / (count * 2^32) <= 255 * (1 + count) / 2^32 < 1): one step up mends it.
                const bool small = count < (u64(1) << 24);
                const u64 r = small ? 0xFFFFFFFFu / static_cast<u32>(count) : 0;
                auto avg = [count, small, r](u64 t) {
                    if (!small) return static_cast<u32>(t / count);
                    u64 q = (t * r) >> 32;
                    q += (q + 1) * count <= t;
                    return static_cast<u32>(q);
                };
                // Back to the nearest 16-bit step: a block of one pixel stays that pixel.
                const u32 v = GridSnap(avg(ta) << 24 | Rgb(avg(tr), avg(tg), avg(tb)));
                if (skip && isKey(v)) continue;
                const i64 f0 = std::max(bi, tLo), f1 = std::min(bi + b, tHi);
                std::fill(line.begin() + (f0 - tLo), line.begin() + (f1 - tLo), v);
                if (!runs.empty() && runs.back().second == f0) runs.back().second = f1;
                else runs.emplace_back(f0, f1);
            }
            const i64 r1 = std::min<i64>(bj1, lk.dst.nHeight - static_cast<i64>(y));
            for (i64 j = std::max<i64>(bj, -static_cast<i64>(y)); j < r1; ++j) {
                u32* d = lk.dst.lpPixels + (y + j) * lk.dst.nPitch + x;
                for (const auto& [f0, f1] : runs)
                    std::memcpy(d + f0, line.data() + (f0 - tLo), static_cast<std::size_t>(f1 - f0) * sizeof(u32));
            }
            continue;
        }
        for (i64 bi = 0; bi < w; bi += b) {
            const i64 bi1 = std::min<i64>(bi + b, w);
            const i64 px = sx + bi, py = sy + bj;
            if (px < 0 || py < 0 || px >= lk.src.nWidth || py >= lk.src.nHeight) continue;
            u32 v = lk.src.lpPixels[py * lk.src.nPitch + px];
            if (skip && isKey(v)) continue;
            if (lpDTCon && !g_Grid.on) v |= 0xFF000000;
            fill(bi, bj, bi1, bj1, v);
        }
    }
}
