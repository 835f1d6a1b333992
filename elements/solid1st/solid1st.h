// The formulations behind the first-order solid dispatcher
// (SolidElementCuda::computeSolidInterForceGpu) and the helpers they share:
// gathering node data into registers and calling the material at a point.
#pragma once
#include "elements/common/gausspoint.h"
#include "elements/solid1st/solid1stFormulation.h"
#include "elements/solid1st/solidElementCuda.h"
#include "materials/elementInversion.h"
#include "materials/materialnew.h"
#include "materials/materialstatus.h"
#include "platform/gpuRuntime.h"

struct HourglassControl;
struct Section;

// Number of integration domains of the pyramid.
constexpr int numIntegralDomains = 4;

// Node data of the first n slots; a slot without a node reads as zero.
// Any solid record with a node pointer array: first- and second-order alike.
template <typename SolidRecord>
__host__ __device__ inline void gatherSolidCoords(const SolidRecord& e, int n, double x[][3]) {
  for (int I = 0; I < n; ++I) {
    const NodeCuda* nd = e.node[I];
    for (int k = 0; k < 3; ++k) x[I][k] = nd != nullptr ? nd->coord[k] : 0.0;
  }
}

// Node data for the updated-Lagrangian formulations: current coordinates x,
// mid-step coordinates xm = x - du/2 (du the displacement of this step) and
// velocities v of the first n slots (a slot without a node reads as zero).
// From a list of node addresses (gatherNodeMotion) or from any solid record
// with a node pointer array (first- and second-order alike).
__host__ __device__ inline void gatherNodeMotion(const NodeCuda* const* node, int n, double x[][3], double xm[][3],
                                                 double v[][3]) {
  for (int I = 0; I < n; ++I) {
    const NodeCuda* nd = node[I];
    for (int k = 0; k < 3; ++k) {
      x[I][k] = nd != nullptr ? nd->coord[k] : 0.0;
      xm[I][k] = nd != nullptr ? nd->coord[k] - 0.5 * nd->step_disp[k] : 0.0;
      v[I][k] = nd != nullptr ? nd->vel[k] : 0.0;
    }
  }
}

template <typename SolidRecord>
__host__ __device__ inline void gatherSolidMotion(const SolidRecord& e, int n, double x[][3], double xm[][3],
                                                  double v[][3]) {
  gatherNodeMotion(e.node, n, x, xm, v);
}

// The same, each node's values from the motions the displacement update
// wrote where they hold the node, else from its record.
__host__ __device__ inline void gatherSolidMotion(const SolidElementCuda& e, int n, const NodeMotionView& motions,
                                                  double x[][3], double xm[][3], double v[][3]) {
  for (int I = 0; I < n; ++I) {
    const NodeMotion* m = motionOf(motions, e.node[I]);
    if (m == nullptr) {
      gatherNodeMotion(e.node + I, 1, x + I, xm + I, v + I);
      continue;
    }
    for (int k = 0; k < 3; ++k) {
      x[I][k] = m->coord[k];
      xm[I][k] = m->coord[k] - 0.5 * m->step[k];
      v[I][k] = m->vel[k];
    }
  }
}

// Initial coordinates X of the first n slots (a slot without a node reads
// as zero): the shape whose orientation the element keeps.
template <typename SolidRecord>
__host__ __device__ inline void gatherSolidReference(const SolidRecord& e, int n, double X[][3]) {
  for (int I = 0; I < n; ++I)
    for (int k = 0; k < 3; ++k) X[I][k] = e.node[I] != nullptr ? e.node[I]->ini_coord[k] : 0.0;
}

// A point whose volume measure (det J, or the one-point volume) has lost
// the sign it had on the initial shape, or vanished, is turned inside out:
// the element is reported, so that the pass stops the run, and true is
// returned.  An element numbered in mirror order keeps its negative sign
// and is sound.  Without an initial measure (zero or not finite) nothing
// is checked: a shape flat from the start is stopped by its step.
__host__ __device__ inline bool reportIfInverted(const Element& e, double present, double initial) {
  if (!nodeValueIsFinite(initial) || initial == 0.0) return false;
  const double J = present / initial;
  if (J > 0.0) return false;
  reportInvertedElement(e.id, e.store_id, J);
  return true;
}

// Cauchy stress of one point from the velocity gradient G through the
// material's 3-D update.  sigma starts from the point's stored stress, so a
// model without that update keeps the previous stress; a point without a
// state record gets zero stress and no update.
__host__ __device__ inline void solidPointStress(const MaterialNew* material, GaussPoint* gp, double G[3][3],
                                                 double sigma[3][3], double dt) {
  const MaterialStatus* st = gp != nullptr ? gp->matStatus_ : nullptr;
  if (st == nullptr || material == nullptr) {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) sigma[i][j] = 0.0;
    return;
  }
  stressVectorToMatrix(st->stress, sigma);
  material->computeStressMatrix3D(gp, G, sigma, dt);
}

