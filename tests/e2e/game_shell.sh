#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real game under Xvfb: a full-screen window showing the episode from above with the
# frame-rate text at the top-left, Escape ends it with exit code 0, and log.txt holds
# start-up, the session's set-up and shutdown in order.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

run_once() {  # run_once WIDTHxHEIGHT SHOT: runs the game, screenshots, presses Escape
  local size=$1 shot=$2
  start_xvfb "$size"
  local game; game=$(copy_game)
  "$game/orrindel" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
  local pid=$!
  E2E_PIDS+=($pid)
  local win; win=$(wait_window Orrindel 30) || fail "no game window on $size"
  # The picture judged below is the first one with the world, text and status image drawn
  # (judged after the run, with what the last shot showed if they never came).
  until_ok 60 shot_complete "$shot" || true
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  retry xdotool key Escape
  wait_exit "$pid" 30
  [ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE on $size; stderr: $(cat "$E2E_TMP/stderr")"
  cp "$game/log.txt" "$E2E_TMP/log-$size.txt"
  # A fresh display for the next run.
  kill "${E2E_PIDS[0]}" 2>/dev/null || true; wait "${E2E_PIDS[0]}" 2>/dev/null || true
  E2E_PIDS=()
}

# shot_complete PNG: a screenshot with the world, the text and the status image (the
# checks below; on the other sizes, the world alone).
shot_complete() {
  retry import -window root "$1" || return 1
  local world text hud
  world=$(convert "$1" -crop 1024x700+0+30 -colorspace Gray -format '%[fx:mean]' info:)
  [ "$(identify -format '%wx%h' "$1")" = 1024x768 ] || { awk "BEGIN{exit !($world > 0.1)}"; return; }
  text=$(convert "$1" -crop 58x17+0+0 -colorspace Gray -format '%[fx:maxima]' info:)
  hud=$(convert "$1" -crop 150x50+0+718 -colorspace Gray -format '%[fx:standard_deviation]' info:)
  awk "BEGIN{exit !($world > 0.1 && $text > 0.9 && $hud > 0.05)}"
}

run_once 1024x768 "$E2E_TMP/shot.png"
log="$E2E_TMP/log-1024x768.txt"
mapfile -t msgs < <(log_messages "$log")
[[ "${msgs[0]}" =~ ^Main\ module\ initialization\ begin,\ date\ [0-9]{4}-[0-9]{2}-[0-9]{2}$ ]] || fail "line 1: ${msgs[0]}"
[ "${msgs[1]}" = "Application: orrindel" ] || fail "line 2: ${msgs[1]}"
[[ "${msgs[2]}" == "Work folder set to "*/game/ ]] || fail "line 3: ${msgs[2]}"
[ "${msgs[3]}" = "Exception hook set" ] || fail "line 4: ${msgs[3]}"
[ "${msgs[4]}" = "Main module initialized" ] || fail "line 5: ${msgs[4]}"
n=${#msgs[@]}
[ "${msgs[n-2]}" = "Main module destruction end" ] || fail "second to last: ${msgs[n-2]}"
[ "${msgs[n-1]}" = "--End of Log--" ] || fail "last: ${msgs[n-1]}"
grep -q $'^\[[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\]MDI destroy procedure begin\r$' "$log" || fail "no MDI destroy line"
grep -q 'Content Component aligned to rectangle 0x0-1024x768' "$log" || fail "panel line for 1024x768"

# The session: map loaded after the window, the player's view made, no exception.
grep -q 'File loading successful. File closed' "$log" || fail "episode not loaded"
grep -q 'New OpenGL window spawned' "$log" || fail "no player view"
! grep -q 'Program exception!' "$log" || fail "exception: $(grep -A1 'Program exception!' "$log")"
mdi=$(grep -n 'MDI initialized' "$log" | cut -d: -f1)
map=$(grep -n 'map loading request' "$log" | cut -d: -f1)
[ "$mdi" -lt "$map" ] || fail "the map was loaded before the window"

# The picture: the world fills the 4:3 panel (no longer black), the text sits at the
# top-left, and the bottom-left corner holds the status image.
world=$(convert "$E2E_TMP/shot.png" -crop 1024x700+0+30 -colorspace Gray -format '%[fx:mean]' info:)
awk "BEGIN{exit !($world > 0.1)}" || fail "the world is not drawn (mean $world)"
text=$(convert "$E2E_TMP/shot.png" -crop 58x17+0+0 -colorspace Gray -format '%[fx:maxima]' info:)
awk "BEGIN{exit !($text > 0.9)}" || fail "no white text at the top-left (max $text)"
hud=$(convert "$E2E_TMP/shot.png" -crop 150x50+0+718 -colorspace Gray -format '%[fx:standard_deviation]' info:)
awk "BEGIN{exit !($hud > 0.05)}" || fail "no status image at the bottom-left (sd $hud)"

for size in 800x600 1280x1024; do
  run_once "$size" "$E2E_TMP/shot-$size.png"
done
grep -q 'Content Component aligned to rectangle 0x0-800x600' "$E2E_TMP/log-800x600.txt" || fail "panel line for 800x600"
grep -q 'Content Component aligned to rectangle -42x0-1323x1024' "$E2E_TMP/log-1280x1024.txt" || fail "panel line for 1280x1024"
echo "game shell end to end: ok"
