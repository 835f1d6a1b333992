// The bytes of one legacy VTK file: the text form (numbers as the stream's
// default formatting writes them) or the binary form (big-endian values),
// built in pieces without streams and written piece by piece.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "core/node.h"
#include "output/numberText.h"
#include "output/paraViewOutput.h"
#include "platform/hostParallel.h"

namespace {

// Room for one line "a\tb\tc\n".
constexpr std::size_t kTripleLineRoom = 3 * (kNumberTextRoom + 1);

// One node's line "a\tb\tc\n" of a field.
char* putTripleLine(char* at, const double* v) {
  at = putGeneral(at, v[0]);
  *at++ = '\t';
  at = putGeneral(at, v[1]);
  *at++ = '\t';
  at = putGeneral(at, v[2]);
  *at++ = '\n';
  return at;
}

template <typename T>
void appendBigEndian(std::string& bytes, T value) {
  char raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  if constexpr (std::endian::native == std::endian::little) {
    std::reverse(raw, raw + sizeof(T));
  }
  bytes.append(raw, sizeof(T));
}

// The values of a field as big-endian numbers of type T, and a newline.
template <typename T>
void appendTriplesBinary(std::string& bytes, const NodeColumn& values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const double* v = values.of(i);
    for (int j = 0; j < 3; ++j) {
      appendBigEndian(bytes, static_cast<T>(v[j]));
    }
  }
  bytes += '\n';
}

void appendCountLine(std::string& bytes, const char* word, std::size_t count) {
  bytes += word;
  appendInteger(bytes, static_cast<long long>(count));
  bytes += '\n';
}

void appendCellsLine(std::string& bytes, int cells, int listSize) {
  bytes += "CELLS ";
  appendInteger(bytes, cells);
  bytes += '\t';
  appendInteger(bytes, listSize);
  bytes += '\n';
}

}  // namespace

std::string ParaViewOutput::cellSectionsText() const {
  std::string text;
  appendCellsLine(text, cellCount_, cellListSize_);
  std::size_t at = 0;
  for (int c = 0; c < cellCount_; ++c) {
    const int count = cellPointCounts_[static_cast<std::size_t>(c)];
    appendInteger(text, count);
    text += '\t';
    for (int k = 0; k < count; ++k) {
      appendInteger(text, cellNodeIndices_[at + static_cast<std::size_t>(k)]);
      text += '\t';
    }
    text += '\n';
    at += static_cast<std::size_t>(count);
  }
  appendCountLine(text, "CELL_TYPES ", static_cast<std::size_t>(cellCount_));
  for (int c = 0; c < cellCount_; ++c) {
    appendInteger(text, cellTypes_[static_cast<std::size_t>(c)]);
    text += '\n';
  }
  return text;
}

void ParaViewOutput::appendCellSectionsBinary(std::string& bytes) const {
  appendCellsLine(bytes, cellCount_, cellListSize_);
  std::size_t at = 0;
  for (int c = 0; c < cellCount_; ++c) {
    const int count = cellPointCounts_[static_cast<std::size_t>(c)];
    appendBigEndian<int32_t>(bytes, count);
    for (int k = 0; k < count; ++k) {
      appendBigEndian<int32_t>(bytes, cellNodeIndices_[at + static_cast<std::size_t>(k)]);
    }
    at += static_cast<std::size_t>(count);
  }
  bytes += '\n';
  appendCountLine(bytes, "CELL_TYPES ", static_cast<std::size_t>(cellCount_));
  for (int c = 0; c < cellCount_; ++c) {
    appendBigEndian<int32_t>(bytes, cellTypes_[static_cast<std::size_t>(c)]);
  }
  bytes += '\n';
}

const std::string& ParaViewOutput::cellBytes() {
  if (binaryFlag_) {
    cellsBinary_.clear();
    appendCellSectionsBinary(cellsBinary_);
    return cellsBinary_;
  }
  if (cellsText_.empty()) {
    cellsText_ = cellSectionsText();
  }
  return cellsText_;
}

void ParaViewOutput::planSection(NodeSection& section, const NodeColumn& values, std::size_t count, bool asFloat) {
  pieces_.push_back({section.head});
  if (binaryFlag_) {
    section.binary.clear();
    if (asFloat) {
      appendTriplesBinary<float>(section.binary, values, count);
    } else {
      appendTriplesBinary<double>(section.binary, values, count);
    }
    pieces_.push_back({section.binary});
    return;
  }
  section.lines.prepare(count, kTripleLineRoom);
  for (std::size_t b = 0; b < section.lines.size(); ++b) {
    pieces_.push_back({{}, static_cast<int>(units_.size())});
    units_.push_back({&section, &values, b});
  }
}

