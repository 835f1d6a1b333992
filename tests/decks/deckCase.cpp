#include "tests/decks/deckCase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/nodeManager.h"
#include "input/inp/inpReader.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "output/nodalStress.h"
#include "output/outputManager.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/multigpumanager.h"

namespace deckcase {

fs::path caseFolder(const std::string& name) { return fs::path(FEM_SOURCE_DIR) / "tests" / "decks" / name; }

fs::path scratchFolder(const std::string& name) {
  const fs::path folder = fs::path(FEM_BINARY_DIR) / "deck_cases" / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

int runProgram(const std::string& name, const std::string& extraOptions) {
  const fs::path scratch = scratchFolder(name);
  fs::copy_file(caseFolder(name) / "deck.k", scratch / "deck.k");
  const std::string command = std::string(FEM_PROGRAM) + " INP=" + (scratch / "deck.k").string() +
                              " WD=" + (scratch / "work").string() + " " + extraOptions + " > " +
                              (scratch / "console.txt").string() + " 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<fs::path> vtkFiles(const fs::path& work) {
  std::vector<fs::path> files;
  if (fs::exists(work / "result.vtk")) {
    files.push_back(work / "result.vtk");
  }
  for (int k = 1; fs::exists(work / ("result_" + std::to_string(k) + ".vtk")); ++k) {
    files.push_back(work / ("result_" + std::to_string(k) + ".vtk"));
  }
  return files;
}

std::string readText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Probe::collect(OutputModel* fem, double time, double) {
  NodeManager* nodes = fem->nodeManager;
  averageNodalStressGpu(fem);
  nodes->copyNodesToCpu();
  samples.push_back(Sample{time, nodes->node_array_cpu});
}

std::vector<Sample> runInProcess(const std::string& name, const std::string& scratchName,
                                 const std::function<void(FEMDynamic*)>& afterReading) {
  const fs::path scratch = scratchFolder(scratchName.empty() ? name : scratchName);
  fs::copy_file(caseFolder(name) / "deck.k", scratch / "deck.k");
  return runInProcessAt(scratch, afterReading);
}

void runModelAt(const fs::path& scratch, std::unique_ptr<BasicOutput> output,
                const std::function<void(FEMDynamic*)>& afterReading) {
  const std::string name = scratch.filename().string();
  auto* fem = new FEMDynamic[1];
  fem->newManagers();
  fem->multiGpuManager->selectGpu();
  const bool inp = fs::exists(scratch / "deck.inp");
  fem->input_file = (scratch / (inp ? "deck.inp" : "deck.k")).string();
  fem->work_path = (scratch / "work").string();
  const bool read = (inp ? readInpDeck(fem, fem->input_file) : readKeywordDeck(fem, fem->input_file)) == 1;
  if (read && afterReading) {
    afterReading(fem);
  }
  if (!read) {
    ADD_FAILURE() << "the deck of " << name << " was not read";
  } else if (preprocessModel(fem) != 1) {
    ADD_FAILURE() << "the model of " << name << " was not set up";
  } else {
    fem->outputManager->addOutput(std::move(output));
    double contactTime = 0.0;
    double outputTime = 0.0;
    fem->host_path_flag = 0;
    if (!femDynaAnalyParalle(fem, &contactTime, &outputTime))
      ADD_FAILURE() << "the run of " << name << " stopped before its end";
  }
  delete[] fem;
}

std::vector<Sample> runInProcessAt(const fs::path& scratch, const std::function<void(FEMDynamic*)>& afterReading) {
  // The output manager owns the probe and destroys it with the solver:
  // the probe hands its samples over as it goes.
  struct Keeper : Probe {
    std::vector<Sample>* out = nullptr;
    ~Keeper() override { *out = std::move(samples); }
  };
  std::vector<Sample> samples;
  auto keeper = std::make_unique<Keeper>();
  keeper->out = &samples;
  runModelAt(scratch, std::move(keeper), afterReading);
  return samples;
}

std::vector<Sample> runCaseDeck(const std::string& name, const std::string& deck) {
  const fs::path scratch = scratchFolder(name + "_" + deck);
  fs::copy_file(caseFolder(name) / deck, scratch / deck);
  return runInProcessAt(scratch);
}

void expectTwins(const std::vector<Sample>& first, const std::vector<Sample>& second) {
  ASSERT_FALSE(first.empty());
  ASSERT_EQ(first.size(), second.size());
  for (size_t s = 0; s < first.size(); ++s) {
    EXPECT_NEAR(first[s].time, second[s].time, 1e-12 * second[s].time) << "sample " << s;
    ASSERT_EQ(first[s].nodes.size(), second[s].nodes.size());
    for (size_t n = 0; n < first[s].nodes.size(); ++n) {
      for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(first[s].nodes[n].coord[k], second[s].nodes[n].coord[k], 1e-12) << "node " << n + 1;
        EXPECT_NEAR(first[s].nodes[n].vel[k], second[s].nodes[n].vel[k],
                    1e-12 * (1.0 + std::fabs(second[s].nodes[n].vel[k])))
            << "node " << n + 1;
      }
    }
  }
}

}  // namespace deckcase
