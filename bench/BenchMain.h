#pragma once
// The benchmark programs' run: the cases run and report as the library has them, and a case in
// error fails the program. A case is in error when its set-up failed or it found that it did not
// measure what its name says (SkipWithError); the library prints such a case in its table and
// still exits with success, so that a case that measured nothing went unseen. Here the cases in
// error are listed again at the end, on standard error, and the exit status is 1.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace bench_main {

// Hands every report on to the display reporter and keeps the runs in error.
class cErrorKeeper final : public benchmark::BenchmarkReporter {
public:
    explicit cErrorKeeper(benchmark::BenchmarkReporter* display) : m_display(display) {}

    bool ReportContext(const Context& context) override { return m_display->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.error_occurred) m_errors.push_back(r.benchmark_name() + ": " + r.error_message);
        m_display->ReportRuns(runs);
    }
    void Finalize() override { m_display->Finalize(); }

    const std::vector<std::string>& Errors() const { return m_errors; }

private:
    benchmark::BenchmarkReporter* m_display;
    std::vector<std::string> m_errors;
};

// The programs' main (bench/BenchMain.cpp): 0 when every case ran without error, else 1.
inline int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // The library's own reporter for the flags given (it stays the library's).
    cErrorKeeper keeper(benchmark::CreateDefaultDisplayReporter());
    benchmark::RunSpecifiedBenchmarks(&keeper);
    benchmark::Shutdown();
    std::fflush(stdout);
    for (const std::string& e : keeper.Errors()) std::fprintf(stderr, "FAILED: %s\n", e.c_str());
    if (!keeper.Errors().empty())
        std::fprintf(stderr, "%zu case(s) in error: the program fails\n", keeper.Errors().size());
    return keeper.Errors().empty() ? 0 : 1;
}

} // namespace bench_main
