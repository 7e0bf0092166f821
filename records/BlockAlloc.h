#pragma once
// The storage of every list of blocks. A stage holds a hundred thousand placed blocks, nearly all
// holding nothing to free; running each one's destructor still writes to every block (the
// destructors of its bases reset its class pointer), so freeing the list walked all its memory
// twice over. Blocks holding nothing are left as they are and only their storage is given back.
// Declared before cEdBlock is complete, so that every use of cVector<cEdBlock> names this type.
#include <cstdint>
#include <memory>

#include "platform/system/Containers.h"

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
    // Lists are destroyed front to back, and the test reads each block: asking for the blocks
    // a kilobyte on keeps the walk from waiting on memory (a prefetch never faults, so asking
    // past the list's end is harmless).
    template <class U>
    void destroy(U* p) noexcept {
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(p) + 16 * sizeof(U)));
        if (!p->HoldsNothing()) p->~U();
    }
};

class cEdBlock;
template <>
struct cVectorAllocator<cEdBlock> {
    using type = cBlockAlloc<cEdBlock>;
};
