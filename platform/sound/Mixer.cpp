#include "platform/sound/Mixer.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/system/Report.h"

namespace {

struct Voice {
    PcmBlock block;
    int channels = kMixChannels; // of the block: 1 or 2
    std::size_t pos = 0; // frame
    bool playing = false;
    bool loop = false;
    float gain = 1.0f;
};

// The state lives on the heap and is never freed: players owned by static objects leave the
// mix from their destructors at exit, whatever order the static objects die in.
struct MixerState {
    std::mutex mixMutex;
    std::map<int, Voice> voices;
    std::vector<cMixerSource*> sources;
    int nextVoice = 1;

    std::mutex outMutex;
    int outUsers = 0;
    SDL_AudioDeviceID device = 0;
    bool sdlAudioInit = false;
    std::atomic<bool> memoryOnly{false};
};

MixerState& S() {
    static MixerState* state = new MixerState;
    return *state;
}


void SDLCALL DeviceCallback(void*, Uint8* stream, int len) {
    try {
        MixerRender(reinterpret_cast<float*>(stream), len / static_cast<int>(sizeof(float) * kMixChannels));
    } catch (...) {
        // Nothing may leave the audio thread; this block is silence instead.
        std::memset(stream, 0, static_cast<std::size_t>(len));
    }
}

} // namespace

float VolumeToGain(i32 mB) {
    if (mB <= -10000) return 0.0f;
    if (mB >= 0) return 1.0f;
    return static_cast<float>(std::pow(10.0, mB / 2000.0));
}

int MixerCreateVoice(PcmBlock block, int channels) {
    if (!block || (channels != 1 && channels != kMixChannels)) return 0;
    std::lock_guard lock(S().mixMutex);
    const int id = S().nextVoice++;
    S().voices[id].block = std::move(block);
    S().voices[id].channels = channels;
    return id;
}

int MixerDuplicateVoice(int voice) {
    std::lock_guard lock(S().mixMutex);
    auto it = S().voices.find(voice);
    if (it == S().voices.end()) return 0;
    const int id = S().nextVoice++;
    Voice copy;
    copy.block = it->second.block;
    copy.channels = it->second.channels;
    copy.gain = it->second.gain;
    S().voices[id] = std::move(copy);
    return id;
}

void MixerSetVoiceBlock(int voice, PcmBlock block, int channels) {
    if (!block || (channels != 1 && channels != kMixChannels)) return;
    std::lock_guard lock(S().mixMutex);
    auto it = S().voices.find(voice);
    if (it == S().voices.end()) return;
    it->second.block = std::move(block);
    it->second.channels = channels;
    it->second.pos = 0;
    it->second.playing = false;
}

void MixerReleaseVoice(int voice) {
    std::lock_guard lock(S().mixMutex);
    S().voices.erase(voice);
}

void MixerPlayVoice(int voice, bool loop) {
    std::lock_guard lock(S().mixMutex);
    auto it = S().voices.find(voice);
    if (it == S().voices.end()) return;
    it->second.pos = 0;
    it->second.loop = loop;
    it->second.playing = !it->second.block->empty();
}

void MixerStopVoice(int voice) {
    std::lock_guard lock(S().mixMutex);
    auto it = S().voices.find(voice);
    if (it != S().voices.end()) it->second.playing = false;
}

void MixerSetVoiceVolume(int voice, i32 mB) {
    const float gain = VolumeToGain(mB);
    std::lock_guard lock(S().mixMutex);
    auto it = S().voices.find(voice);
    if (it != S().voices.end()) it->second.gain = gain;
}

bool MixerIsVoicePlaying(int voice) {
    std::lock_guard lock(S().mixMutex);
    auto it = S().voices.find(voice);
    return it != S().voices.end() && it->second.playing;
}

int MixerVoiceCount() {
    std::lock_guard lock(S().mixMutex);
    return static_cast<int>(S().voices.size());
}

void MixerAddSource(cMixerSource* source) {
    std::lock_guard lock(S().mixMutex);
    if (std::find(S().sources.begin(), S().sources.end(), source) == S().sources.end())
        S().sources.push_back(source);
}

void MixerRemoveSource(cMixerSource* source) {
    std::lock_guard lock(S().mixMutex);
    S().sources.erase(std::remove(S().sources.begin(), S().sources.end(), source), S().sources.end());
}

