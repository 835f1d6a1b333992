#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

#include "core/part.h"
#include "elements/common/elmmanager.h"
#include "elements/common/formulationCheck.h"
#include "materials/elementInversion.h"
#include "solid2ndTestModel.h"

using namespace solid2ndtest;

namespace {

// A distorted 2 x 2 x 2 block of edge h (the nodes of solidtest's distorted
// grid), each cube split into six ten-node tetrahedra around its main
// diagonal, straight-edged, mid-side nodes shared.  halfGrid holds each
// node's position in half-cells, so a node is interior when all three lie
// strictly between 0 and 4.
struct Tet10Block {
  Tet10Model m;
  std::vector<std::array<int, 3>> halfGrid;

  explicit Tet10Block(double h) {
    solidtest::SolidModel grid;
    solidtest::distortedGrid(grid, h);
    for (int k = 0; k < 3; ++k)
      for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
          const NodeCuda& g = grid.nodes[solidtest::gridNode(i, j, k) - 1];
          m.addNode(g.coord[0], g.coord[1], g.coord[2]);
          halfGrid.push_back({2 * i, 2 * j, 2 * k});
        }
    std::map<std::pair<int, int>, int> mid;
    auto midNode = [&](int a, int b) {
      const std::pair<int, int> key(std::min(a, b), std::max(a, b));
      auto it = mid.find(key);
      if (it != mid.end()) return it->second;
      const NodeCuda& A = m.nodes[a - 1];
      const NodeCuda& B = m.nodes[b - 1];
      const int id =
          m.addNode(0.5 * (A.coord[0] + B.coord[0]), 0.5 * (A.coord[1] + B.coord[1]), 0.5 * (A.coord[2] + B.coord[2]));
      std::array<int, 3> g;
      for (int c = 0; c < 3; ++c) g[c] = (halfGrid[a - 1][c] + halfGrid[b - 1][c]) / 2;
      halfGrid.push_back(g);
      mid.emplace(key, id);
      return id;
    };
    const int perms[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (int k = 0; k < 2; ++k)
      for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i)
          for (const auto& p : perms) {
            int step[3] = {0, 0, 0}, corner[4];
            corner[0] = solidtest::gridNode(i, j, k);
            for (int s = 0; s < 3; ++s) {
              step[p[s]] = 1;
              corner[s + 1] = solidtest::gridNode(i + step[0], j + step[1], k + step[2]);
            }
            int ids[10];
            for (int c = 0; c < 4; ++c) ids[c] = corner[c];
            for (int e = 0; e < 6; ++e) ids[4 + e] = midNode(corner[kEdge[e][0]], corner[kEdge[e][1]]);
            m.addTet10(ids);
          }
    m.link();
  }

  bool interior(int node) const {
    for (int c = 0; c < 3; ++c)
      if (halfGrid[node][c] == 0 || halfGrid[node][c] == 4) return false;
    return true;
  }
};

// Linear elastic stress increment dt (lambda tr D I + 2 G D) of a velocity
// gradient g[i][j] = dv_i/dx_j, as a full matrix.
void elasticStress(const Material& rec, const double g[3][3], double dt, double S[3][3]) {
  const double G = rec.shear_modulus, nu = rec.poissons_ratio;
  const double lambda = 2.0 * G * nu / (1.0 - 2.0 * nu);
  const double tr = g[0][0] + g[1][1] + g[2][2];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) S[i][j] = dt * ((i == j ? lambda * tr : 0.0) + G * (g[i][j] + g[j][i]));
}

void expectPointStress(const ElasticMaterialStatus& st, const double S[3][3], double tol) {
  const double want[6] = {S[0][0], S[1][1], S[2][2], S[0][1], S[1][2], S[2][0]};
  for (int c = 0; c < 6; ++c) EXPECT_NEAR(st.stress[c], want[c], tol) << "component " << c;
}

