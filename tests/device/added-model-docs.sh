#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The docs check over quellix-cli built with a model added by CONTRIBUTING's
# recipe (tests/device/AddModel.cmake):
#   added-model-docs.sh QUELLIX_CLI COMPLETION CLASS SHORT_NAME
# The program lists the model; the recipe's completion passes the check both
# ways; the completion without the recipe's step fails it, naming the model.
set -uo pipefail
cli=$1 completion=$2 class=$3 short=$4
check=$(cd "$(dirname "$0")/../../doc" && pwd)/check-pages.sh
faults=0
fault() { echo "added-model-docs: $*" >&2; faults=$((faults + 1)); }

"$cli" models | grep -qE "^$class +$short " || fault "quellix-cli models does not list $class ($short)"
QUELLIX_COMPLETION=$completion "$check" || fault "the docs check fails on the recipe's completion"
QUELLIX_COMPLETION=$completion "$check" "$cli" || fault "the docs check fails against the program"
if complaints=$("$check" "$cli" 2>&1); then
  fault "the completion without the recipe's step passes the docs check"
else
  for name in "$class" "$short"; do
    grep -qF "models: the program has $name" <<<"$complaints" || fault "the docs check does not name $name: $complaints"
  done
fi
exit $((faults > 0))
