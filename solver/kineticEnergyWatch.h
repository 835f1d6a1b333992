// A run whose kinetic energy grows far beyond what its initial energy and
// the work of its loads and supports can give is numerically unstable: its
// step is above the stable step of some part of the model. Such a run stops
// with a message naming the time and the element with the smallest step.
// The watch looks at the model's kinetic energy every few cycles: loads,
// supports and contact raise it at most as a power of the time (a force
// ramp from rest as t^4), an unstable mode exponentially; the run stops
// once the energy has grown a hundredfold over each of two looks in a row
// (10^4-fold in 20 cycles or fewer; the last cycle is looked at too).
// A slower growth is caught by the balance: the work the element forces
// (and the contact forces) do on the nodes is summed every cycle, by the
// velocity update (the gather keeps the element forces for it, apart from
// the loads that join them in the nodes' force); everything else the
// nodes gained came from outside (loads, supports, prescribed motions,
// rigid walls; damping only takes energy out). In a stable run the elements
// store or dissipate energy; the run stops once its kinetic energy exceeds
// a generous multiple of its initial energy plus the work done on it from
// outside, that is once the elements have made most of it.
#pragma once
#include <vector>

#include "core/deviceFree.h"
#include "core/nodeWork.h"
#include "elements/common/elementStep.h"

class NodeManager;
struct NodeCuda;

// Cycles between two looks; each is one window.
constexpr int kEnergyWatchCycles = 10;

class KineticEnergyWatch {
 public:
  KineticEnergyWatch() = default;
  KineticEnergyWatch(const KineticEnergyWatch&) = delete;
  KineticEnergyWatch& operator=(const KineticEnergyWatch&) = delete;

  // The energy the run reached at cycle; true when it has run away.
  bool runsAway(double energy, int cycle);
  // True when energy is far beyond the initial energy plus the work done on
  // the model from outside (the element work summed up to the last look).
  bool outgrowsBalance(double energy) const;
  // The kinetic energy before and after the contact's own update before the
  // first move: the pairs a model starts with (a plate moving into one it
  // starts inside) may take out all its energy there, and that work counts
  // with the element work.
  void addStartContactWork(double before, double after);
  double growthBefore() const { return start_; }  // the energy before the growth
  int cycles() const { return cycles_; }          // cycles over which it grew

  // A look: the kinetic energy of the nodes, translations and rotations,
  // and the element and contact work summed so far (host nodes, and the
  // device copy of a node manager; summed in node order, in blocks).
  double lookCpu(const std::vector<NodeCuda>& nodes);
  double lookGpu(const NodeManager& nodes);

  // The work records of n device nodes, for the gather of the element
  // forces to keep them in and the velocity update to add their work to
  // (all zero at first).
  NodeWork* nodeWorkGpu(int n);
  // The host twins: the records (one per node once the elements' forces
  // are kept), and the keeping itself (the nodes hold this cycle's element
  // forces alone).
  std::vector<NodeWork>& nodeWorkCpu() { return work_; }
  void keepElementForcesCpu(const std::vector<NodeCuda>& nodes);

 private:
  double last_ = -1.0;  // the energy of the last look; below 0 before the first
  double start_ = 0.0;  // the energy where the growth began
  int lastCycle_ = 0;   // the cycle of the last look, and of the look where it began
  int startCycle_ = 0;
  int cycles_ = 0;
  int windows_ = 0;            // looks in a row at which it had grown a hundredfold
  DeviceBuffer<double> sums_;  // device sums of the blocks of nodes
  int sumCount_ = 0;
  // The nodes' work records (host and device) and the sums of the last look.
  std::vector<NodeWork> work_;
  DeviceBuffer<NodeWork> workGpu_;
  int workNodes_ = 0;  // device nodes of workGpu_
  double elementWork_ = 0.0;
  double grossWork_ = 0.0;
  double startContactWork_ = 0.0;
};

// The message of a run stopped by the watch, on the error stream and in the
// run record.
void reportRunawayEnergy(const KineticEnergyWatch& watch, double energy, double time, int cycle,
                         const ElementStep& limit);
void reportEnergyBeyondBalance(double energy, double time, int cycle, const ElementStep& limit);
