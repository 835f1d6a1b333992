// The resultant beam with shear deformation (type codes 1 and 2): end
// moments, torque and axial force updated from the co-rotational
// increments, elastically or, for an elastic-plastic tube with section
// points, by integration over the wall.
#include "core/section.h"
#include "elements/beam/beamElementCuda.h"
#include "elements/beam/beamFrame.h"
#include "elements/beam/beamTube.h"
#include "materials/materialnew.h"

namespace {

// Elastic increments of the end moments and torque.  Bending about y is
// resisted by Iyy, bending about z by Izz; a section without shear area
// bends as an Euler-Bernoulli beam (phi = 0).
__host__ __device__ void elasticResultants(BeamElementCuda& e, const Section& s, double E, double nu,
                                           const BeamKinematics& k) {
  const double L0 = e.initialLength;
  const double shearTerm = s.As > 0.0 && L0 > 0.0 ? 24.0 * (1.0 + nu) / (s.As * L0 * L0) : 0.0;
  const double phiY = shearTerm * s.Iyy;
  const double phiZ = shearTerm * s.Izz;
  const double kY = L0 > 0.0 ? E * s.Iyy / (L0 * (1.0 + phiY)) : 0.0;
  const double kZ = L0 > 0.0 ? E * s.Izz / (L0 * (1.0 + phiZ)) : 0.0;
  e.moment1Y += kY * ((4.0 + phiY) * k.r1y + (2.0 - phiY) * k.r2y);
  e.moment2Y += kY * ((2.0 - phiY) * k.r1y + (4.0 + phiY) * k.r2y);
  e.moment1Z += kZ * ((4.0 + phiZ) * k.r1z + (2.0 - phiZ) * k.r2z);
  e.moment2Z += kZ * ((2.0 - phiZ) * k.r1z + (4.0 + phiZ) * k.r2z);
  if (L0 > 0.0) e.torque += E * s.J / L0 * 0.5 / (1.0 + nu) * k.dTwist;
  e.axialForce = s.A * e.axialStress;
}

}  // namespace

__host__ __device__ bool beamIntegratesTube(int materialType, const Section& s) {
  return materialType == MT_ELASTIC_PLASTIC && s.point_count >= 3 && s.outer_diameter[0] > s.inner_diameter[0];
}

__host__ __device__ void BeamElementCuda::writeLocalLoads(const double e1[3], const double y[3], const double z[3],
                                                          const double f1[3], const double m1[3], const double f2[3],
                                                          const double m2[3]) {
  double g[3];
  const double* local[4] = {f1, m1, f2, m2};
  for (int r = 0; r < 4; ++r) {
    beamvec::combine(local[r][0], e1, local[r][1], y, local[r][2], z, g);
    for (int j = 0; j < 3; ++j) interForce[r / 2][(r % 2) * 3 + j] = g[j];
  }
}

__host__ __device__ void BeamElementCuda::interForce_bsbeam_Gpu(const MaterialNew* material, const Section* section,
                                                                double timeStep) {
  if (material == nullptr || section == nullptr || node[0] == nullptr || node[1] == nullptr) return;
  BeamKinematics k;
  calBeamLocateAxi(timeStep, k);
  brigid(timeStep, k);
  length = k.L;
  const double L = k.L > kBeamLengthFloor ? k.L : kBeamLengthFloor;
  const double E = material->youngModulus;
  const double nu = material->poissonRatio;
  elongation += k.delta;
  axialStrain += k.delta / L;
  axialStress += E * k.delta / L;
  if (beamIntegratesTube(material->type, *section)) {
    BeamResultants r;
    tubeResultants(*this, *section, E, nu, k, r);
    axialForce = r.N;
    moment1Y = r.M1y;
    moment1Z = r.M1z;
    torque = r.T;
    moment2Y = r.M2y;
    moment2Z = r.M2z;
  } else {
    elasticResultants(*this, *section, E, nu, k);
  }
  const double Va = (moment1Z + moment2Z) / L;
  const double Vb = -(moment1Y + moment2Y) / L;
  shearForceY = -Va;
  shearForceZ = -Vb;
  rotation1Y += k.r1y;
  rotation1Z += k.r1z;
  twist += k.dTwist;
  rotation2Y += k.r2y;
  rotation2Z += k.r2z;
  const double f1[3] = {-axialForce, Va, Vb};
  const double m1[3] = {-torque, moment1Y, moment1Z};
  const double f2[3] = {axialForce, -Va, -Vb};
  const double m2[3] = {torque, moment2Y, moment2Z};
  writeLocalLoads(k.e1, k.ym, k.zm, f1, m1, f2, m2);
}
