// Keyword families of the mesh: nodes, shells, beams, solids, discrete
// elements, point masses, seat-belt accelerometers and airbags. Nodes and
// elements are numbered in reading order; element node ids become node
// numbers; parts are numbered in the order elements first name them.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <iostream>
#include <sstream>
#include <type_traits>
#include <unordered_map>

#include "core/node.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "core/sectionmanager.h"
#include "elements/common/elmmanager.h"
#include "input/keyword/keywordCardRules.h"
#include "input/keyword/keywordReader.h"
#include "input/keyword/lineStretches.h"
#include "platform/hostMemory.h"
#include "solver/boundary.h"
#include "solver/femdynamic.h"

template <class Record>
std::vector<Record>& KeywordReader::partList(int partNumber, std::vector<Record> ElmManager::*list) {
  return state_.elementStores[static_cast<size_t>(partNumber - 1)].*list;
}

namespace {

// Column widths of the data lines: *NODE is 8 + 16 + 16 + 16 + 8 + 8,
// element lines 8 per field, point masses 8 + 8 + 16 + 8, accelerometers
// 10, a shell's thickness line 16.
const std::vector<int> kNodeWidths = {8, 16, 16, 16, 8, 8};
constexpr int kNodeFields = 6;
const std::vector<int> kElementWidths = {8};
// EID, PID, N1, N2, VID, S, PF, OFFSET.
const std::vector<int> kDiscreteWidths = {8, 8, 8, 8, 8, 16, 8, 16};
const std::vector<int> kMassWidths = {8, 8, 16, 8};
const std::vector<int> kTenWidths = {10};
const std::vector<int> kSixteenWidths = {16};

template <class Record>
Record zeroRecord() {
  Record record;
  std::memset(static_cast<void*>(&record), 0, sizeof(Record));
  return record;
}

// The options of a keyword after the family name ("*ELEMENT_SHELL_BETA"
// with the name "*ELEMENT_SHELL" gives {"BETA"}).
std::vector<std::string> keywordOptions(const std::string& keyword, const std::string& name) {
  std::vector<std::string> options;
  if (keyword.size() <= name.size() + 1) return options;
  std::istringstream rest(keyword.substr(name.size() + 1));
  std::string option;
  while (std::getline(rest, option, '_')) {
    if (!option.empty()) options.push_back(option);
  }
  return options;
}

bool allBlank(const std::vector<std::string_view>& fields, size_t from) {
  for (size_t i = from; i < fields.size(); ++i) {
    if (fields[i].find_first_not_of(' ') != std::string_view::npos) return false;
  }
  return true;
}

bool blankLine(const std::string& line) { return line.find_first_not_of(' ') == std::string::npos; }

// Family of an element record, for the duplicate-id check: element ids are
// unique within a family.
template <class Record>
constexpr int familyCode() {
  if constexpr (std::is_same_v<Record, ShellElementCuda>) return 0;
  if constexpr (std::is_same_v<Record, SolidElementCuda>) return 1;
  if constexpr (std::is_same_v<Record, BeamElementCuda>) return 2;
  return 3;
}

// The first node field (1-based) that an element of this family must fill
// but left blank or 0; 0 when the element names all its nodes. A beam's
// third node (its orientation) may be left out; a solid may be written with
// four (a tetrahedron) or six nodes (a pentahedron), the rest blank.
template <class Record, int nodeCount>
int missingNode(const int* id) {
  int required = nodeCount;
  if constexpr (std::is_same_v<Record, BeamElementCuda>) required = 2;
  if constexpr (std::is_same_v<Record, SolidElementCuda>) {
    const bool tetrahedron = id[4] == 0 && id[5] == 0 && id[6] == 0 && id[7] == 0;
    const bool pentahedron = id[6] == 0 && id[7] == 0;
    required = tetrahedron ? 4 : pentahedron ? 6 : 8;
  }
  for (int j = 0; j < required; ++j) {
    if (id[j] == 0) return j + 1;
  }
  return 0;
}

// Makes room for `extra` more records at once, growing the capacity at
// least twofold, so that a block's records are not copied again and again
// as the list grows line by line, also over decks of many blocks.
template <class T>
void reserveMore(std::vector<T>& list, size_t extra) {
  const size_t needed = list.size() + extra;
  if (needed > list.capacity()) list.reserve(std::max(needed, 2 * list.capacity()));
}

}  // namespace

