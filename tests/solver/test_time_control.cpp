#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "contact/tiemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "elements/common/elementControl.h"
#include "elements/common/elmmanager.h"
#include "solver/constrained.h"
#include "solver/timeControl.h"
#include "tests/elements/solid1st/solidTestModel.h"
#include "tests/solver/motionDeck.h"

namespace {

TEST(SafeFactor, PositiveOrZeroTargetUsesInputFactorOrDefault) {
  TimeControl tc;
  tc.target_dt = 1e-6;
  testing::internal::CaptureStdout();
  tc.setSafeFactor();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nThe safeFactor is 0.90\n");
  EXPECT_EQ(tc.mass_scaling_flag, 1);
  EXPECT_EQ(tc.safe_factor, 0.9);

  TimeControl off;
  off.input_safe_factor = 0.67;
  testing::internal::CaptureStdout();
  off.setSafeFactor();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nThe safeFactor is 0.67\n");
  EXPECT_EQ(off.mass_scaling_flag, 0);
  EXPECT_EQ(off.safe_factor, 0.67);
}

TEST(SafeFactor, NegativeTargetScalesByPointSevenSilently) {
  TimeControl tc;
  tc.target_dt = -1e-6;
  tc.input_safe_factor = 0.5;  // not used on this path
  testing::internal::CaptureStdout();
  tc.setSafeFactor();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(tc.safe_factor, 0.7);
  EXPECT_DOUBLE_EQ(tc.target_dt, 7e-7);
  EXPECT_EQ(tc.mass_scaling_flag, 1);
}

TEST(MassScaling, DueOnlyAtIntervalAndAtOrBelowTarget) {
  TimeControl tc;
  tc.mass_scaling_flag = 1;
  tc.target_dt = 1e-6;
  EXPECT_FALSE(tc.massScalingDue(0, 1e-6));  // no recompute interval: never
  tc.recompute_interval = 10;
  EXPECT_TRUE(tc.massScalingDue(0, 1e-6));
  EXPECT_TRUE(tc.massScalingDue(20, 5e-7));
  EXPECT_FALSE(tc.massScalingDue(20, 1.0000001e-6));
  EXPECT_FALSE(tc.massScalingDue(15, 5e-7));
  tc.mass_scaling_flag = 0;
  EXPECT_FALSE(tc.massScalingDue(10, 5e-7));
}

DEVICE_TEST(MassScaling, GpuScalingRestoresStoredMassesAndTakesTarget) {
  NodeManager nodes;
  NodeCuda n{};
  n.id = 1;
  n.mass = 7.0;
  n.stored_mass = 5.0;
  nodes.node_array_cpu.push_back(n);
  nodes.setNodeNum();
  nodes.allocateAndCopyNodes();
  ElementControl elements;
  TieManager ties;
  ConstrainedManager constraints;
  TimeControl tc;
  tc.mass_scaling_flag = 1;
  tc.recompute_interval = 1;
  tc.target_dt = 2e-6;
  double candidate = 3e-6;  // above the target: nothing happens
  tc.massScalingGpu(&ties, &constraints, &elements, &nodes, 4, &candidate);
  EXPECT_EQ(candidate, 3e-6);
  candidate = 1e-6;
  tc.massScalingGpu(&ties, &constraints, &elements, &nodes, 4, &candidate);
  EXPECT_EQ(candidate, 2e-6);
  nodes.copyNodesToCpu();
  EXPECT_EQ(nodes.node_array_cpu[0].mass, 5.0);
  EXPECT_EQ(nodes.node_array_cpu[0].equivalent_mass, 5.0);
}

TEST(TimeInfo, PrintedLines) {
  TimeControl tc;
  tc.output_interval = 1e-4;
  tc.end_time = 0.02;
  testing::internal::CaptureStdout();
  tc.printTimeInfo(2.5e-7);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\nInitial time step:\t 2.5000e-07\nData output time increment:\t1.0000e-04\n"
            "Complete simulation time:\t2.0000e-02\n\n");
}

TEST(InitialStep, HostStepWithoutPartsIsThousand) {
  TimeControl tc;
  std::vector<Part> parts;
  double dt = 0.0;
  EXPECT_EQ(tc.calInitialDtCpu(parts, &dt), 1000.0);
  EXPECT_EQ(dt, 1000.0);
}

