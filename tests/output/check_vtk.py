#!/usr/bin/python3
"""Opens legacy VTK files with a real VTK reader (meshio) and checks them.

For every file: the reader must accept it, the point count and the cell
count it finds must equal the counts the header declares ("POINTS n",
"CELLS n size", "CELL_TYPES n"), the CELLS size must equal the ids written,
and no cell may have type 0. Exits 0 when every file passes; otherwise prints
one line per fault and exits 1 (2 when no reader is installed).
"""
import re
import sys

try:
    import meshio
except ImportError:
    print("check_vtk: python3-meshio is not installed (apt-get install python3-meshio)")
    sys.exit(2)


def declared_counts(path):
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    points = int(re.search(r"^POINTS (\d+) ", text, re.M).group(1))
    cells_match = re.search(r"^CELLS (\d+)\s+(\d+)", text, re.M)
    cells, size = int(cells_match.group(1)), int(cells_match.group(2))
    types = int(re.search(r"^CELL_TYPES (\d+)", text, re.M).group(1))
    ascii_mode = re.search(r"^ASCII$", text, re.M) is not None
    listed = None
    cell_types = []
    if ascii_mode:
        lines = text.splitlines()
        start = lines.index(cells_match.group(0)) + 1
        listed = sum(len(line.split()) for line in lines[start:start + cells])
        tstart = next(i for i, l in enumerate(lines) if l.startswith("CELL_TYPES")) + 1
        cell_types = [int(l) for l in lines[tstart:tstart + types]]
    return points, cells, size, types, listed, cell_types


def check(path):
    faults = []
    points, cells, size, types, listed, cell_types = declared_counts(path)
    if types != cells:
        faults.append(f"CELL_TYPES {types} differs from CELLS {cells}")
    if listed is not None and listed != size:
        faults.append(f"CELLS size {size} but {listed} values are listed")
    if 0 in cell_types:
        faults.append("a cell has type 0")
    try:
        mesh = meshio.read(path, file_format="vtk")
    except Exception as error:  # the reader refused the file
        faults.append(f"reader failed: {error}")
        return faults
    if len(mesh.points) != points:
        faults.append(f"reader found {len(mesh.points)} points, header declares {points}")
    found_cells = sum(len(block.data) for block in mesh.cells)
    if found_cells != cells:
        faults.append(f"reader found {found_cells} cells, header declares {cells}")
    if "Displacement" in open(path, "rb").read().decode("latin-1"):
        disp = mesh.point_data.get("Displacement")
        if disp is None or len(disp) != points:
            faults.append("displacement data missing or of the wrong length")
    return faults


def main(paths):
    if not paths:
        print("check_vtk: no files given")
        return 1
    failed = False
    for path in paths:
        for fault in check(path):
            print(f"{path}: {fault}")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
