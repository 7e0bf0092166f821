#include "platform/graphics/Raster.h"

#include <cmath>
#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>
#include <array>
#include <cstdint>

#include "platform/system/PaletteRow.h"
#include "platform/system/StreamedRows.h"

#ifdef PIXEL_LOOP_AVX2
#include <immintrin.h>
#endif

namespace {

inline u32 Div255(u32 v) {
    v += 128;
    return (v + (v >> 8)) >> 8;
}

inline u32 Ch(u32 p, int s) { return (p >> s) & 255; }

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

// Source index of every destination column (or row) of a span; -1 outside the source.
// Only [first, last) is mapped: the part of the span inside the destination.
void MapSpan(int first, int last, int s0, int sLen, int dLen, int srcLimit, std::vector<int>* out) {
    out->resize(static_cast<std::size_t>(last - first));
    const __int128 twoD = 2 * static_cast<__int128>(dLen);
    for (int c = first; c < last; ++c) {
        const __int128 num = (2 * static_cast<__int128>(c) + 1) * sLen;
        __int128 q = num / twoD;
        if ((num % twoD) != 0 && ((num < 0) != (twoD < 0))) --q; // floor
        const __int128 u = s0 + q;
        (*out)[static_cast<std::size_t>(c - first)] = (u >= 0 && u < srcLimit) ? static_cast<int>(u) : -1;
    }
}

// A source row's texels for n mapped columns, t[i] = s[c[i]] (each c[i] inside the row, whose
// width is limit). Where eight neighbouring columns read from eight neighbouring texels (a
// magnified row: each column reads the texel of the one before or the next), the eight are
// read at once and put in place by one shuffle.
PIXEL_LOOP_CLONES void GatherMapped(u32* __restrict t, const u32* __restrict s, const int* __restrict c, int n, int limit) {
    typedef u32 V __attribute__((vector_size(32)));
    typedef i32 VI __attribute__((vector_size(32)));
    constexpr int kLanes = 8;
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        const int lo = c[i];
        // The columns never turn back, so the first and the last bound the eight.
        if (static_cast<u32>(c[i + kLanes - 1] - lo) < kLanes && lo <= limit - kLanes) {
            VI at;
            V near;
            std::memcpy(&at, c + i, sizeof at);
            std::memcpy(&near, s + lo, sizeof near);
            V out;
            PermuteLanes(near, (V)(at - lo), out);
            std::memcpy(t + i, &out, sizeof out);
        } else {
            for (int k = i; k < i + kLanes; ++k) t[k] = s[c[k]];
        }
    }
    for (; i < n; ++i) t[i] = s[c[i]];
}

// The scaled blits by rows: each destination row's texels are gathered through the column map
// (only the runs that fall inside the source), then drawn by the same span loops as a 1:1
// blit; consecutive rows of one source row reuse the gathered texels.
template <class SpanFn>
void WalkSpans(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, int sw, int sh,
               SpanFn span) {
    if (w <= 0 || h <= 0 || sw == 0 || sh == 0) return;
    const int c0 = static_cast<int>(std::max<i64>(0, -static_cast<i64>(x)));
    const int c1 = static_cast<int>(std::min<i64>(w, static_cast<i64>(dst.width) - x));
    const int r0 = static_cast<int>(std::max<i64>(0, -static_cast<i64>(y)));
    const int r1 = static_cast<int>(std::min<i64>(h, static_cast<i64>(dst.height) - y));
    if (c0 >= c1 || r0 >= r1) return;
    thread_local std::vector<int> cols, rows;
    thread_local std::vector<u32> texels;
    thread_local std::vector<std::pair<int, int>> runs;
    MapSpan(c0, c1, sx, sw, w, src.width, &cols);
    MapSpan(r0, r1, sy, sh, h, src.height, &rows);
    texels.resize(cols.size());
    const int n = c1 - c0;
    // The runs of columns inside the source are the same on every row: found once.
    runs.clear();
    for (int i = 0; i < n;) {
        if (cols[static_cast<std::size_t>(i)] < 0) {
            ++i;
            continue;
        }
        int e = i + 1;
        while (e < n && cols[static_cast<std::size_t>(e)] >= 0) ++e;
        runs.emplace_back(i, e);
        i = e;
    }
    int gathered = -1;
    for (int r = r0; r < r1; ++r) {
        const int v = rows[static_cast<std::size_t>(r - r0)];
        if (v < 0) continue;
        if (v != gathered) {
            for (const auto& [i, e] : runs) GatherMapped(texels.data() + i, src.Row(v), cols.data() + i, e - i, src.width);
            gathered = v;
        }
        u32* d = dst.Row(y + r) + x + c0;
        for (const auto& [i, e] : runs) span(d + i, texels.data() + i, e - i);
    }
}

} // namespace

u32 BlendPixel(u32 s, u32 d) {
    const u32 a = s >> 24;
    if (a == 255) return s;
    if (a == 0) return d;
    const u32 ia = 255 - a;
    const u32 oa = Div255(a * a + Ch(d, 24) * ia);
    const u32 r = Div255(Ch(s, 16) * a + Ch(d, 16) * ia);
    const u32 g = Div255(Ch(s, 8) * a + Ch(d, 8) * ia);
    const u32 b = Div255(Ch(s, 0) * a + Ch(d, 0) * ia);
    return oa << 24 | r << 16 | g << 8 | b;
}

