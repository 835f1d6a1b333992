// The card families of supports, loads, rigid walls and rigid bodies, read
// as the field writes them, and the decks refused for naming what the model
// does not hold.
#include <gtest/gtest.h>

#include "solver/boundary.h"
#include "solver/load.h"
#include "solver/rigidmanager.h"
#include "solver/rigidwall.h"
#include "tests/input/keyword/keywordTestDeck.h"
#include "tests/solver/motionDeck.h"

namespace {
BasicBoundary& boundary(FEMDynamic& fem, std::size_t k) { return *fem.boundaryManager->boundary_array.at(k); }
BasicLoad& load(FEMDynamic& fem, std::size_t k) { return *fem.loadManager->load_array.at(k); }
}  // namespace

TEST_F(KeywordDeckTest, BoundaryCardsOnePerLineWithTheirCodes) {
  testing::internal::CaptureStderr();
  ASSERT_TRUE(read("*BOUNDARY_PRESCRIBED_MOTION_SET\n" + card({"4", "3", "0", "", "0.25"}) +
                   card({"4", "5", "1", "2", "3.0"}) + card({"5", "1", "2"}) + "*BOUNDARY_PRESCRIBED_MOTION_NODE\n" +
                   card({"7", "6", "0", "", "1.0", "", "0.5", "0.1"}) + "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n" +
                   card({"2", "1", "0", "", "0.5"}) + card({"3", "2", "0", "", "0", "", "0.3", "0.1"}) +
                   "*BOUNDARY_SPC_NODE\n" + card({"8", "0", "1", "1", "1", "0", "0", "0"}) +
                   "*BOUNDARY_SPC_SET_BIRTH_DEATH\n" + card({"1", "0", "1"}) + card({"0.1", "0.2"}) +
                   card({"2", "0", "0", "1"}) + card({"0.3", "0.4"})));
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(fem->boundaryManager->boundary_array.size(), 9u);
  // Three set cards, three boundaries: velocity 0.25 in z, acceleration 3
  // about x by curve 2, displacement in x with a blank factor (1.0).
  EXPECT_EQ(boundary(*fem, 0).type, BOUNDARY_VELOCITY);
  EXPECT_EQ(boundary(*fem, 0).is_set, 1);
  EXPECT_EQ(boundary(*fem, 0).dof_value[2], 0.25);
  EXPECT_EQ(boundary(*fem, 1).type, BOUNDARY_ACCELERATION);
  EXPECT_EQ(boundary(*fem, 1).dof_flag[3], 1);
  EXPECT_EQ(boundary(*fem, 1).curve_id, 2);
  EXPECT_EQ(boundary(*fem, 2).type, BOUNDARY_DISPLACEMENT);
  EXPECT_EQ(boundary(*fem, 2).dof_value[0], 1.0);
  // DOF 6: rotation about y; death and birth from fields 7 and 8.
  EXPECT_EQ(boundary(*fem, 3).dof_flag[4], 1);
  EXPECT_EQ(boundary(*fem, 3).death_time, 0.5);
  EXPECT_EQ(boundary(*fem, 3).birth_time, 0.1);
  // Rigid factors are doubles; 0 stands for 1.0. Each card is also a
  // prescribed motion of the body.
  EXPECT_EQ(boundary(*fem, 4).dof_value[0], 0.5);
  EXPECT_EQ(boundary(*fem, 5).dof_value[1], 1.0);
  // Rigid cards have their time window too; a blank death never ends.
  EXPECT_EQ(boundary(*fem, 4).death_time, kNeverEnds);
  EXPECT_EQ(boundary(*fem, 5).death_time, 0.3);
  EXPECT_EQ(boundary(*fem, 5).birth_time, 0.1);
  EXPECT_EQ(boundary(*fem, 0).death_time, kNeverEnds);
  ASSERT_EQ(fem->rigidManager->rigid_constrained_array.size(), 2u);
  EXPECT_EQ(fem->rigidManager->rigid_constrained_array[1].part_id, 3);
  EXPECT_EQ(fem->rigidManager->rigid_constrained_array[1].dof_flag[1], 1.0);
  // Constraints prescribe zero velocity of their flagged components.
  EXPECT_EQ(boundary(*fem, 6).type, BOUNDARY_VELOCITY);
  EXPECT_EQ(boundary(*fem, 6).dof_flag[2], 1);
  EXPECT_EQ(boundary(*fem, 6).dof_flag[3], 0);
  EXPECT_EQ(boundary(*fem, 6).dof_value[2], 0.0);
  EXPECT_EQ(boundary(*fem, 7).birth_time, 0.1);
  EXPECT_EQ(boundary(*fem, 7).death_time, 0.2);
  EXPECT_EQ(boundary(*fem, 8).birth_time, 0.3);
  EXPECT_EQ(boundary(*fem, 8).death_time, 0.4);
  EXPECT_EQ(boundary(*fem, 8).dof_flag[1], 1);
  // A death time written as 0 means the motion never ends.
  ASSERT_TRUE(read("*BOUNDARY_PRESCRIBED_MOTION_NODE\n" + card({"7", "1", "0", "", "1.0", "", "0.0", "0.0"})));
  EXPECT_EQ(fem->boundaryManager->boundary_array.back()->death_time, kNeverEnds);
  EXPECT_EQ(fem->boundaryManager->boundary_array.back()->birth_time, 0.0);
  // A motion code that is not 0, 1 or 2 refuses the deck.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(read("*BOUNDARY_PRESCRIBED_MOTION_NODE\n" + card({"7", "1", "5"})));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("motion code (VAD) 5"), std::string::npos);
}

