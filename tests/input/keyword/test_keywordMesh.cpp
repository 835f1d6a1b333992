// Keyword mesh cards: node and element numbering, part numbers by first
// appearance, element stores, and the refusal of broken meshes.
#include "core/nodeManager.h"
#include "elements/common/elmmanager.h"
#include "keywordTestDeck.h"

namespace {

const char* kNodes = "*NODE\n7 0.0 0.0 0.0\n3 1.0 0.0 0.0\n5 1.0 1.0 0.0\n9 0.0 1.0 0.0\n";

}  // namespace

TEST_F(KeywordDeckTest, NodesAreNumberedInReadingOrderAcrossBlocks) {
  ASSERT_TRUE(read(std::string(kNodes) + "*NODE\n11   2.5   -1e-3   4\n"));
  const std::vector<NodeCuda>& nodes = fem->nodeManager->node_array_cpu;
  ASSERT_EQ(nodes.size(), 5u);
  EXPECT_EQ(nodes[0].id, 7);
  EXPECT_EQ(nodes[0].store_id, 0);
  EXPECT_EQ(nodes[2].store_id, 2);
  EXPECT_DOUBLE_EQ(nodes[4].coord[1], -1e-3);
  EXPECT_EQ(fem->node_id_map.at(7), 1);
  EXPECT_EQ(fem->node_id_map.at(3), 2);
  EXPECT_EQ(fem->node_id_map.at(5), 3);
  EXPECT_EQ(fem->node_id_map.at(11), 5);
  EXPECT_EQ(state.nodeCounter, 5);
}

TEST_F(KeywordDeckTest, NodeLinesThatDoNotReadRefuseTheDeck) {
  // A node lost from the mesh would change the model without a word: a
  // line that does not read, a repeated id or a line without an id refuses
  // the deck, naming the line (blank lines are passed over).
  const std::pair<std::string, std::string> cases[] = {
      {"*NODE\n1 0 0 0\n   \nx 1.0 0.0 0.0\n", "\"*NODE\", line 4, field 1: the field \"x\" is not a number"},
      {"*NODE\n1 0 0 0\n2 1.0abc 0 0\n", "\"*NODE\", line 3, field 2: the field \"1.0abc\" holds a number followed"},
      {"*NODE\n1 0 0 0\n1 1 0 0\n", "\"*NODE\", line 3: node 1 is defined twice"},
      {"*NODE\n1 0 0 0\n,1.0,1.0\n", "\"*NODE\", line 3: the line gives no node id"},
      {"*NODE\n1.5 0 0 0\n", "field 1: the field \"1.5\" holds a fraction"},
  };
  for (const auto& [deck, message] : cases) {
    FEMDynamic fresh;
    fresh.newManagers();
    KeywordDeckState freshState;
    KeywordReader freshReader(&fresh, freshState);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(freshReader.readBlocks(cutDeckBlocks(deck))) << deck;
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(message), std::string::npos) << err;
  }
}

TEST_F(KeywordDeckTest, ShellsGetPartNumbersByFirstAppearance) {
  ASSERT_TRUE(read(std::string(kNodes) + "*ELEMENT_SHELL\n 100 20 7 3 5 9\n 101 10 7 3 5 5\n"
                                         " 102 20 9 5 3 7\n"));
  EXPECT_EQ(state.partCounter, 2);
  EXPECT_EQ(state.partNumberMap.at(20), 1);
  EXPECT_EQ(state.partNumberMap.at(10), 2);
  ASSERT_EQ(state.elementStores.size(), 2u);
  const std::vector<ShellElementCuda>& part20 = state.elementStores[0].shell_element_array_cpu;
  ASSERT_EQ(part20.size(), 2u);
  EXPECT_EQ(part20[0].id, 100);
  EXPECT_EQ(part20[1].id, 102);
  EXPECT_EQ(part20[1].store_id, 2);
  // Deck node ids until the completion turns them into node numbers.
  EXPECT_EQ(part20[0].node_id[0], 7);
  EXPECT_EQ(part20[0].node_id[3], 9);
  EXPECT_EQ(state.elementStores[1].shell_element_array_cpu[0].node_id[3], 5);
  EXPECT_EQ(fem->element_id_map.at(101), 2);
  ASSERT_EQ(state.elementNodeLists.size(), 3u);
  EXPECT_EQ(state.elementNodeLists[2].element_number, 3);
  EXPECT_EQ(state.elementNodeLists[2].deck_node_ids[0], 9);  // deck ids, as read
  EXPECT_EQ(state.elementPartMap[1], 10);
}

