#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/check-docs can fail: each kind of drift it is for, planted in a copy of the docs,
# makes it report a line it did not report before. The copy links every other part of the
# tree, so the build, the tools and the CMake files read are the real ones.
# usage: planted.sh BUILD
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root=$tmp/tree
mkdir "$root"
for entry in "$src"/* "$src"/.ci; do
  case $(basename "$entry") in
    README.md | CONTRIBUTING.md | docs | packaging) cp -r "$entry" "$root/" ;;
    build*) ;;
    *) ln -s "$entry" "$root/" ;;
  esac
done
pristine=$tmp/pristine
mkdir -p "$pristine" && cp -r "$root/README.md" "$root/CONTRIBUTING.md" "$root/docs" "$root/packaging" "$pristine/"

check() { ORR_DOCS_ROOT=$root python3 "$src/scripts/check-docs" --build "$build" 2>/dev/null || true; }
baseline=$(check)
failures=0
# plant FILE SED-EXPRESSION EXPECTED: the drift, then a new report line with EXPECTED.
plant() {
  local file=$1 expr=$2 expected=$3 after new
  sed -i -e "$expr" "$root/$file"
  cmp -s "$root/$file" "$pristine/$file" && { echo "planted.sh: '$expr' changed nothing in $file" >&2; exit 1; }
  after=$(check)
  new=$(comm -13 <(sort <<<"$baseline") <(sort <<<"$after") | grep -F -- "$expected" || true)
  if [ -n "$new" ]; then echo "caught: $new"; else
    echo "MISSED: $file: $expr (wanted \"$expected\")"; failures=$((failures + 1)); fi
  cp "$pristine/$file" "$root/$file"
}

plant README.md 's|^    scripts/play$|    scripts/playy|' "names scripts/playy, which does not exist"
plant README.md 's|`src/session` (the game session|the session (the game session|' "Layout leaves out src/session"
plant CONTRIBUTING.md 's|ninja -C build test_map |ninja -C build test_mapp |' "names the target test_mapp"
plant CONTRIBUTING.md "s|-R '^e2e_play\\\$'|-R '^e2e_plays\$'|" "matches no CTest test"
plant CONTRIBUTING.md 's|ctest --test-dir build -L unit -j 2|ctest --test-dir build -L unitt -j 2|' "CTest label unitt"
plant CONTRIBUTING.md 's|also `soak_short`|also `soak_short` and `golden_runs`|' "golden_runs is in the row of e2e"
plant CONTRIBUTING.md '/^| `wine` |/d' "label table leaves out wine"
plant CONTRIBUTING.md 's|build/tests/map/test_tiled --gtest|build/tests/map/test_map --gtest|' "test_map has no tests TiledMap"
plant packaging/man/orx.1 's/every\\-feature/every\\-kind/g' "leaves out --every-feature"
plant docs/orx.md 's|\[--every-feature\]|[--every-features]|' "names --every-features, which \`orx --help\` does not"
plant docs/reliability.md 's|scripts/fuzz --fast --runs N TARGET|scripts/fuzz --fast --rounds N TARGET|' "names --rounds, which scripts/fuzz does not take"
plant docs/performance.md 's|--keys $K --no-index >|--keys $K --no-indexes >|' "names --no-indexes, which \`orrindel-sim --help\` does not"
plant docs/sim.md 's|holds five golden runs|holds three golden runs|' "counts three golden runs"
plant docs/packaging.md 's/^\(| `scripts\/install-deps play` | \)[0-9]*/\19/' "packages named by the play set"
plant docs/content.md 's|"\$d/g"|/tmp/g|' "a path of a particular machine"
plant docs/shell.md 's|saved beside the program,|saved beside the program, as specified,|' "how the work was organised"
[ "$failures" = 0 ] || { echo "planted.sh: check-docs missed $failures planted drifts" >&2; exit 1; }
echo "planted.sh: every planted drift reported"
