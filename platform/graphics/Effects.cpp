// Geometric effect blitters built from blits (wave, split, quarters, depth rotate, circle), with
// the pixel-access lock that every software blitter uses. Those that move pixels themselves have
// files of their own: the lens (LensEffect.cpp) and the rotation (RotateEffect.cpp).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/graphics/GeometricEffects.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Raster.h"

using namespace geometric_effects;

bool DDLockSurface(SurfaceLock* lock, DDSURFACEDATA* sd) {
    if (!lock) return false;
    *lock = SurfaceLock{};
    if (!sd) return false;
    if (lpDTCon) {
        DDResolveSD(&sd);
        DDSetDrawTarget(&sd);
    }
    PixelStore* s = SurfacePixels(sd);
    if (!s || s->width <= 0 || s->height <= 0 || s->px.empty()) return false;
    lock->lpSD = sd;
    lock->lpPixels = s->px.data();
    lock->nPitch = s->width;
    lock->nBpp = g_nBpp;
    lock->nBytes = 4;
    lock->nWidth = s->width;
    lock->nHeight = s->height;
    return true;
}

void DDUnlockUpload(SurfaceLock* lock) {
    if (!lock) return;
    // The pixels live in memory in both modes: there is nothing to upload.
    lock->lpSD = nullptr;
    lock->lpPixels = nullptr;
}

u32 DDLockHelper(const DDSURFACEDATA* sd) {
    return (lpDTCon && sd == &g_sdBackBuffer && g_nWindowMode == 0) ? 1u : 0u;
}

namespace {
u32 KeyFlags(u32 key) { return key == 1 ? DDBLT_KEY : 0; }

// One Direct3D quad batch around a blit-built effect (nothing in DirectDraw).
struct ScopedBatch {
    ScopedBatch() { D3DBeginBatch(0); }
    ~ScopedBatch() { D3DFlushBatch(); }
};
} // namespace

