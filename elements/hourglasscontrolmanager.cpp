#include "elements/hourglasscontrolmanager.h"

#include <cstdio>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "core/part.h"
#include "core/section.h"
#include "elements/elementtype.h"

HourglassControlManager::~HourglassControlManager() {
  freeDevice(hourglass_array_gpu);
  freeDevice(part_controls_gpu);
}

void HourglassControlManager::buildIdMap() {
  if (hourglass_array_cpu.empty()) hourglass_array_cpu.push_back(HourglassControl());
  hourglass_id_map.clear();
  for (HourglassControl& h : hourglass_array_cpu) hourglass_id_map.emplace(h.id, &h);
}

HourglassControl* HourglassControlManager::findHourglassById(int id) {
  auto it = hourglass_id_map.find(id);
  return it == hourglass_id_map.end() ? nullptr : it->second;
}

HourglassControl HourglassControlManager::modelControl() const {
  for (const HourglassControl& h : hourglass_array_cpu) {
    if (h.id == 0) return h;
  }
  return HourglassControl();
}

namespace {
// Parts whose elements resist hourglass modes by their control: one-point
// hexahedra (and the pentahedra they make) and quadrilateral shells.
bool consultsHourglass(const Part& part) {
  const Section* s = part.section;
  return s != nullptr && ((s->family_code == 4 && s->element_formulation == ET_HEXA_REDUCED) ||
                          (s->family_code == 3 && s->element_formulation == ET_BT_SHELL));
}
}  // namespace

bool HourglassControlManager::selectPartControls(const std::vector<Part>& parts) {
  const HourglassControl model = modelControl();
  part_controls_cpu.assign(parts.empty() ? 1 : parts.size(), model);
  bool found = true;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Part& part = parts[i];
    if (part.hourglass_id != 0) {
      const HourglassControl* control = findHourglassById(part.hourglass_id);
      if (control == nullptr) {
        std::fprintf(stderr, "part %d (%s): hourglass control %d (HGID) is not in the model\n", part.id,
                     part.name.c_str(), part.hourglass_id);
        found = false;
        continue;
      }
      part_controls_cpu[i] = *control;
    }
    const HourglassControl& control = part_controls_cpu[i];
    if (!control.computed() && consultsHourglass(part)) {
      std::fprintf(stderr,
                   "part %d (%s): hourglass form %d (IHQ) is not computed by this version; it computes forms 1-3 "
                   "(viscous), 4-5 (stiffness) and 6 (assumed strain)\n",
                   part.id, part.name.c_str(), control.type);
      found = false;
    }
  }
  return found;
}

HourglassControl* HourglassControlManager::partControlCpu(int partId) {
  if (part_controls_cpu.empty()) part_controls_cpu.assign(1, modelControl());
  const std::size_t entry = partId > 1 ? static_cast<std::size_t>(partId - 1) : 0;
  return entry < part_controls_cpu.size() ? &part_controls_cpu[entry] : &part_controls_cpu[0];
}

void HourglassControlManager::allocateAndCopyGpu() {
  if (part_controls_cpu.empty()) part_controls_cpu.assign(1, modelControl());
  if (part_controls_gpu == nullptr) {
    CUDA_CHECK(cudaMalloc(&part_controls_gpu, sizeof(HourglassControl) * part_controls_cpu.size()));
    CUDA_CHECK(cudaMemcpy(part_controls_gpu, part_controls_cpu.data(),
                          sizeof(HourglassControl) * part_controls_cpu.size(), cudaMemcpyHostToDevice));
  }
  if (hourglass_array_cpu.empty() || hourglass_array_gpu != nullptr) return;
  CUDA_CHECK(cudaMalloc(&hourglass_array_gpu, sizeof(HourglassControl)*hourglass_array_cpu.size()));
  CUDA_CHECK(cudaMemcpy(hourglass_array_gpu, hourglass_array_cpu.data(), sizeof(HourglassControl)*hourglass_array_cpu.size(),cudaMemcpyHostToDevice));
}
