#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The view drawn through the draw index equals the whole walk's picture on a generated map,
# and on maps that use the whole map language (turned raised cells, every pair of heights,
# decorations on raised cells, maps one or two cells narrow): orrindel-drawcheck, under
# Xvfb at the game's usual screen size, with the renderer backend named first (gl1 or es3).
set -euo pipefail
renderer=${1:?renderer backend: gl1 or es3}
source "$(dirname "$0")/lib.sh"
start_xvfb 1024x768
game=$(copy_game)
"$ORR_BUILD/bin/orx" generate "$E2E_TMP/map.orx" --size 200x150 --npcs 600 --items 600 --seed 4 >/dev/null
"$ORR_BUILD/bin/orrindel-drawcheck" "$game" "$E2E_TMP/map.orx" "$renderer"
for run in 96x64:150 1x60:2 40x2:2; do
  size=${run%:*} count=${run#*:}
  echo "== every feature, $size"
  "$ORR_BUILD/bin/orx" generate "$E2E_TMP/every.orx" --size "$size" --npcs "$count" --items "$count" \
    --seed 4 --every-feature >/dev/null
  "$ORR_BUILD/bin/orrindel-drawcheck" "$game" "$E2E_TMP/every.orx" "$renderer"
done
