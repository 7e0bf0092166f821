// The Direct3D quad's stage-0 combiner over rows of texels: a kernel for every pair of colour
// and alpha ops, chosen at compile time, then the blend by the combined alpha; and the same
// kernels snapping to the 16-bit grid in the same pass.
#include "platform/graphics/RasterCombiner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "platform/graphics/GridLanes.h"
#include "platform/graphics/PixelLanes.h"
#include "platform/graphics/RasterRows.h"

using namespace pixel_loops;

namespace {

inline u32 CombineChannel(u32 t, u32 d, u32 op, u32 factorAlpha) {
    switch (op) {
    case D3DTOP_DISABLE: return d;
    case D3DTOP_SELECTARG1: return t;
    case D3DTOP_SELECTARG2: return d;
    case D3DTOP_MODULATE: return Div255(t * d);
    case D3DTOP_ADD: return std::min<u32>(t + d, 255);
    case D3DTOP_SUBTRACT: return t > d ? t - d : 0;
    case D3DTOP_BLENDFACTORALPHA: return Div255(t * factorAlpha + d * (255 - factorAlpha));
    default: return Div255(t * d);
    }
}

// The stage-0 combiner and the blend with the operations fixed at compile time, written
// without branches on the pixel values so that the compiler can vectorise the rows.
template <u32 OP>
inline u32 CombineT(u32 t, u32 d, u32 fa) {
    if constexpr (OP == D3DTOP_DISABLE || OP == D3DTOP_SELECTARG2) return d;
    else if constexpr (OP == D3DTOP_SELECTARG1) return t;
    else if constexpr (OP == D3DTOP_ADD) return std::min<u32>(t + d, 255);
    else if constexpr (OP == D3DTOP_SUBTRACT) return t > d ? t - d : 0;
    else if constexpr (OP == D3DTOP_BLENDFACTORALPHA) return Div255(t * fa + d * (255 - fa));
    else return Div255(t * d);
}

// CombineT on a block of channel pairs in 16-bit lanes (two channels to a pixel's 32 bits): dv
// holds each lane's diffuse channel, fa the factor's alpha and rest dv * (255 - fa). Every
// product and sum stays below 65,536, so the values are CombineT's.
template <u32 OP>
[[gnu::always_inline]] inline void CombineW(const SpanW& x, const SpanW& dv, const SpanW& fa, const SpanW& rest, SpanW& out) {
    if constexpr (OP == D3DTOP_DISABLE || OP == D3DTOP_SELECTARG2) out = dv;
    else if constexpr (OP == D3DTOP_SELECTARG1) out = x;
    else if constexpr (OP == D3DTOP_ADD) {
        const SpanW sum = x + dv;
        out = sum < 255 ? sum : sum - sum + 255;
    } else if constexpr (OP == D3DTOP_SUBTRACT) out = x > dv ? x - dv : x - x;
    else {
        const SpanW v = (OP == D3DTOP_BLENDFACTORALPHA ? x * fa + rest : x * dv) + 128;
        out = (v + (v >> 8)) >> 8;
    }
}

// The combiner's constant lanes for one diffuse colour and texture factor (see CombineW).
struct GpuLanes {
    SpanW dBR, dGA, faW, restBR, restGA;
    [[gnu::always_inline]] GpuLanes(u32 diffuse, u32 factor) {
        const u32 dr = Ch(diffuse, 16), dg = Ch(diffuse, 8), db = Ch(diffuse, 0), da = Ch(diffuse, 24);
        const u32 fa = factor >> 24;
        const SpanV zero = {};
        dBR = (SpanW)(zero + (db | dr << 16));
        dGA = (SpanW)(zero + (dg | da << 16));
        faW = (SpanW)(zero + (fa | fa << 16));
        restBR = (SpanW)(zero + (db * (255 - fa) | dr * (255 - fa) << 16));
        restGA = (SpanW)(zero + (dg * (255 - fa) | da * (255 - fa) << 16));
    }
};

// A block of texels through the combiner: blue|red in cBR's 16-bit halves, green|alpha in cGA's.
template <u32 CO, u32 AO>
[[gnu::always_inline]] inline void CombineBlock(const SpanV& t, const GpuLanes& l, SpanV& cBR, SpanV& cGA) {
    const SpanW br = (SpanW)(t & 0x00FF00FFu), ga = (SpanW)((t >> 8) & 0x00FF00FFu);
    SpanW wBR, wG, wA;
    CombineW<CO>(br, l.dBR, l.faW, l.restBR, wBR);
    CombineW<CO>(ga, l.dGA, l.faW, l.restGA, wG);
    CombineW<AO>(ga, l.dGA, l.faW, l.restGA, wA);
    cBR = (SpanV)wBR;
    cGA = ((SpanV)wG & 0x0000FFFFu) | ((SpanV)wA & 0xFFFF0000u);
}

// Combined texels over the target block o by their own alpha, channel pairs as CombineBlock gives them.
[[gnu::always_inline]] inline void BlendBlock(const SpanV& cBR, const SpanV& cGA, const SpanV& o, SpanW& ob, SpanW& og) {
    const SpanV aa = (cGA >> 16) | (cGA & 0xFFFF0000u);
    const SpanW a2 = (SpanW)aa, ia2 = (SpanW)(0x00FF00FFu - aa);
    const SpanW xb = (SpanW)cBR * a2 + (SpanW)(o & 0x00FF00FFu) * ia2 + 128;
    const SpanW xg = (SpanW)cGA * a2 + (SpanW)((o >> 8) & 0x00FF00FFu) * ia2 + 128;
    ob = (xb + (xb >> 8)) >> 8;
    og = (xg + (xg >> 8)) >> 8;
}

template <u32 CO, u32 AO>
PIXEL_LOOP_CLONES void SpanGpuT(u32* d, const u32* s, int n, u32 diffuse, u32 factor) {
    const u32 dr = Ch(diffuse, 16), dg = Ch(diffuse, 8), db = Ch(diffuse, 0), da = Ch(diffuse, 24);
    const u32 fa = factor >> 24;
    // Eight pixels at a time: blue and red in the 16-bit halves of one vector, green and alpha
    // in those of another, the colour op on the first and the green halves, the alpha op on the
    // alpha halves, then the blend of both by each pixel's alpha.
    const GpuLanes lanes(diffuse, factor);
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        SpanV t, o, cBR, cGA;
        LoadV(t, s + i);
        LoadV(o, d + i);
        CombineBlock<CO, AO>(t, lanes, cBR, cGA);
        SpanW ob, og;
        BlendBlock(cBR, cGA, o, ob, og);
        StoreV(d + i, (SpanV)ob | (SpanV)og << 8);
    }
    for (; i < n; ++i) {
        const u32 t = s[i], o = d[i];
        u32 r, g, b;
        if constexpr (CO == D3DTOP_DISABLE) {
            r = dr; g = dg; b = db;
        } else {
            r = CombineT<CO>(Ch(t, 16), dr, fa);
            g = CombineT<CO>(Ch(t, 8), dg, fa);
            b = CombineT<CO>(Ch(t, 0), db, fa);
        }
        const u32 a = CombineT<AO>(Ch(t, 24), da, fa);
        const u32 ia = 255 - a;
        const u32 oa = Div255(a * a + Ch(o, 24) * ia);
        const u32 rr = Div255(r * a + Ch(o, 16) * ia);
        const u32 gg = Div255(g * a + Ch(o, 8) * ia);
        const u32 bb = Div255(b * a + Ch(o, 0) * ia);
        d[i] = oa << 24 | rr << 16 | gg << 8 | bb;
    }
}

