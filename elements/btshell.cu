// Belytschko-Tsay quadrilateral shell (types 9 and 10): one point in the
// plane, points through the thickness, a corotational frame taken at
// mid-step, warping correction of the curvatures and hourglass resultants.
#include <cstdio>

#include "elements/shell1st.h"

namespace {

using shell1st::QuadGeometry;
using shell1st::ddx;
using shell1st::ddy;

// Membrane, bending and shear resultants of the element (already times the
// area) and the local nodal forces built from them.
struct BtResultants {
  double Nxx = 0, Nyy = 0, Nxy = 0, Mxx = 0, Myy = 0, Mxy = 0, Qyz = 0, Qxz = 0;
};

// Local increments of the step: translations (ux, uy, uz) and rotations
// (rx, ry) of the four nodes in the mid-step frame.
struct BtIncrements {
  double u[3][4];
  double r[2][4];
};

// Step 9: through-thickness integration of the strain increments.
__host__ __device__ void integrateThickness(ShellElementCuda& e, const MaterialNew* material, const double strain[8],
                                            double area, double dt, BtResultants& R) {
  // strain: dexx, deyy, dgxy, kx, ky, kxy, gyz, gxz (curvatures corrected)
  GaussPoint* points = e.gaussPoint;
  const int np = points != nullptr ? e.integratPointNum : 0;
  const double t = e.thickCurrent;
  for (int i = 0; i < np; ++i) {
    GaussPoint* gp = points + i;
    const double z = 0.5 * t * gp->coord_[0];
    double d[6] = {strain[0] + z * strain[3], strain[1] - z * strain[4], 0.0, strain[2] + z * strain[5],
                   strain[6], strain[7]};
    double s[6];
    shell1st::pointStress(material, gp, d, s, dt);
    const double w = 0.5 * t * gp->weight_ * area;
    R.Nxx += w * s[0];
    R.Nyy += w * s[1];
    R.Nxy += w * s[3];
    R.Mxx += w * z * s[0];
    R.Myy += w * z * s[1];
    R.Mxy += w * z * s[3];
    R.Qyz += w * s[4];
    R.Qxz += w * s[5];
  }
}

// Step 10: local nodal forces (fx, fy, fz, mx, my) of the four nodes.
__host__ __device__ void localNodalForces(const double b[4], const BtResultants& R, double f[4][5]) {
  for (int I = 0; I < 2; ++I) {
    const double bx = b[I], by = b[2 + I];
    f[I][0] = bx * R.Nxx + by * R.Nxy;
    f[I][1] = by * R.Nyy + bx * R.Nxy;
    f[I][2] = by * R.Qyz + bx * R.Qxz;
    const double mb = by * R.Myy + bx * R.Mxy;
    const double mc = bx * R.Mxx + by * R.Mxy;
    f[I][3] = -0.25 * R.Qyz - mb;
    f[I][4] = 0.25 * R.Qxz + mc;
    f[I + 2][0] = -f[I][0];
    f[I + 2][1] = -f[I][1];
    f[I + 2][2] = -f[I][2];
    f[I + 2][3] = -0.25 * R.Qyz + mb;
    f[I + 2][4] = 0.25 * R.Qxz - mc;
  }
}

// Step 11: hourglass resultants grow with the mode increments and act on the
// nodes through the hourglass vector.
__host__ __device__ void addHourglass(ShellElementCuda& e, const MaterialNew* material, double c, const QuadGeometry& geo,
                                      const double a[4], const double b[4], const BtIncrements& inc, double f[4][5]) {
  double g[4];
  shell1st::hourglassVector(geo, b, g);
  const double A = geo.area;
  const double S = 2.0 * (a[0] * a[0] + a[1] * a[1] + a[2] * a[2] + a[3] * a[3]);
  const double nodeThick = e.node[0] != nullptr ? e.node[0]->thickness : 0.0;
  const double tn = nodeThick > 0.0 ? nodeThick : e.thickCurrent;
  const double E = material->youngModulus;
  const double G = E / (2.0 * (1.0 + material->poissonRatio));
  const double Ag = A + shell1st::kAreaGuard;
  const double Km = c * E / 80.0 * tn * S / Ag;
  const double Kw = c * G / 120.0 * tn * tn * tn * S / Ag / Ag;
  const double Kb = c * E / 1920.0 * tn * tn * tn * S / Ag;
  const double K[5] = {Km, Km, Kw, Kb, Kb};
  for (int m = 0; m < 5; ++m) {
    const double* q = m < 3 ? inc.u[m] : inc.r[m - 3];
    e.hourglassStress[m] += K[m] * (g[0] * q[0] + g[1] * q[1] + g[2] * q[2] + g[3] * q[3]);
  }
  for (int I = 0; I < 4; ++I)
    for (int m = 0; m < 5; ++m) f[I][m] += g[I] * e.hourglassStress[m];
}

}  // namespace

