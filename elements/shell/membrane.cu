// Membranes: the three-node constant-strain membrane (type 7) and the
// four-node one-point membrane with hourglass resultants (type 8).  Both
// carry in-plane forces only and thin under in-plane stretch as a
// plane-stress body does.
#include <cstdio>

#include "core/repeatedMessage.h"
#include "elements/shell/shell1st.h"

namespace {

// Plane-stress thinning of one step: t (1 - nu/(1 - nu) (dexx + deyy)).
__host__ __device__ inline double thinned(double t, double nu, double dexx, double deyy) {
  return t * (1.0 - nu / (1.0 - nu) * (dexx + deyy));
}

// In-plane stress of the membrane's single point for the increments
// (dexx, deyy, dgxy); the thickness field follows the step.
__host__ __device__ void membraneStress(ShellElementCuda& e, const MaterialNew* material, double dexx, double deyy,
                                        double dgxy, double dt, double s[6]) {
  double d[6] = {dexx, deyy, 0.0, dgxy, 0.0, 0.0};
  shell1st::pointStress(material, e.gaussPoint, d, s, dt);
  e.thickCurrent = thinned(e.thickCurrent, material->poissonRatio, dexx, deyy);
}

// Writes local in-plane forces (fx, fy) of n nodes into the force block in
// the global axes of (e1, e2); moments and the unused rows are zero.
__host__ __device__ void writeMembraneForces(ShellElementCuda& e, int n, const double f[4][2], const double e1[3],
                                             const double e2[3]) {
  const double zero[3] = {0.0, 0.0, 0.0};
  for (int I = 0; I < 4; ++I) {
    if (I < n)
      shell1st::toGlobal(f[I][0], f[I][1], 0.0, e1, e2, zero, e.interForce[I]);
    else
      e.interForce[I][0] = e.interForce[I][1] = e.interForce[I][2] = 0.0;
    e.interForce[I][3] = e.interForce[I][4] = e.interForce[I][5] = 0.0;
  }
}

// Hourglass coefficient of the four-node membrane: the part's control's
// (QM), else the section's.
__host__ __device__ inline double membraneHourglassCoefficient(const Section* section,
                                                               const HourglassControl* hourglass) {
  if (hourglass != nullptr) return hourglass->coefficient;
  return section != nullptr ? section->formulation8_value : 0.0;
}

}  // namespace

__host__ __device__ void ShellElementCuda::interForce_M3_gpu(const MaterialNew* material, const Section* /*section*/,
                                                             double timeStep) {
  if (material == nullptr) return;
  double x[3][3], du[3][3], dr[3][3], xm[3][3], T[3][3], Tend[3][3], l[3][3];
  shell1st::gatherNodes(*this, 3, timeStep, x, du, dr);
  if (!(transform_S3(x, Tend, l) > 0.0)) noteRepeated(REPEATED_TRI_MEMBRANE_AREA, id);
  shell1st::midStep<3>(x, du, xm);
  const double A = shell1st::triangleFrame(xm, T, l);
  const shell1st::TriangleDerivatives d = shell1st::cstDerivatives(l, A);
  double dexx = 0.0, deyy = 0.0, dgxy = 0.0;
  for (int I = 0; I < 3; ++I) {
    const double u = vector_inner_product(3, du[I], T[0]);
    const double v = vector_inner_product(3, du[I], T[1]);
    dexx += d.dx[I] * u;
    deyy += d.dy[I] * v;
    dgxy += d.dy[I] * u + d.dx[I] * v;
  }
  const double tA = thickCurrent * A;  // thickness before this step's thinning
  double s[6];
  membraneStress(*this, material, dexx, deyy, dgxy, timeStep, s);
  double f[4][2];
  for (int I = 0; I < 3; ++I) {
    f[I][0] = tA * (d.dx[I] * s[0] + d.dy[I] * s[3]);
    f[I][1] = tA * (d.dy[I] * s[1] + d.dx[I] * s[3]);
  }
  writeMembraneForces(*this, 3, f, Tend[0], Tend[1]);
}

__host__ __device__ void ShellElementCuda::interForce_M4_gpu(const MaterialNew* material, const Section* section,
                                                             const HourglassControl* hourglass, double timeStep) {
  if (material == nullptr) return;
  shell1st::QuadStep q;
  shell1st::beginQuadStep(*this, timeStep, q);
  const shell1st::QuadGeometry& geo = q.geo;
  const double(*du)[3] = q.du;
  const double A = geo.area;
  double a[4], b[4], ux[4], uy[4];
  shell1st::halfDifferences(geo, a);
  for (int k = 0; k < 4; ++k) b[k] = a[k] / (A + shell1st::kAreaGuard);
  double uz[4];
  for (int I = 0; I < 4; ++I) {
    ux[I] = vector_inner_product(3, du[I], geo.e1);
    uy[I] = vector_inner_product(3, du[I], geo.e2);
    uz[I] = vector_inner_product(3, du[I], geo.e3);
  }
  shell1st::projectRigidSpin(geo.z, b, uz, ux, uy);
  const double tA = thickCurrent * A;  // thickness before this step's thinning
  const double t = thickCurrent;
  double s[6];
  membraneStress(*this, material, shell1st::ddx(b, ux), shell1st::ddy(b, uy),
                 shell1st::ddy(b, ux) + shell1st::ddx(b, uy), timeStep, s);
  // Nodes 2 to 4 from the stress (and hourglass); node 1 balances them.
  double f[4][2];
  const double bx[4] = {b[0], b[1], -b[0], -b[1]};
  const double by[4] = {b[2], b[3], -b[2], -b[3]};
  for (int I = 1; I < 4; ++I) {
    f[I][0] = tA * (bx[I] * s[0] + by[I] * s[3]);
    f[I][1] = tA * (by[I] * s[1] + bx[I] * s[3]);
  }
  const double c = membraneHourglassCoefficient(section, hourglass);
  if (c != 0.0) {
    double g[4], mode[2];
    shell1st::hourglassVector(geo, b, g);
    mode[0] = g[0] * ux[0] + g[1] * ux[1] + g[2] * ux[2] + g[3] * ux[3];
    mode[1] = g[0] * uy[0] + g[1] * uy[1] + g[2] * uy[2] + g[3] * uy[3];
    const double rate = shell1st::hourglassRate(hourglass, timeStep);
    if (rate > 0.0) {
      // Viscous form: the resultants of the current mode rates.
      const double C = shell1st::viscousInPlaneHourglass(material, c, t, A + shell1st::kAreaGuard) * rate;
      hourglassStress[0] = C * mode[0];
      hourglassStress[1] = C * mode[1];
    } else {
      // Stiffness form, with the undivided half differences, so that it
      // scales with the element as the in-plane stiffness does.
      const double K = c * material->youngModulus * t * (a[0] * a[0] + a[1] * a[1] + a[2] * a[2] + a[3] * a[3]) /
                       (8.0 * A + shell1st::kAreaGuard);
      hourglassStress[0] += K * mode[0];
      hourglassStress[1] += K * mode[1];
    }
    for (int I = 1; I < 4; ++I) {
      f[I][0] += g[I] * hourglassStress[0];
      f[I][1] += g[I] * hourglassStress[1];
    }
  }
  f[0][0] = -(f[1][0] + f[2][0] + f[3][0]);
  f[0][1] = -(f[1][1] + f[2][1] + f[3][1]);
  writeMembraneForces(*this, 4, f, q.e1, q.e2);
}
