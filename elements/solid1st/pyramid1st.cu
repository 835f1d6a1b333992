// Five-node pyramid (type 16, apex node 1, base 2-3-4-5) in total-Lagrangian
// form over four integration domains: the tetrahedra formed by the apex, two
// consecutive base nodes and the base centre.
#include "elements/solid1st/solid1st.h"

__host__ __device__ void interForcePyramid1stGpuTL(SolidElementCuda& e, const MaterialNew* material,
                                                   const Section* /*section*/, double dt,
                                                   const NodeMotionView& motions) {
  solidTotalLagrangianForce(e, material, dt, 5, motions);
}

void setPyramid1stTLIntegration(SolidElementCuda& e, int pointNum) {
  GaussPoint* points = e.gaussPoint;
  if (points == nullptr) return;
  double X[5][3];
  gatherSolidCoords(e, 5, X);
  const int domains = pointNum < numIntegralDomains ? pointNum : numIntegralDomains;
  double total = 0.0;
  for (int d = 0; d < domains; ++d) {
    GaussPoint* gp = points + d;
    if (gp->shapePartialDx_ == nullptr || gp->shapePartialDy_ == nullptr || gp->shapePartialDz_ == nullptr ||
        gp->nodeNumber_ < 5)
      continue;
    double dNdX[5][3];
    const double v0 = solid1st::pyramidDomainDerivatives(X, d, dNdX);
    for (int I = 0; I < 5; ++I) {
      gp->shapePartialDx_[I] = dNdX[I][0];
      gp->shapePartialDy_[I] = dNdX[I][1];
      gp->shapePartialDz_[I] = dNdX[I][2];
    }
    gp->volume_ = v0;
    total += v0;
  }
  e.volume = total;
}
