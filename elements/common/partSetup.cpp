// A part's set-up against the stores above core: the links to its element
// store, material and section, the node list walked over its element
// families, integration points, device copies and the characteristic
// length. The part record itself is in core/part.*.
#include "elements/common/partSetup.h"

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
#include "elements/common/elmmanager.h"
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

void linkMaterialSectionElement(Part& part, std::vector<ElmManager>& elmManagers, MaterialManager* materialManager,
                                SectionManager* sectionManager) {
  // Unknown ids leave null links; the caller reports them.
  const int id = part.id;
  part.elmManager = id >= 1 && id <= static_cast<int>(elmManagers.size()) ? &elmManagers[id - 1] : nullptr;
  part.material = materialManager != nullptr ? materialManager->findMaterialIndexById(part.material_id) : nullptr;
  part.section = sectionManager != nullptr ? sectionManager->findSectionById(part.section_id) : nullptr;
}

void setNodeThickness(Part& part) {
  if (part.elmManager == nullptr || part.section == nullptr) return;
  part.elmManager->setNodeThickness(part.section);
}

namespace {
// Walks the node ids of every element family of the part in the fixed
// order; visit gets every id of every element.
template <typename Visit>
void walkNodeIds(const Part& part, Visit visit) {
  ElmManager* elmManager = part.elmManager;
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

// The same walk; visit gets each id the first time it is seen.
template <typename Visit>
void walkDistinctNodeIds(const Part& part, Visit visit) {
  std::unordered_set<int> seen;
  walkNodeIds(part, [&seen, &visit](int nodeId) {
    if (seen.insert(nodeId).second) visit(nodeId);
  });
}
}  // namespace

void buildNodeList(Part& part, NodeManager* nodeManager) {
  if (part.elmManager == nullptr || nodeManager == nullptr) return;
  std::vector<NodeCuda*>& node_array = part.node_array;
  std::size_t elements = 0;
  part.elmManager->forEachFamily([&elements](auto tag, const auto& records) {
    if (decltype(tag)::row.partNodeIds > 0) elements += records.size();
  });
  node_array.reserve(node_array.size() + elements);
  // Each node once, in the order of its first use; a node of the model is
  // known by its place in the node array, a missing id by the id.
  // The ids in walking order are looked up on all threads, then listed in
  // that order.
  std::vector<int> ids;
  walkNodeIds(part, [&ids](int nodeId) { ids.push_back(nodeId); });
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
        printf("部件 %d 的单元引用了不存在的节点 %d\n", part.id, ids[i]);
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

void buildPartNodeElement(Part& part, std::vector<int>& nodes) {
  walkDistinctNodeIds(part, [&nodes](int nodeId) { nodes.push_back(nodeId); });
}

void linkMaterialNew(Part& part, MaterialManager* materialManager) {
  part.materialNew = materialManager != nullptr ? materialManager->findMaterialNewIndexById(part.material_id) : nullptr;
  if (part.materialNew == nullptr) {
    printf("部件 %d 的材料 %d 没有可用的材料模型，该部件的单元不参与计算\n", part.id, part.material_id);
  }
}

void linkGaussPoints(Part& part, SectionManager* sectionManager) {
  if (part.materialNew == nullptr || part.materialNew->type <= MT_RIGID) return;
  const Section* section = part.section;
  if (section == nullptr || section->sfem_kind != 0 || part.elmManager == nullptr || sectionManager == nullptr) return;
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
  part.elmManager->forEachFamily([&link](auto tag, auto& records) {
    if constexpr (decltype(tag)::row.sectionPointWeights) link(records);
  });
}

void copyMaterialSectionToGpu(Part& part) {
  if (part.material != nullptr) {
    freeDevice(part.materialGpu);
    CUDA_CHECK(cudaMalloc((void **)&part.materialGpu, sizeof(Material)));
    CUDA_CHECK(cudaMemcpy(part.materialGpu, part.material, sizeof(Material), cudaMemcpyHostToDevice));
  }
  if (part.section != nullptr) {
    freeDevice(part.sectionGpu);
    CUDA_CHECK(cudaMalloc((void **)&part.sectionGpu, sizeof(Section)));
    CUDA_CHECK(cudaMemcpy(part.sectionGpu, part.section, sizeof(Section), cudaMemcpyHostToDevice));
  }
}

void calMinCharactLength(Part& part, double* out) {
  if (part.elmManager == nullptr || out == nullptr) return;
  part.elmManager->calMinCharactLength(out);
}
