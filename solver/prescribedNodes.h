// The nodes a prescribed degree of freedom acts on.  A node whose motion is
// not its own - a spot-weld or nodal-rigid-body slave, the second node of a
// joint pair, a tied slave node - takes its velocity from the nodes that
// lead it after every update, so a support or prescribed motion given on it
// is carried out on its leaders, in the same cycle and with the group's
// mass, exactly as if it had been given on them:
//   - weld slave: its master, in translation and rotation (the group turns
//     as one);
//   - second node of a joint pair: the pair's first node in translation; it
//     keeps its own rotations;
//   - tied slave node: the nodes of its master segment that carry it (a
//     non-zero interpolation weight) in translation; it keeps its own
//     rotations.
// Leaders that are led themselves are followed to the nodes that move on
// their own.
#pragma once
#include <utility>
#include <vector>

struct NodeCuda;
class ConstrainedManager;
class TieManager;

struct PrescribedNodes {
  std::vector<NodeCuda*> translation;  // nodes whose x, y, z are prescribed
  std::vector<NodeCuda*> rotation;     // nodes whose rotations are prescribed
};

// The nodes that carry out a condition given on the listed nodes, each once,
// in the order first met.  Null entries are skipped.
PrescribedNodes prescribedNodes(const std::vector<NodeCuda*>& given, const ConstrainedManager& constraints,
                                const TieManager& ties);

// Every node whose translation follows other nodes, with the nodes moving on
// their own that lead it (as above).
using LedNode = std::pair<const NodeCuda*, std::vector<NodeCuda*>>;
std::vector<LedNode> translationLeaders(const ConstrainedManager& constraints, const TieManager& ties);
