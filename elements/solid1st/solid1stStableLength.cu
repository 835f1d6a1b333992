// Stable length of the first-order solids from their current shape, by
// formulation (the bounds are in solidStableLength.h): the one-point
// hexahedron and pentahedron from their gradient vectors and hourglass
// modes, the elements integrated at points from the derivatives at those
// points, each node carrying the element's share of the lumped mass.
#include "elements/solid1st/hexa1stRBody.h"
#include "elements/solid1st/solid1st.h"

namespace {

// The volume whose mass the bound takes: the smaller of the present volume
// and the element's mass over its material's density (the volume of the
// shape the mass was taken from).  An expanded element keeps its mass; a
// crushed one is taken at its present density, so that its step falls with
// its thickness and the step never lets it pass through itself.
__host__ __device__ inline double massVolumeOf(const SolidElementCuda& e, double volume) {
  return solidstep::boundMassVolume(e.mass, e.stepModel.density, fabs(volume));
}

// The points of the element's own rule on the current shape x: natural
// derivatives local(r, s, t, dNl) of N nodes; their count (0 without
// points), volumes and spatial derivatives.
template <int N, typename Local>
__host__ __device__ int rulePoints(const SolidElementCuda& e, const double x[8][3], Local local, double (*dN)[3][N],
                                   double* v) {
  const GaussPoint* points = e.gaussPoint;
  const int np = points == nullptr ? 0 : (e.integratPointNum < 8 ? e.integratPointNum : 8);
  for (int p = 0; p < np; ++p) {
    double dNl[3][N];
    local(points[p].coord_[0], points[p].coord_[1], points[p].coord_[2], dNl);
    v[p] = fabs(solid1st::spatialDerivatives<N>(dNl, x, dN[p])) * points[p].weight_;
  }
  return np;
}

// The two-point pentahedron: six nodes sharing the mass equally.
__host__ __device__ double pentaStableLength(const SolidElementCuda& e, const double x[8][3]) {
  double dN[8][3][6], v[8], w[6], volume = 0.0;
  const int np = rulePoints<6>(
      e, x, [](double r, double s, double t, double d[3][6]) { solid1st::pentaLocalDerivatives(r, s, t, d); }, dN, v);
  if (np < 1) return -1.0;
  for (int p = 0; p < np; ++p) volume += v[p];
  for (int I = 0; I < 6; ++I) w[I] = massVolumeOf(e, volume) / 6.0;
  return solidstep::pointsStableLength<6>(np, dN, v, w, e.stepModel.poisson);
}

// The fully integrated hexahedron from the points of its rule.
__host__ __device__ double hexaFullStableLength(const SolidElementCuda& e, const double x[8][3]) {
  double dN[8][3][8], v[8], Bbar[3][8] = {}, volume = 0.0;
  const int np = rulePoints<8>(
      e, x, [](double r, double s, double t, double d[3][8]) { solid1st::hexaLocalDerivatives(r, s, t, d); }, dN, v);
  if (np < 1) return -1.0;
  for (int p = 0; p < np; ++p) {
    volume += v[p];
    for (int i = 0; i < 3; ++i)
      for (int I = 0; I < 8; ++I) Bbar[i][I] += v[p] * dN[p][i][I];
  }
  return solidstep::hexaPointsStableLength(np, dN, v, Bbar, massVolumeOf(e, volume), e.stepModel.poisson);
}

// The tetrahedron (one point) and the pyramid (its four tetrahedral
// domains, the base centre taken as the mean of the base nodes).
__host__ __device__ double tetraStableLength(const SolidElementCuda& e, const double x[8][3]) {
  double X[4][3], dNdX[4][3], dN[1][3][4], w[4];
  for (int I = 0; I < 4; ++I)
    for (int k = 0; k < 3; ++k) X[I][k] = x[I][k];
  double v = solid1st::tetraReferenceDerivatives(X, dNdX);
  for (int I = 0; I < 4; ++I)
    for (int i = 0; i < 3; ++i) dN[0][i][I] = dNdX[I][i];
  for (int I = 0; I < 4; ++I) w[I] = massVolumeOf(e, v) / 4.0;
  return solidstep::pointsStableLength<4>(1, dN, &v, w, e.stepModel.poisson);
}

__host__ __device__ double pyramidStableLength(const SolidElementCuda& e, const double x[8][3]) {
  double X[5][3], dN[numIntegralDomains][3][5], v[numIntegralDomains], w[5], volume = 0.0;
  for (int I = 0; I < 5; ++I)
    for (int k = 0; k < 3; ++k) X[I][k] = x[I][k];
  for (int d = 0; d < numIntegralDomains; ++d) {
    double dNdX[5][3];
    v[d] = solid1st::pyramidDomainDerivatives(X, d, dNdX);
    volume += v[d];
    for (int I = 0; I < 5; ++I)
      for (int i = 0; i < 3; ++i) dN[d][i][I] = dNdX[I][i];
  }
  for (int I = 0; I < 5; ++I) w[I] = massVolumeOf(e, volume) / 5.0;
  return solidstep::pointsStableLength<5>(numIntegralDomains, dN, v, w, e.stepModel.poisson);
}

// One-point elements: centre gradients (hexahedron) or exact-volume ones
// (the pentahedron on its eight slots), eight slots of equal mass.
__host__ __device__ double onePointLength(const SolidElementCuda& e, const double x[8][3], bool exact) {
  double B[3][8];
  const double V = exact ? solid1st::hexaExactB(x, B) : onepoint::centreGradients(x, B);
  if (!exact) return solidstep::onePointStableLength(x, B, V, massVolumeOf(e, V), e.stepModel);
  // Slots that share a node move together: bounded on the nodes.
  int node[8], count = 0;
  for (int I = 0; I < 8; ++I) {
    node[I] = -1;
    for (int J = 0; J < I && node[I] < 0; ++J)
      if (e.node[J] == e.node[I]) node[I] = node[J];
    if (node[I] < 0) node[I] = count++;
  }
  double gam[4][8];
  solid1st::hourglassShapeVectors(x, B, fabs(V) > 0.0 ? V : 1.0, gam);
  return solidstep::mergedOnePointStableLength(x, B, gam, V, massVolumeOf(e, V), node, e.stepModel);
}

}  // namespace

__host__ __device__ double solidMassVolume(const SolidElementCuda& e, double volume) { return massVolumeOf(e, volume); }

__host__ __device__ double solidStableLength(const SolidElementCuda& e, const double x[8][3]) {
  switch (e.type) {
    case ET_TETRA_TL:
      return tetraStableLength(e, x);
    case ET_PYRAMID_TL:
      return pyramidStableLength(e, x);
    case ET_HEXA_FULL:
      return hexaFullStableLength(e, x);
    case ET_PENTA:
      return pentaStableLength(e, x);
    case ET_HEXA_REDUCED:
      return onePointLength(e, x, false);
    case ET_PENTA_REDUCED:
      return onePointLength(e, x, true);
    default:
      return -1.0;
  }
}
