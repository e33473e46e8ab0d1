# What tally does with its source: every text alignment, rotation, paper space, MText, a wrong entity.
import math
import unittest

import ezdxf
from ezdxf.enums import TextEntityAlignment as A

import tally_common as tc

# (alignment, x offset of the pick from the placement point, y offset, reference point is the position)
ALIGNMENTS = [
    (A.LEFT, 1, 1, True), (A.CENTER, 0, 1, False), (A.RIGHT, -1, 1, False), (A.ALIGNED, 10, 1, True),
    (A.MIDDLE, 0, 0, False), (A.FIT, 10, 1, True), (A.BOTTOM_LEFT, 1, 1, False), (A.BOTTOM_CENTER, 0, 1, False),
    (A.BOTTOM_RIGHT, -1, 1, False), (A.MIDDLE_LEFT, 1, 0, False), (A.MIDDLE_CENTER, 0, 0, False),
    (A.MIDDLE_RIGHT, -1, 0, False), (A.TOP_LEFT, 1, -1, False), (A.TOP_CENTER, 0, -1, False),
    (A.TOP_RIGHT, -1, -1, False),
]


class Alignments(tc.TallyCase):
    def test_copies_are_placed_by_the_reference_point_of_every_alignment(self):
        def build(msp, doc):
            for i, (align, _, _, _) in enumerate(ALIGNMENTS):
                text = msp.add_text(f"{i + 1}00", dxfattribs={"height": 2.5})
                y = 20 * (i + 1)
                if align in (A.ALIGNED, A.FIT):
                    text.set_placement((0, y), (20, y), align=align)
                else:
                    text.set_placement((0, y), align=align)
            rotated = msp.add_text("1600", dxfattribs={"height": 2.5, "rotation": 30})
            rotated.set_placement((0, 340))

        lines = ["tally"] + tc.LINE
        for i, (_, dx, dy, _) in enumerate(ALIGNMENTS):
            if i > 0:
                lines.append("tally")
            lines += [f"{dx},{20 * (i + 1) + dy}", "10", "0,0", "25,0"]
        c, s = math.cos(math.radians(30)), math.sin(math.radians(30))
        lines += ["tally", f"{2 * c - s},{340 + 2 * s + c}", "10", "0,0", "25,0"]
        result, doc = self.tally(build, lines)
        source_doc = ezdxf.readfile(self.path("in.dxf"))
        self.assertEqual(result.stdout.count(tc.MODE_LINE + "1"), 16, result.stdout)
        self.assertNoMark(doc)

        for i, (align, _, _, by_position) in enumerate(ALIGNMENTS):
            with self.subTest(alignment=align.name):
                source = self.text_named(doc, f"{i + 1}00")
                original = [e for e in source_doc.modelspace() if e.dxf.text == f"{i + 1}00"][0]
                # The source keeps its reference point.
                ref = "insert" if by_position else "align_point"
                self.assertPoint(source.dxf.get(ref), tuple(original.dxf.get(ref)))
                for k, name in ((1, f"{i + 1}01"), (2, f"{i + 1}02")):
                    copy = self.text_named(doc, name)
                    offset = (10 * k, 0)
                    self.assertEqual(copy.dxf.halign, source.dxf.halign)
                    self.assertEqual(copy.dxf.valign, source.dxf.valign)
                    self.assertAlmostEqual(copy.dxf.height, source.dxf.height, places=6)
                    if by_position:
                        self.assertPoint(copy.dxf.insert, _moved(source.dxf.insert, offset))
                    if align in (A.ALIGNED, A.FIT):
                        # Same baseline length and slope as the source.
                        self.assertPoint(copy.dxf.align_point, _moved(source.dxf.align_point, offset))
                    if not by_position:
                        self.assertPoint(copy.dxf.align_point, _moved(source.dxf.align_point, offset))

        with self.subTest(alignment="rotated"):
            self.assertCopies(doc, [("1601", (10, 340)), ("1602", (20, 340))])
            self.assertAlmostEqual(self.text_named(doc, "1601").dxf.rotation, 30, places=6)


def _moved(point, offset):
    return point[0] + offset[0], point[1] + offset[1]


class Sources(tc.TallyCase):
    def test_paper_space_source_copies_go_to_model_space(self):
        def build(msp, doc):
            doc.layout("Layout1").add_text("P100", dxfattribs={"height": 2.5}).set_placement((0, 0))

        _, doc = self.tally(build, ["tally"] + tc.LINE + ["5,1", "10", "0,0", "25,0"], header={"$TILEMODE": 0})
        self.assertCopies(doc, [("P101", (10, 0)), ("P102", (20, 0))])
        paper = doc.layout("Layout1")
        self.assertEqual([e.dxf.text for e in self.texts(doc, paper)], ["P100"])
        self.assertNoMark(doc)

    def test_mtext_is_replaced_by_one_text_and_counted(self):
        def build(msp, doc):
            msp.add_mtext("R1\\PR2", dxfattribs={"char_height": 2.5, "insert": (0, 100), "attachment_point": 1})

        result, doc = self.tally(build, ["tally"] + tc.LINE + ["3.5,98.5", "10", "0,0", "25,0"])
        self.assertEqual([e.dxftype() for e in doc.modelspace() if e.dxftype() == "MTEXT"], [])
        flat = self.text_named(doc, "R1R2")
        base = tuple(flat.dxf.insert)
        self.assertCopies(doc, [("R2R2", (base[0] + 10, base[1])), ("R3R2", (base[0] + 20, base[1]))])
        self.assertNoMark(doc)

    def test_cancelled_placement_keeps_the_flattened_text(self):
        def build(msp, doc):
            msp.add_mtext("A1\\PB2", dxfattribs={"char_height": 2.5, "insert": (0, 100)})

        _, doc = self.tally(build, ["tally"] + tc.LINE + ["3.5,98.5", "<esc>"])
        self.assertEqual([e.dxftype() for e in doc.modelspace()], ["TEXT"])
        self.assertEqual(self.texts(doc)[0].dxf.text, "A1B2")

    def test_a_line_is_refused_with_message_7(self):
        def build(msp, doc):
            msp.add_line((0, 0), (10, 0))
            msp.add_text("P100", dxfattribs={"height": 2.5}).set_placement((0, 5))

        result, doc = self.tally(build, ["tally", "5,0", "5,6"])
        self.assertIn(tc.PICK_PROMPT + "5,0" + tc.WRONG_ENTITY + "\nCommand: 5,6", result.stdout)
        self.assertEqual(sorted(e.dxftype() for e in doc.modelspace()), ["LINE", "TEXT"])

    def test_a_character_that_cannot_be_counted_ends_the_run(self):
        build = lambda msp, doc: msp.add_text("#", dxfattribs={"height": 2.5}).set_placement((0, 0))
        result, doc = self.tally(build, ["tally"] + tc.LINE + ["1,1", "10"])
        self.assertIn("\nIncrement type error!", result.stdout)
        self.assertNotIn("spacing", result.stdout)
        self.assertEqual(len(self.texts(doc)), 1)
        self.assertNoMark(doc)


if __name__ == "__main__":
    unittest.main()
