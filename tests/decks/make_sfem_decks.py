#!/usr/bin/env python3
"""Writes the smoothed-FEM deck cases: the bar of tests/decks/wave_tetra as
".inp" decks whose solid section asks for a smoothed-FEM kind
(sfem_wave/esfem.inp, nsfem.inp, snsfem.inp; plain.inp without the option)
and the same bar of pyramids, six per cube around its centre, cell-based
(sfem_wave/csfem.inp), written as a pre-processor
exports them (a *Part with its sets and section, the material and the step
outside)."""
import os

from make_decks import BAR_ELEMENTS, BAR_LENGTH, BAR_SPEED, grid, tetrahedra

HERE = os.path.dirname(os.path.abspath(__file__))


def id_lines(ids, per_line=16):
    return "".join(", ".join(str(n) for n in ids[k:k + per_line]) + "\n" for k in range(0, len(ids), per_line))


# Each cube cut into six pyramids, one per face, apex at the cube's centre
# (corner 8): base corners first, their order turning about the normal that
# points to the apex.
PYRAMIDS = ((0, 1, 2, 3), (4, 7, 6, 5), (0, 4, 5, 1), (1, 5, 6, 2), (2, 6, 7, 3), (3, 7, 4, 0))


def bar_mesh(kind):
    """Nodes and C3D4 (or, for CSFEM, C3P5) elements of the bar."""
    h = BAR_LENGTH / BAR_ELEMENTS
    nodes, number = grid(BAR_ELEMENTS, 1, 1, h, h, h)
    if kind != "CSFEM":
        return nodes, number, "C3D4", [c[:4] for c in tetrahedra(BAR_ELEMENTS, 1, 1, nodes, number)]
    cells = []
    for i in range(BAR_ELEMENTS):
        corners = [number[(i + a, b, c)] for (a, b, c) in
                   ((0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1))]
        nodes.append(((i + 0.5) * h, 0.5 * h, 0.5 * h))
        corners.append(len(nodes))
        cells += [[corners[k] for k in base] + [corners[8]] for base in PYRAMIDS]
    return nodes, number, "C3P5", cells


def wave_bar_inp(kind):
    nodes, number, element_type, cells = bar_mesh(kind)
    middle = BAR_ELEMENTS // 2
    ordered = sorted(number.items(), key=lambda e: e[1])
    left = [n for (i, j, k), n in ordered if i < middle]
    right = [n for (i, j, k), n in ordered if i > middle]
    # Cube centres move with their half of the bar.
    centres = range(len(number) + 1, len(nodes) + 1)
    left += [n for n in centres if nodes[n - 1][0] < 0.5 * BAR_LENGTH]
    right += [n for n in centres if nodes[n - 1][0] > 0.5 * BAR_LENGTH]
    text = "*Heading\n** a bar of %s whose halves move apart, %s\n" % (
        "pyramids" if element_type == "C3P5" else "tetrahedra", kind + " smoothing domains" if kind else "no smoothing")
    text += "*Part, name=BAR\n*Node\n"
    text += "".join("%7d, %13.6g, %13.6g, %13.6g\n" % (n + 1, x, y, z) for n, (x, y, z) in enumerate(nodes))
    text += "*Element, type=%s\n" % element_type
    text += "".join("%d, %s\n" % (e + 1, ", ".join(str(n) for n in c)) for e, c in enumerate(cells))
    text += "*Nset, nset=LEFT\n" + id_lines(left) + "*Nset, nset=RIGHT\n" + id_lines(right)
    text += "*Elset, elset=BAR-ALL, generate\n1, %d, 1\n" % len(cells)
    text += "*Solid Section, elset=BAR-ALL, material=RUBBERLIKE%s\n,\n*End Part\n" % (
        ", smoothFEM=" + kind if kind else "")
    text += "*Material, name=RUBBERLIKE\n*Density\n1.,\n*Elastic\n10000., 0.\n"
    text += "*Initial Conditions, type=VELOCITY\nLEFT, 1, %g\nRIGHT, 1, %g\n" % (-BAR_SPEED, BAR_SPEED)
    text += "*Step, name=Waves\n*Dynamic, Explicit\n, 0.008\n*End Step\n"
    with open(os.path.join(HERE, "sfem_wave", (kind.lower() or "plain") + ".inp"), "w") as f:
        f.write(text)


if __name__ == "__main__":
    for kind in ("ESFEM", "NSFEM", "SNSFEM", "CSFEM", ""):
        wave_bar_inp(kind)
