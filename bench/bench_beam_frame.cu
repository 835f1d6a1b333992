// Speed of the explicit cycle on a planar grid frame of resultant beams
// (steel, 10 x 10 mm, 0.1 m bays) set bending by an initial velocity field.
// The deck is written, read and set up as a user's would be, then the GPU
// loop of the host build runs on one thread and on all cores; reported:
// microseconds per element-cycle of the element and node steps (wall and
// processor time).
//
//   bench_beam_frame [beams=100000] [cycles=100] [threads=all cores]
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/benchCycle.h"
#include "core/logErrorPrint.h"
#include "solver/runLog.h"
#include "core/nodeManager.h"
#include "core/sectionmanager.h"
#include "elements/common/elementControl.h"
#include "elements/common/hourglassControlManager.h"
#include "materials/materialmanager.h"
#include "solver/initialCondition.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/multigpumanager.h"
#include "solver/timeControl.h"

namespace {

namespace fs = std::filesystem;

// Bays per side of a square grid with at least the asked number of beams:
// m bays give 2 m (m + 1) beams.
int baysFor(int beams) {
  int m = 1;
  while (2 * m * (m + 1) < beams) ++m;
  return m;
}

void writeDeck(const fs::path& file, int m) {
  const double h = 0.1, a = 0.01, span = m * h;
  std::ofstream d(file);
  d << "*KEYWORD\n*CONTROL_TERMINATION\n1.0\n*NODE\n";
  const int np = m + 1;
  for (int j = 0; j < np; ++j)
    for (int i = 0; i < np; ++i) d << 1 + i + np * j << "," << i * h << "," << j * h << ",0\n";
  d << "*ELEMENT_BEAM\n";
  int id = 1;
  for (int j = 0; j < np; ++j)
    for (int i = 0; i < np; ++i) {
      const int n = 1 + i + np * j;
      if (i < m) d << id++ << ",1," << n << "," << n + 1 << ",0\n";
      if (j < m) d << id++ << ",1," << n << "," << n + np << ",0\n";
    }
  d << "*PART\nframe\n1,1,1\n*SECTION_BEAM\n1,2\n"
    << a * a << "," << a * a * a * a / 12 << "," << a * a * a * a / 12 << ",0," << a * a * 5 / 6
    << "\n*MAT_ELASTIC\n1,7850,2.1e11,0.3\n*INITIAL_VELOCITY_NODE\n";
  const double pi = std::acos(-1.0);
  for (int j = 0; j < np; ++j)
    for (int i = 0; i < np; ++i)
      d << 1 + i + np * j << ",0,0," << std::sin(pi * i * h / span) * std::sin(pi * j * h / span) << "\n";
  d << "*END\n";
}

// The frame read and set up as the program does it, with the device copy
// of the model, stepped by the shared cycle of the GPU loop.
class FrameModel {
 public:
  FrameModel(const fs::path& deck, int elements) : fem_(std::make_unique<FEMDynamic>()), elements_(elements) {
    resetRunLog();
    FEMDynamic* d = fem_.get();
    d->newManagers();
    d->multiGpuManager->selectGpu();
    d->input_file = deck.string();
    d->work_path = (deck.parent_path() / "work").string();
    if (readKeywordDeck(d, d->input_file) != 1 || preprocessModel(d) != 1) {
      fprintf(stderr, "the frame deck could not be set up\n");
      std::exit(1);
    }
    d->initialComputeCpu();
    applyInitialConditions(*d);
    d->allocateAndCopySingleGpu();
    d->initialComputeSingleGpu();
    cycle_.nodes = d->nodeManager;
    cycle_.control = d->elementControl;
    cycle_.materials = d->materialManager->materialNewArrayGpu_;
    cycle_.sections = d->sectionManager->section_array_gpu;
    cycle_.hourglass = d->hourglassControlManager->hourglass_array_gpu;
    cublasCreate_v2(&cycle_.handle);
    cycle_.dt = cycle_.prevDt =
        std::min(d->timeControl->calInitialDtGpu(d->sectionManager, d->materialManager, d->elementControl), 1e-3);
  }
  ~FrameModel() { cublasDestroy_v2(cycle_.handle); }

  bench::Timing run(int cycles) { return cycle_.run(cycles); }
  int elementNum() const { return elements_; }
  double dt() const { return cycle_.dt; }

 private:
  std::unique_ptr<FEMDynamic> fem_;
  bench::GpuCycle cycle_;
  int elements_;
};

}  // namespace

int main(int argc, char** argv) {
  const bench::Options args(argc, argv);
  const int beams = args.number(1, 100000);
  const int cycles = args.number(2, 100);
  const int cores = args.threads(3);
  if (beams < 4 || cycles < 1 || cores < 1) {
    fprintf(stderr, "usage: bench_beam_frame [beams >= 4] [cycles >= 1] [threads >= 1]\n");
    return 1;
  }
  const int m = baysFor(beams);
  const int count = 2 * m * (m + 1);
  const fs::path folder = fs::temp_directory_path() / "impactfem_bench_beam_frame";
  fs::create_directories(folder);
  const fs::path deck = folder / "frame.k";
  writeDeck(deck, m);
  printf("grid frame of %d x %d bays: %d resultant beams, %d nodes, %d cycles\n", m, m, count, (m + 1) * (m + 1),
         cycles);
  FrameModel model(deck, count);
  bench::runThreadSeries(model, cores, cycles, 1, "beams: us per element-cycle");
  printf("step %.4e s\n", model.dt());
  fs::remove_all(folder);
  return 0;
}
