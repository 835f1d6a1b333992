// Completion of a keyword deck's contacts: single-surface and general
// contacts over part sets and segment sets become contacts between parts or
// per-part surfaces, deck ids become internal numbers, single-surface and
// general contacts pair up, mirror images go, and the friction of a contact
// is keyed by the ids of the contacts it ends up on.
#include "input/link/preprocessContact.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "contact/contactManager.h"
#include "contact/surface.h"
#include "contact/surfaceInteract.h"
#include "contact/surfacemanager.h"
#include "core/part.h"
#include "core/setManager.h"
#include "elements/common/elmmanager.h"
#include "input/keyword/keywordReader.h"
#include "materials/materialmanager.h"
#include "solver/femdynamic.h"

namespace {

// The contact as describe() names it, after "line n: " for its card of sides.
std::string describeAt(const Contact& c, const KeywordDeckState& state) {
  const auto line = state.contactLines.find(c.deck_position);
  const bool known = line != state.contactLines.end() && line->second > 0;
  return (known ? "line " + std::to_string(line->second) + ": " : std::string()) + c.describe();
}

bool isSelfContact(const Contact& c) { return c.contact_type == SINGLE_SURFACE || c.contact_type == GENERAL_CONTACT; }

// The value of a key, or 0 when the map lacks it.
int valueOf(const std::map<int, int>& map, int key) {
  const auto it = map.find(key);
  return it == map.end() ? 0 : it->second;
}

// The part at a 1-based position has shell or solid elements.
bool hasFaces(FEMDynamic* fem, int position) {
  if (position < 1 || position > static_cast<int>(fem->elm_manager_array.size())) return false;
  const ElmManager& e = fem->elm_manager_array[static_cast<std::size_t>(position - 1)];
  return !e.shell_element_array_cpu.empty() || !e.solid_element_array_cpu.empty();
}

// Members of a part set as read (deck part ids), with the members of the
// sets an add card names, less the parts without shells or solids; empty
// after a message when no part set has the id or no member has faces.
std::vector<int> partSetMembers(FEMDynamic* fem, const KeywordDeckState& state, int setId, const Contact& contact,
                                bool& ok) {
  std::deque<Set>& sets = fem->setManager->part_set_array;
  auto byId = [&sets](int id) -> const Set* {
    for (const Set& s : sets) {
      if (s.id == id) return &s;
    }
    return nullptr;
  };
  const Set* set = byId(setId);
  if (set == nullptr) {
    std::fprintf(stderr, "Keyword deck refused: %s names part set %d, which the deck does not define\n",
                 describeAt(contact, state).c_str(), setId);
    ok = false;
    return {};
  }
  std::vector<int> members = set->id_array;
  for (int added : set->add_part_set_ids) {
    if (const Set* other = byId(added); other != nullptr && other != set) {
      members.insert(members.end(), other->id_array.begin(), other->id_array.end());
    }
  }
  // Members without shells or solids (beams, springs) have nothing to touch.
  std::vector<int> touching;
  for (int m : members) {
    const int position = valueOf(fem->part_id_map, m);
    if (position >= 1 && !hasFaces(fem, position)) {
      std::fprintf(stderr,
                   "%s: part %d of part set %d has no shell or solid element; it takes no part in the contact\n",
                   contact.describe().c_str(), m, setId);
      continue;
    }
    touching.push_back(m);
  }
  if (touching.empty()) {
    std::fprintf(stderr, "Keyword deck refused: %s names part set %d, which holds no part with shells or solids\n",
                 describeAt(contact, state).c_str(), setId);
    ok = false;
  }
  return touching;
}

// True when the part of a deck part id has the rigid material.
bool isRigidPart(FEMDynamic* fem, KeywordDeckState& state, int deckPartId) {
  const int position = valueOf(fem->part_id_map, deckPartId);
  if (position < 1 || position > static_cast<int>(fem->part_array.size())) return false;
  const int number = valueOf(state.materialNumberMap, fem->part_array[position - 1].material_id);
  const auto& materials = fem->materialManager->material_array;
  return number >= 1 && number <= static_cast<int>(materials.size()) && materials[number - 1].type == 1;
}

// A new contact record of the expansion: every field 0 but the sides and
// the deck origin of the contact it comes from.
Contact sideContact(const Contact& source, int type, int masterId, int masterType, int slaveId, int slaveType) {
  Contact c = source.madeFrom();
  c.contact_type = type;
  c.master_id = masterId;
  c.master_type = masterType;
  c.slave_id = slaveId;
  c.slave_type = slaveType;
  return c;
}

// A general contact over a part set: every part meets itself (a rigid part
// excepted: its faces never move against its own nodes), and one contact per
// pair of parts; a rigid part is always the master of a mixed pair (nodes to
// surface).
void expandGeneralPartSet(FEMDynamic* fem, KeywordDeckState& state, const Contact& source,
                          const std::vector<int>& members, std::vector<Contact>& made) {
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (!isRigidPart(fem, state, members[i])) {
      Contact self = sideContact(source, SURFACE_TO_SURFACE, members[i], ENTITY_PART, members[i], ENTITY_PART);
      self.two_way = 1;
      made.push_back(std::move(self));
    }
    for (std::size_t j = i + 1; j < members.size(); ++j) {
      const bool rigidMaster = isRigidPart(fem, state, members[i]);
      const bool rigidSlave = isRigidPart(fem, state, members[j]);
      Contact c = sideContact(source, SURFACE_TO_SURFACE, members[i], ENTITY_PART, members[j], ENTITY_PART);
      c.two_way = 1;
      if (rigidSlave && !rigidMaster) std::swap(c.master_id, c.slave_id);
      if (rigidMaster || rigidSlave) c.contact_type = NODES_TO_SURFACE;
      made.push_back(std::move(c));
    }
  }
}

