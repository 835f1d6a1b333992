// How a run ends, seen as a user sees it: the program's exit status, its
// last line, the run record and the VTK files.  A run ends at its end time,
// whose state it writes whatever the output interval, or at its end cycle
// when that comes first.
#include "tests/deviceTest.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"
#include "tests/solver/motionDeck.h"

namespace {

using motiondeck::Block;

// A unit cube of elastic hexahedron (c = 1000, steps of 0.0009) flying at 2
// along x.
std::string flyingBlock(const std::string& termination) {
  Block b;
  b.young = 1e6;
  std::vector<int> all;
  for (int n = 1; n <= b.nodeCount(); ++n) all.push_back(n);
  return b.cards() + termination + motiondeck::nodeSet(1, all) + "*INITIAL_VELOCITY\n" + card({"1"}) +
         card({"2.0", "0.0", "0.0"});
}

struct Outcome {
  int code = -1;
  std::string console;
  deckcase::fs::path work;
};

Outcome runDeck(const std::string& name, const std::string& deck, const std::string& options = "") {
  Outcome o;
  o.code = motiondeck::runProgram(name, deck, &o.console, options);
  o.work = deckcase::fs::path(FEM_BINARY_DIR) / "deck_cases" / ("motion_" + name) / "work";
  return o;
}

std::string lastLine(const std::string& text) {
  const std::size_t end = text.find_last_not_of('\n');
  if (end == std::string::npos) return "";
  const std::size_t start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

// The time a VTK file states in its title line ("zone <time>").
double vtkTime(const deckcase::fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  std::getline(in, line);
  return line.rfind("zone ", 0) == 0 ? std::stod(line.substr(5)) : -1.0;
}

// The x coordinate of the first point of a VTK file.
double firstPointX(const deckcase::fs::path& file) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("POINTS", 0) == 0) {
      double x = 0.0;
      in >> x;
      return x;
    }
  return NAN;
}

std::string record(const Outcome& o) { return deckcase::readText(o.work / "history" / "history_record.txt"); }

// The end cycle caps the run: 3 cycles of a run asked to go to 0.005 (six
// steps), where it used to run on to the end time.
DEVICE_TEST(RunEnd, EndCycleEndsTheRunAtThatCycle) {
  const Outcome o = runDeck("endcyc_cap", flyingBlock(motiondeck::termination(0.005, 3)));
  EXPECT_EQ(o.code, 0) << o.console;
  EXPECT_EQ(lastLine(o.console), "Calculation completed");
  EXPECT_NE(record(o).find("iteration number:\t3\n"), std::string::npos) << record(o);
  const auto files = deckcase::vtkFiles(o.work);
  ASSERT_FALSE(files.empty());
  // The state after the third cycle is written, as the run's last.
  EXPECT_NEAR(vtkTime(files.back()), 3 * 0.0009, 1e-9);
  EXPECT_NEAR(firstPointX(files.back()), 2.0 * 3 * 0.0009, 1e-9);
}

// An end time below the first step: one shorter step reaches it, where the
// run used to do no cycle at all and still report success.
DEVICE_TEST(RunEnd, EndTimeBelowTheFirstStepIsReached) {
  const Outcome o = runDeck("end_below_first_step", flyingBlock(motiondeck::termination(0.0001)));
  EXPECT_EQ(o.code, 0) << o.console;
  EXPECT_EQ(lastLine(o.console), "Calculation completed");
  EXPECT_NE(o.console.find("Initial time step:\t 1.0000e-04\n"), std::string::npos) << o.console;
  EXPECT_NE(record(o).find("iteration number:\t1\n"), std::string::npos) << record(o);
  const auto files = deckcase::vtkFiles(o.work);
  ASSERT_EQ(files.size(), 2u);  // time 0 and the end time
  EXPECT_EQ(vtkTime(files.back()), 0.0001);
  EXPECT_NEAR(firstPointX(files.back()), 2.0 * 0.0001, 1e-12);
}

