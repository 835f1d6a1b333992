// Supports, prescribed motions and loads driven from the deck through the
// GPU time loop: every sample is the nodal state after one cycle.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>

#include "core/nodeManager.h"
#include "core/set.h"
#include "elements/common/elementType.h"
#include "elements/shell/shellElementCuda.h"
#include "solver/boundary.h"
#include "solver/femdynamic.h"
#include "solver/load.h"
#include "tests/solver/motionDeck.h"

using namespace motiondeck;

namespace {

const NodeCuda& nodeOf(const deckcase::Sample& s, int number) { return s.nodes[static_cast<std::size_t>(number - 1)]; }

}  // namespace

// Under gravity, a set moved at a prescribed velocity has exactly that
// velocity after every update, a node driven by a displacement curve is
// exactly where the curve puts it at every step, and a zero displacement
// holds a node.
DEVICE_TEST(BoundaryDeck, PrescribedMotionsReachTheirValuesWhateverTheForces) {
  Block b;
  b.h = 0.1;
  const int driven = b.node(0, 0, 1), held = b.node(1, 1, 1);
  const std::string deck =
      b.cards() + termination(0.05) + nodeSet(1, {b.node(0, 0, 0), b.node(1, 0, 0), b.node(1, 1, 0), b.node(0, 1, 0)}) +
      "*LOAD_BODY_Z\n" + card({"", "9.81"}) + curve(7, {{0.0, 0.0}, {1.0, 1.0}}) + "*BOUNDARY_PRESCRIBED_MOTION_SET\n" +
      card({"1", "3", "0", "", "0.5"}) + "*BOUNDARY_PRESCRIBED_MOTION_NODE\n" +
      card({std::to_string(driven), "1", "2", "7"}) + card({std::to_string(held), "3", "2", "", "0.0"});
  const auto samples = run("prescribed", deck);
  ASSERT_GT(samples.size(), 20u);
  for (const deckcase::Sample& s : samples) {
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(s.nodes[static_cast<std::size_t>(k)].vel[2], 0.5, 1e-12) << s.time;
    EXPECT_NEAR(nodeOf(s, driven).total_disp[0], s.time, 1e-12) << s.time;
    EXPECT_EQ(nodeOf(s, held).total_disp[2], 0.0) << s.time;
  }
  // The host loop puts the node on its curve at every step too.
  runBothLoops("prescribed_both", deck, [&](const std::vector<NodeCuda>& nodes, double t, double) {
    EXPECT_NEAR(nodes[static_cast<std::size_t>(driven - 1)].total_disp[0], t, 1e-12) << t;
  });
  // The free top nodes do not follow the base rigidly: the model deformed.
  EXPECT_GT(std::fabs(nodeOf(samples.back(), b.node(1, 0, 1)).total_disp[2] - 0.5 * samples.back().time), 1e-4);
}

// A velocity ramped to 1 m/s over 0.002 s by its curve: past the curve's
// last point the nodes keep 1 m/s (the curve holds its last value; it is
// not continued along the line through the origin and its last point).
DEVICE_TEST(BoundaryDeck, CurveHoldsItsLastValue) {
  Block b;
  b.h = 0.1;
  std::vector<int> all;
  for (int n = 1; n <= b.nodeCount(); ++n) all.push_back(n);
  const std::string deck = b.cards() + termination(0.012) + nodeSet(1, all) + curve(7, {{0.0, 0.0}, {0.002, 1.0}}) +
                           "*BOUNDARY_PRESCRIBED_MOTION_SET\n" + card({"1", "1", "0", "7", "1.0"});
  bool held = false;
  runBothLoops("curve_hold", deck, [&](const std::vector<NodeCuda>& nodes, double t, double) {
    for (const NodeCuda& n : nodes) EXPECT_NEAR(n.vel[0], std::min(t / 0.002, 1.0), 1e-12) << t;
    held = held || t > 0.006;
  });
  EXPECT_TRUE(held);
}

