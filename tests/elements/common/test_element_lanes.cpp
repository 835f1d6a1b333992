// Elements computed together in lanes against the one-element path (forces,
// stresses, hourglass state, volume, length and step of random distorted
// elements), the groups left to the one-element path, the driver over a
// mixed model and over several passes, and the characteristic lengths of every solid shape taken
// with few square roots against their face areas.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <random>
#include <vector>

#include "core/simpleMath.h"
#include "elements/common/elementControl.h"
#include "elements/solid1st/hexa1stRGroup.h"
#include "materials/elementInversion.h"
#include "platform/cublasHandle.h"
#include "platform/laneCbrt.h"
#include "platform/simdLane.h"
#include "tests/elements/solid1st/solidDeviceModel.h"

namespace {

using solidtest::SolidModel;

constexpr double kDt = 1e-7;
constexpr double kSafeFactor = 0.9;

// count one-point hexahedra of edge 10 mm, each on its own nodes, corners
// moved at random by up to 20 % of the edge; random velocities (the step's
// displacement dt v), stored stresses and hourglass states, the step model
// of the material and control; every third with a mass.  Elements of the other given types follow on
// such node sets.  The same seed builds the same model.
void randomHexahedra(SolidModel& m, int count, unsigned seed, std::initializer_list<ElementNewType> others = {}) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const double h = 0.01;
  for (int e = 0; e < count; ++e) {
    const int first = static_cast<int>(m.nodes.size()) + 1;
    for (int I = 0; I < 8; ++I)
      m.addNode(2.0 * h * e + 0.5 * (1 + solid1st::hexaCorner(0, I)) * h + 0.2 * h * u(rng),
                0.5 * (1 + solid1st::hexaCorner(1, I)) * h + 0.2 * h * u(rng),
                0.5 * (1 + solid1st::hexaCorner(2, I)) * h + 0.2 * h * u(rng));
    m.addSolid(ET_HEXA_REDUCED, {first, first + 1, first + 2, first + 3, first + 4, first + 5, first + 6, first + 7});
    SolidElementCuda& added = m.elems.back();
    added.stepModel = {0.3, 7850.0, m.hourglass.coefficient, m.hourglass.type};
    if (e % 3 == 1) added.mass = 7850.0 * h * h * h * (1.0 + 0.2 * u(rng));  // as set-up gives it
  }
  for (ElementNewType type : others) {
    const int f = static_cast<int>(m.nodes.size()) + 1;
    for (int I = 0; I < 8; ++I)
      m.addNode(0.5 * (1 + solid1st::hexaCorner(0, I)) * h + 0.2 * h * u(rng),
                -2.0 * h + 0.5 * (1 + solid1st::hexaCorner(1, I)) * h + 0.2 * h * u(rng),
                0.5 * (1 + solid1st::hexaCorner(2, I)) * h + 0.2 * h * u(rng));
    switch (type) {
      case ET_TETRA_TL:
        m.addSolid(type, {f, f + 1, f + 3, f + 4});
        break;
      case ET_PYRAMID_TL:
        m.addSolid(type, {f, f + 4, f + 5, f + 6, f + 7});
        break;
      case ET_PENTA:
        m.addSolid(type, {f, f + 1, f + 2, f + 4, f + 5, f + 6});
        break;
      case ET_PENTA_REDUCED:
        m.addSolid(type, {f, f + 1, f + 2, f + 2, f + 4, f + 5, f + 6, f + 6});
        break;
      default:
        m.addSolid(type, {f, f + 1, f + 2, f + 3, f + 4, f + 5, f + 6, f + 7});
    }
  }
  m.link();
  for (NodeCuda& n : m.nodes)
    for (int k = 0; k < 3; ++k) {
      n.vel[k] = 20.0 * u(rng);
      n.step_disp[k] = kDt * n.vel[k];
    }
  for (ElasticMaterialStatus& s : m.states)
    for (double& c : s.stress) c = 1e8 * u(rng);
  for (SolidElementCuda& e : m.elems)
    for (auto& row : e.hourglassValue)
      for (double& q : row) q = 10.0 * u(rng);
}

