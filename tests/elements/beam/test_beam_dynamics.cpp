// Resultant beams, trusses and springs driven through the time loop,
// checked against beam and bar theory.
#include "tests/deviceTest.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "tests/elements/common/lineElementRun.h"

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
  return "*PART\nbeams\n" + i10(1) + i10(1) + i10(1) + "\n*MAT_ELASTIC\n" + i10(1) + f10(rho) + f10(E) + f10(nu) + "\n";
}

// Resultant beam section (formulation 2): A, Iyy, Izz, J, As.
std::string resultantSection(double A, double Iyy, double Izz, double J, double As) {
  return "*SECTION_BEAM\n" + i10(1) + i10(2) + "\n" + f10(A) + f10(Iyy) + f10(Izz) + f10(J) + f10(As) + "\n";
}

// All six degrees of freedom of a node held fixed.
std::string clampNode(int node) { return "*BOUNDARY_SPC_NODE\n" + std::to_string(node) + ",0,1,1,1,1,1,1\n"; }

// Mean of v over the samples with t in [t0, t1].
double meanOver(const std::vector<double>& t, const std::vector<double>& v, double t0, double t1) {
  double sum = 0.0;
  int n = 0;
  for (size_t i = 0; i < t.size(); ++i)
    if (t[i] >= t0 && t[i] <= t1) {
      sum += v[i];
      ++n;
    }
  return n > 0 ? sum / n : 0.0;
}

}  // namespace

// Cantilever of 20 steel beams, 1 m, 10 x 10 mm, clamped at its root and
// started in a shape close to its first mode: the tip swings at 8.355 Hz.
DEVICE_TEST(BeamDynamics, CantileverFirstBendingFrequency) {
  const int n = 20;
  const double L = 1.0, a = 0.01;
  std::ostringstream deck;
  deck << "*KEYWORD\n*CONTROL_TERMINATION\n"
       << f10(0.40) << "\n"
       << beamLine(n, L) << partAndElastic(7850.0, 2.1e11, 0.3)
       << resultantSection(a * a, a * a * a * a / 12.0, a * a * a * a / 12.0, 0.0, 0.0) << clampNode(1)
       << "*INITIAL_VELOCITY_NODE\n";
  for (int i = 1; i <= n; ++i) {
    const double x = L * i / n;
    const double shape = x * x * (3.0 * L - x) / (2.0 * L * L * L);
    deck << i10(i + 1) << f10(0.0) << f10(0.0) << f10(0.1 * shape) << "\n";
  }
  deck << "*END\n";
  linerun::RunOptions options;
  options.traced = {n + 1};
  const linerun::Trace trace = linerun::runDeck("cantilever", deck.str(), options);
  ASSERT_GT(trace.time.size(), 100u);
  std::vector<double> w;
  for (const auto& s : trace.nodes) w.push_back(s[0].total_disp[2]);
  const std::vector<double> up = linerun::upwardCrossings(trace.time, w);
  ASSERT_GE(up.size(), 3u);
  const double period = (up.back() - up.front()) / static_cast<double>(up.size() - 1);
  EXPECT_NEAR(1.0 / period, 8.355, 0.01 * 8.355);
}

namespace {

// The first time after which v changes sign downward, with each velocity
// sample taken at the middle of its step.
double firstDownwardCrossing(const std::vector<double>& t, const std::vector<double>& v) {
  for (size_t i = 2; i < v.size(); ++i) {
    if (v[i - 1] > 0.0 && v[i] <= 0.0) {
      const double t0 = 0.5 * (t[i - 2] + t[i - 1]), t1 = 0.5 * (t[i - 1] + t[i]);
      return t0 + (t1 - t0) * v[i - 1] / (v[i - 1] - v[i]);
    }
  }
  return -1.0;
}

}  // namespace

// A chain of 200 steel trusses whose halves are thrown apart: the tension
// wave from the middle reaches the free end at L / (2c) and turns it back.
DEVICE_TEST(BeamDynamics, TrussChainCarriesTheBarWave) {
  const int n = 200;
  const double L = 1.0, v = 1.0;
  std::ostringstream deck;
  deck << "*KEYWORD\n*CONTROL_TERMINATION\n"
       << f10(1.5e-4) << "\n"
       << beamLine(n, L) << partAndElastic(7850.0, 2.1e11, 0.3) << "*SECTION_BEAM\n"
       << i10(1) << i10(3) << "\n"
       << f10(1e-4) << "\n"
       << "*INITIAL_VELOCITY_NODE\n";
  for (int i = 0; i <= n; ++i) {
    const double x = L * i / n;
    if (x != 0.5 * L) deck << i10(i + 1) << f10(x < 0.5 * L ? -v : v) << f10(0.0) << f10(0.0) << "\n";
  }
  deck << "*END\n";
  linerun::RunOptions options;
  options.traced = {n + 1};
  const linerun::Trace trace = linerun::runDeck("truss_wave", deck.str(), options);
  std::vector<double> u;
  for (const auto& s : trace.nodes) u.push_back(s[0].vel[0]);
  const double c = std::sqrt(2.1e11 / 7850.0);
  EXPECT_NEAR(firstDownwardCrossing(trace.time, u), L / (2.0 * c), 0.02 * L / (2.0 * c));
}