namespace {
typedef u32 SpanV __attribute__((vector_size(32)));
typedef u16 SpanW __attribute__((vector_size(32)));
constexpr int kLanes = 8;

inline void LoadV(SpanV& v, const u32* p) { std::memcpy(&v, p, sizeof v); }
inline void StoreV(u32* p, const SpanV& v) { std::memcpy(p, &v, sizeof v); }

// A keyed row pixel by pixel (the compiler vectorises it for the baseline processor).
inline void KeyRow(u32* d, const u32* s, int n, u32 key, u32 mask) {
    for (int i = 0; i < n; ++i) {
        const u32 v = s[i];
        const u32 m = 0u - static_cast<u32>((v & mask) != key);
        d[i] = (v & m) | (d[i] & ~m);
    }
}
#ifdef PIXEL_LOOP_AVX2
// A block of eight keyed texels over the target: the target where a texel is the key under
// the mask, else the texel. The choice is made with xor and and-not rather than a variable
// blend, which Intel's recent cores split into three micro-ops: a third fewer cycles a block.
[[gnu::always_inline]] inline void KeyBlock(u32* d, const u32* s, const SpanV& key, const SpanV& mask) {
    SpanV t, o;
    LoadV(t, s);
    LoadV(o, d);
    const SpanV keyed = (SpanV)((t & mask) == key);
    StoreV(d, o ^ ((t ^ o) & ~keyed));
}
// Rows of a width known at compile time (tiles and sprites are a few blocks wide): no loop
// inside a row, whose exit and set-up cost as much as the blocks of a 32-pixel row.
template <int kBlocks>
[[gnu::always_inline]] inline void KeyRowsOf(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int rows,
                                             const SpanV& key, const SpanV& mask) {
    for (int r = 0; r < rows; ++r, d += dp, s += sp)
        for (int k = 0; k < kBlocks; ++k) KeyBlock(d + k * kLanes, s + k * kLanes, key, mask);
}
PIXEL_LOOP_AVX2 void KeyRowsInBlocks(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows, u32 key,
                                     u32 mask) {
    const SpanV zero = {}, keyV = zero + key, maskV = zero + mask;
    switch (n) {
    case 8: KeyRowsOf<1>(d, dp, s, sp, rows, keyV, maskV); return;
    case 16: KeyRowsOf<2>(d, dp, s, sp, rows, keyV, maskV); return;
    case 24: KeyRowsOf<3>(d, dp, s, sp, rows, keyV, maskV); return;
    case 32: KeyRowsOf<4>(d, dp, s, sp, rows, keyV, maskV); return;
    case 48: KeyRowsOf<6>(d, dp, s, sp, rows, keyV, maskV); return;
    case 64: KeyRowsOf<8>(d, dp, s, sp, rows, keyV, maskV); return;
    default: break;
    }
    for (int r = 0; r < rows; ++r, d += dp, s += sp) {
        int i = 0;
        for (; i + kLanes <= n; i += kLanes) KeyBlock(d + i, s + i, keyV, maskV);
        KeyRow(d + i, s + i, n - i, key, mask);
    }
}
// Whether the processor runs AVX2, asked as the clones' resolvers ask it.
bool Avx2Here() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif
// Rectangles of the 1:1 blits, `rows` rows of n pixels with each surface's own pitch, written
// without branches on the pixel values: sprites and key colours alternate too often for
// prediction. A whole rectangle goes in one call, so that a sprite's rows do not each pay for
// a call and the loop's set-up.
void KeyRows(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows, u32 key, u32 mask) {
#ifdef PIXEL_LOOP_AVX2
    if (Avx2Here()) {
        KeyRowsInBlocks(d, dp, s, sp, n, rows, key, mask);
        return;
    }
#endif
    for (int r = 0; r < rows; ++r, d += dp, s += sp) KeyRow(d, s, n, key, mask);
}
// A keyed copy on alpha: the texel where its alpha is not 0.
inline void AlphaKeyRow(u32* d, const u32* s, int n) {
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        SpanV t, o;
        LoadV(t, s + i);
        LoadV(o, d + i);
        const SpanV m = (SpanV)((t >> 24) != 0u);
        StoreV(d + i, (t & m) | (o & ~m));
    }
    for (; i < n; ++i) {
        const u32 v = s[i];
        const u32 m = 0u - static_cast<u32>((v >> 24) != 0);
        d[i] = (v & m) | (d[i] & ~m);
    }
}
PIXEL_LOOP_CLONES void AlphaKeyRows(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows) {
    for (int r = 0; r < rows; ++r, d += dp, s += sp) AlphaKeyRow(d, s, n);
}
// The blend written without branches: alpha 255 gives the texel and alpha 0 the target
// exactly, as BlendPixel's shortcuts do. Two channels share one 32-bit product (each stays
// below 65,536), with Div255 on both halves at once: the same values, half the work.
template <class V>
inline void BlendLanes(const V& v, V& o) {
    const V a = v >> 24, ia = 255 - a;
    const V rb = (v & 0x00FF00FFu) * a + (o & 0x00FF00FFu) * ia;
    const V ag = ((v >> 8) & 0x00FF00FFu) * a + ((o >> 8) & 0x00FF00FFu) * ia;
    const V rb1 = rb + 0x00800080u, ag1 = ag + 0x00800080u;
    o = (((rb1 + ((rb1 >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu) |
        (((ag1 + ((ag1 >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu) << 8;
}
// BlendLanes on a block of eight (GCC/Clang vectors) in 16-bit lanes: each channel's sum of
// products stays below 65,536 and so does every step of Div255 after it, so the halves never
// carry into each other and the products need only the 16-bit multiply (the same values).
// (Vectors pass by reference: an AVX vector by value would change the call's ABI.)
inline void BlendBlock(const SpanV& t, SpanV& o) {
    const SpanV a = t >> 24, aa = a | a << 16;
    const SpanW a2 = (SpanW)aa, ia2 = (SpanW)(0x00FF00FFu - aa);
    const SpanW rb = (SpanW)(t & 0x00FF00FFu) * a2 + (SpanW)(o & 0x00FF00FFu) * ia2 + 128;
    const SpanW ag = (SpanW)((t >> 8) & 0x00FF00FFu) * a2 + (SpanW)((o >> 8) & 0x00FF00FFu) * ia2 + 128;
    o = (SpanV)((rb + (rb >> 8)) >> 8) | (SpanV)((ag + (ag >> 8)) >> 8) << 8;
}

// A look from the texels' sums: all ANDed, all ORed, and all with 1 added to the alpha byte
// (the carry leaves the word): 255 becomes 0 and 0 becomes 1, so a texel has partial alpha
// when that sum has a bit above the lowest one of the byte.
inline u8 LookOfSums(u32 all, u32 any, u32 part) {
    u8 look = 0;
    if (any >> 24) look |= kTexelsVisible;
    if ((all >> 24) != 255) look |= kTexelsNotOpaque;
    if (part & 0xFE000000u) look |= kTexelsPartial;
    return look;
}

// The target's lines of a group of rows are asked for before it is drawn: the rows of a
// small quad lie a frame's width apart, which nothing in the processor guesses.
[[gnu::always_inline]] inline void FetchTarget(u32* d, std::ptrdiff_t dp, int n, int rows) {
    for (int r = 0; r < rows; ++r, d += dp) {
        for (int i = 0; i < n; i += 16) __builtin_prefetch(d + i, 1);
        __builtin_prefetch(d + n - 1, 1);
    }
}

// Draws rows whose texels are as look says (or a look that claims more: the blend is exact
// for opaque and transparent texels, the keyed copy for opaque ones).
[[gnu::always_inline]] inline void DrawLooked(u32* dr, std::ptrdiff_t dp, const u32* sr, std::ptrdiff_t sp, int n,
                                              int rows, u8 look) {
    if (!(look & kTexelsVisible)) return;
    if (!(look & kTexelsNotOpaque)) {
        for (int r = 0; r < rows; ++r, dr += dp, sr += sp) std::memcpy(dr, sr, static_cast<std::size_t>(n) * sizeof(u32));
    } else if (!(look & kTexelsPartial)) {
        // Alpha 0 or 255 only: the keyed copy on alpha 0, by the rows DirectDraw's keyed blits
        // take (a block of a known width at a time where the processor has AVX2).
        KeyRows(dr, dp, sr, sp, n, rows, 0, 0xFF000000u);
    } else {
        for (int r = 0; r < rows; ++r, dr += dp, sr += sp) {
            int i = 0;
            for (; i + kLanes <= n; i += kLanes) {
                SpanV t, v;
                LoadV(t, sr + i);
                LoadV(v, dr + i);
                BlendBlock(t, v);
                StoreV(dr + i, v);
            }
            for (; i < n; ++i) BlendLanes(sr[i], dr[i]);
        }
    }
}

// Rows at least this wide are left to the processor's own fetching.
constexpr int kStreamed = 256;

// Blending without modulation. Texels all opaque make a copy, opaque and transparent ones a
// keyed copy, none visible nothing, and only partial alpha pays for the blend (each way gives
// the same pixels). One look decides for a group of rows, whose texels stay in the first-level
// cache for the pass that draws them, so the loops take no branch on the pixel values.
// Gives the looks of its groups together (a rectangle of at most 4096 texels is one group).
PIXEL_LOOP_CLONES u8 BlendRows(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows) {
    const int group = std::max(1, 4096 / std::max(n, 1));
    u8 looks = 0;
    for (int r0 = 0; r0 < rows; r0 += group) {
        const int r1 = std::min(rows, r0 + group);
        SpanV all = {}, any = {}, part = {};
        all = ~all;
        u32 a = 0xFFFFFFFFu, o = 0, p = 0;
        for (int r = r0; r < r1; ++r) {
            const u32* t = s + r * sp;
            // The target's lines are asked for while the texels are looked at: the pass that
            // draws them then finds them near, instead of waiting for each in turn (the look
            // reads only the source, so the two memory streams would otherwise not overlap).
            // Rows as wide as a screen are streams the processor fetches ahead by itself.
            if (n < kStreamed) FetchTarget(d + r * dp, dp, n, 1);
            int i = 0;
            for (; i + kLanes <= n; i += kLanes) {
                SpanV v;
                LoadV(v, t + i);
                all &= v;
                any |= v;
                part |= v + 0x01000000u;
            }
            for (; i < n; ++i) {
                a &= t[i];
                o |= t[i];
                p |= t[i] + 0x01000000u;
            }
        }
        for (int k = 0; k < kLanes; ++k) {
            a &= all[k];
            o |= any[k];
            p |= part[k];
        }
        const u8 look = LookOfSums(a, o, p);
        looks |= look;
        // The next group's texels are asked for while this one is drawn, so that its look
        // finds them on their way rather than starting the reads itself.
        if (r1 < rows && n >= 64 && n < kStreamed) {
            const u32* t = s + r1 * sp;
            for (int r = r1; r < std::min(rows, r1 + group); ++r, t += sp)
                for (int i = 0; i < n; i += 16) __builtin_prefetch(t + i);
        }
        DrawLooked(d + r0 * dp, dp, s + r0 * sp, sp, n, r1 - r0, look);
    }
    return looks;
}
// The same rows with their texels' look known beforehand.
PIXEL_LOOP_CLONES void BlendRowsLooked(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows,
                                       u8 look) {
    if (!(look & kTexelsVisible)) return;
    // Copied and keyed rows go as DirectDraw's do, whose target is found fast enough unasked;
    // only the blend waits long enough on it to gain from asking first.
    if (look & kTexelsPartial) FetchTarget(d, dp, n, rows);
    DrawLooked(d, dp, s, sp, n, rows, look);
}
// Rows as wide as a screen (backgrounds, layers, lines of text), blended without a look of
// their own: a separate pass over so many texels costs as much as the keyed copy it would
// choose. Each row is drawn the way the row before it asked for, and tells the next:
//  - kWideKeyed: texels of alpha 255 are copied, the others leave the target; the row's alpha
//    values are gathered on the way, and a row that held partial alpha is blended after all
//    (its partial texels were left untouched, its opaque ones blend to themselves);
//  - kWideBlend: the blend, after a row with partial alpha;
//  - kWideLook: after an invisible row, a look first, so that an empty part of a layer is only
//    read, never written.
// The alpha values are gathered as alpha + 1 ORed together: 1 for transparent, 256 for opaque,
// anything in bits 1..7 for partial alpha; bits 1..8 tell whether anything shows.
enum WideWay { kWideKeyed, kWideBlend, kWideLook };
[[gnu::always_inline]] inline u32 WideSum(const SpanV& acc, u32 tail) {
    for (int k = 0; k < kLanes; ++k) tail |= acc[k];
    return tail;
}
[[gnu::always_inline]] inline u32 WideKeyedRow(u32* d, const u32* s, int n) {
    SpanV acc = {};
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        SpanV t, v;
        LoadV(t, s + i);
        LoadV(v, d + i);
        const SpanV a = t >> 24, m = (SpanV)(a == 255u);
        acc |= a + 1u;
        StoreV(d + i, (t & m) | (v & ~m));
    }
    u32 tail = 0;
    for (; i < n; ++i) {
        const u32 a = s[i] >> 24;
        tail |= a + 1u;
        if (a == 255) d[i] = s[i];
    }
    return WideSum(acc, tail);
}
[[gnu::always_inline]] inline u32 WideBlendRow(u32* d, const u32* s, int n) {
    SpanV acc = {};
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        SpanV t, v;
        LoadV(t, s + i);
        LoadV(v, d + i);
        acc |= (t >> 24) + 1u;
        BlendBlock(t, v);
        StoreV(d + i, v);
    }
    u32 tail = 0;
    for (; i < n; ++i) {
        tail |= (s[i] >> 24) + 1u;
        BlendLanes(s[i], d[i]);
    }
    return WideSum(acc, tail);
}
[[gnu::always_inline]] inline u32 WideLookRow(const u32* s, int n) {
    SpanV acc = {};
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        SpanV t;
        LoadV(t, s + i);
        acc |= (t >> 24) + 1u;
    }
    u32 tail = 0;
    for (; i < n; ++i) tail |= (s[i] >> 24) + 1u;
    return WideSum(acc, tail);
}
PIXEL_LOOP_CLONES void BlendRowsWide(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows) {
    WideWay way = kWideKeyed;
    for (int r = 0; r < rows; ++r, d += dp, s += sp) {
        u32 sum = 0;
        switch (way) {
        case kWideKeyed:
            sum = WideKeyedRow(d, s, n);
            if (sum & 0xFEu) WideBlendRow(d, s, n);
            break;
        case kWideBlend: sum = WideBlendRow(d, s, n); break;
        case kWideLook:
            sum = WideLookRow(s, n);
            if (sum & 0xFEu) WideBlendRow(d, s, n);
            else if (sum & 0x100u) WideKeyedRow(d, s, n);
            break;
        }
        way = !(sum & 0x1FEu) ? kWideLook : (sum & 0xFEu) ? kWideBlend : kWideKeyed;
    }
}
// The blend of a 1:1 quad's rows: wide ones as above, others a look per group of rows.
void BlendRowsAny(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows) {
    if (n >= kStreamed) BlendRowsWide(d, dp, s, sp, n, rows);
    else BlendRows(d, dp, s, sp, n, rows);
}
// The rows [y0, y1) of a 1:1 quad from a picture whose blocks are known, cut to texels
// [c0, c1) of each row, d at the pixel of texel (c0, y0). A block cut by an edge goes texel by
// texel.
PIXEL_LOOP_CLONES void BlendBlocks(u32* d, std::ptrdiff_t dp, const cTexelBlocks& b, int y0, int y1, int c0, int c1) {
    constexpr int kB = cTexelBlocks::kBlock;
    const bool whole = c0 == 0 && c1 == b.Width();
    const auto draw = [&](cTexelBlocks::Way way, int width, auto block, auto texel) {
        u32* dr = d - c0;
        const u32* t = b.TexelsFrom(way, y0);
        for (int y = y0; y < y1; ++y, dr += dp) {
            const u16 *k = b.From(way, y), *e = b.From(way, y + 1);
            if (whole) {
                for (; k != e; ++k, t += width) block(dr + *k, t);
                continue;
            }
            for (; k != e; ++k, t += width) {
                if (*k >= c0 && *k + width <= c1) block(dr + *k, t);
                else
                    for (int i = std::max<int>(*k, c0); i < std::min(*k + width, c1); ++i) texel(dr[i], t[i - *k]);
            }
        }
    };
    const auto copy = [](u32& o, u32 t) { o = t; };
    const auto key = [](u32& o, u32 t) { if (t >> 24) o = t; };
    const auto blend = [](u32& o, u32 t) { BlendLanes(t, o); };
    draw(cTexelBlocks::kCopy, kB, [](u32* o, const u32* t) { std::memcpy(o, t, kB * sizeof(u32)); }, copy);
    draw(cTexelBlocks::kKey, kB, [](u32* o, const u32* t) { AlphaKeyRow(o, t, kB); }, key);
    draw(cTexelBlocks::kBlend, kB,
         [](u32* o, const u32* t) {
             SpanV tv, ov;
             LoadV(tv, t);
             LoadV(ov, o);
             BlendBlock(tv, ov);
             StoreV(o, ov);
         },
         blend);
    draw(cTexelBlocks::kSingle, 1, [](u32* o, const u32* t) { BlendLanes(*t, *o); }, blend);
}
inline void SpanBlend(u32* d, const u32* s, int n) { BlendRows(d, 0, s, 0, n, 1); }
inline void SpanKey(u32* d, const u32* s, int n, u32 key, u32 mask) { KeyRows(d, 0, s, 0, n, 1, key, mask); }
inline void SpanAlphaKey(u32* d, const u32* s, int n) { AlphaKeyRows(d, 0, s, 0, n, 1); }

// Spans narrower than this are drawn pixel by pixel.
constexpr int kNarrow = 4;

// The part of a 1:1 blit inside both surfaces; false when nothing is.
struct Span1 {
    int c0, c1, r0, r1;
};
bool Clip1(const PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, Span1* o) {
    const i64 X = x, Y = y, SX = sx, SY = sy;
    const i64 c0 = std::max({i64(0), -X, -SX}), c1 = std::min({i64(w), dst.width - X, src.width - SX});
    const i64 r0 = std::max({i64(0), -Y, -SY}), r1 = std::min({i64(h), dst.height - Y, src.height - SY});
    if (c0 >= c1 || r0 >= r1) return false;
    *o = Span1{static_cast<int>(c0), static_cast<int>(c1), static_cast<int>(r0), static_cast<int>(r1)};
    return true;
}

// The rows of a 1:1 blit inside both surfaces. Spans of a column or two (a wave drawn by
// columns) go pixel by pixel, pixel(d, s), which costs less than a call; wider ones go as one
// rectangle through rows(d, dst pitch, s, src pitch, n, rows).
template <class Pixel, class RowsFn>
void Rows1(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, Pixel pixel, RowsFn rows) {
    Span1 sp;
    if (!Clip1(dst, x, y, w, h, src, sx, sy, &sp)) return;
    const int n = sp.c1 - sp.c0;
    u32* d = dst.Row(y + sp.r0) + (x + sp.c0);
    const u32* t = src.Row(sy + sp.r0) + (sx + sp.c0);
    if (n >= kNarrow) {
        rows(d, dst.width, t, src.width, n, sp.r1 - sp.r0);
        return;
    }
    for (int r = sp.r0; r < sp.r1; ++r, d += dst.width, t += src.width)
        for (int i = 0; i < n; ++i) pixel(d[i], t[i]);
}
} // namespace

namespace {
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

// The combiner ops whose result is the texel itself made opaque: the colour taken as it is
// (or modulated by white) and the alpha the diffuse's 255. The blend of an opaque texel is the
// texel, to the bit, so such a quad is a copy.
bool OpaqueCopy(const RasterOp& op) {
    const bool colourKept = op.colorOp == D3DTOP_SELECTARG1 ||
                            (op.colorOp == D3DTOP_MODULATE && (op.diffuse & 0xFFFFFFu) == 0xFFFFFFu);
    const bool alphaFull = (op.alphaOp == D3DTOP_SELECTARG2 || op.alphaOp == D3DTOP_DISABLE) && (op.diffuse >> 24) == 255;
    return colourKept && alphaFull;
}

PIXEL_LOOP_CLONES void SpanOpaque(u32* d, const u32* s, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i] | 0xFF000000u;
}

// The combiner ops that leave the texel as it is (a white diffuse, its alpha kept): the blend
// is the plain alpha blend.
bool Identity(const RasterOp& op) {
    return op.diffuse == 0xFFFFFFFF && (op.colorOp == D3DTOP_MODULATE || op.colorOp == D3DTOP_SELECTARG1) &&
           (op.alphaOp == D3DTOP_SELECTARG1 || op.alphaOp == D3DTOP_MODULATE);
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
// GridMathSnap in 16-bit lanes, eight pixels at a time: blue and red in the halves of one
// vector, green and alpha in those of another. A lane's channel value is (c * max + 127) / 255
// (the sum stays below 65,535, where (v + 1 + (v >> 8)) >> 8 divides by 255 exactly), and the
// stored byte floor(raw * 255 / max) is floor(raw * k / 2^15) with k = ceil(255 * 2^15 / max):
// k's excess adds less than raw / 2^15 <= max / 2^15, under the 1 / max that separates the
// quotient from the next integer while max * max < 2^15 (exactly nothing for max 255). The
// product, up to 24 bits, is made from k's two bytes: raw * (k >> 8) plus (raw * (k & 255)) >> 8,
// shifted by 7, every step within 16 bits. A format with a lane of max 182..254 has none of
// this and takes the 32-bit lanes.
// Grids whose every lane has a k' = ceil(255 * 2^s / max) for one s with raw * k' within 16 bits
// and (raw * k') >> s exact for every raw (checked; 5-5-5 with 1 or no alpha bits and 4-4-4-4 do,
// 5-6-5 does not) need only the one product: the combined quads take those (one).
typedef i32 SnapI __attribute__((vector_size(32)));
struct SnapLanes {
    SpanW maxBR, maxGA, hiBR, hiGA, loBR, loGA;
    bool one = false;
    int oneShift = 0;
    SpanW oneBR, oneGA;
};
bool SnapLanesOf(const cGridMath& g, SnapLanes* o) {
    u32 hi[4], lo[4];
    for (int k = 0; k < 4; ++k) {
        const u32 m = g.max[k];
        if (m == 0 || m > 255 || (m * m >= (1u << 15) && m != 255)) return false;
        const u32 kk = (255u * (1u << 15) + m - 1) / m;
        hi[k] = kk >> 8;
        lo[k] = kk & 255;
    }
    const SpanV zero = {};
    o->maxBR = (SpanW)(zero + (g.max[0] | g.max[2] << 16));
    o->maxGA = (SpanW)(zero + (g.max[1] | g.max[3] << 16));
    o->hiBR = (SpanW)(zero + (hi[0] | hi[2] << 16));
    o->hiGA = (SpanW)(zero + (hi[1] | hi[3] << 16));
    o->loBR = (SpanW)(zero + (lo[0] | lo[2] << 16));
    o->loGA = (SpanW)(zero + (lo[1] | lo[3] << 16));
    o->one = false;
    for (int sh = 8; sh >= 0 && !o->one; --sh) {
        u32 one[4];
        bool all = true;
        for (int k = 0; k < 4 && all; ++k) {
            const u32 m = g.max[k];
            one[k] = ((255u << sh) + m - 1) / m;
            all = m * one[k] < 65536;
            for (u32 raw = 0; raw <= m && all; ++raw) all = (raw * one[k]) >> sh == raw * 255 / m;
        }
        if (!all) continue;
        o->one = true;
        o->oneShift = sh;
        o->oneBR = (SpanW)(zero + (one[0] | one[2] << 16));
        o->oneGA = (SpanW)(zero + (one[1] | one[3] << 16));
    }
    return true;
}
// (Vectors pass by reference: an AVX vector by value would change the call's ABI.)
[[gnu::always_inline]] inline void SnapW(SpanW& c, const SpanW& max, const SpanW& hi, const SpanW& lo) {
    const SpanW v = c * max + 127;
    const SpanW raw = (v + 1 + (v >> 8)) >> 8;
    c = (raw * hi + ((raw * lo) >> 8)) >> 7;
}
[[gnu::always_inline]] inline void SnapOneW(SpanW& c, const SpanW& max, const SpanW& one, int shift) {
    const SpanW v = c * max + 127;
    const SpanW raw = (v + 1 + (v >> 8)) >> 8;
    c = (raw * one) >> shift;
}
[[gnu::always_inline]] inline void SnapBlock(SpanV& p, const SnapLanes& l) {
    SpanW br = (SpanW)(p & 0x00FF00FFu), ga = (SpanW)((p >> 8) & 0x00FF00FFu);
    SnapW(br, l.maxBR, l.hiBR, l.loBR);
    SnapW(ga, l.maxGA, l.hiGA, l.loGA);
    p = (SpanV)br | (SpanV)ga << 8;
}
// The lanes of the running grid, made once for it; nullptr where the 32-bit lanes are needed.
const SnapLanes* SnapLanesNow() {
    struct Made {
        u32 max[4] = {};
        bool ok = false;
        SnapLanes lanes;
    };
    thread_local Made made;
    const cGridMath& g = g_Grid.math;
    if (!std::equal(g.max, g.max + 4, made.max)) {
        std::copy(g.max, g.max + 4, made.max);
        made.ok = SnapLanesOf(g, &made.lanes);
    }
    return made.ok ? &made.lanes : nullptr;
}

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

void RasterBlit(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, int sw, int sh,
                const RasterOp& op, cTexelLooks* looks, const cTexelBlocks* blocks) {
    switch (op.kind) {
    case RasterKind::Copy:
        if (sw == w && sh == h) {
            // Row copies: the common case of backgrounds and work surfaces.
            const i64 X = x, Y = y, SX = sx, SY = sy;
            const i64 c0 = std::max({i64(0), -X, -SX}), c1 = std::min({i64(w), dst.width - X, src.width - SX});
            const i64 r0 = std::max({i64(0), -Y, -SY}), r1 = std::min({i64(h), dst.height - Y, src.height - SY});
            if (c0 >= c1) return;
            for (i64 r = r0; r < r1; ++r)
                std::memmove(dst.Row(static_cast<int>(Y + r)) + X + c0, src.Row(static_cast<int>(SY + r)) + SX + c0,
                             static_cast<std::size_t>(c1 - c0) * sizeof(u32));
            return;
        }
        WalkSpans(dst, x, y, w, h, src, sx, sy, sw, sh,
                  [](u32* d, const u32* s, int n) { std::memcpy(d, s, static_cast<std::size_t>(n) * sizeof(u32)); });
        return;
    case RasterKind::DDKey: {
        const u32 key = op.key & op.keyMask, mask = op.keyMask;
        if (sw == w && sh == h) {
            Rows1(dst, x, y, w, h, src, sx, sy, [key, mask](u32& d, u32 t) { if ((t & mask) != key) d = t; },
                  [key, mask](u32* d, std::ptrdiff_t dp, const u32* t, std::ptrdiff_t tp, int n, int rows) {
                      KeyRows(d, dp, t, tp, n, rows, key, mask);
                  });
            return;
        }
        WalkSpans(dst, x, y, w, h, src, sx, sy, sw, sh,
                  [key, mask](u32* d, const u32* s, int n) { SpanKey(d, s, n, key, mask); });
        return;
    }
    case RasterKind::AlphaKey:
        if (sw == w && sh == h) {
            Rows1(dst, x, y, w, h, src, sx, sy, [](u32& d, u32 t) { if (t >> 24) d = t; }, AlphaKeyRows);
            return;
        }
        WalkSpans(dst, x, y, w, h, src, sx, sy, sw, sh, [](u32* d, const u32* s, int n) { SpanAlphaKey(d, s, n); });
        return;
    case RasterKind::Gpu: {
        const bool identity = Identity(op);
        if (identity && sw == w && sh == h) {
            Span1 sp;
            if (blocks && blocks->Width() == src.width && blocks->Height() == src.height) {
                if (!Clip1(dst, x, y, w, h, src, sx, sy, &sp)) return;
                const int c0 = sx + sp.c0, y0 = sy + sp.r0;
                BlendBlocks(dst.Row(y + sp.r0) + (x + sp.c0), dst.width, *blocks, y0, sy + sp.r1, c0, sx + sp.c1);
                return;
            }
            if (looks && Clip1(dst, x, y, w, h, src, sx, sy, &sp) && sp.c1 - sp.c0 >= kNarrow) {
                const int n = sp.c1 - sp.c0, rows = sp.r1 - sp.r0;
                u32* d = dst.Row(y + sp.r0) + (x + sp.c0);
                const u32* t = src.Row(sy + sp.r0) + (sx + sp.c0);
                u8 look = 0;
                switch (looks->Look(src, sx + sp.c0, sy + sp.r0, n, rows, &look)) {
                case cTexelLooks::kKept: BlendRowsLooked(d, dst.width, t, src.width, n, rows, look); return;
                case cTexelLooks::kToKeep: looks->Keep(BlendRows(d, dst.width, t, src.width, n, rows)); return;
                case cTexelLooks::kNotKept: break;
                }
            }
            Rows1(dst, x, y, w, h, src, sx, sy, [](u32& d, u32 t) { d = BlendPixel(t, d); }, BlendRowsAny);
            return;
        }
        // An opaque copy leaves the target on its grid, as the identity does (see below).
        const bool opaque = OpaqueCopy(op);
        if (sw == w && sh == h) {
            Span1 sp;
            if (!Clip1(dst, x, y, w, h, src, sx, sy, &sp)) return;
            // Each combined row snapped while it is still in the cache.
            const bool snap = !opaque && g_Grid.on;
            for (int r = sp.r0; r < sp.r1; ++r) {
                u32* d = dst.Row(y + r) + (x + sp.c0);
                if (snap) RasterGpuSpanSnapped(d, src.Row(sy + r) + (sx + sp.c0), sp.c1 - sp.c0, op);
                else RasterGpuSpan(d, src.Row(sy + r) + (sx + sp.c0), sp.c1 - sp.c0, op);
            }
            return;
        }
        if (identity) {
            WalkSpans(dst, x, y, w, h, src, sx, sy, sw, sh, [](u32* d, const u32* s, int n) { SpanBlend(d, s, n); });
        } else {
            WalkSpans(dst, x, y, w, h, src, sx, sy, sw, sh,
                      [&op](u32* d, const u32* s, int n) { RasterGpuSpan(d, s, n, op); });
        }
        // Opaque and transparent texels (the only ones of a 16-bit texture) leave the target
        // on its grid: only a combined or partly transparent result needs snapping.
        if (!identity && !opaque) GridSnapRect(dst, x, y, w, h);
        return;
    }
    }
}

cTexelBlocks::cTexelBlocks(const PixelStore& s) : m_width(s.width), m_height(s.height) {
    // Wider pictures than the lists can say keep no blocks: Width() then never matches.
    if (s.width > 0xFFFF) {
        m_width = -1;
        return;
    }
    for (int y = 0; y < s.height; ++y) {
        for (int w = 0; w < kWays; ++w) m_rowStart[w].push_back(static_cast<u32>(m_x[w].size()));
        const u32* t = s.Row(y);
        // A block from each visible texel not in a block yet covers the most: the fewest blocks.
        // One that would reach past the row ends with the row, unless that overlaps the block
        // before it, which leaves the texels to go one by one.
        int x = 0, end = 0;
        for (;;) {
            while (x < s.width && !(t[x] >> 24)) ++x;
            if (x >= s.width) break;
            const int b = x + kBlock <= s.width ? x : s.width - kBlock;
            if (b < end) {
                m_x[kSingle].push_back(static_cast<u16>(x));
                m_texels[kSingle].push_back(t[x]);
                ++x;
                continue;
            }
            u32 all = 0xFFFFFFFFu, any = 0, part = 0;
            for (int i = b; i < b + kBlock; ++i) {
                all &= t[i];
                any |= t[i];
                part |= t[i] + 0x01000000u;
            }
            const u8 look = LookOfSums(all, any, part);
            const Way way = (look & kTexelsPartial) ? kBlend : (look & kTexelsNotOpaque) ? kKey : kCopy;
            m_x[way].push_back(static_cast<u16>(b));
            m_texels[way].insert(m_texels[way].end(), t + b, t + b + kBlock);
            x = end = b + kBlock;
        }
    }
    for (int w = 0; w < kWays; ++w) m_rowStart[w].push_back(static_cast<u32>(m_x[w].size()));
}

void cTexelLooks::Exclude(const PixelStore* s) {
    if (s && std::find(m_excluded.begin(), m_excluded.end(), s) == m_excluded.end()) m_excluded.push_back(s);
}

void cTexelLooks::Clear() {
    m_excluded.clear();
    m_toKeep = nullptr;
    // A new round makes every kept look stale without touching the table.
    if (++m_round == 0) {
        for (Kept& k : m_kept) k.round = 0;
        m_round = 1;
    }
}

cTexelLooks::Found cTexelLooks::Look(const PixelStore& s, int sx, int sy, int n, int rows, u8* look) {
    m_toKeep = nullptr;
    if (n <= 0 || rows <= 0 || static_cast<i64>(n) * rows > kMaxTexels || sx < 0 || sy < 0 ||
        static_cast<i64>(sx) + n > s.width || static_cast<i64>(sy) + rows > s.height)
        return kNotKept;
    for (const PixelStore* e : m_excluded)
        if (e == &s) return kNotKept;
    const std::uintptr_t id = reinterpret_cast<std::uintptr_t>(&s);
    u32 h = static_cast<u32>(id >> 4) * 0x9E3779B1u;
    h ^= static_cast<u32>(sx) * 0x85EBCA77u ^ static_cast<u32>(sy) * 0xC2B2AE3Du ^ static_cast<u32>(n << 16 | rows);
    h ^= h >> 15;
    for (u32 probe = 0; probe < kProbes; ++probe) {
        Kept& k = m_kept[(h + probe) & (kSlots - 1)];
        if (k.round != m_round) {
            if (!m_toKeep) m_toKeep = &k;
            continue;
        }
        if (k.store == &s && k.sx == sx && k.sy == sy && k.n == n && k.rows == rows) {
            *look = k.look;
            return kKept;
        }
    }
    if (!m_toKeep) return kNotKept;
    *m_toKeep = Kept{&s, sx, sy, n, rows, 0, 0};
    return kToKeep;
}

void cTexelLooks::Keep(u8 look) {
    if (!m_toKeep) return;
    m_toKeep->look = look;
    m_toKeep->round = m_round;
    m_toKeep = nullptr;
}

namespace {
PIXEL_LOOP_CLONES bool RowOpaque(const u32* s, int n) {
    u32 all = 0xFF000000u;
    for (int i = 0; i < n; ++i) all &= s[i];
    return all == 0xFF000000u;
}
} // namespace

void RasterPreClear(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, int sw, int sh,
                    u32 value, u32 diffuse, u32 alphaOp) {
    // An opaque texel stays opaque through the combiner only when it keeps the texel's alpha.
    const bool keepsAlpha = alphaOp == D3DTOP_SELECTARG1 || (alphaOp == D3DTOP_MODULATE && (diffuse >> 24) == 255);
    if (!keepsAlpha || sw != w || sh != h || sx < 0 || static_cast<i64>(sx) + w > src.width) {
        RasterFill(dst, x, y, w, h, value, false);
        return;
    }
    const int y0 = std::max(0, y);
    const i64 y1 = std::min<i64>(dst.height, static_cast<i64>(y) + h);
    for (i64 r = y0; r < y1; ++r) {
        const i64 v = sy + (r - y);
        if (v >= 0 && v < src.height && RowOpaque(src.Row(static_cast<int>(v)) + sx, w)) continue;
        RasterFill(dst, x, static_cast<int>(r), w, 1, value, false);
    }
}

namespace {
// A row under one colour blended over it (BlendPixel), eight pixels at a time.
PIXEL_LOOP_CLONES void BlendFillRow(u32* d, int n, u32 value) {
    SpanV t = {};
    t += value;
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        SpanV o;
        LoadV(o, d + i);
        BlendBlock(t, o);
        StoreV(d + i, o);
    }
    for (; i < n; ++i) BlendLanes(value, d[i]);
}

// A row of one value. A long row goes through the processor's string store, which on current
// x86 processors writes whole cache lines without reading them first: the full-frame fill under
// the play screen moves about half the memory of vector stores. The same pixels either way.
void FillRow(u32* d, std::size_t n, u32 value) {
#if defined(__x86_64__)
    if (n >= 256) {
        asm volatile("rep stosl" : "+D"(d), "+c"(n) : "a"(value) : "memory");
        return;
    }
#endif
    std::fill(d, d + n, value);
}
} // namespace

void RasterFill(PixelStore& dst, int x, int y, int w, int h, u32 value, bool blend) {
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const i64 x1 = std::min<i64>(dst.width, static_cast<i64>(x) + w);
    const i64 y1 = std::min<i64>(dst.height, static_cast<i64>(y) + h);
    if (x0 >= x1 || y0 >= y1) return;
    if (blend && (value >> 24) == 0) return;
    const bool opaque = !blend || (value >> 24) == 255;
    for (int r = y0; r < y1; ++r) {
        u32* d = dst.Row(r);
        if (opaque) {
            FillRow(d + x0, static_cast<std::size_t>(x1 - x0), value);
            continue;
        }
        // Each row snapped while it is still in the cache: the same pixels as a pass after.
        BlendFillRow(d + x0, static_cast<int>(x1 - x0), value);
        if (g_Grid.on) GridSnapRow(d + x0, static_cast<int>(x1 - x0));
    }
}

KeyTest ModeKeyTest() {
    KeyTest k;
    if (lpDTCon) {
        k.mask = 0xFF000000u;
        k.value = 0;
        return k;
    }
    k.mask = g_nBpp == 8 ? 0xFFu : 0xFFFFFFu;
    // A 16-bit key is compared in the form the pixels are stored in (one to one).
    k.value = (g_Grid.on ? GridUnpack(g_dwTransColor) : g_dwTransColor) & k.mask;
    return k;
}

void RasterPixel(u32& d, u32 s, const RasterOp& op) {
    switch (op.kind) {
    case RasterKind::Copy: d = s; return;
    case RasterKind::DDKey:
        if ((s & op.keyMask) != (op.key & op.keyMask)) d = s;
        return;
    case RasterKind::AlphaKey:
        if (s >> 24) d = s;
        return;
    case RasterKind::Gpu:
        d = BlendPixel(CombineStage0(s, op.diffuse, op.colorOp, op.alphaOp, op.textureFactor), d);
        return;
    }
}

namespace {
// A turned quad is walked in bands of eight rows, a column of the band at a time: each row's
// source coordinates are its own running sums (the same adds in the same order as a row walked
// alone, so every pixel takes the texel it always took), and the band's reads, slanted through
// the source, stay within a few cache lines from one column to the next.
constexpr int kTurnBand = 8;
// Columns per gathered block: eight rows of this many pixels read a patch of the source that
// stays in the first-level cache.
constexpr int kTurnBlock = 128;
// Bands walked side by side, a block of each in turn: the slanted source patch of a tile of
// eight bands is read once from further out and then found near by each band that crosses it.
constexpr int kTurnTile = 8;

// Four rows' values side by side (GCC/Clang vectors: one register with AVX2, two without).
typedef double TurnD __attribute__((vector_size(32)));
typedef i64 TurnL __attribute__((vector_size(32)));
typedef i32 TurnI __attribute__((vector_size(16)));
typedef u32 TurnU __attribute__((vector_size(16)));

// Narrows [from, to] to the real columns of a row at which a coordinate starting at x and
// stepping by d, with inverse step e = 1 / d, lies in [lo, top] (from > to when none).
void LineInside(double x, double d, double e, double lo, double top, int n, double* from, double* to) {
    double f = -1.0, t = n;
    if (d > 0) {
        f = (lo - x) * e;
        t = (top - x) * e;
    } else if (d < 0) {
        f = (top - x) * e;
        t = (lo - x) * e;
    } else if (!(lo <= x && x <= top)) {
        f = n;
        t = -1.0;
    }
    *from = std::max(*from, f);
    *to = std::min(*to, t);
}

// The columns [k0, k1] of a row (k1 < k0 when none) at which a coordinate starting at x and
// stepping by d, with inverse step e = 1 / d, is expected to lie well inside [lo, top]: the
// real line x + k d, two columns narrower on each side. Only a guess: the walk checks it.
void NarrowInside(double x, double d, double e, double lo, double top, int n, int* k0, int* k1) {
    double from = -1.0, to = n;
    LineInside(x, d, e, lo, top, n, &from, &to);
    // Clamped first: the quotients may be far outside the row, or infinite.
    *k0 = std::max(*k0, static_cast<int>(std::clamp(from, -1.0, double(n))) + 2);
    *k1 = std::min(*k1, static_cast<int>(std::clamp(to, -1.0, double(n))) - 2);
}

// Steps the coordinates (u, v) of eight rows across n columns, leaving them at the next column.
// A pixel draws when uLo <= u < uHi and vLo <= v < vHi (inside the quad and its texel inside
// the source); each pixel's texel is read from sp as soon as its coordinates are known (row r's
// at t[r * kTurnBlock + k]), so that the reads overlap the sums of the columns after them, and
// each row's drawn columns, one run since both coordinates move one way along a row, go to
// [first, last). The test is whether clamping into [uLo, uTop] x [vLo, vTop] leaves a pixel's
// coordinates as they are (uTop the largest value below uHi, so u < uHi is u <= uTop); the
// clamped values, never negative, truncate to the texel's column and row of a drawn pixel.
// Each running sum moves one way, so where the rows lie inside at two columns they lie inside
// at every column between: the columns [in0, in1] expected inside for all eight rows are walked
// untested once both ends are seen inside (and tested after all where they are not). Untested
// texel indexes are kept to at most last, the source's last texel, so that a wrong guess reads
// within the source; its texels are read again, tested. Likewise the columns before out0 and
// after out1, expected outside for all eight rows, are only stepped over once every row is
// seen outside at their inner end by a coordinate moving away from them: it is outside at
// every column beyond.
PIXEL_LOOP_CLONES void TurnedColumns(int n, double* u0, double* v0, double c, double s, double uLo, double uTop,
                                     double vLo, double vTop, i32 sx, i32 sy, i32 pitch, int in0, int in1, int out0,
                                     int out1, const u32* __restrict sp, u32 lastAt, u32* __restrict t, int* first,
                                     int* last) {
    static_assert(kTurnBand == 8, "two groups of four rows");
    const TurnD zero = {}, lu = zero + uLo, lv = zero + vLo;
    const TurnD topU = zero + uTop, topV = zero + vTop, dc = zero + c, ds = zero + s;
    // A texel's index, (sy + v) * pitch + sx + u, as v * pitch + u plus the index of (sx, sy):
    // the same value (below 2^31) in arithmetic modulo 2^32.
    const u32 origin = static_cast<u32>(static_cast<i64>(sy) * pitch + sx);
    const TurnU at0 = {origin, origin, origin, origin}, wide = {u32(pitch), u32(pitch), u32(pitch), u32(pitch)};
    const TurnU bound = {lastAt, lastAt, lastAt, lastAt};
    // The eight rows as two groups of four, each row with its own walk across the columns (two
    // groups side by side, so that neither waits for its own sums).
    TurnD a0 = {u0[0], u0[1], u0[2], u0[3]}, b0 = {v0[0], v0[1], v0[2], v0[3]};
    TurnD a1 = {u0[4], u0[5], u0[6], u0[7]}, b1 = {v0[4], v0[5], v0[6], v0[7]};
    TurnL count0 = {}, end0 = {}, count1 = {}, end1 = {};
    const auto flatOf = [&](const TurnD& ca, const TurnD& cb) __attribute__((always_inline)) {
        const TurnI iu = __builtin_convertvector(ca, TurnI), iv = __builtin_convertvector(cb, TurnI);
        return (TurnU)iv * wide + (TurnU)iu + at0;
    };
    const auto fetch = [&](const TurnU& flat, u32* out) __attribute__((always_inline)) {
        // Taken out two at a time: a 64-bit move and a shift cost less than a lane's extract.
        static_assert(std::endian::native == std::endian::little, "lane 0 in the low half");
        u64 at[2];
        std::memcpy(at, &flat, sizeof at);
        out[0] = sp[static_cast<u32>(at[0])];
        out[kTurnBlock] = sp[at[0] >> 32];
        out[2 * kTurnBlock] = sp[static_cast<u32>(at[1])];
        out[3 * kTurnBlock] = sp[at[1] >> 32];
    };
    // One column of one group, tested; the lanes' test is ANDed into all.
    const auto tested = [&](TurnD& a, TurnD& b, TurnL& count, TurnL& end, int k, u32* out, TurnL& all)
                            __attribute__((always_inline)) {
        const TurnD cla = a < lu ? lu : a, clb = b < lv ? lv : b;
        const TurnD ca = topU < cla ? topU : cla, cb = topV < clb ? topV : clb;
        const TurnL in = (ca == a) & (cb == b);
        // The run ends after the last column inside; it began count columns before.
        count -= in;
        end = in ? (TurnL){} + (k + 1) : end;
        fetch(flatOf(ca, cb), out);
        a = a + dc;
        b = b - ds;
        all &= in;
    };
    TurnL unused = {};
    const auto column = [&](int k, TurnL& all) __attribute__((always_inline)) {
        tested(a0, b0, count0, end0, k, t + k, all);
        tested(a1, b1, count1, end1, k, t + 4 * kTurnBlock + k, all);
    };
    const auto step = [&]() __attribute__((always_inline)) {
        a0 = a0 + dc;
        b0 = b0 - ds;
        a1 = a1 + dc;
        b1 = b1 - ds;
    };
    // Which way each coordinate moves along a row (both ways when it stays).
    const TurnL none = {}, upU = none + (c >= 0 ? -1 : 0), downU = none + (c <= 0 ? -1 : 0);
    const TurnL upV = none + (s <= 0 ? -1 : 0), downV = none + (s >= 0 ? -1 : 0);
    // Whether every row lies outside at this column and every one before (after when ahead).
    const auto outside = [&](bool ahead) __attribute__((always_inline)) {
        const TurnL lowU = ahead ? downU : upU, highU = ahead ? upU : downU;
        const TurnL lowV = ahead ? downV : upV, highV = ahead ? upV : downV;
        const TurnL o0 = ((a0 < lu) & lowU) | ((a0 > topU) & highU) | ((b0 < lv) & lowV) | ((b0 > topV) & highV);
        const TurnL o1 = ((a1 < lu) & lowU) | ((a1 > topU) & highU) | ((b1 < lv) & lowV) | ((b1 > topV) & highV);
        const TurnL o = o0 & o1;
        return (o[0] & o[1] & o[2] & o[3]) != 0;
    };
    int k = 0;
    const int lead = std::min(out0, n);
    if (lead > 0) {
        const TurnD keptA0 = a0, keptB0 = b0, keptA1 = a1, keptB1 = b1;
        for (; k < lead - 1; ++k) step();
        if (outside(false)) {
            step();
            k = lead;
        } else {
            a0 = keptA0;
            b0 = keptB0;
            a1 = keptA1;
            b1 = keptB1;
            k = 0;
        }
    }
    const int k0 = std::max(in0, k), k1 = std::min(in1, n - 1);
    if (k0 + 1 < k1) {
        for (; k < k0; ++k) column(k, unused);
        const TurnD keptA0 = a0, keptB0 = b0, keptA1 = a1, keptB1 = b1;
        const TurnL keptCount0 = count0, keptEnd0 = end0, keptCount1 = count1, keptEnd1 = end1;
        TurnL in = ~(TurnL){};
        column(k0, in);
        for (k = k0 + 1; k < k1; ++k) {
            // Inside: the coordinates are their own clamped values.
            const TurnU f0 = flatOf(a0, b0), f1 = flatOf(a1, b1);
            fetch(f0 < bound ? f0 : bound, t + k);
            fetch(f1 < bound ? f1 : bound, t + 4 * kTurnBlock + k);
            step();
        }
        column(k1, in);
        if (in[0] & in[1] & in[2] & in[3]) {
            count0 += k1 - k0 - 1;
            count1 += k1 - k0 - 1;
            k = k1 + 1;
        } else {
            a0 = keptA0;
            b0 = keptB0;
            a1 = keptA1;
            b1 = keptB1;
            count0 = keptCount0;
            end0 = keptEnd0;
            count1 = keptCount1;
            end1 = keptEnd1;
            k = k0;
        }
    }
    const int tail = std::min(std::max(out1 + 1, k), n);
    for (; k < tail; ++k) column(k, unused);
    if (k < n && outside(true)) {
        for (; k < n; ++k) step();
    }
    for (; k < n; ++k) column(k, unused);
    for (int r = 0; r < 4; ++r) {
        first[r] = static_cast<int>(end0[r] - count0[r]);
        last[r] = static_cast<int>(end0[r]);
        first[r + 4] = static_cast<int>(end1[r] - count1[r]);
        last[r + 4] = static_cast<int>(end1[r]);
        u0[r] = a0[r];
        v0[r] = b0[r];
        u0[r + 4] = a1[r];
        v0[r + 4] = b1[r];
    }
}

// A run of a turned block's row drawn as an opaque copy of its texels.
PIXEL_LOOP_CLONES void TurnedOpaque(u32* __restrict d, const u32* __restrict t, int from, int to) {
    for (int k = from; k < to; ++k) d[k] = t[k] | 0xFF000000u;
}
} // namespace

void RasterRotatedQuad(PixelStore& dst, double cx, double cy, int w, int h, double pivotX, double pivotY,
                       double angle, const PixelStore& src, int sx, int sy, const RasterOp& op) {
    if (w <= 0 || h <= 0 || dst.width <= 0 || dst.height <= 0) return;
    const double rad = angle * 3.14159265358979323846 / 180.0;
    const double s = std::sin(rad), c = std::cos(rad);
    // Bounding box of the turned corners.
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    const double corners[4][2] = {{-pivotX, -pivotY}, {w - pivotX, -pivotY}, {-pivotX, h - pivotY}, {w - pivotX, h - pivotY}};
    for (const auto& k : corners) {
        const double tx = cx + k[0] * c - k[1] * s, ty = cy + k[0] * s + k[1] * c;
        x0 = std::min(x0, tx); x1 = std::max(x1, tx);
        y0 = std::min(y0, ty); y1 = std::max(y1, ty);
    }
    // Clamped into the target before they become integers: a quad far off it draws nothing.
    const auto clampTo = [](double v, int hi) { return static_cast<int>(std::min<double>(hi, std::max(0.0, v))); };
    const int bx0 = clampTo(std::floor(x0), dst.width), by0 = clampTo(std::floor(y0), dst.height);
    const int bx1 = clampTo(std::ceil(x1), dst.width), by1 = clampTo(std::ceil(y1), dst.height);
    // A pixel draws when its coordinates in the quad lie inside it and their texel inside the
    // source: uLo <= u < uHi, vLo <= v < vHi (the texel's column is sx + floor(u)).
    const i64 uLo = std::max<i64>(0, -i64(sx)), uHi = std::min<i64>(w, i64(src.width) - sx);
    const i64 vLo = std::max<i64>(0, -i64(sy)), vHi = std::min<i64>(h, i64(src.height) - sy);
    // Texel indexes are 32-bit: surfaces and pictures are far smaller than that.
    if (bx0 < bx1 && by0 < by1 && uLo < uHi && vLo < vHi && src.px.size() <= std::size_t(INT32_MAX)) {
        const int n = bx1 - bx0;
        // The largest values below the upper bounds: u < uHi is u <= uTop.
        const double uTop = std::nextafter(double(uHi), 0.0), vTop = std::nextafter(double(vHi), 0.0);
        constexpr std::size_t kBlock = static_cast<std::size_t>(kTurnBlock) * kTurnBand;
        // A block's texels and each of its rows' drawn columns.
        struct Block {
            int first[kTurnBand], last[kTurnBand];
            int py0, k0, kn;
        };
        Block b;
        u32 texels[kBlock];
        const u32* const sp = src.px.data();
        const u32 lastAt = static_cast<u32>(src.px.size() - 1);
        const bool identity = op.kind == RasterKind::Gpu && Identity(op);
        const bool opaque = op.kind == RasterKind::Gpu && OpaqueCopy(op);
        // Draws the block just made.
        const auto draw = [&] {
            const int rows = std::min(kTurnBand, by1 - b.py0);
            for (int r = 0; !identity && r < rows; ++r) {
                const int from = b.first[r], to = b.last[r];
                if (from >= to) continue;
                const u32* t = texels + r * kTurnBlock;
                u32* d = dst.Row(b.py0 + r) + bx0 + b.k0;
                if (opaque) {
                    TurnedOpaque(d, t, from, to);
                } else if (op.kind == RasterKind::Gpu) {
                    RasterGpuSpan(d + from, t + from, to - from, op);
                } else {
                    for (int k = from; k < to; ++k) RasterPixel(d[k], t[k], op);
                }
            }
            // The plain blend a run of rows at a time where their columns agree (inside the
            // quad, all of a block's): the rows' texels are looked at and drawn as one rectangle.
            for (int r = 0; identity && r < rows;) {
                int e = r + 1;
                while (e < rows && b.first[e] == b.first[r] && b.last[e] == b.last[r]) ++e;
                const int from = b.first[r], to = b.last[r];
                if (from < to)
                    BlendRows(dst.Row(b.py0 + r) + bx0 + b.k0 + from, dst.width, texels + r * kTurnBlock + from, kTurnBlock,
                              to - from, e - r);
                r = e;
            }
        };
        // Source coordinates start at the box's left column and step by (cos, -sin) along a row.
        const double dx0 = bx0 + 0.5 - cx;
        const double ec = c != 0 ? 1 / c : 0, es = s != 0 ? -1 / s : 0;
        // Each band's running sums, the columns expected inside the quad for all its rows, and
        // those outside it for all its rows (before out0, after out1).
        struct Band {
            double u[kTurnBand], v[kTurnBand];
            int in0, in1, out0, out1;
        };
        Band bands[kTurnTile];
        for (int g0 = by0; g0 < by1; g0 += kTurnBand * kTurnTile) {
            const int count = std::min(kTurnTile, (by1 - g0 + kTurnBand - 1) / kTurnBand);
            for (int j = 0; j < count; ++j) {
                Band& band = bands[j];
                for (int r = 0; r < kTurnBand; ++r) {
                    const double dy = g0 + j * kTurnBand + r + 0.5 - cy;
                    band.u[r] = dx0 * c + dy * s + pivotX;
                    band.v[r] = -dx0 * s + dy * c + pivotY;
                }
                band.in0 = 0;
                band.in1 = n - 1;
                // The columns where any row may lie inside, two wider on each side.
                double lo = n, hi = -1.0;
                for (int r = 0; r < kTurnBand; ++r) {
                    NarrowInside(band.u[r], c, ec, double(uLo), uTop, n, &band.in0, &band.in1);
                    NarrowInside(band.v[r], -s, es, double(vLo), vTop, n, &band.in0, &band.in1);
                    double from = -1.0, to = n;
                    LineInside(band.u[r], c, ec, double(uLo), uTop, n, &from, &to);
                    LineInside(band.v[r], -s, es, double(vLo), vTop, n, &from, &to);
                    if (from <= to) {
                        lo = std::min(lo, from);
                        hi = std::max(hi, to);
                    }
                }
                band.out0 = static_cast<int>(std::clamp(lo, -1.0, double(n))) - 2;
                band.out1 = static_cast<int>(std::clamp(hi, -1.0, double(n))) + 2;
            }
            for (int k0 = 0; k0 < n; k0 += kTurnBlock)
                for (int j = 0; j < count; ++j) {
                    Band& band = bands[j];
                    b.py0 = g0 + j * kTurnBand;
                    b.k0 = k0;
                    b.kn = std::min(kTurnBlock, n - k0);
                    TurnedColumns(b.kn, band.u, band.v, c, s, double(uLo), uTop, double(vLo), vTop, sx, sy, src.width,
                                  band.in0 - k0, band.in1 - k0, band.out0 - k0, band.out1 - k0, sp, lastAt, texels, b.first, b.last);
                    draw();
                }
        }
    }
    // As for the blits: opaque and transparent texels (the only ones at 16 bits) leave the
    // target on its grid, so only combined results need snapping.
    if (op.kind == RasterKind::Gpu && !Identity(op) && !OpaqueCopy(op)) GridSnapRect(dst, bx0, by0, bx1 - bx0, by1 - by0);
}

// ---------------------------------------------------------------------------------------------
// 16-bit grid

cPixelGrid g_Grid;

void GridSetup(const PIXELFORMAT* fmt) {
    g_Grid = cPixelGrid{};
    if (!fmt) return;
    g_Grid.on = true;
    g_Grid.fmt = *fmt;
    const u32 maxima[4] = {fmt->maxB, fmt->maxG, fmt->maxR, fmt->maxA};
    for (int lane = 0; lane < 4; ++lane) {
        const u32 m = std::min<u32>(maxima[lane], 255);
        // v * 255 / m as (v * 255 * ceil(2^24 / m)) >> 24: the error term stays under 2^24 for
        // every v <= m, and the product under 2^32.
        const u32 mm = m == 0 ? 255 : m;
        g_Grid.math.max[lane] = mm;
        g_Grid.math.mul[lane] = 255 * (((1u << 24) + mm - 1) / mm);
        g_Grid.math.shift[lane] = 24;
        for (u32 c = 0; c < 256; ++c) {
            if (m == 0) {
                // No such channel in the format: the byte is kept as it is.
                g_Grid.cut[lane][c] = g_Grid.snap[lane][c] = g_Grid.raw[lane][c] = g_Grid.expand[lane][c] = static_cast<u8>(c);
                continue;
            }
            const u32 down = c * m / 255, near = (c * m + 127) / 255;
            g_Grid.cut[lane][c] = static_cast<u8>(down * 255 / m);
            g_Grid.snap[lane][c] = static_cast<u8>(near * 255 / m);
            // Exact on stored bytes: v * 255 / m lies less than half a step below v * 255 / m.
            g_Grid.raw[lane][c] = static_cast<u8>(near);
            g_Grid.expand[lane][c] = static_cast<u8>(std::min(c, m) * 255 / m);
        }
    }
}

u32 GridPack(u32 stored) {
    const PIXELFORMAT& f = g_Grid.fmt;
    const u32 r = GridRaw(stored);
    u32 v = (r & 255) << f.shiftB | ((r >> 8) & 255) << f.shiftG | ((r >> 16) & 255) << f.shiftR;
    if (f.maxA) v |= (r >> 24) << f.shiftA;
    return v;
}

u32 GridUnpack(u32 value) {
    const PIXELFORMAT& f = g_Grid.fmt;
    const u32 b = (value >> f.shiftB) & f.maxB, g = (value >> f.shiftG) & f.maxG, r = (value >> f.shiftR) & f.maxR;
    const u32 a = f.maxA ? (value >> f.shiftA) & f.maxA : 255;
    return GridFromRaw(b | g << 8 | r << 16 | a << 24);
}

PIXEL_LOOP_CLONES void GridRawRow(u32* out, const u32* in, int n) {
    const u32 m0 = g_Grid.math.max[0], m1 = g_Grid.math.max[1], m2 = g_Grid.math.max[2], m3 = g_Grid.math.max[3];
    for (int i = 0; i < n; ++i) {
        const u32 p = in[i];
        out[i] = GridMathRawLane(p & 255, m0) | GridMathRawLane((p >> 8) & 255, m1) << 8 |
                 GridMathRawLane((p >> 16) & 255, m2) << 16 | GridMathRawLane(p >> 24, m3) << 24;
    }
}

PIXEL_LOOP_CLONES void GridFromRawRow(u32* out, const u32* in, int n) {
    const cGridMath g = g_Grid.math;
    for (int i = 0; i < n; ++i) out[i] = GridMathFromRaw(in[i], g);
}

PIXEL_LOOP_CLONES void GridSnapRow(u32* px, int n) {
    const cGridMath g = g_Grid.math;
    int i = 0;
    const SnapLanes* lanes = n >= kLanes ? SnapLanesNow() : nullptr;
    if (lanes) {
        for (; i + kLanes <= n; i += kLanes) {
            SpanV p;
            LoadV(p, px + i);
            SnapBlock(p, *lanes);
            StoreV(px + i, p);
        }
    }
    u32 rm[4], em[4], mx[4], sh[4];
    for (int k = 0; k < 4; ++k) {
        rm[k] = g.max[k] * 32897u;
        em[k] = g.mul[k];
        mx[k] = g.max[k];
        sh[k] = g.shift[k];
    }
    // The rest, or every pixel of a grid the 16-bit lanes cannot hold: GridMathSnap with each
    // lane's (c * max + 127) * 32897 as one product and a sum, the same value (below 2^32), one
    // multiplication fewer a lane.
    constexpr u32 kLift = 127u * 32897u;
    for (; i < n; ++i) {
        const u32 p = px[i];
        u32 o = 0;
        for (int k = 0; k < 4; ++k) {
            const u32 raw = (((p >> (8 * k)) & 255) * rm[k] + kLift) >> 23;
            o |= (((raw < mx[k] ? raw : mx[k]) * em[k]) >> sh[k]) << (8 * k);
        }
        px[i] = o;
    }
}

void GridSnapRect(PixelStore& dst, i64 x, i64 y, i64 w, i64 h) {
    if (!g_Grid.on) return;
    const i64 x0 = std::max<i64>(0, x), y0 = std::max<i64>(0, y);
    const i64 x1 = std::min<i64>(dst.width, x + w), y1 = std::min<i64>(dst.height, y + h);
    if (x0 >= x1) return;
    for (i64 r = y0; r < y1; ++r) GridSnapRow(dst.Row(static_cast<int>(r)) + x0, static_cast<int>(x1 - x0));
}

namespace {
#ifdef PIXEL_LOOP_AVX2
// Eight table reads in one gather: the table (a kilobyte) stays in the first-level cache, and
// the lookups no longer go one by one through the scalar units and back into vectors.
template <bool kStreamed>
PIXEL_LOOP_AVX2 void PaletteGathered(u32* out, const u32* indexes, const u32* lut, std::size_t n, u32 alpha) {
    const __m256i low = _mm256_set1_epi32(255), a = _mm256_set1_epi32(static_cast<int>(alpha));
    std::size_t i = 0;
    // A streaming store takes a whole aligned block: the pixels before the first go plainly.
    if constexpr (kStreamed)
        for (; i < n && (reinterpret_cast<std::uintptr_t>(out + i) & 31) != 0; ++i) out[i] = lut[indexes[i] & 255] | alpha;
    for (; i + 8 <= n; i += 8) {
        const __m256i at = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(indexes + i)), low);
        const __m256i colours = _mm256_i32gather_epi32(reinterpret_cast<const int*>(lut), at, 4);
        if constexpr (kStreamed) _mm256_stream_si256(reinterpret_cast<__m256i*>(out + i), _mm256_or_si256(colours, a));
        else _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_or_si256(colours, a));
    }
    PaletteRow(out + i, indexes + i, lut, n - i, alpha);
}
#endif
} // namespace

void PaletteFrame(u32* out, const u32* indexes, const u32* lut, std::size_t n, u32 alpha, bool streamed) {
#ifdef PIXEL_LOOP_AVX2
    if (Avx2Here()) {
        if (!streamed) {
            PaletteGathered<false>(out, indexes, lut, n, alpha);
            return;
        }
        PaletteGathered<true>(out, indexes, lut, n, alpha);
        StreamedDone();
        return;
    }
#endif
    if (!streamed) {
        PaletteRow(out, indexes, lut, n, alpha);
        return;
    }
    StreamedPaletteRow(out, indexes, lut, n, alpha);
    StreamedDone();
}
