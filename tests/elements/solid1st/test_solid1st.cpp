// First-order solid formulations on hand-built models: rigid motion, patch
// tests, lengths, steps, masses and the dispatcher's special cases.
#include <gtest/gtest.h>

#include <cmath>

#include "core/section.h"
#include "elements/common/elmmanager.h"
#include "materials/elementInversion.h"
#include "tests/elements/solid1st/solidTestModel.h"

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
    case ET_TETRA_TL:
      m.addSolid(type, {c[0], c[1], c[3], c[4]});
      break;
    case ET_PENTA:
      m.addSolid(type, {c[0], c[1], c[3], c[4], c[5], c[7]});
      break;
    case ET_PYRAMID_TL:
      m.addSolid(type, {c[0], c[4], c[5], c[6], c[7]});
      break;
    default:
      m.addSolid(type, {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]});
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

// The one-point pentahedron on the cell's slots: upper face 1-2-3-4 and the
// lower edge 5-8, slots (1, 2, 3, 4, 5, 5, 8, 8).
void addCellWedge(SolidModel& m, int i = 0, int j = 0, int k = 0) {
  int c[8];
  solidtest::cellIds(i, j, k, c);
  m.addSolid(ET_PENTA_REDUCED, {c[0], c[1], c[2], c[3], c[4], c[4], c[7], c[7]});
}

// Stress vector (xx, yy, zz, xy, yz, zx) as a symmetric matrix and back.
void toMatrix(const double* s, double S[3][3]) {
  S[0][0] = s[0];
  S[1][1] = s[1];
  S[2][2] = s[2];
  S[0][1] = S[1][0] = s[3];
  S[1][2] = S[2][1] = s[4];
  S[2][0] = S[0][2] = s[5];
}

// Trace, second invariant and determinant of a stress vector.
void invariants(const double* s, double out[3]) {
  double S[3][3];
  toMatrix(s, S);
  out[0] = S[0][0] + S[1][1] + S[2][2];
  out[1] = S[0][0] * S[1][1] + S[1][1] * S[2][2] + S[2][2] * S[0][0] - s[3] * s[3] - s[4] * s[4] - s[5] * s[5];
  out[2] = solid1st::det3(S);
}

// Rigid rotation about z through the centre c, advanced as the time loop
// does: the velocities that carry each node along the circle in one step,
// the displacement update, then the element forces.
void rotateInCycles(SolidModel& m, const double c[2], double angle, int steps, double dt) {
  const double da = angle / steps, cs = std::cos(da), sn = std::sin(da);
  for (int step = 0; step < steps; ++step) {
    for (NodeCuda& n : m.nodes) {
      const double x = n.coord[0] - c[0], y = n.coord[1] - c[1];
      n.vel[0] = (cs * x - sn * y - x) / dt;
      n.vel[1] = (sn * x + cs * y - y) / dt;
      n.vel[2] = 0.0;
      n.dispUpdate(dt);
    }
    m.computeForces(dt);
  }
}

// A prestressed element turned by 90 degrees in many steps of the real
// cycle: the invariants stay, the components turn with the element (xx and
// yy swap, xy changes sign), no strain and no hourglass force appear.
TEST(Solid1stElement, RigidRotationInCycleOrderRotatesStress) {
  const double s0[6] = {1.0e8, -3.0e7, 2.0e7, 2.0e7, -1.0e7, 5.0e6};
  // Rotated by 90 degrees about z: xx <- yy, yy <- xx, xy <- -xy, yz <- zx, zx <- -yz.
  const double s90[6] = {s0[1], s0[0], s0[2], -s0[3], s0[5], -s0[4]};
  struct Case {
    ElementNewType type;
    int form;
  };
  // Hourglass forms: 1 viscous, 4 stiffness, 6 assumed strain.
  for (const Case cs :
       {Case{ET_HEXA_FULL, 1}, Case{ET_HEXA_REDUCED, 1}, Case{ET_HEXA_REDUCED, 4}, Case{ET_HEXA_REDUCED, 6},
        Case{ET_PENTA, 1}, Case{ET_PENTA_REDUCED, 4}, Case{ET_PENTA_REDUCED, 6}}) {
    SolidModel m;
    m.hourglass.type = cs.form;
    solidtest::distortedGrid(m, 0.01);
    if (cs.type == ET_PENTA_REDUCED)
      addCellWedge(m);
    else
      addCellElement(m, cs.type);
    m.link();
    for (ElasticMaterialStatus& st : m.states)
      for (int k = 0; k < 6; ++k) st.stress[k] = s0[k];
    double before[3];
    invariants(s0, before);
    const double centre[2] = {0.004, 0.006};
    rotateInCycles(m, centre, 0.5 * M_PI, 40000, 1e-6);
    const double scale = 1.0e8;
    for (const ElasticMaterialStatus& st : m.states) {
      double after[3];
      invariants(st.stress, after);
      EXPECT_NEAR(after[0], before[0], 1e-3 * std::fabs(before[0])) << "type " << cs.type;
      EXPECT_NEAR(after[1], before[1], 1e-3 * std::fabs(before[1])) << "type " << cs.type;
      EXPECT_NEAR(after[2], before[2], 1e-3 * std::fabs(before[2])) << "type " << cs.type;
      for (int k = 0; k < 6; ++k) EXPECT_NEAR(st.stress[k], s90[k], 2e-3 * scale) << "type " << cs.type << " c " << k;
      for (int k = 0; k < 6; ++k) EXPECT_NEAR(st.strain[k], 0.0, 1e-9) << "type " << cs.type;
    }
    for (double q : m.elems[0].hourglassValue[0]) EXPECT_NEAR(q, 0.0, 1e-6);
  }
}

