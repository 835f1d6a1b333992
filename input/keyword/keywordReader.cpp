// The keyword-deck frame: working copy, blocks, keyword recognition, card
// lines and fields.
#include "input/keyword/keywordReader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <boost/algorithm/string.hpp>
#include <filesystem>
#include <iostream>
#include <iterator>

#include "elements/common/elmmanager.h"
#include "input/keyword/cardLineLedger.h"
#include "input/deckText.h"
#include "input/keyword/knownKeywords.h"
#include "input/link/preprocessModel.h"
#include "platform/hostMemory.h"
#include "solver/femdynamic.h"

namespace {

// Removes the blanks at the end of a text.
void trimTrailingBlanks(std::string& text) { boost::trim_right_if(text, boost::is_any_of(" ")); }

void splitCardFields(const std::vector<std::string>& lines, std::string* fields, int k, int n, int width) {
  if (k < 0 || static_cast<size_t>(k) >= lines.size()) {
    for (int i = 0; i < n; ++i) fields[i].clear();
    return;
  }
  // Marks the line as taken by this card.
  const std::vector<std::string> cut = splitFixedFields(lines[static_cast<size_t>(k)], {width}, n);
  for (int i = 0; i < n; ++i) fields[i] = cut[static_cast<size_t>(i)];
}

// The first word of a block's first line in capitals.
std::string keywordOf(const std::string& block) {
  std::string keyword = block.substr(0, block.find_first_of(" \t\r\n,"));
  boost::to_upper(keyword);
  return keyword;
}

}  // namespace

void cleanDeckLines(std::string& block) {
  for (char& c : block) {
    if (c == '\r' || c == '\t') c = ' ';
  }
  trimTrailingBlanks(block);
}

void cleanDeckBlock(std::string& block) {
  std::replace(block.begin(), block.end(), '\n', ' ');
  cleanDeckLines(block);
}

std::vector<std::string> splitDeckLines(std::string block) {
  cleanDeckLines(block);
  // Every line keeps its place, blank ones too: a blank line is a card of
  // blank fields where the block takes a card. The final newline leaves
  // one empty entry.
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(std::count(block.begin(), block.end(), '\n')) + 1);
  boost::split(lines, block, [](char c) { return c == '\n'; });
  if (lines.empty() || !lines.back().empty()) lines.emplace_back();
  if (CardLineLedger* ledger = CardLineLedger::open()) ledger->registerLines(lines);
  return lines;
}

std::vector<std::string> splitDeckLinesKeepingBlanks(std::string block) { return splitDeckLines(std::move(block)); }

size_t cardLineEnd(const std::vector<std::string>& lines) {
  return !lines.empty() && lines.back().empty() ? lines.size() - 1 : lines.size();
}

void splitCardFields10(const std::vector<std::string>& lines, std::string* fields, int k, int n) {
  splitCardFields(lines, fields, k, n, 10);
}

void splitCardFields8(const std::vector<std::string>& lines, std::string* fields, int k, int n) {
  splitCardFields(lines, fields, k, n, 8);
}

namespace {

// Position of the next character c at or after from (the text's size when
// there is none), found again only once the walk has passed it.
struct NextOf {
  char c;
  size_t at = 0;
  bool started = false;
  size_t from(std::string_view text, size_t position) {
    if (!started || at < position) {
      at = std::min(text.find(c, position), text.size());
      started = true;
    }
    return at;
  }
};

// A deck line that holds anything before its "$".
bool holdsText(std::string_view line) { return line.find_first_not_of(" \t\r") != std::string_view::npos; }

}  // namespace

