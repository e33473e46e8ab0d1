# zrxhost --png and --svg on drawings made by another program (ezdxf).
import os
import subprocess
import unittest

import hostrun

BACKGROUND = (33, 40, 48)
RED = (255, 0, 0)
WHITE = (255, 255, 255)


def known_drawing(msp):
    """The text "888" above-left of a red closed 3D polyline."""
    msp.add_text("888", dxfattribs={"insert": (10, 40), "height": 8})
    msp.add_polyline3d([(60, 0, 0), (100, 0, 0), (100, 20, 0), (60, 20, 0)], close=True,
                       dxfattribs={"color": 1})


def colour_box(png, colour):
    xs, ys = [], []
    for x, y, rgb in png.pixels():
        if rgb == colour:
            xs.append(x)
            ys.append(y)
    return (min(xs), min(ys), max(xs), max(ys), len(xs)) if xs else None


class Pictures(hostrun.HostTestCase):
    def test_png_shows_the_text_and_the_red_mark_where_they_are(self):
        drawing = self.new_drawing("known.dxf", known_drawing)
        result = self.run_host(drawing, "--png", self.path("out.png"), script="")
        self.assertExit(result, 0)
        png = hostrun.read_png(self.path("out.png"))
        self.assertEqual(png.width, 1600)
        self.assertLess(png.height, png.width, "the drawing is wider than tall")
        for corner in ((0, 0), (png.width - 1, 0), (0, png.height - 1), (png.width - 1, png.height - 1)):
            self.assertEqual(png.rgb(*corner), BACKGROUND)
        red = colour_box(png, RED)
        white = colour_box(png, WHITE)
        self.assertIsNotNone(red, "no red polyline pixels")
        self.assertIsNotNone(white, "no white text pixels")
        # The mark is right of and below the text; its outline is thin, so few pixels are red.
        self.assertGreater(red[0], white[2])
        self.assertGreater(red[1], white[3])
        red_width, red_height = red[2] - red[0] + 1, red[3] - red[1] + 1
        self.assertAlmostEqual(red_width / red_height, 2.0, delta=0.1)
        self.assertLess(red[4], 2 * (red_width + red_height) * 2)
        # The middle of the mark is empty.
        self.assertEqual(png.rgb((red[0] + red[2]) // 2, (red[1] + red[3]) // 2), BACKGROUND)

    def test_svg_is_well_formed_and_sized_like_the_png(self):
        drawing = self.new_drawing("known.dxf", known_drawing)
        result = self.run_host(drawing, "--svg", self.path("out.svg"), "--png", self.path("out.png"), script="")
        self.assertExit(result, 0)
        root = hostrun.read_svg(self.path("out.svg"))
        png = hostrun.read_png(self.path("out.png"))
        self.assertEqual(float(root.get("width").rstrip("px")), png.width)
        self.assertEqual(float(root.get("height").rstrip("px")), png.height)
        self.assertTrue(list(root.iter(hostrun.SVG_NS + "path")), "no paths drawn")

    def test_empty_drawing_gives_a_blank_picture(self):
        result = self.run_host("--png", self.path("blank.png"), "--svg", self.path("blank.svg"), script="")
        self.assertExit(result, 0)
        png = hostrun.read_png(self.path("blank.png"))
        self.assertEqual(png.width, 1600)
        self.assertGreater(png.height, 0)
        self.assertEqual({rgb for _, _, rgb in png.pixels()}, {BACKGROUND})
        hostrun.read_svg(self.path("blank.svg"))

    def test_picture_shows_what_the_script_added(self):
        result = self.run_host("--load", hostrun.test_module_path("hello"), "--png", self.path("out.png"),
                               script="hello\n0,0\nHELLO\n")
        self.assertExit(result, 0)
        red = colour_box(hostrun.read_png(self.path("out.png")), RED)
        self.assertIsNotNone(red, "the module's red text is missing")
        self.assertGreater(red[2] - red[0], 1000, "a lone text fills the picture's width")


def pdf_page(pdf, png_base):
    """The PDF's page size in points and its first page rendered at 36 dpi by pdftoppm (poppler)."""
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    size = next(line for line in info.splitlines() if line.startswith("Page size:")).split()
    subprocess.run(["pdftoppm", "-r", "36", "-png", "-singlefile", pdf, png_base], check=True)
    return (float(size[2]), float(size[4])), hostrun.read_png(png_base + ".png")


def pdf_text(pdf):
    return subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True, check=True).stdout


class PaperPlots(hostrun.HostTestCase):
    def test_pdf_is_the_drawing_on_a_sheet_turned_to_its_shape_with_searchable_texts(self):
        def drawing(msp):
            known_drawing(msp)
            msp.add_text("房间 12", dxfattribs={"insert": (10, 5), "height": 4, "color": 3})
        dxf = self.new_drawing("known.dxf", drawing)
        pdf = self.path("out.pdf")
        result = self.run_host(dxf, "--pdf", pdf, "--png", self.path("out.png"), script="")
        self.assertExit(result, 0)
        (width, height), page = pdf_page(pdf, self.path("page"))
        self.assertEqual((round(width), round(height)), (842, 595), "A4 landscape for a wide drawing")
        # On paper colour 7 is black; the red mark keeps its colour, right of and below the text.
        black = colour_box(page, (0, 0, 0))
        red = colour_box(page, RED)
        self.assertIsNotNone(black, "no black text")
        self.assertIsNotNone(red, "no red polyline")
        self.assertGreater(red[0], black[0])
        self.assertAlmostEqual((red[2] - red[0]) / (red[3] - red[1]), 2.0, delta=0.2)
        # A text set as text is as large as the outline the PNG fills: "888" against the mark.
        png = hostrun.read_png(self.path("out.png"))
        png_red, png_white = colour_box(png, RED), colour_box(png, WHITE)
        self.assertAlmostEqual((black[3] - black[1]) / (red[3] - red[1]),
                               (png_white[3] - png_white[1]) / (png_red[3] - png_red[1]), delta=0.04)
        self.assertEqual(page.rgb(2, 2), WHITE)
        words = pdf_text(pdf).split()
        self.assertIn("888", words)
        self.assertIn("房间", words, "a text from the fallback font is searchable too")

        tall = self.path("tall.pdf")
        result = self.run_host(dxf, "--pdf", tall, "--paper", "a3", "--view", "0,0,40,100", script="")
        self.assertExit(result, 0)
        (width, height), _ = pdf_page(tall, self.path("tall"))
        self.assertEqual((round(width), round(height)), (842, 1191), "A3 portrait for a tall view")

    def test_bad_paper_or_folder_is_refused_before_any_work_and_writes_nothing(self):
        dxf = self.new_drawing("known.dxf", known_drawing)
        cases = [
            (["--pdf", self.path("a.pdf"), "--paper", "B9"], 1, ["--paper", "A0, A1", "Tabloid", "B9"]),
            (["--paper", "A3"], 1, ["--paper", "--pdf"]),
            (["--pdf", self.path("missing/a.pdf")], 4, ["missing/a.pdf", "does not exist"]),
            (["--set", "VERLAN=zh-CN", "--pdf", self.path("a.pdf"), "--paper", "B9"], 1, ["选项 --paper 需要"]),
        ]
        for args, code, parts in cases:
            with self.subTest(args=args):
                result = self.run_host(dxf, *args, "--save-as", self.path("out.dxf"), script="")
                self.assertFailsWith(result, code, *parts)
                self.assertEqual(sorted(os.listdir(self.workdir)), ["known.dxf"])


LIBRECAD_LIBRARY = "/usr/share/librecad/library"


class DrawingsFromOtherPrograms(hostrun.HostTestCase):
    """Drawings of Debian's librecad-data: lines, MText, inserts of blocks, a large library sheet."""

    SAMPLES = ["algoritm/alg1.dxf", "elektro/electro-vacuum-iso/Valve-ECF80.dxf", "elektro/opto/ve14.dxf",
               "plan/architect/Complete-Lib-V.dxf"]

    def test_each_is_drawn(self):
        for sample in self.SAMPLES:
            path = os.path.join(LIBRECAD_LIBRARY, sample)
            if not os.path.exists(path):
                self.skipTest(f"{path} is missing (package librecad-data)")
            with self.subTest(sample=sample):
                with open(path, "rb") as f:
                    before = f.read()
                result = self.run_host(path, "--png", self.path("out.png"), "--svg", self.path("out.svg"), script="")
                self.assertExit(result, 0)
                png = hostrun.read_png(self.path("out.png"))
                self.assertEqual(png.width, 1600)
                ink = sum(1 for _, _, rgb in png.pixels() if rgb != BACKGROUND)
                self.assertGreater(ink, 500, "the drawing's lines and texts are missing")
                hostrun.read_svg(self.path("out.svg"))
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), before)


if __name__ == "__main__":
    unittest.main()
