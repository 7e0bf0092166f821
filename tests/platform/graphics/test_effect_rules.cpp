// The pixel effect blitters against their rules, pixel by pixel, in every personality: random
// source and target pixels (keyed ones among them), drawn through each blitter's own entry point
// as a frame calls it, and compared with what the rule written out plainly gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/graphics/Raster.h"
#include "platform/system/Random.h"
#include "tests/platform/graphics/GfxTestUtil.h"

namespace {

class EffectRulesTest : public ::testing::TestWithParam<GfxMode> {
protected:
    void SetUp() override {
        mode = std::make_unique<ScopedMode>(GetParam());
        ASSERT_TRUE(mode->ok);
        // Locked pixels in Direct3D: a system texture as the source, a work surface as the target.
        ASSERT_TRUE(DDCreateSurface(&src, kW, kH, 1, 0, DTMEMORYTYPE_SYSTEM));
        ASSERT_TRUE(DDCreateSurface(&dst, kW, kH, 1, 0, DTMEMORYTYPE_VIDEO_RT));
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b) g_lpBlendTable[a * 256 + b] = static_cast<u8>((a * 7 + b * 3 + (a ^ b)) & 255);
    }
    void TearDown() override {
        DDReleaseSurface(&src);
        DDReleaseSurface(&dst);
        mode.reset();
    }
    // Fills both surfaces with random pixels, about one source pixel in six of the key colour.
    void Randomise(u32 seed) { RandomisePair(Src(), Dst(), seed, false); }
    PixelStore& Src() { return *SurfacePixels(&src); }
    PixelStore& Dst() { return *SurfacePixels(&dst); }
    static constexpr int kW = 150, kH = 90;
    std::unique_ptr<ScopedMode> mode;
    DDSURFACEDATA src, dst;
};

// The rectangles each rule is drawn over: inside, clipped on every side, and a single column.
struct RuleRect {
    int x, y, w, h, sx, sy;
};
constexpr RuleRect kRuleRects[] = {{3, 4, 131, 70, 9, 11}, {-7, -5, 60, 40, 20, 30}, {120, 70, 50, 40, 100, 60},
                                   {40, 10, 1, 60, 149, 0}, {10, 20, 40, 30, -4, -9}};

// Calls fn(target pixel, source pixel) for every pixel pair of a rectangle inside both surfaces.
template <class Fn>
void EachPair(PixelStore& d, const PixelStore& s, const RuleRect& r, Fn fn) {
    for (int j = 0; j < r.h; ++j)
        for (int i = 0; i < r.w; ++i) {
            const int tx = r.x + i, ty = r.y + j, px = r.sx + i, py = r.sy + j;
            if (tx < 0 || ty < 0 || tx >= d.width || ty >= d.height || px < 0 || py < 0 || px >= s.width || py >= s.height)
                continue;
            fn(d.px[static_cast<std::size_t>(ty * d.width + tx)], s.px[static_cast<std::size_t>(py * s.width + px)]);
        }
}

u32 Lane(u32 p, int lane) { return (p >> (8 * lane)) & 255; }

} // namespace

