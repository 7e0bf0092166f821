// Blits, clipping, fills, shapes and batches in both personalities.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/graphics/Presenter.h"
#include "platform/graphics/Raster.h"
#include "tests/platform/graphics/GfxTestUtil.h"

namespace {

u32 Opaque(u32 rgb) { return 0xFF000000u | rgb; }

// A 64x32 picture: x in red, y in green, blue 0x40; a magenta (key) border of 4 pixels.
cImage Numbered(int w = 64, int h = 32) {
    return MakeImage(w, h, [w, h](int x, int y) {
        if (x < 4 || y < 4 || x >= w - 4 || y >= h - 4) return 0xFFFF00FFu;
        return Opaque(u32(x) << 16 | u32(y) << 8 | 0x40u);
    });
}

u32 Visible(u32 p) { return p & 0xFFFFFF; } // what either mode shows of a 32-bit pixel

class BlitTest : public ::testing::TestWithParam<GfxMode> {};

} // namespace

TEST_P(BlitTest, SameSizeBlitIsExactAndClipsAtEveryEdge) {
    ScopedMode mode(GetParam());
    ASSERT_TRUE(mode.ok);
    TempDir dir;
    DDSURFACEDATA pic;
    ASSERT_TRUE(MakePicture(&pic, dir, "n.bmp", Numbered(), 1));
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDBlt(back, 100, 50, 64, 32, &pic, 0, 0, 0);
    for (int y = 4; y < 28; ++y)
        for (int x = 4; x < 60; ++x) ASSERT_EQ(Visible(PixelAt(back, 100 + x, 50 + y)), u32(x) << 16 | u32(y) << 8 | 0x40u);

    // Every edge: only the part inside lands, shifted by nothing.
    DDBlt(back, -20, 200, 64, 32, &pic, 0, 0, DDBLT_KEY);
    EXPECT_EQ(Visible(PixelAt(back, 0, 210)), 20u << 16 | 10u << 8 | 0x40u);
    DDBlt(back, 620, 200, 64, 32, &pic, 0, 0, DDBLT_KEY);
    EXPECT_EQ(Visible(PixelAt(back, 639, 210)), 19u << 16 | 10u << 8 | 0x40u);
    DDBlt(back, 300, -10, 64, 32, &pic, 0, 0, DDBLT_KEY);
    EXPECT_EQ(Visible(PixelAt(back, 310, 0)), 10u << 16 | 10u << 8 | 0x40u);
    DDBlt(back, 300, 470, 64, 32, &pic, 0, 0, DDBLT_KEY);
    EXPECT_EQ(Visible(PixelAt(back, 310, 479)), 10u << 16 | 9u << 8 | 0x40u);
    // Entirely outside, or absurd sizes: nothing, and nothing outside the surfaces is touched.
    DDBlt(back, 5000, 5000, 64, 32, &pic, 0, 0, 0);
    DDBlt(back, -2000000000, -2000000000, 2000000000, 2000000000, &pic, 0, 0, 0);
    D3DBltQuad(back, -5, -5, 2000000000, 7, &pic, 0, 0, 3, 2000000000, 0);
    DDBlt(back, 0, 0, 64, 32, nullptr, 0, 0, 0);
    DDRelease();
}

TEST_P(BlitTest, NegativeSourceXCopiesFewerColumnsToTheSamePlace) {
    ScopedMode mode(GetParam());
    TempDir dir;
    DDSURFACEDATA pic;
    ASSERT_TRUE(MakePicture(&pic, dir, "n.bmp", Numbered(), 0));
    DDFillSurface(&g_sdBackBuffer, 1);
    const u32 before = PixelAt(&g_sdBackBuffer, 100 + 54, 60);
    DDBlt(&g_sdBackBuffer, 100, 50, 64, 32, &pic, -10, 0, 0);
    // Source column 0 lands at the unchanged x, and only 54 columns are copied.
    EXPECT_EQ(Visible(PixelAt(&g_sdBackBuffer, 104, 60)), 4u << 16 | 10u << 8 | 0x40u);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 100 + 54, 60), before);
}

TEST_P(BlitTest, WideSpanFromTheLeftIsCutAtTheRight) {
    ScopedMode mode(GetParam());
    TempDir dir;
    DDSURFACEDATA wide;
    ASSERT_TRUE(MakePicture(&wide, dir, "w.bmp", MakeImage(1000, 4, [](int x, int) { return Opaque(u32(x & 255)); }), 0));
    int x = -20, y = 0, w = 1000, h = 4, sx = 0, sy = 0, sw = 1000, sh = 4;
    ASSERT_TRUE(DDClipBlt(&g_sdBackBuffer, &x, &y, &w, &h, &wide, &sx, &sy, &sw, &sh));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(sx, 20);
    EXPECT_EQ(w, 640);
    DDBlt(&g_sdBackBuffer, -20, 0, 1000, 4, &wide, 0, 0, 0);
    EXPECT_EQ(Visible(PixelAt(&g_sdBackBuffer, 639, 0)), u32(659 & 255));
}

TEST_P(BlitTest, StretchDoublesPixelsAndNegativeWidthMirrors) {
    ScopedMode mode(GetParam());
    TempDir dir;
    DDSURFACEDATA pic;
    ASSERT_TRUE(MakePicture(&pic, dir, "n.bmp", Numbered(), 1));
    DDSURFACEDATA* back = &g_sdBackBuffer;
    D3DBltQuad(back, 10, 10, 64, 64, &pic, 8, 8, 32, 32, 0);
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(Visible(PixelAt(back, 10 + 2 * c, 10)), Visible(PixelAt(back, 11 + 2 * c, 11))) << c;
        EXPECT_EQ(Visible(PixelAt(back, 10 + 2 * c, 10)), u32(8 + c) << 16 | 8u << 8 | 0x40u) << c;
    }
    // sw = -32 from the right edge x = 40: column c reads source column 39 - c.
    D3DBltQuad(back, 200, 10, 32, 16, &pic, 40, 8, -32, 16, 0);
    for (int c = 0; c < 32; ++c) EXPECT_EQ(Visible(PixelAt(back, 200 + c, 12)), u32(39 - c) << 16 | 10u << 8 | 0x40u) << c;
    // Stretched past the right edge: clipped, not wrapped.
    D3DBltQuad(back, 600, 300, 128, 64, &pic, 0, 0, 64, 32, 0);
    EXPECT_EQ(Visible(PixelAt(back, 639, 320)), 19u << 16 | 10u << 8 | 0x40u);
}

TEST_P(BlitTest, FillsAreCutAtBothEdges) {
    ScopedMode mode(GetParam());
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDFillSurface(back, 1);
    DDFillRect(back, -10, 5, 5000, 3, 3);
    EXPECT_EQ(Visible(PixelAt(back, 0, 5)), 0xFF0000u);
    EXPECT_EQ(Visible(PixelAt(back, 639, 7)), 0xFF0000u);
    EXPECT_EQ(Visible(PixelAt(back, 639, 8)), 0u);
    DDFillRect(back, 630, 470, 40, 40, 4);
    EXPECT_EQ(Visible(PixelAt(back, 639, 479)), 0x00FF00u);
    DDFillRect(back, -100, -100, 50, 50, 4); // wholly outside
    DDSetPixel(back, -1, 3, 2);
    DDSetPixel(back, 640, 3, 2);
    DDSetPixel(back, 3, 3, 2);
    EXPECT_EQ(Visible(PixelAt(back, 3, 3)), 0xFFFFFFu);
}

TEST_P(BlitTest, CircleRadiusZeroDrawsNothingAndRadiusOnePlotsTheMidpointSet) {
    ScopedMode mode(GetParam());
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDFillSurface(back, 1);
    DDDrawCircle(back, 50, 50, 0, 2);
    int lit = 0;
    for (int y = 45; y < 56; ++y)
        for (int x = 45; x < 56; ++x) lit += Visible(PixelAt(back, x, y)) == 0xFFFFFFu;
    EXPECT_EQ(lit, 0);
    DDDrawCircle(back, 50, 50, 1, 2);
    for (auto [x, y] : {std::pair{50, 51}, {50, 49}, {51, 50}, {49, 50}}) EXPECT_EQ(Visible(PixelAt(back, x, y)), 0xFFFFFFu);
    EXPECT_EQ(Visible(PixelAt(back, 50, 50)), 0u);
    DDDrawCircle(back, 0, 0, 1000, 2); // mostly outside: only the points inside are drawn
    DDDrawCircle(back, 320, 240, 100, 3);
    EXPECT_EQ(Visible(PixelAt(back, 420, 240)), 0xFF0000u);
    EXPECT_EQ(Visible(PixelAt(back, 320, 140)), 0xFF0000u);
}

