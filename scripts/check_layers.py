#!/usr/bin/env python3
# The include check: every host and module file includes only headers of its own layer or below.
"""Fails (exit 1) when a source or header includes a header of a layer above its own.

The host's layers, lowest first, are listed in HOST_LAYERS; a file in host/<layer>/ belongs to that
layer, and the public headers in host/include/ belong to the layer named in PUBLIC_HEADERS. The
module's folders depend one way, module/ -> command/ -> jig/ -> text/, with module/host.h (the one
door to the host) below them all; the module as a whole sits above the host, and no module file but
module/host.h includes a host header. The module sees only the API the real host offers: nothing
module/host.h includes, directly or through the headers it includes, is a zrxhost/ header.

    scripts/check_layers.py            check; print each upward edge
    scripts/check_layers.py --graph    also print the include graph by layer, with counts

The second module, under retally/, depends one way too: retally/module -> retally/command ->
retally/preview -> retally/plan -> retally/order and retally/renumber; all of them may use the tally module's text layer
(text/) and module/host.h, and nothing else of the tally module.
"""

import argparse
import collections
import pathlib
import re
import sys

HOST_LAYERS = ["ge", "rx", "fonts", "gi", "db", "ed", "dxf", "render", "app", "window"]
MODULE_LAYERS = ["module/host.h", "text", "jig", "command", "module"]
# The second module's layers, lowest first; order and renumber share a rank (neither uses the other).
RETALLY_LAYERS = ["retally/renumber", "retally/order", "retally/plan", "retally/preview", "retally/command",
                  "retally/module"]
RETALLY_RANK = {"retally/renumber": 0, "retally/order": 0, "retally/plan": 1, "retally/preview": 2,
                "retally/command": 3, "retally/module": 4}

# Each public header's layer: the layer whose sources implement what it declares.
PUBLIC_HEADERS = {
    "zrx/core.h": "ge",
    "zrx/ge.h": "ge",
    "zrx/array.h": "rx",
    "zrx/string.h": "rx",
    "zrx/rx.h": "rx",
    "zrx/rx_define.h": "rx",
    "zrxhost/ownership.h": "rx",
    "zrxhost/services.h": "rx",
    "zrxhost/fonts.h": "fonts",
    "zrx/gi.h": "gi",
    "zrx/db.h": "db",
    "zrx/db/*": "db",
    "zrxhost/undo.h": "db",
    "zrxhost/database_internals.h": "db",
    "zrxhost/edits.h": "db",
    "zrxhost/foreign_geometry.h": "db",
    "zrx/ed.h": "ed",
    "zrxhost/session.h": "ed",
    "zrxhost/messages.h": "ed",
    "zrxhost/progress.h": "ed",
    "zrxhost/host_commands.h": "ed",
    "zrxhost/dxf.h": "dxf",
    "zrxhost/render.h": "render",
    "zrxhost/version.h": "app",
}

# Upward includes tolerated for now, each as (including file, included header) with its reason. An
# entry that no longer occurs fails the check, so that the list only shrinks. Empty today: db's
# private stub.h is included only inside db, and what a drawing file held for an object lives in
# dxf, behind an extension db holds without looking inside.
ALLOWED_UPWARD = set()

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = {".cpp", ".h"}


def rank(layer):
    """Position of a layer in one order: the host's layers, then the modules' above them."""
    if layer in HOST_LAYERS:
        return HOST_LAYERS.index(layer)
    if layer in RETALLY_LAYERS:
        return len(HOST_LAYERS) + len(MODULE_LAYERS) + RETALLY_RANK[layer]
    return len(HOST_LAYERS) + MODULE_LAYERS.index(layer)


def public_layer(name):
    if name in PUBLIC_HEADERS:
        return PUBLIC_HEADERS[name]
    folder = name.rsplit("/", 1)[0] + "/*"
    return PUBLIC_HEADERS.get(folder)


def layer_of(root, path):
    """The layer of a file of the tree, or None when the file belongs to no layer."""
    if not path.is_relative_to(root):
        return None
    rel = path.relative_to(root).as_posix()
    parts = rel.split("/")
    if parts[0] == "host":
        if parts[1] == "include":
            return public_layer("/".join(parts[2:]))
        return parts[1] if parts[1] in HOST_LAYERS else None
    if rel == "module/host.h":
        return "module/host.h"
    if parts[0] == "retally" and len(parts) > 2:
        layer = "retally/" + parts[1]
        return layer if layer in RETALLY_LAYERS else None
    return parts[0] if parts[0] in MODULE_LAYERS else None


