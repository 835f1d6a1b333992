#include "solver/rigidmanager.h"

#include <cstdio>
#include <algorithm>
#include <set>

#include "core/linkEvery.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/set.h"
#include "core/setManager.h"
#include "solver/femdynamic.h"

RigidCuda* RigidManager::findRigidByPart(int partId) {
  RigidCuda* found = nullptr;
  if (partId == 0) return nullptr;
  for (RigidCuda& body : rigid_array) {
    if (body.partId() == partId) found = &body;
  }
  return found;
}

std::vector<NodeCuda*> RigidManager::bodyNodesOfAttachedNode(const NodeCuda* node) const {
  const RigidCuda* body = nullptr;
  for (const RigidCuda& candidate : rigid_array) {
    if (std::find(candidate.extraNodes.begin(), candidate.extraNodes.end(), node) != candidate.extraNodes.end()) {
      body = candidate.mergedInto != nullptr ? candidate.mergedInto : &candidate;
      break;
    }
  }
  std::vector<NodeCuda*> all;
  if (body == nullptr) return all;
  std::set<const NodeCuda*> seen;
  auto add = [&](const std::vector<NodeCuda*>& list) {
    for (NodeCuda* n : list) {
      if (n != nullptr && seen.insert(n).second) all.push_back(n);
    }
  };
  for (const RigidCuda& part : rigid_array) {
    if (&part == body || part.mergedInto == body) {
      add(part.nodes);
      add(part.extraNodes);
    }
  }
  return all;
}

bool RigidManager::addNodalRigidBodies(FEMDynamic* fem) {
  bool linked = true;
  for (std::size_t k = 0; k < nodal_rigid_set_ids.size(); ++k) {
    Set* set = fem->setManager->findSet(nodal_rigid_set_ids[k], SET_NODE);
    if (set == nullptr) {
      const std::string card = k < nodal_rigid_cards.size() ? nodal_rigid_cards[k] : "*CONSTRAINED_NODAL_RIGID_BODY";
      std::fprintf(stderr, "%s: node set %d of body %d is not in the model\n", card.c_str(), nodal_rigid_set_ids[k],
                   k < nodal_rigid_ids.size() ? nodal_rigid_ids[k] : 0);
      linked = false;
      continue;
    }
    RigidCuda body;
    body.set = set;
    rigid_array.push_back(body);
  }
  return linked;
}

bool RigidManager::linkExtraNodes(FEMDynamic* fem) {
  bool linked = true;
  for (RigidCuda& body : rigid_array) body.extraNodes.clear();
  for (std::size_t i = 0; i < extra_rigid_ids.size(); ++i) {
    const bool isSet = i < extra_is_set.size() && extra_is_set[i];
    const char* card = i < extra_cards.size() ? extra_cards[i].c_str()
                       : isSet                ? "*CONSTRAINED_EXTRA_NODES_SET"
                                              : "*CONSTRAINED_EXTRA_NODES_NODE";
    RigidCuda* body = findRigidByPart(extra_rigid_ids[i]);
    if (body == nullptr) {
      std::fprintf(stderr, "%s: part %d is not a rigid body of the model\n", card, extra_rigid_ids[i]);
      linked = false;
      continue;
    }
    std::vector<NodeCuda*> added;
    if (isSet) {
      const int setId = i < extra_set_ids.size() ? extra_set_ids[i] : 0;
      Set* set = fem->setManager->findSet(setId, SET_NODE);
      if (set == nullptr) {
        std::fprintf(stderr, "%s: node set %d is not in the model\n", card, setId);
        linked = false;
        continue;
      }
      added = set->node_array_cpu;
    } else {
      const int number = i < extra_node_ids.size() ? extra_node_ids[i] : 0;
      NodeCuda* node = nodeByNumber(fem->nodeManager, number);
      if (node == nullptr) {
        std::fprintf(stderr, "%s: node %d is not in the model\n", card, number);
        linked = false;
        continue;
      }
      added.push_back(node);
    }
    for (NodeCuda* node : added) {
      if (node != nullptr && !body->holdsNode(node)) body->extraNodes.push_back(node);
    }
  }
  return linked;
}

// Pair k joins the bodies of master part k and slave part k of the deck.
bool RigidManager::linkMergedPairs() {
  bool linked = true;
  master_rigids.clear();
  slave_rigids.clear();
  for (std::size_t k = 0; k < master_rigid_ids.size(); ++k) {
    RigidCuda* master = findRigidByPart(master_rigid_ids[k]);
    RigidCuda* slave = k < slave_rigid_ids.size() ? findRigidByPart(slave_rigid_ids[k]) : nullptr;
    for (const auto& [body, id] : {std::pair{master, master_rigid_ids[k]},
                                   std::pair{slave, k < slave_rigid_ids.size() ? slave_rigid_ids[k] : 0}}) {
      if (body == nullptr) {
        std::fprintf(stderr, "*CONSTRAINED_RIGID_BODIES: part %d is not a rigid body of the model\n", id);
        linked = false;
      }
    }
    if (master == nullptr || slave == nullptr) continue;
    if (master == slave || slave->mergedInto != nullptr) {
      std::fprintf(stderr, "*CONSTRAINED_RIGID_BODIES: part %d cannot be merged into part %d\n", slave_rigid_ids[k],
                   master_rigid_ids[k]);
      linked = false;
      continue;
    }
    slave->mergedInto = master;
    // The merged body moves as its master: what either material holds, it holds.
    for (int k = 0; k < 6; ++k) master->dofFlag[k] = master->dofFlag[k] | slave->dofFlag[k];
    master_rigids.push_back(master);
    slave_rigids.push_back(slave);
  }
  return linked;
}

