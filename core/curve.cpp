#include "core/curve.h"

Curve::Curve(double xScale, double yScale, double xOffset, int cardType)
    : CurveData(xScale, yScale, xOffset, cardType) {}

Curve::Curve(const Curve& other)
    : CurveData(other), name(other.name), amplitude(other.amplitude ? other.amplitude->clone() : nullptr) {}

Curve& Curve::operator=(const Curve& other) {
  if (this != &other) {
    CurveData::operator=(other);
    name = other.name;
    amplitude = other.amplitude ? other.amplitude->clone() : nullptr;
  }
  return *this;
}

double Curve::returnValue(double t) const {
  if (amplitude) return amplitude->value(t);
  return interpolate(t);
}

void Curve::zeroFill() {
  CurveData& plain = *this;
  plain = CurveData(0.0, 0.0, 0.0, 0);
  name.clear();
  amplitude.reset();
}
