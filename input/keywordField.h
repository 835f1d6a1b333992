// Fields of keyword-deck cards: the text of one field read as a number the
// way decks in the field write it ("2.00000-3" is 2e-3, "1.5D+02" is 150,
// a blank field gives nothing), and the cutting of card lines into fields
// by fixed columns or, in a line that holds a comma, by its commas. A field
// that holds anything besides one number and blanks is not a number: the
// reader refuses the deck rather than keep a part of it.
#pragma once
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>
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
};

// Reads the one number of a field. The exponent may follow the mantissa
// with a letter (e, E, d, D) or with its sign alone, as in "7.34000-4". An
// integer field takes whole numbers, also when written with a point or an
// exponent ("2.", "1.0e3"). The value is set only for Number.
FieldStatus parseFieldNumber(const std::string& text, double& value);
FieldStatus parseFieldInteger(const std::string& text, long long& value);
// What is wrong with a field of this status, in words ("is not a number");
// empty for Blank and Number.
std::string fieldProblemText(FieldStatus status);

// A field that did not read, and where it came from: the card line it was
// cut from and its 1-based place in it (0 when the field was a whole text
// that no card cutting made).
struct FieldProblem {
    FieldStatus status = FieldStatus::Blank;
    std::string text;   // the field, trimmed
    std::string line;   // the card line it was cut from, or empty
    int field = 0;
    bool any() const { return status != FieldStatus::Blank; }
};

// Cuts a line into n fields of the given widths (widths[i] for field i; a
// width list shorter than n repeats its last width). A line that holds a
// comma is free format: its fields are the texts between commas. A line
// shorter than its fields gives blank fields.
std::vector<std::string> splitFixedFields(const std::string& line, const std::vector<int>& widths, int n);
// The same for data lines that decks also write blank-separated (nodes,
// element lines, point lines): a line whose columns each hold at most one
// blank-separated word is read by its columns (numbers may touch: the
// columns keep them apart); any other line is read as blank-separated words.
std::vector<std::string> splitDataFields(const std::string& line, const std::vector<int>& widths, int n);
// The first blank-delimited word of a text; empty for a blank text.
std::string firstWord(const std::string& text);

// Reads fields into their targets and remembers the first field that did
// not read (a parameter, a number its target cannot hold, text in a numeric
// field), so that the reader can refuse the deck once the block is read.
class FieldStream {
public:
    // A blank field leaves the target as it was.
    template <class T>
    FieldStatus read(const std::string& text, T& target) {
        if constexpr (std::is_integral_v<T>) {
            long long value = 0;
            FieldStatus status = parseFieldInteger(text, value);
            if (status == FieldStatus::Number && !fits<T>(value)) status = FieldStatus::OutOfRange;
            if (status == FieldStatus::Number) target = static_cast<T>(value);
            note(status, text);
            return status;
        } else if constexpr (std::is_floating_point_v<T>) {
            double value = 0.0;
            const FieldStatus status = parseFieldNumber(text, value);
            if (status == FieldStatus::Number) target = static_cast<T>(value);
            note(status, text);
            return status;
        } else {
            readWord(text, target);
            return FieldStatus::Number;
        }
    }
    // Reads the first blank-delimited word; a blank text leaves the target.
    void readWord(const std::string& text, std::string& target) {
        std::istringstream stream(text);
        std::string word;
        if (stream >> word) target = word;
    }

    // The first field that did not read since the last clear (any() false
    // when there was none).
    const FieldProblem& problem() const { return problem_; }
    void clearProblems() { problem_ = FieldProblem(); }

private:
    template <class T>
    static bool fits(long long value) {
        if constexpr (sizeof(T) >= sizeof(long long)) {
            return std::is_signed_v<T> || value >= 0;
        } else {
            return value >= static_cast<long long>(std::numeric_limits<T>::min()) &&
                   value <= static_cast<long long>(std::numeric_limits<T>::max());
        }
    }
    void note(FieldStatus status, const std::string& text);

    FieldProblem problem_;
};
