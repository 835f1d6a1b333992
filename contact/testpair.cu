// Candidate lists of the contact nodes: slot bookkeeping, the clean-ups, and
// pair production with its segment, edge and corner judges.
#include "contact/testpair.h"
#include <cstdio>
#include "contact/contactGeom.h"
#include "contact/contactnode.h"
#include "contact/contactpair.h"
#include "contact/faceDepth.h"
#include "contact/listSlot.h"
#include "core/gridIndex.h"
#include "core/segment.h"
#include "platform/simdLane.h"

using namespace contact_geom;

// ---- slots -----------------------------------------------------------------

__host__ __device__ int TestPairCuda::reserveSlot(int* overflow) {
  return reserveListSlot(&count, kTestPairSlots, overflow);
}

__host__ __device__ void TestPairCuda::removeSlot(int j) {
  segment[j] = nullptr;
  side[j] = 0;
  atomicAddAnywhere(&count, -1);
}

__host__ __device__ void TestPairCuda::addCandidate(SegmentCuda* s, int* overflow) {
  // The search appends after the clean-up, which packs the candidates into
  // slots 0 .. count-1; appends keep them packed (a full list replaces slot
  // 0), so only those slots can hold s.
  const int listed = count < kTestPairSlots ? count : kTestPairSlots;
  for (int j = 0; j < listed; ++j) {
    if (segment[j] == s) return;
  }
  int slot = reserveSlot(overflow);
  if (slot < 0) slot = 0;
  segment[slot] = s;
  next_check_cycle[slot] = 0;
  side[slot] = 0;
  active_flag = 1;
}

__host__ __device__ void TestPairCuda::testExpand(const char* message) {
  if (count == 0 || contactNode == nullptr) {
    updateActiveFlag();
    return;
  }
  const ContactNodeCuda* owner = contactNode;
  const NodeCuda* node = owner->node;
  // A candidate stays while its box meets the node's path over the step.
  double lo[3] = {0.0, 0.0, 0.0}, hi[3] = {0.0, 0.0, 0.0};
  if (node != nullptr) owner->pathBox(lo, hi);
  int kept = 0;
  int effective = count;
  for (int s = 0; s < kTestPairSlots; ++s) {
    SegmentCuda* seg = segment[s];
    if (seg == nullptr) continue;
    bool remove = seg == owner->contact_pair.segment;
    for (int a = 0; a < 3 && !remove && node != nullptr; ++a) {
      remove = hi[a] < seg->box_min[a] || lo[a] > seg->box_max[a];
    }
    const int sideOfSlot = side[s];
    segment[s] = nullptr;
    side[s] = 0;
    if (remove) {
      --effective;
    } else {
      segment[kept] = seg;
      side[kept] = sideOfSlot;
      ++kept;
    }
  }
  if (kept != effective) printf(message, kept, effective, owner->node_id);
  count = kept;
  updateActiveFlag();
}

__host__ __device__ void TestPairCuda::cleanBeforeSearch() {
  testExpand("seg_num=%d,effective_num=%d,节点 %d 的测试对清理错误\n");
}

__host__ __device__ void TestPairCuda::cleanAfterProduction() {
  testExpand("seg_num=%d,effective_num=%d,节点 %d 的测试对清理错误，本提示位于接触计算前\n");
}

