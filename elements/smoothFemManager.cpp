#include "elements/smoothFemManager.h"
#include "core/part.h"
#include "core/section.h"
#include "solver/pendingFeature.h"

// Smoothing domains come with the smoothed finite-element methods: a part
// that asks for them is reported, and no domain is built.
void SmoothFemManager::createSmoothDomains(std::vector<Part> parts) {
  std::size_t count = 0;
  for (const Part& p : parts) {
    if (p.section != nullptr && p.section->sfem_kind != 0) ++count;
  }
  if (count > 0) reportUnavailable("Smoothed finite-element parts", count);
  smooth_num = 0;
}
void SmoothFemManager::computeSmoothDomains(std::vector<Part>) {}
void SmoothFemManager::allocateGpu() {}
void SmoothFemManager::copySmoothFemToGpu(NodeManager*) {}