// The colour blend toward a palette colour at levels 0 to 20: at 8 bits the blend table n times
// from the source index; in DirectDraw each channel halved toward the colour n times (at 16 bits
// cut to the grid), the target's alpha kept; in Direct3D half and half at level 1, then the
// source's share 64, 32 or 16 / 255 of each channel value (at 16 bits the raw values), alpha set.
TEST_P(EffectRulesTest, ColourBlendMatchesThePixelRule) {
    const KeyTest isKey = ModeKeyTest();
    const bool d3d = lpDTCon != nullptr, sixteen = g_Grid.on;
    int round = 0;
    for (const i32 level : {0, 1, 2, 3, 4, 7, 9, 16, 20})
        for (const u32 colour : {3u, 77u, 200u})
            for (const u32 key : {0u, 1u}) {
                const RuleRect& r = kRuleRects[static_cast<std::size_t>(round++) % std::size(kRuleRects)];
                Randomise(static_cast<u32>(round));
                g_palBase[colour] = PALETTEENTRY{static_cast<u8>(colour * 5), static_cast<u8>(255 - colour), static_cast<u8>(colour ^ 0x5A), 1};
                PixelVector expected = Dst().px;
                const i32 drawn = DDBltColorBlend(&dst, r.x, r.y, r.w, r.h, &src, r.sx, r.sy, key, &g_palBase, g_lpBlendTable, colour, level);
                const PALETTEENTRY& t = g_palBase[colour];
                const u32 rgb = u32(t.peRed) << 16 | u32(t.peGreen) << 8 | t.peBlue;
                PixelStore copy = Dst();
                copy.px = expected;
                if (!(d3d && level == 0))
                    EachPair(copy, Src(), r, [&](u32& o, u32 s) {
                        if (key == 1 && isKey(s)) return;
                        if (!d3d && g_nBpp == 8) {
                            u32 p = s & 255;
                            for (i32 k = 0; k < level; ++k) p = g_lpBlendTable[p * 256 + colour];
                            o = p;
                            return;
                        }
                        u32 v = 0;
                        if (!d3d) {
                            const u32 tc = sixteen ? GridFromRaw(rgb) : rgb;
                            for (int lane = 0; lane < 3; ++lane) {
                                u32 c = Lane(s, lane);
                                for (i32 k = 0; k < level; ++k) c = (c + Lane(tc, lane)) >> 1;
                                v |= c << (8 * lane);
                            }
                            o = (GridCut(v) & 0xFFFFFF) | (o & 0xFF000000u);
                            return;
                        }
                        const double f = level == 2 ? 64.0 / 255 : level == 3 ? 32.0 / 255 : 16.0 / 255;
                        const u32 tr = sixteen ? GridRaw(GridCut(rgb)) : rgb;
                        const u32 c = sixteen ? GridRaw(s) : s;
                        for (int lane = 0; lane < 3; ++lane) {
                            const u32 a = Lane(c, lane), b = Lane(tr, lane);
                            v |= (level == 1 ? (a + b) >> 1 : static_cast<u32>(a * f + b * (1 - f))) << (8 * lane);
                        }
                        o = sixteen ? GridFromRaw(1u << 24 | v) : 0xFF000000u | v;
                    });
                EXPECT_EQ(drawn, d3d && level == 0 ? 0 : 1);
                ASSERT_EQ(Dst().px, copy.px) << "level " << level << " colour " << colour << " key " << key << " at " << r.x << ","
                                             << r.y;
            }
}

// The half alpha: at 8 bits the blend table of source and target index (a target index of 0
// takes the source, a source index of 0 is left out with the key); in DirectDraw each channel
// the half sum (at 16 bits cut to the grid), a target pixel of the key colour taking the source,
// alpha kept; in Direct3D the half sum of the channel values (at 16 bits the raw values), alpha set.
TEST_P(EffectRulesTest, HalfAlphaMatchesThePixelRule) {
    const KeyTest isKey = ModeKeyTest();
    const bool d3d = lpDTCon != nullptr, sixteen = g_Grid.on;
    auto half = [](u32 a, u32 b) {
        u32 v = 0;
        for (int lane = 0; lane < 3; ++lane) v |= ((Lane(a, lane) + Lane(b, lane)) >> 1) << (8 * lane);
        return v;
    };
    int round = 0;
    for (const RuleRect& r : kRuleRects)
        for (const u32 key : {0u, 1u}) {
            Randomise(static_cast<u32>(100 + round++));
            // Some target pixels of the key colour.
            for (std::size_t i = 0; i < Dst().px.size(); i += 5) Dst().px[i] = (Dst().px[i] & ~isKey.mask) | isKey.value;
            PixelStore copy = Dst();
            EachPair(copy, Src(), r, [&](u32& o, u32 s) {
                if (!d3d && g_nBpp == 8) {
                    const u32 si = s & 255, di = o & 255;
                    if (key == 1 && si == 0) return;
                    o = di == 0 ? si : g_lpBlendTable[si + di * 256];
                    return;
                }
                if (key == 1 && isKey(s)) return;
                if (!d3d) {
                    const u32 m = isKey(o) ? s & 0xFFFFFF : GridCut(half(s, o)) & 0xFFFFFF;
                    o = (o & 0xFF000000u) | m;
                    return;
                }
                o = sixteen ? GridFromRaw(1u << 24 | half(GridRaw(s), GridRaw(o))) : 0xFF000000u | half(s, o);
            });
            EXPECT_EQ(DDBltHalfAlpha(&dst, r.x, r.y, r.w, r.h, &src, r.sx, r.sy, key, g_lpBlendTable), 1);
            ASSERT_EQ(Dst().px, copy.px) << "key " << key << " at " << r.x << "," << r.y;
        }
}

