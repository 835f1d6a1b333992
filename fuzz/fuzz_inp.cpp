// libFuzzer target of a run from an .inp deck: every input is read as deck
// text into a fresh solver object; a deck that is read must have had every
// line taken by a card, and once set up it runs the GPU time loop with its
// own end time for at most ten cycles (fuzzRun.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/fuzzRun.h"
#include "input/inp/inpReader.h"
#include "input/link/preprocessModel.h"

namespace {

// A private work folder for the run's output, made once per process.
const std::filesystem::path& workFolder() {
  static const std::filesystem::path path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "fuzz_inp_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return std::filesystem::path(pattern) / "work";
  }();
  return path;
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
  DeckLineTally tally;
  if (readInpText(fem, text, "fuzz.inp", &tally) == 1) {
    abortUnlessEveryLineTaken(tally, "fuzz_inp");
    if (preprocessModel(fem) == 1) runBoundedOrAbort(fem, "fuzz_inp");
  }
  delete[] fem;
  std::filesystem::remove_all(workFolder(), ec);
  return 0;
}
