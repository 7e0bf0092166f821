#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <list>
#include <cmath>
#include <thread>

#include "SoundTestUtil.h"
#include "platform/sound/Mixer.h"
#include "platform/sound/Sound.h"
#include "platform/sound/Wave.h"

using namespace soundtest;

namespace {

class SoundEffects : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        ASSERT_TRUE(DS_Init(nullptr, 22050, 8, 1));
    }
    void TearDown() override {
        DSRelease();
        SoundTest::TearDown();
    }
    // Sounds made from these rows. The sound layer keeps using the list until DSRelease, as the
    // program's global list.
    std::vector<DSSOUND>& Create(std::vector<DSSOUNDDEF> defs, i32 volume = 0) {
        m_defs = std::move(defs);
        m_sounds.emplace_back(m_defs.size());
        DSCreate(m_sounds.back(), m_defs, volume);
        return m_sounds.back();
    }
    std::list<std::vector<DSSOUND>> m_sounds;
    std::vector<DSSOUNDDEF> m_defs;

    // A constant mono 16-bit sound at the mix rate, frames long.
    std::string ConstantWave(const std::string& name, int value, int frames) {
        std::vector<u8> samples;
        for (int i = 0; i < frames; ++i) PutLe(samples, static_cast<u16>(static_cast<i16>(value)), 2);
        WriteFile(m_root / name, MakeWave(1, kMixRate, 16, samples));
        return name;
    }
};

bool Parse(const std::vector<u8>& bytes, WAVEDATA& w) { return ParseWave(bytes.data(), bytes.size(), "t.wav", w); }

} // namespace