std::vector<DeckBlock> cutDeckBlocks(const std::string& text, DeckLineCount* count) {
  std::vector<DeckBlock> blocks;
  const std::string_view deck(text);
  // Lines without "$", return or tab go into their block as they stand:
  // runs of them are copied at once.
  NextOf dollar{'$'}, ret{'\r'}, tab{'\t'};
  size_t runStart = 0, runEnd = 0;
  auto flush = [&] {
    if (runEnd > runStart) blocks.back().text.append(deck.substr(runStart, runEnd - runStart));
    runStart = runEnd = 0;
  };
  size_t start = 0;
  for (int number = 1; start < deck.size(); ++number) {
    const size_t end = std::min(deck.find('\n', start), deck.size());
    std::string_view line = deck.substr(start, end - start);
    const size_t lineStart = start;
    start = end + 1;
    const bool plain =
        dollar.from(deck, lineStart) >= end && ret.from(deck, lineStart) >= end && tab.from(deck, lineStart) >= end;
    if (!plain) {
      // A line whose first non-blank is "$" is a comment, indented or not.
      const size_t first = line.find_first_not_of(" \t\r");
      if (first != std::string_view::npos && line[first] == '$') continue;
      line = line.substr(0, std::min(line.find('$'), line.size()));
    }
    if (count != nullptr && holdsText(line)) {
      if (blocks.empty() && line[0] != '*' && count->strayLine == 0) {
        count->strayLine = number;
        count->strayText = boost::trim_copy(std::string(line));
      }
      ++count->lines;
    }
    if (!line.empty() && line[0] == '*') {
      if (!blocks.empty()) flush();
      // Room for the block's lines up to the next keyword line.
      const size_t next = deck.find("\n*", end);
      std::string& room = blocks.emplace_back().text;
      room.reserve((next == std::string::npos ? deck.size() : next) - end + line.size() + 1);
      fem_host_memory::populatePages(room.data(), room.capacity());
    }
    if (blocks.empty()) continue;
    DeckBlock& block = blocks.back();
    block.lineNumbers.push_back(number);
    if (plain && end < deck.size()) {
      // The line and its newline, after the run so far.
      if (runEnd != lineStart) {
        flush();
        runStart = lineStart;
      }
      runEnd = end + 1;
      continue;
    }
    flush();
    const size_t at = block.text.size();
    block.text.append(line).push_back('\n');
    std::replace(block.text.begin() + static_cast<std::ptrdiff_t>(at), block.text.end(), '\r', ' ');
    std::replace(block.text.begin() + static_cast<std::ptrdiff_t>(at), block.text.end(), '\t', ' ');
  }
  if (!blocks.empty()) flush();
  return blocks;
}

bool isKeywordDeckName(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = boost::to_upper_copy(fileName.substr(dot + 1));
  return extension == "K" || extension == "KEY" || extension == "DYN";
}

std::string blockHeader(const std::string& block) { return keywordOf(block); }

std::string withoutTitle(const std::string& keyword) {
  const std::string suffix = "_TITLE";
  if (keyword.size() > suffix.size() && keyword.compare(keyword.size() - suffix.size(), suffix.size(), suffix) == 0) {
    return keyword.substr(0, keyword.size() - suffix.size());
  }
  return keyword;
}

bool keywordIs(const std::string& keyword, const std::string& name) {
  const std::string full = !name.empty() && name[0] == '*' ? name : "*" + name;
  return keyword == full ||
         (keyword.size() > full.size() && keyword.compare(0, full.size(), full) == 0 && keyword[full.size()] == '_');
}

std::string blockKeyword(const std::string& block) {
  std::string keyword = block.substr(0, block.find('\n'));
  keyword.erase(keyword.find_last_not_of(" \t\r") + 1);
  return keyword;
}

int firstCardLine(const std::string& header, const std::vector<std::string>& lines, std::string* title, int* id) {
  const std::string line1 = lines.size() > 1 ? lines[1] : std::string();
  if (id != nullptr && header.find("_ID") != std::string::npos) {
    takeCardLine(lines, 1);
    readIdLine(line1, *id, title);
    return 2;
  }
  if (header.find("_TITLE") != std::string::npos) {
    takeCardLine(lines, 1);
    if (title != nullptr) std::istringstream(line1) >> *title;
    return 2;
  }
  return 1;
}

std::string readIdCardLine(const std::string& line, int& id) {
  takeCardLine(line);
  long long value = 0;
  const std::string columns = line.substr(0, std::min<size_t>(10, line.size()));
  if (line.find(',') == std::string::npos && parseFieldInteger(columns, value) == FieldStatus::Number &&
      value >= INT_MIN && value <= INT_MAX) {
    id = static_cast<int>(value);
    return boost::trim_copy(line.size() > 10 ? line.substr(10) : std::string());
  }
  std::string text = line;
  std::replace(text.begin(), text.end(), ',', ' ');
  std::istringstream words(text);
  std::string word;
  words >> word;
  FieldStatus status = parseFieldInteger(word, value);
  if (status == FieldStatus::Number && (value < INT_MIN || value > INT_MAX)) status = FieldStatus::OutOfRange;
  if (status == FieldStatus::Number) {
    id = static_cast<int>(value);
  } else if (status != FieldStatus::Blank) {
    noteCutProblem(status, word, line);
  }
  std::string heading;
  std::getline(words, heading);
  return boost::trim_copy(heading);
}

