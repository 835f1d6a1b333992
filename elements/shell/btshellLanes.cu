// Groups of kLaneWidth Belytschko-Tsay shells computed together in lanes,
// with the body the one-element path uses, the points through the thickness
// included.  A group with an entry (btshellGroup.h) finds its nodes, states
// and rule there; one without reads its element and point records.
#include <cstddef>
#include <cstdio>

#include "core/repeatedMessage.h"
#include "elements/shell/btshellBody.h"
#include "elements/shell/btshellGroup.h"
#include "elements/common/laneGroupAhead.h"
#include "materials/planeStressLanes.h"
#include "platform/laneBlock.h"

namespace {

// Groups ahead whose records are asked for while a group with an entry
// computes (as for the one-point hexahedra).
constexpr int kShellGroupsAhead = 2;

// The material of a group the lanes can compute: quadrilateral shells of
// one material, one section (both found under their ids) and one hourglass
// control, else null.
__host__ __device__ const MaterialNew* laneGroupMaterial(MaterialNew* const* materials, const Section* sections,
                                                         const HourglassControl* hourglass,
                                                         ShellElementCuda* const* elements, const Section** section,
                                                         const HourglassControl** control) {
  const ShellElementCuda* first = elements[0];
  const int id = first->material_id, sid = first->section_id;
  const MaterialNew* material = id >= 1 ? materials[id - 1] : nullptr;
  if (material == nullptr || material->id != id) return nullptr;
  *section = sid >= 1 ? sections + (sid - 1) : nullptr;
  if (*section != nullptr && (*section)->id != sid) return nullptr;
  *control = hourglassOfPart(hourglass, first->part_id);
  for (int l = 0; l < kLaneWidth; ++l) {
    const ShellElementCuda* e = elements[l];
    if ((e->type != ET_BT_SHELL && e->type != ET_HL_SHELL) || e->material_id != id || e->section_id != sid ||
        !sameHourglass(hourglassOfPart(hourglass, e->part_id), *control))
      return nullptr;
  }
  return material;
}

// The node lines gatherLaneNodes reads.
__host__ __device__ inline void prefetchNodeMotion(const NodeCuda& nd) {
  lanePrefetchSpan<sizeof(nd.coord) + sizeof(double)>(reinterpret_cast<const char*>(nd.coord) - sizeof(double));
  lanePrefetchSpan<sizeof(nd.vel)>(nd.vel);
}

// The records of the next groups, fetched while this one computes; of the
// nodes, the lines of the motion gatherLaneNodes reads.
__host__ __device__ void prefetchAhead(ShellElementCuda* const* elements, int remaining) {
  prefetchGroupsAhead(elements, remaining, prefetchNodeMotion);
  // The hourglass thickness is the first node's, often on a line of its own.
  for (int l = kLaneWidth; l < 2 * kLaneWidth && l < remaining; ++l)
    if (const NodeCuda* nd = elements[l]->node[0]) lanePrefetch(&nd->thickness);
}

// A node's coordinates are read with the double before them
// (laneLoadThree), which stays within the lines of the coordinates in a
// record that starts on a 16-byte boundary.
constexpr int kCoordLead = 1;
static_assert(offsetof(NodeCuda, coord) >= sizeof(double) && alignof(NodeCuda) >= 8);

// A corner's increments (velocity x dt) from its six velocities v.
__host__ __device__ inline void laneIncrements(const LaneDouble v[6], double dt, LaneDouble du[3], LaneDouble dr[3]) {
  for (int k = 0; k < 3; ++k) {
    du[k] = v[k] * dt;
    dr[k] = v[3 + k] * dt;
  }
}

// Corner coordinates and increments of the group's nodes, each value
// gathered whole from the four elements.
__host__ __device__ void gatherLaneNodes(const NodeCuda* const node[kLaneWidth][4], double dt, LaneDouble x[4][3],
                                         LaneDouble du[4][3], LaneDouble dr[4][3]) {
  for (int I = 0; I < 4; ++I) {
    const double* coord[kLaneWidth];
    const double* vel[kLaneWidth];
    for (int l = 0; l < kLaneWidth; ++l) {
      const NodeCuda* nd = node[l][I];
      coord[l] = nd->coord;
      vel[l] = nd->vel;
    }
    laneLoadThree<kCoordLead>(coord, x[I]);
    LaneDouble v[6];
    laneLoadBlock<6>(vel, v);
    laneIncrements(v, dt, du[I], dr[I]);
  }
}

// The same from the motions the displacement update wrote, when every node
// of the group has one: each corner's coordinates and velocities read as
// one run.
__host__ __device__ bool gatherLaneNodes(const NodeCuda* const node[kLaneWidth][4], const NodeMotionView& motions,
                                         double dt, LaneDouble x[4][3], LaneDouble du[4][3], LaneDouble dr[4][3]) {
  const double* rows[4][kLaneWidth];
  for (int l = 0; l < kLaneWidth; ++l)
    for (int I = 0; I < 4; ++I) {
      const TurningNodeMotion* m = turningMotionOf(motions, node[l][I]);
      if (m == nullptr) return false;
      rows[I][l] = m->coord;
    }
  for (int I = 0; I < 4; ++I) {
    LaneDouble a[9];  // coordinates, velocity, angular velocity
    laneLoadBlock<9>(rows[I], a);
    for (int k = 0; k < 3; ++k) x[I][k] = a[k];
    laneIncrements(a + 3, dt, du[I], dr[I]);
  }
  return true;
}

// The node table of a group read from its element records; false when a
// corner has no node.
__host__ __device__ bool groupNodes(ShellElementCuda* const* elements, const NodeCuda* node[kLaneWidth][4]) {
  for (int l = 0; l < kLaneWidth; ++l)
    for (int I = 0; I < 4; ++I)
      if ((node[l][I] = elements[l]->node[I]) == nullptr) return false;
  return true;
}

// The points of a group that the lanes can integrate: the same number for
// every element, each with its state record.
__host__ __device__ bool lanePointsAlike(ShellElementCuda* const* elements) {
  const int np = elements[0]->integratPointNum;
  for (int l = 0; l < kLaneWidth; ++l) {
    const ShellElementCuda* e = elements[l];
    if (e->integratPointNum != np || (np > 0 && e->gaussPoint == nullptr)) return false;
    for (int i = 0; i < np; ++i)
      if (e->gaussPoint[i].matStatus_ == nullptr) return false;
  }
  return true;
}

// A lane value of a double field of each element's record.
__host__ __device__ inline LaneDouble laneField(ShellElementCuda* const* elements, double ShellElementCuda::*field) {
  const double* rows[kLaneWidth];
  for (int l = 0; l < kLaneWidth; ++l) rows[l] = &(elements[l]->*field);
  LaneDouble v;
  laneGather<1>(rows, &v);
  return v;
}

// integrateThickness of the group's elements, point i of every element at
// a time in lanes: the same sums in the same order.  first[l] is the first
// point of lane l; pointAt(i, state, weight, zeta) gives the states of point
// i of each lane and its rule.  The
// material's update is chosen, and its constants worked out, once for the
// points.
template <typename PointAt>
__host__ __device__ void integrateThicknessLanes(ShellElementCuda* const* elements, const MaterialNew* material, int np,
                                                 GaussPoint* const first[], PointAt pointAt, const LaneDouble strain[8],
                                                 LaneDouble area, double dt, btshell::Resultants<LaneDouble>& R) {
  const LaneDouble t = laneField(elements, &ShellElementCuda::thickCurrent);
  plane_stress_lanes::withModel(material, dt, [&](const auto& model) {
    for (int i = 0; i < np; ++i) {
      MaterialStatus* state[kLaneWidth];
      LaneDouble weight, zeta;
      pointAt(i, state, weight, zeta);
      const LaneDouble z = 0.5 * t * zeta;
      const LaneDouble d[6] = {
          strain[0] + z * strain[3], strain[1] - z * strain[4], 0.0, strain[2] + z * strain[5], strain[6], strain[7]};
      LaneDouble s[6];  // every model writes all six
      model(first, i, state, d, s);
      btshell::addPointResultants<LaneDouble>(0.5 * t * weight * area, z, s, R);
    }
  });
}

// Point i of the group's elements from their point records.
__host__ __device__ inline void pointOfRecords(GaussPoint* const first[], int i, MaterialStatus* state[],
                                               LaneDouble& weight, LaneDouble& zeta) {
  const double* rule[kLaneWidth];  // weight, then the first coordinate
  for (int l = 0; l < kLaneWidth; ++l) {
    const GaussPoint* gp = first[l] + i;
    state[l] = gp->matStatus_;
    rule[l] = &gp->weight_;
  }
  static_assert(offsetof(GaussPoint, coord_) == offsetof(GaussPoint, weight_) + sizeof(double));
  LaneDouble weightZeta[2];
  laneGather<2>(rule, weightZeta);
  weight = weightZeta[0];
  zeta = weightZeta[1];
}

// State of point i of lane l of an entry.
__host__ __device__ inline MaterialStatus* entryState(const ShellLaneGroup& g, int l, int i) {
  return reinterpret_cast<MaterialStatus*>(reinterpret_cast<char*>(g.state[l]) + i * g.stateStride);
}

// What the body needs besides the nodes: the section's shear factor, the
// hourglass coefficient and form, the hourglass thickness (the first node's
// where positive, else the element's) and the hourglass resultants.
__host__ __device__ void laneElementState(ShellElementCuda* const* elements, const Section* section,
                                          const HourglassControl* control, LaneDouble nodeThick, double dt,
                                          btshell::ElementState<LaneDouble>& s) {
  s.shearFactor = shell1st::shearFactor(section);
  s.hourglassCoef = btshell::hourglassCoefficient(section, control);
  s.hourglassRate = shell1st::hourglassRate(control, dt);
  s.hourglassThick = laneSelect(nodeThick > 0.0, nodeThick, laneField(elements, &ShellElementCuda::thickCurrent));
  const double* hourglass[kLaneWidth];
  for (int l = 0; l < kLaneWidth; ++l) hourglass[l] = elements[l]->hourglassStress;
  laneLoadBlock<5>(hourglass, s.hourglass);
}

// The group's forces, hourglass state, area, length and step from its node
// values x, du, dr; integrate(strain, A, R) adds the resultants of the
// points.  False, having written nothing, for a collapsed or inverted shell.
template <typename Integrate>
__host__ __device__ bool groupBody(const MaterialNew* material, const Section* section, const HourglassControl* control,
                                   ShellElementCuda* const* elements, LaneDouble x[4][3], LaneDouble du[4][3],
                                   LaneDouble dr[4][3], LaneDouble nodeThick, Integrate integrate, double dt,
                                   double safeFactor, double* steps) {
  shell1st::QuadFrames<LaneDouble> q;
  shell1st::quadFrames(x, du, q);
  // Collapsed or inverted shells take the one-element path (nothing is
  // written before this point).
  if (!laneAll(q.area > 0.0)) return false;
  // Length from the current corners, as each element's own pass, taken
  // while they are at hand (the corners are not needed after the frames).
  const LaneDouble length = shell1st::quadLength(x, q.area);

  btshell::ElementState<LaneDouble> s;
  laneElementState(elements, section, control, nodeThick, dt, s);
  const auto checkArea = [&](const LaneDouble a[4], LaneDouble A) {
    if (laneAll(shell1st::quadAreaSoundLanes(a, A))) return;
    for (int l = 0; l < kLaneWidth; ++l) {
      double al[4];
      laneOut<4>(a, l, al);
      if (!shell1st::quadAreaSound(al, laneGet(A, l))) noteRepeated(REPEATED_QUAD_SHELL_AREA, elements[l]->id);
    }
  };
  LaneDouble force[4][6];
  btshell::bodyForce(material, q, du, dr, s, checkArea, integrate, force);

  // Step from the length, as each element's own pass.
  const LaneDouble multiplier = laneField(elements, &ShellElementCuda::dtScaleFactor);
  const LaneDouble step = solid1st::stableStep(multiplier, safeFactor, length, material->waveSpeed[1]);
  double* forceRows[kLaneWidth];
  double* hourglassRows[kLaneWidth];
  for (int l = 0; l < kLaneWidth; ++l) {
    forceRows[l] = &elements[l]->interForce[0][0];
    hourglassRows[l] = elements[l]->hourglassStress;
  }
  laneStoreBlock<24>(&force[0][0], forceRows);
  laneStoreBlock<5>(s.hourglass, hourglassRows);
  for (int l = 0; l < kLaneWidth; ++l) {
    ShellElementCuda& e = *elements[l];
    e.area = laneGet(q.area, l);
    e.charactLength = laneGet(length, l);
    e.dt = steps[l] = laneGet(step, l);
  }
  return true;
}

// The bytes of an element record the entry's kernel reads and writes: from
// its forces to its hourglass resultants (the head, with the ids and node
// addresses the entry keeps, is not read).  Address arithmetic only.
// Those bytes: the doubles from the forces to the hourglass resultants.
constexpr int kElementTailBytes = static_cast<int>(
    sizeof(ShellElementCuda::interForce) + 7 * sizeof(double) + sizeof(ShellElementCuda::rotaryInertia) +
    sizeof(ShellElementCuda::scaledNodeMass) + sizeof(ShellElementCuda::hourglassStress));
__host__ __device__ inline void prefetchElementTail(const ShellElementCuda* e) {
  lanePrefetchSpan<kElementTailBytes>(&e->interForce[0][0]);
}

// The records of the group `ahead` places on (from its entry, asked for one
// group earlier), and the entry of the group after it; of its nodes, the
// motions where the update kept them, else the record lines.
__host__ __device__ void prefetchEntryAhead(ShellElementCuda* const* elements, const ShellLaneGroup* groups, int ahead,
                                            const NodeMotionView& motions) {
  lanePrefetchAhead<kShellGroupsAhead + 1>(groups, 0, ahead + 1);
  if (ahead < kShellGroupsAhead) return;
  const ShellLaneGroup& g = groups[kShellGroupsAhead];
  for (int l = 0; l < kLaneWidth; ++l) {
    prefetchElementTail(elements[kShellGroupsAhead * kLaneWidth + l]);
    if (g.points > 0) lanePrefetchBytes(g.state[l], g.points * g.stateStride);
  }
  const NodeCuda* const* nodes = &g.node[0][0];
  for (int k = 0; k < g.distinctNodes; ++k) {
    const NodeCuda* nd = nodes[g.distinct[k]];
    if (const TurningNodeMotion* m = turningMotionOf(motions, nd))
      lanePrefetchSpan<sizeof(TurningNodeMotion)>(m);
    else
      prefetchNodeMotion(*nd);
  }
}

// The distinct nodes of an entry's node table.
__host__ __device__ void distinctNodes(ShellLaneGroup& g) {
  const NodeCuda* const* nodes = &g.node[0][0];
  g.distinctNodes = 0;
  for (int k = 0; k < kLaneWidth * 4; ++k) {
    bool seen = false;
    for (int j = 0; j < g.distinctNodes && !seen; ++j) seen = nodes[g.distinct[j]] == nodes[k];
    if (!seen) g.distinct[g.distinctNodes++] = static_cast<unsigned char>(k);
  }
}

// Largest spacing of the states of an element's points an entry takes (a
// state record of every model is far smaller).
constexpr std::ptrdiff_t kStateStrideMax = 1024;

// Whether the points of the group's elements share one rule that an entry
// holds and carry states evenly spaced by one stride; the rule and
// addresses into the entry.
__host__ __device__ bool entryPoints(ShellElementCuda* const* elements, ShellLaneGroup& g) {
  const int np = elements[0]->integratPointNum;
  if (np > kShellGroupPointMax || !lanePointsAlike(elements)) return false;
  g.points = np;
  g.stateStride = 0;
  if (np == 0) return true;
  const GaussPoint* rule = elements[0]->gaussPoint;
  if (np > 1) {
    const std::ptrdiff_t stride =
        reinterpret_cast<char*>(rule[1].matStatus_) - reinterpret_cast<char*>(rule[0].matStatus_);
    if (stride <= 0 || stride > kStateStrideMax) return false;
    g.stateStride = static_cast<int>(stride);
  }
  for (int i = 0; i < np; ++i) {
    g.weight[i] = rule[i].weight_;
    g.zeta[i] = rule[i].coord_[0];
  }
  for (int l = 0; l < kLaneWidth; ++l) {
    const GaussPoint* gp = elements[l]->gaussPoint;
    g.state[l] = gp[0].matStatus_;
    for (int i = 0; i < np; ++i)
      if (gp[i].weight_ != g.weight[i] || gp[i].coord_[0] != g.zeta[i] || gp[i].matStatus_ != entryState(g, l, i))
        return false;
  }
  return true;
}

}  // namespace

