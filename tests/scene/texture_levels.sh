#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Our texture scaling and mipmaps against GLU's, under its own Xvfb display.
set -euo pipefail
source "$ORR_SOURCE/tests/e2e/lib.sh"
start_xvfb 640x480
"$ORR_BUILD/tests/scene/scene_texture_levels"
