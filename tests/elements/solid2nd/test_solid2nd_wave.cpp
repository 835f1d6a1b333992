// A bar of ten-node tetrahedra run through the GPU time loop: the halves of
// the bar are thrown apart and the tension wave reaches the free ends at
// t = L / (2c).  The mesh is the four-node tetrahedron bar of the deck cases
// with a node added at the middle of every edge.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "core/nodeManager.h"
#include "core/sectionmanager.h"
#include "core/set.h"
#include "core/setManager.h"
#include "elements/common/elmmanager.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"
#include "tests/decks/deckCase.h"

namespace {

using deckcase::Sample;

// Turns every four-node tetrahedron of the read deck into a ten-node one
// (type 24): one new node per edge, in the node set of the half it lies in
// (set 1 left of the middle, set 2 right of it, none on the middle plane).
void raiseToTenNodeTetrahedra(FEMDynamic* fem) {
  std::vector<NodeCuda>& nodes = fem->nodeManager->node_array_cpu;
  std::map<std::pair<int, int>, int> edgeNode;
  auto midNode = [&](int a, int b) {
    const std::pair<int, int> key(std::min(a, b), std::max(a, b));
    const auto found = edgeNode.find(key);
    if (found != edgeNode.end()) return found->second;
    NodeCuda n{};
    n.id = static_cast<int>(nodes.size()) + 1;
    n.store_id = n.id - 1;
    for (int k = 0; k < 3; ++k) n.coord[k] = 0.5 * (nodes[a - 1].coord[k] + nodes[b - 1].coord[k]);
    nodes.push_back(n);
    const double x = n.coord[0];
    const int setId = x < 0.5 - 1e-9 ? 1 : (x > 0.5 + 1e-9 ? 2 : 0);
    for (Set& set : fem->setManager->node_set_array)
      if (setId != 0 && set.id == setId) set.id_array.push_back(n.id);
    edgeNode.emplace(key, n.id);
    return n.id;
  };
  const int edges[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};
  for (ElmManager& store : fem->elm_manager_array) {
    for (const SolidElementCuda& tet : store.solid_element_array_cpu) {
      SolidElement2nd e;
      e.id = tet.id;
      e.store_id = tet.store_id;
      e.part_id = tet.part_id;
      for (int k = 0; k < 4; ++k) e.node_id[k] = tet.node_id[k];
      for (int m = 0; m < 6; ++m) e.node_id[4 + m] = midNode(tet.node_id[edges[m][0]], tet.node_id[edges[m][1]]);
      store.solid2ndArrayCpu_.push_back(e);
    }
    store.solid_element_array_cpu.clear();
  }
  for (Section& section : fem->sectionManager->section_array) section.element_formulation = ET_TETRA10;
}

// Each test runs the bar in a scratch folder of its own (ctest runs them at once).
std::vector<Sample> runTenNodeBar(const std::string& scratch) {
  return deckcase::runInProcess("wave_tetra", scratch, raiseToTenNodeTetrahedra);
}

}  // namespace

// L = 1, c = sqrt(E / rho) = 100 (nu = 0), halves at -1 and +1: the ends
// stop moving outward at L / (2c) and the middle half carries rho c v = 100.
DEVICE_TEST(Solid2ndWave, BarHalvesThrownApartTurnAtHalfTheTransitTime) {
  const double length = 1.0, c = 100.0, v = 1.0;
  const std::vector<Sample> samples = runTenNodeBar("wave_tetra10");
  ASSERT_GT(samples.size(), 20u);
  const Sample& first = samples.front();
  auto outwardSpeed = [&](const Sample& s) {
    double sum = 0.0;
    int count = 0;
    for (std::size_t i = 0; i < s.nodes.size(); ++i) {
      const double x = first.nodes[i].coord[0];
      if (x < 1e-9 || x > length - 1e-9) {
        sum += (x < 1e-9 ? -1.0 : 1.0) * s.nodes[i].vel[0];
        ++count;
      }
    }
    return sum / count;
  };
  double stopTime = -1.0;
  for (std::size_t s = 1; s < samples.size() && stopTime < 0.0; ++s) {
    const double before = outwardSpeed(samples[s - 1]), after = outwardSpeed(samples[s]);
    if (before > 0.0 && after <= 0.0)
      stopTime = samples[s - 1].time + (samples[s].time - samples[s - 1].time) * before / (before - after);
  }
  const double expectedStop = length / (2.0 * c);
  ASSERT_GT(stopTime, 0.0) << "the end nodes never stopped moving outward";
  EXPECT_NEAR(stopTime, expectedStop, 0.03 * expectedStop);

  // The wave's stress at the nodes of the middle half, averaged from the
  // passage of the front (two cells behind it) to its arrival at the ends.
  const double h = length / 40.0;
  int checked = 0;
  for (std::size_t i = 0; i < first.nodes.size(); ++i) {
    const double distance = std::fabs(first.nodes[i].coord[0] - 0.5 * length);
    if (distance > 0.25 * length) continue;
    double sum = 0.0;
    int count = 0;
    for (const Sample& s : samples) {
      if (s.time > expectedStop) break;
      if (s.time >= (distance + 2.0 * h) / c) {
        sum += s.nodes[i].stress[0];
        ++count;
      }
    }
    ASSERT_GT(count, 5) << "node " << i + 1;
    EXPECT_NEAR(sum / count, 1.0 * c * v, 0.05 * c * v) << "node " << i + 1;
    ++checked;
  }
  EXPECT_GT(checked, 0);
  EXPECT_TRUE(samples.back().nodes.size() > 164u);  // the mid-side nodes took part
}

// The same bar scaled to twice its own step (that of the unscaled run):
// every step is the target, and every element's mass grows by (target / own
// step)^2 (the bar's tetrahedra are congruent, so the whole bar's mass does).
DEVICE_TEST(Solid2ndWave, MassScalingReachesTheTargetStep) {
  const std::vector<Sample> own = runTenNodeBar("wave_tetra10_own");
  ASSERT_GT(own.size(), 3u);
  const double ownStep = own[2].time - own[1].time, target = 2.0 * ownStep;
  auto scaled = [&](FEMDynamic* fem) {
    raiseToTenNodeTetrahedra(fem);
    fem->timeControl->target_dt = target;
    fem->timeControl->recompute_interval = 1;
  };
  const std::vector<Sample> samples = deckcase::runInProcess("wave_tetra", "wave_tetra10_scaled", scaled);
  ASSERT_GT(samples.size(), 10u);
  // (the last step is shortened to end on the end time)
  for (std::size_t s = 2; s + 1 < samples.size(); ++s)
    EXPECT_NEAR(samples[s].time - samples[s - 1].time, target, 1e-12 * target) << s;
  const double h = 0.025;
  double mass = 0.0;
  for (const NodeCuda& n : samples.back().nodes) mass += n.mass;
  const double physical = 1.0 * 1.0 * h * h;
  EXPECT_NEAR(mass / physical, 4.0, 0.04);
}
