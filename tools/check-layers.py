#!/usr/bin/env python3
"""Checks that includes between the source folders go one way.

    check-layers.py [ROOT]

Every quoted include of a project header ("player/media/x.h") is an edge from the folder of
the including file to the folder of the header. The folders stand in layers, lowest first;
a file may include its own folder and the folders below it, never one above. Tests,
benchmarks and fuzz targets belong to the folder they test. Prints every offending include
and any cycle between two folders, and exits 1 when there is one.
"""
import os
import re
import sys

# Lowest first. A folder may include only folders on the same or an earlier line.
LAYERS = [
    ["platform"],
    ["player/base"],
    ["player/resources"],  # resource ids and the resource scripts: every window uses them
    ["player/media"],
    ["player/pictures"],
    ["player/library"],
    ["player/playback"],
    ["player/share"],
    ["player/app"],
    ["codecs", "converter", "tools"],
]
RANK = {folder: i for i, row in enumerate(LAYERS) for folder in row}
SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".c", ".inc", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path):
    """The layer folder a repository path belongs to, or None."""
    parts = path.split("/")
    for n in (2, 1):
        key = "/".join(parts[:n])
        if key in RANK:
            return key
    return None


def edges(root):
    found = []
    for top in ("player", "platform", "codecs", "converter", "tools"):
        for base, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = [d for d in dirs if not d.startswith(".")]
            for name in files:
                if not name.endswith(SOURCE_ENDINGS):
                    continue
                path = os.path.relpath(os.path.join(base, name), root).replace(os.sep, "/")
                source = folder_of(path)
                if source is None:
                    continue
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = folder_of(m.group(1))
                        if target and target != source:
                            found.append((path, number, source, target, m.group(1)))
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    root = os.path.abspath(root)
    bad = 0
    pairs = set()
    all_edges = edges(root)
    for path, number, source, target, header in all_edges:
        pairs.add((source, target))
        if RANK[target] > RANK[source]:
            print(f"{path}:{number}: {source} includes {header} from the layer above")
            bad += 1
    for source, target in sorted(pairs):
        if source < target and (target, source) in pairs:
            print(f"cycle: {source} and {target} include each other")
            bad += 1
    print(f"{len(all_edges)} includes across folders checked, {bad} problem(s)")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
