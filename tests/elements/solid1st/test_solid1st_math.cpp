// Geometry and kinematics of the first-order solids on plain arrays.
#include <gtest/gtest.h>

#include <cmath>

#include "elements/solid1st/solid1stFormulation.h"

namespace {

using namespace solid1st;

// Unit cube with the corner numbering of the hexahedron.
void unitCube(double x[8][3], double size = 1.0) {
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) x[I][k] = 0.5 * (1.0 + hexaCorner(k, I)) * size;
}

// A visibly distorted, positively oriented hexahedron.
void distortedHexa(double x[8][3]) {
  unitCube(x);
  const double d[8][3] = {{0.05, -0.02, 0.03}, {-0.04, 0.06, 0.01},  {0.08, 0.03, -0.05}, {-0.02, -0.07, 0.04},
                          {0.03, 0.05, -0.06}, {-0.06, -0.01, 0.02}, {0.04, -0.05, 0.07}, {0.01, 0.02, -0.03}};
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) x[I][k] += d[I][k];
}

// Volume by 2x2x2 Gauss quadrature of det J (exact for a trilinear map).
double quadratureVolume(const double x[8][3]) {
  const double g = 1.0 / std::sqrt(3.0);
  double v = 0.0;
  for (int a = 0; a < 8; ++a) {
    double dN[3][8], dNx[3][8];
    hexaLocalDerivatives((a & 1) ? g : -g, (a & 2) ? g : -g, (a & 4) ? g : -g, dN);
    v += spatialDerivatives<8>(dN, x, dNx);
  }
  return v;
}

TEST(Solid1stMath, OnePointHexaIdentities) {
  double x[8][3], B[3][8];
  unitCube(x);
  hexaCentreB(x, B);
  double V = 0.0;
  for (int I = 0; I < 8; ++I) V += x[I][0] * B[0][I];
  EXPECT_DOUBLE_EQ(V, 1.0);
  for (int i = 0; i < 3; ++i)
    for (int I = 0; I < 8; ++I) EXPECT_DOUBLE_EQ(std::fabs(B[i][I]), 0.25);

  distortedHexa(x);
  hexaCentreB(x, B);
  V = 0.0;
  for (int I = 0; I < 8; ++I) V += x[I][0] * B[0][I];
  EXPECT_GT(V, 0.5);
  for (int i = 0; i < 3; ++i) {
    double sum = 0.0;
    for (int I = 0; I < 8; ++I) sum += B[i][I];
    EXPECT_NEAR(sum, 0.0, 1e-14);
    for (int j = 0; j < 3; ++j) {
      double s = 0.0;
      for (int I = 0; I < 8; ++I) s += x[I][j] * B[i][I];
      EXPECT_NEAR(s, i == j ? V : 0.0, 1e-13) << i << " " << j;
    }
  }
  // Opposite corners carry opposite vectors.
  EXPECT_DOUBLE_EQ(B[1][0], -B[1][6]);
  EXPECT_DOUBLE_EQ(B[2][3], -B[2][5]);
}

TEST(Solid1stMath, ExactVolumeAndItsGradient) {
  double x[8][3], B[3][8];
  distortedHexa(x);
  const double v = hexaExactB(x, B);
  EXPECT_NEAR(v, quadratureVolume(x), 1e-13);
  EXPECT_DOUBLE_EQ(v, hexaExactVolume(x));
  // The gradient matches a central difference of the exact volume.
  const double h = 1e-6;
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) {
      double xp[8][3], xm[8][3];
      for (int J = 0; J < 8; ++J)
        for (int c = 0; c < 3; ++c) xp[J][c] = xm[J][c] = x[J][c];
      xp[I][k] += h;
      xm[I][k] -= h;
      EXPECT_NEAR(B[k][I], (hexaExactVolume(xp) - hexaExactVolume(xm)) / (2 * h), 1e-8);
    }
}

