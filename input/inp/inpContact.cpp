// ".inp" surfaces (element faces or nodes) and contact pairs, and the
// segments cut from the faces of an element-face surface.
#include <cctype>
#include <map>
#include <set>

#include "input/inp/inpReader.h"

namespace {

// Face node positions (1-based, in the deck's node order) by element node
// count and label, normals pointing out of the element; a triangle repeats
// its last node. A face of a ten-node tetrahedron is four triangles.
struct FaceNodes {
  int nodes;
  const char* label;
  int position[4];
};
const FaceNodes kFaces[] = {
    {3, "SPOS", {1, 2, 3, 3}}, {3, "SNEG", {1, 3, 2, 2}},  {4, "SPOS", {1, 2, 3, 4}},  {4, "SNEG", {1, 4, 3, 2}},
    {4, "S1", {1, 3, 2, 2}},   {4, "S2", {1, 2, 4, 4}},    {4, "S3", {2, 3, 4, 4}},    {4, "S4", {3, 1, 4, 4}},
    {6, "S1", {1, 3, 2, 2}},   {6, "S2", {4, 5, 6, 6}},    {6, "S3", {1, 2, 5, 4}},    {6, "S4", {2, 3, 6, 5}},
    {6, "S5", {3, 1, 4, 6}},   {8, "S1", {1, 4, 3, 2}},    {8, "S2", {5, 6, 7, 8}},    {8, "S3", {1, 2, 6, 5}},
    {8, "S4", {2, 3, 7, 6}},   {8, "S5", {3, 4, 8, 7}},    {8, "S6", {4, 1, 5, 8}},    {10, "S1", {1, 7, 5, 5}},
    {10, "S1", {5, 7, 6, 6}},  {10, "S1", {7, 3, 6, 6}},   {10, "S1", {6, 2, 5, 5}},   {10, "S2", {1, 5, 8, 8}},
    {10, "S2", {2, 9, 5, 5}},  {10, "S2", {4, 8, 9, 9}},   {10, "S2", {9, 8, 5, 5}},   {10, "S3", {2, 6, 9, 9}},
    {10, "S3", {3, 10, 6, 6}}, {10, "S3", {4, 9, 10, 10}}, {10, "S3", {9, 6, 10, 10}}, {10, "S4", {1, 8, 7, 7}},
    {10, "S4", {4, 10, 8, 8}}, {10, "S4", {3, 7, 10, 10}}, {10, "S4", {10, 7, 8, 8}},
};

bool shellLabel(const std::string& label) { return label == "SPOS" || label == "SNEG"; }

// The segments of one face label of a part's elements (every solid face
// for an empty label); empty for a label the element does not have. A
// four-node shell and a tetrahedron both have four nodes: the family decides.
std::vector<const FaceNodes*> facesOf(const InpModel::Part& part, const std::string& label) {
  std::vector<const FaceNodes*> faces;
  const bool shell = part.type->family == 3;
  if (label.empty() ? shell : shellLabel(label) != shell) return faces;
  for (const FaceNodes& face : kFaces) {
    if (face.nodes != part.type->nodes || shellLabel(face.label) != shell) continue;
    if (label.empty() || label == face.label) faces.push_back(&face);
  }
  return faces;
}

// Why the faces of an element cannot be taken; empty when they can.
std::string faceProblem(const InpModel::Part& part, int element, const std::string& label) {
  const std::string which = "element " + std::to_string(element) + " (" + part.type->name + ")";
  if (part.type->family == 4 && part.type->nodes == 5) {
    return which + ": the faces of pyramids are not read by this version, so they cannot take part in contact";
  }
  if (label.empty()) return which + " is a shell: give its face (SPOS or SNEG)";
  return which + " has no face " + label;
}

}  // namespace

void InpReader::readSurface(const InpBlock& block) {
  refuseUnreadOptions(block, {"NAME", "TYPE"}, {"INTERNAL"});
  const std::string name = block.keyword.option("NAME");
  const std::string type = block.keyword.option("TYPE");
  if (name.empty()) {
    refuse(block.where() + ": the surface name (NAME=) is missing");
    return;
  }
  if (model_.surfaces.count(name) != 0 || model_.nodeSurfaces.count(name) != 0) {
    refuse(block.where() + ": surface " + name + " is defined twice");
    return;
  }
  if (type == "NODE") {
    readNodeSurface(block, name);
    return;
  }
  if (!type.empty() && type != "ELEMENT") {
    refuse(block.where() + " " + name + ": TYPE=" + type + " is not read by this version (ELEMENT or NODE)");
    return;
  }
  // An element or element set with a face label; without a label, the
  // exterior faces of the solid elements named.
  std::vector<InpModel::Face>& faces = model_.surfaces[name];
  for (const std::vector<std::string>& line : block.lines) {
    if (line[0].empty() || line.size() > 2) {
      refuse(block.where() + " " + name + ": the line \"" + line[0] +
             "\" must give an element or element set and a face label");
      return;
    }
    faces.push_back(InpModel::Face{inpUpper(line[0]), line.size() > 1 ? inpUpper(line[1]) : std::string()});
  }
}