TEST_F(KeywordDeckTest, LoadCardsWithTheirDefaults) {
  ASSERT_TRUE(read("*LOAD_NODE_POINT\n" + card({"3", "2", "0"}) + card({"4", "1", "", "2.5"}) + "*LOAD_NODE_SET\n" +
                   "  12  3    9   7.5\n" + "*LOAD_BODY_Z\n" + card({"5", "9.81"}) + "*LOAD_SHELL_SET_ID\n" +
                   "11 roof\n" + card({"6", "8", "0", "0.0"}) + card({"12", "roof edge"}) + card({"7", "8", "2.0"})));
  ASSERT_EQ(fem->loadManager->load_array.size(), 6u);
  EXPECT_EQ(load(*fem, 0).direction[1], 1.0);
  EXPECT_EQ(load(*fem, 0).scale_factor, 1.0);
  EXPECT_EQ(load(*fem, 0).curve_id, 0);
  EXPECT_EQ(load(*fem, 1).id, 4);
  EXPECT_EQ(load(*fem, 1).scale_factor, 2.5);
  EXPECT_EQ(load(*fem, 2).is_set, 1);
  EXPECT_EQ(load(*fem, 2).id, 12);
  EXPECT_EQ(load(*fem, 2).direction[2], 1.0);
  EXPECT_EQ(load(*fem, 2).curve_id, 9);
  EXPECT_EQ(load(*fem, 2).scale_factor, 7.5);
  EXPECT_EQ(load(*fem, 3).load_type, LOAD_GRAVITY);
  EXPECT_EQ(load(*fem, 3).direction[2], -1.0);
  EXPECT_EQ(load(*fem, 3).scale_factor, 9.81);
  EXPECT_EQ(load(*fem, 3).curve_id, 5);
  // Every card of an "_ID" form comes after an id card of its own.
  for (std::size_t k : {4u, 5u}) {
    EXPECT_EQ(load(*fem, k).load_type, LOAD_PRESSURE);
    EXPECT_EQ(load(*fem, k).curve_id, 8);
  }
  EXPECT_EQ(load(*fem, 4).load_id, 11);
  EXPECT_EQ(load(*fem, 4).title, "roof");
  EXPECT_EQ(load(*fem, 5).load_id, 12);
  EXPECT_EQ(load(*fem, 5).title, "roof edge");
  EXPECT_EQ(load(*fem, 4).scale_factor, 1.0);
  EXPECT_EQ(load(*fem, 5).scale_factor, 2.0);
}

