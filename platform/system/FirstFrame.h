#pragma once
// Work that the first frame does not need (opening the synthesizer library and reading the sound
// font, looking for pads) waits until the game has made the first frame that shows a picture
// (the title's, after the black first step of its fade-in) and handed it to the window: the
// start of the program goes to what the player sees first, and the music starts a moment later,
// when its font is in.
#include <atomic>

#include "platform/system/Types.h"

// The program is about to start and will show frames: from here later work waits for the first.
void FirstFrameExpect();
// The game's first picture is handed over, or none will come (a failed start, the end of video).
void FirstFrameShown();
bool FirstFrameWasShown();
// Returns once the first frame is done, at once when none is expected, when cancel is set,
// or after limitMs in any case (a game that never makes a frame must not keep the music away
// for good).
void FirstFrameWait(const std::atomic<bool>& cancel, u32 limitMs);
