#include "core/sectionmanager.h"

#include <algorithm>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "platform/gpuRuntime.h"

SectionManager::~SectionManager() { freeDevice(section_array_gpu); }

void SectionManager::sortAndMapSections() {
  std::stable_sort(section_array.begin(), section_array.end(),
                   [](const Section& a, const Section& b) { return a.id < b.id; });
  sectionMap.clear();
  for (Section& s : section_array) sectionMap.emplace(s.id, &s);
}

Section* SectionManager::findSectionById(int id) {
  const auto it = sectionMap.find(id);
  return it == sectionMap.end() ? nullptr : it->second;
}

void SectionManager::copySectionsToGpu() {
  if (section_array.empty()) return;
  freeDevice(section_array_gpu);
  CUDA_CHECK(cudaMalloc(&section_array_gpu, sizeof(Section)*section_array.size()));
  CUDA_CHECK(cudaMemcpy(section_array_gpu, &section_array[0], sizeof(Section)*section_array.size(), cudaMemcpyHostToDevice));
}
