// Effect blitters and transitions per personality: one contact sheet of every blitter and one
// strip of fade frames per mode against goldens (TOBRELK_UPDATE_GOLDENS=1 rewrites them; a
// mismatch writes the actual picture beside the build), and the edge cases the goldens
// cannot show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/graphics/Raster.h"
#include "platform/system/Random.h"
#include "tests/platform/graphics/GfxTestUtil.h"

namespace {

constexpr int kCell = 64;
constexpr int kCols = 6;
constexpr int kRows = 4;

// A 32x32 picture with a key border of 2 pixels, a gradient and a bright diagonal.
cImage Pattern() {
    return MakeImage(32, 32, [](int x, int y) {
        if (x < 2 || y < 2 || x >= 30 || y >= 30) return 0xFFFF00FFu;
        if (x == y) return 0xFFFFFFFFu;
        return 0xFF000000u | u32(x * 8) << 16 | u32(y * 8) << 8 | 0x60u;
    });
}

// The target: a work surface (a render target in Direct3D) cleared to a checker of palette
// colours 1 and 2 per 8 pixels, so that untouched pixels show.
void Checker(DDSURFACEDATA* sd, int x0, int y0, int w, int h) {
    for (int y = y0; y < y0 + h; y += 8)
        for (int x = x0; x < x0 + w; x += 8) DDFillRect(sd, x, y, 8, 8, (((x - x0) / 8 + (y - y0) / 8) & 1) ? 1 : 2);
}

std::string Golden(const char* what, const GfxMode& m) {
    return std::string(what) + (m.direct3D ? "_d3d" : "_dd") + std::to_string(m.bpp);
}

struct Sheet {
    DDSURFACEDATA dst, pic, sys, back;
};

// Cell (c, r) of the sheet: its origin and the centre where the 32x32 picture goes.
int CX(int c) { return c * kCell; }
int CY(int r) { return r * kCell; }

void DrawSheet(Sheet& s) {
    DDSURFACEDATA* d = &s.dst;
    DDSURFACEDATA* p = &s.pic;
    Checker(d, 0, 0, kCols * kCell, kRows * kCell);
    for (u8& v : g_lpBlendTable) v = 0;
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) g_lpBlendTable[a * 256 + b] = static_cast<u8>((a + b) / 2);
    // Row 0: the blit-built ones.
    DDBltWave(d, CX(0) + 16, CY(0) + 16, 32, 32, 2, 4.0, 30, 2, p, 0, 0, 1, 0);
    DDBltWave(d, CX(1) + 16, CY(0) + 16, 32, 32, 1, 6.0, 0, 1, p, 0, 0, 1, 1);
    DDBltSplit(d, CX(2) + 16, CY(0) + 16, 32, 32, 8, 5, p, 0, 0, 1, 0);
    DDBltSplit(d, CX(3) + 16, CY(0) + 16, 32, 32, 6, 5, p, 0, 0, 1, 1);
    DDBltQuarters(d, CX(4) + 16, CY(0) + 16, 32, 32, p, 0, 0, 6, 1);
    DDBltQuarters(d, CX(5) + 16, CY(0) + 16, 32, 32, p, 0, 0, 3, 0);
    // Row 1: depth rotation at three phases, circles.
    DDBltDepthRotate(d, CX(0) + 16, CY(1) + 16, 32, 32, p, 0, 0, &s.back, 0, 0, 32, 32, 1, 10, 0);
    DDBltDepthRotate(d, CX(1) + 16, CY(1) + 16, 32, 32, p, 0, 0, &s.back, 0, 0, 32, 32, 1, 20, 0);
    DDBltDepthRotate(d, CX(2) + 16, CY(1) + 16, 32, 32, p, 0, 0, &s.back, 0, 0, 32, 32, 1, 12, 1);
    DDBltCircle(d, CX(3) + 32, CY(1) + 32, 16, 16, 14, 1, p, 16, 16, 1);
    DDBltCircle(d, CX(4) + 32, CY(1) + 32, 16, 10, 20, 3, p, 16, 16, 0);
    DDBltLens(d, CX(5) + 32, CY(1) + 32, 14, 8, p, 16, 16, 1, 0);
    // Row 2: rotations (quad path and, from a system texture, the fixed-point path), blends.
    DDBltRotate(d, CX(0) + 32, CY(2) + 32, 32, 32, 16, 16, 30, p, 0, 0, 1);
    DDBltRotate(d, CX(1) + 32, CY(2) + 32, 32, 32, 16, 16, -135, &s.sys, 0, 0, 1);
    DDBltColorBlend(d, CX(2) + 16, CY(2) + 16, 32, 32, p, 0, 0, 1, &g_palBase, g_lpBlendTable, 3, 1);
    DDBltColorBlend(d, CX(3) + 16, CY(2) + 16, 32, 32, &s.sys, 0, 0, 1, &g_palBase, g_lpBlendTable, 5, 3);
    DDBltHalfAlpha(d, CX(4) + 16, CY(2) + 16, 32, 32, p, 0, 0, 1, g_lpBlendTable);
    DDBltAlpha(d, CX(5) + 16, CY(2) + 16, 32, 32, &s.sys, 0, 0, 1, g_lpBlendTable, 64);
    // Row 3: mosaic (sampled and averaged), blur, colour change, lens without key, clear-outside.
    DDMosaic(d, CX(0) + 16, CY(3) + 16, 32, 32, 4, p, 0, 0, 1);
    DDMosaic(d, CX(1) + 16, CY(3) + 16, 32, 32, 5, p, 0, 0, 0);
    DDBlur(d, CX(2) + 16, CY(3) + 16, 32, 32, 2, 2, p, 0, 0, 1);
    DDBlt(d, CX(3) + 16, CY(3) + 16, 32, 32, p, 0, 0, DDBLT_KEY);
    DDChangeColor(d, CX(3) + 16, CY(3) + 16, 32, 16, 64, 255, 128, 0);
    DDBltLens(d, CX(4) + 32, CY(3) + 32, 20, 30, p, 16, 16, 0, 0);
    DDBltLens(d, CX(5) + 32, CY(3) + 32, 12, 20, p, 16, 16, 1, 1);
}

