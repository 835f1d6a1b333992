// One work folder, one run: a second run on a folder in use is refused at
// once; runs of one deck in several work folders keep their working copies
// apart, also when the deck lies in a read-only folder.
#include "tests/deviceTest.h"
#include <sys/mount.h>

#include <csignal>
#include <memory>

#include "tests/input/programProcess.h"

namespace {

namespace fs = std::filesystem;
using program::Child;
using program::Ended;

class WorkFolder : public program::TestFolder {
 protected:
  WorkFolder() : TestFolder("impactfem_work_") {}
  fs::path decks() const { return dir_ / "decks"; }
  // Makes the deck folder read-only: a read-only bind mount where the test
  // may mount (it holds for root too), else its permission bits.
  void makeDecksReadOnly() {
    if (mount(decks().c_str(), decks().c_str(), nullptr, MS_BIND, nullptr) == 0) {
      unmountAtEnd(decks());
      mount(nullptr, decks().c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr);
    } else {
      restoreRightsAtEnd(decks());
      fs::permissions(decks(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    }
  }
};

TEST_F(WorkFolder, SecondRunOnAFolderInUseIsRefusedAtOnce) {
  std::ofstream(dir_ / "block.k") << program::flyingBlockDeck(6, 100.0);
  Child first(dir_, {"INP=block.k", "WD=work", "OT=0.002"}, "first");
  ASSERT_TRUE(first.waitFor(dir_ / "work" / "result_1.vtk"));
  Child second(dir_, {"INP=block.k", "WD=work"}, "second");
  const Ended refused = second.wait();
  EXPECT_EQ(refused.status, 1) << refused.console;
  EXPECT_NE(refused.lastLine().find("The run is refused: the work folder work is in use by another run (process " +
                                    std::to_string(first.pid()) + ")"),
            std::string::npos)
      << refused.console;
  first.signal(SIGTERM);
  const Ended ended = first.wait();
  EXPECT_EQ(ended.status, 128 + SIGTERM) << ended.console;
  // The refused run wrote nothing: one banner in the record, whole files.
  const std::string rec = deckcase::readText(dir_ / "work" / "history" / "history_record.txt");
  EXPECT_EQ(rec.find("Release mode!"), rec.rfind("Release mode!")) << rec;
  program::expectEveryVtkFileWhole(dir_ / "work");

  // Once the first run has ended the folder is free again.
  std::ofstream(dir_ / "short.k") << program::flyingBlockDeck(2, 0.005);
  Child third(dir_, {"INP=short.k", "WD=work"}, "third");
  const Ended done = third.wait();
  EXPECT_EQ(done.status, 0) << done.console;
  EXPECT_EQ(done.lastLine(), "Calculation completed");
}

// A run of another deck in a used folder first removes every result file of
// the earlier run (of every family, unfinished ones too) and keeps the rest;
// its last lines say where its results are and what it wrote.
DEVICE_TEST_F(WorkFolder, SecondRunOfAnotherDeckLeavesOnlyItsOwnResults) {
  std::ofstream(dir_ / "big.k") << program::flyingBlockDeck(4, 0.02);
  std::ofstream(dir_ / "small.k") << program::flyingBlockDeck(2, 0.005);
  const fs::path work = dir_ / "work";
  ASSERT_EQ(Child(dir_, {"INP=big.k", "WD=work", "OT=0.0005"}, "big").wait().status, 0);
  fs::create_directories(work / "nodeoutput");
  fs::create_directories(work / "elementoutput");
  for (const char* name : {"result_99.vtk.part", "start.plt", "result.3_bin.vtk", "nodeoutput/contact_file_A.txt",
                           "elementoutput/element_point_stress_file_B.txt", "results.vtk", "result_x.vtk", "notes.txt",
                           "nodeoutput/mine.txt"}) {
    std::ofstream(work / name) << "x\n";
  }
  const Ended ended = Child(dir_, {"INP=small.k", "WD=work"}, "small").wait();
  ASSERT_EQ(ended.status, 0) << ended.console;
  int count = 0;  // result.vtk, result_1.vtk, ... up to the first missing one: all of the second run
  for (fs::path f = work / "result.vtk"; fs::exists(f); f = work / ("result_" + std::to_string(++count) + ".vtk")) {
    EXPECT_NE(deckcase::readText(f).find("\nCELLS 8\t72\n"), std::string::npos) << f;
  }
  EXPECT_EQ(program::vtkFilesOf(work).size(), static_cast<std::size_t>(count + 2));
  // Gone too: the earlier deck's working copies, the empty check list of this one and a folder left empty.
  for (const char* gone :
       {"result_99.vtk.part", "start.plt", "result.3_bin.vtk", "nodeoutput/contact_file_A.txt", "elementoutput",
        "temp/temp_big.k", "temp/outForVerify_big.k", "temp/outForVerify_small.k"}) {
    EXPECT_FALSE(fs::exists(work / gone)) << gone;
  }
  for (const char* kept : {"results.vtk", "result_x.vtk", "notes.txt", "nodeoutput/mine.txt", "temp/temp_small.k"}) {
    EXPECT_TRUE(fs::exists(work / kept)) << kept;
  }
  const std::string log = deckcase::readText(work / "history" / "log.txt");
  EXPECT_EQ(log.rfind("Calculate file: \tsmall.k\n", 0), 0u) << log;
  EXPECT_EQ(log.find("big.k"), std::string::npos);
  const std::string rec = deckcase::readText(work / "history" / "history_record.txt");
  EXPECT_NE(rec.find("input file:\tbig.k"), std::string::npos);
  EXPECT_NE(ended.console.find("\nResults in " + work.string() + ": " + std::to_string(count) +
                               " VTK files (result.vtk to result_" + std::to_string(count - 1) +
                               ".vtk), the progress log (history/log.txt); the run record "
                               "history/history_record.txt.\nCalculation completed"),
            std::string::npos)
      << ended.console;
}

TEST_F(WorkFolder, SixRunsOfOneDeckInAReadOnlyFolderKeepTheirWorkingCopiesApart) {
  fs::create_directories(decks());
  const std::string deck = program::flyingBlockDeck(6, 0.008);
  std::ofstream(decks() / "block.k") << deck;
  makeDecksReadOnly();
  std::vector<std::unique_ptr<Child>> runs;
  for (int i = 0; i < 6; ++i) {
    runs.push_back(std::make_unique<Child>(dir_,
                                           std::vector<std::string>{"INP=decks/block.k", "WD=work" + std::to_string(i)},
                                           "run" + std::to_string(i)));
  }
  const std::string copy = deck.substr(0, deck.find("$")) + deck.substr(deck.find('\n', deck.find("$")) + 1);
  std::vector<std::string> files;
  for (int i = 0; i < 6; ++i) {
    const Ended ended = runs[static_cast<std::size_t>(i)]->wait();
    const fs::path work = dir_ / ("work" + std::to_string(i));
    EXPECT_EQ(ended.status, 0) << ended.console;
    EXPECT_EQ(ended.lastLine(), "Calculation completed");
    EXPECT_EQ(deckcase::readText(work / "temp" / "temp_block.k"), copy) << i;
    // Every run read the whole model: 216 cells in each of its files.
    for (const std::string& file : program::vtkFilesOf(work)) {
      EXPECT_NE(deckcase::readText(file).find("\nCELLS 216\t1944\n"), std::string::npos) << file;
      files.push_back(file);
    }
    EXPECT_TRUE(program::partFilesOf(work).empty());
  }
  expectVtkFilesOpenInReader(files);
  EXPECT_FALSE(fs::exists(decks() / "temp"));
}

}  // namespace
