// The keyword-deck frame: working copy, blocks, headers, card lines, fields.
#include <filesystem>
#include <fstream>
#include <functional>

#include "contact/contactManager.h"
#include "core/nodeManager.h"
#include "core/setManager.h"
#include "keywordTestDeck.h"
#include "tests/decks/deckCase.h"

namespace fs = std::filesystem;

TEST(KeywordFrame, DeckFilesSitInTheTempFolderOfTheWorkFolder) {
  const KeywordDeckFiles unix = keywordDeckFiles("/data/decks/model.k", "/scratch/run1");
  EXPECT_EQ(unix.folder, "/data/decks/");
  EXPECT_EQ(unix.fileName, "model.k");
  EXPECT_EQ(unix.workCopy, "/scratch/run1/temp/temp_model.k");
  EXPECT_EQ(unix.checkList, "/scratch/run1/temp/outForVerify_model.k");
  const KeywordDeckFiles windows = keywordDeckFiles("C:\\run\\box.k", "out");
  EXPECT_EQ(windows.fileName, "box.k");
  EXPECT_EQ(windows.workFolder, "out/temp");
  // Outside a run (no work path) the reader keeps them beside the deck.
  const KeywordDeckFiles alone = keywordDeckFiles("/data/decks/model.k", "");
  EXPECT_EQ(alone.workCopy, "/data/decks/temp/temp_model.k");
  const KeywordDeckFiles bare = keywordDeckFiles("box.k", "");
  EXPECT_EQ(bare.workCopy, "temp/temp_box.k");
}

TEST(KeywordFrame, WorkingCopyDropsCommentLinesAndReturns) {
  const fs::path folder = freshDeckFolder("copy");
  const fs::path deck = folder / "deck.k";
  std::ofstream(deck, std::ios::binary) << "$ comment\r\n*NODE\r\n  $ kept\r\n1 0 0 0\r\n$x\n*END";
  const KeywordDeckFiles files = keywordDeckFiles(deck.string(), "");
  ASSERT_TRUE(writeWorkingCopy(files, deck.string()));
  EXPECT_EQ(deckcase::readText(files.workCopy), "*NODE\n  $ kept\n1 0 0 0\n*END\n");
}

TEST(KeywordFrame, MissingDeckIsRefusedAndReadsNothing) {
  const fs::path folder = freshDeckFolder("missing");
  FEMDynamic fem;
  fem.newManagers();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(readKeywordDeck(&fem, (folder / "absent.k").string()), 0);
  const std::string message = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find("cannot open the deck"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder / "temp"));
  EXPECT_TRUE(fem.nodeManager->node_array_cpu.empty());
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(readKeywordDeck(&fem, folder.string()), 0);
  ::testing::internal::GetCapturedStderr();
}

TEST(KeywordFrame, KeywordsInColumnOneCommentsEndOnlyTheirLine) {
  // "$" as the first non-blank: a comment line. A later "$" ends that
  // line's data only; a "*" opens a block only in column 1. Every line
  // keeps its deck line number; text before the first keyword is no block.
  const std::vector<DeckBlock> blocks = cutDeckBlocks(
      "title line\n$ comment\n*NODE\n1 0 0 0\n   $ note\n2 1 1 1 $ second\r\n*PART\nbar (5*5 mm)\n\t*tip\n");
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].text, "*NODE\n1 0 0 0\n2 1 1 1 \n");
  EXPECT_EQ(blocks[0].lineNumbers, (std::vector<int>{3, 4, 6}));
  EXPECT_EQ(blocks[1].text, "*PART\nbar (5*5 mm)\n *tip\n");
  EXPECT_EQ(blocks[1].firstLine(), 7);
  // The keyword is the first word of the first line, in capitals.
  EXPECT_EQ(blockHeader("*node_List_title \nELEMENT_SOLID\n"), "*NODE_LIST_TITLE");
  EXPECT_TRUE(keywordIs("*SET_NODE_LIST", "*SET"));
  EXPECT_FALSE(keywordIs("*SETTINGS", "*SET"));
  EXPECT_TRUE(keywordIs("*ELEMENT_SOLID", "ELEMENT_SOLID"));
  // Keyword decks by name, in any case.
  for (const char* name : {"a.k", "b.K", "c.key", "d.KEY", "e.Dyn", "dir.x/f.dyn"})
    EXPECT_TRUE(isKeywordDeckName(name)) << name;
  for (const char* name : {"a.inp", "k", "a.kk", "a.key.bak"}) EXPECT_FALSE(isKeywordDeckName(name)) << name;
}