// The 8-bit half alpha over rows longer than the pieces its loop takes at a time, and drawn from
// its own surface: a source left of the target reads the pixels the row has already drawn, one
// after the other, as the rule read pixel by pixel gives; right of it, or on it, it reads them
// as they were.
TEST_P(EffectRulesTest, EightBitHalfAlphaOverLongRowsAndItsOwnPixels) {
    if (lpDTCon || g_nBpp != 8) GTEST_SKIP() << "8-bit DirectDraw only";
    DDSURFACEDATA wide, other;
    ASSERT_TRUE(DDCreateSurface(&wide, 1300, 5, 1, 0, DTMEMORYTYPE_SYSTEM));
    ASSERT_TRUE(DDCreateSurface(&other, 1300, 5, 1, 0, DTMEMORYTYPE_SYSTEM));
    cCrtRandom gen(77);
    struct From {
        DDSURFACEDATA* sd;
        int sx, sy;
    };
    for (const From f : {From{&other, 3, 0}, From{&wide, 26, 1}, From{&wide, 40, 1}, From{&wide, 33, 1}})
        for (const u32 key : {0u, 1u}) {
            // Indexes with upper bits set, index 0 now and then on both sides.
            for (DDSURFACEDATA* sd : {&wide, &other})
                for (u32& p : SurfacePixels(sd)->px)
                    p = gen.Next() % 5 == 0 ? 0xAB00u : static_cast<u32>(gen.Next()) << 9 ^ static_cast<u32>(gen.Next());
            const RuleRect r{33, 1, 1229, 4, f.sx, f.sy};
            PixelStore copy = *SurfacePixels(&wide);
            const PixelStore& sp = f.sd == &wide ? copy : *SurfacePixels(f.sd); // its own pixels as drawn so far
            for (int j = 0; j < r.h; ++j)
                for (int i = 0; i < r.w; ++i) {
                    const u32 si = sp.px[static_cast<std::size_t>((r.sy + j) * sp.width + r.sx + i)] & 255;
                    u32& o = copy.px[static_cast<std::size_t>((r.y + j) * copy.width + r.x + i)];
                    if (key == 1 && si == 0) continue;
                    o = (o & 255) == 0 ? si : g_lpBlendTable[si + (o & 255) * 256];
                }
            EXPECT_EQ(DDBltHalfAlpha(&wide, r.x, r.y, r.w, r.h, f.sd, r.sx, r.sy, key, g_lpBlendTable), 1);
            ASSERT_EQ(SurfacePixels(&wide)->px, copy.px) << "source at " << r.sx << " key " << key;
        }
    DDReleaseSurface(&wide);
    DDReleaseSurface(&other);
}

