// Small element models shared by the element-store tests.
#pragma once
#include <initializer_list>
#include <vector>

#include "core/node.h"
#include "core/nodeManager.h"
#include "core/section.h"
#include "elements/common/elmmanager.h"

namespace elmtest {

// Appends a node at (x, y, z) with the next id and storage position; returns its id.
inline int appendNode(std::vector<NodeCuda>& nodes, double x, double y, double z) {
  NodeCuda n{};
  n.id = static_cast<int>(nodes.size()) + 1;
  n.store_id = n.id - 1;
  n.coord[0] = n.ini_coord[0] = x;
  n.coord[1] = n.ini_coord[1] = y;
  n.coord[2] = n.ini_coord[2] = z;
  nodes.push_back(n);
  return n.id;
}

// A record of the given id with its leading node ids.
template <typename T>
T withIds(int id, std::initializer_list<int> ids) {
  T e;
  e.id = id;
  int k = 0;
  for (int n : ids) e.node_id[k++] = n;
  return e;
}

inline ShellElementCuda shell(int id, std::initializer_list<int> ids) { return withIds<ShellElementCuda>(id, ids); }
inline SolidElementCuda solid(int id, std::initializer_list<int> ids) { return withIds<SolidElementCuda>(id, ids); }

inline BeamElementCuda beam(int id, int n1, int n2, int n3) {
  BeamElementCuda e;
  e.id = id;
  e.node_id[0] = n1;
  e.node_id[1] = n2;
  e.node_id[2] = n3;
  return e;
}

// n zero-filled nodes with ids 1..n, their store positions and x = id.
inline void fillNodes(NodeManager& nodes, int n) {
  nodes.node_array_cpu.assign(n, NodeCuda{});
  for (int i = 0; i < n; ++i) {
    nodes.node_array_cpu[i].id = i + 1;
    nodes.node_array_cpu[i].store_id = i;
    nodes.node_array_cpu[i].coord[0] = i + 1.0;
  }
}

inline Section section(int family, int formulation, int points = 0) {
  Section s;
  s.id = 1;
  s.family_code = family;
  s.element_formulation = formulation;
  s.point_count = points;
  return s;
}

// The host set-up passes of the element store, in run order.
inline void hostSetUp(ElmManager& m, const Section& s) {
  m.setElementType(&s);
  m.setDtScaleFactor(1.0);
  m.setInternalParamNum();
  m.setAdditionalVariableNum();
  m.setElementNodeNum();
  m.setTLFlag();
  m.computeAddMemSize(&s);
  m.allocateAddMemory();
  m.operatorOnAddMem(&s);
  m.setElementSectionType();
  m.setGaussNodeNum();
  m.setSFemFlag(&s);
  m.setIntegrationPointNum(&s);
  m.setIntegralDomainShape();
}

}  // namespace elmtest
