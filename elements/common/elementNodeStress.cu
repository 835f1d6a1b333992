// Nodal sums of element stresses and strains for output, one thread per
// node: the node reads its registered elements through its registration
// slots in their fixed order (the order of the force gather) and sums what
// each gives it.  No two threads add into one value, so the sums are the
// same on any number of threads.  First-order solids give a node its value
// as it is asked for; second-order solids, whose least-squares projection
// gives all their nodes at once, leave theirs in a scratch first.
#include "core/gridIndex.h"
#include "core/section.h"
#include "elements/common/elementControl.h"

namespace {

// The value of the node at position local from a second-order solid's
// scratch entry (a flag, then twelve values per node).
__device__ bool solid2ndNodeStressStrain(const SolidElement2nd& e, int local, const double* scratch, double* out) {
  const double* entry = scratch + kSolid2ndStressEntry * e.nodalStressSlot;
  if (entry[0] == 0.0 || local < 0 || local >= kSolid2ndStressNodes) return false;
  for (int c = 0; c < 12; ++c) out[c] = entry[1 + 12 * local + c];
  return true;
}

// The stress (out[0..5]) and strain (out[6..11]) element e gives its node at
// position local; false for an element that gives none (shells, beams,
// springs and the solids the formulations leave out).
__device__ bool elementNodeStressStrain(const Element* e, int local, const Section* sections,
                                        const double* solid2ndScratch, double* out) {
  if (e == nullptr || e->section_id < 1) return false;
  switch (e->sectionType) {
    case FAMILY_SOLID:
      return static_cast<const SolidElementCuda*>(e)->computeSolid1stNodeStrGpu(sections[e->section_id - 1].family_code,
                                                                                local, out);
    case FAMILY_SOLID_2ND:
      return solid2ndScratch != nullptr &&
             solid2ndNodeStressStrain(*static_cast<const SolidElement2nd*>(e), local, solid2ndScratch, out);
    default:
      return false;
  }
}

}  // namespace

__global__ void GpuSolid2ndNodeStress(int n, SolidElement2nd** elements, const Section* sections, double* scratch) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    SolidElement2nd& e = *elements[i];
    double* entry = scratch + kSolid2ndStressEntry * i;
    e.nodalStressSlot = i;
    const bool gives = e.section_id >= 1 && e.computeSolid2ndNodeStrGpu(sections[e.section_id - 1].family_code,
                                                                        reinterpret_cast<double(*)[12]>(entry + 1));
    entry[0] = gives ? 1.0 : 0.0;
  }
}

__global__ void GpuSumElementStressAtNodes(int n, NodeCuda* nodes, const Section* sections,
                                           const double* solid2ndScratch) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    NodeCuda& nd = nodes[i];
    double sum[12] = {}, weight = 0.0;
    for (int k = 0; k < nd.registeredElementNum(); ++k) {
      double value[12];
      if (!elementNodeStressStrain(nd.element[k], nd.local_node_num[k], sections, solid2ndScratch, value)) continue;
      for (int c = 0; c < 12; ++c) sum[c] += value[c];
      weight += 1.0;
    }
    for (int c = 0; c < 6; ++c) {
      nd.stress[c] = sum[c];
      nd.strain[c] = sum[6 + c];
    }
    nd.stress_weight = weight;
  }
}
