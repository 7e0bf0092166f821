// Reading and writing a record stream of many small records: the shape of a stage file's
// placed-block list.
#include <benchmark/benchmark.h>

#include "records/Record.h"

namespace {

struct Small : cRecord {
    u32 kind = 0;
    u16 x = 0, y = 0;
    u8 flags[4] = {};
    std::string name;
    void RegisterFields(u32) override {
        ResetFieldLists();
        AddFieldU32(&kind);
        AddFieldU16(&x);
        AddFieldU16(&y);
        AddFieldU8(flags, 4);
        AddString(&name);
    }
};

struct Table : cRecord {
    cVector<Small> rows;
    void Load(cRecordReader& r) override {
        cRecord::Load(r);
        if (!r.Failed()) ReadRecordVector(r, rows);
    }
    void Save(cRecordWriter& w) override {
        cRecord::Save(w);
        WriteRecordVector(w, rows);
    }
};

Table MakeTable() {
    Table t;
    t.rows.resize(100000);
    for (int i = 0; i < t.rows.Size(); ++i) {
        t.rows[i].kind = static_cast<u32>(i);
        t.rows[i].x = static_cast<u16>(i % 300);
        t.rows[i].name = (i % 10 == 0) ? "block" : "";
    }
    return t;
}

void BM_WriteRecords(benchmark::State& state) {
    Table t = MakeTable();
    for (auto _ : state) {
        cRecordWriter w;
        t.Save(w);
        benchmark::DoNotOptimize(w.Bytes().data());
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_WriteRecords)->Unit(benchmark::kMillisecond);

void BM_ReadRecords(benchmark::State& state) {
    Table t = MakeTable();
    cRecordWriter w;
    t.Save(w);
    const std::string bytes = w.Take();
    for (auto _ : state) {
        Table back;
        cRecordReader r(bytes, kProgVer);
        back.Load(r);
        benchmark::DoNotOptimize(back.rows.data());
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_ReadRecords)->Unit(benchmark::kMillisecond);

} // namespace
