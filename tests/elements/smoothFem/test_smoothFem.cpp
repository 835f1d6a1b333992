// Smoothed-FEM domains built over tetrahedral parts through the set-up
// passes (records, integration points, derivatives), then the domain forces.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/nodeManager.h"
#include "core/part.h"
#include "elements/common/integratpointmanager.h"
#include "elements/smoothFem/smoothFemManager.h"
#include "materials/materialmanager.h"
#include "tests/elements/common/elementTestModel.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

using Tet = std::array<int, 4>;  // 1-based node ids

// Parts of tetrahedra sharing one elastic material, put through the host
// set-up passes of the smoothed-FEM domains.
struct SmoothModel {
  NodeManager nodes;
  MaterialManager materials;
  std::vector<ElmManager> stores;
  std::vector<Section> sections;
  std::vector<Part> parts;
  IntegratPointManager points;
  SmoothFemManager sfem;
  std::string messages;

  explicit SmoothModel(const std::vector<std::array<double, 3>>& coords) {
    nodes.node_array_cpu.assign(coords.size(), NodeCuda{});
    for (std::size_t i = 0; i < coords.size(); ++i) {
      NodeCuda& n = nodes.node_array_cpu[i];
      n.id = static_cast<int>(i) + 1;
      n.store_id = static_cast<int>(i);
      for (int k = 0; k < 3; ++k) n.coord[k] = n.ini_coord[k] = coords[i][k];
    }
    Material m;
    m.id = 1;
    m.type = MT_LINEAR_ELASTIC;
    m.youngs_modulus = 1000.0;
    m.poissons_ratio = 0.25;
    m.density = 1.0;
    m.shear_modulus = 400.0;
    m.bulk_modulus = 1000.0 / 1.5;
    materials.material_array = {m};
    materials.buildMaterialIdMap();
    materials.createMaterialNewArray();
    materials.buildMaterialNewIdMap();
    stores.reserve(8);
    sections.reserve(8);
  }

  // Part of 4-node tetrahedra (or, with formulation 16, 5-node pyramids).
  void addPart(int kind, const std::vector<Tet>& tets, int formulation = ET_TETRA_TL,
               const std::vector<std::array<int, 5>>& pyramids = {}) {
    const int id = static_cast<int>(parts.size()) + 1;
    Section s = elmtest::section(4, formulation);
    s.id = id;
    s.sfem_kind = kind;
    sections.push_back(s);
    stores.emplace_back();
    ElmManager& store = stores.back();
    for (const Tet& t : tets) {
      SolidElementCuda e = elmtest::solid(static_cast<int>(store.solid_element_array_cpu.size()) + 1,
                                          {t[0], t[1], t[2], t[3], t[3], t[3], t[3], t[3]});
      for (int k = 0; k < 8; ++k) e.node[k] = &nodes.node_array_cpu[e.node_id[k] - 1];
      store.solid_element_array_cpu.push_back(e);
    }
    for (const auto& p : pyramids) {
      SolidElementCuda e = elmtest::solid(static_cast<int>(store.solid_element_array_cpu.size()) + 1,
                                          {p[0], p[1], p[2], p[3], p[4], p[4], p[4], p[4]});
      for (int k = 0; k < 8; ++k) e.node[k] = &nodes.node_array_cpu[e.node_id[k] - 1];
      store.solid_element_array_cpu.push_back(e);
    }
    store.setMaterialSectionId(1, id);
    elmtest::hostSetUp(store, sections.back());
    Part p;
    p.id = id;
    p.material_id = 1;
    p.section_id = id;
    p.elmManager = &store;
    p.section = &sections.back();
    p.material = materials.findMaterialIndexById(1);
    p.materialNew = materials.findMaterialNewIndexById(1);
    parts.push_back(p);
  }

  void setUp() {
    CaptureStdout();
    sfem.createSmoothDomains(parts);
    points.numberGaussPoints(parts, sfem.smoothDomains(), &materials);
    materials.createStatusArraysCpu();
    points.createGaussPoints(parts, sfem.smoothDomains(), &materials);
    points.setNodeNumAndAllocateShapePartial();
    sfem.computeSmoothDomains(parts);
    messages = GetCapturedStdout();
  }

  // Host force pass (the routine the GPU kernel runs) after clearing forces.
  void forces(double dt) {
    for (NodeCuda& n : nodes.node_array_cpu) n.force[0] = n.force[1] = n.force[2] = 0.0;
    sfem.computeForcesCpu(&materials, dt);
  }
  double largestForce() const {
    double f = 0.0;
    for (const NodeCuda& n : nodes.node_array_cpu)
      for (int k = 0; k < 3; ++k) f = std::max(f, std::fabs(n.force[k]));
    return f;
  }
};

