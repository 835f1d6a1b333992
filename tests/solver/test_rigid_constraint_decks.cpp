// Rigid bodies driven and held by the cards decks write for them, checked
// by the motion of their nodes in both loops: the constraint card of the
// rigid material, initial velocities given node by node, and prescribed
// motions with their birth and death times.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/nodeManager.h"
#include "solver/femdynamic.h"
#include "tests/solver/motionDeck.h"

using namespace motiondeck;

namespace {

// A rigid unit-density block of 2 x 2 x 1 cubes of 0.1 (part 1, nodes
// 1-18) and, beside it, a resting stiff elastic cube (part 2) whose step
// (4.5e-5) both loops take.
struct RigidAndBeside {
  Block body, beside;
  RigidAndBeside() {
    body.nx = body.ny = 2;
    body.h = 0.1;
    body.rigid = true;
    body.density = 1000.0;
    beside.part = 2;
    beside.h = 0.1;
    beside.density = 1000.0;
    beside.young = 4.0e9;
    beside.nodeOffset = body.nodeCount();
    beside.elementOffset = 4;
    beside.origin[0] = 1.0;
  }
  std::string cards() const { return body.cards() + beside.cards(); }
  std::vector<int> bodyNodes() const {
    std::vector<int> n;
    for (int k = 1; k <= body.nodeCount(); ++k) n.push_back(k);
    return n;
  }
  const NodeCuda& node(const std::vector<NodeCuda>& nodes, int k) const {
    return nodes[static_cast<std::size_t>(k - 1)];
  }
};

std::string initialVelocity(int set, double vx, double vy, double vz) {
  return "*INITIAL_VELOCITY\n" + card({std::to_string(set)}) + card({num(vx), num(vy), num(vz)});
}

}  // namespace

// A rigid block held in every direction by its material card (CMO 1,
// CON1 7, CON2 7) stays exactly where it is under gravity and under the
// impact of an elastic cube dropped on it, which it stops.
DEVICE_TEST(RigidConstraintDeck, HeldBodyStaysUnderGravityAndContact) {
  RigidAndBeside m;
  m.body.rigidConstraints = card({"1.0", "7", "7"});
  m.beside.origin[0] = 0.05;
  m.beside.origin[1] = 0.05;
  m.beside.origin[2] = 0.12;  // 0.02 above the held block
  std::vector<int> bottom;
  for (int j = 0; j <= 1; ++j)
    for (int i = 0; i <= 1; ++i) bottom.push_back(m.beside.node(i, j, 0));
  std::vector<int> cube;
  for (int k = 1; k <= m.beside.nodeCount(); ++k) cube.push_back(m.beside.nodeOffset + k);
  const std::string deck = m.cards() + termination(0.012) + nodeSet(2, bottom) + nodeSet(3, cube) +
                           initialVelocity(3, 0.0, 0.0, -5.0) + "*LOAD_BODY_Z\n" + card({"", "9.81"}) +
                           "*CONTACT_NODES_TO_SURFACE\n" + card({"2", "1", "4", "3"}) + card({""}) + card({""});
  double lowest = 1.0, lastVz = -5.0;
  runBothLoops("rigid_held_contact", deck, [&](const std::vector<NodeCuda>& nodes, double t, double) {
    for (int k : m.bodyNodes()) {
      for (int j = 0; j < 6; ++j) EXPECT_EQ(m.node(nodes, k).total_disp[j], 0.0) << "node " << k << " at " << t;
    }
    for (int k : bottom) lowest = std::min(lowest, m.node(nodes, k).coord[2]);
    lastVz = m.node(nodes, bottom[0]).vel[2];
  });
  // The cube reached the block and was stopped there, not carried through.
  EXPECT_GT(lowest, 0.1 - 0.005);
  EXPECT_LT(lowest, 0.1 + 0.005);
  EXPECT_GT(lastVz, -1.0);
}

// Held in z only (CON1 3, CON2 7), a block moving along x under gravity in
// z keeps its height and glides at its initial 1 m/s.
DEVICE_TEST(RigidConstraintDeck, HeldInZMovesFreelyInX) {
  RigidAndBeside m;
  m.body.rigidConstraints = card({"1.0", "3", "7"});
  const std::string deck = m.cards() + termination(0.004) + nodeSet(1, m.bodyNodes()) +
                           initialVelocity(1, 1.0, 0.0, 0.0) + "*LOAD_BODY_Z\n" + card({"", "9.81"});
  runBothLoops("rigid_held_z", deck, [&](const std::vector<NodeCuda>& nodes, double t, double dt) {
    for (int k : m.bodyNodes()) {
      const NodeCuda& n = m.node(nodes, k);
      EXPECT_EQ(n.total_disp[2], 0.0) << t;
      EXPECT_NEAR(n.vel[0], 1.0, 1e-12) << t;
      EXPECT_NEAR(n.total_disp[0], t, 1.0001 * dt) << t;
    }
  });
}

