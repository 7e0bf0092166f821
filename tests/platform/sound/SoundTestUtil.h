#pragma once
// Builders for wave and MIDI files, and a report file the tests can read back.
#include <atomic>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound/MidiSynth.h"
#include "platform/sound/Mixer.h"
#include "platform/system/Types.h"
#include "tests/support/ScratchGame.h"

namespace soundtest {

inline void PutLe(std::vector<u8>& out, u32 v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<u8>(v >> (8 * i)));
}
inline void PutBe(std::vector<u8>& out, u32 v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<u8>(v >> (8 * i)));
}
inline void PutId(std::vector<u8>& out, const char* id) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<u8>(id[i]));
}

// A wave file; fmtSize 16 or 18 gives a plain header, other sizes pad or cut it.
inline std::vector<u8> MakeWave(u16 channels, u32 rate, u16 bits, const std::vector<u8>& samples, u16 tag = 1,
                                u32 fmtSize = 16) {
    std::vector<u8> fmt;
    PutLe(fmt, tag, 2);
    PutLe(fmt, channels, 2);
    PutLe(fmt, rate, 4);
    PutLe(fmt, rate * channels * bits / 8, 4);
    PutLe(fmt, channels * bits / 8, 2);
    PutLe(fmt, bits, 2);
    fmt.resize(fmtSize, 0);
    std::vector<u8> body;
    PutId(body, "WAVE");
    PutId(body, "fmt ");
    PutLe(body, fmtSize, 4);
    body.insert(body.end(), fmt.begin(), fmt.end());
    if (fmtSize & 1) body.push_back(0);
    PutId(body, "data");
    PutLe(body, static_cast<u32>(samples.size()), 4);
    body.insert(body.end(), samples.begin(), samples.end());
    std::vector<u8> out;
    PutId(out, "RIFF");
    PutLe(out, static_cast<u32>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline std::vector<u8> S16(std::initializer_list<int> values) {
    std::vector<u8> out;
    for (int v : values) PutLe(out, static_cast<u32>(static_cast<u16>(static_cast<i16>(v))), 2);
    return out;
}

// One track's events, written with explicit deltas.
struct Track {
    std::vector<u8> bytes;
    Track& Delta(u32 d) {
        u8 tmp[5];
        int n = 0;
        tmp[n++] = d & 0x7F;
        while (d >>= 7) tmp[n++] = static_cast<u8>(0x80 | (d & 0x7F));
        while (n > 0) bytes.push_back(tmp[--n]);
        return *this;
    }
    Track& Raw(std::initializer_list<u8> b) {
        bytes.insert(bytes.end(), b);
        return *this;
    }
    Track& Ev(u32 d, std::initializer_list<u8> b) { return Delta(d).Raw(b); }
    Track& Tempo(u32 d, u32 us) {
        return Delta(d).Raw({0xFF, 0x51, 0x03, static_cast<u8>(us >> 16), static_cast<u8>(us >> 8), static_cast<u8>(us)});
    }
    Track& End(u32 d) { return Ev(d, {0xFF, 0x2F, 0x00}); }
};

inline std::vector<u8> MakeSmf(u16 format, u16 division, const std::vector<Track>& tracks, int trackCount = -1) {
    std::vector<u8> out;
    PutId(out, "MThd");
    PutBe(out, 6, 4);
    PutBe(out, format, 2);
    PutBe(out, trackCount < 0 ? static_cast<u32>(tracks.size()) : static_cast<u32>(trackCount), 2);
    PutBe(out, division, 2);
    for (const Track& t : tracks) {
        PutId(out, "MTrk");
        PutBe(out, static_cast<u32>(t.bytes.size()), 4);
        out.insert(out.end(), t.bytes.begin(), t.bytes.end());
    }
    return out;
}

inline void WriteFile(const std::filesystem::path& p, const std::vector<u8>& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A synthesizer that only writes down what reaches it and when (in frames rendered so far).
struct SynthEvent {
    i64 frame;
    u8 status, data1, data2;
    std::vector<u8> sysex;
};
struct SynthLog {
    std::mutex mutex;
    std::vector<SynthEvent> events;
    i64 frames = 0;
    int allNotesOff = 0;
    std::atomic<bool> ready{true}; // a synthesizer still loading its sound font says false

    std::vector<SynthEvent> Take() {
        std::lock_guard lock(mutex);
        return events;
    }
};
class cLoggingSynth : public cMidiSynth {
public:
    explicit cLoggingSynth(std::shared_ptr<SynthLog> log) : m_log(std::move(log)) {}
    void ShortMessage(u8 s, u8 d1, u8 d2) override {
        std::lock_guard lock(m_log->mutex);
        m_log->events.push_back({m_log->frames, s, d1, d2, {}});
    }
    void Sysex(const u8* data, int length) override {
        std::lock_guard lock(m_log->mutex);
        m_log->events.push_back({m_log->frames, 0xF0, 0, 0, std::vector<u8>(data, data + length)});
    }
    void AllNotesOff() override {
        std::lock_guard lock(m_log->mutex);
        ++m_log->allNotesOff;
    }
    void Render(float* stereo, int frames) override {
        std::lock_guard lock(m_log->mutex);
        std::fill(stereo, stereo + 2 * frames, 0.0f);
        m_log->frames += frames;
    }
    bool Ready() override { return m_log->ready.load(); }

private:
    std::shared_ptr<SynthLog> m_log;
};

// Installs a logging synthesizer for every stream made until the guard ends.
struct LoggingSynthGuard {
    std::shared_ptr<SynthLog> log = std::make_shared<SynthLog>();
    LoggingSynthGuard() {
        auto l = log;
        SetMidiSynthFactory([l](std::string&) { return std::make_unique<cLoggingSynth>(l); });
    }
    ~LoggingSynthGuard() { SetMidiSynthFactory(nullptr); }
};

// Each test gets its own game folder and report file, and renders into memory.
class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { AudioOutputSetMemory(true); }

    std::string Report() const { return m_game.Report(); }
    int CountLines(const std::string& needle) const {
        const std::string r = Report();
        int n = 0;
        for (std::size_t p = r.find(needle); p != std::string::npos; p = r.find(needle, p + 1)) ++n;
        return n;
    }
    std::vector<float> Render(int frames) {
        std::vector<float> out(static_cast<std::size_t>(frames) * 2);
        MixerRender(out.data(), frames);
        return out;
    }

    ScratchGame m_game;
    const std::filesystem::path m_root = m_game.Dir();
};

} // namespace soundtest