INSTANTIATE_TEST_SUITE_P(BothModes, BlitTest, ::testing::Values(kD3D, kDD),
                         [](const auto& info) { return ModeName(info.param); });

// ---------------------------------------------------------------------------------------------
// What differs between the personalities

TEST(BlitD3D, OpaqueCopyOfKeyedPictureLeavesTheTransparentColour) {
    ScopedMode mode(kD3D);
    TempDir dir;
    DDSURFACEDATA pic;
    ASSERT_TRUE(MakePicture(&pic, dir, "n.bmp", Numbered(), 1));
    EXPECT_EQ(PixelAt(&pic, 0, 0), 0u) << "the key colour loads as transparent black";
    DDFillSurface(&g_sdBackBuffer, 3); // index 0 would not clear a non-keyed target
    D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF102030);
    DDBlt(&g_sdBackBuffer, 0, 0, 64, 32, &pic, 0, 0, 0);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 1), 0xFFFF00FFu);
    DDBlt(&g_sdBackBuffer, 100, 0, 64, 32, &pic, 0, 0, DDBLT_KEY);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 101, 1), 0xFF102030u);
    // Onto a texture render target the transparent colour is the texture's: transparent black.
    DDSURFACEDATA rt;
    ASSERT_TRUE(DDCreateSurface(&rt, 64, 32, 1, 0));
    D3DFillRect(&rt, 0, 0, 64, 32, 0xFF445566);
    DDBlt(&rt, 0, 0, 64, 32, &pic, 0, 0, 0);
    EXPECT_EQ(PixelAt(&rt, 1, 1), 0u);
}

TEST(BlitDD, OpaqueCopyKeepsKeyPixelsAndKeyedCopySkipsThem) {
    ScopedMode mode(kDD);
    TempDir dir;
    DDSURFACEDATA pic;
    ASSERT_TRUE(MakePicture(&pic, dir, "n.bmp", Numbered(), 1));
    DDFillSurface(&g_sdBackBuffer, 1);
    DDBlt(&g_sdBackBuffer, 0, 0, 64, 32, &pic, 0, 0, 0);
    EXPECT_EQ(Visible(PixelAt(&g_sdBackBuffer, 1, 1)), 0xFF00FFu);
    DDBlt(&g_sdBackBuffer, 100, 0, 64, 32, &pic, 0, 0, DDBLT_KEY);
    EXPECT_EQ(Visible(PixelAt(&g_sdBackBuffer, 101, 1)), 0u);
    // A picture without the key flag is copied whole even with the key flag asked.
    DDSURFACEDATA plain;
    ASSERT_TRUE(MakePicture(&plain, dir, "p.bmp", Numbered(), 0));
    DDBlt(&g_sdBackBuffer, 200, 0, 64, 32, &plain, 0, 0, DDBLT_KEY);
    EXPECT_EQ(Visible(PixelAt(&g_sdBackBuffer, 201, 1)), 0xFF00FFu);
}

TEST(BlitD3D, ModulationAndAlphaApplyOnlyOnTheQuadPath) {
    ScopedMode mode(kD3D);
    TempDir dir;
    DDSURFACEDATA pic, sys;
    const cImage half = MakeImage(8, 8, [](int, int) { return 0x80FF0000u; });
    ASSERT_TRUE(WritePngFile(dir.Path("a.png"), half.argb.data(), 8, 8));
    ASSERT_EQ(DDCreateSurfaceFromFile(&pic, "a.png", 1, 32, 0, 0, 0, 0, 0, 0, 0), 0);
    ASSERT_EQ(DDCreateSurfaceFromFile(&sys, "a.png", 1, 32, 0, DTMEMORYTYPE_SYSTEM, 0, 0, 0, 0, 0), 0);
    D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF0000FF);
    DDBlt(&g_sdBackBuffer, 0, 0, 8, 8, &pic, 0, 0, DDBLT_KEY);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 2, 2), 0xBF80007Fu); // half red over blue; alpha a*a + (1-a)
    // A system texture goes through the CPU path: copied as it is.
    DDBlt(&g_sdBackBuffer, 20, 0, 8, 8, &sys, 0, 0, DDBLT_KEY);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 22, 2), 0x80FF0000u);
    // Modulated by the extras' colour, then the quad state is back at its defaults.
    TempDir dir2;
    DDSURFACEDATA white;
    ASSERT_TRUE(MakePicture(&white, dir2, "w.bmp", MakeImage(8, 8, [](int, int) { return 0xFFFFFFFFu; }), 0));
    const BLTEXTRA tint{0xFF808040, D3DTOP_MODULATE};
    DDBltEx(&g_sdBackBuffer, 40, 0, 8, 8, &white, 0, 0, 0, &tint);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 42, 2), 0xFF808040u);
    EXPECT_EQ(lpDTCon->dwQuadColor, 0xFFFFFFFFu);
    EXPECT_EQ(lpDTCon->dwColorOp, D3DTOP_MODULATE);
    EXPECT_EQ(lpDTCon->dwAlphaOp, D3DTOP_SELECTARG1);
    // Drawing into a file picture (not a render target) is the CPU path: no tint.
    D3DSetVertexColor(0xFF000000);
    DDBlt(&pic, 0, 0, 8, 8, &white, 0, 0, 0);
    D3DResetVertexColor();
    EXPECT_EQ(PixelAt(&pic, 3, 3), 0xFFFFFFFFu);
}

TEST(BlitD3D, CombinerOperations) {
    EXPECT_EQ(CombineStage0(0xFF804020, 0x80FFFFFF, D3DTOP_MODULATE, D3DTOP_MODULATE, 0), 0x80804020u);
    EXPECT_EQ(CombineStage0(0xFF804020, 0xFF808080, D3DTOP_ADD, D3DTOP_SELECTARG1, 0), 0xFFFFC0A0u);
    EXPECT_EQ(CombineStage0(0xFF804020, 0xFF101010, D3DTOP_SUBTRACT, D3DTOP_SELECTARG1, 0), 0xFF703010u);
    EXPECT_EQ(CombineStage0(0x00804020, 0x7F112233, D3DTOP_SELECTARG2, D3DTOP_DISABLE, 0), 0x7F112233u);
    EXPECT_EQ(CombineStage0(0xFFFF0000, 0xFF0000FF, D3DTOP_BLENDFACTORALPHA, D3DTOP_SELECTARG1, 0x00000000), 0xFF0000FFu);
    EXPECT_EQ(BlendPixel(0x00FFFFFF, 0x12345678), 0x12345678u);
    EXPECT_EQ(BlendPixel(0xFFFFFFFF, 0x12345678), 0xFFFFFFFFu);
}

TEST(FillD3D, IndexZeroAndRenderTargetRules) {
    ScopedMode mode(kD3D);
    // The back buffer is a render target without a key: index 0 (transparent) changes nothing.
    D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF123456);
    DDFillSurface(&g_sdBackBuffer, 0);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 5, 5), 0xFF123456u);
    DDFillRect(&g_sdBackBuffer, 0, 0, 10, 10, 300); // no such entry: colour 0, again nothing
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 5, 5), 0xFF123456u);
    // A keyed render target is cleared by index 0.
    DDSURFACEDATA rt;
    ASSERT_TRUE(DDCreateSurface(&rt, 32, 32, 1, 0));
    DDFillSurface(&rt, 3);
    EXPECT_EQ(PixelAt(&rt, 1, 1), 0xFFFF0000u);
    DDFillSurface(&rt, 0);
    EXPECT_EQ(PixelAt(&rt, 1, 1), 0u);
    // A negative x shortens the fill by as much.
    D3DFillRect(&rt, -10, 0, 20, 2, 0xFF00FF00);
    EXPECT_EQ(PixelAt(&rt, 9, 0), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(&rt, 10, 0), 0u);
    // Half-transparent fills blend.
    D3DFillRect(&g_sdBackBuffer, 0, 0, 4, 4, 0x80FFFFFF);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 1), 0xBF899AABu);
}

