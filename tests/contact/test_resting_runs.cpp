// A soft block sliding to rest under gravity on a plate of hexahedra held at
// its base, with friction: it stops after about v^2 / (2 mu g), its bottom
// nodes crossing the plate's element edges, and then rests on the plate,
// sinking into it by less than 0.5 % of an element and no further.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "core/nodeManager.h"
#include "solver/femdynamic.h"
#include "tests/contact/contactDecks.h"

namespace {

using namespace restingblock;

// Height of the plate's top surface at (x, y): bilinear over the top nodes
// of the plate cell below, which keep their place in the plane.
double plateTop(const std::vector<NodeCuda>& nodes, double x, double y) {
  const int i = std::clamp(static_cast<int>(x / kPlateCell), 0, 3),
            j = std::clamp(static_cast<int>(y / kPlateCell), 0, 3);
  auto top = [&nodes](int a, int b) -> const NodeCuda& { return nodes[static_cast<std::size_t>(25 + a + 5 * b)]; };
  const double u = (x - top(i, j).coord[0]) / (top(i + 1, j).coord[0] - top(i, j).coord[0]);
  const double w = (y - top(i, j).coord[1]) / (top(i, j + 1).coord[1] - top(i, j).coord[1]);
  return (1 - u) * (1 - w) * top(i, j).coord[2] + u * (1 - w) * top(i + 1, j).coord[2] +
         (1 - u) * w * top(i, j + 1).coord[2] + u * w * top(i + 1, j + 1).coord[2];
}

}  // namespace

// The block elastic or a rigid body: the rigid block's corners and edges
// are kept out of the plate's faces as its nodes are.
class RestingRun : public ::testing::TestWithParam<bool> {};

DEVICE_TEST_P(RestingRun, BlockSlidesToRestOnAPlateAndStaysOnIt) {
  double deepest = 0.0, startX = -1.0;
  double halfway[2] = {0.0, 0.0}, end[2] = {0.0, 0.0};  // sink and position of the bottom face
  const bool rigid = GetParam();
  const std::string name = rigid ? "resting_rigid_block" : "resting_block";
  motiondeck::runWatching(name, deck(1.0, false, rigid), [&](FEMDynamic& fem, double time) {
    const std::vector<NodeCuda>& nodes = fem.nodeManager->node_array_cpu;
    double sink = 0.0, x = 0.0;
    for (int n = 0; n < 9; ++n) {  // the block's bottom nodes
      const NodeCuda& b = nodes[static_cast<std::size_t>(kPlateNodes + n)];
      sink = std::max(sink, plateTop(nodes, b.coord[0], b.coord[1]) - b.coord[2]);
      x += b.coord[0] / 9.0;
    }
    if (startX < 0.0) startX = x;
    deepest = std::max(deepest, sink);
    double* now = time <= 0.5 ? halfway : end;
    now[0] = sink;
    now[1] = x;
  });
  EXPECT_LT(deepest, 0.005 * kBlockCell);
  // At rest from halfway on: it neither sinks further nor creeps (it still
  // rings on the plate, undamped).
  EXPECT_LT(std::fabs(end[0] - halfway[0]), 1e-4 * kBlockCell);
  EXPECT_LT(std::fabs(end[1] - halfway[1]), 1e-3 * kBlockCell);
  const double slide = 1.0 / (2.0 * kFriction * kGravity);
  EXPECT_NEAR(end[1] - startX, slide, 0.05 * slide);
}

INSTANTIATE_TEST_SUITE_P(Blocks, RestingRun, ::testing::Bool());

