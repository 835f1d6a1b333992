// Keyword card families: sections, parts, materials, control, curves and
// definitions, sets and initial velocities.
#include <array>

#include "contact/surface.h"
#include "contact/surfacemanager.h"
#include "core/curvemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "elements/common/elmmanager.h"
#include "core/sectionmanager.h"
#include "core/setManager.h"
#include "elements/common/hourglassControlManager.h"
#include "input/link/preprocessModel.h"
#include "keywordTestDeck.h"
#include "solver/initialCondition.h"
#include "materials/materialmanager.h"

TEST_F(KeywordDeckTest, ShellSectionFormulationMapping) {
  // A card formulation without a shell formulation of its own gets type 0
  // and is kept as uncomputed (a part with shells of it is refused).
  const std::pair<const char*, int> cases[] = {{"0", 9}, {"2", 9},   {"16", 0}, {"3", 14}, {"4", 14},
                                               {"5", 8}, {"101", 0}, {"1", 0},  {"6", 0}};
  int sectionId = 0;
  for (const auto& [cardFormulation, formulation] : cases) {
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(read(std::string("*SECTION_SHELL\n") +
                     card({std::to_string(++sectionId), cardFormulation, "0.8", "5"}) +
                     card({"0.5", "", "0.5"})));  // T2 and T4 blank: T1
    const std::string message = ::testing::internal::GetCapturedStderr();
    const Section& section = fem->sectionManager->section_array.back();
    EXPECT_EQ(section.element_formulation, formulation) << "card formulation " << cardFormulation;
    EXPECT_EQ(section.family_code, 3);
    EXPECT_EQ(state.uncomputedSections.count(sectionId) != 0, formulation == 0) << message;
  }
  const Section& last = fem->sectionManager->section_array.back();
  EXPECT_EQ(last.point_count, 5);
  EXPECT_EQ(last.point_count_copy, 5);
  EXPECT_DOUBLE_EQ(last.shear_factor, 0.8);
  for (double t : last.thickness) EXPECT_DOUBLE_EQ(t, 0.5);
  EXPECT_DOUBLE_EQ(last.shell_constants[0], 1.024e-6);
  EXPECT_EQ(last.id, 9);
  EXPECT_EQ(state.sectionNumberMap.at(3), 3);
  // Several sections in one block, two cards each.
  ASSERT_TRUE(
      read("*SECTION_SHELL\n" + card({"20", "2"}) + card({"0.3"}) + card({"21", "2", "", "3"}) + card({"0.4"})));
  const std::vector<Section>& sections = fem->sectionManager->section_array;
  EXPECT_DOUBLE_EQ(sections[sections.size() - 2].thickness[0], 0.3);
  EXPECT_DOUBLE_EQ(sections.back().thickness[0], 0.4);
  EXPECT_EQ(sections.back().point_count, 3);
}

TEST_F(KeywordDeckTest, BeamSolidAndDiscreteSections) {
  ASSERT_TRUE(read("*SECTION_BEAM\n" + card({"4", "", "0.9"}) + card({"20.0", "20.0", "16.0"}) + card({"5", "2"}) +
                   card({"1.0", "2.0", "3.0", "4.0"}) + "*SECTION_SOLID_TITLE\nbrick\n" + card({"10", "1"}) +
                   card({"11", "10"}) + card({"12", "2"}) + "*SECTION_DISCRETE\n" + card({"13", "1", "0.5"}) +
                   card({"7.0", "8.0"})));
  const std::vector<Section>& sections = fem->sectionManager->section_array;
  ASSERT_EQ(sections.size(), 6u);
  EXPECT_EQ(sections[0].card_formulation, 1);  // blank becomes 1: tube card
  EXPECT_EQ(sections[0].element_formulation, 1);
  EXPECT_DOUBLE_EQ(sections[0].outer_diameter[0], 20.0);
  EXPECT_DOUBLE_EQ(sections[0].inner_diameter[0], 16.0);
  EXPECT_EQ(sections[1].element_formulation, 2);
  EXPECT_DOUBLE_EQ(sections[1].given_Iyy, 2.0);
  EXPECT_DOUBLE_EQ(sections[1].given_J, 4.0);
  EXPECT_EQ(sections[2].title, "brick");
  EXPECT_EQ(sections[2].element_formulation, 18);
  EXPECT_EQ(sections[3].element_formulation, 15);
  EXPECT_EQ(sections[4].family_code, 4);
  EXPECT_EQ(sections[4].id, 5);
  EXPECT_EQ(state.sectionNumberMap.at(12), 5);
  EXPECT_EQ(sections[5].family_code, 1);
  EXPECT_DOUBLE_EQ(sections[5].discrete_card_values[5], 8.0);
}