// The fades of the transitions, frame by frame from the full frame to the colour: in DirectDraw
// the frame as it was when the fade began, each channel mixed with the colour by the weight
// sin(phase) * 256 (at 16 bits cut to the grid), alpha kept; in Direct3D black of alpha
// 255 - sin(phase) * 255 blended over the frame (at 16 bits snapped to the grid).
TEST_P(EffectRulesTest, TransitionFadesMatchThePixelRule) {
    if (g_nBpp == 8) GTEST_SKIP() << "the palette fades";
    const bool d3d = lpDTCon != nullptr;
    PixelStore& back = *SurfacePixels(&g_sdBackBuffer);
    DDTransition(&g_palDisplay, 0, 255, 0, 0, 0, 30.0, &g_palCur, 1); // from the start
    cCrtRandom gen(5);
    for (u32& p : back.px) p = static_cast<u32>(gen.Next()) << 17 ^ static_cast<u32>(gen.Next()) << 3 ^ static_cast<u32>(gen.Next());
    const PixelVector first = back.px;
    const u8 red = 200, green = 40, blue = 99;
    for (const double phase : {90.0, 60.0, 30.0, 0.0}) {
        PixelVector expected = back.px;
        const double sn = std::sin(phase * 0.017453292519943295);
        if (!d3d) {
            const u32 w = static_cast<u32>(std::clamp(static_cast<i32>(sn * 256), 0, 256));
            const u32 c[3] = {blue, green, red};
            for (std::size_t i = 0; i < expected.size(); ++i) {
                u32 v = first[i] & 0xFF000000u;
                for (int lane = 0; lane < 3; ++lane) v |= ((Lane(first[i], lane) * w + c[lane] * (256 - w)) >> 8) << (8 * lane);
                expected[i] = GridCut(v);
            }
        } else {
            const u32 a = std::min<u32>(static_cast<u32>(sn * 255), 255);
            for (u32& p : expected)
                if (a < 255) p = GridSnap(BlendPixel((255 - a) << 24, p));
        }
        // The fully faded frame ends the fade.
        EXPECT_EQ(DDTransition(&g_palDisplay, 0, 255, red, green, blue, 30.0, &g_palCur, 0), phase == 0.0);
        ASSERT_EQ(back.px, expected) << "phase " << phase;
    }
}

// The Direct3D colour change: each pixel the colour's quad (texel times colour, alpha times
// alpha) blended over it, at 16 bits snapped to the grid.
TEST_P(EffectRulesTest, ColourChangeMatchesThePixelRule) {
    if (!lpDTCon) GTEST_SKIP() << "Direct3D only";
    int round = 0;
    for (const RuleRect& r : kRuleRects) {
        Randomise(static_cast<u32>(200 + round++));
        PixelStore& d = Dst();
        PixelStore copy = d;
        const i32 alpha = 40 + 50 * round;
        const u32 diffuse = static_cast<u32>(255 - std::clamp(alpha, 0, 255)) << 24 | 0xFF8010u;
        EachPair(copy, d, RuleRect{r.x, r.y, r.w, r.h, r.x, r.y},
                 [&](u32& o, u32) { o = GridSnap(BlendPixel(CombineStage0(o, diffuse, D3DTOP_MODULATE, D3DTOP_MODULATE, 0), o)); });
        DDChangeColor(&dst, r.x, r.y, r.w, r.h, alpha, 255, 128, 16);
        ASSERT_EQ(d.px, copy.px) << "at " << r.x << "," << r.y;
    }
}

// The mosaic's blocks from the rectangle's corner: in DirectDraw at 16 and 32 bits the average
// of each channel over the block's source pixels inside the source (keyed ones left out),
// rounded down and snapped to the grid, a keyed average drawing nothing; else the block's first
// source pixel (Direct3D at 32 bits made opaque). Each block fills its part inside the target.
TEST_P(EffectRulesTest, MosaicMatchesThePixelRule) {
    const KeyTest isKey = ModeKeyTest();
    const bool average = !lpDTCon && g_nBpp != 8;
    int round = 0;
    for (const i32 block : {1, 3, 8, 13, 64, 1000})
        for (const RuleRect& r : kRuleRects) {
            const u32 key = static_cast<u32>(round & 1);
            Randomise(static_cast<u32>(300 + round++));
            // Runs of the key colour, so that some blocks are keyed throughout.
            for (std::size_t i = 0; i < Src().px.size(); ++i)
                if ((i / 7) % 5 == 0) Src().px[i] = (Src().px[i] & ~isKey.mask) | isKey.value;
            const PixelStore& sp = Src();
            PixelStore copy = Dst();
            for (i64 bj = 0; bj < r.h; bj += block)
                for (i64 bi = 0; bi < r.w; bi += block) {
                    u32 v = 0;
                    if (average) {
                        u64 sum[4] = {}, count = 0;
                        for (i64 j = bj; j < std::min<i64>(bj + block, r.h); ++j)
                            for (i64 i = bi; i < std::min<i64>(bi + block, r.w); ++i) {
                                const i64 px = r.sx + i, py = r.sy + j;
                                if (px < 0 || py < 0 || px >= sp.width || py >= sp.height || r.y + j < 0) continue;
                                const u32 p = sp.px[static_cast<std::size_t>(py * sp.width + px)];
                                if (key == 1 && isKey(p)) continue;
                                for (int lane = 0; lane < 4; ++lane) sum[lane] += Lane(p, lane);
                                ++count;
                            }
                        if (!count) continue;
                        for (int lane = 0; lane < 4; ++lane) v |= static_cast<u32>(sum[lane] / count) << (8 * lane);
                        v = GridSnap(v);
                    } else {
                        const i64 px = r.sx + bi, py = r.sy + bj;
                        if (px < 0 || py < 0 || px >= sp.width || py >= sp.height) continue;
                        v = sp.px[static_cast<std::size_t>(py * sp.width + px)];
                        if (lpDTCon && !g_Grid.on && !(key == 1 && isKey(v))) v |= 0xFF000000u;
                    }
                    if (key == 1 && isKey(v)) continue;
                    for (i64 j = bj; j < std::min<i64>(bj + block, r.h); ++j)
                        for (i64 i = bi; i < std::min<i64>(bi + block, r.w); ++i) {
                            const i64 tx = r.x + i, ty = r.y + j;
                            if (tx >= 0 && ty >= 0 && tx < copy.width && ty < copy.height)
                                copy.px[static_cast<std::size_t>(ty * copy.width + tx)] = v;
                        }
                }
            DDMosaic(&dst, r.x, r.y, r.w, r.h, block, &src, r.sx, r.sy, key);
            ASSERT_EQ(Dst().px, copy.px) << "block " << block << " key " << key << " at " << r.x << "," << r.y;
        }
}

