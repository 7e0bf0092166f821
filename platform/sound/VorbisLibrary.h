#pragma once
// The Ogg Vorbis decoder, opened by the first Ogg song rather than with the program: the three
// libraries cost every start a millisecond and more, and a game whose music is MIDI, or one
// that has not started a song yet, never needs them.
#include <vorbis/vorbisfile.h>

struct VorbisLibrary {
    decltype(&ov_open_callbacks) openCallbacks;
    decltype(&ov_info) info;
    decltype(&ov_read_float) readFloat;
    decltype(&ov_clear) clear;
};

// Null when the library or one of its functions cannot be found (one report line says so).
const VorbisLibrary* VorbisApi();
