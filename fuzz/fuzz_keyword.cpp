// libFuzzer target of a run from the keyword deck: every input is written to
// a deck file, read with its completion into a fresh solver object, and a
// deck that is read and set up runs the GPU time loop for at most ten
// cycles.  Besides crashes and sanitizer reports it finds runs that hang
// (the fuzzer's timeout) and runs that report success with a node state
// that is not finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/logFile.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "core/runStop.h"
#include "input/keywordReader.h"
#include "input/preprocessModel.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"

namespace {

// Cycles of the time loop run for one input.
constexpr int kCycleCap = 10;

// A private folder for the deck and the run's output, made once per process.
const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzz_keyword_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        return std::filesystem::path(pattern);
    }();
    return path;
}

std::string deckPath() { return (scratchFolder() / "fuzz.k").string(); }
std::filesystem::path workFolder() { return scratchFolder() / "work"; }

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "fuzz_keyword: %s\n", what);
    std::abort();
}

bool nodeStateFinite(const NodeCuda& n) {
    for (int k = 0; k < 3; ++k)
        if (!std::isfinite(n.coord[k]) || !std::isfinite(n.vel[k])) return false;
    return true;
}

// The GPU loop over the set-up model, stopped after at most kCycleCap
// cycles: the end time is dropped and the end cycle capped.
void runCapped(FEMDynamic* fem) {
    TimeControl* tc = fem->timeControl;
    tc->end_cycle = tc->end_cycle > 0 && tc->end_cycle < kCycleCap ? tc->end_cycle : kCycleCap;
    tc->end_time = 0.0;
    fem->host_path_flag = 0;
    double contactTime = 0.0, outputTime = 0.0;
    const bool completed = femDynaAnalyParalle(fem, &contactTime, &outputTime);
    resetRunLog();
    resetRunStop();  // a file the run could not write stops only this run
    if (!completed) return;  // refused or stopped with a message
    if (fem->cycle > kCycleCap) finding("the time loop ran past its cycle cap");
    fem->nodeManager->copyNodesToCpu();
    for (const NodeCuda& n : fem->nodeManager->node_array_cpu)
        if (!nodeStateFinite(n)) finding("a run reported success with a node state that is not finite");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The loop's console report would slow every input down.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::ofstream deck(deckPath(), std::ios::binary | std::ios::trunc);
        deck.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::error_code ec;
    std::filesystem::create_directories(workFolder(), ec);
    FEMDynamic* fem = new FEMDynamic[1];
    fem->newManagers();
    fem->input_file = deckPath();
    fem->work_path = workFolder().string();
    if (readKeywordDeck(fem, deckPath()) == 1 && preprocessModel(fem) == 1) runCapped(fem);
    delete[] fem;
    std::filesystem::remove_all(workFolder(), ec);
    return 0;
}
