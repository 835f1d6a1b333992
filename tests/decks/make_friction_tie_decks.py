#!/usr/bin/python3
"""Writes the keyword decks of the friction and tie cases (run it from anywhere).

slide_friction      a 1 kg block of one hexahedron at 1 m/s on a fixed plate of
                    shells under g = 10, surface-to-surface contact, mu = 0.5
slide_frictionless  the same with mu = 0
coulomb_push_4      the block at rest, mu = 0.3, pushed along x by 4 N in all
coulomb_push_2      the same pushed by 2 N
static_dynamic      mu_s = 0.5, mu_d = 0.2, decay 5 s/m, pushed by 4 N
coulomb_swapped_4   coulomb_push_4 with the plate written as the slave side
coulomb_rigid_4     the block pushed by 4 N on a rigid plate, nodes-to-surface,
                    mu = 0.3 (the block's bottom nodes lie on no surface)
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_decks import card, node_block, node_set, initial_velocity, write  # noqa: E402
from make_contact_decks import shell_grid  # noqa: E402

G = 10.0
BLOCK = 0.1           # edge of the cubic block
BLOCK_RHO = 1000.0    # 1 kg
BLOCK_E = 1.0e9


def block_on_plate(title, mu_s, mu_d=0.0, decay=0.0, v0=0.0, push=0.0, end=0.2, rigid=False, swapped=False):
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
    text += "*LOAD_BODY_Z\n" + card(0, G)
    if push != 0.0:
        text += "*DEFINE_CURVE\n" + card(8) + card(0.0, 1.0) + card(10.0, 1.0)
        text += "*LOAD_NODE_SET\n" + f"2 1 {push / 8.0:g} 8\n"
    if rigid:
        text += "*CONTACT_NODES_TO_SURFACE\n" + card(3, 1, 4, 3)
    else:
        text += "*CONTACT_SURFACE_TO_SURFACE\n" + (card(1, 2, 3, 3) if swapped else card(2, 1, 3, 3))
    text += card(mu_s, mu_d, decay) + card(0.0)
    text += "*CONTROL_TERMINATION\n" + card(end) + "*END\n"
    return text


def friction_decks():
    write("slide_friction", block_on_plate("a block at 1 m/s slides to rest on a plate, mu = 0.5", 0.5, v0=1.0, end=0.3))
    write("slide_frictionless", block_on_plate("a block at 1 m/s slides on a plate, mu = 0", 0.0, v0=1.0, end=0.1))
    write("coulomb_push_4", block_on_plate("a 1 kg block under 10 N, mu = 0.3, pushed by 4 N", 0.3, push=4.0))
    write("coulomb_push_2", block_on_plate("a 1 kg block under 10 N, mu = 0.3, pushed by 2 N", 0.3, push=2.0))
    write("static_dynamic", block_on_plate("mu_s = 0.5, mu_d = 0.2: a push of 4 N does not start it", 0.5, 0.2, 5.0,
                                           push=4.0))
    write("coulomb_swapped_4", block_on_plate("the same with the plate as the slave side", 0.3, push=4.0, swapped=True))
    write("coulomb_rigid_4", block_on_plate("a block pushed by 4 N on a rigid plate, mu = 0.3", 0.3, push=4.0,
                                            rigid=True))


if __name__ == "__main__":
    friction_decks()
