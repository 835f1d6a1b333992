// Contacts through the keyword completion and model set-up: expansion of
// general and single-surface contacts, id translation, pairing, friction
// interactions keyed by the ids the contacts end up with, and contacts whose
// sides name nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "contact/contactManager.h"
#include "contact/surface.h"
#include "contact/tiemanager.h"
#include "contact/surfaceInteract.h"
#include "contact/surfacemanager.h"
#include "input/link/preprocessModel.h"
#include "tests/input/keyword/keywordTestDeck.h"
#include "solver/modelViews.h"

namespace {

// Three parts (deck ids 10, 20, 30, in *PART order) of one shell each,
// stacked at z = 0, 1, 2; part 20 takes the material given. With the end
// time.
std::string threePlates(const std::string& material20 = "1") {
  std::string deck = "*CONTROL_TERMINATION\n" + card({"1.0"}) + "*NODE\n";
  for (int p = 0; p < 3; ++p) {
    for (int k = 0; k < 4; ++k) {
      deck += std::to_string(4 * p + k + 1) + " " + std::to_string(k == 1 || k == 2 ? 1 : 0) + " " +
              std::to_string(k >= 2 ? 1 : 0) + " " + std::to_string(p) + "\n";
    }
  }
  deck += "*ELEMENT_SHELL\n1 10 1 2 3 4\n2 20 5 6 7 8\n3 30 9 10 11 12\n";
  deck += "*SECTION_SHELL\n" + card({"1", "2"}) + card({"0.1"});
  deck += "*MAT_ELASTIC\n" + card({"1", "7.8e-9", "2.1e5", "0.3"});
  deck += "*MAT_RIGID\n" + card({"2", "7.8e-9", "2.1e5", "0.3"});
  deck += "*PART\nA\n" + card({"10", "1", "1"}) + "*PART\nB\n" + card({"20", "1", material20}) + "*PART\nC\n" +
          card({"30", "1", "1"});
  return deck;
}

std::string partSet(const std::string& id, std::initializer_list<std::string> parts) {
  return "*SET_PART_LIST\n" + card({id}) + card(parts);
}

class ContactCompletionTest : public ::testing::Test {
 protected:
  void SetUp() override { fem.newManagers(); }
  int read(const std::string& name, const std::string& text) { return readDeckFile(&fem, "contact_" + name, text); }
  std::vector<Contact>& contacts() { return fem.contactManager->contact_array; }
  // (master id, slave id, kind) of every contact.
  std::vector<std::array<int, 3>> sides() {
    std::vector<std::array<int, 3>> out;
    for (const Contact& c : contacts()) out.push_back({c.master_id, c.slave_id, c.contact_type});
    return out;
  }
  FEMDynamic fem;
};

using Sides = std::vector<std::array<int, 3>>;

TEST_F(ContactCompletionTest, GeneralContactOverPartSetPairsItsParts) {
  ASSERT_EQ(read("general", threePlates() + partSet("5", {"10", "20", "30"}) + "*CONTACT_GENERAL\n" +
                                card({"5", "", "2"}) + card({""}) + card({""})),
            1);
  // Master and slave are part positions; every part meets itself, and the
  // earlier part of a pair is the master.
  EXPECT_EQ(sides(), (Sides{{1, 1, 1}, {1, 2, 1}, {1, 3, 1}, {2, 2, 1}, {2, 3, 1}, {3, 3, 1}}));
  for (const Contact& c : contacts()) EXPECT_EQ(c.master_type, 3);
}

TEST_F(ContactCompletionTest, RigidPartIsTheMasterOfAMixedPair) {
  ASSERT_EQ(read("rigid", threePlates("2") + partSet("5", {"10", "20"}) + "*CONTACT_GENERAL\n" + card({"5", "", "2"}) +
                              card({""}) + card({""})),
            1);
  // The rigid part does not meet itself.
  EXPECT_EQ(sides(), (Sides{{1, 1, 1}, {2, 1, 0}}));
}

TEST_F(ContactCompletionTest, SingleSurfaceOverPartSetBecomesSurfacePairs) {
  ASSERT_EQ(read("single", threePlates() + partSet("5", {"10", "20"}) + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" +
                               card({"5", "", "2"}) + card({""}) + card({""})),
            1);
  // (A, A), (B, A), (B, B); (A, B) went as the mirror image of (B, A).
  EXPECT_EQ(sides(), (Sides{{1, 1, 1}, {2, 1, 1}, {2, 2, 1}}));
  for (const Contact& c : contacts()) EXPECT_EQ(c.box_check_flag, 1);
  // Set-up resolves each side into one surface per part, shared.
  ASSERT_EQ(preprocessModel(&fem), 1);
  ASSERT_EQ(contacts().size(), 3u);
  EXPECT_EQ(contacts()[0].masterSurface, contacts()[1].slaveSurface);
  EXPECT_EQ(contacts()[1].masterSurface, contacts()[2].slaveSurface);
  EXPECT_EQ(fem.surfaceManager->surface_array.size(), 2u);
  EXPECT_EQ(fem.surfaceManager->total_segment_num, 2);
  EXPECT_EQ(fem.surfaceManager->findSurfaceById(2), contacts()[1].masterSurface);
}

TEST_F(ContactCompletionTest, FrictionOfASingleSurfaceContactReachesTheContactItBecomes) {
  ASSERT_EQ(read("friction", threePlates() + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"20", "", "3"}) +
                                 card({"0.2"}) + card({""})),
            1);
  ASSERT_EQ(fem.surfaceManager->surfaceInteractArrayCpu.size(), 1u);
  const auto* friction = static_cast<const FrictionSurfaceInteract*>(fem.surfaceManager->surfaceInteractArrayCpu[0]);
  EXPECT_EQ(friction->id, 1);
  EXPECT_EQ(friction->type, FRICTION_INTERACT);
  EXPECT_DOUBLE_EQ(friction->static_coefficient, 0.2);
  ASSERT_EQ(sides(), (Sides{{2, 2, 1}}));  // part 20 is position 2
  ASSERT_EQ(preprocessModel(&fem), 1);
  ContactModel view = contactModelOf(fem);
  fem.contactManager->assignSurfaceInteracts(&view);
  EXPECT_EQ(contacts()[0].surface_interact_num, 1);
  ASSERT_EQ(contacts()[0].surface_interact_array_cpu.size(), 1u);
  EXPECT_EQ(contacts()[0].surface_interact_array_cpu[0], friction);
  EXPECT_EQ(fem.contactManager->global_interact_num, 0);
}