TEST(FillDD, IndexZeroIsThePaletteColour) {
    ScopedMode mode(kDD);
    DDFillSurface(&g_sdBackBuffer, 0);
    EXPECT_EQ(Visible(PixelAt(&g_sdBackBuffer, 5, 5)), 0xFF00FFu);
    EXPECT_EQ(PalNumToRGB(3), 0xFF0000u);
    u32* px = nullptr;
    DDSURFACEDESC2 desc;
    ASSERT_TRUE(DDLock(&g_sdBackBuffer, &desc, &px, 32));
    EXPECT_EQ(desc.width, 640);
    EXPECT_EQ(px, desc.lpSurface);
}

// ---------------------------------------------------------------------------------------------
// Batches

namespace {
struct BatchFixture : ::testing::Test {
    ScopedMode mode{kD3D};
    TempDir dir;
    DDSURFACEDATA a, b;
    void SetUp() override {
        ASSERT_TRUE(mode.ok);
        ASSERT_TRUE(MakePicture(&a, dir, "a.bmp", MakeImage(8, 8, [](int, int) { return 0xFFAA0000u; }), 0));
        ASSERT_TRUE(MakePicture(&b, dir, "b.bmp", MakeImage(8, 8, [](int, int) { return 0xFF00BB00u; }), 0));
    }
};
} // namespace

TEST_F(BatchFixture, LayersReorderDrawsAndUnregisteredSourcesComeFirst) {
    D3DBeginBatch(1);
    D3DBatchAddLayer(&a);
    D3DBatchAddLayer(&b);
    D3DBatchAddLayer(&a); // keeps its first base
    DDBlt(&g_sdBackBuffer, 0, 0, 8, 8, &b, 0, 0, 0);  // B1
    DDBlt(&g_sdBackBuffer, 0, 0, 8, 8, &a, 0, 0, 0);  // A1
    DDBlt(&g_sdBackBuffer, 20, 0, 8, 8, &b, 0, 0, 0); // B2
    DDBlt(&g_sdBackBuffer, 20, 0, 8, 8, &a, 0, 0, 0); // A2
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 1), 0xFF000000u) << "nothing drawn before the flush";
    D3DFlushBatch();
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 1), 0xFF00BB00u) << "A1, A2, then B1, B2";
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 21, 1), 0xFF00BB00u);
    EXPECT_EQ(D3DBatchRunCount(), 2u);

    TempDir other;
    DDSURFACEDATA c;
    ASSERT_TRUE(MakePicture(&c, other, "c.bmp", MakeImage(8, 8, [](int, int) { return 0xFF0000CCu; }), 0));
    D3DBeginBatch(1);
    D3DBatchAddLayer(&a);
    DDBlt(&g_sdBackBuffer, 40, 0, 8, 8, &a, 0, 0, 0);
    DDBlt(&g_sdBackBuffer, 40, 0, 8, 8, &c, 0, 0, 0); // never registered: drawn first
    D3DFlushBatch();
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 41, 1), 0xFFAA0000u);
}

TEST_F(BatchFixture, EmptyFlushNestingAndCpuPathBlits) {
    D3DBeginBatch(0);
    D3DFlushBatch();
    EXPECT_FALSE(D3DBatchIsOpen());
    EXPECT_EQ(D3DBatchRunCount(), 0u);
    // Text drawn inside a sprite batch opens a batch of its own: the outer draws survive.
    D3DBeginBatch(1);
    DDBlt(&g_sdBackBuffer, 0, 0, 8, 8, &a, 0, 0, 0);
    D3DBeginBatch(0);
    DDBlt(&g_sdBackBuffer, 20, 0, 8, 8, &b, 0, 0, 0);
    D3DFlushBatch();
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 1), 0xFFAA0000u);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 21, 1), 0xFF00BB00u);
    // Blits onto a picture that is not a render target take the CPU path and draw at once.
    D3DBeginBatch(0);
    DDBlt(&a, 0, 0, 4, 4, &b, 0, 0, 0);
    EXPECT_EQ(PixelAt(&a, 1, 1), 0xFF00BB00u);
    D3DFlushBatch();
    // A released source between add and flush draws nothing and harms nothing.
    D3DBeginBatch(0);
    DDBlt(&g_sdBackBuffer, 60, 0, 8, 8, &b, 0, 0, 0);
    DDReleaseSurface(&b);
    D3DFlushBatch();
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 61, 1), 0xFF00BB00u);
}

// Many quads of a batch share the holds on their pictures: pictures released, and records given
// other pictures, before the flush still draw what was asked for, every quad of them; a batch
// begun again after that draws the new pictures.
TEST_F(BatchFixture, QuadsSharingPicturesKeepThemUntilTheFlush) {
    for (int round = 0; round < 2; ++round) {
        D3DBeginBatch(0);
        for (int i = 0; i < 12; ++i) DDBlt(&g_sdBackBuffer, 10 * i, 100, 8, 8, i % 3 ? &a : &b, 0, 0, 0);
        DDReleaseSurface(&a);
        DDReleaseSurface(&b);
        ASSERT_TRUE(MakePicture(&a, dir, "a2.bmp", MakeImage(8, 8, [](int, int) { return 0xFF0000CCu; }), 0));
        D3DFlushBatch();
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(PixelAt(&g_sdBackBuffer, 10 * i + 1, 101), i % 3 ? (round ? 0xFF0000CCu : 0xFFAA0000u) : 0xFF00BB00u)
                << round << " " << i;
        // The next round draws the new picture of a and the picture b gets now.
        ASSERT_TRUE(MakePicture(&b, dir, "b.bmp", MakeImage(8, 8, [](int, int) { return 0xFF00BB00u; }), 0));
    }
}

// A batch keeps what it found in a picture's texels for the quads drawn from the same cells;
// a picture drawn into, by an earlier quad of the batch or between batches, draws its new texels.
TEST_F(BatchFixture, PicturesChangedAfterTheirTexelsWereLookedAtDrawTheirNewTexels) {
    DDSURFACEDATA rt;
    ASSERT_TRUE(DDCreateSurface(&rt, 8, 8, 0, 0));
    ASSERT_EQ(PixelAt(&rt, 1, 1) >> 24, 0u) << "a new render target starts transparent";
    const u32 under = PixelAt(&g_sdBackBuffer, 1, 1);
    // Within a batch: drawn from while transparent, then drawn into, then drawn from again.
    D3DBeginBatch(0);
    DDBlt(&g_sdBackBuffer, 0, 0, 8, 8, &rt, 0, 0, DDBLT_KEY);
    DDBlt(&rt, 0, 0, 8, 8, &a, 0, 0, 0);
    DDBlt(&g_sdBackBuffer, 20, 0, 8, 8, &rt, 0, 0, DDBLT_KEY);
    D3DFlushBatch();
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 1), under);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 21, 1), 0xFFAA0000u);
    // Between batches: drawn from, changed by a blit outside any batch, drawn from again.
    DDSURFACEDATA half;
    ASSERT_TRUE(DDCreateSurface(&half, 8, 8, 0, 0));
    D3DBeginBatch(0);
    DDBlt(&g_sdBackBuffer, 40, 0, 8, 8, &half, 0, 0, DDBLT_KEY);
    D3DFlushBatch();
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 41, 1), under);
    DDBlt(&half, 0, 0, 8, 8, &b, 0, 0, 0);
    D3DBeginBatch(0);
    DDBlt(&g_sdBackBuffer, 60, 0, 8, 8, &half, 0, 0, DDBLT_KEY);
    D3DFlushBatch();
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 61, 1), 0xFF00BB00u);
    // Then partly transparent: the blend, not the copy the earlier batch found.
    DDSURFACEDATA soft;
    const cImage glass = MakeImage(8, 8, [](int, int) { return 0x80FFFFFFu; });
    ASSERT_TRUE(WritePngFile(dir.Path("soft.png"), glass.argb.data(), 8, 8));
    ASSERT_EQ(DDCreateSurfaceFromFile(&soft, "soft.png", 1, 32, 0, 0, 0, 0, 0, 0, 0), 0);
    DDBlt(&half, 0, 0, 8, 8, &soft, 0, 0, DDBLT_KEY);
    const u32 blended = PixelAt(&half, 1, 1);
    ASSERT_NE(blended >> 24, 255u);
    ASSERT_NE(blended >> 24, 0u);
    const u32 target = PixelAt(&g_sdBackBuffer, 81, 1);
    D3DBeginBatch(0);
    DDBlt(&g_sdBackBuffer, 80, 0, 8, 8, &half, 0, 0, DDBLT_KEY);
    D3DFlushBatch();
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 81, 1), BlendPixel(blended, target));
    DDReleaseSurface(&rt);
    DDReleaseSurface(&half);
    DDReleaseSurface(&soft);
}

