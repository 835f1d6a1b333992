#include "core/section.h"

namespace {
// The tube formulas use this value of pi, not the full-precision one.
constexpr double kSectionPi = 3.1415926;
}  // namespace

void Section::calBeamSectionProperty() {
  if (family_code != 2) return;
  if (element_formulation == 1) {
    const double dOut = outer_diameter[0];
    const double dIn = inner_diameter[0];
    A = (dOut * dOut - dIn * dIn) * kSectionPi * 0.25;
    if (shape_selector == 1.0) {
      const double I = (dOut * dOut * dOut * dOut - dIn * dIn * dIn * dIn) * kSectionPi * 0.015625;
      Iyy = I;
      Izz = I;
      J = 2.0 * I;
      As = dIn != 0.0 ? (dIn + dOut) * kSectionPi * 0.5 * (dOut - dIn) * 0.5 : dOut * dOut * kSectionPi * 0.5 * 0.5;
    }
    reserved[0] = reserved[1] = 0.0;
  } else if (element_formulation == 2) {
    Iyy = given_Iyy;
    Izz = given_Izz;
    J = given_J > 0.0 ? given_J : Iyy + Izz;
    reserved[0] = reserved[1] = 0.0;
  }
}

void Section::setIntegrationPoints() {
  if (family_code != 2 || shape_selector != 1.0) return;
  point_count = 1;
  point_y[0] = 0.0;
  point_z[0] = 0.0;
}

void Section::setDefaultValue() {
  if (element_formulation == 8 && formulation8_value == 0.0) formulation8_value = 0.1;
}
