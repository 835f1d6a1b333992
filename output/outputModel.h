// The model as the outputs read it: the run position, the work folder, the
// parts with their element stores, the managers of nodes, sets, sections,
// element control, contact pairs and outputs, and the nodes of the rigid
// bodies. The solver object hands one to every output step
// (solver/modelViews.h); it refers to the solver's own records.
#pragma once
#include <functional>
#include <string>
#include <vector>

class NodeManager;
class SetManager;
class SectionManager;
class ElementControl;
class PairManager;
class OutputManager;
class Part;
class ElmManager;
struct NodeCuda;

struct OutputModel {
  int cycle;                                   // cycle count of the time loop
  const std::string& work_path;                // work directory (output root)
  int host_path_flag;                          // 1: host-only loop, 0: GPU loop
  std::vector<Part>& part_array;               // parts in reader order
  std::vector<ElmManager>& elm_manager_array;  // one per part, same order
  NodeManager* nodeManager;
  SetManager* setManager;
  SectionManager* sectionManager;
  ElementControl* elementControl;
  PairManager* pairManager;
  OutputManager* outputManager;
  // Every node of the rigid body a node is attached to (as the reference
  // node of an .inp rigid body is), or of the body it was merged into, with
  // the bodies merged into that one, each once; empty when it is attached
  // to none.
  std::function<std::vector<NodeCuda*>(const NodeCuda*)> rigidBodyNodes;
};