double tetVolume(const NodeManager& nodes, const Tet& t) {
  const double* a = nodes.node_array_cpu[t[0] - 1].coord;
  double e[3][3];
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) e[i][k] = nodes.node_array_cpu[t[i + 1] - 1].coord[k] - a[k];
  const double det = e[0][0] * (e[1][1] * e[2][2] - e[1][2] * e[2][1]) -
                     e[0][1] * (e[1][0] * e[2][2] - e[1][2] * e[2][0]) +
                     e[0][2] * (e[1][0] * e[2][1] - e[1][1] * e[2][0]);
  return std::fabs(det) / 6.0;
}

// A cube of n^3 cells, each cut into six tetrahedra along its diagonal,
// every node moved by a fixed irregular offset of up to 0.15 cell sizes.
struct DistortedCube {
  std::vector<std::array<double, 3>> coords;
  std::vector<Tet> tets;
  explicit DistortedCube(int n) {
    auto id = [n](int i, int j, int k) { return 1 + i + (n + 1) * (j + (n + 1) * k); };
    for (int k = 0; k <= n; ++k)
      for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
          const int s = static_cast<int>(coords.size());
          coords.push_back({i + 0.15 * std::sin(1.7 * s + 0.3), j + 0.15 * std::sin(2.9 * s + 1.1),
                            k + 0.15 * std::sin(4.3 * s + 2.0)});
        }
    static constexpr int axes[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (int k = 0; k < n; ++k)
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
          for (const auto& ax : axes) {
            int c[3] = {i, j, k};
            Tet t{};
            t[0] = id(c[0], c[1], c[2]);
            for (int m = 0; m < 3; ++m) {
              ++c[ax[m]];
              t[m + 1] = id(c[0], c[1], c[2]);
            }
            tets.push_back(t);
          }
  }
};

// Gradient of the field u through record r: sum over support nodes of b_j u_j.
std::array<double, 3> smoothedGradient(const SmoothFEM& r, double (*u)(const double*)) {
  std::array<double, 3> g{0.0, 0.0, 0.0};
  for (int j = 0; j < r.node_num; ++j) {
    const double v = u(r.nodeArray_[j]->coord);
    g[0] += r.gaussPoint->shapePartialDx_[j] * v;
    g[1] += r.gaussPoint->shapePartialDy_[j] * v;
    g[2] += r.gaussPoint->shapePartialDz_[j] * v;
  }
  return g;
}

double linearField(const double* x) { return 0.7 + 1.5 * x[0] - 2.0 * x[1] + 0.25 * x[2]; }

}  // namespace

// Every kind on a distorted mesh: linear fields are differentiated exactly,
// the domains tile the mesh, and rigid motions (a translation, then a 30
// degree rotation in one step) load no node.
TEST(SmoothFem, PatchVolumeAndRigidMotionForEveryKind) {
  const DistortedCube cube(2);
  for (int kind : {SFEM_EDGE, SFEM_NODE, SFEM_NODE_SIX_POINT}) {
    SCOPED_TRACE(kind);
    SmoothModel m(cube.coords);
    m.addPart(kind, cube.tets);
    m.setUp();
    EXPECT_EQ(m.messages, "");
    // 27 nodes; 6 x 19 edges along the axes, 3 x 12 face diagonals (per
    // face plane 4 cells), 8 cell diagonals.
    const int perKind[5] = {0, 54 + 36 + 8, 0, 27, 6 * 27};
    EXPECT_EQ(m.sfem.smoothFemNumber_, perKind[kind]);
    double meshVolume = 0.0, domainVolume = 0.0;
    for (const Tet& t : cube.tets) meshVolume += tetVolume(m.nodes, t);
    for (const SmoothFEM& r : m.sfem.smoothFemArrayCpu_) {
      ASSERT_NE(r.gaussPoint, nullptr);
      domainVolume += r.gaussPoint->weight_;
      const auto g = smoothedGradient(r, linearField);
      EXPECT_NEAR(g[0], 1.5, 1e-10);
      EXPECT_NEAR(g[1], -2.0, 1e-10);
      EXPECT_NEAR(g[2], 0.25, 1e-10);
    }
    EXPECT_NEAR(domainVolume, meshVolume, 1e-12 * meshVolume);

    for (NodeCuda& n : m.nodes.node_array_cpu)
      for (int k = 0; k < 3; ++k) n.total_disp[k] = n.step_disp[k] = 0.3 * (k + 1);
    m.forces(1e-3);
    EXPECT_LT(m.largestForce(), 1e-9);

    const double c = std::cos(M_PI / 6.0), s = std::sin(M_PI / 6.0);
    for (NodeCuda& n : m.nodes.node_array_cpu) {
      const double* X = n.ini_coord;
      const double rx = c * X[0] - s * X[1], ry = s * X[0] + c * X[1];
      n.total_disp[0] = n.step_disp[0] = rx - X[0];
      n.total_disp[1] = n.step_disp[1] = ry - X[1];
      n.total_disp[2] = n.step_disp[2] = 0.0;
    }
    m.forces(1e-3);
    EXPECT_LT(m.largestForce(), 1e-8);
    // A uniform stretch does load the nodes, and the loads balance.
    for (NodeCuda& n : m.nodes.node_array_cpu) {
      n.total_disp[0] = n.step_disp[0] = 1e-3 * n.ini_coord[0];
      n.total_disp[1] = n.step_disp[1] = 0.0;
    }
    m.forces(1e-3);
    EXPECT_GT(m.largestForce(), 1e-3);
    double sum[3] = {0.0, 0.0, 0.0};
    for (const NodeCuda& n : m.nodes.node_array_cpu)
      for (int k = 0; k < 3; ++k) sum[k] += n.force[k];
    for (double f : sum) EXPECT_NEAR(f, 0.0, 1e-10);
  }
}

