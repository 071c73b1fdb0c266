#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Formats the C++ sources of the tree with .clang-format, or with --check
# fails (and lists the files) when any of them differs from it.
#
#   scripts/format.sh            rewrite every file that differs
#   scripts/format.sh --check    change nothing; exit 1 on a difference
#
# The style is clang-format 14's reading of .clang-format (Debian 12's
# clang-format package); another version may lay out a few lines otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$formatter" ] || { echo "format: clang-format is not installed (Debian: clang-format)" >&2; exit 1; }

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
  differing=()
  for file in "${files[@]}"; do
    "$formatter" --dry-run --Werror "$file" > /dev/null 2>&1 || differing+=("$file")
  done
  if [ ${#differing[@]} -gt 0 ]; then
    echo "format: these files differ from .clang-format (scripts/format.sh rewrites them):" >&2
    printf '  %s\n' "${differing[@]}" >&2
    exit 1
  fi
  echo "format: all ${#files[@]} C++ files follow .clang-format"
else
  "$formatter" -i "${files[@]}"
fi
