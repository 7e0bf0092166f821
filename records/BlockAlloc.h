#pragma once
// The storage of every list of blocks. A stage holds a hundred thousand placed blocks, nearly all
// holding nothing to free; running each one's destructor still writes to every block (the
// destructors of its bases reset its class pointer), and even testing each block for something
// to free reads all of the list's memory once more. Blocks holding nothing are left as they are
// and only their storage is given back.
// Which blocks hold something is known without reading them (block_holders).
// Declared before cEdBlock is complete, so that every use of cVector<cEdBlock> names this type.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/system/Containers.h"
#include "records/RecordHolders.h"

using block_holders = cHolderTable<struct BlockHoldersTag>;

// The storage of big lists of blocks (a stage's placed blocks). Storage that big comes fresh from
// the system, whose pages are cleared on their first touch, and goes back to it when freed: every
// load of a stage of a million blocks (a retry loads it again) would clear its 48 MB anew. The
// storage of the last big list freed is kept, and the next big list that fits takes it. Storage
// taken fresh is made at once, in large pages where the system has them.
namespace big_block_storage {
constexpr std::size_t kBigBytes = std::size_t(4) << 20;
// Storage of at least `bytes` (kept storage when some fits); throws bad_alloc.
void* Take(std::size_t bytes);
// Keeps p (storage that Take gave), freeing what was kept before.
void Give(void* p) noexcept;
// Frees what is kept.
void Release() noexcept;
} // namespace big_block_storage

template <class T>
struct cBlockAlloc : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = cBlockAlloc<U>;
    };

    cBlockAlloc() = default;
    template <class U>
    cBlockAlloc(const cBlockAlloc<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n >= big_block_storage::kBigBytes / sizeof(T)) return static_cast<T*>(big_block_storage::Take(n * sizeof(T)));
        return std::allocator<T>::allocate(n);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n >= big_block_storage::kBigBytes / sizeof(T)) big_block_storage::Give(p);
        else std::allocator<T>::deallocate(p, n);
    }

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
