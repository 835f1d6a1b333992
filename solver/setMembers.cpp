// The members of a set resolved against the model, and their device
// pointer arrays: the set's methods and the set manager's passes over all
// sets that need the whole model (its nodes, parts and element managers)
// are defined here, above the element layer, so that the set record itself
// stays in core.
#include <cstdio>
#include <initializer_list>
#include <vector>

#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/set.h"
#include "core/setManager.h"
#include "elements/elmmanager.h"
#include "platform/gpuRuntime.h"
#include "solver/femdynamic.h"

void Set::resolveMembers(FEMDynamic* fem) {
  switch (type) {
    case SET_NODE:
      node_array_cpu.clear();
      node_array_cpu.reserve(id_array.size());
      for (int member : id_array) {
        // An id that is no node stays as a null entry; users skip it.
        node_array_cpu.push_back(fem->nodeManager->findNodeById(member));
      }
      break;
    case SET_PART:
      part_array_cpu.clear();
      for (int member : id_array) {
        if (member < 1 || member > static_cast<int>(fem->part_array.size())) {
          std::printf("part set %d: part %d is not in the model and is left out\n", id, member);
          continue;
        }
        part_array_cpu.push_back(&fem->part_array[member - 1]);
      }
      break;
    case SET_ELEMENT:
      element_array_cpu.clear();
      for (int member : id_array) {
        Element* found = nullptr;
        for (ElmManager& elements : fem->elm_manager_array) {
          found = elements.findElementById(member);
          if (found != nullptr) {
            break;
          }
        }
        if (found != nullptr) {
          element_array_cpu.push_back(found);
        }
      }
      break;
    default:
      // Segment sets keep their id list; their users read it themselves.
      break;
  }
}

void Set::copyToGpu(FEMDynamic* fem) {
  if (type == SET_NODE) {
    if (node_array_gpu != nullptr) {
      CUDA_CHECK(cudaFree(node_array_gpu));
      node_array_gpu = nullptr;
    }
    if (node_array_cpu.empty()) {
      return;
    }
    // Device slot i points at the resolved node's own storage position;
    // an unresolved member gets a null slot.
    NodeCuda* base = fem->nodeManager->node_array_gpu;
    std::vector<NodeCuda*> slots(node_array_cpu.size(), nullptr);
    for (std::size_t i = 0; i < node_array_cpu.size(); ++i) {
      const NodeCuda* node = node_array_cpu[i];
      if (node != nullptr && base != nullptr) {
        slots[i] = base + node->store_id;
      }
    }
    CUDA_CHECK(cudaMalloc((void***)&node_array_gpu, sizeof(NodeCuda*) * node_array_cpu.size()));
    CUDA_CHECK(cudaMemcpy(node_array_gpu, slots.data(), sizeof(NodeCuda*) * slots.size(), cudaMemcpyHostToDevice));
  } else if (type == SET_ELEMENT) {
    if (element_array_gpu != nullptr) {
      CUDA_CHECK(cudaFree(element_array_gpu));
      element_array_gpu = nullptr;
      element_array_gpu_num = 0;
    }
    if (id_array.empty()) {
      return;
    }
    // One slot per id; an id that no element manager knows gets null.
    std::vector<Element*> slots(id_array.size(), nullptr);
    for (std::size_t i = 0; i < id_array.size(); ++i) {
      for (ElmManager& elements : fem->elm_manager_array) {
        Element* found = elements.findElementGpuById(id_array[i]);
        if (found != nullptr) {
          slots[i] = found;
          break;
        }
      }
    }
    CUDA_CHECK(cudaMalloc(&element_array_gpu, sizeof(Element*) * id_array.size()));
    CUDA_CHECK(
            cudaMemcpy(element_array_gpu, slots.data(), sizeof(Element*) * slots.size(), cudaMemcpyHostToDevice));
    element_array_gpu_num = static_cast<int>(slots.size());
  }
  // Part sets and segment sets have no device arrays.
}

void SetManager::resolveAllSets(FEMDynamic* fem) {
  buildSetMaps();
  for (std::deque<Set>* sets : {&node_set_array, &part_set_array, &element_set_array}) {
    for (Set& set : *sets) {
      set.resolveMembers(fem);
    }
  }
}

void SetManager::copyAllToGpu(FEMDynamic* fem) {
  for (std::deque<Set>* sets : {&node_set_array, &element_set_array, &part_set_array}) {
    for (Set& set : *sets) {
      set.copyToGpu(fem);
    }
  }
}
