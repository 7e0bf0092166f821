// One minute of busy General MIDI music through the MIDI stream player and FluidSynth, rendered
// into memory as the mixer would for the audio device. The figure to watch is the CPU time of
// the whole process (the player's thread included) per minute of music.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/sound/MidiStream.h"
#include "platform/sound/MidiSynth.h"
#include "platform/sound/Mixer.h"
#include "platform/system/PathResolver.h"

namespace {

constexpr int kDivision = 480;
constexpr int kBeats = 120; // one minute at 120 beats per minute

struct Ev {
    u32 tick;
    std::vector<u8> bytes;
};

void Vlq(std::vector<u8>& o, u32 v) {
    u8 tmp[4];
    int n = 0;
    tmp[n++] = v & 0x7F;
    while (v >>= 7) tmp[n++] = static_cast<u8>(0x80 | (v & 0x7F));
    while (n > 0) o.push_back(tmp[--n]);
}

std::vector<u8> Track(std::vector<Ev> events) {
    std::stable_sort(events.begin(), events.end(), [](const Ev& a, const Ev& b) { return a.tick < b.tick; });
    std::vector<u8> out;
    u32 prev = 0;
    for (const Ev& e : events) {
        Vlq(out, e.tick - prev);
        prev = e.tick;
        out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    }
    Vlq(out, kBeats * kDivision - prev);
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    return out;
}

// A song of eight parts: bass, two chord parts, two lines of sixteenths, strings, a lead and drums.
std::vector<u8> BusySong() {
    const u8 programs[8] = {33, 0, 4, 25, 73, 48, 81, 0};
    std::vector<std::vector<u8>> tracks;
    std::vector<Ev> conductor = {{0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}}};
    tracks.push_back(Track(conductor));
    for (int part = 0; part < 8; ++part) {
        const u8 ch = part == 7 ? 9 : static_cast<u8>(part);
        std::vector<Ev> ev = {{0, {static_cast<u8>(0xC0 | ch), programs[part]}}};
        const int step = part == 0 ? kDivision / 2 : part <= 2 ? kDivision : part <= 4 ? kDivision / 4
                       : part == 5 ? kDivision * 2 : kDivision / 2;
        for (u32 t = 0, i = 0; t + step <= kBeats * kDivision; t += step, ++i) {
            const int chord = (part == 1 || part == 2 || part == 5) ? 3 : 1;
            for (int c = 0; c < chord; ++c) {
                u8 key = static_cast<u8>(part == 7 ? 35 + (i * 3) % 12 : 36 + part * 6 + (i * 5 + c * 4) % 24);
                ev.push_back({t, {static_cast<u8>(0x90 | ch), key, static_cast<u8>(70 + (i % 5) * 10)}});
                ev.push_back({t + static_cast<u32>(step) - 10, {static_cast<u8>(0x80 | ch), key, 0}});
            }
            if (i % 8 == 0) ev.push_back({t, {static_cast<u8>(0xB0 | ch), 7, static_cast<u8>(90 + i % 30)}});
        }
        tracks.push_back(Track(ev));
    }
    std::vector<u8> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, static_cast<u8>(tracks.size()),
                         static_cast<u8>(kDivision >> 8), static_cast<u8>(kDivision & 0xFF)};
    for (const auto& t : tracks) {
        f.insert(f.end(), {'M', 'T', 'r', 'k'});
        const u32 n = static_cast<u32>(t.size());
        f.insert(f.end(), {static_cast<u8>(n >> 24), static_cast<u8>(n >> 16), static_cast<u8>(n >> 8), static_cast<u8>(n)});
        f.insert(f.end(), t.begin(), t.end());
    }
    return f;
}

void BM_RenderOneMinuteOfMidi(benchmark::State& state) {
    if (!std::filesystem::exists(MidiSoundFontPath())) {
        state.SkipWithError("no sound font");
        return;
    }
    AudioOutputSetMemory(true);
    const auto root = std::filesystem::temp_directory_path() / "tobrelk_bench_midi";
    std::filesystem::create_directories(root);
    SetGameRoot(root);
    const auto song = BusySong();
    std::ofstream(root / "song.mid", std::ios::binary).write(reinterpret_cast<const char*>(song.data()),
                                                             static_cast<std::streamsize>(song.size()));
    std::vector<float> out(2 * 1024);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<cMidiStream>> streams(1);
        if (!cMidiStream::Play(streams, 0, "song.mid", false)) {
            state.SkipWithError("the song did not start");
            return;
        }
        state.ResumeTiming();
        for (int frames = 0; frames < kMixRate * 60; frames += 1024) MixerRender(out.data(), 1024);
        benchmark::DoNotOptimize(out.data());
        state.PauseTiming();
        streams.clear();
        state.ResumeTiming();
    }
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_RenderOneMinuteOfMidi)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);

} // namespace