// A layered batch of keyed tiles and sprites as a game draws them, cells of every width a keyed
// row has a loop of its own for and widths between them, each cell several times (its texels
// looked at once, then kept) and some cut at the back buffer's edges: every pixel is the blend
// of its texel over what lay there, at 32 bits and at 16.
TEST(BatchD3D, KeyedTilesOfEveryWidthDrawTheirTexelsOverTheTarget) {
    for (const GfxMode m : {kD3D, GfxMode{true, 16}}) {
        ScopedMode mode(m);
        ASSERT_TRUE(mode.ok);
        TempDir dir;
        DDSURFACEDATA pic;
        // Cells side by side, each with a key border and key specks.
        const int widths[] = {5, 8, 13, 16, 24, 31, 32, 48, 57, 64};
        const int W = 5 + 8 + 13 + 16 + 24 + 31 + 32 + 48 + 57 + 64;
        ASSERT_TRUE(MakePicture(&pic, dir, "tiles.bmp", MakeImage(W, 20, [](int x, int y) {
            return (y < 2 || (x * 7 + y * 3) % 11 == 0) ? 0xFFFF00FFu : Opaque(u32(x * 5) << 16 | u32(y * 9) << 8 | 0x30u);
        }), 1));
        D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF406080);
        DDBlt(&g_sdBackBuffer, 0, 0, 320, 240, &pic, 0, 0, 0); // something under the tiles
        const PixelStore& texels = *SurfacePixels(&pic);
        PixelStore& back = *SurfacePixels(&g_sdBackBuffer);
        PixelVector expected = back.px;
        D3DBeginBatch(1);
        D3DBatchAddLayer(&pic);
        int sx = 0, k = 0;
        for (int n : widths) {
            for (const auto& [x, y] : {std::pair{10 + k * 61, 30}, std::pair{15 + k * 61, 60}, std::pair{-3, 90 + k * 23},
                                       std::pair{640 - n + 4, 90 + k * 23}, std::pair{k * 61, 470}}) {
                DDBlt(&g_sdBackBuffer, x, y, n, 20, &pic, sx, 0, DDBLT_KEY);
                for (int r = 0; r < 20; ++r)
                    for (int c = 0; c < n; ++c) {
                        if (x + c < 0 || x + c >= 640 || y + r >= 480) continue;
                        u32& d = expected[static_cast<std::size_t>((y + r) * 640 + x + c)];
                        d = BlendPixel(texels.px[static_cast<std::size_t>(r * W + sx + c)], d);
                    }
            }
            sx += n;
            ++k;
        }
        D3DFlushBatch();
        EXPECT_TRUE(back.px == expected) << ModeName(m);
        EXPECT_EQ(OffGrid(std::vector<u32>(back.px.begin(), back.px.end()), m), 0) << ModeName(m);
        DDReleaseSurface(&pic);
    }
}

TEST_F(BatchFixture, OpaqueCopiesOfAKeyedSourceClearTheWholeRunBeforeDrawing) {
    // Left half the key colour (transparent), right half red.
    DDSURFACEDATA k;
    ASSERT_TRUE(MakePicture(&k, dir, "k.bmp", MakeImage(8, 8, [](int x, int) { return x < 4 ? 0xFFFF00FFu : 0xFFCC0000u; }), 1));
    // Unbatched, each copy clears its own rectangle first: the second wipes the first's red.
    DDBlt(&g_sdBackBuffer, 0, 0, 8, 8, &k, 0, 0, 0);
    DDBlt(&g_sdBackBuffer, 4, 0, 8, 8, &k, 0, 0, 0);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 5, 1), 0xFFFF00FFu);
    // In one batch run both rectangles are cleared before either quad is drawn.
    D3DBeginBatch(0);
    DDBlt(&g_sdBackBuffer, 0, 20, 8, 8, &k, 0, 0, 0);
    DDBlt(&g_sdBackBuffer, 4, 20, 8, 8, &k, 0, 0, 0);
    D3DFlushBatch();
    EXPECT_EQ(D3DBatchRunCount(), 1u);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 21), 0xFFFF00FFu);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 5, 21), 0xFFCC0000u);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 9, 21), 0xFFCC0000u);
}

TEST_F(BatchFixture, FillBatchRunsPerRecord) {
    DDSURFACEDATA rt;
    ASSERT_TRUE(DDCreateSurface(&rt, 16, 16, 0, 0));
    D3DBeginFillBatch();
    D3DFillRect(&g_sdBackBuffer, 0, 0, 4, 4, 0xFF111111);
    D3DFillRect(&g_sdBackBuffer, 4, 0, 4, 4, 0xFF222222);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 1), 0xFF000000u) << "fills wait for the flush";
    D3DFlushFillBatch();
    EXPECT_EQ(D3DBatchRunCount(), 1u);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 5, 1), 0xFF222222u);
    D3DBeginFillBatch();
    D3DFillRect(&g_sdBackBuffer, 0, 0, 4, 4, 0xFF333333);
    D3DFillRect(&rt, 0, 0, 4, 4, 0xFF333333);
    D3DFillRect(&g_sdBackBuffer, 4, 0, 4, 4, 0xFF333333);
    D3DFlushFillBatch();
    EXPECT_EQ(D3DBatchRunCount(), 3u);
    EXPECT_EQ(PixelAt(&rt, 1, 1), 0xFF333333u);
}

TEST(BatchDD, BatchesDoNothingInDirectDraw) {
    ScopedMode mode(kDD);
    TempDir dir;
    DDSURFACEDATA a;
    ASSERT_TRUE(MakePicture(&a, dir, "a.bmp", MakeImage(8, 8, [](int, int) { return 0xFFAA0000u; }), 0));
    D3DBeginBatch(1);
    EXPECT_FALSE(D3DBatchIsOpen());
    DDBlt(&g_sdBackBuffer, 0, 0, 8, 8, &a, 0, 0, 0);
    EXPECT_EQ(Visible(PixelAt(&g_sdBackBuffer, 1, 1)), 0xAA0000u);
    D3DFlushBatch();
}

