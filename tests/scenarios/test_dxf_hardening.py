# Drawings the first fuzzing runs broke the host with: odd handles and sections, huge files, saves
# that are killed, limited or go through links.
import fcntl
import os
import resource
import subprocess
import sys

import dxfcheck
import hostrun

REGRESSIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "fuzz-regressions")


def dxf_lines(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read().split("\n")


def write_lines(path, lines):
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    return path


def entity_at(lines, dxftype, nth=0):
    """The 0-based line of the nth `0 / dxftype` group."""
    found = [i for i in range(0, len(lines) - 1) if lines[i].strip() == "0" and lines[i + 1] == dxftype
             and i % 2 == 0]
    return found[nth]


class Handles(hostrun.HostTestCase):
    def test_a_table_without_a_handle_still_gives_a_drawing_with_a_block_table(self):
        src = os.path.join(REGRESSIONS, "dxf_read-table-without-handle.dxf")
        out, png = self.path("out.dxf"), self.path("out.png")
        # The picture draws the current space, which the block table holds.
        result = self.run_host(src, "--save-as", out, "--png", png, script="")
        self.assertExit(result, 0)
        self.assertTrue(os.path.getsize(png) > 0)
        with open(out) as f:
            self.assertIn("LAYER", f.read())

    def test_duplicate_and_missing_handles_are_renumbered_and_said(self):
        def build(msp):
            for i, word in enumerate(("one", "two", "three")):
                msp.add_text(word, dxfattribs={"insert": (5 * i, 0)})
        src = self.new_drawing("in.dxf", build)
        lines = dxf_lines(src)
        first, second, third = (entity_at(lines, "TEXT", n) for n in range(3))
        self.assertEqual(lines[first + 2].strip(), "5")
        lines[second + 3] = lines[first + 3]   # the second text takes the first one's handle
        del lines[third + 2:third + 4]         # the third has none
        write_lines(src, lines)
        out = self.path("out.dxf")
        result = self.run_host(src, "--save-as", out, script="")
        self.assertExit(result, 0)
        warnings = [w for w in result.stderr.splitlines() if w.startswith("zrxhost: warning: ")]
        self.assertEqual(len(warnings), 2, result)
        self.assertIn(f"line {second + 1}: TEXT has handle {lines[first + 3]}, which an earlier object has", warnings[0])
        self.assertIn(f"line {third + 1}: TEXT has no handle; it gets handle", warnings[1])
        doc = hostrun.read_drawing_strict(out)
        self.assertEqual([t for t, _ in hostrun.texts_of(doc)], ["one", "two", "three"])
        handles = [e.dxf.handle for e in doc.entitydb.values()]
        self.assertEqual(len(handles), len(set(handles)))

    def test_table_records_sharing_handle_0_each_get_their_own_and_every_repair_is_said(self):
        import ezdxf

        doc = ezdxf.new("R2018", setup=True)  # with its linetypes and dimension styles
        src = self.path("in.dxf")
        hostrun.save_drawing(doc, src)
        lines = dxf_lines(src)
        tables = ("VPORT", "LTYPE", "APPID", "DIMSTYLE", "LAYER", "STYLE")
        zeroed = 0
        for i in range(0, len(lines) - 3, 2):
            if lines[i].strip() == "0" and lines[i + 1] in tables and lines[i + 2].strip() in ("5", "105"):
                lines[i + 3] = "0"
                zeroed += 1
        seed = lines.index("$HANDSEED")
        lines[seed + 2] = "1"
        write_lines(src, lines)
        out = self.path("out.dxf")
        result = self.run_host(src, "--save-as", out, script="")
        self.assertExit(result, 0)
        warnings = result.stderr.splitlines()
        self.assertTrue(all(w.startswith(f"zrxhost: warning: {src}: line ") for w in warnings), result)
        self.assertIn(f"line {seed + 2}: the handle seed $HANDSEED '1' is not above", result.stderr)
        renumbered = [w for w in warnings if "has no handle; it gets handle" in w]
        # Twenty of a kind are listed, and the rest summed up in one line.
        self.assertEqual(len(renumbered), min(zeroed, 20))
        self.assertGreater(zeroed, 20)
        self.assertIn(f"and {zeroed - 20} more repairs of the same kind up to this line", result.stderr)
        doc = hostrun.read_drawing(out)  # references to the handles zeroed above stay broken
        handles = [e.dxf.handle for e in doc.entitydb.values()]
        self.assertEqual(len(handles), len(set(handles)))
        self.assertNotIn("0", handles)
        self.assertGreater(int(doc.header["$HANDSEED"], 16), max(int(h, 16) for h in handles))

    def test_a_block_record_without_its_block_is_said(self):
        src = self.new_drawing("in.dxf", lambda msp: msp.add_line((0, 0), (1, 1)))
        lines = dxf_lines(src)
        at = next(i for i in range(0, len(lines) - 5, 2) if lines[i + 1] == "BLOCK" and "*Paper_Space" in lines[i:i + 20])
        endblk = lines.index("ENDBLK", at)
        end = next(i for i in range(endblk + 1, len(lines), 2) if lines[i].strip() == "0")
        del lines[at:end]
        write_lines(src, lines)
        result = self.run_host(src, "--save-as", self.path("out.dxf"), script="")
        self.assertExit(result, 0)
        self.assertRegex(result.stderr, r'^zrxhost: warning: .*: line \d+: block "\*Paper_Space" has a BLOCK_RECORD '
                                        r'entry but no BLOCK; a BLOCK and an ENDBLK are added$')
        hostrun.read_drawing_strict(self.path("out.dxf"))

    def test_a_block_without_its_record_is_said(self):
        def build(msp, doc):
            doc.blocks.new("DOOR").add_line((0, 0), (1, 1))
            msp.add_blockref("DOOR", (2, 2))
        src = self.new_drawing("in.dxf", build)
        lines = dxf_lines(src)
        # Drop DOOR's BLOCK_RECORD entry from the table.
        at = next(i for i in range(len(lines) - 3) if lines[i + 1] == "BLOCK_RECORD" and lines[i].strip() == "0"
                  and "DOOR" in lines[i:i + 20] and lines[i + 2].strip() == "5")
        end = next(i for i in range(at + 2, len(lines), 2) if lines[i].strip() == "0")
        del lines[at:end]
        write_lines(src, lines)
        out = self.path("out.dxf")
        result = self.run_host(src, "--save-as", out, script="")
        self.assertExit(result, 0)
        self.assertRegex(result.stderr, r'zrxhost: warning: .*in\.dxf: line \d+: block "DOOR" has no BLOCK_RECORD')
        doc = hostrun.read_drawing_strict(out)
        self.assertIn("DOOR", doc.blocks)


class BlocksNestedManyTimesOver(hostrun.HostTestCase):
    def test_a_picture_a_pick_and_snaps_over_them_end(self):
        # Eight blocks, each inserting the one below eight times: millions of lines drawn out in full.
        def build(msp, doc):
            for level in range(8):
                block = doc.blocks.new(f"B{level}")
                block.add_line((0, 0), (1, 1))
                for i in range(8 if level else 0):
                    block.add_blockref(f"B{level - 1}", (2 * i, 0), dxfattribs={"xscale": 0.2, "yscale": 0.2})
            msp.add_blockref("B7", (0, 0))
            msp.add_text("A1", dxfattribs={"height": 1, "insert": (50, 50)})
        src, png = self.new_drawing("in.dxf", build), self.path("out.png")
        script = "tally\n50.3,50.4\n<click 0.5,0.5>\n<move 3.5,0.5>\n<click 1,1>\n\n"
        result = self.run_host(src, "--load", hostrun.module_path(), "--set", "OSMODE=1023", "--png", png,
                               script=script)
        self.assertExit(result, 0)
        self.assertIn("Specify the second point:1,1", result.stdout)
        self.assertRegex(result.stderr, r"zrxhost: warning: .*out\.png: blocks insert each other so many times over "
                                        r"that an insert draws only the first 524288 entities")


class WhatIsReadIsWritten(hostrun.HostTestCase):
    def assertStableRoundTrip(self, src):
        """read → write → read succeeds and the second write is the first one byte for byte."""
        first, second = self.path("first.dxf"), self.path("second.dxf")
        r = dxfcheck.roundtrip(src, first)
        if r.returncode != 0:
            self.assertRegex(r.stderr, r"line \d+: ")
            return False
        r = dxfcheck.roundtrip(first, second)
        self.assertEqual(r.returncode, 0, f"{src}: the saved drawing is refused: {r.stderr}")
        with open(first, "rb") as a, open(second, "rb") as b:
            self.assertEqual(a.read(), b.read(), src)
        return True

    def test_a_second_blocks_section_is_refused_with_its_line(self):
        src = os.path.join(REGRESSIONS, "dxf_read-two-blocks-sections.dxf")
        result = self.run_host(src, "--save-as", self.path("out.dxf"), script="")
        self.assertFailsWith(result, 2, "line 13: a second BLOCKS section")
        self.assertFalse(os.path.exists(self.path("out.dxf")))
        for section in ("TABLES", "ENTITIES", "HEADER"):
            with self.subTest(section=section):
                twice = self.path("twice.dxf")
                with open(twice, "w") as f:
                    f.write(f"0\nSECTION\n2\n{section}\n0\nENDSEC\n" * 2 + "0\nEOF\n")
                self.assertFailsWith(self.run_host(twice, script=""), 2, f"line 7: a second {section} section")

    def test_every_regression_input_reads_back_as_written(self):
        names = sorted(n for n in os.listdir(REGRESSIONS) if n.startswith(("dxf_read-", "dxf_binary-")))
        self.assertTrue(names)
        for name in names:
            with self.subTest(input=name):
                src = os.path.join(REGRESSIONS, name)
                if name.startswith("dxf_binary-"):  # kept as the binary target takes them: without the sentinel
                    with open(src, "rb") as f:
                        data = f.read()
                    src = self.path("binary.dxf")
                    with open(src, "wb") as f:
                        f.write(BinaryDxf.SENTINEL + data)
                self.assertStableRoundTrip(src)

    def test_drawings_of_every_version_read_back_as_written(self):
        for version in ("R12", "R2000", "R2018"):
            with self.subTest(version=version):
                def build(msp, doc):
                    doc.blocks.new("B").add_text("in B")
                    msp.add_blockref("B", (1, 1))
                    if version != "R12":
                        msp.add_mtext("a\\Pb")
                src = self.new_drawing(f"{version}.dxf", build, version)
                self.assertTrue(self.assertStableRoundTrip(src))


    def test_unchanged_drawings_keep_their_layout_byte_for_byte(self):
        """Group codes padded otherwise than the writer pads them, or not at all; CR LF line ends;
        no line end after EOF: each as other programs write them."""
        src = self.new_drawing("src.dxf", lambda msp: msp.add_text("A-01").set_placement((1, 2)))
        with open(src, "rb") as f:
            lines = f.read().split(b"\n")[:-1]
        codes, values = lines[0::2], lines[1::2]
        layouts = {
            "unpadded": [c.strip() for c in codes],
            "left-aligned": [c.strip().ljust(3) for c in codes],
            "padded to six": [c.strip().rjust(6) for c in codes],
        }
        for name, layout in layouts.items():
            for ending in (b"\n", b"\r\n"):
                for last in (ending, b""):
                    with self.subTest(layout=name, ending=ending, last=last):
                        text = ending.join(line for pair in zip(layout, values) for line in pair) + last
                        drawing, out = self.path("in.dxf"), self.path("out.dxf")
                        with open(drawing, "wb") as f:
                            f.write(text)
                        result = self.run_host(drawing, "--save-as", out, script="")
                        self.assertExit(result, 0)
                        self.assertEqual(result.stderr, "")
                        with open(out, "rb") as f:
                            self.assertEqual(f.read(), text)


class HugeFiles(hostrun.HostTestCase):
    def peak_memory_mib(self, *args):
        """Runs zrxhost in a child of a fresh Python, so that the peak is zrxhost's alone."""
        probe = ("import resource, subprocess, sys\n"
                 "r = subprocess.run(sys.argv[1:], stdin=subprocess.DEVNULL, capture_output=True)\n"
                 "print(r.returncode, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024)\n"
                 "sys.stderr.write(r.stderr.decode())\n")
        p = subprocess.run([sys.executable, "-c", probe, hostrun.zrxhost_path(), *args], capture_output=True,
                           text=True, cwd=self.workdir, timeout=120)
        code, peak = p.stdout.split()
        return int(code), int(peak), p.stderr

    def test_a_large_file_is_held_once(self):
        size = 256 << 20
        big = self.path("big.dxf")
        with open(big, "wb") as f:
            f.write(b"0\nSECTION\n2\nENTITIES\n0\nTEXT\n1\n")
            f.truncate(size)  # one very long value: refused, but only after the whole file is in
        code, peak, stderr = self.peak_memory_mib(big, "--script", "/dev/null")
        self.assertEqual(code, 2, stderr)
        self.assertLess(peak, 1.5 * (size >> 20), "the file was copied while it was read")

    def test_a_large_file_that_is_no_drawing_is_refused_from_its_head(self):
        big = self.path("big.dxf")
        with open(big, "wb") as f:
            f.write(b"PK\x03\x04 not a drawing\n")
            f.truncate(1 << 30)
        code, peak, stderr = self.peak_memory_mib(big, "--script", "/dev/null")
        self.assertEqual(code, 2, stderr)
        self.assertIn("line 1:", stderr)
        self.assertLess(peak, 64)


class Saving(hostrun.HostTestCase):
    def setUp(self):
        super().setUp()
        self.src = self.new_drawing("in.dxf", lambda msp: [msp.add_text(f"T{i}") for i in range(2000)])

    def leftovers(self, folder):
        return sorted(n for n in os.listdir(folder) if ".zrxsave-" in n or n.startswith("out.dxf."))

    def test_stale_temporaries_of_the_target_go_at_the_next_save(self):
        out = self.path("out.dxf")
        stale = [self.path(f"out.dxf.zrxsave-{s}") for s in ("a1b2c3", "ZZZZZZ")]
        for p in stale:
            with open(p, "w") as f:
                f.write("0\nSECTION\n")  # what a killed save leaves
        # Not stale: another target's, a name that is no temporary, and one a running save holds.
        kept = [self.path("other.dxf.zrxsave-a1b2c3"), self.path("out.dxf.zrxsave-notmine"),
                self.path("out.dxf.zrxsave-locked")]
        for p in kept:
            with open(p, "w") as f:
                f.write("x")
        os.rename(kept[2], self.path("out.dxf.zrxsave-LOCKED"))
        kept[2] = self.path("out.dxf.zrxsave-LOCKED")
        with open(kept[2]) as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            result = self.run_host(self.src, "--save-as", out, script="")
        self.assertExit(result, 0)
        for p in stale:
            self.assertFalse(os.path.exists(p), p)
        for p in kept:
            self.assertTrue(os.path.exists(p), p)
        hostrun.read_drawing_strict(out)

    def test_a_save_stopped_by_the_file_size_limit_leaves_nothing(self):
        out = self.path("out.dxf")
        with open(out, "w") as f:
            f.write("the old drawing\n")

        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (64 << 10, 64 << 10))
        p = subprocess.run([hostrun.zrxhost_path(), self.src, "--save-as", out, "--script", "/dev/null"],
                           preexec_fn=limit, capture_output=True, text=True, cwd=self.workdir, timeout=120)
        self.assertEqual(p.returncode, 4, p.stderr)
        self.assertIn("File too large", p.stderr)
        with open(out) as f:
            self.assertEqual(f.read(), "the old drawing\n")
        self.assertEqual(self.leftovers(self.workdir), [])

    def test_saving_onto_a_link_writes_the_file_it_points_at(self):
        target_dir = self.path("drawings")
        os.mkdir(target_dir)
        target = os.path.join(target_dir, "plan.dxf")
        with open(target, "w") as f:
            f.write("old\n")
        link = self.path("out.dxf")
        os.symlink(os.path.join("drawings", "plan.dxf"), link)   # relative, as links usually are
        chained = self.path("chained.dxf")
        os.symlink("out.dxf", chained)
        for name in (link, chained):
            with self.subTest(link=os.path.basename(name)):
                result = self.run_host(self.src, "--save-as", name, script="")
                self.assertExit(result, 0)
                self.assertTrue(os.path.islink(link) and os.path.islink(chained))
                self.assertEqual(len(hostrun.texts_of(hostrun.read_drawing_strict(target))), 2000)
                self.assertEqual(self.leftovers(target_dir), [])
                self.assertEqual(self.leftovers(self.workdir), [])

    def test_a_link_loop_is_refused(self):
        os.symlink("b.dxf", self.path("a.dxf"))
        os.symlink("a.dxf", self.path("b.dxf"))
        result = self.run_host(self.src, "--save-as", self.path("a.dxf"), script="")
        self.assertFailsWith(result, 4, "a.dxf")
        self.assertTrue(os.path.islink(self.path("a.dxf")))


