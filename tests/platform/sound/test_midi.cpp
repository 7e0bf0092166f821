#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "SoundTestUtil.h"
#include "platform/sound/MidiStream.h"
#include "platform/sound/Smf.h"

using namespace soundtest;

namespace {

struct ImageEvent {
    u64 tick;
    std::vector<u8> bytes; // status and data, as stored
};

// Walks a converted image back into events with absolute ticks.
std::vector<ImageEvent> Events(const std::vector<u8>& image) {
    std::vector<ImageEvent> out;
    std::size_t pos = kSmfImageHeader;
    u64 tick = 0;
    while (pos < image.size()) {
        u32 delta;
        EXPECT_TRUE(ReadVlq(image.data(), image.size(), pos, delta));
        tick += delta;
        const std::size_t start = pos;
        const u8 s = image[pos++];
        if (s == 0xFF) {
            ++pos;
            u32 len;
            ReadVlq(image.data(), image.size(), pos, len);
            pos += len;
        } else if (s == 0xF0 || s == 0xF7) {
            u32 len;
            ReadVlq(image.data(), image.size(), pos, len);
            pos += len;
        } else {
            pos += (s & 0xE0) == 0xC0 ? 1 : 2;
        }
        out.push_back({tick, std::vector<u8>(image.begin() + static_cast<std::ptrdiff_t>(start),
                                             image.begin() + static_cast<std::ptrdiff_t>(pos))});
    }
    return out;
}

u32 Le32At(const std::vector<u8>& b, std::size_t p) {
    return b[p] | (b[p + 1] << 8) | (b[p + 2] << 16) | (static_cast<u32>(b[p + 3]) << 24);
}

class Midi : public SoundTest {
protected:
    bool Convert(const std::vector<u8>& file, std::vector<u8>& image, double& seconds) {
        return ConvertSmf(file.data(), file.size(), "t.mid", image, seconds);
    }
    // A stream playing the file, with every event logged.
    std::unique_ptr<cMidiStream> Start(const std::vector<u8>& file, bool loop) {
        WriteFile(m_root / "t.mid", file);
        auto s = std::make_unique<cMidiStream>("t.mid");
        EXPECT_TRUE(s->IsOpen());
        s->Restart(loop);
        return s;
    }
    // Renders in chunks, letting the player's thread catch up between them.
    void Play(cMidiStream& s, int frames, int chunk = 441) {
        for (int n = 0; n < frames; n += chunk) {
            Render(std::min(chunk, frames - n));
            s.WaitIdle();
        }
    }
    std::vector<SynthEvent> NoteOns() {
        std::vector<SynthEvent> out;
        for (const auto& e : m_synth.log->Take())
            if ((e.status & 0xF0) == 0x90) out.push_back(e);
        return out;
    }
    LoggingSynthGuard m_synth;
};

} // namespace

TEST_F(Midi, MergesTracksByTickWithTheLowerTrackFirst) {
    Track a, b;
    a.Tempo(0, 400000).Ev(0, {0x91, 60, 100}).Ev(50, {0x81, 60, 0}).End(50);
    // Running status on the second note; the second track ends last.
    b.Ev(0, {0x92, 64, 100}).Ev(50, {0x82, 64, 0}).Ev(0, {0x90, 67, 90}).Raw({0x00, 69, 90}).End(250);
    std::vector<u8> image;
    double seconds = 0;
    ASSERT_TRUE(Convert(MakeSmf(1, 96, {a, b}), image, seconds));
    EXPECT_EQ(std::memcmp(image.data(), "MThd\0\0\0\6\0\0\0\1\0\x60MTrk", 18), 0);
    EXPECT_EQ(Le32At({image[21], image[20], image[19], image[18]}, 0), image.size() - 22);
    const auto ev = Events(image);
    ASSERT_EQ(ev.size(), 8u);
    EXPECT_EQ(ev[0].bytes[0], 0xFF); // tempo, track 0, tick 0
    EXPECT_EQ(ev[1].bytes[0], 0x91);
    EXPECT_EQ(ev[2].bytes[0], 0x92);
    EXPECT_EQ(ev[3].bytes[0], 0x81); // tick 50: track 0 before track 1
    EXPECT_EQ(ev[4].bytes[0], 0x82);
    EXPECT_EQ(ev[6].bytes, (std::vector<u8>{0x90, 69, 90})); // running status written out
    // One end of track, at the largest end tick of all tracks.
    EXPECT_EQ(ev[7].tick, 300u);
    EXPECT_EQ(ev[7].bytes, (std::vector<u8>{0xFF, 0x2F, 0x00}));
    EXPECT_NEAR(seconds, 300 * 0.4 / 96, 1e-12);
}

