// Runs of the GPU loop (on the emulated device) that cannot go on end with a
// message and exit status 1 instead of hanging or reporting success.  The
// host loop's twins are in test_host_only_run_stops.cpp.
#include "tests/platform/runStopsDecks.h"

namespace {

TEST(RunStops, MaterialsTheElementsCannotUseAreRefused) { runstops::checkMaterialsAreRefused(runstops::runDeck); }

TEST(RunStops, ElementWithoutAStepStopsTheLoopNamingIt) {
  runstops::checkElementsWithoutAStepStopTheRun(runstops::runDeck);
  const runstops::RunResult sound = runstops::runDeck(runstops::twoCubeDeck(runstops::kSteel));
  EXPECT_EQ(sound.code, 0) << sound.err;
  EXPECT_NE(sound.out.find("initialComputeSingleGpu success!"), std::string::npos);
  EXPECT_NE(sound.out.find("Calculation completed"), std::string::npos);
}

TEST(RunStops, InvertedElementStopsTheRunNamingIt) { runstops::checkInvertedElementStopsTheRun(runstops::runDeck); }

}  // namespace