TEST_F(KeywordDeckTest, PartNumberingAndMaps) {
  // The inertia card is kept, but no rigid body takes it: the deck is
  // refused once all blocks are read; the numbering is still checked.
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(read("*PART_INERTIA\nhub of wheel\n" + card({"100", "1", "2"}) + card({"1", "2", "3", "9.5"}) +
                    card({"1"}) + card({"2"}) + card({"3"}) + "*PART\nplain wing part\n" + card({"7", "", "3"}) +
                    "second\n" + card({"8", "4", "5"})));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("line 1: \"*PART_INERTIA\""), std::string::npos);
  ASSERT_EQ(fem->part_array.size(), 3u);
  const Part& hub = fem->part_array[0];
  EXPECT_EQ(hub.name, "hub");
  EXPECT_EQ(hub.id, 1);
  EXPECT_DOUBLE_EQ(hub.inertia_mass, 9.5);
  const Part& wing = fem->part_array[1];
  EXPECT_EQ(wing.name, "plain wing part");
  EXPECT_EQ(wing.id, 2);
  EXPECT_EQ(wing.storage_index, 1);
  EXPECT_EQ(wing.section_id, 0);  // blank: nothing inherited from the hub
  EXPECT_DOUBLE_EQ(wing.inertia_mass, 0.0);
  EXPECT_EQ(wing.material_id, 3);
  EXPECT_EQ(fem->part_id_map.at(100), 1);
  EXPECT_EQ(fem->part_id_map.at(7), 2);
  EXPECT_EQ(state.partDeckIdMap.at(3), 8);
  EXPECT_EQ(fem->elm_manager_array.size(), 3u);
}

TEST_F(KeywordDeckTest, PartIdGivenTwiceRefusesTheDeck) {
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(read("*PART\na\n" + card({"5"}) + "*PART_CONTACT\nb c\n" + card({"5"}) + card({"0.2"})));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("part id 5"), std::string::npos);
  EXPECT_EQ(fem->part_array.size(), 1u);
}

