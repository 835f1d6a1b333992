// Belytschko-Tsay shells computed together in lanes against the one-element
// path: forces, moments, point stresses and plastic state, hourglass
// resultants, area, length and step of random distorted and warped shells,
// elastic and elastic-plastic; the groups left to the one-element path; and
// the driver's groups computed from their entries.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "core/logErrorPrint.h"
#include "elements/shell/btshellGroup.h"
#include "elements/common/elementControl.h"
#include "elements/shell/shell1st.h"
#include "platform/cublasHandle.h"
#include "platform/simdLane.h"
#include "tests/elements/shell/shellTestModel.h"

namespace {

using shelltest::ShellModel;

constexpr double kDt = 1e-6;
constexpr double kSafeFactor = 0.9;

ShellModel makeModel(bool plastic) {
  const Material rec = plastic ? shelltest::plasticRecord(2.1e11, 0.3, 7850.0, 2.5e8, 1e9)
                               : shelltest::elasticRecord(2.1e11, 0.3, 7850.0);
  return ShellModel(rec, shelltest::shellSection(ET_BT_SHELL, 0.001, 5));
}

// count shells of edge 10 mm, each on its own nodes, corners moved at random
// by up to 20 % of the edge in the plane and 10 % out of it; random
// translational and rotational velocities, stored stresses and hourglass
// resultants.  The same seed builds the same model.
void randomShells(ShellModel& m, int count, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const double h = 0.01;
  const double corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int e = 0; e < count; ++e) {
    const int first = static_cast<int>(m.nodes.size()) + 1;
    for (const auto& c : corner)
      m.addNode(2.0 * h * e + h * c[0] + 0.2 * h * u(rng), h * c[1] + 0.2 * h * u(rng), 0.1 * h * u(rng));
    m.addShell({first, first + 1, first + 2, first + 3});
  }
  m.link();
  for (NodeCuda& n : m.nodes)
    for (int k = 0; k < 3; ++k) {
      n.vel[k] = 20.0 * u(rng);
      n.vel[3 + k] = 2000.0 * u(rng);
    }
  for (PlasticMaterialStatus& s : m.states)
    for (double& c : s.stress) c = 1e8 * u(rng);
  for (ShellElementCuda& e : m.elems())
    for (double& q : e.hourglassStress) q = 10.0 * u(rng);
}

bool laneGroup(ShellModel& m, int first, double* steps) {
  MaterialNew* materials[2] = {m.material.get(), nullptr};  // material 2 (a row below) is not in the model
  std::vector<ShellElementCuda*> elements;
  for (ShellElementCuda& e : m.elems()) elements.push_back(&e);
  const int n = static_cast<int>(elements.size());
  return btShellLaneGroup(materials, &m.section, nullptr, elements.data() + first, n - first, kDt, kSafeFactor, steps);
}

void oneElementPass(ShellModel& m) {
  for (ShellElementCuda& e : m.elems()) {
    e.computeShellInterForceGpu(m.material.get(), &m.section, nullptr, kDt);
    e.computeShellCharactLength();
    e.computeShellTimeStep(m.material.get(), kSafeFactor);
  }
}

// What a pass leaves in the records.
struct PassResult {
  std::vector<double> force, hourglass, stress, plastic, area, length, step;
  bool yielded = false;
  explicit PassResult(ShellModel& m) {
    for (const ShellElementCuda& e : m.elems()) {
      force.insert(force.end(), &e.interForce[0][0], &e.interForce[0][0] + 24);
      hourglass.insert(hourglass.end(), e.hourglassStress, e.hourglassStress + 5);
      area.push_back(e.area);
      length.push_back(e.charactLength);
      step.push_back(e.dt);
    }
    for (const KinematicPlasticMaterialStatus& s : m.states) {
      stress.insert(stress.end(), s.stress, s.stress + 6);
      plastic.push_back(s.k);
      plastic.push_back(s.eps_p);
      plastic.insert(plastic.end(), s.backStress, s.backStress + 4);  // the surface moves (beta 0)
      yielded = yielded || s.eps_p > 0.0;
    }
  }
};

