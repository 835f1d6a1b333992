// A part's set-up against the stores above core: the links to its element
// store, material and section, the node list walked over its element
// families, integration points, device copies and the characteristic
// length. The part record itself is in core/part.*.
#include "core/part.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "core/repeatedMessage.h"
#include "core/nodeManager.h"
#include "core/sectionmanager.h"
#include "elements/elmmanager.h"
#include "materials/materialmanager.h"
#include "platform/gpuRuntime.h"
#include "platform/hostParallel.h"

namespace {
// Elements per range of the parallel copy of their node ids.
constexpr std::size_t kNodeIdGrain = 2048;

// Nodes an element family contributes to the part's node list: its first
// `count` ids, a 0 ending the list early.  The ids are copied out of the
// large element records on all threads, then visited in element order from
// the compact copy.
template <typename Record, typename Visit>
void visitFamilyNodeIds(const std::vector<Record>& elements, int count, Visit& visit) {
  const std::size_t width = static_cast<std::size_t>(count);
  if (width == 0) return;
  std::vector<int> ids(elements.size() * width);
  fem_parallel::parallelFor(elements.size(), kNodeIdGrain, [&](std::size_t i) {
    std::copy_n(elements[i].node_id, width, ids.begin() + static_cast<std::ptrdiff_t>(i * width));
  });
  for (std::size_t first = 0; first < ids.size(); first += width)
    for (std::size_t k = first; k < first + width && ids[k] != 0; ++k) visit(ids[k]);
}

template <typename Record>
constexpr int nodeIdCapacity() {
  return static_cast<int>(sizeof(Record::node_id) / sizeof(int));
}

constexpr int minCount(int a, int b) { return a < b ? a : b; }
}  // namespace

void Part::linkMaterialSectionElement(std::vector<ElmManager>& elmManagers, MaterialManager* materialManager,
                                      SectionManager* sectionManager) {
  // Unknown ids leave null links; the caller reports them.
  elmManager = id >= 1 && id <= static_cast<int>(elmManagers.size()) ? &elmManagers[id - 1] : nullptr;
  material = materialManager != nullptr ? materialManager->findMaterialIndexById(material_id) : nullptr;
  section = sectionManager != nullptr ? sectionManager->findSectionById(section_id) : nullptr;
}

void Part::setNodeThickness() {
  if (elmManager == nullptr || section == nullptr) return;
  elmManager->setNodeThickness(section);
}

template <typename Visit>
void Part::walkNodeIds(Visit visit) const {
  if (elmManager == nullptr) return;
  // Shells first, then the other families in table order: the order the
  // part's node list has always had (rigid bodies sum over it).
  for (const bool surfaces : {true, false}) {
    elmManager->forEachFamily([&](auto tag, const auto& records) {
      using Record = typename std::decay_t<decltype(records)>::value_type;
      constexpr ElementFamilyRow row = decltype(tag)::row;
      if ((row.shape == FamilyShape::Surface) == surfaces)
        visitFamilyNodeIds(records, minCount(row.partNodeIds, nodeIdCapacity<Record>()), visit);
    });
  }
}

template <typename Visit>
void Part::walkDistinctNodeIds(Visit visit) const {
  std::unordered_set<int> seen;
  walkNodeIds([&seen, &visit](int nodeId) {
    if (seen.insert(nodeId).second) visit(nodeId);
  });
}

void Part::buildNodeList(NodeManager* nodeManager) {
  if (elmManager == nullptr || nodeManager == nullptr) return;
  std::size_t elements = 0;
  elmManager->forEachFamily([&elements](auto tag, const auto& records) {
    if (decltype(tag)::row.partNodeIds > 0) elements += records.size();
  });
  node_array.reserve(node_array.size() + elements);
  // Each node once, in the order of its first use; a node of the model is
  // known by its place in the node array, a missing id by the id.
  // The ids in walking order are looked up on all threads, then listed in
  // that order.
  std::vector<int> ids;
  walkNodeIds([&ids](int nodeId) { ids.push_back(nodeId); });
  std::vector<NodeCuda*> found(ids.size());
  fem_parallel::parallelFor(ids.size(), kNodeIdGrain * 8,
                            [&](std::size_t i) { found[i] = nodeManager->findNodeById(ids[i]); });
  std::vector<NodeCuda>& all = nodeManager->node_array_cpu;
  std::vector<char> listed(all.size(), 0);
  std::unordered_set<int> missing;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    NodeCuda* node = found[i];
    if (node == nullptr) {
      if (missing.insert(ids[i]).second && countRepeated(REPEATED_PART_MISSING_NODE, ids[i])) {
        printf("部件 %d 的单元引用了不存在的节点 %d\n", id, ids[i]);
      }
      continue;
    }
    const auto at = reinterpret_cast<std::uintptr_t>(node), base = reinterpret_cast<std::uintptr_t>(all.data());
    const std::size_t k = at >= base ? (at - base) / sizeof(NodeCuda) : all.size();
    if (k < all.size()) {
      if (listed[k]) continue;
      listed[k] = 1;
    } else if (std::find(node_array.begin(), node_array.end(), node) != node_array.end()) {
      continue;  // a node outside the array (never in a read model)
    }
    node_array.push_back(node);
  }
}

void Part::buildPartNodeElement(std::vector<int>& nodes) {
  walkDistinctNodeIds([&nodes](int nodeId) { nodes.push_back(nodeId); });
}

void Part::linkMaterialNew(MaterialManager* materialManager) {
  materialNew = materialManager != nullptr ? materialManager->findMaterialNewIndexById(material_id) : nullptr;
  if (materialNew == nullptr) {
    printf("部件 %d 的材料 %d 没有可用的材料模型，该部件的单元不参与计算\n", id, material_id);
  }
}

void Part::linkGaussPoints(SectionManager* sectionManager) {
  if (materialNew == nullptr || materialNew->type <= MT_RIGID) return;
  if (section == nullptr || section->sfem_kind != 0 || elmManager == nullptr || sectionManager == nullptr) return;
  // Elements with their points are set on all threads; those without are
  // named in element order afterwards.
  auto link = [sectionManager](auto& elements) {
    fem_parallel::parallelFor(elements.size(), kNodeIdGrain, [&](std::size_t i) {
      const Section* own = sectionManager->findSectionById(elements[i].section_id);
      if (own != nullptr && elements[i].gaussPoint != nullptr) elements[i].setGaussPointCoordWeight(own);
    });
    for (auto& e : elements) {
      const Section* own = e.gaussPoint == nullptr ? sectionManager->findSectionById(e.section_id) : nullptr;
      if (own != nullptr) e.setGaussPointCoordWeight(own);
    }
  };
  elmManager->forEachFamily([&link](auto tag, auto& records) {
    if constexpr (decltype(tag)::row.sectionPointWeights) link(records);
  });
}

void Part::copyMaterialSectionToGpu() {
  if (material != nullptr) {
    freeDevice(materialGpu);
    CUDA_CHECK(cudaMalloc((void **)&materialGpu, sizeof(Material)));
    CUDA_CHECK(cudaMemcpy(materialGpu, material, sizeof(Material), cudaMemcpyHostToDevice));
  }
  if (section != nullptr) {
    freeDevice(sectionGpu);
    CUDA_CHECK(cudaMalloc((void **)&sectionGpu, sizeof(Section)));
    CUDA_CHECK(cudaMemcpy(sectionGpu, section, sizeof(Section), cudaMemcpyHostToDevice));
  }
}

void Part::calMinCharactLength(double* out) {
  if (elmManager == nullptr || out == nullptr) return;
  elmManager->calMinCharactLength(out);
}
