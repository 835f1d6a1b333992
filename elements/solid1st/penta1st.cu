// Pentahedra: the two-point form (type 20, triangles 1-2-3 and 4-5-6) and the
// one-point form with hourglass control on a degenerate hexahedron (type 21).
#include <cstdio>

#include "core/repeatedMessage.h"
#include "elements/solid1st/solid1st.h"

__host__ __device__ void interForcePent1stGpu(SolidElementCuda& e, const MaterialNew* material,
                                              const Section* /*section*/, double dt) {
  solidUpdatedLagrangianForce<6>(e, material, dt, [](double r, double s, double t, double dN[3][6]) {
    solid1st::pentaLocalDerivatives(r, s, t, dN);
  });
}

// The eight slots with the exact-volume (uniform-gradient) B vectors.  A
// mirrored element is valid (its gradients change sign with its volume); a
// collapsed one is reported.
__host__ __device__ void interForcePent1stRGpu(SolidElementCuda& e, const MaterialNew* material, double dt,
                                               const HourglassControl* hourglass) {
  if (!(onePointSolidForce(e, material, dt, hourglass, true) > 0.0)) noteRepeated(REPEATED_PENTA_VOLUME, e.id);
}