// Largest natural frequency of one element on its lumped masses: K by
// columns from the element's own force routine (unit velocity, dt 1, from a
// stress-free state), then power iteration on M^-1 K.
double largestFrequency(Tet10Model& m) {
  const int n = 30;
  std::vector<double> K(n * n);
  for (int j = 0; j < n; ++j) {
    for (NodeCuda& nd : m.nodes)
      for (int k = 0; k < 3; ++k) nd.vel[k] = nd.step_disp[k] = 0.0;
    m.nodes[j / 3].vel[j % 3] = 1.0;
    for (auto& s : m.states) s = ElasticMaterialStatus{};
    m.computeForces(1.0);
    for (int i = 0; i < n; ++i) K[i * n + j] = m.elems[0].interForce[i / 3][i % 3];
  }
  std::vector<double> x(n), y(n);
  for (int i = 0; i < n; ++i) x[i] = std::sin(1.3 * i + 0.7);
  double lambda = 0.0;
  for (int it = 0; it < 3000; ++it) {
    double norm = 0.0, xn = 0.0;
    for (int i = 0; i < n; ++i) {
      double s = 0.0;
      for (int j = 0; j < n; ++j) s += K[i * n + j] * x[j];
      y[i] = s / m.nodes[i / 3].mass;
      norm += y[i] * y[i];
      xn += x[i] * x[i];
    }
    lambda = std::sqrt(norm / xn);
    for (int i = 0; i < n; ++i) x[i] = y[i] / std::sqrt(norm);
  }
  return std::sqrt(lambda);
}

}  // namespace

TEST(Solid2nd, ElevenPointRuleMatchesTheSetUpRule) {
  const TetraRule rule = tetraRule(11);
  ASSERT_EQ(rule.n, tet2nd::kRulePoints);
  for (int p = 0; p < rule.n; ++p) {
    double L[3];
    EXPECT_DOUBLE_EQ(tet2nd::rulePoint(p, L), rule.w[p]);
    for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(L[k], rule.L[p][k]);
  }
}

// A ten-node tetrahedron mirrored after the start is reported for the run to
// stop; one squeezed to half its width is sound.
TEST(Solid2nd, ElementTurnedInsideOutIsReported) {
  for (double scale : {0.5, -1.0}) {
    solid2ndtest::Tet10Model m;
    m.addStraightTet10(solid2ndtest::testShape(3));
    m.link();
    for (NodeCuda& n : m.nodes) n.coord[0] = scale * n.ini_coord[0];
    clearInvertedElementReport();
    testing::internal::CaptureStdout();
    m.computeForces(1e-6);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(invertedElementReport().pointCount > 0, scale < 0.0) << out;
    if (scale < 0.0) {
      EXPECT_EQ(invertedElementReport().elementId, 1);
    }
  }
  clearInvertedElementReport();
}

