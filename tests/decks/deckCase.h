// Shared helpers of the end-to-end deck cases under tests/decks/<case>/:
// a scratch folder per case, running the program on a deck, reading back
// the VTK files, and running a deck in-process with a probe that records
// the nodal state every cycle.
#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/node.h"
#include "output/basicoutput.h"
#include "output/outputModel.h"

class FEMDynamic;

namespace deckcase {

namespace fs = std::filesystem;

// The case folder in the source tree and a fresh scratch folder for it.
fs::path caseFolder(const std::string& name);
fs::path scratchFolder(const std::string& name);

// Runs the impactfem program on the case's deck (copied into the scratch
// folder) with the work directory scratch/work; returns the exit status.
int runProgram(const std::string& name, const std::string& extraOptions = "");

// The VTK files of a work folder in output order: result.vtk, result_1.vtk, ...
std::vector<fs::path> vtkFiles(const fs::path& work);
std::string readText(const fs::path& file);

// One recorded cycle: the time and a copy of every node, with the nodal
// stresses averaged from the elements.
struct Sample {
  double time = 0.0;
  std::vector<NodeCuda> nodes;
};

// Output that records every cycle (after the same gathering the VTK output
// does with its stress flag on).
class Probe : public BasicOutput {
 public:
  std::vector<Sample> samples;
  void collect(OutputModel* fem, double time, double dt) override;
  void init(OutputModel*) override {}
  void write(OutputModel*, double, double) override {}
  void writeBinaryDump(OutputModel*, double, double) override {}
  void readBinaryDump(OutputModel*, double, double) override {}
};

// Reads the case's deck, sets the model up and runs the GPU time loop with
// a probe; the samples are returned. Fails the test when a stage fails. The
// scratch folder is named after the case, or after `scratch` when given (so
// that tests running at the same time keep apart). afterReading, when given,
// changes the read model before its set-up.
std::vector<Sample> runInProcess(const std::string& name, const std::string& scratch = "",
                                 const std::function<void(FEMDynamic*)>& afterReading = {});
// The same for the deck.k of a scratch folder (work folder scratch/work).
std::vector<Sample> runInProcessAt(const fs::path& scratch, const std::function<void(FEMDynamic*)>& afterReading = {});
// Reads, sets up and runs the deck.k (or deck.inp) of a scratch folder with the given
// output added (it sees every cycle); fails the test when a stage fails.
void runModelAt(const fs::path& scratch, std::unique_ptr<BasicOutput> output,
                const std::function<void(FEMDynamic*)>& afterReading = {});

// Runs the deck file `deck` (deck.k or deck.inp) of a case in its own
// scratch folder, named after case and deck.
std::vector<Sample> runCaseDeck(const std::string& name, const std::string& deck);

// Two runs of one model written two ways: the same sample times and nodal
// coordinates and velocities within 1e-12.
void expectTwins(const std::vector<Sample>& first, const std::vector<Sample>& second);

}  // namespace deckcase
