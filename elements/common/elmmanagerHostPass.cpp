// Host element passes of one part: internal forces and critical steps of
// the host-only loop, nodal masses, the smallest characteristic length and
// host mass scaling.  Shells, solids of both orders, beams, springs,
// trusses and discrete elements run the same element routines as the GPU
// driver, with the force block handed to the nodes at once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/section.h"
#include "elements/common/elementStep.h"
#include "elements/common/elmmanager.h"
#include "materials/material.h"
#include "materials/materialnew.h"
#include "platform/hostParallel.h"

namespace {
// Lowers the part's step to an element's; a step that is not finite (the
// element's shape or state is broken) becomes 0, as on the device, so that
// the loop stops and names the element.
inline void lowerPartStep(double& partMin, double step) {
  if (!nodeValueIsFinite(step)) step = 0.0;
  if (step < partMin) partMin = step;
}
}  // namespace

void ElmManager::computeInterForceCpu(const MaterialNew* material, Section* section, HourglassControl* hourglass,
                                      double dt, double& candidate, double safeFactor) {
  double partMin = 100.0;
  for (ShellElementCuda& e : shell_element_array_cpu) {
    e.computeShellInterForceCpu(material, section, hourglass, dt);
    e.computeShellCharactLength();
    lowerPartStep(partMin, e.computeShellTimeStep(material, safeFactor));
  }
  for (SolidElementCuda& e : solid_element_array_cpu) {
    e.computeSolidInterForceCpu(material, section, hourglass, dt);
    e.lengthAfterForce();
    lowerPartStep(partMin, e.computeSolidTimeStepCpu(material, safeFactor));
  }
  for (BeamElementCuda& e : beam_element_array_cpu) {
    e.computeBeamInterForceCpu(material, section, dt);
    e.computeBeamCharactLength();
    lowerPartStep(partMin, e.computeBeamTimeStep(material, safeFactor));
  }
  for (DiscreteCuda& e : discrete_element_array_cpu) e.computeDiscreteInterForceCpu(material, section, dt);
  // Second-order solids lower the part's step like every other solid.
  for (SolidElement2nd& e : solid2ndArrayCpu_) {
    e.computeSolid2ndInterForceCpu(material, section, hourglass, dt);
    e.computeSolid2ndCharactLength();
    lowerPartStep(partMin, e.computeSolidTimeStep(material->waveSpeed[0], safeFactor));
  }
  if (partMin < candidate) candidate = partMin;
}

namespace {

// What one solid gives its nodes: its mass, the share of each node and the
// nodes (null where none).
struct SolidShares {
  double mass = 0.0, share = 0.0;
  NodeCuda* node[8] = {};
};

// The solids' own masses in parallel, then their shares added to the nodes
// on several threads as well: each range of node addresses is summed by one
// thread, which walks the elements in order, so that every node sums in
// element order as a single thread would.  The solids' masses are added to
// total in element order.
void shareSolidMasses(std::vector<SolidElementCuda>& solids, const Material* material, double& total) {
  std::vector<SolidShares> shares(solids.size());
  std::vector<char> massed(solids.size());
  fem_parallel::parallelFor(solids.size(), 2048, [&](std::size_t i) {
    SolidElementCuda& e = solids[i];
    massed[i] = e.calSolidOwnMass(material);
    if (!massed[i]) return;
    SolidShares& s = shares[i];
    s.mass = e.mass;
    s.share = e.mass / e.gaussNodeNum;
    for (int I = 0; I < e.gaussNodeNum && I < 8; ++I) s.node[I] = e.node[I];
  });
  std::uintptr_t low = UINTPTR_MAX, high = 0;
  for (std::size_t i = 0; i < shares.size(); ++i) {
    if (!massed[i]) continue;
    total += shares[i].mass;
    for (const NodeCuda* n : shares[i].node) {
      if (n == nullptr) continue;
      low = std::min(low, reinterpret_cast<std::uintptr_t>(n));
      high = std::max(high, reinterpret_cast<std::uintptr_t>(n));
    }
  }
  if (high < low) return;
  const std::size_t ranges = static_cast<std::size_t>(std::max(1, fem_parallel::threadCount()));
  const std::uintptr_t span = (high - low) / ranges + 1;
  fem_parallel::parallelFor(ranges, 1, [&](std::size_t r) {
    const std::uintptr_t from = low + r * span, to = from + span;
    for (std::size_t i = 0; i < shares.size(); ++i) {
      if (!massed[i]) continue;
      for (NodeCuda* n : shares[i].node) {
        const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(n);
        if (n != nullptr && at >= from && at < to) n->mass += shares[i].share;
      }
    }
  });
}

}  // namespace

void ElmManager::calNodeMass(const Material* material, const Section* section) {
  totMass = 0.0;
  if (material == nullptr) return;
  if (material->type == 0 && material->density < 1e-11) return;
  for (ShellElementCuda& e : shell_element_array_cpu) totMass += e.calShellNodeMass(material, section);
  shareSolidMasses(solid_element_array_cpu, material, totMass);
  for (BeamElementCuda& e : beam_element_array_cpu) totMass += e.beamNodeMassCpu(material, section);
  for (SolidElement2nd& e : solid2ndArrayCpu_) totMass += e.calSolid2ndNodeMass(material, section);
}

void ElmManager::calMinCharactLength(double* length) {
  if (length == nullptr) return;
  for (SolidElementCuda& e : solid_element_array_cpu) {
    const double l = e.computeSolidCharactLengthCpu();
    if (l < *length) *length = l;
  }
  for (BeamElementCuda& e : beam_element_array_cpu) {
    const double l = e.computeBeamCharactLength();
    if (l < *length) *length = l;
  }
  // A shell form without a length method keeps its stored length, which is
  // 0 until a length was computed: it lowers nothing.
  for (ShellElementCuda& e : shell_element_array_cpu) {
    const double l = e.computeShellCharactLength();
    if (l > 0.0 && l < *length) *length = l;
  }
  for (SolidElement2nd& e : solid2ndArrayCpu_) {
    const double l = e.computeSolid2ndCharactLength();
    if (l < *length) *length = l;
  }
}

double ElmManager::minBeamCriticalStep(double c, double safeFactor) {
  double m = kBeamNoStepLimit;
  for (BeamElementCuda& e : beam_element_array_cpu) {
    const double step = e.criticalStep(c, safeFactor);
    if (step < m) m = step;
  }
  return m;
}

void ElmManager::massScaleCpu(double targetDt) {
  for (SolidElementCuda& e : solid_element_array_cpu) e.computeSolidMassScaleCpu(targetDt);
  for (BeamElementCuda& e : beam_element_array_cpu) e.computeBeamMassScaleCpu(targetDt);
  for (ShellElementCuda& e : shell_element_array_cpu) e.computeShellMassScaleCpu(targetDt);
  for (SolidElement2nd& e : solid2ndArrayCpu_) e.computeSolid2ndMassScaleCpu(targetDt);
  for (size_t i = 0; i < shell2ndArrayCpu_.size(); ++i) printf("请补充二阶壳单元的质量缩放算法\n");
  for (size_t i = 0; i < beam2ndArrayCpu_.size(); ++i) printf("请补充二阶梁单元的质量缩放算法\n");
}
