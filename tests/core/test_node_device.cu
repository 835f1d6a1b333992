// Node operations that run only in kernels: element registration and the
// transfer of a node's mass to its master node.
#include "tests/deviceTest.h"

#include <algorithm>
#include <vector>

#include "core/logErrorPrint.h"
#include "core/node.h"
#include "core/repeatedMessage.h"
#include "elements/shell/shellElementCuda.h"

namespace {

__global__ void registerShells(NodeCuda* node, ShellElementCuda* shells, int count) {
  const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
  if (i < count) buildShellIndexGpu(*node, shells + i, i % 4);
}

__global__ void attachToMaster(NodeCuda* nodes, int slave, int master, int mode) {
  nodes[slave].master_node = nodes + master;
  double share[4];
  nodes[slave].massShareForMainNode(mode, share);
  nodes[master].addMassShare(share, 4);
}

__global__ void noteShellAreas(int count) {
  const int i = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
  if (i < count) noteRepeated(REPEATED_QUAD_SHELL_AREA, 100 + i);
}

template <typename T>
T* toDevice(const std::vector<T>& host) {
  T* d = nullptr;
  CUDA_CHECK(cudaMalloc(&d, host.size() * sizeof(T)));
  CUDA_CHECK(cudaMemcpy(d, host.data(), host.size() * sizeof(T), cudaMemcpyHostToDevice));
  return d;
}

template <typename T>
std::vector<T> toHost(const T* d, std::size_t n) {
  std::vector<T> host(n);
  CUDA_CHECK(cudaMemcpy(host.data(), d, n * sizeof(T), cudaMemcpyDeviceToHost));
  return host;
}

DEVICE_TEST(NodeRegistrationDevice, SeventyOneEntriesKeptAndTheSeventySecondDropped) {
  NodeCuda node{};
  node.id = 9;
  NodeCuda* dNode = toDevice(std::vector<NodeCuda>{node});
  ShellElementCuda* dShells = nullptr;
  CUDA_CHECK(cudaMalloc(&dShells, (kNodeElementSlots + 1) * sizeof(ShellElementCuda)));

  launch(registerShells, dim3(1), dim3(kNodeElementSlots), dNode, dShells, kNodeElementSlots);
  CUDA_CHECK(cudaDeviceSynchronize());
  NodeCuda full = toHost(dNode, 1)[0];
  EXPECT_EQ(full.registeredElementNum(), kNodeElementSlots);
  std::vector<bool> seen(kNodeElementSlots, false);
  for (int k = 0; k < kNodeElementSlots; ++k) {
    const long i = static_cast<ShellElementCuda*>(full.element[k]) - dShells;
    ASSERT_TRUE(i >= 0 && i < kNodeElementSlots);
    EXPECT_EQ(full.local_node_num[k], i % 4);
    seen[i] = true;
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), kNodeElementSlots);

  testing::internal::CaptureStdout();
  launch(registerShells, dim3(1), dim3(1), dNode, dShells + kNodeElementSlots, 1);
  CUDA_CHECK(cudaDeviceSynchronize());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "壳单元节点 9 索引信息超出\n");
  const NodeCuda after = toHost(dNode, 1)[0];
  EXPECT_EQ(after.registeredElementNum(), kNodeElementSlots);
  for (int k = 0; k < kNodeElementSlots; ++k) EXPECT_EQ(after.element[k], full.element[k]);
  CUDA_CHECK(cudaFree(dShells));
  CUDA_CHECK(cudaFree(dNode));
}

DEVICE_TEST(NodeMassDevice, AttachToMasterMovesMassAndOffsetInertia) {
  std::vector<NodeCuda> nodes(4, NodeCuda{});
  nodes[0].mass = 2.0;  // master of node 1
  nodes[1].mass = 3.0;
  nodes[2].mass = 1.0;  // master of node 3, carries rotary inertia
  nodes[2].stored_rot_inertia[0] = 1.0;
  nodes[3].mass = 2.0;
  nodes[3].rot_inertia[0] = 0.5;
  nodes[3].coord[1] = 3.0;  // dy = 3
  NodeCuda* d = toDevice(nodes);
  launch(attachToMaster, dim3(1), dim3(1), d, 1, 0, 0);
  launch(attachToMaster, dim3(1), dim3(1), d, 3, 2, 1);
  launch(attachToMaster, dim3(1), dim3(1), d, 3, 2, 7);  // unknown mode: nothing
  const std::vector<NodeCuda> out = toHost(d, 4);
  EXPECT_EQ(out[0].mass, 5.0);
  EXPECT_EQ(out[1].mass, -3.0);
  EXPECT_EQ(out[2].mass, 3.0);
  EXPECT_EQ(out[2].rot_inertia[0], 2.0 * 9.0 + 0.5);
  EXPECT_EQ(out[2].rot_inertia[1], 0.0);
  EXPECT_EQ(out[2].rot_inertia[2], 2.0 * 9.0);
  EXPECT_EQ(out[3].mass, -2.0);
  EXPECT_EQ(out[3].rot_inertia[0], -0.5);
  CUDA_CHECK(cudaFree(d));
}

// A message that 103 elements would print is printed once when it first
// happens and summed up once at the end, from kernels and host code alike.
DEVICE_TEST(RepeatedMessage, PrintedOnceThenSummedUpWithTheCountAndFirstIds) {
  clearRepeatedMessages();
  testing::internal::CaptureStdout();
  launch(noteShellAreas, dim3(4), dim3(25), 100);
  CUDA_CHECK(cudaDeviceSynchronize());
  noteRepeated(REPEATED_QUAD_SHELL_AREA, 7);
  noteRepeated(REPEATED_TIED_TWICE, 3);
  const std::string during = testing::internal::GetCapturedStdout();
  EXPECT_EQ(during.find("四边形壳单元 "), during.rfind("四边形壳单元 ")) << during;
  EXPECT_NE(during.find("节点 3 被重复绑定\n"), std::string::npos) << during;
  testing::internal::CaptureStdout();
  printRepeatedMessages();
  const std::string summary = testing::internal::GetCapturedStdout();
  clearRepeatedMessages();
  EXPECT_EQ(summary.rfind("四边形壳单元 ... 面积求解错误: 101 times in this run, the first for ", 0), 0u) << summary;
  EXPECT_NE(summary.find(", ...\n"), std::string::npos) << summary;
  EXPECT_EQ(summary.find("被重复绑定"), std::string::npos) << summary;  // once only: no summary
}

}  // namespace
