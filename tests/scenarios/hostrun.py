# Runs zrxhost for scenario tests and reads what it wrote: drawings (ezdxf), PNG and SVG pictures.
"""Helpers shared by the scenario tests.

The tests run under ctest, which sets:
  ZRXHOST        the zrxhost program
  ZRX_MODULE     the ZrxForTally.zrx module
  ZRX_BUILD_DIR  the build directory (test modules live in its test_modules/)

Typical use:

    class MyTest(hostrun.HostTestCase):
        def test_something(self):
            drawing = self.new_drawing("in.dxf", lambda msp: msp.add_text("A"))
            result = self.run_host(drawing, "--save-as", self.path("out.dxf"),
                                   script="tally\\n...")
            self.assertExit(result, 0)
            doc = hostrun.read_drawing_strict(self.path("out.dxf"))
"""

import contextlib
import fcntl
import inspect
import os
import pty
import select
import shutil
import struct
import subprocess
import tempfile
import termios
import time
import unittest
import xml.etree.ElementTree as ET
import zlib

import ezdxf
from ezdxf.lldxf.encoding import decode_dxf_unicode

HOST_ENCODING = "utf-8"


def _required_env(name):
    value = os.environ.get(name)
    if not value:
        raise unittest.SkipTest(f"{name} is not set (run the scenario tests through ctest)")
    return value


def zrxhost_path():
    return _required_env("ZRXHOST")


def module_path():
    """The ZrxForTally.zrx module."""
    return _required_env("ZRX_MODULE")


def test_module_path(name):
    """One of the small test modules: 'hello', 'hello_wrong_version', 'hello_no_exports'."""
    path = os.path.join(_required_env("ZRX_BUILD_DIR"), "test_modules", name + ".zrx")
    if not os.path.exists(path):
        raise unittest.SkipTest(f"test module {path} has not been built")
    return path


class Result:
    """What one run of zrxhost did."""

    def __init__(self, args, returncode, stdout, stderr):
        self.args = args
        self.returncode = returncode
        self.stdout = stdout
        self.stderr = stderr

    def __repr__(self):
        return (f"zrxhost {' '.join(self.args)}\n-> exit {self.returncode}\n"
                f"--- stdout ---\n{self.stdout}--- stderr ---\n{self.stderr}")


def run_host(*args, script=None, stdin=None, cwd=None, timeout=120, env=None):
    """Runs zrxhost with `args`.

    `script` (text) is written to a temporary file and passed with --script; `stdin` (text) is fed to
    standard input (use with --script - or without --script). Standard input is otherwise empty,
    never the terminal of whoever runs the tests.
    """
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
    with _script_arguments(script) as script_args:
        proc = subprocess.run([zrxhost_path()] + [str(a) for a in args] + script_args,
                              input=(stdin or "").encode(HOST_ENCODING), capture_output=True, cwd=cwd,
                              timeout=timeout, env=full_env)
    return Result([str(a) for a in args], proc.returncode, proc.stdout.decode(HOST_ENCODING, "replace"),
                  proc.stderr.decode(HOST_ENCODING, "replace"))


@contextlib.contextmanager
def _script_arguments(script):
    """`--script FILE` for the script text (None: no arguments), the file removed afterwards."""
    if script is None:
        yield []
        return
    with tempfile.TemporaryDirectory(prefix="zrxhost-script-") as folder:
        script_path = os.path.join(folder, "input.scr")
        with open(script_path, "w", encoding=HOST_ENCODING) as f:
            f.write(script)
        yield ["--script", script_path]


def peak_memory_kib(*args, script, cwd=None):
    """Runs zrxhost with `args` and the script (as run_host does) and returns its peak resident memory
    in KiB, as the kernel counted it for that process alone."""
    with _script_arguments(script) as script_args:
        proc = subprocess.Popen([zrxhost_path()] + [str(a) for a in args] + script_args,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, cwd=cwd)
        _, status, usage = os.wait4(proc.pid, 0)
        proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise AssertionError(f"zrxhost {' '.join(map(str, args))} exited with {proc.returncode}")
    return usage.ru_maxrss


