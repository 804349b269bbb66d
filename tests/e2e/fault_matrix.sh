#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real game against damaged and hostile surroundings: every file it reads missing,
# empty, cut short, random, a folder, a named pipe or a symbolic link loop; a read-only
# folder; log.txt a folder; no audio device; SIGTERM and SIGINT while running and while a
# message box is up. Each run is bounded; each must end the way the game defines (exit
# code, message box answered by a click, the log's lines in order, "--End of Log--" last)
# and never hang or crash. Cases run on two workers with a display each.
#
#   fault_matrix.sh [--list] [CASE_PATTERN]
# CASE_PATTERN (or ORR_FAULT_CASES) is an extended regular expression choosing cases by
# name; ORR_GAME_EXE another build of the game to run (see lib.sh).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

EPISODE="Episodes/Test/Promo4.orx"
TERRAIN="Graphics/Tiles/TerrainTiles.bmp"
DECORATION="Graphics/Tiles/DecorationTiles.bmp"
STATUS="Graphics/Bitmaps/Hud Sketch #1.bmp"
SPRITE="Graphics/StaticSprites/Med_1.bmp"
FRAME="Graphics/AniSprites/PL001/01_walk1.bmp"

# ---- faults: fault_KIND GAME_DIR FILE ---------------------------------------------------
fault_missing() { rm -f "$1/$2"; }
fault_empty() { : >"$1/$2"; }
fault_cut14() { truncate -s 14 "$1/$2"; }
fault_cuthalf() { truncate -s $(($(stat -c %s "$1/$2") / 2)) "$1/$2"; }
fault_cutlast() { truncate -s -1 "$1/$2"; }
fault_random() {  # the same bytes on every run, the file's own size
  python3 -c 'import random,sys; random.seed(12); sys.stdout.buffer.write(random.randbytes(int(sys.argv[1])))' \
    "$(stat -c %s "$1/$2")" >"$1/$2.tmp"
  mv "$1/$2.tmp" "$1/$2"
}
fault_folder() { rm -f "$1/$2"; mkdir "$1/$2"; }
fault_pipe() { rm -f "$1/$2"; mkfifo "$1/$2"; }
fault_loop() { rm -f "$1/$2"; ln -s "$(basename "$2")" "$1/$2"; }
FAULTS=(missing empty cut14 cuthalf cutlast random folder pipe loop)

# ---- one run ----------------------------------------------------------------------------
# run_game GAME_DIR [RUNAS...]: runs the game, answers every message box with a click on
# OK, presses Escape once the window shows the world (unless it is to crash: see
# ORR_CRASH below); ON_BOX, when set, is called with GAME_DIR and the caption of every box
# before it is answered. Sets BOXES (the captions of the boxes answered, each followed by a
# space) and EXIT_CODE ("timeout" after 40 s).
run_game() {
  local dir=$1; shift
  # A process group of its own: a run that times out is ended with every process it
  # started (the game forks a helper for each message box).
  setsid "$@" "$dir/orrindel" >"$dir/../stdout" 2>"$dir/../stderr" &
  local pid=$! shown=0 escaped=0 box key answered=" "
  BOXES=""
  EXIT_CODE=timeout
  for _ in $(seq 400); do
    if ! kill -0 "$pid" 2>/dev/null; then
      set +e; wait "$pid"; EXIT_CODE=$?; set -e
      return 0
    fi
    box=$(find_box)
    if [ -n "$box" ]; then
      [ -z "${ON_BOX:-}" ] || "$ON_BOX" "$dir" "${box%%|*}"
      answer_box "$box" ok
      # A box still up after the click (a slow machine) is clicked again, counted once; the
      # next box may reuse its window.
      key="${box##*|}:${box%%|*}" key=${key// /_}
      case "$answered" in *" $key "*) ;; *) answered+="$key "; BOXES+="${box%%|*} " ;; esac
    elif xdotool search --onlyvisible --classname '^orrindel$' >/dev/null 2>&1; then
      shown=$((shown + 1))
      # Escape once the world is on screen (its session set up), or, for a game that never
      # draws one, after some 150 looks at the screen.
      if [ "$shown" -ge 10 ] && [ "$escaped" -eq 0 ] && [ -z "${ORR_CRASH:-}" ] &&
        { [ "$shown" -ge 150 ] || world_drawn "$dir/../world.png"; }; then
        escaped=1
        local win; win=$(xdotool search --onlyvisible --classname '^orrindel$' 2>/dev/null | head -n 1 || true)
        xdotool windowfocus --sync "$win" 2>/dev/null || true
        retry xdotool key Escape || true
      fi
    fi
    sleep 0.1
  done
  kill -KILL -- "-$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# find_box: "CAPTION|WIDTHxHEIGHT+X+Y|WINDOW" of a message box on screen, or nothing. A box is a
