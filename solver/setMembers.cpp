// The members of a set resolved against the model, and their device
// pointer arrays, above the element layer: the passes over a set and over
// all sets that need the whole model (its nodes, parts and element managers).
#include "solver/setMembers.h"

#include <cstdio>
#include <initializer_list>
#include <vector>

#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/set.h"
#include "core/setManager.h"
#include "elements/common/elmmanager.h"
#include "platform/gpuRuntime.h"
#include "solver/femdynamic.h"

void resolveMembers(Set& set, FEMDynamic* fem) {
  switch (set.type) {
    case SET_NODE:
      set.node_array_cpu.clear();
      set.node_array_cpu.reserve(set.id_array.size());
      for (int member : set.id_array) {
        // An id that is no node stays as a null entry; users skip it.
        set.node_array_cpu.push_back(fem->nodeManager->findNodeById(member));
      }
      break;
    case SET_PART:
      set.part_array_cpu.clear();
      for (int member : set.id_array) {
        if (member < 1 || member > static_cast<int>(fem->part_array.size())) {
          std::printf("part set %d: part %d is not in the model and is left out\n", set.id, member);
          continue;
        }
        set.part_array_cpu.push_back(&fem->part_array[member - 1]);
      }
      break;
    case SET_ELEMENT:
      set.element_array_cpu.clear();
      for (int member : set.id_array) {
        Element* found = nullptr;
        for (ElmManager& elements : fem->elm_manager_array) {
          found = elements.findElementById(member);
          if (found != nullptr) {
            break;
          }
        }
        if (found != nullptr) {
          set.element_array_cpu.push_back(found);
        }
      }
      break;
    default:
      // Segment sets keep their id list; their users read it themselves.
      break;
  }
}

void copyToGpu(Set& set, FEMDynamic* fem) {
  if (set.type == SET_NODE) {
    if (set.node_array_gpu != nullptr) {
      CUDA_CHECK(cudaFree(set.node_array_gpu));
      set.node_array_gpu = nullptr;
    }
    if (set.node_array_cpu.empty()) {
      return;
    }
    // Device slot i points at the resolved node's own storage position;
    // an unresolved member gets a null slot.
    NodeCuda* base = fem->nodeManager->node_array_gpu;
    std::vector<NodeCuda*> slots(set.node_array_cpu.size(), nullptr);
    for (std::size_t i = 0; i < set.node_array_cpu.size(); ++i) {
      const NodeCuda* node = set.node_array_cpu[i];
      if (node != nullptr && base != nullptr) {
        slots[i] = base + node->store_id;
      }
    }
    CUDA_CHECK(cudaMalloc((void***)&set.node_array_gpu, sizeof(NodeCuda*) * set.node_array_cpu.size()));
    CUDA_CHECK(cudaMemcpy(set.node_array_gpu, slots.data(), sizeof(NodeCuda*) * slots.size(), cudaMemcpyHostToDevice));
  } else if (set.type == SET_ELEMENT) {
    if (set.element_array_gpu != nullptr) {
      CUDA_CHECK(cudaFree(set.element_array_gpu));
      set.element_array_gpu = nullptr;
      set.element_array_gpu_num = 0;
    }
    if (set.id_array.empty()) {
      return;
    }
    // One slot per id; an id that no element manager knows gets null.
    std::vector<Element*> slots(set.id_array.size(), nullptr);
    for (std::size_t i = 0; i < set.id_array.size(); ++i) {
      for (ElmManager& elements : fem->elm_manager_array) {
        Element* found = elements.findElementGpuById(set.id_array[i]);
        if (found != nullptr) {
          slots[i] = found;
          break;
        }
      }
    }
    CUDA_CHECK(cudaMalloc(&set.element_array_gpu, sizeof(Element*) * set.id_array.size()));
    CUDA_CHECK(
            cudaMemcpy(set.element_array_gpu, slots.data(), sizeof(Element*) * slots.size(), cudaMemcpyHostToDevice));
    set.element_array_gpu_num = static_cast<int>(slots.size());
  }
  // Part sets and segment sets have no device arrays.
}

void resolveAllSets(SetManager& sets, FEMDynamic* fem) {
  sets.buildSetMaps();
  for (std::deque<Set>* list : {&sets.node_set_array, &sets.part_set_array, &sets.element_set_array}) {
    for (Set& set : *list) {
      resolveMembers(set, fem);
    }
  }
}

void copyAllToGpu(SetManager& sets, FEMDynamic* fem) {
  for (std::deque<Set>* list : {&sets.node_set_array, &sets.element_set_array, &sets.part_set_array}) {
    for (Set& set : *list) {
      copyToGpu(set, fem);
    }
  }
}