// Updated-Lagrangian pass over the points of a solid record of either
// order with N nodes.  The velocity gradient is taken on the mid-step shape,
// so that a rigid rotation of the step gives no strain; the point volume
// |det J| x weight (stored in the point) and the stress divergence use the
// current shape.  localDerivatives(r, s, t, dN) gives the natural
// derivatives, pointStress(gp, G, sigma) the stress of one point.  Every
// force slot of the record past N is cleared.
template <int N, typename SolidRecord, typename LocalDerivatives, typename PointStress>
__host__ __device__ inline void updatedLagrangianPointForces(SolidRecord& e, LocalDerivatives localDerivatives,
                                                             PointStress pointStress) {
  double x[N][3], xm[N][3], v[N][3], f[N][3], X[N][3];
  gatherSolidMotion(e, N, x, xm, v);
  gatherSolidReference(e, N, X);
  for (int I = 0; I < N; ++I) f[I][0] = f[I][1] = f[I][2] = 0.0;
  GaussPoint* points = e.gaussPoint;
  const int np = points != nullptr ? e.integratPointNum : 0;
  for (int p = 0; p < np; ++p) {
    GaussPoint* gp = points + p;
    double dNl[3][N], dNx[3][N], dNm[3][N];
    localDerivatives(gp->coord_[0], gp->coord_[1], gp->coord_[2], dNl);
    const double detJ = solid1st::spatialDerivatives<N>(dNl, x, dNx);
    reportIfInverted(e, detJ, solid1st::jacobianDeterminant<N>(dNl, X));
    solid1st::spatialDerivatives<N>(dNl, xm, dNm);
    const double vp = fabs(detJ) * gp->weight_;
    gp->volume_ = vp;
    double G[3][3], sigma[3][3];
    solid1st::velocityGradient<N>(dNm, v, 1.0, G);
    pointStress(gp, G, sigma);
    solid1st::addStressDivergence<N>(sigma, dNx, vp, f);
  }
  constexpr int kSlots = sizeof(SolidRecord::interForce) / sizeof(SolidRecord::interForce[0]);
  for (int I = 0; I < kSlots; ++I)
    for (int k = 0; k < 3; ++k) e.interForce[I][k] = I < N ? f[I][k] : 0.0;
}

// The pass for a first-order solid, its points' stress by solidPointStress.
template <int N, typename LocalDerivatives>
__host__ __device__ inline void solidUpdatedLagrangianForce(SolidElementCuda& e, const MaterialNew* material, double dt,
                                                            LocalDerivatives localDerivatives) {
  updatedLagrangianPointForces<N>(e, localDerivatives, [&](GaussPoint* gp, double G[3][3], double sigma[3][3]) {
    solidPointStress(material, gp, G, sigma, dt);
  });
}

// Total-Lagrangian pass over the element's points with n nodes (4 or 5):
// each point holds its reference derivatives and reference volume.  The
// nodes' displacements come from motions where it holds them.
__host__ __device__ void solidTotalLagrangianForce(SolidElementCuda& e, const MaterialNew* material, double dt, int n,
                                                   const NodeMotionView& motions);

// Stable length of the element on the current shape x (its eight node
// slots), by formulation; negative for a type without a force, which keeps
// its characteristic length.
__host__ __device__ double solidStableLength(const SolidElementCuda& e, const double x[8][3]);
// The volume whose mass the element's bound takes, its present volume being
// volume (solidStableLength.h, boundMassVolume).
__host__ __device__ double solidMassVolume(const SolidElementCuda& e, double volume);

// Formulations by type code.
__host__ __device__ void interForceTetr1stGpuTL(SolidElementCuda& e, const MaterialNew* material, double dt,
                                                const NodeMotionView& motions);
__host__ __device__ void interForcePyramid1stGpuTL(SolidElementCuda& e, const MaterialNew* material,
                                                   const Section* section, double dt, const NodeMotionView& motions);
__host__ __device__ void interForceHexa1stGpu(SolidElementCuda& e, const MaterialNew* material, const Section* section,
                                              double dt, const NodeMotionView& motions);
__host__ __device__ void interForcePent1stGpu(SolidElementCuda& e, const MaterialNew* material, const Section* section,
                                              double dt);
__host__ __device__ void interForceHexa1stRGpu(SolidElementCuda& e, const MaterialNew* material, double dt,
                                               const HourglassControl* hourglass);
__host__ __device__ void interForcePent1stRGpu(SolidElementCuda& e, const MaterialNew* material, double dt,
                                               const HourglassControl* hourglass);

// One-point body shared by types 18 (centre gradients, exact = false) and 21
// (exact-volume gradients, exact = true): gradients on the mid-step shape for
// the strain rate, on the current shape for the forces and the hourglass
// modes.  Returns the current volume.
__host__ __device__ double onePointSolidForce(SolidElementCuda& e, const MaterialNew* material, double dt,
                                              const HourglassControl* hourglass, bool exact);

// Forces, volumes, lengths and steps of kLaneWidth one-point hexahedra
// (elements[0..kLaneWidth-1]) computed together, each element's step also
// into steps[l], as the driver computes a group (hexa1stRGroup.h) whose
// entry is made on the spot.  Returns false, having written nothing, when
// the group does not qualify (another type, another material, a
// smoothed-FEM solid, a point without state, a mirror-numbered or collapsed
// shape): its elements then take the one-element path.  hourglass is the
// table of one control per part (hourglassOfPart); the group's elements
// share one control.
__host__ __device__ bool onePointHexaLaneGroup(MaterialNew* const* materials, const HourglassControl* hourglass,
                                               SolidElementCuda* const* elements, double dt, double safeFactor,
                                               double* steps);

// Stress (out[0..5]) and strain (out[6..11]) an element gives its node at
// position local, for the nodal averages of output; false when it gives none.
__device__ bool computeTetr1stNodeStressStrainGpu(const SolidElementCuda& e, double* out);
__device__ bool computeHexa1stNodeStressStrainGpu(const SolidElementCuda& e, int local, double* out);

// Reference set-up of the total-Lagrangian types (host, before upload).
void setTetr1stTLIntegration(SolidElementCuda& e);
void setPyramid1stTLIntegration(SolidElementCuda& e, int pointNum);
