// Writes what connects the parts of an ".inp" model as keyword-deck blocks:
// segment and node sets of the surfaces, contacts with their friction, tied
// contacts, welds of *MPC, pressures of *DSLOAD, the reference nodes of
// rigid bodies with their prescribed motions; and completes what keyword
// cards cannot carry once the card families have read them.
#include <cmath>

#include "contact/contactManager.h"
#include "input/inp/inpCard.h"
#include "input/inp/inpReader.h"
#include "solver/femdynamic.h"

namespace {

std::string nodeListBlock(const char* keyword, int id, const std::vector<int>& members) {
  std::string block = std::string(keyword) + "\n" + (InpCard() << id).text();
  for (size_t k = 0; k < members.size(); k += 8) {
    InpCard card;
    for (size_t j = k; j < members.size() && j < k + 8; ++j) card << members[j];
    block += card.text();
  }
  return block;
}

// Contact sides: a segment set per element-face surface, a node set per
// node-based surface, each written once.
class Sides {
 public:
  Sides(const InpModel& model, InpTranslation& ids, std::vector<std::string>& blocks)
      : model_(model), ids_(ids), blocks_(blocks) {}

  bool isNodes(const std::string& name) const { return model_.nodeSurfaces.count(name) != 0; }
  // The set id of a surface; its type code on a contact card (0 segment
  // set, 4 node set) in type.
  int set(const std::string& name, int& type) {
    type = isNodes(name) ? 4 : 0;
    return type == 4 ? nodeSet(name) : segmentSet(name);
  }

 private:
  int segmentSet(const std::string& name) {
    const auto known = ids_.segmentSetIds.find(name);
    if (known != ids_.segmentSetIds.end()) return known->second;
    const int id = static_cast<int>(ids_.segmentSetIds.size()) + 1;
    ids_.segmentSetIds[name] = id;
    std::string block = "*SET_SEGMENT\n" + (InpCard() << id).text();
    const auto segments = model_.surfaceSegments.find(name);  // every named surface was cut when resolved
    if (segments != model_.surfaceSegments.end()) {
      for (const std::array<int, 4>& s : segments->second) {
        block += (InpCard() << s[0] << s[1] << s[2] << s[3]).text();
      }
    }
    blocks_.push_back(block);
    return id;
  }
  int nodeSet(const std::string& name) {
    const auto known = nodeSets_.find(name);
    if (known != nodeSets_.end()) return known->second;
    const int id = ids_.nextNodeSetId++;
    nodeSets_[name] = id;
    blocks_.push_back(nodeListBlock("*SET_NODE_LIST", id, model_.nodeSurfaces.at(name)));
    return id;
  }
  const InpModel& model_;
  InpTranslation& ids_;
  std::vector<std::string>& blocks_;
  std::map<std::string, int> nodeSets_;
};

const InpModel::Interaction* findInteraction(const InpModel& model, const std::string& name) {
  for (const InpModel::Interaction& interaction : model.interactions) {
    if (interaction.name == name) return &interaction;
  }
  return nullptr;
}

// The interaction a general contact of two surfaces takes (second empty:
// self-contact): the assignment of the two in either order, else the one
// for the whole model; null for none.
const InpModel::Interaction* assignedInteraction(const InpModel& model, const std::string& a, const std::string& b) {
  const InpModel::Assignment* chosen = nullptr;
  for (const InpModel::Assignment& assignment : model.assignments) {
    const bool self = b.empty() && assignment.first == a && (assignment.second.empty() || assignment.second == a);
    const bool pair = !b.empty() && ((assignment.first == a && assignment.second == b) ||
                                     (assignment.first == b && assignment.second == a));
    if (self || pair) return findInteraction(model, assignment.interaction);
    if (assignment.first.empty() && assignment.second.empty()) chosen = &assignment;
  }
  return chosen != nullptr ? findInteraction(model, chosen->interaction) : nullptr;
}

// A contact between two sides with the friction of its interaction; the
// kind follows from the slave side (nodes or faces).
std::string contactBlock(const char* kind, int slave, int slaveType, int master, int masterType,
                         const InpModel::Interaction* interaction) {
  const double none[3] = {0.0, 0.0, 0.0};
  const double* mu = interaction != nullptr ? interaction->friction : none;
  return std::string(kind) + "\n" + (InpCard() << slave << master << slaveType << masterType).text() +
         (InpCard() << mu[0] << mu[1] << mu[2]).text() + (InpCard() << 0.0).text();
}

void addContact(Sides& sides, const std::string& slaveName, const std::string& masterName,
                const InpModel::Interaction* interaction, std::vector<std::string>& blocks) {
  int slaveType = 0, masterType = 0;
  const int slave = sides.set(slaveName, slaveType);
  const int master = sides.set(masterName.empty() ? slaveName : masterName, masterType);
  const char* kind = slaveType == 4 ? "*CONTACT_NODES_TO_SURFACE" : "*CONTACT_SURFACE_TO_SURFACE";
  blocks.push_back(contactBlock(kind, slave, slaveType, master, masterType, interaction));
}

// Every part with every part and with itself: the whole-model contact, which
// leaves out the surfaces a tie glues together.
void addAllExterior(const InpModel& model, std::vector<std::string>& blocks) {
  const InpModel::Interaction* interaction = assignedInteraction(model, "", "");
  blocks.push_back(contactBlock("*CONTACT_AUTOMATIC_SINGLE_SURFACE", 0, 5, 0, 0, interaction));
}

void addWelds(const InpModel& model, std::vector<std::string>& blocks) {
  if (model.welds.empty()) return;
  std::string block = "*CONSTRAINED_SPOTWELD\n";
  for (const InpModel::Weld& weld : model.welds) block += (InpCard() << weld.first << weld.second).text();
  blocks.push_back(block);
}

// Positive pressure pushes into the surface, against the outward normal of
// its segments: the convention of the segment pressure cards as well.
void addPressures(const InpModel& model, const InpTranslation& ids, Sides& sides, std::vector<std::string>& blocks) {
  for (const InpModel::Pressure& pressure : model.pressures) {
    int type = 0;
    const int set = sides.set(pressure.surface, type);
    const int curve = pressure.amplitude.empty() ? 0 : ids.curveIds.at(pressure.amplitude);
    // A zero factor reads as the full load: a zero pressure is left out.
    if (pressure.magnitude == 0.0) continue;
    blocks.push_back("*LOAD_SEGMENT_SET\n" + (InpCard() << set << curve << pressure.magnitude << 0.0).text());
  }
}

// A reference node moves with its body; the further parts of one body are
// merged into its first.
void addReferenceNodes(const InpModel& model, std::vector<std::string>& blocks) {
  for (size_t p = 0; p < model.parts.size(); ++p) {
    const InpModel::Part& part = model.parts[p];
    if (!part.rigid || part.refNode == 0) continue;
    blocks.push_back("*CONSTRAINED_EXTRA_NODES_NODE\n" + (InpCard() << static_cast<int>(p) + 1 << part.refNode).text());
  }
  for (const auto& [first, other] : model.rigidMerges) {
    blocks.push_back("*CONSTRAINED_RIGID_BODIES\n" + (InpCard() << first + 1 << other + 1).text());
  }
}

}  // namespace

