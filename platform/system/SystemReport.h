#pragma once
// The system report written at start-up: what machine the game runs on, for the player to send
// with a problem report: the distribution and kernel, the processor, memory, disk, and SDL's
// version and drivers, which stand for the graphics and sound set-up.
#include <string>

#include "platform/system/Types.h"

int ReportSystemInfo();

// The display lines: window mode, colour depth, video memory and refresh rate, then SDL's
// renderer description in place of the DirectX diagnostic.
struct DISPLAYREPORT {
    bool fullscreen = false;
    int bpp = 32;
    bool direct3D = true;
    u32 refreshRate = 60;
    std::string rendererLines; // lines the window layer adds (renderer name, texture limits)
};
int ReportDisplayInfo(const DISPLAYREPORT& display);

void GetOSName(std::string* name, u32* major, u32* minor);
// Windows version tests of the old code answer as on a current system.
bool IsOSVersionAtLeast(u32 major, u32 minor);
// Video memory in bytes. There is no video memory of our own: a fixed, non-zero size, since
// callers divide by the total.
void GetVidMem(u32* total, u32* freeBytes);
u32 GetDDIVersion();

// The SDL line of the report (its version); the video driver's line; the sound line, written
// once the sound start-up has tried the device (opened: it has one).
std::string SdlReportLines();
std::string VideoReportLine();
int ReportAudioInfo(bool opened);
