// The wave bar of one-point hexahedra run end to end through the GPU loop,
// compared with the motion and stresses recorded from the one-element
// kernels: the group kernels and the cheaper step length change nothing
// beyond rounding.
#include "tests/deviceTest.h"

#include <vector>

#include "solver/femdynamic.h"
#include "solver/timeControl.h"
#include "tests/decks/deckCase.h"

namespace {

// Node, x displacement, x velocity and nodal sxx at the end of the run.
struct Recorded {
  int node;  // 1-based
  double disp, vel, sxx;
};

constexpr Recorded kRecorded[] = {
    {1, -0.0022343841662834526, 1.1249357123607209, 9.5621328822870968},
    {6, -0.0022181966356659257, 1.0667095658813235, -5.1989553529303469},
    {11, -0.0022757251158054262, 1.1045858772707957, 12.554207734914812},
    {16, -0.0012519516696928763, -0.010580398806421525, 99.781517105915938},
    {21, -3.798644578650603e-18, -6.6865005284143115e-15, 99.641549746020161},
    {31, 0.0022757251158054257, -1.1045858772707984, 12.554207734914332},
    {41, 0.0022343841662834539, -1.1249357123607266, 9.5621328822870044},
};

// The record was taken after 35 full steps: the run is capped there, so that
// its last step is not shortened to end on the end time.
DEVICE_TEST(SolidWaveRecord, BarOfHexahedraKeepsItsRecordedMotion) {
  const std::vector<deckcase::Sample> samples =
      deckcase::runInProcess("wave_hexa", "wave_hexa_record",
                             [](FEMDynamic* fem) { fem->timeControl->end_cycle = 35; });
  ASSERT_EQ(samples.size(), 36u);
  const deckcase::Sample& last = samples.back();
  EXPECT_NEAR(last.time, 0.0078047388448595056, 1e-12 * 0.0078047388448595056);
  // Relative to the size of each field: the bar moves at 1 and carries 100.
  for (const Recorded& r : kRecorded) {
    const NodeCuda& n = last.nodes[r.node - 1];
    EXPECT_NEAR(n.total_disp[0], r.disp, 1e-12 * 0.0022) << "node " << r.node;
    EXPECT_NEAR(n.vel[0], r.vel, 1e-12 * 1.2) << "node " << r.node;
    EXPECT_NEAR(n.stress[0], r.sxx, 1e-12 * 100.0) << "node " << r.node;
  }
}

}  // namespace
