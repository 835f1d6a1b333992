// Speed of the VTK writer on an n x n x n cube of hexahedra whose nodes have
// moved (coordinates and displacements with all six digits): the bytes of
// one file formatted in memory, and the whole file written as a run writes it
// (formatted, written under its temporary name and renamed to a new name), in
// MB/s (10^6 bytes per second), best of a few files each, on 1, 2, 4 ...
// threads up to all cores and on all cores with one core kept busy. The cell
// sections are formatted once per run; their time is reported apart.
//
//   bench_vtk_writer [n=60] [repeats=3] [threads=all cores]
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/benchCycle.h"
#include "core/node.h"
#include "elements/solid1st/solidElementCuda.h"
#include "output/paraViewOutput.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Nodes of the cube, 1 mm apart, moved by a smooth field of about 0.1 mm.
std::vector<NodeCuda> cubeNodes(int n) {
  const int np = n + 1;
  std::vector<NodeCuda> nodes(static_cast<std::size_t>(np) * np * np, NodeCuda{});
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const double x[3] = {1e-3 * static_cast<double>(i % np), 1e-3 * static_cast<double>((i / np) % np),
                         1e-3 * static_cast<double>(i / (static_cast<std::size_t>(np) * np))};
    NodeCuda& node = nodes[i];
    node.id = static_cast<int>(i) + 1;
    for (int j = 0; j < 3; ++j) {
      node.total_disp[j] = 1e-4 * std::sin(1234.5 * x[j] + 0.7 * j + 1e3 * x[(j + 1) % 3]);
      node.coord[j] = x[j] + node.total_disp[j];
    }
  }
  return nodes;
}

void addCubeCells(ParaViewOutput& out, int n) {
  const int np = n + 1;
  out.clearCells();
  out.beginPart();
  const int nodeCount = np * np * np;
  int id = 0;
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        SolidElementCuda hexa{};
        hexa.id = ++id;
        hexa.type = ET_HEXA_REDUCED;
        hexa.node_num = hexa.gaussNodeNum = 8;
        const int a = (k * np + j) * np + i + 1;
        const int corners[8] = {a,           a + 1,           a + 1 + np,           a + np,
                                a + np * np, a + 1 + np * np, a + 1 + np + np * np, a + np + np * np};
        std::copy(corners, corners + 8, hexa.node_id);
        out.addCell(hexa, hexa.node_id, 8, nodeCount);
      }
  out.finishCells();
}

struct Speed {
  double format = 0.0, file = 0.0;  // seconds, best of the repeats
  std::size_t bytes = 0;
};

Speed bestOf(ParaViewOutput& out, const std::vector<NodeCuda>& nodes, const std::filesystem::path& folder, int threads,
             int repeats) {
  omp_set_num_threads(threads);
  Speed best{1e30, 1e30, 0};
  for (int r = 0; r < repeats; ++r) {
    // Each file of a run has a name of its own.
    const std::string path = (folder / ("result_" + std::to_string(r + 1) + ".vtk")).string();
    auto start = Clock::now();
    const std::string bytes = out.vtkFileBytes(1.25e-3, nodes);
    best.format = std::min(best.format, secondsSince(start));
    best.bytes = bytes.size();
    start = Clock::now();
    if (!out.writeVtkFile(path, 1.25e-3, nodes)) {
      std::fprintf(stderr, "bench_vtk_writer: cannot write %s\n", path.c_str());
      std::exit(1);
    }
    best.file = std::min(best.file, secondsSince(start));
  }
  for (const auto& file : std::filesystem::directory_iterator(folder)) std::filesystem::remove(file.path());
  return best;
}

void report(const char* load, int threads, const Speed& s) {
  const double mb = static_cast<double>(s.bytes) / 1e6;
  std::printf("%-8s %2d threads: in memory %7.1f ms (%6.0f MB/s), written %7.1f ms (%6.0f MB/s)\n", load, threads,
              1e3 * s.format, mb / s.format, 1e3 * s.file, mb / s.file);
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options args(argc, argv);
  const int n = args.number(1, 60);
  const int repeats = args.number(2, 3);
  const int cores = args.threads(3);
  if (n < 1 || repeats < 1 || cores < 1) {
    std::fprintf(stderr, "usage: bench_vtk_writer [n=60] [repeats=3] [threads=all cores]\n");
    return 2;
  }
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "impactfem_bench_vtk";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);

  const std::vector<NodeCuda> nodes = cubeNodes(n);
  ParaViewOutput out;
  out.dispFlag_ = true;
  const auto cellStart = Clock::now();
  addCubeCells(out, n);
  std::printf("cube %d^3: %zu nodes, %d cells; cell sections made once in %.1f ms\n", n, nodes.size(), out.cellCount_,
              1e3 * secondsSince(cellStart));

  Speed last;
  bench::TableRow row("VTK file of the cube " + std::to_string(n) + "^3: MB/s written", "%.0f");
  const auto megabytesPerSecond = [](const Speed& s) { return static_cast<double>(s.bytes) / 1e6 / s.file; };
  for (int threads = 1;; threads = std::min(2 * threads, cores)) {
    last = bestOf(out, nodes, folder, threads, repeats);
    report("idle", threads, last);
    row.add(megabytesPerSecond(last));
    if (threads == cores) break;
  }
  {
    bench::CoreLoad load;
    const Speed s = bestOf(out, nodes, folder, cores, repeats);
    report("1 loaded", cores, s);
    row.add(megabytesPerSecond(s));
  }
  // Per file: each node's coordinate and displacement lines read, the text
  // written to the buffers, read again and written to the file.
  const double moved = 2.0 * 64.0 * static_cast<double>(nodes.size()) + 3.0 * static_cast<double>(last.bytes);
  row.setRateBytes(moved / (static_cast<double>(last.bytes) / 1e6));
  row.print();
  std::printf("file of %.1f MB\n", static_cast<double>(last.bytes) / 1e6);
  std::filesystem::remove_all(folder);
  return 0;
}
