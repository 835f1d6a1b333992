// Spot welds and joints on a few nodes: mass transfer, the slaves' rigid
// motion, force transfer, and the refusal of welds without nodes.
#include "tests/deviceTest.h"

#include <omp.h>

#include <vector>

#include "solver/constrained.h"
#include "tests/solver/nodeSetModel.h"

namespace {

class WeldJoint : public NodeSetModel {
 protected:
  void SetUp() override {
    makeNodes(5);
    for (int i = 1; i <= 5; ++i) {
      node(i).mass = i;
      node(i).coord[0] = i - 1;
    }
    addNodeSet(1, {1, 2, 3});
    addNodeSet(2, {4, 5});
    addNodeSet(3, {});
    resolveSets();
  }
  Constrained linked(int setId, int type = 0) {
    Constrained c;
    c.constrained_type = type;
    c.node_set_id = setId;
    EXPECT_TRUE(c.linkNodeSet(fem_.setManager));
    return c;
  }
};

TEST_F(WeldJoint, TranslationalWeldCarriesTheMassAndTheSlavesFollow) {
  Constrained weld = linked(1);
  weld.transferMass();
  EXPECT_DOUBLE_EQ(node(1).mass, 6.0);
  EXPECT_LT(node(2).mass, 0.0);
  EXPECT_LT(node(3).mass, 0.0);
  node(1).vel[1] = 2.0;
  node(3).vel[0] = 7.0;
  weld.imposeSlaveVelocitiesCpu();
  EXPECT_DOUBLE_EQ(node(3).vel[0], 0.0);
  EXPECT_DOUBLE_EQ(node(3).vel[1], 2.0);
  node(2).force[2] = 4.0;
  node(3).force[2] = 5.0;
  weld.transferSlaveForcesCpu();
  EXPECT_DOUBLE_EQ(node(1).force[2], 9.0);
  EXPECT_EQ(node(2).force[2], 0.0);
  // A second transfer after the masses are restored gives the same sums.
  for (int i = 1; i <= 3; ++i) node(i).mass = i;
  weld.transferMass();
  EXPECT_DOUBLE_EQ(node(1).mass, 6.0);
}

TEST_F(WeldJoint, RotatingMasterMovesSlavesRigidlyAndTakesTheirMoments) {
  for (int i = 1; i <= 3; ++i)
    for (double& I : node(i).rot_inertia) I = 0.5;
  Constrained weld = linked(1);
  weld.transferMass();
  // Slave 3 at r = (2, 0, 0): parallel-axis inertia 3 r^2 about y and z.
  EXPECT_DOUBLE_EQ(node(1).rot_inertia[0], 0.5 + 0.5 + 0.5);
  EXPECT_DOUBLE_EQ(node(1).rot_inertia[2], 1.5 + 2.0 * 1.0 + 3.0 * 4.0);
  node(1).vel[0] = 1.0;
  node(1).vel[5] = 3.0;  // omega about z
  weld.imposeSlaveVelocitiesCpu();
  EXPECT_DOUBLE_EQ(node(3).vel[0], 1.0);
  EXPECT_DOUBLE_EQ(node(3).vel[1], 6.0);  // omega x r = (0, 3 * 2, 0)
  EXPECT_DOUBLE_EQ(node(3).vel[5], 3.0);
  node(3).force[1] = 1.0;
  node(3).moment[0] = 0.25;
  weld.transferSlaveForcesCpu();
  EXPECT_DOUBLE_EQ(node(1).force[1], 1.0);
  EXPECT_DOUBLE_EQ(node(1).moment[2], 2.0);  // r x F = (2,0,0) x (0,1,0)
  EXPECT_DOUBLE_EQ(node(1).moment[0], 0.25);
  for (double f : node(3).moment) EXPECT_EQ(f, 0.0);
}

// A two-node weld whose first node has no mass: the second node becomes
// the master, and the first one stays bound to it as its slave.
TEST_F(WeldJoint, MasslessMasterOfATwoNodeWeldHandsOverItsRole) {
  node(4).mass = 0.0;
  Constrained weld = linked(2);
  weld.transferMass();
  ASSERT_EQ(weld.masterNode, &node(5));
  ASSERT_EQ(weld.slave_node_array_cpu.size(), 1u);
  EXPECT_EQ(weld.slave_node_array_cpu[0], &node(4));
  node(5).vel[2] = -1.5;
  weld.imposeSlaveVelocitiesCpu();
  EXPECT_DOUBLE_EQ(node(4).vel[2], -1.5);
}

TEST_F(WeldJoint, WeldWithoutNodesIsRefusedByName) {
  for (int setId : {3, 42}) {
    Constrained weld;
    weld.weld_id = 7;
    weld.node_set_id = setId;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(weld.linkNodeSet(fem_.setManager));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("spot weld 7"), std::string::npos);
  }
}