namespace {
// The count of a test pair a few places ahead, asked for before its turn
// (the test pairs lie in records far apart), when every node is visited.
__host__ __device__ inline void prefetchTestPairAhead(int i, int n, TestPairCuda* const* pairs,
                                                      const unsigned char* flags) {
  if (flags == nullptr && i + 4 < n && pairs[i + 4] != nullptr) lanePrefetch(&pairs[i + 4]->count);
}
// After a clean-up the flags of node i say what its record now holds: its
// candidates, its pair (unknown without an owner) and its starting depth as
// before.
__host__ __device__ inline void noteCleanedNode(const TestPairCuda& tp, int i, unsigned char* flags) {
  if (flags == nullptr) return;
  unsigned f = flags[i] & NODE_START_OVERLAP;
  if (tp.count != 0) f |= NODE_HAS_CANDIDATES;
  const ContactNodeCuda* cn = tp.contactNode;
  if (cn == nullptr || cn->in_contact != 0 || cn->contact_pair.kind != CONTACT_PAIR_EMPTY) f |= NODE_MAY_PAIR;
  flags[i] = static_cast<unsigned char>(f);
}
// One clean-up of the j-th node looked at, when it may have candidates or
// a pair.
__host__ __device__ inline void cleanVisited(int j, int n, TestPairCuda** pairs, NodeVisit visit,
                                             void (TestPairCuda::*clean)()) {
  if (j >= n) return;
  const int i = visitedNode(visit, j);
  if (!visitsNode(visit.flags, i, NODE_HAS_CANDIDATES | NODE_MAY_PAIR)) return;
  prefetchTestPairAhead(i, n, pairs, visit.flags);
  if (pairs[i] == nullptr) return;
  (pairs[i]->*clean)();
  noteCleanedNode(*pairs[i], i, visit.flags);
}
}  // namespace

__global__ void GpuClearTestPair(int n, TestPairCuda** pairs, NodeVisit visit) {
  cleanVisited(gridStrideIndex(), n, pairs, visit, &TestPairCuda::cleanBeforeSearch);
}

__global__ void GpuClearTestPair2(int n, TestPairCuda** pairs, NodeVisit visit) {
  cleanVisited(gridStrideIndex(), n, pairs, visit, &TestPairCuda::cleanAfterProduction);
}

// ---- judges ----------------------------------------------------------------

__host__ __device__ bool TestPairCuda::listedSide(const SegmentCuda* s, int limit, int* sideOut) const {
  if (limit > kTestPairSlots) limit = kTestPairSlots;
  bool found = false;
  for (int j = 0; j < limit; ++j) {
    if (segment[j] == s) {
      found = true;
      *sideOut = side[j];
    }
  }
  return found;
}