// One spring (linear discrete-beam material, k = 1000) holding a 1 kg mass
// on a fixed point oscillates at sqrt(k / m) / (2 pi).
DEVICE_TEST(BeamDynamics, MassOnASpringOscillatesAtItsNaturalFrequency) {
  const double k = 1000.0, rho = 1000.0, volume = 2e-3;  // element mass 2 kg, 1 kg per end
  std::ostringstream deck;
  deck << "*KEYWORD\n*CONTROL_TERMINATION\n"
       << f10(0.7) << "\n"
       << beamLine(1, 1.0) << "*PART\nspring\n"
       << i10(1) << i10(1) << i10(1) << "\n*SECTION_BEAM\n"
       << i10(1) << i10(6) << "\n"
       << f10(volume) << "\n"
       << "*MAT_LINEAR_ELASTIC_DISCRETE_BEAM\n"
       << i10(1) << f10(rho) << f10(k) << "\n*INITIAL_VELOCITY_NODE\n"
       << i10(2) << f10(0.1) << "\n"
       << clampNode(1) << "*END\n";
  // Both loops: the host loop takes its first step from the spring too.
  for (bool host : {false, true}) {
    SCOPED_TRACE(host ? "host loop" : "GPU loop");
    linerun::RunOptions options;
    options.traced = {2};
    options.hostLoop = host;
    const linerun::Trace trace = linerun::runDeck(host ? "spring_host" : "spring_gpu", deck.str(), options);
    std::vector<double> x;
    for (const auto& s : trace.nodes) x.push_back(s[0].total_disp[0]);
    const std::vector<double> up = linerun::upwardCrossings(trace.time, x);
    ASSERT_GE(up.size(), 3u);
    const double f = (up.size() - 1) / (up.back() - up.front());
    EXPECT_NEAR(f, std::sqrt(k / (rho * volume / 2.0)) / (2.0 * kPi), 0.01 * f);
  }
}

// A single tube beam (formulation 1) whose ends are thrown apart: on the
// GPU loop and on the host loop alike the ends swing back as two masses on
// the spring E A / L, v(t) = v cos(omega t) with omega^2 = 2 k / m.
DEVICE_TEST(BeamDynamics, TubeBeamCarriesForceOnBothLoops) {
  const double dOut = 0.02, rho = 7850.0, E = 2.1e11, L = 1.0, v = 1.0;
  std::ostringstream deck;
  // A small safety factor keeps omega dt near 0.2, so the discrete period
  // is that of the continuous system to a fraction of a percent.
  deck << "*KEYWORD\n*CONTROL_TERMINATION\n"
       << f10(4e-4) << "\n*CONTROL_TIMESTEP\n"
       << f10(0.0) << f10(0.1) << "\n"
       << beamLine(1, L) << partAndElastic(rho, E, 0.3) << "*SECTION_BEAM\n"
       << i10(1) << i10(1) << f10(0.0) << f10(0.0) << f10(1.0) << "\n"
       << f10(dOut) << f10(dOut) << "\n*INITIAL_VELOCITY_NODE\n"
       << i10(1) << f10(-v) << "\n"
       << i10(2) << f10(v) << "\n*END\n";
  const double A = dOut * dOut * 3.1415926 / 4.0;
  const double omega = std::sqrt(2.0 * (E * A / L) / (rho * A * L / 2.0));
  for (bool host : {false, true}) {
    SCOPED_TRACE(host ? "host loop" : "GPU loop");
    linerun::RunOptions options;
    options.traced = {2};
    options.hostLoop = host;
    const linerun::Trace trace = linerun::runDeck(host ? "tube_host" : "tube_gpu", deck.str(), options);
    ASSERT_GT(trace.time.size(), 10u);
    // Both loops record after the velocity update (v at the middle of the
    // coming step); the host loop records its last state once more.
    const size_t last = trace.time.size() - (host ? 3 : 2);
    const double tMid = 0.5 * (trace.time[last] + trace.time[last + 1]);
    const double expected = v * std::cos(omega * tMid);
    EXPECT_NEAR(trace.nodes[last][0].vel[0], expected, 0.02 * v);
    EXPECT_LT(trace.nodes[last][0].vel[0], 0.9 * v);
  }
}