TEST(Clip, StretchCutsTheSourceAndDirectDrawAlsoTheDestination) {
    for (GfxMode m : {kD3D, kDD}) {
        ScopedMode mode(m);
        TempDir dir;
        DDSURFACEDATA pic;
        ASSERT_TRUE(MakePicture(&pic, dir, "n.bmp", Numbered(), 0));
        // 2x onto x = -32: DirectDraw moves the source start by 16 and keeps 32 columns;
        // Direct3D leaves the destination to the rasteriser.
        int x = -32, y = 0, w = 64, h = 64, sx = 0, sy = 0, sw = 32, sh = 32;
        ASSERT_TRUE(DDClipBlt(&g_sdBackBuffer, &x, &y, &w, &h, &pic, &sx, &sy, &sw, &sh));
        if (m.direct3D) {
            EXPECT_EQ(x, -32);
            EXPECT_EQ(w, 64);
            EXPECT_EQ(sx, 0);
        } else {
            EXPECT_EQ(x, 0);
            EXPECT_EQ(w, 32);
            EXPECT_EQ(sx, 16);
            EXPECT_EQ(sw, 16);
        }
        // A source rectangle hanging over the source's right edge keeps its kept fraction.
        x = 0, y = 0, w = 64, h = 32, sx = 48, sy = 0, sw = 32, sh = 16;
        ASSERT_TRUE(DDClipBlt(&g_sdBackBuffer, &x, &y, &w, &h, &pic, &sx, &sy, &sw, &sh));
        EXPECT_EQ(sw, 16);
        EXPECT_EQ(w, 32);
        // Mirrored: still mirrored after the cut.
        x = 0, y = 0, w = 32, h = 16, sx = 64, sy = 0, sw = -64, sh = 16;
        ASSERT_TRUE(DDClipBlt(&g_sdBackBuffer, &x, &y, &w, &h, &pic, &sx, &sy, &sw, &sh));
        EXPECT_LT(sw, 0);
        // Nothing left.
        x = 0, y = 0, w = 0, h = 4, sx = 0, sy = 0, sw = 4, sh = 4;
        EXPECT_FALSE(DDClipBlt(&g_sdBackBuffer, &x, &y, &w, &h, &pic, &sx, &sy, &sw, &sh));
        x = 700, y = 0, w = 64, h = 32, sx = 0, sy = 0, sw = 64, sh = 32;
        EXPECT_FALSE(DDClipBlt(&g_sdBackBuffer, &x, &y, &w, &h, &pic, &sx, &sy, &sw, &sh));
        x = 0, y = 0, w = 8, h = 8, sx = 100, sy = 0, sw = 16, sh = 8;
        EXPECT_FALSE(DDClipBlt(&g_sdBackBuffer, &x, &y, &w, &h, &pic, &sx, &sy, &sw, &sh)) << "source outside";
    }
}

TEST(Clip, AliasSourceRectanglesReadTheCellMirrored) {
    ScopedMode mode(kD3D);
    DDSURFACEDATA owner, alias;
    alias.alias = &owner;
    alias.mirrorW = 32;
    i32 sx = 32, sy = 0, sw = 32, sh = 16;
    D3DAdjustSrcRect(&alias, &sx, &sy, &sw, &sh);
    EXPECT_EQ(sx, 64);
    EXPECT_EQ(sw, -32);
    sx = 40, sw = 8;
    D3DAdjustSrcRect(&alias, &sx, &sy, &sw, &sh);
    EXPECT_EQ(sx, 56);
    EXPECT_EQ(sw, -8);
    sx = 0, sw = 64; // wider than a cell: left alone
    D3DAdjustSrcRect(&alias, &sx, &sy, &sw, &sh);
    EXPECT_EQ(sx, 0);
    EXPECT_EQ(sw, 64);
    EXPECT_EQ(sh, 16);
}

// Every rasteriser path (copy, DirectDraw key, alpha key, blend, blend through the stage
// combiner; 1:1, stretched and mirrored), each with a rectangle past each edge of the
// destination and of the source. Destination pixel c samples source column
// sx + floor((2c + 1) sw / 2w); it is written only when that pixel of the source and the pixel
// of the destination exist. Both surfaces have a spare row after their last: nothing may be read
// from it (it holds a colour no source pixel has) or written to it.
TEST(Raster, EveryBlitKindStaysInsideBothSurfaces) {
    constexpr int W = 8, H = 8;
    constexpr u32 kSpare = 0xFFDEAD00u, kBlank = 0x11223344u;
    PixelStore src{W, H, PixelVector((H + 1) * W, kSpare)};
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) src.px[static_cast<std::size_t>(y * W + x)] = 0xFF000000u | u32(y) << 8 | u32(x);
    auto floorDiv = [](i64 a, i64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); };
    RasterOp copy, key, alpha, blend, combine;
    key.kind = RasterKind::DDKey;
    key.key = 0x123456;
    key.keyMask = 0xFFFFFF;
    alpha.kind = RasterKind::AlphaKey;
    blend.kind = combine.kind = RasterKind::Gpu;
    combine.diffuse = 0xFF808080u;
    combine.colorOp = D3DTOP_SELECTARG1;
    constexpr int w = 6, h = 5;
    for (const RasterOp& op : {copy, key, alpha, blend, combine})
        for (int scale : {1, 2, -2})
            for (int edge = 0; edge < 8; ++edge) {
                // Past the destination's left, right, top, bottom edge; then the source's.
                const int sw = w / scale, sh = h / (scale < 0 ? -scale : scale), aw = sw < 0 ? -sw : sw;
                const int x = edge == 0 ? -3 : edge == 1 ? W - w + 3 : 1, y = edge == 2 ? -3 : edge == 3 ? H - h + 3 : 1;
                const int left = edge == 4 ? -2 : edge == 5 ? W - aw + 2 : 0, sy = edge == 6 ? -2 : edge == 7 ? H - sh + 1 : 0;
                const int sx = sw < 0 ? left + aw : left; // a mirrored rectangle reads from its right edge
                PixelStore dst{W, H, PixelVector((H + 1) * W, kBlank)};
                RasterBlit(dst, x, y, w, h, src, sx, sy, sw, sh, op);
                PixelVector expected((H + 1) * W, kBlank);
                for (int c = 0; c < w; ++c)
                    for (int row = 0; row < h; ++row) {
                        const i64 u = sx + floorDiv((2 * c + 1) * sw, 2 * w), v = sy + floorDiv((2 * row + 1) * sh, 2 * h);
                        const int X = x + c, Y = y + row;
                        if (u >= 0 && u < W && v >= 0 && v < H && X >= 0 && X < W && Y >= 0 && Y < H)
                            expected[static_cast<std::size_t>(Y * W + X)] = src.px[static_cast<std::size_t>(v * W + u)];
                    }
                EXPECT_EQ(dst.px, expected) << "kind " << static_cast<int>(op.kind) << " scale " << scale << " edge " << edge;
            }
}

// Stretched, shrunk and mirrored blits of a picture with every kind of texel (opaque rows,
// transparent ones, partial alpha, key colours) give, pixel for pixel, what the one-pixel rule
// of each op gives at the sampled texel: the row spans change the speed, not a bit.
TEST(Raster, ScaledSpansMatchThePixelRule) {
    constexpr int W = 24, H = 12;
    PixelStore src{W, H, PixelVector(W * H)};
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const u32 rgb = u32(x * 10) << 16 | u32(y * 20) << 8 | u32(x * y);
            const u32 a = y < 3 ? 255u : y < 5 ? 0u : static_cast<u32>((x * 37 + y * 11) % 256);
            src.px[static_cast<std::size_t>(y * W + x)] = (x % 5 == 0 ? 0x123456u : rgb) | a << 24;
        }
    RasterOp copy, key, alpha, blend, combine;
    key.kind = RasterKind::DDKey;
    key.key = 0x123456;
    key.keyMask = 0xFFFFFF;
    alpha.kind = RasterKind::AlphaKey;
    blend.kind = combine.kind = RasterKind::Gpu;
    combine.diffuse = 0xC0A08060u;
    combine.colorOp = D3DTOP_MODULATE;
    combine.alphaOp = D3DTOP_MODULATE;
    auto floorDiv = [](i64 a, i64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); };
    struct Case {
        int x, y, w, h, sx, sy, sw, sh;
    };
    const Case cases[] = {{3, 2, 48, 24, 0, 0, 24, 12},   {-5, -3, 40, 30, 2, 1, 20, 10}, {1, 1, 10, 7, 0, 0, 24, 12},
                          {4, 0, 36, 20, 24, 0, -24, 12}, {2, 3, 30, 17, 3, 2, 13, 9},    {20, 10, 60, 40, 0, 0, 24, 12}};
    for (const RasterOp& op : {copy, key, alpha, blend, combine})
        for (const Case& k : cases) {
            PixelStore dst{64, 48, PixelVector(64 * 48)};
            for (std::size_t i = 0; i < dst.px.size(); ++i) dst.px[i] = 0x80000000u | static_cast<u32>(i * 2654435761u >> 8);
            PixelVector expected = dst.px;
            RasterBlit(dst, k.x, k.y, k.w, k.h, src, k.sx, k.sy, k.sw, k.sh, op);
            for (int r = 0; r < k.h; ++r)
                for (int c = 0; c < k.w; ++c) {
                    const i64 u = k.sx + floorDiv((2 * c + 1) * k.sw, 2 * k.w), v = k.sy + floorDiv((2 * r + 1) * k.sh, 2 * k.h);
                    const int X = k.x + c, Y = k.y + r;
                    if (u < 0 || u >= W || v < 0 || v >= H || X < 0 || X >= 64 || Y < 0 || Y >= 48) continue;
                    RasterPixel(expected[static_cast<std::size_t>(Y * 64 + X)], src.px[static_cast<std::size_t>(v * W + u)], op);
                }
            EXPECT_EQ(dst.px, expected) << "kind " << static_cast<int>(op.kind) << " at " << k.x << "," << k.y << " " << k.w
                                        << "x" << k.h << " from " << k.sw << "x" << k.sh;
        }
}

