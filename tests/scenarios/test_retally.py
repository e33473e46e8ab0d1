# retally through zrxhost: the selection words, each order and place, padding, letters, MText codes,
# attributes, numbers past 64 bits, undo, Esc, and both languages; saved drawings read back with ezdxf.
import os
import unittest

import hostrun

SETTINGS = "\nCurrent settings: Order="


def retally_module():
    path = os.environ.get("ZRX_RETALLY_MODULE")
    if not path:
        raise unittest.SkipTest("ZRX_RETALLY_MODULE is not set (run the scenario tests through ctest)")
    return path


# Room labels: two rows whose baselines differ a little within a row, and a line below them.
ROOMS = [("Room 11", 50, 10), ("Room 12", 10, 10), ("Room 13", 30, 10.5), ("Room 14", 10, 0), ("Room 15", 30, 0)]


def build_rooms(msp):
    for text, x, y in ROOMS:
        msp.add_text(text, dxfattribs={"height": 2.5, "insert": (x, y), "layer": "LABELS", "color": 3})
    msp.add_line((0, -5), (70, -5))


class RetallyCase(hostrun.HostTestCase):
    def retally(self, build, lines, verlan=None):
        drawing = self.new_drawing("in.dxf", build)
        out = self.path("out.dxf")
        args = [drawing, "--load", retally_module(), "--save-as", out]
        if verlan:
            args += ["--set", "VERLAN=" + verlan]
        result = self.run_host(*args, script="\n".join(lines) + "\n")
        self.assertExit(result, 0)
        self.last = result
        return result, hostrun.read_drawing_strict(out)

    def labels(self, doc):
        """Each text's string by its position."""
        return {tuple(e.dxf.insert)[:2]: e.dxf.text for e in hostrun.entities_of(doc, "TEXT")}


class Orders(RetallyCase):
    def test_each_order_numbers_the_texts_in_its_sequence(self):
        by_position = {(x, y): i for i, (_, x, y) in enumerate(ROOMS)}
        cases = {
            # X: left to right, ties top first; Y: top to bottom, ties left first.
            "X": [(10, 10), (10, 0), (30, 10.5), (30, 0), (50, 10)],
            "Y": [(30, 10.5), (10, 10), (50, 10), (10, 0), (30, 0)],
            # Rows: 10 and 10.5 are one row (less than half the height apart), each row left to right.
            "Rows": [(10, 10), (30, 10.5), (50, 10), (10, 0), (30, 0)],
        }
        for order, expected in cases.items():
            with self.subTest(order=order):
                _, doc = self.retally(build_rooms, ["retally", "ALL", "", "O", order, ""])
                labels = self.labels(doc)
                self.assertEqual([labels[p] for p in expected], [f"Room {n}" for n in range(1, 6)], self.last)
                self.assertIn("\n5 texts renumbered, from 1 to 5.", self.last.stdout)
        with self.subTest(order="Rows", mtext="by its first line's baseline"):
            def build(msp):
                build_rooms(msp)
                msp.add_mtext("Room 16", dxfattribs={"insert": (70, 12.5), "char_height": 2.5, "attachment_point": 1})

            _, doc = self.retally(build, ["retally", "ALL", "", "O", "R", ""])
            labels = self.labels(doc)
            self.assertEqual([labels[p] for p in [(10, 10), (30, 10.5), (50, 10), (10, 0), (30, 0)]],
                             ["Room 1", "Room 2", "Room 3", "Room 5", "Room 6"], self.last)
            self.assertEqual(hostrun.entities_of(doc, "MTEXT")[0].text, "Room 4")
        with self.subTest(order="Selection"):
            picks = ["31,1", "51,11", "11,1", "31,11.5", "11,11"]
            _, doc = self.retally(build_rooms, ["retally"] + picks + ["", "O", "S", "7"])
            labels = self.labels(doc)
            expected = [(30, 0), (50, 10), (10, 0), (30, 10.5), (10, 10)]
            self.assertEqual([labels[p] for p in expected], [f"Room {n}" for n in range(7, 12)], self.last)
        with self.subTest(order="Curve"):
            # A polyline picked near its last vertex: numbered from that end, by each text's nearest
            # point; a circle from the point nearest the pick, counter-clockwise.
            def build(msp):
                for text, x, y in ROOMS:
                    msp.add_text(text, dxfattribs={"height": 2.5, "insert": (x, y)})
                msp.add_lwpolyline([(0, 20), (40, -10), (60, -10)])
                msp.add_circle((30, 5), 30)

            _, doc = self.retally(build, ["retally", "ALL", "", "O", "C", "59,-10", ""])
            labels = self.labels(doc)
            along = [(50, 10), (30, 0), (30, 10.5), (10, 0), (10, 10)]
            self.assertEqual([labels[p] for p in along], [f"Room {n}" for n in range(1, 6)], self.last)
            _, doc = self.retally(build, ["retally", "ALL", "", "O", "C", "60,5", ""])
            labels = self.labels(doc)
            around = [(50, 10), (30, 10.5), (10, 10), (10, 0), (30, 0)]
            self.assertEqual([labels[p] for p in around], [f"Room {n}" for n in range(1, 6)], self.last)