// Nodes move with the step's displacement before the forces, as in the
// cycle: a rigid translation or spin of a stress-free mesh gives no force.
TEST(Solid2nd, RigidMotionGivesNoForce) {
  Tet10Block b(0.01);
  const double dt = 1e-7;
  // Reference: the force scale of a stretch at the rate of the spin below.
  const double w = 200.0, stretch[3][3] = {{w, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  const double zero[3] = {0, 0, 0};
  b.m.setLinearVelocity(zero, stretch, dt);
  b.m.computeForces(dt);
  double scale = 0.0;
  for (const auto& f : b.m.nodeForces()) scale = std::fmax(scale, std::fabs(f[0]));
  ASSERT_GT(scale, 0.0);

  for (auto& s : b.m.states) s = ElasticMaterialStatus{};
  const double a[3] = {3.0, -2.0, 1.5}, none[3][3] = {};
  b.m.setLinearVelocity(a, none, dt);
  b.m.computeForces(dt);
  for (const auto& f : b.m.nodeForces())
    for (int k = 0; k < 3; ++k) EXPECT_LT(std::fabs(f[k]), 1e-9 * scale);

  // A step that turns the mesh exactly (0.02 rad about an oblique axis):
  // v = (x_new - x_old) / dt.  Taken on the mid-step shape the velocity
  // gradient is exactly skew, so no strain and no force arise.
  for (auto& s : b.m.states) s = ElasticMaterialStatus{};
  const double angle = w * dt * 1e3, axis[3] = {0.36, 0.48, 0.8};
  const double c = std::cos(angle), s = std::sin(angle);
  double R[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int k = 3 - i - j;
      const double cross = i == j ? 0.0 : ((j - i + 3) % 3 == 1 ? -axis[k] : axis[k]);
      R[i][j] = (i == j ? c : 0.0) + (1.0 - c) * axis[i] * axis[j] + s * cross;
    }
  for (NodeCuda& n : b.m.nodes) {
    double x[3];
    for (int i = 0; i < 3; ++i) x[i] = R[i][0] * n.coord[0] + R[i][1] * n.coord[1] + R[i][2] * n.coord[2];
    for (int i = 0; i < 3; ++i) {
      n.step_disp[i] = x[i] - n.coord[i];
      n.vel[i] = n.step_disp[i] / dt;
      n.coord[i] = x[i];
    }
  }
  b.m.computeForces(dt);
  for (const auto& f : b.m.nodeForces())
    for (int k = 0; k < 3; ++k) EXPECT_LT(std::fabs(f[k]), 1e-9 * scale);
}

// Linear velocity field on a distorted mesh: every point gets the exact
// strain, and the interior nodes are in balance.  Quadratic field: the
// linearly varying strain is exact at every point, and an interior node's
// force is the body force of the stress gradient, -div(sigma) times the
// integral of its shape function (corner -V/20, mid-side V/5 per element).
TEST(Solid2nd, PatchTestsOnADistortedMesh) {
  const double h = 0.01, dt = 1e-6;
  Tet10Block b(h);
  const Material& rec = *b.m.record;
  const double a[3] = {0.1, 0.2, -0.3};
  const double L[3][3] = {{10.0, 3.0, -2.0}, {1.0, -4.0, 5.0}, {2.5, 0.5, 6.0}};
  b.m.setLinearVelocity(a, L, 0.0);
  b.m.computeForces(dt);
  double S[3][3];
  elasticStress(rec, L, dt, S);
  const double tol = 1e-9 * std::fabs(S[0][0]);
  for (const ElasticMaterialStatus& st : b.m.states) expectPointStress(st, S, tol);
  const auto f = b.m.nodeForces();
  const double fScale = std::fabs(S[0][0]) * h * h;
  int interior = 0;
  for (size_t n = 0; n < f.size(); ++n) {
    if (!b.interior(static_cast<int>(n))) continue;
    ++interior;
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(f[n][k], 0.0, 1e-9 * fScale) << "node " << n + 1;
  }
  EXPECT_EQ(interior, 27);  // every half-cell position inside the block

  // v = (q0 x^2 + q1 y z, q2 y^2 + q3 x z, q4 z^2 + q5 x y).
  const double q[6] = {400.0, -250.0, 300.0, 150.0, -200.0, 350.0};
  auto gradient = [&](const double* x, double g[3][3]) {
    const double gg[3][3] = {{2 * q[0] * x[0], q[1] * x[2], q[1] * x[1]},
                             {q[3] * x[2], 2 * q[2] * x[1], q[3] * x[0]},
                             {q[5] * x[1], q[5] * x[0], 2 * q[4] * x[2]}};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) g[i][j] = gg[i][j];
  };
  for (NodeCuda& n : b.m.nodes) {
    const double* x = n.coord;
    n.vel[0] = q[0] * x[0] * x[0] + q[1] * x[1] * x[2];
    n.vel[1] = q[2] * x[1] * x[1] + q[3] * x[0] * x[2];
    n.vel[2] = q[4] * x[2] * x[2] + q[5] * x[0] * x[1];
    for (int k = 0; k < 3; ++k) n.step_disp[k] = 0.0;
  }
  for (auto& s : b.m.states) s = ElasticMaterialStatus{};
  b.m.computeForces(dt);
  double sScale = 0.0;
  for (size_t p = 0; p < b.m.points.size(); ++p) {
    const GaussPoint& gp = b.m.points[p];
    const SolidElement2nd& e = b.m.elems[p / 4];
    double N[10], x[3] = {0, 0, 0}, g[3][3], Sp[3][3];
    tet2nd::calTetr2ndGaussShape(gp.coord_[0], gp.coord_[1], gp.coord_[2], N);
    for (int I = 0; I < 10; ++I)
      for (int k = 0; k < 3; ++k) x[k] += N[I] * e.node[I]->coord[k];
    gradient(x, g);
    elasticStress(rec, g, dt, Sp);
    sScale = std::fmax(sScale, std::fabs(Sp[0][0]));
    expectPointStress(b.m.states[p], Sp, 1e-9 * std::fabs(S[0][0]));
  }
  ASSERT_GT(sScale, 0.0);
  // div(sigma) of the linear stress field, by differences (exact for it).
  double divSigma[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    double x0[3] = {0, 0, 0}, x1[3] = {0, 0, 0}, g0[3][3], g1[3][3], S0[3][3], S1[3][3];
    x1[k] = 1.0;
    gradient(x0, g0);
    gradient(x1, g1);
    elasticStress(rec, g0, dt, S0);
    elasticStress(rec, g1, dt, S1);
    for (int j = 0; j < 3; ++j) divSigma[j] += S1[j][k] - S0[j][k];
  }
  std::vector<double> shapeIntegral(b.m.nodes.size(), 0.0);
  for (const SolidElement2nd& e : b.m.elems) {
    const double V = solid1st::tetraVolume(e.node[0]->coord, e.node[1]->coord, e.node[2]->coord, e.node[3]->coord);
    for (int I = 0; I < 10; ++I) shapeIntegral[e.node_id[I] - 1] += I < 4 ? -V / 20.0 : V / 5.0;
  }
  const auto fq = b.m.nodeForces();
  for (size_t n = 0; n < fq.size(); ++n) {
    if (!b.interior(static_cast<int>(n))) continue;
    // The node receives minus the resisting force: +div(sigma) integral N.
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(fq[n][k], divSigma[k] * shapeIntegral[n], 1e-8 * sScale * h * h) << "node " << n + 1;
  }
}

// Each node carries its diagonal share of the consistent mass (1/36 on
// corners, 4/27 on mid-side nodes); the masses add up to rho V.  The
// twenty-node hexahedron and fifteen-node pentahedron share equally.
TEST(Solid2nd, LumpedMassesAddUpToTheElementMass) {
  Tet10Model m;
  m.addStraightTet10(testShape(3));
  m.link();
  const double V = solid1st::tetraVolume(m.nodes[0].coord, m.nodes[1].coord, m.nodes[2].coord, m.nodes[3].coord);
  const double rho = m.record->density;
  EXPECT_NEAR(m.elems[0].calSolid2ndNodeMass(m.record.get(), nullptr), rho * V, 1e-12 * rho * V);
  EXPECT_NEAR(m.elems[0].volume, V, 1e-14);
  double sum = 0.0;
  for (int I = 0; I < 10; ++I) {
    EXPECT_NEAR(m.nodes[I].mass, rho * V * (I < 4 ? 1.0 / 36.0 : 4.0 / 27.0), 1e-12 * rho * V) << I;
    sum += m.nodes[I].mass;
  }
  EXPECT_NEAR(sum, rho * V, 1e-12 * rho * V);
  double pointVolume = 0.0;
  for (const GaussPoint& gp : m.points) pointVolume += gp.volume_;
  EXPECT_NEAR(pointVolume, V, 1e-14);
  // Every force pass takes the point volumes of the current shape.
  for (NodeCuda& n : m.nodes) n.coord[0] *= 1.2;
  m.computeForces(1e-6);
  pointVolume = 0.0;
  for (const GaussPoint& gp : m.points) pointVolume += gp.volume_;
  EXPECT_NEAR(pointVolume, 1.2 * V, 1e-14);
  for (NodeCuda& n : m.nodes) n.coord[0] /= 1.2;

  // A curved element: the masses still add up to rho times its volume.
  m.nodes[4].coord[2] += 0.08;
  for (NodeCuda& n : m.nodes) n.mass = 0.0;
  const double curvedMass = m.elems[0].calSolid2ndNodeMass(m.record.get(), nullptr);
  EXPECT_GT(std::fabs(m.elems[0].volume - V), 1e-3 * V);
  sum = 0.0;
  for (const NodeCuda& n : m.nodes) sum += n.mass;
  EXPECT_NEAR(sum, curvedMass, 1e-12 * curvedMass);

  // Corner coordinates of a 2 x 1 x 1 box and of a wedge of unit height on
  // the right triangle of legs 1: volumes 2 and 0.5.
  for (const auto& [type, n, volume] : {std::tuple{ET_HEXA20, 20, 2.0}, std::tuple{ET_PENTA15, 15, 0.5}}) {
    std::vector<NodeCuda> nodes(n);
    const double hexa[8][3] = {{0, 0, 1}, {0, 1, 1}, {2, 1, 1}, {2, 0, 1}, {0, 0, 0}, {0, 1, 0}, {2, 1, 0}, {2, 0, 0}};
    const double penta[6][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
    SolidElement2nd e;
    e.type = type;
    e.gaussNodeNum = e.node_num = n;
    for (int I = 0; I < n; ++I) {
      e.node_id[I] = I + 1;
      for (int k = 0; k < 3; ++k)
        nodes[I].coord[k] = type == ET_HEXA20 ? (I < 8 ? hexa[I][k] : 0.5) : (I < 6 ? penta[I][k] : 0.3);
    }
    e.bulidNodeMatch(nodes.data());
    EXPECT_NEAR(e.calSolid2ndNodeMass(m.record.get(), nullptr), rho * volume, 1e-9 * rho) << type;
    for (const NodeCuda& nd : nodes) EXPECT_NEAR(nd.mass, rho * volume / n, 1e-9 * rho) << type;
    EXPECT_GT(e.computeSolid2ndCharactLength(), 0.0);
  }
}

// The step from the stable length (safe factor 1) stays below the element's
// true stable step 2 / omega_max on its lumped masses and within a tenth of
// it, for regular, flat, needle-like, skewed, sliver and curved-edge shapes.
TEST(Solid2nd, StepStaysBelowTheElementStabilityBound) {
  const double sliver[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0.05}, {0, 1, 0}};
  for (int s = 0; s < 6; ++s) {
    Tet10Model m;
    m.addStraightTet10(s < 4 ? testShape(s) : (s == 4 ? sliver : testShape(3)));
    if (s == 5)
      for (int c = 4; c < 10; ++c) m.nodes[c].coord[2] += 0.06 * ((c * 5) % 3 - 1);
    m.link();
    SolidElement2nd& e = m.elems[0];
    e.calSolid2ndNodeMass(m.record.get(), nullptr);
    const double bound = 2.0 / largestFrequency(m);
    e.computeSolid2ndCharactLength();
    const double step = e.computeSolidTimeStep(m.record->wave_speed[0], 1.0);
    EXPECT_EQ(e.dt, step);
    EXPECT_LT(step, bound) << "shape " << s;
    EXPECT_GT(step, 0.9 * solid1st::kLargestBoundShare * bound) << "shape " << s;
  }
  // The length follows the element's size: the regular element twice as
  // large (its mass with it) has twice the length.
  double lengths[2];
  for (int scale = 1; scale <= 2; ++scale) {
    double corners[4][3];
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 3; ++k) corners[c][k] = scale * testShape(0)[c][k];
    Tet10Model m;
    m.addStraightTet10(corners);
    m.link();
    m.elems[0].calSolid2ndNodeMass(m.record.get(), nullptr);
    lengths[scale - 1] = m.elems[0].computeSolid2ndCharactLength();
  }
  EXPECT_NEAR(lengths[1], 2.0 * lengths[0], 1e-12 * lengths[1]);
}