// A constrained node stops although it starts moving; a constraint with a
// time window holds its nodes inside the window only.
DEVICE_TEST(BoundaryDeck, SinglePointConstraintsStopNodesInsideTheirWindow) {
  Block b;
  b.nx = 2;
  b.h = 0.01;
  std::vector<int> all, right;
  for (int n = 1; n <= b.nodeCount(); ++n) all.push_back(n);
  for (int k = 0; k <= 1; ++k)
    for (int j = 0; j <= 1; ++j) right.push_back(b.node(2, j, k));
  const int fixed = b.node(0, 0, 0);
  const std::string deck = b.cards() + termination(0.006) + nodeSet(1, all) + nodeSet(2, right) +
                           "*INITIAL_VELOCITY\n" + card({"1"}) + card({"1.0", "0.0", "0.0"}) + "*BOUNDARY_SPC_NODE\n" +
                           card({std::to_string(fixed), "0", "1", "1", "1"}) + "*BOUNDARY_SPC_SET_BIRTH_DEATH\n" +
                           card({"2", "0", "1"}) + card({"0.002", "0.004"});
  const auto samples = run("spc", deck);
  ASSERT_GT(samples.size(), 30u);
  bool movedBefore = false, movedAfter = false;
  for (const deckcase::Sample& s : samples) {
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(nodeOf(s, fixed).vel[k], 0.0, 1e-12) << s.time;
      EXPECT_NEAR(nodeOf(s, fixed).total_disp[k], 0.0, 1e-14) << s.time;
    }
    const double v = nodeOf(s, right[0]).vel[0];
    if (s.time < 0.002) {
      movedBefore = movedBefore || v > 0.5;
    } else if (s.time < 0.004) {
      EXPECT_NEAR(v, 0.0, 1e-12) << s.time;
    } else if (s.time > 0.0045) {
      movedAfter = movedAfter || std::fabs(v) > 1e-6;
    }
  }
  EXPECT_TRUE(movedBefore);
  EXPECT_TRUE(movedAfter);
}

// A free block under *LOAD_BODY_Z falls as u = -g t^2 / 2, and so does a
// rigid block beside it; a node-set load
// (set, DOF, curve, factor) whose curve is 0 adds nothing; a
// *LOAD_NODE_POINT block loads every node of its card lines, each with the
// factor of its card (no curve: a constant force).
DEVICE_TEST(LoadDeck, GravityAndNodeLoads) {
  Block b;
  b.h = 0.1;
  std::string points = "*LOAD_NODE_POINT\n";
  for (int n = 1; n <= b.nodeCount(); ++n) points += card({std::to_string(n), "1", "", "0.01"});
  Block rigid = b;
  rigid.part = 2;
  rigid.rigid = true;
  rigid.nodeOffset = b.nodeCount();
  rigid.elementOffset = 1;
  rigid.origin[0] = 1.0;
  const std::string deck = b.cards() + rigid.cards() + termination(0.05) + nodeSet(3, {b.node(1, 1, 1)}) +
                           "*LOAD_BODY_Z\n" + card({"", "9.81"}) + curve(4, {{0.0, 0.0}, {1.0, 0.0}}) +
                           "*LOAD_NODE_SET\n" + "3 2 4 1000.0\n" + points;
  const auto samples = run("gravity", deck);
  ASSERT_GT(samples.size(), 20u);
  for (const deckcase::Sample& s : samples) {
    for (int n = 1; n <= b.nodeCount(); ++n) {
      const NodeCuda& node = nodeOf(s, n);
      const double fall = -0.5 * 9.81 * s.time * s.time;
      const double push = 0.5 * (0.01 / node.mass) * s.time * s.time;
      EXPECT_NEAR(node.total_disp[2], fall, 1e-9 * std::fabs(fall)) << n << " " << s.time;
      EXPECT_NEAR(node.total_disp[0], push, 1e-9 * push) << n << " " << s.time;
      EXPECT_NEAR(node.vel[1], 0.0, 1e-12);
      EXPECT_NEAR(nodeOf(s, rigid.node(0, 0, 0) + n - 1).total_disp[2], fall, 1e-9 * std::fabs(fall)) << s.time;
    }
  }
}

