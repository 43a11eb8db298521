#!/usr/bin/env python3
"""Checks the layering of the sources:

- a source file includes only headers of its own target and of the targets that it links;
- every source file belongs to the target of its folder (each folder is one target's);
- only the window program's folder ("gui") includes widget headers (those of QtWidgets).

The manifest (written by CMake at generation) names every target of the program with its
folder, its sources and the project's libraries it links; a header belongs to the target that
lists it.
Usage: check_layers.py MANIFEST SOURCE_ROOT [QT_INCLUDE_DIR...]
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s+<([^>]+)>', re.MULTILINE)
NOT_A_LAYER = {"tunecrest_flags"}
WIDGET_FOLDER = "gui"


def read_manifest(path, root):
    targets, owner = {}, {}
    current = None
    with open(path, encoding="utf-8") as manifest:
        for line in manifest:
            key, _, value = line.rstrip("\n").partition(" ")
            items = [v for v in value.split(";") if v]
            if key == "target":
                current = value
                targets[current] = {"sources": [], "links": [], "folder": ""}
            elif key == "folder":
                targets[current]["folder"] = os.path.normpath(value)
            elif key == "sources":
                for source in items:
                    full = os.path.normpath(os.path.join(root, targets[current]["folder"], source))
                    if os.path.isabs(source):
                        full = os.path.normpath(source)
                    if not full.startswith(root + os.sep):
                        continue  # generated files
                    targets[current]["sources"].append(full)
                    owner.setdefault(full, current)
            elif key == "links":
                targets[current]["links"] = [l for l in items if l not in NOT_A_LAYER]
    return targets, owner


def widget_headers(include_dirs):
    """The names a widget header is included by: <QWidget>, <QtWidgets/QWidget>, <qwidget.h>."""
    names = set()
    for folder in include_dirs:
        if os.path.basename(os.path.normpath(folder)) != "QtWidgets" or not os.path.isdir(folder):
            continue
        for name in os.listdir(folder):
            names.add(name)
            names.add("QtWidgets/" + name)
        names.add("QtWidgets")
    return names


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


def check_source(source, target, entry, allowed, owner, widgets, root):
    problems = []
    rel = os.path.relpath(source, root)
    folder = os.path.dirname(rel)
    if folder != entry["folder"]:
        problems.append(f"{rel} belongs to {target}, whose folder is {entry['folder']}")
    with open(source, encoding="utf-8") as text:
        content = text.read()
    for include in INCLUDE.findall(content):
        header = resolve(include, source, root)
        if header is None or not header.startswith(root + os.sep):
            continue
        used = owner.get(header)
        if used is None:
            problems.append(f"{rel} includes {include}, which no target lists")
        elif used not in allowed:
            problems.append(f"{rel} ({target}) includes {include} of {used}, "
                            f"which {target} does not link")
    if entry["folder"].split(os.sep)[0] != WIDGET_FOLDER:
        for include in SYSTEM_INCLUDE.findall(content):
            if include in widgets:
                problems.append(f"{rel} ({target}) includes the widget header {include}; "
                                f"only {WIDGET_FOLDER}/ has widgets")
    return problems


def check(targets, owner, root, widgets):
    problems = []
    for target, entry in targets.items():
        allowed = reachable(targets, target)
        for source in entry["sources"]:
            if os.path.isfile(source):
                problems += check_source(source, target, entry, allowed, owner, widgets, root)
    for folder, _, files in os.walk(root):
        for name in files:
            full = os.path.join(folder, name)
            if name.endswith((".h", ".cpp")) and full not in owner:
                problems.append(f"{os.path.relpath(full, root)} belongs to no target")
    return problems


def main():
    root = os.path.normpath(os.path.abspath(sys.argv[2]))
    targets, owner = read_manifest(sys.argv[1], root)
    widgets = widget_headers(sys.argv[3:])
    if not widgets:
        print("no QtWidgets include folder given: the widget headers cannot be told")
        return 1
    problems = check(targets, owner, root, widgets)
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"layering: {len(owner)} files of {len(targets)} targets checked")
    return 0


if __name__ == "__main__":
    sys.exit(main())
