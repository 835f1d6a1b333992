// Shared set-up of the material tests: steel-like records and one
// integration point with its own state record.
#pragma once
#include <cmath>

#include "elements/common/gausspoint.h"
#include "materials/material.h"
#include "materials/materialstatus.h"

inline Material makeSteelRecord(int type, int id = 1) {
  Material m;
  m.id = id;
  m.type = type;
  m.youngs_modulus = 200e9;
  m.poissons_ratio = 0.3;
  m.density = 7800.0;
  m.yield_stress = 250e6;
  m.tangent_modulus = 2e9;
  m.hardening_parameter = 1.0;  // isotropic hardening
  m.plastic_model = 0;
  m.calMaterialConstants();
  m.computeWaveNumber();
  return m;
}

// Yield at 250 MPa, a plateau to a plastic strain of 0.001, a rise to 500 MPa
// over 1e-6 and a plateau again: a table with a steep stretch between two
// plateaus.
inline Material makeSteepTableRecord(int type) {
  Material m = makeSteelRecord(type);
  m.plastic_model = 4;
  m.table_count = 4;
  const double strain[4] = {0.0, 0.001, 0.001001, 0.2}, stress[4] = {250e6, 250e6, 500e6, 500e6};
  for (int i = 0; i < 4; ++i) {
    m.table_strain[i] = strain[i];
    m.table_stress[i] = stress[i];
  }
  m.calMaterialConstants();
  return m;
}

// One integration point linked to a state record the test owns.
template <typename Status>
struct PointWithState {
  Status status;
  GaussPoint gp;
  PointWithState() { gp.setMatStatusPtr(&status); }
};

// Von Mises stress of a full 3x3 stress matrix.
inline double vonMises(const double S[3][3]) {
  const double p = (S[0][0] + S[1][1] + S[2][2]) / 3.0;
  double sum = 0.0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const double s = S[i][j] - (i == j ? p : 0.0);
      sum += s * s;
    }
  return std::sqrt(1.5 * sum);
}
