#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A gamepad plays the real game under Xvfb: a pad plugged in while the game runs walks the
# player with its left stick (turning with the D-pad when a wall is in the way), is pulled
# out and plugged in again, and its Back button ends the game with exit code 0. The pad is
# an SDL virtual joystick, made by the test build of the game (pad_game.cpp) on the
# commands written to its standard input; the episode is play.sh's open hall.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# SDL's game-controller numbering.
LEFTY=1 BACK=4 DPAD_LEFT=13

start_xvfb 1024x768
game=$(copy_game)
cp "$ORR_BUILD/bin/orrindel-padtest" "$game/orrindel"
hall_map >"$E2E_TMP/hall.json"
"$ORR_BUILD/bin/orx" encode "$E2E_TMP/hall.json" -o "$game/Episodes/Test/Promo4.orx" ||
  fail "the test map was refused"
mkfifo "$E2E_TMP/pad"
"$game/orrindel" <"$E2E_TMP/pad" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
pid=$!
E2E_PIDS+=($pid)
exec 4>"$E2E_TMP/pad"
# A game that ended closes the pipe: the write fails (rather than killing the test) and says so.
trap '' PIPE
pad() {
  echo "$*" >&4 2>/dev/null && return 0
  wait_exit "$pid" 5
  fail "the game ended before \"$*\" (exit code $EXIT_CODE); stderr: $(cat "$E2E_TMP/stderr"); log: $(tail -n 5 "$game/log.txt" 2>/dev/null)"
}
win=$(wait_window Orrindel 30) || fail "no game window"
xdotool windowfocus --sync "$win" 2>/dev/null || true
wait_world || fail "the world is not drawn (mean $WORLD)"
pad plug
sleep 0.5

shot() { retry import -window root "$E2E_TMP/$1.png"; }
# changed A B: share (0..1) of pixels that differ between two shots, the corners (text,
# status image) left out.
changed() {
  convert "$E2E_TMP/$1.png" "$E2E_TMP/$2.png" -compose difference -composite \
    -crop 1024x600+0+80 -colorspace Gray -threshold 8% -format '%[fx:mean]' info:
}

shot still1; sleep 1; shot still2
idle=$(changed still1 still2)
# walked: a new shot differs from the one before the walk by far more than idling does.
walked() {
  shot after
  walk=$(changed before after)
  awk "BEGIN{exit !($walk > 0.3 && $walk > 3 * $idle)}"
}
moved=0
for attempt in 1 2 3 4; do
  shot before
  pad axis $LEFTY -32767; sleep 1; pad axis $LEFTY 0
  # The walk's picture may come late on a loaded machine: wait for it, within a limit.
  if until_ok 10 walked; then moved=1; break; fi
  pad button $DPAD_LEFT 1; sleep 0.3; pad button $DPAD_LEFT 0  # about 90 degrees
done
[ "$moved" = 1 ] || fail "the pad's stick did not move the view (changed $walk, idle $idle); stderr: $(cat "$E2E_TMP/stderr")"

pad unplug
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "the game ended when the pad was pulled out"
pad plug
sleep 0.5
# Back is held until the game ends: a press that SDL sees before the pad plugged in again is
# opened, or a press and release within one look at the pad, sends no button event; then
# it is pressed again, as a player would.
for attempt in 1 2 3 4 5; do
  pad button $BACK 1
  wait_exit "$pid" 6
  [ "$EXIT_CODE" = timeout ] || break
  pad button $BACK 0
  sleep 0.5
done
[ "$EXIT_CODE" = 0 ] || fail "Back did not end the game with 0 (exit code $EXIT_CODE); stderr: $(cat "$E2E_TMP/stderr")"
! grep -q '^pad:' "$E2E_TMP/stderr" || fail "the virtual pad failed: $(cat "$E2E_TMP/stderr")"
tail -n 1 "$game/log.txt" | grep -q -- '--End of Log--' || fail "log not closed"
echo "gamepad end to end: ok (the stick's walk changed $walk of the picture, idle $idle)"
