#include "elements/hourglasscontrolmanager.h"

#include <cstdio>

#include "core/logErrorPrint.h"

HourglassControlManager::~HourglassControlManager() {
  if (hourglass_array_gpu != nullptr) CUDA_CHECK(cudaFree(hourglass_array_gpu));
  hourglass_array_gpu = nullptr;
}

void HourglassControlManager::buildIdMap() {
  if (hourglass_array_cpu.empty()) hourglass_array_cpu.push_back(HourglassControl());
  for (HourglassControl& h : hourglass_array_cpu) {
    if (h.type == 1 || h.type == 2) continue;
    printf("Hourglass control %d: form %d is not available; form 1 is used\n", h.id, h.type);
    h.type = 1;
  }
  hourglass_id_map.clear();
  for (HourglassControl& h : hourglass_array_cpu) hourglass_id_map.emplace(h.id, &h);
}

HourglassControl* HourglassControlManager::findHourglassById(int id) {
  auto it = hourglass_id_map.find(id);
  return it == hourglass_id_map.end() ? nullptr : it->second;
}

void HourglassControlManager::allocateAndCopyGpu() {
  if (hourglass_array_cpu.empty() || hourglass_array_gpu != nullptr) return;
  CUDA_CHECK(cudaMalloc(&hourglass_array_gpu, sizeof(HourglassControl)*hourglass_array_cpu.size()));
  CUDA_CHECK(cudaMemcpy(hourglass_array_gpu, hourglass_array_cpu.data(), sizeof(HourglassControl)*hourglass_array_cpu.size(),cudaMemcpyHostToDevice));
}
