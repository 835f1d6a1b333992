// First-order shells and membranes driven through the cycle (nodes move,
// elements compute, nodes gather): rigid motion, patch tests, bending,
// plane-stress plasticity, in-plane waves and the formulations' edge cases.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "elements/common/hourglasscontrol.h"
#include "tests/elements/shell/shellTestModel.h"

namespace {

using shelltest::ShellModel;

constexpr double kE = 2.1e11, kNu = 0.3, kRho = 7850.0, kT = 0.01;

ShellModel model(ElementNewType type, int points = 5) {
  return ShellModel(shelltest::elasticRecord(kE, kNu, kRho), shelltest::shellSection(type, kT, points));
}

// A 2 x 2 patch with an interior node off centre and a slightly warped,
// tilted surface: corners (0,0), (2,0), (2,2), (0,2), interior (1.1, 0.9).
void irregularPatch(ShellModel& m, bool triangles) {
  const double xy[9][2] = {{0, 0}, {1.05, 0}, {2, 0}, {0, 0.95}, {1.1, 0.9}, {2, 1.1}, {0, 2}, {0.9, 2}, {2, 2}};
  for (const auto& p : xy) m.addNode(p[0], p[1], 0.02 * p[0] * p[1] + 0.1 * p[1]);
  const int cells[4][4] = {{1, 2, 5, 4}, {2, 3, 6, 5}, {4, 5, 8, 7}, {5, 6, 9, 8}};
  for (const auto& c : cells) {
    if (triangles) {
      m.addShell({c[0], c[1], c[2]});
      m.addShell({c[0], c[2], c[3]});
    } else {
      m.addShell({c[0], c[1], c[2], c[3]});
    }
  }
}

bool isTriangle(ElementNewType t) { return t == ET_MEMBRANE3 || t == ET_CB_TRI_SHELL; }

// Rotation of v about the unit axis a by the angle q (Rodrigues).
void rotate(const double a[3], double q, const double v[3], double out[3]) {
  const double c = std::cos(q), s = std::sin(q);
  const double d = a[0] * v[0] + a[1] * v[1] + a[2] * v[2];
  const double x[3] = {a[1] * v[2] - a[2] * v[1], a[2] * v[0] - a[0] * v[2], a[0] * v[1] - a[1] * v[0]};
  for (int k = 0; k < 3; ++k) out[k] = v[k] * c + x[k] * s + a[k] * d * (1.0 - c);
}

// A translation and a quarter turn about a skew axis in 400 steps: node
// velocities take each node to its exactly rotated place, the rotational
// velocities turn the nodes by the same increments.  No strain, no force.
TEST(ShellElement, RigidTranslationAndQuarterTurnGiveNoStrainOrForce) {
  HourglassControl viscous;  // the viscous form (IHQ 1), QM 0.1
  const std::pair<ElementNewType, HourglassControl*> rows[] = {{ET_BT_SHELL, nullptr},  {ET_BT_SHELL, &viscous},
                                                               {ET_HL_SHELL, nullptr},  {ET_CB_TRI_SHELL, nullptr},
                                                               {ET_MEMBRANE3, nullptr}, {ET_MEMBRANE4, nullptr},
                                                               {ET_MEMBRANE4, &viscous}};
  for (auto [type, control] : rows) {
    ShellModel m = model(type);
    m.hourglass = control;
    irregularPatch(m, isTriangle(type));
    if (type == ET_HL_SHELL) m.elems()[1].type = ET_NONE;  // as a reader leaves it: the section decides
    testing::internal::CaptureStdout();
    m.link();
    const std::string setUp = testing::internal::GetCapturedStdout();
    if (type == ET_HL_SHELL) {  // computed as type 9, said once for the part
      EXPECT_EQ(setUp, "part 1: Hughes-Liu shells (type 10) are computed with the Belytschko-Tsay formulation\n");
      EXPECT_EQ(m.elems()[1].type, ET_HL_SHELL);
    }
    const double axis[3] = {1.0 / std::sqrt(3.0), -1.0 / std::sqrt(3.0), 1.0 / std::sqrt(3.0)};
    const double centre[3] = {0.7, 0.3, -0.2}, v[3] = {12.0, -5.0, 3.0};
    const int steps = 400;
    const double dt = 1e-5, dq = 0.5 * M_PI / steps;
    const double w = 2.0 * std::tan(0.5 * dq) / dt;  // the rotation rate of the mid-step rule
    std::vector<std::array<double, 3>> start;
    for (const NodeCuda& n : m.nodes)
      start.push_back({n.coord[0] - centre[0], n.coord[1] - centre[1], n.coord[2] - centre[2]});
    double worstForce = 0.0, worstStress = 0.0;
    testing::internal::CaptureStdout();
    for (int s = 1; s <= steps; ++s) {
      for (size_t i = 0; i < m.nodes.size(); ++i) {
        NodeCuda& n = m.nodes[i];
        double p[3];
        rotate(axis, s * dq, start[i].data(), p);
        for (int k = 0; k < 3; ++k) {
          const double target = centre[k] + p[k] + v[k] * s * dt;
          n.vel[k] = (target - n.coord[k]) / dt;
          n.vel[3 + k] = w * axis[k];
        }
      }
      m.prescribedCycle(dt);
      worstForce = std::fmax(worstForce, m.maxNodalForce());
      worstStress = std::fmax(worstStress, m.maxPointStress());
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "type " << type;  // sound elements print nothing
    // E = 2.1e11: a strain of 1e-11 would show as 2 Pa.
    EXPECT_LT(worstStress, 1.0) << "type " << type;
    EXPECT_LT(worstForce, 1e-2) << "type " << type;
    // The viscous resultants are the rates' round-off (1e-11 m/s) times
    // QM rho c t sqrt(A), about 4e4 N s/m.
    for (const ShellElementCuda& e : m.elems())
      for (double h : e.hourglassStress) EXPECT_LT(std::fabs(h), control ? 1e-5 : 1e-6) << "type " << type;
    // The quarter turn about the skew axis really happened.
    double p[3];
    rotate(axis, 0.5 * M_PI, start[8].data(), p);
    EXPECT_NEAR(m.nodes[8].coord[0], centre[0] + p[0] + v[0] * steps * dt, 1e-9);
  }
}

// A linear in-plane velocity field on irregular meshes: every element takes
// the same strain, no hourglass resultant grows and the interior node is in
// equilibrium.
TEST(ShellElement, MembranePatchTest) {
  for (ElementNewType type : {ET_MEMBRANE4, ET_MEMBRANE3, ET_BT_SHELL, ET_CB_TRI_SHELL}) {
    ShellModel m = model(type);
    const double xy[9][2] = {{0, 0}, {1.05, 0}, {2, 0}, {0, 0.95}, {1.1, 0.9}, {2, 1.1}, {0, 2}, {0.9, 2}, {2, 2}};
    for (const auto& p : xy) m.addNode(p[0], p[1], 0.0);
    const int cells[4][4] = {{1, 2, 5, 4}, {2, 3, 6, 5}, {4, 5, 8, 7}, {5, 6, 9, 8}};
    for (const auto& c : cells) {
      if (isTriangle(type)) {
        m.addShell({c[0], c[1], c[2]});
        m.addShell({c[0], c[2], c[3]});
      } else {
        m.addShell({c[0], c[1], c[2], c[3]});
      }
    }
    m.link();
    const double L[2][2] = {{2.0, 1.5}, {-0.5, -1.0}}, dt = 1e-6;
    for (int cycle = 0; cycle < 3; ++cycle) {
      for (NodeCuda& n : m.nodes)
        for (int k = 0; k < 2; ++k) n.vel[k] = L[k][0] * n.ini_coord[0] + L[k][1] * n.ini_coord[1];
      m.prescribedCycle(dt);
    }
    // Each element keeps its strain in its own frame (e1 along its first
    // side): turned into global axes it is the same everywhere.
    for (const ShellElementCuda& e : m.elems()) {
      const double dx = e.node[1]->coord[0] - e.node[0]->coord[0], dy = e.node[1]->coord[1] - e.node[0]->coord[1];
      const double q = std::atan2(dy, dx), c = std::cos(q), s = std::sin(q);
      const double* st = e.gaussPoint[0].matStatus_->strain;
      const double exx = st[0], eyy = st[1], exy = 0.5 * st[3];
      const double gxx = c * c * exx - 2 * c * s * exy + s * s * eyy;
      const double gyy = s * s * exx + 2 * c * s * exy + c * c * eyy;
      const double gxy = c * s * (exx - eyy) + (c * c - s * s) * exy;
      EXPECT_NEAR(gxx, 3 * dt * L[0][0], 1e-4 * dt) << "type " << type << " element " << e.id;
      EXPECT_NEAR(gyy, 3 * dt * L[1][1], 1e-4 * dt) << "type " << type << " element " << e.id;
      EXPECT_NEAR(gxy, 1.5 * dt * (L[0][1] + L[1][0]), 1e-4 * dt) << "type " << type << " element " << e.id;
    }
    for (const ShellElementCuda& e : m.elems())
      for (double h : e.hourglassStress) EXPECT_LT(std::fabs(h), 1e-3) << "type " << type;
    // Interior node 5: equal and opposite forces of its elements.
    EXPECT_LT(std::fabs(m.nodes[4].force[0]) + std::fabs(m.nodes[4].force[1]), 1e-5 * std::fabs(m.nodes[0].force[0]))
        << "type " << type;
  }
}

// Rotations ry = kappa_rate x with w = -kappa_rate x^2 / 2 (no shear): a
// uniform curvature, and the nodal moments on the edge x = 1 add up to
// D kappa times the width, D = E t^3 / (12 (1 - nu^2)).
TEST(ShellElement, BendingMomentIsPlateStiffnessTimesCurvature) {
  for (ElementNewType type : {ET_BT_SHELL, ET_CB_TRI_SHELL}) {
    ShellModel m = model(type);
    shelltest::grid(m, 4, 3, 1.0, 0.6, isTriangle(type));
    m.link();
    const double rate = 10.0, dt = 1e-6, kappa = rate * dt;
    for (NodeCuda& n : m.nodes) {
      const double x = n.coord[0];
      n.vel[2] = -0.5 * rate * x * x;
      n.vel[4] = rate * x;
    }
    m.prescribedCycle(dt);
    const double D = kE * kT * kT * kT / (12.0 * (1.0 - kNu * kNu));
    double edgeMoment = 0.0;
    for (const NodeCuda& n : m.nodes)
      if (n.ini_coord[0] > 1.0 - 1e-9) edgeMoment -= n.moment[1];
    EXPECT_NEAR(edgeMoment, D * kappa * 0.6, 0.01 * D * kappa * 0.6) << "type " << type;
    // The outermost point of every element has the strain z kappa.
    const double zOuter = 0.5 * kT * 0.906179845938664;
    for (const ShellElementCuda& e : m.elems())
      if (e.node[1]->ini_coord[1] == e.node[0]->ini_coord[1]) {  // frame along x
        EXPECT_NEAR(e.gaussPoint[4].matStatus_->strain[0], zOuter * kappa, 1e-3 * zOuter * kappa) << "type " << type;
      }
  }
}

// A strip pulled along x at a constant rate with its sides free: the axial
// stress follows the bilinear uniaxial curve sigma = sy E/(E+H) + Et eps.
TEST(ShellElement, PlaneStressPlasticityFollowsTheBilinearCurve) {
  const double sy = 2.5e8, Et = 2.0e9;
  ShellModel m(shelltest::plasticRecord(kE, kNu, kRho, sy, Et), shelltest::shellSection(ET_BT_SHELL, kT, 3));
  shelltest::grid(m, 1, 1, 0.02, 0.02, false);
  m.link();
  const double rate = 10.0, dt = 5e-7;
  auto pull = [&](NodeCuda& n) {
    n.vel[0] = rate * n.coord[0];
    n.vel[2] = n.vel[3] = n.vel[4] = n.vel[5] = 0.0;
    if (n.ini_coord[1] == 0.0) n.vel[1] = 0.0;
  };
  for (NodeCuda& n : m.nodes) pull(n);
  double worst = 0.0;
  const double H = kE * Et / (kE - Et);
  for (int s = 0; s < 4000; ++s) {  // to a strain of 2 %
    m.explicitCycle(dt, pull);
    const PlasticMaterialStatus& st = m.states[1];
    const double eps = st.strain[0];
    if (eps < 1.5 * sy / kE) continue;
    const double expected = sy * kE / (kE + H) + Et * eps;
    worst = std::fmax(worst, std::fabs(st.stress[0] - expected) / expected);
  }
  EXPECT_GT(m.states[1].strain[0], 0.019);
  EXPECT_GT(m.states[1].eps_p, 0.015);
  EXPECT_LT(worst, 0.005);
  EXPECT_LT(std::fabs(m.states[1].stress[1]), 0.005 * sy);  // the sides stay free
}

// A strip whose halves move apart at +-v, sides held in y (plane strain in
// the plate): the ends turn back at L / (2c), c = sqrt(E / (rho (1 - nu^2))).
TEST(ShellElement, InPlaneWaveTurnsTheEndsAtTheTransitTime) {
  for (bool triangles : {false, true}) {
    ShellModel m = model(triangles ? ET_CB_TRI_SHELL : ET_BT_SHELL, 1);
    const double L = 1.0, v = 1.0;
    shelltest::grid(m, 100, 1, L, 0.01, triangles);
    m.link();
    for (NodeCuda& n : m.nodes) {
      const double x = n.coord[0] - 0.5 * L;
      n.vel[0] = x < -1e-9 ? -v : (x > 1e-9 ? v : 0.0);
    }
    auto hold = [](NodeCuda& n) { n.vel[1] = n.vel[2] = n.vel[3] = n.vel[4] = n.vel[5] = 0.0; };
    const double c = std::sqrt(kE / (kRho * (1.0 - kNu * kNu)));
    const double dt = 0.5 * (L / 100) / c;
    double turn = -1.0, previous = v;
    NodeCuda& end = m.nodes[100];
    for (int s = 1; s < 4000 && turn < 0.0; ++s) {
      m.explicitCycle(dt, hold);
      if (previous > 0.0 && end.vel[0] <= 0.0) turn = (s - 1 + previous / (previous - end.vel[0])) * dt;
      previous = end.vel[0];
    }
    EXPECT_NEAR(turn, L / (2.0 * c), 0.02 * L / (2.0 * c)) << (triangles ? "triangles" : "quadrilaterals");
  }
}

// Forces of one quadrilateral in an hourglass mode plus a stretch.
void hourglassCycles(ShellModel& m, int cycles) {
  for (int c = 0; c < cycles; ++c) {
    const double mode[4] = {1.0, -1.0, -1.0, 1.0};  // (-1)^(i+j) on the grid nodes
    for (int I = 0; I < 4; ++I) {
      m.nodes[I].vel[0] = 0.3 * m.nodes[I].ini_coord[0];
      m.nodes[I].vel[2] = 0.2 * mode[I];
      m.nodes[I].vel[1] = 0.1 * mode[I];
    }
    m.prescribedCycle(1e-6);
  }
}

TEST(ShellElement, HourglassResistanceSwitch) {
  auto run = [](double c, int cycles, HourglassControl* control = nullptr) {
    ShellModel m = model(ET_BT_SHELL);
    m.section.shell_constants[2] = c;
    m.hourglass = control;
    shelltest::grid(m, 1, 1, 1.0, 1.0, false);
    m.link();
    hourglassCycles(m, cycles);
    return m;
  };
  // At or below 0.001 the forces are exactly those without resistance.
  const ShellModel off = run(0.0, 2), low = run(0.001, 2);
  for (int I = 0; I < 4; ++I)
    for (int k = 0; k < 6; ++k)
      EXPECT_EQ(low.store.shell_element_array_cpu[0].interForce[I][k],
                off.store.shell_element_array_cpu[0].interForce[I][k]);
  // Above it the resultants persist and grow from cycle to cycle.
  const ShellModel one = run(0.1, 1), two = run(0.1, 2);
  const double h1 = one.store.shell_element_array_cpu[0].hourglassStress[2];
  const double h2 = two.store.shell_element_array_cpu[0].hourglassStress[2];
  EXPECT_GT(std::fabs(h1), 0.0);
  EXPECT_NEAR(h2, 2.0 * h1, 1e-6 * std::fabs(h1));
  // The viscous form (IHQ 1): the in-plane resultant is QM rho c t sqrt(A)
  // times the mode's current rate, the same at every cycle of one rate.
  HourglassControl viscous;
  const ShellModel rate1 = run(0.0, 1, &viscous), rate2 = run(0.0, 2, &viscous);
  // (Unit square, mode rate 4 x 0.1 in y.)
  const double v1 = rate1.store.shell_element_array_cpu[0].hourglassStress[1];
  EXPECT_NEAR(std::fabs(v1), 0.1 * kRho * std::sqrt(kE / (kRho * (1.0 - kNu * kNu))) * kT * 0.4, 1e-5 * std::fabs(v1));
  EXPECT_NEAR(rate2.store.shell_element_array_cpu[0].hourglassStress[1], v1, 1e-5 * std::fabs(v1));
}

// The membrane's hourglass stiffness c E t sum(a^2) / (8 A): the same mode
// displacement on a unit and on a doubled square gives the same forces, as
// an in-plane stretch does; c = 0 switches it off.
TEST(ShellElement, MembraneHourglassScalesWithTheElement) {
  auto modeForce = [](double size, double c) {
    ShellModel m = model(ET_MEMBRANE4);
    m.section.formulation8_value = c;
    shelltest::grid(m, 1, 1, size, size, false);
    m.link();
    const double mode[4] = {1.0, -1.0, -1.0, 1.0}, dt = 1e-6, delta = 1e-7;  // (-1)^(i+j)
    for (int I = 0; I < 4; ++I) m.nodes[I].vel[0] = delta / dt * mode[I];
    m.prescribedCycle(dt);
    return m.store.shell_element_array_cpu[0].interForce[1][0];
  };
  const double unit = modeForce(1.0, 0.1);
  EXPECT_NEAR(unit, -0.1 * kE * kT / 8.0 * 4.0 * 1e-7, 1e-3 * std::fabs(unit));
  EXPECT_NEAR(modeForce(2.0, 0.1), unit, 1e-6 * std::fabs(unit));
  EXPECT_EQ(modeForce(1.0, 0.0), 0.0);
}

// Lumped mass and rotary inertia of a unit square, and mass scaling.
TEST(ShellElement, LumpedMassAndMassScaling) {
  ShellModel m = model(ET_BT_SHELL);
  shelltest::grid(m, 1, 1, 1.0, 1.0, false);
  m.link();
  const double node = kRho * kT / 4.0, inertia = 1.0 / 8.0 * node;
  for (const NodeCuda& n : m.nodes) {
    EXPECT_DOUBLE_EQ(n.mass, node);
    EXPECT_DOUBLE_EQ(n.rot_inertia[2], inertia);
    EXPECT_EQ(n.mass_flag, 1);
  }
  ShellElementCuda& e = m.elems()[0];
  EXPECT_DOUBLE_EQ(e.mass, 4.0 * node);
  EXPECT_EQ(e.gaussNodeNum, 4);
  // The unit square's stable membrane length at any nu up to 0.5: sqrt(2/3).
  EXPECT_NEAR(e.computeShellCharactLength(), std::sqrt(2.0 / 3.0), 1e-14);
  const double step = e.computeShellTimeStep(m.material.get(), 0.9);
  EXPECT_NEAR(step, 0.9 * std::sqrt(2.0 / 3.0) / m.material->waveSpeed[1], 1e-18);
  e.computeShellMassScaleCpu(0.5 * step);  // already above the target: nothing
  EXPECT_EQ(e.dt, step);
  EXPECT_EQ(e.dtScaleFactor, 1.0);
  EXPECT_DOUBLE_EQ(m.nodes[0].mass, node);
  e.computeShellMassScaleCpu(2.0 * step);
  EXPECT_EQ(e.dt, 2.0 * step);
  EXPECT_DOUBLE_EQ(e.dtScaleFactor, 2.0);
  EXPECT_DOUBLE_EQ(m.nodes[0].mass, 4.0 * node);
  EXPECT_DOUBLE_EQ(m.nodes[0].rot_inertia[0], 4.0 * inertia);
}

// The stored area follows the element: a square crushed to 0.7 of its width
// has the length of a 0.7 x 1 rectangle, 2 sqrt(2) A / sqrt(3 (D1^2 + D2^2)
// + 2 |d13.d24|) with the area A = 0.7 (and that step); a non-positive
// stored area is recomputed.
TEST(ShellElement, CharacteristicLengthUsesTheCurrentArea) {
  ShellModel m = model(ET_BT_SHELL);
  shelltest::grid(m, 1, 1, 1.0, 1.0, false);
  m.link();
  for (NodeCuda& n : m.nodes) n.vel[0] = -0.3 * n.coord[0] / 1e-3;
  m.prescribedCycle(1e-3);
  ShellElementCuda& e = m.elems()[0];
  const double length = 2.0 * std::sqrt(2.0) * 0.7 / std::sqrt(3.0 * 2.0 * 1.49 + 2.0 * 0.51);
  EXPECT_NEAR(e.area, 0.7, 1e-12);
  EXPECT_NEAR(e.computeShellCharactLength(), length, 1e-12);
  e.area = -1.0;
  EXPECT_NEAR(e.computeShellCharactLength(), length, 1e-12);
  EXPECT_NEAR(e.area, 0.7, 1e-12);
}

// Thickness: a membrane thins by 1 - nu/(1 - nu)(dexx + deyy) per step; a
// triangular shell keeps t A, so halving its area doubles its thickness.
TEST(ShellElement, ThicknessFollowsTheStretch) {
  for (ElementNewType type : {ET_MEMBRANE3, ET_MEMBRANE4}) {
    ShellModel m = model(type);
    shelltest::grid(m, 1, 1, 1.0, 1.0, isTriangle(type));
    m.link();
    const double dt = 1e-6;
    for (NodeCuda& n : m.nodes) n.vel[0] = 100.0 * n.coord[0];
    m.prescribedCycle(dt);
    const double de = 100.0 * dt / (1.0 + 50.0 * dt);  // on the mid-step length
    for (const ShellElementCuda& e : m.elems())
      EXPECT_NEAR(e.thickCurrent, kT * (1.0 - kNu / (1.0 - kNu) * de), 1e-12 * kT) << "type " << type;
  }
  ShellModel m = model(ET_CB_TRI_SHELL);
  shelltest::grid(m, 1, 1, 1.0, 1.0, true);
  m.link();
  m.prescribedCycle(1e-6);  // first call: the initial area
  for (NodeCuda& n : m.nodes) n.vel[0] = -0.5 * n.coord[0] / 1e-3;
  m.prescribedCycle(1e-3);
  for (const ShellElementCuda& e : m.elems()) EXPECT_NEAR(e.thickCurrent, 2.0 * kT, 1e-12);
}

// The triangle's transverse shear force per length is a total: a constant
// shear rate over n steps gives n times the first step's resultant.
TEST(ShellElement, TriangleShearResultantAccumulates) {
  ShellModel m = model(ET_CB_TRI_SHELL);
  shelltest::grid(m, 1, 1, 1.0, 1.0, true);
  m.link();
  const double dt = 1e-6;
  for (NodeCuda& n : m.nodes) n.vel[2] = 1.0 * n.coord[0];  // w = gamma_rate x, no rotation
  m.prescribedCycle(dt);
  const double first = m.elems()[0].shearResultant[0];
  const double G = kE / (2.0 * (1.0 + kNu));
  EXPECT_NEAR(first, kT * 5.0 / 6.0 * G * dt, 1e-3 * std::fabs(first));
  for (int s = 0; s < 9; ++s) m.prescribedCycle(dt);
  EXPECT_NEAR(m.elems()[0].shearResultant[0], 10.0 * first, 1e-3 * std::fabs(first));
}

// The host twins compute what the device form computes and hand it to the
// nodes at once (membranes included, so a host-only run keeps them stiff).
TEST(ShellElement, HostTwinsHandTheForceToTheNodes) {
  for (ElementNewType type : {ET_BT_SHELL, ET_CB_TRI_SHELL, ET_MEMBRANE3, ET_MEMBRANE4}) {
    ShellModel device = model(type), host = model(type);
    for (ShellModel* m : {&device, &host}) {
      irregularPatch(*m, isTriangle(type));
      m->link();
      for (NodeCuda& n : m->nodes) {
        n.vel[0] = 3.0 * n.coord[0] - n.coord[1];
        n.vel[2] = 0.5 * n.coord[0] * n.coord[1];
        n.dispUpdate(1e-5);
      }
    }
    device.computeForces(1e-5);
    device.gather();
    for (ShellElementCuda& e : host.elems())
      e.computeShellInterForceCpu(host.material.get(), &host.section, nullptr, 1e-5);
    for (size_t i = 0; i < host.nodes.size(); ++i)
      for (int k = 0; k < 3; ++k) {
        EXPECT_DOUBLE_EQ(host.nodes[i].force[k], device.nodes[i].force[k]) << "type " << type << " node " << i;
        EXPECT_DOUBLE_EQ(host.nodes[i].moment[k], device.nodes[i].moment[k]) << "type " << type << " node " << i;
      }
    EXPECT_GT(device.maxNodalForce(), 1.0) << "type " << type;
  }
}

// Points through the thickness beyond the line rule (1 to 7) would carry no
// weight, and a negative count none at all: the section is told and its
// shells take the nearest usable count, so they keep their stiffness.
TEST(ShellElement, UnusablePointCountsAreSaidAndReplaced) {
  for (const auto& [asked, used] : {std::pair{9, 7}, std::pair{-3, 5}}) {
    ShellModel m = model(ET_BT_SHELL, asked);
    shelltest::grid(m, 1, 1, 1.0, 1.0, false);
    testing::internal::CaptureStdout();
    m.link();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "shell section 1: " + std::to_string(asked) +
                  " points through the thickness cannot be integrated (1 to 7); its shells take " +
                  std::to_string(used) + "\n");
    const ShellElementCuda& e = m.elems()[0];
    ASSERT_EQ(e.integratPointNum, used);
    double weights = 0.0;
    for (int p = 0; p < used; ++p) weights += e.gaussPoint[p].weight_;
    EXPECT_NEAR(weights, 2.0, 1e-12);
  }
}

}  // namespace
