// Fully integrated hexahedron (type 17, eight points, updated Lagrangian,
// selectively reduced) and the extrapolation of point stresses to the nodes
// of the eight-point hexahedra (types 17, 19 and 23).
#include "elements/solid1st/solid1st.h"

namespace {

// The current, mid-step and initial corners side by side, so that the
// Jacobians of the three shapes are summed in one pass over the corners.
struct HexaShapes {
  double c[8][9];
};

__host__ __device__ inline HexaShapes hexaShapes(const double x[8][3], const double xm[8][3], const double X[8][3]) {
  HexaShapes s;
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) {
      s.c[I][k] = x[I][k];
      s.c[I][3 + k] = xm[I][k];
      s.c[I][6 + k] = X[I][k];
    }
  return s;
}

// Natural (dNl) and spatial derivatives of point gp on the current (dNx)
// and mid-step (dNm) shapes; det J of the current and of the initial shape
// and the mid-step point volume.
__host__ __device__ inline void hexaPointDerivatives(const GaussPoint& gp, const HexaShapes& shapes, double dNl[3][8],
                                                     double dNx[3][8], double dNm[3][8], double* detJ, double* detJ0,
                                                     double* vm) {
  solid1st::hexaLocalDerivatives(gp.coord_[0], gp.coord_[1], gp.coord_[2], dNl);
  double J[3][3][3];  // the current, mid-step and initial Jacobians
  FEM_LANE_UNROLL
  for (int a = 0; a < 3; ++a) {
    FEM_LANE_UNROLL
    for (int m = 0; m < 9; ++m) {
      double s = 0.0;
      FEM_LANE_UNROLL
      for (int I = 0; I < 8; ++I) s += dNl[a][I] * shapes.c[I][m];
      J[m / 3][a][m % 3] = s;
    }
  }
  *detJ = solid1st::jacobianDerivatives<8>(dNl, J[0], dNx);
  *vm = fabs(solid1st::jacobianDerivatives<8>(dNl, J[1], dNm)) * gp.weight_;
  *detJ0 = solid1st::det3(J[2]);
}

__host__ __device__ inline double trace3(const double A[3][3]) { return A[0][0] + A[1][1] + A[2][2]; }

}  // namespace

// Selective reduced integration (mean dilatation): the deviatoric strain
// rate and stress at the eight points, the volumetric strain rate and the
// pressure as the element's volume means. Every point's velocity gradient
// takes the element's mean volumetric rate, and the mean pressure acts
// through the mean gradients, so that a flow that keeps the volume (plastic
// flow, a nearly incompressible material) does not lock the element.
__host__ __device__ void interForceHexa1stGpu(SolidElementCuda& e, const MaterialNew* material,
                                              const Section* /*section*/, double dt, const NodeMotionView& motions) {
  double x[8][3], xm[8][3], v[8][3], X[8][3], f[8][3] = {}, Bbar[3][8] = {};
  gatherSolidMotion(e, 8, motions, x, xm, v);
  gatherSolidReference(e, 8, X);
  const HexaShapes shapes = hexaShapes(x, xm, X);
  GaussPoint* points = e.gaussPoint;
  const int np = points != nullptr ? (e.integratPointNum < 8 ? e.integratPointNum : 8) : 0;
  // Each point's current derivatives, volume and velocity gradient.
  double dNx[8][3][8], G[8][3][3], vp[8];
  double rateSum = 0.0, midVolume = 0.0, volume = 0.0;
  for (int p = 0; p < np; ++p) {
    double dNl[3][8], dNm[3][8], detJ, detJ0, vm;
    hexaPointDerivatives(points[p], shapes, dNl, dNx[p], dNm, &detJ, &detJ0, &vm);
    reportIfInverted(e, detJ, detJ0);
    vp[p] = fabs(detJ) * points[p].weight_;
    points[p].volume_ = vp[p];
    solid1st::velocityGradient<8>(dNm, v, 1.0, G[p]);
    rateSum += vm * trace3(G[p]);
    midVolume += vm;
    volume += vp[p];
    for (int i = 0; i < 3; ++i)
      for (int I = 0; I < 8; ++I) Bbar[i][I] += vp[p] * dNx[p][i][I];
  }
  const double meanRate = midVolume > 0.0 ? rateSum / midVolume : 0.0;
  double pressureSum = 0.0;
  for (int p = 0; p < np; ++p) {
    const double shift = (meanRate - trace3(G[p])) / 3.0;
    for (int i = 0; i < 3; ++i) G[p][i][i] += shift;
    double sigma[3][3];
    solidPointStress(material, points + p, G[p], sigma, dt);
    const double pressure = trace3(sigma) / 3.0;
    for (int i = 0; i < 3; ++i) sigma[i][i] -= pressure;
    solid1st::addStressDivergence<8>(sigma, dNx[p], vp[p], f);
    pressureSum += vp[p] * pressure;
  }
  // sum_p v_p p_p times the mean gradients sum_q v_q dN/dx (q) / V.
  const double p = volume > 0.0 ? pressureSum / volume : 0.0;
  for (int I = 0; I < 8; ++I)
    for (int j = 0; j < 3; ++j) e.interForce[I][j] = f[I][j] + p * Bbar[j][I];
  // The stable length from the points just taken (the kernels read it
  // through lengthAfterForce).
  if (np > 0)
    e.charactLength =
        solidstep::hexaPointsStableLength(np, dNx, vp, Bbar, solidMassVolume(e, volume), e.stepModel.poisson);
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
