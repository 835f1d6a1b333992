#include "solver/contactMotion.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "contact/pairmanager.h"
#include "contact/tiemanager.h"
#include "core/deviceFree.h"
#include "core/nodeManager.h"
#include "core/simpleMath.h"
#include "solver/boundary.h"
#include "solver/constrained.h"
#include "solver/femdynamic.h"
#include "solver/prescribedNodes.h"
#include "solver/rigidmanager.h"

namespace {

// HeldAxis bits of a condition's translations.
int heldAxesOf(const BasicBoundary& b) {
  if (b.type < BOUNDARY_DISPLACEMENT || b.type > BOUNDARY_ACCELERATION_ALT) return 0;
  int bits = 0;
  for (int j = 0; j < 3; ++j) {
    if (b.dof_flag[j] != 0) bits |= 1 << j;
  }
  return bits;
}

// Position of a body in the model's list, following a merged body to the
// body it moves with.
int rootBody(const std::vector<RigidCuda>& bodies, const RigidCuda* body) {
  return static_cast<int>(body->root() - bodies.data());
}

double finiteOrZero(double x) { return std::isfinite(x) ? x : 0.0; }

}  // namespace

ContactMotion::~ContactMotion() {
  freeDevice(holds_gpu_);
  freeDevice(bodies_gpu_);
}

std::vector<char> ContactMotion::conditionWindows() const {
  std::vector<char> acting;
  for (const auto& b : fem_->boundaryManager->boundary_array) acting.push_back(b->activeAt(fem_->time) ? 1 : 0);
  return acting;
}

void ContactMotion::beginCycle() {
  if (!built_) {
    led_ = translationLeaders(*fem_->constrainedManager, *fem_->tieManager);
    bodies_.assign(fem_->rigidManager->rigid_array.size(), ContactBodyState{});
    windows_ = conditionWindows();
    buildHolds();
    built_ = true;
    return;
  }
  std::vector<char> acting = conditionWindows();
  if (acting == windows_) return;
  windows_ = std::move(acting);
  buildHolds();
}

void ContactMotion::buildHolds() {
  const std::vector<NodeCuda>& nodes = fem_->nodeManager->node_array_cpu;
  holds_.assign(nodes.size(), NodeHold{0, -1});
  auto hold = [this](const NodeCuda* node, int bits) {
    if (node != nullptr && node->store_id >= 0 && node->store_id < static_cast<int>(holds_.size()))
      holds_[static_cast<std::size_t>(node->store_id)].held_axes |= bits;
  };
  const auto& conditions = fem_->boundaryManager->boundary_array;
  for (std::size_t k = 0; k < conditions.size(); ++k) {
    const auto* nb = dynamic_cast<const NodeBoundary*>(conditions[k].get());
    const int bits = nb != nullptr && windows_[k] != 0 ? heldAxesOf(*nb) : 0;
    if (bits == 0) continue;
    for (const NodeCuda* node : nb->targetNodes()) hold(node, bits);
    for (const NodeCuda* node : nb->translatedNodes()) hold(node, bits);
  }
  // A node that follows others (a weld to a held node, ...) is held where
  // all its leaders are.
  for (const auto& [node, leaders] : led_) {
    int bits = HELD_X | HELD_Y | HELD_Z;
    for (const NodeCuda* leader : leaders) bits &= holds_[static_cast<std::size_t>(leader->store_id)].held_axes;
    hold(node, leaders.empty() ? 0 : bits);
  }
  const std::vector<RigidCuda>& bodies = fem_->rigidManager->rigid_array;
  for (const RigidCuda& body : bodies) {
    const int root = rootBody(bodies, &body);
    for (const std::vector<NodeCuda*>* list : {&body.nodes, &body.extraNodes}) {
      for (const NodeCuda* node : *list) {
        if (node != nullptr) holds_[static_cast<std::size_t>(node->store_id)].body = root;
      }
    }
  }
  used_ =
      !bodies.empty() || std::any_of(holds_.begin(), holds_.end(), [](const NodeHold& h) { return h.held_axes != 0; });
  uploadHolds();
}

void ContactMotion::uploadHolds() {
  if (!device_ || !used_ || holds_.empty()) return;
  const std::size_t bytes = holds_.size() * sizeof(NodeHold);
  if (holds_gpu_ == nullptr) CUDA_CHECK(cudaMalloc(reinterpret_cast<void**>(&holds_gpu_), bytes));
  CUDA_CHECK(cudaMemcpy(holds_gpu_, holds_.data(), bytes, cudaMemcpyHostToDevice));
}

