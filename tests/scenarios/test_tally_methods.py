# The three placement methods of tally through zrxhost: spacing, count, both polar directions, free.
import unittest

import hostrun
import tally_common as tc


def p100(msp, doc):
    # Any digit of "100" picks the run, so the pick does not depend on exact glyph widths.
    msp.add_text("P100", dxfattribs={"height": 2.5}).set_placement((0, 0))


def seven(msp, doc):
    msp.add_text("7", dxfattribs={"height": 2.5}).set_placement((100, 50))


class LineMethod(tc.TallyCase):
    def test_spacing_derives_the_count_from_the_dragged_length(self):
        result, doc = self.tally(p100, ["tally"] + tc.LINE + ["5,1", "10", "0,0", "<move 20,0>", "35,0"])
        self.assertCopies(doc, [("P101", (10, 0)), ("P102", (20, 0)), ("P103", (30, 0))])
        self.assertEqual(len(self.texts(doc)), 4)
        self.text_named(doc, "P100")
        self.assertNoMark(doc)
        self.assertIn("\nSpecify the spacing betwwen items[Numbers (N)]:", result.stdout)
        self.assertIn("\nSpecify the base point:", result.stdout)
        self.assertIn("\nSpecify the second point:", result.stdout)

    def test_count_derives_the_spacing(self):
        _, doc = self.tally(p100, ["tally"] + tc.LINE + ["5,1", "N", "4", "0,0", "0,20"])
        self.assertCopies(doc, [("P101", (0, 5)), ("P102", (0, 10)), ("P103", (0, 15)), ("P104", (0, 20))])
        self.assertEqual(len(self.texts(doc)), 5)

    def test_negative_step_stops_at_zero(self):
        build = lambda msp, doc: msp.add_text("3", dxfattribs={"height": 2.5}).set_placement((0, 0))
        _, doc = self.tally(build, ["tally"] + tc.LINE + tc.step(-1) + ["1,1", "N", "5", "0,0", "50,0"])
        self.assertCopies(doc, [("2", (10, 0)), ("1", (20, 0)), ("0", (30, 0))])
        self.assertEqual(len(self.texts(doc)), 4)

    def test_count_above_the_limit_is_refused_and_asked_again(self):
        for verlan, refusal in (("en-US", "\nThe number of items cannot exceed 100000. Enter it again."),
                                ("zh-CN", "\n对象数量不能超过 100000，请重新输入。")):
            with self.subTest(verlan=verlan):
                result, doc = self.tally(p100, ["tally"] + tc.LINE + ["5,1", "N", "200000", "100001", "4", "0,0",
                                                                     "0,20"], verlan=verlan)
                self.assertEqual(result.stdout.count(refusal), 2, result.stdout)
                # The limit itself is a count like any other.
                self.assertCopies(doc, [("P101", (0, 5)), ("P104", (0, 20))])
                self.assertEqual(len(self.texts(doc)), 5)

    def test_spacing_that_fits_more_than_the_limit_is_cut_and_says_so(self):
        cut = "\nThe array was cut to its limit of 100000 items."
        # 0.001 fits 200,000 times into the drag; a spacing far below it more than 2^31 times.
        for spacing, last in (("0.001", (100, 0)), ("0.000000001", (0.0001, 0))):
            with self.subTest(spacing=spacing):
                build = lambda msp, doc: msp.add_text("7", dxfattribs={"height": 2.5}).set_placement((0, 0))
                result, doc = self.tally(build, ["tally"] + tc.LINE + ["0.5,0.5", spacing, "0,0", "<move 50,0>",
                                                                      "<move 150,0>", "200,0"])
                self.assertEqual(result.stdout.count(cut), 1, result.stdout[-500:])
                self.assertLess(result.stdout.index("\nSpecify the second point:"), result.stdout.index(cut))
                texts = self.texts(doc)
                self.assertEqual(len(texts), 100001)
                self.assertPoint(self.text_named(doc, "100007").dxf.insert, last, places=6)

    def test_second_point_without_copies_writes_nothing(self):
        _, doc = self.tally(p100, ["tally"] + tc.LINE + ["5,1", "10", "0,0", "9,0"])
        self.assertEqual([e.dxf.text for e in self.texts(doc)], ["P100"])
        self.assertNoMark(doc)


    def test_copies_too_far_out_for_a_number_are_left_out_and_counted(self):
        # The spacing of a drag past the largest double overflows: no copy can be placed, none is written.
        for verlan, said in (("en-US", "\n3 of the items could not be placed: their coordinates are beyond the "
                                       "drawing's range."),
                             ("zh-CN", "\n3 个对象的坐标超出图形范围，无法放置。")):
            with self.subTest(verlan=verlan):
                result, doc = self.tally(p100, ["tally"] + tc.LINE + ["5,1", "N", "3", "0,0", "1e308,5"],
                                         verlan=verlan)
                self.assertIn(said, result.stdout)
                self.assertEqual([e.dxf.text for e in self.texts(doc)], ["P100"])
                self.assertNoMark(doc)
        # Free placement: the point too far out is refused, the next one takes its number.
        result, doc = self.tally(p100, ["tally", "5,1", "-1e308,0", "1e308,0", "-9e307,0", ""])
        self.assertIn("\n1 of the items could not be placed", result.stdout)
        self.assertEqual(sorted(e.dxf.text for e in self.texts(doc)), ["P100", "P101"])
        self.assertAlmostEqual(self.text_named(doc, "P101").dxf.insert.x / 1e307, 1.0)


