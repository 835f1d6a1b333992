// The model's step from the step array of the element pass, and the element
// that limits it: steps that are not finite made the smallest, and the
// element read back from the device for the message of a run that cannot
// step on.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "elements/common/elementControl.h"
#include "elements/common/elementStep.h"

namespace {

// Entries of the step array one thread of the minimum pass folds: enough
// that the chunk minima read back stay few, few enough that a large model
// gives every worker many chunks.
constexpr int kStepChunk = 256;
constexpr int kStepChunkBlock = 32;

// A step as the minimum sees it: one that is not finite is 0, so that a
// broken element stops the run.
__host__ __device__ inline double stepOrZero(double step) { return nodeValueIsFinite(step) ? step : 0.0; }

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
  const DeviceBuffer<double> steps(n);
  const DeviceBuffer<int> ids(n);
  launch(CollectElementSteps<T>, dim3(static_cast<unsigned>(n / 128 + 1)), dim3(128), n, elements, steps.get(),
         ids.get());
  std::vector<double> hostSteps(n);
  std::vector<int> hostIds(n);
  CUDA_CHECK(cudaMemcpy(hostSteps.data(), steps.get(), sizeof(double) * n, cudaMemcpyDeviceToHost));
  CUDA_CHECK(cudaMemcpy(hostIds.data(), ids.get(), sizeof(int) * n, cudaMemcpyDeviceToHost));
  for (int i = 0; i < n; ++i) considerElementStep(worst, hostIds[i], hostSteps[i]);
}

}  // namespace

__global__ void ZeroNonFiniteSteps(int n, double* steps) {
  const int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n && !nodeValueIsFinite(steps[i])) steps[i] = 0.0;
}

__global__ void StepChunkMinima(int n, const double* steps, double* chunkMin) {
  const int c = blockIdx.x * blockDim.x + threadIdx.x;
  const int begin = c * kStepChunk;
  if (begin >= n) return;
  const int end = n - begin < kStepChunk ? n : begin + kStepChunk;
  double best = stepOrZero(steps[begin]);
  for (int i = begin + 1; i < end; ++i) {
    const double s = stepOrZero(steps[i]);
    if (fabs(s) < fabs(best)) best = s;
  }
  chunkMin[c] = best;
}

int ElementControl::stepChunkNum() const { return (dtArrayNum() + kStepChunk - 1) / kStepChunk; }

void ElementControl::takeSmallestStep(cublasHandle_t handle, double* candidate) {
  const int total = dtArrayNum();
  if (total == 0 || dtArray == nullptr) return;
  double smallest = kElementDtSentinel;
  if (chunk_step_minimum && stepChunkMin != nullptr) {
    const int chunks = stepChunkNum();
    launch(StepChunkMinima, dim3(static_cast<unsigned>((chunks - 1) / kStepChunkBlock + 1)), dim3(kStepChunkBlock),
           total, static_cast<const double*>(dtArray), stepChunkMin);
    // Sized with the step array at set-up: no allocation per cycle.
    std::vector<double>& minima = stepChunkMinHost;
    if (minima.size() < static_cast<size_t>(chunks)) minima.resize(static_cast<size_t>(chunks));
    CUDA_CHECK(cudaMemcpy(minima.data(), stepChunkMin, sizeof(double) * chunks, cudaMemcpyDeviceToHost));
    smallest = minima[0];
    for (int c = 1; c < chunks; ++c)
      if (std::fabs(minima[c]) < std::fabs(smallest)) smallest = minima[c];
  } else {
    launch(ZeroNonFiniteSteps, dim3(static_cast<unsigned>(total / kStepChunkBlock + 1)), dim3(kStepChunkBlock), total,
           dtArray);
    int k = 0;
    cublasIdamin_v2(handle, total, dtArray, 1, &k);
    if (k < 1 || k > total) return;
    CUDA_CHECK(cudaMemcpy(&smallest, dtArray + (k - 1), sizeof(double), cudaMemcpyDeviceToHost));
  }
  if (smallest < kElementDtSentinel) *candidate = smallest;
}

ElementStep ElementControl::smallestElementStep() {
  ElementStep worst;
  // The families whose records keep their step.
  forEachFamily([&worst](auto, auto pointers, int count) {
    if constexpr (requires { pointers[0]->dt; }) considerFamily(worst, pointers, count);
  });
  return worst;
}
