# The host's own commands and command-line rules in scripts: U/UNDO/REDO, SAVE/SAVEAS/QUIT/HELP,
# Enter repeating the last command, messages in Chinese, typed points and ortho.
import os
import unittest

import ezdxf

import hostrun
import tally_common as tc


def r1_mtext(msp, doc):
    msp.add_mtext("R1", dxfattribs={"char_height": 2.5, "insert": (0, 100), "attachment_point": 1})


def p100(msp, doc):
    msp.add_text("P100", dxfattribs={"height": 2.5}).set_placement((0, 0))


class Undo(tc.TallyCase):
    def test_u_takes_a_whole_tally_back_and_the_picked_mtext_returns_as_itself(self):
        drawing = self.new_drawing("in.dxf", r1_mtext)
        original = ezdxf.readfile(drawing).modelspace().query("MTEXT")[0]
        result, doc = self.tally(r1_mtext, ["tally"] + tc.LINE + ["3.5,98.5", "10", "0,0", "25,0", "U"])
        self.assertIn("\nUndone: TALLY", result.stdout)
        self.assertEqual(self.texts(doc), [])
        mtexts = doc.modelspace().query("MTEXT")
        self.assertEqual(len(mtexts), 1)
        self.assertEqual(mtexts[0].dxf.handle, original.dxf.handle)
        self.assertEqual(mtexts[0].text, "R1")
        self.assertEqual(tuple(mtexts[0].dxf.insert), (0, 100, 0))

    def test_undo_n_and_redo(self):
        hello = hostrun.test_module_path("hello")
        script = "hello\n1,1\na\nhello\n2,2\nb\nhello\n3,3\nc\nUNDO\n2\nREDO\nU\nUNDO 5\nREDO\nREDO\n"
        out = self.path("out.dxf")
        result = self.run_host("--load", hello, "--save-as", out, script=script)
        self.assertExit(result, 0)
        # UNDO 2 leaves a; REDO brings b and c back; U takes c; UNDO 5 takes all there is; REDO once
        # brings back what that UNDO took, and a second REDO has nothing left.
        self.assertEqual(result.stdout.count("\nUndone: HELLO"), 2 + 1 + 2)
        self.assertEqual(result.stdout.count("\nRedone: HELLO"), 2 + 2)
        self.assertEqual(result.stdout.count("\nRedone:"), 4)
        self.assertIn("Everything has been undone", result.stdout)
        self.assertIn("Nothing to redo.", result.stdout)
        self.assertEqual([t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out))], ["a", "b"])

    def test_undone_drawing_saves_as_it_was_read(self):
        drawing = self.new_drawing("in.dxf", p100)
        plain, undone = self.path("plain.dxf"), self.path("undone.dxf")
        self.assertExit(self.run_host(drawing, "--save-as", plain, script=""), 0)
        script = "tally\n" + "\n".join(tc.LINE) + "\n5,1\n10\n0,0\n35,0\nU\n"
        self.assertExit(self.run_host(drawing, "--load", hostrun.module_path(), "--save-as", undone, script=script), 0)
        with open(plain, "rb") as a, open(undone, "rb") as b:
            self.assertEqual(a.read(), b.read())


