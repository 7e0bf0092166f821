#pragma once
// The Ogg Vorbis decoder, opened at run time when the music starts (the music manager's Ogg
// player cannot be made without it) rather than with the program: with the music switched off
// the three libraries are never loaded.
#include <vorbis/vorbisfile.h>

struct VorbisLibrary {
    decltype(&ov_open_callbacks) openCallbacks;
    decltype(&ov_info) info;
    decltype(&ov_read_float) readFloat;
    decltype(&ov_clear) clear;
};

// Null when the library or one of its functions cannot be found (one report line says so).
const VorbisLibrary* VorbisApi();
