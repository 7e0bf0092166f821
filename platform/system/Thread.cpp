#include "platform/system/Thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>

#include "platform/system/Clock.h"
#include "platform/system/Report.h"

struct ThreadState {
    u32 id = 0;
    std::atomic<bool> quit{false};
    std::atomic<bool> finished{false};
    std::mutex mutex;
    std::condition_variable resumed;
    bool suspended = false;
    std::deque<MSG> messages;
};

namespace {

std::atomic<void (*)()> g_requestClose{nullptr};
std::atomic<void (*)()> g_wakeWaiters{nullptr};

void RequestClose() {
    if (void (*f)() = g_requestClose.load()) f();
}
void WakeQueueWaiters() {
    if (void (*f)() = g_wakeWaiters.load()) f();
}

std::atomic<u32> g_nextThreadId{1000};
std::atomic<bool> g_abandoned{false};

std::mutex g_registryMutex;
std::map<u32, std::weak_ptr<ThreadState>>& Registry() {
    static std::map<u32, std::weak_ptr<ThreadState>> registry;
    return registry;
}

thread_local ThreadState* t_self = nullptr;

void ResumeState(ThreadState* state) {
    if (!state) return;
    {
        std::lock_guard lock(state->mutex);
        state->suspended = false;
    }
    state->resumed.notify_all();
}

// How long Exit keeps waiting for a thread that ignores its quit request before leaving it.
constexpr int kExitTries = 200;
constexpr auto kExitGrace = std::chrono::seconds(5);

void Entry(std::shared_ptr<ThreadState> state, THREADPROC routine, void* argument) {
    t_self = state.get();
    try {
        routine(argument);
    } catch (const std::exception& e) {
        // An error must never end the process from a worker: report it and close in order.
        WriteReport("thread %u: %s", state->id, e.what());
        RequestClose();
    } catch (...) {
        WriteReport("thread %u: unknown exception", state->id);
        RequestClose();
    }
    t_self = nullptr;
    state->finished.store(true);
}

} // namespace

void SetThreadQueueHooks(void (*requestClose)(), void (*wakeWaiters)()) {
    g_requestClose.store(requestClose);
    g_wakeWaiters.store(wakeWaiters);
}

cThread::cThread() = default;

cThread::~cThread() { Exit(); }

int cThread::Create(THREADPROC routine, void* argument) {
    std::lock_guard guard(m_lock);
    if (m_hThread) ExitLocked();
    auto state = std::make_shared<ThreadState>();
    state->id = g_nextThreadId.fetch_add(1);
    try {
        m_thread = std::thread(Entry, state, routine, argument);
    } catch (const std::system_error&) {
        return 0;
    }
    {
        std::lock_guard lock(g_registryMutex);
        Registry()[state->id] = state;
    }
    m_dwId = state->id;
    m_hThread = std::move(state);
    m_bRunning.store(true);
    return 1;
}

void cThread::Release() {
    {
        std::lock_guard lock(g_registryMutex);
        Registry().erase(m_dwId);
    }
    m_hThread.reset();
    m_bRunning.store(false);
}

int cThread::Wait() {
    std::lock_guard guard(m_lock);
    if (!m_hThread) return 0;
    if (m_thread.joinable()) m_thread.join();
    Release();
    return 1;
}

bool cThread::HasEnded() const {
    std::lock_guard guard(m_lock);
    return !m_hThread || m_hThread->finished.load();
}

bool cThread::Suspend() {
    std::lock_guard guard(m_lock);
    if (!m_hThread) return true;
    std::lock_guard lock(m_hThread->mutex);
    m_hThread->suspended = true;
    return true;
}

bool cThread::Resume() {
    std::lock_guard guard(m_lock);
    ResumeState(m_hThread.get());
    return true;
}

void cThread::Exit() {
    std::lock_guard guard(m_lock);
    ExitLocked();
}

void cThread::ExitLocked() {
    if (!m_hThread) return;
    ResumeState(m_hThread.get());
    DebugLog("Exit A");
    m_hThread->quit.store(true);
    PostThreadMessage(m_dwId, WM_QUIT, 0, 0);
    WakeQueueWaiters();
    DebugLog("Exit B");
    DebugLog("Exit C");
    int tries = 0;
    const auto start = std::chrono::steady_clock::now();
    while (!m_hThread->finished.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        PostThreadMessage(m_dwId, WM_QUIT, 0, 0);
        WakeQueueWaiters();
        if (++tries == kExitTries) WriteReport("thread %u does not end; still waiting", m_dwId.load());
        if (std::chrono::steady_clock::now() - start > kExitGrace) break;
    }
    DebugLog("Exit D");
    if (m_hThread->finished.load()) {
        if (m_thread.joinable()) m_thread.join();
    } else {
        // Killing it could leave shared state half-written; leave it and end the process with _exit.
        WriteReport("thread %u abandoned", m_dwId.load());
        g_abandoned.store(true);
        if (m_thread.joinable()) m_thread.detach();
    }
    Release();
    DebugLog("Exit E");
}

bool PostThreadMessage(u32 threadId, u32 message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadState> state;
    {
        std::lock_guard lock(g_registryMutex);
        auto it = Registry().find(threadId);
        if (it == Registry().end()) return false;
        state = it->second.lock();
    }
    if (!state) return false;
    if (message == WM_QUIT) state->quit.store(true);
    {
        std::lock_guard lock(state->mutex);
        state->messages.push_back(MSG{nullptr, message, wParam, lParam});
    }
    state->resumed.notify_all();
    return true;
}

bool PeekThreadMessage(MSG* msg) {
    if (!t_self) return false;
    std::lock_guard lock(t_self->mutex);
    if (t_self->messages.empty()) return false;
    *msg = t_self->messages.front();
    t_self->messages.pop_front();
    return true;
}

bool ThreadQuitRequested() { return t_self && t_self->quit.load(); }

bool ThreadCancelPoint() {
    if (!t_self) return false;
    std::unique_lock lock(t_self->mutex);
    t_self->resumed.wait(lock, [] { return !t_self->suspended || t_self->quit.load(); });
    return t_self->quit.load();
}

bool SleepMs(u32 ms) {
    if (ThreadCancelPoint()) return true;
    ClockSleep(ms);
    return ThreadQuitRequested();
}

bool AnyThreadAbandoned() { return g_abandoned.load(); }
