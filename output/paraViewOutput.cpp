#include "output/paraViewOutput.h"

#include <bit>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <iostream>

#include "core/eror_test.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "core/sectionmanager.h"
#include "elements/element.h"
#include "elements/elementControl.h"
#include "elements/elmmanager.h"
#include "output/nodalStress.h"
#include "output/rawDump.h"
#include "solver/femdynamic.h"

int vtkCellType(int elementTypeCode)
{
    switch (elementTypeCode) {
    case 0:
        return 0;
    case 1: case 2: case 3: case 4: case 5: case 6:
        return 3;
    case 7: case 13: case 14:
        return 5;
    case 8: case 9: case 10: case 11: case 12:
        return 9;
    case 15:
        return 10;
    case 16:
        return 14;
    case 17: case 18: case 19: case 23:
        return 12;
    case 20: case 21: case 22: case 25:
        return 13;
    case 24: case 27:
        return 24;
    case 26:
        return 25;
    default:
        return -1;
    }
}

ParaViewOutput::~ParaViewOutput()
{
    if (dumpFile_ != nullptr) {
        std::fclose(dumpFile_);
        dumpFile_ = nullptr;
    }
}

void ParaViewOutput::clearCells()
{
    cellCount_ = 0;
    cellListSize_ = 0;
    cellTypes_.clear();
    cellPointCounts_.clear();
    cellNodeIndices_.clear();
    workingType_ = 0;
}

bool ParaViewOutput::addCell(const Element& element, const int* nodeIds, int nodeIdSlots, int nodeCount)
{
    // The working type carries over from the previous element of the part
    // when this element's code has no cell type.
    const int vtkType = vtkCellType(static_cast<int>(element.type));
    if (vtkType < 0) {
        std::printf("请补充这种单元类型在ParaView中对应的数字\n");
    } else if (vtkType > 0) {
        workingType_ = vtkType;
    }
    if (workingType_ == 0) {
        std::printf("paraview输出单元类型确定失败\n");
    }

    int count = element.gaussNodeNum > 0 ? element.gaussNodeNum : element.node_num;
    if (count > nodeIdSlots) {
        count = nodeIdSlots;
    }
    if (count < 0) {
        count = 0;
    }
    for (int k = 0; k < count; ++k) {
        if (nodeIds[k] < 1 || nodeIds[k] > nodeCount) {
            std::printf("VTK output: element %d names node %d, which is not in the model; the element is not written\n",
                        element.id, nodeIds[k]);
            return false;
        }
    }
    cellPointCounts_.push_back(count);
    for (int k = 0; k < count; ++k) {
        cellNodeIndices_.push_back(nodeIds[k] - 1);
    }
    cellTypes_.push_back(workingType_);
    return true;
}

void ParaViewOutput::finishCells()
{
    cellCount_ = static_cast<int>(cellPointCounts_.size());
    // Every cell writes its id count followed by that many ids.
    cellListSize_ = cellCount_ + static_cast<int>(cellNodeIndices_.size());
}

std::string ParaViewOutput::currentFileName() const
{
    return numberedResultName(outputPath_, outputCount_, '_', ".vtk");
}

namespace {

// Big-endian values of the legacy binary format.
template <typename T>
void putBigEndian(std::ostream& os, T value)
{
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::little) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) {
            std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
        }
    }
    os.write(reinterpret_cast<const char*>(bytes), sizeof(T));
}

// One row of three values: tab-separated text, or big-endian binary.
template <typename T>
void putTriple(std::ostream& os, bool binary, const double* v)
{
    if (binary) {
        for (int j = 0; j < 3; ++j) {
            putBigEndian(os, static_cast<T>(v[j]));
        }
    } else {
        os << v[0] << "\t" << v[1] << "\t" << v[2] << "\n";
    }
}

}  // namespace

bool ParaViewOutput::writeVtkFile(const std::string& path, double time, const std::vector<NodeCuda>& nodes)
{
    vtkStream_.open(path, binaryFlag_ ? (std::ios::out | std::ios::trunc | std::ios::binary)
                                      : (std::ios::out | std::ios::trunc));
    if (!vtkStream_.is_open()) {
        std::printf("VTK output: cannot open %s\n", path.c_str());
        vtkStream_.clear();
        return false;
    }
    std::ostream& os = vtkStream_;
    const bool bin = binaryFlag_;
    const std::size_t n = nodes.size();

    os << "# vtk DataFile Version 3.0\n";
    os << "zone " << time << "\n";
    os << (bin ? "BINARY" : "ASCII") << "\n";
    os << "DATASET UNSTRUCTURED_GRID\n";
    os << "POINTS " << n << " double\n";
    for (const NodeCuda& node : nodes) {
        putTriple<double>(os, bin, node.coord);
    }
    if (bin) {
        os << "\n";
    }

    os << "CELLS " << cellCount_ << "\t" << cellListSize_ << "\n";
    std::size_t at = 0;
    for (int c = 0; c < cellCount_; ++c) {
        const int count = cellPointCounts_[c];
        if (bin) {
            putBigEndian<int32_t>(os, count);
            for (int k = 0; k < count; ++k) {
                putBigEndian<int32_t>(os, cellNodeIndices_[at + k]);
            }
        } else {
            os << count << "\t";
            for (int k = 0; k < count; ++k) {
                os << cellNodeIndices_[at + k] << "\t";
            }
            os << "\n";
        }
        at += count;
    }
    if (bin) {
        os << "\n";
    }

    os << "CELL_TYPES " << cellCount_ << "\n";
    for (int c = 0; c < cellCount_; ++c) {
        if (bin) {
            putBigEndian<int32_t>(os, cellTypes_[c]);
        } else {
            os << cellTypes_[c] << "\n";
        }
    }
    if (bin) {
        os << "\n";
    }

    if (dispFlag_) {
        os << "POINT_DATA " << n << "\n";
        os << "VECTORS Displacement double\n";
        for (const NodeCuda& node : nodes) {
            putTriple<double>(os, bin, node.total_disp);
        }
        if (bin) {
            os << "\n";
        }
    }
    if (accFlag_) {
        os << "POINT_DATA " << n << "\n";
        os << "SCALARS Acceleration float 3\n";
        os << "LOOKUP_TABLE default\n";
        for (const NodeCuda& node : nodes) {
            putTriple<float>(os, bin, node.accel);
        }
        if (bin) {
            os << "\n";
        }
    }
    if (velFlag_) {
        os << "POINT_DATA " << n << "\n";
        os << "SCALARS Velocity float 3\n";
        os << "LOOKUP_TABLE default\n";
        for (const NodeCuda& node : nodes) {
            putTriple<float>(os, bin, node.vel);
        }
        if (bin) {
            os << "\n";
        }
    }
    vtkStream_.close();
    return true;
}

