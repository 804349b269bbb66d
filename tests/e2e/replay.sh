#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The game in its window and orrindel-sim follow one rule: the real game, played with
# random key presses, mouse-wheel turns and pad moves, leaves last-run.replay, and the
# simulator re-runs it to the same state digests, step for step.
#
# Runs: the episode at 1024x768; an every-feature map at 1366x768 with a pad; a big map
# at 1920x1080, where the frame rate is low; the episode at 800x600 with the game stopped
# now and then for up to a second, so that the steps pile up and run many to a frame; and
# the crash build, which fails in a known step: its replay re-runs to that step. The first
# two are watched too with orx play --replay, in the window, where the frames fall
# differently again.
#
# ORR_REPLAY_SECONDS sets how long each run is played (default 20); ORR_REPLAY_RUNS picks
# runs by name (default all). tests/windows/replay.sh plays the Windows game with the same
# functions: SIM (and SIM_RUNNER, which runs it), display and launch are its hooks.
set -euo pipefail
[ -n "${E2E_TMP:-}" ] || source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
SIM=${SIM:-$ORR_BUILD/bin/orrindel-sim}
# display SIZE: a display for the next game; launch GAME: starts the game program,
# GAME_EXE, in the game folder GAME.
GAME_EXE=orrindel
display() { start_xvfb "$1"; }
launch() { "$1/$GAME_EXE"; }

seconds=${ORR_REPLAY_SECONDS:-20}
runs=${ORR_REPLAY_RUNS:-"episode every big piled crash"}
seed=${ORR_REPLAY_SEED:-$(date +%s)}
RANDOM=$seed
echo "replay end to end: input seed $seed (ORR_REPLAY_SEED repeats it)"
trap '' PIPE

# replay_matches GAME [SIM ARGS...]: re-runs GAME's last-run.replay; prints the steps it
# matched, or fails with the simulator's words, or when the player ends where and as he
# started (the input did not reach the game: its replay proves little).
replay_matches() {
  local game=$1; shift
  [ -s "$game/last-run.replay" ] || fail "no last-run.replay beside the log in $game"
  local out rc=0
  out=$(${SIM_RUNNER:+"$SIM_RUNNER"} "$SIM" --replay "$game/last-run.replay" --game "$game" --dump-every 100 "$@" \
    2>"$E2E_TMP/sim.err") || rc=$?
  local last; last=$(printf '%s\n' "$out" | tail -n 1)
  [ "$rc" = 0 ] || fail "the replay of $game does not match (exit $rc): $last $(cat "$E2E_TMP/sim.err")"
  [[ "$last" =~ ^replay\ matches:\ ([0-9]+)\ steps ]] || fail "last line: $last"
  local places; places=$(printf '%s\n' "$out" |
    sed -n 's/.*"player": {"class": "[A-Za-z]*", \("Position": \[[^]]*\], "Heading": [^,]*\).*/\1/p' | sort -u | wc -l)
  [ "$places" -ge 2 ] || fail "the player of $game never moved nor turned: did the input reach the game?"
  echo "${BASH_REMATCH[1]}"
}

# play NAME SIZE [pad] [stops]: plays the game copied to $E2E_TMP/NAME (its map and program
# put in place by the caller through MAP and EXE) for $seconds with random input; Escape.
play() {
  local name=$1 size=$2; shift 2
  local pad=0 stops=0
  for a in "$@"; do case $a in pad) pad=1 ;; stops) stops=1 ;; esac; done
  display "$size"
  local game; game=$(copy_game "$E2E_TMP/$name")
  [ -n "${MAP:-}" ] && cp "$MAP" "$game/Episodes/Test/Promo4.orx"
  [ -n "${EXE:-}" ] && cp "$EXE" "$game/$GAME_EXE"
  mkfifo "$E2E_TMP/$name.pad"
  launch "$game" <"$E2E_TMP/$name.pad" >"$E2E_TMP/$name.out" 2>&1 &
  local pid=$!
  E2E_PIDS+=("$pid")
  exec 4>"$E2E_TMP/$name.pad"
  wait_window Orrindel 120 >"$E2E_TMP/win" || fail "$name: no game window; $(cat "$E2E_TMP/$name.out")"
  retry xdotool windowfocus --sync "$(cat "$E2E_TMP/win")" 2>/dev/null || true
  local w=${size%x*} h=${size#*x}
  retry xdotool mousemove $((w / 2)) $((h / 2))
  [ "$pad" = 1 ] && echo plug >&4
  local keys=(Up Down Left Right space Return) held=() end=$((SECONDS + seconds))
  while [ $SECONDS -lt $end ] && kill -0 "$pid" 2>/dev/null; do
    case $((RANDOM % 10)) in
      0|1|2|3) local k=${keys[$((RANDOM % 6))]}; xdotool keydown "$k" 2>/dev/null || true; held+=("$k") ;;
      4|5) if [ ${#held[@]} -gt 0 ]; then xdotool keyup "${held[0]}" 2>/dev/null || true; held=("${held[@]:1}"); fi ;;
      6) xdotool click $((4 + RANDOM % 2)) 2>/dev/null || true ;;
      7) if [ "$pad" = 1 ]; then echo "axis $((RANDOM % 2)) $((RANDOM % 65536 - 32768))" >&4; fi ;;
      8) if [ "$pad" = 1 ]; then echo "button $(((RANDOM % 2) ? 0 : 11 + RANDOM % 4)) $((RANDOM % 2))" >&4; fi ;;
      9) if [ "$stops" = 1 ]; then kill -STOP "$pid"; sleep "0.$((RANDOM % 10))"; kill -CONT "$pid"; fi ;;
    esac
    sleep "0.$((RANDOM % 3))$((RANDOM % 10))"
  done
  for k in "${held[@]}"; do xdotool keyup "$k" 2>/dev/null || true; done
  retry xdotool key Escape
  wait_exit "$pid" 60
  exec 4>&-
  [ "$EXIT_CODE" = 0 ] || fail "$name: exit code $EXIT_CODE; $(cat "$E2E_TMP/$name.out")"
  GAME=$game
}

