// The end-to-end decks of tests/decks run once through the GPU loop and
// once through the host-only loop: with the same steps both give the same
// motion of every node, cycle by cycle, to rounding (the host hands element
// forces to the nodes element by element, the device node by node).
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "tests/contact/contactDecks.h"
#include "tests/decks/deckCase.h"
#include "tests/elements/common/lineElementRun.h"
#include "tests/solver/motionDeck.h"

namespace {

// The host loop caps its steps at 5e-5, the GPU loop at 1e-3: a deck whose
// steps lie between is run with a smaller safe factor (a *CONTROL_TIMESTEP
// card added), so that both loops take the same steps.
struct LoopCase {
  const char* deck;
  int nodes;                // nodes traced: 1 .. nodes
  double safeFactor = 0.0;  // 0: the deck's own steps
  std::string text = {};    // the deck itself, when it is not a case of tests/decks
};

// How gtest shows a case (otherwise as the bytes of the record).
void PrintTo(const LoopCase& c, std::ostream* os) {
  *os << c.deck << " (" << c.nodes << " nodes traced";
  if (c.safeFactor > 0.0) *os << ", safe factor " << c.safeFactor;
  *os << ")";
}

std::string deckText(const LoopCase& c) {
  std::string text = c.text.empty() ? deckcase::readText(deckcase::caseFolder(c.deck) / "deck.k") : c.text;
  if (c.safeFactor > 0.0) {
    char card[64];
    std::snprintf(card, sizeof(card), "*CONTROL_TIMESTEP\n%10.1f%10.3f\n", 0.0, c.safeFactor);
    text.insert(text.rfind("*END"), card);
  }
  return text;
}

linerun::Trace runLoop(const LoopCase& c, bool host) {
  linerun::RunOptions options;
  for (int n = 1; n <= c.nodes; ++n) options.traced.push_back(n);
  options.hostLoop = host;
  return linerun::runDeck(std::string("host_loop_") + c.deck + (host ? "_host" : "_gpu"), deckText(c), options);
}

// Largest magnitude of a nodal field over the whole run: the scale of the
// relative comparison.
template <typename Field>
double fieldScale(const linerun::Trace& t, Field field) {
  double m = 0.0;
  for (const auto& cycle : t.nodes)
    for (const NodeCuda& n : cycle)
      for (int k = 0; k < 3; ++k) m = std::max(m, std::fabs(field(n)[k]));
  return m;
}

class BothLoops : public testing::TestWithParam<LoopCase> {};

DEVICE_TEST_P(BothLoops, SameMotionEveryCycle) {
  const LoopCase c = GetParam();
  const linerun::Trace gpu = runLoop(c, false);
  const linerun::Trace host = runLoop(c, true);
  ASSERT_GT(gpu.time.size(), 3u) << gpu.console;
  // Both loops write each state once, the last at the end of the run.
  ASSERT_EQ(host.time.size(), gpu.time.size()) << host.console;

  auto coord = [](const NodeCuda& n) { return n.coord; };
  auto vel = [](const NodeCuda& n) { return n.vel; };
  const double xs = fieldScale(gpu, coord), vs = std::max(fieldScale(gpu, vel), 1e-300);
  int worstCycle = -1;
  double worst = 0.0;
  for (size_t k = 0; k < gpu.time.size(); ++k) {
    ASSERT_NEAR(host.time[k], gpu.time[k], 1e-12 * gpu.time.back()) << "cycle " << k;
    for (size_t i = 0; i < gpu.nodes[k].size(); ++i) {
      const NodeCuda &a = gpu.nodes[k][i], &b = host.nodes[k][i];
      for (int j = 0; j < 3; ++j) {
        const double e = std::max(std::fabs(a.coord[j] - b.coord[j]) / xs, std::fabs(a.vel[j] - b.vel[j]) / vs);
        if (e > worst) {
          worst = e;
          worstCycle = static_cast<int>(k);
        }
      }
    }
  }
  EXPECT_LT(worst, 1e-9) << c.deck << ": largest relative difference " << worst << " at cycle " << worstCycle;
  // The run moved: the comparison is not between two resting models.
  EXPECT_GT(vs, 0.0);
}

// A vibrating steel bar beside a spinning rigid block of much finer
// elements: the rigid elements give no step and no force on either loop,
// so the host takes the bar's step and the block turns as a body.
LoopCase barBesideRigidBlock() {
  using motiondeck::Block;
  Block bar;
  bar.nx = 6;
  bar.h = 0.01;
  bar.density = 7850.0;
  bar.young = 2e11;
  Block body;
  body.part = 2;
  body.h = 0.001;
  body.nx = 2;
  body.rigid = true;
  body.density = 7850.0;
  body.young = 2e11;
  body.origin[1] = 0.1;
  body.nodeOffset = bar.nodeCount();
  body.elementOffset = 6;
  std::vector<int> end, block;
  for (int k = 0; k <= 1; ++k)
    for (int j = 0; j <= 1; ++j) end.push_back(bar.node(6, j, k));
  for (int n = 1; n <= body.nodeCount(); ++n) block.push_back(body.nodeOffset + n);
  const std::string deck = "*KEYWORD\n" + bar.cards() + body.cards() + motiondeck::termination(5e-4, 300) +
                           motiondeck::nodeSet(1, end) + motiondeck::nodeSet(2, block) + "*INITIAL_VELOCITY\n" +
                           card({"1"}) + card({"2.0", "0.5"}) + "*INITIAL_VELOCITY\n" + card({"2"}) +
                           card({"0.1", "0.0", "0.0", "0.0", "0.0", "40.0"}) + "*END\n";
  return LoopCase{"bar_beside_rigid_block", bar.nodeCount() + body.nodeCount(), 0.0, deck};
}

// The free plate of shells with a pressure on its first two rows of
// shells: the host loop loads the same shells with the same nodal forces.
LoopCase plateUnderPressure() {
  std::string deck = deckcase::readText(deckcase::caseFolder("shell_plate") / "deck.k");
  const std::string load = "*SET_SHELL_LIST\n" + card({"4"}) + card({"1", "2", "3", "4", "5", "6", "7", "8"}) +
                           card({"9", "10", "11", "12"}) + "*LOAD_SHELL_SET\n" + card({"4", "0", "1000.0"});
  deck.insert(deck.rfind("*END"), load);
  return LoopCase{"shell_plate_pressure", 35, 0.0, deck};
}

// A steel block dropped on a held one, the contact naming the lower block
// first: the nodes of both faces meet nodes, edges and corners of the other.
LoopCase blockDrop() {
  return LoopCase{"block_drop", 2 * blockdrop::kBlockNodes, 0.0,
                  "*KEYWORD\n" + blockdrop::deck(1e-4, false) + "*END\n"};
}

// A soft block sliding with friction on a held plate of hexahedra under
// gravity, its bottom nodes pressed on the plate's faces.
LoopCase restingBlock() {
  return LoopCase{"resting_block", restingblock::kPlateNodes + 27, 0.2,
                  "*KEYWORD\n" + restingblock::deck(0.02) + "*END\n"};
}

// Contacts that hold (tests/contact/test_resting_runs.cpp): the soft block
// resting on a plate whose every node is held, a rigid block striking an
// elastic one (and one slightly inside it at the start), and two blocks
// pressed by a stepped pressure.
LoopCase heldPlate() {
  return LoopCase{"held_plate", restingblock::kPlateNodes + 27, 0.2,
                  "*KEYWORD\n" + restingblock::deck(0.02, true) + "*END\n"};
}
LoopCase rigidImpactor() {
  return LoopCase{"rigid_impactor", blockdrop::kBlockNodes + 18, 0.0,
                  "*KEYWORD\n" + blockdrop::deck(1e-4, true, 4e-5, true) + "*END\n"};
}
LoopCase rigidTouchingOneWay() {
  return LoopCase{"rigid_touching_one_way", blockdrop::kBlockNodes + 18, 0.0,
                  "*KEYWORD\n" + blockdrop::nodesToSurface(blockdrop::deck(0.0, false, 1e-4, true)) + "*END\n"};
}
LoopCase pressedStack() {
  return LoopCase{"pressed_stack", 2 * pressedstack::kBlockNodes, 0.0,
                  "*KEYWORD\n" + pressedstack::deck(4e-5) + "*END\n"};
}

INSTANTIATE_TEST_SUITE_P(Decks, BothLoops,
                         testing::Values(LoopCase{"wave_hexa", 164, 0.15}, LoopCase{"wave_tetra", 164, 0.15},
                                         LoopCase{"wave_fixed_end", 164}, LoopCase{"wave_rubber", 164, 0.15},
                                         LoopCase{"free_flight", 27, 0.02}, LoopCase{"one_hexahedron", 8, 0.02},
                                         LoopCase{"shell_plate", 35}, LoopCase{"bar_on_wall", 164},
                                         LoopCase{"tie_bar_wave", 685}, LoopCase{"tie_bar_inclined", 685},
                                         LoopCase{"tie_shell_edge", 17}, barBesideRigidBlock(),
                                         LoopCase{"bar_on_bar", 738}, LoopCase{"block_on_block_parts", 16},
                                         LoopCase{"block_off_edge", 33, 0.015}, LoopCase{"node_on_shell", 20, 0.05},
                                         LoopCase{"slide_friction", 33}, LoopCase{"slide_frictionless", 33},
                                         LoopCase{"sphere_on_plate", 387}, LoopCase{"static_dynamic", 33},
                                         LoopCase{"coulomb_push_4", 33}, LoopCase{"coulomb_rigid_4", 33, 0.3},
                                         plateUnderPressure(), blockDrop(), restingBlock(), heldPlate(),
                                         rigidImpactor(), pressedStack(),
                                         LoopCase{"rigid_sliding", restingblock::kPlateNodes + 27, 0.2,
                                                  "*KEYWORD\n" + restingblock::deck(0.02, false, true) + "*END\n"},
                                         LoopCase{"rigid_overlapping", blockdrop::kBlockNodes + 18, 0.0,
                                                  "*KEYWORD\n" + blockdrop::deck(-3e-6, true, 4e-5, true) + "*END\n"},
                                         LoopCase{"rigid_touching", blockdrop::kBlockNodes + 18, 0.0,
                                                  "*KEYWORD\n" + blockdrop::deck(0.0, false, 1e-4, true) + "*END\n"},
                                         rigidTouchingOneWay(), LoopCase{"shell_edge_on", 18},
                                         LoopCase{"stack_of_5", restingblock::kPlateNodes + 135, 0.2,
                                                  "*KEYWORD\n" + restingstack::deck(5, 0.0, true, 0.12) + "*END\n"}),
                         [](const testing::TestParamInfo<LoopCase>& info) { return std::string(info.param.deck); });

}  // namespace
