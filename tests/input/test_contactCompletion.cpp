// Contacts through the keyword completion and model set-up: expansion of
// general and single-surface contacts, id translation, pairing, friction
// interactions keyed by the ids the contacts end up with, and contacts whose
// sides name nothing.
#include <gtest/gtest.h>

#include "contact/contactManager.h"
#include "contact/surfaceInteract.h"
#include "contact/surfacemanager.h"
#include "input/preprocessModel.h"
#include "tests/input/keywordTestDeck.h"

namespace {

// Three parts (deck ids 10, 20, 30, in *PART order) of one shell each,
// stacked at z = 0, 1, 2; part 20 takes the material given.
std::string threePlates(const std::string& material20 = "1") {
    std::string deck = "*NODE\n";
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
    int read(const std::string& name, const std::string& text) {
        return readDeckFile(&fem, "contact_" + name, text);
    }
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
    // Master and slave are part positions; the earlier part is the master.
    EXPECT_EQ(sides(), (Sides{{1, 2, 1}, {1, 3, 1}, {2, 3, 1}}));
    for (const Contact& c : contacts()) EXPECT_EQ(c.master_type, 3);
}

TEST_F(ContactCompletionTest, RigidPartIsTheMasterOfAMixedPair) {
    ASSERT_EQ(read("rigid", threePlates("2") + partSet("5", {"10", "20"}) + "*CONTACT_GENERAL\n" +
                                card({"5", "", "2"}) + card({""}) + card({""})),
              1);
    EXPECT_EQ(sides(), (Sides{{2, 1, 0}}));
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
    fem.contactManager->assignSurfaceInteracts(&fem);
    EXPECT_EQ(contacts()[0].surface_interact_num, 1);
    ASSERT_EQ(contacts()[0].surface_interact_array_cpu.size(), 1u);
    EXPECT_EQ(contacts()[0].surface_interact_array_cpu[0], friction);
    EXPECT_EQ(fem.contactManager->global_interact_num, 0);
}

TEST_F(ContactCompletionTest, SingleSurfaceOverSegmentSetSplitsItByPart) {
    // Segments on parts 30 and 10 (in that order) and one on no element.
    const std::string segments = "*SET_SEGMENT\n" + card({"8"}) + "9 10 11 12\n1 2 3 4\n5 6 12 1\n";
    testing::internal::CaptureStderr();
    ASSERT_EQ(read("segments", threePlates() + segments + "*CONTACT_SINGLE_SURFACE\n" + card({"8", "", "0"}) +
                                   card({""}) + card({""})),
              1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("1 segment(s) of segment set 8 lie on no element"),
              std::string::npos);
    std::vector<Surface>& surfaces = fem.surfaceManager->surface_array;
    ASSERT_EQ(surfaces.size(), 3u);  // the set, then one surface per part
    EXPECT_EQ(surfaces[1].id, 2);
    EXPECT_EQ(surfaces[1].segment_array[0].node_id[0], 9);  // part 30 met first
    EXPECT_EQ(surfaces[2].segment_array[0].node_id[0], 1);
    EXPECT_EQ(sides(), (Sides{{3, 2, 1}}));
    EXPECT_EQ(contacts()[0].master_type, 0);
    ASSERT_EQ(preprocessModel(&fem), 1);
    EXPECT_EQ(contacts()[0].slaveSurface, &surfaces[1]);
}

TEST_F(ContactCompletionTest, ContactWhoseSideNamesNothingIsSkipped) {
    testing::internal::CaptureStderr();
    ASSERT_EQ(read("missing", threePlates() + "*CONTACT_SURFACE_TO_SURFACE_ID\n 6\n" + card({"10", "99", "3", "3"}) +
                                  card({""}) + card({""}) + "*CONTACT_NODES_TO_SURFACE\n" +
                                  card({"10", "30", "3", "3"}) + card({""}) + card({""})),
              1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Contact 6: the master side names part 99"), std::string::npos);
    EXPECT_EQ(sides(), (Sides{{3, 1, 0}}));
    // At set-up a surface id beyond the surfaces is skipped the same way.
    Contact bad;
    bad.contact_id = 7;
    bad.contact_type = SURFACE_TO_SURFACE;
    bad.master_id = 4;
    contacts().push_back(std::move(bad));
    testing::internal::CaptureStderr();
    ASSERT_EQ(preprocessModel(&fem), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Contact 7: the master side names surface 4"),
              std::string::npos);
    ASSERT_EQ(contacts().size(), 1u);
    EXPECT_EQ(contacts()[0].slave_node_array_cpu.size(), 4u);  // the nodes of part A
    EXPECT_NE(contacts()[0].masterSurface, nullptr);
}

}  // namespace
