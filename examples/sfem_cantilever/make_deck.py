#!/usr/bin/env python3
"""Writes sfem_cantilever.inp: an aluminium cantilever of 4-node tetrahedra
whose solid section asks for smoothed FEM, swinging in its first bending
mode.

    python3 make_deck.py [ESFEM|NSFEM|SNSFEM|NONE] [nx ny nz]

Beam 100 x 10 x 10 mm along x, clamped at x = 0 (ENCASTRE), nx x ny x nz
cells of six tetrahedra (default 20 x 4 x 4, 1920 elements); E = 70000 MPa,
nu = 0.33, density 2.7e-9 t/mm^3. Every node starts in the straight shape
with a velocity in z shaped as the static deflection under a tip load,
1000 mm/s at the tip, so the beam swings almost purely in its first mode.
The run lasts 2.5e-3 s, about two periods: 26 VTK files, and the
displacement of the node at the middle of the tip face (node set TIP)
every 5e-6 s in nodeoutput/contact_file_TIP.txt (time, ux, uy, uz, then the
set's contact force, zero here)."""
import itertools
import sys

KIND = sys.argv[1].upper() if len(sys.argv) > 1 else "ESFEM"
NX, NY, NZ = (int(v) for v in sys.argv[2:5]) if len(sys.argv) > 4 else (20, 4, 4)
L, B, H = 100.0, 10.0, 10.0
TIP_SPEED = 1000.0


def number(i, j, k):
    return 1 + i + (NX + 1) * (j + (NY + 1) * k)


def tetrahedra():
    """Each cell cut into six tetrahedra along its main diagonal, the same
    cut in every cell (a conforming mesh), each with positive volume."""
    for k, j, i in itertools.product(range(NZ), range(NY), range(NX)):
        for order in itertools.permutations(range(3)):
            p = [i, j, k]
            path = [number(*p)]
            for axis in order:
                p[axis] += 1
                path.append(number(*p))
            # The path's turn decides the sign of the volume.
            even = sum(1 for a in range(3) for b in range(a + 1, 3) if order[a] > order[b]) % 2 == 0
            yield path if even else [path[0], path[2], path[1], path[3]]


def main():
    lines = ["*Heading", "** aluminium cantilever of tetrahedra, %s, first bending mode" % KIND,
             "*Part, name=BEAM", "*Node"]
    for k, j, i in itertools.product(range(NZ + 1), range(NY + 1), range(NX + 1)):
        lines.append("%d, %.6g, %.6g, %.6g" % (number(i, j, k), L * i / NX, B * j / NY, H * k / NZ))
    lines.append("*Element, type=C3D4")
    for e, t in enumerate(tetrahedra(), 1):
        lines.append("%d, %d, %d, %d, %d" % (e, *t))
    lines.append("*Nset, nset=ROOT")
    lines += ["%d," % number(0, j, k) for k in range(NZ + 1) for j in range(NY + 1)]
    lines += ["*Nset, nset=TIP", "%d," % number(NX, NY // 2, NZ // 2)]
    lines += ["*Elset, elset=BEAM-ALL, generate", "1, %d, 1" % (6 * NX * NY * NZ)]
    option = "" if KIND == "NONE" else ", smoothFEM=" + KIND
    lines += ["*Solid Section, elset=BEAM-ALL, material=ALUMINIUM" + option, ",", "*End Part"]
    lines += ["*Material, name=ALUMINIUM", "*Density", "2.7e-09,", "*Elastic", "70000., 0.33"]
    lines += ["*Boundary", "ROOT, ENCASTRE", "*Initial Conditions, type=VELOCITY"]
    for k, j, i in itertools.product(range(NZ + 1), range(NY + 1), range(1, NX + 1)):
        x = L * i / NX
        lines.append("%d, 3, %.9g" % (number(i, j, k), TIP_SPEED * x * x * (3.0 * L - x) / (2.0 * L ** 3)))
    lines += ["*Step, name=Swing", "*Dynamic, Explicit", ", 0.0025", "*Output, field, number interval=25",
              "*Output, history, time interval=5e-06", "*Node Output, nset=TIP", "RF", "*End Step"]
    with open("sfem_cantilever.inp", "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
