// Resultant beams, trusses and springs driven through the time loop,
// checked against beam and bar theory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "tests/elements/lineElementRun.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Card fields of 10 characters.
std::string f10(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%10.4g", v);
  return buf;
}
std::string i10(int v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%10d", v);
  return buf;
}
std::string i8(int v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%8d", v);
  return buf;
}

// A straight line of n beams along x from the origin, nodes 1..n+1, part 1.
std::string beamLine(int n, double L) {
  std::ostringstream d;
  d << "*NODE\n";
  for (int i = 0; i <= n; ++i) d << i + 1 << " " << L * i / n << " 0 0\n";
  d << "*ELEMENT_BEAM\n";
  for (int i = 0; i < n; ++i) d << i8(i + 1) << i8(1) << i8(i + 1) << i8(i + 2) << i8(0) << "\n";
  return d.str();
}

std::string partAndElastic(double rho, double E, double nu) {
  return "*PART\nbeams\n" + i10(1) + i10(1) + i10(1) + "\n*MAT_ELASTIC\n" + i10(1) + f10(rho) + f10(E) +
         f10(nu) + "\n";
}

// Resultant beam section (formulation 2): A, Iyy, Izz, J, As.
std::string resultantSection(double A, double Iyy, double Izz, double J, double As) {
  return "*SECTION_BEAM\n" + i10(1) + i10(2) + "\n" + f10(A) + f10(Iyy) + f10(Izz) + f10(J) + f10(As) + "\n";
}

}  // namespace

// Cantilever of 20 steel beams, 1 m, 10 x 10 mm, started in a shape close to
// its first mode: the tip swings at 8.355 Hz.
TEST(BeamDynamics, CantileverFirstBendingFrequency) {
  const int n = 20;
  const double L = 1.0, a = 0.01;
  std::ostringstream deck;
  deck << "*KEYWORD\n*CONTROL_TERMINATION\n" << f10(0.40) << "\n" << beamLine(n, L)
       << partAndElastic(7850.0, 2.1e11, 0.3)
       << resultantSection(a * a, a * a * a * a / 12.0, a * a * a * a / 12.0, 0.0, 0.0) << "*INITIAL_VELOCITY_NODE\n";
  for (int i = 1; i <= n; ++i) {
    const double x = L * i / n;
    const double shape = x * x * (3.0 * L - x) / (2.0 * L * L * L);
    deck << i10(i + 1) << f10(0.0) << f10(0.0) << f10(0.1 * shape) << "\n";
  }
  deck << "*END\n";
  linerun::RunOptions options;
  options.traced = {n + 1};
  options.clamped = {1};
  const linerun::Trace trace = linerun::runDeck("cantilever", deck.str(), options);
  ASSERT_GT(trace.time.size(), 100u);
  std::vector<double> w;
  for (const auto& s : trace.nodes) w.push_back(s[0].total_disp[2]);
  const std::vector<double> up = linerun::upwardCrossings(trace.time, w);
  ASSERT_GE(up.size(), 3u);
  const double period = (up.back() - up.front()) / static_cast<double>(up.size() - 1);
  EXPECT_NEAR(1.0 / period, 8.355, 0.01 * 8.355);
}
