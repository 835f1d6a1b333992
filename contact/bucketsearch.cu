// Bucket search of one GPU cycle: the master segments in the sub-domains of
// each master surface's grid (binned anew only when they have moved too far
// since the last binning), and each slave node's candidate list extended by
// the segments of its bucket whose extended box holds it.
#include <cstdio>
#include "contact/contactnode.h"
#include "contact/contactnodemanager.h"
#include "contact/pairmanager.h"
#include "contact/surface.h"
#include "contact/unified_contact.h"
#include "core/gridIndex.h"
#include "core/segment.h"
#include "platform/simdLane.h"

namespace {
template <typename NodePtr>
__host__ __device__ inline bool isOwnNode(const NodePtr (&nodes)[4], const NodeCuda* node) {
  for (int k = 0; k < 4; ++k) {
    if (nodes[k] == node) return true;
  }
  return false;
}
// The node's path over the last step (box pathLo..pathHi).
struct NodePath {
  double lo[3];
  double hi[3];
};
// The candidate rule: segment s (extended box lo..hi, its nodes, from its
// record or its search entry) is offered to the node unless it is the
// node's current contact segment, its box does not meet the node's path or
// the node is one of its own. One branch for the six comparisons: most
// segments of a bucket do not hold the node, on an axis that cannot be
// foreseen.
template <typename NodePtr>
__host__ __device__ inline bool offeredTo(const SegmentCuda* s, const SegmentCuda* current, const double* lo,
                                          const double* hi, const NodePtr (&nodes)[4], const NodeCuda* node,
                                          const NodePath& p) {
  if (s == nullptr || s == current) return false;
  const bool outside = (p.hi[0] < lo[0]) | (p.lo[0] > hi[0]) | (p.hi[1] < lo[1]) | (p.lo[1] > hi[1]) |
                       (p.hi[2] < lo[2]) | (p.lo[2] > hi[2]);
  return !outside && !isOwnNode(nodes, node);
}
__host__ __device__ inline const SegmentCuda* currentSegment(const ContactNodeCuda& cn) {
  return cn.in_contact != 0 ? cn.contact_pair.segment : nullptr;
}
// The candidate rule over the segments of one bucket. The node's path and
// current contact segment stay in registers (an append changes neither).
__host__ __device__ inline void offerBucketSegments(ContactNodeCuda& cn, const NodePath& path, const SubDomain& sd,
                                                    const SegmentCuda* segments, const SegmentSearchEntry* entries,
                                                    int* overflow) {
  const NodeCuda* node = cn.node;
  const SegmentCuda* current = currentSegment(cn);
  const int count = sd.segmentCount();
  for (int q = 0; q < count; ++q) {
    SegmentCuda* s = sd.segment_list[q];
    if (s == nullptr) continue;
    const SegmentSearchEntry& e = entries[s - segments];
    if (offeredTo(s, current, e.box_min, e.box_max, e.node, node, path)) cn.test_pair.addCandidate(s, overflow);
  }
}
// Range of buckets (per axis, first and last) that a box reaches, clamped
// to the grid; false when it lies outside the grid.
__host__ __device__ inline bool bucketRange(const NodePath& p, double3 cell, double3 origin, int3 dims, int* first,
                                            int* last) {
  const double o[3] = {origin.x, origin.y, origin.z};
  const double c[3] = {cell.x, cell.y, cell.z};
  const int d[3] = {dims.x, dims.y, dims.z};
  for (int a = 0; a < 3; ++a) {
    const double lo = (p.lo[a] - o[a]) / c[a], hi = (p.hi[a] - o[a]) / c[a];
    if (!(hi >= 0.0) || !(lo < d[a])) return false;  // outside the grid (or not a number)
    first[a] = lo > 0.0 ? static_cast<int>(lo) : 0;
    last[a] = hi < d[a] - 1 ? static_cast<int>(hi) : d[a] - 1;
  }
  return true;
}
}  // namespace

__host__ __device__ void ContactNodeCuda::offerCandidate(SegmentCuda* s, int* overflow) {
  if (s == nullptr || node == nullptr) return;
  NodePath path;
  pathBox(path.lo, path.hi);
  if (offeredTo(s, currentSegment(*this), s->box_min, s->box_max, s->node, node, path)) {
    test_pair.addCandidate(s, overflow);
  }
}

__host__ __device__ void gatherFaceNormal(const SegmentCuda& s) {
  for (int k = 0; k < s.node_num && k < 4; ++k) {
    ContactNodeCuda* cn = s.node[k] != nullptr ? s.node[k]->contact_node : nullptr;
    if (cn == nullptr) continue;
    for (int j = 0; j < 3; ++j) atomicAddAnywhere(&cn->face_normal_sum[j], s.normal[j]);
    atomicAddAnywhere(&cn->face_count, 1);
  }
}

__host__ __device__ void faceNormalShares(const SegmentCuda& s, double* shares) {
  for (int k = 0; k < 4; ++k) {
    ContactNodeCuda* cn = k < s.node_num && s.node[k] != nullptr ? s.node[k]->contact_node : nullptr;
    for (int j = 0; j < 3; ++j) shares[3 * k + j] = cn != nullptr ? s.normal[j] : 0.0;
    if (cn != nullptr) atomicAddAnywhere(&cn->face_count, 1);
  }
}

__global__ void GpuClearFaceNormals(int n, TestPairCuda** pairs) {
  const int i = gridStrideIndex();
  if (i < n && pairs[i] != nullptr && pairs[i]->contactNode != nullptr) pairs[i]->contactNode->clearFaceNormals();
}

__global__ void GpuFaceNormalShares(int n, const SegmentCuda* segments, double* shares) {
  const int i = gridStrideIndex();
  if (i < n) faceNormalShares(segments[i], shares + 12 * i);
}

