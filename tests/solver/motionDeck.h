// Decks for the tests of supports, loads, rigid bodies and rigid walls: a
// block of hexahedra written as the field writes it (fixed 10-character
// fields), extra cards appended, then read, set up and run through the GPU
// time loop in-process with a probe that records every cycle, or run by the
// impactfem program for its exit status and console.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "tests/decks/deckCase.h"
#include "tests/input/keyword/keywordTestDeck.h"

namespace motiondeck {

// A number as a deck field.
std::string num(double value);

// An nx x ny x nz block of cubes of edge h from the origin, part `part`
// (node and element numbers start after `nodeOffset` and `elementOffset`,
// x running fastest), with its *PART, *SECTION_SOLID (formulation 1) and
// material card. The material card is *MAT_ELASTIC unless `rigid`; a block
// given another part's material id writes no material card of its own.
struct Block {
  int nx = 1, ny = 1, nz = 1;
  double h = 1.0;
  double origin[3] = {0.0, 0.0, 0.0};
  int part = 1;
  int nodeOffset = 0;
  int elementOffset = 0;
  double density = 1.0;
  double young = 1.0e4;
  double poisson = 0.0;
  bool rigid = false;
  // Card 2 of a rigid material (CMO, CON1, CON2), when not blank.
  std::string rigidConstraints = "";
  int material = 0;     // material id; 0: the part's own
  int hourglassId = 0;  // HGID of the part card; 0: none

  int nodeCount() const { return (nx + 1) * (ny + 1) * (nz + 1); }
  // Node number of grid point (i, j, k).
  int node(int i, int j, int k) const { return nodeOffset + 1 + i + (nx + 1) * (j + (ny + 1) * k); }
  std::string cards() const;
};

// A node set card of the given members.
std::string nodeSet(int id, const std::vector<int>& members);
// A *DEFINE_CURVE card of the given (time, value) points.
std::string curve(int id, std::initializer_list<std::pair<double, double>> points);
// *CONTROL_TERMINATION with an end time and an end cycle.
std::string termination(double endTime, int endCycle = 0);

// Runs the deck text in-process; the samples of every cycle (empty, with a
// test failure, when reading or set-up fails).
std::vector<deckcase::Sample> run(const std::string& name, const std::string& deck);
// Runs the impactfem program on the deck text (with further command-line
// options, such as "DT=1e-6"); returns its exit status and leaves its
// console output in *console.
int runProgram(const std::string& name, const std::string& deck, std::string* console, const std::string& options = "");
// The same for an .inp deck (the text is the whole file).
int runInpProgram(const std::string& name, const std::string& deck, std::string* console,
                  const std::string& options = "");

}  // namespace motiondeck

namespace motiondeck {

// Output that hands the solver to a callback after every cycle (and at time
// 0), with the nodes read back to the host.
class Watch : public BasicOutput {
 public:
  using Callback = std::function<void(FEMDynamic& fem, double time)>;
  explicit Watch(Callback callback) : callback_(std::move(callback)) {}
  FEMDynamic* solver = nullptr;  // the run's solver object, set before the run
  void collect(OutputModel* fem, double time, double dt) override;
  void init(OutputModel*) override {}
  void write(OutputModel*, double, double) override {}
  void writeBinaryDump(OutputModel*, double, double) override {}
  void readBinaryDump(OutputModel*, double, double) override {}

 private:
  Callback callback_;
};

// Runs the deck.k (or deck.inp) of a scratch folder with a watch
// (deckcase::runModelAt).
void watchModelAt(const deckcase::fs::path& scratch, Watch::Callback callback);
// Runs the deck text in-process with a watch, in the GPU loop or in the
// host-only loop.
void runWatching(const std::string& name, const std::string& deck, Watch::Callback callback);
void runHostWatching(const std::string& name, const std::string& deck, Watch::Callback callback);
// Runs the deck through the GPU loop and then the host loop; the check sees
// the host nodes, the time and the step that led to it after every cycle
// of each (time > 0), and each loop must run more than ten cycles.
using CycleCheck = std::function<void(const std::vector<NodeCuda>& nodes, double time, double dt)>;
void runBothLoops(const std::string& name, const std::string& deck, const CycleCheck& check);

}  // namespace motiondeck
