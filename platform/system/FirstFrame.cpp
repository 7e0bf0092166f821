#include "platform/system/FirstFrame.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

std::mutex g_mutex;
std::condition_variable g_shownCv;
bool g_expected = false;
std::atomic<bool> g_shown{false}; // written under the mutex; read without it on every present

// A cancel flag is a plain atomic: the waiter looks at it this often.
constexpr auto kCancelPoll = std::chrono::milliseconds(5);

} // namespace

void FirstFrameExpect() {
    std::lock_guard lock(g_mutex);
    if (!g_shown.load()) g_expected = true;
}

void FirstFrameShown() {
    if (g_shown.load(std::memory_order_acquire)) return;
    {
        std::lock_guard lock(g_mutex);
        if (g_shown.load()) return;
        g_shown.store(true);
    }
    g_shownCv.notify_all();
}

bool FirstFrameWasShown() { return g_shown.load(std::memory_order_acquire); }

void FirstFrameWait(const std::atomic<bool>& cancel, u32 limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::unique_lock lock(g_mutex);
    while (g_expected && !g_shown.load() && !cancel.load()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return;
        g_shownCv.wait_until(lock, std::min(end, now + kCancelPoll));
    }
}
