// First-order solid element record (tetrahedra, pyramids, hexahedra,
// pentahedra and solid shells; type codes 15 to 23).
#pragma once
#include <cstdio>
#include <type_traits>

#include "core/node.h"
#include "core/nodeMotions.h"
#include "elements/common/element.h"
#include "elements/common/nodeRegistration.h"
#include "elements/solid1st/solidStableLength.h"

class MaterialNew;
struct Section;
struct HourglassControl;

struct SolidElementCuda : Element {
  NodeCuda* node[8] = {};        // current nodes; degenerate shapes repeat pointers
  int node_id[8] = {};           // 1-based node numbers; degenerate shapes repeat ids
  double interForce[8][3] = {};  // force the element exerts on node I (x, y, z)
  double mass = 0.0;             // element mass (volume x density)
  double rotaryInertia[3] = {};  // zero for solids
  // Mass and rotary inertia x, y, z the latest mass scaling added to each
  // of the element's mass nodes (zero when it added none); the nodes gather
  // them in a fixed order.
  double scaledNodeMass[4] = {};
  double volume = 0.0;  // current volume
  // Signed one-point volume of the initial shape (types 18 and 21), kept
  // from the element's first force pass on: the orientation the element
  // must keep.  0 = not known yet.
  double initialVolume = 0.0;
  double dt = 0.0;                   // critical time step
  double charactLength = 0.0;        // stable length: the step is its time at the wave speed
  double dtScaleFactor = 0.0;        // time-step multiplier (1.0 after set-up)
  double hourglassValue[4][3] = {};  // hourglass modes x directions (types 18, 21)
  // The record's own device buffer of internal degrees of freedom
  // (incompatible modes, enhanced strains); distinct from the pair of the
  // Element part.
  int additionalVariableNum = 0;
  double* additionalVariablePtr = nullptr;
  // What the stable length needs besides the shape (solidStableLength.h),
  // set up from the element's part.
  SolidStepModel stepModel;

  // ---- element manager and base operations ----
  __host__ __device__ void setElementSectionType() { sectionType = FAMILY_SOLID; }
  __host__ __device__ void setSFemFlag(SmoothFEMType kind) { sfemType = kind; }
  // Node pointer k := node array + (id k - 1) for the eight slots; an id
  // below 1 gives a null pointer.
  __host__ __device__ void bulidNodeMatch(NodeCuda* nodes) {
    for (int k = 0; k < 8; ++k) node[k] = node_id[k] >= 1 ? nodes + (node_id[k] - 1) : nullptr;
  }
  // Registers the element with its nodes by type (device).
  __device__ void builNodeIndex();
  // Nodes of the type's corner layout (8 for hexahedra, 6 for pentahedra,
  // 5 for pyramids, 4 for tetrahedra); 0 for a type without a layout.
  __host__ __device__ int cornerLayoutNodeNum() const {
    return type < ET_TETRA10 ? solidTypeNodeNum(type) : 0;  // the first-order solid types
  }
  // Nodes that share the element's mass and take part in mass scaling.
  __host__ __device__ int massNodeNum() const { return gaussNodeNum < 0 ? 0 : (gaussNodeNum > 8 ? 8 : gaussNodeNum); }
  // Nodes that take a force row: the corner layout, four without one.
  __host__ __device__ int registeredNodeNum() const {
    const int n = cornerLayoutNodeNum();
    return n > 0 ? n : 4;
  }

  // ---- formulation (first-order solid formulation files) ----
  // The fully integrated hexahedra and the total-Lagrangian solids read
  // their nodes' motions where motions holds them (the node records
  // otherwise: the same values).
  __host__ __device__ void computeSolidInterForceGpu(const MaterialNew* material, Section* section,
                                                     HourglassControl* hourglass, double timeStep,
                                                     const NodeMotionView& motions = NodeMotionView{});
  __host__ __device__ double computeSolidCharactLength();
  // The length right after the force pass: the one the pass left where it
  // computes it (the fully integrated hexahedron, from its points), else
  // computeSolidCharactLength.
  __host__ __device__ double lengthAfterForce() {
    return type == ET_HEXA_FULL && sfemType == SFEM_NONE && gaussPoint != nullptr ? charactLength
                                                                                  : computeSolidCharactLength();
  }
  __host__ __device__ double computeSolidTimeStep(const MaterialNew* material, double safeFactor);
  __host__ __device__ void assignTimeStep(double step) { dt = step; }
  __device__ double computeSolidMassScaleGpu(double targetDt);
  // Stress (out[0..5]) and strain (out[6..11]) the element gives its node
  // at position local for the nodal averages (flag: the section's family
  // code, nothing below 1); false when it gives none.
  __device__ bool computeSolid1stNodeStrGpu(int flag, int local, double* out) const;
  __host__ __device__ void solidNodeMassInitia();
  // Host twins.
  void computeSolidInterForceCpu(const MaterialNew* material, Section* section, HourglassControl* hourglass,
                                 double timeStep);
  double computeSolidCharactLengthCpu();
  double computeSolidTimeStepCpu(const MaterialNew* material, double safeFactor);
  double computeSolidMassScaleCpu(double targetDt);
  void discreteSolid1stInterForceToNodeCpu();
  void interForceTetr1stCpuTL(const MaterialNew* material, double timeStep);
  double calTetraVol();
  // Total-Lagrangian point set-up of types 15 and 16 (reference shape
  // derivatives and volumes into the points), host, before the upload.
  void setSolidTLIntegration(int pointNum);
  // Lumped nodal mass at set-up (host); returns the element mass.
  double calSolidNodeMass(const struct Material* material, const Section* section);
  // The two halves of calSolidNodeMass: the element's own volume, mass and
  // mass-sharing node count (false for a type without a rule; no node is
  // touched), then its mass shared out to those nodes.
  bool calSolidOwnMass(const struct Material* material);
  void shareMassToNodes();
};

static_assert(std::is_trivially_copyable_v<SolidElementCuda>);

__device__ inline void SolidElementCuda::builNodeIndex() {
  if (cornerLayoutNodeNum() == 0) printf("当前没有此种截面属性的节点索引方式，请补充\n");
  const int n = registeredNodeNum();
  for (int k = 0; k < n; ++k)
    if (node[k] != nullptr) buildSolidIndexGpu(*node[k], this, k);
}