class Preview(tc.TallyCase):
    def test_a_session_of_many_previews_costs_what_one_costs(self):
        if hostrun.built_with_sanitizers():
            self.skipTest("AddressSanitizer holds freed memory back in quarantine")
        drawing = self.new_drawing("in.dxf", p100)
        # Each run previews 100,000 copies (100 / 0.001), then is cancelled.
        run = ["tally", "5,1", "0.001", "0,0", "<move 100,0>", "<esc>"]

        def peak_kib(previews):
            script = "\n".join(["tally"] + tc.LINE + run[1:] + run * (previews - 1)) + "\n"
            return hostrun.peak_memory_kib(drawing, "--load", hostrun.module_path(), script=script,
                                           cwd=self.workdir)

        one, eight = peak_kib(1), peak_kib(8)
        self.assertLess(eight - one, 10 * 1024, f"one preview {one} KiB, eight {eight} KiB")


class PolarMethod(tc.TallyCase):
    E_AT_100 = tc.fmt(tc.polar_point(5, 100))

    def test_counterclockwise_with_angle(self):
        _, doc = self.tally(seven, ["tally"] + tc.POLAR + ["101,51", "0,0", "30", "CW", "10,0", self.E_AT_100])
        self.assertCopies(doc, [("8", (98.660254, 55)), ("9", (95, 58.660254)), ("10", (90, 60))])
        self.assertEqual(len(self.texts(doc)), 4)
        self.assertNoMark(doc)

    def test_clockwise_with_angle(self):
        _, doc = self.tally(seven, ["tally"] + tc.POLAR + ["101,51", "0,0", "30", "C", "10,0", self.E_AT_100])
        expected = [(98.660254, 45), (95, 41.339746), (90, 40), (85, 41.339746), (81.339746, 45), (80, 50),
                    (81.339746, 55), (85, 58.660254)]
        self.assertCopies(doc, [(str(8 + i), p) for i, p in enumerate(expected)])
        self.assertEqual(len(self.texts(doc)), 9)

    def test_counterclockwise_with_count(self):
        _, doc = self.tally(seven, ["tally"] + tc.POLAR + ["101,51", "0,0", "N", "4", "CW", "10,0", "0,3"])
        self.assertCopies(doc, [("8", (99.238795, 53.826834)), ("9", (97.071068, 57.071068)),
                                ("10", (93.826834, 59.238795)), ("11", (90, 60))])
        self.assertEqual(len(self.texts(doc)), 5)


class FreeMethod(tc.TallyCase):
    def test_each_accepted_point_writes_the_next_copy(self):
        result, doc = self.tally(p100, ["tally"] + tc.step(2) + ["5,1", "0,0", "7,-2", "<move 1,1>", "20,0",
                                                                 "30,5", ""])
        self.assertCopies(doc, [("P102", (7, -2)), ("P104", (20, 0)), ("P106", (30, 5))])
        self.assertEqual(len(self.texts(doc)), 4)
        self.assertNoMark(doc)
        # Free placement asks for no spacing, centre, angle, count or direction.
        self.assertNotIn("spacing", result.stdout)
        self.assertNotIn("centre", result.stdout)
        self.assertTrue(result.stdout.startswith("\nCommand: tally" + tc.MODE_FREE + "1"), result.stdout)

    def test_zero_step_copies_the_text_unchanged(self):
        _, doc = self.tally(p100, ["tally"] + tc.step(0) + ["5,1", "0,0", "10,0", "20,0", "<esc>"])
        copies = sorted(tuple(e.dxf.insert)[:2] for e in self.texts(doc) if e.dxf.text == "P100")
        self.assertEqual(len(copies), 3)
        self.assertPoint(copies[1], (10, 0))
        self.assertPoint(copies[2], (20, 0))

    def test_steps_times_copies_past_32_bits_count_on_exactly(self):
        build = lambda msp, doc: msp.add_text("N1", dxfattribs={"height": 2.5}).set_placement((0, 0))
        _, doc = self.tally(build, ["tally"] + tc.step(2000000000) + ["3,1", "0,0", "10,0", "20,0", "30,0",
                                                                     "<esc>"])
        self.assertCopies(doc, [("N2000000001", (10, 0)), ("N4000000001", (20, 0)), ("N6000000001", (30, 0))])

        down = lambda msp, doc: msp.add_text("N9000000000", dxfattribs={"height": 2.5}).set_placement((0, 0))
        _, doc = self.tally(down, ["tally"] + tc.step(-2147483648) + ["3,1", "0,0", "10,0", "20,0", "<esc>"])
        self.assertCopies(doc, [("N6852516352", (10, 0)), ("N4705032704", (20, 0))])

        # Letters: only the step modulo 26 (23 here) matters.
        letter = lambda msp, doc: msp.add_text("Q", dxfattribs={"height": 2.5}).set_placement((0, 0))
        _, doc = self.tally(letter, ["tally"] + tc.step(2147483647) + ["0.8,0.8", "0,0", "10,0", "20,0", "30,0",
                                                                      "<esc>"])
        self.assertCopies(doc, [("N", (10, 0)), ("K", (20, 0)), ("H", (30, 0))])

    def test_letter_run_wraps_within_its_case(self):
        build = lambda msp, doc: msp.add_text("z", dxfattribs={"height": 2.5}).set_placement((0, 0))
        _, doc = self.tally(build, ["tally"] + tc.step(6) + ["0.8,0.8", "0,0", "10,0", "20,0", ""])
        self.assertCopies(doc, [("f", (10, 0)), ("l", (20, 0))])


if __name__ == "__main__":
    unittest.main()
