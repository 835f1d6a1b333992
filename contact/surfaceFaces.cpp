// Segments of a surface from elements: the exterior faces of solids (faces
// that no second element shares), one segment per shell, and the shells of
// an element set.
#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "contact/surface.h"
#include "contact/surfacemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "elements/common/elmmanager.h"
#include "elements/common/elementType.h"
#include "contact/contactModel.h"

namespace {

// Face rows: 1-based local node numbers; three-node rows end with 0.
using FaceRow = std::array<int, 4>;
const std::vector<FaceRow> kQuadShell = {{1, 2, 3, 4}};
const std::vector<FaceRow> kTriShell = {{1, 2, 3, 0}};
const std::vector<FaceRow> kTetra = {{1, 3, 2, 0}, {1, 2, 4, 0}, {2, 3, 4, 0}, {3, 1, 4, 0}};
const std::vector<FaceRow> kTetra10 = {{1, 7, 5, 0}, {5, 7, 6, 0},  {7, 3, 6, 0},  {6, 2, 5, 0},
                                       {1, 5, 8, 0}, {2, 9, 5, 0},  {4, 8, 9, 0},  {9, 8, 5, 0},
                                       {2, 6, 9, 0}, {3, 10, 6, 0}, {4, 9, 10, 0}, {9, 6, 10, 0},
                                       {1, 8, 7, 0}, {4, 10, 8, 0}, {3, 7, 10, 0}, {10, 7, 8, 0}};
const std::vector<FaceRow> kWedge = {{1, 3, 2, 2}, {4, 5, 6, 6}, {1, 2, 5, 4}, {2, 3, 6, 5}, {3, 1, 4, 6}};
const std::vector<FaceRow> kHexa = {{1, 4, 3, 2}, {5, 6, 7, 8}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 4, 8, 7}, {4, 1, 5, 8}};

enum class FaceList { None, Shells, Solids, Solids2nd };

struct FaceTable {
  FaceList list = FaceList::None;
  const std::vector<FaceRow>* rows = nullptr;
  bool wedgeFromSlots = false;  // code 21: wedge nodes from slots 1, 6, 2, 4, 8, 3
};

// Face table and element list of an element code; no table for a code
// without faces.
FaceTable faceTableOf(int code) {
  switch (code) {
    case ET_MEMBRANE3:
    case ET_CB_TRI_SHELL:
    case ET_BT_TRI_SHELL:
      return {FaceList::Shells, &kTriShell};
    case ET_MEMBRANE4:
    case ET_BT_SHELL:
    case ET_HL_SHELL:
    case ET_SHELL4_12:
      return {FaceList::Shells, &kQuadShell};
    case ET_TETRA_TL:
      return {FaceList::Solids, &kTetra};
    case ET_HEXA_FULL:
    case ET_HEXA_REDUCED:
    case ET_HEXA_INCOMPATIBLE:
    case ET_SOLID_SHELL8:
      return {FaceList::Solids, &kHexa};
    case ET_PENTA:
    case ET_SOLID_SHELL6:
      return {FaceList::Solids, &kWedge};
    case ET_PENTA_REDUCED:
      return {FaceList::Solids, &kWedge, true};
    case ET_TETRA10:
    case ET_TETRA10_M:
      return {FaceList::Solids2nd, &kTetra10};
    case ET_PENTA15:
      return {FaceList::Solids2nd, &kWedge};
    case ET_HEXA20:
      return {FaceList::Solids2nd, &kHexa};
    default:
      return {};
  }
}

void reportNoFaces() { printf("请补充这种单元类型的面生成方式\n"); }

// One candidate face: the element's node ids at the row's local numbers.
struct Face {
  int node_id[4];
  int element_id;
  bool solid;  // a face of a solid element whose normal points out of it
};

