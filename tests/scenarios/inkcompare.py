# Ink masks of two pictures of the same view window, and how much of each one's ink the other covers.
"""zrxhost's PNG against ezdxf's drawing add-on (matplotlib), both showing one view window.

A pixel is ink when it differs from the picture's background by more than a little (anti-aliasing
leaves faint pixels at edges). Each picture's ink must lie within `tolerance` pixels of the other's.
"""

import logging

import numpy

import hostrun

BACKGROUND = (33, 40, 48)


def ink_mask(rgb, background):
    """rgb: H×W×3 uint8; ink where any channel differs from the background by more than 40."""
    diff = numpy.abs(rgb.astype(numpy.int16) - numpy.array(background, dtype=numpy.int16))
    return diff.max(axis=2) > 40


def dilate(mask, radius):
    """Every pixel within `radius` (a disc) of an ink pixel."""
    h, w = mask.shape
    out = numpy.zeros_like(mask)
    for dy in range(-radius, radius + 1):
        for dx in range(-radius, radius + 1):
            if dx * dx + dy * dy > radius * radius:
                continue
            src = mask[max(0, -dy):h - max(0, dy), max(0, -dx):w - max(0, dx)]
            out[max(0, dy):max(0, dy) + src.shape[0], max(0, dx):max(0, dx) + src.shape[1]] |= src
    return out


def covered(a, b, tolerance):
    """The share of a's ink within `tolerance` pixels of b's ink (1.0 when a has no ink)."""
    total = int(a.sum())
    if total == 0:
        return 1.0
    return float((a & dilate(b, tolerance)).sum()) / total


def host_picture(png_path):
    png = hostrun.read_png(png_path)
    rgb = numpy.zeros((png.height, png.width, 3), dtype=numpy.uint8)
    for x, y, colour in png.pixels():
        rgb[y, x] = colour
    return rgb


def ezdxf_picture(dxf_path, view, width, height):
    """ezdxf's own rendering of the model space, exactly the window `view` on width×height pixels."""
    import matplotlib

    matplotlib.use("Agg")
    logging.getLogger("matplotlib.font_manager").setLevel(logging.ERROR)
    import matplotlib.pyplot as plt
    import ezdxf
    from ezdxf.addons.drawing import Frontend, RenderContext
    from ezdxf.addons.drawing.matplotlib import MatplotlibBackend

    doc = ezdxf.readfile(dxf_path)
    dpi = 100
    fig = plt.figure(figsize=(width / dpi, height / dpi), dpi=dpi)
    ax = fig.add_axes([0, 0, 1, 1])
    ax.set_axis_off()
    try:
        ctx = RenderContext(doc)
        ctx.set_current_layout(doc.modelspace())
        ctx.current_layout_properties.set_colors("#212830")
        backend = MatplotlibBackend(ax)
        Frontend(ctx, backend).draw_layout(doc.modelspace(), finalize=True, layout_properties=ctx.current_layout_properties)
        ax.set_aspect("auto")
        ax.set_position([0, 0, 1, 1])
        fig.set_dpi(dpi)
        fig.set_size_inches(width / dpi, height / dpi)
        ax.set_xlim(view[0], view[2])
        ax.set_ylim(view[1], view[3])
        fig.patch.set_facecolor("#212830")
        ax.set_facecolor("#212830")
        fig.canvas.draw()
        rgba = numpy.asarray(fig.canvas.buffer_rgba())
        return rgba[:, :, :3].copy()
    finally:
        plt.close(fig)


def view_of(dxf_path, margin=0.05):
    """A view window around the model space's extents as ezdxf measures them (None when empty)."""
    import ezdxf
    from ezdxf import bbox

    doc = ezdxf.readfile(dxf_path)
    box = bbox.extents(doc.modelspace(), fast=True)
    if not box.has_data:
        return None
    (x0, y0, _), (x1, y1, _) = box.extmin, box.extmax
    size = max(x1 - x0, y1 - y0, 1e-6)
    pad = size * margin
    return (x0 - pad, y0 - pad, x1 + pad, y1 + pad)
