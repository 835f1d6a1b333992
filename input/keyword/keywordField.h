// Fields of keyword-deck cards: the text of one field read as a number the
// way decks in the field write it ("2.00000-3" is 2e-3, "1.5D+02" is 150,
// a blank field gives nothing), and the cutting of card lines into fields
// by fixed columns or, in a line that holds a comma, by its commas. A field
// that holds anything besides one number and blanks is not a number: the
// reader refuses the deck rather than keep a part of it.
#pragma once
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// What one field held when it was read as a number.
enum class FieldStatus {
  Blank,       // only blanks: the target keeps its value
  Number,      // one number, blanks around it
  Parameter,   // "&name": a deck parameter, which this reader does not take
  NotNumber,   // text that does not start with a number ("abc", "nan")
  OutOfRange,  // a number that its target cannot hold
  Trailing,    // a number followed by other characters ("12abc", "9  150000.")
  Fraction,    // a number with a fraction in an integer field ("1.9")
  PastFields,  // text past the fields its card is read for (columns no field covers)
  NoLayout,    // a data line that fits neither its columns nor, as words, its fields
};

// Reads the one number of a field. The exponent may follow the mantissa
// with a letter (e, E, d, D) or with its sign alone, as in "7.34000-4". An
// integer field takes whole numbers, also when written with a point or an
// exponent ("2.", "1.0e3"). The value is set only for Number.
FieldStatus parseFieldNumber(std::string_view text, double& value);
FieldStatus parseFieldInteger(std::string_view text, long long& value);
// What is wrong with a field of this status, in words ("is not a number");
// empty for Blank and Number.
std::string fieldProblemText(FieldStatus status);

// A field that did not read, and where it came from: the card line it was
// cut from and its 1-based place in it (0 when the field was a whole text
// that no card cutting made).
struct FieldProblem {
  FieldStatus status = FieldStatus::Blank;
  std::string text;  // the field, trimmed
  std::string line;  // the card line it was cut from, or empty
  int field = 0;
  bool any() const { return status != FieldStatus::Blank; }
};

// Cuts a line into n fields of the given widths (widths[i] for field i; a
// width list shorter than n repeats its last width). A line that holds a
// comma is free format: its fields are the texts between commas. A line
// shorter than its fields gives blank fields. Text past the n fields (other
// than blanks and zeros) is kept as the cutting's problem (cutProblem).
std::vector<std::string> splitFixedFields(const std::string& line, const std::vector<int>& widths, int n);
// The same for data lines that decks also write blank-separated (nodes,
// element lines, point lines): a line whose columns each hold at most one
// blank-separated word, with nothing but blanks and zeros past them, is read
// by its columns (numbers may touch: the columns keep them apart). Any other
// line is read as blank-separated words when it holds at least `least` (0:
// n) and at most n of them; otherwise it fits no layout, which is kept as
// the cutting's problem.
std::vector<std::string> splitDataFields(const std::string& line, const std::vector<int>& widths, int n, int least = 0);
// A data line cut into fields that point into the line: valid while the
// line lives and is not changed. Cutting a line again reuses the storage,
// so a block's lines are cut without building a string per field.
struct FieldCut {
  std::string_view line;
  std::vector<std::string_view> fields;
};
// What cutting a line found wrong: nothing (any() false), text past the
// fields (PastFields, text is what lies there) or a line that fits no layout
// (NoLayout, text is the line), or a shifted card: a line whose first field
// holds one number in its own columns while a later field holds two
// (Trailing, text is that field). The text points into the line.
struct CutCheck {
  FieldStatus status = FieldStatus::Number;
  std::string_view text;
  int field = 0;  // 1-based field that holds the text; 0: the line or past the fields
  bool any() const { return status != FieldStatus::Number; }
};
// Cuts a data line as splitDataFields does and returns what it found wrong
// without keeping it: it touches nothing but cut, so that lines may be cut
// on several threads at once.
CutCheck cutDataFieldsQuietly(std::string_view line, const std::vector<int>& widths, int n, FieldCut& cut,
                              int least = 0);
