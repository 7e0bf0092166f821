// Frame cycle: scene, virtual back buffer, flip and pacing, presenters, message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "platform/graphics/Presenter.h"
#include "platform/graphics/Raster.h"
#include "platform/system/Clock.h"
#include "platform/system/MessageBox.h"
#include "platform/system/StreamedRows.h"
#include "platform/system/Timers.h"
#include "tests/platform/graphics/GfxTestUtil.h"

namespace {

struct PresenterScope {
    cMemoryPresenter mem;
    PresenterScope() { SetPresenter(&mem); }
    ~PresenterScope() { SetPresenter(nullptr); }
};
} // namespace

TEST(Frame, SceneOpensOnceAndFlipPresents) {
    PresenterScope p;
    ScopedMode mode(kD3D);
    EXPECT_EQ(DDBeginScene(), 1u);
    EXPECT_EQ(DDBeginScene(), 1u);
    EXPECT_EQ(lpDTCon->nBeginSceneCalls, 1u);
    D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF336699);
    EXPECT_EQ(DDFlip(60, 0, 0), 1u);
    EXPECT_EQ(lpDTCon->bInScene, 0u);
    ASSERT_EQ(p.mem.FrameCount(), 1u);
    EXPECT_EQ(p.mem.Width(), 640);
    EXPECT_EQ(p.mem.Frame()[1000], 0xFF336699u);
    DDFillRect(&g_sdBackBuffer, 0, 0, 1, 1, 3);
    EXPECT_EQ(lpDTCon->nBeginSceneCalls, 2u) << "the next frame's first draw opens a new scene";
    DDTestLoseDevice(true);
    EXPECT_EQ(DDFlip(60, 0, 0), 0u);
    EXPECT_EQ(DDSetRenderTarget(0, &g_sdWork), 1u);
    DDSURFACEDATA file;
    EXPECT_EQ(DDSetRenderTarget(0, &file), 0u);
}

TEST(Frame, VirtualBackBufferRedirectsAndIsCopiedWhenSwitchedOff) {
    ScopedMode mode(kD3D);
    D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF000010);
    DDSetRenderToVirtual(1);
    EXPECT_EQ(lpDTCon->lpRenderTarget, &g_sdBackBuffer);
    DDSURFACEDATA* target = &g_sdBackBuffer;
    EXPECT_EQ(DDSetDrawTarget(&target), 1u);
    EXPECT_EQ(target, &g_sdVirBackBuffer);
    D3DFillRect(&g_sdBackBuffer, 0, 0, 8, 8, 0xFF00FF00);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 1), 0xFF000010u) << "drawn into the virtual buffer";
    EXPECT_EQ(PixelAt(&g_sdVirBackBuffer, 1, 1), 0xFF00FF00u);
    DDSetRenderToVirtual(0);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 1), 0xFF00FF00u) << "switching off copies first";
    // The copy ignores the virtual buffer's alpha: its transparent pixels arrive as black.
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 100, 100), 0xFF000000u);
    target = &g_sdBackBuffer;
    EXPECT_EQ(DDSetDrawTarget(&target), 0u);
}

// A presenter that shows frames on the display's vertical blank at 60 frames a second.
class cVblankPresenter : public cMemoryPresenter {
public:
    bool PacesAt(u32 fps) override { return fps == 60; }
    void WaitFrame() override { ++waits; }
    int waits = 0;
};

