// Reduction of one value per thread of a one-dimensional block to one value
// per block, as a halving tree over slots in shared memory, written as the
// phases of blockPhases so that the host build runs it without fibers.
#pragma once
#include "platform/gpuRuntime.h"

// fill(t) gives thread t's slot its value; then for s = blockDim.x/2,
// blockDim.x/4, ... 1 (halving, integer division) combine(t, t + s) folds
// slot t + s into slot t for every t < s; finish() runs on thread 0 with the
// block's result in slot 0.  The order of the folds is the same in both
// builds, so sums come out bit for bit the same.
template <typename Fill, typename Combine, typename Finish>
__device__ inline void blockTreeReduce(Fill fill, Combine combine, Finish finish) {
  int levels = 0;
  for (unsigned s = blockDim.x / 2; s >= 1; s /= 2) ++levels;
  struct NoState {};
  blockPhases<NoState>(levels + 2, [&](int k, NoState&) {
    const unsigned t = threadIdx.x;
    if (k == 0) {
      fill(t);
    } else if (k <= levels) {
      const unsigned s = blockDim.x >> k;
      if (t < s) combine(t, t + s);
    } else if (t == 0) {
      finish();
    }
  });
}
