#!/usr/bin/env bash
# The view drawn through the draw index equals the whole walk's picture on a generated map
# (orrindel-drawcheck, under Xvfb at the game's usual screen size).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
start_xvfb 1024x768
game=$(copy_game)
"$ORR_BUILD/bin/orx" generate "$E2E_TMP/map.orx" --size 200x150 --npcs 600 --items 600 --seed 4 >/dev/null
"$ORR_BUILD/bin/orrindel-drawcheck" "$game" "$E2E_TMP/map.orx"
