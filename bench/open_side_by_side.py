#!/usr/bin/python3
# Launch-to-drawing time of zrxcad beside LibreCAD on the same drawing, under one Xvfb screen.
"""Usage: bench/open_side_by_side.py ZRXCAD DRAWING.dxf [RUNS]

Starts zrxcad on DRAWING.dxf in a fresh Xvfb screen of 1600 x 1000 and grabs the screen (xwd)
every 50 ms, counting pure green pixels (colour 3, the circles of bench/render_compare.py's
drawings): "shown" is the first grab with half the green of the settled screen, "settled" the
first of three grabs within 5 % of it. LibreCAD (its first-run dialog answered beforehand by
~/.config/LibreCAD/LibreCAD.conf: Startup/FirstLoad=0) is started the same way; on a screen without
a window manager it opens the drawing at a view that shows none of it, so once its title names the
drawing (the file is read) it is sent `za` (zoom auto, as a user would type it) and timed from its
launch to the whole drawing on screen the same way. Its `dxf2pdf` (read and draw to a PDF) is
timed too. Needs Xvfb, xwd, xdotool, librecad. Not part of `make test`.
"""

import os
import struct
import subprocess
import sys
import time

SCREEN = "1600x1000x24"


def green_pixels(display):
    """Pure green pixels on the root window of `display`."""
    data = subprocess.run(["xwd", "-root", "-silent", "-display", display], capture_output=True).stdout
    if len(data) < 100:
        return 0
    fields = struct.unpack(">25I", data[:100])
    header, height, per_line, ncolors = fields[0], fields[5], fields[12], fields[19]
    start = header + 12 * ncolors
    pixels = data[start:start + per_line * height]
    # Pixels of 24 or 32 bits, least significant byte first: blue 0, green 255, red 0. A count of
    # that byte run stands for the green on screen well enough to see when it settles.
    return pixels.count(b"\x00\xff\x00")


def zoom_when_read(display, name, deadline):
    """Types `za` into the window titled with `name` on `display` (LibreCAD) until drawing shows:
    the title may come before the file is read, when a zoom finds nothing to show."""
    env = dict(os.environ, DISPLAY=display)
    while time.perf_counter() < deadline:
        found = subprocess.run(["xdotool", "search", "--name", name], env=env, capture_output=True, text=True)
        if found.stdout.split():
            subprocess.run(["xdotool", "windowfocus", found.stdout.split()[0]], env=env, capture_output=True)
            subprocess.run(["xdotool", "type", "za"], env=env, capture_output=True)
            subprocess.run(["xdotool", "key", "Return"], env=env, capture_output=True)
            retry = time.perf_counter() + 0.5
            while time.perf_counter() < retry:
                if green_pixels(display) > 1000:  # more than its splash screen holds
                    return True
                time.sleep(0.05)
        else:
            time.sleep(0.05)
    return False


def time_open(command, display_number, settle_seconds, zoom_name=None):
    display = f":{display_number}"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", SCREEN, "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    env = dict(os.environ, DISPLAY=display)
    env.pop("QT_QPA_PLATFORM", None)
    try:
        start = time.perf_counter()
        program = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        samples = []  # (seconds, green pixels)
        if zoom_name and not zoom_when_read(display, zoom_name, start + settle_seconds):
            return None, None
        while time.perf_counter() - start < settle_seconds:
            samples.append((time.perf_counter() - start, green_pixels(display)))
            time.sleep(0.05)
        program.kill()
        program.wait()
    finally:
        xvfb.kill()
        xvfb.wait()
    final = samples[-1][1]
    if final < 100:
        return None, None
    shown = next(t for t, g in samples if g >= final / 2)
    for i in range(len(samples) - 2):
        if all(abs(samples[j][1] - final) <= 0.05 * final for j in (i, i + 1, i + 2)):
            return shown, samples[i][0]
    return shown, None


def time_dxf2pdf(drawing):
    out = "/tmp/open_side_by_side.pdf"
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    start = time.perf_counter()
    code = subprocess.run(["librecad", "dxf2pdf", "-o", out, drawing], env=env, capture_output=True).returncode
    return time.perf_counter() - start, code


def main():
    zrxcad, drawing = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    settle = float(os.environ.get("SETTLE_SECONDS", "20"))
    name = os.path.basename(drawing)
    for label, command, zoom in (("zrxcad", [zrxcad, drawing], None), ("librecad", ["librecad", drawing], name)):
        results = [time_open(command, 90 + run, settle, zoom) for run in range(runs)]
        if all(shown is None for shown, _ in results):
            print(f"{label} {name}: no drawing shown within {settle:.0f} s", flush=True)
            continue
        text = ", ".join(f"shown {s:.2f} s / settled {t:.2f} s" if t else f"shown {s:.2f} s" for s, t in results)
        print(f"{label} {name}: launch to {text}", flush=True)
    for run in range(runs):
        seconds, code = time_dxf2pdf(drawing)
        print(f"librecad dxf2pdf {name}: {seconds:.2f} s (exit {code})", flush=True)


if __name__ == "__main__":
    main()
