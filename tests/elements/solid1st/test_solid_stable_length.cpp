// The stable length of one free solid of each formulation against the
// stiffness K and damping C its own force routine gives (by differences of
// two steps) on its lumped masses M: the length over the wave speed is never
// above the largest step dt at which 4 M - 2 dt C - dt^2 K stays positive
// semi-definite (central differences are stable up to there), and close to
// it; a regular cube's length is its breathing mode's, h sqrt((1 - nu) /
// (1 + nu)). The viscous rows reach QM 1: a part of one-point solids takes
// any QM at any TSSFAC up to 1.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "tests/elements/solid1st/solidTestModel.h"

namespace {

using solidtest::SolidModel;

// Largest eigenvalue of a symmetric n x n matrix (cyclic Jacobi rotations).
double largestEigenvalue(std::vector<double> A, int n) {
  for (int sweep = 0; sweep < 50; ++sweep) {
    double off = 0.0;
    for (int p = 0; p < n; ++p)
      for (int q = p + 1; q < n; ++q) off += A[p * n + q] * A[p * n + q];
    if (off < 1e-30) break;
    for (int p = 0; p < n; ++p)
      for (int q = p + 1; q < n; ++q) {
        if (A[p * n + q] == 0.0) continue;
        const double theta = 0.5 * std::atan2(2.0 * A[p * n + q], A[q * n + q] - A[p * n + p]);
        const double c = std::cos(theta), s = std::sin(theta);
        for (int k = 0; k < n; ++k) {
          const double kp = A[k * n + p], kq = A[k * n + q];
          A[k * n + p] = c * kp - s * kq;
          A[k * n + q] = s * kp + c * kq;
        }
        for (int k = 0; k < n; ++k) {
          const double pk = A[p * n + k], qk = A[q * n + k];
          A[p * n + k] = c * pk - s * qk;
          A[q * n + k] = s * pk + c * qk;
        }
      }
  }
  double top = A[0];
  for (int i = 1; i < n; ++i) top = std::max(top, A[i * n + i]);
  return top;
}

struct Shape {
  const char* name;
  ElementNewType type;
  std::vector<std::vector<double>> corners;  // node coordinates, 10 mm scale
  std::vector<int> slots;                    // node ids of the element's slots
  double nu;
  int form;  // hourglass form (IHQ) and QM
  double qm;
  double tightness;  // the length is at least this share of the limit
};

// The element's force for node velocities v (unit in dof `dof`) over a step
// dt, from a fresh state.
std::vector<double> forceOf(SolidModel& m, int dof, double dt) {
  for (NodeCuda& n : m.nodes)
    for (int k = 0; k < 3; ++k) {
      const double v = 3 * (n.id - 1) + k == dof ? 1.0 : 0.0;
      n.vel[k] = v;
      n.step_disp[k] = v * dt;
      n.total_disp[k] = 0.5 * v * dt;
      n.coord[k] = n.ini_coord[k] + 0.5 * v * dt;
    }
  m.link();
  for (SolidElementCuda& e : m.elems)
    for (auto& row : e.hourglassValue) row[0] = row[1] = row[2] = 0.0;
  m.computeForces(dt);
  std::vector<double> f(3 * m.nodes.size(), 0.0);
  const SolidElementCuda& e = m.elems[0];
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k)
      if (e.node[I] != nullptr && (I == 0 || e.node[I] != e.node[I - 1] || e.type != ET_PENTA_REDUCED))
        f[3 * (e.node[I]->id - 1) + k] += e.interForce[I][k];
  return f;
}

void PrintTo(const Shape& s, std::ostream* os) { *os << s.name; }

class FreeSolid : public testing::TestWithParam<Shape> {};

TEST_P(FreeSolid, StableLengthIsWithinTheElementsOwnLimit) {
  const Shape& s = GetParam();
  SolidModel m;
  m.record = solidtest::elasticRecord(2.1e11, s.nu, 7850.0);
  m.material = std::make_unique<LinearElasticMaterial>(m.record.get());
  m.hourglass.type = s.form;
  m.hourglass.coefficient = s.qm;
  for (const auto& c : s.corners) m.addNode(0.01 * c[0], 0.01 * c[1], 0.01 * c[2]);
  m.addSolid(s.type, {});
  for (size_t I = 0; I < 8; ++I) m.elems[0].node_id[I] = s.slots[std::min(I, s.slots.size() - 1)];
  m.link();
  ASSERT_TRUE(m.elems[0].calSolidOwnMass(m.record.get()));
  m.elems[0].stepModel = {s.nu, 7850.0, s.qm, s.form};
  const double length = m.elems[0].computeSolidCharactLength();

  const int n = 3 * static_cast<int>(m.nodes.size());
  std::vector<double> K(n * n), C(n * n), mass(n, 0.0);
  const SolidElementCuda& el = m.elems[0];
  for (int I = 0; I < el.gaussNodeNum; ++I)
    for (int k = 0; k < 3; ++k) mass[3 * (el.node[I]->id - 1) + k] += el.mass / el.gaussNodeNum;
  const double dt1 = 1e-9, dt2 = 2e-9;
  for (int d = 0; d < n; ++d) {
    const std::vector<double> f1 = forceOf(m, d, dt1), f2 = forceOf(m, d, dt2);
    for (int i = 0; i < n; ++i) {
      K[i * n + d] = (f2[i] - f1[i]) / (dt2 - dt1);
      C[i * n + d] = f1[i] - K[i * n + d] * dt1;
    }
  }
  // Largest dt with the largest eigenvalue of M^-1/2 (dt^2 K + 2 dt C) M^-1/2
  // at most 4 (symmetric parts), by bisection.
  const auto fits = [&](double dt) {
    std::vector<double> A(n * n);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        A[i * n + j] = (0.5 * dt * dt * (K[i * n + j] + K[j * n + i]) + dt * (C[i * n + j] + C[j * n + i])) /
                       std::sqrt(mass[i] * mass[j]);
    return largestEigenvalue(A, n) <= 4.0;
  };
  double low = 0.0, high = 1e-5;
  for (int it = 0; it < 60; ++it) (fits(0.5 * (low + high)) ? low : high) = 0.5 * (low + high);
  const double limit = m.record->wave_speed[0] * low;
  EXPECT_LE(length, limit * (1.0 + 1e-6)) << "limit " << limit;
  EXPECT_GE(length, s.tightness * limit) << "limit " << limit;
}