class EffectsTest : public ::testing::TestWithParam<GfxMode> {
protected:
    void SetUp() override {
        mode = std::make_unique<ScopedMode>(GetParam());
        ASSERT_TRUE(mode->ok);
        ASSERT_TRUE(MakePicture(&s.pic, dir, "p.bmp", Pattern(), 1));
        ASSERT_TRUE(MakePicture(&s.sys, dir, "p.bmp", Pattern(), 1, DTMEMORYTYPE_SYSTEM));
        const cImage back = MakeImage(32, 32, [](int x, int) { return x < 16 ? 0xFF3050F0u : 0xFFF0A020u; });
        ASSERT_TRUE(MakePicture(&s.back, dir, "b.bmp", back, 1));
        ASSERT_TRUE(DDCreateSurface(&s.dst, kCols * kCell, kRows * kCell, 1, 0, DTMEMORYTYPE_VIDEO_RT));
    }
    void TearDown() override {
        for (DDSURFACEDATA* sd : {&s.dst, &s.pic, &s.sys, &s.back}) DDReleaseSurface(sd);
        mode.reset();
    }
    TempDir dir;
    std::unique_ptr<ScopedMode> mode;
    Sheet s;
};

} // namespace

TEST_P(EffectsTest, ContactSheetMatchesGolden) {
    DrawSheet(s);
    EXPECT_TRUE(MatchesGolden(Golden("effects", GetParam()), VisiblePixels(&s.dst), kCols * kCell, kRows * kCell));
}

TEST_P(EffectsTest, EdgeCasesOfTheGeometricBlitters) {
    DDSURFACEDATA* d = &s.dst;
    const KeyTest isKey = ModeKeyTest();
    auto px = [&](int x, int y) { return PixelAt(d, x, y); };
    auto clear = [&] { DDFillRect(d, 0, 0, kCols * kCell, kRows * kCell, 1); };
    const u32 bg = (clear(), px(0, 0));
    // Circle of radius 0 draws nothing; through the centre the chord is 2 (r - 1) wide.
    DDBltCircle(d, 32, 32, 16, 16, 0, 1, &s.pic, 16, 16, 0);
    EXPECT_EQ(px(32, 32), bg);
    DDBltCircle(d, 32, 32, 16, 16, 10, 1, &s.pic, 16, 16, 0);
    int run = 0;
    for (int x = 0; x < 64; ++x) run += px(x, 32) != bg;
    EXPECT_EQ(run, 18);
    // A radius past the half-height limit moves the band inside instead of rooting a negative.
    clear();
    DDBltCircle(d, 32, 32, 16, 4, 30, 8, &s.pic, 16, 16, 0);
    // Depth rotation: width 1 draws nothing; phase w/2 - 1 leaves 2 columns; from w/2 on the back.
    clear();
    DDBltDepthRotate(d, 0, 0, 1, 32, &s.pic, 0, 0, &s.back, 0, 0, 32, 32, 0, 5, 0);
    EXPECT_EQ(px(0, 10), bg);
    DDBltDepthRotate(d, 0, 0, 32, 32, &s.pic, 0, 0, &s.back, 0, 0, 32, 32, 0, 15, 0);
    int cols = 0;
    for (int x = 0; x < 32; ++x) cols += px(x, 20) != bg;
    EXPECT_EQ(cols, 2);
    DDBltDepthRotate(d, 100, 0, 32, 32, &s.pic, 0, 0, &s.back, 0, 0, 32, 32, 0, 16, 0);
    EXPECT_EQ(px(115, 20) & 0xFFFFFF, lpDTCon || g_nBpp != 8 ? Reduced(0x3050F0u, GetParam()) : PixelAt(&s.back, 0, 0) & 0xFFFFFF);
    // Split: 640 wide in strips of 43 draws 14 strips; the last 38 columns stay.
    {
        DDSURFACEDATA wide;
        ASSERT_TRUE(MakePicture(&wide, dir, "w.bmp", MakeImage(640, 8, [](int, int) { return 0xFF20C040u; }), 0));
        DDFillRect(&g_sdBackBuffer, 0, 0, 640, 8, 1);
        const u32 before = PixelAt(&g_sdBackBuffer, 639, 4);
        DDBltSplit(&g_sdBackBuffer, 0, 0, 640, 8, 43, 0, &wide, 0, 0, 0, 1);
        EXPECT_NE(PixelAt(&g_sdBackBuffer, 601, 4), before);
        EXPECT_EQ(PixelAt(&g_sdBackBuffer, 602, 4), before);
        EXPECT_EQ(PixelAt(&g_sdBackBuffer, 639, 4), before);
        DDReleaseSurface(&wide);
    }
    // Wave with amplitude 0 is a plain banded copy.
    clear();
    DDBltWave(d, 0, 0, 32, 32, 3, 0.0, 45, 3, &s.pic, 0, 0, 0, 1);
    for (int y = 0; y < 32; y += 7)
        for (int x = 0; x < 32; x += 5) ASSERT_EQ(px(x, y), PixelAt(&s.pic, x, y)) << x << "," << y;
    // Lens of strength 0: the disc shows the source's centre pixel but on its rim.
    clear();
    EXPECT_EQ(DDBltLens(d, 32, 32, 6, 0, &s.pic, 16, 16, 0, 0), 1);
    EXPECT_EQ(px(33, 32), PixelAt(&s.pic, 16, 16));
    EXPECT_EQ(px(32 + 6, 32), PixelAt(&s.pic, 16 + 6, 16));
    EXPECT_EQ(DDBltLens(d, 32, 32, 0, 5, &s.pic, 16, 16, 0, 0), 0); // radius 0: nothing
    // Rotation by 0 is an exact copy; transparent pixels stay out with the key.
    clear();
    EXPECT_EQ(DDBltRotate(d, 32, 32, 32, 32, 16, 16, 0, &s.sys, 0, 0, 1), 1);
    EXPECT_EQ(px(20, 25), PixelAt(&s.sys, 4, 9));
    EXPECT_EQ(px(16, 16), bg);
    EXPECT_TRUE(isKey(PixelAt(&s.pic, 0, 0)));
}