class Places(RetallyCase):
    def test_places_padding_letters_and_steps(self):
        def build(msp):
            msp.add_text("A-7 level 2", dxfattribs={"insert": (0, 0)})
            msp.add_text("Lobby", dxfattribs={"insert": (10, 0)})
            msp.add_text("B-9", dxfattribs={"insert": (20, 0)})

        cases = [
            # (options, start, expected strings by x, messages)
            (["D", "3"], "8", {0: "A-7 level 008", 10: "Lobby", 20: "B-009"},
             ["\n2 texts renumbered, from 008 to 009.", "\n1 text has no number to replace."]),
            (["P", "O"], "", {0: "1", 10: "2", 20: "3"}, ["\n3 texts renumbered, from 1 to 3."]),
            (["P", "P"], "'D", {0: "D A-7 level 2", 10: "E Lobby", 20: "F B-9"}, []),
            (["P", "S", "I", "-2"], "3", {0: "A-7 level 2 3", 10: "Lobby 1", 20: "B-9"},
             ["\n2 texts renumbered, from 3 to 1.", "\n1 text would go below zero and was left as it was."]),
            (["P", "S", "I", "27"], "y", {0: "A-7 level 2 y", 10: "Lobby z", 20: "B-9 a"}, []),
        ]
        for options, start, expected, messages in cases:
            with self.subTest(options=options, start=start):
                result, doc = self.retally(build, ["retally", "ALL", ""] + options + [start])
                self.assertEqual({x: t for (x, _), t in self.labels(doc).items()}, expected, result)
                for message in messages:
                    self.assertIn(message, result.stdout)

    def test_numbers_past_64_bits_are_exact(self):
        def build(msp):
            for i in range(3):
                msp.add_text(f"SN-{i}", dxfattribs={"insert": (10 * i, 0)})

        result, doc = self.retally(build, ["retally", "ALL", "", "I", "1000000000", "18446744073709551615"])
        self.assertEqual(sorted(self.labels(doc).values()),
                         ["SN-18446744073709551615", "SN-18446744074709551615", "SN-18446744075709551615"])
        self.assertIn("from 18446744073709551615 to 18446744075709551615.", result.stdout)

    def test_bad_answers_are_asked_again(self):
        result, doc = self.retally(build_rooms, ["retally", "ALL", "", "-3", "1.5", "9" * 1001, "D", "101", "2", "5"])
        self.assertEqual(result.stdout.count("\nRequires a whole number that is not negative, or one letter."), 2)
        self.assertIn("\nA start number can have at most 1000 digits.", result.stdout)
        self.assertIn("\nThe number of digits must be from 0 to 100.", result.stdout)
        self.assertEqual(sorted(self.labels(doc).values())[0], "Room 05")


class Entities(RetallyCase):
    def test_mtext_keeps_its_codes_and_every_entity_its_handle_and_properties(self):
        def build(msp):
            build_rooms(msp)
            msp.add_mtext("{\\H1.5x;Floor %%d 2\\PUnit \\C1;1}9", dxfattribs={"insert": (40, 30), "char_height": 2.5})

        before = hostrun.read_drawing(self.new_drawing("before.dxf", build))
        handles = {e.dxf.handle: e.dxftype() for e in before.modelspace()}
        result, doc = self.retally(build, ["retally", "ALL", "", "P", "O", "P", "R", "O", "S", "10"])
        mtext = hostrun.entities_of(doc, "MTEXT")[0]
        # Only the characters that change are replaced; the codes around them stay.
        self.assertEqual(mtext.text, "{\\H1.5x;Floor %%d 2\\PUnit \\C1;1}5")
        self.assertEqual({e.dxf.handle: e.dxftype() for e in doc.modelspace()}, handles)
        for text in hostrun.entities_of(doc, "TEXT"):
            self.assertEqual((text.dxf.layer, text.dxf.color, text.dxf.height), ("LABELS", 3, 2.5))


    def test_attributes_of_block_references_by_tag(self):
        def build(msp, doc):
            block = doc.blocks.new("ROOMTAG")
            block.add_circle((0, 0), 3)
            block.add_attdef("NAME", (-5, 3), dxfattribs={"height": 1.5})
            block.add_attdef("NUM", (-2, -1), dxfattribs={"height": 2})
            for i, x in enumerate([40, 10, 25]):
                msp.add_blockref("ROOMTAG", (x, 10)).add_auto_attribs({"NAME": "Office 7", "NUM": f"R-{100 + i}"})

        def attribs(doc):
            return {tuple(e.dxf.insert)[0]: [(a.dxf.tag, a.dxf.text) for a in e.attribs]
                    for e in hostrun.entities_of(doc, "INSERT")}

        # By default the first attribute whose value holds a digit; a tag names another (any case).
        _, doc = self.retally(build, ["retally", "ALL", "", "1"])
        self.assertEqual(attribs(doc), {10: [("NAME", "Office 1"), ("NUM", "R-101")],
                                        25: [("NAME", "Office 2"), ("NUM", "R-102")],
                                        40: [("NAME", "Office 3"), ("NUM", "R-100")]})
        _, doc = self.retally(build, ["retally", "ALL", "", "T", "num", "D", "3", "7"])
        self.assertEqual(attribs(doc), {10: [("NAME", "Office 7"), ("NUM", "R-007")],
                                        25: [("NAME", "Office 7"), ("NUM", "R-008")],
                                        40: [("NAME", "Office 7"), ("NUM", "R-009")]})
        result, doc = self.retally(build, ["retally", "ALL", "", "T", "ROOM", "7"])
        self.assertIn("\n3 texts have no number to replace.", result.stdout)
        self.assertEqual(attribs(doc)[10], [("NAME", "Office 7"), ("NUM", "R-101")])
        _, doc = self.retally(build, ["retally", "ALL", "", "T", "*", "5", "U"])
        self.assertEqual(attribs(doc)[10], [("NAME", "Office 7"), ("NUM", "R-101")])


