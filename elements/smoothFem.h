// One smoothing domain of a smoothed-FEM part: a region built over the
// part's tetrahedra (or pyramids) that acts as one integration point with
// its own support nodes, smoothed reference derivatives and volume.  The
// same plain record lives in the host vector and in the device array.
#pragma once
#include <type_traits>

#include "core/node.h"
#include "elements/element.h"
#include "elements/solid1st.h"
#include "elements/solid1stFormulation.h"
#include "platform/gpu_runtime.h"

struct SmoothFEM : Element {
  SmoothFEMType smoothType = SFEM_NONE;  // 1 edge, 2 cell, 3 node (six-point records carry 3 too)
  int* nodeIdArray_ = nullptr;           // node_num support node ids (1-based), derivative order
  NodeCuda** nodeArray_ = nullptr;       // the same nodes: host pointers on the host, device on the device

  // nodeArray_[j] := nodes + nodeIdArray_[j] - 1 (device node array).
  __host__ __device__ void bulidNodeLink(NodeCuda* nodes) {
    for (int j = 0; j < node_num; ++j) nodeArray_[j] = nodes + (nodeIdArray_[j] - 1);
  }

  // Total-Lagrangian internal force of the domain added into its support
  // nodes' force accumulators (the element gather subtracts element forces
  // from the same accumulators, so the domain subtracts its own).
  __host__ __device__ void computeSmoothFemInterForceGpu(const MaterialNew* material, double dt);

  // Stress and strain of the domain's point added into its support nodes.
  __host__ __device__ void computeSmoothFemNodeStressStrainGpu();
};

static_assert(std::is_trivially_copyable_v<SmoothFEM>);

__host__ __device__ inline void SmoothFEM::computeSmoothFemInterForceGpu(const MaterialNew* material, double dt) {
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
    NodeCuda* nd = nodeArray_[j];
    for (int a = 0; a < 3; ++a)
      atomicAddAnywhere(&nd->force[a], -w * (P[0][a] * bX[j] + P[1][a] * bY[j] + P[2][a] * bZ[j]));
  }
}

__host__ __device__ inline void SmoothFEM::computeSmoothFemNodeStressStrainGpu() {
  const MaterialStatus* st = gaussPoint != nullptr ? gaussPoint->matStatus_ : nullptr;
  if (st == nullptr || nodeArray_ == nullptr) return;
  for (int j = 0; j < node_num; ++j) {
    NodeCuda* nd = nodeArray_[j];
    for (int c = 0; c < 6; ++c) {
      atomicAddAnywhere(&nd->stress[c], st->stress[c]);
      atomicAddAnywhere(&nd->strain[c], st->strain[c]);
    }
    atomicAddAnywhere(&nd->stress_weight, 1.0);
  }
}
