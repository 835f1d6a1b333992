// Analytic amplitudes of .inp decks.  A Curve that holds one returns the
// amplitude's value instead of interpolating its own points.  Host only.
#pragma once
#include <memory>

constexpr int kAmplitudeTermMax = 128;

class AbaqusCurve {
 public:
  double scale1 = 1.0;  // scale factors: kept, not applied by the evaluation
  double scale2 = 1.0;
  double reserved1 = 0.0;
  double reserved2 = 0.0;
  double lastValue = 0.0;  // value at the time of the last update

  AbaqusCurve() = default;
  virtual void update(double t) { lastValue = value(t); }
  virtual double value(double t) const = 0;
  virtual void value(double t, double* out) const { *out = value(t); }
  virtual ~AbaqusCurve() = default;
  // An owned copy of the same kind, so that curves can be copied safely.
  virtual std::unique_ptr<AbaqusCurve> clone() const = 0;
};

// The copy of each amplitude kind, written once: a kind derives from
// AmplitudeKind<itself>.
template <class Kind>
class AmplitudeKind : public AbaqusCurve {
 public:
  std::unique_ptr<AbaqusCurve> clone() const override {
    return std::make_unique<Kind>(static_cast<const Kind&>(*this));
  }
};

// t >= t0: A0 + A exp(-(t - t0)/td); otherwise A0.
class DecayCurve : public AmplitudeKind<DecayCurve> {
 public:
  double A0 = 0.0, A = 0.0, td = 0.0, t0 = 0.0;
  using AbaqusCurve::value;
  double value(double t) const override;
};

// t > t0: A0 + A sin(w1 (t - t0)) sin(w2 (t - t0)); otherwise A0.
class ModulateCurve : public AmplitudeKind<ModulateCurve> {
 public:
  double A0 = 0.0, A = 0.0, t0 = 0.0, w1 = 0.0, w2 = 0.0;
  using AbaqusCurve::value;
  double value(double t) const override;
};

// t >= t0: A0 + sum_{n=1..N} A[n-1] cos(n w (t - t0)) + B[n-1] sin(n w (t - t0)).
class PeriodicCurve : public AmplitudeKind<PeriodicCurve> {
 public:
  int N = 0;  // number of terms, at most kAmplitudeTermMax
  double A0 = 0.0;
  double A[kAmplitudeTermMax] = {};
  double B[kAmplitudeTermMax] = {};
  double w = 0.0;
  double t0 = 0.0;
  using AbaqusCurve::value;
  double value(double t) const override;
};

// Fifth-order smooth step between consecutive points (t[i], a[i]).
class SmoothStepCurve : public AmplitudeKind<SmoothStepCurve> {
 public:
  int N = 0;  // number of points, at most kAmplitudeTermMax
  double t[kAmplitudeTermMax] = {};
  double a[kAmplitudeTermMax] = {};
  using AbaqusCurve::value;
  double value(double time) const override;
};