# top-level window of its own named like the game, without the game window's class. A box
# wider than the screen (the exception report's) starts left of it, at a negative x.
find_box() {
  { xwininfo -root -children 2>/dev/null || true; } |
    sed -n 's/^ *\(0x[0-9a-f]*\) "\(Orrindel[^"]*\)": ()  \([0-9]*x[0-9]*+-\{0,1\}[0-9]*+-\{0,1\}[0-9]*\).*/\2|\3|\1/p' | head -n 1
}

# answer_box "CAPTION|GEOMETRY" ok|cancel: clicks the button the way a person would. A
# plain box has OK alone at its bottom centre; the error box has OK left of Cancel.
answer_box() {
  local caption=${1%%|*} geometry=${1#*|} width height x y bx
  geometry=${geometry%%|*}
  IFS='x+' read -r width height x y <<<"$geometry"
  sleep 0.3
  if [ "$caption" = "Orrindel: ERROR" ]; then
    if [ "$2" = ok ]; then bx=$((x + width / 2 - 45)); else bx=$((x + width / 2 + 45)); fi
  else
    bx=$((x + width / 2))
  fi
  retry xdotool mousemove "$bx" $((y + height - 28)) click 1 || true
  # The box must go away (a click that missed would wait for ever).
  for _ in $(seq 50); do [ -z "$(find_box)" ] && return 0; sleep 0.1; done
}

# ---- checks -------------------------------------------------------------------------------
# Each check appends to PROBLEMS; the case passes when nothing was appended.
problem() { PROBLEMS+="$*; "; }
check_exit() { [ "$EXIT_CODE" = "$1" ] || problem "exit code $EXIT_CODE, want $1"; }
check_boxes() { [ "$BOXES" = "$1" ] || problem "boxes '$BOXES', want '$1'"; }
# check_log GAME_DIR PATTERN...: the log ends with "--End of Log--", holds no exception
# report, and holds lines matching each extended regular expression, in this order.
check_log() {
  local log="$1/log.txt"; shift
  [ -f "$log" ] || { problem "no log.txt"; return; }
  local msgs; msgs=$(log_messages "$log")
  [ "$(tail -n 1 <<<"$msgs")" = "--End of Log--" ] || problem "last line '$(tail -n 1 <<<"$msgs")'"
  ! grep -q '^Program exception!' <<<"$msgs" || problem "exception: $(grep -A1 '^Program exception!' <<<"$msgs" | tail -n 1)"
  check_order "$msgs" "$@"
}
# check_order MESSAGES PATTERN...: lines matching each pattern, in this order.
check_order() {
  local msgs=$1 from=1 pattern at; shift
  for pattern in "$@"; do
    at=$(tail -n +"$from" <<<"$msgs" | grep -n -m 1 -E -- "$pattern" | cut -d: -f1 || true)
    [ -n "$at" ] || { problem "no '$pattern' after line $from"; return; }
    from=$((from + at))
  done
}
check_quiet() { [ ! -s "$1/../stderr" ] || problem "stderr: $(head -c 300 "$1/../stderr")"; }

# ---- expectations per file -----------------------------------------------------------------
PLAYS='File loading successful. File closed|New OpenGL window spawned|MDI destroy procedure end'

expect_episode() {  # fault dir
  local dir=$2
  check_exit 0
  check_quiet "$dir"
  if [ "$1" = missing ] || [ "$1" = loop ] || [ "$1" = folder ]; then
    check_boxes "Orrindel "
    check_log "$dir" '^MapModule received a map loading request' \
      '^\*\*WARNING: File does not exists!' '^MDI destroy procedure end' '^Main module destruction end'
  elif [ "$1" = cutlast ]; then
    # Only the last line's end is gone: the episode still loads.
    check_boxes ""
    check_log "$dir" 'File loading successful' 'New OpenGL window spawned' '^MDI destroy procedure end'
  else
    check_boxes "Orrindel "
    check_log "$dir" '^MapModule received a map loading request' '^\*\*WARNING! Exception occurred' \
      '^File loading failed. File closed' '^MDI destroy procedure end' '^Main module destruction end'
  fi
}

expect_atlas() {  # fault dir
  local dir=$2
  check_exit 0
  check_quiet "$dir"
  check_boxes ""
  if [ "$1" = cutlast ]; then
    check_log "$dir" 'Creating tile texture database' 'File loading successful' 'New OpenGL window spawned'
  else
    check_log "$dir" '^FATAL: Error while loading tiles!' 'Creating tile texture database' \
      'File loading successful' 'New OpenGL window spawned' '^MDI destroy procedure end'
  fi
}

expect_picture() {  # fault dir name: a bitmap, a sprite or a frame goes missing, play goes on
  local dir=$2
  check_exit 0
  check_quiet "$dir"
  check_boxes ""
  check_log "$dir" 'File loading successful' 'New OpenGL window spawned' '^MDI destroy procedure end'
}

# ---- the surroundings ------------------------------------------------------------------------
# A folder the game cannot write to, for a user that is not root (root writes anywhere):
# the save at the end fails with its message box, answered; nothing half-written is left.
case_readonly_folder() {
  run_game "$1" setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/nonexistent
  check_exit 0
  check_boxes "Orrindel "
  [ ! -e "$1/log.txt" ] || problem "a log.txt was written"
}

# The next save after a failed one writes the whole log. An exception report's save fails in
# the read-only folder (the save box); while the report's box is up the folder becomes
# writable, and OK ends the game: the save at shutdown holds every line from the first,
# the exception report among them, to "--End of Log--".
make_writable() { [ "$2" != "Orrindel: ERROR" ] || chown 65534:65534 "$1"; }
case_readonly_next_save() {
  cp "$ORR_BUILD/bin/orrindel-crashtest" "$1/orrindel"
  ORR_CRASH=THROW ON_BOX=make_writable run_game "$1" setpriv --reuid=65534 --regid=65534 --clear-groups \
    env HOME=/nonexistent
  check_exit 0
  check_boxes "Orrindel Orrindel: ERROR "
  [ -f "$1/log.txt" ] || { problem "no log.txt"; return; }
  local msgs; msgs=$(log_messages "$1/log.txt")
  [[ $(head -n 1 <<<"$msgs") == "Main module initialization begin, date "* ]] || problem "first line '$(head -n 1 <<<"$msgs")'"
  [ "$(tail -n 1 <<<"$msgs")" = "--End of Log--" ] || problem "last line '$(tail -n 1 <<<"$msgs")'"
  check_order "$msgs" '^Exception hook set' 'New OpenGL window spawned' '^Program exception!' \
    '^Exception message: test exception' '^MDI destroy procedure end' '^Main module destruction end'
}

case_log_folder() {
  mkdir "$1/log.txt"
  run_game "$1"
  check_exit 0
  check_boxes "Orrindel "
  [ -d "$1/log.txt" ] || problem "log.txt is no longer the folder"
}

# No sound card at all: the mixer falls back to its silent device and the game plays.
case_no_audio() {
  run_game "$1" env SDL_AUDIODRIVER=none
  check_exit 0
  check_boxes ""
  check_log "$1" '^[0-9]+ audio channels created' '^Music channel created' 'New OpenGL window spawned' \
    '^Music channel destroyed' '^Main module destruction end'
}

# signal_case GAME_DIR SIGNAL box|running: the signal ends the game the way Escape does:
# exit code 0, the whole teardown logged and saved, no box left on screen.
signal_case() {
  local dir=$1 signal=$2 when=$3 ready=0
  [ "$when" = running ] || rm -f "$dir/$EPISODE"
  # A job started in the background ignores SIGINT unless told otherwise.
  setsid env --default-signal=INT "$dir/orrindel" >"$dir/../stdout" 2>"$dir/../stderr" &
  local pid=$!
  for _ in $(seq 300); do
    if [ "$when" = box ]; then [ -n "$(find_box)" ] && ready=1; else
      xdotool search --onlyvisible --classname '^orrindel$' >/dev/null 2>&1 && ready=1
    fi
    [ "$ready" = 0 ] || break
    sleep 0.1
  done
  [ "$ready" = 1 ] || problem "the game never reached the $when state"
  # Running: the signal comes once the session is on screen (its lines are judged below).
  if [ "$when" = running ]; then wait_world 60 "$dir/../world.png" || problem "the world is not drawn (mean $WORLD)"; fi
  kill "-$signal" "$pid"
  wait_exit "$pid" 20
  [ "$EXIT_CODE" != timeout ] || kill -KILL -- "-$pid" 2>/dev/null || true
  BOXES=""
  check_exit 0
  [ -z "$(find_box)" ] || problem "a box is still on screen"
  if [ "$when" = box ]; then
    check_log "$dir" '^\*\*WARNING: File does not exists!' '^MDI destroy procedure end' '^Main module destruction end'
  else
    check_log "$dir" 'New OpenGL window spawned' '^MDI destroy procedure end' '^Main module destruction end'
  fi
}
case_sigterm() { signal_case "$1" TERM running; }
case_sigint() { signal_case "$1" INT running; }
case_sigterm_box() { signal_case "$1" TERM box; }
case_sigint_box() { signal_case "$1" INT box; }

# The display goes away under the running game: it ends (never hangs) and the log is on
# disk with a last line that says why, the replay beside it. The worker then starts a new
# display.
case_xvfb_killed() {
  setsid "$1/orrindel" >"$1/../stdout" 2>"$1/../stderr" &
  local pid=$!
  wait_window Orrindel 30 >/dev/null || problem "no game window"
  wait_world 60 "$1/../world.png" || problem "the world is not drawn (mean $WORLD)"
  kill "$XVFB_PID"
  wait "$XVFB_PID" 2>/dev/null || true
  wait_exit "$pid" 20
  [ "$EXIT_CODE" != timeout ] || kill -KILL -- "-$pid" 2>/dev/null || true
  BOXES=""
  [ "$EXIT_CODE" != timeout ] && [ "$EXIT_CODE" -lt 128 ] || problem "exit code $EXIT_CODE"
  [ -f "$1/log.txt" ] || { problem "no log.txt"; return; }
  grep -q 'New OpenGL window spawned' "$1/log.txt" || problem "the log lacks the session"
  [ "$(log_messages "$1/log.txt" | tail -n 1)" = "The display connection was lost" ] ||
    problem "last line '$(log_messages "$1/log.txt" | tail -n 1)'"
  # The replay goes with the log, and re-runs.
  local verdict; verdict=$("$ORR_BUILD/bin/orrindel-sim" --replay "$1/last-run.replay" --game "$1" 2>&1 | tail -n 1)
  [[ $verdict == "replay matches: "* ]] || problem "replay: $verdict"
}

# ---- crashes ---------------------------------------------------------------------------------
# The test build of the game crashes for real (ORR_CRASH): the log on disk holds the session
# and ends with a line naming the signal; the process ends with that signal. The replay
# beside it re-runs in the simulator to the step the game crashed in.
crash_case() {  # GAME_DIR SIGNAL_NAME
  local dir=$1 name=$2 number
  number=$(kill -l "$name")
  cp "$ORR_BUILD/bin/orrindel-crashtest" "$dir/orrindel"
  ORR_CRASH=$name run_game "$dir"
  check_exit $((128 + number))
  check_boxes ""
  [ -f "$dir/log.txt" ] || { problem "no log.txt"; return; }
  local last; last=$(log_messages "$dir/log.txt" | tail -n 1)
  [[ $last == "Fatal signal SIG$name ("*"): the game ended" ]] || problem "last line '$last'"
  grep -q 'New OpenGL window spawned' "$dir/log.txt" || problem "the log lacks the session"
  # The replay the crash handler leaves beside the log re-runs to the crash.
  [ -s "$dir/last-run.replay" ] || { problem "no last-run.replay beside the log"; return; }
  local verdict; verdict=$("$ORR_BUILD/bin/orrindel-sim" --replay "$dir/last-run.replay" --game "$dir" 2>&1 | tail -n 1)
  [[ $verdict == "replay matches: "*" (the recorded game crashed in or after step "*")" ]] || problem "replay: $verdict"
}
case_crash_segv() { crash_case "$1" SEGV; }
case_crash_abrt() { crash_case "$1" ABRT; }
case_crash_bus() { crash_case "$1" BUS; }
case_crash_ill() { crash_case "$1" ILL; }
case_crash_fpe() { crash_case "$1" FPE; }

# ---- the cases ---------------------------------------------------------------------------
# Each case is "NAME" and runs in case_NAME GAME_DIR; it leaves PROBLEMS empty when it passes.
CASES=()
for f in "${FAULTS[@]}"; do
  CASES+=("episode-$f" "terrain-$f" "decoration-$f" "status-$f" "sprite-$f" "frame-$f")
done
CASES+=(readonly-folder log-folder no-audio sigterm sigint sigterm-box sigint-box xvfb-killed)
# The crash cases need the test build of the game (a sanitizer build reports such faults
# itself, so they run with the plain build only).
[ -n "${ORR_GAME_EXE:-}" ] || CASES+=(crash-segv crash-abrt crash-bus crash-ill crash-fpe readonly-next-save)

file_case() {  # KIND FAULT FILE EXPECT GAME_DIR
  "fault_$2" "$5" "$3"
  run_game "$5"
  "$4" "$2" "$5"
}

run_case() {  # NAME GAME_DIR
  local name=$1 dir=$2 fault=${1#*-}
  case $name in
    episode-*) file_case episode "$fault" "$EPISODE" expect_episode "$dir" ;;
    terrain-*) file_case terrain "$fault" "$TERRAIN" expect_atlas "$dir" ;;
    decoration-*) file_case decoration "$fault" "$DECORATION" expect_atlas "$dir" ;;
    status-*) file_case status "$fault" "$STATUS" expect_picture "$dir" ;;
    sprite-*) file_case sprite "$fault" "$SPRITE" expect_picture "$dir" ;;
    frame-*) file_case frame "$fault" "$FRAME" expect_picture "$dir" ;;
    *) "case_${name//-/_}" "$dir" ;;
  esac
}

