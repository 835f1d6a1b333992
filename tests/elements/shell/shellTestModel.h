// Small shell and membrane models for the formulation tests, set up by the
// element store's own host passes (types, counts, thicknesses, points, lumped
// masses) and stepped in the order of the time loop: nodes move, elements
// compute their forces, nodes gather them and update their velocities.
#pragma once
#include <cmath>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "core/node.h"
#include "core/section.h"
#include "elements/common/elmmanager.h"
#include "elements/common/nodeGather.h"
#include "materials/elasticplastic.h"
#include "materials/linearelastic.h"
#include "materials/material.h"
#include "materials/materialstatus.h"
#include "tests/elements/common/elementTestModel.h"

namespace shelltest {

inline Material elasticRecord(double E, double nu, double rho) {
  Material r;
  r.id = 1;
  r.type = MT_LINEAR_ELASTIC;
  r.youngs_modulus = E;
  r.poissons_ratio = nu;
  r.density = rho;
  r.calMaterialConstants();
  r.computeWaveNumber();
  return r;
}

// Bilinear elastic-plastic record: yield stress and tangent modulus.
inline Material plasticRecord(double E, double nu, double rho, double yield, double tangent) {
  Material r = elasticRecord(E, nu, rho);
  r.type = MT_ELASTIC_PLASTIC;
  r.yield_stress = yield;
  r.tangent_modulus = tangent;
  r.hardening_modulus = E * tangent / (E - tangent);
  return r;
}

// Shell section of card formulation F (element formulation code), thickness
// t and the given points through the thickness.
inline Section shellSection(int formulation, double t, int points) {
  Section s = elmtest::section(FAMILY_SHELL, formulation, points);
  for (double& v : s.thickness) v = t;
  s.shear_factor = 5.0 / 6.0;
  s.shell_constants[2] = 0.1;
  s.formulation8_value = formulation == ET_MEMBRANE4 ? 0.1 : 0.0;
  return s;
}

struct ShellModel {
  std::vector<NodeCuda> nodes;
  ElmManager store;
  std::vector<GaussPoint> points;
  std::vector<KinematicPlasticMaterialStatus> states;  // room for a back stress
  Material record;
  std::unique_ptr<MaterialNew> material;
  Section section;
  HourglassControl* hourglass = nullptr;  // the part's control (null: the section's coefficient)

  ShellModel(const Material& rec, const Section& sec) : record(rec), section(sec) {
    if (record.type == MT_ELASTIC_PLASTIC)
      material = std::make_unique<ElasticPlasticMaterial>(&record);
    else
      material = std::make_unique<LinearElasticMaterial>(&record);
  }

  std::vector<ShellElementCuda>& elems() { return store.shell_element_array_cpu; }

  int addNode(double x, double y, double z) { return elmtest::appendNode(nodes, x, y, z); }

  // A shell on node ids; a triangle gives three ids (the third is repeated).
  void addShell(std::initializer_list<int> ids) {
    ShellElementCuda e;
    e.id = static_cast<int>(elems().size()) + 1;
    e.part_id = 1;
    e.type = static_cast<ElementNewType>(section.element_formulation);  // as a reader would
    int k = 0, last = 0;
    for (int id : ids) e.node_id[k++] = last = id;
    for (; k < 4; ++k) e.node_id[k] = last;
    elems().push_back(e);
  }

  // The store's host passes (types included), the points with their rule and states, the
  // registration with the nodes and the lumped masses.
  void link() {
    store.setMaterialSectionId(1, 1);
    store.linkNodes(nodes.data(), static_cast<int>(nodes.size()));
    store.setNodeThickness(&section);
    elmtest::hostSetUp(store, section);
    int total = 0;
    for (ShellElementCuda& e : elems()) {
      e.gaussPointIndex = total;
      total += e.integratPointNum;
    }
    points.assign(static_cast<size_t>(total), GaussPoint{});
    states.assign(static_cast<size_t>(total), KinematicPlasticMaterialStatus(record.yield_stress));
    for (int p = 0; p < total; ++p) {
      points[p].matStatus_ = &states[p];
      states[p].gaussPoint = &points[p];
    }
    for (ShellElementCuda& e : elems()) {
      e.linkGaussPoint(points.data(), e.type, e.integratPointNum);
      e.setGaussPointCoordWeight(&section);
      for (int I = 0; I < e.shellNodeCount(); ++I) {
        NodeCuda& n = *e.node[I];
        n.element[n.element_num] = &e;
        n.local_node_num[n.element_num++] = I;
      }
    }
    store.calNodeMass(&record, &section);
    for (NodeCuda& n : nodes) n.storeInitialMass();
  }

  void computeForces(double dt) {
    for (ShellElementCuda& e : elems()) e.computeShellInterForceGpu(material.get(), &section, hourglass, dt);
  }

  // Nodes gather the element forces (from zero).
  void gather() {
    for (NodeCuda& n : nodes) {
      for (int k = 0; k < 3; ++k) n.force[k] = n.moment[k] = 0.0;
      calIndexInterFor(n);
    }
  }

  // One cycle with velocities given before the nodes move (prescribed
  // motion): nodes move, forces, gather.
  void prescribedCycle(double dt) {
    for (NodeCuda& n : nodes) n.dispUpdate(dt);
    computeForces(dt);
    gather();
  }

  // One explicit cycle; constrain(node) fixes velocities after the update.
  void explicitCycle(double dt, const std::function<void(NodeCuda&)>& constrain) {
    prescribedCycle(dt);
    for (NodeCuda& n : nodes) {
      n.accelVelUpdate(dt, dt);
      constrain(n);
    }
  }

  double maxNodalForce() const {
    double f = 0.0;
    for (const NodeCuda& n : nodes)
      for (int k = 0; k < 3; ++k) f = std::fmax(f, std::fmax(std::fabs(n.force[k]), std::fabs(n.moment[k])));
    return f;
  }
  double maxPointStress() const {
    double s = 0.0;
    for (const PlasticMaterialStatus& st : states)
      for (double v : st.stress) s = std::fmax(s, std::fabs(v));
    return s;
  }
};

// An nx x ny grid of quadrilaterals (or triangles, two per cell) over
// [0, lx] x [0, ly]; node (i, j) has id 1 + i + (nx + 1) j.
inline void grid(ShellModel& m, int nx, int ny, double lx, double ly, bool triangles) {
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i) m.addNode(lx * i / nx, ly * j / ny, 0.0);
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) {
      const int a = 1 + i + (nx + 1) * j, b = a + 1, c = b + nx + 1, d = a + nx + 1;
      if (triangles) {
        m.addShell({a, b, c});
        m.addShell({a, c, d});
      } else {
        m.addShell({a, b, c, d});
      }
    }
}

}  // namespace shelltest
