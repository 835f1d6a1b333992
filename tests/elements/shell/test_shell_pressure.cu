// Uniform pressure on shells in a kernel: many elements add into one shared
// node at once, so the additions must be atomic.
#include "tests/deviceTest.h"
#include <omp.h>

#include <cmath>
#include <vector>

#include "core/logErrorPrint.h"
#include "elements/shell/shellElementCuda.h"

namespace {

__global__ void PressOnShells(int n, ShellElementCuda* elements, double p) {
  const int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n) elements[i].applyUniformNormLoadToNode(p);
}

// 4096 unit squares stacked on the same four nodes in the plane z = 0: every
// node takes p A / 4 from each along +z; with several threads adding at once
// a plain addition would lose some of them.
DEVICE_TEST(ShellPressure, KernelAddsEveryElementsShareIntoSharedNodes) {
  std::vector<NodeCuda> nodes(4, NodeCuda{});
  const double xy[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int k = 0; k < 4; ++k) {
    nodes[k].coord[0] = xy[k][0];
    nodes[k].coord[1] = xy[k][1];
  }
  NodeCuda* dNodes = nullptr;
  ASSERT_EQ(cudaMalloc(&dNodes, sizeof(NodeCuda) * 4), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(dNodes, nodes.data(), sizeof(NodeCuda) * 4, cudaMemcpyHostToDevice), cudaSuccess);
  const int n = 4096;
  std::vector<ShellElementCuda> shells(n);
  for (ShellElementCuda& e : shells) {
    e.type = ET_BT_SHELL;
    for (int k = 0; k < 4; ++k) e.node_id[k] = k + 1;
    e.bulidNodeMatch(dNodes);
  }
  ShellElementCuda* dShells = nullptr;
  ASSERT_EQ(cudaMalloc(&dShells, sizeof(ShellElementCuda) * n), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(dShells, shells.data(), sizeof(ShellElementCuda) * n, cudaMemcpyHostToDevice), cudaSuccess);
  const int threads = omp_get_max_threads();
  omp_set_num_threads(4);
  launch(PressOnShells, dim3(n / 32), dim3(32), n, dShells, 2.0);
  omp_set_num_threads(threads);
  ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(nodes.data(), dNodes, sizeof(NodeCuda) * 4, cudaMemcpyDeviceToHost), cudaSuccess);
  for (const NodeCuda& nd : nodes) {
    EXPECT_DOUBLE_EQ(nd.force[2], n * 2.0 / 4.0);
    EXPECT_EQ(nd.force[0], 0.0);
  }
  cudaFree(dShells);
  cudaFree(dNodes);
}

}  // namespace
