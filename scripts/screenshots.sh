#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the windows to PNG files in build/screenshots (offscreen, against
# the simulated device) for review.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target quellix-screenshots
QT_QPA_PLATFORM=offscreen build/tools/screenshots/quellix-screenshots build/screenshots
