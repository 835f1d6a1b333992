// Bucket search of one GPU cycle: master segments and slave contact nodes
// binned into the sub-domains of each master surface's grid, and each node's
// candidate list extended by the segments of its bucket whose extended box
// holds it.
#include "contact/contactnode.h"
#include "contact/pairmanager.h"
#include "contact/surface.h"
#include "contact/unified_contact.h"
#include "core/gridIndex.h"
#include "core/segment.h"

namespace {
__host__ __device__ inline bool insideBox(const SegmentCuda* s, const double* x) {
  for (int a = 0; a < 3; ++a) {
    if (x[a] < s->box_min[a] || x[a] > s->box_max[a]) return false;
  }
  return true;
}
__host__ __device__ inline bool isOwnNode(const SegmentCuda* s, const NodeCuda* node) {
  for (int k = 0; k < 4; ++k) {
    if (s->node[k] == node) return true;
  }
  return false;
}
}  // namespace

__host__ __device__ void ContactNodeCuda::offerCandidate(SegmentCuda* s, int* overflow) {
  if (s == nullptr || node == nullptr) return;
  if (in_contact != 0 && s == contact_pair.segment) return;
  if (!insideBox(s, node->coord) || isOwnNode(s, node)) return;
  test_pair.addCandidate(s, overflow);
}

__global__ void testPairProduceAccorContactNode(int n, ContactNodeCuda** nodes, int* overflow) {
  const int i = gridStrideIndex();
  if (i >= n || nodes[i] == nullptr || nodes[i]->node == nullptr) return;
  ContactNodeCuda* cn = nodes[i];
  const SubDomain* sd = cn->subdomain;
  if (sd == nullptr || sd->segment_num < 1) return;
  for (int q = 0; q < sd->segmentCount(); ++q) cn->offerCandidate(sd->segment_list[q], overflow);
}

void PairManager::unifiedSearchGpu(UnifiedContact* uc) {
  if (uc == nullptr || uc->subDomainManagerArray.empty()) return;
  reportOverflowOnce();
  int* bucketOverflow = overflow_gpu != nullptr ? &overflow_gpu->subdomain_entries : nullptr;
  int* candidateOverflow = overflow_gpu != nullptr ? &overflow_gpu->candidates : nullptr;
  for (SubDomainManager& m : uc->subDomainManagerArray) {
    Surface* master = m.masterSurface;
    if (master == nullptr) continue;
    if (master->flags[BOX_EXTENDED] == 0) {
      master->calExtendAreaImproveGpu();
      master->flags[BOX_EXTENDED] = 1;
      master->flags[BOX_KNOWN] = 1;
    }
    master->clearSubDomainsGpu();
    if (m.slaveSurface != nullptr && m.slaveSurface->flags[BOX_EXTENDED] == 0) {
      m.slaveSurface->calExtendAreaImproveGpu();
      m.slaveSurface->flags[BOX_EXTENDED] = 1;
    }
  }
  const int n = contact_node_num;
  if (n > 0 && test_pair_array_gpu != nullptr) {
    launch(GpuClearTestPair, dim3(n / 32 + 1), dim3(32), n, test_pair_array_gpu);
  }
  for (std::size_t i = 0; i < uc->subDomainManagerArray.size(); ++i) {
    SubDomainManager& m = uc->subDomainManagerArray[i];
    if (m.masterSurface == nullptr) continue;
    m.takeMasterBoxGpu();
    if (uc->box_check_array[i] && !m.calSlaveBoxOverlapGpu()) continue;
    m.fillSegmentsGpu(m.masterSurface, bucketOverflow);
    const int k = m.slaveNodeNum();
    m.fillNodesGpu(m.slave_contact_node_array_gpu, k, bucketOverflow);
    m.dataVerBasicOnNodeGpu();
    if (k > 0 && m.slave_contact_node_array_gpu != nullptr) {
      launch(testPairProduceAccorContactNode, dim3(k / 32 + 1), dim3(32), k, m.slave_contact_node_array_gpu,
             candidateOverflow);
    }
  }
}
