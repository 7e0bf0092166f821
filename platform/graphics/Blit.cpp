// Blits, fills, shapes and the two Direct3D draw batches.
#include <algorithm>
#include <cmath>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Raster.h"
#include "platform/system/Report.h"

// ---------------------------------------------------------------------------------------------
// Quad state

void D3DSetVertexColor(u32 color) { if (lpDTCon) lpDTCon->dwQuadColor = color; }
void D3DResetVertexColor() { if (lpDTCon) lpDTCon->dwQuadColor = 0xFFFFFFFF; }
void D3DSetColorOp(u32 op) { if (lpDTCon) lpDTCon->dwColorOp = op; }
void D3DResetColorOp() { if (lpDTCon) lpDTCon->dwColorOp = D3DTOP_MODULATE; }
void D3DSetAlphaOp(u32 op) { if (lpDTCon) lpDTCon->dwAlphaOp = op; }
void D3DResetAlphaOp() { if (lpDTCon) lpDTCon->dwAlphaOp = D3DTOP_SELECTARG1; }

u32 D3DClearColorFor(const DDSURFACEDATA* sd) {
    if (!lpDTCon) return g_dwTransColor;
    return sd == &g_sdBackBuffer ? lpDTCon->dwBackClearColor : lpDTCon->dwTexClearColor;
}

// What a clear to the transparent colour leaves in the record: at 16 bits the colour's 16-bit
// form.
u32 D3DClearPixelFor(const DDSURFACEDATA* sd) {
    if (!g_Grid.on) return D3DClearColorFor(sd);
    return GridUnpack(sd == &g_sdBackBuffer ? lpDTCon->wTransmit_16 : lpDTCon->wTexClear_16);
}

// ---------------------------------------------------------------------------------------------
// Batches

namespace {
struct QuadEntry {
    i32 key = 0;
    DDSURFACEDATA* dst = nullptr;
    DDSURFACEDATA* src = nullptr;
    i32 x = 0, y = 0, w = 0, h = 0, sx = 0, sy = 0, sw = 0, sh = 0;
    u32 flags = 0, color = 0, colorOp = 0, alphaOp = 0, factor = 0, zero = 0;
    // The pixels themselves are held (the batch's held list), so a record released before
    // the flush draws nothing harmful; the pre-clear colour is the one of the moment the blit
    // was asked for.
    PixelStore* dstStore = nullptr;
    PixelStore* srcStore = nullptr;
    bool preClear = false;
    u32 clearColor = 0;
    // Where the source's texels show, when it is known (held by the batch, as the stores are).
    const cTexelBlocks* blocks = nullptr;
};
struct FillEntry {
    DDSURFACEDATA* sd = nullptr;
    i32 x = 0, y = 0, w = 0, h = 0;
    u32 color = 0;
    std::shared_ptr<PixelStore> store;
};
struct QuadBatch {
    bool open = false;
    bool layerMode = false;
    std::vector<QuadEntry> entries;
    u32 sequence = 0;
    std::vector<std::pair<const DDSURFACEDATA*, i32>> layers;
    // Whether any entry clears under its quad: a batch of sprites has none, and its flush then
    // walks its entries once.
    bool preClears = false;
    // One hold on each store the entries draw from or into, until the flush has drawn them:
    // a frame's quads share a few stores, so most entries add no hold (and no count to move).
    std::vector<std::shared_ptr<PixelStore>> held;
    std::vector<std::shared_ptr<const cTexelBlocks>> heldBlocks;
};
struct FillBatch {
    bool open = false;
    std::vector<FillEntry> entries;
};
QuadBatch g_batch;
FillBatch g_fillBatch;
u32 g_nRuns = 0;

std::shared_ptr<PixelStore> StoreOf(DDSURFACEDATA* sd) {
    std::shared_ptr<PixelStore> s;
    if (sd && sd->lpDT) s = sd->lpDT->lpSurface;
    else if (sd && sd->holder) s = sd->holder->lpSurface;
    PixelsInUse(s.get());
    return s;
}

// The record's pixels for an entry of the open batch, held until its flush.
PixelStore* HeldStoreOf(DDSURFACEDATA* sd) {
    const std::shared_ptr<PixelStore>* s = nullptr;
    if (sd && sd->lpDT) s = &sd->lpDT->lpSurface;
    else if (sd && sd->holder) s = &sd->holder->lpSurface;
    if (!s || !*s) return nullptr;
    PixelsInUse(s->get());
    std::vector<std::shared_ptr<PixelStore>>& held = g_batch.held;
    for (std::size_t k = held.size(), seen = 0; k > 0 && seen < 4; --k, ++seen)
        if (held[k - 1] == *s) return s->get();
    held.push_back(*s);
    return s->get();
}

void DrawGpuQuad(PixelStore& d, const PixelStore& s, i32 x, i32 y, i32 w, i32 h, i32 sx, i32 sy, i32 sw, i32 sh,
                 u32 color, u32 colorOp, u32 alphaOp, u32 factor, bool preClear, u32 clearColor,
                 cTexelLooks* looks = nullptr, const cTexelBlocks* blocks = nullptr) {
    if (preClear) RasterPreClear(d, x, y, w, h, s, sx, sy, sw, sh, clearColor, color, alphaOp);
    RasterOp op;
    op.kind = RasterKind::Gpu;
    op.diffuse = color;
    op.colorOp = colorOp;
    op.alphaOp = alphaOp;
    op.textureFactor = factor;
    RasterBlit(d, x, y, w, h, s, sx, sy, sw, sh, op, looks, blocks);
}
} // namespace