// Two shells sharing an edge, tilted out of every axis plane, under a
// pressure p: the nodal forces sum to p A against the unit normal of their
// node order, and the shared nodes receive both shells' shares (the
// additions are atomic).
DEVICE_TEST(LoadOnShells, PressureGivesPressureTimesAreaAgainstTheNormal) {
  FEMDynamic fem;
  fem.newManagers();
  const double pts[6][3] = {{0, 0, 0}, {2, 0, 1}, {2, 1.5, 1}, {0, 1.5, 0}, {4, 0, 2}, {4, 1.5, 2}};
  std::vector<NodeCuda> nodes(6);
  for (int i = 0; i < 6; ++i) {
    nodes[static_cast<std::size_t>(i)] = NodeCuda{};
    nodes[static_cast<std::size_t>(i)].store_id = i;
    for (int j = 0; j < 3; ++j) nodes[static_cast<std::size_t>(i)].coord[j] = pts[i][j];
  }
  fem.nodeManager->node_array_cpu = nodes;
  fem.nodeManager->allocateAndCopyNodes();
  NodeCuda* dev = fem.nodeManager->node_array_gpu;
  ShellElementCuda shells[2];
  const int ids[2][4] = {{1, 2, 3, 4}, {2, 5, 6, 3}};
  for (int e = 0; e < 2; ++e) {
    shells[e].sectionType = FAMILY_SHELL;
    for (int k = 0; k < 4; ++k) shells[e].node_id[k] = ids[e][k];
    shells[e].bulidNodeMatch(dev);
  }
  ShellElementCuda* shellsGpu = nullptr;
  ASSERT_EQ(cudaMalloc(reinterpret_cast<void**>(&shellsGpu), sizeof shells), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(shellsGpu, shells, sizeof shells, cudaMemcpyHostToDevice), cudaSuccess);
  // The shell set's device element list, as the set upload makes it.
  Set set;
  set.type = SET_ELEMENT;
  Element* slots[2] = {shellsGpu, shellsGpu + 1};
  ASSERT_EQ(cudaMalloc(reinterpret_cast<void**>(&set.element_array_gpu), sizeof slots), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(set.element_array_gpu, slots, sizeof slots, cudaMemcpyHostToDevice), cudaSuccess);
  set.element_array_gpu_num = 2;
  const double p = 3.0;
  ElementLoad load;
  load.load_type = LOAD_PRESSURE;
  load.scale_factor = p;
  load.set = &set;
  load.computeFactor(0.0);
  load.applyGpu();
  fem.nodeManager->copyNodesToCpu();
  // Both shells lie in the plane z = x / 2: normal (-1, 0, 2)/sqrt(5),
  // area 4 x 1.5 x sqrt(1.25).
  const double area = 4.0 * 1.5 * std::sqrt(1.25);
  const double normal[3] = {-1.0 / std::sqrt(5.0), 0.0, 2.0 / std::sqrt(5.0)};
  for (int j = 0; j < 3; ++j) {
    double sum = 0.0;
    for (const NodeCuda& n : fem.nodeManager->node_array_cpu) sum += n.force[j];
    EXPECT_NEAR(sum, -p * area * normal[j], 1e-12);
  }
  EXPECT_NEAR(fem.nodeManager->node_array_cpu[1].force[2], 2.0 * fem.nodeManager->node_array_cpu[0].force[2], 1e-12);
  cudaFree(shellsGpu);
}

// Kinds 3 and 4 write the same force M a; a rotation uses the rotary
// inertia; kind 0 writes nothing and says so.
DEVICE_TEST(BoundaryKinds, AccelerationKindsAlikeAndRotationsUseRotaryInertia) {
  FEMDynamic fem;
  fem.newManagers();
  fem.nodeManager->node_array_cpu.assign(2, NodeCuda{});
  fem.nodeManager->node_array_cpu[1].store_id = 1;
  for (NodeCuda& n : fem.nodeManager->node_array_cpu) {
    n.mass = 2.0;
    for (double& r : n.rot_inertia) r = 3.0;
    n.force[0] = 99.0;
  }
  fem.nodeManager->allocateAndCopyNodes();
  for (int kind : {3, 4}) {
    NodeBoundary b;
    b.type = kind;
    b.id = kind - 2;  // nodes 1 and 2
    b.dof_flag[0] = b.dof_flag[4] = 1;
    b.dof_value[0] = b.dof_value[4] = 5.0;
    ASSERT_TRUE(b.linkTarget(&fem));
    b.init(&fem);
    b.computeFactor(0.0);
    b.applyGpu(1e-3, 1e-3);
  }
  fem.nodeManager->copyNodesToCpu();
  for (const NodeCuda& n : fem.nodeManager->node_array_cpu) {
    EXPECT_EQ(n.force[0], 10.0);
    EXPECT_EQ(n.moment[1], 15.0);
  }
  NodeBoundary none;
  none.id = 1;
  none.dof_flag[2] = 1;
  ASSERT_TRUE(none.linkTarget(&fem));
  testing::internal::CaptureStdout();
  none.applyCpu(1e-3, 1e-3);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("边界条件类型设置错误"), std::string::npos);
  EXPECT_EQ(fem.nodeManager->node_array_cpu[0].force[2], 0.0);
}

