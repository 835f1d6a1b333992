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
  return {};
}
