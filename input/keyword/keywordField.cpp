// Number fields and field cutting of keyword-deck cards.
#include "input/keyword/keywordField.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "input/keyword/cardLineLedger.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

size_t skipBlanks(std::string_view text, size_t i) {
  while (i < text.size() && isBlank(text[i])) ++i;
  return i;
}

size_t skipDigits(std::string_view text, size_t i) {
  while (i < text.size() && isDigit(text[i])) ++i;
  return i;
}

std::string_view trimmed(std::string_view text) {
  const size_t first = skipBlanks(text, 0);
  size_t last = text.size();
  while (last > first && isBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// Blank, a parameter, or neither; i is left at the first non-blank.
bool blankOrParameter(std::string_view text, size_t& i, FieldStatus& status) {
  i = skipBlanks(text, 0);
  if (i == text.size()) {
    status = FieldStatus::Blank;
    return true;
  }
  if (text[i] == '&') {
    status = FieldStatus::Parameter;
    return true;
  }
  return false;
}

// The number at position i of a field: sign, digits with at most one point,
// and an exponent after a letter (e, E, d, D) or after its sign alone. The
// scan keeps where the parts lie; no string is built for a number that the
// exact short form below reads.
struct ScannedNumber {
  std::string_view text;
  size_t start = 0;        // the sign, or the first digit or point
  size_t mantissaEnd = 0;  // one past the mantissa's last digit
  size_t exponentAt = 0;   // the exponent's sign or first digit (when exponent)
  size_t end = 0;          // one past the number
  bool negative = false;
  bool whole = true;  // no point and no exponent
  bool exponent = false;
};

bool scanNumber(std::string_view text, size_t i, ScannedNumber& number) {
  number.text = text;
  number.start = i;
  number.negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const size_t intStart = i;
  i = skipDigits(text, i);
  size_t digits = i - intStart;
  if (i < text.size() && text[i] == '.') {
    const size_t fracStart = ++i;
    i = skipDigits(text, i);
    digits += i - fracStart;
    number.whole = false;
  }
  if (digits == 0) return false;
  number.mantissaEnd = i;
  size_t j = i;
  const bool letter = j < text.size() && (text[j] == 'e' || text[j] == 'E' || text[j] == 'd' || text[j] == 'D');
  if (letter) ++j;
  const size_t signAt = j;
  if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
  const bool sign = j > signAt;
  const size_t expStart = j;
  j = skipDigits(text, j);
  number.exponent = j > expStart && (letter || sign);
  if (number.exponent) {
    number.exponentAt = signAt;
    number.whole = false;
    i = j;
  }
  number.end = i;
  return true;
}

// The one number of a field: Blank, Parameter, NotNumber or Trailing when
// the field holds no number or something besides it.
FieldStatus scanField(std::string_view text, ScannedNumber& number) {
  size_t i = 0;
  FieldStatus status = FieldStatus::NotNumber;
  if (blankOrParameter(text, i, status)) return status;
  if (!scanNumber(text, i, number)) return FieldStatus::NotNumber;
  return skipBlanks(text, number.end) == text.size() ? FieldStatus::Number : FieldStatus::Trailing;
}

// An integer written with digits only, exactly, or OutOfRange.
FieldStatus wholeDigits(const ScannedNumber& number, long long& value) {
  const std::string_view text = number.text;
  size_t i = number.start;
  if (text[i] == '+' || text[i] == '-') ++i;
  unsigned long long magnitude = 0;
  const unsigned long long limit =
      number.negative ? static_cast<unsigned long long>(LLONG_MAX) + 1ULL : static_cast<unsigned long long>(LLONG_MAX);
  for (; i < number.mantissaEnd; ++i) {
    const unsigned long long digit = static_cast<unsigned long long>(text[i] - '0');
    if (magnitude > (limit - digit) / 10ULL) return FieldStatus::OutOfRange;
    magnitude = magnitude * 10ULL + digit;
  }
  value = number.negative ? static_cast<long long>(0ULL - magnitude) : static_cast<long long>(magnitude);
  return FieldStatus::Number;
}

// The value of a scanned number when its digits make an integer of at most
// 2^53 and its power of ten lies within 10^22: both are exact doubles, so
// one product or quotient gives the correctly rounded value, the one strtod
// gives. False for any other number.
bool exactShortValue(const ScannedNumber& number, double& value) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const std::string_view text = number.text;
  unsigned long long mantissa = 0;
  int significant = 0;
  long long power = 0;
  bool fraction = false;
  for (size_t i = number.start; i < number.mantissaEnd; ++i) {
    const char c = text[i];
    if (c == '.') {
      fraction = true;
      continue;
    }
    if (c == '+' || c == '-') continue;
    if (fraction) --power;
    if (mantissa == 0 && c == '0') continue;
    if (++significant > 16) return false;
    mantissa = mantissa * 10ULL + static_cast<unsigned long long>(c - '0');
  }
  if (mantissa > (1ULL << 53)) return false;
  if (number.exponent) {
    size_t i = number.exponentAt;
    const bool negative = text[i] == '-';
    if (text[i] == '+' || text[i] == '-') ++i;
    long long written = 0;
    for (; i < number.end; ++i) {
      if (written > 1000) return false;
      written = written * 10 + (text[i] - '0');
    }
    power += negative ? -written : written;
  }
  if (power < -22 || power > 22) {
    if (mantissa != 0) return false;
    power = 0;
  }
  const double m = static_cast<double>(mantissa);
  const double magnitude = power >= 0 ? m * kPowers[power] : m / kPowers[-power];
  value = number.negative ? -magnitude : magnitude;
  return true;
}

// The value of a scanned number as strtod reads it.
double numberValue(const ScannedNumber& number) {
  double value = 0.0;
  if (exactShortValue(number, value)) return value;
  const std::string_view text = number.text;
  std::string written(text.substr(number.start, number.mantissaEnd - number.start));
  if (number.exponent) {
    written += 'e';
    written.append(text.substr(number.exponentAt, number.end - number.exponentAt));
  }
  return std::strtod(written.c_str(), nullptr);
}

// The fields of most decks, read in one pass: blanks around a sign and at
// most 18 digits. False for any other field, which the full scan reads.
bool plainInteger(std::string_view text, long long& value) {
  size_t i = skipBlanks(text, 0);
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  const size_t start = i;
  long long magnitude = 0;
  for (; i < text.size() && isDigit(text[i]) && i - start < 18; ++i) magnitude = magnitude * 10 + (text[i] - '0');
  if (i == start || skipBlanks(text, i) != text.size()) return false;
  value = negative ? -magnitude : magnitude;
  return true;
}

// The same for a number with a point and an exponent (a letter e, E, d, D
// with or without a sign, or a sign alone), as long as its value is the
// exact short form of exactShortValue. False for any other field.
bool plainNumber(std::string_view text, double& value) {
  size_t i = skipBlanks(text, 0);
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  unsigned long long mantissa = 0;
  int significant = 0, power = 0;
  bool digits = false, fraction = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !fraction) {
      fraction = true;
      continue;
    }
    if (!isDigit(c)) break;
    digits = true;
    power -= fraction ? 1 : 0;
    if (mantissa == 0 && c == '0') continue;
    if (++significant > 16) return false;
    mantissa = mantissa * 10ULL + static_cast<unsigned long long>(c - '0');
  }
  if (!digits) return false;
  if (i < text.size() && !isBlank(text[i])) {
    const char c = text[i];
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D') ++i;
    const bool negativePower = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const size_t start = i;
    int written = 0;
    for (; i < text.size() && isDigit(text[i]) && i - start < 4; ++i) written = written * 10 + (text[i] - '0');
    if (i == start) return false;
    power += negativePower ? -written : written;
  }
  if (skipBlanks(text, i) != text.size() || mantissa > (1ULL << 53)) return false;
  if (power < -22 || power > 22) {
    if (mantissa != 0) return false;
    power = 0;
  }
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const double m = static_cast<double>(mantissa);
  const double magnitude = power >= 0 ? m * kPowers[power] : m / kPowers[-power];
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

