// .inp models run end to end: a bar of unit cubes, each cut into elements
// of one type, held at x = 0 and moving at v0 against it in uniaxial
// strain. Its mass is density x volume; while the compression wave runs up
// the bar the wall takes rho c A v0 of momentum per unit time and the wall
// stress is rho c v0, with c = sqrt(M / rho), M = lambda + 2 mu.
#include "tests/deviceTest.h"

#include <array>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "core/part.h"
#include "core/section.h"
#include "elements/common/elmmanager.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "solver/femdynamic.h"
#include "tests/decks/deckCase.h"

using namespace deckcase;

namespace {

constexpr int kCubes = 40;
constexpr double kDensity = 7.85e-9, kPoisson = 0.3, kSteelM = 210000.0 * 0.7 / (1.3 * 0.4);

// Cube corners in hexahedron order, 9 the centre; each type's cut of a
// cube (1-based corners), its section code and the code it computes with.
const double kCorner[9][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},      {0, 0, 1},
                              {1, 0, 1}, {1, 1, 1}, {0, 1, 1}, {0.5, 0.5, 0.5}};
struct Cut {
  const char* type;
  std::vector<std::vector<int>> elements;
  int formulation, elementType;
};
const std::vector<int> kHexa = {1, 2, 3, 4, 5, 6, 7, 8};
const std::vector<std::vector<int>> kWedges = {{1, 2, 3, 5, 6, 7}, {1, 3, 4, 5, 7, 8}};
const std::vector<Cut> kCuts = {
    {"C3D8R", {kHexa}, 18, 18},
    {"SC8R", {kHexa}, 23, 18},
    {"C3D6", kWedges, 20, 20},
    {"SC6R", kWedges, 22, 20},
    {"C3D6R", kWedges, 21, 21},
    {"C3P5",
     {{1, 2, 3, 4, 9}, {5, 8, 7, 6, 9}, {1, 5, 6, 2, 9}, {2, 6, 7, 3, 9}, {3, 7, 8, 4, 9}, {4, 8, 5, 1, 9}},
     16,
     16},
    {"C3D10M", {{1, 2, 3, 7}, {1, 3, 4, 7}, {1, 4, 8, 7}, {1, 8, 5, 7}, {1, 5, 6, 7}, {1, 6, 2, 7}}, 27, 27},
};
// Ten-node tetrahedron: mid-side nodes on edges 1-2, 2-3, 3-1, 1-4, 2-4, 3-4.
const int kTetEdge[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};

struct Bar {
  std::string material = "*Material, name=STEEL\n*Density\n7.85e-09,\n*Elastic\n210000., 0.3\n";
  double density = kDensity, modulus = kSteelM, speed = -1000.0, length = kCubes;
  double waveSpeed() const { return std::sqrt(modulus / density); }
  double crossing() const { return length / waveSpeed(); }
};

// The deck as a pre-processor writes it: a part, element lines continued
// on a second line, blank section data, per-set boundaries.
std::string barDeck(const Cut& cut, const Bar& bar = Bar()) {
  std::vector<std::array<double, 3>> nodes;
  std::map<std::array<long, 3>, int> byPosition;
  auto node = [&](const std::array<double, 3>& x) {
    const std::array<long, 3> key = {std::lround(2 * x[0]), std::lround(2 * x[1]), std::lround(2 * x[2])};
    if (byPosition.count(key) == 0) nodes.push_back(x), byPosition[key] = static_cast<int>(nodes.size());
    return byPosition[key];
  };
  std::ostringstream deck, elements;
  deck.precision(17);
  int id = 0;
  for (int c = 0; c < kCubes; ++c) {
    for (const std::vector<int>& local : cut.elements) {
      std::vector<std::array<double, 3>> x;
      for (int k : local) x.push_back({c + kCorner[k - 1][0], kCorner[k - 1][1], kCorner[k - 1][2]});
      for (int m = 0; m < 6 && std::string(cut.type) == "C3D10M"; ++m) {
        const auto& a = x[kTetEdge[m][0]];
        const auto& b = x[kTetEdge[m][1]];
        x.push_back({0.5 * (a[0] + b[0]), 0.5 * (a[1] + b[1]), 0.5 * (a[2] + b[2])});
      }
      elements << ++id;
      for (size_t k = 0; k < x.size(); ++k) elements << (k == 7 ? ",\n  " : ", ") << node(x[k]);
      elements << "\n";
    }
  }
  deck << "*Part, name=BAR\n*Node\n";
  for (size_t n = 0; n < nodes.size(); ++n) {
    deck << n + 1 << ", " << nodes[n][0] << ", " << nodes[n][1] << ", " << nodes[n][2] << "\n";
  }
  deck << "*Element, type=" << cut.type << "\n"
       << elements.str() << "*Elset, elset=BAR-ALL, generate\n 1, " << id
       << ", 1\n*Solid Section, elset=BAR-ALL, material=STEEL\n,\n*End Part\n*Nset, nset=ALL, generate\n 1, "
       << nodes.size() << "\n*Nset, nset=WALL\n";
  for (size_t n = 0; n < nodes.size(); ++n) {
    if (nodes[n][0] == 0.0) deck << n + 1 << ",\n";
  }
  deck << bar.material << "*Initial Conditions, type=VELOCITY\nALL, 1, " << bar.speed
       << "\n*Boundary\nWALL, 1, 1\nALL, 2, 3\n*Step\n*Dynamic, Explicit\n, " << 0.8 * bar.crossing()
       << "\n*End Step\n";
  return deck.str();
}