// Part positions of the elements that own a segment: the elements with a
// face of exactly the segment's nodes, whatever node the face starts at and
// whichever way it runs (solid faces by the shape of the element, shells by
// their nodes), in element reading order.
class SegmentOwners {
 public:
  explicit SegmentOwners(FEMDynamic* fem) : fem_(fem) {
    std::vector<Part>& parts = fem->part_array;
    for (std::size_t i = 0; i < parts.size() && i < fem->elm_manager_array.size(); ++i) {
      const ElmManager& elements = fem->elm_manager_array[i];
      const int position = static_cast<int>(i) + 1;
      for (const ShellElementCuda& e : elements.shell_element_array_cpu) addFaces(e.node_id, 4, e.store_id, position);
      for (const SolidElementCuda& e : elements.solid_element_array_cpu) addFaces(e.node_id, 8, e.store_id, position);
    }
  }
  // Owners of a segment given by deck node ids, first owner first.
  std::vector<int> partsOf(const SegmentCuda& seg) const {
    int numbers[4];
    for (int k = 0; k < 4; ++k) {
      const auto it = fem_->node_id_map.find(seg.node_id[k]);
      if (it == fem_->node_id_map.end()) return {};
      numbers[k] = it->second;
    }
    const auto found = owners_.find(faceKeyOf(numbers));
    if (found == owners_.end()) return {};
    std::vector<int> parts;
    for (const auto& [element, position] : found->second) parts.push_back(position);
    return parts;
  }

 private:
  void addFaces(const int* nodeNumbers, int slots, int element, int position) {
    for (FaceKey& key : elementFaceKeys(nodeNumbers, slots)) owners_[std::move(key)].emplace(element, position);
  }
  FEMDynamic* fem_;
  std::map<FaceKey, std::set<std::pair<int, int>>> owners_;  // face -> (element index, part position)
};

