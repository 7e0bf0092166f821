#pragma once
// The music of the MIDI render benchmark: one minute of busy General MIDI music, played through
// the MIDI stream player into a FluidSynth synthesizer whose sound font is in before the song
// starts, and rendered into memory as the mixer would for the audio device. The synthesizer
// reads its font on a thread of its own and stays silent until then: a render that does not
// wait for it times a minute of silence.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/MidiStream.h"
#include "platform/sound/MidiSynth.h"
#include "platform/sound/Mixer.h"
#include "platform/system/PathResolver.h"

namespace bench_midi {

constexpr int kDivision = 480;
constexpr int kBeats = 120; // one minute at 120 beats per minute
constexpr int kBlockFrames = 1024;
// The font loads in well under a second; a machine that takes this long has a fault.
constexpr auto kFontWait = std::chrono::seconds(60);

struct Ev {
    u32 tick;
    std::vector<u8> bytes;
};

inline void Vlq(std::vector<u8>& o, u32 v) {
    u8 tmp[4];
    int n = 0;
    tmp[n++] = v & 0x7F;
    while (v >>= 7) tmp[n++] = static_cast<u8>(0x80 | (v & 0x7F));
    while (n > 0) o.push_back(tmp[--n]);
}

inline std::vector<u8> Track(std::vector<Ev> events) {
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
inline std::vector<u8> BusySong() {
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

// A FluidSynth synthesizer with its sound font in; null with error set when none could be made
// or its font did not come in time.
inline std::unique_ptr<cMidiSynth> ReadySynth(std::string& error) {
    std::unique_ptr<cMidiSynth> synth = CreateMidiSynth(error);
    if (!synth) return nullptr;
    const auto end = std::chrono::steady_clock::now() + kFontWait;
    while (!synth->Ready() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!synth->Ready()) {
        error = "the sound font did not load";
        return nullptr;
    }
    return synth;
}

// The song in a game folder of its own, played from its start by a synthesizer that is ready,
// block by block; each block is counted as sounding or silent.
class cSongRender {
public:
    cSongRender() : m_root(std::filesystem::temp_directory_path() / "tobrelk_bench_midi"), m_out(2 * kBlockFrames) {}
    ~cSongRender() {
        Stop();
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    cSongRender(const cSongRender&) = delete;
    cSongRender& operator=(const cSongRender&) = delete;

    // Makes the synthesizer ready, then starts the song on it from its start, with the block
    // counts anew (none of it is the render's work).
    bool Start(std::string& error) {
        Stop();
        m_nBlocks = m_nSounding = 0;
        AudioOutputSetMemory(true);
        if (!std::filesystem::exists(m_root / "song.mid")) {
            std::filesystem::create_directories(m_root);
            const std::vector<u8> song = BusySong();
            std::ofstream(m_root / "song.mid", std::ios::binary)
                .write(reinterpret_cast<const char*>(song.data()), static_cast<std::streamsize>(song.size()));
        }
        SetGameRoot(m_root);
        auto ready = std::make_shared<std::unique_ptr<cMidiSynth>>(ReadySynth(error));
        if (!*ready) return false;
        // The stream makes its synthesizer through the maker: this one hands over the ready one.
        SetMidiSynthFactory([ready](std::string& e) {
            if (!*ready) e = "the ready synthesizer was taken";
            return std::move(*ready);
        });
        m_streams.resize(1);
        const bool started = cMidiStream::Play(m_streams, 0, "song.mid", false) != 0;
        SetMidiSynthFactory(nullptr);
        if (!started) error = "the song did not start";
        return started;
    }

    // One block of the mix (the render's work).
    void RenderBlock() {
        MixerRender(m_out.data(), kBlockFrames);
        ++m_nBlocks;
        m_nSounding += std::any_of(m_out.begin(), m_out.end(), [](float s) { return s != 0.0f; }) ? 1 : 0;
    }
    // The blocks of a minute of music.
    static constexpr int MinuteBlocks() { return (kMixRate * 60 + kBlockFrames - 1) / kBlockFrames; }

    void Stop() { m_streams.clear(); }

    long Blocks() const { return m_nBlocks; }
    long Sounding() const { return m_nSounding; }
    // Every block of the song sounds, the first one too; a few silent blocks are allowed for
    // the song's very end.
    bool SoundsThroughout() const { return m_nBlocks > 0 && (m_nBlocks - m_nSounding) * 100 <= m_nBlocks; }

private:
    std::filesystem::path m_root;
    std::vector<float> m_out;
    std::vector<std::unique_ptr<cMidiStream>> m_streams;
    long m_nBlocks = 0, m_nSounding = 0;
};

} // namespace bench_midi
