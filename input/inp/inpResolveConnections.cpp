// Completion of an ".inp" deck's connections after its block loop: the
// surfaces, interactions, nodes and amplitudes that contacts, ties, welds,
// surface loads and rigid bodies name must be defined, and boundaries and
// initial velocities at a rigid body's reference node act on the body.
#include <algorithm>
#include <map>
#include <set>

#include "core/curve.h"
#include "input/inp/inpReader.h"

namespace {

bool samePair(const std::string& a, const std::string& b, const std::string& c, const std::string& d) {
  return (a == c && b == d) || (a == d && b == c);
}

}  // namespace

// Element-face surface with faces: its segments, or the reason it cannot be
// one.
static std::string cutFaceSurface(const InpModel& model, const InpSurfaceCutter& cutter, const std::string& name,
                                  std::vector<std::array<int, 4>>& segments) {
  std::string why;
  if (model.nodeSurfaces.count(name) != 0) return "the surface " + name + " is made of nodes, not of faces";
  if (!cutter.segments(name, segments, why)) return why;
  if (segments.empty()) return "the surface " + name + " has no face";
  return std::string();
}

void InpReader::resolveConnections(const std::set<int>& nodes) {
  // A surface named by several contacts, ties or loads is cut into its
  // segments once; the translation writes those.
  const InpSurfaceCutter cutter(model_);
  std::map<std::string, std::string> problems;  // surface name -> reason, empty when sound
  auto faces = [&](const std::string& name, const std::string& what) {
    auto found = problems.find(name);
    if (found == problems.end()) {
      std::vector<std::array<int, 4>> segments;
      found = problems.emplace(name, cutFaceSurface(model_, cutter, name, segments)).first;
      if (found->second.empty()) model_.surfaceSegments[name] = std::move(segments);
    }
    if (!found->second.empty()) refuse(what + ": " + found->second);
  };
  // A slave side may be a node-based surface.
  auto slaveSide = [&](const std::string& name, const std::string& what) {
    const auto nodeSurface = model_.nodeSurfaces.find(name);
    if (nodeSurface == model_.nodeSurfaces.end()) {
      faces(name, what);
    } else if (nodeSurface->second.empty()) {
      refuse(what + ": the surface " + name + " holds no node");
    }
  };
  auto interaction = [&](const std::string& name, const std::string& what) {
    const bool known = std::any_of(model_.interactions.begin(), model_.interactions.end(),
                                   [&](const InpModel::Interaction& i) { return i.name == name; });
    if (!name.empty() && !known) refuse(what + " names the interaction " + name + ", which is not defined");
  };
  for (const InpModel::ContactPair& pair : model_.contactPairs) {
    const std::string what = "*CONTACT PAIR" + inpAtLine(pair.lineNumber);
    slaveSide(pair.slave, what);
    faces(pair.master, what);
    interaction(pair.interaction, what);
  }
  // A general contact between two tied surfaces would fight the tie.
  model_.inclusions.erase(std::remove_if(model_.inclusions.begin(), model_.inclusions.end(),
                                         [&](const InpModel::ContactPair& pair) {
                                           for (const InpModel::Tie& tie : model_.ties) {
                                             if (samePair(pair.slave, pair.master, tie.slave, tie.master)) return true;
                                           }
                                           return false;
                                         }),
                          model_.inclusions.end());
  for (const InpModel::ContactPair& pair : model_.inclusions) {
    const std::string what = "*CONTACT INCLUSIONS" + inpAtLine(pair.lineNumber);
    if (pair.master.empty()) {
      faces(pair.slave, what);
    } else {
      slaveSide(pair.slave, what);
      faces(pair.master, what);
    }
  }
  for (const InpModel::Assignment& assignment : model_.assignments) {
    const std::string what = "*CONTACT PROPERTY ASSIGNMENT" + inpAtLine(assignment.lineNumber);
    interaction(assignment.interaction, what);
    for (const std::string& name : {assignment.first, assignment.second}) {
      if (!name.empty() && model_.surfaces.count(name) == 0 && model_.nodeSurfaces.count(name) == 0) {
        refuse(what + " names the surface " + name + ", which is not defined");
      }
    }
    if (model_.allExterior && !(assignment.first.empty() && assignment.second.empty())) {
      refuse(what + ": with ALL EXTERIOR only an assignment for the whole model (empty surface names) is read");
    }
  }
  if (model_.allExterior && !model_.ties.empty()) {
    warn(
        "*CONTACT INCLUSIONS, ALL EXTERIOR: the general contact also acts between tied surfaces (it pushes "
        "only where they press into each other)");
  }
  for (const InpModel::Tie& tie : model_.ties) {
    const std::string what = "*TIE" + inpAtLine(tie.lineNumber);
    slaveSide(tie.slave, what);
    faces(tie.master, what);
  }
  for (const auto& [name, members] : model_.nodeSurfaces) {
    for (int node : members) {
      if (nodes.count(node) == 0) {
        refuse("*SURFACE " + name + " names the node " + std::to_string(node) + ", which is not defined");
        break;
      }
    }
  }
  for (const InpModel::Weld& weld : model_.welds) {
    for (int node : {weld.first, weld.second}) {
      if (nodes.count(node) == 0) {
        refuse("*MPC" + inpAtLine(weld.lineNumber) + " names the node " + std::to_string(node) +
               ", which is not defined");
      }
    }
  }
  for (const InpModel::Pressure& pressure : model_.pressures) {
    const std::string what = "*DSLOAD" + inpAtLine(pressure.lineNumber);
    faces(pressure.surface, what);
    const bool known = std::any_of(model_.amplitudes.begin(), model_.amplitudes.end(),
                                   [&](const InpModel::Amplitude& a) { return a.name == pressure.amplitude; });
    if (!pressure.amplitude.empty() && !known) {
      refuse(what + " names the amplitude " + pressure.amplitude + ", which is not defined");
    }
  }
  for (const InpModel::Amplitude& amplitude : model_.amplitudes) {
    const size_t held = inpHeldPoints(amplitude, model_.endTime).size();
    if (amplitude.definition == "SMOOTHSTEP" && held > static_cast<size_t>(kAmplitudeTermMax)) {
      refuse("*AMPLITUDE " + amplitude.name + ": its " + std::to_string(amplitude.points.size()) +
             " points leave no place to hold its values from time 0 to the end of the step (a smooth step "
             "holds at most " +
             std::to_string(kAmplitudeTermMax) + " in all)");
    }
  }
  resolveReferenceNodes(nodes);
  if (const std::string why = adjustInpTies(model_); !why.empty()) refuse(why);
}

