// One slave contact node: its node, its candidate list and its one contact
// pair, and the search bucket it was last binned into.
#pragma once
#include <cmath>
#include <type_traits>
#include "contact/contactpair.h"
#include "contact/testpair.h"
#include "core/node.h"

struct SubDomain;

// A node's force += its contact force.
__host__ __device__ inline void handOnContactForce(NodeCuda& node) {
  for (int j = 0; j < 3; ++j) node.force[j] += node.contact_force[j];
}

struct ContactNodeCuda {
  NodeCuda* node;  // host address on the host copy, device address on the device copy
  int node_id;     // 1-based node id
  int in_contact;  // 1 while the node has an active contact pair
  int number;      // 1-based creation number
  TestPairCuda test_pair;
  ContactPairCuda contact_pair;
  SubDomain* subdomain;
  // Sum and count of the unit normals of the node's own segments on the
  // searched surfaces, gathered anew every cycle.
  double face_normal_sum[3];
  int face_count;
  // Depth the node starts at inside a body it is searched against (found at
  // set-up) and the face it starts behind (host address on the host copy,
  // device address on the device copy): its contact gap counts from that
  // depth, so that the overlap is held rather than pushed out, until the
  // node comes out of the body.
  double start_overlap;
  const SegmentCuda* start_face;
  // Its gap to that face at the last contact step while it had no pair
  // (below 0: still inside).
  double start_face_gap;
  // Deepest penetration the node has shown (gap below 0, the depth it started
  // at included; set-up puts that depth here at time 0), the number of the
  // segment and the time.
  double deepest_gap;
  int deepest_segment;
  double deepest_time;

  // node := base + (node_id - 1); back-link and owners set (host).
  void linkNode(NodeCuda* nodeArrayBase) { bindTo(nodeArrayBase); }
  // The same on the device copy.
  __host__ __device__ void gpuContactNodeCudaCpy(NodeCuda* nodeArrayBase) { bindTo(nodeArrayBase); }
  // Segment s becomes a candidate of the node when the node lies in its
  // extended box, is none of its nodes and s is not the node's current
  // contact segment (search of both loops).
  __host__ __device__ void offerCandidate(SegmentCuda* s, int* overflow);
  __host__ __device__ void clearFaceNormals() {
    face_normal_sum[0] = face_normal_sum[1] = face_normal_sum[2] = 0.0;
    face_count = 0;
  }
  // The node lies inside a flat face of its own body (its segments' normals
  // within about 2.5 degrees of each other) that the unit normal n does not
  // face: n stands square to the face's plane (within about 6 degrees) or
  // turns away from it, as the side face of a bar whose rim flares out over
  // a plate turns up, away from the plate it stands on.
  __host__ __device__ bool flatFaceNotFacing(const double* n) const {
    if (face_count < 1) return false;
    const double* m = face_normal_sum;
    const double length = sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    if (length < 0.999 * face_count) return false;
    return m[0] * n[0] + m[1] * n[1] + m[2] * n[2] > -0.1 * length;
  }
  // Cosine between the node's own outward normal (the mean of its faces'
  // normals) and the unit vector n; 0 when it has no faces or they cancel.
  // At a block's rim the node's normal points up and out, so the face of a
  // block above that presses down on it reads near -0.6 to -0.7 and that
  // block's side face, which it merely grazes, reads above 0.
  __host__ __device__ double facing(const double* n) const {
    const double* m = face_normal_sum;
    const double length = sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    if (face_count < 1 || !(length > 1e-6 * face_count)) return 0.0;
    return (m[0] * n[0] + m[1] * n[1] + m[2] * n[2]) / length;
  }
  // The gap of a pair counted from the depth the node started at.  That
  // depth is held as long as the node stays inside; it is given up once the
  // node has come out.  (Letting it follow the node out while the bodies
  // still press on each other would push them apart a little at every
  // rebound of their vibration, adding the energy of the overlap.)
  __host__ __device__ double heldGap(double gap) {
    if (start_overlap > 0.0 && gap >= 0.0) start_overlap = 0.0;
    return gap + start_overlap;
  }
  // Keeps a gap of the node (its depth where below 0) when it is the
  // deepest so far.
  __host__ __device__ void noteDepth(double gap, int segment, double time) {
    if (!(gap < deepest_gap)) return;
    deepest_gap = gap;
    deepest_segment = segment;
    deepest_time = time;
  }
  // The same for the gap from the real faces its pair measured in its last
  // step (at `time`).
  __host__ __device__ void notePairDepth(double time);
  // A node without a pair that lies clear of the face it started behind
  // has come out: its contact no longer counts from its starting depth.
  // Keeps its gap to that face in start_face_gap.
  __host__ __device__ void leaveStartOverlap();
  // Box of the node's path over the last displacement step, from where it
  // was to where it is: the search finds a segment the node crossed within
  // one step, however deep it now lies behind it.
  __host__ __device__ void pathBox(double* lo, double* hi) const {
    for (int a = 0; a < 3; ++a) {
      const double now = node->coord[a], before = now - node->step_disp[a];
      lo[a] = now < before ? now : before;
      hi[a] = now < before ? before : now;
    }
  }
  // The node's force += its contact force.
  __host__ __device__ void singleInterContactForce() {
    if (node != nullptr) handOnContactForce(*node);
  }

 private:
  __host__ __device__ void bindTo(NodeCuda* nodeArrayBase) {
    node = nodeArrayBase + (node_id - 1);
    node->contact_node = this;
    test_pair.contactNode = this;
    contact_pair.owner = this;
  }
};
static_assert(std::is_trivially_copyable_v<ContactNodeCuda>);
static_assert(std::is_standard_layout_v<ContactNodeCuda>);

// Adds the normal of segment s to the face normals of those of its nodes
// that are contact nodes.
__host__ __device__ void gatherFaceNormal(const SegmentCuda& s);
// The same left in four share slots (node k of s: its normal where the node
// is a contact node, else zeros) for a fixed-order gather; the counts are
// added at once.
__host__ __device__ void faceNormalShares(const SegmentCuda& s, double* shares);
