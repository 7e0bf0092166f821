#pragma once
// The random sequence of the Windows C runtime's rand(), which replays and stage behaviour
// depend on: state = state * 214013 + 2531011, result = (state >> 16) & 0x7FFF.
// Each thread has its own state, seeded 1 until CrtSrand is called on it.
#include "platform/system/Types.h"

constexpr int CRT_RAND_MAX = 0x7FFF;

void CrtSrand(u32 seed);
int CrtRand();

// The same sequence held by its owner instead of the thread: a play keeps one, seeded at each
// stage set-up, so that nothing else that draws a number can shift the play's sequence.
class cCrtRandom {
public:
    explicit cCrtRandom(u32 seed = 1) : m_state(seed) {}
    void Seed(u32 seed) { m_state = seed; }
    int Next() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFF);
    }
    // The whole state (what a play-state hash includes).
    u32 State() const { return m_state; }

private:
    u32 m_state;
};

// A random integer between a and b inclusive, in either order: lo + Next() % (hi - lo + 1).
// Ranges wider than the generator's 32768 values keep that formula (replays rely on it); the
// width is computed so that it never overflows.
i32 RandRange(cCrtRandom& gen, i32 a, i32 b);
// The same from the thread's sequence (CrtRand): the front end's draws.
i32 RandRange(i32 a, i32 b);
