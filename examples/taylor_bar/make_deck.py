#!/usr/bin/python3
"""Writes taylor_bar.k: the Taylor impact test. A copper cylinder (radius
3.2 mm, length 32.4 mm) strikes a fixed rigid wall at 227 m/s and is followed
for 80 microseconds. Units: mm, ms, kg (stress in GPa, speed in mm/ms = m/s).

Mesh: the circular cross-section is a butterfly (O-grid) of hexahedra, a
central square of CORE x CORE cells and four blocks of CORE x RING cells
between the square and the circle; AXIAL layers along the axis z. The
impact end lies on the wall plane z = 0, whose normal is +z.
Change the numbers below and run this script again to make another mesh.
"""
import math
import os

RADIUS, LENGTH = 3.2, 32.4
CORE, RING, AXIAL = 4, 3, 40
SQUARE = 0.55            # half-width of the central square / radius
SPEED = 227.0            # mm/ms = m/s, towards the wall (-z)
DENSITY = 8.93e-6        # kg/mm^3
YOUNG = 117.0            # GPa
POISSON = 0.35
YIELD = 0.4              # GPa
TANGENT = 0.1            # GPa
END_TIME = 0.08          # ms


def card(*values):
    return "".join((f"{v:.7g}" if isinstance(v, float) else str(v)).rjust(10) for v in values) + "\n"


def square_side(s, t):
    """Point t in [0, 1] along side s of the central square, counter-clockwise."""
    a = SQUARE * RADIUS
    corners = [(-a, -a), (a, -a), (a, a), (-a, a)]
    (x0, y0), (x1, y1) = corners[s], corners[(s + 1) % 4]
    return x0 + t * (x1 - x0), y0 + t * (y1 - y0)


def cross_section():
    """Points and quadrilaterals (counter-clockwise) of the cross-section."""
    points, index, quads = [], {}, []

    def point(x, y):
        key = (round(x, 9), round(y, 9))
        if key not in index:
            index[key] = len(points)
            points.append((x, y))
        return index[key]

    a = SQUARE * RADIUS
    core = [[point(-a + 2 * a * i / CORE, -a + 2 * a * j / CORE) for j in range(CORE + 1)] for i in range(CORE + 1)]
    for i in range(CORE):
        for j in range(CORE):
            quads.append([core[i][j], core[i + 1][j], core[i + 1][j + 1], core[i][j + 1]])
    for s in range(4):
        ring = []
        for t in range(CORE + 1):
            x, y = square_side(s, t / CORE)
            angle = math.atan2(y, x)
            cx, cy = RADIUS * math.cos(angle), RADIUS * math.sin(angle)
            ring.append([point(x + (cx - x) * r / RING, y + (cy - y) * r / RING) for r in range(RING + 1)])
        for t in range(CORE):
            for r in range(RING):
                quads.append([ring[t][r], ring[t + 1][r], ring[t + 1][r + 1], ring[t][r + 1]])
    for q in quads:
        area = sum(points[q[k]][0] * points[q[(k + 1) % 4]][1] - points[q[(k + 1) % 4]][0] * points[q[k]][1]
                   for k in range(4))
        if area < 0:
            q.reverse()
    return points, quads


def deck_text():
    """The deck of the mesh the numbers above give, and its node and element counts."""
    points, quads = cross_section()
    n = len(points)
    lines = ["*KEYWORD\n$ Taylor impact: a copper cylinder strikes a rigid wall at 227 m/s\n", "*NODE\n"]
    for k in range(AXIAL + 1):
        z = LENGTH * k / AXIAL
        for p, (x, y) in enumerate(points):
            lines.append(f"{k * n + p + 1:8d}{x:16.9f}{y:16.9f}{z:16.9f}\n")
    lines.append("*ELEMENT_SOLID\n")
    element = 0
    for k in range(AXIAL):
        for q in quads:
            element += 1
            ids = [k * n + i + 1 for i in q] + [(k + 1) * n + i + 1 for i in q]
            lines.append("".join(str(v).rjust(8) for v in [element, 1] + ids) + "\n")
    lines += [
        "*PART\ncopper cylinder\n", card(1, 1, 1),
        "*SECTION_SOLID\n", card(1, 1),
        "*MAT_PLASTIC_KINEMATIC\n", card(1, DENSITY, YOUNG, POISSON, YIELD, TANGENT, 0.0), card(0.0, 0.0, 0.0),
        "*SET_NODE_LIST\n", card(1),
    ]
    ids = list(range(1, n * (AXIAL + 1) + 1))
    lines += [card(*ids[start:start + 8]) for start in range(0, len(ids), 8)]
    lines += [
        "*INITIAL_VELOCITY\n", card(1), card(0.0, 0.0, -SPEED),
        "*RIGIDWALL_PLANAR\n", card(0), card(0.0, 0.0, 0.0, 0.0, 0.0, 1.0),
        "*CONTROL_TERMINATION\n", card(END_TIME),
        "*END\n",
    ]
    return "".join(lines), n * (AXIAL + 1), element


def main():
    text, nodes, elements = deck_text()
    folder = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(folder, "taylor_bar.k"), "w") as f:
        f.write(text)
    print(f"{nodes} nodes, {elements} hexahedra")


if __name__ == "__main__":
    main()
