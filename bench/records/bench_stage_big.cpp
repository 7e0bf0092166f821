// Loading stages of 300,000 and 1,000,000 placed blocks (a stage 1,000 cells wide), from its
// file into a stage that play keeps, as a stage is loaded for play, and the memory such a load
// takes at its peak against what the loaded stage keeps (goal: about 1x).
//  - BM_BigStageFirstLoad: a load as the player's first load of the stage meets it, the storage
//    of every earlier load freed and given back to the system first (outside the clock). Against
//    what any loader pays for it (x_sum_touch): a byte checksum of the file's bytes plus a first
//    touch of as many fresh bytes as the loaded stage holds (goal: within 3x).
//  - BM_BigStageReload: the same stage loaded again over the last load, as a retry loads it
//    (goal: within 4x a byte checksum of the file's bytes at 1,000,000).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/Reference.h"
#include "records/BlockAlloc.h"
#include "records/DataFile.h"
#include "records/Stage.h"

namespace {

cStage MakeBlockStage(int blocks) {
    cStage s;
    s.dwWidth() = 1000;
    s.dwHeight() = static_cast<u32>((blocks + 999) / 1000);
    cEdBlock b;
    b.wPicture = 1;
    b.bySolid = 1;
    s.vBlock.reserve(static_cast<std::size_t>(blocks));
    for (int i = 0; i < blocks; ++i) {
        b.sPosX = static_cast<i16>(i % 1000);
        b.sPosY = static_cast<i16>(i / 1000);
        s.vBlock.push_back(b);
    }
    cEdChara hero;
    hero.byOperation = 0;
    hero.wPicture = 1;
    s.vChara.push_back(hero);
    s.vName.resize(kStageNameCount);
    return s;
}

// The stage's file (named for this run, so that two runs keep apart) and its bytes.
struct BlockStageFile {
    std::filesystem::path path;
    std::string bytes;
    explicit BlockStageFile(int blocks) {
        path = std::filesystem::temp_directory_path() /
               ("tobrelk_bench_big_" + std::to_string(::getpid()) + "_" + std::to_string(blocks) + ".stg4_000");
        cStage st = MakeBlockStage(blocks);
        cRecordWriter w = OpenDataFileWrite();
        st.Save(w);
        bytes = w.Take();
        std::ofstream f(path, std::ios::binary);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~BlockStageFile() { std::filesystem::remove(path); }
};

// Resident memory now and at its peak since the last ResetPeak, in bytes.
long StatusKb(const char* key) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    const std::size_t len = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, len) == 0) kb = std::strtol(line + len, nullptr, 10);
    std::fclose(f);
    return kb;
}
bool ResetPeak() {
    FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f) return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

// In a child of its own, its heap's free pages given back: the resident memory a load into an
// empty stage adds at its peak, and what it adds for good (the loaded stage), in kB.
bool MeasureLoadMemory(const std::string& path, long& peakKb, long& keptKb) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        long out[2] = {-1, -1};
        // The heap's free pages go back first, and the storage kept for big lists of blocks, so
        // that what the load touches counts.
        big_block_storage::Release();
        ::malloc_trim(0);
        cStage target;
        const long before = StatusKb("VmRSS:");
        if (ResetPeak() && LoadStageFile(target, path)) {
            out[0] = StatusKb("VmHWM:") - before;
            out[1] = StatusKb("VmRSS:") - before;
        }
        const ssize_t wrote = ::write(fds[1], out, sizeof out);
        ::_exit(wrote == static_cast<ssize_t>(sizeof out) ? 0 : 1);
    }
    ::close(fds[1]);
    long in[2] = {-1, -1};
    const bool got = pid > 0 && ::read(fds[0], in, sizeof in) == static_cast<ssize_t>(sizeof in);
    ::close(fds[0]);
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    peakKb = in[0];
    keptKb = in[1];
    return got && peakKb > 0 && keptKb > 0;
}

// What any load of the file into fresh memory pays: a byte checksum of the file's bytes, then a
// first write to every byte of fresh pages as many as the loaded stage holds (mapped anew each
// time, so that each page is new to the process, and given back outside the clock).
struct cSumAndTouchRef {
    const std::string* bytes;
    std::size_t touchBytes;
    double Fair() const {
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
    double Old() const { return -1; }
};

// The file, the resident memory of a load into an empty stage and what the loaded stage keeps,
// set as counters; false when the load's memory could not be measured.
bool SetMemoryCounters(benchmark::State& state, const BlockStageFile& file, long& keptKb) {
    long peakKb = 0;
    state.counters["file_mb"] = static_cast<double>(file.bytes.size()) / 1e6;
    if (!MeasureLoadMemory(file.path.string(), peakKb, keptKb)) return false;
    state.counters["peak_mb"] = static_cast<double>(peakKb) / 1e3;
    state.counters["stage_mb"] = static_cast<double>(keptKb) / 1e3;
    state.counters["x_stage"] = static_cast<double>(peakKb) / static_cast<double>(keptKb);
    return true;
}

// Every earlier load's storage freed and given back to the system: the stage emptied, the
// storage kept for big lists of blocks released, the heap's free pages returned.
void ForgetEarlierLoads(cStage& target) {
    target = cStage();
    big_block_storage::Release();
    ::malloc_trim(0);
}

void BM_BigStageFirstLoad(benchmark::State& state) {
    const BlockStageFile file(static_cast<int>(state.range(0)));
    long keptKb = 0;
    cStage target;
    const bool measured = SetMemoryCounters(state, file, keptKb);
    // As many bytes as the loaded stage holds: measured, or else its blocks' storage.
    if (!measured) {
        if (!LoadStageFile(target, file.path.string())) state.SkipWithError("load failed");
        keptKb = static_cast<long>(target.vBlock.capacity() * sizeof(cEdBlock) / 1024);
    }
    ForgetEarlierLoads(target);
    bench_ref::RunAgainstBetween(
        state, "sum_touch",
        [&] {
            if (!LoadStageFile(target, file.path.string())) state.SkipWithError("load failed");
        },
        [&] { ForgetEarlierLoads(target); },
        cSumAndTouchRef{&file.bytes, static_cast<std::size_t>(keptKb) * 1024});
}
BENCHMARK(BM_BigStageFirstLoad)->Arg(300000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_BigStageReload(benchmark::State& state) {
    const BlockStageFile file(static_cast<int>(state.range(0)));
    long keptKb = 0;
    SetMemoryCounters(state, file, keptKb);
    cStage target;
    bench_ref::RunAgainst(
        state, "sum",
        [&] {
            if (!LoadStageFile(target, file.path.string())) state.SkipWithError("load failed");
        },
        bench_ref::RefChecksum(file.bytes));
}
BENCHMARK(BM_BigStageReload)->Arg(300000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
