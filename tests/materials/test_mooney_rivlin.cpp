#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "elements/common/element.h"
#include "materials/elementInversion.h"
#include "materials/lowdensityfoam.h"
#include "materials/mooneyrivlinmaterial.h"
#include "materialTestHelpers.h"
#include "materials/materialmanager.h"
#include "tests/input/keyword/keywordTestDeck.h"

namespace {
// C10 = 0.5 MPa, C01 = 0.1 MPa; c3 = 300 MPa makes the bulk modulus about
// a thousand times the shear modulus 2 (c1 + c2) = 1.2 MPa.
Material nearlyIncompressibleRubber() {
  Material m;
  m.id = 1;
  m.type = 8;
  m.density = 1100.0;
  m.mooney_rivlin_constants[0] = 0.5e6;
  m.mooney_rivlin_constants[1] = 0.1e6;
  m.mooney_rivlin_constants[2] = 300e6;
  m.calMaterialConstants();
  m.computeWaveNumber();
  return m;
}

// Stress of the deformation gradient F, set straight into the state (a step
// of zero length leaves it as it is).
void stressOf(const MooneyRivlinMaterial& model, PointWithState<MooneyRivlinMaterialStatus>& p, const double F[3][3],
              double S[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) p.status.H[i * 3 + j] = F[i][j] - (i == j ? 1.0 : 0.0);
  double G[3][3] = {};
  model.computeStressMatrix3D(&p.gp, G, S, 0.0);
}

// Rotation by angle about a unit axis.
void rotation(const double axis[3], double angle, double R[3][3]) {
  const double c = std::cos(angle), s = std::sin(angle);
  const double K[3][3] = {{0, -axis[2], axis[1]}, {axis[2], 0, -axis[0]}, {-axis[1], axis[0], 0}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) R[i][j] = (i == j ? c : 0.0) + (1.0 - c) * axis[i] * axis[j] + s * K[i][j];
}

double trace(const double S[3][3]) { return S[0][0] + S[1][1] + S[2][2]; }
double secondInvariant(const double S[3][3]) {
  double sum = 0.0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) sum += S[i][j] * S[j][i];
  return sum;
}
double det(const double S[3][3]) {
  return S[0][0] * (S[1][1] * S[2][2] - S[1][2] * S[2][1]) - S[0][1] * (S[1][0] * S[2][2] - S[1][2] * S[2][0]) +
         S[0][2] * (S[1][0] * S[2][1] - S[1][1] * S[2][0]);
}

Material rubber() {
  Material m = makeSteelRecord(8);
  m.mooney_rivlin_constants[0] = 0.5e6;
  m.mooney_rivlin_constants[1] = 0.1e6;
  m.mooney_rivlin_constants[2] = 50e6;
  return m;
}
}  // namespace

