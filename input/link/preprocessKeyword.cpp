// Completion of a keyword deck after its block loop: deck ids become the
// internal numbers that set-up and the time loop work with.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/curve.h"
#include "core/curvemanager.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "core/sectionmanager.h"
#include "core/segment.h"
#include "core/setManager.h"
#include "contact/contact.h"
#include "contact/contactManager.h"
#include "contact/surfacemanager.h"
#include "elements/common/elmmanager.h"
#include "elements/common/hourglassControlManager.h"
#include "elements/common/partSetup.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessContact.h"
#include "input/link/preprocessModel.h"
#include "platform/hostParallel.h"
#include "solver/femdynamic.h"
#include "solver/boundary.h"
#include "solver/constrained.h"
#include "solver/initialCondition.h"
#include "solver/load.h"
#include "solver/rigidmanager.h"
#include "solver/rigidwall.h"
#include "solver/modelViews.h"

namespace {

// Looks a key up without inserting it; reports a missing key with what it
// names and where, and marks the completion as failed.
class CheckedLookup {
 public:
  bool ok = true;

  // at: where the naming card is ("\"*PART\", line 4"), when the name
  // alone does not say.
  int find(const std::map<int, int>& map, int key, const char* what, const std::string& where,
           const std::string& at = "") {
    const auto it = map.find(key);
    if (it == map.end() || it->second <= 0) {
      std::fprintf(stderr, "Keyword deck refused: %s%s%s %d (named by %s) is not defined in the deck\n", at.c_str(),
                   at.empty() ? "" : ": ", what, key, where.c_str());
      ok = false;
      return 0;
    }
    return it->second;
  }

  void fail(const std::string& message) {
    std::fprintf(stderr, "Keyword deck refused: %s\n", message.c_str());
    ok = false;
  }
};

// Records a thread of a pass over a model's records takes at a time.
constexpr std::size_t kRecordGrain = 4096;

// "kind id", with " on line n" when the deck line of its card is known.
std::string named(const char* kind, int id, int line = 0) {
  return std::string(kind) + " " + std::to_string(id) + (line > 0 ? " on line " + std::to_string(line) : std::string());
}

// Moves one family list of a reader store into the part's list and stamps
// the part position into every element.
template <typename Record>
void handOver(std::vector<Record>& from, std::vector<Record>& to, int partPosition) {
  if (from.empty()) {
    return;
  }
  to = std::move(from);
  from.clear();
  fem_parallel::parallelFor(to.size(), kRecordGrain,
                            [&to, partPosition](std::size_t i) { to[i].part_id = partPosition; });
}

// Node numbers by deck node id, looked up once per element node: a table
// when the ids are dense enough, the id map otherwise. An id no *NODE block
// defined gives 0.
class NodeNumbers {
 public:
  explicit NodeNumbers(const std::map<int, int>& ids) : ids_(ids) {
    if (ids.empty() || ids.begin()->first < 0) {
      return;
    }
    const long long largest = ids.rbegin()->first;
    if (largest > 4 * static_cast<long long>(ids.size()) + 1024) {
      return;
    }
    table_.assign(static_cast<std::size_t>(largest) + 1, 0);
    for (const auto& [id, number] : ids) {
      table_[static_cast<std::size_t>(id)] = number;
    }
  }

  int operator()(int id) const {
    if (!table_.empty()) {
      return id >= 0 && static_cast<std::size_t>(id) < table_.size() ? table_[static_cast<std::size_t>(id)] : 0;
    }
    const auto it = ids_.find(id);
    return it == ids_.end() ? 0 : it->second;
  }

