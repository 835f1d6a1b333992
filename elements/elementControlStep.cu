// The element that limits the model's step: steps that are not finite made
// the smallest, and the element read back from the device for the message
// of a run that cannot step on.
#include <vector>

#include "core/logErrorPrint.h"
#include "elements/elementControl.h"
#include "elements/elementStep.h"

namespace {

template <typename T>
__global__ void CollectElementSteps(int n, T** elements, double* steps, int* ids) {
  const int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i >= n) return;
  steps[i] = elements[i]->dt;
  ids[i] = elements[i]->id;
}

// Stored steps and ids of one family's elements, considered on the host.
template <typename T>
void considerFamily(ElementStep& worst, T** elements, int n) {
  if (n <= 0 || elements == nullptr) return;
  double* steps = nullptr;
  int* ids = nullptr;
  CUDA_CHECK(cudaMalloc(&steps, sizeof(double) * n));
  CUDA_CHECK(cudaMalloc(&ids, sizeof(int) * n));
  launch(CollectElementSteps<T>, dim3(static_cast<unsigned>(n / 128 + 1)), dim3(128), n, elements, steps, ids);
  std::vector<double> hostSteps(n);
  std::vector<int> hostIds(n);
  CUDA_CHECK(cudaMemcpy(hostSteps.data(), steps, sizeof(double) * n, cudaMemcpyDeviceToHost));
  CUDA_CHECK(cudaMemcpy(hostIds.data(), ids, sizeof(int) * n, cudaMemcpyDeviceToHost));
  CUDA_CHECK(cudaFree(steps));
  CUDA_CHECK(cudaFree(ids));
  for (int i = 0; i < n; ++i) considerElementStep(worst, hostIds[i], hostSteps[i]);
}

}  // namespace

__global__ void ZeroNonFiniteSteps(int n, double* steps) {
  const int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n && !nodeValueIsFinite(steps[i])) steps[i] = 0.0;
}

ElementStep ElementControl::smallestElementStep() {
  ElementStep worst;
  considerFamily(worst, beamArrayGpu, beam_num);
  considerFamily(worst, shellArrayGpu, shell_num);
  considerFamily(worst, solidArrayGpu, solid_num);
  considerFamily(worst, solid2ndArrayGpu_, solid2ndNum_);
  return worst;
}
