// Fully integrated hexahedron (type 17, eight points, updated Lagrangian) and
// the extrapolation of point stresses to the nodes of the eight-point
// hexahedra (types 17, 19 and 23).
#include "elements/solid1st.h"

__host__ __device__ void interForceHexa1stGpu(SolidElementCuda& e, const MaterialNew* material,
                                              const Section* /*section*/, double dt) {
  solidUpdatedLagrangianForce<8>(e, material, dt, [](double r, double s, double t, double dN[3][8]) {
    solid1st::hexaLocalDerivatives(r, s, t, dN);
  });
}

// Solves N(points) X = point values for the eight nodal values of the six
// stress and six strain components; out takes those of the node at position
// local.
__device__ bool computeHexa1stNodeStressStrainGpu(const SolidElementCuda& e, int local, double* out) {
  const GaussPoint* points = e.gaussPoint;
  if (points == nullptr || e.integratPointNum != 8 || local < 0 || local >= 8) return false;
  double A[8 * 8], rhs[8 * 12], X[8 * 12];
  for (int p = 0; p < 8; ++p) {
    const GaussPoint& gp = points[p];
    for (int I = 0; I < 8; ++I)
      A[p * 8 + I] = 0.125 * (1.0 + gp.coord_[0] * solid1st::hexaCorner(0, I)) *
                     (1.0 + gp.coord_[1] * solid1st::hexaCorner(1, I)) *
                     (1.0 + gp.coord_[2] * solid1st::hexaCorner(2, I));
    const MaterialStatus* st = gp.matStatus_;
    for (int c = 0; c < 6; ++c) {
      rhs[p * 12 + c] = st != nullptr ? st->stress[c] : 0.0;
      rhs[p * 12 + 6 + c] = st != nullptr ? st->strain[c] : 0.0;
    }
  }
  solveForRhs(A, rhs, X, 8, 8, 8, 12, 8, 12);
  for (int c = 0; c < 12; ++c) out[c] = X[local * 12 + c];
  return true;
}
