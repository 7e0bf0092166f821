#pragma once
// The runtime's millisecond clock: monotonic, 64-bit (it never wraps), and replaceable so that
// tests can step time instead of waiting for it.
#include <atomic>

#include "platform/system/Types.h"

class cClock {
public:
    virtual ~cClock() = default;
    virtual u64 NowMs() = 0;
    virtual void Sleep(u32 ms) = 0;
};

// A clock that only moves when told to; Sleep moves it by the time asked for.
class cStepClock : public cClock {
public:
    explicit cStepClock(u64 startMs = 0) : m_now(startMs) {}
    u64 NowMs() override { return m_now.load(); }
    void Sleep(u32 ms) override { m_now.fetch_add(ms); }
    void Advance(u64 ms) { m_now.fetch_add(ms); }
    void Set(u64 ms) { m_now.store(ms); }

private:
    std::atomic<u64> m_now;
};

// Milliseconds since the process started, from the monotonic clock (or the installed test clock).
u64 timeGetTime();
void ClockSleep(u32 ms);

// Installs a test clock (null restores the real one). The caller keeps ownership.
void SetClock(cClock* clock);
