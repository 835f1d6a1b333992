// The host-only loop (no usable GPU) stops like the GPU loop on materials
// the elements cannot use and on elements without a step; a part whose
// material has no model is refused before either loop.
#include "platform/host/hostControl.h"
#include "tests/platform/runStopsDecks.h"

namespace {

runstops::RunResult runHostOnly(const std::string& deck) {
  gpu_host::setDeviceTable({});
  runstops::RunResult r = runstops::runDeck(deck);
  gpu_host::resetDeviceTable();
  return r;
}

TEST(HostOnlyRunStops, MaterialsTheElementsCannotUseAreRefused) { runstops::checkMaterialsAreRefused(runHostOnly); }

TEST(HostOnlyRunStops, ElementWithoutAStepStopsTheLoopNamingIt) {
  runstops::checkElementsWithoutAStepStopTheRun(runHostOnly);
}

// A spot-weld card on solids has no model: the run would leave the part
// without force and report success, so the deck is refused, naming it.
TEST(HostOnlyRunStops, PartWithoutMaterialModelIsRefused) {
  const std::string weld = "*MAT_SPOTWELD\n         1    7850.0   2.1e+11       0.3\n";
  const runstops::RunResult r = runHostOnly(runstops::twoCubeDeck(weld));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("part 1 (cubes): its material is a \"*MAT_SPOTWELD\" card"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Calculation completed"), std::string::npos) << r.out;
}

TEST(HostOnlyRunStops, InvertedElementStopsTheRunNamingIt) { runstops::checkInvertedElementStopsTheRun(runHostOnly); }

}  // namespace