// A constant stress and strain at the points come back at all ten nodes,
// also on a curved element (the projection matrix is exact and regular).
TEST(Solid2nd, NodalStressRecoveryReturnsAConstantField) {
  Tet10Model m;
  m.addStraightTet10(testShape(3), ET_TETRA10_M);
  m.nodes[6].coord[1] += 0.05;
  m.link();
  for (ElasticMaterialStatus& st : m.states)
    for (int c = 0; c < 6; ++c) {
      st.stress[c] = 100.0 * (c + 1) - 250.0;
      st.strain[c] = 1e-3 * (c - 2);
    }
  double nodal[10][12];
  ASSERT_TRUE(m.elems[0].recoverSolid2ndNodeValues(nodal));
  for (int I = 0; I < 10; ++I)
    for (int c = 0; c < 6; ++c) {
      EXPECT_NEAR(nodal[I][c], 100.0 * (c + 1) - 250.0, 1e-9) << I;
      EXPECT_NEAR(nodal[I][6 + c], 1e-3 * (c - 2), 1e-15) << I;
    }
  m.elems[0].gaussPoint = nullptr;
  EXPECT_FALSE(m.elems[0].recoverSolid2ndNodeValues(nodal));
}

// Types 24 and 27 compute the same force; the host twin hands it to the
// nodes; the host passes give mass, length, step and proportional scaling.
TEST(Solid2nd, HostPassesOfAPart) {
  Tet10Model m;
  m.addStraightTet10(testShape(3), ET_TETRA10);
  m.addStraightTet10(testShape(3), ET_TETRA10_M);
  m.link();
  const double a[3] = {0, 0, 0}, L[3][3] = {{50, 0, 0}, {0, -20, 0}, {10, 0, 0}};
  m.setLinearVelocity(a, L, 0.0);
  m.computeForces(1e-6);
  for (int I = 0; I < 10; ++I)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(m.elems[0].interForce[I][k], m.elems[1].interForce[I][k]);

  ElmManager store;
  store.solid2ndArrayCpu_ = m.elems;
  for (SolidElement2nd& e : store.solid2ndArrayCpu_) {
    e.bulidNodeMatch(m.nodes.data());
    for (int p = 0; p < 4; ++p) e.ownPoint(e.gaussPoint[p]);
  }
  for (auto& s : m.states) s = ElasticMaterialStatus{};
  store.calNodeMass(m.record.get(), nullptr);
  const double* c[4] = {m.nodes[0].coord, m.nodes[1].coord, m.nodes[2].coord, m.nodes[3].coord};
  const double V = solid1st::tetraVolume(c[0], c[1], c[2], c[3]);
  EXPECT_NEAR(store.totMass, 2.0 * m.record->density * V, 1e-9);
  double length = 1e30;
  store.calMinCharactLength(&length);
  EXPECT_EQ(length, store.solid2ndArrayCpu_[0].charactLength);
  double candidate = 100.0;
  store.computeInterForceCpu(m.material.get(), nullptr, nullptr, 1e-6, candidate, 0.9);
  EXPECT_NEAR(candidate, 0.9 * length / m.record->wave_speed[0], 1e-18);
  for (int I = 0; I < 10; ++I)
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(m.nodes[I].force[k], -store.solid2ndArrayCpu_[0].interForce[I][k], 1e-9);

  // Scaling to four times the step: every node's mass grows sixteenfold.
  std::vector<double> before;
  for (const NodeCuda& n : m.nodes) before.push_back(n.mass);
  store.massScaleCpu(4.0 * candidate / 0.9 * 0.9);
  for (int I = 0; I < 10; ++I) EXPECT_NEAR(m.nodes[I].mass / before[I], 16.0, 1e-9) << I;
  EXPECT_NEAR(store.solid2ndArrayCpu_[0].dtScaleFactor, 4.0, 1e-12);
}

