#include "core/nodeFieldCopy.h"

#include "core/allocZeroMem.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "platform/hostParallel.h"

namespace {

// Nodes per range of the unpacking loop.
constexpr std::size_t kUnpackGrain = 2048;

struct PackTo {
  double* at;
  __host__ __device__ void operator()(const double* field, int count) {
    for (int j = 0; j < count; ++j) *at++ = field[j];
  }
};

struct UnpackFrom {
  const double* at;
  __host__ __device__ void operator()(double* field, int count) {
    for (int j = 0; j < count; ++j) field[j] = *at++;
  }
};

}  // namespace

__global__ void PackNodeFields(int n, const NodeCuda* nodes, unsigned fields, int width, double* out) {
  const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
  if (i >= n) return;
  PackTo pack{out + static_cast<std::size_t>(i) * width};
  visitNodeFields(fields, nodes[i], pack);
}

NodeFieldCopy::~NodeFieldCopy() {
  if (host_ != nullptr) CUDA_CHECK(cudaFreeHost(host_));
}

void NodeFieldCopy::reserve(std::size_t doubles) {
  if (doubles <= capacity_) return;
  if (host_ != nullptr) CUDA_CHECK(cudaFreeHost(host_));
  host_ = device_ = nullptr;
  capacity_ = 0;
  allocZeroMem(&device_, &host_, static_cast<int>(doubles));
  capacity_ = doubles;
}

void NodeFieldCopy::copy(const NodeCuda* device, NodeCuda* host, int n, unsigned fields) {
  const int width = nodeFieldWidth(fields);
  if (n <= 0 || width == 0 || device == nullptr) return;
  reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(width));
  launch(PackNodeFields, nodeCycleGrid(n), dim3(kNodeCycleBlock), n, device, fields, width, device_);
  CUDA_CHECK(cudaDeviceSynchronize());
  const double* packed = host_;
  fem_parallel::parallelRanges(static_cast<std::size_t>(n), kUnpackGrain, [=](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      UnpackFrom unpack{packed + i * static_cast<std::size_t>(width)};
      visitNodeFields(fields, host[i], unpack);
    }
  });
}
