#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts Quellix connected to a
# simulated 8x8 HDMI matrix (quellix-sim on a pseudo-terminal, pinned as COM1
# so that Open, Scan and Linkage find it). The program runs in build/run,
# which holds a copy of the delivered data folder.
#
# Front-panel changes of the simulated matrix: append commands to
# build/run/frontpanel.txt, e.g.  echo "route 2 5" >> build/run/frontpanel.txt
#
# Without a display the program runs once under a virtual display (Xvfb),
# saves pictures of its splash and matrix window, and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh
scripts/build.sh

run=$root/build/run
mkdir -p "$run/data"
cp -n data/* "$run/data/" 2>/dev/null || true   # earlier edits in build/run/data stay
: > "$run/frontpanel.txt"
rm -f "$run/sim-address"

edids=()
[ -d "$root/../shared/edid-corpus" ] && edids=(--edid-dir "$root/../shared/edid-corpus")
tail -n +1 -f "$run/frontpanel.txt" | "$root/build/tools/sim/quellix-sim" --signals 1,2,4,7 \
  --pin 1 --pin-file "$run/data/ports.dat" --address-file "$run/sim-address" "${edids[@]}" \
  > "$run/sim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true; pkill -P $$ tail 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$run/sim-address" ] && break; sleep 0.1; done
if [ ! -s "$run/sim-address" ]; then
  echo "The simulator did not start; see $run/sim.log" >&2
  exit 1
fi
echo "Simulated 8x8 HDMI matrix on $(cat "$run/sim-address"), pinned as COM1 in build/run/data/ports.dat."
echo "Front-panel changes: echo \"route 2 5\" >> build/run/frontpanel.txt"

cd "$run"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$root/build/app/Quellix"
else
  shots=$run/screenshots
  echo "No display here: running Quellix once under a virtual display (Xvfb)."
  QUELLIX_SNAPSHOT_DIR=$shots xvfb-run -a -s "-screen 0 1280x800x24" "$root/build/app/Quellix"
  echo "Quellix ran and ended. Pictures of the splash and the matrix window: $shots/splash.png, $shots/matrix-window.png"
  echo "What it saw: $shots/run.txt. On a machine with a display, scripts/run.sh opens the windows for you to use."
fi