FieldStatus parseFieldNumber(std::string_view text, double& value) {
  if (plainNumber(text, value)) return FieldStatus::Number;
  ScannedNumber number;
  const FieldStatus status = scanField(text, number);
  if (status != FieldStatus::Number) return status;
  const double parsed = numberValue(number);
  if (std::isinf(parsed)) return FieldStatus::OutOfRange;
  value = parsed;
  return FieldStatus::Number;
}

FieldStatus parseFieldInteger(std::string_view text, long long& value) {
  if (plainInteger(text, value)) return FieldStatus::Number;
  ScannedNumber number;
  const FieldStatus status = scanField(text, number);
  if (status != FieldStatus::Number) return status;
  if (number.whole) return wholeDigits(number, value);
  const double parsed = numberValue(number);
  if (parsed != std::trunc(parsed)) return FieldStatus::Fraction;
  // 2^63: the first double beyond the range of long long.
  if (std::fabs(parsed) >= 9223372036854775808.0) return FieldStatus::OutOfRange;
  value = static_cast<long long>(parsed);
  return FieldStatus::Number;
}

std::string fieldProblemText(FieldStatus status) {
  switch (status) {
    case FieldStatus::Parameter:
      return "names a parameter; parameters are not read by this version";
    case FieldStatus::NotNumber:
      return "is not a number";
    case FieldStatus::OutOfRange:
      return "holds a number too large for its field";
    case FieldStatus::Trailing:
      return "holds a number followed by other characters (a shifted column?)";
    case FieldStatus::Fraction:
      return "holds a fraction where the field takes a whole number";
    case FieldStatus::PastFields:
      return "lies past the fields its card is read for (columns no field covers)";
    case FieldStatus::NoLayout:
      return "fits neither the columns of its card nor, written with blanks, its fields";
    default:
      return std::string();
  }
}

