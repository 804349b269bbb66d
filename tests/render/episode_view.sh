#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Paints the shipped episode through a scene window under its own Xvfb display.
set -euo pipefail
source "$ORR_SOURCE/tests/e2e/lib.sh"
start_xvfb 640x480
export TMPDIR="$E2E_TMP"
game=$(copy_game)
"$ORR_BUILD/tests/render/render_episode_view" "$game" "$E2E_TMP/episode.bmp"