TEST_F(SoundEffects, RefusesHeadersASoundBufferCannotTake) {
    WAVEDATA w;
    const auto pcm = S16({1, 2, 3, 4});
    // A header without a bit depth, and an extensible one, are not plain PCM headers.
    EXPECT_FALSE(Parse(MakeWave(1, 22050, 16, pcm, 1, 14), w));
    EXPECT_FALSE(Parse(MakeWave(1, 22050, 16, pcm, 1, 40), w));
    EXPECT_EQ(CountLines("対応していない形式か、不正なwavファイルです。"), 2);
    EXPECT_FALSE(Parse(MakeWave(1, 22050, 4, pcm, 2, 18), w)); // ADPCM
    EXPECT_EQ(CountLines("PCM形式以外の形式です。"), 1);
    EXPECT_FALSE(Parse({'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, w));
    EXPECT_EQ(CountLines("不正なファイルです。"), 1);
    // What no buffer could be made of: 3 channels, 24 bits, a rate out of range.
    EXPECT_FALSE(Parse(MakeWave(3, 22050, 16, pcm), w));
    EXPECT_FALSE(Parse(MakeWave(1, 22050, 24, pcm), w));
    EXPECT_FALSE(Parse(MakeWave(1, 50, 16, pcm), w));
    EXPECT_EQ(CountLines("t.wav生成失敗！"), 3);
    // An empty data chunk.
    EXPECT_FALSE(Parse(MakeWave(1, 22050, 16, {}), w));
    EXPECT_TRUE(Parse(MakeWave(2, 22050, 8, {1, 2, 3, 4}, 1, 18), w));
}

TEST_F(SoundEffects, DamagedFilesKeepOnlyTheSamplesPresent) {
    const std::vector<u8> good = MakeWave(2, 22050, 16, S16({1, -1, 2, -2, 3, -3}));
    WAVEDATA w;
    // Every cut of the file either fails or yields whole frames within the file.
    for (std::size_t n = 0; n <= good.size(); ++n) {
        const std::vector<u8> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        if (Parse(cut, w)) {
            EXPECT_EQ(w.vData.size() % 4, 0u);
            EXPECT_LE(w.vData.size(), 12u);
        }
    }
    // A data size far past the end of the file (and a RIFF size that lies) is not allocated.
    std::vector<u8> huge = good;
    huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;
    const std::size_t dataSize = huge.size() - 12 - 4;
    huge[dataSize] = huge[dataSize + 1] = huge[dataSize + 2] = 0xFF;
    huge[dataSize + 3] = 0x7F;
    ASSERT_TRUE(Parse(huge, w));
    EXPECT_EQ(w.vData.size(), 12u);
}

TEST_F(SoundEffects, EightBitSamplesAreUnsigned) {
    WAVEDATA w;
    ASSERT_TRUE(Parse(MakeWave(1, 11025, 8, {0x00, 0x80, 0xFF}), w));
    const auto f = WaveToFloat(w);
    ASSERT_EQ(f.size(), 3u);
    EXPECT_FLOAT_EQ(f[0], -1.0f);
    EXPECT_FLOAT_EQ(f[1], 0.0f);
    EXPECT_NEAR(f[2], 0.992f, 0.001f);
}

TEST_F(SoundEffects, RealDebianWaveDecodesAndPlays) {
    const std::string path = "/usr/share/sounds/alsa/Front_Center.wav";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "alsa-utils is not installed";
    WAVEDATA w;
    ASSERT_TRUE(LoadWave(path, w));
    EXPECT_EQ(w.wfx.nChannels, 1);
    EXPECT_EQ(w.wfx.wBitsPerSample, 16);
    EXPECT_EQ(w.wfx.nSamplesPerSec, 48000u);
    const std::size_t frames = w.vData.size() / 2;

    auto& sounds = Create({{path}});
    ASSERT_EQ(sounds[0].dwCount, 1u);
    DSPlay(sounds[0], 0);
    // At the mix rate the sound lasts frames * 44100 / 48000 frames, and is heard.
    const int expect = static_cast<int>(std::ceil(frames * 44100.0 / 48000.0));
    const auto out = Render(expect - 10);
    float peak = 0;
    for (float v : out) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.05f);
    EXPECT_TRUE(MixerIsVoicePlaying(sounds[0].vBuffer[0]));
    Render(20);
    EXPECT_FALSE(MixerIsVoicePlaying(sounds[0].vBuffer[0]));
}

// A mono sound is kept as one channel and played on both: what is heard is, to the bit, the
// stereo conversion of it (rate changed), at the sound's volume, from two overlapping buffers.
TEST_F(SoundEffects, MonoSoundsPlayAsTheirStereoConversion) {
    std::vector<u8> bytes;
    std::vector<float> samples;
    for (int i = 0; i < 700; ++i) {
        const i16 v = static_cast<i16>((i * 977) % 20000 - 10000);
        PutLe(bytes, static_cast<u16>(v), 2);
        samples.push_back(static_cast<float>(v) / 32768.0f);
    }
    WriteFile(m_root / "m.wav", MakeWave(1, 22050, 16, bytes));
    auto& sounds = Create({{"m.wav", 2, -300}});
    ASSERT_EQ(sounds[0].dwCount, 2u);
    const std::vector<float> stereo = ConvertToMix(samples.data(), 700, 22050, 1);
    const float gain = VolumeToGain(-300);
    DSPlay(sounds[0], 0);
    const auto first = Render(100);
    DSPlay(sounds[0], 0);
    const auto both = Render(static_cast<int>(stereo.size() / 2) - 100);
    for (std::size_t i = 0; i < first.size(); ++i) ASSERT_EQ(first[i], stereo[i] * gain) << i;
    for (std::size_t i = 0; i < both.size(); ++i)
        ASSERT_EQ(both[i], stereo[first.size() + i] * gain + stereo[i] * gain) << i;
}

// Sounds are converted to the mix format on their first play: a stereo 8-bit sound at another
// rate, played first from the cursor path and then again over itself, is to the bit its
// conversion; a sound never played is never heard, and one whose file changed after the load
// plays what was loaded.
TEST_F(SoundEffects, SoundsPlayTheirLoadedSamplesConvertedOnTheFirstPlay) {
    std::vector<u8> bytes;
    std::vector<float> samples;
    for (int i = 0; i < 600; ++i)
        for (int c = 0; c < 2; ++c) {
            const u8 v = static_cast<u8>(98 + (i * (c ? 37 : 91)) % 61); // both buffers together stay within the output range
            bytes.push_back(v);
            samples.push_back((static_cast<float>(v) - 128.0f) / 128.0f);
        }
    WriteFile(m_root / "s.wav", MakeWave(2, 11025, 8, bytes));
    auto& sounds = Create({{"s.wav", 2}, {ConstantWave("quiet.wav", 20000, 100)}});
    WriteFile(m_root / "s.wav", MakeWave(1, 8000, 8, std::vector<u8>(10, 0)));
    const std::vector<float> stereo = ConvertToMix(samples.data(), 600, 11025, 2);
    PlayCursorSound(1, 1, 0);
    const auto first = Render(500);
    DSPlay(sounds[0], 0);
    const auto both = Render(static_cast<int>(stereo.size() / 2) - 500);
    for (std::size_t i = 0; i < first.size(); ++i) ASSERT_EQ(first[i], stereo[i]) << i;
    for (std::size_t i = 0; i < both.size(); ++i) ASSERT_EQ(both[i], stereo[first.size() + i] + stereo[i]) << i;
    const auto tail = Render(500);
    for (std::size_t i = 0; i < tail.size(); ++i) ASSERT_EQ(tail[i], stereo[both.size() + i]) << i;
    const auto after = Render(1000);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](float v) { return v == 0.0f; }));
    EXPECT_FALSE(MixerIsVoicePlaying(sounds[1].vBuffer[0]));
}

