#include "platform/system/ChildWatch.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/system/PinnedSignal.h"

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);

// The children that the thread tid has started. Without the kernel's list of a thread's children
// (a kernel built without it), the children of the whole process: only a message box starts one.
std::vector<pid_t> ChildrenOf(pid_t tid) {
    std::vector<pid_t> out;
    const pid_t self = getpid();
    std::ifstream list("/proc/" + std::to_string(self) + "/task/" + std::to_string(tid) + "/children");
    if (list) {
        for (long pid; list >> pid;) out.push_back(static_cast<pid_t>(pid));
        return out;
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        long parent = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) == 2 && parent == self)
            out.push_back(static_cast<pid_t>(std::atol(name.c_str())));
    }
    return out;
}

bool IsChildOf(pid_t tid, pid_t pid) {
    for (const pid_t p : ChildrenOf(tid))
        if (p == pid) return true;
    return false;
}

// Ends the child pid of the thread tid, when it is still that child.
bool EndChild(pid_t tid, pid_t pid) {
    // SIGKILL: the child has this process's signal handlers, which only take note of a SIGTERM.
    return SendPinnedSignal(pid, SIGKILL, [&] { return IsChildOf(tid, pid); });
}

} // namespace

cChildWatch::cChildWatch(std::function<bool()> endWhen)
    : m_tid(static_cast<pid_t>(syscall(SYS_gettid))), m_endWhen(std::move(endWhen)) {
    m_thread = std::thread([this] { Run(); });
    // The box's process is forked once this returns: the watch has finished starting by then. A
    // thread that is still starting may hold a lock that the forked process then finds held for
    // ever (a sanitizer build's allocator).
    std::unique_lock lock(m_mutex);
    m_started.wait(lock, [this] { return m_bRunning; });
}

cChildWatch::~cChildWatch() {
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_stop.notify_one();
    m_thread.join();
}

bool cChildWatch::Ended() const {
    std::lock_guard lock(m_mutex);
    return m_bEnded;
}

void cChildWatch::Run() {
    std::unique_lock lock(m_mutex);
    bool first = true;
    while (!m_bStop) {
        // The child may be started after the condition came to hold: the watch goes on until
        // the box has returned.
        if (m_endWhen()) {
            lock.unlock();
            bool ended = false;
            for (const pid_t pid : ChildrenOf(m_tid)) ended = EndChild(m_tid, pid) || ended;
            lock.lock();
            m_bEnded = m_bEnded || ended;
        }
        if (first) {
            first = false;
            m_bRunning = true;
            m_started.notify_one();
        }
        m_stop.wait_for(lock, kPollInterval, [this] { return m_bStop; });
    }
}
