// A run on a machine without a usable GPU takes the host-only loop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "input/runSequence.h"
#include "tests/input/keywordTestDeck.h"
#include "platform/host/host_control.h"

namespace {

TEST(HostOnlyRun, NoDeviceRunsHostLoopAndReportsZeroGpus) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("impactfem_host_only_run_" + std::to_string(getpid()));
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
  EXPECT_NE(rec.str().find("Number of GPU:\t0\ncalculation completed\n"), std::string::npos) << rec.str();
  EXPECT_FALSE(std::filesystem::exists(dir / "work" / "history" / "log.txt"));
  std::filesystem::remove_all(dir);
}

}  // namespace
