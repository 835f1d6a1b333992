#include "contact/testpair.h"
#include "core/gridIndex.h"
#include <cstdio>
#include "contact/contactnode.h"
#include "core/segment.h"

// Drops the candidates that are the node's current contact segment or whose
// extended box no longer holds the node, and packs the rest to the front.
__global__ void GpuClearTestPair2(int n, TestPairCuda** pairs) {
  const int i = gridStrideIndex();
  if (i >= n) return;
  TestPairCuda* tp = pairs[i];
  if (tp == nullptr || tp->count == 0 || tp->contactNode == nullptr) return;
  const ContactNodeCuda* owner = tp->contactNode;
  const NodeCuda* node = owner->node;
  int kept = 0;
  int count = tp->count;
  for (int s = 0; s < kTestPairSlots; ++s) {
    SegmentCuda* seg = tp->segment[s];
    if (seg == nullptr) continue;
    bool remove = seg == owner->contact_pair.segment;
    if (!remove && node != nullptr) {
      for (int a = 0; a < 3; ++a) {
        if (node->coord[a] < seg->box_min[a] || node->coord[a] > seg->box_max[a]) remove = true;
      }
    }
    const int side = tp->side[s];
    tp->segment[s] = nullptr;
    tp->side[s] = 0;
    if (remove) {
      --count;
    } else {
      tp->segment[kept] = seg;
      tp->side[kept] = side;
      ++kept;
    }
  }
  if (kept != count) {
    printf("seg_num=%d,effective_num=%d,节点 %d 的测试对清理错误，本提示位于接触计算前\n", kept, count,
           owner->node_id);
  }
  tp->count = kept;
}