bool D3DBatchIsOpen() { return g_batch.open; }
bool D3DFillBatchIsOpen() { return g_fillBatch.open; }
u32 D3DBatchRunCount() { return g_nRuns; }

void D3DBeginBatch(u32 layerMode) {
    if (!lpDTCon) {
        g_batch = QuadBatch{};
        return;
    }
    // Beginning inside an open batch (text drawn inside a sprite batch) would drop what the
    // outer batch holds: draw that first.
    if (g_batch.open && !g_batch.entries.empty()) D3DFlushBatch();
    g_batch.open = true;
    g_batch.layerMode = layerMode != 0;
    g_batch.entries.clear();
    g_batch.held.clear();
    g_batch.heldBlocks.clear();
    g_batch.layers.clear();
    g_batch.sequence = 0;
    g_batch.preClears = false;
}

void D3DBatchAddLayer(const DDSURFACEDATA* key) {
    if (!lpDTCon || !g_batch.open || !g_batch.layerMode) return;
    for (const auto& l : g_batch.layers)
        if (l.first == key) return;
    g_batch.layers.emplace_back(key, static_cast<i32>(g_batch.layers.size() + 1) * 100000);
}

void D3DFlushBatch() {
    g_nRuns = 0;
    if (!lpDTCon || g_batch.entries.empty()) {
        g_batch.open = false;
        g_batch.entries.clear();
        g_batch.held.clear();
        g_batch.heldBlocks.clear();
        return;
    }
    std::vector<QuadEntry> entries;
    entries.swap(g_batch.entries);
    std::vector<std::shared_ptr<PixelStore>> held;
    held.swap(g_batch.held);
    std::vector<std::shared_ptr<const cTexelBlocks>> heldBlocks;
    heldBlocks.swap(g_batch.heldBlocks);
    const bool preClears = g_batch.preClears;
    g_batch.open = false;
    g_batch.preClears = false;
    // The draw order: by key, entries of equal keys in the order they came (the pairs sort
    // like a stable sort of the entries, without moving the entries themselves).
    thread_local std::vector<std::pair<i32, u32>> order;
    order.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) order[i] = {g_batch.layerMode ? entries[i].key : 0, static_cast<u32>(i)};
    if (g_batch.layerMode && !std::is_sorted(order.begin(), order.end())) std::sort(order.begin(), order.end());
    auto at = [&](std::size_t k) -> const QuadEntry& { return entries[order[k].second]; };
    // The pictures' looks are kept for this flush only; what it draws into is never kept.
    thread_local cTexelLooks looks;
    looks.Clear();
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (i == 0 || entries[i].dstStore != entries[i - 1].dstStore) looks.Exclude(entries[i].dstStore);
    auto sameRun = [](const QuadEntry& a, const QuadEntry& b) {
        return a.src == b.src && a.dst == b.dst && a.flags == b.flags && a.color == b.color &&
               a.colorOp == b.colorOp && a.alphaOp == b.alphaOp && a.factor == b.factor && a.zero == b.zero;
    };
    for (std::size_t first = 0; first < entries.size();) {
        std::size_t end = first + 1;
        while (end < entries.size() && sameRun(at(end - 1), at(end))) ++end;
        ++g_nRuns;
        DDBeginScene();
        // A run is one draw call: every transparent-colour clear of the run comes before its
        // quads, so an opaque copy that overlaps an earlier one of the same run keeps what the
        // earlier one drew where its own texels are transparent.
        for (std::size_t i = first; preClears && i < end; ++i) {
            const QuadEntry& e = at(i);
            if (e.preClear && e.dstStore && e.srcStore)
                RasterPreClear(*e.dstStore, e.x, e.y, e.w, e.h, *e.srcStore, e.sx, e.sy, e.sw, e.sh, e.clearColor, e.color,
                               e.alphaOp);
        }
        for (std::size_t i = first; i < end; ++i) {
            const QuadEntry& e = at(i);
            if (!e.dstStore || !e.srcStore) continue;
            DrawGpuQuad(*e.dstStore, *e.srcStore, e.x, e.y, e.w, e.h, e.sx, e.sy, e.sw, e.sh, e.color, e.colorOp,
                        e.alphaOp, e.factor, false, 0, &looks, e.blocks);
        }
        first = end;
    }
    looks.Clear();
    // The next batch reuses the storage (a frame's sprites fill it again).
    entries.clear();
    held.clear();
    heldBlocks.clear();
    if (g_batch.entries.empty()) g_batch.entries.swap(entries);
    if (g_batch.held.empty()) g_batch.held.swap(held);
    if (g_batch.heldBlocks.empty()) g_batch.heldBlocks.swap(heldBlocks);
}

