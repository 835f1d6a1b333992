#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "materials/elasticplastic.h"
#include "materials/radialReturn.h"
#include "materials/returnMapFailure.h"
#include "elements/common/element.h"
#include "materialTestHelpers.h"
#include "tests/solver/motionDeck.h"

namespace {

Material bilinearSteel(double Et) {
  Material m = makeSteelRecord(4);
  m.tangent_modulus = Et;
  m.calMaterialConstants();
  return m;
}

Material tabulatedSteel() {
  Material m = makeSteelRecord(4);
  m.plastic_model = 4;
  m.table_count = 3;
  const double strain[3] = {0.0, 0.1, 0.2}, stress[3] = {250e6, 300e6, 320e6};
  for (int i = 0; i < 3; ++i) {
    m.table_strain[i] = strain[i];
    m.table_stress[i] = stress[i];
  }
  m.calMaterialConstants();
  return m;
}

// Uniaxial stress through the 3-D update or the plane-stress one: each step
// stretches x by de and finds the lateral strain rate that leaves the
// lateral stresses free.  Returns the stress along x.
template <typename Status>
double uniaxialStress(const ElasticPlasticMaterial& model, PointWithState<Status>& p, double de, int steps,
                      bool planeStress = false) {
  double S[3][3] = {};
  for (int n = 0; n < steps; ++n) {
    const Status saved = p.status;
    auto lateralStress = [&](double dl) {
      p.status = saved;
      if (planeStress) {
        double d[6] = {de, dl, 0, 0, 0, 0}, out[6];
        model.computeStressMatrixPlaneStress(&p.gp, out, d, nullptr, 1.0);
        S[0][0] = out[0];
        return out[1];
      }
      double L[3][3] = {{de, 0, 0}, {0, dl, 0}, {0, 0, dl}};
      model.computeStressMatrix3D(&p.gp, L, S, 1.0);
      return S[1][1];
    };
    double x0 = -0.3 * de, x1 = -0.5 * de;
    double f0 = lateralStress(x0), f1 = lateralStress(x1);
    for (int it = 0; it < 30 && std::fabs(f1) > 1e-3; ++it) {
      const double x2 = x1 - f1 * (x1 - x0) / (f1 - f0);
      x0 = x1;
      f0 = f1;
      x1 = x2;
      f1 = lateralStress(x1);
    }
  }
  return S[0][0];
}

}  // namespace

