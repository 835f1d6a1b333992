// The one contact pair of a slave contact node: which master segment, edge
// or node it touches, with the normal, gap, weights and forces of that
// contact.  Its methods are the per-cycle steps of an active pair: the
// search after contact, the penetration with the carried force, and the
// decoupled contact force with release.
#pragma once
#include <type_traits>
#include "contact/contactNodeFlags.h"
#include "platform/gpuRuntime.h"

struct ContactNodeCuda;
struct NodeCuda;
struct NodeMotionTable;
struct SegmentCuda;

// Pair kinds.
enum ContactPairKind { CONTACT_PAIR_EMPTY = 0, NODE_TO_SEGMENT = 1, NODE_TO_EDGE = 2, NODE_TO_NODE = 3 };

// Moves a sliding node pair may make around its node in one contact step.
constexpr int kNodeWalkMaxMoves = 32;

// Sweeps after the force step that make up the pushes pairs still miss.
constexpr int kMissedPushSweeps = 4;

// Nodes a pair hands force to: its slave node and up to four master nodes.
constexpr int kShareSlots = 5;
// Node fields a pair's shares go to (bits).
enum ShareField { SHARE_FORCE = 1, SHARE_CONTACT_FORCE = 2, SHARE_PAIR_COUNT = 4 };

// Unit normal of s at its node k: the mean of the normals of the segments
// round the node that are reached from s over smooth edges (s's own where
// none is).
__host__ __device__ void cornerNormal(const SegmentCuda* s, int k, double* out);

struct ContactPairCuda {
  int segment_id;          // local id of the current master segment
  ContactNodeCuda* owner;  // the contact node that embeds this pair
  SegmentCuda* segment;    // current master segment; null while the pair is empty
  int local_index;         // edge or node number within the segment
  int side;                // +1 / -1; 0 = not set
  double gap;              // signed normal gap (negative = penetration)
  int kind;                // ContactPairKind
  double normal[3];
  double carried_force;  // normal force of the previous cycle
  double normal_force;   // normal force of this cycle
  double friction_force[2];
  double mass_share[4];  // kept in the record; forces reach the master nodes by the weights
  double weight[4];
  double stiffness;
  int surface_id;  // id of the surface the node was taken from (0: a node set)
  // Push of this cycle that moves a penetrating node back to the surface;
  // the next penetration step takes it back.
  double shift_force;
  // Overlap (<= 0) the pair holds rather than removes: how far its node was
  // already inside the master when the pair was made; it shrinks as the
  // node comes out.
  double held_overlap;
  int force_steps;  // force steps since the pair was made, counted to 2 (0: new)
  // Work the pair's forces have done on its nodes since it was made: the
  // normal force times the opening of slave and contact point over each step
  // (at the mean of the speeds before and after the step), and the friction
  // force times their sliding.  With it the normal force and opening speed of
  // the last force step, whose work the next one completes, and the opening
  // speed that step expected of its own force.
  double work;
  double last_force;
  double last_opening;
  double last_expected;
  // Opening speed the step still misses after every pair's force (0: none).
  double missed_opening;

  // What the pair hands its nodes in the step under way.  Targets: slot 0
  // the slave node (weight 1), then the master nodes with their weights in
  // the contact point.  share_force is the force on the slave node; master
  // k takes -weight_k times it (the masters only when share_masters is
  // set).  A step opened with pass 0 adds the shares at once; a numbered
  // pass leaves them, stamped with it, for the pair manager's gather, which
  // adds every node's shares in a fixed order (several threads adding into
  // one node would make the sum's rounding depend on their timing).
  NodeCuda* share_node[kShareSlots];
  double share_weight[kShareSlots];
  double share_force[3];
  int share_count;
  int share_fields;  // ShareField bits
  int share_masters;
  int share_pass;  // pass that wrote the shares
  int open_pass;   // pass of the step under way (0: add at once)
  // For the run record: the gap of this cycle measured from the real faces
  // round the master segment (the face it is measured from: face_segment,
  // its number over all surfaces), with gap's thickness offset.
  double face_gap;
  int face_segment;

