#include "tests/deviceTest.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "materials/linearelastic.h"
#include "materials/nullmaterial.h"
#include "materialTestHelpers.h"

namespace {
constexpr double kE = 200e9, kNu = 0.3;
}

TEST(LinearElastic, PlaneStressIsTotalAndKeepsZzZero) {
  const Material record = makeSteelRecord(2);
  const LinearElasticMaterial model(&record);
  PointWithState<ElasticMaterialStatus> p;
  double stress[6] = {};
  double d1[6] = {1e-3, 0, 0, 0, 0, 0};
  model.computeStressMatrixPlaneStress(&p.gp, stress, d1, nullptr, 1e-6);
  const double Ep = kE / (1 - kNu * kNu);
  EXPECT_DOUBLE_EQ(stress[0], Ep * 1e-3);
  EXPECT_DOUBLE_EQ(stress[1], Ep * kNu * 1e-3);
  EXPECT_EQ(stress[2], 0.0);
  double d2[6] = {0, 1e-3, 5e-4, 2e-3, 1e-3, 0};
  model.computeStressMatrixPlaneStress(&p.gp, stress, d2, nullptr, 1e-6);
  EXPECT_DOUBLE_EQ(stress[0], Ep * 1.3e-3);
  EXPECT_DOUBLE_EQ(stress[1], Ep * 1.3e-3);
  EXPECT_EQ(stress[2], 0.0);
  EXPECT_DOUBLE_EQ(stress[3], record.shear_modulus * 2e-3);
  EXPECT_DOUBLE_EQ(stress[4], record.shear_modulus * 1e-3);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(p.status.stress[i], stress[i]);
  EXPECT_DOUBLE_EQ(p.status.strain[2], 5e-4);
}

