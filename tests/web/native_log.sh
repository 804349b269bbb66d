#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The native game's log.txt for the page's tests to compare with: the game of the native
# build ORR_BUILD started on a 1024x768 screen under Xvfb and ended with Escape once its
# window shows. Prints the log on stdout.
set -euo pipefail
source "$(dirname "$0")/../e2e/lib.sh"
start_xvfb 1024x768
game=$(copy_game)
"$game/orrindel" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
pid=$!
E2E_PIDS+=($pid)
win=$(wait_window Orrindel 60) || fail "no game window"
xdotool windowfocus --sync "$win" 2>/dev/null || true
retry xdotool key Escape
wait_exit "$pid" 60
[ "$EXIT_CODE" = 0 ] || fail "the native game ended with $EXIT_CODE"
cat "$game/log.txt"
