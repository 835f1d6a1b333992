#!/usr/bin/python3
"""Writes the keyword decks of the end-to-end contact cases (run it from anywhere).

bar_on_bar            two steel bars of hexahedra, one at v striking one at
                      rest, surface-to-surface contact between their end faces
bar_on_bar_apart      the same bars moving the same way, never touching, with
bar_on_bar_apart_none the contact defined, and without it
node_on_shell         a 1 kg shell's four nodes at -1 m/s onto four free
                      shells of 1 kg in all, nodes-to-surface contact
block_off_edge        a block sliding off the free edge of a fixed plate of
                      shells under gravity
sphere_on_plate       a rigid sphere of shells striking a clamped plate of
                      Belytschko-Tsay shells, single-surface contact
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_decks import card, grid, hexahedra, node_block, node_set, initial_velocity, write  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "ball_plate"))
from make_deck import quad_sphere  # noqa: E402  (the ball of the example)

# Steel with nu = 0: c = sqrt(E / rho) = 5172 m/s.
STEEL_RHO = 7850.0
STEEL_E = 2.1e11
BAR_LENGTH = 0.2
BAR_CELLS = 40      # along the bar
BAR_SECTION = 2     # cells across each side of the square cross-section
BAR_H = 0.005
BAR_GAP = 1.0e-5
BAR_SPEED = 1.0


def solid_elements(cells, first, part):
    return "".join(f"{first + n} {part} " + " ".join(str(i) for i in ids) + "\n" for n, ids in enumerate(cells))


def two_bars(gap, speeds):
    """Nodes and hexahedra of two bars along x; bar 2 starts `gap` beyond
    bar 1. Returns the deck text up to the part cards and the end faces."""
    nodes1, number1 = grid(BAR_CELLS, BAR_SECTION, BAR_SECTION, BAR_H, BAR_H, BAR_H)
    offset = len(nodes1)
    nodes2 = [(x + BAR_LENGTH + gap, y, z) for (x, y, z) in nodes1]
    number2 = {key: n + offset for key, n in number1.items()}
    cells1 = hexahedra(BAR_CELLS, BAR_SECTION, BAR_SECTION, number1)
    cells2 = hexahedra(BAR_CELLS, BAR_SECTION, BAR_SECTION, number2)
    text = node_block(nodes1 + nodes2)
    text += "*ELEMENT_SOLID\n" + solid_elements(cells1, 1, 1) + solid_elements(cells2, len(cells1) + 1, 2)
    for part, title in ((1, "striker"), (2, "struck")):
        text += "*PART\n" + title + "\n" + card(part, 1, 1)
    text += "*SECTION_SOLID\n" + card(1, 1)
    text += "*MAT_ELASTIC\n" + card(1, STEEL_RHO, STEEL_E, 0.0)
    # End faces: bar 1 at x = L (outward +x), bar 2 at its start (outward -x).
    front, back = [], []
    for k in range(BAR_SECTION):
        for j in range(BAR_SECTION):
            i = BAR_CELLS
            front.append([number1[(i, j, k)], number1[(i, j + 1, k)], number1[(i, j + 1, k + 1)],
                          number1[(i, j, k + 1)]])
            back.append([number2[(0, j, k)], number2[(0, j, k + 1)], number2[(0, j + 1, k + 1)],
                         number2[(0, j + 1, k)]])
    text += node_set(1, list(range(1, offset + 1))) + node_set(2, list(range(offset + 1, 2 * offset + 1)))
    text += initial_velocity(1, (speeds[0], 0.0, 0.0)) + initial_velocity(2, (speeds[1], 0.0, 0.0))
    return text, front, back


def segment_set(set_id, segments):
    return "*SET_SEGMENT\n" + card(set_id) + "".join(card(*s) for s in segments)


def end_face_contact():
    # Slave: bar 2's back face (set 2); master: bar 1's front face (set 1).
    return "*CONTACT_SURFACE_TO_SURFACE\n" + card(2, 1, 0, 0) + card(0.0) + card(0.0)


def bar_on_bar():
    body, front, back = two_bars(BAR_GAP, (BAR_SPEED, 0.0))
    end_time = float(f"{1.3 * 2.0 * BAR_LENGTH / (STEEL_E / STEEL_RHO) ** 0.5 + BAR_GAP / BAR_SPEED:.3g}")
    text = ("*KEYWORD\n$ a steel bar at 1 m/s strikes an equal bar at rest\n" + body
            + segment_set(1, front) + segment_set(2, back) + end_face_contact()
            + "*CONTROL_TERMINATION\n" + card(end_time) + "*END\n")
    write("bar_on_bar", text)


def bar_on_bar_apart():
    # Both bars move at the same speed: the gap never closes.
    body, front, back = two_bars(0.01, (BAR_SPEED, BAR_SPEED))
    tail = "*CONTROL_TERMINATION\n" + card(5.0e-5) + "*END\n"
    head = "*KEYWORD\n$ two bars moving together, never touching\n" + body + segment_set(1, front) + segment_set(2, back)
    write("bar_on_bar_apart", head + end_face_contact() + tail)
    write("bar_on_bar_apart_none", head + tail)


def node_on_shell():
    # Masters: four separate 0.5 x 0.5 m shells of 0.25 kg at z = 0. Slave:
    # one 0.5 x 0.5 m shell of 1 kg whose corners lie above the masters'
    # middles, falling at 1 m/s; its four nodes are the slave node set, so
    # each is a 0.25 kg node striking a free 0.25 kg master. Elastic, no
    # gravity.
    nodes, shells = [], []
    for (x0, y0) in ((0.0, 0.0), (0.5, 0.0), (0.5, 0.5), (0.0, 0.5)):
        first = len(nodes) + 1
        nodes += [(x0, y0, 0.0), (x0 + 0.5, y0, 0.0), (x0 + 0.5, y0 + 0.5, 0.0), (x0, y0 + 0.5, 0.0)]
        shells.append([first, first + 1, first + 2, first + 3])
    slave = [len(nodes) + k for k in range(1, 5)]
    nodes += [(0.25, 0.25, 0.003), (0.75, 0.25, 0.003), (0.75, 0.75, 0.003), (0.25, 0.75, 0.003)]
    text = ("*KEYWORD\n$ a 1 kg shell at -1 m/s onto free shells of 1 kg\n" + node_block(nodes)
            + "*ELEMENT_SHELL\n" + "".join(element_line(n + 1, 1, *ids) for n, ids in enumerate(shells))
            + element_line(5, 2, *slave)
            + "*PART\nmasters\n" + card(1, 1, 1) + "*PART\nslave\n" + card(2, 2, 2)
            + "*SECTION_SHELL\n" + card(1, 2, 0.8333, 2) + card(0.001, 0.001, 0.001, 0.001)
            + "*SECTION_SHELL\n" + card(2, 2, 0.8333, 2) + card(0.001, 0.001, 0.001, 0.001)
            + "*MAT_ELASTIC\n" + card(1, 1000.0, 2.0e9, 0.3)
            + "*MAT_ELASTIC\n" + card(2, 4000.0, 2.0e9, 0.3)
            + node_set(1, slave) + initial_velocity(1, (0.0, 0.0, -1.0))
            + "*CONTACT_NODES_TO_SURFACE\n" + card(1, 1, 4, 3) + card(0.0) + card(0.0)
            + "*CONTROL_TERMINATION\n" + card(0.01) + "*END\n")
    write("node_on_shell", text)


def element_line(*ids):
    """An element line with blank-separated fields (any id width)."""
    return " ".join(str(i) for i in ids) + "\n"


def shell_grid(nx, ny, h, x0, y0, first_node, first_element, part):
    """Nodes and shell cards of an nx x ny plate of squares in the plane z = 0."""
    nodes = [(x0 + i * h, y0 + j * h, 0.0) for j in range(ny + 1) for i in range(nx + 1)]
    nid = lambda i, j: first_node + j * (nx + 1) + i
    cards = "".join(element_line(first_element + j * nx + i, part, nid(i, j), nid(i + 1, j), nid(i + 1, j + 1),
                                 nid(i, j + 1)) for j in range(ny) for i in range(nx))
    return nodes, cards


def block_off_edge():
    # Plate: 4 x 4 shells over [0, 1] x [0, 1], 10 mm thick, every node held.
    # Block: one soft 0.1 m hexahedron resting on it (bottom at half the
    # plate's thickness) 5 cm before the free edge x = 1, sliding towards it
    # at 10 m/s; its bottom nodes are the slave nodes.
    plate, shells = shell_grid(4, 4, 0.25, 0.0, 0.0, 1, 1, 1)
    x0, y0, z0, a = 0.85, 0.45, 0.005, 0.1
    block = [(x0 + dx * a, y0 + dy * a, z0 + dz * a) for dz in (0, 1) for dy in (0, 1) for dx in (0, 1)]
    b = len(plate)
    ids = [b + k for k in (1, 2, 4, 3, 5, 6, 8, 7)]
    text = ("*KEYWORD\n$ a block slides off the free edge of a fixed plate under gravity\n" + node_block(plate + block)
            + "*ELEMENT_SHELL\n" + shells + "*ELEMENT_SOLID\n" + f"{17} 2 " + " ".join(map(str, ids)) + "\n"
            + "*PART\nplate\n" + card(1, 1, 1) + "*PART\nblock\n" + card(2, 2, 2)
            + "*SECTION_SHELL\n" + card(1, 2, 0.8333, 2) + card(0.01, 0.01, 0.01, 0.01)
            + "*SECTION_SOLID\n" + card(2, 1)
            + "*MAT_ELASTIC\n" + card(1, 1000.0, 1.0e6, 0.3) + "*MAT_ELASTIC\n" + card(2, 1000.0, 1.0e6, 0.3)
            + node_set(1, list(range(1, b + 1))) + "*BOUNDARY_SPC_SET\n" + card(1, 0, 1, 1, 1, 1, 1, 1)
            + node_set(2, list(range(b + 1, b + 9))) + initial_velocity(2, (10.0, 0.0, 0.0))
            + node_set(3, list(range(b + 1, b + 5)))
            + "*LOAD_BODY_Z\n" + card(0, 9.81)
            + "*CONTACT_NODES_TO_SURFACE\n" + card(3, 1, 4, 3) + card(0.0) + card(0.0)
            + "*CONTROL_TERMINATION\n" + card(0.53) + "*END\n")
    write("block_off_edge", text)


SPHERE_R = 0.05
SPHERE_SPEED = 5.0


def sphere_on_plate():
    # Plate: 16 x 16 elastic steel shells, 0.2 x 0.2 m, 5 mm thick, edges
    # clamped; its nodes lie closer together than the sphere's (a rigid
    # master is searched by the plate's nodes). Sphere: rigid, radius 50 mm,
    # 1 mm shells, 1 mm above the plate (besides the half thicknesses),
    # falling at 5 m/s.
    plate, shells = shell_grid(16, 16, 0.0125, -0.1, -0.1, 1, 1, 1)
    edge = [k + 1 for k, (x, y, _) in enumerate(plate) if abs(abs(x) - 0.1) < 1e-9 or abs(abs(y) - 0.1) < 1e-9]
    centre = (0.0, 0.0, SPHERE_R + 0.003 + 0.001)
    sphere, facets = quad_sphere(4, SPHERE_R, centre, len(plate) + 1)
    balls = "".join(element_line(257 + e, 2, *ids) for e, ids in enumerate(facets))
    b = len(plate)
    text = ("*KEYWORD\n$ a rigid sphere strikes a clamped plate of shells\n" + node_block(plate + sphere)
            + "*ELEMENT_SHELL\n" + shells + balls
            + "*PART\nplate\n" + card(1, 1, 1) + "*PART\nsphere\n" + card(2, 2, 2)
            + "*SECTION_SHELL\n" + card(1, 2, 0.8333, 3) + card(0.005, 0.005, 0.005, 0.005)
            + "*SECTION_SHELL\n" + card(2, 2, 0.8333, 2) + card(0.001, 0.001, 0.001, 0.001)
            + "*MAT_ELASTIC\n" + card(1, STEEL_RHO, STEEL_E, 0.3)
            + "*MAT_RIGID\n" + card(2, STEEL_RHO, STEEL_E, 0.3)
            + node_set(1, edge) + "*BOUNDARY_SPC_SET\n" + card(1, 0, 1, 1, 1, 1, 1, 1)
            + node_set(2, list(range(b + 1, b + len(sphere) + 1))) + initial_velocity(2, (0.0, 0.0, -SPHERE_SPEED))
            + "*SET_PART_LIST\n" + card(5) + card(1, 2)
            + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card(5, 0, 2) + card(0.0) + card(0.0)
            + "*CONTROL_TERMINATION\n" + card(0.002) + "*END\n")
    write("sphere_on_plate", text)


if __name__ == "__main__":
    bar_on_bar()
    bar_on_bar_apart()
    node_on_shell()
    block_off_edge()
    sphere_on_plate()
