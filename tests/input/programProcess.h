// The program started as a child process that a test can watch, interrupt
// and limit, and the decks and file checks of the tests that run it so: a
// block of hexahedra in free flight, its VTK files, its growing files.
#pragma once
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/decks/deckCase.h"
#include "tests/output/vtkCheck.h"

namespace program {

namespace fs = std::filesystem;

// A fresh folder for one test, named after it.
inline fs::path freshTestFolder(const std::string& prefix) {
  const fs::path folder = fs::temp_directory_path() / (prefix + std::to_string(getpid()) + "_" +
                                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

// A test with a fresh folder of its own, named after it (`prefix` and the
// test's name). A mount made below it for the test and a folder whose rights
// the test took away are undone when it ends, before the folder is removed.
class TestFolder : public ::testing::Test {
 protected:
  explicit TestFolder(const char* prefix) : prefix_(prefix) {}
  void SetUp() override { dir_ = freshTestFolder(prefix_); }
  void TearDown() override {
    if (!mountPoint_.empty()) umount2(mountPoint_.c_str(), MNT_DETACH);
    std::error_code ignored;
    if (!lockedFolder_.empty()) fs::permissions(lockedFolder_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_);
  }
  void unmountAtEnd(const fs::path& point) { mountPoint_ = point; }
  void restoreRightsAtEnd(const fs::path& folder) { lockedFolder_ = folder; }

  fs::path dir_;

 private:
  const char* prefix_;
  fs::path mountPoint_;
  fs::path lockedFolder_;
};

// A right-aligned field of 10 characters.
inline std::string field(const std::string& text) {
  return std::string(text.size() < 10 ? 10 - text.size() : 0, ' ') + text;
}

// A block of n x n x n hexahedra of edge 0.5 (rho 1, E 2e5, nu 0: a step of
// about 1e-3) flying at (3, -2, 0.5), run to the end time.
inline std::string flyingBlockDeck(int n, double endTime) {
  std::ostringstream deck;
  deck << "*KEYWORD\n$ a block of hexahedra in free flight\n*NODE\n";
  const int m = n + 1;
  for (int k = 0; k < m; ++k)
    for (int j = 0; j < m; ++j)
      for (int i = 0; i < m; ++i)
        deck << (k * m + j) * m + i + 1 << " " << 0.5 * i << " " << 0.5 * j << " " << 0.5 * k << "\n";
  deck << "*ELEMENT_SOLID\n";
  int id = 0;
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        const int a = (k * m + j) * m + i + 1;
        deck << ++id << " 1 " << a << " " << a + 1 << " " << a + 1 + m << " " << a + m << " " << a + m * m << " "
             << a + 1 + m * m << " " << a + 1 + m + m * m << " " << a + m + m * m << "\n";
      }
  deck << "*PART\nblock\n"
       << field("1") << field("1") << field("1") << "\n*SECTION_SOLID\n"
       << field("1") << field("1") << "\n*MAT_ELASTIC\n"
       << field("1") << field("1") << field("200000") << field("0") << "\n*CONTROL_TERMINATION\n"
       << field(std::to_string(endTime)) << "\n*INITIAL_VELOCITY\n"
       << field("0") << "\n"
       << field("3") << field("-2") << field("0.5") << "\n*END\n";
  return deck.str();
}

// How a child run ended: its exit status (or the signal that ended it) and
// its console, standard output and error in the order written.
struct Ended {
  int status = -1;  // exit status; -1 when a signal ended it
  int signal = 0;
  std::string console;
  std::string lastLine() const {
    std::string text = console;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t cut = text.rfind('\n');
    return cut == std::string::npos ? text : text.substr(cut + 1);
  }
};

// One run of the program in folder (its current folder), console into
// <folder>/<name>.console. fileLimit > 0 caps the size of every file the run
// writes (RLIMIT_FSIZE, with SIGXFSZ ignored so that the write fails).
class Child {
 public:
  Child(const fs::path& folder, const std::vector<std::string>& args, const std::string& name = "run",
        rlim_t fileLimit = 0)
      : console_(folder / (name + ".console")) {
    std::vector<std::string> all{FEM_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string dir = folder.string(), log = console_.string();
    pid_ = fork();
    if (pid_ == 0) {  // only async-signal-safe calls until exec
      const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
      if (fd < 0 || chdir(dir.c_str()) != 0) _exit(120);
      dup2(fd, 1);
      dup2(fd, 2);
      const int none = open("/dev/null", O_RDONLY);
      if (none >= 0) dup2(none, 0);
      if (fileLimit > 0) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, nullptr);
        const rlimit limit{fileLimit, fileLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      execv(argv[0], argv.data());
      _exit(121);
    }
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  pid_t pid() const { return pid_; }
  void signal(int number) const { kill(pid_, number); }
  // Waits for the end (a run still going after two minutes is killed).
  Ended wait() {
    int raw = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (waitpid(pid_, &raw, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &raw, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    pid_ = -1;
    Ended ended;
    if (WIFEXITED(raw)) ended.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) ended.signal = WTERMSIG(raw);
    ended.console = deckcase::readText(console_);
    return ended;
  }
  // Waits (at most a minute) until the file exists; false when the run ended
  // or the time passed first.
  bool waitFor(const fs::path& file) const {
    for (int i = 0; i < 60000; ++i) {
      if (fs::exists(file)) return true;
      if (waitpid(pid_, nullptr, WNOHANG) != 0) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

 private:
  fs::path console_;
  pid_t pid_ = -1;
};

// The VTK files and leftover temporary files of a work folder.
inline std::vector<std::string> filesOf(const fs::path& folder, const std::string& prefix, const std::string& ending) {
  std::vector<std::string> found;
  if (!fs::is_directory(folder)) return found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && name.size() >= ending.size() &&
        name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
      found.push_back(entry.path().string());
    }
  }
  return found;
}

inline std::vector<std::string> vtkFilesOf(const fs::path& work) { return filesOf(work, "result", ".vtk"); }
inline std::vector<std::string> partFilesOf(const fs::path& work) { return filesOf(work, "", ".part"); }

// Every VTK file of the folder opens in the reader with the counts its header
// declares; none is empty; no temporary file is left.
inline void expectEveryVtkFileWhole(const fs::path& work) {
  const std::vector<std::string> files = vtkFilesOf(work);
  ASSERT_FALSE(files.empty()) << work;
  for (const std::string& f : files) EXPECT_GT(fs::file_size(f), 0u) << f;
  expectVtkFilesOpenInReader(files);
  EXPECT_TRUE(partFilesOf(work).empty());
}

// A growing text file ends with a whole line.
inline void expectWholeLines(const fs::path& file) {
  const std::string text = deckcase::readText(file);
  ASSERT_FALSE(text.empty()) << file;
  EXPECT_EQ(text.back(), '\n') << file;
}

}  // namespace program
