# The dialogue of tally through zrxhost: Esc anywhere, both languages, settings kept between runs.
import unittest

import tally_common as tc


def p100(msp, doc):
    msp.add_text("P100", dxfattribs={"height": 2.5}).set_placement((0, 0))


def seven(msp, doc):
    msp.add_text("7", dxfattribs={"height": 2.5}).set_placement((100, 50))


class Cancelling(tc.TallyCase):
    # Each script ends with Esc at one prompt or drag; the drawing must come back as it went in.
    CASES = {
        "pick": ["tally", "<esc>"],
        "option": ["tally", "O", "<esc>"],
        "method": ["tally", "O", "M", "<esc>"],
        "increment": ["tally", "O", "D", "<esc>"],
        "line spacing": ["tally"] + tc.LINE + ["5,1", "<esc>"],
        "line count": ["tally"] + tc.LINE + ["5,1", "N", "<esc>"],
        "line base drag": ["tally"] + tc.LINE + ["5,1", "10", "<move 3,3>", "<esc>"],
        "line second drag": ["tally"] + tc.LINE + ["5,1", "10", "0,0", "<move 40,0>", "<esc>"],
        "polar centre": ["tally"] + tc.POLAR + ["5,1", "<esc>"],
        "polar angle": ["tally"] + tc.POLAR + ["5,1", "0,-50", "<esc>"],
        "polar count": ["tally"] + tc.POLAR + ["5,1", "0,-50", "N", "<esc>"],
        "polar direction": ["tally"] + tc.POLAR + ["5,1", "0,-50", "30", "<esc>"],
        "polar base drag": ["tally"] + tc.POLAR + ["5,1", "0,-50", "30", "C", "<esc>"],
        "polar second drag": ["tally"] + tc.POLAR + ["5,1", "0,-50", "30", "C", "0,0", "<move 50,-50>", "<esc>"],
        "free base drag": ["tally", "5,1", "<move 1,1>", "<esc>"],
        "free second drag": ["tally", "5,1", "0,0", "<move 20,20>", "<esc>"],
    }

    def test_esc_at_each_prompt_and_drag_adds_nothing(self):
        for where, lines in self.CASES.items():
            with self.subTest(where=where):
                result, doc = self.tally(p100, lines)
                self.assertEqual([e.dxftype() for e in doc.modelspace()], ["TEXT"], result.stdout)
                self.assertEqual(self.texts(doc)[0].dxf.text, "P100")
                self.assertNoMark(doc)
                self.assertTrue(result.stdout.rstrip().endswith("*Cancel*\nCommand:"), result.stdout)

    def test_free_copies_before_the_esc_stay(self):
        _, doc = self.tally(p100, ["tally", "5,1", "0,0", "10,0", "<move 30,0>", "<esc>"])
        self.assertCopies(doc, [("P101", (10, 0))])
        self.assertEqual(len(self.texts(doc)), 2)
        self.assertNoMark(doc)

    def test_an_invisible_text_on_top_is_not_picked(self):
        def build(msp, doc):
            p100(msp, doc)
            msp.add_text("Q500", dxfattribs={"height": 2.5, "invisible": 1}).set_placement((0, 0))

        _, doc = self.tally(build, ["tally", "5,1", "0,0", "10,0", "<esc>"])
        self.assertCopies(doc, [("P101", (10, 0))])

    def test_nothing_under_the_pick_point(self):
        # A wide pick box finds the text, but the point lies past its last character (about 8.6 wide).
        build = lambda msp, doc: msp.add_text("P100", dxfattribs={"height": 2.5}).set_placement((0, 0))
        result, doc = self.tally(build, ["tally", "10.1,1", "0,0", "10,0"], sysvars={"PICKBOX": 3})
        self.assertIn("\nNo characters are selected!", result.stdout)
        self.assertNotIn("\nSpecify the base point:", result.stdout)
        self.assertEqual(len(self.texts(doc)), 1)
        self.assertNoMark(doc)


