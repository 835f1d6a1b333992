// Owner of every output of a run; the time loops drive the outputs through it.
#pragma once
#include <memory>
#include <vector>

#include "output/basicoutput.h"
#include "output/nodalStress.h"

struct OutputModel;

class OutputManager {
 public:
  std::vector<std::unique_ptr<BasicOutput>> outputList_;  // in the order of creation
  bool hasTecplot_ = false;                               // a Tecplot output was requested by the deck
  bool hasParaView_ = false;                              // a VTK output exists
  double rftInterval_ = 0.0;                              // contact-force output interval ("RFT=")
  NodalResults nodalResults;                              // what the outputs of one output point share
  int passedPointNotes_ = 0;                              // steps whose passed points the record names

  OutputManager() = default;
  OutputManager(const OutputManager&) = delete;
  OutputManager& operator=(const OutputManager&) = delete;
  ~OutputManager() = default;

  // Takes ownership of an output created by a reader.
  BasicOutput* addOutput(std::unique_ptr<BasicOutput> output);

  void initAll(OutputModel* fem);
  void collectAll(OutputModel* fem, double time, double dt);
  void writeAll(OutputModel* fem, double time, double dt);
  // From now on every output takes the state it is given: the time loops
  // call it before collecting and writing the run's last state, which is
  // written whether or not it falls on an output interval.
  void markFinalPoint();
  // True when some output writes at this time (passed: its points that a
  // step passed count as due).
  bool anyOutputDue(double time, double dt, bool passed = false) const;
  // For every output point that the step from stepStart to time passed (one
  // longer than the interval, the host loop's first step), the output
  // writes the state reached at time, with that time, one file or block per
  // point, so that no point goes missing; the run record and the console
  // name the points.  Called before collectAll and writeAll at every state.
  void writePassedPoints(OutputModel* fem, double stepStart, double time, double dt);

  // Completes the outputs after reading: the default VTK output, the run's
  // output interval (time control's, given as runInterval, 0 when unset;
  // endTime is the run's end time) and every output's variable codes.
  void addDefaultOutput(double& runInterval, double endTime);
};
