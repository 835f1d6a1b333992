#include "core/section.h"

#include <cmath>

namespace {
// The tube formulas use this value of pi, not the full-precision one.
constexpr double kSectionPi = 3.1415926;

// Torsion constant of a solid rectangle with sides a >= b (Roark):
// a b^3 (1/3 - 0.21 (b/a) (1 - b^4 / (12 a^4))).
double rectangleTorsionConstant(double s, double t) {
  const double a = s > t ? s : t;
  const double b = s > t ? t : s;
  if (!(a > 0.0)) return 0.0;
  const double r = b / a;
  return a * b * b * b * (1.0 / 3.0 - 0.21 * r * (1.0 - r * r * r * r / 12.0));
}

}  // namespace

void Section::calRectangleProperties() {
  const double ts = outer_diameter[0];  // TS1: width along the local y (s) axis
  const double tt = inner_diameter[0];  // TT1: width along the local z (t) axis
  A = ts * tt;
  Iyy = ts * tt * tt * tt / 12.0;
  Izz = tt * ts * ts * ts / 12.0;
  J = rectangleTorsionConstant(ts, tt);
  As = (shear_factor > 0.0 ? shear_factor : 1.0) * A;
}

void Section::calBeamSectionProperty() {
  if (family_code != 2) return;
  if (element_formulation == 1 && shape_selector == 0.0) {
    calRectangleProperties();
    reserved[0] = reserved[1] = 0.0;
  } else if (element_formulation == 1) {
    const double dOut = outer_diameter[0];
    const double dIn = inner_diameter[0];
    A = (dOut * dOut - dIn * dIn) * kSectionPi * 0.25;
    if (shape_selector == 1.0) {
      const double I = (dOut * dOut * dOut * dOut - dIn * dIn * dIn * dIn) * kSectionPi * 0.015625;
      Iyy = I;
      Izz = I;
      J = 2.0 * I;
      // The shear area: SHRF times the whole area (SHRF 1.0 when not given).
      const double shrf = shear_factor > 0.0 ? shear_factor : 1.0;
      As = shrf *
           (dIn != 0.0 ? (dIn + dOut) * kSectionPi * 0.5 * (dOut - dIn) * 0.5 : dOut * dOut * kSectionPi * 0.5 * 0.5);
    }
    reserved[0] = reserved[1] = 0.0;
  } else if (element_formulation == 2) {
    // Area and shear area as the resultant card gives them (fields 1 and 5).
    A = beam_type2_values[0];
    As = beam_type2_values[1];
    Iyy = given_Iyy;
    Izz = given_Izz;
    J = given_J > 0.0 ? given_J : Iyy + Izz;
    reserved[0] = reserved[1] = 0.0;
  } else if (element_formulation == 5) {
    A = beam_type2_values[0];  // truss card field 1
  }
}

// A tube takes 3, 6 or 9 points when the card's quadrature field (field 4)
// asks for that many, else one point at the centre.  The points lie evenly
// on the centre line of the wall, radius (do + di) / 4, from angle 0.
void Section::setIntegrationPoints() {
  if (family_code != 2 || shape_selector != 1.0) return;
  const int asked = static_cast<int>(beam_card1_value4);
  point_count = asked == 3 || asked == 6 || asked == 9 ? asked : 1;
  if (point_count == 1) {
    point_y[0] = 0.0;
    point_z[0] = 0.0;
    return;
  }
  const double r = (outer_diameter[0] + inner_diameter[0]) / 4.0;
  for (int i = 0; i < point_count; ++i) {
    const double angle = 2.0 * std::acos(-1.0) * i / point_count;
    point_y[i] = r * std::cos(angle);
    point_z[i] = r * std::sin(angle);
  }
}

void Section::setDefaultValue() {
  if (element_formulation == 8 && formulation8_value == 0.0) formulation8_value = 0.1;
}
