#include "output/rawDump.h"

#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>

#include "core/checkedFile.h"
#include "core/node.h"
#include "core/nodeFieldCopy.h"
#include "core/runStop.h"
#include "output/paraViewOutput.h"

std::string numberedResultName(const std::string& folder, int k, char separator, const char* ending) {
  std::string name = folder + "/result";
  if (k > 1) {
    name += separator;
    name += std::to_string(k - 1);
  }
  return name + ending;
}

std::string rawDumpFileName(const std::string& folder, int k) { return numberedResultName(folder, k, '.', "_bin.vtk"); }

namespace {

template <typename T>
void put(CheckedFile& out, T value) {
  out.write(reinterpret_cast<const char*>(&value), sizeof(T));
}

// The nodal groups in file order.
constexpr int kGroupDisp = 0, kGroupAcc = 1, kGroupVel = 2;

const NodeColumn& groupValues(const NodeColumns& nodes, int group) {
  return group == kGroupDisp ? nodes.disp : group == kGroupAcc ? nodes.accel : nodes.vel;
}

std::vector<int> enabledGroups(const ParaViewOutput& layout) {
  std::vector<int> groups;
  if (layout.dispFlag_) groups.push_back(kGroupDisp);
  if (layout.accFlag_) groups.push_back(kGroupAcc);
  if (layout.velFlag_) groups.push_back(kGroupVel);
  return groups;
}

const char* groupName(int group) {
  return group == kGroupDisp ? "Displacement" : group == kGroupAcc ? "Acceleration" : "Velocity";
}

// Checked reads of the dump: the first failure is kept as the refusal.
class DumpReader {
 public:
  explicit DumpReader(const std::string& path) : in_(path, std::ios::binary) {}
  bool opened() const { return in_.is_open(); }
  bool failed() const { return !problem_.empty(); }
  const std::string& problem() const { return problem_; }

  template <typename T>
  T get(const char* what) {
    T value{};
    if (failed()) return value;
    if (!in_.read(reinterpret_cast<char*>(&value), sizeof(T))) {
      problem_ = std::string("the file ends before ") + what;
    }
    return value;
  }
  // Reads a count and checks it against the model's.
  void expectCount(const char* what, long long expected) {
    const int32_t value = get<int32_t>(what);
    if (!failed() && value != expected) {
      problem_ =
          std::string(what) + " is " + std::to_string(value) + " where the model has " + std::to_string(expected);
    }
  }
  void refuse(const std::string& why) {
    if (!failed()) problem_ = why;
  }
  void expectEnd() {
    if (!failed() && in_.peek() != std::char_traits<char>::eof()) {
      problem_ = "the file holds more data than the model's dump";
    }
  }

 private:
  std::ifstream in_;
  std::string problem_;
};

void readTriples(DumpReader& reader, std::ostream& text, std::size_t count, const char* what) {
  for (std::size_t i = 0; i < count && !reader.failed(); ++i) {
    const double x = reader.get<double>(what);
    const double y = reader.get<double>(what);
    const double z = reader.get<double>(what);
    text << x << "\t" << y << "\t" << z << "\n";
  }
}

}  // namespace

bool writeRawDump(const std::string& path, double time, const std::vector<NodeCuda>& nodes,
                  const ParaViewOutput& layout) {
  return writeRawDump(path, time, NodeColumns::ofRecords(nodes), layout);
}

bool writeRawDump(const std::string& path, double time, const NodeColumns& nodes, const ParaViewOutput& layout) {
  CheckedFile out(path, FileMode::Replace);
  if (!out.is_open()) {
    return false;
  }
  const int32_t n = static_cast<int32_t>(nodes.count);
  put(out, time);
  put(out, n);
  for (std::size_t i = 0; i < nodes.count; ++i) {
    for (int j = 0; j < 3; ++j) put(out, nodes.coord.of(i)[j]);
  }
  put<int32_t>(out, layout.cellCount_);
  put<int32_t>(out, layout.cellListSize_);
  std::size_t at = 0;
  for (int c = 0; c < layout.cellCount_; ++c) {
    const int count = layout.cellPointCounts_[static_cast<std::size_t>(c)];
    put<int32_t>(out, count);
    for (int k = 0; k < count; ++k) put<int32_t>(out, layout.cellNodeIndices_[at + static_cast<std::size_t>(k)]);
    at += static_cast<std::size_t>(count);
  }
  put<int32_t>(out, layout.cellCount_);
  for (int type : layout.cellTypes_) put<int32_t>(out, type);
  for (int group : enabledGroups(layout)) {
    put(out, n);
    const NodeColumn& values = groupValues(nodes, group);
    for (std::size_t i = 0; i < nodes.count; ++i) {
      for (int j = 0; j < 3; ++j) put(out, values.of(i)[j]);
    }
  }
  return out.close();
}

bool readRawDumpToVtk(const std::string& dumpPath, const std::string& vtkPath, const std::vector<NodeCuda>& nodes,
                      const ParaViewOutput& layout) {
  DumpReader reader(dumpPath);
  if (!reader.opened()) {
    std::cerr << "Raw dump read-back: cannot open \"" << dumpPath << "\"" << std::endl;
    return false;
  }
  const long long n = static_cast<long long>(nodes.size());
  std::ostringstream text;
  text << "# vtk DataFile Version 3.0\n";
  text << "zone " << reader.get<double>("the time") << "\n";
  text << "ASCII\nDATASET UNSTRUCTURED_GRID\n";
  reader.expectCount("the node count", n);
  text << "POINTS " << n << " float\n";
  readTriples(reader, text, nodes.size(), "the coordinates");
  reader.expectCount("the cell count", layout.cellCount_);
  reader.expectCount("the cell list size", layout.cellListSize_);
  text << "CELLS " << layout.cellCount_ << "\t" << layout.cellListSize_ << "\n";
  for (int c = 0; c < layout.cellCount_ && !reader.failed(); ++c) {
    const int count = layout.cellPointCounts_[static_cast<std::size_t>(c)];
    reader.expectCount("a cell's point count", count);
    text << count << "\t";
    for (int k = 0; k < count && !reader.failed(); ++k) {
      const int32_t index = reader.get<int32_t>("a cell's node");
      if (!reader.failed() && (index < 0 || index >= n)) {
        reader.refuse("a cell names node index " + std::to_string(index) + ", which the model does not have");
      }
      text << index << "\t";
    }
    text << "\n";
  }
  reader.expectCount("the second cell count", layout.cellCount_);
  text << "CELL_TYPES " << layout.cellCount_ << "\n";
  for (std::size_t c = 0; c < layout.cellTypes_.size() && !reader.failed(); ++c) {
    text << reader.get<int32_t>("the cell types") << "\n";
  }
  for (int group : enabledGroups(layout)) {
    reader.expectCount("a nodal group's node count", n);
    text << "POINT_DATA " << n << "\nSCALARS " << groupName(group) << " float 3\nLOOKUP_TABLE default\n";
    readTriples(reader, text, nodes.size(), "a nodal group");
  }
  reader.expectEnd();
  if (reader.failed()) {
    std::cerr << "Raw dump read-back: \"" << dumpPath << "\" is refused: " << reader.problem()
              << " (a dump is read back only with the model and output flags that wrote it)" << std::endl;
    return false;
  }
  CheckedFile out(vtkPath, FileMode::Replace);
  const std::string whole = text.str();
  if (!out.writeBytes(whole.data(), whole.size()) || !out.close()) {
    std::cerr << "Raw dump read-back: cannot write \"" << vtkPath << "\": " << runStopMessage() << std::endl;
    return false;
  }
  return true;
}
