// Elastic-plastic integration of a tube beam over its section points: the
// points lie on the wall's centre line, which is closed into a ring; each
// point carries an axial and a shear stress at both beam ends, returned to
// the von Mises surface sqrt(s^2 + 3 q^2) = Y without hardening.
#pragma once
#include <cmath>

#include "core/section.h"
#include "elements/beam/beamFrame.h"

// True when a beam of this material type is integrated over the tube
// points of its section: an elastic-plastic material, at least three points
// (fewer cannot form a wall) and a wall of positive thickness.
__host__ __device__ bool beamIntegratesTube(int materialType, const Section& s);

// The six resultants of a beam section: axial force, end moments about y
// and z at both ends, torque.
struct BeamResultants {
  double N, M1y, M1z, T, M2y, M2z;
};

// Stress state (s, q) of one point and end after the strain increments
// (de, dg): elastic trial, else one return onto the yield surface Y.
__host__ __device__ inline void tubePointReturn(double& s, double& q, double de, double dg, double E, double nu,
                                                double Y) {
  const double G = E / (2.0 * (1.0 + nu));
  const double sTrial = s + E * de;
  const double qTrial = q + G * dg;
  if (sqrt(sTrial * sTrial + 3.0 * qTrial * qTrial) <= Y) {
    s = sTrial;
    q = qTrial;
    return;
  }
  // Elastic fraction alpha of the increment that reaches the surface.
  const double a = (E * de) * (E * de) + 3.0 * (G * dg) * (G * dg);
  const double b2 = -2.0 * (s * E * de + 3.0 * q * G * dg);
  const double f0 = sqrt(s * s + 3.0 * q * q);
  double alpha = 0.0;
  if (Y > 0.0 && fabs(f0 - Y) / Y >= 1e-7 && a > 0.0) {
    const double D = b2 * b2 + 4.0 * a * (Y * Y - f0 * f0);
    if (D >= 0.0) alpha = (b2 + sqrt(D)) / (2.0 * a);
  }
  s += alpha * E * de;
  q += alpha * G * dg;
  const double deRest = (1.0 - alpha) * de;
  const double dgRest = (1.0 - alpha) * dg;
  // Elastic-perfectly plastic tangent condensed to zero lateral stress.
  const double d1 = 2.0 * s / 3.0;
  const double d2 = -s / 3.0;
  const double P = d1 * d1 + 2.0 * nu * d1 * d2 + d2 * d2;
  const double Q = 2.0 * q * q / (1.0 + nu);
  const double den = (1.0 + nu) * (1.0 - nu) * Q + P;
  if (den > 0.0) {
    const double c = E / den;
    const double ct = c * q / (1.0 + nu);
    const double A11 = c * (d2 * d2 + Q);
    const double A12 = c * (nu * Q - d1 * d2);
    const double A13 = (d1 + nu * d2) * ct;
    const double A22 = c * (d1 * d1 + Q);
    const double A23 = (d2 + nu * d1) * ct;
    const double A33 = c * P / (2.0 * (1.0 + nu));
    if (A22 != 0.0) {
      const double K11 = A11 - A12 * A12 / A22;
      const double K13 = A23 * A12 / A22 - A13;
      const double K33 = A33 - A23 * A23 / A22;
      s += K11 * deRest + K13 * dgRest;
      q += K13 * deRest + K33 * dgRest;
    }
  }
  // Radial scaling onto the surface.
  const double f = sqrt(s * s + 3.0 * q * q);
  if (f > 0.0) {
    s *= Y / f;
    q *= Y / f;
  }
}

__host__ __device__ inline double tubeSegmentLength(const Section& sec, int a, int b) {
  const double dy = sec.point_y[b] - sec.point_y[a];
  const double dz = sec.point_z[b] - sec.point_z[a];
  return sqrt(dy * dy + dz * dz);
}