// The host step of a part is its smallest characteristic length times the
// safe factor over the solid wave speed: a 10 mm steel cube gives the same
// step as the element driver.
TEST(InitialStep, HostStepOfASteelCube) {
  solidtest::SolidModel m;
  solidtest::addCube(m, 0.01);
  m.link();
  ElmManager store;
  store.solid_element_array_cpu = m.elems;
  std::vector<Part> parts(1);
  parts[0].id = 1;
  parts[0].elmManager = &store;
  parts[0].materialNew = m.material.get();
  TimeControl tc;
  tc.safe_factor = 0.9;
  double dt = 0.0;
  tc.calInitialDtCpu(parts, &dt);
  EXPECT_NEAR(dt, 1.49976e-6, 1e-11);
}

// A stiff block whose own step is 9e-6, run by the program: "DT=" is the
// mass-scaling target whether or not the deck asks for mass scaling, and a
// negative step on the deck's time-step card asks for its absolute value.
// The added mass is reported only by a run that adds mass.
DEVICE_TEST(MassScalingRuns, CommandLineAndDeckStepsTakeTheModelToTheTarget) {
  motiondeck::Block b;
  b.h = 0.1;
  b.young = 1.0e8;
  const std::string deck = b.cards() + motiondeck::termination(1e-4);
  const std::string scaledText = "calculation with mass scaling";
  std::string console;
  ASSERT_EQ(motiondeck::runProgram("mass_scaling_none", deck, &console), 0) << console;
  EXPECT_NE(console.find("Initial time step:\t 9.0000e-06"), std::string::npos) << console;
  EXPECT_EQ(console.find(scaledText), std::string::npos) << console;

  ASSERT_EQ(motiondeck::runProgram("mass_scaling_dt", deck, &console, "DT=2e-5"), 0) << console;
  EXPECT_NE(console.find("Initial time step:\t 2.0000e-05"), std::string::npos) << console;
  EXPECT_NE(console.find(scaledText), std::string::npos) << console;

  // A target below the model's own step scales nothing and says nothing.
  ASSERT_EQ(motiondeck::runProgram("mass_scaling_below", deck, &console, "DT=1e-6"), 0) << console;
  EXPECT_NE(console.find("Initial time step:\t 9.0000e-06"), std::string::npos) << console;
  EXPECT_EQ(console.find(scaledText), std::string::npos) << console;

  const std::string negative = deck + "*CONTROL_TIMESTEP\n" + card({"", "", "", "", "-2e-5"});
  ASSERT_EQ(motiondeck::runProgram("mass_scaling_negative", negative, &console), 0) << console;
  EXPECT_NE(console.find("Initial time step:\t 2.0000e-05"), std::string::npos) << console;
  EXPECT_NE(console.find(scaledText), std::string::npos) << console;
}

}  // namespace

