#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The simulator's golden runs with the Windows programs under Wine: byte for byte the
# outputs the Linux build gives (tests/golden/). The game, the maps and the work files sit
# in folders whose names are not ASCII, as a player's or an author's often are: the programs
# take such paths from their command line as UTF-8 and must open them wide (a path made from
# them in the system's code page names another file). The same folders carry an episode
# through Tiled and back with orx.
set -euo pipefail
run=$ORR_WINE_RUN
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
build="$root/Spielstände"
mkdir -p "$build/tmp" "$root/Kärtchen"
ln -s "$ORR_BUILD/bin" "$build/bin"
cp -r "$ORR_BUILD/game" "$build/game"

ORR_BUILD=$build TMPDIR="$build/tmp" ORR_SIM_RUNNER=$run ORR_EXE_SUFFIX=.exe \
  bash "$ORR_SOURCE/tests/golden/golden.sh" check

episode="$build/game/Episodes/Test/Promo4.orx"
"$run" "$build/bin/orx.exe" export-tiled "$episode" "$root/Kärtchen/Übung.tmx" --game "$build/game"
"$run" "$build/bin/orx.exe" import-tiled "$root/Kärtchen/Übung.tmx" "$root/Kärtchen/zurück.orx"
"$run" "$build/bin/orx.exe" render "$root/Kärtchen/zurück.orx" "$root/Kärtchen/Übersicht.png" --game "$build/game"
cmp <("$run" "$build/bin/orx.exe" decode "$episode") <("$run" "$build/bin/orx.exe" decode "$root/Kärtchen/zurück.orx") ||
  { echo "FAIL: the episode came back from Tiled changed" >&2; exit 1; }
[ -s "$root/Kärtchen/Übersicht.png" ] || { echo "FAIL: no picture of the map" >&2; exit 1; }
echo "Tiled round trip through folders with non-ASCII names: ok"