// A run's samples and, once set up, its sections' codes and its elements' type codes.
struct BarRun {
  std::vector<Sample> samples;
  std::vector<int> formulations;
  std::set<int> types;
};
struct BarRunProbe : Probe {
  BarRun* run = nullptr;
  void init(OutputModel* fem) override {
    for (const Part& part : fem->part_array) {
      run->formulations.push_back(part.section->element_formulation);
      for (const SolidElementCuda& e : part.elmManager->solid_element_array_cpu) run->types.insert(e.type);
      for (const SolidElement2nd& e : part.elmManager->solid2ndArrayCpu_) run->types.insert(e.type);
    }
  }
  ~BarRunProbe() override { run->samples = std::move(samples); }
};
BarRun runDeck(const fs::path& scratch, const std::string& deck,
               const std::function<void(FEMDynamic*)>& afterReading = {}) {
  std::ofstream(scratch / "deck.inp", std::ios::binary) << deck;
  BarRun run;
  auto probe = std::make_unique<BarRunProbe>();
  probe->run = &run;
  runModelAt(scratch, std::move(probe), afterReading);
  return run;
}

double momentum(const std::vector<Sample>& samples, double t) {
  size_t best = 0;
  for (size_t s = 0; s < samples.size(); ++s) {
    if (std::fabs(samples[s].time - t) < std::fabs(samples[best].time - t)) best = s;
  }
  double p = 0.0;
  for (const NodeCuda& node : samples[best].nodes) p += node.mass * node.vel[0];
  return p;
}

// Mass, and the momentum the wall takes from a quarter to three quarters of
// the crossing: half the bar's.
void expectWave(const BarRun& run, const Bar& bar, double tolerance) {
  ASSERT_GT(run.samples.size(), 30u);
  const double mass = bar.density * bar.length;
  double total = 0.0;
  for (const NodeCuda& node : run.samples.front().nodes) total += node.mass;
  EXPECT_NEAR(total, mass, 1e-12 * mass);
  const double drop = momentum(run.samples, 0.25 * bar.crossing()) - momentum(run.samples, 0.75 * bar.crossing());
  EXPECT_NEAR(drop, 0.5 * mass * bar.speed, tolerance * std::fabs(0.5 * mass * bar.speed));
}

}  // namespace

DEVICE_TEST(InpModels, BarsOfEveryElementTypeCarryTheWaveOfTheTheory) {
  for (const Cut& cut : kCuts) {
    SCOPED_TRACE(cut.type);
    const BarRun run = runDeck(scratchFolder(std::string("inp_type_") + cut.type), barDeck(cut));
    EXPECT_EQ(run.formulations, std::vector<int>{cut.formulation});
    EXPECT_EQ(run.types, std::set<int>{cut.elementType});
    expectWave(run, Bar(), 0.025);
  }
}

// C10 = 0.5, C01 = 0.1, D1 = 2 / K0 with K0 = 59.6: mu0 = 2 (C10 + C01) =
// 1.2, M = K0 + 4 mu0 / 3 = 61.2 and c3 = lambda0 / 4 - C01 = 14.6.
DEVICE_TEST(InpModels, MooneyRivlinBarTakesItsModuliFromC10C01AndD1) {
  Bar rubber;
  rubber.material =
      "*Material, name=STEEL\n*Hyperelastic Mooney-Rivlin\n0.5, 0.1, 0.033557046979865772\n*Density\n1e-9\n";
  rubber.density = 1e-9;
  rubber.modulus = 61.2;
  rubber.speed = -100.0;
  const BarRun run = runDeck(scratchFolder("inp_rubber"), barDeck(kCuts[0], rubber), [](FEMDynamic* fem) {
    const Material& material = fem->materialManager->material_array.at(0);
    EXPECT_EQ(material.type, 8);
    EXPECT_DOUBLE_EQ(material.mooney_rivlin_constants[1], 0.1);
    EXPECT_NEAR(material.mooney_rivlin_constants[2], 14.6, 1e-12);
  });
  expectWave(run, rubber, 0.025);
}

