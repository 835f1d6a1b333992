// Host side of spot welds and joints: linking to node sets, the mass
// transfer and the host twins of the per-cycle steps.
#include "solver/constrained.h"

#include <cstdio>

#include "core/node.h"
#include "core/set.h"
#include "core/setManager.h"
#include "solver/constrainedNodes.h"

std::string Constrained::describe() const {
  switch (constrained_type) {
    case 0:
      if (weld_id != 0) return "spot weld " + std::to_string(weld_id);
      if (node_set_id < 0) return "a spot weld without id";
      return "constraint of node set " + std::to_string(node_set_id);
    case 4:
      return "spherical joint " + std::to_string(joint_id);
    case 5:
      return "revolute joint " + std::to_string(joint_id);
    case 6:
      return "cylindrical joint " + std::to_string(joint_id);
    case 7:
      return "universal joint " + std::to_string(joint_id);
    default:
      return "constraint " + std::to_string(node_set_id);
  }
}

bool Constrained::linkNodeSet(SetManager* setManager) {
  masterNode = nullptr;
  slave_node_array_cpu.clear();
  jointNodesA.clear();
  jointNodesB.clear();
  nodeNum = 0;
  if (constrained_type == 6 || constrained_type == 7) {
    printf("%s: cylindrical and universal joints do not act in this version\n", describe().c_str());
    return true;
  }
  if (constrained_type != 0 && constrained_type != 4 && constrained_type != 5) return true;
  set = setManager->findSet(node_set_id, SET_NODE);
  std::vector<NodeCuda*> nodes;
  if (set != nullptr) {
    for (NodeCuda* n : set->node_array_cpu)
      if (n != nullptr) nodes.push_back(n);
  }
  if (nodes.empty()) {
    // Sets made from a card's node fields carry negative ids: name the
    // fields rather than the set.
    if (node_set_id < 0)
      fprintf(stderr, "%s binds no node: its node fields are blank\n", describe().c_str());
    else
      fprintf(stderr, "%s: its node set %d %s\n", describe().c_str(), node_set_id,
              set == nullptr ? "does not exist" : "holds no node");
    return false;
  }
  nodeNum = static_cast<int>(nodes.size());
  if (constrained_type == 4 && nodeNum != 2) {
    printf("constrained joint spherical input error!");
    return false;
  }
  if (constrained_type == 5 && nodeNum != 4) {
    printf("constrained joint revolute input error!");
    return false;
  }
  if (constrained_type != 0) {
    for (int k = 0; k + 1 < nodeNum; k += 2) {
      jointNodesA.push_back(nodes[k]);
      jointNodesB.push_back(nodes[k + 1]);
      nodes[k + 1]->master_node_id = nodes[k]->store_id + 1;
      nodes[k]->constrained_flag = nodes[k + 1]->constrained_flag = 1;
    }
    return true;
  }
  masterNode = nodes[0];
  masterNode->two_node_weld_flag = nodeNum == 2 ? 1 : 0;
  for (int i = 1; i < nodeNum; ++i) {
    slave_node_array_cpu.push_back(nodes[i]);
    nodes[i]->master_node_id = masterNode->store_id + 1;
  }
  for (NodeCuda* n : nodes) n->constrained_flag = 1;
  return true;
}

void Constrained::transferMass() {
  // Each joint pair's first node carries the pair's translational mass.
  for (size_t k = 0; k < jointNodesA.size(); ++k) jointNodesA[k]->mass += jointNodesB[k]->mass;
  if (constrained_type != 0 || masterNode == nullptr) return;
  // A massless master of a two-node weld hands its role to the other node
  // and stays bound to it as its slave.
  if (masterNode->mass < kNodeMassTolerance && masterNode->two_node_weld_flag == 1) {
    if (slave_node_array_cpu.size() == 1) {
      NodeCuda* former = masterNode;
      masterNode = slave_node_array_cpu[0];
      masterNode->master_node_id = 0;
      masterNode->two_node_weld_flag = 1;
      former->two_node_weld_flag = 0;
      former->master_node_id = masterNode->store_id + 1;
      slave_node_array_cpu[0] = former;
    } else {
      printf("悬挂焊接判断错误！");
    }
  }
  NodeCuda& m = *masterNode;
  m.constrained_flag = 1;
  const bool masterRotates = nodeRotates(m);
  for (NodeCuda* s : slave_node_array_cpu) {
    const double ms = s->mass;
    const double r[3] = {s->coord[0] - m.coord[0], s->coord[1] - m.coord[1], s->coord[2] - m.coord[2]};
    const bool slaveRotates = nodeRotates(*s);
    if (slaveRotates && !masterRotates) {
      printf("当前无法处理无旋转自由度与有旋转自由度节点之间的焊接关系");
      printf("master node id is: %d\n", m.id);
    }
    m.mass += ms;
    if (masterRotates) {
      const double own[3] = {slaveRotates ? s->rot_inertia[0] : 0.0, slaveRotates ? s->rot_inertia[1] : 0.0,
                             slaveRotates ? s->rot_inertia[2] : 0.0};
      m.rot_inertia[0] += (r[1] * r[1] + r[2] * r[2]) * ms + own[0];
      m.rot_inertia[1] += (r[0] * r[0] + r[2] * r[2]) * ms + own[1];
      m.rot_inertia[2] += (r[0] * r[0] + r[1] * r[1]) * ms + own[2];
    }
    s->mass = -ms;
    for (double& I : s->rot_inertia) I = -I;
    s->constrained_flag = 1;
  }
  // The equivalent masses stay those from before the transfer: body loads
  // act on them (a master without mass of its own keeps 0, and walls and
  // contact fall back to its mass).
}

void Constrained::imposeSlaveVelocitiesCpu() {
  if (masterNode != nullptr)
    for (NodeCuda* s : slave_node_array_cpu) slaveFollowsMaster(*s, *masterNode);
  for (size_t k = 0; k < jointNodesA.size(); ++k) jointPairVelocity(*jointNodesA[k], *jointNodesB[k]);
}

void Constrained::transferSlaveForcesCpu() {
  if (masterNode != nullptr)
    for (NodeCuda* s : slave_node_array_cpu) slaveForceToMaster(*s, *masterNode);
  for (size_t k = 0; k < jointNodesA.size(); ++k) jointPairForce(*jointNodesA[k], *jointNodesB[k]);
}

void ConstrainedManager::imposeSlaveVelocitiesCpu() {
  for (Constrained& c : constrained_array) c.imposeSlaveVelocitiesCpu();
}

void ConstrainedManager::transferSlaveForcesCpu() {
  for (Constrained& c : constrained_array) c.transferSlaveForcesCpu();
}

void ConstrainedManager::transferAllMass() {
  for (Constrained& c : constrained_array) c.transferMass();
}
