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
  # One run over every file (a run each took half a minute): the files that
  # differ are those it names in its complaints.
  complaints=$("$formatter" --dry-run --Werror "${files[@]}" 2>&1) && status=0 || status=$?
  mapfile -t differing < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' \
    <<<"$complaints" | sort -u)
  if [ "$status" -ne 0 ] && [ ${#differing[@]} -eq 0 ]; then
    echo "format: $formatter failed: $complaints" >&2
    exit 1
  fi
  if [ ${#differing[@]} -gt 0 ]; then
    echo "format: these files differ from .clang-format (scripts/format.sh rewrites them):" >&2
    printf '  %s\n' "${differing[@]}" >&2
    exit 1
  fi
  echo "format: all ${#files[@]} C++ files follow .clang-format"
else
  "$formatter" -i "${files[@]}"
fi