// Turns a solid's face to point out of the element (its normal, taken as a
// segment takes it, away from the centre of the element's nodes) and says
// whether it does; a face without area gives no direction.
bool turnOutward(Face& face, const std::set<int>& elementNodes, const NodeCuda* nodes) {
  auto x = [nodes](int id) { return nodes[id - 1].coord; };
  double centre[3] = {0.0, 0.0, 0.0}, faceCentre[3] = {0.0, 0.0, 0.0};
  for (int id : elementNodes)
    for (int i = 0; i < 3; ++i) centre[i] += x(id)[i] / static_cast<double>(elementNodes.size());
  const bool triangle = face.node_id[3] == face.node_id[2];
  const int count = triangle ? 3 : 4;
  for (int k = 0; k < count; ++k)
    for (int i = 0; i < 3; ++i) faceCentre[i] += x(face.node_id[k])[i] / count;
  double a[3], b[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = triangle ? x(face.node_id[1])[i] - x(face.node_id[0])[i] : x(face.node_id[2])[i] - x(face.node_id[0])[i];
    b[i] = triangle ? x(face.node_id[2])[i] - x(face.node_id[1])[i] : x(face.node_id[3])[i] - x(face.node_id[1])[i];
  }
  const double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  double out = 0.0;
  for (int i = 0; i < 3; ++i) out += n[i] * (faceCentre[i] - centre[i]);
  if (out == 0.0 || out != out) return false;
  if (out < 0.0) {
    if (triangle) {
      std::swap(face.node_id[1], face.node_id[2]);
      face.node_id[3] = face.node_id[2];
    } else {
      std::swap(face.node_id[1], face.node_id[3]);
    }
  }
  return true;
}

// A face of a collapsed element that repeats a node anywhere (a wedge or
// tetrahedron written in the slots of a hexahedron) becomes the triangle of
// its distinct corners in their order, the third in the fourth slot as a
// triangle keeps it; false for a face of fewer than three distinct corners
// (an edge the element collapsed), which is no face.
bool asTriangleOrNone(Face& face) {
  int distinct[4], count = 0;
  for (int id : face.node_id) {
    if (count == 0 || (id != distinct[count - 1] && id != distinct[0])) distinct[count++] = id;
  }
  if (count == 4) return true;
  if (count < 3) return false;
  for (int k = 0; k < 3; ++k) face.node_id[k] = distinct[k];
  face.node_id[3] = distinct[2];
  return true;
}

// Collects the faces of elements and keeps the ones that only one element has.
// With the model's nodes at hand, the faces of a solid are turned to point out
// of it (a mirror-numbered element has its table faces pointing in).
class FaceCollector {
 public:
  // nodes: the model's host node array (node id k at position k - 1), or null.
  explicit FaceCollector(const NodeCuda* nodes = nullptr) : nodes_(nodes) {}
  void add(const int* elementNodeIds, int elementId, const FaceTable& table) {
    static const int kWedgeSlots[6] = {1, 6, 2, 4, 8, 3};
    std::vector<Face> faces;
    std::set<int> elementNodes;
    for (const FaceRow& row : *table.rows) {
      Face face{{0, 0, 0, 0}, elementId, false};
      for (int k = 0; k < 4; ++k) {
        int local = row[k] != 0 ? row[k] : row[2];
        if (table.wedgeFromSlots) local = kWedgeSlots[local - 1];
        face.node_id[k] = elementNodeIds[local - 1];
        elementNodes.insert(face.node_id[k]);
      }
      if (asTriangleOrNone(face)) faces.push_back(face);
    }
    for (Face& face : faces) {
      if (table.list != FaceList::Shells && nodes_ != nullptr) face.solid = turnOutward(face, elementNodes, nodes_);
      faces_.emplace(faceKeyOf(face.node_id), face);
    }
  }
  // The exterior face with this key, or null.
  const Face* exteriorFace(const FaceKey& key) const {
    const auto it = faces_.find(key);
    return it != faces_.end() && faces_.count(key) == 1 ? &it->second : nullptr;
  }
  // Exterior faces in key order.
  std::vector<Face> exterior() const {
    std::vector<Face> out;
    for (auto it = faces_.begin(); it != faces_.end(); it = faces_.upper_bound(it->first)) {
      if (faces_.count(it->first) == 1) out.push_back(it->second);
    }
    return out;
  }

 private:
  std::multimap<FaceKey, Face> faces_;
  const NodeCuda* nodes_;
};

// Node ids flagged by a pass that needs only some faces (null: every face).
using NodeIdFlags = std::vector<char>;