// The one-element path of the solid kernel: forces, length, step.
void oneElementPass(SolidModel& m) {
  for (SolidElementCuda& e : m.elems) {
    e.computeSolidInterForceGpu(m.material.get(), nullptr, &m.hourglass, kDt);
    e.computeSolidCharactLength();
    e.computeSolidTimeStep(m.material.get(), kSafeFactor);
  }
}

// The solid kernels' driver over the model on the device, passes times
// (the nodes stay put; stresses and hourglass states go on); the elements
// read back into the model.  Returns the smallest step of the last pass.
double devicePass(SolidModel& m, int passes = 1, bool motions = false) {
  solidtest::DeviceModel d(m);
  ElementControl control;
  control.allocateAndCopyElementPtr(d.parts);
  control.sortElementPtrByType();
  control.allocateBlockDtBuffer();
  control.allocateDtArray();
  // The nodes' motions as a displacement update leaves them, before each pass.
  NodeMotions kept;
  const int n = static_cast<int>(m.nodes.size());
  std::vector<NodeMotion> motion(m.nodes.size());
  std::vector<NodeDisplacement> displacement(m.nodes.size());
  for (int i = 0; i < n; ++i) writeNodeMotions({motion.data(), nullptr, displacement.data()}, i, m.nodes[i]);
  if (motions) control.linkNodeMotions(&kept);
  const CublasHandle handle;
  double candidate = 1.0;
  for (int p = 0; p < passes; ++p) {
    const NodeMotionTarget target = kept.target(n);
    if (target.motions != nullptr)
      CUDA_CHECK(cudaMemcpy(target.motions, motion.data(), sizeof(NodeMotion) * n, cudaMemcpyHostToDevice));
    if (target.displacements != nullptr)
      CUDA_CHECK(cudaMemcpy(target.displacements, displacement.data(), sizeof(NodeDisplacement) * n,
                            cudaMemcpyHostToDevice));
    kept.written(d.nodes, n);
    control.gpuAllElementInterFor(d.materials, d.sections, d.hourglass, kDt, handle.get(), &candidate, kSafeFactor);
  }
  m.elems = d.readElements();
  return candidate;
}

// |a - b| <= tol x the largest |b| of the series, entry by entry.
void expectSeriesNear(const std::vector<double>& a, const std::vector<double>& b, double tol, const char* what) {
  ASSERT_EQ(a.size(), b.size());
  double scale = 0.0;
  for (double v : b) scale = std::max(scale, std::fabs(v));
  ASSERT_GT(scale, 0.0) << what;
  for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], tol * scale) << what << " entry " << i;
}

// What a pass leaves in the records: forces, hourglass states, stresses,
// and per element volume, length and step.
struct PassResult {
  std::vector<double> force, hourglass, stress, volume, length, step;
  explicit PassResult(const SolidModel& m) {
    for (const SolidElementCuda& e : m.elems) {
      force.insert(force.end(), &e.interForce[0][0], &e.interForce[0][0] + 24);
      hourglass.insert(hourglass.end(), &e.hourglassValue[0][0], &e.hourglassValue[0][0] + 12);
      volume.push_back(e.volume);
      length.push_back(e.charactLength);
      step.push_back(e.dt);
    }
    for (const ElasticMaterialStatus& s : m.states) stress.insert(stress.end(), s.stress, s.stress + 6);
  }
};

void expectSamePass(const PassResult& lanes, const PassResult& one) {
  expectSeriesNear(lanes.force, one.force, 1e-13, "force");
  expectSeriesNear(lanes.hourglass, one.hourglass, 1e-13, "hourglass state");
  expectSeriesNear(lanes.stress, one.stress, 1e-13, "stress");
  for (size_t e = 0; e < one.step.size(); ++e) {
    EXPECT_NEAR(lanes.volume[e], one.volume[e], 1e-13 * one.volume[e]);
    EXPECT_NEAR(lanes.length[e], one.length[e], 1e-13 * one.length[e]);
    EXPECT_NEAR(lanes.step[e], one.step[e], 1e-13 * one.step[e]);
  }
}

