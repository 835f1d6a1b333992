#!/usr/bin/python3
"""Writes the keyword decks of the end-to-end cases (run it from anywhere).

one_hexahedron  one unit cube of elastic material at rest
unknown_material  the same cube whose part names a material the deck lacks
free_flight     a 2 x 2 x 2 block of hexahedra with one initial velocity
wave_hexa       a bar of hexahedra whose two halves start at +v and -v
wave_tetra      the same bar cut into tetrahedra
wave_fixed_end  a steel bar held at one end and pushed at the other
bar_on_wall     a steel bar thrown at a fixed rigid wall
free_flight_field, wave_hexa_field
                the same models written the way pre-processors and users
                write keyword decks (see FieldDeck below)
shell_plate     a plate of Belytschko-Tsay shells in free flight
wave_rubber     the bar of hexahedra in Mooney-Rivlin rubber
taylor_bar_8    the Taylor bar of examples/taylor_bar with 8 hexahedra across
"""
import itertools
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def field(value, width=10):
    text = f"{value:g}" if isinstance(value, float) else str(value)
    assert len(text) <= width, text
    return text.rjust(width)


def card(*values):
    return "".join(field(v) for v in values) + "\n"


def node_block(nodes):
    lines = ["*NODE\n"]
    for number, (x, y, z) in enumerate(nodes, start=1):
        lines.append(f"{number} {x:.10g} {y:.10g} {z:.10g}\n")
    return "".join(lines)


def solid_block(elements, part=1):
    lines = ["*ELEMENT_SOLID\n"]
    for number, ids in enumerate(elements, start=1):
        lines.append(f"{number} {part} " + " ".join(str(i) for i in ids) + "\n")
    return "".join(lines)


def common_cards(title, elform, density, young, end_time):
    return (
        "*PART\n" + title + "\n" + card(1, 1, 1)
        + "*SECTION_SOLID\n" + card(1, elform)
        + "*MAT_ELASTIC\n" + card(1, density, young, 0.0)
        + "*CONTROL_TERMINATION\n" + card(end_time)
    )


def node_set(set_id, members):
    text = "*SET_NODE_LIST\n" + card(set_id)
    for start in range(0, len(members), 8):
        text += card(*members[start:start + 8])
    return text


def initial_velocity(set_id, v):
    return "*INITIAL_VELOCITY\n" + card(set_id) + card(*v)


def grid(nx, ny, nz, hx, hy, hz):
    """Nodes of a structured grid, x running fastest, and their numbering."""
    nodes, number = [], {}
    for k, j, i in itertools.product(range(nz + 1), range(ny + 1), range(nx + 1)):
        number[(i, j, k)] = len(nodes) + 1
        nodes.append((i * hx, j * hy, k * hz))
    return nodes, number


def hexahedra(nx, ny, nz, number):
    cells = []
    for k, j, i in itertools.product(range(nz), range(ny), range(nx)):
        c = [(i, j, k), (i + 1, j, k), (i + 1, j + 1, k), (i, j + 1, k),
             (i, j, k + 1), (i + 1, j, k + 1), (i + 1, j + 1, k + 1), (i, j + 1, k + 1)]
        cells.append([number[p] for p in c])
    return cells


def signed_volume(a, b, c, d):
    u = [b[t] - a[t] for t in range(3)]
    v = [c[t] - a[t] for t in range(3)]
    w = [d[t] - a[t] for t in range(3)]
    return (u[0] * (v[1] * w[2] - v[2] * w[1]) - u[1] * (v[0] * w[2] - v[2] * w[0])
            + u[2] * (v[0] * w[1] - v[1] * w[0]))


def tetrahedra(nx, ny, nz, nodes, number):
    """Each cube cut into six tetrahedra along its main diagonal; the same cut
    in every cube makes a conforming mesh. Tetrahedra are written as eight
    ids with the fourth repeated, all with positive volume."""
    cells = []
    units = [(1, 0, 0), (0, 1, 0), (0, 0, 1)]
    for k, j, i in itertools.product(range(nz), range(ny), range(nx)):
        for order in itertools.permutations(range(3)):
            p = (i, j, k)
            path = [p]
            for axis in order:
                p = tuple(p[t] + units[axis][t] for t in range(3))
                path.append(p)
            ids = [number[q] for q in path]
            if signed_volume(*(nodes[n - 1] for n in ids)) < 0:
                ids[1], ids[2] = ids[2], ids[1]
            cells.append(ids + [ids[3]] * 4)
    return cells


