// Fixture base of the solver tests that work on a few nodes and node sets:
// nodes with ids 1..n in storage order and node sets resolved by the set
// manager, as the deck readers and the set-up leave them.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "core/nodeManager.h"
#include "core/setManager.h"
#include "solver/femdynamic.h"
#include "solver/setMembers.h"

class NodeSetModel : public ::testing::Test {
 protected:
  // The managers and n zeroed nodes, ids 1..n.
  void makeNodes(int n) {
    fem_.newManagers();
    for (int i = 0; i < n; ++i) {
      NodeCuda node{};
      node.id = i + 1;
      node.store_id = i;
      fem_.nodeManager->node_array_cpu.push_back(node);
    }
    fem_.nodeManager->setNodeNum();
    fem_.nodeManager->checkNodeIdMap();
  }
  void addNodeSet(int id, std::vector<int> ids) {
    Set set;
    set.type = SET_NODE;
    set.id = id;
    set.id_array = ids;
    fem_.setManager->addSet(set);
  }
  void resolveSets() { resolveAllSets(*fem_.setManager, &fem_); }
  NodeCuda& node(int id) { return fem_.nodeManager->node_array_cpu[id - 1]; }
  FEMDynamic fem_;
};
