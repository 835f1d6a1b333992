// A cantilever of tetrahedra swinging in its first bending mode through the
// GPU loop: smoothed-FEM domains against beam theory and against the
// constant-strain tetrahedron.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "core/section.h"
#include "core/sectionmanager.h"
#include "input/inp/inpReader.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"
#include "tests/decks/deckCase.h"
#include "tests/elements/common/lineElementRun.h"

namespace fs = std::filesystem;

namespace {

// Beam of 10 x 1 x 1 along x, nx x ny x nz cells of six tetrahedra each,
// clamped at x = 0, E 1e5, rho 1, Poisson 0, started at rest in its
// straight shape with the static deflection shape of a tip load as
// velocity in z, so that it swings almost purely in its first bending
// mode.
struct Cantilever {
  int nx = 16, ny = 4, nz = 4;
  std::string deck(double endTime) const;
  int tip() const { return 1 + nx + (nx + 1) * (ny / 2 + (ny + 1) * (nz / 2)); }
};

std::string Cantilever::deck(double endTime) const {
  const double L = 10.0;
  auto id = [&](int i, int j, int k) { return 1 + i + (nx + 1) * (j + (ny + 1) * k); };
  std::ostringstream d;
  d << "*KEYWORD\n*CONTROL_TERMINATION\n" << endTime << "\n*NODE\n";
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i)
        d << id(i, j, k) << " " << L * i / nx << " " << 1.0 * j / ny << " " << 1.0 * k / nz << "\n";
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
  return d.str();
}

// First time after the start at which v crosses zero downward, by linear
// interpolation; 0 when it never does.
double firstDownwardCrossing(const std::vector<double>& t, const std::vector<double>& v) {
  for (size_t i = 1; i < v.size(); ++i)
    if (v[i - 1] > 0.0 && v[i] <= 0.0) return t[i - 1] + (t[i] - t[i - 1]) * v[i - 1] / (v[i - 1] - v[i]);
  return 0.0;
}

// The tip's first swing, for the section's smoothed-FEM kind: it rises
// from the straight shape and passes it again at half a period.  Returns
// the frequency from that half period (it agrees with the one from many
// periods to 0.03 %).
double cantileverFrequency(const Cantilever& beam, int kind, double endTime) {
  linerun::RunOptions options;
  options.traced = {beam.tip()};
  options.every = 10;
  options.afterRead = [kind](FEMDynamic* fem) {
    for (Section& s : fem->sectionManager->section_array) s.sfem_kind = kind;
  };
  const linerun::Trace trace = linerun::runDeck("sfem_cantilever_" + std::to_string(kind), beam.deck(endTime), options);
  std::vector<double> w;
  for (const auto& s : trace.nodes) w.push_back(s[0].total_disp[2]);
  const double half = firstDownwardCrossing(trace.time, w);
  return half > 0.0 ? 0.5 / half : 0.0;
}

// First bending frequency of the clamped beam (E 1e5, rho 1, 1 x 1 cross
// section, length 10, Poisson 0).  Euler-Bernoulli theory gives
// 1.8751^2 sqrt(E I / (rho A L^4)) / (2 pi) = 0.51083; shear deformation
// and rotary inertia (Timoshenko beam, shear factor 5/6) lower it by
// 0.65 % at this slenderness, to 0.50751, the reference here.  The
// frequency squared measures the beam's bending stiffness.
const double kBeamFrequency = 0.99351 * 1.8751 * 1.8751 * std::sqrt(1.0e5 / 12.0 / 1.0e4) / (2.0 * M_PI);

// The swing's frequency against beam theory, from a run of `periods` beam
// periods.
double cantileverRatio(const Cantilever& beam, int kind, double periods) {
  const double f = cantileverFrequency(beam, kind, periods / kBeamFrequency);
  std::printf("cantilever %d x %d x %d, kind %d: f = %.5f (beam theory %.5f), stiffness ratio %.3f\n", beam.nx, beam.ny,
              beam.nz, kind, f, kBeamFrequency, f * f / (kBeamFrequency * kBeamFrequency));
  return f / kBeamFrequency;
}

}  // namespace

// On this mesh (16 x 4 x 4 cells) the edge-based domains come out 1.9 %
// stiff, the node-based ones 5.2 % soft; the constant-strain tetrahedron is
// 30 % stiff.  The node-based error is the method's: its smoothed strain
// averages the tetrahedra around a node, which makes it softer than the
// exact solid, and on finer meshes it closes from below as the edge-based
// one closes from above (24 x 6 x 6: -2.5 %, +0.4 %, constant strain +14 %;
// 32 x 8 x 8: -1.5 %, +0.1 %, +8.4 %).
DEVICE_TEST(SmoothFemRun, CantileverBendingAgainstBeamTheory) {
  const Cantilever beam;
  double ratio[4] = {};
  for (int kind : {0, 1, 3}) {
    // Past half a period of a beam down to 0.77 (constant strain: 1.1)
    // times as stiff.
    ratio[kind] = cantileverRatio(beam, kind, kind == 0 ? 0.45 : 0.65);
  }
  EXPECT_NEAR(ratio[1], 1.0, 0.05);
  EXPECT_NEAR(ratio[3], 0.95, 0.03);
  EXPECT_LT(ratio[3], ratio[1]);
  EXPECT_GT(ratio[0], 1.2);
}

