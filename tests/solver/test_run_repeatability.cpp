// The same deck run twice on the same number of threads writes the same
// files, bit for bit.  The models are large enough that every kernel of the
// cycle runs on several threads of the host build (launches of 1,024 threads
// and more), where sums that several threads add into one node would round
// differently from run to run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/solver/motionDeck.h"

namespace {

namespace fs = std::filesystem;
using motiondeck::Block;

constexpr int kPlateCells = 24;
constexpr double kCell = 0.01;

// A steel plate of 24 x 24 x 1 hexahedra (10 mm cells).
Block plate(int part, double x0, double z0, int nodeOffset, int elementOffset) {
  Block b;
  b.nx = b.ny = kPlateCells;
  b.h = kCell;
  b.origin[0] = b.origin[1] = x0;
  b.origin[2] = z0;
  b.part = part;
  b.nodeOffset = nodeOffset;
  b.elementOffset = elementOffset;
  b.density = 7850.0;
  b.young = 2.1e11;
  b.poisson = 0.3;
  return b;
}

// The upper plate, shifted by half a cell, strikes the lower one (held at
// its base) at 5 m/s across a 0.2 mm gap; surface-to-surface contact with
// friction 0.3.  Mass scaling to a step of 1.3 us (DT2MS negative) is above
// every element's own step (1.1 us): each cycle every element adds scaled
// mass, which differs between elements once the impact deforms them.
std::string platesDeck() {
  const Block lower = plate(1, 0.0, 0.0, 0, 0);
  const Block upper = plate(2, 0.5 * kCell, kCell + 2e-4, lower.nodeCount(), kPlateCells * kPlateCells);
  std::vector<int> base, moving;
  for (int j = 0; j <= kPlateCells; ++j)
    for (int i = 0; i <= kPlateCells; ++i) base.push_back(lower.node(i, j, 0));
  for (int n = 1; n <= upper.nodeCount(); ++n) moving.push_back(lower.nodeCount() + n);
  return lower.cards() + upper.cards() + motiondeck::nodeSet(1, base) + "*BOUNDARY_SPC_SET\n" +
         card({"1", "0", "1", "1", "1", "1", "1", "1"}) + motiondeck::nodeSet(2, moving) + "*INITIAL_VELOCITY\n" +
         card({"2"}) + card({"0.0", "0.0", "-5.0"}) + "*CONTACT_SURFACE_TO_SURFACE\n" + card({"2", "1", "3", "3"}) +
         card({"0.3", "0.3", "0"}) + card({"0"}) + "*CONTROL_TIMESTEP\n" +
         card({"0.0", "0.9", "0", "0.0", "-1.3e-6"}) + motiondeck::termination(8e-5);
}

// A clamped plate of 40 x 40 shells (10 mm, 2 mm thick) under a pressure
// of 0.1 MPa on its shell set.
std::string pressedShellDeck() {
  constexpr int n = 40;
  std::string deck = "*NODE\n";
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i)
      deck += std::to_string(1 + i + (n + 1) * j) + "," + motiondeck::num(kCell * i) + "," + motiondeck::num(kCell * j) +
              ",0.0\n";
  std::string elements = "*ELEMENT_SHELL\n", members;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const int a = 1 + i + (n + 1) * j, e = 1 + i + n * j;
      elements += std::to_string(e) + ",1," + std::to_string(a) + "," + std::to_string(a + 1) + "," +
                  std::to_string(a + n + 2) + "," + std::to_string(a + n + 1) + "\n";
      members += std::to_string(e) + (e % 8 == 0 ? "\n" : ",");
    }
  std::vector<int> clamped;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i)
      if (i == 0 || j == 0 || i == n || j == n) clamped.push_back(1 + i + (n + 1) * j);
  return deck + elements + "*PART\nplate\n" + card({"1", "1", "1"}) + "*SECTION_SHELL\n" +
         card({"1", "2", "0.8333", "3"}) + card({"0.002", "0.002", "0.002", "0.002"}) + "*MAT_ELASTIC\n" +
         card({"1", "7850.0", "2.1e11", "0.3"}) + "*SET_SHELL_LIST\n" + card({"4"}) + members +
         "*LOAD_SHELL_SET\n" + card({"4", "0", "1.0e5"}) + motiondeck::nodeSet(1, clamped) + "*BOUNDARY_SPC_SET\n" +
         card({"1", "0", "1", "1", "1", "1", "1", "1"}) + motiondeck::termination(8e-5);
}

// The result files of a work folder (the VTK files and the histories, but
// not the run record, which states wall-clock times), by their paths in it.
std::map<std::string, std::string> resultFiles(const fs::path& work) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(work)) {
    const std::string folder = entry.path().parent_path().filename().string();
    if (!entry.is_regular_file() || (entry.path().parent_path() != work && folder != "history") ||
        entry.path().filename() == "history_record.txt" || entry.path().filename().string()[0] == '.')
      continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files[fs::relative(entry.path(), work).string()] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

// Runs the program on the deck on four threads; the result files.
std::map<std::string, std::string> runOnFourThreads(const std::string& name, const std::string& deck) {
  const char* before = std::getenv("OMP_NUM_THREADS");
  const std::string kept = before != nullptr ? before : "";
  setenv("OMP_NUM_THREADS", "4", 1);
  std::string console;
  const int code = motiondeck::runProgram(name, deck, &console, "OT=5e-6");
  if (before != nullptr) {
    setenv("OMP_NUM_THREADS", kept.c_str(), 1);
  } else {
    unsetenv("OMP_NUM_THREADS");
  }
  EXPECT_EQ(code, 0) << console;
  EXPECT_NE(console.find("Calculation completed"), std::string::npos) << console;
  return resultFiles(fs::path(FEM_BINARY_DIR) / "deck_cases" / ("motion_" + name) / "work");
}

void expectSameFiles(const std::map<std::string, std::string>& first,
                     const std::map<std::string, std::string>& second) {
  ASSERT_EQ(first.size(), second.size());
  for (const auto& [name, bytes] : first) {
    const auto other = second.find(name);
    ASSERT_NE(other, second.end()) << name;
    EXPECT_TRUE(bytes == other->second) << name << " differs between two runs";
  }
}

TEST(RunRepeatability, FourThreadRunsWriteTheSameFiles) {
  const std::string deck = platesDeck();
  const auto first = runOnFourThreads("repeat_plates", deck);
  const auto second = runOnFourThreads("repeat_plates", deck);
  EXPECT_GE(first.size(), 17u);  // VTK files at 0, 5, ..., 80 us and the log
  expectSameFiles(first, second);
  EXPECT_NE(first.at("result.vtk"), first.at("result_16.vtk"));  // the plates moved

  const std::string shells = pressedShellDeck();
  const auto pressed = runOnFourThreads("repeat_shells", shells);
  expectSameFiles(pressed, runOnFourThreads("repeat_shells", shells));
  EXPECT_NE(pressed.at("result.vtk"), pressed.at("result_16.vtk"));  // the plate bent
}

}  // namespace