// The elements of one grid cell: a hexahedron, or two prisms cut along the
// diagonal plane 1-3-7-5 (types 20 and 21).  mirror numbers them in mirror
// order (upper and lower faces, or the two triangles, swapped), which gives
// a negative volume of the same shape.
void addCellSolids(SolidModel& m, ElementNewType type, int i, int j, int k, bool mirror) {
  int c[8];
  solidtest::cellIds(i, j, k, c);
  if (type == ET_HEXA_FULL || type == ET_HEXA_REDUCED) {
    if (mirror)
      m.addSolid(type, {c[4], c[5], c[6], c[7], c[0], c[1], c[2], c[3]});
    else
      m.addSolid(type, {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]});
    return;
  }
  // Prisms with triangles (a, b, c) above (d, e, f).
  const int prisms[2][6] = {{c[0], c[1], c[2], c[4], c[5], c[6]}, {c[0], c[2], c[3], c[4], c[6], c[7]}};
  for (const auto& p : prisms) {
    const int a = mirror ? p[3] : p[0], b = mirror ? p[4] : p[1], cc = mirror ? p[5] : p[2];
    const int d = mirror ? p[0] : p[3], e = mirror ? p[1] : p[4], f = mirror ? p[2] : p[5];
    if (type == ET_PENTA)
      m.addSolid(type, {a, b, cc, d, e, f});
    else  // one-point slots: quad a-b-e-d above the edge c-f
      m.addSolid(type, {a, b, e, d, cc, cc, f, f});
  }
}

// A linear velocity field on a distorted mesh whose cells alternate between
// the two numbering orders: every element sees the same strain rate, the
// hourglass values stay zero, and for the fully integrated forms the forces
// at the interior node balance.
TEST(Solid1stElement, PatchTestWithMirroredElements) {
  const double a[3] = {0.5, -0.2, 0.1};
  const double L[3][3] = {{3.0, -1.0, 0.5}, {0.8, -2.0, 1.2}, {-0.6, 0.4, 1.5}};
  const double dt = 1e-7;
  for (ElementNewType type : {ET_HEXA_REDUCED, ET_HEXA_FULL, ET_PENTA_REDUCED, ET_PENTA}) {
    for (int form : {1, 4, 6}) {
      SolidModel m;
      m.hourglass.type = form;
      solidtest::distortedGrid(m, 0.01);
      for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 2; ++j)
          for (int i = 0; i < 2; ++i) addCellSolids(m, type, i, j, k, (i + j + k) % 2 == 1);
      m.link();
      m.setLinearVelocity(a, L, dt);
      m.computeForces(dt);
      // strain order xx, yy, zz, yz, zx, xy (engineering shear)
      const double expected[6] = {L[0][0] * dt,
                                  L[1][1] * dt,
                                  L[2][2] * dt,
                                  (L[1][2] + L[2][1]) * dt,
                                  (L[2][0] + L[0][2]) * dt,
                                  (L[0][1] + L[1][0]) * dt};
      for (const ElasticMaterialStatus& s : m.states)
        for (int c = 0; c < 6; ++c) EXPECT_NEAR(s.strain[c], expected[c], 1e-15) << "type " << type << " c " << c;
      for (const SolidElementCuda& e : m.elems) {
        if (type == ET_HEXA_REDUCED || type == ET_PENTA_REDUCED) {
          EXPECT_GT(e.volume, 0.0);
        }
        for (int a4 = 0; a4 < 4; ++a4)
          for (int i = 0; i < 3; ++i) EXPECT_NEAR(e.hourglassValue[a4][i], 0.0, 1e-9) << "type " << type;
      }
      if (type == ET_HEXA_FULL || type == ET_PENTA) {
        const int centre = solidtest::gridNode(1, 1, 1);
        double f[3] = {0.0, 0.0, 0.0}, scale = 0.0;
        for (const SolidElementCuda& e : m.elems)
          for (int I = 0; I < e.node_num; ++I)
            for (int k = 0; k < 3; ++k) {
              scale = std::fmax(scale, std::fabs(e.interForce[I][k]));
              if (e.node_id[I] == centre) f[k] += e.interForce[I][k];
            }
        for (double v : f) EXPECT_NEAR(v, 0.0, 1e-9 * scale) << "type " << type;
      }
    }
  }
}

