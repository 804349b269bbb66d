#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Without its episode the game shows its message box; answered with OK the way a person
# would (a click on the button), the game ends cleanly and the log is complete.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
start_xvfb 1024x768
game=$(copy_game)
rm -f "$game/Episodes/Test/Promo4.orx"
"$game/orrindel" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
pid=$!
E2E_PIDS+=($pid)

wait_box "message box"
[ "$BOX_W" -lt 1024 ] || fail "the box covers the screen: ${BOX_W}x$BOX_H"
sleep 0.3
retry import -window root "$E2E_TMP/box.png"
click_box_ok
wait_exit "$pid" 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE; stderr: $(cat "$E2E_TMP/stderr")"
mapfile -t msgs < <(log_messages "$game/log.txt")
n=${#msgs[@]}
[ "${msgs[n-2]}" = "Main module destruction end" ] || fail "second to last: ${msgs[n-2]}"
[ "${msgs[n-1]}" = "--End of Log--" ] || fail "last: ${msgs[n-1]}"
grep -q 'MDI destroy procedure end' "$game/log.txt" || fail "the window's teardown is missing"
echo "missing map: ok"
