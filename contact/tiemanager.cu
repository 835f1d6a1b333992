#include "contact/tiemanager.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include "contact/contact.h"
#include "contact/contactGeom.h"
#include "contact/surface.h"
#include "contact/surfacemanager.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/repeatedMessage.h"

using namespace contact_geom;

void SubTieDeviceFree::operator()(SubTie* array) const { CUDA_CHECK(cudaFree(array)); }

const std::vector<NodeCuda*>& Tie::slaveNodes() const {
  return slaveSurface != nullptr ? slaveSurface->node_array : slave_node_array_cpu;
}

namespace {

// Mean edge length of a segment.
double meanEdge(const SegmentCuda& s) {
  const int N = s.node_num;
  double sum = 0.0;
  for (int k = 0; k < N; ++k) {
    double e[3];
    sub3(s.node[nextEdge(k, N)]->coord, s.node[k]->coord, e);
    sum += norm3(e);
  }
  return N > 0 ? sum / N : 0.0;
}

// Share of a segment's mean edge taken as the tolerance when none is given.
constexpr double kDefaultToleranceShare = 0.05;
// Share of a segment's mean edge by which round-off may put a node outside.
constexpr double kRoundOffShare = 1e-6;

struct SegmentBox {
  int index;
  double lo[3], hi[3];
  double tol, eps;
};

// The segment's node ids without a triangle's repeated fourth.
bool hasNodeId(const SegmentCuda& s, int id) {
  for (int k = 0; k < s.node_num; ++k) {
    if (s.node_id[k] == id) return true;
  }
  return false;
}

// True when x lies inside the segment's edges (up to eps), c its unit normal.
bool insideEdges(const SegmentCuda& s, const double* c, const double* x, double eps) {
  const int N = s.node_num;
  for (int k = 0; k < N; ++k) {
    double edge[3], b[3], d[3];
    sub3(s.node[nextEdge(k, N)]->coord, s.node[k]->coord, edge);
    cross3(edge, c, b);
    const double bl = norm3(b);
    if (!(bl > 0.0)) return false;
    sub3(x, s.node[k]->coord, d);
    if (dot3(b, d) / bl > eps) return false;
  }
  return true;
}

Surface* lastSurfaceWithId(SurfaceManager* sm, int id) {
  Surface* found = nullptr;
  for (Surface& s : sm->surface_array) {
    if (s.id == id) found = &s;
  }
  return found;
}

}  // namespace

void TieManager::addTieFromContact(const Contact& contact) {
  Tie tie;
  tie.contact_id = contact.contact_id;
  tie.master_surface_id = contact.masterSurface != nullptr ? contact.masterSurface->id : 0;
  tie.slave_surface_id = contact.slaveSurface != nullptr ? contact.slaveSurface->id : 0;
  tie.slave_node_array_cpu = contact.slave_node_array_cpu;
  tie.tolerance = contact.tie_tolerance;
  tie_array.push_back(std::move(tie));
  tie_num = static_cast<int32_t>(tie_array.size());
}

void TieManager::linkTieSurfaces(SurfaceManager* surfaceManager) {
  std::vector<Tie> kept;
  for (Tie& tie : tie_array) {
    tie.masterSurface = lastSurfaceWithId(surfaceManager, tie.master_surface_id);
    tie.slaveSurface = tie.slave_surface_id != 0 ? lastSurfaceWithId(surfaceManager, tie.slave_surface_id) : nullptr;
    const bool slaves = tie.slaveSurface != nullptr || !tie.slave_node_array_cpu.empty();
    if (tie.masterSurface == nullptr || !slaves) {
      fprintf(stderr,
              "Tie %d (master surface %d, slave surface %d): a side names no surface or nodes; the tie is dropped\n",
              tie.contact_id, tie.master_surface_id, tie.slave_surface_id);
      continue;
    }
    kept.push_back(std::move(tie));
  }
  tie_array.swap(kept);
  tie_num = static_cast<int32_t>(tie_array.size());
}