// The blur: each pixel the average, lane by lane rounded down, of the source pixels of its box
// (offsets -rx .. rx - 1 and -ry .. ry - 1) inside the rectangle and the source, transparent
// ones left out; at 16 bits of the channel values, stored back on the grid. A pixel whose box
// holds none, or whose own source pixel is transparent, stays. Nothing at 8 bits. Radii small
// and large (among them the widest window summed in blocks, whose sums reach furthest past a
// row's ends), rectangles clipped on every side, one pixel wide or one alone, and a source
// blurred onto itself where it lies; at 16 bits also on other surface formats, among them
// one whose channel maxima are no powers of two.
TEST_P(EffectRulesTest, BlurMatchesThePixelRule) {
    std::vector<RuleRect> rects(std::begin(kRuleRects), std::end(kRuleRects));
    rects.push_back({5, 6, 1, 1, 70, 40});
    rects.push_back({0, 0, kW, kH, 0, 0});
    int round = 0;
    bool bright = false;
    auto check = [&](i32 rx, i32 ry, const RuleRect& r) {
        // The key as the format keeps it.
        const KeyTest isKey = ModeKeyTest();
        const bool sixteen = g_Grid.on;
        const u32 kv = sixteen ? GridRaw(isKey.value) & isKey.mask : isKey.value;
        const u32 key = static_cast<u32>(round & 1);
        Randomise(static_cast<u32>(500 + round++));
        // Sums near the largest a window holds, where a quotient taken by a product is off first.
        if (bright)
            for (u32& p : Src().px) p |= 0xF8F8F8F8u;
        // Runs of the key colour, so that some boxes hold nothing.
        for (std::size_t i = 0; i < Src().px.size(); ++i)
            if ((i / 9) % 7 == 0 && (i / kW) % 5 < 3) Src().px[i] = (Src().px[i] & ~isKey.mask) | isKey.value;
        const bool self = &r == &rects.back();
        const PixelStore sp = self ? Dst() : Src();
        PixelStore copy = Dst();
        const i64 i0 = std::max(0, -r.sx), i1 = std::min(r.w, sp.width - r.sx);
        const i64 j0 = std::max(0, -r.sy), j1 = std::min(r.h, sp.height - r.sy);
        for (i64 j = j0; g_nBpp != 8 && j < j1; ++j)
            for (i64 i = i0; i < i1; ++i) {
                const i64 tx = r.x + i, ty = r.y + j;
                if (tx < 0 || ty < 0 || tx >= copy.width || ty >= copy.height) continue;
                auto at = [&](i64 ci, i64 cj) { return sp.px[static_cast<std::size_t>((r.sy + cj) * sp.width + r.sx + ci)]; };
                if (key == 1 && isKey(at(i, j))) continue;
                u64 sum[4] = {}, count = 0;
                for (i64 cj = std::max(j0, j - ry); cj < std::min(j1, j + ry); ++cj)
                    for (i64 ci = std::max(i0, i - rx); ci < std::min(i1, i + rx); ++ci) {
                        const u32 p = sixteen ? GridRaw(at(ci, cj)) : at(ci, cj);
                        if (key == 1 && (p & isKey.mask) == kv) continue;
                        for (int lane = 0; lane < 4; ++lane) sum[lane] += Lane(p, lane);
                        ++count;
                    }
                if (!count) continue;
                u32 v = 0;
                for (int lane = 0; lane < 4; ++lane) v |= static_cast<u32>(sum[lane] / count) << (8 * lane);
                copy.px[static_cast<std::size_t>(ty * copy.width + tx)] = sixteen ? GridFromRaw(v) : v;
            }
        DDBlur(&dst, r.x, r.y, r.w, r.h, rx, ry, self ? &dst : &src, r.sx, r.sy, key);
        ASSERT_EQ(Dst().px, copy.px) << "radii " << rx << "," << ry << " key " << key << " at " << r.x << "," << r.y << " "
                                     << r.w << "x" << r.h;
    };
    const std::pair<i32, i32> radii[] = {{1, 1}, {4, 4}, {2, 3}, {3, 1}, {1, 7}, {5, 2}, {8, 4}, {9, 1}, {8, 8}, {40, 3}, {32, 1}};
    for (const auto& [rx, ry] : radii)
        for (const RuleRect& r : rects) ASSERT_NO_FATAL_FAILURE(check(rx, ry, r));
    bright = true;
    const std::pair<i32, i32> small[] = {{1, 1}, {1, 3}, {3, 1}, {1, 5}, {3, 3}, {1, 7}, {7, 1}, {5, 3}, {4, 4}, {3, 5}, {2, 7}, {4, 8}};
    for (const auto& [rx, ry] : small) ASSERT_NO_FATAL_FAILURE(check(rx, ry, kRuleRects[0]));
    bright = false;
    if (!g_Grid.on) return;
    const PIXELFORMAT mode = g_Grid.fmt;
    PIXELFORMAT formats[3];
    formats[0].maxR = formats[0].maxG = formats[0].maxB = formats[0].maxA = 15;
    formats[1].maxR = formats[1].maxB = 31, formats[1].maxG = 31, formats[1].maxA = 1;
    formats[2].maxR = 41, formats[2].maxG = 63, formats[2].maxB = 7, formats[2].maxA = 0;
    for (const PIXELFORMAT& f : formats) {
        GridSetup(&f);
        for (const RuleRect& r : {kRuleRects[0], kRuleRects[1]}) ASSERT_NO_FATAL_FAILURE(check(4, 4, r)) << "format " << f.maxR << "," << f.maxG << "," << f.maxB << "," << f.maxA;
    }
    GridSetup(&mode);
}