// A joint pair: the first node carries both masses and both forces, the
// second moves with it in translation and keeps its own rotation.
TEST_F(WeldJoint, JointPairMovesTogetherInTranslation) {
  Constrained joint = linked(2, 4);
  joint.transferMass();
  EXPECT_DOUBLE_EQ(node(4).mass, 9.0);
  EXPECT_DOUBLE_EQ(node(5).mass, 5.0);
  node(4).vel[0] = 4.0;
  node(5).vel[0] = -2.0;
  node(5).vel[3] = 1.0;
  joint.imposeSlaveVelocitiesCpu();
  EXPECT_DOUBLE_EQ(node(5).vel[0], 4.0);
  EXPECT_DOUBLE_EQ(node(5).vel[3], 1.0);
  node(5).force[1] = 9.0;
  node(5).moment[2] = 2.0;
  joint.transferSlaveForcesCpu();
  EXPECT_DOUBLE_EQ(node(4).force[1], 9.0);
  EXPECT_EQ(node(5).force[1], 0.0);
  EXPECT_DOUBLE_EQ(node(5).moment[2], 2.0);
}

// Two thousand spherical joints share their first node, and a weld binds two
// thousand slaves to one master: launches large enough to spread over four
// threads.  The shared nodes take the masses (mass scaling) and the joints'
// forces in pair and slave order, bit for bit the sums of one thread.
class SharedLeader : public NodeSetModel {
 protected:
  static constexpr int kLinks = 2000;
  void SetUp() override {
    makeNodes(2 * (kLinks + 1));
    for (int i = 1; i <= 2 * (kLinks + 1); ++i) {
      node(i).mass = 1.0 / i;
      node(i).force[0] = 1.0 / (i + 0.5);
    }
    std::vector<int> welded;
    for (int i = kLinks + 2; i <= 2 * (kLinks + 1); ++i) welded.push_back(i);
    addNodeSet(1, welded);
    for (int k = 1; k <= kLinks; ++k) addNodeSet(1 + k, {1, 1 + k});
    resolveSets();
    ConstrainedManager& cm = *fem_.constrainedManager;
    for (int id = 1; id <= kLinks + 1; ++id) {
      Constrained c;
      c.constrained_type = id == 1 ? 0 : 4;
      c.node_set_id = id;
      EXPECT_TRUE(c.linkNodeSet(fem_.setManager));
      cm.constrained_array.push_back(c);
    }
    fem_.nodeManager->allocateAndCopyNodes();
    for (Constrained& c : cm.constrained_array) c.allocateAndCopyGpu(fem_.nodeManager);
    cm.copyConstrainedToGpu();
    cm.gatherSlaveNodesGpu(fem_.nodeManager);
  }
  // Node first's value plus those of the next kLinks nodes, one after the other.
  double sumInOrder(int first, double NodeCuda::*value) {
    double sum = node(first).*value;
    for (int i = first + 1; i <= first + kLinks; ++i) sum += node(i).*value;
    return sum;
  }
};

DEVICE_TEST_F(SharedLeader, MassesAndForcesReachTheSharedNodeInOrderOnFourThreads) {
  const double jointMass = sumInOrder(1, &NodeCuda::mass), weldMass = sumInOrder(kLinks + 2, &NodeCuda::mass);
  double jointForce = node(1).force[0];
  for (int i = 2; i <= kLinks + 1; ++i) jointForce += node(i).force[0];
  NodeManager& nm = *fem_.nodeManager;
  nm.copyNodesToCpu();  // the device records, with their masters linked
  const std::vector<NodeCuda> start = nm.node_array_cpu;
  const int threads = omp_get_max_threads();
  omp_set_num_threads(4);
  // Several rounds: the threads of one round may happen to add in order.
  for (int round = 0; round < 10; ++round) {
    ASSERT_EQ(cudaMemcpy(nm.node_array_gpu, start.data(), sizeof(NodeCuda) * start.size(), cudaMemcpyHostToDevice),
              cudaSuccess);
    fem_.constrainedManager->attachSlaveMassGpu();
    fem_.constrainedManager->transferSlaveForcesGpu();
    nm.copyNodesToCpu();
    EXPECT_EQ(node(1).mass, jointMass) << "round " << round;
    EXPECT_EQ(node(kLinks + 2).mass, weldMass) << "round " << round;
    EXPECT_EQ(node(1).force[0], jointForce) << "round " << round;
    EXPECT_EQ(node(2).force[0], 0.0);
  }
  omp_set_num_threads(threads);
}

}  // namespace
