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
