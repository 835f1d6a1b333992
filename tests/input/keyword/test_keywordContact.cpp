// *CONTACT cards as decks write them: kinds from the header, optional id
// line, parallel card and optional cards, blank fields.
#include <gtest/gtest.h>

#include "contact/contactManager.h"
#include "tests/input/keyword/keywordTestDeck.h"

namespace {

class ContactCardTest : public KeywordDeckTest {
 protected:
  std::vector<Contact>& contacts() { return fem->contactManager->contact_array; }
  // Cards 1 to 3 of a contact: slave 3, master 7 (part sets), friction 0.2
  // and 0.1, death written as never; card 3 blank.
  static std::string cards123() {
    return card({"3", "7", "2", "2"}) + card({"0.2", "0.1", "", "", "", "", "", "1.0e20"}) + card({""});
  }
};

TEST_F(ContactCardTest, KindsAndIdLinesFromTheHeader) {
  testing::internal::CaptureStderr();
  // A contact kind this version does not read refuses the deck.
  EXPECT_FALSE(read("*CONTACT_AUTOMATIC_SURFACE_TO_SURFACE_ID\n  12 lid\n" + cards123() +
                    "*CONTACT_NODES_TO_SURFACE\n" + cards123() + "*CONTACT_AUTOMATIC_SINGLE_SURFACE_TITLE\n 4 self\n" +
                    cards123() + "*CONTACT_ENTITY\n" + cards123()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("line 15: \"*CONTACT_ENTITY\""), std::string::npos);
  ASSERT_EQ(contacts().size(), 3u);  // the entity block stores nothing
  const Contact& a = contacts()[0];
  EXPECT_EQ(a.contact_type, SURFACE_TO_SURFACE);
  EXPECT_EQ(a.contact_id, 12);
  EXPECT_EQ(a.title, "lid");
  EXPECT_EQ(a.slave_id, 3);
  EXPECT_EQ(a.master_id, 7);
  EXPECT_EQ(a.master_type, 2);
  EXPECT_DOUBLE_EQ(a.static_friction, 0.2);
  EXPECT_DOUBLE_EQ(a.dynamic_friction, 0.1);
  // Blank fields take the card's documented defaults: scale factors 1.0,
  // death never (1e20), card A's values; the others 0.
  EXPECT_EQ(a.death_time, 1.0e20);
  EXPECT_EQ(a.slave_penalty_scale, 1.0);
  EXPECT_EQ(a.master_penalty_scale, 1.0);
  EXPECT_EQ(a.friction_scale, 1.0);
  EXPECT_EQ(a.soft_scale, 0.1);
  EXPECT_EQ(a.max_parametric_coord, 1.025);
  EXPECT_EQ(a.search_depth, 2);
  EXPECT_EQ(a.slave_thickness, 0.0);
  EXPECT_EQ(a.bucket_interval, 0);
  EXPECT_EQ(a.tracked_segments, 0);
  EXPECT_EQ(contacts()[1].contact_type, NODES_TO_SURFACE);
  EXPECT_EQ(contacts()[1].contact_id, 0);
  EXPECT_EQ(contacts()[1].slave_id, 3);
  EXPECT_EQ(contacts()[2].contact_type, SINGLE_SURFACE);
  EXPECT_EQ(contacts()[2].contact_id, 4);
  EXPECT_EQ(contacts()[2].title, "self");
}

// Option words that change what a contact does (a tiebreak that must hold
// until it fails, a tied single surface, eroding or mortar contact, an
// offset sliding contact) refuse the deck naming the header and the word,
// instead of being read as the plain sliding contact; a tie's offset form is
// taken.
TEST_F(ContactCardTest, ContactOptionsNotComputedAreRefusedByName) {
  for (const char* header : {"*CONTACT_AUTOMATIC_SURFACE_TO_SURFACE_TIEBREAK", "*CONTACT_TIEBREAK_NODES_TO_SURFACE",
                             "*CONTACT_AUTOMATIC_SINGLE_SURFACE_TIED", "*CONTACT_ERODING_SINGLE_SURFACE",
                             "*CONTACT_AUTOMATIC_SURFACE_TO_SURFACE_MORTAR", "*CONTACT_SURFACE_TO_SURFACE_OFFSET",
                             "*CONTACT_TIED_NODES_TO_SURFACE_FAILURE"}) {
    SCOPED_TRACE(header);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(read(std::string(header) + "\n" + cards123()));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(std::string("\"") + header + "\" asks for a contact option this version does not compute"),
              std::string::npos)
        << err;
    EXPECT_TRUE(contacts().empty());
    SetUp();
  }
  // Cards A to F written at their defaults, a segment-based Q2TRI read past.
  EXPECT_TRUE(read("*CONTACT_TIED_NODES_TO_SURFACE_OFFSET\n" + cards123() + "*CONTACT_ONE_WAY_SURFACE_TO_SURFACE\n" +
                   cards123() + card({"0", "0.1", "0", "1.025"}) + "\n\n" + card({"1"}) +
                   card({"0", "", "", "", "1.0"}) + card({"0", "0", "", "2.0"})));
  ASSERT_EQ(contacts().size(), 2u);
  EXPECT_EQ(contacts()[1].contact_type, SURFACE_TO_SURFACE);
}

// Cards A to C are read whenever the block goes on after card 3; of their
// fields segment-based contact, an edge-to-edge search depth, a thickness
// option and kept initial penetrations refuse the deck, naming line and field.
TEST_F(ContactCardTest, SingleSurfaceReadsOptionalCardsOfALongBlock) {
  const std::string cardA = card({"2", "0.3", "", "1.1", "", "5"});
  const std::string cardB = card({"0.7", "1"});
  const std::string cardC = card({"1", "3", "0.4", "", "", "", "45.0", "9"});
  testing::internal::CaptureStderr();
  EXPECT_FALSE(read("*CONTACT_SINGLE_SURFACE_ID\n1\n" + cards123() + "*CONTACT_SINGLE_SURFACE\n" + cards123() + cardA +
                    cardB + cardC + "*CONTACT_SINGLE_SURFACE_ID\n2\n" + cards123() + cardA + cardB));
  const std::string err = testing::internal::GetCapturedStderr();
  for (const char* named : {"line 10, field 1: SOFT 2 asks for a segment-based contact",
                            "line 10, field 6: DEPTH 5 asks for an edge-to-edge search",
                            "line 11, field 2: THKOPT 1 asks for another thickness option",
                            "line 12, field 2: IGNORE 3 asks for initial penetrations kept"}) {
    EXPECT_NE(err.find(named), std::string::npos) << named << "\n" << err;
  }
  ASSERT_EQ(contacts().size(), 3u);
  EXPECT_EQ(contacts()[0].soft_option, 0);  // five lines: no optional card
  const Contact& full = contacts()[1];
  EXPECT_EQ(full.soft_option, 2);
  EXPECT_DOUBLE_EQ(full.soft_scale, 0.3);
  EXPECT_DOUBLE_EQ(full.max_parametric_coord, 1.1);
  EXPECT_EQ(full.search_depth, 5);
  EXPECT_DOUBLE_EQ(full.max_penetration, 0.7);
  EXPECT_EQ(full.thickness_option, 1);
  EXPECT_EQ(full.gap_option, 1);
  EXPECT_EQ(full.ignore_option, 3);
  EXPECT_DOUBLE_EQ(full.penalty_damping_factor, 0.4);
  EXPECT_DOUBLE_EQ(full.flange_angle, 45.0);
  EXPECT_EQ(full.rcf_coordinate_id, 9);
  EXPECT_EQ(contacts()[2].soft_option, 2);  // id line and cards A, B: C reads blank
  EXPECT_EQ(contacts()[2].gap_option, 0);
}

TEST_F(ContactCardTest, ParallelCardIsSkippedForEveryKind) {
  // A surface-to-surface block with a parallel card (and its continuation
  // line) still reads its ids from card 1, not from the parallel card.
  ASSERT_TRUE(read("*CONTACT_AUTOMATIC_SURFACE_TO_SURFACE_MPP\n" + card({"", "200", "", "", "", "", "", "&"}) +
                   card({"0.5"}) + cards123() + "*CONTACT_GENERAL_MPP_ID\n 5\n" +
                   card({"", "150", "2", "4", "3", "0.05", "", "1"}) + cards123() + card({"1", "0.2"})));
  ASSERT_EQ(contacts().size(), 2u);
  const Contact& a = contacts()[0];
  EXPECT_EQ(a.slave_id, 3);
  EXPECT_EQ(a.master_id, 7);
  EXPECT_DOUBLE_EQ(a.static_friction, 0.2);
  EXPECT_EQ(a.ignore_option, 0);
  EXPECT_EQ(a.bucket_interval, 0);
  const Contact& g = contacts()[1];
  EXPECT_EQ(g.contact_type, GENERAL_CONTACT);
  EXPECT_EQ(g.contact_id, 5);
  EXPECT_EQ(g.ignore_option, 0);
  EXPECT_EQ(g.bucket_interval, 150);
  EXPECT_EQ(g.tracked_segments, 4);
  EXPECT_DOUBLE_EQ(g.parametric_extension, 0.05);
  EXPECT_EQ(g.parallel_option, 1);
  EXPECT_EQ(g.slave_id, 3);
  EXPECT_DOUBLE_EQ(g.static_friction, 0.2);
  EXPECT_EQ(g.soft_option, 1);  // card A
  EXPECT_DOUBLE_EQ(g.soft_scale, 0.2);
}

TEST_F(ContactCardTest, TiedHeadersBecomeTiesNeverSlidingContacts) {
  ASSERT_TRUE(read("*CONTACT_TIED_NODES_TO_SURFACE_OFFSET\n" + card({"4", "7", "4", "0"}) + card({""}) + card({""}) +
                   "*CONTACT_TIED_SURFACE_TO_SURFACE_ID\n 8 glue\n" + card({"3", "7", "0", "0"}) + card({""}) +
                   card({""}) + "*CONTACT_TIED_SHELL_EDGE_TO_SURFACE\n 9 edge\n" + cards123() + card({"1"}) +
                   card({"0.5"}) + card({"3"})));
  ASSERT_EQ(contacts().size(), 3u);
  for (const Contact& c : contacts()) EXPECT_EQ(c.contact_type, TIED_SHELL_EDGE_TO_SURFACE);
  EXPECT_EQ(contacts()[0].slave_type, 4);
  EXPECT_EQ(contacts()[0].master_id, 7);
  EXPECT_EQ(contacts()[1].contact_id, 8);
  EXPECT_EQ(contacts()[1].slave_id, 3);
  const Contact& edge = contacts()[2];
  EXPECT_EQ(edge.contact_id, 9);
  EXPECT_EQ(edge.soft_option, 1);
  EXPECT_DOUBLE_EQ(edge.max_penetration, 0.5);
  EXPECT_EQ(edge.gap_option, 3);
}

}  // namespace