TEST(Frame, FlipPacesOnceAFrameAtTheGamesRateOnAnyDisplay) {
    cStepClock clock(1000);
    SetClock(&clock);
    ResetTimers();
    for (int hz : {60, 75}) {
        // Vsync on: kept on a 60 Hz display, dropped on another; either way the stage's 30.
        DDTestSetDisplayRefresh(hz);
        ResetTimers();
        const u64 start = clock.NowMs();
        ASSERT_TRUE(DDInit(true, MainWindowHandle(), 640, 480, 32, 1, 1, 1, 60, 1, nullptr, nullptr, 0, 0));
        EXPECT_EQ(g_DDGraphics.vsync, hz == 60 ? 1u : 0u);
        for (int i = 0; i < 7; ++i) DDFlip(30, 0, 0);
        EXPECT_GE(clock.NowMs() - start, 200u) << hz << ": six intervals of the game's 30 frames";
        EXPECT_LT(clock.NowMs() - start, 250u) << hz;
        DDRelease();
    }
    // A presenter that waits for the display's blank paces the 60 frames itself: the clock
    // does not wait on top of it.
    cVblankPresenter vblank;
    SetPresenter(&vblank);
    DDTestSetDisplayRefresh(60);
    ResetTimers();
    ASSERT_TRUE(DDInit(true, MainWindowHandle(), 640, 480, 32, 1, 1, 1, 60, 1, nullptr, nullptr, 0, 0));
    const u64 before = clock.NowMs();
    for (int i = 0; i < 7; ++i) DDFlip(60, 0, 0);
    EXPECT_EQ(vblank.waits, 7);
    EXPECT_LT(clock.NowMs() - before, 20u);
    DDRelease();
    SetPresenter(nullptr);
    DDTestSetDisplayRefresh(0);
    SetClock(nullptr);
    ResetTimers();
}

TEST(Frame, PacingGoesOnPastTheThirtyTwoBitMillisecond) {
    // 49.7 days of uptime: a 32-bit millisecond count would wrap here and stall the wait.
    cStepClock clock((u64(1) << 32) - 20);
    SetClock(&clock);
    ResetTimers();
    {
        ScopedMode mode(kD3D);
        for (int i = 0; i < 10; ++i) EXPECT_EQ(DDFlip(60, 0, 0), 1u);
        EXPECT_GT(clock.NowMs(), u64(1) << 32);
        EXPECT_LT(clock.NowMs(), (u64(1) << 32) + 200);
    }
    SetClock(nullptr);
    ResetTimers();
}

TEST(Frame, DirectDrawPresentsThroughTheDisplayPalette) {
    PresenterScope p;
    ScopedMode mode({false, 8});
    DDFillSurface(&g_sdBackBuffer, 3);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 0, 0), 3u);
    EXPECT_EQ(DDFlip(60, 0, 0), 1u);
    EXPECT_EQ(p.mem.FrameCount(), 0u) << "DirectDraw's flip is the application's present";
    DDPresent();
    ASSERT_EQ(p.mem.FrameCount(), 1u);
    EXPECT_EQ(p.mem.Frame()[0], 0xFFFF0000u);
    g_palDisplay[3] = PALETTEENTRY{0, 0, 255, 1}; // a palette effect changes what is shown
    DDPresent();
    EXPECT_EQ(p.mem.Frame()[0], 0xFF0000FFu);
}