TEST(ElasticPlastic, RadialReturnLandsOnTheYieldSurface) {
  const Material record = bilinearSteel(0.0);  // H = 0: perfect plasticity
  const ElasticPlasticMaterial model(&record);
  PlasticMaterialStatus status(250e6);
  const double T[3][3] = {{500e6, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  double R[3][3];
  model.radialReturnAlgorith(T, &status, R);
  // The return uses sqrt(2/3) to eight digits: the surface is met to 1e-7.
  EXPECT_NEAR(vonMises(R), 250e6, 250e6 * 1e-7);
  EXPECT_NEAR(R[0][0] + R[1][1] + R[2][2], 500e6, 1e-6);  // pressure unchanged
  // One iteration: dgamma = f / 2G.
  const double norm = std::sqrt(2.0 / 3.0) * 500e6;
  const double dgamma = (norm - radial_return::kSqrtTwoThirds * 250e6) / (2.0 * model.G);
  EXPECT_NEAR(status.eps_p, radial_return::kSqrtTwoThirds * dgamma, 1e-15);
  EXPECT_EQ(status.k, 250e6);
}

TEST(ElasticPlastic, TrialOnTheSurfaceIsElastic) {
  const Material record = bilinearSteel(2e9);
  const ElasticPlasticMaterial model(&record);
  PlasticMaterialStatus status(250e6);
  const double T[3][3] = {{250e6, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  double R[3][3];
  model.radialReturnAlgorith(T, &status, R);
  EXPECT_EQ(R[0][0], 250e6);
  EXPECT_EQ(status.eps_p, 0.0);
}

// A uniaxial cycle of linear hardening (E 200 GPa, yield 250 MPa, Et 2 GPa)
// to a strain of 0.01 and back to -0.01, for each mix beta of the
// hardening, through the 3-D and the plane-stress update.  The surface's
// radius grows with beta H eps_p and its centre with (1 - beta) H eps_p, so
// that the reversed bar yields again at sigma_now - 2 (sigma_y + beta H
// eps_p): at sigma_now - 2 sigma_y when it moves (beta 0, Bauschinger), at
// -sigma_now when it widens (beta 1); then the curve goes on with Et.
TEST(ElasticPlastic, UniaxialCycleFollowsTheBilinearCurveOfEachHardeningMix) {
  for (const double beta : {0.0, 0.5, 1.0})
    for (const bool planeStress : {false, true}) {
      SCOPED_TRACE(std::string(planeStress ? "plane stress" : "3-D") + ", beta " + std::to_string(beta));
      Material record = bilinearSteel(2e9);
      record.hardening_parameter = beta;
      const ElasticPlasticMaterial model(&record);
      EXPECT_EQ(model.kinematic(), beta < 1.0);
      PointWithState<KinematicPlasticMaterialStatus> p;
      p.status = KinematicPlasticMaterialStatus(record.yield_stress);
      const double E = 200e9, Et = 2e9, sy = 250e6, H = record.hardening_modulus;
      const double s1 = uniaxialStress(model, p, 1e-5, 500, planeStress);   // eps = 0.005
      const double now = uniaxialStress(model, p, 1e-5, 500, planeStress);  // eps = 0.01
      EXPECT_NEAR(s1, sy + Et * (0.005 - sy / E), 0.001 * s1);
      EXPECT_NEAR(now, 267.5e6, 0.001 * 267.5e6);
      const double epsP = p.status.eps_p;
      EXPECT_NEAR(p.status.k, sy + beta * H * epsP, 1e-6 * sy);
      // Back: the last stress before the plastic strain grows again.
      const double de = -2e-6;
      double elastic = now, strain = 0.01;
      for (double s = now; p.status.eps_p == epsP && strain > -0.01; strain += de) {
        elastic = s;
        s = uniaxialStress(model, p, de, 1, planeStress);
      }
      const double reverse = now - 2.0 * (sy + beta * H * epsP);
      EXPECT_NEAR(elastic, reverse, 1e-3 * sy - E * de);
      const double rest =
          uniaxialStress(model, p, de, static_cast<int>(std::lround((strain + 0.01) / -de)), planeStress);
      const double reverseStrain = 0.01 - (now - reverse) / E;
      EXPECT_NEAR(rest, reverse + Et * (-0.01 - reverseStrain), 2e-3 * sy);
    }
}

TEST(ElasticPlastic, TableIsFlatBeyondItsLastPoint) {
  const Material record = tabulatedSteel();
  const ElasticPlasticMaterial model(&record);
  double k = -1.0, h = -1.0;
  model.evlK(0.05, k);
  model.evlKPrime(0.05, h);
  EXPECT_DOUBLE_EQ(k, 275e6);
  EXPECT_DOUBLE_EQ(h, 500e6);
  model.evlK(0.5, k);
  model.evlKPrime(0.5, h);
  EXPECT_EQ(k, 320e6);
  EXPECT_EQ(h, 0.0);
  // A table that starts beyond zero plastic strain: below its first point
  // the flow stress keeps the value it had.
  Material late = tabulatedSteel();
  late.table_strain[0] = 0.02;
  const ElasticPlasticMaterial lateModel(&late);
  k = 260e6;
  lateModel.evlK(0.01, k);
  EXPECT_EQ(k, 260e6);
  // A return far beyond the table stops at the last flow stress.
  PlasticMaterialStatus status(250e6);
  const double T[3][3] = {{60e9, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  double R[3][3];
  model.radialReturnAlgorith(T, &status, R);
  EXPECT_GT(status.eps_p, 0.2);
  EXPECT_NEAR(vonMises(R), 320e6, 320e6 * 1e-7);
}

TEST(ElasticPlastic, HardeningLawsAndTheirMessages) {
  Material record = bilinearSteel(2e9);
  record.plastic_model = 1;
  record.hardening_modulus = 400e6;
  ElasticPlasticMaterial sat(&record);
  double k = 0.0, h = 0.0;
  sat.evlK(0.0, k);
  EXPECT_DOUBLE_EQ(k, 250e6);
  sat.evlKPrime(0.0, h);
  EXPECT_DOUBLE_EQ(h, 16.93 * 150e6 + 1.2924e8);
  testing::internal::CaptureStdout();
  k = 7.0;
  sat.evlK(-1.0, k);
  sat.plasticModel_ = 9;
  sat.evlKPrime(0.1, h);
  fflush(stdout);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(k, 7.0);
  EXPECT_NE(out.find("pstn <=0"), std::string::npos);
  EXPECT_NE(out.find("unknown value of plasticModel_=9"), std::string::npos);

  record.plastic_model = 2;
  record.power_law_k = 500e6;
  record.power_law_n = 0.5;
  record.power_law_eps0 = 0.01;
  const ElasticPlasticMaterial power(&record);
  power.evlK(0.03, k);
  power.evlKPrime(0.03, h);
  EXPECT_DOUBLE_EQ(k, 500e6 * std::sqrt(0.04));
  EXPECT_DOUBLE_EQ(h, 0.5 * 500e6 / std::sqrt(0.04));

  record.plastic_model = 3;
  const ElasticPlasticMaterial model3(&record);
  model3.evlKPrime(0.0, h);
  EXPECT_EQ(h, 0.0);
  model3.evlK(0.1, k);
  model3.evlKPrime(0.1, h);
  EXPECT_DOUBLE_EQ(k, 250e6 * std::pow(0.1, 0.183));
  EXPECT_NEAR(h, 0.183 * k / 0.1, 1e-6 * h);
}

TEST(ElasticPlastic, ZeroYieldAndZeroDeviatorStayFinite) {
  Material record = bilinearSteel(2e9);
  record.yield_stress = 0.0;
  record.calMaterialConstants();
  const ElasticPlasticMaterial model(&record);
  PlasticMaterialStatus status(0.0);
  const double hydro[3][3] = {{100e6, 0, 0}, {0, 100e6, 0}, {0, 0, 100e6}};
  double R[3][3];
  model.radialReturnAlgorith(hydro, &status, R);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(R[i][i], 100e6);
  EXPECT_EQ(status.eps_p, 0.0);

  const double uni[3][3] = {{100e6, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  model.radialReturnAlgorith(uni, &status, R);
  for (auto& row : R)
    for (double v : row) EXPECT_TRUE(std::isfinite(v));
  EXPECT_TRUE(std::isfinite(status.eps_p));
  EXPECT_GT(status.eps_p, 0.0);
  EXPECT_NEAR(vonMises(R), status.k, 1e-6 * status.k);
}

TEST(ElasticPlastic, PlaneStressKeepsZzZeroAndTransverseShearElastic) {
  const Material record = bilinearSteel(2e9);
  const ElasticPlasticMaterial model(&record);
  PointWithState<PlasticMaterialStatus> p;
  p.status = PlasticMaterialStatus(record.yield_stress);
  double stress[6];
  double d[6] = {5e-3, 0, 0, 0, 1e-2, 2e-2};
  model.computeStressMatrixPlaneStress(&p.gp, stress, d, nullptr, 1e-6);
  EXPECT_EQ(stress[2], 0.0);
  EXPECT_EQ(p.status.stress[2], 0.0);
  EXPECT_GT(p.status.eps_p, 0.0);
  EXPECT_DOUBLE_EQ(stress[4], record.shear_modulus * 1e-2);
  EXPECT_DOUBLE_EQ(stress[5], record.shear_modulus * 2e-2);
  EXPECT_LT(stress[0], 200e9 / 0.91 * 5e-3);
  EXPECT_DOUBLE_EQ(p.status.strain[5], 2e-2);
}

// A plastic plane-stress step ends on the yield surface of the in-plane
// stress (zz = 0), whatever the in-plane strain path; repeated steps keep it
// there as the flow stress hardens.
TEST(ElasticPlastic, PlaneStressReturnEndsOnTheYieldSurface) {
  const Material record = bilinearSteel(2e9);
  const ElasticPlasticMaterial model(&record);
  PointWithState<PlasticMaterialStatus> p;
  p.status = PlasticMaterialStatus(record.yield_stress);
  double stress[6];
  for (int step = 0; step < 5; ++step) {
    double d[6] = {2e-3, -1.5e-3, 0, 1e-3, 0, 0};
    model.computeStressMatrixPlaneStress(&p.gp, stress, d, nullptr, 1e-6);
    const double S[3][3] = {{stress[0], stress[3], 0}, {stress[3], stress[1], 0}, {0, 0, 0}};
    EXPECT_NEAR(vonMises(S), p.status.k, 1e-6 * p.status.k) << "step " << step;  // the return's tolerance
  }
  EXPECT_GT(p.status.k, record.yield_stress);
}

TEST(ElasticPlastic, TangentCondensesToTheTangentModulus) {
  const Material record = bilinearSteel(2e9);
  const ElasticPlasticMaterial model(&record);
  PointWithState<PlasticMaterialStatus> p;
  p.status = PlasticMaterialStatus(record.yield_stress);
  double C[6][6];
  model.reverseConstitutiveMatrix(&p.gp, C);  // no stress: elastic
  EXPECT_NEAR(C[0][0], record.elastic_matrix[0][0], 1e-3);
  p.status.stress[0] = 250e6;
  model.reverseConstitutiveMatrix(&p.gp, C);
  const double x = -C[1][0] / (C[1][1] + C[1][2]);
  const double Et = C[0][0] + 2.0 * C[0][1] * x;
  EXPECT_NEAR(Et, 2e9, 2e9 * 1e-9);
}

// Yield at 250 MPa, a plateau to a plastic strain of 0.001, a rise to
// 500 MPa over 1e-6 and a plateau again: a stretch whose plastic strain
// ends on the steep rise.  Newton steps alone jumped across the rise from
// one plateau to the other and never converged ("jIter exceed limit" for
// every yielding point and cycle); the bracketed return lands on the
// surface with the flow stress of the rise.
TEST(ElasticPlastic, ReturnOnASteepStretchOfATableConverges) {
  Material m = makeSteepTableRecord(4);
  const ElasticPlasticMaterial model(&m);
  // A deviatoric trial whose return at 250 MPa would carry eps_p to 0.002.
  const double G = model.G;
  const double norm = radial_return::kSqrtTwoThirds * 250e6 + 2.0 * G * 0.002 / radial_return::kSqrtTwoThirds;
  const double a = norm / std::sqrt(2.0);
  const double T[3][3] = {{a, 0, 0}, {0, -a, 0}, {0, 0, 0}};
  PlasticMaterialStatus status(250e6);
  double R[3][3];
  EXPECT_TRUE(model.radialReturnAlgorith(T, &status, R));
  EXPECT_GT(status.k, 250e6);
  EXPECT_LT(status.k, 500e6);
  EXPECT_NEAR(status.eps_p, 0.001 + 1e-6 * (status.k - 250e6) / 250e6, 1e-12);
  EXPECT_NEAR(vonMises(R), status.k, 1e-6 * 250e6);
}

// A return mapping that cannot converge (a table that falls below zero
// stress, which the set-up refuses, built here directly) is counted rather
// than printed for each point: the run's report is one line with the count
// and the first element.
TEST(ElasticPlastic, DivergentReturnsAreReportedOnceWithTheirCountAndFirstElement) {
  Material record = tabulatedSteel();
  record.table_stress[1] = -1e12;
  const ElasticPlasticMaterial model(&record);
  Element owner;
  owner.id = 17;
  clearReturnMapFailures();
  testing::internal::CaptureStdout();
  for (int n = 0; n < 3; ++n) {
    PointWithState<PlasticMaterialStatus> p;
    p.status = PlasticMaterialStatus(record.yield_stress);
    owner.ownPoint(p.gp);
    p.gp.elementType_ = ET_HEXA_REDUCED;
    double L[3][3] = {{0.01, 0, 0}, {0, -0.005, 0}, {0, 0, -0.005}};
    double S[3][3];
    model.computeStressMatrix3D(&p.gp, L, S, 1.0);
  }
  printReturnMapFailures();
  const std::string printed = testing::internal::GetCapturedStdout();
  clearReturnMapFailures();
  EXPECT_EQ(printed,
            "jIter exceed limit. Divergent: the return mapping of the elastic-plastic model did not converge in 60 "
            "iterations at 3 point update(s), the first in element 17; those points kept the stress of their last "
            "iteration.\n");
}

// The hardening curve of a *MAT_PIECEWISE_LINEAR_PLASTICITY card, given as
// its stress-strain points (LCSS blank) or as the curve LCSS: a column of
// four hexahedra striking a rigid wall ends at one length either way; it
// ends shorter without hardening (ETAN 0) and longer on a steeper curve.
DEVICE_TEST(ElasticPlastic, PiecewiseCardPointsAreItsHardeningCurve) {
  motiondeck::Block column;
  column.nz = 4;
  column.h = 0.01;
  column.material = 2;
  std::vector<int> all(static_cast<size_t>(column.nodeCount()));
  for (size_t n = 0; n < all.size(); ++n) all[n] = static_cast<int>(n) + 1;
  const std::string impact = column.cards() + motiondeck::nodeSet(1, all) + "*INITIAL_VELOCITY\n" + card({"1"}) +
                             card({"0.0", "0.0", "-100.0"}) + "*RIGIDWALL_PLANAR\n" + card({"0"}) +
                             card({"0", "0", "0", "0", "0", "1"}) + motiondeck::termination(6.0e-5);
  // Card 1 (MID RO E PR SIGY), card 2 (C P LCSS), the strains and stresses.
  auto length = [&impact](const std::string& name, const std::string& sigy, const std::string& lcss,
                          const std::string& points) {
    const std::vector<deckcase::Sample> samples =
        motiondeck::run(name, impact + "*MAT_PIECEWISE_LINEAR_PLASTICITY\n" +
                                  card({"2", "7850", "2.0e11", "0.3", sigy}) + card({"", "", lcss}) + points);
    double low = 1e30, high = -1e30;
    for (const NodeCuda& n : samples.empty() ? std::vector<NodeCuda>{} : samples.back().nodes) {
      low = std::min(low, n.coord[2]);
      high = std::max(high, n.coord[2]);
    }
    return high - low;
  };
  const std::string strains = card({"0.0", "0.05", "0.5"});
  const double points = length("piecewise_points", "", "", strains + card({"3.0e8", "4.0e8", "6.0e8"}));
  const double curve = length("piecewise_curve", "", "7",
                              "*DEFINE_CURVE\n" + card({"7"}) + card({"0.0", "3.0e8"}, 20) +
                                  card({"0.05", "4.0e8"}, 20) + card({"0.5", "6.0e8"}, 20));
  const double perfect = length("piecewise_perfect", "3.0e8", "", "");
  const double steep = length("piecewise_steep", "", "", strains + card({"3.0e8", "8.0e8", "1.2e9"}));
  EXPECT_EQ(points, curve);
  EXPECT_LT(perfect, points - 1e-4);
  EXPECT_GT(steep, points + 1e-4);
  EXPECT_LT(points, 0.04 - 1e-3);  // it yields
}
