#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times `quellix-cli scan` as people run it, one port at a time, against the
# simulator sending at the real 9600-baud rate (--baud):
#   - a 4x4 HDMI matrix at ID 255 (answers the fourth header asked);
#   - an 8x8 HDMI matrix at ID 9, found by the plain scan (it answers at 255)
#     and by the deep one that asks the 8x8 family at every ID;
#   - a port where nothing answers (every header asked in vain).
# Prints the seconds of each scan.
#
#   bench/discovery.sh [BUILD_DIR]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
sim=$build/tools/sim/quellix-sim
cli=$build/tools/cli/quellix-cli
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT

# serve NAME SIM-OPTIONS...: a simulator on a free TCP port; its address in $work/NAME.
serve() {
  local name=$1; shift
  "$sim" --tcp 0 --baud --address-file "$work/$name" "$@" < /dev/null > /dev/null 2>&1 &
  pids+=($!)
}
serve hdmi4x4 --model 4x4 --id 255
serve hdmi8x8 --model 8x8 --id 9
serve silent --model 4x4 --no-ack
for name in hdmi4x4 hdmi8x8 silent; do
  for _ in $(seq 50); do [ -s "$work/$name" ] && break; sleep 0.1; done
done

# time_scan LABEL ARGS...: one scan, its seconds and what it found.
time_scan() {
  local label=$1; shift
  local start end found
  start=$(date +%s.%N)
  found=$("$cli" scan "$@" 2>/dev/null | tr '\n' ' ') || true
  end=$(date +%s.%N)
  printf '%-34s %6.2f s  %s\n' "$label" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "${found:-nothing}"
}
time_scan "4x4 at ID 255" -p "$(cat "$work/hdmi4x4")"
time_scan "8x8 at ID 9" -p "$(cat "$work/hdmi8x8")"
time_scan "8x8 at ID 9, --deep" --deep -p "$(cat "$work/hdmi8x8")"
time_scan "silent port" -p "$(cat "$work/silent")"
time_scan "silent port, --deep" --deep -p "$(cat "$work/silent")"