 private:
  const std::map<int, int>& ids_;
  std::vector<int> table_;
};

// Turns the deck node ids nodeAt(i, j) of count records of perRecord ids
// each into node numbers on all threads: every id that is not 0 (with
// positiveOnly, every id above 0). An id that no *NODE block defined
// refuses the deck: such ids are named afterwards in record order,
// nameOf(i) saying which record names them.
template <typename NodeAt, typename NameOf>
void translateNodeIds(std::size_t count, int perRecord, bool positiveOnly, NodeAt nodeAt, NameOf nameOf,
                      FEMDynamic* fem, const NodeNumbers& numbers, CheckedLookup& lookup) {
  const std::size_t ranges = (count + kRecordGrain - 1) / kRecordGrain;
  std::vector<std::vector<std::pair<std::size_t, int>>> missing(ranges);
  fem_parallel::parallelFor(ranges, 1, [&](std::size_t r) {
    for (std::size_t i = r * kRecordGrain; i < std::min(count, (r + 1) * kRecordGrain); ++i) {
      for (int j = 0; j < perRecord; ++j) {
        int& node = nodeAt(i, j);
        if (node == 0 || (positiveOnly && node < 0)) {
          continue;
        }
        const int number = numbers(node);
        if (number > 0) {
          node = number;
        } else {
          missing[r].emplace_back(i, j);
        }
      }
    }
  });
  for (const auto& places : missing) {
    for (const auto& [i, j] : places) {
      int& node = nodeAt(i, j);
      node = lookup.find(fem->node_id_map, node, "node", nameOf(i));
    }
  }
}

// The same for the node ids of one element list.
template <typename Record>
void translateNodeIds(std::vector<Record>& elements, int nodeCount, const char* family, FEMDynamic* fem,
                      const NodeNumbers& numbers, CheckedLookup& lookup, const std::vector<int>& lines) {
  // The element and, when known, its deck line.
  auto name = [&elements, &lines, family](std::size_t i) {
    const std::size_t index = static_cast<std::size_t>(elements[i].store_id);
    return named(family, elements[i].id, index < lines.size() ? lines[index] : 0);
  };
  translateNodeIds(
      elements.size(), nodeCount, false, [&elements](std::size_t i, int j) -> int& { return elements[i].node_id[j]; },
      name, fem, numbers, lookup);
}

// Step: element, mass and accelerometer node ids become node numbers. This
// runs after the block loop, so that a deck may define its nodes after the
// elements that use them.
void translateElementNodes(FEMDynamic* fem, KeywordDeckState& state, CheckedLookup& lookup) {
  const NodeNumbers numbers(fem->node_id_map);
  for (ElmManager& store : state.elementStores) {
    translateNodeIds(store.shell_element_array_cpu, 4, "shell", fem, numbers, lookup, state.elementLines);
    translateNodeIds(store.solid_element_array_cpu, 8, "solid", fem, numbers, lookup, state.elementLines);
    translateNodeIds(store.beam_element_array_cpu, 3, "beam", fem, numbers, lookup, state.elementLines);
    translateNodeIds(store.discrete_element_array_cpu, 2, "discrete element", fem, numbers, lookup, state.elementLines);
  }
  for (PointMass& mass : *fem->point_mass_array) {
    if (mass.part_set_node != 0) {
      mass.part_set_node = lookup.find(fem->node_id_map, mass.part_set_node, "node", "a point mass");
    }
  }
  translateNodeIds(*fem->accelerometer_array, 3, "accelerometer", fem, numbers, lookup, state.elementLines);
}

// "element on line n" for the first element that names a deck part id
// ("elements" when none is known).
std::string firstElementOfPart(const KeywordDeckState& state, int deckPartId) {
  const std::vector<int>& parts = state.elementPartMap;
  const auto first = std::find(parts.begin(), parts.end(), deckPartId);
  const std::size_t index = static_cast<std::size_t>(first - parts.begin());
  if (first == parts.end() || index >= state.elementLines.size() || state.elementLines[index] <= 0) return "elements";
  return "the element on line " + std::to_string(state.elementLines[index]);
}

// Step: every part takes the elements that the element blocks gave its deck id.
void handElementsToParts(FEMDynamic* fem, KeywordDeckState& state, CheckedLookup& lookup) {
  if (fem->elm_manager_array.size() < fem->part_array.size()) {
    fem->elm_manager_array.resize(fem->part_array.size());
  }
  std::set<int> storesTaken;
  for (std::size_t i = 0; i < fem->part_array.size(); ++i) {
    const auto deckId = state.partDeckIdMap.find(static_cast<int>(i) + 1);
    if (deckId == state.partDeckIdMap.end()) {
      continue;
    }
    const auto number = state.partNumberMap.find(deckId->second);
    if (number == state.partNumberMap.end()) {
      // A part that no element names keeps empty element lists.
      continue;
    }
    const int store = number->second - 1;
    if (store < 0 || store >= static_cast<int>(state.elementStores.size())) {
      lookup.fail("the elements of part " + std::to_string(deckId->second) + " have no element store");
      continue;
    }
    if (!storesTaken.insert(store).second) {
      // A second *PART card with the same deck id: the elements stay
      // with the first part of that id.
      continue;
    }
    ElmManager& from = state.elementStores[store];
    ElmManager& to = fem->elm_manager_array[i];
    const int position = static_cast<int>(i) + 1;
    handOver(from.shell_element_array_cpu, to.shell_element_array_cpu, position);
    handOver(from.solid_element_array_cpu, to.solid_element_array_cpu, position);
    handOver(from.beam_element_array_cpu, to.beam_element_array_cpu, position);
    handOver(from.discrete_element_array_cpu, to.discrete_element_array_cpu, position);
  }
  // Elements whose part no *PART card defines would be lost silently.
  for (const auto& [deckPartId, number] : state.partNumberMap) {
    if (fem->part_id_map.find(deckPartId) == fem->part_id_map.end()) {
      lookup.fail(firstElementOfPart(state, deckPartId) + " names part " + std::to_string(deckPartId) +
                  ", which no *PART card defines");
    }
    (void)number;
  }
}

// Step: node records carry their 1-based reading position from here on.
void numberNodes(FEMDynamic* fem) {
  std::vector<NodeCuda>& nodes = fem->nodeManager->node_array_cpu;
  fem_parallel::parallelFor(nodes.size(), kRecordGrain,
                            [&nodes](std::size_t i) { nodes[i].id = nodes[i].store_id + 1; });
}

// Steps: part ids, section and material numbers, and links.
void numberParts(FEMDynamic* fem, KeywordDeckState& state, CheckedLookup& lookup) {
  std::vector<Section>& sections = fem->sectionManager->section_array;
  for (Part& part : fem->part_array) {
    part.id = part.storage_index + 1;
    const std::size_t index = static_cast<std::size_t>(part.storage_index);
    const std::string at = index < state.partCards.size() ? state.partCards[index] : "";
    const std::string where =
        (at.empty() ? "" : at + ": ") + "part " + std::to_string(part.id) + " (" + part.name + ")";
    const std::string name = "part " + std::to_string(part.id) + " (" + part.name + ")";
    const int deckSection = part.section_id;
    part.section_id = lookup.find(state.sectionNumberMap, part.section_id, "section", name, at);
    part.material_id = lookup.find(state.materialNumberMap, part.material_id, "material", name, at);
    const std::vector<HourglassControl>& controls = fem->hourglassControlManager->hourglass_array_cpu;
    const int hourglass = part.hourglass_id;
    if (hourglass != 0 && std::none_of(controls.begin(), controls.end(),
                                       [hourglass](const HourglassControl& h) { return h.id == hourglass; })) {
      lookup.fail((at.empty() ? "" : at + ": ") + "part " + std::to_string(part.shownId()) + " (" + part.name +
                  "): hourglass control " + std::to_string(hourglass) + " (HGID) is not in the model");
    }
    part.section = nullptr;
    if (part.section_id >= 1 && part.section_id <= static_cast<int>(sections.size())) {
      part.section = &sections[part.section_id - 1];
    } else if (part.section_id != 0) {
      lookup.fail(where + ": section number " + std::to_string(part.section_id) + " is out of range");
    }
    part.elmManager = nullptr;
    if (part.id >= 1 && part.id <= static_cast<int>(fem->elm_manager_array.size())) {
      part.elmManager = &fem->elm_manager_array[part.id - 1];
    }
    const auto form = state.uncomputedSections.find(part.section_id);
    if (form != state.uncomputedSections.end() && part.elmManager != nullptr && part.elmManager->hostElementNum() > 0) {
      lookup.fail(where + ": its section " + std::to_string(deckSection) + " asks for " + form->second +
                  ", which this version does not compute (shells: ELFORM 2, 3, 4, 5; solids: 1, 2, 10; "
                  "beams: 1, 2, 3, 6)");
    }
    // Discrete elements have no force law here: a part of them would
    // let a mass on them fly off free.
    if (part.elmManager != nullptr && !part.elmManager->discrete_element_array_cpu.empty()) {
      lookup.fail(where +
                  ": its discrete elements (*ELEMENT_DISCRETE) would carry no force: this version "
                  "computes no spring or damper law for them; write a linear spring as *ELEMENT_BEAM "
                  "of *SECTION_BEAM ELFORM 6 and *MAT_LINEAR_ELASTIC_DISCRETE_BEAM");
    }
    const auto uncomputed = state.uncomputedMaterials.find(part.material_id);
    if (uncomputed != state.uncomputedMaterials.end() && part.elmManager != nullptr &&
        part.elmManager->hostElementNum() > 0) {
      lookup.fail(where + ": its material is a " + uncomputed->second);
    }
  }
}

// The first set of a type with this id, or null.
Set* firstSetWithId(std::deque<Set>& sets, int id) {
  for (Set& set : sets) {
    if (set.id == id) {
      return &set;
    }
  }
  return nullptr;
}

// Joins to every set the members its own cards give besides its list (the
// lines of a general card, through expand) and then the members of the sets
// its "_ADD" card names. Sets are found by their own id, whatever order the
// deck defines them in; a set named is joined first, and a chain that comes
// back to a set it started from is refused.
class SetJoiner {
 public:
  using Expand = std::function<void(Set&, SetJoiner&)>;

