#!/usr/bin/env python3
"""Checks every quoted include of the project's C++ files against the folder
table in scripts/layers.txt. Exit status 1 names each include that breaks it,
each folder the table does not state, and a table that lets a folder include
one listed after it."""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCE_EXTENSIONS = (".cpp", ".h", ".c", ".rc", ".in")
SKIPPED = {".git", "build"}


def read_table(path):
    order, allowed, errors = [], {}, []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.split("#", 1)[0].split()
        if not line:
            continue
        folder, rest = line[0], line[1:]
        if folder in allowed:
            errors.append(f"{path}:{number}: {folder} is listed twice")
        if rest[:1] == ["="]:
            if len(rest) != 2 or rest[1] not in allowed:
                errors.append(f"{path}:{number}: '= X' needs one folder listed before")
                allowed[folder] = set()
            else:
                allowed[folder] = {rest[1]} | allowed[rest[1]]
        else:
            for used in rest:
                if used not in allowed:
                    errors.append(f"{path}:{number}: {folder} may not include {used}, "
                                  "which is not listed before it")
            allowed[folder] = set(rest)
        order.append(folder)
    return order, allowed, errors


def folder_of(relative, folders):
    """The longest table folder holding a file, or None."""
    best = None
    for folder in folders:
        if relative == folder or relative.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def main():
    table = os.path.join(ROOT, "scripts", "layers.txt")
    order, allowed, errors = read_table(table)
    unstated = set()
    for directory, subdirs, files in os.walk(ROOT):
        subdirs[:] = sorted(d for d in subdirs if d not in SKIPPED and not d.startswith("build"))
        for name in sorted(files):
            if not name.endswith(SOURCE_EXTENSIONS):
                continue
            path = os.path.join(directory, name)
            relative = os.path.relpath(path, ROOT)
            here = folder_of(relative, order)
            if here is None:
                unstated.add(os.path.dirname(relative))
                continue
            for number, line in enumerate(open(path, encoding="utf-8", errors="replace"), 1):
                match = INCLUDE.match(line)
                if not match or "/" not in match.group(1):
                    continue  # a file beside this one
                target = folder_of(match.group(1), order)
                if target is None:
                    if os.path.exists(os.path.join(ROOT, match.group(1))):
                        errors.append(f"{relative}:{number}: includes {match.group(1)}, "
                                      "whose folder is not in scripts/layers.txt")
                    continue
                if target != here and target not in allowed[here]:
                    errors.append(f"{relative}:{number}: {here} may not include {target} "
                                  f"({match.group(1)})")
    for folder in sorted(unstated):
        errors.append(f"{folder}: folder with sources is not in scripts/layers.txt")
    for error in errors:
        print(error)
    if errors:
        print(f"layers: {len(errors)} problem(s)", file=sys.stderr)
        return 1
    print("layers: every include follows scripts/layers.txt")
    return 0


if __name__ == "__main__":
    sys.exit(main())