// Six-point records are stiffer than the part's tetrahedra, whose steps let
// them blow up within a few dozen cycles: the run takes the domains' own
// stable step.  On a coarse beam (8 x 2 x 2 cells) they then swing at a
// frequency between the node-based one (0.85 of beam theory) and the
// constant-strain one (1.91): 1.35 (16 x 4 x 4: 1.064, 24 x 6 x 6: 1.023).
DEVICE_TEST(SmoothFemRun, SixPointCantileverTakesTheDomainsStableStep) {
  Cantilever beam;
  beam.nx = 8;
  beam.ny = beam.nz = 2;
  const double nodeBased = cantileverRatio(beam, 3, 0.7);
  const double sixPoint = cantileverRatio(beam, 4, 0.7);
  EXPECT_NEAR(nodeBased, 0.85, 0.02);
  EXPECT_NEAR(sixPoint, 1.35, 0.05);
}

namespace {

// The bar of tests/decks/sfem_wave (length 1, 40 cells of 0.025, c = 100,
// halves moving apart at 1) run through the GPU loop; the section's kind
// as read is returned in kind.
std::vector<deckcase::Sample> runWaveDeck(const std::string& deck, int* kind) {
  const fs::path scratch = deckcase::scratchFolder("sfem_wave_" + deck);
  fs::copy_file(deckcase::caseFolder("sfem_wave") / (deck + ".inp"), scratch / "deck.inp");
  return deckcase::runInProcessAt(scratch, [kind](FEMDynamic* fem) {
    *kind = fem->sectionManager->section_array.empty() ? -1 : fem->sectionManager->section_array[0].sfem_kind;
  });
}

// Time at which the bar's end nodes stop moving outward (the tension wave
// from the middle arrives there at L / 2c), and the mean axial stress of
// the nodes within a quarter of the middle over the time the wave front
// has passed them by two cells and not yet reached the ends.
void waveFigures(const std::vector<deckcase::Sample>& s, double* stopTime, double* meanStress) {
  const double L = 1.0, c = 100.0, h = 0.025;
  *stopTime = -1.0;
  double before = 0.0, sum = 0.0;
  int count = 0;
  for (std::size_t k = 0; k < s.size(); ++k) {
    double outward = 0.0;
    for (std::size_t i = 0; i < s[k].nodes.size(); ++i) {
      const double x = s.front().nodes[i].coord[0];
      if (x < 1e-9 || x > L - 1e-9) outward += (x < 1e-9 ? -1.0 : 1.0) * s[k].nodes[i].vel[0];
      const double d = std::fabs(x - 0.5 * L);
      if (d <= 0.25 * L && s[k].time >= (d + 2.0 * h) / c && s[k].time <= L / (2.0 * c)) {
        sum += s[k].nodes[i].stress[0];
        ++count;
      }
    }
    if (k > 0 && *stopTime < 0.0 && before > 0.0 && outward <= 0.0)
      *stopTime = s[k - 1].time + (s[k].time - s[k - 1].time) * before / (before - outward);
    before = outward;
  }
  *meanStress = count > 0 ? sum / count : 0.0;
}

}  // namespace

// ".inp" decks whose solid section asks for edge-, cell-, node- and
// six-point node-based smoothing (SMOOTHFEM=ESFEM, CSFEM on pyramids, NSFEM,
// SNSFEM) read the kind into the section and run: the tension wave of
// stress rho c v = 100 reaches the free ends at L / 2c = 0.005.  The
// smoothed tetrahedra are softer than the constant-strain tetrahedra of the
// same deck without the option (plain.inp): their front spreads a little
// more and the ends stop about 2 % late, where the plain ones stop 1 % late.
DEVICE_TEST(SmoothFemRun, InpDecksOfEveryKindCarryTheBarWave) {
  const std::pair<const char*, int> decks[] = {{"plain", 0}, {"esfem", 1}, {"csfem", 2}, {"nsfem", 3}, {"snsfem", 4}};
  for (const auto& [deck, expected] : decks) {
    int kind = -1;
    const std::vector<deckcase::Sample> samples = runWaveDeck(deck, &kind);
    EXPECT_EQ(kind, expected) << deck;
    ASSERT_GT(samples.size(), 20u) << deck;
    double stop = 0.0, stress = 0.0;
    waveFigures(samples, &stop, &stress);
    std::printf("%s bar: ends stop at %.5f (0.005), stress %.2f (100)\n", deck, stop, stress);
    EXPECT_NEAR(stop, 0.005, 0.03 * 0.005) << deck;
    EXPECT_NEAR(stress, 100.0, 5.0) << deck;
  }
}

