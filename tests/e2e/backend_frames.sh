#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Both renderer backends draw the same frames: the shipped episode, an every-feature map and
# maps one cell wide and two cells high, each at three screen sizes, with a fixed seed and
# fixed steps (orrindel-framecheck), compared frame by frame.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
game=$(copy_game)
orx="$ORR_BUILD/bin/orx" check="$ORR_BUILD/bin/orrindel-framecheck"
"$orx" generate "$E2E_TMP/every.orx" --size 96x64 --npcs 150 --items 150 --seed 4 --every-feature >/dev/null
"$orx" generate "$E2E_TMP/narrow.orx" --size 1x60 --npcs 2 --items 2 --seed 4 --every-feature >/dev/null
"$orx" generate "$E2E_TMP/flat.orx" --size 40x2 --npcs 2 --items 2 --seed 4 --every-feature >/dev/null
frames=0 failed=0
for screen in 1024x768 640x480 1280x1024; do
  start_xvfb "$screen"
  for map in episode every narrow flat; do
    source=$map
    [ "$map" = episode ] || source="$E2E_TMP/$map.orx"
    for renderer in gl1 es3; do
      mkdir -p "$E2E_TMP/$renderer"
      "$check" "$game" "$source" "$renderer" "$E2E_TMP/$renderer/$screen-$map" >"$E2E_TMP/$renderer.out" ||
        fail "$renderer on $map at $screen: $(cat "$E2E_TMP/$renderer.out")"
    done
    for frame in "$E2E_TMP"/gl1/"$screen-$map"-*.ppm; do
      frames=$((frames + 1))
      "$check" --compare "$frame" "$E2E_TMP/es3/$(basename "$frame")" || failed=$((failed + 1))
    done
  done
done
[ "$frames" -eq 96 ] || fail "$frames frames drawn, 96 expected"
[ "$failed" -eq 0 ] || fail "$failed of $frames frames differ between the backends"
echo "all $frames frames agree"
