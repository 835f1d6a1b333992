// Groups of kLaneWidth one-point hexahedra (type 18) computed together in
// lanes, with the body the one-element path uses.  Lane kernel files are
// compiled with full loop unrolling in the host build.
#include "elements/solid1st/hexa1stRBody.h"
#include "elements/solid1st/hexa1stRGroup.h"
#include "elements/common/laneGroupAhead.h"
#include "materials/solidPointLanes.h"
#include "platform/laneBlock.h"
#include "platform/simdLane.h"

namespace {

// Groups ahead whose records are asked for while a group computes: far
// enough that a record comes from memory in the time of the groups between,
// near enough that what is asked for stays in cache until its turn.
constexpr int kHexaGroupsAhead = 2;

// The lines of an element record the group kernel reads and writes: its
// forces, and from its volume to its hourglass values (the head, with the
// node addresses and the ids the entry keeps, and the masses are not read).
// Address arithmetic only: nothing is loaded.
__host__ __device__ inline void prefetchElementTail(const SolidElementCuda* e) {
  lanePrefetchSpan<sizeof(SolidElementCuda::interForce)>(e->interForce);
  const char* from = reinterpret_cast<const char*>(&e->volume);
  lanePrefetchBytes(from, static_cast<int>(reinterpret_cast<const char*>(e->hourglassValue + 4) - from));
}

// The doubles of a node's coordinates and step displacement are read with
// the one before them, its velocity with the one after (laneLoadThree):
// both ways stay within the lines that the three values occupy.
constexpr int kCoordLead = 1, kStepLead = 1, kVelLead = 0;

// The four doubles that laneLoadThree reads for a row of three.
__host__ __device__ inline void prefetchRow(const double* row, int lead) {
  lanePrefetchSpan<4 * sizeof(double)>(reinterpret_cast<const char*>(row) - lead * static_cast<int>(sizeof(double)));
}

// A set of the node addresses of two groups (open addressing in a table of
// twice their slots, a power of two): each address is found in a step or two.
class NodeAddressSet {
 public:
  // Adds nd; false when it was there already.
  __host__ __device__ bool insert(const NodeCuda* nd) {
    const auto bits = reinterpret_cast<unsigned long long>(nd);
    for (unsigned h = static_cast<unsigned>((bits >> 4) * 0x9E3779B97F4A7C15ull >> 40);; ++h) {
      const NodeCuda*& slot = table_[h % kSize];
      if (slot == nd) return false;
      if (slot == nullptr) {
        slot = nd;
        return true;
      }
    }
  }

