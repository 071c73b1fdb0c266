#!/usr/bin/env bash
# Builds every program and test in ./build-asan with AddressSanitizer (leaks
# included) and UndefinedBehaviorSanitizer, and runs the test suite there: a
# leak, an invalid memory access or undefined behaviour fails it.
#
# Installs nothing; needs what scripts/build.sh needs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
  -DQUELLIX_SANITIZE=ON -DQUELLIX_BUILD_BENCH=OFF
cmake --build "$build" --parallel
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/sanitize-suppressions.txt:print_suppressions=0
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