void TieManager::resolveTieInput() {
  if (tie_array.size() < 2) return;
  std::map<std::array<int, 4>, int> faces;
  std::set<int> repeated;
  auto scan = [&](const Surface* s) {
    if (s == nullptr || repeated.count(s->id) != 0) return;
    int repeats = 0;
    for (const SegmentCuda& seg : s->segment_array) {
      std::array<int, 4> key{seg.node_id[0], seg.node_id[1], seg.node_id[2], seg.node_id[3]};
      std::sort(key.begin(), key.end());
      if (!faces.emplace(key, s->id).second && ++repeats == 50) repeated.insert(s->id);
    }
  };
  for (const Tie& tie : tie_array) {
    scan(tie.masterSurface);
    scan(tie.slaveSurface);
  }
  for (Tie& tie : tie_array) {
    if (tie.slaveSurface == nullptr || repeated.count(tie.slave_surface_id) == 0) continue;
    std::swap(tie.master_surface_id, tie.slave_surface_id);
    std::swap(tie.master_surface_name, tie.slave_surface_name);
    std::swap(tie.masterSurface, tie.slaveSurface);
  }
}

void TieManager::buildSubTies() {
  for (Tie& tie : tie_array) buildSubTies(tie);
}

void TieManager::buildSubTies(Tie& tie) {
  tie.sub_tie_array_cpu.clear();
  std::vector<NodeCuda*> nodes;
  for (NodeCuda* n : tie.slaveNodes()) {
    if (n != nullptr) nodes.push_back(n);
  }
  std::sort(nodes.begin(), nodes.end(), [](const NodeCuda* a, const NodeCuda* b) { return a->coord[0] < b->coord[0]; });
  // The boxes reach as far as the distance test does: the tolerance plus
  // the half thicknesses it subtracts.
  double nodeThickness = 0.0;
  if (tie.ignore_thickness == 0) {
    for (const NodeCuda* n : nodes) nodeThickness = std::max(nodeThickness, n->thickness);
  }
  std::vector<SegmentCuda>& segments = tie.masterSurface->segment_array;
  std::vector<SegmentBox> boxes;
  for (int j = 0; j < static_cast<int>(segments.size()); ++j) {
    const SegmentCuda& s = segments[j];
    if (s.node_num != 3 && s.node_num != 4) continue;
    const double size = meanEdge(s);
    SegmentBox b{j, {}, {}, tie.tolerance > 0.0 ? tie.tolerance : kDefaultToleranceShare * size, kRoundOffShare * size};
    for (int i = 0; i < 3; ++i) {
      b.lo[i] = b.hi[i] = s.node[0]->coord[i];
      for (int k = 1; k < s.node_num; ++k) {
        b.lo[i] = std::min(b.lo[i], s.node[k]->coord[i]);
        b.hi[i] = std::max(b.hi[i], s.node[k]->coord[i]);
      }
      const double reach = b.tol + (tie.ignore_thickness == 0 ? 0.5 * (s.thickness + nodeThickness) : 0.0);
      b.lo[i] -= reach;
      b.hi[i] += reach;
    }
    boxes.push_back(b);
  }
  std::sort(boxes.begin(), boxes.end(), [](const SegmentBox& a, const SegmentBox& b) { return a.lo[0] < b.lo[0]; });

  std::size_t start = 0;
  for (const SegmentBox& box : boxes) {
    SegmentCuda& s = segments[box.index];
    double c[3];
    rawNormal(&s, c);
    const double cl = norm3(c);
    if (!(cl > 0.0)) continue;
    for (double& v : c) v /= cl;
    bool segmentWelded = false;
    for (int k = 0; k < s.node_num; ++k) segmentWelded = segmentWelded || s.node[k]->constrained_flag != 0;
    bool segmentHasSlave = false;
    for (int k = 0; k < s.node_num; ++k)
      segmentHasSlave = segmentHasSlave || tied_slave_node_ids.count(s.node_id[k]) != 0;
    for (std::size_t i = start; i < nodes.size(); ++i) {
      NodeCuda* n = nodes[i];
      const double* x = n->coord;
      if (x[0] > box.hi[0] + box.eps) break;
      if (x[0] < box.lo[0] - box.eps) {
        start = i;
        continue;
      }
      if (x[1] < box.lo[1] - box.eps || x[1] > box.hi[1] + box.eps) continue;
      if (x[2] < box.lo[2] - box.eps || x[2] > box.hi[2] + box.eps) continue;
      double d3[3];
      sub3(x, s.node[0]->coord, d3);
      double d = std::fabs(dot3(d3, c));
      if (tie.ignore_thickness == 0) d -= 0.5 * (n->thickness + s.thickness);
      if (d > box.tol + box.eps) continue;
      if (segmentWelded || n->constrained_flag != 0) continue;
      if (master_node_ids.count(n->id) != 0 || segmentHasSlave || tied_slave_node_ids.count(n->id) != 0) continue;
      if (hasNodeId(s, n->id)) continue;
      if (!insideEdges(s, c, x, box.eps)) continue;
      tied_slave_node_ids.insert(n->id);
      for (int k = 0; k < s.node_num; ++k) master_node_ids.insert(s.node_id[k]);
      SubTie st{};
      st.segment_index = s.local_index;
      st.node_index = n->store_id;
      st.segment = &s;
      st.slave_node = n;
      tie.sub_tie_array_cpu.push_back(st);
    }
  }
  // Slave nodes that no segment accepted stay free: say how many.
  std::vector<int> free;
  for (const NodeCuda* n : nodes) {
    if (tied_slave_node_ids.count(n->id) == 0 && master_node_ids.count(n->id) == 0) free.push_back(n->id);
  }
  if (!free.empty()) {
    std::sort(free.begin(), free.end());
    fprintf(stderr,
            "Tie %d: %zu of %zu slave nodes found no master segment within reach and stay free (first:", tie.contact_id,
            free.size(), nodes.size());
    for (std::size_t i = 0; i < free.size() && i < 5; ++i) fprintf(stderr, " %d", free[i]);
    fprintf(stderr, ")\n");
  }
}