TEST(ElementLanes, GroupsOfHexahedraMatchTheOneElementPath) {
  for (int form : {1, 4, 6}) {
    SCOPED_TRACE(form);
    const int count = 3 * kLaneWidth;
    SolidModel lanes, one;
    randomHexahedra(lanes, count, 7u);
    randomHexahedra(one, count, 7u);
    lanes.hourglass.type = one.hourglass.type = form;
    MaterialNew* materials[1] = {lanes.material.get()};
    std::vector<SolidElementCuda*> elements;
    for (SolidElementCuda& e : lanes.elems) elements.push_back(&e);
    std::vector<double> steps(count, -1.0);
    for (int g = 0; g < count; g += kLaneWidth)
      ASSERT_TRUE(
          onePointHexaLaneGroup(materials, &lanes.hourglass, elements.data() + g, kDt, kSafeFactor, steps.data() + g));
    oneElementPass(one);
    const PassResult a(lanes), b(one);
    expectSamePass(a, b);
    EXPECT_EQ(steps, a.step);
  }
}

TEST(ElementLanes, GroupsTheLanesCannotTakeAreLeftUntouched) {
  SolidModel m;
  randomHexahedra(m, kLaneWidth, 3u);
  MaterialNew* materials[1] = {m.material.get()};
  std::vector<SolidElementCuda*> elements;
  for (SolidElementCuda& e : m.elems) elements.push_back(&e);
  SolidElementCuda& last = m.elems.back();
  const std::vector<SolidElementCuda> before = m.elems;
  std::vector<double> steps(kLaneWidth, -1.0);
  const auto takes = [&] {
    return onePointHexaLaneGroup(materials, &m.hourglass, elements.data(), kDt, kSafeFactor, steps.data());
  };
  const auto untouched = [&] {
    for (size_t e = 0; e < m.elems.size(); ++e) {
      EXPECT_EQ(m.elems[e].interForce[0][0], before[e].interForce[0][0]);
      EXPECT_EQ(m.elems[e].hourglassValue[1][2], before[e].hourglassValue[1][2]);
      EXPECT_EQ(m.elems[e].dt, before[e].dt);
    }
    for (double s : steps) EXPECT_EQ(s, -1.0);
  };
  // A mirror-numbered shape (negative volume).
  for (int I = 0; I < 4; ++I) std::swap(last.node[I], last.node[I + 4]);
  EXPECT_FALSE(takes());
  untouched();
  for (int I = 0; I < 4; ++I) std::swap(last.node[I], last.node[I + 4]);
  // Another type, another material, a point without state.
  last.type = ET_HEXA_FULL;
  EXPECT_FALSE(takes());
  last.type = ET_HEXA_REDUCED;
  last.material_id = 2;
  EXPECT_FALSE(takes());
  last.material_id = 1;
  last.gaussPoint->matStatus_ = nullptr;
  EXPECT_FALSE(takes());
  untouched();
}

// The driver over a model whose groups mix shapes the lanes take, a mirror
// numbered one, a short last group and every other solid type gives each
// element what the one-element path gives it, whether it reads the nodes'
// records or the motions a displacement update wrote.
DEVICE_TEST(ElementLanes, DriverOverAMixedModelMatchesTheOneElementPath) {
  for (bool motions : {false, true}) {
    const int count = 2 * kLaneWidth + 1;
    SolidModel host, dev;
    const std::initializer_list<ElementNewType> others = {ET_TETRA_TL, ET_PYRAMID_TL, ET_HEXA_FULL, ET_PENTA,
                                                          ET_PENTA_REDUCED};
    randomHexahedra(host, count, 11u, others);
    randomHexahedra(dev, count, 11u, others);
    for (SolidModel* m : {&host, &dev}) {
      SolidElementCuda& e = m->elems[1];
      for (int I = 0; I < 4; ++I) std::swap(e.node_id[I], e.node_id[I + 4]);
      e.bulidNodeMatch(m->nodes.data());
    }
    const double candidate = devicePass(dev, 1, motions);
    oneElementPass(host);
    // The stresses stay in device memory: forces and steps carry them.
    PassResult a(dev), b(host);
    a.stress = b.stress;
    expectSamePass(a, b);
    EXPECT_NEAR(candidate, *std::min_element(b.step.begin(), b.step.end()), 1e-13 * candidate);
  }
}

