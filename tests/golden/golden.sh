#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Golden runs of orrindel-sim (the list is in runs.txt).
#   golden.sh check   runs each twice, in two processes, and compares both outputs byte for
#                     byte with NAME.jsonl; a difference is shown field by field
#   golden.sh regen   rewrites NAME.jsonl and shows what changed
# ORR_BUILD names the build folder (default: build/ of this checkout).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${ORR_BUILD:-$here/../../build}
mode=${1:-check}
# ORR_SIM_RUNNER runs the programs (Wine for the Windows build, whose programs end in
# ORR_EXE_SUFFIX).
runner=${ORR_SIM_RUNNER:-}
sim="$build/bin/orrindel-sim${ORR_EXE_SUFFIX:-}"
orx="$build/bin/orx${ORR_EXE_SUFFIX:-}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# changes OLD NEW: the fields that differ, one line each, as "step S: path: old -> new".
changes() {
  python3 - "$1" "$2" <<'PY'
import json, sys

def flatten(value, path, out):
    if isinstance(value, dict):
        for k, v in value.items(): flatten(v, f"{path}.{k}" if path else k, out)
    elif isinstance(value, list) and value and isinstance(value[0], (dict, list)):
        for i, v in enumerate(value): flatten(v, f"{path}[{i}]", out)
    else:
        out[path] = json.dumps(value)

def read(name):
    runs = {}
    try:
        for line in open(name):
            if not line.startswith("{"):  # a replay's verdict
                runs[line.strip()] = {"line": line.strip()}
                continue
            state = json.loads(line)
            flat = {}
            flatten(state, "", flat)
            runs[state.get("step", "?")] = flat
    except FileNotFoundError:
        pass
    return runs

old, new = read(sys.argv[1]), read(sys.argv[2])
shown = 0
for step in sorted(set(old) | set(new), key=str):
    a, b = old.get(step, {}), new.get(step, {})
    for path in sorted(set(a) | set(b)):
        if a.get(path) != b.get(path):
            shown += 1
            if shown <= 60:
                print(f"step {step}: {path}: {a.get(path, '-')} -> {b.get(path, '-')}")
if shown > 60:
    print(f"... {shown - 60} more")
PY
}

status=0
# The map generator is held to what it made: every.json is what `orx generate` makes of the
# arguments runs.txt names for it, and each map of generated.txt is held to its SHA-256
# (regen rewrites those). Only for the native build: under Wine the runs above hold it.
if [ -z "$runner" ]; then
  "$orx" generate "$tmp/every-generated.orx" --size 18x16 --npcs 14 --items 8 --seed 21 --every-feature >/dev/null
  "$orx" decode "$tmp/every-generated.orx" >"$tmp/every-generated.json"
  if python3 -c 'import json, sys; sys.exit(json.load(open(sys.argv[1])) != json.load(open(sys.argv[2])))' \
    "$here/every.json" "$tmp/every-generated.json"; then
    echo "ok: orx generate makes every.json"
  else
    echo "FAIL: orx generate no longer makes every.json of the arguments in runs.txt"
    status=1
  fi
  : >"$tmp/generated.txt"
  while IFS='|' read -r gargs hash; do
    if [[ -z "$gargs" || "$gargs" == \#* ]]; then
      echo "$gargs" >>"$tmp/generated.txt"
      continue
    fi
    # shellcheck disable=SC2086
    "$orx" generate "$tmp/generated.orx" $gargs >/dev/null
    got=$(sha256sum "$tmp/generated.orx" | cut -d' ' -f1)
    echo "$gargs|$got" >>"$tmp/generated.txt"
    if [ "$mode" = check ] && [ "$got" != "$hash" ]; then
      echo "FAIL: orx generate $gargs makes another map (scripts/regen-golden rewrites its hash if that is meant)"
      status=1
    elif [ "$mode" = check ]; then
      echo "ok: orx generate $gargs"
    fi
  done <"$here/generated.txt"
  [ "$mode" != regen ] || cp "$tmp/generated.txt" "$here/generated.txt"
fi
while IFS='|' read -r name map args; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  mapArgs=()
  if [ "$map" != episode ]; then
    $runner "$orx" encode "$here/$map" -o "$tmp/$name.orx"
    mapArgs=(--map "$tmp/$name.orx")
  fi
  # shellcheck disable=SC2086
  run() { (cd "$here" && $runner "$sim" --game "$build/game" "${mapArgs[@]}" $args); }
  run >"$tmp/$name.jsonl"
  if [ "$mode" = regen ]; then
    if ! cmp -s "$tmp/$name.jsonl" "$here/$name.jsonl"; then
      echo "== $name changed:"
      changes "$here/$name.jsonl" "$tmp/$name.jsonl"
      cp "$tmp/$name.jsonl" "$here/$name.jsonl"
    fi
    continue
  fi
  run >"$tmp/$name.again.jsonl"
  if ! cmp -s "$tmp/$name.jsonl" "$tmp/$name.again.jsonl"; then
    echo "FAIL: $name: two runs with the same arguments differ:"
    changes "$tmp/$name.jsonl" "$tmp/$name.again.jsonl"
    status=1
  elif ! cmp -s "$here/$name.jsonl" "$tmp/$name.jsonl"; then
    echo "FAIL: $name differs from its golden run (scripts/regen-golden rewrites it if the change is meant):"
    changes "$here/$name.jsonl" "$tmp/$name.jsonl"
    status=1
  else
    echo "ok: $name"
  fi
done <"$here/runs.txt"
exit $status
