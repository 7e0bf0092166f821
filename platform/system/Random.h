#pragma once
// The random sequence of the Windows C runtime's rand(), which replays and stage behaviour
// depend on: state = state * 214013 + 2531011, result = (state >> 16) & 0x7FFF.
// Each thread has its own state, seeded 1 until CrtSrand is called on it.
#include "platform/system/Types.h"

constexpr int CRT_RAND_MAX = 0x7FFF;

void CrtSrand(u32 seed);
int CrtRand();