void SpanGpuGeneric(u32* d, const u32* s, int n, u32 diffuse, u32 colorOp, u32 alphaOp, u32 factor) {
    for (int i = 0; i < n; ++i) d[i] = BlendPixel(CombineStage0(s[i], diffuse, colorOp, alphaOp, factor), d[i]);
}

using GpuSpanFn = void (*)(u32*, const u32*, int, u32, u32);
constexpr u32 kOps[] = {D3DTOP_DISABLE, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_MODULATE,
                        D3DTOP_ADD, D3DTOP_SUBTRACT, D3DTOP_BLENDFACTORALPHA};
// A span kernel for every pair of colour and alpha ops in kOps, chosen at compile time:
// Pick::Of<C, A>() is the kernel of one pair.
template <class Pick, u32 CO, std::size_t... A>
constexpr auto OpRowOf(std::index_sequence<A...>) {
    return std::array{Pick::template Of<CO, kOps[A]>()...};
}
template <class Pick, std::size_t... C>
constexpr auto OpTableOf(std::index_sequence<C...>) {
    return std::array{OpRowOf<Pick, kOps[C]>(std::make_index_sequence<std::size(kOps)>{})...};
}
template <class Pick>
constexpr auto OpTable() { return OpTableOf<Pick>(std::make_index_sequence<std::size(kOps)>{}); }
struct PickGpuSpan {
    template <u32 C, u32 A>
    static constexpr GpuSpanFn Of() { return &SpanGpuT<C, A>; }
};
constexpr auto kGpuSpans = OpTable<PickGpuSpan>();

int OpIndex(u32 op) {
    for (int i = 0; i < 7; ++i)
        if (kOps[i] == op) return i;
    return -1;
}

