#include "tests/deviceTest.h"

#include "core/nodeManager.h"
#include "core/part.h"
#include "core/setManager.h"
#include "elements/common/elmmanager.h"
#include "platform/gpuRuntime.h"
#include "solver/femdynamic.h"
#include "solver/setMembers.h"

namespace {

// Four nodes numbered 1..4 and two parts, each with one solid: ids 11 and 12.
class SetResolveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fem_.newManagers();
    for (int i = 0; i < 4; ++i) {
      NodeCuda node{};
      node.id = i + 1;
      node.store_id = i;
      node.coord[0] = i;
      fem_.nodeManager->node_array_cpu.push_back(node);
    }
    fem_.nodeManager->setNodeNum();
    fem_.nodeManager->checkNodeIdMap();
    fem_.part_array.resize(2);
    fem_.elm_manager_array.resize(2);
    for (int p = 0; p < 2; ++p) {
      fem_.part_array[p].id = p + 1;
      SolidElementCuda solid{};
      solid.id = 11 + p;
      fem_.elm_manager_array[p].solid_element_array_cpu.push_back(solid);
    }
  }
  Set* add(int type, int id, std::vector<int> members) {
    Set set;
    set.type = type;
    set.id = id;
    set.id_array = std::move(members);
    return fem_.setManager->addSet(set);
  }
  FEMDynamic fem_;
};

}  // namespace

TEST_F(SetResolveTest, NodeSetKeepsOrderDuplicatesAndNullsForMissingIds) {
  Set* set = add(SET_NODE, 1, {3, 1, 3, 9, 0});
  resolveAllSets(*fem_.setManager, &fem_);
  NodeCuda* base = fem_.nodeManager->node_array_cpu.data();
  EXPECT_EQ(set->node_array_cpu, (std::vector<NodeCuda*>{base + 2, base, base + 2, nullptr, nullptr}));
}

TEST_F(SetResolveTest, PartAndElementSetsSkipWhatIsNotInTheModel) {
  Set* parts = add(SET_PART, 1, {2, 5, 1, 0});
  Set* elements = add(SET_ELEMENT, 1, {12, 99, 11});
  resolveAllSets(*fem_.setManager, &fem_);
  EXPECT_EQ(parts->part_array_cpu, (std::vector<Part*>{&fem_.part_array[1], &fem_.part_array[0]}));
  ASSERT_EQ(elements->element_array_cpu.size(), 2u);
  EXPECT_EQ(elements->element_array_cpu[0]->id, 12);
  EXPECT_EQ(elements->element_array_cpu[1]->id, 11);
}

DEVICE_TEST_F(SetResolveTest, NodeSetDeviceSlotsFollowTheNodesStoragePositions) {
  Set* set = add(SET_NODE, 4, {4, 2, 4, 7});
  Set* empty = add(SET_NODE, 5, {});
  resolveAllSets(*fem_.setManager, &fem_);
  fem_.nodeManager->allocateAndCopyNodes();
  copyAllToGpu(*fem_.setManager, &fem_);
  ASSERT_NE(set->node_array_gpu, nullptr);
  EXPECT_EQ(empty->node_array_gpu, nullptr);  // nothing to walk
  std::vector<NodeCuda*> slots(4);
  ASSERT_EQ(cudaMemcpy(slots.data(), set->node_array_gpu, 4 * sizeof(NodeCuda*), cudaMemcpyDeviceToHost), cudaSuccess);
  NodeCuda* device = fem_.nodeManager->node_array_gpu;
  EXPECT_EQ(slots, (std::vector<NodeCuda*>{device + 3, device + 1, device + 3, nullptr}));
}

DEVICE_TEST_F(SetResolveTest, ElementSetDeviceSlotsAreNullForUnknownIds) {
  Set* set = add(SET_ELEMENT, 2, {11, 404});
  resolveAllSets(*fem_.setManager, &fem_);
  for (ElmManager& elements : fem_.elm_manager_array) {
    elements.solid_element_array_gpu = nullptr;
  }
  // Upload the solids so that the device id map has entries.
  for (ElmManager& elements : fem_.elm_manager_array) {
    ASSERT_EQ(cudaMalloc(&elements.solid_element_array_gpu, sizeof(SolidElementCuda)), cudaSuccess);
    elements.elementAmount = 1;
  }
  copyAllToGpu(*fem_.setManager, &fem_);
  ASSERT_EQ(set->element_array_gpu_num, 2);
  std::vector<Element*> slots(2);
  ASSERT_EQ(cudaMemcpy(slots.data(), set->element_array_gpu, 2 * sizeof(Element*), cudaMemcpyDeviceToHost),
            cudaSuccess);
  EXPECT_EQ(slots[0], static_cast<Element*>(fem_.elm_manager_array[0].solid_element_array_gpu));
  EXPECT_EQ(slots[1], nullptr);
}
