#pragma once
// Storage for the small records a stage holds by the ten thousand: the flows, commands and
// conditions of its characters and items, their parameter lists, movements and shots. A stage
// makes them all while it loads and frees them all when it goes; the general heap spends more
// on that than on reading the bytes (merging freed chunks back together, one at a time). These
// come from per-size free lists instead: an allocation or a release is a pointer pop or push on
// the calling thread's list, and whole batches move between threads (a stage is read on the
// load thread and freed on the window thread) under one short lock.
//
// The allocator is stateless, so containers using it move and swap like ordinary ones.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

#include "platform/system/Containers.h"
#include "platform/system/Types.h"
#include "records/Record.h"
#include "records/RecordHolders.h"

#if defined(__SANITIZE_ADDRESS__)
#define TOBRELK_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOBRELK_POOL_ASAN 1
#endif
#endif

namespace record_pool {
// Blocks up to this many bytes come from the pool; larger ones from the heap.
constexpr std::size_t kMaxPooled = 1024;
constexpr std::size_t kGrain = 16;
// Slabs are aligned to their size, so a block finds its slab from its address.
constexpr std::size_t kSlabBytes = std::size_t(64) << 10;

inline void* SlabOf(const void* p) {
    return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(p) & ~(kSlabBytes - 1));
}

// This thread's slab it cuts blocks from (at to end, cut blocks so far), and the slab whose
// released blocks it is counting. Plain data, so that a record made or freed reaches it
// without a call: a stage makes and frees its small records by the ten thousand.
struct CutState {
    void* slab;
    char* at;
    char* end;
    u32 cut;
    void* releasing;
    u32 released;
};
extern thread_local constinit CutState t_cut TOBRELK_EXE_TLS;

// The paths for everything the inline ones leave: large blocks, a new slab, a thread's first
// or last calls.
void* AllocateSlow(std::size_t bytes);
void ReleaseSlow(void* p, std::size_t bytes) noexcept;

inline void* Allocate(std::size_t bytes) {
#if !defined(TOBRELK_POOL_ASAN)
    // (A zero size wraps past kMaxPooled and takes the slow path.)
    const std::size_t rounded = (bytes + kGrain - 1) & ~(kGrain - 1);
    CutState& c = t_cut;
    if (bytes - 1 < kMaxPooled && rounded <= static_cast<std::size_t>(c.end - c.at)) {
        void* p = c.at;
        c.at += rounded;
        ++c.cut;
        return p;
    }
#endif
    return AllocateSlow(bytes);
}

// bytes: as given to Allocate.
inline void Release(void* p, std::size_t bytes) noexcept {
#if !defined(TOBRELK_POOL_ASAN)
    CutState& c = t_cut;
    if (p && bytes <= kMaxPooled && SlabOf(p) == c.releasing) {
        ++c.released;
        return;
    }
#endif
    ReleaseSlow(p, bytes);
}
} // namespace record_pool

template <class T>
struct cRecordAlloc {
    using value_type = T;
    using is_always_equal = std::true_type;
    using propagate_on_container_move_assignment = std::true_type;

    cRecordAlloc() = default;
    template <class U>
    cRecordAlloc(const cRecordAlloc<U>&) noexcept {}

    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= 16, "pooled records are aligned to 16 bytes");
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(record_pool::Allocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { record_pool::Release(p, n * sizeof(T)); }

    // A class may give back what one of its list elements holds without running its destructor
    // (GiveBackIfPlain, true when it did so): the destructor would write to every element of a
    // list that is about to be freed, and those lines would go back to memory for nothing.
    template <class U>
    void destroy(U* p) noexcept {
        if constexpr (requires { U::GiveBackIfPlain(p); }) {
            if (U::GiveBackIfPlain(p)) return;
        }
        p->~U();
    }

    template <class U>
    bool operator==(const cRecordAlloc<U>&) const noexcept {
        return true;
    }
};

// A new T owned by a shared pointer, object and count in one pooled block.
template <class T, class... Args>
std::shared_ptr<T> MakePooledShared(Args&&... args) {
    return std::allocate_shared<T>(cRecordAlloc<T>(), std::forward<Args>(args)...);
}

// A T cleared and given its defaults, made once per thread: the records a stage makes by the
// thousand (a command's movement and shot) are copied from it.
template <class T>
const T& BlankRecord() {
    thread_local const T blank = [] {
        T r;
        r.Clear();
        r.SetDefaults();
        return r;
    }();
    return blank;
}

// The movements and shots a stage's commands hold (see kCountsItsHoldings).
using record_holders = cHolderTable<struct RecordHoldersTag>;

// Set (by specialising) for a record class whose destructor frees nothing but what it counts in
// record_holders: its boxes then give back a record whose entry is 0 without destroying it.
template <class T>
inline constexpr bool kCountsItsHoldings = false;

// A record owned by one holder, kept in pooled storage: what a command holds of its movement,
// shot and condition list. Moves hand it over; it is never shared, so it needs no count.
template <class T>
class cRecordBox {
public:
    cRecordBox() = default;
    cRecordBox(std::nullptr_t) {}
    cRecordBox(const cRecordBox&) = delete;
    cRecordBox& operator=(const cRecordBox&) = delete;
    cRecordBox(cRecordBox&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    cRecordBox& operator=(cRecordBox&& o) noexcept {
        if (this != &o) {
            reset();
            m_p = o.m_p;
            o.m_p = nullptr;
        }
        return *this;
    }
    cRecordBox& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }
    ~cRecordBox() { reset(); }

    // A new record made from args in place of the one held.
    template <class... Args>
    T& emplace(Args&&... args) {
        reset();
        cRecordAlloc<T> alloc;
        T* p = alloc.allocate(1);
        try {
            m_p = ::new (static_cast<void*>(p)) T(std::forward<Args>(args)...);
        } catch (...) {
            alloc.deallocate(p, 1);
            throw;
        }
        return *m_p;
    }
    void reset() noexcept {
        if (T* p = m_p) {
            m_p = nullptr;
            Free(p);
        }
    }
    // What reset does, for an owner whose own storage goes next: the box is left as it is.
    void GiveBack() const noexcept {
        if (m_p) Free(m_p);
    }

    T* get() const noexcept { return m_p; }
    T& operator*() const noexcept { return *m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    friend bool operator==(const cRecordBox& b, std::nullptr_t) noexcept { return b.m_p == nullptr; }

private:
    static void Free(T* p) noexcept {
        if (!kCountsItsHoldings<T> || record_holders::Any(p)) p->~T();
        cRecordAlloc<T>().deallocate(p, 1);
    }

    T* m_p = nullptr;
};

// The record lists kept in pooled storage. Declared here, before any of the classes is
// complete, so that every use of cVector<cFlow> and the others names the same type.
class cCond;
class cKeyCond;
class cFlow;
class cFlowCmd;
template <>
struct cVectorAllocator<cCond> {
    using type = cRecordAlloc<cCond>;
};
template <>
struct cVectorAllocator<cKeyCond> {
    using type = cRecordAlloc<cKeyCond>;
};
template <>
struct cVectorAllocator<cFlow> {
    using type = cRecordAlloc<cFlow>;
};
template <>
struct cVectorAllocator<cFlowCmd> {
    using type = cRecordAlloc<cFlowCmd>;
};

// A command's parameter list.
using cParamList = cVector<u32, cRecordAlloc<u32>>;