void TieManager::calInterpFunCpu() {
  for (Tie& tie : tie_array) {
    for (SubTie& st : tie.sub_tie_array_cpu) st.calInterpFun();
  }
}

void TieManager::checkTiedNodes() {
  std::set<int> slaves, masters;
  for (Tie& tie : tie_array) {
    std::vector<SubTie>& subTies = tie.sub_tie_array_cpu;
    for (std::size_t i = 0; i < subTies.size();) {
      const SubTie& st = subTies[i];
      if (st.slave_node->constrained_flag != 0) noteRepeated(REPEATED_TIED_SLAVE_WELDED, st.slave_node->id);
      for (int k = 0; k < st.segment->node_num; ++k) {
        if (st.segment->node[k]->constrained_flag != 0) {
          noteRepeated(REPEATED_TIED_MASTER_WELDED, st.segment->node[k]->id);
        }
      }
      if (!slaves.insert(st.slave_node->id).second) {
        noteRepeated(REPEATED_TIED_TWICE, st.slave_node->id);
        subTies.erase(subTies.begin() + static_cast<std::ptrdiff_t>(i));
        continue;
      }
      for (int k = 0; k < 4; ++k) masters.insert(st.segment->node_id[k]);
      ++i;
    }
  }
  for (int id : slaves) {
    if (masters.count(id) != 0) noteRepeated(REPEATED_TIED_SLAVE_AND_MASTER, id);
  }
}

void TieManager::transferSlaveMassCpu() {
  for (Tie& tie : tie_array) {
    for (SubTie& st : tie.sub_tie_array_cpu) st.transferMassGpu();
  }
}

