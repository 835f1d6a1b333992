#include "tests/deviceTest.h"

#include <vector>

#include <cmath>
#include <limits>

#include "core/nodeManager.h"
#include "core/nonFiniteNode.h"
#include "elements/common/nodeGather.h"
#include "elements/shell/shellElementCuda.h"
#include "elements/solid1st/solidElementCuda.h"

namespace {

NodeCuda makeNode(int id, double mass) {
  NodeCuda n{};
  n.id = id;
  n.mass = mass;
  return n;
}

TEST(NodeUpdate, CentralDifferenceUsesMeanStepAndClearsForces) {
  NodeCuda n = makeNode(1, 2.0);
  n.rot_inertia[0] = n.rot_inertia[1] = n.rot_inertia[2] = 4.0;
  n.force[0] = 4.0;
  n.force[2] = -2.0;
  n.moment[1] = 8.0;
  n.contact_force[0] = 5.0;
  n.vel[0] = 1.0;
  n.accelVelUpdate(0.25, 0.75);  // h = 0.5
  EXPECT_EQ(n.accel[0], 2.0);
  EXPECT_EQ(n.accel[2], -1.0);
  EXPECT_EQ(n.accel[4], 2.0);
  EXPECT_EQ(n.vel[0], 2.0);
  EXPECT_EQ(n.vel[2], -0.5);
  EXPECT_EQ(n.vel[4], 1.0);
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(n.force[j], 0.0);
    EXPECT_EQ(n.moment[j], 0.0);
    EXPECT_EQ(n.contact_force[j], 0.0);
  }
}

TEST(NodeUpdate, MassBelowToleranceOrNegativeZeroesMotionAndKeepsForce) {
  for (double mass : {0.0, 1e-16, -3.0}) {
    NodeCuda n = makeNode(1, mass);
    n.force[1] = 7.0;
    n.contact_force[2] = 3.0;
    n.vel[0] = 5.0;
    n.vel[5] = 1.0;
    n.accel[3] = 2.0;
    n.accelVelUpdate(1e-3, 1e-3);
    for (int j = 0; j < 6; ++j) {
      EXPECT_EQ(n.vel[j], 0.0) << "mass " << mass;
      EXPECT_EQ(n.accel[j], 0.0) << "mass " << mass;
    }
    EXPECT_EQ(n.force[1], 7.0);
    // The contact-force accumulator is cleared every cycle, massless or not.
    EXPECT_EQ(n.contact_force[2], 0.0);
  }
}

TEST(NodeUpdate, NonFiniteForceAndMomentBecomeZero) {
  NodeCuda n = makeNode(1, 1.0);
  n.rot_inertia[0] = n.rot_inertia[1] = n.rot_inertia[2] = 1.0;
  n.force[0] = std::numeric_limits<double>::quiet_NaN();
  n.force[1] = std::numeric_limits<double>::infinity();
  n.force[2] = 1.0;
  n.moment[0] = -std::numeric_limits<double>::infinity();
  n.accelVelUpdate(1.0, 1.0);
  EXPECT_EQ(n.accel[0], 0.0);
  EXPECT_EQ(n.accel[1], 0.0);
  EXPECT_EQ(n.accel[2], 1.0);
  EXPECT_EQ(n.accel[3], 0.0);
  EXPECT_FALSE(std::isnan(n.vel[0]));
  EXPECT_EQ(n.force[0], 0.0);
}

// The loads are tested together first; a node with one load that is not
// finite takes the component checks: only that component is dropped and
// reported, and a moment counts only where the node has rotary inertia.
TEST(NodeUpdate, OnlyTheLoadThatIsNotFiniteIsDroppedAndReported) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  clearNonFiniteNodeReport();
  NodeCuda free = makeNode(7, 2.0);  // no rotary inertia: its moment is not used
  free.force[1] = 4.0;
  free.moment[2] = nan;
  free.vel[5] = 3.0;
  free.accelVelUpdate(1.0, 1.0);
  EXPECT_EQ(free.accel[1], 2.0);
  EXPECT_EQ(free.vel[1], 2.0);
  EXPECT_EQ(free.vel[5], 3.0);
  EXPECT_EQ(free.moment[2], 0.0);
  EXPECT_EQ(nonFiniteNodeReport(), ~0ULL);

  NodeCuda spun = makeNode(9, 2.0);
  spun.rot_inertia[0] = spun.rot_inertia[1] = spun.rot_inertia[2] = 0.5;
  spun.force[0] = 1e308;
  spun.force[1] = 1e308;  // finite terms whose sum is not
  spun.moment[0] = nan;
  spun.moment[1] = 1.0;
  spun.accelVelUpdate(1.0, 1.0);
  EXPECT_EQ(spun.accel[0], 0.5e308);
  EXPECT_EQ(spun.accel[3], 0.0);
  EXPECT_EQ(spun.accel[4], 2.0);
  EXPECT_EQ(spun.vel[4], 2.0);
  EXPECT_EQ(nonFiniteNodeReport(), 9ULL * 4 + NONFINITE_FORCE);
  clearNonFiniteNodeReport();
}

