#include "output/elementOutput.h"

#include <cstdio>

#include "core/set.h"
#include "core/setManager.h"
#include "elements/common/element.h"
#include "elements/common/elmmanager.h"
#include "output/outputModel.h"

void ElementOutput::init(OutputModel* fem) {
  active_ = false;
  elements_.clear();
  ids_.clear();
  if (setId_ == 0) {
    return;
  }
  elementSet_ = fem->setManager->findSet(setId_, SET_ELEMENT);
  if (elementSet_ != nullptr) {
    ids_ = elementSet_->id_array;
  }
  std::vector<Element*> gpuRecords;
  Element* first = nullptr;
  for (int id : ids_) {
    Element* host = nullptr;
    Element* device = nullptr;
    for (ElmManager& manager : fem->elm_manager_array) {
      if ((host = manager.findElementById(id)) != nullptr) {
        device = fem->host_path_flag == 0 ? manager.findElementGpuById(id) : nullptr;
        break;
      }
    }
    if (host == nullptr) {
      std::printf("element history \"%s\": element %d of set %d is not in the model; its lines hold zeros\n",
                  setName_.c_str(), id, setId_);
    } else if (first == nullptr) {
      first = host;
    }
    elements_.push_back(host);
    gpuRecords.push_back(device);
  }
  if (first == nullptr) {
    std::printf("element history \"%s\": element set %d %s; the output is skipped\n", setName_.c_str(), setId_,
                elementSet_ == nullptr ? "is not defined" : "holds no element of the model");
    return;
  }
  active_ = true;
  // The folder is made only for an output that writes into it.
  outputPath_ = historyOutputFolder(fem, "elementoutput");
  pointNum = first->integratPointNum > 0 ? first->integratPointNum : 0;

  const int block = static_cast<int>(ids_.size()) * pointNum * 6;
  needMemSize_ = 0;
  bufferOffsets_.clear();
  for (int code : variableCodes_) {
    bufferOffsets_.push_back(needMemSize_);
    if (code == OUTPUT_STRESS || code == OUTPUT_STRAIN) {
      needMemSize_ += block;
    }
  }
  needMemoryCpu_.assign(static_cast<std::size_t>(needMemSize_), 0.0);
  if (fem->host_path_flag == 0) {
    needMemoryGpu_.assign(nullptr, needMemSize_);
    elementsGpu_.assign(gpuRecords.data(), static_cast<int>(gpuRecords.size()));
  }
}

void ElementOutput::collect(OutputModel* fem, double time, double dt) {
  if (!active_ || !isOutputPoint(time, dt)) {
    return;
  }
  for (std::size_t c = 0; c < variableCodes_.size(); ++c) {
    const int code = variableCodes_[c];
    if (code != OUTPUT_STRESS && code != OUTPUT_STRAIN) {
      continue;
    }
    double* B = needMemoryCpu_.data() + bufferOffsets_[c];
    if (fem->host_path_flag == 0) {
      collectGpu(code, B, needMemoryGpu_.data() + bufferOffsets_[c]);
    } else {
      const std::size_t stride = static_cast<std::size_t>(pointNum) * 6;
      for (std::size_t i = 0; i < elements_.size(); ++i) {
        copyElementPointValues(elements_[i], B + i * stride, pointNum, code == OUTPUT_STRAIN);
      }
    }
  }
}

void ElementOutput::write(OutputModel*, double time, double dt) {
  if (!active_ || !isOutputPoint(time, dt)) {
    return;
  }
  for (std::size_t c = 0; c < variableCodes_.size(); ++c) {
    const double* B = needMemoryCpu_.data() + bufferOffsets_[c];
    if (variableCodes_[c] == OUTPUT_STRESS) {
      writeBlock("/element_point_stress_file_", B);
    } else if (variableCodes_[c] == OUTPUT_STRAIN) {
      writeBlock("/element_point_strain_file_", B);
    }
  }
}

void ElementOutput::writeBlock(const char* prefix, const double* B) {
  CheckedFile out;
  openRunFile(out, outputPath_ + prefix + setName_ + ".txt");
  setHistoryNumberFormat(out);
  for (std::size_t i = 0; i < ids_.size(); ++i) {
    out << ids_[i] << "\t\n";
    for (int j = 0; j < pointNum; ++j) {
      const double* v = B + (i * static_cast<std::size_t>(pointNum) + static_cast<std::size_t>(j)) * 6;
      for (int k = 0; k < 6; ++k) {
        out << v[k] << "\t";
      }
      out << '\n';
    }
  }
}
