// Rigid walls: the force on nodes near a fixed finite wall (host and device
// twins alike), and walls moved by a curve carrying a block that rests on
// them, driven from the deck through the GPU time loop.
#include <gtest/gtest.h>

#include <cmath>

#include "core/nodeManager.h"
#include "solver/femdynamic.h"
#include "solver/rigidwall.h"
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

TEST(RigidWallForce, FiniteWallPushesOnlyApproachingNodesInsideIt) {
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
  wall.applyForceCpu(0.0, dt);
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
TEST(RigidWallDeck, MovingWallCarriesARestingBlock) {
  for (const char* kind : {"0", "1"}) {
    Block b;
    b.h = 0.1;
    b.origin[0] = b.origin[1] = 0.1;
    b.rigid = true;
    const std::string curve = std::string(kind) == "0" ? "0 1\n1 1\n" : "0 0\n1 1\n";
    const std::string deck = b.cards() + termination(0.03) + "*DEFINE_CURVE\n" + card({"3"}) + curve +
                             "*RIGIDWALL_GEOMETRIC_FLAT_MOTION\n" + card({"0"}) +
                             card({"0", "0", "0", "0", "0", "1"}) + card({"1", "0", "0", "0.5", "0.5"}) +
                             card({"3", kind, "0", "0", "1"});
    const auto samples = run(std::string("moving_wall_") + kind, deck);
    ASSERT_GT(samples.size(), 20u);
    const deckcase::Sample& last = samples.back();
    for (int i = 0; i <= 1; ++i)
      for (int j = 0; j <= 1; ++j) {
        const NodeCuda& n = last.nodes[static_cast<std::size_t>(b.node(i, j, 0) - 1)];
        EXPECT_NEAR(n.vel[2], 1.0, 1e-6) << kind;
        EXPECT_GT(n.coord[2], last.time - 2.0 * (last.time - samples[samples.size() - 2].time)) << kind;
      }
  }
}