// Two tetrahedra (unit corner tetrahedron and its neighbour across the
// slanted face up to (1, 1, 1)): the domain of node 2 takes a quarter of
// each, so b = (1/3) grad N of the first + (2/3) grad N of the second.
TEST(SmoothFem, NodeGradientsMatchTheVolumeWeightedMean) {
  SmoothModel m({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}});
  m.addPart(SFEM_NODE, {{1, 2, 3, 4}, {2, 3, 4, 5}});
  m.setUp();
  ASSERT_EQ(m.sfem.smoothFemNumber_, 5);
  const SmoothFEM& node1 = m.sfem.smoothFemArrayCpu_[0];
  const SmoothFEM& node2 = m.sfem.smoothFemArrayCpu_[1];
  EXPECT_NEAR(node1.gaussPoint->weight_, 1.0 / 24.0, 1e-15);
  EXPECT_NEAR(node2.gaussPoint->weight_, 1.0 / 8.0, 1e-15);
  // Node 1 lies in the first tetrahedron only: its gradients are that
  // tetrahedron's, with the signs of outward facets.
  const double b1[4][3] = {{-1, -1, -1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  ASSERT_EQ(node1.node_num, 4);
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(node1.nodeIdArray_[j], j + 1);
    EXPECT_NEAR(node1.gaussPoint->shapePartialDx_[j], b1[j][0], 1e-13);
    EXPECT_NEAR(node1.gaussPoint->shapePartialDy_[j], b1[j][1], 1e-13);
    EXPECT_NEAR(node1.gaussPoint->shapePartialDz_[j], b1[j][2], 1e-13);
  }
  const double t = 1.0 / 3.0;
  const double b2[5][3] = {{-t, -t, -t}, {2 * t, -t, -t}, {-t, 2 * t, -t}, {-t, -t, 2 * t}, {t, t, t}};
  ASSERT_EQ(node2.node_num, 5);
  for (int j = 0; j < 5; ++j) {
    EXPECT_EQ(node2.nodeIdArray_[j], j + 1);
    EXPECT_NEAR(node2.gaussPoint->shapePartialDx_[j], b2[j][0], 1e-13);
    EXPECT_NEAR(node2.gaussPoint->shapePartialDy_[j], b2[j][1], 1e-13);
    EXPECT_NEAR(node2.gaussPoint->shapePartialDz_[j], b2[j][2], 1e-13);
  }
}

