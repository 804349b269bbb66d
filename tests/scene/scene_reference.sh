#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Paints the reference scene under its own Xvfb display with each renderer backend and
# compares the picture; then the lights scene, the shader backend's against the
# fixed-function one's.
set -euo pipefail
source "$ORR_SOURCE/tests/e2e/lib.sh"
start_xvfb 640x480
export TMPDIR="$E2E_TMP"
reference="$ORR_BUILD/tests/scene/scene_reference"
for renderer in gl1 es3; do
  "$reference" --renderer "$renderer" "$ORR_SOURCE/tests/data/scene/reference.bmp"
done
"$reference" --renderer gl1 --lights --write "$E2E_TMP/lights-gl1.bmp"
"$reference" --renderer es3 --lights "$E2E_TMP/lights-gl1.bmp"
