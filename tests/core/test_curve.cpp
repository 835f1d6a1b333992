#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/curvemanager.h"

namespace {
Curve makeCurve(int id, std::initializer_list<std::pair<double, double>> points) {
  Curve c(1.0, 1.0, 0.0, 0);
  c.id = id;
  for (const auto& [x, y] : points) {
    c.x[c.count] = x;
    c.y[c.count] = y;
    ++c.count;
  }
  return c;
}
}  // namespace

TEST(Curve, InterpolatesAndHoldsItsEndValues) {
  const Curve c = makeCurve(1, {{0, 0}, {1, 10}});
  EXPECT_DOUBLE_EQ(c.returnValue(0.5), 5.0);
  EXPECT_DOUBLE_EQ(c.returnValue(1.0), 10.0);
  // After the last point the last value holds.
  EXPECT_DOUBLE_EQ(c.returnValue(2.0), 10.0);
  EXPECT_DOUBLE_EQ(c.returnValue(1e6), 10.0);
  // Before the first point the first value holds.
  const Curve d = makeCurve(2, {{1, 10}, {2, 30}});
  EXPECT_DOUBLE_EQ(d.returnValue(0.5), 10.0);
  EXPECT_DOUBLE_EQ(d.returnValue(-3.0), 10.0);
  // A one-point curve is a constant.
  const Curve e = makeCurve(3, {{2, 4}});
  EXPECT_DOUBLE_EQ(e.returnValue(1.0), 4.0);
  EXPECT_DOUBLE_EQ(e.returnValue(5.0), 4.0);
}

TEST(Curve, SharedAbscissaTakesTheEarlierIntervalAndZeroWidthGivesItsOrdinate) {
  const Curve c = makeCurve(1, {{0, 0}, {1, 10}, {1, 20}, {2, 30}});
  EXPECT_DOUBLE_EQ(c.returnValue(1.0), 10.0);
  EXPECT_DOUBLE_EQ(c.returnValue(1.5), 25.0);
  // A step whose first interval is empty: never 0/0.
  const Curve step = makeCurve(2, {{0, 5}, {0, 7}});
  EXPECT_DOUBLE_EQ(step.returnValue(0.0), 5.0);
  // A step at the last abscissa: the earlier interval at the step, the
  // last value after it.
  const Curve end = makeCurve(3, {{0, 0}, {1, 10}, {1, 20}});
  EXPECT_DOUBLE_EQ(end.returnValue(1.0), 10.0);
  EXPECT_DOUBLE_EQ(end.returnValue(1.5), 20.0);
  EXPECT_FALSE(std::isnan(Curve(1.0, 1.0, 0.0, 0).returnValue(1.0)));
}

TEST(Curve, FullTableHoldsWithoutReadingPastItsPoints) {
  Curve c(1.0, 1.0, 0.0, 0);
  c.count = kCurvePointMax;
  for (int i = 0; i < kCurvePointMax; ++i) {
    c.x[i] = 1.0 + i;
    c.y[i] = 2.0 * (1.0 + i);
  }
  EXPECT_DOUBLE_EQ(c.returnValue(10.5), 21.0);
  // Past the table: its last value.
  EXPECT_DOUBLE_EQ(c.returnValue(200.0), 256.0);
  // A count beyond the arrays is clamped.
  c.count = 100000;
  EXPECT_DOUBLE_EQ(c.returnValue(10.5), 21.0);
}