__global__ void testPairProduceAccorContactNode(int n, ContactNodeCuda** nodes, double3 cell, double3 origin,
                                                SubDomain* subdomains, int3 dims, int total,
                                                const SegmentCuda* segments, const SegmentSearchEntry* entries,
                                                int* overflow) {
  const int i = gridStrideIndex();
  if (i >= n) return;
  // The contact node a few places ahead, and the coordinates of a nearer
  // one, asked for before they are needed.
  if (i + 8 < n) lanePrefetch(nodes[i + 8]);
  if (i + 4 < n && nodes[i + 4] != nullptr && nodes[i + 4]->node != nullptr) lanePrefetch(nodes[i + 4]->node->coord);
  // The bucket of the node two places ahead: its count and first entries.
  if (i + 2 < n && nodes[i + 2] != nullptr && nodes[i + 2]->node != nullptr) {
    const SubDomain* ahead = subDomainOfPoint(nodes[i + 2]->node->coord, cell, origin, subdomains, dims, total);
    if (ahead != nullptr) {
      lanePrefetch(&ahead->segment_num);
      lanePrefetch(&ahead->segment_list[0]);
    }
  }
  ContactNodeCuda* cn = nodes[i];
  if (cn == nullptr || cn->node == nullptr) {
    printf("接触点填充子域错误,offset=%d\n", i);
    return;
  }
  SubDomain* sd = subDomainOfPoint(cn->node->coord, cell, origin, subdomains, dims, total);
  SubDomain* link = sd != nullptr && sd->segment_num > 0 ? sd : nullptr;
  if (cn->subdomain != link) cn->subdomain = link;  // (most links stay: the record's line stays clean)
  // Every bucket the node's path over the step reaches (mostly the one it
  // lies in): a segment it crossed is binned where the path met it.
  NodePath path;
  cn->pathBox(path.lo, path.hi);
  int first[3], last[3];
  if (!bucketRange(path, cell, origin, dims, first, last)) return;
  for (int ix = first[0]; ix <= last[0]; ++ix)
    for (int iy = first[1]; iy <= last[1]; ++iy)
      for (int iz = first[2]; iz <= last[2]; ++iz) {
        const int idx = (ix * dims.y + iy) * dims.z + iz;
        if (idx < 0 || idx >= total || subdomains[idx].segment_num <= 0) continue;
        offerBucketSegments(*cn, path, subdomains[idx], segments, entries, overflow);
      }
}

void PairManager::gatherFaceNormalsGpu(const Surface& master) {
  OrderedShares& shares = face_normal_shares_[&master];
  const int n = master.segment_num;
  if (shares.slotCount() != 4 * n) {
    // Slot 4 s + k: node k of segment s into its contact node's face normal
    // (found by node id: the host nodes' links may hold device addresses
    // once the nodes have been copied back for output).
    if (contact_nodes_ == nullptr || contact_nodes_->contact_node_array_gpu == nullptr) return;
    const std::map<int, int>& index = contact_nodes_->contact_node_id_map;
    std::vector<double*> targets;
    for (const SegmentCuda& s : master.segment_array) {
      for (int k = 0; k < 4; ++k) {
        const auto it = k < s.node_num ? index.find(s.node_id[k]) : index.end();
        targets.push_back(it != index.end() ? contact_nodes_->contact_node_array_gpu[it->second].face_normal_sum : nullptr);
      }
    }
    shares.build(targets);
  }
  if (shares.slotCount() != 4 * n) return;
  launch(GpuFaceNormalShares, dim3(n / 32 + 1), dim3(32), n, static_cast<const SegmentCuda*>(master.segment_array_gpu),
         shares.shares());
  shares.addIntoTargets();
}

void PairManager::unifiedSearchGpu(UnifiedContact* uc) {
  if (uc == nullptr || uc->subDomainManagerArray.empty()) return;
  reportOverflowOnce();
  int* bucketOverflow = overflow_gpu != nullptr ? &overflow_gpu->subdomain_entries : nullptr;
  int* candidateOverflow = overflow_gpu != nullptr ? &overflow_gpu->candidates : nullptr;
  const int n = contact_node_num;
  // Segment boxes and normals of this cycle, once per master surface, and
  // the normals of their faces at the contact nodes when a face of a solid
  // may read them.
  const bool faceNormals = uc->face_normals_needed;
  if (faceNormals && n > 0 && test_pair_array_gpu != nullptr) {
    launch(GpuClearFaceNormals, dim3(n / 32 + 1), dim3(32), n, test_pair_array_gpu);
  }
  for (SubDomainManager& m : uc->subDomainManagerArray) {
    Surface* master = m.masterSurface;
    if (master == nullptr || master->flags[BOX_EXTENDED] != 0) continue;
    master->refreshSegmentsGpu();
    master->flags[BOX_EXTENDED] = 1;
    if (faceNormals && master->segment_num > 0 && master->segment_array_gpu != nullptr &&
        master->subDomainArrayGpu_ != nullptr) {
      gatherFaceNormalsGpu(*master);
    }
  }
  // Buckets filled anew where a segment has moved out of the box it was
  // binned with (every cycle when they are not kept).
  for (SubDomainManager& m : uc->subDomainManagerArray) m.fillSegmentsGpu(m.masterSurface, bucketOverflow, uc->keep_buckets);
  if (n > 0 && test_pair_array_gpu != nullptr) {
    launch(GpuClearTestPair, dim3(n / 32 + 1), dim3(32), n, test_pair_array_gpu);
  }
  for (SubDomainManager& m : uc->subDomainManagerArray) {
    if (m.masterSurface == nullptr) continue;
    m.takeMasterBoxGpu();
    m.offerCandidatesGpu(candidateOverflow);
  }
}
