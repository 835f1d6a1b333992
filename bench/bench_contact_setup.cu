// Set-up time of a contact whose slave side is a large node set: a plate of
// n x n Belytschko-Tsay shells ((n + 1)^2 nodes, 100,489 for n = 316) whose
// every node is a slave of a nodes-to-surface contact against a small plate
// above it. The model is written as a keyword deck, read, set up and run
// for one cycle as a run does; reported: the time to read and link the
// model, the time of the loop (its set-up passes and one cycle), and the
// time of the slave side's smallest-spacing pass on its own.
//
//   bench_contact_setup [n=316]
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/benchOptions.h"
#include "contact/pairmanager.h"
#include "contact/subdomainmanager.h"
#include "input/keywordReader.h"
#include "input/preprocessModel.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/multigpumanager.h"
#include "solver/timeControl.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The slave plate (part 1, nodes 1 .. (n+1)^2) at z = 0 and a 10 x 10
// master plate (part 2) 1 mm above its middle.
std::string deckText(int n, std::vector<std::array<double, 3>>& slaveNodes) {
  std::ostringstream d;
  const double h = 1.0 / n;
  d << "*KEYWORD\n*NODE\n";
  int id = 0;
  for (int j = 0; j <= n; ++j) {
    for (int i = 0; i <= n; ++i) {
      slaveNodes.push_back({i * h, j * h, 0.0});
      d << ++id << " " << i * h << " " << j * h << " 0\n";
    }
  }
  const int firstMaster = id + 1;
  for (int j = 0; j <= 10; ++j) {
    for (int i = 0; i <= 10; ++i) d << ++id << " " << 0.45 + 0.01 * i << " " << 0.45 + 0.01 * j << " 0.001\n";
  }
  d << "*ELEMENT_SHELL\n";
  int e = 0;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      const int a = 1 + j * (n + 1) + i;
      d << ++e << " 1 " << a << " " << a + 1 << " " << a + n + 2 << " " << a + n + 1 << "\n";
    }
  }
  for (int j = 0; j < 10; ++j) {
    for (int i = 0; i < 10; ++i) {
      const int a = firstMaster + j * 11 + i;
      d << ++e << " 2 " << a << " " << a + 1 << " " << a + 12 << " " << a + 11 << "\n";
    }
  }
  d << "*PART\nslaves\n1,1,1\n*PART\nmaster\n2,1,1\n";
  d << "*SECTION_SHELL\n1,2,0.8333,2\n0.001,0.001,0.001,0.001\n";
  d << "*MAT_ELASTIC\n1,7850,2.1e11,0.3\n";
  d << "*SET_NODE_LIST\n1\n";
  for (int k = 1; k < firstMaster; ++k) d << k << (k % 8 == 0 ? "\n" : ",");
  d << "\n*CONTACT_NODES_TO_SURFACE\n1,2,4,3\n0\n0\n";
  d << "*CONTROL_TERMINATION\n0,1\n*END\n";
  return d.str();
}

}  // namespace

int main(int argc, char** argv) {
  const int n = bench::Options(argc, argv).number(1, 316);
  if (n < 2) {
    fprintf(stderr, "usage: bench_contact_setup [n >= 2]\n");
    return 1;
  }
  const fs::path folder = fs::temp_directory_path() / "bench_contact_setup";
  fs::create_directories(folder);
  std::vector<std::array<double, 3>> slaveNodes;
  std::ofstream(folder / "deck.k") << deckText(n, slaveNodes);

  auto* fem = new FEMDynamic[1];
  fem->newManagers();
  fem->multiGpuManager->selectGpu();
  fem->input_file = (folder / "deck.k").string();
  fem->work_path = (folder / "work").string();
  fs::create_directories(fs::path(fem->work_path) / "history");
  const auto readStart = Clock::now();
  if (readKeywordDeck(fem, fem->input_file) != 1 || preprocessModel(fem) != 1) {
    fprintf(stderr, "the benchmark model could not be set up\n");
    return 1;
  }
  const double read = millisecondsSince(readStart);
  fem->timeControl->output_interval = 1e9;  // outputs at time 0 only
  fem->host_path_flag = 0;
  double contactTime = 0.0, outputTime = 0.0;
  const auto loopStart = Clock::now();
  femDynaAnalyParalle(fem, &contactTime, &outputTime);
  const double loop = millisecondsSince(loopStart);
  const int contactNodes = fem->pairManager->contact_node_num;
  delete[] fem;

  const auto spacingStart = Clock::now();
  const double spacing = smallestSpacing(slaveNodes);
  const double spacingTime = millisecondsSince(spacingStart);
  printf("%zu slave nodes (%d contact nodes): reading and linking %.0f ms, set-up and one cycle %.0f ms; "
         "smallest spacing %.6g found in %.0f ms\n",
         slaveNodes.size(), contactNodes, read, loop, spacing, spacingTime);
  return 0;
}
