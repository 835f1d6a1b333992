// The beam dispatcher by type code and the parts every beam form shares:
// truss and spring forces, characteristic length, stable step and mass
// scaling.
#include <cmath>

#include "core/repeatedMessage.h"
#include "core/section.h"
#include "elements/beam/beamElementCuda.h"
#include "elements/beam/beamFrame.h"
#include "elements/common/elementMassShare.h"
#include "elements/solid1st/solid1stFormulation.h"
#include "materials/materialnew.h"

__device__ void BeamElementCuda::computeBeamInterForceGpu(const MaterialNew* material, const Section* section,
                                                          const HourglassControl* /*hourglass*/, double timeStep) {
  switch (type) {
    case ET_BEAM_NO_FORCE:
    case ET_BS_BEAM:
      interForce_bsbeam_Gpu(material, section, timeStep);
      break;
    case ET_SPRING:
      interForce_spring_Gpu(timeStep);
      break;
    case ET_TRUSS:
      interforce_truss_gpu(material, section, timeStep);
      break;
    default:
      printf("当前没有这种单元的内力计算方法，请补充\n");
      break;
  }
}

// Axial bar: sigma += E dL / L, N = A sigma, -N e1 at end 1 and +N e1 at
// end 2; the current length is stored for the step.
__host__ __device__ void BeamElementCuda::interforce_truss_gpu(const MaterialNew* material, const Section* section,
                                                               double timeStep) {
  if (material == nullptr || section == nullptr || node[0] == nullptr || node[1] == nullptr) return;
  double d[3], e1[3], du[3];
  for (int j = 0; j < 3; ++j) {
    d[j] = node[1]->coord[j] - node[0]->coord[j];
    du[j] = node[1]->vel[j] - node[0]->vel[j];
  }
  length = beamvec::unitFloor(d, e1, kBeamLengthFloor);
  const double L = length > kBeamLengthFloor ? length : kBeamLengthFloor;
  const double delta = timeStep * beamvec::dot(e1, du);
  elongation += delta;
  axialStrain += delta / L;
  axialStress += material->youngModulus * delta / L;
  axialForce = section->A * axialStress;
  for (int j = 0; j < 3; ++j) {
    interForce[0][j] = -axialForce * e1[j];
    interForce[1][j] = axialForce * e1[j];
    interForce[0][3 + j] = interForce[1][3 + j] = 0.0;
  }
}

// Linear elastic axial spring: N += k delta along the current axis.
__host__ __device__ void BeamElementCuda::springForce(double timeStep, double out[3]) {
  out[0] = out[1] = out[2] = 0.0;
  if (node[0] == nullptr || node[1] == nullptr) return;
  BeamKinematics k;
  calBeamLocateAxi(timeStep, k);
  brigid(timeStep, k);
  length = k.L;
  elongation += k.delta;
  rotation1Y += k.r1y;
  rotation1Z += k.r1z;
  twist += k.dTwist;
  rotation2Y += k.r2y;
  rotation2Z += k.r2z;
  axialForce += springStiffness * k.delta;
  for (int j = 0; j < 3; ++j) out[j] = axialForce * k.e1[j];
}

// The spring's force block (f on the first end node, -f on the second, no
// moments), gathered by its nodes as every element's: several springs may
// share an end node, and the gather adds their forces in a fixed order.
__host__ __device__ void BeamElementCuda::interForce_spring_Gpu(double timeStep) {
  double f[3];
  springForce(timeStep, f);
  for (int j = 0; j < 3; ++j) {
    interForce[0][j] = -f[j];
    interForce[1][j] = f[j];
    interForce[0][3 + j] = interForce[1][3 + j] = 0.0;
  }
}