namespace {
// A node this little behind a solid's face (a share of the face's size)
// has entered it through the face, pressed on it or just let go: it came
// from the front.  Only from deeper behind (the far side of a thin solid)
// does it see the face from the back.
constexpr double kShallowShare = 1e-3;

// Distance of the node from the segment's plane (along its normal) before
// the last displacement step, as the judges measure it now.
__host__ __device__ double distanceBeforeStep(const SegmentCuda* s, const NodeCuda* node) {
  double d = 0.0;
  for (int k = 0; k < (s->node_num == 4 ? 2 : 1); ++k) {
    const NodeCuda* p = s->node[k];
    double v[3];
    for (int a = 0; a < 3; ++a) v[a] = (node->coord[a] - node->step_disp[a]) - (p->coord[a] - p->step_disp[a]);
    const double dk = dot3(s->normal, v);
    if (k == 0 || dk < d) d = dk;
  }
  return d;
}

// Side of the segment the node was on before the last displacement step:
// a node closer to the segment than one step's travel may already be
// through it when it is first judged, and the side it came from is the one
// it must be held on.  Before a solid's face, whose normal points out of the
// body, the node is in front unless it lay clearly behind it.  Before a
// shell, a node that was on its plane (within round-off) comes from the side
// its motion across the plane (relative to the shell) leaves; while it does
// not move across the plane its side is not known yet (0), whichever way
// the normal points, and its motion will tell.  A node that started inside
// the body by `held` is in front down to that depth too.
__host__ __device__ int sideBeforeStep(const SegmentCuda* s, const NodeCuda* node, double held) {
  const double* n = s->normal;
  const double d = distanceBeforeStep(s, node);
  if (s->one_sided != 0) return d >= -(kShallowShare * segmentSize(s) + held) ? 1 : -1;
  const double tolerance = onPlaneTolerance(s);
  if (fabs(d) > tolerance) return d < 0.0 ? -1 : 1;
  double across = 0.0;
  for (int a = 0; a < 3; ++a) {
    double mean = 0.0;
    for (int k = 0; k < s->node_num; ++k) mean += s->node[k]->step_disp[a];
    across += n[a] * (node->step_disp[a] - mean / s->node_num);
  }
  if (fabs(across) > tolerance) return across < 0.0 ? 1 : -1;
  return 0;
}

// A node behind a segment (on the side it was first met from) that
// lay behind it already before the last step by a hundredth of the face's
// size, far deeper than a node pressed on it or just under a neighbouring
// face lies, did not come through it: a pair is made before its node
// reaches a surface, so one that came through the face was paired with it
// then.  The face turned over it instead (a plate's node under a bar's rim,
// behind the plane of a side face that tilts as the rim flares out), and
// another face holds it.
// Before anything has moved (the run's first step) where the node lay
// before is not known.
constexpr double kBehindShare = 1e-2;
__host__ __device__ bool behindBeforeStep(const SegmentCuda* s, const NodeCuda* node, int sideOfSlot, double offset) {
  bool moved = false;
  for (int k = -1; k < s->node_num && !moved; ++k) {
    const double* d = (k < 0 ? node : s->node[k])->step_disp;
    moved = d[0] != 0.0 || d[1] != 0.0 || d[2] != 0.0;
  }
  return moved && sideOfSlot * distanceBeforeStep(s, node) - offset < -kBehindShare * segmentSize(s);
}

// Normals at less than 60 degrees face the same way.
constexpr double kSameFacing = 0.5;
// Side of segment s for a node held with the given contact normal: the side
// that normal faces, 0 when s stands nearly square to it.
__host__ __device__ int sideOfContactNormal(const SegmentCuda* s, const double* contactNormal) {
  const double c = dot3(s->normal, contactNormal);
  return c > kSameFacing ? 1 : (c < -kSameFacing ? -1 : 0);
}

// A vector quantity of the node less the mean of the segment's nodes (the
// node's motion relative to the segment's), field(p, a) giving component a
// of node p.
template <typename Field>
__host__ __device__ void relativeToSegment(const SegmentCuda* s, const NodeCuda* node, Field field, double* out) {
  for (int a = 0; a < 3; ++a) {
    double mean = 0.0;
    for (int k = 0; k < s->node_num; ++k) mean += field(s->node[k], a);
    out[a] = field(node, a) - mean / s->node_num;
  }
}

// Depth the node started at inside a body that counts against s.
__host__ __device__ double startDepthAgainst(const ContactNodeCuda* owner, const SegmentCuda* s) {
  return face_depth::startDepthAgainst(owner->start_face, owner->start_overlap, s);
}

// Speed at which the node moves into the segment from its side (relative
// to the segment's mean velocity, along the normal turned to that side);
// negative when it moves away.
__host__ __device__ double approachSpeed(const SegmentCuda* s, const NodeCuda* node, int sideOfSlot) {
  double v[3];
  relativeToSegment(
      s, node, [](const NodeCuda* p, int a) { return p->vel[a]; }, v);
  return -sideOfSlot * dot3(s->normal, v);
}

// How far the node came towards the front of the segment (its side) over
// the last step, relative to the segment's mean motion: at the same speed
// it comes as far over the coming step.
__host__ __device__ double approachOverStep(const SegmentCuda* s, const NodeCuda* node, int sideOfSlot) {
  double d[3];
  relativeToSegment(
      s, node, [](const NodeCuda* p, int a) { return p->step_disp[a]; }, d);
  return -sideOfSlot * dot3(s->normal, d);
}

// A node at rest on the plane that the forces on it now (before contact)
// drive into the segment, relative to the segment's nodes, mostly along the
// normal (a node at a block's edge that is driven into one face is not
// driven into the face square to it).
__host__ __device__ bool drivenInto(const SegmentCuda* s, const NodeCuda* node, int sideOfSlot) {
  double a[3];
  relativeToSegment(
      s, node, [](const NodeCuda* p, int c) { return p->mass > 0.0 ? p->force[c] / p->mass : 0.0; }, a);
  return -sideOfSlot * dot3(s->normal, a) > kSameFacing * norm3(a);
}

// The node moves towards the front of the segment (its side), or at rest is
// driven into it: a node that only touches the plane of a segment while it
// slides along it, like a corner node running down the side face of a
// block, is not in contact with that face.  How far it came across the
// plane over the last step tells, where that is more than round-off; a
// node at the rim of a block's face, pressed square to it onto another
// block's rim, creeps across the plane of the side face there by round-off
// only, and is moving into the face its forces drive it into.  Before
// anything has moved (the run's first step) its speed tells.
__host__ __device__ bool approaching(const SegmentCuda* s, const NodeCuda* node, int sideOfSlot) {
  double d[3];
  relativeToSegment(
      s, node, [](const NodeCuda* p, int a) { return p->step_disp[a]; }, d);
  const double step = -sideOfSlot * dot3(s->normal, d);
  if (fabs(step) > onPlaneTolerance(s)) return step > 0.0;
  const bool moved = d[0] != 0.0 || d[1] != 0.0 || d[2] != 0.0;
  const double speed = moved ? 0.0 : approachSpeed(s, node, sideOfSlot);
  return speed > 0.0 || (speed == 0.0 && drivenInto(s, node, sideOfSlot));
}

// A share of a segment's size within which a node lies over one of its
// nodes.
constexpr double kOverNodeShare = 1e-3;
// A rigid body's node that meets a deformable surface at one of that
// surface's nodes (on the line through it along the surface's normal there)
// meets it node on node, and that node, searched against the rigid body's
// faces in a contact that acts both ways, holds the two apart along the
// rigid faces' mean normal at this node.  A pair from this side as well
// would push the body along the deformable faces, which tilt as they dent,
// and a centred impact would drift and turn the body.
__host__ __device__ bool heldByMasterNode(const SegmentCuda* s, const NodeCuda* node) {
  if (node->rigid_flag == 0) return false;
  for (int k = 0; k < s->node_num; ++k) {
    const NodeCuda* p = s->node[k];
    if (p->rigid_flag != 0 || p->contact_node == nullptr) continue;
    double u[3], c[3], off[3];
    sub3(node->coord, p->coord, u);
    cornerNormal(s, k, c);
    cross3(u, c, off);
    if (norm3(off) <= kOverNodeShare * segmentSize(s)) return true;
  }
  return false;
}

// Cosines below -kOpposing: the face opposes the node's own normal (it
// presses on the node's body from outside); above -kGrazing: it stands
// square to that normal or turns with it, and the node only grazes it.
constexpr double kOpposing = 0.5;
constexpr double kGrazing = 0.1;

// A node in front of a solid's face (the caller knows it reaches the face's
// plane within the coming step), beyond an edge of the face by no more than
// a node held on the face may drift past it before it leaves
// (leftOverEdge), whose own normal the face opposes, meets the face: where
// a block stands on another rim on rim, each bulging sideways under the
// load, a rim node of the lower block lies a hair beyond the edge of the
// upper block's bottom face, and judged at that edge it would pass the rim
// edge over edge.  A node already behind the plane there is left to the
// edge judge, and a free edge is always judged as an edge.
__host__ __device__ bool heldAcrossRim(const SegmentCuda* s, const ContactNodeCuda* owner, int sideOfSlot) {
  if (s->one_sided == 0 || !(sideOfSlot * owner->facing(s->normal) < -kOpposing)) return false;
  const double* x = owner->node->coord;
  for (int k = 0; k < s->node_num; ++k) {
    if (outsideEdge(s, k, s->normal, x) && (isBoundaryEdge(s, k) || leftOverEdge(s, k, s->normal, x))) return false;
  }
  return true;
}

// The node lies beyond a free (boundary) edge of s: the only way round to
// the segment's other side.
__host__ __device__ bool beyondFreeEdge(const SegmentCuda* s, const double* x) {
  for (int k = 0; k < s->node_num; ++k) {
    if (isBoundaryEdge(s, k) && clearlyOutsideEdge(s, k, s->normal, x)) return true;
  }
  return false;
}
}  // namespace