void D3DBeginFillBatch() {
    if (!lpDTCon) {
        g_fillBatch = FillBatch{};
        return;
    }
    if (g_fillBatch.open && !g_fillBatch.entries.empty()) D3DFlushFillBatch();
    g_fillBatch.open = true;
    g_fillBatch.entries.clear();
}

void D3DFlushFillBatch() {
    g_nRuns = 0;
    if (!lpDTCon || g_fillBatch.entries.empty()) {
        g_fillBatch.open = false;
        g_fillBatch.entries.clear();
        return;
    }
    std::vector<FillEntry> entries;
    entries.swap(g_fillBatch.entries);
    g_fillBatch.open = false;
    const FillEntry* prev = nullptr;
    for (const FillEntry& e : entries) {
        if (!prev || prev->sd != e.sd) {
            ++g_nRuns;
            DDBeginScene();
        }
        prev = &e;
        if (e.store) RasterFill(*e.store, e.x, e.y, e.w, e.h, e.color, true);
    }
}

// ---------------------------------------------------------------------------------------------
// Clipping

namespace {
// One axis of the same-size clip. Both destination edges are cut, also after a negative
// position moved the source start, so no span can run past the destination.
bool ClipSame(i64* d, i64* s, i64* len, i64 srcLimit, i64 dstLimit) {
    i64 s0 = *s, s1 = *s + *len;
    if (s0 < 0) s0 = 0;
    if (s1 > srcLimit) s1 = srcLimit;
    if (*d >= 0) {
        if (*d >= dstLimit) return false;
        if (*d + (s1 - s0) > dstLimit) s1 = dstLimit - *d + s0;
    } else {
        s0 -= *d;
        *d = 0;
        if (s1 - s0 > dstLimit) s1 = s0 + dstLimit;
    }
    *s = s0;
    *len = s1 - s0;
    return *len >= 1;
}

// One axis of the stretch clip: the source edges are cut to the source, the destination
// length shrinks by the same fraction; DirectDraw also cuts against the destination.
bool ClipStretch(i64* d, i64* dl, i64* s, i64* sl, i64 srcLimit, i64 dstLimit, bool direct3D) {
    const bool mirrored = *sl < 0;
    double s0 = static_cast<double>(*s), s1 = static_cast<double>(*s + *sl);
    if (mirrored) std::swap(s0, s1);
    if (s0 < 0) s0 = 0;
    if (s1 > static_cast<double>(srcLimit)) s1 = static_cast<double>(srcLimit);
    if (s1 <= s0) return false;
    const double f = (s1 - s0) / static_cast<double>(mirrored ? -*sl : *sl);
    *dl = static_cast<i64>(std::trunc(static_cast<double>(*dl) * f));
    if (mirrored) {
        *s = static_cast<i64>(s1);
        *sl = static_cast<i64>(s0) - static_cast<i64>(s1);
    } else {
        *s = static_cast<i64>(s0);
        *sl = static_cast<i64>(s1) - static_cast<i64>(s0);
    }
    if (!direct3D) {
        if (*d < 0) {
            if (*d + *dl < 0 || *dl == 0) return false;
            const i64 ns = static_cast<i64>(std::trunc(static_cast<double>(-*d) / static_cast<double>(*dl) *
                                                           static_cast<double>(*sl) + static_cast<double>(*s)));
            *sl -= ns - *s;
            *s = ns;
            *dl += *d;
            *d = 0;
        }
        if (*d + *dl > dstLimit) {
            if (*d >= dstLimit || *dl == 0) return false;
            *sl = static_cast<i64>(std::trunc(static_cast<double>(dstLimit - *d) / static_cast<double>(*dl) *
                                              static_cast<double>(*sl)));
            *dl = dstLimit - *d;
        }
    }
    if (mirrored ? *sl >= 0 : *sl < 1) return false;
    return *dl >= 1;
}
} // namespace

