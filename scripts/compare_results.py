#!/usr/bin/python3
"""Compares the result files of two runs of one deck, number by number.

    scripts/compare_results.py FOLDER_A FOLDER_B [TOLERANCE]

Both folders must hold the same result files (result*.vtk, *.plt, the node
and element histories). Every word of a file must be the same, except that
two numbers may differ by TOLERANCE (default 1e-6) times the largest
magnitude of the numbers of that file. Prints the largest difference found
and exits 1 when a file is missing on one side or a difference is beyond
the tolerance.
"""
import os
import sys

RESULT_ENDINGS = (".vtk", ".plt", ".txt")
SKIPPED_FOLDERS = ("history", "temp")


def result_files(folder):
    found = set()
    for base, folders, files in os.walk(folder):
        folders[:] = [f for f in folders if f not in SKIPPED_FOLDERS]
        for name in files:
            if name.endswith(RESULT_ENDINGS):
                found.add(os.path.relpath(os.path.join(base, name), folder))
    return found


def number(word):
    try:
        return float(word)
    except ValueError:
        return None


def compare_file(path_a, path_b):
    """The largest difference relative to the file's largest magnitude, or
    None when the files differ in a word that is not a number."""
    with open(path_a) as a, open(path_b) as b:
        words_a, words_b = a.read().split(), b.read().split()
    if len(words_a) != len(words_b):
        return None
    pairs = []
    for x, y in zip(words_a, words_b):
        u, v = number(x), number(y)
        if u is None or v is None:
            if x != y:
                return None
        else:
            pairs.append((u, v))
    scale = max((max(abs(u), abs(v)) for u, v in pairs), default=0.0) or 1.0
    return max((abs(u - v) for u, v in pairs), default=0.0) / scale


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    a, b = sys.argv[1], sys.argv[2]
    tolerance = float(sys.argv[3]) if len(sys.argv) == 4 else 1e-6
    files_a, files_b = result_files(a), result_files(b)
    problems = [f"{name}: only in {a if name in files_a else b}" for name in sorted(files_a ^ files_b)]
    worst, worst_file = 0.0, ""
    for name in sorted(files_a & files_b):
        difference = compare_file(os.path.join(a, name), os.path.join(b, name))
        if difference is None:
            problems.append(f"{name}: the files differ in their text, not only in numbers")
        elif difference > worst:
            worst, worst_file = difference, name
    if not files_a:
        problems.append(f"{a}: no result files")
    for line in problems[:10]:
        print(line)
    if len(problems) > 10:
        print(f"... and {len(problems) - 10} more")
    print(f"{len(files_a & files_b)} files compared; largest difference {worst:.3g} of a file's largest number"
          + (f" ({worst_file})" if worst_file else "") + f"; tolerance {tolerance:g}")
    return 1 if problems or worst > tolerance else 0


if __name__ == "__main__":
    sys.exit(main())
