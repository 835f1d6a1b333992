#include "materials/materialValidation.h"

#include <cmath>
#include <cstdio>

#include "materials/material.h"
#include "materials/materialnew.h"

namespace {

// Model codes of the discrete-element cards (linear and general 6-DOF
// discrete beams, viscous damper, nonlinear plastic discrete beam): their
// stiffness comes from other fields.
bool isDiscreteModel(int type) { return type == 6 || type == 7 || type == 11 || type == 12; }

std::string describe(const char* what, double value, const char* rule) {
  char text[160];
  snprintf(text, sizeof(text), "%s %g %s", what, value, rule);
  return text;
}

// Hardening data whose radial return has a sound answer: a positive initial
// yield stress; a tangent modulus from 0 up to (not including) Young's
// modulus, whose hardening modulus E Et / (E - Et) is then finite and not
// negative; a stress-strain table that starts at plastic strain 0 and
// ascends, whose segments do not fall as fast as 3G (the Newton step of the
// return divides by 2G + 2H/3).
std::string elasticPlasticProblem(const Material& m) {
  if (!std::isfinite(m.yield_stress) || !(m.yield_stress > 0.0))
    return describe("yield stress", m.yield_stress, "is not a positive finite number");
  if (m.plastic_model == 0) {
    const double Et = m.tangent_modulus;
    if (!std::isfinite(Et) || Et < 0.0 || !(Et < m.youngs_modulus))
      return describe("tangent modulus", Et, "is not a finite number of at least 0 and below Young's modulus");
    return {};
  }
  if (m.plastic_model != 4) return {};
  const int n = m.table_count < kMaterialTablePointMax ? m.table_count : kMaterialTablePointMax;
  const double threeG = 3.0 * m.youngs_modulus / (2.0 * (1.0 + m.poissons_ratio));
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(m.table_strain[i]) || !std::isfinite(m.table_stress[i]) || m.table_strain[i] < 0.0)
      return describe("stress-strain point at plastic strain", m.table_strain[i],
                      "is not a pair of finite numbers with a plastic strain of at least 0");
    if (i == 0) {
      // Below its first point the table gives no flow stress: the return
      // would iterate across a jump.
      if (m.table_strain[0] != 0.0)
        return describe("stress-strain table starts at plastic strain", m.table_strain[0], "instead of 0");
      continue;
    }
    if (!(m.table_strain[i] > m.table_strain[i - 1]))
      return describe("stress-strain plastic strain", m.table_strain[i], "does not ascend");
    const double slope = (m.table_stress[i] - m.table_stress[i - 1]) / (m.table_strain[i] - m.table_strain[i - 1]);
    if (!(slope > -threeG)) return describe("stress-strain curve falls with a slope of", slope, "(3G or steeper)");
  }
  return {};
}

}  // namespace

std::string materialDataProblem(const Material& m) {
  if (isDiscreteModel(m.type)) return {};
  if (m.type == MT_NULL) {
    if (!std::isfinite(m.density) || m.density < 0.0)
      return describe("density", m.density, "is not a finite number of at least 0");
    return {};
  }
  if (!std::isfinite(m.density) || !(m.density > 0.0))
    return describe("density", m.density, "is not a positive finite number");
  // The Mooney-Rivlin card has no Young's modulus.
  if (m.type != MT_MOONEY_RIVLIN && (!std::isfinite(m.youngs_modulus) || !(m.youngs_modulus > 0.0)))
    return describe("Young's modulus", m.youngs_modulus, "is not a positive finite number");
  // The low-density foam card has no Poisson ratio.
  const double nu = m.poissons_ratio;
  if (m.type != MT_LOW_DENSITY_FOAM && (!std::isfinite(nu) || !(nu > -1.0 && nu < 0.5)))
    return describe("Poisson ratio", nu, "is not a finite number between -1 and 0.5 (both excluded)");
  if (m.type == MT_ELASTIC_PLASTIC) return elasticPlasticProblem(m);
  return {};
}
