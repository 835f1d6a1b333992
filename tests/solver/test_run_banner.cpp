#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/logErrorPrint.h"
#include "solver/runBanner.h"

namespace {

TEST(RunSummary, ExactLines) {
  std::ostringstream out;
  writeRunSummary(out, 1.5, 0.25, 0.125, 1, 42, "GPU 0 (A, compute capability 8.6)", 1);
  EXPECT_EQ(out.str(),
            "calculate time:\t1.5\niteration number:\t42\nContact cal time:\t0.25\nOutput data time:\t0.125\n"
            "computed on:\tGPU 0 (A, compute capability 8.6)\nNumber of GPU:\t1\ncalculation completed\n\n");
}

TEST(RunSummary, RunWithoutCyclesAndErrorStatus) {
  std::ostringstream out;
  writeRunSummary(out, 1234567.0, 0.0, 1e-7, 0, 0, "the host loop on the CPU", 0);
  EXPECT_EQ(
      out.str(),
      "calculate time:\t1.23457e+06\nNot an iterative solution !\nContact cal time:\t0\nOutput data time:\t1e-07\n"
      "computed on:\tthe host loop on the CPU\nNumber of GPU:\t0\ncalculation error\n\n");
}

TEST(RunBanner, TimeWithoutZeroPadding) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 7;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 3;
  EXPECT_EQ(formatBannerTime(t), "2026-1-7 9:5:3");
}

TEST(RunBanner, LinesInOrder) {
  std::ostringstream out;
  writeRunBanner(out, "deck.k", "work", "/bin/impactfem", "the host loop on the CPU");
  std::istringstream in(out.str());
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "Release mode!");
  EXPECT_EQ(lines[2], "Program execution file:\t/bin/impactfem");
  EXPECT_EQ(lines[3], "current time:");
  EXPECT_NE(lines[4].find('-'), std::string::npos);
  EXPECT_NE(lines[4].find(':'), std::string::npos);
  EXPECT_EQ(lines[5], "input file:\tdeck.k");
  EXPECT_EQ(lines[6], "output path:\twork");
  EXPECT_EQ(lines[7], "computed on:\tthe host loop on the CPU");
}

TEST(RunBanner, TwoRunsAppendTwoBannersAndSummaries) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("impactfem_banner_test_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::filesystem::path record = dir / "history_record.txt";
  for (int run = 0; run < 2; ++run) {
    g_runRecord.open(record, std::ios::out | std::ios::app);
    ASSERT_TRUE(g_runRecord.is_open());
    printRunBanner("a.k", dir.string(), "impactfem", "the host loop on the CPU");
    printRunSummary(0.5, 0.0, 0.0, 1, run, "the host loop on the CPU", 0);
    g_runRecord.close();
  }
  std::ifstream in(record);
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  auto count = [&s](const std::string& what) {
    int n = 0;
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("Release mode!"), 2);
  EXPECT_EQ(count("calculation completed"), 2);
  EXPECT_EQ(count("Not an iterative solution !"), 1);
  EXPECT_LT(s.find("Not an iterative solution !"), s.find("iteration number:\t1"));
  // Without an open record nothing is written and nothing fails.
  printRunSummary(0.5, 0.0, 0.0, 1, 3, "the host loop on the CPU", 0);
  std::filesystem::remove_all(dir);
}

}  // namespace
