#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The simulator builds its session through the game's own creation steps: its log of a run
# holds the same lines as the real game's log for the same game folder, times aside.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

start_xvfb 1024x768
game=$(copy_game)
"$game/orrindel" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
pid=$!
E2E_PIDS+=($pid)
win=$(wait_window Orrindel 30) || fail "no game window"
# Escape once the session is on screen: its lines are in both logs.
wait_world || fail "the world is not drawn (mean $WORLD)"
xdotool windowfocus --sync "$win" 2>/dev/null || true
retry xdotool key Escape
wait_exit "$pid" 30
[ "$EXIT_CODE" = 0 ] || fail "the game ended with $EXIT_CODE; stderr: $(cat "$E2E_TMP/stderr")"

game_log_time=$(stat -c %Y "$game/log.txt")
sleep 1  # a rewrite of the game's log would show in its time
"$ORR_BUILD/bin/orrindel-sim" --game "$game" --steps 50 --log "$E2E_TMP/sim-log.txt" >/dev/null ||
  fail "the simulator failed"
[ "$(stat -c %Y "$game/log.txt")" = "$game_log_time" ] || fail "the simulator wrote into the game folder"

# Times aside: the "[HH:MM:SS]" of every line and the date of the first.
messages() { log_messages "$1" | sed -e '1s/date [0-9-]*$/date D/'; }
diff <(messages "$game/log.txt") <(messages "$E2E_TMP/sim-log.txt") >"$E2E_TMP/log.diff" ||
  fail "the logs differ:$(printf '\n')$(cat "$E2E_TMP/log.diff")"
[ "$(wc -l <"$game/log.txt")" -gt 40 ] || fail "the game's log is short: $(cat "$game/log.txt")"
echo "ok: the simulator's log equals the game's ($(wc -l <"$game/log.txt") lines)"