TEST_F(KeywordDeckTest, MaterialIdsTypesAndHardeningModel) {
  const std::string points = card({"0.0", "0.1"}) + card({"250.0", "300.0"});
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(read(
      "*MAT_ELASTIC_TITLE\nsteel sheet\n" + card({"5", "", "2.1e5", "0.3"}) + "*MAT_PIECEWISE_LINEAR_PLASTICITY\n" +
      card({"1", "7.8e-9"}) + card({"", "", "0"}) + points + "*MAT_PIECEWISE_LINEAR_PLASTICITY\n" + card({"9"}) +
      card({"", "", "0"}) + card({"0.0"}) + card({"250.0"}) + "*MAT_PIECEWISE_LINEAR_PLASTICITY\n" + card({"10"}) +
      card({"", "", "33"}) + "*MAT_MODIFIED_PIECEWISE_LINEAR_PLASTICITY\n" + card({"11"}) + card({"", "", "34"}) +
      points + "*MAT_NONLINEAR_ELASTIC_DISCRETE_BEAM\n" + card({"12"}) + "*MAT_ELASTIC_SPRING_DISCRETE_BEAM\n" +
      card({"13"}) + "*MAT_UNKNOWN\n" + card({"14"}) + "*mat_linear_elastic_discrete_beam\n" + card({"15"})));
  // Materials this version does not read are listed with their lines,
  // and the deck is refused once every block is read.
  const std::string messages = ::testing::internal::GetCapturedStderr();
  for (const char* listed : {"line 22: \"*MAT_NONLINEAR_ELASTIC_DISCRETE_BEAM\"",
                             "line 24: \"*MAT_ELASTIC_SPRING_DISCRETE_BEAM\"", "line 26: \"*MAT_UNKNOWN\""}) {
    EXPECT_NE(messages.find(listed), std::string::npos) << listed << "\n" << messages;
  }
  const std::vector<Material>& m = fem->materialManager->material_array;
  ASSERT_EQ(m.size(), 6u);
  EXPECT_EQ(m[0].id, 1);
  EXPECT_EQ(m[0].type, 2);
  EXPECT_EQ(m[0].name, "steel");
  EXPECT_DOUBLE_EQ(m[0].density, 0.0);
  EXPECT_DOUBLE_EQ(m[0].youngs_modulus, 2.1e5);
  EXPECT_EQ(state.materialNumberMap.at(5), 1);
  EXPECT_EQ(state.materialNumberMap.at(9), 3);
  EXPECT_EQ(m[1].plastic_model, 4);  // point 2 has strain and stress
  EXPECT_EQ(m[2].plastic_model, 0);  // stress only at strain 0
  EXPECT_EQ(m[3].plastic_model, 4);  // hardening curve
  EXPECT_EQ(m[3].curve_id, 33);
  EXPECT_EQ(m[4].type, 4);
  EXPECT_EQ(m[4].plastic_model, 4);  // the modified card hardens along its curve too
  EXPECT_EQ(m[4].curve_id, 34);
  // Materials are recognised by their whole keyword in any case; a longer
  // keyword that holds a known name is another material and is skipped.
  EXPECT_EQ(m[5].type, 6);
  EXPECT_EQ(state.materialNumberMap.at(15), 6);
  EXPECT_EQ(state.materialNumberMap.count(12), 0u);
  EXPECT_EQ(state.materialNumberMap.count(13), 0u);
}

TEST_F(KeywordDeckTest, GeneralNonlinearBeamReadsExtraCardsOnlyForFlag2) {
  std::string cards;
  for (int c = 0; c < 4; ++c) {
    cards += card({std::to_string(6 * c + 1), "", "", "", "", std::to_string(6 * c + 6)});
  }
  cards += card({"1.0"}) + card({"2.0"}) + card({"3.0"});
  const std::string extra = card({"41"}) + card({"42"}) + card({"43"});
  ASSERT_TRUE(read("*MAT_GENERAL_NONLINEAR_6DOF_DISCRETE_BEAM\n" + card({"1", "", "", "", "", "", "", "1"}) + cards +
                   "*MAT_GENERAL_NONLINEAR_6DOF_DISCRETE_BEAM\n" + card({"2", "", "", "", "", "", "", "2"}) + cards +
                   extra));
  const std::vector<Material>& m = fem->materialManager->material_array;
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0].type, 7);
  EXPECT_EQ(m[0].curve_ids[0], 1);
  EXPECT_EQ(m[0].curve_ids[23], 24);
  EXPECT_DOUBLE_EQ(m[0].failure_option_values[0], 3.0);
  EXPECT_EQ(m[0].extra_option_values[0], 0);
  EXPECT_EQ(m[1].extra_option_values[0], 41);
  EXPECT_EQ(m[1].extra_option_values[12], 43);
}

