#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The episode through the real Tiled editor and back. The editor runs headless (Qt's
# offscreen platform) in a clean environment with its own home, as on a fresh CI machine.
#  1. exported with each layer encoding, converted by the editor to its JSON form and
#     imported: `orx decode` prints exactly the episode again;
#  2. edited as an author would (a wall painted, a creature moved, a decoration turned),
#     saved again by the editor as TMX and imported: exactly those changes show;
#  3. a flipped tile is refused with one line naming its cell.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
orx=$ORR_BUILD/bin/orx
episode=$ORR_BUILD/game/Episodes/Test/Promo4.orx
command -v tiled >/dev/null || fail "the Tiled editor is not installed (scripts/install-deps)"

mkdir -p "$E2E_TMP/home" "$E2E_TMP/runtime"
chmod 700 "$E2E_TMP/runtime"
tiled_run() {
  env -i PATH=/usr/bin:/bin HOME="$E2E_TMP/home" XDG_RUNTIME_DIR="$E2E_TMP/runtime" \
    QT_QPA_PLATFORM=offscreen timeout 120 tiled "$@" >"$E2E_TMP/tiled.log" 2>&1 ||
    fail "tiled $*: $(cat "$E2E_TMP/tiled.log")"
}

"$orx" decode "$episode" >"$E2E_TMP/episode.json"
for encoding in csv base64 zlib gzip zstd; do
  dir=$E2E_TMP/$encoding
  "$orx" export-tiled "$episode" "$dir/promo4.tmx" --encoding "$encoding" || fail "export ($encoding)"
  tiled_run --export-map json "$dir/promo4.tmx" "$dir/promo4.tmj"
  [ -s "$dir/promo4.tmj" ] || fail "the editor wrote no JSON map ($encoding)"
  "$orx" import-tiled "$dir/promo4.tmj" "$dir/back.orx" || fail "import of the editor's JSON ($encoding)"
  "$orx" decode "$dir/back.orx" >"$dir/back.json"
  cmp -s "$E2E_TMP/episode.json" "$dir/back.json" ||
    fail "the round trip ($encoding) changed the map: $(diff "$E2E_TMP/episode.json" "$dir/back.json" | head -n 8)"
done

dir=$E2E_TMP/csv
python3 "$(dirname "$0")/tiled_edit.py" edit "$dir/promo4.tmx" "$dir/edited.tmx" "$dir/plan.json"
tiled_run --export-map tmx "$dir/edited.tmx" "$dir/saved.tmx"
"$orx" import-tiled "$dir/saved.tmx" "$dir/edited.orx" || fail "import of the edited map"
"$orx" decode "$dir/edited.orx" >"$dir/edited.json"
python3 "$(dirname "$0")/tiled_edit.py" check "$E2E_TMP/episode.json" "$dir/edited.json" "$dir/plan.json" ||
  fail "the imported map does not show exactly the author's edits ($(cat "$dir/plan.json"))"
# What the game cannot do is refused with one line naming the cell, and nothing is written.
python3 "$(dirname "$0")/tiled_edit.py" flip "$dir/promo4.tmx" "$dir/flipped.tmx"
if "$orx" import-tiled "$dir/flipped.tmx" "$dir/flipped.orx" 2>"$dir/refusal"; then fail "a flipped tile was taken"; fi
[ "$(wc -l <"$dir/refusal")" = 1 ] || fail "the refusal is not one line: $(cat "$dir/refusal")"
grep -q "layer terrain, cell 0,[0-9]* (Tiled column 0, row 0): the tile is flipped" "$dir/refusal" ||
  fail "the refusal does not name the cell: $(cat "$dir/refusal")"
[ ! -e "$dir/flipped.orx" ] || fail "a refused map was written"
echo "PASS: round trips through the editor; an author's edits arrive exactly"
