# zrxhost's command line: usage errors, help and version, unreadable drawings, --set.
import os
import unittest

import hostrun


def file_state(path):
    with open(path, "rb") as f:
        data = f.read()
    return data, os.stat(path).st_mtime_ns


class UsageErrors(hostrun.HostTestCase):
    def test_bad_command_lines_exit_1_with_a_message_and_write_nothing(self):
        out = self.path("out.dxf")
        cases = [
            (["--frobnicate"], "unknown option"),
            (["a.dxf", "b.dxf"], "only one drawing"),
            (["--set", "VERLAN"], "NAME=VALUE"),
            (["--set", "=x"], "NAME=VALUE"),
            (["--load"], "needs a value"),
            (["--save-as", out, "--save-as", out], "more than once"),
            (["--script", self.path("missing.scr")], "cannot read script"),
            # A folder opens and reads as empty input: it must be refused, not run as nothing.
            (["--script", self.workdir], "is a folder"),
            (["--set", "NOSUCHVARIABLE=1"], "NOSUCHVARIABLE"),
            (["--set", "ORTHOMODE=7"], "ORTHOMODE"),
            # "--" as an option's value does not end the options: the language asked after it holds.
            (["--script", "--", "--set", "VERLAN=zh-CN"], "无法读取脚本 --"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                result = self.run_host(*args) if "--save-as" in args else self.run_host("--save-as", out, *args)
                self.assertFailsWith(result, 1, message)
                self.assertFalse(os.path.exists(out))

    def test_help_and_version(self):
        result = self.run_host("--help")
        self.assertExit(result, 0)
        self.assertIn("Usage: zrxhost", result.stdout)
        for option in ("--load", "--script", "--set", "--save-as", "--svg", "--png"):
            self.assertIn(option, result.stdout)
        # The README lists every exit code the program documents.
        readme = open(os.path.join(os.path.dirname(__file__), "..", "..", "README.md"), encoding="utf-8").read()
        for code in range(6):
            self.assertIn(f"{code} ", result.stdout[result.stdout.index("Exit status"):])
            self.assertRegex(readme, rf"\b{code} [a-z]")
        result = self.run_host("--version")
        self.assertExit(result, 0)
        self.assertIn("0x07E50046", result.stdout)

    def test_new_drawing_without_arguments_runs_an_empty_script(self):
        result = self.run_host("--save-as", self.path("new.dxf"), stdin="")
        self.assertExit(result, 0)
        self.assertEqual(result.stderr, "")
        doc = hostrun.read_drawing_strict(self.path("new.dxf"))
        self.assertEqual(len(doc.modelspace()), 0)


class UnreadableDrawings(hostrun.HostTestCase):
    def assertRefused(self, drawing, *message_parts):
        before = file_state(drawing) if os.path.exists(drawing) else None
        out = self.path("out.dxf")
        for save in (out, drawing):
            result = self.run_host(drawing, "--save-as", save, "--png", self.path("out.png"), script="")
            self.assertFailsWith(result, 2, drawing, *message_parts)
            self.assertFalse(os.path.exists(out))
            self.assertFalse(os.path.exists(self.path("out.png")))
            if before is not None:
                self.assertEqual(file_state(drawing), before, "the input was touched")
            else:
                self.assertFalse(os.path.exists(drawing))

    def test_missing_file(self):
        self.assertRefused(self.path("missing.dxf"))

    def test_not_a_drawing(self):
        path = self.path("notes.dxf")
        with open(path, "w") as f:
            f.write("These are my notes, not a drawing.\n")
        self.assertRefused(path)

    def test_truncated_drawing_names_a_line(self):
        whole = self.new_drawing("whole.dxf", lambda msp: msp.add_text("A", dxfattribs={"height": 2}))
        with open(whole, "rb") as f:
            data = f.read()
        cut = self.path("cut.dxf")
        with open(cut, "wb") as f:
            f.write(data[: len(data) // 2])
        self.assertRefused(cut, "line")

    def test_empty_file(self):
        path = self.path("empty.dxf")
        open(path, "w").close()
        self.assertRefused(path)


class SystemVariables(hostrun.HostTestCase):
    def show(self, *set_args, names=("VERLAN",)):
        script = "".join(f"showvar\n{name}\n" for name in names)
        return self.run_host("--load", hostrun.test_module_path("hello"), *set_args, script=script)

    def test_set_changes_the_variable_before_modules_run(self):
        result = self.show()
        self.assertExit(result, 0)
        self.assertIn("VERLAN = en-US", result.stdout)
        result = self.show("--set", "VERLAN=zh-CN", "--set", "pickbox=2", names=("VERLAN", "PICKBOX"))
        self.assertExit(result, 0)
        self.assertIn("VERLAN = zh-CN", result.stdout)
        self.assertIn("PICKBOX = 2", result.stdout)

    def test_unknown_variable_is_a_usage_error_before_anything_runs(self):
        out = self.path("out.dxf")
        result = self.run_host("--set", "NOSUCHVARIABLE=1", "--load", hostrun.test_module_path("hello"),
                               "--save-as", out, script="hello\n0,0\nx\n")
        self.assertFailsWith(result, 1, "NOSUCHVARIABLE")
        self.assertNotIn("test module loaded", result.stdout)
        self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main()