__host__ __device__ void TestPairCuda::writeResult(TestJudgeReturn& r, int kind, int localIndex, int sideOfSlot,
                                                   SegmentCuda* s, double distance) const {
  if (s == contactNode->contact_pair.segment) return;  // the current contact segment gives no new pair
  r.kind = kind;
  r.local_index = localIndex;
  r.side = sideOfSlot;
  r.segment = s;
  r.distance = distance;
  r.approach = approachSpeed(s, contactNode->node, sideOfSlot);
  r.facing = sideOfSlot * contactNode->facing(s->normal);
}

__host__ __device__ void TestPairCuda::produceContactPairGpu(SegmentCuda* s, int /*cycle*/, int slot,
                                                             TestJudgeReturn& r, int cycle2) {
  if (s == nullptr || contactNode == nullptr || contactNode->node == nullptr) return;
  const NodeCuda* node = contactNode->node;
  const double* x = node->coord;
  const double* n = s->normal;
  const int N = s->node_num;
  double v[3];
  sub3(x, nodeCoord(s, 0), v);
  double d = dot3(n, v);
  if (N == 4) {
    sub3(x, nodeCoord(s, 1), v);
    if (dot3(n, v) < d) d = dot3(n, v);
  }
  side_now[slot] = d < 0.0 ? -1 : 1;
  // The side a node starts on is taken from its position only while it is
  // free: in contact it may lie behind every segment near its pair by the
  // penetration, and a side taken then would pull it back once the pair
  // lets go.  A candidate met while the node is held takes the side its
  // contact normal faces, when it faces clearly one way.
  if (contactNode->in_contact != 0) {
    if (side[slot] == 0) side[slot] = sideOfContactNormal(s, contactNode->contact_pair.normal);
    return;
  }
  if (side[slot] == 0) side[slot] = sideBeforeStep(s, node, startDepthAgainst(contactNode, s));
  if (side[slot] == 0) return;  // at rest on a shell's plane: judged once it moves
  // A face of a solid is touched from outside only: seen from behind, the
  // node is over another face of that body (or inside it), and that face
  // holds it.
  if (side[slot] < 0 && s->one_sided != 0) return;
  // A node inside a flat face of its own body, whose plane stands square to
  // a solid's face or that the face turns away from, meets that face only at
  // its edge while the solid slides along the plane (a block sliding over a
  // plate passes the plate's nodes under its front face; a bar's rim that
  // flares out over a plate passes them under its side faces, which turn up
  // as they flare): the solid's face that lies on the plane holds it, and
  // the solid's edge nodes are held by the plane's segments.
  if (s->one_sided != 0 && contactNode->flatFaceNotFacing(n)) return;
  // Gaps count from the depth the node started at (0 unless it started
  // inside the body).
  const double offset =
      0.5 * (0.25 * (s->node[0]->thickness + s->node[1]->thickness + s->node[2]->thickness + s->node[3]->thickness) +
             node->thickness) -
      startDepthAgainst(contactNode, s);
  const double gap = side[slot] * d - offset;
  if (gap > s->territory) {
    removeSlot(slot);
    return;
  }
  // A node that would reach the plane within the coming step at its speed
  // is taken now, so that its contact holds it on the surface instead of
  // pushing it back out once inside.  Touching the plane (within round-off)
  // counts only for a node that moves into the segment.
  if (gap > fmax(0.0, approachOverStep(s, node, side[slot])) ||
      (gap >= -onPlaneTolerance(s) && !approaching(s, node, side[slot])))
    return;
  if (heldByMasterNode(s, node) || (gap < 0.0 && behindBeforeStep(s, node, side[slot], offset))) return;
  const bool acrossRim = gap >= 0.0 && heldAcrossRim(s, contactNode, side[slot]);
  for (int k = 0; k < N; ++k) {
    sub3(x, nodeCoord(s, k), v);
    if (!acrossRim && outsideEdge(s, k, n, x)) {
      nodeToEdgeJudgeGpu(s, slot, r, k, cycle2, n);
      return;
    }
  }
  if (s == contactNode->contact_pair.segment) {
    removeSlot(slot);
    return;
  }
  const int sideOfSlot = side[slot];
  writeResult(r, NODE_TO_SEGMENT, 0, sideOfSlot, s, sideOfSlot * dot3(n, v) - offset);
  removeSlot(slot);
}

