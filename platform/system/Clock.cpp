#include "platform/system/Clock.h"

#include <chrono>
#include <thread>

namespace {

class SteadyClock : public cClock {
public:
    u64 NowMs() override {
        const auto d = std::chrono::steady_clock::now() - m_start;
        return static_cast<u64>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
    }
    void Sleep(u32 ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

SteadyClock& RealClock() {
    static SteadyClock clock;
    return clock;
}

std::atomic<cClock*> g_clock{nullptr};

cClock& Current() {
    cClock* c = g_clock.load();
    return c ? *c : RealClock();
}

} // namespace

u64 timeGetTime() { return Current().NowMs(); }
void ClockSleep(u32 ms) { Current().Sleep(ms); }
void SetClock(cClock* clock) { g_clock.store(clock); }
