# A second module that registers names another module holds: refused at load, nothing of the first lost.
import os
import shutil

import hostrun


class NameClash(hostrun.HostTestCase):
    def test_a_byte_copy_of_a_loaded_module_is_refused(self):
        cases = [(hostrun.module_path(), ['command "tally"', 'class "TextArray"']),
                 (hostrun.test_module_path("hello"), ['command "HELLO"', 'command "SHOWVAR"'])]
        for original, names in cases:
            with self.subTest(module=os.path.basename(original)):
                copy = self.path("copy-" + os.path.basename(original))
                shutil.copyfile(original, copy)
                out = self.path("out.dxf")
                result = self.run_host("--load", original, "--load", copy, "--save-as", out, script="")
                # Exit 3 with the names, not a crash when the modules go at exit.
                self.assertFailsWith(result, 3, "cannot load module " + copy, *names)
                self.assertNotIn("runtime error", result.stderr)
                self.assertNotIn("Sanitizer", result.stderr)
                self.assertFalse(os.path.exists(out))

    def test_the_refused_copy_undoes_only_what_it_registered(self):
        # The copy hears "unload" when it is refused (to undo what it did register), the original at exit.
        hello = hostrun.test_module_path("hello")
        copy = self.path("hello-copy.zrx")
        shutil.copyfile(hello, copy)
        refused = self.run_host("--load", hello, "--load", copy, script="")
        self.assertExit(refused, 3)
        self.assertEqual(refused.stdout.count("test module loaded"), 2, refused)
        self.assertEqual(refused.stdout.count("test module unloaded"), 2, refused)
        # Loaded alone, the copy is an ordinary module.
        alone = self.run_host("--load", copy, script="hello\n1,2\nkept\n")
        self.assertExit(alone, 0)
        self.assertIn('Wrote "kept".', alone.stdout)
