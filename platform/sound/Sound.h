#pragma once
// Sound effects: every sound of the project's list is loaded once into a buffer and duplicated
// into as many buffers as its definition asks for; each play takes the sound's next buffer in
// turn, so a sound can overlap itself that many times. The buffers are voices of the mixer.
//
// DSPlay runs on the window thread and PlayCursorSound on the game thread: the sound records
// and the module state are guarded by one lock.
#include <memory>
#include <string>
#include <vector>

#include "platform/system/Types.h"
#include "platform/system/WindowMessages.h"

constexpr u32 DSBPLAY_LOOPING = 1;

// One row of the sound list (filled by start-up).
struct DSSOUNDDEF {
    std::string strFile;  // Shift-JIS path, game-relative
    i32 nBufferCount = 1; // how many times the sound can sound at once
    i32 nVolume = 0;      // hundredths of a decibel, -10000..0
};

// One sound, one per definition row, in a vector kept by the caller.
struct DSPENDINGPCM;
struct DSSOUND {
    std::string strName;
    std::vector<int> vBuffer; // mixer voices; element 0 the first buffer, the others its duplicates
    std::vector<i32> vVolume; // each buffer's volume
    u32 dwCount = 0;
    u32 dwNext = 0;
    // The file's samples, checked at load and converted to the mix format when the sound is
    // first played: most sounds of a game are not heard in a given run, and converting them
    // all cost start-up milliseconds and megabytes.
    std::shared_ptr<DSPENDINGPCM> pending;
};

// The primary format arguments are kept for the callers; everything mixes at the mix rate.
bool DS_Init(HWND hWnd, u32 samplesPerSec, u32 bitsPerSample, u32 channels);
int DSCreate(std::vector<DSSOUND>& sounds, std::vector<DSSOUNDDEF>& defs, i32 volume);
bool DSCreateSound(DSSOUND& sound, const std::string& path, i32 bufferCount, i32 volume);
void DSPlay(DSSOUND& sound, u32 flags);
i32 DSSetVolume(DSSOUND& sound, u32 buffer, i32 volume, bool relative);
i32 DSGetVolume(DSSOUND& sound, u32 buffer);
void PlayCursorSound(u32 keys, u32 which, int sound);
void DSRelease();

// The sound-effect volume steps of the options (level 0 to 10).
extern const i32 g_anSeVolumeStep[11];