TEST_F(Midi, RefusesFilesThatAreNotStandardMidi) {
    Track t;
    t.Ev(0, {0x90, 60, 100}).End(10);
    const auto good = MakeSmf(0, 96, {t});
    std::vector<u8> image;
    double s;
    auto with = [&](std::size_t at, std::initializer_list<u8> bytes) {
        auto f = good;
        std::copy(bytes.begin(), bytes.end(), f.begin() + static_cast<std::ptrdiff_t>(at));
        return f;
    };
    EXPECT_FALSE(Convert(with(0, {'R'}), image, s));
    EXPECT_FALSE(Convert(with(14, {'X'}), image, s));
    EXPECT_EQ(CountLines("Midi t.mid Init 標準MIDIでない(4)"), 2);
    EXPECT_FALSE(Convert(with(7, {7}), image, s));
    EXPECT_EQ(CountLines("標準MIDIでない(6)"), 1);
    EXPECT_FALSE(Convert(with(9, {2}), image, s));
    EXPECT_EQ(CountLines("Midi t.mid Init 対応フォーマットが2でない"), 1);
    EXPECT_FALSE(Convert(with(9, {3}), image, s));
    EXPECT_EQ(CountLines("対応フォーマットが0または1でない"), 1);
    // Division 0 would divide by zero; a time-code division has no tempo.
    EXPECT_FALSE(Convert(with(12, {0, 0}), image, s));
    EXPECT_FALSE(Convert(with(12, {0xE7, 0x28}), image, s));
    // Two tracks announced, one present; a length past the end; a data byte with no status;
    // a delta of five bytes; a system message in a track.
    EXPECT_FALSE(Convert(with(11, {2}), image, s));
    EXPECT_FALSE(Convert(with(21, {0xFF}), image, s));
    EXPECT_FALSE(Convert(with(23, {0x40}), image, s));
    Track longDelta, system;
    longDelta.Raw({0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}).End(0);
    system.Ev(0, {0xF2, 0, 0}).End(0);
    EXPECT_FALSE(Convert(MakeSmf(0, 96, {longDelta}), image, s));
    EXPECT_FALSE(Convert(MakeSmf(0, 96, {system}), image, s));
    EXPECT_TRUE(image.empty());
    // Every cut of a good file is refused or read within its bytes.
    for (std::size_t n = 0; n < good.size(); ++n) {
        std::vector<u8> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        ConvertSmf(cut.data(), cut.size(), "cut.mid", image, s);
    }
}

