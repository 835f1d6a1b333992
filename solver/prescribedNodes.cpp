#include "solver/prescribedNodes.h"

#include <algorithm>
#include <unordered_map>

#include "contact/tiemanager.h"
#include "core/segment.h"
#include "solver/constrained.h"

namespace {

// Leaders of a led node; an empty list means the node itself.
struct Leaders {
  std::vector<NodeCuda*> translation;
  std::vector<NodeCuda*> rotation;
};
using LeaderMap = std::unordered_map<const NodeCuda*, Leaders>;

// A chain of leaders is never longer than this (a tie onto a weld onto a
// joint, ...); a longer one can only be a loop, which stops the walk.
constexpr int kMaxLeaderDepth = 8;

void addWeldAndJointLeaders(const ConstrainedManager& constraints, LeaderMap& leaders) {
  for (const Constrained& c : constraints.constrained_array) {
    if (c.masterNode != nullptr)
      for (NodeCuda* s : c.slave_node_array_cpu) leaders.try_emplace(s, Leaders{{c.masterNode}, {c.masterNode}});
    for (size_t k = 0; k < c.jointNodesA.size() && k < c.jointNodesB.size(); ++k)
      leaders.try_emplace(c.jointNodesB[k], Leaders{{c.jointNodesA[k]}, {}});
  }
}

void addTieLeaders(const TieManager& ties, LeaderMap& leaders) {
  for (const Tie& tie : ties.tie_array) {
    for (const SubTie& st : tie.sub_tie_array_cpu) {
      if (st.slave_node == nullptr || st.segment == nullptr) continue;
      Leaders l;
      const int n = st.segment->node_num == 3 ? 3 : 4;
      for (int k = 0; k < n; ++k)
        if (st.weight[k] != 0.0 && st.segment->node[k] != nullptr) l.translation.push_back(st.segment->node[k]);
      if (!l.translation.empty()) leaders.try_emplace(st.slave_node, std::move(l));
    }
  }
}

void appendOnce(std::vector<NodeCuda*>& list, NodeCuda* node) {
  if (std::find(list.begin(), list.end(), node) == list.end()) list.push_back(node);
}

// Appends the nodes moving on their own that lead node in translation or in
// rotation.
void resolve(const LeaderMap& leaders, NodeCuda* node, bool rotation, int depth, std::vector<NodeCuda*>& out) {
  const auto it = leaders.find(node);
  const std::vector<NodeCuda*>* next = nullptr;
  if (it != leaders.end()) next = rotation ? &it->second.rotation : &it->second.translation;
  if (next == nullptr || next->empty() || depth >= kMaxLeaderDepth) {
    appendOnce(out, node);
    return;
  }
  for (NodeCuda* leader : *next) resolve(leaders, leader, rotation, depth + 1, out);
}

LeaderMap allLeaders(const ConstrainedManager& constraints, const TieManager& ties) {
  LeaderMap leaders;
  addWeldAndJointLeaders(constraints, leaders);
  addTieLeaders(ties, leaders);
  return leaders;
}

}  // namespace

PrescribedNodes prescribedNodes(const std::vector<NodeCuda*>& given, const ConstrainedManager& constraints,
                                const TieManager& ties) {
  const LeaderMap leaders = allLeaders(constraints, ties);
  PrescribedNodes out;
  for (NodeCuda* node : given) {
    if (node == nullptr) continue;
    resolve(leaders, node, false, 0, out.translation);
    resolve(leaders, node, true, 0, out.rotation);
  }
  return out;
}

std::vector<LedNode> translationLeaders(const ConstrainedManager& constraints, const TieManager& ties) {
  const LeaderMap leaders = allLeaders(constraints, ties);
  std::vector<LedNode> out;
  for (const auto& [node, direct] : leaders) {
    if (direct.translation.empty()) continue;
    LedNode led{node, {}};
    for (NodeCuda* leader : direct.translation) resolve(leaders, leader, false, 1, led.second);
    out.push_back(std::move(led));
  }
  return out;
}