TEST(LinearElastic, UniaxialRateGivesLameIncrements) {
  const Material record = makeSteelRecord(2);
  const LinearElasticMaterial model(&record);
  PointWithState<ElasticMaterialStatus> p;
  double L[3][3] = {{1.0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  double S[3][3];
  model.computeStressMatrix3D(&p.gp, L, S, 1e-4);
  EXPECT_NEAR(S[0][0], record.elastic_matrix[0][0] * 1e-4, 1e-3);
  EXPECT_NEAR(S[1][1], record.elastic_matrix[0][1] * 1e-4, 1e-3);
  EXPECT_EQ(S[0][1], 0.0);
  EXPECT_DOUBLE_EQ(p.status.strain[0], 1e-4);
  // Shear: strain stored in the order xx, yy, zz, yz, zx, xy.
  double shear[3][3] = {{0, 2.0, 0}, {0, 0, 0}, {0, 0, 0}};
  model.computeStressMatrix3D(&p.gp, shear, S, 1e-4);
  EXPECT_DOUBLE_EQ(p.status.strain[5], 2e-4);
  EXPECT_EQ(S[1][0], S[0][1]);
}

TEST(LinearElastic, PureSpinRotatesWithoutChangingInvariants) {
  const Material record = makeSteelRecord(2);
  const LinearElasticMaterial model(&record);
  PointWithState<ElasticMaterialStatus> zero;
  double spin[3][3] = {{0, 3.0, 0}, {-3.0, 0, 1.0}, {0, -1.0, 0}};
  double S[3][3];
  model.computeStressMatrix3D(&zero.gp, spin, S, 1e-5);
  for (auto& row : S)
    for (double v : row) EXPECT_EQ(v, 0.0);

  PointWithState<ElasticMaterialStatus> loaded;
  const double s0[6] = {100e6, 50e6, -20e6, 30e6, 10e6, -5e6};
  for (int i = 0; i < 6; ++i) loaded.status.stress[i] = s0[i];
  double S0[3][3];
  stressVectorToMatrix(s0, S0);
  model.computeStressMatrix3D(&loaded.gp, spin, S, 1e-5);
  EXPECT_NEAR(S[0][0] + S[1][1] + S[2][2], 130e6, 1e-6);
  EXPECT_NEAR(vonMises(S), vonMises(S0), vonMises(S0) * 1e-8);
  EXPECT_GT(std::fabs(S[0][1] - s0[3]), 1e3);  // it did rotate
}

TEST(LinearElastic, IncrementUpdateRotatesOnlyAboveThreshold) {
  const Material record = makeSteelRecord(2);
  const LinearElasticMaterial model(&record);
  PointWithState<ElasticMaterialStatus> p;
  p.status.stress[3] = 1e6;
  double d[6] = {0, 0, 0, 0, 0, 0};
  double small[3] = {1e-6, 0, 0};
  double S[3][3];
  model.computeStressMatrix3D(&p.gp, S, d, small, 1e-6);
  EXPECT_EQ(small[0], 1e-6);
  EXPECT_EQ(S[0][0], 0.0);
  double w[3] = {1e-3, 0, 0};
  model.computeStressMatrix3D(&p.gp, S, d, w, 1e-6);
  EXPECT_EQ(w[0], 5e-4);
  EXPECT_DOUBLE_EQ(S[0][0], 1e-3 * 1e6);
  EXPECT_DOUBLE_EQ(S[1][1], -1e-3 * 1e6);
  double strainInc[6] = {1e-4, 0, 0, 3e-4, 2e-4, 1e-4};
  double none[3] = {0, 0, 0};
  model.computeStressMatrix3D(&p.gp, S, strainInc, none, 1e-6);
  EXPECT_DOUBLE_EQ(p.status.strain[3], 2e-4);  // yz
  EXPECT_DOUBLE_EQ(p.status.strain[5], 3e-4);  // xy
}

TEST(LinearElastic, ConstitutiveMatrixIsTheIsotropicStiffness) {
  const Material record = makeSteelRecord(2);
  const LinearElasticMaterial model(&record);
  double C[6][6];
  model.reverseConstitutiveMatrix(nullptr, C);
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) EXPECT_NEAR(C[i][j], record.elastic_matrix[i][j], 1e-4) << i << "," << j;
}

DEVICE_TEST(LinearElastic, StatusArraysLinkByStateIndex) {
  const Material record = makeSteelRecord(2);
  LinearElasticMaterial model(&record);
  model.matStatusNum = 3;
  model.createStatusArrayCpu();
  ASSERT_NE(model.matStatusArrayCpu_, nullptr);
  GaussPoint gp;
  gp.matStatusIndex_ = 2;
  model.linkMatStatuToGaussPoint(&gp, model.matStatusArrayCpu_);
  EXPECT_EQ(gp.matStatus_, static_cast<ElasticMaterialStatus*>(model.matStatusArrayCpu_) + 2);
  model.createMaterialStatusInstance(&gp);
  ASSERT_NE(gp.matStatus_, nullptr);
  EXPECT_EQ(gp.matStatus_->stress[0], 0.0);
  delete static_cast<ElasticMaterialStatus*>(gp.matStatus_);
  model.copyStatusArrayToGpu(1);
  EXPECT_NE(model.matStatusArrayGpu_[1], nullptr);
  EXPECT_EQ(model.matStatusArrayGpu_[0], nullptr);
}

TEST(LinearElastic, ModelsWithoutAnUpdateReportAndLeaveTheStress) {
  Material record = makeSteelRecord(0);
  const NullMaterial null(&record);
  record.discrete_stiffness[5] = 7.0;
  const LinearStiffnessMaterial66 beam(&record);
  EXPECT_EQ(beam.stiffness[5], 7.0);
  PointWithState<ElasticMaterialStatus> p;
  double stress[6] = {1, 2, 3, 4, 5, 6};
  double d[6] = {1e-3, 0, 0, 0, 0, 0};
  testing::internal::CaptureStdout();
  null.computeStressMatrixPlaneStress(&p.gp, stress, d, nullptr, 1e-6);
  beam.computeStressMatrixPlaneStress(&p.gp, stress, d, nullptr, 1e-6);
  fflush(stdout);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "here not executed\nhere not executed\n");
  EXPECT_EQ(stress[0], 1.0);
  EXPECT_EQ(p.status.strain[0], 0.0);
}