# ---- worker ---------------------------------------------------------------------------------
start_display() {
  start_xvfb 1024x768
  XVFB_PID=${E2E_PIDS[-1]}
}

# worker N CASE...: one display, the cases one after another; writes RESULTS/NAME.
worker() {
  local n=$1; shift
  E2E_PIDS=()
  trap 'for p in "${E2E_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
  start_display
  local name dir start
  for name in "$@"; do
    dir="$E2E_TMP/cases/$name/game"
    mkdir -p "$(dirname "$dir")"
    copy_game "$dir" >/dev/null
    start=$SECONDS
    # A subshell per case: a slip in one case's script fails that case, not the worker.
    (
      PROBLEMS="" BOXES="" EXIT_CODE=""
      run_case "$name" "$dir"
      printf '%s|%s|%s|%s\n' "$name" "$EXIT_CODE" "$BOXES" "${PROBLEMS:-ok}" >"$E2E_TMP/results/$name"
    ) || printf '%s|?||the case script stopped\n' "$name" >"$E2E_TMP/results/$name"
    xdpyinfo >/dev/null 2>&1 || start_display  # the case took the display down
    echo "worker $n: $name ($((SECONDS - start)) s): $(cut -d'|' -f4 "$E2E_TMP/results/$name")" >&2
    # Nothing may outlive its case (a hung child, a box left on screen).
    [ -z "$(find_box)" ] || echo "worker $n: $name left a box on screen" >>"$E2E_TMP/results/$name"
  done
}

