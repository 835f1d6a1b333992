#include "solver/rigid.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "core/curve.h"
#include "core/curvemanager.h"
#include "core/node.h"
#include "core/part.h"
#include "materials/material.h"
#include "core/set.h"
#include "core/simpleMath.h"
#include "platform/blockReduce.h"
#include "platform/simdLane.h"
#include "solver/boundary.h"
#include "solver/rigidmanager.h"

namespace {

void cross(const double a[3], const double b[3], double c[3]) {
  c[0] = a[1] * b[2] - a[2] * b[1];
  c[1] = a[2] * b[0] - a[0] * b[2];
  c[2] = a[0] * b[1] - a[1] * b[0];
}

void matVec(const double m[9], const double v[3], double out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = m[3 * i] * v[0] + m[3 * i + 1] * v[1] + m[3 * i + 2] * v[2];
}

// Eigenvalues and eigenvectors (columns of q) of a symmetric 3x3 matrix by
// cyclic Jacobi rotations.
void symmetricEigen(const double m[9], double lambda[3], double q[9]) {
  double a[3][3];
  double v[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a[i][j] = m[3 * i + j];
  for (int sweep = 0; sweep < 50; ++sweep) {
    const double off = std::fabs(a[0][1]) + std::fabs(a[0][2]) + std::fabs(a[1][2]);
    const double diag = std::fabs(a[0][0]) + std::fabs(a[1][1]) + std::fabs(a[2][2]);
    if (off <= 1e-300 || off <= 1e-18 * diag) break;
    for (int p = 0; p < 2; ++p) {
      for (int r = p + 1; r < 3; ++r) {
        if (a[p][r] == 0.0) continue;
        const double theta = (a[r][r] - a[p][p]) / (2.0 * a[p][r]);
        const double t = (theta >= 0.0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
        const double c = 1.0 / std::sqrt(t * t + 1.0);
        const double s = t * c;
        for (int k = 0; k < 3; ++k) {  // A := A J
          const double akp = a[k][p], akr = a[k][r];
          a[k][p] = c * akp - s * akr;
          a[k][r] = s * akp + c * akr;
        }
        for (int k = 0; k < 3; ++k) {  // A := J^T A
          const double apk = a[p][k], ark = a[r][k];
          a[p][k] = c * apk - s * ark;
          a[r][k] = s * apk + c * ark;
        }
        for (int k = 0; k < 3; ++k) {
          const double vkp = v[k][p], vkr = v[k][r];
          v[k][p] = c * vkp - s * vkr;
          v[k][r] = s * vkp + c * vkr;
        }
      }
    }
  }
  for (int i = 0; i < 3; ++i) {
    lambda[i] = a[i][i];
    for (int j = 0; j < 3; ++j) q[3 * i + j] = v[i][j];
  }
}

__host__ __device__ inline double3 columnOf(const double r[9], int i) { return make_double3(r[i], r[i + 3], r[i + 6]); }

// The axes a constraint code of a rigid material holds: 0 none, 1 x, 2 y,
// 3 z, 4 x and y, 5 y and z, 6 z and x, 7 all.
void holdAxes(double code, int held[3]) {
  static const int kAxes[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                  {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
  const int c = code >= 0.0 && code <= 7.0 ? static_cast<int>(code) : 0;
  for (int i = 0; i < 3; ++i) held[i] = kAxes[c][i];
}

}  // namespace

void inertiaAboutCentre(double mass, const double c[3], const double sums[6], bool floorDiagonal, double inertia[9]) {
  // sums: I_xx, I_yy, I_zz about the origin, then P_xy, P_yz, P_zx.
  inertia[0] = sums[0] - mass * (c[1] * c[1] + c[2] * c[2]);
  inertia[4] = sums[1] - mass * (c[0] * c[0] + c[2] * c[2]);
  inertia[8] = sums[2] - mass * (c[0] * c[0] + c[1] * c[1]);
  inertia[1] = inertia[3] = mass * c[0] * c[1] - sums[3];
  inertia[5] = inertia[7] = mass * c[1] * c[2] - sums[4];
  inertia[2] = inertia[6] = mass * c[2] * c[0] - sums[5];
  if (!floorDiagonal) return;
  // Principal moments below 0.001 x the mean diagonal (a body on a line, in
  // any direction, or a single node) are raised to it in their own axes.
  const double floor = 0.001 * (inertia[0] + inertia[4] + inertia[8]) / 3.0;
  double lambda[3], q[9];
  symmetricEigen(inertia, lambda, q);
  bool raised = false;
  for (double& l : lambda) {
    if (l < floor) {
      l = floor;
      raised = true;
    }
  }
  if (!raised) return;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      inertia[3 * i + j] = q[3 * i] * lambda[0] * q[3 * j] + q[3 * i + 1] * lambda[1] * q[3 * j + 1] +
                           q[3 * i + 2] * lambda[2] * q[3 * j + 2];
}

// ---- kernels and their host twins ----

// Contribution of one node to the resultant about the centre: its force and
// the moment r x F plus its own moment.
__host__ __device__ inline void nodeResultant(const NodeCuda& node, double cx, double cy, double cz, double f[6]) {
  const double r[3] = {node.coord[0] - cx, node.coord[1] - cy, node.coord[2] - cz};
  for (int j = 0; j < 3; ++j) f[j] = nodeValueIsFinite(node.force[j]) ? node.force[j] : 0.0;
  f[3] = r[1] * f[2] - r[2] * f[1];
  f[4] = r[2] * f[0] - r[0] * f[2];
  f[5] = r[0] * f[1] - r[1] * f[0];
  for (int j = 0; j < 3; ++j) {
    if (nodeValueIsFinite(node.moment[j])) f[3 + j] += node.moment[j];
  }
}

// The same, taking the node's force and moment (set to 0).
__host__ __device__ inline void takeNodeResultant(NodeCuda& node, double cx, double cy, double cz, double f[6]) {
  nodeResultant(node, cx, cy, cz, f);
  for (int j = 0; j < 3; ++j) {
    node.force[j] = 0.0;
    node.moment[j] = 0.0;
  }
}

// The lines of the node records the two gathers read, asked for a few nodes
// ahead: coordinates, force and moment, and the contact-pair count.
constexpr int kRigidAhead = 8;
constexpr LaneRun kRigidCoordRun =
    nodeFieldRun(offsetof(NodeCuda, coord), offsetof(NodeCuda, coord), 3 * sizeof(double));
constexpr LaneRun kRigidLoadRun =
    nodeFieldRun(offsetof(NodeCuda, force), offsetof(NodeCuda, moment), 3 * sizeof(double));
constexpr LaneRun kRigidPairRun =
    nodeFieldRun(offsetof(NodeCuda, contact_pair_count), offsetof(NodeCuda, contact_pair_count), sizeof(double));

// The resultant and the contact-pair count of one node, as the contact
// force step reads them.
__host__ __device__ inline void nodeContactLoad(const NodeCuda& node, double3 c, double f[kContactLoadWidth]) {
  nodeResultant(node, c.x, c.y, c.z, f);
  f[6] = node.contact_pair_count;
}

__global__ void rigidNodeForceAssem(NodeCuda** nodes, int n, double3 centre, double* blockSums) {
  __shared__ double cache[6][kRigidGatherBlock];
  blockTreeReduce(
      [&](unsigned t) {
        const int k = static_cast<int>(blockIdx.x * kRigidGatherBlock + t);
        double f[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        lanePrefetchAheadOf<kRigidAhead>(nodes, k, n, kRigidCoordRun, kRigidLoadRun);
        if (k < n && nodes[k] != nullptr) takeNodeResultant(*nodes[k], centre.x, centre.y, centre.z, f);
        for (int j = 0; j < 6; ++j) cache[j][t] = f[j];
      },
      [&](unsigned t, unsigned u) {
        for (int j = 0; j < 6; ++j) cache[j][t] += cache[j][u];
      },
      [&] {
        for (int j = 0; j < 6; ++j) blockSums[6 * blockIdx.x + j] = cache[j][0];
      });
}

__global__ void rigidNodeContactLoad(NodeCuda* const* nodes, int n, double3 centre, double* blockSums) {
  __shared__ double cache[kContactLoadWidth][kRigidGatherBlock];
  blockTreeReduce(
      [&](unsigned t) {
        const int k = static_cast<int>(blockIdx.x * kRigidGatherBlock + t);
        double f[kContactLoadWidth] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        lanePrefetchAheadOf<kRigidAhead>(nodes, k, n, kRigidCoordRun, kRigidLoadRun, kRigidPairRun);
        if (k < n && nodes[k] != nullptr) nodeContactLoad(*nodes[k], centre, f);
        for (int j = 0; j < kContactLoadWidth; ++j) cache[j][t] = f[j];
      },
      [&](unsigned t, unsigned u) {
        for (int j = 0; j < kContactLoadWidth; ++j) cache[j][t] += cache[j][u];
      },
      [&] {
        for (int j = 0; j < kContactLoadWidth; ++j) blockSums[kContactLoadWidth * blockIdx.x + j] = cache[j][0];
      });
}

// Velocity that takes a node from x to the rigidly moved position in one
// step: v + (R d - d) / dt with d = x - centre; the angular velocity is the
// body's.
__host__ __device__ inline void rigidNodeVelocity(NodeCuda& node, double invDt, double3 c, double3 r0, double3 r1,
                                                  double3 r2, double3 v, double3 omega) {
  const double d[3] = {node.coord[0] - c.x, node.coord[1] - c.y, node.coord[2] - c.z};
  const double rd[3] = {r0.x * d[0] + r1.x * d[1] + r2.x * d[2], r0.y * d[0] + r1.y * d[1] + r2.y * d[2],
                        r0.z * d[0] + r1.z * d[1] + r2.z * d[2]};
  node.vel[0] = v.x + (rd[0] - d[0]) * invDt;
  node.vel[1] = v.y + (rd[1] - d[1]) * invDt;
  node.vel[2] = v.z + (rd[2] - d[2]) * invDt;
  node.vel[3] = omega.x;
  node.vel[4] = omega.y;
  node.vel[5] = omega.z;
}

__global__ void rigidNodeVelGlobal(NodeCuda** nodes, double invDt, double3 centre, double3 r0, double3 r1, double3 r2,
                                   double3 v, double3 omega, int n) {
  const int stride = blockDim.x * blockDim.y * gridDim.x * gridDim.y;
  for (int k = ((blockDim.y * blockIdx.y + threadIdx.y) * gridDim.x + blockIdx.x) * blockDim.x + threadIdx.x; k < n;
       k += stride) {
    if (nodes[k] != nullptr) rigidNodeVelocity(*nodes[k], invDt, centre, r0, r1, r2, v, omega);
  }
}

// ---- RigidCuda ----

int RigidCuda::partId() const { return part != nullptr ? part->id : 0; }

const RigidCuda* RigidCuda::root() const {
  const RigidCuda* body = this;
  while (body->mergedInto != nullptr && body->mergedInto != body) body = body->mergedInto;
  return body;
}

bool RigidCuda::holdsNode(const NodeCuda* node) const {
  return std::find(nodes.begin(), nodes.end(), node) != nodes.end() ||
         std::find(extraNodes.begin(), extraNodes.end(), node) != extraNodes.end();
}

void RigidCuda::linkNodes() {
  nodes.clear();
  if (part != nullptr) nodes = part->node_array;
  if (set != nullptr) {
    nodes.clear();
    for (NodeCuda* member : set->node_array_cpu) {
      if (member != nullptr) nodes.push_back(member);
    }
  }
  node_num = static_cast<int>(nodes.size());
  for (NodeCuda* node : nodes) node->rigid_flag = 1;
}

void RigidCuda::holdMaterialConstraints() {
  std::fill(dofFlag, dofFlag + 6, 0);
  const Material* material = part != nullptr ? part->material : nullptr;
  if (material == nullptr || material->constraint_option != 1.0) return;
  holdAxes(material->constraint_1, dofFlag);
  holdAxes(material->constraint_2, dofFlag + 3);
}

void RigidCuda::computeMassProperties(RigidManager* rigidManager) {
  merged = 0;
  const int id = partId();
  if (id != 0) {
    for (const std::vector<int>* ids : {&rigidManager->master_rigid_ids, &rigidManager->slave_rigid_ids}) {
      if (std::find(ids->begin(), ids->end(), id) != ids->end()) merged = 1;
    }
  }
  double m = 0.0, first[3] = {0.0, 0.0, 0.0}, sums[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  for (const std::vector<NodeCuda*>* list : {&extraNodes, &nodes}) {
    for (const NodeCuda* node : *list) {
      const double w = node->mass;
      const double x = node->coord[0], y = node->coord[1], z = node->coord[2];
      m += w;
      first[0] += w * x;
      first[1] += w * y;
      first[2] += w * z;
      sums[0] += w * (y * y + z * z);
      sums[1] += w * (x * x + z * z);
      sums[2] += w * (x * x + y * y);
      sums[3] += w * x * y;
      sums[4] += w * y * z;
      sums[5] += w * z * x;
    }
  }
  for (int i = 0; i < 3; ++i) {
    mass[i] = m;
    centre[i] = m > 0.0 ? first[i] / m : 0.0;
  }
  inertiaAboutCentre(m, centre, sums, merged == 0, inertia);
}

void RigidCuda::copyNodesToGpu(NodeManager* nodeManager) {
  node_array_gpu.build(nodes, nodeManager);
  extra_node_array_gpu.build(extraNodes, nodeManager);
  rigids_node_array_gpu.build(rigidsNodes, nodeManager);
}

void RigidCuda::allocateForceBuffer() {
  if (node_num <= 0) return;
  const int most = std::max({node_num, static_cast<int>(extraNodes.size()), static_cast<int>(rigidsNodes.size())});
  const int blocks = most / kRigidGatherBlock + 1;
  force_gpu.assign(nullptr, 6 * blocks);
  force_cpu.assign(static_cast<std::size_t>(6 * blocks), 0.0);
}

void RigidCuda::gatherList(const DeviceNodeList& list) {
  const int n = list.size();
  if (n <= 0 || force_gpu.data() == nullptr) return;
  const int blocks = n / kRigidGatherBlock + 1;
  launch(rigidNodeForceAssem, dim3(static_cast<unsigned>(blocks)), dim3(kRigidGatherBlock), list.data(), n,
         make_double3(centre[0], centre[1], centre[2]), force_gpu.data());
  force_gpu.copyToHost(force_cpu.data());
  for (int b = 0; b < blocks; ++b) {
    for (int j = 0; j < 6; ++j) force[j] += force_cpu[static_cast<std::size_t>(6 * b + j)];
  }
}

// Gyroscopic moment -w x (I w) of the master body (a merged slave's motion is
// its master's) when asked, then non-finite components become 0.
void RigidCuda::finishResultant(bool spin) {
  if (spin && mergedInto == nullptr) {
    double iw[3], wxiw[3];
    matVec(inertia, velocity + 3, iw);
    cross(velocity + 3, iw, wxiw);
    for (int j = 0; j < 3; ++j) force[3 + j] -= wxiw[j];
  }
  for (double& f : force) {
    if (!std::isfinite(f)) f = 0.0;
  }
}

void RigidCuda::gatherForcesGpu(bool spin) {
  if (node_num <= 0) return;
  std::fill(force, force + 6, 0.0);
  gatherList(node_array_gpu);
  gatherList(extra_node_array_gpu);
  finishResultant(spin);
}

void RigidCuda::gatherForcesCpu(bool spin) {
  std::fill(force, force + 6, 0.0);
  for (const std::vector<NodeCuda*>* list : {&nodes, &extraNodes}) {
    for (NodeCuda* node : *list) {
      double f[6];
      takeNodeResultant(*node, centre[0], centre[1], centre[2], f);
      for (int j = 0; j < 6; ++j) force[j] += f[j];
    }
  }
  finishResultant(spin);
}

void RigidCuda::computeAccelerations() {
  if (mass[0] < kNodeMassTolerance && mass[1] < kNodeMassTolerance && mass[2] < kNodeMassTolerance) {
    std::fill(acceleration, acceleration + 6, 0.0);
    return;
  }
  double inv[9], alpha[3] = {0.0, 0.0, 0.0};
  if (invertInertia(inertia, inv)) matVec(inv, force + 3, alpha);
  for (int k = 0; k < 6; ++k) acceleration[k] = dofFlag[k] == 1 ? 0.0 : k < 3 ? force[k] / mass[k] : alpha[k - 3];
}

// A held degree of freedom does not move, whatever was prescribed or given
// as initial velocity.
void RigidCuda::updateVelocity(double dt, double prevDt) {
  for (int k = 0; k < 6; ++k) {
    if (dofFlag[k] == 1) {
      acceleration[k] = velocity[k] = 0.0;
    } else {
      velocity[k] += 0.5 * (dt + prevDt) * acceleration[k];
    }
  }
}

void RigidCuda::stepRotation(double dt, double r[9]) {
  const double tx = dt * velocity[3], ty = dt * velocity[4], tz = dt * velocity[5];
  const double k = 2.0 / (4.0 + tx * tx + ty * ty + tz * tz);
  // Row by row; the columns are the images of the axes.
  const double m[9] = {1.0 - (ty * ty + tz * tz) * k, (tx * ty - 2.0 * tz) * k,      (2.0 * ty + tx * tz) * k,
                       (2.0 * tz + tx * ty) * k,      1.0 - (tx * tx + tz * tz) * k, (ty * tz - 2.0 * tx) * k,
                       (tx * tz - 2.0 * ty) * k,      (2.0 * tx + ty * tz) * k,      1.0 - (tx * tx + ty * ty) * k};
  std::copy(m, m + 9, r);
  double ri[9], turned[9];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      ri[3 * i + j] = r[3 * i] * inertia[j] + r[3 * i + 1] * inertia[3 + j] + r[3 * i + 2] * inertia[6 + j];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      turned[3 * i + j] = ri[3 * i] * r[3 * j] + ri[3 * i + 1] * r[3 * j + 1] + ri[3 * i + 2] * r[3 * j + 2];
  // The tensor stays symmetric to rounding.
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) inertia[3 * i + j] = 0.5 * (turned[3 * i + j] + turned[3 * j + i]);
}

void RigidCuda::keepStepStart() {
  std::copy(centre, centre + 3, stepCentre_);
  std::copy(displacement, displacement + 6, stepDisplacement_);
  std::copy(inertia, inertia + 9, stepInertia_);
  stepStarted_ = true;
}

void RigidCuda::rewindStep() {
  if (!stepStarted_) return;
  std::copy(stepCentre_, stepCentre_ + 3, centre);
  std::copy(stepDisplacement_, stepDisplacement_ + 6, displacement);
  std::copy(stepInertia_, stepInertia_ + 9, inertia);
}

void RigidCuda::advanceState(double dt) {
  for (int k = 0; k < 6; ++k) displacement[k] += dt * velocity[k];
  for (int k = 0; k < 3; ++k) centre[k] += dt * velocity[k];
}

// One step of the body: its rotation over dt, the velocities its member and
// extra nodes take (setNodes(centre, rotation, velocity, angular velocity)),
// then its state at the end of the step.
template <typename SetNodes>
void RigidCuda::stepNodes(double dt, SetNodes setNodes) {
  keepStepStart();
  double r[9];
  stepRotation(dt, r);
  const double3 c = make_double3(centre[0], centre[1], centre[2]);
  const double3 v = make_double3(velocity[0], velocity[1], velocity[2]);
  const double3 w = make_double3(velocity[3], velocity[4], velocity[5]);
  setNodes(c, r, v, w);
  advanceState(dt);
}

void RigidCuda::updateNodesGpu(double dt) {
  if (node_num <= 0 || !(dt > 0.0)) return;
  stepNodes(dt, [&](double3 c, const double r[9], double3 v, double3 w) {
    for (const DeviceNodeList* list : {&node_array_gpu, &extra_node_array_gpu}) {
      const int n = list->size();
      if (n <= 0) continue;
      launch(rigidNodeVelGlobal, dim3(static_cast<unsigned>(n / 32 + 1)), dim3(5, 5), list->data(), 1.0 / dt, c,
             columnOf(r, 0), columnOf(r, 1), columnOf(r, 2), v, w, n);
    }
  });
}

void RigidCuda::updateNodesCpu(double dt) {
  if (nodes.empty()) {
    std::printf("刚体中不包含节点\n");
    return;
  }
  if (!(dt > 0.0)) return;
  stepNodes(dt, [&](double3 c, const double r[9], double3 v, double3 w) {
    for (const std::vector<NodeCuda*>* list : {&nodes, &extraNodes}) {
      for (NodeCuda* node : *list)
        rigidNodeVelocity(*node, 1.0 / dt, c, columnOf(r, 0), columnOf(r, 1), columnOf(r, 2), v, w);
    }
  });
}

void RigidCuda::addContactLoad(const DeviceNodeList& list, double load[7]) {
  const int n = list.size();
  if (n <= 0) return;
  const int blocks = n / kRigidGatherBlock + 1;
  const int values = kContactLoadWidth * blocks;
  if (contact_load_gpu.size() < values) {
    contact_load_gpu.assign(nullptr, values);
    contact_load_cpu.assign(static_cast<std::size_t>(values), 0.0);
  }
  launch(rigidNodeContactLoad, dim3(static_cast<unsigned>(blocks)), dim3(kRigidGatherBlock), list.data(), n,
         make_double3(centre[0], centre[1], centre[2]), contact_load_gpu.data());
  contact_load_gpu.copyToHost(contact_load_cpu.data());
  for (int b = 0; b < blocks; ++b) {
    for (int j = 0; j < kContactLoadWidth; ++j)
      load[j] += contact_load_cpu[static_cast<std::size_t>(kContactLoadWidth * b + j)];
  }
}

void RigidCuda::contactLoadGpu(double load[7]) {
  std::fill(load, load + kContactLoadWidth, 0.0);
  addContactLoad(node_array_gpu, load);
  addContactLoad(extra_node_array_gpu, load);
}

void RigidCuda::contactLoadCpu(double load[7]) const {
  std::fill(load, load + kContactLoadWidth, 0.0);
  const double3 c = make_double3(centre[0], centre[1], centre[2]);
  for (const std::vector<NodeCuda*>* list : {&nodes, &extraNodes}) {
    for (const NodeCuda* node : *list) {
      double f[kContactLoadWidth];
      nodeContactLoad(*node, c, f);
      for (int j = 0; j < kContactLoadWidth; ++j) load[j] += f[j];
    }
  }
}

// ---- RigidConstrained ----

bool RigidConstrained::linkRigidCuda(RigidManager* rigidManager) {
  rigid = rigidManager->findRigidByPart(part_id);
  if (rigid == nullptr) {
    std::fprintf(stderr, "*BOUNDARY_PRESCRIBED_MOTION_RIGID: part %d is not a rigid body of the model\n", part_id);
    return false;
  }
  // The release factors are stored as 1 - flag and turned once more here:
  // the projection keeps 1 - flag of each acceleration.
  for (int k = 0; k < 6; ++k) release[k] = dof_flag[k];
  std::fill(frame, frame + 9, 0.0);
  frame[0] = frame[4] = frame[8] = 1.0;
  if (boundary != nullptr) {
    curve_id = boundary->curve_id;
    for (int k = 0; k < 6; ++k) {
      dofCode[k] = boundary->dof_flag[k];
      value[k] = boundary->dof_value[k];
    }
    motionType = boundary->type == BOUNDARY_ACCELERATION_ALT ? 0 : boundary->type;
  }
  return true;
}

bool RigidConstrained::linkCurve(CurveManager* curveManager) {
  return curveManager->linkCurve(curve_id, curve, "*BOUNDARY_PRESCRIBED_MOTION_RIGID");
}

void RigidConstrained::computeFactor(double time, double reachedTime) {
  factor = curve != nullptr ? curve->returnValue(motionType == 1 ? reachedTime : time) : 1.0;
  active_ = activeAt(time);
}

bool RigidConstrained::activeAt(double time) const { return boundary == nullptr || boundary->activeAt(time); }

void RigidConstrained::imposeMotion(double dt, double prevDt) {
  if (rigid == nullptr || !active_) return;
  const double span = dt + prevDt;
  for (int k = 0; k < 6; ++k) {
    if (dofCode[k] == 0) continue;
    const double v = value[k] * factor;
    double& a = rigid->acceleration[k];
    if (motionType == 0) {
      a = 0.0;
    } else if (motionType == 3) {
      a = v;
    } else if (motionType == 2) {
      a = span > 0.0 ? 2.0 * (v - rigid->velocity[k]) / span : 0.0;
    } else if (motionType == 1) {
      a = span > 0.0 && dt > 0.0 ? 2.0 * ((v - rigid->displacement[k]) / dt - rigid->velocity[k]) / span : 0.0;
    }
  }
}

void RigidConstrained::projectAccelerations() {
  if (rigid == nullptr || !active_) return;
  for (int part = 0; part < 2; ++part) {
    double* a = rigid->acceleration + 3 * part;
    double local[3];
    for (int i = 0; i < 3; ++i) local[i] = frame[i] * a[0] + frame[3 + i] * a[1] + frame[6 + i] * a[2];  // Q^T a
    for (int i = 0; i < 3; ++i) local[i] *= 1.0 - release[3 * part + i];
    matVec(frame, local, a);
  }
}
