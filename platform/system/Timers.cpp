#include "platform/system/Timers.h"

#include <array>
#include <mutex>

#include "platform/system/Clock.h"
#include "platform/system/Format.h"

namespace {

// One pacing state per process; the thread that presents frames is the only user, but the mutex
// keeps a nested frame loop taking over from the game thread free of races.
struct TimerState {
    u64 mark = 0;
    u32 lap = 0;
    int counter = 0;

    bool cpsStarted = false;
    u64 cpsStart = 0;
    u64 cpsLast = 0;
    u32 cpsCount = 0;
    u32 cpsRate = 0;

    bool rateStarted = false;
    u64 rateNext = 0;
    u64 rateLast = 0;

    bool fwStarted = false;
    u64 fwBase = 0;
    u32 fwIndex = 0;
    std::array<u32, 16> lapRing{};
    std::array<u32, 16> rateRing{};
    u32 lapRingPos = 0;
    u32 rateRingPos = 0;
    u32 lapAverage = 0;
    u32 rateAverage = 0;
    bool textDrawn = true;
    bool direct3D = false;
};

std::mutex g_mutex;
TimerState g_t;

// Later than this behind the schedule, pacing starts afresh instead of catching up.
constexpr double kStallMs = 100.0;

void PushRing(std::array<u32, 16>& ring, u32& pos, u32& average, u32 value) {
    ring[pos] = value;
    if (++pos > 15) {
        pos = 0;
        u64 sum = 0;
        for (u32 v : ring) sum += v;
        average = static_cast<u32>(sum >> 4);
    }
}

} // namespace

u64 TimerMark() {
    std::lock_guard lock(g_mutex);
    g_t.mark = timeGetTime();
    return g_t.mark;
}

u64 TimerMark2() { return TimerMark(); }

u32 TimerElapsed(bool restart) {
    std::lock_guard lock(g_mutex);
    const u64 now = timeGetTime();
    const u32 elapsed = static_cast<u32>(now - g_t.mark);
    if (restart) g_t.mark = now;
    return elapsed;
}

u32 TimerElapsed2(bool latch) {
    std::lock_guard lock(g_mutex);
    if (latch) g_t.lap = static_cast<u32>(timeGetTime() - g_t.mark);
    return g_t.lap;
}

int FrameCounter(int mode, int n) {
    std::lock_guard lock(g_mutex);
    if (mode == 0) {
        g_t.counter = 0;
        return 0;
    }
    if (mode == 2) return g_t.counter == 0 ? 1 : 0;
    if (++g_t.counter >= n) {
        g_t.counter = 0;
        return 1;
    }
    return 0;
}

u32 CallsPerSecond(bool count) {
    std::lock_guard lock(g_mutex);
    const u64 now = timeGetTime();
    if (!g_t.cpsStarted) {
        g_t.cpsStarted = true;
        g_t.cpsStart = now;
    }
    if (count) {
        g_t.cpsLast = now;
        if (now - g_t.cpsStart >= 1000) {
            g_t.cpsStart = now;
            g_t.cpsRate = g_t.cpsCount;
            g_t.cpsCount = 0;
        } else {
            ++g_t.cpsCount;
        }
    }
    return g_t.cpsRate;
}

bool RateLimit(u32 fps) {
    std::lock_guard lock(g_mutex);
    const u64 now = timeGetTime();
    if (!g_t.rateStarted) {
        g_t.rateStarted = true;
        g_t.rateNext = now;
    }
    if (fps == 0) return true;
    g_t.rateLast = now;
    if (now < g_t.rateNext) return false;
    g_t.rateNext = now + 1000 / fps;
    return true;
}

void FrameWaitSetDirect3D(bool direct3D) {
    std::lock_guard lock(g_mutex);
    g_t.direct3D = direct3D;
}

int FrameWait(u32 fps, bool show, const FrameTextDrawer& drawText) {
    const bool withText = show && static_cast<bool>(drawText);
    u32 lap = 0, rate = 0;
    {
        std::lock_guard lock(g_mutex);
        if (!g_t.direct3D || fps == 0) return 1;
        lap = g_t.lap;
        rate = g_t.cpsRate;
    }
    std::string text;
    {
        std::lock_guard lock(g_mutex);
        const u64 now = timeGetTime();
        if (!g_t.fwStarted) {
            g_t.fwStarted = true;
            g_t.fwBase = now;
        }
        if (withText && g_t.textDrawn) {
            g_t.textDrawn = false;
            PushRing(g_t.lapRing, g_t.lapRingPos, g_t.lapAverage, lap);
            PushRing(g_t.rateRing, g_t.rateRingPos, g_t.rateAverage, rate);
        }
        double due = static_cast<double>(g_t.fwBase) +
                     (1000.0 / static_cast<double>(fps)) * static_cast<double>(g_t.fwIndex);
        // Frames not shown while something held the game (a dialog, a nested loop, a slow
        // load) are not caught up in a burst: a stall of more than a few frames starts the
        // second afresh.
        if (static_cast<double>(now) > due + kStallMs) {
            g_t.fwBase = now;
            g_t.fwIndex = 0;
            due = static_cast<double>(now);
        }
        if (due > static_cast<double>(now)) return 0;
        if (++g_t.fwIndex >= fps) {
            g_t.fwIndex = 0;
            g_t.fwBase = now;
        }
        if (withText) {
            text = Format("FPS-Ave %u(%u)\ndwTime_OneSec %u\nnFrameCt_OneSec %u", g_t.rateAverage,
                          g_t.lapAverage, static_cast<u32>(g_t.fwBase), g_t.fwIndex);
            g_t.textDrawn = true;
        }
    }
    if (withText) drawText(16, 8, text);
    return 1;
}

void ResetTimers() {
    std::lock_guard lock(g_mutex);
    const bool d3d = g_t.direct3D;
    g_t = TimerState{};
    g_t.direct3D = d3d;
}
