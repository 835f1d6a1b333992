// Second-order solid record: 10-node tetrahedra (24, 27), 15-node
// pentahedron (25), 20-node hexahedron (26).  Corner nodes come first.
#pragma once
#include <cstdio>
#include <type_traits>

#include "core/node.h"
#include "elements/common/element.h"
#include "elements/common/nodeRegistration.h"
#include "elements/solid1st/solidStableLength.h"

class MaterialNew;
struct Section;
struct HourglassControl;
struct Material;

constexpr int kSolid2ndNodeMax = 20;
// Nodes whose stresses and strains a second-order solid gives the nodal
// averages of output (the ten-node tetrahedra; the others give none).
constexpr int kSolid2ndStressNodes = 10;

struct SolidElement2nd : Element {
  int node_id[kSolid2ndNodeMax] = {};  // 10, 15 or 20 in use
  NodeCuda* node[kSolid2ndNodeMax] = {};
  double dt = 0.0;  // critical time step
  double charactLength = 0.0;
  double dtScaleFactor = 0.0;  // time-step multiplier (1.0 after set-up)
  double volume = 0.0;
  double mass = 0.0;             // element mass
  double rotaryInertia[3] = {};  // zero for solids
  // Mass the latest mass scaling added to node I (zero when it added none);
  // the nodes gather them in a fixed order.
  double scaledNodeMass[kSolid2ndNodeMax] = {};
  double interForce[kSolid2ndNodeMax][3] = {};
  // Position of the element's entry in the nodal-stress scratch of output,
  // written by the pass that fills the scratch.
  int nodalStressSlot = 0;
  // What the stable length needs besides the shape (solidStableLength.h),
  // set up from the element's part.
  SolidStepModel stepModel;

  // ---- element manager and base operations ----
  __host__ __device__ void setElementSectionType() { sectionType = FAMILY_SOLID_2ND; }
  // Node pointers of the first gaussNodeNum ids (the nodes in use); slots
  // beyond them and ids below 1 give null.
  __host__ __device__ void bulidNodeMatch(NodeCuda* nodes) {
    for (int k = 0; k < kSolid2ndNodeMax; ++k)
      node[k] = (k < gaussNodeNum && node_id[k] >= 1) ? nodes + (node_id[k] - 1) : nullptr;
  }
  // Registers the element with its first gaussNodeNum nodes (device).
  __device__ void builNodeIndex();
  __host__ __device__ int registeredNodeNum() const {
    return gaussNodeNum < 0 ? 0 : gaussNodeNum < kSolid2ndNodeMax ? gaussNodeNum : kSolid2ndNodeMax;
  }

  // ---- formulation (solid2nd.cu) ----
  // Internal forces by type: 24 and 27 from their four points; 25 and 26
  // have no force.  The force block keeps the element's resisting force.
  __host__ __device__ void computeSolid2ndInterForceGpu(const MaterialNew* material, Section* section,
                                                        HourglassControl* hourglass, double timeStep);
  __host__ __device__ double computeSolid2ndCharactLength();
  // dt := multiplier x safe factor x length / wave speed; stored and returned.
  __host__ __device__ double computeSolidTimeStep(double waveSpeed, double safeFactor);
  __host__ __device__ void assignTimeStep(double step) { dt = step; }
  __device__ double computeSolid2ndMassScaleGpu(double targetDt);
  // Least-squares stress (columns 0..5) and strain (6..11) of the points at
  // each of the element's kSolid2ndStressNodes nodes (n: the section's
  // family code, nothing below 1); false when the element gives none.
  __device__ bool computeSolid2ndNodeStrGpu(int n, double (*nodal)[12]) const;
  // The nodal values of that projection for the ten nodes, columns stress
  // xx..zx then strain; false when the element has none (no points, not a
  // ten-node type, or a singular projection).
  __host__ __device__ bool recoverSolid2ndNodeValues(double nodal[10][12]) const;
  // Nodes that share the element's mass: the node slots in use (at most 20).
  __host__ __device__ int solid2ndMassNodeNum() const {
    return gaussNodeNum < 0 ? 0 : (gaussNodeNum > kSolid2ndNodeMax ? kSolid2ndNodeMax : gaussNodeNum);
  }

  // ---- host twins ----
  // Force, then its negative straight into the node accumulators.
  void computeSolid2ndInterForceCpu(const MaterialNew* material, Section* section, HourglassControl* hourglass,
                                    double timeStep);
  double computeSolid2ndMassScaleCpu(double targetDt);
  // Lumped mass at set-up: density x volume, an equal share on each node.
  double calSolid2ndNodeMass(const Material* material, const Section* section);
};

static_assert(std::is_trivially_copyable_v<SolidElement2nd>);

__device__ inline void SolidElement2nd::builNodeIndex() {
  for (int k = 0; k < registeredNodeNum(); ++k)
    if (node[k] != nullptr) buildElementIndexGpu(*node[k], this, k);
}