class FieldDeck:
    """Writes a model the way decks in the field are written: keywords in
    mixed case, titles, "$#" comment lines between cards, elements before
    the nodes they use, cards in fixed columns with blank fields for zeros,
    numbers whose exponent follows the mantissa without an E ("2.00000-3"),
    node coordinates that fill their 16 columns and touch, and some lines
    separated by commas. Every number is written so that it reads back as
    exactly the value of the plain deck."""

    def __init__(self, title):
        self.parts = ["*KEYWORD\n*TITLE\n" + title + "\n"]

    @staticmethod
    def no_e(value):
        """2e-3 as "2.00000-3": the exponent follows the last digit."""
        if value == 0.0:
            return ""
        exponent = 0
        mantissa = abs(value)
        while mantissa >= 10.0:
            mantissa /= 10.0
            exponent += 1
        while mantissa < 1.0:
            mantissa *= 10.0
            exponent -= 1
        mantissa_text = f"{'-' if value < 0 else ''}{mantissa:.5f}"
        assert float(mantissa_text + "e" + str(exponent)) == value, value
        return mantissa_text + f"{exponent:+d}"
        return text

    @staticmethod
    def columns(values, width=10):
        """Right-aligned fields; None and 0 are written blank."""
        out = ""
        for v in values:
            text = "" if v is None or v == 0 else (v if isinstance(v, str) else str(v))
            assert len(text) <= width, text
            out += text.rjust(width)
        return out.rstrip() + "\n"

    @staticmethod
    def touching(x):
        """A coordinate filling its 16 columns, so that it touches the field
        before it; 0 is left blank."""
        if x == 0.0:
            return " " * 16
        text = f"{x:.14f}" if x >= 0 else f"{x:.13f}"
        assert len(text) == 16 and float(text) == x, (x, text)
        return text

    def elements(self, cells, part):
        lines = ["*element_solid\n$#   eid     pid      n1      n2      n3      n4      n5      n6      n7      n8\n"]
        for number, ids in enumerate(cells, start=1):
            lines.append("".join(str(v).rjust(8) for v in [number, part] + list(ids)) + "\n")
        self.parts.append("".join(lines))

    def nodes(self, nodes):
        # The values the plain deck's "%.10g" texts stand for.
        nodes = [tuple(float(f"{c:.10g}") for c in node) for node in nodes]
        lines = ["*Node\n$#   nid               x               y               z      tc      rc\n"]
        for number, (x, y, z) in enumerate(nodes, start=1):
            style = (number + (number - 1) // 3) % 3
            if style == 0:
                lines.append(f"{number},{x!r},{y!r},{z!r}\n")
            elif style == 1:
                lines.append(str(number).rjust(8) + "".join(self.touching(c) for c in (x, y, z)) + "\n")
            else:
                lines.append(str(number).rjust(8) + "".join(self.no_e(c).rjust(16) for c in (x, y, z)) + "\n")
        self.parts.append("".join(lines))

    def common_cards(self, title, elform, density, young, end_time):
        self.parts.append(
            "*Part\n$# title\n" + title + "\n$#     pid     secid       mid\n" + "         1,1,1\n"
            + "*SECTION_SOLID_TITLE\n" + title + " section\n$#   secid    elform\n" + self.columns([1, elform])
            + "*mat_elastic_title\n" + title + " material\n"
            + self.columns([1, self.no_e(density), self.no_e(young), None])
            + "*CONTROL_TERMINATION\n" + self.columns([self.no_e(end_time)]))

    def node_set(self, set_id, members):
        text = "*set_node_list_title\nset " + str(set_id) + "\n" + self.columns([set_id])
        for start in range(0, len(members), 8):
            text += "$# nodes\n" + self.columns(members[start:start + 8])
        self.parts.append(text)

    def initial_velocity(self, set_id, v):
        self.parts.append("*Initial_Velocity\n" + self.columns([set_id]) + ",".join(repr(c) for c in v) + "\n")

    def text(self):
        return "".join(self.parts) + "*End\n"


def write(case, text):
    folder = os.path.join(HERE, case)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "deck.k"), "w") as f:
        f.write(text)


def one_hexahedron():
    nodes, number = grid(1, 1, 1, 1.0, 1.0, 1.0)
    text = ("*KEYWORD\n$ one unit cube at rest\n" + node_block(nodes)
            + solid_block(hexahedra(1, 1, 1, number))
            + common_cards("cube", 1, 1.0, 1.0e6, 0.01) + "*END\n")
    write("one_hexahedron", text)


def unknown_material():
    nodes, number = grid(1, 1, 1, 1.0, 1.0, 1.0)
    text = ("*KEYWORD\n$ the part names material 9, which the deck does not define\n" + node_block(nodes)
            + solid_block(hexahedra(1, 1, 1, number))
            + "*PART\ncube\n" + card(1, 1, 9)
            + "*SECTION_SOLID\n" + card(1, 1)
            + "*MAT_ELASTIC\n" + card(1, 1.0, 1.0e6, 0.0)
            + "*CONTROL_TERMINATION\n" + card(0.01) + "*END\n")
    write("unknown_material", text)