void readIdLine(const std::string& line, int& id, std::string* title) {
  const std::string heading = readIdCardLine(line, id);
  if (title != nullptr) std::istringstream(heading) >> *title;
}

KeywordDeckFiles keywordDeckFiles(const std::string& deckPath, const std::string& workPath) {
  KeywordDeckFiles files;
  const size_t cut = deckPath.find_last_of("/\\");
  files.folder = cut == std::string::npos ? std::string() : deckPath.substr(0, cut + 1);
  files.fileName = cut == std::string::npos ? deckPath : deckPath.substr(cut + 1);
  files.workFolder = workPath.empty() ? files.folder + "temp" : workPath + "/temp";
  files.workCopy = files.workFolder + "/temp_" + files.fileName;
  files.checkList = files.workFolder + "/outForVerify_" + files.fileName;
  return files;
}

bool IdRegister::add(int id) {
  if (ascending_.empty() || id > ascending_.back()) {
    ascending_.push_back(id);
    return true;
  }
  if (std::binary_search(ascending_.begin(), ascending_.end(), id)) return false;
  return others_.insert(id).second;
}

KeywordDeckState::KeywordDeckState() = default;
KeywordDeckState::~KeywordDeckState() = default;

KeywordReader::KeywordReader(FEMDynamic* fem, KeywordDeckState& state) : fem_(fem), state_(state) {}

void KeywordReader::refuse(const std::string& message) {
  // A field or line that did not read comes first: what a family finds
  // wrong after it follows from it.
  if (!refused_ && (fields_.problem().any() || cutProblem().any())) {
    checkFields(currentHeader_);
    return;
  }
  std::cerr << "Keyword deck refused: " << message << std::endl;
  refused_ = true;
}

void KeywordReader::warn(const std::string& message) { std::cerr << "Keyword deck: " << message << std::endl; }

void KeywordReader::refuseForm(const std::string& keyword, const std::string& why) {
  const int line = current_ != nullptr ? current_->firstLine() : 0;
  refuse((line > 0 ? "line " + std::to_string(line) + ": " : std::string()) + "\"" + keyword + "\" " + why);
}

namespace {

// The first data line of a block, trimmed.
std::string firstDataLine(const std::string& block) {
  const std::vector<std::string> lines = splitDeckLines(block);
  std::string line = lines.size() > 1 ? lines[1] : std::string();
  boost::trim(line);
  return line;
}

}  // namespace

void KeywordReader::refuseParameter(const std::string& block) {
  refuse("parameters are not read by this version: \"" + blockHeader(block) + "\" defines \"" + firstDataLine(block) +
         "\"");
}

void KeywordReader::refuseInclude(const std::string& block) {
  refuse("included files are not read by this version: \"" + blockHeader(block) + "\" includes \"" +
         firstDataLine(block) + "\"; merge it into the deck");
}

// "*KEYWORD LONG=Y" (or another long form) announces fields of 20
// characters, which the 10-character cards would cut apart.
void KeywordReader::refuseLongFormat(const std::string& block) {
  std::string line = block.substr(0, block.find('\n'));
  boost::to_upper(line);
  boost::erase_all(line, " ");
  const size_t at = line.find("LONG=");
  if (at != std::string::npos && at + 5 < line.size() && line[at + 5] != 'N' && line[at + 5] != 'S') {
    refuse("\"" + line + "\": long-format fields are not read by this version");
  }
}

// After the keyword, "+" asks for long fields of 20 characters and "%" for
// integer fields of 10 characters beside the reals; the cards of this reader
// would cut such fields apart. "-" asks for the standard fields.
void KeywordReader::refuseKeywordLineText(const std::string& block, const std::string& header) {
  std::string rest = blockKeyword(block).substr(std::min(header.size(), blockKeyword(block).size()));
  boost::trim(rest);
  if (rest.empty() || rest == "-") return;
  refuse("\"" + blockKeyword(block) + "\"" + atLine() + ": \"" + rest +
         (rest == "+"   ? "\" asks for long-format fields of 20 characters, which this version does not read"
          : rest == "%" ? "\" asks for integer fields of 10 characters, which this version does not read"
                        : "\" after the keyword is not read by this version"));
}

