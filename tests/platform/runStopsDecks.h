// Decks of runs that must stop with a message and exit status 1, and the
// checks both time loops must pass on them: materials the elements cannot
// use, a flattened and a collapsed element.  The caller chooses the loop
// through the function that runs a deck.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "input/runSequence.h"

namespace runstops {

enum class SecondCube { Sound, Flat, Collapsed };

// Two unit cubes side by side, elements 3 and 7, one part, with the given
// material block; element 7 sound, flattened (its upper nodes pressed into
// its lower face) or collapsed into one point.
inline std::string twoCubeDeck(const std::string& material, SecondCube second = SecondCube::Sound) {
  std::string deck = "*KEYWORD\n*NODE\n";
  const char* xyz[12] = {"0 0 0", "1 0 0", "0 1 0", "1 1 0", "0 0 1", "1 0 1",
                         "0 1 1", "1 1 1", "2 0 0", "2 1 0", "2 0 1", "2 1 1"};
  if (second == SecondCube::Flat) {  // nodes 11, 12, 6, 8 pressed into the lower face
    xyz[10] = "2 0 0";
    xyz[11] = "2 1 0";
    xyz[5] = "1 0 0";
    xyz[7] = "1 1 0";
  }
  if (second == SecondCube::Collapsed) {  // nodes 9-12 onto node 2; 4, 6, 8 moved there too
    for (int i : {8, 9, 10, 11, 3, 5, 7}) xyz[i] = "1 0 0";
  }
  for (int i = 0; i < 12; ++i) deck += std::to_string(i + 1) + " " + xyz[i] + "\n";
  deck += "*ELEMENT_SOLID\n3 1 1 2 4 3 5 6 8 7\n7 1 2 9 10 4 6 11 12 8\n";
  deck += "*PART\ncubes\n         1         1         1\n*SECTION_SOLID\n         1         1\n";
  deck += material;
  deck += "*CONTROL_TERMINATION\n     1e-05\n*END\n";
  return deck;
}

inline const char* kSteel = "*MAT_ELASTIC\n         1    7850.0   2.1e+11       0.3\n";

struct RunResult {
  int code = 0;
  std::string out, err;
};

// Runs the program on the deck text written as dir/deck.k, with the work
// folder dir/work and the console and the error stream captured; the folder
// is left for the caller.
inline RunResult runDeckIn(const std::filesystem::path& dir, const std::string& deckText) {
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "deck.k") << deckText;
  std::string inp = "INP=" + (dir / "deck.k").string();
  std::string wd = "WD=" + (dir / "work").string();
  std::string program = "impactfem";
  std::vector<char*> argv = {program.data(), inp.data(), wd.data()};
  RunResult r;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  r.code = runImpactfem(static_cast<int>(argv.size()), argv.data());
  r.err = testing::internal::GetCapturedStderr();
  r.out = testing::internal::GetCapturedStdout();
  return r;
}

// The same in a scratch folder of its own, removed afterwards.
inline RunResult runDeck(const std::string& deckText) {
  // The process id keeps test programs that run at the same time apart.
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("impactfem_run_stops_" + std::to_string(getpid()) + "_" +
                                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  RunResult r = runDeckIn(dir, deckText);
  std::filesystem::remove_all(dir);
  return r;
}

using DeckRunner = std::function<RunResult(const std::string&)>;

// Blank or "nan" density, zero modulus, Poisson ratio 0.5: the material is
// named and the model refused before any set-up succeeds ("nan" already by
// the reader: it is not a number).
inline void checkMaterialsAreRefused(const DeckRunner& run) {
  struct Case {
    const char* card;
    const char* who;
    const char* problem;
  };
  const Case cases[] = {
      {"         1             2.1e+11       0.3\n",
       "Material 1 (part 1): ", "density 0 is not a positive finite number"},
      {"         1       nan   2.1e+11       0.3\n", "\"*MAT_ELASTIC\", line 24, field 2: ", "\"nan\" is not a number"},
      {"         1    7850.0         0       0.3\n",
       "Material 1 (part 1): ", "Young's modulus 0 is not a positive finite number"},
      {"         1    7850.0   2.1e+11       0.5\n",
       "Material 1 (part 1): ", "Poisson ratio 0.5 is not a finite number between -1 and 0.5"},
  };
  for (const Case& c : cases) {
    const RunResult r = run(twoCubeDeck(std::string("*MAT_ELASTIC\n") + c.card));
    EXPECT_EQ(r.code, 1) << c.card;
    EXPECT_NE(r.err.find(c.who), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.problem), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("initialComputeCpu success!"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Calculation completed"), std::string::npos) << r.out;
  }
}

// A flattened element has a step of zero, a collapsed one no step at all
// (0 / 0): the loop stops at once and names it, where it used to loop for
// ever without a word or take a huge first step and report success.
inline void checkElementsWithoutAStepStopTheRun(const DeckRunner& run) {
  const RunResult flat = run(twoCubeDeck(kSteel, SecondCube::Flat));
  EXPECT_EQ(flat.code, 1);
  EXPECT_NE(flat.err.find("is not a positive number; element 7 has the smallest step (0)"), std::string::npos)
      << flat.err;
  EXPECT_EQ(flat.out.find("Calculation completed"), std::string::npos);
  const RunResult collapsed = run(twoCubeDeck(kSteel, SecondCube::Collapsed));
  EXPECT_EQ(collapsed.code, 1);
  EXPECT_NE(collapsed.err.find("is not a positive number; element 7 has the smallest step ("), std::string::npos)
      << collapsed.err;
  EXPECT_NE(collapsed.err.find("nan)"), std::string::npos) << collapsed.err;
  EXPECT_EQ(collapsed.out.find("Calculation completed"), std::string::npos);
}

// The two cubes with element 7 driven inside out: its nodes 11 and 12 (of
// no other element) start at 1e5 downwards and pass its lower face within
// the first steps.  The run must stop naming element 7 rather than go on
// with no force from it, or with the force of its mirror image, and report
// success.
inline std::string crushedCubeDeck() {
  std::string deck = twoCubeDeck(kSteel);
  deck.replace(deck.find("     1e-05"), 10, "     1e-03");
  deck.insert(deck.find("*END"),
              "*INITIAL_VELOCITY_NODE\n"
              "        11       0.0       0.0    -1.0e5\n"
              "        12       0.0       0.0    -1.0e5\n");
  return deck;
}

inline void checkInvertedElementStopsTheRun(const DeckRunner& run) {
  const RunResult r = run(crushedCubeDeck());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("The run stops: element 7 is turned inside out"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Calculation completed"), std::string::npos);
  // The report is forgotten with the run: the next one completes.
  EXPECT_EQ(run(twoCubeDeck(kSteel)).code, 0);
}

}  // namespace runstops
