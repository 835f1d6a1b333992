// One-point hexahedron with hourglass control (type 18), and the one-point
// body it shares with the one-point pentahedron (type 21).
#include "elements/hourglasscontrol.h"
#include "elements/solid1st.h"

namespace {

// B vectors of the shape x and its signed volume.
__host__ __device__ double onePointGradients(bool exact, const double x[8][3], double B[3][8]) {
  if (exact) return solid1st::hexaExactB(x, B);
  solid1st::hexaCentreB(x, B);
  double V = 0.0;
  for (int I = 0; I < 8; ++I) V += x[I][0] * B[0][I];
  return V;
}

// The slot of corner I once the two layers (corners 1-4 and 5-8) change
// places: an element numbered in mirror order is, in this order, the same
// shape with a positive volume.
__host__ __device__ inline int layerSwap(int I) { return (I + 4) % 8; }

__host__ __device__ void swapLayers(double a[8][3]) {
  for (int I = 0; I < 4; ++I)
    for (int k = 0; k < 3; ++k) {
      const double t = a[I][k];
      a[I][k] = a[I + 4][k];
      a[I + 4][k] = t;
    }
}

// Hourglass forces of form 2, or of form 1 for every other form: the set-up
// turns unknown forms into form 1 with a message.
__host__ __device__ void addHourglassForce(SolidElementCuda& e, const MaterialNew* material, double dt,
                                           const HourglassControl& hourglass, const double x[8][3],
                                           const double v[8][3], const double B[3][8], double V, double f[8][3]) {
  double coef[4] = {0.0, 0.0, 0.0, 0.0};
  const double S = solid1st::halfBSquareSum(B);
  hourglass.computeHourglassValueForSolid(material, coef, 2.0 * S, V, dt);
  double gam[4][8];
  solid1st::hourglassShapeVectors(x, B, V, gam);
  double* Q = &e.hourglassValue[0][0];
  if (hourglass.type == 2)
    solid1st::hourglassForm2(x, gam, v, coef, Q, f);
  else
    solid1st::hourglassForm1(gam, v, coef[0], Q, f);
}

}  // namespace

__host__ __device__ double onePointSolidForce(SolidElementCuda& e, const MaterialNew* material, double dt,
                                              const HourglassControl* hourglass, bool exact) {
  double x[8][3], xm[8][3], v[8][3], B[3][8], Bm[3][8];
  gatherSolidMotion(e, 8, x, xm, v);
  double V = onePointGradients(exact, x, B);
  double X[8][3];
  gatherSolidReference(e, 8, X);
  if (reportIfInverted(e, V, onePointGradients(exact, X, Bm))) {
    // Turned inside out: no force; the pass stops the run.
    e.volume = fabs(V);
    for (int I = 0; I < 8; ++I) e.interForce[I][0] = e.interForce[I][1] = e.interForce[I][2] = 0.0;
    return e.volume;
  }
  // A mirror-numbered element is computed in the swapped order, where its
  // gradients, volume and hourglass frame are those of its mirror image;
  // its forces go back to the element's own slots.
  const bool mirrored = V < 0.0;
  if (mirrored) {
    swapLayers(x);
    swapLayers(xm);
    swapLayers(v);
    V = onePointGradients(exact, x, B);
  }
  const double Vm = onePointGradients(exact, xm, Bm);
  e.volume = V > 0.0 ? V : -V;
  double f[8][3];
  for (int I = 0; I < 8; ++I) f[I][0] = f[I][1] = f[I][2] = 0.0;
  // A collapsed element has no gradient: it exerts no force.
  if (V > 0.0 && Vm > 0.0) {
    double G[3][3], sigma[3][3];
    solid1st::velocityGradient<8>(Bm, v, 1.0 / Vm, G);
    solidPointStress(material, e.gaussPoint, G, sigma, dt);
    solid1st::addStressDivergence<8>(sigma, B, 1.0, f);
    if (hourglass != nullptr && material != nullptr) addHourglassForce(e, material, dt, *hourglass, x, v, B, V, f);
  }
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) e.interForce[mirrored ? layerSwap(I) : I][k] = f[I][k];
  return e.volume;
}

__host__ __device__ void interForceHexa1stRGpu(SolidElementCuda& e, const MaterialNew* material, double dt,
                                               const HourglassControl* hourglass) {
  onePointSolidForce(e, material, dt, hourglass, false);
}
