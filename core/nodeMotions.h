// The motion of every node as the displacement update leaves it, by store
// position, in the compact forms the element passes read: for the solids
// its coordinates, last step and velocity, for the shells its coordinates
// and its six velocities (72 bytes a node each), for the total-Lagrangian
// solids its displacement and last step (48 bytes).  The element pass that
// follows the update reads them there instead of three or four lines of
// each corner's 1.5 KB node record (coordinates at its head, velocity and
// step a kilobyte on), so that the nodes of the elements a thread computes
// stay in its caches.
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

// The same for a node that turns: its coordinates, then its velocity and
// angular velocity (NodeCuda::vel) in one run.
struct TurningNodeMotion {
  double coord[3];
  double vel[6];
};
static_assert(std::is_trivially_copyable_v<TurningNodeMotion>);
static_assert(sizeof(TurningNodeMotion) == 72);

// The same for a total-Lagrangian solid: the node's displacement since
// the start and its last step.
struct NodeDisplacement {
  double total[3];
  double step[3];
};
static_assert(std::is_trivially_copyable_v<NodeDisplacement>);
static_assert(sizeof(NodeDisplacement) == 48);

__host__ __device__ inline void writeNodeMotion(NodeMotion* motions, int i, const NodeCuda& node) {
  if (motions == nullptr) return;
  NodeMotion& m = motions[i];
  for (int a = 0; a < 3; ++a) {
    m.coord[a] = node.coord[a];
    m.step[a] = node.step_disp[a];
    m.vel[a] = node.vel[a];
  }
}

__host__ __device__ inline void writeNodeMotion(TurningNodeMotion* motions, int i, const NodeCuda& node) {
  if (motions == nullptr) return;
  TurningNodeMotion& m = motions[i];
  for (int a = 0; a < 3; ++a) m.coord[a] = node.coord[a];
  for (int a = 0; a < 6; ++a) m.vel[a] = node.vel[a];
}

__host__ __device__ inline void writeNodeMotion(NodeDisplacement* motions, int i, const NodeCuda& node) {
  if (motions == nullptr) return;
  NodeDisplacement& m = motions[i];
  for (int a = 0; a < 3; ++a) {
    m.total[a] = node.total_disp[a];
    m.step[a] = node.step_disp[a];
  }
}

// Where the displacement update writes each form (null: not kept).
struct NodeMotionTarget {
  NodeMotion* motions = nullptr;
  TurningNodeMotion* turning = nullptr;
  NodeDisplacement* displacements = nullptr;
};
static_assert(std::is_trivially_copyable_v<NodeMotionTarget>);

__host__ __device__ inline void writeNodeMotions(const NodeMotionTarget& t, int i, const NodeCuda& node) {
  writeNodeMotion(t.motions, i, node);
  writeNodeMotion(t.turning, i, node);
  writeNodeMotion(t.displacements, i, node);
}

// What an element pass reads: the motions of the nodes [nodes, nodes +
// count) in each form kept, or none (null forms).
struct NodeMotionView {
  const NodeMotion* motions = nullptr;
  const NodeCuda* nodes = nullptr;
  int count = 0;
  const TurningNodeMotion* turning = nullptr;
  const NodeDisplacement* displacements = nullptr;
};
static_assert(std::is_trivially_copyable_v<NodeMotionView>);

// The motion of a node of the source in the form `form` points to, or null
// for a form not kept or a node outside its nodes.
template <typename Motion>
__host__ __device__ inline const Motion* motionIn(const NodeMotionView& s, const Motion* form, const NodeCuda* node) {
  if (form == nullptr || node < s.nodes || node >= s.nodes + s.count) return nullptr;
  return form + (node - s.nodes);
}
__host__ __device__ inline const NodeMotion* motionOf(const NodeMotionView& s, const NodeCuda* node) {
  return motionIn(s, s.motions, node);
}
__host__ __device__ inline const TurningNodeMotion* turningMotionOf(const NodeMotionView& s, const NodeCuda* node) {
  return motionIn(s, s.turning, node);
}
__host__ __device__ inline const NodeDisplacement* displacementOf(const NodeMotionView& s, const NodeCuda* node) {
  return motionIn(s, s.displacements, node);
}

// The device copies of the motions.  Each form is kept only once an element
// pass asks for it (a model without such elements pays nothing); written by
// the displacement update; handed to the one element pass that follows it:
// any other pass may change the records after that.
class NodeMotions {
 public:
  // An element pass will read the solids' form from the next update on.
  void want() { wanted_ = true; }
  // The same for the form of nodes that turn and for the displacements.
  void wantTurning() { wantedTurning_ = true; }
  void wantDisplacements() { wantedDisplacements_ = true; }
  // Where the update of count nodes writes the forms wanted (null for the
  // others).
  NodeMotionTarget target(int count) {
    if (!anyWanted() || count <= 0) return NodeMotionTarget{};
    if (count != size_) {
      motions_ = DeviceBuffer<NodeMotion>();
      turning_ = DeviceBuffer<TurningNodeMotion>();
      displacements_ = DeviceBuffer<NodeDisplacement>();
      size_ = count;
    }
    keep(wanted_, motions_);
    keep(wantedTurning_, turning_);
    keep(wantedDisplacements_, displacements_);
    return NodeMotionTarget{motions_.get(), turning_.get(), displacements_.get()};
  }
  // The update wrote the motions of count nodes from nodes[0 .. count - 1].
  void written(const NodeCuda* nodes, int count) {
    current_ = anyWanted() && count == size_ && count > 0;
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
    return current ? NodeMotionView{motions_.get(), nodes_, size_, turning_.get(), displacements_.get()}
                   : NodeMotionView{};
  }

 private:
  bool anyWanted() const { return wanted_ || wantedTurning_ || wantedDisplacements_; }
  // A wanted form's array of size_ records, made at its first update.
  template <typename Form>
  void keep(bool wanted, DeviceBuffer<Form>& form) {
    if (wanted && form.get() == nullptr) form = DeviceBuffer<Form>(static_cast<std::size_t>(size_));
  }

  DeviceBuffer<NodeMotion> motions_;
  DeviceBuffer<TurningNodeMotion> turning_;
  DeviceBuffer<NodeDisplacement> displacements_;
  int size_ = 0;
  const NodeCuda* nodes_ = nullptr;
  bool wanted_ = false;
  bool wantedTurning_ = false;
  bool wantedDisplacements_ = false;
  bool current_ = false;
};
