#include <gtest/gtest.h>

#include "solver/databaseRecords.h"
#include "tests/input/keyword/keywordTestDeck.h"

using KeywordDatabaseTest = KeywordDeckTest;

// Database requests are kept card for card, as the field writes them
// (fixed columns, blank fields, touching numbers).
TEST_F(KeywordDatabaseTest, DatabaseCardsAreKept) {
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(read("*DATABASE_GLSTAT\n" + card({"1.0e-4"}) + "*DATABASE_NODOUT\n" +
                   card({"0.5", "1", "", "3", "2.5", "6"}) + "*DATABASE_BINARY_D3PLOT\n" +
                   card({"1.0e-3", "1", "2", "3", "4", "5"}) + card({"7", "0.1", "0.2", "0.3", "8", "9"}) +
                   "*DATABASE_BINARY_D3THDT\n" + card({"2.0", "11"}) + "*DATABASE_BINARY_INTFOR\n" +
                   card({"3.0", "12"}) + "*DATABASE_BINARY_RUNRSF\n" + card({"4.0", "13"}) +
                   "*DATABASE_BINARY_OTHER\n" + card({"5.0"}) + "*DATABASE_NOTHING_KNOWN\n" + card({"1"})));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("\"*DATABASE_GLSTAT\" (line 1) is not acted on by this version; it asks only for output"),
            std::string::npos)
      << err;

  const std::vector<DatabaseCard>& db = *fem->database_array;
  ASSERT_EQ(db.size(), 6u) << "unknown options append nothing";
  EXPECT_EQ(db[0].db_type, 2);
  EXPECT_EQ(db[0].db_interval, 1e-4);
  EXPECT_EQ(db[0].db_flags[0] + db[0].db_flags[1] + db[0].db_flags[2], 0);

  EXPECT_EQ(db[1].db_type, 5);
  EXPECT_EQ(db[1].db_interval, 0.5);
  EXPECT_EQ(db[1].db_flags[0], 1);
  EXPECT_EQ(db[1].db_flags[1], 0);
  EXPECT_EQ(db[1].db_flags[2], 3);
  EXPECT_EQ(db[1].db_value5, 2.5);
  EXPECT_EQ(db[1].db_flag6, 6);

  EXPECT_EQ(db[2].db_type, 9);
  EXPECT_EQ(db[2].binary_interval, 1e-3);
  EXPECT_EQ(db[2].d3plot_flags[4], 5);
  EXPECT_EQ(db[2].db_flags[2], 7);
  EXPECT_EQ(db[2].d3plot_values[2], 0.3);
  EXPECT_EQ(db[2].d3plot_flags2[1], 9);

  EXPECT_EQ(db[3].binary_count, 11);
  EXPECT_EQ(db[4].binary_count, 12);
  EXPECT_EQ(db[5].runrsf_count, 13);
  EXPECT_EQ(db[5].binary_count, 0);
  EXPECT_EQ(db[5].binary_interval, 4.0);
}

TEST_F(KeywordDatabaseTest, ExtentCardsAndTheFirstWordsOfTheLastFields) {
  ASSERT_TRUE(read("*DATABASE_EXTENT_BINARY\n" + card({"1", "2", "3", "4", "5", "6", "7", "8"}) +
                   card({"9", "10", "11", "12", "13", "14", "15", "16"}) +
                   card({"17", "18", "1.5", "19", "20", "21", "STRESS x", "  PLAIN"})));
  ASSERT_EQ(fem->database_array->size(), 1u);
  const DatabaseCard& e = fem->database_array->front();
  EXPECT_EQ(e.db_type, 10);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(e.extent_flags[k], k + 1);
  EXPECT_EQ(e.extent_flags3[1], 18);
  EXPECT_EQ(e.extent_value, 1.5);
  EXPECT_EQ(e.extent_flags4[2], 21);
  EXPECT_EQ(e.extent_word7, "STRESS");
  EXPECT_EQ(e.extent_word8, "PLAIN");
}

// Node-history requests: a list of ids (one card only), one record per
// "id title" line, a set with local flags.
TEST_F(KeywordDatabaseTest, HistoryNodeRecords) {
  ASSERT_TRUE(read("*DATABASE_HISTORY_NODE\n" + card({"1", "2", "3", "4", "5", "6", "7", "8"}) + card({"9", "10"}) +
                   "*DATABASE_HISTORY_NODE_ID\n5 top\n6 mid\n7\n" + "*DATABASE_HISTORY_NODE_SET_LOCAL\n" +
                   card({"4", "1", "0", "1"}) + "*DATABASE_HISTORY_NODE_SET\n" + card({"11", "12"})));
  const std::vector<HistoryNodeCard>& h = *fem->history_node_array;
  ASSERT_EQ(h.size(), 6u);
  EXPECT_EQ(h[0].history_ids[7], 8);
  EXPECT_EQ(h[1].history_id, 5);
  EXPECT_EQ(h[1].history_title, "top");
  EXPECT_EQ(h[2].history_id, 6);
  EXPECT_EQ(h[2].history_title, "mid");
  EXPECT_EQ(h[3].history_id, 7);
  EXPECT_EQ(h[3].history_title, "") << "a line without a title does not take the one before";
  EXPECT_EQ(h[4].history_id, 4);
  EXPECT_EQ(h[4].history_local[0], 1);
  EXPECT_EQ(h[4].history_local[2], 1);
  EXPECT_EQ(h[5].history_ids[1], 12);
}
