#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows game under Wine on Xvfb, beside the Linux game in the same session:
#  - at 1024x768 and 800x600 its window comes up, the frame-rate text changes (the first 5 s
#    tick), Escape ends it with exit code 0, and its log.txt has the Linux log's lines in the
#    same order (times, the program's file name and its folder aside);
#  - without its episode it shows the message box; answered with OK (a click on the button,
#    as a person would) it ends as on Linux, its log complete;
#  - the crash-test build crashing for real leaves the log with the crash's last line.
# ORR_BUILD is the Windows build, ORR_LINUX_BUILD the Linux one (default: build/).
set -euo pipefail
source "$ORR_SOURCE/tests/windows/wine.sh"
linux=${ORR_LINUX_BUILD:-$ORR_SOURCE/build}
[ -x "$linux/game/orrindel" ] || fail "no Linux game in $linux to compare with (build it first)"

# normalized LOG: the messages with the game folder as <game>/ and '/' for '\' in its
# paths, the program's name without .exe.
normalized() {
  local folder
  folder=$(log_messages "$1" | sed -n 's/^Work folder set to //p' | head -n 1)
  # Through the environment: awk -v would read "\t" in "Z:\tmp" as a tab.
  log_messages "$1" | folder=$folder awk '
    BEGIN { folder = ENVIRON["folder"] }
    { line = $0
      while ((i = index(line, folder)) > 0) {
        rest = substr(line, i + length(folder)); gsub(/\\/, "/", rest)
        line = substr(line, 1, i - 1) "<game>/" rest
      }
      sub(/^Application: orrindel\.exe$/, "Application: orrindel", line)
      print line }'
}

# drawn_with_text PNG: a screenshot showing the world and the white text at the top-left;
# leaves their measures in WORLD and TEXT.
drawn_with_text() {
  TEXT=0
  world_drawn "$1" || return 1
  TEXT=$(convert "$1" -crop 58x17+0+0 -colorspace Gray -format '%[fx:maxima]' info:)
  awk "BEGIN{exit !($TEXT > 0.9)}"
}

# play PROGRAM SIZE NAME: runs the game until the frame-rate text has changed after its
# window showed, then Escape; keeps its log as $E2E_TMP/NAME.log and the times to the
# window in $E2E_TMP/NAME.window.
play() {
  local program=$1 size=$2 name=$3
  new_display "$size"
  # A folder name with a space and a letter that is not ASCII, as under a player's profile.
  local game; game=$(copy_game "$E2E_TMP/Spielstände $name")
  local started; started=$(date +%s.%N)
  if [ "$program" = windows ]; then
    "$wine_run" "$game/orrindel.exe" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
  else
    "$game/orrindel" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
  fi
  local pid=$!
  E2E_PIDS+=($pid)
  local win; win=$(wait_window Orrindel 120) || fail "$name: no game window on $size; stderr: $(cat "$E2E_TMP/stderr")"
  awk -v now="$(date +%s.%N)" -v started="$started" 'BEGIN { printf "%.2f", now - started }' >"$E2E_TMP/$name.window"
  # The text as first drawn (over the world), then the wait for a new one: its caption
  # until the first 5 s tick, or, when the window was seen late, the rate of the next tick.
  until_ok 120 drawn_with_text "$E2E_TMP/$name-early.png" ||
    fail "$name: no world and text drawn on $size (world $WORLD, text $TEXT)"
  local changed=1
  wait_text_change "$E2E_TMP/$name-early.png" 90 || changed=0
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  retry xdotool key Escape
  wait_exit "$pid" 60
  [ "$EXIT_CODE" = 0 ] || fail "$name: exit code $EXIT_CODE on $size; stderr: $(cat "$E2E_TMP/stderr")"
  [ "$changed" = 1 ] || fail "$name: the frame-rate text did not change in 90 s (difference $TEXT_DIFF)"
  cp "$game/log.txt" "$E2E_TMP/$name.log"
  kill "${E2E_PIDS[0]}" 2>/dev/null || true; wait "${E2E_PIDS[0]}" 2>/dev/null || true
  E2E_PIDS=()
}

