#pragma once
// Fresh memory costs a trap into the system for each of its pages on its first write, and on
// the machines the runtime meets (virtual ones above all) that trap costs several times what
// the page itself costs. A large buffer about to be written from end to end is therefore asked
// for in one call: the pages are made together, before the writes reach them.
#include <cstddef>

// From this size on a buffer is worth the call; smaller ones take their few traps.
constexpr std::size_t kPrefaultBytes = 64 * 1024;

// Makes the whole pages inside [p, p + bytes) present and writable. Nothing is written; pages
// that are there already are left as they are. Does nothing below kPrefaultBytes, or where the
// system cannot (an older kernel): the first writes then make the pages as before. Returns
// whether the pages were made here.
bool PrefaultForWrite(void* p, std::size_t bytes) noexcept;

// The same for a buffer of many megabytes, in the system's large pages where it has them: each
// 2 MB page is one trap and one clearing instead of 512. Only the 2 MB pages wholly inside are
// asked for large; the rest is made as PrefaultForWrite makes it.
bool PrefaultLargeForWrite(void* p, std::size_t bytes) noexcept;

// Room for n elements in v (a vector, a string or a byte buffer), the storage's pages made in
// one call when it has to grow; what v holds is kept.
template <class V>
void ReservePrefaulted(V& v, std::size_t n) {
    if (v.capacity() >= n) return;
    v.reserve(n);
    PrefaultForWrite(v.data(), v.capacity() * sizeof(typename V::value_type));
}
