// Rigid walls: the force on nodes near a fixed finite wall (host and device
// twins alike), and walls moved by a curve carrying a block that rests on
// them, driven from the deck through the GPU time loop.
#include "tests/deviceTest.h"

#include <cmath>

#include "core/nodeManager.h"
#include "core/set.h"
#include "core/setManager.h"
#include "solver/femdynamic.h"
#include "solver/rigidwall.h"
#include "solver/setMembers.h"
#include "tests/solver/motionDeck.h"

using namespace motiondeck;

namespace {

// Nodes of unit mass: inside the wall moving down, outside the wall,
// above it, and behind it moving away.
std::vector<NodeCuda> wallNodes() {
  const double at[4][3] = {{0.5, 0.5, -0.001}, {2.0, 0.5, -0.001}, {0.5, 0.5, 0.001}, {0.2, 0.8, -0.001}};
  const double vz[4] = {-1.0, -1.0, -1.0, 2.0};
  std::vector<NodeCuda> nodes(4);
  for (int i = 0; i < 4; ++i) {
    NodeCuda& n = nodes[static_cast<std::size_t>(i)];
    n = NodeCuda{};
    n.store_id = i;
    n.mass = n.equivalent_mass = 1.0;
    for (int j = 0; j < 3; ++j) n.coord[j] = at[i][j];
    n.vel[2] = vz[i];
  }
  return nodes;
}

}  // namespace

DEVICE_TEST(RigidWallForce, FiniteWallPushesOnlyApproachingNodesInsideIt) {
  FEMDynamic fem;
  fem.newManagers();
  fem.nodeManager->node_array_cpu = wallNodes();
  RigidWall wall;
  wall.head_point[2] = 1.0;
  wall.edge_point[0] = 1.0;
  wall.edge_lengths[0] = wall.edge_lengths[1] = 1.0;
  wall.motion_mode = 2;  // fixed
  ASSERT_TRUE(wall.setCoordSystem());
  ASSERT_TRUE(wall.linkSlaveNodes(fem.nodeManager, fem.setManager));
  const double dt = 1e-3;
  fem.prev_dt = dt;
  wall.applyForceCpu(0.0, dt, dt);
  std::vector<NodeCuda> host = fem.nodeManager->node_array_cpu;
  // Brings the normal velocity to the wall's: f = m K v / dt / (m + K).
  EXPECT_NEAR(host[0].force[2], 1.0 / dt * kRigidWallStiffness / (1.0 + kRigidWallStiffness), 1e-9);
  for (int i : {1, 2, 3}) EXPECT_EQ(host[static_cast<std::size_t>(i)].force[2], 0.0) << i;
  // The device kernel gives the same forces.
  const std::vector<NodeCuda> fresh = wallNodes();
  std::copy(fresh.begin(), fresh.end(), fem.nodeManager->node_array_cpu.begin());
  fem.nodeManager->allocateAndCopyNodes();
  wall.copySlaveNodesToGpu(&fem);
  wall.applyForce(&fem, 0.0, dt);
  fem.nodeManager->copyNodesToCpu();
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(fem.nodeManager->node_array_cpu[i].force[2], host[i].force[2]);
}

// A node its set lists twice is held once: one entry of the wall's list, so
// that two threads of one launch never push it at once.
TEST(RigidWallForce, NodeListedTwiceInTheSetIsPushedOnce) {
  FEMDynamic fem;
  fem.newManagers();
  fem.nodeManager->node_array_cpu = wallNodes();
  for (NodeCuda& n : fem.nodeManager->node_array_cpu) n.id = n.store_id + 1;
  fem.nodeManager->setNodeNum();
  fem.nodeManager->checkNodeIdMap();
  Set set;
  set.type = SET_NODE;
  set.id = 5;
  set.id_array = {1, 3, 1};
  fem.setManager->addSet(set);
  resolveAllSets(*fem.setManager, &fem);
  RigidWall wall;
  wall.head_point[2] = 1.0;
  wall.motion_mode = 2;
  wall.slave_set_id = 5;
  ASSERT_TRUE(wall.setCoordSystem());
  ASSERT_TRUE(wall.linkSlaveNodes(fem.nodeManager, fem.setManager));
  EXPECT_EQ(wall.slave_node_num, 2);
  const double dt = 1e-3;
  wall.applyForceCpu(0.0, dt, dt);
  EXPECT_NEAR(fem.nodeManager->node_array_cpu[0].force[2], 1.0 / dt * kRigidWallStiffness / (1.0 + kRigidWallStiffness),
              1e-9);
}

TEST(RigidWallForce, MovingWallWithoutCurveStaysFixedAndSaysSoOnce) {
  RigidWall wall;
  wall.motion_mode = 0;
  wall.head_point[1] = 1.0;
  testing::internal::CaptureStdout();
  wall.move(1e-3, 0.0);
  wall.move(1e-3, 1e-3);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("stays fixed"), std::string::npos);
  EXPECT_EQ(out.find("stays fixed"), out.rfind("stays fixed"));
  EXPECT_EQ(wall.tail_point[1], 0.0);
}

