// A run on a machine without a usable GPU takes the host-only loop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "input/runSequence.h"
#include "tests/input/keyword/keywordTestDeck.h"
#include "tests/deviceTest.h"
#include "tests/platform/runStopsDecks.h"
#include "platform/host/hostControl.h"

namespace {

TEST(HostOnlyRun, NoDeviceRunsHostLoopAndReportsZeroGpus) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("impactfem_host_only_run_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::filesystem::path deck = dir / "nodes.k";
  std::ofstream(deck) << "*KEYWORD\n*CONTROL_TERMINATION\n    0.0035\n" + cubeModelCards() + "*END\n";
  std::string inp = "INP=" + deck.string();
  std::string wd = "WD=" + (dir / "work").string();
  std::string program = "impactfem";
  std::vector<char*> argv = {program.data(), inp.data(), wd.data()};

  gpu_host::setDeviceTable({});
  testing::internal::CaptureStdout();
  const int code = runImpactfem(static_cast<int>(argv.size()), argv.data());
  const std::string out = testing::internal::GetCapturedStdout();
  gpu_host::resetDeviceTable();

  EXPECT_EQ(code, 0);
  EXPECT_EQ(out.find("initialComputeSingleGpu"), std::string::npos);  // no GPU pass ran
  EXPECT_NE(out.find("No GPU qualifies for the run: the model runs in the host loop on the CPU."), std::string::npos);
  EXPECT_NE(out.find("Calculation completed"), std::string::npos);
  std::ifstream in(dir / "work" / "history" / "history_record.txt");
  std::stringstream rec;
  rec << in.rdbuf();
  // The one cube iterates in the host loop until the end time.
  EXPECT_NE(rec.str().find("iteration number:\t"), std::string::npos) << rec.str();
  EXPECT_NE(rec.str().find("computed on:\tthe host loop on the CPU\nNumber of GPU:\t0\ncalculation completed\n"),
            std::string::npos)
      << rec.str();
  EXPECT_FALSE(std::filesystem::exists(dir / "work" / "history" / "log.txt"));
  std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

// The program run in-process with no device on a deck in a fresh folder,
// which is left for the checks.
runstops::RunResult runHostOnly(const std::filesystem::path& dir, const std::string& deckText) {
  gpu_host::setDeviceTable({});
  runstops::RunResult r = runstops::runDeckIn(dir, deckText);
  gpu_host::resetDeviceTable();
  return r;
}

// A rigid cube (no element gives a step) flying at 2 along x for 0.01: the
// host loop takes the GPU loop's first step of 0.001 and moves it to x = 0.02,
// where it used to take a step of 1000, do no cycle and report success.  The
// first step passes the output points 0.0001 to 0.0009 (the interval is the
// end time / 100): each has its file, with the state at 0.001, and the run
// record names them, where they used to be missing without a word; every
// other point has its own state, the last at the end time.  The GPU loop
// (capped at 0.001) names the points its steps pass as well.
void checkRigidCubeRun(bool hostOnly, std::size_t files) {
  std::string nodes = "*NODE\n";
  for (int k = 0; k < 8; ++k)
    nodes += std::to_string(k + 1) + " " + std::to_string(k & 1) + " " + std::to_string((k >> 1) & 1) + " " +
             std::to_string(k >> 2) + "\n";
  const std::string deck = "*KEYWORD\n" + nodes + "*ELEMENT_SOLID\n" +
                           card({"1", "1", "1", "2", "4", "3", "5", "6", "8", "7"}, 8) + "*PART\nbody\n" +
                           card({"1", "1", "1"}) + "*SECTION_SOLID\n" + card({"1", "1"}) + "*MAT_RIGID\n" +
                           card({"1", "7850.0", "2.1e11", "0.3"}) + "*CONTROL_TERMINATION\n" + card({"0.01"}) +
                           "*INITIAL_VELOCITY\n" + card({"0"}) + card({"2.0"}) + "*END\n";
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("impactfem_host_only_rigid_" + std::to_string(getpid()));
  const runstops::RunResult r = hostOnly ? runHostOnly(dir, deck) : runstops::runDeckIn(dir, deck);
  const std::filesystem::path work = dir / "work";
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.find("No GPU qualifies for the run") != std::string::npos, hostOnly);
  EXPECT_EQ(r.out.substr(r.out.size() - 22), "Calculation completed\n") << r.out;
  std::ifstream in(work / "history" / "history_record.txt");
  std::stringstream rec;
  rec << in.rdbuf();
  EXPECT_EQ(rec.str().find("Not an iterative solution !"), std::string::npos) << rec.str();
  // Each output time is written once, the points the first step passes by the state it reaches (named in the
  // record), the last at 0.01 with the cube moved by 0.02.
  std::vector<std::string> zones;
  std::string lastFile;
  for (int k = 0;; ++k) {
    const std::filesystem::path f =
        work / (k == 0 ? std::string("result.vtk") : "result_" + std::to_string(k) + ".vtk");
    if (!std::filesystem::exists(f)) break;
    std::ifstream vtk(f);
    std::string line;
    std::getline(vtk, line);
    std::getline(vtk, line);
    zones.push_back(line);
    std::stringstream all;
    all << vtk.rdbuf();
    lastFile = all.str();
  }
  ASSERT_EQ(zones.size(), files);
  EXPECT_EQ(zones.back(), "zone 0.01");
  for (std::size_t k = 1; k < zones.size(); ++k) EXPECT_NE(zones[k], zones[k - 1]) << k;
  EXPECT_NE(rec.str().find("Output points 0.0001, 0.0002, 0.0003, 0.0004, 0.0005, 0.0006, 0.0007, 0.0008, 0.0009 "
                           "lie within the step from 0 to 0.001: written with the state at time 0.001.\n"),
            std::string::npos)
      << rec.str();
  const std::size_t points = lastFile.find("POINTS 8 double\n");
  ASSERT_NE(points, std::string::npos);
  EXPECT_NEAR(std::stod(lastFile.substr(points + 16)), 0.02, 1e-12);
  std::filesystem::remove_all(dir);
}

TEST(HostOnlyRun, RigidModelMovesToTheEndTime) { checkRigidCubeRun(true, 92u); }
DEVICE_TEST(GpuLoopRun, RigidModelMovesToTheEndTime) { checkRigidCubeRun(false, 11u); }

}  // namespace