// Contacts that must hold, whatever holds or drives the bodies, run as
// decks through the GPU loop (tests/solver/test_host_loop.cpp runs them
// through the host loop too): a soft block resting on a plate whose every
// node is held, a rigid block striking an elastic one (from a gap, or
// touching or slightly inside it at the start, its corners on the elastic
// block's; or only the elastic block's nodes held out of the rigid one's
// faces) or resting on it under gravity, a thick shell plate falling onto a thin held one, and two
// blocks pressed by a pressure stepped onto the top.  No
// slave node stays inside the master by more than a small share of an
// element, a moving impactor never leaves with more kinetic energy than it
// brought, a contact made at the start keeps the momentum the bodies had,
// and the pressed stack peaks where one block of its height would.
namespace {

struct HoldCase {
  const char* name;
  std::string deck;
  double element;  // element size of the slave side
  // Nodes first .. first + count - 1 (0-based) of the slave face, each
  // against the master face's node with the same place (face < 0: the
  // held plane z = 0).
  int slave, face, count;
  double depthLimit;  // share of the element
  bool unloaded;      // no load works on it: its kinetic energy cannot rise
  double peak;        // analytic peak of the top (0: none)
  double startFall;   // the last node's downward acceleration written at time 0 (0: not checked)
  // Speed down of the nodes from slave on at the start, the others at rest:
  // at time 0 all nodes together have the momentum they had (0: not checked).
  double startSpeed = 0.0;
  // The slave and face nodes repeat `layers` times, each `stride` nodes on
  // (the faces of a stack's blocks).  From `settle` on (0: not checked) the
  // last layer neither sinks nor rises: the middle of its swing over
  // [settle, 2 settle) and later agree within a 500th of an element.
  int layers = 1, stride = 0;
  double settle = 0.0;
};

void PrintTo(const HoldCase& c, std::ostream* os) { *os << c.name; }

const NodeCuda& at(const std::vector<NodeCuda>& n, int index) { return n[static_cast<std::size_t>(index)]; }

double kineticEnergy(const std::vector<NodeCuda>& nodes) {
  double e = 0.0;
  for (const NodeCuda& n : nodes) e += 0.5 * n.mass * (n.vel[0] * n.vel[0] + n.vel[1] * n.vel[1] + n.vel[2] * n.vel[2]);
  return e;
}

std::string movingShellsAtRest() {  // its upper plate at 10 m/s
  std::string d = deckcase::readText(deckcase::caseFolder("shells_at_rest") / "deck.k");
  return d.insert(d.rfind("*END"), motiondeck::nodeSet(2, {10, 11, 12, 13, 14, 15, 16, 17, 18}) +
                                       "*INITIAL_VELOCITY\n" + card({"2"}) + card({"0.0", "0.0", "-10.0"}));
}

class HoldingContact : public ::testing::TestWithParam<HoldCase> {};

DEVICE_TEST_P(HoldingContact, NoNodeStaysInsideAndNothingGainsEnergy) {
  const HoldCase& c = GetParam();
  double deepest = 0.0, energy0 = -1.0, mostEnergy = 0.0, peak = 0.0, startFall = 0.0, momentum[2] = {0.0, 0.0};
  double swing[2][2] = {{1e30, -1e30}, {1e30, -1e30}};  // lowest and highest of the last layer in each window
  motiondeck::runWatching(std::string("holding_") + c.name, c.deck, [&](FEMDynamic& fem, double time) {
    const std::vector<NodeCuda>& n = fem.nodeManager->node_array_cpu;
    double z = 0.0;
    for (int l = 0, o = 0; l < c.layers; ++l, o += c.stride)
      for (int k = 0; k < c.count; ++k) {
        deepest =
            std::max(deepest, (c.face < 0 ? 0.0 : at(n, c.face + o + k).coord[2]) - at(n, c.slave + o + k).coord[2]);
        z += l == c.layers - 1 ? at(n, c.slave + o + k).coord[2] / c.count : 0.0;
      }
    double* w = swing[time < 2 * c.settle ? 0 : 1];
    if (c.settle > 0.0 && time >= c.settle) w[0] = std::min(w[0], z), w[1] = std::max(w[1], z);
    const double e = kineticEnergy(n);
    if (energy0 < 0.0) {
      energy0 = e;
      startFall = -n.back().accel[2];
      for (std::size_t k = 0; k < n.size(); ++k) {
        momentum[0] -= k >= static_cast<std::size_t>(c.slave) ? n[k].mass * c.startSpeed : 0.0;
        momentum[1] += n[k].mass * n[k].vel[2];
      }
    }
    mostEnergy = std::max(mostEnergy, e);
    if (c.peak <= 0.0) return;
    double top = 0.0;  // the stack's top face, down
    for (int k = 0; k < 25; ++k) top -= at(n, 2 * pressedstack::kBlockNodes - 25 + k).total_disp[2] / 25.0;
    peak = std::max(peak, top);
  });
  EXPECT_LT(deepest, c.depthLimit * c.element) << c.name;
  const double sank = 0.5 * (swing[0][0] + swing[0][1] - swing[1][0] - swing[1][1]);
  if (c.settle > 0.0) {
    EXPECT_LT(std::fabs(sank), 2e-3 * c.element) << c.name << " still sinks";
  }
  if (c.unloaded) {
    EXPECT_LE(mostEnergy, energy0 * (1.0 + 1e-9)) << c.name;
  }
  if (c.peak > 0.0) {
    EXPECT_NEAR(peak, c.peak, 0.03 * c.peak) << c.name;
  }
  // The state at time 0 shows the loads' acceleration beside the contact's.
  if (c.startFall > 0.0) {
    EXPECT_NEAR(startFall, c.startFall, 1e-9 * c.startFall) << c.name;
  }
  if (c.startSpeed > 0.0) {
    EXPECT_NEAR(momentum[1], momentum[0], -1e-9 * momentum[0]) << c.name;
  }
  std::printf(
      "%s: deepest %.3g %% of an element, kinetic energy up to %.4g of its start, top peak %.4g of %.4g, "
      "sinks %.3g mm\n",
      c.name, 100.0 * deepest / c.element, energy0 > 0.0 ? mostEnergy / energy0 : 0.0, peak, c.peak, 1e3 * sank);
}

INSTANTIATE_TEST_SUITE_P(
    Decks, HoldingContact,
    ::testing::Values(
        HoldCase{"held_plate", deck(0.1, true), kBlockCell, kPlateNodes, -1, 9, 1e-3, false, 0.0, kGravity},
        HoldCase{"rigid_impactor", blockdrop::deck(1e-4, true, 1e-4, true), blockdrop::kCell, blockdrop::kBlockNodes,
                 18, 9, 1e-3, true, 0.0, 0.0},
        HoldCase{"rigid_touching", blockdrop::deck(0.0, false, 1e-4, true), blockdrop::kCell, blockdrop::kBlockNodes,
                 18, 9, 1e-3, true, 0.0, 0.0, blockdrop::kSpeed},
        HoldCase{"rigid_resting",
                 blockdrop::deck(0.0, false, 2e-3, true, 0.0) + motiondeck::curve(1, {{0.0, 1.0}, {100.0, 1.0}}) +
                     "*LOAD_BODY_Z\n" + card({"1", "9.81"}),
                 blockdrop::kCell, blockdrop::kBlockNodes, 18, 9, 1e-3, false, 0.0, 0.0},
        HoldCase{"rigid_overlapping", blockdrop::deck(-3e-6, true, 1e-4, true), blockdrop::kCell,
                 blockdrop::kBlockNodes, 18, 9, 1e-3, true, 0.0, 0.0, blockdrop::kSpeed},
        HoldCase{"rigid_touching_one_way", blockdrop::nodesToSurface(blockdrop::deck(0.0, false, 1e-4, true)),
                 blockdrop::kCell, blockdrop::kBlockNodes, 18, 9, 1e-3, true, 0.0, 0.0, blockdrop::kSpeed},
        HoldCase{"rigid_on_coarse_plate", deck(0.1, false, true, 0.0), kBlockCell, kPlateNodes, -1, 9, 1e-3, false, 0.0,
                 0.0},
        HoldCase{"shells_at_rest", deckcase::readText(deckcase::caseFolder("shells_at_rest") / "deck.k"), 0.01, 9, -1,
                 9, 1e-3, true, 0.0, 0.0},
        HoldCase{"thick_on_thin", deckcase::readText(deckcase::caseFolder("thick_on_thin") / "deck.k"), 0.01, 9, -1, 9,
                 1e-3, true, 0.0, 0.0},
        // Shell plates starting inside a held one: edge-on (the edge stops before time 0 is written) and face on face.
        HoldCase{"shell_edge_on", deckcase::readText(deckcase::caseFolder("shell_edge_on") / "deck.k"), 0.005, 9, -1, 3,
                 1e-3, false, 0.0, 0.0},
        HoldCase{"shells_overlapping_moving", movingShellsAtRest(), 0.01, 9, -1, 9, 1e-3, true, 0.0, 0.0},
        HoldCase{"pressed_stack", pressedstack::deck(6e-5), pressedstack::kCell, pressedstack::kBlockNodes, 100, 25,
                 1e-3, false, 2.0 * pressedstack::kPressure * 8 * pressedstack::kCell / pressedstack::kYoung, 0.0},
        // Stacks dropped onto the held plate: each block's bottom face against the top face of the one below.
        HoldCase{"stack_of_2", restingstack::deck(2, 0.0, true), kBlockCell, kPlateNodes + 27, kPlateNodes + 18, 9,
                 1e-3, false, 0.0, 0.0, 0.0, 1, 27, 0.35},
        HoldCase{"stack_of_5", restingstack::deck(5, 0.0, true), kBlockCell, kPlateNodes + 27, kPlateNodes + 18, 9,
                 1e-3, false, 0.0, 0.0, 0.0, 4, 27, 0.35},
        HoldCase{"stack_of_5_pairs", restingstack::deck(5, 0.0, false), kBlockCell, kPlateNodes + 27, kPlateNodes + 18,
                 9, 1e-3, false, 0.0, 0.0, 0.0, 4, 27, 0.35}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
