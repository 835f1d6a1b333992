#include "output/nodeOutput.h"

#include <cstdio>
#include <algorithm>
#include <ios>
#include <utility>

#include "contact/contactpair.h"
#include "contact/pairmanager.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "core/set.h"
#include "core/setManager.h"
#include "output/outputManager.h"
#include "output/outputModel.h"

void NodeOutput::init(OutputModel* fem) {
  active_ = false;
  nodes_.clear();
  if (setId_ == 0) {
    return;
  }
  nodeSet_ = fem->setManager->findSet(setId_, SET_NODE);
  if (nodeSet_ != nullptr) {
    for (NodeCuda* node : nodeSet_->node_array_cpu) {
      if (node != nullptr) {
        nodes_.push_back(node);
      }
    }
  }
  if (nodes_.empty()) {
    std::printf("node history \"%s\": node set %d %s; the output is skipped\n", setName_.c_str(), setId_,
                nodeSet_ == nullptr ? "is not defined" : "holds no node of the model");
    return;
  }
  active_ = true;
  // The folder is made only for an output that writes into it.
  outputPath_ = historyOutputFolder(fem, "nodeoutput");
  reference_ = nodes_.front();
  if (nodeSet_->id_array.size() == 1) {
    followRigidBody(fem);
  }

  needMemSize_ = 0;
  bufferOffsets_.clear();
  for (int code : variableCodes_) {
    bufferOffsets_.push_back(needMemSize_);
    if (code == OUTPUT_CONTACT_FORCE) {
      if (fem->outputManager->rftInterval_ > 1e-6) {
        interval_ = fem->outputManager->rftInterval_;
      }
      needMemSize_ += 6;
    }
  }
  needMemoryCpu.assign(static_cast<std::size_t>(needMemSize_), 0.0);
  if (fem->host_path_flag == 0) {
    needMemoryGpu.assign(nullptr, needMemSize_);
    nodesGpu_.build(nodes_, fem->nodeManager);
    const bool stresses = std::any_of(variableCodes_.begin(), variableCodes_.end(),
                                      [](int code) { return code == OUTPUT_STRESS || code == OUTPUT_STRAIN; });
    if (stresses) stressGpu_.assign(nullptr, 12 * nodesGpu_.size());
  }
}

void NodeOutput::followRigidBody(OutputModel* fem) {
  std::vector<NodeCuda*> body = fem->rigidBodyNodes(reference_);
  if (body.empty()) {
    return;
  }
  nodeSet_ = nullptr;
  nodes_ = std::move(body);
  std::printf(
      "node history \"%s\": node %d is the reference node of a rigid body; the output follows its %zu "
      "nodes\n",
      setName_.c_str(), reference_->id, nodes_.size());
}

void NodeOutput::collect(OutputModel* fem, double time, double dt) {
  if (!active_ || !isOutputPoint(time, dt)) {
    return;
  }
  bool recordsCopied = false;
  for (std::size_t c = 0; c < variableCodes_.size(); ++c) {
    const int code = variableCodes_[c];
    double* B = needMemoryCpu.data() + bufferOffsets_[c];
    if (code == OUTPUT_CONTACT_FORCE) {
      if (fem->host_path_flag == 0) {
        collectContactForceGpu(fem, B, needMemoryGpu.data() + bufferOffsets_[c]);
      } else {
        collectContactForceCpu(fem, B);
      }
    } else if ((code == OUTPUT_STRESS || code == OUTPUT_STRAIN) && !recordsCopied) {
      recordsCopied = true;
      if (fem->host_path_flag == 0) {
        collectNodeRecordsGpu(fem, time);
      } else if (!hostStressNoted_) {
        hostStressNoted_ = true;
        std::printf(
            "node history \"%s\": the host run does not average element stresses and strains "
            "into the nodes; those columns hold zeros\n",
            setName_.c_str());
      }
    }
  }
}

void NodeOutput::collectContactForceCpu(OutputModel* fem, double* B) {
  // The same sum as the device path: every active pair adds its force to
  // its slave and master nodes' accumulators, and the set's accumulators
  // are summed. The host loop still needs this cycle's accumulators for its
  // velocity update, so they are kept aside and put back.
  std::vector<NodeCuda>& all = fem->nodeManager->node_array_cpu;
  std::vector<double> kept(all.size() * 3);
  for (std::size_t i = 0; i < all.size(); ++i) {
    for (int j = 0; j < 3; ++j) {
      kept[i * 3 + j] = all[i].contact_force[j];
      all[i].contact_force[j] = 0.0;
    }
  }
  PairManager* pairs = fem->pairManager;
  const std::size_t pairCount =
      std::min(pairs->contact_pair_array_cpu.size(), static_cast<std::size_t>(std::max(pairs->contact_node_num, 0)));
  for (std::size_t p = 0; p < pairCount; ++p) {
    if (pairs->contact_pair_array_cpu[p] != nullptr) {
      pairs->contact_pair_array_cpu[p]->openShares(0);
      pairs->contact_pair_array_cpu[p]->storeFcnToNodeDfn();
    }
  }
  for (int j = 0; j < 3; ++j) {
    B[j] = 0.0;
  }
  for (const NodeCuda* node : nodes_) {
    for (int j = 0; j < 3; ++j) {
      B[j] += node->contact_force[j];
    }
  }
  for (std::size_t i = 0; i < all.size(); ++i) {
    for (int j = 0; j < 3; ++j) {
      all[i].contact_force[j] = kept[i * 3 + j];
    }
  }
  for (int j = 0; j < 3; ++j) {
    B[3 + j] = reference_->total_disp[j];
  }
}

void NodeOutput::write(OutputModel*, double time, double dt) {
  if (!active_ || !isOutputPoint(time, dt)) {
    return;
  }
  for (std::size_t c = 0; c < variableCodes_.size(); ++c) {
    const int code = variableCodes_[c];
    if (code == OUTPUT_CONTACT_FORCE) {
      writeContactLine(time, needMemoryCpu.data() + bufferOffsets_[c]);
    } else if (code == OUTPUT_STRESS) {
      writeNodeLines("/nodestress_file_", time, false);
    } else if (code == OUTPUT_STRAIN) {
      writeNodeLines("/nodestrain_file_", time, true);
    }
  }
}

void NodeOutput::writeContactLine(double time, const double* B) {
  CheckedFile out;
  openRunFile(out, outputPath_ + "/contact_file_" + setName_ + ".txt");
  setHistoryNumberFormat(out);
  out << time << "\t" << B[3] << "\t" << B[4] << "\t" << B[5] << "\t" << B[0] << "\t" << B[1] << "\t" << B[2]
      << std::endl;
}

void NodeOutput::writeNodeLines(const char* prefix, double time, bool strain) {
  CheckedFile out;
  openRunFile(out, outputPath_ + prefix + setName_ + ".txt");
  setHistoryNumberFormat(out);
  for (const NodeCuda* node : nodes_) {
    const double* values = strain ? node->strain : node->stress;
    out << time << "\t" << node->id << "\t";
    for (int k = 0; k < 6; ++k) {
      out << values[k] << "\t";
    }
    out << '\n';
  }
}