class WhatOthersRead(hostrun.HostTestCase):
    def r12(self, name):
        return self.new_drawing(name, lambda msp: msp.add_text("kept", dxfattribs={"insert": (1, 2)}), "R12")

    def test_data_after_eof_is_ignored_with_a_warning(self):
        src = self.r12("in.dxf")
        with open(src, "rb") as f:
            data = f.read()
        eof_line = data.count(b"\n") + (0 if data.endswith(b"\n") else 1)
        cases = [(b"junk that is no DXF\n\x00\x01", True), (b"  0\nSECTION\n  2\n", True), (b"\n\r\n\x1a\x00\x00", False)]
        for tail, said in cases:
            with self.subTest(tail=tail):
                with open(src, "wb") as f:
                    f.write(data + tail)
                out = self.path("out.dxf")
                result = self.run_host(src, "--save-as", out, script="")
                self.assertExit(result, 0)
                warning = f"zrxhost: warning: {src}: line {eof_line + 1}: what follows EOF is ignored"
                self.assertEqual(result.stderr.strip(), warning if said else "")
                doc = hostrun.read_drawing_strict(out)
                self.assertEqual(hostrun.texts_of(doc), [("kept", (1.0, 2.0, 0.0))])
                with open(out, "rb") as f:
                    self.assertTrue(f.read().endswith(b"EOF\n"))

    def test_drawings_before_r12_are_read_and_saved_as_r12(self):
        for version, release in (("AC1006", "R10"), ("AC1004", "R9"), ("AC1003", "R2.6"), ("AC2.10", "R2.10")):
            with self.subTest(version=version):
                src = self.r12(f"{release}.dxf")
                lines = dxf_lines(src)
                at = lines.index("$ACADVER")
                self.assertEqual(lines[at + 2], "AC1009")
                lines[at + 2] = version
                write_lines(src, lines)
                out = self.path("out.dxf")
                result = self.run_host(src, "--save-as", out, script="")
                self.assertExit(result, 0)
                self.assertEqual(result.stderr.strip(), f"zrxhost: warning: {src}: line {at + 3}: an {release} drawing "
                                                        f"({version}) is read as R12 and will be saved as R12 (AC1009)")
                doc = hostrun.read_drawing_strict(out)
                self.assertEqual(doc.dxfversion, "AC1009")
                self.assertEqual(hostrun.texts_of(doc), [("kept", (1.0, 2.0, 0.0))])
        # An R11 drawing of entities alone, without a header: read as R12 and kept as it is.
        headerless = self.path("headerless.dxf")
        with open(headerless, "w") as f:
            f.write("0\nSECTION\n2\nENTITIES\n0\nTEXT\n8\n0\n10\n1.0\n20\n2.0\n40\n2.5\n1\nkept\n0\nENDSEC\n0\nEOF\n")
        out = self.path("out.dxf")
        result = self.run_host(headerless, "--save-as", out, script="")
        self.assertExit(result, 0)
        with open(headerless, "rb") as a, open(out, "rb") as b:
            self.assertEqual(a.read(), b.read())