def free_flight():
    nodes, number = grid(2, 2, 2, 0.5, 0.5, 0.5)
    text = ("*KEYWORD\n$ a block of hexahedra in free flight\n" + node_block(nodes)
            + solid_block(hexahedra(2, 2, 2, number))
            + common_cards("block", 1, 2.0, 2.0e5, 0.02)
            + node_set(1, list(range(1, len(nodes) + 1)))
            + initial_velocity(1, (3.0, -2.0, 0.5)) + "*END\n")
    write("free_flight", text)

    field = FieldDeck("a block of hexahedra in free flight")
    field.elements(hexahedra(2, 2, 2, number), 1)
    field.common_cards("block", 1, 2.0, 2.0e5, 0.02)
    field.node_set(1, list(range(1, len(nodes) + 1)))
    field.initial_velocity(1, (3.0, -2.0, 0.5))
    field.nodes(nodes)
    write("free_flight_field", field.text())


# The bars: length 1, a square cross-section of one element, E = 1e4 and
# rho = 1 with nu = 0, so c = 100 and L / (2c) = 0.005.
BAR_ELEMENTS = 40
BAR_LENGTH = 1.0
BAR_SPEED = 1.0


def wave_bar(case, tetra):
    h = BAR_LENGTH / BAR_ELEMENTS
    nodes, number = grid(BAR_ELEMENTS, 1, 1, h, h, h)
    cells = (tetrahedra(BAR_ELEMENTS, 1, 1, nodes, number) if tetra
             else hexahedra(BAR_ELEMENTS, 1, 1, number))
    middle = BAR_ELEMENTS // 2
    left = [n for (i, j, k), n in sorted(number.items(), key=lambda e: e[1]) if i < middle]
    right = [n for (i, j, k), n in sorted(number.items(), key=lambda e: e[1]) if i > middle]
    text = ("*KEYWORD\n$ a bar whose halves move apart\n" + node_block(nodes) + solid_block(cells)
            + common_cards("bar", 10 if tetra else 1, 1.0, 1.0e4, 0.008)
            + node_set(1, left) + node_set(2, right)
            + initial_velocity(1, (-BAR_SPEED, 0.0, 0.0))
            + initial_velocity(2, (BAR_SPEED, 0.0, 0.0)) + "*END\n")
    write(case, text)
    if tetra:
        return

    field = FieldDeck("a bar whose halves move apart")
    field.elements(cells, 1)
    field.common_cards("bar", 1, 1.0, 1.0e4, 0.008)
    field.node_set(1, left)
    field.node_set(2, right)
    field.initial_velocity(1, (-BAR_SPEED, 0.0, 0.0))
    field.initial_velocity(2, (BAR_SPEED, 0.0, 0.0))
    field.nodes(nodes)
    write(case + "_field", field.text())


# The bar of hexahedra in Mooney-Rivlin rubber with A = 2000, B = 500 and
# Poisson's ratio 0: its small-strain moduli are mu0 = 2 (A + B) = 5000 and
# lambda0 = 0, so E = 1e4 and the bar's wave speed is 100 as for the others.
def wave_rubber():
    h = BAR_LENGTH / BAR_ELEMENTS
    nodes, number = grid(BAR_ELEMENTS, 1, 1, h, h, h)
    middle = BAR_ELEMENTS // 2
    left = [n for (i, j, k), n in sorted(number.items(), key=lambda e: e[1]) if i < middle]
    right = [n for (i, j, k), n in sorted(number.items(), key=lambda e: e[1]) if i > middle]
    text = ("*KEYWORD\n$ a rubber bar whose halves move apart\n" + node_block(nodes)
            + solid_block(hexahedra(BAR_ELEMENTS, 1, 1, number))
            + "*PART\nbar\n" + card(1, 1, 1)
            + "*SECTION_SOLID\n" + card(1, 1)
            + "*MAT_MOONEY-RIVLIN_RUBBER\n" + card(1, 1.0, 0.0, 2000.0, 500.0)
            + "*CONTROL_TERMINATION\n" + card(0.008)
            + node_set(1, left) + node_set(2, right)
            + initial_velocity(1, (-BAR_SPEED, 0.0, 0.0))
            + initial_velocity(2, (BAR_SPEED, 0.0, 0.0)) + "*END\n")
    write("wave_rubber", text)