void ParaViewOutput::planFile(double time, const NodeColumns& nodes) {
  const std::size_t n = nodes.count;
  pieces_.clear();
  units_.clear();
  NodeSection& points = sections_[0];
  points.head = "# vtk DataFile Version 3.0\nzone ";
  appendGeneral(points.head, time);
  points.head += binaryFlag_ ? "\nBINARY\n" : "\nASCII\n";
  points.head += "DATASET UNSTRUCTURED_GRID\nPOINTS ";
  appendInteger(points.head, static_cast<long long>(n));
  points.head += " double\n";
  planSection(points, nodes.coord, n, false);
  pieces_.push_back({cellBytes()});
  // Displacement, acceleration, velocity, as asked.
  const struct {
    bool on;
    const char* head;
    const NodeColumn& values;
    bool asFloat;
  } nodal[] = {{dispFlag_, "VECTORS Displacement double\n", nodes.disp, false},
               {accFlag_, "SCALARS Acceleration float 3\nLOOKUP_TABLE default\n", nodes.accel, true},
               {velFlag_, "SCALARS Velocity float 3\nLOOKUP_TABLE default\n", nodes.vel, true}};
  for (std::size_t k = 0; k < std::size(nodal); ++k) {
    if (!nodal[k].on) {
      continue;
    }
    NodeSection& section = sections_[k + 1];
    section.head = "POINT_DATA ";
    appendInteger(section.head, static_cast<long long>(n));
    section.head += '\n';
    section.head += nodal[k].head;
    planSection(section, nodal[k].values, n, nodal[k].asFloat);
  }
}

std::string_view ParaViewOutput::pieceText(const Piece& piece) const {
  if (piece.unit < 0) {
    return piece.text;
  }
  const TextUnit& unit = units_[static_cast<std::size_t>(piece.unit)];
  return unit.section->lines[unit.block];
}

void ParaViewOutput::emitPieces(const std::function<bool(std::string_view)>& put) {
  // A piece goes out as soon as it and every piece before it are ready,
  // from whichever thread finds it so: the start of the file is written
  // while its rest is formatted. After a failed put the rest is skipped
  // (the file reports the failure when it is closed).
  std::vector<std::atomic<bool>> ready(units_.size());
  std::mutex turn;
  std::size_t next = 0;
  bool ok = true;
  const auto handOn = [&] {
    for (; next < pieces_.size(); ++next) {
      const Piece& piece = pieces_[next];
      if (piece.unit >= 0 && !ready[static_cast<std::size_t>(piece.unit)].load(std::memory_order_acquire)) {
        return;
      }
      ok = ok && put(pieceText(piece));
    }
  };
  fem_parallel::parallelFor(units_.size(), 1, [&](std::size_t u) {
    const TextUnit& unit = units_[u];
    unit.section->lines.formatBlock(unit.block,
                                    [&unit](char* at, std::size_t i) { return putTripleLine(at, unit.values->of(i)); });
    ready[u].store(true, std::memory_order_release);
    if (turn.try_lock()) {
      handOn();
      turn.unlock();
    }
  });
  // Every unit is ready now and no thread holds the turn.
  handOn();
}

std::string ParaViewOutput::vtkFileBytes(double time, const NodeColumns& nodes) {
  planFile(time, nodes);
  std::string bytes;
  emitPieces([&bytes](std::string_view piece) {
    bytes += piece;
    return true;
  });
  return bytes;
}

std::string ParaViewOutput::vtkFileBytes(double time, const std::vector<NodeCuda>& nodes) {
  return vtkFileBytes(time, NodeColumns::ofRecords(nodes));
}

bool ParaViewOutput::writeVtkFile(const std::string& path, double time, const NodeColumns& nodes) {
  // Formatted on all threads while the finished pieces are written: a
  // writer thread of its own beside them would compete for their cores,
  // and a thread made for each file costs its stack's pages again each
  // time. Written under a temporary name and renamed when complete: a
  // file of the run is whole or absent.
  if (!vtkStream_.open(path, FileMode::Replace)) {
    return false;
  }
  planFile(time, nodes);
  emitPieces([this](std::string_view piece) { return vtkStream_.writeBytes(piece.data(), piece.size()); });
  return vtkStream_.close();
}

bool ParaViewOutput::writeVtkFile(const std::string& path, double time, const std::vector<NodeCuda>& nodes) {
  return writeVtkFile(path, time, NodeColumns::ofRecords(nodes));
}
