// Hourglass records, their manager and the coefficients of both forms.
#include <gtest/gtest.h>

#include <cmath>

#include "elements/hourglasscontrolmanager.h"
#include "tests/elements/solidTestModel.h"

TEST(Hourglass, DefaultRecordWhenNoneRead) {
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
  ASSERT_EQ(cudaMemcpy(&back, read.hourglass_array_gpu, sizeof(HourglassControl), cudaMemcpyDeviceToHost),
            cudaSuccess);
  EXPECT_EQ(back.id, 3);
}

TEST(Hourglass, FormValues) {
  const double E = 210e9, nu = 0.3, rho = 7800.0, a = 2.5, V = 1e-3, dt = 1e-6;
  const double G = E / (2.0 * (1.0 + nu));

  HourglassControl form1;
  double out1[4] = {-1.0, -1.0, -1.0, -1.0};
  form1.computeHourglassValue(E, nu, rho, out1, a, V, dt);
  const double c2 = G * (1.0 - nu) / ((0.5 - nu) * rho);
  EXPECT_NEAR(out1[0], 0.1 * rho * c2 * a * dt / (24.0 * V), 1e-9 * out1[0]);
  EXPECT_EQ(out1[1], -1.0);  // only the first value is written

  HourglassControl form2;
  form2.type = 2;
  double out2[4] = {};
  form2.computeHourglassValue(E, nu, rho, out2, a, V, dt);
  EXPECT_DOUBLE_EQ(out2[0], G * dt / 192.0);
  EXPECT_DOUBLE_EQ(out2[1], 2.0 * out2[0] / (1.0 - nu));
  EXPECT_DOUBLE_EQ(out2[2], 2.0 * out2[0] * (1.0 + nu) / 3.0);
  EXPECT_DOUBLE_EQ(out2[3], out2[1] * nu);

  HourglassControl other;
  other.type = 3;
  double out3[4] = {7.0, 7.0, 7.0, 7.0};
  other.computeHourglassValue(E, nu, rho, out3, a, V, dt);
  for (double v : out3) EXPECT_EQ(v, 7.0);
}

// A form the solver does not have falls back to form 1 at set-up, with one
// message for the record and none from the elements: a one-point
// hexahedron moving in an hourglass mode is resisted as with form 1.
TEST(Hourglass, UnknownFormFallsBackToFormOneOnce) {
  HourglassControlManager read;
  HourglassControl h;
  h.id = 4;
  h.type = 3;
  read.hourglass_array_cpu.push_back(h);
  testing::internal::CaptureStdout();
  read.buildIdMap();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Hourglass control 4: form 3 is not available; form 1 is used\n");
  EXPECT_EQ(read.findHourglassById(4)->type, 1);

  double force[2] = {0.0, 0.0};
  for (int k = 0; k < 2; ++k) {
    solidtest::SolidModel m;
    m.hourglass = k == 0 ? read.hourglass_array_cpu[0] : HourglassControl();
    solidtest::addCube(m, 0.01);
    m.link();
    for (int I = 0; I < 8; ++I) m.nodes[I].vel[0] = solid1st::hourglassBase(0, I);
    testing::internal::CaptureStdout();
    for (int cycle = 0; cycle < 3; ++cycle) {
      for (NodeCuda& n : m.nodes) n.dispUpdate(1e-7);
      m.computeForces(1e-7);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    force[k] = std::fabs(m.elems[0].interForce[0][0]);
  }
  EXPECT_GT(force[0], 0.0);
  EXPECT_DOUBLE_EQ(force[0], force[1]);
}
