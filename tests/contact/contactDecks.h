// Contact decks as users write them, for the tests of contact runs (in-process
// and through both time loops).
#pragma once
#include <string>
#include <vector>

#include "tests/solver/motionDeck.h"

// A steel block of 2 x 2 x 2 hexahedra (10 mm cells) dropping at 10 m/s on
// an equal block held at its base, the two parts joined by a
// surface-to-surface contact.
namespace blockdrop {

constexpr double kCell = 0.01;   // element size, m
constexpr double kSpeed = 10.0;  // speed of the upper block, m/s
constexpr int kBlockNodes = 27;  // nodes of one block; the lower block has 1-27

inline motiondeck::Block block(int part, double bottom) {
  motiondeck::Block b;
  b.nx = b.ny = b.nz = 2;
  b.h = kCell;
  b.part = part;
  b.origin[2] = bottom;
  b.density = 7850.0;
  b.young = 2.1e11;
  b.poisson = 0.3;
  b.nodeOffset = part == 1 ? 0 : kBlockNodes;
  b.elementOffset = part == 1 ? 0 : 8;
  return b;
}

// gap: between the blocks; upperFirst: the upper block's part is the
// contact's first side (slave), else the lower block's; rigid: the upper
// block is a rigid body of 2 x 2 x 1 hexahedra (*MAT_RIGID); speed: the
// upper block's, down.
inline std::string deck(double gap, bool upperFirst, double endTime = 8e-5, bool rigid = false, double speed = kSpeed) {
  const motiondeck::Block lower = block(1, 0.0);
  motiondeck::Block upper = block(2, 2 * kCell + gap);
  upper.rigid = rigid;
  upper.nz = rigid ? 1 : 2;
  std::vector<int> base, moving;
  for (int j = 0; j <= 2; ++j)
    for (int i = 0; i <= 2; ++i) base.push_back(lower.node(i, j, 0));
  for (int n = 1; n <= upper.nodeCount(); ++n) moving.push_back(kBlockNodes + n);
  return lower.cards() + upper.cards() + motiondeck::nodeSet(1, base) + "*BOUNDARY_SPC_SET\n" +
         card({"1", "0", "1", "1", "1", "1", "1", "1"}) + motiondeck::nodeSet(2, moving) + "*INITIAL_VELOCITY\n" +
         card({"2"}) + card({"0.0", "0.0", motiondeck::num(-speed)}) + "*CONTACT_SURFACE_TO_SURFACE\n" +
         card({upperFirst ? "2" : "1", upperFirst ? "1" : "2", "3", "3"}) + card({"0.0"}) + card({"0.0"}) +
         motiondeck::termination(endTime);
}

// The same deck with a nodes-to-surface contact (the first side's nodes only).
inline std::string nodesToSurface(std::string deck) {
  const std::string form = "*CONTACT_SURFACE_TO_SURFACE";
  return deck.replace(deck.find(form), form.size(), "*CONTACT_NODES_TO_SURFACE");
}

}  // namespace blockdrop

// A soft block of 2 x 2 x 2 hexahedra (0.1 m, E = 1e7 Pa, steel's density)
// sliding at 1 m/s under gravity on a plate of 4 x 4 hexahedra (0.4 m square,
// 0.1 m thick, E = 1e8 Pa) held at its base, with friction 0.5: it comes to
// rest after about 0.1 m, its bottom nodes crossing the plate's element edges.
namespace restingblock {

constexpr double kPlateCell = 0.1;
constexpr double kBlockCell = 0.05;
constexpr double kGravity = 9.81;
constexpr double kFriction = 0.5;
constexpr int kPlateNodes = 50;  // nodes 1-50; the block's follow

// The plate (part 1, top face at z = 0) and the block on it (part 2).
inline motiondeck::Block plate() {
  motiondeck::Block plate;
  plate.nx = plate.ny = 4;
  plate.h = kPlateCell;
  plate.origin[2] = -kPlateCell;
  plate.density = 1000.0;
  plate.young = 1e8;
  plate.poisson = 0.3;
  return plate;
}
inline motiondeck::Block block() {
  motiondeck::Block block;
  block.nx = block.ny = block.nz = 2;
  block.h = kBlockCell;
  block.origin[0] = 0.1;
  block.origin[1] = 0.15;
  block.part = 2;
  block.nodeOffset = kPlateNodes;
  block.elementOffset = 16;
  block.density = 7850.0;
  block.young = 1e7;
  block.poisson = 0.3;
  return block;
}

// heldPlate: every node of the plate is held (else its base only) and the
// block rests on it from the start (else it slides at 1 m/s, with
// friction); rigid: the block is a rigid body (*MAT_RIGID), resting on the
// plate held at its base when `speed` is 0.
inline std::string deck(double endTime, bool heldPlate = false, bool rigid = false, double speed = 1.0) {
  const motiondeck::Block p = plate();
  motiondeck::Block b = block();
  b.rigid = rigid;
  std::vector<int> held, moving;
  for (int k = 0; k <= (heldPlate ? 1 : 0); ++k)
    for (int j = 0; j <= 4; ++j)
      for (int i = 0; i <= 4; ++i) held.push_back(p.node(i, j, k));
  for (int n = 1; n <= b.nodeCount(); ++n) moving.push_back(kPlateNodes + n);
  const std::string start = heldPlate || speed == 0.0 ? ""
                                                      : motiondeck::nodeSet(2, moving) + "*INITIAL_VELOCITY\n" +
                                                            card({"2"}) + card({motiondeck::num(speed), "0.0", "0.0"});
  return p.cards() + b.cards() + motiondeck::nodeSet(1, held) + "*BOUNDARY_SPC_SET\n" +
         card({"1", "0", "1", "1", "1", "1", "1", "1"}) + start + "*DEFINE_CURVE\n" + card({"1"}) +
         card({"0.0", "1.0"}) + card({"100.0", "1.0"}) + "*LOAD_BODY_Z\n" + card({"1", motiondeck::num(kGravity)}) +
         "*CONTACT_SURFACE_TO_SURFACE\n" + card({"2", "1", "3", "3"}) +
         card({motiondeck::num(heldPlate ? 0.0 : kFriction)}) + card({"0.0"}) + motiondeck::termination(endTime);
}

}  // namespace restingblock

