// Element stresses and strains averaged into the node records on the device
// and the node fields of an output point brought to the host, for the
// outputs that write nodal results.
#pragma once

#include "core/nodeFieldCopy.h"

struct OutputModel;

// Sums the element and smoothed-FEM domain stresses and strains into the
// device nodes, each node in a fixed order, and averages them (GPU run only).
void averageNodalStressGpu(OutputModel* fem);

// The nodal results of one output point, each made once however many
// outputs ask for them (GPU run): the element stresses and strains averaged
// into the device nodes, and the node fields the outputs write packed into
// host memory. An output point is one state of the run, known by its cycle
// and time (cycle 0 is output twice: before the first step and after it).
class NodalResults {
 public:
  // Averages the stresses and strains into the device nodes.
  void average(OutputModel* fem, double time);
  // Takes the chosen node fields (NodeField bits) of every node to the
  // host, those not taken yet at this point (the stresses again after an
  // averaging).
  void copyToHost(OutputModel* fem, double time, unsigned fields);
  // The node fields of this point as the files read them: those taken to
  // the host (GPU run), or the host node records (host run).
  NodeColumns nodes(OutputModel* fem) const;

 private:
  int cycle_ = -1;
  double time_ = 0.0;
  bool averaged_ = false;
  unsigned copied_ = 0;  // node fields on the host for this point

  bool samePoint(const OutputModel* fem, double time) const;
  // Forgets what was made for an earlier point.
  void moveTo(const OutputModel* fem, double time);
};