int KeywordReader::deckLineOf(const std::string& cardLine) const {
  if (current_ == nullptr || cardLine.empty()) return 0;
  size_t k = 0;
  if (CardLineLedger::open() != nullptr && CardLineLedger::open()->placeOf(cardLine, k)) return deckLineAt(k);
  const std::string wanted = boost::trim_right_copy(cardLine);
  std::istringstream lines(current_->text);
  std::string line;
  for (size_t i = 0; std::getline(lines, line) && i < current_->lineNumbers.size(); ++i) {
    boost::trim_right(line);
    if (line == wanted) return current_->lineNumbers[i];
  }
  return 0;
}

std::string KeywordReader::lineWhere(const std::string& keyword, const std::string& cardLine) const {
  const int line = deckLineOf(cardLine);
  return "\"" + keyword + "\"" + (line > 0 ? ", line " + std::to_string(line) : std::string());
}

std::string KeywordReader::lineWhereAt(const std::string& keyword, size_t k) const {
  const int line = deckLineAt(k);
  return "\"" + keyword + "\"" + (line > 0 ? ", line " + std::to_string(line) : std::string());
}

std::string KeywordReader::cardAtLine(const std::string& keyword, size_t k) const {
  const int line = deckLineAt(k);
  return line > 0 ? keyword + " (line " + std::to_string(line) + ")" : keyword;
}

bool KeywordReader::refuseNegativeId(const std::string& keyword, const std::string& cardLine, int field,
                                     const char* name, int id) {
  if (id >= 0) return false;
  refuse(lineWhere(keyword, cardLine) + ", field " + std::to_string(field) + ": " + name + " " + std::to_string(id) +
         " is a negative id, which names nothing here");
  return true;
}

std::string KeywordReader::atLine() const {
  return current_ != nullptr && current_->firstLine() > 0 ? " (line " + std::to_string(current_->firstLine()) + ")"
                                                          : std::string();
}

void KeywordReader::checkFields(const std::string& keyword) {
  // A line that fits no layout comes before the fields cut from it.
  const FieldProblem problem =
      cutProblem().status == FieldStatus::NoLayout || !fields_.problem().any() ? cutProblem() : fields_.problem();
  fields_.clearProblems();
  clearCutProblem();
  if (problem.any() && !refused_) {
    std::string where = lineWhere(keyword, problem.line);
    if (problem.field > 0) where += ", field " + std::to_string(problem.field);
    const bool wholeLine = problem.status == FieldStatus::PastFields || problem.status == FieldStatus::NoLayout;
    refuse(where + (wholeLine ? ": the text \"" : ": the field \"") + problem.text + "\" " +
           fieldProblemText(problem.status));
  }
}

bool KeywordReader::readBlock(const std::string& block) {
  if (block.empty() || block[0] != '*') return true;
  const std::string header = blockHeader(block);
  CardLineLedger ledger(blockLineCount(block));
  blockNamed_ = false;
  blockHarmless_ = false;
  currentHeader_ = header;
  // A keyword is known only as one of the reader's forms, exactly.
  bool more = true;
  if (knownKeyword(header) != nullptr) {
    if (header != "*KEYWORD" && outputOnlyKeyword(header) == nullptr) refuseKeywordLineText(block, header);
    more = readFamily(block, header);
  } else {
    unknownKeyword(header);
  }
  if (!more) ledger.takeAll();  // "*END": what follows is not read
  // Text past the fields read means nothing in a block named as harmless.
  if (blockHarmless_ && cutProblem().status == FieldStatus::PastFields) clearCutProblem();
  checkFields(header);
  if (!refused_ && !blockNamed_) refuseLinesNoCardTook(block, header, ledger);
  tallyLines(block, ledger);
  return more;
}