TEST_F(SoundEffects, OverlappingSoundsMixAtTheirVolumes) {
    // 0.5, 0.25 at -6 dB, and a missing file that stays silent while the others play.
    auto& sounds = Create({{ConstantWave("a.wav", 16384, 1000)}, {ConstantWave("b.wav", 8192, 1000), 1, -600}, {"missing.wav"}});
    EXPECT_EQ(CountLines("missing.wav の読み込みに失敗しました！"), 1);
    EXPECT_TRUE(sounds[2].vBuffer.empty());
    DSPlay(sounds[2], 0);

    DSPlay(sounds[0], 0);
    auto out = Render(100);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[1], 0.5f);
    DSPlay(sounds[1], 0);
    out = Render(100);
    const float gainB = std::pow(10.0f, -600.0f / 2000.0f);
    EXPECT_NEAR(out[0], 0.5f + 0.25f * gainB, 1e-6);
    EXPECT_NEAR(out[199], 0.5f + 0.25f * gainB, 1e-6);
    // A ends 100 frames before B.
    out = Render(850);
    EXPECT_NEAR(out[2 * 799], 0.5f + 0.25f * gainB, 1e-6);
    EXPECT_NEAR(out[2 * 800], 0.25f * gainB, 1e-6);
}

TEST_F(SoundEffects, SeveralFullVolumeSoundsStayInTheOutputRange) {
    const std::string max = ConstantWave("max.wav", 32767, 100), min = ConstantWave("min.wav", -32768, 100);
    auto& sounds = Create({{max}, {max}, {min}, {min}});
    DSPlay(sounds[0], 0);
    DSPlay(sounds[1], 0);
    auto out = Render(100);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 1.0f);
    DSPlay(sounds[2], 0);
    DSPlay(sounds[3], 0);
    out = Render(100);
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), -1.0f);
}

TEST_F(SoundEffects, BuffersAreTakenInTurnAndTheOldestIsCut) {
    auto& sounds = Create({{ConstantWave("c.wav", 3277, 10000), 3}}); // about 0.1
    ASSERT_EQ(sounds[0].vBuffer.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        DSPlay(sounds[0], 0);
        Render(1000);
    }
    EXPECT_EQ(sounds[0].dwNext, 0u);
    auto out = Render(1);
    EXPECT_NEAR(out[0], 3 * 3277 / 32768.0f, 1e-5);
    DSPlay(sounds[0], 0); // the fourth play restarts the first buffer
    EXPECT_EQ(sounds[0].dwNext, 1u);
    out = Render(1);
    EXPECT_NEAR(out[0], 3 * 3277 / 32768.0f, 1e-5);
    // The first buffer now ends last: the third ends at frame 12000, the first at 13001.
    Render(12000 - 3002);
    out = Render(1);
    EXPECT_NEAR(out[0], 3277 / 32768.0f, 1e-5);
}

TEST_F(SoundEffects, VolumesClampAndTheOptionOverridesEverySound) {
    const std::vector<DSSOUNDDEF> defs = {{ConstantWave("d.wav", 16384, 100), 1, -600}, {ConstantWave("e.wav", 16384, 100)}};
    auto& sounds = Create(defs, g_anSeVolumeStep[0]);
    EXPECT_EQ(DSGetVolume(sounds[0], 0), -10000);
    EXPECT_EQ(DSGetVolume(sounds[1], 0), -10000);
    DSPlay(sounds[0], 0);
    EXPECT_EQ(Render(10)[0], 0.0f);

    EXPECT_EQ(DSSetVolume(sounds[0], 0, -8000, false), -8000);
    EXPECT_EQ(DSSetVolume(sounds[0], 0, -5000, true), -10000);
    EXPECT_EQ(DSSetVolume(sounds[0], 0, 500, false), 0);
    EXPECT_EQ(DSSetVolume(sounds[0], 7, -100, false), 0); // no such buffer
    EXPECT_EQ(DSGetVolume(sounds[0], 7), 0);

    // At the top level each sound keeps its own volume.
    DSRelease();
    ASSERT_TRUE(DS_Init(nullptr, 22050, 8, 1));
    auto& again = Create(defs, g_anSeVolumeStep[10]);
    EXPECT_EQ(DSGetVolume(again[0], 0), -600);
    EXPECT_EQ(DSGetVolume(again[1], 0), 0);
}

