// Load curves: a table of (x, y) points evaluated by linear interpolation,
// or the holder of an analytic amplitude. The plain record holds up to 128
// points; a longer curve keeps all of them beside it on the host.
#pragma once
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "core/abaquscurve.h"
#include "platform/gpuRuntime.h"

constexpr int kCurvePointMax = 128;

// The plain, trivially copyable part of a curve: its points and card values.
// Material records embed it, so it reaches the device with them.
struct CurveData {
  int count = 0;                  // points in use, at most kCurvePointMax
  double x[kCurvePointMax] = {};  // abscissae, ascending
  double y[kCurvePointMax] = {};  // ordinates
  int id = 0;
  // Values of the curve header card, kept as read; the evaluation does not
  // apply them.
  int curve_card_id = 0;
  int curve_card_flag = 0;
  int curve_card_type = 0;
  double x_scale = 1.0;
  double y_scale = 1.0;
  double x_offset = 0.0;
  double y_offset = 0.0;
  double currentValue = 0.0;  // last value stored by setValue

  __host__ __device__ CurveData() {}
  __host__ __device__ CurveData(double xScale, double yScale, double xOffset, int cardType)
      : curve_card_type(cardType), x_scale(xScale), y_scale(yScale), x_offset(xOffset) {}

  // Linear interpolation in the first interval [x_i, x_i+1] holding t (at
  // a shared abscissa the earlier interval wins; a zero-width interval
  // gives y_i). Before the first point the curve holds its first value,
  // after the last point its last value; a curve without points is 0.
  __host__ __device__ double interpolate(double t) const;
  __host__ __device__ void setValue(double t) { currentValue = interpolate(t); }
};
static_assert(std::is_trivially_copyable_v<CurveData>);

// The interpolation of CurveData::interpolate over n points x, y.
__host__ __device__ inline double interpolatePoints(const double* x, const double* y, int n, double t) {
  if (n <= 0) return 0.0;
  if (n == 1 || t < x[0]) return y[0];
  if (t > x[n - 1]) return y[n - 1];
  for (int k = 0; k + 1 < n; ++k) {
    if (x[k] <= t && t <= x[k + 1]) {
      const double width = x[k + 1] - x[k];
      if (width == 0.0) return y[k];
      return y[k] + (y[k + 1] - y[k]) * (t - x[k]) / width;
    }
  }
  // Only a time that compares with nothing (NaN) gets here.
  return y[n - 1];
}

__host__ __device__ inline double CurveData::interpolate(double t) const {
  return interpolatePoints(x, y, count < 0 ? 0 : (count > kCurvePointMax ? kCurvePointMax : count), t);
}

class Curve : public CurveData {
 public:
  std::string name;
  // Owned analytic amplitude; null for a tabulated curve.  Copies of the
  // curve get their own copy of the amplitude.
  std::unique_ptr<AbaqusCurve> amplitude;
  // Every point of a curve longer than the record holds; empty while the
  // record (its first kCurvePointMax points) holds the whole curve.
  std::vector<double> all_x;
  std::vector<double> all_y;

  Curve() = default;
  Curve(double xScale, double yScale, double xOffset, int cardType);
  Curve(const Curve& other);
  Curve& operator=(const Curve& other);
  Curve(Curve&&) noexcept = default;
  Curve& operator=(Curve&&) noexcept = default;
  virtual ~Curve() = default;

  // Value at t: the amplitude's when one is attached, else interpolated
  // over every point.
  double returnValue(double t) const;
  // Appends a point: into the record while it has room, and from then on
  // into the whole list beside it.
  void addPoint(double x, double y);
  // Number of points of the whole curve.
  int pointCount() const { return all_x.empty() ? count : static_cast<int>(all_x.size()); }
  // True when the record holds every point (a copy of the record, as a
  // material makes, is the whole curve).
  bool heldWhole() const { return all_x.empty(); }
  // Every field zero, name empty, no amplitude (the readers start curves so).
  void zeroFill();
  // The plain part, for embedding in a material record.
  const CurveData& data() const { return *this; }
};