TEST_P(EffectsTest, EdgeCasesOfThePixelBlitters) {
    DDSURFACEDATA* d = &s.dst;
    auto px = [&](int x, int y) { return PixelAt(d, x, y); };
    DDFillRect(d, 0, 0, 128, 64, 1);
    const u32 bg = px(0, 0);
    // Colour blend at level 0: a copy in DirectDraw, nothing under Direct3D. At 16 bits the
    // copy goes through the 0..255 scale and back down, which truncates: every channel between
    // its ends loses a step.
    EXPECT_EQ(DDBltColorBlend(d, 0, 0, 32, 32, &s.pic, 0, 0, 1, &g_palBase, g_lpBlendTable, 3, 0), lpDTCon ? 0 : 1);
    const u32 copied = PixelAt(&s.pic, 10, 12) & 0xFFFFFF;
    EXPECT_EQ(px(10, 12) & 0xFFFFFF, lpDTCon ? bg & 0xFFFFFF : g_nBpp == 16 ? GridCut(copied) : copied);
    if (!lpDTCon && g_nBpp == 16) {
        EXPECT_EQ(copied, 0x4A5D5Au) << "the pattern's (10, 12) in 5-6-5: (9, 23, 11)";
    }
    // Mosaic of block 1 copies; a block below 1 from data acts as 1 instead of looping.
    DDFillRect(d, 0, 0, 128, 64, 1);
    DDMosaic(d, 0, 0, 32, 32, 1, &s.pic, 0, 0, 1);
    DDMosaic(d, 64, 0, 32, 32, 0, &s.pic, 0, 0, 1);
    DDMosaic(d, 64, 0, 32, 32, -7, &s.pic, 0, 0, 1);
    for (int y = 2; y < 30; y += 3)
        for (int x = 2; x < 30; x += 3) {
            ASSERT_EQ(px(x, y) | (lpDTCon ? 0 : 0xFF000000u), PixelAt(&s.pic, x, y) | (lpDTCon ? 0 : 0xFF000000u));
            ASSERT_EQ(px(64 + x, y), px(x, y));
        }
    if (g_nBpp == 8) {
        // Blur is refused at 8 bits.
        DDFillRect(d, 0, 0, 128, 64, 1);
        DDBlur(d, 0, 0, 32, 32, 1, 1, &s.pic, 0, 0, 0);
        EXPECT_EQ(px(10, 10), bg);
        return;
    }
    // Blur of radius 1: the 2x2 box of the pixel and its left and upper neighbours, averaged
    // on the channel values at 16 bits.
    DDFillRect(d, 0, 0, 128, 64, 1);
    DDBlur(d, 0, 0, 32, 32, 1, 1, &s.pic, 0, 0, 0);
    const bool sixteen = g_nBpp == 16;
    auto ch = [&](u32 p, int sh) { return ((sixteen ? GridRaw(p) : p) >> sh) & 255; };
    for (int sh : {0, 8, 16}) {
        const u32 sum = ch(PixelAt(&s.pic, 9, 7), sh) + ch(PixelAt(&s.pic, 10, 7), sh) + ch(PixelAt(&s.pic, 9, 8), sh) +
                        ch(PixelAt(&s.pic, 10, 8), sh);
        EXPECT_EQ(ch(px(10, 8), sh), sum / 4) << sh;
    }
    if (!lpDTCon) {
        // Alpha over a pixel of the key colour copies the source unmixed.
        DDFillRect(d, 0, 0, 32, 32, 0);
        DDBltHalfAlpha(d, 0, 0, 32, 32, &s.pic, 0, 0, 1, g_lpBlendTable);
        EXPECT_EQ(px(10, 12) & 0xFFFFFF, PixelAt(&s.pic, 10, 12) & 0xFFFFFF);
    }
}

TEST_P(EffectsTest, FadeFramesMatchGolden) {
    // Four colour bands; each frame of a fade out then back in, shown as an 80x60 thumbnail.
    PALETTE work = g_palCur;
    std::vector<u32> strip;
    std::vector<std::vector<u32>> frames;
    auto scene = [] {
        for (int i = 0; i < 4; ++i) DDFillRect(&g_sdBackBuffer, i * 160, 0, 160, 480, static_cast<u32>(3 + i));
    };
    auto grab = [&] {
        std::vector<u32> f;
        i32 w = 0, h = 0;
        DDSnapshotFrame(&f, &w, &h);
        std::vector<u32> t(80 * 60);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) t[y * 80 + x] = f[static_cast<std::size_t>(y * 8) * w + x * 8];
        frames.push_back(t);
    };
    int calls = 0;
    for (bool done = false; !done && calls < 10; ++calls) {
        scene();
        done = DDTransition(&work, 0, 255, 0, 0, 0, 30.0, &g_palCur, 0);
        grab();
    }
    EXPECT_EQ(calls, 4); // 90, 60, 30, then 0 drawn by the call that reports the end
    for (bool done = false; !done && calls < 20; ++calls) {
        scene();
        done = DDTransition2(&work, 0, 255, 0, 0, 0, 30.0, &g_palCur, 0);
        grab();
    }
    EXPECT_EQ(calls, 8);
    // The last frame of the fade-in is the scene itself (in DirectDraw at 16 bits through the
    // 0..255 scale and back down, a step darker).
    scene();
    std::vector<u32> plain;
    i32 w = 0, h = 0;
    DDSnapshotFrame(&plain, &w, &h);
    EXPECT_EQ(frames.back()[0], !lpDTCon && g_nBpp == 16 ? GridCut(plain[0]) : plain[0]);
    std::vector<u32> sheet(static_cast<std::size_t>(80 * frames.size() * 60));
    for (std::size_t k = 0; k < frames.size(); ++k)
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) sheet[y * 80 * frames.size() + k * 80 + x] = frames[k][y * 80 + x];
    EXPECT_TRUE(MatchesGolden(Golden("fade", GetParam()), sheet, static_cast<int>(80 * frames.size()), 60));
    // Finish jumps to the fully faded frame and ends at once; a step of 90 takes two calls.
    scene();
    EXPECT_TRUE(DDTransition(&work, 0, 255, 0, 0, 0, 10.0, &g_palCur, 1));
    DDSnapshotFrame(&plain, &w, &h);
    EXPECT_EQ(plain[100] & 0xFFFFFF, 0u);
    scene();
    EXPECT_FALSE(DDTransition(&work, 0, 255, 0, 0, 0, 90.0, &g_palCur, 0));
    EXPECT_TRUE(DDTransition(&work, 0, 255, 0, 0, 0, 90.0, &g_palCur, 0));
}

