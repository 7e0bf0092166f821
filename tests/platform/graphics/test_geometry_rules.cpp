// The blitters that move pixels (scaled quads, the turn) against their rules, pixel by pixel,
// in every personality: random source and target pixels (keyed ones among them), drawn through
// each blitter's own entry point, and compared with what the rule written out plainly gives.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/graphics/Raster.h"
#include "tests/platform/graphics/GfxTestUtil.h"

namespace {

class GeometryRulesTest : public ::testing::TestWithParam<GfxMode> {
protected:
    void SetUp() override {
        mode = std::make_unique<ScopedMode>(GetParam());
        ASSERT_TRUE(mode->ok);
        // A keyed picture as the Direct3D quads draw from (a texture), a work surface as the target.
        ASSERT_TRUE(DDCreateSurface(&src, kW, kH, 1, 0, DTMEMORYTYPE_VIDEO_NORT));
        ASSERT_TRUE(DDCreateSurface(&dst, kW, kH, 1, 0, DTMEMORYTYPE_VIDEO_RT));
    }
    void TearDown() override {
        DDReleaseSurface(&src);
        DDReleaseSurface(&dst);
        mode.reset();
    }
    // Random pixels in both surfaces, about one source pixel in six of the key colour; in
    // Direct3D the texels opaque or transparent, as a loaded picture's are.
    void Randomise(u32 seed) { RandomisePair(Src(), Dst(), seed, lpDTCon != nullptr); }
    // The op a quad is drawn with: the Direct3D state's combiner and blend, or DirectDraw's
    // keyed or plain copy.
    static RasterOp QuadOp(u32 flags) {
        RasterOp op;
        if (lpDTCon) {
            op.kind = RasterKind::Gpu;
            op.diffuse = lpDTCon->dwQuadColor;
            op.colorOp = lpDTCon->dwColorOp;
            op.alphaOp = lpDTCon->dwAlphaOp;
            op.textureFactor = lpDTCon->dwTextureFactor;
        } else if (flags == DDBLT_KEY) {
            const KeyTest k = ModeKeyTest();
            op.kind = RasterKind::DDKey;
            op.key = k.value;
            op.keyMask = k.mask;
        }
        return op;
    }
    PixelStore& Src() { return *SurfacePixels(&src); }
    PixelStore& Dst() { return *SurfacePixels(&dst); }
    static constexpr int kW = 150, kH = 90;
    std::unique_ptr<ScopedMode> mode;
    DDSURFACEDATA src, dst;
};

i64 FloorDivision(i64 a, i64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

} // namespace

// Scaled quads (the zoom's): target column c of the clipped rectangle takes source column
// sx + floor((2c + 1) sw / 2w), and likewise the rows; each pixel inside both surfaces through
// the quad's op. Magnified, shrunk a little and much, mirrored, odd sizes, clipped on every
// side and at the source's last columns, a single pixel.
TEST_P(GeometryRulesTest, ScaledQuadsMatchThePixelRule) {
    struct Case {
        i32 x, y, w, h, sx, sy, sw, sh;
    };
    const Case cases[] = {{0, 0, 150, 90, 20, 10, 75, 45},  {3, 2, 131, 77, 5, 7, 97, 61},   {-9, -4, 160, 100, 0, 0, 150, 90},
                          {100, 50, 90, 70, 120, 60, 37, 29}, {10, 10, 40, 30, 0, 0, 100, 80}, {2, 1, 70, 50, 3, 4, 79, 56},
                          {5, 5, 61, 41, 80, 10, -30, 20},  {7, 3, 1, 5, 10, 10, 3, 2},      {20, 20, 45, 27, 140, 81, 10, 9}};
    int round = 0;
    for (const bool opaque : {false, true})
        for (const u32 flags : {0u, u32(DDBLT_KEY)})
            for (const Case& k : cases) {
                // Under Direct3D a keyed texture's quad without the key flag clears its rectangle
                // first: a rule of its own, left to the blit tests.
                if (lpDTCon && flags == 0) continue;
                Randomise(static_cast<u32>(500 + round++));
                // The zoom draws with the alpha operation off: every texel an opaque copy.
                if (opaque) D3DSetAlphaOp(D3DTOP_DISABLE);
                i32 x = k.x, y = k.y, w = k.w, h = k.h, sx = k.sx, sy = k.sy, sw = k.sw, sh = k.sh;
                PixelStore copy = Dst();
                if (DDClipBlt(&dst, &x, &y, &w, &h, &src, &sx, &sy, &sw, &sh)) {
                    const RasterOp op = QuadOp(flags);
                    for (i64 r = 0; r < h; ++r)
                        for (i64 c = 0; c < w; ++c) {
                            const i64 u = sx + FloorDivision((2 * c + 1) * sw, 2 * i64(w));
                            const i64 v = sy + FloorDivision((2 * r + 1) * sh, 2 * i64(h));
                            const i64 tx = x + c, ty = y + r;
                            if (u < 0 || v < 0 || u >= kW || v >= kH || tx < 0 || ty < 0 || tx >= kW || ty >= kH) continue;
                            RasterPixel(copy.px[static_cast<std::size_t>(ty * kW + tx)], Src().px[static_cast<std::size_t>(v * kW + u)], op);
                        }
                }
                D3DBltQuad(&dst, k.x, k.y, k.w, k.h, &src, k.sx, k.sy, k.sw, k.sh, flags);
                DDEndScene();
                if (opaque) D3DResetAlphaOp();
                ASSERT_EQ(Dst().px, copy.px) << "opaque " << opaque << " flags " << flags << " at " << k.x << "," << k.y << " "
                                             << k.w << "x" << k.h << " from " << k.sw << "x" << k.sh;
            }
}

INSTANTIATE_TEST_SUITE_P(Personalities, GeometryRulesTest,
                         ::testing::Values(GfxMode{true, 32}, GfxMode{true, 16}, GfxMode{false, 32}, GfxMode{false, 16},
                                           GfxMode{false, 8}),
                         [](const auto& info) { return ModeName(info.param); });

// 1:1 keyed quads of every width up to a few blocks of eight and some wider (each width a
// row loop of its own or the general one with its last pixels alone), one row to many, inside
// and cut by the target's left and right edges to those widths, against the quad's op pixel by
// pixel.
TEST_P(GeometryRulesTest, OneToOneKeyedQuadsOfEveryWidthMatchThePixelRule) {
    int round = 0;
    for (i32 w = 1; w <= 72; w += (w < 66 ? 1 : 3))
        for (const i32 h : {1, 5, 33})
            for (const i32 x : {7, -8, kW - w + 8}) {
                Randomise(static_cast<u32>(900 + round++));
                const i32 y = (w * 7) % (kH - h), sx = (w * 13) % 40, sy = (w + h) % (kH - h);
                PixelStore copy = Dst();
                const RasterOp op = QuadOp(DDBLT_KEY);
                for (i32 r = 0; r < h; ++r)
                    for (i32 c = 0; c < w; ++c) {
                        const i32 tx = x + c, ty = y + r;
                        if (tx < 0 || tx >= kW) continue;
                        RasterPixel(copy.px[static_cast<std::size_t>(ty * kW + tx)],
                                    Src().px[static_cast<std::size_t>((sy + r) * kW + sx + c)], op);
                    }
                DDBlt(&dst, x, y, w, h, &src, sx, sy, DDBLT_KEY);
                DDEndScene();
                ASSERT_EQ(Dst().px, copy.px) << w << "x" << h << " at " << x << "," << y << " from " << sx << "," << sy;
            }
}
