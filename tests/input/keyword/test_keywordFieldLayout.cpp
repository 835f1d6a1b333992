// Keyword decks in the layout of the field: numbers without the letter E,
// fields by columns (touching numbers, blank fields) or by commas, element
// lines in columns, keywords in any case, headings that are blank.
#include "core/nodeManager.h"
#include "core/sectionmanager.h"
#include "keywordTestDeck.h"
#include "materials/materialmanager.h"

TEST(KeywordField, NumbersAsDecksWriteThem) {
  const std::pair<const char*, double> numbers[] = {
      {"2.00000-3", 2e-3}, {"7.34000-4", 7.34e-4}, {" 2.90000+7", 2.9e7}, {"-1.5+2", -150.0}, {"1.5D+02", 150.0},
      {"1.5d2", 150.0},    {"  1.5e3  ", 1500.0},  {".5", 0.5},           {"5.", 5.0},        {"+3", 3.0},
  };
  for (const auto& [text, expected] : numbers) {
    double value = -99.0;
    EXPECT_EQ(parseFieldNumber(text, value), FieldStatus::Number) << text;
    EXPECT_DOUBLE_EQ(value, expected) << text;
  }
  // Anything besides one number is no number: the deck is refused rather
  // than read with a part of the field.
  const std::pair<const char*, FieldStatus> refused[] = {
      {" &rho", FieldStatus::Parameter},     {"nan", FieldStatus::NotNumber},  {"abc", FieldStatus::NotNumber},
      {"1e999", FieldStatus::OutOfRange},    {"12abc", FieldStatus::Trailing}, {"1.0abc", FieldStatus::Trailing},
      {"9  150000.", FieldStatus::Trailing}, {"1l+06", FieldStatus::Trailing}, {"1e", FieldStatus::Trailing},
      {"2.0-", FieldStatus::Trailing},       {"-", FieldStatus::NotNumber},    {".", FieldStatus::NotNumber},
  };
  for (const auto& [text, status] : refused) {
    double untouched = 4.0;
    EXPECT_EQ(parseFieldNumber(text, untouched), status) << text;
    EXPECT_DOUBLE_EQ(untouched, 4.0) << text;
  }
  double untouched = 4.0;
  EXPECT_EQ(parseFieldNumber("   ", untouched), FieldStatus::Blank);

  // Integer fields take whole numbers in any of these forms.
  const std::pair<const char*, long long> ids[] = {{"  -42", -42}, {"7.", 7}, {"1.0e3", 1000}, {"3.00000+1", 30}};
  for (const auto& [text, expected] : ids) {
    long long id = 0;
    EXPECT_EQ(parseFieldInteger(text, id), FieldStatus::Number) << text;
    EXPECT_EQ(id, expected) << text;
  }
  long long id = 5;
  EXPECT_EQ(parseFieldInteger("1.9", id), FieldStatus::Fraction);
  EXPECT_EQ(parseFieldInteger("1.5", id), FieldStatus::Fraction);
  EXPECT_EQ(parseFieldInteger("12abc", id), FieldStatus::Trailing);
  EXPECT_EQ(parseFieldInteger("99999999999999999999", id), FieldStatus::OutOfRange);
  EXPECT_EQ(parseFieldInteger("1e30", id), FieldStatus::OutOfRange);
  EXPECT_EQ(id, 5);

  // An id beyond 32 bits does not fit an int field and is not cut; the
  // first field that does not read is kept with its line and place.
  FieldStream fields;
  int narrow = 7;
  const std::vector<std::string> cut = splitFixedFields("         14294967297", {10}, 3);
  EXPECT_EQ(fields.read(cut[1], narrow), FieldStatus::OutOfRange);
  EXPECT_EQ(narrow, 7);
  EXPECT_EQ(fields.problem().text, "4294967297");
  EXPECT_EQ(fields.problem().line, "         14294967297");
  EXPECT_EQ(fields.problem().field, 2);
  EXPECT_EQ(fields.read(" &young", narrow), FieldStatus::Parameter);
  EXPECT_EQ(fields.problem().text, "4294967297");
  fields.clearProblems();
  EXPECT_FALSE(fields.problem().any());
}

TEST(KeywordField, LinesByColumnsCommasOrWords) {
  // Card lines: columns, or commas when the line holds one.
  EXPECT_EQ(splitFixedFields("         1       2.5", {10}, 3),
            (std::vector<std::string>{"         1", "       2.5", ""}));
  EXPECT_EQ(splitFixedFields("1,,2.5", {10}, 4), (std::vector<std::string>{"1", "", "2.5", ""}));

  const std::vector<int> node = {8, 16};
  // Touching numbers and a blank field: read by the columns.
  EXPECT_EQ(splitDataFields("      12-1.234567890E+01                0.50000000000000", node, 4),
            (std::vector<std::string>{"      12", "-1.234567890E+01", "                ", "0.50000000000000"}));
  // Right-aligned columns with a blank x: y stays y.
  EXPECT_EQ(splitDataFields("       3                       5.00000-1", node, 4)[2], "       5.00000-1");
  // Blank-separated values, aligned or not, are words.
  EXPECT_EQ(splitDataFields("3 0.5 0 1", node, 4), (std::vector<std::string>{"3", "0.5", "0", "1"}));
  EXPECT_EQ(splitDataFields("       1        1        1        2", {8}, 4),
            (std::vector<std::string>{"1", "1", "1", "2"}));
  EXPECT_EQ(splitDataFields("4,1.0,,2", node, 4), (std::vector<std::string>{"4", "1.0", "", "2"}));
  // A word that runs past the last column read (once found by fuzzing: a
  // read past the column table).
  EXPECT_EQ(splitDataFields("       1 12345678901234567890123", node, 2),
            (std::vector<std::string>{"1", "12345678901234567890123"}));
}