// The driver keeps each group's node, point and state addresses in entries
// made at its first pass: over several passes (hourglass states and
// stresses carried on), with groups ahead asked for, a group left to the
// one-element path and a short last group, every element gets the very
// bits of groups computed from their element records, whether the driver
// reads the nodes' records or the motions a displacement update wrote.
DEVICE_TEST(ElementLanes, DriverGroupEntriesGiveTheBitsOfTheElementRecords) {
  for (bool motions : {false, true}) {
    const int count = 6 * kLaneWidth + 1, passes = 3;
    SolidModel host, dev;
    randomHexahedra(host, count, 17u);
    randomHexahedra(dev, count, 17u);
    for (SolidModel* m : {&host, &dev}) {
      SolidElementCuda& e = m->elems[2 * kLaneWidth + 1];
      for (int I = 0; I < 4; ++I) std::swap(e.node_id[I], e.node_id[I + 4]);
      e.bulidNodeMatch(m->nodes.data());
    }
    const double candidate = devicePass(dev, passes, motions);
    MaterialNew* materials[1] = {host.material.get()};
    std::vector<SolidElementCuda*> elements;
    for (SolidElementCuda& e : host.elems) elements.push_back(&e);
    std::vector<double> steps(count);
    for (int p = 0; p < passes; ++p)
      for (int g = 0; g < count; g += kLaneWidth) {
        if (g + kLaneWidth <= count &&
            onePointHexaLaneGroup(materials, &host.hourglass, elements.data() + g, kDt, kSafeFactor, steps.data() + g))
          continue;
        for (int e = g; e < std::min(g + kLaneWidth, count); ++e) {
          host.elems[e].computeSolidInterForceGpu(host.material.get(), nullptr, &host.hourglass, kDt);
          host.elems[e].computeSolidCharactLength();
          host.elems[e].computeSolidTimeStep(host.material.get(), kSafeFactor);
        }
      }
    const PassResult a(dev), b(host);
    EXPECT_EQ(a.force, b.force);
    EXPECT_EQ(a.hourglass, b.hourglass);
    EXPECT_EQ(a.volume, b.volume);
    EXPECT_EQ(a.length, b.length);
    EXPECT_EQ(a.step, b.step);
    EXPECT_EQ(candidate, *std::min_element(b.step.begin(), b.step.end()));
  }
}

