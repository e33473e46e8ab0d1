#!/usr/bin/python3
# Writes the seed corpora of the fuzz targets into DIR/<target>/: drawings made with ezdxf in every
# version the host reads, the example drawing and script, and the regression inputs under tests/.
import os
import sys

import ezdxf

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def drawings(out, binary_out):
    for version in ("R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"):
        doc = ezdxf.new(version)
        msp = doc.modelspace()
        msp.add_text("A-01", dxfattribs={"insert": (1, 2), "height": 2.5, "rotation": 30})
        if version != "R12":
            msp.add_mtext("first\\Psecond {\\C1;red}", dxfattribs={"insert": (5, 5), "char_height": 2})
        msp.add_line((0, 0), (10, 10))
        msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6)])
        block = doc.blocks.new("B1")
        block.add_text("in a block")
        block.add_attdef("TAG", (0, 0))
        msp.add_blockref("B1", (3, 3)).add_attrib("TAG", "value")
        doc.layers.add("walls", color=3)
        doc.saveas(os.path.join(out, f"ezdxf-{version}.dxf"))
        if version in ("R12", "R2000", "R2018"):
            # The binary target takes what follows the sentinel.
            binary = os.path.join(binary_out, f"ezdxf-{version}.bin")
            doc.saveas(binary, fmt="bin")
            with open(binary, "rb") as f:
                data = f.read()
            with open(binary, "wb") as f:
                f.write(data[22:])


def drawn_kinds(out):
    """One drawing per version with every kind pictures draw from its record (hatches, splines...)."""
    sys.path.insert(0, os.path.join(ROOT, "tests", "scenarios"))
    from test_render_kinds import kind_drawings

    for version in ("R12", "R2000"):
        doc = ezdxf.new(version)
        for name, make in kind_drawings().items():
            try:
                make(doc, doc.modelspace())
            except ezdxf.DXFVersionError:
                pass  # a kind the version does not have
        doc.saveas(os.path.join(out, f"kinds-{version}.dxf"))


def copy(src, dst_dir):
    with open(src, "rb") as f:
        data = f.read()
    with open(os.path.join(dst_dir, os.path.basename(src)), "wb") as f:
        f.write(data)


def main(root):
    targets = {name: os.path.join(root, name) for name in
               ("dxf_read_fuzz", "dxf_binary_fuzz", "mtext_fuzz", "editor_input_fuzz", "script_fuzz")}
    for d in targets.values():
        os.makedirs(d, exist_ok=True)
    drawings(targets["dxf_read_fuzz"], targets["dxf_binary_fuzz"])
    drawn_kinds(targets["dxf_read_fuzz"])
    copy(os.path.join(ROOT, "examples", "sample.dxf"), targets["dxf_read_fuzz"])
    regressions = os.path.join(ROOT, "tests", "data", "fuzz-regressions")
    for name in sorted(os.listdir(regressions)) if os.path.isdir(regressions) else []:
        target = name.split("-")[0] + "_fuzz"
        if target in targets:
            copy(os.path.join(regressions, name), targets[target])
    for i, contents in enumerate(["plain", "a\\Pb\\P", "{\\fArial|b1;bold} \\H2x;big \\~ \\\\ \\{x\\}",
                                  "\\U+4E2D\\U+6587 \\S1^2; \\A1;mid \\pxqc;para", "{{{\\C1;"]):
        with open(os.path.join(targets["mtext_fuzz"], f"seed{i}"), "wb") as f:
            f.write(contents.encode("utf-16-le"))
    for i, answer in enumerate(["Method Count\n12.5", "Yes No\n@1,2", "Line Spacing\n1e3,-2,.5", "A AB\nab"]):
        with open(os.path.join(targets["editor_input_fuzz"], f"seed{i}"), "w") as f:
            f.write(answer)
    with open(os.path.join(ROOT, "examples", "demo.scr"), "rb") as f:
        demo = f.read()
    with open(os.path.join(targets["script_fuzz"], "demo"), "wb") as f:
        f.write(b"drawing.dxf\n--script\n-\n--set\nVERLAN=zh-CN\n\0" + demo)
    with open(os.path.join(targets["script_fuzz"], "undo"), "wb") as f:
        f.write(b"--save-as\nout.dxf\n--png\nx.png\n\0U\nUNDO\n2\nREDO\nnonsense\n")


if __name__ == "__main__":
    main(sys.argv[1])
