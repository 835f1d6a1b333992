// Pressure on segment sets: p A / (node count) against the segment normal
// to each node, and a deck's *LOAD_SEGMENT_SET driving a free block through
// the GPU time loop.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>

#include "solver/surfaceLoad.h"
#include "tests/contact/contactTestModel.h"
#include "tests/solver/motionDeck.h"

namespace {

// One quadrilateral in the plane z = x / 2 (area 2 sqrt(1.25) x 1.5): each
// node takes p A / 4 against the unit normal (-1, 0, 2) / sqrt(5) of its
// node order; a load type other than pressure adds nothing.
TEST(SurfaceLoad, QuadrilateralNodesTakeAQuarterOfPressureTimesArea) {
  contacttest::Model m;
  m.addNode(0, 0, 0);
  m.addNode(2, 0, 1);
  m.addNode(2, 1.5, 1);
  m.addNode(0, 1.5, 0);
  m.finishNodes();
  Surface& s = m.addSurface({{1, 2, 3, 4}});
  m.prepare(s);
  m.fem.surfaceManager->buildSurfaceIdMap();
  SurfaceLoad load;
  load.load_type = LOAD_PRESSURE;
  load.is_set = 1;
  load.id = 1;
  load.scale_factor = 3.0;
  load.factor = 0.5;
  ASSERT_TRUE(load.linkTarget(&m.fem));
  load.init(&m.fem);
  load.applyCpu();
  const double share = 1.5 * 2.0 * std::sqrt(1.25) * 1.5 / 4.0;
  for (int id = 1; id <= 4; ++id) {
    EXPECT_NEAR(m.node(id).force[0], share / std::sqrt(5.0), 1e-12);
    EXPECT_NEAR(m.node(id).force[1], 0.0, 1e-12);
    EXPECT_NEAR(m.node(id).force[2], -2.0 * share / std::sqrt(5.0), 1e-12);
  }
  load.load_type = LOAD_CONCENTRATED;
  testing::internal::CaptureStdout();
  load.applyCpu();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "目前面上不支持施加集中载荷\n");
  EXPECT_NEAR(m.node(1).force[2], -2.0 * share / std::sqrt(5.0), 1e-12);

  SurfaceLoad missing;
  missing.is_set = 1;
  missing.id = 9;
  missing.set_ref_id = 90;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(missing.linkTarget(&m.fem));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("segment set 90 is not in the model"), std::string::npos);
}

// A free cube pushed on its top face (numbered with its normal out, +z) by a
// constant pressure (curve value 2, blank factor read as 1): the pressure
// pushes into the cube, its momentum grows as p A t along -z.
DEVICE_TEST(SurfaceLoad, SegmentSetPressureAcceleratesAFreeBlock) {
  motiondeck::Block b;
  b.h = 0.1;
  const std::string top = std::to_string(b.node(0, 0, 1)) + " " + std::to_string(b.node(1, 0, 1)) + " " +
                          std::to_string(b.node(1, 1, 1)) + " " + std::to_string(b.node(0, 1, 1)) + "\n";
  const std::string deck = b.cards() + motiondeck::termination(0.02) + "*SET_SEGMENT\n" + card({"7"}) + top +
                           "*DEFINE_CURVE\n" + card({"4"}) + "0.0 2.0\n1.0 2.0\n" + "*LOAD_SEGMENT_SET\n" +
                           card({"7", "4", ""});
  const auto samples = motiondeck::run("segment_pressure", deck);
  ASSERT_GT(samples.size(), 10u);
  const double force = 2.0 * b.h * b.h;
  // Velocities lead the sample time by up to one step.
  double dt = 0.0;
  for (std::size_t i = 1; i < samples.size(); ++i) dt = std::max(dt, samples[i].time - samples[i - 1].time);
  for (const deckcase::Sample& s : samples) {
    double momentum[3] = {0.0, 0.0, 0.0};
    for (const NodeCuda& n : s.nodes)
      for (int j = 0; j < 3; ++j) momentum[j] += n.mass * n.vel[j];
    EXPECT_NEAR(-momentum[2], force * s.time, force * dt * 1.001) << s.time;
    EXPECT_GT(-momentum[2], force * s.time * 0.999);
    EXPECT_NEAR(momentum[0], 0.0, 1e-12 * force);
    EXPECT_NEAR(momentum[1], 0.0, 1e-12 * force);
  }
}

}  // namespace
