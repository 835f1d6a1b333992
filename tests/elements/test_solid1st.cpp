// First-order solid formulations on hand-built models: rigid motion, patch
// tests, lengths, steps, masses and the dispatcher's special cases.
#include <gtest/gtest.h>

#include <cmath>

#include "core/section.h"
#include "elements/elmmanager.h"
#include "tests/elements/solidTestModel.h"

namespace {

using solidtest::SolidModel;

double maxAbsForce(const SolidModel& m) {
  double f = 0.0;
  for (const SolidElementCuda& e : m.elems)
    for (int I = 0; I < 8; ++I)
      for (int k = 0; k < 3; ++k) f = std::fmax(f, std::fabs(e.interForce[I][k]));
  return f;
}

// One element of each type on the distorted grid's first cell.
void addCellElement(SolidModel& m, ElementNewType type) {
  int c[8];
  solidtest::cellIds(0, 0, 0, c);
  switch (type) {
    case ET_TETRA_TL: m.addSolid(type, {c[0], c[1], c[3], c[4]}); break;
    case ET_PENTA: m.addSolid(type, {c[0], c[1], c[3], c[4], c[5], c[7]}); break;
    case ET_PYRAMID_TL: m.addSolid(type, {c[0], c[4], c[5], c[6], c[7]}); break;
    default: m.addSolid(type, {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]});
  }
}

TEST(Solid1stElement, RigidTranslationGivesNoForce) {
  for (ElementNewType type : {ET_TETRA_TL, ET_HEXA_FULL, ET_HEXA_REDUCED, ET_PENTA, ET_PYRAMID_TL}) {
    SolidModel m;
    solidtest::distortedGrid(m, 0.01);
    addCellElement(m, type);
    m.link();
    const double a[3] = {3.0, -1.0, 2.0}, L[3][3] = {};
    m.setLinearVelocity(a, L, 1e-6);
    for (int cycle = 0; cycle < 3; ++cycle) m.computeForces(1e-6);
    EXPECT_LT(maxAbsForce(m), 1e-6) << "type " << type;
    for (const ElasticMaterialStatus& s : m.states)
      for (double v : s.stress) EXPECT_LT(std::fabs(v), 1e-3);
  }
}

// Small rigid rotations of a prestressed one-point hexahedron: the stress is
// carried round without growing, and no hourglass force appears.
TEST(Solid1stElement, RigidRotationKeepsStressMagnitude) {
  SolidModel m;
  solidtest::distortedGrid(m, 0.01);
  addCellElement(m, ET_HEXA_REDUCED);
  m.link();
  m.states[0].stress[0] = 1e8;
  m.states[0].stress[3] = 2e7;
  const double dt = 1e-6, w = 1000.0;  // 0.1 rad over 100 steps
  auto norm = [&] {
    const double* s = m.states[0].stress;
    return std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2] + 2 * (s[3] * s[3] + s[4] * s[4] + s[5] * s[5]));
  };
  const double n0 = norm();
  for (int step = 0; step < 100; ++step) {
    for (NodeCuda& n : m.nodes) {
      n.vel[0] = -w * n.coord[1];
      n.vel[1] = w * n.coord[0];
      n.vel[2] = 0.0;
    }
    m.computeForces(dt);
    for (NodeCuda& n : m.nodes) n.dispUpdate(dt);
  }
  EXPECT_NEAR(norm(), n0, 2e-3 * n0);
  for (double q : m.elems[0].hourglassValue[0]) EXPECT_NEAR(q, 0.0, 1e-6);
  EXPECT_NE(m.states[0].stress[1], 0.0);  // the stress did rotate
}

