#include "output/paraViewOutput.h"

#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <iostream>

#include "core/eror_test.h"
#include "core/runStop.h"
#include "core/node.h"
#include "core/repeatedMessage.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "core/sectionmanager.h"
#include "elements/common/element.h"
#include "elements/common/elementControl.h"
#include "elements/common/elmmanager.h"
#include "output/outputManager.h"
#include "output/rawDump.h"
#include "output/outputModel.h"

int vtkCellType(int elementTypeCode) {
  switch (elementTypeCode) {
    case 0:
      return 0;
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
      return 3;
    case 7:
    case 13:
    case 14:
      return 5;
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
      return 9;
    case 15:
      return 10;
    case 16:
      return 14;
    case 17:
    case 18:
    case 19:
    case 23:
      return 12;
    case 20:
    case 21:
    case 22:
    case 25:
      return 13;
    case 24:
    case 27:
      return 24;
    case 26:
      return 25;
    default:
      return -1;
  }
}

ParaViewOutput::~ParaViewOutput() {
  if (dumpFile_ != nullptr) {
    std::fclose(dumpFile_);
    dumpFile_ = nullptr;
  }
}

void ParaViewOutput::clearCells() {
  cellCount_ = 0;
  cellListSize_ = 0;
  cellTypes_.clear();
  cellPointCounts_.clear();
  cellNodeIndices_.clear();
  cellsText_.clear();
  workingType_ = 0;
}

bool ParaViewOutput::addCell(const Element& element, const int* nodeIds, int nodeIdSlots, int nodeCount) {
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
      if (countRepeated(REPEATED_VTK_ELEMENT, element.id)) {
        std::printf(
            "VTK output: element %d names node %d, which is not in the model; the element is not "
            "written\n",
            element.id, nodeIds[k]);
      }
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

void ParaViewOutput::finishCells() {
  cellCount_ = static_cast<int>(cellPointCounts_.size());
  // Every cell writes its id count followed by that many ids.
  cellListSize_ = cellCount_ + static_cast<int>(cellNodeIndices_.size());
  // The connectivity is the same in every file of the run: its text is
  // made once.
  cellsText_ = cellSectionsText();
}

std::string ParaViewOutput::currentFileName() const {
  return numberedResultName(outputPath_, outputCount_, '_', ".vtk");
}

void ParaViewOutput::write(OutputModel* fem, double time, double dt) {
  if (!isOutputPoint(time, dt)) {
    return;
  }
  outputCount_ += 1;
  std::cout << "NSTEP = " << (outputCount_ - 1) << "\t" << fem->cycle << "\t" << std::scientific << time
            << std::defaultfloat << "\t" << localTimeStamp() << "\n";
  writeVtkFile(currentFileName(), time, fem->outputManager->nodalResults.nodes(fem));
}

void ParaViewOutput::collect(OutputModel* fem, double time, double dt) {
  if (!isOutputPoint(time, dt)) {
    return;
  }
  if (fem->host_path_flag != 0) {
    // The host loop keeps the host nodes current: nothing to gather.
    return;
  }
  gpuErrorProbe();
  NodalResults& results = fem->outputManager->nodalResults;
  if (stressFlag_ || strainFlag_) {
    results.average(fem, time);
  }
  // The stresses are averaged for other outputs; the file has no section of them.
  results.copyToHost(fem, time, fieldFileNodeFields(dispFlag_, velFlag_, accFlag_, false));
}

namespace {

// Appends the cells of one family of a part's element store.
template <typename Record>
void addFamilyCells(ParaViewOutput& out, const std::vector<Record>& records, int nodeCount) {
  for (const Record& record : records) {
    out.addCell(record, record.node_id, static_cast<int>(std::size(record.node_id)), nodeCount);
  }
}

}  // namespace

void ParaViewOutput::init(OutputModel* fem) {
  outputPath_ = workFolderOf(fem);
  ensureOutputFolder(outputPath_);

  const int nodeCount = static_cast<int>(fem->nodeManager->node_array_cpu.size());
  clearCells();
  // Cell order: parts in model order; within a part the families in the
  // order of the family table (discrete, beam, shell, solid, second-order
  // beam, shell, solid).
  for (std::size_t p = 0; p < fem->part_array.size() && p < fem->elm_manager_array.size(); ++p) {
    beginPart();
    fem->elm_manager_array[p].forEachFamily(
        [&](auto, const auto& records) { addFamilyCells(*this, records, nodeCount); });
  }
  finishCells();
}

namespace {

// Progress line of the dump and its read-back.
void dumpProgressLine(const char* what, int cycle, double time) {
  std::cout << what << cycle << "\t" << std::scientific << time << std::defaultfloat << "\t" << localTimeStamp()
            << "\n";
}

}  // namespace

void ParaViewOutput::writeBinaryDump(OutputModel* fem, double time, double dt) {
  if (!isOutputPoint(time, dt)) {
    return;
  }
  dumpCount_ += 1;
  dumpProgressLine("binrary_output integral", fem->cycle, time);
  if (!writeRawDump(rawDumpFileName(outputPath_, dumpCount_), time, fem->outputManager->nodalResults.nodes(fem),
                    *this)) {
    std::fprintf(stderr, "Open file recfile: %s\n", runStopMessage().c_str());
    std::exit(1);
  }
}

void ParaViewOutput::readBinaryDump(OutputModel* fem, double time, double dt) {
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
