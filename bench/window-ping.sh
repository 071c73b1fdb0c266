#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Does the matrix window answer the window manager while the line is busy?
# Under a virtual display, window_stall_bench drives the real window against
# the simulated device at 9600 baud (port open and idle, Linkage, EDID copies,
# a read and a write, clicks during polls) while window_ping sends it
# _NET_WM_PING every 20 ms and times the answers. Exit status 0 when every
# ping was answered within 100 ms.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
cmake --build "$build" --target window_stall_bench window_ping >/dev/null
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$0"/bench/window_stall_bench --idle-seconds 20 --clicks 10 2>/dev/null &
  bench=$!
  "$0"/bench/window_ping "Matrix Control Panel"
  ping=$?
  wait $bench
  exit $ping' "$build"
