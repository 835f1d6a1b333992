// Initial velocity or displacement of nodes, applied once before the first cycle.
#pragma once
#include <string>
#include <vector>

struct NodeCuda;
class Set;
class Part;
class RigidManager;
class FEMDynamic;

// Kinds of initial condition.
enum InitialConditionType { IC_VELOCITY = 0, IC_DISPLACEMENT = 1 };

class InitialCondition {
 public:
  int type = IC_VELOCITY;                // 0 velocity, 1 displacement; others do nothing
  int ic_node_id = 0;                    // single target node as read (node number after completion)
  int ic_set_id = 0;                     // target node set id
  int ic_part_id = 0;                    // target part id
  int ic_card_values[4] = {0, 0, 0, 0};  // further card values, kept
  int deck_line = 0;                     // the card's line in the deck, for messages (0: not known)
  double value[6] = {0, 0, 0, 0, 0, 0};  // x, y, z and rotations about x, y, z
  NodeCuda* node = nullptr;              // single target node, or null
  Set* set = nullptr;                    // target node set, or null
  Part* part = nullptr;                  // target part, or null
  std::vector<NodeCuda*> nodes;          // the nodes the condition acts on

  // Finds the node, node set and part named by the ids (each reported when
  // missing) and builds the node list; returns false when a named target
  // does not exist.
  bool resolveTargets(FEMDynamic* fem);
  // Builds the node list from the linked targets: a set takes precedence
  // over a part, and a part over a single node.
  void linkNodeSet();
  // "initial condition", with the card's deck line when known.
  std::string where() const;
  // Adds the values to the nodes (or, for rigid nodes, to their rigid body).
  void apply(RigidManager* rigidManager);
};

// Resolves the targets of every condition (resolveTargets); false when a
// named target does not exist. Conditions on a single node that exists are
// resolved on all threads, the others in order, so that what is missing is
// named in the order of the conditions.
bool resolveInitialConditions(std::vector<InitialCondition>& conditions, FEMDynamic* fem);

// A node that several velocity conditions reach takes one of them, never
// their sum: a condition on the node itself over one on a set (or part),
// and of two of one kind the later. The others let go of the node, and one
// message lists the nodes given twice. Runs once the targets are resolved.
void settleInitialVelocities(std::vector<InitialCondition>& conditions, const FEMDynamic& fem);

// Applies every condition of the model to its nodes (and rigid bodies) once,
// at the start of a run, and then lets the list go: nothing reads it later,
// and a deck that gives every node its velocity holds as many conditions as
// nodes (about 140 bytes each).
void applyInitialConditions(FEMDynamic& fem);