// Each file has one flaw in its first track, placed so that reading on past it would find the
// next track's bytes (or the end of the file): every one is refused, the control is not.
TEST_F(Midi, EventsThatRunPastTheirTrackAreRefused) {
    Track good;
    good.Ev(0, {0x90, 60, 100}).End(10);
    auto file = [&](std::initializer_list<u8> first, bool last = false) {
        Track t;
        t.Raw(first);
        return last ? MakeSmf(0, 96, {t}) : MakeSmf(1, 96, {t, good});
    };
    std::vector<u8> image;
    double s;
    ASSERT_TRUE(Convert(file({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00}), image, s));
    const std::vector<std::vector<u8>> hostile = {
        file({0x00, 0xFF, 0x01, 0x0C}),             // a meta event longer than its track
        file({0x00, 0xF0, 0x0C, 0x7E}),             // a system exclusive message the same
        file({0x00, 0x90, 60}),                     // a note cut by the end of its track
        file({0x00, 0xFF}),                         // a meta event cut before its type
        file({0x00, 0xFF}, true),
        file({0x00, 0x90, 60, 100, 0x00}, true),    // a delta with no event after it
        file({0x00, 0x40, 0x40, 0x00, 0xFF, 0x2F, 0x00}),      // data with no status before it
        file({0x00, 0x90, 0x80, 0x40, 0x00, 0xFF, 0x2F, 0x00}), // a data byte with its top bit
        file({0x00, 0xF8, 0x01, 0x02, 0x00, 0xFF, 0x2F, 0x00}), // a real-time message
        MakeSmf(1, 96, {good}, 0)};                              // a header of no tracks
    for (std::size_t i = 0; i < hostile.size(); ++i) EXPECT_FALSE(Convert(hostile[i], image, s)) << "file " << i;
    // Headers cut inside the header and inside the first chunk's header.
    const auto one = file({0x00, 0xFF, 0x2F, 0x00}, true);
    for (std::size_t n : {9u, 16u}) EXPECT_FALSE(Convert(std::vector<u8>(one.begin(), one.begin() + n), image, s)) << n;
}

TEST_F(Midi, SkipsForeignChunksAndAcceptsATrackWithoutItsEnd) {
    Track a, b;
    a.Ev(0, {0x90, 60, 100}).Ev(20, {0x80, 60, 0}); // no end-of-track: the chunk's end is the end
    b.Ev(40, {0x90, 62, 100}).End(0);
    auto file = MakeSmf(1, 96, {a});
    const std::vector<u8> alien = {'X', 'F', 'I', 'H', 0, 0, 0, 2, 1, 2};
    file.insert(file.end(), alien.begin(), alien.end());
    const auto second = MakeSmf(1, 96, {b});
    file.insert(file.end(), second.begin() + 14, second.end());
    file[11] = 2;
    std::vector<u8> image;
    double s;
    ASSERT_TRUE(Convert(file, image, s));
    const auto ev = Events(image);
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[3].tick, 40u);
}

TEST_F(Midi, FillsBuffersWithStreamEvents) {
    Track t;
    t.Ev(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}) // five data bytes
        .Ev(10, {0xC0, 5})
        .Ev(20, {0xFF, 0x01, 0x02, 'h', 'i'}) // text: no stream event, its time goes on
        .Ev(0, {0x90, 60, 100})
        .Tempo(5, 300000)
        .End(0);
    cMidiStream s;
    const auto file = MakeSmf(0, 96, {t});
    ASSERT_TRUE(s.Init(file.data(), file.size()));
    std::vector<u8> buf;
    EXPECT_EQ(s.Fill(kSmfImageHeader, buf), s.Image().size() - kSmfImageHeader);
    ASSERT_EQ(buf.size(), 20u + 12 + 12 + 12 + 12);
    EXPECT_EQ(Le32At(buf, 8), 0x80000006u);
    EXPECT_EQ(std::vector<u8>(buf.begin() + 12, buf.begin() + 20),
              (std::vector<u8>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0, 0}));
    EXPECT_EQ(Le32At(buf, 20), 10u);
    EXPECT_EQ(Le32At(buf, 28), 0x05C0u);
    EXPECT_EQ(Le32At(buf, 32), 20u); // the note waits for the text's 20 ticks
    EXPECT_EQ(Le32At(buf, 40), 0x00643C90u);
    EXPECT_EQ(Le32At(buf, 52), 0x01000000u | 300000u);
    EXPECT_EQ(Le32At(buf, 64), 0x40002FFFu); // end of track, with the callback flag
}

