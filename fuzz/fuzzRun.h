// The bounded run that both fuzz targets give every deck that is read and
// set up, and that the run regression test gives its kept decks: the GPU
// loop of the host build with the deck's own end time and end cycle, ended
// after at most kFuzzCycleCap cycles by an output that brings both limits
// down to where the loop stands. The paths that end a run - its end time, a
// collapsing step, an end cycle - stay reachable, and no input runs long.
#pragma once
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/node.h"
#include "core/nodeManager.h"
#include "core/runStop.h"
#include "input/keyword/keywordReader.h"
#include "output/basicoutput.h"
#include "output/outputManager.h"
#include "output/outputModel.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/runLog.h"
#include "solver/timeControl.h"

// Cycles of the time loop run for one input at most.
constexpr int kFuzzCycleCap = 10;

// Ends the loop after kFuzzCycleCap cycles: it is asked to collect once at
// time 0 and once every cycle, and at the cap it brings the end time and the
// end cycle down to where the loop stands.
class FuzzCycleCap : public BasicOutput {
 public:
  explicit FuzzCycleCap(FEMDynamic* fem) : fem_(fem) {}
  void collect(OutputModel* model, double time, double) override {
    if (++collected_ <= kFuzzCycleCap) return;
    TimeControl* tc = fem_->timeControl;
    if (tc->end_time > time) tc->end_time = time;
    tc->end_cycle = model->cycle + 1;
  }
  void init(OutputModel*) override {}
  void write(OutputModel*, double, double) override {}
  void writeBinaryDump(OutputModel*, double, double) override {}
  void readBinaryDump(OutputModel*, double, double) override {}

 private:
  FEMDynamic* fem_;
  int collected_ = 0;
};

// How a bounded run ended. Stopped (by the set-up's first step, the loop or a
// file that could not be written, with a message) and Completed are correct
// outcomes; the others are findings.
enum class BoundedRun { Stopped, Completed, CompletedNotFinite, PastCap };

// Runs the set-up model in the GPU loop of the host build, at most
// kFuzzCycleCap cycles, and says how it ended.
inline BoundedRun runBounded(FEMDynamic* fem) {
  fem->outputManager->addOutput(std::make_unique<FuzzCycleCap>(fem));
  fem->host_path_flag = 0;
  double contactTime = 0.0, outputTime = 0.0;
  const bool completed = femDynaAnalyParalle(fem, &contactTime, &outputTime);
  resetRunLog();
  resetRunStop();  // a file the run could not write stops only this run
  if (!completed) return BoundedRun::Stopped;
  if (fem->cycle > kFuzzCycleCap) return BoundedRun::PastCap;
  fem->nodeManager->copyNodesToCpu();
  for (const NodeCuda& n : fem->nodeManager->node_array_cpu) {
    for (int k = 0; k < 3; ++k) {
      if (!std::isfinite(n.coord[k]) || !std::isfinite(n.vel[k])) return BoundedRun::CompletedNotFinite;
    }
  }
  return BoundedRun::Completed;
}

// The fuzz targets' check of a deck that was read (not refused): every line
// that holds anything was taken by some card or named as passed over; a
// line no card took would be text the run left out without a word.
inline void abortUnlessEveryLineTaken(const DeckLineTally& tally, const char* target) {
  if (tally.taken == tally.lines) return;
  std::fprintf(stderr, "%s: a deck was read with %zu of its %zu lines taken by a card\n", target, tally.taken,
               tally.lines);
  std::abort();
}

// The fuzz targets' check of a bounded run: a finding aborts with a message.
inline void runBoundedOrAbort(FEMDynamic* fem, const char* target) {
  const char* finding = nullptr;
  switch (runBounded(fem)) {
    case BoundedRun::PastCap:
      finding = "the time loop ran past its cycle cap";
      break;
    case BoundedRun::CompletedNotFinite:
      finding = "a run reported success with a node state that is not finite";
      break;
    default:
      return;
  }
  std::fprintf(stderr, "%s: %s\n", target, finding);
  std::abort();
}
