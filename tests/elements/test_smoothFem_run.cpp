// A cantilever of tetrahedra swinging in its first bending mode through the
// GPU loop: smoothed-FEM domains against beam theory and against the
// constant-strain tetrahedron.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "core/section.h"
#include "core/sectionmanager.h"
#include "solver/femdynamic.h"
#include "tests/elements/lineElementRun.h"

namespace {

// Beam of 10 x 1 x 1 along x, 16 x 4 x 4 cells of six tetrahedra each,
// clamped at x = 0, started with the static deflection shape as velocity
// in z.  Returns the first bending frequency found from the tip's swings.
double cantileverFrequency(const std::string& name, int kind, double* endTime) {
  const int nx = 16, ny = 4, nz = 4;
  const double L = 10.0;
  auto id = [&](int i, int j, int k) { return 1 + i + (nx + 1) * (j + (ny + 1) * k); };
  std::ostringstream d;
  d << "*KEYWORD\n*CONTROL_TERMINATION\n" << *endTime << "\n*NODE\n";
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) d << id(i, j, k) << " " << L * i / nx << " " << 1.0 * j / ny << " " << 1.0 * k / nz << "\n";
  d << "*ELEMENT_SOLID\n";
  static constexpr int axes[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  int e = 0;
  for (int k = 0; k < nz; ++k)
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i)
        for (const auto& ax : axes) {
          int c[3] = {i, j, k};
          d << ++e << " 1 " << id(c[0], c[1], c[2]);
          for (int m = 0; m < 3; ++m) {
            ++c[ax[m]];
            d << " " << id(c[0], c[1], c[2]);
          }
          const int last = id(c[0], c[1], c[2]);
          for (int m = 0; m < 4; ++m) d << " " << last;
          d << "\n";
        }
  d << "*PART\nbeam\n1,1,1\n*SECTION_SOLID\n1,10\n*MAT_ELASTIC\n1,1.0,1.0e5,0.0\n";
  d << "*BOUNDARY_SPC_NODE\n";
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j) d << id(0, j, k) << ",0,1,1,1,1,1,1\n";
  d << "*INITIAL_VELOCITY_NODE\n";
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 1; i <= nx; ++i) {
        const double x = L * i / nx;
        d << id(i, j, k) << ",0,0," << 0.01 * x * x * (3.0 * L - x) / (2.0 * L * L * L) << "\n";
      }
  d << "*END\n";
  linerun::RunOptions options;
  options.traced = {id(nx, 1, 1)};
  options.every = 10;
  options.afterRead = [kind](FEMDynamic* fem) {
    for (Section& s : fem->sectionManager->section_array) s.sfem_kind = kind;
  };
  const linerun::Trace trace = linerun::runDeck(name, d.str(), options);
  std::vector<double> w;
  for (const auto& s : trace.nodes) w.push_back(s[0].total_disp[2]);
  const std::vector<double> up = linerun::upwardCrossings(trace.time, w);
  *endTime = trace.time.empty() ? 0.0 : trace.time.back();
  if (up.size() < 2) return 0.0;
  return static_cast<double>(up.size() - 1) / (up.back() - up.front());
}

}  // namespace

// First bending frequency of the clamped beam (E 1e5, rho 1, 1 x 1 cross
// section, length 10, Poisson 0): 1.8751^2 sqrt(E I / (rho A L^4)) / (2 pi).
// The frequency squared measures the beam's bending stiffness.
TEST(SmoothFemRun, CantileverBendingAgainstBeamTheory) {
  const double fBeam = 1.8751 * 1.8751 * std::sqrt(1.0e5 / 12.0 / 1.0e4) / (2.0 * M_PI);
  double ratio[5] = {};
  for (int kind : {0, 1, 3}) {
    double endTime = 2.2 / fBeam;
    const double f = cantileverFrequency("sfem_cantilever_" + std::to_string(kind), kind, &endTime);
    ratio[kind] = f / fBeam;
    std::printf("cantilever kind %d: f = %.5f (beam theory %.5f), stiffness ratio %.3f\n", kind, f, fBeam,
                ratio[kind] * ratio[kind]);
  }
  // Edge-based domains: within 5 % of beam theory (about +1 % on this mesh);
  // node-based ones err on the soft side (about -6 %), the constant-strain
  // tetrahedron is far stiffer (about +29 %).
  EXPECT_NEAR(ratio[1], 1.0, 0.05);
  EXPECT_NEAR(ratio[3], 0.95, 0.03);
  EXPECT_LT(ratio[3], ratio[1]);
  EXPECT_GT(ratio[0], 1.2);
}
