// Keyword family *SET: segment sets become contact surfaces; node, shell and
// part lists, their "_ADD" forms and node sets by option become sets. List
// sets are numbered per type in reading order for the completion.
#include <array>
#include <cstring>
#include <set>
#include <sstream>

#include <boost/algorithm/string.hpp>

#include "contact/surface.h"
#include "contact/surfacemanager.h"
#include "core/segment.h"
#include "core/setManager.h"
#include "input/keyword/keywordReader.h"
#include "solver/femdynamic.h"

void KeywordReader::readSegmentSet(const std::string& block) {
  const std::string header = blockHeader(block);
  if (withoutTitle(header) != "*SET_SEGMENT") {
    unreadBlock(header);
    return;
  }
  const std::vector<std::string> lines = splitDeckLines(block);
  Surface surface;
  surface.surface_type = 1;
  const int cardLine = firstCardLine(header, lines, &surface.title);
  readCard(lines, cardLine, surface.id, surface.attributes, surface.solver_name);
  if (!state_.setIds.emplace(SET_SEGMENT, surface.id).second) {
    refuse(lineWhere(header, static_cast<size_t>(cardLine) < lines.size() ? lines[static_cast<size_t>(cardLine)] : "") +
           ": a segment set with the id " + std::to_string(surface.id) + " is defined twice");
    return;
  }
  ++state_.segmentSetNumber;
  fem_->segment_set_id_map.emplace(surface.id, state_.segmentSetNumber);
  state_.segmentSetLines[surface.id] = deckLineAt(static_cast<size_t>(cardLine));

  std::set<std::array<int, 4>> seen;
  const size_t end = cardLineEnd(lines);
  for (size_t i = static_cast<size_t>(cardLine) + 1; i < end; ++i) {
    SegmentCuda segment;
    std::memset(static_cast<void*>(&segment), 0, sizeof(SegmentCuda));
    if (lines[i].find_first_not_of(' ') == std::string::npos) continue;
    readFields(dataFields(lines[i], {10}, 8, 3), segment.node_id, segment.attributes);
    if (fields_.problem().any()) return;  // refused after the block, naming the field
    if (segment.node_id[0] == 0 || segment.node_id[1] == 0 || segment.node_id[2] == 0) {
      refuse(lineWhere(header, lines[i]) + ": the segment names fewer than three nodes");
      return;
    }
    const std::array<int, 4> key = {segment.node_id[0], segment.node_id[1], segment.node_id[2], segment.node_id[3]};
    if (!seen.insert(key).second) continue;
    segment.local_index = static_cast<int>(surface.segment_array.size());
    surface.segment_array.push_back(segment);
  }
  fem_->surfaceManager->surface_array.push_back(surface);
}

namespace {

enum class Members { List, AddNode, AddShell, AddPart, General };

// A set form: the keyword after "*SET_" (without "_TITLE"), what its member
// lines hold, the set type and the fields of card 1.
struct SetForm {
  const char* word;
  Members members;
  int type;
  int cardFields;
};
constexpr SetForm kSetForms[] = {
    {"NODE_LIST", Members::List, SET_NODE, 6},   {"NODE", Members::List, SET_NODE, 6},
    {"NODE_ADD", Members::AddNode, SET_NODE, 6}, {"SHELL_LIST", Members::List, SET_ELEMENT, 6},
    {"SHELL", Members::List, SET_ELEMENT, 6},    {"SHELL_ADD", Members::AddShell, SET_ELEMENT, 6},
    {"PART_LIST", Members::List, SET_PART, 6},   {"PART", Members::List, SET_PART, 6},
    {"PART_ADD", Members::AddPart, SET_PART, 6}, {"NODE_GENERAL", Members::General, SET_NODE, 6},
};

// Option words of *SET_NODE_GENERAL that the completion builds.
bool nodeGeneralOptionBuilt(const std::string& option) {
  return option == "ALL" || option == "NODE" || option == "PART" || option == "SET" || option == "BOX";
}

}  // namespace

