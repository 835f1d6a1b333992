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

__host__ __device__ inline double nodeKineticEnergy(const NodeCuda& n) {
  double e = 0.0;
  for (int k = 0; k < 3; ++k) e += n.mass * n.vel[k] * n.vel[k] + n.rot_inertia[k] * n.vel[3 + k] * n.vel[3 + k];
  return 0.5 * e;
}

__global__ void NodeKineticEnergySums(const NodeCuda* nodes, int n, double* sums) {
  const int t = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
  const int first = t * kNodesPerSum;
  if (first >= n) return;
  const int last = first + kNodesPerSum < n ? first + kNodesPerSum : n;
  double e = 0.0;
  for (int i = first; i < last; ++i) e += nodeKineticEnergy(nodes[i]);
  sums[t] = e;
}

}  // namespace

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

double KineticEnergyWatch::kineticEnergy(const std::vector<NodeCuda>& nodes) {
  double e = 0.0;
  for (const NodeCuda& n : nodes) e += nodeKineticEnergy(n);
  return e;
}

double KineticEnergyWatch::kineticEnergyGpu(const NodeManager& nodes) {
  const int n = nodes.totNodeNum;
  if (n <= 0 || nodes.node_array_gpu == nullptr) return 0.0;
  const int threads = (n + kNodesPerSum - 1) / kNodesPerSum;
  if (threads > sumCount_) {
    sums_ = DeviceBuffer<double>(static_cast<size_t>(threads));
    sumCount_ = threads;
  }
  launch(NodeKineticEnergySums, dim3(static_cast<unsigned>((threads + 63) / 64)), dim3(64),
         static_cast<const NodeCuda*>(nodes.node_array_gpu), n, sums_.get());
  std::vector<double> sums(static_cast<size_t>(threads), 0.0);
  CUDA_CHECK(cudaMemcpy(sums.data(), sums_.get(), sizeof(double) * sums.size(), cudaMemcpyDeviceToHost));
  double e = 0.0;
  for (double s : sums) e += s;
  return e;
}

void reportRunawayEnergy(const KineticEnergyWatch& watch, double energy, double time, int cycle,
                         const ElementStep& limit) {
  char element[96] = "";
  if (limit.found) snprintf(element, sizeof(element), "; element %d has the smallest step (%g)", limit.id, limit.step);
  char text[480];
  snprintf(text, sizeof(text),
           "The run stops at time %g, cycle %d: its kinetic energy grew from %g to %g in its last %d cycles, far "
           "beyond what its initial energy and the work of its loads and supports can give; the time step is "
           "above the stable step of the model%s.",
           time, cycle, watch.before(), energy, watch.cycles(), element);
  fflush(stdout);
  fprintf(stderr, "%s\n", text);
  if (g_runRecord.is_open()) g_runRecord << text << std::endl;
}
