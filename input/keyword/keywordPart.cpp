// Keyword family *PART: plain parts (a heading line and a card per part),
// parts with inertia and parts with contact values. Parts get internal ids
// in reading order; the deck's part id is mapped to it.

#include "core/part.h"
#include "elements/common/elmmanager.h"
#include "input/keyword/keywordCardRules.h"
#include "input/keyword/keywordReader.h"
#include "solver/femdynamic.h"

void KeywordReader::readPart(const std::string& block) {
  const std::string header = blockHeader(block);
  const bool inertia = keywordIs(header, "*PART_INERTIA");
  const bool contact = !inertia && keywordIs(header, "*PART_CONTACT");
  if (!inertia && !contact && header != "*PART" && header != "*PART_TITLE") {
    unreadBlock(header);
    return;
  }
  // Every part starts with its heading line, also when the heading is
  // blank: blank lines keep their places here.
  const std::vector<std::string> lines = splitDeckLinesKeepingBlanks(block);
  auto line = [&lines](size_t i) { return i < lines.size() ? lines[i] : std::string(); };

  // Card 1 of every form.
  auto readMainCard = [&](Part& part, int k) {
    readCard(lines, k, part.id, part.section_id, part.material_id, part.eos_id, part.hourglass_id, part.gravity_option,
             part.adaptive_option, part.thermal_material_id);
    // EOSID: no equation of state; GRAV (gravity by density and depth)
    // and TMID (a thermal material) act on nothing a run here computes.
    if (refuseNegativeId(header, line(static_cast<size_t>(k)), 1, "PID", part.id)) return;
    refuseUncomputedFields(*this, header, lines, k, {{4, "EOSID", "an equation of state"}});
    // ADPOPT: no mesh of this version is refined while it runs.
    if (part.adaptive_option != 0) {
      refuse(lineWhere(header, lines[static_cast<size_t>(k)]) + ": part " + std::to_string(part.id) +
             " asks for ADPOPT " + std::to_string(part.adaptive_option) +
             " (adaptive remeshing), which this version does not compute");
    }
  };
  // Numbers the part of card line k and appends it; false when the deck is refused.
  auto append = [&](Part& part, size_t k) {
    std::vector<Part>& parts = fem_->part_array;
    const int count = static_cast<int>(parts.size());
    if (count >= kMaxKeywordParts) {
      refuse("the deck defines more than " + std::to_string(kMaxKeywordParts) + " parts");
      return false;
    }
    const int deckId = part.id;
    if (!fem_->part_id_map.emplace(deckId, count + 1).second) {
      refuse(lineWhereAt(header, k) + ": two *PART cards give the part id " + std::to_string(deckId));
      return false;
    }
    part.storage_index = count;
    part.deck_id = deckId;
    state_.partDeckIdMap.emplace(count + 1, deckId);
    state_.partCards.push_back(lineWhereAt(header, k));
    part.id = count + 1;
    parts.push_back(part);
    return true;
  };

  if (inertia || contact) {
    Part part;
    takeCardLine(lines, 1);  // the heading
    part.name = firstWord(line(1));
    readMainCard(part, 2);
    if (inertia) {
      readCard(lines, 3, part.inertia_centre, part.inertia_mass, part.inertia_coord_option, part.inertia_node_id);
      readCard(lines, 4, part.inertia_tensor);
      readCard(lines, 5, part.initial_velocity);
      readCard(lines, 6, part.inertia_axes, part.inertia_coord_id);
    } else {
      readCard(lines, 3, part.contact_static_friction, part.contact_dynamic_friction, part.contact_decay_coefficient,
               part.contact_viscous_friction, part.contact_thickness_option, part.contact_thickness,
               part.contact_penalty_scale);
    }
    append(part, 2);
    // The inertia (or contact) values are kept, but no rigid body or
    // contact takes them in this version.
    unreadBlock(header);
  } else {
    const size_t end = cardLineEnd(lines);
    for (size_t i = 1; i < end; i += 2) {
      Part part;
      takeCardLine(lines, i);  // the heading
      part.name = line(i);
      readMainCard(part, static_cast<int>(i + 1));
      if (!append(part, i + 1)) break;
    }
  }
  fem_->elm_manager_array.resize(fem_->part_array.size());
}
