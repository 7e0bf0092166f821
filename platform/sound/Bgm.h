#pragma once
// Background music: one manager with an Ogg player per channel and the runtime's own MIDI
// stream player, chosen per track by the file's extension. The outside MIDI library does not
// exist here, so MIDI always goes through the own player.
//
// The window thread makes every call; a lock still keeps a stray call from another thread safe.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound/MidiStream.h"
#include "platform/sound/OggPlayer.h"
#include "platform/system/Types.h"

// One row of a track table: a path (Shift-JIS, as long as the data names it) and its volume
// (0..100).
struct BGMTRACK {
    std::string szPath;
    i32 nVolume = 0;
};

// The Ogg players, one per channel.
class cVox {
public:
    bool Load();
    void Alloc(int channels);
    bool Play(int channel, const char* path, bool loop, i32 volume);
    void Stop();
    void Release();
    bool IsPlaying();

    cVoxPlayer* (*m_pCreateVox)() = nullptr;
    std::vector<cVoxPlayer*> m_vPlayer;
    int m_nChannels = 0;
    int m_nPlaying = -1;
};

// The outside MIDI library is absent here; Open always fails and the own player serves MIDI.
class cGgs {
public:
    bool Open();
};

class cBgm {
public:
    cBgm() = default;
    ~cBgm();
    cBgm(const cBgm&) = delete;
    cBgm& operator=(const cBgm&) = delete;

    int Init(int channels, BGMTRACK* ogg, BGMTRACK* midi, int tracks);
    void AllocTracks(int channels);
    void Stop();
    void Release();

    bool IsInit() const {
        std::lock_guard lock(m_mutex);
        return m_bInit != 0;
    }
    int CurrentTrack() const {
        std::lock_guard lock(m_mutex);
        return m_nTrack;
    }
    int ChannelState(int channel);
    cMidiStream* MidiStream(int channel); // tests

    friend int BgmSetFile(cBgm& bgm, int track, const char* path, i32 volume);
    friend int BgmPlay(cBgm& bgm, int channel, int track, int loop, int pauseOther, int force);

private:
    bool PlayMidi(int channel, int track, bool loop);
    void StopMidi(int pause);
    bool TrackIndexOk(int track);
    bool ChannelIndexOk(int channel);

    mutable std::recursive_mutex m_mutex;
    i32 m_bInit = 0;
    cVox m_Vox;
    BGMTRACK* m_pOgg = nullptr;
    i32 m_bGgs = 0;
    std::vector<std::unique_ptr<cMidiStream>> m_vMidi;
    BGMTRACK* m_pMidi = nullptr;
    int m_nTrack = -1;
    std::vector<i32> m_vKind;  // 0 both (Ogg first), 1 Ogg, 2 MIDI
    std::vector<i32> m_vState; // per channel: 0 silent, 1 Ogg, 2 MIDI
    bool m_bOutput = false;
    // Initialised without its Ogg player (the library could not be opened): every track stays
    // silent, and no call reaches a player that does not exist.
    bool m_bSilent = false;
};

int BgmSetFile(cBgm& bgm, int track, const char* path, i32 volume);
int BgmPlay(cBgm& bgm, int channel, int track, int loop, int pauseOther, int force);

extern cBgm g_Bgm;
