#!/usr/bin/python3
"""Writes the .inp decks of the tie and friction cases and the keyword twin of
the friction case (run it from anywhere).

inp_tie_bar     tie_bar_wave written as an .inp deck: two steel bars of
                hexahedra, 2 x 2 against 3 x 3 across, tied on their common
                face; the far end of the coarse bar driven at 1 m/s
inp_friction    a 1 kg block of one hexahedron at 1 m/s on a clamped plate of
                shells, pressed on by 1000 Pa on its 0.01 m^2 top face, mu =
                0.5 through a general contact and a property assignment; its
                deck.k is the same model with a segment set, a pressure card
                and a surface-to-surface contact
inp_rigid_block a rigid steel cube (*RIGID BODY) at 10 m/s onto a block of
                2 x 2 hexahedra clamped at its base, offset by half a cell
                along x and a quarter along y, through a *CONTACT PAIR; its
                deck.k is the same model with *MAT_RIGID
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_decks import card, grid, hexahedra, node_block, node_set, initial_velocity  # noqa: E402
from make_contact_decks import shell_grid  # noqa: E402
from make_friction_tie_decks import bar_nodes, end_face, STEEL_RHO, STEEL_E, TIE_BAR  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def write(case, name, text):
    folder = os.path.join(HERE, case)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "w") as f:
        f.write(text)


def inp_nodes(nodes):
    return "*Node\n" + "".join(f"{n}, {x:.10g}, {y:.10g}, {z:.10g}\n" for n, (x, y, z) in enumerate(nodes, start=1))


def inp_elements(kind, elset, first, cells):
    return f"*Element, type={kind}, elset={elset}\n" + "".join(
        f"{first + e}, " + ", ".join(map(str, ids)) + "\n" for e, ids in enumerate(cells))


def inp_tie_bar():
    n1, num1, cells1 = bar_nodes(20, 2, 0.0, 1)
    n2, num2, cells2 = bar_nodes(30, 3, TIE_BAR, len(n1) + 1)
    # Element ids of the end cells, in the order of the keyword deck's
    # segment sets (k outer, j inner): x+ faces (S4) of the coarse bar's
    # last cells, x- faces (S6) of the fine bar's first cells.
    coarse_end = [1 + (k * 2 + j) * 20 + 19 for k in range(2) for j in range(2)]
    fine_start = [len(cells1) + 1 + (k * 3 + j) * 30 for k in range(3) for j in range(3)]
    driven = [num1[(0, j, k)] for k in range(3) for j in range(3)]
    text = ("*Heading\n** a bar wave crosses a tie of a 2 x 2 face and a 3 x 3 face\n" + inp_nodes(n1 + n2)
            + inp_elements("C3D8R", "COARSE", 1, cells1) + inp_elements("C3D8R", "FINE", len(cells1) + 1, cells2)
            + "*Solid Section, elset=COARSE, material=STEEL\n*Solid Section, elset=FINE, material=STEEL\n"
            + f"*Material, name=STEEL\n*Density\n{STEEL_RHO:g}\n*Elastic\n{STEEL_E:g}, 0.\n"
            + "*Surface, name=COARSE-END\n" + "".join(f"{e}, S4\n" for e in coarse_end)
            + "*Surface, name=FINE-START\n" + "".join(f"{e}, S6\n" for e in fine_start)
            + "*Tie, name=GLUE\nFINE-START, COARSE-END\n"
            + "*Nset, nset=DRIVEN\n" + ", ".join(map(str, driven)) + "\n"
            + "*Boundary, type=VELOCITY\nDRIVEN, 1, 1, 1.\n"
            + "*Step\n*Dynamic, Explicit\n, 3.6e-5\n*End Step\n")
    write("inp_tie_bar", "deck.inp", text)


def inp_friction():
    plate, shells = shell_grid(4, 4, 0.25, 0.0, 0.0, 1, 1, 1)
    x0, y0, z0, a = 0.2, 0.45, 0.005, 0.1
    block = [(x0 + dx * a, y0 + dy * a, z0 + dz * a) for dz in (0, 1) for dy in (0, 1) for dx in (0, 1)]
    b = len(plate)
    ids = [b + k for k in (1, 2, 4, 3, 5, 6, 8, 7)]
    top = [b + k for k in (5, 6, 8, 7)]
    bottom = [b + k for k in (1, 2, 4, 3)]
    plate_quads = [line.split()[2:] for line in shells.strip().split("\n")]
    end = 0.1
    inp = ("*Heading\n** a block pressed onto a clamped plate slides to rest, mu = 0.5\n" + inp_nodes(plate + block)
           + "*Element, type=S4R, elset=PLATE\n"
           + "".join(f"{e + 1}, " + ", ".join(q) + "\n" for e, q in enumerate(plate_quads))
           + "*Element, type=C3D8R, elset=BLOCK\n17, " + ", ".join(map(str, ids)) + "\n"
           + "*Shell Section, elset=PLATE, material=STEEL\n0.01, 5\n*Solid Section, elset=BLOCK, material=SOFT\n"
           + "*Material, name=STEEL\n*Density\n7850.\n*Elastic\n2.1e11, 0.3\n"
           + "*Material, name=SOFT\n*Density\n1000.\n*Elastic\n1e9, 0.\n"
           + "*Nset, nset=PLATE-NODES, generate\n1, 25\n*Nset, nset=BLOCK-NODES, generate\n26, 33\n"
           + "*Surface, name=PLATE-TOP\nPLATE, SPOS\n*Surface, name=BLOCK-BOTTOM\n17, S1\n"
           + "*Surface, name=BLOCK-TOP\n17, S2\n"
           + "*Surface Interaction, name=ROUGHISH\n*Friction\n0.5\n"
           + "*Boundary\nPLATE-NODES, ENCASTRE\n*Initial Conditions, type=VELOCITY\nBLOCK-NODES, 1, 1.\n"
           + f"*Step\n*Dynamic, Explicit\n, {end:g}\n"
           + "*Contact\n*Contact Inclusions\nBLOCK-BOTTOM, PLATE-TOP\n*Contact Property Assignment\n , , ROUGHISH\n"
           + "*Dsload\nBLOCK-TOP, P, 1000.\n*End Step\n")
    write("inp_friction", "deck.inp", inp)
    # The keyword twin, card for card as the .inp translation writes them:
    # the block's bottom (S1), the plate (SPOS) and the block's top (S2).
    key = ("*KEYWORD\n$ a block pressed onto a clamped plate slides to rest, mu = 0.5\n" + node_block(plate + block)
           + "*ELEMENT_SHELL\n" + shells + "*ELEMENT_SOLID\n" + "17 2 " + " ".join(map(str, ids)) + "\n"
           + "*PART\nplate\n" + card(1, 1, 1) + "*PART\nblock\n" + card(2, 2, 2)
           + "*SECTION_SHELL\n" + card(1, 2, 0.83333, 5) + card(0.01, 0.01, 0.01, 0.01)
           + "*SECTION_SOLID\n" + card(2, 1)
           + "*MAT_ELASTIC\n" + card(1, 7850.0, 2.1e11, 0.3) + "*MAT_ELASTIC\n" + card(2, 1000.0, 1.0e9, 0.0)
           + node_set(1, list(range(1, b + 1))) + node_set(2, list(range(b + 1, b + 9)))
           + "*BOUNDARY_SPC_SET\n" + card(1, 0, 1, 1, 1, 1, 1, 1) + initial_velocity(2, (1.0, 0.0, 0.0))
           + "*SET_SEGMENT\n" + card(1) + card(bottom[0], bottom[3], bottom[2], bottom[1])
           + "*SET_SEGMENT\n" + card(2) + "".join(card(*map(int, q)) for q in plate_quads)
           + "*SET_SEGMENT\n" + card(3) + card(*top)
           + "*CONTACT_SURFACE_TO_SURFACE\n" + card(1, 2, 0, 0) + card(0.5, 0.0, 0.0) + card(0.0)
           + "*LOAD_SEGMENT_SET\n" + card(3, 0, 1000.0, 0.0)
           # The .inp deck's C3D8R take the stiffness form of hourglass control.
           + "*CONTROL_HOURGLASS\n" + card(4, 0.1)
           + "*CONTROL_TERMINATION\n" + card(end) + "*END\n")
    write("inp_friction", "deck.k", key)


def inp_rigid_block():
    # mm, t, s: the lower block's nodes 1-18 (base 1-9), the cube's 19-26;
    # the cube's first node is the body's reference node.
    lower, number = grid(2, 2, 1, 1.0, 1.0, 1.0)
    cube, cube_number = grid(1, 1, 1, 1.0, 1.0, 1.0)
    nodes = lower + [(x + 0.5, y + 0.25, z + 1.001) for (x, y, z) in cube]
    cells = hexahedra(2, 2, 1, number)
    top = [[n + len(lower) for n in c] for c in hexahedra(1, 1, 1, cube_number)]
    speed, end = -1.0e4, 2.0e-5
    inp = ("*Heading\n** a rigid cube at 10 m/s onto a clamped block\n" + inp_nodes(nodes)
           + inp_elements("C3D8", "LOWER", 1, cells) + inp_elements("C3D8", "CUBE", 5, top)
           + "*Nset, nset=BASE, generate\n1, 9\n*Solid Section, elset=LOWER, material=STEEL\n"
           + "*Solid Section, elset=CUBE, material=STEEL\n*Material, name=STEEL\n*Elastic\n210000., 0.3\n"
           + "*Density\n7.85e-9\n*Rigid Body, elset=CUBE, ref node=19\n"
           + "*Surface, type=ELEMENT, name=BLOCK\nLOWER,\n*Surface, type=ELEMENT, name=BODY\nCUBE,\n"
           + "*Surface Interaction, name=BARE\n*Friction\n0.\n*Contact Pair, interaction=BARE\nBODY, BLOCK\n"
           + "*Boundary\nBASE, ENCASTRE\n*Initial Conditions, type=VELOCITY\n19, 3, " + str(speed) + "\n"
           + "*Step\n*Dynamic, Explicit\n, " + str(end) + "\n*End Step\n")
    write("inp_rigid_block", "deck.inp", inp)
    key = ("*KEYWORD\n$ a rigid cube at 10 m/s onto a clamped block\n" + node_block(nodes) + "*ELEMENT_SOLID\n"
           + "".join(" ".join(map(str, [e + 1, 1] + c)) + "\n" for e, c in enumerate(cells + top)).replace(
               "\n5 1 ", "\n5 2 ")
           + "*PART\nlower\n" + card(1, 1, 1) + "*PART\ncube\n" + card(2, 1, 2) + "*SECTION_SOLID\n" + card(1, 2)
           + "*MAT_ELASTIC\n" + card(1, 7.85e-9, 210000.0, 0.3) + "*MAT_RIGID\n" + card(2, 7.85e-9, 210000.0, 0.3)
           + node_set(1, list(range(1, 10))) + "*BOUNDARY_SPC_SET\n" + card(1, 0, 1, 1, 1, 1, 1, 1)
           + node_set(2, list(range(19, 27))) + initial_velocity(2, (0.0, 0.0, speed))
           + "*CONTACT_SURFACE_TO_SURFACE\n" + card(2, 1, 3, 3) + card(0.0) + card(0.0)
           + "*CONTROL_TERMINATION\n" + card(end) + "*END\n")
    write("inp_rigid_block", "deck.k", key)


if __name__ == "__main__":
    inp_tie_bar()
    inp_friction()
    inp_rigid_block()