 private:
  static constexpr unsigned kSize = 32 * kLaneWidth;  // twice the slots of two groups
  const NodeCuda* table_[kSize] = {};
};

// The node slots of the entry's read-ahead: each node of the group once,
// leaving out those of the group before (previous, null for the first).
__host__ __device__ unsigned aheadNodeSlots(SolidElementCuda* const* elements, SolidElementCuda* const* previous) {
  NodeAddressSet known;
  for (int s = 0; previous != nullptr && s < 8 * kLaneWidth; ++s)
    if (const NodeCuda* nd = previous[s / 8]->node[s % 8]) known.insert(nd);
  unsigned slots = 0;
  for (int s = 0; s < 8 * kLaneWidth; ++s) {
    const NodeCuda* nd = elements[s / 8]->node[s % 8];
    if (nd != nullptr && known.insert(nd)) slots |= 1u << s;
  }
  return slots;
}

// The records of the group `ahead` places on (from its entry, which is in
// cache: it was asked for one group earlier), and the entry of the group
// after it.  Of the nodes, the lines of the motion gatherLaneMotion reads,
// for the nodes not asked for with the group before; the points only where
// the material's update reads them.
__host__ __device__ void prefetchGroupAhead(MaterialNew* const* materials, SolidElementCuda* const* elements,
                                            const HexaLaneGroup* groups, int ahead, const NodeMotionView& motions) {
  lanePrefetchAhead<kHexaGroupsAhead + 1>(groups, 0, ahead + 1);
  if (ahead < kHexaGroupsAhead) return;
  const HexaLaneGroup& g = groups[kHexaGroupsAhead];
  const bool points = g.lanes == 0 || solid_point_lanes::readsPoints(materials[g.materialId - 1]);
  for (int l = 0; l < kLaneWidth; ++l) {
    prefetchElementTail(elements[kHexaGroupsAhead * kLaneWidth + l]);
    if (points) lanePrefetchBytes(g.point[l], sizeof(GaussPoint));
    lanePrefetchBytes(g.state[l], kStateAheadBytes);
  }
  for (unsigned slots = g.aheadNodes; slots != 0; slots &= slots - 1) {
    const int s = laneLowestBit(slots);
    const NodeCuda* nd = g.node[s / 8][s % 8];
    if (const NodeMotion* m = motionOf(motions, nd)) {
      lanePrefetchSpan<sizeof(NodeMotion)>(m);
      continue;
    }
    prefetchRow(nd->coord, kCoordLead);
    prefetchRow(nd->step_disp, kStepLead);
    prefetchRow(nd->vel, kVelLead);
  }
}

// Current, mid-step coordinates and velocities of the group's nodes, read
// four lanes at a time: xm = x - du/2 (du the step's displacement) in each
// lane as gatherNodeMotion computes it.
__host__ __device__ void gatherLaneMotion(const HexaLaneGroup& g, LaneDouble x[8][3], LaneDouble xm[8][3],
                                          LaneDouble v[8][3]) {
  FEM_LANE_UNROLL
  for (int I = 0; I < 8; ++I) {
    const double *coord[kLaneWidth], *step[kLaneWidth], *vel[kLaneWidth];
    for (int l = 0; l < kLaneWidth; ++l) {
      coord[l] = g.node[l][I]->coord;
      step[l] = g.node[l][I]->step_disp;
      vel[l] = g.node[l][I]->vel;
    }
    LaneDouble du[3];
    laneLoadThree<kCoordLead>(coord, x[I]);
    laneLoadThree<kStepLead>(step, du);
    laneLoadThree<kVelLead>(vel, v[I]);
    for (int k = 0; k < 3; ++k) xm[I][k] = x[I][k] - 0.5 * du[k];
  }
}

// The same from the motions the displacement update wrote, when every node
// of the group has one: each node's nine values read as one run.
__host__ __device__ bool gatherLaneMotion(const HexaLaneGroup& g, const NodeMotionView& motions, LaneDouble x[8][3],
                                          LaneDouble xm[8][3], LaneDouble v[8][3]) {
  const double* rows[8][kLaneWidth];
  for (int l = 0; l < kLaneWidth; ++l)
    for (int I = 0; I < 8; ++I) {
      const NodeMotion* m = motionOf(motions, g.node[l][I]);
      if (m == nullptr) return false;
      rows[I][l] = m->coord;
    }
  FEM_LANE_UNROLL
  for (int I = 0; I < 8; ++I) {
    LaneDouble a[9];  // coordinates, step, velocity
    laneLoadBlock<9>(rows[I], a);
    for (int k = 0; k < 3; ++k) {
      x[I][k] = a[k];
      xm[I][k] = a[k] - 0.5 * a[3 + k];
      v[I][k] = a[6 + k];
    }
  }
  return true;
}

}  // namespace

__host__ __device__ void fillHexaLaneGroup(MaterialNew* const* materials, const HourglassControl* hourglass,
                                           SolidElementCuda* const* elements, SolidElementCuda* const* previous,
                                           HexaLaneGroup& group) {
  const SolidElementCuda& first = *elements[0];
  group.materialId = first.material_id;
  group.partId = first.part_id;
  group.lanes = 0;
  group.aheadNodes = aheadNodeSlots(elements, previous);
  for (int l = 0; l < kLaneWidth; ++l) {
    const SolidElementCuda& e = *elements[l];
    group.initialVolume[l] = 0.0;
    for (int I = 0; I < 8; ++I) group.node[l][I] = e.node[I];
    group.point[l] = e.gaussPoint;
    group.state[l] = e.gaussPoint != nullptr ? e.gaussPoint->matStatus_ : nullptr;
  }
  const int id = first.material_id;
  const MaterialNew* material = id >= 1 ? materials[id - 1] : nullptr;
  if (material == nullptr || material->id != id) return;
  const HourglassControl* control = hourglassOfPart(hourglass, first.part_id);
  for (int l = 0; l < kLaneWidth; ++l) {
    const SolidElementCuda& e = *elements[l];
    if (e.type != ET_HEXA_REDUCED || e.sfemType != SFEM_NONE || e.material_id != id || group.state[l] == nullptr ||
        !sameHourglass(hourglassOfPart(hourglass, e.part_id), control))
      return;
    for (const NodeCuda* nd : e.node)
      if (nd == nullptr) return;
  }
  for (int l = 0; l < kLaneWidth; ++l) group.initialVolume[l] = onepoint::initialVolume(*elements[l], false);
  group.lanes = 1;
}

