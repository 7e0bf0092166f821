// Pixel effect blitters: colour blend, alpha, mosaic, blur and colour change. At 8 bits the
// colours mix through the blend table; at 16 and 32 bits the channels are computed: at 16 bits
// either on the 0..255 scale the pixels are stored in and scaled back down (DirectDraw), or on
// the channel values themselves (Direct3D's software paths, the blur). Under Direct3D a
// blitter draws one textured quad when the target is a render target and the source is not a
// system texture, else it works on the locked pixels.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Raster.h"
#include "platform/system/Report.h"

u8 g_lpBlendTable[65536] = {};

namespace {

struct Locked {
    SurfaceLock dst, src;
    bool ok = false;
    Locked(DDSURFACEDATA* d, DDSURFACEDATA* s) { ok = DDLockSurface(&dst, d) && DDLockSurface(&src, s); }
    ~Locked() {
        DDUnlockUpload(&src);
        DDUnlockUpload(&dst);
    }
};

// The part of a w x h walk that lies inside both surfaces.
struct Span {
    i64 i0, i1, j0, j1;
    bool Empty() const { return i0 >= i1 || j0 >= j1; }
};
Span Clip(const Locked& lk, i64 x, i64 y, i64 w, i64 h, i64 sx, i64 sy) {
    return Span{std::max({i64(0), -x, -sx}), std::min({w, lk.dst.nWidth - x, lk.src.nWidth - sx}),
                std::max({i64(0), -y, -sy}), std::min({h, lk.dst.nHeight - y, lk.src.nHeight - sy})};
}

// fn(d, s) for every pixel pair of the walk, row by row.
template <class Fn>
void ForPixels(Locked& lk, i32 x, i32 y, i32 w, i32 h, i32 sx, i32 sy, Fn fn) {
    const Span sp = Clip(lk, x, y, w, h, sx, sy);
    if (sp.Empty()) return;
    for (i64 j = sp.j0; j < sp.j1; ++j) {
        u32* d = lk.dst.lpPixels + (y + j) * lk.dst.nPitch + x;
        const u32* s = lk.src.lpPixels + (sy + j) * lk.src.nPitch + sx;
        for (i64 i = sp.i0; i < sp.i1; ++i) fn(d[i], s[i]);
    }
}

// fn(d, s, n) for every row of the walk: the target and source rows at the walk's first column.
template <class Fn>
void ForRows(Locked& lk, i32 x, i32 y, i32 w, i32 h, i32 sx, i32 sy, Fn fn) {
    const Span sp = Clip(lk, x, y, w, h, sx, sy);
    if (sp.Empty()) return;
    for (i64 j = sp.j0; j < sp.j1; ++j)
        fn(lk.dst.lpPixels + (y + j) * lk.dst.nPitch + x + sp.i0, lk.src.lpPixels + (sy + j) * lk.src.nPitch + sx + sp.i0,
           static_cast<int>(sp.i1 - sp.i0));
}

// An 8-bit row through a map of palette indexes, keyed source pixels left out.
void IndexMapRow(u32* d, const u32* s, int n, const u8* map, u32 km, u32 kv) {
    for (int i = 0; i < n; ++i) {
        const u32 v = s[i];
        if ((v & km) != kv) d[i] = map[v & 255];
    }
}

// The DirectDraw colour blend of a row. Each channel c halved toward the colour's t steps
// times, floor((c + t) / 2) at each step, is t + floor((c - t) / 2^steps): each halving adds t
// to t + floor((c - t) / 2^k) and halves, and a floor of a floor by powers of two is one floor.
// At 16 bits the result is cut to the grid. The target keeps its alpha; source pixels matching
// the key (value kv under mask km; kv outside the mask matches nothing) leave it as it is.
template <bool Sixteen>
PIXEL_LOOP_CLONES void HalvedTowardRow(u32* d, const u32* s, int n, u32 tc, int steps, u32 km, u32 kv) {
    const cGridMath g = g_Grid.math;
    const i32 t0 = static_cast<i32>(tc & 255), t1 = static_cast<i32>((tc >> 8) & 255), t2 = static_cast<i32>((tc >> 16) & 255);
    for (int i = 0; i < n; ++i) {
        const u32 v = s[i], o = d[i];
        const u32 b = static_cast<u32>(t0 + ((static_cast<i32>(v & 255) - t0) >> steps));
        const u32 gr = static_cast<u32>(t1 + ((static_cast<i32>((v >> 8) & 255) - t1) >> steps));
        const u32 r = static_cast<u32>(t2 + ((static_cast<i32>((v >> 16) & 255) - t2) >> steps));
        u32 nv = b | gr << 8 | r << 16;
        if constexpr (Sixteen) nv = GridMathCutLane(b, g.max[0], g.mul[0], g.shift[0]) |
                                     GridMathCutLane(gr, g.max[1], g.mul[1], g.shift[1]) << 8 |
                                     GridMathCutLane(r, g.max[2], g.mul[2], g.shift[2]) << 16;
        nv |= o & 0xFF000000u;
        d[i] = (v & km) == kv ? o : nv;
    }
}

// The Direct3D colour blend of locked pixels: each channel value c (at 16 bits the channel's
// raw value) mixed with the colour's t, half and half (Half) or by the share F / 255 of the
// source, rounded down; alpha set, at 16 bits back to the stored scale. The share's rule, c * f
// + t * (1 - f) in doubles with f = F / 255 (F 64, 32 or 16), truncated, equals the exact
// (c * F + t * (255 - F)) / 255 for every c and t of 0..255 (checked for all of them): the
// integers are what the loop computes, the division by 255 as (x + 1 + (x >> 8)) >> 8, exact for
// x below 65535 (x is at most 255 * 255).
template <bool Sixteen, bool Half>
PIXEL_LOOP_CLONES void MixedTowardRow(u32* d, const u32* s, int n, u32 tc, u32 share, u32 km, u32 kv) {
    const cGridMath g = g_Grid.math;
    const u32 t0 = tc & 255, t1 = (tc >> 8) & 255, t2 = (tc >> 16) & 255;
    const u32 rest = 255 - share, r0 = t0 * rest, r1 = t1 * rest, r2 = t2 * rest;
    // At 16 bits the alpha lane of every result is 1 on the channel scale.
    const u32 alpha = Sixteen ? GridMathExpandLane(1, g.max[3], g.mul[3], g.shift[3]) << 24 : 0xFF000000u;
    auto mix = [&](u32 v, int lane, u32 t, u32 r) -> u32 {
        u32 c = (v >> (8 * lane)) & 255;
        if constexpr (Sixteen) c = GridMathRawLane(c, g.max[lane]);
        u32 m;
        if constexpr (Half) m = (c + t) >> 1;
        else {
            const u32 x = c * share + r;
            m = (x + 1 + (x >> 8)) >> 8;
        }
        if constexpr (Sixteen) m = GridMathExpandLane(m, g.max[lane], g.mul[lane], g.shift[lane]);
        return m << (8 * lane);
    };
    for (int i = 0; i < n; ++i) {
        const u32 v = s[i], o = d[i];
        const u32 nv = alpha | mix(v, 0, t0, r0) | mix(v, 1, t1, r1) | mix(v, 2, t2, r2);
        d[i] = (v & km) == kv ? o : nv;
    }
}

// The grid rules on the three colour lanes alone (alpha 0), for rows that set alpha themselves.
inline u32 GridMathRaw3(u32 p, const cGridMath& g) {
    return GridMathRawLane(p & 255, g.max[0]) | GridMathRawLane((p >> 8) & 255, g.max[1]) << 8 |
           GridMathRawLane((p >> 16) & 255, g.max[2]) << 16;
}
inline u32 GridMathFromRaw3(u32 p, const cGridMath& g) {
    return GridMathExpandLane(p & 255, g.max[0], g.mul[0], g.shift[0]) |
           GridMathExpandLane((p >> 8) & 255, g.max[1], g.mul[1], g.shift[1]) << 8 |
           GridMathExpandLane((p >> 16) & 255, g.max[2], g.mul[2], g.shift[2]) << 16;
}

// Half and half of source and target per channel, alpha dropped: (a + b) >> 1 in every lane.
inline u32 HalfSum(u32 a, u32 b) { return ((a & b) + (((a ^ b) & 0xFEFEFEFEu) >> 1)) & 0xFFFFFFu; }

// The DirectDraw half alpha of a row: a target pixel of the key colour takes the source as it
// is; the others the half sum, cut to the grid at 16 bits.
template <bool Sixteen>
PIXEL_LOOP_CLONES void HalfAlphaRowDD(u32* d, const u32* s, int n, u32 km, u32 kv, u32 dkm, u32 dkv) {
    const cGridMath g = g_Grid.math;
    for (int i = 0; i < n; ++i) {
        const u32 v = s[i], o = d[i];
        u32 m = HalfSum(v, o);
        if constexpr (Sixteen) m = GridMathCut(m, g) & 0xFFFFFFu;
        const u32 nv = (o & 0xFF000000u) | ((o & dkm) == dkv ? (v & 0xFFFFFFu) : m);
        d[i] = (v & km) == kv ? o : nv;
    }
}

// The 8-bit half alpha of a row: the blend table at source and target index, a target of
// index 0 taking the source, a source of index skip (256 when nothing is keyed) leaving the
// target. Without branches on the pixels, whose ways change too often for the processor to
// guess: the table indexes of a piece of the row are made in one vector pass, looked up in a
// plain loop that does nothing else, and the choices made in a second vector pass.
PIXEL_LOOP_CLONES void TableAlphaRow8(u32* d, const u32* s, int n, const u8* table, u32 skip) {
    // A source lying before its target in the same row reads pixels the row has already
    // drawn, one at a time: the passes would read them before they are drawn.
    if (s < d && d < s + n) {
        for (int i = 0; i < n; ++i) {
            const u32 si = s[i] & 255, o = d[i], di = o & 255;
            if (si != skip) d[i] = di == 0 ? si : table[si + di * 256];
        }
        return;
    }
    constexpr int kPiece = 512;
    u32 at[kPiece], mixed[kPiece];
    for (int c = 0; c < n; c += kPiece) {
        const int m = std::min(kPiece, n - c);
        u32* dc = d + c;
        const u32* sc = s + c;
        for (int i = 0; i < m; ++i) at[i] = (sc[i] & 255) | (dc[i] & 255) << 8;
#pragma GCC unroll 8
        for (int i = 0; i < m; ++i) mixed[i] = table[at[i]];
        for (int i = 0; i < m; ++i) {
            const u32 si = sc[i] & 255, o = dc[i];
            const u32 v = (o & 255) == 0 ? si : mixed[i];
            dc[i] = si == skip ? o : v;
        }
    }
}

// The Direct3D half alpha of locked pixels: at 16 bits on the channel values, alpha set.
template <bool Sixteen>
PIXEL_LOOP_CLONES void HalfAlphaRowD3D(u32* d, const u32* s, int n, u32 km, u32 kv) {
    const cGridMath g = g_Grid.math;
    const u32 alpha = GridMathExpandLane(1, g.max[3], g.mul[3], g.shift[3]) << 24;
    for (int i = 0; i < n; ++i) {
        const u32 v = s[i], o = d[i];
        u32 nv;
        if constexpr (Sixteen) nv = alpha | GridMathFromRaw3(HalfSum(GridMathRaw3(v, g), GridMathRaw3(o, g)), g);
        else nv = 0xFF000000u | HalfSum(v, o);
        d[i] = (v & km) == kv ? o : nv;
    }
}

// The fade of a row toward a colour: each channel (s * w + c * (256 - w)) >> 8, cw holding
// each lane's c * (256 - w); alpha kept; at 16 bits cut to the grid, on all four lanes.
template <bool Sixteen>
PIXEL_LOOP_CLONES void FadeRow(u32* d, const u32* s, int n, u32 w, u32 c0, u32 c1, u32 c2) {
    const cGridMath g = g_Grid.math;
    for (int i = 0; i < n; ++i) {
        const u32 p = s[i];
        u32 v = (p & 0xFF000000u) | ((((p >> 16) & 255) * w + c2) >> 8) << 16 | ((((p >> 8) & 255) * w + c1) >> 8) << 8 |
                (((p & 255) * w + c0) >> 8);
        if constexpr (Sixteen) v = GridMathCut(v, g);
        d[i] = v;
    }
}

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

// Direct3D's choice between the textured quad and the locked pixels.
bool QuadPath(DDSURFACEDATA* dst, DDSURFACEDATA* src) {
    if (!lpDTCon || !dst || !src) return false;
    DDResolveSD(&dst);
    DDResolveSD(&src);
    DDSetDrawTarget(&dst);
    return dst->lpDT && dst->lpDT->bRenderTarget && src->lpDT && !src->lpDT->bSystemTexture;
}

// One quad with a stage set-up of its own; the Direct3D state is as it was afterwards.
void QuadWith(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 key, u32 color,
              u32 colorOp, u32 alphaOp, u32 factor) {
    const u32 c = lpDTCon->dwQuadColor, co = lpDTCon->dwColorOp, ao = lpDTCon->dwAlphaOp, f = lpDTCon->dwTextureFactor;
    lpDTCon->dwQuadColor = color;
    lpDTCon->dwColorOp = colorOp;
    lpDTCon->dwAlphaOp = alphaOp;
    lpDTCon->dwTextureFactor = factor;
    D3DBltQuad(dst, x, y, w, h, src, sx, sy, w, h, key == 1 ? DDBLT_KEY : 0);
    lpDTCon->dwQuadColor = c;
    lpDTCon->dwColorOp = co;
    lpDTCon->dwAlphaOp = ao;
    lpDTCon->dwTextureFactor = f;
}

inline u32 Rgb(u32 r, u32 g, u32 b) { return r << 16 | g << 8 | b; }

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

// What the passes of one blur share: the rectangle's part inside the source (W x H from
// column i0 and row j0 of the rectangle at sx, sy) and its target (x, y), the window radii,
// the key test on the values read (km, kv) and on the stored pixels (skm, skv), and the
// sizes of the buffers: a row's planar window sums take n entries (blue, green, red, alpha
// and the count, W each), and the column sums slide over a ring of the last 2 * ry + 1
// rows' sums. Narrow windows sum in 16-bit entries, wide ones in 32-bit.
struct BlurJob {
    const Locked* lk;
    i32 x, y, sx, sy;
    i64 i0, j0;
    i32 W, H, rx, ry, ring;
    std::size_t n;
    bool sixteen, narrow;
    u32 km, kv, skm, skv;
    // The source pixel of the rectangle's row j at column i0.
    const u32* Src(i32 j) const { return lk->src.lpPixels + (sy + j0 + j) * lk->src.nPitch + sx + i0; }
};

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

} // namespace

