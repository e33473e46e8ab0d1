"""Helpers for the DXF scenario tests: tag lists, comparisons, a strict ezdxf check, the tool."""
import os
import subprocess

# Header variables a save may change: dates, the save's GUID and the handle seed.
VOLATILE_HEADER = {"$TDUPDATE", "$TDUUPDATE", "$TDINDWG", "$TDUSRTIMER", "$VERSIONGUID", "$HANDSEED"}


def read_tags(path):
    """The file's (code, value) pairs as text, lines split on LF with a trailing CR dropped."""
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    lines = [line[:-1] if line.endswith(b"\r") else line for line in lines]
    return [(int(lines[i].strip()), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def without_volatile_header(tags):
    out = []
    var = None
    in_header = False
    for i, (code, value) in enumerate(tags):
        if code == 2 and i > 0 and tags[i - 1] == (0, b"SECTION"):
            in_header = value.strip() == b"HEADER"
        if code == 0:
            var = None
        if in_header and code == 9:
            var = value.strip().decode("ascii", "replace")
        if var in VOLATILE_HEADER:
            continue
        out.append((code, value))
    return out


def first_difference(a, b):
    """None when equal; else a description of the first differing tag."""
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return f"tag {i} (line {2 * i + 1}): {x!r} != {y!r}"
    if len(a) != len(b):
        return f"tag counts differ: {len(a)} != {len(b)}"
    return None


def strict_audit(path):
    """A list of problems ezdxf finds (errors and fixes of its audit); empty when clean."""
    import ezdxf

    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    return [f"{e.code}: {e.message}" for e in list(auditor.errors) + list(auditor.fixes)]


def tool():
    build = os.environ.get("ZRX_BUILD_DIR")
    if not build:
        raise RuntimeError("ZRX_BUILD_DIR is not set")
    return os.path.join(build, "tests", "dxf_roundtrip")


def roundtrip(src, dst, *extra):
    return subprocess.run([tool(), src, dst, *extra], capture_output=True, text=True, timeout=300)
