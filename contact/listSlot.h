// Slot claiming in the fixed-size lists of the contact search (bucket
// lists, candidate lists), safe when many threads append to one list.
#pragma once
#include "platform/gpuRuntime.h"

// Reserves a slot of a list of `*count` entries that accepts `limit` by an
// atomic add; when the list is full the reservation is undone, the
// overflow counter (when given) grows and -1 is returned.
__host__ __device__ inline int reserveListSlot(int* count, int limit, int* overflow) {
  const int slot = atomicAddAnywhere(count, 1);
  if (slot >= 0 && slot < limit) return slot;
  atomicAddAnywhere(count, -1);
  if (overflow != nullptr) atomicAddAnywhere(overflow, 1);
  return -1;
}
