// Groups of kLaneWidth one-point hexahedra (type 18) computed together in
// lanes, with the body the one-element path uses.  Lane kernel files are
// compiled with full loop unrolling in the host build.
#include "elements/hexa1stRBody.h"
#include "elements/laneGroupAhead.h"
#include "platform/simdLane.h"

namespace {

// The elements of a group the lanes can compute: one-point hexahedra of the
// material model and the hourglass control (*control) of the first, whose
// points carry a state.
__host__ __device__ const MaterialNew* laneGroupMaterial(MaterialNew* const* materials,
                                                         const HourglassControl* hourglass,
                                                         SolidElementCuda* const* elements,
                                                         const HourglassControl** control) {
  const int id = elements[0]->material_id;
  const MaterialNew* material = id >= 1 ? materials[id - 1] : nullptr;
  if (material == nullptr || material->id != id) return nullptr;
  *control = hourglassOfPart(hourglass, elements[0]->part_id);
  for (int l = 0; l < kLaneWidth; ++l) {
    const SolidElementCuda* e = elements[l];
    if (e->type != ET_HEXA_REDUCED || e->sfemType != SFEM_NONE || e->material_id != id || e->gaussPoint == nullptr ||
        e->gaussPoint->matStatus_ == nullptr || !sameHourglass(hourglassOfPart(hourglass, e->part_id), *control))
      return nullptr;
  }
  return material;
}

// The records of the next groups, fetched while this one computes; of the
// nodes, the lines of the motion gatherSolidMotion reads.
__host__ __device__ void prefetchAhead(SolidElementCuda* const* elements, int remaining) {
  prefetchGroupsAhead(elements, remaining, [](const NodeCuda& nd) {
    lanePrefetchBytes(nd.coord, 3 * sizeof(double));
    lanePrefetchBytes(nd.step_disp, 3 * sizeof(double));
    lanePrefetchBytes(nd.vel, 3 * sizeof(double));
  });
}

// Current, mid-step coordinates and velocities of the group's nodes.
__host__ __device__ void gatherLaneMotion(SolidElementCuda* const* elements, LaneDouble x[8][3], LaneDouble xm[8][3],
                                          LaneDouble v[8][3]) {
  for (int l = 0; l < kLaneWidth; ++l) {
    double xl[8][3], xml[8][3], vl[8][3];
    gatherSolidMotion(*elements[l], 8, xl, xml, vl);
    laneIn<24>(&xl[0][0], l, &x[0][0]);
    laneIn<24>(&xml[0][0], l, &xm[0][0]);
    laneIn<24>(&vl[0][0], l, &v[0][0]);
  }
}

}  // namespace

FEM_LANE_KERNEL __host__ __device__ bool onePointHexaLaneGroup(MaterialNew* const* materials,
                                                               const HourglassControl* hourglass,
                                                               SolidElementCuda* const* elements, int remaining,
                                                               double dt, double safeFactor, double* steps) {
  const HourglassControl* control = nullptr;
  const MaterialNew* material = laneGroupMaterial(materials, hourglass, elements, &control);
  if (material == nullptr) return false;
  prefetchAhead(elements, remaining);
  LaneDouble x[8][3], xm[8][3], v[8][3], B[3][8], Bm[3][8];
  gatherLaneMotion(elements, x, xm, v);
  const LaneDouble V = onepoint::centreGradients(x, B), Vm = onepoint::centreGradients(xm, Bm);
  LaneDouble V0;
  for (int l = 0; l < kLaneWidth; ++l) laneSet(V0, l, onepoint::initialVolume(*elements[l], false));
  // Mirror-numbered, collapsed and inside-out elements (a volume of another
  // sign than the initial one) take the one-element path.
  if (!laneAll((V > 0.0) & (Vm > 0.0) & (V0 > 0.0))) return false;

  LaneDouble Q[12], f[8][3];
  for (int l = 0; l < kLaneWidth; ++l) laneIn<12>(&elements[l]->hourglassValue[0][0], l, Q);
  const auto pointStress = [&](LaneDouble G[3][3], LaneDouble sigma[3][3]) {
    for (int l = 0; l < kLaneWidth; ++l) {
      double Gl[3][3], sl[3][3];
      laneOut<9>(&G[0][0], l, &Gl[0][0]);
      solidPointStress(material, elements[l]->gaussPoint, Gl, sl, dt);
      laneIn<9>(&sl[0][0], l, &sigma[0][0]);
    }
  };
  onepoint::onePointBodyForce(material, dt, control, x, v, B, V, Bm, Vm, Q, pointStress, f);

  // The step from the characteristic length (times the set-up scale of an
  // element that may have one), as each element's own pass.
  LaneDouble scale, multiplier;
  for (int l = 0; l < kLaneWidth; ++l) {
    const SolidElementCuda& e = *elements[l];
    laneSet(scale, l, e.lengthScale > 0.0 ? e.lengthScale : 1.0);
    laneSet(multiplier, l, e.dtScaleFactor);
  }
  const LaneDouble length = solid1st::hexaCharactLength(x) * scale;
  const LaneDouble step = solid1st::solidStableStep(multiplier, safeFactor, length, material->waveSpeed[0]);
  for (int l = 0; l < kLaneWidth; ++l) {
    SolidElementCuda& e = *elements[l];
    laneOut<24>(&f[0][0], l, &e.interForce[0][0]);
    laneOut<12>(Q, l, &e.hourglassValue[0][0]);
    e.volume = laneGet(V, l);
    e.charactLength = laneGet(length, l);
    e.dt = steps[l] = laneGet(step, l);
  }
  return true;
}
