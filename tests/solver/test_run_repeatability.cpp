// The same deck run twice on the same number of threads writes the same
// files, bit for bit.  The models are large enough that every kernel of the
// cycle runs on several threads of the host build (launches of 1,024 threads
// and more), where sums that several threads add into one node would round
// differently from run to run.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
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
         card({"0.3", "0.3", "0"}) + card({"0"}) + "*CONTROL_TIMESTEP\n" + card({"0.0", "0.9", "0", "0.0", "-1.3e-6"}) +
         motiondeck::termination(8e-5);
}

// A clamped plate of 40 x 40 shells (10 mm, 2 mm thick) under a pressure
// of 0.1 MPa on its shell set.
std::string pressedShellDeck() {
  constexpr int n = 40;
  std::string deck = "*NODE\n";
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i)
      deck += std::to_string(1 + i + (n + 1) * j) + "," + motiondeck::num(kCell * i) + "," +
              motiondeck::num(kCell * j) + ",0.0\n";
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
         card({"1", "7850.0", "2.1e11", "0.3"}) + "*SET_SHELL_LIST\n" + card({"4"}) + members + "*LOAD_SHELL_SET\n" +
         card({"4", "0", "1.0e5"}) + motiondeck::nodeSet(1, clamped) + "*BOUNDARY_SPC_SET\n" +
         card({"1", "0", "1", "1", "1", "1", "1", "1"}) + motiondeck::termination(8e-5);
}

// Lines of up to 16 numbers, comma-separated, as .inp data lines.
std::string inpLines(const std::vector<int>& numbers) {
  std::string text;
  for (std::size_t k = 0; k < numbers.size(); ++k)
    text += std::to_string(numbers[k]) + (k % 16 == 15 || k + 1 == numbers.size() ? "\n" : ", ");
  return text;
}

// An .inp deck of two blocks of 10 mm cells side by side, thrown down at
// 2 m/s: 16 x 16 x 5 one-point hexahedra (C3D8R) clamped at their base,
// and 6 x 6 x 5 cells of six tetrahedra each (C3D4) with edge-based smoothing
// (1,565 domains) in free flight.  Its Tecplot output asks for nodal stresses
// and strains, which every hexahedron and domain gives its nodes at each of
// the eleven output points.  Poisson's ratio is 0, so lateral displacements
// and most stresses are zero but for round-off, whose printed digits change
// with the order of any sum.
std::string stressDeck() {
  constexpr int hx = 16, hz = 5, tx = 6;
  std::string nodes = "*Node\n", hexas = "*Element, type=C3D8R, elset=HEXAS\n";
  std::string tets = "*Element, type=C3D4, elset=TETS\n";
  std::vector<int> base, moving;
  int nodeCount = 0, elementCount = 0;
  // Grid of (n + 1)^2 x (hz + 1) nodes from x0 (its base clamped or not);
  // returns the node number of (i, j, k).
  auto grid = [&](int n, double x0, bool clamped) {
    const int first = nodeCount + 1;
    for (int k = 0; k <= hz; ++k)
      for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
          ++nodeCount;
          nodes += std::to_string(nodeCount) + ", " + motiondeck::num(x0 + kCell * i) + ", " +
                   motiondeck::num(kCell * j) + ", " + motiondeck::num(kCell * k) + "\n";
          (clamped && k == 0 ? base : moving).push_back(nodeCount);
        }
    return [first, n](int i, int j, int k) { return first + i + (n + 1) * (j + (n + 1) * k); };
  };
  const auto hex = grid(hx, 0.0, true);
  constexpr int corners[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                 {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  for (int k = 0; k < hz; ++k)
    for (int j = 0; j < hx; ++j)
      for (int i = 0; i < hx; ++i) {
        hexas += std::to_string(++elementCount);
        for (const auto& c : corners) hexas += ", " + std::to_string(hex(i + c[0], j + c[1], k + c[2]));
        hexas += "\n";
      }
  // Each cell cut into the six tetrahedra along its diagonal from corner
  // (0,0,0) to (1,1,1), one per order of the three axes: the cuts of
  // neighbouring cells meet.
  const auto tet = grid(tx, (hx + 2) * kCell, false);
  const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  for (int k = 0; k < hz; ++k)
    for (int j = 0; j < tx; ++j)
      for (int i = 0; i < tx; ++i)
        for (const auto& order : orders) {
          std::array<int, 3> at{i, j, k};
          std::array<int, 4> ids{};
          ids[0] = tet(at[0], at[1], at[2]);
          for (int step = 0; step < 3; ++step) {
            ++at[order[step]];
            ids[step + 1] = tet(at[0], at[1], at[2]);
          }
          // Odd orders of the axes give a negative volume: swap two corners.
          if (((order[0] > order[1]) + (order[0] > order[2]) + (order[1] > order[2])) % 2 == 1)
            std::swap(ids[1], ids[2]);
          tets += std::to_string(++elementCount);
          for (int id : ids) tets += ", " + std::to_string(id);
          tets += "\n";
        }
  return "*Heading\n** two blocks thrown onto their clamped base\n" + nodes + hexas + tets + "*Nset, nset=BASE\n" +
         inpLines(base) + "*Nset, nset=MOVING\n" + inpLines(moving) +
         "*Solid Section, elset=HEXAS, material=STEEL\n,\n"
         "*Solid Section, elset=TETS, material=STEEL, smoothFEM=ESFEM\n,\n"
         "*Material, name=STEEL\n*Density\n7850.,\n*Elastic\n2.1e11, 0.\n"
         "*Boundary\nBASE, 1, 3\n*Initial Conditions, type=VELOCITY\nMOVING, 3, -2.0\n"
         "*Step, name=Drop\n*Dynamic, Explicit\n, 2e-05\n"
         "*Output, field, number interval=10\n*Tecplot Output\nU, S, LE\n*End Step\n";
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

// Runs the program on the deck (keyword or .inp) on four threads (or
// `threads`); the result files.
std::map<std::string, std::string> runOnFourThreads(const std::string& name, const std::string& deck, bool inp = false,
                                                    const char* threads = "4") {
  const char* before = std::getenv("OMP_NUM_THREADS");
  const std::string kept = before != nullptr ? before : "";
  setenv("OMP_NUM_THREADS", threads, 1);
  std::string console;
  const int code =
      inp ? motiondeck::runInpProgram(name, deck, &console) : motiondeck::runProgram(name, deck, &console, "OT=5e-6");
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
  // Launches run on as many threads as run them fastest: one thread alone
  // writes the same bits (the log names the deck's folder).
  auto alone = runOnFourThreads("repeat_shells_one", shells, false, "1");
  if (pressed.count("history/log.txt") != 0) alone["history/log.txt"] = pressed.at("history/log.txt");
  expectSameFiles(pressed, alone);
  EXPECT_NE(pressed.at("result.vtk"), pressed.at("result_16.vtk"));  // the plate bent
}

// Nodal stresses and strains summed from the elements and the smoothed-FEM
// domains, and the domain forces of every cycle.
TEST(RunRepeatability, FourThreadRunsAveragingStressesWriteTheSameFiles) {
  const std::string deck = stressDeck();
  const auto first = runOnFourThreads("repeat_stress", deck, true);
  const auto second = runOnFourThreads("repeat_stress", deck, true);
  ASSERT_EQ(first.count("result.plt"), 1u);
  expectSameFiles(first, second);
}

}  // namespace
