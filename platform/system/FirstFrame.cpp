#include "platform/system/FirstFrame.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

std::mutex g_firstFrameMutex;
std::condition_variable g_firstFrameCv;
bool g_firstFrameExpected = false;
std::atomic<bool> g_firstFrameShown{false}; // written under the mutex; read without it every frame

// A cancel flag is a plain atomic: the waiter looks at it this often.
constexpr auto kFirstFrameCancelPoll = std::chrono::milliseconds(5);

} // namespace

void FirstFrameExpect() {
    std::lock_guard lock(g_firstFrameMutex);
    if (!g_firstFrameShown.load()) g_firstFrameExpected = true;
}

void FirstFrameShown() {
    if (g_firstFrameShown.load(std::memory_order_acquire)) return;
    {
        std::lock_guard lock(g_firstFrameMutex);
        if (g_firstFrameShown.load()) return;
        g_firstFrameShown.store(true);
    }
    g_firstFrameCv.notify_all();
}

bool FirstFrameWasShown() { return g_firstFrameShown.load(std::memory_order_acquire); }

void FirstFrameWait(const std::atomic<bool>& cancel, u32 limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::unique_lock lock(g_firstFrameMutex);
    while (g_firstFrameExpected && !g_firstFrameShown.load() && !cancel.load()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return;
        g_firstFrameCv.wait_until(lock, std::min(end, now + kFirstFrameCancelPoll));
    }
}
