// One smoothing domain of a smoothed-FEM part: a region built over the
// part's tetrahedra (or pyramids) that acts as one integration point with
// its own support nodes, smoothed reference derivatives and volume.  The
// same plain record lives in the host vector and in the device array.
#pragma once
#include <type_traits>

#include "core/node.h"
#include "elements/common/element.h"
#include "elements/solid1st/solid1st.h"
#include "elements/solid1st/solid1stFormulation.h"
#include "platform/gpuRuntime.h"

struct SmoothFEM : Element {
  SmoothFEMType smoothType = SFEM_NONE;  // 1 edge, 2 cell, 3 node (six-point records carry 3 too)
  int* nodeIdArray_ = nullptr;           // node_num support node ids (1-based), derivative order
  NodeCuda** nodeArray_ = nullptr;       // the same nodes: host pointers on the host, device on the device

  // nodeArray_[j] := nodes + nodeIdArray_[j] - 1 (device node array).
  __host__ __device__ void bulidNodeLink(NodeCuda* nodes) {
    for (int j = 0; j < node_num; ++j) nodeArray_[j] = nodes + (nodeIdArray_[j] - 1);
  }

  // First of the node_num share slots of this domain, one per support node
  // in support order: the domains' node values are summed per node in a
  // fixed order from these slots (set by the manager's upload).
  int shareSlot = 0;

  // Total-Lagrangian internal force of the domain: add(j, f) receives the
  // force f[3] on support node j.  The element gather subtracts element
  // forces from the node accumulators, so the domain's force is the
  // negative of its resisting force, as it is added to the same
  // accumulators.
  template <class AddForce>
  __host__ __device__ void computeSmoothFemInterForce(const MaterialNew* material, double dt, AddForce add) const;

  // The domain's force written into its slots of the force shares (three
  // per slot).  A domain that computes nothing (no point or derivatives)
  // does so in every cycle, so its slots keep the zeros they start with.
  __host__ __device__ void computeSmoothFemInterForceGpu(const MaterialNew* material, double dt,
                                                         double* forceShares) const;

  // Stress and strain of the domain's point written into its slots of the
  // stress shares (stress then strain, twelve per slot), with a weight of 1
  // in its slots of the weight shares; zeros when the point has no state.
  __host__ __device__ void computeSmoothFemNodeStressStrainGpu(double* stressShares, double* weightShares) const;
};

static_assert(std::is_trivially_copyable_v<SmoothFEM>);

template <class AddForce>
__host__ __device__ inline void SmoothFEM::computeSmoothFemInterForce(const MaterialNew* material, double dt,
                                                                      AddForce add) const {
  GaussPoint* gp = gaussPoint;
  if (gp == nullptr || nodeArray_ == nullptr) return;
  const double* bX = gp->shapePartialDx_;
  const double* bY = gp->shapePartialDy_;
  const double* bZ = gp->shapePartialDz_;
  if (bX == nullptr || bY == nullptr || bZ == nullptr) return;
  // F at the end of the step and Fh at mid-step, from the total displacement
  // u and the step's increment du of every support node.
  double F[3][3], Fh[3][3];
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) F[a][b] = Fh[a][b] = a == b ? 1.0 : 0.0;
  for (int j = 0; j < node_num; ++j) {
    const NodeCuda* nd = nodeArray_[j];
    const double d[3] = {bX[j], bY[j], bZ[j]};
    for (int a = 0; a < 3; ++a) {
      const double ua = nd->total_disp[a], uh = ua - 0.5 * nd->step_disp[a];
      for (int b = 0; b < 3; ++b) {
        F[a][b] += ua * d[b];
        Fh[a][b] += uh * d[b];
      }
    }
  }
  double Finv[3][3], Fhinv[3][3];
  const double J = solid1st::inverse3(F, Finv);
  solid1st::inverse3(Fh, Fhinv);
  // Mid-step velocity gradient, G(i, k) = sum_j g_j(i) du_j(k) / dt.
  const double rdt = dt > 0.0 ? 1.0 / dt : 0.0;
  double G[3][3] = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
  for (int j = 0; j < node_num; ++j) {
    const NodeCuda* nd = nodeArray_[j];
    const double d[3] = {bX[j], bY[j], bZ[j]};
    for (int i = 0; i < 3; ++i) {
      const double g = (d[0] * Fhinv[0][i] + d[1] * Fhinv[1][i] + d[2] * Fhinv[2][i]) * rdt;
      for (int k = 0; k < 3; ++k) G[i][k] += g * nd->step_disp[k];
    }
  }
  double sigma[3][3];
  solidPointStress(material, gp, G, sigma, dt);
  // First Piola stress P = J F^-1 sigma; node j receives -w P^T b_j.
  double P[3][3];
  for (int k = 0; k < 3; ++k)
    for (int a = 0; a < 3; ++a)
      P[k][a] = J * (Finv[k][0] * sigma[0][a] + Finv[k][1] * sigma[1][a] + Finv[k][2] * sigma[2][a]);
  const double w = gp->weight_;
  for (int j = 0; j < node_num; ++j) {
    double f[3];
    for (int a = 0; a < 3; ++a) f[a] = -w * (P[0][a] * bX[j] + P[1][a] * bY[j] + P[2][a] * bZ[j]);
    add(j, f);
  }
}

__host__ __device__ inline void SmoothFEM::computeSmoothFemInterForceGpu(const MaterialNew* material, double dt,
                                                                         double* forceShares) const {
  double* own = forceShares + 3 * shareSlot;
  computeSmoothFemInterForce(material, dt, [own](int j, const double* f) {
    for (int a = 0; a < 3; ++a) own[3 * j + a] = f[a];
  });
}

__host__ __device__ inline void SmoothFEM::computeSmoothFemNodeStressStrainGpu(double* stressShares,
                                                                               double* weightShares) const {
  const MaterialStatus* st = gaussPoint != nullptr ? gaussPoint->matStatus_ : nullptr;
  for (int j = 0; j < node_num; ++j) {
    double* values = stressShares + 12 * (shareSlot + j);
    for (int c = 0; c < 6; ++c) {
      values[c] = st != nullptr ? st->stress[c] : 0.0;
      values[6 + c] = st != nullptr ? st->strain[c] : 0.0;
    }
    weightShares[shareSlot + j] = st != nullptr ? 1.0 : 0.0;
  }
}
