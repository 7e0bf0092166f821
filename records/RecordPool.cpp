#include "records/RecordPool.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

#if defined(TOBRELK_POOL_ASAN)
#include <sanitizer/asan_interface.h>
#define TOBRELK_POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define TOBRELK_POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define TOBRELK_POOL_POISON(p, n) ((void)(p), (void)(n))
#define TOBRELK_POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace record_pool {
namespace {

// Free slabs kept for reuse; more go back to the heap.
constexpr unsigned kKeptSlabs = 64;
// Added to a slab's count while a thread still cuts blocks from it, so that blocks released
// meanwhile never bring it to zero.
constexpr u32 kCutting = 1u << 30;

// A slab: its header, then blocks handed out one after the other, in the order they were asked
// for (a stage's records lie in memory as in its file). Released blocks are only counted; the
// slab is reused once all of its blocks are back.
struct alignas(kGrain) Slab {
    std::atomic<u32> live{0};
    Slab* nextFree = nullptr;
};
static_assert(sizeof(Slab) <= kGrain);

struct FreeSlabs {
    std::mutex lock;
    Slab* head = nullptr;
    unsigned count = 0;
};

FreeSlabs& Spare() {
    // Never destroyed: slabs may come back from thread exits after static destruction began.
    static FreeSlabs* spare = new FreeSlabs;
    return *spare;
}

Slab* NewSlab() {
    FreeSlabs& s = Spare();
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (Slab* slab = s.head) {
            s.head = slab->nextFree;
            --s.count;
            return slab;
        }
    }
    void* mem = ::operator new(kSlabBytes, std::align_val_t(kSlabBytes));
    Slab* slab = new (mem) Slab;
    TOBRELK_POOL_POISON(reinterpret_cast<char*>(slab) + kGrain, kSlabBytes - kGrain);
    return slab;
}

// A slab none of whose blocks is in use.
void Recycle(Slab* slab) {
    TOBRELK_POOL_POISON(reinterpret_cast<char*>(slab) + kGrain, kSlabBytes - kGrain);
    FreeSlabs& s = Spare();
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.count < kKeptSlabs) {
            slab->nextFree = s.head;
            s.head = slab;
            ++s.count;
            return;
        }
    }
    slab->~Slab();
    ::operator delete(static_cast<void*>(slab), std::align_val_t(kSlabBytes));
}

// Takes back n blocks' worth of count; the last one back recycles the slab.
void Drop(Slab* slab, u32 n) {
    if (slab->live.fetch_sub(n, std::memory_order_acq_rel) == n) Recycle(slab);
}

// The slab a thread cuts its blocks from, and the blocks it released last (CutState): those of
// one record lie in one slab, and are counted off together.
Slab* SlabAt(void* p) { return static_cast<Slab*>(p); }

void Flush(CutState& c) {
    if (c.releasing) Drop(SlabAt(c.releasing), c.released);
    c.releasing = nullptr;
    c.released = 0;
}
void Retire(CutState& c) {
    if (!c.slab) return;
    // From now on only released blocks count.
    Drop(SlabAt(c.slab), kCutting - c.cut);
    c.slab = nullptr;
    c.at = c.end = nullptr;
}
void Start(CutState& c) {
    Slab* slab = NewSlab();
    slab->live.store(kCutting, std::memory_order_relaxed);
    c.slab = slab;
    c.at = reinterpret_cast<char*>(slab) + kGrain;
    c.end = reinterpret_cast<char*>(slab) + kSlabBytes;
    c.cut = 0;
}
void* Cut(CutState& c, std::size_t bytes) {
    if (static_cast<std::size_t>(c.end - c.at) < bytes) {
        Retire(c);
        Start(c);
    }
    void* p = c.at;
    c.at += bytes;
    ++c.cut;
    TOBRELK_POOL_UNPOISON(p, bytes);
    return p;
}

// Set once this thread's cutting has ended (its thread-local objects are being destroyed).
thread_local constinit bool t_cutterGone = false;

// Ends this thread's cutting when the thread ends: made on the thread's first call that misses
// the inline paths, which every thread's first allocation and first release do.
struct CutterExit {
    CutterExit() = default;
    CutterExit(const CutterExit&) = delete;
    CutterExit& operator=(const CutterExit&) = delete;
    ~CutterExit() {
        t_cutterGone = true;
        Flush(t_cut);
        Retire(t_cut);
    }
    void Touch() {}
};
thread_local CutterExit t_cutterExit;

std::size_t Rounded(std::size_t bytes) { return bytes == 0 ? kGrain : (bytes + kGrain - 1) & ~(kGrain - 1); }

} // namespace

thread_local constinit CutState t_cut TOBRELK_EXE_TLS = {};

void* AllocateSlow(std::size_t bytes) {
    if (bytes > kMaxPooled) return ::operator new(bytes);
    bytes = Rounded(bytes);
    if (t_cutterGone) {
        // Late in a thread's end: a slab of its own for this block.
        CutState once{};
        Start(once);
        void* p = Cut(once, bytes);
        Retire(once);
        return p;
    }
    t_cutterExit.Touch();
    return Cut(t_cut, bytes);
}

void ReleaseSlow(void* p, std::size_t bytes) noexcept {
    if (!p) return;
    if (bytes > kMaxPooled) {
        ::operator delete(p);
        return;
    }
    TOBRELK_POOL_POISON(p, Rounded(bytes));
    void* slab = SlabOf(p);
    if (t_cutterGone) {
        Drop(SlabAt(slab), 1);
        return;
    }
    t_cutterExit.Touch();
    CutState& c = t_cut;
    if (slab == c.releasing) {
        ++c.released;
        return;
    }
    Flush(c);
    c.releasing = slab;
    c.released = 1;
}

} // namespace record_pool
