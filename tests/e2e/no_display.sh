#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Without any display the game prints one clear line on stderr and exits non-zero.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
game=$(copy_game)
set +e
env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$game/orrindel" >"$E2E_TMP/out" 2>"$E2E_TMP/err"
code=$?
set -e
[ "$code" -ne 0 ] && [ "$code" -ne 124 ] || fail "exit code $code"
[ "$code" -lt 128 ] || fail "crashed with signal $((code - 128))"
[ "$(wc -l <"$E2E_TMP/err")" -eq 1 ] || fail "stderr is not one line: $(cat "$E2E_TMP/err")"
grep -q '^orrindel: cannot open a display' "$E2E_TMP/err" || fail "unclear message: $(cat "$E2E_TMP/err")"
[ ! -s "$E2E_TMP/out" ] || fail "unexpected stdout"
echo "no display: ok ($(cat "$E2E_TMP/err"))"