TEST(KeywordFrame, CardLinesAndFields) {
  std::string block = "*SECTION\t \r\n\n  1.5e3     12abc\r\n";
  const std::vector<std::string> lines = splitDeckLines(block);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "*SECTION   ");  // tab and return became blanks
  EXPECT_EQ(lines[1], "");             // a blank line keeps its place
  EXPECT_EQ(lines[2], "  1.5e3     12abc ");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(cardLineEnd(lines), 3u);

  std::string fields[3];
  splitCardFields10(lines, fields, 2, 3);
  EXPECT_EQ(fields[0], "  1.5e3   ");
  EXPECT_EQ(fields[1], "  12abc ");
  EXPECT_EQ(fields[2], "");
  FieldStream stream;
  int asInt = -1;
  double asDouble = -1.0;
  stream.read(fields[0], asInt);  // a whole number written with an exponent
  stream.read(fields[0], asDouble);
  EXPECT_EQ(asInt, 1500);
  EXPECT_DOUBLE_EQ(asDouble, 1500.0);
  EXPECT_EQ(stream.read(fields[1], asInt), FieldStatus::Trailing);  // "12abc": kept as it was
  EXPECT_EQ(asInt, 1500);
  stream.read(fields[2], asInt);  // blank keeps the previous value
  EXPECT_EQ(asInt, 1500);
  stream.read("   ", asDouble);
  EXPECT_DOUBLE_EQ(asDouble, 1500.0);

  // A card line the block lacks reads as blank fields.
  fields[0] = "stale";
  splitCardFields10(lines, fields, 7, 3);
  EXPECT_EQ(fields[0], "");
  std::string beam[5];
  splitCardFields8({"*ELEMENT_BEAM", "       1       2       3"}, beam, 1, 5);
  EXPECT_EQ(beam[2], "       3");
  EXPECT_EQ(beam[4], "");

  std::string joined = "*ELEMENT_SHELL\n1 2\t3\r\n   ";
  cleanDeckBlock(joined);
  EXPECT_EQ(joined, "*ELEMENT_SHELL 1 2 3");
}

TEST(KeywordFrame, TitleAndIdLinesShiftTheFirstCard) {
  std::string title;
  int id = 0;
  EXPECT_EQ(firstCardLine("*MAT_ELASTIC", {"*MAT_ELASTIC", "1"}, &title), 1);
  EXPECT_EQ(firstCardLine("*MAT_ELASTIC_TITLE", {"*MAT_ELASTIC_TITLE", "steel plate", "1"}, &title), 2);
  EXPECT_EQ(title, "steel");
  EXPECT_EQ(firstCardLine("*CONTACT_X_ID", {"*CONTACT_X_ID", "  12 door", "1"}, &title, &id), 2);
  EXPECT_EQ(id, 12);
  EXPECT_EQ(title, "door");
  // A family without ids ignores "_ID".
  EXPECT_EQ(firstCardLine("*SET_NODE_ID", {"*SET_NODE_ID", "12"}, &title), 1);
}

TEST_F(KeywordDeckTest, KeywordChainOrderAndEnd) {
  // Recognition is by the keyword alone: "ELEMENT_SOLID" in a part title
  // is the part's name, not a block of solids; "*END" stops the block loop.
  ASSERT_TRUE(read("*PART\nELEMENT_SOLID wing\n" + card({"1", "1", "1"})));
  ASSERT_EQ(fem->part_array.size(), 1u);
  EXPECT_EQ(fem->part_array[0].name, "ELEMENT_SOLID wing");
  ASSERT_TRUE(read("*NODE\n1 0 0 0\n2 1 0 0\n*END\n*NODE\n3 0 1 0\n"));
  EXPECT_EQ(fem->nodeManager->node_array_cpu.size(), 2u);
  EXPECT_FALSE(reader->readBlock("*END\n"));
  EXPECT_TRUE(reader->readBlock("*KEYWORD\n"));
  EXPECT_TRUE(reader->readBlock("not a keyword\n"));
}

TEST_F(KeywordDeckTest, OutputRequestsAreNamedAndIgnored) {
  // Output requests this version does not act on must not vanish
  // silently: the user is told which block has no effect, and the deck
  // still reads.
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(read("*DATABASE_BINARY_D3PLOT   \n" + card({"1", "0", "1"}) + "*NODE\n1 0 0 0\n"));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(
                "\"*DATABASE_BINARY_D3PLOT\" (line 1) is not acted on by this version; it asks only for output files"),
            std::string::npos)
      << err;
  EXPECT_EQ(fem->nodeManager->node_array_cpu.size(), 1u);
}