[ "${BASH_SOURCE[0]}" = "$0" ] || return 0
for run in $runs; do
  MAP="" EXE=""
  case $run in
    episode)
      play episode 1024x768
      ;;
    every)
      "$ORR_BUILD/bin/orx" generate "$E2E_TMP/every.orx" --size 40x32 --npcs 30 --items 20 --seed 21 --every-feature \
        >/dev/null || fail "orx generate --every-feature failed"
      MAP=$E2E_TMP/every.orx EXE=$ORR_BUILD/bin/orrindel-padtest
      play every 1366x768 pad
      ;;
    big)
      "$ORR_BUILD/bin/orx" generate "$E2E_TMP/big.orx" --size 256x256 --npcs 1500 --items 500 --seed 7 \
        >/dev/null || fail "orx generate (big) failed"
      MAP=$E2E_TMP/big.orx
      play big 1920x1080
      ;;
    piled)
      play piled 800x600 stops
      ;;
    crash)
      # The crash build fails in step 1234: its replay ends there, and re-runs to it.
      start_xvfb 1024x768
      game=$(copy_game "$E2E_TMP/crash")
      cp "$ORR_BUILD/bin/orrindel-crashtest" "$game/orrindel"
      ORR_CRASH=SEGV ORR_CRASH_STEP=1234 "$game/orrindel" >"$E2E_TMP/crash.out" 2>&1 &
      pid=$!
      E2E_PIDS+=("$pid")
      win=$(wait_window Orrindel 60) || fail "crash: no game window"
      retry xdotool windowfocus --sync "$win" 2>/dev/null || true
      # Each key held a while, so that steps see it however the frames fall.
      while kill -0 "$pid" 2>/dev/null; do
        k=$(shuf -n1 -e Up Left Right space)
        xdotool keydown "$k" 2>/dev/null || true
        sleep 0.2
        xdotool keyup "$k" 2>/dev/null || true
      done
      wait_exit "$pid" 30
      [ "$EXIT_CODE" = 139 ] || fail "crash: exit code $EXIT_CODE, not a segmentation fault"
      grep -q "Fatal signal SIGSEGV" "$game/log.txt" || fail "crash: no crash line in the log"
      steps=$(replay_matches "$game")
      last=$("$ORR_BUILD/bin/orrindel-sim" --replay "$game/last-run.replay" --game "$game" | tail -n 1)
      [ "$steps" = 1234 ] || fail "crash: the replay holds $steps steps, not the 1234 to the crash"
      [[ "$last" == *"crashed in or after step 1234)" ]] || fail "crash: $last"
      echo "crash: $last"
      continue
      ;;
    *) fail "unknown run $run" ;;
  esac
  simArgs=()
  [ -n "$MAP" ] && simArgs=(--map "$MAP")
  steps=$(replay_matches "$GAME" "${simArgs[@]}")
  [ "$steps" -ge $((seconds * 20)) ] || fail "$run: only $steps steps were played in ${seconds}s"
  size=$(stat -c %s "$GAME/last-run.replay")
  echo "$run: replay matches: $steps steps, $size bytes"
  # Watched in the game's window (orx play --replay), the game comes to the same states.
  if [ "$run" = episode ] || [ "$run" = every ]; then
    watched=$("$ORR_BUILD/bin/orx" play --replay "$GAME/last-run.replay" ${MAP:+"$MAP"} --folder "$E2E_TMP/watch-$run" \
      2>"$E2E_TMP/watch.err") || fail "$run: orx play --replay failed: $(tail -n 3 "$E2E_TMP/watch.err")"
    [ "$(printf '%s\n' "$watched" | tail -n 1)" = "replay matches: $steps steps" ] ||
      fail "$run: watching the replay: $(printf '%s\n' "$watched" | tail -n 2)"
    echo "$run: watched in the window: $(printf '%s\n' "$watched" | tail -n 1)"
  fi
done
echo "replay end to end: ok"
