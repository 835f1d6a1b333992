// Groups of kLaneWidth Belytschko-Tsay shells computed together in lanes,
// with the body the one-element path uses; the points through the thickness
// and their material calls stay one element at a time.
#include <cstddef>
#include <cstdio>

#include "elements/btshellBody.h"
#include "elements/laneGroupAhead.h"
#include "materials/planeStressLanes.h"

namespace {

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

// The records of the next groups, fetched while this one computes; of the
// nodes, the lines of the motion gatherNodes reads.
__host__ __device__ void prefetchAhead(ShellElementCuda* const* elements, int remaining) {
  prefetchGroupsAhead(elements, remaining, [](const NodeCuda& nd) {
    lanePrefetchBytes(nd.coord, sizeof(nd.coord));
    lanePrefetchBytes(nd.vel, sizeof(nd.vel));
  });
  // The hourglass thickness is the first node's, often on a line of its own.
  for (int l = kLaneWidth; l < 2 * kLaneWidth && l < remaining; ++l)
    if (const NodeCuda* nd = elements[l]->node[0]) lanePrefetch(&nd->thickness);
}

// Corner coordinates and increments (velocity x dt) of the group's nodes,
// each value gathered whole from the four elements; false, having read
// nothing, when a corner has no node.
__host__ __device__ bool gatherGroupNodes(ShellElementCuda* const* elements, double dt, LaneDouble x[4][3],
                                          LaneDouble du[4][3], LaneDouble dr[4][3]) {
  for (int l = 0; l < kLaneWidth; ++l)
    for (const NodeCuda* nd : elements[l]->node)
      if (nd == nullptr) return false;
  for (int I = 0; I < 4; ++I) {
    const double* coord[kLaneWidth];
    const double* vel[kLaneWidth];
    const double* spin[kLaneWidth];
    for (int l = 0; l < kLaneWidth; ++l) {
      const NodeCuda* nd = elements[l]->node[I];
      coord[l] = nd->coord;
      vel[l] = nd->vel;
      spin[l] = nd->vel + 3;
    }
    laneGather<3>(coord, x[I]);
    laneGather<3>(vel, du[I]);
    laneGather<3>(spin, dr[I]);
    for (int k = 0; k < 3; ++k) {
      du[I][k] *= dt;
      dr[I][k] *= dt;
    }
  }
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

// integrateThickness of the group's elements, point i of every element at
// a time in lanes: the same sums in the same order.
__host__ __device__ void integrateThicknessLanes(ShellElementCuda* const* elements, const MaterialNew* material,
                                                 const LaneDouble strain[8], LaneDouble area, double dt,
                                                 btshell::Resultants<LaneDouble>& R) {
  const double* thick[kLaneWidth];
  for (int l = 0; l < kLaneWidth; ++l) thick[l] = &elements[l]->thickCurrent;
  LaneDouble t;
  laneGather<1>(thick, &t);
  const int np = elements[0]->integratPointNum;
  for (int i = 0; i < np; ++i) {
    GaussPoint* gp[kLaneWidth];
    const double* rule[kLaneWidth];  // weight, then the first coordinate
    for (int l = 0; l < kLaneWidth; ++l) {
      gp[l] = elements[l]->gaussPoint + i;
      rule[l] = &gp[l]->weight_;
    }
    static_assert(offsetof(GaussPoint, coord_) == offsetof(GaussPoint, weight_) + sizeof(double));
    LaneDouble weightZeta[2];
    laneGather<2>(rule, weightZeta);
    const LaneDouble weight = weightZeta[0], zeta = weightZeta[1];
    const LaneDouble z = 0.5 * t * zeta;
    const LaneDouble d[6] = {strain[0] + z * strain[3], strain[1] - z * strain[4], 0.0,
                             strain[2] + z * strain[5], strain[6],               strain[7]};
    LaneDouble s[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    plane_stress_lanes::update(material, gp, d, s, dt);
    btshell::addPointResultants<LaneDouble>(0.5 * t * weight * area, z, s, R);
  }
}

}  // namespace

FEM_LANE_KERNEL __host__ __device__ bool btShellLaneGroup(MaterialNew* const* materials, const Section* sections,
                                                          const HourglassControl* hourglass,
                                                          ShellElementCuda* const* elements, int remaining, double dt,
                                                          double safeFactor, double* steps) {
  const Section* section = nullptr;
  const HourglassControl* control = nullptr;
  const MaterialNew* material = laneGroupMaterial(materials, sections, hourglass, elements, &section, &control);
  if (material == nullptr) return false;
  prefetchAhead(elements, remaining);
  LaneDouble x[4][3], du[4][3], dr[4][3];
  // A shell with a missing corner node reads it as zero, as its own pass.
  if (!gatherGroupNodes(elements, dt, x, du, dr))
    for (int l = 0; l < kLaneWidth; ++l) {
      double xl[4][3], dul[4][3], drl[4][3];
      shell1st::gatherNodes(*elements[l], 4, dt, xl, dul, drl);
      laneIn<12>(&xl[0][0], l, &x[0][0]);
      laneIn<12>(&dul[0][0], l, &du[0][0]);
      laneIn<12>(&drl[0][0], l, &dr[0][0]);
    }
  shell1st::QuadFrames<LaneDouble> q;
  shell1st::quadFrames(x, du, q);
  // Collapsed or inverted shells take the one-element path (nothing is
  // written before this point).
  if (!laneAll(q.area > 0.0)) return false;

  btshell::ElementState<LaneDouble> s;
  for (int l = 0; l < kLaneWidth; ++l) {
    btshell::ElementState<double> sl;
    btshell::initState(*elements[l], section, control, sl);
    s.shearFactor = sl.shearFactor;
    s.hourglassCoef = sl.hourglassCoef;
    laneSet(s.hourglassThick, l, sl.hourglassThick);
    laneIn<5>(sl.hourglass, l, s.hourglass);
  }
  const auto checkArea = [&](const LaneDouble a[4], LaneDouble A) {
    for (int l = 0; l < kLaneWidth; ++l) {
      double al[4];
      laneOut<4>(a, l, al);
      if (!shell1st::quadAreaSound(al, laneGet(A, l))) printf("四边形壳单元 %d 面积求解错误\n", elements[l]->id);
    }
  };
  const bool pointsInLanes = lanePointsAlike(elements);
  const auto integrate = [&](const LaneDouble strain[8], LaneDouble A, btshell::Resultants<LaneDouble>& R) {
    if (pointsInLanes) {
      integrateThicknessLanes(elements, material, strain, A, dt, R);
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
  LaneDouble force[4][6];
  btshell::bodyForce(material, q, du, dr, s, checkArea, integrate, force);

  // Length and step from the current corners, as each element's own pass.
  const LaneDouble length = shell1st::quadLength(x, q.area);
  LaneDouble multiplier;
  for (int l = 0; l < kLaneWidth; ++l) laneSet(multiplier, l, elements[l]->dtScaleFactor);
  const LaneDouble step = solid1st::solidStableStep(multiplier, safeFactor, length, material->waveSpeed[1]);
  for (int l = 0; l < kLaneWidth; ++l) {
    ShellElementCuda& e = *elements[l];
    laneOut<24>(&force[0][0], l, &e.interForce[0][0]);
    laneOut<5>(s.hourglass, l, e.hourglassStress);
    e.area = laneGet(q.area, l);
    e.charactLength = laneGet(length, l);
    e.dt = steps[l] = laneGet(step, l);
  }
  return true;
}
