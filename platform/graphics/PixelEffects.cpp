// Pixel effect blitters: colour blend, alpha, mosaic, blur and colour change. At 8 bits the
// colours mix through the blend table; at 16 and 32 bits (both stored as 32) the channels are
// computed. Under Direct3D a blitter draws one textured quad when the target is a render
// target and the source is not a system texture, else it works on the locked pixels.
#include <algorithm>
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

inline u32 Ch(u32 p, int s) { return (p >> s) & 255; }
inline u32 Rgb(u32 r, u32 g, u32 b) { return r << 16 | g << 8 | b; }

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
        const u32 ci = colorIndex & 255;
        ForPixels(lk, x, y, w, h, sx, sy, [&](u32& d, u32 s) {
            if (skip && isKey(s)) return;
            u32 p = s & 255;
            for (i32 k = 0; k < n; ++k) p = table[p * 256 + ci];
            d = p;
        });
        return 1;
    }
    // Halving toward the colour settles within 9 steps: more change nothing.
    const i32 steps = std::min(n, 16);
    if (!lpDTCon) {
        ForPixels(lk, x, y, w, h, sx, sy, [&](u32& d, u32 s) {
            if (skip && isKey(s)) return;
            u32 r = Ch(s, 16), g = Ch(s, 8), b = Ch(s, 0);
            for (i32 k = 0; k < steps; ++k) {
                r = (r + t.peRed) >> 1;
                g = (g + t.peGreen) >> 1;
                b = (b + t.peBlue) >> 1;
            }
            d = (d & 0xFF000000) | Rgb(r, g, b);
        });
        return 1;
    }
    // Direct3D on locked pixels: half and half at level 1, then fixed source shares.
    static const double kShare[3] = {64.0 / 255, 32.0 / 255, 16.0 / 255};
    const double f = n >= 2 ? kShare[std::min(n, 4) - 2] : 0;
    auto mix = [&](u32 sc, u32 tc) -> u32 {
        if (n == 1) return (sc + tc) >> 1;
        return static_cast<u32>(sc * f + tc * (1 - f));
    };
    ForPixels(lk, x, y, w, h, sx, sy, [&](u32& d, u32 s) {
        if (skip && isKey(s)) return;
        d = 0xFF000000 | Rgb(mix(Ch(s, 16), t.peRed), mix(Ch(s, 8), t.peGreen), mix(Ch(s, 0), t.peBlue));
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
        ForPixels(lk, x, y, w, h, sx, sy, [&](u32& d, u32 s) {
            const u32 si = s & 255, di = d & 255;
            if (skip && si == 0) return;
            d = di == 0 ? si : table[si + di * 256];
        });
        return 1;
    }
    if (!lpDTCon) {
        // A target pixel of the key colour takes the source unmixed: translucent characters
        // over the colour-key background stay opaque.
        ForPixels(lk, x, y, w, h, sx, sy, [&](u32& d, u32 s) {
            if (skip && isKey(s)) return;
            if (isKey(d)) {
                d = (d & 0xFF000000) | (s & 0xFFFFFF);
                return;
            }
            d = (d & 0xFF000000) | Rgb((Ch(s, 16) + Ch(d, 16)) >> 1, (Ch(s, 8) + Ch(d, 8)) >> 1, (Ch(s, 0) + Ch(d, 0)) >> 1);
        });
        return 1;
    }
    ForPixels(lk, x, y, w, h, sx, sy, [&](u32& d, u32 s) {
        if (skip && isKey(s)) return;
        d = 0xFF000000 | Rgb((Ch(s, 16) + Ch(d, 16)) >> 1, (Ch(s, 8) + Ch(d, 8)) >> 1, (Ch(s, 0) + Ch(d, 0)) >> 1);
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
        for (i64 j = j0; j < j1; ++j) {
            u32* d = lk.dst.lpPixels + (y + j) * lk.dst.nPitch + x;
            std::fill(d + i0, d + i1, v);
        }
    };
    for (i64 bj = 0; bj < h; bj += b) {
        const i64 bj1 = std::min<i64>(bj + b, h);
        for (i64 bi = 0; bi < w; bi += b) {
            const i64 bi1 = std::min<i64>(bi + b, w);
            if (sample) {
                const i64 px = sx + bi, py = sy + bj;
                if (px < 0 || py < 0 || px >= lk.src.nWidth || py >= lk.src.nHeight) continue;
                u32 v = lk.src.lpPixels[py * lk.src.nPitch + px];
                if (skip && isKey(v)) continue;
                if (lpDTCon) v |= 0xFF000000;
                fill(bi, bj, bi1, bj1, v);
                continue;
            }
            // DirectDraw 16/32 bits: the block's average, its transparent pixels left out.
            u64 r = 0, g = 0, bl = 0, a = 0, count = 0;
            const i64 rj0 = std::max<i64>(bj, all.j0), rj1 = std::min<i64>(bj1, std::min<i64>(h, lk.src.nHeight - static_cast<i64>(sy)));
            const i64 ri0 = std::max<i64>(bi, std::max<i64>(0, -static_cast<i64>(sx))),
                      ri1 = std::min<i64>(bi1, lk.src.nWidth - static_cast<i64>(sx));
            for (i64 j = std::max<i64>(rj0, -static_cast<i64>(sy)); j < rj1; ++j) {
                const u32* s = lk.src.lpPixels + (sy + j) * lk.src.nPitch + sx;
                for (i64 i = ri0; i < ri1; ++i) {
                    const u32 p = s[i];
                    if (skip && isKey(p)) continue;
                    r += Ch(p, 16);
                    g += Ch(p, 8);
                    bl += Ch(p, 0);
                    a += Ch(p, 24);
                    ++count;
                }
            }
            if (!count) continue;
            const u32 v = static_cast<u32>(a / count) << 24 | Rgb(static_cast<u32>(r / count), static_cast<u32>(g / count),
                                                                   static_cast<u32>(bl / count));
            if (skip && isKey(v)) continue;
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
    const i64 W = i1 - i0, H = j1 - j0;
    constexpr int kC = 5; // blue, green, red, alpha, count
    thread_local std::vector<u32> rowSum, colSum;
    rowSum.assign(static_cast<std::size_t>(W * H * kC), 0);
    const i64 rx = radiusX, ry = radiusY;
    for (i64 j = 0; j < H; ++j) {
        const u32* s = lk.src.lpPixels + (sy + j0 + j) * lk.src.nPitch + sx + i0;
        u32* out = rowSum.data() + j * W * kC;
        u32 acc[kC] = {};
        auto add = [&](i64 i, int sign) {
            if (i < 0 || i >= W) return;
            const u32 p = s[i];
            if (skip && isKey(p)) return;
            const u32 v[kC] = {Ch(p, 0), Ch(p, 8), Ch(p, 16), Ch(p, 24), 1};
            for (int c = 0; c < kC; ++c) acc[c] += sign > 0 ? v[c] : 0u - v[c];
        };
        for (i64 i = -rx; i < rx - 1; ++i) add(i, 1);
        for (i64 i = 0; i < W; ++i) {
            add(i + rx - 1, 1);
            for (int c = 0; c < kC; ++c) out[i * kC + c] = acc[c];
            add(i - rx, -1);
        }
    }
    colSum.assign(static_cast<std::size_t>(W * kC), 0);
    auto addRow = [&](i64 j, int sign) {
        if (j < 0 || j >= H) return;
        const u32* r = rowSum.data() + j * W * kC;
        if (sign > 0) for (i64 k = 0; k < W * kC; ++k) colSum[k] += r[k];
        else for (i64 k = 0; k < W * kC; ++k) colSum[k] -= r[k];
    };
    // Every source pixel was read by the row pass, except the key tests of a row's own
    // pixels, which are made before the row is written: the target may be the source.
    thread_local std::vector<u32> outRow;
    thread_local std::vector<u8> write;
    outRow.resize(static_cast<std::size_t>(W));
    write.resize(static_cast<std::size_t>(W));
    for (i64 j = -ry; j < ry - 1; ++j) addRow(j, 1);
    for (i64 j = 0; j < H; ++j) {
        addRow(j + ry - 1, 1);
        const i64 ty = static_cast<i64>(y) + j0 + j;
        if (ty >= 0 && ty < lk.dst.nHeight) {
            const u32* s = lk.src.lpPixels + (sy + j0 + j) * lk.src.nPitch + sx + i0;
            for (i64 i = 0; i < W; ++i) {
                const u32* a = colSum.data() + i * kC;
                const u32 n = a[4];
                write[i] = n && !(skip && isKey(s[i]));
                if (write[i]) outRow[i] = (a[3] / n) << 24 | (a[2] / n) << 16 | (a[1] / n) << 8 | (a[0] / n);
            }
            u32* d = lk.dst.lpPixels + ty * lk.dst.nPitch;
            for (i64 i = 0; i < W; ++i) {
                const i64 tx = static_cast<i64>(x) + i0 + i;
                if (write[i] && tx >= 0 && tx < lk.dst.nWidth) d[tx] = outRow[i];
            }
        }
        addRow(j - ry, -1);
    }
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
    ForPixels(lk, x, y, w, h, x, y, [&](u32& d, u32 s) { RasterPixel(d, s, op); });
}

void DDChangeColor(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 alpha, u8 red, u8 green, u8 blue) {
    DDChangeColorSrc(dst, x, y, w, h, dst, alpha, red, green, blue);
}