TEST_F(KeywordDeckTest, ControlCardsAndDeckMassScaling) {
  TimeControl& time = *fem->timeControl;
  ASSERT_TRUE(read("*CONTROL_TERMINATION\n" + card({"0.01", "500"}) + "*CONTROL_TERMINATION\n" + card({"0.02"}) +
                   "*CONTROL_TIMESTEP\n" + card({"", "0.8", "", "", "1e-6"}) + "*CONTROL_HOURGLASS\n" +
                   card({"4", "0.05"}) + "*CONTROL_SOLUTION\n" + card({"0"})));
  EXPECT_DOUBLE_EQ(time.end_time, 0.02);
  EXPECT_EQ(time.end_cycle, 500);  // blank in the second block keeps the first
  EXPECT_DOUBLE_EQ(time.input_safe_factor, 0.8);
  const std::vector<HourglassControl>& hourglass = fem->hourglassControlManager->hourglass_array_cpu;
  ASSERT_EQ(hourglass.size(), 1u);
  EXPECT_EQ(hourglass[0].id, 0);
  EXPECT_EQ(hourglass[0].type, 4);
  EXPECT_DOUBLE_EQ(hourglass[0].coefficient, 0.05);

  applyDeckMassScaling(time);  // no "DT=": the deck step becomes the target
  EXPECT_DOUBLE_EQ(time.target_dt, 1e-6);
  EXPECT_EQ(time.recompute_interval, 1);
  EXPECT_EQ(time.mass_scaling_flag, 1);

  // The command line's step is the target whatever the deck asks (a
  // negative one included: the safe factor turns it later).
  for (double commandStep : {2e-5, 1e-7, -1e-6}) {
    TimeControl commandLine;
    commandLine.target_dt = commandStep;
    commandLine.mass_scaling_dt = 1e-6;
    applyDeckMassScaling(commandLine);
    EXPECT_DOUBLE_EQ(commandLine.target_dt, commandStep);
    EXPECT_EQ(commandLine.mass_scaling_flag, 1);
    EXPECT_EQ(commandLine.recompute_interval, 1);
  }
  // A negative deck step asks for mass scaling to its absolute value; no
  // step anywhere asks for none.
  TimeControl negative;
  negative.mass_scaling_dt = -1e-6;
  applyDeckMassScaling(negative);
  EXPECT_DOUBLE_EQ(negative.target_dt, 1e-6);
  EXPECT_EQ(negative.recompute_interval, 1);
  EXPECT_EQ(negative.mass_scaling_flag, 1);
  TimeControl none;
  applyDeckMassScaling(none);
  EXPECT_EQ(none.mass_scaling_flag, 0);
  EXPECT_EQ(none.recompute_interval, 0);
}

TEST_F(KeywordDeckTest, ContactControlReadsLaterCardsOnlyForLongBlocks) {
  // Kept card for card. Penalty settings (SLSFAC, RWPNAL) and user-contact
  // storage (USRSTR) change nothing here; a default friction does, and no
  // solid of this version acts on *CONTROL_SOLID: the deck is refused once
  // every block is read, naming them.
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(read("*CONTROL_CONTACT\n" + card({"0.1", "2"}) + card({"3"}) + "*CONTROL_CONTACT\n" + card({"0.2"}) +
                    card({"4"}) + card({"1.5"}) + "*CONTROL_SOLID\n" + card({"1", "2"}) + card({"3", "4", "5"}, 8) +
                    "*CONTROL_CPU\n      12.5\n"));
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find(
                "results:\n  line 4: \"*CONTROL_CONTACT\" (line 7, field 1: SFRIC 1.5 asks for a default "
                "friction of the contacts, which this version does not compute)\n  line 8: \"*CONTROL_SOLID\""),
            std::string::npos)
      << messages;
  EXPECT_EQ(messages.find("line 11: \"*CONTROL_CPU\""), std::string::npos);
  const ControlOptions& options = *fem->controlOptions;
  ASSERT_EQ(options.contact_control.size(), 2u);
  EXPECT_EQ(options.contact_control[0].card1_value2, 2.0);
  EXPECT_EQ(options.contact_control[0].card2_values[0], 3);
  EXPECT_DOUBLE_EQ(options.contact_control[0].card3_values[0], 0.0);
  EXPECT_DOUBLE_EQ(options.contact_control[1].card3_values[0], 1.5);
  EXPECT_EQ(options.solid_control.at(0).card2_values[2], 5);
  EXPECT_DOUBLE_EQ(options.cpu_control.at(0), 12.5);
}