// The fixed-point rotation (DirectDraw, and system textures in Direct3D) of a picture large
// enough for several bands of rows and blocks of columns, partly off the target and reading
// partly past the picture, against its pixel rule: target pixel (tx, ty) reads the texel at
// (pivot + (the turned offset >> 10)) when that lies inside both the rectangle and the picture.
TEST_P(EffectsTest, FixedPointTurnsMatchThePixelRule) {
    constexpr int W = 150, H = 100;
    DDSURFACEDATA big;
    ASSERT_TRUE(MakePicture(&big, dir, "big.bmp", MakeImage(W, H, [](int x, int y) {
        return (x + 2 * y) % 11 == 0 ? 0xFFFF00FFu : 0xFF000000u | u32(x) << 16 | u32(y * 2) << 8 | u32((x * y) & 255);
    }), 1, DTMEMORYTYPE_SYSTEM));
    const PixelStore& src = *SurfacePixels(&big);
    PixelStore& dst = *SurfacePixels(&s.dst);
    const KeyTest isKey = ModeKeyTest();
    struct Case {
        int cx, cy, w, h, pivotX, pivotY, sx, sy;
        u32 key;
    };
    const Case cases[] = {{192, 128, W, H, 75, 50, 0, 0, 1},   {370, 20, W, H, 75, 50, 0, 0, 0},
                          {-20, 200, 140, 90, 0, 90, -10, 5, 1}, {192, 128, 60, 30, 30, 15, 100, 80, 1},
                          {100, 100, 1, 100, 0, 50, 20, 0, 0},  {192, 128, 200, 140, 100, 70, -20, -15, 1},
                          // A centre millions of pixels away: coordinates past 32 bits.
                          {5000000, 60, 10000000, 100, 5000100, 50, 0, 0, 1}};
    for (int angle : {0, 17, 30, 90, 135, 180, 233, 270, -45, 3630})
        for (const Case& k : cases) {
            for (std::size_t i = 0; i < dst.px.size(); ++i) dst.px[i] = src.px[(i * 7) % src.px.size()];
            PixelVector expected = dst.px;
            ASSERT_EQ(DDBltRotate(&s.dst, k.cx, k.cy, k.w, k.h, k.pivotX, k.pivotY, angle, &big, k.sx, k.sy, k.key), 1);
            const double rad = angle * 0.017453292519943295;
            const i64 sn = i64(std::floor(std::sin(rad) * 1024)), cs = i64(std::floor(std::cos(rad) * 1024));
            const i64 isn = i64(std::floor(std::sin(-rad) * 1024)), ics = i64(std::floor(std::cos(-rad) * 1024));
            i64 bx0 = INT64_MAX, by0 = INT64_MAX, bx1 = INT64_MIN, by1 = INT64_MIN;
            for (i64 ex : {i64(-k.pivotX), i64(k.w - k.pivotX)})
                for (i64 ey : {i64(-k.pivotY), i64(k.h - k.pivotY)}) {
                    bx0 = std::min(bx0, (ex * cs - ey * sn) >> 10); bx1 = std::max(bx1, (ex * cs - ey * sn) >> 10);
                    by0 = std::min(by0, (ex * sn + ey * cs) >> 10); by1 = std::max(by1, (ex * sn + ey * cs) >> 10);
                }
            for (i64 ty = std::max<i64>(0, by0 - 2 + k.cy); ty <= std::min<i64>(dst.height - 1, by1 + 2 + k.cy); ++ty)
                for (i64 tx = std::max<i64>(0, bx0 - 2 + k.cx); tx <= std::min<i64>(dst.width - 1, bx1 + 2 + k.cx); ++tx) {
                    const i64 u = (((tx - k.cx) * ics - (ty - k.cy) * isn) >> 10) + k.pivotX;
                    const i64 v = (((tx - k.cx) * isn + (ty - k.cy) * ics) >> 10) + k.pivotY;
                    if (u < 0 || u >= k.w || v < 0 || v >= k.h || k.sx + u < 0 || k.sx + u >= W || k.sy + v < 0 || k.sy + v >= H)
                        continue;
                    const u32 p = src.px[static_cast<std::size_t>((k.sy + v) * W + k.sx + u)];
                    if (!(k.key == 1 && isKey(p))) expected[static_cast<std::size_t>(ty * dst.width + tx)] = p;
                }
            EXPECT_EQ(dst.px, expected) << "angle " << angle << " at " << k.cx << "," << k.cy << " " << k.w << "x" << k.h
                                        << " from " << k.sx << "," << k.sy;
        }
    DDReleaseSurface(&big);
}

namespace {
struct WaveCase {
    int x, y, w, h, sx, sy, waves, phase, rough;
    double amp;
    u32 key, colour, alphaOp;
};
// Draws the column wave c from src onto dst, and expects the pixels of its columns drawn one
// by one as plain blits (in one batch).
void ExpectWaveAsItsColumnBlits(DDSURFACEDATA* target, DDSURFACEDATA* src, const WaveCase& c) {
    PixelStore& sp = *SurfacePixels(src);
    PixelStore& dst = *SurfacePixels(target);
    for (std::size_t i = 0; i < dst.px.size(); ++i) dst.px[i] = sp.px[(i * 7) % sp.px.size()] | 0xFF000000u;
    const PixelVector before = dst.px;
    D3DSetVertexColor(c.colour);
    D3DSetAlphaOp(c.alphaOp);
    DDBltWave(target, c.x, c.y, c.w, c.h, c.waves, c.amp, c.phase, c.rough, src, c.sx, c.sy, c.key, 1);
    const PixelVector drawn = dst.px;
    dst.px = before;
    D3DBeginBatch(0);
    const double k = c.waves * 0.017453292519943295;
    double acc = 0;
    for (int col = 0; col < c.w; col += c.rough) {
        acc += 360.0 / c.w * c.rough;
        const i32 shift = static_cast<i32>(std::floor(std::sin((c.phase + acc) * k) * c.amp));
        DDBlt(target, c.x + col, c.y + shift, std::min(c.rough, c.w - col), c.h, src, c.sx + col, c.sy,
              c.key == 1 ? DDBLT_KEY : 0);
    }
    D3DFlushBatch();
    D3DResetVertexColor();
    D3DResetAlphaOp();
    EXPECT_EQ(drawn, dst.px) << "wave at " << c.x << "," << c.y << " from " << c.sx << "," << c.sy;
    EXPECT_NE(drawn, before);
}

// A source of the test's texels: opaque, transparent and partly transparent ones.
void FillWaveSource(PixelStore& sp) {
    for (std::size_t i = 0; i < sp.px.size(); ++i) {
        const u32 a = i % 5 == 0 ? 0u : i % 7 == 0 ? static_cast<u32>(40 + i % 170) : 255u;
        const u32 v = a << 24 | static_cast<u32>((i * 2654435761u) & 0xFFFFFF);
        sp.px[i] = lpDTCon ? GridCut(v) : v;
    }
}
} // namespace