// A bar of ten-node tetrahedra exported by a pre-processor (CRLF, part,
// assembly and instance) with history and field requests.
DEVICE_TEST(InpModels, ExportedTenNodeTetrahedronBarAndItsOutputs) {
  const fs::path scratch = scratchFolder("inp_tet10_bar");
  ::testing::internal::CaptureStderr();
  const BarRun run = runDeck(scratch, readText(caseFolder("inp_tet10_bar") / "deck.inp"));
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("the variable LE is not written by this output"), std::string::npos) << messages;
  EXPECT_EQ(run.types, std::set<int>{27});
  Bar bar;
  bar.length = 10;
  expectWave(run, bar, 0.03);

  // Node stresses (time, id, six components) of the nine wall nodes at
  // every 2e-7 s up to the end time 1.4e-6 s: their mean behind the wave is rho c v0, syy = szz =
  // nu / (1 - nu) sxx.
  std::ifstream stress(scratch / "work" / "nodeoutput" / "nodestress_file_WALL.txt");
  std::map<double, std::array<double, 3>> sum;  // sxx, syy, count
  for (double time, id, s[6]; stress >> time >> id >> s[0] >> s[1] >> s[2] >> s[3] >> s[4] >> s[5];) {
    sum[time][0] += s[0], sum[time][1] += s[1], sum[time][2] += 1;
  }
  ASSERT_EQ(sum.size(), 8u);
  EXPECT_EQ(sum.rbegin()->first, 1.4e-6);
  const std::array<double, 3>& last = sum.rbegin()->second;
  const double wall = bar.density * bar.waveSpeed() * bar.speed;
  EXPECT_EQ(last[2], 9.0);
  EXPECT_NEAR(last[0] / 9, wall, 0.03 * std::fabs(wall));
  EXPECT_NEAR(last[1] / 9, kPoisson / (1 - kPoisson) * wall, 0.03 * std::fabs(wall));
  EXPECT_TRUE(fs::exists(scratch / "work" / "nodeoutput" / "contact_file_WALL.txt"));
  // Element 1: eight blocks of its id and its four points.
  std::istringstream element(readText(scratch / "work" / "elementoutput" / "element_point_stress_file_FIRST.txt"));
  int lines = 0;
  for (std::string line; std::getline(element, line);) ++lines;
  EXPECT_EQ(lines, 8 * 5);
  EXPECT_TRUE(fs::exists(scratch / "work" / "elementoutput" / "element_point_strain_file_FIRST.txt"));
  // Eight Tecplot blocks (the start and seven intervals) of displacements
  // and stresses replace the VTK files.
  const std::string plt = readText(scratch / "work" / "result.plt");
  int blocks = 0;
  for (size_t at = plt.find("variables="); at != std::string::npos; at = plt.find("variables=", at + 1)) ++blocks;
  EXPECT_EQ(blocks, 8);
  EXPECT_NE(plt.find("\"sts_x\""), std::string::npos);
  EXPECT_EQ(plt.find("\"str_x\""), std::string::npos);
  EXPECT_TRUE(vtkFiles(scratch / "work").empty());
}

// A deck exported with an assembly names the part's sets through the
// instance that places it ("Bar-1.All"); an instance that leaves its part
// where it is makes those the part's own sets: the bar (its deck written
// with returns) runs as the plain deck. A node named through the instance
// ("Bar-1.16") is the part's node.
DEVICE_TEST(InpModels, NamesQualifiedByAnUnmovedInstanceAreThePartsNames) {
  std::string deck = readText(caseFolder("inp_bar") / "deck.inp");
  auto swap = [&deck](const std::string& from, const std::string& to) {
    ASSERT_NE(deck.find(from), std::string::npos) << from;
    deck.replace(deck.find(from), from.size(), to);
  };
  swap("*End Part", "*End Part\n*Assembly, name=A\n*Instance, name=Bar-1, part=BAR\n*End Instance\n*End Assembly");
  swap("ALL, 1, -1000.", "Bar-1.All, 1, -1000.\nBar-1.16, 2, 0.");
  swap("FIXED, ENCASTRE", "Bar-1.Fixed, ENCASTRE");
  const fs::path folder = scratchFolder("inp_bar_instance");
  std::ofstream(folder / "deck.inp") << deck;
  // The plain deck runs in a folder of this test's own: the deck tests run
  // the case's deck in theirs at the same time.
  const fs::path plain = scratchFolder("inp_bar_not_instanced");
  fs::copy_file(caseFolder("inp_bar") / "deck.inp", plain / "deck.inp");
  expectTwins(runInProcessAt(folder), runInProcessAt(plain));
}
