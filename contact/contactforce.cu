// Decoupled defence-node contact force of an active pair: the normal force
// increment that makes the slave node and the contact point on the master
// entity leave the step with the same normal velocity, its distribution into
// the contact-force accumulators, and the release of a separating pair.
#include <cstdio>
#include "contact/contactgeom.h"
#include "contact/contactnode.h"
#include "contact/contactpair.h"
#include "core/gridIndex.h"

using namespace contact_geom;

namespace {

// Normal acceleration of a node: 0 for a rigid-body node and for a node
// without mass.
__host__ __device__ inline double normalAccel(const NodeCuda* node, const double* n) {
  if (node->rigid_flag != 0 || !(node->equivalent_mass > 0.0)) return 0.0;
  return dot3(n, node->force) / node->equivalent_mass;
}
// The same, but counting the rigid flag only through the caller.
__host__ __device__ inline double normalAccelAny(const NodeCuda* node, const double* n) {
  if (!(node->equivalent_mass > 0.0)) return 0.0;
  return dot3(n, node->force) / node->equivalent_mass;
}

// Hands value along the pair's normal to the slave node's contact-force
// accumulator and minus it to the master nodes'.
__host__ __device__ inline void shareNormalForce(ContactPairCuda& p, double value, bool withMasters) {
  double f[3];
  for (int j = 0; j < 3; ++j) f[j] = value * p.normal[j];
  p.shareOut(f, SHARE_CONTACT_FORCE, withMasters);
}

}  // namespace

__host__ __device__ void ContactPairCuda::defenceNodeCalGpuDecouple(double dt, int cycle, int* activePairCounter,
                                                                    int masterSkip) {
  if (kind == CONTACT_PAIR_EMPTY || segment == nullptr || owner == nullptr || owner->node == nullptr) return;
  if (side == 0) {
    printf("接触对的位置标示计算错误\n");
    side = 1;
  }
  const SegmentCuda* seg = segment;
  NodeCuda* slave = owner->node;
  const int N = seg->node_num;
  const double* n = normal;

  // Normal velocity and acceleration of the contact point.
  double vm = 0.0, am = 0.0;
  if (kind == NODE_TO_SEGMENT) {
    bool allRigid = true;
    for (int k = 0; k < N; ++k) vm += weight[k] * dot3(n, seg->node[k]->vel);
    for (int k = 0; k < 4; ++k) {
      am += weight[k] == 0.0 ? 0.0 : weight[k] * normalAccelAny(seg->node[k], n);
      allRigid = allRigid && seg->node[k]->rigid_flag != 0;
    }
    if (allRigid) am = 0.0;
  } else if (kind == NODE_TO_EDGE) {
    const NodeCuda* a = seg->node[local_index];
    const NodeCuda* b = seg->node[nextEdge(local_index, N)];
    vm = weight[0] * dot3(n, a->vel) + weight[1] * dot3(n, b->vel);
    am = weight[0] * normalAccelAny(a, n) + weight[1] * normalAccelAny(b, n);
    if (a->rigid_flag != 0 && b->rigid_flag != 0) am = 0.0;
  } else {
    const NodeCuda* a = seg->node[local_index];
    vm = dot3(n, a->vel);
    am = normalAccel(a, n);
  }
  const double vs = dot3(n, slave->vel);
  const double as = normalAccel(slave, n);
  // Masses of the slave node and of the contact point.  The force of the
  // pair reaches the master nodes by the weights that give the contact
  // point's motion, so the work the pair does on its nodes is its force
  // times the closing speed of slave and point, never more: the point then
  // moves as a mass 1 / sum(w_k^2 / M_k) would.  A node that takes part in
  // several pairs this cycle (a master node under several slave nodes, or a
  // node that is slave of one pair and master of another, as in the mirrored
  // pairs of a contact that acts both ways) lends each of them the part of
  // its mass that the pair's weight on it takes of its count: the pairs,
  // each computed alone, then give it together the motion they give it at
  // once, instead of each the whole of it (which would throw it past the
  // others, and the slave nodes off it again, cycle after cycle).  A node in
  // one pair keeps its whole mass.
  NodeCuda* masters[4];
  double weights[4];
  const int masterCount = masterNodes(masters, weights);
  double compliance = 0.0;
  for (int k = 0; k < masterCount; ++k) {
    const double w = fabs(weights[k]);
    const double lent = masters[k]->equivalent_mass * fmin(1.0, w / masters[k]->contact_pair_count);
    if (lent > 0.0) compliance += w * w / lent;
  }
  const double m = compliance > 0.0 ? 1.0 / compliance : 0.0;
  const double Ms = slave->equivalent_mass * fmin(1.0, 1.0 / slave->contact_pair_count);

  // A pair without mass on either side, or without a time step, gets no
  // increment (no division by zero).
  double delta = 0.0;
  if (Ms > 0.0 && m > 0.0 && dt > 0.0) delta = (Ms * m / (Ms + m)) * ((vm / dt + am) - (vs / dt + as));
  double total = delta + carried_force;
  if (total < 1e-10) {
    delta = -1e-20 - carried_force;
    total = -1e-20;
  }
  // Past a free edge or corner the pair lets go as soon as the node is
  // clear of it: the carried force is cancelled and no new force is made.
  double boundaryDistance = 0.0;
  const bool clearOfFreeBoundary = gap > 0.0 && beyondFreeBoundary(&boundaryDistance);
  if (clearOfFreeBoundary) {
    delta = -carried_force;
    total = 0.0;
  }
  normal_force = total > 0.0 ? total : 0.0;
  owner->in_contact = 1;

  shareNormalForce(*this, delta, masterSkip == 0);
  if ((gap > 0.0 && total <= 0.0) || clearOfFreeBoundary) release(cycle, activePairCounter);
}

__host__ __device__ void ContactPairCuda::release(int cycle, int* activePairCounter) {
  TestPairCuda& tp = owner->test_pair;
  if (tp.count >= kTestPairSlots) tp.count = kTestPairSlots - 1;
  const int slot = tp.reserveSlot(nullptr);
  if (slot >= 0) {
    tp.segment[slot] = segment;
    tp.side[slot] = side;
    tp.next_check_cycle[slot] = kind == NODE_TO_SEGMENT ? cycle : 0;
    tp.active_flag = 1;
  }
  segment = nullptr;
  carried_force = 0.0;
  normal_force = 0.0;
  friction_force[0] = friction_force[1] = 0.0;
  gap = 0.0;
  kind = CONTACT_PAIR_EMPTY;
  owner->in_contact = 0;
  if (activePairCounter != nullptr) atomicAddAnywhere(activePairCounter, -1);
  tp.updatePositionAfterContactBreak(cycle);
}

__host__ __device__ void ContactPairCuda::storeFcnToNodeDfn() {
  if (kind == CONTACT_PAIR_EMPTY || segment == nullptr || owner == nullptr || owner->node == nullptr) return;
  shareNormalForce(*this, carried_force, true);
}

__global__ void gpuContactForceCalDecouple(ContactPairCuda** pairs, double dt, int cycle, int n,
                                           int* activePairCounter, int masterSkip, int pass) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    ContactPairCuda* p = pairs[i];
    if (p == nullptr) continue;
    p->openShares(pass);
    p->defenceNodeCalGpuDecouple(dt, cycle, activePairCounter, masterSkip);
    p->storeFcn();
  }
}
