// Operations of the first-order shell record common to every shell form:
// the force dispatcher, characteristic length, stable step, mass scaling,
// lumped mass and rotary inertia, uniform pressure and the element area.
// Host twins sit next to their device forms.
#include <cstdio>

#include "core/repeatedMessage.h"
#include "elements/common/elementMassShare.h"
#include "elements/shell/shell1st.h"
#include "elements/solid1st/solid1stFormulation.h"
#include "materials/material.h"

namespace {

// Squared distance of two points.
__host__ __device__ inline double distance2(const double* a, const double* b) {
  double d[3];
  for (int k = 0; k < 3; ++k) d[k] = b[k] - a[k];
  return vector_inner_product(3, d, d);
}

__host__ __device__ inline double max2(double a, double b) { return a > b ? a : b; }

__host__ __device__ void gatherCoords(const ShellElementCuda& e, int n, double x[][3]) {
  for (int I = 0; I < n; ++I)
    for (int k = 0; k < 3; ++k) x[I][k] = e.node[I] != nullptr ? e.node[I]->coord[k] : 0.0;
}

// Quadrilateral: shell1st::quadLength with the stored area, recomputed
// first when it is not positive.
__host__ __device__ double quadCharactLength(ShellElementCuda& e) {
  double x[4][3];
  gatherCoords(e, 4, x);
  if (!(e.area > 0.0)) quad_element_area(x[0], x[1], x[2], x[3], &e.area);
  return shell1st::quadLength(x, e.area);
}

// Triangle: stored area over the longest side.
__host__ __device__ double triangleCharactLength(ShellElementCuda& e) {
  double x[3][3];
  gatherCoords(e, 3, x);
  if (!(e.area > 0.0)) noteRepeated(REPEATED_TRIANGLE_AREA, e.id);
  const double side = max2(max2(distance2(x[0], x[1]), distance2(x[1], x[2])), distance2(x[2], x[0]));
  return e.area / sqrt(side);
}

// Share of a uniform pressure p for each node: p A n / count, with n the
// unit normal from the diagonals (four nodes) or two edges (three).
__host__ __device__ int pressureShare(const ShellElementCuda& e, double p, double share[3]) {
  const int count = e.shellNodeCount();
  double x[4][3], a[3], b[3], n[3], A = 0.0;
  gatherCoords(e, 4, x);
  const int i = count == 4 ? 2 : 1, j = count == 4 ? 3 : 2;
  for (int k = 0; k < 3; ++k) {
    a[k] = x[i][k] - x[0][k];
    b[k] = x[j][k] - x[count == 4 ? 1 : 0][k];
  }
  vector_outer_product(a, b, n);
  vector_unit(n, 3);
  if (count == 4)
    computeQuadrilaArea(x[0], x[1], x[2], x[3], A);
  else
    computeTriangleArea(x[0], x[1], x[2], A);
  for (int k = 0; k < 3; ++k) share[k] = p * A * n[k] / count;
  return count;
}

// Unscaled step below the target: each of the element's mass nodes is to
// gain the scaling factor over the node count times the element mass and
// its first rotary-inertia sum (about every axis).  The share is kept in the
// element (zero when nothing changes); returns the nodes that gain it.
__host__ __device__ int scaleMass(ShellElementCuda& e, double targetDt) {
  for (double& s : e.scaledNodeMass) s = 0.0;
  const double factor = solid1st::solidMassScale(targetDt, &e.dt, &e.dtScaleFactor);
  const int n = e.massNodeNum();
  if (!(factor > 0.0) || n == 0) return 0;
  const double f = factor / e.gaussNodeNum;
  e.scaledNodeMass[0] = f * e.mass;
  for (int k = 0; k < 3; ++k) e.scaledNodeMass[1 + k] = f * e.rotaryInertia[0];
  return n;
}

// Lumped mass m and rotary inertia I at each node of the element.
void addNodeMass(ShellElementCuda& e, int n, double m, const double inertia[3]) {
  for (int I = 0; I < n; ++I) {
    NodeCuda* nd = e.node[I];
    if (nd == nullptr) continue;
    nd->mass += m;
    for (int k = 0; k < 3; ++k) nd->rot_inertia[k] += inertia[k];
    nd->mass_flag = 1;
  }
  e.gaussNodeNum = n;
  e.mass = n * m;
  for (int k = 0; k < 3; ++k) e.rotaryInertia[k] = n * inertia[k];
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal force.

__host__ __device__ void ShellElementCuda::computeShellInterForceGpu(const MaterialNew* material, Section* section,
                                                                     HourglassControl* hourglass, double timeStep) {
  switch (type) {
    case ET_BT_SHELL:
    case ET_HL_SHELL:  // computed with the Belytschko-Tsay force (reported at set-up)
      interForce_BT_Gpu(material, section, hourglass, timeStep);
      break;
    case ET_CB_TRI_SHELL:
    case ET_BT_TRI_SHELL:
      interForce_S3_Gpu(material, section, timeStep);
      break;
    case ET_MEMBRANE4:
      interForce_M4_gpu(material, section, hourglass, timeStep);
      break;
    case ET_MEMBRANE3:
      interForce_M3_gpu(material, section, timeStep);
      break;
    default:
      printf("当前没有这种壳单元的内力计算方法,请补充\n");
  }
}

// The host loop hands the forces to the nodes at once.  Membranes are
// computed on this path too, so that a membrane part keeps its stiffness
// when no GPU qualifies.
void ShellElementCuda::computeShellInterForceCpu(const MaterialNew* material, Section* section,
                                                 HourglassControl* hourglass, double timeStep) {
  switch (type) {
    case ET_BT_SHELL:
    case ET_HL_SHELL:
      interForce_BT_Cpu(material, section, hourglass, timeStep);
      break;
    case ET_CB_TRI_SHELL:
    case ET_BT_TRI_SHELL:
      interForce_S3_Cpu(material, section, timeStep);
      break;
    case ET_MEMBRANE3:
      interForce_M3_gpu(material, section, timeStep);
      shell1st::subtractForceBlock(*this);
      break;
    case ET_MEMBRANE4:
      interForce_M4_gpu(material, section, hourglass, timeStep);
      shell1st::subtractForceBlock(*this);
      break;
    default:
      printf("当前没有这种壳单元的内力计算方法,请补充\n");
  }
}

// ---------------------------------------------------------------------------
// Length, step and mass scaling.

__host__ __device__ double ShellElementCuda::computeShellCharactLength() {
  switch (type) {
    case ET_MEMBRANE4:
    case ET_BT_SHELL:
    case ET_HL_SHELL:
      charactLength = quadCharactLength(*this);
      break;
    case ET_MEMBRANE3:
    case ET_CB_TRI_SHELL:
    case ET_BT_TRI_SHELL:
      charactLength = triangleCharactLength(*this);
      break;
    default:
      printf("当前没有这种壳单元的特征长度求法,请补充\n");
  }
  return charactLength;
}

double ShellElementCuda::computeQuad1stCharactLength() {
  charactLength = quadCharactLength(*this);
  return charactLength;
}

__host__ __device__ double ShellElementCuda::computeShellTimeStep(const MaterialNew* material, double safeFactor) {
  dt = solid1st::stableStep(dtScaleFactor, safeFactor, charactLength, material->waveSpeed[1]);
  return dt;
}

// The device form leaves the share for the nodes' gather; the host loop
// adds it at once.
__device__ double ShellElementCuda::computeShellMassScaleGpu(double targetDt) {
  scaleMass(*this, targetDt);
  return 0.0;
}

double ShellElementCuda::computeShellMassScaleCpu(double targetDt) {
  addScaledMassAtOnce(*this, scaleMass(*this, targetDt));
  return 0.0;
}

// ---------------------------------------------------------------------------
// Pressure, area and lumped mass.

__device__ void ShellElementCuda::applyUniformNormLoadToNode(double p) {
  double share[3];
  const int n = pressureShare(*this, p, share);
  for (int I = 0; I < n; ++I)
    if (node[I] != nullptr)
      for (int k = 0; k < 3; ++k) atomicAdd(&node[I]->force[k], share[k]);
}

void ShellElementCuda::applyUniformNormLoadToNodeCpu(double p) {
  double share[3];
  const int n = pressureShare(*this, p, share);
  for (int I = 0; I < n; ++I)
    if (node[I] != nullptr)
      for (int k = 0; k < 3; ++k) node[I]->force[k] += share[k];
}

double ShellElementCuda::calElementArea() {
  double x[4][3];
  gatherCoords(*this, 4, x);
  switch (type) {
    case ET_MEMBRANE4:
    case ET_BT_SHELL:
    case ET_HL_SHELL:
      quad_element_area(x[0], x[1], x[2], x[3], &area);
      return area;
    case ET_MEMBRANE3:
    case ET_CB_TRI_SHELL:
    case ET_BT_TRI_SHELL: {
      double T[3][3], l[3][3];
      return transform_S3(x, T, l);
    }
    default:
      printf("当前没有这种形式的壳单元的面积求法,请补充\n");
      return 0.0;
  }
}

// Lumped mass rho A t / n at each node; shells also get the rotary inertia
// max(t^2/12, A/8) m, the triangle's turned into global axes through its
// frame (twice the in-plane value about the normal).
double ShellElementCuda::calShellNodeMass(const Material* material, const Section* section) {
  if (material == nullptr || section == nullptr) return 0.0;
  const double rho = material->density;
  const double t = section->thickness[0];
  const double none[3] = {0.0, 0.0, 0.0};
  if (type < ET_MEMBRANE3 || type > ET_BT_TRI_SHELL || type == ET_SHELL4_11 || type == ET_SHELL4_12) return 0.0;
  const double A = calElementArea();
  switch (type) {
    case ET_BT_SHELL:
    case ET_HL_SHELL: {
      const double m = rho * A * t / 4.0;
      const double I = max2(t * t / 12.0, A / 8.0) * m;
      const double inertia[3] = {I, I, I};
      addNodeMass(*this, 4, m, inertia);
      break;
    }
    case ET_CB_TRI_SHELL:
    case ET_BT_TRI_SHELL: {
      double x[3][3], T[3][3], l[3][3];
      gatherCoords(*this, 3, x);
      shell1st::triangleFrame(x, T, l);
      const double m = rho * A * t / 3.0;
      const double I = max2(t * t / 12.0, A / 8.0) * m;
      const double local[3] = {I, I, 2.0 * I};
      double inertia[3];
      for (int k = 0; k < 3; ++k)
        inertia[k] = T[0][k] * T[0][k] * local[0] + T[1][k] * T[1][k] * local[1] + T[2][k] * T[2][k] * local[2];
      addNodeMass(*this, 3, m, inertia);
      break;
    }
    case ET_MEMBRANE4:
      addNodeMass(*this, 4, rho * A * t / 4.0, none);
      break;
    case ET_MEMBRANE3:
      addNodeMass(*this, 3, rho * A * t / 3.0, none);
      break;
    default:
      return 0.0;
  }
  return mass;
}