  // Penetration: normal, gap and weights of this cycle, and the
  // carried force applied to the slave and master nodes.  A non-zero
  // master-skip flag leaves the master nodes without force.
  __host__ __device__ void penetraCalDefenGpu(int masterSkip, int* unused);
  // Decoupled defence-node force: the increment that gives slave and contact
  // point the same normal velocity after the step and closes a penetration
  // in it, into the contact-force accumulators; release of a separating pair
  // back to the candidates.  The table tells which nodes are held or move
  // with a rigid body (null: every node moves by its own mass).
  __host__ __device__ void defenceNodeCalGpuDecouple(double dt, int cycle, int* activePairCounter, int masterSkip,
                                                     const NodeMotionTable* motion);
  // Pairs that share nodes, each computed alone, count on one another's
  // pushes: where a pair lets go of a node (or pushes it less) that another
  // still has to hold, that one's step falls short.  After every pair's
  // force step, in sweeps: each pair that pushes notes how far the opening
  // speed after the step, under every pair's force, falls short of what it
  // asked for; the nodes of those pairs count only them, so that each lends
  // them the mass the others have left it; each adds the push that makes up
  // its shortfall (a shift, taken back next cycle), within what it can pay
  // for.  noteMissedOpening tells whether the pair falls short.
  __host__ __device__ bool noteMissedOpening(double dt, int masterSkip, const NodeMotionTable* motion);
  __host__ __device__ void clearCountsOfMissed() const;
  __host__ __device__ void countMissed();
  __host__ __device__ void addMissedPush(double dt, const NodeMotionTable* motion);
  // Carried force := normal force.
  __host__ __device__ void storeFcn() { carried_force = normal_force; }
  // Adds the carried force to the contact-force accumulators (for output).
  __host__ __device__ void storeFcnToNodeDfn();

  // The friction force that holds the pair (Coulomb's law caps it): the
  // force along the surface (components along t1 and t2) on the master
  // side at the contact point, minus it on the slave node, that makes both
  // leave the step with the same velocity along the surface under the forces
  // acting now.  The motion table as for the normal force.
  __host__ __device__ void stickForce(double dt, const double* t1, const double* t2, const NodeMotionTable* motion,
                                      double* f) const;
  // Penalty stiffness of the pair for its tangential law (mode 0: the slave
  // node's stiffness against a rigid master, else the smaller of segment
  // and node stiffness; a node without stiffness takes the segment's).
  __host__ __device__ void computeInterForceStiff(double dt, int mode);

  // Search after contact, one method per kind.
  __host__ __device__ void nodeToSegmentCudaPostSearch();
  __host__ __device__ void nodeToEdgePostSearch();
  __host__ __device__ void nodeToNodePostSearch();
  // The three in turn, each for a pair of its kind: a pair that the segment
  // search moves onto an edge is followed along the edge, and from there
  // onto a node, in the same cycle. Each pair reads only its own record
  // besides the mesh, so pairs need not wait for each other between steps.
  __host__ __device__ void searchAfterContact();

