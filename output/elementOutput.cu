// Device side of the element history: the point-value kernels.
#include "output/elementOutput.h"

#include "core/logErrorPrint.h"
#include "elements/common/element.h"
#include "elements/common/gausspoint.h"
#include "materials/materialstatus.h"

__host__ __device__ void copyElementPointValues(const Element* element, double* out, int pointNum, bool strain) {
  int own = 0;
  if (element != nullptr && element->gaussPoint != nullptr) {
    own = element->integratPointNum < pointNum ? element->integratPointNum : pointNum;
  }
  for (int j = 0; j < pointNum; ++j) {
    const MaterialStatus* status = j < own ? element->gaussPoint[j].matStatus_ : nullptr;
    for (int k = 0; k < 6; ++k) {
      out[j * 6 + k] = status == nullptr ? 0.0 : (strain ? status->strain[k] : status->stress[k]);
    }
  }
}

namespace {

__device__ inline void pointValuesOfItem(int n, Element** elements, double* out, int pointNum, bool strain) {
  const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
  if (i >= n) return;
  copyElementPointValues(elements[i], out + static_cast<long long>(i) * pointNum * 6, pointNum, strain);
}

}  // namespace

__global__ void GpuGetElementPointStress(int n, Element** elements, double* out, int pointNum) {
  pointValuesOfItem(n, elements, out, pointNum, false);
}

__global__ void GpuGetElementPointStrain(int n, Element** elements, double* out, int pointNum) {
  pointValuesOfItem(n, elements, out, pointNum, true);
}

void ElementOutput::collectGpu(int code, double* B, double* D) {
  const int n = elementsGpu_.size();
  if (n <= 0 || pointNum <= 0) return;
  const dim3 grid(static_cast<unsigned>((n - 1) / 64 + 1));
  if (code == OUTPUT_STRESS) {
    launch(GpuGetElementPointStress, grid, dim3(64), n, elementsGpu_.data(), D, pointNum);
  } else {
    launch(GpuGetElementPointStrain, grid, dim3(64), n, elementsGpu_.data(), D, pointNum);
  }
  CUDA_CHECK(cudaMemcpy(B, D, sizeof(double) * 6 * static_cast<std::size_t>(n) * pointNum, cudaMemcpyDeviceToHost));
}