class DrawingCommands(hostrun.HostTestCase):
    def test_save_saveas_quit_and_help(self):
        hello = hostrun.test_module_path("hello")
        first = self.path("first.dxf")
        # Named without its extension, as users type it: saved with it, where drawings are looked for.
        script = (f"save\nhello\n1,1\nx\nsaveas\n{first[:-4]}\nhello 2,2\ny\nsave\nhelp\nquit\nhello\n3,3\nnever\n")
        result = self.run_host("--load", hello, script=script)
        self.assertExit(result, 0)
        # A new drawing has no file to save to; SAVEAS names it, and SAVE then writes there.
        self.assertIn("The drawing has no file name yet: use SAVEAS.", result.stdout)
        self.assertEqual(result.stdout.count(f"Saved {first}"), 2)
        self.assertEqual([t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(first))], ["x", "y"])
        # HELP names the host's commands and the modules'; QUIT ends the script where it stands.
        for name in ("UNDO", "REDO", "SAVEAS", "QUIT", "HELLO"):
            self.assertRegex(result.stdout, rf"\n  {name}\b")
        self.assertNotIn("never", result.stdout)

    def test_save_goes_to_the_save_as_target_and_a_failed_save_loses_nothing(self):
        drawing = self.new_drawing("in.dxf", p100)
        with open(drawing, "rb") as f:
            before = f.read()
        out = self.path("out.dxf")
        folder = self.path("a-folder")
        os.mkdir(folder)
        script = f"hello\n1,1\nkept\nsave\nsaveas\n{folder}\nhello\n2,2\nafter\n"
        result = self.run_host(drawing, "--load", hostrun.test_module_path("hello"), "--save-as", out, script=script)
        self.assertExit(result, 0)
        self.assertIn(f"Saved {out}", result.stdout)
        self.assertIn("The drawing was not saved:", result.stdout)
        with open(drawing, "rb") as f:
            self.assertEqual(f.read(), before, "SAVE wrote over the input instead of the --save-as target")
        self.assertEqual([t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out))], ["P100", "kept", "after"])

    def test_enter_at_the_command_prompt_repeats_the_last_command(self):
        out = self.path("out.dxf")
        script = "frob\n\nhello\n1,1\na\n\n2,2\nb\n"
        result = self.run_host("--load", hostrun.test_module_path("hello"), "--save-as", out, script=script)
        self.assertExit(result, 0)
        self.assertEqual(result.stdout.count("Unknown command"), 1, "an unknown name is not repeated")
        # The repeated command is shown after the prompt as if typed again.
        self.assertEqual(result.stdout.count("\nCommand: hello\nHello from the test module."), 2, result.stdout)
        self.assertEqual([t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out))], ["a", "b"])


class Messages(tc.TallyCase):
    def test_the_host_speaks_chinese_when_verlan_asks(self):
        script = "frob\ntally\nO\nD\nabc\n2\n<esc>\nU\nREDO\n"
        result = self.run_host("--load", hostrun.module_path(), "--set", "VERLAN=zh-CN", script=script)
        self.assertExit(result, 0)
        for text in ("\n命令: frob", "\n未知命令“FROB”。按 F1 查看帮助。", "\n需要整数值。", "*取消*",
                     "\n已全部放弃", "\n没有可重做的操作。"):
            self.assertIn(text, result.stdout)
        for english in ("Command:", "Unknown command", "Requires", "*Cancel*", "undone", "redo"):
            self.assertNotIn(english, result.stdout)

    def test_a_refused_answer_is_asked_again_on_a_line_of_its_own(self):
        result, _ = self.tally(p100, ["tally", "O", "D", "abc", "2", "<esc>"])
        self.assertIn("\nInput increment value:abc\nRequires an integer value.\nInput increment value:2", result.stdout)

    def test_an_integer_beyond_32_bits_is_out_of_range_not_a_non_integer(self):
        hello = hostrun.test_module_path("hello")
        script = "hello\n1,1\na\nhello\n2,2\nb\nUNDO\n99999999999\n-99999999999\n1\n"
        for verlan, message in (("en-US", "Value out of range."), ("zh-CN", "值超出范围。")):
            with self.subTest(verlan=verlan):
                out = self.path("out.dxf")
                result = self.run_host("--load", hello, "--set", f"VERLAN={verlan}", "--save-as", out, script=script)
                self.assertExit(result, 0)
                self.assertEqual(result.stdout.count(f"99999999999\n{message}\n"), 2, result.stdout)
                self.assertEqual([t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out))], ["a"])

    def test_ortho_governs_the_cursor_not_typed_points(self):
        # The pick leaves the last point at 5,1: ortho from there would move a typed 0,0 to 0,1.
        result, doc = self.tally(p100, ["tally"] + tc.LINE + ["5,1", "N", "2", "0,0", "0,20"],
                                 sysvars={"ORTHOMODE": 1})
        self.assertCopies(doc, [("P101", (0, 10)), ("P102", (0, 20))])


if __name__ == "__main__":
    unittest.main()
