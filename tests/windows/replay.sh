#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows game's replay re-runs in the Linux simulator: the Windows game under Wine,
# played with random key presses, mouse-wheel turns and (on an every-feature map) pad
# moves, leaves last-run.replay, and the Linux orrindel-sim re-runs it to the same state
# digests, as orrindel-sim.exe does. (A Linux replay in orrindel-sim.exe: wine_golden_runs.)
# ORR_BUILD is the Windows build, ORR_LINUX_BUILD the Linux one (default: build/);
# ORR_REPLAY_SECONDS and ORR_REPLAY_SEED as for e2e_replay.
set -euo pipefail
source "$ORR_SOURCE/tests/windows/wine.sh"
linux=${ORR_LINUX_BUILD:-$ORR_SOURCE/build}
[ -x "$linux/bin/orrindel-sim" ] || fail "no Linux simulator in $linux (build it first)"
source "$ORR_SOURCE/tests/e2e/replay.sh"
GAME_EXE=orrindel.exe
display() { new_display "$1"; }
launch() { "$wine_run" "$1/orrindel.exe"; }

for run in episode every; do
  MAP="" EXE=""
  if [ "$run" = every ]; then
    "$linux/bin/orx" generate "$E2E_TMP/every.orx" --size 40x32 --npcs 30 --items 20 --seed 21 --every-feature \
      >/dev/null || fail "orx generate --every-feature failed"
    MAP=$E2E_TMP/every.orx EXE=$ORR_BUILD/bin/orrindel-padtest.exe
    play every 800x600 pad
  else
    play episode 1024x768
  fi
  simArgs=()
  [ -n "$MAP" ] && simArgs=(--map "$MAP")
  steps=$(SIM=$linux/bin/orrindel-sim replay_matches "$GAME" "${simArgs[@]}")
  [ "$steps" -ge $((seconds * 10)) ] || fail "$run: only $steps steps were played in ${seconds}s"
  windows=$(SIM=$ORR_BUILD/bin/orrindel-sim.exe SIM_RUNNER=$wine_run replay_matches "$GAME" "${simArgs[@]}")
  [ "$windows" = "$steps" ] || fail "$run: orrindel-sim.exe matched $windows steps, the Linux one $steps"
  echo "$run: the Windows game's replay matches in the Linux simulator: $steps steps," \
    "$(stat -c %s "$GAME/last-run.replay") bytes"
done
echo "Windows replays in the Linux simulator: ok"
