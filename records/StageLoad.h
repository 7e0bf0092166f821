#pragma once
// Loading a stage file for play: the one way a stage file becomes g_Stage. The file is read on
// the worker thread thLoad while the calling thread keeps serving its own messages, so that the
// window stays responsive and requests from other threads are answered.
#include <string>

#include "platform/system/Thread.h"
#include "records/Stage.h"

extern cThread thLoad;
// The stage file being played (g_Stage's own path).
extern std::string& g_strStageFile;

// Loads path (numbered: the highest existing "<path without extension>.stg4_NNN") into g_Stage
// and copies its header, layers, names, parameters and ranking switches into out (when given),
// whose palettes and placed lists are emptied. 1 on success; 0 after the system's own message
// (damaged file, unreadable file, no hero), silently when no numbered file exists or the
// calling thread was asked to quit while loading.
int LoadStageForPlay(const char* path, u32 numbered, cStage* out);

// Serves the calling thread's messages once while a load runs, waiting briefly for one; true
// when WM_QUIT arrived (it is consumed) or the thread was asked to quit. The window layer may
// replace the default, which serves the window queue on the window thread and the thread's own
// queue on a worker; it must keep the same contract. Null restores the default.
using STAGELOADPUMP = bool (*)();
void SetStageLoadPump(STAGELOADPUMP pump);
