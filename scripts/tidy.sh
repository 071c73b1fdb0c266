#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs clang-tidy's checks of .clang-tidy (a small set that finds real
# faults: use after move, dangling views, misplaced casts, needless copies)
# over the tree's sources, with the compile commands of a configured build.
#
#   scripts/tidy.sh [BUILD_DIR]     ./build by default
#
# Exit status 1 when a check warns. Takes some minutes: not part of the
# test command; run it before a larger change lands.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/compile_commands.json" ] || { echo "tidy: configure $build first (scripts/build.sh)" >&2; exit 1; }
runner=$(command -v run-clang-tidy-14 || command -v run-clang-tidy || true)
[ -n "$runner" ] || { echo "tidy: run-clang-tidy is not installed (Debian: clang-tidy)" >&2; exit 1; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$runner" -p "$build" -j "$(nproc)" -quiet "$PWD/(tavrik|xandrel|tools|app|tests|bench)/.*\.cpp$" > "$log" 2>&1 || true
if grep -q "warning:\|error:" "$log"; then
  grep -A3 "warning:\|error:" "$log" >&2
  exit 1
fi
echo "tidy: no warnings"
