#include "platform/sound/Sound.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>

#include "platform/sound/Mixer.h"
#include "platform/sound/Wave.h"
#include "platform/system/Report.h"
#include "platform/system/Timers.h"

struct DSPENDINGPCM {
    WAVEDATA wave;
    int channels = kMixChannels;
};

const i32 g_anSeVolumeStep[11] = {-10000, -3000, -2000, -1300, -800, -500, -300, -150, -80, -30, 0};

namespace {

// Limits that keep a hostile list or file from asking for unbounded memory: more overlapping
// copies than anyone can hear, or a sound effect longer than ten minutes once converted.
constexpr i32 kMaxBuffers = 1024;
constexpr u64 kMaxFrames = static_cast<u64>(kMixRate) * 600;

std::recursive_mutex g_dsMutex;
bool g_bInit = false;
HWND g_hDsWnd = nullptr;
std::vector<DSSOUND>* g_pSounds = nullptr;
std::vector<DSSOUNDDEF>* g_pDefs = nullptr;

void ClearSound(DSSOUND& sound) {
    for (int v : sound.vBuffer) MixerReleaseVoice(v);
    sound = DSSOUND{};
}

// The samples of a sound in the mix format, as they are heard: the rate changed, and a mono
// sound kept as one of the two equal sides. Throws bad_alloc.
PcmBlock ConvertSound(const WAVEDATA& wave) {
    const u64 frames = wave.vData.size() / (wave.wfx.nChannels * (wave.wfx.wBitsPerSample / 8u));
    const std::vector<float> samples = WaveToFloat(wave);
    std::vector<float> mixed =
        ConvertToMix(samples.data(), static_cast<int>(frames), static_cast<int>(wave.wfx.nSamplesPerSec), wave.wfx.nChannels);
    if (wave.wfx.nChannels == 1) {
        std::vector<float> mono(mixed.size() / 2);
        for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = mixed[2 * i];
        mixed = std::move(mono);
    }
    return std::make_shared<const std::vector<float>>(std::move(mixed));
}

// A sound's first play: its voices get their samples. A sound that cannot be converted says so
// once and stays silent.
void ConvertPending(DSSOUND& sound) {
    const std::shared_ptr<DSPENDINGPCM> pending = std::move(sound.pending);
    sound.pending.reset();
    PcmBlock block;
    try {
        block = ConvertSound(pending->wave);
    } catch (const std::bad_alloc&) {
        WriteReportLog("%sのメモリ確保失敗！", sound.strName.c_str());
        return;
    }
    for (int voice : sound.vBuffer) MixerSetVoiceBlock(voice, block, pending->channels);
}

} // namespace

bool DS_Init(HWND hWnd, u32, u32, u32) {
    std::lock_guard lock(g_dsMutex);
    const bool opened = !g_bInit;
    if (opened) AudioOutputOpen();
    // No output device: the caller goes on without sound effects (the device's absence has
    // its report line already).
    if (!AudioOutputHasDevice() && !AudioOutputIsMemory()) {
        if (opened) AudioOutputClose();
        g_bInit = false;
        DebugLog("DIRECTSOUNDCREATE_ERR!");
        return false;
    }
    g_bInit = true;
    g_hDsWnd = hWnd;
    g_pSounds = nullptr;
    g_pDefs = nullptr;
    return true;
}

int DSCreate(std::vector<DSSOUND>& sounds, std::vector<DSSOUNDDEF>& defs, i32 volume) {
    std::lock_guard lock(g_dsMutex);
    g_pSounds = &sounds;
    g_pDefs = &defs;
    const std::size_t n = std::min(sounds.size(), defs.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (!sounds[i].vBuffer.empty()) continue;
        DSCreateSound(sounds[i], defs[i].strFile, defs[i].nBufferCount, volume != 0 ? volume : defs[i].nVolume);
    }
    return 1;
}

