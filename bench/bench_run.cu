// Whole runs of the program: the cube of n^3 one-point hexahedra of
// bench_hexa_cube written as a keyword deck and run by impactfem itself
// (reading, set-up, the GPU time loop with everything a cycle does, the
// outputs) on 1, 2, 4 ... threads and on all cores while another program
// keeps one core busy.  The runs write results at time 0 and at the end
// ("OT=" beyond the end time): the loop then measures the cycle.  Reported,
// best of a few runs: microseconds per element-cycle of the time loop (the
// program's own clock; the end's output included), the speed-up over one
// thread, and the microseconds per element before the loop, split into
// reading (process start to the end of the model's linking) and set-up
// (from there to the loop start, the output at time 0 included).  Last, runs
// with the default output interval (end time / 100, one file every other
// cycle here) give the cost of one output point on each thread count, by
// the run's output clock.  Each row gives the machine's load average when
// it was measured: on a shared machine the other programs' load changes the
// figures.
//
//   bench_run [n=30] [cycles=200] [threads=all cores] [repeats=3]
#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/benchCycle.h"
#include "bench/benchDecks.h"
#include "bench/benchTable.h"

namespace {

namespace fs = std::filesystem;

struct RunTiming {
  int cycles = 0;
  // The program's clocks: the time loop, and everything from the end of
  // the model's linking to the end of the run.
  double loopSeconds = 0.0, calculateSeconds = 0.0, wallSeconds = 0.0, firstStep = 0.0;
  double outputSeconds = 0.0;  // output inside the loop, from the run record
  int files = 0;               // VTK files written, the one of time 0 included
  double fileBytes = 0.0;      // bytes of the file of time 0
  bool ok = false;
};

// The "Output data time" line of the run record in the work folder.
double recordedOutputSeconds(const fs::path& work) {
  FILE* record = std::fopen((work / "history" / "history_record.txt").string().c_str(), "r");
  if (record == nullptr) return 0.0;
  char line[512];
  double seconds = 0.0;
  while (std::fgets(line, sizeof line, record) != nullptr) std::sscanf(line, "Output data time:\t%lf", &seconds);
  std::fclose(record);
  return seconds;
}

// Runs the program on the deck with `threads` OpenMP threads; `options`
// are further command-line options.
RunTiming runProgram(const fs::path& deck, const fs::path& work, int threads, const std::string& options) {
  fs::remove_all(work);  // one run per work folder: the record holds this run only
  const std::string command = "OMP_NUM_THREADS=" + std::to_string(threads) + " '" FEM_PROGRAM "' INP='" +
                              deck.string() + "' WD='" + work.string() + "' " + options + " 2>&1";
  RunTiming t;
  const auto start = bench::Clock::now();
  FILE* out = popen(command.c_str(), "r");
  if (out == nullptr) return t;
  char line[512];
  double loopMs = 0.0;
  while (std::fgets(line, sizeof line, out) != nullptr) {
    std::sscanf(line, "Number of iterations: %d", &t.cycles);
    std::sscanf(line, "Total iteration time: %lf ms", &loopMs);
    std::sscanf(line, "Initial time step:\t %lf", &t.firstStep);
    std::sscanf(line, "Total calculate time: %lf", &t.calculateSeconds);
  }
  t.ok = pclose(out) == 0 && t.cycles > 0;
  t.wallSeconds = bench::seconds(start, bench::Clock::now());
  t.loopSeconds = loopMs / 1000.0;
  t.outputSeconds = recordedOutputSeconds(work);
  for (const fs::directory_entry& e : fs::directory_iterator(work))
    if (e.path().extension() == ".vtk") ++t.files;
  if (fs::exists(work / "result.vtk")) t.fileBytes = static_cast<double>(fs::file_size(work / "result.vtk"));
  return t;
}

// The run of the shortest cycle, with the least output time of the runs
// (each figure the best of its own).
RunTiming bestRun(const fs::path& deck, const fs::path& work, int threads, int repeats, const std::string& options) {
  RunTiming best;
  double leastOutput = 0.0;
  for (int r = 0; r < repeats; ++r) {
    const RunTiming t = runProgram(deck, work, threads, options);
    if (!t.ok) {
      fprintf(stderr, "the program failed on %s\n", deck.string().c_str());
      std::exit(1);
    }
    if (!best.ok || t.loopSeconds / t.cycles < best.loopSeconds / best.cycles) best = t;
    if (r == 0 || t.outputSeconds < leastOutput) leastOutput = t.outputSeconds;
  }
  best.outputSeconds = leastOutput;
  return best;
}

double usPerElementCycle(const RunTiming& t, int elements) {
  return t.loopSeconds / (static_cast<double>(elements) * t.cycles) * 1e6;
}

// The one-minute load average of the machine, or -1 when unknown.
double loadAverage() {
  double load = -1.0;
  return getloadavg(&load, 1) == 1 ? load : -1.0;
}

void report(const char* label, int threads, const RunTiming& t, int elements, double oneThread) {
  const double perElementCycle = usPerElementCycle(t, elements);
  const double reading = (t.wallSeconds - t.calculateSeconds) / elements * 1e6;
  const double setUp = (t.calculateSeconds - t.loopSeconds) / elements * 1e6;
  printf("%-9s %2d threads: %7.4f us per element-cycle over %d cycles", label, threads, perElementCycle, t.cycles);
  if (oneThread > 0.0) printf(" (%.2fx one thread)", oneThread / perElementCycle);
  printf(
      "; before the loop %.3f us per element (reading %.3f, set-up %.3f); output in the loop %.3f s; "
      "load average %.2f\n",
      reading + setUp, reading, setUp, t.outputSeconds, loadAverage());
}

// The loop with one output point every other cycle against the loop with
// the end's output only: the cost of one further output point, in ms, by
// the run's output clock (gathering the fields and writing the files, as
// the run record gives it). The loops' difference is printed beside it: it
// holds the same and every change of the cycle's speed between the runs,
// which on a shared machine can exceed the outputs' whole time.
double reportOutputPoints(int threads, const RunTiming& everyOther, const RunTiming& endOnly, int elements) {
  const int further = std::max(1, everyOther.files - endOnly.files);
  const double extra = everyOther.loopSeconds - endOnly.loopSeconds;
  const double outputs = everyOther.outputSeconds - endOnly.outputSeconds;
  printf(
      "default output %2d threads: %7.4f us per element-cycle, %d files in the loop: %.2f ms per further output "
      "point by the output clock (the loops differ by %.2f ms per point)\n",
      threads, usPerElementCycle(everyOther, elements), everyOther.files - 1, outputs / further * 1e3,
      extra / further * 1e3);
  return outputs / further * 1e3;
}

// Bytes an output point moves: per node the coordinate and displacement
// lines of its device record read, packed (48 bytes) and put into the host
// record, whose lines the text formatting reads again; the file's text
// written to the buffers, read again and written to the file.
double outputPointBytes(int n, double fileBytes) {
  const double nodes = static_cast<double>(n + 1) * (n + 1) * (n + 1);
  return nodes * (128.0 + 48.0 + 48.0 + 128.0 + 128.0) + 3.0 * fileBytes;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options args(argc, argv);
  const int n = args.number(1, 30);
  const int cycles = args.number(2, 200);
  const int cores = args.threads(3);
  const int repeats = args.number(4, 3);
  if (n < 1 || cycles < 1 || cores < 1 || repeats < 1) {
    fprintf(stderr, "usage: bench_run [n >= 1] [cycles >= 1] [threads >= 1] [repeats >= 1]\n");
    return 1;
  }
  // A folder of this process's own: several engineers may run the benchmark
  // on one machine at once.
  const fs::path folder = fs::temp_directory_path() / ("impactfem_bench_run_" + std::to_string(getpid()));
  fs::create_directories(folder);
  const fs::path deck = folder / "cube.k", work = folder / "work";
  // The end time of `cycles` steps of the first step's size (measured on a
  // run of one cycle, capped by its end cycle far before its end time, so the
  // step is not shortened to the end time) and the end cycle: the run stops
  // near that cycle whichever of the two ends it.
  bench::writeCubeDeck(deck, n, 1.0, 1);
  const RunTiming probe = runProgram(deck, work, 1, "");
  if (!probe.ok || !(probe.firstStep > 0.0)) {
    fprintf(stderr, "the program failed on the probe deck %s\n", deck.string().c_str());
    return 1;
  }
  const double endTime = (cycles + 0.5) * probe.firstStep;
  bench::writeCubeDeck(deck, n, endTime, cycles);
  // An output interval beyond the end time: results at time 0 and at the end.
  char endsOnly[64];
  std::snprintf(endsOnly, sizeof endsOnly, "OT=%.9g", 4.0 * endTime);
  const int elements = n * n * n;
  printf("whole runs of impactfem on a cube of %d^3 one-point hexahedra (%d elements), about %d cycles, best of %d\n",
         n, elements, cycles, repeats);
  bench::TableRow row("whole run, hexahedra " + std::to_string(n) + "^3: us per element-cycle", "%.3f");
  row.setTimeBytes(bench::cubeTraffic(true, n).total(), 1e6);
  bench::TableRow outputRow("whole run, hexahedra " + std::to_string(n) + "^3: ms per output point", "%.2f");
  double oneThread = 0.0;
  // Each thread count: the loop with the ends' output only, then with the
  // default output interval.
  const auto measure = [&](const char* label, int threads) {
    const RunTiming t = bestRun(deck, work, threads, repeats, endsOnly);
    report(label, threads, t, elements, oneThread);
    row.add(usPerElementCycle(t, elements));
    const RunTiming withOutput = bestRun(deck, work, threads, repeats, "");
    outputRow.add(reportOutputPoints(threads, withOutput, t, elements));
    outputRow.setTimeBytes(outputPointBytes(n, withOutput.fileBytes), 1e3);
    return t;
  };
  for (int threads = 1;; threads = std::min(2 * threads, cores)) {
    const RunTiming t = measure("idle", threads);
    if (threads == 1) oneThread = usPerElementCycle(t, elements);
    if (threads == cores) break;
  }
  {
    bench::CoreLoad load;
    measure("1 loaded", cores);
  }
  row.print();
  outputRow.print();
  fs::remove_all(folder);
  return 0;
}
