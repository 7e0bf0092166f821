#pragma once
// The reference of the first-load benchmarks: what any load of a stage into fresh memory pays.
// The stage's bytes are read (a byte checksum of them; from its file, when the file is the
// point, read in windows as the loader reads it), then as many bytes of fresh storage as the
// loaded stage holds are written through once, the storage made as the runtime makes the
// storage of a stage's blocks (big_block_storage::Take: made in one call, in the system's large
// pages where it has them). Beside it, the reference it replaces (Old): the same checksum and a
// first write to fresh 4 kB pages, which the storage of blocks does not use where large pages
// are to be had.
// A file is dropped from the page cache (written back, then posix_fadvise DONTNEED) before each
// uncached read, the load's or the reference's; the share of its pages still cached tells
// whether the system did drop it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bench/Reference.h"
#include "bench/records/LoadMemory.h"
#include "records/BlockAlloc.h"

namespace bench_load {

struct cTimes {
    double cpu = 0, wall = 0; // ns: the thread's CPU time, and the time that passed
    cTimes operator+(const cTimes& o) const { return {cpu + o.cpu, wall + o.wall}; }
};

inline double WallNs() {
    return static_cast<double>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

template <class Fn>
cTimes TimeBoth(Fn&& fn) {
    const double c0 = bench_ref::CpuNs(), w0 = WallNs();
    fn();
    return {bench_ref::CpuNs() - c0, WallNs() - w0};
}

// Drops the file's pages from the page cache; false when the system was not asked.
inline bool DropFromPageCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // Dirty pages stay in the cache: they are written back first.
    const bool ok = ::fdatasync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return ok;
}

// The share of the file's pages in the page cache (0 to 1), or -1 when it cannot be told.
inline double CachedShare(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    double share = -1;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        const auto size = static_cast<std::size_t>(st.st_size);
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        // Mapping the file brings none of it in; mincore only looks.
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (map != MAP_FAILED) {
            std::vector<unsigned char> in((size + page - 1) / page);
            if (::mincore(map, size, in.data()) == 0) {
                std::size_t cached = 0;
                for (unsigned char c : in) cached += c & 1;
                share = static_cast<double>(cached) / static_cast<double>(in.size());
            }
            ::munmap(map, size);
        }
    }
    ::close(fd);
    return share;
}

// The loader's window on a file.
constexpr std::size_t kReadWindow = 256 * 1024;

// The file read in windows, each summed by the checksum's loop; false when it could not be read.
inline bool ReadAndSum(const std::string& path, uint32_t& sum) {
    sum = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::vector<unsigned char> window(kReadWindow);
    off_t at = 0;
    ssize_t got = 0;
    while ((got = ::pread(fd, window.data(), window.size(), at)) > 0) {
        sum += bench_ref::detail::SumAtLine(window.data(), static_cast<std::size_t>(got));
        at += got;
    }
    ::close(fd);
    return got == 0;
}

// Fresh storage of `bytes` made as a stage's blocks' storage is made, and written through once.
// Only the making and the writing are timed; the storage goes back to the system after.
inline cTimes TouchAsBlockStorage(std::size_t bytes) {
    big_block_storage::Release(); // nothing kept: the storage is taken fresh
    void* p = nullptr;
    const cTimes t = TimeBoth([&] {
        p = big_block_storage::Take(bytes);
        std::memset(p, 1, bytes);
        benchmark::ClobberMemory();
    });
    big_block_storage::Give(p);
    GiveBackFreeMemory();
    return t;
}

// A TimedRef (bench/Reference.h) for a load from bytes in memory, and Uncached() for a load from
// a file dropped from the page cache.
struct cSumAndTouchRef {
    const std::string* bytes; // the bytes the load reads
    std::size_t touchBytes;   // what the loaded stage holds
    std::string file;         // the file they are read from, for Uncached()

    // The checksum of the bytes (the faster of its placements), then the storage.
    double Fair() const { return bench_ref::RefChecksum(*bytes).Fair() + TouchAsBlockStorage(touchBytes).cpu; }
    // The former reference: the same checksum, then fresh pages of 4 kB.
    double Old() const {
        void* fresh = ::mmap(nullptr, touchBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (fresh == MAP_FAILED) return 0;
        const double sum = bench_ref::RefChecksum(*bytes).Fair();
        const double touch = bench_ref::detail::TimeNs([&] {
            std::memset(fresh, 1, touchBytes);
            benchmark::ClobberMemory();
        });
        ::munmap(fresh, touchBytes);
        return sum + touch;
    }
    // The file dropped from the page cache (outside the clocks), read and summed, then the
    // storage; both clocks. ok is false when the file could not be read.
    cTimes Uncached(bool& ok) const {
        DropFromPageCache(file);
        uint32_t sum = 0;
        const cTimes read = TimeBoth([&] { ok = ReadAndSum(file, sum); });
        benchmark::DoNotOptimize(sum);
        return read + TouchAsBlockStorage(touchBytes);
    }
};

} // namespace bench_load
