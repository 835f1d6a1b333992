// Decoupled defence-node contact force of an active pair: the normal force
// increment that makes the slave node and the contact point on the master
// entity leave the step with the same normal velocity, its distribution into
// the contact-force accumulators, and the release of a separating pair.
#include <cstdio>
#include "contact/contactGeom.h"
#include "contact/contactnode.h"
#include "contact/contactpair.h"
#include "contact/nodeMotion.h"
#include "core/gridIndex.h"

using namespace contact_geom;

namespace {

constexpr double kTouchRatio = 1e-6;

// How one side of a pair's contact point moves along the normal n: its
// velocity, its acceleration under the forces acting now, and its
// compliance (the acceleration that a unit force along n at the point gives
// it, through the weights of its nodes).
struct SideMotion {
  double vel = 0.0;
  double accel = 0.0;
  double compliance = 0.0;
};

// The rigid bodies met on one side: the sum of their nodes' weights in the
// contact point and the weighted sum of those nodes' arms about the body's
// centre.
struct SideBodies {
  int count = 0;
  int body[kShareSlots];
  double weight[kShareSlots];
  double arm[kShareSlots][3];
};

// A node (or body) that takes part in several pairs this cycle - a master
// node under several slave nodes, or a node that is slave of one pair and
// master of another, as in the mirrored pairs of a contact that acts both
// ways - lends each of them the part of its mass that the pair's weight on
// it takes of its count: the pairs, each computed alone, then give it
// together the motion they give it at once, instead of each the whole of it
// (which would throw it past the others, and the slave nodes off it again,
// cycle after cycle).  Alone in one pair it lends its whole mass.
__host__ __device__ inline double lentShare(double w, double count) { return count > 0.0 ? fmin(1.0, w / count) : 1.0; }

// The count of a node's pairs as a pair along n sees them: a pair pushing the
// node at right angles to n (a corner node of one block that has slid past
// the edge of the other's face onto its side face, while the mirrored pair
// still holds the corner along n) takes no part in its motion along n and
// leaves it its mass.  Each pair counts by the sizes of its normal's
// components against those of n, never less than the cosine between the
// two normals, so that the pairs still never push the node further
// together than each alone would.
__host__ __device__ inline double countAlong(const NodeCuda* node, const double* n) {
  return fabs(n[0]) * node->contact_pair_axes[0] + fabs(n[1]) * node->contact_pair_axes[1] +
         fabs(n[2]) * node->contact_pair_axes[2];
}

// A node that moves by its own mass.  Its held translations keep their
// prescribed motion whatever the force: only the free part of n moves it.  A
// node without mass keeps its place.  A rigid-body node whose body the
// table does not know answers with its own mass and no acceleration.  Along
// the surface (inSurface) every pair on the node pulls it the same way,
// whatever its normal: each is lent the share its weight takes of them all.
__host__ __device__ void addOwnNode(SideMotion& s, const NodeCuda* node, double w, const double* n, int heldAxes,
                                    bool withContactForce, bool inSurface) {
  const double M = node->equivalent_mass;
  if (!(M > 0.0)) return;
  double nf[3];
  for (int j = 0; j < 3; ++j) nf[j] = (heldAxes >> j & 1) != 0 ? 0.0 : n[j];
  if (node->rigid_flag == 0) s.accel += w * dot3(nf, node->force) / M;
  if (node->rigid_flag == 0 && withContactForce) s.accel += w * dot3(nf, node->contact_force) / M;
  const double count = inSurface ? node->contact_pair_count : countAlong(node, n);
  s.compliance += w * w * dot3(nf, nf) / (M * lentShare(fabs(w), count));
}

__host__ __device__ void addBodyNode(SideBodies& b, int body, const ContactBodyState& state, const NodeCuda* node,
                                     double w) {
  int i = 0;
  while (i < b.count && b.body[i] != body) ++i;
  if (i == b.count) {
    b.body[i] = body;
    b.weight[i] = 0.0;
    b.arm[i][0] = b.arm[i][1] = b.arm[i][2] = 0.0;
    ++b.count;
  }
  b.weight[i] += w;
  for (int j = 0; j < 3; ++j) b.arm[i][j] += w * (node->coord[j] - state.centre[j]);
}

// The bodies of a side move the contact point with the body's translation
// and rotation: a unit force along n through weight W and arm r turns the
// body by I^-1 (r x n) besides moving it by W n / M.
__host__ __device__ void addBodies(SideMotion& s, const SideBodies& b, const NodeMotionTable& table, const double* n) {
  for (int i = 0; i < b.count; ++i) {
    const ContactBodyState& body = table.bodies[b.body[i]];
    const double W = b.weight[i];
    double rn[3], turn[3];
    cross3(b.arm[i], n, rn);
    s.accel += W * dot3(n, body.accel) + dot3(body.accel + 3, rn);
    if (!(body.mass > 0.0)) continue;
    for (int j = 0; j < 3; ++j) turn[j] = dot3(body.inv_inertia + 3 * j, rn);
    double free = 0.0;
    for (int j = 0; j < 3; ++j) free += body.free_axes[j] * n[j] * n[j];
    const double c = W * W * free / body.mass + fmax(0.0, dot3(rn, turn));
    s.compliance += c / lentShare(fabs(W), body.pair_count);
  }
}

// withContactForce: the accelerations take in the contact forces the pairs
// have handed the nodes in this cycle's force step; a side that meets a
// rigid body then counts as unknown (its body's motion does not yet take
// them in): `metBody` tells whether it met one.
__host__ __device__ SideMotion sideMotion(NodeCuda* const* nodes, const double* weights, int count, const double* n,
                                          const NodeMotionTable* table, bool withContactForce = false,
                                          bool* metBody = nullptr, bool inSurface = false) {
  SideMotion s;
  SideBodies bodies;
  for (int k = 0; k < count; ++k) {
    const NodeCuda* node = nodes[k];
    s.vel += weights[k] * dot3(n, node->vel);
    const NodeHold h = nodeHoldOf(table, node->store_id);
    if (h.body >= 0) {
      addBodyNode(bodies, h.body, table->bodies[h.body], node, weights[k]);
    } else {
      addOwnNode(s, node, weights[k], n, h.held_axes, withContactForce, inSurface);
    }
  }
  if (metBody != nullptr) *metBody = bodies.count > 0;
  if (bodies.count > 0) addBodies(s, bodies, *table, n);
  return s;
}

// A pair's force step along its normal: the step, the compliance of slave
// and contact point, their opening speed, and their opening acceleration
// under the forces acting now (the pair's own carried force among them, with
// its last shift taken back).  x is the pair's force of the step (the
// carried force and what it adds to it), `shift` the shift's force on top.
// `others` is what the pairs that share its nodes, each computed alone, add
// to the opening speed: how far the last step missed what the pair expected
// of its own force.
struct PairStep {
  double dt, compliance, opening, openingAccel, carried, takenBack, others;
  // Opening speed after the step by the pair's own force.
  __host__ __device__ double expected(double x, double shift) const {
    return opening + dt * (openingAccel + compliance * (x - carried + shift));
  }
  __host__ __device__ double after(double x, double shift) const { return expected(x, shift) + others; }
  // Work of the pair's force on its nodes over the step, at the mean of the
  // opening speeds before and after it.
  __host__ __device__ double work(double x, double shift) const {
    return 0.5 * (x - takenBack + shift) * dt * (opening + after(x, shift));
  }
};

// A contact only keeps bodies apart: a pair's force may give back no more
// energy than it has taken out of its nodes' motion, and a pair gives back
// at most half of that (its work is known a step late, and its neighbours'
// pushes only from the last step: the other half covers what it cannot
// foresee).  Where pairs share nodes, each computed alone, they may push a
// slave node and its contact point apart together (the mirrored pairs of a
// contact that acts both ways, at a corner where the faces meet at a slight
// angle, each shifting its node out of a face the other holds); a pair
// whose force would then give back more pushes only as hard as it can pay
// for.
__host__ __device__ double workBudget(double work) { return -0.5 * work; }

// The largest force up to x whose work this step the pair can pay for (the
// force doing the least work when none can be).
__host__ __device__ double passiveForce(const PairStep& p, double x, double work) {
  const double budget = workBudget(work);
  if (!(x > 0.0) || p.work(x, 0.0) <= budget) return x;
  // work(y) - budget = 0.5 dt (a y^2 + b y + c), convex in y.
  const double k = p.dt * p.compliance;
  const double q = p.opening + p.after(0.0, 0.0);
  const double a = k, b = q - k * p.takenBack, c = -p.takenBack * q - 2.0 * budget / p.dt;
  const double vertex = -b / (2.0 * a);
  if (vertex >= x) return x;
  const double disc = b * b - 4.0 * a * c;
  if (!(disc >= 0.0)) return fmax(0.0, vertex);
  return fmax(0.0, (-b + sqrt(disc)) / (2.0 * a));
}

// The part of a shift of the given length the pair can pay for, after its
// force x: shifting the node out while the pair carries a load (its force
// less the part that stops the nodes' closing motion in the step) does the
// work of that load over the shift's length.
__host__ __device__ double affordableShift(const PairStep& p, double x, double work, double shift) {
  const double budget = workBudget(work) - p.work(x, 0.0);
  if (!(budget > 0.0)) return 0.0;
  const double stop = fmax(0.0, p.expected(x, 0.0) - p.opening) / (p.dt * p.compliance);
  const double load = x - stop;
  return load > 0.0 ? fmin(shift, budget / load) : shift;
}

// Normal gap between the slave node and the contact point on the master
// entity (the point whose motion the weights give), less half the
// thicknesses of both.  The pair's own gap is measured from the corners of
// the segment, which a deformed segment holds apart from the point.
__host__ __device__ double pointGap(const NodeCuda* slave, NodeCuda* const* masters, const double* weights, int count,
                                    const double* n) {
  double point[3] = {0.0, 0.0, 0.0}, thickness = 0.0, weightSum = 0.0;
  for (int k = 0; k < count; ++k) {
    for (int j = 0; j < 3; ++j) point[j] += weights[k] * masters[k]->coord[j];
    thickness += weights[k] * masters[k]->thickness;
    weightSum += weights[k];
  }
  double d[3];
  sub3(slave->coord, point, d);
  const double t = weightSum != 0.0 ? thickness / weightSum : 0.0;
  return dot3(n, d) - 0.5 * (t + slave->thickness);
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
                                                                    int masterSkip, const NodeMotionTable* motion) {
  if (kind == CONTACT_PAIR_EMPTY || segment == nullptr || owner == nullptr || owner->node == nullptr) return;
  if (side == 0) {
    printf("接触对的位置标示计算错误\n");
    side = 1;
  }
  NodeCuda* slave = owner->node;
  const double* n = normal;

  // Motion along the normal of the slave node and of the contact point on
  // the master entity.  The force of the pair reaches the master nodes by
  // the weights that give the contact point's motion, so the work the pair
  // does on its nodes is its force times the closing speed of slave and
  // point, never more.  Held translations and rigid bodies answer as they
  // will move: a held master takes no part of the correction, a rigid one
  // answers with its body's mass, inertia and acceleration.  Without master
  // force (master-skip) the point does not answer either.
  NodeCuda* masters[4];
  double weights[4];
  const int masterCount = masterNodes(masters, weights);
  NodeCuda* slaves[1] = {slave};
  const double slaveWeight[1] = {1.0};
  bool slaveBody = false;
  const SideMotion s = sideMotion(slaves, slaveWeight, 1, n, motion, false, &slaveBody);
  SideMotion m = sideMotion(masters, weights, masterCount, n, motion);
  if (masterSkip != 0) m.compliance = 0.0;

  // Past a free edge or corner the pair's gap is the distance from it.  A
  // node found inside at set-up counts from the depth it is held at, as the
  // pair's gap does.
  double boundaryDistance = 0.0;
  const bool beyondBoundary = beyondFreeBoundary(&boundaryDistance);
  const double closing =
      beyondBoundary ? gap : pointGap(slave, masters, weights, masterCount, n) + owner->start_overlap;
  // A pair is made before its node reaches the surface.  A node already
  // inside when its pair is made (it came in within the run's first step,
  // began within a shell's half thickness, ...) is held at that depth and
  // given up as it comes out: shifted back at once, it would rebound faster
  // than it came, and its body would take the shift as strain.
  held_overlap = fmin(0.0, force_steps == 0 ? closing : fmax(held_overlap, closing));
  if (force_steps < 2) ++force_steps;
  // A node clear of the surface may close the gap within the step without
  // force; within a millionth of the segment's size it counts as touching
  // (else a resting node would leave and strike the surface again at every
  // rounding).
  const double beyond = closing - held_overlap;
  const double clearance = fmax(0.0, beyond - kTouchRatio * segmentSize(segment));

  // The contact force: the increment over the carried force that gives
  // slave and contact point the same normal velocity after the step (or
  // lets a node clear of the surface come just up to it).  The pair never
  // pulls.  A pair that neither side can move, or without a time step, gets
  // none.
  const double compliance = s.compliance + m.compliance;
  const bool moves = compliance > 0.0 && dt > 0.0;
  // The opening speed of slave and contact point completes the work of the
  // last step's force and tells how far that step missed what the pair
  // expected of it.
  const double opening = s.vel - (masterSkip != 0 ? 0.0 : m.vel);
  const bool followsStep = force_steps > 1;
  if (followsStep) work += 0.5 * last_force * dt * (last_opening + opening);
  const PairStep step{dt,
                      compliance,
                      opening,
                      s.accel - m.accel,
                      carried_force,
                      shift_force,
                      followsStep ? opening - last_expected : 0.0};
  double delta = 0.0;
  if (moves) delta = ((m.vel - s.vel) / dt + m.accel - s.accel - clearance / (dt * dt)) / compliance;
  double total = delta + carried_force;
  if (moves) total = passiveForce(step, total, work);
  if (total < 1e-10) total = -1e-20;
  // Past a free edge or corner the pair lets go as soon as the node is
  // clear of it: the carried force is cancelled and no new force is made.
  const bool clearOfFreeBoundary = gap > 0.0 && beyondBoundary;
  if (clearOfFreeBoundary) total = 0.0;
  normal_force = total > 0.0 ? total : 0.0;
  // A penetrating node is moved back to the surface within the step by a
  // push that the next cycle takes back (the penetration step), so that it
  // leaves the node no speed of its own: a shift, not a blow.  What the pair
  // cannot pay for it holds.  A rigid body's node is held, not shifted: its
  // shift would move the whole body against the pairs of its other nodes,
  // and the push taken back the next cycle would ring it up.
  double shift = moves && beyond < 0.0 && !clearOfFreeBoundary && !slaveBody ? -beyond : 0.0;
  if (shift > 0.0) shift = affordableShift(step, normal_force, work, shift);
  shift_force = shift > 0.0 ? shift / (dt * dt * compliance) : 0.0;
  // The increment that makes the node's force the pair's force (never a
  // pull) plus its shift.
  delta = normal_force - carried_force + shift_force;
  last_force = carried_force - step.takenBack + delta;
  last_opening = opening;
  last_expected = step.expected(total, shift_force);
  owner->in_contact = 1;

  shareNormalForce(*this, delta, masterSkip == 0);
  if ((gap > 0.0 && total <= 0.0 && shift_force == 0.0) || clearOfFreeBoundary) release(cycle, activePairCounter);
}

// Only a pair that pushes (a force or a shift) makes up a shortfall; a pair
// holding a node at the depth it started at is left to give it up as the
// node comes out, and a side that meets a rigid body is left to the body.  A
// shortfall that would leave the node less than a millionth of the
// segment's size short over the step counts as none.
__host__ __device__ bool ContactPairCuda::noteMissedOpening(double dt, int masterSkip, const NodeMotionTable* motion) {
  missed_opening = 0.0;
  if (kind == CONTACT_PAIR_EMPTY || segment == nullptr || owner == nullptr || owner->node == nullptr) return false;
  if (!(shift_force > 0.0 || normal_force > 0.0) || masterSkip != 0 || !(dt > 0.0)) return false;
  if (held_overlap < 0.0 || owner->start_overlap != 0.0) return false;
  NodeCuda* masters[4];
  double weights[4];
  const int masterCount = masterNodes(masters, weights);
  NodeCuda* slaves[1] = {owner->node};
  const double slaveWeight[1] = {1.0};
  bool slaveBody = false, masterBody = false;
  const SideMotion s = sideMotion(slaves, slaveWeight, 1, normal, motion, true, &slaveBody);
  const SideMotion m = sideMotion(masters, weights, masterCount, normal, motion, true, &masterBody);
  if (slaveBody || masterBody) return false;
  const double miss = last_expected - (s.vel - m.vel + dt * (s.accel - m.accel));
  if (!(miss * dt > kTouchRatio * segmentSize(segment))) return false;
  missed_opening = miss;
  return true;
}

// The nodes of a pair that makes up a shortfall count, for the sweep, only
// such pairs.
__host__ __device__ void ContactPairCuda::clearCountsOfMissed() const {
  if (!(missed_opening > 0.0)) return;
  NodeCuda* nodes[kShareSlots];
  double weights[4];
  nodes[0] = owner->node;
  const int count = masterNodes(nodes + 1, weights) + 1;
  for (int k = 0; k < count; ++k) {
    nodes[k]->contact_pair_count = 0.0;
    for (int j = 0; j < 3; ++j) nodes[k]->contact_pair_axes[j] = 0.0;
  }
}

__host__ __device__ void ContactPairCuda::countMissed() {
  if (!(missed_opening > 0.0)) return;
  const double none[3] = {0.0, 0.0, 0.0};
  shareOut(none, SHARE_PAIR_COUNT, true);
}

__host__ __device__ void ContactPairCuda::addMissedPush(double dt, const NodeMotionTable* motion) {
  if (!(missed_opening > 0.0)) return;
  NodeCuda* masters[4];
  double weights[4];
  const int masterCount = masterNodes(masters, weights);
  NodeCuda* slaves[1] = {owner->node};
  const double slaveWeight[1] = {1.0};
  const double compliance = sideMotion(slaves, slaveWeight, 1, normal, motion).compliance +
                            sideMotion(masters, weights, masterCount, normal, motion).compliance;
  if (!(compliance > 0.0)) return;
  double push = missed_opening / (dt * compliance);
  // Paid for as the pair's own force: the work the step's force already does
  // and the push's own, at the mean of the opening speeds before and after.
  const double mean = 0.5 * dt * (last_opening + last_expected);
  if (mean > 0.0) {
    const double budget = workBudget(work) - last_force * mean;
    push = budget > 0.0 ? fmin(push, budget / mean) : 0.0;
  }
  if (!(push > 0.0)) return;
  shift_force += push;
  last_force += push;
  shareNormalForce(*this, push, true);
}

__host__ __device__ void ContactPairCuda::stickForce(double dt, const double* t1, const double* t2,
                                                     const NodeMotionTable* motion, double* f) const {
  f[0] = f[1] = 0.0;
  if (kind == CONTACT_PAIR_EMPTY || segment == nullptr || owner == nullptr || owner->node == nullptr) return;
  if (!(dt > 0.0)) return;
  NodeCuda* masters[4];
  double weights[4];
  const int masterCount = masterNodes(masters, weights);
  NodeCuda* slaves[1] = {owner->node};
  const double slaveWeight[1] = {1.0};
  const double* directions[2] = {t1, t2};
  for (int i = 0; i < 2; ++i) {
    const SideMotion s = sideMotion(slaves, slaveWeight, 1, directions[i], motion, false, nullptr, true);
    const SideMotion m = sideMotion(masters, weights, masterCount, directions[i], motion, false, nullptr, true);
    const double compliance = s.compliance + m.compliance;
    // The forces on the nodes already hold the normal contact force of
    // the step: the slip of the contact point over the slave node the step
    // would end with, which the force on the master side takes away.
    const double slip = m.vel - s.vel + dt * (m.accel - s.accel);
    if (compliance > 0.0) f[i] = -slip / (dt * compliance);
  }
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
  shift_force = 0.0;
  held_overlap = 0.0;
  force_steps = 0;
  work = 0.0;
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

__global__ void GpuNoteMissedOpening(ContactPairCuda** pairs, double dt, int n, int masterSkip, NodeMotionTable motion,
                                     ContactPairCuda** missed, int* missedCount, NodeVisit visit) {
  for (int j = gridStrideIndex(); j < n; j += gridStrideStep()) {
    const int i = visitedNode(visit, j);
    if (!visitsNode(visit.flags, i, NODE_MAY_PAIR)) continue;
    ContactPairCuda* p = pairs[i];
    if (p != nullptr && p->noteMissedOpening(dt, masterSkip, &motion) && missed != nullptr) {
      missed[atomicAddAnywhere(missedCount, 1)] = p;
    }
  }
}

__global__ void GpuClearCountsOfMissed(ContactPairCuda** pairs, int n) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    if (pairs[i] != nullptr) pairs[i]->clearCountsOfMissed();
  }
}

__global__ void GpuCountMissed(ContactPairCuda** pairs, int n, int pass) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    if (pairs[i] == nullptr) continue;
    pairs[i]->openShares(pass);
    pairs[i]->countMissed();
  }
}

__global__ void GpuAddMissedPush(ContactPairCuda** pairs, double dt, int n, int pass, NodeMotionTable motion) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    if (pairs[i] == nullptr) continue;
    pairs[i]->openShares(pass);
    pairs[i]->addMissedPush(dt, &motion);
  }
}

__global__ void gpuContactForceCalDecouple(ContactPairCuda** pairs, double dt, int cycle, int n, int* activePairCounter,
                                           int masterSkip, int pass, NodeMotionTable motion, NodeVisit visit) {
  for (int j = gridStrideIndex(); j < n; j += gridStrideStep()) {
    const int i = visitedNode(visit, j);
    if (!visitsNode(visit.flags, i, NODE_MAY_PAIR)) continue;
    ContactPairCuda* p = pairs[i];
    if (p == nullptr) continue;
    p->openShares(pass);
    p->defenceNodeCalGpuDecouple(dt, cycle, activePairCounter, masterSkip, &motion);
    p->storeFcn();
  }
}
