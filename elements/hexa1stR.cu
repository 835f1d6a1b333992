// One-point hexahedron with hourglass control (type 18), and the one-point
// body it shares with the one-point pentahedron (type 21).
#include <cstdio>

#include "elements/hourglasscontrol.h"
#include "elements/solid1st.h"

__host__ __device__ void onePointSolidForce(SolidElementCuda& e, const MaterialNew* material, double dt,
                                            const HourglassControl* hourglass, const double x[8][3],
                                            const double v[8][3], const double B[3][8], double V) {
  if (V < 0.0) V = -V;
  e.volume = V;
  double f[8][3];
  if (!(V > 0.0)) {
    // A collapsed element has no gradient: it exerts no force.
    for (int I = 0; I < 8; ++I) f[I][0] = f[I][1] = f[I][2] = 0.0;
  } else {
    double G[3][3], sigma[3][3];
    solid1st::velocityGradient<8>(B, v, 1.0 / V, G);
    solidPointStress(material, e.gaussPoint, G, sigma, dt);
    for (int I = 0; I < 8; ++I) f[I][0] = f[I][1] = f[I][2] = 0.0;
    solid1st::addStressDivergence<8>(sigma, B, 1.0, f);
    if (hourglass != nullptr) {
      double coef[4] = {0.0, 0.0, 0.0, 0.0};
      const double S = solid1st::halfBSquareSum(B);
      hourglass->computeHourglassValueForSolid(material, coef, 2.0 * S, V, dt);
      double* Q = &e.hourglassValue[0][0];
      if (hourglass->type == 1 || hourglass->type == 2) {
        double gam[4][8];
        solid1st::hourglassShapeVectors(x, B, V, gam);
        if (hourglass->type == 1)
          solid1st::hourglassForm1(gam, v, coef[0], Q, f);
        else
          solid1st::hourglassForm2(x, gam, v, coef, Q, f);
      } else {
        printf("更多类型的沙漏控制待补充\n");
      }
    }
  }
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) e.interForce[I][k] = f[I][k];
}

__host__ __device__ void interForceHexa1stRGpu(SolidElementCuda& e, const MaterialNew* material, double dt,
                                               const HourglassControl* hourglass) {
  double x[8][3], v[8][3], B[3][8];
  gatherSolidCoordsVel(e, 8, x, v);
  solid1st::hexaCentreB(x, B);
  double V = 0.0;
  for (int I = 0; I < 8; ++I) V += x[I][0] * B[0][I];
  onePointSolidForce(e, material, dt, hourglass, x, v, B, V);
}
