// Runs that cannot go on end with a message and exit status 1 instead of
// hanging or reporting success: materials the elements cannot use, a step
// that is not a positive number (both loops), and the host loop over a part
// whose material has no model.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "input/runSequence.h"
#include "platform/host/host_control.h"

namespace {

enum class SecondCube { Sound, Flat, Collapsed };

// Two unit cubes side by side, elements 3 and 7, one part, with the given
// material block; element 7 sound, flattened (its upper nodes pressed into
// its lower face) or collapsed into one point.
std::string twoCubeDeck(const std::string& material, SecondCube second = SecondCube::Sound) {
  std::string deck = "*KEYWORD\n*NODE\n";
  const char* xyz[12] = {"0 0 0", "1 0 0", "0 1 0", "1 1 0", "0 0 1", "1 0 1", "0 1 1", "1 1 1",
                         "2 0 0", "2 1 0", "2 0 1", "2 1 1"};
  for (int i = 0; i < 12; ++i) deck += std::to_string(i + 1) + " " + xyz[i] + "\n";
  if (second == SecondCube::Flat) deck += "11 2 0 0\n12 2 1 0\n6 1 0 0\n8 1 1 0\n";
  if (second == SecondCube::Collapsed) {  // nodes 9-12 onto node 2; 4, 6, 8 moved there too
    deck += "9 1 0 0\n10 1 0 0\n11 1 0 0\n12 1 0 0\n4 1 0 0\n6 1 0 0\n8 1 0 0\n";
  }
  deck += "*ELEMENT_SOLID\n3 1 1 2 4 3 5 6 8 7\n7 1 2 9 10 4 6 11 12 8\n";
  deck += "*PART\ncubes\n         1         1         1\n*SECTION_SOLID\n         1         1\n";
  deck += material;
  deck += "*CONTROL_TERMINATION\n     1e-05\n*END\n";
  return deck;
}

const char* kSteel = "*MAT_ELASTIC\n         1    7850.0   2.1e+11       0.3\n";

struct RunResult {
  int code = 0;
  std::string out, err;
};

RunResult runDeck(const std::string& deckText, bool hostOnly) {
  // The process id keeps test programs that run at the same time apart.
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("impactfem_run_stops_" + std::to_string(getpid()) + "_" +
       std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "deck.k") << deckText;
  std::string inp = "INP=" + (dir / "deck.k").string();
  std::string wd = "WD=" + (dir / "work").string();
  std::string program = "impactfem";
  std::vector<char*> argv = {program.data(), inp.data(), wd.data()};
  if (hostOnly) gpu_host::setDeviceTable({});
  RunResult r;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  r.code = runImpactfem(static_cast<int>(argv.size()), argv.data());
  r.err = testing::internal::GetCapturedStderr();
  r.out = testing::internal::GetCapturedStdout();
  gpu_host::resetDeviceTable();
  std::filesystem::remove_all(dir);
  return r;
}

// Blank or "nan" density, zero or missing modulus, Poisson ratio 0.5: the
// material is named and the model refused before any set-up succeeds.
TEST(RunStops, MaterialsTheElementsCannotUseAreRefused) {
  struct Case {
    const char* card;
    const char* problem;
  };
  const Case cases[] = {
      {"         1                 2.1e+11       0.3\n", "density 0 is not a positive finite number"},
      {"         1       nan   2.1e+11       0.3\n", "is not a positive finite number"},
      {"         1    7850.0         0       0.3\n", "Young's modulus 0 is not a positive finite number"},
      {"         1    7850.0   2.1e+11       0.5\n", "Poisson ratio 0.5 is not a finite number between -1 and 0.5"},
  };
  for (const Case& c : cases) {
    for (bool hostOnly : {false, true}) {
      const RunResult r = runDeck(twoCubeDeck(std::string("*MAT_ELASTIC\n") + c.card), hostOnly);
      EXPECT_EQ(r.code, 1) << c.card;
      EXPECT_NE(r.err.find("Material 1 (part 1): "), std::string::npos) << r.err;
      EXPECT_NE(r.err.find(c.problem), std::string::npos) << r.err;
      EXPECT_EQ(r.out.find("initialComputeCpu success!"), std::string::npos) << r.out;
      EXPECT_EQ(r.out.find("Calculation completed"), std::string::npos) << r.out;
    }
  }
}

// A flattened element has a step of zero: both loops stop at once and name
// it, where they used to loop for ever without a word.  A collapsed one has
// no step at all (0 / 0): it stops both loops too, where the host loop took
// a huge first step and reported success.
TEST(RunStops, ZeroStepStopsBothLoopsNamingTheElement) {
  for (bool hostOnly : {false, true}) {
    const RunResult r = runDeck(twoCubeDeck(kSteel, SecondCube::Flat), hostOnly);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("is not a positive number; element 7 has the smallest step (0)"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("Calculation completed"), std::string::npos);
    const RunResult c = runDeck(twoCubeDeck(kSteel, SecondCube::Collapsed), hostOnly);
    EXPECT_EQ(c.code, 1) << (hostOnly ? "host" : "gpu") << c.out << c.err;
    EXPECT_NE(c.err.find("is not a positive number; element 7 has the smallest step (-nan)"), std::string::npos)
        << c.err;
    EXPECT_EQ(c.out.find("Calculation completed"), std::string::npos);
  }
  const RunResult sound = runDeck(twoCubeDeck(kSteel), false);
  EXPECT_EQ(sound.code, 0) << sound.err;
  EXPECT_NE(sound.out.find("initialComputeSingleGpu success!"), std::string::npos);
  EXPECT_NE(sound.out.find("Calculation completed"), std::string::npos);
}

// A part whose material has no model object (a spot-weld card on solids)
// takes no part in the host loop, as on the GPU, instead of crashing it.
TEST(RunStops, HostLoopSkipsPartWithoutMaterialModel) {
  const std::string weld = "*MAT_SPOTWELD\n         1    7850.0   2.1e+11       0.3\n";
  const RunResult r = runDeck(twoCubeDeck(weld), true);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Calculation completed"), std::string::npos) << r.out;
}

}  // namespace