// True when the element may have a face all of whose nodes are flagged: at
// least three of its slots name a flagged node (every element when no flags
// are given).
template <std::size_t Slots>
bool mayHaveFlaggedFace(const int (&ids)[Slots], const NodeIdFlags* wanted) {
  if (wanted == nullptr) return true;
  int flagged = 0;
  for (const int id : ids) {
    if (id > 0 && static_cast<std::size_t>(id) < wanted->size() && (*wanted)[id] != 0) ++flagged;
  }
  return flagged >= 3;
}

// Adds the faces of one part's elements: with code > 0 every element of the
// code's list takes that code; with code 0 each solid takes its own code.
// With `wanted`, only those of elements that may have a face of flagged
// nodes (all the elements that share such a face, so whether it is exterior
// is found as from every element).
void collectPartFaces(FaceCollector& faces, ElmManager& elements, int sectionCode,
                      const NodeIdFlags* wanted = nullptr) {
  auto addList = [&faces, wanted](auto& list, int listCode, FaceList kind) {
    for (auto& e : list) {
      const FaceTable table = faceTableOf(listCode > 0 ? listCode : e.type);
      if (table.rows == nullptr) {
        reportNoFaces();
        continue;
      }
      if (table.list == kind && mayHaveFlaggedFace(e.node_id, wanted)) faces.add(e.node_id, e.id, table);
    }
  };
  const FaceTable table = faceTableOf(sectionCode);
  if (sectionCode > 0 && table.rows == nullptr) {
    reportNoFaces();
    return;
  }
  if (table.list == FaceList::Shells) addList(elements.shell_element_array_cpu, sectionCode, FaceList::Shells);
  if (sectionCode == 0 || table.list == FaceList::Solids) {
    addList(elements.solid_element_array_cpu, sectionCode, FaceList::Solids);
  }
  if (table.list == FaceList::Solids2nd) addList(elements.solid2ndArrayCpu_, sectionCode, FaceList::Solids2nd);
}

// True when a segment runs round its nodes the way the face does.
bool runsAsFace(const SegmentCuda& seg, const Face& face) {
  const int count = face.node_id[3] == face.node_id[2] ? 3 : 4;
  for (int k = 0; k < count; ++k) {
    if (face.node_id[k] == seg.node_id[0]) return face.node_id[(k + 1) % count] == seg.node_id[1];
  }
  return false;
}

SegmentCuda segmentOf(const Face& face, int surfaceId, int localIndex) {
  SegmentCuda seg{};
  for (int k = 0; k < 4; ++k) seg.node_id[k] = face.node_id[k];
  seg.one_sided = face.solid ? 1 : 0;
  seg.surface_id = surfaceId;
  seg.local_index = localIndex;
  return seg;
}

// One segment with a shell's node ids and node pointers.
SegmentCuda shellSegment(const ShellElementCuda& shell, int surfaceId, std::size_t localIndex) {
  SegmentCuda seg{};
  for (int k = 0; k < 4; ++k) {
    seg.node_id[k] = shell.node_id[k];
    seg.node[k] = shell.node[k];
  }
  seg.surface_id = surfaceId;
  seg.local_index = static_cast<int>(localIndex);
  return seg;
}

}  // namespace

namespace {

// Shape of a solid written in eight node slots, by the ids it repeats.
const std::vector<FaceRow>& solidRows(const int* ids, int& corners) {
  const bool tetra = ids[3] != 0 && ((ids[4] == 0 && ids[5] == 0 && ids[6] == 0 && ids[7] == 0) ||
                                     (ids[4] == ids[3] && ids[5] == ids[3] && ids[6] == ids[3] && ids[7] == ids[3]));
  if (tetra) {
    corners = 4;
    return kTetra;
  }
  const std::set<int> firstSix(ids, ids + 6);
  const bool penta = ids[5] != 0 && firstSix.size() == 6 && firstSix.count(0) == 0 &&
                     ((ids[6] == 0 && ids[7] == 0) || (ids[6] == ids[5] && ids[7] == ids[5]));
  corners = penta ? 6 : 8;
  return penta ? kWedge : kHexa;
}

}  // namespace

FaceKey faceKeyOf(const int (&nodeIds)[4]) {
  const std::set<int> ids(nodeIds, nodeIds + 4);
  return FaceKey(ids.begin(), ids.end());
}