TEST_F(KeywordDeckTest, BeamsSolidsDiscretesMassesAndAccelerometersShareOneCounter) {
  const std::string deck = std::string(kNodes) + "*ELEMENT_BEAM\n" + card({"1", "4", "7", "3", "0"}, 8) +
                           "*ELEMENT_SOLID\n 2 5 7 3 5 9 7 3 5 9\n"
                           "*ELEMENT_DISCRETE\n 3 6 7 3\n"
                           "*ELEMENT_MASS\n 4 1.5 0.0\n"
                           "*ELEMENT_SEATBELT_ACCELEROMETER\n 5 7 3 9\n";
  // The masses are kept, but no node carries them: the deck is refused
  // once every block is read. An accelerometer only records.
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(read(deck));
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("line 12: \"*ELEMENT_MASS\""), std::string::npos) << messages;
  EXPECT_EQ(messages.find("line 14: \"*ELEMENT_SEATBELT_ACCELEROMETER\""), std::string::npos) << messages;
  EXPECT_EQ(state.elementCounter, 5);
  EXPECT_EQ(state.partCounter, 3);
  const BeamElementCuda& beam = state.elementStores[0].beam_element_array_cpu.at(0);
  EXPECT_EQ(beam.node_id[1], 3);
  EXPECT_EQ(beam.node_id[2], 0);  // no orientation node
  const SolidElementCuda& solid = state.elementStores[1].solid_element_array_cpu.at(0);
  EXPECT_EQ(solid.store_id, 1);
  EXPECT_EQ(solid.node_id[7], 9);
  EXPECT_EQ(state.elementStores[2].discrete_element_array_cpu.at(0).node_id[1], 3);
  ASSERT_EQ(fem->point_mass_array->size(), 1u);
  EXPECT_EQ((*fem->point_mass_array)[0].store_id, 3);
  EXPECT_DOUBLE_EQ((*fem->point_mass_array)[0].mass_values[0], 1.5);
  ASSERT_EQ(fem->accelerometer_array->size(), 1u);
  EXPECT_EQ((*fem->accelerometer_array)[0].store_id, 4);
  EXPECT_EQ((*fem->accelerometer_array)[0].node_id[2], 9);
  ASSERT_EQ(state.elementNodeLists.size(), 5u);
  EXPECT_EQ(state.elementNodeLists[3].element_number, 0);  // masses keep no node list
  EXPECT_EQ(state.elementNodeLists[2].deck_node_ids[1], 3);
  EXPECT_EQ(state.elementPartMap[4], 0);
}

TEST(KeywordDeckFile, ElementNodesMayComeLaterButMustBeDefined) {
  // Node 42 comes after the element that names it: read. Node 43 never
  // comes: the deck is refused, naming it.
  const std::string model = std::string(kNodes) + "*CONTROL_TERMINATION\n" + card({"1.0"}) + "*PART\nplate\n" +
                            card({"1", "1", "1"}) + "*SECTION_SHELL\n" + card({"1"}) + card({"0.1"}) +
                            "*MAT_ELASTIC\n" + card({"1", "7.8e-9", "2.1e5", "0.3"});
  FEMDynamic later;
  later.newManagers();
  ASSERT_EQ(readDeckFile(&later, "nodes_later", "*ELEMENT_SHELL\n 1 1 7 3 5 42\n" + model + "*NODE\n 42 0 0 1\n"), 1);
  EXPECT_EQ(later.elm_manager_array.at(0).shell_element_array_cpu.at(0).node_id[3], 5);  // node number of 42
  FEMDynamic missing;
  missing.newManagers();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(readDeckFile(&missing, "nodes_missing", "*ELEMENT_SHELL\n 1 1 7 3 5 43\n" + model), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("node 43 (named by shell 1 on line 2)"), std::string::npos);
}

TEST_F(KeywordDeckTest, MorePartsThanTheStoresHoldRefusesTheDeck) {
  std::string deck = "*NODE\n1 0 0 0\n*ELEMENT_DISCRETE\n";
  for (int part = 1; part <= kMaxKeywordParts + 1; ++part) {
    deck += std::to_string(part) + " " + std::to_string(part) + " 1 1\n";
  }
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(read(deck));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("more than 100000 parts"), std::string::npos);
  EXPECT_EQ(state.partCounter, kMaxKeywordParts);
  EXPECT_EQ(state.elementStores.size(), static_cast<size_t>(kMaxKeywordParts));
}

TEST_F(KeywordDeckTest, ElementNodeIdsBecomeNodeNumbersForCloseAndFarApartIds) {
  // The nodes of one hexahedron written after it, in reverse order, with
  // ids close together (1..8) and far apart (steps of a million): in both
  // decks the element names the node numbers of reading order. A node id
  // no *NODE block defines refuses the deck, naming the element.
  for (const long long step : {1LL, 1000000LL}) {
    auto id = [step](int k) { return std::to_string(step * k); };
    std::string deck = "*KEYWORD\n*CONTROL_TERMINATION\n1.0\n*ELEMENT_SOLID\n" +
                       card({"5", "1", id(1), id(2), id(3), id(4), id(5), id(6), id(7), id(8)}, 8) + "*NODE\n";
    for (int k = 8; k >= 1; --k) deck += id(k) + " " + std::to_string(k) + " 0 0\n";
    deck += "*PART\ncube\n" + card({"1", "1", "1"}) + "*SECTION_SOLID\n" + card({"1", "1"}) + "*MAT_ELASTIC\n" +
            card({"1", "1.0", "1.0e6", "0.0"}) + "*END\n";
    FEMDynamic model;
    model.newManagers();
    ASSERT_EQ(readDeckFile(&model, "node_numbers_" + std::to_string(step), deck), 1) << step;
    const SolidElementCuda& hexa = model.elm_manager_array.at(0).solid_element_array_cpu.at(0);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(hexa.node_id[k], 8 - k) << "step " << step << ", node " << k;

    FEMDynamic broken;
    broken.newManagers();
    std::string missing = deck;
    missing.replace(missing.find("\n" + id(8) + " 8 0 0\n"), id(8).size() + 7, "");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(readDeckFile(&broken, "node_missing_" + std::to_string(step), missing), 0) << step;
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("node " + id(8) + " (named by solid 5 on line "), std::string::npos) << err;
  }
}