bool RigidManager::linkAll(FEMDynamic* fem) {
  for (RigidCuda& body : rigid_array) {
    body.linkNodes();
    body.holdMaterialConstraints();
  }
  bool linked = linkExtraNodes(fem);
  linked = linkMergedPairs() && linked;
  return linkEvery(rigid_constrained_array, [this](RigidConstrained& motion) { return motion.linkRigidCuda(this); }) &&
         linked;
}

void RigidManager::buildExtraNodes(FEMDynamic*, RigidExtraNodeManager* extraNodes) {
  if (!RigidPartArray_cpu.empty()) return;
  extraNodes->extraRigids.clear();
  for (int partId : extra_rigid_ids) extraNodes->extraRigids.push_back(findRigidByPart(partId));
  extraNodes->extraNum = static_cast<int>(extra_rigid_ids.size());
  NodeArray.clear();
  for (RigidCuda& body : rigid_array) {
    for (NodeCuda* node : body.extraNodes) {
      NodeArray.push_back(node);
      RigidPartArray_cpu.push_back(&body);
    }
  }
  numRigidPartArray = static_cast<int>(RigidPartArray_cpu.size());
  std::printf("Number of extra part is: %d\n", extraNodes->extraNum);
}

void RigidManager::buildConstrainedRigidBodies(RigidExtraNodeManager* extraNodes) {
  extraNodes->pairMasters = master_rigids;
  extraNodes->pairNum = static_cast<int>(master_rigids.size());
  for (std::size_t k = 0; k < master_rigids.size(); ++k) master_rigids[k]->rigidsNodes = slave_rigids[k]->nodes;
  std::printf("Number of constrained rigid bodies is: %d\n", extraNodes->pairNum);
}

// Pair k: the master takes the combined mass, centre and inertia; the slave
// the same centre and inertia with no mass, so that it follows its master.
void RigidManager::mergeConstrainedRigidBodies() {
  for (std::size_t k = 0; k < master_rigids.size(); ++k) {
    RigidCuda& a = *master_rigids[k];
    RigidCuda& b = *slave_rigids[k];
    const double m = a.mass[0] + b.mass[0];
    double c[3], sums[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    for (int i = 0; i < 3; ++i) c[i] = m > 0.0 ? (a.mass[i] * a.centre[i] + b.mass[i] * b.centre[i]) / m : a.centre[i];
    // Second moments of both bodies about the origin.
    for (const RigidCuda* body : {&a, &b}) {
      const double w = body->mass[0];
      const double* x = body->centre;
      const double* in = body->inertia;
      sums[0] += in[0] + w * (x[1] * x[1] + x[2] * x[2]);
      sums[1] += in[4] + w * (x[0] * x[0] + x[2] * x[2]);
      sums[2] += in[8] + w * (x[0] * x[0] + x[1] * x[1]);
      sums[3] += w * x[0] * x[1] - in[1];
      sums[4] += w * x[1] * x[2] - in[5];
      sums[5] += w * x[2] * x[0] - in[2];
    }
    for (int i = 0; i < 3; ++i) {
      a.mass[i] = m;
      b.mass[i] = 0.0;
      a.centre[i] = b.centre[i] = c[i];
    }
    inertiaAboutCentre(m, c, sums, true, a.inertia);
    std::copy(a.inertia, a.inertia + 9, b.inertia);
    for (int j = 0; j < 6; ++j) b.velocity[j] = a.velocity[j];
  }
}

void RigidManager::copyToGpu(FEMDynamic* fem) { NodeArray_gpu.build(NodeArray, fem->nodeManager); }

void RigidManager::slaveForcesToMaster() {
  for (std::size_t k = 0; k < master_rigids.size(); ++k) {
    for (int j = 0; j < 6; ++j) {
      master_rigids[k]->force[j] += slave_rigids[k]->force[j];
      slave_rigids[k]->force[j] = 0.0;
    }
  }
}

void RigidManager::masterVelocitiesToSlaves() {
  for (std::size_t k = 0; k < master_rigids.size(); ++k) {
    for (int j = 0; j < 6; ++j) slave_rigids[k]->velocity[j] = master_rigids[k]->velocity[j];
  }
}

void RigidManager::takeContactBeforeFirstMove(double time, double dt, bool host) {
  // The step's own half update took the spin moment: the contact's adds none.
  for (RigidCuda& r : rigid_array) host ? r.gatherForcesCpu(false) : r.gatherForcesGpu(false);
  slaveForcesToMaster();
  for (RigidCuda& r : rigid_array) {
    if (std::all_of(r.force, r.force + 6, [](double f) { return f == 0.0; })) continue;
    r.computeAccelerations();
    for (const RigidConstrained& rc : rigid_constrained_array) {
      if (rc.rigid == nullptr || rc.rigid->root() != &r || !rc.activeAt(time)) continue;
      for (int k = 0; k < 6; ++k) {
        if (rc.dofCode[k] != 0) r.acceleration[k] = 0.0;
      }
    }
    r.updateVelocity(dt, dt);
  }
  masterVelocitiesToSlaves();
}

void RigidManager::markRigidNodes() {
  for (RigidCuda& body : rigid_array) {
    for (const std::vector<NodeCuda*>* list : {&body.nodes, &body.extraNodes}) {
      for (NodeCuda* node : *list) node->rigid_flag = 1;
    }
  }
}