class Languages(tc.TallyCase):
    def test_chinese_prompts_under_zh_cn(self):
        result, doc = self.tally(p100, ["tally"] + tc.LINE + ["5,1", "10", "0,0", "25,0"], verlan="zh-CN")
        out = result.stdout
        self.assertIn("\n当前模式：递增方式=自由，递增增量 = 1", out)
        self.assertIn("\n选择需要递增的数字/字母[模式(O)]：", out)
        self.assertIn("\n修改递增模式[方式(M)/增量(D)]：", out)
        self.assertIn("\n选择递增方式[直线(L)/环形(P)/自由(F)]:", out)
        self.assertIn("\n当前模式：递增方式=直线，递增增量 = 1", out)
        self.assertIn("\n指定对象间距[数量(N)]：", out)
        self.assertIn("\n指定递增基点:", out)
        self.assertIn("\n指定递增终点:", out)
        self.assertNotIn("Current Mode", out)
        self.assertCopies(doc, [("P101", (10, 0)), ("P102", (20, 0))])

    def test_english_for_other_tags(self):
        for tag in ("en-US", "zh-cn", "zh-TW", ""):
            with self.subTest(verlan=tag):
                result, _ = self.tally(p100, ["tally", "<esc>"], verlan=tag)
                self.assertIn(tc.MODE_FREE + "1" + tc.PICK_PROMPT, result.stdout)

    def test_chinese_refusal_and_polar_prompts(self):
        def build(msp, doc):
            msp.add_line((0, -5), (10, -5))
            p100(msp, doc)

        lines = ["tally", "5,-5", "tally"] + tc.POLAR + ["5,1", "0,-50", "N", "3", "<esc>"]
        result, _ = self.tally(build, lines, verlan="zh-CN")
        out = result.stdout
        self.assertIn("\n请选择多行文字、单行文字，请重试。", out)
        self.assertIn("\n指定环形圆心位置：", out)
        self.assertIn("\n指定对象角度[数量(N)]：", out)
        self.assertIn("\n指定对象数量：", out)
        self.assertIn("\n指定递增方向[顺时针(C)/逆时针(CW)]：", out)


class Keywords(tc.TallyCase):
    def test_the_letters_each_prompt_shows_are_accepted_beside_the_old_ones(self):
        # I and D both set the step, A and CW both turn counterclockwise, in either language.
        cases = [(verlan, step_key, ccw_key) for verlan in ("en-US", "zh-CN") for step_key, ccw_key in
                 (("I", "A"), ("D", "CW"), ("i", "a"))]
        for verlan, step_key, ccw_key in cases:
            with self.subTest(verlan=verlan, step=step_key, direction=ccw_key):
                lines = ["tally", "O", step_key, "2"] + tc.POLAR + ["101,51", "0,0", "30", ccw_key, "10,0",
                                                                    tc.fmt(tc.polar_point(5, 100))]
                result, doc = self.tally(seven, lines, verlan=verlan)
                self.assertNotIn("Invalid option keyword", result.stdout)
                self.assertCopies(doc, [("9", (98.660254, 55)), ("11", (95, 58.660254)), ("13", (90, 60))])
                self.assertEqual(len(self.texts(doc)), 4)

        result, doc = self.tally(seven, ["tally"] + tc.POLAR + ["101,51", "0,0", "30", "C", "10,0",
                                                               tc.fmt(tc.polar_point(5, 100))])
        self.assertEqual(len(self.texts(doc)), 9, "C stays clockwise")


class Settings(tc.TallyCase):
    def test_two_runs_in_one_session_keep_method_and_step(self):
        lines = ["tally"] + tc.LINE + tc.step(5) + ["5,1", "10", "0,0", "25,0"]
        lines += ["tally", "5,1", "10", "0,0", "0,25"]
        result, doc = self.tally(p100, lines)
        out = result.stdout
        first = out.index("\nCommand: tally")
        second = out.index("\nCommand: tally", first + 1)
        self.assertTrue(out[second:].startswith("\nCommand: tally" + tc.MODE_LINE + "5" + tc.PICK_PROMPT), out)
        placed = sorted((e.dxf.text, round(e.dxf.insert[0], 6), round(e.dxf.insert[1], 6)) for e in self.texts(doc))
        self.assertEqual(placed, [("P100", 0, 0), ("P105", 0, 10), ("P105", 10, 0), ("P110", 0, 20),
                                  ("P110", 20, 0)])

    def test_fresh_start_shows_free_and_one(self):
        result, _ = self.tally(p100, ["tally", "<esc>"])
        self.assertIn("\nCommand: tally" + tc.MODE_FREE + "1" + tc.PICK_PROMPT, result.stdout)


if __name__ == "__main__":
    unittest.main()
