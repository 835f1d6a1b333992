// Node history: one text file per requested variable in the folder
// "nodeoutput" of the work directory, following one node set through the
// run: the summed contact force of the set with the displacement of its
// first node ("RF"), the nodal stresses ("S") and strains ("PE"). A set of
// one node that is the reference node of a rigid body (a node attached to
// it) follows the whole body: the force on all its nodes, the displacement
// of the reference node, and a line per node of the body.
#pragma once
#include <vector>

#include "output/basicoutput.h"
#include "core/deviceNodeList.h"

class Set;
struct NodeCuda;
struct ContactPairCuda;

class NodeOutput : public BasicOutput {
 public:
  Set* nodeSet_ = nullptr;            // the node set, found by setId_; null when a rigid body is followed
  DeviceDoubleBuffer needMemoryGpu;   // device buffer, needMemSize_ doubles (GPU run)
  std::vector<double> needMemoryCpu;  // host buffer, needMemSize_ doubles
  int needMemSize_ = 0;

  NodeOutput() = default;

  void collect(OutputModel* fem, double time, double dt) override;
  void init(OutputModel* fem) override;
  void write(OutputModel* fem, double time, double dt) override;

  // The set's nodes that exist in the model, in set order.
  const std::vector<NodeCuda*>& nodes() const { return nodes_; }

 private:
  bool active_ = false;            // the set was found and has nodes
  std::vector<NodeCuda*> nodes_;   // resolved host nodes of the set, or every node of the rigid body
  NodeCuda* reference_ = nullptr;  // the node whose displacement the contact line gives
  DeviceNodeList nodesGpu_;        // their device twins, same order
  DeviceDoubleBuffer stressGpu_;   // their stresses and strains, 12 a node (GPU run, when asked for)
  bool hostStressNoted_ = false;

  // A set of one reference node follows its rigid body.
  void followRigidBody(OutputModel* fem);
  // Contact force of the set into B[0..2], reference displacement into B[3..5].
  void collectContactForceGpu(OutputModel* fem, double* B, double* D);
  void collectContactForceCpu(OutputModel* fem, double* B);
  // Stresses and strains of the list's nodes from the device, averaged
  // at this output point.
  void collectNodeRecordsGpu(OutputModel* fem, double time);
  void writeContactLine(double time, const double* B);
  void writeNodeLines(const char* prefix, double time, bool strain);
};

// Kernels of the contact-force gathering; one thread per item, 64 per block
// (the set's sum: one thread).
__global__ void GpuClearNodeDfn(int n, NodeCuda* nodes);
__global__ void GpuCalNodeContactForceFormPair(int n, ContactPairCuda** pairs, int pass);
__global__ void GpuGetNodeSetContactForceFormPair(int n, NodeCuda** nodes, double* out);
__global__ void GpuGatherNodeStressStrain(int n, NodeCuda** nodes, double* out);
