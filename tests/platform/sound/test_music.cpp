#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "SoundTestUtil.h"
#include "platform/sound/Bgm.h"
#include "platform/sound/OggPlayer.h"

using namespace soundtest;

namespace {

const char* kBell = "/usr/share/sounds/freedesktop/stereo/bell.oga"; // 2 ch, 44100 Hz, 6151 frames
const char* kSignal = "/usr/share/sounds/freedesktop/stereo/audio-test-signal.oga"; // 1 ch, 48000 Hz

class OggMusic : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        if (!std::filesystem::exists(kBell) || !std::filesystem::exists(kSignal))
            GTEST_SKIP() << "sound-theme-freedesktop is not installed";
        m_player = CreateVox();
        ASSERT_NE(m_player, nullptr);
    }
    void TearDown() override {
        if (m_player) m_player->Release();
        SoundTest::TearDown();
    }
    // Frames rendered before the player stopped by itself (or the limit).
    int PlayedFrames(int limit, int chunk) {
        int n = 0;
        while (n < limit && m_player->IsPlaying()) {
            Render(chunk);
            n += chunk;
        }
        return n;
    }
    cVoxPlayer* m_player = nullptr;
};

float Peak(const std::vector<float>& v) {
    float p = 0;
    for (float x : v) p = std::max(p, std::fabs(x));
    return p;
}

} // namespace

TEST_F(OggMusic, RealFilesDecodeAtTheirLength) {
    ASSERT_TRUE(m_player->Load(kBell));
    m_player->Play();
    auto out = Render(6000);
    EXPECT_GT(Peak(out), 0.05f);
    EXPECT_TRUE(m_player->IsPlaying());
    Render(200);
    EXPECT_FALSE(m_player->IsPlaying());

    // A mono 48 kHz file comes out at the mix rate: 67,579 frames become about 62,088.
    ASSERT_TRUE(m_player->Load(kSignal));
    m_player->Play();
    const int played = PlayedFrames(200000, 100);
    EXPECT_NEAR(played, 62088, 100);
}

