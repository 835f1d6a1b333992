#include "tests/solver/motionDeck.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/nodeManager.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "output/outputManager.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"

namespace motiondeck {

std::string num(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::string Block::cards() const {
  std::ostringstream deck;
  deck << "*NODE\n";
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "%8d%16.9g%16.9g%16.9g\n", node(i, j, k), origin[0] + i * h, origin[1] + j * h,
                      origin[2] + k * h);
        deck << line;
      }
  deck << "*ELEMENT_SOLID\n";
  int element = elementOffset;
  for (int k = 0; k < nz; ++k)
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "%8d%8d%8d%8d%8d%8d%8d%8d%8d%8d\n", ++element, part, node(i, j, k),
                      node(i + 1, j, k), node(i + 1, j + 1, k), node(i, j + 1, k), node(i, j, k + 1),
                      node(i + 1, j, k + 1), node(i + 1, j + 1, k + 1), node(i, j + 1, k + 1));
        deck << line;
      }
  const std::string id = std::to_string(part);
  const std::string mid = std::to_string(material != 0 ? material : part);
  deck << "*PART\nblock" << part << "\n"
       << card({id, id, mid, "", hourglassId != 0 ? std::to_string(hourglassId) : ""});
  deck << "*SECTION_SOLID\n" << card({id, "1"});
  if (mid != id) return deck.str();
  deck << (rigid ? "*MAT_RIGID\n" : "*MAT_ELASTIC\n") << card({id, num(density), num(young), num(poisson)});
  if (rigid && !rigidConstraints.empty()) deck << rigidConstraints;
  return deck.str();
}

std::string nodeSet(int id, const std::vector<int>& members) {
  std::string text = "*SET_NODE_LIST\n" + card({std::to_string(id)});
  for (std::size_t start = 0; start < members.size(); start += 8) {
    std::string line;
    for (std::size_t k = start; k < members.size() && k < start + 8; ++k) line += card({std::to_string(members[k])});
    std::erase(line, '\n');
    text += line + "\n";
  }
  return text;
}

std::string curve(int id, std::initializer_list<std::pair<double, double>> points) {
  std::string text = "*DEFINE_CURVE\n" + card({std::to_string(id)});
  for (const auto& [t, v] : points) text += num(t) + " " + num(v) + "\n";
  return text;
}

std::string termination(double endTime, int endCycle) {
  return "*CONTROL_TERMINATION\n" + card({num(endTime), std::to_string(endCycle)});
}

namespace {
// The deck file in a fresh scratch folder of the case (the keyword deck
// wrapped in *KEYWORD ... *END, an .inp deck as it is).
std::string writeDeck(const std::string& name, const std::string& deck, bool inp = false) {
  const deckcase::fs::path folder = deckcase::scratchFolder("motion_" + name);
  const std::string path = (folder / (inp ? "deck.inp" : "deck.k")).string();
  std::ofstream out(path, std::ios::binary);
  if (inp) {
    out << deck;
  } else {
    out << "*KEYWORD\n" << deck << "*END\n";
  }
  return path;
}

// Runs the program on the deck file with its work folder beside it.
int runDeckFile(const std::string& path, std::string* console, const std::string& options) {
  const deckcase::fs::path folder = deckcase::fs::path(path).parent_path();
  const std::string command = std::string(FEM_PROGRAM) + " INP=" + path + " WD=" + (folder / "work").string() + " " +
                              options + " > " + (folder / "console.txt").string() + " 2>&1";
  const int status = std::system(command.c_str());
  *console = deckcase::readText(folder / "console.txt");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

std::vector<deckcase::Sample> run(const std::string& name, const std::string& deck) {
  writeDeck(name, deck);
  return deckcase::runInProcessAt(deckcase::fs::path(FEM_BINARY_DIR) / "deck_cases" / ("motion_" + name));
}

void Watch::collect(OutputModel* model, double time, double) {
  model->nodeManager->copyNodesToCpu();
  callback_(*solver, time);
}

void watchModelAt(const deckcase::fs::path& scratch, Watch::Callback callback) {
  auto watch = std::make_unique<Watch>(std::move(callback));
  Watch* watching = watch.get();
  deckcase::runModelAt(scratch, std::move(watch), [watching](FEMDynamic* fem) { watching->solver = fem; });
}

void runWatching(const std::string& name, const std::string& deck, Watch::Callback callback) {
  writeDeck(name, deck);
  watchModelAt(deckcase::fs::path(FEM_BINARY_DIR) / "deck_cases" / ("motion_" + name), std::move(callback));
}

void runHostWatching(const std::string& name, const std::string& deck, Watch::Callback callback) {
  FEMDynamic fem;
  fem.newManagers();
  // The run's files go beside its deck: tests run side by side as separate
  // processes, and two runs writing one folder would meet.
  const std::string path = writeDeck(name, deck);
  fem.work_path = (deckcase::fs::path(path).parent_path() / "work_host").string();
  deckcase::fs::create_directories(fem.work_path);
  ASSERT_EQ(readKeywordDeck(&fem, path), 1);
  ASSERT_EQ(preprocessModel(&fem), 1);
  auto watch = std::make_unique<Watch>(std::move(callback));
  watch->solver = &fem;
  fem.outputManager->addOutput(std::move(watch));
  fem.host_path_flag = 1;
  double contactTime = 0.0, outputTime = 0.0;
  EXPECT_TRUE(femDynaAnalyCpu(&fem, &contactTime, &outputTime));
}

void runBothLoops(const std::string& name, const std::string& deck, const CycleCheck& check) {
  for (bool host : {false, true}) {
    SCOPED_TRACE(host ? "host loop" : "GPU loop");
    double previous = 0.0;
    int cycles = 0;
    auto callback = [&](FEMDynamic& fem, double time) {
      if (time > previous) {
        check(fem.nodeManager->node_array_cpu, time, time - previous);
        ++cycles;
      }
      previous = time;
    };
    if (host) {
      runHostWatching(name + "_host", deck, callback);
    } else {
      runWatching(name, deck, callback);
    }
    EXPECT_GT(cycles, 10);
  }
}

int runProgram(const std::string& name, const std::string& deck, std::string* console, const std::string& options) {
  return runDeckFile(writeDeck(name, deck), console, options);
}

int runInpProgram(const std::string& name, const std::string& deck, std::string* console, const std::string& options) {
  return runDeckFile(writeDeck(name, deck, true), console, options);
}

}  // namespace motiondeck