// A single-surface contact over a segment set: one new surface per part
// that owns segments of the set, each a single-surface contact of its own,
// so that the pairing below makes each part's surface meet itself and the
// others. The new surfaces take negative segment-set keys, which no deck id
// can meet, and keep the position of their part. False after a message when
// the set is not defined or one of its segments lies on no element.
bool expandSegmentSet(FEMDynamic* fem, const KeywordDeckState& state, const Contact& source,
                      std::vector<Contact>& made) {
  std::vector<Surface>& surfaces = fem->surfaceManager->surface_array;
  const int number = valueOf(fem->segment_set_id_map, source.master_id);
  if (number < 1 || number > static_cast<int>(surfaces.size())) {
    std::fprintf(stderr, "Keyword deck refused: %s names segment set %d, which the deck does not define\n",
                 describeAt(source, state).c_str(), source.master_id);
    return false;
  }
  const Surface set = surfaces[static_cast<std::size_t>(number - 1)];
  const SegmentOwners owners(fem);
  std::vector<int> partOrder;                     // part positions in listing order
  std::vector<std::pair<SegmentCuda, int>> kept;  // segment, ordinal of its part
  int unowned = 0;
  for (const SegmentCuda& seg : set.segment_array) {
    const std::vector<int> parts = owners.partsOf(seg);
    if (parts.empty()) {
      ++unowned;
      continue;
    }
    for (int p : parts) {
      if (std::find(partOrder.begin(), partOrder.end(), p) == partOrder.end()) partOrder.push_back(p);
    }
    const auto first = std::find(partOrder.begin(), partOrder.end(), parts.front());
    kept.emplace_back(seg, static_cast<int>(first - partOrder.begin()) + 1);
  }
  if (kept.empty()) {
    std::fprintf(stderr,
                 "Keyword deck refused: %s names segment set %d, none of whose %zu segment(s) is the face of an "
                 "element\n",
                 describeAt(source, state).c_str(), source.master_id, set.segment_array.size());
    return false;
  }
  if (unowned > 0) {
    std::fprintf(stderr,
                 "Keyword deck refused: %s: %d segment(s) of segment set %d are the face of no element; a "
                 "single-surface contact is made of the faces of its elements, and these would be left out\n",
                 describeAt(source, state).c_str(), unowned, source.master_id);
    return false;
  }
  const int S = static_cast<int>(surfaces.size());
  const int P = static_cast<int>(partOrder.size());
  for (int o = 1; o <= P; ++o) {
    Surface surface;
    surface.id = -(S + o);
    surface.part_index_array.push_back(partOrder[static_cast<std::size_t>(o - 1)] - 1);
    surfaces.push_back(std::move(surface));
    fem->segment_set_id_map.emplace(-(S + o), S + o);
    made.push_back(sideContact(source, SINGLE_SURFACE, -(S + o), ENTITY_SURFACE, 0, ENTITY_SURFACE));
  }
  for (const auto& [seg, o] : kept) surfaces[static_cast<std::size_t>(S + o - 1)].segment_array.push_back(seg);
  return true;
}

// What a side names holds nothing to touch: a segment set without
// segments, a part without elements (shells or solids for a surface).
const char* emptySide(FEMDynamic* fem, int type, int number, bool surface) {
  if (type == ENTITY_SURFACE) {
    const std::vector<Surface>& surfaces = fem->surfaceManager->surface_array;
    return surfaces[static_cast<std::size_t>(number - 1)].segment_array.empty() ? "which holds no segment" : nullptr;
  }
  if (hasFaces(fem, number)) return nullptr;
  if (surface || number > static_cast<int>(fem->elm_manager_array.size())) return "which has no shell or solid element";
  const ElmManager& e = fem->elm_manager_array[static_cast<std::size_t>(number - 1)];
  return e.beam_element_array_cpu.empty() && e.discrete_element_array_cpu.empty() ? "which has no element" : nullptr;
}