TEST_F(SoundEffects, DiagonalCursorMovePlaysTwice) {
    auto& sounds = Create({{ConstantWave("f.wav", 1000, 100), 2}});
    PlayCursorSound(1 | 8, 3, 0);
    EXPECT_TRUE(MixerIsVoicePlaying(sounds[0].vBuffer[0]));
    EXPECT_TRUE(MixerIsVoicePlaying(sounds[0].vBuffer[1]));
    PlayCursorSound(1, 2, 0); // horizontal key, vertical axis only: nothing
    EXPECT_EQ(sounds[0].dwNext, 0u);
    PlayCursorSound(4, 2, 5); // no such sound
}

TEST_F(SoundEffects, PlaysFromTwoThreadsWhileRendering) {
    auto& sounds = Create({{ConstantWave("g.wav", 1000, 300), 4}});
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> buf(512);
        while (!stop) MixerRender(buf.data(), 256);
    });
    std::thread game([&] {
        for (int i = 0; i < 2000; ++i) PlayCursorSound(4, 2, 0);
    });
    for (int i = 0; i < 2000; ++i) {
        DSPlay(sounds[0], 0);
        DSSetVolume(sounds[0], static_cast<u32>(i % 4), -10, true);
    }
    game.join();
    stop = true;
    audio.join();
    EXPECT_LT(sounds[0].dwNext, 4u);
}

TEST(SoundResampler, ConvertsRatesAndChannels) {
    // Same rate: an exact copy, mono doubled to both sides.
    const float mono[3] = {0.1f, -0.2f, 0.3f};
    auto same = ConvertToMix(mono, 3, kMixRate, 1);
    ASSERT_EQ(same.size(), 6u);
    EXPECT_EQ(same[2], -0.2f);
    EXPECT_EQ(same[3], -0.2f);
    // Half the rate: twice the frames, the new ones between their neighbours.
    const float ramp[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    auto up = ConvertToMix(ramp, 2, kMixRate / 2, 2);
    ASSERT_EQ(up.size(), 8u);
    EXPECT_FLOAT_EQ(up[2], 0.5f);
    EXPECT_FLOAT_EQ(up[4], 1.0f);
}

TEST(SoundDevice, DummyDriverPlaysAndAMissingDeviceIsOneReportLine) {
    ScratchGame game;
    AudioOutputSetMemory(false);
    setenv("SDL_AUDIODRIVER", "dummy", 0); // as the test scripts set it; never a real card
    // The dummy driver pulls sound at real-time pace through the callback.
    AudioOutputOpen();
    ASSERT_TRUE(AudioOutputHasDevice());
    const std::vector<float> tone(2 * 4410, 0.25f);
    const int voice = MixerCreateVoice(std::make_shared<const std::vector<float>>(tone));
    MixerPlayVoice(voice, false);
    // A loaded machine can starve the device thread for a while: wait up to two minutes.
    for (int i = 0; i < 12000 && MixerIsVoicePlaying(voice); ++i) SDL_Delay(10);
    EXPECT_FALSE(MixerIsVoicePlaying(voice)); // the device's callback played it to its end
    AudioOutputClose();
    MixerReleaseVoice(voice);
    EXPECT_FALSE(AudioOutputHasDevice());

    // No device at all: silent, one line, for every later user as well.
    const char* saved = std::getenv("SDL_AUDIODRIVER");
    const std::string keep = saved ? saved : "";
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    AudioOutputOpen();
    AudioOutputOpen();
    EXPECT_FALSE(AudioOutputHasDevice());
    // The sound effects' start says so (start-up then goes on silent), adding no line.
    EXPECT_FALSE(DS_Init(nullptr, 22050, 8, 1));
    AudioOutputClose();
    AudioOutputClose();
    DSRelease();
    setenv("SDL_AUDIODRIVER", keep.c_str(), 1);
    const std::string report = game.Report();
    EXPECT_NE(report.find("サウンドデバイスがありません"), std::string::npos);
    EXPECT_EQ(report.find("サウンドデバイスがありません"), report.rfind("サウンドデバイスがありません"));
}
