#include "core/nodeFieldCopy.h"

#include <cstddef>

#include "core/allocZeroMem.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"

namespace {

// Doubles a node takes in the array of field kind k (bit 1 << k).
constexpr std::size_t widthOf(int kind) { return kind == 4 ? 12 : 3; }

__host__ __device__ inline void copyValues(const double* from, double* to, int count) {
  for (int j = 0; j < count; ++j) to[j] = from[j];
}

NodeColumn columnOf(const double* values, std::size_t width) {
  return NodeColumn{reinterpret_cast<const char*>(values), width * sizeof(double)};
}

NodeColumn recordColumn(const std::vector<NodeCuda>& nodes, std::size_t offset) {
  return NodeColumn{reinterpret_cast<const char*>(nodes.data()) + offset, sizeof(NodeCuda)};
}

}  // namespace

NodeColumns NodeColumns::ofRecords(const std::vector<NodeCuda>& nodes) {
  NodeColumns c;
  c.count = nodes.size();
  c.coord = recordColumn(nodes, offsetof(NodeCuda, coord));
  c.disp = recordColumn(nodes, offsetof(NodeCuda, total_disp));
  c.vel = recordColumn(nodes, offsetof(NodeCuda, vel));
  c.accel = recordColumn(nodes, offsetof(NodeCuda, accel));
  c.stress = recordColumn(nodes, offsetof(NodeCuda, stress));
  c.strain = recordColumn(nodes, offsetof(NodeCuda, strain));
  return c;
}

__global__ void PackNodeFields(int n, const NodeCuda* nodes, unsigned fields, PackedNodeFields out) {
  const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
  if (i >= n) return;
  const NodeCuda& node = nodes[i];
  const std::size_t at = static_cast<std::size_t>(i);
  if (fields & NODE_COORDINATES) copyValues(node.coord, out.field[0] + 3 * at, 3);
  if (fields & NODE_DISPLACEMENTS) copyValues(node.total_disp, out.field[1] + 3 * at, 3);
  if (fields & NODE_VELOCITIES) copyValues(node.vel, out.field[2] + 3 * at, 3);
  if (fields & NODE_ACCELERATIONS) copyValues(node.accel, out.field[3] + 3 * at, 3);
  if (fields & NODE_STRESSES) {
    copyValues(node.stress, out.field[4] + 12 * at, 6);
    copyValues(node.strain, out.field[4] + 12 * at + 6, 6);
  }
}

NodeFieldCopy::~NodeFieldCopy() {
  for (double* p : host_)
    if (p != nullptr) CUDA_CHECK(cudaFreeHost(p));
}

void NodeFieldCopy::reserve(int kind, std::size_t doubles) {
  if (doubles <= capacity_[kind]) return;
  if (host_[kind] != nullptr) CUDA_CHECK(cudaFreeHost(host_[kind]));
  host_[kind] = device_[kind] = nullptr;
  capacity_[kind] = 0;
  allocZeroMem(&device_[kind], &host_[kind], static_cast<int>(doubles));
  capacity_[kind] = doubles;
}

void NodeFieldCopy::pack(const NodeCuda* device, int n, unsigned fields) {
  if (n <= 0 || device == nullptr || fields == 0) return;
  count_ = static_cast<std::size_t>(n);
  PackedNodeFields out{};
  for (int k = 0; k < kNodeFieldKinds; ++k) {
    if ((fields & (1u << k)) == 0) continue;
    reserve(k, count_ * widthOf(k));
    out.field[k] = device_[k];
  }
  launch(PackNodeFields, nodeCycleGrid(n), dim3(kNodeCycleBlock), n, device, fields, out);
  CUDA_CHECK(cudaDeviceSynchronize());
}

NodeColumns NodeFieldCopy::columns() const {
  NodeColumns c;
  c.count = count_;
  c.coord = columnOf(host_[0], 3);
  c.disp = columnOf(host_[1], 3);
  c.vel = columnOf(host_[2], 3);
  c.accel = columnOf(host_[3], 3);
  c.stress = columnOf(host_[4], 12);
  c.strain = columnOf(host_[4] == nullptr ? nullptr : host_[4] + 6, 12);
  return c;
}