// Set-up refuses parts that would run without force, naming them.
TEST(Solid2nd, PartsWithoutForceAreRefused) {
  Tet10Model m;
  m.addStraightTet10(testShape(0));
  ElmManager store;
  store.solid2ndArrayCpu_ = m.elems;
  Part part;
  part.id = 3;
  part.name = "mount";
  part.elmManager = &store;
  Material rec = *m.record;
  part.material = &rec;
  EXPECT_TRUE(checkPartComputable(part));

  auto refusal = [&]() {
    testing::internal::CaptureStderr();
    const bool ok = checkPartComputable(part);
    EXPECT_FALSE(ok);
    return testing::internal::GetCapturedStderr();
  };
  rec.type = MT_LOW_DENSITY_FOAM;
  EXPECT_NE(refusal().find("part 3 (mount): material 1 is a low-density foam"), std::string::npos);
  rec.type = MT_GENERAL_NONLINEAR;
  EXPECT_NE(refusal().find("general nonlinear"), std::string::npos);
  rec.type = MT_MOONEY_RIVLIN;
  rec.mooney_rivlin_constants[0] = 0.1e6;
  rec.mooney_rivlin_constants[1] = -0.2e6;
  EXPECT_NE(refusal().find("Mooney-Rivlin material 1"), std::string::npos);
  rec.type = MT_LINEAR_ELASTIC;
  store.solid2ndArrayCpu_[0].type = ET_HEXA20;
  EXPECT_NE(refusal().find("1 twenty-node hexahedra (type 26)"), std::string::npos);
}
