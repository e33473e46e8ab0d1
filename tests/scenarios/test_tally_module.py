# The module file itself: its exports, its interface version, and loading it into zrxhost.
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
        # Loaded into a fresh Python; a sanitizer build of the module needs its runtime loaded first.
        path = os.path.abspath(hostrun.module_path())
        probe = (
            "import ctypes, sys\n"
            "m = ctypes.CDLL(sys.argv[1], mode=ctypes.RTLD_LOCAL)\n"
            "v = m.zcrxGetApiVersion\n"
            "v.restype = ctypes.c_int32\n"
            "v.argtypes = []\n"
            "print(hex(v() & 0xFFFFFFFF), hasattr(m, 'zcrxEntryPoint'), hasattr(m, 'incrementCommand'))\n")
        env = dict(os.environ)
        runtimes = hostrun.sanitizer_runtimes(path)
        if runtimes:
            env["LD_PRELOAD"] = " ".join(runtimes)
            env["ASAN_OPTIONS"] = "detect_leaks=0"
        out = subprocess.run(["/usr/bin/python3", "-c", probe, path], capture_output=True, text=True, env=env)
        self.assertEqual(out.returncode, 0, out.stderr)
        self.assertEqual(out.stdout.split(), ["0x7e50046", "True", "False"])

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