i32 DDBltColorBlend(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 key,
                    const PALETTE* palette, const u8* table, u32 colorIndex, i32 level) {
    if (!dst || !src || !palette) return 0;
    const i32 n = std::max(level, 0);
    const PALETTEENTRY& t = (*palette)[colorIndex & 255];
    if (lpDTCon && n == 0) return 0;
    if (QuadPath(dst, src)) {
        static const u32 kFactorAlpha[4] = {0x80, 0x50, 0x30, 0x10};
        const u32 a = kFactorAlpha[std::min(n, 4) - 1];
        const u32 rgb = Rgb(t.peRed, t.peGreen, t.peBlue);
        QuadWith(dst, x, y, w, h, src, sx, sy, key, 0xFF000000 | rgb, D3DTOP_BLENDFACTORALPHA, D3DTOP_SELECTARG1,
                 a << 24 | rgb);
        return 1;
    }
    Locked lk(dst, src);
    if (!lk.ok) return 0;
    const KeyTest isKey = ModeKeyTest();
    const bool skip = key == 1;
    if (!lpDTCon && g_nBpp == 8) {
        if (!table) return 0;
        // Each index goes through the table n times: the n-th power of that map, made by
        // squaring, is looked up once a pixel.
        const u32 ci = colorIndex & 255;
        u8 step[256], map[256];
        for (u32 p = 0; p < 256; ++p) {
            step[p] = table[p * 256 + ci];
            map[p] = static_cast<u8>(p);
        }
        for (u32 k = static_cast<u32>(n); k; k >>= 1) {
            u8 next[256];
            if (k & 1) {
                for (u32 p = 0; p < 256; ++p) next[p] = step[map[p]];
                std::copy(next, next + 256, map);
            }
            for (u32 p = 0; p < 256; ++p) next[p] = step[step[p]];
            std::copy(next, next + 256, step);
        }
        const u32 km = skip ? isKey.mask : 0u, kv = skip ? isKey.value : 1u;
        ForRows(lk, x, y, w, h, sx, sy, [&](u32* d, const u32* s, int len) { IndexMapRow(d, s, len, map, km, kv); });
        return 1;
    }
    // Halving toward the colour settles within 9 steps: more change nothing.
    const i32 steps = std::min(n, 16);
    const bool sixteen = g_Grid.on;
    const u32 km = skip ? isKey.mask : 0u, kv = skip ? isKey.value : 1u;
    if (!lpDTCon) {
        // At 16 bits the channels are halved on the stored scale: the colour on it too.
        const u32 tc = sixteen ? GridFromRaw(Rgb(t.peRed, t.peGreen, t.peBlue)) : Rgb(t.peRed, t.peGreen, t.peBlue);
        ForRows(lk, x, y, w, h, sx, sy, [&](u32* d, const u32* s, int len) {
            if (sixteen) HalvedTowardRow<true>(d, s, len, tc, steps, km, kv);
            else HalvedTowardRow<false>(d, s, len, tc, steps, km, kv);
        });
        return 1;
    }
    // Direct3D on locked pixels: half and half at level 1, then fixed source shares; at 16 bits
    // on the channel values, the colour reduced into their ranges.
    static const u32 kShare[3] = {64, 32, 16};
    const u32 share = n >= 2 ? kShare[std::min(n, 4) - 2] : 0;
    const u32 tc = Rgb(t.peRed, t.peGreen, t.peBlue);
    const u32 tr = sixteen ? GridRaw(GridCut(tc)) : tc;
    ForRows(lk, x, y, w, h, sx, sy, [&](u32* d, const u32* s, int len) {
        if (n == 1) {
            if (sixteen) MixedTowardRow<true, true>(d, s, len, tr, share, km, kv);
            else MixedTowardRow<false, true>(d, s, len, tr, share, km, kv);
        } else {
            if (sixteen) MixedTowardRow<true, false>(d, s, len, tr, share, km, kv);
            else MixedTowardRow<false, false>(d, s, len, tr, share, km, kv);
        }
    });
    return 1;
}

