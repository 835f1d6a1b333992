#include "core/curve.h"

Curve::Curve(double xScale, double yScale, double xOffset, int cardType)
    : CurveData(xScale, yScale, xOffset, cardType) {}

Curve::Curve(const Curve& other)
    : CurveData(other),
      name(other.name),
      amplitude(other.amplitude ? other.amplitude->clone() : nullptr),
      all_x(other.all_x),
      all_y(other.all_y) {}

Curve& Curve::operator=(const Curve& other) {
  if (this != &other) {
    CurveData::operator=(other);
    name = other.name;
    amplitude = other.amplitude ? other.amplitude->clone() : nullptr;
    all_x = other.all_x;
    all_y = other.all_y;
  }
  return *this;
}

double Curve::returnValue(double t) const {
  if (amplitude) return amplitude->value(t);
  if (!all_x.empty()) return interpolatePoints(all_x.data(), all_y.data(), static_cast<int>(all_x.size()), t);
  return interpolate(t);
}

void Curve::addPoint(double xValue, double yValue) {
  if (all_x.empty() && count < kCurvePointMax) {
    x[count] = xValue;
    y[count] = yValue;
    ++count;
    return;
  }
  if (all_x.empty()) {
    all_x.assign(x, x + count);
    all_y.assign(y, y + count);
  }
  all_x.push_back(xValue);
  all_y.push_back(yValue);
}

void Curve::zeroFill() {
  CurveData& plain = *this;
  plain = CurveData(0.0, 0.0, 0.0, 0);
  name.clear();
  amplitude.reset();
  all_x.clear();
  all_y.clear();
}
