#include "core/orderedShares.h"

#include <map>
#include <utility>

#include "core/deviceFree.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"

namespace {
template <class T>
T* deviceCopy(const std::vector<T>& host) {
  T* device = nullptr;
  if (host.empty()) return device;
  CUDA_CHECK(cudaMalloc(reinterpret_cast<void**>(&device), sizeof(T) * host.size()));
  CUDA_CHECK(cudaMemcpy(device, host.data(), sizeof(T) * host.size(), cudaMemcpyHostToDevice));
  return device;
}
}  // namespace

void OrderedShares::build(const std::vector<double*>& slotTargets, int width) {
  release();
  width_ = width;
  std::map<double*, std::vector<int>> byTarget;
  for (std::size_t s = 0; s < slotTargets.size(); ++s) {
    if (slotTargets[s] != nullptr) byTarget[slotTargets[s]].push_back(static_cast<int>(s));
  }
  std::vector<double*> targets;
  std::vector<int> offsets{0}, slots;
  for (const auto& [target, list] : byTarget) {
    targets.push_back(target);
    slots.insert(slots.end(), list.begin(), list.end());
    offsets.push_back(static_cast<int>(slots.size()));
  }
  target_count_ = static_cast<int>(targets.size());
  slot_count_ = static_cast<int>(slotTargets.size());
  shares_ = deviceCopy(std::vector<double>(static_cast<std::size_t>(width) * slotTargets.size(), 0.0));
  if (target_count_ == 0) return;
  targets_ = deviceCopy(targets);
  offsets_ = deviceCopy(offsets);
  slots_ = deviceCopy(slots);
}

void OrderedShares::release() {
  freeDevice(targets_);
  freeDevice(offsets_);
  freeDevice(slots_);
  freeDevice(shares_);
  target_count_ = slot_count_ = 0;
}

void OrderedShares::take(OrderedShares& other) noexcept {
  targets_ = std::exchange(other.targets_, nullptr);
  offsets_ = std::exchange(other.offsets_, nullptr);
  slots_ = std::exchange(other.slots_, nullptr);
  shares_ = std::exchange(other.shares_, nullptr);
  target_count_ = std::exchange(other.target_count_, 0);
  slot_count_ = std::exchange(other.slot_count_, 0);
  width_ = std::exchange(other.width_, 3);
}

void OrderedShares::addIntoTargets() const {
  if (target_count_ <= 0) return;
  launch(GpuAddOrderedShares, dim3((target_count_ - 1) / 64 + 1), dim3(64), target_count_, targets_, offsets_, slots_,
         static_cast<const double*>(shares_), width_);
}

__global__ void GpuAddOrderedShares(int n, double** targets, const int* offsets, const int* slots, const double* shares,
                                    int width) {
  for (int t = gridStrideIndex(); t < n; t += gridStrideStep()) {
    double* target = targets[t];
    for (int k = offsets[t]; k < offsets[t + 1]; ++k) {
      for (int j = 0; j < width; ++j) target[j] += shares[width * slots[k] + j];
    }
  }
}
