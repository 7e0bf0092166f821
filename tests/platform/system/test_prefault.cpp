// Pages made ahead of the writes: the whole pages inside a large buffer are there afterwards,
// the pages it only shares are not, and nothing already written changes.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
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

// The kilobytes of large pages in the mappings inside [p, p + bytes) (/proc/self/smaps: asking
// for large pages splits a mapping).
long LargePageKb(const void* p, std::size_t bytes) {
    std::ifstream smaps("/proc/self/smaps");
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    std::string line;
    bool in = false;
    long total = 0;
    while (std::getline(smaps, line)) {
        std::uintptr_t begin = 0, end = 0;
        char dash = 0;
        if (std::sscanf(line.c_str(), "%" SCNxPTR "%c%" SCNxPTR, &begin, &dash, &end) == 3 && dash == '-') {
            in = begin >= at && end <= at + bytes;
            continue;
        }
        long kb = 0;
        if (in && std::sscanf(line.c_str(), "AnonHugePages: %ld kB", &kb) == 1) total += kb;
    }
    return total;
}

// Whether the system gives large pages to a mapping that asks for them.
bool LargePagesOffered() {
    std::ifstream f("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    return std::getline(f, modes) && modes.find("[never]") == std::string::npos;
}

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

// A buffer of many megabytes is made whole, in large pages where the system offers them; the
// pages it only shares stay to their owners.
TEST(Prefault, MakesALargeBufferInLargePages) {
    const std::size_t page = cFreshPages::Page();
    const std::size_t pages = (std::size_t(10) << 20) / page;
    cFreshPages fresh(pages);
    ASSERT_TRUE(fresh.Ok());
    ASSERT_TRUE(PrefaultLargeForWrite(fresh.At(page + 100), (pages - 2) * page));
    EXPECT_EQ(fresh.Present(), ".." + std::string(pages - 3, 'x') + ".");
    for (std::size_t i = 2 * page; i < (pages - 1) * page; i += 4099) ASSERT_EQ(*fresh.At(i), 0) << i;
    if (!LargePagesOffered()) GTEST_SKIP() << "the system gives no large pages";
    // Ten megabytes, wherever they start, hold at least three whole large pages.
    EXPECT_GE(LargePageKb(fresh.At(0), pages * page), 3 * 2048);
}
