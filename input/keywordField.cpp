// Number fields and field cutting of keyword-deck cards.
#include "input/keywordField.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

size_t skipBlanks(const std::string& text, size_t i) {
    while (i < text.size() && isBlank(text[i])) ++i;
    return i;
}

size_t skipDigits(const std::string& text, size_t i) {
    while (i < text.size() && isDigit(text[i])) ++i;
    return i;
}

std::string trimmed(const std::string& text) {
    const size_t first = skipBlanks(text, 0);
    size_t last = text.size();
    while (last > first && isBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// Blank, a parameter, or neither; i is left at the first non-blank.
bool blankOrParameter(const std::string& text, size_t& i, FieldStatus& status) {
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

}  // namespace

namespace {

// The number at position i of a field: sign, digits with at most one point,
// and an exponent after a letter (e, E, d, D) or after its sign alone. Sets
// end to the first character after it; false when there are no digits.
struct ScannedNumber {
    std::string text;        // as strtod reads it
    bool whole = true;       // no point and no exponent
    size_t end = 0;
};

bool scanNumber(const std::string& text, size_t i, ScannedNumber& number) {
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.text += text[i++];
    const size_t intStart = i;
    i = skipDigits(text, i);
    number.text.append(text, intStart, i - intStart);
    size_t digits = i - intStart;
    if (i < text.size() && text[i] == '.') {
        const size_t fracStart = ++i;
        i = skipDigits(text, i);
        number.text += '.';
        number.text.append(text, fracStart, i - fracStart);
        digits += i - fracStart;
        number.whole = false;
    }
    if (digits == 0) return false;
    size_t j = i;
    const bool letter = j < text.size() && (text[j] == 'e' || text[j] == 'E' || text[j] == 'd' || text[j] == 'D');
    if (letter) ++j;
    std::string sign;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) sign += text[j++];
    const size_t expStart = j;
    j = skipDigits(text, j);
    if (j > expStart && (letter || !sign.empty())) {
        number.text += "e" + sign + text.substr(expStart, j - expStart);
        number.whole = false;
        i = j;
    }
    number.end = i;
    return true;
}

// The one number of a field: Blank, Parameter, NotNumber or Trailing when
// the field holds no number or something besides it.
FieldStatus scanField(const std::string& text, ScannedNumber& number) {
    size_t i = 0;
    FieldStatus status = FieldStatus::NotNumber;
    if (blankOrParameter(text, i, status)) return status;
    if (!scanNumber(text, i, number)) return FieldStatus::NotNumber;
    return skipBlanks(text, number.end) == text.size() ? FieldStatus::Number : FieldStatus::Trailing;
}

// An integer written with digits only, exactly, or OutOfRange.
FieldStatus wholeDigits(const std::string& digits, long long& value) {
    size_t i = 0;
    const bool negative = digits[0] == '-';
    if (digits[0] == '+' || digits[0] == '-') ++i;
    unsigned long long magnitude = 0;
    const unsigned long long limit = negative ? static_cast<unsigned long long>(LLONG_MAX) + 1ULL
                                              : static_cast<unsigned long long>(LLONG_MAX);
    for (; i < digits.size(); ++i) {
        const unsigned long long digit = static_cast<unsigned long long>(digits[i] - '0');
        if (magnitude > (limit - digit) / 10ULL) return FieldStatus::OutOfRange;
        magnitude = magnitude * 10ULL + digit;
    }
    value = negative ? static_cast<long long>(0ULL - magnitude) : static_cast<long long>(magnitude);
    return FieldStatus::Number;
}

}  // namespace

FieldStatus parseFieldNumber(const std::string& text, double& value) {
    ScannedNumber number;
    const FieldStatus status = scanField(text, number);
    if (status != FieldStatus::Number) return status;
    const double parsed = std::strtod(number.text.c_str(), nullptr);
    if (std::isinf(parsed)) return FieldStatus::OutOfRange;
    value = parsed;
    return FieldStatus::Number;
}

FieldStatus parseFieldInteger(const std::string& text, long long& value) {
    ScannedNumber number;
    const FieldStatus status = scanField(text, number);
    if (status != FieldStatus::Number) return status;
    if (number.whole) return wholeDigits(number.text, value);
    const double parsed = std::strtod(number.text.c_str(), nullptr);
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

std::vector<std::string> commaFields(const std::string& line, int n) {
    std::vector<std::string> fields(static_cast<size_t>(n));
    size_t start = 0;
    for (int i = 0; i < n && start <= line.size(); ++i) {
        const size_t comma = line.find(',', start);
        const size_t end = comma == std::string::npos ? line.size() : comma;
        fields[static_cast<size_t>(i)] = line.substr(start, end - start);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return fields;
}

std::vector<std::string> columnFields(const std::string& line, const std::vector<int>& widths, int n) {
    std::vector<std::string> fields(static_cast<size_t>(n));
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        const size_t width = static_cast<size_t>(widthOf(widths, i));
        if (start < line.size()) fields[static_cast<size_t>(i)] = line.substr(start, width);
        start += width;
    }
    return fields;
}

}  // namespace

std::vector<std::string> splitFixedFields(const std::string& line, const std::vector<int>& widths, int n) {
    if (line.find(',') != std::string::npos) return rememberCut(line, commaFields(line, n));
    return rememberCut(line, columnFields(line, widths, n));
}

namespace {

// How the blank-separated words of a line sit in its columns: Columns when
// they must be read by columns (words that touch across a column edge, or
// words that all end at column ends or all start at column starts, so that
// blank columns count), Words when the line is written blank-separated.
enum class DataLayout { Columns, Words };

DataLayout dataLayout(const std::string& line, const std::vector<int>& widths, int n) {
    std::vector<size_t> starts;  // column starts, and the end of the last column
    size_t at = 0;
    for (int i = 0; i <= n; ++i) {
        starts.push_back(at);
        at += static_cast<size_t>(widthOf(widths, i));
    }
    auto columnOf = [&starts](size_t pos) {
        size_t c = 0;
        while (c + 1 < starts.size() && starts[c + 1] <= pos) ++c;
        return c;
    };
    bool crosses = false, rightAligned = true, leftAligned = true;
    std::vector<int> wordsInColumn(starts.size(), 0);
    for (size_t i = skipBlanks(line, 0); i < line.size(); i = skipBlanks(line, i)) {
        size_t end = i;
        while (end < line.size() && !isBlank(line[end])) ++end;
        const size_t first = columnOf(i);
        if (first + 1 >= starts.size()) break;  // past the columns read
        // A word running past the last column read ends in that column.
        const size_t last = std::min(columnOf(end - 1), starts.size() - 2);
        crosses = crosses || first != last;
        if (++wordsInColumn[first] > 1) return DataLayout::Words;
        // A word that runs past the last column read is not right-aligned.
        rightAligned = rightAligned && last + 1 < starts.size() && end == starts[last + 1];
        leftAligned = leftAligned && i == starts[first];
        i = end;
    }
    return crosses || rightAligned || leftAligned ? DataLayout::Columns : DataLayout::Words;
}

}  // namespace

std::vector<std::string> splitDataFields(const std::string& line, const std::vector<int>& widths, int n) {
    if (line.find(',') != std::string::npos) return rememberCut(line, commaFields(line, n));
    if (dataLayout(line, widths, n) == DataLayout::Columns) return rememberCut(line, columnFields(line, widths, n));
    std::vector<std::string> fields(static_cast<size_t>(n));
    std::istringstream words(line);
    for (std::string& field : fields) words >> field;
    return rememberCut(line, fields);
}

void FieldStream::note(FieldStatus status, const std::string& text) {
    if (status == FieldStatus::Blank || status == FieldStatus::Number || problem_.any()) return;
    problem_.status = status;
    problem_.text = trimmed(text);
    // The field is one of the last cut line's, or a whole text of its own.
    for (size_t i = 0; i < lastCut.fields.size(); ++i) {
        if (lastCut.fields[i] == text) {
            problem_.line = lastCut.line;
            problem_.field = static_cast<int>(i) + 1;
            return;
        }
    }
    problem_.line = text;
    problem_.field = 0;
}

std::string firstWord(const std::string& text) {
    std::string word;
    std::istringstream(text) >> word;
    return word;
}
