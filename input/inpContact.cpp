// ".inp" element-face surfaces and contact pairs: each pair becomes a
// surface-to-surface contact between two segment sets cut from the faces.
#include <cctype>
#include <set>

#include "input/inpReader.h"

namespace {

std::string lineOf(const InpBlock& block) {
    return "*" + block.keyword.name + " (line " + std::to_string(block.lineNumber) + ")";
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Face node positions (1-based) by element node count and label, normals
// pointing out of the element; a triangle repeats its last node.
struct FaceNodes {
    int nodes;
    const char* label;
    int position[4];
};
const FaceNodes kFaces[] = {
    {3, "SPOS", {1, 2, 3, 3}}, {3, "SNEG", {1, 3, 2, 2}}, {4, "SPOS", {1, 2, 3, 4}}, {4, "SNEG", {1, 4, 3, 2}},
    {4, "S1", {1, 3, 2, 2}},   {4, "S2", {1, 2, 4, 4}},   {4, "S3", {2, 3, 4, 4}},   {4, "S4", {3, 1, 4, 4}},
    {8, "S1", {1, 4, 3, 2}},   {8, "S2", {5, 6, 7, 8}},   {8, "S3", {1, 2, 6, 5}},   {8, "S4", {2, 3, 7, 6}},
    {8, "S5", {3, 4, 8, 7}},   {8, "S6", {4, 1, 5, 8}},
};

const FaceNodes* findFace(const InpModel::Part& part, const std::string& label) {
    // A four-node shell and a tetrahedron both have four nodes: the family decides.
    const bool shellLabel = label == "SPOS" || label == "SNEG";
    if (shellLabel != (part.type->family == 3)) return nullptr;
    for (const FaceNodes& face : kFaces) {
        if (face.nodes == part.type->nodes && label == face.label) return &face;
    }
    return nullptr;
}

}  // namespace

void InpReader::readSurface(const InpBlock& block) {
    warnUnreadOptions(block, {"NAME", "TYPE"});
    const std::string name = block.keyword.option("NAME");
    const std::string type = block.keyword.option("TYPE");
    if (name.empty()) {
        refuse(lineOf(block) + ": the surface name (NAME=) is missing");
        return;
    }
    if (!type.empty() && type != "ELEMENT") {
        refuse(lineOf(block) + " " + name + ": TYPE=" + type + " is not read by this version (element faces only)");
        return;
    }
    std::vector<InpModel::Face>& faces = model_.surfaces[name];
    for (const std::vector<std::string>& line : block.lines) {
        if (line.size() < 2 || line[0].empty() || line[1].empty()) {
            refuse(lineOf(block) + " " + name + ": the line \"" + line[0] +
                   "\" must give an element or element set and a face label");
            return;
        }
        faces.push_back(InpModel::Face{upper(line[0]), upper(line[1])});
    }
}

void InpReader::readContactPair(const InpBlock& block) {
    warnUnreadOptions(block, {"INTERACTION", "MECHANICALCONSTRAINT", "CPSET"});
    for (const std::vector<std::string>& line : block.lines) {
        if (line.size() < 2 || line[0].empty() || line[1].empty()) {
            refuse(lineOf(block) + ": the line \"" + line[0] + "\" must give two surface names");
            return;
        }
        model_.contactPairs.push_back(InpModel::ContactPair{upper(line[0]), upper(line[1]), block.lineNumber});
    }
}

bool inpSurfaceSegments(const InpModel& model, const std::string& name, std::vector<std::array<int, 4>>& segments,
                        std::string& why) {
    const auto surface = model.surfaces.find(name);
    if (surface == model.surfaces.end()) {
        why = "the surface " + name + " is not defined";
        return false;
    }
    std::map<int, std::pair<const InpModel::Part*, const InpModel::Element*>> elements;
    for (const InpModel::Part& part : model.parts) {
        for (const InpModel::Element& element : part.elements) elements[element.id] = {&part, &element};
    }
    std::set<std::pair<int, std::string>> taken;  // a face given twice is kept once
    for (const InpModel::Face& face : surface->second) {
        std::vector<int> ids;
        int id = 0;
        if (inpInteger(face.element, id)) {
            ids.push_back(id);
        } else if (model.elementSets.count(face.element) != 0) {
            ids = model.elementSets.at(face.element);
        } else {
            why = "surface " + name + ": \"" + face.element + "\" is neither an element nor an element set";
            return false;
        }
        for (int element : ids) {
            const auto found = elements.find(element);
            if (found == elements.end()) {
                why = "surface " + name + ": element " + std::to_string(element) + " was not read";
                return false;
            }
            const FaceNodes* nodes = findFace(*found->second.first, face.label);
            if (nodes == nullptr) {
                why = "surface " + name + ": element " + std::to_string(element) + " (" +
                      found->second.first->type->name + ") has no face " + face.label;
                return false;
            }
            if (!taken.insert({element, face.label}).second) continue;
            std::array<int, 4> segment{};
            for (int k = 0; k < 4; ++k) segment[static_cast<size_t>(k)] = found->second.second->nodes[static_cast<size_t>(nodes->position[k] - 1)];
            segments.push_back(segment);
        }
    }
    return true;
}