TEST_F(KeywordDeckTest, MeshInTheFieldLayout) {
  // Lower-case keywords, nodes written after the elements, touching
  // columns, blank coordinates, exponents without E, comma lines, shell
  // lines that fill n5-n8, and a second line per element that gives its
  // thicknesses (those of its section: no message).
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(
      read("*element_shell\n"
           "       1       1      10      11      12      13      13      13      13      13\n"
           "*Element_Shell_Thickness\n"
           "       2       1      11      12      13      10\n"
           "       0.1       0.1       0.1       0.1\n"
           "*node\n"
           "      10\n"
           "      11-1.234567890E+01       2.00000-3\n"
           "12,0.5,,7.34000-4\n"
           "      13                0.50000000000000             1.0\n"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  const std::vector<NodeCuda>& nodes = fem->nodeManager->node_array_cpu;
  ASSERT_EQ(nodes.size(), 4u);
  for (double c : nodes[0].coord) EXPECT_EQ(c, 0.0);  // a line of blank coordinates is the origin
  EXPECT_DOUBLE_EQ(nodes[1].coord[0], -12.3456789);
  EXPECT_DOUBLE_EQ(nodes[1].coord[1], 2e-3);
  EXPECT_DOUBLE_EQ(nodes[2].coord[0], 0.5);
  EXPECT_DOUBLE_EQ(nodes[2].coord[1], 0.0);
  EXPECT_DOUBLE_EQ(nodes[2].coord[2], 7.34e-4);
  EXPECT_DOUBLE_EQ(nodes[3].coord[1], 0.5);
  EXPECT_DOUBLE_EQ(nodes[3].coord[2], 1.0);
  ASSERT_EQ(state.elementCounter, 2);
  const std::vector<ShellElementCuda>& shells = state.elementStores.at(0).shell_element_array_cpu;
  ASSERT_EQ(shells.size(), 2u);
  EXPECT_EQ((std::vector<int>(shells[0].node_id, shells[0].node_id + 4)), (std::vector<int>{10, 11, 12, 13}));
  EXPECT_EQ((std::vector<int>(shells[1].node_id, shells[1].node_id + 4)), (std::vector<int>{11, 12, 13, 10}));
}

TEST_F(KeywordDeckTest, CardsInTheFieldLayout) {
  // A blank part heading stays line 1; a comma card; a material with
  // exponents without E and a blank Poisson ratio; solid formulations.
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(read("*PART\n\n       7,3,4\n*Part\n\n" + card({"8", "3", "4"}) + "*MAT_ELASTIC_TITLE\n\n" +
                   card({"4", "7.85000-9", "2.10000+5"}) + "*control_termination\n" + card({"2.00000-3"}) +
                   "*SECTION_SOLID\n" + card({"3", ""}) + "*SECTION_SOLID\n" + card({"31", "2"}) + card({"34", "1"}) +
                   card({"35", "10"}) + card({"36", "13"})));
  const std::string messages = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(fem->part_array.size(), 2u);
  EXPECT_EQ(fem->part_array[0].name, "");
  EXPECT_EQ(fem->part_array[0].section_id, 3);
  EXPECT_EQ(fem->part_array[0].material_id, 4);
  EXPECT_EQ(fem->part_id_map.at(7), 1);
  EXPECT_EQ(fem->part_id_map.at(8), 2);
  const Material& steel = fem->materialManager->material_array.at(0);
  EXPECT_DOUBLE_EQ(steel.density, 7.85e-9);
  EXPECT_DOUBLE_EQ(steel.youngs_modulus, 2.1e5);
  EXPECT_DOUBLE_EQ(steel.poissons_ratio, 0.0);
  EXPECT_DOUBLE_EQ(fem->timeControl->end_time, 2e-3);
  // 2: fully integrated hexahedron; blank, 1: one point; 10: tetrahedron;
  // 13 no formulation of this version (a part with elements of it is
  // refused after reading).
  const int expected[] = {18, 17, 18, 15, 0};
  const std::vector<Section>& sections = fem->sectionManager->section_array;
  ASSERT_EQ(sections.size(), 5u);
  for (size_t s = 0; s < sections.size(); ++s) EXPECT_EQ(sections[s].element_formulation, expected[s]) << s;
  EXPECT_EQ(state.uncomputedSections.at(5), "solid ELFORM 13 (one-point nodal-pressure tetrahedron)");
}