TEST(KeywordFrame, WholeDeckIsReadAndCompleted) {
  const fs::path folder = freshDeckFolder("whole");
  const fs::path deck = folder / "plate.k";
  std::ofstream(deck)
      << "*KEYWORD\n$ a comment\n*CONTROL_TERMINATION\n1.0\n*NODE\n 7 0 0 0\n 3 1 0 0\n 5 1 1 0\n 9 0 1 0\n"
      << "*ELEMENT_SHELL\n 1 20 7 3 5 9\n"
      << "*SECTION_SHELL\n"
      << card({"4", "2", "", "3"}) << card({"0.5"}) << "*MAT_ELASTIC\n"
      << card({"8", "7.8e-9", "2.1e5", "0.3"}) << "*PART\nplate\n"
      << card({"20", "4", "8"}) << "*END\n*NODE\n 11 5 5 5\n";
  FEMDynamic fem;
  fem.newManagers();
  ASSERT_EQ(readKeywordDeck(&fem, deck.string()), 1);
  EXPECT_EQ(fem.nodeManager->node_array_cpu.size(), 4u);
  ASSERT_EQ(fem.part_array.size(), 1u);
  EXPECT_TRUE(fs::exists(folder / "temp" / "temp_plate.k"));
  EXPECT_TRUE(fs::exists(folder / "temp" / "outForVerify_plate.k"));
  EXPECT_EQ(deckcase::readText(folder / "temp" / "temp_plate.k").find("$ a comment"), std::string::npos);
}

