#!/usr/bin/env bash
# Checks the manual pages and the bash completion.
#   doc/check-pages.sh             the pages format without a warning, and the
#                                  completion completes
#   doc/check-pages.sh QUELLIX_CLI both still match the program: its options,
#                                  verbs and models
# Exit status 0 when all is well, 1 with the faults on stderr.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
completion=$here/completion/quellix-cli
page=$here/man/quellix-cli.1
faults=0
fault() { echo "check-pages: $*" >&2; faults=$((faults + 1)); }

if [ $# -eq 0 ]; then
  if command -v groff > /dev/null; then
    for file in "$here"/man/*.[18]; do
      warnings=$(groff -man -ww -z "$file" 2>&1)
      [ -z "$warnings" ] || fault "$(basename "$file"): $warnings"
    done
  else
    echo "check-pages: no groff; the pages are not formatted" >&2
  fi

  # complete LINE: what the completion offers at the end of LINE, as bash
  # splits it (blanks, and ':' a word of its own).
  complete_line() {
    bash -c 'source "$1"; COMP_LINE=$2; COMP_POINT=${#2}
      read -ra COMP_WORDS <<<"${2//:/ : }"; [[ $2 == *" " ]] && COMP_WORDS+=("")
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _quellix_cli; echo "${COMPREPLY[*]}"' _ "$completion" "$1"
  }
  expect() {  # LINE WANTED
    local got
    got=$(complete_line "$1")
    [ "$got" = "$2" ] || fault "completing '$1': got '$got', wanted '$2'"
  }
  corpus=$(mktemp -d)
  trap 'rm -rf "$corpus"' EXIT
  touch "$corpus/a.bin" "$corpus/a.txt" "$corpus/b.json"
  expect "quellix-cli sta" "status"
  expect "quellix-cli --json -p COM3 e" "edid"
  expect "quellix-cli edid " "report read write copy ids"
  expect "quellix-cli preset " "list save recall delete"
  expect "quellix-cli -m vga-5" "vga-5x5"
  expect "quellix-cli status -m 8x" "8x8-c 8x8-h 8x8 8x4"
  expect "quellix-cli -p tc" "tcp://"
  expect "quellix-cli -p tcp:" "//"
  expect "quellix-cli --port tcp://127.0.0.1:5600 st" "status"
  expect "quellix-cli edid read output 2 " "-o"
  expect "quellix-cli edid write $corpus/a.bin d" "default"
  expect "quellix-cli edid copy default " "A B C D"
  expect "quellix-cli edid report $corpus/a" "$corpus/a.bin"
  expect "quellix-cli restore $corpus/" "$corpus/b.json"
  expect "quellix-cli scan --de" "--deep"
else
  cli=$1
  # Every option the program's help names is completed and described.
  options=$("$cli" --help | grep -oE -- '(^|[ ,[])--?[a-z][a-z-]*' | grep -oE -- '--?[a-z-]+' | sort -u)
  [ -n "$options" ] || fault "$cli --help names no option"
  for option in $options; do
    grep -qE -- "(^|[ '])$option( |')" "$completion" || fault "the completion lacks $option"
    grep -qF -- "${option//-/\\-}" "$page" || fault "quellix-cli.1 lacks $option"
  done
  # Every verb completed is one the program knows and the page describes.
  verbs=$(bash -c 'source "$1"; echo $_quellix_cli_verbs' _ "$completion")
  for verb in $verbs; do
    [ "$verb" = help ] || "$cli" help "$verb" > /dev/null 2>&1 || fault "quellix-cli help $verb fails: no such verb?"
    grep -qE "^(\.B[IR]? \"?|\\\\fB)$verb( |\"|\\\\|$)" "$page" || fault "quellix-cli.1 does not describe $verb"
  done
  # The models completed are the program's: every name is one it lists,
  # and it lists as many class names as the completion holds.
  listing=$("$cli" models) || fault "quellix-cli models fails"
  words=$(tr -c 'A-Za-z0-9_-' '\n' <<<"$listing" | sort -u)
  names=$(bash -c 'source "$1"; echo $_quellix_cli_models $_quellix_cli_classes' _ "$completion")
  for name in $names; do
    grep -qFx -- "$name" <<<"$words" || fault "quellix-cli models does not list $name"
  done
  classes=$(grep -cE '^INFO[A-Z0-9_]+$' <<<"$words")
  completed=$(bash -c 'source "$1"; echo $_quellix_cli_classes' _ "$completion" | wc -w)
  [ "$classes" = "$completed" ] || fault "quellix-cli models lists $classes class names, the completion $completed"
fi
exit $((faults > 0))
