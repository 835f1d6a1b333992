#include "elements/common/hourglassControlManager.h"

#include <cstdio>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "core/part.h"
#include "core/section.h"
#include "elements/common/elementType.h"

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

// Largest product of a viscous coefficient QM and the step's scale factor
// that the step of the quadrilateral shells and membranes holds: their step
// leaves the damping out; their viscous form holds up to 0.153 (a square of
// side h steps at 0.82 h over the plate wave speed), the check keeps 1/8.
// The solids' own step takes their form's damping in
// (elements/solid1st/solidStableLength.h): a part of one-point solids is stable at
// every QM and every scale factor up to 1.
constexpr double kViscousLimit = 0.125;

// Elements of a part that resist hourglass modes by their control.
enum class HourglassUse { none, solid, shell };

// One-point hexahedra (and the pentahedra they make); quadrilateral shells
// and four-node membranes.
HourglassUse hourglassUse(const Part& part) {
  const Section* s = part.section;
  if (s == nullptr) return HourglassUse::none;
  if (s->family_code == 4 && s->element_formulation == ET_HEXA_REDUCED) return HourglassUse::solid;
  if (s->family_code == 3 && (s->element_formulation == ET_BT_SHELL || s->element_formulation == ET_MEMBRANE4))
    return HourglassUse::shell;
  return HourglassUse::none;
}

// Whether the part's elements compute the control's form; a message naming
// part and form when they do not.
bool formComputed(const Part& part, HourglassUse use, const HourglassControl& control) {
  if (use == HourglassUse::none) return true;
  if (use == HourglassUse::solid && control.computed()) return true;
  if (use == HourglassUse::shell && control.computed() && !control.assumedStrain()) return true;
  std::fprintf(stderr, "part %d (%s): hourglass form %d (IHQ) is not computed by this version; %s\n", part.shownId(),
               part.name.c_str(), control.type,
               use == HourglassUse::solid
                   ? "one-point solids compute forms 1-3 (viscous), 4-5 (stiffness) and 6 (assumed strain)"
                   : "quadrilateral shells and membranes compute forms 1-3 (viscous) and 4-5 (stiffness)");
  return false;
}

// Whether the step holds the viscous form's damping (the shells' and
// membranes'); a message naming the part, QM and the scale factor when it
// does not.
bool viscousStable(const Part& part, HourglassUse use, const HourglassControl& control, double safeFactor) {
  if (use != HourglassUse::shell || !control.viscous() || control.coefficient * safeFactor <= kViscousLimit)
    return true;
  std::fprintf(stderr,
               "part %d (%s): the viscous hourglass form %d (IHQ) with QM %g is beyond the step's stability limit "
               "QM x TSSFAC <= %g at the time-step scale factor %g; give QM %.4g or less, or TSSFAC %.4g or less, "
               "or a stiffness form (IHQ 4 or 5)\n",
               part.shownId(), part.name.c_str(), control.type, control.coefficient, kViscousLimit, safeFactor,
               kViscousLimit / safeFactor, kViscousLimit / control.coefficient);
  return false;
}

}  // namespace

bool HourglassControlManager::selectPartControls(const std::vector<Part>& parts, double safeFactor) {
  const HourglassControl model = modelControl();
  part_controls_cpu.assign(parts.empty() ? 1 : parts.size(), model);
  bool found = true;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Part& part = parts[i];
    if (part.hourglass_id != 0) {
      const HourglassControl* control = findHourglassById(part.hourglass_id);
      if (control == nullptr) {
        std::fprintf(stderr, "part %d (%s): hourglass control %d (HGID) is not in the model\n", part.shownId(),
                     part.name.c_str(), part.hourglass_id);
        found = false;
        continue;
      }
      part_controls_cpu[i] = *control;
    }
    const HourglassControl& control = part_controls_cpu[i];
    const HourglassUse use = hourglassUse(part);
    if (!formComputed(part, use, control) || !viscousStable(part, use, control, safeFactor)) found = false;
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