namespace {
// Neighbouring bands shifted by the same amount: columns (or rows) [start, end) moved by shift.
struct WaveRun {
    i64 start, end;
    i32 shift;
};

// Columns [start, end) of a column wave read from source index base + at + column.
struct WaveSpan {
    i64 start, end, at;
};
// Eight columns from `col` on, read from source index base + from.
struct WaveChunk {
    i64 col, from;
};
// One row of the texels a column wave draws: each column's texel from its own shifted row,
// eight columns of a run at a time. The runs' chunks come left to right, so what a run's last
// chunk copies past its end the next run's, or the next row's, writes over (out has eight
// texels to spare at its end); the caller sees that the source holds every chunk's eight.
PIXEL_LOOP_CLONES void GatherRow(u32* __restrict out, const u32* __restrict sp, i64 base, const WaveChunk* chunks, int count) {
    for (int i = 0; i < count; ++i) std::memcpy(out + chunks[i].col, sp + base + chunks[i].from, 8 * sizeof(u32));
}
// The same row a texel at a time, for rows whose chunks would read past the source.
void GatherRowSpans(u32* out, const u32* sp, i64 base, const std::vector<WaveSpan>& spans) {
    for (const WaveSpan& q : spans)
        for (i64 c = q.start; c < q.end; ++c) out[c] = sp[base + q.at + c];
}
// A strip of n columns and some rows drawn by an opaque quad straight into the target: each
// texel made opaque.
PIXEL_LOOP_CLONES void StripOpaque(u32* __restrict d, std::ptrdiff_t dp, const u32* __restrict s, std::ptrdiff_t sp, int n,
                                   int rows) {
    for (int r = 0; r < rows; ++r, d += dp, s += sp)
        for (int i = 0; i < n; ++i) d[i] = s[i] | 0xFF000000u;
}

// The column wave under Direct3D as the quads of its runs draw it, but for the rows that every
// run covers inside both surfaces: those texels are gathered a band of rows at a time into a
// buffer, and each band is drawn as one quad from it. The runs' quads are 1:1 and side by side,
// so each pixel's result depends only on its texel and what lay under it (and the clear under a
// keyed texture's quad on the same), and a quad of the band gives every pixel the same. Rows
// the runs do not all cover are left to the runs' own quads. Under an opaque quad each run's
// rectangle is drawn here whole instead. False where this does not apply (nothing drawn).
bool WaveColumnsGathered(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 flags,
                         const std::vector<WaveRun>& runs) {
    if (!lpDTCon || lpDTCon->bCopyingVirtual || !dst || !src || dst->alias || src->alias) return false;
    DDSURFACEDATA* d = dst;
    DDSURFACEDATA* s = src;
    DDSetDrawTarget(&d);
    DDSetDrawTarget(&s);
    if (!d->lpDT || !s->lpDT || !d->lpDT->bRenderTarget || s->lpDT->bSystemTexture) return false;
    PixelStore* ds = SurfacePixels(d);
    const PixelStore* ss = SurfacePixels(s);
    if (!ds || !ss || ds == ss || ds->px.empty() || ss->px.empty()) return false;
    // Whole columns, and a source start inside the source (the clip of a quad from above it
    // cuts the source only, not the target).
    if (x < 0 || static_cast<i64>(x) + w > ds->width || sx < 0 || static_cast<i64>(sx) + w > ss->width || sy < 0) return false;
    const RasterOp op = QuadOpOfState();
    // A quad of full alpha (the texel's alpha replaced by the diffuse's 255) draws each pixel
    // whatever lay under it, so the clear under a keyed texture's quad is all drawn over.
    const bool fullAlpha = (op.alphaOp == D3DTOP_DISABLE || op.alphaOp == D3DTOP_SELECTARG2) && (op.diffuse >> 24) == 255;
    // An opaque copy's pixels are its texels made opaque: each run's rectangle inside both
    // surfaces is drawn straight into the target, a column strip at a time (a stream down the
    // source and one down the target, which the processor fetches ahead by itself).
    const bool colourKept =
        op.colorOp == D3DTOP_SELECTARG1 || (op.colorOp == D3DTOP_MODULATE && (op.diffuse & 0xFFFFFFu) == 0xFFFFFFu);
    if (fullAlpha && colourKept) {
        DDBeginScene();
        for (const WaveRun& r : runs) {
            const i64 top = static_cast<i64>(y) + r.shift;
            const i64 t0 = std::max<i64>(0, top), t1 = std::min<i64>({ds->height, top + h, top + ss->height - sy});
            if (t0 >= t1) continue;
            StripOpaque(ds->Row(static_cast<int>(t0)) + x + r.start, ds->width,
                        ss->Row(static_cast<int>(sy + (t0 - top))) + sx + r.start, ss->width,
                        static_cast<int>(r.end - r.start), static_cast<int>(t1 - t0));
        }
        return true;
    }
    // Target rows [A, B): inside the target and, for every run, inside its quad and the source.
    i64 A = 0, B = ds->height;
    for (const WaveRun& r : runs) {
        const i64 top = static_cast<i64>(y) + r.shift;
        A = std::max({A, top, top - sy});
        B = std::min({B, top + h, top + ss->height - sy});
    }
    if (A >= B) return false;
    // The rows outside the band, by the runs' quads (batched by the caller).
    for (const WaveRun& r : runs) {
        const i64 top = static_cast<i64>(y) + r.shift;
        const i32 at = static_cast<i32>(r.start), n = static_cast<i32>(r.end - r.start);
        if (A > top) DDBlt(dst, x + at, static_cast<i32>(top), n, static_cast<i32>(A - top), src, sx + at, sy, flags);
        if (top + h > B)
            DDBlt(dst, x + at, static_cast<i32>(B), n, static_cast<i32>(top + h - B), src, sx + at,
                  static_cast<i32>(sy + (B - top)), flags);
    }
    // Column c's texel for target row t: sp[t * pitch + at + c], at its run's.
    thread_local std::vector<WaveSpan> spans;
    thread_local std::vector<WaveChunk> chunks;
    spans.clear();
    chunks.clear();
    const i64 pitch = ss->width;
    i64 farthest = 0; // past the last texel the chunks read, from a row's start
    for (const WaveRun& r : runs) {
        const i64 at = (static_cast<i64>(sy) - y - r.shift) * pitch + sx;
        spans.push_back(WaveSpan{r.start, r.end, at});
        for (i64 c = r.start; c < r.end; c += 8) {
            chunks.push_back(WaveChunk{c, at + c});
            farthest = std::max(farthest, at + c + 8);
        }
    }
    // The row a target row reads first for the first time is the one under the least shift:
    // it is fetched a few rows ahead, since the gather from rows all over the band defeats the
    // processor's own prefetching.
    i32 least = runs.front().shift;
    for (const WaveRun& r : runs) least = std::min(least, r.shift);
    constexpr i64 kAhead = 4;
    const bool preClear = flags == 0 && s->lpDT->bColorKey && !fullAlpha;
    const u32 clearColor = D3DClearPixelFor(d);
    // Bands of about 16 KB, which stay in the first-level cache between the gather and the draw.
    const int bandRows = std::max(1, 4096 / w);
    thread_local PixelStore band;
    band.width = w;
    band.px.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(bandRows) + 8);
    DDBeginScene();
    for (i64 t0 = A; t0 < B; t0 += bandRows) {
        const int rows = static_cast<int>(std::min<i64>(bandRows, B - t0));
        band.height = rows;
        for (int j = 0; j < rows; ++j) {
            const i64 ahead = t0 + j - y + sy - least + kAhead;
            if (ahead >= 0 && ahead < ss->height) {
                const u32* p = ss->Row(static_cast<int>(ahead)) + sx;
                for (i32 c = 0; c < w; c += 16) __builtin_prefetch(p + c);
            }
            const i64 base = (t0 + j) * pitch;
            if (base + farthest <= static_cast<i64>(ss->px.size()))
                GatherRow(band.Row(j), ss->px.data(), base, chunks.data(), static_cast<int>(chunks.size()));
            else GatherRowSpans(band.Row(j), ss->px.data(), base, spans);
        }
        const i32 ty = static_cast<i32>(t0);
        if (preClear) RasterPreClear(*ds, x, ty, w, rows, band, 0, 0, w, rows, clearColor, op.diffuse, op.alphaOp);
        RasterBlit(*ds, x, ty, w, rows, band, 0, 0, w, rows, op);
    }
    return true;
}
} // namespace

