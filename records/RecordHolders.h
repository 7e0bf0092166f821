#pragma once
// Which records hold storage of their own, known without reading them. A stage frees its placed
// blocks by the hundred thousand and its commands' movements and shots by the thousand, long after
// it read them: each one's destructor would wait for the record's memory only to find that it
// holds nothing. A record of a class that keeps such a table adds itself, by its address, when it
// gains storage to free (side storage, field lists) and removes itself when it lets go; a record
// whose entry is 0 holds nothing, and only its storage is given back. Any other entry (a record
// there holds something, or one elsewhere shares the entry) sends it to the usual destructor.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/system/Types.h"

// One table per kind of record (Tag), so that the few blocks holding something do not send
// movements to their destructors, nor the other way round.
template <class Tag>
struct cHolderTable {
    static constexpr std::size_t kEntries = 4096;
    // Records of one 4 KB page share an entry; pages 16 MB apart too.
    static std::size_t EntryOf(const void* p) noexcept {
        return (reinterpret_cast<std::uintptr_t>(p) >> 12) & (kEntries - 1);
    }
    // Whoever frees a record got it from whoever made it in an ordered way (a thread's end, a
    // lock), so the counts that record made are seen without stronger ordering here.
    static void Add(const void* p) noexcept { g_count[EntryOf(p)].fetch_add(1, std::memory_order_relaxed); }
    static void Remove(const void* p) noexcept { g_count[EntryOf(p)].fetch_sub(1, std::memory_order_relaxed); }
    static bool Any(const void* p) noexcept { return g_count[EntryOf(p)].load(std::memory_order_relaxed) != 0; }

    static inline std::atomic<u32> g_count[kEntries] = {};
};