// A quad of tex over the rectangle r under these combiner settings, the settings reset after.
void DrawCombinedQuad(DDSURFACEDATA& tex, const RuleRect& r, u32 diffuse, u32 co, u32 ao, u32 factor, DDSURFACEDATA& dst) {
    D3DSetVertexColor(diffuse);
    D3DSetColorOp(co);
    D3DSetAlphaOp(ao);
    lpDTCon->dwTextureFactor = factor;
    D3DBltQuad(&dst, r.x, r.y, r.w, r.h, &tex, r.sx, r.sy, r.w, r.h, 0);
    D3DResetVertexColor();
    D3DResetColorOp();
    D3DResetAlphaOp();
    lpDTCon->dwTextureFactor = 0;
}

// Direct3D's quads of every pair of colour and alpha operations (what the colour blend, the half
// alpha and the colour change draw with): each texel through the stage-0 combiner with a tinted
// diffuse colour and a texture factor, blended over the target, at 16 bits snapped to the grid.
TEST_P(EffectRulesTest, CombinedQuadsMatchTheCombinerRule) {
    if (!lpDTCon) GTEST_SKIP() << "Direct3D only";
    DDSURFACEDATA tex;
    ASSERT_TRUE(DDCreateSurface(&tex, kW, kH, 0, 0, DTMEMORYTYPE_VIDEO_NORT));
    const u32 ops[] = {D3DTOP_DISABLE, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_MODULATE,
                       D3DTOP_ADD, D3DTOP_SUBTRACT, D3DTOP_BLENDFACTORALPHA};
    int round = 0;
    for (const u32 co : ops)
        for (const u32 ao : ops) {
            // A quad's source clipped on its left or top is drawn from the target position
            // unmoved: only the rectangles whose sources start inside.
            const RuleRect& r = kRuleRects[static_cast<std::size_t>(round) % 4];
            Randomise(static_cast<u32>(400 + round++));
            *SurfacePixels(&tex) = Src();
            const u32 diffuse = 0x80C0A060u ^ static_cast<u32>(round * 0x01030507), factor = 0x60FFFFFFu ^ static_cast<u32>(round << 26);
            PixelStore copy = Dst();
            EachPair(copy, Src(), r, [&](u32& o, u32 t) { o = GridSnap(BlendPixel(CombineStage0(t, diffuse, co, ao, factor), o)); });
            DrawCombinedQuad(tex, r, diffuse, co, ao, factor, dst);
            ASSERT_EQ(Dst().px, copy.px) << "colour op " << co << " alpha op " << ao << " at " << r.x << "," << r.y;
        }
    DDReleaseSurface(&tex);
}