// A spring may have coincident ends (its step does not use the length);
// the other forms report a zero length. A beam or truss stretched beyond
// its initial length keeps the step of that length: its mass is that of
// the initial length while its axial stiffness falls only as 1 / L, so its
// axial frequency is 2 c / sqrt(L L0).
__host__ __device__ double BeamElementCuda::computeBeamCharactLength() {
  switch (type) {
    case ET_BEAM_NO_FORCE:
    case ET_BS_BEAM:
    case ET_TRUSS:
      if (length <= 0.0) noteRepeated(REPEATED_BEAM_LENGTH, id);
      charactLength = initialLength > 0.0 && initialLength < length ? initialLength : length;
      break;
    case ET_SPRING:
      charactLength = length;
      break;
    default:
      printf("当前没有这种梁单元的特征长度求法，请补充\n");
      break;
  }
  return charactLength;
}

namespace {
// sqrt(m / k) of a spring: m is the element mass, or twice the smaller end
// mass when the spring itself has none; no limit without stiffness or mass.
__host__ __device__ double springPeriodScale(const BeamElementCuda& e) {
  double m = e.mass;
  if (!(m > 0.0)) {
    const double m1 = e.node[0] != nullptr ? e.node[0]->mass : 0.0;
    const double m2 = e.node[1] != nullptr ? e.node[1]->mass : 0.0;
    const double smaller = m1 < m2 ? m1 : m2;
    m = 2.0 * smaller;
  }
  if (!(e.springStiffness > 0.0) || !(m > 0.0)) return -1.0;
  return sqrt(m / e.springStiffness);
}
}  // namespace

// The axial mode of a free two-node element, its ends swinging against
// each other along the axis, has exactly the step L / c (sqrt(m / k) for a
// spring); a beam's bending, shear and torsion modes may be faster by its
// frequency ratio.  The step keeps 5 % below the fastest, so that the
// largest step scale factor (1) stays stable.
constexpr double kLineStepMargin = 0.95;

__host__ __device__ double BeamElementCuda::criticalStep(double barWaveSpeed, double safeFactor) {
  if (type == ET_SPRING) {
    const double s = springPeriodScale(*this);
    return s > 0.0 ? kLineStepMargin * safeFactor * s : kBeamNoStepLimit;
  }
  const double Lc = computeBeamCharactLength();
  const double ratio = frequencyRatio > 1.0 ? frequencyRatio : 1.0;
  return barWaveSpeed > 0.0 ? kLineStepMargin * Lc * safeFactor / (barWaveSpeed * ratio) : kBeamNoStepLimit;
}

__host__ __device__ double BeamElementCuda::computeBeamTimeStep(const MaterialNew* material, double safeFactor) {
  const double c = material != nullptr ? material->waveSpeed[2] : 0.0;
  const double step = criticalStep(c, safeFactor);
  dt = step < kBeamNoStepLimit ? dtScaleFactor * step : kBeamNoStepLimit;
  return dt;
}

namespace {
// Mass scaling of one beam: each end node is to gain half of the added
// element mass and of each added inertia sum, every component by its own
// sum.  The share is kept in the element (zero when nothing is added);
// returns the nodes that gain it.
__host__ __device__ int scaleBeamMass(BeamElementCuda& e, double targetDt) {
  for (double& s : e.scaledNodeMass) s = 0.0;
  const double f = solid1st::solidMassScale(targetDt, &e.dt, &e.dtScaleFactor);
  if (!(f > 0.0)) return 0;
  e.scaledNodeMass[0] = 0.5 * f * e.mass;
  for (int k = 0; k < 3; ++k) e.scaledNodeMass[1 + k] = 0.5 * f * e.rotaryInertia[k];
  return 2;
}
}  // namespace

// The device form leaves the share for the nodes' gather; the host loop
// adds it at once.
__device__ double BeamElementCuda::computeBeamMassScaleGpu(double targetDt) {
  scaleBeamMass(*this, targetDt);
  return 0.0;
}

double BeamElementCuda::computeBeamMassScaleCpu(double targetDt) {
  addScaledMassAtOnce(*this, scaleBeamMass(*this, targetDt));
  return 0.0;
}
