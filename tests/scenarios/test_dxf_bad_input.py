"""Bad drawings: a message naming the line, a non-zero exit, no file written, the input untouched."""
import os
import tempfile
import unittest

import dxfcheck


class BadInput(unittest.TestCase):
    def setUp(self):
        import ezdxf

        self.tmp = tempfile.TemporaryDirectory()
        doc = ezdxf.new("R2018")
        doc.modelspace().add_text("x")
        self.good = os.path.join(self.tmp.name, "good.dxf")
        doc.saveas(self.good)
        with open(self.good, "rb") as f:
            self.good_bytes = f.read()

    def tearDown(self):
        self.tmp.cleanup()

    def check_refused(self, data, line=None, words=()):
        src = os.path.join(self.tmp.name, "bad.dxf")
        with open(src, "wb") as f:
            f.write(data)
        out = os.path.join(self.tmp.name, "out.dxf")
        r = dxfcheck.roundtrip(src, out)
        self.assertNotEqual(r.returncode, 0)
        self.assertNotIn("Traceback", r.stderr)
        self.assertRegex(r.stderr, r"line \d+: ")
        if line is not None:
            self.assertIn(f"line {line}:", r.stderr)
        for w in words:
            self.assertIn(w, r.stderr)
        self.assertFalse(os.path.exists(out))
        with open(src, "rb") as f:
            self.assertEqual(f.read(), data)
        return r.stderr

    def test_truncated_anywhere(self):
        lines = self.good_bytes.split(b"\n")
        for cut in (1, 2, 7, len(lines) // 3, len(lines) // 2, len(lines) - 4):
            with self.subTest(cut=cut):
                self.check_refused(b"\n".join(lines[:cut]) + b"\n")

    def test_missing_eof(self):
        data = self.good_bytes[: self.good_bytes.rindex(b"EOF")]
        self.check_refused(data.rstrip(b" 0\n") + b"\n", words=("EOF",))

    def test_odd_group_code(self):
        lines = self.good_bytes.split(b"\n")
        lines[20] = b"ten"
        self.check_refused(b"\n".join(lines), line=21, words=("group code",))
        lines[20] = b"5000"
        self.check_refused(b"\n".join(lines), line=21, words=("5000",))

    def test_bad_number_in_a_modelled_group(self):
        at = self.good_bytes.index(b"AcDbText\n")
        head, tail = self.good_bytes[:at], self.good_bytes[at:]
        bad = tail.replace(b"\n 40\n2.5\n", b"\n 40\n2,5\n", 1)
        self.assertNotEqual(bad, tail)
        line = (head + bad[: bad.index(b"2,5")]).count(b"\n") + 1
        self.check_refused(head + bad, line=line, words=("2,5", "group code 40"))

    def test_a_number_where_an_entity_type_belongs(self):
        # A line "10" of the text's insertion point turned into "0": its x becomes a record's type.
        at = self.good_bytes.index(b"AcDbText\n 10\n") + len(b"AcDbText\n")
        bad = self.good_bytes[:at] + b"  0" + self.good_bytes[at + 3:]
        line = bad[:at].count(b"\n") + 2
        self.check_refused(bad, line=line, words=("where an entity's type belongs",))

    def test_not_dxf(self):
        self.check_refused(b"Hello, this is a letter.\nNot a drawing at all.\n", line=1)
        self.check_refused(b"\x89PNG\r\n\x1a\n\x00\x00binary", line=1)
        self.check_refused(b"", line=1)

    def test_unknown_version(self):
        text = self.good_bytes.replace(b"AC1032", b"AC1099", 1)
        self.check_refused(text, line=8, words=("AC1099",))
        self.check_refused(self.good_bytes.replace(b"AC1032", b"AC1005", 1), line=8, words=("AC1005",))

    def test_save_over_a_directory_fails_and_leaves_no_temporary(self):
        target = os.path.join(self.tmp.name, "adir")
        os.mkdir(target)
        r = dxfcheck.roundtrip(self.good, target)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("adir", r.stderr)
        self.assertTrue(os.path.isdir(target))
        self.assertEqual(sorted(os.listdir(self.tmp.name)), ["adir", "good.dxf"])

    def test_failed_save_leaves_the_target(self):
        target_dir = os.path.join(self.tmp.name, "ro")
        os.mkdir(target_dir)
        target = os.path.join(target_dir, "kept.dxf")
        with open(target, "wb") as f:
            f.write(b"old contents")
        os.chmod(target_dir, 0o500)
        try:
            if os.access(target_dir, os.W_OK):
                self.skipTest("running as a user who can write anywhere")
            r = dxfcheck.roundtrip(self.good, target)
            self.assertNotEqual(r.returncode, 0)
            self.assertIn("kept.dxf", r.stderr)
        finally:
            os.chmod(target_dir, 0o700)
        with open(target, "rb") as f:
            self.assertEqual(f.read(), b"old contents")
        self.assertEqual(os.listdir(target_dir), ["kept.dxf"])


if __name__ == "__main__":
    unittest.main()