// |a - b| <= tol x the largest |b| of the series, entry by entry.
void expectSeriesNear(const std::vector<double>& a, const std::vector<double>& b, const char* what) {
  ASSERT_EQ(a.size(), b.size());
  double scale = 0.0;
  for (double v : b) scale = std::max(scale, std::fabs(v));
  ASSERT_GT(scale, 0.0) << what;
  for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1e-13 * scale) << what << " entry " << i;
}

TEST(ShellLanes, GroupsMatchTheOneElementPath) {
  for (bool plastic : {false, true}) {
    SCOPED_TRACE(plastic ? "elastic-plastic" : "elastic");
    const int count = 3 * kLaneWidth;
    ShellModel lanes = makeModel(plastic), one = makeModel(plastic);
    randomShells(lanes, count, 7u);
    randomShells(one, count, 7u);
    std::vector<double> steps(count, -1.0);
    for (int g = 0; g < count; g += kLaneWidth) ASSERT_TRUE(laneGroup(lanes, g, steps.data() + g));
    oneElementPass(one);
    const PassResult a(lanes), b(one);
    expectSeriesNear(a.force, b.force, "force and moment");
    expectSeriesNear(a.hourglass, b.hourglass, "hourglass");
    expectSeriesNear(a.stress, b.stress, "stress");
    for (int e = 0; e < count; ++e) {
      EXPECT_NEAR(a.area[e], b.area[e], 1e-13 * b.area[e]);
      EXPECT_NEAR(a.length[e], b.length[e], 1e-13 * b.length[e]);
      EXPECT_NEAR(a.step[e], b.step[e], 1e-13 * b.step[e]);
    }
    EXPECT_EQ(steps, a.step);
    if (plastic) {
      expectSeriesNear(a.plastic, b.plastic, "flow stress, plastic strain and back stress");
      EXPECT_TRUE(a.yielded) << "some points yield";
    }
  }
}

TEST(ShellLanes, GroupsTheLanesCannotTakeAreLeftUntouched) {
  ShellModel m = makeModel(true);
  randomShells(m, kLaneWidth, 3u);
  ShellElementCuda& last = m.elems().back();
  const std::vector<ShellElementCuda> before = m.elems();
  const auto states = m.states;
  std::vector<double> steps(kLaneWidth, -1.0);
  const auto untouched = [&] {
    for (size_t e = 0; e < before.size(); ++e) {
      EXPECT_EQ(m.elems()[e].interForce[1][2], before[e].interForce[1][2]);
      EXPECT_EQ(m.elems()[e].hourglassStress[3], before[e].hourglassStress[3]);
      EXPECT_EQ(m.elems()[e].dt, before[e].dt);
    }
    for (size_t p = 0; p < states.size(); ++p) EXPECT_EQ(m.states[p].stress[0], states[p].stress[0]);
    for (double s : steps) EXPECT_EQ(s, -1.0);
  };
  // Another type, material or section.
  last.type = ET_MEMBRANE4;
  EXPECT_FALSE(laneGroup(m, 0, steps.data()));
  last.type = ET_BT_SHELL;
  last.material_id = 2;
  EXPECT_FALSE(laneGroup(m, 0, steps.data()));
  last.material_id = 1;
  last.section_id = 2;
  EXPECT_FALSE(laneGroup(m, 0, steps.data()));
  last.section_id = 1;
  // A shell collapsed onto one corner has no area.
  NodeCuda* corner = last.node[0];
  for (NodeCuda*& nd : last.node) nd = corner;
  EXPECT_FALSE(laneGroup(m, 0, steps.data()));
  untouched();
}

// A group's entry lists the nodes its read-ahead asks for: each distinct
// node of the group once, a node shared by neighbouring shells of a strip
// included only once.
TEST(ShellLanes, GroupEntryNamesEachNodeOfTheGroupOnce) {
  ShellModel m = makeModel(false);
  const int n = kLaneWidth + 1;  // nodes along each edge of the strip
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < n; ++i) m.addNode(0.01 * i, 0.01 * row, 0.0);
  for (int e = 0; e < kLaneWidth; ++e) m.addShell({e + 1, e + 2, n + e + 2, n + e + 1});
  m.link();
  MaterialNew* materials[2] = {m.material.get(), nullptr};  // material 2 (a row below) is not in the model
  std::vector<ShellElementCuda*> elements;
  for (ShellElementCuda& e : m.elems()) elements.push_back(&e);
  ShellLaneGroup group;
  fillShellLaneGroup(materials, &m.section, nullptr, elements.data(), group);
  ASSERT_EQ(group.lanes, 1);
  ASSERT_EQ(group.distinctNodes, 2 * n);
  std::vector<const NodeCuda*> named;
  for (int k = 0; k < group.distinctNodes; ++k) named.push_back((&group.node[0][0])[group.distinct[k]]);
  std::sort(named.begin(), named.end());
  std::vector<const NodeCuda*> all;
  for (const NodeCuda& nd : m.nodes) all.push_back(&nd);
  EXPECT_EQ(named, all);
}