TEST_F(KeywordDeckTest, CurveScalesPointLimitAndTitle) {
  std::string many = "*DEFINE_CURVE\n" + card({"7"});
  for (int i = 0; i < 130; ++i) many += std::to_string(i) + " " + std::to_string(2 * i) + "\n";
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const bool read_ =
      read("*DEFINE_CURVE_TITLE\nramp load\n" + card({"3", "0", "2.0", "", "10.0"}) + "1.0 5.0\n   \n2.0 6.0\n" + many);
  const std::string printed = ::testing::internal::GetCapturedStdout();
  ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(read_);
  const std::vector<Curve>& curves = fem->curveManager->curve_array;
  ASSERT_EQ(curves.size(), 2u);  // a curve without points is refused (frame tests)
  EXPECT_EQ(fem->curveManager->curve_num, 2);
  EXPECT_EQ(curves[0].name, "ramp");
  EXPECT_EQ(curves[0].id, 3);
  ASSERT_EQ(curves[0].count, 2);
  EXPECT_DOUBLE_EQ(curves[0].x[0], 22.0);  // offset, then scale: 2 (1 + 10)
  EXPECT_DOUBLE_EQ(curves[0].y[0], 5.0);   // blank scale becomes 1
  EXPECT_DOUBLE_EQ(curves[0].x_offset, 10.0);
  // A curve longer than the record holds keeps every point.
  EXPECT_EQ(curves[1].pointCount(), 130);
  EXPECT_DOUBLE_EQ(curves[1].returnValue(128.5), 257.0);
  EXPECT_DOUBLE_EQ(curves[1].returnValue(200.0), 258.0);
  EXPECT_EQ(printed.find("曲线节点数过多"), std::string::npos);
}

TEST_F(KeywordDeckTest, TransformationTitleComesBeforeItsIdCard) {
  ASSERT_TRUE(read("*DEFINE_TRANSFORMATION_TITLE\nturn and scale\n" + card({"5"}) +
                   card({"SCALE", "2.0", "2.0", "2.0"}) +
                   card({"ROTATE", "0.0", "0.0", "1.0", "0.0", "0.0", "0.0", "90.0"}) + "*DEFINE_TRANSFORMATION\n" +
                   card({"6"}) + card({"TRANSL", "1.0"})));
  const std::vector<Transformation>& t = *fem->transformation_array;
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].transform_id, 5);
  ASSERT_EQ(t[0].steps.size(), 2u);
  EXPECT_EQ(t[0].steps[1].step_name, "ROTATE");
  EXPECT_DOUBLE_EQ(t[0].steps[1].step_values[6], 90.0);
  EXPECT_EQ(t[1].transform_id, 6);
  EXPECT_EQ(t[1].steps.size(), 1u);
}

TEST_F(KeywordDeckTest, SetMembersNumbersAndTypes) {
  ASSERT_TRUE(read("*SET_NODE_LIST_TITLE\nclamp\n" + card({"3"}) + card({"1", "2", "3", "0", "5"}) + card({"7"}) +
                   "*SET_NODE\n" + card({"4"}) + card({"9"}) + "*SET_SHELL_LIST\n" +
                   card({"4", "1.0", "", "", "", "MECH"}) + card({"11", "12"}) + "*SET_PART_ADD\n" + card({"6"}) +
                   card({"1", "2"}) + "*SET_NODE_GENERAL\n" + card({"8"}) + card({"PART", "20", "21"}) +
                   "*SET_PART_LIST\n" + card({"5"}) + card({"20"})));
  const std::deque<Set>& nodes = fem->setManager->node_set_array;
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_EQ(nodes[0].name, "clamp");
  EXPECT_EQ(nodes[0].id_array, (std::vector<int>{1, 2, 3, 5, 7}));  // a 0 member is skipped, the rest read
  EXPECT_EQ(state.nodeSetNumber, 2);
  EXPECT_EQ(state.nodeSetNumberMap.at(3), 1);
  EXPECT_EQ(state.nodeSetNumberMap.at(4), 2);  // the bare form is the list form
  EXPECT_EQ(nodes[1].id_array, (std::vector<int>{9}));
  EXPECT_EQ(nodes[2].general_option, "PART");
  EXPECT_EQ(nodes[2].general_values, (std::vector<int>{20, 21}));
  const std::deque<Set>& shells = fem->setManager->element_set_array;
  ASSERT_EQ(shells.size(), 1u);
  EXPECT_EQ(shells[0].type, 3);
  EXPECT_EQ(shells[0].solver_name, "MECH");  // field 6 is read, not passed over
  EXPECT_EQ(shells[0].id_array, (std::vector<int>{11, 12}));
  const std::deque<Set>& parts = fem->setManager->part_set_array;
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_TRUE(parts[0].id_array.empty());
  EXPECT_EQ(parts[0].add_part_set_ids, (std::vector<int>{1, 2}));
  EXPECT_EQ(state.partSetNumberMap.count(6), 0u);
  EXPECT_EQ(state.partSetNumberMap.at(5), 1);
}

