// Rigid bodies: mass properties of ordinary and degenerate bodies, then
// bodies driven from the deck through the GPU time loop.
#include "tests/deviceTest.h"

#include <cmath>

#include "core/node.h"
#include "core/nodeManager.h"
#include "solver/femdynamic.h"
#include "solver/rigidmanager.h"
#include "tests/solver/motionDeck.h"

using namespace motiondeck;

namespace {

// A body of unit-mass nodes at the given points (host nodes only).
struct PointBody {
  std::vector<NodeCuda> nodes;
  RigidCuda body;
  RigidManager manager;
  explicit PointBody(std::initializer_list<std::array<double, 3>> points) {
    for (const auto& p : points) {
      NodeCuda n{};
      n.mass = 1.0;
      for (int j = 0; j < 3; ++j) n.coord[j] = p[static_cast<std::size_t>(j)];
      nodes.push_back(n);
    }
    for (NodeCuda& n : nodes) body.nodes.push_back(&n);
    body.node_num = static_cast<int>(nodes.size());
    body.computeMassProperties(&manager);
  }
};

double centreOf(const std::vector<NodeCuda>& nodes, int axis) {
  double m = 0.0, s = 0.0;
  for (const NodeCuda& n : nodes) {
    m += n.mass;
    s += n.mass * n.coord[axis];
  }
  return s / m;
}

}  // namespace

TEST(RigidMass, SquareLineDiagonalAndSingleNodeBodies) {
  // Four equal masses at the corners of a square: centre in the middle, a
  // diagonal tensor with equal in-plane moments.
  PointBody square({{{1, 1, 0}}, {{3, 1, 0}}, {{3, 3, 0}}, {{1, 3, 0}}});
  EXPECT_EQ(square.body.centre[0], 2.0);
  EXPECT_EQ(square.body.centre[1], 2.0);
  EXPECT_EQ(square.body.mass[0], 4.0);
  EXPECT_DOUBLE_EQ(square.body.inertia[0], 4.0);
  EXPECT_DOUBLE_EQ(square.body.inertia[4], 4.0);
  EXPECT_DOUBLE_EQ(square.body.inertia[8], 8.0);
  for (int k : {1, 2, 3, 5, 6, 7}) EXPECT_NEAR(square.body.inertia[k], 0.0, 1e-14);
  // Nodes on a line along x: I_xx = 0 becomes 0.001 of the mean diagonal.
  PointBody line({{{0, 1, 1}}, {{1, 1, 1}}, {{2, 1, 1}}});
  EXPECT_DOUBLE_EQ(line.body.inertia[0], 0.001 * (0.0 + 2.0 + 2.0) / 3.0);
  // Along (1, 1, 0) the diagonal has no zero, yet the tensor is singular;
  // and a single node has no inertia at all. Both must give finite
  // accelerations under a force and a moment.
  PointBody diagonal({{{0, 0, 0}}, {{1, 1, 0}}, {{2, 2, 0}}});
  PointBody single({{{5, 5, 5}}});
  for (RigidCuda* body : {&diagonal.body, &single.body}) {
    body->force[0] = 1.0;
    body->force[3] = 1.0;
    body->force[5] = -2.0;
    body->computeAccelerations();
    for (double a : body->acceleration) EXPECT_TRUE(std::isfinite(a));
  }
  EXPECT_NEAR(diagonal.body.acceleration[0], 1.0 / 3.0, 1e-15);
}