// Every line of a deck is read by a card or the deck is refused, naming the
// line, the block and what the line holds; a deck that is read has every
// line that holds anything counted as taken.
TEST(KeywordFrame, EveryLineIsTakenByACardOrTheDeckIsRefused) {
  const std::string model = cubeModelCards() + "*CONTROL_TERMINATION\n" + card({"1.0e-4"});
  const std::string spc = "*BOUNDARY_SPC_SET\n" + card({"1", "", "1", "1", "1"});
  const auto safeFactor = [](const FEMDynamic& fem) { return fem.timeControl->input_safe_factor == 0.6; };
  const auto setOneAndFour = [](const FEMDynamic& fem) {
    return fem.setManager->node_set_array.at(0).id_array == std::vector<int>{1, 4};
  };
  const struct {
    const char* name;
    std::string deck;
    const char* message;                                     // empty: the deck is read
    std::function<bool(const FEMDynamic&)> holds = nullptr;  // what a read deck gives
  } rows[] = {
      {"indented_comment", model + "*CONTROL_TIMESTEP\n   $ factor\n" + card({"", "0.6"}), "", safeFactor},
      {"blank_line_is_a_card", model + "*CONTROL_HOURGLASS\n\n" + card({"", "0.6"}),
       "line 23: the line \"0.6\" is past"},
      {"set_member_after_blank", model + "*SET_NODE_LIST\n" + card({"1"}) + card({"1", "", "", "4"}) + spc, "",
       setOneAndFour},
      {"after_termination", model + "abc def\n", "\"*CONTROL_TERMINATION\", line 21: the line \"abc def\" is past"},
      {"after_material", model + "*MAT_ELASTIC\n" + card({"2", "1.0", "1e6"}) + "garbage!\n",
       "line 23: the line \"garbage!\""},
      {"third_velocity_line", model + "*INITIAL_VELOCITY\n" + card({"0"}) + card({"1.0"}) + card({"2.0"}),
       "line 24: the line \"2.0\" is past"},
      {"after_keyword", "*KEYWORD\n1000000\n" + model, "\"*KEYWORD\", line 2: the line \"1000000\" is not read"},
      {"before_first_keyword", "bar model\n" + model, "line 1 \"bar model\" comes before the first keyword"},
      {"orphan_beam_section",
       model + "*SECTION_BEAM\n" + card({"4", "2"}) + card({"1.0", "2.0", "3.0", "4.0"}) + card({"6", "9"}),
       "\"*SECTION_BEAM\", line 24: the line \"6         9\" is past"},
      {"empty_spc_set", model + "*BOUNDARY_SPC_SET\n", "\"*BOUNDARY_SPC_SET\" (line 21) holds none of its cards"},
      {"empty_node_load", model + "*LOAD_NODE_POINT\n*END\n", "\"*LOAD_NODE_POINT\" (line 21) holds none"},
      {"velocity_without_card_2", model + "*INITIAL_VELOCITY\n" + card({"0"}), "lacks its velocity card"},
      {"exempted_nodes", model + "*INITIAL_VELOCITY\n" + card({"0", "3"}) + card({"1.0"}), "NSIDEX 3 is not applied"},
      {"node_tc_column", model + "*NODE\n       9             0.0             0.0             2.0     abc\n",
       "line 22, field 5: the field \"abc\" is not a number"},
      {"set_past_field_8",
       model + "*SET_NODE_LIST\n" + card({"1"}) + card({"1", "2", "3", "4", "5", "6", "7", "8"}).substr(0, 80) +
           "         9\n",
       "line 23: the text \"9\" lies past"},
      {"eleventh_element_word", model + "*ELEMENT_SOLID\n2 1 1 2 3 4 5 6 7 8 9\n",
       "line 22: the text \"2 1 1 2 3 4 5 6 7 8 9\" fits neither"},
      {"shell_n5_text", model + "*ELEMENT_SHELL\n       2       1       1       2       3       4     xyz\n",
       "line 22, field 7: the field \"xyz\" is not a number"},
      {"shell_n5_fraction", model + "*ELEMENT_SHELL\n       2       1       1       2       3       4     1.5\n",
       "line 22, field 7: the field \"1.5\" holds a fraction"},
      {"eight_node_shell", model + "*ELEMENT_SHELL\n2 1 1 2 3 4 5 6 7 999\n",
       "line 22: element 2 gives node N5 5: eight-node shells are not read"},
      {"velocity_negative_set", model + "*INITIAL_VELOCITY\n" + card({"-2"}) + card({"1.0"}),
       "line 22, field 1: NSID -2 is a negative id"},
      {"negative_element_id", model + "*ELEMENT_SOLID\n" + card({"-2", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8),
       "line 22, field 1: EID -2 is a negative id"},
      {"negative_part_set", model + "*SET_PART_LIST\n" + card({"-1"}) + card({"1"}), "field 1: SID -1 is a negative"},
      {"negative_contact_id",
       model + "*CONTACT_AUTOMATIC_SINGLE_SURFACE_ID\n" + card({"-3", "self"}) + card({"0", "0", "5"}),
       "line 22, field 1: CID -3 is a negative id"},
      {"discrete_defaults_written",
       model + "*ELEMENT_DISCRETE\n       9       1       1       2       0             1.0       0             0.0\n",
       "its discrete elements (*ELEMENT_DISCRETE) would carry no force"},
      {"discrete_scale", model + "*ELEMENT_DISCRETE\n       9       1       1       2       0             2.0\n",
       "line 22, field 6: element 9 gives S 2,"},
      {"node_words_past_z", model + "*NODE\n9 0.0 0.0 2.0 7 7 7\n", "fits neither the columns"},
      {"shifted_node_field", model + "*NODE\n       9       9  150000.\n",
       "line 22, field 2: the field \"9  150000\" holds a number followed by other characters"},
      {"shifted_node_field_and_codes", model + "*NODE\n       9       9  150000.               0               0\n",
       "line 22, field 2: the field \"9  150000\" holds a number followed by other characters"},
      {"two_values_in_x", model + "*NODE\n       9    0.1     0.05\n", "line 22, field 2: the field \"0.1     0.05\""},
      {"curve_going_back", model + "*DEFINE_CURVE\n" + card({"7"}) + "0.0 0.0\n2.0 1.0\n1.0 2.0\n",
       "line 25: curve 7 goes back from the abscissa 2.000000 to 1.000000"},
      {"curve_going_back_past_128",
       model + "*DEFINE_CURVE\n" + card({"7"}) +
           [] {
             std::string points;
             for (int i = 0; i < 140; ++i) points += std::to_string(i == 135 ? 1 : i) + ".0 1.0\n";
             return points;
           }(),
       "line 158: curve 7 goes back from the abscissa 134.000000 to 1.000000"},
      {"curve_without_point", model + "*DEFINE_CURVE\n" + card({"7"}), "\"*DEFINE_CURVE\" 7 (line 21) gives no point"},
      {"safety_factor_above_1", model + "*CONTROL_TIMESTEP\n" + card({"", "1.5"}), "TSSFAC 1.500000 must lie above 0"},
      {"contact_control_ignore_2", model + "*CONTROL_CONTACT\n" + card({""}) + card({""}) + card({""}) + card({"2"}),
       "", [](const FEMDynamic& fem) { return fem.controlOptions->contact_control.at(0).card4_values[0] == 2; }},
      {"contact_control_ignore_3", model + "*CONTROL_CONTACT\n" + card({""}) + card({""}) + card({""}) + card({"3"}),
       "line 25, field 1: IGNORE 3 asks for initial penetrations kept"},
      {"contact_card_ignore_1",
       model + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"0", "0", "5"}) + card({""}) + card({""}) + card({""}) +
           card({""}) + card({"", "1"}),
       "", [](const FEMDynamic& fem) { return !fem.contactManager->contact_array.empty(); }},
      {"contact_card_ignore_3",
       model + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"0", "0", "5"}) + card({""}) + card({""}) + card({""}) +
           card({""}) + card({"", "3"}),
       "line 27, field 2: IGNORE 3 asks for initial penetrations kept"},
      {"negative_hourglass", model + "*CONTROL_HOURGLASS\n" + card({"1", "-0.1"}), "QH -0.100000 is below 0"},
      {"shell_points_beyond_7", model + "*SECTION_SHELL\n" + card({"2", "2", "", "100"}) + card({"1.0"}),
       "asks for 100 points through the thickness (NIP)"},
      {"beam_points_beyond_9", model + "*SECTION_BEAM\n" + card({"4", "1", "", "100"}) + card({"1.0", "", "0.5"}),
       "field 4: beam section 4 asks for QR/IRID 100.000000, which this version does not compute"},
      {"negative_shear_factor", model + "*SECTION_SHELL\n" + card({"2", "2", "-1.0"}) + card({"1.0"}),
       "the shear factor SHRF -1.000000"},
      {"adaptive_part", model + "*PART\nwing\n" + card({"2", "1", "1", "", "", "", "1"}), "ADPOPT 1 (adaptive"},
      {"id_not_an_integer",
       model + "*SET_NODE_LIST\n" + card({"1"}) + card({"1", "2"}) + "*BOUNDARY_SPC_SET_ID\nabc fix\n" +
           card({"1", "", "1"}),
       "the field \"abc\" is not a number"},
      // A keyword is one the reader knows exactly, or unknown.
      {"spc_set_with_suffix",
       model + "*SET_NODE_LIST\n" + card({"1"}) + card({"1", "2"}) + "*BOUNDARY_SPC_SETXYZ\n" +
           card({"1", "", "1", "1", "1"}),
       "line 24: \"*BOUNDARY_SPC_SETXYZ\" is an unknown keyword (the nearest known keyword is \"*BOUNDARY_SPC_SET\")"},
      {"load_set_with_suffix",
       model + "*SET_NODE_LIST\n" + card({"1"}) + card({"1", "2"}) + "*DEFINE_CURVE\n" + card({"1"}) +
           "0.0 1.0\n1.0 1.0\n*LOAD_NODE_SETQQ\n" + card({"1", "3", "1", "1.0"}),
       "\"*LOAD_NODE_SETQQ\" is an unknown keyword (the nearest known keyword is \"*LOAD_NODE_SET\")"},
      {"misspelt_material", model + "*MAT_ELASTC\n" + card({"2", "1.0", "1e6"}),
       "\"*MAT_ELASTC\" is an unknown keyword (the nearest known keyword is \"*MAT_ELASTIC\")"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FEMDynamic fem;
    fem.newManagers();
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int read = readDeckFile(&fem, row.name, row.deck);
    ::testing::internal::GetCapturedStdout();
    const std::string messages = ::testing::internal::GetCapturedStderr();
    if (*row.message == '\0') {
      EXPECT_EQ(read, 1) << messages;
      EXPECT_TRUE(row.holds(fem));
    } else {
      EXPECT_EQ(read, 0);
      EXPECT_NE(messages.find(row.message), std::string::npos) << messages;
    }
  }
  // Read rows: the factor under the indented comment, the member after blanks.
  FEMDynamic fem;
  fem.newManagers();
  DeckLineTally tally;
  const fs::path deck = freshDeckFolder("tally") / "tally.k";
  std::ofstream(deck) << model + "*CONTROL_TIMESTEP\n  $ factor\n" + card({"", "0.6"}) + "*SET_NODE_LIST\n" +
                             card({"1"}) + card({"1", "", "0", "4"}) + spc + "*END\nnot read\n";
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(readKeywordDeck(&fem, deck.string(), &tally), 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("the lines after \"*END\" (from line 30) are not read"),
            std::string::npos);
  EXPECT_DOUBLE_EQ(fem.timeControl->input_safe_factor, 0.6);
  EXPECT_EQ(fem.setManager->node_set_array.at(0).id_array, (std::vector<int>{1, 4}));
  EXPECT_EQ(tally.lines, 29u);
  EXPECT_EQ(tally.taken, tally.lines);
  // Not a regular file: refused with a message, never read until memory runs out.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(readKeywordDeck(&fem, "/dev/zero"), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("is not a regular file"), std::string::npos);
}