// The transparent-colour clear under a quad skips the rows the quad covers with opaque texels:
// what a quad drawn over it leaves is what it leaves over a full clear, for a picture of
// opaque, transparent and translucent rows, with and without a translucent diffuse, 1:1,
// stretched, and past the source's edge.
TEST(Raster, PreClearSkipsOnlyWhatTheQuadCovers) {
    constexpr int W = 16, H = 8;
    PixelStore src{W, H, PixelVector(W * H)};
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            src.px[static_cast<std::size_t>(y * W + x)] =
                (y % 3 == 0 ? 0xFF000000u : y % 3 == 1 ? (x == 5 ? 0u : 0xFF000000u) : 0x7F000000u) | u32(x * 16 + y);
    struct Case {
        int x, y, w, h, sx, sy, sw, sh;
        u32 diffuse, alphaOp;
    };
    const Case cases[] = {{2, 1, 16, 8, 0, 0, 16, 8, 0xFFFFFFFFu, D3DTOP_SELECTARG1},
                          {-3, 2, 12, 6, 4, 1, 12, 6, 0xFFFFFFFFu, D3DTOP_MODULATE},
                          {1, 1, 16, 8, 0, 0, 16, 8, 0x80FFFFFFu, D3DTOP_MODULATE},
                          {0, 0, 32, 16, 0, 0, 16, 8, 0xFFFFFFFFu, D3DTOP_SELECTARG1},
                          {3, 0, 16, 8, 6, 0, 16, 8, 0xFFFFFFFFu, D3DTOP_SELECTARG1}};
    for (const Case& k : cases) {
        RasterOp op;
        op.kind = RasterKind::Gpu;
        op.diffuse = k.diffuse;
        op.alphaOp = k.alphaOp;
        PixelStore a{40, 24, PixelVector(40 * 24)};
        for (std::size_t i = 0; i < a.px.size(); ++i) a.px[i] = static_cast<u32>(i * 2246822519u);
        PixelStore b = a;
        RasterFill(a, k.x, k.y, k.w, k.h, 0x00123456u, false);
        RasterBlit(a, k.x, k.y, k.w, k.h, src, k.sx, k.sy, k.sw, k.sh, op);
        RasterPreClear(b, k.x, k.y, k.w, k.h, src, k.sx, k.sy, k.sw, k.sh, 0x00123456u, k.diffuse, k.alphaOp);
        RasterBlit(b, k.x, k.y, k.w, k.h, src, k.sx, k.sy, k.sw, k.sh, op);
        EXPECT_EQ(a.px, b.px) << k.x << "," << k.y << " " << k.w << "x" << k.h << " from " << k.sx << " diffuse " << std::hex
                              << k.diffuse;
    }
}

// Whatever rectangles come in, what the clip leaves lies inside the source, and inside the
// destination too except for a Direct3D stretch (which the rasteriser cuts).
TEST(Clip, WhatIsLeftLiesInsideBothSurfaces) {
    for (GfxMode m : {kD3D, kDD}) {
        ScopedMode mode(m);
        TempDir dir;
        DDSURFACEDATA pic;
        ASSERT_TRUE(MakePicture(&pic, dir, "n.bmp", Numbered(), 0));
        int kept = 0;
        for (int stretch : {1, 2})
            for (int axis : {0, 1})
                for (int d : {-100, -10, 0, 450, 470, 479, 480, 600, 630, 639, 640})
                    for (int s : {-100, -10, 0, 10, 20, 31, 32, 40, 63, 64}) {
                        int x = axis ? 0 : d, y = axis ? d : 0, sx = axis ? 0 : s, sy = axis ? s : 0;
                        int w = 64 * stretch, h = 32 * stretch, sw = 64, sh = 32;
                        if (!DDClipBlt(&g_sdBackBuffer, &x, &y, &w, &h, &pic, &sx, &sy, &sw, &sh)) continue;
                        ++kept;
                        EXPECT_TRUE(sx >= 0 && sx + sw <= 64 && sy >= 0 && sy + sh <= 32 && sw >= 1 && sh >= 1)
                            << ModeName(m) << " stretch " << stretch << " axis " << axis << " " << d << "," << s;
                        if (stretch == 1 || !m.direct3D) {
                            EXPECT_TRUE(x >= 0 && x + w <= 640 && y >= 0 && y + h <= 480 && w >= 1 && h >= 1)
                                << ModeName(m) << " stretch " << stretch << " axis " << axis << " " << d << "," << s;
                        }
                    }
        EXPECT_GT(kept, 80);
    }
}

// The turned-quad path of the effect blitters: quads hanging off the bottom-right corner of the
// source and of the destination, at several angles, read and write inside both surfaces (the
// spare rows after both must stay as they are).
TEST(Raster, TurnedQuadsStayInsideBothSurfaces) {
    constexpr int W = 8, H = 8;
    constexpr u32 kSpare = 0xFFDEAD00u, kBlank = 0x11223344u;
    PixelStore src{W, H, PixelVector((H + 1) * W, kSpare)};
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) src.px[static_cast<std::size_t>(y * W + x)] = 0xFF000000u | u32(y) << 8 | u32(x);
    for (int angle : {0, 30, 90, 180, 270})
        for (bool dstCorner : {false, true}) {
            PixelStore dst{W, H, PixelVector((H + 1) * W, kBlank)};
            const double centre = dstCorner ? 7.0 : 3.0;
            const int from = dstCorner ? 0 : 5;
            RasterRotatedQuad(dst, centre, centre, 6, 6, 3, 3, angle, src, from, from, RasterOp{});
            int written = 0;
            for (std::size_t i = 0; i < dst.px.size(); ++i) {
                written += dst.px[i] != kBlank;
                EXPECT_TRUE(dst.px[i] == kBlank || (i < W * H && dst.px[i] != kSpare)) << angle << " " << dstCorner << " " << i;
            }
            EXPECT_GT(written, 0);
        }
}