// Outputs every 0.001 up to the end time 0.005, which no step lands on (the
// steps are 0.0009): the last step is shortened to end there and the state
// at 0.005 is the last file, where the run used to stop at 0.0045 and write
// its last file at 0.0036.
TEST(RunEnd, LastFileHoldsTheStateAtTheEndTime) {
  const Outcome o = runDeck("final_output", flyingBlock(motiondeck::termination(0.005)), "OT=0.001");
  EXPECT_EQ(o.code, 0) << o.console;
  EXPECT_EQ(lastLine(o.console), "Calculation completed");
  const auto files = deckcase::vtkFiles(o.work);
  ASSERT_EQ(files.size(), 6u);
  EXPECT_EQ(vtkTime(files.front()), 0.0);
  EXPECT_EQ(vtkTime(files.back()), 0.005);
  EXPECT_NEAR(firstPointX(files.back()), 2.0 * 0.005, 1e-12);
  // Each earlier file lies within half a step of its output time.
  for (std::size_t k = 1; k + 1 < files.size(); ++k) EXPECT_NEAR(vtkTime(files[k]), 0.001 * k, 0.00045) << k;
}

// The host loop's first step (0.0009, not capped) passes the output points 0.0002 to 0.0008:
// each has its file, holding the state at 0.0009, where they used to be missing.
TEST(RunEnd, HostLoopWritesTheOutputPointsItsFirstStepPasses) {
  FEMDynamic fem;
  fem.newManagers();
  const deckcase::fs::path folder = deckcase::scratchFolder("passed_points_host");
  std::ofstream(folder / "deck.k") << "*KEYWORD\n" << flyingBlock(motiondeck::termination(0.005)) << "*END\n";
  fem.work_path = (folder / "work").string();
  deckcase::fs::create_directories(fem.work_path);
  ASSERT_EQ(readKeywordDeck(&fem, (folder / "deck.k").string()), 1);
  fem.timeControl->output_interval = 2e-4;
  ASSERT_EQ(preprocessModel(&fem), 1);
  fem.host_path_flag = 1;
  double contactTime = 0.0, outputTime = 0.0;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(femDynaAnalyCpu(&fem, &contactTime, &outputTime));
  testing::internal::GetCapturedStdout();
  const auto files = deckcase::vtkFiles(fem.work_path);
  ASSERT_EQ(files.size(), 23u);  // 0, the state at 0.0009 for 0.0002-0.0008, 0.001, 0.0012, ..., 0.005
  EXPECT_NEAR(vtkTime(files[1]), 0.0009, 1e-12);
  for (std::size_t k = 2; k < files.size(); ++k) EXPECT_GT(vtkTime(files[k]), vtkTime(files[k - 1])) << k;
}

}  // namespace

