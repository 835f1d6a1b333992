// The set-up passes share their work over the threads: a model set up on
// four threads is the model set up on one, field for field and bit for bit
// (masses, volumes, step models, node lists, initial velocities, the
// first step), and a large model takes its step models and node masses
// from the parallel paths.
#include "tests/deviceTest.h"
#include <omp.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "core/nodeManager.h"
#include "core/part.h"
#include "elements/common/elmmanager.h"
#include "input/link/preprocessModel.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"
#include "solver/multigpumanager.h"
#include "solver/timeControl.h"
#include "tests/input/keyword/keywordTestDeck.h"
#include "tests/solver/motionDeck.h"

namespace {

// An 18^3 block (5832 hexahedra: more than one share of each parallel
// loop) and, apart from it, a column of 30 cubes in a second part of
// another Poisson ratio; a velocity field given node by node.
std::string twoPartDeck() {
  motiondeck::Block block;
  block.nx = block.ny = block.nz = 18;
  block.h = 0.01;
  block.density = 7850.0;
  block.young = 2.1e11;
  block.poisson = 0.3;
  motiondeck::Block column = block;
  column.nx = column.ny = 1;
  column.nz = 30;
  column.part = 2;
  column.poisson = 0.2;
  column.origin[0] = 1.0;
  column.nodeOffset = block.nodeCount();
  column.elementOffset = 18 * 18 * 18;
  std::string deck = "*KEYWORD\n" + motiondeck::termination(1e-4) + block.cards() + column.cards();
  deck += "*INITIAL_VELOCITY_NODE\n";
  const int nodes = block.nodeCount() + column.nodeCount();
  for (int n = 1; n <= nodes; ++n)
    deck += std::to_string(n) + " " + motiondeck::num(std::sin(0.01 * n)) + " " + motiondeck::num(0.5) + " 0\n";
  return deck + "*END\n";
}

// Reads and sets up the deck on `threads` threads as the program does, and
// writes what the set-up computed as text (hexadecimal doubles).  Each call
// reads its deck from a folder of its own: the tests of this file run side
// by side as separate processes.
std::string setUpAndDump(const std::string& deckText, int threads, const std::string& name) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(threads);
  auto fem = std::make_unique<FEMDynamic>();
  fem->newManagers();
  fem->multiGpuManager->selectGpu();
  testing::internal::CaptureStdout();
  const bool read = readDeckFile(fem.get(), name, deckText) == 1 && preprocessModel(fem.get()) == 1;
  bool ready = read && fem->initialComputeCpu();
  if (ready) {
    for (InitialCondition& ic : *fem->initial_condition_array) ic.apply(fem->rigidManager);
    fem->allocateAndCopySingleGpu();
    ready = fem->initialComputeSingleGpu();
  }
  const double step =
      ready ? fem->timeControl->calInitialDtGpu(fem->sectionManager, fem->materialManager, fem->elementControl) : 0.0;
  testing::internal::GetCapturedStdout();
  omp_set_num_threads(saved);
  EXPECT_TRUE(ready);

  std::ostringstream out;
  char line[512];
  std::snprintf(line, sizeof line, "first step %a\n", step);
  out << line;
  fem->nodeManager->copyNodesToCpu();
  for (const NodeCuda& n : fem->nodeManager->node_array_cpu) {
    std::snprintf(line, sizeof line, "node %d %a %a %a mass %a %a vel %a %a %a\n", n.id, n.coord[0], n.coord[1],
                  n.coord[2], n.mass, n.stored_mass, n.vel[0], n.vel[1], n.vel[2]);
    out << line;
  }
  for (const Part& p : fem->part_array) {
    out << "part " << p.id << " nodes";
    for (const NodeCuda* n : p.node_array) out << " " << n->id;
    out << "\n";
    for (const SolidElementCuda& e : p.elmManager->solid_element_array_cpu) {
      std::snprintf(line, sizeof line, "element %d volume %a mass %a model %a %a shares %d\n", e.id, e.volume, e.mass,
                    e.stepModel.poisson, e.stepModel.density, e.gaussNodeNum);
      out << line;
    }
  }
  return out.str();
}

DEVICE_TEST(SetupThreads, FourThreadsSetUpTheModelOfOneThread) {
  const std::string deck = twoPartDeck();
  const std::string one = setUpAndDump(deck, 1, "setup_threads_one");
  const std::string four = setUpAndDump(deck, 4, "setup_threads_four");
  EXPECT_GT(one.size(), 100000u);
  EXPECT_TRUE(one == four) << "the model set up on four threads differs from the one on one thread";
}

DEVICE_TEST(SetupThreads, ALargeModelGetsItsStepModelsAndMassesOnSeveralThreads) {
  const std::string dump = setUpAndDump(twoPartDeck(), 4, "setup_threads_large");
  std::istringstream in(dump);
  int block = 0, column = 0;
  double blockMass = 0.0;
  for (std::string line; std::getline(in, line);) {
    int id = 0, shares = 0;
    double volume = 0.0, mass = 0.0, poisson = 0.0, density = 0.0;
    if (std::sscanf(line.c_str(), "element %d volume %la mass %la model %la %la shares %d", &id, &volume, &mass,
                    &poisson, &density, &shares) != 6)
      continue;
    const bool inColumn = id > 18 * 18 * 18;
    (inColumn ? column : block) += 1;
    EXPECT_EQ(poisson, inColumn ? 0.2 : 0.3);  // each element takes its own part's material
    EXPECT_EQ(density, 7850.0);
    if (!inColumn) blockMass += mass;
    EXPECT_EQ(shares, 8);
  }
  EXPECT_EQ(block, 18 * 18 * 18);
  EXPECT_EQ(column, 30);
  EXPECT_NEAR(blockMass, 7850.0 * std::pow(0.18, 3), 1e-9);
}

}  // namespace
