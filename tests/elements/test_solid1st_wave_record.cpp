// The wave bar of one-point hexahedra run end to end through the GPU loop,
// compared with the motion and stresses recorded from the one-element
// kernels: the group kernels and the cheaper step length change nothing
// beyond rounding.
#include <gtest/gtest.h>

#include <vector>

#include "solver/femdynamic.h"
#include "solver/timeControl.h"
#include "tests/decks/deck_case.h"

namespace {

// Node, x displacement, x velocity and nodal sxx at the end of the run.
struct Recorded {
  int node;  // 1-based
  double disp, vel, sxx;
};

constexpr Recorded kRecorded[] = {
    {1, -0.0021561789053023334, 1.0682853832737338, 0.28134828062664496},
    {6, -0.0021410378874903487, 0.96999318565913506, -1.8809360951454508},
    {11, -0.0022091013997961374, 1.173927459222617, 0.99555138338791238},
    {16, -0.0012533287753562483, -0.0025760625975758135, 99.627714341382443},
    {21, -3.798644578650603e-18, -6.6865005284143115e-15, 99.730038735055444},
    {31, 0.0022091013997961421, -1.1739274592226283, 0.99555138338665472},
    {41, 0.0021561789053023291, -1.0682853832737045, 0.28134828062347594},
};

// The record was taken after 35 full steps: the run is capped there, so that
// its last step is not shortened to end on the end time.
TEST(SolidWaveRecord, BarOfHexahedraKeepsItsRecordedMotion) {
  const std::vector<deckcase::Sample> samples = deckcase::runInProcess(
      "wave_hexa", "wave_hexa_record", [](FEMDynamic* fem) { fem->timeControl->end_cycle = 35; });
  ASSERT_EQ(samples.size(), 36u);
  const deckcase::Sample& last = samples.back();
  EXPECT_NEAR(last.time, 0.0078699783539337431, 1e-12 * 0.0078699783539337431);
  // Relative to the size of each field: the bar moves at 1 and carries 100.
  for (const Recorded& r : kRecorded) {
    const NodeCuda& n = last.nodes[r.node - 1];
    EXPECT_NEAR(n.total_disp[0], r.disp, 1e-12 * 0.0022) << "node " << r.node;
    EXPECT_NEAR(n.vel[0], r.vel, 1e-12 * 1.2) << "node " << r.node;
    EXPECT_NEAR(n.stress[0], r.sxx, 1e-12 * 100.0) << "node " << r.node;
  }
}

}  // namespace
