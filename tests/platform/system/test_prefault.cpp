// Pages made ahead of the writes: the whole pages inside a large buffer are there afterwards,
// the pages it only shares are not, and nothing already written changes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "platform/system/ByteBuffer.h"
#include "platform/system/Prefault.h"
#include "platform/system/Types.h"

namespace {

// Fresh pages of their own, under 2 MB so that no huge page can stand in for them.
class cFreshPages {
public:
    explicit cFreshPages(std::size_t pages) : m_bytes(pages * Page()) {
        m_p = static_cast<char*>(::mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    }
    ~cFreshPages() {
        if (m_p != MAP_FAILED) ::munmap(m_p, m_bytes);
    }
    char* At(std::size_t offset) const { return m_p + offset; }
    bool Ok() const { return m_p != MAP_FAILED; }
    // One character a page: 'x' where the page is present.
    std::string Present() const {
        std::vector<unsigned char> in(m_bytes / Page());
        if (::mincore(m_p, m_bytes, in.data()) != 0) return "?";
        std::string out;
        for (unsigned char c : in) out += (c & 1) ? 'x' : '.';
        return out;
    }
    static std::size_t Page() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

private:
    std::size_t m_bytes;
    char* m_p;
};

} // namespace

TEST(Prefault, MakesTheWholePagesInsideALargeBufferAndNoOthers) {
    const std::size_t page = cFreshPages::Page();
    const std::size_t pages = kPrefaultBytes / page + 4;
    cFreshPages fresh(pages);
    ASSERT_TRUE(fresh.Ok());
    ASSERT_EQ(fresh.Present(), std::string(pages, '.'));
    // From the middle of page 1 to the middle of the second last page: the pages in between are
    // made; page 0, the two pages cut in half and the last page are not.
    ASSERT_TRUE(PrefaultForWrite(fresh.At(page + 100), (pages - 3) * page));
    EXPECT_EQ(fresh.Present(), ".." + std::string(pages - 4, 'x') + "..");
    // Made, not written: the pages read as zeros.
    for (std::size_t i = 2 * page; i < (pages - 2) * page; i += 997) ASSERT_EQ(*fresh.At(i), 0) << i;
}

TEST(Prefault, LeavesSmallBuffersToTheirWrites) {
    const std::size_t page = cFreshPages::Page();
    cFreshPages fresh(kPrefaultBytes / page + 1);
    ASSERT_TRUE(fresh.Ok());
    EXPECT_FALSE(PrefaultForWrite(fresh.At(0), kPrefaultBytes - 1));
    EXPECT_FALSE(PrefaultForWrite(nullptr, kPrefaultBytes * 2));
    EXPECT_EQ(fresh.Present(), std::string(kPrefaultBytes / page + 1, '.'));
}

// Growing with the pages made keeps the size and every element already there, for each kind
// of storage the readers grow.
TEST(Prefault, ReservingKeepsWhatTheStorageHolds) {
    const std::size_t n = kPrefaultBytes * 3;
    std::vector<u32> v(1000);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<u32>(i * 2654435761u);
    const std::vector<u32> before = v;
    ReservePrefaulted(v, n);
    EXPECT_GE(v.capacity(), n);
    EXPECT_EQ(v, before);

    std::string s = "made before the pages";
    ReservePrefaulted(s, n);
    EXPECT_GE(s.capacity(), n);
    EXPECT_EQ(s, "made before the pages");

    cByteBuffer b;
    b.resize(5);
    std::memcpy(b.data(), "bytes", 5);
    ReservePrefaulted(b, n);
    EXPECT_GE(b.capacity(), n);
    EXPECT_EQ(b.View(), "bytes");
    // Already large enough: nothing moves.
    const char* at = b.data();
    ReservePrefaulted(b, 10);
    EXPECT_EQ(b.data(), at);
    EXPECT_EQ(b.View(), "bytes");
}