// The driver keeps each group's node and state addresses and point rule in
// entries made at its first pass: over several passes of yielding shells
// (stresses, plastic state and hourglass resultants carried on), with a group
// whose rules differ (left to the lanes that read the records), a group
// holding a membrane (one element at a time) and a short last group, every
// element gets the very bits of groups computed from their records, whether
// the driver reads the nodes' records or the motions a displacement update
// wrote.
DEVICE_TEST(ShellLanes, DriverGroupEntriesGiveTheBitsOfTheElementRecords) {
  for (bool motions : {false, true}) {
    SCOPED_TRACE(motions ? "node motions" : "node records");
    const int count = 6 * kLaneWidth + 1, passes = 3;
    ShellModel dev = makeModel(true), host = makeModel(true);
    randomShells(dev, count, 5u);
    randomShells(host, count, 5u);
    for (ShellModel* m : {&dev, &host}) {
      m->elems()[2 * kLaneWidth + 1].gaussPoint[0].weight_ *= 1.0 + 1e-9;
      m->elems()[4 * kLaneWidth].type = ET_MEMBRANE4;
    }
    // The driver over the host records (device memory is host memory here).
    MaterialNew** materials = nullptr;
    CUDA_CHECK(cudaMalloc(&materials, sizeof(MaterialNew*)));
    materials[0] = dev.material.get();
    double candidate = 1.0;
    {
      ElementControl control;
      control.shell_num = count;
      CUDA_CHECK(cudaMalloc(&control.shellArrayGpu, sizeof(ShellElementCuda*) * count));
      for (int e = 0; e < count; ++e) control.shellArrayGpu[e] = &dev.elems()[e];
      control.allocateDtArray();
      NodeMotions kept;
      if (motions) control.linkNodeMotions(&kept);
      const int n = static_cast<int>(dev.nodes.size());
      const CublasHandle handle;
      for (int p = 0; p < passes; ++p) {
        // The motions as a displacement update leaves them, before each pass.
        const NodeMotionTarget target = kept.target(n);
        ASSERT_EQ(target.turning != nullptr, motions);
        for (int i = 0; i < n && motions; ++i) writeNodeMotions(target, i, dev.nodes[i]);
        kept.written(dev.nodes.data(), n);
        control.gpuAllElementInterFor(materials, &dev.section, nullptr, kDt, handle.get(), &candidate, kSafeFactor);
      }
    }
    CUDA_CHECK(cudaFree(materials));
    std::vector<double> steps(count);
    for (int p = 0; p < passes; ++p)
      for (int g = 0; g < count; g += kLaneWidth) {
        if (g + kLaneWidth <= count && laneGroup(host, g, steps.data() + g)) continue;
        for (int e = g; e < std::min(g + kLaneWidth, count); ++e) {
          ShellElementCuda& r = host.elems()[e];
          r.computeShellInterForceGpu(host.material.get(), &host.section, nullptr, kDt);
          r.computeShellCharactLength();
          steps[e] = r.computeShellTimeStep(host.material.get(), kSafeFactor);
        }
      }
    const PassResult a(dev), b(host);
    EXPECT_EQ(a.force, b.force);
    EXPECT_EQ(a.hourglass, b.hourglass);
    EXPECT_EQ(a.stress, b.stress);
    EXPECT_EQ(a.plastic, b.plastic);
    EXPECT_EQ(a.area, b.area);
    EXPECT_EQ(a.length, b.length);
    EXPECT_EQ(a.step, b.step);
    EXPECT_EQ(candidate, *std::min_element(steps.begin(), steps.end()));
    EXPECT_TRUE(a.yielded) << "some points yield";
  }
}

}  // namespace
