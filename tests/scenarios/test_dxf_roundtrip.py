"""Drawings nobody on the project wrote, opened and saved unchanged: same tags, stable, clean audit."""
import os
import tempfile
import unittest

import dxfcheck
from dxf_corpus import debian_drawings

# QCad files in librecad-data with an ENDSEC inside the header (ezdxf refuses them as well), and an
# OpenSCAD test of a decimal comma.
KNOWN_MALFORMED = {"misc01.dxf", "empty.dxf", "tux.dxf", "t-part.dxf", "screw.dxf", "a3.dxf",
                   "nothing-decimal-comma-separated.dxf"}


def make_every_entity_drawing(path, version):
    """A drawing made by ezdxf with most kinds of entity, blocks, layers, styles and xdata."""
    import ezdxf

    doc = ezdxf.new(version, setup=True)
    msp = doc.modelspace()
    doc.layers.add("Walls", color=3)
    doc.layers.add("Hidden", color=5).off()
    doc.styles.add("Narrow", font="DejaVuSans.ttf").dxf.width = 0.8
    blk = doc.blocks.new("MARK")
    blk.add_circle((0, 0), 1)
    blk.add_line((-1, 0), (1, 0))
    blk.add_attdef("TAG", (0, -2), dxfattribs={"height": 0.5})
    msp.add_line((0, 0), (10, 0.1234567890123), dxfattribs={"layer": "Walls", "color": 1})
    msp.add_circle((5, 5), 2.5)
    msp.add_arc((5, 5), 3, 10, 170)
    msp.add_point((1, 2, 3))
    msp.add_text("Hello", dxfattribs={"height": 2.5, "rotation": 15, "style": "Narrow"}).set_placement(
        (3, 4), align=ezdxf.enums.TextEntityAlignment.MIDDLE_CENTER)
    msp.add_polyline2d([(0, 0), (1, 1), (2, 0)], close=True)
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6)])
    msp.add_solid([(0, 0), (1, 0), (0, 1)])
    msp.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 1), (0, 1, 0)])
    ref = msp.add_blockref("MARK", (20, 20), dxfattribs={"xscale": 2, "rotation": 30})
    ref.add_auto_attribs({"TAG": "A-1"})
    msp.add_line((0, 0), (1, 1)).set_xdata("ACAD", [(1000, "kept"), (1040, 3.14159)])
    if version != "R12":
        msp.add_mtext("first\\Psecond line with {\\fArial;font}", dxfattribs={"char_height": 1.5, "width": 30})
        msp.add_lwpolyline([(0, 0), (3, 0), (3, 3)], dxfattribs={"const_width": 0.1})
        msp.add_ellipse((0, 0), major_axis=(4, 1), ratio=0.5)
        msp.add_spline([(0, 0), (1, 2), (3, 1), (5, 4)])
        hatch = msp.add_hatch(color=2)
        hatch.paths.add_polyline_path([(0, 0), (4, 0), (4, 4), (0, 4)], is_closed=True)
        msp.add_linear_dim(base=(0, 5), p1=(0, 0), p2=(8, 0)).render()
        msp.add_leader([(0, 0), (2, 2), (4, 2)])
        doc.layouts.get("Layout1").add_text("On paper", dxfattribs={"height": 3})
    doc.saveas(path)


class RoundTrip(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.out = os.path.join(self.tmp.name, "out.dxf")
        self.again = os.path.join(self.tmp.name, "again.dxf")

    def tearDown(self):
        self.tmp.cleanup()

    def assert_round_trip(self, src):
        """Saved unchanged: tag for tag the original (volatile header aside); saving twice is stable;
        and with every object opened for write and closed unchanged (so that each record is rebuilt
        from its object, not copied), byte for byte the same save."""
        r = dxfcheck.roundtrip(src, self.out)
        self.assertEqual(r.returncode, 0, f"{src}: {r.stderr}")
        before = dxfcheck.without_volatile_header(dxfcheck.read_tags(src))
        after = dxfcheck.without_volatile_header(dxfcheck.read_tags(self.out))
        self.assertIsNone(dxfcheck.first_difference(before, after), src)
        r = dxfcheck.roundtrip(self.out, self.again)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(self.out, "rb") as a, open(self.again, "rb") as b:
            self.assertEqual(a.read(), b.read(), f"{src}: a second save changed bytes")
        r = dxfcheck.roundtrip(src, self.again, "--touch")
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(self.out, "rb") as a, open(self.again, "rb") as b:
            self.assertEqual(a.read(), b.read(), f"{src}: objects opened for write changed bytes")

    def test_debian_drawings_round_trip(self):
        for src in debian_drawings():
            if os.path.basename(src) in KNOWN_MALFORMED:
                continue
            with self.subTest(src=src):
                self.assert_round_trip(src)

    def test_malformed_debian_drawings_are_refused_with_a_line(self):
        malformed = [src for src in debian_drawings() if os.path.basename(src) in KNOWN_MALFORMED]
        self.assertEqual(len(malformed), len(KNOWN_MALFORMED))
        for src in malformed:
            r = dxfcheck.roundtrip(src, self.out)
            self.assertNotEqual(r.returncode, 0)
            self.assertRegex(r.stderr, r"line \d+:")
            self.assertFalse(os.path.exists(self.out))

    def test_saved_debian_drawings_add_no_audit_findings(self):
        # Some of these files already have faults ezdxf's audit reports or fixes; a save must not
        # add any. Every 10th drawing keeps the test within a couple of minutes.
        for src in debian_drawings()[::10]:
            if os.path.basename(src) in KNOWN_MALFORMED:
                continue
            with self.subTest(src=src):
                self.assertEqual(dxfcheck.roundtrip(src, self.out).returncode, 0)
                new = set(dxfcheck.strict_audit(self.out)) - set(dxfcheck.strict_audit(src))
                self.assertEqual(new, set())

    def test_ezdxf_drawings_with_every_kind_of_entity(self):
        for version in ("R12", "R2000", "R2018"):
            with self.subTest(version=version):
                src = os.path.join(self.tmp.name, f"every_{version}.dxf")
                make_every_entity_drawing(src, version)
                self.assert_round_trip(src)
                if version == "R12":
                    # ezdxf's own R12 output fails its audit (SEQEND without owner): add nothing.
                    new = set(dxfcheck.strict_audit(self.out)) - set(dxfcheck.strict_audit(src))
                    self.assertEqual(new, set())
                else:
                    self.assertEqual(dxfcheck.strict_audit(self.out), [])

    def test_crlf_drawing_keeps_its_line_ends(self):
        src = os.path.join(self.tmp.name, "crlf.dxf")
        make_every_entity_drawing(src, "R2000")
        with open(src, "rb") as f:
            data = f.read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        with open(src, "wb") as f:
            f.write(data)
        self.assert_round_trip(src)
        with open(self.out, "rb") as f:
            out = f.read()
        self.assertEqual(out.count(b"\n"), out.count(b"\r\n"))


if __name__ == "__main__":
    unittest.main()
