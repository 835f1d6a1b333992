// The .inp reader against the keyword reader: the same model written both
// ways must run the same.
#include "tests/deviceTest.h"

#include <cmath>
#include <fstream>

#include "tests/decks/deckCase.h"

using namespace deckcase;

namespace {}  // namespace

DEVICE_TEST(InpDecks, BarRunsAsItsKeywordTwin) {
  const std::vector<Sample> inp = runCaseDeck("inp_bar", "deck.inp");
  const std::vector<Sample> key = runCaseDeck("inp_bar", "deck.k");
  expectTwins(inp, key);
  ASSERT_FALSE(inp.empty());
  // The mass of the bar; the clamped end stands still.
  double mass = 0.0;
  for (const NodeCuda& node : inp.front().nodes) mass += node.mass;
  EXPECT_NEAR(mass, 3.0 * 7.85e-9, 1e-12 * 3.0 * 7.85e-9);
  for (int n = 0; n < 4; ++n) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(inp.back().nodes[static_cast<size_t>(n)].total_disp[k], 0.0, 1e-15);
  }
  // The free end has moved (the bar rings against its clamped end, about
  // v L / c = 5e-4 mm either way): the run is not a model at rest.
  EXPECT_GT(std::fabs(inp.back().nodes[15].total_disp[0]), 1e-4);
}

// Steel with nu = 0.3: each block is one hexahedron free to breathe on its
// own, whose volume mode outruns the plain step; the run must stay bounded
// (it grew without bound) and the upper block (nodes 9-16) leave upwards.
DEVICE_TEST(InpDecks, ContactPairRunsAsItsKeywordTwin) {
  const std::vector<Sample> inp = runCaseDeck("inp_blocks", "deck.inp");
  expectTwins(inp, runCaseDeck("inp_blocks", "deck.k"));
  ASSERT_FALSE(inp.empty());
  double fastest = 0.0;
  for (const Sample& s : inp)
    for (const NodeCuda& n : s.nodes)
      for (int k = 0; k < 3; ++k) fastest = std::fmax(fastest, std::fabs(n.vel[k]));
  EXPECT_LT(fastest, 2.0e4);  // twice the impact speed, mm/s
  double vz = 0.0;
  for (size_t n = 8; n < 16; ++n) vz += inp.back().nodes[n].vel[2] / 8.0;
  EXPECT_GT(vz, 0.0);
}

// A cube moved whole by boundaries: a displacement without an amplitude is
// reached linearly over the step; a velocity follows its amplitude, so the
// distance is the area under value x amplitude.
DEVICE_TEST(InpDecks, BoundaryMotionsFollowTheirAmplitudes) {
  const std::string cube =
      "*Node\n1, 0., 0., 0.\n2, 1., 0., 0.\n3, 1., 1., 0.\n4, 0., 1., 0.\n"
      "5, 0., 0., 1.\n6, 1., 0., 1.\n7, 1., 1., 1.\n8, 0., 1., 1.\n"
      "*Element, type=C3D8R, elset=CUBE\n1, 1, 2, 3, 4, 5, 6, 7, 8\n*Nset, nset=ALL, generate\n1, 8\n"
      "*Solid Section, elset=CUBE, material=STEEL\n*Material, name=STEEL\n*Density\n7.85e-9\n*Elastic\n210000., 0.3\n"
      "*Amplitude, name=UP\n0., 0., 1e-5, 1.\n"
      "*Boundary\nALL, 1, 1, 0.01\n*Boundary, type=VELOCITY, amplitude=UP\nALL, 2, 2, 2.\nALL, 3, 3, 0.\n"
      "*Step\n*Dynamic, Explicit\n, 1e-5\n*End Step\n";
  const fs::path scratch = scratchFolder("inp_boundary_motions");
  std::ofstream(scratch / "deck.inp") << cube;
  const std::vector<Sample> samples = runInProcessAt(scratch);
  ASSERT_GT(samples.size(), 10u);
  const Sample& last = samples.back();
  const double t = last.time;
  // Within one step of motion: the sample may stand a step off the state.
  const double dt = t - samples[samples.size() - 2].time;
  for (const NodeCuda& node : last.nodes) {
    EXPECT_NEAR(node.total_disp[0], 0.01 * t / 1e-5, 1.01 * 0.01 * dt / 1e-5) << "node " << node.id;
    EXPECT_NEAR(node.total_disp[1], 2.0 * t * t / 2e-5, 1.01 * 2.0 * t / 1e-5 * dt) << "node " << node.id;
    EXPECT_NEAR(node.total_disp[2], 0.0, 1e-15) << "node " << node.id;
  }
}
