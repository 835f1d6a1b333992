// Keyword family *INITIAL_VELOCITY: velocities of a node set, or of single
// nodes (one record per node line of "_NODE"). Every record starts cleared,
// for each block and each node line, so that a blank field gives 0 and never
// the value of an earlier line or block. A record names only its own
// block's target; set 0 stands for every node of the model.
#include "input/keyword/keywordReader.h"
#include "input/keyword/lineStretches.h"
#include "platform/hostMemory.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"

namespace {

const std::vector<int> kNodeVelocityWidths = {10};

// A node's velocity line read on its own: where it stands in its stretch,
// the node id and the six values.
struct VelocityLine {
  uint32_t line;
  int node;
  double value[6];
};

// Takes a line of a node id and numbers or blanks after it.
bool readVelocityLineAlone(std::string_view line, uint32_t at, FieldCut& cut, std::vector<VelocityLine>& items) {
  if (cutDataFieldsQuietly(line, kNodeVelocityWidths, 7, cut, 2).any()) return false;
  VelocityLine item{at, 0, {0, 0, 0, 0, 0, 0}};
  if (parseField(cutField(cut, 0), item.node) != FieldStatus::Number || item.node < 0) return false;
  for (size_t k = 0; k < 6; ++k) {
    const FieldStatus status = parseField(cutField(cut, 1 + k), item.value[k]);
    if (status != FieldStatus::Number && status != FieldStatus::Blank) return false;
  }
  items.push_back(item);
  return true;
}

}  // namespace

// The lines of an *INITIAL_VELOCITY_NODE block on all threads, when each
// reads on its own (false, nothing done, otherwise).
bool KeywordReader::readNodeVelocitiesAtOnce(const std::string& block) {
  std::string storage;
  std::vector<LineStretch<VelocityLine>> stretches;
  if (!readLineStretches<VelocityLine>(blockDataText(block, storage), 1, readVelocityLineAlone, stretches))
    return false;
  std::vector<InitialCondition>& conditions = *fem_->initial_condition_array;
  const size_t first = conditions.size();
  // Positions grow line by line: each entry goes to the end of the map.
  int position = static_cast<int>(first);
  std::vector<int> deckLines;  // of the records in line order
  const size_t booked = bookInLineOrder(stretches, [&](const VelocityLine& item, size_t k) {
    state_.velocityNodeMap.emplace_hint(state_.velocityNodeMap.end(), ++position, item.node);
    deckLines.push_back(deckLineAt(k));
    return true;
  });
  fem_host_memory::reserveAndPopulate(conditions, booked);
  conditions.resize(first + booked);
  writeBookedItems(stretches, booked, [&](const VelocityLine& item, size_t i) {
    conditions[first + i].ic_node_id = item.node;
    conditions[first + i].deck_line = deckLines[i];
    for (int k = 0; k < 6; ++k) conditions[first + i].value[k] = item.value[k];
  });
  return true;
}

void KeywordReader::readInitialVelocity(const std::string& block) {
  const std::string keyword = blockHeader(block);
  if (keyword != "*INITIAL_VELOCITY" && keyword != "*INITIAL_VELOCITY_NODE") {
    // Other forms (generation by rotation, rigid bodies) give velocities
    // this reader would drop: the run would start from rest.
    refuseForm(keyword, "is not read by this version; the initial velocities it gives would be lost");
    return;
  }
  if (keyword == "*INITIAL_VELOCITY_NODE" && readNodeVelocitiesAtOnce(block)) return;
  const std::vector<std::string> lines = splitDeckLines(block);
  std::vector<InitialCondition>& conditions = *fem_->initial_condition_array;

  if (keyword == "*INITIAL_VELOCITY_NODE") {
    conditions.reserve(conditions.size() + cardLineEnd(lines));
    static const std::vector<int> kWidths = {10};
    FieldCut f;
    for (size_t i = 1; i < cardLineEnd(lines); ++i) {
      InitialCondition record;  // cleared: type velocity, no target, values 0
      cutDataFields(lines[i], kWidths, 7, f, 2);
      const FieldStatus id = fields_.read(f, 0, record.ic_node_id);
      if (id == FieldStatus::Blank && blankOrZeros(lines[i])) continue;  // a line of blanks gives no velocity
      if (id != FieldStatus::Number) {
        // A field that does not read refuses the deck after the block.
        if (id == FieldStatus::Blank)
          refuse(lineWhere(keyword, lines[i]) + ": the line gives velocities but no node id (NID)");
        return;
      }
      if (refuseNegativeId(keyword, lines[i], 1, "NID", record.ic_node_id)) return;
      for (size_t k = 0; k < 6; ++k) fields_.read(f, 1 + k, record.value[k]);
      record.deck_line = deckLineAt(i);
      // Positions grow line by line: each entry goes to the end of the map.
      state_.velocityNodeMap.emplace_hint(state_.velocityNodeMap.end(), static_cast<int>(conditions.size()) + 1,
                                          record.ic_node_id);
      conditions.push_back(record);
    }
    return;
  }
  InitialCondition record;  // cleared: type velocity, no target, values 0
  readCard(lines, 1, record.ic_set_id, record.ic_card_values);
  if (refuseNegativeId(keyword, lines.size() > 1 ? lines[1] : std::string(), 1, "NSID", record.ic_set_id)) return;
  if (cardLineEnd(lines) <= 2) {
    refuse("\"" + keyword + "\"" + atLine() +
           ": the block lacks its velocity card (card 2: VX, VY, VZ, VXR, VYR, VZR)");
    return;
  }
  readCard(lines, 2, record.value);
  // NSIDEX (nodes exempted), BOXID, IRIGID, ICID: no velocity of this
  // version leaves nodes out or turns into local axes.
  static const char* const kNames[] = {"NSIDEX", "BOXID", "IRIGID", "ICID"};
  for (int j = 0; j < 4; ++j) {
    if (record.ic_card_values[j] == 0) continue;
    refuse(lineWhere(keyword, lines[1]) + ": " + kNames[j] + " " + std::to_string(record.ic_card_values[j]) +
           " is not applied by this version (the velocity would reach every node of the set)");
    return;
  }
  record.deck_line = deckLineAt(1);
  state_.velocitySetMap.emplace(static_cast<int>(conditions.size()) + 1, record.ic_set_id);
  conditions.push_back(record);
}