TEST_F(ContactCompletionTest, SingleSurfaceOverSegmentSetSplitsItByPart) {
  // Segments on parts 30 and 10 (in that order), the first written from
  // another node and the other way round.
  const std::string segments = "*SET_SEGMENT\n" + card({"8"}) + "11 10 9 12\n1 2 3 4\n";
  ASSERT_EQ(read("segments", threePlates() + segments + "*CONTACT_SINGLE_SURFACE\n" + card({"8", "", "0"}) +
                                 card({""}) + card({""})),
            1);
  std::vector<Surface>& surfaces = fem.surfaceManager->surface_array;
  ASSERT_EQ(surfaces.size(), 3u);  // the set, then one surface per part
  EXPECT_EQ(surfaces[1].id, 2);
  EXPECT_EQ(surfaces[1].segment_array[0].node_id[0], 11);  // part 30 met first
  EXPECT_EQ(surfaces[2].segment_array[0].node_id[0], 1);
  // Each part's surface meets itself and the other: (2, 2), (3, 2), (3, 3)
  // ((2, 3) went as the mirror image of (3, 2)), searched both ways.
  EXPECT_EQ(sides(), (Sides{{2, 2, 1}, {3, 2, 1}, {3, 3, 1}}));
  for (const Contact& c : contacts()) {
    EXPECT_EQ(c.master_type, 0);
    EXPECT_EQ(c.two_way, 1);
  }
  ASSERT_EQ(preprocessModel(&fem), 1);
  EXPECT_EQ(contacts()[1].slaveSurface, &surfaces[1]);
}