void translateInpConnections(const InpModel& model, InpTranslation& ids, std::vector<std::string>& blocks) {
  Sides sides(model, ids, blocks);
  for (const InpModel::ContactPair& pair : model.contactPairs) {
    addContact(sides, pair.slave, pair.master, findInteraction(model, pair.interaction), blocks);
  }
  for (const InpModel::ContactPair& pair : model.inclusions) {
    addContact(sides, pair.slave, pair.master, assignedInteraction(model, pair.slave, pair.master), blocks);
  }
  if (model.allExterior) addAllExterior(model, blocks);
  for (const InpModel::Tie& tie : model.ties) {
    int slaveType = 0, masterType = 0;
    const int slave = sides.set(tie.slave, slaveType);
    const int master = sides.set(tie.master, masterType);
    blocks.push_back(contactBlock("*CONTACT_TIED_SURFACE_TO_SURFACE", slave, slaveType, master, masterType, nullptr));
  }
  addWelds(model, blocks);
  addPressures(model, ids, sides, blocks);
  addReferenceNodes(model, blocks);
}

// Translations and rotations of the body. A zero value holds the component
// (zero velocity; an acceleration of zero keeps it); a displacement without
// an amplitude is reached over the step, other kinds without one are
// constant. A rigid-motion card reads a missing curve or a zero factor as
// 1, so held and constant components get curves of their own.
void addInpRigidMotion(const InpModel::Boundary& boundary, InpTranslation& ids, std::vector<std::string>& blocks) {
  const bool zero = boundary.value == 0.0;
  int vad = boundary.kind == 1 ? 2 : (boundary.kind == 2 ? 0 : 1);
  if (zero && boundary.kind != 3) vad = 0;
  int curve = boundary.amplitude.empty() ? 0 : ids.curveIds.at(boundary.amplitude);
  if (curve == 0 && boundary.kind == 1) curve = ids.rampCurveId;
  if (zero || curve == 0) {
    curve = ids.nextCurveId++;
    const double value = zero ? 0.0 : 1.0;
    blocks.push_back("*DEFINE_CURVE\n" + (InpCard() << curve << 0 << 1.0 << 1.0 << 0.0 << 0.0).text() +
                     (InpCard() << 0.0 << value).text() + (InpCard() << 1.0e30 << value).text());
  }
  const double factor = zero ? 1.0 : boundary.value;
  std::string block = "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n";
  for (int d = 0; d < 6; ++d) {
    if (boundary.flags[static_cast<size_t>(d)] == 0) continue;
    const int code = d < 3 ? d + 1 : d + 2;
    block += (InpCard() << boundary.rigidPart + 1 << code << vad << curve << factor).text();
  }
  blocks.push_back(block);
}

void finishInpModel(const InpModel& model, const InpTranslation& ids, FEMDynamic* fem) {
  attachInpAmplitudes(model, ids, fem);
  // Tie tolerances: a tie is a tied contact between the same two sides.
  for (const InpModel::Tie& tie : model.ties) {
    if (tie.tolerance <= 0.0) continue;
    auto surfaceOf = [&](const std::string& name) {
      const auto set = ids.segmentSetIds.find(name);
      if (set == ids.segmentSetIds.end()) return 0;
      const auto surface = fem->segment_set_id_map.find(set->second);
      return surface == fem->segment_set_id_map.end() ? 0 : surface->second;
    };
    const int master = surfaceOf(tie.master);
    const int slave = surfaceOf(tie.slave);
    for (Contact& contact : fem->contactManager->contact_array) {
      if (contact.contact_type == TIED_SHELL_EDGE_TO_SURFACE && contact.master_id == master &&
          (slave == 0 || contact.slave_id == slave)) {
        contact.tie_tolerance = tie.tolerance;
      }
    }
  }
}