ORR_BUILD_WINDOWS=$ORR_BUILD
for size in 1024x768 800x600; do
  ORR_BUILD=$linux play linux "$size" "linux-$size"
  ORR_BUILD=$ORR_BUILD_WINDOWS play windows "$size" "windows-$size"
  if ! diff <(normalized "$E2E_TMP/linux-$size.log") <(normalized "$E2E_TMP/windows-$size.log") >"$E2E_TMP/diff"; then
    fail "$size: the Windows log differs from the Linux one:
$(head -n 40 "$E2E_TMP/diff")"
  fi
  echo "$size: same log; window after $(cat "$E2E_TMP/linux-$size.window") s on Linux," \
    "$(cat "$E2E_TMP/windows-$size.window") s under Wine"
done

# The episode missing: the box, answered with OK.
new_display 1024x768
game=$(copy_game "$E2E_TMP/missing")
rm -f "$game/Episodes/Test/Promo4.orx"
"$wine_run" "$game/orrindel.exe" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
pid=$!
E2E_PIDS+=($pid)
box=""
for _ in $(seq 600); do
  for id in $(xdotool search --onlyvisible --name '^Orrindel$' 2>/dev/null); do
    geometry=$(xdotool getwindowgeometry --shell "$id" 2>/dev/null) || continue
    eval "$geometry"
    if [ "$WIDTH" -lt 1024 ]; then box=$id; break; fi
  done
  [ -n "$box" ] && break
  sleep 0.2
done
[ -n "$box" ] || fail "no message box for the missing episode; stderr: $(cat "$E2E_TMP/stderr")"
sleep 0.5
retry import -window root "$E2E_TMP/box.png"
# Wine lays the box out with its one OK button across the bottom, 18 pixels high, 7 above
# the box's edge: a click at its middle.
retry xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 16)) click 1
wait_exit "$pid" 60
[ "$EXIT_CODE" = 0 ] || fail "missing episode: exit code $EXIT_CODE; stderr: $(cat "$E2E_TMP/stderr")"
mapfile -t msgs < <(log_messages "$game/log.txt")
n=${#msgs[@]}
[ "${msgs[n-2]}" = "Main module destruction end" ] || fail "missing episode: second to last: ${msgs[n-2]}"
[ "${msgs[n-1]}" = "--End of Log--" ] || fail "missing episode: last: ${msgs[n-1]}"
grep -q 'MDI destroy procedure end' "$game/log.txt" || fail "missing episode: the window's teardown is missing"
echo "missing episode: box answered, log complete"
kill "${E2E_PIDS[0]}" 2>/dev/null || true; wait "${E2E_PIDS[0]}" 2>/dev/null || true
E2E_PIDS=()

# A crash: the crash-test build, faulting for real, leaves the log with its last line.
new_display 1024x768
for how in SEGV ABRT ILL FPE; do
  game=$(copy_game "$E2E_TMP/crash-$how")
  cp "$ORR_BUILD/bin/orrindel-crashtest.exe" "$game/orrindel.exe"
  ORR_CRASH=$how "$wine_run" "$game/orrindel.exe" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
  pid=$!
  E2E_PIDS+=($pid)
  wait_exit "$pid" 120
  [ "$EXIT_CODE" != 0 ] && [ "$EXIT_CODE" != timeout ] || fail "crash $how: exit code $EXIT_CODE"
  [ -s "$game/log.txt" ] || fail "crash $how: no log"
  last=$(tail -n 1 "$game/log.txt" | tr -d '\r')
  [[ "$last" =~ ^\[[0-9]{2}:[0-9]{2}:[0-9]{2}\]Fatal\ signal\ SIG$how\ \(.*\):\ the\ game\ ended$ ]] ||
    fail "crash $how: last line \"$last\""
  grep -q 'MDI initialized' "$game/log.txt" || fail "crash $how: the session's lines are missing"
  echo "crash $how: exit code $EXIT_CODE, last line \"$last\""
done
echo "Windows game under Wine: ok"