__host__ __device__ void fillShellLaneGroup(MaterialNew* const* materials, const Section* sections,
                                            const HourglassControl* hourglass, ShellElementCuda* const* elements,
                                            ShellLaneGroup& group) {
  group = ShellLaneGroup{};
  const ShellElementCuda& first = *elements[0];
  group.materialId = first.material_id;
  group.sectionId = first.section_id;
  group.partId = first.part_id;
  const Section* section = nullptr;
  const HourglassControl* control = nullptr;
  if (laneGroupMaterial(materials, sections, hourglass, elements, &section, &control) == nullptr ||
      !groupNodes(elements, group.node) || !entryPoints(elements, group))
    return;
  for (int l = 0; l < kLaneWidth; ++l) {
    group.nodeThick[l] = group.node[l][0]->thickness;
    group.point[l] = elements[l]->gaussPoint;
  }
  distinctNodes(group);
  group.lanes = 1;
}

FEM_LANE_KERNEL __host__ __device__ bool btShellLanes(MaterialNew* const* materials, const Section* sections,
                                                      const HourglassControl* hourglass,
                                                      ShellElementCuda* const* elements, const ShellLaneGroup* groups,
                                                      int ahead, const NodeMotionView& motions, double dt,
                                                      double safeFactor, double* steps) {
  const ShellLaneGroup& g = groups[0];
  if (g.lanes == 0) return false;
  const MaterialNew* material = materials[g.materialId - 1];
  if (material == nullptr || material->id != g.materialId) return false;
  const Section* section = g.sectionId >= 1 ? sections + (g.sectionId - 1) : nullptr;
  const HourglassControl* control = hourglassOfPart(hourglass, g.partId);
  prefetchEntryAhead(elements, groups, ahead, motions);
  LaneDouble x[4][3], du[4][3], dr[4][3], nodeThick;
  if (!gatherLaneNodes(g.node, motions, dt, x, du, dr)) gatherLaneNodes(g.node, dt, x, du, dr);
  for (int l = 0; l < kLaneWidth; ++l) laneSet(nodeThick, l, g.nodeThick[l]);
  const auto pointAt = [&](int i, MaterialStatus* state[], LaneDouble& weight, LaneDouble& zeta) {
    for (int l = 0; l < kLaneWidth; ++l) state[l] = entryState(g, l, i);
    weight = g.weight[i];
    zeta = g.zeta[i];
  };
  const auto integrate = [&](const LaneDouble strain[8], LaneDouble A, btshell::Resultants<LaneDouble>& R) {
    integrateThicknessLanes(elements, material, g.points, g.point, pointAt, strain, A, dt, R);
  };
  return groupBody(material, section, control, elements, x, du, dr, nodeThick, integrate, dt, safeFactor, steps);
}

