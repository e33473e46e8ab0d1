# The include check of the layers: the tree passes, and a planted upward include fails it by name.
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
CHECK = ROOT / "scripts" / "check_layers.py"
LAYERED = ["host", "module", "command", "jig", "text"]


def run_check(root, *flags):
    return subprocess.run([sys.executable, str(CHECK), "--root", str(root), *flags],
                          capture_output=True, text=True, timeout=120)


class LayerCheck(unittest.TestCase):
    def setUp(self):
        self.tmp = pathlib.Path(tempfile.mkdtemp(prefix="layers-"))
        self.addCleanup(shutil.rmtree, self.tmp)
        for folder in LAYERED:
            shutil.copytree(ROOT / folder, self.tmp / folder)

    def plant(self, rel, include):
        path = self.tmp / rel
        path.write_text(path.read_text(encoding="utf-8") + f'#include "{include}"\n', encoding="utf-8")

    def test_the_tree_passes_and_the_graph_shows_every_layer(self):
        result = run_check(ROOT, "--graph")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        lines = result.stdout.splitlines()
        for layer in ("ge", "rx", "fonts", "gi", "db", "ed", "dxf", "render", "app", "window",
                      "module/host.h", "text", "jig", "command", "module"):
            self.assertTrue(any(line.split(" -> ")[0].strip() == layer for line in lines), layer)
        db = next(line for line in lines if line.strip().startswith("db ->"))
        self.assertRegex(db, r"\bge \d+")

    def test_upward_includes_fail_with_the_file_and_both_layers(self):
        cases = [
            ("host/rx/util.cpp", "zrxhost/session.h", "host/rx/util.cpp (rx) includes zrxhost/session.h (ed)"),
            ("host/include/zrx/db/text.h", "zrx/ed.h", "(db) includes zrx/ed.h (ed)"),
            ("host/dxf/dxf_read.cpp", "render/scene.h", "(dxf) includes render/scene.h (render)"),
            ("text/run.cpp", "jig/placement.h", "text/run.cpp (text) includes jig/placement.h (jig)"),
            ("module/host.h", "text/run.h", "(module/host.h) includes text/run.h (text)"),
            ("host/render/scene.h", "../../jig/commit.h", "(render) includes ../../jig/commit.h (jig)"),
            ("jig/commit.cpp", "zrx/db.h", "jig/commit.cpp (jig) includes zrx/db.h (db) around module/host.h"),
        ]
        for rel, include, expected in cases:
            with self.subTest(file=rel, include=include):
                original = (self.tmp / rel).read_text(encoding="utf-8")
                self.plant(rel, include)
                result = run_check(self.tmp)
                (self.tmp / rel).write_text(original, encoding="utf-8")
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(expected, result.stdout)
                self.assertIn("1 forbidden includes", result.stderr)

    def test_the_module_reaches_no_host_only_header_through_the_api_headers(self):
        self.plant("host/include/zrx/db/text.h", "zrxhost/edits.h")
        result = run_check(self.tmp)
        self.assertEqual(result.returncode, 1, result.stdout)
        self.assertIn("module/host.h reaches zrxhost/edits.h (host only) through zrx/db.h -> zrx/db/text.h",
                      result.stdout)
        self.assertIn("1 forbidden includes", result.stderr)

    def test_a_header_of_no_layer_fails(self):
        (self.tmp / "host" / "include" / "zrxhost" / "stray.h").write_text("#pragma once\n")
        self.plant("host/ed/session.cpp", "zrxhost/stray.h")
        self.plant("host/app/main.cpp", "missing/nowhere.h")
        result = run_check(self.tmp)
        self.assertEqual(result.returncode, 1, result.stdout)
        self.assertIn("host/ed/session.cpp: includes zrxhost/stray.h, which belongs to no layer", result.stdout)
        self.assertIn("host/app/main.cpp: includes missing/nowhere.h, which is not in the tree", result.stdout)

    def test_the_allow_list_lets_its_edges_pass_and_fails_when_one_is_gone(self):
        script = self.tmp / "check_layers.py"
        allowed = '{("host/ed/input.cpp", "zrxhost/render.h"), ("host/db/text.cpp", "zrxhost/dxf.h")}'
        text = CHECK.read_text(encoding="utf-8")
        self.assertIn("ALLOWED_UPWARD = set()", text)
        script.write_text(text.replace("ALLOWED_UPWARD = set()", "ALLOWED_UPWARD = " + allowed), encoding="utf-8")
        self.plant("host/ed/input.cpp", "zrxhost/render.h")
        self.plant("host/db/text.cpp", "zrxhost/dxf.h")
        both = subprocess.run([sys.executable, str(script), "--root", str(self.tmp)],
                              capture_output=True, text=True, timeout=120)
        self.assertEqual(both.returncode, 0, both.stdout + both.stderr)
        self.assertIn("2 allowed upward", both.stdout)

        (self.tmp / "host/db/text.cpp").write_text((ROOT / "host/db/text.cpp").read_text(encoding="utf-8"),
                                                   encoding="utf-8")
        one = subprocess.run([sys.executable, str(script), "--root", str(self.tmp)],
                             capture_output=True, text=True, timeout=120)
        self.assertEqual(one.returncode, 1, one.stdout)
        self.assertIn("host/db/text.cpp: no longer includes zrxhost/dxf.h upward", one.stdout)

    def test_downward_and_same_layer_includes_pass(self):
        self.plant("host/render/scene.h", "zrx/ge.h")
        self.plant("command/increment_command.cpp", "text/run.h")
        self.plant("host/window/canvas.h", "app/modules.h")
        result = run_check(self.tmp)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


if __name__ == "__main__":
    unittest.main()