// A linear velocity field on a distorted mesh: every element sees the same
// strain rate, the hourglass values stay zero, and for the fully integrated
// hexahedron the forces at the interior node balance.
TEST(Solid1stElement, PatchTestOnDistortedHexahedra) {
  const double a[3] = {0.5, -0.2, 0.1};
  const double L[3][3] = {{3.0, -1.0, 0.5}, {0.8, -2.0, 1.2}, {-0.6, 0.4, 1.5}};
  const double dt = 1e-7;
  for (ElementNewType type : {ET_HEXA_REDUCED, ET_HEXA_FULL}) {
    for (int form = 1; form <= 2; ++form) {
      SolidModel m;
      m.hourglass.type = form;
      solidtest::distortedGrid(m, 0.01);
      for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 2; ++j)
          for (int i = 0; i < 2; ++i) {
            int c[8];
            solidtest::cellIds(i, j, k, c);
            m.addSolid(type, {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]});
          }
      m.link();
      m.setLinearVelocity(a, L, dt);
      m.computeForces(dt);
      const double* ref = m.states[0].strain;
      EXPECT_NEAR(ref[0], L[0][0] * dt, 1e-15);
      EXPECT_NEAR(ref[1], L[1][1] * dt, 1e-15);
      for (const ElasticMaterialStatus& s : m.states)
        for (int c = 0; c < 6; ++c) EXPECT_NEAR(s.strain[c], ref[c], 1e-15) << "type " << type;
      for (const SolidElementCuda& e : m.elems)
        for (int a4 = 0; a4 < 4; ++a4)
          for (int i = 0; i < 3; ++i) EXPECT_NEAR(e.hourglassValue[a4][i], 0.0, 1e-9);
      if (type == ET_HEXA_FULL) {
        const int centre = solidtest::gridNode(1, 1, 1);
        double f[3] = {0.0, 0.0, 0.0}, scale = 0.0;
        for (const SolidElementCuda& e : m.elems)
          for (int I = 0; I < 8; ++I)
            for (int k = 0; k < 3; ++k) {
              scale = std::fmax(scale, std::fabs(e.interForce[I][k]));
              if (e.node_id[I] == centre) f[k] += e.interForce[I][k];
            }
        for (double v : f) EXPECT_NEAR(v, 0.0, 1e-9 * scale);
      }
    }
  }
}

// The same block cut into six tetrahedra per cell.
TEST(Solid1stElement, PatchTestOnTetrahedra) {
  SolidModel m;
  solidtest::distortedGrid(m, 0.01);
  // Six tetrahedra around the diagonal from corner 5 (index 4) to corner 3 (index 2).
  const int tets[6][4] = {{4, 2, 0, 1}, {4, 2, 1, 5}, {4, 2, 5, 6}, {4, 2, 6, 7}, {4, 2, 7, 3}, {4, 2, 3, 0}};
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i) {
        int c[8];
        solidtest::cellIds(i, j, k, c);
        for (const auto& t : tets) m.addSolid(ET_TETRA_TL, {c[t[0]], c[t[1]], c[t[2]], c[t[3]]});
      }
  m.link();
  double total = 0.0;
  for (const SolidElementCuda& e : m.elems) total += e.volume;
  EXPECT_GT(total, 0.0);
  const double a[3] = {0.0, 0.0, 0.0};
  const double L[3][3] = {{3.0, -1.0, 0.5}, {0.8, -2.0, 1.2}, {-0.6, 0.4, 1.5}};
  m.setLinearVelocity(a, L, 1e-7);
  m.computeForces(1e-7);
  const double* ref = m.states[0].strain;
  for (const ElasticMaterialStatus& s : m.states)
    for (int c = 0; c < 6; ++c) EXPECT_NEAR(s.strain[c], ref[c], 1e-15);
  EXPECT_GT(std::fabs(ref[0]), 1e-7);
}

// A pyramid's four domains see the same strain rate under a linear field.
TEST(Solid1stElement, PatchTestOnPyramid) {
  SolidModel m;
  solidtest::distortedGrid(m, 0.01);
  addCellElement(m, ET_PYRAMID_TL);
  m.link();
  const double a[3] = {0.0, 0.0, 0.0};
  const double L[3][3] = {{3.0, -1.0, 0.5}, {0.8, -2.0, 1.2}, {-0.6, 0.4, 1.5}};
  m.setLinearVelocity(a, L, 1e-7);
  m.computeForces(1e-7);
  ASSERT_EQ(m.states.size(), 4u);
  for (const ElasticMaterialStatus& s : m.states)
    for (int c = 0; c < 6; ++c) EXPECT_NEAR(s.strain[c], m.states[0].strain[c], 1e-15);
  EXPECT_NEAR(m.states[0].strain[0], 3.0e-7, 1e-12);
  double v = 0.0;
  for (const GaussPoint& gp : m.points) v += gp.volume_;
  EXPECT_NEAR(m.elems[0].volume, v, 1e-20);
}

TEST(Solid1stElement, LengthStepAndMassOfSteelCube) {
  SolidModel m;
  solidtest::addCube(m, 0.01);
  m.link();
  SolidElementCuda& e = m.elems[0];
  EXPECT_NEAR(e.computeSolidCharactLengthCpu(), 0.01, 1e-15);
  EXPECT_NEAR(e.computeSolidTimeStepCpu(m.material.get(), 0.9), 1.49976e-6, 1e-11);
  EXPECT_NEAR(e.calSolidNodeMass(m.record.get(), nullptr), 7.85e-3, 1e-15);
  for (const NodeCuda& n : m.nodes) EXPECT_NEAR(n.mass, 7.85e-3 / 8, 1e-16);
  // Mass scaling to twice the step: every node gains 3/8 of the element mass.
  e.computeSolidMassScaleCpu(2.0 * e.dt);
  EXPECT_DOUBLE_EQ(e.dtScaleFactor, 2.0);
  for (const NodeCuda& n : m.nodes) EXPECT_NEAR(n.mass, 4.0 * 7.85e-3 / 8, 1e-16);
}

