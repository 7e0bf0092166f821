#pragma once
// The resident memory a load takes at its peak and what it keeps, measured in a child process of
// its own, the heap's free pages and the storage kept for big lists of blocks given back first,
// so that every page the load touches counts.
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "records/BlockAlloc.h"

namespace bench_load {

// Every earlier load's storage given back to the system: the storage kept for big lists of
// blocks released, the heap's free pages returned. What a load takes next, it takes fresh.
inline void GiveBackFreeMemory() {
    big_block_storage::Release();
    ::malloc_trim(0);
}

// A line of /proc/self/status in kB (VmRSS:, VmHWM:), -1 when missing.
inline long StatusKb(const char* key) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    const std::size_t len = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, len) == 0) kb = std::strtol(line + len, nullptr, 10);
    std::fclose(f);
    return kb;
}

// Starts the peak (VmHWM) again from the memory resident now.
inline bool ResetPeak() {
    FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f) return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

// In a child, after GiveBackFreeMemory: what load (which keeps what it loads) adds to the
// resident memory at its peak and for good, in kB. False when either could not be measured or the load failed.
inline bool MeasureLoadMemory(const std::function<bool()>& load, long& peakKb, long& keptKb) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        long out[2] = {-1, -1};
        GiveBackFreeMemory();
        const long before = StatusKb("VmRSS:");
        if (ResetPeak() && load()) {
            out[0] = StatusKb("VmHWM:") - before;
            out[1] = StatusKb("VmRSS:") - before;
        }
        const ssize_t wrote = ::write(fds[1], out, sizeof out);
        ::_exit(wrote == static_cast<ssize_t>(sizeof out) ? 0 : 1);
    }
    ::close(fds[1]);
    long in[2] = {-1, -1};
    const bool got = pid > 0 && ::read(fds[0], in, sizeof in) == static_cast<ssize_t>(sizeof in);
    ::close(fds[0]);
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    peakKb = in[0];
    keptKb = in[1];
    return got && peakKb > 0 && keptKb > 0;
}

} // namespace bench_load