// Two smoothed-FEM parts (node-based and six-point) each keep their own
// records, written from their own first record; a node shared by 120
// tetrahedra gets all its 63 support nodes.
TEST(SmoothFem, PartsKeepTheirDomainsAndLargePatchesFit) {
  std::vector<std::array<double, 3>> coords = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  coords.push_back({0, 0, 0.5});   // 5: fan centre
  coords.push_back({0, 0, 1.5});   // 6: top
  coords.push_back({0, 0, -0.5});  // 7: bottom
  const int ring = 60;
  for (int i = 0; i < ring; ++i) coords.push_back({std::cos(2 * M_PI * i / ring), std::sin(2 * M_PI * i / ring), 0.5});
  std::vector<Tet> fan;
  for (int i = 0; i < ring; ++i) {
    const int a = 8 + i, b = 8 + (i + 1) % ring;
    fan.push_back({5, 6, a, b});
    fan.push_back({5, 7, a, b});
  }
  SmoothModel m(coords);
  m.addPart(SFEM_NODE_SIX_POINT, {{1, 2, 3, 4}});
  m.addPart(SFEM_NODE, fan);
  m.setUp();
  ASSERT_EQ(m.sfem.partDomains_.size(), 2u);
  EXPECT_EQ(m.sfem.partDomains_[0].first, 0);
  EXPECT_EQ(m.sfem.partDomains_[0].count, 24);
  EXPECT_EQ(m.sfem.partDomains_[1].first, 24);
  EXPECT_EQ(m.sfem.partDomains_[1].count, 3 + ring);
  EXPECT_NE(m.messages.find("63"), std::string::npos) << m.messages;
  double first = 0.0, second = 0.0;
  for (int i = 0; i < m.sfem.smoothFemNumber_; ++i) {
    const SmoothFEM& r = m.sfem.smoothFemArrayCpu_[i];
    (i < 24 ? first : second) += r.gaussPoint->weight_;
    for (int j = 0; j < r.node_num; ++j) EXPECT_EQ(r.nodeIdArray_[j] <= 4, i < 24);
    const auto g = smoothedGradient(r, linearField);
    EXPECT_NEAR(g[0], 1.5, 1e-10);
    EXPECT_NEAR(g[2], 0.25, 1e-10);
    if (i == 24) {
      EXPECT_EQ(r.nodeIdArray_[0], 5);
      EXPECT_EQ(r.node_num, 63);
    }
  }
  EXPECT_NEAR(first, 1.0 / 6.0, 1e-14);
  double fanVolume = 0.0;
  for (const Tet& t : fan) fanVolume += tetVolume(m.nodes, t);
  EXPECT_NEAR(second, fanVolume, 1e-12);
  // Six records per node of the single tetrahedron, all with its gradients
  // (one tetrahedron: the moments vanish).
  EXPECT_NEAR(m.sfem.smoothFemArrayCpu_[3].gaussPoint->shapePartialDx_[0], -1.0, 1e-12);
}

// Cell-based domains: four cells per pyramid over its five nodes, tiling it
// and differentiating linear fields exactly; a pyramid part asking for a
// tetrahedral kind (and the reverse) builds nothing.
TEST(SmoothFem, CellDomainsOfPyramids) {
  // Apex 1 above a skewed base 2-3-4-5 (planar, z = 0); volume base x h / 3.
  SmoothModel m({{0.3, 0.2, 1.5}, {0, 0, 0}, {2, 0, 0}, {2.4, 1.5, 0}, {0.2, 1.2, 0}});
  m.addPart(SFEM_CELL, {}, ET_PYRAMID_TL, {{1, 2, 3, 4, 5}});
  m.addPart(SFEM_NODE, {}, ET_PYRAMID_TL, {{1, 2, 3, 4, 5}});
  m.addPart(SFEM_CELL, {{1, 2, 3, 4}});
  m.addPart(5, {{1, 2, 3, 4}});
  m.setUp();
  // The unknown kind is named once in each pass; mismatched ones are quiet.
  const std::string unknown = "当前没有这种光滑有限元算法，请补充\n";
  EXPECT_EQ(m.messages, unknown + unknown);
  ASSERT_EQ(m.sfem.smoothFemNumber_, 4);
  double sum = 0.0;
  for (const SmoothFEM& r : m.sfem.smoothFemArrayCpu_) {
    EXPECT_EQ(r.smoothType, SFEM_CELL);
    ASSERT_EQ(r.node_num, 5);
    sum += r.gaussPoint->weight_;
    const auto g = smoothedGradient(r, linearField);
    EXPECT_NEAR(g[0], 1.5, 1e-12);
    EXPECT_NEAR(g[1], -2.0, 1e-12);
    EXPECT_NEAR(g[2], 0.25, 1e-12);
  }
  // Shoelace area of the base (0,0) (2,0) (2.4,1.5) (0.2,1.2).
  const double area = 0.5 * ((0 * 0 - 2 * 0) + (2 * 1.5 - 2.4 * 0) + (2.4 * 1.2 - 0.2 * 1.5) + (0.2 * 0 - 0 * 1.2));
  EXPECT_NEAR(sum, area * 1.5 / 3.0, 1e-12);
}
