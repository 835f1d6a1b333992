// Helpers shared by the first-order shell and membrane formulations: node
// data in registers, local frames, the plane-stress call at a point and the
// hand-over of the force block to the nodes by the host twins.
#pragma once
#include <cmath>

#include "core/section.h"
#include "core/simpleMath.h"
#include "elements/common/gausspoint.h"
#include "elements/common/hourglasscontrol.h"
#include "elements/shell/shellElementCuda.h"
#include "materials/materialnew.h"
#include "materials/materialstatus.h"
#include "platform/gpuRuntime.h"
#include "platform/simdLane.h"

// Block-diagonal 18 x 18 matrix (row-major) of six copies of a 3 x 3 frame:
// the frame of a three-node shell's nodal translations and rotations.
__host__ __device__ void matrix_expand(const double T[3][3], double out[18 * 18]);

// Computes kLaneWidth Belytschko-Tsay shells (elements[0..kLaneWidth)) as a
// group in lanes: forces, hourglass state, area, length and step, each
// element's step also into steps[l]; `remaining` counts the elements from
// elements[0] on, for fetching the next group ahead.  Returns false, having
// written nothing, when the group does not qualify (another type, material
// or section, or an area that is not positive): its elements then take the
// one-element path.  hourglass is the table of one control per part
// (hourglassOfPart), or null for the sections' coefficients; the group's
// elements share one control.
__host__ __device__ bool btShellLaneGroup(MaterialNew* const* materials, const Section* sections,
                                          const HourglassControl* hourglass, ShellElementCuda* const* elements,
                                          int remaining, double dt, double safeFactor, double* steps);