// Cuts a data line as splitDataFields does. A line of a block's line list
// handed by reference is marked as taken by a card (cardLineLedger.h).
void cutDataFields(std::string_view line, const std::vector<int>& widths, int n, FieldCut& cut, int least = 0);
void cutDataFields(const std::string& line, const std::vector<int>& widths, int n, FieldCut& cut, int least = 0);
// The first line cut since the last clear whose text lay past its fields
// or fit no layout (any() false when there was none), with its status,
// the text and the line.
const FieldProblem& cutProblem();
void clearCutProblem();
// Nothing but blanks, commas and numbers 0: what may stand past a card's
// fields (a field written out at its default).
bool blankOrZeros(std::string_view text);
// Keeps a problem of a line read outside the cutting (an id line) as the
// cutting's problem, unless one is kept already.
void noteCutProblem(FieldStatus status, std::string_view text, std::string_view line);
void noteCutProblem(const CutCheck& check, std::string_view line);
// The first blank-delimited word of a text; empty for a blank text.
std::string firstWord(std::string_view text);

// True when an integer fits a target of type T.
template <class T>
bool fieldFits(long long value) {
  if constexpr (sizeof(T) >= sizeof(long long)) {
    return std::is_signed_v<T> || value >= 0;
  } else {
    return value >= static_cast<long long>(std::numeric_limits<T>::min()) &&
           value <= static_cast<long long>(std::numeric_limits<T>::max());
  }
}
// Reads the text of one field into target as a number of the target's type
// (a word for a string) and says what it held; the target is set only for
// Number. It touches nothing else, so that fields may be read on several
// threads at once.
template <class T>
FieldStatus parseField(std::string_view text, T& target) {
  if constexpr (std::is_integral_v<T>) {
    long long value = 0;
    FieldStatus status = parseFieldInteger(text, value);
    if (status == FieldStatus::Number && !fieldFits<T>(value)) status = FieldStatus::OutOfRange;
    if (status == FieldStatus::Number) target = static_cast<T>(value);
    return status;
  } else if constexpr (std::is_floating_point_v<T>) {
    double value = 0.0;
    const FieldStatus status = parseFieldNumber(text, value);
    if (status == FieldStatus::Number) target = static_cast<T>(value);
    return status;
  } else {
    // A word: a blank text leaves the target.
    std::string word = firstWord(text);
    if (!word.empty()) target = std::move(word);
    return FieldStatus::Number;
  }
}
// Field i of a cut line (blank past its fields).
inline std::string_view cutField(const FieldCut& cut, size_t i) {
  return i < cut.fields.size() ? cut.fields[i] : std::string_view();
}

// Reads fields into their targets and remembers the first field that did
// not read (a parameter, a number its target cannot hold, text in a numeric
// field), so that the reader can refuse the deck once the block is read.
class FieldStream {
 public:
  // A blank field leaves the target as it was.
  template <class T>
  FieldStatus read(std::string_view text, T& target) {
    const FieldStatus status = parseField(text, target);
    note(status, text);
    return status;
  }
  // Field i of a cut line; a field that does not read is kept with that
  // line and place.
  template <class T>
  FieldStatus read(const FieldCut& cut, size_t i, T& target) {
    const std::string_view text = cutField(cut, i);
    const FieldStatus status = parseField(text, target);
    if (status != FieldStatus::Blank && status != FieldStatus::Number && !problem_.any())
      keep(status, text, cut.line, static_cast<int>(i) + 1);
    return status;
  }
  // The first field that did not read since the last clear (any() false
  // when there was none).
  const FieldProblem& problem() const { return problem_; }
  void clearProblems() { problem_ = FieldProblem(); }

 private:
  void note(FieldStatus status, std::string_view text);
  void keep(FieldStatus status, std::string_view text, std::string_view line, int field);

  FieldProblem problem_;
};
