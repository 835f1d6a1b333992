#include "contact/contactRecord.h"
#include <cstdio>
#include <vector>
#include "contact/contact.h"
#include "contact/contactManager.h"
#include "contact/contactGeom.h"
#include "contact/contactnodemanager.h"
#include "contact/surface.h"
#include "contact/surfacemanager.h"
#include "contact/unified_contact.h"
#include "core/logErrorPrint.h"
#include "contact/contactModel.h"

namespace {

// The host record of a segment given by a host or a device address, or by
// its number over all surfaces; null when no surface holds it.
class SegmentLookup {
 public:
  explicit SegmentLookup(const std::vector<Surface>& surfaces) : surfaces_(surfaces) {}
  const SegmentCuda* byAddress(const SegmentCuda* p) const {
    for (const Surface& s : surfaces_) {
      const std::size_t n = s.segment_array.size();
      if (n == 0) continue;
      if (p >= s.segment_array.data() && p < s.segment_array.data() + n) return p;
      if (s.segment_array_gpu != nullptr && p >= s.segment_array_gpu && p < s.segment_array_gpu + n) {
        return &s.segment_array[static_cast<std::size_t>(p - s.segment_array_gpu)];
      }
    }
    return nullptr;
  }
  const SegmentCuda* byNumber(int localId) const {
    for (const Surface& s : surfaces_) {
      if (s.segment_array.empty()) continue;
      const int first = s.segment_array.front().local_id;
      if (localId >= first && localId < first + static_cast<int>(s.segment_array.size())) {
        return &s.segment_array[static_cast<std::size_t>(localId - first)];
      }
    }
    return nullptr;
  }

 private:
  const std::vector<Surface>& surfaces_;
};

bool onSurface(const SegmentCuda* seg, const Surface* s) {
  const std::size_t n = s != nullptr ? s->segment_array.size() : 0;
  return seg != nullptr && n > 0 && seg >= s->segment_array.data() && seg < s->segment_array.data() + n;
}

// The contact nodes as the run left them.
std::vector<ContactNodeCuda> finalContactNodes(const ContactModel& fem) {
  const ContactNodeManager* cnm = fem.contactNodeManager;
  std::vector<ContactNodeCuda> nodes = cnm->contact_node_array_cpu;
  if (fem.host_path_flag == 0 && cnm->contact_node_array_gpu != nullptr && !nodes.empty()) {
    CUDA_CHECK(cudaMemcpy(nodes.data(), cnm->contact_node_array_gpu, nodes.size() * sizeof(ContactNodeCuda),
                          cudaMemcpyDeviceToHost));
  }
  return nodes;
}

void writeDepthLine(std::ostream& out, const char* what, const ContactDepth& d, const ContactModel& fem,
                    bool withTime) {
  out << "  " << what << ":\t";
  if (d.count == 0) {
    out << "none" << std::endl;
    return;
  }
  out << describeDepth(d, fem, withTime) << " (" << d.count << " node(s))" << std::endl;
}

}  // namespace

std::string describeDepth(const ContactDepth& d, const ContactModel& fem, bool withTime) {
  char depth[128];
  int used = std::snprintf(depth, sizeof depth, "%g", d.depth);
  if (d.segment_size > 0.0 && used > 0) {
    used += std::snprintf(depth + used, sizeof depth - used, " (%.3g %% of the face's size)",
                          100.0 * d.depth / d.segment_size);
  }
  if (withTime && used > 0) std::snprintf(depth + used, sizeof depth - used, " at time %g", d.time);
  std::string text =
      std::string(depth) + ", node " + std::to_string(deckNodeId(fem, d.node_id)) + ", behind the face of nodes";
  const int corners = d.segment_node_id[3] == d.segment_node_id[2] ? 3 : 4;
  for (int k = 0; k < corners; ++k) text += " " + std::to_string(deckNodeId(fem, d.segment_node_id[k]));
  return text;
}

void gatherContactDepths(ContactModel& fem) {
  for (Contact& c : fem.contactManager->contact_array) c.deepest = c.end_overlap = ContactDepth{};
  const std::vector<ContactNodeCuda> nodes = finalContactNodes(fem);
  if (nodes.empty()) return;
  const ContactNodeCuda* hostBase = fem.contactNodeManager->contact_node_array_cpu.data();
  const SegmentLookup segments(fem.surfaceManager->surface_array);
  for (const SubDomainManager& m : fem.unifiedContact->subDomainManagerArray) {
    if (m.contact == nullptr || m.masterSurface == nullptr) continue;
    for (const ContactNodeCuda* slave : m.slave_contact_node_array_cpu) {
      const std::ptrdiff_t i = slave - hostBase;
      if (slave == nullptr || i < 0 || i >= static_cast<std::ptrdiff_t>(nodes.size())) continue;
      const ContactNodeCuda& cn = nodes[static_cast<std::size_t>(i)];
      // The pair's gap of the last step (from the real faces) is the overlap
      // left at the end, and the deepest penetration when deeper than what
      // the node showed before.
      const ContactPairCuda& p = cn.contact_pair;
      const SegmentCuda* now = p.kind != CONTACT_PAIR_EMPTY ? segments.byNumber(p.face_segment) : nullptr;
      const double gap = p.face_gap;
      const bool left = onSurface(now, m.masterSurface) && gap < 0.0;
      double deepest = cn.deepest_gap;
      const SegmentCuda* where = segments.byNumber(cn.deepest_segment);
      double when = cn.deepest_time;
      if (left && (gap < deepest || !onSurface(where, m.masterSurface))) {
        deepest = gap;
        where = now;
        when = fem.time;
      }
      if (deepest < 0.0 && onSurface(where, m.masterSurface)) {
        m.contact->deepest.take(-deepest, cn.node_id, where->node_id, contact_geom::segmentSize(where), when);
      }
      if (left) {
        m.contact->end_overlap.take(-gap, cn.node_id, now->node_id, contact_geom::segmentSize(now), fem.time);
        continue;
      }
      // A node without a pair that has not yet come out of the face it
      // started behind lies that deep behind it.
      const SegmentCuda* start = segments.byAddress(cn.start_face);
      if (cn.start_overlap > 0.0 && p.kind == CONTACT_PAIR_EMPTY && onSurface(start, m.masterSurface)) {
        const double depth = fem.cycle > 0 ? -cn.start_face_gap : cn.start_overlap;
        m.contact->end_overlap.take(depth, cn.node_id, start->node_id, contact_geom::segmentSize(start), fem.time);
      }
    }
  }
}

void writeContactRecord(std::ostream& out, const ContactModel& fem) {
  for (const Contact& c : fem.contactManager->contact_array) {
    if (c.masterSurface == nullptr && c.slave_node_array_cpu.empty()) continue;
    out << "contact:\t" << c.describeWithSides();
    if (c.deepest.count == 0 && c.end_overlap.count == 0 && c.start_overlap.count == 0) {
      out << ":\tno penetration" << std::endl;
      continue;
    }
    out << std::endl;
    writeDepthLine(out, "deepest penetration", c.deepest, fem, true);
    writeDepthLine(out, "overlap left at the end", c.end_overlap, fem, false);
    if (c.start_overlap.count > 0) writeDepthLine(out, "overlap at the start, held", c.start_overlap, fem, false);
  }
}
