// The GPU element driver over solids in device memory: pointer arrays,
// verification, sorting, the critical step, the per-cycle step through
// cuBLAS, mass scaling with its report and nodal stress sums.
#include "tests/deviceTest.h"

#include <omp.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/nodeMassShares.h"
#include "elements/common/elementControl.h"
#include "elements/common/nodeGather.h"
#include "platform/cublasHandle.h"
#include "tests/elements/solid1st/solidDeviceModel.h"

namespace {

using solidtest::DeviceModel;
using solidtest::SolidModel;

// Cubes of the given edges side by side along x, one-point hexahedra.
void addCubes(SolidModel& m, std::initializer_list<double> edges) {
  double x0 = 0.0;
  for (double h : edges) {
    solidtest::addCube(m, h, x0);
    x0 += 2.0 * h;
  }
}

struct Driver {
  ElementControl control;
  explicit Driver(DeviceModel& d) {
    control.allocateAndCopyElementPtr(d.parts);
    control.gpuVerifyElement();
    control.sortElementPtrByType();
    control.allocateBlockDtBuffer();
    control.allocateDtArray();
  }
};

// The nodal sums of an output point: the elements registered with their
// nodes as set-up does, then each node's sums.
void sumNodalStress(Driver& drv, DeviceModel& d) {
  d.store.gpuBuildIndexNode();
  orderRegisteredSlotsOf(d.nodes, d.nodeNum);
  drv.control.gpuAccumulateStrToNode(d.nodes, d.nodeNum, d.sections);
}

DEVICE_TEST(ElementControl, CriticalStepOfSteelCube) {
  SolidModel m;
  addCubes(m, {0.01});
  m.link();
  DeviceModel d(m);
  Driver drv(d);
  EXPECT_EQ(drv.control.solid_num, 1);
  EXPECT_NEAR(drv.control.gpuCalCriticalDt(d.record, d.sections, 0.9), 1.49976e-6, 1e-11);
  EXPECT_NEAR(d.readElements()[0].dt, 1.49976e-6, 1e-11);

  ElementControl empty;
  empty.allocateBlockDtBuffer();
  EXPECT_EQ(empty.gpuCalCriticalDt(d.record, d.sections, 0.9), 1000.0);
}

// A collapsed element (all nodes in one point) has no finite step: it never
// becomes the first step; in the cycle it gives the model step 0, and it is
// the element named when the run stops.
DEVICE_TEST(ElementControl, CriticalStepSkipsStepsThatAreNotFinite) {
  SolidModel m;
  addCubes(m, {0.0, 0.01});
  m.link();
  DeviceModel d(m);
  Driver drv(d);
  EXPECT_NEAR(drv.control.gpuCalCriticalDt(d.record, d.sections, 0.9), 1.49976e-6, 1e-11);
  // In the cycle the element makes the model step 0, which stops the loop.
  const CublasHandle handle;
  double candidate = 1.0;
  drv.control.gpuAllElementInterFor(d.materials, d.sections, d.hourglass, 1e-7, handle.get(), &candidate, 0.9);
  EXPECT_EQ(candidate, 0.0);
  const ElementStep worst = drv.control.smallestElementStep();
  ASSERT_TRUE(worst.found);
  EXPECT_EQ(worst.id, 1);
  EXPECT_TRUE(std::isnan(worst.step));
}

// The step found through cuBLAS is the smallest of all element steps.
DEVICE_TEST(ElementControl, SmallestStepThroughCublas) {
  SolidModel m;
  addCubes(m, {0.01, 0.004, 0.02, 0.003, 0.015, 0.0035});
  m.link();
  m.nodes[10].vel[2] = 0.5;  // some motion, so that forces are non-trivial
  DeviceModel d(m);
  Driver drv(d);
  const CublasHandle handle;
  ASSERT_EQ(handle.status(), CUBLAS_STATUS_SUCCESS);
  double candidate = 1.0;
  drv.control.gpuAllElementInterFor(d.materials, d.sections, d.hourglass, 1e-7, handle.get(), &candidate, 0.9);
  double smallest = 1e300;
  for (const SolidElementCuda& e : d.readElements()) smallest = std::fmin(smallest, e.dt);
  EXPECT_EQ(candidate, smallest);
  EXPECT_NEAR(candidate, 0.9 * 0.003 / m.record->wave_speed[0], 1e-15);

  // No element with a step: the candidate is left alone.
  ElementControl empty;
  empty.allocateDtArray();
  candidate = 0.25;
  empty.gpuAllElementInterFor(d.materials, d.sections, d.hourglass, 1e-7, handle.get(), &candidate, 0.9);
  EXPECT_EQ(candidate, 0.25);
}

// The smallest step of step arrays of a few, some ten thousand and some
// hundred thousand entries (one chunk, a hundred and a thousand of them, the
// last one partial): the first entry of the smallest
// magnitude whatever chunk it falls in, a step that is not finite as 0, the
// same as the serial search through cuBLAS, on four threads (that the host
// build shares the pass out is checked with its launches).
DEVICE_TEST(ElementControl, SmallestStepOfLongStepArraysOnFourThreads) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(4);
  const CublasHandle handle;
  ASSERT_EQ(handle.status(), CUBLAS_STATUS_SUCCESS);
  for (const int n : {7, 30001, 300001}) {
    ElementControl control;
    control.solid_num = n;
    control.allocateDtArray();
    std::vector<double> steps(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) steps[i] = 1e-6 * (2.0 + std::sin(0.37 * i));
    const auto smallestOf = [&](bool chunks) {
      EXPECT_EQ(cudaMemcpy(control.dtArray, steps.data(), sizeof(double) * n, cudaMemcpyHostToDevice), cudaSuccess);
      control.chunk_step_minimum = chunks;
      double candidate = 1.0;
      control.takeSmallestStep(handle.get(), &candidate);
      return candidate;
    };
    // Equal magnitudes in the last entry and in one before it (negative):
    // the earlier one is taken.
    steps[n - 1] = 1e-7;
    steps[n / 3] = -1e-7;
    EXPECT_EQ(smallestOf(true), -1e-7) << n;
    EXPECT_EQ(smallestOf(false), -1e-7) << n;
    steps[n / 3] = 3e-6;
    EXPECT_EQ(smallestOf(true), 1e-7) << n;
    EXPECT_EQ(smallestOf(false), 1e-7) << n;
    steps[n / 2] = std::nan("");
    EXPECT_EQ(smallestOf(true), 0.0) << n;
    EXPECT_EQ(smallestOf(false), 0.0) << n;
  }
  omp_set_num_threads(saved);
}