TEST(MooneyRivlin, UndeformedAndRotatedStatesAreStressFree) {
  const Material record = rubber();
  MooneyRivlinMaterial model(&record);
  model.matStatusNum = 2;
  model.createStatusArrayCpu();
  GaussPoint gp;
  model.linkMatStatuToGaussPoint(&gp, model.matStatusArrayCpu_);
  double L[3][3] = {};
  double S[3][3];
  model.computeStressMatrix3D(&gp, L, S, 1e-3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(S[i][j], 0.0, 1e-6);

  double spin[3][3] = {{0, 1.0, 0}, {-1.0, 0, 0}, {0, 0, 0}};
  model.computeStressMatrix3D(&gp, spin, S, 1e-4);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(S[i][j], 0.0, 1e-6 * record.mooney_rivlin_constants[2]);
}

TEST(MooneyRivlin, StretchIntegratesTheDeformationGradient) {
  const Material record = rubber();
  const MooneyRivlinMaterial model(&record);
  PointWithState<MooneyRivlinMaterialStatus> p;
  double L[3][3] = {{1.0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  double S[3][3];
  model.computeStressMatrix3D(&p.gp, L, S, 0.01);
  model.computeStressMatrix3D(&p.gp, L, S, 0.01);
  // Midpoint rule: each step multiplies F_xx by (1 + dt/2) / (1 - dt/2).
  const double r = 1.005 / 0.995;
  EXPECT_NEAR(p.status.H[0], r * r - 1.0, 1e-15);
  EXPECT_GT(S[0][0], 0.0);
  EXPECT_EQ(S[1][0], S[0][1]);
  EXPECT_DOUBLE_EQ(S[1][1], S[2][2]);
}

TEST(MooneyRivlin, DataOnlyModelsCopyTheirCurvesAndReport) {
  Material foam = makeSteelRecord(9);
  foam.foam_constants[2] = 2.0;
  foam.loading_curve_id = 4;
  foam.loading_curve.count = 2;
  foam.loading_curve.x[1] = 0.5;
  foam.loading_curve.y[1] = 3.0;
  foam.unloading_curve.count = 2;  // id 0: not copied
  foam.unloading_curve.y[1] = 9.0;
  const LowDensityFoamAbaqusMaterial model(&foam);
  EXPECT_EQ(model.constants[2], 2.0);
  EXPECT_EQ(model.loadingCurve[1][1], 3.0);
  EXPECT_EQ(model.unloadingCurve[1][1], 0.0);

  Material beam = makeSteelRecord(7);
  for (int k = 0; k < 6; ++k) beam.curve_ids[k] = k + 1;
  beam.linked_curves[0].count = 1;
  beam.linked_curves[0].y[0] = 5.0;
  const GeneralNonlnearMaterial119 general(&beam);
  EXPECT_EQ(general.curveIds[0], 4);
  EXPECT_EQ(general.curveIds[3], 1);
  EXPECT_EQ(general.tables[0][0][1], 5.0);

  PointWithState<ElasticMaterialStatus> p;
  double L[3][3] = {{1, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  double S[3][3] = {{7, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  testing::internal::CaptureStdout();
  model.computeStressMatrix3D(&p.gp, L, S, 1e-3);
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "here not executed\n");
  EXPECT_EQ(S[0][0], 7.0);

  // The general model likewise, through the 3-D and plane-stress updates.
  double stress[6] = {1, 2, 3, 4, 5, 6}, d[6] = {1e-3, 0, 0, 0, 0, 0};
  testing::internal::CaptureStdout();
  general.computeStressMatrix3D(&p.gp, L, S, 1e-3);
  general.computeStressMatrixPlaneStress(&p.gp, stress, d, nullptr, 1e-3);
  model.computeStressMatrixPlaneStress(&p.gp, stress, d, nullptr, 1e-3);
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "here not executed\nhere not executed\nhere not executed\n");
  EXPECT_EQ(S[0][0], 7.0);
  for (int c = 0; c < 6; ++c) EXPECT_EQ(stress[c], c + 1.0);
  for (int c = 0; c < 6; ++c) EXPECT_EQ(p.status.stress[c], 0.0);
}

// Incompressible uniaxial tension: P = 2 (lambda - lambda^-2)(C10 + C01 /
// lambda) = 1.925 MPa at lambda = 2.  The lateral stretch is found so that
// the lateral stress vanishes; P = sigma_xx x lateral stretch^2.
TEST(MooneyRivlin, UniaxialTensionFollowsTheIncompressibleLaw) {
  const Material record = nearlyIncompressibleRubber();
  const MooneyRivlinMaterial model(&record);
  PointWithState<MooneyRivlinMaterialStatus> p;
  const double lambda = 2.0;
  double lo = 0.5, hi = 1.0, S[3][3];
  for (int it = 0; it < 200; ++it) {
    const double t = 0.5 * (lo + hi);
    const double F[3][3] = {{lambda, 0, 0}, {0, t, 0}, {0, 0, t}};
    stressOf(model, p, F, S);
    (S[1][1] > 0.0 ? hi : lo) = t;
  }
  EXPECT_NEAR(lo * lo * lambda, 1.0, 2e-3);  // nearly isochoric
  const double nominal = S[0][0] * lo * lo;
  EXPECT_NEAR(nominal, 1.925e6, 0.01 * 1.925e6);
  EXPECT_EQ(p.status.stress[0], S[0][0]);  // the state record keeps the stress
}

// Simple shear v_x = rate y, driven through the elements' G (G_yx = rate):
// F_xy = gamma, J = 1, and sigma_xy = 2 (c1 + c2) gamma, sigma_xx - sigma_yy =
// 2 (c1 + c2) gamma^2, sigma_yy - sigma_zz = -2 c2 gamma^2, all symmetric.
TEST(MooneyRivlin, SimpleShearGivesTheSymmetricStressOfTheLaw) {
  const Material record = nearlyIncompressibleRubber();
  const MooneyRivlinMaterial model(&record);
  PointWithState<MooneyRivlinMaterialStatus> p;
  double G[3][3] = {}, S[3][3];
  G[1][0] = 0.5;
  for (int n = 0; n < 1000; ++n) model.computeStressMatrix3D(&p.gp, G, S, 1e-3);
  const double gamma = 0.5, c1 = 0.5e6, c2 = 0.1e6;
  EXPECT_NEAR(p.status.H[1], gamma, 1e-12);
  EXPECT_NEAR(p.status.H[3], 0.0, 1e-12);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(S[i][j], S[j][i]);
  const double tol = 1e-6 * c1;
  EXPECT_NEAR(S[0][1], 2.0 * (c1 + c2) * gamma, tol);
  EXPECT_NEAR(S[0][0] - S[1][1], 2.0 * (c1 + c2) * gamma * gamma, tol);
  EXPECT_NEAR(S[1][1] - S[2][2], -2.0 * c2 * gamma * gamma, tol);
  EXPECT_NEAR(S[1][2], 0.0, tol);
  EXPECT_EQ(p.status.stress[3], S[0][1]);
}

// A pre-stretched point turned by 90 degrees at 100 rad/s about an oblique
// axis: its stress turns with it, sigma = R sigma0 R^T, and no invariant
// changes.  Spin alone (100 rad/s for 1 s at dt 1e-5) builds no stress.
TEST(MooneyRivlin, RigidRotationTurnsTheStressAndKeepsItsInvariants) {
  const Material record = nearlyIncompressibleRubber();
  const MooneyRivlinMaterial model(&record);
  PointWithState<MooneyRivlinMaterialStatus> p;
  const double F0[3][3] = {{1.3, 0.1, 0.0}, {0.0, 0.9, 0.05}, {0.0, 0.0, 0.95}};
  double S0[3][3], S[3][3];
  stressOf(model, p, F0, S0);
  const double axis[3] = {0.48, 0.6, 0.64}, omega = 100.0, dt = 1e-5;
  const int steps = static_cast<int>(std::round(0.5 * M_PI / (omega * dt)));
  // G = L^T for the spin L = omega K.
  const double K[3][3] = {{0, -axis[2], axis[1]}, {axis[2], 0, -axis[0]}, {-axis[1], axis[0], 0}};
  double G[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) G[i][j] = omega * K[j][i];
  for (int n = 0; n < steps; ++n) model.computeStressMatrix3D(&p.gp, G, S, dt);
  // Each midpoint step turns by exactly 2 atan(omega dt / 2).
  double R[3][3];
  rotation(axis, steps * 2.0 * std::atan(0.5 * omega * dt), R);
  const double scale = std::fabs(S0[0][0]);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double want = 0.0;
      for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) want += R[i][k] * S0[k][l] * R[j][l];
      EXPECT_NEAR(S[i][j], want, 1e-9 * scale) << i << j;
    }
  EXPECT_NEAR(trace(S), trace(S0), 1e-9 * scale);
  EXPECT_NEAR(secondInvariant(S), secondInvariant(S0), 1e-9 * scale * scale);
  EXPECT_NEAR(det(S), det(S0), 1e-8 * std::fabs(det(S0)));

  PointWithState<MooneyRivlinMaterialStatus> spun;
  for (int n = 0; n < 100000; ++n) model.computeStressMatrix3D(&spun.gp, G, S, dt);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_LT(std::fabs(S[i][j]), 1e-6 * 1.2e6);
}

// Small-strain moduli mu0 = 2 (c1 + c2), lambda0 = 4 (c2 + c3) give E, nu
// and the wave speeds; constants without positive moduli are marked.
TEST(MooneyRivlin, ElasticConstantsAndWaveSpeedsFollowFromTheConstants) {
  const Material record = nearlyIncompressibleRubber();
  const double E = record.youngs_modulus, nu = record.poissons_ratio;
  const double mu = 2.0 * (0.5e6 + 0.1e6), lambda = 4.0 * (0.1e6 + 300e6);
  EXPECT_NEAR(E / (2.0 * (1.0 + nu)), mu, 1e-6 * mu);
  EXPECT_NEAR(E * nu / ((1.0 + nu) * (1.0 - 2.0 * nu)), lambda, 1e-6 * lambda);
  EXPECT_NEAR(record.wave_speed[0], std::sqrt((lambda + 2.0 * mu) / 1100.0), 1e-6 * record.wave_speed[0]);
  const MooneyRivlinMaterial model(&record);
  EXPECT_EQ(model.waveSpeed[0], record.wave_speed[0]);
  EXPECT_TRUE(record.mooneyRivlinModuliValid());

  Material bad = record;
  bad.mooney_rivlin_constants[2] = -200e6;  // bulk modulus below zero
  bad.calMaterialConstants();
  EXPECT_FALSE(bad.mooneyRivlinModuliValid());
  EXPECT_EQ(bad.youngs_modulus, 0.0);
}

// det F <= 0 is an inverted element: no stress of the mirror image, and
// the element passes stop the run naming the element.
TEST(MooneyRivlin, InvertedElementStopsTheRun) {
  const Material record = nearlyIncompressibleRubber();
  const MooneyRivlinMaterial model(&record);
  Element owner;
  owner.id = 42;
  PointWithState<MooneyRivlinMaterialStatus> p;
  owner.ownPoint(p.gp);
  p.gp.elementType_ = ET_TETRA10;
  clearInvertedElementReport();
  EXPECT_FALSE(runStopsOnInvertedElement(0.0, 1e-3, 0));  // nothing reported
  double G[3][3] = {}, S[3][3] = {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
  G[0][0] = -3.0e3;  // one step of 1e-3 turns F_xx to (1 - 1.5) / (1 + 1.5)
  testing::internal::CaptureStdout();
  model.computeStressMatrix3D(&p.gp, G, S, 1e-3);
  fflush(stdout);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("element 42 is turned inside out"), std::string::npos);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(S[i][j], 0.0);
  EXPECT_EQ(invertedElementReport().elementId, 42);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(runStopsOnInvertedElement(0.0, 1e-3, 0));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("element 42 is turned inside out"), std::string::npos);
  clearInvertedElementReport();
}

// The rubber card: A and B are c1 and c2, c3 gives the card's Poisson's
// ratio at small strain; a ratio of 0.5 or more is refused.
TEST_F(KeywordDeckTest, MooneyRivlinRubberCard) {
  ASSERT_TRUE(read("*MAT_MOONEY-RIVLIN_RUBBER\n" + card({"3", "1100", "0.495", "0.5e6", "0.1e6"})));
  Material m = fem->materialManager->material_array.back();
  EXPECT_EQ(m.type, MT_MOONEY_RIVLIN);
  EXPECT_EQ(m.density, 1100.0);
  EXPECT_EQ(m.mooney_rivlin_constants[0], 0.5e6);
  EXPECT_EQ(m.mooney_rivlin_constants[1], 0.1e6);
  m.calMaterialConstants();
  EXPECT_NEAR(m.poissons_ratio, 0.495, 1e-12);
  EXPECT_NEAR(m.youngs_modulus / (2.0 * (1.0 + m.poissons_ratio)), 1.2e6, 1e-3);

  testing::internal::CaptureStderr();
  EXPECT_FALSE(read("*MAT_MOONEY-RIVLIN_RUBBER\n" + card({"4", "1100", "0.5", "0.5e6", "0.1e6"})));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Poisson's ratio"), std::string::npos);
}
