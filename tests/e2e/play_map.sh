#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/play-map plays a map of the author's own: the game started in the laid-out folder
# loads that map (its name in the log), shows it on a virtual screen and ends on Escape.
# A map the game would trip over is not started.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
orx=$ORR_BUILD/bin/orx
map=$E2E_TMP/e2e-own-map.orx
"$orx" generate "$map" --size 30x24 --npcs 3 --items 4 --seed 7 >/dev/null
name=$("$orx" decode "$map" | sed -n 's/^  "MapName": "\(.*\)",$/\1/p')
[ -n "$name" ] || fail "the generated map has no name"

env -u DISPLAY -u WAYLAND_DISPLAY ORR_BUILD="$ORR_BUILD" ORR_SKIP_BUILD=1 \
  "$ORR_SOURCE/scripts/play-map" "$map" >"$E2E_TMP/out" 2>&1 || fail "play-map: $(cat "$E2E_TMP/out")"
folder=$ORR_BUILD/play-map/e2e-own-map
cmp -s "$map" "$folder/Episodes/Test/Promo4.orx" || fail "the folder does not hold the map as its episode"
log_messages "$folder/log.txt" | grep -qxF "**Map Name: $name" || fail "the game did not load the map: $(cat "$folder/log.txt")"
log_messages "$folder/log.txt" | grep -qxF "File loading successful. File closed" || fail "the map did not load"
[ -s "$folder/screenshot.png" ] || fail "no screenshot"
grep -q "Game exit code: 0" "$E2E_TMP/out" || fail "the game did not end cleanly: $(cat "$E2E_TMP/out")"
# Ended by its Escape, before orx said so: the log is whole when orx returns.
[ "$(log_messages "$folder/log.txt" | tail -n 1)" = "--End of Log--" ] ||
  fail "orx returned before the game ended: $(tail -n 3 "$folder/log.txt")"
! log_messages "$folder/log.txt" | grep -qxF "The display connection was lost" ||
  fail "the game lost its display instead of ending on Escape"

# A creature index the game has no table row for: orx check reports an error.
"$orx" decode "$map" | sed 's/"Kind":0,"Index":[0-9]*/"Kind":0,"Index":9/' >"$E2E_TMP/bad.json"
"$orx" encode "$E2E_TMP/bad.json" -o "$E2E_TMP/e2e-bad-map.orx"
if env -u DISPLAY ORR_BUILD="$ORR_BUILD" ORR_SKIP_BUILD=1 "$ORR_SOURCE/scripts/play-map" "$E2E_TMP/e2e-bad-map.orx" \
  >"$E2E_TMP/bad.out" 2>&1; then
  fail "a map with errors was started"
fi
grep -q "not started" "$E2E_TMP/bad.out" || fail "no reason given: $(cat "$E2E_TMP/bad.out")"
[ ! -e "$ORR_BUILD/play-map/e2e-bad-map" ] || fail "a folder was laid out for a refused map"
rm -rf "$folder"
echo "PASS: an own map plays in its own folder; a broken one is refused"