i32 DDBltAlpha(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 key,
               const u8* table, i32 alpha) {
    if (!dst || !src) return 0;
    if (QuadPath(dst, src)) {
        const u32 a = static_cast<u32>(255 - std::clamp(alpha, 0, 255));
        QuadWith(dst, x, y, w, h, src, sx, sy, key, a << 24 | 0xFFFFFF, D3DTOP_MODULATE, D3DTOP_MODULATE,
                 lpDTCon->dwTextureFactor);
        D3DResetAlphaOp();
        return 1;
    }
    Locked lk(dst, src);
    if (!lk.ok) return 0;
    const KeyTest isKey = ModeKeyTest();
    const bool skip = key == 1;
    if (!lpDTCon && g_nBpp == 8) {
        if (!table) return 0;
        ForRows(lk, x, y, w, h, sx, sy, [&](u32* d, const u32* s, int len) { TableAlphaRow8(d, s, len, table, skip ? 0u : 256u); });
        return 1;
    }
    const bool sixteen = g_Grid.on;
    const u32 km = skip ? isKey.mask : 0u, kv = skip ? isKey.value : 1u;
    if (!lpDTCon) {
        // A target pixel of the key colour takes the source unmixed: translucent characters
        // over the colour-key background stay opaque.
        ForRows(lk, x, y, w, h, sx, sy, [&](u32* d, const u32* s, int len) {
            if (sixteen) HalfAlphaRowDD<true>(d, s, len, km, kv, isKey.mask, isKey.value);
            else HalfAlphaRowDD<false>(d, s, len, km, kv, isKey.mask, isKey.value);
        });
        return 1;
    }
    ForRows(lk, x, y, w, h, sx, sy, [&](u32* d, const u32* s, int len) {
        if (sixteen) HalfAlphaRowD3D<true>(d, s, len, km, kv);
        else HalfAlphaRowD3D<false>(d, s, len, km, kv);
    });
    return 1;
}

