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

FieldStatus parseFieldNumber(const std::string& text, double& value) {
    size_t i = 0;
    FieldStatus status = FieldStatus::NotNumber;
    if (blankOrParameter(text, i, status)) return status;
    std::string number;
    if (text[i] == '+' || text[i] == '-') number += text[i++];
    const size_t intStart = i;
    i = skipDigits(text, i);
    number += text.substr(intStart, i - intStart);
    size_t digits = i - intStart;
    if (i < text.size() && text[i] == '.') {
        const size_t fracStart = ++i;
        i = skipDigits(text, i);
        number += '.';
        number.append(text, fracStart, i - fracStart);
        digits += i - fracStart;
    }
    if (digits == 0) return FieldStatus::NotNumber;
    // Exponent: a letter with an optional sign, or a sign alone.
    size_t j = i;
    const bool letter = j < text.size() && (text[j] == 'e' || text[j] == 'E' || text[j] == 'd' || text[j] == 'D');
    if (letter) ++j;
    std::string exponent;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    const size_t expStart = j;
    j = skipDigits(text, j);
    if (j > expStart && (letter || !exponent.empty())) number += "e" + exponent + text.substr(expStart, j - expStart);
    const double parsed = std::strtod(number.c_str(), nullptr);
    if (std::isinf(parsed)) return FieldStatus::OutOfRange;
    value = parsed;
    return FieldStatus::Number;
}

FieldStatus parseFieldInteger(const std::string& text, long long& value) {
    size_t i = 0;
    FieldStatus status = FieldStatus::NotNumber;
    if (blankOrParameter(text, i, status)) return status;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    if (i == text.size() || !isDigit(text[i])) return FieldStatus::NotNumber;
    unsigned long long magnitude = 0;
    const unsigned long long limit = negative ? static_cast<unsigned long long>(LLONG_MAX) + 1ULL
                                              : static_cast<unsigned long long>(LLONG_MAX);
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const unsigned long long digit = static_cast<unsigned long long>(text[i] - '0');
        if (magnitude > (limit - digit) / 10ULL) return FieldStatus::OutOfRange;
        magnitude = magnitude * 10ULL + digit;
    }
    value = negative ? static_cast<long long>(0ULL - magnitude) : static_cast<long long>(magnitude);
    return FieldStatus::Number;
}

namespace {

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
    if (line.find(',') != std::string::npos) return commaFields(line, n);
    return columnFields(line, widths, n);
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
    if (line.find(',') != std::string::npos) return commaFields(line, n);
    if (dataLayout(line, widths, n) == DataLayout::Columns) return columnFields(line, widths, n);
    std::vector<std::string> fields(static_cast<size_t>(n));
    std::istringstream words(line);
    for (std::string& field : fields) words >> field;
    return fields;
}

void FieldStream::note(FieldStatus status, const std::string& text) {
    std::string* first = nullptr;
    if (status == FieldStatus::Parameter) first = &parameter_;
    if (status == FieldStatus::OutOfRange) first = &outOfRange_;
    if (status == FieldStatus::NotNumber) first = &notNumber_;
    if (first != nullptr && first->empty()) *first = trimmed(text);
}

std::string firstWord(const std::string& text) {
    std::string word;
    std::istringstream(text) >> word;
    return word;
}
