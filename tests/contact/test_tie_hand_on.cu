// Tied slave nodes hand their force and mass to their master segment's
// nodes from many threads at once: every share must arrive.
#include "tests/deviceTest.h"
#include <omp.h>

#include <vector>

#include "contact/tie.h"
#include "core/node.h"
#include "core/segment.h"
#include "platform/gpuRuntime.h"

namespace {

// 4096 slave nodes tied to the same segment, for 200 cycles: the tie
// threads of four host threads hand their forces and masses to the same
// four master nodes at once, and every share arrives (a plain addition
// loses some).
DEVICE_TEST(TieHandOn, ManySlavesOnOneSegmentHandEveryShareToItsNodes) {
  const int n = 4096, cycles = 200;
  std::vector<NodeCuda> nodes(n + 4, NodeCuda{});
  NodeCuda* dNodes = nullptr;
  SegmentCuda* dSegment = nullptr;
  SubTie* dTies = nullptr;
  ASSERT_EQ(cudaMalloc(&dNodes, sizeof(NodeCuda) * (n + 4)), cudaSuccess);
  ASSERT_EQ(cudaMalloc(&dSegment, sizeof(SegmentCuda)), cudaSuccess);
  ASSERT_EQ(cudaMalloc(&dTies, sizeof(SubTie) * n), cudaSuccess);
  SegmentCuda segment{};
  segment.node_num = 4;
  for (int k = 0; k < 4; ++k) segment.node[k] = dNodes + k;
  std::vector<SubTie> ties(n);
  for (int i = 0; i < n; ++i) {
    ties[i].segment = dSegment;
    ties[i].slave_node = dNodes + 4 + i;
    for (double& w : ties[i].weight) w = 0.25;
  }
  ASSERT_EQ(cudaMemcpy(dNodes, nodes.data(), sizeof(NodeCuda) * (n + 4), cudaMemcpyHostToDevice), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(dSegment, &segment, sizeof(SegmentCuda), cudaMemcpyHostToDevice), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(dTies, ties.data(), sizeof(SubTie) * n, cudaMemcpyHostToDevice), cudaSuccess);
  for (int i = 4; i < n + 4; ++i) {
    nodes[i].force[0] = 4.0;
    nodes[i].mass = 2.0;
  }
  const int threads = omp_get_max_threads();
  omp_set_num_threads(4);
  for (int c = 0; c < cycles; ++c) {
    ASSERT_EQ(cudaMemcpy(dNodes + 4, nodes.data() + 4, sizeof(NodeCuda) * n, cudaMemcpyHostToDevice), cudaSuccess);
    launch(GpuSubTieAddMasterFor, dim3(n / 32), dim3(32), n, dTies);
    launch(GpuTransferSlaveMassToMasterSegment, dim3(n / 32), dim3(32), dTies, n);
  }
  omp_set_num_threads(threads);
  ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(nodes.data(), dNodes, sizeof(NodeCuda) * (n + 4), cudaMemcpyDeviceToHost), cudaSuccess);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(nodes[k].force[0], 1.0 * n * cycles) << "master node " << k;
    EXPECT_EQ(nodes[k].mass, 0.5 * n * cycles) << "master node " << k;
  }
  EXPECT_EQ(nodes[4].force[0], 0.0);
  EXPECT_EQ(nodes[4].mass, -2.0);
  cudaFree(dTies);
  cudaFree(dSegment);
  cudaFree(dNodes);
}

}  // namespace
