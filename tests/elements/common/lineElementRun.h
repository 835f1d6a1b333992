// Runs a keyword deck given as text through the reader, the set-up and the
// GPU time loop (or the host loop), tracing chosen nodes every cycle.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "core/node.h"

class FEMDynamic;

namespace linerun {

struct Trace {
  std::vector<double> time;
  std::vector<std::vector<NodeCuda>> nodes;  // per cycle, the traced nodes in the order asked
  std::string console;                       // what the run printed on the console
};

struct RunOptions {
  std::vector<int> traced;  // node numbers (1-based positions) to trace
  bool hostLoop = false;    // run the host-only loop instead of the GPU loop
  bool inpDeck = false;     // the deck is an ".inp" deck
  int every = 1;            // keep one sample in this many cycles
  // Changes to the model after the deck was read, before it is set up.
  std::function<void(FEMDynamic*)> afterRead;
  // A look at the model after the run, before it is deleted.
  std::function<void(FEMDynamic*)> afterRun;
};

// Writes the deck into a scratch folder named after the test and runs it;
// fails the test when reading or set-up fails.
Trace runDeck(const std::string& name, const std::string& deck, const RunOptions& options);

// Reads and sets up a deck without running it; returns the set-up status
// (1 success) and the console text in messages.
int setUpDeck(const std::string& name, const std::string& deck, std::string* messages);

// Times (after the first) at which the traced component crosses zero
// upward, found by linear interpolation.
std::vector<double> upwardCrossings(const std::vector<double>& t, const std::vector<double>& v);

}  // namespace linerun