// The host update moves the body and its centre as the GPU one does, and
// merged bodies add the gyroscopic moment once, for the master.
TEST(RigidMass, HostUpdateAdvancesTheCentreAndMergedBodiesTurnOnce) {
  PointBody a({{{0, 0, 0}}, {{2, 0, 0}}, {{0, 1, 0}}});
  a.body.velocity[0] = 3.0;
  a.body.velocity[5] = 0.5;
  a.body.updateNodesCpu(0.01);
  EXPECT_NEAR(a.body.centre[0], 2.0 / 3.0 + 0.03, 1e-15);
  EXPECT_NEAR(a.body.displacement[0], 0.03, 1e-15);
  EXPECT_NEAR(a.body.displacement[5], 0.005, 1e-15);

  PointBody master({{{0, 0, 0}}, {{1, 2, 0}}, {{0, 1, 3}}});
  PointBody slave({{{4, 0, 0}}, {{1, 1, 1}}});
  RigidManager& rm = master.manager;
  rm.master_rigids = {&master.body};
  rm.slave_rigids = {&slave.body};
  slave.body.mergedInto = &master.body;
  rm.mergeConstrainedRigidBodies();
  for (RigidCuda* b : {&master.body, &slave.body}) {
    b->velocity[3] = 1.0;
    b->velocity[4] = 2.0;
    b->velocity[5] = 0.5;
    b->gatherForcesCpu();  // all nodal forces are 0: only the gyroscopic moment
  }
  for (int j = 0; j < 6; ++j) EXPECT_EQ(slave.body.force[j], 0.0);
  const double* w = master.body.velocity + 3;
  const double* in = master.body.inertia;
  const double iw[3] = {in[0] * w[0] + in[1] * w[1] + in[2] * w[2], in[3] * w[0] + in[4] * w[1] + in[5] * w[2],
                        in[6] * w[0] + in[7] * w[1] + in[8] * w[2]};
  rm.slaveForcesToMaster();
  EXPECT_NEAR(master.body.force[3], -(w[1] * iw[2] - w[2] * iw[1]), 1e-12);
  EXPECT_EQ(slave.body.mass[0], 0.0);
  EXPECT_EQ(master.body.mass[0], 5.0);
}

// A rigid part spinning about a principal axis while it translates: the
// angular momentum I w stays put to 1e-9 over 10,000 cycles, every node
// keeps its distance from the moving centre, and an extra node without
// mass moves with the body instead of being frozen.
DEVICE_TEST(RigidDeck, FreeSpinKeepsAngularMomentumOverTenThousandCycles) {
  Block b;
  b.nx = 2;
  b.rigid = true;
  b.density = 7800.0;
  b.young = 2e11;
  b.poisson = 0.3;
  const std::string extra = "*NODE\n      99             2.5             0.5             2.0\n";
  std::vector<int> all;
  for (int n = 1; n <= b.nodeCount(); ++n) all.push_back(n);
  const std::string deck = b.cards() + extra + termination(20.0, 10000) + nodeSet(1, all) + "*INITIAL_VELOCITY\n" +
                           card({"1"}) + card({"0.5", "0.2", "0.0", "0.0", "0.0", "3.0"}) +
                           "*CONSTRAINED_EXTRA_NODES_NODE\n" + card({"1", "99"});
  double l0 = 0.0;
  std::vector<double> radius;
  int cycles = 0;
  double worstMomentum = 0.0, worstRadius = 0.0;
  runWatching("spin", deck, [&](FEMDynamic& fem, double) {
    const RigidCuda& body = fem.rigidManager->rigid_array.at(0);
    const double l = body.inertia[8] * body.velocity[5];
    const std::vector<NodeCuda>& nodes = fem.nodeManager->node_array_cpu;
    const double c[2] = {centreOf(nodes, 0), centreOf(nodes, 1)};
    std::vector<double> r;
    for (const NodeCuda& n : nodes) r.push_back(std::hypot(n.coord[0] - c[0], n.coord[1] - c[1]));
    if (cycles++ == 0) {
      // The initial velocity of all the body's nodes reaches the body once.
      EXPECT_EQ(body.velocity[0], 0.5);
      EXPECT_EQ(body.velocity[5], 3.0);
      l0 = l;
      radius = r;
    }
    worstMomentum = std::max(worstMomentum, std::fabs(l - l0) / l0);
    for (std::size_t k = 0; k < r.size(); ++k) worstRadius = std::max(worstRadius, std::fabs(r[k] - radius[k]));
    for (const NodeCuda& n : nodes) EXPECT_EQ(n.vel[5], body.velocity[5]);  // members turn with the body
    EXPECT_NEAR(body.inertia[2] * body.velocity[5], 0.0, 1e-12 * l0);
  });
  EXPECT_GE(cycles, 10000);
  EXPECT_LT(worstMomentum, 1e-9);
  EXPECT_LT(worstRadius, 1e-9);
  EXPECT_DOUBLE_EQ(radius.back(), 1.5);  // the extra node is off the axis and kept its radius
}

// A prescribed rigid velocity of factor 0.5 is exactly 0.5 after every
// update while gravity still accelerates the other directions; motion is
// imposed once (through the body).
DEVICE_TEST(RigidDeck, PrescribedVelocityIsReachedExactly) {
  Block b;
  b.rigid = true;
  const std::string deck = b.cards() + termination(0.05) + "*LOAD_BODY_Z\n" + card({"", "9.81"}) +
                           "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n" + card({"1", "1", "0", "", "0.5"});
  const auto samples = run("rigid_prescribed", deck);
  ASSERT_GT(samples.size(), 20u);
  for (std::size_t s = 1; s < samples.size(); ++s) {
    const double dt = samples[s].time - samples[s - 1].time;
    for (std::size_t n = 0; n < samples[s].nodes.size(); ++n) {
      EXPECT_NEAR(samples[s].nodes[n].vel[0], 0.5, 1e-12);
      EXPECT_NEAR(samples[s].nodes[n].vel[2] - samples[s - 1].nodes[n].vel[2], -9.81 * dt, 1e-9);
    }
  }
}

