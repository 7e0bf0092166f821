// Pictures on the play field: placement by kind, scaling, fixing to the screen or the stage,
// following a character, and the count of a timed picture; read back as the drawn rectangle.
#include <gtest/gtest.h>

#include <sstream>

#include "play/effects/Picture.h"
#include "tests/platform/graphics/GfxTestUtil.h"

namespace {

class PlayPicture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mode.ok);
        ASSERT_TRUE(MakePicture(&pic, dir, "p.bmp", MakeImage(20, 10, [](int, int) { return 0xFF20C040u; }), 1));
    }
    void TearDown() override { DDReleaseSurface(&pic); }
    // The rectangle drawn by one call ("x,y wxh", "-" for nothing) and the call's result.
    std::string Draw(PictureParam& b, const PictureView& view, i32 noStep = 0) {
        DDFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 1);
        const u32 bg = PixelAt(&g_sdBackBuffer, 0, 0);
        const i32 r = DrawPlayPicture(b, &g_sdBackBuffer, &pic, noStep, view);
        int x0 = 640, y0 = 480, x1 = -1, y1 = -1;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (PixelAt(&g_sdBackBuffer, x, y) != bg) {
                    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
                }
        std::ostringstream os;
        if (x1 < 0) os << "-";
        else os << x0 << "," << y0 << " " << (x1 - x0 + 1) << "x" << (y1 - y0 + 1);
        if (r) os << " end";
        return os.str();
    }
    PictureParam Block(i32 placement, i32 fix, i32 scale, i32 displayMode = 0, i32 frames = 0, i32 paused = 0) {
        PictureParam b;
        EffectParamSet(b, 3, placement, 2, 1, 5, -3, 20, 10, fix, 7, scale, displayMode, frames, paused, 42, 8, 9);
        return b;
    }
    ScopedMode mode{GfxMode{false, 32}};
    TempDir dir;
    DDSURFACEDATA pic;
};

} // namespace

TEST_F(PlayPicture, PlacementsScaleAndFixing) {
    PictureView view;
    view.dScrollX = 100.25;
    view.dScrollY = 40.75;
    view.nOriginX = 10;
    view.nOriginY = 10;
    double cx = 300, cy = 200;
    bool alive = true;
    view.findCentre = [&](i32 id, double* x, double* y) {
        if (id != 42 || !alive) return false;
        *x = cx;
        *y = cy;
        return true;
    };
    PictureParam b = Block(PICTURE_SCREEN_CENTRE, 1, 100);
    // Screen centre, fixed to the screen: 320 + 5 - 10, 240 - 3 - 5.
    EXPECT_EQ(Draw(b, view), "315,232 20x10");
    // 50 % of 20 x 10; 33 % rounds half away from zero (6.6 -> 7, 3.3 -> 3).
    b = Block(PICTURE_SCREEN_CENTRE, 1, 50);
    EXPECT_EQ(Draw(b, view), "320,235 10x5");
    b = Block(PICTURE_SCREEN_CENTRE, 1, 33);
    EXPECT_EQ(b.nWidth, 7);
    EXPECT_EQ(b.nHeight, 3);
    b = Block(PICTURE_SCREEN_CENTRE, 1, 75);
    EXPECT_EQ(b.nHeight, 8); // 7.5 -> 8
    // Screen cell, not fixed: pinned to the stage where it first appeared, so it moves against
    // the scroll (2 x 32 + 5, 1 x 32 - 3).
    b = Block(PICTURE_SCREEN_CELL, 0, 100);
    EXPECT_EQ(Draw(b, view), "69,29 20x10");
    view.dScrollX += 30;
    view.dScrollY -= 4;
    EXPECT_EQ(Draw(b, view), "39,33 20x10");
    // Stage cell: relative to the stage's origin, minus the scroll ((10 + 2) x 32 + 5 - 130.25, (10 + 1) x 32 - 3 - 36.75).
    b = Block(PICTURE_STAGE_CELL, 0, 100);
    EXPECT_EQ(Draw(b, view), "258,312 20x10");
    // ... and with fix, the first screen spot is kept whatever the scroll.
    b = Block(PICTURE_STAGE_CELL, 1, 100);
    EXPECT_EQ(Draw(b, view), "258,312 20x10");
    view.dScrollX = 0;
    EXPECT_EQ(Draw(b, view), "258,312 20x10");
    // Following a character: its centre minus half the picture, minus the whole scroll.
    view.dScrollY = 0;
    b = Block(PICTURE_ON_CHARA, 0, 100);
    EXPECT_EQ(Draw(b, view), "295,192 20x10");
    cx = 310;
    EXPECT_EQ(Draw(b, view), "305,192 20x10");
    // A character that has gone leaves the picture where it was last seen.
    alive = false;
    EXPECT_EQ(Draw(b, view), "305,192 20x10");
}

TEST_F(PlayPicture, TimedPicturesCountTheirFrames) {
    PictureView view;
    // Frames n: drawn n times, then removed; frames 0 is never drawn.
    PictureParam b = Block(PICTURE_SCREEN_CENTRE, 1, 100, PICTURE_TIMED, 2);
    EXPECT_EQ(Draw(b, view), "315,232 20x10");
    EXPECT_EQ(Draw(b, view), "315,232 20x10");
    EXPECT_EQ(Draw(b, view), "- end");
    b = Block(PICTURE_SCREEN_CENTRE, 1, 100, PICTURE_TIMED, 0);
    EXPECT_EQ(Draw(b, view), "- end");
    // A redraw does not count unless the picture counts while paused.
    b = Block(PICTURE_SCREEN_CENTRE, 1, 100, PICTURE_TIMED, 1);
    EXPECT_EQ(Draw(b, view, 1), "315,232 20x10");
    EXPECT_EQ(Draw(b, view, 1), "315,232 20x10");
    EXPECT_EQ(Draw(b, view), "315,232 20x10");
    EXPECT_EQ(Draw(b, view), "- end");
    b = Block(PICTURE_SCREEN_CENTRE, 1, 100, PICTURE_TIMED, 1, 1);
    EXPECT_EQ(Draw(b, view, 1), "315,232 20x10");
    EXPECT_EQ(Draw(b, view, 1), "- end");
    // Untimed pictures stay until removed.
    b = Block(PICTURE_SCREEN_CENTRE, 1, 100, 1, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Draw(b, view), "315,232 20x10");
}
