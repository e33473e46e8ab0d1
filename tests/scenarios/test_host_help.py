# HELP and the F1 key: every command the host has, what each does, in columns, in English and Chinese.
import re
import unicodedata
import unittest

import hostrun

HOST_COMMANDS = ("U", "UNDO", "REDO", "HELP", "OSNAP", "ORTHO", "SNAP", "GRID", "SAVE", "SAVEAS", "QUIT")
F1 = b"\x1bOP"  # what xterm and most terminals send for F1
F1_VT220 = b"\x1b[11~"


def columns(text):
    """How many columns `text` takes at a terminal: East Asian wide characters take two."""
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


class Help(hostrun.HostTestCase):
    def test_help_lists_every_command_with_what_it_does_in_columns_and_names_the_guide(self):
        hello = hostrun.test_module_path("hello")
        for verlan in ("en-US", "zh-CN"):
            with self.subTest(verlan=verlan):
                result = self.run_host("--load", hello, "--set", f"VERLAN={verlan}", script="help\n")
                self.assertExit(result, 0)
                lines = result.stdout.split("\n")
                # Where each host command's description begins, in terminal columns.
                starts = {}
                for line in lines:
                    row = re.fullmatch(r"  (\S+)( +)(\S.*)", line)
                    if row and row.group(1) in HOST_COMMANDS:
                        starts[row.group(1)] = columns(line[: row.start(3)])
                self.assertEqual(sorted(starts), sorted(HOST_COMMANDS), result.stdout)
                self.assertEqual(len(set(starts.values())), 1, result.stdout)
                self.assertIn("  HELLO", lines)
                self.assertIn("  SHOWVAR", lines)
                guide = next(i for i, line in enumerate(lines) if "docs/user-guide.md" in line)
                self.assertIn("README.md", lines[guide])
                self.assertEqual(lines[guide + 1], "Command: " if verlan == "en-US" else "命令: ")

    def test_f1_shows_the_help_at_any_prompt_and_keeps_what_was_typed(self):
        out = self.path("out.dxf")
        code, shown = hostrun.run_host_in_terminal(
            "--load", hostrun.test_module_path("hello"), "--save-as", out, cwd=self.workdir,
            answers=[F1, "hello", F1_VT220, "1,1", b"ke", F1, "pt"])
        shown = shown.replace("\r\n", "\n")
        self.assertEqual(code, 0, shown)
        self.assertEqual(shown.count("\nCommands:\n  U "), 3, shown)
        self.assertNotIn("Unknown command", shown)
        # After the help the same prompt comes back, and what was typed before F1 is still there.
        self.assertEqual([t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out))], ["kept"])


if __name__ == "__main__":
    unittest.main()
