// The program run as a process: prompts, run record, exit codes.
#include <unistd.h>
#include "tests/deviceTest.h"
#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/input/keyword/keywordTestDeck.h"
#include "tests/decks/deckCase.h"

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
           ("impactfem_program_" + std::to_string(getpid()) + "_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
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
    const std::string command =
        "cd '" + dir_.string() + "' && '" + FEM_PROGRAM + "' " + args + " < stdin.txt > stdout.txt 2> stderr.txt";
    const int status = std::system(command.c_str());
    out_ = deckcase::readText(dir_ / "stdout.txt");
    err_ = deckcase::readText(dir_ / "stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string record() { return deckcase::readText(dir_ / "work" / "history" / "history_record.txt"); }

  std::filesystem::path dir_;
  std::string out_, err_;
};

DEVICE_TEST_F(ProgramRun, PromptsWithoutArguments) {
  EXPECT_EQ(run("", "nodes.k work\n"), 0) << err_;
  EXPECT_EQ(out_.rfind("please input calculation file\nplease input work path\n", 0), 0u) << out_;
  EXPECT_NE(out_.find("Calculation completed"), std::string::npos);
  const std::string rec = record();
  EXPECT_NE(rec.find("input file:\tnodes.k\noutput path:\twork\n"), std::string::npos);
  EXPECT_NE(rec.find("iteration number:\t4\n"), std::string::npos) << rec;  // the last step ends at 0.0035
  EXPECT_NE(rec.find("calculation completed\n"), std::string::npos);
}

DEVICE_TEST_F(ProgramRun, RunRecordAndProgressLogInHistoryFolder) {
  ASSERT_EQ(run("INP=nodes.k WD=work"), 0) << err_;
  ASSERT_EQ(run("WD=work INP=nodes.k"), 0) << err_;
  const std::string rec = record();
  EXPECT_EQ(countOf(rec, "Release mode!\n"), 2);
  EXPECT_EQ(countOf(rec, "calculation completed\n"), 2);
  // The host build's emulated GPU computes: no real GPU.
  EXPECT_NE(rec.find("computed on:\tthe CPU (this build emulates the GPU; "), std::string::npos) << rec;
  EXPECT_NE(rec.find("Number of GPU:\t0\n"), std::string::npos);
  // The second run started the progress log afresh.
  EXPECT_EQ(countOf(deckcase::readText(dir_ / "work" / "history" / "log.txt"), "Calculate file: \tnodes.k\n"), 1);
  EXPECT_NE(out_.find("Total calculate time: "), std::string::npos);
  EXPECT_NE(out_.find("\nNumber of iterations: 4\n"), std::string::npos);
}

// Each row: arguments refused before the run starts, the exit status and
// what the console says. Nothing is left behind: no folder, no lock file.
TEST_F(ProgramRun, RefusedBeforeItStartsLeavesNothing) {
  const struct {
    const char* args;
    int status;
    const char* says;
  } rows[] = {
      {"--help", 0, "Usage: impactfem INP=<deck> [WD=<work folder>] [KEY=value ...]\n"},
      {"INP=nodes.k -h", 0, "\nExample: impactfem INP="},
      {"nodes.k", 2, "Usage: impactfem"},
      {"INP=nodes.k WD=work -v", 2, "Command-line argument refused: -v: not KEY=value"},
      {"INP=nodes.k WD=work dt=1e-5", 2, "unknown key \"dt\" (keys are upper case: DT=)"},
      {"INP=nodes.k WD=work NGPU=x", 2, "refused: NGPU=x: the value is not one whole number"},
      {"INP=nodes.k WD=work OT=1e-5s", 2, "refused: OT=1e-5s: the value is not one decimal number"},
      {"WD=work", 2, "Command-line argument refused: no deck is given (INP=<deck>)."},
      {"INP=nodes.txt WD=work", 1, "The run is refused: the deck nodes.txt has the extension \"txt\""},
      {"INP=/dev/null WD=work", 1, "The run is refused: the deck /dev/null has no extension; expected k"},
      {"INP=missing.k WD=work", 1, "The run is refused: the deck missing.k does not exist."},
  };
  std::filesystem::create_directory(dir_ / "folder.k");
  for (const auto& row : rows) {
    EXPECT_EQ(run(row.args), row.status) << row.args;
    EXPECT_NE((out_ + err_).find(row.says), std::string::npos) << row.args << "\n" << out_ << err_;
    EXPECT_EQ(out_.find("Calculation completed"), std::string::npos) << row.args;
    for (const char* left : {"work", "history", ".impactfem.lock", "temp"}) {
      EXPECT_FALSE(std::filesystem::exists(dir_ / left)) << row.args << ": " << left;
    }
  }
  EXPECT_EQ(run("INP=folder.k WD=work"), 1);
  EXPECT_NE(err_.find("The run is refused: the deck folder.k is not a file."), std::string::npos) << err_;
}

// Each row: a deck refused once its work folder is made. The run record
// ends with the reason the console was given, once, and "calculation error".
TEST_F(ProgramRun, RefusedAfterTheFolderIsMadeRecordsWhy) {
  std::string foam = deckcase::readText(std::filesystem::path(FEM_SOURCE_DIR) / "tests/decks/inp_bar/deck.inp");
  foam.replace(foam.find("*Elastic"), 21,
               "*Low Density Foam\n*Uniaxial Compression\n0.1,0.1\n*Uniaxial Tension\n0.1,0.1");
  const std::string cube = "*KEYWORD\n*CONTROL_TERMINATION\n0.0\n" + cubeModelCards() + "*END\n";
  for (const auto& [name, deck, says] :
       std::vector<std::array<std::string, 3>>{{"empty.k", "", "Keyword deck refused: the deck defines no nodes"},
                                               {"end0.k", cube, "no end time"},
                                               {"include.k", "*INCLUDE\nother.k\n" + cube,
                                                "\"*INCLUDE\" includes \"other.k\""},
                                               {"foam.inp", foam, "material 1 is a low-density foam"}}) {
    std::ofstream(dir_ / name) << deck;
    EXPECT_EQ(run("INP=" + name + " WD=work"), 1) << name;
    const std::string rec = record(), end = rec.substr(rec.rfind("computed on:"));
    EXPECT_EQ(countOf(end, says), 1) << rec;
    EXPECT_EQ(end.substr(end.size() - 19), "calculation error\n\n") << rec;
  }
}

}  // namespace
