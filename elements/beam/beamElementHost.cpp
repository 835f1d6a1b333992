// Host side of the beam record: the force twins of the host-only loop and
// the set-up of frame, reference length, lumped mass and rotary inertia.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/section.h"
#include "elements/beam/beamElementCuda.h"
#include "elements/beam/beamFrame.h"
#include "materials/material.h"
#include "materials/materialnew.h"

void BeamElementCuda::subtractBlockFromNodes() {
  for (int n = 0; n < 2; ++n) {
    if (node[n] == nullptr) continue;
    for (int j = 0; j < 3; ++j) {
      node[n]->force[j] -= interForce[n][j];
      node[n]->moment[j] -= interForce[n][3 + j];
    }
  }
}

void BeamElementCuda::computeBeamInterForceCpu(const MaterialNew* material, const Section* section, double timeStep) {
  switch (type) {
    case ET_BEAM_NO_FORCE:
    case ET_BS_BEAM:
      interForce_bsbeam_Gpu(material, section, timeStep);
      subtractBlockFromNodes();
      break;
    case ET_SPRING:
      interForce_spring_Gpu(timeStep);
      subtractBlockFromNodes();
      break;
    case ET_TRUSS:
      interforce_truss_gpu(material, section, timeStep);
      subtractBlockFromNodes();
      break;
    default:
      printf("当前没有这种单元的内力计算方法，请补充\n");
      break;
  }
}

// e1 from end 1 to end 2; z = unit(e1 x d) with d toward the orientation
// node; y = z x e1.  Without an orientation node, or with one on the beam's
// axis, d is the global axis least aligned with the beam.
void BeamElementCuda::setInitialFrame() {
  double d12[3], e1[3];
  for (int j = 0; j < 3; ++j) d12[j] = node[1]->coord[j] - node[0]->coord[j];
  initialLength = beamvec::unitFloor(d12, e1, kBeamLengthFloor);
  length = initialLength;
  double d[3] = {0.0, 0.0, 0.0};
  if (node[2] != nullptr) {
    for (int j = 0; j < 3; ++j) d[j] = node[2]->coord[j] - node[0]->coord[j];
  }
  double z[3];
  beamvec::cross(e1, d, z);
  if (sqrt(beamvec::dot(z, z)) <= 1e-8 * (sqrt(beamvec::dot(d, d)) + 1e-300)) {
    int least = 0;
    for (int j = 1; j < 3; ++j)
      if (fabs(e1[j]) < fabs(e1[least])) least = j;
    for (int j = 0; j < 3; ++j) d[j] = j == least ? 1.0 : 0.0;
    beamvec::cross(e1, d, z);
  }
  beamvec::unitFloor(z, zAxis1, kBeamAxisFloor);
  beamvec::cross(zAxis1, e1, yAxis1);
  for (int j = 0; j < 3; ++j) {
    yAxis2[j] = yAxis1[j];
    zAxis2[j] = zAxis1[j];
  }
}

void BeamElementCuda::calBeamNodeMass(double rho, double A, double Iyy, double Izz, double J) {
  if (node[0] == nullptr || node[1] == nullptr) return;
  setInitialFrame();
  const double L0 = initialLength;
  const double m = rho * A * L0 / 2.0;
  const double Ix = 0.5 * rho * L0 * J;
  const double Iy = 0.5 * rho * L0 * (Iyy + A * L0 * L0 / 12.0);
  const double Iz = 0.5 * rho * L0 * (Izz + A * L0 * L0 / 12.0);
  double e1[3];
  beamvec::cross(yAxis1, zAxis1, e1);
  double G[3];
  for (int k = 0; k < 3; ++k) G[k] = yAxis1[k] * yAxis1[k] * Iy + e1[k] * e1[k] * Ix + zAxis1[k] * zAxis1[k] * Iz;
  for (int n = 0; n < 2; ++n) {
    node[n]->mass += m;
    for (int k = 0; k < 3; ++k) node[n]->rot_inertia[k] += G[k];
  }
  mass = rho * A * L0;
  for (int k = 0; k < 3; ++k) rotaryInertia[k] = 2.0 * G[k];
  node_num = 2;
}

