#include "core/part.h"

#include <utility>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "platform/gpuRuntime.h"

Part::Part(const Part& other) : PartValues(other) {}

Part& Part::operator=(const Part& other) {
  if (this != &other) PartValues::operator=(other);  // the device copies stay
  return *this;
}

Part::Part(Part&& other) noexcept
    : PartValues(std::move(other)),
      materialGpu(std::exchange(other.materialGpu, nullptr)),
      sectionGpu(std::exchange(other.sectionGpu, nullptr)),
      node_array_gpu(std::exchange(other.node_array_gpu, nullptr)) {}

Part& Part::operator=(Part&& other) noexcept {
  if (this == &other) return *this;
  releaseGpu();
  PartValues::operator=(std::move(other));
  materialGpu = std::exchange(other.materialGpu, nullptr);
  sectionGpu = std::exchange(other.sectionGpu, nullptr);
  node_array_gpu = std::exchange(other.node_array_gpu, nullptr);
  return *this;
}

Part::~Part() { releaseGpu(); }

void Part::releaseGpu() {
  freeDevice(node_array_gpu);
  freeDevice(materialGpu);
  freeDevice(sectionGpu);
}