void TieManager::modifySlaveVelCpu() {
  if (tie_num <= 0) return;
  for (Tie& tie : tie_array) {
    for (SubTie& st : tie.sub_tie_array_cpu) st.modifySlaveVel();
  }
}

void TieManager::addMasterForCpu() {
  if (tie_num <= 0) return;
  for (Tie& tie : tie_array) {
    for (SubTie& st : tie.sub_tie_array_cpu) st.addForToMasterGpu();
  }
}

namespace {
dim3 subTieGrid(int n) { return dim3(static_cast<unsigned>(n / 32 + 1)); }
}  // namespace

void TieManager::allocateAndCopyGpu(NodeManager* nodeManager) {
  if (nodeManager == nullptr || nodeManager->node_array_gpu == nullptr) return;
  for (Tie& tie : tie_array) {
    const int n = tie.subTieNum();
    // A tie without slave nodes is not uploaded.
    if (n == 0 || tie.sub_tie_array_gpu != nullptr || tie.masterSurface->segment_array_gpu == nullptr) continue;
    SubTie* device = nullptr;
    CUDA_CHECK(cudaMalloc(&device, sizeof(SubTie) * n));
    tie.sub_tie_array_gpu.reset(device);
    CUDA_CHECK(cudaMemcpy(device, tie.sub_tie_array_cpu.data(), sizeof(SubTie) * n, cudaMemcpyHostToDevice));
    launch(subTieGpuLinkNodeSeg, subTieGrid(n), dim3(32), device, n, nodeManager->node_array_gpu,
           tie.masterSurface->segment_array_gpu);
    launch(GpuVerAllSubTieInter, subTieGrid(n), dim3(32), device, n);
    // A master node shared by several sub-ties adds their forces and masses
    // in sub-tie order.
    std::vector<double*> forces, masses;
    for (const SubTie& st : tie.sub_tie_array_cpu) {
      for (int k = 0; k < 4; ++k) {
        const NodeCuda* master = k < st.segment->node_num ? st.segment->node[k] : nullptr;
        NodeCuda* device = master != nullptr ? nodeManager->node_array_gpu + master->store_id : nullptr;
        forces.push_back(device != nullptr ? device->force : nullptr);
        masses.push_back(device != nullptr ? &device->mass : nullptr);
      }
    }
    tie.master_force_shares.build(forces);
    tie.master_mass_shares.build(masses, 1);
  }
  CUDA_CHECK(cudaDeviceSynchronize());
}

void TieManager::modifySlaveVelGpu() {
  if (tie_num <= 0) return;
  for (Tie& tie : tie_array) {
    const int n = tie.subTieNum();
    if (tie.sub_tie_array_gpu != nullptr)
      launch(GpuTieModifySlaveVel, subTieGrid(n), dim3(32), tie.sub_tie_array_gpu.get(), n);
  }
}

void TieManager::addMasterForGpu() {
  if (tie_num <= 0) return;
  for (Tie& tie : tie_array) {
    const int n = tie.subTieNum();
    if (tie.sub_tie_array_gpu == nullptr || tie.master_force_shares.slotCount() != 4 * n) continue;
    launch(GpuSubTieMasterForceShares, subTieGrid(n), dim3(32), n, tie.sub_tie_array_gpu.get(),
           tie.master_force_shares.shares());
    tie.master_force_shares.addIntoTargets();
  }
}

void TieManager::transferSlaveMassGpu() {
  for (Tie& tie : tie_array) {
    const int n = tie.subTieNum();
    if (tie.sub_tie_array_gpu == nullptr || tie.master_mass_shares.slotCount() != 4 * n) continue;
    launch(GpuSubTieMasterMassShares, subTieGrid(n), dim3(32), n, tie.sub_tie_array_gpu.get(),
           tie.master_mass_shares.shares());
    tie.master_mass_shares.addIntoTargets();
  }
}