  SetJoiner(std::deque<Set>& sets, std::vector<int> Set::*addIds, const char* kind, CheckedLookup& lookup,
            Expand expand = {})
      : sets_(sets), addIds_(addIds), kind_(kind), lookup_(lookup), expand_(std::move(expand)) {}

  void joinAll() {
    for (Set& set : sets_) {
      join(set);
    }
  }

  // The whole member list of the set with this id, which `from` names;
  // null (after the message) when the deck lacks it or the chain comes
  // back to `from`.
  const std::vector<int>* membersOf(int id, const Set& from) {
    Set* source = firstSetWithId(sets_, id);
    if (source == nullptr) {
      lookup_.fail(named(kind_, from.id, from.deck_line) + " adds " + kind_ + " " + std::to_string(id) +
                   ", which the deck does not define");
      return nullptr;
    }
    join(*source);
    return states_[source] == State::Joined ? &source->id_array : nullptr;  // else a cycle, reported
  }

 private:
  enum class State { Open, Joining, Joined };

  void join(Set& set) {
    State& state = states_[&set];
    if (state == State::Joined) {
      return;
    }
    if (state == State::Joining) {
      lookup_.fail(named(kind_, set.id, set.deck_line) + " adds itself through its add list");
      return;
    }
    state = State::Joining;
    if (expand_) {
      expand_(set, *this);
    }
    const std::vector<int> addList = set.*addIds_;
    for (int id : addList) {
      if (const std::vector<int>* members = membersOf(id, set)) {
        const std::vector<int> copy = *members;
        set.id_array.insert(set.id_array.end(), copy.begin(), copy.end());
      }
    }
    states_[&set] = State::Joined;
  }

