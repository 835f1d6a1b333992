#include "output/nodalStress.h"

#include <utility>

#include "core/nodeManager.h"
#include "core/sectionmanager.h"
#include "elements/common/elementControl.h"
#include "elements/common/nodeGather.h"
#include "output/outputModel.h"

void averageNodalStressGpu(OutputModel* fem) {
  NodeManager* nodes = fem->nodeManager;
  orderRegisteredSlots(*nodes);
  fem->elementControl->gpuAccumulateStrToNode(nodes->node_array_gpu, nodes->totNodeNum,
                                              fem->sectionManager->section_array_gpu);
  nodes->gpuAverageNodeStr();
}

bool NodalResults::samePoint(const OutputModel* fem, double time) const {
  return fem->cycle == cycle_ && time == time_;
}

void NodalResults::moveTo(const OutputModel* fem, double time) {
  if (samePoint(fem, time)) {
    return;
  }
  cycle_ = fem->cycle;
  time_ = time;
  averaged_ = false;
  copied_ = 0;
}

void NodalResults::average(OutputModel* fem, double time) {
  moveTo(fem, time);
  if (std::exchange(averaged_, true)) return;
  averageNodalStressGpu(fem);
  copied_ &= ~NODE_STRESSES;  // the host records no longer hold the device's nodal results
}

void NodalResults::copyToHost(OutputModel* fem, double time, unsigned fields) {
  moveTo(fem, time);
  const unsigned missing = fields & ~copied_;
  if (missing == 0) return;
  copied_ |= missing;
  fem->nodeManager->packNodeFieldsToHost(missing);
}

NodeColumns NodalResults::nodes(OutputModel* fem) const {
  NodeManager* nodes = fem->nodeManager;
  return fem->host_path_flag == 0 ? nodes->packedNodes() : NodeColumns::ofRecords(nodes->node_array_cpu);
}