// REF NODE: a node number or a set of one node. The body's first part
// carries it; further parts of the body are merged into that one. A
// boundary or initial velocity on a reference node (by number or by a set
// of that one node) acts on the body; a set that holds a reference node
// among other nodes is refused.
void InpReader::resolveReferenceNodes(const std::set<int>& nodes) {
  std::map<int, int> bodyOf;  // reference node -> the body's first part index
  for (const InpModel::RigidBody& body : model_.rigidBodies) {
    const std::string what = "the rigid body" + inpAtLine(body.lineNumber) + ": ";
    int node = 0;
    const auto set = model_.nodeSets.find(body.refNode);
    if (set != model_.nodeSets.end()) {
      if (set->second.size() != 1) {
        refuse(what + "the reference node set " + body.refNode + " holds " + std::to_string(set->second.size()) +
               " nodes, not one");
        continue;
      }
      node = set->second.front();
    } else if (!inpInteger(body.refNode, node)) {
      refuse(what + "REF NODE=" + body.refNode + " is neither a node number nor a node set");
      continue;
    }
    if (nodes.count(node) == 0) {
      refuse(what + "the reference node " + std::to_string(node) + " is not defined");
      continue;
    }
    const std::vector<int> parts = partsOfElementSet(body.elementSet);
    if (parts.empty()) continue;  // refused with the sections
    model_.parts[static_cast<size_t>(parts.front())].refNode = node;
    for (size_t k = 1; k < parts.size(); ++k) model_.rigidMerges.emplace_back(parts.front(), parts[k]);
    bodyOf[node] = parts.front();
  }
  if (bodyOf.empty()) return;
  // The body a target acts on; -1 for none.
  auto bodyOfTarget = [&](const std::string& target, bool isSet, const std::string& what) {
    int node = 0;
    if (!isSet) return inpInteger(target, node) && bodyOf.count(node) != 0 ? bodyOf.at(node) : -1;
    const auto set = model_.nodeSets.find(target);
    if (set == model_.nodeSets.end()) return -1;
    for (int member : set->second) {
      if (bodyOf.count(member) == 0) continue;
      if (set->second.size() == 1) return bodyOf.at(member);
      refuse(what + ": the set " + target + " holds the reference node " + std::to_string(member) +
             " among other nodes; give the reference node a line of its own");
    }
    return -1;
  };
  for (InpModel::Boundary& boundary : model_.boundaries) {
    const std::string what = "*BOUNDARY" + inpAtLine(boundary.lineNumber);
    boundary.rigidPart = bodyOfTarget(boundary.target, boundary.isSet, what);
    const bool turns = boundary.flags[3] != 0 || boundary.flags[4] != 0 || boundary.flags[5] != 0;
    if (boundary.rigidPart >= 0 && turns && boundary.value != 0.0) {
      refuse(what + " turns the rigid body of reference node " + boundary.target +
             ": a prescribed rotation about the reference node is not read by this version");
    }
  }
  for (const InpModel::Velocity& velocity : model_.velocities) {
    const std::string what = "*INITIAL CONDITIONS";
    if (bodyOfTarget(velocity.target, velocity.isSet, what) >= 0 &&
        (velocity.values[3] != 0.0 || velocity.values[4] != 0.0 || velocity.values[5] != 0.0)) {
      refuse(what + ": an angular velocity at the reference node " + velocity.target +
             " of a rigid body is not read by this version");
    }
  }
}
