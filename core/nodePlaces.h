// The places of chosen nodes, written by the passes that move them: a node's
// coordinates now and before its last displacement step, by store position,
// with a byte that says whether they changed in that pass.  A pass over the
// positions of many nodes every cycle (contact's refresh of its surfaces)
// then reads 48 bytes and a byte a node instead of two or more lines of the
// 1.4 KB node record, and need not compare them with its own copy.
#pragma once
#include <cstring>
#include <type_traits>
#include <vector>
#include "core/node.h"

// A node's coordinates now and before its last displacement step.
struct NodePlace {
  double now[3];
  double before[3];
};
static_assert(std::is_trivially_copyable_v<NodePlace>);

// Bits of a place's byte.
constexpr unsigned char kPlaceMoved = 1;       // differs in some bit from the place before
constexpr unsigned char kPlaceNotANumber = 2;  // a coordinate is not a number

// The place of a node as it stands: the same values as a reader of its
// record computes.
__host__ __device__ inline void takeNodePlace(const NodeCuda& node, NodePlace& p) {
  for (int a = 0; a < 3; ++a) {
    p.now[a] = node.coord[a];
    p.before[a] = p.now[a] - node.step_disp[a];
  }
}

__host__ __device__ inline bool sameBits(double a, double b) {
  unsigned long long x, y;
  memcpy(&x, &a, sizeof x);
  memcpy(&y, &b, sizeof y);
  return x == y;
}

// Keeps place `now` in `kept` and returns its byte: moved when some bit
// differs from what `kept` held, or whenever `all`.
__host__ __device__ inline unsigned char notePlace(const NodePlace& now, NodePlace& kept, int all) {
  bool same = all == 0, number = true;
  for (int a = 0; a < 3; ++a) {
    same = same && sameBits(now.now[a], kept.now[a]) && sameBits(now.before[a], kept.before[a]);
    number = number && now.now[a] == now.now[a] && now.before[a] == now.before[a];
  }
  if (!same) kept = now;
  return static_cast<unsigned char>((same ? 0 : kPlaceMoved) | (number ? 0 : kPlaceNotANumber));
}

// What a node pass writes: the place and the byte of node i when keep[i] is
// not 0 (null keep: none kept); every place counts as moved when `all`.
struct NodePlaceTarget {
  const unsigned char* keep;
  NodePlace* places;
  unsigned char* bits;
  int all;
};
static_assert(std::is_trivially_copyable_v<NodePlaceTarget>);

// Node i's place and byte into the target when it is kept there.
__host__ __device__ inline void writeNodePlace(const NodePlaceTarget& t, int i, const NodeCuda& node) {
  if (t.keep == nullptr || t.keep[i] == 0) return;
  NodePlace now;
  takeNodePlace(node, now);
  t.bits[i] = notePlace(now, t.places[i], t.all);
}

// The device copy of the kept nodes' places. Every pass that changes a
// node's coordinates or its last step writes them and says so; anything
// else that may change the records (an upload) says so too, and the places
// are unknown until the next pass, whose bytes then all say moved.
class NodePlaces {
 public:
  NodePlaces() = default;
  NodePlaces(const NodePlaces&) = delete;
  NodePlaces& operator=(const NodePlaces&) = delete;
  ~NodePlaces();

  // Keeps the places of the nodes at these store positions (of nodeCount
  // nodes) from the next pass that writes them on; positions outside the
  // nodes are passed over.
  void keep(const std::vector<int>& positions, int nodeCount);
  // Where a pass over nodeCount nodes writes them (null keep when none is
  // kept, or when the places were kept for another node count).
  NodePlaceTarget target(int nodeCount) const {
    if (!fits(nodeCount)) return NodePlaceTarget{nullptr, nullptr, nullptr, 0};
    return NodePlaceTarget{keep_gpu_, places_gpu_, bits_gpu_, all_next_ ? 1 : 0};
  }
  // A pass over nodeCount nodes wrote the place and byte of every kept node
  // from its record as it now stands.
  void written(int nodeCount) {
    ++passes_;
    current_ = fits(nodeCount);
    all_next_ = !current_;
  }
  // The records may have changed without their places.
  void changed() {
    current_ = false;
    all_next_ = true;
  }
  // The places and their bytes of the last pass, indexed by store
  // position, when they hold the kept nodes' records (of nodeCount nodes)
  // as they stand; null otherwise.
  const NodePlace* current(int nodeCount) const { return current_ && fits(nodeCount) ? places_gpu_ : nullptr; }
  const unsigned char* bits(int nodeCount) const { return current_ && fits(nodeCount) ? bits_gpu_ : nullptr; }
  // Passes that wrote the places so far.
  long long passes() const { return passes_; }

 private:
  bool fits(int nodeCount) const {
    return places_gpu_ != nullptr && nodeCount >= 0 && keep_.size() == static_cast<std::size_t>(nodeCount);
  }
  std::vector<unsigned char> keep_;
  unsigned char* keep_gpu_ = nullptr;
  NodePlace* places_gpu_ = nullptr;
  unsigned char* bits_gpu_ = nullptr;
  long long passes_ = 0;
  bool current_ = false;
  bool all_next_ = true;
};
