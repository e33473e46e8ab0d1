# Loading modules into zrxhost, running their commands from scripts, saving the result.
import os
import unittest

import hostrun


class ModuleLoading(hostrun.HostTestCase):
    def test_modules_that_cannot_be_used_exit_3(self):
        not_a_library = self.path("notes.zrx")
        with open(not_a_library, "w") as f:
            f.write("not a module\n")
        cases = [
            (hostrun.test_module_path("hello_wrong_version"), ["interface version", "0x07E50045", "0x07E50046"]),
            (hostrun.test_module_path("hello_no_exports"), ["does not export zcrx"]),
            (self.path("missing.zrx"), ["missing.zrx"]),
            (not_a_library, ["notes.zrx"]),
        ]
        out = self.path("out.dxf")
        for module, parts in cases:
            with self.subTest(module=os.path.basename(module)):
                result = self.run_host("--load", module, "--save-as", out, script="")
                self.assertFailsWith(result, 3, *parts)
                self.assertFalse(os.path.exists(out))

    def test_a_later_failure_still_unloads_the_modules_already_loaded(self):
        result = self.run_host("--load", hostrun.test_module_path("hello"),
                               "--load", hostrun.test_module_path("hello_wrong_version"), script="")
        self.assertFailsWith(result, 3, "interface version")
        self.assertIn("test module loaded", result.stdout)
        self.assertIn("test module unloaded", result.stdout)

    def test_loading_the_same_module_twice_is_refused(self):
        hello = hostrun.test_module_path("hello")
        result = self.run_host("--load", hello, "--load", hello, script="")
        self.assertFailsWith(result, 3, "already loaded")
        self.assertEqual(result.stdout.count("test module loaded"), 1)

    def test_a_name_is_found_in_the_module_folders_and_never_in_the_current_or_drawing_folder(self):
        modules = os.path.dirname(hostrun.test_module_path("hello"))
        os.mkdir(self.path("here"))
        os.symlink(hostrun.test_module_path("hello"), self.path("here/hello.zrx"))
        drawing = self.new_drawing("here/in.dxf")
        for name in ("hello", "hello.zrx"):
            with self.subTest(name=name):
                # A relative folder in the path is passed over: it would be the current folder.
                result = self.run_host(drawing, "--load", name, script="hello\n1,2\nhere\n", cwd=self.path("here"),
                                       env={"ZRXHOST_MODULE_PATH": f"here:.::{modules}"})
                self.assertExit(result, 0)
                self.assertIn('Wrote "here".', result.stdout)
        for verlan, said in (("en-US", "no hello.zrx in the module folders (looked in: "),
                             ("zh-CN", "模块文件夹中没有 hello.zrx（查找了：")):
            with self.subTest(verlan=verlan):
                empty = self.path("empty")
                os.makedirs(empty, exist_ok=True)
                result = self.run_host(drawing, "--load", "hello", "--set", f"VERLAN={verlan}", script="",
                                       cwd=self.path("here"), env={"ZRXHOST_MODULE_PATH": f".:{empty}"})
                self.assertFailsWith(result, 3, said + empty + ", ")
                self.assertIn(os.path.dirname(os.path.realpath(hostrun.zrxhost_path())), result.stderr)
                self.assertNotIn(self.path("here"), result.stderr)
        result = self.run_host("--load", "./hello.zrx", script="", cwd=self.path("here"))
        self.assertExit(result, 0)
        self.assertIn("test module loaded", result.stdout)


