// The compact per-node force lists against the gather through the node
// records' slots, on nodes whose slots hold every kind of entry: rows of
// shells (force and moment) and solids (force only), a row that is not
// finite, an empty slot, a row outside the block, an element of a family
// without a force block, and more registrations than slots.
#include "tests/deviceTest.h"

#include <limits>
#include <vector>

#include "core/nodeManager.h"
#include "elements/beam/beamElementCuda.h"
#include "elements/common/nodeGather.h"
#include "elements/shell/shellElementCuda.h"
#include "elements/solid1st/solidElementCuda.h"

namespace {

DEVICE_TEST(NodeForceRows, ListsGatherWhatTheSlotsGatherAndReportOnceAtSetUp) {
  ShellElementCuda shell{};
  shell.sectionType = FAMILY_SHELL;
  for (int r = 0; r < 4; ++r)
    for (int j = 0; j < 6; ++j) shell.interForce[r][j] = 10.0 * r + j + 0.25;
  SolidElementCuda solid{};
  solid.sectionType = FAMILY_SOLID;
  for (int r = 0; r < 8; ++r)
    for (int j = 0; j < 3; ++j) solid.interForce[r][j] = 0.5 * r - j;
  SolidElementCuda broken{};
  broken.sectionType = FAMILY_SOLID;
  broken.interForce[1][2] = std::numeric_limits<double>::infinity();
  BeamElementCuda unknown{};
  unknown.sectionType = FAMILY_SHELL_2ND;

  NodeManager nm;
  nm.node_array_cpu.assign(4, NodeCuda{});
  auto add = [](NodeCuda& n, Element* e, int row) {
    n.element[n.element_num] = e;
    n.local_node_num[n.element_num++] = row;
  };
  NodeCuda* n = nm.node_array_cpu.data();
  add(n[0], &shell, 2);
  add(n[0], &solid, 5);
  add(n[0], nullptr, 0);
  add(n[0], &solid, 8);  // outside the block
  add(n[0], &shell, 0);
  add(n[1], &broken, 1);
  add(n[1], &solid, 3);
  add(n[1], &unknown, 0);
  for (int k = 0; k < kNodeElementSlots; ++k) add(n[2], &solid, k % 8);
  n[2].element_num += 3;  // registrations beyond the slots were dropped
  n[0].force[0] = 100.0;
  n[1].moment[1] = -7.0;
  std::vector<NodeCuda> expected = nm.node_array_cpu;
  nm.setNodeNum();
  nm.allocateAndCopyNodes();

  testing::internal::CaptureStdout();
  gpuAddNodeInterForce(nm);  // builds the lists, then gathers
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "单元截面类型设置错误\n");
  EXPECT_EQ(nm.force_rows_.rowNum(), 3 + 2 + kNodeElementSlots);  // the infinite row stays in the list
  testing::internal::CaptureStdout();
  gpuAddNodeInterForce(nm);  // a second cycle reports nothing
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  nm.copyNodesToCpu();

  testing::internal::CaptureStdout();
  for (NodeCuda& e : expected) {
    calIndexInterFor(e);
    calIndexInterFor(e);
  }
  testing::internal::GetCapturedStdout();
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(nm.node_array_cpu[i].force[j], expected[i].force[j]) << "node " << i << " component " << j;
      EXPECT_EQ(nm.node_array_cpu[i].moment[j], expected[i].moment[j]) << "node " << i << " component " << j;
    }
  // Hand-worked values: node 0 takes shell rows 2 and 0 and solid row 5
  // twice; node 1's infinite z component is cleared.
  EXPECT_EQ(nm.node_array_cpu[0].force[0], 100.0 - 2.0 * (20.25 + 0.25 + 2.5));
  EXPECT_EQ(nm.node_array_cpu[0].moment[2], -2.0 * (25.25 + 5.25));
  EXPECT_EQ(nm.node_array_cpu[1].force[2], 0.0);
  EXPECT_EQ(nm.node_array_cpu[1].moment[1], -7.0);
  EXPECT_EQ(nm.node_array_cpu[3].force[0], 0.0);
}

}  // namespace
