// ".inp" mesh keywords: *NODE, *SYSTEM, *ELEMENT, *NSET and *ELSET.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

#include "core/simpleMath.h"
#include "input/inp/inpReader.h"

namespace {

// Element types: node count, family, the section formulation written for
// the keyword card families (solid 1 one-point hexahedron, 2 fully
// integrated hexahedron, 10 tetrahedron; shell 2 quadrilateral, 4 triangle,
// 5 membrane, also for the membrane triangle, whose part takes its own
// element type code once the cards are read), the element type code
// and the node slots of the card. A wedge with two blank slots is completed
// as a six-node pentahedron; the one-point wedge lies in the slots of a
// hexahedron collapsed along two edges; the pyramid has its apex first; a
// ten-node tetrahedron is written as its corners and completed afterwards.
const InpElementType kElementTypes[] = {
    {"R3D4", 4, 3, 2, 9, false, {1, 2, 3, 4}},
    {"S3R", 3, 3, 4, 14, false, {1, 2, 3, 3}},
    {"S4R", 4, 3, 2, 9, false, {1, 2, 3, 4}},
    {"M3D3", 3, 3, 5, 7, false, {1, 2, 3, 3}},
    {"M3D4R", 4, 3, 5, 8, false, {1, 2, 3, 4}},
    {"C3D4", 4, 4, 10, 15, false, {1, 2, 3, 4, 4, 4, 4, 4}},
    {"C3D8R", 8, 4, 1, 18, false, {1, 2, 3, 4, 5, 6, 7, 8}},
    {"C3D8", 8, 4, 2, 17, false, {1, 2, 3, 4, 5, 6, 7, 8}},
    {"C3D8I", 8, 4, 1, 18, false, {1, 2, 3, 4, 5, 6, 7, 8}},
    {"C3D6R", 6, 4, 1, 21, false, {1, 3, 6, 4, 2, 2, 5, 5}},
    {"C3D6", 6, 4, 1, 20, false, {1, 2, 3, 4, 5, 6, 0, 0}},
    {"SC6R", 6, 4, 1, 22, false, {1, 2, 3, 4, 5, 6, 0, 0}},
    {"SC8R", 8, 4, 1, 23, false, {1, 2, 3, 4, 5, 6, 7, 8}},
    {"C3D10M", 10, 4, 10, 27, true, {1, 2, 3, 4, 4, 4, 4, 4}},
    {"C3P5", 5, 4, 1, 16, false, {5, 1, 2, 3, 4, 5, 5, 5}},
};

// Scales v to unit length; false when it is (nearly) zero.
bool unit(double* v) {
  const double length = std::sqrt(vector_inner_product(3, v, v));
  if (length < 1e-12) return false;
  for (int k = 0; k < 3; ++k) v[k] /= length;
  return true;
}

}  // namespace

const InpElementType* findInpElementType(const std::string& name) {
  for (const InpElementType& type : kElementTypes) {
    if (name == type.name) return &type;
  }
  return nullptr;
}

void InpReader::readNodes(const InpBlock& block) {
  refuseUnreadOptions(block, {"NSET", "SYSTEM"});
  const bool local = block.keyword.option("SYSTEM") == "R";
  if (!local && block.keyword.has("SYSTEM")) {
    unreadMechanics(block, "SYSTEM=" + block.keyword.option("SYSTEM") +
                               " asks for coordinates of another system "
                               "than the rectangular one (R)");
  }
  const std::string setName = block.keyword.option("NSET");
  for (const std::vector<std::string>& line : block.lines) {
    InpModel::Node node;
    if (!inpInteger(line[0], node.id) || node.id <= 0) {
      refuse(block.where() + ": \"" + line[0] + "\" is not a node number");
      return;
    }
    if (!onlyFields(block, line, 4, "node number, x, y, z")) return;
    double read[3] = {};
    for (size_t k = 0; k < 3 && k + 1 < line.size(); ++k) {
      if (!line[k + 1].empty() && !inpNumber(line[k + 1], read[k])) {
        refuse(block.where() + ": node " + line[0] + ": \"" + line[k + 1] + "\" is not a coordinate");
        return;
      }
    }
    for (int k = 0; k < 3; ++k) {
      node.x[k] = local ? origin_[k] + read[0] * axes_[0][k] + read[1] * axes_[1][k] + read[2] * axes_[2][k] : read[k];
    }
    if (!nodeIds_.insert(node.id).second) {
      refuse(block.where() + ": node " + std::to_string(node.id) + " is defined twice");
      return;
    }
    model_.nodes.push_back(node);
    if (!setName.empty()) model_.nodeSets[setName].push_back(node.id);
  }
}