// Parts of null or rigid material, or without a model, take no place.
DEVICE_TEST(ElementControl, PartsWithoutDeformableModelAreLeftOut) {
  SolidModel m;
  addCubes(m, {0.01});
  m.link();
  DeviceModel d(m);
  ElementControl none;
  d.parts[0].materialNew = nullptr;
  none.allocateAndCopyElementPtr(d.parts);
  EXPECT_EQ(none.solid_num, 0);
  EXPECT_EQ(none.solidArrayGpu, nullptr);
  d.parts[0].materialNew = m.material.get();
  m.record->type = MT_RIGID;
  ElementControl rigid;
  rigid.allocateAndCopyElementPtr(d.parts);
  EXPECT_EQ(rigid.solid_num, 0);
  m.record->type = MT_LINEAR_ELASTIC;
}

DEVICE_TEST(ElementControl, SortsByTypeThenMaterial) {
  SolidModel m;
  addCubes(m, {0.01, 0.01, 0.01, 0.01});
  m.addNode(0, 0, 0);
  m.link();
  m.elems[0].material_id = 2;  // sorts after element 2 (type 18, material 1)
  m.elems[2].type = ET_HEXA_FULL;
  DeviceModel d(m);
  Driver drv(d);
  std::vector<SolidElementCuda*> order(4);
  ASSERT_EQ(cudaMemcpy(order.data(), drv.control.solidArrayGpu, sizeof(SolidElementCuda*) * 4, cudaMemcpyDeviceToHost),
            cudaSuccess);
  SolidElementCuda* base = d.store.solid_element_array_gpu;
  EXPECT_EQ(order[0] - base, 2);
  EXPECT_EQ(order[1] - base, 1);
  EXPECT_EQ(order[2] - base, 3);
  EXPECT_EQ(order[3] - base, 0);
}

DEVICE_TEST(ElementControl, VerificationReportsWrongMultiplierAndNodeCount) {
  SolidModel m;
  addCubes(m, {0.01, 0.01});
  m.link();
  m.elems[0].dtScaleFactor = 0.5;
  m.elems[1].node_num = 6;
  DeviceModel d(m);
  testing::internal::CaptureStdout();
  Driver drv(d);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("单元 1 初始质量缩放因子存在错误\n"), std::string::npos);
  EXPECT_NE(out.find("单元 2 节点计数错误\n"), std::string::npos);
}