// Every pixel of an 8-bit frame goes through the display palette by its low byte, whatever the
// bits above it hold: in the kept frame, in what the default conversion hands a presenter and
// in the snapshot, against the palette looked up pixel by pixel; and rows of every length up to
// a few blocks of eight, starting at every place in an aligned block, through the conversion
// itself, stored plainly and streamed, with nothing written before or past them.
TEST(Frame, EightBitFramesGoThroughThePaletteEveryPixel) {
    struct Capture : cPresenter {
        std::vector<u32> got;
        void Present(const u32* argb, int width, int height) override {
            got.assign(argb, argb + static_cast<std::size_t>(width) * height);
        }
    };
    PresenterScope p;
    ScopedMode mode({false, 8});
    u32 seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (PALETTEENTRY& e : g_palDisplay) e = PALETTEENTRY{u8(next() >> 24), u8(next() >> 24), u8(next() >> 24), 1};
    PixelStore& back = *SurfacePixels(&g_sdBackBuffer);
    for (u32& px : back.px) px = next();
    auto colour = [](u32 px) {
        const PALETTEENTRY& e = g_palDisplay[px & 255];
        return 0xFF000000u | u32(e.peRed) << 16 | u32(e.peGreen) << 8 | e.peBlue;
    };
    std::vector<u32> expected;
    for (const u32 px : back.px) expected.push_back(colour(px));
    DDPresent();
    EXPECT_EQ(p.mem.Frame(), expected);
    std::vector<u32> snapshot;
    i32 w = 0, h = 0;
    DDSnapshotFrame(&snapshot, &w, &h);
    EXPECT_EQ(snapshot, expected);
    Capture capture;
    SetPresenter(&capture);
    DDPresent();
    EXPECT_EQ(capture.got, expected);
    SetPresenter(&p.mem);
    u32 lut[256];
    for (u32& c : lut) c = next() & 0x00FFFFFFu;
    alignas(64) u32 out[64];
    for (const bool streamed : {false, true})
        for (std::size_t at = 0; at < 8; ++at)
            for (std::size_t n = 0; n <= 40; ++n) {
                std::fill(std::begin(out), std::end(out), 0xDEADBEEFu);
                PaletteFrame(out + at, back.px.data() + 7 * n, lut, n, 0x5A000000u, streamed);
                for (std::size_t i = 0; i < 64; ++i) {
                    const u32 want = i >= at && i < at + n ? lut[back.px[7 * n + i - at] & 255] | 0x5A000000u : 0xDEADBEEFu;
                    ASSERT_EQ(out[i], want) << streamed << " " << at << " " << n << " " << i;
                }
            }
}

// Every pixel of a frame at 32 and 16 bits reaches the kept frame as the back buffer holds it,
// made opaque, whatever its alpha byte held (a Direct3D back buffer's transparent black shows
// black).
TEST(Frame, EveryPixelReachesTheKeptFrameOpaque) {
    for (const GfxMode m : {kD3D, kDD, GfxMode{true, 16}, GfxMode{false, 16}}) {
        PresenterScope p;
        ScopedMode mode(m);
        u32 seed = 777;
        PixelStore& back = *SurfacePixels(&g_sdBackBuffer);
        for (u32& px : back.px) px = seed = seed * 1664525u + 1013904223u;
        back.px[0] = 0;
        std::vector<u32> expected;
        for (const u32 px : back.px) expected.push_back(px | 0xFF000000u);
        DDPresent();
        ASSERT_EQ(p.mem.Width(), 640);
        ASSERT_EQ(p.mem.Height(), 480);
        EXPECT_EQ(p.mem.Frame(), expected) << ModeName(m);
    }
}

// The streamed rows the kept frame is written with, of every length up to a few blocks and
// starting at every place in an aligned block: the pixels before the first whole block and after
// the last go plainly, the rest streamed, and nothing is written before or past the row.
TEST(Frame, StreamedRowsOfEveryLengthAndStart) {
    u32 seed = 5;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    std::vector<u32> in(64);
    for (u32& p : in) p = next();
    u32 lut[256];
    for (u32& c : lut) c = next() & 0x00FFFFFFu;
    alignas(64) u32 out[64];
    for (const bool palette : {false, true})
        for (std::size_t at = 0; at < 8; ++at)
            for (std::size_t n = 0; n <= 40; ++n) {
                std::fill(std::begin(out), std::end(out), 0xDEADBEEFu);
                if (palette) StreamedPaletteRow(out + at, in.data(), lut, n, 0x5A000000u);
                else StreamedCopyRow(out + at, in.data(), n, 0x5A000000u);
                StreamedDone();
                for (std::size_t i = 0; i < 64; ++i) {
                    u32 want = 0xDEADBEEFu;
                    if (i >= at && i < at + n) want = (palette ? lut[in[i - at] & 255] : in[i - at]) | 0x5A000000u;
                    ASSERT_EQ(out[i], want) << palette << " " << at << " " << n << " " << i;
                }
            }
}

