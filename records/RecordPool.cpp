#include "records/RecordPool.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define TOBRELK_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOBRELK_POOL_ASAN 1
#endif
#endif
#if defined(TOBRELK_POOL_ASAN)
#include <sanitizer/asan_interface.h>
#define TOBRELK_POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define TOBRELK_POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define TOBRELK_POOL_POISON(p, n) ((void)(p), (void)(n))
#define TOBRELK_POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace record_holders {
std::atomic<u32> g_count[kEntries];
} // namespace record_holders

namespace record_pool {
namespace {

constexpr std::size_t kGrain = 16;
// Slabs are aligned to their size, so a block finds its slab from its address.
constexpr std::size_t kSlabBytes = std::size_t(64) << 10;
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

// The slab a thread cuts its blocks from, and the blocks it released last: those of one record
// lie in one slab, and are counted off together.
struct Cutter {
    Slab* slab = nullptr;
    char* at = nullptr;
    char* end = nullptr;
    u32 cut = 0;
    Slab* releasing = nullptr;
    u32 released = 0;

    Cutter() = default;
    Cutter(const Cutter&) = delete;
    Cutter& operator=(const Cutter&) = delete;
    ~Cutter();

    void Release(Slab* of) {
        if (of == releasing) {
            ++released;
            return;
        }
        Flush();
        releasing = of;
        released = 1;
    }
    void Flush() {
        if (releasing) Drop(releasing, released);
        releasing = nullptr;
        released = 0;
    }
    void Retire() {
        if (!slab) return;
        // From now on only released blocks count.
        Drop(slab, kCutting - cut);
        slab = nullptr;
        at = end = nullptr;
    }
    void Start() {
        slab = NewSlab();
        slab->live.store(kCutting, std::memory_order_relaxed);
        at = reinterpret_cast<char*>(slab) + kGrain;
        end = reinterpret_cast<char*>(slab) + kSlabBytes;
        cut = 0;
    }
    void* Cut(std::size_t bytes) {
        if (static_cast<std::size_t>(end - at) < bytes) {
            Retire();
            Start();
        }
        void* p = at;
        at += bytes;
        ++cut;
        TOBRELK_POOL_UNPOISON(p, bytes);
        return p;
    }
};

// Set once this thread's cutter is gone (its thread-local objects are being destroyed).
thread_local constinit bool t_cutterGone = false;

Cutter::~Cutter() {
    t_cutterGone = true;
    Flush();
    Retire();
}

thread_local Cutter t_cutter;

std::size_t Rounded(std::size_t bytes) { return bytes == 0 ? kGrain : (bytes + kGrain - 1) & ~(kGrain - 1); }

} // namespace

void* Allocate(std::size_t bytes) {
    if (bytes > kMaxPooled) return ::operator new(bytes);
    bytes = Rounded(bytes);
    if (t_cutterGone) {
        // Late in a thread's end: a slab of its own for this block.
        Cutter once;
        once.Start();
        void* p = once.Cut(bytes);
        once.Retire();
        return p;
    }
    return t_cutter.Cut(bytes);
}

void Release(void* p, std::size_t bytes) noexcept {
    if (!p) return;
    if (bytes > kMaxPooled) {
        ::operator delete(p);
        return;
    }
    TOBRELK_POOL_POISON(p, Rounded(bytes));
    Slab* slab = reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(p) & ~(kSlabBytes - 1));
    if (t_cutterGone)
        Drop(slab, 1);
    else
        t_cutter.Release(slab);
}

} // namespace record_pool
