// The motion of every node as the displacement update leaves it: its
// coordinates, its last step and its velocity, by store position, 72 bytes
// a node.  The element pass that follows the update reads them there
// instead of three or four lines of each corner's 1.5 KB node record
// (coordinates at its head, velocity and step a kilobyte on), so that the
// nodes of the elements a thread computes stay in its caches.
#pragma once
#include <type_traits>

#include "core/deviceFree.h"
#include "core/node.h"

struct NodeMotion {
  double coord[3];
  double step[3];  // the node's last displacement step (NodeCuda::step_disp)
  double vel[3];
};
static_assert(std::is_trivially_copyable_v<NodeMotion>);
static_assert(sizeof(NodeMotion) == 72);

__host__ __device__ inline void writeNodeMotion(NodeMotion* motions, int i, const NodeCuda& node) {
  if (motions == nullptr) return;
  NodeMotion& m = motions[i];
  for (int a = 0; a < 3; ++a) {
    m.coord[a] = node.coord[a];
    m.step[a] = node.step_disp[a];
    m.vel[a] = node.vel[a];
  }
}

// What an element pass reads: the motions of the nodes [nodes, nodes +
// count), or none (null motions).
struct NodeMotionView {
  const NodeMotion* motions;
  const NodeCuda* nodes;
  int count;
};
static_assert(std::is_trivially_copyable_v<NodeMotionView>);

// The motion of a node of the source, or null for one outside its nodes.
__host__ __device__ inline const NodeMotion* motionOf(const NodeMotionView& s, const NodeCuda* node) {
  if (s.motions == nullptr || node < s.nodes || node >= s.nodes + s.count) return nullptr;
  return s.motions + (node - s.nodes);
}

// The device copy of the motions.  Kept only once an element pass asks for
// them (a model without such elements pays nothing); written by the
// displacement update; handed to the one element pass that follows it:
// any other pass may change the records after that.
class NodeMotions {
 public:
  // An element pass will read the motions from the next update on.
  void want() { wanted_ = true; }
  // Where the update of count nodes writes them (null when not wanted).
  NodeMotion* target(int count) {
    if (!wanted_ || count <= 0) return nullptr;
    if (count != size_) {
      motions_ = DeviceBuffer<NodeMotion>(static_cast<std::size_t>(count));
      size_ = count;
    }
    return motions_.get();
  }
  // The update wrote the motions of count nodes from nodes[0 .. count - 1].
  void written(const NodeCuda* nodes, int count) {
    current_ = wanted_ && count == size_ && count > 0;
    nodes_ = nodes;
  }
  // The records may have changed without their motions.
  void changed() { current_ = false; }
  // The motions of the last update for the element pass that follows it,
  // when nothing has changed the records since (none otherwise); a pass
  // after it reads the records.
  NodeMotionView take() {
    const bool current = current_;
    current_ = false;
    return current ? NodeMotionView{motions_.get(), nodes_, size_} : NodeMotionView{nullptr, nullptr, 0};
  }

 private:
  DeviceBuffer<NodeMotion> motions_;
  int size_ = 0;
  const NodeCuda* nodes_ = nullptr;
  bool wanted_ = false;
  bool current_ = false;
};