void ParaViewOutput::write(FEMDynamic* fem, double time, double dt)
{
    if (!isOutputPoint(time, dt)) {
        return;
    }
    outputCount_ += 1;
    std::cout << "NSTEP = " << (outputCount_ - 1) << "\t" << fem->cycle << "\t" << std::scientific << time
              << std::defaultfloat << "\t" << localTimeStamp() << "\n";
    writeVtkFile(currentFileName(), time, fem->nodeManager->node_array_cpu);
}

void ParaViewOutput::collect(FEMDynamic* fem, double time, double dt)
{
    if (!isOutputPoint(time, dt)) {
        return;
    }
    if (fem->host_path_flag != 0) {
        // The host loop keeps the host nodes current: nothing to gather.
        return;
    }
    gpuErrorProbe();
    NodeManager* nodes = fem->nodeManager;
    if (stressFlag_ || strainFlag_) {
        averageNodalStressGpu(fem);
    }
    nodes->copyNodesToCpu();
}

namespace {

// Appends the cells of one family of a part's element store.
template <typename Record>
void addFamilyCells(ParaViewOutput& out, const std::vector<Record>& records, int nodeCount)
{
    for (const Record& record : records) {
        out.addCell(record, record.node_id, static_cast<int>(std::size(record.node_id)), nodeCount);
    }
}

}  // namespace

void ParaViewOutput::init(FEMDynamic* fem)
{
    outputPath_ = fem->work_path.empty() ? std::string(".") : fem->work_path;
    std::error_code ec;
    std::filesystem::create_directories(outputPath_, ec);
    if (ec) {
        std::printf("VTK output: cannot create the folder %s: %s\n", outputPath_.c_str(), ec.message().c_str());
    }

    const int nodeCount = static_cast<int>(fem->nodeManager->node_array_cpu.size());
    clearCells();
    // Cell order: parts in model order; within a part the families discrete,
    // beam, shell, solid, second-order beam, shell, solid.
    for (std::size_t p = 0; p < fem->part_array.size() && p < fem->elm_manager_array.size(); ++p) {
        const ElmManager& elements = fem->elm_manager_array[p];
        beginPart();
        addFamilyCells(*this, elements.discrete_element_array_cpu, nodeCount);
        addFamilyCells(*this, elements.beam_element_array_cpu, nodeCount);
        addFamilyCells(*this, elements.shell_element_array_cpu, nodeCount);
        addFamilyCells(*this, elements.solid_element_array_cpu, nodeCount);
        addFamilyCells(*this, elements.beam2ndArrayCpu_, nodeCount);
        addFamilyCells(*this, elements.shell2ndArrayCpu_, nodeCount);
        addFamilyCells(*this, elements.solid2ndArrayCpu_, nodeCount);
    }
    finishCells();
}

namespace {

// Progress line of the dump and its read-back.
void dumpProgressLine(const char* what, int cycle, double time)
{
    std::cout << what << cycle << "\t" << std::scientific << time << std::defaultfloat << "\t" << localTimeStamp()
              << "\n";
}

}  // namespace

void ParaViewOutput::writeBinaryDump(FEMDynamic* fem, double time, double dt)
{
    if (!isOutputPoint(time, dt)) {
        return;
    }
    dumpCount_ += 1;
    dumpProgressLine("binrary_output integral", fem->cycle, time);
    if (!writeRawDump(rawDumpFileName(outputPath_, dumpCount_), time, fem->nodeManager->node_array_cpu, *this)) {
        std::perror("Open file recfile");
        std::exit(1);
    }
}

void ParaViewOutput::readBinaryDump(FEMDynamic* fem, double time, double dt)
{
    if (!isOutputPoint(time, dt)) {
        return;
    }
    readCount_ += 1;
    dumpProgressLine("read_binrary_output integral", fem->cycle, time);
    if (dumpCount_ == 0) {
        std::cerr << "Raw dump read-back: no dump has been written in this run; nothing is read" << std::endl;
        return;
    }
    const std::string dump = rawDumpFileName(outputPath_, dumpCount_);
    if (!readRawDumpToVtk(dump, dump + "READ", fem->nodeManager->node_array_cpu, *this)) {
        std::exit(1);
    }
}
