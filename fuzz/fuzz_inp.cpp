// libFuzzer target of a run from an .inp deck: every input is read as deck
// text into a fresh solver object; a deck that is read and set up runs the
// GPU time loop for at most ten cycles. Besides crashes and sanitizer
// reports it finds runs that hang (the fuzzer's timeout) and runs that
// report success with a node state that is not finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/logFile.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "core/runStop.h"
#include "input/inpReader.h"
#include "input/preprocessModel.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"

namespace {

constexpr int kCycleCap = 10;

// A private work folder for the run's output, made once per process.
const std::filesystem::path& workFolder() {
    static const std::filesystem::path path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzz_inp_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        return std::filesystem::path(pattern) / "work";
    }();
    return path;
}

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "fuzz_inp: %s\n", what);
    std::abort();
}

void runCapped(FEMDynamic* fem) {
    TimeControl* tc = fem->timeControl;
    tc->end_cycle = kCycleCap;
    tc->end_time = 0.0;
    fem->host_path_flag = 0;
    double contactTime = 0.0, outputTime = 0.0;
    const bool completed = femDynaAnalyParalle(fem, &contactTime, &outputTime);
    resetRunLog();
    resetRunStop();  // a file the run could not write stops only this run
    if (!completed) return;
    if (fem->cycle > kCycleCap) finding("the time loop ran past its cycle cap");
    fem->nodeManager->copyNodesToCpu();
    for (const NodeCuda& n : fem->nodeManager->node_array_cpu) {
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(n.coord[k]) || !std::isfinite(n.vel[k])) {
                finding("a run reported success with a node state that is not finite");
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::error_code ec;
    std::filesystem::create_directories(workFolder(), ec);
    FEMDynamic* fem = new FEMDynamic[1];
    fem->newManagers();
    fem->input_file = "fuzz.inp";
    fem->work_path = workFolder().string();
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (readInpText(fem, text, "fuzz.inp") == 1 && preprocessModel(fem) == 1) runCapped(fem);
    delete[] fem;
    std::filesystem::remove_all(workFolder(), ec);
    return 0;
}