// False after a message when a side names a node, part or element set
// that the deck does not define (set-up would find none).
bool sideSetDefined(FEMDynamic* fem, const KeywordDeckState& state, const Contact& c, int type, int id,
                    const char* side) {
  const SetManager& sets = *fem->setManager;
  const std::deque<Set>* list = type == ENTITY_NODE_SET      ? &sets.node_set_array
                                : type == ENTITY_PART_SET    ? &sets.part_set_array
                                : type == ENTITY_ELEMENT_SET ? &sets.element_set_array
                                                             : nullptr;
  if (list == nullptr) return true;
  for (const Set& set : *list) {
    if (set.id == id) return true;
  }
  const char* what = type == ENTITY_NODE_SET ? "node set" : type == ENTITY_PART_SET ? "part set" : "element set";
  std::fprintf(stderr, "Keyword deck refused: %s: the %s side names %s %d, which the deck does not define\n",
               describeAt(c, state).c_str(), side, what, id);
  return false;
}

// Translates one side's id through the map of its entity kind; false after
// a message when the deck does not define it or it holds nothing to touch.
bool translateSide(FEMDynamic* fem, const KeywordDeckState& state, const Contact& c, int type, int& id,
                   const char* side, bool surface = true) {
  const std::map<int, int>* map = nullptr;
  const char* what = "";
  std::size_t count = 0;
  if (type == ENTITY_SURFACE) {
    map = &fem->segment_set_id_map;
    what = "segment set";
    count = fem->surfaceManager->surface_array.size();
  } else if (type == ENTITY_PART) {
    map = &fem->part_id_map;
    what = "part";
    count = fem->part_array.size();
  }
  if (map == nullptr) return true;  // element, part and node sets keep their ids
  const int value = valueOf(*map, id);
  if (value <= 0 || value > static_cast<int>(count)) {
    std::fprintf(stderr, "Keyword deck refused: %s: the %s side names %s %d, which the deck does not define\n",
                 describeAt(c, state).c_str(), side, what, id);
    return false;
  }
  if (const char* empty = emptySide(fem, type, value, surface)) {
    std::fprintf(stderr, "Keyword deck refused: %s: the %s side names %s %d, %s\n", describeAt(c, state).c_str(), side,
                 what, id, empty);
    return false;
  }
  id = value;
  return true;
}

bool isMirror(const Contact& a, const Contact& b) {
  return b.master_id == a.slave_id && b.slave_id == a.master_id && b.master_type == a.slave_type &&
         b.slave_type == a.master_type && b.contact_type == a.contact_type;
}

// The deck's name of the side held as master: a single-surface or general
// contact has only the side the deck gives as its slave.
const char* masterSideName(const Contact& c) { return isSelfContact(c) ? "slave" : "master"; }

// A part set of every part of the deck (deck part ids), made on first use
// with an id no part set of the deck has; returns that id.
int everyPartSet(FEMDynamic* fem, KeywordDeckState& state) {
  std::deque<Set>& sets = fem->setManager->part_set_array;
  static const std::string kName = "every part";
  int id = 0;
  for (const Set& set : sets) {
    if (set.name == kName) return set.id;
    id = std::max(id, set.id);
  }
  Set all;
  all.id = id + 1;
  all.name = kName;
  all.type = SET_PART;
  for (const auto& [internal, deckId] : state.partDeckIdMap) all.id_array.push_back(deckId);
  fem->setManager->addSet(all);
  return all.id;
}

// A side of every part (kind 5, or kind 6 without a part set to leave out):
// for a single-surface or general contact the whole model, for the other
// kinds the part set of every part. A side of every part but a set is not
// taken. False after a message when a side cannot be taken.
bool everyPartSides(FEMDynamic* fem, KeywordDeckState& state, Contact& c, bool& ok) {
  auto side = [&](int& type, int& id, const char* which) {
    if (type == ENTITY_EXCLUDED_PARTS && id != 0) {
      std::fprintf(stderr,
                   "Keyword deck refused: %s: the %s side takes every part but those of part set %d; a side that "
                   "leaves parts out is not taken\n",
                   describeAt(c, state).c_str(), which, id);
      return false;
    }
    if (type != ENTITY_EVERY_PART && type != ENTITY_EXCLUDED_PARTS) return true;
    type = ENTITY_EVERY_PART;
    id = 0;
    if (!isSelfContact(c)) {
      type = ENTITY_PART_SET;
      id = everyPartSet(fem, state);
    }
    return true;
  };
  const bool taken = side(c.master_type, c.master_id, masterSideName(c)) &&
                     (isSelfContact(c) || side(c.slave_type, c.slave_id, "slave"));
  ok = ok && taken;
  return taken;
}

}  // namespace

