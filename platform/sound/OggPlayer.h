#pragma once
// The Ogg Vorbis player behind the music manager, with the operations the manager expects of
// its outside Ogg player: load a file, play, stop, close the file, set the loop count, set
// the volume, release. Decoding happens in the mixer as it asks for sound, from the file held
// in memory, so a loop comes round without a gap.
#include "platform/system/Types.h"

// Loop count that never runs out.
constexpr u32 VOX_LOOP_ENDLESS = 0x7fffffff;

class cVoxPlayer {
public:
    // Loads a file (game path); nonzero when loaded. A new file plays at full volume.
    virtual u8 Load(const char* path) = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual void Unload() = 0;
    // How many times the file repeats after its first play (VOX_LOOP_ENDLESS: for ever).
    virtual void SetLoop(u32 count) = 0;
    virtual void SetVolume(float gain) = 0;
    // Ends the player and frees it.
    virtual void Release() = 0;
    // True while sound comes out (tests and the music manager's state).
    virtual bool IsPlaying() = 0;

protected:
    virtual ~cVoxPlayer() = default;
};

// Makes a player; null when it cannot be made.
cVoxPlayer* CreateVox();
