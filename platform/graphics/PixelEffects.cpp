// Pixel effect blitters: colour blend, alpha, colour change and fade (the mosaic and the blur
// have files of their own). At 8 bits the colours mix through the blend table; at 16 and 32
// bits the channels are computed: at 16 bits either on the 0..255 scale the pixels are stored
// in and scaled back down (DirectDraw), or on the channel values themselves (Direct3D's
// software paths, the blur). Under Direct3D a blitter draws one textured quad when the target
// is a render target and the source is not a system texture, else it works on the locked
// pixels.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/PixelEffectWalk.h"
#include "platform/graphics/Raster.h"
#include "platform/system/Report.h"

using namespace pixel_effects;

u8 g_lpBlendTable[65536] = {};

namespace {

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