bool KeywordReader::readFamily(const std::string& block, const std::string& header) {
  auto has = [&header](const char* word) { return keywordIs(header, word); };
  if (has("*NODE")) {
    readNodes(block);
  } else if (has("*ELEMENT_SHELL")) {
    readShells(block);
  } else if (has("*ELEMENT_BEAM")) {
    readBeams(block);
  } else if (has("ELEMENT_SOLID")) {
    readSolids(block);
  } else if (has("ELEMENT_DISCRETE")) {
    readDiscretes(block);
  } else if (has("ELEMENT_MASS")) {
    readMasses(block);
  } else if (has("*ELEMENT_SEATBELT_ACCELEROMETER")) {
    readAccelerometers(block);
  } else if (has("*AIRBAG")) {
    readAirbag(block);
  } else if (has("*SECTION")) {
    readSection(block);
  } else if (has("*MAT")) {
    readMaterial(block);
  } else if (has("*PART")) {
    readPart(block);
  } else if (has("*SET_SEGMENT")) {
    readSegmentSet(block);
  } else if (has("*SET")) {
    readSet(block);
  } else if (has("*CONTACT")) {
    readContact(block);
  } else if (has("*BOUNDARY")) {
    readBoundary(block);
  } else if (has("*LOAD")) {
    readLoad(block);
  } else if (has("CONSTRAINED_NODAL_RIGID_BODY") || has("CONSTRAINED_RIGID_BODIES") || has("CONSTRAINED_EXTRA_NODES")) {
    readConstrainedRigid(block);
  } else if (has("*CONSTRAINED")) {
    if (has("CONSTRAINED_SPOTWELD")) {
      readSpotWelds(block);
    } else if (has("CONSTRAINED_JOINT")) {
      readJoints(block);
    } else {
      unreadBlock(header);
    }
  } else if (has("*INITIAL_VELOCITY")) {
    readInitialVelocity(block);
  } else if (has("*DEFINE")) {
    readDefine(block);
  } else if (has("*INCLUDE_TRANSFORM")) {
    readIncludeTransform(block);
  } else if (has("*RIGIDWALL")) {
    readRigidWall(block);
  } else if (has("*CONTROL")) {
    readControl(block);
  } else if (has("*HOURGLASS")) {
    readHourglass(block);
  } else if (has("*DATABASE")) {
    readDatabase(block);
  } else if (header == "*END") {
    return false;
  } else if (has("*ELEMENT_TSHELL")) {
    refuseForm(header, "(thick shells) is not read by this version");
  } else if (has("*PARAMETER")) {
    refuseParameter(block);
  } else if (has("*INCLUDE")) {
    refuseInclude(block);
  } else if (header == "*KEYWORD") {
    refuseLongFormat(block);
  } else {
    unreadBlock(header);
  }
  return true;
}

namespace {

bool blankText(std::string_view text) { return text.find_first_not_of(" \t\r") == std::string_view::npos; }

// The lines of a block, keyword line first, without their newlines.
template <class Visit>
void forEachBlockLine(const std::string& block, Visit visit) {
  size_t start = 0;
  for (size_t k = 0; start < block.size(); ++k) {
    size_t end = block.find('\n', start);
    if (end == std::string::npos) end = block.size();
    visit(k, std::string_view(block).substr(start, end - start));
    start = end + 1;
  }
}

// Keywords that take no card: a line after them is never read.
bool takesNoCard(const std::string& header) { return header == "*KEYWORD" || header == "*END"; }

}  // namespace

std::string_view blockDataText(const std::string& block, std::string& storage) {
  std::string_view text(block);
  if (text.find('\r') != std::string_view::npos || text.find('\t') != std::string_view::npos ||
      (!text.empty() && text.back() == ' ')) {
    storage = block;
    cleanDeckLines(storage);
    text = storage;
  }
  const size_t newline = text.find('\n');
  return newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
}

size_t blockLineCount(const std::string& block) {
  size_t count = 0;
  forEachBlockLine(block, [&count](size_t, std::string_view) { ++count; });
  return count;
}

