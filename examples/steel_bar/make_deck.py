#!/usr/bin/python3
"""Writes steel_bar.k: a steel bar of 20 x 2 x 2 hexahedra (100 x 10 x 10 mm)
whose two halves are thrown apart at 10 m/s. Units: mm, ms, kg (stress in GPa).

The tension wave rho c v = 0.41 GPa exceeds the yield stress of 0.25 GPa, so
the middle of the bar yields while elastic waves run to the free ends and back.
Change the numbers below and run this script again to make another bar.
"""
import itertools
import os

LENGTH, WIDTH = 100.0, 10.0
NX, NY, NZ = 20, 2, 2
SPEED = 10.0             # mm/ms = m/s
DENSITY = 7.85e-6        # kg/mm^3
YOUNG = 210.0            # GPa
POISSON = 0.3
YIELD = 0.25             # GPa
TANGENT = 1.0            # GPa
END_TIME = 0.05          # ms


def card(*values):
    return "".join((f"{v:g}" if isinstance(v, float) else str(v)).rjust(10) for v in values) + "\n"


def main():
    hx, hy, hz = LENGTH / NX, WIDTH / NY, WIDTH / NZ
    number, nodes = {}, []
    for k, j, i in itertools.product(range(NZ + 1), range(NY + 1), range(NX + 1)):
        number[(i, j, k)] = len(nodes) + 1
        nodes.append((i * hx, j * hy, k * hz))
    text = ["*KEYWORD\n",
            "$ steel bar, 20 x 2 x 2 hexahedra, halves thrown apart at 10 m/s (mm, ms, kg, GPa)\n",
            "*NODE\n"]
    text += [f"{n} {x:g} {y:g} {z:g}\n" for n, (x, y, z) in enumerate(nodes, start=1)]
    text.append("*ELEMENT_SOLID\n")
    for e, (k, j, i) in enumerate(itertools.product(range(NZ), range(NY), range(NX)), start=1):
        corners = [(i, j, k), (i + 1, j, k), (i + 1, j + 1, k), (i, j + 1, k),
                   (i, j, k + 1), (i + 1, j, k + 1), (i + 1, j + 1, k + 1), (i, j + 1, k + 1)]
        text.append(f"{e} 1 " + " ".join(str(number[c]) for c in corners) + "\n")
    text += ["*PART\n", "steel bar\n", card(1, 1, 1),
             "*SECTION_SOLID\n", card(1, 1),
             "*MAT_PLASTIC_KINEMATIC\n", card(1, DENSITY, YOUNG, POISSON, YIELD, TANGENT, 0.0), card(0.0),
             "*CONTROL_TERMINATION\n", card(END_TIME)]
    for set_id, side in ((1, lambda i: i < NX // 2), (2, lambda i: i > NX // 2)):
        members = [n for (i, j, k), n in sorted(number.items(), key=lambda e: e[1]) if side(i)]
        text += ["*SET_NODE_LIST\n", card(set_id)]
        text += [card(*members[s:s + 8]) for s in range(0, len(members), 8)]
    text += ["*INITIAL_VELOCITY\n", card(1), card(-SPEED, 0.0, 0.0),
             "*INITIAL_VELOCITY\n", card(2), card(SPEED, 0.0, 0.0), "*END\n"]
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "steel_bar.k"), "w") as f:
        f.writelines(text)


if __name__ == "__main__":
    main()
