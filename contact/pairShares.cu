// A contact pair's shares of force for its slave and master nodes, and the
// gather that adds them node by node in a fixed order.  Floating-point
// additions from several threads into one node would round differently from
// run to run; added by one thread per node in the order of the sorted keys
// (by pair, then slave before masters) they give the same bits on any number
// of threads, and the bits of a run on one thread.
#include <cmath>
#include "contact/contactnode.h"
#include "contact/contactpair.h"
#include "core/gridIndex.h"

namespace {

__host__ __device__ inline void addTo(double* target, double value, bool atomic) {
  if (atomic) {
    atomicAddAnywhere(target, value);
  } else {
    *target += value;
  }
}

__host__ __device__ inline unsigned nodeOfKey(unsigned long long key) { return static_cast<unsigned>(key >> 32); }

}  // namespace

__host__ __device__ void ContactPairCuda::shareOut(const double* slaveForce, int fields, bool withMasters) {
  share_node[0] = owner->node;
  share_weight[0] = 1.0;
  NodeCuda* masters[4];
  double weights[4];
  const int count = masterNodes(masters, weights);
  for (int k = 0; k < count; ++k) {
    share_node[k + 1] = masters[k];
    share_weight[k + 1] = weights[k];
  }
  share_count = count + 1;
  for (int j = 0; j < 3; ++j) share_force[j] = slaveForce[j];
  share_fields = fields;
  share_masters = withMasters ? 1 : 0;
  share_pass = open_pass;
  if (open_pass != 0) return;
  for (int slot = 0; slot < share_count; ++slot) addShare(slot, 0, true);
}

__host__ __device__ void ContactPairCuda::addShare(int slot, int pass, bool atomic) const {
  if (share_pass != pass || slot < 0 || slot >= share_count || (slot > 0 && share_masters == 0)) return;
  NodeCuda* node = share_node[slot];
  if (node == nullptr) return;
  const double w = share_weight[slot];
  if ((share_fields & SHARE_PAIR_COUNT) != 0) {
    const double count = slot == 0 ? 1.0 : fabs(w);
    addTo(&node->contact_pair_count, count, atomic);
    for (int j = 0; j < 3; ++j) addTo(&node->contact_pair_axes[j], count * fabs(normal[j]), atomic);
  }
  double* target = (share_fields & SHARE_FORCE) != 0           ? node->force
                   : (share_fields & SHARE_CONTACT_FORCE) != 0 ? node->contact_force
                                                               : nullptr;
  if (target == nullptr) return;
  for (int j = 0; j < 3; ++j) addTo(&target[j], slot == 0 ? share_force[j] : -w * share_force[j], atomic);
}

__global__ void GpuListShareKeys(ContactPairCuda** pairs, int n, int pass, unsigned long long* keys, int* count,
                                 NodeVisit visit) {
  for (int j = gridStrideIndex(); j < n; j += gridStrideStep()) {
    const int i = visitedNode(visit, j);
    if (!visitsNode(visit.flags, i, NODE_MAY_PAIR)) continue;
    const ContactPairCuda* p = pairs[i];
    if (p == nullptr || p->share_pass != pass) continue;
    for (int slot = 0; slot < p->share_count; ++slot) {
      if (p->share_node[slot] == nullptr) continue;
      const unsigned long long node = static_cast<unsigned>(p->share_node[slot]->id);
      keys[atomicAddAnywhere(count, 1)] = node << 32 | static_cast<unsigned>(i * kShareSlots + slot);
    }
  }
}

namespace {
// True for the first of the sorted keys of its node.
__host__ __device__ inline bool firstKeyOfNode(const unsigned long long* keys, int i) {
  return i == 0 || nodeOfKey(keys[i - 1]) != nodeOfKey(keys[i]);
}
}  // namespace

__global__ void GpuHandOnKeyedContactForce(const unsigned long long* keys, int count, ContactPairCuda** pairs) {
  for (int i = gridStrideIndex(); i < count; i += gridStrideStep()) {
    if (!firstKeyOfNode(keys, i)) continue;
    const unsigned entry = static_cast<unsigned>(keys[i]);
    NodeCuda* node = pairs[entry / kShareSlots]->share_node[entry % kShareSlots];
    if (node != nullptr) handOnContactForce(*node);
  }
}

__global__ void GpuGatherShares(const unsigned long long* keys, int count, ContactPairCuda** pairs, int pass) {
  for (int i = gridStrideIndex(); i < count; i += gridStrideStep()) {
    if (!firstKeyOfNode(keys, i)) continue;
    const unsigned node = nodeOfKey(keys[i]);
    for (int k = i; k < count && nodeOfKey(keys[k]) == node; ++k) {
      const unsigned entry = static_cast<unsigned>(keys[k]);
      pairs[entry / kShareSlots]->addShare(static_cast<int>(entry % kShareSlots), pass, false);
    }
  }
}
