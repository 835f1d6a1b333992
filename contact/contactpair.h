// The one contact pair of a slave contact node: which master segment, edge
// or node it touches, with the normal, gap, weights and forces of that
// contact.  Its methods are the per-cycle steps of an active pair: the
// search after contact, the penetration with the carried force, and the
// decoupled contact force with release.
#pragma once
#include <type_traits>
#include "platform/gpu_runtime.h"

struct ContactNodeCuda;
struct NodeCuda;
struct SegmentCuda;

// Pair kinds.
enum ContactPairKind { CONTACT_PAIR_EMPTY = 0, NODE_TO_SEGMENT = 1, NODE_TO_EDGE = 2, NODE_TO_NODE = 3 };

// Moves a sliding node pair may make around its node in one contact step.
constexpr int kNodeWalkMaxMoves = 32;

struct ContactPairCuda {
  int segment_id;          // local id of the current master segment
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
  double mass_share[4];    // kept in the record; forces reach the master nodes by the weights
  double weight[4];
  double stiffness;
  int surface_id;          // id of the surface the node was taken from (0: a node set)

  // Penetration: normal, gap and weights of this cycle, and the
  // carried force applied to the slave and master nodes.  A non-zero
  // master-skip flag leaves the master nodes without force.
  __host__ __device__ void penetraCalDefenGpu(int masterSkip, int* unused);
  // Decoupled defence-node force: the increment that gives slave and contact
  // point the same normal velocity after the step, into the contact-force
  // accumulators; release of a separating pair back to the candidates.
  __host__ __device__ void defenceNodeCalGpuDecouple(double dt, int cycle, int* activePairCounter, int masterSkip);
  // Carried force := normal force.
  __host__ __device__ void storeFcn() { carried_force = normal_force; }
  // Adds the carried force to the contact-force accumulators (for output).
  __host__ __device__ void storeFcnToNodeDfn();

  // Penalty stiffness of the pair for its tangential law (mode 0: the slave
  // node's stiffness against a rigid master, else the smaller of segment
  // and node stiffness; a node without stiffness takes the segment's).
  __host__ __device__ void computeInterForceStiff(double dt, int mode);

  // Search after contact, one method per kind.
  __host__ __device__ void nodeToSegmentCudaPostSearch();
  __host__ __device__ void nodeToEdgePostSearch();
  __host__ __device__ void nodeToNodePostSearch();

  // The slave node lies beyond a free (boundary) edge or corner of the
  // master entity; its distance from that edge line or corner goes to
  // `distance`.  False for pairs not at a free boundary.
  __host__ __device__ bool beyondFreeBoundary(double* distance) const;
  // Contact normal: side x the segment's normal blended, by the given
  // weights of its nodes, with the normals of the segments that meet it
  // smoothly (at less than 30 degrees) round each node.
  __host__ __device__ void smoothNormal(const double* cornerWeights);
  // The end of the penetration step: the contact normal, then the carried
  // force along it to the slave and (unless skipped) the master nodes, and
  // the pair counted on its nodes.
  __host__ __device__ void applyCarriedForce(const double* cornerWeights, int masterSkip);
  // The master nodes that take part in the pair (weight not 0) and their
  // weights in the contact point (1 for a node pair); returns their number.
  __host__ __device__ int masterNodes(NodeCuda* masters[4], double weights[4]) const;
  // Counts the pair on its slave node (1) and, unless the master-skip flag
  // is set, on its master nodes (their weights): the nodes' contact-pair
  // counts.
  __host__ __device__ void countOnNodes(int masterSkip);
  // Adds -value along the normal, shared over the master nodes by their
  // weights, to their forces or to their contact-force accumulators.
  __host__ __device__ void spreadOverMasters(double value, bool toAccumulator);
  // Adds the force f, shared over the master nodes by their weights, to
  // their forces or to their contact-force accumulators: the force acts at
  // the contact point.
  __host__ __device__ void addToMasters(const double* f, bool toAccumulator);
  // Empties the pair and hands its segment back to the owner's candidates.
  __host__ __device__ void release(int cycle, int* activePairCounter);
};
static_assert(std::is_trivially_copyable_v<ContactPairCuda>);

// Kernels of the contact cycle, one thread per pair.
__global__ void GpuPenetrateCalculation(ContactPairCuda** pairs, int n, int* activePairCounter, int masterSkip);
__global__ void gpuContactForceCalDecouple(ContactPairCuda** pairs, double dt, int cycle, int n,
                                           int* activePairCounter, int masterSkip);
__global__ void gpuNode2SegmentSearchAfterContact(ContactPairCuda** pairs, int n);
__global__ void gpuNode2EdgeSearchAfterContact(ContactPairCuda** pairs, int n);
__global__ void gpuNode2NodeSearchAfterContact(ContactPairCuda** pairs, int n);
