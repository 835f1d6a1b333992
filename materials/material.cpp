#include "materials/material.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/curvemanager.h"

void Material::clear() {
  // The record is trivially copyable and every field is zero when all its
  // bytes are.
  std::memset(static_cast<void*>(this), 0, sizeof(Material));
}

void Material::copyStressStrainCurve(const Curve* curve) {
  if (curve == nullptr) {
    printf("材料 %d 的应力应变曲线 %d 不存在\n", id, curve_id);
    return;
  }
  int n = curve->count;
  if (n < 0) n = 0;
  if (n > kMaterialTablePointMax) n = kMaterialTablePointMax;
  table_count = n;
  for (int i = 0; i < n; ++i) {
    table_strain[i] = curve->x[i];
    table_stress[i] = curve->y[i];
  }
}

void Material::copyInputPoints() {
  int n = 0;
  for (int i = 0; i < kMaterialInputPointNum; ++i) {
    if (input_strain_points[i] != 0.0 || input_stress_points[i] != 0.0) n = i + 1;
  }
  table_count = n;
  for (int i = 0; i < n; ++i) {
    table_strain[i] = input_strain_points[i];
    table_stress[i] = input_stress_points[i];
  }
}

void Material::deriveMooneyRivlinModuli() {
  const double c1 = mooney_rivlin_constants[0], c2 = mooney_rivlin_constants[1], c3 = mooney_rivlin_constants[2];
  const double mu = 2.0 * (c1 + c2);
  const double lambda = 4.0 * (c2 + c3);
  if (!mooneyRivlinModuliValid()) {
    youngs_modulus = 0.0;
    poissons_ratio = 0.0;
    return;
  }
  youngs_modulus = mu * (3.0 * lambda + 2.0 * mu) / (lambda + mu);
  poissons_ratio = lambda / (2.0 * (lambda + mu));
}

bool Material::mooneyRivlinModuliValid() const {
  const double c1 = mooney_rivlin_constants[0], c2 = mooney_rivlin_constants[1], c3 = mooney_rivlin_constants[2];
  const double mu = 2.0 * (c1 + c2);
  const double bulk = 4.0 * (c2 + c3) + 2.0 * mu / 3.0;
  return std::isfinite(mu) && std::isfinite(bulk) && mu > 0.0 && bulk > 0.0;
}

void Material::calMaterialConstants() {
  if (type == 8) deriveMooneyRivlinModuli();
  const double E = youngs_modulus;
  const double nu = poissons_ratio;
  if (type == 4) {
    switch (plastic_model) {
      case 0:
        hardening_modulus = E * tangent_modulus / (E - tangent_modulus);
        break;
      case 2:
        yield_stress = power_law_k / std::pow(1.0 / power_law_eps0, power_law_n);
        break;
      case 4: {
        if (yield_stress == 0.0) yield_stress = table_stress[0];
        // A table of fewer than two points has no first segment: no slope.
        if (table_count >= 2 && table_strain[1] != table_strain[0]) {
          const double slope = (table_stress[1] - table_stress[0]) / (table_strain[1] - table_strain[0]);
          hardening_modulus = slope;
          tangent_modulus = E * slope / (E + slope);
        }
        break;
      }
      default:
        break;
    }
  }
  shear_modulus = E / (2.0 * (1.0 + nu));
  bulk_modulus = E / (3.0 * (1.0 - 2.0 * nu));

  std::memset(plane_stress_matrix, 0, sizeof(plane_stress_matrix));
  plane_stress_matrix[0][0] = plane_stress_matrix[1][1] = E / (1.0 - nu * nu);
  plane_stress_matrix[0][1] = plane_stress_matrix[1][0] = nu * E / (1.0 - nu * nu);
  plane_stress_matrix[2][2] = E / (2.0 * (1.0 + nu));

  std::memset(transverse_shear_matrix, 0, sizeof(transverse_shear_matrix));
  transverse_shear_matrix[0][0] = transverse_shear_matrix[1][1] = shear_modulus;

  std::memset(elastic_matrix, 0, sizeof(elastic_matrix));
  const double c11 = E * (1.0 - nu) / ((1.0 + nu) * (1.0 - 2.0 * nu));
  const double c12 = c11 * nu / (1.0 - nu);
  const double c44 = (1.0 - 2.0 * nu) * c11 / (2.0 * (1.0 - nu));
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) elastic_matrix[i][j] = i == j ? c11 : c12;
    elastic_matrix[i + 3][i + 3] = c44;
  }
}

namespace {
// Copies the curve of curveId into slot; an id naming no curve is reported
// and the slot left as it is.
void copyCurveById(int materialId, int curveId, CurveManager* curveManager, CurveData& slot) {
  const Curve* curve = curveManager != nullptr ? curveManager->findCurveById(curveId) : nullptr;
  if (curve == nullptr) {
    printf("材料 %d 引用的曲线 %d 不存在\n", materialId, curveId);
    return;
  }
  slot = curve->data();
}
}  // namespace

void Material::copyLinkedCurves(CurveManager* curveManager) {
  if (type == 7) {
    for (int i = 0; i < kMaterialLinkedCurveNum; ++i) {
      if (curve_ids[i] > 0) copyCurveById(id, curve_ids[i], curveManager, linked_curves[i]);
    }
  } else if (type == 9) {
    // The foam's loading and unloading curves are read into the curve
    // manager; the record carries copies for the model.
    if (loading_curve_id > 0) copyCurveById(id, loading_curve_id, curveManager, loading_curve);
    if (unloading_curve_id > 0) copyCurveById(id, unloading_curve_id, curveManager, unloading_curve);
  }
}

void Material::computeWaveNumber() {
  wave_speed[0] = solidWaveSpeed(youngs_modulus, poissons_ratio, density);
  wave_speed[1] = plateWaveSpeed(youngs_modulus, poissons_ratio, density);
  wave_speed[2] = barWaveSpeed(youngs_modulus, density);
}