// A segment of a segment set belongs to the element with a face of exactly
// its nodes, whichever node the segment starts at and whichever way it runs:
// every exterior face of a hexahedron, and of a tetrahedron and a wedge
// written in eight node slots, is kept.
TEST_F(ContactCompletionTest, SegmentsOnSolidFacesFindTheirElements) {
  std::string deck = "*CONTROL_TERMINATION\n" + card({"1.0"}) + "*NODE\n";
  const double xyz[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  for (int block = 0; block < 3; ++block) {
    for (int k = 0; k < 8; ++k) {
      deck += std::to_string(8 * block + k + 1) + " " + std::to_string(xyz[k][0] + 3 * block) + " " +
              std::to_string(xyz[k][1]) + " " + std::to_string(xyz[k][2]) + "\n";
    }
  }
  // A hexahedron, a tetrahedron (nodes 9, 10, 11, 13) and a wedge (17-19
  // below 21-23), in parts 1, 2, 3.
  deck += "*ELEMENT_SOLID\n" + card({"1", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8) +
          card({"2", "2", "9", "10", "11", "13", "13", "13", "13", "13"}, 8) +
          card({"3", "3", "17", "18", "19", "21", "22", "23", "23", "23"}, 8);
  deck += "*SECTION_SOLID\n" + card({"1", "1"}) + "*MAT_ELASTIC\n" + card({"1", "7.8e-9", "2.1e5", "0.3"});
  for (int p = 1; p <= 3; ++p) {
    deck += "*PART\nsolid" + std::to_string(p) + "\n" + card({std::to_string(p), "1", "1"});
  }
  // Faces written from their second node, half of them the other way round.
  deck += "*SET_SEGMENT\n" + card({"8"}) +
          "4 3 2 1\n6 7 8 5\n2 6 5 1\n7 6 2 3\n3 4 8 7\n1 5 8 4\n"              // hexahedron
          "11 10 9 9\n10 13 9 9\n13 11 10 10\n9 13 11 11\n"                     // tetrahedron
          "19 18 17 17\n22 23 21 21\n18 19 23 22\n21 17 18 22\n17 19 23 21\n";  // wedge
  testing::internal::CaptureStderr();
  ASSERT_EQ(read("solid_faces",
                 deck + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"8", "", "0"}) + card({""}) + card({""})),
            1);
  EXPECT_EQ(testing::internal::GetCapturedStderr().find("face of no element"), std::string::npos);
  std::vector<Surface>& surfaces = fem.surfaceManager->surface_array;
  ASSERT_EQ(surfaces.size(), 4u);
  EXPECT_EQ(surfaces[1].segment_array.size(), 6u);
  EXPECT_EQ(surfaces[2].segment_array.size(), 4u);
  EXPECT_EQ(surfaces[3].segment_array.size(), 5u);
  EXPECT_EQ(contacts().size(), 6u);  // three surfaces with themselves and with each other
}

TEST(ElementFaces, SolidsGiveTheFacesOfTheShapeTheirNodesDescribe) {
  auto keys = [](std::initializer_list<int> ids) {
    std::vector<int> v(ids);
    v.resize(8, 0);
    return elementFaceKeys(v.data(), 8);
  };
  EXPECT_EQ(keys({1, 2, 3, 4, 5, 6, 7, 8}).size(), 6u);
  // A tetrahedron written with its fourth node repeated, or short.
  const std::vector<FaceKey> tetra = {{1, 2, 3}, {1, 2, 4}, {2, 3, 4}, {1, 3, 4}};
  for (const auto& faces : {keys({1, 2, 3, 4, 4, 4, 4, 4}), keys({1, 2, 3, 4})}) {
    ASSERT_EQ(faces.size(), 4u);
    for (const FaceKey& f : tetra) EXPECT_NE(std::find(faces.begin(), faces.end(), f), faces.end());
  }
  // A wedge in six slots (ends repeated or short) and as a hexahedron
  // that closes two edges (1 2 3 4 5 5 6 6): two triangles, three quads.
  for (const auto& faces : {keys({1, 2, 3, 4, 5, 6, 6, 6}), keys({1, 2, 3, 4, 5, 6}), keys({1, 2, 3, 4, 5, 5, 6, 6})}) {
    ASSERT_EQ(faces.size(), 5u);
    int triangles = 0;
    for (const FaceKey& f : faces) triangles += f.size() == 3 ? 1 : 0;
    EXPECT_EQ(triangles, 2);
  }
  // A pyramid closes the top of a hexahedron into one node.
  EXPECT_EQ(keys({1, 2, 3, 4, 5, 5, 5, 5}).size(), 5u);
  // A shell is its own face; a triangle repeats its third node.
  const int quad[4] = {4, 3, 2, 1};
  const int tri[4] = {7, 8, 9, 9};
  EXPECT_EQ(elementFaceKeys(quad, 4), (std::vector<FaceKey>{{1, 2, 3, 4}}));
  EXPECT_EQ(elementFaceKeys(tri, 4), (std::vector<FaceKey>{{7, 8, 9}}));
}