// Four rigid blocks merged in pairs named by part id, (4, 1) and (2, 3):
// the slave of each pair moves exactly as its master.
DEVICE_TEST(RigidDeck, MergedBodiesArePairedByPartId) {
  std::string deck;
  for (int p = 1; p <= 4; ++p) {
    Block b;
    b.part = p;
    b.rigid = true;
    b.origin[0] = 2.0 * (p - 1);
    b.nodeOffset = 8 * (p - 1);
    b.elementOffset = p - 1;
    deck += b.cards();
  }
  deck += termination(0.02) + "*CONSTRAINED_RIGID_BODIES\n" + card({"4", "1"}) + card({"2", "3"}) +
          "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n" + card({"4", "1", "0", "", "2.0"}) + nodeSet(1, {17, 18}) +
          "*INITIAL_VELOCITY\n" + card({"1"}) + card({"0.0", "1.0"});
  const auto samples = run("merged", deck);
  ASSERT_GT(samples.size(), 10u);
  for (const deckcase::Sample& s : samples) {
    for (int n = 0; n < 8; ++n) {
      const auto& node = [&](int part) -> const NodeCuda& {
        return s.nodes[static_cast<std::size_t>(8 * (part - 1) + n)];
      };
      EXPECT_NEAR(node(1).vel[0], 2.0, 1e-12);
      EXPECT_NEAR(node(4).vel[0], 2.0, 1e-12);
      EXPECT_NEAR(node(2).vel[1], 1.0, 1e-12);
      EXPECT_NEAR(node(3).vel[1], 1.0, 1e-12);
      EXPECT_NEAR(node(2).vel[0], 0.0, 1e-12);
      EXPECT_NEAR(node(1).vel[1], 0.0, 1e-12);
    }
  }
}

// A nodal rigid body of a block's nodes pushed at one node: the group's
// momentum is exactly the impulse F t (not twice it), and it moves rigidly.
DEVICE_TEST(RigidDeck, NodalRigidBodyTakesTheImpulseOnce) {
  Block b;
  b.h = 0.1;
  std::vector<int> all;
  for (int n = 1; n <= b.nodeCount(); ++n) all.push_back(n);
  const std::string deck = b.cards() + termination(0.02) + nodeSet(5, all) + "*CONSTRAINED_NODAL_RIGID_BODY\n" +
                           card({"5"}) + "*LOAD_NODE_POINT\n" +
                           card({std::to_string(b.node(1, 1, 1)), "1", "", "0.01"});
  const auto samples = run("nodal_rigid", deck);
  ASSERT_GT(samples.size(), 10u);
  const deckcase::Sample& first = samples.front();
  for (std::size_t s = 1; s < samples.size(); ++s) {
    double momentum = 0.0;
    for (const NodeCuda& n : samples[s].nodes) momentum += n.mass * n.vel[0];
    // The body integrates forces from the first update on, as a node does:
    // v_{n+1/2} carries the impulse up to t_n + dt_{n+1} / 2; the step
    // before the last state is shortened to end on the end time, and a full
    // step follows the last state.
    const double step = samples[1].time;
    const double next = s + 1 < samples.size() ? samples[s + 1].time - samples[s].time : step;
    const double t = samples[s].time + 0.5 * next;
    EXPECT_NEAR(momentum, 0.01 * t, 1e-9 * 0.01 * t) << samples[s].time;
    const NodeCuda& p = samples[s].nodes[0];
    const NodeCuda& q = samples[s].nodes[7];
    const double d0 = std::hypot(first.nodes[0].coord[0] - first.nodes[7].coord[0],
                                 first.nodes[0].coord[2] - first.nodes[7].coord[2]);
    EXPECT_NEAR(std::hypot(p.coord[0] - q.coord[0], std::hypot(p.coord[1] - q.coord[1], p.coord[2] - q.coord[2])),
                std::hypot(d0, first.nodes[0].coord[1] - first.nodes[7].coord[1]), 1e-9);
  }
}
