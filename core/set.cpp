#include "core/set.h"

#include "core/logErrorPrint.h"
#include "platform/gpuRuntime.h"

void Set::copyHostData(const Set& other) {
  name = other.name;
  title = other.title;
  solver_name = other.solver_name;
  general_option = other.general_option;
  type = other.type;
  id = other.id;
  deck_line = other.deck_line;
  for (int k = 0; k < 4; ++k) {
    attributes[k] = other.attributes[k];
  }
  id_array = other.id_array;
  add_node_set_ids = other.add_node_set_ids;
  add_part_set_ids = other.add_part_set_ids;
  add_shell_set_ids = other.add_shell_set_ids;
  general_values = other.general_values;
  node_array_cpu = other.node_array_cpu;
  segment_array_cpu = other.segment_array_cpu;
  part_array_cpu = other.part_array_cpu;
  element_array_cpu = other.element_array_cpu;
}

void Set::takeGpu(Set& other) noexcept {
  node_array_gpu = other.node_array_gpu;
  segment_array_gpu = other.segment_array_gpu;
  element_array_gpu = other.element_array_gpu;
  element_array_gpu_num = other.element_array_gpu_num;
  other.node_array_gpu = nullptr;
  other.segment_array_gpu = nullptr;
  other.element_array_gpu = nullptr;
  other.element_array_gpu_num = 0;
}

Set::Set(const Set& other) { copyHostData(other); }

Set& Set::operator=(const Set& other) {
  if (this != &other) {
    freeGpu();
    copyHostData(other);
  }
  return *this;
}

Set::Set(Set&& other) noexcept {
  copyHostData(other);
  takeGpu(other);
}

Set& Set::operator=(Set&& other) noexcept {
  if (this != &other) {
    freeGpu();
    copyHostData(other);
    takeGpu(other);
  }
  return *this;
}

Set::~Set() { freeGpu(); }

void Set::freeGpu() {
  if (node_array_gpu != nullptr) {
    CUDA_CHECK(cudaFree(node_array_gpu));
    node_array_gpu = nullptr;
  }
  if (element_array_gpu != nullptr) {
    CUDA_CHECK(cudaFree(element_array_gpu));
    element_array_gpu = nullptr;
    element_array_gpu_num = 0;
  }
  if (segment_array_gpu != nullptr) {
    CUDA_CHECK(cudaFree(segment_array_gpu));
    segment_array_gpu = nullptr;
  }
}
