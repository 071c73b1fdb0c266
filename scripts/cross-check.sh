#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiles the Qt-free core (device protocol and models, EDID decoder
# and report, data files) for 64-bit Windows with MinGW-w64 in build-mingw,
# through cmake/cross-check and the toolchain file cmake/mingw-w64.cmake.
# Exits non-zero when any of it fails to compile.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
  echo "cross-check: x86_64-w64-mingw32-g++ is missing; scripts/install-deps.sh installs it" >&2
  exit 1
fi
build=build-mingw
cmake -S cmake/cross-check -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build" --parallel
echo "cross-check: the Qt-free core compiles for Windows ($build/libquellix_portable_core.a)"
