# zrxhost at a terminal: a real pseudo-terminal with line editing, UTF-8, Esc, Ctrl-C, questions, progress.
import itertools
import os
import unittest

import hostrun
from hostrun import CTRL_C, CTRL_D, ESC


def p100(msp):
    msp.add_text("P100", dxfattribs={"height": 2.5}).set_placement((0, 0))


class Interactive(hostrun.HostTestCase):
    def terminal(self, *args, answers, **kwargs):
        code, shown = hostrun.run_host_in_terminal(*args, answers=answers, cwd=self.workdir, **kwargs)
        return code, shown.replace("\r\n", "\n")

    def test_typed_commands_run_and_end_of_input_finishes(self):
        out = self.path("out.dxf")
        code, shown = self.terminal("--load", hostrun.test_module_path("hello"), "--save-as", out,
                                    answers=["nosuchcommand", "hello", "4,5", "typed at a terminal"])
        self.assertEqual(code, 0, shown)
        self.assertIn("Command:", shown)
        self.assertRegex(shown, r'Unknown command "(?i:nosuchcommand)"')
        self.assertIn('Wrote "typed at a terminal".', shown)
        self.assertIn("test module unloaded", shown)
        doc = hostrun.read_drawing_strict(out)
        self.assertEqual(hostrun.texts_of(doc), [("typed at a terminal", (4.0, 5.0, 0.0))])

    def test_chinese_prompts_and_typed_chinese_whatever_the_locale(self):
        # A locale that is not UTF-8 at all: the host must still edit and show UTF-8.
        drawing = self.new_drawing("in.dxf", p100)
        out = self.path("out.dxf")
        for verlan in ("zh-CN", "en-US"):
            with self.subTest(verlan=verlan):
                code, shown = self.terminal(
                    drawing, "--load", hostrun.module_path(), "--load", hostrun.test_module_path("hello"),
                    "--set", f"VERLAN={verlan}", "--save-as", out, env={"LANG": "C", "LC_ALL": "C"},
                    answers=["tally", "O", "D", "3", ESC, "hello", "1,1", "房间 101 号"])
                self.assertEqual(code, 0, shown)
                if verlan == "zh-CN":
                    self.assertIn("修改递增模式", shown)
                    self.assertIn("命令:", shown)
                self.assertIn("房间 101 号", shown)
                texts = [t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out))]
                self.assertEqual(texts, ["P100", "房间 101 号"])

    def test_esc_cancels_a_prompt_and_a_drag_and_nothing_is_written(self):
        drawing = self.new_drawing("in.dxf", p100)
        out = self.path("out.dxf")
        code, shown = self.terminal(
            drawing, "--load", hostrun.module_path(), "--save-as", out,
            answers=["tally", "O", "M", "L", "5,1", "N", "4", "0,0", ESC, "tally", "O", b"M", ESC, "U"])
        self.assertEqual(code, 0, shown)
        # Esc during the drag and at a half-typed answer: *Cancel*, then the command prompt again.
        self.assertEqual(shown.count("*Cancel*\nCommand:"), 2, shown)
        self.assertEqual([t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out))], ["P100"])

    def test_ctrl_c_cancels_the_command_not_the_program(self):
        drawing = self.new_drawing("in.dxf", p100)
        out = self.path("out.dxf")
        code, shown = self.terminal(
            drawing, "--load", hostrun.module_path(), "--save-as", out,
            answers=[CTRL_C, "tally", "O", "M", "L", "5,1", "N", "4", "0,0", CTRL_C,
                     "tally", "5,1", "N", "2", "0,0", "0,10"])
        self.assertEqual(code, 0, shown)
        # At the command prompt Ctrl-C only shows the prompt again; in the drag it cancels.
        self.assertIn("Command: \nCommand: tally", shown)
        self.assertEqual(shown.count("*Cancel*"), 1, shown)
        texts = sorted(t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out)))
        self.assertEqual(texts, ["P100", "P101", "P102"])

    def test_unsaved_changes_are_asked_about_before_they_are_lost(self):
        hello = hostrun.test_module_path("hello")
        drawing = self.new_drawing("in.dxf", p100)
        with open(drawing, "rb") as f:
            before = f.read()

        # Ctrl-D with changes: asked; Cancel goes back to the command line, No then drops them.
        code, shown = self.terminal(drawing, "--load", hello,
                                    answers=["hello", "1,1", "first", CTRL_D, "C", CTRL_D, "N"],
                                    end_with_ctrl_d=False)
        self.assertEqual(code, 0, shown)
        self.assertEqual(shown.count(f"Save changes to {drawing}? [Yes/No/Cancel] <Yes>:"), 2, shown)
        self.assertIn("The changes were discarded.", shown)
        with open(drawing, "rb") as f:
            self.assertEqual(f.read(), before)

        # QUIT with changes: Yes (Enter) saves to the drawing's own file, then the program ends.
        code, shown = self.terminal(drawing, "--load", hello,
                                    answers=["hello", "2,2", "second", "quit", ""], end_with_ctrl_d=False)
        self.assertEqual(code, 0, shown)
        self.assertIn(f"Saved {drawing}", shown)
        texts = [t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(drawing))]
        self.assertEqual(texts, ["P100", "second"])

        # Nothing changed, or everything undone: nothing to ask.
        code, shown = self.terminal(drawing, "--load", hello, answers=["hello", "3,3", "third", "u", "quit"],
                                    end_with_ctrl_d=False)
        self.assertEqual(code, 0, shown)
        self.assertNotIn("Save changes", shown)

    def test_no_at_the_way_out_discards_without_asking_again(self):
        drawing = self.new_drawing("in.dxf", p100)
        with open(drawing, "rb") as f:
            before = f.read()
        for (verlan, asked), way_out in itertools.product(
                (("en-US", "Save changes to"), ("zh-CN", "是否将改动保存到")), ("QUIT", CTRL_D)):
            with self.subTest(verlan=verlan, way_out=way_out):
                # A Y after the No would save what the user chose to throw away, were it asked for.
                code, shown = self.terminal(
                    drawing, "--load", hostrun.module_path(), "--set", f"VERLAN={verlan}",
                    answers=["tally", "5,1", "0,0", "0,10", "", way_out, "N", "Y"], end_with_ctrl_d=False)
                self.assertEqual(code, 0, shown)
                self.assertEqual(shown.count(asked), 1, shown)
                with open(drawing, "rb") as f:
                    self.assertEqual(f.read(), before)

    def test_a_run_cancelled_after_the_pick_changes_nothing(self):
        # The picked text is measured and put back, the mark added and erased: nothing to undo or save.
        drawing = self.new_drawing("in.dxf", p100)
        code, shown = self.terminal(drawing, "--load", hostrun.module_path(),
                                    answers=["tally", "5,1", ESC, "U", "QUIT"], end_with_ctrl_d=False)
        self.assertEqual(code, 0, shown)
        self.assertIn("Specify the base point:*Cancel*", shown)
        self.assertNotIn("Undone", shown)
        self.assertNotIn("Save changes", shown)
        # Saved anyway, the drawing is the file read, byte for byte.
        out = self.path("out.dxf")
        result = self.run_host(drawing, "--load", hostrun.module_path(), "--save-as", out,
                               script="tally\n5,1\n<esc>\n")
        self.assertExit(result, 0)
        with open(drawing, "rb") as a, open(out, "rb") as b:
            self.assertEqual(a.read(), b.read())

    def test_progress_of_long_work_shows_on_the_terminal_only(self):
        def many_texts(msp):
            p100(msp)
            for i in range(20000):
                msp.add_text(f"T{i}", dxfattribs={"height": 1, "insert": (i % 100 * 10, 50 + i // 100 * 2)})

        drawing = self.new_drawing("in.dxf", many_texts)
        out = self.path("out.dxf")
        env = {"ZRXHOST_PROGRESS_DELAY_MS": "0"}
        code, shown = self.terminal(drawing, "--load", hostrun.module_path(), "--save-as", out, env=env,
                                    answers=["tally", "O", "M", "L", "5,1", "0.001", "0,0", "100,0"])
        self.assertEqual(code, 0, shown)
        self.assertRegex(shown, r"TALLY  [\d,]+ objects added")
        self.assertIn(f"Reading {drawing}", shown)
        self.assertIn(f"Saving {out}", shown)
        # The same work from a script: not a trace of it.
        result = self.run_host(drawing, "--load", hostrun.module_path(), "--save-as", out, env=env,
                               script="tally\nO\nM\nL\n5,1\n0.001\n0,0\n100,0\n")
        self.assertExit(result, 0)
        self.assertNotIn("objects added", result.stdout + result.stderr)
        self.assertNotIn("Saving", result.stdout + result.stderr)


if __name__ == "__main__":
    unittest.main()
