#!/usr/bin/env python3
"""Writes the smoothed-FEM deck cases: the bar of tests/decks/wave_tetra as
".inp" decks whose solid section asks for a smoothed-FEM kind
(sfem_wave/esfem.inp, nsfem.inp, snsfem.inp; plain.inp without the option),
written as a pre-processor
exports them (a *Part with its sets and section, the material and the step
outside)."""
import os

from make_decks import BAR_ELEMENTS, BAR_LENGTH, BAR_SPEED, grid, tetrahedra

HERE = os.path.dirname(os.path.abspath(__file__))


def id_lines(ids, per_line=16):
    return "".join(", ".join(str(n) for n in ids[k:k + per_line]) + "\n" for k in range(0, len(ids), per_line))


def wave_bar_inp(kind):
    h = BAR_LENGTH / BAR_ELEMENTS
    nodes, number = grid(BAR_ELEMENTS, 1, 1, h, h, h)
    cells = [c[:4] for c in tetrahedra(BAR_ELEMENTS, 1, 1, nodes, number)]
    middle = BAR_ELEMENTS // 2
    ordered = sorted(number.items(), key=lambda e: e[1])
    left = [n for (i, j, k), n in ordered if i < middle]
    right = [n for (i, j, k), n in ordered if i > middle]
    text = "*Heading\n** a bar of tetrahedra whose halves move apart, %s\n" % (
        kind + " smoothing domains" if kind else "no smoothing")
    text += "*Part, name=BAR\n*Node\n"
    text += "".join("%7d, %13.6g, %13.6g, %13.6g\n" % (n + 1, x, y, z) for n, (x, y, z) in enumerate(nodes))
    text += "*Element, type=C3D4\n"
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
    for kind in ("ESFEM", "NSFEM", "SNSFEM", ""):
        wave_bar_inp(kind)
