# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the Windows tests: the project's Wine prefix, and a new display for Wine.
source "$ORR_SOURCE/tests/e2e/lib.sh"
wine_run=${ORR_WINE_RUN:-$ORR_SOURCE/scripts/wine-run}
export WINEPREFIX=${ORR_WINEPREFIX:-${WINEPREFIX:-$HOME/.cache/orrindel-wine}}
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# new_display WIDTHxHEIGHT: Xvfb for the next Windows programs. Wine's server and its
# desktop process outlive a program by a few seconds and keep the display they started on
# (or none, after a program run without one, such as a unit test or the build's content
# step): a game started meanwhile gets no window ("Couldn't create window"). They are
# ended first.
new_display() {
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  start_xvfb "$1"
}