FEM_LANE_KERNEL __host__ __device__ bool onePointHexaLanes(MaterialNew* const* materials,
                                                           const HourglassControl* hourglass,
                                                           SolidElementCuda* const* elements,
                                                           const HexaLaneGroup* groups, int ahead,
                                                           const NodeMotionView& motions, double dt, double safeFactor,
                                                           double* steps) {
  const HexaLaneGroup& group = groups[0];
  if (group.lanes == 0) return false;
  const MaterialNew* material = materials[group.materialId - 1];
  if (material == nullptr || material->id != group.materialId) return false;
  const HourglassControl* control = hourglassOfPart(hourglass, group.partId);
  prefetchGroupAhead(materials, elements, groups, ahead, motions);
  LaneDouble x[8][3], xm[8][3], v[8][3], B[3][8], Bm[3][8];
  if (!gatherLaneMotion(group, motions, x, xm, v)) gatherLaneMotion(group, x, xm, v);
  const LaneDouble V = onepoint::centreGradients(x, B), Vm = onepoint::centreGradients(xm, Bm);
  const LaneDouble V0 = laneLoad(group.initialVolume);
  // Mirror-numbered, collapsed and inside-out elements (a volume of another
  // sign than the initial one) take the one-element path.
  if (!laneAll((V > 0.0) & (Vm > 0.0) & (V0 > 0.0))) return false;

  // The step from the stable length, as each element's own pass (the
  // elements of a group share material and hourglass control, so the first
  // one's step model is every one's); taken first, so that the coordinates
  // are not kept through the material update.
  LaneDouble multiplier, mass;
  for (int l = 0; l < kLaneWidth; ++l) {
    laneSet(multiplier, l, elements[l]->dtScaleFactor);
    laneSet(mass, l, elements[l]->mass);
  }
  const SolidStepModel& model = elements[0]->stepModel;
  const LaneDouble length =
      solidstep::onePointStableLength(x, B, V, solidstep::boundMassVolume(mass, model.density, V), model);
  const LaneDouble step = solid1st::solidStableStep(multiplier, safeFactor, length, material->waveSpeed[0]);

  double *hourglassRows[kLaneWidth], *forceRows[kLaneWidth];
  for (int l = 0; l < kLaneWidth; ++l) {
    hourglassRows[l] = &elements[l]->hourglassValue[0][0];
    forceRows[l] = &elements[l]->interForce[0][0];
  }
  LaneDouble Q[12], f[8][3];
  laneLoadBlock<12>(hourglassRows, Q);
  // Every lane has a point with a state record (the group entry checks it).
  const auto pointStress = [&](LaneDouble G[3][3], LaneDouble sigma[3][3]) {
    solid_point_lanes::update(material, group.point, group.state, G, sigma, dt);
  };
  onepoint::onePointBodyForce(material, dt, control, x, v, B, V, Bm, Vm, Q, pointStress, f);
  laneStoreBlock<24>(&f[0][0], forceRows);
  laneStoreBlock<12>(Q, hourglassRows);
  for (int l = 0; l < kLaneWidth; ++l) {
    SolidElementCuda& e = *elements[l];
    e.volume = laneGet(V, l);
    e.charactLength = laneGet(length, l);
    e.dt = steps[l] = laneGet(step, l);
  }
  return true;
}

__host__ __device__ bool onePointHexaLaneGroup(MaterialNew* const* materials, const HourglassControl* hourglass,
                                               SolidElementCuda* const* elements, double dt, double safeFactor,
                                               double* steps) {
  HexaLaneGroup group;
  fillHexaLaneGroup(materials, hourglass, elements, nullptr, group);
  return onePointHexaLanes(materials, hourglass, elements, &group, 0, NodeMotionView{}, dt, safeFactor, steps);
}
