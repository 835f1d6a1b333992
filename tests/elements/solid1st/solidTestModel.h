// Small first-order solid models built by hand for the formulation and
// driver tests: nodes, solids, their integration points and elastic states,
// all in host vectors, with a linear elastic steel-like material.
#pragma once
#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

#include "core/node.h"
#include "elements/common/gausspoint.h"
#include "elements/common/hourglasscontrol.h"
#include "elements/solid1st/solid1st.h"
#include "elements/solid1st/solidElementCuda.h"
#include "materials/linearelastic.h"
#include "tests/elements/common/elementTestModel.h"
#include "materials/material.h"
#include "materials/materialstatus.h"

namespace solidtest {

// A material record of type 2 with its derived constants and wave speeds.
inline std::unique_ptr<Material> elasticRecord(double E, double nu, double rho) {
  auto rec = std::make_unique<Material>();
  rec->id = 1;
  rec->type = 2;
  rec->youngs_modulus = E;
  rec->poissons_ratio = nu;
  rec->density = rho;
  rec->calMaterialConstants();
  rec->computeWaveNumber();
  return rec;
}

struct SolidModel {
  std::vector<NodeCuda> nodes;
  std::vector<SolidElementCuda> elems;
  std::vector<GaussPoint> points;
  std::vector<ElasticMaterialStatus> states;
  std::vector<double> derivatives;  // storage of the total-Lagrangian point arrays
  std::unique_ptr<Material> record = elasticRecord(2.1e11, 0.3, 7850.0);
  std::unique_ptr<LinearElasticMaterial> material = std::make_unique<LinearElasticMaterial>(record.get());
  HourglassControl hourglass;

  int addNode(double x, double y, double z) { return elmtest::appendNode(nodes, x, y, z); }

  // A solid of the given type on 1-based node ids (degenerate shapes repeat
  // ids up to eight slots).
  void addSolid(ElementNewType type, std::initializer_list<int> ids) {
    SolidElementCuda e;
    e.id = static_cast<int>(elems.size()) + 1;
    e.type = type;
    e.material_id = 1;
    e.section_id = 1;
    e.dtScaleFactor = 1.0;
    e.sectionType = FAMILY_SOLID;
    int k = 0, last = 0;
    for (int id : ids) e.node_id[k++] = last = id;
    for (; k < 8; ++k) e.node_id[k] = last;
    switch (type) {
      case ET_TETRA_TL:
        e.node_num = 4;
        e.integratPointNum = 1;
        e.tlFlag = 1;
        break;
      case ET_PYRAMID_TL:
        e.node_num = 5;
        e.integratPointNum = 4;
        e.tlFlag = 1;
        break;
      case ET_HEXA_FULL:
      case ET_HEXA_INCOMPATIBLE:
      case ET_SOLID_SHELL8:
        e.node_num = 8;
        e.integratPointNum = 8;
        break;
      case ET_PENTA:
        e.node_num = 6;
        e.integratPointNum = 2;
        break;
      case ET_SOLID_SHELL6:
        e.node_num = 6;
        e.integratPointNum = 2;
        break;
      case ET_PENTA_REDUCED:
        e.node_num = 8;
        e.integratPointNum = 1;
        break;
      default:
        e.node_num = 8;
        e.integratPointNum = 1;
        break;
    }
    e.gaussNodeNum = e.node_num;
    e.gaussPointIndex = static_cast<int>(points.size());
    const double g = 1.0 / std::sqrt(3.0);
    for (int p = 0; p < e.integratPointNum; ++p) {
      GaussPoint gp;
      gp.nodeNumber_ = e.node_num;
      gp.matStatusIndex_ = static_cast<int>(points.size());
      gp.elementType_ = type;
      if (type == ET_HEXA_FULL || type == ET_HEXA_INCOMPATIBLE || type == ET_SOLID_SHELL8) {
        gp.coord_[0] = (p & 4) ? g : -g;
        gp.coord_[1] = (p & 2) ? g : -g;
        gp.coord_[2] = (p & 1) ? g : -g;
        gp.weight_ = 1.0;
      } else if (type == ET_PENTA || type == ET_SOLID_SHELL6) {
        gp.coord_[0] = gp.coord_[1] = 1.0 / 3.0;
        gp.coord_[2] = p == 0 ? -g : g;
        gp.weight_ = 0.5;
      } else if (type == ET_TETRA_TL) {
        gp.coord_[0] = gp.coord_[1] = gp.coord_[2] = 0.25;
        gp.weight_ = 1.0 / 6.0;
      } else if (type != ET_PYRAMID_TL) {
        gp.weight_ = 8.0;
      }
      points.push_back(gp);
    }
    elems.push_back(e);
  }

