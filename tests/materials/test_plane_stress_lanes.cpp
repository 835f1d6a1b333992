// Plane-stress updates of several points at once in lanes against the
// one-point update, bit for bit: linear elastic, elastic-plastic points that
// stay elastic, yield, unload or have no flow stress left, in one group,
// over many steps, with the linear law (its surface widening, or moving and
// widening) and with a table whose steep stretch
// takes bisection steps (lanes iterating different numbers of times); a
// model without a lane form takes its one-point update.
#include "tests/deviceTest.h"

#include <memory>
#include <random>
#include <vector>

#include "elements/common/element.h"
#include "materials/elasticplastic.h"
#include "materials/linearelastic.h"
#include "materials/planeStressLanes.h"
#include "materials/returnMapFailure.h"
#include "tests/materials/materialTestHelpers.h"

namespace {

// kLaneWidth points of a model, each with its own state (with room for a
// back stress).
template <typename Model>
struct LanePoints {
  Material record;
  std::unique_ptr<Model> model;
  std::vector<PointWithState<KinematicPlasticMaterialStatus>> points;
  explicit LanePoints(const Material& rec) : record(rec), model(new Model(&record)), points(kLaneWidth) {
    for (auto& p : points) p.status.k = record.yield_stress;
  }
};

// The same random strain steps through both: lanes (all points at once)
// and one point at a time; every stress and state bit for bit the same.
template <typename Model>
void expectLanesMatchOnePoint(const Material& record, double strainScale, unsigned seed, bool expectYield) {
  const int type = record.type;
  LanePoints<Model> lanes(record), one(record);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  bool yielded = false;
  for (int step = 0; step < 200; ++step) {
    double d[kLaneWidth][6];
    for (auto& point : d)
      for (double& c : point) c = strainScale * u(rng);
    // Some points rest a step (no strain): an elastic step with zero deviator
    // change, or an unloading one after yield.
    for (int l = 0; l < kLaneWidth; ++l)
      if ((step + l) % 7 == 0)
        for (double& c : d[l]) c = 0.0;
    LaneDouble dl[6] = {}, sl[6] = {};
    GaussPoint* gp[kLaneWidth];
    for (int l = 0; l < kLaneWidth; ++l) {
      laneIn<6>(d[l], l, dl);
      gp[l] = &lanes.points[l].gp;
    }
    plane_stress_lanes::update(lanes.model.get(), gp, dl, sl, 1e-6);
    for (int l = 0; l < kLaneWidth; ++l) {
      PointWithState<KinematicPlasticMaterialStatus>& p = one.points[l];
      double s[6];
      for (int c = 0; c < 6; ++c) s[c] = p.status.stress[c];
      one.model->computeStressMatrixPlaneStress(&p.gp, s, d[l], nullptr, 1e-6);
      const KinematicPlasticMaterialStatus& a = lanes.points[l].status;
      for (int c = 0; c < 6; ++c) {
        ASSERT_EQ(laneGet(sl[c], l), s[c]) << "step " << step << " lane " << l << " component " << c;
        ASSERT_EQ(a.stress[c], p.status.stress[c]);
        ASSERT_EQ(a.strain[c], p.status.strain[c]);
      }
      if (type == MT_ELASTIC_PLASTIC) {
        ASSERT_EQ(a.k, p.status.k) << "step " << step << " lane " << l;
        ASSERT_EQ(a.eps_p, p.status.eps_p);
        for (int c = 0; c < 6; ++c) ASSERT_EQ(a.backStress[c], p.status.backStress[c]);
        yielded = yielded || a.eps_p > 0.0;
      }
    }
  }
  EXPECT_EQ(yielded, expectYield);
}

TEST(PlaneStressLanes, LinearElasticPointsMatchTheOnePointUpdate) {
  expectLanesMatchOnePoint<LinearElasticMaterial>(makeSteelRecord(MT_LINEAR_ELASTIC), 1e-4, 11u, false);
}

TEST(PlaneStressLanes, ElasticPlasticPointsMatchTheOnePointUpdateElasticOrYielding) {
  // Small steps stay elastic throughout; larger ones yield, harden and
  // unload, with some lanes elastic and some not in one call.
  const Material linear = makeSteelRecord(MT_ELASTIC_PLASTIC);
  expectLanesMatchOnePoint<ElasticPlasticMaterial>(linear, 1e-6, 5u, false);
  expectLanesMatchOnePoint<ElasticPlasticMaterial>(linear, 4e-4, 6u, true);
  // A surface that moves and widens (beta 0.3).
  Material mixed = linear;
  mixed.hardening_parameter = 0.3;
  expectLanesMatchOnePoint<ElasticPlasticMaterial>(mixed, 4e-4, 8u, true);
  // A table with a steep stretch between two plateaus.
  const Material table = makeSteepTableRecord(MT_ELASTIC_PLASTIC);
  expectLanesMatchOnePoint<ElasticPlasticMaterial>(table, 3e-4, 7u, true);
}

// A model of its own plane-stress update: the stored stress plus 3 d.
class StiffModel : public MaterialNew {
 public:
  StiffModel() : MaterialNew(1, MT_MOONEY_RIVLIN, 0) {}
  __host__ __device__ void computeStressMatrixPlaneStress(GaussPoint* gp, double* stress, double* d, double**,
                                                          double) const override {
    for (int c = 0; c < 6; ++c) gp->matStatus_->stress[c] = stress[c] += 3.0 * d[c];
  }
};

TEST(PlaneStressLanes, AModelWithoutALaneFormTakesItsOnePointUpdate) {
  const auto model = std::make_unique<StiffModel>();
  std::vector<PointWithState<PlasticMaterialStatus>> points(kLaneWidth);
  LaneDouble dl[6] = {}, sl[6] = {};
  GaussPoint* gp[kLaneWidth];
  for (int l = 0; l < kLaneWidth; ++l) {
    double d[6];
    for (int c = 0; c < 6; ++c) {
      d[c] = 1e-4 * (c + 1) * (l + 1);
      points[l].status.stress[c] = 10.0 * l + c;
    }
    laneIn<6>(d, l, dl);
    gp[l] = &points[l].gp;
  }
  plane_stress_lanes::update(model.get(), gp, dl, sl, 1e-6);
  for (int l = 0; l < kLaneWidth; ++l)
    for (int c = 0; c < 6; ++c) {
      EXPECT_EQ(laneGet(sl[c], l), 10.0 * l + c + 3.0 * (1e-4 * (c + 1) * (l + 1)));
      EXPECT_EQ(points[l].status.stress[c], laneGet(sl[c], l));
    }
}

// Returns that do not converge (a table falling below zero stress, which
// the set-up refuses, built here directly) in some lanes of a group are
// reported for those lanes as the one-point update reports them: the same
// count and first element, whether some or all lanes fail; converged lanes
// report nothing.
DEVICE_TEST(PlaneStressLanes, ReturnsThatFailInSomeLanesAreReportedAsOnePointUpdates) {
  Material record = makeSteelRecord(MT_ELASTIC_PLASTIC);
  record.plastic_model = 4;
  record.table_count = 3;
  const double strain[3] = {0.0, 0.1, 0.2}, stress[3] = {250e6, -1e12, 320e6};
  for (int i = 0; i < 3; ++i) {
    record.table_strain[i] = strain[i];
    record.table_stress[i] = stress[i];
  }
  record.calMaterialConstants();
  Element owner[kLaneWidth];
  double d[kLaneWidth][6] = {};
  for (int l = 0; l < kLaneWidth; ++l) {
    owner[l].id = 20 + l;
    if (l % 2 == 1) {  // a stretch past yield in every other lane
      d[l][0] = 0.01;
      d[l][1] = -0.005;
    }
  }
  const auto run = [&](bool inLanes, int& count, int& element) {
    LanePoints<ElasticPlasticMaterial> points(record);
    GaussPoint* gp[kLaneWidth];
    LaneDouble dl[6] = {}, sl[6] = {};
    for (int l = 0; l < kLaneWidth; ++l) {
      owner[l].ownPoint(points.points[l].gp);
      points.points[l].gp.elementType_ = ET_BT_SHELL;
      gp[l] = &points.points[l].gp;
      laneIn<6>(d[l], l, dl);
    }
    clearReturnMapFailures();
    if (inLanes) {
      plane_stress_lanes::update(points.model.get(), gp, dl, sl, 1e-6);
    } else {
      for (int l = 0; l < kLaneWidth; ++l) {
        double s[6] = {};
        points.model->computeStressMatrixPlaneStress(gp[l], s, d[l], nullptr, 1e-6);
      }
    }
    count = returnMapFailures().count;
    element = returnMapFailures().element;
    clearReturnMapFailures();
  };
  int oneCount = 0, oneElement = 0, laneCount = 0, laneElement = 0;
  run(false, oneCount, oneElement);
  run(true, laneCount, laneElement);
  EXPECT_GT(oneCount, 0);
  EXPECT_EQ(oneElement, 21);
  EXPECT_EQ(laneCount, oneCount);
  EXPECT_EQ(laneElement, oneElement);
  for (double* row : d) {  // every lane past yield
    row[0] = 0.01;
    row[1] = -0.005;
  }
  run(false, oneCount, oneElement);
  run(true, laneCount, laneElement);
  EXPECT_EQ(oneElement, 20);
  EXPECT_EQ(laneCount, oneCount);
  EXPECT_EQ(laneElement, oneElement);
  for (double* row : d) row[0] = row[1] = 0.0;  // every lane elastic: nothing to report
  run(true, laneCount, laneElement);
  EXPECT_EQ(laneCount, 0);
}

}  // namespace
