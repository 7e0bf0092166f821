#pragma once
// Work that the first frame does not need (reading the sound font, looking for pads) waits
// until that frame is on the screen: the start of the program goes to what the player sees
// first, and the music starts a moment later, when its font is in.
#include <atomic>

#include "platform/system/Types.h"

// The program is about to start and will show frames: from here later work waits for the first.
void FirstFrameExpect();
// The first frame is on the screen, or none will come (a failed start, the end of the run).
void FirstFrameShown();
bool FirstFrameWasShown();
// Returns once the first frame is shown, at once when none is expected, when cancel is set,
// or after limitMs in any case (a window never shown must not keep the music away for good).
void FirstFrameWait(const std::atomic<bool>& cancel, u32 limitMs);