// A stack of the soft blocks above on the plate held at every node, under
// gravity, friction 0.5: each block 1 mm above the one below (the lowest
// above the plate), every second one shifted by `shift` along x and y; one
// single surface over the model, or a surface-to-surface contact of each
// block on the body below.  Block k (0 the lowest) has nodes
// kPlateNodes + 27 k + 1 ...
namespace restingstack {

inline std::string deck(int blocks, double shift, bool singleSurface, double endTime = 1.0) {
  const std::string friction = card({motiondeck::num(restingblock::kFriction)}) + card({"0.0"});
  std::string cards = restingblock::plate().cards(), contact;
  std::vector<int> held;
  for (int k = 0; k < blocks; ++k) {
    motiondeck::Block b = restingblock::block();
    b.part = k + 2, b.nodeOffset = restingblock::kPlateNodes + 27 * k, b.elementOffset = 16 + 8 * k;
    b.origin[0] += k % 2 * shift, b.origin[1] += k % 2 * shift, b.origin[2] = 1e-3 + k * 0.101;
    cards += b.cards();
    contact +=
        "*CONTACT_SURFACE_TO_SURFACE\n" + card({std::to_string(k + 2), std::to_string(k + 1), "3", "3"}) + friction;
  }
  if (singleSurface) contact = "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"0", "0", "5"}) + friction;
  for (int n = 1; n <= restingblock::kPlateNodes; ++n) held.push_back(n);
  return cards + motiondeck::nodeSet(1, held) + "*BOUNDARY_SPC_SET\n" + card({"1", "0", "1", "1", "1", "1", "1", "1"}) +
         motiondeck::curve(1, {{0.0, 1.0}, {100.0, 1.0}}) + "*LOAD_BODY_Z\n" +
         card({"1", motiondeck::num(restingblock::kGravity)}) + contact + motiondeck::termination(endTime);
}

}  // namespace restingstack

// Two stacked steel blocks of 4 x 4 x 4 hexahedra (10 mm cells, nu = 0), the
// lower held at its base along z, touching; a pressure steps onto the top
// face at time 0.  The top moves down at most 2 p (h1 + h2) / E, as one
// block of the stack's height would.
namespace pressedstack {

constexpr double kCell = 0.01;
constexpr double kYoung = 2.1e11;
constexpr double kPressure = 1e8;
constexpr int kBlockNodes = 125;  // lower block 1-125, upper 126-250

inline motiondeck::Block block(int part) {
  motiondeck::Block b;
  b.nx = b.ny = b.nz = 4;
  b.h = kCell;
  b.part = part;
  b.origin[2] = (part - 1) * 4 * kCell;
  b.nodeOffset = (part - 1) * kBlockNodes;
  b.elementOffset = (part - 1) * 64;
  b.density = 7850.0;
  b.young = kYoung;
  return b;
}

inline std::string deck(double endTime) {
  const motiondeck::Block lower = block(1), upper = block(2);
  std::vector<int> base;
  std::string top = "*SET_SEGMENT\n" + card({"1"});
  for (int j = 0; j <= 4; ++j)
    for (int i = 0; i <= 4; ++i) {
      base.push_back(lower.node(i, j, 0));
      if (i < 4 && j < 4)
        top += card({std::to_string(upper.node(i, j, 4)), std::to_string(upper.node(i + 1, j, 4)),
                     std::to_string(upper.node(i + 1, j + 1, 4)), std::to_string(upper.node(i, j + 1, 4))});
    }
  return lower.cards() + upper.cards() + motiondeck::nodeSet(1, base) + "*BOUNDARY_SPC_SET\n" +
         card({"1", "0", "0", "0", "1", "0", "0", "0"}) + top + motiondeck::curve(1, {{0.0, 1.0}, {1.0, 1.0}}) +
         "*LOAD_SEGMENT_SET\n" + card({"1", "1", motiondeck::num(kPressure)}) + "*CONTACT_SURFACE_TO_SURFACE\n" +
         card({"2", "1", "3", "3"}) + card({"0.0"}) + card({"0.0"}) + motiondeck::termination(endTime);
}

}  // namespace pressedstack

