// Operations of the second-order solid record: the force of the ten-node
// tetrahedra, the characteristic length and stable step, lumped mass and
// mass scaling, and the least-squares nodal stresses.  Host twins sit next
// to their device forms.
//
// Types 24 and 27 share one formulation: the standard ten-node tetrahedron
// with the four-point rule.  Fifteen-node pentahedra (25) and twenty-node
// hexahedra (26) have mass, length and step but no force; set-up refuses
// parts holding them.
#include <cstdio>

#include "core/section.h"
#include "elements/solid1st/solid1st.h"
#include "elements/solid2nd/solidElement2nd.h"
#include "elements/solid2nd/tet2nd.h"
#include "materials/material.h"
#include "materials/materialnew.h"
#include "materials/materialstatus.h"

namespace {

constexpr int kTetNodes = tet2nd::kNodes;
static_assert(kSolid2ndStressNodes == kTetNodes);

// Stress of one point: cleared first, so that a model without a 3-D update
// gives zero rather than a stale value; a point without a state record
// gets no update.
__host__ __device__ inline void pointStress(const MaterialNew* material, GaussPoint* gp, double G[3][3],
                                            double sigma[3][3], double dt) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) sigma[i][j] = 0.0;
  if (material == nullptr || gp->matStatus_ == nullptr) return;
  material->computeStressMatrix3D(gp, G, sigma, dt);
}

// Ten-node tetrahedron (types 24 and 27): for each point the velocity
// gradient from the mid-step shape, the stress, and its divergence over the
// current shape with the point volume |det J| w, stored in the point.
__host__ __device__ void interForceTet2ndGpu(SolidElement2nd& e, const MaterialNew* material, double dt) {
  if (e.gaussPoint == nullptr || e.integratPointNum < 1) return;
  const auto localDerivatives = [](double r, double s, double t, double dN[3][kTetNodes]) {
    tet2nd::calTetr2ndGaussLocalDerivative(r, s, t, dN);
  };
  updatedLagrangianPointForces<kTetNodes>(e, localDerivatives, [&](GaussPoint* gp, double G[3][3], double sigma[3][3]) {
    pointStress(material, gp, G, sigma, dt);
  });
}

// Type 27: the modified form's own B matrices are not available; it is
// computed as the standard ten-node tetrahedron.
__host__ __device__ inline void interForceTet2ndMGpu(SolidElement2nd& e, const MaterialNew* material, double dt) {
  interForceTet2ndGpu(e, material, dt);
}

// Coordinates of the first n node slots in an eight-slot array (the
// corners that the first-order length and volume rules read).
__host__ __device__ inline void cornerSlots(const SolidElement2nd& e, int n, double x[8][3]) {
  gatherSolidCoords(e, n, x);
  for (int I = n; I < 8; ++I)
    for (int k = 0; k < 3; ++k) x[I][k] = 0.0;
}

__host__ __device__ inline bool isTenNodeTet(int type) { return type == ET_TETRA10 || type == ET_TETRA10_M; }

// Fractions of the element mass on its nodes; returns the node count (0 for
// a type without mass).  The ten-node tetrahedron lumps in proportion to the
// diagonal of its consistent mass matrix: 1/36 on each corner and 4/27 on
// each mid-side node of a straight-sided element.  Equal tenths would put a
// third of the mass on the corners, where the element's stiffness puts far
// less, and slow and smear its waves.  The pentahedron and hexahedron share
// equally.
__host__ __device__ inline int massShares(const SolidElement2nd& e, double share[kSolid2ndNodeMax]) {
  if (isTenNodeTet(e.type)) {
    double x[kTetNodes][3], M[kTetNodes][kTetNodes];
    gatherSolidCoords(e, kTetNodes, x);
    tet2nd::computeTetr2ndNNMatrix(x, M);
    double diagonal = 0.0;
    for (int I = 0; I < kTetNodes; ++I) diagonal += M[I][I];
    for (int I = 0; I < kTetNodes; ++I) share[I] = diagonal > 0.0 ? M[I][I] / diagonal : 1.0 / kTetNodes;
    return kTetNodes;
  }
  const int n = e.type == ET_PENTA15 ? 15 : (e.type == ET_HEXA20 ? 20 : 0);
  for (int I = 0; I < n; ++I) share[I] = 1.0 / n;
  return n;
}

// Mass scaling to the target step: when the element's step is shorter, its
// nodes are to gain factor x element mass (solidMassScale) in the
// proportions of the lumped mass, so that every node's mass grows by the
// same ratio.  The shares are kept in the element (zero when nothing is
// added); returns the nodes that gain one.
__host__ __device__ inline int scaleMass(SolidElement2nd& e, double targetDt) {
  for (double& s : e.scaledNodeMass) s = 0.0;
  const double factor = solid1st::solidMassScale(targetDt, &e.dt, &e.dtScaleFactor);
  if (!(factor > 0.0)) return 0;
  double share[kSolid2ndNodeMax];
  const int shared = massShares(e, share);
  const int n = shared < e.solid2ndMassNodeNum() ? shared : e.solid2ndMassNodeNum();
  for (int I = 0; I < n; ++I) e.scaledNodeMass[I] = share[I] * e.mass * factor;
  return n;
}