// Lines of a node number or a node set, each with an optional weight
// (which a contact of this system does not use).
void InpReader::readNodeSurface(const InpBlock& block, const std::string& name) {
  std::vector<int>& nodes = model_.nodeSurfaces[name];
  for (const std::vector<std::string>& line : block.lines) {
    int node = 0;
    const std::string field = inpUpper(line[0]);
    if (inpInteger(field, node)) {
      nodes.push_back(node);
    } else if (model_.nodeSets.count(field) != 0) {
      const std::vector<int>& members = model_.nodeSets.at(field);
      nodes.insert(nodes.end(), members.begin(), members.end());
    } else {
      refuse(block.where() + " " + name + ": \"" + line[0] +
             "\" is neither a node number nor a node set defined before");
      return;
    }
  }
}

void InpReader::readContactPair(const InpBlock& block) {
  refuseUnreadOptions(block, {"INTERACTION", "MECHANICALCONSTRAINT", "CPSET"});
  // The contact force lands a node on the surface it reaches: the
  // kinematic constraint (the default), not a penalty.
  const std::string constraint = block.keyword.choice("MECHANICALCONSTRAINT");
  if (!constraint.empty() && constraint != "KINEMATIC") {
    unreadMechanics(block, "MECHANICAL CONSTRAINT=" + constraint +
                               " asks for a penalty contact; contact here is "
                               "kinematic");
  }
  for (const std::vector<std::string>& line : block.lines) {
    if (line.size() < 2 || line[0].empty() || line[1].empty()) {
      refuse(block.where() + ": the line \"" + line[0] + "\" must give two surface names");
      return;
    }
    if (!onlyFields(block, line, 2, "slave surface, master surface")) return;
    model_.contactPairs.push_back(InpModel::ContactPair{inpUpper(line[0]), inpUpper(line[1]), block.lineNumber,
                                                        block.keyword.option("INTERACTION")});
  }
}

namespace {

using ElementIndex = std::map<int, std::pair<const InpModel::Part*, const InpModel::Element*>>;

ElementIndex indexElements(const InpModel& model) {
  ElementIndex elements;
  for (const InpModel::Part& part : model.parts) {
    for (const InpModel::Element& element : part.elements) elements[element.id] = {&part, &element};
  }
  return elements;
}

std::array<int, 4> faceSegment(const InpModel::Element& element, const FaceNodes& face) {
  std::array<int, 4> segment{};
  for (size_t k = 0; k < 4; ++k) segment[k] = element.nodes[static_cast<size_t>(face.position[k] - 1)];
  return segment;
}

// Faces of the solid elements of ids that no other of them shares.
bool exteriorFaces(const ElementIndex& elements, const std::vector<int>& ids, std::vector<std::array<int, 4>>& segments,
                   std::string& why) {
  std::map<std::set<int>, std::pair<int, std::array<int, 4>>> faces;  // node set -> count, segment
  for (int id : ids) {
    const auto found = elements.find(id);
    if (found == elements.end()) {
      why = "element " + std::to_string(id) + " was not read";
      return false;
    }
    const std::vector<const FaceNodes*> all = facesOf(*found->second.first, "");
    if (all.empty()) {
      why = faceProblem(*found->second.first, id, "");
      return false;
    }
    for (const FaceNodes* face : all) {
      const std::array<int, 4> segment = faceSegment(*found->second.second, *face);
      auto& entry = faces[std::set<int>(segment.begin(), segment.end())];
      if (entry.first++ == 0) entry.second = segment;
    }
  }
  for (const auto& [nodes, entry] : faces) {
    if (entry.first == 1) segments.push_back(entry.second);
  }
  return true;
}

}  // namespace

InpSurfaceCutter::InpSurfaceCutter(const InpModel& model) : model_(model), elements_(indexElements(model)) {}

bool inpSurfaceSegments(const InpModel& model, const std::string& name, std::vector<std::array<int, 4>>& segments,
                        std::string& why) {
  return InpSurfaceCutter(model).segments(name, segments, why);
}

bool InpSurfaceCutter::segments(const std::string& name, std::vector<std::array<int, 4>>& segments,
                                std::string& why) const {
  const auto surface = model_.surfaces.find(name);
  if (surface == model_.surfaces.end()) {
    why = "the surface " + name + " is not defined";
    return false;
  }
  std::set<std::pair<int, std::string>> taken;  // a face given twice is kept once
  for (const InpModel::Face& face : surface->second) {
    std::vector<int> ids;
    int id = 0;
    if (inpInteger(face.element, id)) {
      ids.push_back(id);
    } else if (model_.elementSets.count(face.element) != 0) {
      ids = model_.elementSets.at(face.element);
    } else {
      why = "surface " + name + ": \"" + face.element + "\" is neither an element nor an element set";
      return false;
    }
    if (face.label.empty()) {
      if (!exteriorFaces(elements_, ids, segments, why)) {
        why = "surface " + name + ": " + why;
        return false;
      }
      continue;
    }
    for (int element : ids) {
      const auto found = elements_.find(element);
      if (found == elements_.end()) {
        why = "surface " + name + ": element " + std::to_string(element) + " was not read";
        return false;
      }
      const std::vector<const FaceNodes*> faces = facesOf(*found->second.first, face.label);
      if (faces.empty()) {
        why = "surface " + name + ": " + faceProblem(*found->second.first, element, face.label);
        return false;
      }
      if (!taken.insert({element, face.label}).second) continue;
      for (const FaceNodes* nodes : faces) segments.push_back(faceSegment(*found->second.second, *nodes));
    }
  }
  return true;
}