// The memory presenter's frames of every size up to a few blocks of streamed stores, from a
// frame wherever the heap put it: the pixels before the first whole block and after the last go
// plainly, and every pixel reaches the kept frame opaque.
TEST(Frame, KeptFramesOfEverySmallSize) {
    u32 seed = 9;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    std::vector<u32> in(64);
    for (u32& p : in) p = next();
    cMemoryPresenter mem;
    for (int h = 1; h <= 3; ++h)
        for (int w = 1; w <= 21; ++w) {
            mem.Present(in.data() + w % 4, w, h);
            std::vector<u32> want(in.begin() + w % 4, in.begin() + w % 4 + w * h);
            for (u32& p : want) p |= 0xFF000000u;
            ASSERT_EQ(mem.Frame(), want) << w << "x" << h;
            ASSERT_EQ(mem.Width(), w);
            ASSERT_EQ(mem.Height(), h);
        }
}

TEST(Frame, FullScreenFlipChainHoldsTheFramesShownBefore) {
    // Frames of palette colours 3, 4, 5 flipped in turn: every flip shows the frame just drawn,
    // and the back buffer then holds the one shown a flip before (one back buffer) or two
    // flips before (two); in a window the back buffer keeps its frame.
    for (u32 backBuffers : {1u, 2u, 0u}) {
        PresenterScope p;
        SetTestPalette();
        const u32 windowMode = backBuffers ? 0 : 1;
        ASSERT_TRUE(DDInit(false, MainWindowHandle(), 64, 48, 32, 0, windowMode, backBuffers == 2 ? 2 : 1, 60, 0, nullptr,
                           nullptr, 0, 0));
        std::vector<u32> backAfter;
        for (u32 colour : {3u, 4u, 5u}) {
            DDFillRect(&g_sdBackBuffer, 0, 0, 64, 48, colour);
            const u32 drawn = PixelAt(&g_sdBackBuffer, 5, 5);
            DDPresent();
            EXPECT_EQ(p.mem.Frame()[5 * 64 + 5] & 0xFFFFFF, drawn & 0xFFFFFF);
            backAfter.push_back(PixelAt(&g_sdBackBuffer, 5, 5) & 0xFFFFFF);
        }
        const u32 none = PalNumToRGB(0) & 0xFFFFFF, c3 = PalNumToRGB(3) & 0xFFFFFF, c4 = PalNumToRGB(4) & 0xFFFFFF,
                  c5 = PalNumToRGB(5) & 0xFFFFFF;
        const std::vector<std::vector<u32>> expected = {{c3, c4, c5}, {none, c3, c4}, {none, none, c3}};
        EXPECT_EQ(backAfter, expected[backBuffers]) << backBuffers;
        if (windowMode == 0) {
            EXPECT_EQ(PixelAt(&g_sdPrimary, 5, 5) & 0xFFFFFF, c5) << "the front shows the last frame";
        }
        DDRelease();
    }
}

TEST(Frame, PngDumpAndMessageBox) {
    TempDir dir;
    cPngDumpPresenter dump(dir.Path("frame"), 2);
    SetPresenter(&dump);
    {
        ScopedMode mode({false, 32});
        DDFillSurface(&g_sdBackBuffer, 4);
        DDPresent();
        DDPresent();
        DDPresent();
    }
    SetPresenter(nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir.Path("frame_000000.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.Path("frame_000001.png")));
    EXPECT_TRUE(std::filesystem::exists(dir.Path("frame_000002.png")));
    std::vector<u32> px;
    int w = 0, h = 0;
    ASSERT_TRUE(ReadPngFile(dir.Path("frame_000000.png"), &px, &w, &h));
    EXPECT_EQ(px[5], 0xFF00FF00u);

    std::string shown;
    SetMessageBoxSink([&](const std::string& text, const std::string&, u32) {
        shown = text;
        return IDOK;
    });
    EXPECT_EQ(DDMesBox("テスト", "caption", 0), 1u);
    SetMessageBoxSink(nullptr);
    EXPECT_EQ(shown, "テスト");
}