bool expandDeckContacts(FEMDynamic* fem, KeywordDeckState& state, std::vector<int>& friction) {
  std::vector<Contact>& contacts = fem->contactManager->contact_array;
  SurfaceManager* surfaces = fem->surfaceManager;
  friction.assign(contacts.size(), 0);
  // Sides of single-surface and general contacts are exchanged.
  for (Contact& c : contacts) {
    if (!isSelfContact(c)) continue;
    std::swap(c.slave_id, c.master_id);
    std::swap(c.slave_type, c.master_type);
  }
  // One friction interaction per sliding contact with a friction
  // coefficient, with its static, dynamic and decay coefficients.
  for (std::size_t i = 0; i < contacts.size(); ++i) {
    const Contact& c = contacts[i];
    if (c.contact_type == TIED_SHELL_EDGE_TO_SURFACE || c.static_friction == 0.0) continue;
    auto* interact = new FrictionSurfaceInteract();
    surfaces->surfaceInteractArrayCpu.push_back(interact);
    interact->id = static_cast<int>(surfaces->surfaceInteractArrayCpu.size());
    interact->static_coefficient = c.static_friction;
    interact->dynamic_coefficient = c.dynamic_friction;
    interact->decay_coefficient = c.decay_coefficient;
    friction[i] = interact->id;
  }
  // Expansion over part sets and segment sets; a single-surface or general
  // contact of every part is the whole-model contact of the contact manager.
  bool ok = true;
  std::vector<Contact> kept;
  std::vector<int> keptFriction;
  std::vector<Contact> made;
  std::vector<int> madeFriction;
  for (std::size_t i = 0; i < contacts.size(); ++i) {
    Contact& c = contacts[i];
    // A single-surface or general contact whose side is segment set 0
    // (SSID and SSTYP blank) takes every part, as the format says.
    if (isSelfContact(c) && c.master_type == ENTITY_SURFACE && c.master_id == 0) c.master_type = ENTITY_EVERY_PART;
    if (!everyPartSides(fem, state, c, ok)) continue;
    const std::size_t before = made.size();
    bool expanded = true;
    if (isSelfContact(c) && c.master_type == ENTITY_EVERY_PART) {
      fem->contactManager->all_exterior_flag = 1;
      if (friction[i] != 0) fem->contactManager->interact_assign_map.emplace(std::vector<int>{}, friction[i]);
    } else if (c.contact_type == GENERAL_CONTACT && c.master_type == ENTITY_PART_SET) {
      expandGeneralPartSet(fem, state, c, partSetMembers(fem, state, c.master_id, c, ok), made);
    } else if (c.contact_type == SINGLE_SURFACE && c.master_type == ENTITY_SURFACE) {
      ok = expandSegmentSet(fem, state, c, made) && ok;
    } else if (c.contact_type == SINGLE_SURFACE && c.master_type == ENTITY_PART_SET) {
      for (int m : partSetMembers(fem, state, c.master_id, c, ok)) {
        made.push_back(sideContact(c, SINGLE_SURFACE, m, ENTITY_PART, 0, ENTITY_SURFACE));
      }
    } else {
      expanded = false;
    }
    if (expanded) {
      madeFriction.insert(madeFriction.end(), made.size() - before, friction[i]);
    } else {
      kept.push_back(std::move(c));
      keptFriction.push_back(friction[i]);
    }
  }
  for (Contact& c : made) kept.push_back(std::move(c));
  keptFriction.insert(keptFriction.end(), madeFriction.begin(), madeFriction.end());
  contacts.swap(kept);
  friction.swap(keptFriction);
  return ok;
}

