// Set-up time of a contact whose slave side is a large node set: a plate of
// n x n Belytschko-Tsay shells ((n + 1)^2 nodes, 100,489 for n = 316) whose
// every node is a slave of a nodes-to-surface contact against a small plate
// above it. The model is written as a keyword deck, read, set up and run
// for one cycle as a run does; reported: the time to read and link the
// model and the time of the loop (its set-up passes and one cycle) on 1, 2,
// 4 ... threads up to all cores and on all cores with one core kept busy,
// and the time of the slave side's smallest-spacing pass on its own.
//
//   bench_contact_setup [n=316] [threads=all cores]
#include <omp.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/benchCycle.h"
#include "bench/benchOptions.h"
#include "bench/benchTable.h"
#include "contact/pairmanager.h"
#include "contact/subDomainManager.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
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
  // An end time far beyond the one cycle: the end cycle ends the run.
  d << "*CONTROL_TERMINATION\n1.0,1\n*END\n";
  return d.str();
}

// Reads and runs the deck on `threads` threads; the milliseconds of
// reading and linking, and of the loop (set-up passes and one cycle).
struct SetupTimes {
  double read = 0.0, loop = 0.0;
  int contactNodes = 0;
};

SetupTimes runDeck(const fs::path& folder, int threads) {
  omp_set_num_threads(threads);
  auto* fem = new FEMDynamic[1];
  fem->newManagers();
  fem->multiGpuManager->selectGpu();
  fem->input_file = (folder / "deck.k").string();
  fem->work_path = (folder / "work").string();
  fs::create_directories(fs::path(fem->work_path) / "history");
  SetupTimes t;
  const auto readStart = Clock::now();
  if (readKeywordDeck(fem, fem->input_file) != 1 || preprocessModel(fem) != 1) {
    fprintf(stderr, "the benchmark model could not be set up\n");
    std::exit(1);
  }
  t.read = millisecondsSince(readStart);
  fem->timeControl->output_interval = 1e9;  // outputs at time 0 only
  fem->host_path_flag = 0;
  double contactTime = 0.0, outputTime = 0.0;
  const auto loopStart = Clock::now();
  if (!femDynaAnalyParalle(fem, &contactTime, &outputTime)) {
    fprintf(stderr, "the benchmark model did not run\n");
    std::exit(1);
  }
  t.loop = millisecondsSince(loopStart);
  t.contactNodes = fem->pairManager->contact_node_num;
  delete[] fem;
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options args(argc, argv);
  const int n = args.number(1, 316);
  const int cores = args.threads(2);
  if (n < 2 || cores < 1) {
    fprintf(stderr, "usage: bench_contact_setup [n >= 2] [threads >= 1]\n");
    return 1;
  }
  const fs::path folder = fs::temp_directory_path() / "bench_contact_setup";
  fs::create_directories(folder);
  std::vector<std::array<double, 3>> slaveNodes;
  std::ofstream(folder / "deck.k") << deckText(n, slaveNodes);

  bench::TableRow row("contact set-up, " + std::to_string(slaveNodes.size()) +
                          " slave nodes: ms to set up and run a cycle",
                      "%.0f");
  const auto measure = [&](const char* label, int threads) {
    const SetupTimes t = runDeck(folder, threads);
    printf(
        "%-8s %2d threads: %zu slave nodes (%d contact nodes): reading and linking %.0f ms, set-up and one cycle "
        "%.0f ms\n",
        label, threads, slaveNodes.size(), t.contactNodes, t.read, t.loop);
    row.add(t.loop);
  };
  for (int threads = 1;; threads = std::min(2 * threads, cores)) {
    measure("idle", threads);
    if (threads == cores) break;
  }
  {
    bench::CoreLoad load;
    measure("1 loaded", cores);
  }
  const auto spacingStart = Clock::now();
  const double spacing = smallestSpacing(slaveNodes);
  printf("smallest spacing of the slave nodes %.6g found in %.0f ms\n", spacing, millisecondsSince(spacingStart));
  row.print();
  fs::remove_all(folder);
  return 0;
}