  // The slave node lies beyond a free (boundary) edge or corner of the
  // master entity; its distance from that edge line or corner goes to
  // `distance`.  False for pairs not at a free boundary.
  __host__ __device__ bool beyondFreeBoundary(double* distance) const;
  // Contact normal: side x the segment's normal blended, by the given
  // weights of its nodes, with the normals of the segments that meet it
  // smoothly (at less than 30 degrees) round each node.
  __host__ __device__ void smoothNormal(const double* cornerWeights);
  // Normal, gap and weights of the pair's node against its master entity,
  // and the weights of the master's corners that blend the normal.
  __host__ __device__ void measureGap(double* cornerWeights);
  // face_gap and face_segment of the pair's node where its gap says it is
  // behind the master (else the gap and the segment); the face it is
  // measured from, and the side of it the node belongs on, go to face and
  // faceSide.
  __host__ __device__ void measureFaceGap(SegmentCuda** face, int* faceSide);
  // A new pair whose node lies behind its solid face's plane moves onto a
  // face meeting that one (face, faceSide) when the node lies in front of
  // it (outside the body), or less than half as deep behind it and came in
  // through it over the last step.  Where two blocks meet rim to rim,
  // bulging, a corner node just under one block's bottom face lies deep
  // behind the plane of its side face, which the bulge tilts over it:
  // paired with the side face it would be held at that depth and could
  // rise into the block unopposed.  A pair that has held its node keeps its
  // face (a rim node bulging past the other block's side stays held under
  // its bottom face instead of curling round its edge).
  __host__ __device__ bool moveToFace(SegmentCuda* face, int faceSide);
  // The end of the penetration step: the contact normal, then the carried
  // force along it to the slave and (unless skipped) the master nodes, and
  // the pair counted on its nodes.
  __host__ __device__ void applyCarriedForce(const double* cornerWeights, int masterSkip);
  // The master nodes that take part in the pair (weight not 0) and their
  // weights in the contact point (1 for a node pair); returns their number.
  __host__ __device__ int masterNodes(NodeCuda* masters[4], double weights[4]) const;
  // Opens a step: its shares are added at once (pass 0) or left for the
  // gather of that pass.
  __host__ __device__ void openShares(int pass) { open_pass = pass; }
  // Hands slaveForce to the slave node and, when withMasters, minus it
  // shared by the weights to the master nodes (the force acts at the contact
  // point), into the given fields; the contact-pair count takes 1 on the
  // slave node and |weight| on each master node.
  __host__ __device__ void shareOut(const double* slaveForce, int fields, bool withMasters);
  // Adds the share of one target slot if it belongs to `pass` (with atomic
  // additions when others may add into the node at the same time).
  __host__ __device__ void addShare(int slot, int pass, bool atomic) const;
  // Empties the pair and hands its segment back to the owner's candidates.
  __host__ __device__ void release(int cycle, int* activePairCounter);
};
static_assert(std::is_trivially_copyable_v<ContactPairCuda>);

// Kernels of the contact cycle, one thread per pair.
// The steps open share pass `pass` on every pair they visit.
// Each pass looks at n nodes (NodeVisit) and visits the pairs whose nodes'
// flags (when kept) say they may be active (ContactNodeFlag).
__global__ void GpuPenetrateCalculation(ContactPairCuda** pairs, int n, int pass, int masterSkip, NodeVisit visit);
__global__ void gpuContactForceCalDecouple(ContactPairCuda** pairs, double dt, int cycle, int n, int* activePairCounter,
                                           int masterSkip, int pass, NodeMotionTable motion, NodeVisit visit);
// The sweeps' steps.  The first lists the pairs that fall short in `missed`
// (when not null) and counts them; the others run over such a list.
__global__ void GpuNoteMissedOpening(ContactPairCuda** pairs, double dt, int n, int masterSkip, NodeMotionTable motion,
                                     ContactPairCuda** missed, int* missedCount, NodeVisit visit);
__global__ void GpuClearCountsOfMissed(ContactPairCuda** pairs, int n);
__global__ void GpuCountMissed(ContactPairCuda** pairs, int n, int pass);
__global__ void GpuAddMissedPush(ContactPairCuda** pairs, double dt, int n, int pass, NodeMotionTable motion);
// Gather order of the shares: one key per target of every pair whose shares
// belong to `pass` (the node id in the high half, the pair's position times
// kShareSlots plus the slot in the low half), appended at *count.  Sorted,
// the keys list every node's shares together, by pair and slot.
__global__ void GpuListShareKeys(ContactPairCuda** pairs, int n, int pass, unsigned long long* keys, int* count,
                                 NodeVisit visit);
// Each node's shares of `pass`, added in the order of the sorted keys.
__global__ void GpuGatherShares(const unsigned long long* keys, int count, ContactPairCuda** pairs, int pass);
// The contact force of every node the sorted keys name, added into its force
// once: the nodes no share reaches keep a zero contact force.
__global__ void GpuHandOnKeyedContactForce(const unsigned long long* keys, int count, ContactPairCuda** pairs);
// Search after contact of every pair, one thread per pair, after the pair's
// penetration of the last step (at lastStepTime) is noted in its node, and
// a node that has left the depth it started at gives it up; the nodes with
// neither a pair nor such a depth (by their flags) are passed over.
__global__ void GpuSearchAfterContact(ContactPairCuda** pairs, int n, double lastStepTime, NodeVisit visit);
