#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. With CI=true it also builds with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs every test again.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

JOBS=${JOBS:-$(nproc)}
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy OMP_NUM_THREADS=1

build_and_test() {
    local dir=$1; shift
    cmake -S . -B "$dir" -DTOBRELK_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
    ctest --test-dir "$dir" -j "$JOBS" --output-on-failure --timeout 300
}

build_and_test build/test -DCMAKE_BUILD_TYPE=Release

if [ "${CI:-}" = "true" ]; then
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
    build_and_test build/asan -DCMAKE_BUILD_TYPE=Debug -DTOBRELK_SANITIZE=ON

    # The pixel loops without their AVX2 clones must draw every golden frame the same.
    cmake -S . -B build/baseline -DTOBRELK_WERROR=ON -DCMAKE_BUILD_TYPE=Release -DTOBRELK_PIXEL_CLONES=OFF >/dev/null
    cmake --build build/baseline -j "$JOBS" --target graphics_demo test_platform_graphics test_play
    # Only the programs built above: the app tests need the game, which this build leaves out.
    ctest --test-dir build/baseline -j "$JOBS" --output-on-failure --timeout 300 -E '_NOT_BUILT|^app_'
fi

# The fuzz targets, built with clang, each run over its seed corpus as a regression test.
if [ -n "$(find fuzz -name '*.cpp' -print -quit)" ]; then
    CC=clang CXX=clang++ build_and_test build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOBRELK_FUZZ=ON -DTOBRELK_WERROR=OFF
fi
