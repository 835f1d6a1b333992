// Completion of an ".inp" deck after its block loop: element sets named by
// sections and rigid bodies reach the parts owning their elements, and every
// name a part, boundary or initial velocity uses must be defined.
#include <algorithm>
#include <map>
#include <set>

#include "input/inp/inpReader.h"

std::vector<int> InpReader::partsOfElementSet(const std::string& name) const {
  std::vector<int> parts;
  const auto set = model_.elementSets.find(name);
  if (set == model_.elementSets.end()) return parts;
  std::set<int> seen;
  for (int id : set->second) {
    const auto found = elementPart_.find(id);
    if (found != elementPart_.end() && seen.insert(found->second).second) parts.push_back(found->second);
  }
  return parts;
}

namespace {

// The parts an element set names, each one whole; an unknown set, a set of
// no read element or a set that splits a part refuses (why says so).
bool wholeParts(const InpReader& reader, const InpModel& model, const std::string& name, std::vector<int>& parts,
                std::string& why) {
  const auto set = model.elementSets.find(name);
  if (set == model.elementSets.end()) {
    why = "the element set " + name + " is not defined";
    return false;
  }
  parts = reader.partsOfElementSet(name);
  if (parts.empty()) {
    why = "the element set " + name + " holds no element that was read";
    return false;
  }
  const std::set<int> members(set->second.begin(), set->second.end());
  for (int p : parts) {
    for (const InpModel::Element& element : model.parts[static_cast<size_t>(p)].elements) {
      if (members.count(element.id) == 0) {
        why = "the element set " + name + " holds only some elements of " + model.parts[static_cast<size_t>(p)].name +
              " (element " + std::to_string(element.id) + " is not in it)";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool InpReader::resolve() {
  if (model_.nodes.empty() || model_.parts.empty()) {
    refuse(std::string("the deck defines no ") + (model_.nodes.empty() ? "nodes" : "elements that were read"));
    return false;
  }
  if (!model_.hasEndTime) refuse("the deck gives no *DYNAMIC step with a time period");
  elementPart_.clear();
  for (size_t p = 0; p < model_.parts.size(); ++p) {
    for (const InpModel::Element& element : model_.parts[p].elements) {
      if (!elementPart_.emplace(element.id, static_cast<int>(p)).second) {
        refuse("*ELEMENT" + inpAtLine(element.lineNumber) + ": element " + std::to_string(element.id) +
               " is defined twice");
        return false;
      }
    }
  }
  // The parts an element set covers whole; none, after refusing the deck
  // with a message naming what gave the set, when it covers none so.
  auto wholePartsOf = [this](const char* what, const std::string& elementSet, int lineNumber) {
    std::vector<int> parts;
    std::string why;
    if (!wholeParts(*this, model_, elementSet, parts, why)) {
      refuse(what + inpAtLine(lineNumber) + ": " + why);
      parts.clear();
    }
    return parts;
  };
  for (const InpModel::Section& section : model_.sections) {
    const std::vector<int> parts = wholePartsOf("the section", section.elementSet, section.lineNumber);
    if (parts.empty()) continue;
    for (int p : parts) {
      InpModel::Part& part = model_.parts[static_cast<size_t>(p)];
      // Continuum shells are solids whose thickness lies in their
      // nodes: a shell section gives them its material only.
      const bool continuumShell = part.type->formulation == 22 || part.type->formulation == 23;
      if (part.hasSection) {
        refuse("part " + part.name + " has a second section" + inpAtLine(section.lineNumber));
      } else if (continuumShell && section.family == 3) {
        warn("part " + part.name + " (" + part.type->name + "): the thickness of its shell section" +
             inpAtLine(section.lineNumber) + " is not used; the elements' nodes give it");
      } else if (part.type->family != section.family) {
        refuse("part " + part.name + " (" + part.type->name + ") is given a " +
               (section.family == 4 ? "solid" : "shell or membrane") + " section" + inpAtLine(section.lineNumber));
      }
      part.hasSection = true;
      part.material = section.material;
      part.sectionLine = section.lineNumber;
      part.thickness = section.thickness;
      part.points = section.points;
      part.smoothFem = section.smoothFem;
      part.controls = section.controls;
      // Simpson's rule and the Gauss points this version takes give one
      // elastic shell for an odd number of points; plastic flow or an
      // even number sets them apart.
      const bool plastic =
          std::any_of(model_.materials.begin(), model_.materials.end(),
                      [&](const InpModel::Material& m) { return m.name == section.material && !m.plastic.empty(); });
      if (section.simpson && !continuumShell && part.points > 1 && (plastic || part.points % 2 == 0)) {
        refuse("part " + part.name + ": its shell section" + inpAtLine(section.lineNumber) +
               " integrates through the thickness by Simpson's rule (SECTION INTEGRATION=SIMPSON, the "
               "default), which this version does not compute for " +
               (plastic ? "elastic-plastic shells" : "an even number of points") + ": write SECTION INTEGRATION=GAUSS");
      }
    }
    bool knownControls = section.controls.empty();
    for (const InpModel::SectionControls& controls : model_.sectionControls) {
      knownControls = knownControls || controls.name == section.controls;
    }
    if (!knownControls) {
      refuse("the section" + inpAtLine(section.lineNumber) + " names the section controls " + section.controls +
             ", which are not defined");
    }
  }
  for (const InpModel::RigidBody& body : model_.rigidBodies) {
    for (int p : wholePartsOf("the rigid body", body.elementSet, body.lineNumber)) {
      InpModel::Part& part = model_.parts[static_cast<size_t>(p)];
      part.rigid = true;
      part.rigidThickness = body.thickness;
      // Rigid elements need no section of their own: a shell takes the
      // body's thickness (0.001 when none is given), the material is
      // the first of the deck, for the mass.
      if (!part.hasSection && !model_.materials.empty()) {
        part.hasSection = true;
        part.material = model_.materials.front().name;
        part.thickness = body.thickness > 1e-10 ? body.thickness : 0.001;
      } else if (body.thickness > 1e-10) {
        part.thickness = body.thickness;
      }
    }
  }
  std::set<std::string> materials;
  for (const InpModel::Material& material : model_.materials) {
    if (!material.hasDensity) refuse("material " + material.name + " has no *DENSITY: an explicit run needs mass");
    const int laws = (material.hasElastic ? 1 : 0) + (material.hasMooneyRivlin ? 1 : 0) + (material.hasFoam ? 1 : 0);
    if (laws > 1) {
      refuse("material " + material.name +
             " gives more than one of *ELASTIC, *HYPERELASTIC and *LOW DENSITY FOAM; this version runs one law");
    }
    if (!material.plastic.empty() && !material.hasElastic) {
      refuse("material " + material.name + ": *PLASTIC needs *ELASTIC");
    }
    if (laws == 0) {
      refuse("material " + material.name + " has no *ELASTIC, *HYPERELASTIC or *LOW DENSITY FOAM data");
    }
    materials.insert(material.name);
  }
  for (const InpModel::Part& part : model_.parts) {
    if (!part.hasSection) {
      refuse("part " + part.name +
             " has no section: no *SOLID SECTION, *SHELL SECTION or *MEMBRANE SECTION "
             "names it or an element set of it");
    } else if (materials.count(part.material) == 0) {
      refuse("the section" + inpAtLine(part.sectionLine) + " of part " + part.name + ": material " + part.material +
             " is not defined");
    }
  }
  std::set<std::string> amplitudes;
  for (const InpModel::Amplitude& amplitude : model_.amplitudes) amplitudes.insert(amplitude.name);
  auto checkTarget = [&](const std::string& target, bool isSet, const std::string& what) {
    int node = 0;
    if (isSet ? model_.nodeSets.count(target) == 0 : !inpInteger(target, node) || nodeIds_.count(node) == 0) {
      refuse(what + " names " + (isSet ? "the node set " : "the node ") + target + ", which is not defined");
    }
  };
  for (const InpModel::Boundary& boundary : model_.boundaries) {
    checkTarget(boundary.target, boundary.isSet, "*BOUNDARY" + inpAtLine(boundary.lineNumber));
    if (!boundary.amplitude.empty() && amplitudes.count(boundary.amplitude) == 0) {
      refuse("*BOUNDARY" + inpAtLine(boundary.lineNumber) + " names the amplitude " + boundary.amplitude +
             ", which is not defined");
    }
  }
  resolveConnections(nodeIds_);
  for (const InpModel::Velocity& velocity : model_.velocities) {
    checkTarget(velocity.target, velocity.isSet, "*INITIAL CONDITIONS" + inpAtLine(velocity.lineNumber));
  }
  // A node set may name only nodes of the deck.
  for (const auto& [name, members] : model_.nodeSets) {
    const auto missing =
        std::find_if(members.begin(), members.end(), [this](int id) { return nodeIds_.count(id) == 0; });
    if (missing == members.end()) continue;
    const auto line = model_.nodeSetLines.find(name);
    refuse("*NSET" + (line != model_.nodeSetLines.end() ? inpAtLine(line->second) : std::string()) + " " + name +
           ": node " + std::to_string(*missing) + " is not defined");
  }
  resolveOutputs();
  return !refused();
}