def sanitizer_runtimes(library):
    """The sanitizer runtime libraries a program or shared object was linked with (none in a plain build)."""
    out = subprocess.run(["ldd", library], capture_output=True, text=True).stdout
    return [line.split("=>")[1].split()[0] for line in out.splitlines()
            if "=>" in line and ("libasan" in line or "libubsan" in line)]


def built_with_sanitizers():
    return bool(sanitizer_runtimes(zrxhost_path()))


ESC = b"\x1b"
CTRL_C = b"\x03"
CTRL_D = b"\x04"


def _take_terminal():
    # The pseudo-terminal becomes the controlling terminal of a new session, as a terminal emulator
    # makes it: only then does Ctrl-C reach the program as a signal.
    os.setsid()
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)


def run_host_in_terminal(*args, answers=(), timeout=60, cwd=None, env=None, end_with_ctrl_d=True):
    """Runs zrxhost on a pseudo-terminal (its interactive command line) and, each time the output has
    gone quiet, types the next of `answers`: a str is typed and followed by Enter, bytes are sent as
    they are (keys such as ESC, CTRL_C). Then ends the input with Ctrl-D (unless told not to).
    Returns (exit code, everything the terminal showed)."""
    argv = [zrxhost_path()] + [str(a) for a in args]
    master, slave = pty.openpty()
    full_env = dict(os.environ, TERM="xterm")
    if env:
        full_env.update(env)
    proc = subprocess.Popen(argv, stdin=slave, stdout=slave, stderr=slave, cwd=cwd, close_fds=True,
                            env=full_env, preexec_fn=_take_terminal)
    os.close(slave)
    shown = bytearray()
    deadline = time.monotonic() + timeout

    def read_until_quiet(quiet=0.3):
        while time.monotonic() < deadline:
            ready, _, _ = select.select([master], [], [], quiet)
            if not ready:
                return
            try:
                chunk = os.read(master, 4096)
            except OSError:  # the program has closed the terminal
                return
            if not chunk:
                return
            shown.extend(chunk)

    try:
        read_until_quiet()
        for answer in answers:
            keys = answer if isinstance(answer, bytes) else answer.encode(HOST_ENCODING) + b"\r"
            try:
                os.write(master, keys)
            except OSError:  # the program has ended and closed the terminal
                break
            read_until_quiet()
        if end_with_ctrl_d and proc.poll() is None:
            os.write(master, CTRL_D)
            read_until_quiet()
        proc.wait(timeout=max(1, deadline - time.monotonic()))
        read_until_quiet(0.1)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        os.close(master)
    return proc.returncode, shown.decode(HOST_ENCODING, "replace")


# ---- Drawings.

def new_drawing(path, build=None, version="R2018"):
    """Writes a drawing made with ezdxf; `build(msp, doc)` (or `build(msp)`) adds entities."""
    doc = ezdxf.new(version)
    if build is not None:
        if len(inspect.signature(build).parameters) >= 2:
            build(doc.modelspace(), doc)
        else:
            build(doc.modelspace())
    save_drawing(doc, path)
    return path


def save_drawing(doc, path):
    """Saves an ezdxf drawing, with group 60 for its invisible entities, which ezdxf 0.18 leaves out."""
    doc.saveas(path)
    hidden = {e.dxf.handle for layout in doc.layouts_and_blocks() for e in layout if e.dxf.get("invisible", 0)}
    if not hidden:
        return
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    out, handle = [], None
    for code, value in zip(lines[0::2], lines[1::2]):
        out += [code, value]
        if code.strip() == "5":
            handle = value.strip()
        if code.strip() == "8" and handle in hidden:  # the layer, in the groups every entity has
            out += [" 60", "1"]
            hidden.discard(handle)
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out + lines[len(out):]))


def read_drawing(path):
    return ezdxf.readfile(path)


def audit_problems(doc):
    """Errors and fixes of ezdxf's audit, as text (empty when the drawing is clean)."""
    auditor = doc.audit()
    return [f"error {e.code}: {e.message}" for e in auditor.errors] + \
           [f"fix {e.code}: {e.message}" for e in auditor.fixes]


