"""The drawings zrxhost is held to: every DXF sample of Debian's packages that `make test` installs,
drawings ezdxf writes in every version, ASCII and binary, and the damaged drawings kept from fuzzing. Each one is opened and saved unchanged,
and lands in one of four classes:

  identical  saved byte for byte as read, nothing said
  repaired   saved otherwise, each change named by a warning on standard error
  refused    not opened, with the line and the reason on standard error
  silent     saved otherwise without a word: a fault

Run as a program it prints the figures (`python3 dxf_corpus.py`, with ZRXHOST set); the test
`test_dxf_corpus` holds the figures kept in tests/data/dxf-corpus.txt."""
import glob
import os
import re
import subprocess
import sys
import tempfile

import hostrun

DEBIAN_DIRS = ["/usr/share/z88", "/usr/share/librecad", "/usr/share/freecad/Mod/Drawing/Templates",
               "/usr/share/openscad/testdata/dxf"]
FIGURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "dxf-corpus.txt")
CLASSES = ("identical", "repaired", "refused", "silent")


def debian_drawings():
    """The sample drawings of Debian's packages, which the set-up of `make test` installs: a test over
    them fails without them instead of passing over none."""
    files = []
    for d in DEBIAN_DIRS:
        files += glob.glob(os.path.join(d, "**", "*.dxf"), recursive=True)
    if len(files) < 1000:
        raise AssertionError("librecad-data, z88-data, freecad-common or openscad-testing-data are not installed "
                             "(scripts/setup.sh test)")
    return sorted(files)


def generated_drawings(folder):
    """ezdxf's drawings of every kind the host draws, in each version it writes, ASCII and binary."""
    import ezdxf
    from test_render_kinds import kind_drawings

    paths = []
    for version in ("R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"):
        doc = ezdxf.new(version, setup=True)
        for make in kind_drawings().values():
            try:
                make(doc, doc.modelspace())
            except ezdxf.DXFVersionError:
                pass  # a kind the version does not have
        for fmt in ("asc", "bin"):
            path = os.path.join(folder, f"ezdxf-{version}-{fmt}.dxf")
            doc.saveas(path, fmt=fmt)
            paths.append(path)
    return paths


def classify(path, out):
    """The class of one drawing, and what zrxhost said on standard error."""
    if os.path.exists(out):
        os.remove(out)
    result = hostrun.run_host(path, "--save-as", out, script="")
    said = result.stderr.strip()
    if result.returncode != 0:
        reason = re.search(r"^zrxhost: .*: line \d+: .+", said, re.M) or re.search(r"group \d+ of the binary", said)
        return ("refused" if reason and not os.path.exists(out) else "silent"), said
    with open(path, "rb") as a, open(out, "rb") as b:
        if a.read() == b.read():
            return ("identical" if not said else "repaired"), said
    warned = re.search(r"^zrxhost: warning: .*: line \d+: .+", said, re.M)
    return ("repaired" if warned else "silent"), said


def run(paths):
    """{class: [(path, what was said)]} over `paths`."""
    found = {c: [] for c in CLASSES}
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out.dxf")
        for path in paths:
            kind, said = classify(path, out)
            found[kind].append((path, said))
    return found


def damaged_drawings():
    return sorted(glob.glob(os.path.join(os.path.dirname(FIGURES), "fuzz-regressions", "dxf_read-*.dxf")))


def every_drawing(folder):
    return debian_drawings() + generated_drawings(folder) + damaged_drawings()


def figures(found):
    return "".join(f"{c} {len(found[c])}\n" for c in CLASSES)


if __name__ == "__main__":
    with tempfile.TemporaryDirectory() as folder:
        result = run(every_drawing(folder))
    sys.stdout.write(figures(result))
    for kind in ("silent", "repaired", "refused"):
        for path, said in result[kind]:
            print(f"{kind}: {path}: {said.splitlines()[0] if said else ''}")
