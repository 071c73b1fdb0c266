#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times quellix-cli as people run it, as whole processes:
#   - `quellix-cli --help`, RUNS times (what starting the program costs);
#   - `quellix-cli edid report FILE`, one process per file of the EDID corpus,
#     beside `edid-decode FILE` per file in the same rounds;
#   - `quellix-cli edid report FILE...`, every file of the corpus in one
#     process, against the sum of the edid-decode processes.
# Prints milliseconds per file and the ratios with their targets: one file per
# process at most 1.5 times edid-decode's time, all files in one process at
# most 0.3 times the edid-decode processes together. Output goes to
# /dev/null; exit statuses are ignored (files the decoders find wrong count
# as decoded), except that a usage error of the one-process run means this
# quellix-cli takes one file only, which is said.
#
#   bench/cli-processes.sh [BUILD_DIR] [CORPUS_DIR]
#
# BUILD_DIR holds tools/cli/quellix-cli (./build by default); CORPUS_DIR the
# .bin files (../shared/edid-corpus beside the repository by default). Without
# a corpus only --help is timed. ROUNDS=N passes over the corpus N times
# (default 5), RUNS=N starts for --help (default 200). Exit status 0, also
# when a target is missed; 1 when there is nothing to time.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
corpus=${2:-$root/../shared/edid-corpus}
rounds=${ROUNDS:-5}
runs=${RUNS:-200}

cli=$build/tools/cli/quellix-cli
if [ ! -x "$cli" ]; then
  echo "No $cli: build the quellix-cli target first." >&2
  exit 1
fi
decoder=$(command -v edid-decode || true)
# The decoder as a process without Qt (bench/edid), timed beside when built:
# how much of quellix-cli's time is starting Qt.
tool=$build/bench/edid/edid_report_tool
[ -x "$tool" ] || tool=

# Times are microseconds from $EPOCHREALTIME, read without starting a process.
# milliseconds MICROSECONDS COUNT: milliseconds per item.
milliseconds() { awk -v us="$1" -v n="$2" 'BEGIN { printf "%.2f", us / 1000 / n }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t ? "met" : "missed") }'; }

start=${EPOCHREALTIME/[.,]/}
for ((k = 0; k < runs; k++)); do /bin/true; done
floor=$(milliseconds $((10#${EPOCHREALTIME/[.,]/} - 10#$start)) "$runs")
start=${EPOCHREALTIME/[.,]/}
for ((k = 0; k < runs; k++)); do "$cli" --help > /dev/null; done
help=$(milliseconds $((10#${EPOCHREALTIME/[.,]/} - 10#$start)) "$runs")
echo "quellix-cli --help: $help ms a process ($runs runs; /bin/true: $floor ms)"

files=()
[ -d "$corpus" ] && mapfile -t files < <(find "$corpus" -maxdepth 1 -type f -name '*.bin' | sort)
if [ ${#files[@]} -eq 0 ]; then
  echo "No .bin files in $corpus: the EDID report is not timed."
  exit 0
fi
count=${#files[@]}
echo "EDID corpus: $count files in $corpus, $rounds rounds"

# One process per file, ours and edid-decode's taking turns file by file,
# so that both see the same load.
single_total=0 decode_total=0 tool_total=0
for ((round = 0; round < rounds; round++)); do
  for file in "${files[@]}"; do
    t0=${EPOCHREALTIME/[.,]/}
    "$cli" edid report "$file" > /dev/null 2>&1 || true
    t1=${EPOCHREALTIME/[.,]/}
    [ -z "$decoder" ] || "$decoder" "$file" > /dev/null 2>&1 || true
    t2=${EPOCHREALTIME/[.,]/}
    [ -z "$tool" ] || "$tool" "$file" > /dev/null 2>&1 || true
    t3=${EPOCHREALTIME/[.,]/}
    single_total=$((single_total + 10#$t1 - 10#$t0))
    decode_total=$((decode_total + 10#$t2 - 10#$t1))
    tool_total=$((tool_total + 10#$t3 - 10#$t2))
  done
done
single=$(milliseconds "$single_total" $((rounds * count)))
printf '%-44s %8s ms a file\n' "quellix-cli edid report FILE, a process each" "$single"
if [ -n "$decoder" ]; then
  decode=$(milliseconds "$decode_total" $((rounds * count)))
  r=$(ratio "$single" "$decode")
  printf '%-44s %8s ms a file\n' "edid-decode FILE, a process each" "$decode"
  echo "  ratio $r (target <= 1.5: $(verdict "$r" 1.5))"
else
  echo "edid-decode is not installed (Debian package edid-decode): no comparison."
fi
if [ -n "$tool" ]; then
  printf '%-44s %8s ms a file\n' "edid_report_tool FILE (no Qt), a process each" \
    "$(milliseconds "$tool_total" $((rounds * count)))"
fi

# Every file in one process. A usage error says this quellix-cli takes one
# file; a report much shorter than the files' own reports together says it
# stopped early.
status=0
"$cli" edid report "${files[@]}" > /dev/null 2>&1 || status=$?
if [ "$status" -eq 2 ]; then
  echo "quellix-cli edid report FILE...: refused (usage error): this quellix-cli reports one file a run."
  exit 0
fi
wanted=0
for file in "${files[@]}"; do
  wanted=$((wanted + $("$cli" edid report "$file" 2> /dev/null | wc -c)))
done
got=$("$cli" edid report "${files[@]}" 2> /dev/null | wc -c)
if [ "$got" -lt "$wanted" ]; then
  echo "quellix-cli edid report FILE...: $got bytes of report where one file a run gives $wanted: not every file was reported."
  exit 0
fi
start=${EPOCHREALTIME/[.,]/}
for ((round = 0; round < rounds; round++)); do "$cli" edid report "${files[@]}" > /dev/null 2>&1 || true; done
all=$(milliseconds $((10#${EPOCHREALTIME/[.,]/} - 10#$start)) "$rounds")
printf '%-44s %8s ms (%s ms a file)\n' "quellix-cli edid report FILE..., one process" "$all" \
  "$(awk -v a="$all" -v n="$count" 'BEGIN { printf "%.3f", a / n }')"
if [ -n "$decoder" ]; then
  decode_sum=$(milliseconds "$decode_total" "$rounds")
  r=$(ratio "$all" "$decode_sum")
  echo "  against $decode_sum ms of $count edid-decode processes: ratio $r (target <= 0.3: $(verdict "$r" 0.3))"
fi
