// Completion of a keyword deck's contacts: single-surface and general
// contacts over part sets and segment sets become contacts between parts or
// per-part surfaces, deck ids become internal numbers, single-surface and
// general contacts pair up, mirror images go, and the friction of a contact
// is keyed by the ids of the contacts it ends up on.
#include "input/preprocessContact.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "contact/contactManager.h"
#include "contact/surfaceInteract.h"
#include "contact/surfacemanager.h"
#include "core/part.h"
#include "core/setManager.h"
#include "input/keywordReader.h"
#include "materials/materialmanager.h"
#include "solver/femdynamic.h"

namespace {

bool isSelfContact(const Contact& c) { return c.contact_type == SINGLE_SURFACE || c.contact_type == GENERAL_CONTACT; }

// The value of a key, or 0 when the map lacks it.
int valueOf(const std::map<int, int>& map, int key) {
  const auto it = map.find(key);
  return it == map.end() ? 0 : it->second;
}

// Members of a part set as read (deck part ids), with the members of the
// sets an add card names; empty after a message when no part set has the id.
std::vector<int> partSetMembers(FEMDynamic* fem, int setId, int contactId, bool& ok) {
  std::deque<Set>& sets = fem->setManager->part_set_array;
  auto byId = [&sets](int id) -> const Set* {
    for (const Set& s : sets) {
      if (s.id == id) return &s;
    }
    return nullptr;
  };
  const Set* set = byId(setId);
  if (set == nullptr) {
    std::fprintf(stderr, "Keyword deck refused: contact %d names part set %d, which the deck does not define\n",
                 contactId, setId);
    ok = false;
    return {};
  }
  std::vector<int> members = set->id_array;
  for (int added : set->add_part_set_ids) {
    if (const Set* other = byId(added); other != nullptr && other != set) {
      members.insert(members.end(), other->id_array.begin(), other->id_array.end());
    }
  }
  return members;
}

// True when the part of a deck part id has the rigid material.
bool isRigidPart(FEMDynamic* fem, KeywordDeckState& state, int deckPartId) {
  const int position = valueOf(fem->part_id_map, deckPartId);
  if (position < 1 || position > static_cast<int>(fem->part_array.size())) return false;
  const int number = valueOf(state.materialNumberMap, fem->part_array[position - 1].material_id);
  const auto& materials = fem->materialManager->material_array;
  return number >= 1 && number <= static_cast<int>(materials.size()) && materials[number - 1].type == 1;
}

// A new contact record of the expansion: every field 0 but the sides.
Contact sideContact(int type, int masterId, int masterType, int slaveId, int slaveType) {
  Contact c = Contact::zeroed();
  c.contact_type = type;
  c.master_id = masterId;
  c.master_type = masterType;
  c.slave_id = slaveId;
  c.slave_type = slaveType;
  return c;
}

// A general contact over a part set: one contact per pair of parts; a
// rigid part is always the master of a mixed pair (nodes to surface).
void expandGeneralPartSet(FEMDynamic* fem, KeywordDeckState& state, const std::vector<int>& members,
                          std::vector<Contact>& made) {
  for (std::size_t i = 0; i + 1 < members.size(); ++i) {
    for (std::size_t j = i + 1; j < members.size(); ++j) {
      const bool rigidMaster = isRigidPart(fem, state, members[i]);
      const bool rigidSlave = isRigidPart(fem, state, members[j]);
      Contact c = sideContact(SURFACE_TO_SURFACE, members[i], ENTITY_PART, members[j], ENTITY_PART);
      if (rigidSlave && !rigidMaster) std::swap(c.master_id, c.slave_id);
      if (rigidMaster || rigidSlave) c.contact_type = NODES_TO_SURFACE;
      made.push_back(std::move(c));
    }
  }
}

// Part positions of the elements that own a segment: elements whose first
// four deck node ids meet the segment's four ids in exactly four pairs.
class SegmentOwners {
 public:
  SegmentOwners(FEMDynamic* fem, KeywordDeckState& state) : fem_(fem), state_(state) {
    for (std::size_t k = 0; k < state.elementNodeLists.size(); ++k) {
      const ElementNodeList& list = state.elementNodeLists[k];
      if (list.element_number == 0) continue;
      for (int i = 0; i < 4; ++i) {
        if (list.deck_node_ids[i] != 0) byNode_[list.deck_node_ids[i]].insert(static_cast<int>(k));
      }
    }
  }
  std::vector<int> partsOf(const SegmentCuda& seg) const {
    std::set<int> candidates;
    for (int id : seg.node_id) {
      const auto it = byNode_.find(id);
      if (it != byNode_.end()) candidates.insert(it->second.begin(), it->second.end());
    }
    std::vector<int> parts;
    for (int k : candidates) {
      const int* ids = state_.elementNodeLists[static_cast<std::size_t>(k)].deck_node_ids;
      int pairs = 0;
      for (int a = 0; a < 4; ++a) {
        for (int b = 0; b < 4; ++b) pairs += seg.node_id[a] == ids[b] ? 1 : 0;
      }
      if (pairs != 4) continue;
      const int deckPart = k < static_cast<int>(state_.elementPartMap.size()) ? state_.elementPartMap[k] : 0;
      const int position = valueOf(fem_->part_id_map, deckPart);
      if (position > 0) parts.push_back(position);
    }
    return parts;
  }

