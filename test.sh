#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. With CI=true it also builds with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs every test again, with the fuzz
# targets over their seeds, runs the drawing tests once more with the pixel loops built
# without their AVX2 clones, and builds the libFuzzer tree; its first tree then has the
# project's default options (every file compiled on its own) and every header is compiled alone.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

JOBS=${JOBS:-$(nproc)}
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy OMP_NUM_THREADS=1
# Every build and test step says what it took, so that the log shows where the time goes.
TIMEFORMAT="   %R s wall, %U s user, %S s system"

build_and_test() {
    local dir=$1; shift
    cmake -S . -B "$dir" -DTOBRELK_WERROR=ON "$@" >/dev/null
    echo "== $dir: build"
    time cmake --build "$dir" -j "$JOBS"
    echo "== $dir: tests"
    time ctest --test-dir "$dir" -j "$JOBS" --output-on-failure --timeout 300
}

CI_ONLY=OFF
if [ "${CI:-}" = "true" ]; then CI_ONLY=ON; fi

# Without CI the tree is a unity build (TOBRELK_UNITY): batches of files parse their shared
# headers once. It starts from precompiled headers (TOBRELK_PCH), the runtime from one of the
# standard headers and the test programs from one of GoogleTest and the standard headers: parsed
# once per tree instead of once a batch. (The sanitizer tree below is built so with CI=true.)
# With CI=true the first tree has the project's default options instead, as `cmake -S . -B build`
# and ./run.sh build: each file is compiled on its own, so one that builds only with what its
# batch or the precompiled header brought in fails, and so does a warning that only the files
# compiled alone give. The fuzz targets are in, with the regression driver, as the README's
# sanitizer build has them; then every header that no source file includes first is compiled
# on its own. The drawing tests are also linked with the pixel loops without their AVX2 clones
# (tests named baseline/...): every golden frame must come out the same on a processor without
# AVX2. Only the files of pixel loops are compiled again for it.
if [ "$CI_ONLY" = "ON" ]; then
    build_and_test build/default -DCMAKE_BUILD_TYPE=Release -DTOBRELK_BASELINE_VARIANTS=ON \
        -DTOBRELK_FUZZ_REGRESSION=ON
    echo "== build/default: every header on its own"
    time scripts/headers-alone.sh build/default "$JOBS"
else
    build_and_test build/test -DCMAKE_BUILD_TYPE=Release -DTOBRELK_BASELINE_VARIANTS=OFF -DTOBRELK_UNITY=ON \
        -DTOBRELK_PCH=ON
fi

if [ "$CI_ONLY" = "ON" ]; then
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
    # Debug: the runtime's code at -Og, so that its tests run in a fraction of their -O0 time, and
    # the test files at -O0, which compile up to twice as fast. The benchmarks, which no test runs,
    # are left out. Line tables (-g1) are all the sanitizers' reports need, and compile a fifth
    # faster than full debug information. The fuzz targets are built here too, with our own driver
    # instead of libFuzzer: each runs over its seed corpus as a test (fuzz_*_regression), under
    # both sanitizers.
    build_and_test build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DTOBRELK_SANITIZE=ON \
        -DTOBRELK_BENCH=OFF -DTOBRELK_UNITY=ON -DTOBRELK_PCH=ON
    # The libFuzzer tree (clang), which long runs by hand use, is built so that it cannot rot;
    # nothing runs there (the sanitizer tree above runs every target over its seeds). Neither
    # optimised nor with line tables (-O0 -g0): a compile error or a missing symbol shows all the
    # same, at about half the cost, which keeps the whole run under 30 CPU-minutes.
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -DTOBRELK_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -g0 -DNDEBUG" -DTOBRELK_FUZZ=ON -DTOBRELK_UNITY=ON -DTOBRELK_PCH=ON >/dev/null
    echo "== build/fuzz: build"
    time cmake --build build/fuzz -j "$JOBS"
fi