// The host-only loop imposes the same motions: a prescribed velocity is
// exact after every update there too, for a node set and for a rigid part.
TEST(BoundaryDeck, HostLoopReachesPrescribedVelocities) {
  Block soft;
  soft.h = 0.1;
  Block rigid = soft;
  rigid.part = 2;
  rigid.rigid = true;
  rigid.nodeOffset = 8;
  rigid.elementOffset = 1;
  rigid.origin[0] = 1.0;
  const std::string deck = soft.cards() + rigid.cards() + termination(0.01) + nodeSet(1, {1, 2, 3, 4}) +
                           "*LOAD_BODY_Z\n" + card({"", "9.81"}) + "*BOUNDARY_PRESCRIBED_MOTION_SET\n" +
                           card({"1", "3", "0", "", "0.5"}) + "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n" +
                           card({"2", "1", "0", "", "-2.0"});
  int checked = 0;
  runHostWatching("host_prescribed", deck, [&](FEMDynamic& fem, double time) {
    if (time <= 0.0) return;
    const std::vector<NodeCuda>& nodes = fem.nodeManager->node_array_cpu;
    for (int n = 0; n < 4; ++n) EXPECT_NEAR(nodes[static_cast<std::size_t>(n)].vel[2], 0.5, 1e-12) << time;
    for (int n = 8; n < 16; ++n) EXPECT_NEAR(nodes[static_cast<std::size_t>(n)].vel[0], -2.0, 1e-12) << time;
    ++checked;
  });
  EXPECT_GT(checked, 10);
}

// A free plate of 2 x 2 shells in the plane z = 0 under *LOAD_SHELL_SET
// pressure p: the plate's momentum grows at p A along -z, against the
// normal +z of its node order.
DEVICE_TEST(LoadDeck, PressureOnAShellSetPushesAgainstTheNormal) {
  std::string deck = "*NODE\n";
  for (int j = 0; j <= 2; ++j)
    for (int i = 0; i <= 2; ++i)
      deck += std::to_string(1 + i + 3 * j) + " " + num(0.5 * i) + " " + num(0.5 * j) + " 0\n";
  deck += "*ELEMENT_SHELL\n";
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      const int a = 1 + i + 3 * j;
      deck += std::to_string(1 + i + 2 * j) + " 1 " + std::to_string(a) + " " + std::to_string(a + 1) + " " +
              std::to_string(a + 4) + " " + std::to_string(a + 3) + "\n";
    }
  deck += "*PART\nplate\n" + card({"1", "1", "1"}) + "*SECTION_SHELL\n" + card({"1", "2", "0.8333", "3"}) +
          card({"0.01", "0.01", "0.01", "0.01"}) + "*MAT_ELASTIC\n" + card({"1", "7850.0", "2.0e11", "0.3"}) +
          termination(2e-3) + "*SET_SHELL_LIST\n" + card({"4"}) + card({"1", "2", "3", "4"}) + "*LOAD_SHELL_SET\n" +
          card({"4", "0", "1000.0"});
  const auto samples = run("shell_pressure", deck);
  ASSERT_GT(samples.size(), 5u);
  for (std::size_t s = 1; s < samples.size(); ++s) {
    double pz = 0.0, px = 0.0;
    for (const NodeCuda& n : samples[s].nodes) {
      pz += n.mass * n.vel[2];
      px += n.mass * n.vel[0];
    }
    // v_{n+1/2} carries the impulse up to t_n + dt / 2, dt the step after
    // t_n: a full step after the last state, whose own step was shortened
    // to end on the end time.
    const double dt = s + 1 < samples.size() ? samples[s + 1].time - samples[s].time : samples[1].time;
    EXPECT_NEAR(pz, -1000.0 * 1.0 * (samples[s].time + 0.5 * dt), -1e-9 * pz) << samples[s].time;
    EXPECT_NEAR(px, 0.0, -1e-12 * pz);
  }
}
