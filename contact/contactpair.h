// The one contact pair of a slave contact node: which master segment, edge
// or node it touches, with the normal, gap, weights and forces of that
// contact.
#pragma once
#include <type_traits>

struct ContactNodeCuda;
struct SegmentCuda;

// Pair kinds.
enum ContactPairKind { CONTACT_PAIR_EMPTY = 0, NODE_TO_SEGMENT = 1, NODE_TO_EDGE = 2, NODE_TO_NODE = 3 };

struct ContactPairCuda {
  int segment_id;          // local id of the current master segment (surface id while empty)
  ContactNodeCuda* owner;  // the contact node that embeds this pair
  SegmentCuda* segment;    // current master segment; null while the pair is empty
  int local_index;         // edge or node number within the segment
  int side;                // +1 / -1; 0 = not set
  double gap;              // signed normal gap (negative = penetration)
  int kind;                // ContactPairKind
  double normal[3];
  double carried_force;    // normal force of the previous cycle
  double normal_force;     // normal force of this cycle
  double friction_force[2];
  double mass_share[4];
  double weight[4];
  double stiffness;
};
static_assert(std::is_trivially_copyable_v<ContactPairCuda>);