std::vector<FaceKey> elementFaceKeys(const int* ids, int slots) {
  std::vector<FaceKey> keys;
  auto keep = [&keys](std::set<int> face) {
    face.erase(0);
    if (face.size() >= 3) keys.emplace_back(face.begin(), face.end());
  };
  if (slots <= 4) {
    keep(std::set<int>(ids, ids + slots));
    return keys;
  }
  int corners = 8;
  for (const FaceRow& row : solidRows(ids, corners)) {
    std::set<int> face;
    for (int local : row) {
      if (local != 0 && local <= corners) face.insert(ids[local - 1]);
    }
    keep(std::move(face));
  }
  return keys;
}

void Surface::buildSegmentsFromParts(ContactModel* fem) {
  const bool haveNodes = fem != nullptr && fem->nodeManager != nullptr && !fem->nodeManager->node_array_cpu.empty();
  FaceCollector faces(haveNodes ? fem->nodeManager->node_array_cpu.data() : nullptr);
  for (Part* part : part_array) {
    if (part == nullptr || part->elmManager == nullptr || part->section == nullptr) continue;
    collectPartFaces(faces, *part->elmManager, part->section->element_formulation);
  }
  SurfaceManager* manager = fem != nullptr ? fem->surfaceManager : nullptr;
  for (const Face& face : faces.exterior()) {
    SegmentCuda seg = segmentOf(face, id, segment_num++);
    if (manager != nullptr) {
      seg.local_id = manager->total_segment_num++;
      manager->segment_element_map[seg.local_id] = face.element_id;
    }
    segment_array.push_back(seg);
  }
}

void SurfaceManager::markSolidFaceSegments(ContactModel* fem) {
  if (fem->nodeManager == nullptr || fem->nodeManager->node_array_cpu.empty()) return;
  // Only the elements that may carry a segment's face are looked at (the
  // faces of a whole model cost about 4 us per element): those with three
  // or more of the segments' nodes.
  NodeIdFlags wanted;
  for (const Surface& surface : surface_array) {
    for (const SegmentCuda& seg : surface.segment_array) {
      for (const int id : seg.node_id) {
        if (id <= 0) continue;
        if (static_cast<std::size_t>(id) >= wanted.size()) wanted.resize(static_cast<std::size_t>(id) + 1, 0);
        wanted[static_cast<std::size_t>(id)] = 1;
      }
    }
  }
  if (wanted.empty()) return;
  FaceCollector faces(fem->nodeManager->node_array_cpu.data());
  for (Part& part : fem->part_array) {
    if (part.elmManager == nullptr || part.section == nullptr) continue;
    collectPartFaces(faces, *part.elmManager, part.section->element_formulation, &wanted);
  }
  for (Surface& surface : surface_array) {
    for (SegmentCuda& seg : surface.segment_array) {
      const Face* face = faces.exteriorFace(faceKeyOf(seg.node_id));
      if (face != nullptr && face->solid && runsAsFace(seg, *face)) seg.one_sided = 1;
    }
  }
}

void Surface::addSegmentsFromShells(const std::vector<ShellElementCuda>& shells) {
  for (const ShellElementCuda& shell : shells) segment_array.push_back(shellSegment(shell, id, segment_array.size()));
  segment_num = static_cast<int>(segment_array.size());
}

void Surface::addSegmentsFromSolidFaces(Part* part, NodeCuda* hostNodes) {
  if (part == nullptr || part->elmManager == nullptr || part->section == nullptr) return;
  if (part->section->family_code != 4) return;
  FaceCollector faces(hostNodes);
  collectPartFaces(faces, *part->elmManager, 0);
  for (const Face& face : faces.exterior()) {
    SegmentCuda seg = segmentOf(face, id, static_cast<int>(segment_array.size()));
    if (hostNodes != nullptr) seg.linkNodePtr(hostNodes);
    segment_array.push_back(seg);
  }
  segment_num = static_cast<int>(segment_array.size());
}

void Surface::addSegmentsFromElements(std::vector<Element*>& elements) {
  // The caller hands over shell elements only (an element set's solids
  // have no segment).
  for (Element* element : elements) {
    segment_array.push_back(shellSegment(*static_cast<const ShellElementCuda*>(element), id, segment_array.size()));
  }
  segment_num = static_cast<int>(segment_array.size());
  std::vector<Element*>().swap(elements);
}
