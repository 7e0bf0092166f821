#pragma once
// The storage of every list of blocks. A stage holds a hundred thousand placed blocks, nearly all
// holding nothing to free; running each one's destructor still writes to every block (the
// destructors of its bases reset its class pointer), and even testing each block for something
// to free reads all of the list's memory once more. Blocks holding nothing are left as they are
// and only their storage is given back.
//
// Which blocks hold something is known without reading them: a block that gains storage to free
// (side storage, field lists) counts itself in a table indexed by its address, and uncounts itself
// when it lets go. A list's element whose entry is 0 cannot hold anything; any other entry (a
// block there holds something, or a block elsewhere shares the entry) sends it to the usual test.
// Declared before cEdBlock is complete, so that every use of cVector<cEdBlock> names this type.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/system/Containers.h"

namespace block_holders {
constexpr std::size_t kEntries = 4096;
// Blocks of one 4 KB page share an entry; pages 16 MB apart too.
inline std::size_t EntryOf(const void* p) noexcept {
    return (reinterpret_cast<std::uintptr_t>(p) >> 12) & (kEntries - 1);
}
extern std::atomic<u32> g_count[kEntries];
// Whoever destroys a block got it from whoever made it in an ordered way (a thread's end, a lock),
// so the counts that block made are seen without stronger ordering here.
inline void Add(const void* p) noexcept { g_count[EntryOf(p)].fetch_add(1, std::memory_order_relaxed); }
inline void Remove(const void* p) noexcept { g_count[EntryOf(p)].fetch_sub(1, std::memory_order_relaxed); }
inline bool Any(const void* p) noexcept { return g_count[EntryOf(p)].load(std::memory_order_relaxed) != 0; }
} // namespace block_holders

template <class T>
struct cBlockAlloc : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = cBlockAlloc<U>;
    };

    cBlockAlloc() = default;
    template <class U>
    cBlockAlloc(const cBlockAlloc<U>&) noexcept {}

    // A block without side storage or field lists has nothing a destructor would free or do.
    // Where blocks are counted, the test reads each block: asking for the blocks a kilobyte on
    // keeps that walk from waiting on memory (a prefetch never faults, so asking past the list's
    // end is harmless).
    template <class U>
    void destroy(U* p) noexcept {
        if (!U::MayHold(p)) return;
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(p) + 16 * sizeof(U)));
        if (!p->HoldsNothing()) p->~U();
    }
};

class cEdBlock;
template <>
struct cVectorAllocator<cEdBlock> {
    using type = cBlockAlloc<cEdBlock>;
};
