#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Real play under Xvfb: holding Up walks the player, and the camera that follows it shifts
# the whole picture, far more than the creatures moving on their own do in the same time.
# Turning with Left tries other directions when a wall is in the way. After five seconds
# the frame-rate text shows the view's rate.
#
# The game places the player on a random free cell. Near a corner of a map the camera stops
# at the map's edge in both directions and a short walk does not move it, so the episode
# played here is an open hall in the middle of a larger map, encoded with the map tool:
# wherever the player lands, walking moves the view (hall_map in lib.sh).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

start_xvfb 1024x768
game=$(copy_game)
hall_map >"$E2E_TMP/hall.json"
"$ORR_BUILD/bin/orx" encode "$E2E_TMP/hall.json" -o "$game/Episodes/Test/Promo4.orx" ||
  fail "the test map was refused"
"$ORR_BUILD/bin/orx" check "$game/Episodes/Test/Promo4.orx" >/dev/null || fail "the test map fails its check"
"$game/orrindel" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
pid=$!
E2E_PIDS+=($pid)
win=$(wait_window Orrindel 30) || fail "no game window"
xdotool windowfocus --sync "$win" 2>/dev/null || true
wait_world || fail "the world is not drawn (mean $WORLD)"
text=$(convert "$E2E_TMP/world.png" -crop 58x17+0+0 -colorspace Gray -format '%[fx:maxima]' info:)
awk "BEGIN{exit !($text > 0.9)}" || fail "no text at the top-left with the world (max $text)"

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
  retry xdotool keydown Up; sleep 1; retry xdotool keyup Up
  # The walk's picture may come late on a loaded machine: wait for it, within a limit.
  if until_ok 10 walked; then moved=1; break; fi
  retry xdotool keydown Left; sleep 0.3; retry xdotool keyup Left  # about 90 degrees
done
[ "$moved" = 1 ] || fail "walking did not move the view (changed $walk, idle $idle); log: $(tail -n 8 "$game/log.txt" 2>/dev/null)"

# The frame-rate text replaces its initial caption at the first 5 s tick (or, when the
# first shot came after it, shows the next tick's rate).
wait_text_change "$E2E_TMP/still1.png" 90 || fail "the frame-rate text did not change in 90 s (difference $TEXT_DIFF)"
retry xdotool key Escape
wait_exit "$pid" 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE; stderr: $(cat "$E2E_TMP/stderr")"
! grep -q 'Program exception!' "$game/log.txt" || fail "exception in play"
tail -n 1 "$game/log.txt" | grep -q -- '--End of Log--' || fail "log not closed"
echo "play end to end: ok (walk changed $walk of the picture, idle $idle)"