// e1 along b - a; e3 normal to e1 and (c - a); e2 = e3 x e1. Without c the
// plane of e1 and the old e2 direction (z x e1, or y when e1 is along z).
void InpReader::readSystem(const InpBlock& block) {
  double a[3] = {}, b[3] = {}, c[3] = {};
  const double identity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int k = 0; k < 3; ++k) {
    origin_[k] = 0.0;
    for (int j = 0; j < 3; ++j) axes_[k][j] = identity[k][j];
  }
  refuseUnreadOptions(block, {});
  if (block.lines.empty()) return;
  // Line 1: the origin and a point on the first axis; line 2: a point in
  // the first plane.
  if (!onlyFields(block, block.lines[0], 6, "origin, point on the first axis")) return;
  if (block.lines.size() > 1 && !onlyFields(block, block.lines[1], 3, "point in the first plane")) return;
  std::vector<double> values;
  for (size_t l = 0; l < block.lines.size() && l < 2; ++l) {
    for (const std::string& field : block.lines[l]) {
      double v = 0.0;
      if (!inpNumber(field, v)) {
        refuse(block.where() + ": \"" + field + "\" is not a coordinate");
        return;
      }
      values.push_back(v);
    }
  }
  for (int k = 0; k < 3 && static_cast<size_t>(k) < values.size(); ++k) a[k] = values[static_cast<size_t>(k)];
  for (int k = 0; k < 3; ++k) origin_[k] = a[k];
  if (values.size() < 6) return;
  double e1[3], hint[3], e2[3], e3[3];
  for (int k = 0; k < 3; ++k) b[k] = values[3 + static_cast<size_t>(k)];
  for (int k = 0; k < 3; ++k) e1[k] = b[k] - a[k];
  if (!unit(e1)) {
    refuse(block.where() + ": the point on the first axis coincides with the origin");
    return;
  }
  if (values.size() >= 9) {
    for (int k = 0; k < 3; ++k) c[k] = values[6 + static_cast<size_t>(k)];
    for (int k = 0; k < 3; ++k) hint[k] = c[k] - a[k];
  } else {
    const double z[3] = {0, 0, 1};
    vector_outer_product(z, e1, hint);
    if (!unit(hint)) hint[0] = 0, hint[1] = 1, hint[2] = 0;
  }
  vector_outer_product(e1, hint, e3);
  if (!unit(e3)) {
    refuse(block.where() + ": the point in the first plane lies on the first axis");
    return;
  }
  vector_outer_product(e3, e1, e2);
  for (int k = 0; k < 3; ++k) axes_[0][k] = e1[k], axes_[1][k] = e2[k], axes_[2][k] = e3[k];
}

void InpReader::readElements(const InpBlock& block) {
  refuseUnreadOptions(block, {"TYPE", "ELSET"});
  const std::string typeName = block.keyword.option("TYPE");
  if (typeName.empty()) {
    refuse(block.where() + ": the element type (TYPE=) is missing");
    return;
  }
  std::string name = block.keyword.option("ELSET");
  if (name.empty()) name = currentPartName_.empty() ? typeName : currentPartName_;
  const InpElementType* type = findInpElementType(typeName);
  if (type == nullptr) {
    unreadMechanics(block, "element type " + typeName + " is not read by this version; its " +
                               std::to_string(block.lines.size()) + " element line(s) would be left out");
    return;
  }
  if (type->formulation == 22 || type->formulation == 23) {
    warn(block.where() + ": continuum shells " + typeName + " are computed as solids of their shape (" +
         (type->nodes == 6 ? "six-node pentahedra" : "one-point hexahedra") + ")");
  }
  // One part per name and type: a name with two types gives a second part.
  int index = partIndex(name);
  if (index >= 0 && model_.parts[static_cast<size_t>(index)].type != type) {
    index = partIndex(name + "-" + typeName);
    if (index < 0) {
      model_.parts.push_back(InpModel::Part());
      model_.parts.back().name = name + "-" + typeName;
      model_.parts.back().type = type;
      index = static_cast<int>(model_.parts.size()) - 1;
    }
  } else if (index < 0) {
    model_.parts.push_back(InpModel::Part());
    model_.parts.back().name = name;
    model_.parts.back().type = type;
    index = static_cast<int>(model_.parts.size()) - 1;
  }
  InpModel::Part& part = model_.parts[static_cast<size_t>(index)];
  std::vector<int>& set = model_.elementSets[name];
  // An element may continue on the next line: fields are gathered until
  // the id and all its nodes are there.
  std::vector<std::string> fields;
  size_t firstLine = 0;
  for (size_t l = 0; l < block.lines.size(); ++l) {
    const std::vector<std::string>& line = block.lines[l];
    if (fields.empty()) firstLine = l;
    fields.insert(fields.end(), line.begin(), line.end());
    if (fields.size() < static_cast<size_t>(type->nodes) + 1) continue;
    InpModel::Element element;
    element.lineNumber = block.lines.number(firstLine);
    bool ok = inpInteger(fields[0], element.id);
    for (int j = 0; ok && j < type->nodes; ++j) {
      int node = 0;
      ok = inpInteger(fields[1 + static_cast<size_t>(j)], node);
      element.nodes.push_back(node);
    }
    if (!ok || fields.size() > static_cast<size_t>(type->nodes) + 1) {
      refuse(block.where() + ": the element line starting \"" + fields[0] + "\" is not an id and " +
             std::to_string(type->nodes) + " node numbers");
      return;
    }
    // Nodes not read yet must be defined by a later *NODE block.
    ElementNodes later{"*ELEMENT" + inpAtLine(block.lines.number(firstLine)), element.id, {}};
    for (int node : element.nodes) {
      if (nodeIds_.count(node) == 0) later.nodes.push_back(node);
    }
    if (!later.nodes.empty()) laterNodes_.push_back(std::move(later));
    part.elements.push_back(element);
    set.push_back(element.id);
    fields.clear();
  }
  if (!fields.empty()) refuse(block.where() + ": the last element line lacks node numbers");
}

