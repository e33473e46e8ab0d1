# The drafting aids through zrxhost scripts: polar and distance input, object snaps on every entity
# kind, the snap grid, ortho, the commands that set them and their echoes, and picks of every kind.
import unittest

import hostrun
import tally_common as tc


def plan(msp, doc):
    """P100 at 0,-20, lines, a circle, an arc, an open polyline, a point, a block, two hatches."""
    msp.add_text("P100", dxfattribs={"height": 2.5}).set_placement((0, -20))
    msp.add_line((0, 0), (100, 0))
    msp.add_circle((50, 50), 20)
    msp.add_arc((200, 200), 10, 0, 90)
    msp.add_lwpolyline([(200, 0), (300, 0), (300, 100)])
    msp.add_point((400, 400))
    msp.add_linear_dim(base=(900, 20), p1=(900, 0), p2=(950, 0)).render()
    msp.add_lwpolyline([(800, 0, 0, 0, 1), (820, 0, 0, 0, 0)], format="xyseb")  # a half circle about 810,0
    msp.add_line((250, -10), (250, 10))  # crosses the polyline's first side at 250,0
    block = doc.blocks.new("DOOR")
    block.add_line((0, 0), (10, 0))
    msp.add_blockref("DOOR", (500, 0))
    hatch = msp.add_hatch()
    hatch.paths.add_polyline_path([(600, 0), (650, 0), (650, 50), (600, 50)])
    lines = msp.add_hatch()
    lines.set_pattern_fill("ANSI31", scale=5)
    lines.paths.add_polyline_path([(700, 0), (750, 0), (750, 50), (700, 50)])
    doc.layers.add("HIDDEN").off()
    msp.add_circle((0, 500), 5, dxfattribs={"layer": "HIDDEN"})


# The free method from P100's digits: the base point, then each second point is one copy, placed at
# P100's insertion point plus the offset from the base point.
FREE = ["tally", "5,-19"]


class PointInput(tc.TallyCase):
    def test_polar_and_distance_input(self):
        # Base 0,0 typed; @10<90 from it; 20<0 from the origin; a bare 5 from the last point 20,0
        # toward the cursor at 23,9, which ortho bends to 20,9.
        result, doc = self.tally(plan, FREE + ["0,0", "@10<90", "20<0", "<move 23,9>", "5", "<esc>"],
                                 sysvars={"ORTHOMODE": 1})
        self.assertCopies(doc, [("P101", (0, -10)), ("P102", (20, -20)), ("P103", (20, -15))])

    def test_a_number_where_a_number_is_the_answer_stays_a_number(self):
        # The count is a number answered as itself; a bare number in the drag while the cursor rests
        # on the base point has no direction and is refused, the drag going on.
        result, doc = self.tally(plan, ["tally"] + tc.LINE + ["5,-19", "N", "2", "0,0", "7", "@30<0"])
        self.assertIn("\nInvalid point.", result.stdout)
        self.assertCopies(doc, [("P101", (15, -20)), ("P102", (30, -20))])


