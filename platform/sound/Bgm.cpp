#include "platform/sound/Bgm.h"

#include <string>

#include "platform/sound/Mixer.h"
#include "platform/sound/VorbisLibrary.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"

cBgm g_Bgm;

namespace {

constexpr u32 kBgmLoopEndless = VOX_LOOP_ENDLESS;

void SetRow(BGMTRACK& row, const std::string& path, i32 volume) {
    row.szPath = path;
    row.nVolume = volume;
}

// The bad-index rule of the checked containers: report, ask the program to close.
void ReportBadIndex(int index, std::size_t count, std::size_t elementSize) {
    WriteReport("err V[%d] ( %d , %d )", index, static_cast<int>(count), static_cast<int>(elementSize));
    PostMessage(g_hWnd, WM_CLOSE, 0, 0);
}

} // namespace

// ---------------------------------------------------------------------------------------------

bool cVox::Load() {
    // The player needs the Ogg Vorbis library, which is opened at run time: without it there is
    // no Ogg player, and the music manager stays silent.
    m_pCreateVox = VorbisApi() ? &CreateVox : nullptr;
    if (!m_pCreateVox) {
        ErrorBox("oggの初期化に失敗！");
        return false;
    }
    return true;
}

void cVox::Alloc(int channels) {
    Release();
    m_pCreateVox = &CreateVox;
    for (int i = 0; i < channels; ++i) {
        cVoxPlayer* player = m_pCreateVox();
        if (!player) OutOfMemory();
        m_vPlayer.push_back(player);
    }
    m_nChannels = channels;
}

bool cVox::Play(int channel, const char* path, bool loop, i32 volume) {
    if (!path || !*path) return false;
    if (channel < 0 || channel >= static_cast<int>(m_vPlayer.size()) || !m_vPlayer[channel]) return false;
    Stop();
    cVoxPlayer* player = m_vPlayer[channel];
    player->Unload();
    if (!player->Load(path)) {
        m_nPlaying = -1;
        return false;
    }
    if (volume < 100) player->SetVolume(static_cast<float>(volume * 0.01));
    player->SetLoop(loop ? kBgmLoopEndless : 0);
    player->Play();
    m_nPlaying = channel;
    return true;
}

void cVox::Stop() {
    if (m_nPlaying >= 0 && m_nPlaying < static_cast<int>(m_vPlayer.size()) && m_vPlayer[m_nPlaying])
        m_vPlayer[m_nPlaying]->Stop();
    m_nPlaying = -1;
}

void cVox::Release() {
    for (cVoxPlayer* p : m_vPlayer)
        if (p) p->Release();
    m_vPlayer.clear();
    m_nChannels = 0;
    m_nPlaying = -1;
}

bool cVox::IsPlaying() {
    return m_nPlaying >= 0 && m_nPlaying < static_cast<int>(m_vPlayer.size()) && m_vPlayer[m_nPlaying] &&
           m_vPlayer[m_nPlaying]->IsPlaying();
}

bool cGgs::Open() {
    ErrorBoxLog("dllがないテスト");
    return false;
}

// ---------------------------------------------------------------------------------------------

cBgm::~cBgm() { Release(); }

int cBgm::Init(int channels, BGMTRACK* ogg, BGMTRACK* midi, int tracks) {
    std::lock_guard lock(m_mutex);
    if (m_bInit) return 1;
    m_bInit = 1;
    if (!m_bOutput) {
        AudioOutputOpen();
        m_bOutput = true;
    }
    m_bGgs = cGgs().Open() ? 1 : 0;
    if (!m_bGgs) m_vMidi.clear();
    if (!m_Vox.Load()) {
        m_bSilent = true;
        return 0;
    }
    AllocTracks(channels);
    m_pOgg = ogg;
    m_pMidi = midi;
    m_vKind.assign(static_cast<std::size_t>(tracks > 0 ? tracks : 0), 0);
    m_nTrack = -1;
    return 1;
}

void cBgm::AllocTracks(int channels) {
    std::lock_guard lock(m_mutex);
    if (channels < 0) channels = 0;
    if (!m_bGgs) {
        StopMidi(0);
        m_vMidi.clear();
        m_vMidi.resize(static_cast<std::size_t>(channels));
    }
    m_Vox.Alloc(channels);
    m_vState.assign(static_cast<std::size_t>(channels), 0);
}

bool cBgm::TrackIndexOk(int track) {
    if (track >= 0 && static_cast<std::size_t>(track) < m_vKind.size() && m_pOgg && m_pMidi) return true;
    ReportBadIndex(track, m_vKind.size(), sizeof(i32));
    return false;
}

