#!/usr/bin/python3
"""Reads and writes one drawing of 100,000 TEXT entities with ezdxf and with the host; prints the ratio.

Usage: dxf_side_by_side.py [BUILD_DIR]   (default: ./build; needs BUILD_DIR/tests/dxf_roundtrip)
"""
import os
import resource
import subprocess
import sys
import tempfile
import time

import ezdxf

TEXTS = 100_000


def make_drawing(path):
    doc = ezdxf.new("R2018")
    msp = doc.modelspace()
    for i in range(TEXTS):
        msp.add_text(f"Text {i}", dxfattribs={"insert": (i % 1000 * 1.5, i // 1000 * 2.0), "height": 1.25,
                                              "rotation": i % 360})
    doc.saveas(path)


def child_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    tool = os.path.join(build, "tests", "dxf_roundtrip")
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "texts.dxf")
        make_drawing(src)
        size_mb = os.path.getsize(src) / 1e6

        wall, cpu = time.perf_counter(), time.process_time()
        doc = ezdxf.readfile(src)
        doc.saveas(os.path.join(tmp, "ezdxf.dxf"))
        ez_wall, ez_cpu = time.perf_counter() - wall, time.process_time() - cpu

        runs = 3
        host_wall, host_cpu = [], []
        for _ in range(runs):
            wall, cpu = time.perf_counter(), child_cpu()
            subprocess.run([tool, src, os.path.join(tmp, "host.dxf")], check=True)
            host_wall.append(time.perf_counter() - wall)
            host_cpu.append(child_cpu() - cpu)
        hw, hc = min(host_wall), min(host_cpu)

    print(f"drawing: {TEXTS} TEXT entities, {size_mb:.1f} MB (R2018)")
    print(f"ezdxf readfile+saveas: {ez_wall:7.2f} s wall {ez_cpu:7.2f} s CPU")
    print(f"host  read+write:      {hw:7.2f} s wall {hc:7.2f} s CPU (best of {runs}, includes process start and fsync)")
    print(f"ratio: {ez_wall / hw:.1f}x wall, {ez_cpu / hc:.1f}x CPU")
    print(f"host read+write speed: {size_mb / hc:.1f} MB/s of CPU time (bench_dxf reports read and write apart)")


if __name__ == "__main__":
    main()
