#include "solver/initialCondition.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/node.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/set.h"
#include "core/setManager.h"
#include "platform/hostParallel.h"
#include "solver/femdynamic.h"
#include "solver/rigidmanager.h"

std::string InitialCondition::where() const {
  return deck_line > 0 ? "initial condition (line " + std::to_string(deck_line) + ")" : "initial condition";
}

bool InitialCondition::resolveTargets(FEMDynamic* fem) {
  bool resolved = true;
  node = nullptr;
  set = nullptr;
  part = nullptr;
  if (ic_node_id > 0) {
    node = fem->nodeManager->findNodeById(ic_node_id);
    if (node == nullptr) {
      std::fprintf(stderr, "%s: node %d is not in the model\n", where().c_str(), ic_node_id);
      resolved = false;
    }
  }
  if (ic_set_id > 0) {
    set = fem->setManager->findSet(ic_set_id, SET_NODE);
    if (set == nullptr) {
      std::fprintf(stderr, "%s: node set %d is not in the model\n", where().c_str(), ic_set_id);
      resolved = false;
    }
  }
  if (ic_part_id > 0) {
    if (ic_part_id <= static_cast<int>(fem->part_array.size())) {
      part = &fem->part_array[ic_part_id - 1];
    } else {
      std::fprintf(stderr, "%s: part %d is not in the model\n", where().c_str(), ic_part_id);
      resolved = false;
    }
  }
  linkNodeSet();
  return resolved;
}

void InitialCondition::linkNodeSet() {
  nodes.clear();
  if (node != nullptr) {
    nodes.push_back(node);
  }
  if (part != nullptr) {
    nodes = part->node_array;
  }
  if (set != nullptr) {
    nodes.clear();
    // Members that are no node were resolved to null: they are skipped.
    for (NodeCuda* member : set->node_array_cpu) {
      if (member != nullptr) {
        nodes.push_back(member);
      }
    }
  }
}

bool resolveInitialConditions(std::vector<InitialCondition>& conditions, FEMDynamic* fem) {
  std::vector<char> resolved(conditions.size(), 0);
  fem_parallel::parallelFor(conditions.size(), 4096, [&](size_t i) {
    InitialCondition& c = conditions[i];
    if (c.ic_set_id > 0 || c.ic_part_id > 0) {
      return;
    }
    if (c.ic_node_id <= 0 || fem->nodeManager->findNodeById(c.ic_node_id) != nullptr) {
      resolved[i] = c.resolveTargets(fem) ? 1 : 0;
    }
  });
  bool all = true;
  for (size_t i = 0; i < conditions.size(); ++i) {
    if (resolved[i] == 0 && !conditions[i].resolveTargets(fem)) {
      all = false;
    }
  }
  return all;
}

namespace {

// Deck ids of node numbers, for messages (node numbers are reading
// positions once the deck is completed).
std::vector<int> deckIdsOf(const std::vector<const NodeCuda*>& nodes, const FEMDynamic& fem) {
  std::map<int, int> deckId;  // node number -> deck id
  for (const NodeCuda* node : nodes) {
    deckId.emplace(node->id, node->id);
  }
  for (const auto& [id, number] : fem.node_id_map) {
    const auto found = deckId.find(number);
    if (found != deckId.end()) {
      found->second = id;
    }
  }
  std::vector<int> ids;
  for (const NodeCuda* node : nodes) {
    ids.push_back(deckId[node->id]);
  }
  return ids;
}

}  // namespace

namespace {

// What settling notes for each node: the condition it keeps with that
// condition's rank (-1: none yet), and whether it was named twice. Nodes of
// the model's node array are noted by their place, any other by address.
class NodeNotes {
 public:
  struct Note {
    int rank = -1;
    bool twice = false;
    size_t condition = 0;
  };

  explicit NodeNotes(const std::vector<NodeCuda>& all) : base_(all.data()), notes_(all.size()) {}

  Note& operator[](const NodeCuda* node) {
    const auto at = reinterpret_cast<std::uintptr_t>(node), base = reinterpret_cast<std::uintptr_t>(base_);
    const size_t k = at >= base ? (at - base) / sizeof(NodeCuda) : notes_.size();
    return k < notes_.size() && node == base_ + k ? notes_[k] : others_[node];
  }

 private:
  const NodeCuda* base_;
  std::vector<Note> notes_;
  std::map<const NodeCuda*, Note> others_;
};

}  // namespace

