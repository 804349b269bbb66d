#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installer as a player runs it, under Wine: installed silently (/S) for the current
# user, without administrator rights, into %LOCALAPPDATA%\Programs\Orrindel with a
# Start-menu entry; the installed game starts, plays and ends with Escape; uninstalled
# silently, nothing is left behind but the player's log. The zip holds the same folder.
set -euo pipefail
source "$ORR_SOURCE/tests/windows/wine.sh"
installer=$(ls "$ORR_BUILD"/packages/Orrindel-*-windows-x64.exe 2>/dev/null | head -n 1)
zip=$(ls "$ORR_BUILD"/packages/Orrindel-*-windows-x64.zip 2>/dev/null | head -n 1)
[ -n "$installer" ] && [ -n "$zip" ] || fail "no packages in $ORR_BUILD/packages (scripts/build-windows makes them)"

# The zip: one folder with the game beside its data and the tools.
unzip -q "$zip" -d "$E2E_TMP/zip"
top="$E2E_TMP/zip/$(basename "$zip" .zip)"
for f in orrindel.exe orx.exe orrindel-sim.exe orrindel-play.exe orrindel-watch.exe Episodes/Test/Promo4.orx \
  Graphics/Tiles/TerrainTiles.bmp Fonts/DejaVuSans.ttf; do
  [ -e "$top/$f" ] || fail "the zip has no $f"
done
# Only Windows' own DLLs.
for exe in "$top"/*.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for dll in $dlls; do
    case $dll in
      kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll|imm32.dll|\
      winmm.dll|version.dll|setupapi.dll|opengl32.dll|glu32.dll|msvcrt.dll|psapi.dll|ws2_32.dll|\
      cfgmgr32.dll|hid.dll|dinput8.dll|uuid.dll|comdlg32.dll|shlwapi.dll|api-ms-win-*) ;;
      *) fail "$(basename "$exe") needs $dll, which Windows does not have" ;;
    esac
  done
done

local_app=$("$wine_run" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
unix_local=$(winepath -u "$local_app" 2>/dev/null || WINEPREFIX=$WINEPREFIX winepath -u "$local_app")
installed="$unix_local/Programs/Orrindel"
# What a run stopped half-way left behind (the installer refuses to install over an install
# it finds listed).
rm -rf "$installed" "$unix_local/Orrindel"
"$wine_run" reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orrindel' /f >/dev/null 2>&1 || true
find "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/Orrindel' -prune -exec rm -rf {} + 2>/dev/null || true

"$wine_run" "$installer" /S
wineserver -w
[ -x "$installed/orrindel.exe" ] || fail "nothing installed in $installed"
[ -e "$installed/Episodes/Test/Promo4.orx" ] || fail "the episode is not installed"
[ -e "$installed/Uninstall.exe" ] || fail "no uninstaller"
menu=$(find "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/Orrindel*' -name 'Orrindel.lnk' | head -n 1)
[ -n "$menu" ] || fail "no Start-menu entry"
grep -q 'Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Orrindel' "$WINEPREFIX/user.reg" ||
  fail "the uninstaller is not listed for the user"
! grep -q 'CurrentVersion\\\\Uninstall\\\\Orrindel' "$WINEPREFIX/system.reg" || fail "the installer wrote to the machine's part"

# The installed game plays.
new_display 1024x768
"$wine_run" "$installed/orrindel.exe" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
pid=$!
E2E_PIDS+=($pid)
win=$(wait_window Orrindel 120) || fail "the installed game shows no window"
wait_world 120 || fail "the installed game draws no world (mean $WORLD)"
xdotool windowfocus --sync "$win" 2>/dev/null || true
retry xdotool key Escape
wait_exit "$pid" 60
[ "$EXIT_CODE" = 0 ] || fail "the installed game ended with $EXIT_CODE"
log="$installed/log.txt"
[ -e "$log" ] || log="$unix_local/Orrindel/log.txt"
tail -n 1 "$log" | grep -q -- '--End of Log--' || fail "the installed game's log is not complete"

# The installed game in a folder its player cannot write to (as under Program Files): the log
# goes to the player's %LOCALAPPDATA%\Orrindel\ and is complete. Root writes everywhere, so
# as root the game runs as nobody, with a Wine prefix of its own.
ro=$(mktemp -d)
chmod 755 "$ro"
cp -r "$installed" "$ro/Orrindel"
rm -f "$ro/Orrindel/log.txt"
chmod -R a+rX,a-w "$ro/Orrindel"
if [ "$(id -u)" = 0 ]; then
  player_home=$(mktemp -d)
  # The runner where nobody can read it (the clone may sit in root's home).
  install -m 755 "$wine_run" "$player_home/wine-run"
  chown 65534:65534 "$player_home"
  as_player=(setpriv --reuid=65534 --regid=65534 --clear-groups
    env HOME="$player_home" ORR_WINEPREFIX="$player_home/wine" WINEPREFIX="$player_home/wine")
  player_run=$player_home/wine-run
  player_log="$player_home/wine/drive_c/users/nobody/AppData/Local/Orrindel/log.txt"
else
  player_home=""
  as_player=(env)
  player_run=$wine_run
  player_log="$unix_local/Orrindel/log.txt"
  rm -f "$player_log"
fi
"${as_player[@]}" "$player_run" "$ro/Orrindel/orrindel.exe" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
pid=$!
E2E_PIDS+=($pid)
win=$(wait_window Orrindel 120) || fail "the game in a read-only folder shows no window; stderr: $(cat "$E2E_TMP/stderr")"
wait_world 120 || fail "the game in a read-only folder draws no world (mean $WORLD)"
xdotool windowfocus --sync "$win" 2>/dev/null || true
retry xdotool key Escape
wait_exit "$pid" 60
[ "$EXIT_CODE" = 0 ] || fail "the game in a read-only folder ended with $EXIT_CODE"
[ ! -e "$ro/Orrindel/log.txt" ] || fail "the game wrote into its read-only folder"
[ -f "$player_log" ] || fail "no log in the player's %LOCALAPPDATA%\\Orrindel\\"
tail -n 1 "$player_log" | grep -q -- '--End of Log--' || fail "the log in %LOCALAPPDATA% is not complete"
"${as_player[@]}" "$wineserver" -k 2>/dev/null || true
chmod -R u+w "$ro"
rm -rf "$ro" ${player_home:+"$player_home"}

"$wine_run" "$installed/Uninstall.exe" /S
wineserver -w
left=$(cd "$installed" 2>/dev/null && find . -type f ! -name log.txt ! -name last-run.replay | head -n 5 || true)
[ -z "$left" ] || fail "the uninstaller left $left"
[ ! -e "$menu" ] || fail "the Start-menu entry is left"
! grep -q 'CurrentVersion\\\\Uninstall\\\\Orrindel' "$WINEPREFIX/user.reg" || fail "the uninstall entry is left"
rm -rf "$installed" "$unix_local/Orrindel"
echo "installer under Wine: ok (zip $(du -k "$zip" | cut -f1) KiB, installer $(du -k "$installer" | cut -f1) KiB)"