// The wave by columns against the blits of its columns, one column a band, drawn the way it
// drew them (one batch of quads under Direct3D): texels opaque, transparent and translucent,
// a tinted quad colour and a combined alpha, keyed and plain (a keyed texture's plain quads
// clear under themselves), the waved rows running off the target and off the source, and a
// source start above the source (whose quads cut the source and not the target).
TEST_P(EffectsTest, ColumnWaveDrawsWhatItsColumnsBlitsDraw) {
    constexpr int W = 96, H = 80;
    DDSURFACEDATA src;
    ASSERT_TRUE(DDCreateSurface(&src, W, H, 1, 0, DTMEMORYTYPE_VIDEO_NORT));
    FillWaveSource(*SurfacePixels(&src));
    const WaveCase cases[] = {{10, 20, 96, 60, 0, 10, 3, 30, 1, 12.0, 1, 0xFFFFFFFF, D3DTOP_SELECTARG1},
                              {200, 0, 80, 80, 16, 0, 2, 0, 3, 30.0, 0, 0xFFFFFFFF, D3DTOP_SELECTARG1},
                              {300, 190, 84, 80, 12, 0, -4, 77, 2, 9.0, 0, 0xC080FF40, D3DTOP_MODULATE},
                              {40, 150, 64, 70, 20, -6, 5, 200, 1, 7.0, 1, 0xFFFFFFFF, D3DTOP_SELECTARG1},
                              {0, 100, 96, 80, 0, 0, 1, 90, 4, 500.0, 1, 0x80FFFFFF, D3DTOP_MODULATE},
                              // A shallow wave: runs of columns longer than eight, down to the
                              // source's last row.
                              {8, 40, 90, 78, 3, 2, 1, 40, 1, 2.5, 1, 0xFFFFFFFF, D3DTOP_SELECTARG1},
                              // The alpha operation off, as the screen effects draw: opaque quads
                              // (white) and quads of full alpha (tinted), keyed and plain.
                              {10, 20, 96, 75, 0, 10, 3, 30, 1, 12.0, 0, 0xFFFFFFFF, D3DTOP_DISABLE},
                              {300, 190, 84, 80, 12, 0, -4, 77, 2, 9.0, 1, 0xFFFFFFFF, D3DTOP_DISABLE},
                              {-5, -9, 90, 80, 3, 0, 2, 10, 3, 40.0, 0, 0xFFFFFFFF, D3DTOP_DISABLE},
                              {0, 100, 96, 80, 0, 0, 1, 90, 4, 500.0, 0, 0xFFC08040, D3DTOP_DISABLE}};
    for (const WaveCase& c : cases) ExpectWaveAsItsColumnBlits(&s.dst, &src, c);
    DDReleaseSurface(&src);
}

// The same from a picture small enough to come from the heap as it is (so that a sanitizer
// sees a read past its end), its columns read down to its last row and, from the last rows,
// the column runs' copies reaching to its last texel.
TEST_P(EffectsTest, ColumnWaveFromASmallPictureReadsOnlyItsTexels) {
    constexpr int W = 40, H = 30;
    DDSURFACEDATA src;
    ASSERT_TRUE(DDCreateSurface(&src, W, H, 1, 0, DTMEMORYTYPE_VIDEO_NORT));
    FillWaveSource(*SurfacePixels(&src));
    const WaveCase cases[] = {{30, 12, 40, 28, 0, 2, 1, 40, 1, 2.5, 1, 0xFFFFFFFF, D3DTOP_SELECTARG1},
                              {100, 50, 31, 30, 9, 0, 2, 0, 1, 1.5, 0, 0xC080FF40, D3DTOP_MODULATE}};
    for (const WaveCase& c : cases) ExpectWaveAsItsColumnBlits(&s.dst, &src, c);
    DDReleaseSurface(&src);
}

namespace {
// The lens's pixel rule: a target pixel (cx + dx, cy + dy) inside the circle reads the source
// at (scx, scy) plus the offsets |d| * k / sqrt(D^2 - dx^2 - dy^2) (|d| where the root is 0; D
// the whole part of sqrt(r^2 + k^2)), rounded toward minus infinity, for each axis; outside the
// source or transparent it is cleared or left, as are the pixels of the square outside the circle.
void LensByTheRule(PixelVector& expected, const PixelStore& dst, const PixelStore& src, int cx, int cy, int radius, int strength,
                   int scx, int scy, u32 key, u32 clearOutside) {
    const KeyTest isKey = ModeKeyTest();
    const bool d3d = lpDTCon != nullptr;
    const i64 r = radius, k = strength, D = i64(std::sqrt(double(r * r + k * k)));
    const bool skip = !d3d || key == 1 || g_nBpp == 32, clear = d3d && clearOutside == 1;
    for (i64 dy = -r; dy <= r; ++dy)
        for (i64 dx = -r; dx <= r; ++dx) {
            const i64 tx = cx + dx, ty = cy + dy;
            if (tx < 0 || ty < 0 || tx >= dst.width || ty >= dst.height) continue;
            u32& e = expected[static_cast<std::size_t>(ty * dst.width + tx)];
            if (dx * dx + dy * dy > r * r) {
                if (clear) e = 0;
                continue;
            }
            const double root = std::sqrt(double(D * D - dx * dx - dy * dy));
            const double qx = root != 0 ? double(std::abs(dx) * k) / root : double(std::abs(dx));
            const double qy = root != 0 ? double(std::abs(dy) * k) / root : double(std::abs(dy));
            const i64 px = scx + (dx < 0 ? -i64(std::ceil(qx)) : i64(std::floor(qx)));
            const i64 py = scy + (dy < 0 ? -i64(std::ceil(qy)) : i64(std::floor(qy)));
            const bool in = px >= 0 && py >= 0 && px < src.width && py < src.height;
            const u32 p = in ? src.px[static_cast<std::size_t>(py * src.width + px)] : 0;
            if (!in || (skip && isKey(p))) {
                if (clear) e = 0;
                continue;
            }
            e = p;
        }
}

struct LensCase {
    int cx, cy, r, k, scx, scy;
    u32 key, clear;
};

// Fills the target from the source's pixels (shifted by shift), draws the lens c through the
// blitter and compares the target with the rule.
void DrawLensAndCompare(DDSURFACEDATA& target, DDSURFACEDATA& picture, const LensCase& c, std::size_t shift, const std::string& what) {
    const PixelStore& src = *SurfacePixels(&picture);
    PixelStore& dst = *SurfacePixels(&target);
    for (std::size_t i = 0; i < dst.px.size(); ++i) dst.px[i] = src.px[(i * 7 + shift) % src.px.size()];
    PixelVector expected = dst.px;
    ASSERT_EQ(DDBltLens(&target, c.cx, c.cy, c.r, c.k, &picture, c.scx, c.scy, c.key, c.clear), 1);
    LensByTheRule(expected, dst, src, c.cx, c.cy, c.r, c.k, c.scx, c.scy, c.key, c.clear);
    EXPECT_EQ(dst.px, expected) << what << "lens at " << c.cx << "," << c.cy << " radius " << c.r << " strength " << c.k;
}
} // namespace

