// libFuzzer target of the keyword-deck reader: every input is written to a
// deck file and read, with its completion, into a fresh solver object.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "input/keywordReader.h"
#include "solver/femdynamic.h"

namespace {

// A private folder for the deck and its working files, made once per process.
const std::string& deckPath() {
    static const std::string path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzz_keyword_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern + "/fuzz.k";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::ofstream deck(deckPath(), std::ios::binary | std::ios::trunc);
        deck.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    FEMDynamic* fem = new FEMDynamic[1];
    fem->newManagers();
    readKeywordDeck(fem, deckPath());
    delete[] fem;
    return 0;
}
