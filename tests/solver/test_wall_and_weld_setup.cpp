// Set-up of rigid walls and welds from their deck records.
#include <gtest/gtest.h>

#include "core/curvemanager.h"
#include "solver/constrained.h"
#include "solver/femdynamic.h"
#include "solver/rigidwall.h"
#include "tests/solver/nodeSetModel.h"

namespace {

class WallAndWeld : public NodeSetModel {
 protected:
  void SetUp() override {
    makeNodes(5);
    addNodeSet(3, {2, 4});
    addNodeSet(4, {1, 2, 3});
    resolveSets();
  }
};

TEST_F(WallAndWeld, WallFrameFromTailHeadAndEdge) {
  RigidWall w;
  w.head_point[2] = 2.0;
  w.edge_point[0] = 5.0;
  w.setCoordSystem();
  EXPECT_EQ(w.normal[2], 1.0);
  EXPECT_EQ(w.tangent1[0], 1.0);
  EXPECT_EQ(w.tangent2[1], -1.0);  // t1 x n = x x z = -y
}

TEST_F(WallAndWeld, WallSlaveNodesFromModelOrSet) {
  RigidWall all;
  ASSERT_TRUE(all.linkSlaveNodes(fem_.nodeManager, fem_.setManager));
  EXPECT_EQ(all.slave_node_num, 5);
  RigidWall some;
  some.slave_set_id = 3;
  ASSERT_TRUE(some.linkSlaveNodes(fem_.nodeManager, fem_.setManager));
  ASSERT_EQ(some.slave_node_num, 2);
  EXPECT_EQ(some.slave_node_array[1], &node(4));
  RigidWall missing;
  missing.slave_set_id = 99;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(missing.linkSlaveNodes(fem_.nodeManager, fem_.setManager));
  testing::internal::GetCapturedStderr();
}

TEST_F(WallAndWeld, WallMotionByCurve) {
  Curve c(1.0, 1.0, 0.0, 0);
  c.id = 2;
  c.count = 2;
  c.x[1] = 1.0;
  c.y[1] = 2.0;  // value 2 t
  fem_.curveManager->addCurve(c);
  fem_.curveManager->buildCurveMap();
  RigidWall w;
  w.motion_curve_id = 2;
  w.motion_direction[0] = 1.0;
  ASSERT_TRUE(w.linkCurve(fem_.curveManager));
  w.motion_mode = 0;
  w.calWallMotion(0.5, 0.5);  // value 1 x dt 0.5
  EXPECT_DOUBLE_EQ(w.tail_point[0], 0.5);
  w.motion_mode = 1;
  w.calWallMotion(0.5, 0.25);  // value 0.5 - last 0
  w.calWallMotion(0.5, 0.75);  // value 1.5 - last 0.5
  EXPECT_DOUBLE_EQ(w.tail_point[0], 2.0);
  RigidWall unknown;
  unknown.motion_curve_id = 7;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(unknown.linkCurve(fem_.curveManager));
  testing::internal::GetCapturedStderr();
}

TEST_F(WallAndWeld, SpotWeldTakesFirstNodeAsMaster) {
  Constrained two;
  two.node_set_id = 3;
  ASSERT_TRUE(two.linkNodeSet(fem_.setManager));
  EXPECT_EQ(node(4).master_node_id, 2);
  EXPECT_EQ(node(2).two_node_weld_flag, 1);
  EXPECT_EQ(node(2).constrained_flag, 1);
  EXPECT_EQ(node(4).constrained_flag, 1);
  Constrained three;
  three.node_set_id = 4;
  ASSERT_TRUE(three.linkNodeSet(fem_.setManager));
  EXPECT_EQ(node(3).master_node_id, 1);
  EXPECT_EQ(node(1).two_node_weld_flag, 0);
}

TEST_F(WallAndWeld, JointsNeedTheirNodeCounts) {
  Constrained spherical;
  spherical.constrained_type = 4;
  spherical.node_set_id = 4;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(spherical.linkNodeSet(fem_.setManager));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "constrained joint spherical input error!");
  Constrained revolute;
  revolute.constrained_type = 5;
  revolute.node_set_id = 3;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(revolute.linkNodeSet(fem_.setManager));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "constrained joint revolute input error!");
  spherical.node_set_id = 3;
  EXPECT_TRUE(spherical.linkNodeSet(fem_.setManager));
  EXPECT_EQ(spherical.jointNodesA.size(), 1u);
}

}  // namespace
