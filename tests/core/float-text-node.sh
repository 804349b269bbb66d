#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# FloatText built with emscripten and run under node must write and read every number as
# the native build's C++ library does: float_text_sweep's table from the library's own
# conversions (native, --library) against ours compiled to WebAssembly, byte for byte.
#   float-text-node.sh [THOUSANDS]   values and texts in the table (default 200)
# ORR_BUILD names the native build folder (default: build/ of this checkout); needs em++
# and node.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$here/../..
build=${ORR_BUILD:-$root/build}
count=${1:-200}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Optimised links run emscripten's JavaScript optimiser, which needs Debian's acorn.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
em++ -std=c++17 -O2 -I"$root/src" "$root/src/core/FloatText.cpp" "$here/FloatTextSweep.cpp" -o "$tmp/sweep.js"
"$build/bin/float_text_sweep" print "$count" --library > "$tmp/library.txt"
# node 20's own fetch breaks emscripten 3.1.6's loader.
node --no-experimental-fetch "$tmp/sweep.js" print "$count" > "$tmp/node.txt"
if ! cmp -s "$tmp/library.txt" "$tmp/node.txt"; then
  echo "float-text-node: the WebAssembly build differs from the native library:" >&2
  diff "$tmp/library.txt" "$tmp/node.txt" | head -20 >&2
  exit 1
fi
echo "float-text-node: $(wc -l < "$tmp/node.txt") lines the same ($((count * 2000)) values written, $((count * 1000)) texts read as float and double)"
