#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Edits an exported TMX map the way an author would in the editor, and checks that the
imported map shows exactly those edits.

  tiled_edit.py edit IN.tmx OUT.tmx PLAN.json   paint a wall, move a creature one cell east,
                                                turn a decoration a quarter clockwise;
                                                PLAN.json records what was done
  tiled_edit.py check BEFORE.json AFTER.json PLAN.json
                                                BEFORE and AFTER are `orx decode` output
  tiled_edit.py flip IN.tmx OUT.tmx             mirror the north-west terrain tile, which
                                                the game cannot do
"""
import json
import sys
import xml.etree.ElementTree as ET

TURN_FLAGS = [0, 0xA0000000, 0xC0000000, 0x60000000]
FLAGS = 0xF0000000


def layer_cells(root, name):
    layer = root.find(f"layer[@name='{name}']")
    data = layer.find("data")
    assert data.get("encoding") == "csv", "the test edits CSV layers"
    return data, [int(v) for v in data.text.replace("\n", "").split(",")]


def store(data, cells, width):
    rows = [",".join(str(c) for c in cells[i:i + width]) for i in range(0, len(cells), width)]
    data.text = "\n" + ",\n".join(rows) + "\n"


def edit(src, dst, plan_path):
    tree = ET.parse(src)
    root = tree.getroot()
    width, height = int(root.get("width")), int(root.get("height"))
    first = {t.get("name"): int(t.get("firstgid")) for t in root.findall("tileset")}
    heights_data, heights = layer_cells(root, "height")
    deco_data, decos = layer_cells(root, "decoration")
    plan = {}
    # A wall of height 2 on the first open cell of the middle row that holds no decoration.
    row = height // 2
    for column in range(width):
        i = row * width + column
        if heights[i] == 0 and decos[i] == 0:
            heights[i] = first["height"] + 2
            plan["wall"] = [column, height - 1 - row, 2]
            break
    store(heights_data, heights, width)
    # The first decoration that is not turned, turned once clockwise.
    for i, gid in enumerate(decos):
        if gid != 0 and gid & FLAGS == 0:
            decos[i] = gid | TURN_FLAGS[1]
            plan["turned"] = [i % width, height - 1 - i // width]
            break
    store(deco_data, decos, width)
    # The first creature, dragged one cell east.
    for index, obj in enumerate(root.find("objectgroup[@name='entities']").findall("object")):
        if obj.get("type") == "creature":
            obj.set("x", repr(float(obj.get("x")) + 32))
            plan["moved"] = index
            break
    assert len(plan) == 3, plan
    tree.write(dst, encoding="UTF-8", xml_declaration=True)
    json.dump(plan, open(plan_path, "w"))


def flip(src, dst):
    tree = ET.parse(src)
    data, cells = layer_cells(tree.getroot(), "terrain")
    cells[0] |= 0x80000000
    store(data, cells, int(tree.getroot().get("width")))
    tree.write(dst, encoding="UTF-8", xml_declaration=True)


def check(before_path, after_path, plan_path):
    before, after = json.load(open(before_path)), json.load(open(after_path))
    plan = json.load(open(plan_path))
    x, y, h = plan["wall"]
    before["HeightMap"][y][x] = h
    x, y = plan["turned"]
    before["DecorationGrid"][y][x][1] = 1
    before["EntitySpawns"][plan["moved"]]["x"] += 1
    if before != after:
        for key in before:
            if before[key] != after[key]:
                print(f"differs beyond the edits: {key}", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    {"edit": edit, "check": check, "flip": flip}[sys.argv[1]](*sys.argv[2:])
