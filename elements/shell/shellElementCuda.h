// First-order shell and membrane record (type codes 7 to 14).
#pragma once
#include <cstdio>
#include <type_traits>

#include "core/node.h"
#include "elements/common/element.h"
#include "elements/common/nodeRegistration.h"

class MaterialNew;
struct Section;
struct HourglassControl;
struct Material;

struct ShellElementCuda : Element {
  int node_id[4] = {};  // a triangle repeats its third id in the fourth
  NodeCuda* node[4] = {};
  double interForce[4][6] = {};  // per node: force x, y, z then moment x, y, z
  double area = 0.0;             // current element area
  double thick = 0.0;            // mean of the section's nodal thicknesses
  double thickCurrent = 0.0;     // thickness used by the force routine
  double dt = 0.0;               // critical time step
  double charactLength = 0.0;
  double dtScaleFactor = 0.0;    // time-step multiplier (1.0 after set-up)
  double mass = 0.0;             // element mass
  double rotaryInertia[3] = {};  // rotary-inertia sums
  // Mass and rotary inertia x, y, z the latest mass scaling added to each
  // of the element's mass nodes (zero when it added none); the nodes gather
  // them in a fixed order.
  double scaledNodeMass[4] = {};
  double hourglassStress[5] = {};  // in-plane x, y, out-of-plane w, rotation x, y
  double initialArea = 0.0;        // triangular shell: area at the first force computation
  double shearResultant[2] = {};   // triangular shell: transverse shear forces per length, xz and yz

  // ---- element manager and base operations ----
  __host__ __device__ void setElementSectionType() { sectionType = FAMILY_SHELL; }
  // Node pointer k := node array + (id k - 1); an id below 1 gives null.
  __host__ __device__ void bulidNodeMatch(NodeCuda* nodes) {
    for (int k = 0; k < 4; ++k) node[k] = node_id[k] >= 1 ? nodes + (node_id[k] - 1) : nullptr;
  }
  // Registers the element with its nodes (device): the first
  // registeredNodeNum() of them.
  __device__ void builNodeIndex();
  // Nodes that take a force row: three, or four for a quadrilateral type
  // whose fourth node is its own.
  __host__ __device__ int registeredNodeNum() const {
    return isQuadrilateral() && node_id[3] != node_id[2] && node_id[3] != 0 ? 4 : 3;
  }
  // Both thickness fields := mean of the section's four nodal thicknesses.
  void setThick(const Section* section);

  // ---- formulation (shell1st.cu and the formulation files) ----
  // Internal force by type code; the quadrilaterals take their hourglass
  // form and coefficient from the part's control (null: the section's
  // coefficient, stiffness form).
  __host__ __device__ void computeShellInterForceGpu(const MaterialNew* material, Section* section,
                                                     HourglassControl* hourglass, double timeStep);
  // Belytschko-Tsay quadrilateral (types 9 and 10).
  __host__ __device__ void interForce_BT_Gpu(const MaterialNew* material, const Section* section,
                                             const HourglassControl* hourglass, double timeStep);
  // Cell-smoothed discrete-shear-gap triangle (types 13 and 14).
  __host__ __device__ void interForce_S3_Gpu(const MaterialNew* material, const Section* section, double timeStep);
  // Three- and four-node membranes (types 7 and 8); the four-node one
  // resists its hourglass modes by the part's control (null: the section's
  // coefficient, stiffness form).
  __host__ __device__ void interForce_M3_gpu(const MaterialNew* material, const Section* section, double timeStep);
  __host__ __device__ void interForce_M4_gpu(const MaterialNew* material, const Section* section,
                                             const HourglassControl* hourglass, double timeStep);
  // Triangle frame (rows e1, e2, e3) and local coordinates of three points;
  // stores and returns the area.
  __host__ __device__ double transform_S3(const double x[3][3], double T[3][3], double local[3][3]);
  __host__ __device__ double computeShellCharactLength();
  __host__ __device__ double computeShellTimeStep(const MaterialNew* material, double safeFactor);
  __host__ __device__ void assignTimeStep(double step) { dt = step; }
  __device__ double computeShellMassScaleGpu(double targetDt);
  // Nodes that share the element's mass and take part in mass scaling.
  __host__ __device__ int massNodeNum() const { return gaussNodeNum < 0 ? 0 : (gaussNodeNum > 4 ? 4 : gaussNodeNum); }
  // Uniform normal pressure p into the node force accumulators (atomic).
  __device__ void applyUniformNormLoadToNode(double p);
  // Host twins: the force is computed as on the device and handed to the
  // nodes at once.
  void computeShellInterForceCpu(const MaterialNew* material, Section* section, HourglassControl* hourglass,
                                 double timeStep);
  void interForce_BT_Cpu(const MaterialNew* material, const Section* section, const HourglassControl* hourglass,
                         double timeStep);
  void interForce_S3_Cpu(const MaterialNew* material, const Section* section, double timeStep);
  double computeQuad1stCharactLength();
  double computeShellMassScaleCpu(double targetDt);
  void applyUniformNormLoadToNodeCpu(double p);
  double calShellNodeMass(const Material* material, const Section* section);
  double calElementArea();
  // Number of nodes the element's forces reach: 3 for triangles, else 4.
  __host__ __device__ int shellNodeCount() const {
    return (type == ET_MEMBRANE3 || type == ET_CB_TRI_SHELL || type == ET_BT_TRI_SHELL) ? 3 : 4;
  }
  __host__ __device__ bool isQuadrilateral() const {
    return type == ET_MEMBRANE4 || type == ET_BT_SHELL || type == ET_HL_SHELL;
  }
};

static_assert(std::is_trivially_copyable_v<ShellElementCuda>);

__device__ inline void ShellElementCuda::builNodeIndex() {
  const int n = registeredNodeNum();
  for (int k = 0; k < n; ++k)
    if (node[k] != nullptr) buildShellIndexGpu(*node[k], this, k);
  if (isQuadrilateral() && n == 3) printf("壳单元类型判定错误\n");
}
