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
} // namespace

bool PrefaultForWrite(void* p, std::size_t bytes) noexcept {
    if (!p || bytes < kPrefaultBytes || g_unsupported.load(std::memory_order_relaxed)) return false;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    // Only the pages wholly inside: a page shared with a neighbour is the neighbour's to make.
    const std::uintptr_t first = (at + page - 1) & ~(page - 1);
    const std::uintptr_t end = (at + bytes) & ~(page - 1);
    if (end <= first) return false;
    if (::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE) == 0) return true;
    if (errno == EINVAL) g_unsupported.store(true, std::memory_order_relaxed);
    return false;
}