bool DDClipBlt(DDSURFACEDATA* dst, i32* x, i32* y, i32* w, i32* h, DDSURFACEDATA* src, i32* sx, i32* sy, i32* sw,
               i32* sh) {
    if (*w < 1 || *h < 1 || *sw == 0 || *sh == 0) return false;
    const PixelStore* ds = SurfacePixels(dst);
    const PixelStore* ss = SurfacePixels(src);
    if (!ds || !ss) return false;
    i64 X = *x, Y = *y, W = *w, H = *h, SX = *sx, SY = *sy, SW = *sw, SH = *sh;
    if (SW == W && SH == H) {
        if (!ClipSame(&X, &SX, &W, ss->width, ds->width)) return false;
        if (!ClipSame(&Y, &SY, &H, ss->height, ds->height)) return false;
        SW = W;
        SH = H;
    } else {
        const bool d3d = lpDTCon != nullptr;
        if (!ClipStretch(&X, &W, &SX, &SW, ss->width, ds->width, d3d)) return false;
        if (!ClipStretch(&Y, &H, &SY, &SH, ss->height, ds->height, d3d)) return false;
    }
    *x = static_cast<i32>(X); *y = static_cast<i32>(Y); *w = static_cast<i32>(W); *h = static_cast<i32>(H);
    *sx = static_cast<i32>(SX); *sy = static_cast<i32>(SY); *sw = static_cast<i32>(SW); *sh = static_cast<i32>(SH);
    return true;
}

