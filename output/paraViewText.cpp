// The bytes of one legacy VTK file: the text form (numbers as the stream's
// default formatting writes them) or the binary form (big-endian values),
// built in one buffer without streams.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/node.h"
#include "output/numberText.h"
#include "output/paraViewOutput.h"
#include "platform/hostParallel.h"

namespace {

// Nodes per block of text formatted by one thread.
constexpr std::size_t kNodesPerBlock = 4096;

using NodeValues = const double* (*)(const NodeCuda&);
const double* coordinatesOf(const NodeCuda& node) { return node.coord; }
const double* displacementOf(const NodeCuda& node) { return node.total_disp; }
const double* accelerationOf(const NodeCuda& node) { return node.accel; }
const double* velocityOf(const NodeCuda& node) { return node.vel; }

using TextBlock = ParaViewOutput::NodeTextBlock;

// Room for the lines of one block.
constexpr std::size_t kBlockRoom = kNodesPerBlock * 3 * (kNumberTextRoom + 1);

// One block of node lines "a\tb\tc\n".
void formatBlock(TextBlock& block, const NodeCuda* nodes, std::size_t count, NodeValues values)
{
    if (!block.chars) {
        block.chars = std::make_unique_for_overwrite<char[]>(kBlockRoom);
    }
    char* at = block.chars.get();
    for (std::size_t i = 0; i < count; ++i) {
        const double* v = values(nodes[i]);
        at = putGeneral(at, v[0]);
        *at++ = '\t';
        at = putGeneral(at, v[1]);
        *at++ = '\t';
        at = putGeneral(at, v[2]);
        *at++ = '\n';
    }
    block.size = static_cast<std::size_t>(at - block.chars.get());
}

// The lines of all nodes, blocks formatted in parallel and joined in order.
void appendTriplesText(std::string& text, std::vector<TextBlock>& parts, const std::vector<NodeCuda>& nodes,
                       NodeValues values)
{
    const std::size_t blocks = (nodes.size() + kNodesPerBlock - 1) / kNodesPerBlock;
    if (parts.size() < blocks) {
        parts.resize(blocks);
    }
    // On the threads that run the kernels: a second pool would keep spinning
    // beside them after every output point.
    fem_parallel::parallelFor(blocks, 1, [&](std::size_t b) {
        const std::size_t first = b * kNodesPerBlock;
        formatBlock(parts[b], nodes.data() + first, std::min(kNodesPerBlock, nodes.size() - first), values);
    });
    std::size_t total = text.size();
    for (std::size_t b = 0; b < blocks; ++b) total += parts[b].size;
    text.reserve(total);
    for (std::size_t b = 0; b < blocks; ++b) text.append(parts[b].chars.get(), parts[b].size);
}

template <typename T>
void appendBigEndian(std::string& bytes, T value)
{
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::little) {
        std::reverse(raw, raw + sizeof(T));
    }
    bytes.append(raw, sizeof(T));
}

template <typename T>
void appendTriplesBinary(std::string& bytes, const std::vector<NodeCuda>& nodes, NodeValues values)
{
    for (const NodeCuda& node : nodes) {
        const double* v = values(node);
        for (int j = 0; j < 3; ++j) {
            appendBigEndian(bytes, static_cast<T>(v[j]));
        }
    }
    bytes += '\n';
}

// A node section: text lines, or big-endian values of type T and a newline.
template <typename T>
void appendTriples(std::string& bytes, std::vector<TextBlock>& parts, bool binary, const std::vector<NodeCuda>& nodes,
                   NodeValues values)
{
    if (binary) {
        appendTriplesBinary<T>(bytes, nodes, values);
    } else {
        appendTriplesText(bytes, parts, nodes, values);
    }
}

void appendCountLine(std::string& bytes, const char* word, std::size_t count)
{
    bytes += word;
    appendInteger(bytes, static_cast<long long>(count));
    bytes += '\n';
}

void appendCellsLine(std::string& bytes, int cells, int listSize)
{
    bytes += "CELLS ";
    appendInteger(bytes, cells);
    bytes += '\t';
    appendInteger(bytes, listSize);
    bytes += '\n';
}

}  // namespace

std::string ParaViewOutput::cellSectionsText() const
{
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

void ParaViewOutput::appendCellSectionsBinary(std::string& bytes) const
{
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

void ParaViewOutput::formatHead(double time, const std::vector<NodeCuda>& nodes)
{
    std::string& bytes = headBytes_;
    bytes.clear();
    bytes += "# vtk DataFile Version 3.0\nzone ";
    appendGeneral(bytes, time);
    bytes += binaryFlag_ ? "\nBINARY\n" : "\nASCII\n";
    bytes += "DATASET UNSTRUCTURED_GRID\nPOINTS ";
    appendInteger(bytes, static_cast<long long>(nodes.size()));
    bytes += " double\n";
    appendTriples<double>(bytes, nodeBlocks_, binaryFlag_, nodes, coordinatesOf);
}

const std::string& ParaViewOutput::cellBytes()
{
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

void ParaViewOutput::formatNodalSections(const std::vector<NodeCuda>& nodes)
{
    const bool bin = binaryFlag_;
    const std::size_t n = nodes.size();
    std::string& bytes = nodalBytes_;
    bytes.clear();
    if (dispFlag_) {
        appendCountLine(bytes, "POINT_DATA ", n);
        bytes += "VECTORS Displacement double\n";
        appendTriples<double>(bytes, nodeBlocks_, bin, nodes, displacementOf);
    }
    if (accFlag_) {
        appendCountLine(bytes, "POINT_DATA ", n);
        bytes += "SCALARS Acceleration float 3\nLOOKUP_TABLE default\n";
        appendTriples<float>(bytes, nodeBlocks_, bin, nodes, accelerationOf);
    }
    if (velFlag_) {
        appendCountLine(bytes, "POINT_DATA ", n);
        bytes += "SCALARS Velocity float 3\nLOOKUP_TABLE default\n";
        appendTriples<float>(bytes, nodeBlocks_, bin, nodes, velocityOf);
    }
}

std::string ParaViewOutput::vtkFileBytes(double time, const std::vector<NodeCuda>& nodes)
{
    formatHead(time, nodes);
    const std::string& cells = cellBytes();
    formatNodalSections(nodes);
    return headBytes_ + cells + nodalBytes_;
}

bool ParaViewOutput::writeVtkFile(const std::string& path, double time, const std::vector<NodeCuda>& nodes)
{
    formatHead(time, nodes);
    const std::string& cells = cellBytes();
    // Written under a temporary name and renamed when complete: a file of
    // the run is whole or absent.
    if (!vtkStream_.open(path, FileMode::Replace)) {
        return false;
    }
    // Formatted on all threads, then written: a writer thread of its own
    // beside them would compete for their cores, and a thread made for each
    // file costs its stack's pages again each time.
    formatNodalSections(nodes);
    vtkStream_.writeBytes(headBytes_.data(), headBytes_.size()) && vtkStream_.writeBytes(cells.data(), cells.size()) &&
        vtkStream_.writeBytes(nodalBytes_.data(), nodalBytes_.size());
    return vtkStream_.close();
}