void KeywordReader::refuseLinesNoCardTook(const std::string& block, const std::string& header,
                                          const CardLineLedger& ledger) {
  std::string surplus, past;
  size_t surplusLine = 0, pastLine = 0;
  bool anyData = false;
  forEachBlockLine(block, [&](size_t k, std::string_view line) {
    if (k == 0 || blankText(line)) return;
    anyData = true;
    if (surplus.empty() && !ledger.taken(k)) {
      surplus = boost::trim_copy(std::string(line));
      surplusLine = k;
    }
    const size_t end = ledger.coveredEnd(k);
    if (past.empty() && end > 0 && end < line.size() && !blankOrZeros(line.substr(end))) {
      past = boost::trim_copy(std::string(line.substr(end)));
      pastLine = k;
    }
  });
  const std::string where = "\"" + header + "\"";
  if (!past.empty() && (surplus.empty() || pastLine < surplusLine)) {
    const int line = deckLineAt(pastLine);
    refuse(where + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": the text \"" + past + "\" " +
           fieldProblemText(FieldStatus::PastFields));
  } else if (!surplus.empty()) {
    const int line = deckLineAt(surplusLine);
    refuse(where + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": the line \"" + surplus +
           "\" is " +
           (takesNoCard(header) ? "not read: the keyword takes no card" : "past the cards this block takes") +
           "; it is not read");
  } else if (!takesNoCard(header) && ledger.dataLinesTaken() == 0) {
    refuse(where + atLine() + " holds none of its cards" + (anyData ? "" : ": the block is empty"));
  }
}

void KeywordReader::tallyLines(const std::string& block, const CardLineLedger& ledger) {
  forEachBlockLine(block, [&](size_t k, std::string_view line) {
    if (blankText(line)) return;
    if (ledger.taken(k)) ++state_.lineTally.taken;
  });
}

int KeywordReader::deckLineAt(size_t k) const {
  return current_ != nullptr && k < current_->lineNumbers.size() ? current_->lineNumbers[k] : 0;
}

bool KeywordReader::readBlock(const DeckBlock& block) {
  current_ = &block;
  const bool more = readBlock(block.text);
  current_ = nullptr;
  return more;
}

bool KeywordReader::finishBlocks() {
  refuseUnreadMechanics();
  if (!refused_) refuseOwnShellThicknesses();
  return !refused_;
}

bool KeywordReader::readBlocks(const std::vector<DeckBlock>& blocks) {
  for (auto block = blocks.begin(); block != blocks.end(); ++block) {
    if (!readBlock(*block)) {
      passOverAfterEnd(block, blocks.end());
      break;
    }
    if (refused_) break;
  }
  return finishBlocks();
}

// The lines after "*END" (the block `end`) are not read, as the format has
// it: they are counted as passed over and named when they hold anything.
void KeywordReader::passOverAfterEnd(std::vector<DeckBlock>::const_iterator end,
                                     std::vector<DeckBlock>::const_iterator last) {
  int firstLine = 0;
  for (auto block = end; block != last; ++block) {
    forEachBlockLine(block->text, [&](size_t k, std::string_view line) {
      if ((block == end && k == 0) || blankText(line)) return;
      if (block != end) ++state_.lineTally.taken;  // the "*END" block counted its own
      if (firstLine == 0 && k < block->lineNumbers.size()) firstLine = block->lineNumbers[k];
    });
  }
  if (firstLine != 0) {
    warn("the lines after \"*END\"" +
         (firstLine > 0 ? " (from line " + std::to_string(firstLine) + ")" : std::string()) + " are not read");
  }
}

bool KeywordReader::readBlocks(const std::vector<std::string>& blocks) {
  for (const std::string& block : blocks) {
    if (!readBlock(block) || refused_) break;
  }
  return finishBlocks();
}

namespace {

// The whole deck as one text, read once: the working copy and the block
// pass both take it from here.
bool readDeckText(const std::string& deckPath, std::string& text) {
  return readDeckFileText(deckPath, text, "Keyword deck refused");
}

// Writes a text without returns, less its lines that start with "$",
// every line ending in a newline: in runs between the comment lines.
void writeWithoutCommentLines(const std::string& text, std::ostream& out) {
  size_t start = 0;
  for (size_t dollar = text.find('$'); start < text.size(); dollar = text.find('$', dollar + 1)) {
    if (dollar == std::string::npos) dollar = text.size();
    // Only a "$" that starts a line after start makes a comment line.
    if (dollar < text.size() && (dollar < start || (dollar > start && text[dollar - 1] != '\n'))) continue;
    out.write(text.data() + start, static_cast<std::streamsize>(dollar - start));
    if (dollar == text.size()) break;
    start = std::min(text.find('\n', dollar), text.size() - 1) + 1;
  }
  // A last line without its newline gets one, unless it is a comment.
  if (!text.empty() && text.back() != '\n') {
    const size_t newline = text.rfind('\n');
    if (text[newline == std::string::npos ? 0 : newline + 1] != '$') out.put('\n');
  }
}

// Writes the working copy's text: returns removed, lines with "$" in column
// 1 left out, every line ending in a newline.
void writeCopyLines(const std::string& text, std::ostream& out) {
  if (text.find('\r') == std::string::npos) {
    writeWithoutCommentLines(text, out);
    return;
  }
  std::string line;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    line.assign(text, start, end - start);
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    if (line.empty() || line[0] != '$') out << line << '\n';
    start = end + 1;
  }
}