namespace {

// Most members one range line may generate: a mistyped bound would
// otherwise fill the memory.
constexpr long long kMaxGeneratedMembers = 10000000;

// Reads the members of an *NSET or *ELSET block into ids: numbers, names
// of sets of the same kind, or GENERATE ranges. False with the reason in why.
bool readSetMembers(const InpBlock& block, const std::map<std::string, std::vector<int>>& sets, std::vector<int>& ids,
                    std::string& why) {
  const bool generate = block.keyword.has("GENERATE");
  for (const std::vector<std::string>& line : block.lines) {
    if (generate) {
      int first = 0, last = 0, step = 1;
      if (!inpInteger(line[0], first) || line.size() < 2 || !inpInteger(line[1], last) ||
          (line.size() > 2 && !line[2].empty() && !inpInteger(line[2], step)) || step <= 0 || last < first ||
          std::any_of(line.begin() + std::min<std::ptrdiff_t>(3, std::ssize(line)), line.end(),
                      [](const std::string& field) { return !field.empty(); })) {
        why = "the range line \"" + line[0] + ", ...\" is not first, last[, step > 0] with last >= first";
        return false;
      }
      if ((static_cast<long long>(last) - first) / step >= kMaxGeneratedMembers) {
        why = "the range " + line[0] + " to " + line[1] + " holds more than " + std::to_string(kMaxGeneratedMembers) +
              " members";
        return false;
      }
      for (long long id = first; id <= last; id += step) ids.push_back(static_cast<int>(id));
      continue;
    }
    for (std::string field : line) {
      if (field.empty()) continue;
      int id = 0;
      if (inpInteger(field, id)) {
        ids.push_back(id);
        continue;
      }
      for (char& c : field) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      const auto named = sets.find(field);
      if (named == sets.end()) {
        why = "\"" + field + "\" is neither a number nor a set defined before";
        return false;
      }
      ids.insert(ids.end(), named->second.begin(), named->second.end());
    }
  }
  return true;
}

}  // namespace

void InpReader::readNodeSet(const InpBlock& block) { readSet(block, "NSET", model_.nodeSets); }

void InpReader::readElementSet(const InpBlock& block) { readSet(block, "ELSET", model_.elementSets); }

// A set block: its name under the option key, its members appended to the
// set of that name.
void InpReader::readSet(const InpBlock& block, const std::string& key, std::map<std::string, std::vector<int>>& sets) {
  refuseUnreadOptions(block, {key, "GENERATE", "INSTANCE"}, {"INTERNAL", "UNSORTED"});
  const std::string name = block.keyword.option(key);
  if (name.empty()) {
    refuse(block.where() + ": the set name (" + key + "=) is missing");
    return;
  }
  std::vector<int> ids;
  std::string why;
  if (!readSetMembers(block, sets, ids, why)) {
    refuse(block.where() + " " + name + ": " + why);
    return;
  }
  std::vector<int>& set = sets[name];
  set.insert(set.end(), ids.begin(), ids.end());
  if (key == "NSET") model_.nodeSetLines.emplace(name, block.lineNumber);
}

int InpReader::partIndex(const std::string& name) const {
  for (size_t i = 0; i < model_.parts.size(); ++i) {
    if (model_.parts[i].name == name) return static_cast<int>(i);
  }
  return -1;
}