i32 DDBltHalfAlpha(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 key,
                   const u8* table) {
    return DDBltAlpha(dst, x, y, w, h, src, sx, sy, key, table, 128);
}

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

void DDChangeColorSrc(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 alpha, u8 red, u8 green,
                      u8 blue) {
    if (!lpDTCon) {
        DebugLog("DDrawでは DDChangeColor(DDSURFACEDATA *lpDstSD,int x,int y,int nWidth,int nHeight,int nAlpha,BYTE bRed,BYTE bGreen,BYTE bBlue) は未対応");
        return;
    }
    Locked lk(dst, src);
    if (!lk.ok) return;
    RasterOp op;
    op.kind = RasterKind::Gpu;
    op.diffuse = static_cast<u32>(255 - std::clamp(alpha, 0, 255)) << 24 | Rgb(red, green, blue);
    op.colorOp = D3DTOP_MODULATE;
    op.alphaOp = D3DTOP_MODULATE;
    DDBeginScene();
    const Span sp = Clip(lk, x, y, w, h, x, y);
    if (sp.Empty()) return;
    // Each row snapped to the grid while it is still in the cache.
    for (i64 j = sp.j0; j < sp.j1; ++j) {
        u32* d = lk.dst.lpPixels + (y + j) * lk.dst.nPitch + x + sp.i0;
        const int n = static_cast<int>(sp.i1 - sp.i0);
        if (g_Grid.on) RasterGpuSpanSnapped(d, lk.src.lpPixels + (y + j) * lk.src.nPitch + x + sp.i0, n, op);
        else RasterGpuSpan(d, lk.src.lpPixels + (y + j) * lk.src.nPitch + x + sp.i0, n, op);
    }
}

void DDChangeColor(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 alpha, u8 red, u8 green, u8 blue) {
    DDChangeColorSrc(dst, x, y, w, h, dst, alpha, red, green, blue);
}

void DDFade_UnPal(DDSURFACEDATA* dst, i32 w, u8 red, u8 green, u8 blue, DDSURFACEDATA* src) {
    if (lpDTCon) {
        DebugLog("D3DではDDFade_UnPalは未対応");
        return;
    }
    PixelStore* d = SurfacePixels(dst);
    const PixelStore* s = SurfacePixels(src);
    if (!d || !s) return;
    w = std::clamp(w, 0, 256);
    const i32 W = std::min(d->width, s->width), H = std::min(d->height, s->height);
    const u32 cw = static_cast<u32>(256 - w), uw = static_cast<u32>(w);
    // At 16 bits the mix is made on the 0..255 scale and scaled back down.
    for (i32 y = 0; y < H; ++y) {
        if (g_Grid.on) FadeRow<true>(d->Row(y), s->Row(y), W, uw, blue * cw, green * cw, red * cw);
        else FadeRow<false>(d->Row(y), s->Row(y), W, uw, blue * cw, green * cw, red * cw);
    }
}
