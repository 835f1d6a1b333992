#!/usr/bin/python3
"""Writes the keyword decks of the end-to-end contact cases (run it from anywhere).

bar_on_bar            two steel bars of hexahedra, one at v striking one at
                      rest, surface-to-surface contact between their end faces
bar_on_bar_apart      the same bars moving the same way, never touching, with
bar_on_bar_apart_none the contact defined, and without it
node_on_shell         a 1 kg shell's four nodes at -1 m/s onto four free
                      shells of 1 kg in all, nodes-to-surface contact
shells_at_rest        two plates of shells at rest overlapping within their
                      half thicknesses, single-surface contact of the model
block_off_edge        a block sliding off the free edge of a fixed plate of
                      shells under gravity
sphere_on_plate       a rigid sphere of shells striking a clamped plate of
                      Belytschko-Tsay shells, single-surface contact
ball_on_plate         a rigid ball of shells, each node given its velocity
                      on its own line, striking a clamped elastic-plastic
                      plate, single-surface contact of the whole model
blocks_<form>         two steel blocks of 2 x 2 x 2 hexahedra, the upper one
                      falling onto the lower one, held at its base, with each
                      form of contact definition a deck can give
"""
import os
import sys
import textwrap

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


def shells_at_rest():
    # Two plates of 2 x 2 steel shells (10 mm, 2 mm thick) at rest, the upper
    # one's mid-plane 1 mm above the held lower one's, within their half
    # thicknesses; no load.
    lower, lower_cards = shell_grid(2, 2, 0.01, 0.0, 0.0, 1, 1, 1)
    upper, upper_cards = shell_grid(2, 2, 0.01, 0.0, 0.0, 10, 5, 2)
    text = ("*KEYWORD\n$ two shell plates at rest, overlapping within their half thicknesses\n"
            + node_block(lower + [(x, y, 0.001) for (x, y, z) in upper]) + "*ELEMENT_SHELL\n" + lower_cards
            + upper_cards + "*PART\nlower\n" + card(1, 1, 1) + "*PART\nupper\n" + card(2, 1, 1)
            + "*SECTION_SHELL\n" + card(1, 2, 0.8333, 3) + card(0.002, 0.002, 0.002, 0.002)
            + "*MAT_ELASTIC\n" + card(1, 7850.0, 2.1e11, 0.3) + node_set(1, list(range(1, 10)))
            + "*BOUNDARY_SPC_SET\n" + card(1, 0, 1, 1, 1, 1, 1, 1)
            + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card(0, 0, 5) + card(0.0) + card(0.0)
            + "*CONTROL_TERMINATION\n" + card(2e-4) + "*END\n")
    write("shells_at_rest", text)


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
    # clamped; its nodes lie closer together than the sphere's. Sphere:
    # rigid, radius 50 mm, 1 mm shells, 1 mm above the plate (besides the half
    # thicknesses), falling at 5 m/s.
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


BALL_SPEED = 10.0
BALL_PLATE_T = 0.002
BALL_END = 0.003


def ball_on_plate():
    # Plate: 16 x 16 steel shells, 0.2 x 0.2 m, 2 mm thick, elastic-plastic
    # (yield 250 MPa, tangent modulus 1 GPa), edges clamped; its mesh is
    # symmetric in x, y and x = y. Ball: rigid, radius 50 mm, 96 shells of
    # 1 mm, its lowest point a node of four facets over the plate's middle
    # node, 1 mm above the plate (besides the half thicknesses), each node
    # falling at 10 m/s by its own *INITIAL_VELOCITY_NODE line. Contact: one
    # single-surface contact of the whole model (SSID 0, SSTYP 5).
    plate, shells = shell_grid(16, 16, 0.0125, -0.1, -0.1, 1, 1, 1)
    edge = [k + 1 for k, (x, y, _) in enumerate(plate) if abs(abs(x) - 0.1) < 1e-9 or abs(abs(y) - 0.1) < 1e-9]
    centre = (0.0, 0.0, SPHERE_R + 0.5 * (BALL_PLATE_T + 0.001) + 0.001)
    ball, facets = quad_sphere(4, SPHERE_R, centre, len(plate) + 1)
    balls = "".join(element_line(257 + e, 2, *ids) for e, ids in enumerate(facets))
    b = len(plate)
    velocities = "".join(card(b + k + 1, 0.0, 0.0, -BALL_SPEED) for k in range(len(ball)))
    text = ("*KEYWORD\n$ a rigid ball strikes a clamped elastic-plastic plate of shells\n"
            + node_block(plate + ball) + "*ELEMENT_SHELL\n" + shells + balls
            + "*PART\nplate\n" + card(1, 1, 1) + "*PART\nball\n" + card(2, 2, 2)
            + "*SECTION_SHELL\n" + card(1, 2, 0.8333, 3) + card(*[BALL_PLATE_T] * 4)
            + "*SECTION_SHELL\n" + card(2, 2, 0.8333, 2) + card(0.001, 0.001, 0.001, 0.001)
            + "*MAT_PIECEWISE_LINEAR_PLASTICITY\n" + card(1, STEEL_RHO, STEEL_E, 0.3, 2.5e8, 1.0e9)
            + card(0, 0, 0, 0, 0) + card(*[0] * 8) + card(*[0] * 8)
            + "*MAT_RIGID\n" + card(2, STEEL_RHO, STEEL_E, 0.3)
            + node_set(1, edge) + "*BOUNDARY_SPC_SET\n" + card(1, 0, 1, 1, 1, 1, 1, 1)
            + "*INITIAL_VELOCITY_NODE\n$      nid        vx        vy        vz\n" + velocities
            + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n$     ssid      msid     sstyp     mstyp\n" + card(0, 0, 5)
            + card(0.0) + card(0.0)
            + "*CONTROL_TERMINATION\n" + card(BALL_END) + "*END\n")
    write("ball_on_plate", text)


