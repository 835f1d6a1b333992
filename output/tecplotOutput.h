// Tecplot ASCII field files (FEPOINT layout) of the whole mesh with nodal
// results: "result.plt" grows by one block per output point; "start.plt"
// (cycle 0) and "end.plt" (rewritten) on a second interval.
#pragma once
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "core/nodeFieldCopy.h"
#include "output/basicoutput.h"
#include "output/nodeTextBlocks.h"

struct NodeCuda;

// One zone of a block: the elements of one family group of one part, all
// written with the same Tecplot element type.
struct TecplotZone {
  std::string elementType;        // "lineseg", "quadrilateral" or "brick"
  int cornersPerElement = 0;      // 2, 4 or 8 ids per connectivity line
  std::vector<int> connectivity;  // 1-based node numbers, cornersPerElement per element

  int elementCount() const {
    return cornersPerElement > 0 ? static_cast<int>(connectivity.size()) / cornersPerElement : 0;
  }
};

class TecplotOutput : public BasicOutput {
 public:
  int outputCount_ = 0;  // "result.plt" blocks written so far
  bool dispFlag_ = false;
  bool velFlag_ = false;
  bool accFlag_ = false;
  bool stressFlag_ = false;
  bool strainFlag_ = false;
  double startEndInterval_ = 0.0;  // interval of the "start.plt" / "end.plt" writes
  CheckedFile resultStream_;

  TecplotOutput() = default;

  void collect(OutputModel* fem, double time, double dt) override;
  void init(OutputModel* fem) override;
  void write(OutputModel* fem, double time, double dt) override;

  // Zones built by init: per part, the beams, then the shells, then the
  // solids of either order; families the format cannot hold are left out.
  std::vector<TecplotZone> zones_;

  // Number of variables of a data line.
  int variableCount() const;
  // One block: variables line, the first zone with the node data and the
  // later zones sharing it from zone sharedZone. The node lines are
  // formatted on all threads (formatNodeLines), once for the files of one
  // point.
  void formatNodeLines(const NodeColumns& nodes);
  void writeBlock(std::ostream& os, double time, std::size_t nodeCount, int sharedZone) const;
  void writeBlock(std::ostream& os, double time, const std::vector<NodeCuda>& nodes, int sharedZone);

 private:
  bool hostStressNoted_ = false;
  bool startWritten_ = false;  // "start.plt" has been written in this run
  // A "start.plt" / "end.plt" point: on their interval, and the run's last state.
  bool atStartOrEnd(double time, double dt) const {
    return finalPoint_ || ::isOutputPoint(startEndInterval_, time, dt);
  }
  NodeTextBlocks nodeLines_;  // the node lines of the present point
};