// A single-surface or general contact of every part (slave kind 5, or 6
// without a part set) is the whole-model contact: every part's exterior
// against every other part's and against itself, both ways.
TEST_F(ContactCompletionTest, SideOfEveryPartIsTheWholeModel) {
  for (const char* kind : {"5", "6"}) {
    FEMDynamic model;
    model.newManagers();
    ASSERT_EQ(readDeckFile(&model, std::string("whole_") + kind,
                           threePlates() + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"0", "0", kind}) +
                               card({"0.3"}) + card({""})),
              1);
    ContactManager& cm = *model.contactManager;
    EXPECT_EQ(cm.all_exterior_flag, 1);
    // (A, B), (A, C), (B, C), then each part with itself.
    std::vector<std::array<int, 2>> found;
    for (const Contact& c : cm.contact_array) {
      found.push_back({c.master_id, c.slave_id});
      EXPECT_EQ(c.two_way, 1);
      EXPECT_EQ(c.contact_type, SURFACE_TO_SURFACE);
    }
    EXPECT_EQ(found, (std::vector<std::array<int, 2>>{{1, 2}, {1, 3}, {2, 3}, {1, 1}, {2, 2}, {3, 3}}));
    // The friction of the card acts on the whole model.
    ASSERT_EQ(cm.interact_assign_map.size(), 1u);
    EXPECT_TRUE(cm.interact_assign_map.begin()->first.empty());
    ASSERT_EQ(preprocessModel(&model), 1);
    EXPECT_EQ(model.surfaceManager->surface_array.size(), 3u);
  }
  // Every part but a part set is not taken.
  testing::internal::CaptureStderr();
  EXPECT_EQ(read("whole_but", threePlates() + partSet("5", {"10"}) + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" +
                                  card({"5", "0", "6"}) + card({""}) + card({""})),
            0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "contact definition 1 (*CONTACT_AUTOMATIC_SINGLE_SURFACE): the slave side takes every part but "
                "those of part set 5"),
            std::string::npos);
}

// The slave side of every part of a surface-to-surface contact is the
// surface of all parts; of a nodes-to-surface contact, every node.
TEST_F(ContactCompletionTest, SlaveSideOfEveryPartTakesAllParts) {
  ASSERT_EQ(read("every_slave", threePlates() + "*CONTACT_SURFACE_TO_SURFACE\n" + card({"0", "20", "5", "3"}) +
                                    card({""}) + card({""}) + "*CONTACT_NODES_TO_SURFACE\n" +
                                    card({"0", "30", "5", "3"}) + card({""}) + card({""})),
            1);
  ASSERT_EQ(contacts().size(), 2u);
  EXPECT_EQ(contacts()[0].slave_type, 2);
  ASSERT_EQ(preprocessModel(&fem), 1);
  EXPECT_EQ(contacts()[0].slaveSurface->segment_array.size(), 3u);
  EXPECT_EQ(contacts()[1].slave_node_array_cpu.size(), 12u);
}

// A whole-model contact leaves out the pair of parts a tie glues together.
TEST_F(ContactCompletionTest, WholeModelLeavesOutTiedParts) {
  ASSERT_EQ(read("whole_tied", threePlates() + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"0", "0", "5"}) +
                                   card({""}) + card({""}) + "*CONTACT_TIED_SURFACE_TO_SURFACE\n" +
                                   card({"20", "30", "3", "3"}) + card({""}) + card({""})),
            1);
  ASSERT_EQ(preprocessModel(&fem), 1);
  std::vector<std::array<int, 2>> found;
  for (const Contact& c : contacts()) found.push_back({c.masterSurface->id, c.slaveSurface->id});
  EXPECT_EQ(found, (std::vector<std::array<int, 2>>{{1, 2}, {1, 3}, {1, 1}, {2, 2}, {3, 3}}));
  EXPECT_EQ(fem.tieManager->tie_array.size(), 1u);
}

