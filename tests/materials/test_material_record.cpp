#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>

#include "core/curvemanager.h"
#include "materials/material.h"
#include "materialTestHelpers.h"

TEST(MaterialRecord, DerivedConstantsOfSteel) {
  const Material m = makeSteelRecord(2);
  const double E = 200e9, nu = 0.3, rho = 7800.0;
  EXPECT_DOUBLE_EQ(m.shear_modulus, E / 2.6);
  EXPECT_DOUBLE_EQ(m.bulk_modulus, E / 1.2);
  const double c11 = E * 0.7 / (1.3 * 0.4);
  EXPECT_NEAR(m.elastic_matrix[0][0], 269.2307692e9, 1e3);
  EXPECT_DOUBLE_EQ(m.elastic_matrix[2][2], c11);
  EXPECT_DOUBLE_EQ(m.elastic_matrix[0][1], c11 * nu / 0.7);
  EXPECT_NEAR(m.elastic_matrix[1][2], 115.3846154e9, 1e3);
  EXPECT_NEAR(m.elastic_matrix[3][3], 76.92307692e9, 1e3);
  EXPECT_NEAR(m.elastic_matrix[3][3], m.shear_modulus, 1e-3);
  EXPECT_EQ(m.elastic_matrix[0][3], 0.0);
  EXPECT_EQ(m.elastic_matrix[3][4], 0.0);
  EXPECT_DOUBLE_EQ(m.plane_stress_matrix[0][0], E / 0.91);
  EXPECT_DOUBLE_EQ(m.plane_stress_matrix[1][0], nu * E / 0.91);
  EXPECT_DOUBLE_EQ(m.transverse_shear_matrix[1][1], m.shear_modulus);
  EXPECT_EQ(m.transverse_shear_matrix[0][1], 0.0);
  EXPECT_NEAR(m.wave_speed[0], 5875.0, 1.0);  // sqrt(C11 / rho)
  EXPECT_DOUBLE_EQ(m.wave_speed[0], std::sqrt(c11 / rho));
  EXPECT_DOUBLE_EQ(m.wave_speed[1], std::sqrt(E / (0.91 * rho)));
  EXPECT_DOUBLE_EQ(m.wave_speed[2], std::sqrt(E / rho));
  EXPECT_NEAR(m.wave_speed[2], 5063.7, 0.1);
  EXPECT_EQ(m.wave_speed[3], 0.0);
  // An elastic record keeps its plastic fields.
  EXPECT_EQ(m.hardening_modulus, 0.0);
}

TEST(MaterialRecord, HardeningDataByPlasticModel) {
  Material linear = makeSteelRecord(4);
  EXPECT_DOUBLE_EQ(linear.hardening_modulus, 200e9 * 2e9 / 198e9);

  Material table = makeSteelRecord(4);
  table.yield_stress = 0.0;
  table.plastic_model = 4;
  Curve curve(1.0, 1.0, 0.0, 0);
  curve.count = 3;
  const double strain[3] = {0.0, 0.1, 1.0}, stress[3] = {250e6, 300e6, 310e6};
  for (int i = 0; i < 3; ++i) {
    curve.x[i] = strain[i];
    curve.y[i] = stress[i];
  }
  table.copyStressStrainCurve(&curve);
  table.calMaterialConstants();
  EXPECT_EQ(table.table_count, 3);
  EXPECT_EQ(table.table_stress[2], 310e6);
  EXPECT_EQ(table.yield_stress, 250e6);
  EXPECT_DOUBLE_EQ(table.hardening_modulus, 500e6);
  EXPECT_DOUBLE_EQ(table.tangent_modulus, 200e9 * 500e6 / (200e9 + 500e6));
  // A given yield stress stays.
  table.yield_stress = 240e6;
  table.calMaterialConstants();
  EXPECT_EQ(table.yield_stress, 240e6);
  // A missing curve leaves the table as it is.
  table.copyStressStrainCurve(nullptr);
  EXPECT_EQ(table.table_count, 3);

  Material power = makeSteelRecord(4);
  power.plastic_model = 2;
  power.power_law_k = 500e6;
  power.power_law_n = 0.2;
  power.power_law_eps0 = 0.01;
  power.calMaterialConstants();
  EXPECT_DOUBLE_EQ(power.yield_stress, 500e6 * std::pow(0.01, 0.2));
}

TEST(MaterialRecord, LinkedCurvesAreCopiedInPlaceForType7Only) {
  CurveManager curves;
  Curve c(1.0, 1.0, 0.0, 0);
  c.id = 11;
  c.count = 2;
  c.x[1] = 1.0;
  c.y[1] = 5.0;
  curves.addCurve(c);
  curves.buildCurveMap();

  Material m;
  m.type = 7;
  m.curve_ids[2] = 11;
  m.curve_ids[5] = 12;  // names no curve: reported, slot left as it is
  m.copyLinkedCurves(&curves);
  EXPECT_EQ(m.linked_curves[2].count, 2);
  EXPECT_EQ(m.linked_curves[2].y[1], 5.0);
  EXPECT_EQ(m.linked_curves[0].count, 0);
  EXPECT_EQ(m.linked_curves[5].count, 0);

  Material other;
  other.type = 2;
  other.curve_ids[0] = 11;
  other.copyLinkedCurves(&curves);
  EXPECT_EQ(other.linked_curves[0].count, 0);
}

TEST(MaterialRecord, IsPlainAndClearable) {
  static_assert(std::is_trivially_copyable_v<Material>);
  Material m = makeSteelRecord(2);
  m.name = "steel";
  Material copy = m;
  EXPECT_EQ(copy.name.str(), "steel");
  EXPECT_EQ(copy.linked_curves[0].x_scale, 1.0);
  m.clear();
  EXPECT_EQ(m.youngs_modulus, 0.0);
  EXPECT_TRUE(m.name.empty());
  EXPECT_EQ(m.spare_curve.x_scale, 0.0);
}

TEST(MaterialRecord, FoamCurvesReachTheRecordByTheirIds) {
  CurveManager curves;
  for (int id : {1, 2}) {
    Curve c(1.0, 1.0, 0.0, 0);
    c.id = id;
    c.count = 2;
    c.x[1] = 0.5;
    c.y[1] = 10.0 * id;
    curves.addCurve(c);
  }
  curves.buildCurveMap();
  Material foam;
  foam.type = 9;
  foam.loading_curve_id = 2;
  foam.unloading_curve_id = 1;
  foam.copyLinkedCurves(&curves);
  EXPECT_EQ(foam.loading_curve.y[1], 20.0);
  EXPECT_EQ(foam.unloading_curve.y[1], 10.0);
}