// The cantilever of a 20 x 10 mm rectangle under tip loads in y and in z,
// raised over ten periods of the slower mode and then held: averaged over
// whole periods the tip stands at P L^3 / (3 E I) in each plane, with Izz
// against the load along y and Iyy against the load along z. One row per
// way of writing the section: a resultant beam given its constants, and an
// integrated beam of the rectangle TS1 x TT1 (CST blank) whose constants
// the program computes.
DEVICE_TEST(BeamDynamics, CantileverTipDeflectionInEachPlane) {
  const double L = 1.0, b = 0.02, h = 0.01, E = 2.1e11;
  const double Iyy = b * h * h * h / 12.0, Izz = h * b * b * b / 12.0;
  const struct {
    const char* name;
    int n;
    std::string section;
  } rows[] = {{"cantilever_resultant", 20, resultantSection(b * h, Iyy, Izz, 0.0, b * h * 5.0 / 6.0)},
              {"cantilever_rectangle", 10, "*SECTION_BEAM\n" + i10(1) + "\n" + f10(b) + f10(b) + f10(h) + "\n"}};
  const double Pz = 3.0 * E * Iyy * 1e-3 / (L * L * L), Py = 3.0 * E * Izz * 1e-3 / (L * L * L);  // 1 mm each
  const double ramp = 10.0 / 8.34, hold = 3.0 / 8.34;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::ostringstream deck;
    deck << "*KEYWORD\n*CONTROL_TERMINATION\n"
         << f10(ramp + hold) << "\n"
         << beamLine(row.n, L) << partAndElastic(7850.0, E, 0.3) << row.section << clampNode(1) << "*SET_NODE_LIST\n"
         << i10(1) << "\n"
         << i10(row.n + 1) << "\n*DEFINE_CURVE\n"
         << i10(1) << "\n0,0\n"
         << ramp << ",1\n100,1\n*LOAD_NODE_SET\n1 2 1 " << Py << "\n1 3 1 " << Pz << "\n*END\n";
    linerun::RunOptions options;
    options.traced = {row.n + 1};
    options.every = 10;
    const linerun::Trace trace = linerun::runDeck(row.name, deck.str(), options);
    std::vector<double> v, w;
    for (const auto& state : trace.nodes) {
      v.push_back(state[0].total_disp[1]);
      w.push_back(state[0].total_disp[2]);
    }
    EXPECT_NEAR(meanOver(trace.time, v, ramp, ramp + hold), 1e-3, 1e-5);
    EXPECT_NEAR(meanOver(trace.time, w, ramp, ramp + hold), 1e-3, 1e-5);
  }
}

// A discrete element carries no force in this version, whatever its
// material (a linear spring of stiffness 1e5 here): a deck with one is
// refused, naming its part, while the truss beside it runs alone.
DEVICE_TEST(BeamDynamics, DiscreteElementDeckWithoutAForceLawIsRefused) {
  const std::string base = "*KEYWORD\n*CONTROL_TERMINATION\n2e-3\n" + beamLine(1, 1.0) +
                           partAndElastic(7850.0, 2.1e11, 0.3) + "*SECTION_BEAM\n1,3\n1e-4\n" +
                           "*INITIAL_VELOCITY_NODE\n2,1,0,0\n";
  const std::string discrete =
      "*ELEMENT_DISCRETE\n2,2,1,2\n*PART\nlink\n2,2,2\n*SECTION_DISCRETE\n2\n0\n"
      "*MAT_LINEAR_ELASTIC_DISCRETE_BEAM\n2,1000,1e5\n";
  linerun::RunOptions options;
  options.traced = {2};
  const linerun::Trace alone = linerun::runDeck("truss_alone", base + "*END\n", options);
  std::string messages;
  EXPECT_NE(linerun::setUpDeck("truss_and_discrete", base + discrete + "*END\n", &messages), 1);
  EXPECT_NE(messages.find("part 2 (link): its discrete elements (*ELEMENT_DISCRETE) would carry no force"),
            std::string::npos)
      << messages;
  ASSERT_GT(alone.time.size(), 5u);
  EXPECT_NE(alone.nodes.back()[0].vel[0], 1.0);  // the truss acted
}