// The lens (its offsets computed four columns at a time) against its pixel rule.
TEST_P(EffectsTest, LensMatchesThePixelRule) {
    constexpr int W = 150, H = 100;
    DDSURFACEDATA big;
    ASSERT_TRUE(MakePicture(&big, dir, "big.bmp", MakeImage(W, H, [](int x, int y) {
        return (x + 2 * y) % 11 == 0 ? 0xFFFF00FFu : 0xFF000000u | u32(x) << 16 | u32(y * 2) << 8 | u32((x * y) & 255);
    }), 1));
    // Centres inside and off the target, strengths of 0 (roots of 0 on the rim), small and
    // large, odd and even widths of the rows inside.
    const LensCase cases[] = {{192, 128, 60, 20, 75, 50, 1, 0}, {192, 128, 150, 0, 75, 50, 0, 1},  {10, 240, 90, 300, 5, 95, 1, 1},
                          {370, 20, 45, 7, 140, 10, 0, 0},  {192, 128, 300, 1500, 75, 50, 1, 1}, {-30, 100, 70, 33, 20, 20, 1, 0},
                          {192, 128, 1, 0, 75, 50, 1, 1},   {200, 130, 37, 36, 149, 99, 0, 1},
                          // Source centres near the ends of 32 bits: every read lies outside.
                          {192, 128, 60, 900, 2147483000, 50, 1, 1}, {192, 128, 60, 900, -2147483000, 50, 0, 0}};
    for (const LensCase& c : cases) ASSERT_NO_FATAL_FAILURE(DrawLensAndCompare(s.dst, big, c, 0, ""));
    DDReleaseSurface(&big);
}

// A lens drawn again and again, as an effect draws it frame after frame, against the same rule:
// the same lens several times over (its offsets kept from one draw to the next), others between
// (the kept offsets must not serve them, nor a lens that differs by its strength alone), onto
// targets that differ every draw. The lenses: whole quotients (r 12, k 5: D = 13), roots of 0 on
// the rim (k 7 and 0), a wide one clipped by the target on every side, the source's right
// column and last row read, offsets too large for single-precision estimates (k 30000, D far
// past 4096), and r 25, k 7, whose row of |dy| 24 ends in a root of 0 on the eighth column: the
// offsets there fall back to (7, 24) after 11 and 46 one column before, ends that alone look
// like eight neighbouring texels.
TEST_P(EffectsTest, LensDrawnAgainMatchesThePixelRule) {
    constexpr int W = 150, H = 100;
    DDSURFACEDATA big;
    ASSERT_TRUE(MakePicture(&big, dir, "big.bmp", MakeImage(W, H, [](int x, int y) {
        return (3 * x + y) % 13 == 0 ? 0xFFFF00FFu : 0xFF000000u | u32(x + y) << 16 | u32(y * 2) << 8 | u32((x ^ y) & 255);
    }), 1));
    const LensCase lenses[] = {{100, 60, 12, 5, 70, 40, 1, 0},      {192, 128, 60, 7, 75, 50, 0, 1},   {191, 127, 380, 60, 75, 50, 1, 0},
                           {150, 100, 90, 40, 146, 96, 0, 0},   {250, 50, 99, 0, 140, 99, 1, 1},   {192, 128, 600, 30000, 75, 50, 0, 0},
                           {33, 200, 141, 1200, 8, 90, 1, 1},   {191, 127, 380, 61, 75, 50, 1, 0}, {100, 100, 25, 7, 75, 50, 1, 0}};
    const int order[] = {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 2, 2, 4, 4, 5, 5, 5, 6, 6, 6, 0, 6, 6, 2, 2, 7, 7, 2, 8, 8, 8};
    int draw = 0;
    for (const int at : order) {
        ++draw;
        ASSERT_NO_FATAL_FAILURE(DrawLensAndCompare(s.dst, big, lenses[at], static_cast<std::size_t>(draw) * 13,
                                                   "draw " + std::to_string(draw) + ": "));
    }
    DDReleaseSurface(&big);
}

