// Fields read past and id cards of keyword cards.
#include "input/keyword/keywordCardRules.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <sstream>

#include <boost/algorithm/string.hpp>

#include "input/keyword/keywordReader.h"

bool standsAtZero(double value) { return value == 0.0; }
bool standsAtZeroOrOne(double value) { return value == 0.0 || value == 1.0; }
bool standsAtNever(double value) { return value == 0.0 || value >= 1.0e20; }
bool standsAtOne(double value) { return value == 0.0 || value == 1.0; }
bool standsAtHeldPenetration(double value) { return value == 0.0 || value == 1.0 || value == 2.0; }

namespace {

// A number as a message writes it (1e+20 rather than 100000000000000000000).
std::string shown(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

}  // namespace

std::string cardLineText(const KeywordReader& reader, const std::string& keyword, const std::string& line) {
  const std::string where = reader.lineWhere(keyword, line);
  const size_t at = where.find(", line ");
  return at == std::string::npos ? std::string() : where.substr(at + 2) + ", ";
}

std::string keywordAtLine(const KeywordReader& reader, const std::string& keyword, const std::string& keywordLine) {
  const std::string line = cardLineText(reader, keyword, keywordLine);
  return "\"" + keyword + "\"" + (line.empty() ? "" : " (" + line.substr(0, line.size() - 2) + ")");
}

namespace {

// The texts of the fields of card line k that hold anything but a blank or
// a value that stands, one per field.
std::vector<std::string> uncomputedFieldTexts(const KeywordReader& reader, const std::string& keyword,
                                              const std::vector<std::string>& lines, int k,
                                              std::initializer_list<UncomputedField> fields, int width) {
  int count = 0;
  for (const UncomputedField& f : fields) count = std::max(count, f.field);
  std::vector<std::string> texts(static_cast<size_t>(count));
  if (width == 8) {
    splitCardFields8(lines, texts.data(), k, count);
  } else {
    splitCardFields10(lines, texts.data(), k, count);
  }
  const std::string line = k >= 0 && static_cast<size_t>(k) < lines.size() ? lines[static_cast<size_t>(k)] : "";
  std::vector<std::string> asked;
  for (const UncomputedField& f : fields) {
    const std::string& text = texts[static_cast<size_t>(f.field - 1)];
    double value = 0.0;
    const FieldStatus status = parseFieldNumber(text, value);
    if (status == FieldStatus::Blank || (status == FieldStatus::Number && f.stands(value))) continue;
    const std::string held = status == FieldStatus::Number ? shown(value) : "\"" + boost::trim_copy(text) + "\"";
    asked.push_back(cardLineText(reader, keyword, line) + "field " + std::to_string(f.field) + ": " + f.name + " " +
                    held + " asks for " + f.asks + ", which this version does not compute");
  }
  return asked;
}

}  // namespace

int refuseUncomputedFields(KeywordReader& reader, const std::string& keyword, const std::vector<std::string>& lines,
                           int k, std::initializer_list<UncomputedField> fields, int width) {
  const std::vector<std::string> asked = uncomputedFieldTexts(reader, keyword, lines, k, fields, width);
  for (const std::string& why : asked) reader.unreadMechanics(keyword, why);
  return static_cast<int>(asked.size());
}

std::string uncomputedFieldsText(const KeywordReader& reader, const std::string& keyword,
                                 const std::vector<std::string>& lines, int k,
                                 std::initializer_list<UncomputedField> fields, int width) {
  return boost::join(uncomputedFieldTexts(reader, keyword, lines, k, fields, width), "; ");
}

namespace {

bool hasIdOption(const std::string& keyword) {
  std::vector<std::string> words;
  boost::split(words, keyword, boost::is_any_of("_"));
  for (size_t i = 1; i < words.size(); ++i) {
    if (words[i] == "ID") return true;
  }
  return false;
}

}  // namespace

std::vector<DataCard> dataCards(KeywordReader& reader, const std::string& keyword,
                                const std::vector<std::string>& lines, int first, int linesPerCard) {
  std::vector<DataCard> cards;
  const int end = static_cast<int>(cardLineEnd(lines));
  const bool withId = hasIdOption(keyword);
  for (int k = first; k < end; k += linesPerCard) {
    DataCard card;
    if (withId) {
      card.heading = readIdCardLine(lines[static_cast<size_t>(k)], card.id);
      if (++k >= end) {
        reader.refuse(reader.lineWhere(keyword, lines[static_cast<size_t>(k - 1)]) + ": the id card " +
                      std::to_string(card.id) + " has no data card after it");
        break;
      }
    }
    card.line = k;
    cards.push_back(card);
  }
  return cards;
}