bool cBgm::ChannelIndexOk(int channel) {
    if (channel >= 0 && static_cast<std::size_t>(channel) < m_vState.size()) return true;
    ReportBadIndex(channel, m_vState.size(), sizeof(i32));
    return false;
}

bool cBgm::PlayMidi(int channel, int track, bool loop) {
    // The same curve as the Ogg player: below 100 the gain is volume x 0.01, else full.
    const i32 volume = m_pMidi[track].nVolume;
    const float gain = volume < 100 ? static_cast<float>(volume * 0.01) : 1.0f;
    return cMidiStream::Play(m_vMidi, channel, m_pMidi[track].szPath.c_str(), loop, gain) != 0;
}

void cBgm::StopMidi(int pause) { cMidiStream::Stop(m_vMidi, pause); }

void cBgm::Stop() {
    std::lock_guard lock(m_mutex);
    if (!m_bInit) return;
    StopMidi(0);
    m_Vox.Stop();
}

void cBgm::Release() {
    std::lock_guard lock(m_mutex);
    if (!m_bInit) return;
    m_Vox.Release();
    StopMidi(0);
    m_vMidi.clear();
    m_vKind.clear();
    m_vState.clear();
    m_pOgg = m_pMidi = nullptr;
    m_nTrack = -1;
    m_bInit = 0;
    m_bSilent = false;
    if (m_bOutput) {
        AudioOutputClose();
        m_bOutput = false;
    }
}

int cBgm::ChannelState(int channel) {
    std::lock_guard lock(m_mutex);
    if (channel < 0 || static_cast<std::size_t>(channel) >= m_vState.size()) return 0;
    return m_vState[channel];
}

cMidiStream* cBgm::MidiStream(int channel) {
    std::lock_guard lock(m_mutex);
    if (channel < 0 || static_cast<std::size_t>(channel) >= m_vMidi.size()) return nullptr;
    return m_vMidi[channel].get();
}

int BgmSetFile(cBgm& bgm, int track, const char* path, i32 volume) {
    std::lock_guard lock(bgm.m_mutex);
    if (!bgm.m_bInit) return 1;
    if (bgm.m_bSilent || !bgm.TrackIndexOk(track)) return 0;
    BGMTRACK& ogg = bgm.m_pOgg[track];
    BGMTRACK& midi = bgm.m_pMidi[track];
    const std::string file = path ? path : "";
    std::string ext;
    if (!GetExtension(ext, file)) {
        SetRow(ogg, "", 0);
        SetRow(midi, "", 0);
        bgm.m_vKind[track] = 0;
        return 0;
    }
    if (ext == "mid" || ext == "MID") {
        std::string lower;
        ReplaceExtension(lower, file, "mid");
        SetRow(midi, lower, volume);
        bgm.m_vKind[track] = 2;
        return 1;
    }
    if (ext == "ogg" || ext == "OGG") {
        SetRow(ogg, file, volume);
        bgm.m_vKind[track] = 1;
        return 1;
    }
    SetRow(ogg, file, volume);
    SetRow(midi, file, volume);
    bgm.m_vKind[track] = 0;
    return 0;
}

int BgmPlay(cBgm& bgm, int channel, int track, int loop, int pauseOther, int force) {
    std::lock_guard lock(bgm.m_mutex);
    if (!bgm.m_bInit) return 1;
    if (bgm.m_bSilent) return 0;
    if (track == bgm.m_nTrack && !force) return 1;
    bgm.m_nTrack = track;
    if (!bgm.TrackIndexOk(track) || !bgm.ChannelIndexOk(channel)) {
        bgm.m_nTrack = -1;
        return 0;
    }
    const i32 kind = bgm.m_vKind[track];
    const BGMTRACK& ogg = bgm.m_pOgg[track];
    if (kind == 0 || kind == 1) {
        if (bgm.m_Vox.Play(channel, ogg.szPath.c_str(), loop != 0, ogg.nVolume)) {
            bgm.m_vState[channel] = 1;
            bgm.StopMidi(kind == 0 && pauseOther ? 1 : 0);
            return 1;
        }
    }
    if (kind == 0 || kind == 2) {
        if (bgm.PlayMidi(channel, track, loop != 0)) {
            bgm.m_vState[channel] = 2;
            bgm.m_Vox.Stop();
            return 1;
        }
    }
    bgm.m_vState[channel] = 0;
    bgm.m_nTrack = -1;
    bgm.m_Vox.Stop();
    bgm.StopMidi(0);
    return 0;
}