// SMOOTHFEM= names that cannot run as asked refuse the deck with a message:
// an unknown name, a kind whose element shape the part does not have, and
// the option on a shell section.  Running such a part unsmoothed would give
// other results without saying so.
TEST(SmoothFemRun, InpSmoothFemThatCannotRunRefusesTheDeck) {
  const std::string nodes =
      "*Node\n1, 0., 0., 0.\n2, 1., 0., 0.\n3, 1., 1., 0.\n4, 0., 1., 0.\n"
      "5, 0., 0., 1.\n6, 1., 0., 1.\n7, 1., 1., 1.\n8, 0., 1., 1.\n";
  const std::string tail =
      "\n*Material, name=STEEL\n*Density\n7.85e-9\n*Elastic\n210000., 0.3\n"
      "*Step\n*Dynamic, Explicit\n, 1e-5\n*End Step\n";
  const std::string tetra = "*Element, type=C3D4, elset=BLOCK\n1, 1, 2, 4, 5\n";
  const std::string hexa = "*Element, type=C3D8R, elset=BLOCK\n1, 1, 2, 3, 4, 5, 6, 7, 8\n";
  const std::string shell = "*Element, type=S4R, elset=BLOCK\n1, 1, 2, 3, 4\n";
  struct Case {
    std::string deck;
    int read;
    const char* message;
  };
  const Case cases[] = {
      {tetra + "*Solid Section, elset=BLOCK, material=STEEL, smoothfem=nsfem", 1, ""},
      {tetra + "*Solid Section, elset=BLOCK, material=STEEL, SMOOTHFEM=XSFEM", 0,
       "当前没有这种 XSFEM 光滑有限元，请补充\n"},
      {hexa + "*Solid Section, elset=BLOCK, material=STEEL, SMOOTHFEM=ESFEM", 0, "cannot take SMOOTHFEM=ESFEM"},
      {tetra + "*Solid Section, elset=BLOCK, material=STEEL, SMOOTHFEM=CSFEM", 0, "5-node pyramids"},
      {shell + "*Shell Section, elset=BLOCK, material=STEEL, SMOOTHFEM=NSFEM\n0.01", 0, "*SOLID SECTION only"},
  };
  for (const Case& c : cases) {
    auto fem = std::make_unique<FEMDynamic>();
    fem->newManagers();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int read = readInpText(fem.get(), nodes + c.deck + tail, "sfem.inp");
    const std::string messages = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(read, c.read) << c.deck << "\n" << messages;
    EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
    if (read == 1) {
      EXPECT_EQ(fem->sectionManager->section_array[0].sfem_kind, 3);
    }
  }
}

// The smoothed bar decks through the host-only loop: with the same steps (a
// safe factor that keeps them below the host loop's cap) it moves every
// node as the GPU loop does, to rounding, for every kind.
DEVICE_TEST(SmoothFemRun, HostLoopMovesTheNodesAsTheGpuLoop) {
  for (const std::string deck : {"esfem", "csfem", "nsfem", "snsfem"}) {
    const std::string text = deckcase::readText(deckcase::caseFolder("sfem_wave") / (deck + ".inp"));
    linerun::Trace runs[2];
    for (int host = 0; host < 2; ++host) {
      linerun::RunOptions options;
      options.inpDeck = true;
      options.hostLoop = host == 1;
      options.every = 10;
      for (int n = 1; n <= 164; ++n) options.traced.push_back(n);
      options.afterRead = [](FEMDynamic* fem) { fem->timeControl->input_safe_factor = 0.25; };
      runs[host] = linerun::runDeck("sfem_loops_" + deck + (host ? "_host" : "_gpu"), text, options);
    }
    const linerun::Trace &gpu = runs[0], &host = runs[1];
    ASSERT_GT(gpu.time.size(), 10u) << deck << gpu.console;
    ASSERT_GE(host.time.size(), gpu.time.size()) << deck << host.console;
    double worst = 0.0;
    for (size_t k = 0; k < gpu.time.size(); ++k) {
      ASSERT_NEAR(host.time[k], gpu.time[k], 1e-12 * gpu.time.back()) << deck << " sample " << k;
      for (size_t i = 0; i < gpu.nodes[k].size(); ++i)
        for (int j = 0; j < 3; ++j)
          worst = std::max({worst, std::fabs(gpu.nodes[k][i].coord[j] - host.nodes[k][i].coord[j]),
                            std::fabs(gpu.nodes[k][i].vel[j] - host.nodes[k][i].vel[j]) * 1e-3});
    }
    std::printf("%s: host and GPU loops differ by %.3g over %zu samples\n", deck.c_str(), worst, gpu.time.size());
    // Bar length 1, speeds about 1: rounding stays far below 1e-9.
    EXPECT_LT(worst, 1e-9) << deck;
    // The run is not at rest: the ends moved.
    EXPECT_GT(std::fabs(gpu.nodes.back()[0].total_disp[0]), 1e-4) << deck;
  }
}