namespace {
struct TurnCase {
    double cx, cy;
    int w, h;
    double px, py;
    int sx, sy;
};

// The five ways a turned quad draws: a copy, a keyed copy, the plain blend, a combined blend
// and an opaque copy.
std::vector<RasterOp> TurnOps(u32 key) {
    RasterOp copy, keyed, blend, combine, opaque;
    keyed.kind = RasterKind::DDKey;
    keyed.key = key;
    keyed.keyMask = 0xFFFFFF;
    blend.kind = combine.kind = opaque.kind = RasterKind::Gpu;
    combine.diffuse = 0xC0A08060u;
    combine.alphaOp = D3DTOP_MODULATE;
    opaque.alphaOp = D3DTOP_DISABLE;
    return {copy, keyed, blend, combine, opaque};
}

// Turns quad k of src by angle onto a target of dw x dh, and expects the pixel rule walked one
// pixel at a time: each row's source coordinates are running sums from the box's left column,
// and a pixel draws when they lie inside the quad and their texel inside the source.
void ExpectTurnedByThePixelRule(int dw, int dh, const PixelStore& src, const TurnCase& k, double angle, const RasterOp& op) {
    PixelStore dst{dw, dh, PixelVector(static_cast<std::size_t>(dw) * static_cast<std::size_t>(dh))};
    for (std::size_t i = 0; i < dst.px.size(); ++i) dst.px[i] = 0xFF000000u | static_cast<u32>(i * 2654435761u >> 8);
    PixelVector expected = dst.px;
    RasterRotatedQuad(dst, k.cx, k.cy, k.w, k.h, k.px, k.py, angle, src, k.sx, k.sy, op);
    const double rad = angle * 3.14159265358979323846 / 180.0, s = std::sin(rad), c = std::cos(rad);
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (double ex : {-k.px, k.w - k.px})
        for (double ey : {-k.py, k.h - k.py}) {
            x0 = std::min(x0, k.cx + ex * c - ey * s); x1 = std::max(x1, k.cx + ex * c - ey * s);
            y0 = std::min(y0, k.cy + ex * s + ey * c); y1 = std::max(y1, k.cy + ex * s + ey * c);
        }
    const int bx0 = std::max(0, int(std::floor(x0))), bx1 = std::min(dw, int(std::ceil(x1)));
    const int by0 = std::max(0, int(std::floor(y0))), by1 = std::min(dh, int(std::ceil(y1)));
    for (int y = by0; y < by1; ++y) {
        const double dx0 = bx0 + 0.5 - k.cx, dy = y + 0.5 - k.cy;
        double u = dx0 * c + dy * s + k.px, v = -dx0 * s + dy * c + k.py;
        for (int x = bx0; x < bx1; ++x, u += c, v -= s) {
            if (!(u >= 0 && u < k.w && v >= 0 && v < k.h)) continue;
            const int tu = k.sx + int(u), tv = k.sy + int(v);
            if (tu < 0 || tv < 0 || tu >= src.width || tv >= src.height) continue;
            RasterPixel(expected[static_cast<std::size_t>(y * dw + x)], src.px[static_cast<std::size_t>(tv * src.width + tu)], op);
        }
    }
    EXPECT_EQ(dst.px, expected) << "angle " << angle << " kind " << static_cast<int>(op.kind) << " alpha op " << op.alphaOp
                                << " at " << k.cx << "," << k.cy << " " << k.w << "x" << k.h;
}

// A source of opaque, transparent and partly transparent texels.
PixelStore TurnSource(int w, int h) {
    PixelStore src{w, h, PixelVector(static_cast<std::size_t>(w) * static_cast<std::size_t>(h))};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const u32 a = (x + y) % 7 == 0 ? 0u : y % 3 == 0 ? static_cast<u32>(x * 41 % 256) : 255u;
            src.px[static_cast<std::size_t>(y * w + x)] = a << 24 | u32(x * 2 & 255) << 16 | u32(y * 3 & 255) << 8 | u32((x ^ y) & 255);
        }
    return src;
}
} // namespace

// Turned quads large enough for several bands of rows and blocks of columns, partly off the
// target and reading partly past the source, against the pixel rule.
TEST(Raster, TurnedQuadsMatchThePixelRule) {
    const PixelStore src = TurnSource(90, 70);
    const TurnCase cases[] = {{80, 60, 90, 70, 45, 35, 0, 0},        {150.5, 10, 80, 60, 40, 30, 5, 3},
                              {-10, 100, 90, 70, 0, 70, -6, 4},       {80, 60, 120, 90, 60.5, 45, 0, 0},
                              {30, 40, 17, 3, 8, 1, 60, 60},           {80, 60, 1, 90, 0, 45, 10, 0}};
    for (double angle : {0.0, 17.0, 30.0, 90.0, 135.0, 180.0, 233.0, 270.0, -45.0})
        for (const RasterOp& op : TurnOps(src.px[5]))
            for (const TurnCase& k : cases) ExpectTurnedByThePixelRule(160, 120, src, k, angle, op);
}

// Long narrow quads across a target several blocks of columns wide and several tiles of bands
// high, at shallow and steep angles: bands whose rows meet the quad deep inside a block or in
// none of its columns, blocks the quad misses for a whole band, and a quad in a corner of a
// band only (the columns the rows miss on either side are stepped over).
TEST(Raster, NarrowTurnedQuadsAcrossWideTargets) {
    const PixelStore src = TurnSource(300, 40);
    const TurnCase cases[] = {{200, 130, 300, 9, 150, 4.5, 0, 0},  {210.25, 140.5, 290, 4, 140, 2, 7, 30},
                              {395, 255, 300, 16, 300, 16, 0, 0}, {-30, 20, 260, 30, 0, 15, 40, 10}};
    for (double angle : {3.0, 11.0, 29.0, 62.0, 88.0, 151.0, 197.0, 272.0, -17.0})
        for (const RasterOp& op : TurnOps(src.px[5]))
            for (const TurnCase& k : cases) ExpectTurnedByThePixelRule(400, 260, src, k, angle, op);
}

// The blend span over rows of every length, whose blocks of eight are opaque, transparent,
// both, or partly transparent: each pixel is the blend of its own texel.
TEST(Raster, BlendSpansMatchThePixelBlend) {
    RasterOp blend;
    blend.kind = RasterKind::Gpu;
    u32 seed = 7;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int n = 0; n <= 40; ++n)
        for (int mix = 0; mix < 4; ++mix) {
            std::vector<u32> s(static_cast<std::size_t>(n)), d(static_cast<std::size_t>(n) + 1);
            for (int i = 0; i < n; ++i) {
                const u32 v = next() >> 8, pick = (next() >> 13) % 4;
                s[static_cast<std::size_t>(i)] = mix == 0 ? v | 0xFF000000u
                                               : mix == 1 ? (pick ? v | 0xFF000000u : v)
                                               : mix == 2 ? (pick < 2 ? v : v | 0xFF000000u)
                                                          : v | (next() & 0xFF000000u);
            }
            for (u32& p : d) p = next();
            std::vector<u32> expected = d;
            for (int i = 0; i < n; ++i) expected[static_cast<std::size_t>(i)] = BlendPixel(s[static_cast<std::size_t>(i)], d[static_cast<std::size_t>(i)]);
            RasterGpuSpan(d.data(), s.data(), n, blend);
            EXPECT_EQ(d, expected) << n << " texels, mix " << mix;
        }
}

// A plain-blend quad as wide as a screen, whose rows follow each other in every order of five
// kinds (opaque, transparent, opaque and transparent, partly transparent, and opaque and
// transparent but for one partial texel at the row's end, or at its start): each pixel is the
// blend of its own texel, however the row before was drawn. Widths with and without a tail of
// fewer than eight texels, drawn past the target's left edge and inside it.
TEST(Raster, WideBlendRowsMatchThePixelBlend) {
    RasterOp blend;
    blend.kind = RasterKind::Gpu;
    u32 seed = 11;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    constexpr int kKinds = 6;
    std::vector<int> kinds;
    for (int a = 0; a < kKinds; ++a)
        for (int b = 0; b < kKinds; ++b) kinds.insert(kinds.end(), {a, b});
    const int H = static_cast<int>(kinds.size());
    for (int W : {256, 300, 263})
        for (int x : {0, -5}) {
            PixelStore src{W, H, PixelVector(static_cast<std::size_t>(W * H))};
            for (int y = 0; y < H; ++y)
                for (int c = 0; c < W; ++c) {
                    const u32 v = next() >> 8, k = static_cast<u32>(kinds[static_cast<std::size_t>(y)]);
                    const bool on = (next() >> 13) % 2 != 0;
                    u32 a = k == 0 ? 255u : k == 1 ? 0u : k == 3 ? next() >> 24 : on ? 255u : 0u;
                    if ((k == 4 && c == W - 1) || (k == 5 && c == 0)) a = 128;
                    src.px[static_cast<std::size_t>(y * W + c)] = v | a << 24;
                }
            PixelStore dst{W + 8, H, PixelVector(static_cast<std::size_t>((W + 8) * H))};
            for (u32& p : dst.px) p = next();
            PixelVector expected = dst.px;
            for (int y = 0; y < H; ++y)
                for (int c = std::max(0, -x); c < W; ++c) {
                    u32& d = expected[static_cast<std::size_t>(y * (W + 8) + x + c)];
                    d = BlendPixel(src.px[static_cast<std::size_t>(y * W + c)], d);
                }
            RasterBlit(dst, x, 0, W, H, src, 0, 0, W, H, blend);
            EXPECT_EQ(dst.px, expected) << W << " wide at " << x;
        }
}