class ObjectSnaps(tc.TallyCase):
    def test_running_snaps_apply_to_clicks_and_moves_not_to_typed_points(self):
        # END, CEN, QUA, NOD, INS (1+4+16+8+64) with a 3-unit aperture. Each copy lands at P100's
        # insertion point plus (snapped point - base point), the base point clicked on the line's end.
        lines = FREE + ["<click 1,1>",
                        "<click 52,51>",        # centre of the circle: 50,50
                        "<click 69,49>",        # quadrant of the circle: 70,50
                        "<click 299,98>",       # the polyline's last vertex: 300,100
                        "<click 401,399>",      # the point: 400,400
                        "<click 509,1>",        # the block's line end, placed: 510,0
                        "<click 501,-1>",       # the insert's insertion point: 500,0
                        "<click 649,49>",       # the hatch boundary's corner: 650,50
                        "<click 749,49>",       # the pattern hatch's, not its pattern lines' ends: 750,50
                        "<click 811,1>",        # the centre of the polyline's arc segment: 810,0
                        "<click 949,1>",        # the dimension's second definition point: 950,0
                        "<click 1,500>",        # a circle on a layer that is off: nothing, 1,500
                        "<move 211,199>", "<click 210.5,201>",  # the arc's start (quadrant 0): 210,200
                        "52,51",                # typed: exact
                        "<esc>"]
        result, doc = self.tally(plan, lines, sysvars={"OSMODE": 1 + 4 + 8 + 16 + 64, "APERTURE": 3})
        expected = [(50, 50), (70, 50), (300, 100), (400, 400), (510, 0), (500, 0), (650, 50), (750, 50), (810, 0), (950, 0), (1, 500),
                    (210, 200), (52, 51)]
        self.assertCopies(doc, [(f"P{101 + i}", (x, y - 20)) for i, (x, y) in enumerate(expected)])

    def test_one_off_snaps_come_before_the_prompts_keywords_and_last_one_point(self):
        # OSMODE 0: MID then NEA then PER for one point each; then the cursor is taken as it is.
        lines = FREE + ["0,0", "mid", "<click 45,3>", "NEA", "<click 61,3>", "per", "<click 298,5>",
                        "<click 51,1>", "int", "<click 252,3>", "<esc>"]
        result, doc = self.tally(plan, lines)
        self.assertIn(":mid\nof 45,3", result.stdout)
        # PER: the foot of the perpendicular from the last point 61,0 on the polyline's side x=300.
        self.assertCopies(doc, [("P101", (50, -20)), ("P102", (61, -20)), ("P103", (300, -20)),
                                ("P104", (51, -19)), ("P105", (250, -20))])

    def test_grid_snap_and_the_commands_that_set_the_aids(self):
        lines = ["OSNAP", "END,FOO", "", "ORTHO", "ON", "ORTHO", "OFF", "SNAP", "5", "GRID", "ON",
                 "OSNAP", "NONE"] + FREE + ["<click 1,1>", "<click 12.4,7.6>", "<esc>"]
        result, doc = self.tally(plan, lines, sysvars={"OSMODE": 2})
        for echo in ("\nUnknown object snap mode \"FOO\"", "\n<Ortho on>", "\n<Ortho off>", "\n<Snap on>",
                     "\n<Grid on>", "modes <MID>: "):
            self.assertIn(echo, result.stdout)
        # OSMODE kept MID after the refused list, then NONE: the grid alone places the clicks.
        self.assertCopies(doc, [("P101", (10, -10))])
        zh, _ = self.tally(plan, ["ORTHO", "ON", "SNAP", "OFF", "GRID", "ON", "OSNAP", "XYZ", ""], verlan="zh-CN")
        for echo in ("\n<正交 开>", "\n<捕捉 关>", "\n<栅格 开>", "\n未知的对象捕捉模式“XYZ”"):
            self.assertIn(echo, zh.stdout)

    def test_bad_settings_are_refused(self):
        for name, value in (("OSMODE", "40000"), ("APERTURE", "0"), ("SNAPUNIT", "0"), ("GRIDMODE", "2")):
            with self.subTest(name=name):
                result = self.run_host("--set", f"{name}={value}", script="")
                self.assertExit(result, 1)
                self.assertIn(name, result.stderr)


class Picks(tc.TallyCase):
    def test_a_pick_finds_every_shown_kind_and_nothing_hidden(self):
        picks = ["70,50", "250,0.2", "400,400", "505,0", "625,25", "210,200"]
        lines = []
        for p in picks:
            lines += ["tally", p]
        lines += ["tally", "5,500"]  # the circle on a layer that is off
        result, _ = self.tally(plan, lines)
        self.assertEqual(result.stdout.count(tc.WRONG_ENTITY), len(picks), result.stdout)

    def test_picks_and_snaps_follow_the_drawings_changes(self):
        # The first pick indexes the drawing; the copy P101 made after it is picked and snapped to,
        # and once undone it is neither.
        lines = FREE + ["0,0", "0,30", "<esc>",
                        "tally", "5,11", "INS", "<click 1,9>", "0,30", "<esc>",   # P102 at 0,40
                        "U", "U",
                        "tally", "5,11",                                      # nothing there now
                        "tally", "5,-19", "0,0", "INS", "<click 1,9>", "<esc>"]  # P101 again, at 1,-11
        result, doc = self.tally(plan, lines)
        self.assertEqual(result.stdout.count("\nUndone: TALLY"), 2, result.stdout)  # P102 was made
        self.assertCopies(doc, [("P101", (1, -11))])
        self.assertEqual([t.dxf.text for t in self.texts(doc)], ["P100", "P101"])


if __name__ == "__main__":
    unittest.main()
