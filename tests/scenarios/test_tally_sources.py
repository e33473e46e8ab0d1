# What tally does with its source: every text alignment, rotation, paper space, MText, a wrong entity.
import math
import unittest

import ezdxf
from ezdxf.enums import TextEntityAlignment as A

import hostrun
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
                # An aligned text's height follows from its baseline: the copies, which keep the source's
                # baseline, agree on it, while the source, left as it was, is written as read.
                height = self.text_named(doc, f"{i + 1}01").dxf.height if align == A.ALIGNED else source.dxf.height
                for k, name in ((1, f"{i + 1}01"), (2, f"{i + 1}02")):
                    copy = self.text_named(doc, name)
                    offset = (10 * k, 0)
                    self.assertEqual(copy.dxf.halign, source.dxf.halign)
                    self.assertEqual(copy.dxf.valign, source.dxf.valign)
                    self.assertAlmostEqual(copy.dxf.height, height, places=6)
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

    def test_aligned_and_fit_copies_keep_their_baseline_whatever_the_vertical_mode(self):
        # A drawing may give an aligned or fit text a vertical mode too; it still spans its two points.
        def build(msp, doc):
            for text, halign, valign, y in (("300", 3, 1, 0), ("500", 5, 2, 20)):
                msp.add_text(text, dxfattribs={"height": 2.5, "halign": halign, "valign": valign,
                                               "insert": (0, y), "align_point": (20, y + 5)})

        lines = ["tally"] + tc.LINE + ["10,3", "N", "2", "0,0", "0,-40", "tally", "10,23", "N", "2", "0,0", "0,-40"]
        _, doc = self.tally(build, lines)
        for source, copies in (("300", ("301", "302")), ("500", ("501", "502"))):
            with self.subTest(source=source):
                original = self.text_named(doc, source)
                heights = set()
                for k, name in enumerate(copies, 1):
                    copy = self.text_named(doc, name)
                    self.assertEqual((copy.dxf.halign, copy.dxf.valign), (original.dxf.halign, original.dxf.valign))
                    self.assertPoint(copy.dxf.insert, _moved(original.dxf.insert, (0, -20 * k)))
                    self.assertPoint(copy.dxf.align_point, _moved(original.dxf.align_point, (0, -20 * k)))
                    heights.add(round(copy.dxf.height, 9))
                # Not stretched: one baseline, one height (a fit text keeps the source's own).
                self.assertEqual(len(heights), 1, heights)
                if source == "500":
                    self.assertEqual(heights, {2.5})


def _moved(point, offset):
    return point[0] + offset[0], point[1] + offset[1]


