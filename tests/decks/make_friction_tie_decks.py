#!/usr/bin/python3
"""Writes the keyword decks of the friction and tie cases (run it from anywhere).

slide_friction      a 1 kg block of one hexahedron at 1 m/s on a fixed plate of
                    shells under g = 10, surface-to-surface contact, mu = 0.5
slide_frictionless  the same with mu = 0
coulomb_push_4      the block at rest, mu = 0.3, pushed along x by 4 N in all
coulomb_push_2      the same pushed by 2 N, gravity and push brought on together
                    over 20 ms (a step would set the one-element block ringing
                    on the plate, undamped, between 5 and 15 N, and it would
                    slip at the troughs, below 2 N / mu)
static_dynamic      mu_s = 0.5, mu_d = 0.2, decay 5 s/m, pushed by 4 N, brought
                    on as coulomb_push_2
coulomb_swapped_4   coulomb_push_4 with the plate written as the slave side
coulomb_rigid_4     the block pushed by 4 N on a rigid plate, nodes-to-surface,
                    mu = 0.3 (the block's bottom nodes lie on no surface)
tie_bar_wave        two steel bars of hexahedra, 2 x 2 against 3 x 3 across,
                    tied on their common face; the far end of the coarse bar
                    driven at 1 m/s sends a bar wave across the tie
tie_bar_inclined    the same turned by 30 degrees about z, no tolerance given
tie_shell_edge      a shell plate standing on a block, its lower edge tied
                    to the block's top face; the block is driven along x
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_decks import card, node_block, node_set, initial_velocity, write  # noqa: E402
from make_contact_decks import shell_grid  # noqa: E402

G = 10.0
BLOCK = 0.1           # edge of the cubic block
BLOCK_RHO = 1000.0    # 1 kg
BLOCK_E = 1.0e9


# The hourglass control of a deck whose one-point hexahedra must keep a
# static hourglass mode, or match an .inp twin: the stiffness form.
STIFF_HOURGLASS = "*CONTROL_HOURGLASS\n" + card(4, 0.1)


def block_on_plate(title, mu_s, mu_d=0.0, decay=0.0, v0=0.0, push=0.0, end=0.2, rigid=False, swapped=False,
                   ramp=0.0):
    plate, shells = shell_grid(4, 4, 0.25, 0.0, 0.0, 1, 1, 1)
    # A rigid plate has no contact thickness: the block starts just above its plane.
    x0, y0, z0, a = 0.2, 0.45, 1.0e-4 if rigid else 0.005, BLOCK
    block = [(x0 + dx * a, y0 + dy * a, z0 + dz * a) for dz in (0, 1) for dy in (0, 1) for dx in (0, 1)]
    b = len(plate)
    ids = [b + k for k in (1, 2, 4, 3, 5, 6, 8, 7)]
    plate_mat = ("*MAT_RIGID\n" + card(1, 7850.0, 2.1e11, 0.3)) if rigid else ("*MAT_ELASTIC\n" + card(1, 7850.0, 2.1e11, 0.3))
    text = ("*KEYWORD\n$ " + title + "\n" + node_block(plate + block)
            + "*ELEMENT_SHELL\n" + shells + "*ELEMENT_SOLID\n" + f"17 2 " + " ".join(map(str, ids)) + "\n"
            + "*PART\nplate\n" + card(1, 1, 1) + "*PART\nblock\n" + card(2, 2, 2)
            + "*SECTION_SHELL\n" + card(1, 2, 0.8333, 2) + card(0.01, 0.01, 0.01, 0.01)
            + "*SECTION_SOLID\n" + card(2, 1)
            + plate_mat + "*MAT_ELASTIC\n" + card(2, BLOCK_RHO, BLOCK_E, 0.0)
            + node_set(1, list(range(1, b + 1))) + node_set(2, list(range(b + 1, b + 9)))
            + node_set(3, list(range(b + 1, b + 5))))
    if rigid:
        text += "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n" + "".join(card(1, dof, 0, 9, 0.0) for dof in (1, 2, 3))
        text += "*DEFINE_CURVE\n" + card(9) + card(0.0, 0.0) + card(10.0, 0.0)
    else:
        text += "*BOUNDARY_SPC_SET\n" + card(1, 0, 1, 1, 1, 1, 1, 1)
    if v0 != 0.0:
        text += initial_velocity(2, (v0, 0.0, 0.0))
    # Loads brought on over `ramp` seconds, or at once.
    onset = (card(0.0, 0.0) + card(ramp, 1.0)) if ramp > 0.0 else card(0.0, 1.0)
    if ramp > 0.0:
        text += "*DEFINE_CURVE\n" + card(7) + onset + card(10.0, 1.0)
    text += "*LOAD_BODY_Z\n" + card(7 if ramp > 0.0 else 0, G)
    if push != 0.0:
        text += "*DEFINE_CURVE\n" + card(8) + onset + card(10.0, 1.0)
        text += "*LOAD_NODE_SET\n" + f"2 1 8 {push / 8.0:g}\n"
    if rigid:
        text += "*CONTACT_NODES_TO_SURFACE\n" + card(3, 1, 4, 3)
    else:
        text += "*CONTACT_SURFACE_TO_SURFACE\n" + (card(1, 2, 3, 3) if swapped else card(2, 1, 3, 3))
    text += card(mu_s, mu_d, decay) + card(0.0)
    # Held by friction at its bottom face and pushed, or braked, the block of
    # one one-point hexahedron is sheared in an hourglass mode, which only
    # the stiffness form holds: its motion stays that of the whole block.
    text += STIFF_HOURGLASS + "*CONTROL_TERMINATION\n" + card(end) + "*END\n"
    return text


def friction_decks():
    write("slide_friction", block_on_plate("a block at 1 m/s slides to rest on a plate, mu = 0.5", 0.5, v0=1.0, end=0.3))
    write("slide_frictionless", block_on_plate("a block at 1 m/s slides on a plate, mu = 0", 0.0, v0=1.0, end=0.1))
    write("coulomb_push_4", block_on_plate("a 1 kg block under 10 N, mu = 0.3, pushed by 4 N", 0.3, push=4.0))
    write("coulomb_push_2", block_on_plate("a 1 kg block under 10 N, mu = 0.3, pushed by 2 N", 0.3, push=2.0,
                                           ramp=0.02))
    write("static_dynamic", block_on_plate("mu_s = 0.5, mu_d = 0.2: a push of 4 N does not start it", 0.5, 0.2, 5.0,
                                           push=4.0, ramp=0.02))
    write("coulomb_swapped_4", block_on_plate("the same with the plate as the slave side", 0.3, push=4.0, swapped=True))
    write("coulomb_rigid_4", block_on_plate("a block pushed by 4 N on a rigid plate, mu = 0.3", 0.3, push=4.0,
                                            rigid=True))


STEEL_RHO = 7850.0
STEEL_E = 2.1e11
TIE_BAR = 0.1      # length of each bar
TIE_SIDE = 0.01    # side of the square cross-section


def bar_nodes(nx, nacross, x0, first):
    """Nodes of a bar of nx x nacross x nacross hexahedra from x0 and its cells."""
    h, a = TIE_BAR / nx, TIE_SIDE / nacross
    number, nodes = {}, []
    for k in range(nacross + 1):
        for j in range(nacross + 1):
            for i in range(nx + 1):
                number[(i, j, k)] = first + len(nodes)
                nodes.append((x0 + i * h, j * a, k * a))
    cells = []
    for k in range(nacross):
        for j in range(nacross):
            for i in range(nx):
                cells.append([number[c] for c in ((i, j, k), (i + 1, j, k), (i + 1, j + 1, k), (i, j + 1, k),
                                                  (i, j, k + 1), (i + 1, j, k + 1), (i + 1, j + 1, k + 1),
                                                  (i, j + 1, k + 1))])
    return nodes, number, cells


def end_face(number, i, n, outward_plus):
    """Segments of the face x = i of a bar with n cells across."""
    faces = []
    for k in range(n):
        for j in range(n):
            quad = [number[(i, j, k)], number[(i, j + 1, k)], number[(i, j + 1, k + 1)], number[(i, j, k + 1)]]
            faces.append(quad if outward_plus else quad[::-1])
    return faces


def tie_bars(case, angle_deg, twin=False):
    # Coarse bar 1 (20 x 2 x 2) on [0, L], fine bar 2 (30 x 3 x 3) on [L, 2L];
    # the fine face is the slave side. Turned by angle about z.
    n1, num1, cells1 = bar_nodes(20, 2, 0.0, 1)
    n2, num2, cells2 = bar_nodes(30, 3, TIE_BAR, len(n1) + 1)
    c, s_ = math.cos(math.radians(angle_deg)), math.sin(math.radians(angle_deg))
    nodes = [(x * c - y * s_, x * s_ + y * c, z) for (x, y, z) in n1 + n2]
    elements = "".join(f"{e + 1} 1 " + " ".join(map(str, ids)) + "\n" for e, ids in enumerate(cells1))
    elements += "".join(f"{len(cells1) + e + 1} 2 " + " ".join(map(str, ids)) + "\n" for e, ids in enumerate(cells2))
    driven = [num1[(0, j, k)] for k in range(3) for j in range(3)]
    drive = "*BOUNDARY_PRESCRIBED_MOTION_SET\n" + card(1, 1, 0, 7, c)
    if angle_deg != 0.0:
        drive += card(1, 2, 0, 7, s_)
    text = ("*KEYWORD\n$ a bar wave crosses a tie of a 2 x 2 face and a 3 x 3 face\n" + node_block(nodes)
            + "*ELEMENT_SOLID\n" + elements
            + "*PART\ncoarse\n" + card(1, 1, 1) + "*PART\nfine\n" + card(2, 1, 1)
            + "*SECTION_SOLID\n" + card(1, 1) + "*MAT_ELASTIC\n" + card(1, STEEL_RHO, STEEL_E, 0.0)
            + "*SET_SEGMENT\n" + card(1) + "".join(card(*f) for f in end_face(num1, 20, 2, True))
            + "*SET_SEGMENT\n" + card(2) + "".join(card(*f) for f in end_face(num2, 0, 3, False))
            + "*CONTACT_TIED_SURFACE_TO_SURFACE\n" + card(2, 1, 0, 0) + card(0.0) + card(0.0)
            + node_set(1, driven) + drive
            + "*DEFINE_CURVE\n" + card(7) + card(0.0, 1.0) + card(1.0, 1.0)
            + (STIFF_HOURGLASS if twin else "") + "*CONTROL_TERMINATION\n" + card(3.6e-5) + "*END\n")
    write(case, text)


def tie_shell_edge():
    # Block: one 0.1 m hexahedron, every node driven along x at 1 m/s.
    # Plate: 2 x 2 shells in the plane y = 0.05 over x in [0, 0.1], z in
    # [0.1, 0.2], its lower edge on the block's top face.
    a = 0.1
    block = [(dx * a, dy * a, dz * a) for dz in (0, 1) for dy in (0, 1) for dx in (0, 1)]
    plate = [(i * 0.05, 0.05, a + j * 0.05) for j in range(3) for i in range(3)]
    b = len(block)
    pid = lambda i, j: b + 1 + j * 3 + i
    shells = "".join(f"{2 + j * 2 + i} 2 {pid(i, j)} {pid(i + 1, j)} {pid(i + 1, j + 1)} {pid(i, j + 1)}\n"
                     for j in range(2) for i in range(2))
    text = ("*KEYWORD\n$ a shell plate whose edge is tied to a block's face\n" + node_block(block + plate)
            + "*ELEMENT_SOLID\n1 1 1 2 4 3 5 6 8 7\n" + "*ELEMENT_SHELL\n" + shells
            + "*PART\nblock\n" + card(1, 1, 1) + "*PART\nplate\n" + card(2, 2, 1)
            + "*SECTION_SOLID\n" + card(1, 1)
            + "*SECTION_SHELL\n" + card(2, 2, 0.8333, 2) + card(0.002, 0.002, 0.002, 0.002)
            + "*MAT_ELASTIC\n" + card(1, STEEL_RHO, STEEL_E, 0.3)
            + node_set(1, list(range(1, 9))) + "*BOUNDARY_PRESCRIBED_MOTION_SET\n" + card(1, 1, 0, 7, 1.0)
            + "*DEFINE_CURVE\n" + card(7) + card(0.0, 1.0) + card(1.0, 1.0)
            + "*CONTACT_TIED_SHELL_EDGE_TO_SURFACE_ID\n" + card(1) + card(2, 1, 3, 3) + card(0.0) + card(0.0)
            + "*CONTROL_TERMINATION\n" + card(0.002) + "*END\n")
    write("tie_shell_edge", text)


if __name__ == "__main__":
    friction_decks()
    tie_bars("tie_bar_wave", 0.0, twin=True)  # the keyword twin of inp_tie_bar
    tie_bars("tie_bar_inclined", 30.0)
    tie_shell_edge()
