#!/usr/bin/python3
"""Writes ball_plate.k: a rigid steel ball (radius 25 mm, 384 shell facets)
strikes a steel plate of 40 x 40 Belytschko-Tsay shells (200 x 200 x 2 mm,
elastic-plastic, clamped at its four edges) at 20 m/s, under
*CONTACT_AUTOMATIC_SINGLE_SURFACE over both parts. Units: m, s, kg, Pa.

Change the numbers below and run this script again to make another impact.
"""
import math
import os

PLATE, CELLS, THICKNESS = 0.2, 40, 0.002
RADIUS, BALL_CELLS, SPEED = 0.025, 8, 20.0
DENSITY, YOUNG, POISSON = 7850.0, 2.1e11, 0.3
YIELD, TANGENT = 2.5e8, 1.0e9
END_TIME = 0.004


def card(*values):
    return "".join((f"{v:g}" if isinstance(v, float) else str(v)).rjust(10) for v in values) + "\n"


def element_line(*ids):
    return " ".join(str(i) for i in ids) + "\n"


def quad_sphere(n, radius, centre, first_node):
    """Nodes and quadrilaterals (node numbers) of a sphere of 6 n^2 facets: a
    cube's faces projected onto the sphere, normals outward."""
    index, nodes, quads = {}, [], []

    def node(p):
        key = tuple(round(v, 9) for v in p)
        if key not in index:
            length = math.sqrt(sum(v * v for v in p))
            nodes.append(tuple(centre[k] + radius * p[k] / length for k in range(3)))
            index[key] = first_node + len(nodes) - 1
        return index[key]

    def outward(points):
        a = [points[2][k] - points[0][k] for k in range(3)]
        b = [points[3][k] - points[1][k] for k in range(3)]
        normal = [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]
        return sum(normal[k] * sum(p[k] for p in points) for k in range(3)) > 0.0

    faces = [((1, -1, -1), (0, 1, 0), (0, 0, 1)), ((-1, -1, -1), (0, 1, 0), (0, 0, 1)),
             ((-1, 1, -1), (1, 0, 0), (0, 0, 1)), ((-1, -1, -1), (1, 0, 0), (0, 0, 1)),
             ((-1, -1, 1), (1, 0, 0), (0, 1, 0)), ((-1, -1, -1), (1, 0, 0), (0, 1, 0))]
    for origin, u, v in faces:
        for j in range(n):
            for i in range(n):
                cube = [tuple(origin[k] + 2.0 * (a * u[k] + b * v[k]) / n for k in range(3))
                        for (a, b) in ((i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1))]
                if not outward(cube):
                    cube.reverse()
                quads.append([node(p) for p in cube])
    return nodes, quads


def main():
    h = PLATE / CELLS
    plate = [(-PLATE / 2 + i * h, -PLATE / 2 + j * h, 0.0) for j in range(CELLS + 1) for i in range(CELLS + 1)]
    nid = lambda i, j: 1 + j * (CELLS + 1) + i
    shells = [[nid(i, j), nid(i + 1, j), nid(i + 1, j + 1), nid(i, j + 1)] for j in range(CELLS) for i in range(CELLS)]
    edge = [k + 1 for k, (x, y, _) in enumerate(plate)
            if abs(abs(x) - PLATE / 2) < 1e-9 or abs(abs(y) - PLATE / 2) < 1e-9]
    # The ball starts 1 mm above the plate, besides the half thicknesses.
    centre = (0.0, 0.0, RADIUS + 0.5 * (THICKNESS + 0.001) + 0.001)
    ball, facets = quad_sphere(BALL_CELLS, RADIUS, centre, len(plate) + 1)

    deck = ["*KEYWORD\n$ a rigid steel ball strikes a clamped steel plate at 20 m/s\n*NODE\n"]
    deck += [f"{k + 1} {x:.9g} {y:.9g} {z:.9g}\n" for k, (x, y, z) in enumerate(plate + ball)]
    deck.append("*ELEMENT_SHELL\n")
    deck += [element_line(e + 1, 1, *ids) for e, ids in enumerate(shells)]
    deck += [element_line(len(shells) + e + 1, 2, *ids) for e, ids in enumerate(facets)]
    deck.append("*PART\nplate\n" + card(1, 1, 1) + "*PART\nball\n" + card(2, 2, 2))
    deck.append("*SECTION_SHELL\n" + card(1, 2, 0.8333, 3) + card(THICKNESS, THICKNESS, THICKNESS, THICKNESS))
    deck.append("*SECTION_SHELL\n" + card(2, 2, 0.8333, 2) + card(0.001, 0.001, 0.001, 0.001))
    deck.append("*MAT_PIECEWISE_LINEAR_PLASTICITY\n" + card(1, DENSITY, YOUNG, POISSON, YIELD, TANGENT)
                + card(0, 0, 0, 0, 0) + card(*[0] * 8) + card(*[0] * 8))
    deck.append("*MAT_RIGID\n" + card(2, DENSITY, YOUNG, POISSON))
    deck.append("*SET_NODE_LIST\n" + card(1) + "".join(card(*edge[k:k + 8]) for k in range(0, len(edge), 8)))
    deck.append("*BOUNDARY_SPC_SET\n" + card(1, 0, 1, 1, 1, 1, 1, 1))
    ball_ids = list(range(len(plate) + 1, len(plate) + len(ball) + 1))
    deck.append("*SET_NODE_LIST\n" + card(2) + "".join(card(*ball_ids[k:k + 8]) for k in range(0, len(ball_ids), 8)))
    deck.append("*INITIAL_VELOCITY\n" + card(2) + card(0.0, 0.0, -SPEED))
    deck.append("*SET_PART_LIST\n" + card(5) + card(1, 2))
    deck.append("*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card(5, 0, 2) + card(0.0) + card(0.0))
    deck.append("*CONTROL_TERMINATION\n" + card(END_TIME) + "*END\n")
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "ball_plate.k")
    with open(path, "w") as f:
        f.write("".join(deck))


if __name__ == "__main__":
    main()