TEST(Curve, AttachedAmplitudeWinsAndCopiesOwnTheirAmplitude) {
  Curve c = makeCurve(7, {{0, 0}, {1, 10}});
  auto decay = std::make_unique<DecayCurve>();
  decay->A0 = 1;
  decay->A = 2;
  decay->td = 1;
  c.amplitude = std::move(decay);
  EXPECT_DOUBLE_EQ(c.returnValue(0.0), 3.0);
  EXPECT_DOUBLE_EQ(c.returnValue(-1.0), 1.0);

  auto copy = std::make_unique<Curve>(c);
  ASSERT_NE(copy->amplitude, nullptr);
  EXPECT_NE(copy->amplitude.get(), c.amplitude.get());
  static_cast<DecayCurve*>(c.amplitude.get())->A0 = 100;
  EXPECT_DOUBLE_EQ(copy->returnValue(-1.0), 1.0);
  Curve assigned;
  assigned = *copy;
  copy.reset();  // the assigned copy must not depend on the destroyed one
  EXPECT_DOUBLE_EQ(assigned.returnValue(0.0), 3.0);

  // Curves grow in a vector by copy or move without losing their amplitude.
  CurveManager manager;
  for (int i = 0; i < 20; ++i) manager.addCurve(c);
  EXPECT_EQ(manager.curve_num, 20);
  EXPECT_DOUBLE_EQ(manager.curve_array[3].returnValue(-1.0), 100.0);

  c.zeroFill();
  EXPECT_EQ(c.amplitude, nullptr);
  EXPECT_EQ(c.x_scale, 0.0);
  EXPECT_EQ(c.returnValue(1.0), 0.0);
}

TEST(Curve, AmplitudeKindsAtSampleTimes) {
  ModulateCurve mod;
  mod.A0 = 2;
  mod.A = 1;
  mod.t0 = 1;
  mod.w1 = 3;
  mod.w2 = 5;
  EXPECT_DOUBLE_EQ(mod.value(1.0), 2.0);
  EXPECT_DOUBLE_EQ(mod.value(1.5), 2.0 + std::sin(1.5) * std::sin(2.5));

  PeriodicCurve per;
  per.A0 = 4;
  per.w = 2;
  EXPECT_DOUBLE_EQ(per.value(0.3), 4.0);  // N = 0
  per.N = 2;
  per.A[0] = 1;
  per.B[1] = 0.5;
  EXPECT_DOUBLE_EQ(per.value(0.3), 4.0 + std::cos(0.6) + 0.5 * std::sin(1.2));
  EXPECT_DOUBLE_EQ(per.value(-0.1), 4.0);

  SmoothStepCurve step;
  step.N = 2;
  step.t[1] = 1;
  step.a[1] = 1;
  EXPECT_DOUBLE_EQ(step.value(0.5), 0.5);
  EXPECT_DOUBLE_EQ(step.value(0.25), 0.103515625);
  EXPECT_DOUBLE_EQ(step.value(1.0), 1.0);
  // The smooth step holds its end values too.
  EXPECT_DOUBLE_EQ(step.value(3.0), 1.0);
  step.a[0] = 2.0;
  step.t[0] = 0.5;
  step.t[1] = 1.0;
  EXPECT_DOUBLE_EQ(step.value(0.1), 2.0);

  DecayCurve decay;
  decay.A0 = 1;
  decay.A = 2;
  decay.td = 1;
  EXPECT_DOUBLE_EQ(decay.value(std::nan("")), 1.0);
  double out = 0;
  decay.value(1.0, &out);
  EXPECT_DOUBLE_EQ(out, 1.0 + 2.0 * std::exp(-1.0));
  decay.update(0.0);
  EXPECT_DOUBLE_EQ(decay.lastValue, 3.0);
}

TEST(CurveManager, FindsByIdAndRefreshesValues) {
  CurveManager manager;
  manager.addCurve(makeCurve(2, {{0, 0}, {1, 10}}));
  manager.addCurve(makeCurve(5, {{0, 1}, {1, 1}}));
  manager.addCurve(makeCurve(2, {{0, 7}, {1, 7}}));  // repeated id: the first stays
  manager.buildCurveMap();
  ASSERT_NE(manager.findCurveById(2), nullptr);
  EXPECT_EQ(manager.findCurveById(2), &manager.curve_array[0]);
  EXPECT_EQ(manager.findCurveById(0), nullptr);
  EXPECT_EQ(manager.findCurveById(99), nullptr);
  manager.updateCurveValues(0.5);
  ASSERT_EQ(manager.curveValues.size(), 3u);
  EXPECT_DOUBLE_EQ(manager.curveValues[0], 5.0);
  EXPECT_DOUBLE_EQ(manager.curveValues[1], 1.0);
  EXPECT_DOUBLE_EQ(manager.curveValues[2], 7.0);
}
