# MText inline colour, height and font changes in pictures, each checked on its own and against ezdxf's drawing.
import unittest

import ezdxf
import numpy

import hostrun
import inkcompare


def colour_classes(rgb):
    """Masks of the strongly red, green and blue pixels."""
    r, g, b = (rgb[:, :, i].astype(int) for i in range(3))
    return {"red": (r > 150) & (g < 90) & (b < 90),
            "green": (g > 150) & (r < 90) & (b < 90),
            "blue": (b > 150) & (r < 90) & (g < 90)}


def ink_box(mask):
    ys, xs = numpy.nonzero(mask)
    return (xs.min(), ys.min(), xs.max(), ys.max()) if len(xs) else None


class InlineFormats(hostrun.HostTestCase):
    def pictures(self, name, contents, view=None):
        """zrxhost's and ezdxf's pictures of one MText (white, 1 unit high) at one view window."""
        doc = ezdxf.new("R2018", setup=True)
        doc.modelspace().add_mtext(contents, dxfattribs={"char_height": 1, "insert": (0, 4), "color": 7})
        path = self.path(name + ".dxf")
        doc.saveas(path)
        view = view or inkcompare.view_of(path, margin=0.1)
        window = ",".join(repr(float(c)) for c in view)
        png = self.path(name + ".png")
        self.assertExit(self.run_host(path, "--png", png, "--view", window, script=""), 0)
        host = inkcompare.host_picture(png)
        height, width = host.shape[:2]
        return host, inkcompare.ezdxf_picture(path, view, width, height), view

    def test_colour_changes_by_index_and_true_colour(self):
        # \c gives blue, green, red from the high byte down: 16711680 is pure blue.
        # ezdxf lays formatted runs out a little tighter than plain text, a few pixels at this zoom:
        # where each colour lies is compared, not the ink's overlap.
        host, other, _ = self.pictures("colours", "{\\C1;RRRR} {\\c16711680;BBBB} {\\C3;GGGG} WWW", view=(-1, 1, 15, 5))
        centres = {}
        for label, picture in (("zrxhost", host), ("ezdxf", other)):
            classes = colour_classes(picture)
            for colour, mask in classes.items():
                self.assertGreater(int(mask.sum()), 200, f"{label}: no {colour} run")
            centres[label] = {colour: float(numpy.nonzero(mask)[1].mean()) for colour, mask in classes.items()}
            self.assertLess(centres[label]["red"], centres[label]["blue"], label)
            self.assertLess(centres[label]["blue"], centres[label]["green"], label)
            # After the groups the MText's own white comes back.
            white = (picture.min(axis=2) > 200)
            self.assertGreater(float(numpy.nonzero(white)[1].mean()), centres[label]["green"], label)
        width = host.shape[1]
        for colour in ("red", "green", "blue"):
            self.assertAlmostEqual(centres["zrxhost"][colour], centres["ezdxf"][colour], delta=0.03 * width)

    def test_height_changes_absolute_and_relative(self):
        # ezdxf sets the short runs' tops level with the tall run's, CAD programs their baselines:
        # the ink's overall height is compared, not its overlap.
        host, other, _ = self.pictures("heights", "ab{\\H3x;CD}ef", view=(0, -1, 12, 8))
        host_box = ink_box(inkcompare.ink_mask(host, inkcompare.BACKGROUND))
        other_box = ink_box(inkcompare.ink_mask(other, inkcompare.BACKGROUND))
        host_height, other_height = host_box[3] - host_box[1], other_box[3] - other_box[1]
        self.assertAlmostEqual(host_height / other_height, 1.0, delta=0.1)
        # Measured at the same window, the plain text is about a third as high.
        flat, _, _ = self.pictures("flat", "abCDef", view=(0, -1, 12, 8))
        flat_box = ink_box(inkcompare.ink_mask(flat, inkcompare.BACKGROUND))
        self.assertGreater(host_height / (flat_box[3] - flat_box[1]), 2.3)
        # An absolute height of 2 units: the tall letters twice as high as in the plain text.
        absolute, _, _ = self.pictures("absolute", "ab{\\H2;CD}ef", view=(0, -1, 12, 8))
        box = ink_box(inkcompare.ink_mask(absolute, inkcompare.BACKGROUND))
        self.assertGreater((box[3] - box[1]) / (flat_box[3] - flat_box[1]), 1.6)
        self.assertLess((box[3] - box[1]) / (flat_box[3] - flat_box[1]), 2.4)

    def test_font_change_draws_the_run_in_that_font(self):
        # A monospaced font gives an "i" the width of an "m": the run grows much wider.
        window = (-1, 1, 9, 5)
        # Advance widths differ by a per cent or so between FreeType and matplotlib, so at this zoom
        # the widths are compared, not the overlap.
        host, other, _ = self.pictures("font", "iii{\\fDejaVu Sans Mono|b0|i0|c0|p49;iiii}ii", view=window)
        plain, _, _ = self.pictures("nofont", "iiiiiiiii", view=window)
        wide = ink_box(inkcompare.ink_mask(host, inkcompare.BACKGROUND))
        narrow = ink_box(inkcompare.ink_mask(plain, inkcompare.BACKGROUND))
        self.assertGreater((wide[2] - wide[0]) / (narrow[2] - narrow[0]), 1.3)
        other_box = ink_box(inkcompare.ink_mask(other, inkcompare.BACKGROUND))
        self.assertAlmostEqual((wide[2] - wide[0]) / (other_box[2] - other_box[0]), 1.0, delta=0.1)


if __name__ == "__main__":
    unittest.main()