TEST(NodeUpdate, ZeroRotaryInertiaXKeepsRotationalVelocity) {
  NodeCuda n = makeNode(1, 1.0);
  n.rot_inertia[1] = n.rot_inertia[2] = 2.0;  // x stays 0
  n.moment[0] = n.moment[1] = n.moment[2] = 4.0;
  n.vel[3] = 1.0;
  n.vel[4] = 2.0;
  n.vel[5] = 3.0;
  n.accel[4] = 9.0;
  n.accelVelUpdate(1.0, 1.0);
  EXPECT_EQ(n.vel[3], 1.0);
  EXPECT_EQ(n.vel[4], 2.0);
  EXPECT_EQ(n.vel[5], 3.0);
  for (int j = 3; j < 6; ++j) EXPECT_EQ(n.accel[j], 0.0);
}

TEST(NodeUpdate, DisplacementAdvancesCoordinatesRotationsAndTotals) {
  NodeCuda n = makeNode(1, 1.0);
  n.coord[0] = 1.0;
  for (int j = 0; j < 6; ++j) n.vel[j] = j + 1.0;
  n.dispUpdate(0.5, 6);
  n.dispUpdate(0.5);
  EXPECT_EQ(n.coord[0], 2.0);
  EXPECT_EQ(n.coord[2], 3.0);
  EXPECT_EQ(n.rotation[2], 6.0);
  EXPECT_EQ(n.total_disp[5], 6.0);
  EXPECT_EQ(n.step_disp[1], 1.0);
}

TEST(NodeRegistration, GatherSubtractsElementRowsAndDropsNonFinite) {
  NodeCuda n = makeNode(1, 1.0);
  ShellElementCuda shell{};
  shell.sectionType = FAMILY_SHELL;
  for (int j = 0; j < 6; ++j) shell.interForce[2][j] = j + 1.0;
  SolidElementCuda solid{};
  solid.sectionType = FAMILY_SOLID;
  solid.interForce[5][0] = 10.0;
  solid.interForce[5][1] = std::numeric_limits<double>::quiet_NaN();
  n.force[0] = 100.0;
  n.element[0] = &shell;
  n.local_node_num[0] = 2;
  n.element[1] = &solid;
  n.local_node_num[1] = 5;
  n.element_num = 2;
  calIndexInterFor(n);
  EXPECT_EQ(n.force[0], 100.0 - 1.0 - 10.0);
  EXPECT_EQ(n.force[1], 0.0);  // NaN from the solid row
  EXPECT_EQ(n.force[2], -3.0);
  EXPECT_EQ(n.moment[0], -4.0);
  EXPECT_EQ(n.moment[2], -6.0);
}

TEST(NodeRegistration, UnknownFamilyIsReportedAndSkipped) {
  NodeCuda n = makeNode(1, 1.0);
  SolidElementCuda solid{};
  solid.sectionType = 9;
  solid.interForce[0][0] = 1.0;
  n.element[0] = &solid;
  n.element_num = 1;
  testing::internal::CaptureStdout();
  calIndexInterFor(n);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "单元截面类型设置错误\n");
  EXPECT_EQ(n.force[0], 0.0);
}

TEST(NodeRegistration, ReadersStopAtTheSlotsWhenTheCountOverflows) {
  NodeCuda n = makeNode(1, 1.0);
  SolidElementCuda solid{};
  solid.sectionType = FAMILY_SOLID;
  solid.interForce[0][0] = 1.0;
  for (int k = 0; k < kNodeElementSlots; ++k) n.element[k] = &solid;
  n.element_num = kNodeElementSlots + 5;
  EXPECT_EQ(n.registeredElementNum(), kNodeElementSlots);
  calIndexInterFor(n);
  EXPECT_EQ(n.force[0], -1.0 * kNodeElementSlots);
}

TEST(NodeStress, AveragingDividesByWeightOnlyAboveThreshold) {
  NodeCuda n = makeNode(1, 1.0);
  n.stress[0] = 6.0;
  n.strain[5] = 3.0;
  n.calNodeStressStrain();
  EXPECT_EQ(n.stress[0], 6.0);
  n.stress_weight = 3.0;
  n.calNodeStressStrain();
  EXPECT_EQ(n.stress[0], 2.0);
  EXPECT_EQ(n.strain[5], 1.0);
  EXPECT_EQ(n.stress_weight, 0.0);
  n.clearStressStrain();
  EXPECT_EQ(n.stress[0], 0.0);
}

