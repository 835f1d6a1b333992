// Free meshes of first-order solids stepped by the central-difference cycle
// (nodes move, then element forces, then velocities): kinetic energy plus
// the work of the internal forces, hourglass forces included, stays equal
// to the initial kinetic energy.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "tests/elements/solid1st/solidTestModel.h"

namespace {

using solidtest::SolidModel;

// Six tetrahedra per cell around the diagonal from corner 5 to corner 3.
void addCellTetrahedra(SolidModel& m, const int c[8]) {
  const int tets[6][4] = {{4, 2, 0, 1}, {4, 2, 1, 5}, {4, 2, 5, 6}, {4, 2, 6, 7}, {4, 2, 7, 3}, {4, 2, 3, 0}};
  for (const auto& t : tets) m.addSolid(ET_TETRA_TL, {c[t[0]], c[t[1]], c[t[2]], c[t[3]]});
}

// The 2 x 2 x 2 distorted block meshed with elements of one type (prisms
// cut along the cell diagonal for the pentahedra); with mirror, every other
// cell is numbered in mirror order (layers or triangles swapped).
void meshBlock(SolidModel& m, ElementNewType type, bool mirror) {
  solidtest::distortedGrid(m, 0.01);
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i) {
        int c[8];
        solidtest::cellIds(i, j, k, c);
        if (mirror && (i + j + k) % 2 == 1)
          for (int I = 0; I < 4; ++I) std::swap(c[I], c[I + 4]);
        if (type == ET_TETRA_TL) {
          addCellTetrahedra(m, c);
        } else if (type == ET_PENTA) {
          m.addSolid(type, {c[0], c[1], c[2], c[4], c[5], c[6]});
          m.addSolid(type, {c[0], c[2], c[3], c[4], c[6], c[7]});
        } else if (type == ET_PENTA_REDUCED) {
          m.addSolid(type, {c[0], c[1], c[5], c[4], c[2], c[2], c[6], c[6]});
          m.addSolid(type, {c[0], c[2], c[6], c[4], c[3], c[3], c[7], c[7]});
        } else {
          m.addSolid(type, {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]});
        }
      }
  m.link();
}

// Internal force of every node (x, y, z per node) after the hand-over.
std::vector<double> internalForces(SolidModel& m) {
  for (NodeCuda& n : m.nodes) n.force[0] = n.force[1] = n.force[2] = 0.0;
  for (SolidElementCuda& e : m.elems) e.discreteSolid1stInterForceToNodeCpu();
  std::vector<double> f(3 * m.nodes.size());
  for (size_t I = 0; I < m.nodes.size(); ++I)
    for (int k = 0; k < 3; ++k) f[3 * I + k] = -m.nodes[I].force[k];
  return f;
}

// Largest relative change of kinetic energy plus internal work over the run,
// from a velocity field with rigid, straining and hourglass parts.
double energyDrift(SolidModel& m, double dt, int cycles) {
  for (SolidElementCuda& e : m.elems) e.calSolidNodeMass(m.record.get(), nullptr);
  const size_t n = m.nodes.size();
  for (size_t I = 0; I < n; ++I)
    for (int k = 0; k < 3; ++k) m.nodes[I].vel[k] = std::sin(7.3 * static_cast<double>(I) + 1.9 * k + 0.4);
  double e0 = 0.0;
  for (const NodeCuda& nd : m.nodes)
    e0 += 0.5 * nd.mass * (nd.vel[0] * nd.vel[0] + nd.vel[1] * nd.vel[1] + nd.vel[2] * nd.vel[2]);
  std::vector<double> fOld(3 * n, 0.0);  // unstressed at the start
  double work = 0.0, drift = 0.0;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    for (NodeCuda& nd : m.nodes) nd.dispUpdate(dt);
    m.computeForces(dt);
    const std::vector<double> f = internalForces(m);
    double kinetic = 0.0;
    for (size_t I = 0; I < n; ++I) {
      NodeCuda& nd = m.nodes[I];
      double vMean2 = 0.0;
      for (int k = 0; k < 3; ++k) {
        work += 0.5 * (fOld[3 * I + k] + f[3 * I + k]) * nd.step_disp[k];
        const double vNew = nd.vel[k] - dt * f[3 * I + k] / nd.mass;
        const double vMean = 0.5 * (nd.vel[k] + vNew);
        vMean2 += vMean * vMean;
        nd.vel[k] = vNew;
      }
      kinetic += 0.5 * nd.mass * vMean2;
    }
    fOld = f;
    drift = std::fmax(drift, std::fabs(kinetic + work - e0) / e0);
  }
  return drift;
}

// Every type with both stiffness forms of hourglass control (4, the
// accumulated form, and 6, the assumed-strain form; the viscous forms 1-3
// take energy out), each mesh also with half of its
// cells numbered in mirror order.  The step is about a thirtieth of the
// smallest element's stable step (the drift falls as its square), the run
// about five wave transits of the block.
TEST(Solid1stEnergy, FreeMeshKeepsKineticEnergyPlusInternalWork) {
  struct Case {
    ElementNewType type;
    int form;
  };
  for (const Case c : {Case{ET_TETRA_TL, 4}, Case{ET_HEXA_FULL, 4}, Case{ET_HEXA_REDUCED, 4}, Case{ET_HEXA_REDUCED, 6},
                       Case{ET_PENTA, 4}, Case{ET_PENTA_REDUCED, 4}, Case{ET_PENTA_REDUCED, 6}}) {
    for (bool mirror : {false, true}) {
      SolidModel m;
      m.hourglass.type = c.form;
      meshBlock(m, c.type, mirror);
      EXPECT_LT(energyDrift(m, 3e-8, 3000), 1e-3) << "type " << c.type << " form " << c.form << " mirror " << mirror;
    }
  }
}

}  // namespace
