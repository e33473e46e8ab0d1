#!/usr/bin/python3
# Pictures of a large mixed drawing: zrxhost --png beside `ezdxf draw` and LibreCAD's dxf2pdf.
"""Usage: bench/render_compare.py ZRXHOST [ENTITIES] [--without-ezdxf]
       bench/render_compare.py --make ENTITIES OUT.dxf   (only writes the drawing)

Makes a drawing of ENTITIES (default 100000) entities of mixed kinds with ezdxf, then times
zrxhost at a quarter, half and all of it (to see that the time grows linearly), and `ezdxf draw`
and `librecad dxf2pdf` on the whole drawing, on this machine in this run: the wall time and the
CPU time (user and system) of each program. `ezdxf draw` takes about half an hour on 100,000
entities; --without-ezdxf leaves it out. Not part of `make test`.
"""
import os
import random
import resource
import shutil
import subprocess
import sys
import tempfile
import time

import ezdxf


def make_drawing(path, count):
    random.seed(15)
    doc = ezdxf.new("R2018", setup=True)
    msp = doc.modelspace()
    block = doc.blocks.new("CHAIR")
    block.add_lwpolyline([(0, 0), (0.5, 0), (0.5, 0.5), (0, 0.5)], close=True)
    block.add_circle((0.25, 0.25), 0.1)
    side = int(count ** 0.5) + 1
    for i in range(count):
        x, y = (i % side) * 3.0, (i // side) * 3.0
        kind = i % 8
        if kind == 0:
            msp.add_line((x, y), (x + 2, y + 1))
        elif kind == 1:
            msp.add_circle((x + 1, y + 1), 0.8, dxfattribs={"color": 3})
        elif kind == 2:
            msp.add_arc((x + 1, y + 1), 0.9, 20, 200, dxfattribs={"linetype": "DASHED"})
        elif kind == 3:
            msp.add_lwpolyline([(x, y), (x + 2, y, 0.5), (x + 2, y + 2), (x, y + 2)], format="xyb", close=True)
        elif kind == 4:
            msp.add_text(str(i), dxfattribs={"insert": (x, y), "height": 0.8})
        elif kind == 5:
            hatch = msp.add_hatch(color=5)
            hatch.paths.add_polyline_path([(x, y), (x + 1.5, y), (x + 1.5, y + 1.5)], is_closed=True)
        elif kind == 6:
            msp.add_blockref("CHAIR", (x, y), dxfattribs={"rotation": random.uniform(0, 360)})
        else:
            msp.add_ellipse((x + 1, y + 1), major_axis=(1, 0.3), ratio=0.4)
    doc.saveas(path)


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(args, **kwargs):
    """Wall seconds, CPU seconds and exit code of one run."""
    cpu = children_cpu()
    start = time.perf_counter()
    result = subprocess.run(args, capture_output=True, text=True, **kwargs)
    elapsed = time.perf_counter() - start
    return elapsed, children_cpu() - cpu, result.returncode


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--make":
        make_drawing(sys.argv[3], int(sys.argv[2]))
        return
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    with_ezdxf = "--without-ezdxf" not in sys.argv
    host = args[0]
    count = int(args[1]) if len(args) > 1 else 100000
    work = tempfile.mkdtemp(prefix="render-bench-")
    try:
        sizes = [count // 4, count // 2, count]
        for n in sizes:
            path = os.path.join(work, f"mixed{n}.dxf")
            make_drawing(path, n)
            seconds, cpu, code = timed([host, path, "--png", os.path.join(work, "host.png"), "--script", "/dev/null"])
            read, read_cpu, _ = timed([host, path, "--script", "/dev/null"])
            print(f"zrxhost --png, {n} entities: {seconds:.2f} s wall, {cpu:.2f} s CPU (exit {code}); "
                  f"reading alone {read:.2f} s wall, {read_cpu:.2f} s CPU")
        whole = os.path.join(work, f"mixed{count}.dxf")
        if with_ezdxf:
            seconds, cpu, code = timed([sys.executable, "-m", "ezdxf", "draw", "-o", os.path.join(work, "ezdxf.png"),
                                        whole])
            print(f"ezdxf draw, {count} entities: {seconds:.2f} s wall, {cpu:.2f} s CPU (exit {code})")
        if shutil.which("librecad"):
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
            seconds, cpu, code = timed(["librecad", "dxf2pdf", "-o", os.path.join(work, "librecad.pdf"), whole],
                                       env=env, cwd=work)
            print(f"librecad dxf2pdf, {count} entities: {seconds:.2f} s wall, {cpu:.2f} s CPU (exit {code})")
            # The same drawing again, right after, so that a change of load shows in the pair.
            seconds, cpu, code = timed([host, whole, "--png", os.path.join(work, "host.png"), "--script", "/dev/null"])
            print(f"zrxhost --png again, {count} entities: {seconds:.2f} s wall, {cpu:.2f} s CPU (exit {code})")
        else:
            print("librecad is not installed (apt-get install librecad): no dxf2pdf figure")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
