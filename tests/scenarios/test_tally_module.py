# The module file itself: its exports, its interface version, and loading it into zrxhost.
import ctypes
import os
import subprocess
import unittest

import hostrun
import tally_common as tc

# Symbols every shared object defines for the linker's own use.
LINKER_SYMBOLS = {"_init", "_fini", "_edata", "_end", "__bss_start"}


class ModuleFile(tc.TallyCase):
    def test_exports_exactly_the_two_entry_points(self):
        out = subprocess.run(["nm", "-D", "--defined-only", hostrun.module_path()], capture_output=True,
                             text=True, check=True).stdout
        names = {line.split()[-1] for line in out.splitlines() if line.strip()}
        self.assertEqual(names - LINKER_SYMBOLS, {"zcrxEntryPoint", "zcrxGetApiVersion"}, out)

    def test_version_answers_without_initialisation(self):
        module = ctypes.CDLL(os.path.abspath(hostrun.module_path()), mode=ctypes.RTLD_LOCAL)
        version = module.zcrxGetApiVersion
        version.restype = ctypes.c_int32
        version.argtypes = []
        self.assertEqual(version(), 0x07E50046)
        self.assertTrue(hasattr(module, "zcrxEntryPoint"))
        with self.assertRaises(AttributeError):
            getattr(module, "incrementCommand")

    def test_command_exists_only_with_the_module_loaded(self):
        drawing = self.new_drawing("in.dxf")
        without = self.run_host(drawing, script="tally\n")
        self.assertExit(without, 0)
        self.assertIn('Unknown command "TALLY"', without.stdout)
        with_module = self.run_host(drawing, "--load", hostrun.module_path(), script="TALLY\n<esc>\n")
        self.assertExit(with_module, 0)
        self.assertNotIn("Unknown command", with_module.stdout)
        self.assertIn(tc.MODE_FREE + "1", with_module.stdout)


if __name__ == "__main__":
    unittest.main()