namespace {
// omega_max / omega_axial of a free resultant beam with lumped end masses
// m = rho A L0 / 2.  Its end nodes keep the rotary inertias of the set-up
// axes while the beam turns, so a bending or twisting end may meet the
// smallest of them, Ir: each mode is taken on Ir about every axis (a bound
// that a turned beam reaches).  Per bending plane (Timoshenko, k = E I /
// (L0 (1 + phi))): the ends turning together with the chord,
// 6 k (4 / (L0^2 m) + 1 / Ir), and against each other, 2 E I / (L0 Ir);
// torsion 2 G J / (L0 Ir); axial 2 E A / (L0 m).
double beamFrequencyRatio(const BeamElementCuda& e, const Material& mat, const Section& s) {
  const double L0 = e.initialLength, m = 0.5 * e.mass, E = mat.youngs_modulus, nu = mat.poissons_ratio;
  double Ir = 0.5 * e.rotaryInertia[0];
  for (int k = 1; k < 3; ++k) Ir = std::min(Ir, 0.5 * e.rotaryInertia[k]);
  if (!(L0 > 0.0) || !(m > 0.0) || !(Ir > 0.0) || !(E > 0.0) || !(s.A > 0.0)) return 1.0;
  const double axial = 2.0 * E * s.A / (L0 * m);
  double highest = E / (1.0 + nu) * s.J / (L0 * Ir);
  for (const double I : {s.Iyy, s.Izz}) {
    const double phi = s.As > 0.0 ? 24.0 * (1.0 + nu) * I / (s.As * L0 * L0) : 0.0;
    const double k = E * I / (L0 * (1.0 + phi));
    highest = std::max({highest, 6.0 * k * (4.0 / (L0 * L0 * m) + 1.0 / Ir), 2.0 * E * I / (L0 * Ir)});
  }
  return std::max(1.0, std::sqrt(highest / axial));
}
}  // namespace

void BeamElementCuda::calSpringNodeMass(double rho, double springMass, double springInertia) {
  if (node[0] == nullptr || node[1] == nullptr) return;
  setInitialFrame();
  mass = rho * springMass;
  for (int n = 0; n < 2; ++n) {
    node[n]->mass += mass / 2.0;
    node[n]->rot_inertia[2] += mass / 2.0 * springInertia;
  }
  rotaryInertia[0] = rotaryInertia[1] = 0.0;
  rotaryInertia[2] = mass * springInertia;
}

void BeamElementCuda::initTubePoints(double yieldStress) {
  for (int i = 0; i < kBeamTubePointMax; ++i) yieldEnd1[i] = yieldEnd2[i] = yieldStress;
}

double BeamElementCuda::beamNodeMassCpu(const Material* material, const Section* section) {
  if (material == nullptr || section == nullptr) return mass;
  const double rho = material->density;
  switch (type) {
    case ET_BEAM_NO_FORCE:
    case ET_BS_BEAM:
      calBeamNodeMass(rho, section->A, section->Iyy, section->Izz, section->J);
      frequencyRatio = beamFrequencyRatio(*this, *material, *section);
      initTubePoints(material->yield_stress);
      break;
    case ET_TRUSS:
      // Axial bar: rho A L0 / 2 per end node, no rotary inertia.
      if (node[0] == nullptr || node[1] == nullptr) break;
      setInitialFrame();
      mass = rho * section->A * initialLength;
      for (int n = 0; n < 2; ++n) node[n]->mass += mass / 2.0;
      node_num = 2;
      break;
    case ET_SPRING:
      calSpringNodeMass(rho, section->discrete_beam_values[0], section->discrete_beam_values[1]);
      // Linear discrete-beam material: its axial stiffness; else E A / L0.
      if (material->type == MT_LINEAR_STIFFNESS_66)
        springStiffness = material->discrete_stiffness[0];
      else
        springStiffness = initialLength > 0.0 ? material->youngs_modulus * section->A / initialLength : 0.0;
      break;
    default:
      printf("当前没有这种单元的质量算法，请补充\n");
      break;
  }
  return mass;
}