namespace {

// The card line cut last and its fields, so that a field that does not read
// can be traced to its line and place. The reader runs on one thread; each
// thread keeps its own.
struct LastCut {
  std::string line;
  std::vector<std::string> fields;
};
thread_local LastCut lastCut;

const std::vector<std::string>& rememberCut(const std::string& line, const std::vector<std::string>& fields) {
  lastCut.line = line;
  lastCut.fields = fields;
  return fields;
}

int widthOf(const std::vector<int>& widths, int i) {
  if (widths.empty()) return 10;
  return widths[static_cast<size_t>(i) < widths.size() ? static_cast<size_t>(i) : widths.size() - 1];
}

// Blanks between the words of a line, as a stream reads words.
bool isWordGap(char c) { return isBlank(c) || c == '\v' || c == '\f'; }

}  // namespace

bool blankOrZeros(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (isWordGap(text[i]) || text[i] == ',')) ++i;
    const size_t start = i;
    while (i < text.size() && !isWordGap(text[i]) && text[i] != ',') ++i;
    if (i == start) break;
    double value = 0.0;
    if (parseFieldNumber(text.substr(start, i - start), value) != FieldStatus::Number || value != 0.0) return false;
  }
  return true;
}

namespace {

// Cuts into n fields; returns the text past them.
std::string_view commaFields(std::string_view line, int n, std::vector<std::string_view>& fields) {
  fields.assign(static_cast<size_t>(n), std::string_view());
  size_t start = 0;
  for (int i = 0; i < n && start <= line.size(); ++i) {
    const size_t comma = line.find(',', start);
    const size_t end = comma == std::string_view::npos ? line.size() : comma;
    fields[static_cast<size_t>(i)] = line.substr(start, end - start);
    if (comma == std::string_view::npos) return std::string_view();
    start = comma + 1;
  }
  return start <= line.size() ? line.substr(start) : std::string_view();
}

std::string_view columnFields(std::string_view line, const std::vector<int>& widths, int n,
                              std::vector<std::string_view>& fields) {
  fields.assign(static_cast<size_t>(n), std::string_view());
  size_t start = 0;
  for (int i = 0; i < n; ++i) {
    const size_t width = static_cast<size_t>(widthOf(widths, i));
    if (start < line.size()) fields[static_cast<size_t>(i)] = line.substr(start, width);
    start += width;
  }
  return start < line.size() ? line.substr(start) : std::string_view();
}

// The first n blank-separated words of a line; fields without a word stay
// empty.
std::string_view wordFields(std::string_view line, int n, std::vector<std::string_view>& fields) {
  fields.assign(static_cast<size_t>(n), std::string_view());
  size_t i = 0;
  for (std::string_view& field : fields) {
    while (i < line.size() && isWordGap(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !isWordGap(line[i])) ++i;
    field = line.substr(start, i - start);
  }
  return line.substr(std::min(i, line.size()));
}

// The first line since the last clear whose cutting left text past its
// fields or fit no layout.
thread_local FieldProblem cutTrouble;

void noteCut(FieldStatus status, std::string_view text, std::string_view line, int field = 0) {
  if (cutTrouble.any()) return;
  cutTrouble.status = status;
  cutTrouble.text = std::string(trimmed(text));
  cutTrouble.line = std::string(line);
  cutTrouble.field = field;
}

void notePast(std::string_view past, std::string_view line) {
  if (!blankOrZeros(past)) noteCut(FieldStatus::PastFields, past, line);
}

std::vector<std::string> owned(const std::vector<std::string_view>& views) {
  std::vector<std::string> fields(views.size());
  for (size_t i = 0; i < views.size(); ++i) fields[i].assign(views[i].data(), views[i].size());
  return fields;
}

}  // namespace

std::vector<std::string> splitFixedFields(const std::string& line, const std::vector<int>& widths, int n) {
  std::vector<std::string_view> views;
  const std::string_view past =
      line.find(',') != std::string::npos ? commaFields(line, n, views) : columnFields(line, widths, n, views);
  // A line of the block being read is checked once the block is read,
  // against the widest cut made of it; any other line now.
  if (!takeCardLine(line, line.size() - past.size())) notePast(past, line);
  return rememberCut(line, owned(views));
}

const FieldProblem& cutProblem() { return cutTrouble; }

void noteCutProblem(FieldStatus status, std::string_view text, std::string_view line) { noteCut(status, text, line); }

void noteCutProblem(const CutCheck& check, std::string_view line) {
  if (check.any()) noteCut(check.status, check.text, line, check.field);
}

void clearCutProblem() { cutTrouble = FieldProblem(); }

namespace {

// How the blank-separated words of a line sit in its columns: whether every
// column read holds at most one word (or a piece of one that touches the
// next column: numbers may touch) with nothing but blanks and zeros past
// them; whether the line is written in the columns (words that cross a
// column edge, or words that all end at column ends or all start at column
// starts, so that blank columns count); how many words it holds; and
// whether it is shifted: its first word fills the first column up to its
// end (the line is written in columns) while a later column holds two words.
struct DataLayout {
  bool fits = true;
  bool inColumns = false;
  int words = 0;
  int crowded = -1;         // the first column that holds two words
  bool firstAlone = false;  // the first word ends where the first column ends
  bool shifted() const { return crowded > 0 && firstAlone; }
};

DataLayout dataLayout(std::string_view line, const std::vector<int>& widths, int n) {
  DataLayout layout;
  bool crosses = false, rightAligned = true, leftAligned = true;
  size_t column = 0, columnStart = 0, columnEnd = static_cast<size_t>(widthOf(widths, 0));
  int wordsInColumn = 0;
  auto advanceTo = [&](size_t pos) {
    while (pos >= columnEnd && column < static_cast<size_t>(n)) {
      ++column;
      wordsInColumn = 0;
      columnStart = columnEnd;
      columnEnd += static_cast<size_t>(widthOf(widths, static_cast<int>(column)));
    }
  };
  for (size_t i = skipBlanks(line, 0); i < line.size(); i = skipBlanks(line, i)) {
    size_t end = i;
    while (end < line.size() && !isBlank(line[end])) ++end;
    ++layout.words;
    advanceTo(i);
    if (column >= static_cast<size_t>(n)) {
      // Past the columns read: only blanks and zeros may stand there.
      if (!blankOrZeros(line.substr(i))) layout.fits = false;
      for (size_t j = skipBlanks(line, end); j < line.size(); j = skipBlanks(line, j)) {
        ++layout.words;
        while (j < line.size() && !isBlank(line[j])) ++j;
      }
      rightAligned = false;
      break;
    }
    leftAligned = leftAligned && i == columnStart;
    if (layout.words == 1) layout.firstAlone = column == 0 && end == columnEnd;
    if (++wordsInColumn > 1) {
      layout.fits = false;
      if (layout.crowded < 0) layout.crowded = static_cast<int>(column);
    }
    // The pieces of a word that runs on into later columns.
    while (end > columnEnd && column + 1 < static_cast<size_t>(n)) {
      crosses = true;
      advanceTo(columnEnd);
      ++wordsInColumn;
    }
    if (end > columnEnd) {
      if (!blankOrZeros(line.substr(columnEnd))) layout.fits = false;
      rightAligned = false;
    } else {
      rightAligned = rightAligned && end == columnEnd;
    }
    i = end;
  }
  layout.inColumns = crosses || rightAligned || leftAligned;
  return layout;
}

}  // namespace

CutCheck cutDataFieldsQuietly(std::string_view line, const std::vector<int>& widths, int n, FieldCut& cut, int least) {
  cut.line = line;
  if (line.find(',') != std::string_view::npos) {
    const std::string_view past = commaFields(line, n, cut.fields);
    return blankOrZeros(past) ? CutCheck() : CutCheck{FieldStatus::PastFields, past};
  }
  const DataLayout layout = dataLayout(line, widths, n);
  const bool wordsFit = layout.words >= (least > 0 ? least : n) && layout.words <= n;
  if (layout.fits && (layout.inColumns || !wordsFit)) {
    columnFields(line, widths, n, cut.fields);
  } else if (layout.shifted()) {
    columnFields(line, widths, n, cut.fields);
    const size_t field = static_cast<size_t>(layout.crowded);
    return CutCheck{FieldStatus::Trailing, field < cut.fields.size() ? cut.fields[field] : line, layout.crowded + 1};
  } else if (wordsFit) {
    wordFields(line, n, cut.fields);
  } else {
    // The columns read it, so that a field names what it holds.
    columnFields(line, widths, n, cut.fields);
    return CutCheck{FieldStatus::NoLayout, line};
  }
  return CutCheck();
}

void cutDataFields(std::string_view line, const std::vector<int>& widths, int n, FieldCut& cut, int least) {
  noteCutProblem(cutDataFieldsQuietly(line, widths, n, cut, least), line);
}

void cutDataFields(const std::string& line, const std::vector<int>& widths, int n, FieldCut& cut, int least) {
  takeCardLine(line);
  cutDataFields(std::string_view(line), widths, n, cut, least);
}

std::vector<std::string> splitDataFields(const std::string& line, const std::vector<int>& widths, int n, int least) {
  FieldCut cut;
  cutDataFields(line, widths, n, cut, least);
  return rememberCut(line, owned(cut.fields));
}

void FieldStream::note(FieldStatus status, std::string_view text) {
  if (status == FieldStatus::Blank || status == FieldStatus::Number || problem_.any()) return;
  // The field is one of the last cut line's, or a whole text of its own.
  for (size_t i = 0; i < lastCut.fields.size(); ++i) {
    if (lastCut.fields[i] == text) {
      keep(status, text, lastCut.line, static_cast<int>(i) + 1);
      return;
    }
  }
  keep(status, text, text, 0);
}

void FieldStream::keep(FieldStatus status, std::string_view text, std::string_view line, int field) {
  problem_.status = status;
  problem_.text = std::string(trimmed(text));
  problem_.line = std::string(line);
  problem_.field = field;
}

std::string firstWord(std::string_view text) {
  std::vector<std::string_view> word;
  wordFields(text, 1, word);
  return std::string(word[0]);
}
