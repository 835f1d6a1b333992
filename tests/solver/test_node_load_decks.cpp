// Node loads and pressures written as keyword decks write them, checked by
// the motion they give: node-load cards read node (or set), DOF, curve and
// factor; DOF 5, 6, 7 turn the nodes that can turn; a positive pressure
// pushes into the body whose facets are numbered with their normals out, as
// the .inp reader's *DSLOAD does.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "core/nodeManager.h"
#include "solver/femdynamic.h"
#include "tests/solver/motionDeck.h"

using namespace motiondeck;

namespace {

// Momentum of all nodes along an axis.
double momentum(const std::vector<NodeCuda>& nodes, int axis) {
  double p = 0.0;
  for (const NodeCuda& n : nodes) p += n.mass * n.vel[axis];
  return p;
}

}  // namespace

// A free block: node 1 is pushed along x by 0.5 x a ramp to 1 over 0.01 s
// that then holds; every node of set 3 along z by curve 8 (2.0) with a blank
// factor (1.0). The block's momentum is the impulse of the curves times the
// factors; the curve ids (7, 8) are no forces.
DEVICE_TEST(NodeLoadDeck, ForceIsTheCurveTimesTheFactor) {
  Block b;
  b.h = 0.1;
  std::vector<int> all;
  for (int n = 1; n <= b.nodeCount(); ++n) all.push_back(n);
  const std::string deck = b.cards() + termination(0.02) + nodeSet(3, all) + curve(7, {{0.0, 0.0}, {0.01, 1.0}}) +
                           curve(8, {{0.0, 2.0}, {1.0, 2.0}}) + "*LOAD_NODE_POINT\n" + card({"1", "1", "7", "0.5"}) +
                           "*LOAD_NODE_SET\n" + card({"3", "3", "8"});
  runBothLoops("node_load_curves", deck, [](const std::vector<NodeCuda>& nodes, double t, double dt) {
    // The velocities stand half a step ahead of t.
    const double ramp = t < 0.01 ? 0.5 * t * t / 0.01 : 0.005 + (t - 0.01);
    EXPECT_NEAR(momentum(nodes, 0), 0.5 * ramp, 0.5 * dt + 1e-12) << t;
    EXPECT_NEAR(momentum(nodes, 2), 8 * 2.0 * t, 8 * 2.0 * dt) << t;
    EXPECT_GT(momentum(nodes, 2), 8 * 2.0 * t);
    EXPECT_NEAR(momentum(nodes, 1), 0.0, 1e-9);
  });
}

// A load whose curve the deck lacks refuses the run, naming card and curve.
TEST(NodeLoadDeck, MissingCurveRefusesTheDeck) {
  Block b;
  const std::string deck = b.cards() + termination(0.01) + "*LOAD_NODE_POINT\n" + card({"1", "1", "9", "5.0"});
  std::string console;
  EXPECT_EQ(runProgram("node_load_missing_curve", deck, &console), 1);
  EXPECT_NE(console.find("*LOAD_NODE_POINT (line 23): load curve 9 is not in the model"), std::string::npos) << console;
  EXPECT_EQ(console.find("Calculation completed"), std::string::npos);
}

// A moment about z (DOF 7) of 0.5 on one node of a free rigid unit cube of
// unit mass (I_zz of its eight corner masses: 8 x 1/8 x (1/4 + 1/4) = 0.5)
// spins it at w = M t / I = t about its centre, which stays where it is.
// (A resting elastic block beside it gives both loops the same step.)
DEVICE_TEST(NodeLoadDeck, MomentSpinsARigidBody) {
  Block b;
  b.rigid = true;
  Block beside = b;
  beside.rigid = false;
  beside.part = 2;
  beside.nodeOffset = 8;
  beside.elementOffset = 1;
  beside.origin[0] = 5.0;
  beside.young = 4.0e8;
  const std::string deck =
      b.cards() + beside.cards() + termination(0.005) + "*LOAD_NODE_POINT\n" + card({"1", "7", "", "0.5"});
  // The velocity of a state leads it by half the coming step; the last
  // step, shortened to end on the end time, makes the one before the last
  // state lag by up to half a full step.
  double fullStep = 0.0;
  runBothLoops("node_moment_rigid", deck, [&fullStep](const std::vector<NodeCuda>& nodes, double t, double dt) {
    fullStep = std::max(fullStep, dt);
    const std::vector<NodeCuda> body(nodes.begin(), nodes.begin() + 8);
    for (const NodeCuda& n : body) {
      EXPECT_NEAR(n.vel[5], t, fullStep + 1e-12) << t;
      EXPECT_GT(n.vel[5], t - 0.5 * fullStep - 1e-12) << t;
      EXPECT_NEAR(n.vel[3], 0.0, 1e-12);
      EXPECT_NEAR(n.vel[4], 0.0, 1e-12);
    }
    for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(momentum(body, axis), 0.0, 1e-12);
  });
}

