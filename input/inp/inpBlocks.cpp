// The text frame of ".inp" decks: lines, comments, keyword lines with their
// options, and data lines cut at commas.
#include <algorithm>
#include <boost/algorithm/string.hpp>
#include <sstream>

#include "input/inp/inpReader.h"

namespace {

// Capitals without any blank.
std::string squeezed(std::string text) {
  boost::to_upper(text);
  boost::erase_all(text, " ");
  return text;
}

std::vector<std::string> splitAtCommas(const std::string& line) {
  std::vector<std::string> fields;
  boost::split(fields, line, boost::is_any_of(","));
  for (std::string& field : fields) boost::trim(field);
  // A line ending in a comma has no field after it.
  if (fields.size() > 1 && fields.back().empty()) fields.pop_back();
  return fields;
}

}  // namespace

void InpLines::push_back(Line line, int number) {
  const bool blank = std::all_of(line.begin(), line.end(), [](const std::string& field) { return field.empty(); });
  lines_.push_back(std::move(line));
  numbers_.push_back(number);
  taken_.push_back(blank ? 1 : 0);
}

std::string inpUpper(std::string text) {
  boost::to_upper(text);
  return text;
}

InpKeyword parseInpKeywordLine(const std::string& line) {
  InpKeyword keyword;
  std::vector<std::string> pieces = splitAtCommas(line);
  if (pieces.empty()) return keyword;
  std::string name = pieces[0];
  if (!name.empty() && name[0] == '*') name.erase(0, 1);
  keyword.name = squeezed(name);
  for (size_t i = 1; i < pieces.size(); ++i) {
    if (pieces[i].empty()) continue;
    const size_t equal = pieces[i].find('=');
    std::string key = squeezed(pieces[i].substr(0, equal));
    std::string value = equal == std::string::npos ? std::string() : pieces[i].substr(equal + 1);
    boost::trim(value);
    // Names are compared in capitals; a file name keeps its case.
    if (key != "INPUT") boost::to_upper(value);
    keyword.options[key] = value;
  }
  return keyword;
}

std::vector<InpBlock> cutInpBlocks(const std::string& text) {
  std::vector<InpBlock> blocks;
  std::istringstream stream(text);
  std::string line;
  int number = 0;
  while (std::getline(stream, line)) {
    ++number;
    boost::replace_all(line, "\r", " ");
    boost::replace_all(line, "\t", " ");
    boost::trim(line);
    if (line.empty() || line.rfind("**", 0) == 0) continue;
    if (line[0] == '*') {
      InpBlock block;
      block.keyword = parseInpKeywordLine(line);
      block.lineNumber = number;
      blocks.push_back(std::move(block));
    } else if (!blocks.empty()) {
      blocks.back().lines.push_back(splitAtCommas(line), number);
    }
  }
  return blocks;
}