namespace shell1st {

// Section hourglass coefficient at or below which the quadrilateral shell
// has no hourglass resistance.
constexpr double kHourglassOff = 0.001;
// Relative tolerance of the quadrilateral's area check.
constexpr double kAreaTolerance = 1e-8;
// Added to areas that divide, so that a degenerate element gives finite
// numbers.
constexpr double kAreaGuard = 1e-20;

// Current coordinates, and translational and rotational increments
// (velocity x dt) of the first n nodes; a missing node reads as zero.
__host__ __device__ inline void gatherNodes(const ShellElementCuda& e, int n, double dt, double x[][3], double du[][3],
                                            double dr[][3]) {
  for (int I = 0; I < n; ++I) {
    const NodeCuda* nd = e.node[I];
    for (int k = 0; k < 3; ++k) {
      x[I][k] = nd != nullptr ? nd->coord[k] : 0.0;
      du[I][k] = nd != nullptr ? nd->vel[k] * dt : 0.0;
      dr[I][k] = nd != nullptr ? nd->vel[3 + k] * dt : 0.0;
    }
  }
}

// Mid-step coordinates x - du/2: the strain increments of a step are taken
// on the configuration halfway through it, so that rigid rotations give no
// strain.
template <int N>
__host__ __device__ inline void midStep(const double x[N][3], const double du[N][3], double xm[N][3]) {
  for (int I = 0; I < N; ++I)
    for (int k = 0; k < 3; ++k) xm[I][k] = x[I][k] - 0.5 * du[I][k];
}

// Triangle frame: e1 = unit(x2 - x1), e3 = unit((x2 - x1) x (x3 - x1)),
// e2 = e3 x e1 (rows of T); local coordinates with node 1 at the origin,
// node 2 on the x axis.  Returns the area 0.5 x2' y3'.
__host__ __device__ inline double triangleFrame(const double x[3][3], double T[3][3], double l[3][3]) {
  double a[3], b[3];
  for (int k = 0; k < 3; ++k) {
    a[k] = x[1][k] - x[0][k];
    b[k] = x[2][k] - x[0][k];
    T[0][k] = a[k];
  }
  vector_unit(T[0], 3);
  vector_outer_product(a, b, T[2]);
  vector_unit(T[2], 3);
  vector_outer_product(T[2], T[0], T[1]);
  for (int k = 0; k < 3; ++k) l[0][k] = 0.0;
  l[1][0] = vector_inner_product(3, a, T[0]);
  l[1][1] = l[1][2] = 0.0;
  l[2][0] = vector_inner_product(3, b, T[0]);
  l[2][1] = vector_inner_product(3, b, T[1]);
  l[2][2] = 0.0;
  return 0.5 * l[1][0] * l[2][1];
}

// Frame of four corners: n = unit((p2 - p0) x (p3 - p1)), e1 the side p1 - p0
// with its normal part taken out, e2 = n x e1.  Written over the value type
// T (one element, or a group in lanes), as are the routines below that the
// quadrilateral shell's lane groups use.
template <typename T>
__host__ __device__ inline void quadFrame(const T p[4][3], T n[3], T e1[3], T e2[3]) {
  T a[3], b[3], c[3];
  for (int k = 0; k < 3; ++k) {
    a[k] = p[1][k] - p[0][k];
    b[k] = p[2][k] - p[0][k];
    c[k] = p[3][k] - p[1][k];
  }
  cross3(b, c, n);
  unit3(n);
  const T an = dot3(a, n);
  for (int k = 0; k < 3; ++k) e1[k] = a[k] - an * n[k];
  unit3(e1);
  cross3(n, e1, e2);
  unit3(e2);
}

// Frame of the four corners at the given coordinates (normal e3 from the
// diagonals, e1 along the first side) with the local coordinates of the
// corners (node 1 at the origin, z the distance from the mean plane through
// node 1) and the area from the diagonals.
template <typename T>
struct QuadGeometryOf {
  T e1[3], e2[3], e3[3];
  T x[4], y[4], z[4];
  T area;
};
using QuadGeometry = QuadGeometryOf<double>;

template <typename T>
__host__ __device__ inline void quadGeometry(const T p[4][3], QuadGeometryOf<T>& g) {
  quadFrame(p, g.e3, g.e1, g.e2);
  for (int I = 0; I < 4; ++I) {
    T d[3];
    for (int k = 0; k < 3; ++k) d[k] = p[I][k] - p[0][k];
    g.x[I] = dot3(d, g.e1);
    g.y[I] = dot3(d, g.e2);
    g.z[I] = dot3(d, g.e3);
  }
  g.x[0] = g.y[0] = 0.0;
  g.area = 0.5 * ((g.y[3] - g.y[1]) * g.x[2] - (g.x[3] - g.x[1]) * g.y[2]);
}

// The frames of a quadrilateral's step from its current corners x and
// increments du: the end-of-step frame (e1, e2, n), the current area (half
// the cross product of the diagonals along the normal) and the mid-step
// geometry.
template <typename T>
struct QuadFrames {
  T e1[3], e2[3], n[3];
  T area;
  QuadGeometryOf<T> geo;
};

template <typename T>
__host__ __device__ inline void quadFrames(const T x[4][3], const T du[4][3], QuadFrames<T>& q) {
  quadFrame(x, q.n, q.e1, q.e2);
  T d13[3], d24[3], c[3];
  for (int k = 0; k < 3; ++k) {
    d13[k] = x[2][k] - x[0][k];
    d24[k] = x[3][k] - x[1][k];
  }
  cross3(d13, d24, c);
  q.area = 0.5 * dot3(c, q.n);
  T xm[4][3];
  for (int I = 0; I < 4; ++I)
    for (int k = 0; k < 3; ++k) xm[I][k] = x[I][k] - 0.5 * du[I][k];
  quadGeometry(xm, q.geo);
}

// The start of one quadrilateral's step: node data and the frames, the
// area stored in the element for its characteristic length.
struct QuadStep : QuadFrames<double> {
  double x[4][3], du[4][3], dr[4][3];
};

__host__ __device__ inline void beginQuadStep(ShellElementCuda& e, double dt, QuadStep& q) {
  gatherNodes(e, 4, dt, q.x, q.du, q.dr);
  quadFrames(q.x, q.du, q);
  e.area = q.area;
}

// Characteristic length from the current corners and a positive area: the
// length L for which L / c (c the plate wave speed) is the stable step of
// the element's membrane, free and alone, at any Poisson ratio up to 0.5.
// The one-point quadrilateral's shape gradients are the diagonals turned in
// its plane over 2A (d24 for nodes 1 and 3, d13 for 2 and 4); with S the sum
// of their squares and g the larger eigenvalue of their dyadic sum, its
// highest membrane frequency obeys omega^2 <= 4 c^2 (nu S + (1 - nu) g)
// <= 2 c^2 (S + g), so L = sqrt(2 / (S + g)) =
// 2 sqrt(2) A / sqrt(3 (D1^2 + D2^2) + sqrt((D1^2 - D2^2)^2 + 4 (d13.d24)^2))
// (a square of side h: 0.82 h; its exact limit at nu = 0.3 is 0.88 h).
template <typename T>
__host__ __device__ inline T quadLength(const T x[4][3], T area) {
  T d13[3], d24[3];
  for (int k = 0; k < 3; ++k) {
    d13[k] = x[2][k] - x[0][k];
    d24[k] = x[3][k] - x[1][k];
  }
  const T a = dot3(d13, d13), b = dot3(d24, d24), p = dot3(d13, d24);
  const T spread = laneSqrt((a - b) * (a - b) + 4.0 * p * p);
  return 2.0 * laneSqrt(2.0) * area / laneSqrt(3.0 * (a + b) + spread);
}

// Half differences a1..a4 of the corner coordinates: the x-derivative of a
// nodal field f is (a1 (f1 - f3) + a2 (f2 - f4)) / A, the y-derivative
// (a3 (f1 - f3) + a4 (f2 - f4)) / A.
template <typename T>
__host__ __device__ inline void halfDifferences(const QuadGeometryOf<T>& g, T a[4]) {
  a[0] = 0.5 * (g.y[1] - g.y[3]);
  a[1] = 0.5 * g.y[2];
  a[2] = -0.5 * (g.x[1] - g.x[3]);
  a[3] = -0.5 * g.x[2];
}

// Hourglass vector of the quadrilateral, corrected so that it is orthogonal
// to linear fields: g = h - (h.x) bx - (h.y) by with h = (1, -1, 1, -1).
template <typename T>
__host__ __device__ inline void hourglassVector(const QuadGeometryOf<T>& g, const T b[4], T out[4]) {
  const T hx = g.x[2] - g.x[1] - g.x[3];
  const T hy = g.y[2] - g.y[1] - g.y[3];
  out[0] = 1.0 - hx * b[0] - hy * b[2];
  out[1] = -1.0 - hx * b[1] - hy * b[3];
  out[2] = 2.0 - out[0];
  out[3] = -2.0 - out[1];
}

// Viscous hourglass coefficient of a quadrilateral's in-plane modes:
// qm rho c t sqrt(A), c the plate wave speed, the resultant per unit rate
// of the mode.  A square of side h then damps its mode's rate at 16 qm c / h
// per unit time, as a one-point hexahedron of side h does with its viscous
// form, and its step (a length of 0.82 h over c) holds the damping for
// qm times the step's scale factor up to 0.153.
template <typename T>
__host__ __device__ inline T viscousInPlaneHourglass(const MaterialNew* material, double qm, T t, T area) {
  return qm * material->density * material->waveSpeed[1] * t * laneSqrt(area);
}

// The factor that turns a step's mode increments into rates, 1 / dt, when
// the part's control names the viscous form; 0 for the stiffness form (the
// control's forms 4 and 5, and the section's coefficient without a control).
__host__ __device__ inline double hourglassRate(const HourglassControl* hourglass, double dt) {
  return hourglass != nullptr && hourglass->viscous() && dt > 0.0 ? 1.0 / dt : 0.0;
}

// d/dx and d/dy of a nodal field f from the B coefficients.
template <typename T>
__host__ __device__ inline T ddx(const T b[4], const T f[4]) {
  return b[0] * (f[0] - f[2]) + b[1] * (f[1] - f[3]);
}
template <typename T>
__host__ __device__ inline T ddy(const T b[4], const T f[4]) {
  return b[2] * (f[0] - f[2]) + b[3] * (f[1] - f[3]);
}

// Rigid-body projection of a warped quadrilateral's in-plane increments:
// a rigid turn about an in-plane axis (omega_x = d(uz)/dy, omega_y =
// -d(uz)/dx) moves corners that lie off the mean plane in the plane as well
// (u = omega x r); that part is taken out so that it strains nothing.
template <typename T>
__host__ __device__ inline void projectRigidSpin(const T z[4], const T b[4], const T uz[4], T ux[4], T uy[4]) {
  const T wx = ddy(b, uz), wy = -ddx(b, uz);
  for (int I = 0; I < 4; ++I) {
    ux[I] -= wy * z[I];
    uy[I] += wx * z[I];
  }
}

// Shape-function derivatives of the constant-strain triangle from local
// corner coordinates.
struct TriangleDerivatives {
  double dx[3], dy[3];
};

__host__ __device__ inline TriangleDerivatives cstDerivatives(const double l[3][3], double area) {
  const double twoA = 2.0 * area + kAreaGuard;
  TriangleDerivatives d;
  d.dx[0] = (l[1][1] - l[2][1]) / twoA;
  d.dx[1] = (l[2][1] - l[0][1]) / twoA;
  d.dx[2] = (l[0][1] - l[1][1]) / twoA;
  d.dy[0] = (l[2][0] - l[1][0]) / twoA;
  d.dy[1] = (l[0][0] - l[2][0]) / twoA;
  d.dy[2] = (l[1][0] - l[0][0]) / twoA;
  return d;
}

// Area check of the quadrilateral: 2 (a1 a4 - a2 a3) must equal the frame
// routine's area to a relative 1e-8, and be positive.
__host__ __device__ inline bool quadAreaSound(const double a[4], double area) {
  const double twice = 2.0 * (a[0] * a[3] - a[1] * a[2]);
  return area > 0.0 && fabs(twice - area) <= kAreaTolerance * fabs(area);
}

// The same check of a group's elements in lanes, true in the lanes whose
// shell is sound (the same comparisons, lane by lane).
template <typename T>
__host__ __device__ inline auto quadAreaSoundLanes(const T a[4], T area) {
  const T twice = 2.0 * (a[0] * a[3] - a[1] * a[2]);
  return (area > 0.0) & (laneAbs(twice - area) <= kAreaTolerance * laneAbs(area));
}

// Local components of a global vector in the frame (e1, e2, e3).
__host__ __device__ inline void toLocal(const double v[3], const double e1[3], const double e2[3], const double e3[3],
                                        double out[3]) {
  out[0] = vector_inner_product(3, v, e1);
  out[1] = vector_inner_product(3, v, e2);
  out[2] = vector_inner_product(3, v, e3);
}

// Global vector of local components (a, b, c) in the frame (e1, e2, e3).
__host__ __device__ inline void toGlobal(double a, double b, double c, const double e1[3], const double e2[3],
                                         const double e3[3], double out[3]) {
  for (int k = 0; k < 3; ++k) out[k] = a * e1[k] + b * e2[k] + c * e3[k];
}

// Plane-stress update of one point: the stress array starts from the
// point's stored stress (a model without the update keeps it); a point
// without a state record gets zero stress.
__host__ __device__ inline void pointStress(const MaterialNew* material, GaussPoint* gp, double d[6], double stress[6],
                                            double dt) {
  const MaterialStatus* st = gp != nullptr ? gp->matStatus_ : nullptr;
  for (int c = 0; c < 6; ++c) stress[c] = st != nullptr ? st->stress[c] : 0.0;
  if (st == nullptr || material == nullptr) return;
  material->computeStressMatrixPlaneStress(gp, stress, d, nullptr, dt);
}

// Section shear correction factor; a section that leaves it blank gets 1.
__host__ __device__ inline double shearFactor(const Section* section) {
  return section != nullptr && section->shear_factor > 0.0 ? section->shear_factor : 1.0;
}

// Element force block out of the nodes' force and moment accumulators
// (host twins; the device path has the nodes gather it).
inline void subtractForceBlock(const ShellElementCuda& e) {
  const int n = e.shellNodeCount();
  for (int I = 0; I < n; ++I) {
    NodeCuda* nd = e.node[I];
    if (nd == nullptr) continue;
    for (int k = 0; k < 3; ++k) {
      nd->force[k] -= e.interForce[I][k];
      nd->moment[k] -= e.interForce[I][3 + k];
    }
  }
}

}  // namespace shell1st