bool completeContactIds(FEMDynamic* fem, const KeywordDeckState& state, std::vector<int>& friction) {
  std::vector<Contact>& contacts = fem->contactManager->contact_array;
  friction.resize(contacts.size(), 0);
  // Deck ids to internal numbers; a contact whose side the deck does not
  // define refuses the deck.
  bool ok = true;
  std::vector<Contact> translated;
  std::vector<int> translatedFriction;
  for (std::size_t i = 0; i < contacts.size(); ++i) {
    Contact& c = contacts[i];
    bool known = sideSetDefined(fem, state, c, c.master_type, c.master_id, masterSideName(c));
    // A single-surface or general contact searches its one side only.
    if (!isSelfContact(c)) known = sideSetDefined(fem, state, c, c.slave_type, c.slave_id, "slave") && known;
    known = translateSide(fem, state, c, c.master_type, c.master_id, masterSideName(c)) && known;
    const bool slaveIsSurface = c.contact_type == SURFACE_TO_SURFACE || c.contact_type == TIED_SHELL_EDGE_TO_SURFACE;
    if (slaveIsSurface || (c.contact_type == NODES_TO_SURFACE && c.slave_type == ENTITY_PART)) {
      known = translateSide(fem, state, c, c.slave_type, c.slave_id, "slave", slaveIsSurface) && known;
    }
    ok = ok && known;
    translated.push_back(std::move(c));
    translatedFriction.push_back(friction[i]);
  }
  // Single-surface and general contacts pair up: one surface-to-surface
  // contact per ordered pair (a, b), a = b included.
  std::vector<Contact> paired;
  std::vector<int> pairedFriction;
  std::vector<std::size_t> selfContacts;
  for (std::size_t i = 0; i < translated.size(); ++i) {
    if (isSelfContact(translated[i])) {
      selfContacts.push_back(i);
      continue;
    }
    paired.push_back(std::move(translated[i]));
    pairedFriction.push_back(translatedFriction[i]);
  }
  for (std::size_t a : selfContacts) {
    for (std::size_t b : selfContacts) {
      Contact c;
      c.keyword = translated[a].keyword;
      c.deck_position = translated[a].deck_position;
      c.contact_id = translated[a].contact_id;
      c.contact_type = SURFACE_TO_SURFACE;
      c.master_id = translated[a].master_id;
      c.master_type = translated[a].master_type;
      c.slave_id = translated[b].master_id;
      c.slave_type = translated[b].master_type;
      c.box_check_flag = 1;
      c.two_way = 1;
      paired.push_back(std::move(c));
      pairedFriction.push_back(translatedFriction[a] != 0 ? translatedFriction[a] : translatedFriction[b]);
    }
  }
  // Mirror images: a contact goes when a later one has its sides exchanged.
  contacts.clear();
  friction.clear();
  for (std::size_t i = 0; i < paired.size(); ++i) {
    bool mirrored = false;
    for (std::size_t j = i + 1; j < paired.size() && !mirrored; ++j) mirrored = isMirror(paired[i], paired[j]);
    if (mirrored) {
      // The interaction and the search both ways stay with the contact that
      // remains.
      for (std::size_t j = i + 1; j < paired.size(); ++j) {
        if (!isMirror(paired[i], paired[j])) continue;
        if (pairedFriction[j] == 0) pairedFriction[j] = pairedFriction[i];
        paired[j].two_way = paired[j].two_way | paired[i].two_way;
      }
      continue;
    }
    contacts.push_back(std::move(paired[i]));
    friction.push_back(pairedFriction[i]);
  }
  // Friction is keyed by the final ids, the ids the contact manager matches.
  for (std::size_t i = 0; i < contacts.size(); ++i) {
    if (friction[i] == 0) continue;
    fem->contactManager->interact_assign_map.emplace(std::vector<int>{contacts[i].master_id, contacts[i].slave_id},
                                                     friction[i]);
  }
  return ok;
}
