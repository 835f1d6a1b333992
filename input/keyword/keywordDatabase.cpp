// Keyword family *DATABASE: result-database and node-history requests, kept
// card for card in the solver's lists. They request no output of this
// version: the block is still reported as not acted on.
#include <sstream>

#include "input/keyword/keywordReader.h"
#include "solver/databaseRecords.h"
#include "solver/femdynamic.h"

namespace {

// Options with card 1 = interval and three flags, by header word and code.
struct IntervalOption {
  const char* word;
  int32_t code;
};
constexpr IntervalOption kIntervalOptions[] = {
    {"ABSTAT", 0}, {"DEFORC", 1}, {"GLSTAT", 2}, {"JNTFORC", 3}, {"MATSUM", 4},
    {"NODOUT", 5}, {"RCFORC", 6}, {"RWFORC", 7}, {"SLEOUT", 8},
};
constexpr int32_t kBinaryCode = 9;
constexpr int32_t kExtentCode = 10;

}  // namespace

void KeywordReader::readDatabase(const std::string& block) {
  const std::string header = blockHeader(block);
  auto has = [&header](const char* word) { return header.find(word) != std::string::npos; };
  const std::vector<std::string> lines = splitDeckLines(block);
  std::vector<DatabaseCard>& databases = *fem_->database_array;
  DatabaseCard card;

  for (const IntervalOption& option : kIntervalOptions) {
    if (has(option.word)) {
      card.db_type = option.code;
      if (option.code == 5) {
        readCard(lines, 1, card.db_interval, card.db_flags, card.db_value5, card.db_flag6);
      } else {
        readCard(lines, 1, card.db_interval, card.db_flags);
      }
      databases.push_back(card);
      ignoreBlock(block);
      return;
    }
  }
  if (has("DATABASE_BINARY")) {
    card.db_type = kBinaryCode;
    if (has("BINARY_D3PLOT")) {
      readCard(lines, 1, card.binary_interval, card.d3plot_flags);
      readCard(lines, 2, card.db_flags[2], card.d3plot_values, card.d3plot_flags2);
    } else if (has("BINARY_D3THDT") || has("BINARY_INTFOR")) {
      readCard(lines, 1, card.binary_interval, card.binary_count);
    } else if (has("BINARY_RUNRSF")) {
      readCard(lines, 1, card.binary_interval, card.runrsf_count);
    } else {
      ignoreBlock(block);
      return;
    }
    databases.push_back(card);
  } else if (has("EXTENT_BINARY")) {
    card.db_type = kExtentCode;
    readCard(lines, 1, cardSpan(card.extent_flags, 8));
    readCard(lines, 2, cardSpan(card.extent_flags + 8, 8));
    readCard(lines, 3, card.extent_flags3, card.extent_value, card.extent_flags4);
    std::string fields[8];
    splitCardFields10(lines, fields, 3, 8);
    card.extent_word7 = firstWord(fields[6]);
    card.extent_word8 = firstWord(fields[7]);
    databases.push_back(card);
  } else if (has("HISTORY_NODE")) {
    readHistoryNode(header, lines);
  }
  ignoreBlock(block);
}

void KeywordReader::readHistoryNode(const std::string& header, const std::vector<std::string>& lines) {
  auto has = [&header](const char* word) { return header.find(word) != std::string::npos; };
  std::vector<HistoryNodeCard>& histories = *fem_->history_node_array;
  HistoryNodeCard record;
  if (has("NODE_SET")) {
    if (has("LOCAL")) {
      readCard(lines, 1, record.history_id, record.history_local);
    } else {
      readCard(lines, 1, record.history_ids);
    }
    histories.push_back(record);
  } else if (has("NODE_ID")) {
    // One node per line: its id and a one-word title, up to the first
    // empty line.
    const size_t end = cardLineEnd(lines);
    for (size_t k = 1; k < end && !lines[k].empty(); ++k) {
      std::istringstream line(lines[k]);
      record.history_title.clear();
      line >> record.history_id >> record.history_title;
      histories.push_back(record);
    }
  } else {
    readCard(lines, 1, record.history_ids);
    histories.push_back(record);
  }
}