__host__ __device__ void TestPairCuda::nodeToEdgeJudgeGpu(SegmentCuda* s, int j, TestJudgeReturn& r, int edge,
                                                          int cycle2, const double* /*normal*/) {
  SegmentCuda* B = s->neighbour[edge];
  // Beyond a free edge the node meets the edge itself (rounded by the half
  // thicknesses): a node under a shell's free edge that drifts a hair past
  // its line is still held by it.
  const bool freeEdge = B == nullptr || B == s;
  if (freeEdge) B = nullptr;
  const NodeCuda* node = contactNode->node;
  const double* x = node->coord;
  const double* n = s->normal;
  const int N = s->node_num;
  const int edge2 = nextEdge(edge, N);
  const NodeCuda* a = s->node[edge];
  const NodeCuda* b = s->node[edge2];
  double e[3], v[3], t[3];
  sub3(b->coord, a->coord, e);
  sub3(x, a->coord, v);
  const double rho = distanceToLine(a->coord, b->coord, x);
  bool behindBoth = false;
  if (!freeEdge) {
    cross3(B->normal, e, t);
    if (dot3(v, t) < 0.0) return;  // the node lies over B: its own slot judges it
    int sigmaB = 0;
    if (!listedSide(B, count + 4, &sigmaB)) return;  // the segment across the edge is not a candidate
    behindBoth = side[j] * dot3(n, v) < 0.0 && sigmaB * dot3(B->normal, v) < 0.0;
  }
  const double g = (behindBoth ? -rho : rho) - 0.5 * (0.5 * (a->thickness + b->thickness) + node->thickness) +
                   startDepthAgainst(contactNode, s);
  if (g > 0.0) {
    next_check_cycle[j] = cycle2 + 1;
    return;
  }
  const double ev = dot3(e, v);
  const double ee = dot3(e, e);
  if (ev >= 0.0 && ev <= ee) {
    const int sideOfSlot = side[j];
    removeSlot(j);
    writeResult(r, NODE_TO_EDGE, edge, sideOfSlot, s, g);
  } else if (ev < 0.0) {
    cornerJudge(s, j, r, a, edge, B, 10, cycle2);
  } else if (ev > ee) {
    SegmentCuda* next = s->neighbour[edge2];
    cornerJudge(s, j, r, b, edge2, freeEdge && next == s ? nullptr : next, 9, cycle2);
  }
}

