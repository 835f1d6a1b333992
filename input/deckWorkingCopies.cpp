#include "input/deckWorkingCopies.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "input/keyword/keywordReader.h"

namespace fs = std::filesystem;

void removeEarlierWorkingCopies(const std::string& workFolder, const std::string& deckPath) {
  const KeywordDeckFiles own = keywordDeckFiles(deckPath, workFolder);
  const fs::path folder = own.workFolder;
  std::vector<fs::path> earlier;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    std::error_code fileError;
    if (!it->is_regular_file(fileError)) continue;
    if (name == "temp_" + own.fileName) continue;
    if (name == "outForVerify_" + own.fileName && fs::file_size(it->path(), fileError) > 0) continue;
    if (name.rfind("temp_", 0) == 0 || name.rfind("outForVerify_", 0) == 0) earlier.push_back(it->path());
  }
  for (const fs::path& file : earlier) fs::remove(file, error);
  if (fs::is_empty(folder, error)) fs::remove(folder, error);
}