namespace {

// The list of a set form's member lines.
std::vector<int>* memberList(Set& set, Members members) {
  switch (members) {
    case Members::AddNode:
      return &set.add_node_set_ids;
    case Members::AddShell:
      return &set.add_shell_set_ids;
    case Members::AddPart:
      return &set.add_part_set_ids;
    case Members::General:
      return &set.general_values;
    default:
      return &set.id_array;
  }
}

}  // namespace

void KeywordReader::readSet(const std::string& block) {
  const std::string header = blockHeader(block);
  const std::vector<std::string> lines = splitDeckLines(block);
  const size_t end = cardLineEnd(lines);

  // The form is the keyword after "*SET_", without "_TITLE"; the bare
  // forms *SET_NODE, *SET_SHELL and *SET_PART are their list forms.
  const std::string bare = withoutTitle(header);
  const std::size_t prefix = std::string("*SET_").size();
  const std::string word = bare.size() > prefix ? bare.substr(prefix) : std::string();
  if (keywordIs(header, "*SET_SOLID")) {
    unreadBlock(header);
    return;
  }
  if (word.find("GENERATE") != std::string::npos) {
    refuseForm(header, "is not read by this version: its members (ranges of ids) would be lost");
    return;
  }
  const SetForm* form = nullptr;
  for (const SetForm& candidate : kSetForms) {
    if (word == candidate.word) form = &candidate;
  }
  if (form == nullptr) {
    unreadBlock(header);
    return;
  }

  Set set;
  const bool add =
      form->members == Members::AddNode || form->members == Members::AddShell || form->members == Members::AddPart;
  const int cardLine = add ? 1 : firstCardLine(header, lines, &set.name);
  if (form->cardFields == 6) {
    readCard(lines, cardLine, set.id, set.attributes, set.solver_name);
  } else {
    readCard(lines, cardLine, set.id, set.attributes);
  }
  const std::string card = static_cast<size_t>(cardLine) < lines.size() ? lines[static_cast<size_t>(cardLine)] : "";
  if (refuseNegativeId(header, card, 1, "SID", set.id)) return;
  set.deck_line = deckLineAt(static_cast<size_t>(cardLine));
  if (!state_.setIds.emplace(form->type, set.id).second) {
    refuse(lineWhere(header, card) + ": a set of this kind with the id " + std::to_string(set.id) +
           " is defined twice");
    return;
  }
  std::vector<int>* list = memberList(set, form->members);
  std::string fields[8];
  for (size_t i = static_cast<size_t>(cardLine) + 1; i < end && !refused_; ++i) {
    splitCardFields10(lines, fields, static_cast<int>(i), 8);
    int first = 0;
    NodeGeneralLine general;
    if (form->members == Members::General) {
      general.option = boost::to_upper_copy(firstWord(fields[0]));
      general.where = lineWhere(header, lines[i]);
      if (general.option.empty()) continue;
      if (!nodeGeneralOptionBuilt(general.option)) {
        refuse(general.where + ": the option " + general.option +
               " is not read by this version (ALL, NODE, PART, SET, BOX); the set would lack its nodes");
        return;
      }
      if (set.general_option.empty()) set.general_option = general.option;
      first = 1;
    }
    for (int j = first; j < 8; ++j) {
      int value = 0;
      readField(fields[j], value);
      if (value == 0) continue;  // a blank or 0 field holds no member
      list->push_back(value);
      general.values.push_back(value);
    }
    if (form->members == Members::General) state_.nodeGeneralLines[set.id].push_back(general);
  }
  if (form->members == Members::List) {
    int& number = form->type == SET_NODE   ? state_.nodeSetNumber
                  : form->type == SET_PART ? state_.partSetNumber
                                           : state_.shellSetNumber;
    std::map<int, int>& numbers = form->type == SET_NODE   ? state_.nodeSetNumberMap
                                  : form->type == SET_PART ? state_.partSetNumberMap
                                                           : state_.shellSetNumberMap;
    numbers.emplace(set.id, ++number);
  }
  set.type = form->type;
  fem_->setManager->addSet(set);
}