TEST(Solid1stMath, CharacteristicLengths) {
  double x[8][3];
  unitCube(x, 0.01);
  EXPECT_NEAR(solidCharactLength(18, x), 0.01, 1e-15);
  // A mirrored (inverted) hexahedron has the length of its mirror image.
  double m[8][3];
  for (int I = 0; I < 8; ++I) {
    m[I][0] = -x[I][0];
    m[I][1] = x[I][1];
    m[I][2] = x[I][2];
  }
  EXPECT_LT(hexaExactVolume(m), 0.0);
  EXPECT_DOUBLE_EQ(solidCharactLength(17, m), solidCharactLength(17, x));

  double t[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
  EXPECT_NEAR(solidCharactLength(15, t), 0.57735, 1e-5);

  // Wedge: unit right triangle extruded by 2; volume 1, largest face the
  // hypotenuse side sqrt(2) x 2.
  double w[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}, {1, 0, 2}, {0, 1, 2}, {0, 1, 2}, {0, 1, 2}};
  EXPECT_NEAR(pentaVolume(w), 1.0, 1e-14);
  EXPECT_NEAR(solidCharactLength(20, w), 1.0 / (2.0 * std::sqrt(2.0)), 1e-14);

  // Pyramid of height 3 over a square base.
  double p[8][3] = {{0.5, 0.5, 3}, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  EXPECT_NEAR(solidCharactLength(16, p), 3.0, 1e-14);
  EXPECT_LT(solidCharactLength(99, p), 0.0);
}

TEST(Solid1stMath, StableStepOfSteelCube) {
  const double E = 2.1e11, nu = 0.3, rho = 7850.0;
  const double c = std::sqrt(E / (1 + nu) * (1 - nu) / ((1 - 2 * nu) * rho));
  double x[8][3];
  unitCube(x, 0.01);
  EXPECT_NEAR(solidStableStep(1.0, 0.9, solidCharactLength(18, x), c), 1.49976e-6, 1e-11);
}

TEST(Solid1stMath, MassScaleRule) {
  double step = 1e-7, mult = 1.0;
  EXPECT_DOUBLE_EQ(solidMassScale(2e-7, &step, &mult), 3.0);  // q = 0.5: 1/q^2 - 1
  EXPECT_DOUBLE_EQ(step, 2e-7);
  EXPECT_DOUBLE_EQ(mult, 2.0);
  // Already scaled, unscaled step now above the target: nothing changes.
  step = 6e-7;
  EXPECT_DOUBLE_EQ(solidMassScale(2e-7, &step, &mult), 0.0);
  EXPECT_DOUBLE_EQ(mult, 2.0);
  EXPECT_DOUBLE_EQ(step, 6e-7);
}

// A linear velocity field v = a + L x has no hourglass rate, so neither
// hourglass form adds a force; the velocity gradient is L exactly.
TEST(Solid1stMath, LinearFieldHasNoHourglassAndExactGradient) {
  const double L[3][3] = {{0.3, -0.2, 0.1}, {0.05, -0.4, 0.2}, {0.15, 0.1, 0.25}};
  const double a[3] = {1.0, -2.0, 0.5};
  double x[8][3], v[8][3], B[3][8];
  distortedHexa(x);
  for (int I = 0; I < 8; ++I)
    for (int i = 0; i < 3; ++i) v[I][i] = a[i] + L[i][0] * x[I][0] + L[i][1] * x[I][1] + L[i][2] * x[I][2];
  hexaCentreB(x, B);
  double V = 0.0;
  for (int I = 0; I < 8; ++I) V += x[I][0] * B[0][I];
  double G[3][3];
  velocityGradient<8>(B, v, 1.0 / V, G);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(G[i][j], L[j][i], 1e-13);  // G_ij = d v_j / d x_i
  double gam[4][8];
  hourglassShapeVectors(x, B, V, gam);
  double Q[12] = {}, f[8][3] = {};
  hourglassForm1(gam, v, 1e3, Q, f);
  const double c[4] = {1e3, 2e3, 3e3, 4e3};
  hourglassForm2(x, gam, v, c, Q, f);
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(f[I][k], 0.0, 1e-9);
  for (double q : Q) EXPECT_NEAR(q, 0.0, 1e-9);
}

// An hourglass mode is resisted by both forms with a force that opposes
// the motion and sums to zero over the element.
TEST(Solid1stMath, HourglassModeIsResisted) {
  double x[8][3], v[8][3], B[3][8];
  unitCube(x);
  for (int I = 0; I < 8; ++I) {
    v[I][0] = hourglassBase(0, I);
    v[I][1] = v[I][2] = 0.0;
  }
  hexaCentreB(x, B);
  double gam[4][8];
  hourglassShapeVectors(x, B, 1.0, gam);
  for (int form = 1; form <= 2; ++form) {
    double Q[12] = {}, f[8][3] = {};
    const double c[4] = {1.0, 1.0, 1.0, 1.0};
    if (form == 1)
      hourglassForm1(gam, v, 1.0, Q, f);
    else
      hourglassForm2(x, gam, v, c, Q, f);
    double sum[3] = {}, power = 0.0;
    for (int I = 0; I < 8; ++I)
      for (int k = 0; k < 3; ++k) {
        sum[k] += f[I][k];
        power += f[I][k] * v[I][k];
      }
    for (double s : sum) EXPECT_NEAR(s, 0.0, 1e-12);
    EXPECT_GT(power, 0.0) << "form " << form;  // stored force resists the motion
  }
}

TEST(Solid1stMath, TetraReferenceDerivativesAndTotalLagrangianPatch) {
  const double X[4][3] = {{0.1, 0.0, 0.05}, {1.2, 0.1, 0.0}, {0.2, 0.9, 0.1}, {0.15, 0.2, 1.1}};
  double d[4][3];
  const double v0 = tetraReferenceDerivatives(X, d);
  EXPECT_NEAR(v0, tetraVolume(X[0], X[1], X[2], X[3]), 1e-15);
  for (int k = 0; k < 3; ++k) {
    double sum = 0.0;
    for (int I = 0; I < 4; ++I) sum += d[I][k];
    EXPECT_NEAR(sum, 0.0, 1e-14);
    for (int j = 0; j < 3; ++j) {
      double s = 0.0;
      for (int I = 0; I < 4; ++I) s += X[I][j] * d[I][k];
      EXPECT_NEAR(s, j == k ? 1.0 : 0.0, 1e-14);
    }
  }
  // A uniform stretch: displacement u = e X; increment du over dt.
  double u[4][3], du[4][3], dX[4], dY[4], dZ[4];
  const double e = 0.01, de = 0.001, dt = 1e-3;
  for (int I = 0; I < 4; ++I) {
    dX[I] = d[I][0];
    dY[I] = d[I][1];
    dZ[I] = d[I][2];
    for (int k = 0; k < 3; ++k) {
      u[I][k] = k == 0 ? e * X[I][0] : 0.0;
      du[I][k] = k == 0 ? de * X[I][0] : 0.0;
    }
  }
  double Finv[3][3], detF, G[3][3];
  tlKinematics(4, dX, dY, dZ, u, du, dt, Finv, &detF, G);
  EXPECT_NEAR(detF, 1.0 + e, 1e-14);
  EXPECT_NEAR(G[0][0], de / dt / (1.0 + e - 0.5 * de), 1e-12);
  EXPECT_NEAR(G[1][1], 0.0, 1e-14);
  // A rigid translation: F = I, no gradient, and a zero stress gives no force.
  for (int I = 0; I < 4; ++I)
    for (int k = 0; k < 3; ++k) {
      u[I][k] = 0.3 * (k + 1);
      du[I][k] = 0.01;
    }
  tlKinematics(4, dX, dY, dZ, u, du, dt, Finv, &detF, G);
  EXPECT_NEAR(detF, 1.0, 1e-14);
  for (auto& row : G)
    for (double g : row) EXPECT_NEAR(g, 0.0, 1e-12);
  // Uniform stress: the nodal forces balance.
  const double sigma[3][3] = {{1e6, 2e5, 0}, {2e5, -3e5, 1e5}, {0, 1e5, 4e5}};
  double f[4][3] = {};
  tlAddForce(4, dX, dY, dZ, Finv, detF, sigma, v0, f);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(f[0][k] + f[1][k] + f[2][k] + f[3][k], 0.0, 1e-7);
}

TEST(Solid1stMath, PyramidDomainsReproduceLinearFields) {
  const double X[5][3] = {{0.5, 0.4, 1.2}, {0, 0, 0}, {1.1, 0, 0.05}, {1, 1, 0}, {-0.05, 0.9, 0}};
  double total = 0.0;
  for (int d = 0; d < 4; ++d) {
    double dN[5][3];
    total += pyramidDomainDerivatives(X, d, dN);
    for (int k = 0; k < 3; ++k)
      for (int j = 0; j < 3; ++j) {
        double s = 0.0;
        for (int I = 0; I < 5; ++I) s += X[I][j] * dN[I][k];
        EXPECT_NEAR(s, j == k ? 1.0 : 0.0, 1e-13);
      }
  }
  // The domains fill the pyramid: volume = base area x height / 3 for a flat
  // base (here slightly warped, so compare with the four tetrahedra).
  EXPECT_GT(total, 0.3);
  EXPECT_LT(total, 0.45);
}

}  // namespace