// Mass scaling to twice the step of the cube, then the report.
DEVICE_TEST(ElementControl, MassScalingAndReport) {
  SolidModel m;
  addCubes(m, {0.01});
  m.link();
  m.elems[0].calSolidNodeMass(m.record.get(), nullptr);
  for (NodeCuda& n : m.nodes) n.storeInitialMass();
  DeviceModel d(m);
  d.store.gpuBuildIndexNode();
  Driver drv(d);
  const double dt = drv.control.gpuCalCriticalDt(d.record, d.sections, 0.9);
  drv.control.gpuMassScale(2.0 * dt);
  // The element keeps what each node gains; the nodes gather it.
  NodeMassShareList shares;
  shares.build(d.nodes, d.nodeNum, CountNodeMassShares, FillNodeMassShares);
  shares.gather(d.nodes);
  ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
  for (const NodeCuda& n : d.readNodes()) EXPECT_NEAR(n.mass, 4.0 * 7.85e-3 / 8, 1e-15);
  EXPECT_DOUBLE_EQ(d.readElements()[0].dtScaleFactor, 2.0);

  const std::string path = testing::TempDir() + "solid_mass_report.txt";
  g_runRecord.open(path);
  testing::internal::CaptureStdout();
  drv.control.gpuCountMass(1);
  const std::string out = testing::internal::GetCapturedStdout();
  g_runRecord.close();
  EXPECT_EQ(out,
            "\ncalculation with mass scaling for minimum dt\nadded mass = 0.023550000\n"
            "physical mass= 0.007850000\nratio = 300.000000%\n");
  std::ifstream in(path);
  std::stringstream rec;
  rec << in.rdbuf();
  EXPECT_EQ(rec.str(),
            "calculation with mass scaling for minimum dt\nadded mass =\t0.02355\nphysical mass=\t0.00785\n"
            "ratio =\t300%\n");
  testing::internal::CaptureStdout();
  drv.control.gpuCountMass(0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// One stretched cube: its point stress reaches all eight nodes once.
DEVICE_TEST(ElementControl, NodalStressSums) {
  SolidModel m;
  addCubes(m, {0.01});
  m.link();
  for (int I : {2, 3, 6, 7}) m.nodes[I].vel[0] = 1.0;  // corners with xi = +1
  DeviceModel d(m);
  Driver drv(d);
  const CublasHandle handle;
  double candidate = 1.0;
  drv.control.gpuAllElementInterFor(d.materials, d.sections, d.hourglass, 1e-7, handle.get(), &candidate, 0.9);
  sumNodalStress(drv, d);
  ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
  const std::vector<NodeCuda> nodes = d.readNodes();
  EXPECT_GT(nodes[0].stress[0], 0.0);
  for (const NodeCuda& n : nodes) {
    EXPECT_EQ(n.stress_weight, 1.0);
    EXPECT_EQ(n.stress[0], nodes[0].stress[0]);
    EXPECT_NEAR(n.strain[0], 1e-7 / 0.01, 1e-18);
  }
}

// The eight point values of a fully integrated hexahedron that follow a
// field spanned by its shape functions reach the nodes as that field's
// corner values (stress and strain alike): on the usual grid of points, on
// that grid listed in another order, and on points off any grid (the
// general solve).
DEVICE_TEST(ElementControl, HexahedronPointValuesExtrapolateToTheNodes) {
  auto field = [](double r, double s, double t) { return 1e6 + 2e5 * r - 4e5 * s * t + 1e5 * r * s * t; };
  enum Layout { kGrid, kGridReversed, kOffGrid };
  for (Layout layout : {kGrid, kGridReversed, kOffGrid}) {
    SCOPED_TRACE(layout);
    SolidModel m;
    for (int I = 0; I < 8; ++I)
      m.addNode(0.005 * (1 + solid1st::hexaCorner(0, I)), 0.005 * (1 + solid1st::hexaCorner(1, I)),
                0.005 * (1 + solid1st::hexaCorner(2, I)));
    m.addSolid(ET_HEXA_FULL, {1, 2, 3, 4, 5, 6, 7, 8});
    m.link();
    if (layout == kGridReversed)
      for (int p = 0; p < 4; ++p)
        for (int d = 0; d < 3; ++d) std::swap(m.points[p].coord_[d], m.points[7 - p].coord_[d]);
    if (layout == kOffGrid)
      for (int p = 0; p < 8; ++p)
        for (int d = 0; d < 3; ++d) m.points[p].coord_[d] *= 1.0 + 0.05 * ((p + d) % 3);
    for (int p = 0; p < 8; ++p) {
      const double* c = m.points[p].coord_;
      m.states[p].stress[0] = field(c[0], c[1], c[2]);
      m.states[p].strain[3] = 1e-9 * field(c[2], c[0], c[1]);
    }
    DeviceModel d(m);
    Driver drv(d);
    sumNodalStress(drv, d);
    ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
    const std::vector<NodeCuda> nodes = d.readNodes();
    for (int I = 0; I < 8; ++I) {
      const double r = solid1st::hexaCorner(0, I), s = solid1st::hexaCorner(1, I), t = solid1st::hexaCorner(2, I);
      EXPECT_NEAR(nodes[I].stress[0], field(r, s, t), 1e-6) << "node " << I + 1;
      EXPECT_NEAR(nodes[I].strain[3], 1e-9 * field(t, r, s), 1e-15) << "node " << I + 1;
      EXPECT_EQ(nodes[I].stress_weight, 1.0);
    }
  }
}

// A pentahedron and a pyramid give their nodes the mean of their point
// values without a message (they used to print one line per element and
// leave their nodes without stress).
DEVICE_TEST(ElementControl, WedgeAndPyramidNodesTakeTheMeanOfTheirPoints) {
  SolidModel m;
  for (double z : {0.0, 0.01}) {
    m.addNode(0.0, 0.0, z);
    m.addNode(0.01, 0.0, z);
    m.addNode(0.0, 0.01, z);
  }
  m.addSolid(ET_PENTA, {1, 2, 3, 4, 5, 6});
  const int apex = m.addNode(0.005, 0.005, 0.02);
  m.addSolid(ET_PYRAMID_TL, {apex, 4, 5, 6, 6});
  m.link();
  for (size_t p = 0; p < m.states.size(); ++p) {
    m.states[p].stress[0] = 1e6 * static_cast<double>(p + 1);
    m.states[p].strain[2] = 1e-3 * static_cast<double>(p + 1);
  }
  DeviceModel d(m);
  Driver drv(d);
  testing::internal::CaptureStdout();
  sumNodalStress(drv, d);
  ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  const std::vector<NodeCuda> nodes = d.readNodes();
  // Wedge points 1-2 (mean 1.5), pyramid points 3-6 (mean 4.5).
  EXPECT_DOUBLE_EQ(nodes[0].stress[0], 1.5e6);
  EXPECT_DOUBLE_EQ(nodes[0].stress_weight, 1.0);
  EXPECT_DOUBLE_EQ(nodes[apex - 1].stress[0], 4.5e6);
  EXPECT_DOUBLE_EQ(nodes[apex - 1].strain[2], 4.5e-3);
  // A node of both: one sum and one weight from each element (the pyramid's
  // repeated base corner counts twice, as its slot does).
  EXPECT_DOUBLE_EQ(nodes[3].stress[0], 1.5e6 + 4.5e6);
  EXPECT_DOUBLE_EQ(nodes[3].stress_weight, 2.0);
}

// A material object whose id differs from the element's material id is
// reported and used all the same.
DEVICE_TEST(ElementControl, MaterialIdMismatchIsReportedAndComputed) {
  SolidModel m;
  addCubes(m, {0.01});
  m.link();
  m.record->id = 7;
  DeviceModel d(m);
  Driver drv(d);
  const CublasHandle handle;
  double candidate = 1.0;
  testing::internal::CaptureStdout();
  drv.control.gpuAllElementInterFor(d.materials, d.sections, d.hourglass, 1e-7, handle.get(), &candidate, 0.9);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "材料与属性调用错误\n");
  EXPECT_NEAR(candidate, 1.49976e-6, 1e-11);
}

// Solids of a smoothed-FEM part leave the nodal sums to their domains.
DEVICE_TEST(ElementControl, SmoothedSolidsAddNoNodalStress) {
  SolidModel m;
  addCubes(m, {0.01});
  m.link();
  m.elems[0].sfemType = SFEM_NODE;
  m.states[0].stress[0] = 1e6;
  DeviceModel d(m);
  Driver drv(d);
  sumNodalStress(drv, d);
  ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
  for (const NodeCuda& n : d.readNodes()) {
    EXPECT_EQ(n.stress_weight, 0.0);
    EXPECT_EQ(n.stress[0], 0.0);
  }
}

}  // namespace