class Safety(RetallyCase):
    def test_undo_escape_and_selection_words_change_nothing_until_the_start(self):
        original = sorted(t for t, _, _ in ROOMS)
        scripts = {
            "undo": ["retally", "ALL", "", "5", "U"],
            "esc at the start": ["retally", "ALL", "", "O", "Y", "I", "4", "<esc>"],
            "esc at an option": ["retally", "ALL", "", "P", "<esc>"],
            "esc while selecting": ["retally", "W", "0,0", "<esc>"],
        }
        for name, lines in scripts.items():
            with self.subTest(name):
                _, doc = self.retally(build_rooms, lines)
                self.assertEqual(sorted(self.labels(doc).values()), original, self.last)

    def test_a_selection_leaves_out_what_is_not_shown(self):
        def build(msp, doc):
            build_rooms(msp)
            doc.layers.add("OFF").off()
            doc.layers.add("FROZEN").freeze()
            msp.add_text("Room 91", dxfattribs={"height": 2.5, "insert": (10, 20), "layer": "OFF"})
            msp.add_text("Room 92", dxfattribs={"height": 2.5, "insert": (30, 20), "layer": "FROZEN"})

        result, doc = self.retally(build, ["retally", "ALL", "", "1"])
        self.assertIn("\n6 found", result.stdout)  # the five rooms and the line
        self.assertEqual(self.labels(doc)[(10, 20)], "Room 91")
        self.assertEqual(self.labels(doc)[(30, 20)], "Room 92")

    def test_selection_words_and_their_counts(self):
        lines = ["retally",
                 "-1,-1", "75,5",         # left to right: a window, what lies wholly inside
                 "75,11", "15,12",        # right to left: a crossing, what it touches
                 "R", "51,11",            # remove one by a pick
                 "A", "F", "5,-6", "15,3", "",  # a fence over the line and a text
                 "P",                      # no earlier set in this session
                 "Q", "", "O", "S", ""]
        result, doc = self.retally(build_rooms, lines)
        out = result.stdout
        self.assertIn("\nSpecify opposite corner: 75,5\n2 found", out)
        self.assertIn("\nSpecify opposite corner: 15,12\n3 found, 5 total", out)
        self.assertIn("\nRemove texts: 51,11\n1 removed, 4 total", out)
        self.assertIn("\n2 found (1 duplicate), 4 total\nFiltered out: 1.", out)
        self.assertIn("\nNo previous selection set.", out)
        self.assertIn("\n*Invalid selection*\nExpects a point or Window(W)", out)
        self.assertEqual(self.labels(doc), {(10, 0): "Room 1", (30, 0): "Room 2", (10, 10): "Room 3",
                                            (30, 10.5): "Room 4", (50, 10): "Room 11"})

    def test_at_a_terminal_esc_cancels_and_a_second_run_renumbers(self):
        drawing = self.new_drawing("in.dxf", build_rooms)
        out = self.path("out.dxf")
        code, shown = hostrun.run_host_in_terminal(
            drawing, "--load", retally_module(), "--save-as", out, cwd=self.workdir,
            answers=["retally", "ALL", "", "O", hostrun.ESC, "retally", "W", "0,-1", "70,14", "", "40"])
        self.assertEqual(code, 0, shown)
        self.assertIn("*Cancel*", shown)
        self.assertIn("5 texts renumbered, from 40 to 44.", shown)
        self.assertEqual(sorted(self.labels(hostrun.read_drawing_strict(out)).values()),
                         [f"Room {n}" for n in range(40, 45)])

    def test_chinese(self):
        result, _ = self.retally(build_rooms, ["retally", "ALL", "", "O", "R", "P", "P", "3"], verlan="zh-CN")
        out = result.stdout
        self.assertIn("\n选择要重新编号的文字: ALL\n找到 6 个\n已过滤掉 1 个。", out)
        self.assertIn("\n当前设置: 排序=按行, 起始=1, 增量=1, 位数=0, 位置=前缀", out)
        self.assertIn("\n指定起始编号或 [排序(O)/增量(I)/位数(D)/位置(P)/标记(T)] <1>: 3", out)
        self.assertIn("\n已重新编号 5 个文字，从 3 到 7。", out)


if __name__ == "__main__":
    unittest.main()