// Constraints this version cannot apply refuse the deck with a message
// naming the material and the field.
TEST(RigidConstraintDeck, ConstraintsThatCannotBeAppliedAreRefused) {
  const struct {
    const char* name;
    std::string card2, message;
  } cases[] = {
      {"rigid_local_axes", card({"-1.0", "2", "111000"}), "*MAT_RIGID 1: CMO -1 (constraints in local axes)"},
      {"rigid_bad_code", card({"1.0", "8", "0"}), "*MAT_RIGID 1: CON1 8 is not a constraint code"},
      {"rigid_bad_option", card({"2.0", "1", "0"}), "*MAT_RIGID 1: CMO 2 is not 0 (free) or 1"},
  };
  for (const auto& c : cases) {
    RigidAndBeside m;
    m.body.rigidConstraints = c.card2;
    std::string console;
    EXPECT_EQ(runProgram(c.name, m.cards() + termination(0.001), &console), 1) << c.name;
    EXPECT_NE(console.find(c.message), std::string::npos) << console;
  }
}

// One *INITIAL_VELOCITY_NODE line per node of a rigid body, as decks list
// them: the body moves at the lines' 1 m/s, not at their sum.
DEVICE_TEST(RigidInitialVelocity, LinesOnEveryNodeGiveTheirVelocityOnce) {
  RigidAndBeside m;
  std::string lines = "*INITIAL_VELOCITY_NODE\n";
  for (int k : m.bodyNodes()) lines += card({std::to_string(k), "1.0", "0.0", "-0.5"});
  runBothLoops("rigid_velocity_lines", m.cards() + termination(0.002) + lines,
               [&](const std::vector<NodeCuda>& nodes, double t, double) {
                 for (int k : m.bodyNodes()) {
                   EXPECT_NEAR(m.node(nodes, k).vel[0], 1.0, 1e-12) << t;
                   EXPECT_NEAR(m.node(nodes, k).vel[2], -0.5, 1e-12) << t;
                 }
               });
}

// Lines that disagree on one body are reported once with the value the
// body takes: the first line's.
DEVICE_TEST(RigidInitialVelocity, DisagreeingLinesAreReportedWithTheValueTaken) {
  RigidAndBeside m;
  std::string lines = "*INITIAL_VELOCITY_NODE\n";
  for (int k : m.bodyNodes()) lines += card({std::to_string(k), k == 5 ? "2.0" : "1.0"});
  testing::internal::CaptureStderr();
  double vx = 0.0;
  runWatching("rigid_velocity_disagree", m.cards() + termination(0.001) + lines,
              [&](FEMDynamic& fem, double) { vx = fem.nodeManager->node_array_cpu[0].vel[0]; });
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NEAR(vx, 1.0, 1e-12);
  const std::string report =
      "the lines on the nodes of the rigid body of part 1 (block1) disagree: (1, 0, 0, 0, 0, 0) "
      "and (2, 0, 0, 0, 0, 0); the body takes (1, 0, 0, 0, 0, 0)";
  EXPECT_NE(messages.find(report), std::string::npos) << messages;
  EXPECT_EQ(messages.find("disagree", messages.find(report) + report.size()), std::string::npos) << messages;
}

// Prescribed velocities with time windows under gravity along -x: the rigid
// body falls freely before its birth (0.002), moves at 2 m/s until its
// death (0.004) and falls freely again from there; the elastic cube's set,
// whose card writes its death as 0.0 (never), moves at 2 m/s throughout.
DEVICE_TEST(PrescribedMotionDeck, BirthAndDeathOfRigidAndSetMotions) {
  RigidAndBeside m;
  std::vector<int> cube;
  for (int k = 1; k <= m.beside.nodeCount(); ++k) cube.push_back(m.beside.nodeOffset + k);
  const std::string deck = m.cards() + termination(0.006) + nodeSet(3, cube) + "*LOAD_BODY_X\n" + card({"", "10.0"}) +
                           "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n" +
                           card({"1", "1", "0", "", "2.0", "", "0.004", "0.002"}) +
                           "*BOUNDARY_PRESCRIBED_MOTION_SET\n" + card({"3", "1", "0", "", "2.0", "", "0.0"});
  bool before = false, within = false, after = false;
  // The tolerances are a full step: the last step is shortened to end on
  // the end time.
  double dt = 0.0;
  runBothLoops("prescribed_birth_death", deck, [&](const std::vector<NodeCuda>& nodes, double t, double step) {
    dt = std::max(dt, step);
    const double v = m.node(nodes, 1).vel[0];
    if (t < 0.002) {
      EXPECT_NEAR(v, -10.0 * t, 10.0 * dt) << t;
      before = true;
    } else if (t < 0.004) {
      EXPECT_NEAR(v, 2.0, 1e-12) << t;
      within = true;
    } else {
      EXPECT_NEAR(v, 2.0 - 10.0 * (t - 0.004), 10.0 * dt) << t;
      EXPECT_LT(v, 2.0 - 1e-9) << t;
      after = true;
    }
    for (int k : cube) EXPECT_NEAR(m.node(nodes, k).vel[0], 2.0, 1e-12) << t;
  });
  EXPECT_TRUE(before && within && after);
}