// A right prism with legs a and height h as a one-point pentahedron whose
// node count comes from the element store: under a uniform stress sigma,
// each of the six nodes gets sigma times the integral of its shape-function
// gradient, through the hand-over over all eight slots.
TEST(Solid1stElement, OnePointPentahedronForcesOfUniformStress) {
  const double a = 0.01, h = 0.02;
  SolidModel m;
  const double tri[3][2] = {{0, 0}, {a, 0}, {0, a}};
  for (double z : {0.0, h})
    for (const auto& p : tri) m.addNode(p[0], p[1], z);
  m.addSolid(ET_PENTA_REDUCED, {4, 5, 2, 1, 6, 6, 3, 3});  // quad 4-5-2-1 over the edge 6-3
  ElmManager store;
  store.solid_element_array_cpu = m.elems;
  store.setElementNodeNum();
  m.elems[0].node_num = store.solid_element_array_cpu[0].node_num;
  EXPECT_EQ(m.elems[0].node_num, 8);
  m.link();
  const double s[6] = {3e7, -1e7, 2e7, 4e6, -5e6, 6e6};  // xx, yy, zz, xy, yz, zx
  for (int k = 0; k < 6; ++k) m.states[0].stress[k] = s[k];
  m.computeForces(1e-7);
  EXPECT_NEAR(m.elems[0].volume, 0.5 * a * a * h, 1e-20);
  m.elems[0].discreteSolid1stInterForceToNodeCpu();
  const double S[3][3] = {{s[0], s[3], s[5]}, {s[3], s[1], s[4]}, {s[5], s[4], s[2]}};
  const double gradient[3][2] = {{-1, -1}, {1, 0}, {0, 1}};  // a x the triangle's gradients
  for (int n = 0; n < 6; ++n) {
    const double g[3] = {gradient[n % 3][0] * a * h / 4.0, gradient[n % 3][1] * a * h / 4.0,
                         (n < 3 ? -1.0 : 1.0) * a * a / 6.0};
    for (int j = 0; j < 3; ++j) {
      const double expected = -(S[j][0] * g[0] + S[j][1] * g[1] + S[j][2] * g[2]);
      EXPECT_NEAR(m.nodes[n].force[j], expected, 1e-9 * 3e7 * a * h) << "node " << n + 1 << " dir " << j;
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
  // 2 c / omega_max of the free element on its lumped masses (Poisson 0).
  EXPECT_NEAR(m.elems[0].computeSolidCharactLengthCpu(), 0.5, 1e-5);
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

// Every formulation finds its element turned inside out (the shape mirrored
// in x, or pressed flat, after the start) and reports it for the run to
// stop; the one-point forms exert no force.  The same element squeezed to
// half its width, or numbered in mirror order from the start (patch test
// above), is sound.
TEST(Solid1stElement, ElementTurnedInsideOutIsReported) {
  const ElementNewType types[] = {ET_TETRA_TL,     ET_PYRAMID_TL, ET_HEXA_FULL,
                                  ET_HEXA_REDUCED, ET_PENTA,      ET_PENTA_REDUCED};
  for (ElementNewType type : types)
    for (double scale : {0.5, 0.0, -1.0}) {
      SolidModel m;
      solidtest::distortedGrid(m, 0.01);
      if (type == ET_PENTA_REDUCED)
        addCellSolids(m, type, 0, 0, 0, false);
      else
        addCellElement(m, type);
      m.elems.resize(1);
      m.elems[0].id = 9;
      m.link();
      for (NodeCuda& n : m.nodes) {
        n.coord[0] = scale * n.ini_coord[0];
        n.total_disp[0] = n.coord[0] - n.ini_coord[0];
      }
      clearInvertedElementReport();
      testing::internal::CaptureStdout();
      m.computeForces(1e-6);
      const std::string out = testing::internal::GetCapturedStdout();
      if (scale > 0.0) {
        EXPECT_EQ(invertedElementReport().pointCount, 0) << "type " << type;
        continue;
      }
      EXPECT_GT(invertedElementReport().pointCount, 0) << "type " << type << " scale " << scale;
      EXPECT_EQ(invertedElementReport().elementId, 9) << "type " << type;
      EXPECT_NE(out.find("element 9 is turned inside out"), std::string::npos) << out;
      if (type == ET_HEXA_REDUCED || type == ET_PENTA_REDUCED) {
        EXPECT_EQ(maxAbsForce(m), 0.0) << "type " << type;
      }
    }
  clearInvertedElementReport();
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