TEST_F(OggMusic, LoopsWithoutAGapAtTheLoopPoint) {
    ASSERT_TRUE(m_player->Load(kBell));
    m_player->Play();
    const auto once = Render(6151);
    ASSERT_TRUE(m_player->Load(kBell));
    m_player->SetLoop(VOX_LOOP_ENDLESS);
    m_player->Play();
    // Odd chunk sizes put the loop point inside a chunk.
    std::vector<float> looped;
    while (looped.size() < 2 * 6151 * 3) {
        const auto part = Render(333);
        looped.insert(looped.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(m_player->IsPlaying());
    for (int rep = 0; rep < 3; ++rep)
        for (std::size_t i = 0; i < once.size(); i += 7)
            ASSERT_EQ(looped[rep * once.size() + i], once[i]) << "repeat " << rep << " sample " << i;

    // A loop count of one plays the file twice.
    ASSERT_TRUE(m_player->Load(kBell));
    m_player->SetLoop(1);
    m_player->Play();
    EXPECT_NEAR(PlayedFrames(100000, 100), 2 * 6151, 100);
}

// Play after Load starts at the stream Load opened; a Play after some of it was heard starts it
// again from the first sample, as does a Play after a stop.
TEST_F(OggMusic, EveryPlayStartsAtTheFirstSample) {
    ASSERT_TRUE(m_player->Load(kBell));
    m_player->Play();
    const auto first = Render(3000);
    m_player->Play();
    EXPECT_EQ(Render(3000), first);
    Render(1000);
    m_player->Stop();
    m_player->Play();
    EXPECT_EQ(Render(3000), first);
}

// A stream that claims some 235 MHz would have the decoder run through the whole file for each
// few milliseconds of sound, holding up every other sound: it is refused with its report line.
TEST_F(OggMusic, AStreamAtAnAbsurdRateIsRefused) {
    std::ifstream in(kBell, std::ios::binary);
    std::vector<u8> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string head = "\x01vorbis";
    const auto at = static_cast<std::size_t>(std::search(bytes.begin(), bytes.end(), head.begin(), head.end()) - bytes.begin());
    ASSERT_LT(at + 16, bytes.size());
    // The rate in the identification header, and the first page's checksum again (CRC-32,
    // polynomial 0x04C11DB7, not reflected): the page is 27 bytes, its one-segment table and
    // the header.
    auto withRate = [&](u32 rate) {
        std::memcpy(&bytes[at + 12], &rate, 4);
        const std::size_t pageLen = 27 + bytes[26] + bytes[27];
        std::memset(&bytes[22], 0, 4);
        u32 crc = 0;
        for (std::size_t i = 0; i < pageLen; ++i) {
            crc ^= static_cast<u32>(bytes[i]) << 24;
            for (int k = 0; k < 8; ++k) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
        std::memcpy(&bytes[22], &crc, 4);
        return bytes;
    };
    WriteFile(m_root / "fast.ogg", withRate(234977024));
    EXPECT_EQ(m_player->Load("fast.ogg"), 0);
    m_player->Play();
    EXPECT_FALSE(m_player->IsPlaying());
    EXPECT_EQ(CountLines("fast.ogg"), 1);
    // The same bytes at the file's own rate play.
    WriteFile(m_root / "bell.ogg", withRate(44100));
    ASSERT_TRUE(m_player->Load("bell.ogg"));
    m_player->Play();
    EXPECT_GT(Peak(Render(3000)), 0.05f);
}

TEST_F(OggMusic, FilesThatAreNotOggDoNotLoad) {
    WriteFile(m_root / "bad.ogg", std::vector<u8>(5000, 0x4F));
    EXPECT_EQ(m_player->Load("bad.ogg"), 0);
    EXPECT_EQ(m_player->Load("none.ogg"), 0);
    EXPECT_EQ(m_player->Load(""), 0);
    m_player->Play();
    EXPECT_FALSE(m_player->IsPlaying());
    EXPECT_EQ(CountLines("bad.ogg"), 1);
}

// A music file that never comes (here a pipe that has no writer): the loader refuses it at
// once with its report lines instead of waiting for a writer, and the mix, and with it every
// sound effect, goes on. (A regular file is read before the mixer's lock is taken, so a slow
// disk holds up only the loader.)
TEST_F(OggMusic, ReadingAFileDoesNotHoldUpTheMix) {
    const auto pipe = m_root / "slow.ogg";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::atomic<int> loaded{-1};
    std::thread loader([&] { loaded = m_player->Load("slow.ogg"); });
    std::atomic<bool> rendered{false};
    std::thread renderer([&] {
        Render(256);
        rendered = true;
    });
    for (int i = 0; i < 12000 && (!rendered || loaded < 0); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(rendered);
    EXPECT_EQ(loaded, 0) << "the loader waited for a writer";
    // A loader that waits is let go (it then reads an empty pipe), so that the test fails
    // instead of hanging.
    while (loaded < 0) {
        if (const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    loader.join();
    renderer.join();
    EXPECT_EQ(CountLines("slow.ogg は通常のファイルではないため読みません（FIFO）"), 1);
    EXPECT_EQ(CountLines("Ogg slow.ogg は読めないファイルです"), 1);
    // Nothing plays, and a real song loads after it.
    m_player->Play();
    EXPECT_FALSE(m_player->IsPlaying());
    EXPECT_EQ(m_player->Load(kBell), 1);
}

// ---------------------------------------------------------------------------------------------

class Music : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        std::filesystem::create_directories(m_root / "bgm");
        m_bgm = std::make_unique<cBgm>();
        ASSERT_EQ(m_bgm->Init(1, m_ogg, m_midi, 5), 1);
    }
    void TearDown() override {
        m_bgm.reset();
        SoundTest::TearDown();
    }
    bool CopyBell(const char* name) {
        if (!std::filesystem::exists(kBell)) return false;
        std::filesystem::copy_file(kBell, m_root / "bgm" / name);
        return true;
    }
    void WriteMidi(const char* name) {
        Track t;
        t.Ev(0, {0x90, 60, 100}).Ev(96, {0x80, 60, 0}).End(0);
        WriteFile(m_root / "bgm" / name, MakeSmf(0, 96, {t}));
    }

    BGMTRACK m_ogg[5];
    BGMTRACK m_midi[5];
    std::unique_ptr<cBgm> m_bgm;
    LoggingSynthGuard m_synth;
};

TEST_F(Music, SetFileChoosesRowsByExtension) {
    EXPECT_EQ(BgmSetFile(*m_bgm, 0, "bgm\\Title.OGG", 80), 1);
    EXPECT_EQ(m_ogg[0].szPath, "bgm\\Title.OGG");
    EXPECT_EQ(m_ogg[0].nVolume, 80);
    EXPECT_EQ(BgmSetFile(*m_bgm, 1, "bgm\\Stage.MID", 70), 1);
    EXPECT_EQ(m_midi[1].szPath, "bgm\\Stage.mid");
    EXPECT_EQ(m_midi[1].nVolume, 70);
    EXPECT_EQ(m_ogg[1].szPath, "");
    // Only the exact cases count: ".Mid" and ".wav" go to both rows.
    EXPECT_EQ(BgmSetFile(*m_bgm, 2, "bgm\\a.Mid", 50), 0);
    EXPECT_EQ(m_ogg[2].szPath, "bgm\\a.Mid");
    EXPECT_EQ(m_midi[2].szPath, "bgm\\a.Mid");
    EXPECT_EQ(BgmSetFile(*m_bgm, 3, "bgm\\noext", 50), 0);
    EXPECT_EQ(m_ogg[3].szPath, "");
    EXPECT_EQ(m_midi[3].nVolume, 0);
    // A track outside the table is the bad-index rule, never a write past it.
    EXPECT_EQ(BgmSetFile(*m_bgm, 5, "bgm\\x.ogg", 50), 0);
    EXPECT_EQ(CountLines("err V[5] ( 5 , 4 )"), 1);
}

// A track's file is named whole, whatever its length: a name of 255 bytes in a folder of as many
// plays.
TEST_F(Music, ATrackNamedPastTwoHundredAndSixtyBytesPlays) {
    const std::string folder(255, 'd'), name = std::string(251, 'm') + ".mid";
    std::filesystem::create_directory(m_root / "bgm" / folder);
    WriteMidi((folder + "/" + name).c_str());
    ASSERT_EQ(BgmSetFile(*m_bgm, 1, ("bgm\\" + folder + "\\" + name).c_str(), 100), 1);
    ASSERT_EQ(BgmPlay(*m_bgm, 0, 1, 1, 0, 1), 1);
    EXPECT_EQ(m_bgm->ChannelState(0), 2);
}

TEST_F(Music, PlaysOggThenMidiAndKeepsTheCurrentTrack) {
    if (!CopyBell("title.ogg")) GTEST_SKIP() << "sound-theme-freedesktop is not installed";
    WriteMidi("stage.mid");
    BgmSetFile(*m_bgm, 0, "BGM\\Title.ogg", 100);
    ASSERT_EQ(BgmPlay(*m_bgm, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(m_bgm->ChannelState(0), 1);
    EXPECT_GT(Peak(Render(2000)), 0.01f);
    Render(6000); // past the end of the file, which does not loop
    // The same track again without force does nothing, even once it has ended.
    EXPECT_EQ(BgmPlay(*m_bgm, 0, 0, 1, 0, 0), 1);
    EXPECT_EQ(Peak(Render(2000)), 0.0f);

    // A ".MID" file plays through the own player once its name is rewritten to ".mid".
    BgmSetFile(*m_bgm, 4, "bgm\\STAGE.MID", 100);
    ASSERT_EQ(BgmPlay(*m_bgm, 0, 4, 1, 0, 1), 1);
    EXPECT_EQ(m_bgm->ChannelState(0), 2);
    EXPECT_EQ(m_bgm->CurrentTrack(), 4);
    Render(100);
    EXPECT_EQ(Peak(Render(2000)), 0.0f); // the Ogg player was stopped; the log synth is silent
    ASSERT_FALSE(m_synth.log->Take().empty());
    EXPECT_EQ(m_synth.log->Take()[0].status, 0x90);

    m_bgm->Stop();
    EXPECT_EQ(m_bgm->MidiStream(0)->State(), 0);
}

TEST_F(Music, NothingPlayableLeavesTheMusicSilent) {
    BgmSetFile(*m_bgm, 2, "bgm\\a.Mid", 50); // both rows, neither player takes it
    WriteMidi("a.Mid");
    EXPECT_EQ(BgmPlay(*m_bgm, 0, 2, 1, 0, 0), 0);
    EXPECT_EQ(m_bgm->ChannelState(0), 0);
    EXPECT_EQ(m_bgm->CurrentTrack(), -1);
    BgmSetFile(*m_bgm, 1, "bgm\\missing.ogg", 50);
    EXPECT_EQ(BgmPlay(*m_bgm, 0, 1, 1, 0, 0), 0);
    EXPECT_EQ(BgmPlay(*m_bgm, 3, 1, 1, 0, 0), 0); // no such channel
}

TEST_F(Music, OggVolumeBelowHundredScalesTheGain) {
    if (!CopyBell("a.ogg")) GTEST_SKIP() << "sound-theme-freedesktop is not installed";
    BgmSetFile(*m_bgm, 0, "bgm\\a.ogg", 100);
    BgmPlay(*m_bgm, 0, 0, 0, 0, 1);
    const float full = Peak(Render(3000));
    BgmSetFile(*m_bgm, 0, "bgm\\a.ogg", 50);
    BgmPlay(*m_bgm, 0, 0, 0, 0, 1);
    EXPECT_NEAR(Peak(Render(3000)), full * 0.5f, 1e-4);
    // Back at 100 no volume is set, and the fresh load plays at full gain again.
    BgmSetFile(*m_bgm, 0, "bgm\\a.ogg", 100);
    BgmPlay(*m_bgm, 0, 0, 0, 0, 1);
    EXPECT_FLOAT_EQ(Peak(Render(3000)), full);
}

// MIDI follows the music volume with the Ogg player's curve, through the real synthesizer.
class MidiMusic : public SoundTest {};

TEST_F(MidiMusic, VolumeScalesTheSynthesizedLevelLikeOgg) {
    if (!std::filesystem::exists(MidiSoundFontPath())) GTEST_SKIP() << "no sound font";
    Track t;
    t.Ev(0, {0xC0, 0}).Ev(0, {0x90, 60, 110}).Ev(0, {0x90, 64, 100}).Ev(192, {0x80, 60, 0}).End(0);
    WriteFile(m_root / "m.mid", MakeSmf(0, 96, {t}));
    BGMTRACK ogg[5], midi[5];
    cBgm bgm;
    ASSERT_EQ(bgm.Init(1, ogg, midi, 5), 1);
    auto rms = [&](i32 volume) {
        BgmSetFile(bgm, 0, "m.mid", volume);
        EXPECT_EQ(BgmPlay(bgm, 0, 0, 0, 0, 1), 1);
        // The song starts once its synthesizer has loaded the sound font (beside the program):
        // the half second measured begins with the song's first block, whenever that comes.
        std::vector<float> v;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(volume > 0 ? 120 : 1);
        while (std::chrono::steady_clock::now() < give_up) {
            v = Render(441);
            if (std::any_of(v.begin(), v.end(), [](float x) { return x != 0.0f; })) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const std::vector<float> rest = Render(22050 - 441);
        v.insert(v.end(), rest.begin(), rest.end());
        double sum = 0;
        for (float x : v) sum += static_cast<double>(x) * x;
        return std::sqrt(sum / static_cast<double>(v.size()));
    };
    const double full = rms(100), half = rms(50), over = rms(150), none = rms(0);
    EXPECT_GT(full, 0.005);
    EXPECT_NEAR(half / full, 0.5, 1e-3);
    EXPECT_NEAR(over / full, 1.0, 1e-3) << "100 and above play at full gain";
    EXPECT_EQ(none, 0.0);
}

TEST(MusicManager, DoesNothingUntilInitialisedAndAfterRelease) {
    cBgm bgm;
    EXPECT_FALSE(bgm.IsInit());
    EXPECT_EQ(BgmSetFile(bgm, 0, "bgm\\a.ogg", 10), 1);
    EXPECT_EQ(BgmPlay(bgm, 0, 0, 1, 0, 0), 1);
    bgm.Stop();
    bgm.Release();
    BGMTRACK ogg[5], midi[5];
    AudioOutputSetMemory(true);
    ASSERT_EQ(bgm.Init(1, ogg, midi, 5), 1);
    bgm.Release();
    EXPECT_FALSE(bgm.IsInit());
    EXPECT_EQ(BgmPlay(bgm, 0, 0, 1, 0, 0), 1);
}

// The window thread asks whether music runs while the options switch it on and off.
TEST(MusicManager, StateCanBeAskedWhileAnotherThreadStartsAndStopsIt) {
    cBgm bgm;
    BGMTRACK ogg[5], midi[5];
    AudioOutputSetMemory(true);
    std::atomic<bool> stop{false};
    std::thread asker([&] {
        while (!stop) {
            (void)bgm.IsInit();
            (void)bgm.CurrentTrack();
        }
    });
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(bgm.Init(1, ogg, midi, 5), 1);
        bgm.Release();
    }
    stop = true;
    asker.join();
    EXPECT_FALSE(bgm.IsInit());
}