class Scripts(hostrun.HostTestCase):
    def setUp(self):
        super().setUp()
        self.hello = hostrun.test_module_path("hello")
        self.drawing = self.new_drawing(
            "in.dxf", lambda msp: msp.add_text("old", dxfattribs={"insert": (0, 0), "height": 2.5}))

    def run_script(self, script, version_drawing=None, **kwargs):
        out = self.path("out.dxf")
        result = self.run_host(version_drawing or self.drawing, "--load", self.hello, "--save-as", out,
                               script=script, **kwargs)
        return result, out

    def test_command_runs_and_its_text_is_saved(self):
        result, out = self.run_script("hello\n10,20\nhello world\n")
        self.assertExit(result, 0)
        self.assertEqual(result.stderr, "")
        # The life cycle and the command, in order, in the transcript.
        lines = result.stdout
        order = [lines.find(s) for s in ("test module loaded", "Hello from the test module.", "Text position:",
                                         'Wrote "hello world".', "test module unloaded")]
        self.assertNotIn(-1, order, lines)
        self.assertEqual(order, sorted(order), lines)
        doc = hostrun.read_drawing_strict(out)
        texts = hostrun.texts_of(doc)
        self.assertEqual([t for t, _ in texts], ["old", "hello world"])
        self.assertEqual(texts[1][1], (10.0, 20.0, 0.0))
        self.assertEqual(hostrun.entities_of(doc, "TEXT")[1].dxf.color, 1)

    def test_global_and_local_names_in_any_case(self):
        result, out = self.run_script("HELLO\n1,1\na\nbonjour\n2,2\nb\nBonJour\n3,3\nc\n")
        self.assertExit(result, 0)
        self.assertEqual([t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out))], ["old", "a", "b", "c"])

    def test_unknown_command_gets_the_message_and_the_prompt_again(self):
        result, out = self.run_script("frobnicate\nhello\n5,5\nafter\n")
        self.assertExit(result, 0)
        self.assertRegex(result.stdout, r'Unknown command "(?i:frobnicate)"\.  Press F1 for help\.')
        self.assertIn("after", [t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out))])

    def test_script_running_out_at_a_prompt_cancels_the_command(self):
        result, out = self.run_script("hello\n5,5\n")
        self.assertExit(result, 0)
        self.assertEqual([t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(out))], ["old"])
        self.assertIn("test module unloaded", result.stdout)

    def test_script_from_standard_input(self):
        for args in (["--script", "-"], []):
            with self.subTest(args=args):
                out = self.path("stdin.dxf")
                result = self.run_host(self.drawing, "--load", self.hello, *args, "--save-as", out,
                                       stdin="# a comment\nhello\n7,8\nfrom stdin\n")
                self.assertExit(result, 0)
                self.assertIn(("from stdin", (7.0, 8.0, 0.0)), hostrun.texts_of(hostrun.read_drawing_strict(out)))

    def test_chinese_text_survives_r2000_and_r2018(self):
        for version in ("R2000", "R2018"):
            with self.subTest(version=version):
                drawing = self.new_drawing(f"in{version}.dxf", version=version)
                result, out = self.run_script("hello\n0,0\n\u4e2d\u6587\u6d4b\u8bd5\n", version_drawing=drawing)
                self.assertExit(result, 0)
                doc = hostrun.read_drawing_strict(out)
                self.assertEqual(doc.dxfversion, {"R2000": "AC1015", "R2018": "AC1032"}[version])
                self.assertEqual([t for t, _ in hostrun.texts_of(doc)], ["\u4e2d\u6587\u6d4b\u8bd5"])

    def test_saving_over_the_input_replaces_it_whole(self):
        result = self.run_host(self.drawing, "--load", self.hello, "--save-as", self.drawing, script="hello\n3,4\nnew\n")
        self.assertExit(result, 0)
        self.assertEqual([t for t, _ in hostrun.texts_of(hostrun.read_drawing_strict(self.drawing))], ["old", "new"])
        self.assertEqual(sorted(os.listdir(self.workdir)), ["in.dxf"], "no temporary file left behind")


class WriteFailures(hostrun.HostTestCase):
    def test_unwritable_outputs_exit_4_and_leave_the_input_alone(self):
        drawing = self.new_drawing("in.dxf", lambda msp: msp.add_text("keep"))
        with open(drawing, "rb") as f:
            before = f.read()
        os.mkdir(self.path("a-directory"))
        cases = [
            (["--save-as", "/nonexistent-dir/out.dxf"], "/nonexistent-dir/out.dxf"),
            (["--svg", "/nonexistent-dir/out.svg"], "/nonexistent-dir/out.svg"),
            (["--png", self.path("a-directory")], "a-directory"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                result = self.run_host(drawing, *args, script="")
                self.assertFailsWith(result, 4, message)
                with open(drawing, "rb") as f:
                    self.assertEqual(f.read(), before)

    def test_an_output_that_cannot_be_written_is_refused_before_any_work(self):
        drawing = self.new_drawing("in.dxf", lambda msp: msp.add_text("keep"))
        out = self.path("out.dxf")
        locked = self.path("locked")
        os.mkdir(locked)
        os.chmod(locked, 0o500)
        self.addCleanup(os.chmod, locked, 0o700)
        for bad in ("/nonexistent-dir/out.svg", os.path.join(locked, "out.svg")):
            if bad.startswith(locked) and os.access(locked, os.W_OK):
                continue  # running as a user no permission stops
            with self.subTest(bad=bad):
                result = self.run_host(drawing, "--load", hostrun.test_module_path("hello"), "--svg", bad, "--save-as", out, "--png",
                                       self.path("out.png"), script="hello\n1,1\nnever\n")
                self.assertFailsWith(result, 4, bad)
                self.assertNotIn("test module loaded", result.stdout, "work began before the check")
                self.assertFalse(os.path.exists(out))
                self.assertFalse(os.path.exists(self.path("out.png")))


if __name__ == "__main__":
    unittest.main()
