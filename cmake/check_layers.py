#!/usr/bin/env python3
"""Fails when a source file includes a header of a target that its own target does not link.

The manifest (written by CMake at generation) names every target of the program with its
sources and the project's libraries it links; a header belongs to the target that lists it.
Usage: check_layers.py MANIFEST SOURCE_ROOT
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
NOT_A_LAYER = {"tunecrest_flags"}


def read_manifest(path, root):
    targets, owner = {}, {}
    current = None
    with open(path, encoding="utf-8") as manifest:
        for line in manifest:
            key, _, value = line.rstrip("\n").partition(" ")
            items = [v for v in value.split(";") if v]
            if key == "target":
                current = value
                targets[current] = {"sources": [], "links": []}
            elif key == "sources":
                for source in items:
                    full = os.path.normpath(os.path.join(root, source))
                    if not full.startswith(root + os.sep):
                        continue  # generated files
                    targets[current]["sources"].append(full)
                    owner.setdefault(full, current)
            elif key == "links":
                targets[current]["links"] = [l for l in items if l not in NOT_A_LAYER]
    return targets, owner


def reachable(targets, start):
    seen, todo = set(), [start]
    while todo:
        for linked in targets.get(todo.pop(), {}).get("links", []):
            if linked not in seen:
                seen.add(linked)
                todo.append(linked)
    return seen | {start}


def resolve(include, source, root):
    for base in (os.path.dirname(source), root):
        candidate = os.path.normpath(os.path.join(base, include))
        if os.path.isfile(candidate):
            return candidate
    return None


def check(targets, owner, root):
    problems = []
    for target, entry in targets.items():
        allowed = reachable(targets, target)
        for source in entry["sources"]:
            if not os.path.isfile(source):
                continue
            with open(source, encoding="utf-8") as text:
                includes = INCLUDE.findall(text.read())
            for include in includes:
                header = resolve(include, source, root)
                if header is None or not header.startswith(root + os.sep):
                    continue
                rel = os.path.relpath(source, root)
                used = owner.get(header)
                if used is None:
                    problems.append(f"{rel} includes {include}, which no target lists")
                elif used not in allowed:
                    problems.append(f"{rel} ({target}) includes {include} of {used}, "
                                    f"which {target} does not link")
    for folder, _, files in os.walk(root):
        for name in files:
            full = os.path.join(folder, name)
            if name.endswith((".h", ".cpp")) and full not in owner:
                problems.append(f"{os.path.relpath(full, root)} belongs to no target")
    return problems


def main():
    root = os.path.normpath(os.path.abspath(sys.argv[2]))
    targets, owner = read_manifest(sys.argv[1], root)
    problems = check(targets, owner, root)
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"layering: {len(owner)} files of {len(targets)} targets checked")
    return 0


if __name__ == "__main__":
    sys.exit(main())