BLOCK_H = 0.01        # element edge, m
BLOCK_GAP = 1.0e-4    # the upper block starts 0.1 mm above the lower one
BLOCK_SPEED = 10.0    # falling speed of the upper block, m/s
BLOCK_END = 8.0e-5


def rotated_cells(cells):
    """The same hexahedra with their local axes turned (x, y, z) -> (y, z, x):
    the element's first face is then a side face of the block."""
    order = [0, 3, 7, 4, 1, 2, 6, 5]
    return [[c[k] for k in order] for c in cells]


def exterior_faces(cells):
    """Exterior faces of hexahedra, outward, each starting at its second node."""
    rows = ((0, 3, 2, 1), (4, 5, 6, 7), (0, 1, 5, 4), (1, 2, 6, 5), (2, 3, 7, 6), (3, 0, 4, 7))
    count, faces = {}, []
    for c in cells:
        for r in rows:
            f = [c[k] for k in r]
            key = frozenset(f)
            count[key] = count.get(key, 0) + 1
            faces.append(f)
    return [f[1:] + f[:1] for f in faces if count[frozenset(f)] == 1]


def wedge_cells(cells):
    """Each hexahedron as two wedges written in its eight slots, collapsed
    along two edges (slots 3 and 4, 7 and 8 name one node)."""
    return [w for c in cells for w in ([c[0], c[1], c[2], c[2], c[4], c[5], c[6], c[6]],
                                       [c[0], c[2], c[3], c[3], c[4], c[6], c[7], c[7]])]


def two_blocks(offset, wedges=False):
    """Lower block nodes 1-27, upper block nodes 28-54, both numbered
    1 + i + 3 j + 9 k over the grid (i, j, k); the upper block is shifted by
    offset = (dx, dy) and starts BLOCK_GAP above the lower one. Parts 1
    (lower) and 2 (upper); node sets 1 (the lower block's base) and 2 (every
    node of the upper block); part sets 3 and 4 (parts 1 and 2), 5 (both).
    Returns the deck text and the exterior faces of both blocks."""
    lower, number = grid(2, 2, 2, BLOCK_H, BLOCK_H, BLOCK_H)
    upper = [(x + offset[0], y + offset[1], z + 2 * BLOCK_H + BLOCK_GAP) for (x, y, z) in lower]
    cells_l = hexahedra(2, 2, 2, number)
    cells_u = rotated_cells([[n + len(lower) for n in c] for c in cells_l])
    if wedges:
        cells_u = wedge_cells([[n + len(lower) for n in c] for c in cells_l])
        cells_l = wedge_cells(cells_l)
    base = [n for (i, j, k), n in number.items() if k == 0]
    text = (node_block(lower + upper) + "*ELEMENT_SOLID\n" + solid_elements(cells_l, 1, 1)
            + solid_elements(cells_u, len(cells_l) + 1, 2)
            + "*PART\nlower\n" + card(1, 1, 1) + "*PART\nupper\n" + card(2, 1, 1)
            + "*SECTION_SOLID\n" + card(1, 1)
            + "*MAT_ELASTIC\n" + card(1, STEEL_RHO, STEEL_E, 0.3)
            + node_set(1, sorted(base)) + "*BOUNDARY_SPC_SET\n" + card(1, 0, 1, 1, 1, 1, 1, 1)
            + node_set(2, list(range(len(lower) + 1, 2 * len(lower) + 1)))
            + "*INITIAL_VELOCITY\n" + card(2) + card(0.0, 0.0, -BLOCK_SPEED)
            + "*SET_PART_LIST\n" + card(3) + card(1) + "*SET_PART_LIST\n" + card(4) + card(2)
            + "*SET_PART_LIST\n" + card(5) + card(1, 2))
    return text, exterior_faces(cells_l) + exterior_faces(cells_u)


