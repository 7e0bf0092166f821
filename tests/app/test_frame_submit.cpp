// Frames handed to the window: every pixel reaches the mailbox as the game drew it (8-bit ones
// through their palette), from rows of any pitch, whatever the rows' streamed stores start on.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "platform/system/AppWindow.h"
#include "platform/system/StreamedRows.h"

namespace {
constexpr int kW = 640, kH = 480;

u32 Next(u32& seed) { return seed = seed * 1664525u + 1013904223u; }
} // namespace

TEST(FrameSubmit, EveryPixelReachesTheMailboxFromRowsOfAnyPitch) {
    u32 seed = 99;
    for (const int pitch : {kW, kW + 3}) {
        std::vector<u32> pixels(static_cast<std::size_t>(pitch) * kH);
        for (u32& p : pixels) p = Next(seed);
        std::vector<u32> expected;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) expected.push_back(pixels[static_cast<std::size_t>(y) * pitch + x]);
        AppSubmitFrame(pixels.data(), pitch);
        std::vector<u32> got;
        ASSERT_TRUE(AppLastFrame(got));
        EXPECT_EQ(got, expected) << pitch;

        u32 lut[256];
        for (u32& c : lut) c = Next(seed);
        expected.clear();
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) expected.push_back(lut[pixels[static_cast<std::size_t>(y) * pitch + x] & 255]);
        AppSubmitIndexedFrame(pixels.data(), pitch, lut);
        ASSERT_TRUE(AppLastFrame(got));
        EXPECT_EQ(got, expected) << pitch;
    }
}

// Rows of every length up to a few blocks, starting at every place in an aligned block: the
// pixels before the first whole block and after the last go plainly, the rest streamed, and
// nothing is written before or past the row.
TEST(FrameSubmit, StreamedRowsOfEveryLengthAndStart) {
    u32 seed = 5;
    std::vector<u32> in(64);
    for (u32& p : in) p = Next(seed);
    u32 lut[256];
    for (u32& c : lut) c = Next(seed) & 0x00FFFFFFu;
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
