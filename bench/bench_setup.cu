// Cost of reading and setting up a model: the cube of n^3 one-point
// hexahedra of bench_hexa_cube, or the plate of n x n shells of
// bench_shell_plate, written as a keyword deck, read and set up as the
// program does it (deck reading, model preparation, the host set-up pass,
// the upload, the device set-up pass and the first critical step), on 1, 2,
// 4 ... threads and on all cores with one core kept busy.  Reported, best of
// a few runs: microseconds per element of each phase and of the whole (the
// set-up is every phase after reading), the steps of the passes that take
// longest, and the memory of the set-up model per element: the process's
// resident bytes and the bytes of its device blocks.
//
//   bench_setup [n=60 (cube), 300 (plate)] [threads=all cores] [repeats=3] [cube|plate]
#include <fcntl.h>
#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/benchCycle.h"
#include "bench/benchDecks.h"
#include "bench/benchTable.h"
#include "solver/runLog.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"
#include "solver/multigpumanager.h"
#include "solver/runClock.h"
#include "solver/timeControl.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPhases = 6;
const char* const kPhaseNames[kPhases] = {"read", "prepare", "host pass", "upload", "device pass", "first step"};

struct SetupTiming {
  double phase[kPhases] = {};
  double residentBytes = 0.0, deviceBytes = 0.0;  // after the set-up
  std::vector<std::string> steps;                 // the traced steps of the passes
  std::vector<double> stepSeconds;
  // Everything after reading.
  double total() const {
    double t = 0.0;
    for (int k = 1; k < kPhases; ++k) t += phase[k];
    return t;
  }
  void keepMinimum(const SetupTiming& o) {
    if (total() == 0.0 || o.total() < total()) *this = o;
  }
};

// Reads and sets up the deck once; the solver object is released after the
// timing.
SetupTiming setUpOnce(const fs::path& deck) {
  SetupTiming t;
  resetRunLog();
  auto fem = std::make_unique<FEMDynamic>();
  FEMDynamic* d = fem.get();
  d->newManagers();
  d->multiGpuManager->selectGpu();
  d->input_file = deck.string();
  d->work_path = (deck.parent_path() / "work").string();
  std::vector<double> clock;
  d->setupTrace = &t.steps;
  d->setupTraceClock = &clock;
  auto mark = bench::Clock::now();
  const auto phaseDone = [&](int k) {
    const auto now = bench::Clock::now();
    t.phase[k] = bench::seconds(mark, now);
    mark = now;
    // The last traced step of a pass ends with the pass.
    t.steps.push_back(std::string("(") + kPhaseNames[k + 1 < kPhases ? k + 1 : k] + ")");
    clock.push_back(wallClockMs());
  };
  if (readKeywordDeck(d, d->input_file) != 1) std::exit(1);
  phaseDone(0);
  if (preprocessModel(d) != 1) std::exit(1);
  phaseDone(1);
  if (!d->initialComputeCpu()) std::exit(1);
  applyInitialConditions(*d);
  phaseDone(2);
  d->allocateAndCopySingleGpu();
  phaseDone(3);
  if (!d->initialComputeSingleGpu()) std::exit(1);
  phaseDone(4);
  d->timeControl->calInitialDtGpu(d->sectionManager, d->materialManager, d->elementControl);
  phaseDone(5);
  t.residentBytes = bench::residentBytes();
  t.deviceBytes = bench::deviceBytes();
  // A step lasts until the next one starts.
  for (std::size_t k = 0; k + 1 < clock.size(); ++k) t.stepSeconds.push_back((clock[k + 1] - clock[k]) / 1000.0);
  d->setupTrace = nullptr;
  d->setupTraceClock = nullptr;
  return t;
}

SetupTiming bestSetUp(const fs::path& deck, int threads, int repeats) {
  omp_set_num_threads(threads);
  SetupTiming best;
  // The program's own messages go nowhere while the model is set up.
  std::fflush(stdout);
  const int saved = dup(1);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  for (int r = 0; r < repeats; ++r) best.keepMinimum(setUpOnce(deck));
  std::fflush(stdout);
  dup2(saved, 1);
  close(null);
  close(saved);
  return best;
}

// The steps of the passes that take the most time.
void reportSteps(const SetupTiming& t, int elements, int most) {
  std::vector<std::size_t> order(t.stepSeconds.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return t.stepSeconds[a] > t.stepSeconds[b]; });
  for (std::size_t k = 0; k < order.size() && static_cast<int>(k) < most; ++k)
    printf("    %7.3f us per element  %s\n", t.stepSeconds[order[k]] / elements * 1e6, t.steps[order[k]].c_str());
}

void report(const char* label, int threads, const SetupTiming& t, int elements) {
  printf("%-9s %2d threads: set-up %7.3f us per element (%.3f s), reading %.3f:", label, threads,
         t.total() / elements * 1e6, t.total(), t.phase[0] / elements * 1e6);
  for (int k = 1; k < kPhases; ++k) printf(" %s %.3f", kPhaseNames[k], t.phase[k] / elements * 1e6);
  printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options args(argc, argv);
  const bool plate = args.is(4, "plate");
  const int n = args.number(1, plate ? 300 : 60);
  const int cores = args.threads(2);
  const int repeats = args.number(3, 3);
  if (n < 1 || cores < 1 || repeats < 1 || (args.given(4) && !plate && !args.is(4, "cube"))) {
    fprintf(stderr, "usage: bench_setup [n >= 1] [threads >= 1] [repeats >= 1] [cube|plate]\n");
    return 1;
  }
  const fs::path folder = fs::temp_directory_path() / "impactfem_bench_setup";
  fs::create_directories(folder);
  const fs::path deck = folder / "model.k";
  if (plate)
    bench::writePlateDeck(deck, n, 1e-3, 1);
  else
    bench::writeCubeDeck(deck, n, 1e-3, 1);
  const int elements = plate ? n * n : n * n * n;
  printf("set-up of a %s (%d elements), best of %d; microseconds per element of each phase\n",
         plate ? "plate of Belytschko-Tsay shells" : "cube of one-point hexahedra", elements, repeats);
  SetupTiming first;
  const std::string label = std::string(plate ? "shells " : "hexahedra ") + std::to_string(n) + (plate ? "^2" : "^3");
  bench::TableRow row(label + ": set-up us per element", "%.2f");
  for (int threads = 1;; threads = std::min(2 * threads, cores)) {
    const SetupTiming t = bestSetUp(deck, threads, repeats);
    if (threads == 1) first = t;
    report("idle", threads, t, elements);
    row.add(t.total() / elements * 1e6);
    if (threads == 1 || threads == cores) reportSteps(t, elements, 8);
    if (threads == cores) break;
  }
  {
    bench::CoreLoad load;
    const SetupTiming t = bestSetUp(deck, cores, repeats);
    report("1 loaded", cores, t, elements);
    row.add(t.total() / elements * 1e6);
  }
  // The deck read once and the set-up model's memory written once.
  row.setTimeBytes((static_cast<double>(fs::file_size(deck)) + first.residentBytes) / elements, 1e6);
  row.print();
  printf("memory of the set-up model: %.0f bytes per element resident, %.0f bytes per element in device blocks\n",
         first.residentBytes / elements, first.deviceBytes / elements);
  bench::TableRow memory(label + ": bytes per element after set-up (resident)", "%.0f");
  memory.add(first.residentBytes / elements);
  memory.print();
  fs::remove_all(folder);
  return 0;
}