void ContactMotion::heldDofs(int b, bool held[6]) const {
  const RigidCuda& body = fem_->rigidManager->rigid_array[static_cast<std::size_t>(b)];
  for (int k = 0; k < 6; ++k) held[k] = body.dofFlag[k] == 1;
  for (const RigidConstrained& rc : fem_->rigidManager->rigid_constrained_array) {
    if (rc.rigid == nullptr || rootBody(fem_->rigidManager->rigid_array, rc.rigid) != b || !rc.activeAt(fem_->time))
      continue;
    for (int k = 0; k < 6; ++k) held[k] = held[k] || rc.dofCode[k] != 0;
  }
}

// The body's translation answers a force by 1/M in its free axes, its
// rotation by the inverse inertia in its free rotations; it accelerates as
// the forces now on its nodes drive it (with the gyroscopic moment of its
// spin, as the body's own update takes it).
void ContactMotion::bodyState(int b, const double load[7], ContactBodyState& state) const {
  const RigidCuda& body = fem_->rigidManager->rigid_array[static_cast<std::size_t>(b)];
  bool held[6];
  heldDofs(b, held);
  state = ContactBodyState{};
  for (int j = 0; j < 3; ++j) state.centre[j] = body.centre[j];
  state.pair_count = finiteOrZero(load[6]);
  if (!(body.mass[0] >= kNodeMassTolerance)) return;
  state.mass = body.mass[0];
  if (!invertInertia(body.inertia, state.inv_inertia)) std::fill(state.inv_inertia, state.inv_inertia + 9, 0.0);
  for (int i = 0; i < 3; ++i) {
    state.free_axes[i] = held[i] ? 0.0 : 1.0;
    if (held[3 + i]) std::fill(state.inv_inertia + 3 * i, state.inv_inertia + 3 * i + 3, 0.0);
  }
  const double* w = body.velocity + 3;
  const double* I = body.inertia;
  double iw[3], moment[3];
  for (int i = 0; i < 3; ++i) iw[i] = I[3 * i] * w[0] + I[3 * i + 1] * w[1] + I[3 * i + 2] * w[2];
  moment[0] = finiteOrZero(load[3]) - (w[1] * iw[2] - w[2] * iw[1]);
  moment[1] = finiteOrZero(load[4]) - (w[2] * iw[0] - w[0] * iw[2]);
  moment[2] = finiteOrZero(load[5]) - (w[0] * iw[1] - w[1] * iw[0]);
  for (int i = 0; i < 3; ++i) {
    state.accel[i] = state.free_axes[i] * finiteOrZero(load[i]) / state.mass;
    const double* row = state.inv_inertia + 3 * i;
    state.accel[3 + i] = row[0] * moment[0] + row[1] * moment[1] + row[2] * moment[2];
  }
}

void ContactMotion::refreshBodies() {
  if (!built_ || bodies_.empty()) return;
  RigidManager* rm = fem_->rigidManager;
  std::vector<RigidCuda>& bodies = rm->rigid_array;
  std::vector<double> loads(7 * bodies.size(), 0.0);
  for (std::size_t b = 0; b < bodies.size(); ++b) {
    double* load = &loads[7 * b];
    if (device_) {
      bodies[b].contactLoadGpu(load);
    } else {
      bodies[b].contactLoadCpu(load);
    }
  }
  // A merged body's nodes push the body it moves with (about the one centre
  // they share).
  for (std::size_t b = 0; b < bodies.size(); ++b) {
    const int root = rootBody(bodies, &bodies[b]);
    if (root == static_cast<int>(b)) continue;
    for (int j = 0; j < 7; ++j) loads[7 * static_cast<std::size_t>(root) + j] += loads[7 * b + j];
  }
  for (std::size_t b = 0; b < bodies.size(); ++b) bodyState(static_cast<int>(b), &loads[7 * b], bodies_[b]);
  if (!device_) return;
  const std::size_t bytes = bodies_.size() * sizeof(ContactBodyState);
  if (bodies_gpu_ == nullptr) CUDA_CHECK(cudaMalloc(reinterpret_cast<void**>(&bodies_gpu_), bytes));
  CUDA_CHECK(cudaMemcpy(bodies_gpu_, bodies_.data(), bytes, cudaMemcpyHostToDevice));
}

NodeMotionTable ContactMotion::table() const {
  if (!used_) return NodeMotionTable{nullptr, 0, nullptr, 0};
  const int nodes = static_cast<int>(holds_.size()), bodies = static_cast<int>(bodies_.size());
  if (device_) return NodeMotionTable{holds_gpu_, nodes, bodies_gpu_, bodies_gpu_ != nullptr ? bodies : 0};
  return NodeMotionTable{holds_.data(), nodes, bodies_.data(), bodies};
}

void beginContactMotion(FEMDynamic* fem, PairManager* pairs, bool device) {
  if (pairs->motion == nullptr) pairs->motion = std::make_unique<ContactMotion>(fem, device);
  pairs->motion->beginCycle();
}