TEST_F(KeywordDeckTest, SegmentSetsDropRepeatedSegments) {
  ASSERT_TRUE(read("*SET_SEGMENT_TITLE\nlid\n" + card({"12", "0.5"}) + "1 2 3 4\n1 2 3 4 1.0\n4 3 2 1\n" +
                   "  \n5 6 7 7 0.1 0.2 0.3 0.4\n"));
  const Surface& surface = fem->surfaceManager->surface_array.at(0);
  EXPECT_EQ(surface.title, "lid");
  EXPECT_EQ(surface.id, 12);
  EXPECT_EQ(surface.surface_type, 1);
  ASSERT_EQ(surface.segment_array.size(), 3u);
  EXPECT_EQ(surface.segment_array[1].node_id[0], 4);
  EXPECT_EQ(surface.segment_array[2].local_index, 2);
  EXPECT_DOUBLE_EQ(surface.segment_array[2].attributes[3], 0.4);
  EXPECT_EQ(fem->segment_set_id_map.at(12), 1);
}

TEST_F(KeywordDeckTest, InitialVelocityRecordsStartClearedForEveryLineAndBlock) {
  // A blank field is 0: never a value of the line or block before it.
  ASSERT_TRUE(read("*INITIAL_VELOCITY\n" + card({"3"}) + card({"10.0", "7.0", "6.0", "1.0", "2.0", "3.0"}) +
                   "*INITIAL_VELOCITY_NODE\n 17 1.0 2.0 3.0 4.0 5.0 6.0\n 18 4.0\n" + "*INITIAL_VELOCITY\n" +
                   card({"4"}) + card({"-1.0"})));
  const std::vector<InitialCondition>& records = *fem->initial_condition_array;
  ASSERT_EQ(records.size(), 4u);
  auto expectValues = [&records](size_t r, std::array<double, 6> v) {
    for (int k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(records[r].value[k], v[k]) << "record " << r << " value " << k;
    EXPECT_EQ(records[r].type, IC_VELOCITY);
  };
  expectValues(0, {10.0, 7.0, 6.0, 1.0, 2.0, 3.0});
  expectValues(1, {1.0, 2.0, 3.0, 4.0, 5.0, 6.0});
  expectValues(2, {4.0, 0.0, 0.0, 0.0, 0.0, 0.0});
  expectValues(3, {-1.0, 0.0, 0.0, 0.0, 0.0, 0.0});
  EXPECT_EQ(records[0].ic_set_id, 3);
  EXPECT_EQ(records[0].ic_node_id, 0);
  EXPECT_EQ(records[1].ic_node_id, 17);
  EXPECT_EQ(records[1].ic_set_id, 0);    // names its node only, not the earlier block's set
  EXPECT_EQ(records[2].ic_node_id, 18);  // every node line is read
  EXPECT_EQ(records[3].ic_node_id, 0);
  EXPECT_EQ(records[3].ic_set_id, 4);
  EXPECT_EQ(state.velocitySetMap, (std::map<int, int>{{1, 3}, {4, 4}}));
  EXPECT_EQ(state.velocityNodeMap, (std::map<int, int>{{2, 17}, {3, 18}}));
}

namespace {

// Reads the deck, sets the model up and gives the nodes their initial
// velocities as a run does; the error stream of it all goes to *messages.
bool startDeck(FEMDynamic& fem, const std::string& name, const std::string& deck, std::string* messages) {
  ::testing::internal::CaptureStderr();
  const bool started = readDeckFile(&fem, name, deck) == 1 && preprocessModel(&fem) == 1;
  if (started) {
    for (InitialCondition& condition : *fem.initial_condition_array) condition.apply(fem.rigidManager);
  }
  *messages = ::testing::internal::GetCapturedStderr();
  return started;
}

}  // namespace

// A node that two velocity cards reach takes one card's velocity, never the
// sum: the card naming the node itself over a set card, the later of two of
// one kind, whatever their order; one message names the nodes given twice.
TEST(KeywordDeckFile, InitialVelocitiesGivenTwiceTakeOneCard) {
  const std::string set = "*SET_NODE_LIST\n" + card({"3"}) + card({"1", "2"});
  auto onSet = [](const char* vx) { return "*INITIAL_VELOCITY\n" + card({"3"}) + card({vx}); };
  const struct {
    const char* name;
    std::string cards;
    double vx1, vy1, vx2;  // velocities of nodes 1 and 2
    const char* twice;     // the message's node list, or nullptr for none
  } cases[] = {
      {"set_then_node", onSet("1.0") + "*INITIAL_VELOCITY_NODE\n 1 1.0\n", 1.0, 0.0, 1.0, "nodes 1\n"},
      {"node_then_set", "*INITIAL_VELOCITY_NODE\n 1 3.0\n" + onSet("7.0"), 3.0, 0.0, 7.0, "nodes 1\n"},
      {"two_nodes", "*INITIAL_VELOCITY_NODE\n 1 1.0\n*INITIAL_VELOCITY_NODE\n 1 2.0 0.5\n", 2.0, 0.5, 0.0, "nodes 1\n"},
      {"two_sets", onSet("10.0") + onSet("5.0"), 5.0, 0.0, 5.0, "nodes 1, 2\n"},
      {"once_each", onSet("4.0") + "*INITIAL_VELOCITY_NODE\n 5 1.0\n", 4.0, 0.0, 4.0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FEMDynamic fem;
    fem.newManagers();
    std::string messages;
    ASSERT_TRUE(startDeck(fem, std::string("velocity_") + c.name,
                          cubeModelCards() + set + c.cards + "*CONTROL_TERMINATION\n" + card({"1.0"}), &messages))
        << messages;
    const std::vector<NodeCuda>& nodes = fem.nodeManager->node_array_cpu;
    EXPECT_DOUBLE_EQ(nodes[0].vel[0], c.vx1);
    EXPECT_DOUBLE_EQ(nodes[0].vel[1], c.vy1);
    EXPECT_DOUBLE_EQ(nodes[1].vel[0], c.vx2);
    const size_t said = messages.find("given a velocity by more than one card");
    EXPECT_EQ(said != std::string::npos, c.twice != nullptr) << messages;
    if (c.twice != nullptr) {
      EXPECT_NE(messages.find(c.twice, said), std::string::npos) << messages;
    }
  }
}

TEST(KeywordDeckFile, AVelocityFieldGivenTwiceNodeByNodeTakesTheLaterField) {
  // A field over 2000 nodes, then a second field over the same nodes in
  // the reverse order: each node takes the second field's velocity.
  const int n = 2000;
  FEMDynamic fem;
  fem.newManagers();
  std::string deck = "*NODE\n";
  const std::string cube = cubeModelCards();
  deck += cube.substr(6, cube.find("*ELEMENT") - 6);  // nodes 1-8: the corners of the cube
  for (int i = 9; i <= n; ++i) deck += std::to_string(i) + " " + std::to_string(i) + " 5 5\n";
  deck += "*INITIAL_VELOCITY_NODE\n";
  for (int i = 1; i <= n; ++i) deck += std::to_string(i) + " " + std::to_string(i) + " 1.0\n";
  deck += "*INITIAL_VELOCITY_NODE\n";
  for (int i = n; i >= 1; --i) deck += std::to_string(i) + " 0.5 0 " + std::to_string(2 * i) + "\n";
  deck += cube.substr(cube.find("*ELEMENT_SOLID")) + "*CONTROL_TERMINATION\n" + card({"1.0"}) + "*END\n";
  std::string messages;
  ASSERT_TRUE(startDeck(fem, "velocity_field_twice", deck, &messages)) << messages;
  EXPECT_NE(messages.find("2000 node(s) are given a velocity by more than one card"), std::string::npos);
  EXPECT_NE(messages.find("nodes 2000, 1999, 1998"), std::string::npos) << messages;
  const std::vector<NodeCuda>& nodes = fem.nodeManager->node_array_cpu;
  for (int i = 1; i <= n; ++i) {
    const NodeCuda& node = nodes[static_cast<size_t>(i - 1)];
    ASSERT_EQ(node.vel[0], 0.5) << "node " << i;
    EXPECT_EQ(node.vel[1], 0.0);
    EXPECT_EQ(node.vel[2], 2.0 * i);
  }
}
