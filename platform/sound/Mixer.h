#pragma once
// The one software mixer behind sound effects and music. Everything is mixed as interleaved
// stereo float at one fixed rate; the audio device (when there is one) pulls finished blocks
// through its callback, and tests pull them with MixerRender instead of opening a device.
//
// Sound-effect buffers are voices: a voice plays a shared block of samples converted once (when
// the sound is first played). Music players are sources that render themselves into the mix on demand.
//
// Threads: the window thread and the game thread start and stop voices while the audio
// callback renders; every voice operation and the whole of a render hold the mixer's mutex.
// A source's Mix is called under that mutex, so a source must never call back into the mixer
// from Mix, and must never hold its own lock while calling the mixer.
#include <memory>
#include <vector>

#include "platform/system/Types.h"

// The mix rate. The device is asked for exactly this format and SDL converts when the
// hardware differs, so nothing loaded ever depends on the device.
constexpr int kMixRate = 44100;
constexpr int kMixChannels = 2;

using PcmBlock = std::shared_ptr<const std::vector<float>>; // frames at kMixRate (stereo or mono)

class cMixerSource {
public:
    virtual ~cMixerSource() = default;
    // Adds (never overwrites) frames of stereo sound into out.
    virtual void Mix(float* out, int frames) = 0;
};

// Gain factor of a DirectSound volume in hundredths of a decibel; -10000 and below is silence.
float VolumeToGain(i32 mB);

// Voices. Ids are never reused within a run, so a stale id only ever misses.
// A block of one channel (a mono sound, kept at half the size) plays the same on both sides.
int MixerCreateVoice(PcmBlock block, int channels = kMixChannels);
int MixerDuplicateVoice(int voice); // a voice sharing the block of another; 0 when it fails
// Gives a voice other samples (a sound converted on its first play); it stops if it played.
void MixerSetVoiceBlock(int voice, PcmBlock block, int channels);
void MixerReleaseVoice(int voice);
void MixerPlayVoice(int voice, bool loop); // stop, rewind and play
void MixerStopVoice(int voice);
void MixerSetVoiceVolume(int voice, i32 mB);
bool MixerIsVoicePlaying(int voice);
int MixerVoiceCount();

// Sources stay in the mix until removed; once MixerRemoveSource returns, the source is no
// longer used by any render and may be destroyed.
void MixerAddSource(cMixerSource* source);
void MixerRemoveSource(cMixerSource* source);

// Renders frames of stereo into out (overwritten). The device callback and tests call this.
void MixerRender(float* out, int frames);

// The output device, counted: each user (sound effects, music) opens it once and closes it
// once; the device closes with its last user. No device is not a failure: the mixer then runs
// unheard and one report line says so. Call on the window thread.
void AudioOutputOpen();
void AudioOutputClose();
bool AudioOutputHasDevice();
// Tests render into memory: with this set no device is ever opened.
void AudioOutputSetMemory(bool memory);
bool AudioOutputIsMemory();

// Streaming rate conversion to the mix format: linear interpolation, exact copy when the
// rates match. Input is 1 or more channels of float; more than two keep the first two.
class cResampler {
public:
    void Reset(int srcRate, int srcChannels);
    void Push(const float* frames, int count);
    void PushPlanar(float** channels, int count);
    // Takes up to count output frames; with flush, the last input frame is held to the end.
    int Pull(float* out, int count, bool flush = false);
    int Buffered() const { return static_cast<int>(m_vIn.size() / 2); }
    int SrcRate() const { return m_nSrcRate; }
    int SrcChannels() const { return m_nSrcChannels; }

private:
    int m_nSrcRate = kMixRate;
    int m_nSrcChannels = 2;
    double m_dPos = 0.0;      // read position in m_vIn, in frames
    std::vector<float> m_vIn; // stereo input not yet consumed
};

// Converts a whole block of frames (any rate, 1 or 2 channels) into a mix-rate block.
std::vector<float> ConvertToMix(const float* frames, int count, int srcRate, int srcChannels);
