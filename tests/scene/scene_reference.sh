#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Paints the reference scene under its own Xvfb display and compares the picture.
set -euo pipefail
source "$ORR_SOURCE/tests/e2e/lib.sh"
start_xvfb 640x480
export TMPDIR="$E2E_TMP"
"$ORR_BUILD/tests/scene/scene_reference" "$ORR_SOURCE/tests/data/scene/reference.bmp"
