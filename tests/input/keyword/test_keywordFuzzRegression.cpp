// Decks that once broke the keyword reader, and the fuzz seed decks: each is
// read whole (block loop and completion) without a crash or a hang; the
// decks with a known outcome are checked for it.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "input/inp/inpReader.h"
#include "keywordTestDeck.h"
#include "tests/decks/deckCase.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> decksIn(const fs::path& folder) {
  std::vector<fs::path> decks;
  if (!fs::is_directory(folder)) return decks;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) decks.push_back(entry.path());
  }
  std::sort(decks.begin(), decks.end());
  return decks;
}

// Reads a copy of the deck in a scratch folder (the reader writes its
// working files beside the deck); returns the reader's result. A deck that
// is read has every line taken by a card.
int readCopy(const fs::path& deck) {
  const fs::path folder = fs::path(::testing::TempDir()) / "keyword_regression";
  fs::create_directories(folder);
  const fs::path copy = folder / deck.filename();
  fs::copy_file(deck, copy, fs::copy_options::overwrite_existing);
  FEMDynamic* fem = new FEMDynamic[1];
  fem->newManagers();
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  DeckLineTally tally;
  const int result = deck.extension() == ".inp" ? readInpText(fem, deckcase::readText(copy), "seed.inp", &tally)
                                                : readKeywordDeck(fem, copy.string(), &tally);
  ::testing::internal::GetCapturedStdout();
  ::testing::internal::GetCapturedStderr();
  if (result == 1) {
    EXPECT_EQ(tally.taken, tally.lines);
  }
  delete[] fem;
  return result;
}

}  // namespace

// A kept input whose name starts with "refused_" must be refused (result 0),
// every other one read (result 1).
TEST(KeywordFuzzRegression, EveryKeptInputIsReadOrRefused) {
  const std::vector<fs::path> decks = decksIn(fs::path(FEM_SOURCE_DIR) / "tests/input/keyword/keyword_regressions");
  ASSERT_FALSE(decks.empty());
  for (const fs::path& deck : decks) {
    SCOPED_TRACE(deck.filename().string());
    const bool refused = deck.filename().string().rfind("refused_", 0) == 0;
    EXPECT_EQ(readCopy(deck), refused ? 0 : 1);
  }
}

// The seed decks of the fuzz targets follow the same naming rule.
TEST(KeywordFuzzRegression, SeedDecksAreReadOrRefused) {
  std::vector<fs::path> decks = decksIn(fs::path(FEM_SOURCE_DIR) / "fuzz/corpus/keyword");
  for (const fs::path& deck : decksIn(fs::path(FEM_SOURCE_DIR) / "fuzz/corpus/inp")) decks.push_back(deck);
  ASSERT_FALSE(decks.empty());
  for (const fs::path& deck : decks) {
    SCOPED_TRACE(deck.filename().string());
    const bool refused = deck.filename().string().rfind("refused_", 0) == 0;
    EXPECT_EQ(readCopy(deck), refused ? 0 : 1);
  }
}