void MixerRender(float* out, int frames) {
    if (frames <= 0) return;
    std::fill(out, out + static_cast<std::size_t>(frames) * kMixChannels, 0.0f);
    std::lock_guard lock(S().mixMutex);
    for (auto& [id, v] : S().voices) {
        if (!v.playing) continue;
        const std::vector<float>& pcm = *v.block;
        const std::size_t total = pcm.size() / static_cast<std::size_t>(v.channels);
        int done = 0;
        while (done < frames && v.playing) {
            const std::size_t n = std::min<std::size_t>(frames - done, total - v.pos);
            float* dst = out + static_cast<std::size_t>(done) * kMixChannels;
            if (v.channels == kMixChannels) {
                const float* src = pcm.data() + v.pos * kMixChannels;
                for (std::size_t i = 0; i < n * kMixChannels; ++i) dst[i] += src[i] * v.gain;
            } else {
                const float* src = pcm.data() + v.pos;
                for (std::size_t i = 0; i < n; ++i) {
                    const float s = src[i] * v.gain;
                    dst[2 * i] += s;
                    dst[2 * i + 1] += s;
                }
            }
            done += static_cast<int>(n);
            v.pos += n;
            if (v.pos >= total) {
                v.pos = 0;
                if (!v.loop) v.playing = false;
            }
        }
    }
    for (cMixerSource* s : S().sources) s->Mix(out, frames);
    for (int i = 0; i < frames * kMixChannels; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

void AudioOutputSetMemory(bool memory) { S().memoryOnly = memory; }
bool AudioOutputIsMemory() { return S().memoryOnly; }

bool AudioOutputHasDevice() {
    std::lock_guard lock(S().outMutex);
    return S().device != 0;
}

// Only the first user tries the device, so a missing device is reported once however many
// users share the silence.
void AudioOutputOpen() {
    std::lock_guard lock(S().outMutex);
    if (S().outUsers++ > 0 || S().memoryOnly) return;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        WriteReport("サウンドデバイスがありません。音なしで続けます (%s)", SDL_GetError());
        return;
    }
    S().sdlAudioInit = true;
    SDL_AudioSpec want{};
    want.freq = kMixRate;
    want.format = AUDIO_F32SYS;
    want.channels = kMixChannels;
    want.samples = 1024;
    want.callback = DeviceCallback;
    SDL_AudioSpec have{};
    S().device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (S().device == 0) {
        WriteReport("サウンドデバイスがありません。音なしで続けます (%s)", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        S().sdlAudioInit = false;
        return;
    }
    SDL_PauseAudioDevice(S().device, 0);
}

void AudioOutputClose() {
    std::lock_guard lock(S().outMutex);
    if (S().outUsers == 0 || --S().outUsers > 0) return;
    if (S().device != 0) {
        SDL_CloseAudioDevice(S().device); // waits for a running callback to end
        S().device = 0;
    }
    if (S().sdlAudioInit) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        S().sdlAudioInit = false;
    }
}

// ---------------------------------------------------------------------------------------------

void cResampler::Reset(int srcRate, int srcChannels) {
    m_nSrcRate = srcRate > 0 ? srcRate : kMixRate;
    m_nSrcChannels = srcChannels > 0 ? srcChannels : 1;
    m_dPos = 0.0;
    m_vIn.clear();
}

void cResampler::Push(const float* frames, int count) {
    const std::size_t old = m_vIn.size();
    m_vIn.resize(old + static_cast<std::size_t>(count) * 2);
    float* dst = m_vIn.data() + old;
    for (int i = 0; i < count; ++i) {
        const float* f = frames + static_cast<std::size_t>(i) * m_nSrcChannels;
        dst[2 * i] = f[0];
        dst[2 * i + 1] = m_nSrcChannels > 1 ? f[1] : f[0];
    }
}

void cResampler::PushPlanar(float** channels, int count) {
    const std::size_t old = m_vIn.size();
    m_vIn.resize(old + static_cast<std::size_t>(count) * 2);
    float* dst = m_vIn.data() + old;
    const float* l = channels[0];
    const float* r = m_nSrcChannels > 1 ? channels[1] : channels[0];
    for (int i = 0; i < count; ++i) {
        dst[2 * i] = l[i];
        dst[2 * i + 1] = r[i];
    }
}

int cResampler::Pull(float* out, int count, bool flush) {
    const std::size_t have = m_vIn.size() / 2;
    int made = 0;
    if (m_nSrcRate == kMixRate) {
        const std::size_t start = static_cast<std::size_t>(m_dPos);
        const std::size_t n = std::min<std::size_t>(count, have - std::min(have, start));
        std::copy_n(m_vIn.data() + start * 2, n * 2, out);
        m_dPos += static_cast<double>(n);
        made = static_cast<int>(n);
    } else {
        const double step = static_cast<double>(m_nSrcRate) / kMixRate;
        while (made < count) {
            const std::size_t i = static_cast<std::size_t>(m_dPos);
            if (i >= have) break;
            const float frac = static_cast<float>(m_dPos - static_cast<double>(i));
            std::size_t j = i + 1;
            if (j >= have) {
                if (!flush) break;
                j = i;
            }
            for (int c = 0; c < 2; ++c)
                out[2 * made + c] = m_vIn[2 * i + c] + (m_vIn[2 * j + c] - m_vIn[2 * i + c]) * frac;
            ++made;
            m_dPos += step;
        }
    }
    // Drop what no later output can need.
    const std::size_t used = std::min<std::size_t>(static_cast<std::size_t>(m_dPos), have);
    if (used > 4096 || used == have) {
        m_vIn.erase(m_vIn.begin(), m_vIn.begin() + static_cast<std::ptrdiff_t>(used * 2));
        m_dPos -= static_cast<double>(used);
    }
    return made;
}

std::vector<float> ConvertToMix(const float* frames, int count, int srcRate, int srcChannels) {
    cResampler rs;
    rs.Reset(srcRate, srcChannels);
    rs.Push(frames, count);
    const std::size_t expect =
        static_cast<std::size_t>(std::ceil(static_cast<double>(count) * kMixRate / rs.SrcRate()));
    std::vector<float> out(expect * 2);
    const int made = rs.Pull(out.data(), static_cast<int>(expect), true);
    out.resize(static_cast<std::size_t>(made) * 2);
    return out;
}