// A steel cube of 2 x 2 x 2 hexahedra (10 mm cells) rattling at 10 m/s
// between two equal blocks held at their far faces, 0.1 mm from each,
// offset from them by half a cell along x and a quarter along y so that
// nodes of each body meet the inside of the other's faces: it strikes the
// lower block, flies up to the upper one, and back, several times.
namespace rattlingcube {

constexpr double kCell = 0.01;
constexpr double kGap = 1e-4;
constexpr double kSpeed = 10.0;
constexpr int kBlockNodes = 27;  // lower block 1-27, cube 28-54, upper block 55-81

inline motiondeck::Block body(int part, double x, double y, double bottom) {
  motiondeck::Block b = blockdrop::block(part, bottom);
  b.origin[0] = x;
  b.origin[1] = y;
  b.nodeOffset = (part - 1) * kBlockNodes;
  b.elementOffset = (part - 1) * 8;
  b.material = 1;
  return b;
}

// wholeModel: one single-surface contact of the whole model, else a
// surface-to-surface contact of the cube (slave) with each block.
inline std::string deck(bool wholeModel, double endTime) {
  const motiondeck::Block lower = body(1, 0.0, 0.0, 0.0);
  const motiondeck::Block cube = body(2, 0.5 * kCell, 0.25 * kCell, 2 * kCell + kGap);
  const motiondeck::Block upper = body(3, 0.0, 0.0, 4 * kCell + 2 * kGap);
  std::vector<int> held, moving;
  for (int j = 0; j <= 2; ++j)
    for (int i = 0; i <= 2; ++i) {
      held.push_back(lower.node(i, j, 0));
      held.push_back(upper.node(i, j, 2));
    }
  for (int n = 1; n <= kBlockNodes; ++n) moving.push_back(kBlockNodes + n);
  std::string contact;
  if (wholeModel) {
    contact = "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"0", "0", "5"}) + card({"0.0"}) + card({"0.0"});
  } else {
    for (const char* master : {"1", "3"})
      contact += "*CONTACT_SURFACE_TO_SURFACE\n" + card({"2", master, "3", "3"}) + card({"0.0"}) + card({"0.0"});
  }
  return lower.cards() + cube.cards() + upper.cards() + motiondeck::nodeSet(1, held) + "*BOUNDARY_SPC_SET\n" +
         card({"1", "0", "1", "1", "1", "1", "1", "1"}) + motiondeck::nodeSet(2, moving) + "*INITIAL_VELOCITY\n" +
         card({"2"}) + card({"0.0", "0.0", motiondeck::num(-kSpeed)}) + contact + motiondeck::termination(endTime);
}

}  // namespace rattlingcube

