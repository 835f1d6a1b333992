// Two-node beam record: resultant beams, beams without force, springs and
// trusses (type codes 1, 2, 3 and 5).
#pragma once
#include <cstdio>
#include <type_traits>

#include "core/node.h"
#include "elements/element.h"

class MaterialNew;
struct Section;
struct HourglassControl;
struct Material;

// Section points of the integrated tube beam.
constexpr int kBeamTubePointMax = 9;

struct BeamElementCuda : Element {
  NodeCuda* node[3] = {};  // end 1, end 2, orientation node
  int node_id[3] = {};     // same order
  double initialLength = 0.0;  // reference length L0
  // Frame: y and z axes at end 1, y and z axes at end 2 (unit vectors).
  double yAxis1[3] = {};
  double zAxis1[3] = {};
  double yAxis2[3] = {};
  double zAxis2[3] = {};
  // Resultants.
  double axialStrain = 0.0;
  double axialStress = 0.0;
  double axialForce = 0.0;
  double shearForceY = 0.0;
  double shearForceZ = 0.0;
  double moment1Y = 0.0;
  double moment1Z = 0.0;
  double torque = 0.0;
  double moment2Y = 0.0;
  double moment2Z = 0.0;
  // Accumulated deformations (kept for output).
  double elongation = 0.0;
  double rotation1Y = 0.0;
  double rotation1Z = 0.0;
  double twist = 0.0;
  double rotation2Y = 0.0;
  double rotation2Z = 0.0;
  double mass = 0.0;             // element mass
  double rotaryInertia[3] = {};  // rotary-inertia sums
  double length = 0.0;           // current beam length
  double dt = 0.0;               // critical time step
  double charactLength = 0.0;
  double dtScaleFactor = 0.0;    // time-step multiplier (1.0 after set-up)
  // Nodal force block: end 1 force and moment, end 2 force and moment, and a
  // row for the orientation node that stays zero.
  double interForce[3][6] = {};
  // Elastic-plastic tube integration, one entry per section point.
  double strainEnd1[kBeamTubePointMax] = {};
  double strainEnd2[kBeamTubePointMax] = {};
  double shearStrain[kBeamTubePointMax] = {};
  double stressEnd1[kBeamTubePointMax] = {};
  double stressEnd2[kBeamTubePointMax] = {};
  double shearStress[kBeamTubePointMax] = {};
  double yieldEnd1[kBeamTubePointMax] = {};
  double yieldEnd2[kBeamTubePointMax] = {};
  int iterationCount[2] = {};

  // ---- element manager and base operations ----
  __host__ __device__ void setElementSectionType() { sectionType = FAMILY_BEAM; }
  // Node pointer k := node array + (id k - 1), orientation node included; an
  // id below 1 gives null.
  __host__ __device__ void bulidNodeMatch(NodeCuda* nodes) {
    for (int k = 0; k < 3; ++k) node[k] = node_id[k] >= 1 ? nodes + (node_id[k] - 1) : nullptr;
  }
  // Registers the element with its three nodes (device).
  __device__ void builNodeIndex();

  // ---- formulation (beam formulation files) ----
  __host__ __device__ void computeBeamInterForceGpu(MaterialNew* material, Section* section,
                                                    HourglassControl* hourglass, double timeStep);
  __host__ __device__ double computeBeamCharactLength();
  __host__ __device__ double computeBeamTimeStep(MaterialNew* material, double safeFactor);
  __host__ __device__ void assignTimeStep(double step) { dt = step; }
  __host__ __device__ double computeBeamMassScaleGpu(double targetDt);
  void computeBeamInterForceCpu(MaterialNew* material, Section* section, HourglassControl* hourglass,
                                double timeStep);
  double computeBeamMassScaleCpu(double targetDt);
  double calBeamNodeMass(const Material* material, const Section* section);
};

static_assert(std::is_trivially_copyable_v<BeamElementCuda>);

__device__ inline void BeamElementCuda::builNodeIndex() {
  for (int k = 0; k < 3; ++k)
    if (node[k] != nullptr) node[k]->buildBeamIndexGpu(this, k);
}
