#pragma once
// Millisecond timers, frame counters and the frame pacing of the Direct3D drawing mode.
#include <functional>
#include <string>

#include "platform/system/Types.h"

u64 TimerMark();
u64 TimerMark2();
u32 TimerElapsed(bool restart);
u32 TimerElapsed2(bool latch);

// mode 0 resets (result 0); mode 2 answers 1 when the counter is at 0; any other mode counts and
// answers 1 each time the counter comes round to n.
int FrameCounter(int mode, int n);

// Frames counted in the last whole second; with count set the call is counted.
u32 CallsPerSecond(bool count);

// True when a call at this rate is due; fps 0 always allows.
bool RateLimit(u32 fps);

// Paces frames in the Direct3D mode: 1 when the next frame is due, 0 to wait a little and ask
// again. With show set, drawText receives the rate text to draw at (16, 8) of the back buffer.
using FrameTextDrawer = std::function<void(int x, int y, const std::string& text)>;
int FrameWait(u32 fps, bool show, const FrameTextDrawer& drawText);
// The graphics layer tells which drawing mode runs; DirectDraw paces by its own wait.
void FrameWaitSetDirect3D(bool direct3D);

// Restarts every timer state (a new run, or a test).
void ResetTimers();