namespace {

// The Taylor bar of the examples (copper on a rigid wall, units mm, ms, kg)
// at 5 km/s instead of 227 m/s, with the given termination card fields
// after the end time 0.08.
std::string fastTaylorBar(const std::string& terminationFields, const std::string& modulus = "117") {
  std::string deck = deckcase::readText(deckcase::fs::path(FEM_SOURCE_DIR) / "examples/taylor_bar/taylor_bar.k");
  deck.replace(deck.find("      -227"), 10, "     -5000");
  const std::size_t card = deck.find("*CONTROL_TERMINATION\n") + 21;
  deck.replace(card, deck.find('\n', card) - card, "      0.08" + terminationFields);
  deck.replace(deck.find("       117"), 10, std::string(10 - modulus.size(), ' ') + modulus);
  if (deck.rfind("*KEYWORD\n", 0) == 0) deck.erase(0, 9);
  if (deck.size() >= 5 && deck.compare(deck.size() - 5, 5, "*END\n") == 0) deck.erase(deck.size() - 5);
  return deck;
}

void expectStoppedOnStep(const Outcome& o, const std::string& message) {
  EXPECT_EQ(o.code, 1) << o.console;
  EXPECT_NE(o.console.find(message), std::string::npos) << o.console;
  EXPECT_EQ(o.console.find("Calculation completed"), std::string::npos);
  EXPECT_EQ(lastLine(o.console), "The run of " + (o.work.parent_path() / "deck.k").string() +
                                     " stopped before its end; see the message above.");
  EXPECT_NE(record(o).find(message), std::string::npos) << record(o);
}

// The bar crushed at 5 km/s: its elements flatten and the step falls by
// orders of magnitude (to 1e-22 and on, for ever, before).  Without DTMIN
// the run stops below a millionth of the first step; with DTMIN below that
// share of it; both name the element, the time and the cycle.
TEST(RunEnd, CollapsingStepStopsTheRun) {
  expectStoppedOnStep(runDeck("collapse", fastTaylorBar("")),
                      "has fallen below 1e-06 (no DTMIN given) times the first step");
  const Outcome o = runDeck("collapse_dtmin", fastTaylorBar("         0       0.2"));
  expectStoppedOnStep(o, "has fallen below DTMIN 0.2 times the first step");
  EXPECT_NE(o.console.find(" at time "), std::string::npos);
  EXPECT_NE(o.console.find(", cycle "), std::string::npos);
  EXPECT_NE(o.console.find("; element "), std::string::npos);
}

// A modulus 1e30 times too large gives a first step of about 1e-19: the
// run would never reach its end time, and stops at once naming the element.
TEST(RunEnd, FirstStepThatCannotReachTheEndTimeStopsTheRun) {
  expectStoppedOnStep(runDeck("absurd_modulus", fastTaylorBar("", "1.17e32")),
                      "cycles to reach the end time 0.08; element ");
  // 2.5e9 cycles: hours of computing, also stopped at once.
  expectStoppedOnStep(runDeck("stiff_modulus", fastTaylorBar("", "3.5e14")), "cycles to reach the end time 0.08");
  // Mass scaling towards a step of 1e30 would add some 1e65 times the
  // model's mass: stopped by ENDMAS (its default 1e8 %), naming the mass.
  expectStoppedOnStep(runDeck("mass_runaway", fastTaylorBar(""), "DT=1e30"),
                      "beyond *CONTROL_TERMINATION ENDMAS 1e+08 %");
}

// DTMIN must be a share of the first step: below 1 and not negative.
TEST(RunEnd, UnusableDtminIsRefused) {
  const Outcome o = runDeck("bad_dtmin", flyingBlock("*CONTROL_TERMINATION\n" + card({"0.001", "0", "1.5"})));
  EXPECT_EQ(o.code, 1) << o.console;
  EXPECT_NE(o.console.find("*CONTROL_TERMINATION: DTMIN 1.5 is not a number of at least 0 and below 1"),
            std::string::npos)
      << o.console;
}

}  // namespace

