// What moves a node that a contact pair pushes, besides its own mass: the
// translations a support, a prescribed motion or a weld to a held node hold,
// and the rigid body it moves with.  The contact force step reads these
// records to know how the contact point on either side answers a force.
#pragma once
#include <type_traits>
#include "platform/gpuRuntime.h"

// Translations a node is held in (bits): it keeps its prescribed motion
// whatever force acts on it.
enum HeldAxis { HELD_X = 1, HELD_Y = 2, HELD_Z = 4 };

// One node's entry, by its store position.
struct NodeHold {
  int held_axes;  // HeldAxis bits
  int body;       // index of the rigid body it moves with in the body list, or -1
};
static_assert(std::is_trivially_copyable_v<NodeHold>);

// A rigid body as its contact points see it in the cycle under way.
struct ContactBodyState {
  double centre[3];
  double mass;            // 0 for a body without mass (then held)
  double free_axes[3];    // 1 for a translation the body is free in, 0 for a held one
  double inv_inertia[9];  // inverse inertia about the centre, row by row; rows of held rotations 0
  double accel[6];        // translational and angular acceleration under the forces on its nodes now
  double pair_count;      // contact pairs on its nodes this cycle (each pair's weights there)
};
static_assert(std::is_trivially_copyable_v<ContactBodyState>);

// The records a contact kernel gets by value: per node (null when no node of
// the model is held or rigid) and per rigid body.
struct NodeMotionTable {
  const NodeHold* nodes;
  int node_count;
  const ContactBodyState* bodies;
  int body_count;
};
static_assert(std::is_trivially_copyable_v<NodeMotionTable>);

// The entry of the node at a store position (free, no body, without a table).
__host__ __device__ inline NodeHold nodeHoldOf(const NodeMotionTable* table, int storeId) {
  if (table == nullptr || table->nodes == nullptr || storeId < 0 || storeId >= table->node_count)
    return NodeHold{0, -1};
  NodeHold h = table->nodes[storeId];
  if (h.body >= table->body_count) h.body = -1;
  return h;
}
