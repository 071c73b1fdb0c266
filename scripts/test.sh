#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, checks the sources' format and that the window
# library's includes form no cycle, builds, runs every
# test suite, each fuzz target for a short bounded time (FUZZ_SECONDS, default 20; 0 skips it), the whole
# test suite again under the address and undefined-behaviour sanitizers
# (SANITIZE=0 skips it), the daemon's tests under the thread sanitizer, then
# builds the Debian package, installs it, runs it and removes it.
set -euo pipefail
cd "$(dirname "$0")/.."

# Runs a step and says how long it took, so that a slow step shows.
step() {
  local started=$SECONDS
  "$@"
  echo "test.sh: '$*' took $((SECONDS - started)) s (${SECONDS} s in all)"
}

step scripts/install-deps.sh
step scripts/format.sh --check
step scripts/include-cycles.py
step scripts/build.sh
export QT_QPA_PLATFORM=offscreen
step ctest --test-dir build --output-on-failure --parallel "$(nproc)"
step scripts/cross-check.sh
fuzz_seconds=${FUZZ_SECONDS:-20}
if [ "$fuzz_seconds" -gt 0 ]; then
  step scripts/fuzz.sh "$fuzz_seconds"
fi
if [ "${SANITIZE:-1}" != 0 ]; then
  step scripts/sanitize.sh
  step scripts/sanitize.sh thread
fi
step scripts/package-test.sh
