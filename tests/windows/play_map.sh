#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `orx.exe play` under Wine on Xvfb: a map of the author's own, in a folder whose name is
# not ASCII, is played in a folder of its own (copies of the game and its pictures, the map
# as the episode): the game loads it (its name in the log), Escape ends it, and orx returns
# the game's exit code 0 after naming the log. The same without --folder lays the folder
# out under the user's state folder. A map the game would trip over is refused with 1, and
# no game starts.
# ORR_BUILD is the Windows build.
set -euo pipefail
source "$ORR_SOURCE/tests/windows/wine.sh"
orx=$ORR_BUILD/bin/orx.exe
# Wine reads the command line's bytes in the locale's character set: UTF-8, as a player's
# Windows takes the names.
export LC_ALL=C.UTF-8

# windows PATH: the Windows form of a path on this machine (Wine's drive Z: is /).
windows() { local p=${1//\//\\}; echo "Z:$p"; }

# The display first: Wine's desktop process, started with the first program, keeps the
# display it found (none: no window can be made later).
new_display 1024x768

dir=$E2E_TMP/Kärtchen
mkdir -p "$dir"
map=$dir/e2e-own-map.orx
"$wine_run" "$orx" generate "$(windows "$map")" --size 30x24 --npcs 3 --items 4 --seed 7 >/dev/null
name=$("$wine_run" "$orx" decode "$(windows "$map")" | sed -n 's/^  "MapName": "\(.*\)",$/\1/p')
[ -n "$name" ] || fail "the generated map has no name"

# play OUT [ARGS...]: orx.exe play of the map, its output into OUT; Escape once the game's
# window shows; sets EXIT_CODE.
play() {
  local out=$1; shift
  "$wine_run" "$orx" play "$(windows "$map")" "$@" >"$out" 2>&1 &
  local pid=$!
  E2E_PIDS+=($pid)
  local win=""
  for _ in $(seq 1200); do
    win=$(xdotool search --onlyvisible --name '^Orrindel$' 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    local state; state=$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1 || true)
    [ -z "$state" ] || [ "$state" = Z ] && break  # orx ended without a game
    sleep 0.1
  done
  [ -n "$win" ] || { wait_exit "$pid" 10; fail "no game window; orx ended with $EXIT_CODE: $(cat "$out")"; }
  # Escape once the map is on screen (then its name is in the log the check reads).
  wait_world 120 || fail "the map is not drawn (mean $WORLD); $(cat "$out")"
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  retry xdotool key Escape
  wait_exit "$pid" 60
}

# played OUT FOLDER: the game ran in FOLDER on the map and ended cleanly.
played() {
  local out=$1 folder=$2
  [ "$EXIT_CODE" = 0 ] || fail "orx play: exit code $EXIT_CODE: $(cat "$out")"
  grep -q "^Game exit code: 0" "$out" || fail "no exit code printed: $(cat "$out")"
  grep -qF "Log: " "$out" || fail "no log named: $(cat "$out")"
  cmp -s "$map" "$folder/Episodes/Test/Promo4.orx" || fail "$folder does not hold the map as its episode"
  [ -f "$folder/orrindel.exe" ] && [ ! -L "$folder/Graphics" ] && [ -d "$folder/Graphics/Tiles" ] ||
    fail "$folder holds no copy of the game and its pictures: $(ls -l "$folder")"
  log_messages "$folder/log.txt" | grep -qxF "**Map Name: $name" ||
    fail "the game did not load the map: $(cat "$folder/log.txt")"
}

folder=$dir/play
play "$E2E_TMP/out" --folder "$(windows "$folder")"
played "$E2E_TMP/out" "$folder"
grep -qF "Log:        $(windows "$folder")\\log.txt" "$E2E_TMP/out" || fail "another log named: $(cat "$E2E_TMP/out")"
echo "--folder with a non-ASCII name: played, exit code 0"

# Without --folder: play-map\NAME\ in the user's state folder (%LOCALAPPDATA%\Orrindel\).
play "$E2E_TMP/default"
folder=$(sed -n 's/^orx: playing .* in //p' "$E2E_TMP/default" | tr -d '\r')
[[ "$folder" == *'\Orrindel\play-map\e2e-own-map' ]] || fail "default folder: $folder"
folder=$("$wine_run" winepath -u "$folder" 2>/dev/null | tr -d '\r')
played "$E2E_TMP/default" "$folder"
rm -rf "$folder"
echo "default folder: played, exit code 0"

# A creature index the game has no table row for: an error, so no game.
"$wine_run" "$orx" decode "$(windows "$map")" | sed 's/"Kind":0,"Index":[0-9]*/"Kind":0,"Index":9/' >"$E2E_TMP/bad.json"
bad=$dir/e2e-bad-map.orx
"$wine_run" "$orx" encode "$(windows "$E2E_TMP/bad.json")" -o "$(windows "$bad")"
set +e
"$wine_run" "$orx" play "$(windows "$bad")" --folder "$(windows "$dir/bad")" >"$E2E_TMP/bad.out" 2>&1
code=$?
set -e
[ "$code" = 1 ] || fail "a map with errors: exit code $code: $(cat "$E2E_TMP/bad.out")"
grep -q "not started" "$E2E_TMP/bad.out" || fail "no reason given: $(cat "$E2E_TMP/bad.out")"
[ ! -e "$dir/bad" ] || fail "a folder was laid out for a refused map"
echo "PASS: orx play under Wine plays an own map in its own folder; a broken one is refused"
