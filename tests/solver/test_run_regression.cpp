// Decks that once made a run hang, step by zero or report success wrongly
// (kept from the keyword fuzz target): each is read, set up and given the
// fuzz targets' bounded run (its own end time, at most ten cycles).  A deck
// named run_stops_* must be refused by the set-up or stopped by the loop with
// a message; any other run_* deck must complete with a finite node state, and
// a run_end_time_* deck within fewer cycles than the cap.
#include "tests/deviceTest.h"
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzzRun.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"

namespace {

namespace fs = std::filesystem;

struct Ran {
  std::optional<BoundedRun> outcome;  // none when the reader or the set-up refuses the deck
  int cycles = 0;
};

// Reads a copy of the deck and gives it the fuzz targets' bounded run.
Ran runTenCycles(const fs::path& deck) {
  // The process id keeps test programs that run at the same time apart.
  const fs::path folder = fs::path(::testing::TempDir()) / ("run_regression_" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path copy = folder / deck.filename();
  fs::copy_file(deck, copy);
  FEMDynamic* fem = new FEMDynamic[1];
  fem->newManagers();
  fem->input_file = copy.string();
  fem->work_path = (folder / "work").string();
  Ran ran;
  if (readKeywordDeck(fem, copy.string()) == 1 && preprocessModel(fem) == 1) {
    ran.outcome = runBounded(fem);
    ran.cycles = fem->cycle;
  }
  delete[] fem;
  fs::remove_all(folder);
  return ran;
}

DEVICE_TEST(KeywordRunRegression, KeptDecksStopWithAMessageOrRunFinite) {
  std::vector<fs::path> decks;
  for (const fs::directory_entry& e :
       fs::directory_iterator(fs::path(FEM_SOURCE_DIR) / "tests/input/keyword/keyword_regressions"))
    if (e.path().filename().string().rfind("run_", 0) == 0) decks.push_back(e.path());
  std::sort(decks.begin(), decks.end());
  ASSERT_FALSE(decks.empty());
  for (const fs::path& deck : decks) {
    const std::string name = deck.filename().string();
    SCOPED_TRACE(name);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const Ran ran = runTenCycles(deck);
    testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    if (name.rfind("run_stops_", 0) == 0) {
      // Refused by the set-up, or stopped by the loop.
      EXPECT_TRUE(!ran.outcome || *ran.outcome == BoundedRun::Stopped);
      EXPECT_FALSE(err.empty());
    } else {
      EXPECT_EQ(ran.outcome, BoundedRun::Completed) << err;
    }
    // The deck's own end time ends these runs, before the cycle cap.
    if (name.rfind("run_end_time_", 0) == 0) {
      EXPECT_GT(ran.cycles, 0);
      EXPECT_LT(ran.cycles, kFuzzCycleCap);
    }
  }
}

}  // namespace
