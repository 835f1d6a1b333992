#include <gtest/gtest.h>

#include "core/nodeManager.h"
#include "core/part.h"
#include "core/setManager.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"
#include "solver/setMembers.h"

namespace {

class InitialConditionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fem_.newManagers();
    for (int i = 0; i < 5; ++i) {
      NodeCuda node{};
      node.id = i + 1;
      node.store_id = i;
      node.coord[0] = 1.0 * i;
      fem_.nodeManager->node_array_cpu.push_back(node);
    }
    fem_.nodeManager->checkNodeIdMap();
    Set set;
    set.type = SET_NODE;
    set.id = 3;
    set.id_array = {1, 2, 3};
    fem_.setManager->addSet(set);
    resolveAllSets(*fem_.setManager, &fem_);
  }
  NodeCuda& node(int number) { return fem_.nodeManager->node_array_cpu[number - 1]; }
  InitialCondition make(int type, int nodeId, int setId, std::initializer_list<double> values) {
    InitialCondition condition;
    condition.type = type;
    condition.ic_node_id = nodeId;
    condition.ic_set_id = setId;
    int k = 0;
    for (double v : values) condition.value[k++] = v;
    return condition;
  }
  FEMDynamic fem_;
};

}  // namespace

TEST_F(InitialConditionTest, VelocityOnANodeSetAddsToEachNodeAndConditionsAddUp) {
  InitialCondition onSet = make(IC_VELOCITY, 0, 3, {1, 2, 3, 0.1, 0.2, 0.3});
  InitialCondition onNode = make(IC_VELOCITY, 2, 0, {10, 0, 0, 0, 0, 0});
  ASSERT_TRUE(onSet.resolveTargets(&fem_));
  ASSERT_TRUE(onNode.resolveTargets(&fem_));
  EXPECT_EQ(onSet.nodes.size(), 3u);
  onSet.apply(fem_.rigidManager);
  onNode.apply(fem_.rigidManager);
  for (int n : {1, 3}) {
    EXPECT_EQ(node(n).vel[0], 1.0);
    EXPECT_EQ(node(n).vel[5], 0.3);
  }
  EXPECT_EQ(node(2).vel[0], 11.0);
  EXPECT_EQ(node(4).vel[0], 0.0);
  EXPECT_EQ(node(2).coord[0], 1.0);  // a velocity moves nothing
}

TEST_F(InitialConditionTest, DisplacementMovesCoordinatesAndTotalDisplacement) {
  InitialCondition shift = make(IC_DISPLACEMENT, 5, 0, {0.5, -1, 2, 0.01, 0, 0});
  ASSERT_TRUE(shift.resolveTargets(&fem_));
  shift.apply(fem_.rigidManager);
  EXPECT_EQ(node(5).coord[0], 4.5);
  EXPECT_EQ(node(5).coord[1], -1.0);
  EXPECT_EQ(node(5).coord[2], 2.0);
  EXPECT_EQ(node(5).rotation[0], 0.01);
  EXPECT_EQ(node(5).total_disp[0], 0.5);
  EXPECT_EQ(node(5).total_disp[3], 0.01);
  EXPECT_EQ(node(5).vel[0], 0.0);
}

TEST_F(InitialConditionTest, SetTakesPrecedenceOverPartAndPartOverNode) {
  fem_.part_array.resize(1);
  fem_.part_array[0].node_array = {&node(4), &node(5)};
  InitialCondition condition = make(IC_VELOCITY, 1, 0, {1, 0, 0, 0, 0, 0});
  condition.ic_part_id = 1;
  ASSERT_TRUE(condition.resolveTargets(&fem_));
  EXPECT_EQ(condition.nodes, (std::vector<NodeCuda*>{&node(4), &node(5)}));
  condition.ic_set_id = 3;
  ASSERT_TRUE(condition.resolveTargets(&fem_));
  EXPECT_EQ(condition.nodes, (std::vector<NodeCuda*>{&node(1), &node(2), &node(3)}));
}

TEST_F(InitialConditionTest, MissingTargetsAreReported) {
  EXPECT_FALSE(make(IC_VELOCITY, 42, 0, {1}).resolveTargets(&fem_));
  EXPECT_FALSE(make(IC_VELOCITY, 0, 8, {1}).resolveTargets(&fem_));
  InitialCondition onPart = make(IC_VELOCITY, 0, 0, {1});
  onPart.ic_part_id = 3;
  EXPECT_FALSE(onPart.resolveTargets(&fem_));
  EXPECT_TRUE(onPart.nodes.empty());
}

TEST_F(InitialConditionTest, RigidNodeTakesNoDisplacementAndOtherTypesDoNothing) {
  node(1).rigid_flag = 1;
  InitialCondition shift = make(IC_DISPLACEMENT, 0, 3, {1, 1, 1, 0, 0, 0});
  ASSERT_TRUE(shift.resolveTargets(&fem_));
  testing::internal::CaptureStdout();
  shift.apply(fem_.rigidManager);
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find("请补充对刚体施加此种初始边界条件"), std::string::npos);
  EXPECT_EQ(node(1).coord[0], 0.0);
  EXPECT_EQ(node(2).coord[0], 2.0);
  InitialCondition other = make(7, 0, 3, {1, 1, 1, 1, 1, 1});
  ASSERT_TRUE(other.resolveTargets(&fem_));
  other.apply(fem_.rigidManager);
  EXPECT_EQ(node(2).coord[0], 2.0);
  EXPECT_EQ(node(2).vel[0], 0.0);
}
