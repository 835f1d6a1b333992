// Shares that many sources add into shared targets (three doubles each, such
// as a node's force, or another width: a node's mass alone, or its mass and
// rotary inertia), summed in a fixed order.  Each source writes its shares
// into slots of its own; one thread per target then adds the target's slots
// in ascending slot order.  Additions from several threads into one value
// would round differently from run to run; this way a run gives the same
// bits on any number of threads (and those of a run on one thread that adds
// source after source).
#pragma once
#include <vector>

#include "platform/gpuRuntime.h"

class OrderedShares {
 public:
  OrderedShares() = default;
  OrderedShares(const OrderedShares&) = delete;
  OrderedShares& operator=(const OrderedShares&) = delete;
  OrderedShares(OrderedShares&& other) noexcept { take(other); }
  OrderedShares& operator=(OrderedShares&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  ~OrderedShares() { release(); }

  // Slot s adds into the `width` doubles at device address slotTargets[s]
  // (null: the slot adds nowhere).  Allocates the device shares, zeroed.
  void build(const std::vector<double*>& slotTargets, int width = 3);
  // Device array of `width` shares per slot, for the sources to write.
  double* shares() const { return shares_; }
  int slotCount() const { return slot_count_; }
  int width() const { return width_; }
  // Adds every target's shares, slot after slot (one thread per target).
  void addIntoTargets() const;

 private:
  double** targets_ = nullptr;  // device: the distinct targets
  int* offsets_ = nullptr;      // device: target t's slots are slots_[offsets_[t] .. offsets_[t + 1])
  int* slots_ = nullptr;        // device: slot numbers, ascending per target
  double* shares_ = nullptr;
  int target_count_ = 0;
  int slot_count_ = 0;
  int width_ = 3;
  void release();
  void take(OrderedShares& other) noexcept;
};

__global__ void GpuAddOrderedShares(int n, double** targets, const int* offsets, const int* slots, const double* shares,
                                    int width);
