// Two-node beam record: resultant beams (type codes 1 and 2), springs (3)
// and trusses (5).  The co-rotational frame and the deformation increments
// are in elements/beam/beamFrame.h, the resultants in elements/beam/beamResultant.cu,
// the tube section integration in elements/beam/beamTube.h.
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
struct BeamKinematics;

// Section points of the integrated tube beam.
constexpr int kBeamTubePointMax = 9;
// Step of an element that sets no limit (a spring without stiffness).
constexpr double kBeamNoStepLimit = 1.0e30;

struct BeamElementCuda : Element {
  NodeCuda* node[3] = {};      // end 1, end 2, orientation node
  int node_id[3] = {};         // same order
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
  double rotaryInertia[3] = {};  // rotary-inertia sums (global x, y, z)
  // Mass and rotary inertia x, y, z the latest mass scaling added to each
  // of the element's mass nodes (zero when it added none); the nodes gather
  // them in a fixed order.
  double scaledNodeMass[4] = {};
  double length = 0.0;  // current beam length
  double dt = 0.0;      // critical time step
  double charactLength = 0.0;
  double dtScaleFactor = 0.0;  // time-step multiplier (1.0 after set-up)
  // Highest frequency of the free element over its axial one (1 or more):
  // bending with shear and torsion on the smallest rotary inertia its end
  // nodes get, about whichever axis the turning beam bends.
  double frequencyRatio = 1.0;
  // Nodal force block: end 1 force and moment, end 2 force and moment, and a
  // row for the orientation node that stays zero.
  double interForce[3][6] = {};
  // Elastic-plastic tube integration, one entry per section point.
  double strainEnd1[kBeamTubePointMax] = {};
  double strainEnd2[kBeamTubePointMax] = {};
  double shearStrain[kBeamTubePointMax] = {};
  double stressEnd1[kBeamTubePointMax] = {};
  double stressEnd2[kBeamTubePointMax] = {};
  double shearStressEnd1[kBeamTubePointMax] = {};
  double shearStressEnd2[kBeamTubePointMax] = {};
  double yieldEnd1[kBeamTubePointMax] = {};
  double yieldEnd2[kBeamTubePointMax] = {};
  int iterationCount[2] = {};
  double springStiffness = 0.0;  // axial stiffness of a spring (type 3), set with its mass

  // ---- element manager and base operations ----
  __host__ __device__ void setElementSectionType() { sectionType = FAMILY_BEAM; }
  // Node pointer k := node array + (id k - 1), orientation node included; an
  // id below 1 gives null.
  __host__ __device__ void bulidNodeMatch(NodeCuda* nodes) {
    for (int k = 0; k < 3; ++k) node[k] = node_id[k] >= 1 ? nodes + (node_id[k] - 1) : nullptr;
  }
  // Registers the element with its end nodes (device); the third node only
  // orients the section and takes no force, so it takes no slot either.
  __device__ void builNodeIndex();
  __host__ __device__ int registeredNodeNum() const { return 2; }

  // ---- per cycle (elements/beam/beamElement.cu) ----
  // Force dispatch by type code; forces stay in the force block, except the
  // spring's, which go into its end nodes.
  __device__ void computeBeamInterForceGpu(const MaterialNew* material, const Section* section,
                                           const HourglassControl* hourglass, double timeStep);
  __host__ __device__ double computeBeamCharactLength();
  __host__ __device__ double computeBeamTimeStep(const MaterialNew* material, double safeFactor);
  // Step of the first cycle from the bar wave speed c (no multiplier).
  __host__ __device__ double criticalStep(double barWaveSpeed, double safeFactor);
  __host__ __device__ void assignTimeStep(double step) { dt = step; }
  __device__ double computeBeamMassScaleGpu(double targetDt);

  // ---- formulations ----
  // Co-rotational frame of the current configuration (axes stored) and the
  // deformation increments of the step.
  __host__ __device__ void calBeamLocateAxi(double timeStep, BeamKinematics& k);
  __host__ __device__ void brigid(double timeStep, BeamKinematics& k) const;
  // Resultant beam (types 1 and 2): nodal forces into the force block.
  __host__ __device__ void interForce_bsbeam_Gpu(const MaterialNew* material, const Section* section, double timeStep);
  // Truss (type 5): axial force into the force block.
  __host__ __device__ void interforce_truss_gpu(const MaterialNew* material, const Section* section, double timeStep);
  // Spring (type 3): axial force N += k delta; returns the force on end 2
  // (end 1 takes its negative).
  __host__ __device__ void springForce(double timeStep, double out[3]);
  // The spring's nodal force block, for the nodes' gather.
  __host__ __device__ void interForce_spring_Gpu(double timeStep);

  // ---- host twins and set-up (elements/beam/beamElementHost.cpp) ----
  void computeBeamInterForceCpu(const MaterialNew* material, const Section* section, double timeStep);
  double computeBeamMassScaleCpu(double targetDt);
  // Mass dispatch at set-up; returns the element mass.
  double beamNodeMassCpu(const Material* material, const Section* section);
  // Frame, L0, lumped mass and rotary inertia of a resultant beam or truss.
  void calBeamNodeMass(double rho, double A, double Iyy, double Izz, double J);
  // Frame, L0 and mass of a spring.
  void calSpringNodeMass(double rho, double springMass, double springInertia);
  // Starting yield stress of every tube section point.
  void initTubePoints(double yieldStress);

 private:
  // Frame of the set-up configuration, stored at both ends; L0 := length.
  void setInitialFrame();
  // Force block rows 0 and 1 from local components on (e1, y, z).
  __host__ __device__ void writeLocalLoads(const double e1[3], const double y[3], const double z[3], const double f1[3],
                                           const double m1[3], const double f2[3], const double m2[3]);
  // Subtracts force block rows 0 and 1 from the end nodes (host).
  void subtractBlockFromNodes();
};

static_assert(std::is_trivially_copyable_v<BeamElementCuda>);

__device__ inline void BeamElementCuda::builNodeIndex() {
  for (int k = 0; k < registeredNodeNum(); ++k)
    if (node[k] != nullptr) buildBeamIndexGpu(*node[k], this, k);
}