// The small 1:1 quads of a batch, each source rectangle drawn twice with the batch's kept looks
// (looked at by the first quad, taken as kept by the second), of every width a keyed row has a
// loop of its own for and widths between them, over rows whose texels are opaque, transparent,
// opaque and transparent, partly transparent, or opaque and transparent but for one partial
// texel at the end: each pixel is the blend of its own texel, the second quad also where it is
// cut at the target's edges.
TEST(Raster, KeptLooksOfSmallQuadsDrawThePixelBlend) {
    RasterOp blend;
    blend.kind = RasterKind::Gpu;
    u32 seed = 23;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    const int widths[] = {4, 5, 8, 13, 16, 21, 24, 31, 32, 40, 48, 57, 64, 65};
    constexpr int kKinds = 5, kRows = 6, W = 70;
    PixelStore src{W, kKinds * kRows, PixelVector(static_cast<std::size_t>(W * kKinds * kRows))};
    for (int y = 0; y < src.height; ++y)
        for (int c = 0; c < W; ++c) {
            const int k = y / kRows;
            const bool on = (next() >> 13) % 3 != 0;
            u32 a = k == 0 ? 255u : k == 1 ? 0u : k == 3 ? next() >> 24 : on ? 255u : 0u;
            if (k == 4 && c == W - 1 - y % kRows) a = 77;
            src.px[static_cast<std::size_t>(y * W + c)] = (next() >> 8) | a << 24;
        }
    cTexelLooks looks;
    for (int n : widths)
        for (int k = 0; k < kKinds; ++k)
            for (int rows : {1, 3, kRows}) {
                const int sx = W - n - (k % 2), sy = k * kRows + (kRows - rows);
                PixelStore dst{100, 40, PixelVector(100 * 40)};
                for (u32& p : dst.px) p = next();
                PixelVector expected = dst.px;
                const auto expect = [&](int x, int y) {
                    for (int r = 0; r < rows; ++r)
                        for (int c = 0; c < n; ++c) {
                            if (x + c < 0 || x + c >= dst.width || y + r < 0 || y + r >= dst.height) continue;
                            u32& d = expected[static_cast<std::size_t>((y + r) * dst.width + x + c)];
                            d = BlendPixel(src.px[static_cast<std::size_t>((sy + r) * W + sx + c)], d);
                        }
                };
                looks.Clear();
                // Each cut rectangle twice too: looked at, then kept.
                for (const auto& [x, y] : {std::pair{3, 2}, std::pair{1, 10}, std::pair{-2, 20}, std::pair{-2, 30},
                                           std::pair{100 - n + 2, 12}, std::pair{100 - n + 2, 22},
                                           std::pair{30, 40 - rows + 1}, std::pair{30, 40 - rows + 1}}) {
                    RasterBlit(dst, x, y, n, rows, src, sx, sy, n, rows, blend, &looks);
                    expect(x, y);
                }
                EXPECT_EQ(dst.px, expected) << n << "x" << rows << " texels of kind " << k;
            }
    looks.Clear();
}

// A picture whose blocks are known, drawn by them: rows empty, opaque, with keyed specks, with
// partial specks, with visible texels in the last few columns after a block (a block that
// would reach past the row, or one the block before it leaves no room for, by one texel or
// more), at widths with and without a last part-block, whole and as parts, cut at every edge
// of the target: each pixel is the blend of its own texel.
TEST(Raster, PicturesWithKnownBlocksDrawThePixelBlend) {
    RasterOp blend;
    blend.kind = RasterKind::Gpu;
    u32 seed = 37;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    constexpr int kKinds = 7;
    for (int W : {5, 8, 13, 37, 64, 70}) {
        const int H = kKinds * 2;
        PixelStore src{W, H, PixelVector(static_cast<std::size_t>(W * H))};
        for (int y = 0; y < H; ++y)
            for (int c = 0; c < W; ++c) {
                const int k = y % kKinds;
                const bool speck = (next() >> 12) % 5 == 0;
                u32 a = 0;
                switch (k) {
                case 0: a = 0; break;
                case 1: a = 255; break;
                case 2: a = speck ? 255u : 0u; break;
                case 3: a = speck ? 1 + (next() >> 24) % 254 : 0u; break;
                case 4: a = c == 2 || c == W - 15 || c == W - 8 || c == W - 3 || c == W - 1 ? 200u : 0u; break;
                case 5: a = (c >= W - 10 && c < W - 6) || c == W - 2 ? 255u : 0u; break;
                default: a = speck ? 255u : next() >> 24; break;
                }
                src.px[static_cast<std::size_t>(y * W + c)] = (next() >> 8) | a << 24;
            }
        const cTexelBlocks blocks(src);
        ASSERT_EQ(blocks.Width(), W);
        struct Part {
            int sx, sy, w, h;
        };
        for (const Part& p : {Part{0, 0, W, H}, Part{1, 2, W - 1, H - 3}, Part{0, 5, std::max(1, W - 4), 6}})
            for (const auto& [x, y] : {std::pair{3, 4}, std::pair{-2, 1}, std::pair{-W + 1, 9}, std::pair{80 - W + 3, 20},
                                       std::pair{80 - 1, 0}, std::pair{10, -5}, std::pair{20, 40 - 4}}) {
                PixelStore dst{80, 40, PixelVector(80 * 40)};
                for (u32& v : dst.px) v = next();
                PixelVector expected = dst.px;
                for (int r = 0; r < p.h; ++r)
                    for (int c = 0; c < p.w; ++c) {
                        if (x + c < 0 || x + c >= dst.width || y + r < 0 || y + r >= dst.height) continue;
                        u32& d = expected[static_cast<std::size_t>((y + r) * dst.width + x + c)];
                        d = BlendPixel(src.px[static_cast<std::size_t>((p.sy + r) * W + p.sx + c)], d);
                    }
                RasterBlit(dst, x, y, p.w, p.h, src, p.sx, p.sy, p.w, p.h, blend, nullptr, &blocks);
                EXPECT_EQ(dst.px, expected) << W << " wide, part at " << p.sx << "," << p.sy << ", drawn at " << x << ","
                                            << y;
            }
    }
}

// The pixel-effect blitters of DirectDraw walk only the part inside both surfaces: a half-alpha
// blit past the back buffer's right edge leaves the start of the next row alone, and one from
// past the picture's right edge mixes nothing into the columns beyond it.
TEST(PixelEffectClip, HalfAlphaStaysInsideBothSurfaces) {
    ScopedMode mode(kDD);
    TempDir dir;
    DDSURFACEDATA pic;
    ASSERT_TRUE(MakePicture(&pic, dir, "n.bmp", Numbered(), 0));
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDFillSurface(back, 1);
    const u32 blank = PixelAt(back, 0, 11);
    ASSERT_EQ(DDBltHalfAlpha(back, 620, 10, 64, 32, &pic, 0, 0, 0, nullptr), 1);
    EXPECT_NE(PixelAt(back, 630, 20), blank);
    EXPECT_EQ(PixelAt(back, 0, 11), blank);
    ASSERT_EQ(DDBltHalfAlpha(back, 100, 300, 64, 32, &pic, 40, 0, 0, nullptr), 1);
    EXPECT_NE(PixelAt(back, 100 + 20, 310), blank);
    EXPECT_EQ(PixelAt(back, 100 + 30, 310), blank);
}

// A mosaic whose rectangle runs past the target's right edge: the blocks beyond the edge have
// nothing inside the target and draw nothing (they once filled backwards through memory); the
// blocks across the edge fill up to it, sampled (Direct3D) or averaged (DirectDraw).
TEST(PixelEffectClip, MosaicBlocksPastTheRightEdgeDrawNothing) {
    for (const GfxMode m : {kD3D, kDD}) {
        ScopedMode mode(m);
        TempDir dir;
        DDSURFACEDATA pic;
        ASSERT_TRUE(MakePicture(&pic, dir, "n.bmp", Numbered(), 0));
        DDSURFACEDATA* back = &g_sdBackBuffer;
        DDFillSurface(back, 1);
        const u32 blank = PixelAt(back, 0, 401);
        DDMosaic(back, 602, 395, 280, 106, 2, &pic, -1, 8, 0);
        DDMosaic(back, 630, 380, 64, 32, 4, &pic, 8, 8, 0);
        EXPECT_NE(PixelAt(back, 639, 397), blank) << ModeName(m);
        EXPECT_NE(PixelAt(back, 639, 381), blank) << ModeName(m);
        EXPECT_EQ(PixelAt(back, 0, 401), blank) << ModeName(m);
        DDReleaseSurface(&pic);
    }
}