// Corner contact at node `corner` of s: the walk around the corner, from
// `start`, tells whether the node lies behind every segment there (closed).
__host__ __device__ void TestPairCuda::cornerJudge(SegmentCuda* s, int j, TestJudgeReturn& r, const NodeCuda* corner,
                                                   int cornerIndex, SegmentCuda* start, int stepLimit, int cycle2) {
  const NodeCuda* node = contactNode->node;
  double u[3];
  sub3(node->coord, corner->coord, u);
  const double dist = norm3(u);
  bool closed = start == s;
  if (!closed && start != nullptr) {
    SegmentCuda* prev = s;
    SegmentCuda* cur = start;
    for (int steps = 0; steps <= stepLimit; ++steps) {
      int sigma = 0;
      if (!listedSide(cur, count, &sigma)) return;  // a segment around the corner is no candidate: judged later
      if (sigma * dot3(cur->normal, u) > 0.0) break;
      int i = -1;
      for (int q = 0; q < 4 && i < 0; ++q) {
        if (cur->node[q] == corner) i = q;
      }
      if (i < 0) {
        printf("该接触块的相邻接触块查找错误\n");
        break;
      }
      const int ip = i == 0 ? cur->node_num - 1 : i - 1;
      SegmentCuda* P = cur->neighbour[i];
      SegmentCuda* Q = cur->neighbour[ip];
      SegmentCuda* next = nullptr;
      if (P == prev && Q != cur) {
        next = Q;
      } else if (Q == prev && P != cur) {
        next = P;
      } else {
        break;
      }
      if (next == s) {
        closed = true;
        break;
      }
      prev = cur;
      cur = next;
    }
  }
  const double g =
      (closed ? -dist : dist) - 0.5 * (corner->thickness + node->thickness) + startDepthAgainst(contactNode, s);
  if (g > 0.0) {
    next_check_cycle[j] = cycle2;
    return;
  }
  const int sideOfSlot = side[j];
  removeSlot(j);
  writeResult(r, NODE_TO_NODE, cornerIndex, sideOfSlot, s, g);
}