TEST_F(Midi, SplitsBuffersCarriesTimeAcrossThemAndDropsWhatNeverFits) {
    Track t;
    for (int i = 0; i < 2000; ++i) t.Ev(0, {0x90, 60, 1});
    t.Ev(10, {0xFF, 0x06, 0x01, 'm'}); // a marker just past the first buffer's end
    t.Ev(5, {0x80, 60, 0});
    std::vector<u8> huge = {0xF0, 0x81, 0xEA, 0x30}; // 30000 bytes
    huge.resize(4 + 30000, 0x11);
    t.Delta(7);
    t.bytes.insert(t.bytes.end(), huge.begin(), huge.end());
    t.Ev(1, {0x90, 61, 1}).End(0);
    cMidiStream s;
    const auto file = MakeSmf(0, 96, {t});
    ASSERT_TRUE(s.Init(file.data(), file.size()));
    std::vector<u8> buf;
    s.Fill(kSmfImageHeader, buf);
    ASSERT_EQ(buf.size(), 24000u);
    EXPECT_EQ(Le32At(buf, 24000 - 4), 0x40000090u | (60 << 8) | (1 << 16)); // callback on the last
    // The rest goes through a playing stream, whose thread refills the buffers.
    auto stream = Start(file, false);
    Play(*stream, 8820);
    const auto notes = m_synth.log->Take();
    ASSERT_EQ(notes.size(), 2002u);
    // 10 + 5 ticks after the first block: the note-off; then 7 + 1 more for the last note.
    const double tick = 0.5 / 96 * kMixRate;
    EXPECT_EQ(notes[2000].status, 0x80);
    EXPECT_NEAR(static_cast<double>(notes[2000].frame), 15 * tick, 1.0);
    EXPECT_EQ(notes[2001].data1, 61);
    EXPECT_NEAR(static_cast<double>(notes[2001].frame), 23 * tick, 1.0);
    EXPECT_EQ(CountLines("Midi t.mid Out"), 1); // the oversized message, reported and dropped
}

TEST_F(Midi, PlaysEventsAtTheirTimesToTheMillisecond) {
    Track a, b;
    a.Ev(0, {0x90, 60, 100}).Ev(96, {0x80, 60, 0}).Tempo(96, 250000).Ev(96, {0x90, 62, 100}).End(96);
    b.Ev(96, {0x91, 70, 100}).End(0); // same tick as track 0's note-off: after it
    auto stream = Start(MakeSmf(1, 96, {a, b}), false);
    Play(*stream, kMixRate * 2);
    const auto ev = m_synth.log->Take();
    ASSERT_EQ(ev.size(), 4u);
    const double ms = kMixRate / 1000.0;
    EXPECT_EQ(ev[0].frame, 0);
    EXPECT_EQ(ev[1].status, 0x80);
    EXPECT_NEAR(ev[1].frame / ms, 500.0, 1.0);
    EXPECT_EQ(ev[2].status, 0x91);
    EXPECT_EQ(ev[2].frame, ev[1].frame);
    // After the tempo doubles at 1 s, 96 more ticks take a quarter second.
    EXPECT_NEAR(ev[3].frame / ms, 1250.0, 1.0);
    EXPECT_EQ(stream->State(), 0); // ended, stopped and rewound
    EXPECT_NEAR(stream->Seconds(), 1.5, 1e-9);
}

TEST_F(Midi, RefillsFromItsThreadAndLoops) {
    Track t;
    for (int i = 0; i < 5000; ++i) t.Ev(i == 0 ? 0 : 1, {0x90, static_cast<u8>(i % 128), 1});
    t.End(1);
    auto stream = Start(MakeSmf(0, 960, {t}), true);
    // 5000 ticks at 960 per half second: about 2.6 s, so the two buffers refill twice.
    const double tick = 0.5 / 960 * kMixRate;
    Play(*stream, static_cast<int>(5001 * tick) + 2000);
    auto notes = NoteOns();
    ASSERT_GE(notes.size(), 5001u);
    for (int i = 0; i < 5000; ++i) ASSERT_NEAR(static_cast<double>(notes[i].frame), i * tick, 1.0) << i;
    // The loop starts the song again at once after its end.
    EXPECT_EQ(notes[5000].data1, 0);
    EXPECT_NEAR(static_cast<double>(notes[5000].frame), 5000 * tick, 441.0 + 1);
    EXPECT_EQ(stream->State(), 1);
    EXPECT_GE(m_synth.log->allNotesOff, 1);
}

