#!/usr/bin/python3
"""Times the host's DXF reading and writing beside ezdxf, dxflib and dime, on the same files.

Usage: dxf_side_by_side.py [BUILD_DIR] [--sizes 10000,100000,1000000] [--ezdxf-up-to N] [--runs R]

Each drawing holds N TEXT entities (R2018, made by ezdxf once and kept in $TMPDIR/zrx-bench-dxf).
Every tool runs as its own process, so each figure is a whole process: start, read, (write), exit.
Wall time is measured here; CPU time and peak memory come from GNU time. dxflib and
dime are timed when bench/foreign built them (their Debian packages: scripts/setup.sh bench).
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

CACHE = os.path.join(tempfile.gettempdir(), "zrx-bench-dxf")


def drawing(texts):
    """The drawing of `texts` TEXT entities, made once with ezdxf."""
    path = os.path.join(CACHE, f"texts-{texts}.dxf")
    if not os.path.exists(path):
        import ezdxf

        os.makedirs(CACHE, exist_ok=True)
        doc = ezdxf.new("R2018")
        msp = doc.modelspace()
        for i in range(texts):
            msp.add_text(f"Text {i}", dxfattribs={"insert": (i % 1000 * 1.5, i // 1000 * 2.0), "height": 1.25,
                                                  "rotation": i % 360})
        partial = path + ".part"
        doc.saveas(partial)
        os.replace(partial, path)
    return path


def measure(argv, runs):
    """Best wall time, its CPU time and the highest peak memory (bytes) of `runs` runs of `argv`.

    GNU time reports the child's usage: a child of this Python process would count the interpreter's
    own peak memory in its own, since a forked process starts from its parent's pages.
    """
    best = None
    peak = 0
    for _ in range(runs):
        start = time.perf_counter()
        result = subprocess.run(["/usr/bin/time", "-f", "zrx-time %U %S %M"] + argv, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True)
        wall = time.perf_counter() - start
        if result.returncode != 0:
            sys.exit(f"{argv[0]} failed ({result.returncode}): {result.stderr.strip()}")
        user, system, peak_kb = result.stderr.strip().splitlines()[-1].split()[1:]
        cpu = float(user) + float(system)
        peak = max(peak, int(peak_kb) * 1024)
        if best is None or wall < best[0]:
            best = (wall, cpu)
    return best[0], best[1], peak


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--ezdxf-up-to", type=int, default=100000,
                        help="time ezdxf only on drawings of at most this many texts (it takes minutes at 1M)")
    parser.add_argument("--runs", type=int, default=3, help="runs of each fast tool; the best counts")
    args = parser.parse_args()

    host = os.path.join(args.build, "host", "zrxhost")
    dxflib = os.path.join(args.build, "bench", "foreign", "dxflib_read")
    dime = os.path.join(args.build, "bench", "foreign", "dime_readwrite")
    ezdxf_rw = [sys.executable, "-c", "import ezdxf, sys; ezdxf.readfile(sys.argv[1]).saveas(sys.argv[2])"]

    print(f"{'texts':>9} {'MB':>6}  {'tool':<24} {'wall s':>8} {'CPU s':>8} {'MB/s':>7} {'peak MB':>8} {'x file':>7}")
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out.dxf")
        for texts in [int(s) for s in args.sizes.split(",")]:
            src = drawing(texts)
            size = os.path.getsize(src)
            rows = {}

            def row(name, argv, runs):
                wall, cpu, peak = measure(argv, runs)
                rows[name] = (wall, cpu)
                print(f"{texts:>9} {size / 1e6:>6.1f}  {name:<24} {wall:>8.3f} {cpu:>8.3f} {size / 1e6 / wall:>7.1f} "
                      f"{peak / 1e6:>8.1f} {peak / size:>7.2f}", flush=True)

            row("zrxhost read", [host, src, "--script", "/dev/null"], args.runs)
            row("zrxhost read+write", [host, src, "--script", "/dev/null", "--save-as", out], args.runs)
            if os.path.exists(dxflib):
                row("dxflib read", [dxflib, src], args.runs)
            if os.path.exists(dime):
                row("dime read", [dime, src], args.runs)
                row("dime read+write", [dime, src, out], args.runs)
            if texts <= args.ezdxf_up_to:
                row("ezdxf read+write", ezdxf_rw + [src, out], 1)

            ratios = []
            for name, host_row in (("dxflib read", "zrxhost read"), ("dime read", "zrxhost read"),
                                   ("dime read+write", "zrxhost read+write"),
                                   ("ezdxf read+write", "zrxhost read+write")):
                if name in rows:
                    (wall, cpu), (host_wall, host_cpu) = rows[name], rows[host_row]
                    ratios.append(f"{name} {wall / host_wall:.1f}x wall, {cpu / max(host_cpu, 0.01):.1f}x CPU")
            print(f"{'':>17}  zrxhost is faster than: " + "; ".join(ratios), flush=True)


if __name__ == "__main__":
    main()