// A group's entry asks ahead for each node of its elements once, and not
// for the nodes of the group before (asked for one group earlier): over a
// bar of hexahedra sharing faces, with a collapsed one repeating nodes and
// a last group on nodes of its own, the slots picked hold exactly the nodes
// the group has and the group before lacks, none twice.
TEST(ElementLanes, GroupEntriesAskAheadForEachNodeOnce) {
  SolidModel m;
  const int bar = 2 * kLaneWidth, h = 1;
  for (int i = 0; i <= bar; ++i)  // ids 4 i + 1 .. 4 i + 4: the square at x = i
    for (int c = 0; c < 4; ++c) m.addNode(i * h, c == 1 || c == 2 ? h : 0.0, c >= 2 ? h : 0.0);
  const auto square = [](int i, int c) { return 4 * i + 1 + c; };
  for (int i = 0; i < bar; ++i)
    m.addSolid(ET_HEXA_REDUCED, {square(i, 0), square(i, 1), square(i, 2), square(i, 3), square(i + 1, 0),
                                 square(i + 1, 1), square(i + 1, 2), square(i + 1, 3)});
  SolidElementCuda& collapsed = m.elems[kLaneWidth + 1];
  collapsed.node_id[2] = collapsed.node_id[1];
  collapsed.node_id[6] = collapsed.node_id[5];
  for (int e = 0; e < kLaneWidth; ++e) {  // a group apart
    const int first = static_cast<int>(m.nodes.size()) + 1;
    for (int I = 0; I < 8; ++I)
      m.addNode(10.0 + 2 * e + solid1st::hexaCorner(0, I), solid1st::hexaCorner(1, I), solid1st::hexaCorner(2, I));
    m.addSolid(ET_HEXA_REDUCED, {first, first + 1, first + 2, first + 3, first + 4, first + 5, first + 6, first + 7});
  }
  m.link();
  MaterialNew* materials[1] = {m.material.get()};
  std::vector<SolidElementCuda*> elements;
  for (SolidElementCuda& e : m.elems) elements.push_back(&e);
  const auto nodesOf = [&](int g) {
    std::vector<const NodeCuda*> nodes;
    for (int l = 0; l < kLaneWidth; ++l)
      for (const NodeCuda* nd : elements[g * kLaneWidth + l]->node) nodes.push_back(nd);
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    return nodes;
  };
  const int groups = static_cast<int>(elements.size()) / kLaneWidth;
  for (int g = 0; g < groups; ++g) {
    HexaLaneGroup entry;
    SolidElementCuda* const* own = elements.data() + g * kLaneWidth;
    fillHexaLaneGroup(materials, &m.hourglass, own, g > 0 ? own - kLaneWidth : nullptr, entry);
    std::vector<const NodeCuda*> picked, expected;
    for (int s = 0; s < 8 * kLaneWidth; ++s)
      if ((entry.aheadNodes >> s) & 1u) picked.push_back(entry.node[s / 8][s % 8]);
    std::sort(picked.begin(), picked.end());
    const std::vector<const NodeCuda*> mine = nodesOf(g),
                                       before = g > 0 ? nodesOf(g - 1) : std::vector<const NodeCuda*>{};
    std::set_difference(mine.begin(), mine.end(), before.begin(), before.end(), std::back_inserter(expected));
    EXPECT_EQ(picked, expected) << "group " << g;
  }
  // The bar's first group has 4 (kLaneWidth + 1) nodes, its second 4 kLaneWidth
  // new ones less the two the collapsed element drops; the group apart all of its own.
  HexaLaneGroup entry;
  fillHexaLaneGroup(materials, &m.hourglass, elements.data(), nullptr, entry);
  EXPECT_EQ(__builtin_popcount(entry.aheadNodes), 4 * (kLaneWidth + 1));
}

// A mirror-numbered element turned inside out has a positive volume, of
// another sign than its initial one: the driver leaves it to the
// one-element path, which reports it, and computes the rest of its group.
DEVICE_TEST(ElementLanes, AnInsideOutMirrorNumberedElementIsReported) {
  SolidModel host, dev;
  randomHexahedra(host, kLaneWidth, 13u);
  randomHexahedra(dev, kLaneWidth, 13u);
  for (SolidModel* m : {&host, &dev}) {
    SolidElementCuda& e = m->elems.back();
    for (int I = 0; I < 4; ++I) {
      std::swap(e.node_id[I], e.node_id[I + 4]);
      // The layers' present places swapped back: the shape of the deck's
      // numbering turned through itself.
      NodeCuda& a = m->nodes[e.node_id[I] - 1];
      NodeCuda& b = m->nodes[e.node_id[I + 4] - 1];
      for (int k = 0; k < 3; ++k) std::swap(a.coord[k], b.coord[k]);
    }
    e.bulidNodeMatch(m->nodes.data());
  }
  clearInvertedElementReport();
  devicePass(dev);
  EXPECT_GT(invertedElementReport().pointCount, 0);
  EXPECT_EQ(invertedElementReport().elementId, kLaneWidth);
  clearInvertedElementReport();
  oneElementPass(host);
  clearInvertedElementReport();
  PassResult a(dev), b(host);
  a.stress = b.stress;
  expectSamePass(a, b);
}

// Characteristic lengths by shape from their face areas, each area a sum of
// triangle areas with its own square roots.
double triangle(const double x[8][3], int a, int b, int c) {
  double area = 0.0;
  computeTriangleArea(x[a], x[b], x[c], area);
  return area;
}
double quad(const double x[8][3], int a, int b, int c, int d) {
  double area = 0.0;
  computeQuadrilaArea(x[a], x[b], x[c], x[d], area);
  return area;
}

