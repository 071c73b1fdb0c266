#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The test suites under the sanitizers.
#
#   scripts/sanitize.sh          every program and test in ./build-fuzz, the
#                                fuzzers' build (clang, AddressSanitizer, leaks
#                                included, and UndefinedBehaviorSanitizer): a
#                                leak, an invalid memory access or undefined
#                                behaviour fails it. Sharing the fuzzers' build
#                                saves a third build of it all.
#   scripts/sanitize.sh thread   the daemon, its programs and its tests in
#                                ./build-tsan with ThreadSanitizer: a data race
#                                between its worker threads and the main one
#                                fails them.
#
# Installs nothing; needs what scripts/fuzz.sh needs.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
if [ "${1:-}" = thread ]; then
  build=build-tsan
  # Line tables only, and little optimising: a shorter build, reports as clear.
  cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DQUELLIX_TSAN=ON -DQUELLIX_BUILD_BENCH=OFF
  cmake --build "$build" --parallel --target daemon_tests
  # Calls into the system from Qt (not built with the sanitizer) are Qt's business.
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$PWD/scripts/tsan-suppressions.txt"
  # Tests that start programs through Qt are left out: Qt starts a process
  # with a clone() that this compiler's thread sanitizer cannot follow (it
  # stops with "CHECK failed"); the programs' own threads are the same code
  # as the daemon's, tested here in its own process. The MQTT tests start
  # their broker with posix_spawn and stay in.
  ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" -L daemon \
    -E "CommandLine|DaemonProgram|Hostile|PresetsAndNames|MqttProgram|Mqtt.Discovers"
  exit
fi
build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUELLIX_FUZZ=ON -DQUELLIX_BUILD_BENCH=OFF
cmake --build "$build" --parallel
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/sanitize-suppressions.txt:print_suppressions=0
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
