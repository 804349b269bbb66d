#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The spatial indexes and the sides left out change nothing: on generated maps of several
# sizes and seeds (one of every feature, with turned raised cells), with the player walking,
# turning, firing and backing off, orrindel-sim prints the same bytes after every one of
# 2,000 steps with and without --no-index.
# ORR_BUILD names the build folder (default: build/ of this checkout).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${ORR_BUILD:-$here/../../build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
keys=Up@1-2000,Left@1-30,Left@400-430,Right@800-815,Space@100-140,Space@700-760,Down@1500-1600,Left@1200-1260
status=0
for map in "32x24 30 30 1" "20x48 40 20 2" "56x18 25 40 3" "40x30 30 30 4 --every-feature"; do
  read -r size npcs items seed every <<<"$map"
  # shellcheck disable=SC2086
  "$build/bin/orx" generate "$tmp/m.orx" --size "$size" --npcs "$npcs" --items "$items" --seed "$seed" $every
  for index in "" --no-index; do
    "$build/bin/orrindel-sim" --map "$tmp/m.orx" --seed "$seed" --steps 2000 --dump-every 1 \
      --keys "$keys" $index >"$tmp/out$index.jsonl"
  done
  if cmp -s "$tmp/out.jsonl" "$tmp/out--no-index.jsonl"; then
    echo "$size seed $seed: identical over $(wc -l <"$tmp/out.jsonl") lines"
  else
    line=$(cmp "$tmp/out.jsonl" "$tmp/out--no-index.jsonl" | sed -n 's/.* line \([0-9]*\)$/\1/p' || true)
    echo "$size seed $seed: indexed and plain runs differ first at step $((line - 1))" >&2
    status=1
  fi
done
exit $status
