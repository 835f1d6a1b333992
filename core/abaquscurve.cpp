#include "core/abaquscurve.h"

#include <cmath>

double DecayCurve::value(double t) const {
  if (t >= t0) return A0 + A * std::exp(-(t - t0) / td);
  return A0;
}

double ModulateCurve::value(double t) const {
  if (t > t0) return A0 + A * std::sin(w1 * (t - t0)) * std::sin(w2 * (t - t0));
  return A0;
}

double PeriodicCurve::value(double t) const {
  if (!(t >= t0) || N < 1) return A0;
  const int terms = N < kAmplitudeTermMax ? N : kAmplitudeTermMax;
  double sum = A0;
  for (int n = 1; n <= terms; ++n) {
    const double phase = n * w * (t - t0);
    sum += A[n - 1] * std::cos(phase) + B[n - 1] * std::sin(phase);
  }
  return sum;
}

double SmoothStepCurve::value(double time) const {
  const int n = N < 0 ? 0 : (N > kAmplitudeTermMax ? kAmplitudeTermMax : N);
  int i = n < 2 ? 0 : n - 1;
  for (int k = 0; k + 1 < n; ++k) {
    if (t[k] <= time && time < t[k + 1]) {
      i = k;
      break;
    }
  }
  // Past the last point the partner is (0, 0), as for tabulated curves.
  const double t1 = i + 1 < n ? t[i + 1] : 0.0;
  const double a1 = i + 1 < n ? a[i + 1] : 0.0;
  const double width = t1 - t[i];
  if (width == 0.0) return a[i];
  const double xi = (time - t[i]) / width;
  return a[i] + (a1 - a[i]) * xi * xi * xi * (10.0 - 15.0 * xi + 6.0 * xi * xi);
}