TEST_F(Midi, PausesResumesAndRestartsFromTheBeginning) {
    Track t;
    t.Ev(0, {0x90, 60, 100}).Ev(96, {0x90, 62, 100}).End(0);
    auto stream = Start(MakeSmf(0, 96, {t}), false);
    Play(*stream, 11025); // a quarter second, halfway to the second note
    stream->Pause(1);
    EXPECT_EQ(stream->State(), 2);
    Play(*stream, 44100); // paused: time stands still
    EXPECT_EQ(NoteOns().size(), 1u);
    stream->Restart(false);
    Play(*stream, 11025 + 441);
    auto notes = NoteOns();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NEAR(static_cast<double>(notes[1].frame), 22050 + 44100, 1.0);
    // Ended without loop: stopped and rewound; a restart plays it from the start.
    EXPECT_EQ(stream->State(), 0);
    stream->Restart(false);
    Play(*stream, 441);
    EXPECT_EQ(NoteOns().size(), 3u);
    EXPECT_EQ(NoteOns()[2].data1, 60);
}

// Until the synthesizer is ready (its sound font still loading) the song neither plays nor
// advances: once it is, the song starts from its first note with its times unchanged.
TEST_F(Midi, WaitsForItsSynthesizerAndThenStartsWhole) {
    m_synth.log->ready = false;
    Track t;
    t.Ev(0, {0xC0, 5}).Ev(0, {0x90, 60, 100}).Ev(96, {0x80, 60, 0}).End(0);
    auto stream = Start(MakeSmf(0, 96, {t}), false);
    Play(*stream, 44100);
    EXPECT_TRUE(m_synth.log->Take().empty());
    EXPECT_EQ(m_synth.log->frames, 0);
    EXPECT_EQ(stream->State(), 1);
    m_synth.log->ready = true;
    Play(*stream, 44100);
    const auto ev = m_synth.log->Take();
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[0].status, 0xC0);
    EXPECT_EQ(ev[1].frame, 0);
    EXPECT_NEAR(ev[2].frame / (kMixRate / 1000.0), 500.0, 1.0);
}

TEST_F(Midi, PlayNeedsTheExactExtensionAndAnOpenDevice) {
    Track t;
    t.Ev(0, {0x90, 60, 100}).End(10);
    WriteFile(m_root / "a.MID", MakeSmf(0, 96, {t}));
    WriteFile(m_root / "b.mid", MakeSmf(2, 96, {t}));
    std::vector<std::unique_ptr<cMidiStream>> streams(1);
    EXPECT_EQ(cMidiStream::Play(streams, 0, "a.MID", true), 0);
    EXPECT_EQ(cMidiStream::Play(streams, 0, "b.mid", true), 0);
    EXPECT_EQ(cMidiStream::Play(streams, 0, "c.mid", true), 0);
    EXPECT_EQ(CountLines("Midi c.mid Create ファイルが開けません"), 1);
    WriteFile(m_root / "d.mid", MakeSmf(0, 96, {t}));
    EXPECT_EQ(cMidiStream::Play(streams, 0, "d.mid", true), 1);
    EXPECT_EQ(cMidiStream::Play(streams, 1, "d.mid", true), 0); // no such channel
}

