#!/usr/bin/env bash
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

# The box is a top-level window of its own, named like the game's window but without its
# class and smaller than the screen: "Orrindel": ()  303x100+360+222
geometry=""
for _ in $(seq 200); do
  geometry=$(xwininfo -root -children 2>/dev/null |
    sed -n 's/^ *0x[0-9a-f]* "Orrindel": ()  \([0-9]*x[0-9]*+[0-9]*+[0-9]*\).*/\1/p' | head -n 1)
  [ -n "$geometry" ] && break
  sleep 0.1
done
[ -n "$geometry" ] || fail "no message box appeared; stderr: $(cat "$E2E_TMP/stderr")"
IFS='x+' read -r WIDTH HEIGHT X Y <<<"$geometry"
[ "$WIDTH" -lt 1024 ] || fail "the box covers the screen: $geometry"
sleep 0.3
retry import -window root "$E2E_TMP/box.png"
# The single OK button sits at the bottom centre of the box.
retry xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 28)) click 1
wait_exit "$pid" 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE; stderr: $(cat "$E2E_TMP/stderr")"
mapfile -t msgs < <(log_messages "$game/log.txt")
n=${#msgs[@]}
[ "${msgs[n-2]}" = "Main module destruction end" ] || fail "second to last: ${msgs[n-2]}"
[ "${msgs[n-1]}" = "--End of Log--" ] || fail "last: ${msgs[n-1]}"
grep -q 'MDI destroy procedure end' "$game/log.txt" || fail "the window's teardown is missing"
echo "missing map: ok"
