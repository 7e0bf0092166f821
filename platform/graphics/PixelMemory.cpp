#include "platform/graphics/PixelMemory.h"

#include <atomic>
#include <cstdint>

#include "platform/system/Prefault.h"

namespace pixel_memory {
namespace {
std::atomic<std::size_t> g_placed{0};
constexpr std::align_val_t kPageAlign{kPage};
} // namespace

std::size_t OffsetOf(std::size_t n) {
    // 41 is odd, so the first 64 buffers take all 64 offsets; and it is near 64 over the golden
    // ratio, so buffers made one after another (a back buffer and its work surfaces) lie far
    // apart, not one step.
    return (n * 41 % (kPage / 64)) * 64;
}

void* Place(std::size_t bytes) {
    const std::size_t offset = OffsetOf(g_placed.fetch_add(1, std::memory_order_relaxed));
    if (bytes > static_cast<std::size_t>(-1) - kPage) throw std::bad_array_new_length();
    char* block = static_cast<char*>(::operator new(bytes + offset, kPageAlign));
    // A pixel buffer is filled from end to end as soon as it is made (the containers that take
    // it clear or fill it).
    PrefaultForWrite(block, bytes + offset);
    return block + offset;
}

void Release(void* p, std::size_t) noexcept {
    if (!p) return;
    // The block starts at the page boundary below: the offset is always less than a page.
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    ::operator delete(reinterpret_cast<void*>(at & ~static_cast<std::uintptr_t>(kPage - 1)), kPageAlign);
}
} // namespace pixel_memory