// The same quads from texels whose alpha is all 0 or 255, as a 16-bit texture holds them, in
// runs (whole blocks of either or of both) with now and then one of partial alpha among them,
// under white and other diffuse colours: the combined texel or the target where the texels'
// own alpha decides, else the blend.
TEST_P(EffectRulesTest, CombinedQuadsOfOneBitAlphaTexels) {
    if (!lpDTCon) GTEST_SKIP() << "Direct3D only";
    DDSURFACEDATA tex;
    ASSERT_TRUE(DDCreateSurface(&tex, kW, kH, 0, 0, DTMEMORYTYPE_VIDEO_NORT));
    int round = 0;
    for (const u32 co : {D3DTOP_SELECTARG1, D3DTOP_MODULATE, D3DTOP_ADD, D3DTOP_BLENDFACTORALPHA})
        for (const RuleRect& r : kRuleRects) {
            if (r.sx < 0 || r.sy < 0) continue;
            // White at half alpha (the half alpha's quad), a colour of full alpha, and tinted.
            const u32 diffuse = round % 3 == 0 ? 0x7FFFFFFFu : round % 3 == 1 ? 0xFF80C040u : 0xC0A06080u ^ static_cast<u32>(round * 0x00030507);
            const u32 ao = round % 2 ? D3DTOP_SELECTARG1 : D3DTOP_MODULATE;
            Randomise(static_cast<u32>(500 + round++));
            PixelStore& t = *SurfacePixels(&tex);
            t = Src();
            for (std::size_t i = 0; i < t.px.size(); ++i) {
                const u32 a = (i / 11 + i / 5) % 3 == 0 ? 0u : i % 97 == 0 ? 0x80u : 0xFFu;
                t.px[i] = a << 24 | (t.px[i] & 0xFFFFFF);
            }
            const u32 factor = 0x50FFFFFFu;
            PixelStore copy = Dst();
            EachPair(copy, t, r, [&](u32& o, u32 x) { o = GridSnap(BlendPixel(CombineStage0(x, diffuse, co, ao, factor), o)); });
            DrawCombinedQuad(tex, r, diffuse, co, ao, factor, dst);
            ASSERT_EQ(Dst().px, copy.px) << "colour op " << co << " alpha op " << ao << " diffuse " << diffuse << " at " << r.x
                                         << "," << r.y;
        }
    DDReleaseSurface(&tex);
}

INSTANTIATE_TEST_SUITE_P(Personalities, EffectRulesTest,
                         ::testing::Values(GfxMode{true, 32}, GfxMode{true, 16}, GfxMode{false, 32}, GfxMode{false, 16},
                                           GfxMode{false, 8}),
                         [](const auto& info) { return ModeName(info.param); });
