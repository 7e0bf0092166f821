// Start-up costs of the database: reading a large animation list, compiling its steps, and
// reading System.dat.
#include <benchmark/benchmark.h>

#include "database/Database.h"
#include "database/SystemData.h"

namespace {

cVector<cAnimeData> ManyAnimations(int n, int frames) {
    cVector<cAnimeData> v(static_cast<std::size_t>(n));
    for (auto& a : v) {
        a.vFrame.assign(static_cast<std::size_t>(frames), cAnimeFrame());
        a.strName = "anime";
    }
    return v;
}

void BM_ReadAnimeList(benchmark::State& state) {
    cVector<cAnimeData> src = ManyAnimations(static_cast<int>(state.range(0)), 8);
    cRecordWriter w;
    WriteRecordVector(w, src);
    const std::string bytes = w.Take();
    for (auto _ : state) {
        cRecordReader r(bytes, 824);
        cVector<cAnimeData> list;
        benchmark::DoNotOptimize(LoadDatabaseList(r, list));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadAnimeList)->Arg(100)->Arg(1000);

void BM_BuildAnimeSteps(benchmark::State& state) {
    const cVector<cAnimeData> src = ManyAnimations(static_cast<int>(state.range(0)), 8);
    cAnimeSteps steps;
    for (auto _ : state) {
        BuildAnimeSteps(src, steps);
        benchmark::DoNotOptimize(steps.data());
    }
}
BENCHMARK(BM_BuildAnimeSteps)->Arg(1000);

void BM_LoadSystemData(benchmark::State& state) {
    cSystemData s;
    cRecordWriter w;
    s.Save(w);
    const std::string bytes = w.Take();
    for (auto _ : state) {
        cRecordReader r(bytes, 824);
        cSystemData loaded;
        loaded.Load(r);
        benchmark::DoNotOptimize(loaded.vMessage.data());
    }
}
BENCHMARK(BM_LoadSystemData);

} // namespace
