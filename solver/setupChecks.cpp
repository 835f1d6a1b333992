#include "solver/setupChecks.h"

#include <cstdio>
#include <set>
#include <string>

#include "core/logErrorPrint.h"
#include "core/part.h"
#include "elements/elmmanager.h"
#include "materials/material.h"
#include "materials/materialValidation.h"

namespace {

// Solids, shells and beams: the elements whose masses and steps come from
// the material's density and elastic constants (springs and dampers take
// theirs from the discrete cards).
bool hasContinuumElements(const ElmManager& em) {
  return !em.solid_element_array_cpu.empty() || !em.shell_element_array_cpu.empty() ||
         !em.beam_element_array_cpu.empty() || !em.solid2ndArrayCpu_.empty() || !em.shell2ndArrayCpu_.empty() || !em.beam2ndArrayCpu_.empty();
}

void refuse(const Material& m, const Part& part, const std::string& problem) {
  const std::string name = m.name.empty() ? std::string() : " \"" + m.name.str() + "\"";
  char text[512];
  snprintf(text, sizeof(text), "Material %d%s (part %d): %s; the model is refused.", m.id, name.c_str(), part.id,
           problem.c_str());
  fprintf(stderr, "%s\n", text);
  if (g_runRecord.is_open()) g_runRecord << text << std::endl;
}

}  // namespace

bool elementPartMaterialsUsable(const std::vector<Part>& parts) {
  std::set<const Material*> refused;
  for (const Part& part : parts) {
    if (part.material == nullptr || part.elmManager == nullptr || !hasContinuumElements(*part.elmManager)) continue;
    if (refused.count(part.material) != 0) continue;
    const std::string problem = materialDataProblem(*part.material);
    if (problem.empty()) continue;
    refuse(*part.material, part, problem);
    refused.insert(part.material);
  }
  return refused.empty();
}
