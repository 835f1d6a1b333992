#include "materials/returnMapFailure.h"

#include <cstdio>

#include "core/logErrorPrint.h"
#include "elements/element.h"
#include "elements/gausspoint.h"
#include "materials/radialReturn.h"

__device__ __managed__ int g_returnMapFailureCount = 0;
__device__ __managed__ int g_returnMapFailureElement = -1;

__host__ __device__ void reportReturnMapFailure(const GaussPoint* gp) {
  if (atomicAddAnywhere(&g_returnMapFailureCount, 1) != 0) return;
  const bool owned = gp != nullptr && gp->element_ != nullptr && gp->elementType_ != ET_NONE;
  g_returnMapFailureElement = owned ? gp->element_->id : -1;
}

void printReturnMapFailures() {
  CUDA_CHECK(cudaDeviceSynchronize());
  if (g_returnMapFailureCount == 0) return;
  char text[320];
  std::snprintf(text, sizeof(text),
                "jIter exceed limit. Divergent: the return mapping of the elastic-plastic model did not converge in "
                "%d iterations at %d point update(s), the first in element %d; those points kept the stress of "
                "their last iteration.",
                radial_return::kMaxIterations, g_returnMapFailureCount, g_returnMapFailureElement);
  std::fflush(stdout);
  std::printf("%s\n", text);
  if (g_runRecord.is_open()) g_runRecord << text << std::endl;
}

void clearReturnMapFailures() {
  g_returnMapFailureCount = 0;
  g_returnMapFailureElement = -1;
}