__host__ __device__ void ShellElementCuda::interForce_BT_Gpu(const MaterialNew* material, const Section* section,
                                                            double timeStep) {
  if (material == nullptr) return;
  // Steps 1-3: node data, the end-of-step frame, the mid-step geometry.
  shell1st::QuadStep q;
  shell1st::beginQuadStep(*this, timeStep, q);
  const QuadGeometry& geo = q.geo;
  const double(*du)[3] = q.du;
  const double(*dr)[3] = q.dr;

  // Step 4: local increments (the drilling rotation is dropped).
  BtIncrements inc;
  for (int I = 0; I < 4; ++I) {
    double u[3];
    shell1st::toLocal(du[I], geo.e1, geo.e2, geo.e3, u);
    for (int k = 0; k < 3; ++k) inc.u[k][I] = u[k];
    inc.r[0][I] = vector_inner_product(3, dr[I], geo.e1);
    inc.r[1][I] = vector_inner_product(3, dr[I], geo.e2);
  }

  // Steps 5-6: half differences, area check, B coefficients.
  double a[4], b[4];
  shell1st::halfDifferences(geo, a);
  const double A = geo.area;
  if (!shell1st::quadAreaSound(a, A)) printf("四边形壳单元 %d 面积求解错误\n", id);
  for (int k = 0; k < 4; ++k) b[k] = a[k] / (A + shell1st::kAreaGuard);
  shell1st::projectRigidSpin(geo.z, b, inc.u[2], inc.u[0], inc.u[1]);

  // Steps 7-8: strain and curvature increments with the warping correction.
  const double* ux = inc.u[0];
  const double* uy = inc.u[1];
  const double* uz = inc.u[2];
  const double* rx = inc.r[0];
  const double* ry = inc.r[1];
  double g[4];
  shell1st::hourglassVector(geo, b, g);
  const double zw = g[1] * geo.z[1] + g[2] * geo.z[2] + g[3] * geo.z[3];
  // The correction acts on the deformation only: the element's rigid spin
  // about its normal is taken out of the in-plane differences.
  const double spin = 0.5 * (ddx(b, uy) - ddy(b, ux));
  const double dx13 = ux[0] - ux[2] + spin * (geo.y[0] - geo.y[2]);
  const double dx24 = ux[1] - ux[3] + spin * (geo.y[1] - geo.y[3]);
  const double dy13 = uy[0] - uy[2] - spin * (geo.x[0] - geo.x[2]);
  const double dy24 = uy[1] - uy[3] - spin * (geo.x[1] - geo.x[3]);
  const double A2 = A * A + shell1st::kAreaGuard;
  const double c1 = zw * (a[3] * dx13 + a[2] * dx24) / A2;
  const double c2 = zw * (-a[1] * dy13 - a[0] * dy24) / A2;
  const double c3 = zw * (a[2] * dy24 + a[3] * dy13 - a[1] * dx13 - a[0] * dx24) / A2;
  const double strain[8] = {ddx(b, ux),
                            ddy(b, uy),
                            ddy(b, ux) + ddx(b, uy),
                            ddx(b, ry) + c1,
                            ddy(b, rx) + c2,
                            ddy(b, ry) - ddx(b, rx) + c3,
                            ddy(b, uz) - 0.25 * (rx[0] + rx[1] + rx[2] + rx[3]),
                            ddx(b, uz) + 0.25 * (ry[0] + ry[1] + ry[2] + ry[3])};

  // Steps 9-11: stresses, resultants, nodal forces, hourglass.
  BtResultants R;
  integrateThickness(*this, material, strain, A, timeStep, R);
  const double k = shell1st::shearFactor(section);
  R.Qyz *= k;
  R.Qxz *= k;
  double f[4][5];
  localNodalForces(b, R, f);
  const double c = section != nullptr ? section->shell_constants[2] : 0.0;
  if (c > shell1st::kHourglassOff) addHourglass(*this, material, c, geo, a, b, inc, f);

  // Step 12: global axes of the end-of-step frame; no drilling moment.
  for (int I = 0; I < 4; ++I) {
    shell1st::toGlobal(f[I][0], f[I][1], f[I][2], q.e1, q.e2, q.n, interForce[I]);
    shell1st::toGlobal(f[I][3], f[I][4], 0.0, q.e1, q.e2, q.n, interForce[I] + 3);
  }
}

void ShellElementCuda::interForce_BT_Cpu(const MaterialNew* material, const Section* section, double timeStep) {
  interForce_BT_Gpu(material, section, timeStep);
  shell1st::subtractForceBlock(*this);
}