// Which texels a lens leaves out, worked by hand for radius 2 and strength 1 (D = 2) over a 5x5
// source of letters a..y read from its centre m. The offsets, (dx * k / sqrt(D² - dx² - dy²))
// rounded down per axis, or (dx, dy) where the root is 0: the centre and (1, 0), (0, 1), (1, 1)
// read m; (-1, 0) and (-1, 1) read l; (-1, -1) g; (0, -1) and (1, -1) h; the four ends of the
// cross (root 0) read c, k, o and w. l and o are transparent. DirectDraw and Direct3D at 32 bits
// leave them out whatever the key flag says; Direct3D at 16 bits only with the flag. Clearing
// (Direct3D at 32 bits) writes the whole square: 0 outside the circle and for l and o.
TEST_P(EffectsTest, LensLeavesOutTransparentTexelsByKeyAndDepth) {
    const bool d3d = GetParam().direct3D;
    const int bpp = GetParam().bpp;
    const std::string skipped = "##c## #ghh# k#mm# ##mm# ##w##", cleared = "00c00 0ghh0 k0mm0 00mm0 00w00",
                      drawn = "##c## #ghh# klmmo #lmm# ##w##";
    struct Case {
        u32 key, clear;
        std::string want;
    };
    std::vector<Case> cases;
    if (d3d && bpp == 32) cases = {{0, 0, skipped}, {1, 0, skipped}, {0, 1, cleared}, {1, 1, cleared}};
    else if (d3d) cases = {{0, 0, drawn}, {1, 0, skipped}};
    else cases = {{0, 0, skipped}, {1, 0, skipped}};
    DDSURFACEDATA src, dst;
    ASSERT_TRUE(DDCreateSurface(&src, 5, 5, 1, 0, DTMEMORYTYPE_VIDEO_RT));
    ASSERT_TRUE(DDCreateSurface(&dst, 5, 5, 1, 0, DTMEMORYTYPE_VIDEO_RT));
    const KeyTest isKey = ModeKeyTest();
    // Letters opaque and distinct at every depth; l and o transparent, each its own value where
    // the mode's test leaves room (alpha 0 with a colour).
    auto letter = [](int i) { return 0xFF000000u | u32(0x10 + i) * 0x010101u; };
    const u32 background = 0xFF113344u;
    const u32 clearL = (0x00405060u & ~isKey.mask) | isKey.value, clearO = (0x00708090u & ~isKey.mask) | isKey.value;
    PixelStore& sp = *SurfacePixels(&src);
    for (int i = 0; i < 25; ++i) {
        sp.px[static_cast<std::size_t>(i)] = i == 11 ? clearL : i == 14 ? clearO : letter(i);
        if (i != 11 && i != 14) {
            ASSERT_FALSE(isKey(letter(i))) << i;
        }
    }
    auto name = [&](u32 p) -> char {
        if (p == background) return '#';
        if (p == 0) return '0';
        if (p == clearL) return 'l';
        if (p == clearO) return 'o';
        for (int i = 0; i < 25; ++i)
            if (p == letter(i)) return static_cast<char>('a' + i);
        return '?';
    };
    for (const Case& c : cases) {
        PixelStore& dp = *SurfacePixels(&dst);
        std::fill(dp.px.begin(), dp.px.end(), background);
        ASSERT_EQ(DDBltLens(&dst, 2, 2, 2, 1, &src, 2, 2, c.key, c.clear), 1);
        std::string got;
        for (int y = 0; y < 5; ++y) {
            if (y) got += ' ';
            for (int x = 0; x < 5; ++x) got += name(dp.px[static_cast<std::size_t>(y * 5 + x)]);
        }
        EXPECT_EQ(got, c.want) << "key " << c.key << " clear " << c.clear;
    }
    DDReleaseSurface(&src);
    DDReleaseSurface(&dst);
}

namespace {
// Rows readied by copying them from the target to the source, counted per row.
struct CopyRows {
    PixelStore* from;
    PixelStore* to;
    std::vector<int> times;
    static void Ready(void* p, i32 top, i32 bottom) {
        CopyRows& c = *static_cast<CopyRows*>(p);
        for (i32 y = top; y < bottom; ++y) {
            std::copy(c.from->Row(y), c.from->Row(y) + c.from->width, c.to->Row(y));
            ++c.times[static_cast<std::size_t>(y)];
        }
    }
};
} // namespace

// A lens over a copy of its own target made row by row draws what it draws over the whole copy
// made first (the source holds other pixels until a row is readied, so a row read or drawn
// before it is readied shows), readies every row once, and the copy comes out the same: lenses
// inside the target, on its corners and edges, larger than it, off it, of strength 0 (roots of
// 0 on the rim), reading far outwards near the rim (D = r, k > 0; with r 65 and k 11 the first
// row drawn, |dy| 63, ends on the circle and reads 61 rows further out just before), with
// offsets too large for 32 bits, and skipped ones; plain, and over the target's fill.
TEST_P(EffectsTest, LensByRowsDrawsWhatTheWholeCopyDraws) {
    DDSURFACEDATA copy;
    ASSERT_TRUE(DDCreateSurface(&copy, kCols * kCell, kRows * kCell, 1, 0, DTMEMORYTYPE_VIDEO_RT));
    PixelStore& dst = *SurfacePixels(&s.dst);
    PixelStore& src = *SurfacePixels(&copy);
    const PixelStore& pic = *SurfacePixels(&s.pic);
    const u32 key = ModeKeyTest().value;
    const int W = dst.width, H = dst.height;
    struct Case {
        int cx, cy, r, k;
    };
    const Case cases[] = {{192, 128, 60, 20},   {0, 0, 90, 30},      {W - 1, H - 1, 90, 300}, {192, 128, 500, 700},
                          {150, 100, 40, 8},    {100, 50, 60, 0},    {192, 128, 60, -5},     {-200, 100, 50, 10},
                          {192, -30, 70, 33},   {10, 240, 90, 300},  {192, 128, 600, 30000}, {190, 120, 1000, 2000000},
                          {W - 3, 128, 200, 5}, {192, H + 40, 80, 40}, {192, -63, 65, 11}, {100, H + 62, 65, 11}};
    int n = 0;
    for (const Case& c : cases)
        for (int onFill = 0; onFill < 2; ++onFill) {
            ++n;
            const u32 lensKey = n % 2, clear = (n / 2) % 2;
            auto start = [&] {
                for (std::size_t i = 0; i < dst.px.size(); ++i) dst.px[i] = i % 5 == 0 ? key : pic.px[(i * 7 + n) % pic.px.size()];
                std::fill(src.px.begin(), src.px.end(), 0xFF123456u);
            };
            start();
            src.px = dst.px;
            i32 wantResult;
            if (onFill) {
                DDFillSurface(&s.dst, 9);
                wantResult = DDBltLens(&s.dst, c.cx, c.cy, c.r, c.k, &copy, c.cx, c.cy, 0, 0);
            } else {
                wantResult = DDBltLens(&s.dst, c.cx, c.cy, c.r, c.k, &copy, c.cx, c.cy, lensKey, clear);
            }
            const PixelVector want = dst.px, wantCopy = src.px;
            start();
            CopyRows rows{&dst, &src, std::vector<int>(static_cast<std::size_t>(H), 0)};
            const LensRows by{CopyRows::Ready, &rows};
            const i32 result = onFill ? DDBltLensOnFill(&s.dst, 9, c.cx, c.cy, c.r, c.k, &copy, c.cx, c.cy, &by)
                                      : DDBltLens(&s.dst, c.cx, c.cy, c.r, c.k, &copy, c.cx, c.cy, lensKey, clear, &by);
            const std::string what = "lens at " + std::to_string(c.cx) + "," + std::to_string(c.cy) + " radius " +
                                     std::to_string(c.r) + " strength " + std::to_string(c.k) + (onFill ? " on fill" : "");
            EXPECT_EQ(result, wantResult) << what;
            EXPECT_EQ(rows.times, std::vector<int>(static_cast<std::size_t>(H), 1)) << what;
            ASSERT_EQ(dst.px, want) << what;
            ASSERT_EQ(src.px, wantCopy) << what;
        }
    DDReleaseSurface(&copy);
}

