#include "platform/system/WindowMessages.h"

#include <atomic>
#include <cstdarg>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/system/Format.h"
#include "platform/system/Report.h"
#include "platform/system/Thread.h"

HWND g_hWnd = nullptr;

namespace {

// Carries RunOnWindowThread's function; never reaches the window procedure.
constexpr u32 WM_PLATFORM_CALL = 0x7FF0;

struct SendState {
    bool done = false;
    bool cancelled = false;
    bool taken = false; // the window thread is serving it: its data must stay alive until done
    LRESULT result = 0;
};

struct QueueItem {
    MSG msg;
    std::shared_ptr<SendState> send; // null for posted messages
};

struct WindowQueue {
    std::mutex mutex;
    std::condition_variable arrived;   // the window thread waits for messages
    std::condition_variable completed; // senders wait for their answers
    std::deque<QueueItem> items;
    bool open = false;
    WNDPROC proc = nullptr;
    std::thread::id windowThread;
    std::function<void()> wake;
};

WindowQueue& Queue() {
    static WindowQueue q;
    return q;
}

std::atomic<u32> g_closeRequests{0};

// The shared state of the message being dispatched, so that DispatchMessage can complete it.
thread_local std::shared_ptr<SendState> t_dispatching;

void Wake(WindowQueue& q) {
    std::function<void()> hook;
    {
        std::lock_guard lock(q.mutex);
        hook = q.wake;
    }
    if (hook) hook();
}

} // namespace

HWND MainWindowHandle() {
    static int anchor;
    return reinterpret_cast<HWND>(&anchor);
}

void WindowQueueOpen(WNDPROC wndProc) {
    auto& q = Queue();
    std::lock_guard lock(q.mutex);
    q.items.clear();
    q.open = true;
    q.proc = wndProc;
    q.windowThread = std::this_thread::get_id();
}

void WindowQueueShutdown() {
    auto& q = Queue();
    {
        std::lock_guard lock(q.mutex);
        q.open = false;
        for (auto& item : q.items) {
            if (item.send) {
                item.send->cancelled = true;
                item.send->done = true;
            }
        }
        q.items.clear();
    }
    q.completed.notify_all();
}

bool IsWindowThread() {
    auto& q = Queue();
    std::lock_guard lock(q.mutex);
    return q.open && q.windowThread == std::this_thread::get_id();
}

void SetWindowQueueWakeHook(std::function<void()> hook) {
    auto& q = Queue();
    std::lock_guard lock(q.mutex);
    q.wake = std::move(hook);
}

bool PostMessage(HWND hWnd, u32 message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) g_closeRequests.fetch_add(1);
    if (!hWnd) return false;
    auto& q = Queue();
    {
        std::lock_guard lock(q.mutex);
        if (!q.open) return false;
        q.items.push_back({MSG{hWnd, message, wParam, lParam}, nullptr});
    }
    q.arrived.notify_one();
    Wake(q);
    return true;
}

bool SendMessageWait(HWND hWnd, u32 message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (!hWnd) return false;
    auto& q = Queue();
    auto state = std::make_shared<SendState>();
    WNDPROC directProc = nullptr;
    {
        std::lock_guard lock(q.mutex);
        if (!q.open) return false;
        if (q.windowThread == std::this_thread::get_id()) {
            directProc = q.proc;
        } else {
            q.items.push_back({MSG{hWnd, message, wParam, lParam}, state});
        }
    }
    if (directProc) {
        const LRESULT r = directProc(hWnd, message, wParam, lParam);
        if (result) *result = r;
        return true;
    }
    q.arrived.notify_one();
    Wake(q);

    std::unique_lock lock(q.mutex);
    while (!state->done) {
        if (ThreadQuitRequested() && !state->taken) {
            // The request may still sit in the queue: mark it so the window thread skips it.
            state->cancelled = true;
            state->done = true;
            break;
        }
        q.completed.wait_for(lock, std::chrono::milliseconds(5));
    }
    if (state->cancelled) return false;
    if (result) *result = state->result;
    return true;
}

LRESULT SendMessage(HWND hWnd, u32 message, WPARAM wParam, LPARAM lParam) {
    LRESULT r = 0;
    SendMessageWait(hWnd, message, wParam, lParam, &r);
    return r;
}

bool PeekMessage(MSG* msg, u32 timeoutMs) {
    auto& q = Queue();
    std::unique_lock lock(q.mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (!q.items.empty()) {
            QueueItem item = std::move(q.items.front());
            q.items.pop_front();
            if (item.send && item.send->cancelled) continue; // its sender gave up
            if (item.send) item.send->taken = true;
            *msg = item.msg;
            t_dispatching = item.send;
            return true;
        }
        if (timeoutMs == 0 || !q.open) return false;
        if (q.arrived.wait_until(lock, deadline) == std::cv_status::timeout && q.items.empty())
            return false;
    }
}

LRESULT DispatchMessage(const MSG& msg) {
    auto& q = Queue();
    WNDPROC proc;
    {
        std::lock_guard lock(q.mutex);
        proc = q.proc;
    }
    std::shared_ptr<SendState> send = std::move(t_dispatching);
    t_dispatching.reset();
    auto complete = [&](LRESULT r, bool failed) {
        if (!send) return;
        {
            std::lock_guard lock(q.mutex);
            if (!send->cancelled) {
                send->result = r;
                send->cancelled = failed;
                send->done = true;
            }
        }
        q.completed.notify_all();
    };
    LRESULT r = 0;
    try {
        if (msg.message == WM_PLATFORM_CALL)
            r = (*reinterpret_cast<const std::function<LRESULT()>*>(msg.lParam))();
        else if (proc)
            r = proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    } catch (...) {
        // The request is taken, so its sender no longer gives up on its own: answer it with a
        // failure before the error goes on, or it would wait for ever.
        complete(0, true);
        throw;
    }
    complete(r, false);
    return r;
}

bool RunOnWindowThread(const std::function<LRESULT()>& fn, LRESULT* result) {
    bool direct;
    {
        auto& q = Queue();
        std::lock_guard lock(q.mutex);
        direct = !q.open || q.windowThread == std::this_thread::get_id();
    }
    if (direct) {
        const LRESULT r = fn();
        if (result) *result = r;
        return true;
    }
    // The function stays alive on this stack until the request is answered or cancelled; a
    // cancelled request is skipped by the window thread, never run late.
    return SendMessageWait(MainWindowHandle(), WM_PLATFORM_CALL, 0, reinterpret_cast<LPARAM>(&fn),
                           result);
}

u32 CloseRequestCount() { return g_closeRequests.load(); }
void ResetCloseRequestCount() { g_closeRequests.store(0); }

void WakeWindowQueueWaiters() { Queue().completed.notify_all(); }

namespace {
// The threads reach the queue through these, given before main runs.
[[maybe_unused]] const bool g_threadHooksGiven = [] {
    SetThreadQueueHooks([] { PostMessage(g_hWnd, WM_CLOSE, 0, 0); }, WakeWindowQueueWaiters);
    return true;
}();
} // namespace

bool DebugLogClose(HWND hWnd, const char* format, ...) {
    if (IsDebugLogOn()) {
        va_list args;
        va_start(args, format);
        const std::string line = FormatV(format, args);
        va_end(args);
        DebugLog(line.c_str());
    }
    return PostMessage(hWnd, WM_CLOSE, 0, 0);
}
