#include "bench/BenchMain.h"

int main(int argc, char** argv) { return bench_main::RunBenchmarks(argc, argv); }
