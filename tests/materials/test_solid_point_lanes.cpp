// 3-D stress updates of several solid points at once in lanes against the
// one-point update, bit for bit, over many steps of random velocity
// gradients (stretch and spin, some points resting or only spinning):
// linear elastic; elastic-plastic points that stay elastic, yield, harden
// and unload in one group, with the linear law (in lanes; its surface
// widening, or moving and widening), a steep table
// and a power law (their flow stress lane by lane); and a model without a
// lane form (Mooney-Rivlin), which takes its one-point update.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

#include "materials/elasticplastic.h"
#include "materials/linearelastic.h"
#include "materials/mooneyrivlinmaterial.h"
#include "materials/solidPointLanes.h"
#include "tests/materials/materialTestHelpers.h"

namespace {

constexpr double kDt = 1e-6;

// kLaneWidth points of one model, each with its own state, starting at the
// initial flow stress where the state has one.
template <typename Model, typename Status>
struct SolidPoints {
  Material record;
  std::unique_ptr<Model> model;
  std::vector<PointWithState<Status>> points;
  explicit SolidPoints(const Material& rec) : record(rec), model(new Model(&record)), points(kLaneWidth) {
    if constexpr (std::is_base_of_v<PlasticMaterialStatus, Status>)
      for (auto& p : points) p.status.k = record.yield_stress;
  }
};

// Lane l of the lane update (stress sigma, state a) against the one-point
// update (S, b).
template <typename Status>
void expectSamePoint(const LaneDouble sigma[3][3], int l, const Status& a, const double S[3][3], const Status& b) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) ASSERT_EQ(laneGet(sigma[i][j], l), S[i][j]) << i << "," << j;
  for (int c = 0; c < 6; ++c) {
    ASSERT_EQ(a.stress[c], b.stress[c]) << "stress " << c;
    ASSERT_EQ(a.strain[c], b.strain[c]) << "strain " << c;
  }
  if constexpr (std::is_base_of_v<PlasticMaterialStatus, Status>) {
    ASSERT_EQ(a.k, b.k);
    ASSERT_EQ(a.eps_p, b.eps_p);
  }
  if constexpr (std::is_same_v<Status, KinematicPlasticMaterialStatus>) {
    for (int c = 0; c < 6; ++c) ASSERT_EQ(a.backStress[c], b.backStress[c]) << "back stress " << c;
  }
}

// The same random velocity gradients (entries up to rate) through both:
// all points at once in lanes and one point at a time.  Returns whether
// some point gathered plastic strain.
template <typename Model, typename Status>
bool expectLanesMatchOnePoint(const Material& record, double rate, unsigned seed) {
  SolidPoints<Model, Status> lanes(record), one(record);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  bool yielded = false;
  for (int step = 0; step < 200; ++step) {
    double L[kLaneWidth][3][3];
    for (int l = 0; l < kLaneWidth; ++l)
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
          L[l][i][j] = rate * u(rng);
          // A resting point, and a point that only spins.
          if ((step + l) % 7 == 0) L[l][i][j] = 0.0;
          if ((step + l) % 11 == 0 && j < i) L[l][i][j] = -L[l][j][i];
          if ((step + l) % 11 == 0 && j == i) L[l][i][j] = 0.0;
        }
    LaneDouble Ll[3][3], sl[3][3];
    GaussPoint* gp[kLaneWidth];
    MaterialStatus* st[kLaneWidth];
    for (int l = 0; l < kLaneWidth; ++l) {
      laneIn<9>(&L[l][0][0], l, &Ll[0][0]);
      gp[l] = &lanes.points[l].gp;
      st[l] = &lanes.points[l].status;
    }
    solid_point_lanes::update(lanes.model.get(), gp, st, Ll, sl, kDt);
    for (int l = 0; l < kLaneWidth; ++l) {
      PointWithState<Status>& p = one.points[l];
      double S[3][3];
      stressVectorToMatrix(p.status.stress, S);
      one.model->computeStressMatrix3D(&p.gp, L[l], S, kDt);
      SCOPED_TRACE(::testing::Message() << "step " << step << " lane " << l);
      expectSamePoint(sl, l, lanes.points[l].status, S, p.status);
      if (::testing::Test::HasFatalFailure()) return yielded;
      if constexpr (std::is_base_of_v<PlasticMaterialStatus, Status>) yielded = yielded || p.status.eps_p > 0.0;
    }
  }
  return yielded;
}

// Power law k = K (eps + eps0)^n starting at 250 MPa.
Material powerLawRecord() {
  Material m = makeSteelRecord(MT_ELASTIC_PLASTIC);
  m.plastic_model = 2;
  m.power_law_n = 0.2;
  m.power_law_eps0 = 0.01;
  m.power_law_k = 250e6 / std::pow(0.01, 0.2);
  m.calMaterialConstants();
  return m;
}

TEST(SolidPointLanes, ElasticAndElasticPlasticPointsMatchTheOnePointUpdate) {
  using EP = ElasticPlasticMaterial;
  using PS = PlasticMaterialStatus;
  EXPECT_FALSE((expectLanesMatchOnePoint<LinearElasticMaterial, PS>(makeSteelRecord(MT_LINEAR_ELASTIC), 400.0, 1u)));
  // Small rates stay elastic throughout; large ones yield, harden and
  // unload, lanes elastic and plastic in one call.
  const Material linear = makeSteelRecord(MT_ELASTIC_PLASTIC);
  EXPECT_FALSE((expectLanesMatchOnePoint<EP, PS>(linear, 1.0, 2u)));
  EXPECT_TRUE((expectLanesMatchOnePoint<EP, PS>(linear, 400.0, 3u)));
  // A surface that moves and widens (beta 0.3): the back stress turns with
  // the spin and moves with the flow.
  Material mixed = linear;
  mixed.hardening_parameter = 0.3;
  EXPECT_TRUE((expectLanesMatchOnePoint<EP, KinematicPlasticMaterialStatus>(mixed, 400.0, 6u)));
  // A table with a steep stretch (bisection steps, lanes iterating
  // different numbers of times), and a law the lanes evaluate one by one.
  EXPECT_TRUE((expectLanesMatchOnePoint<EP, PS>(makeSteepTableRecord(MT_ELASTIC_PLASTIC), 300.0, 4u)));
  EXPECT_TRUE((expectLanesMatchOnePoint<EP, PS>(powerLawRecord(), 400.0, 5u)));
}

TEST(SolidPointLanes, AModelWithoutALaneFormTakesItsOnePointUpdate) {
  Material rubber;
  rubber.id = 1;
  rubber.type = MT_MOONEY_RIVLIN;
  rubber.density = 1100.0;
  rubber.mooney_rivlin_constants[0] = 0.5e6;
  rubber.mooney_rivlin_constants[1] = 0.1e6;
  rubber.mooney_rivlin_constants[2] = 300e6;
  rubber.calMaterialConstants();
  expectLanesMatchOnePoint<MooneyRivlinMaterial, MooneyRivlinMaterialStatus>(rubber, 2000.0, 6u);
}

}  // namespace
