#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages Quellix needs to build, test and run.
# Only what is missing is installed; nothing happens when all is present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config file
  qt6-base-dev qt6-serialport-dev qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth edid-decode fonts-dejavu-core groff-base
  clang libclang-rt-14-dev clang-format clang-tidy
  g++-mingw-w64-x86-64
  qt6-httpserver-dev qt6-websockets-dev
  libmosquitto-dev mosquitto mosquitto-clients
  chromium chromium-driver python3-selenium
  systemd
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
