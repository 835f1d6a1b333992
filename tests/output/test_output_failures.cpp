// Runs of the program whose result files cannot be written (a full disk, a
// full device, a work folder that is a file) or that are interrupted: the run
// stops with exit status 1 (128 + the signal for an interrupt) and a last line
// naming the file or the signal, and every file it leaves is whole.
#include "tests/deviceTest.h"
#include <sys/mount.h>

#include <csignal>
#include <regex>

#include "tests/input/programProcess.h"

namespace {

namespace fs = std::filesystem;
using program::Child;
using program::Ended;

class ProgramFiles : public program::TestFolder {
 protected:
  ProgramFiles() : TestFolder("impactfem_files_") {}
  fs::path disk() const { return dir_ / "disk"; }
  void writeDeck(int n, double endTime) { std::ofstream(dir_ / "block.k") << program::flyingBlockDeck(n, endTime); }
  // A tmpfs of the given size where the test may mount one (root with the
  // right to mount); false elsewhere.
  bool mountSmallDisk(const char* size) {
    fs::create_directories(disk());
    if (mount("tmpfs", disk().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, size) != 0) return false;
    unmountAtEnd(disk());
    return true;
  }
  std::string record(const fs::path& work) { return deckcase::readText(work / "history" / "history_record.txt"); }
};

// The file a "cannot write <file>: <reason>." last line names.
std::string namedFile(const std::string& line) {
  std::smatch m;
  return std::regex_search(line, m, std::regex("cannot write (.*): [^:]*\\.$")) ? m[1].str() : std::string();
}

// A disk that fills up part-way through the run: a 512 KB tmpfs, about eight
// VTK files. Where none can be mounted every file of the run is limited to
// 50 KB instead: the deck's working copy (43 KB) and the first VTK file
// (42 KB) fit, the later ones (59-67 KB, longer numbers once the block
// moves) do not.
TEST_F(ProgramFiles, FullDiskStopsTheRunNamingTheFileAndLeavesEveryVtkFileWhole) {
  writeDeck(9, 0.1);
  const bool tmpfs = mountSmallDisk("size=512k");
  const fs::path work = tmpfs ? disk() / "work" : dir_ / "work";
  Child run(dir_, {"INP=block.k", "WD=" + work.string()}, "run", tmpfs ? 0 : 50 * 1024);
  const Ended ended = run.wait();
  EXPECT_EQ(ended.status, 1) << ended.console;
  const std::string last = ended.lastLine();
  EXPECT_NE(last.find("The run of block.k stops: cannot write "), std::string::npos) << ended.console;
  EXPECT_NE(last.find(tmpfs ? "No space left on device" : "File too large"), std::string::npos) << last;
  const std::string failed = namedFile(last);
  EXPECT_NE(failed.find("result"), std::string::npos) << last;
  EXPECT_FALSE(fs::exists(failed)) << "the file that could not be written is left behind: " << failed;
  EXPECT_EQ(ended.console.find("Calculation completed"), std::string::npos);
  program::expectEveryVtkFileWhole(work);
  EXPECT_LT(program::vtkFilesOf(work).size(), 101u);
}

// Growing files on a device that takes no byte: the progress log, and the
// run record (which fails with the banner, before the deck is read).
DEVICE_TEST_F(ProgramFiles, FullDeviceUnderAGrowingFileStopsTheRun) {
  writeDeck(2, 0.02);
  for (const char* file : {"log.txt", "history_record.txt"}) {
    const fs::path work = dir_ / (std::string("work_") + file);
    fs::create_directories(work / "history");
    fs::create_symlink("/dev/full", work / "history" / file);
    Child run(dir_, {"INP=block.k", "WD=" + work.string()}, file);
    const Ended ended = run.wait();
    EXPECT_EQ(ended.status, 1) << file << "\n" << ended.console;
    const std::string last = ended.lastLine();
    EXPECT_NE(last.find("cannot write " + (work / "history" / file).string() + ": No space left on device"),
              std::string::npos)
        << last;
    EXPECT_EQ(ended.console.find("Calculation completed"), std::string::npos);
  }
  const std::string rec = record(dir_ / "work_log.txt");
  EXPECT_NE(rec.find("stops: cannot write"), std::string::npos) << rec;
  EXPECT_NE(rec.find("calculation error\n"), std::string::npos) << rec;
  EXPECT_EQ(rec.find("calculation completed"), std::string::npos);
  EXPECT_TRUE(program::vtkFilesOf(dir_ / "work_history_record.txt").empty());
}

TEST_F(ProgramFiles, WorkFolderThatIsAFileIsRefused) {
  writeDeck(2, 0.02);
  std::ofstream(dir_ / "taken") << "a file\n";
  Child run(dir_, {"INP=block.k", "WD=taken"});
  const Ended ended = run.wait();
  EXPECT_EQ(ended.status, 1) << ended.console;
  EXPECT_NE(ended.lastLine().find("cannot create the folder taken"), std::string::npos) << ended.console;
  EXPECT_EQ(deckcase::readText(dir_ / "taken"), "a file\n");
}

// SIGTERM, SIGINT and SIGHUP in the middle of a long run: the run ends after
// the file being written, with 128 + the signal; every file is whole. A
// SIGKILL cannot be caught, yet every VTK file of the run is still whole (a
// file is renamed into place only once complete). The console, a file here,
// holds each progress line as soon as it is printed.
DEVICE_TEST_F(ProgramFiles, InterruptedRunLeavesEveryFileWhole) {
  writeDeck(8, 100.0);
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
    const fs::path work = dir_ / ("work_" + std::to_string(sig));
    Child run(dir_, {"INP=block.k", "WD=" + work.string(), "OT=0.002"}, "run_" + std::to_string(sig));
    ASSERT_TRUE(run.waitFor(work / "result_5.vtk")) << "signal " << sig;
    const std::string console = deckcase::readText(dir_ / ("run_" + std::to_string(sig) + ".console"));
    EXPECT_NE(console.find("\nNSTEP = 4\t"), std::string::npos) << console;
    run.signal(sig);
    const Ended ended = run.wait();
    if (sig == SIGKILL) {
      EXPECT_EQ(ended.signal, SIGKILL);
      const std::vector<std::string> files = program::vtkFilesOf(work);
      ASSERT_FALSE(files.empty());
      expectVtkFilesOpenInReader(files);
      continue;
    }
    EXPECT_EQ(ended.status, 128 + sig) << ended.console;
    const std::string last = ended.lastLine();
    const char* name = sig == SIGTERM ? "(SIGTERM)" : sig == SIGINT ? "(SIGINT)" : "(SIGHUP)";
    EXPECT_NE(last.find(std::string("interrupted ") + name + " at time "), std::string::npos) << last;
    EXPECT_NE(ended.console.find("\nResults in " + work.string() + ": "), std::string::npos) << ended.console;
    EXPECT_NE(last.find("; the result files written so far are whole."), std::string::npos) << last;
    program::expectEveryVtkFileWhole(work);
    program::expectWholeLines(work / "history" / "log.txt");
    const std::string rec = record(work);
    EXPECT_NE(rec.find("interrupted"), std::string::npos);
    EXPECT_EQ(rec.substr(rec.size() - 19), "calculation error\n\n") << rec;
  }
}

}  // namespace
