// Result files whose writes are checked: a file written at one output point
// appears only whole, a growing file keeps its whole blocks, and a failure
// asks the run to stop naming the file and the reason.
#include <unistd.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/checkedFile.h"
#include "core/runStop.h"
#include "tests/decks/deckCase.h"

namespace {

namespace fs = std::filesystem;

class CheckedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRunStop();
    dir_ = fs::temp_directory_path() / ("impactfem_checked_" + std::to_string(getpid()) + "_" +
                                        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (limited_) {
      setrlimit(RLIMIT_FSIZE, &saved_);
      signal(SIGXFSZ, SIG_DFL);
    }
    resetRunStop();
    fs::remove_all(dir_);
  }
  // Files of this process may grow to at most `bytes`; a longer write fails
  // with EFBIG (the signal it would send is ignored).
  void limitFileSize(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, saved_.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    limited_ = true;
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
  rlimit saved_{};
  bool limited_ = false;
};

TEST_F(CheckedFileTest, ReplaceFileAppearsOnlyWholeUnderItsName) {
  std::ofstream(path("end.plt")) << "the earlier state\n";
  CheckedFile file(path("end.plt"), FileMode::Replace);
  file << "variables=\"x\"\n" << 1.5 << '\n';
  file.flush();
  EXPECT_EQ(deckcase::readText(path("end.plt")), "the earlier state\n");
  EXPECT_TRUE(fs::exists(partialFileName(path("end.plt"))));
  EXPECT_TRUE(file.close());
  EXPECT_EQ(deckcase::readText(path("end.plt")), "variables=\"x\"\n1.5\n");
  EXPECT_FALSE(fs::exists(partialFileName(path("end.plt"))));
  EXPECT_FALSE(runStopRequested());
}

TEST_F(CheckedFileTest, FailedReplaceFileKeepsTheEarlierOneAndNamesItself) {
  std::ofstream(path("end.plt")) << "the earlier state\n";
  limitFileSize(4096);
  CheckedFile file(path("end.plt"), FileMode::Replace);
  const std::string block(10000, 'x');
  file.writeBytes(block.data(), block.size());
  EXPECT_FALSE(file.close());
  EXPECT_EQ(deckcase::readText(path("end.plt")), "the earlier state\n");
  EXPECT_FALSE(fs::exists(partialFileName(path("end.plt"))));
  ASSERT_TRUE(runStopRequested());
  EXPECT_EQ(runStopSignal(), 0);
  EXPECT_EQ(runStopMessage(), "cannot write " + path("end.plt") + ": File too large");
}

// A history file grows by one block per output point; the block that does
// not fit is cut off, the blocks before it stay.
TEST_F(CheckedFileTest, GrowingFileIsCutBackToItsLastWholeBlock) {
  const std::string first = "1.000000e-03\t2.000000e+00\n";
  {
    CheckedFile file(path("contact_file_a.txt"), FileMode::Fresh);
    file << first;
    EXPECT_TRUE(file.close());
  }
  limitFileSize(first.size() + 100);
  CheckedFile file(path("contact_file_a.txt"), FileMode::Append);
  for (int line = 0; line < 20; ++line) file << "2.000000e-03\t3.000000e+00\n";
  EXPECT_FALSE(file.close());
  EXPECT_EQ(deckcase::readText(path("contact_file_a.txt")), first);
  EXPECT_NE(runStopMessage().find("cannot write " + path("contact_file_a.txt") + ": File too large"),
            std::string::npos);
  // The first failure is the one reported.
  CheckedFile other(path("other.txt"), FileMode::Fresh);
  other << std::string(1000, 'y') << std::endl;
  EXPECT_EQ(runStopMessage().find("other.txt"), std::string::npos);
}

TEST_F(CheckedFileTest, EveryLineFlushedIsWholeOnAFullDevice) {
  CheckedFile log("/dev/full", FileMode::Append);
  ASSERT_TRUE(log.is_open());
  log << "Calculate file: \tdeck.k" << std::endl;
  EXPECT_FALSE(log.good());
  EXPECT_EQ(runStopMessage(), "cannot write /dev/full: No space left on device");
}

TEST_F(CheckedFileTest, FileThatCannotBeOpenedAndFolderThatIsAFile) {
  CheckedFile file(path("missing/result.vtk"), FileMode::Replace);
  EXPECT_FALSE(file.is_open());
  EXPECT_FALSE(file.close());
  EXPECT_NE(runStopMessage().find("cannot open " + path("missing/result.vtk") + ": No such file"), std::string::npos)
      << runStopMessage();
  resetRunStop();
  std::ofstream(path("taken")) << "x";
  EXPECT_FALSE(ensureOutputFolder(path("taken")));
  EXPECT_EQ(runStopMessage().rfind("cannot create the folder " + path("taken") + ": ", 0), 0u) << runStopMessage();
  resetRunStop();
  EXPECT_TRUE(ensureOutputFolder(path("a/b")));
  EXPECT_TRUE(fs::is_directory(path("a/b")));
  EXPECT_FALSE(runStopRequested());
}

}  // namespace
