// The plain blend of 1:1 quads and its looks at the texels: rows drawn as copies, keyed copies or
// blends by what their texels hold, the looks kept while a batch draws (cTexelLooks) and the
// blocks where a picture's texels show (cTexelBlocks).
#include "platform/graphics/RasterRows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/graphics/PixelLanes.h"

using namespace pixel_loops;

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

} // namespace

namespace pixel_loops {

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

} // namespace pixel_loops

namespace {

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

} // namespace

namespace pixel_loops {

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

} // namespace pixel_loops

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
