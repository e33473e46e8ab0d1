# Shared helpers of the tally scenario tests: one run of zrxhost with the module, its drawing read back.
import math
import os

import hostrun

# English prompts as the transcript shows them.
MODE_FREE = "\nCurrent Mode: Increment method= free, increment = "
MODE_LINE = "\nCurrent Mode: Increment method= line, increment = "
MODE_POLAR = "\nCurrent Mode: Increment method= polar, increment = "
PICK_PROMPT = "\nSpecify number or letter [mode(O)]:"
WRONG_ENTITY = "\nPlease select Text or Mtext."

# Script lines that switch the method at the first pick prompt of a run.
LINE = ["O", "M", "L"]
POLAR = ["O", "M", "P"]


def step(value):
    return ["O", "D", str(value)]


class TallyCase(hostrun.HostTestCase):
    """Runs `tally` on a drawing built with ezdxf and reads the saved result strictly."""

    def tally(self, build, lines, verlan=None, header=None, name="in.dxf", sysvars=None, modules=()):
        def make(msp, doc):
            if header:
                for key, value in header.items():
                    doc.header[key] = value
            build(msp, doc)

        drawing = self.new_drawing(name, make)
        out = self.path("out.dxf")
        args = [drawing, "--load", hostrun.module_path(), "--save-as", out]
        for module in modules:
            args += ["--load", module]
        if verlan is not None:
            args += ["--set", "VERLAN=" + verlan]
        for key, value in (sysvars or {}).items():
            args += ["--set", f"{key}={value}"]
        script = "\n".join(lines) + "\n"
        result = self.run_host(*args, script=script)
        self.assertExit(result, 0)
        self.last = result
        return result, hostrun.read_drawing_strict(out)

    # ---- Reading the result.

    def texts(self, doc, layout=None):
        space = layout if layout is not None else doc.modelspace()
        return [e for e in space if e.dxftype() == "TEXT"]

    def text_named(self, doc, text):
        found = [e for e in self.texts(doc) if e.dxf.text == text]
        self.assertEqual(len(found), 1, f"{text!r} among {[e.dxf.text for e in self.texts(doc)]}\n{self.last!r}")
        return found[0]

    def assertNoMark(self, doc):
        for layout in doc.layouts:
            kinds = [e.dxftype() for e in layout]
            self.assertNotIn("POLYLINE", kinds, f"a mark is left in {layout.name}")

    def assertPoint(self, actual, expected, places=5, msg=None):
        for a, b in zip(tuple(actual)[:2], expected[:2]):
            self.assertAlmostEqual(a, b, places=places, msg=msg or f"{tuple(actual)} != {expected}")

    def assertCopies(self, doc, expected, places=5):
        """`expected`: (text, (x, y)) per copy; each copy's insertion point is checked."""
        for text, point in expected:
            self.assertPoint(self.text_named(doc, text).dxf.insert, point, places, msg=text)


def polar_point(radius, degrees):
    return radius * math.cos(math.radians(degrees)), radius * math.sin(math.radians(degrees))


def fmt(point):
    return f"{point[0]:.9f},{point[1]:.9f}"