class Sources(tc.TallyCase):
    def test_a_text_held_open_elsewhere_says_why_it_cannot_be_counted(self):
        holder = hostrun.test_module_path("holder")
        for verlan, message in (("en-US", "\nThe drawing refused the change: the Text is held open elsewhere, so its "
                                          "characters cannot be measured."),
                                ("zh-CN", "\n图形拒绝了修改，单行文字正被占用，无法测量其字符。")):
            with self.subTest(verlan=verlan):
                def build(msp, doc):
                    msp.add_text("P100", dxfattribs={"height": 2.5}).set_placement((0, 0))

                result, doc = self.tally(build, ["holdopen", "5,1", "tally"] + tc.LINE + ["5,1", "10", "0,0", "25,0"],
                                         verlan=verlan, modules=[holder])
                self.assertIn(message, result.stdout)
                self.assertNotIn("No characters are selected", result.stdout)
                self.assertEqual([e.dxf.text for e in self.texts(doc)], ["P100"])
                self.assertNoMark(doc)

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

    def test_a_pick_on_a_later_line_of_an_mtext_counts_that_character(self):
        # Line 2 ("Floor 2") has its baseline 5/3 of the height below line 1's; x 11.3 lies on its
        # "2", while on the joined "Unit 7Floor 2" the same distance lies on the "F".
        for attachment, pick in ((1, (11.3, 94)), (2, (11.3 - 5.9, 94)), (3, (11.3 - 11.8, 94))):
            with self.subTest(attachment=attachment):
                def build(msp, doc):
                    msp.add_mtext("Unit 7\\PFloor 2", dxfattribs={"char_height": 2.5, "insert": (0, 100),
                                                                  "attachment_point": attachment})

                result, doc = self.tally(build, ["tally"] + tc.LINE + [tc.fmt(pick), "10", "0,0", "25,0"])
                self.assertEqual(sorted(e.dxf.text for e in self.texts(doc)),
                                 ["Unit 7Floor 2", "Unit 7Floor 3", "Unit 7Floor 4"], result.stdout)
                self.assertNoMark(doc)

        def rotated(msp, doc):
            msp.add_mtext("A1\\PB2", dxfattribs={"char_height": 2.5, "insert": (0, 0), "rotation": 90})

        # Turned a quarter, line 2 lies 4.17 further along +X; its "2" 2.5 units up the baseline.
        result, doc = self.tally(rotated, ["tally"] + tc.LINE + ["6.5,2.4", "10", "0,0", "25,0"])
        self.assertEqual(sorted(e.dxf.text for e in self.texts(doc)), ["A1B2", "A1B3", "A1B4"], result.stdout)

    def test_a_pick_on_a_later_run_of_a_formatted_mtext_line_counts_that_character(self):
        # Line 2 runs "N1-", a "22" twice as high (and as wide), "-", a red "33", "-44"; its baseline
        # lies 5/3 of its tall run's height below line 1's. The point lies on the red "33" (x 15.9 to
        # 18.1), where laid out without the codes the line would have its "-" after "33".
        def build(msp, doc):
            msp.add_mtext("Zone 5\\PN1-{\\H2x;22}-{\\C1;33}-44", dxfattribs={"char_height": 2.5, "insert": (0, 100)})

        result, doc = self.tally(build, ["tally"] + tc.LINE + ["17,92.4", "10", "0,0", "25,0"])
        self.assertEqual(sorted(e.dxf.text for e in self.texts(doc)),
                         ["Zone 5N1-22-33-44", "Zone 5N1-22-34-44", "Zone 5N1-22-35-44"], result.stdout)
        self.assertNoMark(doc)

    def test_a_pick_beside_the_characters_of_an_mtext_line_selects_nothing(self):
        def build(msp, doc):
            msp.add_mtext("Unit 7\\PFloor 2", dxfattribs={"char_height": 2.5, "insert": (0, 100)})

        # Past the end of line 1 ("Unit 7", about 10.3 long) but within the joined text's length.
        result, doc = self.tally(build, ["tally"] + tc.LINE + ["11,98.5", "10", "0,0", "25,0"], sysvars={"PICKBOX": 2})
        self.assertIn("\nNo characters are selected!", result.stdout)
        self.assertEqual([e.dxf.text for e in self.texts(doc)], ["Unit 7Floor 2"])
        self.assertNoMark(doc)

    def test_a_wrapped_mtext_keeps_the_spaces_at_its_wraps(self):
        def build(msp, doc):
            msp.add_mtext("Parking 12 space level", dxfattribs={"char_height": 2.5, "insert": (0, 100),
                                                                "width": 20})

        result, doc = self.tally(build, ["tally"] + tc.LINE + ["15,98.5", "10", "0,0", "25,0"])
        self.assertEqual(sorted(e.dxf.text for e in self.texts(doc)),
                         ["Parking 12 space level", "Parking 13 space level", "Parking 14 space level"],
                         result.stdout)

    def test_an_mtext_that_cannot_be_replaced_says_why_and_stays(self):
        holder = hostrun.test_module_path("holder")
        for verlan, message in (("en-US", "\nThe drawing refused the change: the Mtext cannot be replaced by a Text."),
                                ("zh-CN", "\n图形拒绝了修改，多行文字无法替换为单行文字。")):
            with self.subTest(verlan=verlan):
                def build(msp, doc):
                    msp.add_mtext("R1\\PR2", dxfattribs={"char_height": 2.5, "insert": (0, 100)})

                # Another application holds the MText open, so it cannot be erased.
                result, doc = self.tally(build, ["holdopen", "3.5,98.5", "tally"] + tc.LINE + ["3.5,98.5"],
                                         verlan=verlan, modules=[holder])
                self.assertIn(message, result.stdout)
                self.assertNotIn("\nSpecify the spacing", result.stdout)
                self.assertNotIn("\n指定对象间距", result.stdout)
                self.assertEqual([e.dxftype() for e in doc.modelspace()], ["MTEXT"])
                self.assertNoMark(doc)

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