namespace {

// Degrees of freedom (x, y, z or their rotations) a constraint code of
// *NODE holds: 0 none, 1 x, 2 y, 3 z, 4 x and y, 5 y and z, 6 z and x, 7 all.
void holdCode(int code, int* flags) {
  static const int kHeld[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                  {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
  for (int k = 0; k < 3; ++k) flags[k] = kHeld[code][k];
}

// The first n blank-separated words of a line (fewer when it has fewer).
void wordsOf(std::string_view line, size_t n, std::vector<std::string_view>& words) {
  words.assign(n, std::string_view());
  size_t i = line.find_first_not_of(' ');
  for (size_t w = 0; w < n && i != std::string_view::npos; ++w) {
    const size_t end = std::min(line.find(' ', i), line.size());
    words[w] = line.substr(i, end - i);
    i = line.find_first_not_of(' ', end);
  }
}

// Cuts a *NODE line into NID, X, Y, Z, TC, RC: by its columns (8, 16, 16,
// 16, 8, 8) or, written with blanks, by its words. A number that runs
// across the edge of the Z and TC columns (no blank at columns 56 and 57)
// into a TC other than 0 is a Z written wider than its column, not a TC
// written flush left: such a line is read by its words.
CutCheck cutNodeLine(std::string_view line, FieldCut& cut) {
  const CutCheck check = cutDataFieldsQuietly(line, kNodeWidths, kNodeFields, cut, 4);
  const bool columns = cut.fields[3].data() == line.data() + 40;
  if (columns && line.size() > 56 && line[55] != ' ' && line[56] != ' ' &&
      cut.fields[4].find_first_not_of("0 ") != std::string_view::npos) {
    wordsOf(line, kNodeFields, cut.fields);
  }
  return check;
}

void cutNodeLine(const std::string& line, FieldCut& cut) {
  takeCardLine(line);
  noteCutProblem(cutNodeLine(std::string_view(line), cut), line);
}

bool numberOrBlank(FieldStatus status) { return status == FieldStatus::Number || status == FieldStatus::Blank; }

// A *NODE line read on its own: where it stands in its stretch, the node id,
// its coordinates and its constraint codes (8 TC + RC).
struct NodeLine {
  uint32_t line;
  int id;
  int codes;
  double coord[3];
};

// Takes a *NODE line that reads without a message: a blank line, or a node
// of a positive id, numbers or blanks in its other fields and codes 0 to 7.
bool readNodeLineAlone(std::string_view line, uint32_t at, FieldCut& cut, std::vector<NodeLine>& items) {
  if (line.find_first_not_of(' ') == std::string_view::npos) return true;
  if (cutNodeLine(line, cut).any()) return false;
  NodeLine item{at, 0, 0, {0.0, 0.0, 0.0}};
  if (parseField(cutField(cut, 0), item.id) != FieldStatus::Number || item.id <= 0) return false;
  for (size_t k = 0; k < 3; ++k) {
    if (!numberOrBlank(parseField(cutField(cut, 1 + k), item.coord[k]))) return false;
  }
  int codes[2] = {0, 0};
  for (size_t k = 0; k < 2; ++k) {
    if (!numberOrBlank(parseField(cutField(cut, 4 + k), codes[k])) || codes[k] < 0 || codes[k] > 7) return false;
  }
  item.codes = 8 * codes[0] + codes[1];
  items.push_back(item);
  return true;
}

}  // namespace

// The translational and rotational constraint codes TC and RC of *NODE
// hold their nodes as *BOUNDARY_SPC does: the nodes of one pair of codes
// become a node set of their own with one constraint.
void KeywordReader::holdNodesByCode(const std::map<int, std::vector<int>>& nodesByCode) {
  for (const auto& [code, ids] : nodesByCode) {
    auto* boundary = new NodeBoundary;
    boundary->card = "*NODE";
    boundary->is_set = 1;
    boundary->type = BOUNDARY_VELOCITY;  // all values 0: the held components stand still
    boundary->id = appendGeneratedNodeSet(ids, boundary->card);
    holdCode(code / 8, boundary->dof_flag);
    holdCode(code % 8, boundary->dof_flag + 3);
    fem_->boundaryManager->addBoundary(boundary);
  }
}

bool KeywordReader::bookNode(const std::string& keyword, int id, size_t k) {
  const size_t known = fem_->node_id_map.size();
  fem_->node_id_map.emplace_hint(fem_->node_id_map.end(), id, state_.nodeCounter + 1);
  if (fem_->node_id_map.size() == known) {
    refuse(lineWhereAt(keyword, k) + ": node " + std::to_string(id) + " is defined twice");
    return false;
  }
  ++state_.nodeCounter;
  return true;
}

bool KeywordReader::readNodesAtOnce(const std::string& keyword, std::string_view text,
                                    std::map<int, std::vector<int>>& nodesByCode) {
  std::vector<LineStretch<NodeLine>> stretches;
  if (!readLineStretches<NodeLine>(text, 1, readNodeLineAlone, stretches)) return false;
  // Booked in line order; the records are then written on all threads.
  const int firstNumber = state_.nodeCounter;
  const size_t booked = bookInLineOrder(stretches, [&](const NodeLine& item, size_t k) {
    if (item.codes != 0) nodesByCode[item.codes].push_back(item.id);
    return bookNode(keyword, item.id, k);
  });
  std::vector<NodeCuda>& nodes = fem_->nodeManager->node_array_cpu;
  const size_t first = nodes.size();
  fem_host_memory::reserveAndPopulate(nodes, booked);
  nodes.resize(first + booked);
  writeBookedItems(stretches, booked, [&](const NodeLine& item, size_t i) {
    NodeCuda& node = nodes[first + i];
    node.id = item.id;
    for (int k = 0; k < 3; ++k) node.coord[k] = item.coord[k];
    node.store_id = firstNumber + static_cast<int>(i);
  });
  return true;
}

void KeywordReader::readNodes(const std::string& block) {
  const std::string keyword = blockHeader(block);
  if (keyword != "*NODE") {
    unreadBlock(keyword);
    return;
  }
  std::map<int, std::vector<int>> nodesByCode;  // 8 TC + RC -> deck node ids
  std::string storage;
  if (readNodesAtOnce(keyword, blockDataText(block, storage), nodesByCode)) {
    if (!refused_) holdNodesByCode(nodesByCode);
    return;
  }
  const std::vector<std::string> lines = splitDeckLines(block);
  std::vector<NodeCuda>& nodes = fem_->nodeManager->node_array_cpu;
  reserveMore(nodes, cardLineEnd(lines));
  FieldCut f;
  for (size_t i = 1; i < cardLineEnd(lines) && !refused_; ++i) {
    if (blankLine(lines[i])) continue;
    cutNodeLine(lines[i], f);
    int id = 0;
    double coord[3] = {0.0, 0.0, 0.0};
    const FieldStatus status = fields_.read(f, 0, id);
    if (status != FieldStatus::Number) {
      // A field that does not read refuses the deck after the block.
      if (status == FieldStatus::Blank) refuse(lineWhere(keyword, lines[i]) + ": the line gives no node id");
      return;
    }
    if (id <= 0) {
      refuse(lineWhere(keyword, lines[i]) + ": node id " + std::to_string(id) + " is not positive");
      return;
    }
    for (int k = 0; k < 3; ++k) fields_.read(f, 1 + static_cast<size_t>(k), coord[k]);
    int codes[2] = {0, 0};  // TC, RC
    fields_.read(f, 4, codes[0]);
    fields_.read(f, 5, codes[1]);
    if (codes[0] < 0 || codes[0] > 7 || codes[1] < 0 || codes[1] > 7) {
      refuse(lineWhere(keyword, lines[i]) + ": node " + std::to_string(id) + " has the constraint codes TC " +
             std::to_string(codes[0]) + ", RC " + std::to_string(codes[1]) + "; each must be 0 to 7");
      return;
    }
    if (codes[0] != 0 || codes[1] != 0) nodesByCode[8 * codes[0] + codes[1]].push_back(id);
    const int number = state_.nodeCounter;
    if (!bookNode(keyword, id, i)) return;
    // The record is cleared and filled where it stays.
    NodeCuda& node = nodes.emplace_back();
    std::memset(static_cast<void*>(&node), 0, sizeof(NodeCuda));
    node.id = id;
    for (int k = 0; k < 3; ++k) node.coord[k] = coord[k];
    node.store_id = number;
  }
  if (!refused_) holdNodesByCode(nodesByCode);
}

int KeywordReader::elementPartNumber(int deckPartId) {
  const auto found = state_.partNumberMap.find(deckPartId);
  if (found != state_.partNumberMap.end()) return found->second;
  if (state_.partCounter >= kMaxKeywordParts) {
    refuse("the element blocks name more than " + std::to_string(kMaxKeywordParts) + " parts (part id " +
           std::to_string(deckPartId) + ")");
    return 0;
  }
  ++state_.partCounter;
  state_.partNumberMap[deckPartId] = state_.partCounter;
  state_.elementStores.resize(static_cast<size_t>(state_.partCounter));
  return state_.partCounter;
}

int KeywordReader::nextElementIndex() {
  state_.elementNodeLists.emplace_back();
  state_.elementPartMap.push_back(0);
  state_.elementLines.push_back(0);
  return state_.elementCounter++;
}

// The element keeps the deck's node ids here: nodes may come in a later
// block, so the completion after the block loop turns them into numbers.
int KeywordReader::bookElement(int familyCode, int id, const int* deckNodes, int nodeCount, int deckPartId,
                               const char* family, int& index, size_t line) {
  if (!state_.elementIds[familyCode].add(id)) {
    refuse(lineWhereAt(family, line) + ": element " + std::to_string(id) + " is defined twice");
    return 0;
  }
  ElementNodeList nodeList;
  for (int j = 0; j < nodeCount; ++j) nodeList.deck_node_ids[j] = deckNodes[j];
  const int partNumber = elementPartNumber(deckPartId);
  if (partNumber == 0) return 0;
  index = nextElementIndex();
  nodeList.element_number = index + 1;
  state_.elementNodeLists[static_cast<size_t>(index)] = nodeList;
  state_.elementPartMap[static_cast<size_t>(index)] = deckPartId;
  state_.elementLines[static_cast<size_t>(index)] = deckLineAt(line);
  fem_->element_id_map.insert_or_assign(fem_->element_id_map.end(), id, index + 1);
  return partNumber;
}

template <class Record>
int KeywordReader::bookElement(Record& element, int deckPartId, int nodeCount, const char* family, size_t line) {
  int index = 0;
  const int partNumber =
      bookElement(familyCode<Record>(), element.id, element.node_id, nodeCount, deckPartId, family, index, line);
  if (partNumber > 0) element.store_id = index;
  return partNumber;
}

template <class Record>
void KeywordReader::storeElement(Record& element, int deckPartId, int nodeCount, const char* family, size_t line,
                                 std::vector<Record> ElmManager::*list, size_t expected) {
  const int partNumber = bookElement(element, deckPartId, nodeCount, family, line);
  if (partNumber <= 0) return;
  std::vector<Record>& records = state_.elementStores[static_cast<size_t>(partNumber - 1)].*list;
  reserveMore(records, expected);
  records.push_back(element);
}

// An element line read on its own: where it stands in its stretch, the
// element id, its part and its node ids.
template <int nodeCount>
struct ElementLine {
  uint32_t line;
  int id;
  int part;
  int nodes[nodeCount];
};

// The fields of an element line: shell, solid and beam lines hold ten (n5-n8
// of a shell must be blank, 0 or N4, a beam's releases are checked by its
// family); written with blanks, they give at least the nodes needed.
template <class Record, int nodeCount>
CutCheck cutElementLine(std::string_view line, FieldCut& cut) {
  constexpr int least = std::is_same_v<Record, BeamElementCuda>    ? 4
                        : std::is_same_v<Record, SolidElementCuda> ? 6
                                                                   : 2 + nodeCount;
  if constexpr (std::is_same_v<Record, DiscreteCuda>) return cutDataFieldsQuietly(line, kDiscreteWidths, 8, cut, least);
  return cutDataFieldsQuietly(line, kElementWidths, 10, cut, least);
}

// VID, S, PF and OFFSET of a discrete element line (fields 5 to 8): the
// first that holds anything but a blank or its default (S 1, the others 0);
// 0 when none does.
int discreteFieldOffDefault(const FieldCut& cut) {
  for (size_t j = 4; j < 8; ++j) {
    double value = 0.0;
    const FieldStatus status = parseField(cutField(cut, j), value);
    if (status == FieldStatus::Blank) continue;
    if (status != FieldStatus::Number || (value != 0.0 && !(j == 5 && value == 1.0))) return static_cast<int>(j) + 1;
  }
  return 0;
}

// The first of N5-N8 (5 to 8) of a shell line that holds anything but a
// blank, 0 or N4 again (pre-processors fill them with N4); 0 when none does.
int shellNodeBeyondN4(const FieldCut& cut, int n4) {
  for (size_t j = 6; j < 10; ++j) {
    int node = 0;
    const FieldStatus status = parseField(cutField(cut, j), node);
    if (status == FieldStatus::Blank) continue;
    if (status != FieldStatus::Number || (node != 0 && node != n4)) return static_cast<int>(j) - 1;
  }
  return 0;
}

// Takes an element line that reads without a message: a blank line, or an
// element of an id, a part and every node it needs on its one line.
template <class Record, int nodeCount>
bool readElementLineAlone(std::string_view line, uint32_t at, FieldCut& cut,
                          std::vector<ElementLine<nodeCount>>& items) {
  if (line.find_first_not_of(' ') == std::string_view::npos) return true;
  if (cutElementLine<Record, nodeCount>(line, cut).any()) return false;
  ElementLine<nodeCount> item{at, 0, 0, {}};
  if (parseField(cutField(cut, 0), item.id) != FieldStatus::Number || item.id < 0) return false;
  if (!numberOrBlank(parseField(cutField(cut, 1), item.part)) || item.part < 0 || allBlank(cut.fields, 2)) return false;
  for (size_t j = 0; j < nodeCount; ++j) {
    if (!numberOrBlank(parseField(cutField(cut, 2 + j), item.nodes[j]))) return false;
  }
  if (missingNode<Record, nodeCount>(item.nodes) != 0) return false;
  if constexpr (std::is_same_v<Record, ShellElementCuda>) {
    if (shellNodeBeyondN4(cut, item.nodes[3]) != 0) return false;
  }
  if constexpr (std::is_same_v<Record, DiscreteCuda>) {
    if (discreteFieldOffDefault(cut) != 0) return false;
  }
  items.push_back(item);
  return true;
}

// Reads an element block of one line per element on all threads when every
// line reads on its own (false, nothing done, otherwise); the elements are
// booked in line order.
template <class Record, int nodeCount>
bool readElementLinesAtOnce(KeywordReader& reader, const std::string& block, const std::string& family,
                            std::vector<Record> ElmManager::*list) {
  std::string storage;
  std::vector<LineStretch<ElementLine<nodeCount>>> stretches;
  if (!readLineStretches<ElementLine<nodeCount>>(blockDataText(block, storage), 1,
                                                 readElementLineAlone<Record, nodeCount>, stretches)) {
    return false;
  }
  // Booked in line order: each element's part (of those of the block, in
  // order of appearance) and its place among the part's new records.
  struct Place {
    uint32_t part;
    uint32_t slot;
    int index;
  };
  std::vector<Place> places;
  std::vector<int> partNumbers;
  std::vector<uint32_t> counts;
  std::unordered_map<int, uint32_t> partOf;
  const size_t booked = bookInLineOrder(stretches, [&](const ElementLine<nodeCount>& item, size_t k) {
    int index = 0;
    const int number =
        reader.bookElement(familyCode<Record>(), item.id, item.nodes, nodeCount, item.part, family.c_str(), index, k);
    if (number == 0) return false;
    const auto [at, added] = partOf.emplace(number, static_cast<uint32_t>(partNumbers.size()));
    if (added) {
      partNumbers.push_back(number);
      counts.push_back(0);
    }
    places.push_back({at->second, counts[at->second]++, index});
    return true;
  });
  // The records, cleared and filled where they stay.
  std::vector<Record*> firstNew;
  for (size_t p = 0; p < partNumbers.size(); ++p) {
    std::vector<Record>& records = reader.partList(partNumbers[p], list);
    fem_host_memory::reserveAndPopulate(records, counts[p]);
    records.resize(records.size() + counts[p]);
    firstNew.push_back(records.data() + records.size() - counts[p]);
  }
  writeBookedItems(stretches, booked, [&](const ElementLine<nodeCount>& item, size_t i) {
    Record& element = firstNew[places[i].part][places[i].slot];
    std::memset(static_cast<void*>(&element), 0, sizeof(Record));
    element.id = item.id;
    for (int j = 0; j < nodeCount; ++j) element.node_id[j] = item.nodes[j];
    element.store_id = places[i].index;
  });
  return true;
}

// Reads an element block, one element per line in columns of 8: element
// id, part id and nodeCount node ids (fields after them are not used). With
// extraLines > 0 every element line is followed by that many lines, handed
// to onExtraLine with the element (when given). A solid line of its id and
// part alone is the two-line form: its nodes N1 to N10 follow on the next
// line (N9, N10 must be blank: no ten-node solid is read here). Another
// element line without node ids is refused.
template <class Record, int nodeCount>
void readElementLines(KeywordReader& reader, FieldStream& fields, const std::string& block, int extraLines,
                      std::vector<Record> ElmManager::*list,
                      const std::function<void(const Record&, int, const std::string&, int)>& onExtraLine = {}) {
  const std::string family = blockHeader(block);
  if (extraLines == 0 && readElementLinesAtOnce<Record, nodeCount>(reader, block, family, list)) return;
  // A blank extra line is a card of defaults: it keeps its place.
  const std::vector<std::string> lines = extraLines > 0 ? splitDeckLinesKeepingBlanks(block) : splitDeckLines(block);
  // Room for every line of the block in the list of the part of its first
  // element (a block usually holds one part); other parts grow as usual.
  size_t expected = cardLineEnd(lines) / (1 + static_cast<size_t>(extraLines));
  FieldCut f;
  for (size_t i = 1; i < cardLineEnd(lines) && !reader.refused(); i += 1 + static_cast<size_t>(extraLines)) {
    if (blankLine(lines[i])) {
      i -= static_cast<size_t>(extraLines);  // a blank line is no element line
      continue;
    }
    takeCardLine(lines[i]);
    noteCutProblem(cutElementLine<Record, nodeCount>(lines[i], f), lines[i]);
    Record element = zeroRecord<Record>();
    int part = 0;
    const FieldStatus status = fields.read(f, 0, element.id);
    if (status != FieldStatus::Number) {
      // A field that does not read refuses the deck after the block.
      if (status == FieldStatus::Blank)
        reader.refuse(reader.lineWhere(family, lines[i]) + ": the line gives no element id");
      return;
    }
    fields.read(f, 1, part);
    if (reader.refuseNegativeId(family, lines[i], 1, "EID", element.id) ||
        reader.refuseNegativeId(family, lines[i], 2, "PID", part))
      return;
    if (allBlank(f.fields, 2)) {
      if (!std::is_same_v<Record, SolidElementCuda> || extraLines > 0 || i + 1 >= cardLineEnd(lines)) {
        reader.refuseForm(family, "element " + std::to_string(element.id) +
                                      ": the line holds no node ids; the form with the nodes on further "
                                      "lines is not read by this version");
        return;
      }
      cutDataFields(lines[++i], kElementWidths, 10, f);
      int midNodes[2] = {0, 0};
      fields.read(f, 8, midNodes[0]);
      fields.read(f, 9, midNodes[1]);
      if (midNodes[0] != 0 || midNodes[1] != 0) {
        reader.refuse(reader.lineWhere(family, lines[i]) + ": element " + std::to_string(element.id) +
                      " gives nodes N9, N10: ten-node solids are not read from keyword decks");
        return;
      }
      for (int j = 0; j < nodeCount; ++j) fields.read(f, static_cast<size_t>(j), element.node_id[j]);
    } else {
      for (int j = 0; j < nodeCount; ++j) fields.read(f, 2 + static_cast<size_t>(j), element.node_id[j]);
    }
    if (fields.problem().any()) return;
    if (const int missing = missingNode<Record, nodeCount>(element.node_id)) {
      reader.refuse(reader.lineWhere(family, lines[i]) + ": element " + std::to_string(element.id) +
                    " gives no node in node field " + std::to_string(missing) + " (blank or 0)");
      return;
    }
    if constexpr (std::is_same_v<Record, ShellElementCuda>) {
      if (const int n = shellNodeBeyondN4(f, element.node_id[3])) {
        int node = 0;
        fields.read(f, static_cast<size_t>(n) + 1, node);  // text or a fraction: the field is named
        if (!fields.problem().any()) {
          reader.refuse(reader.lineWhere(family, lines[i]) + ": element " + std::to_string(element.id) +
                        " gives node N" + std::to_string(n) + " " + std::to_string(node) +
                        ": eight-node shells are not read from keyword decks (N5-N8 must be blank, 0 or N4)");
        }
        return;
      }
    }
    if constexpr (std::is_same_v<Record, DiscreteCuda>) {
      if (const int k = discreteFieldOffDefault(f)) {
        static const char* const kNames[] = {"VID", "S", "PF", "OFFSET"};
        double value = 0.0;
        fields.read(f, static_cast<size_t>(k) - 1, value);  // text: the field is named
        if (!fields.problem().any()) {
          std::ostringstream text;
          text << value;
          reader.refuse(reader.lineWhere(family, lines[i]) + ", field " + std::to_string(k) + ": element " +
                        std::to_string(element.id) + " gives " + kNames[k - 5] + " " + text.str() +
                        ", which this version does not read (only its default)");
        }
        return;
      }
    }
    reader.storeElement(element, part, nodeCount, family.c_str(), i, list, expected);
    expected = 0;
    for (int j = 0; onExtraLine && j < extraLines && i + 1 + static_cast<size_t>(j) < lines.size(); ++j) {
      onExtraLine(element, part, lines[i + 1 + static_cast<size_t>(j)], j);
    }
  }
}

// Options of an element keyword: each known one is accepted, the first
// unknown one refuses the block. Returns false when refused.
bool KeywordReader::elementOptions(const std::string& keyword, const std::string& name,
                                   const std::vector<std::string>& known) {
  for (const std::string& option : keywordOptions(keyword, name)) {
    bool found = false;
    for (const std::string& k : known) found = found || option == k;
    if (!found) {
      refuseForm(keyword, "is not read by this version (option " + option + ")");
      return false;
    }
  }
  return true;
}

void KeywordReader::readShells(const std::string& block) {
  const std::string keyword = blockHeader(block);
  // THICKNESS, BETA and MCID add a line per element: the nodal thicknesses
  // THIC1 to THIC4, then an angle or a coordinate system of the material
  // axes (no material of this version has axes); OFFSET adds a line with
  // the offset of the shell from its nodes. A thickness is taken when
  // blank or that of the part's section (checked once every block is
  // read); another thickness, or an offset, refuses the deck.
  if (!elementOptions(keyword, "*ELEMENT_SHELL", {"THICKNESS", "BETA", "MCID", "OFFSET"})) return;
  std::vector<std::string> options = keywordOptions(keyword, "*ELEMENT_SHELL");
  const bool offsetLine = std::erase(options, "OFFSET") > 0;
  const int extraLines = (options.empty() ? 0 : 1) + (offsetLine ? 1 : 0);
  auto extraLine = [this, &keyword, offsetLine, extraLines](const ShellElementCuda& shell, int part,
                                                            const std::string& line, int j) {
    const std::vector<std::string> f = dataFields(line, kSixteenWidths, offsetLine && j == extraLines - 1 ? 1 : 5, 1);
    if (offsetLine && j == extraLines - 1) {
      double offset = 0.0;
      if (fields_.read(f[0], offset) == FieldStatus::Number && offset != 0.0) {
        std::ostringstream value;
        value << offset;
        unreadMechanics(keyword, cardLineText(*this, keyword, line) + "element " + std::to_string(shell.id) +
                                     ": OFFSET " + value.str() +
                                     " asks for a shell off its nodes' plane, "
                                     "which this version does not compute");
      }
      return;
    }
    for (int k = 0; k < 4; ++k) {
      double t = 0.0;
      if (fields_.read(f[static_cast<size_t>(k)], t) != FieldStatus::Number || t == 0.0) continue;
      ownShellThicknesses_.push_back({lineWhere(keyword, line), shell.id, part, t});
    }
  };
  readElementLines<ShellElementCuda, 4>(*this, fields_, block, extraLines, &ElmManager::shell_element_array_cpu,
                                        extraLine);
}

void KeywordReader::refuseOwnShellThicknesses() {
  for (const OwnShellThickness& own : ownShellThicknesses_) {
    const auto part = fem_->part_id_map.find(own.deckPart);
    if (part == fem_->part_id_map.end()) continue;  // the missing part is named at set-up
    const Part& p = fem_->part_array[static_cast<size_t>(part->second - 1)];
    const auto section = state_.sectionNumberMap.find(p.section_id);
    if (section == state_.sectionNumberMap.end()) continue;  // named at set-up
    const double t = fem_->sectionManager->section_array[static_cast<size_t>(section->second - 1)].thickness[0];
    if (std::fabs(own.thickness - t) <= 1e-9 * std::fabs(t)) continue;
    std::ostringstream message;
    message << own.where << ": element " << own.element << " gives its own thickness " << own.thickness
            << " where its part's section " << p.section_id << " gives " << t
            << "; shells of one part share their section's thickness in this version: give such elements a "
               "part and section of their own";
    refuse(message.str());
    break;
  }
  ownShellThicknesses_.clear();
}

void KeywordReader::readSolids(const std::string& block) {
  if (!elementOptions(blockHeader(block), "*ELEMENT_SOLID", {})) return;
  readElementLines<SolidElementCuda, 8>(*this, fields_, block, 0, &ElmManager::solid_element_array_cpu);
}

void KeywordReader::readDiscretes(const std::string& block) {
  if (!elementOptions(blockHeader(block), "*ELEMENT_DISCRETE", {})) return;
  readElementLines<DiscreteCuda, 2>(*this, fields_, block, 0, &ElmManager::discrete_element_array_cpu);
}

void KeywordReader::readBeams(const std::string& block) {
  const std::string keyword = blockHeader(block);
  if (!elementOptions(keyword, "*ELEMENT_BEAM", {})) return;
  readElementLines<BeamElementCuda, 3>(*this, fields_, block, 0, &ElmManager::beam_element_array_cpu);
  // Fields 6 to 9 release end degrees of freedom (RT1, RR1, RT2, RR2): the
  // beams of this version hold both ends in every degree of freedom.
  const std::vector<std::string> lines = splitDeckLines(block);
  for (size_t i = 1; i < cardLineEnd(lines) && !refused_; ++i) {
    if (blankLine(lines[i])) continue;
    int element = 0, releases[4] = {0, 0, 0, 0}, skip[4] = {0, 0, 0, 0};
    readFields(dataFields(lines[i], kElementWidths, 9, 4), element, skip, releases);
    for (int r = 0; r < 4 && !refused_; ++r) {
      if (releases[r] == 0) continue;
      static const char* const kName[4] = {"RT1", "RR1", "RT2", "RR2"};
      refuse(lineWhere(keyword, lines[i]) + ": element " + std::to_string(element) + " releases its end (" + kName[r] +
             " " + std::to_string(releases[r]) +
             "); this version does not compute end releases: leave RT1, RR1, RT2 and RR2 blank");
    }
  }
}

void KeywordReader::readMasses(const std::string& block) {
  const std::string keyword = blockHeader(block);
  if (keyword != "*ELEMENT_MASS" && keyword != "*ELEMENT_MASS_PART_SET") {
    refuseForm(keyword, "is not read by this version");
    return;
  }
  const bool partSet = keyword == "*ELEMENT_MASS_PART_SET";
  const std::vector<std::string> lines = splitDeckLines(block);
  for (size_t i = 1; i < cardLineEnd(lines) && !refused_; ++i) {
    PointMass mass;
    if (partSet) {
      const std::vector<std::string> f = dataFields(lines[i], kTenWidths, 4);
      readFields(f, mass.part_set_value1, mass.part_set_node, mass.part_set_value3, mass.part_set_value4);
    } else {
      const std::vector<std::string> f = dataFields(lines[i], kMassWidths, 3);
      readFields(f, mass.mass_value1, mass.mass_values[0], mass.mass_values[1]);
    }
    mass.store_id = nextElementIndex();
    fem_->point_mass_array->push_back(mass);
  }
  // The masses are kept, but no node carries them in this version.
  unreadBlock(keyword);
}

void KeywordReader::readAccelerometers(const std::string& block) {
  const std::vector<std::string> lines = splitDeckLines(block);
  for (size_t i = 1; i < cardLineEnd(lines) && !refused_; ++i) {
    Accelerometer accelerometer;
    const std::vector<std::string> f = dataFields(lines[i], kTenWidths, 4);
    readFields(f, accelerometer.id, accelerometer.node_id);
    accelerometer.store_id = nextElementIndex();
    fem_->accelerometer_array->push_back(accelerometer);
  }
  unreadBlock(blockHeader(block));
}

void KeywordReader::readAirbag(const std::string& block) {
  const std::vector<std::string> lines = splitDeckLines(block);
  const std::string header = blockHeader(block);
  Airbag airbag;
  if (lines.size() > 1) {
    std::istringstream stream(lines[1]);
    stream >> airbag.id >> airbag.title;
  }
  const bool pressureVolume = header.find("SIMPLE_PRESSURE_VOLUME") != std::string::npos;
  const bool airbagModel = !pressureVolume && header.find("SIMPLE_AIRBAG_MODEL") != std::string::npos;
  if (pressureVolume || airbagModel) {
    std::string fields[8];
    splitCardFields10(lines, fields, 2, 8);
    for (int j = 0; j < 3; ++j) readField(fields[j], airbag.card2_ints[j]);
    for (int j = 0; j < 5; ++j) readField(fields[3 + j], airbag.card2_values[j]);
    if (pressureVolume) {
      splitCardFields10(lines, fields, 3, 4);
      readField(fields[0], airbag.card3_values[0]);
      readField(fields[1], airbag.card3_values[1]);
      readField(fields[2], airbag.card3_int);
      readField(fields[3], airbag.card3_int2);
    } else {
      splitCardFields10(lines, fields, 3, 8);
      for (int j = 0; j < 3; ++j) readField(fields[j], airbag.card3_values[j]);
      readField(fields[3], airbag.card3_int);
      for (int j = 0; j < 4; ++j) readField(fields[4 + j], airbag.card3_values[3 + j]);
    }
  }
  fem_->airbag_array->push_back(airbag);
  // Kept, but no airbag pressure acts in this version.
  unreadBlock(header);
}
