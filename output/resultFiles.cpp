#include "output/resultFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// One family: its folder below the work folder, the shape of its names
// (prefix, then nothing or a separator and a number, or any text when
// anyMiddle, then the ending) and what the last lines of a run call it.
struct ResultFamily {
  const char* folder;
  const char* prefix;
  char separator;
  bool anyMiddle;
  const char* ending;
  const char* what;
};

constexpr ResultFamily kFamilies[] = {
    {"", "result", '_', false, ".vtk", "VTK files"},
    {"", "result", '.', false, "_bin.vtk", "raw dumps"},
    {"", "result", '.', false, "_bin.vtkREAD", "raw dump read-backs"},
    {"", "result", '\0', false, ".plt", "Tecplot files"},
    {"", "start", '\0', false, ".plt", "Tecplot files"},
    {"", "end", '\0', false, ".plt", "Tecplot files"},
    {"nodeoutput", "contact_file_", '\0', true, ".txt", "node histories"},
    {"nodeoutput", "nodestress_file_", '\0', true, ".txt", "node histories"},
    {"nodeoutput", "nodestrain_file_", '\0', true, ".txt", "node histories"},
    {"elementoutput", "element_point_stress_file_", '\0', true, ".txt", "element histories"},
    {"elementoutput", "element_point_strain_file_", '\0', true, ".txt", "element histories"},
    {"history", "log", '\0', false, ".txt", "progress log"},
};

bool endsWith(const std::string& name, const std::string& ending) {
  return name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
}

// The number of a family's file name (0 for the file without one), or -1
// when the name is not of the family.
long numberInFamily(const ResultFamily& family, const std::string& name) {
  const std::string prefix = family.prefix, ending = family.ending;
  if (name.size() < prefix.size() + ending.size() || name.rfind(prefix, 0) != 0 || !endsWith(name, ending)) {
    return -1;
  }
  const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - ending.size());
  if (middle.empty() || family.anyMiddle) {
    return 0;
  }
  if (family.separator == '\0' || middle[0] != family.separator || middle.size() < 2 || middle.size() > 10) {
    return -1;
  }
  for (std::size_t i = 1; i < middle.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(middle[i]))) {
      return -1;
    }
  }
  return std::stol(middle.substr(1));
}

struct Found {
  long number;
  std::string name;
};

// The files of one family in the work folder, by number; with unfinished
// ones ("<name>.part") too when asked.
std::vector<Found> filesOf(const std::string& workFolder, const ResultFamily& family, bool withPartial) {
  std::vector<Found> found;
  std::error_code error;
  const fs::path folder = fs::path(workFolder) / family.folder;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (withPartial && endsWith(name, ".part")) {
      name.resize(name.size() - 5);
    } else if (!it->is_regular_file(error)) {
      continue;
    }
    const long number = numberInFamily(family, name);
    if (number >= 0) {
      found.push_back({number, it->path().filename().string()});
    }
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.number < b.number; });
  return found;
}

// "68 VTK files (result.vtk to result_67.vtk)", "1 Tecplot file (end.plt)",
// "the progress log (history/log.txt)".
std::string countText(const std::string& what, const std::vector<std::string>& names, const std::string& folder) {
  const std::string place = folder.empty() ? "" : folder + "/";
  if (what == "progress log") {
    return "the " + what + " (" + place + names.front() + ")";
  }
  std::string noun = what;
  if (names.size() == 1 && noun.ends_with("ies")) {
    noun.replace(noun.size() - 3, 3, "y");  // "node histories": "1 node history"
  } else if (names.size() == 1 && noun.back() == 's') {
    noun.pop_back();
  }
  std::string text = std::to_string(names.size()) + " " + noun + " (" + place + names.front();
  if (names.size() == 2) {
    text += ", " + names.back();
  } else if (names.size() > 2) {
    text += " to " + names.back();
  }
  return text + ")";
}

}  // namespace

bool removeStaleResults(const std::string& workFolder, std::string& problem) {
  for (const ResultFamily& family : kFamilies) {
    for (const Found& file : filesOf(workFolder, family, true)) {
      const fs::path path = fs::path(workFolder) / family.folder / file.name;
      std::error_code error;
      if (!fs::remove(path, error) && error) {
        problem = "cannot remove " + path.string() + ", a result file of an earlier run: " + error.message();
        return false;
      }
    }
  }
  // A history folder that the earlier run's files alone filled goes with them.
  for (const char* folder : {"nodeoutput", "elementoutput"}) {
    std::error_code error;
    const fs::path path = fs::path(workFolder) / folder;
    if (fs::is_directory(path, error) && fs::is_empty(path, error)) fs::remove(path, error);
  }
  return true;
}

std::string describeResults(const std::string& workFolder) {
  std::string text;
  // Families that share a name ("Tecplot files") are counted together.
  for (std::size_t i = 0; i < std::size(kFamilies); ++i) {
    const ResultFamily& family = kFamilies[i];
    bool counted = false;
    for (std::size_t j = 0; j < i; ++j) {
      counted = counted || std::string(kFamilies[j].what) == family.what;
    }
    if (counted) {
      continue;
    }
    std::vector<std::string> names;
    for (std::size_t j = i; j < std::size(kFamilies); ++j) {
      if (std::string(kFamilies[j].what) != family.what) {
        continue;
      }
      for (const Found& file : filesOf(workFolder, kFamilies[j], false)) {
        names.push_back(file.name);
      }
    }
    if (!names.empty()) {
      text += (text.empty() ? "" : ", ") + countText(family.what, names, family.folder);
    }
  }
  return text.empty() ? "no result files" : text;
}