// Unit wall tangent at point i of the closed ring of n points and its lever
// arm h = y t_z - z t_y about the beam axis.
__host__ __device__ inline void tubeTangent(const Section& sec, int n, int i, double t[2], double* h) {
  const int ip = (i + n - 1) % n;
  const int in = (i + 1) % n;
  double ty = 0.0, tz = 0.0;
  const int ends[2][2] = {{ip, i}, {i, in}};
  for (const auto& seg : ends) {
    const double dy = sec.point_y[seg[1]] - sec.point_y[seg[0]];
    const double dz = sec.point_z[seg[1]] - sec.point_z[seg[0]];
    const double l = sqrt(dy * dy + dz * dz);
    if (l > 1e-7) {
      ty += dy / l;
      tz += dz / l;
    }
  }
  const double tn = sqrt(ty * ty + tz * tz);
  t[0] = tn > 0.0 ? ty / tn : 0.0;
  t[1] = tn > 0.0 ? tz / tn : 0.0;
  *h = sec.point_y[i] * t[1] - sec.point_z[i] * t[0];
}

// Resultants of the tube rebuilt from its points after the increments k;
// the points' strains and stresses are updated in e.
__host__ __device__ inline void tubeResultants(BeamElementCuda& e, const Section& sec, double E, double nu,
                                               const BeamKinematics& k, BeamResultants& r) {
  const int n = sec.point_count < kBeamTubePointMax ? sec.point_count : kBeamTubePointMax;
  const double L = k.L > kBeamLengthFloor ? k.L : kBeamLengthFloor;
  double t[kBeamTubePointMax][2];
  double h[kBeamTubePointMax];
  for (int i = 0; i < n; ++i) {
    tubeTangent(sec, n, i, t[i], &h[i]);
    const double y = sec.point_y[i];
    const double z = sec.point_z[i];
    const double de1 = (k.delta - z * (4.0 * k.r1y + 2.0 * k.r2y) + y * (4.0 * k.r1z + 2.0 * k.r2z)) / L;
    const double de2 = (k.delta + z * (2.0 * k.r1y + 4.0 * k.r2y) - y * (2.0 * k.r1z + 4.0 * k.r2z)) / L;
    const double dg = h[i] * k.dTwist / L;
    e.strainEnd1[i] += de1;
    e.strainEnd2[i] += de2;
    e.shearStrain[i] += dg;
    tubePointReturn(e.stressEnd1[i], e.shearStressEnd1[i], de1, dg, E, nu, e.yieldEnd1[i]);
    tubePointReturn(e.stressEnd2[i], e.shearStressEnd2[i], de2, dg, E, nu, e.yieldEnd2[i]);
  }
  r = BeamResultants{0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  // Segments a -> b around the closed ring.  Each carries the wall area of
  // its share of the ring's length, so that the segments together hold the
  // tube's area (the chords of a few points are shorter than the wall).
  double perimeter = 0.0;
  for (int a = 0; a < n; ++a) perimeter += tubeSegmentLength(sec, a, (a + 1) % n);
  const double areaPerLength = perimeter > 0.0 ? sec.A / perimeter : 0.0;
  for (int a = 0; a < n; ++a) {
    const int b = (a + 1) % n;
    const double ya = sec.point_y[a], za = sec.point_z[a], yb = sec.point_y[b], zb = sec.point_z[b];
    const double Ak = tubeSegmentLength(sec, a, b) * areaPerLength;
    const double s1a = e.stressEnd1[a], s1b = e.stressEnd1[b], s2a = e.stressEnd2[a], s2b = e.stressEnd2[b];
    const double q1a = e.shearStressEnd1[a], q1b = e.shearStressEnd1[b];
    const double q2a = e.shearStressEnd2[a], q2b = e.shearStressEnd2[b];
    r.N += Ak / 4.0 * (s1a + s2a + s1b + s2b);
    r.M1y -= Ak / 6.0 * (za * (2.0 * s1a + s1b) + zb * (s1a + 2.0 * s1b));
    r.M1z += Ak / 6.0 * (ya * (2.0 * s1a + s1b) + yb * (s1a + 2.0 * s1b));
    r.M2y += Ak / 6.0 * (za * (2.0 * s2a + s2b) + zb * (s2a + 2.0 * s2b));
    r.M2z -= Ak / 6.0 * (ya * (2.0 * s2a + s2b) + yb * (s2a + 2.0 * s2b));
    const double S = q1a + q2a + q1b + q2b;
    // Mixed lever arm, symmetric in a and b.
    const double hab = ya * t[b][1] - za * t[b][0] - zb * t[a][0] + yb * t[a][1];
    r.T += Ak / 24.0 * (h[a] * (2.0 * (q1a + q1b) + S) + hab * S + h[b] * (2.0 * (q2a + q2b) + S));
  }
}
