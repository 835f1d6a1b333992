#!/usr/bin/python3
"""Writes the keyword decks of the end-to-end contact cases (run it from anywhere).

bar_on_bar            two steel bars of hexahedra, one at v striking one at
                      rest, surface-to-surface contact between their end faces
bar_on_bar_apart      the same bars moving the same way, never touching, with
bar_on_bar_apart_none the contact defined, and without it
node_on_shell         a 1 kg shell's four nodes at -1 m/s onto four free
                      shells of 1 kg in all, nodes-to-surface contact
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_decks import card, grid, hexahedra, node_block, node_set, initial_velocity, write  # noqa: E402

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
            + "*ELEMENT_SHELL\n" + "".join(card(n + 1, 1, *ids) for n, ids in enumerate(shells))
            + card(5, 2, *slave)
            + "*PART\nmasters\n" + card(1, 1, 1) + "*PART\nslave\n" + card(2, 2, 2)
            + "*SECTION_SHELL\n" + card(1, 2, 0.8333, 2) + card(0.001, 0.001, 0.001, 0.001)
            + "*SECTION_SHELL\n" + card(2, 2, 0.8333, 2) + card(0.001, 0.001, 0.001, 0.001)
            + "*MAT_ELASTIC\n" + card(1, 1000.0, 2.0e9, 0.3)
            + "*MAT_ELASTIC\n" + card(2, 4000.0, 2.0e9, 0.3)
            + node_set(1, slave) + initial_velocity(1, (0.0, 0.0, -1.0))
            + "*CONTACT_NODES_TO_SURFACE\n" + card(1, 1, 4, 3) + card(0.0) + card(0.0)
            + "*CONTROL_TERMINATION\n" + card(0.01) + "*END\n")
    write("node_on_shell", text)


if __name__ == "__main__":
    bar_on_bar()
    bar_on_bar_apart()
    node_on_shell()
