// One beam, truss or spring record stepped by its host routines: the
// resultants against beam theory, the set-up masses and the steps.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/section.h"
#include "elements/beam/beamElementCuda.h"
#include "elements/beam/discreteCuda.h"
#include "materials/elasticplastic.h"
#include "materials/linearelastic.h"
#include "materials/material.h"

namespace {

constexpr double kE = 2.1e11, kNu = 0.3, kRho = 7850.0, kL = 1.0, kDt = 1e-6;

// A beam along x from the origin to (L, 0, 0), orientation node on y: the
// local axes are the global ones.
class BeamRig : public ::testing::Test {
 protected:
  NodeCuda nodes[3] = {};
  Section sec;
  Material rec;
  std::unique_ptr<MaterialNew> material;
  BeamElementCuda beam;

  void build(ElementNewType type, int materialType = 2, double yield = 0.0) {
    for (int i = 0; i < 3; ++i) nodes[i].id = nodes[i].store_id = i + 1;
    nodes[1].coord[0] = kL;
    nodes[2].coord[1] = 1.0;
    rec.type = materialType;
    rec.id = 1;
    rec.youngs_modulus = kE;
    rec.poissons_ratio = kNu;
    rec.density = kRho;
    rec.yield_stress = yield;
    rec.calMaterialConstants();
    rec.computeWaveNumber();
    if (materialType == MT_ELASTIC_PLASTIC)
      material = std::make_unique<ElasticPlasticMaterial>(&rec);
    else
      material = std::make_unique<LinearElasticMaterial>(&rec);
    sec.id = 1;
    sec.family_code = 2;
    sec.element_formulation = type;
    beam.type = type;
    beam.dtScaleFactor = 1.0;
    for (int k = 0; k < 3; ++k) beam.node[k] = &nodes[k];
    beam.beamNodeMassCpu(&rec, &sec);
  }
  void resultantSection(double A, double Iyy, double Izz, double J, double As) {
    sec.beam_type2_values[0] = A;
    sec.given_Iyy = Iyy;
    sec.given_Izz = Izz;
    sec.given_J = J;
    sec.beam_type2_values[1] = As;
    sec.family_code = 2;
    sec.element_formulation = 2;
    sec.calBeamSectionProperty();
  }
  // One step with the given velocities (translation, rotation) of the ends.
  void step(const double v1[6], const double v2[6]) {
    for (int j = 0; j < 6; ++j) {
      nodes[0].vel[j] = v1[j];
      nodes[1].vel[j] = v2[j];
    }
    beam.computeBeamInterForceCpu(material.get(), &sec, kDt);
  }
};

const double kRest[6] = {0, 0, 0, 0, 0, 0};

TEST_F(BeamRig, AxialStretchGivesEndForcesAlongTheAxisOnly) {
  resultantSection(1e-4, 1e-9, 2e-9, 0.0, 1e-4);
  build(ET_BS_BEAM);
  const double v2[6] = {1.0, 0, 0, 0, 0, 0};
  step(kRest, v2);
  const double N = 1e-4 * kE * kDt / kL;
  EXPECT_NEAR(beam.axialForce, N, 1e-9 * N);
  EXPECT_NEAR(beam.interForce[0][0], -N, 1e-9 * N);
  EXPECT_NEAR(beam.interForce[1][0], N, 1e-9 * N);
  for (int r = 0; r < 2; ++r)
    for (int j = 1; j < 6; ++j) EXPECT_EQ(beam.interForce[r][j], 0.0) << r << " " << j;
  EXPECT_EQ(beam.interForce[2][0], 0.0);
  // The host twin hands the block to the nodes: end 1 is pulled toward end 2.
  EXPECT_NEAR(nodes[0].force[0], N, 1e-9 * N);
}

// A rectangle 20 x 10 mm with Iyy != Izz: a rotation about y meets E Iyy, a
// rotation about z meets E Izz, with weights 4 and 2 when the shear area is
// large (phi near 0) and exactly so without a shear area.
TEST_F(BeamRig, EndMomentsUseTheSecondMomentOfTheirPlane) {
  const double b = 0.02, h = 0.01;
  const double Iyy = b * h * h * h / 12.0, Izz = h * b * b * b / 12.0;
  for (double As : {1e6, 0.0}) {
    SCOPED_TRACE(As);
    resultantSection(b * h, Iyy, Izz, 0.0, As);
    build(ET_BS_BEAM);
    const double aboutY[6] = {0, 0, 0, 0, 1.0, 0};
    step(aboutY, kRest);
    const double th = kDt;
    EXPECT_NEAR(beam.moment1Y, 4.0 * kE * Iyy / kL * th, 1e-6 * kE * Iyy * th);
    EXPECT_NEAR(beam.moment2Y, 2.0 * kE * Iyy / kL * th, 1e-6 * kE * Iyy * th);
    EXPECT_EQ(beam.moment1Z, 0.0);
    // Shear along z balances the moments: V = -(M1y + M2y) / L at end 1.
    EXPECT_NEAR(beam.interForce[0][2], -6.0 * kE * Iyy * th / (kL * kL), 1e-6 * kE * Iyy * th);
    beam = BeamElementCuda{};
    for (NodeCuda& n : nodes) n = NodeCuda{};
    const double aboutZ[6] = {0, 0, 0, 0, 0, 1.0};
    build(ET_BS_BEAM);
    step(aboutZ, kRest);
    EXPECT_NEAR(beam.moment1Z, 4.0 * kE * Izz / kL * th, 1e-6 * kE * Izz * th);
    EXPECT_NEAR(beam.moment2Z, 2.0 * kE * Izz / kL * th, 1e-6 * kE * Izz * th);
    EXPECT_TRUE(std::isfinite(beam.interForce[0][1]));
    beam = BeamElementCuda{};
    for (NodeCuda& n : nodes) n = NodeCuda{};
  }
}

TEST_F(BeamRig, TorsionFollowsGJThetaOverLAndEqualTwistGivesNone) {
  const double J = 2e-9;
  resultantSection(1e-4, 1e-9, 1e-9, J, 1e-4);
  build(ET_BS_BEAM);
  const double twist[6] = {0, 0, 0, 2.0, 0, 0};
  step(kRest, twist);
  const double G = kE / (2.0 * (1.0 + kNu));
  const double T = G * J * 2.0 * kDt / kL;
  EXPECT_NEAR(beam.torque, T, 1e-9 * T);
  EXPECT_NEAR(beam.interForce[1][3], T, 1e-9 * T);
  EXPECT_NEAR(beam.interForce[0][3], -T, 1e-9 * T);
  // Both ends twisting alike: the frame turns, the torque does not change.
  const double y0 = beam.yAxis1[2];
  step(twist, twist);
  EXPECT_NEAR(beam.torque, T, 1e-9 * T);
  EXPECT_GT(beam.yAxis1[2], y0);
}

TEST_F(BeamRig, SetUpLumpsMassOnTheEndsAndSetsTheLength) {
  const double A = 1e-4, J = 3e-9;
  resultantSection(A, 1e-9, 2e-9, J, 1e-4);
  build(ET_BS_BEAM);
  EXPECT_DOUBLE_EQ(nodes[0].mass, kRho * A * kL / 2.0);
  EXPECT_DOUBLE_EQ(nodes[1].mass, kRho * A * kL / 2.0);
  EXPECT_EQ(nodes[2].mass, 0.0);  // the orientation node
  EXPECT_EQ(nodes[2].rot_inertia[0], 0.0);
  EXPECT_DOUBLE_EQ(nodes[0].rot_inertia[0], 0.5 * kRho * kL * J);  // about the beam axis
  EXPECT_DOUBLE_EQ(beam.mass, kRho * A * kL);
  // The current length is there before the first cycle: the step is not 0.
  EXPECT_DOUBLE_EQ(beam.length, kL);
  EXPECT_DOUBLE_EQ(beam.computeBeamCharactLength(), kL);
  // 0.95 of 2 / omega of the fastest mode: turned onto the small end inertia
  // about its axis, the ends bend with the chord (Timoshenko, about z).
  const double w2 = 6.0 * kE * 2e-9 / (1.0 + 24.0 * (1.0 + kNu) * 2e-9 / 1e-4) *
                    (4.0 / nodes[0].mass + 1.0 / nodes[0].rot_inertia[0]);  // L = 1
  EXPECT_NEAR(beam.computeBeamTimeStep(material.get(), 0.9), 0.95 * 0.9 * 2.0 / std::sqrt(w2), 1e-12);
}

// Mass scaling raises each rotary inertia by its own sum: the node's
// inertias all grow by the same factor.
TEST_F(BeamRig, MassScalingScalesEachInertiaByItsOwnSum) {
  resultantSection(1e-4, 1e-9, 2e-9, 3e-9, 1e-4);
  build(ET_BS_BEAM);
  beam.computeBeamCharactLength();
  const double step0 = beam.computeBeamTimeStep(material.get(), 0.9);
  const double before[3] = {nodes[1].rot_inertia[0], nodes[1].rot_inertia[1], nodes[1].rot_inertia[2]};
  const double m0 = nodes[1].mass;
  beam.computeBeamMassScaleCpu(2.0 * step0);
  EXPECT_NEAR(nodes[1].mass / m0, 4.0, 1e-12);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(nodes[1].rot_inertia[k] / before[k], 4.0, 1e-12) << k;
}

// A tube of nine points bent far past yield carries the fully plastic
// moment 4 R^2 t sigma_y; a uniform stretch gives no end moments (the wall
// is a closed ring) and a twist about the thin-tube torque G 2 pi R^3 t
// theta / L.
TEST_F(BeamRig, ElasticPlasticTubeReachesThePlasticMoment) {
  const double R = 0.05, t = 0.002, sy = 2.5e8;
  sec.outer_diameter[0] = 2.0 * R + t;
  sec.inner_diameter[0] = 2.0 * R - t;
  sec.shape_selector = 1.0;
  sec.beam_card1_value4 = 9;
  sec.family_code = 2;
  sec.element_formulation = 1;
  sec.calBeamSectionProperty();
  sec.setIntegrationPoints();
  ASSERT_EQ(sec.point_count, 9);
  build(ET_BEAM_NO_FORCE, MT_ELASTIC_PLASTIC, sy);
  const double curvatureRate = 500.0;  // 2 theta / L per unit time
  const double bend1[6] = {0, 0, 0, 0, -curvatureRate / 2.0, 0};
  const double bend2[6] = {0, 0, 0, 0, curvatureRate / 2.0, 0};
  for (int i = 0; i < 1000; ++i) step(bend1, bend2);  // curvature 0.5 / m, about 20 x yield
  const double Mp = 4.0 * R * R * t * sy;
  EXPECT_NEAR(beam.moment2Y, Mp, 0.10 * Mp);
  EXPECT_NEAR(-beam.moment1Y, Mp, 0.10 * Mp);

  beam = BeamElementCuda{};
  for (NodeCuda& n : nodes) n = NodeCuda{};
  sec.beam_card1_value4 = 3;
  sec.setIntegrationPoints();
  build(ET_BEAM_NO_FORCE, MT_ELASTIC_PLASTIC, sy);
  const double pull[6] = {1.0, 0, 0, 0, 0, 0};
  step(kRest, pull);
  const double N = kE * kDt / kL * sec.A;
  EXPECT_NEAR(beam.axialForce, N, 1e-9 * N);
  EXPECT_NEAR(sec.A, 2.0 * std::acos(-1.0) * R * t, 1e-6 * R * t);
  EXPECT_NEAR(beam.moment1Y, 0.0, 1e-9 * std::fabs(beam.axialForce));
  EXPECT_NEAR(beam.moment2Z, 0.0, 1e-9 * std::fabs(beam.axialForce));

  beam = BeamElementCuda{};
  for (NodeCuda& n : nodes) n = NodeCuda{};
  sec.beam_card1_value4 = 9;
  sec.setIntegrationPoints();
  build(ET_BEAM_NO_FORCE, MT_ELASTIC_PLASTIC, sy);
  const double twist[6] = {0, 0, 0, 1.0, 0, 0};
  step(kRest, twist);
  const double G = kE / (2.0 * (1.0 + kNu));
  const double T = G * 2.0 * std::acos(-1.0) * R * R * R * t * kDt / kL;
  EXPECT_NEAR(beam.torque, T, 0.10 * T);
  // Segment by segment the shear flow is integrated with the mixed lever arm
  // h_ab = 2 R cos(40 deg), the same seen from either end: the ring of nine
  // gives (2 + cos 40 deg) / 3 of the thin-tube torque.
  EXPECT_NEAR(beam.torque, T * (2.0 + std::cos(40.0 * std::acos(-1.0) / 180.0)) / 3.0, 1e-6 * T);
}

TEST_F(BeamRig, TrussCarriesAxialForceAndTranslationalMass) {
  sec.beam_type2_values[0] = 2e-4;
  sec.family_code = 2;
  sec.element_formulation = 5;
  sec.calBeamSectionProperty();
  build(ET_TRUSS);
  EXPECT_DOUBLE_EQ(nodes[0].mass, kRho * 2e-4 * kL / 2.0);
  EXPECT_EQ(nodes[0].rot_inertia[0], 0.0);
  EXPECT_DOUBLE_EQ(beam.length, kL);
  const double v2[6] = {0.5, 0, 0, 0, 0, 0};
  step(kRest, v2);
  const double N = 2e-4 * kE * 0.5 * kDt / kL;
  EXPECT_NEAR(beam.interForce[1][0], N, 1e-9 * N);
  EXPECT_NEAR(nodes[1].force[0], -N, 1e-9 * N);
}

// A spring on a linear discrete-beam material: k from the material, the
// force along the axis into the end nodes, step sf sqrt(m / k).
TEST_F(BeamRig, SpringTakesItsStiffnessFromTheMaterial) {
  sec.discrete_beam_values[0] = 2.0 / kRho;  // volume: element mass 2 kg
  rec.discrete_stiffness[0] = 1000.0;
  rec.type = MT_LINEAR_STIFFNESS_66;
  for (int i = 0; i < 3; ++i) nodes[i].id = nodes[i].store_id = i + 1;
  nodes[1].coord[0] = kL;
  rec.density = kRho;
  beam.type = ET_SPRING;
  beam.dtScaleFactor = 1.0;
  for (int k = 0; k < 2; ++k) beam.node[k] = &nodes[k];
  beam.beamNodeMassCpu(&rec, &sec);
  EXPECT_DOUBLE_EQ(beam.springStiffness, 1000.0);
  EXPECT_DOUBLE_EQ(nodes[0].mass, 1.0);
  const double v2[6] = {2.0, 0, 0, 0, 0, 0};
  for (int j = 0; j < 6; ++j) nodes[1].vel[j] = v2[j];
  beam.computeBeamInterForceCpu(nullptr, &sec, 1e-3);
  EXPECT_NEAR(nodes[0].force[0], 1000.0 * 2e-3, 1e-12);
  EXPECT_NEAR(nodes[1].force[0], -1000.0 * 2e-3, 1e-12);
  beam.computeBeamCharactLength();
  EXPECT_NEAR(beam.computeBeamTimeStep(nullptr, 0.9), 0.95 * 0.9 * std::sqrt(2.0 / 1000.0), 1e-12);
}

TEST(DiscreteElement, ZeroStoredForceGivesNoForceWhateverTheNodesDo) {
  NodeCuda nodes[2] = {};
  nodes[1].coord[0] = 1.0;
  nodes[1].vel[1] = 3.0;
  DiscreteCuda d;
  d.type = ET_DISCRETE;
  d.node[0] = &nodes[0];
  d.node[1] = &nodes[1];
  d.computeDiscreteInterForceCpu(nullptr, nullptr, 1e-3);
  EXPECT_DOUBLE_EQ(d.length, 1.0);
  for (const NodeCuda& n : nodes)
    for (double f : n.force) EXPECT_EQ(f, 0.0);
  d.axialForce = 5.0;
  d.computeDiscreteInterForceCpu(nullptr, nullptr, 1e-3);
  EXPECT_DOUBLE_EQ(nodes[1].force[0], 5.0);
}

}  // namespace
