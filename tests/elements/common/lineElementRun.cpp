#include "tests/elements/common/lineElementRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "solver/runLog.h"
#include "core/nodeManager.h"
#include "input/inp/inpReader.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "output/basicoutput.h"
#include "output/outputManager.h"
#include "output/outputModel.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/multigpumanager.h"

namespace linerun {
namespace {

namespace fs = std::filesystem;

class TraceProbe : public BasicOutput {
 public:
  TraceProbe(const RunOptions& options, bool device) : options_(options), device_(device) {}
  Trace trace;

  void collect(OutputModel* fem, double time, double) override {
    if (!trace.time.empty() && time == lastTime_) return;
    lastTime_ = time;
    NodeManager* nm = fem->nodeManager;
    if (calls_++ % options_.every == 0) {
      if (device_) nm->copyNodesToCpu();
      trace.time.push_back(time);
      std::vector<NodeCuda> picked;
      for (int n : options_.traced) picked.push_back(nm->node_array_cpu[n - 1]);
      trace.nodes.push_back(std::move(picked));
    }
  }
  void init(OutputModel*) override {}
  void write(OutputModel*, double, double) override {}
  void writeBinaryDump(OutputModel*, double, double) override {}
  void readBinaryDump(OutputModel*, double, double) override {}

 private:
  RunOptions options_;
  bool device_;
  long calls_ = 0;
  double lastTime_ = 0.0;  // a state gathered again (for output points a host step passed) is traced once
};

// A folder per test and deck: tests that run side by side and run the same
// deck never share one.
fs::path writeDeck(const std::string& name, const std::string& deck, const char* file = "deck.k") {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const fs::path folder = fs::path(FEM_BINARY_DIR) / "line_element_runs" / (test != nullptr ? test->name() : "") / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / file) << deck;
  return folder;
}

}  // namespace

Trace runDeck(const std::string& name, const std::string& deck, const RunOptions& options) {
  const char* file = options.inpDeck ? "deck.inp" : "deck.k";
  const fs::path folder = writeDeck(name, deck, file);
  resetRunLog();
  auto fem = std::make_unique<FEMDynamic>();
  fem->newManagers();
  fem->multiGpuManager->selectGpu();
  fem->input_file = (folder / file).string();
  fem->work_path = (folder / "work").string();
  Trace trace;
  testing::internal::CaptureStdout();
  bool read =
      (options.inpDeck ? readInpDeck(fem.get(), fem->input_file) : readKeywordDeck(fem.get(), fem->input_file)) == 1;
  if (read && options.afterRead) options.afterRead(fem.get());
  read = read && preprocessModel(fem.get()) == 1;
  if (read) {
    auto probe = std::make_unique<TraceProbe>(options, !options.hostLoop);
    TraceProbe* recorder = probe.get();
    fem->outputManager->addOutput(std::move(probe));
    double contactTime = 0.0, outputTime = 0.0;
    fem->host_path_flag = options.hostLoop ? 1 : 0;
    if (options.hostLoop)
      femDynaAnalyCpu(fem.get(), &contactTime, &outputTime);
    else
      femDynaAnalyParalle(fem.get(), &contactTime, &outputTime);
    trace = std::move(recorder->trace);
    if (options.afterRun) options.afterRun(fem.get());
  }
  const std::string console = testing::internal::GetCapturedStdout();
  if (!read) ADD_FAILURE() << "the deck of " << name << " was not read or set up:\n" << console;
  trace.console = console;
  resetRunLog();
  return trace;
}

int setUpDeck(const std::string& name, const std::string& deck, std::string* messages) {
  const fs::path folder = writeDeck(name, deck);
  auto fem = std::make_unique<FEMDynamic>();
  fem->newManagers();
  fem->input_file = (folder / "deck.k").string();
  fem->work_path = (folder / "work").string();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int status = readKeywordDeck(fem.get(), fem->input_file);
  if (status == 1) status = preprocessModel(fem.get());
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  if (messages != nullptr) *messages = out + err;
  return status;
}

std::vector<double> upwardCrossings(const std::vector<double>& t, const std::vector<double>& v) {
  std::vector<double> out;
  for (size_t i = 1; i < v.size(); ++i)
    if (v[i - 1] < 0.0 && v[i] >= 0.0) out.push_back(t[i - 1] + (t[i] - t[i - 1]) * (-v[i - 1]) / (v[i] - v[i - 1]));
  return out;
}

}  // namespace linerun
