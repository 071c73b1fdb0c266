#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the manual pages and the bash completion.
#   doc/check-pages.sh             the pages format without a warning, and the
#                                  completion completes
#   doc/check-pages.sh QUELLIX_CLI both still match the program, both ways:
#                                  every verb, option and model the program
#                                  knows is in them, and every one they name
#                                  is the program's
# QUELLIX_COMPLETION names another completion file to check (a test's copy).
# Exit status 0 when all is well, 1 with the faults on stderr.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
completion=${QUELLIX_COMPLETION:-$here/completion/quellix-cli}
page=$here/man/quellix-cli.1
faults=0
fault() { echo "check-pages: $*" >&2; faults=$((faults + 1)); }

# shellcheck source=completion/quellix-cli
source "$completion"
# complete LINE: what the completion offers at the end of LINE, as bash
# splits it (blanks, and ':' a word of its own).
complete_line() {
  (
    set +u  # as bash runs completions
    COMP_LINE=$1 COMP_POINT=${#1}
    read -ra COMP_WORDS <<<"${1//:/ : }"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _quellix_cli
    echo "${COMPREPLY[*]}"
  )
}

if [ $# -eq 0 ]; then
  if command -v groff > /dev/null; then
    for file in "$here"/man/*.[18]; do
      warnings=$(groff -man -ww -z "$file" 2>&1)
      [ -z "$warnings" ] || fault "$(basename "$file"): $warnings"
    done
  else
    echo "check-pages: no groff; the pages are not formatted" >&2
  fi

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
  expect "quellix-cli status -m 8x8-" "8x8-c 8x8-h"
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
  # same WHAT THEIRS OURS: both lists hold the same words, else a fault per
  # word that one of them lacks.
  same() {
    local -A theirs=() ours=()
    local word
    for word in $2; do theirs[$word]=1; done
    for word in $3; do ours[$word]=1; done
    for word in "${!theirs[@]}"; do [[ -v ours[$word] ]] || fault "$1: the program has $word, the docs lack it"; done
    for word in "${!ours[@]}"; do [[ -v theirs[$word] ]] || fault "$1: the docs have $word, the program lacks it"; done
  }
  # The entries of SECTION of a help text on stdin ("verbs:", "options:",
  # "edid read options:"): their first column, wrapped descriptions left out.
  entries() {
    awk -v want="$1" '/^[^ ].*:$/ { inside = ($0 == want) }
      inside && /^  [^ ]/ { entry = substr($0, 3); sub(/  .*/, "", entry); print entry }'
  }
  # The options named by the entries of SECTION.
  options() { entries "$1" | tr ', ' '\n\n' | grep -E -- '^--?[a-z]'; }

  help=$("$cli" --help) || fault "$cli --help fails"
  global=$(options options: <<<"$help")
  [ -n "$global" ] || fault "$cli --help names no option"
  verbs=$(entries verbs: <<<"$help" | cut -d' ' -f1 | sort -u)
  "$cli" help > /dev/null 2>&1 && verbs+=$'\nhelp'
  same "verbs" "$verbs" "$(complete_line "quellix-cli ")"
  # Each verb (and sub-verb) with its options, as the program's help gives
  # them and as the completion offers them after it.
  paths='' holders=' ' all_options=$global
  for verb in $verbs; do
    [ "$verb" = help ] && { paths+="help"$'\n'; continue; }
    text=$("$cli" help "$verb") || fault "quellix-cli help $verb fails"
    subs=$(entries "$verb verbs:" <<<"$text" | cut -d' ' -f1)
    [ -z "$subs" ] || same "the verbs of $verb" "$subs" "$(complete_line "quellix-cli $verb ")"
    list=$verb
    [ -z "$subs" ] || list=$(printf "$verb+%s\n" $subs) holders+="$verb "
    for path in $list; do
      path=${path//+/ }
      own=$(options "$path options:" <<<"$("$cli" help $path)")
      same "the options of $path" "$global $own" "$(complete_line "quellix-cli $path -")"
      paths+="${path// /+}"$'\n' all_options+=$'\n'$own
    done
  done

  # The page: its OPTIONS are the global options; its COMMANDS describe
  # every verb and name only options the program has. Options of
  # quellix-sim, which the page mentions too, are left out.
  section() { awk -v want="$1" '/^\.SH / { inside = ($2 == want) } inside' "$page" | sed -E 's/\\-/-/g; s/\\f[BIRP]//g; s/quellix-sim.*//'; }
  page_options() {  # path pieces such as -if00 are no options
    sed -E 's/-[a-z]+[0-9][A-Za-z0-9-]*//g' | grep -oE -- '(^|[^A-Za-z0-9-])--?[a-z][a-z-]*' | grep -oE -- '--?[a-z-]+'
  }
  same "quellix-cli.1 OPTIONS" "$global" "$(section OPTIONS | page_options)"
  commands=$(section COMMANDS)
  same "quellix-cli.1 COMMANDS options" "$(grep -vxF -f <(echo "$global") <<<"$all_options")" \
    "$(page_options <<<"$commands" | grep -vxF -f <(echo "$global"))"
  described=$(grep -A1 -x '\.TP' <<<"$commands" | grep -vx -e '\.TP' -e '--' | sed -E 's/^\.B[IR]? //; s/"//g' |
    awk -v holders="$holders" '{ print (index(holders, " " $1 " ") ? $1 "+" $2 : $1) }')
  same "quellix-cli.1 COMMANDS" "$paths" "$described"

  # The models: every short name and class name the program lists, and no other.
  listed=$("$cli" models | awk 'NR > 1 { print $1; print $2 }') || fault "quellix-cli models fails"
  same "models" "$listed" "$_quellix_cli_models $_quellix_cli_classes"
fi
exit $((faults > 0))
