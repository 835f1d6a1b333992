// Spot-weld and joint cards as a deck writes them.
#include "tests/input/keyword/keywordTestDeck.h"

#include "core/setManager.h"
#include "solver/constrained.h"

namespace {

// The node set of that id as read (the id maps are built at set-up).
std::vector<int> nodeSetMembers(FEMDynamic* fem, int id) {
  for (const Set& s : fem->setManager->node_set_array)
    if (s.id == id) return s.id_array;
  ADD_FAILURE() << "no node set " << id;
  return {};
}

class ConstrainedCards : public KeywordDeckTest {
 protected:
  std::vector<Constrained>& records() { return fem->constrainedManager->constrained_array; }
};

// Without _ID every line is a weld, each with a set of its own; with _ID a
// weld id line precedes each card.  Generated set ids never meet a deck's.
TEST_F(ConstrainedCards, SpotWeldsOneSetPerWeldWithAndWithoutId) {
  // The second weld gives a failure strain (EP), which no weld of this
  // version computes: the deck is refused once every block is read.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(read("*SET_NODE_LIST\n" + card({"1001"}) + card({"7", "8"}) + "*CONSTRAINED_SPOTWELD\n" +
                    card({"101", "102"}) + card({"103", "104", "", "", "", "", "", "2.5"}) +
                    "*CONSTRAINED_SPOTWELD_ID\n" + card({"12"}) + card({"105", "106"}) + "*END\n"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("line 4: \"*CONSTRAINED_SPOTWELD\" (spot welds do not fail"),
            std::string::npos);
  ASSERT_EQ(records().size(), 3u);
  std::vector<int> setIds;
  for (const Constrained& c : records()) {
    EXPECT_EQ(c.constrained_type, 0);
    setIds.push_back(c.node_set_id);
    EXPECT_NE(c.node_set_id, 1001);
  }
  EXPECT_NE(setIds[0], setIds[1]);
  EXPECT_EQ(records()[1].weld_nodes[0], 103);
  EXPECT_DOUBLE_EQ(records()[1].weld_value8, 2.5);
  EXPECT_EQ(records()[2].weld_id, 12);
  EXPECT_EQ(nodeSetMembers(fem.get(), setIds[1]), (std::vector<int>{103, 104}));
  EXPECT_EQ(nodeSetMembers(fem.get(), setIds[2]), (std::vector<int>{105, 106}));
  EXPECT_EQ(nodeSetMembers(fem.get(), 1001), (std::vector<int>{7, 8}));
  EXPECT_EQ(state.nodeSetNumber, 4);
}

TEST_F(ConstrainedCards, JointCardsChecksSetsAndTheWorkingRecord) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  // The cylindrical joint and the joint failure are kept but do not act:
  // the deck is refused once every block is read.
  EXPECT_FALSE(read("*CONSTRAINED_JOINT_SPHERICAL_ID\n3 hinge\n" + card({"11", "12", "", "", "", "", "-2.0"}) +
                    "*CONSTRAINED_JOINT_REVOLUTE\n" + card({"1", "2", "3", "4", "", "", "", "0.005"}) +
                    "*CONSTRAINED_JOINT_CYLINDRICAL\n" + card({"5", "6", "7", "8"}) +
                    "*CONSTRAINED_JOINT_SPHERICAL_FAILURE_ID\n9 f\n" + card({"21", "22"}) + card({"1", "0.1", "0.2"}) +
                    card({"1", "2", "3", "4", "5", "6"}) + "*END\n"));
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("Not support relative penalty stiffness given by load curve"), std::string::npos);
  EXPECT_NE(err.find("line 6: \"*CONSTRAINED_JOINT_CYLINDRICAL\" (cylindrical and universal joints do not act"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("line 8: \"*CONSTRAINED_JOINT_SPHERICAL_FAILURE_ID\" (joints do not fail"), std::string::npos)
      << err;
  ASSERT_EQ(records().size(), 4u);
  const Constrained& sph = records()[0];
  EXPECT_EQ(sph.constrained_type, 4);
  EXPECT_EQ(sph.joint_id, 3);
  EXPECT_EQ(sph.joint_title, "hinge");
  EXPECT_DOUBLE_EQ(sph.penalty_scale, 1.0);
  EXPECT_DOUBLE_EQ(sph.joint_value8, 1.0);
  // Blank node fields stay out of the set.
  EXPECT_EQ(nodeSetMembers(fem.get(), sph.node_set_id), (std::vector<int>{11, 12}));
  const Constrained& rev = records()[1];
  EXPECT_EQ(rev.constrained_type, 5);
  EXPECT_EQ(rev.joint_nodes[3], 4);
  EXPECT_DOUBLE_EQ(rev.joint_value8, 0.0);
  // The cylindrical card leaves field 7 blank: the previous card's value stays.
  EXPECT_EQ(records()[2].constrained_type, 6);
  EXPECT_DOUBLE_EQ(records()[2].penalty_scale, 1.0);
  const Constrained& fail = records()[3];
  EXPECT_EQ(fail.failure_flag, 1);
  EXPECT_DOUBLE_EQ(fail.failure_values[1], 0.2);
  EXPECT_DOUBLE_EQ(fail.failure_limits[5], 6.0);
  // A failure joint binds its own nodes, not the previous joint's set.
  ASSERT_NE(fail.node_set_id, rev.node_set_id);
  EXPECT_EQ(nodeSetMembers(fem.get(), fail.node_set_id), (std::vector<int>{21, 22}));
}

}  // namespace
