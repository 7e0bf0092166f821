// The demo frame (every kind of drawing call) per personality: probe pixels for what each
// call must do, and the whole frame against goldens a person has looked at.
#include <gtest/gtest.h>

#include <set>

#include "platform/graphics/Presenter.h"
#include "platform/graphics/demo/DemoScene.h"
#include "tests/platform/graphics/GfxTestUtil.h"

#if defined(__SANITIZE_ADDRESS__)
// The leak check's thread tracer crashed at the exit of this program ("Tracer caught signal 11"
// while it read the main thread's dynamic TLS at a wild address, after the font library and its
// dependencies were loaded at run time), depending only on how the program was laid out: a fault
// of the sanitizer's runtime, not of ours. This program's leak check leaves thread-local storage
// out of its roots; what SDL keeps only there (its error texts, the loader's lists of dependencies)
// then reads as leaked and is set aside by name.
extern "C" const char* __lsan_default_options() { return "use_tls=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2-2.0.so\nleak:_dl_map_object_deps\n"; }
#endif

namespace {

struct Frame {
    std::vector<u32> px;
    int w = 0, h = 0;
    u32 At(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x] & 0xFFFFFF; }
    int Count(int x0, int y0, int x1, int y1, u32 rgb) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += At(x, y) == rgb;
        return n;
    }
};

Frame DrawDemo(GfxMode m) {
    TempDir dir;
    cMemoryPresenter mem;
    SetPresenter(&mem);
    DDTestSetDisplayRefresh(60);
    DemoConfig cfg;
    cfg.direct3D = m.direct3D;
    cfg.bpp = m.bpp;
    cfg.pictureDir = dir.Dir();
    Frame f;
    EXPECT_TRUE(WriteDemoPictures(cfg.pictureDir));
    EXPECT_TRUE(DemoBegin(cfg));
    DemoDrawFrame();
    if (m.direct3D) EXPECT_EQ(DDFlip(60, 0, 0), 1u);
    else DDPresent();
    DemoEnd();
    SetPresenter(nullptr);
    DDTestSetDisplayRefresh(0);
    f.px = mem.Frame();
    f.w = mem.Width();
    f.h = mem.Height();
    return f;
}

class DemoFrame : public ::testing::TestWithParam<GfxMode> {};

} // namespace

TEST_P(DemoFrame, ProbesShowWhatEachCallDoes) {
    const GfxMode m = GetParam();
    const Frame f = DrawDemo(m);
    ASSERT_EQ(f.w, 640);
    ASSERT_EQ(f.h, 480);
    using L = DemoLayout;
    // At 16 bits every colour is the one the personality's format holds.
    const auto c = [&](u32 rgb) { return Reduced(rgb, m); };
    const u32 red = c(0xE02020), black = 0, magenta = 0xFF00FF;
    // Colour-keyed chips: the shape drawn, the key colour not.
    EXPECT_EQ(f.At(L::kKeyedX + 16, L::kKeyedY + 16), red);
    EXPECT_NE(f.At(L::kKeyedX + 30, L::kKeyedY + 1), magenta);
    // An opaque copy of a keyed picture leaves the key colour in both personalities.
    EXPECT_EQ(f.At(L::kOpaqueX + 1, L::kOpaqueY + 1), magenta);
    // Stretch 2x: the bar (columns 2..5) becomes columns 4..11.
    EXPECT_EQ(f.At(L::kStretchX + 4, L::kStretchY + 20), black);
    EXPECT_EQ(f.At(L::kStretchX + 11, L::kStretchY + 20), black);
    EXPECT_NE(f.At(L::kStretchX + 12, L::kStretchY + 20), black);
    // Mirrored by a negative width and by mirror cells: the bar moves to columns 26..29.
    for (int x0 : {L::kMirrorX, L::kMirrorCellX}) {
        EXPECT_EQ(f.At(x0 + 27, L::kMirrorY + 10), black) << x0;
        EXPECT_NE(f.At(x0 + 3, L::kMirrorY + 10), black) << x0;
    }
    // Alpha: blended in Direct3D; in DirectDraw any pixel that is not the key is opaque.
    const u32 orbEdge = f.At(L::kAlphaX + 2, L::kAlphaY + 16);
    if (m.direct3D) {
        EXPECT_NE(orbEdge, 0xFFC840u);
    } else if (m.bpp != 8) {
        EXPECT_EQ(orbEdge, c(0xFFC840u));
    }
    // Modulation is Direct3D's only. At 16 bits the texel (27, 3, 3) times (1, 1/2, 1/2) goes
    // to its nearest step (27, 1, 1).
    EXPECT_EQ(f.At(L::kTintX + 16, L::kTintY + 16), m.direct3D ? (m.bpp == 16 ? 0xDE0808u : 0xE01010u) : red);
    // Fills: palette colours 3, 4, 5 side by side; the negative-x fill reaches column 0.
    EXPECT_EQ(f.At(L::kFillX + 1, L::kFillY + 1), red);
    EXPECT_EQ(f.At(L::kFillX + 45, L::kFillY + 1), c(0x20C040u));
    EXPECT_EQ(f.At(0, L::kFillY + 25), c(0xF0E040u));
    EXPECT_EQ(f.At(29, L::kFillY + 25), c(0xF0E040u));
    // Text at three sizes: each line has pixels of its font's colour.
    EXPECT_GT(f.Count(8, L::kTextY, 330, L::kTextY + 10, 0xFFFFFF), 60);
    EXPECT_GT(f.Count(8, L::kTextY + 16, 330, L::kTextY + 32, c(0xF0E040)), 40);
    EXPECT_GT(f.Count(8, L::kTextY + 40, 330, L::kTextY + 72, c(0x40E0E0)), 400);
    // Nothing on a 16-bit screen is a colour its format cannot hold.
    EXPECT_EQ(OffGrid(f.px, m), 0);
    if (m.bpp == 8) {
        // Every colour on screen comes from the display palette.
        std::set<u32> colours(f.px.begin(), f.px.end());
        EXPECT_LE(colours.size(), 256u);
    }
}

TEST_P(DemoFrame, MatchesGolden) {
    const GfxMode m = GetParam();
    const Frame f = DrawDemo(m);
    const std::string name = std::string("demo_") + (m.direct3D ? "d3d" : "dd") + std::to_string(m.bpp);
    EXPECT_TRUE(MatchesGolden(name, f.px, f.w, f.h));
}

INSTANTIATE_TEST_SUITE_P(Personalities, DemoFrame,
                         ::testing::Values(GfxMode{true, 32}, GfxMode{true, 16}, GfxMode{false, 32}, GfxMode{false, 16},
                                           GfxMode{false, 8}),
                         [](const auto& info) { return ModeName(info.param); });