void settleInitialVelocities(std::vector<InitialCondition>& conditions, const FEMDynamic& fem) {
  // The condition each node keeps: a node's own card ranks above a set or
  // a part, and a later condition above an earlier one of its rank.
  NodeNotes kept(fem.nodeManager->node_array_cpu);
  std::vector<const NodeCuda*> twice;
  for (size_t i = 0; i < conditions.size(); ++i) {
    const InitialCondition& c = conditions[i];
    if (c.type != IC_VELOCITY) {
      continue;
    }
    const int rank = c.set == nullptr && c.part == nullptr ? 1 : 0;
    for (const NodeCuda* node : c.nodes) {
      NodeNotes::Note& note = kept[node];
      if (note.rank < 0) {
        note.rank = rank;
        note.condition = i;
        continue;
      }
      if (note.condition != i && !note.twice) {
        note.twice = true;
        twice.push_back(node);
      }
      if (rank >= note.rank) {
        note.rank = rank;
        note.condition = i;
      }
    }
  }
  for (size_t i = 0; i < conditions.size(); ++i) {
    InitialCondition& c = conditions[i];
    if (c.type != IC_VELOCITY) {
      continue;
    }
    std::erase_if(c.nodes, [&](const NodeCuda* node) { return kept[node].condition != i; });
  }
  if (twice.empty()) {
    return;
  }
  std::string list;
  const std::vector<int> ids = deckIdsOf(twice, fem);
  for (size_t k = 0; k < ids.size() && k < 20; ++k) {
    list += (k == 0 ? "" : ", ") + std::to_string(ids[k]);
  }
  if (ids.size() > 20) {
    list += ", ...";
  }
  std::fprintf(stderr,
               "initial velocity: %zu node(s) are given a velocity by more than one card; each takes one card's "
               "velocity (a card naming the node itself over a set, the later of two of one kind), never the "
               "sum: nodes %s\n",
               twice.size(), list.c_str());
}

namespace {

std::string velocityText(const double v[6]) {
  char text[160];
  std::snprintf(text, sizeof text, "(%g, %g, %g, %g, %g, %g)", v[0], v[1], v[2], v[3], v[4], v[5]);
  return text;
}

std::string bodyName(const RigidCuda& body) {
  if (body.part != nullptr) {
    return "the rigid body of part " + std::to_string(body.part->id) +
           (body.part->name.empty() ? std::string() : " (" + body.part->name + ")");
  }
  return body.set != nullptr ? "the nodal rigid body of node set " + std::to_string(body.set->id)
                             : std::string("a rigid body");
}

// The first condition that reaches a body gives it its velocity; later
// ones (one line per node of the body, as decks write them) give it again
// and change nothing. A later one with other values is reported once per
// body, with the value the body keeps.
void giveBodyVelocity(RigidCuda& body, const double value[6]) {
  if (body.initialVelocityDone == 0) {
    for (int k = 0; k < 6; ++k) {
      body.velocity[k] += value[k];
    }
    body.initialVelocityDone = 1;
    return;
  }
  bool same = true;
  for (int k = 0; k < 6; ++k) {
    same = same && value[k] == body.velocity[k];
  }
  if (same || body.initialVelocityDone == 2) {
    return;
  }
  std::fprintf(stderr, "initial velocity: the lines on the nodes of %s disagree: %s and %s; the body takes %s\n",
               bodyName(body).c_str(), velocityText(body.velocity).c_str(), velocityText(value).c_str(),
               velocityText(body.velocity).c_str());
  body.initialVelocityDone = 2;
}

}  // namespace

// A rigid node passes the velocity to its body, which takes it once however
// many of its nodes the conditions list; a body merged into another passes
// it on to its master.
void InitialCondition::apply(RigidManager* rigidManager) {
  std::vector<const RigidCuda*> bodiesDone;
  for (NodeCuda* target : nodes) {
    if (target == nullptr) {
      continue;
    }
    if (target->rigid_flag == 0) {
      if (type == IC_VELOCITY) {
        for (int k = 0; k < 6; ++k) {
          target->vel[k] += value[k];
        }
      } else if (type == IC_DISPLACEMENT) {
        for (int k = 0; k < 6; ++k) {
          target->total_disp[k] += value[k];
        }
        for (int k = 0; k < 3; ++k) {
          target->coord[k] += value[k];
          target->rotation[k] += value[3 + k];
        }
      }
      continue;
    }
    if (type != IC_VELOCITY) {
      std::printf("请补充对刚体施加此种初始边界条件\n");
      continue;
    }
    if (rigidManager == nullptr) {
      continue;
    }
    for (RigidCuda& body : rigidManager->rigid_array) {
      if (!body.holdsNode(target)) {
        continue;
      }
      RigidCuda* moved = body.mergedInto != nullptr ? body.mergedInto : &body;
      if (std::find(bodiesDone.begin(), bodiesDone.end(), moved) == bodiesDone.end()) {
        giveBodyVelocity(*moved, value);
        bodiesDone.push_back(moved);
      }
      break;
    }
  }
}

void applyInitialConditions(FEMDynamic& fem) {
  std::vector<InitialCondition>& conditions = *fem.initial_condition_array;
  for (InitialCondition& ic : conditions) ic.apply(fem.rigidManager);
  std::vector<InitialCondition>().swap(conditions);
}
