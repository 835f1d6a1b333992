// One-point hexahedron with hourglass control (type 18), and the one-point
// body it shares with the one-point pentahedron (type 21), one element at a
// time (the group form is in hexa1stRLanes.cu).
#include "elements/solid1st/hexa1stRBody.h"

namespace {

// B vectors of the shape x and its signed volume.
__host__ __device__ double onePointGradients(bool exact, const double x[8][3], double B[3][8]) {
  return exact ? solid1st::hexaExactB(x, B) : onepoint::centreGradients(x, B);
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

}  // namespace

__host__ __device__ double onePointSolidForce(SolidElementCuda& e, const MaterialNew* material, double dt,
                                              const HourglassControl* hourglass, bool exact) {
  double x[8][3], xm[8][3], v[8][3], B[3][8], Bm[3][8];
  gatherSolidMotion(e, 8, x, xm, v);
  double V = onePointGradients(exact, x, B);
  if (reportIfInverted(e, V, onepoint::initialVolume(e, exact))) {
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
  if (V > 0.0 && Vm > 0.0)
    onepoint::onePointBodyForce(
        material, dt, hourglass, x, v, B, V, Bm, Vm, &e.hourglassValue[0][0],
        [&](double G[3][3], double sigma[3][3]) { solidPointStress(material, e.gaussPoint, G, sigma, dt); }, f);
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) e.interForce[mirrored ? layerSwap(I) : I][k] = f[I][k];
  return e.volume;
}

__host__ __device__ void interForceHexa1stRGpu(SolidElementCuda& e, const MaterialNew* material, double dt,
                                               const HourglassControl* hourglass) {
  onePointSolidForce(e, material, dt, hourglass, false);
}
