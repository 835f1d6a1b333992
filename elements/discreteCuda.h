// Two-node discrete element record (type code from the section; the force
// step acts for code 6).
#pragma once
#include <cstdio>
#include <type_traits>

#include "core/node.h"
#include "elements/element.h"

class MaterialNew;
struct Section;
struct HourglassControl;

struct DiscreteCuda : Element {
  int node_id[2] = {};
  NodeCuda* node[2] = {};
  double interForce[2][6] = {};  // per node: force x, y, z then moment x, y, z
  double axis[3] = {};           // unit axis from node 1 to node 2
  double length = 0.0;           // current length
  double deformIncrement = 0.0;  // axial deformation increment
  double axialForce = 0.0;
  double dtScaleFactor = 0.0;    // time-step multiplier (1.0 after set-up)

  // ---- element manager and base operations ----
  __host__ __device__ void setElementSectionType() { sectionType = FAMILY_DISCRETE; }
  __host__ __device__ void bulidNodeMatch(NodeCuda* nodes) {
    for (int k = 0; k < 2; ++k) node[k] = node_id[k] >= 1 ? nodes + (node_id[k] - 1) : nullptr;
  }
  // Registers the element with its two nodes (device).
  __device__ void builNodeIndex();

  // ---- formulation (discrete formulation file) ----
  __host__ __device__ void computeDiscreteInterForceGpu(MaterialNew* material, Section* section,
                                                        HourglassControl* hourglass, double timeStep);
};

static_assert(std::is_trivially_copyable_v<DiscreteCuda>);

__device__ inline void DiscreteCuda::builNodeIndex() {
  for (int k = 0; k < 2; ++k)
    if (node[k] != nullptr) node[k]->buildDiscreteIndexGpu(this, k);
}
