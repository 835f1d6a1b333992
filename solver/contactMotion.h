// The table of node holds and rigid-body states that the contact force step
// reads (contact/nodeMotion.h, contact/nodeMotionSource.h): built from the model's supports, prescribed
// motions, welds, joints, ties and rigid bodies, with the holds built anew
// when a condition's time window opens or closes, and the bodies' states
// every cycle between the penetration and the force passes.
#pragma once
#include <utility>
#include <vector>

#include "contact/nodeMotionSource.h"

class FEMDynamic;
class PairManager;
struct NodeCuda;

class ContactMotion : public NodeMotionSource {
 public:
  // device: the records of the GPU loop, else those of the host loop.
  ContactMotion(FEMDynamic* fem, bool device) : fem_(fem), device_(device) {}
  ContactMotion(const ContactMotion&) = delete;
  ContactMotion& operator=(const ContactMotion&) = delete;
  ~ContactMotion() override;

  void beginCycle() override;
  void refreshBodies() override;
  NodeMotionTable table() const override;

 private:
  FEMDynamic* fem_;
  bool device_;
  bool built_ = false;
  bool used_ = false;          // some node is held or rigid
  std::vector<char> windows_;  // which conditions acted when the holds were built
  std::vector<std::pair<const NodeCuda*, std::vector<NodeCuda*>>> led_;  // led nodes and their leaders
  std::vector<NodeHold> holds_;                                          // by store position
  std::vector<ContactBodyState> bodies_;
  NodeHold* holds_gpu_ = nullptr;
  ContactBodyState* bodies_gpu_ = nullptr;

  // Whether each node condition acts at the model's time.
  std::vector<char> conditionWindows() const;
  void buildHolds();
  void uploadHolds();
  // Held degrees of freedom of body b now (its material's and its active
  // prescribed motions').
  void heldDofs(int b, bool held[6]) const;
  void bodyState(int b, const double load[7], ContactBodyState& state) const;
};

// The pair manager's motion table for the coming contact step: made for the
// loop (device or host) at its first step, then renewed.
void beginContactMotion(FEMDynamic* fem, PairManager* pairs, bool device);