// ---- production ------------------------------------------------------------

namespace {
__host__ __device__ inline double absOf(double x) { return x < 0.0 ? -x : x; }
// Approach speeds that differ by less than this share count as equal.
constexpr double kApproachShare = 0.1;
// Entry b is the better result.  A result wins over none; one the node
// moves into wins over one it does not.  Of two it lies behind and moves
// into, it came in through the one whose plane it crossed last, the one it
// lies behind for the shorter time at its speed: a node that comes back
// onto a block's corner, moving in square to its side face as it rings and
// along its bottom face as the block strikes it, went in under the bottom
// face, which must hold it.  Of two it moves into otherwise, the one it
// moves into clearly faster: a node that meets a block at the edge of its
// top face, on the plane of a side face, is stopped by the top face it
// strikes, not by the side face it slides along.  Otherwise the nearer
// result wins, and on equal distances the smaller kind.  Before all of
// these, a face that opposes the node's own normal wins over one the node
// only grazes: at a block's rim, where the faces of the block above claim
// it, the bottom face that presses down on it holds it, not a side face
// that would hold it sideways only.
__host__ __device__ inline bool grazedBeside(const TestJudgeReturn& a, const TestJudgeReturn& b) {
  return a.facing > -kGrazing && b.facing < -kOpposing;
}
__host__ __device__ inline bool betterResult(const TestJudgeReturn& a, const TestJudgeReturn& b) {
  if ((a.segment == nullptr) != (b.segment == nullptr)) return a.segment == nullptr;
  if (a.segment != nullptr) {
    if (grazedBeside(a, b) || grazedBeside(b, a)) return grazedBeside(a, b);
    const bool intoA = a.approach > 0.0, intoB = b.approach > 0.0;
    if (intoA != intoB) return intoB;
    if (intoA && a.distance < 0.0 && b.distance < 0.0 && a.distance * b.approach != b.distance * a.approach)
      return a.distance * b.approach < b.distance * a.approach;
    if (intoA && (1.0 - kApproachShare) * b.approach > a.approach) return true;
    if (intoA && (1.0 - kApproachShare) * a.approach > b.approach) return false;
  }
  return absOf(a.distance) > absOf(b.distance) || (absOf(a.distance) == absOf(b.distance) && a.kind > b.kind);
}
}  // namespace