namespace {

// A node load whose curve value times its factor overflows: node 3 takes an
// infinite force in the first cycle.  The run stops there naming the node,
// the time and the cycle, where it used to write files full of "-nan" and
// report success; no file it leaves holds a value that is not a number.
TEST(RunEnd, NonFiniteNodeStateStopsTheRun) {
  const std::string deck = flyingBlock(motiondeck::termination(0.005)) +
                           motiondeck::curve(7, {{0.0, 1e300}, {1.0, 1e300}}) + "*LOAD_NODE_POINT\n" +
                           card({"3", "1", "7", "1e300"});
  const Outcome o = runDeck("non_finite", deck);
  expectStoppedOnStep(o, "Node 3 has a force that is not a finite number at time ");
  EXPECT_NE(o.console.find(", cycle 0."), std::string::npos) << o.console;
  for (const auto& file : deckcase::vtkFiles(o.work)) {
    const std::string text = deckcase::readText(file);
    EXPECT_EQ(text.find("nan"), std::string::npos) << file;
    EXPECT_EQ(text.find("inf"), std::string::npos) << file;
  }
}

// A tangent modulus at or above Young's modulus makes the hardening modulus
// E Et / (E - Et) infinite or negative, and the return mapping of every
// yielding point diverged (a line per point and cycle): the material is
// refused at set-up, naming it.
TEST(RunEnd, TangentModulusNotBelowYoungsModulusIsRefused) {
  for (const char* tangent : {"       117", "       200"}) {
    std::string deck = fastTaylorBar("");
    deck.replace(deck.find("       0.1", deck.find("*MAT_PLASTIC_KINEMATIC")), 10, tangent);
    const Outcome o = runDeck(std::string("tangent_") + (tangent + 7), deck);
    EXPECT_EQ(o.code, 1) << o.console;
    EXPECT_NE(o.console.find("Material 1"), std::string::npos) << o.console;
    EXPECT_NE(o.console.find("is not a finite number of at least 0 and below Young's modulus"), std::string::npos)
        << o.console;
    EXPECT_EQ(o.console.find("Calculation completed"), std::string::npos);
  }
}

// A step above the stable one (no card asks for one: the run's safe factor
// is raised after set-up) makes a free strip of shells pulled at one end
// swing ever wider: its kinetic energy grows far beyond anything its load
// gives: fast at 1.5 (stopped at the first look, cycle 10), slowly at 1.15
// (stopped at cycle 130, with five times the stable run's kinetic energy;
// the growth from look to look alone let it complete). The balance of the
// elements' work stops both, in both loops, with a message naming the time
// and the element with the smallest step; at the stable step (1.0) the
// strip completes.
DEVICE_TEST(RunEnd, KineticEnergyRunningAwayStopsTheRun) {
  std::string strip = "*NODE\n";
  for (int j = 0; j <= 1; ++j)
    for (int i = 0; i <= 4; ++i)
      strip += std::to_string(1 + i + 5 * j) + " " + motiondeck::num(0.1 * i) + " " + motiondeck::num(0.1 * j) + " 0\n";
  strip += "*ELEMENT_SHELL\n";
  for (int i = 1; i <= 4; ++i)
    strip += card({std::to_string(i), "1", std::to_string(i), std::to_string(i + 1), std::to_string(i + 6),
                   std::to_string(i + 5)},
                  8);
  strip += "*PART\nstrip\n" + card({"1", "1", "1"}) + "*SECTION_SHELL\n" + card({"1", "2", "", "2"}) + card({"0.005"}) +
           "*MAT_ELASTIC\n" + card({"1", "7850", "2.1e11", "0.3"}) + "*LOAD_NODE_POINT\n" +
           card({"5", "1", "0", "1000"}) + card({"10", "1", "0", "1000"}) + motiondeck::termination(0.01);
  for (double factor : {1.5, 1.15, 1.0})
    for (bool host : {false, true}) {
      SCOPED_TRACE(std::string(host ? "host loop" : "GPU loop") + ", safe factor " + motiondeck::num(factor));
      FEMDynamic fem;
      fem.newManagers();
      const deckcase::fs::path folder = deckcase::scratchFolder(std::string("energy_") + (host ? "host" : "gpu"));
      const std::string path = (folder / "deck.k").string();
      std::ofstream(path) << "*KEYWORD\n" << strip << "*END\n";
      fem.work_path = (folder / "work").string();
      deckcase::fs::create_directories(fem.work_path);
      ASSERT_EQ(readKeywordDeck(&fem, path), 1);
      ASSERT_EQ(preprocessModel(&fem), 1);
      fem.timeControl->safe_factor = factor;
      fem.host_path_flag = host ? 1 : 0;
      double contactTime = 0.0, outputTime = 0.0;
      testing::internal::CaptureStderr();
      const bool completed = host ? femDynaAnalyCpu(&fem, &contactTime, &outputTime)
                                  : femDynaAnalyParalle(&fem, &contactTime, &outputTime);
      const std::string message = testing::internal::GetCapturedStderr();
      EXPECT_EQ(completed, factor <= 1.0) << message;
      if (completed) continue;
      EXPECT_NE(message.find("The run stops at time "), std::string::npos) << message;
      EXPECT_NE(message.find("is more than 10 times what its initial energy"), std::string::npos) << message;
      EXPECT_NE(message.find("has the smallest step"), std::string::npos) << message;
    }
}

}  // namespace
