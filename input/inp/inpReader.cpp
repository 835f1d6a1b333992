// The ".inp" block loop: keyword recognition by name, steps, refused and
// unread keywords; then the hand-over to the keyword-deck card families.
#include "input/inp/inpReader.h"

#include <boost/algorithm/string/join.hpp>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <set>
#include <sstream>

#include "input/deckText.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"

namespace {

// A number as decks write it: a sign, digits with at most one point, and an
// exponent after "E" or "e" ("1.", "-.5", "2.1E+05"); never the other forms
// the standard conversion takes (hexadecimal "0x0F", "inf", "nan").
bool decimalNumberText(const std::string& text) {
  size_t i = 0;
  auto digits = [&text, &i] {
    const size_t from = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) ++i;
    return i - from;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == text.size();
}

}  // namespace

bool inpNumber(const std::string& field, double& value) {
  if (!decimalNumberText(field)) return false;
  errno = 0;
  const double read = std::strtod(field.c_str(), nullptr);
  if (errno == ERANGE || !std::isfinite(read)) return false;
  value = read;
  return true;
}

bool inpInteger(const std::string& field, int& value) {
  double read = 0.0;
  // The range first: converting a double beyond it to an integer is undefined.
  if (!inpNumber(field, read) || read > 2147483647.0 || read < -2147483648.0 || read != std::trunc(read)) {
    return false;
  }
  value = static_cast<int>(read);
  return true;
}

void InpReader::refuse(const std::string& message) {
  std::cerr << "Inp deck refused: " << message << std::endl;
  refused_ = true;
}

void InpReader::warn(const std::string& message) { std::cerr << "Inp deck: " << message << std::endl; }

bool InpReader::onlyFields(const InpBlock& block, const InpLines::Line& line, size_t count, const char* fields,
                           bool numbers) {
  for (size_t k = 0; numbers && k < std::min(count, line.size()); ++k) {
    double value = 0.0;
    if (line[k].empty() || inpNumber(line[k], value)) continue;
    refuse("*" + block.keyword.name + inpAtLine(block.lines.numberOf(line)) + ": field " + std::to_string(k + 1) +
           " holds \"" + line[k] + "\", which is not a number (" + fields + ")");
    return false;
  }
  for (size_t k = count; k < line.size(); ++k) {
    if (line[k].empty()) continue;
    refuse("*" + block.keyword.name + inpAtLine(block.lines.numberOf(line)) + ": field " + std::to_string(k + 1) +
           " holds \"" + line[k] + "\", past the fields this version reads from the line (" + fields +
           "); it is not read");
    return false;
  }
  return true;
}

namespace {

// Keywords whose blocks are nothing but their data lines: without a line
// the block would define nothing, as when a deck was cut short.
const std::set<std::string> kDataLineKeywords = {"NODE",
                                                 "ELEMENT",
                                                 "NSET",
                                                 "ELSET",
                                                 "BOUNDARY",
                                                 "INITIALCONDITIONS",
                                                 "DSLOAD",
                                                 "TIE",
                                                 "MPC",
                                                 "SURFACE",
                                                 "CONTACTPAIR",
                                                 "CONTACTINCLUSIONS",
                                                 "CONTACTPROPERTYASSIGNMENT",
                                                 "DENSITY",
                                                 "ELASTIC",
                                                 "PLASTIC",
                                                 "FRICTION",
                                                 "DYNAMIC",
                                                 "SHELLSECTION",
                                                 "MEMBRANESECTION"};

}  // namespace

bool InpReader::hasDataLines(const InpBlock& block) {
  if (!block.lines.empty() || kDataLineKeywords.count(block.keyword.name) == 0) return true;
  // Inclusions of ALL EXTERIOR and ROUGH friction need no line.
  if (block.keyword.name == "CONTACTINCLUSIONS" && block.keyword.has("ALLEXTERIOR")) return true;
  if (block.keyword.name == "FRICTION" && block.keyword.has("ROUGH")) return true;
  refuse(block.where() + " has no data line; the deck seems cut short");
  return false;
}

