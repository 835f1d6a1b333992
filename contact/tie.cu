#include "contact/tie.h"
#include <cmath>
#include <cstdio>
#include <utility>
#include "contact/contactGeom.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "core/segment.h"

using namespace contact_geom;

__host__ __device__ bool SubTie::calInterpFun() {
  const SegmentCuda* s = segment;
  const int N = s->node_num;
  if (N != 3 && N != 4) {
    printf("主接触块节点数目错误\n");
    return false;
  }
  double c[3];
  rawNormal(s, c);
  const double cl = norm3(c);
  for (int j = 0; j < 3; ++j) c[j] = cl > 0.0 ? c[j] / cl : 0.0;
  // A_k: distance of the slave point from edge k times the edge's length.
  double A[4] = {0.0, 0.0, 0.0, 0.0};
  for (int k = 0; k < N; ++k) {
    const double* xk = s->node[k]->coord;
    const double* xn = s->node[nextEdge(k, N)]->coord;
    double edge[3], b[3], d[3];
    sub3(xn, xk, edge);
    cross3(edge, c, b);
    const double bl = norm3(b);
    sub3(slave_node->coord, xk, d);
    A[k] = bl > 0.0 ? fabs(dot3(d, b)) / bl * norm3(edge) : 0.0;
  }
  if (N == 3) {
    const double sum = A[0] + A[1] + A[2];
    weight[0] = A[1] / sum;
    weight[1] = A[2] / sum;
    weight[2] = A[0] / sum;
    weight[3] = 0.0;
  } else {
    const double P = (A[3] + A[1]) * (A[2] + A[0]);
    weight[0] = A[1] * A[2] / P;
    weight[1] = A[2] * A[3] / P;
    weight[2] = A[3] * A[0] / P;
    weight[3] = A[0] * A[1] / P;
  }
  return true;
}

__host__ __device__ void SubTie::modifySlaveVel() {
  const int N = segment->node_num;
  for (int j = 0; j < 3; ++j) {
    double v = 0.0;
    for (int k = 0; k < N; ++k) v += weight[k] * segment->node[k]->vel[j];
    slave_node->vel[j] = v;
  }
}

__host__ __device__ void SubTie::transferMassGpu() {
  const int N = segment->node_num;
  const double m = slave_node->mass;
  for (int k = 0; k < N; ++k) atomicAddAnywhere(&segment->node[k]->mass, weight[k] * m);
  slave_node->mass = -m;
}

__host__ __device__ void SubTie::masterMassShares(double* shares) {
  const int N = segment->node_num;
  const double m = slave_node->mass;
  for (int k = 0; k < 4; ++k) shares[k] = k < N ? weight[k] * m : 0.0;
  slave_node->mass = -m;
}

__host__ __device__ void SubTie::addForToMasterGpu() {
  const int N = segment->node_num;
  for (int k = 0; k < N; ++k) {
    for (int j = 0; j < 3; ++j) atomicAddAnywhere(&segment->node[k]->force[j], weight[k] * slave_node->force[j]);
  }
  for (int j = 0; j < 3; ++j) slave_node->force[j] = 0.0;
}

__host__ __device__ void SubTie::masterForceShares(double* shares) {
  const int N = segment->node_num;
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < 3; ++j) shares[3 * k + j] = k < N ? weight[k] * slave_node->force[j] : 0.0;
  }
  for (int j = 0; j < 3; ++j) slave_node->force[j] = 0.0;
}

__host__ __device__ void SubTie::linkNodePtr(NodeCuda* nodes) { slave_node = nodes + node_index; }
__host__ __device__ void SubTie::linkSegmentPtr(SegmentCuda* segments) { segment = segments + segment_index; }

__global__ void subTieGpuLinkNodeSeg(SubTie* subTies, int n, NodeCuda* nodes, SegmentCuda* segments) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    subTies[i].linkNodePtr(nodes);
    subTies[i].linkSegmentPtr(segments);
  }
}

__global__ void GpuVerAllSubTieInter(SubTie* subTies, int n) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    const double* w = subTies[i].weight;
    if (notANumber(w[0] + w[1] + w[2] + w[3])) {
      printf("第 %d 子对插值函数计算错误,插值函数为 %lf, %lf, %lf, %lf\n", i + 1, w[0], w[1], w[2], w[3]);
    }
  }
}

__global__ void GpuTieModifySlaveVel(SubTie* subTies, int n) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) subTies[i].modifySlaveVel();
}

__global__ void GpuTransferSlaveMassToMasterSegment(SubTie* subTies, int n) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) subTies[i].transferMassGpu();
}

__global__ void GpuSubTieMasterMassShares(int n, SubTie* subTies, double* shares) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) subTies[i].masterMassShares(shares + 4 * i);
}

__global__ void GpuSubTieMasterForceShares(int n, SubTie* subTies, double* shares) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) subTies[i].masterForceShares(shares + 12 * i);
}

__global__ void GpuSubTieAddMasterFor(int n, SubTie* subTies) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) subTies[i].addForToMasterGpu();
}