pattern=${1:-${ORR_FAULT_CASES:-.}}
[ "$pattern" != --list ] || { printf '%s\n' "${CASES[@]}"; exit 0; }
selected=()
for c in "${CASES[@]}"; do [[ $c =~ $pattern ]] && selected+=("$c"); done
[ ${#selected[@]} -gt 0 ] || fail "no case matches $pattern"
mkdir -p "$E2E_TMP/results"
# Game folders must be readable by the unprivileged user of the read-only case.
chmod 755 "$E2E_TMP"
started=$SECONDS
workers=2
for w in $(seq 0 $((workers - 1))); do
  mine=()
  for i in "${!selected[@]}"; do [ $((i % workers)) -eq "$w" ] && mine+=("${selected[i]}"); done
  [ ${#mine[@]} -eq 0 ] || { worker "$w" "${mine[@]}" & E2E_PIDS+=($!); }
done
wait
failed=0
for c in "${selected[@]}"; do
  if [ ! -f "$E2E_TMP/results/$c" ]; then echo "FAIL $c: no result"; failed=$((failed + 1)); continue; fi
  IFS='|' read -r name code boxes outcome <"$E2E_TMP/results/$c"
  if [ "$outcome" = ok ] && [ "$(wc -l <"$E2E_TMP/results/$c")" -eq 1 ]; then
    printf 'ok   %-22s exit %-4s boxes: %s\n' "$name" "$code" "${boxes:--}"
  else
    printf 'FAIL %-22s exit %-4s boxes: %s: %s\n' "$name" "$code" "${boxes:--}" "$(cat "$E2E_TMP/results/$c")"
    failed=$((failed + 1))
  fi
done
echo "fault matrix: $(( ${#selected[@]} - failed ))/${#selected[@]} passed in $((SECONDS - started)) s"
[ "$failed" -eq 0 ]