def shell_block(elements, part=1):
    lines = ["*ELEMENT_SHELL\n"]
    for number, ids in enumerate(elements, start=1):
        lines.append(card(number, part, *ids))
    return "".join(lines)


# A steel plate of 6 x 4 shells, 0.6 x 0.4 m, 5 mm thick with three points
# through the thickness, elastic-plastic; every node starts at (3, -2, 0.5).
def shell_plate():
    nx, ny = 6, 4
    nodes, number = grid(nx, ny, 0, 0.1, 0.1, 0.0)
    cells = [[number[(i, j, 0)], number[(i + 1, j, 0)], number[(i + 1, j + 1, 0)], number[(i, j + 1, 0)]]
             for j in range(ny) for i in range(nx)]
    text = ("*KEYWORD\n$ a plate of shells in free flight\n" + node_block(nodes) + shell_block(cells)
            + "*PART\nplate\n" + card(1, 1, 1)
            + "*SECTION_SHELL\n" + card(1, 2, 0.8333, 3) + card(0.005, 0.005, 0.005, 0.005)
            + "*MAT_PIECEWISE_LINEAR_PLASTICITY\n" + card(1, 7850.0, 2.1e11, 0.3, 2.5e8, 1.0e9)
            + card(0, 0, 0, 0, 0) + card(*[0] * 8) + card(*[0] * 8)
            + "*CONTROL_TERMINATION\n" + card(0.002)
            + node_set(1, list(range(1, len(nodes) + 1)))
            + initial_velocity(1, (3.0, -2.0, 0.5)) + "*END\n")
    write("shell_plate", text)


# Steel bars of 40 hexahedra with nu = 0: E = 2e11, rho = 7850, so the bar
# wave speed is c = sqrt(E / rho) = 5047.5 m/s.
STEEL = (7850.0, 2.0e11)


def steel_bar(length):
    h = length / BAR_ELEMENTS
    nodes, number = grid(BAR_ELEMENTS, 1, 1, h, h, h)
    face = lambda i: [n for (a, j, k), n in sorted(number.items(), key=lambda e: e[1]) if a == i]
    return nodes, number, face


def wave_fixed_end():
    """A bar held at x = 0 and pushed at x = L at 1 m/s from t = 0."""
    nodes, number, face = steel_bar(0.2)
    end_time = 1.5 * 0.2 / (STEEL[1] / STEEL[0]) ** 0.5
    text = ("*KEYWORD\n$ a steel bar held at one end and pushed at the other\n" + node_block(nodes)
            + solid_block(hexahedra(BAR_ELEMENTS, 1, 1, number))
            + common_cards("bar", 1, STEEL[0], STEEL[1], float(f"{end_time:.4g}"))
            + node_set(1, face(0)) + node_set(2, face(BAR_ELEMENTS))
            + "*BOUNDARY_SPC_SET\n" + card(1, 0, 1, 1, 1)
            + "*BOUNDARY_PRESCRIBED_MOTION_SET\n" + card(2, 1, 0, 0, -1.0) + "*END\n")
    write("wave_fixed_end", text)


def bar_on_wall():
    """A bar thrown along -x at 5 m/s against a fixed wall at x = 0."""
    nodes, number, face = steel_bar(0.1)
    text = ("*KEYWORD\n$ a steel bar thrown at a rigid wall\n" + node_block(nodes)
            + solid_block(hexahedra(BAR_ELEMENTS, 1, 1, number))
            + common_cards("bar", 1, STEEL[0], STEEL[1], 6.0e-5)
            + node_set(1, list(range(1, len(nodes) + 1)))
            + initial_velocity(1, (-5.0, 0.0, 0.0))
            + "*RIGIDWALL_PLANAR\n" + card(0) + card(0.0, 0.0, 0.0, 1.0, 0.0, 0.0) + "*END\n")
    write("bar_on_wall", text)


def taylor_bar_8():
    """The example's Taylor bar, its cross-section 8 hexahedra across (a core of
    4 x 4 and rings of 2), 40 layers along the axis, default controls."""
    import importlib.util
    spec = importlib.util.spec_from_file_location(
        "taylor_bar", os.path.join(HERE, "..", "..", "examples", "taylor_bar", "make_deck.py"))
    bar = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(bar)
    bar.CORE, bar.RING, bar.AXIAL = 4, 2, 40
    write("taylor_bar_8", bar.deck_text()[0])


if __name__ == "__main__":
    one_hexahedron()
    unknown_material()
    free_flight()
    wave_bar("wave_hexa", tetra=False)
    wave_bar("wave_tetra", tetra=True)
    shell_plate()
    wave_rubber()
    wave_fixed_end()
    bar_on_wall()
    taylor_bar_8()
