// libFuzzer target of a run from the keyword deck: every input is written to
// a deck file and read with its completion into a fresh solver object; a
// deck that is read must have had every line taken by a card, and once set
// up it runs the GPU time loop with its own end time for at most ten cycles
// (fuzzRun.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzzRun.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"

namespace {

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
  DeckLineTally tally;
  if (readKeywordDeck(fem, deckPath(), &tally) == 1) {
    abortUnlessEveryLineTaken(tally, "fuzz_keyword");
    if (preprocessModel(fem) == 1) runBoundedOrAbort(fem, "fuzz_keyword");
  }
  delete[] fem;
  std::filesystem::remove_all(workFolder(), ec);
  return 0;
}
