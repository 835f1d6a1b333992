// Fields of keyword-deck cards: the text of one field read as a number the
// way decks in the field write it ("2.00000-3" is 2e-3, "1.5D+02" is 150,
// a blank field gives nothing), and the cutting of card lines into fields
// by fixed columns or, in a line that holds a comma, by its commas.
#pragma once
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

// What one field held when it was read as a number.
enum class FieldStatus {
    Blank,       // only blanks: the target keeps its value
    Number,      // a number (text after it is ignored: "12abc" reads 12)
    Parameter,   // "&name": a deck parameter, which this reader does not take
    NotNumber,   // text that does not start with a number
    OutOfRange,  // a number that its target cannot hold
};

// Reads the number at the start of a field. The exponent may follow the
// mantissa with a letter (e, E, d, D) or with its sign alone, as in
// "7.34000-4". Integers stop at the first character that is no digit
// ("1.5" reads 1). The value is set only for Number.
FieldStatus parseFieldNumber(const std::string& text, double& value);
FieldStatus parseFieldInteger(const std::string& text, long long& value);

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

// Reads fields into their targets and remembers what went wrong on the way
// (a parameter, a number its target cannot hold, text in a numeric field),
// so that the reader can refuse the deck or warn once the block is read.
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
            if (status == FieldStatus::NotNumber) target = 0;
            note(status, text);
            return status;
        } else if constexpr (std::is_floating_point_v<T>) {
            double value = 0.0;
            const FieldStatus status = parseFieldNumber(text, value);
            if (status == FieldStatus::Number) target = static_cast<T>(value);
            if (status == FieldStatus::NotNumber) target = 0;
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

    // The first field of each kind of trouble since the last clear (empty
    // when there was none).
    const std::string& parameter() const { return parameter_; }
    const std::string& outOfRange() const { return outOfRange_; }
    const std::string& notNumber() const { return notNumber_; }
    void clearProblems() {
        parameter_.clear();
        outOfRange_.clear();
        notNumber_.clear();
    }

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

    std::string parameter_;
    std::string outOfRange_;
    std::string notNumber_;
};
