// Operations of the first-order solid record: the force dispatcher, the
// characteristic length, the stable step, mass scaling, nodal stress sums,
// the hand-over of forces to the nodes and the set-up of masses and
// total-Lagrangian points.  Host twins sit next to their device forms.
#include <cstdio>

#include "core/section.h"
#include "elements/common/elementMassShare.h"
#include "elements/solid1st/solid1st.h"
#include "materials/material.h"

namespace {

// The stable length of a formulation with a force, the characteristic
// length of one without.
__host__ __device__ inline double solidLengthOrStored(SolidElementCuda& e) {
  double x[8][3];
  gatherSolidCoords(e, 8, x);
  double len = solidStableLength(e, x);
  if (len < 0.0) len = solid1st::solidCharactLength(e.type, x);
  if (len < 0.0) {
    printf("没有此类节点数的实体单元\n");
    return e.charactLength;
  }
  e.charactLength = len;
  return len;
}

// Mass scaling to the target step: when the element's step is shorter,
// each of its mass nodes is to gain factor x the element's mass and rotary
// inertia (solidMassScale) over the node count.  The share is kept in the
// element (zero when nothing is added); returns the nodes that gain it.
__host__ __device__ inline int scaleMass(SolidElementCuda& e, double targetDt) {
  for (double& s : e.scaledNodeMass) s = 0.0;
  const double factor = solid1st::solidMassScale(targetDt, &e.dt, &e.dtScaleFactor);
  const int n = e.massNodeNum();
  if (!(factor > 0.0) || n == 0) return 0;
  e.scaledNodeMass[0] = e.mass * factor / n;
  for (int k = 0; k < 3; ++k) e.scaledNodeMass[1 + k] = e.rotaryInertia[k] * factor / n;
  return n;
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal force.

__host__ __device__ void SolidElementCuda::computeSolidInterForceGpu(const MaterialNew* material, Section* section,
                                                                     HourglassControl* hourglass, double timeStep,
                                                                     const NodeMotionView& motions) {
  if (sfemType != SFEM_NONE) return;  // smoothed-FEM domains carry the force
  switch (type) {
    case ET_TETRA_TL:
      interForceTetr1stGpuTL(*this, material, timeStep, motions);
      break;
    case ET_HEXA_FULL:
      interForceHexa1stGpu(*this, material, section, timeStep, motions);
      break;
    case ET_HEXA_REDUCED:
      interForceHexa1stRGpu(*this, material, timeStep, hourglass);
      break;
    case ET_PENTA_REDUCED:
      interForcePent1stRGpu(*this, material, timeStep, hourglass);
      break;
    case ET_PENTA:
      interForcePent1stGpu(*this, material, section, timeStep);
      break;
    case ET_PYRAMID_TL:
      interForcePyramid1stGpuTL(*this, material, section, timeStep, motions);
      break;
    case ET_HEXA_INCOMPATIBLE:
    case ET_SOLID_SHELL6:
    case ET_SOLID_SHELL8:
      break;
    default:
      printf("暂时没有这种实体单元的内力求法，请补充\n");
  }
}

// The host loop runs the device dispatcher of every solid type and hands
// the force block to the nodes at once; smoothed-FEM solids have no block.
void SolidElementCuda::computeSolidInterForceCpu(const MaterialNew* material, Section* section,
                                                 HourglassControl* hourglass, double timeStep) {
  if (sfemType != SFEM_NONE) return;
  computeSolidInterForceGpu(material, section, hourglass, timeStep);
  discreteSolid1stInterForceToNodeCpu();
}

// The element's force block handed to its nodes (host loop, one element
// after the other): each node takes minus its row.  The device loop's nodes
// gather the rows instead.
void SolidElementCuda::discreteSolid1stInterForceToNodeCpu() {
  const int n = node_num < 0 ? 0 : (node_num > 8 ? 8 : node_num);
  for (int I = 0; I < n; ++I) {
    NodeCuda* nd = node[I];
    if (nd == nullptr) continue;
    for (int k = 0; k < 3; ++k) nd->force[k] += -interForce[I][k];
  }
}

// ---------------------------------------------------------------------------
// Length, step and mass scaling.

__host__ __device__ double SolidElementCuda::computeSolidCharactLength() { return solidLengthOrStored(*this); }

double SolidElementCuda::computeSolidCharactLengthCpu() { return solidLengthOrStored(*this); }

__host__ __device__ double SolidElementCuda::computeSolidTimeStep(const MaterialNew* material, double safeFactor) {
  dt = solid1st::solidStableStep(dtScaleFactor, safeFactor, charactLength, material->waveSpeed[0]);
  return dt;
}

double SolidElementCuda::computeSolidTimeStepCpu(const MaterialNew* material, double safeFactor) {
  return computeSolidTimeStep(material, safeFactor);
}

// The device form leaves the share for the nodes' gather; the host loop
// adds it at once.
__device__ double SolidElementCuda::computeSolidMassScaleGpu(double targetDt) {
  scaleMass(*this, targetDt);
  return 0.0;
}

double SolidElementCuda::computeSolidMassScaleCpu(double targetDt) {
  addScaledMassAtOnce(*this, scaleMass(*this, targetDt));
  return 0.0;
}

// ---------------------------------------------------------------------------
// Nodal stress and strain for output: what an element gives one of its nodes
// (stress in out[0..5], strain in out[6..11]); each node sums over its
// registered elements.

namespace {

__device__ void copyStressStrain(const double* stress, const double* strain, double* out) {
  for (int c = 0; c < 6; ++c) {
    out[c] = stress[c];
    out[6 + c] = strain[c];
  }
}

// The mean of the element's point values, the same at each of its nodes:
// the pentahedron and the pyramid, whose points have no extrapolation here.
__device__ bool pointMeanNodeStressStrainGpu(const SolidElementCuda& e, double* out) {
  const GaussPoint* points = e.gaussPoint;
  const int count = e.integratPointNum;
  if (points == nullptr || count < 1) return false;
  double stress[6] = {}, strain[6] = {};
  for (int p = 0; p < count; ++p) {
    const MaterialStatus* st = points[p].matStatus_;
    if (st == nullptr) return false;
    for (int c = 0; c < 6; ++c) {
      stress[c] += st->stress[c] / count;
      strain[c] += st->strain[c] / count;
    }
  }
  copyStressStrain(stress, strain, out);
  return true;
}

}  // namespace

// The first point's stress and strain, the same at each of the element's nodes.
__device__ bool computeTetr1stNodeStressStrainGpu(const SolidElementCuda& e, double* out) {
  const GaussPoint* gp = e.gaussPoint;
  const MaterialStatus* st = gp != nullptr ? gp->matStatus_ : nullptr;
  if (st == nullptr) return false;
  copyStressStrain(st->stress, st->strain, out);
  return true;
}

__device__ bool SolidElementCuda::computeSolid1stNodeStrGpu(int flag, int local, double* out) const {
  const int nodes = node_num < 0 ? 0 : (node_num > 8 ? 8 : node_num);
  if (flag < 1 || local < 0 || local >= nodes) return false;
  // Solids of smoothed-FEM parts have no points of their own; their domains
  // add the stresses.
  if (sfemType != SFEM_NONE) return false;
  switch (type) {
    case ET_TETRA_TL:
    case ET_HEXA_REDUCED:
    case ET_PENTA_REDUCED:
      return computeTetr1stNodeStressStrainGpu(*this, out);
    case ET_HEXA_FULL:
    case ET_HEXA_INCOMPATIBLE:
    case ET_SOLID_SHELL8:
      return computeHexa1stNodeStressStrainGpu(*this, local, out);
    case ET_PENTA:
    case ET_PYRAMID_TL:
      return pointMeanNodeStressStrainGpu(*this, out);
    case ET_PENTA15:
      return false;
    // One message per element: from its first node's sum.
    case ET_SOLID_SHELL6:
      if (local == 0) printf("请补充这种单元的应力应变计算方法\n");
      return false;
    default:
      if (local == 0) printf("单元节点的应力应变计算错误，此为1阶实体单元\n");
      return false;
  }
}

// ---------------------------------------------------------------------------
// Set-up.

__host__ __device__ void SolidElementCuda::solidNodeMassInitia() {
  const int n = node_num < 0 ? 0 : (node_num > 8 ? 8 : node_num);
  for (int I = 0; I < n; ++I)
    if (node[I] != nullptr) node[I]->massReduction();
}

double SolidElementCuda::calTetraVol() {
  double x[4][3];
  gatherSolidCoords(*this, 4, x);
  return solid1st::tetraVolume(x[0], x[1], x[2], x[3]);
}

// Volume x density shared equally among the nodes that carry the mass:
// tetrahedron 4, pyramid 5, pentahedra 20 and 22 six, the hexahedra and the
// one-point pentahedron (on its eight slots) 8.
double SolidElementCuda::calSolidNodeMass(const Material* material, const Section* /*section*/) {
  if (!calSolidOwnMass(material)) return 0.0;
  shareMassToNodes();
  return mass;
}

void SolidElementCuda::shareMassToNodes() {
  const double share = mass / gaussNodeNum;
  for (int I = 0; I < gaussNodeNum; ++I)
    if (node[I] != nullptr) node[I]->mass += share;
}

bool SolidElementCuda::calSolidOwnMass(const Material* material) {
  double x[8][3];
  gatherSolidCoords(*this, 8, x);
  double v = 0.0;
  int n = 0;
  switch (type) {
    case ET_TETRA_TL:
      v = solid1st::tetraVolume(x[0], x[1], x[2], x[3]);
      n = 4;
      break;
    case ET_PYRAMID_TL: {
      double X[5][3];
      gatherSolidCoords(*this, 5, X);
      for (int d = 0; d < numIntegralDomains; ++d) {
        double dNdX[5][3];
        v += solid1st::pyramidDomainDerivatives(X, d, dNdX);
      }
      n = 5;
      break;
    }
    case ET_HEXA_FULL:
    case ET_HEXA_REDUCED:
    case ET_HEXA_INCOMPATIBLE:
    case ET_SOLID_SHELL8:
    case ET_PENTA_REDUCED:
      v = fabs(solid1st::hexaExactVolume(x));
      n = 8;
      break;
    case ET_PENTA:
    case ET_SOLID_SHELL6:
      v = solid1st::pentaVolume(x);
      n = 6;
      break;
    default:
      printf("没有此类节点数的实体单元\n");
      return false;
  }
  volume = v;
  mass = v * (material != nullptr ? material->density : 0.0);
  gaussNodeNum = n;
  for (int k = 0; k < 3; ++k) rotaryInertia[k] = 0.0;
  return true;
}

void SolidElementCuda::setSolidTLIntegration(int pointNum) {
  if (tlFlag != 1) return;
  if (type == ET_TETRA_TL)
    setTetr1stTLIntegration(*this);
  else if (type == ET_PYRAMID_TL)
    setPyramid1stTLIntegration(*this, pointNum);
}