PIXEL_LOOP_CLONES void SpanOpaque(u32* d, const u32* s, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i] | 0xFF000000u;
}
} // namespace

void RasterGpuSpan(u32* d, const u32* s, int n, const RasterOp& op) {
    if (OpaqueCopy(op)) {
        SpanOpaque(d, s, n);
        return;
    }
    if (Identity(op)) {
        SpanBlend(d, s, n);
        return;
    }
    const int c = OpIndex(op.colorOp), a = OpIndex(op.alphaOp);
    if (c < 0 || a < 0) SpanGpuGeneric(d, s, n, op.diffuse, op.colorOp, op.alphaOp, op.textureFactor);
    else kGpuSpans[c][a](d, s, n, op.diffuse, op.textureFactor);
}
namespace {
// The combined span and the snap to the grid in one pass (see SpanGpuT): each block of eight
// snapped in its 16-bit lanes as the blend leaves them, before it is stored.
template <u32 CO, u32 AO>
PIXEL_LOOP_CLONES void SpanGpuSnapT(u32* d, const u32* s, int n, u32 diffuse, u32 factor, const SnapLanes& lanes) {
    const GpuLanes gpu(diffuse, factor);
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        SpanV t, o, cBR, cGA;
        LoadV(t, s + i);
        LoadV(o, d + i);
        CombineBlock<CO, AO>(t, gpu, cBR, cGA);
        SpanW ob, og;
        bool chosen = false;
        if constexpr (AO == D3DTOP_SELECTARG1) {
            // The texels' own alpha, at 16 bits 0 or 255 (one bit): the blend then gives the
            // combined texel or the target as they are, a choice instead of the products.
            const SpanV off = ((t >> 24) + 1) & 0xFEu;
            u64 q[4];
            std::memcpy(q, &off, sizeof q);
            if (!(q[0] | q[1] | q[2] | q[3])) {
                const SpanV m = (SpanV)((SnapI)t >> 31);
                ob = (SpanW)((cBR & m) | (o & ~m & 0x00FF00FFu));
                og = (SpanW)((cGA & m) | ((o >> 8) & ~m & 0x00FF00FFu));
                chosen = true;
            }
        }
        if (!chosen) BlendBlock(cBR, cGA, o, ob, og);
        SnapOneW(ob, lanes.maxBR, lanes.oneBR, lanes.oneShift);
        SnapOneW(og, lanes.maxGA, lanes.oneGA, lanes.oneShift);
        StoreV(d + i, (SpanV)ob | (SpanV)og << 8);
    }
    if (i < n) {
        SpanGpuT<CO, AO>(d + i, s + i, n - i, diffuse, factor);
        GridSnapRow(d + i, n - i);
    }
}

using GpuSnapSpanFn = void (*)(u32*, const u32*, int, u32, u32, const SnapLanes&);
struct PickGpuSnapSpan {
    template <u32 C, u32 A>
    static constexpr GpuSnapSpanFn Of() { return &SpanGpuSnapT<C, A>; }
};
constexpr auto kGpuSnapSpans = OpTable<PickGpuSnapSpan>();
} // namespace

void RasterGpuSpanSnapped(u32* d, const u32* s, int n, const RasterOp& op) {
    const int c = OpIndex(op.colorOp), a = OpIndex(op.alphaOp);
    const SnapLanes* lanes = g_Grid.on ? SnapLanesNow() : nullptr;
    if (lanes && lanes->one && c >= 0 && a >= 0 && !OpaqueCopy(op) && !Identity(op)) {
        kGpuSnapSpans[c][a](d, s, n, op.diffuse, op.textureFactor, *lanes);
        return;
    }
    RasterGpuSpan(d, s, n, op);
    if (g_Grid.on) GridSnapRow(d, n);
}

u32 CombineStage0(u32 tex, u32 diffuse, u32 colorOp, u32 alphaOp, u32 textureFactor) {
    const u32 fa = textureFactor >> 24;
    u32 r, g, b, a;
    if (colorOp == D3DTOP_DISABLE) {
        r = Ch(diffuse, 16); g = Ch(diffuse, 8); b = Ch(diffuse, 0);
    } else {
        r = CombineChannel(Ch(tex, 16), Ch(diffuse, 16), colorOp, fa);
        g = CombineChannel(Ch(tex, 8), Ch(diffuse, 8), colorOp, fa);
        b = CombineChannel(Ch(tex, 0), Ch(diffuse, 0), colorOp, fa);
    }
    a = CombineChannel(Ch(tex, 24), Ch(diffuse, 24), alphaOp, fa);
    return a << 24 | r << 16 | g << 8 | b;
}