const std::vector<std::vector<double>> kCube = {{0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1},
                                                {0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
const std::vector<std::vector<double>> kBent = {{0.05, -0.08, 1.1}, {0.02, 0.9, 1.0},   {1.1, 1.05, 0.95},
                                                {0.9, 0.1, 1.02},   {-0.06, 0.04, 0.0}, {0.1, 1.1, -0.05},
                                                {1.2, 0.95, 0.1},   {0.95, -0.1, 0.05}};
const std::vector<int> kEight = {1, 2, 3, 4, 5, 6, 7, 8};
const std::vector<std::vector<double>> kWedge = {{0, 0, 0},    {1, 0, 0.1}, {0.1, 1, 0},
                                                 {0, 0.05, 1}, {1.1, 0, 1}, {0, 1, 0.9}};

INSTANTIATE_TEST_SUITE_P(
    Formulations, FreeSolid,
    testing::Values(
        Shape{"cube_viscous", ET_HEXA_REDUCED, kCube, kEight, 0.3, 1, 0.1, 0.9999},
        Shape{"cube_viscous_strong", ET_HEXA_REDUCED, kCube, kEight, 0.3, 3, 1.0, 0.9999},
        Shape{"bent_viscous_strongest", ET_HEXA_REDUCED, kBent, kEight, 0.3, 1, 1.0, 0.95},
        Shape{"pentahedron_viscous_strong", ET_PENTA_REDUCED, kWedge, {1, 2, 3, 3, 4, 5, 6, 6}, 0.3, 1, 1.0, 0.9},
        Shape{"cube_nu0", ET_HEXA_REDUCED, kCube, kEight, 0.0, 1, 0.1, 0.9999},
        Shape{"cube_nu_negative", ET_HEXA_REDUCED, kCube, kEight, -0.2, 4, 0.1, 0.9999},
        Shape{"cube_assumed_strain", ET_HEXA_REDUCED, kCube, kEight, 0.3, 6, 1.0, 0.9999},
        Shape{"bent_viscous", ET_HEXA_REDUCED, kBent, kEight, 0.3, 1, 0.1, 0.85},
        Shape{"bent_viscous_strong", ET_HEXA_REDUCED, kBent, kEight, 0.3, 2, 0.5, 0.8},
        Shape{"bent_stiffness", ET_HEXA_REDUCED, kBent, kEight, 0.3, 4, 0.1, 0.85},
        Shape{"bent_assumed_strain", ET_HEXA_REDUCED, kBent, kEight, 0.3, 6, 1.0, 0.8},
        Shape{"bent_nearly_incompressible", ET_HEXA_REDUCED, kBent, kEight, 0.49, 1, 0.1, 0.85},
        Shape{"cube_fully_integrated", ET_HEXA_FULL, kCube, kEight, 0.3, 0, 0.0, 0.98},
        Shape{"bent_fully_integrated", ET_HEXA_FULL, kBent, kEight, 0.45, 0, 0.0, 0.85},
        Shape{"tetrahedron",
              ET_TETRA_TL,
              {{0, 0, 0}, {1, 0.1, 0}, {0.4, 0.9, 0}, {0.5, 0.3, 0.8}},
              {1, 2, 3, 4},
              0.3,
              0,
              0.0,
              0.9},
        Shape{"tetrahedron_flat",
              ET_TETRA_TL,
              {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.4, 0.4, 0.1}},
              {1, 2, 3, 4},
              0.3,
              0,
              0.0,
              0.9},
        Shape{"pentahedron", ET_PENTA, kWedge, {1, 2, 3, 4, 5, 6}, 0.3, 0, 0.0, 0.8},
        Shape{"pentahedron_one_point", ET_PENTA_REDUCED, kWedge, {1, 2, 3, 3, 4, 5, 6, 6}, 0.3, 1, 0.1, 0.7},
        Shape{"pyramid",
              ET_PYRAMID_TL,
              {{0.5, 0.5, 0.9}, {0, 0, 0}, {1, 0, 0}, {1.1, 1, 0}, {0, 1, 0.1}},
              {1, 2, 3, 4, 5},
              0.3,
              0,
              0.0,
              0.6}),
    [](const testing::TestParamInfo<Shape>& info) { return std::string(info.param.name); });

}  // namespace