class BinaryDxf(hostrun.HostTestCase):
    SENTINEL = b"AutoCAD Binary DXF\r\n\x1a\x00"

    def binary_drawing(self, version):
        import ezdxf
        doc = ezdxf.new(version)
        msp = doc.modelspace()
        msp.add_text("A-01", dxfattribs={"insert": (1.25, -2.5, 0), "height": 2.5, "rotation": 1e-7})
        msp.add_line((0, 0), (3, 4))
        if version != "R12":
            msp.add_mtext("a\\Pb")
        path = self.path(f"{version}-bin.dxf")
        doc.saveas(path, fmt="bin")
        return path

    def test_binary_drawings_are_read_and_written_back_as_binary(self):
        for version in ("R12", "R2000", "R2018"):
            with self.subTest(version=version):
                src = self.binary_drawing(version)
                with open(src, "rb") as f:
                    original = f.read()
                unchanged, changed = self.path("unchanged.dxf"), self.path("changed.dxf")
                self.assertEqual(dxfcheck.roundtrip(src, unchanged).returncode, 0)
                with open(unchanged, "rb") as f:
                    self.assertEqual(f.read(), original, "an unchanged binary drawing is written as read")
                r = dxfcheck.roundtrip(src, changed, "--add-samples", "B-02 中")
                self.assertEqual(r.returncode, 0, r.stderr)
                with open(changed, "rb") as f:
                    self.assertTrue(f.read().startswith(self.SENTINEL))
                doc = hostrun.read_drawing_strict(changed)
                self.assertEqual(doc.dxfversion, {"R12": "AC1009", "R2000": "AC1015", "R2018": "AC1032"}[version])
                self.assertEqual(hostrun.texts_of(doc), [("A-01", (1.25, -2.5, 0.0)), ("B-02 中", (10.0, 20.0, 0.0))])
                self.assertEqual(hostrun.entities_of(doc, "TEXT")[0].dxf.rotation, 1e-7)

    def test_a_binary_drawing_through_the_host_stays_binary_and_ascii_stays_ascii(self):
        src = self.binary_drawing("R2018")
        ascii_src = self.new_drawing("ascii.dxf", lambda msp: msp.add_text("x"))
        for drawing, binary in ((src, True), (ascii_src, False)):
            out = self.path("out.dxf")
            result = self.run_host(drawing, "--save-as", out, script="")
            self.assertExit(result, 0)
            with open(out, "rb") as f:
                self.assertEqual(f.read().startswith(self.SENTINEL), binary)
            hostrun.read_drawing_strict(out)

    def test_every_value_type_and_a_line_break_in_a_string_are_kept(self):
        import ezdxf
        doc = ezdxf.new("R2018")
        doc.modelspace().add_text("line break")
        probe = doc.objects.add_xrecord(doc.rootdict.dxf.handle)
        # A group of each range of the DXF reference, the colour name of a colour book (430) among them.
        tags = [(1, "one"), (10, (1.5, 2.5, 3.5)), (62, 7), (70, -3), (90, 70000), (105, "1F"),
                (110, (1.25, 2, 3)), (160, 2**40), (170, 5), (210, (0.5, 0, 1)), (270, 9), (290, 1),
                (300, "three hundred"), (310, b"\x01\xff"), (330, "0"), (370, 25), (390, "1A"), (400, 4),
                (410, "layout"), (420, 0x123456), (430, "DIC COLOR GUIDE(R)$DIC 2"), (440, 33554432),
                (460, 4.5), (470, "four seventy"), (480, "2B")]
        probe.reset(tags)
        doc.rootdict["PROBE"] = probe
        doc.saveas(self.path("probe.dxf"), fmt="bin")
        with open(self.path("probe.dxf"), "rb") as f:
            data = f.read()
        # Its ASCII twin says ^J where the binary file holds a raw line feed (a TOLERANCE's text).
        src = self.path("src.dxf")
        with open(src, "wb") as f:
            f.write(data.replace(b"line break\x00", b"line\nbreak\x00", 1))
        for changed in (False, True):
            with self.subTest(changed=changed):
                out = self.path("out.dxf")
                args = ("--add-samples", "B-02") if changed else ()
                result = dxfcheck.roundtrip(src, out, *args)
                self.assertEqual(result.returncode, 0, result.stderr)
                with open(out, "rb") as f:
                    written = f.read()
                if not changed:
                    self.assertEqual(written, data.replace(b"line break\x00", b"line\nbreak\x00", 1))
                self.assertIn(b"line\nbreak\x00", written)
                saved = ezdxf.readfile(out)
                self.assertEqual([(t.code, t.value) for t in saved.rootdict["PROBE"].tags],
                                 [(code, tuple(float(x) for x in v) if isinstance(v, tuple) else v)
                                  for code, v in tags])

    def test_a_damaged_binary_drawing_is_refused_with_its_group(self):
        src = self.binary_drawing("R2000")
        with open(src, "rb") as f:
            data = f.read()
        cases = [(data[:len(data) // 2], "is truncated"), (data[:30], "is truncated"),
                 (data[:20] + b"XX" + data[22:], "sentinel")]
        for damaged, words in cases:
            with self.subTest(words=words, size=len(damaged)):
                bad = self.path("bad.dxf")
                with open(bad, "wb") as f:
                    f.write(damaged)
                out = self.path("out.dxf")
                result = self.run_host(bad, "--save-as", out, script="")
                self.assertFailsWith(result, 2, "of the binary file", words)
                self.assertRegex(result.stderr, r"group \d+ of the binary file")
                self.assertFalse(os.path.exists(out))