bool DSCreateSound(DSSOUND& sound, const std::string& path, i32 bufferCount, i32 volume) {
    std::lock_guard lock(g_dsMutex);
    if (!g_bInit) return true;
    TimerElapsed(true);
    ClearSound(sound);
    if (bufferCount < 1) return true; // nothing asked for: a silent sound
    if (bufferCount > kMaxBuffers) {
        WriteReportLog("%sのメモリ確保失敗！", path.c_str());
        return false;
    }

    WAVEDATA wave;
    if (!LoadWave(path, wave)) {
        WriteReportLog("%s の読み込みに失敗しました！", path.c_str());
        return false;
    }
    const u64 frames = wave.vData.size() / (wave.wfx.nChannels * (wave.wfx.wBitsPerSample / 8u));
    if (frames * kMixRate / wave.wfx.nSamplesPerSec > kMaxFrames) {
        WriteReportLog("%sのメモリ確保失敗！", path.c_str());
        return false;
    }
    const int channels = wave.wfx.nChannels == 1 ? 1 : kMixChannels;
    DSSOUND made;
    // The voices start on an empty block (silent); the first play gives them the samples.
    const int first = MixerCreateVoice(std::make_shared<const std::vector<float>>(), channels);
    if (first == 0) {
        WriteReportLog("%s生成失敗！", path.c_str());
        return false;
    }
    made.vBuffer.push_back(first);
    for (i32 i = 1; i < bufferCount; ++i) {
        const int dup = MixerDuplicateVoice(first);
        if (dup == 0) {
            WriteReportLog("%sのメモリ共用バッファの生成失敗！", path.c_str());
            ClearSound(made);
            return false;
        }
        made.vBuffer.push_back(dup);
    }
    made.vVolume.assign(made.vBuffer.size(), 0);
    made.dwCount = static_cast<u32>(bufferCount);
    made.strName = path;
    made.pending = std::make_shared<DSPENDINGPCM>(DSPENDINGPCM{std::move(wave), channels});
    sound = std::move(made);
    if (volume != 0)
        for (u32 i = 0; i < sound.dwCount; ++i) DSSetVolume(sound, i, volume, false);
    return true;
}

void DSPlay(DSSOUND& sound, u32 flags) {
    std::lock_guard lock(g_dsMutex);
    if (!g_bInit || sound.dwCount == 0 || sound.dwNext >= sound.vBuffer.size()) return;
    if (sound.pending) ConvertPending(sound);
    MixerPlayVoice(sound.vBuffer[sound.dwNext], (flags & DSBPLAY_LOOPING) != 0);
    if (++sound.dwNext >= sound.dwCount) sound.dwNext = 0;
}

i32 DSSetVolume(DSSOUND& sound, u32 buffer, i32 volume, bool relative) {
    std::lock_guard lock(g_dsMutex);
    if (!g_bInit || buffer >= sound.vBuffer.size()) return 0;
    i64 v = volume;
    if (relative) v += sound.vVolume[buffer];
    v = std::clamp<i64>(v, -10000, 0);
    sound.vVolume[buffer] = static_cast<i32>(v);
    MixerSetVoiceVolume(sound.vBuffer[buffer], static_cast<i32>(v));
    return static_cast<i32>(v);
}

i32 DSGetVolume(DSSOUND& sound, u32 buffer) {
    std::lock_guard lock(g_dsMutex);
    if (!g_bInit || buffer >= sound.vBuffer.size()) return 0;
    return sound.vVolume[buffer];
}

void PlayCursorSound(u32 keys, u32 which, int n) {
    std::lock_guard lock(g_dsMutex);
    if (!g_bInit || !g_pSounds || n < 0 || static_cast<std::size_t>(n) >= g_pSounds->size()) return;
    DSSOUND& sound = (*g_pSounds)[static_cast<std::size_t>(n)];
    if ((which & 1) && (keys & 3)) DSPlay(sound, 0);
    if ((which & 2) && (keys & 12)) DSPlay(sound, 0);
}

void DSRelease() {
    std::lock_guard lock(g_dsMutex);
    if (!g_bInit) return;
    if (g_pSounds)
        for (DSSOUND& s : *g_pSounds) ClearSound(s);
    g_pSounds = nullptr;
    g_pDefs = nullptr;
    g_hDsWnd = nullptr;
    g_bInit = false;
    AudioOutputClose();
}
