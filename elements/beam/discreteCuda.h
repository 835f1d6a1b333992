// Two-node discrete element record (type code from the section; the force
// step acts for the discrete codes 3 and 6).
#pragma once
#include <cstdio>
#include <type_traits>

#include "core/node.h"
#include "elements/common/element.h"
#include "elements/common/nodeRegistration.h"

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
  double dtScaleFactor = 0.0;  // time-step multiplier (1.0 after set-up)

  // ---- element manager and base operations ----
  __host__ __device__ void setElementSectionType() { sectionType = FAMILY_DISCRETE; }
  __host__ __device__ void bulidNodeMatch(NodeCuda* nodes) {
    for (int k = 0; k < 2; ++k) node[k] = node_id[k] >= 1 ? nodes + (node_id[k] - 1) : nullptr;
  }
  // Registers the element with its two nodes (device).
  __device__ void builNodeIndex();
  __host__ __device__ int registeredNodeNum() const { return 2; }

  // ---- formulation (elements/beam/discrete.cu) ----
  // For the discrete type codes: the current axis, then the stored axial
  // force along it into the force block (node 1 +F n, node 2 -F n).
  __host__ __device__ void computeDiscreteInterForceGpu(const MaterialNew* material, const Section* section,
                                                        const HourglassControl* hourglass, double timeStep);
  // d = x2 - x1, length := |d|, axis := d / |d| (kept when the nodes coincide).
  __host__ __device__ void calAxiVec();
  // Axial deformation increment dt n . (u2 - u1).
  __host__ __device__ void calAxiDeformRate(double timeStep);
  // Hook of a force law: the stored force stays as given.
  __host__ __device__ void calInterForce() {}
  __host__ __device__ void assemInterForce();
  // No characteristic length, no step limit, no mass scaling.
  __host__ __device__ double computeDiscreteCharactLength() { return 0.0; }
  __host__ __device__ double computeDiscreteTimeStep(const MaterialNew*, double) { return 0.0; }
  __host__ __device__ double computeDiscreteMassScaleGpu(double) { return 0.0; }
  // Host loop: the same step, then the block subtracted from the nodes.
  void computeDiscreteInterForceCpu(const MaterialNew* material, const Section* section, double timeStep);
};

static_assert(std::is_trivially_copyable_v<DiscreteCuda>);

__device__ inline void DiscreteCuda::builNodeIndex() {
  for (int k = 0; k < registeredNodeNum(); ++k)
    if (node[k] != nullptr) buildDiscreteIndexGpu(*node[k], this, k);
}