double lengthFromFaceAreas(int type, const double x[8][3]) {
  using namespace solid1st;
  switch (type) {
    case 15:
      return 3.0 * tetraVolume(x[0], x[1], x[2], x[3]) /
             std::max({triangle(x, 0, 1, 2), triangle(x, 0, 1, 3), triangle(x, 1, 2, 3), triangle(x, 0, 2, 3)});
    case 20:
    case 22:
      return pentaVolume(x) / std::max({triangle(x, 0, 1, 2), triangle(x, 3, 4, 5), quad(x, 0, 1, 4, 3),
                                        quad(x, 1, 2, 5, 4), quad(x, 0, 2, 5, 3)});
    case 21:
      return std::fabs(hexaExactVolume(x)) / std::max({triangle(x, 0, 1, 4), triangle(x, 3, 2, 5), quad(x, 0, 4, 5, 3),
                                                       quad(x, 4, 1, 2, 5), quad(x, 0, 1, 2, 3)});
    default:
      return std::fabs(hexaExactVolume(x)) / std::max({quad(x, 0, 1, 2, 3), quad(x, 4, 5, 6, 7), quad(x, 0, 1, 5, 4),
                                                       quad(x, 1, 2, 6, 5), quad(x, 2, 3, 7, 6), quad(x, 0, 3, 7, 4)});
  }
}

TEST(ElementLanes, LengthsWithFewRootsAgreeWithTheFaceAreas) {
  std::mt19937 rng(5u);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int type : {15, 17, 18, 19, 20, 21, 22, 23}) {
    for (int trial = 0; trial < 50; ++trial) {
      // Unit-cube corners moved by up to 10 % (first trials) to 45 %
      // (badly distorted); the last trial folds a face onto a line.
      const double amount = trial < 25 ? 0.1 : 0.45;
      double x[8][3];
      for (int I = 0; I < 8; ++I)
        for (int k = 0; k < 3; ++k) x[I][k] = 0.5 * (1 + solid1st::hexaCorner(k, I)) + amount * u(rng);
      if (trial == 49)
        for (int k = 0; k < 3; ++k) x[2][k] = x[3][k] = 0.5 * (x[0][k] + x[1][k]);
      const double reference = lengthFromFaceAreas(type, x);
      EXPECT_NEAR(solid1st::solidCharactLength(type, x), reference, 1e-14 * reference)
          << "type " << type << " trial " << trial;
    }
  }
  // The lane form of the hexahedron's length is the same evaluation.
  double x[8][3];
  LaneDouble xl[8][3];
  for (int l = 0; l < kLaneWidth; ++l) {
    for (int I = 0; I < 8; ++I)
      for (int k = 0; k < 3; ++k) laneSet(xl[I][k], l, x[I][k] = 0.5 * (1 + solid1st::hexaCorner(k, I)) + 0.3 * u(rng));
    EXPECT_EQ(laneGet(solid1st::hexaCharactLength(xl), l), solid1st::hexaCharactLength(x));
  }
}

// Cube roots of kLaneWidth values at a time, in the kernels' instruction
// sets.
FEM_LANE_KERNEL void cubeRoots(const double* in, double* out) {
  const LaneDouble r = laneCbrt(laneLoad(in));
  for (int l = 0; l < kLaneWidth; ++l) out[l] = laneGet(r, l);
}

TEST(ElementLanes, CubeRootsAreTheLibraryOnes) {
  std::mt19937_64 rng(9u);
  std::uniform_real_distribution<double> mantissa(0.5, 1.0);
  std::uniform_int_distribution<int> exponent(-1074, 1024);
  const double odd[] = {0.0, -0.0, 1e-310, -4.9e-324, HUGE_VAL, -HUGE_VAL, NAN, 1.0, -27.0, 0x1p-1022};
  for (int trial = 0; trial < 200000; ++trial) {
    double a[kLaneWidth], r[kLaneWidth];
    for (int l = 0; l < kLaneWidth; ++l)
      a[l] = trial < 10 && l == 0 ? odd[trial] : (l == 3 ? -1 : 1) * std::ldexp(mantissa(rng), exponent(rng));
    cubeRoots(a, r);
    for (int l = 0; l < kLaneWidth; ++l)
      ASSERT_TRUE(r[l] == std::cbrt(a[l]) || (std::isnan(r[l]) && std::isnan(a[l]))) << a[l];
  }
}

}  // namespace
