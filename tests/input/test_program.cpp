// The program run as a process: prompts, run record, exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "keywordTestDeck.h"
#include "tests/decks/deck_case.h"

namespace {

int countOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("impactfem_program_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::ofstream deck(dir_ / "nodes.k");
    deck << "*KEYWORD\n*CONTROL_TERMINATION\n    0.0035\n" + cubeModelCards() + "*END\n";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs the program in the test folder with the given arguments and
  // standard input; returns its exit status.
  int run(const std::string& args, const std::string& input = "") {
    std::ofstream(dir_ / "stdin.txt") << input;
    const std::string command = "cd '" + dir_.string() + "' && '" + FEM_PROGRAM + "' " + args +
                                " < stdin.txt > stdout.txt 2> stderr.txt";
    const int status = std::system(command.c_str());
    out_ = deckcase::readText(dir_ / "stdout.txt");
    err_ = deckcase::readText(dir_ / "stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string record() { return deckcase::readText(dir_ / "work" / "history" / "history_record.txt"); }

  std::filesystem::path dir_;
  std::string out_, err_;
};

TEST_F(ProgramRun, PromptsWithoutArguments) {
  EXPECT_EQ(run("", "nodes.k work\n"), 0) << err_;
  EXPECT_EQ(out_.rfind("please input calculation file\nplease input work path\n", 0), 0u) << out_;
  EXPECT_NE(out_.find("Calculation completed"), std::string::npos);
  const std::string rec = record();
  EXPECT_NE(rec.find("input file:\tnodes.k\noutput path:\twork\n"), std::string::npos);
  EXPECT_NE(rec.find("iteration number:\t4\n"), std::string::npos) << rec;  // the last step ends at 0.0035
  EXPECT_NE(rec.find("calculation completed\n"), std::string::npos);
}

TEST_F(ProgramRun, RunRecordAndProgressLogInHistoryFolder) {
  ASSERT_EQ(run("INP=nodes.k WD=work"), 0) << err_;
  ASSERT_EQ(run("WD=work INP=nodes.k"), 0) << err_;
  const std::string rec = record();
  EXPECT_EQ(countOf(rec, "Release mode!\n"), 2);
  EXPECT_EQ(countOf(rec, "calculation completed\n"), 2);
  EXPECT_NE(rec.find("Number of GPU:\t1\n"), std::string::npos);
  EXPECT_EQ(countOf(deckcase::readText(dir_ / "work" / "history" / "log.txt"), "Calculate file: \tnodes.k\n"), 4);
  EXPECT_NE(out_.find("Total calculate time: "), std::string::npos);
  EXPECT_NE(out_.find("\nNumber of iterations: 4\n"), std::string::npos);
}

TEST_F(ProgramRun, UnknownExtensionStopsWithoutCompletion) {
  EXPECT_NE(run("INP=nodes.txt WD=work"), 0);
  EXPECT_NE(err_.find("nodes.txt"), std::string::npos);
  EXPECT_EQ(out_.find("Calculation completed"), std::string::npos);
  const std::string rec = record();
  EXPECT_NE(rec.find("Release mode!"), std::string::npos);
  EXPECT_EQ(rec.find("calculation completed"), std::string::npos);
}

TEST_F(ProgramRun, MissingDeckStops) {
  EXPECT_NE(run("INP=missing.k WD=work"), 0);
  EXPECT_EQ(record().find("calculation completed"), std::string::npos);
}

TEST_F(ProgramRun, BadNumberStopsWithTheArgument) {
  EXPECT_NE(run("INP=nodes.k WD=work NGPU=x"), 0);
  EXPECT_NE(err_.find("NGPU=x"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "work"));
}

}  // namespace