TEST(NodeManagerTest, SortMapAndLookup) {
  NodeManager nm;
  for (int id : {5, 2, 9, 2}) nm.node_array_cpu.push_back(makeNode(id, 1.0));
  nm.node_array_cpu[3].coord[0] = 7.0;  // the second node with id 2
  nm.sortNodes();
  for (int i = 0; i < 4; ++i) nm.node_array_cpu[i].store_id = i;
  nm.setNodeNum();
  nm.checkNodeIdMap();
  EXPECT_EQ(nm.totNodeNum, 4);
  EXPECT_EQ(nm.dof_num, 6);
  ASSERT_NE(nm.findNodeById(9), nullptr);
  EXPECT_EQ(nm.findNodeById(9)->store_id, 3);
  EXPECT_EQ(nm.findNodeById(2), &nm.node_array_cpu[0]);  // the first of the two after sorting
  EXPECT_EQ(nm.findNodeById(4), nullptr);
}

// Ids close together and ids far apart are found alike; a gap, an id below
// the first or above the last is not a node.
TEST(NodeManagerTest, LookupOfDenseAndSparseIds) {
  for (const std::vector<int>& ids : {std::vector<int>{1, 2, 4, 5}, std::vector<int>{7, 1000000, 2000000000, -5}}) {
    NodeManager nm;
    for (int id : ids) nm.node_array_cpu.push_back(makeNode(id, 1.0));
    nm.sortNodes();
    for (int i = 0; i < static_cast<int>(ids.size()); ++i) nm.node_array_cpu[i].store_id = i;
    nm.checkNodeIdMap();
    for (const NodeCuda& n : nm.node_array_cpu) EXPECT_EQ(nm.findNodeById(n.id), &n) << n.id;
    for (int missing : {3, 0, -6, 6, 8, 999999, 2147483647, -2147483647 - 1})
      EXPECT_EQ(nm.findNodeById(missing), nullptr);
  }
}

TEST(NodeManagerTest, WrongStoreIdIsReported) {
  NodeManager nm;
  nm.node_array_cpu.push_back(makeNode(1, 1.0));
  nm.node_array_cpu[0].store_id = 3;
  testing::internal::CaptureStdout();
  nm.checkNodeIdMap();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "节点的存储id存在错误\n");
  EXPECT_EQ(nm.findNodeById(1), &nm.node_array_cpu[0]);
}

TEST(NodeManagerTest, MassCheckFlagsMasslessNodesAndCopiesEquivalentMass) {
  NodeManager nm;
  nm.node_array_cpu = {makeNode(1, 0.0), makeNode(2, 2.5)};
  nm.nodeMassCheckCpu();
  EXPECT_EQ(nm.node_array_cpu[0].mass_flag, 1);
  EXPECT_EQ(nm.node_array_cpu[1].mass_flag, 0);
  EXPECT_EQ(nm.node_array_cpu[1].equivalent_mass, 2.5);
}

DEVICE_TEST(NodeManagerTest, DeviceKernelsMatchHostUpdates) {
  NodeManager nm;
  for (int i = 0; i < 70; ++i) {
    NodeCuda n = makeNode(i + 1, 1.0 + i);
    n.store_id = i;
    n.force[0] = 2.0 * i;
    n.vel[1] = 0.5;
    n.stored_mass = 10.0;
    nm.node_array_cpu.push_back(n);
  }
  std::vector<NodeCuda> host = nm.node_array_cpu;
  nm.setNodeNum();
  nm.allocateAndCopyNodes();
  nm.allNodeAccelVelCal(1e-3, 2e-3);
  nm.allNodeDispCal(1e-3);
  nm.gpuResetNodeMass();
  nm.gpuUpdateEquivalentMass();
  nm.copyNodesToCpu();
  for (std::size_t i = 0; i < host.size(); ++i) {
    host[i].accelVelUpdate(1e-3, 2e-3);
    host[i].dispUpdate(1e-3);
    host[i].massReduction();
    host[i].storeEquivalentMass();
    EXPECT_EQ(nm.node_array_cpu[i].vel[0], host[i].vel[0]);
    EXPECT_EQ(nm.node_array_cpu[i].coord[1], host[i].coord[1]);
    EXPECT_EQ(nm.node_array_cpu[i].equivalent_mass, 10.0);
  }
}

TEST(NodeManagerTest, LaunchersDoNothingWithoutNodes) {
  NodeManager nm;
  nm.allocateAndCopyNodes();
  EXPECT_EQ(nm.node_array_gpu, nullptr);
  nm.allNodeAccelVelCal(1e-3, 1e-3);
  nm.allNodeDispCal(1e-3);
  gpuAddNodeInterForce(nm);
  nm.gpuClearNodeStr();
  nm.gpuAverageNodeStr();
  nm.copyNodesToCpu();
  EXPECT_TRUE(nm.node_array_cpu.empty());
}

}  // namespace
