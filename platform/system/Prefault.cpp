#include "platform/system/Prefault.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace {
// A kernel that does not know the request says so once; it is not asked again.
std::atomic<bool> g_unsupported{false};

// Whole units of `unit` bytes inside [at, at + bytes): [first, end), empty when none.
void WholeUnits(std::uintptr_t at, std::size_t bytes, std::uintptr_t unit, std::uintptr_t& first, std::uintptr_t& end) {
    first = (at + unit - 1) & ~(unit - 1);
    end = (at + bytes) & ~(unit - 1);
}
} // namespace

bool PrefaultForWrite(void* p, std::size_t bytes) noexcept {
    if (!p || bytes < kPrefaultBytes || g_unsupported.load(std::memory_order_relaxed)) return false;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    // Only the pages wholly inside: a page shared with a neighbour is the neighbour's to make.
    std::uintptr_t first = 0, end = 0;
    WholeUnits(reinterpret_cast<std::uintptr_t>(p), bytes, page, first, end);
    if (end <= first) return false;
    if (::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE) == 0) return true;
    if (errno == EINVAL) g_unsupported.store(true, std::memory_order_relaxed);
    return false;
}

bool PrefaultLargeForWrite(void* p, std::size_t bytes) noexcept {
    constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;
    std::uintptr_t first = 0, end = 0;
    if (p) WholeUnits(reinterpret_cast<std::uintptr_t>(p), bytes, kLargePage, first, end);
    // A system without large pages, or with them switched off, says no and keeps small ones.
    if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    return PrefaultForWrite(p, bytes);
}