// A moment about x (DOF 5) on a corner of a free shell: at the first
// update the corner turns about x at M (dt / 2) / I_x (nothing else acts
// yet), and keeps turning that way; a solid's node cannot take a moment and
// the deck is refused.
DEVICE_TEST(NodeLoadDeck, MomentTurnsAShellNodeAndIsRefusedOnASolid) {
  const std::string shell =
      "*NODE\n1 0 0 0\n2 1 0 0\n3 1 1 0\n4 0 1 0\n*ELEMENT_SHELL\n" + card({"1", "1", "1", "2", "3", "4"}, 8) +
      "*PART\nplate\n" + card({"1", "1", "1"}) + "*SECTION_SHELL\n" + card({"1", "2", "0.8333", "3"}) +
      card({"0.01", "0.01", "0.01", "0.01"}) + "*MAT_ELASTIC\n" + card({"1", "7850.0", "2.0e11", "0.3"}) +
      termination(2e-3) + "*LOAD_NODE_POINT\n" + card({"1", "5", "", "2.0"});
  const auto samples = run("node_moment_shell", shell);
  ASSERT_GT(samples.size(), 5u);
  const NodeCuda& first = samples.front().nodes[0];
  const double dt = samples[1].time - samples[0].time;
  ASSERT_GT(first.rot_inertia[0], 0.0);
  EXPECT_NEAR(first.vel[3], 2.0 * 0.5 * dt / first.rot_inertia[0], 1e-9 * first.vel[3]);
  for (const deckcase::Sample& s : samples) EXPECT_GT(s.nodes[0].vel[3], 0.0) << s.time;

  Block b;
  std::string console;
  EXPECT_EQ(runProgram("node_moment_solid",
                       b.cards() + termination(0.01) + "*LOAD_NODE_POINT\n" + card({"3", "6", "", "1.0"}), &console),
            1);
  EXPECT_NE(console.find("*LOAD_NODE_POINT (line 23): node 3 carries no rotation"), std::string::npos) << console;
  EXPECT_NE(console.find("the moment about y cannot act on it"), std::string::npos) << console;
}

// One free cube (1 x 1 x 1, C3D8R / one-point hexahedron) pressed on its
// top face by 1.0, written as an .inp deck (*DSLOAD P on face S2) and as a
// keyword deck (*LOAD_SEGMENT_SET on the face numbered with its normal out,
// and the stiffness form of hourglass control that C3D8R take): both move
// alike, the cube is pushed along -z at p A.
DEVICE_TEST(PressureDeck, KeywordAndInpDecksPushIntoTheBody) {
  const std::string nodes =
      "1, 0., 0., 0.\n2, 1., 0., 0.\n3, 1., 1., 0.\n4, 0., 1., 0.\n"
      "5, 0., 0., 1.\n6, 1., 0., 1.\n7, 1., 1., 1.\n8, 0., 1., 1.\n";
  const std::string inp = "*Node\n" + nodes + "*Element, type=C3D8R, elset=CUBE\n1, 1, 2, 3, 4, 5, 6, 7, 8\n" +
                          "*Solid Section, elset=CUBE, material=STEEL\n*Material, name=STEEL\n*Density\n7.85e-9\n" +
                          "*Elastic\n210000., 0.3\n*Surface, name=TOP\n1, S2\n*Step\n*Dynamic, Explicit\n, 2e-5\n" +
                          "*Dsload\nTOP, P, 1.\n*End Step\n";
  const std::string key = "*KEYWORD\n*NODE\n" + nodes + "*ELEMENT_SOLID\n" +
                          card({"1", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8) + "*PART\ncube\n" +
                          card({"1", "1", "1"}) + "*SECTION_SOLID\n" + card({"1", "1"}) + "*MAT_ELASTIC\n" +
                          card({"1", "7.85e-9", "210000.", "0.3"}) + "*CONTROL_HOURGLASS\n" + card({"4"}) +
                          termination(2e-5) + "*SET_SEGMENT\n" + card({"1"}) + card({"5", "6", "7", "8"}) +
                          "*LOAD_SEGMENT_SET\n" + card({"1", "0", "1.0"}) + "*END\n";
  const deckcase::fs::path inpFolder = deckcase::scratchFolder("pressure_cube_inp");
  const deckcase::fs::path keyFolder = deckcase::scratchFolder("pressure_cube_key");
  std::ofstream(inpFolder / "deck.inp") << inp;
  std::ofstream(keyFolder / "deck.k") << key;
  const std::vector<deckcase::Sample> fromInp = deckcase::runInProcessAt(inpFolder);
  const std::vector<deckcase::Sample> fromKey = deckcase::runInProcessAt(keyFolder);
  deckcase::expectTwins(fromInp, fromKey);
  ASSERT_GT(fromKey.size(), 5u);
  for (std::size_t s = 1; s < fromKey.size(); ++s) {
    const double t = fromKey[s].time, dt = t - fromKey[s - 1].time;
    // The cube is driven down, not pulled up: p A t, within a step.
    EXPECT_NEAR(-momentum(fromKey[s].nodes, 2), t, 1.01 * dt) << t;
    EXPECT_NEAR(momentum(fromKey[s].nodes, 0), 0.0, 1e-9 * t);
  }
}
