// Loading and saving a big stage: 100,000 placed blocks, 2,000 characters with flows and 2,000
// items with commands.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/Reference.h"
#include "bench/records/FirstLoadRef.h"
#include "bench/records/LoadMemory.h"
#include "records/DataFile.h"
#include "records/Stage.h"

namespace {

cFlow MakeFlow(int seed) {
    cFlow f;
    f.trigger = static_cast<u8>(seed % 20);
    f.keyGap = 3;
    cCond c;
    c.kind = 1;
    c.value = seed;
    f.conds.push_back(c);
    for (int i = 0; i < 3; ++i) {
        cFlowCmd cmd;
        cmd.cmdKind = static_cast<u8>(1 + (seed + i) % 30);
        cmd.params.assign(CmdTypeRow(0, cmd.cmdKind).nParams, static_cast<u32>(i));
        if (i == 0) NewEdMove(cmd.move);
        if (i == 1) NewEdShot(cmd.shot);
        f.cmds.push_back(cmd);
    }
    return f;
}

cStage& BigStage() {
    static cStage st = [] {
        cStage s;
        s.dwWidth() = 1000;
        s.dwHeight() = 100;
        cEdBlock b;
        b.wPicture = 1;
        s.vBlock.reserve(100000);
        for (int i = 0; i < 100000; ++i) {
            b.sPosX = static_cast<i16>(i % 1000);
            b.sPosY = static_cast<i16>(i / 1000);
            s.vBlock.push_back(b);
        }
        cEdChara hero;
        hero.byOperation = 0;
        hero.wPicture = 1;
        s.vChara.push_back(hero);
        for (int i = 1; i < 2000; ++i) {
            cEdChara c;
            c.wPicture = 2;
            c.sPosX = static_cast<i16>(i % 1000);
            c.nHoldItem = cEdChara::kNoItem;
            c.vFlow.push_back(MakeFlow(i));
            c.vFlow.push_back(MakeFlow(i + 1));
            s.vChara.push_back(c);
        }
        for (int i = 0; i < 2000; ++i) {
            cEdItem it;
            it.wPicture = 3;
            it.sPosX = static_cast<i16>(i % 1000);
            cFlowCmd cmd;
            cmd.cmdSet = 1;
            cmd.cmdKind = 2;
            cmd.params.assign(CmdTypeRow(1, 2).nParams, 1);
            it.vCmd.push_back(cmd);
            s.vItem.push_back(it);
        }
        s.vName.resize(kStageNameCount);
        return s;
    }();
    return st;
}

const std::string& BigStageBytes() {
    static const std::string bytes = [] {
        cRecordWriter w;
        BigStage().Save(w);
        return w.Take();
    }();
    return bytes;
}

void BM_StageSave(benchmark::State& state) {
    cStage& st = BigStage();
    for (auto _ : state) {
        cRecordWriter w;
        st.Save(w);
        benchmark::DoNotOptimize(w.Bytes().data());
    }
    state.counters["bytes"] = static_cast<double>(BigStageBytes().size());
}
BENCHMARK(BM_StageSave)->Unit(benchmark::kMillisecond);

// A load of the stage from its bytes as the first load meets it: the storage of every earlier
// load freed and given back to the system first (outside the clock), so that the load takes its
// storage fresh. The loader reads the bytes where they are (BM_StageLoadFile counts the file
// read); the stage is destroyed within the clock. Against what any load into fresh memory pays
// (x_sum_touch, bench/records/FirstLoadRef.h): a byte checksum of the bytes plus a first write to
// as many fresh bytes as the loaded stage holds, made as the runtime makes a stage's storage.
// Goal: within 3x. x_sum_touch_old: against the byte checksum alone.
void BM_StageLoad(benchmark::State& state) {
    const std::string& bytes = BigStageBytes();
    const auto load = [&](cStage& st) {
        cRecordReader r = cRecordReader::Over(bytes, kProgVer);
        StagePaletteScope scope(st);
        st.Load(r);
        return !r.Failed();
    };
    long peakKb = 0, keptKb = 0;
    cStage kept;
    if (!bench_load::MeasureLoadMemory([&] { return load(kept); }, peakKb, keptKb)) {
        state.SkipWithError("the load's memory could not be measured");
        return;
    }
    state.counters["stage_mb"] = static_cast<double>(keptKb) / 1e3;
    const bench_load::cSumAndTouchRef touch{&bytes, static_cast<std::size_t>(keptKb) * 1024, {}};
    // The checksum alone beside it, as the reference the earlier rounds timed.
    struct cRef {
        const bench_load::cSumAndTouchRef& touch;
        double Fair() const { return touch.Fair(); }
        double Old() const { return bench_ref::RefChecksum(*touch.bytes).Fair(); }
    };
    bench_load::GiveBackFreeMemory();
    bench_ref::RunAgainstBetween(
        state, "sum_touch",
        [&] {
            cStage st;
            if (!load(st)) state.SkipWithError("load failed");
            benchmark::DoNotOptimize(st.vBlock.data());
        },
        bench_load::GiveBackFreeMemory, cRef{touch});
}
BENCHMARK(BM_StageLoad)->Unit(benchmark::kMillisecond);

// The same load again and again, each into storage an earlier load gave back and the runtime
// keeps for the next big list of blocks, as a retry loads the stage again: a warm reload.
// Against a byte checksum of the same bytes (x_sum; x_sum_old: the checksum wherever it lands).
// Goal: within 3x.
void BM_StageReload(benchmark::State& state) {
    const std::string& bytes = BigStageBytes();
    bench_ref::RunAgainst(
        state, "sum",
        [&] {
            cRecordReader r = cRecordReader::Over(bytes, kProgVer);
            cStage st;
            StagePaletteScope scope(st);
            st.Load(r);
            if (r.Failed()) state.SkipWithError("load failed");
            benchmark::DoNotOptimize(st.vBlock.data());
        },
        bench_ref::RefChecksum(bytes));
}
BENCHMARK(BM_StageReload)->Unit(benchmark::kMillisecond);

// The reload with the stage's destruction left out of the timed part: what reading the bytes
// into a stage costs by itself (x_sum against the same checksum). The stage made by one
// iteration is destroyed while the clock is paused; its storage is kept for the next, as in
// BM_StageReload.
void BM_StageLoadKept(benchmark::State& state) {
    const std::string& bytes = BigStageBytes();
    std::vector<double> tw, tr, to;
    const bench_ref::cChecksumRef sum = bench_ref::RefChecksum(bytes);
    sum.Fair();
    for (auto _ : state) {
        const double t0 = bench_ref::CpuNs();
        auto st = std::make_unique<cStage>();
        {
            cRecordReader r = cRecordReader::Over(bytes, kProgVer);
            StagePaletteScope scope(*st);
            st->Load(r);
            if (r.Failed()) state.SkipWithError("load failed");
        }
        benchmark::DoNotOptimize(st->vBlock.data());
        tw.push_back(bench_ref::CpuNs() - t0);
        state.PauseTiming();
        st.reset();
        to.push_back(sum.Old());
        tr.push_back(sum.Fair());
        state.ResumeTiming();
    }
    bench_ref::SetRatios(state, "sum", tw, tr, to);
}
BENCHMARK(BM_StageLoadKept)->Unit(benchmark::kMillisecond);

// The whole path of a play load: file read, stage read, replacement of the stage.
void BM_StageLoadFile(benchmark::State& state) {
    // A name of this run's own: two runs at once would otherwise write over each other's file.
    const auto path = std::filesystem::temp_directory_path() /
                      ("tobrelk_bench_stage_" + std::to_string(::getpid()) + ".stg4_000");
    {
        cRecordWriter w = OpenDataFileWrite();
        BigStage().Save(w);
        std::ofstream f(path, std::ios::binary);
        f.write(w.Bytes().data(), static_cast<std::streamsize>(w.Bytes().size()));
    }
    cStage target;
    bench_ref::RunAgainst(
        state, "sum",
        [&] {
            if (!LoadStageFile(target, path.string())) state.SkipWithError("load failed");
        },
        bench_ref::RefChecksum(BigStageBytes()));
    std::filesystem::remove(path);
}
BENCHMARK(BM_StageLoadFile)->Unit(benchmark::kMillisecond);

} // namespace
