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

namespace {

// Weights of the eight point values in the value of the node at corner
// `local`, when the points sit on a 2x2x2 grid (every coordinate +-a_d, all
// eight sign patterns once).  For such a rule the point matrix
// N_I(point p) is a product of three 2x2 matrices (1 + g c)/2 whose inverses
// are (1 + c g / a^2)/2, so the node's row of the inverse is the product of
// those factors: no solve needed.  False for any other rule.
__device__ bool hexaGridExtrapolationWeights(const GaussPoint* points, int local, double w[8]) {
  double a2[3];
  for (int d = 0; d < 3; ++d) a2[d] = points[0].coord_[d] * points[0].coord_[d];
  int patterns = 0;
  for (int p = 0; p < 8; ++p) {
    int pattern = 0;
    w[p] = 1.0;
    for (int d = 0; d < 3; ++d) {
      const double g = points[p].coord_[d];
      if (!(a2[d] > 0.0) || std::fabs(g * g - a2[d]) > 1e-12 * a2[d]) return false;
      pattern |= (g > 0.0 ? 1 : 0) << d;
      w[p] *= 0.5 * (1.0 + solid1st::hexaCorner(d, local) * g / a2[d]);
    }
    patterns |= 1 << pattern;
  }
  return patterns == 0xff;
}

// The point values of stress (c < 6) and strain (c >= 6) component c.
__device__ double pointStressStrain(const GaussPoint& gp, int c) {
  const MaterialStatus* st = gp.matStatus_;
  if (st == nullptr) return 0.0;
  return c < 6 ? st->stress[c] : st->strain[c - 6];
}

}  // namespace

// The value of the six stress and six strain components at the node at
// position local, from the eight point values: N(points) X = point values
// solved for the node's row (a product of 2x2 inverses on the usual grid of
// points, a general solve otherwise).
__device__ bool computeHexa1stNodeStressStrainGpu(const SolidElementCuda& e, int local, double* out) {
  const GaussPoint* points = e.gaussPoint;
  if (points == nullptr || e.integratPointNum != 8 || local < 0 || local >= 8) return false;
  double w[8];
  if (hexaGridExtrapolationWeights(points, local, w)) {
    for (int c = 0; c < 12; ++c) {
      double sum = 0.0;
      for (int p = 0; p < 8; ++p) sum += w[p] * pointStressStrain(points[p], c);
      out[c] = sum;
    }
    return true;
  }
  double A[8 * 8], rhs[8 * 12], X[8 * 12];
  for (int p = 0; p < 8; ++p) {
    const GaussPoint& gp = points[p];
    for (int I = 0; I < 8; ++I)
      A[p * 8 + I] = 0.125 * (1.0 + gp.coord_[0] * solid1st::hexaCorner(0, I)) *
                     (1.0 + gp.coord_[1] * solid1st::hexaCorner(1, I)) *
                     (1.0 + gp.coord_[2] * solid1st::hexaCorner(2, I));
    for (int c = 0; c < 12; ++c) rhs[p * 12 + c] = pointStressStrain(gp, c);
  }
  solveForRhs(A, rhs, X, 8, 8, 8, 12, 8, 12);
  for (int c = 0; c < 12; ++c) out[c] = X[local * 12 + c];
  return true;
}
