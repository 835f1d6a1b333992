#include "solver/kineticEnergyWatch.h"

#include <cstdio>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "platform/gpuRuntime.h"

namespace {

// Growth over one window that counts towards a runaway, and the windows in
// a row it takes.
constexpr double kWindowGrowth = 100.0;
constexpr int kRunawayWindows = 2;
// Nodes each thread of the device sum adds up, in order.
constexpr int kNodesPerSum = 256;
// The balance: the multiple of the initial energy plus the outside work the
// kinetic energy may reach, and the share of the summed magnitudes of the
// nodes' element work added to that energy (round-off of a model at rest). The
// examples and test decks reach 1.03 times that energy at most.
constexpr double kBalanceMultiple = 10.0;
constexpr double kGrossShare = 1e-6;
// Sums of a block of nodes: kinetic energy, element work, the magnitudes of
// the nodes' element work.
constexpr int kLookSums = 3;

__host__ __device__ inline double nodeKineticEnergy(const NodeCuda& n) {
  double e = 0.0;
  for (int k = 0; k < 3; ++k) e += n.mass * n.vel[k] * n.vel[k] + n.rot_inertia[k] * n.vel[3 + k] * n.vel[3 + k];
  return 0.5 * e;
}

// The sums of the nodes [first, last) into s (kLookSums values); work: the
// nodes' work records, or none.
__host__ __device__ inline void addLookSums(const NodeCuda* nodes, const NodeWork* work, int first, int last,
                                            double* s) {
  for (int i = first; i < last; ++i) {
    s[0] += nodeKineticEnergy(nodes[i]);
    if (work == nullptr) continue;
    const double w = work[i].work;
    s[1] += w;
    s[2] += w < 0.0 ? -w : w;
  }
}

__global__ void NodeLookSums(const NodeCuda* nodes, const NodeWork* work, int n, double* sums) {
  const int t = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
  const int first = t * kNodesPerSum;
  if (first >= n) return;
  double s[kLookSums] = {0.0, 0.0, 0.0};
  addLookSums(nodes, work, first, first + kNodesPerSum < n ? first + kNodesPerSum : n, s);
  for (int k = 0; k < kLookSums; ++k) sums[kLookSums * t + k] = s[k];
}

// A stop's message on the error stream and in the run record.
void reportStop(const char* text) {
  fflush(stdout);
  fprintf(stderr, "%s\n", text);
  if (g_runRecord.is_open()) g_runRecord << text << std::endl;
}

// "; element N has the smallest step (s)" when the limit names one.
void smallestStepText(const ElementStep& limit, char (&text)[96]) {
  text[0] = '\0';
  if (limit.found) snprintf(text, sizeof(text), "; element %d has the smallest step (%g)", limit.id, limit.step);
}

}  // namespace

NodeWork* KineticEnergyWatch::nodeWorkGpu(int n) {
  if (n <= 0) return nullptr;
  if (n != workNodes_) {
    workGpu_ = DeviceBuffer<NodeWork>(static_cast<size_t>(n));
    CUDA_CHECK(cudaMemset(workGpu_.get(), 0, sizeof(NodeWork) * static_cast<size_t>(n)));
    workNodes_ = n;
  }
  return workGpu_.get();
}

void KineticEnergyWatch::keepElementForcesCpu(const std::vector<NodeCuda>& nodes) {
  if (work_.size() != nodes.size()) work_.assign(nodes.size(), NodeWork{});
  for (size_t i = 0; i < nodes.size(); ++i) keepElementForce(work_[i], nodes[i]);
}

void KineticEnergyWatch::addStartContactWork(double before, double after) { startContactWork_ += after - before; }

bool KineticEnergyWatch::outgrowsBalance(double energy) const {
  // Kinetic energy = initial energy + outside work + element work: what did
  // not come from the elements came from the start or from outside.
  const double work = elementWork_ + startContactWork_;
  const double gross = grossWork_ + (startContactWork_ < 0.0 ? -startContactWork_ : startContactWork_);
  return energy > kBalanceMultiple * (energy - work + kGrossShare * gross);
}

bool KineticEnergyWatch::runsAway(double energy, int cycle) {
  if (last_ > 0.0 && energy >= kWindowGrowth * last_) {
    if (windows_ == 0) {
      start_ = last_;
      startCycle_ = lastCycle_;
    }
    ++windows_;
  } else {
    windows_ = 0;
  }
  last_ = energy;
  lastCycle_ = cycle;
  cycles_ = cycle - startCycle_;
  return windows_ >= kRunawayWindows;
}

double KineticEnergyWatch::lookCpu(const std::vector<NodeCuda>& nodes) {
  double s[kLookSums] = {0.0, 0.0, 0.0};
  const bool summed = work_.size() == nodes.size();
  addLookSums(nodes.data(), summed ? work_.data() : nullptr, 0, static_cast<int>(nodes.size()), s);
  elementWork_ = s[1];
  grossWork_ = s[2];
  return s[0];
}

double KineticEnergyWatch::lookGpu(const NodeManager& nodes) {
  const int n = nodes.totNodeNum;
  if (n <= 0 || nodes.node_array_gpu == nullptr) return 0.0;
  const int threads = (n + kNodesPerSum - 1) / kNodesPerSum;
  if (threads > sumCount_) {
    sums_ = DeviceBuffer<double>(kLookSums * static_cast<size_t>(threads));
    sumCount_ = threads;
  }
  launch(NodeLookSums, dim3(static_cast<unsigned>((threads + 63) / 64)), dim3(64),
         static_cast<const NodeCuda*>(nodes.node_array_gpu),
         static_cast<const NodeWork*>(workNodes_ == n ? workGpu_.get() : nullptr), n, sums_.get());
  std::vector<double> sums(kLookSums * static_cast<size_t>(threads), 0.0);
  CUDA_CHECK(cudaMemcpy(sums.data(), sums_.get(), sizeof(double) * sums.size(), cudaMemcpyDeviceToHost));
  double s[kLookSums] = {0.0, 0.0, 0.0};
  for (size_t t = 0; t < sums.size(); t += kLookSums)
    for (int k = 0; k < kLookSums; ++k) s[k] += sums[t + static_cast<size_t>(k)];
  elementWork_ = s[1];
  grossWork_ = s[2];
  return s[0];
}

void reportRunawayEnergy(const KineticEnergyWatch& watch, double energy, double time, int cycle,
                         const ElementStep& limit) {
  char element[96];
  smallestStepText(limit, element);
  char text[480];
  snprintf(text, sizeof(text),
           "The run stops at time %g, cycle %d: its kinetic energy grew from %g to %g in its last %d cycles, far "
           "beyond what its initial energy and the work of its loads and supports can give; the time step is "
           "above the stable step of the model%s.",
           time, cycle, watch.growthBefore(), energy, watch.cycles(), element);
  reportStop(text);
}

void reportEnergyBeyondBalance(double energy, double time, int cycle, const ElementStep& limit) {
  char element[96];
  smallestStepText(limit, element);
  char text[480];
  snprintf(text, sizeof(text),
           "The run stops at time %g, cycle %d: its kinetic energy %g is more than %g times what its initial "
           "energy and the work of its loads and supports can give, far beyond it; the time step is above the "
           "stable step of the model%s.",
           time, cycle, energy, kBalanceMultiple, element);
  reportStop(text);
}
