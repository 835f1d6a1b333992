// Base of every result writer: history files, Tecplot and VTK field files.
#pragma once
#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/checkedFile.h"

struct OutputModel;

// Codes made from the variable names a deck requests.
enum OutputVariable {
  OUTPUT_TECPLOT = 1,
  OUTPUT_CONTACT_FORCE = 5,
  OUTPUT_STRESS = 6,
  OUTPUT_STRAIN = 7,
};

class BasicOutput {
 public:
  double interval_ = 0.0;                   // output interval in simulation time
  std::vector<std::string> variableNames_;  // names as requested ("RF", "S", "PE", ...)
  std::string setName_;                     // node or element set followed by history output
  int32_t setId_ = 0;                       // id of that set; 0 = no set
  std::vector<int> variableCodes_;          // codes made from variableNames_, in order
  std::vector<int> bufferOffsets_;          // per code: offset in doubles into the buffers
  std::string outputPath_;                  // directory the output writes into
  bool finalPoint_ = false;                 // the run's last state is being written: every output takes it
  bool passedPoint_ = false;                // a point a step passed is being written with the state reached
  int64_t lastPoint_ = 0;                   // index of the last output point taken (0: the start)

  BasicOutput() = default;
  BasicOutput(const BasicOutput&) = delete;
  BasicOutput& operator=(const BasicOutput&) = delete;

  // Gathers, at an output point, what write needs from the GPU.
  virtual void collect(OutputModel* fem, double time, double dt) = 0;
  // Makes the output directory, resolves the set, sizes the buffers.
  virtual void init(OutputModel* fem) = 0;
  // Writes or appends the files at an output point.
  virtual void write(OutputModel* fem, double time, double dt) = 0;
  // Raw binary dump of the model state and its read-back to text; an
  // output that keeps no dump writes and reads nothing.
  virtual void writeBinaryDump(OutputModel* /*fem*/, double /*time*/, double /*dt*/) {}
  virtual void readBinaryDump(OutputModel* /*fem*/, double /*time*/, double /*dt*/) {}
  virtual ~BasicOutput() = default;

  // Appends one code per recognised name of variableNames_ (it does not clear first).
  void parseOutputVariables();

  // True when time is the step nearest to a multiple of the interval, and
  // at the run's last state.
  bool isOutputPoint(double time, double dt) const;
  // The output points not yet taken that lie before time and that neither
  // this state (with the coming step dt) nor a later one takes: a step
  // longer than the interval passed them.  In order.
  std::vector<double> passedPoints(double time, double dt) const;
  // Every point up to those this state takes counts as taken.
  void takePointsUpTo(double time, double dt);

  // Opens a history or field file that grows by one block per output
  // point: emptied at this output's first write to it in the run, so a
  // second run in the same folder starts the file afresh; appended to
  // afterwards. The block is whole once the file is closed.
  void openRunFile(CheckedFile& stream, const std::string& path);

 private:
  std::set<std::string> startedFiles_;  // files this output has written in this run
};

// The output-point test: time lies closer than dt/2 below the next multiple
// of interval, or less than dt/2 past the last one. A non-positive interval
// fires at time 0 only.
bool isOutputPoint(double interval, double time, double dt);

// The run's work folder ("." when none is given).
std::string workFolderOf(OutputModel* fem);
// Folder of a history output inside the work directory, made when missing
// (a folder that cannot be made asks the run to stop).
std::string historyOutputFolder(OutputModel* fem, const char* name);
// Numbers of the history files: d.dddddde+XX, left-aligned.
void setHistoryNumberFormat(std::ostream& out);
// The local time as "%Y-%m-%d %H:%M:%S", for the progress lines.
std::string localTimeStamp();