void D3DAdjustSrcRect(DDSURFACEDATA* src, i32* sx, i32* sy, i32* sw, i32* sh) {
    if (!lpDTCon || !src || !src->alias) return;
    const i32 W = src->mirrorW, H = src->mirrorH;
    if (W > 0) {
        if (*sw == W) {
            *sx += *sw;
            *sw = -*sw;
        } else if (*sw < W) {
            *sx = *sx - 2 * (*sx % W) + W;
            *sw = -*sw;
        }
    }
    if (H > 0) {
        if (*sh == H) {
            *sy += *sh;
            *sh = -*sh;
        } else if (*sh < H) {
            *sy = *sy - 2 * (*sy % H) + H;
            *sh = -*sh;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Blits

void D3DBltQuad(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, i32 sw, i32 sh,
                u32 flags) {
    if (!dst || !src) return;
    if (!lpDTCon) {
        if (!DDClipBlt(dst, &x, &y, &w, &h, src, &sx, &sy, &sw, &sh)) return;
        RasterOp op;
        if (flags == DDBLT_KEY && SurfaceHasColorKey(src)) {
            const KeyTest k = ModeKeyTest();
            op.kind = RasterKind::DDKey;
            op.key = k.value;
            op.keyMask = k.mask;
        }
        RasterBlit(*SurfacePixels(dst), x, y, w, h, *SurfacePixels(src), sx, sy, sw, sh, op);
        return;
    }
    // A slot that shares another's picture without a copy of its own reads it mirrored.
    if (src->alias && !SurfacePixels(src)) D3DAdjustSrcRect(src, &sx, &sy, &sw, &sh);
    DDResolveSD(&dst);
    DDResolveSD(&src);
    if (lpDTCon->bCopyingVirtual) {
        dst = &g_sdBackBuffer;
        src = &g_sdVirBackBuffer;
    } else {
        DDSetDrawTarget(&dst);
        DDSetDrawTarget(&src);
    }
    if (!dst->lpDT || !src->lpDT || !SurfacePixels(dst) || !SurfacePixels(src)) return;
    if (dst->lpDT->bRenderTarget && !src->lpDT->bSystemTexture) {
        if (!DDClipBlt(dst, &x, &y, &w, &h, src, &sx, &sy, &sw, &sh)) return;
        const bool preClear = flags == 0 && src->lpDT->bColorKey;
        const u32 clearColor = preClear ? D3DClearPixelFor(dst) : 0;
        if (g_batch.open) {
            QuadEntry e;
            if (g_batch.layerMode) {
                for (const auto& l : g_batch.layers)
                    if (l.first == src) e.key = l.second;
            }
            e.key += static_cast<i32>(g_batch.sequence++);
            e.dst = dst; e.src = src;
            e.x = x; e.y = y; e.w = w; e.h = h; e.sx = sx; e.sy = sy; e.sw = sw; e.sh = sh;
            e.flags = flags;
            e.color = lpDTCon->dwQuadColor;
            e.colorOp = lpDTCon->dwColorOp;
            e.alphaOp = lpDTCon->dwAlphaOp;
            e.factor = lpDTCon->dwTextureFactor;
            e.dstStore = HeldStoreOf(dst);
            e.srcStore = HeldStoreOf(src);
            e.preClear = preClear;
            e.clearColor = clearColor;
            if (src->lpDT->blocks) {
                e.blocks = src->lpDT->blocks.get();
                g_batch.heldBlocks.push_back(src->lpDT->blocks);
            }
            g_batch.preClears |= preClear;
            g_batch.entries.push_back(std::move(e));
            return;
        }
        if (!DDBeginScene()) return;
        if (!DDSetRenderTarget(0, dst)) return;
        DrawGpuQuad(*SurfacePixels(dst), *SurfacePixels(src), x, y, w, h, sx, sy, sw, sh, lpDTCon->dwQuadColor,
                    lpDTCon->dwColorOp, lpDTCon->dwAlphaOp, lpDTCon->dwTextureFactor, preClear, clearColor, nullptr,
                    src->lpDT->blocks.get());
        if (lpDTCon->lpRenderTarget) DDSetRenderTarget(0, lpDTCon->lpRenderTarget);
        return;
    }
    // CPU path: a plain copy, transparent texels skipped with the key flag, no modulation.
    // Pixels outside either record are skipped one by one.
    RasterOp op;
    op.kind = flags == DDBLT_KEY ? RasterKind::AlphaKey : RasterKind::Copy;
    RasterBlit(*SurfacePixels(dst), x, y, w, h, *SurfacePixels(src), sx, sy, sw, sh, op);
}

void DDBlt(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 flags) {
    D3DBltQuad(dst, x, y, w, h, src, sx, sy, w, h, flags);
}

void DDBltExQuad(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, i32 sw, i32 sh,
                 u32 flags, const BLTEXTRA* extra) {
    if (lpDTCon && extra) {
        D3DSetVertexColor(extra->dwColor);
        D3DSetColorOp(extra->dwColorOp);
        D3DBltQuad(dst, x, y, w, h, src, sx, sy, sw, sh, flags);
        D3DResetVertexColor();
        D3DResetColorOp();
        return;
    }
    D3DBltQuad(dst, x, y, w, h, src, sx, sy, sw, sh, flags);
}

void DDBltEx(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 flags,
             const BLTEXTRA* extra) {
    if (!lpDTCon) {
        DDBlt(dst, x, y, w, h, src, sx, sy, flags);
        return;
    }
    DDBltExQuad(dst, x, y, w, h, src, sx, sy, w, h, flags, extra);
}

// ---------------------------------------------------------------------------------------------
// Fills and shapes

namespace {
// The DirectDraw fill rectangle: both edges of both axes cut to the record.
// The value is a pixel of the surface format (16 bits in a 16-bit mode).
void DDFillValue(DDSURFACEDATA* sd, i32 x, i32 y, i32 w, i32 h, u32 value) {
    PixelStore* s = SurfacePixels(sd);
    if (!s) return;
    RasterFill(*s, x, y, w, h, g_Grid.on ? GridUnpack(value) : value, false);
}
} // namespace

void D3DFillRect(DDSURFACEDATA* sd, i32 x, i32 y, i32 w, i32 h, u32 color) {
    if (!lpDTCon) {
        DDFillValue(sd, x, y, w, h, color);
        return;
    }
    if (!sd) return;
    DDResolveSD(&sd);
    DDSetDrawTarget(&sd);
    PixelStore* s = SurfacePixels(sd);
    if (!s || !sd->lpDT) return;
    if (!sd->lpDT->bRenderTarget) {
        RasterFill(*s, x, y, w, h, GridCut(color), false);
        return;
    }
    // Cut to the record; a negative position shortens the rectangle by as much.
    i64 X = x, Y = y, W = w, H = h;
    if (X < 0) { W += X; X = 0; }
    if (Y < 0) { H += Y; Y = 0; }
    W = std::min<i64>(W, s->width - X);
    H = std::min<i64>(H, s->height - Y);
    if (W < 1 || H < 1) return;
    const i32 cx = static_cast<i32>(X), cy = static_cast<i32>(Y), cw = static_cast<i32>(W), ch = static_cast<i32>(H);
    if (sd->lpDT->bColorKey && (g_nBpp == 16 || g_nBpp == 32) && color == D3DClearColorFor(sd)) {
        DDBeginScene();
        RasterFill(*s, cx, cy, cw, ch, D3DClearPixelFor(sd), false);
        return;
    }
    // An opaque colour enters the surface reduced like any other; a translucent one is blended
    // and the result snapped (RasterFill).
    const u32 value = (color >> 24) == 255 ? GridCut(color) : color;
    if (g_fillBatch.open) {
        g_fillBatch.entries.push_back(FillEntry{sd, cx, cy, cw, ch, value, StoreOf(sd)});
        return;
    }
    if (!DDBeginScene()) return;
    lpDTCon->dwTextureFactor = color;
    RasterFill(*s, cx, cy, cw, ch, value, true);
}

void D3DClearSurface(DDSURFACEDATA* sd, u32 color) {
    const PixelStore* s = SurfacePixels(sd);
    D3DFillRect(sd, 0, 0, s ? s->width : (sd ? sd->width : 0), s ? s->height : (sd ? sd->height : 0), color);
}

void DDFillRect(DDSURFACEDATA* sd, i32 x, i32 y, i32 w, i32 h, u32 palIndex) {
    if (lpDTCon) {
        D3DFillRect(sd, x, y, w, h, PalNumToRGB(palIndex));
        return;
    }
    DDFillValue(sd, x, y, w, h, PalNumToRGB(palIndex));
}

void DDFillSurface(DDSURFACEDATA* sd, u32 palIndex) {
    if (!sd) return;
    const PixelStore* s = SurfacePixels(sd);
    DDFillRect(sd, 0, 0, s ? s->width : sd->width, s ? s->height : sd->height, palIndex);
}

void DDSetPixel(DDSURFACEDATA* sd, i32 x, i32 y, u32 palIndex) {
    const PixelStore* s = SurfacePixels(sd);
    if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height) return;
    DDFillRect(sd, x, y, 1, 1, palIndex);
}

void DDDrawCircle(DDSURFACEDATA* sd, i32 cx, i32 cy, i32 radius, u32 palIndex) {
    if (radius < 1 || !SurfacePixels(sd)) return;
    i64 x = 0, y = radius, d = 3 - 2 * static_cast<i64>(radius);
    while (x <= y) {
        const i64 pts[8][2] = {{cx + x, cy + y}, {cx - x, cy + y}, {cx + x, cy - y}, {cx - x, cy - y},
                               {cx + y, cy + x}, {cx - y, cy + x}, {cx + y, cy - x}, {cx - y, cy - x}};
        for (const auto& p : pts) {
            if (p[0] < INT32_MIN || p[0] > INT32_MAX || p[1] < INT32_MIN || p[1] > INT32_MAX) continue;
            DDSetPixel(sd, static_cast<i32>(p[0]), static_cast<i32>(p[1]), palIndex);
        }
        if (d >= 0) {
            d += 4 * (x - y) + 10;
            --y;
        } else {
            d += 4 * x + 6;
        }
        ++x;
    }
}

bool DDLock(DDSURFACEDATA* sd, DDSURFACEDESC2* desc, u32** pixels, i32) {
    if (lpDTCon) {
        DebugLog("D3DではDDLockは未対応");
        return true;
    }
    PixelStore* s = SurfacePixels(sd);
    if (!s) return false;
    if (desc) {
        desc->width = s->width;
        desc->height = s->height;
        desc->lpSurface = s->px.data();
    }
    if (pixels) *pixels = s->px.data();
    return true;
}