__host__ __device__ void TestPairCuda::adoptBestResult(const TestJudgeReturn* results, int* counter) {
  ContactNodeCuda* owner = contactNode;
  TestJudgeReturn best = results[0];
  for (int j = 1; j < kTestPairSlots; ++j) {
    if (betterResult(best, results[j])) best = results[j];
  }
  if (best.distance < 90.0 && best.segment != nullptr) {
    ContactPairCuda& p = owner->contact_pair;
    p.segment = best.segment;
    p.gap = best.distance;
    p.local_index = best.local_index;
    p.kind = best.kind;
    p.side = best.side;
    p.segment_id = best.segment->local_id;
    owner->in_contact = 1;
    if (counter != nullptr) atomicAddAnywhere(counter, 1);
  }
}

__host__ __device__ void TestPairCuda::followSide(int slot, double resultDistance) {
  // A node goes round to a segment's other side only past a free edge of
  // it; behind a segment anywhere else it has passed through (over the
  // segment, or over its neighbour across an edge), and it keeps the side it
  // came from.
  if (contactNode->in_contact == 0 && segment[slot] != nullptr && resultDistance > 90.0 &&
      side[slot] * side_now[slot] < 0 && beyondFreeEdge(segment[slot], contactNode->node->coord)) {
    side[slot] = side_now[slot];
  }
}

__host__ __device__ void TestPairCuda::produceContactPairCpu(int cycle, int cycle2, int* counter) {
  if (active_flag == 0 || contactNode == nullptr) return;
  TestJudgeReturn results[kTestPairSlots];
  for (int j = 0; j < kTestPairSlots; ++j) {
    results[j] = TestJudgeReturn{0, 0, 0, nullptr, kNoJudgeDistance, 0.0, 0.0};
    produceContactPairGpu(segment[j], cycle, j, results[j], cycle2);
  }
  if (contactNode->in_contact == 0) adoptBestResult(results, counter);
  for (int j = 0; j < kTestPairSlots; ++j) followSide(j, results[j].distance);
}

__global__ void gpuProduceContactPair(int cycle, int cycle2, int n, TestPairCuda** pairs, int* counter) {
  __shared__ TestJudgeReturn results[kTestPairSlots];
  __shared__ ContactNodeCuda* owners[kTestPairSlots];
  const int pairIndex = static_cast<int>(blockIdx.x);
  // A test pair without candidates (its flag was set when its list last
  // changed, before this kernel; no thread writes it here) has nothing to
  // judge: the whole block leaves before any barrier.
  if (pairIndex >= n || pairs[pairIndex] == nullptr || pairs[pairIndex]->active_flag == 0 ||
      pairs[pairIndex]->contactNode == nullptr) {
    return;
  }
  TestPairCuda* tp = pairs[pairIndex];
  ContactNodeCuda* owner = tp->contactNode;
  // Each lane judges its slot, lane 0 adopts the best result of the block,
  // then each lane follows its segment's side.
  struct Lane {
    double distance;
  };
  blockPhases<Lane>(3, [&](int phase, Lane& mine) {
    const int lane = static_cast<int>(threadIdx.x);
    if (phase == 0) {
      results[lane] = TestJudgeReturn{0, 0, 0, nullptr, kNoJudgeDistance, 0.0, 0.0};
      tp->produceContactPairGpu(tp->segment[lane], cycle, lane, results[lane], cycle2);
      owners[lane] = owner;
      mine.distance = results[lane].distance;
    } else if (phase == 1) {
      if (lane == 0 && owner->in_contact == 0) {
        for (int j = 1; j < kTestPairSlots; ++j) {
          if (owners[j] != owners[0]) printf("存在不同碰撞点距离之间的比较\n");
        }
        tp->adoptBestResult(results, counter);
      }
    } else {
      tp->followSide(lane, mine.distance);
    }
  });
}
