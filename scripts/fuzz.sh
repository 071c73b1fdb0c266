#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets in ./build-fuzz (clang, with the address and
# undefined-behaviour sanitizers) and runs every *_fuzz program for a bounded
# time each, as many at once as there are processors.
#
#   scripts/fuzz.sh [SECONDS]     seconds per target, 30 when not given
#
# Installs nothing. Needs clang++ with libFuzzer and the sanitizer runtimes:
# on Debian 12 the packages clang (clang-14) and libclang-rt-14-dev, besides
# cmake and ninja-build.
#
# Each target keeps the inputs it finds in build-fuzz/fuzz-corpus/NAME, so
# later runs go on from there; an input that fails is written to
# build-fuzz/fuzz-artifacts/NAME-*. Seeds are read from folders outside the
# repository when they are present (see seeds_for). The exit status is 1 when
# any target failed.
set -euo pipefail

seconds=${1:-30}
case $seconds in
  '' | *[!0-9]* | 0) echo "usage: $0 [SECONDS]  (a whole number above 0)" >&2; exit 2 ;;
esac

cd "$(dirname "$0")/.."
root=$PWD
build=build-fuzz

# Seed folders by target name; add a line for each new family of targets.
seeds_for() {
  case $1 in
    edid_*) echo "$root/../shared/edid-corpus" ;;
    routing_body_*) echo "$root/tests/daemon/fuzz-seeds" ;;
  esac
}

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUELLIX_FUZZ=ON -DQUELLIX_BUILD_BENCH=OFF
mapfile -t targets < <(ninja -C "$build" -t targets all | sed -n 's/^\([A-Za-z0-9_]*_fuzz\): phony$/\1/p' | grep -v '^cmake_' | sort -u)
if [ ${#targets[@]} -eq 0 ]; then
  echo "No *_fuzz targets are defined." >&2
  exit 1
fi
cmake --build "$build" --target "${targets[@]}"

mkdir -p "$build/fuzz-artifacts" "$build/fuzz-logs"
# One target on each processor at a time; each writes to a log of its own,
# shown when it ends.
run_target() {
  local name=$1 program corpus seeds folders
  program=$(find "$build" -type f -name "$name" -perm -u+x | head -n 1)
  corpus=$build/fuzz-corpus/$name
  mkdir -p "$corpus"
  folders=("$corpus")
  seeds=$(seeds_for "$name")
  if [ -n "$seeds" ] && [ -d "$seeds" ]; then
    folders+=("$seeds")
  fi
  echo "== $name for $seconds s (${folders[*]})"
  "$program" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-artifacts/$name-" "${folders[@]}"
}
failed=()
declare -A running=()
finish_one() {  # waits for any running target and records how it ended
  local pid name status
  wait -n -p pid && status=0 || status=$?
  name=${running[$pid]}
  unset "running[$pid]"
  cat "$build/fuzz-logs/$name.log"
  [ "$status" -eq 0 ] || failed+=("$name")
}
for name in "${targets[@]}"; do
  while [ ${#running[@]} -ge "$(nproc)" ]; do finish_one; done
  run_target "$name" > "$build/fuzz-logs/$name.log" 2>&1 &
  running[$!]=$name
done
while [ ${#running[@]} -gt 0 ]; do finish_one; done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Failed: ${failed[*]} (inputs in $build/fuzz-artifacts)" >&2
  exit 1
fi
echo "All ${#targets[@]} fuzz targets ran clean for $seconds s each."