// Writes the working copy of a deck text (the block pass reads the deck
// itself, so the copy's line numbers, without the comment lines, are not the
// deck's).
bool writeWorkingCopyText(const KeywordDeckFiles& files, const std::string& text) {
  std::error_code ignored;
  std::filesystem::create_directories(files.workFolder, ignored);
  std::ofstream copy(files.workCopy, std::ios::binary | std::ios::trunc);
  if (!copy.is_open()) {
    std::cerr << "Keyword deck refused: cannot write the working copy \"" << files.workCopy << "\"" << std::endl;
    return false;
  }
  writeCopyLines(text, copy);
  copy.close();
  if (copy.fail()) {
    std::cerr << "Keyword deck refused: cannot write the working copy \"" << files.workCopy << "\"" << std::endl;
    return false;
  }
  return true;
}

}  // namespace

bool writeWorkingCopy(const KeywordDeckFiles& files, const std::string& deckPath) {
  std::string text;
  return readDeckText(deckPath, text) && writeWorkingCopyText(files, text);
}

void applyDeckMassScaling(TimeControl& timeControl) { timeControl.takeMassScalingRequest(); }

namespace {

// A deck without nodes or elements would run an empty model and report
// success; refuse it instead.
bool hasNodesAndElements(const KeywordDeckState& state) {
  size_t elements = 0;
  for (const ElmManager& store : state.elementStores) {
    elements += store.shell_element_array_cpu.size() + store.solid_element_array_cpu.size() +
                store.beam_element_array_cpu.size() + store.discrete_element_array_cpu.size();
  }
  if (state.nodeCounter == 0 || elements == 0) {
    std::cerr << "Keyword deck refused: the deck defines no " << (state.nodeCounter == 0 ? "nodes" : "elements")
              << " (no *NODE or *ELEMENT block was read)" << std::endl;
    return false;
  }
  return true;
}

// A run needs the time it ends at: a missing, zero or negative end time
// would end it before it began (or never) and still report success.
bool hasEndTime(const TimeControl& time) {
  if (time.end_time > 0.0 && std::isfinite(time.end_time)) return true;
  std::cerr << "Keyword deck refused: the deck gives no end time (*CONTROL_TERMINATION ENDTIM is " << time.end_time
            << "; it must be a positive number)" << std::endl;
  return false;
}

}  // namespace

namespace {

// Refuses (false, after a message) a deck whose first line that holds
// anything is no keyword: the lines before the first keyword belong to no
// block.
bool startsWithKeyword(const DeckLineCount& count) {
  if (count.strayLine == 0) return true;
  std::cerr << "Keyword deck refused: line " << count.strayLine << " \"" << count.strayText
            << "\" comes before the first keyword and belongs to no block" << std::endl;
  return false;
}

}  // namespace

int readKeywordDeck(FEMDynamic* fem, std::string deckPath, DeckLineTally* tally) {
  KeywordDeckState state;
  state.files = keywordDeckFiles(deckPath, fem->work_path);
  std::string text;
  if (!readDeckText(deckPath, text)) return 0;
  DeckLineCount count;
  const std::vector<DeckBlock> blocks = cutDeckBlocks(text, &count);
  if (!writeWorkingCopyText(state.files, text) || !startsWithKeyword(count)) return 0;
  state.lineTally.lines = count.lines;
  state.checkList.open(state.files.checkList, std::ios::trunc);

  KeywordReader reader(fem, state);
  const bool read = reader.readBlocks(blocks);
  if (tally != nullptr) *tally = state.lineTally;
  if (!read) return 0;
  if (!hasNodesAndElements(state) || !hasEndTime(*fem->timeControl)) return 0;

  applyDeckMassScaling(*fem->timeControl);
  return completeKeywordDeck(fem, state) ? 1 : 0;
}
