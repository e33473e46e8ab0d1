"""Entities the host adds, read back by ezdxf: values, owners, handles, Chinese text in every version."""
import math
import os
import re
import tempfile
import unittest

import dxfcheck

CHINESE = "面积 Area 中文"


def unescape(s):
    """Decodes \\U+XXXX as AutoCAD does for drawings before R2007 (ezdxf keeps them as text)."""
    return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), s)


class NewEntities(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.tmp.name, name)

    def base_drawing(self, version, codepage=None):
        import ezdxf

        doc = ezdxf.new(version)
        if codepage:
            doc.encoding = codepage
        doc.modelspace().add_line((0, 0), (1, 1))
        src = self.path(f"base_{version}_{codepage}.dxf")
        doc.saveas(src)
        return src

    def add_and_read(self, src):
        import ezdxf

        out = self.path("out.dxf")
        r = dxfcheck.roundtrip(src, out, "--add-samples", CHINESE)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(dxfcheck.strict_audit(out), [])
        return ezdxf.readfile(out), out

    def check_samples(self, doc, mtext_expected=True):
        msp = doc.modelspace()
        texts = [e for e in msp if e.dxftype() == "TEXT"]
        self.assertEqual(len(texts), 1)
        t = texts[0]
        self.assertEqual(unescape(t.dxf.text), CHINESE)
        self.assertEqual(tuple(t.dxf.insert), (10.0, 20.0, 0.0))
        self.assertEqual(t.dxf.height, 3.5)
        self.assertAlmostEqual(t.dxf.rotation, 30.0, places=12)
        self.assertEqual(t.dxf.owner, msp.block_record_handle)
        mtexts = [e for e in msp if e.dxftype() == "MTEXT"]
        if mtext_expected:
            self.assertEqual(len(mtexts), 1)
            self.assertEqual(unescape(mtexts[0].text), CHINESE + "\\P" + CHINESE)
            self.assertEqual(tuple(mtexts[0].dxf.insert), (1.0, 2.0, 0.0))
            self.assertEqual(mtexts[0].dxf.char_height, 2.0)
        else:
            self.assertEqual(mtexts, [])
        polys = [e for e in msp if e.dxftype() == "POLYLINE"]
        self.assertEqual(len(polys), 1)
        p = polys[0]
        self.assertTrue(p.is_3d_polyline)
        self.assertTrue(p.is_closed)
        self.assertEqual(p.dxf.color, 1)
        self.assertEqual([tuple(v.dxf.location) for v in p.vertices], [(0, 0, 0), (1, 2, 3), (4, 5, 6.25)])
        # New handles are unique and below the handle seed the file declares.
        seed = int(doc.header["$HANDSEED"], 16)
        handles = [int(e.dxf.handle, 16) for e in [t, p, *p.vertices, p.seqend]]
        self.assertEqual(len(set(handles)), len(handles))
        self.assertLess(max(handles), seed)

    def test_new_drawing_in_every_version_passes_audit_and_reads_back_unchanged(self):
        import ezdxf

        for version in ("AC1009", "AC1015", "AC1018", "AC1021", "AC1024", "AC1027", "AC1032"):
            with self.subTest(version=version):
                empty, out, again = self.path(f"empty-{version}.dxf"), self.path(f"new-{version}.dxf"), self.path("again.dxf")
                r = dxfcheck.roundtrip(f"--new={version}", empty)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(dxfcheck.strict_audit(empty), [])
                r = dxfcheck.roundtrip(f"--new={version}", out, "--add-samples", CHINESE)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(dxfcheck.strict_audit(out), [])
                doc = ezdxf.readfile(out)
                self.assertEqual(doc.dxfversion, version)
                self.check_samples(doc, mtext_expected=version != "AC1009")
                self.assertIn(doc.header.get("$LASTSAVEDBY", "zrxhost"), "zrxhost")
                if version >= "AC1021":
                    with open(out, "rb") as f:
                        self.assertIn(CHINESE.encode("utf-8"), f.read(), "the text is not in UTF-8")
                # What the host made, it reads and writes again as it was.
                self.assertEqual(dxfcheck.roundtrip(out, again).returncode, 0)
                with open(out, "rb") as f, open(again, "rb") as g:
                    self.assertEqual(f.read(), g.read())
        r = dxfcheck.roundtrip("--new=AC1012", self.path("r13.dxf"))
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("AC1012", r.stderr)

    def test_versions(self):
        import ezdxf

        for version in ("R2000", "R2018", "R2004", "R2010"):
            with self.subTest(version=version):
                doc, _ = self.add_and_read(self.base_drawing(version))
                self.assertEqual(doc.dxfversion, ezdxf.const.acad_release_to_dxf_version[version])
                self.check_samples(doc)
                self.assertEqual(len(doc.modelspace().query("LINE")), 1)

    def test_r12_has_no_mtext(self):
        src = self.base_drawing("R12")
        r = dxfcheck.roundtrip(src, self.path("out12.dxf"), "--add-samples", CHINESE)
        self.assertEqual(r.returncode, 0, r.stderr)
        import ezdxf

        out = self.path("out12.dxf")
        new = set(dxfcheck.strict_audit(out)) - set(dxfcheck.strict_audit(src))
        self.assertEqual(new, set())
        doc = ezdxf.readfile(out)
        texts = doc.modelspace().query("TEXT")
        self.assertEqual(unescape(texts[0].dxf.text), CHINESE)
        self.assertEqual(len(doc.modelspace().query("MTEXT")), 0)

    def test_chinese_code_page_r2000(self):
        # A drawing in code page 936: Chinese is written in GBK, not as escapes.
        doc, out = self.add_and_read(self.base_drawing("R2000", "gbk"))
        self.check_samples(doc)
        with open(out, "rb") as f:
            data = f.read()
        self.assertIn(b"ANSI_936", data[:2000])
        self.assertTrue(CHINESE.encode("gbk") in data, "the text is not in GBK")
        self.assertFalse(b"\\U+" in data, "escapes where the code page has the characters")

    def test_western_code_page_escapes_chinese(self):
        _, out = self.add_and_read(self.base_drawing("R2000", "cp1252"))
        with open(out, "rb") as f:
            data = f.read()
        self.assertTrue(b"\\U+9762\\U+79EF Area \\U+4E2D\\U+6587" in data, "no escapes")

    def test_saving_the_result_again_is_stable(self):
        _, out = self.add_and_read(self.base_drawing("R2018"))
        again, third = self.path("again.dxf"), self.path("third.dxf")
        self.assertEqual(dxfcheck.roundtrip(out, again).returncode, 0)
        self.assertEqual(dxfcheck.roundtrip(again, third).returncode, 0)
        with open(again, "rb") as a, open(third, "rb") as b:
            self.assertEqual(a.read(), b.read())
        before = dxfcheck.without_volatile_header(dxfcheck.read_tags(out))
        after = dxfcheck.without_volatile_header(dxfcheck.read_tags(again))
        self.assertIsNone(dxfcheck.first_difference(before, after))


if __name__ == "__main__":
    unittest.main()
