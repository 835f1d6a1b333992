// Hourglass records, their manager and the coefficients of both forms.
#include "tests/deviceTest.h"

#include <cmath>

#include "elements/common/hourglassControlManager.h"
#include "tests/elements/solid1st/solidTestModel.h"

DEVICE_TEST(Hourglass, DefaultRecordWhenNoneRead) {
  HourglassControlManager m;
  m.buildIdMap();
  ASSERT_EQ(m.hourglass_array_cpu.size(), 1u);
  const HourglassControl& h = m.hourglass_array_cpu[0];
  EXPECT_EQ(h.id, 1);
  EXPECT_EQ(h.type, 1);
  EXPECT_EQ(h.coefficient, 0.1);
  EXPECT_EQ(m.findHourglassById(1), &m.hourglass_array_cpu[0]);
  EXPECT_EQ(m.findHourglassById(2), nullptr);

  HourglassControlManager read;
  HourglassControl a;
  a.id = 3;
  a.type = 2;
  read.hourglass_array_cpu.push_back(a);
  read.buildIdMap();
  EXPECT_EQ(read.hourglass_array_cpu.size(), 1u);
  EXPECT_EQ(read.findHourglassById(3)->type, 2);

  read.allocateAndCopyGpu();
  HourglassControl back;
  back.id = 0;
  ASSERT_EQ(cudaMemcpy(&back, read.hourglass_array_gpu, sizeof(HourglassControl), cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(back.id, 3);
}

TEST(Hourglass, FormValues) {
  const double E = 210e9, nu = 0.3, rho = 7800.0, a = 2.5, V = 1e-3, dt = 1e-6;
  const double G = E / (2.0 * (1.0 + nu));
  const double c2 = G * (1.0 - nu) / ((0.5 - nu) * rho);

  // Forms 1-3: viscous, QM rho c V^(2/3) / 4.
  for (int form : {1, 2, 3}) {
    HourglassControl viscous;
    viscous.type = form;
    double out[4] = {-1.0, -1.0, -1.0, -1.0};
    viscous.computeHourglassValue(E, nu, rho, out, a, V, dt);
    EXPECT_NEAR(out[0], 0.1 * rho * std::sqrt(c2) * std::cbrt(V * V) / 4.0, 1e-12 * out[0]);
    EXPECT_EQ(out[1], -1.0);  // only the first value is written
  }

  // Forms 4 and 5: the accumulated stiffness form.
  HourglassControl stiffness;
  stiffness.type = 5;
  double out1[4] = {-1.0, -1.0, -1.0, -1.0};
  stiffness.computeHourglassValue(E, nu, rho, out1, a, V, dt);
  EXPECT_NEAR(out1[0], 0.1 * rho * c2 * a * dt / (24.0 * V), 1e-9 * out1[0]);
  EXPECT_EQ(out1[1], -1.0);

  // Form 6: the assumed-strain form, scaled by QM.
  HourglassControl form6;
  form6.type = 6;
  form6.coefficient = 0.5;
  double out2[4] = {};
  form6.computeHourglassValue(E, nu, rho, out2, a, V, dt);
  EXPECT_DOUBLE_EQ(out2[0], 0.5 * G * dt / 192.0);
  EXPECT_DOUBLE_EQ(out2[1], 2.0 * out2[0] / (1.0 - nu));
  EXPECT_DOUBLE_EQ(out2[2], 2.0 * out2[0] * (1.0 + nu) / 3.0);
  EXPECT_DOUBLE_EQ(out2[3], out2[1] * nu);

  HourglassControl other;
  other.type = 7;
  double out3[4] = {7.0, 7.0, 7.0, 7.0};
  other.computeHourglassValue(E, nu, rho, out3, a, V, dt);
  for (double v : out3) EXPECT_EQ(v, 7.0);
}

// A viscous form keeps no state: a one-point hexahedron moving in an
// hourglass mode feels a force in proportion to the rate, the same at
// every cycle of a steady rate, and none once the mode stops.
TEST(Hourglass, ViscousFormFollowsTheCurrentRate) {
  solidtest::SolidModel m;
  solidtest::addCube(m, 0.01);
  m.link();
  for (int I = 0; I < 8; ++I) m.nodes[I].vel[0] = solid1st::hourglassBase(0, I);
  double force[3];
  for (int cycle = 0; cycle < 3; ++cycle) {
    m.computeForces(1e-9);
    force[cycle] = m.elems[0].interForce[0][0];
  }
  EXPECT_GT(std::fabs(force[0]), 0.0);
  EXPECT_NEAR(force[2], force[0], 1e-9 * std::fabs(force[0]));
  for (NodeCuda& n : m.nodes) n.vel[0] = 0.0;
  m.computeForces(1e-9);
  EXPECT_NEAR(m.elems[0].interForce[0][0], 0.0, 1e-12 * std::fabs(force[0]));
  for (double q : m.elems[0].hourglassValue[0]) EXPECT_EQ(q, 0.0);
}
