// Nodal sums of element stresses and strains for output, one thread per
// node: the node reads its registered elements through its registration
// slots in their fixed order (the order of the force gather) and sums what
// each gives it.  No two threads add into one value, so the sums are the
// same on any number of threads.
#include "core/gridIndex.h"
#include "core/section.h"
#include "elements/elementControl.h"

namespace {

// The stress (out[0..5]) and strain (out[6..11]) element e gives its node at
// position local; false for an element that gives none (shells, beams,
// springs and the solids the formulations leave out).
__device__ bool elementNodeStressStrain(const Element* e, int local, const Section* sections, double* out) {
  if (e == nullptr || e->section_id < 1) return false;
  const int flag = sections[e->section_id - 1].family_code;
  switch (e->sectionType) {
    case FAMILY_SOLID:
      return static_cast<const SolidElementCuda*>(e)->computeSolid1stNodeStrGpu(flag, local, out);
    case FAMILY_SOLID_2ND:
      return static_cast<const SolidElement2nd*>(e)->computeSolid2ndNodeStrGpu(flag, local, out);
    default:
      return false;
  }
}

}  // namespace

__global__ void GpuSumElementStressAtNodes(int n, NodeCuda* nodes, const Section* sections) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    NodeCuda& nd = nodes[i];
    // Registration ends before the first output; the slots may not have
    // been put in order yet (the gather orders them at its first pass).
    nd.orderRegisteredElements();
    double sum[12] = {}, weight = 0.0;
    for (int k = 0; k < nd.registeredElementNum(); ++k) {
      double value[12];
      if (!elementNodeStressStrain(nd.element[k], nd.local_node_num[k], sections, value)) continue;
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
