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
  if (n == 0) return 0.0;
  // Before the first point and after the last the amplitude holds its end
  // values, as a tabulated curve does.
  if (n == 1 || time < t[0]) return a[0];
  if (time >= t[n - 1]) return a[n - 1];
  for (int k = 0; k + 1 < n; ++k) {
    if (t[k] <= time && time < t[k + 1]) {
      const double xi = (time - t[k]) / (t[k + 1] - t[k]);
      return a[k] + (a[k + 1] - a[k]) * xi * xi * xi * (10.0 - 15.0 * xi + 6.0 * xi * xi);
    }
  }
  return a[n - 1];
}
