#include "solver/setupChecks.h"

#include <atomic>
#include <cstdio>
#include <set>
#include <string>

#include "core/logErrorPrint.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "elements/common/elmmanager.h"
#include "solver/femdynamic.h"
#include "materials/material.h"
#include "materials/materialValidation.h"
#include "platform/hostParallel.h"

namespace {

// Solids, shells and beams: the elements whose masses and steps come from
// the material's density and elastic constants (springs and dampers take
// theirs from the discrete cards).
bool hasContinuumElements(const ElmManager& em) {
  bool found = false;
  em.forEachFamily(
      [&found](auto tag, const auto& records) { found = found || (decltype(tag)::row.continuum && !records.empty()); });
  return found;
}

// Adds one registration for every node an element registers with.
template <typename Record>
void countRegistrations(const std::vector<Record>& elements, std::vector<int>& counts) {
  // Counted on several threads: the counts are whole numbers, so the order
  // of the increments does not matter.
  fem_parallel::parallelFor(elements.size(), 4096, [&](std::size_t i) {
    const Record& e = elements[i];
    for (int k = 0; k < e.registeredNodeNum(); ++k) {
      const int number = e.node_id[k];
      if (number >= 1 && number <= static_cast<int>(counts.size()))
        std::atomic_ref<int>(counts[static_cast<std::size_t>(number - 1)]).fetch_add(1, std::memory_order_relaxed);
    }
  });
}

void refuse(const Material& m, const Part& part, const std::string& problem) {
  const std::string name = m.name.empty() ? std::string() : " \"" + m.name.str() + "\"";
  char text[512];
  snprintf(text, sizeof(text), "Material %d%s (part %d): %s; the model is refused.", m.id, name.c_str(), part.shownId(),
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

bool nodesHoldTheirElements(const FEMDynamic& fem) {
  std::vector<int> counts(fem.nodeManager->node_array_cpu.size(), 0);
  for (const ElmManager& em : fem.elm_manager_array) {
    em.forEachFamily([&counts](auto tag, const auto& records) {
      if constexpr (decltype(tag)::row.registersNodes) countRegistrations(records, counts);
    });
  }
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (counts[i] <= kNodeElementSlots) continue;
    char text[320];
    snprintf(text, sizeof(text),
             "Node %d belongs to %d elements; a node holds the forces of at most %d. The model is refused.",
             deckNodeId(fem, static_cast<int>(i) + 1), counts[i], kNodeElementSlots);
    fprintf(stderr, "%s\n", text);
    if (g_runRecord.is_open()) g_runRecord << text << std::endl;
    return false;
  }
  return true;
}
