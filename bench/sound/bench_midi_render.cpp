// One minute of busy General MIDI music through the MIDI stream player and FluidSynth, rendered
// into memory as the mixer would for the audio device. The figure to watch is the CPU time of
// the whole process (the player's thread included) per minute of music. The synthesizer's sound
// font is in before each minute starts; a minute that renders silence stops the benchmark.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/sound/BusySong.h"

namespace {

void BM_RenderOneMinuteOfMidi(benchmark::State& state) {
    if (!std::filesystem::exists(MidiSoundFontPath())) {
        state.SkipWithError("no sound font");
        return;
    }
    bench_midi::cSongRender song;
    long blocks = 0, sounding = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::string error;
        if (!song.Start(error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        state.ResumeTiming();
        for (int b = 0; b < bench_midi::cSongRender::MinuteBlocks(); ++b) song.RenderBlock();
        state.PauseTiming();
        song.Stop();
        blocks += song.Blocks();
        sounding += song.Sounding();
        if (!song.SoundsThroughout()) {
            const std::string why = "the render is silent: " + std::to_string(song.Sounding()) + " of " +
                                    std::to_string(song.Blocks()) + " blocks sound";
            state.SkipWithError(why.c_str());
            return;
        }
        state.ResumeTiming();
    }
    // The share of rendered blocks with sound in them (1: music all through).
    state.counters["sounding"] = blocks > 0 ? static_cast<double>(sounding) / static_cast<double>(blocks) : 0;
}
BENCHMARK(BM_RenderOneMinuteOfMidi)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);

} // namespace