 private:
  FEMDynamic* fem_;
  KeywordDeckState& state_;
  std::map<int, std::set<int>> byNode_;  // deck node id -> element indices
};

// A single-surface contact over a segment set: one new surface per part
// that owns segments of the set, and one contact per pair of them. The new
// surfaces take negative segment-set keys, which no deck id can meet.
bool expandSegmentSet(FEMDynamic* fem, KeywordDeckState& state, const Contact& source, std::vector<Contact>& made) {
  std::vector<Surface>& surfaces = fem->surfaceManager->surface_array;
  const int number = valueOf(fem->segment_set_id_map, source.master_id);
  if (number < 1 || number > static_cast<int>(surfaces.size())) {
    std::fprintf(stderr, "Keyword deck refused: contact %d names segment set %d, which the deck does not define\n",
                 source.contact_id, source.master_id);
    return false;
  }
  const Surface set = surfaces[static_cast<std::size_t>(number - 1)];
  const SegmentOwners owners(fem, state);
  std::vector<int> partOrder;                  // part positions in listing order
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
  if (unowned > 0) {
    std::fprintf(stderr, "Contact %d: %d segment(s) of segment set %d lie on no element; they are left out\n",
                 source.contact_id, unowned, source.master_id);
  }
  const int S = static_cast<int>(surfaces.size());
  const int P = static_cast<int>(partOrder.size());
  std::vector<int> keys(static_cast<std::size_t>(P) + 1, 0);
  for (int o = 1; o <= P; ++o) {
    keys[static_cast<std::size_t>(o)] = -(S + o);
    Surface surface;
    surface.id = keys[static_cast<std::size_t>(o)];
    surfaces.push_back(std::move(surface));
    fem->segment_set_id_map.emplace(keys[static_cast<std::size_t>(o)], S + o);
  }
  for (const auto& [seg, o] : kept) surfaces[static_cast<std::size_t>(S + o - 1)].segment_array.push_back(seg);
  for (int o = 1; o < P; ++o) {
    for (int q = o + 1; q <= P; ++q) {
      made.push_back(sideContact(SURFACE_TO_SURFACE, keys[static_cast<std::size_t>(q)], ENTITY_SURFACE,
                                 keys[static_cast<std::size_t>(o)], ENTITY_SURFACE));
    }
  }
  return true;
}

// Translates one side's id through the map of its entity kind; false after
// a message when the deck does not define it.
bool translateSide(FEMDynamic* fem, const Contact& c, int type, int& id, const char* side) {
  const std::map<int, int>* map = nullptr;
  const char* what = "";
  if (type == ENTITY_SURFACE) {
    map = &fem->segment_set_id_map;
    what = "segment set";
  } else if (type == ENTITY_PART) {
    map = &fem->part_id_map;
    what = "part";
  }
  if (map == nullptr) return true;  // element, part and node sets keep their ids
  const int value = valueOf(*map, id);
  if (value <= 0) {
    std::fprintf(stderr, "Contact %d: the %s side names %s %d, which the deck does not define; the contact is skipped\n",
                 c.contact_id, side, what, id);
    return false;
  }
  id = value;
  return true;
}

bool isMirror(const Contact& a, const Contact& b) {
  return b.master_id == a.slave_id && b.slave_id == a.master_id && b.master_type == a.slave_type &&
         b.slave_type == a.master_type && b.contact_type == a.contact_type;
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
  // Expansion over part sets and segment sets.
  bool ok = true;
  std::vector<Contact> kept;
  std::vector<int> keptFriction;
  std::vector<Contact> made;
  std::vector<int> madeFriction;
  for (std::size_t i = 0; i < contacts.size(); ++i) {
    Contact& c = contacts[i];
    const std::size_t before = made.size();
    bool expanded = true;
    if (c.contact_type == GENERAL_CONTACT && c.master_type == ENTITY_PART_SET) {
      expandGeneralPartSet(fem, state, partSetMembers(fem, c.master_id, c.contact_id, ok), made);
    } else if (c.contact_type == SINGLE_SURFACE && c.master_type == ENTITY_SURFACE) {
      ok = expandSegmentSet(fem, state, c, made) && ok;
    } else if (c.contact_type == SINGLE_SURFACE && c.master_type == ENTITY_PART_SET) {
      for (int m : partSetMembers(fem, c.master_id, c.contact_id, ok)) {
        made.push_back(sideContact(SINGLE_SURFACE, m, ENTITY_PART, 0, ENTITY_SURFACE));
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

void completeContactIds(FEMDynamic* fem, std::vector<int>& friction) {
  std::vector<Contact>& contacts = fem->contactManager->contact_array;
  friction.resize(contacts.size(), 0);
  // Deck ids to internal numbers; a contact whose side the deck does not
  // define is skipped.
  std::vector<Contact> translated;
  std::vector<int> translatedFriction;
  for (std::size_t i = 0; i < contacts.size(); ++i) {
    Contact& c = contacts[i];
    bool ok = translateSide(fem, c, c.master_type, c.master_id, "master");
    const bool slaveIsSurface = c.contact_type == SURFACE_TO_SURFACE || c.contact_type == TIED_SHELL_EDGE_TO_SURFACE;
    if (slaveIsSurface || (c.contact_type == NODES_TO_SURFACE && c.slave_type == ENTITY_PART)) {
      ok = translateSide(fem, c, c.slave_type, c.slave_id, "slave") && ok;
    }
    if (!ok) continue;
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
      c.contact_type = SURFACE_TO_SURFACE;
      c.master_id = translated[a].master_id;
      c.master_type = translated[a].master_type;
      c.slave_id = translated[b].master_id;
      c.slave_type = translated[b].master_type;
      c.box_check_flag = 1;
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
      if (pairedFriction[i] != 0) {
        // The interaction stays with the contact that remains.
        for (std::size_t j = i + 1; j < paired.size(); ++j) {
          if (isMirror(paired[i], paired[j]) && pairedFriction[j] == 0) pairedFriction[j] = pairedFriction[i];
        }
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
}
