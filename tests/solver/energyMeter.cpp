#include "tests/solver/energyMeter.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>

#include "core/nodeManager.h"
#include "elements/common/nodeGather.h"
#include "platform/gpuRuntime.h"
#include "solver/femdynamic.h"
#include "tests/solver/motionDeck.h"

namespace energymeter {

namespace {
bool hasMass(const NodeCuda& n) { return n.mass >= kNodeMassTolerance; }
}  // namespace

void EnergyMeter::measure(FEMDynamic& fem, double time) {
  NodeManager* nm = fem.nodeManager;
  nm->copyNodesToCpu();
  const std::vector<NodeCuda> state = nm->node_array_cpu;
  // The nodal update has cleared the forces: a gather now leaves in them
  // the element forces of the state just reached.
  gpuAddNodeInterForce(*nm);
  nm->copyNodesToCpu();
  const std::vector<NodeCuda> gathered = nm->node_array_cpu;
  nm->node_array_cpu = state;
  cudaMemcpy(nm->node_array_gpu, state.data(), state.size() * sizeof(NodeCuda), cudaMemcpyHostToDevice);

  EnergySample s;
  s.time = time;
  s.internal = samples.empty() ? 0.0 : samples.back().internal;
  // The step over which this cycle's forces changed the velocities.
  const double h = 0.5 * (fem.dt + fem.prev_dt);
  const bool first = velocity_.empty();
  velocity_.resize(3 * state.size(), 0.0);
  for (std::size_t i = 0; i < state.size(); ++i) {
    const NodeCuda& n = state[i];
    double* before = &velocity_[3 * i];
    if (hasMass(n)) {
      // A rigid body's nodes carry its motion with their masses (its mass
      // and inertia are theirs); its elements do no work.
      for (int j = 0; j < 3; ++j) {
        s.kinetic += 0.5 * n.mass * n.vel[j] * n.vel[j];
        // Internal energy grows by the work done against the element
        // forces over the step, at the mean of the velocities before and
        // after it.
        if (!first && n.rigid_flag == 0) s.internal -= gathered[i].force[j] * h * 0.5 * (before[j] + n.vel[j]);
      }
    }
    for (int j = 0; j < 3; ++j) before[j] = n.vel[j];
  }
  samples.push_back(s);
}

std::vector<EnergySample> measureAt(const deckcase::fs::path& scratch) {
  EnergyMeter meter;
  motiondeck::watchModelAt(scratch, [&meter](FEMDynamic& fem, double time) { meter.measure(fem, time); });
  return meter.samples;
}

std::vector<EnergySample> measureCase(const std::string& name) {
  const deckcase::fs::path scratch = deckcase::scratchFolder("energy_" + name);
  deckcase::fs::copy_file(deckcase::caseFolder(name) / "deck.k", scratch / "deck.k");
  return measureAt(scratch);
}

std::vector<EnergySample> measureDeck(const std::string& name, const std::string& deck) {
  const deckcase::fs::path scratch = deckcase::scratchFolder("energy_" + name);
  std::ofstream(scratch / "deck.k", std::ios::binary) << "*KEYWORD\n" << deck << "*END\n";
  return measureAt(scratch);
}

double largestRise(const std::vector<EnergySample>& samples) {
  if (samples.empty()) return 0.0;
  const double start = samples.front().total();
  double rise = 0.0;
  for (const EnergySample& s : samples) rise = std::max(rise, s.total() - start);
  return rise / start;
}

double largestDrift(const std::vector<EnergySample>& samples) {
  if (samples.empty()) return 0.0;
  const double start = samples.front().total();
  double drift = 0.0;
  for (const EnergySample& s : samples) drift = std::max(drift, std::fabs(s.total() - start));
  return drift / start;
}

}  // namespace energymeter