namespace {

// One free element of each family, its nodes (slightly out of shape) given
// every velocity (and spin) at random, run at the largest legal step scale
// factor TSSFAC 1 for 10,000 cycles: at a stable step every mode keeps its
// amplitude, so the largest kinetic energy of the second half of the run
// stays that of the first; at an unstable one the highest mode grows by
// orders of magnitude.
struct FreeElement {
  const char* name;
  std::string cards;  // nodes, element, part, section and material
  int nodes;
  bool rotations;
  double speed = 0.01;  // scale of the translational velocities
  int cycles = 10000;
  const char* scale = "1.0";  // TSSFAC
};
void PrintTo(const FreeElement& e, std::ostream* os) { *os << e.name; }

std::string steel(const std::string& material = "*MAT_ELASTIC\n") {
  return material + card({"1", "7850", "2.1e11", "0.3"});
}

// n nodes at the corners of the unit cube of edge h (in the order of the
// hexahedron's corners), moved by up to shift (8 %) of h.
std::string cubeNodes(int n, double h, double shift = 0.08) {
  const double c[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  std::string text = "*NODE\n";
  for (int i = 0; i < n; ++i) {
    text += std::to_string(i + 1);
    for (int k = 0; k < 3; ++k) text += " " + motiondeck::num(h * (c[i][k] + shift * std::sin(3.1 * i + 1.7 * k)));
    text += "\n";
  }
  return text;
}

class OneFreeElement : public testing::TestWithParam<FreeElement> {};

DEVICE_TEST_P(OneFreeElement, IsStableAtTheLargestStepScaleFactor) {
  const FreeElement& e = GetParam();
  std::string deck = e.cards + "*INITIAL_VELOCITY_NODE\n";
  for (int i = 1; i <= e.nodes; ++i) {
    deck += std::to_string(i);
    for (int k = 0; k < (e.rotations ? 6 : 3); ++k)
      deck += " " + motiondeck::num((k < 3 ? e.speed : 1.0) * std::sin(7.3 * i + 2.9 * k + 0.4));
    deck += "\n";
  }
  deck += "*CONTROL_TIMESTEP\n" + card({"0.0", e.scale}) + motiondeck::termination(1.0, e.cycles);
  std::vector<double> kinetic;
  motiondeck::runWatching(std::string("free_") + e.name, deck, [&](FEMDynamic& fem, double) {
    double energy = 0.0;
    for (const NodeCuda& n : fem.nodeManager->node_array_cpu)
      for (int k = 0; k < 3; ++k)
        energy += 0.5 * (n.mass * n.vel[k] * n.vel[k] + n.rot_inertia[k] * n.vel[3 + k] * n.vel[3 + k]);
    kinetic.push_back(energy);
  });
  ASSERT_GT(kinetic.size(), static_cast<size_t>(e.cycles) * 2 / 3);
  const auto half = kinetic.begin() + static_cast<long>(kinetic.size() / 2);
  const double first = *std::max_element(kinetic.begin(), half), second = *std::max_element(half, kinetic.end());
  EXPECT_LT(second, 2.0 * first) << "first half " << first << ", second half " << second;
  EXPECT_LT(first, 4.0 * kinetic.front());
}

// Hourglass forces vanish in rigid motion: a block of one-point hexahedra,
// slightly out of shape, spinning freely keeps its kinetic energy with every
// hourglass form.
DEVICE_TEST(OneFreeElement, SpinningBlockKeepsItsEnergyWithEveryHourglassForm) {
  motiondeck::Block block;
  block.nx = block.ny = block.nz = 2;
  block.h = 0.01;
  std::string nodes = block.cards();
  const double omega[3] = {3.0, -5.0, 7.0};
  std::string spin = "*INITIAL_VELOCITY_NODE\n";
  for (int n = 1; n <= block.nodeCount(); ++n) {
    const int i = (n - 1) % 3, j = (n - 1) / 3 % 3, k = (n - 1) / 9;
    const double r[3] = {0.01 * i - 0.01, 0.01 * j - 0.01, 0.01 * k - 0.01};
    spin += std::to_string(n) + " " + motiondeck::num(omega[1] * r[2] - omega[2] * r[1]) + " " +
            motiondeck::num(omega[2] * r[0] - omega[0] * r[2]) + " " +
            motiondeck::num(omega[0] * r[1] - omega[1] * r[0]) + "\n";
  }
  for (const char* form : {"1", "4", "6"}) {
    SCOPED_TRACE(std::string("IHQ ") + form);
    std::vector<double> kinetic;
    motiondeck::runWatching(std::string("spin_ihq") + form,
                            nodes + spin + "*CONTROL_HOURGLASS\n" + card({form, "0.1"}) +
                                motiondeck::termination(1.0, 2000),
                            [&](FEMDynamic& fem, double) {
                              double energy = 0.0;
                              for (const NodeCuda& n : fem.nodeManager->node_array_cpu)
                                for (int k = 0; k < 3; ++k) energy += 0.5 * n.mass * n.vel[k] * n.vel[k];
                              kinetic.push_back(energy);
                            });
    ASSERT_GT(kinetic.size(), 1000u);
    EXPECT_NEAR(kinetic.back(), kinetic.front(), 1e-6 * kinetic.front());
  }
}

// A block of n x n x n one-point hexahedra of edge h, its nodes moved by up
// to 15 % of h.
std::string distortedBlock(int n, double h) {
  std::string text = "*NODE\n", elements = "*ELEMENT_SOLID\n";
  const auto id = [n](int i, int j, int k) { return 1 + i + (n + 1) * (j + (n + 1) * k); };
  for (int k = 0; k <= n; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i) {
        const int g[3] = {i, j, k};
        text += std::to_string(id(i, j, k));
        for (int c = 0; c < 3; ++c)
          text += " " + motiondeck::num(h * (g[c] + 0.15 * std::sin(3.1 * i + 1.7 * j + 2.3 * k + 0.9 * c)));
        text += "\n";
      }
  int e = 1;
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i)
        elements += card({std::to_string(e++), "1", std::to_string(id(i, j, k)), std::to_string(id(i + 1, j, k)),
                          std::to_string(id(i + 1, j + 1, k)), std::to_string(id(i, j + 1, k)),
                          std::to_string(id(i, j, k + 1)), std::to_string(id(i + 1, j, k + 1)),
                          std::to_string(id(i + 1, j + 1, k + 1)), std::to_string(id(i, j + 1, k + 1))},
                         8);
  return text + elements + "*PART\nblock\n" + card({"1", "1", "1"}) + "*SECTION_SOLID\n" + card({"1", "1"}) + steel();
}

const std::string kHexa = cubeNodes(8, 0.01) + "*ELEMENT_SOLID\n" +
                          card({"1", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8) + "*PART\nsolid\n" +
                          card({"1", "1", "1"});
// A regular cube: its length is exactly the bound of its breathing mode.
const std::string kCube = cubeNodes(8, 0.01, 0.0) + kHexa.substr(kHexa.find("*ELEMENT_SOLID"));
const std::string kQuad = cubeNodes(4, 0.01) + "*ELEMENT_SHELL\n" + card({"1", "1", "1", "2", "3", "4"}, 8) +
                          "*PART\nshell\n" + card({"1", "1", "1"});
const std::string kLine = "*NODE\n1 0 0 0\n2 0.01 0.001 0.002\n3 0.0 0.01 0.0\n*ELEMENT_BEAM\n" +
                          card({"1", "1", "1", "2", "3"}, 8) + "*PART\nline\n" + card({"1", "1", "1"});
const std::string kLong = "*NODE\n1 0 0 0\n2 0.0007 0.00995 0.0005\n3 0.003 0.011 0.004\n*ELEMENT_BEAM\n" +
                          card({"1", "1", "1", "2", "3"}, 8) + "*PART\nline\n" + card({"1", "1", "1"});

INSTANTIATE_TEST_SUITE_P(
    Families, OneFreeElement,
    testing::Values(
        FreeElement{"hexahedron_one_point", kHexa + "*SECTION_SOLID\n" + card({"1", "1"}) + steel(), 8, false},
        FreeElement{"hexahedron_assumed_strain",
                    kHexa + "*SECTION_SOLID\n" + card({"1", "1"}) + steel() + "*CONTROL_HOURGLASS\n" +
                        card({"6", "1.0"}),
                    8, false},
        FreeElement{"hexahedron_stiffness_form",
                    kHexa + "*SECTION_SOLID\n" + card({"1", "1"}) + steel() + "*CONTROL_HOURGLASS\n" +
                        card({"4", "0.1"}),
                    8, false},
        FreeElement{"hexahedron_viscous_limit",
                    kHexa + "*SECTION_SOLID\n" + card({"1", "1"}) + steel() + "*CONTROL_HOURGLASS\n" +
                        card({"1", "0.125"}),
                    8, false},
        // Several distorted elements: the default viscous form, the stiffness
        // and the assumed-strain forms.
        FreeElement{"hexahedron_block", distortedBlock(2, 0.01), 27, false},
        FreeElement{"hexahedron_block_stiffness_form",
                    distortedBlock(2, 0.01) + "*CONTROL_HOURGLASS\n" + card({"4", "0.1"}), 27, false},
        FreeElement{"hexahedron_block_assumed_strain",
                    distortedBlock(2, 0.01) + "*CONTROL_HOURGLASS\n" + card({"6", "1.0"}), 27, false},
        FreeElement{"cube_one_point", kCube + "*SECTION_SOLID\n" + card({"1", "1"}) + steel(), 8, false},
        FreeElement{"cube_fully_integrated", kCube + "*SECTION_SOLID\n" + card({"1", "2"}) + steel(), 8, false},
        FreeElement{"hexahedron_fully_integrated", kHexa + "*SECTION_SOLID\n" + card({"1", "2"}) + steel(), 8, false},
        FreeElement{"tetrahedron",
                    cubeNodes(5, 0.01) + "*ELEMENT_SOLID\n" +
                        card({"1", "1", "1", "2", "4", "5", "5", "5", "5", "5"}, 8) + "*PART\nsolid\n" +
                        card({"1", "1", "1"}) + "*SECTION_SOLID\n" + card({"1", "10"}) + steel(),
                    5, false},
        FreeElement{"pentahedron",
                    "*NODE\n1 0 0 0\n2 0.01 0 0.001\n3 0.011 0.01 0\n4 0 0.01 0\n5 0.001 0 0.01\n6 0 0.01 0.01\n"
                    "*ELEMENT_SOLID\n" +
                        card({"1", "1", "1", "2", "3", "4", "5", "5", "6", "6"}, 8) + "*PART\nsolid\n" +
                        card({"1", "1", "1"}) + "*SECTION_SOLID\n" + card({"1", "1"}) + steel(),
                    6, false},
        FreeElement{"shell", kQuad + "*SECTION_SHELL\n" + card({"1", "2", "", "2"}) + card({"0.001"}) + steel(), 4,
                    true},
        FreeElement{"shell_thick", kQuad + "*SECTION_SHELL\n" + card({"1", "2", "", "2"}) + card({"0.005"}) + steel(),
                    4, true},
        FreeElement{"shell_triangle",
                    cubeNodes(3, 0.01) + "*ELEMENT_SHELL\n" + card({"1", "1", "1", "2", "3", "3"}, 8) +
                        "*PART\nshell\n" + card({"1", "1", "1"}) + "*SECTION_SHELL\n" + card({"1", "4", "", "2"}) +
                        card({"0.001"}) + steel(),
                    3, true},
        FreeElement{"shell_square",
                    "*NODE\n1 0 0 0\n2 0.1 0 0\n3 0.1 0.1 0\n4 0 0.1 0\n*ELEMENT_SHELL\n" +
                        card({"1", "1", "1", "2", "3", "4"}, 8) + "*PART\nshell\n" + card({"1", "1", "1"}) +
                        "*SECTION_SHELL\n" + card({"1", "2", "", "2"}) + card({"0.005"}) + steel(),
                    4, true},
        FreeElement{"membrane", kQuad + "*SECTION_SHELL\n" + card({"1", "5"}) + card({"0.001"}) + steel(), 4, false},
        // The viscous hourglass form at the largest coefficient the step holds.
        FreeElement{"shell_viscous_limit",
                    kQuad + "*SECTION_SHELL\n" + card({"1", "2", "", "2"}) + card({"0.005"}) + steel() +
                        "*CONTROL_HOURGLASS\n" + card({"1", "0.125"}),
                    4, true},
        FreeElement{"membrane_viscous_limit",
                    kQuad + "*SECTION_SHELL\n" + card({"1", "5"}) + card({"0.001"}) + steel() + "*CONTROL_HOURGLASS\n" +
                        card({"1", "0.125"}),
                    4, false},
        FreeElement{"beam_resultant",
                    kLine + "*SECTION_BEAM\n" + card({"1", "2"}) + card({"1e-6", "8e-14", "8e-14", "1.6e-13", "8e-7"}) +
                        steel(),
                    3, true},
        FreeElement{"beam_rectangle",
                    kLine + "*SECTION_BEAM\n" + card({"1", "1"}) + card({"0.001", "0.001", "0.0005"}) + steel(), 3,
                    true},
        // 10 mm steel beams, 2 x 1 mm, turning at 1 m/s: default TSSFAC, long run.
        FreeElement{"beam_rectangle_long_run",
                    kLong + "*SECTION_BEAM\n" + card({"1", "1"}) + card({"0.002", "0.002", "0.001", "0.001"}) + steel(),
                    3, true, 1.0, 40000, ""},
        FreeElement{"beam_resultant_long_run",
                    kLong + "*SECTION_BEAM\n" + card({"1", "2"}) +
                        card({"2e-6", "1.667e-13", "6.667e-13", "4.58e-13", "1.667e-6"}) + steel(),
                    3, true, 1.0, 40000, ""},
        FreeElement{"truss", kLine + "*SECTION_BEAM\n" + card({"1", "3"}) + card({"1e-6"}) + steel(), 3, false},
        FreeElement{"spring",
                    kLine + "*SECTION_BEAM\n" + card({"1", "6"}) + card({"1e-9", "1e-12"}) +
                        "*MAT_LINEAR_ELASTIC_DISCRETE_BEAM\n" + card({"1", "7850", "1e5"}) + "\n\n",
                    3, false}),
    [](const testing::TestParamInfo<FreeElement>& info) { return std::string(info.param.name); });

}  // namespace