TEST_F(Midi, ClosingWhileTheMixerRendersIsSafe) {
    Track t;
    for (int i = 0; i < 3000; ++i) t.Ev(1, {0x90, 60, 1});
    t.End(0);
    WriteFile(m_root / "t.mid", MakeSmf(0, 24, {t}));
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> buf(512);
        while (!stop) MixerRender(buf.data(), 256);
    });
    std::vector<std::unique_ptr<cMidiStream>> streams(1);
    for (int i = 0; i < 30; ++i) {
        cMidiStream::Play(streams, 0, "t.mid", true);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (i % 3 == 0) cMidiStream::Stop(streams, 1);
    }
    streams.clear();
    stop = true;
    audio.join();
}

TEST(MidiSynthesizer, FluidSynthRendersAudibly) {
    if (!std::filesystem::exists(MidiSoundFontPath())) GTEST_SKIP() << "no sound font";
    ScratchGame game;
    const auto root = game.Dir();
    AudioOutputSetMemory(true);
    Track t;
    t.Ev(0, {0xC0, 0}).Ev(0, {0x90, 60, 110}).Ev(96, {0x80, 60, 0}).End(0);
    WriteFile(root / "f.mid", MakeSmf(0, 96, {t}));
    std::vector<std::unique_ptr<cMidiStream>> streams(1);
    ASSERT_EQ(cMidiStream::Play(streams, 0, "f.mid", false), 1);
    // The sound font loads beside the program; the song waits for it and then starts whole.
    std::vector<float> out(2 * 22050);
    float peak = 0;
    for (int tries = 0; tries < 12000 && peak <= 0.01f; ++tries) {
        std::fill(out.begin(), out.end(), 0.0f);
        MixerRender(out.data(), 22050);
        for (float v : out) peak = std::max(peak, std::fabs(v));
        if (peak <= 0.01f) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GT(peak, 0.01f);
    streams.clear();
}

// Every song loads the sound font again; the loader must not leave a worker per core behind.
TEST(MidiSynthesizer, LoadsItsSoundFontWithoutWorkerThreads) {
    if (!std::filesystem::exists(MidiSoundFontPath())) GTEST_SKIP() << "no sound font";
    const auto threads = [] {
        std::size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) n += entry.exists() ? 1 : 0;
        return n;
    };
    // A fresh process: an earlier load in this one would already have started the workers. It
    // starts as a player's would, without the variable the test programs set for themselves.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* omp = std::getenv("OMP_NUM_THREADS");
    const std::string keep = omp ? omp : "";
    unsetenv("OMP_NUM_THREADS");
    EXPECT_EXIT(
        {
            // ThreadSanitizer's runtime starts a thread of its own with the process's first one
            // and keeps it: a thread started and ended first makes it count among those before.
            std::thread([] {}).join();
            const std::size_t before = threads();
            std::string error;
            auto synth = CreateMidiSynth(error);
            if (!synth) std::_Exit(100);
            for (int i = 0; i < 24000 && !synth->Ready(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (!synth->Ready()) std::_Exit(101);
            synth.reset(); // the font's own loading thread is done; only workers would be left
            std::_Exit(static_cast<int>(threads() - before));
        },
        ::testing::ExitedWithCode(0), "");
    if (omp) setenv("OMP_NUM_THREADS", keep.c_str(), 1);
}

TEST_F(Midi, WithoutASoundFontMusicIsSilentWithOneReportLine) {
    SetMidiSynthFactory(nullptr);
    setenv("TOBRELK_SOUNDFONT", (m_root / "none.sf2").c_str(), 1);
    Track t;
    t.Ev(0, {0x90, 60, 100}).End(10);
    WriteFile(m_root / "a.mid", MakeSmf(0, 96, {t}));
    std::vector<std::unique_ptr<cMidiStream>> streams(1);
    EXPECT_EQ(cMidiStream::Play(streams, 0, "a.mid", true), 0);
    EXPECT_EQ(cMidiStream::Play(streams, 0, "a.mid", true), 0);
    unsetenv("TOBRELK_SOUNDFONT");
    EXPECT_EQ(CountLines("Midi a.mid Open"), 1);
}