// Node-load cards are node (or set), DOF, curve, factor: node 11 in z by
// curve 1 times -100; DOF 5, 6, 7 are moments about x, y, z. Follower
// loads (DOF 4, 8), local axes (CID) and follower nodes refuse the deck,
// naming the card.
TEST_F(KeywordDeckTest, NodeLoadCardsReadTheCurveBeforeTheFactor) {
  ASSERT_TRUE(read("*LOAD_NODE_POINT\n" + card({"11", "3", "1", "-100.0"}) + card({"12", "6", "", "4.0"}) +
                   "*LOAD_NODE_SET\n" + card({"2", "7", "3"})));
  ASSERT_EQ(fem->loadManager->load_array.size(), 3u);
  EXPECT_EQ(load(*fem, 0).curve_id, 1);
  EXPECT_EQ(load(*fem, 0).scale_factor, -100.0);
  EXPECT_EQ(load(*fem, 0).direction[2], 1.0);
  EXPECT_EQ(load(*fem, 1).direction[4], 1.0);
  EXPECT_EQ(load(*fem, 1).scale_factor, 4.0);
  EXPECT_EQ(load(*fem, 2).direction[5], 1.0);
  EXPECT_EQ(load(*fem, 2).curve_id, 3);
  EXPECT_EQ(load(*fem, 2).scale_factor, 1.0);
  for (int i : {0, 1, 3, 4}) EXPECT_EQ(load(*fem, 2).direction[i], 0.0);

  const struct {
    std::string deck, message;
  } refused[] = {
      {"*LOAD_NODE_POINT\n" + card({"11", "4", "1", "5.0"}), "*LOAD_NODE_POINT 11: DOF 4 (a follower force)"},
      {"*LOAD_NODE_SET\n" + card({"3", "8", "1"}), "*LOAD_NODE_SET 3: DOF 8 (a follower moment)"},
      {"*LOAD_NODE_POINT\n" + card({"11", "1", "1", "5.0", "2"}), "local coordinate system (CID)"},
      {"*LOAD_NODE_POINT\n" + card({"11", "1", "1", "5.0", "", "4", "5", "6"}), "following nodes"},
  };
  for (const auto& c : refused) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(read(c.deck)) << c.deck;
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
  }
}

TEST_F(KeywordDeckTest, RigidWallAndRigidBodyCards) {
  // The moving wall (its mass and initial velocity) is kept but not
  // computed: the deck is refused once every block is read.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(
      read("*RIGIDWALL_PLANAR\n" + card({""}) + card({"0", "0", "0", "0", "0", "1"}) +
           "*RIGIDWALL_PLANAR_FINITE_MOVING_ID\n5 floor\n" + card({"3"}) + card({"1", "2", "3", "1", "2", "4"}) +
           card({"2", "2", "3", "0.5", "0.25"}) + card({"10.0", "2.0"}) + "*RIGIDWALL_GEOMETRIC_FLAT_MOTION\n" +
           card({"0"}) + card({"0", "0", "0", "0", "0", "1"}) + card({"1", "0", "0", "2", "2"}) +
           card({"4", "1", "0", "0", "1"}) + "*CONSTRAINED_NODAL_RIGID_BODY\n" + card({"7"}) + card({"8", "", "20"}) +
           "*CONSTRAINED_RIGID_BODIES\n" + card({"3", "2"}) + "*CONSTRAINED_EXTRA_NODES_NODE\n" + card({"3", "41"}) +
           "*CONSTRAINED_EXTRA_NODES_SET\n" + card({"2", "6"})));
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "line 4: \"*RIGIDWALL_PLANAR_FINITE_MOVING_ID\" (a wall moved by its mass and initial velocity"),
            std::string::npos);
  const std::vector<RigidWall>& walls = *fem->rigid_wall_array;
  ASSERT_EQ(walls.size(), 3u);
  EXPECT_EQ(walls[0].slave_set_id, 0);
  EXPECT_EQ(walls[0].motion_mode, 1);
  EXPECT_EQ(walls[0].head_point[2], 1.0);
  EXPECT_EQ(walls[1].wall_id, 5);
  EXPECT_EQ(walls[1].wall_title, "floor");
  EXPECT_EQ(walls[1].slave_set_id, 3);
  EXPECT_EQ(walls[1].edge_point[0], 2.0);
  EXPECT_EQ(walls[1].edge_lengths[1], 0.25);
  EXPECT_EQ(walls[1].moving_values[0], 10.0);
  EXPECT_EQ(walls[1].motion_mode, 0);
  EXPECT_EQ(walls[2].motion_curve_id, 4);
  EXPECT_EQ(walls[2].motion_mode, 1);
  EXPECT_EQ(walls[2].motion_direction[2], 1.0);
  const RigidManager& rigid = *fem->rigidManager;
  EXPECT_EQ(rigid.nodal_rigid_set_ids, (std::vector<int>{7, 20}));
  EXPECT_EQ(rigid.master_rigid_ids, std::vector<int>{3});
  EXPECT_EQ(rigid.slave_rigid_ids, std::vector<int>{2});
  EXPECT_EQ(rigid.extra_node_ids, (std::vector<int>{41, 0}));
  EXPECT_EQ(rigid.extra_set_ids, (std::vector<int>{0, 6}));
  EXPECT_EQ(rigid.extra_is_set, (std::vector<bool>{false, true}));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(read("*RIGIDWALL_GEOMETRIC_SPHERE\n" + card({"0"})));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("only planar and flat geometric"), std::string::npos);
}