// A contact whose side names nothing the model has refuses the deck with a
// message naming the contact and the side.
TEST_F(ContactCompletionTest, ContactWhoseSideNamesNothingRefusesTheDeck) {
  struct Case {
    std::string name, cards, message;
  };
  const Case cases[] = {
      {"part", "*CONTACT_SURFACE_TO_SURFACE_ID\n 6\n" + card({"10", "99", "3", "3"}) + card({""}) + card({""}),
       "line 38: contact 6 (*CONTACT_SURFACE_TO_SURFACE_ID): the master side names part 99, which the deck does not "
       "define"},
      {"node_set", "*CONTACT_NODES_TO_SURFACE\n" + card({"9", "20", "4", "3"}) + card({""}) + card({""}),
       "line 37: contact definition 1 (*CONTACT_NODES_TO_SURFACE): the slave side names node set 9, which the deck"},
      {"slave_part_set", "*CONTACT_SURFACE_TO_SURFACE\n" + card({"9", "20", "2", "3"}) + card({""}) + card({""}),
       "line 37: contact definition 1 (*CONTACT_SURFACE_TO_SURFACE): the slave side names part set 9, which the deck"},
      {"segment_set", "*CONTACT_NODES_TO_SURFACE\n" + card({"10", "7", "3", "0"}) + card({""}) + card({""}),
       "contact definition 1 (*CONTACT_NODES_TO_SURFACE): the master side names segment set 7"},
      {"part_set", "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"4", "0", "2"}) + card({""}) + card({""}),
       "contact definition 1 (*CONTACT_AUTOMATIC_SINGLE_SURFACE) names part set 4, which the deck does not define"},
      {"empty_part_set", partSet("4", {}) + "*CONTACT_GENERAL\n" + card({"4", "0", "2"}) + card({""}) + card({""}),
       "names part set 4, which holds no part with shells or solids"},
      {"empty_segment_set",
       "*SET_SEGMENT\n" + card({"3"}) + "*CONTACT_SURFACE_TO_SURFACE\n" + card({"10", "3", "3", "0"}) + card({""}) +
           card({""}),
       "the master side names segment set 3, which holds no segment"},
      {"segment_off_elements",
       "*SET_SEGMENT\n" + card({"8"}) + "1 2 3 4\n5 6 12 1\n*CONTACT_SINGLE_SURFACE\n" + card({"8", "", "0"}) +
           card({""}) + card({""}),
       "1 segment(s) of segment set 8 are the face of no element"},
      {"unknown_kind", "*CONTACT_SURFACE_TO_SURFACE\n" + card({"10", "20", "7", "3"}) + card({""}) + card({""}),
       "contact definition 1 (*CONTACT_SURFACE_TO_SURFACE): the slave side is of kind 7, which is not taken"},
  };
  for (const Case& c : cases) {
    FEMDynamic model;
    model.newManagers();
    testing::internal::CaptureStderr();
    const int read = readDeckFile(&model, "missing_" + c.name, threePlates() + c.cards);
    const bool setUp = read == 1 && preprocessModel(&model) == 1;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(setUp) << c.name;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ":\n" << err;
  }
}

// At set-up, a side that names a set the model lacks, or one that holds no
// node or gives no segment, stops the set-up the same way.
TEST_F(ContactCompletionTest, SideWithoutNodesOrSegmentsStopsTheSetUp) {
  ASSERT_EQ(read("set_up", threePlates() + "*SET_NODE_LIST\n" + card({"3"}) + "*CONTACT_NODES_TO_SURFACE\n" +
                               card({"3", "30", "4", "3"}) + card({""}) + card({""})),
            1);
  Contact bad;
  bad.contact_id = 7;
  bad.contact_type = SURFACE_TO_SURFACE;
  bad.master_id = 4;
  bad.slave_id = 1;
  bad.slave_type = 3;
  contacts().push_back(std::move(bad));
  testing::internal::CaptureStderr();
  EXPECT_EQ(preprocessModel(&fem), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("contact definition 1 (*CONTACT_NODES_TO_SURFACE): the slave side names node set 3, which holds "
                     "no node"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("contact 7: the master side names surface 4, which the model does not have"), std::string::npos)
      << err;
}

}  // namespace
