#!/usr/bin/env python3
"""Checks in a build's compile_commands.json that every source of the world, the game's
arithmetic, the drawing and the replay of records (alone, or in a unity build's batch) is
compiled without floating-point contraction and without any of the fast-math options: their results must be the same bits
in every build, compiler and machine. Usage: exact_float_flags.py COMPILE_COMMANDS SOURCE_DIR"""

import json
import re
import shlex
import sys
from pathlib import Path

FOLDERS = ("src/world", "src/shared", "src/render", "src/replay")
FORBIDDEN = ("-ffast-math", "-Ofast", "-funsafe-math-optimizations", "-fassociative-math",
             "-freciprocal-math", "-ffinite-math-only", "-fno-signed-zeros", "-fno-trapping-math")


def arguments(entry):
    return entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])


UNITY_INCLUDE = re.compile(r'^#include "(.+)"$', re.MULTILINE)


def sources(entry):
    """The sources a command compiles: its file, or in a unity build the files its batch includes."""
    path = Path(entry["directory"], entry["file"])
    if path.parent.name != "Unity":
        return [path.resolve()]
    return [Path(path.parent, included).resolve() for included in UNITY_INCLUDE.findall(path.read_text())]


def main():
    commands = json.loads(Path(sys.argv[1]).read_text())
    source_dir = Path(sys.argv[2]).resolve()
    problems, checked = [], {folder: 0 for folder in FOLDERS}
    compiled = [(path, entry) for entry in commands for path in sources(entry)]
    for path, entry in compiled:
        relative = path.relative_to(source_dir).as_posix() if path.is_relative_to(source_dir) else ""
        folder = next((f for f in FOLDERS if relative.startswith(f + "/")), None)
        if folder is None:
            continue
        checked[folder] += 1
        args = arguments(entry)
        contract = [a for a in args if a.startswith("-ffp-contract=")]
        if not contract or contract[-1] != "-ffp-contract=off":
            problems.append(f"{relative}: not compiled with -ffp-contract=off (has {contract or 'none'})")
        problems += [f"{relative}: compiled with {a}" for a in args if a in FORBIDDEN]
    problems += [f"no source of {folder} in the build" for folder, count in checked.items() if count == 0]
    for problem in problems:
        print(problem, file=sys.stderr)
    if not problems:
        print("exact floating point in", ", ".join(f"{count} sources of {folder}" for folder, count in checked.items()))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