def read_drawing_strict(path):
    """Reads a drawing with ezdxf and fails on any error or fix its audit reports."""
    doc = ezdxf.readfile(path)
    problems = audit_problems(doc)
    if problems:
        raise AssertionError(f"{path} fails ezdxf's audit:\n  " + "\n  ".join(problems))
    return doc


def entities_of(doc, dxftype, layout=None):
    space = layout if layout is not None else doc.modelspace()
    return [e for e in space if e.dxftype() == dxftype]


def text_value(s):
    """A string as a CAD program shows it: drawings before R2007 hold characters outside their code
    page as \\U+XXXX escapes, which ezdxf.readfile leaves as they are."""
    return decode_dxf_unicode(s)


def texts_of(doc, layout=None):
    """The TEXT entities of model space as (text, (x, y, z)) pairs, in drawing order; escapes decoded."""
    return [(text_value(e.dxf.text), tuple(e.dxf.insert)) for e in entities_of(doc, "TEXT", layout)]


# ---- Pictures.

class Png:
    """A decoded 8-bit PNG (as cairo writes them): width, height and (r, g, b) per pixel."""

    def __init__(self, width, height, rows, channels):
        self.width = width
        self.height = height
        self._rows = rows
        self._channels = channels

    def rgb(self, x, y):
        row = self._rows[y]
        i = x * self._channels
        return row[i], row[i + 1], row[i + 2]

    def pixels(self):
        for y in range(self.height):
            for x in range(self.width):
                yield x, y, self.rgb(x, y)


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path} is not a PNG file")
    pos = 8
    header = None
    compressed = bytearray()
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            raise ValueError(f"{path}: bad CRC in chunk {kind!r}")
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            compressed.extend(body)
        elif kind == b"IEND":
            break
        pos += 12 + length
    if header is None:
        raise ValueError(f"{path}: no IHDR chunk")
    width, height, depth, colour_type, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour_type)
    if depth != 8 or channels is None or interlace != 0:
        raise ValueError(f"{path}: unsupported PNG layout (depth {depth}, colour type {colour_type})")
    raw = zlib.decompress(bytes(compressed))
    stride = width * channels
    rows = []
    previous = bytearray(stride)
    pos = 0
    for _ in range(height):
        kind = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 0xFF
        elif kind == 2:
            line = bytearray((a + b) & 0xFF for a, b in zip(line, previous))
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + (left + previous[i]) // 2) & 0xFF
        elif kind == 4:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                up = previous[i]
                up_left = previous[i - channels] if i >= channels else 0
                p = left + up - up_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else up_left)
                line[i] = (line[i] + predictor) & 0xFF
        elif kind != 0:
            raise ValueError(f"{path}: unknown PNG filter {kind}")
        rows.append(line)
        previous = line
    return Png(width, height, rows, channels)


SVG_NS = "{http://www.w3.org/2000/svg}"


def read_svg(path):
    """Parses an SVG file strictly (any XML error raises) and returns its root element."""
    root = ET.parse(path).getroot()
    if root.tag != SVG_NS + "svg":
        raise ValueError(f"{path}: the root element is {root.tag}, not svg")
    return root


# ---- Test case base.

class HostTestCase(unittest.TestCase):
    """A test case with its own temporary directory and the helpers above as methods."""

    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="zrxhost-test-")
        self.addCleanup(shutil.rmtree, self.workdir, True)

    def path(self, name):
        return os.path.join(self.workdir, name)

    def run_host(self, *args, **kwargs):
        kwargs.setdefault("cwd", self.workdir)
        return run_host(*args, **kwargs)

    def new_drawing(self, name, build=None, version="R2018"):
        return new_drawing(self.path(name), build, version)

    def assertExit(self, result, code):
        if result.returncode != code:
            self.fail(f"expected exit {code}\n{result!r}")

    def assertFailsWith(self, result, code, *message_parts):
        """Exit `code`, and standard error a "zrxhost: " message holding every part."""
        self.assertExit(result, code)
        self.assertTrue(result.stderr.startswith("zrxhost: "), repr(result))
        for part in message_parts:
            self.assertIn(part, result.stderr, repr(result))
