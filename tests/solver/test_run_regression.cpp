// Decks that once made a run hang, step by zero or report success wrongly
// (kept from the keyword fuzz target): each is read, set up and run for at
// most ten cycles of the GPU loop, as the fuzz target does.  A deck named
// run_stops_* must be refused by the set-up or stopped by the loop with a
// message; any other run_* deck must complete with a finite node state.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "core/logFile.h"
#include "core/nodeManager.h"
#include "input/keywordReader.h"
#include "input/preprocessModel.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"

namespace {

namespace fs = std::filesystem;

enum class Outcome { NotRead, Stopped, Completed, CompletedNotFinite };

Outcome runTenCycles(const fs::path& deck) {
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
  Outcome outcome = Outcome::NotRead;
  if (readKeywordDeck(fem, copy.string()) == 1 && preprocessModel(fem) == 1) {
    TimeControl* tc = fem->timeControl;
    tc->end_cycle = tc->end_cycle > 0 && tc->end_cycle < 10 ? tc->end_cycle : 10;
    tc->end_time = 0.0;
    double contactTime = 0.0, outputTime = 0.0;
    outcome = femDynaAnalyParalle(fem, &contactTime, &outputTime) ? Outcome::Completed : Outcome::Stopped;
    resetRunLog();
    if (outcome == Outcome::Completed) {
      fem->nodeManager->copyNodesToCpu();
      for (const NodeCuda& n : fem->nodeManager->node_array_cpu)
        for (int k = 0; k < 3; ++k)
          if (!std::isfinite(n.coord[k]) || !std::isfinite(n.vel[k])) outcome = Outcome::CompletedNotFinite;
    }
  }
  delete[] fem;
  fs::remove_all(folder);
  return outcome;
}

TEST(KeywordRunRegression, KeptDecksStopWithAMessageOrRunFinite) {
  std::vector<fs::path> decks;
  for (const fs::directory_entry& e :
       fs::directory_iterator(fs::path(FEM_SOURCE_DIR) / "tests/input/keyword_regressions"))
    if (e.path().filename().string().rfind("run_", 0) == 0) decks.push_back(e.path());
  std::sort(decks.begin(), decks.end());
  ASSERT_FALSE(decks.empty());
  for (const fs::path& deck : decks) {
    const std::string name = deck.filename().string();
    SCOPED_TRACE(name);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const Outcome outcome = runTenCycles(deck);
    testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    if (name.rfind("run_stops_", 0) == 0) {
      EXPECT_EQ(outcome, Outcome::Stopped);
      EXPECT_FALSE(err.empty());
    } else {
      EXPECT_EQ(outcome, Outcome::Completed) << err;
    }
  }
}

}  // namespace
