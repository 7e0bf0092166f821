#pragma once
// The synthesizer that MIDI stream events drive. The real one is FluidSynth with a General MIDI
// sound font, rendering into the mixer (no audio driver of its own); tests put in their own to
// see which events arrive at which sample.
#include <functional>
#include <memory>
#include <string>

#include "platform/system/Types.h"

class cMidiSynth {
public:
    virtual ~cMidiSynth() = default;
    // A channel message (0x80..0xEF).
    virtual void ShortMessage(u8 status, u8 data1, u8 data2) = 0;
    // A system exclusive message without its F0 and F7.
    virtual void Sysex(const u8* data, int length) = 0;
    virtual void AllNotesOff() = 0;
    // Writes frames of stereo float at the mix rate.
    virtual void Render(float* stereo, int frames) = 0;
    // False while the synthesizer is still being made ready (its sound font loading): the
    // stream then holds its events and its clock, so the song starts whole once it is.
    virtual bool Ready() { return true; }
};

// Makes the synthesizer of a new stream; null with error set when none can be made.
using MidiSynthFactory = std::function<std::unique_ptr<cMidiSynth>(std::string& error)>;
std::unique_ptr<cMidiSynth> CreateMidiSynth(std::string& error);
// Tests install their own maker; an empty one restores FluidSynth.
void SetMidiSynthFactory(MidiSynthFactory factory);
// True the first time a synthesizer could not be made (since the maker was last set): every
// song would fail the same way, so only the first failure is worth a report line.
bool FirstMidiSynthFailure();

// The sound font: TOBRELK_SOUNDFONT when set, else the Debian General MIDI font.
std::string MidiSoundFontPath();
