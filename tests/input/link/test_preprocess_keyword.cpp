// Completion of keyword decks after the block loop: numbering, hand-over of
// the element stores, sets and initial velocities, and refusal of decks that
// name what they never define.
#include <gtest/gtest.h>

#include <sstream>

#include "contact/contact.h"
#include "contact/contactManager.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "core/setManager.h"
#include "solver/initialCondition.h"
#include "input/link/preprocessModel.h"
#include "tests/input/keyword/keywordTestDeck.h"

namespace {

// Eight nodes with sparse ids 101..108 (a unit cube), one solid of part 20
// and the end time.
std::string cubeMesh(const std::string& partId = "20") {
  return "*CONTROL_TERMINATION\n" + card({"1.0"}) +
         "*NODE\n"
         "101 0 0 0\n102 1 0 0\n103 1 1 0\n104 0 1 0\n"
         "105 0 0 1\n106 1 0 1\n107 1 1 1\n108 0 1 1\n"
         "*ELEMENT_SOLID\n"
         "9 " +
         partId + " 101 102 103 104 105 106 107 108\n";
}

std::string partCard(const std::string& title, const std::string& id, const std::string& section,
                     const std::string& material) {
  return "*PART\n" + title + "\n" + card({id, section, material});
}

std::string sectionAndMaterial() {
  return "*SECTION_SOLID\n" + card({"5", "1"}) + "*MAT_ELASTIC\n" + card({"7", "1.0", "1000.0", "0.3"});
}

class CompletionTest : public ::testing::Test {
 protected:
  void SetUp() override { fem.newManagers(); }
  int read(const std::string& name, const std::string& text) { return readDeckFile(&fem, "completion_" + name, text); }
  std::vector<InitialCondition>& conditions() { return *fem.initial_condition_array; }
  FEMDynamic fem;
};

}  // namespace

TEST_F(CompletionTest, NumbersNodesAndPartsAndHandsElementsToTheirParts) {
  ASSERT_EQ(read("numbering", cubeMesh() + partCard("unused", "30", "5", "7") + partCard("cube", "20", "5", "7") +
                                  sectionAndMaterial()),
            1);
  const auto& nodes = fem.nodeManager->node_array_cpu;
  ASSERT_EQ(nodes.size(), 8u);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(nodes[i].id, i + 1);
  }
  ASSERT_EQ(fem.part_array.size(), 2u);
  // A part that no element names gets empty element lists.
  EXPECT_EQ(fem.part_array[0].id, 1);
  EXPECT_TRUE(fem.elm_manager_array[0].solid_element_array_cpu.empty());
  EXPECT_TRUE(fem.elm_manager_array[0].shell_element_array_cpu.empty());
  // The cube's part is the second one read: its elements carry position 2.
  const Part& cube = fem.part_array[1];
  EXPECT_EQ(cube.id, 2);
  EXPECT_EQ(cube.section_id, 1);
  EXPECT_EQ(cube.material_id, 1);
  EXPECT_EQ(cube.elmManager, &fem.elm_manager_array[1]);
  ASSERT_EQ(fem.elm_manager_array[1].solid_element_array_cpu.size(), 1u);
  const SolidElementCuda& solid = fem.elm_manager_array[1].solid_element_array_cpu[0];
  EXPECT_EQ(solid.part_id, 2);
  EXPECT_EQ(solid.node_id[0], 1);
  EXPECT_EQ(solid.node_id[7], 8);
}

TEST_F(CompletionTest, UnknownMaterialSectionOrPartRefusesTheDeck) {
  EXPECT_EQ(read("no_material", cubeMesh() + partCard("cube", "20", "5", "8") + sectionAndMaterial()), 0);
  FEMDynamic second;
  second.newManagers();
  const std::string noSection = cubeMesh() + partCard("cube", "20", "6", "7") + sectionAndMaterial();
  EXPECT_EQ(readDeckFile(&second, "completion_no_section", noSection), 0);
  FEMDynamic third;
  third.newManagers();
  // Elements of part 40, which no *PART card defines.
  const std::string noPart = cubeMesh("40") + partCard("cube", "20", "5", "7") + sectionAndMaterial();
  EXPECT_EQ(readDeckFile(&third, "completion_no_part", noPart), 0);
}

