// The Belytschko-Tsay quadrilateral shell's geometry and forces written once
// over a value type T: one element (double) or a group of elements computed
// together in lanes (LaneDouble).  What differs per element and is not
// arithmetic (the through-thickness points and their material calls) comes
// in as a callable taking one element's values.
#pragma once
#include "elements/common/hourglasscontrol.h"
#include "elements/shell/shell1st.h"
#include "elements/solid1st/solid1stFormulation.h"
#include "platform/simdLane.h"

namespace btshell {

using shell1st::ddx;
using shell1st::ddy;
using shell1st::hourglassVector;
using shell1st::QuadFrames;
using shell1st::QuadGeometryOf;

// Membrane, bending and shear resultants of the element (already times the
// area).
template <typename T>
struct Resultants {
  T Nxx = 0.0, Nyy = 0.0, Nxy = 0.0, Mxx = 0.0, Myy = 0.0, Mxy = 0.0, Qyz = 0.0, Qxz = 0.0;
};

// A point's stress s at height z with weight w added to the resultants.
template <typename T>
__host__ __device__ inline void addPointResultants(T w, T z, const T s[6], Resultants<T>& R) {
  R.Nxx += w * s[0];
  R.Nyy += w * s[1];
  R.Nxy += w * s[3];
  R.Mxx += w * z * s[0];
  R.Myy += w * z * s[1];
  R.Mxy += w * z * s[3];
  R.Qyz += w * s[4];
  R.Qxz += w * s[5];
}

// Through-thickness integration of one element's strain increments
// (dexx, deyy, dgxy, kx, ky, kxy, gyz, gxz; curvatures corrected).
__host__ __device__ inline void integrateThickness(ShellElementCuda& e, const MaterialNew* material,
                                                   const double strain[8], double area, double dt,
                                                   Resultants<double>& R) {
  GaussPoint* points = e.gaussPoint;
  const int np = points != nullptr ? e.integratPointNum : 0;
  const double t = e.thickCurrent;
  for (int i = 0; i < np; ++i) {
    GaussPoint* gp = points + i;
    const double z = 0.5 * t * gp->coord_[0];
    double d[6] = {
        strain[0] + z * strain[3], strain[1] - z * strain[4], 0.0, strain[2] + z * strain[5], strain[6], strain[7]};
    double s[6];
    shell1st::pointStress(material, gp, d, s, dt);
    addPointResultants(0.5 * t * gp->weight_ * area, z, s, R);
  }
}

// Local nodal forces (fx, fy, fz, mx, my) of the four nodes.
template <typename T>
__host__ __device__ inline void localNodalForces(const T b[4], const Resultants<T>& R, T f[4][5]) {
  for (int I = 0; I < 2; ++I) {
    const T bx = b[I], by = b[2 + I];
    f[I][0] = bx * R.Nxx + by * R.Nxy;
    f[I][1] = by * R.Nyy + bx * R.Nxy;
    f[I][2] = by * R.Qyz + bx * R.Qxz;
    const T mb = by * R.Myy + bx * R.Mxy;
    const T mc = bx * R.Mxx + by * R.Mxy;
    f[I][3] = -0.25 * R.Qyz - mb;
    f[I][4] = 0.25 * R.Qxz + mc;
    f[I + 2][0] = -f[I][0];
    f[I + 2][1] = -f[I][1];
    f[I + 2][2] = -f[I][2];
    f[I + 2][3] = -0.25 * R.Qyz + mb;
    f[I + 2][4] = 0.25 * R.Qxz - mc;
  }
}

// Coefficients of the five hourglass modes (in-plane x, y, out-of-plane w,
// rotations about x, y) for the coefficient c (QM), the hourglass thickness
// tn, the area A and S = 2 (a1^2 + a2^2 + a3^2 + a4^2).  Stiffness form: the
// growth of the resultants per unit mode increment, c E tn S / (80 A),
// c G tn^3 S / (120 A^2) and c E tn^3 S / (1920 A).  Viscous form: the
// resultants per unit mode rate, the in-plane c rho cp tn sqrt(A) (cp the
// plate wave speed), the out-of-plane one that times (2 G / 3 E) tn^2 / A and
// the rotational ones that times tn^2 / 24: the stiffness form's ratios
// between the modes.
template <typename T>
__host__ __device__ inline void hourglassCoefficients(const MaterialNew* material, double c, bool viscous, T tn,
                                                      const T a[4], T A, T K[5]) {
  const double E = material->youngModulus;
  const double G = E / (2.0 * (1.0 + material->poissonRatio));
  const T Ag = A + shell1st::kAreaGuard;
  if (viscous) {
    K[0] = K[1] = shell1st::viscousInPlaneHourglass(material, c, tn, Ag);
    K[2] = K[0] * (2.0 * G / (3.0 * E)) * tn * tn / Ag;
    K[3] = K[4] = K[0] * tn * tn / 24.0;
    return;
  }
  const T S = 2.0 * (a[0] * a[0] + a[1] * a[1] + a[2] * a[2] + a[3] * a[3]);
  K[0] = K[1] = c * E / 80.0 * tn * S / Ag;
  K[2] = c * G / 120.0 * tn * tn * tn * S / Ag / Ag;
  K[3] = K[4] = c * E / 1920.0 * tn * tn * tn * S / Ag;
}

// Hourglass resultants hs of the mode increments (translations u, rotations
// r) act on the nodes through the hourglass vector; tn is the thickness and
// c the coefficient.  The stiffness form (rate 0) adds the increments' share
// to the resultants; the viscous form sets them from the current mode rates,
// the increments times rate (1 / dt), keeping nothing from the step before.
template <typename T>
__host__ __device__ inline void addHourglass(const MaterialNew* material, double c, double rate, T tn,
                                             const QuadGeometryOf<T>& geo, const T a[4], const T b[4], const T u[3][4],
                                             const T r[2][4], T hs[5], T f[4][5]) {
  T g[4];
  hourglassVector(geo, b, g);
  T K[5];
  hourglassCoefficients(material, c, rate > 0.0, tn, a, geo.area, K);
  for (int m = 0; m < 5; ++m) {
    const T* q = m < 3 ? u[m] : r[m - 3];
    const T mode = g[0] * q[0] + g[1] * q[1] + g[2] * q[2] + g[3] * q[3];
    if (rate > 0.0) {
      hs[m] = K[m] * rate * mode;
    } else {
      hs[m] += K[m] * mode;
    }
  }
  for (int I = 0; I < 4; ++I)
    for (int m = 0; m < 5; ++m) f[I][m] += g[I] * hs[m];
}

// What an element brings to the force besides its nodes: the section's
// shear factor, the hourglass coefficient and form (hourglassRate 1 / dt for
// the viscous form, 0 for the stiffness form), the hourglass thickness and
// state.
template <typename T>
struct ElementState {
  double shearFactor, hourglassCoef, hourglassRate;
  T hourglassThick;
  T hourglass[5];
};

// Hourglass coefficient of the part's control; the section's without one.
__host__ __device__ inline double hourglassCoefficient(const Section* section, const HourglassControl* hourglass) {
  return hourglass != nullptr ? hourglass->coefficient : section != nullptr ? section->shell_constants[2] : 0.0;
}

// One element's share of the state: the hourglass coefficient and form of
// the part's control (the section's coefficient without one); the hourglass
// thickness is the first node's where it has one, else the element's.
__host__ __device__ inline void initState(const ShellElementCuda& e, const Section* section,
                                          const HourglassControl* hourglass, double dt, ElementState<double>& s) {
  s.shearFactor = shell1st::shearFactor(section);
  s.hourglassCoef = hourglassCoefficient(section, hourglass);
  s.hourglassRate = shell1st::hourglassRate(hourglass, dt);
  const double nodeThick = e.node[0] != nullptr ? e.node[0]->thickness : 0.0;
  s.hourglassThick = nodeThick > 0.0 ? nodeThick : e.thickCurrent;
  for (int m = 0; m < 5; ++m) s.hourglass[m] = e.hourglassStress[m];
}

// Forces and moments in global axes (force then moment per node, no
// drilling moment) from the node coordinates x and increments du, dr, with
// the frames q of the step.  checkArea(a, A) sees the half differences and the
// mid-step area; integrate(strain, A, R) adds the resultants of the points.
template <typename T, typename CheckArea, typename Integrate>
__host__ __device__ inline void bodyForce(const MaterialNew* material, const QuadFrames<T>& q, const T du[4][3],
                                          const T dr[4][3], ElementState<T>& s, CheckArea checkArea,
                                          Integrate integrate, T force[4][6]) {
  const QuadGeometryOf<T>& geo = q.geo;
  // Local increments (the drilling rotation is dropped).
  T u[3][4], r[2][4];
  for (int I = 0; I < 4; ++I) {
    u[0][I] = dot3(du[I], geo.e1);
    u[1][I] = dot3(du[I], geo.e2);
    u[2][I] = dot3(du[I], geo.e3);
    r[0][I] = dot3(dr[I], geo.e1);
    r[1][I] = dot3(dr[I], geo.e2);
  }
  // Half differences, area check, B coefficients.
  T a[4], b[4];
  shell1st::halfDifferences(geo, a);
  const T A = geo.area;
  checkArea(a, A);
  const T Ag = A + shell1st::kAreaGuard;
  for (int k = 0; k < 4; ++k) b[k] = a[k] / Ag;
  shell1st::projectRigidSpin(geo.z, b, u[2], u[0], u[1]);
  // Strain and curvature increments with the warping correction, which acts
  // on the deformation only: the rigid spin about the normal is taken out.
  const T* ux = u[0];
  const T* uy = u[1];
  const T* uz = u[2];
  const T* rx = r[0];
  const T* ry = r[1];
  T g[4];
  hourglassVector(geo, b, g);
  const T zw = g[1] * geo.z[1] + g[2] * geo.z[2] + g[3] * geo.z[3];
  const T spin = 0.5 * (ddx(b, uy) - ddy(b, ux));
  const T dx13 = ux[0] - ux[2] + spin * (geo.y[0] - geo.y[2]);
  const T dx24 = ux[1] - ux[3] + spin * (geo.y[1] - geo.y[3]);
  const T dy13 = uy[0] - uy[2] - spin * (geo.x[0] - geo.x[2]);
  const T dy24 = uy[1] - uy[3] - spin * (geo.x[1] - geo.x[3]);
  const T A2 = A * A + shell1st::kAreaGuard;
  const T c1 = zw * (a[3] * dx13 + a[2] * dx24) / A2;
  const T c2 = zw * (-a[1] * dy13 - a[0] * dy24) / A2;
  const T c3 = zw * (a[2] * dy24 + a[3] * dy13 - a[1] * dx13 - a[0] * dx24) / A2;
  const T strain[8] = {ddx(b, ux),
                       ddy(b, uy),
                       ddy(b, ux) + ddx(b, uy),
                       ddx(b, ry) + c1,
                       ddy(b, rx) + c2,
                       ddy(b, ry) - ddx(b, rx) + c3,
                       ddy(b, uz) - 0.25 * (rx[0] + rx[1] + rx[2] + rx[3]),
                       ddx(b, uz) + 0.25 * (ry[0] + ry[1] + ry[2] + ry[3])};
  // Stresses, resultants, nodal forces, hourglass.
  Resultants<T> R;
  integrate(strain, A, R);
  R.Qyz *= s.shearFactor;
  R.Qxz *= s.shearFactor;
  T f[4][5];
  localNodalForces(b, R, f);
  if (s.hourglassCoef > shell1st::kHourglassOff)
    addHourglass(material, s.hourglassCoef, s.hourglassRate, s.hourglassThick, geo, a, b, u, r, s.hourglass, f);
  // Global axes of the end-of-step frame.
  for (int I = 0; I < 4; ++I)
    for (int k = 0; k < 3; ++k) {
      force[I][k] = f[I][0] * q.e1[k] + f[I][1] * q.e2[k] + f[I][2] * q.n[k];
      force[I][3 + k] = f[I][3] * q.e1[k] + f[I][4] * q.e2[k];
    }
}

}  // namespace btshell
