// The MIDI render benchmark's music, rendered as the benchmark renders it: the synthesizer's
// sound font is in before the song starts, so the render is music from its first block on.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "bench/sound/BusySong.h"

namespace {

TEST(MidiRenderBench, TheSongSoundsFromItsFirstBlock) {
    if (!std::filesystem::exists(MidiSoundFontPath())) GTEST_SKIP() << "no sound font";
    bench_midi::cSongRender song;
    // Twice, as the benchmark starts the song for each of its runs.
    for (int run = 0; run < 2; ++run) {
        std::string error;
        ASSERT_TRUE(song.Start(error)) << error;
        song.RenderBlock();
        EXPECT_EQ(song.Sounding(), 1) << "run " << run;
        // Three seconds of the song, a block at a time.
        for (int b = 1; b < 130; ++b) song.RenderBlock();
        EXPECT_EQ(song.Sounding(), song.Blocks()) << "run " << run;
        EXPECT_TRUE(song.SoundsThroughout()) << "run " << run;
        song.Stop();
    }
}

} // namespace
