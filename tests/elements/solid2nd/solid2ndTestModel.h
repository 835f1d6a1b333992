// Small ten-node tetrahedron models built by hand for the second-order
// solid tests: nodes, elements with their four-point rule, elastic states and
// a linear elastic material, all in host vectors.
#pragma once
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "core/node.h"
#include "elements/common/gausspoint.h"
#include "elements/common/integrationRule.h"
#include "elements/solid2nd/solidElement2nd.h"
#include "elements/solid2nd/tet2nd.h"
#include "materials/linearelastic.h"
#include "materials/material.h"
#include "materials/materialstatus.h"
#include "tests/elements/solid1st/solidTestModel.h"

namespace solid2ndtest {

// Mid-side node k (4..9) lies between these corners.
constexpr int kEdge[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};

struct Tet10Model {
  solidtest::SolidModel base;  // the nodes and the elastic record and model
  std::vector<NodeCuda>& nodes = base.nodes;
  std::vector<SolidElement2nd> elems;
  std::vector<GaussPoint> points;
  std::vector<ElasticMaterialStatus> states;
  std::unique_ptr<Material>& record = base.record;
  std::unique_ptr<LinearElasticMaterial>& material = base.material;

  int addNode(double x, double y, double z) { return base.addNode(x, y, z); }

  // Element on ten 1-based node ids, with the four-point rule of the set-up.
  void addTet10(const int ids[10], ElementNewType type = ET_TETRA10) {
    SolidElement2nd e;
    e.id = static_cast<int>(elems.size()) + 1;
    e.type = type;
    e.material_id = 1;
    e.section_id = 1;
    e.dtScaleFactor = 1.0;
    e.sectionType = FAMILY_SOLID_2ND;
    e.node_num = e.gaussNodeNum = 10;
    e.integratPointNum = 4;
    e.stepModel.poisson = record->poissons_ratio;  // as the set-up gives it
    e.stepModel.density = record->density;
    for (int k = 0; k < 10; ++k) e.node_id[k] = ids[k];
    e.gaussPointIndex = static_cast<int>(points.size());
    const TetraRule rule = tetraRule(4);
    for (int p = 0; p < rule.n; ++p) {
      GaussPoint gp;
      gp.nodeNumber_ = 10;
      gp.matStatusIndex_ = static_cast<int>(points.size());
      gp.elementType_ = type;
      for (int k = 0; k < 3; ++k) gp.coord_[k] = rule.L[p][k];
      gp.weight_ = rule.w[p];
      points.push_back(gp);
    }
    elems.push_back(e);
  }

  // A straight-sided element on four corner coordinates: mid-side nodes at
  // the edge midpoints.
  void addStraightTet10(const double c[4][3], ElementNewType type = ET_TETRA10) {
    int ids[10];
    for (int k = 0; k < 4; ++k) ids[k] = addNode(c[k][0], c[k][1], c[k][2]);
    for (int m = 0; m < 6; ++m) {
      const double* a = c[kEdge[m][0]];
      const double* b = c[kEdge[m][1]];
      ids[4 + m] = addNode(0.5 * (a[0] + b[0]), 0.5 * (a[1] + b[1]), 0.5 * (a[2] + b[2]));
    }
    addTet10(ids, type);
  }

  void link() {
    states.assign(points.size(), ElasticMaterialStatus{});
    for (size_t p = 0; p < points.size(); ++p) {
      points[p].matStatus_ = &states[p];
      states[p].linkGaussPoint(&points[p]);
    }
    for (SolidElement2nd& e : elems) {
      e.bulidNodeMatch(nodes.data());
      e.gaussPoint = points.data() + e.gaussPointIndex;
      for (int p = 0; p < e.integratPointNum; ++p) e.ownPoint(e.gaussPoint[p]);
    }
  }

  // Node velocities v = a + L x and this step's displacement dt v.
  void setLinearVelocity(const double a[3], const double L[3][3], double dt) {
    for (NodeCuda& n : nodes)
      for (int i = 0; i < 3; ++i) {
        n.vel[i] = a[i] + L[i][0] * n.coord[0] + L[i][1] * n.coord[1] + L[i][2] * n.coord[2];
        n.step_disp[i] = dt * n.vel[i];
      }
  }

  void computeForces(double dt) {
    for (SolidElement2nd& e : elems) e.computeSolid2ndInterForceGpu(material.get(), nullptr, nullptr, dt);
  }

  // Sum of the element forces acting on each node (the gather of the cycle).
  std::vector<std::array<double, 3>> nodeForces() const {
    std::vector<std::array<double, 3>> f(nodes.size(), {0.0, 0.0, 0.0});
    for (const SolidElement2nd& e : elems)
      for (int I = 0; I < 10; ++I)
        for (int k = 0; k < 3; ++k) f[e.node_id[I] - 1][k] -= e.interForce[I][k];
    return f;
  }
};

// Corners of a few shapes: regular, flat, needle-like and skewed.
inline const double (&testShape(int s))[4][3] {
  static const double shapes[4][4][3] = {
      {{0, 0, 0}, {1, 0, 0}, {0.5, std::sqrt(0.75), 0}, {0.5, std::sqrt(0.75) / 3, std::sqrt(2.0 / 3.0)}},
      {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.3, 0.3, 0.15}},
      {{0, 0, 0}, {0.2, 0, 0}, {0, 0.2, 0}, {0.05, 0.05, 1.5}},
      {{0.1, -0.05, 0.02}, {1.1, 0.2, -0.1}, {0.3, 0.9, 0.2}, {0.5, 0.4, 0.8}}};
  return shapes[s];
}

}  // namespace solid2ndtest