INSTANTIATE_TEST_SUITE_P(Personalities, EffectsTest,
                         ::testing::Values(GfxMode{true, 32}, GfxMode{true, 16}, GfxMode{false, 32}, GfxMode{false, 16},
                                           GfxMode{false, 8}),
                         [](const auto& info) { return ModeName(info.param); });

TEST(Palettes, FadeRotateAndTheRandomRange) {
    PALETTE src{}, dst{};
    for (int i = 0; i < 256; ++i) src[i] = PALETTEENTRY{static_cast<u8>(i), 10, 200, 0};
    DDPalFade(&dst, 0, 255, 256, 50, 60, 70, &src);
    EXPECT_EQ(dst[77].peRed, 77);
    EXPECT_EQ(dst[77].peFlags, 1);
    DDPalFade(&dst, 0, 255, 0, 50, 60, 70, &src);
    EXPECT_EQ(dst[77].peRed, 50);
    EXPECT_EQ(dst[77].peBlue, 70);
    g_nBpp = 8;
    DDPalRotate(&dst, 208, 239, 1, 0, &src);
    EXPECT_EQ(dst[208].peRed, 239);
    EXPECT_EQ(dst[209].peRed, 208);
    EXPECT_EQ(dst[207].peRed, 207);
    DDPalRotate(&dst, 208, 239, 1, 1, &src);
    EXPECT_EQ(dst[239].peRed, 208);
    DDPalRotate(&src, 0, 3, 1, 0, &src); // in place
    EXPECT_EQ(src[0].peRed, 3);
    g_nBpp = 0;
    // Bounds in either order, and extreme ones without overflow, on the caller's generator.
    cCrtRandom gen(7);
    for (int i = 0; i < 200; ++i) {
        const i32 v = RandRange(gen, 5, 2);
        ASSERT_TRUE(v >= 2 && v <= 5) << v;
        const i32 e = RandRange(gen, INT32_MIN, INT32_MAX);
        ASSERT_GE(e, INT32_MIN);
    }
    cCrtRandom a(1);
    CrtSrand(1);
    EXPECT_EQ(RandRange(a, 0, 99), RandRange(0, 99)); // the same sequence as rand()
    EXPECT_EQ(RandRange(a, 3, 3), 3);
}

TEST(BlendTable, AShortFileIsAFailedLoad) {
    TempDir dir;
    ScopedMode mode(GfxMode{false, 8});
    ASSERT_TRUE(dir.Write("short.dat", std::vector<u8>(65535, 7)));
    ASSERT_TRUE(dir.Write("full.dat", std::vector<u8>(65536, 9)));
    std::vector<u8> table(65536, 1);
    EXPECT_FALSE(DDLoadBlendTable(table.data(), "short.dat"));
    EXPECT_EQ(table[100], 1); // untouched
    EXPECT_FALSE(DDLoadBlendTable(table.data(), "none.dat"));
    EXPECT_TRUE(DDLoadBlendTable(table.data(), "full.dat"));
    EXPECT_EQ(table[65535], 9);
    ScopedMode d3d(GfxMode{true, 32});
    EXPECT_TRUE(DDLoadBlendTable(table.data(), "none.dat")) << "Direct3D reads nothing";
}

TEST(Restore, AfterALossTheSurfacesAreMarkedForTheirRedraw) {
    TempDir dir;
    for (bool d3d : {true, false}) {
        DDSURFACEDATA pics[2];
        DDPICTUREDEF defs[2];
        ScopedMode mode(GfxMode{d3d, 32}, pics, defs, 2);
        ASSERT_TRUE(MakePicture(&pics[0], dir, "p.bmp", Pattern(), 1));
        ASSERT_TRUE(DDCreateSurface(&pics[1], 64, 64, 1, 0));
        EXPECT_EQ(DDRestoreSurface(), 1);
        EXPECT_EQ(DDRestore(), 1);
        EXPECT_EQ(pics[1].restored, 0u) << "nothing was lost";
        DDTestMarkLost(true);
        EXPECT_EQ(d3d ? DDRestoreSurface() : DDRestore(), 1);
        // Direct3D recreates everything; DirectDraw reloads pictures from their files itself.
        EXPECT_EQ(pics[0].restored, d3d ? 1u : 0u);
        EXPECT_EQ(pics[1].restored, 1u);
        DDReleaseSurface(&pics[0]);
        DDReleaseSurface(&pics[1]);
    }
}

// The 16-bit lane rules computed for whole rows give the tables' values for every byte of every
// lane, in the formats of both 16-bit personalities and two others (four bits, and a lane the
// format lacks).
TEST(PixelGrid, RowRulesMatchTheTables) {
    PIXELFORMAT f565, f5551, f4444, f332;
    f565.maxR = 31, f565.maxG = 63, f565.maxB = 31, f565.maxA = 0;
    f5551.maxR = f5551.maxG = f5551.maxB = 31, f5551.maxA = 1;
    f4444.maxR = f4444.maxG = f4444.maxB = f4444.maxA = 15;
    f332.maxR = 7, f332.maxG = 7, f332.maxB = 3, f332.maxA = 0;
    std::vector<u32> all(256 * 256), row(all.size());
    for (u32 i = 0; i < all.size(); ++i) all[i] = (i & 255) * 0x01010101u ^ (i >> 8) << 8 ^ (i >> 8) << 24;
    for (const PIXELFORMAT* f : {&f565, &f5551, &f4444, &f332}) {
        GridSetup(f);
        const int n = static_cast<int>(all.size());
        GridRawRow(row.data(), all.data(), n);
        for (int i = 0; i < n; ++i) ASSERT_EQ(row[i], GridRaw(all[i])) << i;
        GridFromRawRow(row.data(), all.data(), n);
        for (int i = 0; i < n; ++i) ASSERT_EQ(row[i], GridFromRaw(all[i])) << i;
        row = all;
        GridSnapRow(row.data(), n);
        for (int i = 0; i < n; ++i) ASSERT_EQ(row[i], GridSnap(all[i])) << i;
        for (int i = 0; i < n; ++i) ASSERT_EQ(GridMathCut(all[i], g_Grid.math), GridCut(all[i])) << i;
    }
    GridSetup(nullptr);
}