void DDBltWave(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 waves, double amplitude, i32 phase, i32 roughness,
               DDSURFACEDATA* src, i32 sx, i32 sy, u32 key, i32 axis) {
    if (roughness <= 0 || w <= 0 || h <= 0 || (axis != 0 && axis != 1)) return;
    ScopedBatch batch;
    const double k = waves * kDegToRad;
    const i32 len = axis == 1 ? w : h;
    const double step = 360.0 / len;
    double acc = 0;
    // Neighbouring bands shifted by the same amount are drawn as one: the same pixels, fewer
    // blits.
    thread_local std::vector<WaveRun> runs;
    runs.clear();
    for (i64 c = 0; c < len; c += roughness) {
        acc += step * roughness;
        // Rounded down, also where the wave swings negative.
        const i32 shift = static_cast<i32>(std::floor(std::sin((phase + acc) * k) * amplitude));
        const i64 end = std::min<i64>(c + roughness, len);
        if (!runs.empty() && c == runs.back().end && shift == runs.back().shift) {
            runs.back().end = end;
            continue;
        }
        runs.push_back(WaveRun{c, end, shift});
    }
    if (axis == 1 && WaveColumnsGathered(dst, x, y, w, h, src, sx, sy, KeyFlags(key), runs)) return;
    for (const WaveRun& r : runs) {
        const i32 at = static_cast<i32>(r.start), n = static_cast<i32>(r.end - r.start);
        if (axis == 1) DDBlt(dst, x + at, y + r.shift, n, h, src, sx + at, sy, KeyFlags(key));
        else DDBlt(dst, x + r.shift, y + at, w, n, src, sx, sy + at, KeyFlags(key));
    }
}

