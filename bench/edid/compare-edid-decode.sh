#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times, in one run over every .bin file of the EDID corpus, (a) our decoder
# as one process per file (edid_report_tool: load the file, make the report,
# write it) and (b) edid-decode as one process per file, and prints files per
# second for both. Output goes to /dev/null; exit statuses are ignored
# (edid-decode fails files it finds non-conforming, after decoding them).
#
#   bench/edid/compare-edid-decode.sh [BUILD_DIR] [CORPUS_DIR]
#
# BUILD_DIR is the build folder holding bench/edid/edid_report_tool (./build
# by default); CORPUS_DIR the folder of .bin files (../shared/edid-corpus
# beside the repository by default). ROUNDS=N passes over the corpus N times
# (default 10) for steadier figures.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
corpus=${2:-$root/../shared/edid-corpus}
rounds=${ROUNDS:-10}

tool=$build/bench/edid/edid_report_tool
if [ ! -x "$tool" ]; then
  echo "No $tool: configure with QUELLIX_BUILD_BENCH=ON and build edid_report_tool." >&2
  exit 1
fi
decoder=$(command -v edid-decode || true)
if [ -z "$decoder" ]; then
  echo "edid-decode is not installed (Debian package edid-decode)." >&2
  exit 1
fi
mapfile -t files < <(find "$corpus" -maxdepth 1 -type f -name '*.bin' | sort)
if [ ${#files[@]} -eq 0 ]; then
  echo "No .bin files in $corpus." >&2
  exit 1
fi

# time_per_file NAME PROGRAM: runs PROGRAM once per file, ROUNDS times over.
time_per_file() {
  local name=$1 program=$2 start end
  start=$(date +%s%N)
  for ((round = 0; round < rounds; round++)); do
    for file in "${files[@]}"; do
      "$program" "$file" > /dev/null 2>&1 || true
    done
  done
  end=$(date +%s%N)
  awk -v name="$name" -v runs=$((rounds * ${#files[@]})) -v ns=$((end - start)) \
    'BEGIN { printf "%-12s %5d processes in %6.2f s: %7.1f files/s\n", name, runs, ns / 1e9, runs / (ns / 1e9) }'
}

echo "${#files[@]} files in $corpus, $rounds rounds"
time_per_file "ours" "$tool"
time_per_file "edid-decode" "$decoder"
