#pragma once
// The data steps of start-up, in their order: the data folder (copied from default when
// missing), the start-up folders, the material database and its prepared tables, System.dat,
// the option data, the world map and the common palette. Each failure is reported with the
// system's own message; the steps after it do not run.
#include "platform/system/WindowMessages.h"

// 1 when every step succeeded.
int LoadGameData(HWND owner);
