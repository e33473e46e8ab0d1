# zrxhost at a terminal: the interactive command line with line editing.
import unittest

import hostrun


class Interactive(hostrun.HostTestCase):
    def test_typed_commands_run_and_end_of_input_finishes(self):
        out = self.path("out.dxf")
        code, shown = hostrun.run_host_in_terminal(
            "--load", hostrun.test_module_path("hello"), "--save-as", out,
            answers=["nosuchcommand", "hello", "4,5", "typed at a terminal"], cwd=self.workdir)
        self.assertEqual(code, 0, shown)
        self.assertIn("Command:", shown)
        self.assertRegex(shown, r'Unknown command "(?i:nosuchcommand)"')
        self.assertIn('Wrote "typed at a terminal".', shown)
        self.assertIn("test module unloaded", shown)
        doc = hostrun.read_drawing_strict(out)
        self.assertEqual(hostrun.texts_of(doc), [("typed at a terminal", (4.0, 5.0, 0.0))])


if __name__ == "__main__":
    unittest.main()