BLOCKS_README = """# {case}

Two steel blocks of 2 x 2 x 2 hexahedra (element 10 mm; E = 210 GPa,
rho = 7850 kg/m^3, nu = 0.3): the lower one (nodes 1-27, part 1) held at its
base, the upper one (nodes 28-54, part 2, {upper}) 0.1 mm above it, falling at 10 m/s and
offset by half an element along x and a quarter along y, so that nodes of
each block lie over the inside of the other's faces. Contact: {title}.

What must come out (`tests/contact/test_contact_forms.cpp`): {expect}, and
the upper block leaves upwards with no more momentum than it came with.
Written by `make_contact_decks.py`.
"""


def blocks(case, title, contact, segments=False, both_ways=True, wedges=False):
    """The upper block is offset by half an element along x and a quarter
    along y, so that nodes of each block lie over the inside of the other's
    faces."""
    body, faces = two_blocks((0.5 * BLOCK_H, 0.25 * BLOCK_H), wedges)
    text = "*KEYWORD\n$ " + title + "\n" + body
    if segments:
        text += segment_set(7, faces)
    text += contact + "*CONTROL_TERMINATION\n" + card(BLOCK_END) + "*END\n"
    write(case, text)
    expect = ("no node of either block passes the other's face by more than 0.5 % of an element" if both_ways else
              "no node of the upper (slave) block passes the lower block's top face by more than 0.5 % of an element")
    upper = ("each of its hexahedra written as two wedges" if wedges else
             "its elements written with their first face on a side of the block")
    text = BLOCKS_README.format(case=case, title=title, expect=expect, upper=upper)
    paragraphs = [textwrap.fill(" ".join(p.split("\n")), 78) if not p.startswith("#") else p
                  for p in text.strip().split("\n\n")]
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), case, "README.md"), "w") as f:
        f.write("\n\n".join(paragraphs) + "\n")


def blocks_decks():
    single = "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n"
    tail = card(0.0) + card(0.0)
    blocks("blocks_whole_model", "single-surface contact of the whole model (SSTYP 5)", single + card(0, 0, 5) + tail)
    blocks("blocks_wedges", "single-surface contact of the whole model (SSTYP 5); each hexahedron of both blocks "
           "is written as two wedges, collapsed along two edges in its eight slots", single + card(0, 0, 5) + tail,
           wedges=True)
    blocks("blocks_single_surface_parts", "single-surface contact over the part set of both parts",
           single + card(5, 0, 2) + tail)
    blocks("blocks_segment_set", "single-surface contact over a segment set of every exterior hexahedron face, "
           "each written from its second node", single + card(7, 0, 0) + tail, segments=True)
    blocks("blocks_general", "general contact over the part set of both parts",
           "*CONTACT_GENERAL\n" + card(5, 0, 2) + tail)
    blocks("blocks_surface_to_surface", "surface-to-surface contact, slave the upper part, master the lower one",
           "*CONTACT_SURFACE_TO_SURFACE\n" + card(2, 1, 3, 3) + tail, both_ways=False)
    blocks("blocks_part_sets", "surface-to-surface contact, slave the part set of the upper part, master that of "
           "the lower one", "*CONTACT_SURFACE_TO_SURFACE\n" + card(4, 3, 2, 2) + tail, both_ways=False)
    blocks("blocks_nodes_to_surface", "nodes to surface, slave a node set of every node, master the part set of "
           "both parts", node_set(6, list(range(1, 55))) + "*CONTACT_NODES_TO_SURFACE\n" + card(6, 5, 4, 2) + tail)


if __name__ == "__main__":
    bar_on_bar()
    bar_on_bar_apart()
    node_on_shell()
    shells_at_rest()
    block_off_edge()
    sphere_on_plate()
    ball_on_plate()
    blocks_decks()
