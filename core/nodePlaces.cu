#include "core/nodePlaces.h"

#include "core/deviceFree.h"

NodePlaces::~NodePlaces() {
  freeDevice(keep_gpu_);
  freeDevice(places_gpu_);
  freeDevice(bits_gpu_);
}

void NodePlaces::keep(const std::vector<int>& positions, int nodeCount) {
  if (nodeCount <= 0) return;
  const std::size_t n = static_cast<std::size_t>(nodeCount);
  if (keep_.size() != n) {
    // A new node count: the arrays are made anew for it.
    keep_.assign(n, 0);
    freeDevice(keep_gpu_);
    freeDevice(places_gpu_);
    freeDevice(bits_gpu_);
  }
  bool added = false;
  for (const int p : positions) {
    if (p < 0 || p >= nodeCount || keep_[static_cast<std::size_t>(p)] != 0) continue;
    keep_[static_cast<std::size_t>(p)] = 1;
    added = true;
  }
  if (!added) return;
  if (keep_gpu_ == nullptr) {
    CUDA_CHECK(cudaMalloc(&keep_gpu_, n));
    CUDA_CHECK(cudaMalloc(&places_gpu_, sizeof(NodePlace) * n));
    CUDA_CHECK(cudaMalloc(&bits_gpu_, n));
  }
  CUDA_CHECK(cudaMemcpy(keep_gpu_, keep_.data(), n, cudaMemcpyHostToDevice));
  // The newly kept nodes have no place yet.
  changed();
}
