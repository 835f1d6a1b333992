// Small contact models built by hand: a solver with its managers, nodes on a
// grid, parts of hexahedra, tetrahedra or shells, and surfaces taken from
// them as model set-up takes them.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <vector>

#include "contact/contactManager.h"
#include "contact/contactnodemanager.h"
#include "contact/surfacemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "core/sectionmanager.h"
#include "elements/common/elmmanager.h"
#include "solver/femdynamic.h"

namespace contacttest {

struct Model {
  FEMDynamic fem;

  Model() {
    fem.newManagers();
    nodes().reserve(1000);  // shells keep pointers into it
    fem.part_array.reserve(8);
    fem.elm_manager_array.reserve(8);
    fem.sectionManager->section_array.reserve(8);
    fem.surfaceManager->surface_array.reserve(16);
  }

  std::vector<NodeCuda>& nodes() { return fem.nodeManager->node_array_cpu; }
  std::vector<Surface>& surfaces() { return fem.surfaceManager->surface_array; }
  NodeCuda& node(int id) { return nodes()[static_cast<std::size_t>(id - 1)]; }

  int addNode(double x, double y, double z, double thickness = 0.0) {
    NodeCuda n{};
    n.id = static_cast<int>(nodes().size()) + 1;
    n.store_id = n.id - 1;
    const double c[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) n.coord[i] = n.ini_coord[i] = c[i];
    n.thickness = thickness;
    nodes().push_back(n);
    return n.id;
  }
  // Node ids, the model's node map and count.
  void finishNodes() {
    fem.nodeManager->setNodeNum();
    fem.nodeManager->checkNodeIdMap();
  }

  // A part with a section of the given family and formulation; returns its
  // 1-based position.
  int addPart(const char* name, int family, ElementNewType formulation) {
    Section section;
    section.family_code = family;
    section.element_formulation = formulation;
    fem.sectionManager->section_array.push_back(section);
    fem.elm_manager_array.emplace_back();
    Part part;
    part.id = static_cast<int>(fem.part_array.size()) + 1;
    part.name = name;
    part.section = &fem.sectionManager->section_array.back();
    part.elmManager = &fem.elm_manager_array.back();
    fem.part_array.push_back(part);
    return part.id;
  }
  ElmManager& elements(int part) { return fem.elm_manager_array[static_cast<std::size_t>(part - 1)]; }

  void addSolid(int part, ElementNewType type, std::initializer_list<int> ids) {
    SolidElementCuda e;
    e.id = static_cast<int>(elements(part).solid_element_array_cpu.size()) + 1;
    e.type = type;
    int k = 0;
    for (int id : ids) e.node_id[k++] = id;
    for (; k > 0 && k < 8; ++k) e.node_id[k] = e.node_id[k - 1];
    elements(part).solid_element_array_cpu.push_back(e);
  }
  void addShell(int part, std::array<int, 4> ids) {
    ShellElementCuda e;
    e.id = static_cast<int>(elements(part).shell_element_array_cpu.size()) + 1;
    e.type = ET_BT_SHELL;
    for (int k = 0; k < 4; ++k) {
      e.node_id[k] = ids[static_cast<std::size_t>(k)];
      e.node[k] = &node(e.node_id[k]);
    }
    elements(part).shell_element_array_cpu.push_back(e);
  }

  // Nodes of an (nx+1) x (ny+1) x (nz+1) grid of spacing h; id of (i, j, k).
  int gridNode(int nx, int ny, int i, int j, int k) const { return 1 + i + (nx + 1) * (j + (ny + 1) * k); }
  void addGridNodes(int nx, int ny, int nz, double h, double thickness = 0.0) {
    for (int k = 0; k <= nz; ++k)
      for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) addNode(i * h, j * h, k * h, thickness);
  }
  // A block of nx x ny x nz reduced hexahedra on the grid nodes.
  int addHexBlock(int nx, int ny, int nz, double h) {
    addGridNodes(nx, ny, nz, h);
    finishNodes();
    const int part = addPart("block", 4, ET_HEXA_REDUCED);
    for (int k = 0; k < nz; ++k)
      for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
          auto g = [&](int a, int b, int c) { return gridNode(nx, ny, i + a, j + b, k + c); };
          addSolid(part, ET_HEXA_REDUCED,
                   {g(0, 0, 0), g(1, 0, 0), g(1, 1, 0), g(0, 1, 0), g(0, 0, 1), g(1, 0, 1), g(1, 1, 1), g(0, 1, 1)});
        }
    return part;
  }
  // A plate of nx x ny quadrilateral shells in the plane z = 0.
  int addPlate(int nx, int ny, double h, double thickness, const char* name = "plate") {
    const int first = static_cast<int>(nodes().size());
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) addNode(i * h, j * h, 0.0, thickness);
    finishNodes();
    const int part = addPart(name, 3, ET_BT_SHELL);
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        auto g = [&](int a, int b) { return first + 1 + (i + a) + (nx + 1) * (j + b); };
        addShell(part, {g(0, 0), g(1, 0), g(1, 1), g(0, 1)});
      }
    return part;
  }

  // A surface holding the given segments (node ids), appended to the
  // surface manager with id = its position.
  Surface& addSurface(std::initializer_list<std::array<int, 4>> segments) {
    Surface s;
    s.id = static_cast<int>(surfaces().size()) + 1;
    for (const auto& ids : segments) {
      SegmentCuda seg{};
      for (int k = 0; k < 4; ++k) seg.node_id[k] = ids[static_cast<std::size_t>(k)];
      seg.local_index = static_cast<int>(s.segment_array.size());
      s.segment_array.push_back(seg);
    }
    surfaces().push_back(std::move(s));
    return surfaces().back();
  }

  // Host pass of one surface as the solver runs it, contact nodes aside.
  void prepare(Surface& s) {
    s.linkSegmentNodePtrs(fem.nodeManager);
    s.setSegmentThickness();
    s.countSegments();
    s.linkSurfaceNodes(fem.nodeManager);
    s.solveSegmentNormals();
    s.calSegmentTerritory();
    s.calSegmentBoundingBoxes();
    s.calAverageTerritorySize();
  }
};

}  // namespace contacttest