void DDBltSplit(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 strip, i32 offset, DDSURFACEDATA* src, i32 sx,
                i32 sy, u32 key, i32 axis) {
    if (strip == 0) {
        DDBlt(dst, x, y, w, h, src, sx, sy, KeyFlags(key));
        return;
    }
    if (strip < 0 || w <= 0 || h <= 0) return;
    ScopedBatch batch;
    // Only whole strips: a remainder narrower than a strip stays as it was.
    if (axis == 1) {
        const i32 n = w / strip;
        for (i32 i = 0; i < n; ++i) {
            const i32 yo = (i & 1) ? y - offset : y + offset;
            DDBlt(dst, x + i * strip, yo, strip, h, src, sx + i * strip, sy, KeyFlags(key));
        }
    } else if (axis == 0) {
        const i32 n = h / strip;
        for (i32 i = 0; i < n; ++i) {
            const i32 xo = (i & 1) ? x - offset : x + offset;
            DDBlt(dst, xo, y + i * strip, w, strip, src, sx, sy + i * strip, KeyFlags(key));
        }
    }
}

void DDBltQuarters(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, i32 o,
                   u32 key) {
    const i32 hw = w / 2, hh = h / 2;
    if (hw <= 0 || hh <= 0) return;
    ScopedBatch batch;
    const u32 f = KeyFlags(key);
    DDBlt(dst, x - o, y - o, hw, hh, src, sx, sy, f);
    DDBlt(dst, x + hw + o, y - o, hw, hh, src, sx + hw, sy, f);
    DDBlt(dst, x - o, y + hh + o, hw, hh, src, sx, sy + hh, f);
    DDBlt(dst, x + hw + o, y + hh + o, hw, hh, src, sx + hw, sy + hh, f);
}

void DDBltDepthRotate(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* front, i32 fsx, i32 fsy,
                      DDSURFACEDATA* back, i32 bsx, i32 bsy, i32 srcW, i32 srcH, u32 key, i32 phase, i32 axis) {
    if (axis != 0 && axis != 1) return;
    const i32 full = axis == 0 ? w : h;
    const i32 half = full / 2;
    // A side of 1 has no half to narrow by: nothing to draw (and no division by zero).
    if (half <= 0) return;
    const i32 q = phase / half, m = phase % half;
    const i32 d = (q & 1) ? half - m - 1 : m;
    const bool useFront = ((static_cast<i64>(half) + phase) / full) % 2 == 0;
    DDSURFACEDATA* pic = useFront ? front : back;
    const i32 psx = useFront ? fsx : bsx, psy = useFront ? fsy : bsy;
    if (axis == 0) D3DBltQuad(dst, x + d, y, w - 2 * d, h, pic, psx, psy, srcW, srcH, KeyFlags(key));
    else D3DBltQuad(dst, x, y + d, w, h - 2 * d, pic, psx, psy, srcW, srcH, KeyFlags(key));
}

void DDBltCircle(DDSURFACEDATA* dst, i32 cx, i32 cy, i32 halfW, i32 halfH, i32 radius, i32 band, DDSURFACEDATA* src,
                 i32 scx, i32 scy, u32 key) {
    if (radius < 1 || band < 1) return;
    const PixelStore* ss = SurfacePixels(src);
    if (!ss) return;
    const i64 lo = std::max<i64>(0, static_cast<i64>(scx) - halfW);
    const i64 hi = std::min<i64>(ss->width, static_cast<i64>(scx) + halfW);
    ScopedBatch batch;
    const i64 r = radius, lim = halfH;
    for (i64 t = r - band; t >= -r; t -= band) {
        if (t >= lim) continue;
        if (t + band <= -lim) break;
        i64 top = t;
        if (top + band > lim) top = lim - band;
        if (top < -lim) top = -lim;
        const i64 mid = band == 1 ? top : top + band / 2;
        // Bands beyond the radius (moved inside the limit) give no chord rather than a root of
        // a negative number.
        const i64 v = std::max<i64>(0, r * r - mid * mid);
        i64 c = static_cast<i64>(std::sqrt(static_cast<double>(v)));
        if (c >= r) c = r - 1;
        i64 s0 = scx - c, s1 = scx + c;
        const i64 clip = std::max<i64>(0, lo - s0);
        s0 = std::max(s0, lo);
        s1 = std::min(s1, hi);
        if (s1 <= s0) continue;
        DDBlt(dst, static_cast<i32>(cx - c + clip), static_cast<i32>(cy + top), static_cast<i32>(s1 - s0), band, src,
              static_cast<i32>(s0), static_cast<i32>(scy + top), KeyFlags(key));
    }
}