bool InpReader::readBlocks(const std::vector<InpBlock>& blocks) {
  for (size_t i = 0; i < blocks.size(); ++i) {
    const size_t first = i;
    const InpBlock& block = blocks[i];
    const std::string& name = block.keyword.name;
    const std::string where = block.where();
    if (!hasDataLines(block)) continue;
    if (name == "STEP") {
      // Large displacements are always computed; INC bounds implicit increments.
      refuseUnreadOptions(block, {"NAME", "NLGEOM"}, {"INC"});
      if (block.keyword.choice("NLGEOM") == "NO") {
        unreadMechanics(block, "NLGEOM=NO asks for a geometrically linear step");
      }
      ++stepCount_;
      if (stepCount_ > 1) {
        unreadMechanics(block,
                        "only the first step is run: the loads, boundaries and time of this step "
                        "would be left out");
        while (i + 1 < blocks.size() && blocks[i].keyword.name != "ENDSTEP") blocks[++i].lines.takeAll();
      }
      // A first data line is the step's title.
      if (!block.lines.empty()) block.lines.take(0);
      inStep_ = true;
    } else if (name == "ENDSTEP") {
      inStep_ = false;
    } else if (name == "NODE") {
      readNodes(block);
    } else if (name == "SYSTEM") {
      readSystem(block);
    } else if (name == "ELEMENT") {
      readElements(block);
    } else if (name == "NSET") {
      readNodeSet(block);
    } else if (name == "ELSET") {
      readElementSet(block);
    } else if (name == "SOLIDSECTION" || name == "SHELLSECTION" || name == "MEMBRANESECTION") {
      readSection(block);
    } else if (name == "SECTIONCONTROLS") {
      readSectionControls(block);
    } else if (name == "RIGIDBODY") {
      readRigidBody(block);
    } else if (name == "MATERIAL") {
      i = readMaterial(blocks, i);
    } else if (name == "AMPLITUDE") {
      readAmplitude(block);
    } else if (name == "BOUNDARY") {
      readBoundary(block);
    } else if (name == "INITIALCONDITIONS") {
      readInitialConditions(block);
    } else if (name == "DYNAMIC") {
      readDynamic(block);
    } else if (name == "SURFACE") {
      readSurface(block);
    } else if (name == "CONTACTPAIR") {
      readContactPair(block);
    } else if (name == "CONTACT") {
      i = readContact(blocks, i);
    } else if (name == "SURFACEINTERACTION") {
      i = readSurfaceInteraction(blocks, i);
    } else if (name == "TIE") {
      readTie(block);
    } else if (name == "MPC") {
      readMpc(block);
    } else if (name == "DSLOAD") {
      readDsload(block);
    } else if (name == "OUTPUT") {
      i = readOutput(blocks, i);
    } else if (name == "PART") {
      currentPartName_ = block.keyword.option("NAME");
    } else if (name == "INSTANCE" && !block.lines.empty()) {
      refuse(where + ": the instance " + block.keyword.option("NAME") +
             " moves its part (translation or rotation lines), which this version does not read");
    } else if (name == "INCLUDE") {
      refuse(where + ": included files are not read by this version: \"" + block.keyword.option("INPUT") +
             "\"; merge it into the deck");
    } else {
      unreadBlock(block);
    }
    if (name == "ENDPART") currentPartName_.clear();
    refuseUntakenLines(blocks, first, i);
  }
  refuseElementsOnUndefinedNodes();
  refuseUnreadMechanics();
  return !refused_;
}

void InpReader::refuseUntakenLines(const std::vector<InpBlock>& blocks, size_t first, size_t last) {
  for (size_t b = first; b <= last && b < blocks.size(); ++b) {
    const InpLines& lines = blocks[b].lines;
    linesSeen_ += 1 + lines.size();
    ++linesTaken_;
    for (size_t k = 0; k < lines.size(); ++k) {
      if (lines.taken(k)) {
        ++linesTaken_;
        continue;
      }
      if (refused_) continue;
      refuse("*" + blocks[b].keyword.name + inpAtLine(lines.number(k)) + ": the line \"" +
             boost::join(lines.unread(k), ", ") + "\" is past the data lines the block takes; it is not read");
    }
  }
}

