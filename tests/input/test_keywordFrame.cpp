// The keyword-deck frame: working copy, blocks, headers, card lines, fields.
#include <filesystem>
#include <fstream>

#include "core/nodeManager.h"
#include "keywordTestDeck.h"
#include "tests/decks/deck_case.h"

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
    // "$" in column 1: a comment line. A later "$" ends that line's data
    // only; a "*" opens a block only in column 1. Every line keeps its deck
    // line number; text before the first keyword is no block.
    const std::vector<DeckBlock> blocks = cutDeckBlocks(
        "title line\n$ comment\n*NODE\n1 0 0 0\n   $ note\n2 1 1 1 $ second\r\n*PART\nbar (5*5 mm)\n\t*tip\n");
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].text, "*NODE\n1 0 0 0\n   \n2 1 1 1 \n");
    EXPECT_EQ(blocks[0].lineNumbers, (std::vector<int>{3, 4, 5, 6}));
    EXPECT_EQ(blocks[1].text, "*PART\nbar (5*5 mm)\n *tip\n");
    EXPECT_EQ(blocks[1].firstLine(), 7);
    // The keyword is the first word of the first line, in capitals.
    EXPECT_EQ(blockHeader("*node_List_title \nELEMENT_SOLID\n"), "*NODE_LIST_TITLE");
    EXPECT_TRUE(keywordIs("*SET_NODE_LIST", "*SET"));
    EXPECT_FALSE(keywordIs("*SETTINGS", "*SET"));
    EXPECT_TRUE(keywordIs("*ELEMENT_SOLID", "ELEMENT_SOLID"));
    // Keyword decks by name, in any case.
    for (const char* name : {"a.k", "b.K", "c.key", "d.KEY", "e.Dyn", "dir.x/f.dyn"}) EXPECT_TRUE(isKeywordDeckName(name)) << name;
    for (const char* name : {"a.inp", "k", "a.kk", "a.key.bak"}) EXPECT_FALSE(isKeywordDeckName(name)) << name;
}

TEST(KeywordFrame, CardLinesAndFields) {
    std::string block = "*SECTION\t \r\n\n  1.5e3     12abc\r\n";
    const std::vector<std::string> lines = splitDeckLines(block);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "*SECTION   ");  // tab and return became blanks
    EXPECT_EQ(lines[1], "  1.5e3     12abc ");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(cardLineEnd(lines), 2u);

    std::string fields[3];
    splitCardFields10(lines, fields, 1, 3);
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
    EXPECT_NE(err.find("\"*DATABASE_BINARY_D3PLOT\" (line 1) is not acted on by this version; it asks only for output files"),
              std::string::npos)
        << err;
    EXPECT_EQ(fem->nodeManager->node_array_cpu.size(), 1u);
}

TEST(KeywordFrame, WholeDeckIsReadAndCompleted) {
    const fs::path folder = freshDeckFolder("whole");
    const fs::path deck = folder / "plate.k";
    std::ofstream(deck) << "*KEYWORD\n$ a comment\n*CONTROL_TERMINATION\n1.0\n*NODE\n 7 0 0 0\n 3 1 0 0\n 5 1 1 0\n 9 0 1 0\n"
                        << "*ELEMENT_SHELL\n 1 20 7 3 5 9\n"
                        << "*SECTION_SHELL\n" << card({"4", "2", "", "3"}) << card({"0.5"})
                        << "*MAT_ELASTIC\n" << card({"8", "7.8e-9", "2.1e5", "0.3"})
                        << "*PART\nplate\n" << card({"20", "4", "8"})
                        << "*END\n*NODE\n 11 5 5 5\n";
    FEMDynamic fem;
    fem.newManagers();
    ASSERT_EQ(readKeywordDeck(&fem, deck.string()), 1);
    EXPECT_EQ(fem.nodeManager->node_array_cpu.size(), 4u);
    ASSERT_EQ(fem.part_array.size(), 1u);
    EXPECT_TRUE(fs::exists(folder / "temp" / "temp_plate.k"));
    EXPECT_TRUE(fs::exists(folder / "temp" / "outForVerify_plate.k"));
    EXPECT_EQ(deckcase::readText(folder / "temp" / "temp_plate.k").find("$ a comment"), std::string::npos);
}
