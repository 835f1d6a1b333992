#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "materials/lowdensityfoam.h"
#include "materials/mooneyrivlinmaterial.h"
#include "materialTestHelpers.h"

namespace {
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
  EXPECT_NEAR(p.status.H[0], 1.01 * 1.01 - 1.0, 1e-15);
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
}