// A finite flat wall under a rigid block moves up at speed 1, by a velocity
// curve (kind 0) or by a displacement curve (kind 1): the block rides on it
// at the wall's speed, never sinking into it by more than a step of its
// motion, and the wall's edges move with it (the block stays inside them).
DEVICE_TEST(RigidWallDeck, MovingWallCarriesARestingBlock) {
  for (const char* kind : {"0", "1"}) {
    Block b;
    b.h = 0.1;
    b.origin[0] = b.origin[1] = 0.1;
    b.rigid = true;
    const std::string curve = std::string(kind) == "0" ? "0 1\n1 1\n" : "0 0\n1 1\n";
    const std::string deck = b.cards() + termination(0.03) + "*DEFINE_CURVE\n" + card({"3"}) + curve +
                             "*RIGIDWALL_GEOMETRIC_FLAT_MOTION\n" + card({"0"}) + card({"0", "0", "0", "0", "0", "1"}) +
                             card({"1", "0", "0", "0.5", "0.5"}) + card({"3", kind, "0", "0", "1"});
    const auto samples = run(std::string("moving_wall_") + kind, deck);
    ASSERT_GT(samples.size(), 20u);
    const deckcase::Sample& last = samples.back();
    for (int i = 0; i <= 1; ++i)
      for (int j = 0; j <= 1; ++j) {
        const NodeCuda& n = last.nodes[static_cast<std::size_t>(b.node(i, j, 0) - 1)];
        EXPECT_NEAR(n.vel[2], 1.0, 1e-6) << kind;
        // Within two (full) steps behind the wall.
        EXPECT_GE(n.coord[2], last.time - 2.0 * samples[1].time - 1e-12) << kind;
      }
  }
}

// A block flying at (5, 0, -1) m/s from behind a finite wall's plane (z = 0)
// into its rectangle (0 <= x, y <= 1) is on the wall's far side: it flies on
// freely, in both loops (its nodes used to be stopped as they entered).
DEVICE_TEST(RigidWallDeck, BlockEnteringTheRectangleFromBehindFliesOnFreely) {
  const Block b{.h = 0.2, .origin = {-0.6, 0.25, -0.3}};
  const std::string deck = b.cards() + termination(0.2) + nodeSet(1, {1, 2, 3, 4, 5, 6, 7, 8}) + "*INITIAL_VELOCITY\n" +
                           card({"1"}) + card({"5.0", "0.0", "-1.0"}) + "*RIGIDWALL_PLANAR_FINITE\n" + card({"0"}) +
                           card({"0", "0", "0", "0", "0", "1"}) + card({"1", "0", "0", "1", "1"});
  runBothLoops("finite_wall_far_side", deck, [](const std::vector<NodeCuda>& nodes, double, double) {
    for (const NodeCuda& n : nodes) ASSERT_NEAR(n.vel[2], -1.0, 1e-9);
  });
}

namespace {

// A steel bar of 20 hexahedra (h = 5 mm, L = 0.1 m, nu = 0: c = 5172 m/s)
// thrown along -x at 5 m/s at a fixed wall through the origin, its end face
// starting `gap` in front of it.
std::vector<deckcase::Sample> barOnWall(const std::string& name, double gap) {
  Block bar;
  bar.nx = 20;
  bar.h = 0.005;
  bar.origin[0] = gap;
  bar.density = 7850.0;
  bar.young = 2.1e11;
  std::vector<int> all;
  for (int n = 1; n <= bar.nodeCount(); ++n) all.push_back(n);
  const std::string deck = bar.cards() + termination(6e-5) + nodeSet(1, all) + "*INITIAL_VELOCITY\n" + card({"1"}) +
                           card({"-5.0", "0.0", "0.0"}) + "*RIGIDWALL_PLANAR\n" + card({"0"}) +
                           card({"0.0", "0.0", "0.0", "1.0", "0.0", "0.0"});
  return run(name, deck);
}

}  // namespace

// The wall stops the end face where it meets it, sending a wave of stress
// rho c v through the bar; reflected at the free end it unloads the bar, and
// when it comes back (t = 2 L / c after the impact) the whole bar leaves.
// The end face leaves the wall's plane within 2 % of 2 L / c after it met
// it, whether the bar starts on the wall or 0.1 mm in front of it, and never
// goes behind it: the wall holds the end nodes on its plane, not one step's
// travel behind it (from where they had to come back before they left).  The
// bar leaves at its speed but for the share a bar of 20 lumped masses keeps
// in its vibration (2.8 %, as two such bars do in their centre-of-mass frame).
DEVICE_TEST(RigidWallDeck, BarLeavesTheWallTwoLengthsOverWaveSpeedAfterStrikingIt) {
  const double v = 5.0, h = 0.005, twoLOverC = 2.0 * 0.1 / std::sqrt(2.1e11 / 7850.0);
  for (double gap : {0.0, 1e-4}) {
    const auto samples = barOnWall(gap > 0.0 ? "bar_on_wall_apart" : "bar_on_wall_touching", gap);
    ASSERT_GT(samples.size(), 50u);
    double met = -1.0, left = -1.0, deepest = 0.0;
    for (const deckcase::Sample& s : samples) {
      double x = 0.0, speed = 0.0;  // mean position and velocity of the end face
      for (int j = 0; j <= 1; ++j)
        for (int k = 0; k <= 1; ++k) {
          const NodeCuda& n = s.nodes[static_cast<std::size_t>(Block{20}.node(0, j, k) - 1)];
          x += 0.25 * n.coord[0];
          speed += 0.25 * n.vel[0];
          deepest = std::min(deepest, n.coord[0]);
        }
      if (met < 0.0 && x < 1e-6 * h) met = s.time;  // on the plane
      // Leaving: on the plane, moving off it in the coming step.
      if (met >= 0.0 && left < 0.0 && s.time > met + 0.5 * twoLOverC && x > -1e-6 * h && speed > 0.1 * v) left = s.time;
    }
    EXPECT_NEAR(left - met, twoLOverC, 0.02 * twoLOverC) << "gap " << gap;
    EXPECT_GT(deepest, -1e-6 * h) << "gap " << gap;
    double mass = 0.0, momentum = 0.0;
    for (const NodeCuda& n : samples.back().nodes) {
      mass += n.mass;
      momentum += n.mass * n.vel[0];
    }
    EXPECT_NEAR(momentum / mass, v, 0.03 * v) << "gap " << gap;
  }
}