FEM_LANE_KERNEL __host__ __device__ bool btShellLaneGroup(MaterialNew* const* materials, const Section* sections,
                                                          const HourglassControl* hourglass,
                                                          ShellElementCuda* const* elements, int remaining, double dt,
                                                          double safeFactor, double* steps) {
  const Section* section = nullptr;
  const HourglassControl* control = nullptr;
  const MaterialNew* material = laneGroupMaterial(materials, sections, hourglass, elements, &section, &control);
  if (material == nullptr) return false;
  prefetchAhead(elements, remaining);
  LaneDouble x[4][3], du[4][3], dr[4][3], nodeThick = 0.0;
  const NodeCuda* node[kLaneWidth][4];
  if (groupNodes(elements, node)) {
    gatherLaneNodes(node, dt, x, du, dr);
    for (int l = 0; l < kLaneWidth; ++l) laneSet(nodeThick, l, node[l][0]->thickness);
  } else {
    // A shell with a missing corner node reads it as zero, as its own pass.
    for (int l = 0; l < kLaneWidth; ++l) {
      double xl[4][3], dul[4][3], drl[4][3];
      shell1st::gatherNodes(*elements[l], 4, dt, xl, dul, drl);
      laneIn<12>(&xl[0][0], l, &x[0][0]);
      laneIn<12>(&dul[0][0], l, &du[0][0]);
      laneIn<12>(&drl[0][0], l, &dr[0][0]);
      if (elements[l]->node[0] != nullptr) laneSet(nodeThick, l, elements[l]->node[0]->thickness);
    }
  }
  const bool pointsInLanes = lanePointsAlike(elements);
  GaussPoint* first[kLaneWidth];
  for (int l = 0; l < kLaneWidth; ++l) first[l] = elements[l]->gaussPoint;
  const auto pointAt = [&](int i, MaterialStatus* state[], LaneDouble& weight, LaneDouble& zeta) {
    pointOfRecords(first, i, state, weight, zeta);
  };
  const auto integrate = [&](const LaneDouble strain[8], LaneDouble A, btshell::Resultants<LaneDouble>& R) {
    if (pointsInLanes) {
      integrateThicknessLanes(elements, material, elements[0]->integratPointNum, first, pointAt, strain, A, dt, R);
      return;
    }
    for (int l = 0; l < kLaneWidth; ++l) {
      double sl[8];
      laneOut<8>(strain, l, sl);
      btshell::Resultants<double> Rl;
      btshell::integrateThickness(*elements[l], material, sl, laneGet(A, l), dt, Rl);
      laneSet(R.Nxx, l, Rl.Nxx);
      laneSet(R.Nyy, l, Rl.Nyy);
      laneSet(R.Nxy, l, Rl.Nxy);
      laneSet(R.Mxx, l, Rl.Mxx);
      laneSet(R.Myy, l, Rl.Myy);
      laneSet(R.Mxy, l, Rl.Mxy);
      laneSet(R.Qyz, l, Rl.Qyz);
      laneSet(R.Qxz, l, Rl.Qxz);
    }
  };
  return groupBody(material, section, control, elements, x, du, dr, nodeThick, integrate, dt, safeFactor, steps);
}
