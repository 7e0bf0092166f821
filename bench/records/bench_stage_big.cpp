// Loading stages of 300,000 and 1,000,000 placed blocks (a stage 1,000 cells wide), from its
// file into a stage that play keeps, as a stage is loaded for play, and the memory such a load
// takes at its peak against what the loaded stage keeps (goal: about 1x).
//  - BM_BigStageFirstLoad: a load as the player's first load of the stage meets it, the storage
//    of every earlier load freed and given back to the system first (outside the clock), the file
//    in the page cache. Against what any loader pays for it (x_sum_touch, bench/records/
//    FirstLoadRef.h): a byte checksum of the file's bytes plus a first write to as many fresh
//    bytes as the loaded stage holds, that storage made as the runtime makes it (in large pages
//    where the system has them). Goal: within 3x. x_sum_touch_old: against the same checksum and
//    fresh 4 kB pages, the reference this one replaces.
//  - BM_BigStageFirstLoadUncached: the same first load with the file dropped from the page cache
//    first, as a start meets a file not read since: the load waits for the disk, which the
//    thread's CPU time cannot see, so both clocks are kept ("Time" and wall_ms: the time that
//    passed; "CPU" and cpu_ms: the thread's). Against the same reference reading the file, itself
//    dropped from the cache first (x_read_sum_touch by CPU time, x_read_sum_touch_wall by the
//    time that passed). Goal: within 3x. A file the system keeps cached (a folder in memory: set
//    TMPDIR to one on a disk) is an error.
//  - BM_BigStageReload: the same stage loaded again over the last load, as a retry loads it
//    (goal: within 4x a byte checksum of the file's bytes at 1,000,000).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/Reference.h"
#include "bench/records/FirstLoadRef.h"
#include "bench/records/LoadMemory.h"
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
    std::string Path() const { return path.string(); }
    ~BlockStageFile() { std::filesystem::remove(path); }
};

// The file, the resident memory of a load into an empty stage and what the loaded stage keeps,
// set as counters; false when the load's memory could not be measured.
bool SetMemoryCounters(benchmark::State& state, const BlockStageFile& file, long& keptKb) {
    long peakKb = 0;
    state.counters["file_mb"] = static_cast<double>(file.bytes.size()) / 1e6;
    cStage target;
    if (!bench_load::MeasureLoadMemory([&] { return LoadStageFile(target, file.Path()) != 0; }, peakKb, keptKb))
        return false;
    state.counters["peak_mb"] = static_cast<double>(peakKb) / 1e3;
    state.counters["stage_mb"] = static_cast<double>(keptKb) / 1e3;
    state.counters["x_stage"] = static_cast<double>(peakKb) / static_cast<double>(keptKb);
    return true;
}

// Every earlier load's storage freed and given back to the system: the stage emptied, the
// storage kept for big lists of blocks released, the heap's free pages returned.
void ForgetEarlierLoads(cStage& target) {
    target = cStage();
    bench_load::GiveBackFreeMemory();
}

// The bytes the loaded stage holds: measured (SetMemoryCounters), or else its blocks' storage.
std::size_t HeldBytes(benchmark::State& state, const BlockStageFile& file) {
    long keptKb = 0;
    if (SetMemoryCounters(state, file, keptKb)) return static_cast<std::size_t>(keptKb) * 1024;
    cStage target;
    if (!LoadStageFile(target, file.Path())) state.SkipWithError("load failed");
    return target.vBlock.capacity() * sizeof(cEdBlock);
}

void BM_BigStageFirstLoad(benchmark::State& state) {
    const BlockStageFile file(static_cast<int>(state.range(0)));
    const bench_load::cSumAndTouchRef ref{&file.bytes, HeldBytes(state, file), file.Path()};
    cStage target;
    ForgetEarlierLoads(target);
    bench_ref::RunAgainstBetween(
        state, "sum_touch",
        [&] {
            if (!LoadStageFile(target, file.Path())) state.SkipWithError("load failed");
        },
        [&] { ForgetEarlierLoads(target); }, ref);
}
BENCHMARK(BM_BigStageFirstLoad)->Arg(300000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_BigStageFirstLoadUncached(benchmark::State& state) {
    const BlockStageFile file(static_cast<int>(state.range(0)));
    const bench_load::cSumAndTouchRef ref{&file.bytes, HeldBytes(state, file), file.Path()};
    cStage target;
    ForgetEarlierLoads(target);
    bench_load::DropFromPageCache(file.Path());
    std::vector<double> cpu, wall, refCpu, refWall;
    double cached = 0;
    for (auto _ : state) {
        // What the system kept of the file despite the drop, looked at outside the clocks.
        state.PauseTiming();
        cached = std::max(cached, bench_load::CachedShare(file.Path()));
        state.ResumeTiming();
        const bench_load::cTimes t = bench_load::TimeBoth([&] {
            if (!LoadStageFile(target, file.Path())) state.SkipWithError("load failed");
        });
        state.PauseTiming();
        cpu.push_back(t.cpu);
        wall.push_back(t.wall);
        ForgetEarlierLoads(target);
        bool read = false;
        const bench_load::cTimes r = ref.Uncached(read);
        if (!read) state.SkipWithError("the reference could not read the file");
        refCpu.push_back(r.cpu);
        refWall.push_back(r.wall);
        bench_load::DropFromPageCache(file.Path());
        state.ResumeTiming();
    }
    if (cached != 0) {
        state.SkipWithError(cached < 0 ? "cannot tell whether the file left the page cache"
                                       : "the file stays in the page cache: set TMPDIR to a folder on a disk");
        return;
    }
    const double mc = bench_ref::Median(cpu), mw = bench_ref::Median(wall);
    const double rc = bench_ref::Median(refCpu), rw = bench_ref::Median(refWall);
    state.counters["cpu_ms"] = mc / 1e6;
    state.counters["wall_ms"] = mw / 1e6;
    state.counters["ref_cpu_ms"] = rc / 1e6;
    state.counters["ref_wall_ms"] = rw / 1e6;
    state.counters["x_read_sum_touch"] = rc > 0 ? mc / rc : 0;
    state.counters["x_read_sum_touch_wall"] = rw > 0 ? mw / rw : 0;
}
BENCHMARK(BM_BigStageFirstLoadUncached)->Arg(300000)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_BigStageReload(benchmark::State& state) {
    const BlockStageFile file(static_cast<int>(state.range(0)));
    long keptKb = 0;
    SetMemoryCounters(state, file, keptKb);
    cStage target;
    bench_ref::RunAgainst(
        state, "sum",
        [&] {
            if (!LoadStageFile(target, file.Path())) state.SkipWithError("load failed");
        },
        bench_ref::RefChecksum(file.bytes));
}
BENCHMARK(BM_BigStageReload)->Arg(300000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
