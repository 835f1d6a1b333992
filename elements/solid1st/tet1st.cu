// Four-node tetrahedron in total-Lagrangian form (type 15) and the
// total-Lagrangian point pass it shares with the pyramid (type 16).
#include "elements/solid1st/solid1st.h"

namespace {
// Displacement u and last step du of the first n nodes: from the
// displacements the update wrote where they hold the node, else from its
// record (a slot without a node reads as zero).
__host__ __device__ void gatherDisplacements(const SolidElementCuda& e, int n, const NodeMotionView& motions,
                                             double u[5][3], double du[5][3]) {
  for (int I = 0; I < n; ++I) {
    const NodeCuda* nd = e.node[I];
    const NodeDisplacement* d = displacementOf(motions, nd);
    for (int k = 0; k < 3; ++k) {
      u[I][k] = d != nullptr ? d->total[k] : nd != nullptr ? nd->total_disp[k] : 0.0;
      du[I][k] = d != nullptr ? d->step[k] : nd != nullptr ? nd->step_disp[k] : 0.0;
    }
  }
}
}  // namespace

__host__ __device__ void solidTotalLagrangianForce(SolidElementCuda& e, const MaterialNew* material, double dt, int n,
                                                   const NodeMotionView& motions) {
  double u[5][3], du[5][3], f[5][3] = {};
  gatherDisplacements(e, n, motions, u, du);
  GaussPoint* points = e.gaussPoint;
  const int np = points != nullptr ? e.integratPointNum : 0;
  for (int p = 0; p < np; ++p) {
    GaussPoint* gp = points + p;
    const double* dX = gp->shapePartialDx_;
    const double* dY = gp->shapePartialDy_;
    const double* dZ = gp->shapePartialDz_;
    // A point without reference derivatives is reported by the set-up check
    // and contributes nothing.
    if (dX == nullptr || dY == nullptr || dZ == nullptr) continue;
    double Finv[3][3], detF = 1.0, G[3][3], sigma[3][3];
    solid1st::tlKinematics(n, dX, dY, dZ, u, du, dt, Finv, &detF, G);
    reportIfInverted(e, detF, 1.0);
    solidPointStress(material, gp, G, sigma, dt);
    solid1st::tlAddForce(n, dX, dY, dZ, Finv, detF, sigma, gp->volume_, f);
  }
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) e.interForce[I][k] = I < n ? f[I][k] : 0.0;
}

__host__ __device__ void interForceTetr1stGpuTL(SolidElementCuda& e, const MaterialNew* material, double dt,
                                                const NodeMotionView& motions) {
  solidTotalLagrangianForce(e, material, dt, 4, motions);
}

void SolidElementCuda::interForceTetr1stCpuTL(const MaterialNew* material, double timeStep) {
  solidTotalLagrangianForce(*this, material, timeStep, 4, NodeMotionView{});
}

// Reference derivatives dN/dX = J0^-1 (natural derivatives) from the node
// positions at set-up, and the reference volume, into the one point.
void setTetr1stTLIntegration(SolidElementCuda& e) {
  GaussPoint* gp = e.gaussPoint;
  if (gp == nullptr || gp->shapePartialDx_ == nullptr || gp->shapePartialDy_ == nullptr ||
      gp->shapePartialDz_ == nullptr || gp->nodeNumber_ < 4)
    return;
  double X[4][3], dNdX[4][3];
  gatherSolidCoords(e, 4, X);
  const double v0 = solid1st::tetraReferenceDerivatives(X, dNdX);
  for (int I = 0; I < 4; ++I) {
    gp->shapePartialDx_[I] = dNdX[I][0];
    gp->shapePartialDy_[I] = dNdX[I][1];
    gp->shapePartialDz_[I] = dNdX[I][2];
  }
  gp->volume_ = v0;
  e.volume = v0;
}
