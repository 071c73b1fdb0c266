#!/usr/bin/env bash
# Makes a manual page from a program's --help output.
#   help2man.sh PROGRAM NAME "ONE-LINE DESCRIPTION" OUTPUT
set -euo pipefail
program=$1 name=$2 description=$3 output=$4
upper=$(echo "$name" | tr '[:lower:]' '[:upper:]')
{
  echo ".TH $upper 1 \"2026\" \"Quellix 1.0\" \"User Commands\""
  echo ".SH NAME"
  echo "$name \\- $description"
  echo ".SH DESCRIPTION"
  echo ".nf"
  QT_QPA_PLATFORM=offscreen "$program" --help | sed -e 's/\\/\\\\/g' -e 's/^\./\\\&./'
  echo ".fi"
  echo ".SH SEE ALSO"
  echo ".BR Quellix (1)"
} > "$output"