  // Pointers between the vectors, once they are complete; the
  // total-Lagrangian solids get their reference derivatives.
  void link() {
    states.assign(points.size(), ElasticMaterialStatus{});
    size_t derivCount = 0;
    for (const GaussPoint& gp : points)
      if (gp.elementType_ == ET_TETRA_TL || gp.elementType_ == ET_PYRAMID_TL) derivCount += 3 * gp.nodeNumber_;
    derivatives.assign(derivCount, 0.0);
    double* d = derivatives.data();
    for (size_t p = 0; p < points.size(); ++p) {
      GaussPoint& gp = points[p];
      gp.matStatus_ = &states[p];
      states[p].linkGaussPoint(&gp);
      if (gp.elementType_ == ET_TETRA_TL || gp.elementType_ == ET_PYRAMID_TL) {
        gp.shapePartialDx_ = d;
        gp.shapePartialDy_ = d + gp.nodeNumber_;
        gp.shapePartialDz_ = d + 2 * gp.nodeNumber_;
        d += 3 * gp.nodeNumber_;
      }
    }
    for (SolidElementCuda& e : elems) {
      e.bulidNodeMatch(nodes.data());
      e.gaussPoint = points.data() + e.gaussPointIndex;
      for (int p = 0; p < e.integratPointNum; ++p) e.ownPoint(e.gaussPoint[p]);
      e.setSolidTLIntegration(e.integratPointNum);
    }
  }

  // One step of the velocity field v = a + L x whose mid-step positions are
  // the nodes' present coordinates: each node has moved by du = dt v, from
  // x - du/2 to x + du/2, as the displacement update leaves it before the
  // forces.  The total displacement is du/2 (the reference is the mid-step
  // shape), so every formulation sees exactly the rate L.
  void setLinearVelocity(const double a[3], const double L[3][3], double dt) {
    for (NodeCuda& n : nodes) {
      for (int i = 0; i < 3; ++i) n.vel[i] = a[i] + L[i][0] * n.coord[0] + L[i][1] * n.coord[1] + L[i][2] * n.coord[2];
      for (int i = 0; i < 3; ++i) {
        n.step_disp[i] = dt * n.vel[i];
        n.total_disp[i] = 0.5 * n.step_disp[i];
        n.coord[i] += 0.5 * n.step_disp[i];
      }
    }
  }

  void computeForces(double dt) {
    for (SolidElementCuda& e : elems) e.computeSolidInterForceGpu(material.get(), nullptr, &hourglass, dt);
  }
};

// 3 x 3 x 3 nodes of a 2 x 2 x 2 block of edge h, with the interior and some
// boundary nodes moved so that no element is a parallelepiped.
inline void distortedGrid(SolidModel& m, double h) {
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 3; ++i) {
        double x = i * h, y = j * h, z = k * h;
        const int seed = i + 3 * j + 9 * k;
        x += 0.12 * h * std::sin(1.7 * seed + 0.3);
        y += 0.10 * h * std::cos(2.3 * seed + 0.1);
        z += 0.09 * h * std::sin(0.7 * seed + 1.1);
        m.addNode(x, y, z);
      }
}

// The unit right tetrahedron (0,0,0), (1,0,0), (0,1,0), (0,0,1), linked.
inline void unitRightTetrahedron(SolidModel& m) {
  m.addNode(0, 0, 0);
  m.addNode(1, 0, 0);
  m.addNode(0, 1, 0);
  m.addNode(0, 0, 1);
  m.addSolid(ET_TETRA_TL, {1, 2, 3, 4});
  m.link();
}

// A one-point hexahedron cube of edge h starting at x0 (mirror = -1 gives
// its inverted mirror image in x).
inline void addCube(SolidModel& m, double h, double x0 = 0.0, double mirror = 1.0) {
  const int first = static_cast<int>(m.nodes.size()) + 1;
  for (int I = 0; I < 8; ++I)
    m.addNode(x0 + mirror * 0.5 * (1 + solid1st::hexaCorner(0, I)) * h, 0.5 * (1 + solid1st::hexaCorner(1, I)) * h,
              0.5 * (1 + solid1st::hexaCorner(2, I)) * h);
  m.addSolid(ET_HEXA_REDUCED, {first, first + 1, first + 2, first + 3, first + 4, first + 5, first + 6, first + 7});
}

inline int gridNode(int i, int j, int k) { return 1 + i + 3 * j + 9 * k; }

// Hexahedron ids of grid cell (i, j, k) in the element's corner order
// (corners 1-4 on the upper face, 5-8 on the lower).
inline void cellIds(int i, int j, int k, int ids[8]) {
  const int c[8][3] = {{0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
  for (int I = 0; I < 8; ++I) ids[I] = gridNode(i + c[I][0], j + c[I][1], k + c[I][2]);
}

}  // namespace solidtest