TEST_F(CompletionTest, NodeSetsHoldNodeNumbersAndExpandAddsAndParts) {
  const std::string sets = "*SET_NODE_LIST\n" + card({"1"}) + card({"108", "101"}) + "*SET_NODE_LIST\n" + card({"2"}) +
                           card({"103"}) + "*SET_NODE_ADD\n" + card({"3"}) + card({"2", "1"}) + "*SET_NODE_GENERAL\n" +
                           card({"4"}) + card({"PART", "20"});
  ASSERT_EQ(read("node_sets", cubeMesh() + partCard("cube", "20", "5", "7") + sectionAndMaterial() + sets), 1);
  SetManager& manager = *fem.setManager;
  manager.buildSetMaps();
  ASSERT_NE(manager.findSet(1, SET_NODE), nullptr);
  EXPECT_EQ(manager.findSet(1, SET_NODE)->id_array, (std::vector<int>{8, 1}));
  EXPECT_EQ(manager.findSet(3, SET_NODE)->id_array, (std::vector<int>{3, 8, 1}));
  // The nodes of part 20's elements, each once.
  EXPECT_EQ(manager.findSet(4, SET_NODE)->id_array, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(CompletionTest, NodeGeneralCardsTakeTheirOptionWords) {
  // The cube's nodes 101..108 are node numbers 1..8; box 9 holds its
  // lower face (z = 0). Each line gives its nodes once, in order; a SET
  // line takes the members of another set, also of a general set that
  // comes later or of an add set.
  const std::string sets = "*DEFINE_BOX\n" + card({"9", "-1.0", "2.0", "-1.0", "2.0", "-0.5", "0.5"}) +
                           "*SET_NODE_LIST\n" + card({"1"}) + card({"108", "101"}) + "*SET_NODE_GENERAL\n" +
                           card({"2"}) + card({"NODE", "105", "101"}) + card({"set", "1"}) +
                           "*SET_NODE_GENERAL_TITLE\nlower face\n" + card({"3"}) + card({"BOX", "9"}) +
                           "*SET_NODE_GENERAL\n" + card({"4"}) + card({"ALL"}) + "*SET_NODE_GENERAL\n" + card({"5"}) +
                           card({"SET", "6", "3"}) + "*SET_NODE_ADD\n" + card({"6"}) + card({"1"});
  ASSERT_EQ(read("node_general", cubeMesh() + partCard("cube", "20", "5", "7") + sectionAndMaterial() + sets), 1);
  SetManager& manager = *fem.setManager;
  manager.buildSetMaps();
  EXPECT_EQ(manager.findSet(2, SET_NODE)->id_array, (std::vector<int>{5, 1, 8}));
  EXPECT_EQ(manager.findSet(3, SET_NODE)->id_array, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(manager.findSet(4, SET_NODE)->id_array, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(manager.findSet(5, SET_NODE)->id_array, (std::vector<int>{8, 1, 2, 3, 4}));

  // An option this version cannot build, a box or node the deck lacks and
  // a set id given twice refuse the deck, naming them.
  const std::string base = cubeMesh() + partCard("cube", "20", "5", "7") + sectionAndMaterial();
  const std::pair<std::string, std::string> refused[] = {
      {"*SET_NODE_GENERAL\n" + card({"2"}) + card({"SHELL", "9"}), "the option SHELL is not read by this version"},
      {"*SET_NODE_GENERAL\n" + card({"2"}) + card({"DPART", "20"}), "the option DPART is not read"},
      {"*SET_NODE_GENERAL\n" + card({"2"}) + card({"BOX", "4"}), "box 4 is not defined in the deck"},
      {"*SET_NODE_GENERAL\n" + card({"2"}) + card({"NODE", "109"}), "node 109"},
      {"*SET_NODE\n" + card({"2"}) + card({"101"}) + "*SET_NODE_LIST\n" + card({"2"}) + card({"102"}),
       "a set of this kind with the id 2 is defined twice"},
      // A refusal after the block loop names the line of the card.
      {"*SET_PART_LIST\n" + card({"7"}) + card({"21"}), "part 21 (named by part set 7 on line 22)"},
      {"*SET_NODE_ADD\n" + card({"7"}) + card({"8"}), "node set 7 on line 22 adds node set 8, which the deck"},
      {"*SET_SEGMENT\n" + card({"9"}) + card({"101", "102", "103", "199"}), "(named by segment set 9 on line 22)"},
      {"*DEFINE_BOX\n" + card({"1"}) + "*DEFINE_BOX\n" + card({"1"}),
       "\"*DEFINE_BOX\", line 24: the box id 1 is given twice"},
      {"*DEFINE_CURVE\n" + card({"3"}) + "0. 0.\n1. 1.\n*DEFINE_CURVE\n" + card({"3"}) + "0. 0.\n1. 1.\n",
       "\"*DEFINE_CURVE\", line 26: the curve id 3 is given twice"},
  };
  int n = 0;
  for (const auto& [deck, message] : refused) {
    FEMDynamic other;
    other.newManagers();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(readDeckFile(&other, "completion_general_" + std::to_string(++n), base + deck), 0) << message;
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(message), std::string::npos) << err;
  }
}

TEST_F(CompletionTest, AddSetsJoinLaterAddSetsAndSetsByParts) {
  // Set 5 adds set 6, an add set that comes later, and set 4, a set by
  // parts: both are expanded before set 5 takes their members.
  const std::string sets = "*SET_NODE_ADD\n" + card({"5"}) + card({"6", "4"}) + "*SET_NODE_ADD\n" + card({"6"}) +
                           card({"1"}) + "*SET_NODE_LIST\n" + card({"1"}) + card({"108", "101"}) +
                           "*SET_NODE_GENERAL\n" + card({"4"}) + card({"PART", "20"});
  ASSERT_EQ(read("add_sets", cubeMesh() + partCard("cube", "20", "5", "7") + sectionAndMaterial() + sets), 1);
  SetManager& manager = *fem.setManager;
  manager.buildSetMaps();
  EXPECT_EQ(manager.findSet(6, SET_NODE)->id_array, (std::vector<int>{8, 1}));
  EXPECT_EQ(manager.findSet(5, SET_NODE)->id_array, (std::vector<int>{8, 1, 1, 2, 3, 4, 5, 6, 7, 8}));

  // A chain of adds that comes back to its start is refused, naming it.
  FEMDynamic cycle;
  cycle.newManagers();
  const std::string loop = "*SET_NODE_ADD\n" + card({"7"}) + card({"8"}) + "*SET_NODE_ADD\n" + card({"8"}) +
                           card({"9", "7"}) + "*SET_NODE_LIST\n" + card({"9"}) + card({"101"});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(readDeckFile(&cycle, "completion_add_cycle",
                         cubeMesh() + partCard("cube", "20", "5", "7") + sectionAndMaterial() + loop),
            0);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("adds itself through its add list"), std::string::npos);
}

TEST_F(CompletionTest, InitialVelocityOnSetZeroReachesEveryNode) {
  ASSERT_EQ(read("velocity_all", cubeMesh() + partCard("cube", "20", "5", "7") + sectionAndMaterial() +
                                     "*SET_NODE_LIST\n" + card({"3"}) + card({"101"}) + "*INITIAL_VELOCITY\n" +
                                     card({"0"}) + card({"2.5", "", "-1.0"})),
            1);
  ASSERT_EQ(conditions().size(), 1u);
  const InitialCondition& all = conditions()[0];
  EXPECT_GT(all.ic_set_id, 3);  // a set of its own, with an id no deck set has
  ASSERT_EQ(preprocessModel(&fem), 1);
  ASSERT_NE(all.set, nullptr);
  EXPECT_EQ(all.set->id_array, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(all.nodes.size(), 8u);
  EXPECT_DOUBLE_EQ(all.value[0], 2.5);
  EXPECT_DOUBLE_EQ(all.value[2], -1.0);
}

TEST_F(CompletionTest, DuplicateMaterialOrSectionIdsRefuseTheDeck) {
  const std::string base = cubeMesh() + partCard("cube", "20", "5", "7") + sectionAndMaterial();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(read("duplicate_material", base + "*MAT_ELASTIC\n" + card({"7", "2.0", "500.0", "0.2"})), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("line 22: two *MAT cards give the material id 7"),
            std::string::npos);
  FEMDynamic second;
  second.newManagers();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(readDeckFile(&second, "completion_duplicate_section", base + "*SECTION_SOLID\n" + card({"5", "2"})), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("two section cards give the section id 5"),
            std::string::npos);
}

TEST_F(CompletionTest, SetsNamingWhatTheDeckLacksRefuseTheDeck) {
  const std::string base = cubeMesh() + partCard("cube", "20", "5", "7") + sectionAndMaterial();
  EXPECT_EQ(read("bad_node", base + "*SET_NODE_LIST\n" + card({"1"}) + card({"109"})), 0);
  FEMDynamic second;
  second.newManagers();
  EXPECT_EQ(readDeckFile(&second, "completion_bad_add", base + "*SET_NODE_ADD\n" + card({"3"}) + card({"2"})), 0);
  FEMDynamic third;
  third.newManagers();
  const std::string badPartSet = base + "*SET_PART_LIST\n" + card({"1"}) + card({"21"});
  EXPECT_EQ(readDeckFile(&third, "completion_bad_part_set", badPartSet), 0);
  FEMDynamic fourth;
  fourth.newManagers();
  const std::string badShellSet = base + "*SET_SHELL_LIST\n" + card({"1"}) + card({"77"});
  EXPECT_EQ(readDeckFile(&fourth, "completion_bad_shell_set", badShellSet), 0);
}

TEST_F(CompletionTest, PartSetsHoldPartPositionsAndElementSetsElementIds) {
  const std::string deck = cubeMesh() + partCard("other", "30", "5", "7") + partCard("cube", "20", "5", "7") +
                           sectionAndMaterial() + "*SET_PART_LIST\n" + card({"1"}) + card({"20", "30"}) +
                           "*SET_PART_ADD\n" + card({"2"}) + card({"1"}) + "*SET_SHELL_LIST\n" + card({"4"}) +
                           card({"9"});
  ASSERT_EQ(read("part_sets", deck), 1);
  // Element sets keep the element ids as read.
  fem.setManager->buildSetMaps();
  EXPECT_EQ(fem.setManager->findSet(4, SET_ELEMENT)->id_array, (std::vector<int>{9}));
  fem.setManager->buildSetMaps();
  EXPECT_EQ(fem.setManager->findSet(1, SET_PART)->id_array, (std::vector<int>{2, 1}));
  EXPECT_EQ(fem.setManager->findSet(2, SET_PART)->id_array, (std::vector<int>{2, 1}));
}

// Every block keeps its record (a node reached twice takes one of them at
// set-up); node ids become node numbers, and each record names only its own
// block's target.
TEST_F(CompletionTest, InitialVelocitiesForOneNodeOrSetKeepTheirRecords) {
  const std::string deck = cubeMesh() + partCard("cube", "20", "5", "7") + sectionAndMaterial() + "*SET_NODE_LIST\n" +
                           card({"3"}) + card({"101", "102"}) + "*INITIAL_VELOCITY\n" + card({"3"}) + card({"10.0"}) +
                           "*INITIAL_VELOCITY_NODE\n107 1.0 2.0 3.0 0 0 0\n" + "*INITIAL_VELOCITY\n" + card({"3"}) +
                           card({"0.5"}) + "*INITIAL_VELOCITY_NODE\n107 2.0 0 0 0 0 0\n";
  ASSERT_EQ(read("velocities", deck), 1);
  ASSERT_EQ(conditions().size(), 4u);
  const InitialCondition& onSet = conditions()[0];
  EXPECT_EQ(onSet.ic_set_id, 3);
  EXPECT_EQ(onSet.ic_node_id, 0);
  EXPECT_DOUBLE_EQ(onSet.value[0], 10.0);
  const InitialCondition& onNode = conditions()[1];
  EXPECT_EQ(onNode.ic_node_id, 7);
  // The node block follows a set block: it acts on its node only.
  EXPECT_EQ(onNode.ic_set_id, 0);
  EXPECT_DOUBLE_EQ(onNode.value[0], 1.0);
  EXPECT_DOUBLE_EQ(onNode.value[1], 2.0);
  EXPECT_DOUBLE_EQ(conditions()[3].value[0], 2.0);
}

TEST_F(CompletionTest, InitialVelocityOfAnUnknownNodeRefusesTheDeck) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(read("velocity_node", cubeMesh() + partCard("cube", "20", "5", "7") + sectionAndMaterial() +
                                      "*INITIAL_VELOCITY_NODE\n101 1.0\n999 1.0 0 0 0 0 0\n"),
            0);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("node 999 (named by initial condition 2 on line 23)"),
            std::string::npos);
}

TEST_F(CompletionTest, CheckListHasOneLinePerContact) {
  KeywordDeckState state;
  const std::filesystem::path file = freshDeckFolder("completion_check_list") / "outForVerify_deck.k";
  state.checkList.open(file);
  // Sides over sets keep the ids as read.
  Contact first;
  first.contact_type = SURFACE_TO_SURFACE;
  first.master_id = 2;
  first.slave_id = 1;
  first.master_type = ENTITY_PART_SET;
  first.slave_type = ENTITY_ELEMENT_SET;
  Contact second;
  second.master_id = 5;
  second.slave_id = 4;
  second.master_type = ENTITY_ELEMENT_SET;
  second.slave_type = ENTITY_NODE_SET;
  fem.contactManager->contact_array.push_back(std::move(first));
  fem.contactManager->contact_array.push_back(std::move(second));
  for (const auto& [type, id] : {std::pair{SET_PART, 2}, {SET_ELEMENT, 1}, {SET_ELEMENT, 5}, {SET_NODE, 4}}) {
    Set set;
    set.type = type;
    set.id = id;
    fem.setManager->addSet(set);
  }
  ASSERT_TRUE(completeKeywordDeck(&fem, state));
  state.checkList.close();
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "0\t2\t1\t2\t1\n1\t5\t4\t1\t4\n");
}