TEST(Solid1stElement, UnitRightTetrahedron) {
  SolidModel m;
  solidtest::unitRightTetrahedron(m);
  EXPECT_NEAR(m.elems[0].computeSolidCharactLengthCpu(), 0.57735, 1e-5);
  EXPECT_NEAR(m.elems[0].volume, 1.0 / 6.0, 1e-15);
  EXPECT_NEAR(m.points[0].volume_, 1.0 / 6.0, 1e-15);
  EXPECT_NEAR(m.elems[0].calTetraVol(), 1.0 / 6.0, 1e-15);
  // Host path: a stretch pushes the nodes back through the node forces.
  m.nodes[1].step_disp[0] = m.nodes[1].total_disp[0] = 1e-4;
  m.elems[0].computeSolidInterForceCpu(m.material.get(), nullptr, nullptr, 1e-6);
  EXPECT_LT(m.nodes[1].force[0], 0.0);
  EXPECT_NEAR(m.nodes[0].force[0] + m.nodes[1].force[0] + m.nodes[2].force[0] + m.nodes[3].force[0], 0.0, 1e-3);
}

// Types without a force still get a length and a step; a smoothed-FEM solid
// leaves its force to the domains.
TEST(Solid1stElement, NoForceTypesAndSmoothedSolids) {
  for (ElementNewType type : {ET_HEXA_INCOMPATIBLE, ET_SOLID_SHELL8, ET_SOLID_SHELL6}) {
    SolidModel m;
    solidtest::distortedGrid(m, 0.01);
    addCellElement(m, type);
    m.link();
    const double a[3] = {1.0, 0.0, 0.0};
    const double L[3][3] = {{100.0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    m.setLinearVelocity(a, L, 1e-6);
    m.computeForces(1e-6);
    EXPECT_EQ(maxAbsForce(m), 0.0);
    EXPECT_GT(m.elems[0].computeSolidCharactLength(), 0.0);
    EXPECT_GT(m.elems[0].computeSolidTimeStep(m.material.get(), 0.9), 0.0);
  }
  SolidModel m;
  solidtest::distortedGrid(m, 0.01);
  addCellElement(m, ET_HEXA_REDUCED);
  m.link();
  m.elems[0].sfemType = SFEM_NODE;
  const double a[3] = {0.0, 0.0, 0.0};
  const double L[3][3] = {{100.0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  m.setLinearVelocity(a, L, 1e-6);
  m.computeForces(1e-6);
  EXPECT_EQ(maxAbsForce(m), 0.0);
  EXPECT_GT(m.elems[0].computeSolidCharactLength(), 0.0);
}

// A mirrored (inverted) one-point hexahedron: the volume of its mirror image.
TEST(Solid1stElement, InvertedHexahedronTakesMirrorVolume) {
  SolidModel m;
  const double h = 0.02;
  solidtest::addCube(m, h, 0.0, -1.0);
  m.link();
  m.computeForces(1e-6);
  EXPECT_NEAR(m.elems[0].volume, h * h * h, 1e-18);
  EXPECT_NEAR(m.elems[0].computeSolidCharactLength(), h, 1e-15);
}

}  // namespace

namespace {

// The total-Lagrangian set-up does not depend on the rigid-body flag of the
// first node: a deformable part touching a rigid body still gets its
// reference derivatives.  Solids without points are left alone.
TEST(Solid1stElement, TotalLagrangianSetUpIgnoresRigidNodeFlag) {
  SolidModel m;
  solidtest::unitRightTetrahedron(m);
  for (double& d : m.derivatives) d = 0.0;
  m.nodes[0].rigid_flag = 1;
  ElmManager store;
  store.solid_element_array_cpu = m.elems;
  Section sec;
  sec.id = 1;
  store.setSolidIntegration(&sec);
  EXPECT_EQ(m.derivatives[0], -1.0);  // dN1/dx with N1 = 1 - x - y - z
  SolidElementCuda bare = m.elems[0];
  bare.gaussPoint = nullptr;
  bare.volume = 0.0;
  bare.setSolidTLIntegration(1);
  EXPECT_EQ(bare.volume, 0.0);
}

}  // namespace