def resolve(root, including, name):
    """The file an include names: next to the includer, then under host/include, host/, the root."""
    for base in (including.parent, root / "host" / "include", root / "host", root):
        candidate = base / name
        if candidate.is_file():
            return candidate.resolve()
    return None


def host_internals_reached(root, door):
    """The zrxhost/ headers `door` reaches through its includes, each with the chain that leads there."""
    internals = root / "host" / "include" / "zrxhost"
    chains = {door: []}
    queue = collections.deque([door])
    found = []
    while queue:
        path = queue.popleft()
        for name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            target = resolve(root, path, name)
            if target is None or target in chains:
                continue
            chains[target] = chains[path] + [name]
            if target.is_relative_to(internals):
                found.append(chains[target])
            else:
                queue.append(target)
    return found


def layered_files(root):
    folders = [root / "host"] + [root / name for name in ("module", "command", "jig", "text", "retally")]
    for folder in folders:
        for path in sorted(folder.rglob("*")):
            if path.suffix in SOURCE_SUFFIXES and layer_of(root, path) is not None:
                yield path


def scan(root):
    """Returns (edges by layer pair with counts, forbidden edges, problems)."""
    edges = collections.Counter()
    upward = []
    problems = []
    seen_allowed = set()
    for path in layered_files(root):
        own = layer_of(root, path)
        rel = path.relative_to(root).as_posix()
        for name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            target = resolve(root, path, name)
            if target is None:
                problems.append(f"{rel}: includes {name}, which is not in the tree")
                continue
            other = layer_of(root, target)
            if other is None:
                problems.append(f"{rel}: includes {name}, which belongs to no layer "
                                "(give it one in PUBLIC_HEADERS)")
                continue
            edges[(own, other)] += 1
            if own in RETALLY_LAYERS:
                if other in RETALLY_LAYERS:
                    if RETALLY_RANK[other] > RETALLY_RANK[own] or (
                            RETALLY_RANK[other] == RETALLY_RANK[own] and other != own):
                        upward.append(f"{rel} ({own}) includes {name} ({other})")
                elif other not in ("module/host.h", "text"):
                    upward.append(f"{rel} ({own}) includes {name} ({other}): retally may use only text/ "
                                  "and module/host.h of the tally module")
            elif own in MODULE_LAYERS[1:] and other in HOST_LAYERS:
                upward.append(f"{rel} ({own}) includes {name} ({other}) around module/host.h")
            elif rank(other) > rank(own):
                if (rel, name) in ALLOWED_UPWARD:
                    seen_allowed.add((rel, name))
                else:
                    upward.append(f"{rel} ({own}) includes {name} ({other})")
    door = root / "module" / "host.h"
    for chain in host_internals_reached(root, door):
        through = "through " + " -> ".join(chain[:-1]) if len(chain) > 1 else "directly"
        upward.append(f"module/host.h reaches {chain[-1]} (host only) {through}")
    for rel, name in sorted(ALLOWED_UPWARD - seen_allowed):
        problems.append(f"{rel}: no longer includes {name} upward; take it off ALLOWED_UPWARD")
    return edges, upward, problems


def print_graph(edges):
    """One line per layer: the layers it includes, with how many includes each."""
    order = HOST_LAYERS + MODULE_LAYERS + RETALLY_LAYERS
    for layer in order:
        uses = [(other, count) for (own, other), count in edges.items() if own == layer]
        uses.sort(key=lambda item: -rank(item[0]))
        text = ", ".join(f"{other} {count}" for other, count in uses)
        print(f"{layer:>14} -> {text}")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--graph", action="store_true", help="print the include graph by layer")
    parser.add_argument("--root", type=pathlib.Path,
                        default=pathlib.Path(__file__).resolve().parent.parent,
                        help="the source tree (default: this script's tree)")
    args = parser.parse_args()
    root = args.root.resolve()

    edges, upward, problems = scan(root)
    if args.graph:
        print_graph(edges)
    for line in problems + upward:
        print(line)
    allowed = len(ALLOWED_UPWARD)
    if problems or upward:
        print(f"layer check failed: {len(upward)} forbidden includes, {len(problems)} other problems",
              file=sys.stderr)
        return 1
    print(f"layer check passed ({sum(edges.values())} includes, {allowed} allowed upward)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