void InpReader::refuseElementsOnUndefinedNodes() {
  for (const ElementNodes& named : laterNodes_) {
    std::string undefined;
    for (int node : named.nodes) {
      if (nodeIds_.count(node) == 0) undefined += (undefined.empty() ? "node " : ", node ") + std::to_string(node);
    }
    if (undefined.empty()) continue;
    refuse(named.where + ": element " + std::to_string(named.element) + " names " + undefined +
           ", which no *NODE line defines");
    break;
  }
  laterNodes_.clear();
}

namespace {

// Hands the translated blocks to the keyword card families and completes
// the model as for a keyword deck.
int completeThroughKeywordFamilies(FEMDynamic* fem, const std::vector<std::string>& blocks) {
  KeywordDeckState state;
  KeywordReader reader(fem, state);
  if (!reader.readBlocks(blocks)) return 0;
  return completeKeywordDeck(fem, state) ? 1 : 0;
}

}  // namespace

namespace {

// Refuses (false, after a message) a deck text with a control character
// (a NUL byte, a form feed ...) outside its comment lines - a field holding
// one would end there and lose the rest - or with a line that holds
// anything before the first keyword, which belongs to no block.
bool deckTextReadable(const std::string& text) {
  bool keywordSeen = false;
  size_t number = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    ++number;
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line.substr(first, 2) == "**") continue;
    for (size_t k = 0; k < line.size(); ++k) {
      const unsigned char c = static_cast<unsigned char>(line[k]);
      if ((c < 0x20 && c != '\t' && c != '\r') || c == 0x7f) {
        char code[8];
        std::snprintf(code, sizeof(code), "0x%02X", c);
        std::cerr << "Inp deck refused: line " << number << ", character " << k + 1 << " is the control character "
                  << code << "; a deck holds text only" << std::endl;
        return false;
      }
    }
    if (!keywordSeen && line[first] != '*') {
      std::cerr << "Inp deck refused: line " << number << " \"" << line.substr(first)
                << "\" comes before the first keyword and belongs to no block" << std::endl;
      return false;
    }
    keywordSeen = true;
  }
  return true;
}

}  // namespace

int readInpText(FEMDynamic* fem, const std::string& text, const std::string& deckName, DeckLineTally* tally) {
  if (!deckTextReadable(text)) return 0;
  InpModel model;
  InpReader reader(model);
  std::vector<InpBlock> blocks = cutInpBlocks(text);
  reader.readInstances(blocks);
  const bool read = reader.readBlocks(blocks);
  if (tally != nullptr) *tally = DeckLineTally{reader.linesSeen(), reader.linesTaken()};
  if (!read || !reader.resolve()) {
    std::cerr << "Inp deck refused: " << deckName << " is not run (see the messages above)" << std::endl;
    return 0;
  }
  InpTranslation ids;
  if (completeThroughKeywordFamilies(fem, translateInpModel(model, ids)) == 0) return 0;
  finishInpModel(model, ids, fem);
  if (!completeInpElements(model, fem)) return 0;
  if (!applyInpSmoothFem(model, fem)) return 0;
  completeInpMaterials(model, fem);
  addInpOutputs(model, fem);
  applyInpOutputInterval(model, fem);
  return 1;
}

void applyInpOutputInterval(const InpModel& model, FEMDynamic* fem) {
  double interval = model.outputInterval;
  if (interval <= 0.0 && model.outputCount > 0) interval = model.endTime / model.outputCount;
  if (interval > 0.0 && fem->timeControl->output_interval < 1e-10) fem->timeControl->output_interval = interval;
}

int readInpDeck(FEMDynamic* fem, const std::string& deckPath) {
  std::string text;
  if (!readDeckFileText(deckPath, text, "Inp deck refused")) return 0;
  return readInpText(fem, text, deckPath);
}
