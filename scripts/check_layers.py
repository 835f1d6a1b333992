#!/usr/bin/python3
"""Checks the layer order of the source folders (docs/ARCHITECTURE.md, "Layers").

    scripts/check_layers.py SOURCE_DIR [OBJECT_LIST]

Each folder may include and call only itself and the folders before it in
LAYERS. Two checks:
- includes: every include line of a folder's files (its subfolders' too: a
  header's layer is the first folder of its path), `#include "..."` or
  `#include <...>`, that names a header of a layer folder names one of its own
  folder or of a lower one (`<...>` is looked up from SOURCE_DIR only, as the
  compiler does; a name no layer folder holds is a system header);
- calls: every symbol that a folder's object files leave undefined is defined
  in that folder's objects, in a lower folder's, or in none of them (a system
  library); a symbol defined only in a higher folder's objects is a call that
  points up, whatever the headers declare.
OBJECT_LIST is a file of lines "folder object-file" (written by CMake for the
object libraries fem_<folder>); without it only the includes are checked.
Prints every arrow that points up and exits 1 when there is one.
"""
import os
import re
import subprocess
import sys

# Lowest first.
LAYERS = ["platform", "core", "materials", "elements", "contact", "output", "solver", "input"]
RANK = {name: i for i, name in enumerate(LAYERS)}
SOURCE_ENDINGS = (".h", ".cu", ".cpp", ".cuh", ".inl")
INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)')

def folder_of(path, root):
    """The layer folder a path lies in, or None outside the layers."""
    parts = os.path.relpath(path, root).split(os.sep)
    return parts[0] if parts and parts[0] in RANK else None


def included_path(match, including_file, root):
    """The file an include line names, or None for a system header.

    "name": beside the including file first, then from the root; <name>: from the root, and only
    a header that is there (a system header may share a folder's name)."""
    quoted, angled = match.groups()
    if quoted is not None:
        beside = os.path.normpath(os.path.join(os.path.dirname(including_file), quoted))
        if os.path.exists(beside):
            return beside
        return os.path.normpath(os.path.join(root, quoted))
    from_root = os.path.normpath(os.path.join(root, angled))
    return from_root if os.path.isfile(from_root) else None


def upward_includes(root):
    found = []
    for layer in LAYERS:
        for base, _, files in os.walk(os.path.join(root, layer)):
            for file_name in sorted(files):
                if not file_name.endswith(SOURCE_ENDINGS):
                    continue
                path = os.path.join(base, file_name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target_path = included_path(match, path, root)
                        target = target_path and folder_of(target_path, root)
                        if target is not None and RANK[target] > RANK[layer]:
                            source_name = os.path.relpath(path, root)
                            named = match.group(0).split("include", 1)[1].strip()
                            found.append(f"{source_name}:{number}: {layer} includes {named} ({target})")
    return found


def symbols(objects):
    """(defined, undefined) symbol names of the object files; undefined maps a name to its objects."""
    defined, undefined = set(), {}
    if not objects:
        return defined, undefined
    out = subprocess.run(["nm", "-P", "-A"] + objects, capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        # "file.o: name type [value size]"
        head, _, rest = line.partition(": ")
        fields = rest.split()
        if len(fields) < 2:
            continue
        name, kind = fields[0], fields[1]
        if kind == "U":
            undefined.setdefault(name, set()).add(head)
        elif kind not in ("w", "v"):
            defined.add(name)
    return defined, undefined


def demangled(names):
    if not names:
        return {}
    out = subprocess.run(["c++filt"], input="\n".join(names), capture_output=True, text=True).stdout
    return dict(zip(names, out.splitlines()))


def upward_calls(object_list, root):
    objects = {layer: [] for layer in LAYERS}
    with open(object_list, encoding="utf-8") as listing:
        for line in listing:
            layer, _, path = line.strip().partition(" ")
            if layer in objects and path:
                objects[layer].append(path)
    defined, undefined = {}, {}
    for layer in LAYERS:
        defined[layer], undefined[layer] = symbols(objects[layer])
    found = []
    for i, layer in enumerate(LAYERS):
        below = set().union(*(defined[lower] for lower in LAYERS[: i + 1]))
        for name, users in sorted(undefined[layer].items()):
            if name in below:
                continue
            owner = next((upper for upper in LAYERS[i + 1:] if name in defined[upper]), None)
            if owner is not None:
                found.append((layer, owner, name, sorted(users)))
    names = demangled([name for _, _, name, _ in found])
    return [f"{layer} calls {names.get(name, name)}, defined in {owner} (from "
            f"{', '.join(os.path.basename(user) for user in users)})"
            for layer, owner, name, users in found]


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root = os.path.abspath(argv[1])
    includes = upward_includes(root)
    calls = upward_calls(argv[2], root) if len(argv) == 3 else []
    arrows = includes + calls
    for message in arrows:
        print(message)
    if arrows:
        print(f"{len(arrows)} arrow(s) point up; the order, lowest first: {' < '.join(LAYERS)}")
        return 1
    print(f"layers in order: {' < '.join(LAYERS)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
