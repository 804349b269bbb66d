#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a player gets it: made by cpack, passed by Debian's and the
# desktop's validators, unpacked into a fresh root and run there by an ordinary user. The
# installed game starts, Escape ends it with exit code 0 and no box, and its log is
# complete in the user's state folder, since the game's own folder is read-only; a
# read-only state folder gets the save-failure box. The installed tools run the same way.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# The player: "nobody" when the test runs as root (as CI does), else the caller with the
# unpacked files made read-only.
if [ "$(id -u)" = 0 ]; then
  as_player() { setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; }
  player_owns() { chown nobody:nogroup "$@"; }
else
  as_player() { "$@"; }
  player_owns() { :; }
  trap 'chmod -R u+w "$E2E_TMP" 2>/dev/null; e2e_cleanup' EXIT
fi
chmod 755 "$E2E_TMP"

# ---- the package ----------------------------------------------------------------------
cpack -G DEB --config "$ORR_BUILD/CPackConfig.cmake" -B "$E2E_TMP/pkg" >"$E2E_TMP/cpack.log" 2>&1 ||
  fail "cpack: $(tail -n 20 "$E2E_TMP/cpack.log")"
arch=$(dpkg --print-architecture)
mapfile -t debs < <(find "$E2E_TMP/pkg" -name "orrindel_*_$arch.deb")
[ ${#debs[@]} = 1 ] || fail "expected one orrindel_VERSION_$arch.deb, found: ${debs[*]:-none}"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "orrindel_${version}_$arch.deb" ] || fail "package name $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in fonts-liberation libsdl2-2.0-0 libc6 libfontconfig1 libgl1; do
  [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done

# Debian's checks: errors fail the test; the warnings left are listed in the README.
lintian --fail-on error "$deb" >"$E2E_TMP/lintian.log" 2>&1 ||
  fail "lintian: $(cat "$E2E_TMP/lintian.log")"

# ---- a fresh root ---------------------------------------------------------------------
root="$E2E_TMP/root"
dpkg -x "$deb" "$root"
game_dir="$root/usr/lib/games/orrindel"
[ "$(readlink "$root/usr/games/orrindel")" = ../lib/games/orrindel/orrindel ] || fail "games/orrindel is not the launcher link"
for data in Episodes Graphics; do
  [ "$(readlink "$game_dir/$data")" = "../../../share/games/orrindel/$data" ] || fail "the game's $data link"
done
[ -f "$game_dir/Episodes/Test/Promo4.orx" ] || fail "no episode through the game's folder"
for size in 16 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/orrindel.png"
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "icon $size"
done
desktop-file-validate "$root/usr/share/applications/org.orrindel.orrindel.desktop" ||
  fail "desktop entry"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.orrindel.orrindel.metainfo.xml" \
  >"$E2E_TMP/appstream.log" 2>&1 || fail "metainfo: $(cat "$E2E_TMP/appstream.log")"
pages=(man6/orrindel.6 man1/orx.1 man1/orrindel-sim.1 man1/orrindel-play.1 man1/orrindel-watch.1)

for page in "${pages[@]}"; do
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/$page.gz" 2>&1 >/dev/null) ||
    fail "man $page"
  [ -z "$out" ] || fail "man $page: $out"
done
[ ! -e "$root/usr/bin/orr-content" ] || fail "the content builder is installed"
if [ "$(id -u)" != 0 ]; then chmod -R a-w "$root"; fi
as_player test ! -w "$game_dir" || fail "the player can write the game's folder"

home="$E2E_TMP/home"
mkdir -p "$home"
player_owns "$home"

# ---- the installed game ---------------------------------------------------------------
# run_game ENV...: the installed game from the menu's command, Escape after its first
# picture; sets EXIT_CODE. The process environment is just what a desktop session has.
run_game() {
  start_xvfb 1024x768
  as_player env -i DISPLAY="$DISPLAY" HOME="$home" PATH="$root/usr/games:$root/usr/bin:/usr/bin:/bin" "$@" \
    orrindel >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
  GAME_PID=$!
  E2E_PIDS+=($GAME_PID)
}
stop_display() {
  kill "${E2E_PIDS[0]}" 2>/dev/null || true; wait "${E2E_PIDS[0]}" 2>/dev/null || true
  E2E_PIDS=()
}
# escape_game: waits for the game's window and its first picture of the world (WORLD,
# the mean brightness of the play area), then presses Escape; sets EXIT_CODE.
escape_game() {
  local win; win=$(wait_window Orrindel 30) || fail "no game window; stderr: $(cat "$E2E_TMP/stderr")"
  wait_world 60 "$E2E_TMP/shot.png" || true  # judged below
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  retry xdotool key Escape
  wait_exit "$GAME_PID" 30
}
check_log() {  # check_log FILE
  local log=$1
  [ -f "$log" ] || fail "no log at $log"
  mapfile -t msgs < <(log_messages "$log")
  [[ "${msgs[0]}" == "Main module initialization begin, date "* ]] || fail "line 1: ${msgs[0]}"
  [ "${msgs[1]}" = "Application: orrindel" ] || fail "line 2: ${msgs[1]}"
  [ "${msgs[2]}" = "Work folder set to $game_dir/" ] || fail "line 3: ${msgs[2]}"
  local n=${#msgs[@]}
  [ "${msgs[n-2]}" = "Main module destruction end" ] || fail "second to last: ${msgs[n-2]}"
  [ "${msgs[n-1]}" = "--End of Log--" ] || fail "last: ${msgs[n-1]}"
  grep -q 'File loading successful. File closed' "$log" || fail "episode not loaded"
  ! grep -q 'Program exception!' "$log" || fail "exception: $(grep -A1 'Program exception!' "$log")"
}

# The default state folder, made on demand.
run_game
escape_game
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE (a box left open?); stderr: $(cat "$E2E_TMP/stderr")"
awk "BEGIN{exit !($WORLD > 0.1)}" || fail "the world is not drawn (mean $WORLD)"
check_log "$home/.local/state/orrindel/log.txt"
[ "$(stat -c %a "$home/.local/state")" = 700 ] || fail "state folder made with mode $(stat -c %a "$home/.local/state")"
[ ! -e "$game_dir/log.txt" ] || fail "a log in the game's folder"
stop_display

# XDG_STATE_HOME, when set, names the state folder.
state="$E2E_TMP/state"
mkdir -p "$state"
player_owns "$state"
run_game XDG_STATE_HOME="$state"
escape_game
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE with XDG_STATE_HOME; stderr: $(cat "$E2E_TMP/stderr")"
check_log "$state/orrindel/log.txt"
stop_display

# A state folder the player cannot write: the save-failure box names it; OK ends the game.
locked="$E2E_TMP/locked"
mkdir -p "$locked"
if [ "$(id -u)" != 0 ]; then chmod a-w "$locked"; fi
run_game XDG_STATE_HOME="$locked"
escape_game
wait_box "save-failure box"
click_box_ok
wait_exit "$GAME_PID" 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE after the box"
[ ! -e "$locked/orrindel" ] || fail "a folder made in the read-only state folder"
stop_display

# ---- the installed tools --------------------------------------------------------------
tool() { as_player env -i HOME="$home" PATH="$root/usr/games:$root/usr/bin:/usr/bin:/bin" "$@"; }
episode="$root/usr/share/games/orrindel/Episodes/Test/Promo4.orx"
tool orx check "$episode" >"$E2E_TMP/orx.out" 2>&1 || fail "orx check: $(cat "$E2E_TMP/orx.out")"
tool orx info "$episode" | grep -q 'Promo4' || fail "orx info does not name the episode"
# A map of the author's own, played in the installed game without a display: a folder of
# its own in the player's state folder, a virtual screen, a screenshot, Escape.
tool orx generate "$home/own.orx" --size 30x24 --npcs 3 --items 4 --seed 7 >/dev/null
tool orx play "$home/own.orx" >"$E2E_TMP/orx-play.out" 2>&1 || fail "orx play: $(cat "$E2E_TMP/orx-play.out")"
own=$home/.local/state/orrindel/play-map/own
grep -q "Game exit code: 0" "$E2E_TMP/orx-play.out" || fail "orx play: $(cat "$E2E_TMP/orx-play.out")"
[ -s "$own/screenshot.png" ] || fail "orx play took no screenshot in $own"
# A screenshot of a window that has not drawn yet is one colour (a first start takes long).
[ "$(identify -format '%k' "$own/screenshot.png")" -gt 16 ] || fail "orx play's screenshot shows no game"
grep -q "Work folder set to $own/" "$own/log.txt" || fail "orx play did not play its own folder: $(head -n 5 "$own/log.txt")"
[ -f "$root/usr/share/doc/orrindel/mapping.md" ] || fail "the mapping guide is not installed"
# The simulator finds the installed game by itself; its log is the game's.
tool orrindel-sim --steps 100 --log "$home/sim-log.txt" >"$E2E_TMP/sim.out" 2>"$E2E_TMP/sim.err" ||
  fail "orrindel-sim: $(cat "$E2E_TMP/sim.err")"
[ "$(tail -n 1 "$E2E_TMP/sim.out" | cut -c1-12)" = '{"step": 100' ] || fail "orrindel-sim: $(tail -c 200 "$E2E_TMP/sim.out")"
grep -q "Work folder set to $game_dir/"$'\r$' "$home/sim-log.txt" || fail "orrindel-sim ran another game folder"
# A tenth of a second of sound through SDL's disk driver.
perl -e 'my $d = pack("s<*", map { ($_ * 997) % 20000 - 10000 } 1 .. 4410);
  print "RIFF", pack("V", 36 + length $d), "WAVE", "fmt ", pack("VvvVVvv", 16, 1, 1, 44100, 88200, 2, 16),
        "data", pack("V", length $d), $d;' >"$home/tone.wav"
tool SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$home/out.raw" timeout 30 orrindel-play "$home/tone.wav" \
  >"$E2E_TMP/play.out" 2>&1 || fail "orrindel-play: $(cat "$E2E_TMP/play.out")"
[ -s "$home/out.raw" ] || fail "orrindel-play wrote no sound"
echo "package end to end: ok ($(basename "$deb"), $(du -k "$deb" | cut -f1) KiB; lintian: $(grep -c '^W:' "$E2E_TMP/lintian.log" || true) warnings)"