// Two steel blocks of 2 x 2 x 2 hexahedra (10 mm cells; lower nodes 1-27,
// upper nodes 28-54), the lower one held at its base, the upper one moving
// down onto it, in the configurations where contact used to let go.
namespace twoblocks {

constexpr double kCell = blockdrop::kCell;
constexpr int kBlockNodes = blockdrop::kBlockNodes;

struct Layout {
  double gap = 1e-4;          // below 0: the upper block starts that deep inside the lower one
  double dx = 0.0, dy = 0.0;  // offset of the upper block
  double speed = blockdrop::kSpeed;
  bool onePart = false;                                                                 // both blocks in part 1
  std::string contact = "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"0", "0", "5"});  // whole model
  double endTime = 2e-4;
  // Cells of both blocks (lower, upper; cubes of edge cell[0], cell[1]),
  // whether every node of the lower one is held, not only its base, the
  // material of both (steel in kg, m, s) and further control cards.
  int cells[2][3] = {{2, 2, 2}, {2, 2, 2}};
  double cell[2] = {kCell, kCell};
  bool holdLower = false;
  bool holdBase = true;  // false: no node of the lower block is held
  double density = 7850.0, young = 2.1e11;
  double lowerMass = 1.0;  // the lower block's density over `density`
  std::string controls = "";
};

// The two blocks: lower from z = 0, upper `gap` above it, its nodes and
// elements numbered after the lower block's.
inline motiondeck::Block block(const Layout& l, bool upper) {
  motiondeck::Block b = blockdrop::block(upper && !l.onePart ? 2 : 1, 0.0);
  b.nx = l.cells[upper][0];
  b.ny = l.cells[upper][1];
  b.nz = l.cells[upper][2];
  b.h = l.cell[upper];
  b.density = upper ? l.density : l.density * l.lowerMass;
  b.young = l.young;
  b.nodeOffset = b.elementOffset = 0;
  if (!upper) return b;
  const motiondeck::Block lower = block(l, false);
  b.origin[0] = l.dx;
  b.origin[1] = l.dy;
  b.origin[2] = lower.nz * l.cell[0] + l.gap;
  b.nodeOffset = lower.nodeCount();
  b.elementOffset = lower.nx * lower.ny * lower.nz;
  return b;
}

inline std::string deck(const Layout& l) {
  const motiondeck::Block lower = block(l, false), upper = block(l, true);
  std::string upperCards = upper.cards();
  if (l.onePart) upperCards.erase(upperCards.find("*PART"));
  std::vector<int> held, moving;
  for (int n = 1; n <= lower.nodeCount(); ++n) {
    if (l.holdLower || (l.holdBase && n <= (lower.nx + 1) * (lower.ny + 1))) held.push_back(n);
  }
  for (int n = 1; n <= upper.nodeCount(); ++n) moving.push_back(upper.nodeOffset + n);
  const std::string support = held.empty() ? ""
                                           : motiondeck::nodeSet(1, held) + "*BOUNDARY_SPC_SET\n" +
                                                 card({"1", "0", "1", "1", "1", "1", "1", "1"});
  return lower.cards() + upperCards + support + motiondeck::nodeSet(2, moving) + "*INITIAL_VELOCITY\n" + card({"2"}) +
         card({"0.0", "0.0", motiondeck::num(-l.speed)}) + "*SET_PART_LIST\n" + card({"3"}) + card({"1"}) + l.contact +
         card({"0.0"}) + card({"0.0"}) + motiondeck::termination(l.endTime) + l.controls +
         // The stiffness form of hourglass control keeps the faces of the
         // coarse blocks flat under contact at half a cell's offset, so that
         // the record's depth and the depth measured to the faces' triangles
         // agree (the viscous form lets the faces warp by as much as the depth).
         "*CONTROL_HOURGLASS\n" + card({"4"});
}

}  // namespace twoblocks

// A steel block of 2 x 2 x nz hexahedra (5 cm cells) on a steel plate of 4 x
// 4 hexahedra held at every node, the parts' surface-to-surface contact with
// friction mu, under a body load (g[0] along x, g[1] down) from time 0,
// starting at v (along x, down) `gap` above the plate.
namespace frictionblock {

struct Setup {
  double mu, g[2], v[2];
  int nz = 2;
  double endTime = 0.002, gap = 0.0;
};

inline std::string deck(const Setup& s) {
  motiondeck::Block p = restingblock::plate(), b = restingblock::block();
  p.young = b.young = 2.1e11;
  b.nz = s.nz;
  b.origin[2] = s.gap;
  std::vector<int> held, moving;
  for (int n = 1; n <= restingblock::kPlateNodes; ++n) held.push_back(n);
  for (int n = 1; n <= b.nodeCount(); ++n) moving.push_back(restingblock::kPlateNodes + n);
  using motiondeck::num;
  return p.cards() + b.cards() + motiondeck::nodeSet(1, held) + "*BOUNDARY_SPC_SET\n" +
         card({"1", "0", "1", "1", "1", "1", "1", "1"}) + motiondeck::nodeSet(2, moving) + "*INITIAL_VELOCITY\n" +
         card({"2"}) + card({num(s.v[0]), "0.0", num(-s.v[1])}) + motiondeck::curve(1, {{0.0, 1.0}, {1.0, 1.0}}) +
         "*LOAD_BODY_X\n" + card({"1", num(-s.g[0])}) + "*LOAD_BODY_Z\n" + card({"1", num(s.g[1])}) +
         "*CONTACT_AUTOMATIC_SURFACE_TO_SURFACE\n" + card({"2", "1", "3", "3"}) + card({num(s.mu)}) + card({"0.0"}) +
         motiondeck::termination(s.endTime);
}

}  // namespace frictionblock
