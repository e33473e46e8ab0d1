# zrxhost's messages on standard error (usage, drawings, outputs, modules) in the language VERLAN chooses.
import re
import unittest

import hostrun

ENGLISH_WORDS = re.compile(r"\b(line|cannot|warning|unknown|option|Try|it does not)\b")


class Diagnostics(hostrun.HostTestCase):
    def setUp(self):
        super().setUp()
        self.notes = self.path("notes.dxf")
        with open(self.notes, "w") as f:
            f.write("These are my notes, not a drawing.\n")
        # Read with a warning: what follows EOF is left out.
        self.padded = self.new_drawing("padded.dxf")
        with open(self.padded, "a") as f:
            f.write("junk\n")
        self.no_exports = hostrun.test_module_path("hello_no_exports")

    def cases(self):
        """(arguments, exit code, standard error in English, parts of it in Chinese)."""
        return [
            (["--frobnicate"], 1, "zrxhost: unknown option \"--frobnicate\"\nTry 'zrxhost --help'.\n",
             ["未知选项“--frobnicate”", "请尝试 'zrxhost --help'。"]),
            ([self.notes], 2,
             f"zrxhost: {self.notes}: line 1: a group code was expected, found "
             "'These are my notes, not a drawing.' (this is not a DXF file)\n",
             [self.notes, "第 1 行：", "这不是 DXF 文件"]),
            ([self.path("missing.dxf")], 2,
             f"zrxhost: {self.path('missing.dxf')}: cannot open: No such file or directory\n", ["无法打开"]),
            ([self.padded], 0, None, ["警告：", self.padded, "EOF 之后的内容被忽略"]),
            (["--save-as", self.path("no-folder/out.dxf")], 4,
             f"zrxhost: cannot write {self.path('no-folder/out.dxf')}: the folder {self.path('no-folder')} does not exist\n",
             ["无法写入", "文件夹", "不存在"]),
            (["--load", self.no_exports], 3,
             f"zrxhost: cannot load module {self.no_exports}: it does not export zcrxGetApiVersion\n",
             ["无法加载模块", "没有导出 zcrxGetApiVersion"]),
        ]

    def test_messages_follow_verlan_and_english_stays_as_it_was(self):
        for args, code, english, chinese in self.cases():
            with self.subTest(args=args):
                result = self.run_host(*args, script="")
                self.assertExit(result, code)
                if english is not None:
                    self.assertEqual(result.stderr, english)
                else:
                    self.assertRegex(result.stderr, rf"^zrxhost: warning: {re.escape(self.padded)}: line \d+: ")
                # VERLAN given first or last, it applies to every message, even one about the command line.
                for order in (["--set", "VERLAN=zh-CN", *args], [*args, "--set", "VERLAN=zh-CN"]):
                    result = self.run_host(*order, script="")
                    self.assertExit(result, code)
                    self.assertTrue(result.stderr.startswith("zrxhost: "), repr(result))
                    for part in chinese:
                        self.assertIn(part, result.stderr)
                    self.assertNotRegex(result.stderr, ENGLISH_WORDS)

    def test_help_in_chinese(self):
        result = self.run_host("--help", "--set", "VERLAN=zh-CN")
        self.assertExit(result, 0)
        self.assertIn("用法：zrxhost", result.stdout)
        for option in ("--load", "--script", "--set", "--save-as", "--svg", "--png", "--view"):
            self.assertIn(option, result.stdout)
        self.assertIn("退出状态", result.stdout)


if __name__ == "__main__":
    unittest.main()
