#pragma once
// Start-up, shut-down and the window thread's life.
#include <string>

// Brings every subsystem up in order; false ends start-up (the caller runs AppExit).
bool AppInit(const std::string& cmdLine);
// Releases what start-up acquired (and accepts what was never acquired); saves nothing.
void AppExit();

// The program: command line, report file, single instance, window, start-up, game thread and
// the window thread's loop. Returns the process exit code.
int WinMain(int argc, char** argv);

// The colour depth chosen at start-up.
extern int g_nDepth;