// A card naming a target or a load curve that is not in the model, or a wall without
// geometry, stops the run with a message naming the card and the id.
TEST(KeywordSupportsRefused, UnknownTargetsAndWallsWithoutGeometryExitWithStatusOne) {
  using motiondeck::Block;
  Block b;
  Block rigidBlock;
  rigidBlock.part = 2;
  rigidBlock.rigid = true;
  rigidBlock.nodeOffset = 8;
  rigidBlock.elementOffset = 1;
  rigidBlock.origin[0] = 3.0;
  const std::string model = b.cards() + motiondeck::termination(0.001);
  const struct {
    const char* name;
    std::string cards;
    const char* message;
  } cases[] = {
      {"spc_set", "*BOUNDARY_SPC_SET\n" + card({"9", "0", "1"}),
       "*BOUNDARY_SPC_SET (line 23): node set 9 is not in the model"},
      {"wall", "*RIGIDWALL_PLANAR\n" + card({"0"}) + card({"0", "0", "1", "0", "0", "1"}), "the wall has no normal"},
      {"rigid", "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n" + card({"1", "1", "0", "", "1.0"}),
       "*BOUNDARY_PRESCRIBED_MOTION_RIGID (line 23): part 1 is not a rigid body of the model"},
      {"curve", "*LOAD_BODY_Y\n" + card({"3", "1.0"}), "*LOAD_BODY_Y (line 23): load curve 3 is not in the model"},
      {"motion_curve", "*BOUNDARY_PRESCRIBED_MOTION_NODE\n" + card({"1", "1", "0", "7", "1.0"}),
       "*BOUNDARY_PRESCRIBED_MOTION_NODE (line 23): load curve 7 is not in the model"},
      {"rigid_curve", rigidBlock.cards() + "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n" + card({"2", "1", "0", "8", "1.0"}),
       "*BOUNDARY_PRESCRIBED_MOTION_RIGID (line 41): load curve 8 is not in the model"},
      {"wall_curve",
       "*RIGIDWALL_GEOMETRIC_FLAT_MOTION\n" + card({"0"}) + card({"0", "0", "0", "0", "0", "1"}) +
           card({"1", "0", "0", "0.5", "0.5"}) + card({"5", "0", "0", "0", "1"}),
       "*RIGIDWALL_GEOMETRIC_FLAT_MOTION (line 23): load curve 5 is not in the model"},
      {"shells", "*LOAD_SHELL_SET\n" + card({"4", "0", "1.0"}),
       "*LOAD_SHELL_SET (line 23): shell element set 4 is not in the model"},
      {"extra", rigidBlock.cards() + "*CONSTRAINED_EXTRA_NODES_SET\n" + card({"2", "5"}),
       "*CONSTRAINED_EXTRA_NODES_SET (line 41): node set 5 is not in the model"},
      {"nodal", "*CONSTRAINED_NODAL_RIGID_BODY\n" + card({"6"}),
       "*CONSTRAINED_NODAL_RIGID_BODY (line 23): node set 6 of body 6"},
      {"node", "*LOAD_NODE_POINT\n" + card({"99", "1", "1.0"}), "node 99"},
      {"velocity_set", "*INITIAL_VELOCITY\n" + card({"9"}) + card({"1.0"}),
       "initial condition (line 23): node set 9 is not in the model"},
      {"spc_node", "*BOUNDARY_SPC_NODE\n" + card({"99", "0", "1"}), "node 99 (named by *BOUNDARY_SPC_NODE (line 23))"},
      {"wall_set", "*RIGIDWALL_PLANAR\n" + card({"9"}) + card({"0", "0", "0", "0", "0", "1"}),
       "*RIGIDWALL_PLANAR (line 23): node set 9 is not in the model"},
      {"weld", "*CONSTRAINED_SPOTWELD\n" + card({"1", "99"}), "node 99 (named by *CONSTRAINED_SPOTWELD (line 23))"},
      {"merge", "*CONSTRAINED_RIGID_BODIES\n" + card({"7", "8"}),
       "part 7 (named by *CONSTRAINED_RIGID_BODIES (line 23))"},
      {"lcss",
       "*MAT_PIECEWISE_LINEAR_PLASTICITY\n" + card({"77", "7.85e-9", "2.1e5", "0.3", "250."}) + card({"0", "0", "9"}) +
           card({"0"}) + card({"0"}),
       "*MAT_PIECEWISE_LINEAR_PLASTICITY (line 23): curve 9 is not in the model"},
  };
  for (const auto& c : cases) {
    std::string console;
    EXPECT_EQ(motiondeck::runProgram(std::string("refused_") + c.name, model + c.cards, &console), 1)
        << c.name << console;
    EXPECT_NE(console.find(c.message), std::string::npos) << c.name << "\n" << console;
  }
}
