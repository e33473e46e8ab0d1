# zrxhost pictures: the --view window, far-out copies, layer states, colours from inserts, image frames.
import ezdxf

import hostrun

BACKGROUND = (33, 40, 48)
RED = (255, 0, 0)
GREEN = (0, 255, 0)
WHITE = (255, 255, 255)


def colour_box(png, colour, tolerance=0):
    """The box of the pixels of that colour (curves are anti-aliased: `tolerance` per channel)."""
    xs, ys = [], []
    for x, y, rgb in png.pixels():
        if all(abs(a - b) <= tolerance for a, b in zip(rgb, colour)):
            xs.append(x)
            ys.append(y)
    return (min(xs), min(ys), max(xs), max(ys), len(xs)) if xs else None


class RenderPictures(hostrun.HostTestCase):
    def test_view_shows_exactly_the_window(self):
        def square(msp):
            msp.add_lwpolyline([(0, 0), (10, 0), (10, 10), (0, 10)], close=True, dxfattribs={"color": 1})
            msp.add_line((100, 100), (200, 200), dxfattribs={"color": 3})  # outside the window

        drawing = self.new_drawing("square.dxf", square)
        result = self.run_host(drawing, "--png", self.path("v.png"), "--view", "0,0,20,10", script="")
        self.assertExit(result, 0)
        png = hostrun.read_png(self.path("v.png"))
        self.assertEqual((png.width, png.height), (1600, 800))
        red = colour_box(png, RED)
        # The square's left edge is the picture's left edge, its right edge the middle.
        self.assertLessEqual(red[0], 1)
        self.assertAlmostEqual(red[2], 800, delta=2)
        self.assertLessEqual(red[1], 1)
        self.assertGreaterEqual(red[3], png.height - 2)
        self.assertIsNone(colour_box(png, GREEN))

    def test_bad_view_is_refused_before_any_work(self):
        for value in ("1,2,3", "0,0,0,5", "5,0,1,1", "a,b,c,d", "0,0,1,inf"):
            with self.subTest(view=value):
                result = self.run_host("--png", self.path("x.png"), "--view", value, script="")
                self.assertExit(result, 1)
                self.assertIn("--view", result.stderr)

    def test_far_out_copies_leave_the_drawing_in_view(self):
        def with_far_copies(msp):
            msp.add_lwpolyline([(0, 0), (40, 0), (40, 20), (0, 20)], close=True, dxfattribs={"color": 1})
            msp.add_circle((1e308, 1e308), 5)
            msp.add_line((-1e308, -1e308), (-1e308 + 1e300, -1e308))
            msp.add_text("FAR", dxfattribs={"insert": (1e300, -1e300), "height": 2})

        drawing = self.new_drawing("far.dxf", with_far_copies)
        result = self.run_host(drawing, "--png", self.path("far.png"), "--svg", self.path("far.svg"), script="")
        self.assertExit(result, 0)
        png = hostrun.read_png(self.path("far.png"))
        red = colour_box(png, RED)
        self.assertIsNotNone(red)
        self.assertGreater(red[2] - red[0], png.width * 0.8, "the near rectangle fills the picture")
        hostrun.read_svg(self.path("far.svg"))

    def test_layers_off_and_frozen_and_invisible_entities_are_hidden_and_colours_come_through_inserts(self):
        def layered(doc):
            msp = doc.modelspace()
            doc.layers.add("Off", color=3).off()
            doc.layers.add("Frozen", color=3).freeze()
            doc.layers.add("Green", color=3)
            msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "Off"})
            msp.add_line((0, 2), (10, 2), dxfattribs={"layer": "Frozen"})
            msp.add_line((0, 3), (10, 3), dxfattribs={"invisible": 1})
            msp.add_circle((5, 2), 1, dxfattribs={"invisible": 1})
            block = doc.blocks.new("MARK")
            block.add_circle((0, 0), 1, dxfattribs={"color": 0})  # ByBlock: the insert's red
            block.add_line((-1, 0), (1, 0))  # ByLayer on layer 0: the insert's layer, green
            msp.add_blockref("MARK", (5, 5), dxfattribs={"color": 1, "layer": "Green"})

        doc = ezdxf.new("R2018")
        layered(doc)
        drawing = self.path("layers.dxf")
        hostrun.save_drawing(doc, drawing)
        result = self.run_host(drawing, "--png", self.path("l.png"), "--view", "-1,-1,11,11", script="")
        self.assertExit(result, 0)
        png = hostrun.read_png(self.path("l.png"))
        red, green = colour_box(png, RED, tolerance=60), colour_box(png, GREEN)
        self.assertIsNotNone(red, "the ByBlock circle takes the insert's colour")
        self.assertIsNotNone(green, "the layer-0 line takes the insert's layer")
        # Nothing lies below the circle: the hidden lines and circle are gone.
        self.assertLess(max(red[3], green[3]), png.height * 0.75)
        self.assertIsNone(colour_box(png, WHITE, tolerance=60), "the invisible line and circle are not drawn")

    def test_image_is_drawn_as_its_frame(self):
        doc = ezdxf.new("R2018")
        image_def = doc.add_image_def(filename="missing.png", size_in_pixel=(64, 32))
        doc.modelspace().add_image(image_def, insert=(0, 0), size_in_units=(8, 4), dxfattribs={"color": 1})
        drawing = self.path("image.dxf")
        doc.saveas(drawing)
        result = self.run_host(drawing, "--png", self.path("i.png"), "--view", "-1,-1,9,5", script="")
        self.assertExit(result, 0)
        png = hostrun.read_png(self.path("i.png"))
        red = colour_box(png, RED)
        self.assertIsNotNone(red)
        self.assertAlmostEqual((red[2] - red[0]) / (red[3] - red[1]), 2.0, delta=0.05)
        self.assertEqual(png.rgb((red[0] + red[2]) // 2, (red[1] + red[3]) // 2), BACKGROUND)