  std::deque<Set>& sets_;
  std::vector<int> Set::*addIds_;
  const char* kind_;
  CheckedLookup& lookup_;
  Expand expand_;
  std::map<const Set*, State> states_;
};

void joinAddLists(std::deque<Set>& sets, std::vector<int> Set::*addIds, const char* kind, CheckedLookup& lookup) {
  SetJoiner(sets, addIds, kind, lookup).joinAll();
}

// True when the node lies in the box (its card gives x, y and z bounds).
bool insideBox(const NodeCuda& node, const DefineBox& box) {
  for (int k = 0; k < 3; ++k) {
    if (node.coord[k] < box.box_values[2 * k] || node.coord[k] > box.box_values[2 * k + 1]) {
      return false;
    }
  }
  return true;
}

// The node numbers one line of a *SET_NODE_GENERAL card gives.
std::vector<int> generalLineNodes(const NodeGeneralLine& line, FEMDynamic* fem, SetJoiner& joiner, const Set& set,
                                  CheckedLookup& lookup) {
  std::vector<int> nodes;
  const std::vector<NodeCuda>& all = fem->nodeManager->node_array_cpu;
  if (line.option == "ALL") {
    for (const NodeCuda& node : all) {
      nodes.push_back(node.store_id + 1);
    }
  }
  for (int value : line.values) {
    if (line.option == "NODE") {
      nodes.push_back(lookup.find(fem->node_id_map, value, "node", line.where));
    } else if (line.option == "PART") {
      const int position = lookup.find(fem->part_id_map, value, "part", line.where);
      if (position >= 1 && position <= static_cast<int>(fem->part_array.size())) {
        std::vector<int> partNodes;
        buildPartNodeElement(fem->part_array[position - 1], partNodes);
        nodes.insert(nodes.end(), partNodes.begin(), partNodes.end());
      }
    } else if (line.option == "SET") {
      if (const std::vector<int>* members = joiner.membersOf(value, set)) {
        nodes.insert(nodes.end(), members->begin(), members->end());
      }
    } else if (line.option == "BOX") {
      const DefineBox* box = nullptr;
      for (const DefineBox& candidate : fem->boxManager->box_array) {
        if (candidate.box_id == value && box == nullptr) box = &candidate;
      }
      if (box == nullptr) {
        lookup.fail(line.where + ": box " + std::to_string(value) + " is not defined in the deck");
        continue;
      }
      for (const NodeCuda& node : all) {
        if (insideBox(node, *box)) nodes.push_back(node.store_id + 1);
      }
    }
  }
  return nodes;
}

// Step: node sets hold node numbers; general cards and add lists are expanded.
void completeNodeSets(FEMDynamic* fem, KeywordDeckState& state, CheckedLookup& lookup) {
  std::deque<Set>& sets = fem->setManager->node_set_array;
  for (Set& set : sets) {
    // A set made for a weld, joint or held node names the card that made it.
    const std::string where = set.id < 0 && !set.title.empty() ? set.title : named("node set", set.id, set.deck_line);
    for (int& member : set.id_array) {
      // A blank node field of a joint stays 0: no node.
      if (member != 0) {
        member = lookup.find(fem->node_id_map, member, "node", where);
      }
    }
  }
  // A general card's lines give each node once, in the order they name them.
  auto expandGeneral = [&](Set& set, SetJoiner& joiner) {
    const auto lines = state.nodeGeneralLines.find(set.id);
    if (lines == state.nodeGeneralLines.end() || set.general_option.empty()) {
      return;
    }
    std::set<int> have(set.id_array.begin(), set.id_array.end());
    for (const NodeGeneralLine& line : lines->second) {
      for (int node : generalLineNodes(line, fem, joiner, set, lookup)) {
        if (node != 0 && have.insert(node).second) {
          set.id_array.push_back(node);
        }
      }
    }
  };
  SetJoiner(sets, &Set::add_node_set_ids, "node set", lookup, expandGeneral).joinAll();
}

// Step: shell sets keep element ids as read; part sets hold part positions.
void completeElementAndPartSets(FEMDynamic* fem, CheckedLookup& lookup) {
  std::deque<Set>& shellSets = fem->setManager->element_set_array;
  for (Set& set : shellSets) {
    const std::string where = named("shell set", set.id, set.deck_line);
    for (int member : set.id_array) {
      lookup.find(fem->element_id_map, member, "element", where);
    }
  }
  joinAddLists(shellSets, &Set::add_shell_set_ids, "shell set", lookup);

  std::deque<Set>& partSets = fem->setManager->part_set_array;
  for (Set& set : partSets) {
    const std::string where = named("part set", set.id, set.deck_line);
    for (int& member : set.id_array) {
      member = lookup.find(fem->part_id_map, member, "part", where);
    }
  }
  joinAddLists(partSets, &Set::add_part_set_ids, "part set", lookup);
}

// Step: surfaces take their surface numbers, segments node numbers.
void completeSurfaces(FEMDynamic* fem, const KeywordDeckState& state, CheckedLookup& lookup) {
  for (Surface& surface : fem->surfaceManager->surface_array) {
    const auto line = state.segmentSetLines.find(surface.id);
    const std::string where = named("segment set", surface.id, line != state.segmentSetLines.end() ? line->second : 0);
    surface.id = lookup.find(fem->segment_set_id_map, surface.id, "segment set", where);
    for (SegmentCuda& segment : surface.segment_array) {
      for (int& nodeId : segment.node_id) {
        if (nodeId != 0) {
          nodeId = lookup.find(fem->node_id_map, nodeId, "node", where);
        }
      }
    }
  }
}

// Step: boundaries on single nodes and on rigid parts take internal numbers;
// the k-th rigid-part boundary also names the part of the k-th prescribed
// rigid-body motion.
void completeBoundaries(FEMDynamic* fem, CheckedLookup& lookup) {
  std::vector<RigidConstrained>& motions = fem->rigidManager->rigid_constrained_array;
  std::size_t rigidBoundaries = 0;
  for (const auto& boundary : fem->boundaryManager->boundary_array) {
    const std::string where = boundary->card.empty() ? named("boundary", boundary->id) : boundary->card;
    if (boundary->is_rigid == 1) {
      boundary->id = lookup.find(fem->part_id_map, boundary->id, "part", where);
      if (rigidBoundaries < motions.size()) {
        motions[rigidBoundaries].part_id = boundary->id;
      }
      ++rigidBoundaries;
    } else if (boundary->is_set == 0) {
      boundary->id = lookup.find(fem->node_id_map, boundary->id, "node", where);
    }
  }
}

// The card kept at place i of a list, or `otherwise` when none is.
std::string cardAt(const std::vector<std::string>& cards, std::size_t i, const std::string& otherwise) {
  return i < cards.size() && !cards[i].empty() ? cards[i] : otherwise;
}

// Step: spot-weld nodes and the id lists of rigid-body merges and extra nodes.
void completeConstraints(FEMDynamic* fem, const KeywordDeckState& state, CheckedLookup& lookup) {
  std::vector<Constrained>& constraints = fem->constrainedManager->constrained_array;
  for (std::size_t i = 0; i < constraints.size(); ++i) {
    Constrained& constraint = constraints[i];
    if (constraint.weld_nodes[0] != 0 && constraint.weld_nodes[1] != 0) {
      const std::string where = cardAt(state.constrainedCards, i, named("spot weld", constraint.weld_id));
      for (int32_t& node : constraint.weld_nodes) {
        node = lookup.find(fem->node_id_map, node, "node", where);
      }
    }
  }
  RigidManager* rigid = fem->rigidManager;
  for (std::vector<int>* ids : {&rigid->master_rigid_ids, &rigid->slave_rigid_ids}) {
    for (std::size_t k = 0; k < ids->size(); ++k) {
      const std::string where = cardAt(state.rigidMergeCards, k, "a constrained rigid body card");
      (*ids)[k] = lookup.find(fem->part_id_map, (*ids)[k], "part", where);
    }
  }
  for (std::size_t k = 0; k < rigid->extra_rigid_ids.size(); ++k) {
    const std::string where = cardAt(rigid->extra_cards, k, "a constrained extra-nodes card");
    rigid->extra_rigid_ids[k] = lookup.find(fem->part_id_map, rigid->extra_rigid_ids[k], "part", where);
    int& node = rigid->extra_node_ids[k];
    if (node != 0) {  // 0: the entry of a node-set definition
      node = lookup.find(fem->node_id_map, node, "node", where);
    }
  }
}

// Step: a rigid wall's node set and motion curve must be in the deck.
void checkWallTargets(FEMDynamic* fem, const KeywordDeckState& state, CheckedLookup& lookup) {
  const std::deque<Set>& sets = fem->setManager->node_set_array;
  const std::vector<Curve>& curves = fem->curveManager->curve_array;
  for (std::size_t i = 0; i < fem->rigid_wall_array->size(); ++i) {
    const RigidWall& wall = (*fem->rigid_wall_array)[i];
    const std::string card = cardAt(state.wallCards, i, "*RIGIDWALL " + std::to_string(wall.wall_id));
    const int setId = wall.slave_set_id;
    if (setId != 0 && std::none_of(sets.begin(), sets.end(), [setId](const Set& s) { return s.id == setId; })) {
      lookup.fail(card + ": node set " + std::to_string(setId) + " is not in the model");
    }
    const int curveId = wall.motion_curve_id;
    if (curveId != 0 &&
        std::none_of(curves.begin(), curves.end(), [curveId](const Curve& c) { return c.id == curveId; })) {
      lookup.fail(card + ": load curve " + std::to_string(curveId) + " is not in the model");
    }
  }
}

// Step: node loads name node numbers, segment pressures surface numbers.
void completeLoads(FEMDynamic* fem, CheckedLookup& lookup) {
  for (const auto& load : fem->loadManager->load_array) {
    const std::string where = load->card.empty() ? named("load", load->load_id) : load->card;
    if (load->load_kind == 0 && load->is_set == 0) {
      load->id = lookup.find(fem->node_id_map, load->id, "node", where);
    } else if (load->load_kind == 1) {
      load->id = lookup.find(fem->segment_set_id_map, load->id, "segment set", where);
    }
  }
}

// A node set of every node of the model, made on first use, with an id no
// node set of the deck has; returns that id.
int allNodesSet(FEMDynamic* fem) {
  std::deque<Set>& sets = fem->setManager->node_set_array;
  static const std::string kName = "every node";
  for (const Set& set : sets) {
    if (set.name == kName && set.id_array.size() == fem->nodeManager->node_array_cpu.size()) {
      return set.id;
    }
  }
  int id = 0;
  for (const Set& set : sets) {
    id = std::max(id, set.id);
  }
  Set all;
  all.id = id + 1;
  all.name = kName;
  all.type = SET_NODE;
  for (const NodeCuda& node : fem->nodeManager->node_array_cpu) {
    all.id_array.push_back(node.id);
  }
  fem->setManager->addSet(all);
  return all.id;
}

// Step: initial conditions name node numbers.
void completeInitialConditions(FEMDynamic* fem, KeywordDeckState& state, CheckedLookup& lookup) {
  std::vector<InitialCondition>& conditions = *fem->initial_condition_array;
  const int count = static_cast<int>(conditions.size());
  // Drop map entries that do not stand for a record.
  auto validEntries = [count](std::map<int, int>& map) {
    for (auto it = map.begin(); it != map.end();) {
      it = (it->first < 1 || it->first > count) ? map.erase(it) : std::next(it);
    }
  };
  validEntries(state.velocityNodeMap);
  validEntries(state.velocitySetMap);

  // The reader's working record carries fields across blocks: a record
  // acts only on the target its own block named.
  for (const auto& [position, nodeId] : state.velocityNodeMap) {
    conditions[position - 1].ic_set_id = 0;
    conditions[position - 1].ic_part_id = 0;
    (void)nodeId;
  }
  for (const auto& [position, setId] : state.velocitySetMap) {
    conditions[position - 1].ic_node_id = 0;
    conditions[position - 1].ic_part_id = 0;
    (void)setId;
  }

  // Node set 0 stands for every node of the model.
  for (auto& [position, setId] : state.velocitySetMap) {
    if (setId == 0) {
      setId = allNodesSet(fem);
      conditions[position - 1].ic_set_id = setId;
    }
  }

  translateNodeIds(
      conditions.size(), 1, true, [&conditions](std::size_t i, int) -> int& { return conditions[i].ic_node_id; },
      [&conditions](std::size_t i) {
        return named("initial condition", static_cast<int>(i) + 1, conditions[i].deck_line);
      },
      fem, NodeNumbers(fem->node_id_map), lookup);
  // A node that several records reach takes one of them at set-up
  // (settleInitialVelocities), never their sum.
}

// Step: the check list, one line per contact: position, master id, slave id,
// master type, slave type.
void writeContactCheckList(FEMDynamic* fem, KeywordDeckState& state) {
  if (!state.checkList.is_open()) {
    return;
  }
  const std::vector<Contact>& contacts = fem->contactManager->contact_array;
  for (std::size_t i = 0; i < contacts.size(); ++i) {
    const Contact& contact = contacts[i];
    state.checkList << i << "\t" << contact.master_id << "\t" << contact.slave_id << "\t" << contact.master_type << "\t"
                    << contact.slave_type << "\n";
    state.checkList.flush();
  }
}

}  // namespace

bool completeKeywordDeck(FEMDynamic* fem, KeywordDeckState& state) {
  CheckedLookup lookup;
  translateElementNodes(fem, state, lookup);
  handElementsToParts(fem, state, lookup);
  std::vector<int> friction;
  if (!expandDeckContacts(fem, state, friction)) {
    lookup.ok = false;
  }
  numberNodes(fem);
  numberParts(fem, state, lookup);
  completeNodeSets(fem, state, lookup);
  completeElementAndPartSets(fem, lookup);
  completeSurfaces(fem, state, lookup);
  completeBoundaries(fem, lookup);
  completeConstraints(fem, state, lookup);
  checkWallTargets(fem, state, lookup);
  completeLoads(fem, lookup);
  completeInitialConditions(fem, state, lookup);
  if (!completeContactIds(fem, state, friction)) {
    lookup.ok = false;
  }
  writeContactCheckList(fem, state);
  // The whole-model contact walks the element faces through their nodes: a
  // deck refused above may hold elements whose nodes it does not define.
  if (lookup.ok) {
    ContactModel model = contactModelOf(*fem);
    fem->contactManager->buildAllExteriorContact(&model);
  }
  return lookup.ok;
}
