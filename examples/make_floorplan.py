#!/usr/bin/python3
# Writes examples/floorplan.dxf: one floor of six rooms, the first numbered 101, for the picture demo.
"""The drawing examples/floorplan.scr numbers: walls, doors, windows, furniture, a hatched corridor,
dimensions and a title around the room number "101"; the script counts the other rooms 102 to 106.

Usage: examples/make_floorplan.py [OUT.dxf]   (default: examples/floorplan.dxf)
Then:  examples/run-demo.sh BUILD_DIR    (writes out/floorplan.dxf and out/floorplan.png, then the sample demo)
"""
import os
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

WIDTH, DEPTH = 180.0, 110.0  # outer size, in decimetres
ROOM_DEPTH = 45.0
CORRIDOR = DEPTH - 2 * ROOM_DEPTH
ROOM_WIDTH = WIDTH / 3


def room_centres():
    """Where the room numbers go: top row left to right, then the bottom row."""
    top = [(ROOM_WIDTH * (i + 0.5), DEPTH - ROOM_DEPTH / 2) for i in range(3)]
    bottom = [(ROOM_WIDTH * (i + 0.5), ROOM_DEPTH / 2) for i in range(3)]
    return top + bottom


def blocks(doc):
    door = doc.blocks.new("DOOR")
    door.add_line((0, 0), (0, 9))
    door.add_arc((0, 0), 9, 0, 90)
    window = doc.blocks.new("WINDOW")
    for y in (-1, 0, 1):
        window.add_line((0, y), (14, y))
    table = doc.blocks.new("TABLE")
    table.add_circle((0, 0), 4, dxfattribs={"color": 0})
    for angle in range(0, 360, 90):
        chair = table.add_lwpolyline([(-1.5, 5), (1.5, 5), (1.5, 8), (-1.5, 8)], close=True,
                                     dxfattribs={"color": 0})
        chair.rotate_z(angle * 3.141592653589793 / 180)
    bed = doc.blocks.new("BED")
    bed.add_lwpolyline([(0, 0), (14, 0), (14, 20), (0, 20)], close=True)
    bed.add_lwpolyline([(1.5, 15), (12.5, 15), (12.5, 19), (1.5, 19)], close=True)


def make(path):
    doc = ezdxf.new("R2018", setup=True)
    doc.header["$LTSCALE"] = 2
    for name, colour, linetype in (("WALLS", 7, "CONTINUOUS"), ("DOORS", 3, "CONTINUOUS"),
                                   ("WINDOWS", 4, "CONTINUOUS"), ("FURNITURE", 8, "CONTINUOUS"),
                                   ("FLOOR", 252, "CONTINUOUS"), ("AXES", 1, "DASHDOT"),
                                   ("DIMENSIONS", 2, "CONTINUOUS"), ("NUMBERS", 6, "CONTINUOUS")):
        doc.layers.add(name, color=colour, linetype=linetype)
    blocks(doc)
    msp = doc.modelspace()

    walls = {"layer": "WALLS"}
    msp.add_lwpolyline([(0, 0), (WIDTH, 0), (WIDTH, DEPTH), (0, DEPTH)], close=True,
                       dxfattribs=dict(walls, const_width=2.0))
    for y in (ROOM_DEPTH, DEPTH - ROOM_DEPTH):
        msp.add_lwpolyline([(0, y), (WIDTH, y)], dxfattribs=dict(walls, const_width=1.0))
    for x in (ROOM_WIDTH, 2 * ROOM_WIDTH):
        msp.add_lwpolyline([(x, 0), (x, ROOM_DEPTH)], dxfattribs=dict(walls, const_width=1.0))
        msp.add_lwpolyline([(x, DEPTH - ROOM_DEPTH), (x, DEPTH)], dxfattribs=dict(walls, const_width=1.0))

    # Doors open from the corridor into each room; windows sit in the outer walls.
    for i in range(3):
        x = ROOM_WIDTH * i + 6
        msp.add_blockref("DOOR", (x, DEPTH - ROOM_DEPTH), dxfattribs={"layer": "DOORS"})
        msp.add_blockref("DOOR", (x + 9, ROOM_DEPTH), dxfattribs={"layer": "DOORS", "rotation": 180})
        msp.add_blockref("WINDOW", (ROOM_WIDTH * i + 23, DEPTH), dxfattribs={"layer": "WINDOWS"})
        msp.add_blockref("WINDOW", (ROOM_WIDTH * i + 23, 0), dxfattribs={"layer": "WINDOWS"})

    # The corridor's floor, a centre line along it, tables and beds in the rooms.
    floor = msp.add_hatch(dxfattribs={"layer": "FLOOR"})
    floor.set_pattern_fill("ANSI37", scale=3)
    floor.paths.add_polyline_path([(1, ROOM_DEPTH + 0.5), (WIDTH - 1, ROOM_DEPTH + 0.5),
                                   (WIDTH - 1, DEPTH - ROOM_DEPTH - 0.5), (1, DEPTH - ROOM_DEPTH - 0.5)],
                                  is_closed=True)
    msp.add_line((-8, DEPTH / 2), (WIDTH + 8, DEPTH / 2), dxfattribs={"layer": "AXES"})
    for i, (x, y) in enumerate(room_centres()):
        if i % 2 == 0:
            msp.add_blockref("TABLE", (x + 14, y - 6), dxfattribs={"layer": "FURNITURE", "color": 30})
        else:
            msp.add_blockref("BED", (x + 8, y - 12 if y > DEPTH / 2 else y - 8),
                             dxfattribs={"layer": "FURNITURE", "color": 5})
    plant = msp.add_spline([(WIDTH - 12, 6), (WIDTH - 8, 10), (WIDTH - 12, 14), (WIDTH - 6, 16)],
                           dxfattribs={"layer": "FURNITURE", "color": 3})
    plant.dxf.color = 3

    dims = {"layer": "DIMENSIONS"}
    msp.add_linear_dim(base=(0, DEPTH + 12), p1=(0, DEPTH), p2=(WIDTH, DEPTH), dxfattribs=dims,
                       override={"dimtxt": 4, "dimasz": 3, "dimlfac": 1}).render()
    msp.add_linear_dim(base=(-12, 0), p1=(0, 0), p2=(0, DEPTH), angle=90, dxfattribs=dims,
                       override={"dimtxt": 4, "dimasz": 3, "dimlfac": 1}).render()
    msp.add_text("Floor 1", dxfattribs={"height": 6, "layer": "NUMBERS", "color": 7}).set_placement(
        (WIDTH / 2, -14), align=TextEntityAlignment.MIDDLE_CENTER)

    # The first room's number; the demo script counts the others from it.
    x, y = room_centres()[0]
    msp.add_text("101", dxfattribs={"height": 5, "layer": "NUMBERS"}).set_placement(
        (x, y), align=TextEntityAlignment.MIDDLE_CENTER)
    doc.saveas(path)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    make(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "floorplan.dxf"))