// Stable length of the ten-node tetrahedron (solidStableLength.h): its four
// points on the current shape, each node carrying its share of the lumped
// mass.
__host__ __device__ inline double tet10StableLength(const SolidElement2nd& e) {
  const GaussPoint* points = e.gaussPoint;
  const int np = points == nullptr ? 0 : (e.integratPointNum < 4 ? e.integratPointNum : 4);
  double x[kTetNodes][3], dN[4][3][kTetNodes], v[4], w[kTetNodes], share[kSolid2ndNodeMax], volume = 0.0;
  gatherSolidCoords(e, kTetNodes, x);
  for (int p = 0; p < np; ++p) {
    double dNl[3][kTetNodes];
    tet2nd::calTetr2ndGaussLocalDerivative(points[p].coord_[0], points[p].coord_[1], points[p].coord_[2], dNl);
    v[p] = fabs(solid1st::spatialDerivatives<kTetNodes>(dNl, x, dN[p])) * points[p].weight_;
    volume += v[p];
  }
  if (np < 1) return 0.0;
  massShares(e, share);
  const double massVolume = solidstep::boundMassVolume(e.mass, e.stepModel.density, volume);
  for (int I = 0; I < kTetNodes; ++I) w[I] = massVolume * share[I];
  return solidstep::pointsStableLength<kTetNodes>(np, dN, v, w, e.stepModel.poisson);
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal force.

__host__ __device__ void SolidElement2nd::computeSolid2ndInterForceGpu(const MaterialNew* material,
                                                                       Section* /*section*/,
                                                                       HourglassControl* /*hourglass*/,
                                                                       double timeStep) {
  switch (type) {
    case ET_TETRA10:
      interForceTet2ndGpu(*this, material, timeStep);
      break;
    case ET_TETRA10_M:
      interForceTet2ndMGpu(*this, material, timeStep);
      break;
    case ET_PENTA15:
    case ET_HEXA20:
      printf("请补充\n");
      break;
    default:
      printf("其他单元类型不为高阶实体单元\n");
  }
}

void SolidElement2nd::computeSolid2ndInterForceCpu(const MaterialNew* material, Section* section,
                                                   HourglassControl* hourglass, double timeStep) {
  computeSolid2ndInterForceGpu(material, section, hourglass, timeStep);
  if (!isTenNodeTet(type)) return;
  for (int I = 0; I < kTetNodes; ++I) {
    NodeCuda* nd = node[I];
    if (nd == nullptr) continue;
    for (int k = 0; k < 3; ++k) nd->force[k] -= interForce[I][k];
  }
}

// ---------------------------------------------------------------------------
// Length, step and mass scaling.

__host__ __device__ double SolidElement2nd::computeSolid2ndCharactLength() {
  double x[8][3];
  switch (type) {
    case ET_TETRA10:
    case ET_TETRA10_M:
      charactLength = tet10StableLength(*this);
      break;
    case ET_PENTA15:
      cornerSlots(*this, 6, x);
      charactLength = 0.5 * solid1st::pentaCharactLength(x);
      break;
    case ET_HEXA20:
      cornerSlots(*this, 8, x);
      charactLength = 0.5 * solid1st::hexaCharactLength(x);
      break;
    default:
      break;
  }
  return charactLength;
}

__host__ __device__ double SolidElement2nd::computeSolidTimeStep(double waveSpeed, double safeFactor) {
  dt = solid1st::solidStableStep(dtScaleFactor, safeFactor, charactLength, waveSpeed);
  return dt;
}

// The device form leaves the shares for the nodes' gather; the host loop
// adds them at once.
__device__ double SolidElement2nd::computeSolid2ndMassScaleGpu(double targetDt) {
  scaleMass(*this, targetDt);
  return 0.0;
}

double SolidElement2nd::computeSolid2ndMassScaleCpu(double targetDt) {
  const int n = scaleMass(*this, targetDt);
  for (int I = 0; I < n; ++I)
    if (node[I] != nullptr) node[I]->addMassShare(scaledNodeMass + I, 1);
  return 0.0;
}

// ---------------------------------------------------------------------------
// Mass.

// Density x volume on the element's nodes in the proportions of massShares.
// The ten-node tetrahedron's volume comes from the eleven-point rule (exact
// for curved edges too) and its points get their initial volumes |det J| w;
// the pentahedron and hexahedron take the volume of their corners.
double SolidElement2nd::calSolid2ndNodeMass(const Material* material, const Section* /*section*/) {
  double share[kSolid2ndNodeMax];
  const int n = massShares(*this, share);
  if (n == 0) {
    printf("当前没有这种节点数的单元\n");
    return 0.0;
  }
  if (isTenNodeTet(type)) {
    double x[kTetNodes][3];
    gatherSolidCoords(*this, kTetNodes, x);
    volume = tet2nd::volume(x);
    for (int p = 0; gaussPoint != nullptr && p < integratPointNum; ++p) {
      GaussPoint& gp = gaussPoint[p];
      gp.volume_ = tet2nd::computeTetr2ndGaussVolume(gp.coord_, gp.weight_, x);
    }
  } else {
    double x[8][3];
    const bool penta = type == ET_PENTA15;
    cornerSlots(*this, penta ? 6 : 8, x);
    volume = penta ? solid1st::pentaVolume(x) : fabs(solid1st::hexaExactVolume(x));
  }
  mass = volume * (material != nullptr ? material->density : 0.0);
  for (int k = 0; k < 3; ++k) rotaryInertia[k] = 0.0;
  for (int I = 0; I < n; ++I)
    if (node[I] != nullptr) node[I]->mass += share[I] * mass;
  return mass;
}

// ---------------------------------------------------------------------------
// Nodal stresses.

// Least squares over the element: M a = b with M = integral of N^T N and
// b = integral of N^T s, both by the eleven-point rule, where s is the
// linear field through the values at the element's four points (with any
// other point count, b sums N^T s |det J| w over the points).  A constant
// or linear field comes back exactly at all ten nodes, on curved elements
// too.
__host__ __device__ bool SolidElement2nd::recoverSolid2ndNodeValues(double nodal[10][12]) const {
  if (!isTenNodeTet(type) || gaussPoint == nullptr || integratPointNum < 1) return false;
  const int np = integratPointNum;
  double x[kTetNodes][3], M[kTetNodes][kTetNodes];
  gatherSolidCoords(*this, kTetNodes, x);
  tet2nd::computeTetr2ndNNMatrix(x, M);
  for (int I = 0; I < kTetNodes; ++I)
    for (int c = 0; c < 12; ++c) nodal[I][c] = 0.0;
  // values[p] = stress and strain of point p (zero without a state record).
  double values[4][12] = {};
  double linear[4][12];  // coefficients of 1, r, s, t of the linear field
  bool useLinear = np == 4;
  for (int p = 0; p < np && p < 4; ++p) {
    const MaterialStatus* st = gaussPoint[p].matStatus_;
    for (int c = 0; c < 6 && st != nullptr; ++c) {
      values[p][c] = st->stress[c];
      values[p][6 + c] = st->strain[c];
    }
  }
  if (useLinear) {
    double P[4][4];
    for (int p = 0; p < 4; ++p) {
      P[p][0] = 1.0;
      for (int k = 0; k < 3; ++k) P[p][1 + k] = gaussPoint[p].coord_[k];
      for (int c = 0; c < 12; ++c) linear[p][c] = values[p][c];
    }
    useLinear = tet2nd::solveDense<4, 12>(P, linear, 1e-12);
  }
  auto accumulate = [&](const double L[3], double dv, const double* field) {
    double N[kTetNodes];
    tet2nd::calTetr2ndGaussShape(L[0], L[1], L[2], N);
    for (int I = 0; I < kTetNodes; ++I)
      for (int c = 0; c < 12; ++c) nodal[I][c] += N[I] * field[c] * dv;
  };
  if (useLinear) {
    for (int q = 0; q < tet2nd::kRulePoints; ++q) {
      double L[3], field[12];
      const double w = tet2nd::rulePoint(q, L);
      for (int c = 0; c < 12; ++c)
        field[c] = linear[0][c] + linear[1][c] * L[0] + linear[2][c] * L[1] + linear[3][c] * L[2];
      accumulate(L, tet2nd::computeTetr2ndGaussVolume(L, w, x), field);
    }
  } else {
    for (int p = 0; p < np; ++p) {
      const GaussPoint& gp = gaussPoint[p];
      const MaterialStatus* st = gp.matStatus_;
      if (st == nullptr) continue;
      double field[12];
      for (int c = 0; c < 6; ++c) {
        field[c] = st->stress[c];
        field[6 + c] = st->strain[c];
      }
      accumulate(gp.coord_, tet2nd::computeTetr2ndGaussVolume(gp.coord_, gp.weight_, x), field);
    }
  }
  return tet2nd::solveDense<kTetNodes, 12>(M, nodal, 1e-12);
}

__device__ bool SolidElement2nd::computeSolid2ndNodeStrGpu(int n, double (*nodal)[12]) const {
  if (n < 1) return false;
  switch (type) {
    case ET_TETRA10:
    case ET_TETRA10_M:
      return recoverSolid2ndNodeValues(nodal);
    case ET_PENTA15:
      printf("请补充这种单元的应力应变算法\n");
      return false;
    case ET_HEXA20:
      printf("请补充该种单元的节点应力应变算法\n");
      return false;
    default:
      printf("单元的节点应力应变计算错误，此为二阶实体单元\n");
      return false;
  }
}
