#include "tests/deviceTest.h"

#include "core/setManager.h"
#include "platform/gpuRuntime.h"

namespace {

Set makeSet(int type, int id, std::vector<int> members) {
  Set set;
  set.type = type;
  set.id = id;
  set.id_array = std::move(members);
  return set;
}

}  // namespace

TEST(SetManager, FindsSetsByIdAndTypeOnly) {
  SetManager manager;
  manager.addSet(makeSet(SET_ELEMENT, 5, {1, 2}));
  manager.addSet(makeSet(SET_NODE, 3, {7}));
  manager.buildSetMaps();

  EXPECT_EQ(manager.findSet(5, SET_NODE), nullptr);  // only an element set 5 exists
  ASSERT_NE(manager.findSet(5, SET_ELEMENT), nullptr);
  EXPECT_EQ(manager.findSet(5, SET_ELEMENT)->id_array, (std::vector<int>{1, 2}));
  EXPECT_EQ(manager.findSet(3, 4), nullptr);
  EXPECT_EQ(manager.findSet(3, -1), nullptr);
  EXPECT_EQ(manager.addSet(makeSet(7, 1, {})), nullptr);
}

TEST(SetManager, RepeatedIdKeepsTheFirstSet) {
  SetManager manager;
  manager.addSet(makeSet(SET_NODE, 2, {1}));
  manager.addSet(makeSet(SET_NODE, 2, {9}));
  manager.buildSetMaps();
  ASSERT_NE(manager.findSet(2, SET_NODE), nullptr);
  EXPECT_EQ(manager.findSet(2, SET_NODE)->id_array, (std::vector<int>{1}));
}

TEST(SetManager, LookupBeforeMapsAreBuiltDoesNotHideTheSet) {
  SetManager manager;
  manager.addSet(makeSet(SET_PART, 4, {1}));
  EXPECT_EQ(manager.findSet(4, SET_PART), nullptr);  // leaves a null entry
  manager.buildSetMaps();
  EXPECT_NE(manager.findSet(4, SET_PART), nullptr);
}

TEST(SetManager, SetPointersSurviveLaterAppends) {
  SetManager manager;
  manager.addSet(makeSet(SET_NODE, 1, {1}));
  manager.buildSetMaps();
  Set* first = manager.findSet(1, SET_NODE);
  for (int id = 2; id < 200; ++id) {
    manager.addSet(makeSet(SET_NODE, id, {id}));
  }
  manager.buildSetMaps();
  EXPECT_EQ(manager.findSet(1, SET_NODE), first);
  EXPECT_EQ(first->id_array, (std::vector<int>{1}));
  EXPECT_EQ(manager.findSet(199, SET_NODE)->id_array, (std::vector<int>{199}));
}

DEVICE_TEST(Set, CopyCarriesHostDataButNoDeviceArray) {
  Set original = makeSet(SET_NODE, 8, {3, 4});
  original.name = "edge";
  ASSERT_EQ(cudaMalloc(&original.node_array_gpu, 2 * sizeof(NodeCuda*)), cudaSuccess);
  {
    Set copy(original);
    EXPECT_EQ(copy.name, "edge");
    EXPECT_EQ(copy.id_array, original.id_array);
    EXPECT_EQ(copy.node_array_gpu, nullptr);
  }  // the copy frees nothing
  Set moved(std::move(original));
  EXPECT_NE(moved.node_array_gpu, nullptr);
  EXPECT_EQ(original.node_array_gpu, nullptr);
  moved.freeGpu();
  EXPECT_EQ(moved.node_array_gpu, nullptr);
}
