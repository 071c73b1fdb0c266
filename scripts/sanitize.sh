#!/usr/bin/env bash
# Builds every program and test in ./build-fuzz, the fuzzers' build (clang,
# with AddressSanitizer, leaks included, and UndefinedBehaviorSanitizer), and
# runs the test suite there: a leak, an invalid memory access or undefined
# behaviour fails it. Sharing the fuzzers' build saves a third build of it all.
#
# Installs nothing; needs what scripts/fuzz.sh needs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUELLIX_FUZZ=ON -DQUELLIX_BUILD_BENCH=OFF
cmake --build "$build" --parallel
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/sanitize-suppressions.txt:print_suppressions=0
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
